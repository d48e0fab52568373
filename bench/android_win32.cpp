// A shot of one or more phones through the real Snapdeck.exe, button to file. Starts the program in
// FOLDER with no handheld tool (settings: PNG, 50 %, a 9-pixel frame), then for each
// round waits for the file go.N in HANDSHAKE, clicks "take screenshot", times until
// FILES finished PNGs (default 1) are in FOLDER\shots and until the program is ready
// again, and writes to done.N: both times in milliseconds, how many files came, how many
// screens the program's message says it left out, and a file's name. When fewer files
// come, the first time is that of the last one. bench/android_vs_script.sh and
// bench/phones_vs_script.sh drive it, so that the rounds alternate with the scripted shot.
//
//   android.exe SNAPDECK_EXE FOLDER HANDSHAKE ROUNDS [FILES]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>

#include "driver/driver.h"
#include "resources/ids.h"
#include "tests/support/default_settings.h"

namespace {

using namespace e2e;

constexpr wchar_t kMainTitle[] = L"Snapdeck 1.67";
constexpr wchar_t kBubbleTitle[] = L"VEX - kestrel's update info";

bool FinishedPng(const std::wstring& path) {
  const auto bytes = ReadFileBytes(path);
  static const unsigned char kEnd[] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  if (!bytes || bytes->size() < 8 + sizeof kEnd) return false;
  return std::equal(std::begin(kEnd), std::end(kEnd), bytes->end() - sizeof kEnd);
}

// The PNGs in the folder that end with their IEND chunk. Files found finished before are
// not read again: with many phones the polling would otherwise compete with the program.
std::size_t CountFinished(const std::wstring& shots, std::set<std::wstring>& finished) {
  for (const std::wstring& f : ListFiles(shots, L"*.png")) {
    if (!finished.count(f) && FinishedPng(JoinPath(shots, f))) finished.insert(f);
  }
  return finished.size();
}

// The screens the program's message names as left out (one line each); the message goes
// to the log and is closed, so that messages do not pile up over the rounds.
int CloseMessage(const Program& program) {
  const HWND bubble = program.FindWindowTitled(kBubbleTitle);
  if (!bubble) return 0;
  const std::wstring text = Text(Control(bubble, snapdeck::id::kBubbleText));
  std::fprintf(stderr, "android: the program says: %s\n", Utf8(text).c_str());
  int leftOut = 0;
  for (std::size_t at = text.find(L"left out"); at != std::wstring::npos;
       at = text.find(L"left out", at + 1)) {
    ++leftOut;
  }
  Click(Control(bubble, snapdeck::id::kBubbleOk));
  program.WaitWindowGone(kBubbleTitle, 5000);
  return leftOut;
}

void EmptyFolder(const std::wstring& folder) {
  for (const std::wstring& f : ListFiles(folder, L"*")) DeleteFileW(JoinPath(folder, f).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: android SNAPDECK_EXE FOLDER HANDSHAKE ROUNDS [FILES]\n");
    return 2;
  }
  const std::wstring folder = std::wstring(argv[2]) + L"\\";
  const std::wstring handshake = argv[3];
  const int rounds = _wtoi(argv[4]);
  const std::size_t files = argc > 5 ? static_cast<std::size_t>(std::max(1, _wtoi(argv[5]))) : 1;
  const std::wstring shots = folder + L"shots\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW(shots.c_str(), nullptr);
  EmptyFolder(shots);

  snapdeck::testing::SettingsEntries settings =
      snapdeck::testing::DefaultSettingsEntries(Utf8(folder));
  for (auto& [key, value] : settings) {
    if (key == "shotfolder[0]") value = Utf8(shots);
    if (key == "shotname") value = "phone";
    if (key == "shotext") value = "2";          // PNG
    if (key == "shotsize") value = "1";         // 50 %
    if (key == "framethickness") value = "9";
    if (key == "sound") value = "0";
  }
  LaunchOptions options;
  options.withDeviceTool = false;
  options.sourceExe = argv[1];
  options.settings = ToBytes(snapdeck::testing::SettingsFileText(settings));
  Program program;
  if (!program.Launch(folder, options)) {
    std::fprintf(stderr, "android: cannot start %s\n", Utf8(argv[1]).c_str());
    return 1;
  }
  const HWND main = program.WaitWindow(kMainTitle, 60000);
  const HWND button = main ? Control(main, snapdeck::id::kTakeScreenshot) : nullptr;
  if (!button) {
    std::fprintf(stderr, "android: no main window (a question at start?)\n");
    return 1;
  }

  for (int round = 1; round <= rounds; ++round) {
    const std::wstring go = JoinPath(handshake, L"go." + std::to_wstring(round));
    if (!WaitUntil([&] { return FileExists(go); }, 300000, 1)) {
      std::fprintf(stderr, "android: no go.%d\n", round);
      return 1;
    }
    CloseMessage(program);
    EmptyFolder(shots);
    std::set<std::wstring> finished;
    std::size_t seen = 0;
    bool started = false;
    const auto t0 = std::chrono::steady_clock::now();
    auto last = t0;
    Click(button);
    // Until every file is there, or the shot has ended with fewer (its button greyed
    // while it runs, then enabled again).
    const bool ended = WaitUntil(
        [&] {
          const bool enabled = Enabled(button);
          if (CountFinished(shots, finished) > seen) {
            seen = finished.size();
            last = std::chrono::steady_clock::now();
          }
          started = started || !enabled;
          return seen >= files || (started && enabled && CountFinished(shots, finished) == seen);
        },
        300000, 1);
    const double ms = std::chrono::duration<double, std::milli>(last - t0).count();
    if (!ended || seen == 0) {
      std::fprintf(stderr, "android: round %d saved %zu of %zu PNGs%s\n", round, seen, files,
                   ended ? "" : " in five minutes");
      std::fprintf(stderr, "%s\n", program.Describe().c_str());
      return 1;
    }
    // The next click counts only once this shot has ended (preview, clipboard, status).
    WaitUntil([&] { return Enabled(button); }, 60000, 1);
    const double readyMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    // A shot short of files says why in a message shown just after it ends.
    int leftOut = 0;
    if (seen < files && program.WaitWindow(kBubbleTitle, 5000)) leftOut = CloseMessage(program);
    WriteFileText(JoinPath(handshake, L"done." + std::to_wstring(round)),
                  std::to_string(ms) + " " + std::to_string(readyMs) + " " +
                      std::to_string(seen) + " " + std::to_string(leftOut) + " " +
                      Utf8(*finished.begin()) + "\n");
  }
  PostMessageW(main, WM_CLOSE, 0, 0);
  if (!program.WaitExit(10000)) program.Kill();
  return 0;
}

// A phone's shot through the real Snapdeck.exe, button to file. Starts the program in
// FOLDER with no handheld tool (settings: PNG, 50 %, a 9-pixel frame), then for each
// round waits for the file go.N in HANDSHAKE, clicks "take screenshot", times until the
// finished PNG is in FOLDER\shots and until the program is ready again, and writes both
// times in milliseconds and the file's name to done.N. bench/android_vs_script.sh drives
// it, so that the rounds alternate with the scripted shot.
//
//   android.exe SNAPDECK_EXE FOLDER HANDSHAKE ROUNDS
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "driver/driver.h"
#include "resources/ids.h"
#include "tests/support/default_settings.h"

namespace {

using namespace e2e;

constexpr wchar_t kMainTitle[] = L"Snapdeck 1.67";

// True when the folder holds one PNG that ends with its IEND chunk.
bool FinishedPng(const std::wstring& shots, std::wstring& name) {
  const std::vector<std::wstring> files = ListFiles(shots, L"*.png");
  if (files.size() != 1) return false;
  const auto bytes = ReadFileBytes(JoinPath(shots, files[0]));
  static const unsigned char kEnd[] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  if (!bytes || bytes->size() < 8 + sizeof kEnd) return false;
  name = files[0];
  return std::equal(std::begin(kEnd), std::end(kEnd), bytes->end() - sizeof kEnd);
}

void EmptyFolder(const std::wstring& folder) {
  for (const std::wstring& f : ListFiles(folder, L"*")) DeleteFileW(JoinPath(folder, f).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: android SNAPDECK_EXE FOLDER HANDSHAKE ROUNDS\n");
    return 2;
  }
  const std::wstring folder = std::wstring(argv[2]) + L"\\";
  const std::wstring handshake = argv[3];
  const int rounds = _wtoi(argv[4]);
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
    EmptyFolder(shots);
    std::wstring name;
    const auto t0 = std::chrono::steady_clock::now();
    Click(button);
    const bool saved = WaitUntil([&] { return FinishedPng(shots, name); }, 120000, 1);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (!saved) {
      std::fprintf(stderr, "android: round %d saved no PNG\n", round);
      return 1;
    }
    // The next click counts only once this shot has ended (preview, clipboard, status).
    WaitUntil([&] { return Enabled(button); }, 60000, 1);
    const double readyMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    WriteFileText(JoinPath(handshake, L"done." + std::to_wstring(round)),
                  std::to_string(ms) + " " + std::to_string(readyMs) + " " + Utf8(name) + "\n");
  }
  PostMessageW(main, WM_CLOSE, 0, 0);
  if (!program.WaitExit(10000)) program.Kill();
  return 0;
}

// Time of one update download over WinINet from a local server, with the update
// window's paced progress drawing, with a redraw at every knob step (no pacing) and
// without any drawing. bench/download_vs_curl.sh runs it beside curl.
//
//   download.exe URL [REPETITIONS]      prints one line per variant: name and median ms
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/status.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "update/http_wininet_win32.h"
#include "update/update_progress.h"
#include "update/update_window_win32.h"

namespace {

using namespace snapdeck;
using namespace snapdeck::win32;

// A visible stand-in for the update window: window 0 with the progress picture as
// control 5, so the real drawing path shows and pumps as it does in the program.
HWND MakeProgressWindow() {
  HWND window = CreateWindowExW(0, ProgramWindowClass(), L"download bench", WS_POPUP | WS_VISIBLE,
                                0, 0, 240, 240, nullptr, nullptr, TheShell().instance, nullptr);
  CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_SUNKEN, 18, 107, 200,
                  10, window, reinterpret_cast<HMENU>(5), TheShell().instance, nullptr);
  RegisterWindow(id::kUpdateWindow, window);
  return window;
}

// What drawing at every knob step costs: the same picture, shown and pumped.
void DrawEveryStep(int maximum, int value) {
  static ProgressBar bar(nullptr);
  static int last = -1;
  bar.setWidth(kUpdateBarWidth);
  const int knob = ProgressKnob(maximum, value);
  if (knob == last && knob != 0) return;
  last = knob;
  if (!bar.draw(kUpdateBarWidth, knob)) bar.draw(kUpdateBarWidth, -1);
  ShowPictureInControl(GetDlgItem(WindowByNumber(id::kUpdateWindow), 5), bar.picture());
  PumpOneEvent();
}

double FetchMs(const std::u16string& url, const FetchProgress& progress, std::int64_t& bytes) {
  const auto t0 = std::chrono::steady_clock::now();
  FetchedBody body;
  std::unique_ptr<HttpTransport> net = MakeWinInetTransport();
  const std::u16string result = HttpFetch(*net, url, u"", u"", u"", body, 32, progress);
  const auto t1 = std::chrono::steady_clock::now();
  bytes = result == u"#ok#" ? body.received : -1;
  return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: download URL [REPETITIONS]\n");
    return 2;
  }
  const std::u16string url = FromWide(argv[1]);
  const int reps = argc > 2 ? std::max(1, _wtoi(argv[2])) : 9;
  TheShell().instance = GetModuleHandleW(nullptr);
  MakeProgressWindow();

  struct Variant {
    const char* name;
    FetchProgress progress;
    std::vector<double> ms;
  };
  std::vector<Variant> variants = {
      {"paced", DrawUpdateProgress, {}},
      {"every_step", DrawEveryStep, {}},
      {"no_drawing", nullptr, {}},
  };
  // Alternating, so a slow moment of the machine is shared by all variants.
  for (int r = 0; r < reps; ++r) {
    for (Variant& v : variants) {
      std::int64_t bytes = 0;
      const double ms = FetchMs(url, v.progress, bytes);
      if (bytes < 0) {
        std::fprintf(stderr, "%s: the download failed\n", v.name);
        return 1;
      }
      v.ms.push_back(ms);
    }
  }
  for (const Variant& v : variants) std::printf("%s %.1f\n", v.name, Median(v.ms));
  return 0;
}

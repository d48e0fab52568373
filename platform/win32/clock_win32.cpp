#include "platform/win32/clock_win32.h"

#include <windows.h>

namespace snapdeck {
namespace {

class Win32Clock final : public Clock {
 public:
  std::uint64_t nowMs() override { return GetTickCount64(); }
  void sleepMs(int ms) override {
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
  }
};

}  // namespace

std::unique_ptr<Clock> MakeWin32Clock() { return std::make_unique<Win32Clock>(); }

}  // namespace snapdeck

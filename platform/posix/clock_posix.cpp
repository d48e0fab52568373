#include "platform/posix/clock_posix.h"

#include <chrono>
#include <thread>

namespace snapdeck {
namespace {

class PosixClock final : public Clock {
 public:
  std::uint64_t nowMs() override {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  }
  void sleepMs(int ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
};

}  // namespace

std::unique_ptr<Clock> MakePosixClock() { return std::make_unique<PosixClock>(); }

}  // namespace snapdeck

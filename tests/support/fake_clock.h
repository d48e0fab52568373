// A clock whose time passes only when someone sleeps on it, so a test of timed logic
// runs in microseconds and sees exactly the pauses the logic asked for.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/ports.h"

namespace snapdeck::testing {

class FakeClock : public Clock {
 public:
  // yieldOnSleep: for logic that sleeps on another thread, so a sleeper spinning through
  // fake time leaves the test's own thread room.
  explicit FakeClock(std::uint64_t start = 1000, bool yieldOnSleep = false)
      : now(start), yield_(yieldOnSleep) {}

  std::uint64_t nowMs() override { return now; }
  void sleepMs(int ms) override {
    const std::uint64_t step = static_cast<std::uint64_t>(ms > 0 ? ms : 0);
    now += step;
    slept += step;
    if (onTime) onTime(now);
    if (yield_) std::this_thread::yield();
  }

  std::atomic<std::uint64_t> now;
  std::atomic<std::uint64_t> slept{0};
  // Sees each new time, on the sleeper's thread.
  std::function<void(std::uint64_t)> onTime;

 private:
  bool yield_;
};

}  // namespace snapdeck::testing

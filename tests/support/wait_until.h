// Waiting for a condition with a deadline, so a test that goes wrong fails instead of
// hanging the run.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace snapdeck::testing {

// Long enough for a loaded machine: a condition that holds is seen long before it.
inline constexpr int kWaitMs = 20000;

// Polls until the condition holds; false when the time ran out. The pause between polls
// spares a program under test that the condition asks across processes.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs,
                      int pollMs = 50) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}

}  // namespace snapdeck::testing

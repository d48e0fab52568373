// Waiting for a condition with a deadline, so a test that goes wrong fails instead of
// hanging the run.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace snapdeck::testing {

// Polls until the condition holds; false when the time ran out.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs = 10) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}

}  // namespace snapdeck::testing

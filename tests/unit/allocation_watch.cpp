#include "tests/unit/allocation_watch.h"

#include <atomic>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (declared here: not every compiler ships its header).
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void* p);
#endif

namespace {

std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largest{0};
std::atomic<std::int64_t> g_held{0};
std::atomic<std::int64_t> g_peak{0};

void Raise(std::atomic<std::int64_t>& value, std::int64_t to) {
  std::int64_t seen = value.load(std::memory_order_relaxed);
  while (to > seen && !value.compare_exchange_weak(seen, to)) {
  }
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer calls these for every allocation and free.
extern "C" void __sanitizer_malloc_hook(const volatile void*, std::size_t size) {
  if (!g_watching.load(std::memory_order_relaxed)) return;
  std::size_t seen = g_largest.load(std::memory_order_relaxed);
  while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
  }
  Raise(g_peak, g_held.fetch_add(static_cast<std::int64_t>(size)) +
                    static_cast<std::int64_t>(size));
}

extern "C" void __sanitizer_free_hook(const volatile void* p) {
  if (!g_watching.load(std::memory_order_relaxed) || p == nullptr) return;
  g_held.fetch_sub(static_cast<std::int64_t>(
      __sanitizer_get_allocated_size(p)));
}
#endif

namespace snapdeck::testing {

void WatchAllocations(bool on) {
  if (on) {
    g_largest = 0;
    g_held = 0;
    g_peak = 0;
  }
  g_watching = on;
}

std::size_t LargestAllocation() { return g_largest; }

std::size_t PeakAllocatedBytes() { return static_cast<std::size_t>(g_peak.load()); }

}  // namespace snapdeck::testing

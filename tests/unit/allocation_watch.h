// The heap as AddressSanitizer sees it, for tests of memory bounds: the largest single
// allocation and the peak of bytes allocated and not yet freed while watching. Every
// thread's allocations count, the libraries' as well as ours.
#pragma once

#include <cstddef>

namespace snapdeck::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAllocationsSeen = true;
#else
inline constexpr bool kAllocationsSeen = false;  // the figures stay 0
#endif

// Starts watching from zero, or stops.
void WatchAllocations(bool on);
std::size_t LargestAllocation();
// Bytes held at the worst moment beyond those held when watching began.
std::size_t PeakAllocatedBytes();

}  // namespace snapdeck::testing

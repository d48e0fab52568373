// The header probe lays the viewer out and sizes the thumbnails' memory budget, so it
// must agree with the decoders: a picture that decodes has the probed size, and its
// decode holds no more memory than the cost the probe announced.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/decode_check.h"
#include "imaging/picture_size.h"

extern "C" {
// From the sanitizer runtime; libFuzzer installs its own hooks the same way.
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}

namespace {

std::atomic<bool> g_watching{false};
std::int64_t g_held = 0;  // the decode runs on this thread alone
std::int64_t g_peak = 0;

void OnMalloc(const volatile void*, std::size_t size) {
  if (!g_watching.load(std::memory_order_relaxed)) return;
  g_held += static_cast<std::int64_t>(size);
  if (g_held > g_peak) g_peak = g_held;
}

void OnFree(const volatile void* p) {
  if (!g_watching.load(std::memory_order_relaxed) || p == nullptr) return;
  g_held -= static_cast<std::int64_t>(__sanitizer_get_allocated_size(p));
}

// The result's error text and the like.
constexpr std::int64_t kSlack = 4096;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int w = 0, h = 0;
  snapdeck::PictureCost cost;
  const snapdeck::SizeProbe probe = snapdeck::ProbePicture(data, size, w, h, cost);
  g_held = 0;
  g_peak = 0;
  g_watching = true;
  snapdeck::DecodeResult r = snapdeck::DecodeImage(data, size);
  g_watching = false;
  CheckDecodeResult(r);
  if (!r.ok) return 0;
  if (probe != snapdeck::SizeProbe::Known || r.picture.width != w || r.picture.height != h)
    std::abort();
  if (g_peak > static_cast<std::int64_t>(cost.decodeBytes) + kSlack) std::abort();
  return 0;
}

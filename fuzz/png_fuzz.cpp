// Any bytes must decode to a sane picture or fail cleanly, and what decodes must come
// back bit for bit through our own encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/decode_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const snapdeck::DecodeResult r = snapdeck::DecodePng(data, size);
  CheckDecodeResult(r);
  // Small pictures only, so the fuzzer keeps its pace.
  if (r.ok && r.picture.pixels.size() <= 65536) {
    const std::vector<std::uint8_t> file = snapdeck::EncodePng(r.picture);
    const snapdeck::DecodeResult back = snapdeck::DecodePng(file.data(), file.size());
    if (!back.ok || back.picture.width != r.picture.width ||
        back.picture.pixels != r.picture.pixels)
      std::abort();
  }
  return 0;
}

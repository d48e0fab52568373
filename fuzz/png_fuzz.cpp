// Any bytes must decode to a sane picture or fail cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const snapdeck::DecodeResult r = snapdeck::DecodePng(data, size);
  if (r.ok) {
    const snapdeck::Picture& p = r.picture;
    if (!snapdeck::PictureSizeAllowed(p.width, p.height) ||
        p.pixels.size() != static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height))
      std::abort();
  } else if (!r.picture.pixels.empty()) {
    std::abort();
  }
  return 0;
}

// Any bytes must decode to a sane picture or fail cleanly.
#include <cstddef>
#include <cstdint>

#include "fuzz/decode_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckDecodeResult(snapdeck::DecodeBmp(data, size));
  // The same bytes as a clipboard DIB: the header parsing starts elsewhere.
  CheckDecodeResult(snapdeck::DecodeDib(data, size));
  return 0;
}

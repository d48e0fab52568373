// A picture's size read from the first bytes of its file, without decoding it: what the
// thumbnail column needs to lay itself out before any picture is decoded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace snapdeck {

enum class SizeProbe {
  Known,     // width and height are set and within the picture limits
  NeedMore,  // the bytes end before the size; more of the file may tell it
  Refused,   // not a picture we decode, or a size no decoder would accept
};

// Looks at a BMP, PNG or JPEG file's first `size` bytes.
SizeProbe ProbePictureSize(const std::uint8_t* data, std::size_t size, int& width, int& height);

}  // namespace snapdeck

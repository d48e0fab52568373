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

// What decoding a picture may cost, known from its header: the most bytes of its file a
// decoder needs, and the most memory the decode takes besides those bytes (the picture
// and the library's own). A longer file holds padding or metadata we do not need.
struct PictureCost {
  std::uint64_t fileBytes = 0;
  std::uint64_t decodeBytes = 0;
};

// ProbePictureSize, and the cost once the size is Known.
SizeProbe ProbePicture(const std::uint8_t* data, std::size_t size, int& width, int& height,
                       PictureCost& cost);

// Room for metadata before and between the picture data (ICC profiles, EXIF with its
// preview, XMP, text chunks): more than any camera or editor writes.
inline constexpr std::uint64_t kPictureMetadataBytes = 4ull * 1024 * 1024;

// The memory libjpeg may take for a w x h JPEG of `components` components: working
// rows, and for a file of several scans the coefficients of the whole image.
std::uint64_t JpegLibraryBytes(long long w, long long h, int components, bool severalScans);

}  // namespace snapdeck

// Decoders and encoders for the three screenshot formats. Decoders take untrusted
// bytes: every size is checked against the data, and the picture size against the
// picture budget (picture.h) as soon as the header is read, before pixels are allocated.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/picture.h"

namespace snapdeck {

struct DecodeResult {
  bool ok = false;
  std::string error;  // short reason when not ok
  Picture picture;
};

DecodeResult DecodeBmp(const std::uint8_t* data, std::size_t size);
// A packed DIB as the clipboard holds it: a bitmap header of 40 bytes or more, the bit
// masks and colours it declares, then the pixels, with no file header in front.
DecodeResult DecodeDib(const std::uint8_t* data, std::size_t size);
DecodeResult DecodePng(const std::uint8_t* data, std::size_t size);
DecodeResult DecodeJpeg(const std::uint8_t* data, std::size_t size);
// Picks the decoder by the file's signature.
DecodeResult DecodeImage(const std::uint8_t* data, std::size_t size);
// As DecodeImage, but a JPEG comes out at the smallest of the decoder's scales (1/8 to
// 8/8) that still gives at least minWidth x minHeight, which is much faster for a
// picture that will be shrunk anyway. fullWidth and fullHeight receive the picture's
// own size.
DecodeResult DecodeImageAtLeast(const std::uint8_t* data, std::size_t size, int minWidth,
                                int minHeight, int& fullWidth, int& fullHeight);
DecodeResult DecodeJpegAtLeast(const std::uint8_t* data, std::size_t size, int minWidth,
                               int minHeight, int& fullWidth, int& fullHeight);

std::vector<std::uint8_t> EncodeBmp24(const Picture& p);
std::vector<std::uint8_t> EncodePng(const Picture& p);
std::vector<std::uint8_t> EncodeJpeg(const Picture& p, int quality);  // quality 1..100

// The screenshot formats. The value is the shotext setting and the format list's row.
enum class ShotFormat { Bmp, Jpeg, Png };
inline constexpr int kShotFormatCount = 3;
// By format: ".bmp", ".jpg", ".png".
inline constexpr std::array<std::u16string_view, kShotFormatCount> kShotExtensions = {
    u".bmp", u".jpg", u".png"};

constexpr bool IsShotFormat(int formatIndex) {
  return formatIndex >= 0 && formatIndex < kShotFormatCount;
}
constexpr std::u16string_view ExtensionOf(ShotFormat format) {
  return kShotExtensions[static_cast<std::size_t>(format)];
}

// The format's encoder; JPEG at quality 100. Empty on failure.
std::vector<std::uint8_t> Encode(const Picture& p, ShotFormat format);
// As Encode for a format index; empty for an index that is no format.
std::vector<std::uint8_t> EncodeForFormat(const Picture& p, int formatIndex);

}  // namespace snapdeck

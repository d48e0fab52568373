#include "imaging/codec.h"

#include <cstring>

namespace snapdeck {

DecodeResult DecodeImage(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data != nullptr) {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size);
    if (size >= 8 && std::memcmp(data, kPng, 8) == 0) return DecodePng(data, size);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
      return DecodeJpeg(data, size);
  }
  DecodeResult r;
  r.error = "unknown picture format";
  return r;
}

DecodeResult DecodeImageAtLeast(const std::uint8_t* data, std::size_t size, int minWidth,
                                int minHeight, int& fullWidth, int& fullHeight) {
  const bool jpeg = data != nullptr && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 &&
                    data[2] == 0xFF;
  if (jpeg) return DecodeJpegAtLeast(data, size, minWidth, minHeight, fullWidth, fullHeight);
  DecodeResult r = DecodeImage(data, size);
  fullWidth = r.picture.width;
  fullHeight = r.picture.height;
  return r;
}

std::vector<std::uint8_t> Encode(const Picture& p, ShotFormat format) {
  switch (format) {
    case ShotFormat::Bmp:
      return EncodeBmp24(p);
    case ShotFormat::Jpeg:
      return EncodeJpeg(p, 100);
    case ShotFormat::Png:
      return EncodePng(p);
  }
  return {};
}

std::vector<std::uint8_t> EncodeForFormat(const Picture& p, int formatIndex) {
  if (!IsShotFormat(formatIndex)) return {};
  return Encode(p, static_cast<ShotFormat>(formatIndex));
}

}  // namespace snapdeck

#include "imaging/picture_size.h"

#include <cstring>

#include "imaging/picture.h"

namespace snapdeck {
namespace {

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8u); }
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8u) | (p[2] << 16u) | (static_cast<std::uint32_t>(p[3]) << 24u);
}
std::uint32_t Be16(const std::uint8_t* p) { return (p[0] << 8u) | p[1]; }
std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24u) | (p[1] << 16u) | (p[2] << 8u) | p[3];
}

SizeProbe Checked(long long w, long long h, int& width, int& height) {
  if (!PictureSizeAllowed(w, h)) return SizeProbe::Refused;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return SizeProbe::Known;
}

SizeProbe ProbeBmp(const std::uint8_t* d, std::size_t size, int& width, int& height) {
  if (size < 18) return SizeProbe::NeedMore;
  const std::uint32_t headerSize = Le32(d + 14);
  if (headerSize == 12) {
    if (size < 22) return SizeProbe::NeedMore;
    return Checked(Le16(d + 18), Le16(d + 20), width, height);
  }
  if (headerSize < 40 || headerSize > 1024) return SizeProbe::Refused;
  if (size < 26) return SizeProbe::NeedMore;
  const long long w = static_cast<std::int32_t>(Le32(d + 18));
  const long long h = static_cast<std::int32_t>(Le32(d + 22));
  return Checked(w, h < 0 ? -h : h, width, height);
}

SizeProbe ProbePng(const std::uint8_t* d, std::size_t size, int& width, int& height) {
  if (size < 24) return SizeProbe::NeedMore;
  if (std::memcmp(d + 12, "IHDR", 4) != 0) return SizeProbe::Refused;
  const std::uint32_t w = Be32(d + 16), h = Be32(d + 20);
  // PNG sizes are at most 2^31 - 1; a larger value is a damaged header.
  if (w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return SizeProbe::Refused;
  return Checked(w, h, width, height);
}

// Walks the markers up to the first start-of-frame, which holds the size.
SizeProbe ProbeJpeg(const std::uint8_t* d, std::size_t size, int& width, int& height) {
  std::size_t pos = 2;
  for (;;) {
    if (pos + 2 > size) return SizeProbe::NeedMore;
    if (d[pos] != 0xFF) return SizeProbe::Refused;
    const std::uint8_t marker = d[pos + 1];
    if (marker == 0xFF) {  // fill byte before a marker
      ++pos;
      continue;
    }
    pos += 2;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) return SizeProbe::Refused;
    if (pos + 2 > size) return SizeProbe::NeedMore;
    const std::uint32_t length = Be16(d + pos);
    if (length < 2) return SizeProbe::Refused;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 8) return SizeProbe::Refused;
      if (pos + 7 > size) return SizeProbe::NeedMore;
      // A height of 0 is announced later by a DNL marker, which the decoder refuses.
      return Checked(Be16(d + pos + 5), Be16(d + pos + 3), width, height);
    }
    pos += length;
  }
}

}  // namespace

SizeProbe ProbePictureSize(const std::uint8_t* data, std::size_t size, int& width, int& height) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data == nullptr || size < 3) return SizeProbe::NeedMore;
  if (data[0] == 'B' && data[1] == 'M') return ProbeBmp(data, size, width, height);
  if (data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
    return ProbeJpeg(data, size, width, height);
  if (size < 8) return SizeProbe::NeedMore;
  if (std::memcmp(data, kPng, 8) == 0) return ProbePng(data, size, width, height);
  return SizeProbe::Refused;
}

}  // namespace snapdeck

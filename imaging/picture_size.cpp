#include "imaging/picture_size.h"

#include <algorithm>
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

std::uint64_t PixelBytes(int w, int h) {
  return 4ull * static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
}

// 32 bits a pixel is the widest row; RLE spends at most 2 bytes a pixel and 2 a row.
SizeProbe ProbeBmp(const std::uint8_t* d, std::size_t size, int& width, int& height,
                   PictureCost& cost) {
  if (size < 18) return SizeProbe::NeedMore;
  const std::uint32_t headerSize = Le32(d + 14);
  SizeProbe probe = SizeProbe::Refused;
  if (headerSize == 12) {
    if (size < 22) return SizeProbe::NeedMore;
    probe = Checked(Le16(d + 18), Le16(d + 20), width, height);
  } else {
    if (headerSize < 40 || headerSize > 1024) return SizeProbe::Refused;
    if (size < 26) return SizeProbe::NeedMore;
    const long long w = static_cast<std::int32_t>(Le32(d + 18));
    const long long h = static_cast<std::int32_t>(Le32(d + 22));
    probe = Checked(w, h < 0 ? -h : h, width, height);
  }
  if (probe == SizeProbe::Known) {
    cost.fileBytes = kPictureMetadataBytes + PixelBytes(width, height) + 4ull * height;
    cost.decodeBytes = PixelBytes(width, height);
  }
  return probe;
}

// The image data at its bit depth, stored without compression: a filter byte a row, and
// for interlaced files at most two bytes more for each of the 15/8 rows a pass adds.
// zlib's stored blocks and IDAT chunk frames add well under 1/8, which also covers an
// encoder whose fixed codes make noise bigger.
SizeProbe ProbePng(const std::uint8_t* d, std::size_t size, int& width, int& height,
                   PictureCost& cost) {
  if (size < 26) return SizeProbe::NeedMore;
  if (std::memcmp(d + 12, "IHDR", 4) != 0) return SizeProbe::Refused;
  const std::uint32_t w = Be32(d + 16), h = Be32(d + 20);
  // PNG sizes are at most 2^31 - 1; a larger value is a damaged header.
  if (w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return SizeProbe::Refused;
  const SizeProbe probe = Checked(w, h, width, height);
  if (probe != SizeProbe::Known) return probe;
  static const int kChannels[7] = {1, 4, 3, 1, 2, 4, 4};  // by colour type; 4 when unknown
  const int channels = d[25] < 7 ? kChannels[d[25]] : 4;
  const std::uint64_t bits = static_cast<std::uint64_t>(channels) * std::min<int>(d[24], 16);
  const std::uint64_t raw = static_cast<std::uint64_t>(height) * ((width * bits + 7) / 8 + 5) + 16;
  cost.fileBytes = kPictureMetadataBytes + raw + raw / 8 + 64;
  // libpng keeps a few rows of up to 8 bytes a pixel and zlib's window.
  cost.decodeBytes = PixelBytes(width, height) + 32ull * width + 64 * 1024;
  return probe;
}

bool ProgressiveFrame(std::uint8_t marker) { return (marker & 0x03) == 0x02; }  // C2 C6 CA CE

// Walks the markers up to the first start-of-frame, which holds the size, and on to the
// first scan, which tells whether the coefficients of the whole image are kept. Stray
// bytes before a marker are skipped as the decoder skips them.
SizeProbe ProbeJpeg(const std::uint8_t* d, std::size_t size, int& width, int& height,
                    PictureCost& cost) {
  std::size_t pos = 2;
  int components = 0;
  bool progressive = false;
  bool severalScans = true;  // until the first scan tells otherwise
  SizeProbe probe = SizeProbe::NeedMore;
  for (;;) {
    while (pos < size && d[pos] != 0xFF) ++pos;
    while (pos < size && d[pos] == 0xFF) ++pos;  // fill bytes before a marker
    if (pos >= size) break;
    const std::uint8_t marker = d[pos++];
    if (marker == 0x00) continue;  // a stuffed zero in data, no marker
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (probe == SizeProbe::Known && marker == 0xDA) {
      if (pos + 3 <= size) severalScans = progressive || d[pos + 2] < components;
      break;
    }
    if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
      if (probe != SizeProbe::Known) return SizeProbe::Refused;
      break;
    }
    if (pos + 2 > size) break;
    const std::uint32_t length = Be16(d + pos);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame && probe != SizeProbe::Known) {
      if (length < 8) return SizeProbe::Refused;
      if (pos + 8 > size) return SizeProbe::NeedMore;
      // A height of 0 is announced later by a DNL marker, which the decoder refuses.
      probe = Checked(Be16(d + pos + 5), Be16(d + pos + 3), width, height);
      if (probe != SizeProbe::Known) return probe;
      components = d[pos + 7];
      progressive = ProgressiveFrame(marker);
    }
    pos += std::max<std::uint32_t>(length, 2);
  }
  if (probe != SizeProbe::Known) return probe;
  // Quality 100 on noise takes about 1.5 bytes a sample; 4 leaves room for odd encoders.
  cost.fileBytes = kPictureMetadataBytes + 4ull * components * static_cast<std::uint64_t>(width) *
                                               static_cast<std::uint64_t>(height);
  // The picture, a row for CMYK conversion, and the library's own.
  cost.decodeBytes = PixelBytes(width, height) + 4ull * width +
                     JpegLibraryBytes(width, height, components, severalScans);
  return probe;
}

}  // namespace

std::uint64_t JpegLibraryBytes(long long w, long long h, int components, bool severalScans) {
  if (w <= 0 || h <= 0 || components <= 0) return 0;
  const auto c = static_cast<std::uint64_t>(components);
  const auto blocksWide = static_cast<std::uint64_t>(w + 7) / 8 + 4;  // rounded up to an MCU
  const auto blocksHigh = static_cast<std::uint64_t>(h + 7) / 8 + 4;
  // Tables, and per component a band of up to 4 x 8 sample rows several times over.
  std::uint64_t bytes = 512 * 1024 + c * blocksWide * 8 * 128;
  if (severalScans) bytes += c * blocksWide * blocksHigh * 64 * 2;  // 16-bit coefficients
  return bytes;
}

SizeProbe ProbePicture(const std::uint8_t* data, std::size_t size, int& width, int& height,
                       PictureCost& cost) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  cost = PictureCost{};
  if (data == nullptr || size < 3) return SizeProbe::NeedMore;
  if (data[0] == 'B' && data[1] == 'M') return ProbeBmp(data, size, width, height, cost);
  if (data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
    return ProbeJpeg(data, size, width, height, cost);
  if (size < 8) return SizeProbe::NeedMore;
  if (std::memcmp(data, kPng, 8) == 0) return ProbePng(data, size, width, height, cost);
  return SizeProbe::Refused;
}

SizeProbe ProbePictureSize(const std::uint8_t* data, std::size_t size, int& width, int& height) {
  PictureCost cost;
  return ProbePicture(data, size, width, height, cost);
}

}  // namespace snapdeck

// Pictures as a phone's screen hands them over: a header, then rows of little-endian
// pixels, top-down and unpadded. The bytes come from outside: the header is checked
// against the picture budget before any pixel memory is taken, and the rows against the
// header's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/codec.h"

namespace snapdeck {

// Pixel formats of the raw screenshot.
enum ScreencapFormat : std::uint32_t {
  kScreencapRgba8888 = 1,
  kScreencapRgbx8888 = 2,
  kScreencapRgb888 = 3,
  kScreencapRgb565 = 4,
};

// Bytes per pixel of a raw format, 0 for one we cannot convert.
int ScreencapBytesPerPixel(std::uint32_t format);

enum class RawKind {
  // Width, height and format (32 bits each); newer phones put a colour space word after
  // them, told only by the length that follows.
  Screencap,
  // Version 1 or 2 (with the colour space) giving bits per pixel, size, width, height and
  // each channel's offset and length; or the first kind (16) of RGB 565 without them.
  Framebuffer,
};

inline constexpr std::size_t kScreencapHeaderBytes = 12;
inline constexpr std::size_t kFramebufferHeaderMax = 56;
// The colour space word the longer screencap header puts before the rows.
inline constexpr std::size_t kColourSpaceBytes = 4;

// What a header says of the rows after it.
struct RawHeader {
  std::string error;         // empty when the rows can be read
  bool unsupported = false;  // a pixel layout we do not convert: the phone may have a PNG
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t format = 0;  // a ScreencapFormat; 0 for a framebuffer's channels
  // A framebuffer's offsets and lengths in bits of red, blue, green and alpha.
  std::uint32_t channels[8] = {};
  int bytesPerPixel = 0;
  std::size_t headerBytes = 0;   // before the rows (the colour space word not counted)
  bool lengthDisagrees = false;  // a framebuffer's size field is not its rows' length
  bool ok() const { return error.empty(); }
  std::size_t pixelCount() const { return std::size_t{width} * height; }
  std::size_t rowBytes() const { return pixelCount() * static_cast<std::size_t>(bytesPerPixel); }
};

// The header at the start of data. Its size is checked against the budget here.
RawHeader ParseRawHeader(RawKind kind, const std::uint8_t* data, std::size_t size);

// The rows: the size bytes after the header (a screencap's colour space word first, when
// it has one). Any other length than the header's is refused.
DecodeResult DecodeRawRows(const RawHeader& header, const std::uint8_t* rows, std::size_t size);

// Words to receive a four-byte picture's rows into, the colour space word included.
std::size_t RawRoomWords(const RawHeader& header);
// The four-byte kinds, received straight into what become the picture's own pixels
// (size bytes of them) and turned into ours in place: no copy of ten megabytes.
DecodeResult DecodeRawRowsInPlace(const RawHeader& header, std::vector<std::uint32_t> pixels,
                                  std::size_t size);

// A whole raw answer of exec:screencap or framebuffer:, header and rows.
DecodeResult DecodeRawScreencap(const std::uint8_t* data, std::size_t size);
DecodeResult DecodeFramebuffer(const std::uint8_t* data, std::size_t size);

}  // namespace snapdeck

#include "imaging/raw_picture.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace snapdeck {

namespace {

static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// RGBA bytes as our pixels (0xAARRGGBB), in blocks the compiler vectorises. out may be
// the same memory as in or lie before it: each block is read whole before it is written.
void RgbaToPixels(const std::uint8_t* in, std::uint32_t* out, std::size_t count,
                  std::uint32_t opaque) {
  constexpr std::size_t kBlock = 64;
  // Whole blocks are converted, which vectorises best; the block starts as zeros, so a
  // last, partial block converts only set values, and its tail is never written out.
  std::uint32_t block[kBlock] = {};
  for (std::size_t i = 0; i < count; i += kBlock) {
    const std::size_t n = std::min(kBlock, count - i);
    std::memcpy(block, in + 4 * i, 4 * n);
    for (std::size_t k = 0; k < kBlock; ++k) {
      const std::uint32_t v = block[k];
      block[k] = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16 | opaque;
    }
    std::memcpy(out + i, block, 4 * n);
  }
}

// 5 or 6 bits widened to 8 by repeating their top bits, so full stays full.
std::uint32_t Expand(std::uint32_t v, int bits) {
  return bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4);
}

std::uint32_t Channel(std::uint32_t v, std::uint32_t offset, std::uint32_t length,
                      std::uint32_t absent) {
  if (length == 0) return absent;
  const std::uint32_t most = (1u << length) - 1;
  return ((v >> offset) & most) * 255 / most;
}

// Each pixel read as a little-endian value of its bytes and converted by one rule. out
// may be the same memory as in: a pixel is read before it is written, never after.
template <class Rule>
void EachPixel(const std::uint8_t* in, int bytesPerPixel, std::uint32_t* out, std::size_t count,
               Rule rule) {
  const std::size_t step = static_cast<std::size_t>(bytesPerPixel);
  for (std::size_t i = 0; i < count; ++i, in += step) {
    std::uint32_t v = 0;
    for (std::size_t b = 0; b < step; ++b) v |= std::uint32_t{in[b]} << (8 * b);
    out[i] = rule(v);
  }
}

void ConvertRows(const RawHeader& h, const std::uint8_t* in, std::uint32_t* out) {
  const std::size_t count = h.pixelCount();
  switch (h.format) {
    case kScreencapRgba8888:
    case kScreencapRgbx8888:
      // The common case of phones, a loop of its own: millions of pixels per shot.
      RgbaToPixels(in, out, count, h.format == kScreencapRgbx8888 ? 0xFF000000u : 0);
      return;
    case kScreencapRgb888:
      EachPixel(in, 3, out, count, [](std::uint32_t v) {
        return 0xFF000000u | (v & 0xFFu) << 16 | (v & 0xFF00u) | (v >> 16 & 0xFFu);
      });
      return;
    case kScreencapRgb565:
      EachPixel(in, 2, out, count, [](std::uint32_t v) {
        return 0xFF000000u | Expand(v >> 11, 5) << 16 | Expand((v >> 5) & 63, 6) << 8 |
               Expand(v & 31, 5);
      });
      return;
    default: {
      const std::uint32_t* c = h.channels;  // red, blue, green, alpha
      EachPixel(in, h.bytesPerPixel, out, count, [c](std::uint32_t v) {
        return Channel(v, c[6], c[7], 255) << 24 | Channel(v, c[0], c[1], 0) << 16 |
               Channel(v, c[4], c[5], 0) << 8 | Channel(v, c[2], c[3], 0);
      });
    }
  }
}

// Why size bytes of rows do not fit the header, or null. Only a screencap may carry the
// colour space word before them.
const char* RowsProblem(const RawHeader& h, std::size_t size) {
  const std::size_t bytes = h.rowBytes();
  const std::size_t longer = h.format != 0 ? bytes + kColourSpaceBytes : bytes;
  if (!h.lengthDisagrees && (size == bytes || size == longer)) return nullptr;
  return size < bytes ? "screenshot cut short" : "screenshot longer than its header says";
}

bool ReadFramebufferFields(RawHeader& h, const std::uint8_t* data, std::size_t size,
                           std::uint32_t& declared) {
  if (size < 16) {
    h.error = size == 0 ? "no screenshot" : "screenshot cut short";
    return false;
  }
  const std::uint32_t version = Le32(data);
  // The first format's RGB 565, in the order the header gives offsets and lengths.
  constexpr std::uint32_t k565[8] = {11, 5, 0, 5, 5, 6, 0, 0};
  std::copy(k565, k565 + 8, h.channels);
  std::uint32_t bpp = 16;
  if (version == 16) {
    declared = Le32(data + 4);
    h.width = Le32(data + 8);
    h.height = Le32(data + 12);
    h.headerBytes = 16;
  } else if (version == 1 || version == 2) {
    const std::size_t first = version == 1 ? 8 : 12;  // version 2 adds the colour space
    h.headerBytes = first + 12 + 32;
    if (size < h.headerBytes) {
      h.error = "screenshot cut short";
      return false;
    }
    bpp = Le32(data + 4);
    declared = Le32(data + first);
    h.width = Le32(data + first + 4);
    h.height = Le32(data + first + 8);
    for (int k = 0; k < 8; ++k) h.channels[k] = Le32(data + first + 12 + 4 * k);
  } else {
    h.unsupported = true;
    h.error = "unsupported framebuffer version " + std::to_string(version);
    return false;
  }
  if (bpp != 16 && bpp != 24 && bpp != 32) {
    h.unsupported = true;
    h.error = "unsupported pixel format of " + std::to_string(bpp) + " bits";
    return false;
  }
  for (int k = 0; k < 8; k += 2) {
    if (h.channels[k + 1] > 8 || h.channels[k] + h.channels[k + 1] > bpp) {
      h.unsupported = true;
      h.error = "unsupported pixel format";
      return false;
    }
  }
  h.bytesPerPixel = static_cast<int>(bpp / 8);
  return true;
}

}  // namespace

int ScreencapBytesPerPixel(std::uint32_t format) {
  switch (format) {
    case kScreencapRgba8888:
    case kScreencapRgbx8888:
      return 4;
    case kScreencapRgb888:
      return 3;
    case kScreencapRgb565:
      return 2;
    default:
      return 0;
  }
}

RawHeader ParseRawHeader(RawKind kind, const std::uint8_t* data, std::size_t size) {
  RawHeader h;
  std::uint32_t declared = 0;
  if (kind == RawKind::Framebuffer) {
    if (!ReadFramebufferFields(h, data, size, declared)) return h;
  } else {
    if (size < kScreencapHeaderBytes) {
      h.error = "screenshot cut short";
      return h;
    }
    h.width = Le32(data);
    h.height = Le32(data + 4);
    h.format = Le32(data + 8);
    h.headerBytes = kScreencapHeaderBytes;
    h.bytesPerPixel = ScreencapBytesPerPixel(h.format);
    if (h.bytesPerPixel == 0) {
      h.unsupported = true;
      h.error = "unsupported pixel format " + std::to_string(h.format);
      return h;
    }
  }
  // Before anything is allocated: a header can claim any size.
  if (const char* problem = PictureSizeProblem(h.width, h.height)) {
    h.error = problem;
    return h;
  }
  h.lengthDisagrees = kind == RawKind::Framebuffer && declared != h.rowBytes();
  return h;
}

DecodeResult DecodeRawRows(const RawHeader& header, const std::uint8_t* rows, std::size_t size) {
  DecodeResult r;
  r.error = header.error;
  if (r.error.empty()) {
    if (const char* problem = RowsProblem(header, size)) r.error = problem;
  }
  if (!r.error.empty()) return r;
  Picture& p = r.picture;
  p.width = static_cast<int>(header.width);
  p.height = static_cast<int>(header.height);
  p.pixels.resize(header.pixelCount());
  ConvertRows(header, rows + (size - header.rowBytes()), p.pixels.data());
  r.ok = true;
  return r;
}

std::size_t RawRoomWords(const RawHeader& header) {
  return header.pixelCount() + (header.format != 0 ? kColourSpaceBytes / 4 : 0);
}

DecodeResult DecodeRawRowsInPlace(const RawHeader& header, std::vector<std::uint32_t> pixels,
                                  std::size_t size) {
  DecodeResult r;
  r.error = header.error;
  if (r.error.empty() && (header.bytesPerPixel != 4 || pixels.size() < RawRoomWords(header))) {
    r.error = "unsupported pixel format";
  }
  if (r.error.empty()) {
    if (const char* problem = RowsProblem(header, size)) r.error = problem;
  }
  if (!r.error.empty()) return r;
  const std::size_t skip = (size - header.rowBytes()) / 4;
  ConvertRows(header, reinterpret_cast<const std::uint8_t*>(pixels.data() + skip), pixels.data());
  pixels.resize(header.pixelCount());
  r.picture = {static_cast<int>(header.width), static_cast<int>(header.height), std::move(pixels)};
  r.ok = true;
  return r;
}

DecodeResult DecodeRawScreencap(const std::uint8_t* data, std::size_t size) {
  const RawHeader header = ParseRawHeader(RawKind::Screencap, data, size);
  const std::size_t at = std::min(header.headerBytes, size);
  return DecodeRawRows(header, data + at, size - at);
}

DecodeResult DecodeFramebuffer(const std::uint8_t* data, std::size_t size) {
  const RawHeader header = ParseRawHeader(RawKind::Framebuffer, data, size);
  const std::size_t at = std::min(header.headerBytes, size);
  return DecodeRawRows(header, data + at, size - at);
}

}  // namespace snapdeck

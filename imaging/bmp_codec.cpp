// Windows bitmap reader and 24-bit writer. The reader accepts what GDI and the usual
// tools write (core and info headers, 1/4/8/16/24/32 bits, RLE4/RLE8, bit fields,
// top-down and bottom-up), as a file or as the clipboard's packed DIB, and checks every
// field against the data it came with.
#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/codec.h"
#include "imaging/pixels.h"

namespace snapdeck {

namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3,
                        kBiAlphaBitfields = 6;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool has(std::size_t offset, std::size_t n) const {
    return offset <= size_ && n <= size_ - offset;
  }
  std::uint16_t u16(std::size_t o) const {
    return static_cast<std::uint16_t>(data_[o] | (data_[o + 1] << 8));
  }
  std::uint32_t u32(std::size_t o) const {
    return static_cast<std::uint32_t>(data_[o]) | (static_cast<std::uint32_t>(data_[o + 1]) << 8) |
           (static_cast<std::uint32_t>(data_[o + 2]) << 16) |
           (static_cast<std::uint32_t>(data_[o + 3]) << 24);
  }
  std::int32_t s32(std::size_t o) const { return static_cast<std::int32_t>(u32(o)); }
  const std::uint8_t* at(std::size_t o) const { return data_ + o; }
  std::size_t size() const { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

DecodeResult Fail(const char* why) {
  DecodeResult r;
  r.error = why;
  return r;
}

// One channel described by a bit mask, scaled to 0..255 with rounding.
struct MaskChannel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t max = 0;
  explicit MaskChannel(std::uint32_t m) : mask(m) {
    if (m == 0) return;
    while (((m >> shift) & 1u) == 0) ++shift;
    max = m >> shift;
  }
  std::uint32_t operator()(std::uint32_t v) const {
    if (max == 0) return 0;
    const std::uint64_t c = (v & mask) >> shift;
    return static_cast<std::uint32_t>((std::min(c, max) * 255 + max / 2) / max);
  }
};

struct Layout {
  std::int64_t width = 0, height = 0;
  bool topDown = false;
  int bpp = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue
  std::array<std::uint32_t, 256> palette{};
  std::size_t paletteSize = 0;
  std::size_t dataOffset = 0;
};

std::uint32_t PaletteColor(const Layout& l, unsigned index) {
  return index < l.paletteSize ? l.palette[index] : 0xFF000000u;
}

// Picture row of the n-th row stored in the file.
int RowOf(const Layout& l, std::int64_t fileRow) {
  return static_cast<int>(l.topDown ? fileRow : l.height - 1 - fileRow);
}

// What the bitmap header says beyond the Layout, for reading the palette after it.
struct HeaderFacts {
  std::uint32_t colorsUsed = 0;
  std::size_t entrySize = 4;    // bytes per palette entry: 3 after a core header
  std::size_t afterHeader = 0;  // where the palette (or the pixels) may start
};

// The bit masks of a bit-field bitmap: inside the longer headers, or right after the
// 40-byte one. h0 is where the bitmap header starts.
bool ReadBitMasks(const Bytes& b, std::size_t h0, std::uint32_t headerSize, Layout& l,
                  HeaderFacts& facts, const char*& error) {
  const std::size_t maskAt = h0 + kInfoHeaderSize;
  if (headerSize == kInfoHeaderSize) {
    const std::size_t n = l.compression == kBiAlphaBitfields ? 16 : 12;
    if (!b.has(maskAt, n)) {
      error = "truncated bit masks";
      return false;
    }
    facts.afterHeader += n;
  } else if (headerSize < kInfoHeaderSize + 12) {
    error = "header too short for bit masks";
    return false;
  }
  for (int i = 0; i < 3; ++i) l.masks[i] = b.u32(maskAt + 4 * static_cast<std::size_t>(i));
  return true;
}

// The core (12-byte) or info (40 bytes and longer) header at h0.
bool ReadInfoHeader(const Bytes& b, std::size_t h0, std::uint32_t headerSize, Layout& l,
                    HeaderFacts& facts, const char*& error) {
  if (headerSize == kCoreHeaderSize) {
    if (!b.has(h0, kCoreHeaderSize)) {
      error = "truncated header";
      return false;
    }
    l.width = b.u16(h0 + 4);
    l.height = b.u16(h0 + 6);
    l.bpp = b.u16(h0 + 10);
    facts.entrySize = 3;
    facts.afterHeader = h0 + kCoreHeaderSize;
    return true;
  }
  if (headerSize < kInfoHeaderSize || headerSize > 1024) {
    error = "unsupported header";
    return false;
  }
  if (!b.has(h0, headerSize)) {
    error = "truncated header";
    return false;
  }
  l.width = b.s32(h0 + 4);
  const std::int64_t h = b.s32(h0 + 8);
  l.topDown = h < 0;
  l.height = h < 0 ? -h : h;
  l.bpp = b.u16(h0 + 14);
  l.compression = b.u32(h0 + 16);
  facts.colorsUsed = b.u32(h0 + 32);
  facts.afterHeader = h0 + headerSize;
  if (l.compression == kBiBitfields || l.compression == kBiAlphaBitfields) {
    return ReadBitMasks(b, h0, headerSize, l, facts, error);
  }
  return true;
}

// Bit count and compression must go together; plain 16 and 32 bits get their masks.
bool CheckPixelFormat(Layout& l, const char*& error) {
  switch (l.compression) {
    case kBiRgb:
      if (l.bpp != 1 && l.bpp != 4 && l.bpp != 8 && l.bpp != 16 && l.bpp != 24 && l.bpp != 32) {
        error = "unsupported bit count";
        return false;
      }
      if (l.bpp == 16) {
        l.masks[0] = 0x7C00;
        l.masks[1] = 0x03E0;
        l.masks[2] = 0x001F;
      } else if (l.bpp == 32) {
        l.masks[0] = 0xFF0000;
        l.masks[1] = 0x00FF00;
        l.masks[2] = 0x0000FF;
      }
      return true;
    case kBiRle8:
    case kBiRle4:
      if (l.bpp != (l.compression == kBiRle8 ? 8 : 4)) {
        error = "RLE with wrong bit count";
        return false;
      }
      return true;
    case kBiBitfields:
    case kBiAlphaBitfields:
      if (l.bpp != 16 && l.bpp != 32) {
        error = "bit fields with wrong bit count";
        return false;
      }
      return true;
    default:
      error = "unsupported compression";
      return false;
  }
}

// Palettes that claim more entries than fit before the pixels, or in the file, are cut
// short; missing entries read as black.
void ReadPalette(const Bytes& b, std::uint32_t offBits, Layout& l, HeaderFacts& facts) {
  const std::size_t maxEntries = std::size_t{1} << l.bpp;
  std::size_t n =
      (facts.colorsUsed == 0 || facts.colorsUsed > maxEntries) ? maxEntries : facts.colorsUsed;
  if (offBits >= facts.afterHeader)
    n = std::min(n, (offBits - facts.afterHeader) / facts.entrySize);
  if (!b.has(facts.afterHeader, n * facts.entrySize)) {
    n = (b.size() - std::min(b.size(), facts.afterHeader)) / facts.entrySize;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* e = b.at(facts.afterHeader + i * facts.entrySize);
    l.palette[i] = 0xFF000000u | (static_cast<std::uint32_t>(e[2]) << 16) |
                   (static_cast<std::uint32_t>(e[1]) << 8) | e[0];
  }
  l.paletteSize = n;
  facts.afterHeader += n * facts.entrySize;
}

// The bitmap header at h0 and what follows it; offBits is where the pixels start, 0 for
// right after the header, masks and palette.
bool ParseBitmapHeader(const Bytes& b, std::size_t h0, std::uint32_t offBits, Layout& l,
                       const char*& error) {
  const std::uint32_t headerSize = b.u32(h0);
  HeaderFacts facts;
  if (!ReadInfoHeader(b, h0, headerSize, l, facts, error)) return false;
  // Before anything is allocated: an RLE file of a few bytes can claim any size.
  if (const char* problem = PictureSizeProblem(l.width, l.height)) {
    error = problem;
    return false;
  }
  if (!CheckPixelFormat(l, error)) return false;
  if (l.bpp <= 8) ReadPalette(b, offBits, l, facts);

  l.dataOffset = offBits == 0 ? facts.afterHeader : offBits;
  if (l.dataOffset < h0 + std::min<std::size_t>(headerSize, kInfoHeaderSize) ||
      l.dataOffset > b.size()) {
    error = "bad pixel data offset";
    return false;
  }
  return true;
}

bool DecodeUncompressed(const Bytes& b, const Layout& l, Picture& p) {
  const std::uint64_t stride = (static_cast<std::uint64_t>(l.width) * l.bpp + 31) / 32 * 4;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(l.width) * l.bpp + 7) / 8;
  // The last row may lack its padding.
  const std::uint64_t needed = stride * static_cast<std::uint64_t>(l.height - 1) + rowBytes;
  if (needed > b.size() - l.dataOffset) return false;

  const MaskChannel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]);
  const bool plain32 =
      l.bpp == 32 && l.masks[0] == 0xFF0000 && l.masks[1] == 0xFF00 && l.masks[2] == 0xFF;
  const int w = static_cast<int>(l.width);
  for (std::int64_t r = 0; r < l.height; ++r) {
    const std::uint8_t* in = b.at(l.dataOffset + static_cast<std::size_t>(stride * r));
    std::uint32_t* out = RowPtr(p, RowOf(l, r));
    switch (l.bpp) {
      case 1:
      case 4:
      case 8: {
        const int perByte = 8 / l.bpp;
        const unsigned mask = (1u << l.bpp) - 1;
        for (int x = 0; x < w; ++x) {
          const int shift = 8 - l.bpp * (x % perByte + 1);
          out[x] = PaletteColor(l, (in[x / perByte] >> shift) & mask);
        }
        break;
      }
      case 16:
        for (int x = 0; x < w; ++x) {
          const std::uint32_t v = static_cast<std::uint32_t>(in[2 * x] | (in[2 * x + 1] << 8));
          out[x] = 0xFF000000u | (red(v) << 16) | (green(v) << 8) | blue(v);
        }
        break;
      case 24:
        for (int x = 0; x < w; ++x)
          out[x] = 0xFF000000u | (static_cast<std::uint32_t>(in[3 * x + 2]) << 16) |
                   (static_cast<std::uint32_t>(in[3 * x + 1]) << 8) | in[3 * x];
        break;
      case 32:
        for (int x = 0; x < w; ++x) {
          const std::uint32_t v =
              b.u32(l.dataOffset + static_cast<std::size_t>(stride * r) + 4u * x);
          out[x] = plain32 ? (0xFF000000u | v)
                           : (0xFF000000u | (red(v) << 16) | (green(v) << 8) | blue(v));
        }
        break;
    }
  }
  return true;
}

// RLE4/RLE8: runs, end of line, delta and absolute runs. Any run that leaves the
// picture or reads past the data is an error; pixels never written keep palette entry 0.
bool DecodeRle(const Bytes& b, const Layout& l, Picture& p, const char*& error) {
  const bool four = l.compression == kBiRle4;
  const std::int64_t w = l.width, h = l.height;
  std::fill(p.pixels.begin(), p.pixels.end(), PaletteColor(l, 0));
  std::size_t pos = l.dataOffset;
  std::int64_t x = 0, line = 0;
  for (;;) {
    if (!b.has(pos, 2)) {
      error = "truncated RLE data";
      return false;
    }
    const unsigned n = b.at(pos)[0], c = b.at(pos)[1];
    pos += 2;
    if (n > 0) {
      if (line >= h || x + n > w) {
        error = "RLE run outside the picture";
        return false;
      }
      std::uint32_t* out = RowPtr(p, RowOf(l, line));
      for (unsigned i = 0; i < n; ++i)
        out[x + i] = PaletteColor(l, four ? ((i & 1) ? (c & 15) : (c >> 4)) : c);
      x += n;
      continue;
    }
    if (c == 0) {  // end of line
      x = 0;
      if (++line >= h) return true;
    } else if (c == 1) {  // end of bitmap
      return true;
    } else if (c == 2) {  // delta
      if (!b.has(pos, 2)) {
        error = "truncated RLE delta";
        return false;
      }
      x += b.at(pos)[0];
      line += b.at(pos)[1];
      pos += 2;
      if (x > w || line > h) {
        error = "RLE delta outside the picture";
        return false;
      }
      if (line == h) return true;
    } else {  // absolute run of c pixels, padded to 16 bits
      const std::size_t bytes = four ? (c + 1) / 2 : c;
      if (!b.has(pos, bytes)) {
        error = "truncated RLE absolute run";
        return false;
      }
      if (line >= h || x + c > w) {
        error = "RLE run outside the picture";
        return false;
      }
      const std::uint8_t* in = b.at(pos);
      std::uint32_t* out = RowPtr(p, RowOf(l, line));
      for (unsigned i = 0; i < c; ++i)
        out[x + i] =
            PaletteColor(l, four ? ((i & 1) ? (in[i / 2] & 15) : (in[i / 2] >> 4)) : in[i]);
      x += c;
      pos += bytes + (bytes & 1);
    }
  }
}

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The pixels of a bitmap whose header has been read.
DecodeResult DecodeLaidOut(const Bytes& b, const Layout& l) {
  const char* error = nullptr;
  const std::size_t size = b.size();
  const bool rle = l.compression == kBiRle8 || l.compression == kBiRle4;
  if (!rle) {
    const std::uint64_t stride = (static_cast<std::uint64_t>(l.width) * l.bpp + 31) / 32 * 4;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(l.width) * l.bpp + 7) / 8;
    // Uncompressed rows must all be there; checked before allocating.
    if (stride * static_cast<std::uint64_t>(l.height - 1) + rowBytes > size - l.dataOffset)
      return Fail("truncated pixel data");
  }

  DecodeResult r;
  r.picture.width = static_cast<int>(l.width);
  r.picture.height = static_cast<int>(l.height);
  r.picture.pixels.resize(static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.height));
  if (rle) {
    if (!DecodeRle(b, l, r.picture, error)) return Fail(error);
  } else if (!DecodeUncompressed(b, l, r.picture)) {
    return Fail("truncated pixel data");
  }
  r.ok = true;
  return r;
}

}  // namespace

DecodeResult DecodeBmp(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return Fail("no data");
  const Bytes b(data, size);
  if (!b.has(0, kFileHeaderSize + 4) || b.at(0)[0] != 'B' || b.at(0)[1] != 'M') {
    return Fail("not a BMP file");
  }
  Layout l;
  const char* error = nullptr;
  if (!ParseBitmapHeader(b, kFileHeaderSize, b.u32(10), l, error)) return Fail(error);
  return DecodeLaidOut(b, l);
}

DecodeResult DecodeDib(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return Fail("no data");
  const Bytes b(data, size);
  if (!b.has(0, kInfoHeaderSize)) return Fail("truncated header");
  const std::uint32_t headerSize = b.u32(0);
  const std::uint32_t bpp = b.u16(14), compression = b.u32(16), colorsUsed = b.u32(32);
  // A packed DIB holds as many colours as the header declares, so the pixels start after
  // exactly that many, even when they are more than the bit count can index.
  std::size_t colors = 0;
  if (bpp <= 8) colors = colorsUsed != 0 ? colorsUsed : (std::size_t{1} << bpp);
  if (colors > 256) return Fail("bad palette size");
  std::size_t masks = 0;
  if (headerSize == kInfoHeaderSize && compression == kBiBitfields) masks = 12;
  if (headerSize == kInfoHeaderSize && compression == kBiAlphaBitfields) masks = 16;
  if (headerSize < kInfoHeaderSize) return Fail("unsupported header");
  const std::uint64_t offBits = std::uint64_t{headerSize} + colors * 4 + masks;
  if (offBits > size) return Fail("bad pixel data offset");
  Layout l;
  const char* error = nullptr;
  if (!ParseBitmapHeader(b, 0, static_cast<std::uint32_t>(offBits), l, error)) return Fail(error);
  return DecodeLaidOut(b, l);
}

std::vector<std::uint8_t> EncodeBmp24(const Picture& p) {
  if (!Usable(p)) return {};
  const std::uint64_t stride = (static_cast<std::uint64_t>(p.width) * 3 + 3) & ~std::uint64_t{3};
  const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(p.height);
  const std::uint64_t fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
  if (fileSize > 0xFFFFFFFFull) return {};
  std::vector<std::uint8_t> out(static_cast<std::size_t>(fileSize), 0);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, static_cast<std::uint32_t>(fileSize));
  Put32(out, 10, kFileHeaderSize + kInfoHeaderSize);
  Put32(out, 14, kInfoHeaderSize);
  Put32(out, 18, static_cast<std::uint32_t>(p.width));
  Put32(out, 22, static_cast<std::uint32_t>(p.height));  // positive: bottom-up rows
  Put16(out, 26, 1);
  Put16(out, 28, 24);
  Put32(out, 30, kBiRgb);
  Put32(out, 34, static_cast<std::uint32_t>(imageSize));
  std::uint8_t* dst = out.data() + kFileHeaderSize + kInfoHeaderSize;
  for (int y = p.height - 1; y >= 0; --y, dst += stride) {
    const std::uint32_t* in = RowPtr(p, y);
    for (int x = 0; x < p.width; ++x) {
      dst[3 * x] = static_cast<std::uint8_t>(in[x]);
      dst[3 * x + 1] = static_cast<std::uint8_t>(in[x] >> 8);
      dst[3 * x + 2] = static_cast<std::uint8_t>(in[x] >> 16);
    }
  }
  return out;
}

}  // namespace snapdeck

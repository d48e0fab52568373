// PNG through libpng. libpng reports errors by longjmp, so every function that arms
// setjmp is plain C in spirit: no object with a destructor lives in its frame, and
// whatever it fills was allocated by its caller.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>

#include "imaging/codec.h"
#include "imaging/pixels.h"

namespace snapdeck {

namespace {

struct PngIo {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
  std::vector<std::uint8_t>* out = nullptr;
  char message[128] = {0};
};

PngIo* IoOf(png_structp png) { return static_cast<PngIo*>(png_get_io_ptr(png)); }

void OnError(png_structp png, png_const_charp msg) {
  auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
  if (io) {
    std::strncpy(io->message, msg ? msg : "PNG error", sizeof(io->message) - 1);
    io->message[sizeof(io->message) - 1] = 0;
  }
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep dst, png_size_t n) {
  PngIo* io = IoOf(png);
  if (n > io->size - io->pos) png_error(png, "truncated PNG data");
  std::memcpy(dst, io->data + io->pos, n);
  io->pos += n;
}

void WriteToMemory(png_structp png, png_bytep src, png_size_t n) {
  PngIo* io = IoOf(png);
  io->out->insert(io->out->end(), src, src + n);
}

void FlushNothing(png_structp) {}

std::uint32_t Be32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

// Walks the chunk list; false when a chunk claims more bytes than the file has left.
// libpng allocates a chunk's claimed length before reading it and takes an oversized
// length only as a warning, so an 88-byte file could make it allocate 2 GB. Counts
// the bytes of image data on the way.
bool ChunksFitTheFile(const std::uint8_t* data, std::size_t size, std::uint64_t& idatBytes) {
  idatBytes = 0;
  std::size_t pos = 8;
  // A chunk counts from its length and type: libpng acts on those two alone.
  while (size - pos >= 8) {
    const std::uint32_t len = Be32(data + pos);
    if (len > 0x7FFFFFFFu || std::uint64_t{len} + 12 > size - pos) return false;
    if (std::memcmp(data + pos + 4, "IDAT", 4) == 0) idatBytes += len;
    if (std::memcmp(data + pos + 4, "IEND", 4) == 0) break;
    pos += static_cast<std::size_t>(len) + 12;
  }
  return true;
}

struct ReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngIo io;
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0, passes = 1;
};

// Header and the transforms to 8-bit BGRA. Returns false on a libpng error.
bool ReadPngHeader(ReadState* s) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_set_read_fn(s->png, &s->io, ReadFromMemory);
  png_set_user_limits(s->png, kMaxPictureSide, kMaxPictureSide);
  png_set_chunk_malloc_max(s->png, 8u * 1024 * 1024);
  png_read_info(s->png, s->info);
  png_get_IHDR(s->png, s->info, &s->width, &s->height, &s->bitDepth, &s->colorType, &s->interlace,
               nullptr, nullptr);
  png_set_expand(s->png);  // palette -> RGB, low-bit grey -> 8 bits, tRNS -> alpha
  if (s->bitDepth == 16) png_set_scale_16(s->png);
  if (s->colorType == PNG_COLOR_TYPE_GRAY || s->colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(s->png);
  png_set_bgr(s->png);
  if (!(s->colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(s->png, s->info, PNG_INFO_tRNS))
    png_set_filler(s->png, 0xFF, PNG_FILLER_AFTER);
  s->passes = png_set_interlace_handling(s->png);
  png_read_update_info(s->png, s->info);
  if (png_get_rowbytes(s->png, s->info) != static_cast<png_size_t>(s->width) * 4 ||
      png_get_bit_depth(s->png, s->info) != 8)
    png_error(s->png, "unexpected PNG row layout");
  return true;
}

bool ReadPngRows(ReadState* s, std::uint8_t* pixels) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  const std::size_t stride = static_cast<std::size_t>(s->width) * 4;
  for (int pass = 0; pass < s->passes; ++pass)
    for (png_uint_32 y = 0; y < s->height; ++y) png_read_row(s->png, pixels + stride * y, nullptr);
  png_read_end(s->png, nullptr);
  return true;
}

struct WriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngIo io;
};

struct PngLayout {
  int width = 0, height = 0;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  const png_color* palette = nullptr;
  int paletteSize = 0;
  // Rows: BGRA pixels for RGB(A), packed indices for a palette.
  const std::uint8_t* rows = nullptr;
  std::size_t stride = 0;
};

// How one picture is written: each row's filter, and the deflate settings.
struct RowPlan {
  std::vector<std::uint8_t> filters;  // PNG_FILTER_* per row
  int strategy = Z_DEFAULT_STRATEGY;
  int memLevel = 8;
};

// Screens are flat areas, text and repeated rows (every second row when enlarged): a
// repeated row filtered with Up is all zeros, any other row of a screen does best with
// Sub (None for palette indices), smaller and several times faster than trying every
// filter. Photo-like rows (a camera preview, a picture in a viewer) have no such runs;
// for them libpng picks the filter with the smallest sum of absolute differences. A
// row is photo-like when fewer than one pixel in eight repeats the pixel two to its
// left, which an enlarged photo's doubled pixels do not.
//
// Deflate: a picture of photo rows whose residuals stay busy (about 3 bits a byte and
// more) gains nothing from searching for matches, so it is run-length coded: as small
// and four times faster. Pictures with some photo rows, or busy residuals overall,
// drop the short matches that noise produces. Flat screens keep the default.
RowPlan PlanRows(const PngLayout& l) {
  RowPlan plan;
  const bool palette = l.colorType == PNG_COLOR_TYPE_PALETTE;
  plan.filters.assign(static_cast<std::size_t>(l.height),
                      palette ? PNG_FILTER_NONE : PNG_FILTER_SUB);
  if (palette) {
    for (int y = 1; y < l.height; ++y) {
      const std::uint8_t* row = l.rows + l.stride * static_cast<std::size_t>(y);
      if (std::memcmp(row, row - l.stride, l.stride) == 0)
        plan.filters[static_cast<std::size_t>(y)] = PNG_FILTER_UP;
    }
    return plan;
  }
  std::uint64_t residuals[256] = {};
  int distinctRows = 0, photoRows = 0;
  for (int y = 0; y < l.height; ++y) {
    const std::uint8_t* row = l.rows + l.stride * static_cast<std::size_t>(y);
    if (y > 0 && std::memcmp(row, row - l.stride, l.stride) == 0) {
      plan.filters[static_cast<std::size_t>(y)] = PNG_FILTER_UP;
      continue;
    }
    const auto* px = reinterpret_cast<const std::uint32_t*>(row);
    int repeats = 0;
    for (int x = 2; x < l.width; ++x) repeats += px[x] == px[x - 2];
    if (8 * repeats < l.width) {
      plan.filters[static_cast<std::size_t>(y)] = PNG_ALL_FILTERS;
      ++photoRows;
    }
    // Every fourth distinct row is sample enough for the residuals of the colours.
    if (distinctRows++ % 4 != 0) continue;
    for (std::size_t i = 4; i < l.stride; ++i)
      if (i % 4 != 3) ++residuals[static_cast<std::uint8_t>(row[i] - row[i - 4])];
  }
  std::uint64_t total = 0;
  for (std::uint64_t n : residuals) total += n;
  double bitsPerByte = 0;
  for (std::uint64_t n : residuals) {
    if (n == 0) continue;
    const double share = static_cast<double>(n) / static_cast<double>(total);
    bitsPerByte -= share * std::log2(share);
  }
  if (20 * photoRows >= 19 * distinctRows && bitsPerByte >= 3.0) {
    plan.strategy = Z_RLE;
    plan.memLevel = 9;
  } else if ((photoRows > 0 && 10 * photoRows >= distinctRows) || bitsPerByte >= 3.7) {
    plan.strategy = Z_FILTERED;
    plan.memLevel = 9;
  }
  return plan;
}

bool WritePng(WriteState* s, const PngLayout* l, const RowPlan* plan) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_set_write_fn(s->png, &s->io, WriteToMemory, FlushNothing);
  png_set_IHDR(s->png, s->info, static_cast<png_uint_32>(l->width),
               static_cast<png_uint_32>(l->height), l->bitDepth, l->colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (l->colorType == PNG_COLOR_TYPE_PALETTE)
    png_set_PLTE(s->png, s->info, l->palette, l->paletteSize);
  png_set_filter(s->png, 0, PNG_ALL_FILTERS);
  png_set_compression_level(s->png, 6);
  png_set_compression_strategy(s->png, plan->strategy);
  png_set_compression_mem_level(s->png, plan->memLevel);
  // Large IDAT chunks: 12 bytes of chunk frame per 128 KiB instead of per 8 KiB.
  png_set_compression_buffer_size(s->png, std::size_t{1} << 17);
  png_write_info(s->png, s->info);
  if (l->colorType != PNG_COLOR_TYPE_PALETTE) {
    png_set_bgr(s->png);
    if (l->colorType == PNG_COLOR_TYPE_RGB) png_set_filler(s->png, 0, PNG_FILLER_AFTER);
  }
  // The first row goes out with every filter on: libpng sizes its buffers then, and
  // a filter left out at that moment can never be used later.
  int current = PNG_ALL_FILTERS;
  for (int y = 0; y < l->height; ++y) {
    const int wanted = plan->filters[static_cast<std::size_t>(y)];
    if (y > 0 && wanted != current) {
      png_set_filter(s->png, 0, wanted);
      current = wanted;
    }
    png_write_row(s->png, const_cast<png_bytep>(l->rows + l->stride * static_cast<std::size_t>(y)));
  }
  png_write_end(s->png, nullptr);
  return true;
}

// Up to 256 distinct colours of an opaque picture, or false when there are more.
bool CollectPalette(const Picture& p, std::vector<std::uint32_t>& colors,
                    std::vector<std::uint8_t>& indices) {
  constexpr std::size_t kSlots = 1024;  // power of two, well above 256 entries
  std::uint32_t keys[kSlots];
  std::uint8_t values[kSlots];
  bool used[kSlots] = {};
  colors.clear();
  indices.resize(p.pixels.size());
  // No sentinel value for "no colour yet": every 32-bit value is a possible pixel.
  std::uint32_t last = 0;
  bool haveLast = false;
  std::uint8_t lastIndex = 0;
  for (std::size_t i = 0; i < p.pixels.size(); ++i) {
    const std::uint32_t c = p.pixels[i];
    if (!haveLast || c != last) {
      std::size_t slot = ((c & 0xFFFFFFu) * 2654435761u) >> 22 & (kSlots - 1);
      while (used[slot] && keys[slot] != c) slot = (slot + 1) & (kSlots - 1);
      if (!used[slot]) {
        if (colors.size() == 256) return false;
        used[slot] = true;
        keys[slot] = c;
        values[slot] = static_cast<std::uint8_t>(colors.size());
        colors.push_back(c);
      }
      last = c;
      haveLast = true;
      lastIndex = values[slot];
    }
    indices[i] = lastIndex;
  }
  return true;
}

}  // namespace

DecodeResult DecodePng(const std::uint8_t* data, std::size_t size) {
  DecodeResult r;
  if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    r.error = "not a PNG file";
    return r;
  }
  // The picture size comes first in every PNG file, so the budget is checked before
  // libpng allocates anything at all.
  if (size >= 24 && std::memcmp(data + 12, "IHDR", 4) == 0) {
    if (const char* problem = PictureSizeProblem(Be32(data + 16), Be32(data + 20))) {
      r.error = problem;
      return r;
    }
  }
  std::uint64_t idatBytes = 0;
  if (!ChunksFitTheFile(data, size, idatBytes)) {
    r.error = "truncated PNG data";
    return r;
  }
  ReadState s;
  s.io.data = data;
  s.io.size = size;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.io, OnError, OnWarning);
  if (s.png) s.info = png_create_info_struct(s.png);
  if (!s.png || !s.info) {
    png_destroy_read_struct(s.png ? &s.png : nullptr, nullptr, nullptr);
    r.error = "out of memory";
    return r;
  }
  bool ok = ReadPngHeader(&s);
  if (ok && !PictureSizeAllowed(s.width, s.height)) {
    ok = false;
    std::strcpy(s.io.message, "bad picture size");
  }
  if (ok) {
    // Deflate expands at most about 1032:1; image data that cannot fit in the IDAT
    // chunks present means a truncated file, refused before allocating. Within that
    // ratio a small file can still claim a big picture: the budget bounds those.
    const int channels =
        (s.colorType & PNG_COLOR_MASK_COLOR) && s.colorType != PNG_COLOR_TYPE_PALETTE
            ? 3 + ((s.colorType & PNG_COLOR_MASK_ALPHA) ? 1 : 0)
            : 1 + ((s.colorType & PNG_COLOR_MASK_ALPHA) ? 1 : 0);
    const std::uint64_t rowBytes =
        (static_cast<std::uint64_t>(s.width) * channels * s.bitDepth + 7) / 8;
    const std::uint64_t raw = (rowBytes + 1) * s.height;
    if (raw > idatBytes * 1100 + 4096) {
      ok = false;
      std::strcpy(s.io.message, "image data missing or too small");
    }
  }
  if (ok) {
    r.picture.width = static_cast<int>(s.width);
    r.picture.height = static_cast<int>(s.height);
    r.picture.pixels.resize(static_cast<std::size_t>(s.width) * s.height);
    ok = ReadPngRows(&s, reinterpret_cast<std::uint8_t*>(r.picture.pixels.data()));
  }
  png_destroy_read_struct(&s.png, &s.info, nullptr);
  if (!ok) {
    r.picture = Picture{};
    r.error = s.io.message[0] ? s.io.message : "PNG decoding failed";
    return r;
  }
  r.ok = true;
  return r;
}

std::vector<std::uint8_t> EncodePng(const Picture& p) {
  std::vector<std::uint8_t> out;
  if (!Usable(p)) return out;

  bool opaque = true;
  for (std::uint32_t px : p.pixels)
    if ((px >> 24) != 0xFF) {
      opaque = false;
      break;
    }

  PngLayout l;
  l.width = p.width;
  l.height = p.height;
  std::vector<std::uint32_t> colors;
  std::vector<std::uint8_t> indices;
  std::vector<png_color> palette;
  if (opaque && CollectPalette(p, colors, indices)) {
    // Few colours (the usual case for a device screen): a palette, packed as tightly
    // as the count allows.
    l.colorType = PNG_COLOR_TYPE_PALETTE;
    l.bitDepth = colors.size() <= 2 ? 1 : colors.size() <= 4 ? 2 : colors.size() <= 16 ? 4 : 8;
    for (std::uint32_t c : colors)
      palette.push_back(png_color{static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                                  static_cast<png_byte>(c)});
    l.palette = palette.data();
    l.paletteSize = static_cast<int>(palette.size());
    if (l.bitDepth < 8) {
      const int perByte = 8 / l.bitDepth;
      l.stride = (static_cast<std::size_t>(p.width) + perByte - 1) / perByte;
      std::vector<std::uint8_t> packed(l.stride * static_cast<std::size_t>(p.height), 0);
      for (int y = 0; y < p.height; ++y) {
        const std::uint8_t* in = indices.data() + static_cast<std::size_t>(y) * p.width;
        std::uint8_t* row = packed.data() + static_cast<std::size_t>(y) * l.stride;
        for (int x = 0; x < p.width; ++x)
          row[x / perByte] |=
              static_cast<std::uint8_t>(in[x] << (8 - l.bitDepth * (x % perByte + 1)));
      }
      indices.swap(packed);
    } else {
      l.stride = static_cast<std::size_t>(p.width);
    }
    l.rows = indices.data();
  } else {
    l.colorType = opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
    l.rows = reinterpret_cast<const std::uint8_t*>(p.pixels.data());
    l.stride = static_cast<std::size_t>(p.width) * 4;
  }

  const RowPlan plan = PlanRows(l);
  WriteState s;
  s.io.out = &out;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s.io, OnError, OnWarning);
  if (s.png) s.info = png_create_info_struct(s.png);
  bool ok = s.png && s.info && WritePng(&s, &l, &plan);
  png_destroy_write_struct(s.png ? &s.png : nullptr, s.info ? &s.info : nullptr);
  if (!ok) out.clear();
  return out;
}

}  // namespace snapdeck

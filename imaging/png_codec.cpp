// PNG reading goes through libpng, which reports errors by longjmp, so every function
// that arms setjmp is plain C in spirit: no object with a destructor lives in its
// frame, and whatever it fills was allocated by its caller.
#include <png.h>

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
  // Only the chunks that make up the pixels are read; libpng would otherwise keep every
  // text chunk, each inflated up to the limit above, and a small file could hold many.
  static const png_byte kUnused[] =
      "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0"
      "sRGB\0tEXt\0tIME\0zTXt";
  png_set_keep_unknown_chunks(s->png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(s->png, PNG_HANDLE_CHUNK_NEVER, kUnused,
                              static_cast<int>(sizeof(kUnused) / 5));
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

}  // namespace snapdeck

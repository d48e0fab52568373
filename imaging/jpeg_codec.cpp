// JPEG through libjpeg-turbo's libjpeg API. Its errors arrive by longjmp from the
// error manager below; the functions that arm setjmp keep no object with a destructor
// in their frame and only fill memory their caller owns.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h must come first: jerror.h relies on its types.
#include <jerror.h>
#include <jpeglib.h>

#include "imaging/codec.h"
#include "imaging/picture_size.h"
#include "imaging/pixels.h"

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo with JCS_EXTENSIONS is required"
#endif

namespace snapdeck {

namespace {

// Warning codes of the library's message table (jerror.h): the data ran out, or broke
// off inside the image data, where decoding on would only invent grey pixels.
constexpr int kWarnJpegEof = JWRN_JPEG_EOF;
constexpr int kWarnHitMarker = JWRN_HIT_MARKER;
// Every scan of a progressive file passes over the whole image, so a tiny file with
// thousands of scans takes minutes. libjpeg's own script writes 10; encoders that tune
// their scans stay within a few dozen.
constexpr int kMaxScans = 100;
// What reading the headers may take, before the picture's needs are known.
constexpr std::size_t kHeaderMemory = 512 * 1024;

using AllocFn = void* (*)(j_common_ptr, int, std::size_t);
using SarrayFn = JSAMPARRAY (*)(j_common_ptr, int, JDIMENSION, JDIMENSION);
using BarrayFn = JBLOCKARRAY (*)(j_common_ptr, int, JDIMENSION, JDIMENSION);

// Also holds the decoder's memory account: the library's pools only honour
// max_memory_to_use for whole-image arrays, so its other allocations are counted here.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  std::uint64_t allocated;
  std::uint64_t allowed;  // 0: not counted (the encoder)
  AllocFn allocSmall;
  AllocFn allocLarge;
  SarrayFn allocSarray;
  BarrayFn allocBarray;
};

void OnErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void OnEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0 || !cinfo->is_decompressor) return;  // trace messages
  // The end of the data is only fatal in the headers; later the decoder reads ahead
  // past a missing end marker, and really missing image data shows as a hit marker.
  const int code = cinfo->err->msg_code;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  const bool rowsLeft = d->output_height == 0 || d->output_scanline < d->output_height;
  if ((code == kWarnJpegEof && d->output_height == 0) || (code == kWarnHitMarker && rowsLeft))
    OnErrorExit(cinfo);
}

void OnOutputMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(err->message, sizeof(err->message), "too many scans");
    std::longjmp(err->jump, 1);
  }
}

ErrorManager* ErrorsOf(j_common_ptr cinfo) { return reinterpret_cast<ErrorManager*>(cinfo->err); }

void Charge(j_common_ptr cinfo, std::uint64_t bytes) {
  ErrorManager* err = ErrorsOf(cinfo);
  err->allocated += bytes;
  if (err->allowed == 0 || err->allocated <= err->allowed) return;
  std::snprintf(err->message, sizeof(err->message), "JPEG needs too much memory");
  std::longjmp(err->jump, 1);
}

void* CountedSmall(j_common_ptr cinfo, int pool, std::size_t n) {
  Charge(cinfo, n);
  return ErrorsOf(cinfo)->allocSmall(cinfo, pool, n);
}

void* CountedLarge(j_common_ptr cinfo, int pool, std::size_t n) {
  Charge(cinfo, n);
  return ErrorsOf(cinfo)->allocLarge(cinfo, pool, n);
}

JSAMPARRAY CountedSarray(j_common_ptr cinfo, int pool, JDIMENSION width, JDIMENSION rows) {
  Charge(cinfo, static_cast<std::uint64_t>(width) * rows + sizeof(JSAMPROW) * std::uint64_t{rows});
  return ErrorsOf(cinfo)->allocSarray(cinfo, pool, width, rows);
}

JBLOCKARRAY CountedBarray(j_common_ptr cinfo, int pool, JDIMENSION blocks, JDIMENSION rows) {
  Charge(cinfo, static_cast<std::uint64_t>(blocks) * rows * sizeof(JBLOCK) +
                    sizeof(JBLOCKROW) * std::uint64_t{rows});
  return ErrorsOf(cinfo)->allocBarray(cinfo, pool, blocks, rows);
}

// Puts the decoder's allocations on the account, limited to `allowed` bytes.
void LimitMemory(j_decompress_ptr cinfo, std::uint64_t allowed) {
  ErrorManager* err = ErrorsOf(reinterpret_cast<j_common_ptr>(cinfo));
  jpeg_memory_mgr* mem = cinfo->mem;
  if (err->allowed == 0) {
    err->allocSmall = mem->alloc_small;
    err->allocLarge = mem->alloc_large;
    err->allocSarray = mem->alloc_sarray;
    err->allocBarray = mem->alloc_barray;
    mem->alloc_small = CountedSmall;
    mem->alloc_large = CountedLarge;
    mem->alloc_sarray = CountedSarray;
    mem->alloc_barray = CountedBarray;
  }
  err->allowed = allowed;
  // Whole-image arrays are made by the library's own calls: they go by this limit.
  mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(allowed, 0x7FFFFFFF));
}

void InitErrors(ErrorManager& err) {
  err.allocated = 0;
  err.allowed = 0;
  jpeg_std_error(&err.pub);
  err.pub.error_exit = OnErrorExit;
  err.pub.emit_message = OnEmitMessage;
  err.pub.output_message = OnOutputMessage;
  err.message[0] = 0;
}

struct ReadState {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  bool created = false;
  bool cmyk = false;
  bool adobeInverted = false;
};

bool ReadJpegHeader(ReadState* s, const std::uint8_t* data, std::size_t size) {
  if (setjmp(s->err.jump)) return false;
  jpeg_create_decompress(&s->cinfo);
  s->created = true;
  LimitMemory(&s->cinfo, kHeaderMemory);
  s->progress.progress_monitor = OnProgress;
  s->cinfo.progress = &s->progress;
  jpeg_mem_src(&s->cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&s->cinfo, TRUE) != JPEG_HEADER_OK) {
    std::snprintf(s->err.message, sizeof(s->err.message), "no JPEG image");
    return false;
  }
  if (s->cinfo.arith_code) {
    std::snprintf(s->err.message, sizeof(s->err.message), "arithmetic coding not supported");
    return false;
  }
  LimitMemory(&s->cinfo, JpegLibraryBytes(s->cinfo.image_width, s->cinfo.image_height,
                                          s->cinfo.num_components,
                                          jpeg_has_multiple_scans(&s->cinfo) != 0));
  switch (s->cinfo.jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
      s->cmyk = true;
      s->adobeInverted = s->cinfo.saw_Adobe_marker;
      s->cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      s->cinfo.out_color_space = JCS_EXT_BGRA;
      break;
  }
  return true;
}

// Decodes into w x h BGRA pixels (the output size set up before); rowBuffer (w * 4
// bytes) takes CMYK rows.
bool ReadJpegRows(ReadState* s, JDIMENSION expectedWidth, JDIMENSION expectedHeight,
                  std::uint8_t* pixels, std::uint8_t* rowBuffer) {
  if (setjmp(s->err.jump)) return false;
  jpeg_start_decompress(&s->cinfo);
  const JDIMENSION w = s->cinfo.output_width;
  if (w != expectedWidth || s->cinfo.output_height != expectedHeight ||
      s->cinfo.output_components != 4) {
    std::snprintf(s->err.message, sizeof(s->err.message), "unexpected JPEG output layout");
    return false;
  }
  while (s->cinfo.output_scanline < s->cinfo.output_height) {
    std::uint8_t* row = pixels + static_cast<std::size_t>(s->cinfo.output_scanline) * w * 4;
    JSAMPROW target = s->cmyk ? rowBuffer : row;
    if (jpeg_read_scanlines(&s->cinfo, &target, 1) != 1) {
      std::snprintf(s->err.message, sizeof(s->err.message), "JPEG data ended early");
      return false;
    }
    if (!s->cmyk) continue;
    for (JDIMENSION x = 0; x < w; ++x) {
      unsigned c = rowBuffer[4 * x], m = rowBuffer[4 * x + 1], y = rowBuffer[4 * x + 2],
               k = rowBuffer[4 * x + 3];
      // Adobe writes the inks inverted (0 = full ink).
      if (!s->adobeInverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
      }
      row[4 * x + 0] = static_cast<std::uint8_t>((y * k + 127) / 255);
      row[4 * x + 1] = static_cast<std::uint8_t>((m * k + 127) / 255);
      row[4 * x + 2] = static_cast<std::uint8_t>((c * k + 127) / 255);
      row[4 * x + 3] = 255;
    }
  }
  jpeg_finish_decompress(&s->cinfo);
  return true;
}

struct WriteState {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  bool created = false;
  unsigned char* buffer = nullptr;
  unsigned long bufferSize = 0;
};

bool WriteJpeg(WriteState* s, const Picture* p, int quality) {
  if (setjmp(s->err.jump)) return false;
  jpeg_create_compress(&s->cinfo);
  s->created = true;
  jpeg_mem_dest(&s->cinfo, &s->buffer, &s->bufferSize);
  s->cinfo.image_width = static_cast<JDIMENSION>(p->width);
  s->cinfo.image_height = static_cast<JDIMENSION>(p->height);
  s->cinfo.input_components = 4;
  s->cinfo.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&s->cinfo);
  jpeg_set_quality(&s->cinfo, quality, TRUE);
  // No chroma subsampling: screenshots are full of coloured text and thin lines.
  for (int i = 0; i < s->cinfo.num_components; ++i) {
    s->cinfo.comp_info[i].h_samp_factor = 1;
    s->cinfo.comp_info[i].v_samp_factor = 1;
  }
  s->cinfo.optimize_coding = TRUE;
  jpeg_start_compress(&s->cinfo, TRUE);
  while (s->cinfo.next_scanline < s->cinfo.image_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<std::uint32_t*>(
        &p->pixels[static_cast<std::size_t>(s->cinfo.next_scanline) * p->width]));
    jpeg_write_scanlines(&s->cinfo, &row, 1);
  }
  jpeg_finish_compress(&s->cinfo);
  return true;
}

// The smallest scale of M/8 whose output still covers minWidth x minHeight; 8 without
// a minimum. The library rounds scaled sizes up.
unsigned ScaleNumerator(JDIMENSION w, JDIMENSION h, int minWidth, int minHeight) {
  if (minWidth <= 0 || minHeight <= 0) return 8;
  for (unsigned m = 1; m < 8; ++m) {
    const std::uint64_t sw = (static_cast<std::uint64_t>(w) * m + 7) / 8;
    const std::uint64_t sh = (static_cast<std::uint64_t>(h) * m + 7) / 8;
    if (sw >= static_cast<std::uint64_t>(minWidth) && sh >= static_cast<std::uint64_t>(minHeight))
      return m;
  }
  return 8;
}

// Sets the output scale once the header is read; false when the library refuses it.
bool SetOutputScale(ReadState* s, unsigned numerator) {
  if (setjmp(s->err.jump)) return false;
  s->cinfo.scale_num = numerator;
  s->cinfo.scale_denom = 8;
  jpeg_calc_output_dimensions(&s->cinfo);
  return true;
}

}  // namespace

DecodeResult DecodeJpeg(const std::uint8_t* data, std::size_t size) {
  int w = 0;
  int h = 0;
  return DecodeJpegAtLeast(data, size, 0, 0, w, h);
}

DecodeResult DecodeJpegAtLeast(const std::uint8_t* data, std::size_t size, int minWidth,
                               int minHeight, int& fullWidth, int& fullHeight) {
  fullWidth = 0;
  fullHeight = 0;
  DecodeResult r;
  if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
    r.error = "not a JPEG file";
    return r;
  }
  if (size > 0xFFFFFFFFu) {
    r.error = "file too large";
    return r;
  }
  ReadState s;
  std::memset(&s.cinfo, 0, sizeof(s.cinfo));
  std::memset(&s.progress, 0, sizeof(s.progress));
  InitErrors(s.err);
  s.cinfo.err = &s.err.pub;
  bool ok = ReadJpegHeader(&s, data, size);
  std::vector<std::uint8_t> rowBuffer;
  if (ok) {
    const JDIMENSION w = s.cinfo.image_width, h = s.cinfo.image_height;
    // A Huffman-coded sequential scan spends at least two bits on each 8 x 8 block, so
    // a file can hold at most 256 pixels per byte; more means data is missing. A
    // progressive file's first scan spends at least one bit on each block: 512.
    const std::uint64_t pixelsPerByte = s.cinfo.progressive_mode ? 512 : 256;
    const bool tooFewBytes =
        static_cast<std::uint64_t>(w) * h > static_cast<std::uint64_t>(size) * pixelsPerByte + 4096;
    const char* problem = PictureSizeProblem(w, h);
    if (problem || tooFewBytes) {
      ok = false;
      std::snprintf(s.err.message, sizeof(s.err.message), "%s",
                    problem ? problem : "JPEG data too short for its size");
    } else if (!SetOutputScale(&s, ScaleNumerator(w, h, minWidth, minHeight))) {
      ok = false;
    } else {
      fullWidth = static_cast<int>(w);
      fullHeight = static_cast<int>(h);
      const JDIMENSION ow = s.cinfo.output_width, oh = s.cinfo.output_height;
      r.picture.width = static_cast<int>(ow);
      r.picture.height = static_cast<int>(oh);
      r.picture.pixels.resize(static_cast<std::size_t>(ow) * oh);
      if (s.cmyk) rowBuffer.resize(static_cast<std::size_t>(ow) * 4);
      ok = ReadJpegRows(&s, ow, oh, reinterpret_cast<std::uint8_t*>(r.picture.pixels.data()),
                        rowBuffer.empty() ? nullptr : rowBuffer.data());
    }
  }
  if (s.created) jpeg_destroy_decompress(&s.cinfo);
  if (!ok) {
    r.picture = Picture{};
    fullWidth = 0;
    fullHeight = 0;
    r.error = s.err.message[0] ? s.err.message : "JPEG decoding failed";
    return r;
  }
  r.ok = true;
  return r;
}

std::vector<std::uint8_t> EncodeJpeg(const Picture& p, int quality) {
  std::vector<std::uint8_t> out;
  if (!Usable(p) || p.width > JPEG_MAX_DIMENSION || p.height > JPEG_MAX_DIMENSION) return out;
  quality = ClampInt(quality, 1, 100);
  WriteState s;
  std::memset(&s.cinfo, 0, sizeof(s.cinfo));
  InitErrors(s.err);
  s.cinfo.err = &s.err.pub;
  const bool ok = WriteJpeg(&s, &p, quality);
  if (ok && s.buffer) out.assign(s.buffer, s.buffer + s.bufferSize);
  if (s.created) jpeg_destroy_compress(&s.cinfo);
  std::free(s.buffer);
  return out;
}

}  // namespace snapdeck

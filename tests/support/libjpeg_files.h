// JPEG files written with libjpeg itself, for the layouts our encoder never makes (grey,
// CMYK, progressive, restart markers, arithmetic coding). Used by the tests and by the
// fuzz corpus generator.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

// jpeglib.h needs stdio's FILE declared first.
#include <jpeglib.h>

namespace snapdeck::testing {

struct LibjpegSpec {
  int width = 1;
  int height = 1;
  int components = 3;
  J_COLOR_SPACE space = JCS_RGB;
  int quality = 75;
  bool progressive = false;
  bool subsample = false;  // libjpeg's default chroma subsampling instead of 1 x 1
  bool adobeMarker = false;
  unsigned restartInterval = 0;  // in MCU rows; 0 writes no restart markers
  bool arithmetic = false;
};

// `fillRow(y, row)` writes the width * components samples of row y.
inline std::vector<std::uint8_t> WriteWithLibjpeg(
    const LibjpegSpec& s, const std::function<void(int y, std::uint8_t* row)>& fillRow) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(s.width);
  c.image_height = static_cast<JDIMENSION>(s.height);
  c.input_components = s.components;
  c.in_color_space = s.space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, s.quality, TRUE);
  if (!s.subsample) {
    for (int i = 0; i < c.num_components; ++i) {
      c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    }
  }
  if (s.progressive) jpeg_simple_progression(&c);
  c.write_Adobe_marker = s.adobeMarker;
  c.restart_interval = s.restartInterval;
  c.arith_code = s.arithmetic;
  jpeg_start_compress(&c, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(s.width) * s.components);
  for (int y = 0; y < s.height; ++y) {
    fillRow(y, row.data());
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace snapdeck::testing

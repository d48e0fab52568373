// Writes the small seed files of fuzz/corpus: one per layout the decoders know, so the
// fuzzer starts from every branch instead of having to discover the formats.
// Built and run by fuzz/make_corpus.sh.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/codec.h"
#include "imaging/draw.h"
#include "tests/support/libjpeg_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using snapdeck::MakeRgb;
using snapdeck::Picture;

std::string g_root;

void Save(const std::string& name, const Bytes& b) {
  const std::string path = g_root + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size()) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fclose(f);
}

Picture Sample(int w, int h) {
  Picture p = snapdeck::MakePicture(w, h, MakeRgb(0x22, 0x22, 0x33));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((x + y) % 3 == 0) p.at(x, y) = snapdeck::PixelOf(MakeRgb(x * 40, y * 60, 200));
  return p;
}

// ---- BMP

void Le(Bytes& b, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes Bmp(int headerSize, std::int32_t w, std::int32_t h, int bpp, std::uint32_t compression,
          const std::vector<std::uint32_t>& masks, int paletteEntries, const Bytes& pixels) {
  const int entry = headerSize == 12 ? 3 : 4;
  const bool masksInHeader = headerSize >= 52;
  const std::uint32_t off = 14 + headerSize +
                            (masksInHeader ? 0 : 4 * static_cast<int>(masks.size())) +
                            entry * paletteEntries;
  Bytes b = {'B', 'M'};
  Le(b, off + static_cast<std::uint32_t>(pixels.size()), 4);
  Le(b, 0, 4);
  Le(b, off, 4);
  Le(b, static_cast<std::uint32_t>(headerSize), 4);
  if (headerSize == 12) {
    Le(b, static_cast<std::uint32_t>(w), 2);
    Le(b, static_cast<std::uint32_t>(h), 2);
    Le(b, 1, 2);
    Le(b, static_cast<std::uint32_t>(bpp), 2);
  } else {
    Le(b, static_cast<std::uint32_t>(w), 4);
    Le(b, static_cast<std::uint32_t>(h), 4);
    Le(b, 1, 2);
    Le(b, static_cast<std::uint32_t>(bpp), 2);
    Le(b, compression, 4);
    Le(b, static_cast<std::uint32_t>(pixels.size()), 4);
    Le(b, 2835, 4);
    Le(b, 2835, 4);
    Le(b, static_cast<std::uint32_t>(paletteEntries), 4);
    Le(b, 0, 4);
    for (int i = 40; i < headerSize; i += 4) {
      const std::size_t m = static_cast<std::size_t>(i - 40) / 4;
      Le(b, m < masks.size() ? masks[m] : 0, 4);
    }
  }
  if (!masksInHeader)
    for (std::uint32_t m : masks) Le(b, m, 4);
  for (int i = 0; i < paletteEntries; ++i) {
    b.push_back(static_cast<std::uint8_t>(i * 50));
    b.push_back(static_cast<std::uint8_t>(255 - i * 30));
    b.push_back(static_cast<std::uint8_t>(i * 90));
    if (entry == 4) b.push_back(0);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

void MakeBmpSeeds() {
  Save("bmp/bpp1.bmp", Bmp(40, 9, 2, 1, 0, {}, 2, {0xA5, 0x80, 0, 0, 0x5A, 0x00, 0, 0}));
  Save("bmp/bpp4_short_palette.bmp",
       Bmp(40, 3, 2, 4, 0, {}, 5, {0x12, 0x30, 0, 0, 0x45, 0x00, 0, 0}));
  Save("bmp/bpp8_top_down.bmp", Bmp(40, 3, -2, 8, 0, {}, 4, {0, 1, 2, 0, 3, 2, 1, 0}));
  Save("bmp/core_bpp8.bmp", Bmp(12, 2, 2, 8, 0, {}, 3, {0, 1, 0, 0, 2, 1, 0, 0}));
  Save("bmp/core_bpp24.bmp", Bmp(12, 1, 1, 24, 0, {}, 0, {1, 2, 3, 0}));
  Save("bmp/rle8.bmp",
       Bmp(40, 6, 3, 8, 1, {}, 3, {3, 1, 0, 3, 2, 1, 2, 0, 0, 0, 0, 2, 1, 1, 2, 2, 0, 1}));
  Save("bmp/rle4.bmp",
       Bmp(40, 7, 2, 4, 2, {}, 3, {3, 0x12, 0, 3, 0x21, 0x00, 1, 0x20, 0, 0, 7, 0x01, 0, 1}));
  Save("bmp/rgb555.bmp", Bmp(40, 2, 1, 16, 0, {}, 0, {0x00, 0x7C, 0xFF, 0x03}));
  Save("bmp/bitfields565.bmp",
       Bmp(40, 2, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, 0, {0x00, 0xF8, 0x1F, 0x00}));
  Save("bmp/bitfields32_v4.bmp",
       Bmp(108, 1, -2, 32, 3, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 0, {1, 2, 3, 4, 5, 6, 7, 8}));
  Save("bmp/alphabitfields32.bmp",
       Bmp(40, 1, 1, 32, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0, {9, 8, 7, 6}));
  Save("bmp/bgrx32.bmp", Bmp(40, 2, 1, 32, 0, {}, 0, {1, 2, 3, 0, 4, 5, 6, 0}));
  Save("bmp/rgb24.bmp", snapdeck::EncodeBmp24(Sample(5, 4)));
}

// ---- PNG

void AppendToVector(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

Bytes Png(int w, int h, int depth, int type, bool interlaced, bool transparency) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendToVector, nullptr);
  png_set_IHDR(png, info, w, h, depth, type, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const int entries = type == PNG_COLOR_TYPE_PALETTE ? (1 << depth) : 0;
  std::vector<png_color> palette;
  for (int i = 0; i < entries; ++i)
    palette.push_back({static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i),
                       static_cast<png_byte>(i * 11)});
  if (entries) png_set_PLTE(png, info, palette.data(), entries);
  png_byte alpha[2] = {0, 128};
  png_color_16 key{};
  key.red = key.green = key.blue = key.gray = 1;
  if (transparency) png_set_tRNS(png, info, alpha, entries ? 2 : 0, entries ? nullptr : &key);
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  const std::size_t rowBytes = (static_cast<std::size_t>(w) * channels * depth + 7) / 8;
  std::vector<Bytes> rows(h, Bytes(rowBytes));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < h; ++y) {
    for (std::size_t i = 0; i < rowBytes; ++i)
      rows[y][i] = static_cast<png_byte>((i * 29 + y * 71) & 0xFF);
    pointers.push_back(rows[y].data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void MakePngSeeds() {
  for (int depth : {1, 2, 4, 8, 16})
    Save("png/gray" + std::to_string(depth) + ".png",
         Png(5, 3, depth, PNG_COLOR_TYPE_GRAY, false, depth == 8));
  for (int depth : {1, 2, 4, 8})
    Save("png/palette" + std::to_string(depth) + ".png",
         Png(5, 3, depth, PNG_COLOR_TYPE_PALETTE, false, true));
  Save("png/rgb8.png", Png(4, 3, 8, PNG_COLOR_TYPE_RGB, false, true));
  Save("png/rgb16.png", Png(3, 2, 16, PNG_COLOR_TYPE_RGB, false, false));
  Save("png/gray_alpha.png", Png(3, 2, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false, false));
  Save("png/rgba16.png", Png(2, 2, 16, PNG_COLOR_TYPE_RGB_ALPHA, false, false));
  Save("png/interlaced.png", Png(9, 9, 8, PNG_COLOR_TYPE_RGB_ALPHA, true, false));
  Save("png/ours_palette.png", snapdeck::EncodePng(Sample(6, 4)));
}

// ---- JPEG

Bytes Jpeg(int w, int h, int components, J_COLOR_SPACE space, bool progressive, bool adobe,
           bool subsample, int restart, bool arithmetic) {
  const snapdeck::testing::LibjpegSpec spec{.width = w,
                                            .height = h,
                                            .components = components,
                                            .space = space,
                                            .progressive = progressive,
                                            .subsample = subsample,
                                            .adobeMarker = adobe,
                                            .restartInterval = static_cast<unsigned>(restart),
                                            .arithmetic = arithmetic};
  const std::size_t rowBytes = static_cast<std::size_t>(w) * components;
  return snapdeck::testing::WriteWithLibjpeg(spec, [rowBytes](int y, std::uint8_t* row) {
    for (std::size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<std::uint8_t>(i * 13 + y * 40);
  });
}

void MakeJpegSeeds() {
  Save("jpeg/ours_444.jpg", snapdeck::EncodeJpeg(Sample(9, 7), 100));
  Save("jpeg/ycc420.jpg", Jpeg(17, 9, 3, JCS_RGB, false, false, true, 0, false));
  Save("jpeg/gray.jpg", Jpeg(9, 9, 1, JCS_GRAYSCALE, false, false, false, 0, false));
  Save("jpeg/progressive.jpg", Jpeg(17, 9, 3, JCS_RGB, true, false, true, 0, false));
  Save("jpeg/progressive_gray.jpg", Jpeg(8, 16, 1, JCS_GRAYSCALE, true, false, false, 0, false));
  Save("jpeg/cmyk_adobe.jpg", Jpeg(8, 8, 4, JCS_CMYK, false, true, false, 0, false));
  Save("jpeg/cmyk_plain.jpg", Jpeg(8, 8, 4, JCS_CMYK, false, false, false, 0, false));
  Save("jpeg/restarts.jpg", Jpeg(32, 16, 3, JCS_RGB, false, false, false, 1, false));
  Save("jpeg/arithmetic.jpg", Jpeg(8, 8, 3, JCS_RGB, false, false, false, 0, true));
}

}  // namespace

int main(int argc, char** argv) {
  g_root = argc > 1 ? argv[1] : "fuzz/corpus";
  MakeBmpSeeds();
  MakePngSeeds();
  MakeJpegSeeds();
  return 0;
}

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imaging/codec.h"
#include "imaging/draw.h"
#include "imaging/scale.h"
#include "tests/support/libjpeg_files.h"
#include "tests/support/pictures.h"

namespace snapdeck {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing::AlphaAt;
using testing::At;

// A picture with smooth areas, hard edges and many colours.
Picture TestPicture(int w, int h) {
  Picture p = MakePicture(w, h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      p.at(x, y) =
          PixelOf(MakeRgb(x * 255 / (w - 1), y * 255 / (h - 1), (x / 4 + y / 4) % 2 ? 200 : 40));
  return p;
}

// ---- PNG files written directly with libpng, for the variants our encoder never makes.

struct PngSpec {
  int width = 1, height = 1, bitDepth = 8, colorType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  std::vector<Bytes> rows;
  std::vector<png_color> palette;
  Bytes paletteAlpha;
  bool grayTransparent = false;
  int transparentGray = 0;
};

void AppendToVector(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

Bytes BuildPng(PngSpec s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendToVector, nullptr);
  png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colorType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty())
    png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.paletteAlpha.empty())
    png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()),
                 nullptr);
  png_color_16 gray{};
  gray.gray = static_cast<png_uint_16>(s.transparentGray);
  if (s.grayTransparent) png_set_tRNS(png, info, nullptr, 0, &gray);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (Bytes& r : s.rows) rows.push_back(r.data());
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Rewrites the CRC of the chunk whose data starts at `dataAt` after a patch.
void FixCrc(Bytes& b, std::size_t dataAt, std::size_t length) {
  const uLong crc = crc32(0, b.data() + dataAt - 4, static_cast<uInt>(length + 4));
  for (int i = 0; i < 4; ++i)
    b[dataAt + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
}

TEST(ImagingPng, ReadsEveryColourTypeAndDepth) {
  PngSpec g1;  // 1-bit grey, 10 wide: 1 -> white
  g1.width = 10;
  g1.bitDepth = 1;
  g1.colorType = PNG_COLOR_TYPE_GRAY;
  g1.rows = {{0b10100000, 0b01000000}};
  Bytes file = BuildPng(g1);
  DecodeResult r = DecodePng(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), MakeRgb(255, 255, 255));
  EXPECT_EQ(At(r.picture, 1, 0), MakeRgb(0, 0, 0));
  EXPECT_EQ(At(r.picture, 2, 0), MakeRgb(255, 255, 255));
  EXPECT_EQ(At(r.picture, 9, 0), MakeRgb(255, 255, 255));
  EXPECT_EQ(AlphaAt(r.picture, 0, 0), 255u);

  PngSpec pal;  // 2-bit palette with partial transparency: colours kept as stored
  pal.width = 3;
  pal.bitDepth = 2;
  pal.colorType = PNG_COLOR_TYPE_PALETTE;
  pal.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  pal.paletteAlpha = {0, 128};
  pal.rows = {{0b00011000}};
  file = BuildPng(pal);
  r = DecodePng(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), MakeRgb(10, 20, 30));
  EXPECT_EQ(AlphaAt(r.picture, 0, 0), 0u);
  EXPECT_EQ(At(r.picture, 1, 0), MakeRgb(40, 50, 60));
  EXPECT_EQ(AlphaAt(r.picture, 1, 0), 128u);
  EXPECT_EQ(At(r.picture, 2, 0), MakeRgb(70, 80, 90));
  EXPECT_EQ(AlphaAt(r.picture, 2, 0), 255u);

  PngSpec deep;  // 16-bit RGB reduced to 8 bits
  deep.bitDepth = 16;
  deep.rows = {{0xFF, 0xFF, 0x80, 0x80, 0x01, 0x01}};
  file = BuildPng(deep);
  r = DecodePng(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), MakeRgb(255, 128, 1));

  PngSpec ga;  // grey + alpha
  ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  ga.rows = {{100, 50}};
  file = BuildPng(ga);
  r = DecodePng(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), MakeRgb(100, 100, 100));
  EXPECT_EQ(AlphaAt(r.picture, 0, 0), 50u);

  PngSpec keyed;  // grey with one transparent value
  keyed.width = 2;
  keyed.colorType = PNG_COLOR_TYPE_GRAY;
  keyed.grayTransparent = true;
  keyed.transparentGray = 7;
  keyed.rows = {{7, 8}};
  file = BuildPng(keyed);
  r = DecodePng(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(AlphaAt(r.picture, 0, 0), 0u);
  EXPECT_EQ(AlphaAt(r.picture, 1, 0), 255u);
  EXPECT_EQ(At(r.picture, 1, 0), MakeRgb(8, 8, 8));

  PngSpec rgba;
  rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  rgba.rows = {{1, 2, 3, 4}};
  file = BuildPng(rgba);
  r = DecodePng(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.at(0, 0), 0x04010203u);
}

TEST(ImagingPng, ReadsInterlacedFiles) {
  const Picture expected = TestPicture(9, 11);
  PngSpec s;
  s.width = 9;
  s.height = 11;
  s.interlaced = true;
  for (int y = 0; y < 11; ++y) {
    Bytes row;
    for (int x = 0; x < 9; ++x) {
      const Rgb c = At(expected, x, y);
      row.insert(row.end(),
                 {static_cast<std::uint8_t>(RedOf(c)), static_cast<std::uint8_t>(GreenOf(c)),
                  static_cast<std::uint8_t>(BlueOf(c))});
    }
    s.rows.push_back(row);
  }
  const Bytes file = BuildPng(s);
  const DecodeResult r = DecodePng(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.pixels, expected.pixels);
}

TEST(ImagingPng, RoundTripsPickTheSmallestLosslessLayout) {
  struct Case {
    Picture picture;
    int colorType, bitDepth;
  };
  Picture two = MakePicture(13, 5, MakeRgb(1, 2, 3));
  FillRect(two, 3, 1, 4, 2, MakeRgb(250, 0, 9));
  Picture ten = MakePicture(17, 9, 0);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 17; ++x) ten.at(x, y) = PixelOf(MakeRgb((x + y) % 10 * 20, 5, 7));
  // Opaque white is the all-ones pixel value; it must get its own palette entry.
  Picture whiteFirst = MakePicture(12, 6, MakeRgb(0x22, 0x22, 0x33));
  FillRect(whiteFirst, 0, 0, 12, 1, MakeRgb(0xFF, 0xFF, 0xFF));
  FillRect(whiteFirst, 0, 1, 12, 1, MakeRgb(0xD6, 0xD6, 0xD6));
  Picture many = TestPicture(40, 30);
  Picture translucent = TestPicture(8, 8);
  translucent.at(3, 3) = (translucent.at(3, 3) & 0x00FFFFFFu) | 0x80000000u;
  const Case cases[] = {{two, PNG_COLOR_TYPE_PALETTE, 1},
                        {ten, PNG_COLOR_TYPE_PALETTE, 4},
                        {whiteFirst, PNG_COLOR_TYPE_PALETTE, 2},
                        {many, PNG_COLOR_TYPE_RGB, 8},
                        {translucent, PNG_COLOR_TYPE_RGB_ALPHA, 8}};
  for (const Case& c : cases) {
    const Bytes file = EncodePng(c.picture);
    ASSERT_GT(file.size(), 33u);
    EXPECT_EQ(file[24], c.bitDepth);
    EXPECT_EQ(file[25], c.colorType);
    const DecodeResult r = DecodePng(file.data(), file.size());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.picture.width, c.picture.width);
    EXPECT_EQ(r.picture.pixels, c.picture.pixels);
  }
  EXPECT_TRUE(EncodePng(Picture{}).empty());
}

// A photo-like picture: smooth waves with noise on every pixel, so no two neighbours
// repeat and there are far more than 256 colours.
Picture PhotoPicture(int w, int h) {
  Picture p = MakePicture(w, h, 0);
  std::uint32_t seed = 99;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28);
      p.at(x, y) = PixelOf(MakeRgb(100 + (x * 7 + y * 3) % 90 + noise, 60 + (x * y) % 120 + noise,
                                   200 - (x + 2 * y) % 150 + noise));
    }
  return p;
}

TEST(ImagingPng, EveryKindOfScreenRoundTripsBitExactly) {
  Picture flat = MakePicture(300, 40, MakeRgb(0xF4, 0xF4, 0xF0));  // > 256 colours in bands
  for (int x = 0; x < 300; ++x) FillRect(flat, x, 10, 1, 12, MakeRgb(x % 256, 180, 255 - x % 200));
  FillRect(flat, 20, 25, 50, 5, MakeRgb(0x11, 0x11, 0x11));
  Picture palette = MakePicture(90, 30, MakeRgb(0x22, 0x22, 0x33));
  FillRect(palette, 5, 5, 40, 10, MakeRgb(0xBB, 0x11, 0x22));
  const Picture photo = PhotoPicture(97, 61);
  // A photo framed in a flat screen, as a picture viewer shows it.
  Picture viewer = flat;
  Blit(viewer, CopyRegion(photo, 0, 0, 97, 30), 150, 5);
  Picture translucentPhoto = photo;
  for (std::uint32_t& px : translucentPhoto.pixels) px = (px & 0x00FFFFFFu) | ((px & 0xFF) << 24);
  // Big enough for the image data to be deflated in several parts.
  const Picture bigPhoto = PhotoPicture(420, 400);
  Picture bigScreen = MakePicture(700, 200, MakeRgb(0xF4, 0xF4, 0xF0));
  for (int y = 0; y < 200; y += 20) Blit(bigScreen, flat, (y * 7) % 400, y);
  // A phone's screen: long stretches of one background between a few busy rows.
  Picture tallScreen = MakePicture(800, 900, MakeRgb(0xF4, 0xF4, 0xF0));
  for (int y : {0, 430, 860}) Blit(tallScreen, flat, y % 500, y);
  for (const Picture& source :
       {flat, palette, photo, viewer, translucentPhoto, bigPhoto, bigScreen, tallScreen}) {
    // As saved at 100% and at 200%, where every row and pixel comes twice.
    for (const Picture& p : {source, ScaleByIndex(source, 5)}) {
      const Bytes file = EncodePng(p);
      const DecodeResult r = DecodePng(file.data(), file.size());
      ASSERT_TRUE(r.ok) << r.error;
      ASSERT_EQ(r.picture.width, p.width);
      EXPECT_EQ(r.picture.pixels, p.pixels) << p.width << "x" << p.height;
    }
  }
}

TEST(ImagingPng, ThinPicturesRoundTrip) {
  for (const auto& [w, h] : {std::pair{1, 1}, {1, 9}, {9, 1}, {2, 300}}) {
    for (const Picture& p :
         {TestPicture(w + 1, h + 1), MakePicture(w + 1, h + 1, MakeRgb(1, 2, 3))}) {
      const Picture thin = CopyRegion(p, 0, 0, w, h);
      const Bytes file = EncodePng(thin);
      const DecodeResult r = DecodePng(file.data(), file.size());
      ASSERT_TRUE(r.ok) << w << "x" << h << " " << r.error;
      EXPECT_EQ(r.picture.pixels, thin.pixels) << w << "x" << h;
    }
  }
}

TEST(ImagingPng, MalformedFilesAreRefused) {
  const Bytes valid = EncodePng(TestPicture(12, 10));
  ASSERT_TRUE(DecodePng(valid.data(), valid.size()).ok);
  for (std::size_t n = 0; n < valid.size(); ++n) EXPECT_FALSE(DecodePng(valid.data(), n).ok) << n;

  // IHDR data starts at 16: width, height.
  auto withSize = [&](std::uint32_t w, std::uint32_t h) {
    Bytes b = valid;
    for (int i = 0; i < 4; ++i) {
      b[16 + i] = static_cast<std::uint8_t>(w >> (24 - 8 * i));
      b[20 + i] = static_cast<std::uint8_t>(h >> (24 - 8 * i));
    }
    FixCrc(b, 16, 13);
    return b;
  };
  for (const auto& [w, h] : {std::pair<std::uint32_t, std::uint32_t>{0x7FFFFFFF, 10},
                             {40000, 10},
                             {30000, 30000},
                             {16000, 16000}}) {
    const Bytes b = withSize(w, h);
    EXPECT_FALSE(DecodePng(b.data(), b.size()).ok) << w << "x" << h;
  }
  Bytes badCrc = valid;
  badCrc[17] ^= 1;
  EXPECT_FALSE(DecodePng(badCrc.data(), badCrc.size()).ok);
  Bytes badData = valid;
  for (std::size_t i = 45; i < badData.size() - 20; ++i) badData[i] ^= 0x5A;
  EXPECT_FALSE(DecodePng(badData.data(), badData.size()).ok);
}

// ---- JPEG files written with libjpeg for the colour spaces our encoder never makes.

Bytes BuildJpeg(int w, int h, int components, J_COLOR_SPACE space, const Bytes& samples,
                bool progressive, bool adobeMarker) {
  const testing::LibjpegSpec spec{.width = w,
                                  .height = h,
                                  .components = components,
                                  .space = space,
                                  .quality = 100,
                                  .progressive = progressive,
                                  .adobeMarker = adobeMarker};
  const std::size_t rowBytes = static_cast<std::size_t>(w) * components;
  return testing::WriteWithLibjpeg(spec, [&](int y, std::uint8_t* row) {
    std::memcpy(row, samples.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
  });
}

int MaxChannelDifference(const Picture& a, const Picture& b) {
  int worst = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8)
      worst = std::max(worst, std::abs(static_cast<int>((a.pixels[i] >> shift) & 255) -
                                       static_cast<int>((b.pixels[i] >> shift) & 255)));
  return worst;
}

TEST(ImagingJpeg, RoundTripAtFullQualityWithoutChromaSubsampling) {
  const Picture p = TestPicture(33, 17);
  const Bytes file = EncodeJpeg(p, 100);
  ASSERT_FALSE(file.empty());
  const DecodeResult r = DecodeJpeg(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.picture.width, 33);
  ASSERT_EQ(r.picture.height, 17);
  EXPECT_LE(MaxChannelDifference(r.picture, p), 6);
  EXPECT_EQ(AlphaAt(r.picture, 5, 5), 255u);
  // Every component of the frame header samples 1 x 1.
  std::size_t sof = 0;
  for (std::size_t i = 2; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC1)) {
      sof = i;
      break;
    }
  ASSERT_NE(sof, 0u);
  ASSERT_EQ(file[sof + 9], 3);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(file[sof + 11 + 3 * c], 0x11) << c;

  const Bytes low = EncodeJpeg(p, -5);  // clamped to 1
  const Bytes high = EncodeJpeg(p, 1000);
  ASSERT_FALSE(low.empty());
  EXPECT_LT(low.size(), high.size());
  EXPECT_TRUE(DecodeJpeg(low.data(), low.size()).ok);
}

TEST(ImagingJpeg, ReadsGreyProgressiveAndCmyk) {
  Bytes grey(16 * 8);
  for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<std::uint8_t>(i * 2);
  Bytes file = BuildJpeg(16, 8, 1, JCS_GRAYSCALE, grey, false, false);
  DecodeResult r = DecodeJpeg(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  const Rgb g = At(r.picture, 5, 3);
  EXPECT_EQ(RedOf(g), GreenOf(g));
  EXPECT_EQ(RedOf(g), BlueOf(g));
  EXPECT_NEAR(RedOf(g), grey[3 * 16 + 5], 3);

  const Picture p = TestPicture(24, 16);
  Bytes rgb;
  for (std::uint32_t px : p.pixels)
    rgb.insert(rgb.end(), {static_cast<std::uint8_t>(px >> 16), static_cast<std::uint8_t>(px >> 8),
                           static_cast<std::uint8_t>(px)});
  file = BuildJpeg(24, 16, 3, JCS_RGB, rgb, true, false);
  r = DecodeJpeg(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_LE(MaxChannelDifference(r.picture, p), 6);

  // Adobe CMYK stores inverted inks: (255, 0, 255, 255) is magenta on white paper.
  const Bytes inverted = {255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255};
  file = BuildJpeg(2, 2, 4, JCS_CMYK, inverted, false, true);
  r = DecodeJpeg(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  Rgb c = At(r.picture, 1, 1);
  EXPECT_NEAR(RedOf(c), 255, 3);
  EXPECT_NEAR(GreenOf(c), 0, 3);
  EXPECT_NEAR(BlueOf(c), 255, 3);
  // Without the Adobe marker the same bytes are plain inks: cyan + yellow + black.
  file = BuildJpeg(2, 2, 4, JCS_CMYK, inverted, false, false);
  r = DecodeJpeg(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  c = At(r.picture, 1, 1);
  EXPECT_NEAR(RedOf(c), 0, 3);
  EXPECT_NEAR(GreenOf(c), 0, 3);
  EXPECT_NEAR(BlueOf(c), 0, 3);
  const Bytes cyan = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
  file = BuildJpeg(2, 2, 4, JCS_CMYK, cyan, false, false);
  r = DecodeJpeg(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  c = At(r.picture, 0, 0);
  EXPECT_NEAR(RedOf(c), 0, 3);
  EXPECT_NEAR(GreenOf(c), 255, 3);
  EXPECT_NEAR(BlueOf(c), 255, 3);
}

TEST(ImagingJpeg, MalformedFilesAreRefused) {
  const Bytes valid = EncodeJpeg(TestPicture(40, 24), 90);
  ASSERT_TRUE(DecodeJpeg(valid.data(), valid.size()).ok);
  // A missing end marker alone is tolerated; anything cutting the image data is not.
  EXPECT_TRUE(DecodeJpeg(valid.data(), valid.size() - 2).ok);
  for (std::size_t n = 0; n + 16 < valid.size(); ++n)
    EXPECT_FALSE(DecodeJpeg(valid.data(), n).ok) << n;

  // A frame header claiming 16000 x 16000 pixels over a few hundred bytes.
  Bytes huge = valid;
  for (std::size_t i = 2; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 7] = 16000 >> 8;
      huge[i + 6] = huge[i + 8] = 16000 & 255;
      break;
    }
  EXPECT_FALSE(DecodeJpeg(huge.data(), huge.size()).ok);

  Bytes garbage = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0x12, 0x34, 0x56};
  EXPECT_FALSE(DecodeJpeg(garbage.data(), garbage.size()).ok);
  EXPECT_FALSE(DecodeJpeg(nullptr, 100).ok);
}

TEST(ImagingCodec, DecodeImagePicksBySignatureAndFormatIndexPicksTheEncoder) {
  const Picture p = TestPicture(6, 5);
  const Bytes bmp = EncodeForFormat(p, 0), jpg = EncodeForFormat(p, 1), png = EncodeForFormat(p, 2);
  ASSERT_GE(bmp.size(), 2u);
  EXPECT_EQ(bmp[0], 'B');
  ASSERT_GE(jpg.size(), 2u);
  EXPECT_EQ(jpg[0], 0xFF);
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');
  EXPECT_TRUE(EncodeForFormat(p, 3).empty());
  EXPECT_TRUE(EncodeForFormat(p, -1).empty());
  for (const Bytes* b : {&bmp, &jpg, &png}) {
    const DecodeResult r = DecodeImage(b->data(), b->size());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.picture.width, 6);
  }
  EXPECT_EQ(DecodeImage(bmp.data(), bmp.size()).picture.pixels, p.pixels);
  const Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
  EXPECT_FALSE(DecodeImage(gif.data(), gif.size()).ok);
  EXPECT_FALSE(DecodeImage(nullptr, 0).ok);
}

}  // namespace
}  // namespace snapdeck

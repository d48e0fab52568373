#include <gtest/gtest.h>

#include <cstring>

#include "imaging/codec.h"
#include "imaging/draw.h"
#include "tests/support/pictures.h"

namespace snapdeck {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A bitmap file put together field by field. Palette entries are #RRGGBB values.
struct BmpSpec {
  int headerSize = 40;  // 12 (core) or 40
  std::int32_t width = 1, height = 1;
  int bpp = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::vector<std::uint32_t> masks;
  std::vector<Rgb> palette;
  Bytes pixels;
};

Bytes BuildBmp(const BmpSpec& s) {
  const std::size_t entry = s.headerSize == 12 ? 3 : 4;
  const std::uint32_t off =
      static_cast<std::uint32_t>(14 + s.headerSize + 4 * s.masks.size() + entry * s.palette.size());
  Bytes b = {'B', 'M'};
  Put32(b, off + static_cast<std::uint32_t>(s.pixels.size()));
  Put32(b, 0);
  Put32(b, off);
  Put32(b, static_cast<std::uint32_t>(s.headerSize));
  if (s.headerSize == 12) {
    Put16(b, static_cast<std::uint32_t>(s.width));
    Put16(b, static_cast<std::uint32_t>(s.height));
    Put16(b, 1);
    Put16(b, static_cast<std::uint32_t>(s.bpp));
  } else {
    Put32(b, static_cast<std::uint32_t>(s.width));
    Put32(b, static_cast<std::uint32_t>(s.height));
    Put16(b, 1);
    Put16(b, static_cast<std::uint32_t>(s.bpp));
    Put32(b, s.compression);
    Put32(b, static_cast<std::uint32_t>(s.pixels.size()));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, s.colorsUsed);
    Put32(b, 0);
  }
  for (std::uint32_t m : s.masks) Put32(b, m);
  for (Rgb c : s.palette) {
    b.push_back(static_cast<std::uint8_t>(BlueOf(c)));
    b.push_back(static_cast<std::uint8_t>(GreenOf(c)));
    b.push_back(static_cast<std::uint8_t>(RedOf(c)));
    if (entry == 4) b.push_back(0);
  }
  b.insert(b.end(), s.pixels.begin(), s.pixels.end());
  return b;
}

DecodeResult Decode(const Bytes& b) { return DecodeBmp(b.data(), b.size()); }

using testing::At;

constexpr Rgb kA = MakeRgb(0x10, 0x20, 0x30);
constexpr Rgb kB = MakeRgb(0xF0, 0xE0, 0xD0);
constexpr Rgb kC = MakeRgb(0x01, 0x80, 0xFF);
constexpr Rgb kBlack = MakeRgb(0, 0, 0);

TEST(ImagingBmp, PalettedBitDepthsBottomUpAndTopDown) {
  // 1 bit, 10 x 2, bottom-up: file row 0 is the bottom row. Rows padded to 4 bytes.
  BmpSpec one;
  one.width = 10;
  one.height = 2;
  one.bpp = 1;
  one.palette = {kA, kB};
  one.pixels = {0b10000000, 0b01000000, 0, 0,   // bottom: x=0 and x=9 set
                0b01000000, 0b00000000, 0, 0};  // top: x=1 set
  DecodeResult r = Decode(BuildBmp(one));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 1), kB);
  EXPECT_EQ(At(r.picture, 9, 1), kB);
  EXPECT_EQ(At(r.picture, 8, 1), kA);
  EXPECT_EQ(At(r.picture, 1, 0), kB);
  EXPECT_EQ(At(r.picture, 0, 0), kA);
  EXPECT_EQ(r.picture.at(0, 0) >> 24, 255u);

  // 4 bits with a three-entry palette; index 5 lies beyond it and reads as black.
  BmpSpec four;
  four.width = 3;
  four.height = 1;
  four.bpp = 4;
  four.colorsUsed = 3;
  four.palette = {kA, kB, kC};
  four.pixels = {0x21, 0x50, 0, 0};
  r = Decode(BuildBmp(four));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), kC);
  EXPECT_EQ(At(r.picture, 1, 0), kB);
  EXPECT_EQ(At(r.picture, 2, 0), kBlack);

  // 8 bits top-down (negative height): file row 0 is the top row.
  BmpSpec eight;
  eight.width = 2;
  eight.height = -2;
  eight.bpp = 8;
  eight.palette = {kA, kB, kC};
  eight.pixels = {2, 1, 0, 0, 0, 2, 0, 0};
  r = Decode(BuildBmp(eight));
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.picture.height, 2);
  EXPECT_EQ(At(r.picture, 0, 0), kC);
  EXPECT_EQ(At(r.picture, 1, 0), kB);
  EXPECT_EQ(At(r.picture, 1, 1), kC);

  // A palette claiming 100000 entries is cut to what the bit count can address.
  eight.colorsUsed = 100000;
  r = Decode(BuildBmp(eight));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), kC);
}

TEST(ImagingBmp, CoreHeaderWithThreeBytePalette) {
  BmpSpec core;
  core.headerSize = 12;
  core.width = 3;
  core.height = 1;
  core.bpp = 8;
  core.palette = {kA, kB};
  core.pixels = {1, 0, 1, 0};
  const DecodeResult r = Decode(BuildBmp(core));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), kB);
  EXPECT_EQ(At(r.picture, 1, 0), kA);
  EXPECT_EQ(At(r.picture, 2, 0), kB);
}

TEST(ImagingBmp, SixteenAndThirtyTwoBitsWithAndWithoutBitFields) {
  BmpSpec rgb555;  // 0 RRRRR GGGGG BBBBB
  rgb555.width = 2;
  rgb555.bpp = 16;
  rgb555.pixels = {0x00, 0x7C, 0xFF, 0x03};  // pure red, then green 31 + blue 31
  DecodeResult r = Decode(BuildBmp(rgb555));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), MakeRgb(255, 0, 0));
  EXPECT_EQ(At(r.picture, 1, 0), MakeRgb(0, 255, 255));

  BmpSpec rgb565 = rgb555;
  rgb565.compression = 3;
  rgb565.masks = {0xF800, 0x07E0, 0x001F};
  rgb565.pixels = {0x00, 0x04, 0x10, 0x80};  // green 32 of 63; red 16 of 31 + blue 16 of 31
  r = Decode(BuildBmp(rgb565));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 0, 0), MakeRgb(0, 130, 0));    // 32 * 255 / 63 = 129.5
  EXPECT_EQ(At(r.picture, 1, 0), MakeRgb(132, 0, 132));  // 16 * 255 / 31 = 131.6

  BmpSpec bgrx;  // alpha byte of plain 32-bit pixels is not alpha
  bgrx.width = 1;
  bgrx.bpp = 32;
  bgrx.pixels = {0x30, 0x20, 0x10, 0x00};
  r = Decode(BuildBmp(bgrx));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.at(0, 0), PixelOf(kA));

  BmpSpec fields = bgrx;  // red in the low byte, blue in the high one
  fields.compression = 3;
  fields.masks = {0x000000FF, 0x0000FF00, 0xFF000000};
  fields.pixels = {0x11, 0x22, 0x00, 0x33};
  r = Decode(BuildBmp(fields));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.at(0, 0), PixelOf(MakeRgb(0x11, 0x22, 0x33)));
}

TEST(ImagingBmp, Rle8RunsAbsoluteRunsDeltaAndLineEnds) {
  BmpSpec s;
  s.width = 6;
  s.height = 3;
  s.bpp = 8;
  s.compression = 1;
  s.palette = {kA, kB, kC};
  s.pixels = {
      3, 1,           // bottom row: 3 x B
      0, 3, 2, 1, 2,  // absolute run of three: C B C
      0, 0,           // end of line
      0, 2, 1, 1,     // delta to x=1 of the top row
      2, 2,           // 2 x C
      0, 1,           // end of bitmap
  };
  s.pixels.insert(s.pixels.begin() + 7, 0);  // pad the odd absolute run
  const DecodeResult r = Decode(BuildBmp(s));
  ASSERT_TRUE(r.ok) << r.error;
  const Rgb bottom[6] = {kB, kB, kB, kC, kB, kC};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(At(r.picture, x, 2), bottom[x]) << x;
  EXPECT_EQ(At(r.picture, 0, 1), kA);  // skipped pixels are palette entry 0
  EXPECT_EQ(At(r.picture, 0, 0), kA);
  EXPECT_EQ(At(r.picture, 1, 0), kC);
  EXPECT_EQ(At(r.picture, 2, 0), kC);
  EXPECT_EQ(At(r.picture, 3, 0), kA);
}

TEST(ImagingBmp, Rle4AlternatesNibbles) {
  BmpSpec s;
  s.width = 7;
  s.height = 1;
  s.bpp = 4;
  s.compression = 2;
  s.palette = {kA, kB, kC};
  s.pixels = {
      3, 0x12,              // B C B
      0, 3,    0x21, 0x00,  // absolute: C B A (two bytes, already even)
      1, 0x20,              // C
      0, 1,
  };
  const DecodeResult r = Decode(BuildBmp(s));
  ASSERT_TRUE(r.ok) << r.error;
  const Rgb row[7] = {kB, kC, kB, kC, kB, kA, kC};
  for (int x = 0; x < 7; ++x) EXPECT_EQ(At(r.picture, x, 0), row[x]) << x;
}

TEST(ImagingBmp, Encode24RoundTripWithPaddingAndHeaderFields) {
  Picture p = MakePicture(3, 2, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) p.at(x, y) = PixelOf(MakeRgb(x * 80, y * 200, 7 + x + y));
  const Bytes file = EncodeBmp24(p);
  const std::uint32_t stride = 12;  // 9 bytes padded to 12
  ASSERT_EQ(file.size(), 54u + stride * 2);
  EXPECT_EQ(Get32(file, 2), file.size());
  EXPECT_EQ(Get32(file, 10), 54u);
  EXPECT_EQ(Get32(file, 22), 2u);  // positive height: bottom-up
  EXPECT_EQ(Get32(file, 34), stride * 2);
  // The first stored row is the bottom one.
  EXPECT_EQ(file[54 + 2], 0);    // red of (0, 1)
  EXPECT_EQ(file[54 + 1], 200);  // green of (0, 1)
  const DecodeResult r = Decode(file);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.pixels, p.pixels);
  EXPECT_TRUE(EncodeBmp24(Picture{}).empty());
}

TEST(ImagingBmp, MalformedFilesAreRefused) {
  BmpSpec good;
  good.width = 4;
  good.height = 4;
  good.bpp = 24;
  good.pixels.assign(48, 0x55);
  const Bytes valid = BuildBmp(good);
  ASSERT_TRUE(Decode(valid).ok);
  for (std::size_t n = 0; n < valid.size(); ++n) {
    const Bytes cut(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(Decode(cut).ok) << n;
  }

  auto patched = [&](std::size_t at, std::uint32_t v) {
    Bytes b = valid;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
  };
  EXPECT_FALSE(Decode(patched(18, 100000)).ok);       // absurd width
  EXPECT_FALSE(Decode(patched(22, 0x80000000u)).ok);  // height INT_MIN
  EXPECT_FALSE(Decode(patched(18, 0xFFFFFFFCu)).ok);  // negative width
  EXPECT_FALSE(Decode(patched(18, 30000)).ok);        // 30000 x 4 from 48 bytes
  EXPECT_FALSE(Decode(patched(10, 5000)).ok);         // data offset past the end
  EXPECT_FALSE(Decode(patched(10, 20)).ok);           // data offset inside the header
  EXPECT_FALSE(Decode(patched(14, 7)).ok);            // unknown header size
  EXPECT_FALSE(Decode(patched(30, 9)).ok);            // unknown compression
  Bytes twoBits = valid;
  twoBits[28] = 2;
  EXPECT_FALSE(Decode(twoBits).ok);
  Bytes rleOn24 = patched(30, 1);
  EXPECT_FALSE(Decode(rleOn24).ok);
  EXPECT_FALSE(DecodeBmp(nullptr, 10).ok);
}

// The clipboard's packed DIB is the file without its first 14 bytes; its pixels start
// after the masks and every colour the header declares.
TEST(ImagingBmp, PackedDibDecodesAsItsFileWould) {
  BmpSpec padded;
  padded.width = 3;
  padded.height = 2;
  padded.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0};
  BmpSpec declaresMore;  // 20 colours for 4-bit indices
  declaresMore.width = 2;
  declaresMore.bpp = 4;
  declaresMore.colorsUsed = 20;
  declaresMore.palette.assign(20, kB);
  declaresMore.palette[1] = kA;
  declaresMore.pixels = {0x10, 0, 0, 0};
  BmpSpec fields;
  fields.width = 2;
  fields.bpp = 16;
  fields.compression = 3;
  fields.masks = {0xF800, 0x07E0, 0x001F};
  fields.pixels = {0x00, 0x04, 0x10, 0x80};
  BmpSpec alphaFields;  // four masks after the 40-byte header
  alphaFields.bpp = 32;
  alphaFields.compression = 6;
  alphaFields.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  alphaFields.pixels = {0x30, 0x20, 0x10, 0xFF};
  for (const BmpSpec& spec : {padded, declaresMore, fields, alphaFields}) {
    const Bytes file = BuildBmp(spec);
    const DecodeResult want = Decode(file);
    ASSERT_TRUE(want.ok) << want.error;
    const DecodeResult got = DecodeDib(file.data() + 14, file.size() - 14);
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_EQ(got.picture.width, want.picture.width);
    EXPECT_EQ(got.picture.pixels, want.picture.pixels);
  }
  EXPECT_EQ(At(Decode(BuildBmp(declaresMore)).picture, 0, 0), kA);

  BmpSpec core;
  core.headerSize = 12;
  core.pixels = {1, 2, 3, 0};
  const Bytes coreFile = BuildBmp(core);
  EXPECT_FALSE(DecodeDib(coreFile.data() + 14, coreFile.size() - 14).ok);
  const Bytes paddedFile = BuildBmp(padded);
  EXPECT_FALSE(DecodeDib(paddedFile.data() + 14, paddedFile.size() - 18).ok) << "last row cut";
  Bytes tooManyColours = BuildBmp(declaresMore);
  tooManyColours[14 + 32] = 0x01;  // 257 colours
  tooManyColours[14 + 33] = 0x01;
  EXPECT_FALSE(DecodeDib(tooManyColours.data() + 14, tooManyColours.size() - 14).ok);
  EXPECT_FALSE(DecodeDib(nullptr, 40).ok);
}

TEST(ImagingBmp, RleOverrunsAreRefused) {
  BmpSpec s;
  s.width = 4;
  s.height = 2;
  s.bpp = 8;
  s.compression = 1;
  s.palette = {kA, kB};
  const std::vector<Bytes> streams = {
      {5, 1, 0, 1},              // run longer than the row
      {3, 1, 2, 1, 0, 1},        // second run runs off the row
      {0, 2, 5, 0, 0, 1},        // delta past the right edge
      {0, 2, 0, 3, 0, 1},        // delta past the top
      {0, 5, 1, 1, 1, 1, 1, 0},  // absolute run longer than the row
      {0, 4, 1, 1},              // absolute run past the end of the data
      {2, 1, 0},                 // stream cut inside a pair
      {2, 1},                    // no end of bitmap and rows left
  };
  for (const Bytes& stream : streams) {
    s.pixels = stream;
    EXPECT_FALSE(Decode(BuildBmp(s)).ok) << ::testing::PrintToString(stream);
  }
  s.bpp = 4;
  s.compression = 2;
  s.pixels = {0, 6, 0x11, 0x11, 0x11, 0};  // absolute run of six nibbles in a 4-wide row
  EXPECT_FALSE(Decode(BuildBmp(s)).ok);
}

}  // namespace
}  // namespace snapdeck

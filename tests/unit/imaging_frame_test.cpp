#include <gtest/gtest.h>

#include "imaging/draw.h"
#include "imaging/frame.h"
#include "imaging/scale.h"
#include "tests/support/pictures.h"

namespace snapdeck {
namespace {

using testing::At;

// Ring k is checked at its left edge in the middle row and at its top-left corner.
void ExpectRings(const Picture& p, std::initializer_list<Rgb> rings) {
  int k = 0;
  for (Rgb ring : rings) {
    EXPECT_EQ(At(p, k, p.height / 2), ring) << "ring " << k;
    EXPECT_EQ(At(p, k, k), ring) << "ring " << k;
    EXPECT_EQ(At(p, p.width - 1 - k, p.height - 1 - k), ring) << "ring " << k;
    ++k;
  }
}

Picture Numbered(int w, int h) {
  Picture p = MakePicture(w, h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = PixelOf(MakeRgb(x, y, 7));
  return p;
}

TEST(ImagingFrame, ShadingLightensOutwardWithDirectionZero) {
  Picture p = MakePicture(4, 2, 0);
  DrawFrame(p, {MakeRgb(0x80, 0x80, 0x80), 3, 16, 0});
  ExpectRings(p, {MakeRgb(0xFF, 0xFF, 0xFF), MakeRgb(0xD6, 0xD6, 0xD6), MakeRgb(0x81, 0x81, 0x81)});
}

TEST(ImagingFrame, ShadingDarkensInwardWithDirectionOneAndClampsAtZero) {
  Picture p = MakePicture(4, 2, 0);
  DrawFrame(p, {MakeRgb(0xBB, 0x11, 0x22), 3, 0, 1});
  ExpectRings(p, {MakeRgb(0xBB, 0x11, 0x22), MakeRgb(0x66, 0x00, 0x00), MakeRgb(0x11, 0x00, 0x00)});
}

TEST(ImagingFrame, NeutralEffectGivesASolidFrame) {
  const Rgb c = MakeRgb(0x12, 0x34, 0x56);
  for (int d : {0, 1}) {
    Picture p = MakePicture(1, 1, 0);
    DrawFrame(p, {c, 9, 8, d});
    ExpectRings(p, {c, c, c, c, c, c, c, c, c});
  }
}

TEST(ImagingFrame, GrowsByTwiceTheThicknessWithTheOldPictureInside) {
  for (int t = 0; t <= 9; ++t) {
    const Picture old = Numbered(5, 3);
    Picture p = old;
    DrawFrame(p, {MakeRgb(1, 2, 3), t, 12, 1});
    ASSERT_EQ(p.width, 5 + 2 * t);
    ASSERT_EQ(p.height, 3 + 2 * t);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) ASSERT_EQ(p.at(x + t, y + t), old.at(x, y)) << "t=" << t;
    if (t == 0) {
      EXPECT_EQ(p.pixels, old.pixels);
    }
  }
}

TEST(ImagingFrame, OutOfRangeSettingsAreClamped) {
  Picture p = MakePicture(2, 2, 0);
  DrawFrame(p, {MakeRgb(0x80, 0x80, 0x80), 50, 99, 0});  // as t = 9, e = 16
  EXPECT_EQ(p.width, 2 + 18);
  EXPECT_EQ(At(p, 0, 0), MakeRgb(0xFF, 0xFF, 0xFF));
  Picture q = MakePicture(2, 2, 0);
  DrawFrame(q, {MakeRgb(0x80, 0x80, 0x80), -4, -7, 0});  // as t = 0
  EXPECT_EQ(q.width, 2);
  Picture empty;
  DrawFrame(empty, {MakeRgb(9, 9, 9), 2, 8, 1});  // just the frame
  EXPECT_EQ(empty.width, 4);
  EXPECT_EQ(At(empty, 1, 1), MakeRgb(9, 9, 9));
}

TEST(ImagingScale, PercentListAndTargetSizes) {
  EXPECT_EQ(ScalePercent(0), 25);
  EXPECT_EQ(ScalePercent(2), 75);
  EXPECT_EQ(ScalePercent(5), 200);
  EXPECT_EQ(ScalePercent(-1), 100);
  EXPECT_EQ(ScalePercent(6), 100);

  const Picture src = Numbered(241, 161);
  const int expected[6][2] = {{60, 40}, {120, 80}, {180, 120}, {241, 161}, {361, 241}, {482, 322}};
  for (int i = 0; i < 6; ++i) {
    const Picture out = ScaleByIndex(src, i);
    EXPECT_EQ(out.width, expected[i][0]) << i;
    EXPECT_EQ(out.height, expected[i][1]) << i;
  }
  EXPECT_EQ(ScaleByIndex(src, 3).pixels, src.pixels);
  const Picture tiny = ScaleByIndex(Numbered(3, 1), 0);  // 3 * 25 / 100 = 0 -> 1
  EXPECT_EQ(tiny.width, 1);
  EXPECT_EQ(tiny.height, 1);
}

TEST(ImagingScale, AreaAverageIsExactAndRounded) {
  Picture sq = MakePicture(2, 2, 0);
  sq.at(0, 0) = PixelOf(MakeRgb(10, 0, 255));
  sq.at(1, 0) = PixelOf(MakeRgb(20, 0, 0));
  sq.at(0, 1) = PixelOf(MakeRgb(30, 1, 0));
  sq.at(1, 1) = PixelOf(MakeRgb(42, 1, 0));
  const Picture one = ResizeAreaAverage(sq, 1, 1);
  ASSERT_EQ(one.width, 1);
  EXPECT_EQ(At(one, 0, 0), MakeRgb(26, 1, 64));  // halves round up: 102/4, 2/4; 255/4 = 63.75
  EXPECT_EQ(one.at(0, 0) >> 24, 255u);

  // 4 -> 3: weights (3,1), (2,2), (1,3) in quarters of a target pixel.
  Picture row = MakePicture(4, 1, 0);
  const int reds[4] = {0, 100, 200, 40};
  for (int x = 0; x < 4; ++x) row.at(x, 0) = PixelOf(MakeRgb(reds[x], 0, 0));
  const Picture three = ResizeAreaAverage(row, 3, 1);
  EXPECT_EQ(RedOf(At(three, 0, 0)), 25);   // (0*3 + 100) / 4
  EXPECT_EQ(RedOf(At(three, 1, 0)), 150);  // (100*2 + 200*2) / 4
  EXPECT_EQ(RedOf(At(three, 2, 0)), 80);   // (200 + 40*3) / 4

  // 2 -> 3 enlarges with area weights too: the middle pixel is half of each.
  Picture two = MakePicture(2, 1, 0);
  two.at(0, 0) = PixelOf(MakeRgb(0, 0, 0));
  two.at(1, 0) = PixelOf(MakeRgb(255, 0, 0));
  const Picture up = ResizeAreaAverage(two, 3, 1);
  EXPECT_EQ(RedOf(At(up, 0, 0)), 0);
  EXPECT_EQ(RedOf(At(up, 1, 0)), 128);  // 127.5 rounds up
  EXPECT_EQ(RedOf(At(up, 2, 0)), 255);

  // Whole-number reductions take the rounded mean of each block, alpha included
  // (3 x 2 blocks, and the 2 x 2 of 50 %, which has a loop of its own).
  Picture big = MakePicture(6, 6, 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      big.at(x, y) = PixelOf(MakeRgb((x * 53 + y * 17) % 256, (x * x + y * 29) % 256, x * y * 7)) -
                     (static_cast<std::uint32_t>(x * 40 + y) << 24);
  for (const auto& [w, h] : {std::pair{2, 3}, std::pair{3, 3}}) {
    const Picture small = ResizeAreaAverage(big, w, h);
    const int fx = 6 / w, fy = 6 / h;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int shift : {0, 8, 16, 24}) {
          int sum = 0;
          for (int j = 0; j < fy; ++j)
            for (int i = 0; i < fx; ++i) sum += (big.at(fx * x + i, fy * y + j) >> shift) & 0xFF;
          EXPECT_EQ((small.at(x, y) >> shift) & 0xFF,
                    static_cast<std::uint32_t>((sum + fx * fy / 2) / (fx * fy)))
              << w << "x" << h << " at " << x << "," << y << " channel " << shift;
        }
  }

  // Whole-number enlargement replicates pixels exactly.
  const Picture src = Numbered(3, 2);
  const Picture dbl = ResizeAreaAverage(src, 6, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(dbl.at(x, y), src.at(x / 2, y / 2));
}

TEST(ImagingScale, FlatAreasStayFlatAtEveryScale) {
  const Picture flat = MakePicture(37, 23, MakeRgb(200, 100, 3));
  for (int i = 0; i < 6; ++i) {
    const Picture out = ScaleByIndex(flat, i);
    for (std::uint32_t px : out.pixels) ASSERT_EQ(px, PixelOf(MakeRgb(200, 100, 3))) << i;
  }
  EXPECT_TRUE(ResizeAreaAverage(Picture{}, 3, 3).empty());
  EXPECT_TRUE(ResizeAreaAverage(flat, 0, 3).empty());
}

}  // namespace
}  // namespace snapdeck

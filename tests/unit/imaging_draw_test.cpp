#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "imaging/draw.h"
#include "tests/support/pictures.h"

namespace snapdeck {
namespace {

constexpr Rgb kRed = MakeRgb(255, 0, 0);
constexpr Rgb kBlue = MakeRgb(0, 0, 255);

using testing::At;

TEST(ImagingDraw, MakePictureRefusesSizesOutsideTheLimits) {
  EXPECT_TRUE(MakePicture(0, 5, kRed).empty());
  EXPECT_TRUE(MakePicture(5, -1, kRed).empty());
  EXPECT_TRUE(MakePicture(kMaxPictureSide + 1, 1, kRed).empty());
  EXPECT_TRUE(MakePicture(kMaxPictureSide, kMaxPictureSide, kRed).empty());  // too many pixels
  const Picture p = MakePicture(3, 2, kRed);
  ASSERT_EQ(p.pixels.size(), 6u);
  EXPECT_EQ(p.at(2, 1), PixelOf(kRed));
}

TEST(ImagingDraw, FillRectIsClippedAndSurvivesExtremeCoordinates) {
  Picture p = MakePicture(4, 4, 0);
  FillRect(p, -2, -2, 4, 4, kRed);  // covers (0..1, 0..1)
  EXPECT_EQ(At(p, 1, 1), kRed);
  EXPECT_EQ(At(p, 2, 1), 0u);
  EXPECT_EQ(At(p, 1, 2), 0u);
  FillRect(p, INT_MAX - 1, 0, INT_MAX, 4, kBlue);
  FillRect(p, INT_MIN, INT_MIN, INT_MAX, INT_MAX, kBlue);
  FillRect(p, 3, 3, INT_MAX, INT_MAX, kBlue);
  EXPECT_EQ(At(p, 3, 3), kBlue);
  EXPECT_EQ(At(p, 2, 2), 0u);
  Picture broken;  // size without pixels
  broken.width = 10;
  broken.height = 10;
  FillRect(broken, 0, 0, 10, 10, kRed);
  EXPECT_TRUE(broken.pixels.empty());
}

TEST(ImagingDraw, ColorAtBlendsNeighbouringStopsWithRounding) {
  const ColorStops stops = {
      {0.0, MakeRgb(0, 0, 0)}, {0.5, MakeRgb(100, 200, 255)}, {1.0, MakeRgb(0, 0, 0)}};
  EXPECT_EQ(ColorAt(stops, 0.0), MakeRgb(0, 0, 0));
  EXPECT_EQ(ColorAt(stops, 0.25), MakeRgb(50, 100, 128));  // 127.5 rounds up
  EXPECT_EQ(ColorAt(stops, 0.5), MakeRgb(100, 200, 255));
  EXPECT_EQ(ColorAt(stops, 0.75), MakeRgb(50, 100, 128));
  EXPECT_EQ(ColorAt(stops, 2.0), MakeRgb(0, 0, 0));
  EXPECT_EQ(ColorAt(stops, -1.0), MakeRgb(0, 0, 0));
  EXPECT_EQ(ColorAt(stops, std::nan("")), MakeRgb(0, 0, 0));
  EXPECT_EQ(ColorAt({}, 0.5), 0u);
  // Two stops at one position: a hard edge, the later colour wins from there on.
  const ColorStops edge = {{0.0, kRed}, {0.9, kRed}, {0.9, kBlue}, {1.0, kBlue}};
  EXPECT_EQ(ColorAt(edge, 0.89), kRed);
  EXPECT_EQ(ColorAt(edge, 0.95), kBlue);
}

TEST(ImagingDraw, GradientPositions) {
  // Box over (10, 20, 8, 4): 0 in the middle, 1 on the left/top edge and outside.
  EXPECT_DOUBLE_EQ(BoxGradientPosition(14, 22, 10, 20, 8, 4), 0.0);
  EXPECT_DOUBLE_EQ(BoxGradientPosition(10, 22, 10, 20, 8, 4), 1.0);
  EXPECT_DOUBLE_EQ(BoxGradientPosition(14, 20, 10, 20, 8, 4), 1.0);
  EXPECT_DOUBLE_EQ(BoxGradientPosition(17, 22, 10, 20, 8, 4), 0.75);  // |2*7-8|/8
  EXPECT_DOUBLE_EQ(BoxGradientPosition(14, 23, 10, 20, 8, 4), 0.5);   // |2*3-4|/4
  EXPECT_DOUBLE_EQ(BoxGradientPosition(18, 22, 10, 20, 8, 4), 1.0);
  EXPECT_DOUBLE_EQ(BoxGradientPosition(9, 22, 10, 20, 8, 4), 1.0);
  EXPECT_DOUBLE_EQ(BoxGradientPosition(0, 0, 0, 0, 0, 4), 1.0);

  EXPECT_DOUBLE_EQ(EllipseGradientPosition(5, 5, 5, 5, 10, 5), 0.0);
  EXPECT_DOUBLE_EQ(EllipseGradientPosition(11, 5, 5, 5, 10, 5), 0.6);
  EXPECT_DOUBLE_EQ(EllipseGradientPosition(5, 8, 5, 5, 10, 5), 0.6);
  EXPECT_DOUBLE_EQ(EllipseGradientPosition(5, 10, 5, 5, 10, 5), 1.0);
  EXPECT_DOUBLE_EQ(EllipseGradientPosition(50, 10, 5, 5, 10, 5), 1.0);
  EXPECT_DOUBLE_EQ(EllipseGradientPosition(5, 5, 5, 5, 0, 5), 1.0);

  EXPECT_DOUBLE_EQ(CircleGradientPosition(3, 4, 0, 0, 10), 0.5);
  EXPECT_DOUBLE_EQ(CircleGradientPosition(6, 8, 0, 0, 10), 1.0);
  EXPECT_DOUBLE_EQ(CircleGradientPosition(60, 80, 0, 0, 10), 1.0);
}

TEST(ImagingDraw, BoxGradientFillUsesTheGradientRectangleNotTheFillRectangle) {
  Picture p = MakePicture(12, 8, 0);
  const ColorStops stops = {{0.0, kRed}, {0.9, kRed}, {1.0, kBlue}};
  // Fill reaches one pixel left of the gradient rectangle (1, 1, 10, 6).
  FillBoxGradient(p, 0, 1, 12, 7, 1, 1, 10, 6, stops);
  EXPECT_EQ(At(p, 0, 0), 0u);     // outside the fill
  EXPECT_EQ(At(p, 0, 4), kBlue);  // outside the gradient rectangle
  EXPECT_EQ(At(p, 1, 4), kBlue);  // its left edge
  EXPECT_EQ(At(p, 6, 4), kRed);   // centre
  EXPECT_EQ(At(p, 11, 4), kBlue);
  EXPECT_EQ(At(p, 6, 7), kBlue);  // below the gradient rectangle
}

TEST(ImagingDraw, CircleGradientFillsOnlyTheDisc) {
  Picture p = MakePicture(11, 11, 0);
  const ColorStops stops = {{0.0, kRed}, {1.0, kBlue}};
  FillCircleGradient(p, 5, 5, 5, stops);
  EXPECT_EQ(At(p, 5, 5), kRed);
  EXPECT_EQ(At(p, 10, 5), kBlue);  // on the rim
  EXPECT_EQ(At(p, 0, 0), 0u);      // corner is outside the disc
  EXPECT_EQ(At(p, 9, 9), 0u);
  // Circles far away or huge must neither crash nor hang.
  FillCircleGradient(p, 1e12, -1e12, 3, stops);
  FillCircleGradient(p, 5, 5, std::nan(""), stops);
}

TEST(ImagingDraw, BlitAndCopyRegionClip) {
  Picture dst = MakePicture(4, 3, 0);
  Picture src = MakePicture(3, 2, kRed);
  src.at(0, 0) = PixelOf(kBlue);
  Blit(dst, src, -1, 2);  // only src row 0 columns 1..2 land, at (0..1, 2)
  EXPECT_EQ(At(dst, 0, 2), kRed);
  EXPECT_EQ(At(dst, 1, 2), kRed);
  EXPECT_EQ(At(dst, 2, 2), 0u);
  EXPECT_EQ(At(dst, 0, 1), 0u);
  Blit(dst, src, INT_MAX, INT_MIN);

  const Picture region = CopyRegion(src, -1, 0, 3, 3);
  ASSERT_EQ(region.width, 3);
  ASSERT_EQ(region.height, 3);
  EXPECT_EQ(region.at(0, 0), PixelOf(0));  // outside src: opaque black
  EXPECT_EQ(At(region, 1, 0), kBlue);
  EXPECT_EQ(At(region, 2, 1), kRed);
  EXPECT_EQ(region.at(1, 2), PixelOf(0));
  EXPECT_EQ(CopyRegion(src, INT_MIN, INT_MAX, 2, 2).at(1, 1), PixelOf(0));
}

TEST(ImagingDraw, ResizeNearestAndFlip) {
  Picture src = MakePicture(2, 2, 0);
  src.at(0, 0) = PixelOf(kRed);
  src.at(1, 1) = PixelOf(kBlue);
  const Picture big = ResizeNearest(src, 4, 4);
  EXPECT_EQ(At(big, 1, 1), kRed);
  EXPECT_EQ(At(big, 2, 2), kBlue);
  EXPECT_EQ(At(big, 3, 0), 0u);
  EXPECT_EQ(ResizeNearest(Picture{}, 3, 3).width, 3);

  Picture p = MakePicture(2, 3, 0);
  for (int y = 0; y < 3; ++y) p.at(0, y) = PixelOf(MakeRgb(y, 0, 0));
  FlipVertical(p);
  EXPECT_EQ(At(p, 0, 0), MakeRgb(2, 0, 0));
  EXPECT_EQ(At(p, 0, 1), MakeRgb(1, 0, 0));
  EXPECT_EQ(At(p, 0, 2), MakeRgb(0, 0, 0));
}

}  // namespace
}  // namespace snapdeck

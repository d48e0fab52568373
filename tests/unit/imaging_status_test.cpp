#include <gtest/gtest.h>

#include "imaging/draw.h"
#include "imaging/fixed_text.h"
#include "imaging/status.h"
#include "tests/support/pictures.h"

namespace snapdeck {
namespace {

constexpr Rgb kBackground = MakeRgb(0x22, 0x22, 0x33);
constexpr Rgb kWhite = MakeRgb(0xFF, 0xFF, 0xFF);

using testing::At;

TEST(ImagingStatus, CaptionColourSets) {
  const CaptionColors s = SnapdeckCaptionColors();
  EXPECT_EQ(s.background, kBackground);
  EXPECT_EQ(s.text, kWhite);
  EXPECT_EQ(s.accent1, MakeRgb(0xFF, 0x88, 0x11));
  EXPECT_EQ(s.accent2, MakeRgb(0xFF, 0xFF, 0x99));
  EXPECT_EQ(WaitCaptionColors().accent1, MakeRgb(0x11, 0x22, 0x55));
  EXPECT_EQ(WaitCaptionColors().accent2, MakeRgb(0xAA, 0xBB, 0xFF));
  EXPECT_EQ(FailCaptionColors().accent1, MakeRgb(0xBB, 0x11, 0x22));
  EXPECT_EQ(FailCaptionColors().accent2, MakeRgb(0xFF, 0x99, 0xAA));
}

TEST(ImagingStatus, StatusPictureSizeIncludesTheFrame) {
  FixedMetricsText text;
  Picture p;
  RenderStatusPicture(p, 238, 158, u" Snapdeck ", SnapdeckCaptionColors(),
                      {MakeRgb(0xBB, 0x11, 0x22), 1, 8, 1}, text, nullptr);
  EXPECT_EQ(p.width, 240);
  EXPECT_EQ(p.height, 160);
  EXPECT_EQ(At(p, 0, 0), MakeRgb(0xBB, 0x11, 0x22));
  RenderStatusPicture(p, 320, 240, u" wait... ", WaitCaptionColors(), {0, 0, 8, 1}, text, nullptr);
  EXPECT_EQ(p.width, 320);
  EXPECT_EQ(p.height, 240);
  EXPECT_EQ(At(p, 0, 0), kBackground);
  // A preview area eaten up by a thick frame leaves just the frame, never a crash.
  RenderStatusPicture(p, 0, -5, u" wait... ", WaitCaptionColors(), {0, 3, 8, 1}, text, nullptr);
  EXPECT_EQ(p.width, 6);
}

TEST(ImagingStatus, StatusLabelAndTextPlacement) {
  FixedMetricsText text;  // " Snapdeck ": 70 x 13
  const CaptionColors c = SnapdeckCaptionColors();
  Picture mark = MakePicture(20, 20, MakeRgb(1, 2, 3));
  mark.at(0, 0) = 0x00FFFFFFu;  // fully transparent corner
  Picture p;
  RenderStatusPicture(p, 238, 158, u" Snapdeck ", c, {0, 0, 8, 1}, text, &mark);
  // Gradient rectangle (82, 71, 74, 17); label box (81, 71, 77, 18).
  EXPECT_EQ(At(p, 80, 80), kBackground);
  EXPECT_EQ(At(p, 81, 80), c.accent2);
  EXPECT_EQ(At(p, 119, 70), kBackground);
  EXPECT_EQ(At(p, 88, 80), c.accent1);
  EXPECT_EQ(At(p, 157, 80), c.accent2);
  EXPECT_EQ(At(p, 158, 80), kBackground);
  EXPECT_EQ(At(p, 119, 88), c.accent2);
  EXPECT_EQ(At(p, 119, 89), kBackground);
  // Text starts at (84, 74); the leading space leaves its cell empty.
  EXPECT_EQ(At(p, 87, 80), c.accent1);
  EXPECT_EQ(At(p, 91, 74), kWhite);
  EXPECT_EQ(At(p, 91, 86), kWhite);
  // Password mark at (w - 30, 10), blended where transparent.
  EXPECT_EQ(At(p, 208, 10), kBackground);
  EXPECT_EQ(At(p, 209, 10), MakeRgb(1, 2, 3));
  EXPECT_EQ(At(p, 227, 29), MakeRgb(1, 2, 3));
  EXPECT_EQ(At(p, 228, 30), kBackground);
}

TEST(ImagingStatus, ResultCaptionLabelsAboveAndBelowTheMiddleThenFrame) {
  FixedMetricsText text;
  constexpr Rgb kBlack = MakeRgb(0, 0, 0);
  Picture p = MakePicture(200, 100, kBlack);
  const Rgb a1 = kBackground, a2 = MakeRgb(0xBB, 0x11, 0x22);
  DrawResultCaption(p, u"ab", u"cd", kWhite, a1, a2, {a2, 2, 8, 1}, text);
  ASSERT_EQ(p.width, 204);
  ASSERT_EQ(p.height, 104);
  const int t = 2;
  // Line 1 (14 x 13): gradient (91, 29, 18, 17), box from x = 90; text at (93, 32).
  EXPECT_EQ(At(p, t + 90, t + 37), a2);
  EXPECT_EQ(At(p, t + 89, t + 37), kBlack);
  EXPECT_EQ(At(p, t + 95, t + 38), a1);
  EXPECT_EQ(At(p, t + 93, t + 32), kWhite);
  EXPECT_EQ(At(p, t + 100, t + 28), kBlack);
  // Line 2: gradient (91, 54, 18, 17), box starts at the gradient's x; text at (93, 56).
  EXPECT_EQ(At(p, t + 90, t + 60), kBlack);
  EXPECT_EQ(At(p, t + 91, t + 60), a2);
  EXPECT_EQ(At(p, t + 111, t + 60), a2);
  EXPECT_EQ(At(p, t + 93, t + 56), kWhite);
  EXPECT_EQ(At(p, 0, 0), a2);
}

TEST(ImagingStatus, SwatchWritesOffOnlyWithoutFrame) {
  FixedMetricsText text;
  Picture swatch = MakePicture(60, 20, 0);
  DrawColorSwatch(swatch, MakeRgb(0xC4, 0xC4, 0xC4), 0, text);
  EXPECT_EQ(At(swatch, 10, 0), kBackground);  // 196 is not below 196
  EXPECT_EQ(At(swatch, 9, 0), MakeRgb(0xC4, 0xC4, 0xC4));
  DrawColorSwatch(swatch, MakeRgb(0xC3, 0xC3, 0xC3), 0, text);
  EXPECT_EQ(At(swatch, 10, 0), kWhite);
  DrawColorSwatch(swatch, MakeRgb(0xC3, 0x00, 0xFF), 0, text);  // one channel light
  EXPECT_EQ(At(swatch, 10, 0), kBackground);
  DrawColorSwatch(swatch, MakeRgb(0x10, 0x20, 0x30), 4, text);
  for (std::uint32_t px : swatch.pixels) ASSERT_EQ(px, PixelOf(MakeRgb(0x10, 0x20, 0x30)));
  Picture none;
  DrawColorSwatch(none, MakeRgb(1, 1, 1), 1, text);
  EXPECT_EQ(none.width, 60);
  EXPECT_EQ(none.height, 20);
}

TEST(ImagingProgress, SameValueDrawsOnceAndMinusOneRedrawsWithNewWidth) {
  int shown = 0;
  int shownWidth = 0;
  ProgressBar bar([&](const Picture& p) {
    ++shown;
    shownWidth = p.width;
  });
  bar.setWidth(40);
  EXPECT_FALSE(bar.draw(100, 0));  // knob already at 0
  EXPECT_TRUE(bar.draw(100, 50));
  EXPECT_FALSE(bar.draw(100, 50));
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(bar.lastX(), 20);
  const Picture& p = bar.picture();
  ASSERT_EQ(p.width, 40);
  ASSERT_EQ(p.height, 11);
  EXPECT_EQ(At(p, 20, 5), MakeRgb(0x99, 0xEE, 0xAA));  // knob centre
  EXPECT_EQ(At(p, 25, 5), MakeRgb(0x11, 0x77, 0x22));  // knob rim
  EXPECT_EQ(At(p, 2, 5), MakeRgb(0xF2, 0x79, 0x8A));   // done part at 0.45
  EXPECT_EQ(At(p, 39, 5), MakeRgb(0xFF, 0xDA, 0x6C));  // background at 0.475
  EXPECT_EQ(At(p, 30, 0), MakeRgb(0xFF, 0x88, 0x11));  // edge of the ellipse

  bar.setWidth(60);
  EXPECT_TRUE(bar.draw(100, -1));
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(shownWidth, 60);
  EXPECT_EQ(bar.lastX(), 20);
  EXPECT_EQ(At(bar.picture(), 20, 5), MakeRgb(0x99, 0xEE, 0xAA));

  EXPECT_TRUE(bar.draw(100, 100));
  EXPECT_EQ(bar.lastX(), 60);
  EXPECT_TRUE(bar.draw(0, 0));  // 0 / 0 must not reach an undefined conversion
  EXPECT_EQ(bar.lastX(), 0);

  bar.setWidth(0);
  EXPECT_FALSE(bar.draw(100, 70));
  EXPECT_FALSE(bar.draw(100, -1));
  EXPECT_EQ(shown, 4);
}

}  // namespace
}  // namespace snapdeck

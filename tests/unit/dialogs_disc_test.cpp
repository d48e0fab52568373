#include <gtest/gtest.h>

#include <cstdlib>

#include "dialogs/bubble_theme.h"
#include "dialogs/disc_picture.h"
#include "tests/support/pictures.h"

namespace snapdeck {
namespace {

constexpr Rgb kRim = MakeRgb(0xBB, 0x11, 0x22);
constexpr Rgb kRing = MakeRgb(0xDD, 0x44, 0x55);
constexpr Rgb kCentre = MakeRgb(0xFF, 0x99, 0xAA);
constexpr Rgb kBlack = MakeRgb(0, 0, 0);

using testing::At;

int Distance(Rgb a, Rgb b) {
  return std::abs(RedOf(a) - RedOf(b)) + std::abs(GreenOf(a) - GreenOf(b)) +
         std::abs(BlueOf(a) - BlueOf(b));
}

TEST(DialogsDiscPicture, CentredOn79WithRadius81At160) {
  const Picture p = MakeDiscPicture(160, kRim, kRing, kCentre);
  ASSERT_EQ(p.width, 160);
  ASSERT_EQ(p.height, 160);
  // Diagonal reach: 57 * sqrt(2) < 81 < 58 * sqrt(2), on both sides of (79, 79).
  EXPECT_NE(At(p, 22, 22), kBlack);
  EXPECT_EQ(At(p, 21, 21), kBlack);
  EXPECT_NE(At(p, 136, 136), kBlack);
  EXPECT_EQ(At(p, 137, 137), kBlack);
  EXPECT_EQ(At(p, 0, 0), kBlack);
  EXPECT_EQ(At(p, 159, 159), kBlack);
  for (int d : {10, 40, 77, 79}) {
    EXPECT_EQ(At(p, 79 - d, 79), At(p, 79 + d, 79)) << d;
    EXPECT_EQ(At(p, 79, 79 - d), At(p, 79 + d, 79)) << d;
    EXPECT_EQ(At(p, 79, 79 + d), At(p, 79 + d, 79)) << d;
  }
}

TEST(DialogsDiscPicture, FlatCentreThinRingShadingToRim) {
  const Picture p = MakeDiscPicture(160, kRim, kRing, kCentre);
  EXPECT_EQ(At(p, 79, 79), kCentre);
  EXPECT_EQ(At(p, 79 + 74, 79), kCentre);  // 0.91 of the radius
  const Rgb ring = At(p, 79 + 78, 79);     // 0.963
  EXPECT_LE(Distance(ring, kRing), 24);
  const Rgb edge = At(p, 79, 79 + 80);  // 0.988
  EXPECT_LT(Distance(edge, kRim), Distance(edge, kRing));
  EXPECT_NE(edge, kRim);
}

TEST(DialogsDiscPicture, RequesterPlateBehindIcon) {
  const Rgb rim = MakeRgb(0xFF, 0x88, 0x11), ring = MakeRgb(0xFF, 0xAA, 0x33),
            centre = MakeRgb(0xFF, 0xFF, 0x99);
  const Picture p = MakeRequesterDiscPicture(320, rim, ring, centre);
  ASSERT_EQ(p.width, 320);
  EXPECT_EQ(At(p, 159, 159), centre);
  // Plate centred on (159, 52) with radius 36.
  EXPECT_EQ(At(p, 159, 52), MakeRgb(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(At(p, 159 + 30, 52), MakeRgb(0xFF, 0xFF, 0xFF));
  EXPECT_LE(Distance(At(p, 159, 52 + 34), MakeRgb(0xCC, 0xCC, 0xCC)), 30);
  EXPECT_EQ(At(p, 159, 52 - 36), MakeRgb(0x66, 0x66, 0x66));
  EXPECT_EQ(At(p, 159 - 36, 52), MakeRgb(0x66, 0x66, 0x66));
  EXPECT_EQ(At(p, 159, 52 + 37), centre);
  EXPECT_EQ(At(p, 159 + 37, 52), centre);
  // The plain disc is unchanged away from the plate.
  const Picture plain = MakeDiscPicture(320, rim, ring, centre);
  EXPECT_EQ(At(p, 159, 300), At(plain, 159, 300));
}

TEST(DialogsDiscPicture, UnusableSizeGivesEmptyPicture) {
  EXPECT_TRUE(MakeDiscPicture(0, kRim, kRing, kCentre).empty());
  EXPECT_TRUE(MakeRequesterDiscPicture(-4, kRim, kRing, kCentre).empty());
}

TEST(DialogsBubbleTheme, WarningAndCautionShareTheOrangeDisc) {
  const BubbleTheme warning = BubbleThemeFor(kThemeWarning);
  const BubbleTheme caution = BubbleThemeFor(kThemeCaution);
  for (const BubbleTheme& t : {warning, caution}) {
    EXPECT_TRUE(t.hasDisc);
    EXPECT_EQ(t.rim, MakeRgb(0xFF, 0x88, 0x11));
    EXPECT_EQ(t.ring, MakeRgb(0xFF, 0xAA, 0x33));
    EXPECT_EQ(t.centre, MakeRgb(0xFF, 0xFF, 0x99));
    EXPECT_EQ(t.captionBackground, MakeRgb(0xFF, 0xFF, 0x99));
    EXPECT_EQ(t.sound, 2);
    ASSERT_EQ(t.beepCount, 3);
    EXPECT_EQ(t.beeps[1], (BeepTone{100, 30}));
  }
}

TEST(DialogsBubbleTheme, ErrorInformationSuccessAndUnlisted) {
  const BubbleTheme error = BubbleThemeFor(kThemeError);
  EXPECT_EQ(error.ring, MakeRgb(0xDD, 0x44, 0x55));
  EXPECT_EQ(error.captionBackground, MakeRgb(0xFF, 0x99, 0xAA));
  EXPECT_EQ(error.sound, 0);
  EXPECT_EQ(error.beeps[2], (BeepTone{200, 300}));
  const BubbleTheme info = BubbleThemeFor(kThemeInformation);
  EXPECT_EQ(info.rim, kThemeInformation);
  EXPECT_EQ(info.centre, MakeRgb(0xAA, 0xBB, 0xFF));
  EXPECT_EQ(info.sound, 1);
  EXPECT_EQ(BubbleThemeFor(kThemeSuccess).ring, MakeRgb(0x44, 0xAA, 0x55));
  EXPECT_EQ(BubbleThemeFor(kThemeSuccess).sound, 1);

  const BubbleTheme other = BubbleThemeFor(MakeRgb(1, 2, 3));
  EXPECT_FALSE(other.hasDisc);
  EXPECT_FALSE(other.hasCaptionBackground);
  EXPECT_EQ(other.sound, 2);
  EXPECT_EQ(other.beepCount, 0);
}

}  // namespace
}  // namespace snapdeck

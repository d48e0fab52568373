#include <gtest/gtest.h>

#include "imaging/picture.h"

TEST(Picture, PixelLayoutIsBgra) {
  const snapdeck::Rgb c = snapdeck::MakeRgb(0xBB, 0x11, 0x22);
  EXPECT_EQ(snapdeck::PixelOf(c), 0xFFBB1122u);
  EXPECT_EQ(snapdeck::RgbOfPixel(snapdeck::PixelOf(c)), c);
}

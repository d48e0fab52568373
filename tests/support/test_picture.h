// The simulators' test picture, for comparing shots with it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/picture.h"
#include "tools/devicesim/test_pattern.h"

namespace snapdeck::testing {

// A simulated phone's later displays run the ramp the other way (laterDisplay).
inline Rgb PatternAt(int x, int y, int w, int h, bool laterDisplay = false) {
  std::uint8_t rgb[3];
  devicesim::PatternPixel(x, y, w, h, rgb, laterDisplay);
  return MakeRgb(rgb[0], rgb[1], rgb[2]);
}

// The w x h pattern stands at (left, top) of the picture, as inside a shot's frame; the
// first mismatch is named. With lowBits, channels are compared without their lowest bits
// (red and blue 3, green 2), as a 16-bit picture keeps them.
inline ::testing::AssertionResult HasPattern(const Picture& p, int left, int top, int w, int h,
                                             bool lowBits = false, bool laterDisplay = false) {
  if (left < 0 || top < 0 || p.width < left + w || p.height < top + h) {
    return ::testing::AssertionFailure()
           << "picture is " << p.width << "x" << p.height << ", too small for " << w << "x" << h
           << " at " << left << "," << top;
  }
  const int rb = lowBits ? 3 : 0;
  const int gb = lowBits ? 2 : 0;
  int bad = 0;
  ::testing::Message first;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb want = PatternAt(x, y, w, h, laterDisplay);
      const Rgb got = RgbOfPixel(p.at(left + x, top + y));
      if ((RedOf(got) >> rb) != (RedOf(want) >> rb) ||
          (GreenOf(got) >> gb) != (GreenOf(want) >> gb) ||
          (BlueOf(got) >> rb) != (BlueOf(want) >> rb)) {
        if (bad++ == 0) {
          first << "(" << x << "," << y << ") is " << RedOf(got) << "," << GreenOf(got) << ","
                << BlueOf(got) << ", want " << RedOf(want) << "," << GreenOf(want) << ","
                << BlueOf(want);
        }
      }
    }
  }
  if (bad == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << bad << " pixels differ from the pattern; first " << first;
}

// The whole picture is the w x h pattern.
inline ::testing::AssertionResult IsPattern(const Picture& p, int w, int h, bool lowBits = false,
                                            bool laterDisplay = false) {
  if (p.width != w || p.height != h) {
    return ::testing::AssertionFailure()
           << "picture is " << p.width << "x" << p.height << ", want " << w << "x" << h;
  }
  return HasPattern(p, 0, 0, w, h, lowBits, laterDisplay);
}

}  // namespace snapdeck::testing

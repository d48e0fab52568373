// The simulators' test picture, recomputed for comparisons: red, green and blue quarters
// and a grey ramp from black to white bottom-right.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "imaging/picture.h"

namespace snapdeck::testing {

// A simulated phone's later displays run the ramp the other way (laterDisplay).
inline Rgb PatternAt(int x, int y, int w, int h, bool laterDisplay = false) {
  const int hw = w / 2;
  const int hh = h / 2;
  if (y < hh) return x < hw ? MakeRgb(255, 0, 0) : MakeRgb(0, 255, 0);
  if (x < hw) return MakeRgb(0, 0, 255);
  int v = (x - hw) * 255 / std::max(1, w - hw - 1);
  if (laterDisplay) v = 255 - v;
  return MakeRgb(v, v, v);
}

// The whole picture is the w x h pattern; the first mismatch is named. With lowBits,
// channels are compared without their lowest bits (red and blue 3, green 2), as a
// 16-bit picture keeps them.
inline ::testing::AssertionResult IsPattern(const Picture& p, int w, int h, bool lowBits = false,
                                            bool laterDisplay = false) {
  if (p.width != w || p.height != h) {
    return ::testing::AssertionFailure() << "picture is " << p.width << "x" << p.height
                                         << ", want " << w << "x" << h;
  }
  const int rb = lowBits ? 3 : 0;
  const int gb = lowBits ? 2 : 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb want = PatternAt(x, y, w, h, laterDisplay);
      const Rgb got = RgbOfPixel(p.at(x, y));
      if ((RedOf(got) >> rb) != (RedOf(want) >> rb) || (GreenOf(got) >> gb) != (GreenOf(want) >> gb) ||
          (BlueOf(got) >> rb) != (BlueOf(want) >> rb)) {
        return ::testing::AssertionFailure()
               << "(" << x << "," << y << ") is " << RedOf(got) << "," << GreenOf(got) << ","
               << BlueOf(got) << ", want " << RedOf(want) << "," << GreenOf(want) << ","
               << BlueOf(want);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace snapdeck::testing

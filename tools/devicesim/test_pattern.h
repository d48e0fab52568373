// The test picture both simulators show and the tests check shots against, so a
// handheld's and a phone's shot can be checked by the same pixels: upright, red top-left,
// green top-right, blue bottom-left and a grey ramp from black to white (left to right)
// bottom-right.
#pragma once

#include <algorithm>
#include <cstdint>

namespace devicesim {

// The pixel at (x, y) of a w x h picture as R, G, B. A phone's later displays run the
// grey ramp from white to black, so a shot tells which display it came from even when the
// sizes agree.
inline void PatternPixel(int x, int y, int w, int h, std::uint8_t rgb[3],
                         bool laterDisplay = false) {
  const int hw = w / 2;
  const int hh = h / 2;
  int r = 0, g = 0, b = 0;
  if (y < hh) {
    (x < hw ? r : g) = 255;
  } else if (x < hw) {
    b = 255;
  } else {
    r = g = b = (x - hw) * 255 / std::max(1, w - hw - 1);
    if (laterDisplay) r = g = b = 255 - r;
  }
  rgb[0] = static_cast<std::uint8_t>(r);
  rgb[1] = static_cast<std::uint8_t>(g);
  rgb[2] = static_cast<std::uint8_t>(b);
}

}  // namespace devicesim

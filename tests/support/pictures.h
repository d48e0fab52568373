// Reading pictures in assertions.
#pragma once

#include "imaging/picture.h"

namespace snapdeck::testing {

// The colour of one pixel, comparable with MakeRgb values.
inline Rgb At(const Picture& p, int x, int y) { return RgbOfPixel(p.at(x, y)); }
inline unsigned AlphaAt(const Picture& p, int x, int y) { return p.at(x, y) >> 24; }

}  // namespace snapdeck::testing

// The shaded frame around screenshots and previews.
#pragma once

#include "imaging/palette.h"
#include "imaging/picture.h"

namespace snapdeck {

struct FrameStyle {
  Rgb color = palette::kRed;
  int thickness = 1;  // 0..9
  int effect = 8;     // 0..16, 8 neutral
  int direction = 1;  // 0 or 1
};

// p grows to (w + 2t) x (h + 2t) with the shaded frame around the old picture.
void DrawFrame(Picture& p, const FrameStyle& style);

#include "imaging/palette.h"
}  // namespace snapdeck

#include "settings/frame_style.h"

#include <algorithm>

namespace snapdeck {

FrameStyle FrameStyleOf(const AppSettings& s) {
  FrameStyle f;
  f.color = s.framecolor & 0xFFFFFF;
  f.thickness = std::clamp(s.framethickness, 0, 9);
  f.effect = std::clamp(s.frameeffect, 0, 16);
  f.direction = s.frameeffectdir != 0 ? 1 : 0;
  return f;
}

}  // namespace snapdeck

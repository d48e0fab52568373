#include "update/emblem.h"

namespace snapdeck {

Picture TurnedQuarter(const Picture& p, int quarterTurns) {
  const int turns = ((quarterTurns % 4) + 4) % 4;
  if (turns == 0 || p.empty()) return p;
  const int w = p.width;
  const int h = p.height;
  Picture out;
  out.width = turns == 2 ? w : h;
  out.height = turns == 2 ? h : w;
  out.pixels.resize(p.pixels.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Clockwise: a quarter turn takes (x, y) to (h - 1 - y, x).
      const int tx = turns == 1 ? h - 1 - y : turns == 2 ? w - 1 - x : y;
      const int ty = turns == 1 ? x : turns == 2 ? h - 1 - y : w - 1 - x;
      out.at(tx, ty) = p.at(x, y);
    }
  }
  return out;
}

}  // namespace snapdeck

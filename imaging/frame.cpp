#include "imaging/frame.h"

#include <cmath>

#include "imaging/draw.h"
#include "imaging/pixels.h"

namespace snapdeck {

namespace {

// One-pixel outline of the rectangle (x, y, w, h); the inside is left alone because
// the next ring or the old picture covers it anyway.
void StrokeRect(Picture& p, int x, int y, int w, int h, Rgb c) {
  if (w <= 0 || h <= 0) return;
  FillRect(p, x, y, w, 1, c);
  FillRect(p, x, y + h - 1, w, 1, c);
  FillRect(p, x, y, 1, h, c);
  FillRect(p, x + w - 1, y, 1, h, c);
}

int ShiftChannel(int channel, long offset) {
  const long v = channel + offset;
  return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
}

}  // namespace

void DrawFrame(Picture& p, const FrameStyle& style) {
  // A style may come from anywhere, so the ring loop is kept within its range.
  const int t = ClampInt(style.thickness, 0, 9);
  if (t == 0) return;
  const int e = ClampInt(style.effect, 0, 16);
  const bool darkenOutward = style.direction == 0;
  const int oldW = Usable(p) ? p.width : 0, oldH = Usable(p) ? p.height : 0;
  const int W = oldW + 2 * t, H = oldH + 2 * t;
  if (!PictureSizeAllowed(W, H)) return;

  Picture framed = MakePicture(W, H, style.color);
  const long span = 32L * e - 256;
  const double step = static_cast<double>(span) / t;
  long offset = darkenOutward ? span : 0;
  for (int k = 0; k < t; ++k) {
    if (darkenOutward) offset = std::lround(static_cast<double>(offset) - step);
    const Rgb ring = MakeRgb(ShiftChannel(RedOf(style.color), offset),
                             ShiftChannel(GreenOf(style.color), offset),
                             ShiftChannel(BlueOf(style.color), offset));
    if (!darkenOutward) offset = std::lround(static_cast<double>(offset) + step);
    StrokeRect(framed, k, k, W - 2 * k, H - 2 * k, ring);
  }
  Blit(framed, p, t, t);
  p = std::move(framed);
}

}  // namespace snapdeck

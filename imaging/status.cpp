#include "imaging/status.h"

#include <cmath>

#include "imaging/draw.h"
#include "imaging/palette.h"
#include "imaging/pixels.h"

namespace snapdeck {

namespace {

constexpr Rgb kBackground = palette::kHouse;
constexpr Rgb kWhite = palette::kWhite;

ColorStops LabelStops(Rgb a1, Rgb a2) { return {{0.0, a1}, {0.9, a1}, {1.0, a2}}; }

// The password mark may come from a picture with transparent parts; blend it over
// the label so those parts do not show as black.
void BlendMark(Picture& dst, const Picture& mark, int x, int y) {
  if (!Usable(mark) || !Usable(dst)) return;
  for (int my = 0; my < mark.height; ++my) {
    const long long dy = static_cast<long long>(y) + my;
    if (dy < 0 || dy >= dst.height) continue;
    for (int mx = 0; mx < mark.width; ++mx) {
      const long long dx = static_cast<long long>(x) + mx;
      if (dx < 0 || dx >= dst.width) continue;
      const std::uint32_t s = mark.at(mx, my);
      std::uint32_t& d = dst.at(static_cast<int>(dx), static_cast<int>(dy));
      const std::uint32_t a = s >> 24;
      std::uint32_t out = 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t sc = (s >> shift) & 255, dc = (d >> shift) & 255;
        out |= ((sc * a + dc * (255 - a) + 127) / 255) << shift;
      }
      d = out;
    }
  }
}

// One caption label: the gradient rectangle (gx, gy, tw + 4, th + 4) filled over the
// box (bx, gy, tw + 7, th + 5), then the text.
void DrawLabel(Picture& p, int gx, int gy, int bx, int tw, int th, const std::u16string& caption,
               int textX, int textY, Rgb textColor, Rgb a1, Rgb a2, TextPort& text) {
  FillBoxGradient(p, bx, gy, tw + 7, th + 5, gx, gy, tw + 4, th + 4, LabelStops(a1, a2));
  text.draw(p, textX, textY, caption, textColor);
}

}  // namespace

CaptionColors SnapdeckCaptionColors() {
  return {kBackground, kWhite, palette::kOrange, palette::kPale};
}
CaptionColors WaitCaptionColors() {
  return {kBackground, kWhite, palette::kNavy, palette::kSky};
}
CaptionColors FailCaptionColors() {
  return {kBackground, kWhite, palette::kRed, palette::kPink};
}

void RenderStatusPicture(Picture& p, int w, int h, const std::u16string& caption,
                         const CaptionColors& colors, const FrameStyle& frame, TextPort& text,
                         const Picture* passwordMark) {
  p = MakePicture(w, h, colors.background);
  if (!p.empty()) {
    int tw = 0, th = 0;
    text.measure(caption, tw, th);
    const int gx = w / 2 - tw / 2 - 2, gy = h / 2 - th / 2 - 2;
    DrawLabel(p, gx, gy, gx - 1, tw, th, caption, w / 2 - tw / 2, h / 2 - th / 2 + 1, colors.text,
              colors.accent1, colors.accent2, text);
    if (passwordMark) BlendMark(p, *passwordMark, w - 30, 10);
  }
  DrawFrame(p, frame);
}

void DrawResultCaption(Picture& p, const std::u16string& line1, const std::u16string& line2,
                       Rgb textColor, Rgb accent1, Rgb accent2, const FrameStyle& frame,
                       TextPort& text) {
  if (Usable(p)) {
    const int W = p.width, H = p.height;
    int tw = 0, th = 0;
    text.measure(line1, tw, th);
    int gx = W / 2 - tw / 2 - 2, gy = H / 2 - th - th / 2 - 2;
    DrawLabel(p, gx, gy, gx - 1, tw, th, line1, W / 2 - tw / 2, H / 2 - th - th / 2 + 1, textColor,
              accent1, accent2, text);
    text.measure(line2, tw, th);
    gx = W / 2 - tw / 2 - 2;
    gy = H / 2 + th / 2 - 2;
    DrawLabel(p, gx, gy, gx, tw, th, line2, W / 2 - tw / 2, H / 2 + th / 2, textColor, accent1,
              accent2, text);
  }
  DrawFrame(p, frame);
}

void DrawColorSwatch(Picture& swatch, Rgb color, int thickness, TextPort& text) {
  // The swatch control is 60 x 20; a missing picture gets that size.
  if (Usable(swatch))
    FillRect(swatch, 0, 0, swatch.width, swatch.height, color);
  else
    swatch = MakePicture(60, 20, color);
  if (thickness > 0) return;
  const bool dark = RedOf(color) < 196 && GreenOf(color) < 196 && BlueOf(color) < 196;
  text.draw(swatch, 10, 0, u"off", dark ? kWhite : kBackground);
}

bool ProgressBar::draw(double m, double v) {
  const int B = width_;
  if (B < 1) return false;
  int x = lastX_;
  if (v != -1) {
    // Out-of-range or NaN ratios would make the int conversion undefined.
    double pos = v / m * B;
    if (!(pos >= 0)) pos = 0;
    if (pos > B) pos = B;
    x = static_cast<int>(std::lround(pos));
    if (x == lastX_) return false;
  }
  picture_ = MakePicture(B, 11, 0);
  if (picture_.empty()) return false;
  FillEllipseGradient(picture_, 0, 0, B, 11, x, 5, B, 5,
                      {{0.0, kWhite},
                       {0.3, palette::kPale},
                       {0.7, palette::kAmber},
                       {1.0, palette::kOrange}});
  FillEllipseGradient(picture_, 0, 0, x, 11, x, 5, B, 5,
                      {{0.0, kWhite},
                       {0.3, palette::kPink},
                       {0.7, palette::kRose},
                       {1.0, palette::kRed}});
  FillCircleGradient(picture_, x, 5, 5,
                     {{0.0, palette::kMint},
                      {0.8, palette::kLeaf},
                      {1.0, palette::kGreen}});
  if (show_) show_(picture_);
  lastX_ = x;
  return true;
}

}  // namespace snapdeck

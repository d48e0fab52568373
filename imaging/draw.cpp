#include "imaging/draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/pixels.h"

namespace snapdeck {

namespace {

// Clipped span [x0, x1) x [y0, y1) of a rectangle inside the picture; false when empty.
// Computed in 64 bits so that extreme coordinates cannot overflow.
bool ClipRect(const Picture& p, long long x, long long y, long long w, long long h, int& x0,
              int& y0, int& x1, int& y1) {
  if (!Usable(p) || w <= 0 || h <= 0) return false;
  const long long l = std::max(0LL, x), t = std::max(0LL, y);
  const long long r = std::min<long long>(p.width, x + w), b = std::min<long long>(p.height, y + h);
  if (l >= r || t >= b) return false;
  x0 = static_cast<int>(l);
  y0 = static_cast<int>(t);
  x1 = static_cast<int>(r);
  y1 = static_cast<int>(b);
  return true;
}

int RoundChannel(double v) {
  const long r = std::lround(v);
  return r < 0 ? 0 : (r > 255 ? 255 : static_cast<int>(r));
}

}  // namespace

Picture MakePicture(int w, int h, Rgb fill) {
  Picture p;
  if (!PictureSizeAllowed(w, h)) return p;
  p.width = w;
  p.height = h;
  p.pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), PixelOf(fill));
  return p;
}

void FillRect(Picture& p, int x, int y, int w, int h, Rgb color) {
  int x0, y0, x1, y1;
  if (!ClipRect(p, x, y, w, h, x0, y0, x1, y1)) return;
  const std::uint32_t px = PixelOf(color);
  for (int yy = y0; yy < y1; ++yy) {
    std::uint32_t* row = RowPtr(p, yy);
    std::fill(row + x0, row + x1, px);
  }
}

Rgb ColorAt(const ColorStops& stops, double position) {
  if (stops.empty()) return 0;
  // NaN fails every comparison and ends up at the first stop.
  if (!(position > stops.front().first)) return stops.front().second;
  if (position >= stops.back().first) return stops.back().second;
  std::size_t i = 1;
  while (i < stops.size() && stops[i].first < position) ++i;
  if (i >= stops.size()) return stops.back().second;
  const double p0 = stops[i - 1].first, p1 = stops[i].first;
  const Rgb c0 = stops[i - 1].second, c1 = stops[i].second;
  if (!(p1 > p0)) return c1;
  const double f = (position - p0) / (p1 - p0);
  return MakeRgb(RoundChannel(RedOf(c0) + (RedOf(c1) - RedOf(c0)) * f),
                 RoundChannel(GreenOf(c0) + (GreenOf(c1) - GreenOf(c0)) * f),
                 RoundChannel(BlueOf(c0) + (BlueOf(c1) - BlueOf(c0)) * f));
}

double BoxGradientPosition(int px, int py, int x0, int y0, int w, int h) {
  if (w <= 0 || h <= 0) return 1.0;
  const long long dx = static_cast<long long>(px) - x0, dy = static_cast<long long>(py) - y0;
  if (dx < 0 || dy < 0 || dx >= w || dy >= h) return 1.0;
  const double fx = std::fabs(2.0 * static_cast<double>(dx) - w) / w;
  const double fy = std::fabs(2.0 * static_cast<double>(dy) - h) / h;
  return std::min(1.0, std::max(fx, fy));
}

double EllipseGradientPosition(int px, int py, double cx, double cy, double rx, double ry) {
  if (!(rx > 0) || !(ry > 0)) return 1.0;
  const double fx = (px - cx) / rx, fy = (py - cy) / ry;
  const double sum = fx * fx + fy * fy;
  if (!(sum < 1.0)) return 1.0;
  return std::sqrt(sum);
}

double CircleGradientPosition(int px, int py, double cx, double cy, double r) {
  if (!(r > 0)) return 1.0;
  const double d = std::hypot(px - cx, py - cy) / r;
  return d < 1.0 ? d : 1.0;
}

void FillBoxGradient(Picture& p, int x, int y, int w, int h, int gx, int gy, int gw, int gh,
                     const ColorStops& stops) {
  int x0, y0, x1, y1;
  if (!ClipRect(p, x, y, w, h, x0, y0, x1, y1)) return;
  for (int yy = y0; yy < y1; ++yy)
    for (int xx = x0; xx < x1; ++xx)
      p.at(xx, yy) = PixelOf(ColorAt(stops, BoxGradientPosition(xx, yy, gx, gy, gw, gh)));
}

void FillEllipseGradient(Picture& p, int x, int y, int w, int h, double cx, double cy, double rx,
                         double ry, const ColorStops& stops) {
  int x0, y0, x1, y1;
  if (!ClipRect(p, x, y, w, h, x0, y0, x1, y1)) return;
  for (int yy = y0; yy < y1; ++yy)
    for (int xx = x0; xx < x1; ++xx)
      p.at(xx, yy) = PixelOf(ColorAt(stops, EllipseGradientPosition(xx, yy, cx, cy, rx, ry)));
}

void FillCircleGradient(Picture& p, double cx, double cy, double r, const ColorStops& stops) {
  if (!(r > 0) || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r)) return;
  // Bounding box in doubles first: a far-away circle must not overflow an int.
  const double bx0 = std::floor(cx - r), by0 = std::floor(cy - r);
  const double bx1 = std::ceil(cx + r) + 1, by1 = std::ceil(cy + r) + 1;
  if (bx1 <= 0 || by1 <= 0 || bx0 >= kMaxPictureSide || by0 >= kMaxPictureSide) return;
  const long long lx = static_cast<long long>(std::max(bx0, -1.0));
  const long long ly = static_cast<long long>(std::max(by0, -1.0));
  const long long rx = static_cast<long long>(std::min<double>(bx1, kMaxPictureSide));
  const long long ry = static_cast<long long>(std::min<double>(by1, kMaxPictureSide));
  int x0, y0, x1, y1;
  if (!ClipRect(p, lx, ly, rx - lx, ry - ly, x0, y0, x1, y1)) return;
  const double r2 = r * r;
  for (int yy = y0; yy < y1; ++yy)
    for (int xx = x0; xx < x1; ++xx) {
      const double dx = xx - cx, dy = yy - cy;
      if (dx * dx + dy * dy > r2) continue;
      p.at(xx, yy) = PixelOf(ColorAt(stops, CircleGradientPosition(xx, yy, cx, cy, r)));
    }
}

void Blit(Picture& dst, const Picture& src, int x, int y) {
  if (!Usable(src)) return;
  int x0, y0, x1, y1;
  if (!ClipRect(dst, x, y, src.width, src.height, x0, y0, x1, y1)) return;
  const std::size_t n = static_cast<std::size_t>(x1 - x0);
  for (int yy = y0; yy < y1; ++yy)
    std::memcpy(RowPtr(dst, yy) + x0, RowPtr(src, yy - y) + (x0 - x), n * sizeof(std::uint32_t));
}

Picture CopyRegion(const Picture& src, int x, int y, int w, int h) {
  Picture out = MakePicture(w, h, 0);
  if (out.empty()) return out;
  // Shift the source so that the region's corner lands at (0, 0).
  const long long sx = -static_cast<long long>(x), sy = -static_cast<long long>(y);
  if (sx > kMaxPictureSide || sy > kMaxPictureSide || sx < -2LL * kMaxPictureSide ||
      sy < -2LL * kMaxPictureSide)
    return out;
  Blit(out, src, static_cast<int>(sx), static_cast<int>(sy));
  return out;
}

Picture ResizeNearest(const Picture& src, int w, int h) {
  Picture out = MakePicture(w, h, 0);
  if (out.empty() || !Usable(src)) return out;
  std::vector<int> columns(static_cast<std::size_t>(w));
  // Sample at the centre of each target pixel.
  for (int x = 0; x < w; ++x) columns[x] = static_cast<int>((2LL * x + 1) * src.width / (2LL * w));
  for (int y = 0; y < h; ++y) {
    const int sy = static_cast<int>((2LL * y + 1) * src.height / (2LL * h));
    const std::uint32_t* in = RowPtr(src, sy);
    std::uint32_t* row = RowPtr(out, y);
    for (int x = 0; x < w; ++x) row[x] = in[columns[x]];
  }
  return out;
}

void FlipVertical(Picture& p) {
  if (!Usable(p)) return;
  for (int top = 0, bottom = p.height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(RowPtr(p, top), RowPtr(p, top) + p.width, RowPtr(p, bottom));
}

}  // namespace snapdeck

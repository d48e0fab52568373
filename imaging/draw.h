// Portable drawing on pictures: fills, gradients, circles, copies, flips.
#pragma once

#include <utility>
#include <vector>

#include "imaging/picture.h"

namespace snapdeck {

// A new w x h picture filled with one colour (empty when the size is not allowed).
Picture MakePicture(int w, int h, Rgb fill);

// Fills the rectangle, clipped to the picture.
void FillRect(Picture& p, int x, int y, int w, int h, Rgb color);

// Colour stops: position in 0..1 -> colour, in ascending position order.
using ColorStops = std::vector<std::pair<double, Rgb>>;
// Blends linearly per channel between the neighbouring stops.
Rgb ColorAt(const ColorStops& stops, double position);

// Gradient position functions (0 at the centre, 1 at and beyond the edge).
double BoxGradientPosition(int px, int py, int x0, int y0, int w, int h);
double EllipseGradientPosition(int px, int py, double cx, double cy, double rx, double ry);
double CircleGradientPosition(int px, int py, double cx, double cy, double r);

// Fills a rectangle with a box-shaped gradient defined over the rectangle (gx, gy, gw, gh).
void FillBoxGradient(Picture& p, int x, int y, int w, int h, int gx, int gy, int gw, int gh,
                     const ColorStops& stops);
// Fills a rectangle with an elliptical gradient centred at (cx, cy).
void FillEllipseGradient(Picture& p, int x, int y, int w, int h, double cx, double cy, double rx,
                         double ry, const ColorStops& stops);
// Fills the circle (cx, cy, r) with a circular gradient of the same centre and radius.
void FillCircleGradient(Picture& p, double cx, double cy, double r, const ColorStops& stops);

// Copies src onto dst with its top-left corner at (x, y), clipped.
void Blit(Picture& dst, const Picture& src, int x, int y);
// The w x h region of src at (x, y); parts outside src are black.
Picture CopyRegion(const Picture& src, int x, int y, int w, int h);
// Resize without smoothing (nearest neighbour).
Picture ResizeNearest(const Picture& src, int w, int h);
// Turns the picture upside down in place.
void FlipVertical(Picture& p);

}  // namespace snapdeck

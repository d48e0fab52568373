// Text drawing goes through this port: GDI with the default GUI font on Windows,
// fixed metrics in native tests.
#pragma once

#include <string>

#include "imaging/picture.h"

namespace snapdeck {

class TextPort {
 public:
  virtual ~TextPort() = default;
  // Size of the text in the drawing font.
  virtual void measure(const std::u16string& text, int& width, int& height) = 0;
  // Draws the text with a transparent background, top-left corner at (x, y).
  virtual void draw(Picture& picture, int x, int y, const std::u16string& text, Rgb color) = 0;
};

}  // namespace snapdeck

// A text port with fixed metrics for tests and benchmarks: every character cell is
// 7 x 13 pixels, and each non-space character is drawn as a one-pixel outline of its
// cell plus one mark whose place depends on the character, so tests can see where
// text went and tell texts apart.
#pragma once

#include "imaging/text_port.h"

namespace snapdeck {

class FixedMetricsText : public TextPort {
 public:
  static constexpr int kCellWidth = 7;
  static constexpr int kCellHeight = 13;

  void measure(const std::u16string& text, int& width, int& height) override;
  void draw(Picture& picture, int x, int y, const std::u16string& text, Rgb color) override;
};

}  // namespace snapdeck

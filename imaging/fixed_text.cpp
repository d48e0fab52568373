#include "imaging/fixed_text.h"

#include <algorithm>
#include <limits>

#include "imaging/draw.h"

namespace snapdeck {

void FixedMetricsText::measure(const std::u16string& text, int& width, int& height) {
  const std::size_t cap = std::numeric_limits<int>::max() / kCellWidth;
  width = static_cast<int>(std::min(text.size(), cap)) * kCellWidth;
  height = kCellHeight;
}

void FixedMetricsText::draw(Picture& picture, int x, int y, const std::u16string& text, Rgb color) {
  long long cx = x;
  for (char16_t ch : text) {
    if (cx >= picture.width) break;
    if (ch != u' ' && cx + kCellWidth > 0) {
      const int left = static_cast<int>(cx);
      FillRect(picture, left, y, kCellWidth, 1, color);
      FillRect(picture, left, y + kCellHeight - 1, kCellWidth, 1, color);
      FillRect(picture, left, y, 1, kCellHeight, color);
      FillRect(picture, left + kCellWidth - 1, y, 1, kCellHeight, color);
      FillRect(picture, left + 1 + ch % 5, y + 1 + (ch / 5) % 11, 1, 1, color);
    }
    cx += kCellWidth;
  }
}

}  // namespace snapdeck

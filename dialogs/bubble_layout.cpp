#include "dialogs/bubble_layout.h"

#include <algorithm>
#include <cmath>

namespace snapdeck {

namespace {

constexpr int kGrowStep = 20;

// The grown bubble of diameter d: caption and Ok where the small one has them, scaled,
// and the widest text box between them whose corners stay inside the disc.
MessageBubbleLayout Grown(int d) {
  MessageBubbleLayout l;
  l.size = d;
  l.grown = true;
  const int r = d / 2;
  const int captionY = d * 3 / 16;
  const int okY = d * 3 / 4;
  l.caption = {r - 56, captionY, 112, 20};
  l.ok = {r - 15, okY, 30, 20};
  const int top = captionY + 30;
  const int bottom = okY - 8;
  const double dy = std::max(r - top, bottom - r);
  const int half = std::max(10, static_cast<int>(std::sqrt(double(r) * r - dy * dy)) - 6);
  l.text = {r - half, top, 2 * half, bottom - top};
  return l;
}

}  // namespace

MessageBubbleLayout MessageBubbleGeometry(const std::function<int(int width)>& textHeight,
                                          int largest, int edge) {
  MessageBubbleLayout small;
  small.caption = {24, 30, 112, 20};
  small.text = {20, 60, 120, 40};
  small.ok = {65, 120, 30, 20};
  // The sunken static's border takes a pixel on each side.
  if (textHeight(small.text.width - 2) <= small.text.height) return small;

  largest = std::max(largest, kSmallBubbleSize);
  for (int d = kSmallBubbleSize + kGrowStep;; d += kGrowStep) {
    d = std::min(d, largest);
    MessageBubbleLayout l = Grown(d);
    if (textHeight(l.text.width - 2 * edge) <= l.text.height - 2 * edge) return l;
    if (d >= largest) {
      l.scrolls = true;
      return l;
    }
  }
}

}  // namespace snapdeck

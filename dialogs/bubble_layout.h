// Where the message bubble puts its controls. A text that fits the small disc's box
// keeps the small bubble as it always was; a longer one (a shot's report on several
// phones) gets a larger disc, just large enough for it, and a scrolling box once even
// the largest disc the screen holds is too small.
#pragma once

#include <functional>

#include "shell/box.h"

namespace snapdeck {

inline constexpr int kSmallBubbleSize = 160;

struct MessageBubbleLayout {
  int size = kSmallBubbleSize;  // the disc's diameter
  Box caption;
  Box text;
  Box ok;
  bool grown = false;    // the text is in a read-only edit box rather than the small static
  bool scrolls = false;  // the box needs its vertical scroll bar
};

// textHeight(width): the height the text takes wrapped at width pixels. largest: the
// largest disc the screen holds. edge: what the grown box's border and margins take on
// each side.
MessageBubbleLayout MessageBubbleGeometry(const std::function<int(int width)>& textHeight,
                                          int largest, int edge);

}  // namespace snapdeck

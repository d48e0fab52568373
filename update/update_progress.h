// Where the update window's progress ball stands, and when it is redrawn. A fetch
// reports every 64 bytes; redrawing (and letting an event through) each time would
// slow a large download, so frames closer than kMinFrameMs are skipped.
#pragma once

#include <cstdint>

namespace snapdeck {

inline constexpr int kUpdateBarWidth = 200;
inline constexpr int kMinFrameMs = 16;

// value / maximum of the bar width, rounded and kept on the bar.
int ProgressKnob(int maximum, int value);

class ProgressPacer {
 public:
  // True when the knob for (maximum, value) should be drawn at nowMs: it moved (or is
  // at the start, which always redraws) and the last frame is at least kMinFrameMs
  // old, or it reached the end.
  bool due(int maximum, int value, std::uint64_t nowMs, int& knob);

 private:
  bool drawn_ = false;
  int lastKnob_ = 0;
  std::uint64_t lastMs_ = 0;
};

}  // namespace snapdeck

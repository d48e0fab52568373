#include "update/update_progress.h"

#include <cmath>

namespace snapdeck {

int ProgressKnob(int maximum, int value) {
  if (maximum <= 0) return 0;
  const double knob = static_cast<double>(value) / maximum * kUpdateBarWidth;
  if (!(knob > 0)) return 0;
  if (knob >= kUpdateBarWidth) return kUpdateBarWidth;
  return static_cast<int>(std::lround(knob));
}

bool ProgressPacer::due(int maximum, int value, std::uint64_t nowMs, int& knob) {
  knob = ProgressKnob(maximum, value);
  if (drawn_ && knob == lastKnob_ && knob != 0) return false;
  if (drawn_ && knob != kUpdateBarWidth && nowMs - lastMs_ < kMinFrameMs) return false;
  drawn_ = true;
  lastKnob_ = knob;
  lastMs_ = nowMs;
  return true;
}

}  // namespace snapdeck

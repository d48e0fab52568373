// Colour themes of the message bubble: disc colours, caption background and the
// sound, or the beeps that stand in for it on a machine without sound.
#pragma once

#include <array>

#include "imaging/palette.h"
#include "imaging/picture.h"

namespace snapdeck {

inline constexpr Rgb kThemeError = palette::kRed;
inline constexpr Rgb kThemeInformation = palette::kNavy;
inline constexpr Rgb kThemeSuccess = palette::kGreen;
inline constexpr Rgb kThemeWarning = palette::kYellow;
inline constexpr Rgb kThemeCaution = palette::kOrange;

struct BeepTone {
  int frequency = 0;  // Hz
  int duration = 0;   // ms
  bool operator==(const BeepTone&) const = default;
};

struct BubbleTheme {
  bool hasDisc = false;  // false: the window keeps its default background
  Rgb rim = 0;
  Rgb ring = 0;
  Rgb centre = 0;
  bool hasCaptionBackground = false;
  Rgb captionBackground = 0;
  int sound = 2;
  int beepCount = 0;  // beeps when there is no sound system
  std::array<BeepTone, 3> beeps{};
};

BubbleTheme BubbleThemeFor(Rgb themeColor);

}  // namespace snapdeck

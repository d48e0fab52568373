// Colour themes of the message bubble: disc colours, caption background and the
// sound, or the beeps that stand in for it on a machine without sound.
#pragma once

#include <array>

#include "imaging/picture.h"

namespace snapdeck {

inline constexpr Rgb kThemeError = MakeRgb(0xBB, 0x11, 0x22);
inline constexpr Rgb kThemeInformation = MakeRgb(0x11, 0x22, 0x55);
inline constexpr Rgb kThemeSuccess = MakeRgb(0x11, 0x77, 0x22);
inline constexpr Rgb kThemeWarning = MakeRgb(0xFF, 0xFF, 0x22);
inline constexpr Rgb kThemeCaution = MakeRgb(0xFF, 0x88, 0x11);

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

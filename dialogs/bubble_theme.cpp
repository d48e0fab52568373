#include "dialogs/bubble_theme.h"

#include "imaging/palette.h"

namespace snapdeck {
namespace {

BubbleTheme Disc(Rgb rim, Rgb ring, Rgb centre, int sound, std::array<BeepTone, 3> beeps) {
  BubbleTheme t;
  t.hasDisc = true;
  t.rim = rim;
  t.ring = ring;
  t.centre = centre;
  t.hasCaptionBackground = true;
  t.captionBackground = centre;
  t.sound = sound;
  t.beepCount = 3;
  t.beeps = beeps;
  return t;
}

}  // namespace

BubbleTheme BubbleThemeFor(Rgb themeColor) {
  constexpr std::array<BeepTone, 3> kFalling{{{600, 100}, {400, 100}, {200, 300}}};
  constexpr std::array<BeepTone, 3> kChime{{{600, 100}, {400, 30}, {600, 100}}};
  constexpr std::array<BeepTone, 3> kAlert{{{600, 100}, {100, 30}, {400, 100}}};
  switch (themeColor) {
    case kThemeError:
      return Disc(kThemeError, palette::kRose, palette::kPink, 0, kFalling);
    case kThemeInformation:
      return Disc(kThemeInformation, palette::kSteel, palette::kSky, 1, kChime);
    case kThemeSuccess:
      return Disc(kThemeSuccess, palette::kLeaf, palette::kMint, 1, kChime);
    case kThemeWarning:
    case kThemeCaution:
      return Disc(kThemeCaution, palette::kAmber, palette::kPale, 2, kAlert);
    default:
      return BubbleTheme{};
  }
}

}  // namespace snapdeck

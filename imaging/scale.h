// The scale rule of the scale list and the area-averaging resize behind it.
#pragma once

#include <array>

#include "imaging/picture.h"

namespace snapdeck {

// The percentages of the scale list ("25%" .. "200%"), by index (the shotsize setting).
inline constexpr std::array<int, 6> kScalePercents = {25, 50, 75, 100, 150, 200};
inline constexpr int kScaleCount = static_cast<int>(kScalePercents.size());
// The entry that keeps a picture at its own size; also the setting's default.
inline constexpr int kUnscaledIndex = 3;
static_assert(kScalePercents[kUnscaledIndex] == 100);
// kScalePercents[shotsize]; 100 for an index outside the list.
int ScalePercent(int shotsize);
// Area-averaging resize: each target pixel is the average of the source area it covers.
Picture ResizeAreaAverage(const Picture& src, int w, int h);
// Applies the scale list entry; kUnscaledIndex returns the picture untouched.
Picture ScaleByIndex(const Picture& src, int shotsize);

}  // namespace snapdeck

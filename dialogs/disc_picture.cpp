#include "dialogs/disc_picture.h"

#include "imaging/draw.h"
#include "imaging/palette.h"

namespace snapdeck {

Picture MakeDiscPicture(int size, Rgb rim, Rgb ring, Rgb centre) {
  Picture p = MakePicture(size, size, MakeRgb(0, 0, 0));
  if (p.empty()) return p;
  const double c = size / 2 - 1;
  const double r = size / 2 + 1;
  const ColorStops stops{{0.0, centre}, {0.92, centre}, {0.96, ring}, {1.0, rim}};
  FillCircleGradient(p, c, c, r, stops);
  return p;
}

Picture MakeRequesterDiscPicture(int size, Rgb rim, Rgb ring, Rgb centre) {
  Picture p = MakeDiscPicture(size, rim, ring, centre);
  if (p.empty()) return p;
  const ColorStops plate{{0.0, palette::kWhite},
                         {0.9, palette::kWhite},
                         {0.94, palette::kSilver},
                         {1.0, palette::kGrey}};
  FillCircleGradient(p, size / 2 - 1, size / 6 - 1, 36, plate);
  return p;
}

}  // namespace snapdeck

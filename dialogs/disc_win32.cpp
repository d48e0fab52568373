#include "dialogs/disc_win32.h"

#include "shell/shell_win32.h"
#include "dialogs/disc_picture.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck::win32 {
namespace {

UniqueGdi<HBRUSH> StoreAndBrush(int number, Picture picture) {
  if (picture.empty()) return {};
  const Picture& stored = TheShell().pictures.put(number, std::move(picture));
  // The brush keeps its own copy of the pattern.
  const UniqueGdi<HBITMAP> bitmap = CreateBitmapFromPicture(stored);
  if (!bitmap) return {};
  return UniqueGdi<HBRUSH>(CreatePatternBrush(bitmap.get()));
}

}  // namespace

UniqueGdi<HBRUSH> DiscBrush(int picture, Rgb rim, Rgb ring, Rgb centre, int size) {
  return StoreAndBrush(picture, MakeDiscPicture(size, rim, ring, centre));
}

UniqueGdi<HBRUSH> RequesterDiscBrush(int picture, Rgb rim, Rgb ring, Rgb centre, int size) {
  return StoreAndBrush(picture, MakeRequesterDiscPicture(size, rim, ring, centre));
}

void ShapeAsDisc(HWND window, int d) {
  if (window == nullptr) return;
  UniqueGdi<HRGN> region(CreateRoundRectRgn(0, 0, d, d, d, d));
  // The window owns the region once it is set.
  if (region && SetWindowRgn(window, region.get(), FALSE) != 0) region.release();
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
}

}  // namespace snapdeck::win32

// Backgrounds and shape of the round dialogs.
#pragma once

#include <windows.h>

#include "imaging/picture.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck::win32 {

// Paints the disc into picture `picture` of the shell's store and returns a pattern
// brush of it (empty on failure). The caller releases the picture.
UniqueGdi<HBRUSH> DiscBrush(int picture, Rgb rim, Rgb ring, Rgb centre, int size);
// The same with the white plate behind the requester's icon.
UniqueGdi<HBRUSH> RequesterDiscBrush(int picture, Rgb rim, Rgb ring, Rgb centre, int size);

// Cuts a hidden borderless window to the disc inscribed in (0, 0)-(d, d), makes it
// topmost, shows it where it is and repaints it.
void ShapeAsDisc(HWND window, int d);

}  // namespace snapdeck::win32

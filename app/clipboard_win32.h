// The clipboard as the program uses it: a finished picture goes on it as a device-
// independent bitmap and, for programs that prefer it, as PNG bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/picture.h"

namespace snapdeck::win32 {

// Empties the clipboard; false when it could not be opened.
bool ClearClipboard();
// Replaces the clipboard content with the picture (CF_DIB, 24 bits, and "PNG"), rendered
// when a program asks for it; the PNG bytes are the caller's when it has them. Call on
// the thread that runs the program's message loop, which answers those requests.
bool PutPictureOnClipboard(const Picture& picture,
                           const std::vector<std::uint8_t>* encodedPng = nullptr);
// The CF_DIB content of the clipboard as a picture; false when there is none or it
// cannot be read.
bool ReadClipboardPicture(Picture& picture);
// Renders what the clipboard was promised, before the program ends.
void HandOverClipboard();

}  // namespace snapdeck::win32

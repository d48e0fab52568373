// Child controls of the program's dialogs: each created with its number as control ID
// in the default GUI font.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/requester_layout.h"

namespace snapdeck::win32 {

// The rich-edit class of the newest library present; a plain edit as the last resort.
const wchar_t* RichEditClass();

HWND MakeDialogControl(HWND parent, const wchar_t* cls, const std::u16string& text, DWORD style,
                       DWORD exStyle, const Box& box, int number);

// A drop-down list is created with the height of its open list; this makes the closed
// control `height` pixels high by sizing its selection field.
void FitClosedDropDown(HWND list, int height);

}  // namespace snapdeck::win32

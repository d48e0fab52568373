// The program's own modal question dialog: a disc with an icon, a message, at most
// one row of input and two buttons.
#pragma once

#include <windows.h>

#include <string>

#include "imaging/palette.h"
#include "imaging/picture.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck::win32 {

struct RequesterState {
  Rgb rimColor = palette::kOrange;
  Rgb ringColor = palette::kAmber;
  Rgb centreColor = palette::kPale;
  int size = 0;
  std::u16string firstButtonText;
  std::u16string secondButtonText;
  std::u16string message;
  int ownerWindow = -1;
  std::u16string fileResult;      // kind 20, after the first button
  std::u16string passwordResult;  // kind 16, after the first button
  std::u16string filePreset;      // kind 20, set by the caller
  std::u16string fileFilter;      // kind 20, "description|pattern", set by the caller
  std::u16string hotkeyText;      // kind 21, rebuilt after the first button
  UniqueGdi<HBRUSH> labelBrush;   // solid centre colour while the dialog is open
  UniqueGdi<HBRUSH> discBrush;    // window background while the dialog is open
};

RequesterState& TheRequesterState();

// Runs the requester modally (window 4) and answers 20 for the first button or
// Return, 21 for the second button or Escape, 0 for a close request of any window.
// It answers id::kAnswerNotShown, never a button, when the user could not be asked:
// the window could not be created or another requester is open. The hotkey kind
// stores hotkey and hotkeyCAS in the settings on 20. `input` is unused by every kind.
int Requester(int kind, const std::u16string& message, const std::u16string& input,
              const std::u16string& firstButton, const std::u16string& secondButton, int size,
              int ownerWindow);

// The requester window's handler of the shared window procedure: while the requester
// is open, static-control colour requests get a transparent background, #222233 text
// and the label brush; the requester's own input fields stay #222233 on white.
bool RequesterLabelColors(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace snapdeck::win32

// The program's own modal question dialog: a disc with an icon, a message, at most
// one row of input and two buttons.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/requester_layout.h"
#include "resources/ids.h"

namespace snapdeck::win32 {

// What the requester asks. Only the kind's own fields are read.
struct RequesterQuestion {
  int kind = id::kKindWarning;
  std::u16string message;
  std::u16string firstButton;
  std::u16string secondButton;
  int size = 320;
  int ownerWindow = id::kMainWindow;
  std::u16string filePreset;  // file kind: the path shown at opening
  std::u16string fileFilter;  // file kind: "description|pattern"
  int hotkey = 0;             // hotkey kind: the choice shown at opening
  int hotkeyCAS = 0;
};

struct RequesterAnswer {
  // id::kAnswerFirst for the first button or Return, id::kAnswerSecond for the second
  // or Escape, id::kAnswerClosed for a close request of any window, and
  // id::kAnswerNotShown, never a button, when the user could not be asked: the window
  // could not be created or another requester is open.
  int button = id::kAnswerNotShown;
  // The input row as the first button found it; empty after any other answer.
  std::u16string password;  // password kind
  std::u16string path;      // file kind
  HotkeyChoice hotkey;      // hotkey kind
};

// A question of that kind with its message and buttons; the rest as by default.
RequesterQuestion QuestionOf(int kind, const std::u16string& message,
                             const std::u16string& firstButton, const std::u16string& secondButton);

// Runs the requester modally (window 4) over the owner window.
RequesterAnswer Requester(const RequesterQuestion& question);

// The requester window's handler of the shared window procedure: while the requester
// is open, static-control colour requests get a transparent background, #222233 text
// and the label brush; the requester's own input fields stay #222233 on white.
bool RequesterLabelColors(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace snapdeck::win32

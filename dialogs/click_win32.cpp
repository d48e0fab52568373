#include "dialogs/click_win32.h"

#include <windows.h>

#include "shell/shell_win32.h"

namespace snapdeck::win32 {

void ClickControl(int control) {
  HWND target = ControlByNumber(control);
  if (target == nullptr || !IsWindowEnabled(target)) return;
  RECT r{};
  GetClientRect(target, &r);
  // The middle of the control, so the release counts as inside it.
  const LPARAM point = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
  SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageW(target, WM_LBUTTONUP, 0, point);
}

}  // namespace snapdeck::win32

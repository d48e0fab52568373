#include "dialogs/controls_win32.h"

#include "platform/win32/system_libraries_win32.h"
#include "shell/shell_win32.h"

namespace snapdeck::win32 {

const wchar_t* RichEditClass() {
  static const wchar_t* name = [] {
    if (LoadSystemLibrary(L"Msftedit.dll") != nullptr) return L"RICHEDIT50W";
    if (LoadSystemLibrary(L"Riched20.dll") != nullptr) return L"RichEdit20W";
    return L"Edit";
  }();
  return name;
}

HWND MakeDialogControl(HWND parent, const wchar_t* cls, const std::u16string& text, DWORD style,
                       DWORD exStyle, const Box& box, int number) {
  HWND c = CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, box.x,
                           box.y, box.width, box.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)),
                           TheShell().instance, nullptr);
  if (c != nullptr) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  return c;
}

void FitClosedDropDown(HWND list, int height) {
  // Set the selection field once to learn the frame around it, then to the height
  // that fits.
  const LRESULT itemHeight = SendMessageW(list, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  if (itemHeight <= 0) return;
  SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight);
  RECT closed{};
  GetWindowRect(list, &closed);
  const int wanted =
      static_cast<int>(itemHeight) + height - static_cast<int>(closed.bottom - closed.top);
  if (wanted > 0) SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), wanted);
}

}  // namespace snapdeck::win32

// Reading texts and places of windows from a test, in the same process or another one.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace snapdeck::testing {

// A window whose thread is busy or stuck answers nothing instead of hanging the test.
inline LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          UINT timeoutMs = 5000) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

// The whole text of a window or control.
inline std::wstring TextOf(HWND window) {
  if (window == nullptr) return L"";
  const auto length = static_cast<std::size_t>(SendWithin(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto got = static_cast<std::size_t>(
      SendWithin(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
  text.resize(got < length ? got : length);
  return text;
}

// A control's rectangle in its parent's client coordinates (the screen's for a
// top-level window).
inline RECT RectInParent(HWND window) {
  RECT r{};
  if (window == nullptr) return r;
  GetWindowRect(window, &r);
  HWND parent = GetParent(window);
  if (parent != nullptr && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  return r;
}

inline bool SameRect(const RECT& r, int x, int y, int w, int h) {
  return r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h;
}

// "(x, y) wxh", for assertion messages.
inline std::string Describe(const RECT& r) {
  char text[80];
  std::snprintf(text, sizeof(text), "(%ld, %ld) %ldx%ld", static_cast<long>(r.left),
                static_cast<long>(r.top), static_cast<long>(r.right - r.left),
                static_cast<long>(r.bottom - r.top));
  return text;
}

}  // namespace snapdeck::testing

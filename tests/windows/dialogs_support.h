// Helpers for driving the modal dialogs from a second thread while the test's own
// thread runs their event loops.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "shell/shell_win32.h"
#include "imaging/draw.h"

namespace snapdeck::win32::dialogs_test {

inline void PrepareShell() {
  Shell& shell = TheShell();
  shell.instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  shell.pictures.put(16, MakePicture(48, 48, MakeRgb(0xCC, 0x22, 0x22)));
  shell.pictures.put(17, MakePicture(48, 48, MakeRgb(0xEE, 0xCC, 0x00)));
  shell.pictures.put(20, MakePicture(48, 48, MakeRgb(0x22, 0x44, 0xCC)));
  shell.pictures.put(21, MakePicture(48, 48, MakeRgb(0x22, 0x44, 0xCC)));
  shell.info.mainRunning = true;
}

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// The visible top-level window with that title, or nullptr after the timeout.
inline HWND WaitForWindow(const wchar_t* title, int timeoutMs = 10000) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowW(nullptr, title);
        return found != nullptr && IsWindowVisible(found);
      },
      timeoutMs);
  return (found != nullptr && IsWindowVisible(found)) ? found : nullptr;
}

// Runs the script on its own thread; a dialog still open after it ends is sent a
// close request, so a failing test does not hang.
class Driver {
 public:
  Driver(const wchar_t* title, std::function<void(HWND)> script)
      : title_(title), thread_([this, script] {
          HWND window = WaitForWindow(title_.c_str());
          if (window == nullptr) return;
          // Answered only once the dialog's own event loop runs, so its set-up is done.
          DWORD_PTR ignored = 0;
          SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
          script(window);
          if (!WaitUntil([&] { return !IsWindow(window); }, 5000)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
          }
        }) {}
  ~Driver() { thread_.join(); }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

 private:
  std::wstring title_;
  std::thread thread_;
};

// A control's rectangle in the client coordinates of its dialog.
inline RECT ClientRectOf(HWND dialog, int number) {
  RECT r{};
  HWND control = GetDlgItem(dialog, number);
  if (control == nullptr) return r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

inline bool SameRect(const RECT& r, int x, int y, int w, int h) {
  return r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h;
}

inline std::string Describe(const RECT& r) {
  char text[80];
  std::snprintf(text, sizeof(text), "(%ld, %ld) %ldx%ld", static_cast<long>(r.left),
                static_cast<long>(r.top), static_cast<long>(r.right - r.left),
                static_cast<long>(r.bottom - r.top));
  return text;
}

inline void TypeText(HWND control, const wchar_t* text) {
  for (const wchar_t* c = text; *c != 0; ++c) PostMessageW(control, WM_CHAR, *c, 1);
}

inline void PressKey(HWND control, int key) {
  PostMessageW(control, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
  PostMessageW(control, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000001);
}

// The control with the keyboard focus in the given thread.
inline HWND FocusOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(thread, &info)) return nullptr;
  return info.hwndFocus;
}

inline std::wstring TextOf(HWND window) {
  wchar_t buffer[512] = {};
  SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

}  // namespace snapdeck::win32::dialogs_test

// Helpers for driving the modal dialogs from a second thread while the test's own
// thread runs their event loops.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "imaging/draw.h"
#include "resources/ids.h"
#include "shell/shell_win32.h"
#include "tests/support/wait_until.h"
#include "tests/support/win32_windows.h"

namespace snapdeck::win32::dialogs_test {

inline void PrepareShell() {
  Shell& shell = TheShell();
  shell.instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  shell.pictures.put(id::kPicPadlock, MakePicture(48, 48, MakeRgb(0xCC, 0x22, 0x22)));
  shell.pictures.put(id::kPicWarning, MakePicture(48, 48, MakeRgb(0xEE, 0xCC, 0x00)));
  shell.pictures.put(id::kPicQuestion, MakePicture(48, 48, MakeRgb(0x22, 0x44, 0xCC)));
  shell.pictures.put(id::kPicQuestion2, MakePicture(48, 48, MakeRgb(0x22, 0x44, 0xCC)));
  shell.info.mainRunning = true;
}

using testing::WaitUntil;

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
// close request, so a failing test does not hang. A dialog that never shows up fails
// the test, and every window of the test's thread is asked to close so that the modal
// loop waiting for it ends.
class Driver {
 public:
  Driver(const wchar_t* title, std::function<void(HWND)> script)
      : title_(title), owner_(GetCurrentThreadId()), thread_([this, script] {
          HWND window = WaitForWindow(title_.c_str());
          if (window == nullptr) {
            appeared_ = false;
            CloseThreadWindows(owner_);
            return;
          }
          // Answered only once the dialog's own event loop runs, so its set-up is done.
          DWORD_PTR ignored = 0;
          SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
          script(window);
          if (!WaitUntil([&] { return !IsWindow(window); }, 5000)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
          }
        }) {}
  ~Driver() {
    thread_.join();
    if (!appeared_) ADD_FAILURE() << "no visible window titled \"" << Narrow(title_) << "\"";
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

 private:
  static void CloseThreadWindows(DWORD thread) {
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM) -> BOOL {
          PostMessageW(window, WM_CLOSE, 0, 0);
          return TRUE;
        },
        0);
  }
  static std::string Narrow(const std::wstring& w) {
    std::string out;
    for (wchar_t c : w) out += static_cast<char>(c < 128 ? c : '?');
    return out;
  }

  std::wstring title_;
  DWORD owner_;
  std::atomic<bool> appeared_{true};
  std::thread thread_;
};

// A control's rectangle in the client coordinates of its dialog.
inline RECT ClientRectOf(HWND dialog, int number) {
  return testing::RectInParent(GetDlgItem(dialog, number));
}

using testing::Describe;
using testing::SameRect;
using testing::TextOf;

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

}  // namespace snapdeck::win32::dialogs_test

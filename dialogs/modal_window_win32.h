// The routine every modal window of the program shares: the round bubbles, the
// requester, the help window and the update window keep only their controls and their
// own switch of commands.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/win32/handles_win32.h"
#include "shell/events_win32.h"

namespace snapdeck::win32 {

struct ModalSpec {
  int number = 0;  // program window number; one open window per number
  const wchar_t* title = L"";
  DWORD style = WS_POPUP;
  int width = 0;  // outer size
  int height = 0;
  // Disabled while the window is open. The window is owned by it and centred on it
  // (on the screen without an owner).
  HWND owner = nullptr;
  // The window has no owner window and is centred on the screen; the owner is still
  // disabled meanwhile.
  bool unowned = false;
  // A close request of any program window ends the window, not only its own.
  bool anyCloseEnds = false;
};

// Opens the window hidden, registered under its number, with the owner disabled and
// Return and Escape turned into the shortcut events id::kKeyEnter and id::kKeyEscape.
// Closing (the destructor, or Close() earlier) enables the owner again, destroys the
// window and forgets its number, on every way out. The window is not created when its
// number is taken; the owner is then left as it was.
class ModalWindow {
 public:
  explicit ModalWindow(const ModalSpec& spec);
  ~ModalWindow();
  ModalWindow(const ModalWindow&) = delete;
  ModalWindow& operator=(const ModalWindow&) = delete;

  HWND get() const { return window_; }
  explicit operator bool() const { return window_ != nullptr; }

  // The next event of this window; false when the window is to close: a close
  // request, or WM_QUIT (which stays posted for the loop outside).
  bool Next(Event& e);

  // Closes now rather than at the end of the scope; for what the caller does once the
  // window is gone. Harmless twice.
  void Close();

  // The bitmap the control shows is freed when the window closes (controls do not
  // free theirs).
  void ReleasePictureAtClose(int control);

  // Data the window's message handlers need while it is open, found again through
  // Attached(); it stays the caller's and must outlive the window.
  void Attach(void* data);
  template <typename T>
  static T* Attached(HWND window) {
    return static_cast<T*>(AttachedData(window));
  }

 private:
  static void* AttachedData(HWND window);

  int number_ = 0;
  HWND owner_ = nullptr;
  bool anyCloseEnds_ = false;
  HWND window_ = nullptr;
  UniqueAccel shortcuts_;
  std::vector<int> pictureControls_;
};

}  // namespace snapdeck::win32

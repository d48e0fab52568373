// The ways other threads reach the UI thread, all on UiQueue: functions for a window's
// thread, run when the window handles kUiCallMessage (so in any loop that dispatches
// messages), and work run on a thread beside the UI thread, which keeps handling its
// messages and runs what the work posts until the work ends.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>

#include "shell/ui_queue.h"

namespace snapdeck::win32 {

// Posted to the window of WindowCalls; its handler calls run().
inline constexpr UINT kUiCallMessage = WM_APP + 3;

class WindowCalls {
 public:
  WindowCalls();
  ~WindowCalls();
  WindowCalls(const WindowCalls&) = delete;
  WindowCalls& operator=(const WindowCalls&) = delete;

  // UI thread: posts go to `window` from now on.
  void attach(HWND window);
  // UI thread, before the window goes: what waits is freed unrun, later posts are
  // refused until attach().
  void detach();
  // Any thread: false (the job freed) when no window is attached.
  bool post(std::function<void()> job);
  // The window's handler of kUiCallMessage.
  void run();

 private:
  std::mutex mutex_;
  HWND window_ = nullptr;  // guarded by mutex_
  UiQueue queue_;
};

// Runs `work` on a thread of its own while this thread handles its messages and runs
// what the work hands over with PostBeside; returns when the work has ended and what it
// posted has run. Nested, or when no thread can be made, the work runs here.
void RunBeside(const std::function<void()>& work);
// From the work of RunBeside: queues `job` for the thread waiting in RunBeside. False on
// that thread itself or when no work runs beside (the job is freed unrun).
bool PostBeside(std::function<void()> job);

}  // namespace snapdeck::win32

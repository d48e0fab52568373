#include "shell/ui_thread_win32.h"

#include <atomic>

#include "platform/scope_exit.h"
#include "platform/win32/handles_win32.h"
#include "shell/events_win32.h"

namespace snapdeck::win32 {

WindowCalls::WindowCalls()
    : queue_([this] {
        // Under the lock, so detach() cannot pass between the check and the post.
        std::lock_guard lock(mutex_);
        if (window_ != nullptr) PostMessageW(window_, kUiCallMessage, 0, 0);
      }) {}

WindowCalls::~WindowCalls() { detach(); }

void WindowCalls::attach(HWND window) {
  std::lock_guard lock(mutex_);
  window_ = window;
  queue_.open();
}

void WindowCalls::detach() {
  {
    std::lock_guard lock(mutex_);
    window_ = nullptr;
  }
  queue_.close();
}

bool WindowCalls::post(std::function<void()> job) { return queue_.post(std::move(job)); }

void WindowCalls::run() { queue_.runPending(); }

namespace {

struct Beside {
  std::atomic<DWORD> uiThread{0};  // non-zero while work runs beside
  UniqueHandle posted{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  UiQueue queue{[this] { SetEvent(posted.get()); }};
};

Beside& TheBeside() {
  static Beside beside;
  return beside;
}

DWORD WINAPI RunWork(void* work) {
  try {
    (*static_cast<const std::function<void()>*>(work))();
  } catch (...) {
    // Out of memory in the work: its result stays the failure it starts as.
  }
  return 0;
}

}  // namespace

void RunBeside(const std::function<void()>& work) {
  Beside& beside = TheBeside();
  if (!beside.posted || beside.uiThread != 0) {
    work();
    return;
  }
  beside.uiThread = GetCurrentThreadId();
  const ScopeExit notBeside([&] { beside.uiThread = 0; });
  UniqueHandle thread(
      CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
  if (!thread) {
    work();
    return;
  }
  // What waits already (a repaint of the status picture) is handled while the work
  // starts; the wait below wakes for what comes after.
  PumpAllEvents();
  const HANDLE handles[2] = {thread.get(), beside.posted.get()};
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0 + 1) {
      beside.queue.runPending();
    } else if (woken == WAIT_OBJECT_0 + 2) {
      PumpAllEvents();
    } else {
      break;  // the work ended (or waiting failed: then the join below waits)
    }
  }
  WaitForSingleObject(thread.get(), INFINITE);
  beside.queue.runPending();  // what the work posted last
}

bool PostBeside(std::function<void()> job) {
  Beside& beside = TheBeside();
  const DWORD uiThread = beside.uiThread;
  if (uiThread == 0 || uiThread == GetCurrentThreadId()) return false;
  return beside.queue.post(std::move(job));
}

}  // namespace snapdeck::win32

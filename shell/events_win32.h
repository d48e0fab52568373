// Program events. The shared window procedure turns control notifications, menu and
// shortcut commands, close requests, the end of a move or resize and tray-icon
// clicks into one posted message, so whichever event loop is running (the main
// loop, a requester, a bubble) takes them one at a time, in order.
#pragma once

#include <windows.h>

namespace snapdeck::win32 {

inline constexpr UINT kEventMessage = WM_APP + 1;
// Tray icon notifications (uCallbackMessage of the notification icon).
inline constexpr UINT kTrayMessage = WM_APP + 2;

// Hotkey: the hotkey poller has handed a capture to the UI thread. Loops other than the
// main loop drop it like any event not theirs; the main loop looks for waiting
// captures after every event, so none is lost.
enum class EventKind : int {
  Close = 1,
  MoveSizeEnd = 2,
  Menu = 3,
  Tray = 4,
  Control = 5,
  Hotkey = 6
};

// Event types of control and tray events.
inline constexpr int kLeftClick = 0;
inline constexpr int kRightClick = 1;
inline constexpr int kDoubleClick = 2;

struct Event {
  EventKind kind = EventKind::Close;
  HWND window = nullptr;  // top-level window the event belongs to
  int number = 0;         // control, menu item or shortcut number
  int type = kLeftClick;
};

void PostEvent(HWND window, EventKind kind, int number, int type);

// Keyboard shortcuts of a top-level window (nullptr removes them). The table is
// owned by the caller and must outlive the registration.
void SetWindowShortcuts(HWND window, HACCEL table);
// Builds an accelerator table mapping virtual keys to shortcut numbers.
HACCEL MakeShortcutTable(const int* virtualKeys, const int* numbers, int count);

// Pumps window messages until the next program event and returns it. False when
// WM_QUIT arrived.
bool WaitEvent(Event& e);
// Processes at most one pending message; a pending program event is dropped,
// as clicks during a long operation are.
void PumpOneEvent();
// Processes every pending message the same way.
void PumpAllEvents();
// Processes messages for up to ms, or until a program event comes, which is taken
// into e and returned as true (for a window that keeps one button live during a
// long operation). False when the time passed or WM_QUIT arrived.
bool WaitEventFor(int ms, Event& e);

}  // namespace snapdeck::win32

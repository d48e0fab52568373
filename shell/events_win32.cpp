#include "shell/events_win32.h"

#include <map>
#include <vector>

namespace snapdeck::win32 {
namespace {

std::map<HWND, HACCEL>& ShortcutTables() {
  static std::map<HWND, HACCEL> tables;
  return tables;
}

// Applies the shortcuts of the top-level window the message is for.
bool TranslateShortcut(MSG& msg) {
  if (msg.hwnd == nullptr) return false;
  HWND top = GetAncestor(msg.hwnd, GA_ROOT);
  auto& tables = ShortcutTables();
  auto it = tables.find(top);
  if (it == tables.end() || it->second == nullptr) return false;
  return TranslateAcceleratorW(top, it->second, &msg) != 0;
}

bool IsProgramEvent(const MSG& msg) { return msg.message == kEventMessage; }

Event EventFrom(const MSG& msg) {
  Event e;
  e.window = msg.hwnd;
  e.kind = static_cast<EventKind>(LOWORD(msg.wParam));
  e.type = static_cast<short>(HIWORD(msg.wParam));
  e.number = static_cast<int>(msg.lParam);
  return e;
}

void Deliver(MSG& msg) {
  if (TranslateShortcut(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

void PostEvent(HWND window, EventKind kind, int number, int type) {
  PostMessageW(window, kEventMessage,
               MAKEWPARAM(static_cast<WORD>(kind), static_cast<WORD>(type)),
               static_cast<LPARAM>(number));
}

void SetWindowShortcuts(HWND window, HACCEL table) {
  if (table == nullptr) {
    ShortcutTables().erase(window);
  } else {
    ShortcutTables()[window] = table;
  }
}

HACCEL MakeShortcutTable(const int* virtualKeys, const int* numbers, int count) {
  std::vector<ACCEL> accels(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    accels[i].fVirt = FVIRTKEY;
    accels[i].key = static_cast<WORD>(virtualKeys[i]);
    accels[i].cmd = static_cast<WORD>(numbers[i]);
  }
  return CreateAcceleratorTableW(accels.data(), count);
}

bool WaitEvent(Event& e) {
  MSG msg;
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (IsProgramEvent(msg)) {
      e = EventFrom(msg);
      return true;
    }
    Deliver(msg);
  }
}

void PumpOneEvent() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
  if (msg.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.wParam));
    return;
  }
  if (IsProgramEvent(msg)) return;
  Deliver(msg);
}

void PumpAllEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (IsProgramEvent(msg)) continue;
    Deliver(msg);
  }
}

bool WaitEventFor(int ms, Event& e) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms < 0 ? 0 : ms);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      if (IsProgramEvent(msg)) {
        e = EventFrom(msg);
        return true;
      }
      Deliver(msg);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

}  // namespace snapdeck::win32

#include "app/tray_win32.h"

#include <windows.h>
// This needs windows.h first.
#include <shellapi.h>

#include <atomic>
#include <memory>

#include "app/hotkey_poller.h"
#include "app/main_dispatch.h"
#include "app/main_window_win32.h"
#include "dialogs/requester_win32.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/resources_win32.h"
#include "shell/shell_win32.h"
#include "shell/tables.h"
#include "shell/ui_queue.h"
#include "viewer/viewer_window_win32.h"

namespace snapdeck::win32 {
namespace {

constexpr char16_t kHotkeyQuestion[] =
    u"Please select your desired hotkey combination.\r\n\r\n(Make sure that the hotkey is not "
    u"already assigned to some other application)\r\n";

class AsyncKeyState : public KeyState {
 public:
  bool isDown(int virtualKey) override { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }
};

struct TrayState {
  bool iconShown = false;  // icon 33 exists: the program sits in the tray
  bool busyPicture = false;
  bool hotkeyCaptureRunning = false;
  void (*capture)() = nullptr;  // the main loop's, given with each chance to run one
  UINT taskbarCreated = 0;
  UniqueIcon idle;
  UniqueIcon busy;
};

TrayState& Tray() {
  static TrayState state;
  return state;
}

// The window the poller's wake-up note goes to; set before the poller starts.
std::atomic<HWND> g_wakeWindow{nullptr};

// Captures the poller handed over. The main loop alone runs them, between its events:
// other loops (a requester's, a bubble's) drop the wake-up event, so no capture starts
// inside them.
UiQueue& HotkeyCaptures() {
  static UiQueue captures([] {
    if (HWND main = g_wakeWindow.load()) PostEvent(main, EventKind::Hotkey, 0, kLeftClick);
  });
  return captures;
}

void HotkeyCapture();

HotkeyPoller& Poller() {
  HotkeyCaptures();  // made first, so it outlives the poller that waits on it
  static AsyncKeyState keys;
  static std::unique_ptr<Clock> clock = MakeWin32Clock();
  static HotkeyPoller poller(keys, *clock, [] { HotkeyCaptures().postAndWait(HotkeyCapture); });
  return poller;
}

NOTIFYICONDATAW IconData(UINT flags) {
  TrayState& tray = Tray();
  const AppSettings& s = TheShell().settings;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = MainWindow();
  data.uID = id::kTrayIcon;
  data.uFlags = flags;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = tray.busyPicture ? tray.busy.get() : tray.idle.get();
  const std::wstring tip = Wide(TrayIconTip(s.hotkey, s.hotkeyCAS));
  tip.copy(data.szTip, std::size(data.szTip) - 1);
  return data;
}

bool AddIcon() {
  TrayState& tray = Tray();
  if (!tray.idle) tray.idle = LoadEmbeddedIcon(id::kPicTrayIdle);
  if (!tray.busy) tray.busy = LoadEmbeddedIcon(id::kPicTrayBusy);
  NOTIFYICONDATAW data = IconData(NIF_ICON | NIF_MESSAGE | NIF_TIP);
  return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void ModifyIcon(UINT flags) {
  if (!Tray().iconShown) return;
  NOTIFYICONDATAW data = IconData(flags);
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

void RemoveIcon() {
  TrayState& tray = Tray();
  if (!tray.iconShown) return;
  NOTIFYICONDATAW data = IconData(0);
  Shell_NotifyIconW(NIM_DELETE, &data);
  tray.iconShown = false;
}

void ShowHotkeyTips() {
  const AppSettings& s = TheShell().settings;
  SetToolTip(MainControl(id::kTrayButton), TrayButtonTip(s.hotkey, s.hotkeyCAS));
  ModifyIcon(NIF_TIP);
}

// Starts the poller for a chosen hotkey; "-off-" stops it.
void ArmPoller() {
  if (TheShell().settings.hotkey >= 1) {
    g_wakeWindow = MainWindow();
    Poller().start();
  } else {
    Poller().stop();
  }
}

// Asks for the hotkey and keeps a confirmed choice in the settings.
bool AskHotkey() {
  AppSettings& s = TheShell().settings;
  RequesterQuestion question =
      QuestionOf(id::kKindHotkey, kHotkeyQuestion, u"Yes, set key", u"No, leave it");
  question.hotkey = s.hotkey;
  question.hotkeyCAS = s.hotkeyCAS;
  const RequesterAnswer answer = Requester(question);
  if (answer.button != id::kAnswerFirst) return false;
  s.hotkey = answer.hotkey.hotkey;
  s.hotkeyCAS = answer.hotkey.cas;
  PublishHotkey();
  return true;
}

void ShowTrayMenu() {
  HMENU menu = TrayMenu();
  HWND main = MainWindow();
  if (menu == nullptr || main == nullptr) return;
  const AppSettings& s = TheShell().settings;
  const std::wstring text = Wide(HotkeyText(s.hotkey, s.hotkeyCAS));
  ModifyMenuW(menu, id::kTrayItemHotkey, MF_BYCOMMAND | MF_STRING | MF_GRAYED, id::kTrayItemHotkey,
              text.c_str());
  POINT at{};
  GetCursorPos(&at);
  // Without the foreground the menu would stay open when the user clicks elsewhere.
  SetForegroundWindow(main);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, main, nullptr);
  PostMessageW(main, WM_NULL, 0, 0);
}

void HotkeyCapture() {
  TrayState& tray = Tray();
  if (tray.capture == nullptr) return;
  tray.hotkeyCaptureRunning = true;
  tray.busyPicture = true;
  ModifyIcon(NIF_ICON);
  tray.capture();
  tray.busyPicture = false;
  ModifyIcon(NIF_ICON);
  // The viewer follows, hidden or not; unlike the button, no window is activated.
  RefreshThumbnails();
  tray.hotkeyCaptureRunning = false;
}

bool TrayHandler(HWND window, UINT message, WPARAM, LPARAM lParam, LRESULT&) {
  if (window == nullptr || window != MainWindow()) return false;
  TrayState& tray = Tray();
  // Explorer restarted and lost every icon.
  if (message == tray.taskbarCreated && tray.taskbarCreated != 0 && tray.iconShown) {
    AddIcon();
  }
  // The capture holds the main loop; the user asking for the window gets it at once.
  if (message == kTrayMessage && tray.hotkeyCaptureRunning && tray.iconShown &&
      LOWORD(lParam) == WM_LBUTTONDBLCLK) {
    RestoreFromTray();
  }
  return false;
}

}  // namespace

void InstallTray() {
  Tray().taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  AddMessageHandler(MainWindow(), TrayHandler);
}

bool InTray() { return Tray().iconShown; }

void PublishHotkey() {
  const AppSettings& s = TheShell().settings;
  Poller().setHotkey(s.hotkey, s.hotkeyCAS);
}

void PushToTray() {
  HWND main = MainWindow();
  if (main == nullptr || InTray()) return;
  if (TheShell().settings.hotkey == 0 && !AskHotkey()) return;
  Tray().iconShown = AddIcon();
  ShowHotkeyTips();
  // Hidden without an icon, the window could only come back by the hotkey, if at all.
  if (!InTray()) return;
  ShowWindow(main, SW_HIDE);
  if (HWND viewer = WindowByNumber(id::kViewer)) ShowWindow(viewer, SW_HIDE);
  ArmPoller();
}

void DefineHotkey() {
  if (!InTray() || !AskHotkey()) return;
  ArmPoller();
  ShowHotkeyTips();
}

void RestoreFromTray() {
  Poller().stop();
  if (!InTray()) return;
  HWND main = MainWindow();
  ShowWindow(main, SW_SHOW);
  if (HWND viewer = WindowByNumber(id::kViewer)) ShowWindow(viewer, SW_SHOW);
  RemoveIcon();
  SetForegroundWindow(main);
}

void OnTrayIcon(int type) {
  // A click queued before the program left the tray is stale.
  if (!InTray()) return;
  if (type == kDoubleClick) RestoreFromTray();
  if (type == kRightClick) ShowTrayMenu();
}

void RunPendingHotkeyCapture(void (*capture)()) {
  Tray().capture = capture;
  HotkeyCaptures().runPending();
}

void EndTrayMode() {
  Poller().stop();
  HotkeyCaptures().close();
  Poller().join();
  RemoveIcon();
  Tray().idle.reset();
  Tray().busy.reset();
}

}  // namespace snapdeck::win32

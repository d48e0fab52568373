#include "update/update_window_win32.h"

#include "imaging/palette.h"
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <utility>

#include "dialogs/bubble_win32.h"
#include "dialogs/click_win32.h"
#include "dialogs/controls_win32.h"
#include "dialogs/disc_win32.h"
#include "dialogs/modal_window_win32.h"
#include "imaging/status.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/system_libraries_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "update/emblem.h"
#include "update/update_progress.h"
#include "update/update_system_win32.h"
#include "update/update_window_states.h"

namespace snapdeck::win32 {
namespace {

const wchar_t kTitle[] = L"vex! -kestrel's update info";
constexpr int kSize = 240;
constexpr COLORREF kTextColor = palette::kHouse;

// In the order of UpdateButton.
constexpr int kButtons[] = {id::kUpdateCheck, id::kUpdateDownload, id::kUpdateCancel};

int NumberOf(UpdateButton button) { return kButtons[static_cast<int>(button)]; }

std::optional<UpdateButton> ButtonOf(int number) {
  for (UpdateButton b : kUpdateButtons) {
    if (NumberOf(b) == number) return b;
  }
  return std::nullopt;
}

// Progress drawing of the open window.
struct ProgressState {
  ProgressPacer pacer;
  ProgressBar bar{nullptr};
};

ProgressState& Progress() {
  static ProgressState state;
  return state;
}

HWND TheWindow() { return WindowByNumber(id::kUpdateWindow); }

HWND Item(int number) {
  HWND window = TheWindow();
  return window != nullptr ? GetDlgItem(window, number) : nullptr;
}

// The status text is dark on white whatever window procedure runs.
LRESULT CALLBACK StatusColourProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR) {
  if (message == WM_CTLCOLORSTATIC &&
      GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == id::kUpdateStatus) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, kTextColor);
    SetBkColor(dc, palette::kWhite);
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
  }
  return DefaultSubclassProc(window, message, wParam, lParam);
}

// The buttons as the states have them: live or not, the default marked, Cancel's
// name, and the emblem turned to match.
void Show(const UpdateWindowStates& states) {
  SetWindowTextW(Item(id::kUpdateCancel), states.restartOffered() ? L"restart" : L"Cancel");
  const std::optional<UpdateButton> chosen = states.defaultButton();
  for (UpdateButton b : kUpdateButtons) {
    HWND button = Item(NumberOf(b));
    EnableWindow(button, states.live(b) ? TRUE : FALSE);
    SendMessageW(button, BM_SETSTYLE, chosen == b ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
  if (chosen) {
    RedrawWindow(Item(NumberOf(*chosen)), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  const Picture* emblem = TheShell().pictures.find(id::kPicEmblem);
  if (emblem != nullptr) {
    ShowPictureInControl(Item(id::kUpdateEmblem),
                         TurnedQuarter(*emblem, states.emblemQuarterTurns()));
  }
}

class WindowPort final : public UpdateWindowPort {
 public:
  explicit WindowPort(UpdateWindowStates& states) : states_(states) {}

  void setStatus(const std::u16string& text) override {
    SetWindowTextU16(Item(id::kUpdateStatus), text);
    UpdateWindow(Item(id::kUpdateStatus));
  }
  // Cancel is live during a whole check or download, so a press between two
  // fetches is kept for the next one rather than dropped.
  void discardEvents() override {
    Event e;
    while (WaitEventFor(0, e)) noteStop(e);
  }
  bool askLogin(const std::u16string& host) override {
    HWND window = TheWindow();
    LoginState& login = TheUpdateInfo().login;
    std::optional<Credentials> entered;
    {
      const WindowDisabled behindTheBubble(window);
      entered = LoginBubble(host, Credentials{login.userName, login.password});
      if (entered) {
        login.userName = entered->userName;
        login.password = entered->password;
      }
      SetActiveWindow(window);
    }
    PumpAllEvents();
    return entered.has_value();
  }
  void playErrorSound() override { PlaySoundNumber(0); }
  void drawProgress(int maximum, int value) override { DrawUpdateProgress(maximum, value); }
  std::uint64_t nowMs() override { return GetTickCount64(); }
  bool waitDuringFetch(int ms) override {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    Event e;
    for (ULONGLONG now = GetTickCount64(); !stopRequested && now < end; now = GetTickCount64()) {
      if (!WaitEventFor(static_cast<int>(end - now), e)) break;
      noteStop(e);
    }
    return std::exchange(stopRequested, false);
  }

  // Cancel, Escape or a close request while a check or download runs.
  void noteStop(const Event& e) {
    if (e.window != TheWindow()) return;
    if (e.kind == EventKind::Close) closeRequested = true;
    const bool cancel = (e.kind == EventKind::Control && e.number == id::kUpdateCancel) ||
                        (e.kind == EventKind::Menu && e.number == id::kKeyEscape);
    if (closeRequested ||
        (cancel && states_.press(UpdateButton::Cancel) == UpdateStep::StopFetch)) {
      stopRequested = true;
    }
  }

  bool stopRequested = false;
  // A close request that stopped a fetch closes the window once the fetch is over.
  bool closeRequested = false;

 private:
  UpdateWindowStates& states_;
};

UpdateContext Context(UpdateSystem& system, WindowPort& port) {
  UpdateInfo& info = TheUpdateInfo();
  return UpdateContext{info, TheShell().info, info.login, system, port};
}

// The parameter at this place after the program's own name; empty when there is
// none.
std::u16string Parameter(int place) {
  int count = 0;
  const UniqueLocal<wchar_t**> args(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!args) return {};
  return count > place ? FromWide(args.get()[place]) : std::u16string();
}

}  // namespace

UpdateInfo& TheUpdateInfo() {
  static UpdateInfo info;
  return info;
}

void DrawUpdateProgress(int maximum, int value) {
  ProgressState& state = Progress();
  int knob = 0;
  if (!state.pacer.due(maximum, value, GetTickCount64(), knob)) return;
  state.bar.setWidth(kUpdateBarWidth);
  // The bar skips a redraw at its last place; the start is redrawn all the
  // same.
  if (!state.bar.draw(kUpdateBarWidth, knob)) state.bar.draw(kUpdateBarWidth, -1);
  const Picture& shown = TheShell().pictures.put(id::kPicUpdateProgress, state.bar.picture());
  ShowPictureInControl(Item(id::kUpdateProgress), shown);
  PumpOneEvent();
}

int RunUpdateWindow() {
  UpdateInfo& info = TheUpdateInfo();
  HWND parent = WindowByNumber(info.parentWindow);
  // Declared before the window, so it is released once the window is gone.
  UniqueGdi<HBRUSH> disc;
  ModalSpec spec;
  spec.number = id::kUpdateWindow;
  spec.title = kTitle;
  spec.width = kSize;
  spec.height = kSize;
  spec.owner = parent;
  ModalWindow modal(spec);
  if (!modal) return 0;
  HWND window = modal.get();
  disc = DiscBrush(id::kPicUpdateDisc, palette::kNavy, palette::kSteel, palette::kSky, kSize);
  SetWindowBackground(window, disc.get());
  SubclassWindow(window, StatusColourProc, 0, 0);

  const Picture* emblem = TheShell().pictures.find(id::kPicEmblem);
  const int emblemSize = emblem != nullptr ? emblem->width : 48;
  MakeDialogControl(window, L"Static", u"", SS_BITMAP, 0, {86, 131, emblemSize, emblemSize},
                    id::kUpdateEmblem);
  MakeDialogControl(window, L"Static",
                    u"vex!\r\n-kestrel's update info\r\nfor: [" + info.programName + u"]\r\n",
                    SS_SUNKEN, 0, {45, 45, 150, 50}, id::kUpdateStatus);
  MakeDialogControl(window, L"Static", u"", SS_BITMAP | SS_SUNKEN, 0, {18, 107, 200, 10},
                    id::kUpdateProgress);
  MakeDialogControl(window, L"Button", u"Check", BS_PUSHBUTTON | WS_TABSTOP, 0, {35, 135, 40, 40},
                    id::kUpdateCheck);
  MakeDialogControl(window, L"Button", u"Update", BS_PUSHBUTTON | WS_TABSTOP, 0, {145, 135, 60, 40},
                    id::kUpdateDownload);
  MakeDialogControl(window, L"Button", u"Cancel", BS_PUSHBUTTON | BS_MULTILINE | WS_TABSTOP, 0,
                    {85, 190, 50, 30}, id::kUpdateCancel);
  modal.ReleasePictureAtClose(id::kUpdateEmblem);
  modal.ReleasePictureAtClose(id::kUpdateProgress);

  ShapeAsDisc(window, kSize);
  SetForegroundWindow(window);
  UpdateWindowStates states;
  Progress() = ProgressState{};
  DrawUpdateProgress(100, 0);
  Show(states);

  std::unique_ptr<UpdateSystem> system = MakeWin32UpdateSystem();
  WindowPort port(states);
  bool started = false;
  Event e;
  for (bool open = true; open && modal.Next(e);) {
    if (e.kind == EventKind::Menu && e.number == id::kKeyEscape) ClickControl(id::kUpdateCancel);
    if (e.kind == EventKind::Menu && e.number == id::kKeyEnter) {
      if (const std::optional<UpdateButton> b = states.defaultButton()) ClickControl(NumberOf(*b));
    }
    const std::optional<UpdateButton> button =
        e.kind == EventKind::Control ? ButtonOf(e.number) : std::nullopt;
    if (!button) continue;
    UpdateContext c = Context(*system, port);
    switch (const UpdateStep step = states.press(*button)) {
      case UpdateStep::Check:
      case UpdateStep::Download:
        Show(states);
        states.ended(step == UpdateStep::Check ? CheckForUpdate(c) : DownloadUpdate(c));
        Show(states);
        break;
      case UpdateStep::Restart:
        started = StartRestart(TheUpdateInfo(), TheShell().info, *system);
        open = false;
        break;
      case UpdateStep::Close:
        open = false;
        break;
      case UpdateStep::Nothing:
      case UpdateStep::StopFetch:
        break;
    }
    // A stop that came after the last fetch stops nothing later.
    port.stopRequested = false;
    if (port.closeRequested) open = false;
  }

  modal.Close();
  TheShell().pictures.release(id::kPicUpdateDisc);
  if (parent != nullptr) SetForegroundWindow(parent);
  return started ? 1 : 0;
}

bool HandleUpdateSwitches() {
  std::unique_ptr<UpdateSystem> system = MakeWin32UpdateSystem();
  return snapdeck::HandleUpdateSwitches(TheUpdateInfo(), TheShell().info, Parameter(1), *system,
                                        Parameter(2)) == SwitchOutcome::Continue;
}

}  // namespace snapdeck::win32

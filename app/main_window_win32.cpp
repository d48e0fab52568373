#include "app/main_window_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

#include "app/main_dispatch.h"
#include "app/main_logic.h"
#include "dialogs/symbol_buttons_win32.h"
#include "imaging/codec.h"
#include "platform/file_names.h"
#include "platform/win32/handles_win32.h"
#include "program_version.h"
#include "resources/ids.h"
#include "resources/resource_ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "shell/tables.h"

namespace snapdeck::win32 {
namespace {

constexpr wchar_t kStateProperty[] = L"SnapdeckMainState";

// What the main window keeps besides its controls. The window holds it as a property
// and frees it on WM_NCDESTROY, so it lives exactly as long as the window.
struct MainWindowState {
  HWND window = nullptr;
  UniqueMenu trayMenu;
  UniqueAccel shortcuts;
  UniqueIcon bigIcon;
  UniqueIcon smallIcon;
  HWND lastFocus = nullptr;  // gets the focus back when the window is activated again
  bool wait = false;         // the wait cursor shows over the window
  bool pumpOnProgress = false;
  bool folderSelected = false;  // the folder drop-down's last change was a pick from its list
  // Combo boxes are created with the height of their open list, which moving them keeps.
  std::map<int, int> comboHeights;
};

MainWindowState* StateOf(HWND window) {
  return window != nullptr ? static_cast<MainWindowState*>(GetPropW(window, kStateProperty))
                           : nullptr;
}

// The open main window's state; nullptr while there is none.
MainWindowState* State() { return StateOf(WindowByNumber(id::kMainWindow)); }

HWND Main() {
  const MainWindowState* state = State();
  return state != nullptr ? state->window : nullptr;
}

constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kPictureButton = BS_PUSHBUTTON | BS_BITMAP | WS_TABSTOP;
constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;

// Place, size, text and tool tip of every control at creation; the layout rule moves
// some of them at each size change.
const ControlSpec kControls[] = {
    {id::kStayOnTopButton, L"Button", kPictureButton, 0, 10, 10, 20, 20, u"",
     u"toggle topmost window", false},
    {id::kSoundButton, L"Button", kPictureButton, 0, 40, 10, 20, 20, u"", u"toggle sound", false},
    {id::kTrayButton, L"Button", kPictureButton, 0, 70, 10, 20, 20, u"", u"push to tray - Hotkey: ",
     false},
    {id::kProgressPicture, L"Static", SS_BITMAP, 0, 100, 15, 40, 11, u"", nullptr, false},
    {id::kToggleViewer, L"Button", BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP, 0, 150, 10, 100, 20,
     u"toggle viewer", u"turn viewer on/off [F9]", false},
    {id::kLabelFolder, L"Static", SS_RIGHT, 0, 10, 42, 55, 20, u"Folder:", nullptr, false},
    {id::kFolderCombo, L"ComboBox", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, 70,
     40, 170, 280, u"", u"folder history", false},
    {id::kChooseFolder, L"Button", kButton, 0, 220, 40, 30, 20, u"...", u"select a folder", false},
    {id::kLabelFilename, L"Static", SS_RIGHT, 0, 10, 72, 55, 20, u"Filename:", nullptr, false},
    {id::kFilenameEdit, L"Edit", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 70, 70, 80, 20,
     u"snapdeck", nullptr, false},
    {id::kFormatCombo, L"ComboBox", kList, 0, 150, 70, 50, 100, u"", u"graphics format", false},
    {id::kScaleCombo, L"ComboBox", kList, 0, 200, 70, 50, 150, u"", u"scale size", false},
    {id::kAutoNumberCheck, L"Button", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 70, 90, 16, 20, u"", nullptr,
     false},
    {id::kLabelAutoNumber, L"Static", SS_LEFT, 0, 86, 92, 90, 20, u"auto-number", nullptr, false},
    {id::kIncludePinCheck, L"Button", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 170, 90, 16, 20, u"",
     nullptr, false},
    {id::kLabelIncludePin, L"Static", SS_LEFT, 0, 186, 92, 110, 20, u"include PIN", nullptr, false},
    {id::kLabelFrame, L"Static", SS_RIGHT, 0, 10, 117, 55, 20, u"Frame:", nullptr, false},
    {id::kThicknessCombo, L"ComboBox", kList, 0, 70, 115, 40, 220, u"", u"frame thickness", false},
    {id::kColorSwatch, L"Static", SS_BITMAP | SS_NOTIFY, 0, 110, 115, 60, 20, u"",
     u"select a frame color", false},
    {id::kShadingTrack, TRACKBAR_CLASSW, TBS_HORZ | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP, 0, 150,
     115, 140, 20, u"", u"shading effect", false},
    {id::kDirectionButton, L"Button", kButton, 0, 290, 115, 40, 20, u"6", u"effect direction",
     true},
    {id::kStatusPicture, L"Static", SS_BITMAP | SS_NOTIFY, 0, 8, 148, 182, 162, u"", nullptr,
     false},
    {id::kHelpButton, L"Button", kButton, 0, 40, 320, 20, 20, u"?", nullptr, false},
    {id::kUpdateButton, L"Button", kButton, 0, 10, 320, 20, 20, u"!", nullptr, false},
    {id::kExitButton, L"Button", kButton, 0, 210, 320, 50, 20, u"exit", nullptr, false},
    {id::kTakeScreenshot, L"Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 70, 320, 100, 30,
     u"take screenshot", nullptr, false},
};

bool IsComboBox(HWND control) {
  wchar_t name[16] = {};
  GetClassNameW(control, name, 16);
  return _wcsicmp(name, L"ComboBox") == 0;
}

template <typename Items>
void AddItems(int control, const Items& items) {
  HWND combo = GetDlgItem(Main(), control);
  for (std::u16string_view item : items) {
    const std::wstring w = Wide(std::u16string(item));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
  }
}

UniqueMenu BuildTrayMenu() {
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) return menu;
  AppendMenuW(menu.get(), MF_STRING | MF_GRAYED, id::kTrayItemHotkey, L"hotkey");
  AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu.get(), MF_STRING, id::kTrayItemDefineHotkey, L"Define Hotkey");
  AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu.get(), MF_STRING, id::kTrayItemRestore, L"Restore");
  AppendMenuW(menu.get(), MF_STRING, id::kTrayItemExit, L"Exit");
  return menu;
}

// The window menu's switch for phones: an entry there leaves the window's layout as it
// is. The menu is the window's own copy and goes with it.
void AddSystemMenuEntries(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, id::kSysMenuCleanStatusBar, L"Clean status bar on phones");
}

void ShowCleanStatusBar(HWND window) {
  CheckMenuItem(
      GetSystemMenu(window, FALSE), id::kSysMenuCleanStatusBar,
      MF_BYCOMMAND | (TheShell().settings.cleanstatusbar != 0 ? MF_CHECKED : MF_UNCHECKED));
}

void ShowProgressPicture(const Picture& picture) {
  const MainWindowState* state = State();
  if (state == nullptr) return;
  ShowPictureInControl(GetDlgItem(state->window, id::kProgressPicture), picture);
  if (state->pumpOnProgress) PumpOneEvent();
}

void LayoutMain(MainWindowState& state, int W, int H) {
  const MainWindowLayout layout = MainLayout(W, H);
  ProgressBar& progress = MainProgress();
  progress.setWidth(layout.progressWidth);
  // A size change only redraws the picture: even inside a capture's pumped event it
  // must not let a further event through.
  const bool pumping = std::exchange(state.pumpOnProgress, false);
  if (layout.progressWidth > 1) progress.draw(100, -1);
  state.pumpOnProgress = pumping;
  for (const ControlPlace& place : layout.controls) {
    HWND control = GetDlgItem(state.window, place.id);
    if (control == nullptr) continue;
    const Box& box = place.box;
    int height = box.height;
    if (auto it = state.comboHeights.find(place.id); it != state.comboHeights.end()) {
      height = it->second;
    }
    SetWindowPos(control, nullptr, box.x, box.y, box.width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
  }
  // Moved controls leave stale pixels behind under Wine unless everything is repainted.
  RedrawWindow(state.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool MainHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  MainWindowState* state = StateOf(window);
  if (state == nullptr) return false;
  switch (message) {
    case WM_NCDESTROY:
      // The last message of the window: its state, menu, shortcuts and icons go with it,
      // however it was destroyed.
      SetWindowShortcuts(window, nullptr);
      RemovePropW(window, kStateProperty);
      delete state;
      return false;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      const ScreenMetrics& m = TheShell().metrics;
      info->ptMinTrackSize = {240, 320};
      info->ptMaxTrackSize = {m.workRight, m.workBottom};
      result = 0;
      return true;
    }
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) LayoutMain(*state, LOWORD(lParam), HIWORD(lParam));
      return false;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, kLabelColor);
      HBRUSH brush = TheShell().backgroundBrush.get();
      if (brush == nullptr) return false;
      result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    case WM_SETCURSOR:
      // The class has no cursor so that the wait cursor stays while the program works.
      if (LOWORD(lParam) != HTCLIENT) return false;
      if (state->wait) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      } else if (reinterpret_cast<HWND>(wParam) == window) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      } else {
        return false;
      }
      result = TRUE;
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != id::kSysMenuCleanStatusBar) return false;
      TheShell().settings.cleanstatusbar = TheShell().settings.cleanstatusbar != 0 ? 0 : 1;
      ShowCleanStatusBar(window);
      result = 0;
      return true;
    case WM_DRAWITEM:
      if (!DrawSymbolButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return false;
      result = TRUE;
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == id::kFolderCombo) {
        if (HIWORD(wParam) == CBN_SELCHANGE) state->folderSelected = true;
        if (HIWORD(wParam) == CBN_EDITCHANGE) state->folderSelected = false;
      }
      return false;
    case WM_ACTIVATE:
      // Like a dialog, the window gives the focus back to the control that had it.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) state->lastFocus = focus;
      } else if (!HIWORD(wParam) && state->lastFocus != nullptr && IsWindow(state->lastFocus) &&
                 IsWindowEnabled(state->lastFocus)) {
        SetFocus(state->lastFocus);
      }
      return false;
    default:
      return false;
  }
}

}  // namespace

HWND BuildMainWindow() {
  Shell& shell = TheShell();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT outer{0, 0, 400, 400};
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  const int w = outer.right - outer.left;
  const int h = outer.bottom - outer.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  HWND main = CreateWindowExW(0, ProgramWindowClass(), L"Snapdeck " SNAPDECK_VERSION_TEXT, style, x,
                              y, w, h, nullptr, nullptr, shell.instance, nullptr);
  if (main == nullptr) return nullptr;
  auto owned = std::make_unique<MainWindowState>();
  owned->window = main;
  if (!SetPropW(main, kStateProperty, owned.get())) {
    DestroyWindow(main);
    return nullptr;
  }
  MainWindowState& state = *owned.release();  // the window's from now on
  RegisterWindow(id::kMainWindow, main);
  SetWindowBackground(main, shell.backgroundBrush.get());
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  state.bigIcon.reset(
      static_cast<HICON>(LoadImageW(shell.instance, MAKEINTRESOURCEW(SNAPDECK_RC_PROGRAM_ICON),
                                    IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
  state.smallIcon.reset(static_cast<HICON>(LoadImageW(
      shell.instance, MAKEINTRESOURCEW(SNAPDECK_RC_PROGRAM_ICON), IMAGE_ICON, 16, 16, 0)));
  if (state.bigIcon) {
    SendMessageW(main, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.bigIcon.get()));
  }
  if (state.smallIcon) {
    SendMessageW(main, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.smallIcon.get()));
  }

  const DWORD symbolStyle = SymbolButtonStyle(static_cast<bool>(shell.webdings));
  for (const ControlSpec& c : kControls) {
    HWND control = CreateControl(main, c, symbolStyle);
    if (control != nullptr && IsComboBox(control)) state.comboHeights[c.id] = c.h;
  }

  AddItems(id::kFormatCombo, kShotExtensions);
  AddItems(id::kScaleCombo, ScaleTexts());
  SendMessageW(GetDlgItem(main, id::kScaleCombo), CB_SETCURSEL, 3, 0);
  static constexpr std::u16string_view kThicknesses[] = {u"0", u"1", u"2", u"3", u"4",
                                                         u"5", u"6", u"7", u"8", u"9"};
  AddItems(id::kThicknessCombo, kThicknesses);
  HWND track = GetDlgItem(main, id::kShadingTrack);
  SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(0, 16));
  SendMessageW(track, TBM_SETPOS, TRUE, 8);

  ShowStorePicture(id::kStayOnTopButton, id::kPicPinOff);
  ShowStorePicture(id::kSoundButton, id::kPicSoundOff);
  ShowStorePicture(id::kTrayButton, id::kPicToTray);
  ShowStorePicture(id::kColorSwatch, id::kPicSwatch);
  ShowStorePicture(id::kStatusPicture, id::kPicStatus);

  state.trayMenu = BuildTrayMenu();
  AddSystemMenuEntries(main);
  static const int keys[] = {VK_RETURN, VK_ESCAPE, VK_F1, VK_F9, VK_F6};
  static const int numbers[] = {id::kKeyEnter, id::kKeyEscape, id::kKeyF1, id::kKeyF9, id::kKeyF6};
  state.shortcuts.reset(MakeShortcutTable(keys, numbers, 5));
  SetWindowShortcuts(main, state.shortcuts.get());

  AddMessageHandler(main, MainHandler);
  RECT client;
  GetClientRect(main, &client);
  LayoutMain(state, client.right, client.bottom);
  return main;
}

void DestroyMainWindow() {
  HWND main = Main();
  if (main == nullptr) return;
  for (int control : {id::kStayOnTopButton, id::kSoundButton, id::kTrayButton, id::kProgressPicture,
                      id::kColorSwatch, id::kStatusPicture}) {
    ReleaseShownPicture(GetDlgItem(main, control));
  }
  DestroyWindow(main);  // frees the window's state on its way out
  ForgetWindow(id::kMainWindow);
}

HWND MainWindow() { return Main(); }

HWND MainControl(int number) {
  HWND main = Main();
  return main != nullptr ? GetDlgItem(main, number) : nullptr;
}

HMENU TrayMenu() {
  const MainWindowState* state = State();
  return state != nullptr ? state->trayMenu.get() : nullptr;
}

std::array<std::u16string, 16> FolderHistoryFromControl() {
  std::array<std::u16string, 16> entries{};
  HWND combo = MainControl(id::kFolderCombo);
  if (combo == nullptr) return entries;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < 16 && i < count; ++i) entries[i] = ComboItemText(combo, i);
  return entries;
}

void FillFolderControl(const std::array<std::u16string, 16>& entries, int selected) {
  HWND combo = MainControl(id::kFolderCombo);
  if (combo == nullptr) return;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::u16string& entry : entries) {
    const std::wstring w = Wide(entry);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
  }
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  // Selecting an entry also selects the edit text, which Wine keeps showing unfocused.
  SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(-1, 0));
}

void PutSettingsIntoControls() {
  AppSettings& s = TheShell().settings;
  FillFolderControl(s.shotfolder, s.shotfolderid);
  s.currentFolder = FolderWithSeparator(WindowText(MainControl(id::kFolderCombo)));
  SetWindowTextU16(MainControl(id::kFilenameEdit), s.shotname);
  SendMessageW(MainControl(id::kFormatCombo), CB_SETCURSEL, static_cast<WPARAM>(s.shotext), 0);
  SendMessageW(MainControl(id::kScaleCombo), CB_SETCURSEL, static_cast<WPARAM>(s.shotsize), 0);
  SendMessageW(MainControl(id::kAutoNumberCheck), BM_SETCHECK,
               s.autonumber != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(MainControl(id::kIncludePinCheck), BM_SETCHECK,
               s.includepin != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(MainControl(id::kThicknessCombo), CB_SETCURSEL,
               static_cast<WPARAM>(s.framethickness), 0);
  SendMessageW(MainControl(id::kShadingTrack), TBM_SETPOS, TRUE, s.frameeffect);
  SetWindowTextU16(MainControl(id::kDirectionButton), DirectionGlyph(s.frameeffectdir));
  SetToolTip(MainControl(id::kTrayButton), TrayButtonTip(s.hotkey, s.hotkeyCAS));
  RefreshSwatch();
  ApplyStayOnTop();
  if (HWND main = Main()) ShowCleanStatusBar(main);
}

void RefreshSwatch() {
  Shell& shell = TheShell();
  Picture* swatch = shell.pictures.find(id::kPicSwatch);
  if (swatch == nullptr) swatch = &shell.pictures.put(id::kPicSwatch, Picture{});
  DrawColorSwatch(*swatch, shell.settings.framecolor, shell.settings.framethickness, GdiText());
  ShowPictureInControl(MainControl(id::kColorSwatch), *swatch);
}

void ShowStorePicture(int control, int picture) {
  HWND h = MainControl(control);
  if (h == nullptr) return;
  if (const Picture* p = TheShell().pictures.find(picture)) ShowPictureInControl(h, *p);
}

void ApplyStayOnTop() {
  const bool onTop = TheShell().settings.stayontop != 0;
  ShowStorePicture(id::kStayOnTopButton, onTop ? id::kPicPinOn : id::kPicPinOff);
  for (int number : {id::kMainWindow, id::kViewer}) {
    if (HWND window = WindowByNumber(number)) {
      SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

void ShowSoundState() {
  ShowStorePicture(id::kSoundButton,
                   TheShell().settings.sound != 0 ? id::kPicSoundOn : id::kPicSoundOff);
}

int ChooseFrameColor(Rgb initial, std::array<Rgb, 16>& customColors) {
  COLORREF custom[16];
  for (int i = 0; i < 16; ++i) custom[i] = static_cast<COLORREF>(customColors[i]);
  CHOOSECOLORW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = Main();
  dialog.rgbResult = static_cast<COLORREF>(initial) & 0xFFFFFF;
  dialog.lpCustColors = custom;
  dialog.Flags = CC_RGBINIT | CC_ANYCOLOR;
  const bool chosen = ChooseColorW(&dialog) != 0;
  // The dialog edits the custom colours in place, also when it is cancelled.
  for (int i = 0; i < 16; ++i) customColors[i] = static_cast<Rgb>(custom[i] & 0xFFFFFF);
  if (!chosen) return -1;
  return static_cast<int>(dialog.rgbResult & 0xFFFFFF);
}

void RenderIdleStatus() {
  Shell& shell = TheShell();
  const AppSettings& s = shell.settings;
  int w = 0;
  int h = 0;
  StatusFieldSize(s, w, h);
  const Picture* mark =
      s.rememberPassword != 0 ? shell.pictures.find(id::kPicPasswordMark) : nullptr;
  Picture status;
  RenderStatusPicture(status, w, h, u" Snapdeck ", SnapdeckCaptionColors(), FrameStyleOf(s),
                      GdiText(), mark);
  shell.pictures.put(id::kPicStatus, std::move(status));
}

void ShowStatusPicture() { ShowStorePicture(id::kStatusPicture, id::kPicStatus); }

void RefreshStatusLine() {
  RefreshSwatch();
  RenderIdleStatus();
  ShowStatusPicture();
}

void ResizeMainInner(int innerWidth, int innerHeight) {
  HWND main = Main();
  if (main == nullptr) return;
  RECT r{0, 0, innerWidth, innerHeight};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE)));
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  // The position stays unless the grown window would reach past the work area's right or
  // bottom edge: then it moves back just enough (a phone's preview is tall).
  RECT now{};
  GetWindowRect(main, &now);
  const ScreenMetrics& m = TheShell().metrics;
  const int x =
      std::max(std::min<int>(now.left, m.workRight - width), std::min<int>(now.left, m.workLeft));
  const int y =
      std::max(std::min<int>(now.top, m.workBottom - height), std::min<int>(now.top, m.workTop));
  const bool move = x != now.left || y != now.top;
  // Shot after shot of one size: nothing to lay out again (about a millisecond under Wine).
  if (!move && now.right - now.left == width && now.bottom - now.top == height) return;
  SetWindowPos(main, nullptr, x, y, width, height,
               (move ? 0 : SWP_NOMOVE) | SWP_NOZORDER | SWP_NOACTIVATE);
}

void LargestMainPreview(int& width, int& height) {
  const ScreenMetrics& m = TheShell().metrics;
  RECT r{0, 0, 0, 0};
  if (HWND main = Main()) {
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE)));
  }
  LargestPreviewSize(m.workRight - m.workLeft, m.workBottom - m.workTop, r.right - r.left,
                     r.bottom - r.top, width, height);
}

void SetWaitCursor(bool wait) {
  if (MainWindowState* state = State()) state->wait = wait;
  SetCursor(LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

ProgressBar& MainProgress() {
  static ProgressBar bar(ShowProgressPicture);
  return bar;
}

void SetProgressPumping(bool pumping) {
  if (MainWindowState* state = State()) state->pumpOnProgress = pumping;
}

bool TakeFolderSelectionFlag() {
  MainWindowState* state = State();
  return state != nullptr && std::exchange(state->folderSelected, false);
}

}  // namespace snapdeck::win32

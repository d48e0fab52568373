// Window 5 built in this process: its controls, layout, size limits, label colours and
// tray menu, and the main loop's dispatch of the events the controls produce.
#include <gtest/gtest.h>
#include <windows.h>
// This needs windows.h first.
#include <commctrl.h>

#include <string>

#include "app/clipboard_win32.h"
#include "app/main_loop_win32.h"
#include "app/main_window_win32.h"
#include "dialogs/click_win32.h"
#include "imaging/draw.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "tests/support/win32_windows.h"

namespace snapdeck::win32 {
namespace {

RECT RectInMain(HWND main, int id) { return testing::RectInParent(GetDlgItem(main, id)); }

using testing::TextOf;

bool g_timedOut = false;

// Runs the main loop over the events queued so far; a loop that does not end within
// five seconds is stopped and reported.
bool LoopEnds() {
  g_timedOut = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
    g_timedOut = true;
    PostQuitMessage(0);
  });
  RunMainLoop();
  KillTimer(nullptr, timer);
  return !g_timedOut;
}

void PostControlEvent(int control, int type = kLeftClick) {
  PostEvent(MainWindow(), EventKind::Control, control, type);
}

void PostEscape() { PostEvent(MainWindow(), EventKind::Menu, id::kKeyEscape, kLeftClick); }

// One window for all tests: under Wine without a window manager every window that
// is hidden or destroyed costs two seconds.
class AppMainWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Shell& shell = TheShell();
    shell.instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    if (!shell.backgroundBrush) shell.backgroundBrush.reset(CreateSolidBrush(kBackgroundColor));
    shell.guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (int n :
         {id::kPicPinOn, id::kPicPinOff, id::kPicSoundOn, id::kPicSoundOff, id::kPicToTray}) {
      shell.pictures.put(n, MakePicture(16, 16, MakeRgb(n, 0, 0)));
    }
    shell.pictures.put(id::kPicSwatch, MakePicture(36, 16, 0));
    shell.pictures.put(id::kPicStatus, MakePicture(240, 160, 0));
    main_ = BuildMainWindow();
    if (main_ != nullptr) ShowWindow(main_, SW_SHOW);
  }
  static void TearDownTestSuite() {
    DestroyMainWindow();
    PumpAllEvents();
  }

  void SetUp() override {
    ASSERT_NE(main_, nullptr);
    AppSettings& s = TheShell().settings;
    s.width = 240;
    s.height = 160;
    s.framethickness = 1;
    s.frameeffect = 8;
    s.frameeffectdir = 1;
    s.stayontop = 0;
    s.sound = 0;
    s.autonumber = 0;
    s.includepin = 0;
    s.shotext = 2;
    s.shotsize = 3;
    s.rememberPassword = 0;
    s.shotfolderid = 0;
    s.shotfolder = {u"C:\\first\\", u"C:\\second\\", u"C:\\third\\"};
    s.hotkey = 0;
    s.hotkeyCAS = 0;
    s.cleanstatusbar = 0;
    PutSettingsIntoControls();
    RenderIdleStatus();
    ShowStatusPicture();
    ResizeMainInner(400, 400);
    PumpAllEvents();
  }

  HWND Item(int id) const { return GetDlgItem(main_, id); }

  static HWND main_;
};

HWND AppMainWindow::main_ = nullptr;

TEST_F(AppMainWindow, LayoutFollowsTheInnerSize) {
  ResizeMainInner(300, 500);
  RECT client{};
  GetClientRect(main_, &client);
  ASSERT_EQ(client.right, 300);
  ASSERT_EQ(client.bottom, 500);
  const auto width = [&](int id) {
    const RECT r = RectInMain(main_, id);
    return r.right - r.left;
  };
  EXPECT_EQ(RectInMain(main_, id::kExitButton).left, 240);
  EXPECT_EQ(RectInMain(main_, id::kExitButton).top, 460);
  EXPECT_EQ(RectInMain(main_, id::kUpdateButton).top, 460);
  EXPECT_EQ(RectInMain(main_, id::kHelpButton).top, 460);
  const RECT shot = RectInMain(main_, id::kTakeScreenshot);
  EXPECT_EQ(shot.left, 70);
  EXPECT_EQ(shot.top, 460);
  EXPECT_EQ(shot.right - shot.left, 160);
  EXPECT_EQ(RectInMain(main_, id::kToggleViewer).left, 190);
  EXPECT_EQ(width(id::kFolderCombo), 190);
  EXPECT_EQ(RectInMain(main_, id::kChooseFolder).left, 260);
  EXPECT_EQ(width(id::kFilenameEdit), 120);
  EXPECT_EQ(RectInMain(main_, id::kFormatCombo).left, 190);
  EXPECT_EQ(RectInMain(main_, id::kScaleCombo).left, 240);
  EXPECT_EQ(RectInMain(main_, id::kDirectionButton).left, 250);
  EXPECT_EQ(width(id::kShadingTrack), 100);
  // The progress picture is redrawn at the new width W - 225.
  EXPECT_EQ(MainProgress().width(), 75);
  EXPECT_EQ(width(id::kProgressPicture), 75);
  // The window keeps its place.
  RECT before{};
  GetWindowRect(main_, &before);
  ResizeMainInner(260, 360);
  RECT after{};
  GetWindowRect(main_, &after);
  EXPECT_EQ(before.left, after.left);
  EXPECT_EQ(before.top, after.top);
}

TEST_F(AppMainWindow, SizeLimitsAndLabelColours) {
  MINMAXINFO info{};
  SendMessageW(main_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 240);
  EXPECT_EQ(info.ptMinTrackSize.y, 320);
  EXPECT_EQ(info.ptMaxTrackSize.x, TheShell().metrics.workRight);
  EXPECT_EQ(info.ptMaxTrackSize.y, TheShell().metrics.workBottom);

  const UniqueDc owned(CreateCompatibleDC(nullptr));
  const HDC dc = owned.get();
  const LRESULT brush = SendMessageW(main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(Item(id::kLabelFolder)));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), TheShell().backgroundBrush.get());
  EXPECT_EQ(GetTextColor(dc), RGB(0xCC, 0xCC, 0xCC));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  // The file-name field keeps the system's colours.
  const LRESULT edit = SendMessageW(main_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                    reinterpret_cast<LPARAM>(Item(id::kFilenameEdit)));
  EXPECT_NE(reinterpret_cast<HBRUSH>(edit), TheShell().backgroundBrush.get());
}

TEST_F(AppMainWindow, TrayMenuHoldsItsItems) {
  HMENU menu = TrayMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 6);
  const UINT ids[] = {id::kTrayItemHotkey, 0, id::kTrayItemDefineHotkey, 0, id::kTrayItemRestore,
                      id::kTrayItemExit};
  const wchar_t* names[] = {L"hotkey", L"", L"Define Hotkey", L"", L"Restore", L"Exit"};
  for (int i = 0; i < 6; ++i) {
    MENUITEMINFOW item{};
    wchar_t text[64] = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = 64;
    ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &item));
    EXPECT_STREQ(text, names[i]) << i;
    if (ids[i] == 0) {
      EXPECT_TRUE(item.fType & MFT_SEPARATOR) << i;
      continue;
    }
    EXPECT_EQ(item.wID, ids[i]) << i;
    EXPECT_EQ((item.fState & MFS_GRAYED) != 0, i == 0) << i;
  }
}

// The window menu's switch: its entry after the system's, a choice flips the setting and
// the tick, and the settings put it back into the menu.
TEST_F(AppMainWindow, WindowMenuSwitchesTheCleanStatusBar) {
  AppSettings& s = TheShell().settings;
  HMENU menu = GetSystemMenu(main_, FALSE);
  ASSERT_NE(menu, nullptr);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(id::kSysMenuCleanStatusBar));
  EXPECT_TRUE(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
  wchar_t text[64] = {};
  GetMenuStringW(menu, id::kSysMenuCleanStatusBar, text, 64, MF_BYCOMMAND);
  EXPECT_STREQ(text, L"Clean status bar on phones");
  const auto ticked = [&] {
    return (GetMenuState(menu, id::kSysMenuCleanStatusBar, MF_BYCOMMAND) & MF_CHECKED) != 0;
  };
  EXPECT_FALSE(ticked());
  SendMessageW(main_, WM_SYSCOMMAND, id::kSysMenuCleanStatusBar, 0);
  EXPECT_EQ(s.cleanstatusbar, 1);
  EXPECT_TRUE(ticked());
  SendMessageW(main_, WM_SYSCOMMAND, id::kSysMenuCleanStatusBar, 0);
  EXPECT_EQ(s.cleanstatusbar, 0);
  EXPECT_FALSE(ticked());
  s.cleanstatusbar = 1;
  PutSettingsIntoControls();
  EXPECT_TRUE(ticked());
}

TEST_F(AppMainWindow, SettingsGoIntoTheControls) {
  AppSettings& s = TheShell().settings;
  EXPECT_EQ(TextOf(Item(id::kDirectionButton)), L"6");
  EXPECT_EQ(SendMessageW(Item(id::kAutoNumberCheck), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  s.shotfolderid = 1;
  s.shotname = u"device";
  s.shotext = 0;
  s.autonumber = 1;
  s.framethickness = 4;
  s.frameeffect = 3;
  s.frameeffectdir = 0;
  s.hotkey = 3;
  s.hotkeyCAS = 1;
  PutSettingsIntoControls();
  EXPECT_EQ(SendMessageW(Item(id::kFolderCombo), CB_GETCOUNT, 0, 0), 16);
  EXPECT_EQ(TextOf(Item(id::kFolderCombo)), L"C:\\second\\");
  EXPECT_EQ(s.currentFolder, u"C:\\second\\");
  EXPECT_EQ(TextOf(Item(id::kFilenameEdit)), L"device");
  EXPECT_EQ(SendMessageW(Item(id::kFormatCombo), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageW(Item(id::kAutoNumberCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(Item(id::kThicknessCombo), CB_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(SendMessageW(Item(id::kShadingTrack), TBM_GETPOS, 0, 0), 3);
  EXPECT_EQ(TextOf(Item(id::kDirectionButton)), L"5");
  const std::array<std::u16string, 16> history = FolderHistoryFromControl();
  EXPECT_EQ(history[2], u"C:\\third\\");
  EXPECT_EQ(history[15], u"");
}

TEST_F(AppMainWindow, EscapeKeyAndExitButtonEndTheLoop) {
  SetFocus(Item(id::kTakeScreenshot));
  PostMessageW(Item(id::kTakeScreenshot), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_TRUE(LoopEnds());
  PostControlEvent(id::kExitButton);
  EXPECT_TRUE(LoopEnds());
  // Without a viewer a close request ends the program.
  PostMessageW(main_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(LoopEnds());
}

TEST_F(AppMainWindow, ButtonsFlipTheirSettings) {
  AppSettings& s = TheShell().settings;
  ClickControl(id::kStayOnTopButton);
  ClickControl(id::kDirectionButton);
  ClickControl(id::kAutoNumberCheck);
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  EXPECT_EQ(s.stayontop, 1);
  EXPECT_TRUE(GetWindowLongW(main_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(s.frameeffectdir, 0);
  EXPECT_EQ(TextOf(Item(id::kDirectionButton)), L"5");
  EXPECT_EQ(s.autonumber, 1);

  ClickControl(id::kStayOnTopButton);
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  EXPECT_EQ(s.stayontop, 0);
  EXPECT_FALSE(GetWindowLongW(main_, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(AppMainWindow, ThicknessRedrawsTheStatusAndResizesTheWindow) {
  AppSettings& s = TheShell().settings;
  SendMessageW(Item(id::kThicknessCombo), CB_SETCURSEL, 9, 0);
  SendMessageW(Item(id::kFormatCombo), CB_SETCURSEL, 1, 0);
  PostControlEvent(id::kThicknessCombo);
  PostControlEvent(id::kFormatCombo);
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  EXPECT_EQ(s.framethickness, 9);
  EXPECT_EQ(s.shotext, 1);
  RECT client{};
  GetClientRect(main_, &client);
  EXPECT_EQ(client.right, 260);
  EXPECT_EQ(client.bottom, 360);
  // A 222 x 142 field inside the 9-pixel frame is again 240 x 160.
  const Picture* status = TheShell().pictures.find(id::kPicStatus);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->width, 240);
  EXPECT_EQ(status->height, 160);
}

TEST_F(AppMainWindow, FolderDropDownTakesTheChosenEntry) {
  AppSettings& s = TheShell().settings;
  PutSettingsIntoControls();
  HWND combo = Item(id::kFolderCombo);
  SendMessageW(combo, CB_SETCURSEL, 2, 0);
  // The notification as the list sends it, before the edit field shows the item.
  SendMessageW(main_, WM_COMMAND, MAKEWPARAM(id::kFolderCombo, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  EXPECT_EQ(s.shotfolderid, 2);
  EXPECT_EQ(s.currentFolder, u"C:\\third\\");

  // An emptied field goes back to the selected entry.
  SetWindowTextW(combo, L"");
  SendMessageW(main_, WM_COMMAND, MAKEWPARAM(id::kFolderCombo, CBN_EDITCHANGE),
               reinterpret_cast<LPARAM>(combo));
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  EXPECT_EQ(s.currentFolder, u"C:\\third\\");
  EXPECT_EQ(TextOf(combo), L"C:\\third\\");
}

TEST_F(AppMainWindow, EveryWayToAFolderEndsItInOneSeparator) {
  // File names are put straight after the folder, so "C:\shots" would save into "C:\".
  AppSettings& s = TheShell().settings;
  s.shotfolder = {u"C:\\first\\", u"C:\\history"};
  s.shotfolderid = 1;
  PutSettingsIntoControls();
  EXPECT_EQ(s.currentFolder, u"C:\\history\\");

  HWND combo = Item(id::kFolderCombo);
  auto typed = [&](const wchar_t* text) {
    SetWindowTextW(combo, text);
    SendMessageW(main_, WM_COMMAND, MAKEWPARAM(id::kFolderCombo, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    PostEscape();
    return LoopEnds();
  };
  ASSERT_TRUE(typed(L"D:\\typed"));
  EXPECT_EQ(s.currentFolder, u"D:\\typed\\");
  EXPECT_EQ(TextOf(combo), L"D:\\typed") << "the text being typed was changed";
  ASSERT_TRUE(typed(L"D:\\typed\\\\"));
  EXPECT_EQ(s.currentFolder, u"D:\\typed\\");

  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  SendMessageW(main_, WM_COMMAND, MAKEWPARAM(id::kFolderCombo, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  EXPECT_EQ(s.currentFolder, u"C:\\history\\");
}

TEST_F(AppMainWindow, ShadingFollowsTheTrackBar) {
  AppSettings& s = TheShell().settings;
  SendMessageW(Item(id::kShadingTrack), TBM_SETPOS, TRUE, 13);
  PostControlEvent(id::kShadingTrack);
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  EXPECT_EQ(s.frameeffect, 13);
}

TEST_F(AppMainWindow, DoubleClickOnTheStatusCopiesIt) {
  RenderIdleStatus();
  ShowStatusPicture();
  ASSERT_TRUE(ClearClipboard());
  PostControlEvent(id::kStatusPicture, kLeftClick);
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  Picture copied;
  EXPECT_FALSE(ReadClipboardPicture(copied));  // a single click copies nothing

  PostControlEvent(id::kStatusPicture, kDoubleClick);
  PostEscape();
  ASSERT_TRUE(LoopEnds());
  ASSERT_TRUE(ReadClipboardPicture(copied));
  const Picture* status = TheShell().pictures.find(id::kPicStatus);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(copied.width, status->width);
  EXPECT_EQ(copied.height, status->height);
  EXPECT_EQ(copied.pixels, status->pixels);
  ASSERT_NE(TheShell().pictures.find(id::kPicWork), nullptr);
}

TEST_F(AppMainWindow, ToolTipsOfTheControls) {
  HWND tip = static_cast<HWND>(GetPropW(main_, L"SnapdeckTooltip"));
  ASSERT_NE(tip, nullptr);
  const std::pair<int, const wchar_t*> tips[] = {
      {id::kStayOnTopButton, L"toggle topmost window"},
      {id::kSoundButton, L"toggle sound"},
      {id::kTrayButton, L"push to tray - Hotkey: -off-"},
      {id::kToggleViewer, L"turn viewer on/off [F9]"},
      {id::kFolderCombo, L"folder history"},
      {id::kChooseFolder, L"select a folder"},
      {id::kFormatCombo, L"graphics format"},
      {id::kScaleCombo, L"scale size"},
      {id::kThicknessCombo, L"frame thickness"},
      {id::kColorSwatch, L"select a frame color"},
      {id::kShadingTrack, L"shading effect"},
      {id::kDirectionButton, L"effect direction"},
  };
  for (const auto& [id, text] : tips) {
    wchar_t buffer[1024] = {};
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = main_;
    info.uId = reinterpret_cast<UINT_PTR>(Item(id));
    info.lpszText = buffer;
    SendMessageW(tip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(buffer, text) << id;
  }
}

// Reads the next program event; false when none came within five seconds.
bool NextEvent(Event& e) {
  g_timedOut = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
    g_timedOut = true;
    PostQuitMessage(0);
  });
  const bool got = WaitEvent(e);
  KillTimer(nullptr, timer);
  return got && !g_timedOut;
}

TEST_F(AppMainWindow, ShortcutKeysGiveTheirNumbers) {
  const std::pair<int, int> keys[] = {{VK_RETURN, id::kKeyEnter},
                                      {VK_ESCAPE, id::kKeyEscape},
                                      {VK_F1, id::kKeyF1},
                                      {VK_F9, id::kKeyF9},
                                      {VK_F6, id::kKeyF6}};
  for (const auto& [key, number] : keys) {
    PostMessageW(Item(id::kFilenameEdit), WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    Event e;
    ASSERT_TRUE(NextEvent(e)) << key;
    EXPECT_EQ(e.kind, EventKind::Menu) << key;
    EXPECT_EQ(e.number, number) << key;
    EXPECT_EQ(e.window, main_) << key;
  }
  PumpAllEvents();
}

TEST_F(AppMainWindow, ResizeDuringACaptureLetsNoEventThrough) {
  // A click waiting while the capture job redraws its progress.
  PostControlEvent(id::kExitButton);
  SetProgressPumping(true);
  ResizeMainInner(300, 420);
  SetProgressPumping(false);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, main_, kEventMessage, kEventMessage, PM_NOREMOVE));
  PumpAllEvents();
}

TEST_F(AppMainWindow, ACloseRequestWithTheViewerOpenClosesOnlyTheViewer) {
  ClickControl(id::kToggleViewer);
  PostMessageW(main_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(LoopEnds());
  EXPECT_EQ(WindowByNumber(id::kViewer), nullptr);
  EXPECT_EQ(SendMessageW(Item(id::kToggleViewer), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

// Runs after the suite above has closed its window: only one main window exists at a time.
TEST(AppMainWindowLifetime, ADestroyedWindowTakesItsMenuAndShortcutsWithIt) {
  HWND main = BuildMainWindow();
  ASSERT_NE(main, nullptr);
  HMENU menu = TrayMenu();
  ASSERT_TRUE(IsMenu(menu));
  // Destroyed behind the program's back, not through DestroyMainWindow.
  DestroyWindow(main);
  EXPECT_FALSE(IsMenu(menu));
  EXPECT_EQ(MainWindow(), nullptr);
  EXPECT_EQ(TrayMenu(), nullptr);
  DestroyMainWindow();  // nothing left to release
  PumpAllEvents();

  // A second window starts afresh.
  main = BuildMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(MainWindow(), main);
  EXPECT_EQ(WindowByNumber(id::kMainWindow), main);
  EXPECT_TRUE(IsMenu(TrayMenu()));
  DestroyMainWindow();
  EXPECT_EQ(MainWindow(), nullptr);
  PumpAllEvents();
}

}  // namespace
}  // namespace snapdeck::win32

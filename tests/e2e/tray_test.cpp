// The notification-area mode of the real program: push to tray with and without a
// hotkey, the tray icon and its tool tip as the shell holds them, the tray menu, a
// global hotkey pressed through SendInput from this process, restore and Exit.
#include <algorithm>

#include "driver/fixture.h"
#include "driver/viewer.h"

namespace e2e {
namespace {

constexpr UINT kTrayCallback = WM_APP + 2;  // the program's notification message
const std::vector<WORD> kCtrlF3 = {VK_CONTROL, VK_F3};

bool HasTip(HWND main, const std::wstring& tip) {
  const auto tips = ShellTrayTips(main);
  return std::find(tips.begin(), tips.end(), tip) != tips.end();
}

// In the hotkey requester: picks a key of the drop-down by index, ticks Ctrl when asked
// and answers "Yes, set key".
void SetHotkey(HWND ask, int key, bool ctrl) {
  ASSERT_NE(Control(ask, id::kReqKeyCombo), nullptr) << "not the hotkey requester";
  SelectCombo(Control(ask, id::kReqKeyCombo), key);
  if (ctrl) {
    ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(ask, id::kReqCtrl)); }, 5000))
        << "the modifier boxes stayed disabled";
    Click(Control(ask, id::kReqCtrl));
    ASSERT_TRUE(
        WaitUntil([&] { return Checked(Control(ask, id::kReqCtrl)) == BST_CHECKED; }, 5000));
  }
  Click(Control(ask, id::kReqFirstButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(ask); }, 10000)) << "the requester stayed";
}

// Opens the tray menu as a right click on the icon does and picks an item counted from
// the bottom: 1 "Exit", 2 "Restore", 3 "Define Hotkey". End selects the last item
// wherever the mouse pointer left the selection.
void ChooseFromTrayMenu(Program& p, HWND main, int fromBottom) {
  TrayNotify(main, kTrayCallback, id::kTrayIcon, WM_RBUTTONUP);
  HWND menu = WaitPopupMenu(p.pid());
  ASSERT_NE(menu, nullptr) << "no tray menu";
  // Under load Wine's menu now and then lets posted keys pass unread; a user would press
  // them again.
  for (int attempt = 0; attempt < 4 && IsWindowVisible(menu); ++attempt) {
    PressKey(main, VK_END);
    for (int i = 1; i < fromBottom; ++i) PressKey(main, VK_UP);
    PressKey(main, VK_RETURN);
    WaitUntil([&] { return !IsWindowVisible(menu); }, 3000);
  }
  ASSERT_FALSE(IsWindowVisible(menu)) << "the menu stayed";
}

// Holds Ctrl+F3 until the capture shows: its password prompt (the first capture of a
// run asks) or a file matching the pattern. False when neither came in time. The keys go
// down again at every look, as a keyboard repeats a held key: Wine resets the key state
// to the X server's (where nothing is pressed) when a window gains or loses the focus.
bool HotkeyStartsCapture(Program& p, const std::wstring& folder, const std::wstring& pattern,
                         int timeoutMs) {
  const bool started = WaitUntil(
      [&] {
        HoldKeys(kCtrlF3);
        return p.FindWindowTitled(kRequesterTitle) != nullptr ||
               !ListFiles(folder, pattern).empty();
      },
      timeoutMs, 100);
  ReleaseKeys(kCtrlF3);
  return started;
}

LaunchOptions WithHotkey(const std::string& hotkey, const std::string& cas) {
  LaunchOptions o;
  o.settings = ToBytes(IniText({{"hotkey", hotkey}, {"hotkeyCAS", cas}}));
  return o;
}

class Tray : public E2eTest {
 protected:
  // Starts the program with no hotkey and presses "push to tray"; the hotkey requester
  // that asks first.
  HWND PushWithoutHotkey(Program& p, HWND& main) {
    main = WaitMain(p);
    if (main == nullptr) return nullptr;
    Click(Control(main, id::kTrayButton));
    HWND ask = WaitRequester(p);
    EXPECT_NE(ask, nullptr) << "hotkey 0 asks for a hotkey first";
    if (ask != nullptr) {
      EXPECT_NE(Control(ask, id::kReqKeyCombo), nullptr) << "not the hotkey requester";
    }
    return ask;
  }

  // Ctrl+F3 captures a file into the test's folder, answering the first run's prompt.
  void ExpectHotkeyCapture(Program& p) {
    ASSERT_TRUE(HotkeyStartsCapture(p, folder_, L"snapdeck.png", 30000)) << "Ctrl+F3 did nothing";
    if (ListFiles(folder_, L"snapdeck.png").empty()) AnswerPasswordPrompt(p);
    EXPECT_TRUE(WaitUntil([&] { return !ListFiles(folder_, L"snapdeck.png").empty(); }, 30000))
        << "the hotkey capture saved nothing";
  }
};

TEST_F(Tray, LeavingTheHotkeyRequesterKeepsTheWindowWithoutIcon) {
  Program& p = Start(folder_, {});
  HWND main = nullptr;
  HWND ask = PushWithoutHotkey(p, main);
  ASSERT_NE(ask, nullptr);
  Click(Control(ask, id::kReqSecondButton));  // "No, leave it"
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(ask); }, 10000));
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_FALSE(TrayIconExists(main, id::kTrayIcon));
  EndWithEsc(p, main);
  EXPECT_EQ(SavedSettings(folder_).Get("hotkey"), "0");
}

TEST_F(Tray, OffHotkeyIgnoresKeysAndEscUntilDefinedThenCapturesAndExitSaves) {
  Program& p = Start(folder_, {});
  HWND main = nullptr;
  HWND ask = PushWithoutHotkey(p, main);
  ASSERT_NE(ask, nullptr);
  SetHotkey(ask, 0, false);  // "Yes, set key" keeping "-off-"
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 10000)) << "the window stayed";
  EXPECT_TRUE(TrayIconExists(main, id::kTrayIcon));
  EXPECT_TRUE(WaitUntil([&] { return HasTip(main, L"Snapdeck 1.67\r\n-off-"); }, 5000));

  // No poller runs: the keys start nothing. Waiting out the time is the observation.
  EXPECT_FALSE(HotkeyStartsCapture(p, folder_, L"snapdeck.png", 1500));
  // Esc in the tray does nothing: the menu asked for after it still opens.
  PressKey(main, VK_ESCAPE);
  ChooseFromTrayMenu(p, main, 3);  // "Define Hotkey"
  ask = WaitRequester(p);
  ASSERT_NE(ask, nullptr) << "Esc ended the program, or Define Hotkey asked nothing";
  SetHotkey(ask, 3, true);  // Ctrl + F3
  EXPECT_TRUE(WaitUntil([&] { return HasTip(main, L"Snapdeck 1.67\r\n[Ctrl] + [F3]"); }, 10000))
      << "the tray tool tip kept the old hotkey";

  ExpectHotkeyCapture(p);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_TRUE(TrayIconExists(main, id::kTrayIcon));

  ChooseFromTrayMenu(p, main, 1);  // "Exit"
  auto code = p.WaitExit();
  ASSERT_TRUE(code.has_value()) << "Exit from the tray menu did not end the program";
  EXPECT_EQ(*code, 0u);
  EXPECT_FALSE(TrayIconExists(main, id::kTrayIcon));
  SettingsLines saved = SavedSettings(folder_);
  EXPECT_EQ(saved.Get("hotkey"), "3");
  EXPECT_EQ(saved.Get("hotkeyCAS"), "1");
}

TEST_F(Tray, DefinedHotkeyCapturesWhileHiddenAndDoubleClickRestores) {
  Program& p = Start(folder_, WithHotkey("3", "1"));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTrayButton));  // a hotkey is set: no question
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 10000)) << "the window stayed";
  EXPECT_EQ(p.FindWindowTitled(kRequesterTitle), nullptr);
  EXPECT_TRUE(WaitUntil([&] { return HasTip(main, L"Snapdeck 1.67\r\n[Ctrl] + [F3]"); }, 5000));

  ExpectHotkeyCapture(p);
  EXPECT_FALSE(IsWindowVisible(main));

  TrayNotify(main, kTrayCallback, id::kTrayIcon, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main); }, 10000)) << "no restore";
  EXPECT_TRUE(WaitUntil([&] { return !TrayIconExists(main, id::kTrayIcon); }, 5000));
  EndWithEsc(p, main);  // on screen again, Esc ends it
}

TEST_F(Tray, RestoreDuringAHotkeyCaptureShowsTheWindowAtOnce) {
  Program& p = Start(
      folder_, WithDevices({{"screenshot.delay", "4000"}}, {{"hotkey", "3"}, {"hotkeyCAS", "1"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTrayButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 10000)) << "the window stayed";
  ASSERT_TRUE(HotkeyStartsCapture(p, folder_, L"snapdeck.png", 30000)) << "Ctrl+F3 did nothing";
  AnswerPasswordPrompt(p);

  // The device takes four seconds over the shot; the window comes while it does.
  TrayNotify(main, kTrayCallback, id::kTrayIcon, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main); }, 10000)) << "no restore";
  EXPECT_TRUE(ListFiles(folder_, L"snapdeck.png").empty()) << "the restore waited for the capture";
  EXPECT_TRUE(WaitUntil([&] { return !TrayIconExists(main, id::kTrayIcon); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return !ListFiles(folder_, L"snapdeck.png").empty(); }, 30000))
      << "the capture did not finish";
  EndWithEsc(p, main);
}

TEST_F(Tray, OpenViewerHidesFollowsHotkeyCapturesAndComesBack) {
  Program& p = Start(folder_, WithHotkey("3", "1"));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  HWND viewer = OpenViewerWindow(p, main);
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(WaitViewerStatus(viewer, L"0 items. (0 hidden)"));
  Click(Control(main, id::kTrayButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main) && !IsWindowVisible(viewer); }, 10000))
      << "the windows stayed";

  ExpectHotkeyCapture(p);
  EXPECT_TRUE(WaitViewerStatus(viewer, L"1 items. (0 hidden)", 30000))
      << "the hidden viewer missed the hotkey's shot";
  EXPECT_FALSE(IsWindowVisible(viewer));

  TrayNotify(main, kTrayCallback, id::kTrayIcon, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && IsWindowVisible(viewer); }, 10000))
      << "restore did not bring both windows back";
  EndWithEsc(p, main);
}

TEST_F(Tray, IconComesBackWhenTheShellRestarts) {
  Program& p = Start(folder_, WithHotkey("13", "0"));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTrayButton));
  ASSERT_TRUE(WaitUntil([&] { return TrayIconExists(main, id::kTrayIcon); }, 10000));
  ASSERT_TRUE(RemoveTrayIcon(main, id::kTrayIcon));
  // A restarted shell announces itself to every top-level window.
  SendMessageTimeoutW(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(main, id::kTrayIcon); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return HasTip(main, L"Snapdeck 1.67\r\n[Prt Scrn]"); }, 5000));
  ChooseFromTrayMenu(p, main, 2);  // "Restore"
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main); }, 10000));
  EndWithEsc(p, main);
}

}  // namespace
}  // namespace e2e

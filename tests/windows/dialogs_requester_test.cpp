#include <gtest/gtest.h>

#include "dialogs/click_win32.h"
#include "dialogs/requester_win32.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "shell/tables.h"
#include "tests/support/dialog_driver_win32.h"

namespace snapdeck::win32 {
namespace {

using namespace dialogs_test;

const wchar_t kTitle[] = L"ask -kestrel's requester";

class DialogsRequester : public ::testing::Test {
 protected:
  // One owner for the suite: without a window manager, Wine takes a while to
  // withdraw a destroyed top-level window.
  static void SetUpTestSuite() {
    PrepareShell();
    owner_ = CreateWindowExW(0, ProgramWindowClass(), L"requester owner", WS_OVERLAPPEDWINDOW, 100,
                             100, 600, 500, nullptr, nullptr, TheShell().instance, nullptr);
    ShowWindow(owner_, SW_SHOW);
  }
  static void TearDownTestSuite() {
    DestroyWindow(owner_);
    owner_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(owner_, nullptr);
    uiThread_ = GetCurrentThreadId();
    RegisterWindow(id::kMainWindow, owner_);
  }
  void TearDown() override {
    ForgetWindow(id::kMainWindow);
    PumpAllEvents();
  }

  static RequesterQuestion Question(int kind) {
    return QuestionOf(kind, u"Please enter the password of device 2.", u"OK, done", u"Leave it");
  }
  RequesterAnswer Ask(int kind) { return Requester(Question(kind)); }

  // The label handler answers only while a requester is open.
  static bool LabelHandlerAnswers() {
    LRESULT result = 0;
    return RequesterLabelColors(owner_, WM_CTLCOLORSTATIC, 0, 0, result);
  }

  // Checks shared by every kind: size, title, owner, disc region, common controls.
  void ExpectCommonShape(HWND w, int kind) {
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 320);
    // Centred on the owner (100, 100, 600 x 500).
    EXPECT_EQ(r.left, 100 + (600 - 320) / 2);
    EXPECT_EQ(r.top, 100 + (500 - 320) / 2);
    EXPECT_EQ(GetWindow(w, GW_OWNER), owner_);
    EXPECT_FALSE(IsWindowEnabled(owner_));
    EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);

    const UniqueGdi<HRGN> owned(CreateRectRgn(0, 0, 0, 0));
    const HRGN region = owned.get();
    ASSERT_NE(GetWindowRgn(w, region), ERROR);
    EXPECT_TRUE(PtInRegion(region, 160, 160));
    EXPECT_TRUE(PtInRegion(region, 160, 2));
    EXPECT_TRUE(PtInRegion(region, 2, 160));
    EXPECT_FALSE(PtInRegion(region, 3, 3));
    EXPECT_FALSE(PtInRegion(region, 316, 316));

    const int messageHeight = kind == id::kKindWarning ? 106 : 64;
    const std::pair<int, RECT> expected[] = {
        {id::kReqIcon, {136, 29, 48, 48}},
        {id::kReqMessage, {32, 106, 256, messageHeight}},
        {id::kReqFirstButton, {64, 240, 80, 32}},
        {id::kReqSecondButton, {176, 240, 80, 32}},
    };
    for (const auto& [number, e] : expected) {
      const RECT got = ClientRectOf(w, number);
      EXPECT_TRUE(SameRect(got, e.left, e.top, e.right, e.bottom))
          << "control " << number << " at " << Describe(got);
    }
    HWND message = GetDlgItem(w, id::kReqMessage);
    EXPECT_TRUE(GetWindowLongW(message, GWL_STYLE) & ES_READONLY);
    wchar_t cls[64] = {};
    GetClassNameW(message, cls, 64);
    EXPECT_TRUE(_wcsicmp(cls, L"RICHEDIT50W") == 0 || _wcsicmp(cls, L"RichEdit20W") == 0) << cls;
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(w, id::kReqFirstButton), GWL_STYLE) & BS_DEFPUSHBUTTON);
  }

  DWORD uiThread_ = 0;
  static inline HWND owner_ = nullptr;
};

TEST_F(DialogsRequester, PasswordKindReturnInFieldGivesFirstAnswerAndPassword) {
  RequesterAnswer answer;
  {
    Driver driver(kTitle, [&](HWND w) {
      ExpectCommonShape(w, id::kKindPassword);
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kReqFirstButton)), L"OK, done");
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kReqSecondButton)), L"Leave it");
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kReqMessage)), L"Please enter the password of device 2.");
      const RECT field = ClientRectOf(w, id::kReqPassword);
      EXPECT_TRUE(SameRect(field, 96, 192, 128, 20)) << Describe(field);
      HWND password = GetDlgItem(w, id::kReqPassword);
      EXPECT_TRUE(GetWindowLongW(password, GWL_STYLE) & ES_PASSWORD);
      EXPECT_EQ(GetDlgItem(w, id::kReqPath), nullptr);
      EXPECT_EQ(GetDlgItem(w, id::kReqKeyCombo), nullptr);
      EXPECT_EQ(FocusOf(uiThread_), password);
      TypeText(password, L"pa\"ss");
      PressKey(password, VK_RETURN);
    });
    answer = Ask(id::kKindPassword);
  }
  EXPECT_EQ(answer.button, id::kAnswerFirst);
  EXPECT_EQ(answer.password, u"pa\"ss");
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(WindowByNumber(id::kRequester), nullptr);
  EXPECT_FALSE(LabelHandlerAnswers());
}

TEST_F(DialogsRequester, EscapeGivesSecondAnswerWithoutTheTypedPassword) {
  RequesterAnswer answer;
  {
    Driver driver(kTitle, [&](HWND w) {
      HWND password = GetDlgItem(w, id::kReqPassword);
      TypeText(password, L"typed");
      PressKey(password, VK_ESCAPE);
    });
    answer = Ask(id::kKindPassword);
  }
  EXPECT_EQ(answer.button, id::kAnswerSecond);
  EXPECT_EQ(answer.password, u"");
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(DialogsRequester, WarningKindHasTallMessageNoInputAndAnswersWithButtons) {
  {
    Driver driver(kTitle, [&](HWND w) {
      ExpectCommonShape(w, id::kKindWarning);
      for (int n : {id::kReqPassword, id::kReqPath, id::kReqBrowse, id::kReqKeyCombo}) {
        EXPECT_EQ(GetDlgItem(w, n), nullptr) << n;
      }
      PostMessageW(GetDlgItem(w, id::kReqSecondButton), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Ask(id::kKindWarning).button, id::kAnswerSecond);
  }
  {
    Driver driver(kTitle, [&](HWND w) { PressKey(GetDlgItem(w, id::kReqFirstButton), VK_RETURN); });
    EXPECT_EQ(Ask(id::kKindWarning).button, id::kAnswerFirst);
  }
}

TEST_F(DialogsRequester, CloseRequestOfAnyWindowAnswersZero) {
  Driver driver(kTitle, [&](HWND) { PostMessageW(owner_, WM_CLOSE, 0, 0); });
  EXPECT_EQ(Ask(id::kKindWarning).button, id::kAnswerClosed);
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(DialogsRequester, ASecondRequesterIsRefusedWithoutPassingForAnAnswer) {
  // Window 4 taken stands for a requester that is already open.
  RegisterWindow(id::kRequester, owner_);
  const int answer = Ask(id::kKindWarning).button;
  ForgetWindow(id::kRequester);
  EXPECT_EQ(answer, id::kAnswerNotShown);
  EXPECT_NE(answer, id::kAnswerClosed);
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(DialogsRequester, FileKindShowsPresetAndReturnsIt) {
  RequesterQuestion question = Question(id::kKindFile);
  question.filePreset = u"C:\\tools\\jl\\javaloader.exe";
  RequesterAnswer answer;
  {
    Driver driver(kTitle, [&](HWND w) {
      ExpectCommonShape(w, id::kKindFile);
      const RECT browse = ClientRectOf(w, id::kReqBrowse);
      const RECT path = ClientRectOf(w, id::kReqPath);
      EXPECT_TRUE(SameRect(browse, 32, 192, 32, 20)) << Describe(browse);
      EXPECT_TRUE(SameRect(path, 64, 192, 224, 20)) << Describe(path);
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kReqBrowse)), L"...");
      HWND field = GetDlgItem(w, id::kReqPath);
      EXPECT_EQ(TextOf(field), L"C:\\tools\\jl\\javaloader.exe");
      EXPECT_TRUE(GetWindowLongW(field, GWL_STYLE) & ES_READONLY);
      EXPECT_EQ(FocusOf(uiThread_), field);
      PressKey(field, VK_RETURN);
    });
    answer = Requester(question);
  }
  EXPECT_EQ(answer.button, id::kAnswerFirst);
  EXPECT_EQ(answer.path, u"C:\\tools\\jl\\javaloader.exe");
}

TEST_F(DialogsRequester, FileKindBrowseCancelKeepsPresetAndChoiceReplacesIt) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  RequesterQuestion question = Question(id::kKindFile);
  question.filePreset = u"C:\\nowhere\\javaloader.exe";
  question.fileFilter = u"Programs|*.exe";
  RequesterAnswer answer;
  const wchar_t kDialog[] = L"Select the required file:";
  {
    Driver driver(kTitle, [&](HWND w) {
      HWND field = GetDlgItem(w, id::kReqPath);
      PostMessageW(GetDlgItem(w, id::kReqBrowse), BM_CLICK, 0, 0);
      HWND dialog = WaitForWindow(kDialog);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(GetWindow(dialog, GW_OWNER), w);
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
      EXPECT_EQ(TextOf(field), L"C:\\nowhere\\javaloader.exe");

      PostMessageW(GetDlgItem(w, id::kReqBrowse), BM_CLICK, 0, 0);
      dialog = WaitForWindow(kDialog);
      ASSERT_NE(dialog, nullptr);
      // The file-name box of the system dialog (cmb13, or edt1 in older layouts).
      HWND name = GetDlgItem(dialog, 0x47c);
      if (name == nullptr) name = GetDlgItem(dialog, 0x480);
      ASSERT_NE(name, nullptr);
      SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(self));
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      EXPECT_TRUE(WaitUntil([&] { return TextOf(field) == self; })) << TextOf(field).size();
      PressKey(field, VK_RETURN);
    });
    answer = Requester(question);
  }
  EXPECT_EQ(answer.button, id::kAnswerFirst);
  EXPECT_EQ(Wide(answer.path), std::wstring(self));
}

// Selects a drop-down entry and reports the change as the control would.
void ChooseKey(HWND w, int index) {
  HWND list = GetDlgItem(w, id::kReqKeyCombo);
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  PostMessageW(w, WM_COMMAND, MAKEWPARAM(id::kReqKeyCombo, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

bool Ticked(HWND w, int number) {
  return SendMessageW(GetDlgItem(w, number), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

TEST_F(DialogsRequester, HotkeyKindOffClearsBoxesAndKeyTicksStoredModifiers) {
  RequesterQuestion question = Question(id::kKindHotkey);
  question.hotkey = 3;
  question.hotkeyCAS = 5;
  // The requester answers the choice; storing it is the caller's.
  TheShell().settings.hotkey = 9;
  TheShell().settings.hotkeyCAS = 2;
  RequesterAnswer answer;
  {
    Driver driver(kTitle, [&](HWND w) {
      ExpectCommonShape(w, id::kKindHotkey);
      const std::pair<int, int> boxes[] = {
          {id::kReqCtrl, 32}, {id::kReqAlt, 88}, {id::kReqShift, 144}};
      for (const auto& [number, x] : boxes) {
        const RECT r = ClientRectOf(w, number);
        EXPECT_TRUE(SameRect(r, x, 192, 56, 20)) << number << " at " << Describe(r);
      }
      const RECT list = ClientRectOf(w, id::kReqKeyCombo);
      EXPECT_TRUE(SameRect(list, 208, 192, 80, 20)) << Describe(list);
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kReqCtrl)), L"[Ctrl] +");
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kReqAlt)), L"[Alt] +");
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kReqShift)), L"[Shift] +");
      HWND combo = GetDlgItem(w, id::kReqKeyCombo);
      EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 14);
      EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 3);
      EXPECT_TRUE(Ticked(w, id::kReqCtrl));
      EXPECT_FALSE(Ticked(w, id::kReqAlt));
      EXPECT_TRUE(Ticked(w, id::kReqShift));

      ChooseKey(w, 0);
      EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(w, id::kReqCtrl)); }));
      for (int n : {id::kReqCtrl, id::kReqAlt, id::kReqShift}) {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(w, n))) << n;
        EXPECT_FALSE(Ticked(w, n)) << n;
      }
      ChooseKey(w, 3);  // "[F3]"
      EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(w, id::kReqAlt)); }));
      EXPECT_TRUE(Ticked(w, id::kReqCtrl));
      EXPECT_FALSE(Ticked(w, id::kReqAlt));
      EXPECT_TRUE(Ticked(w, id::kReqShift));
      // Tick Alt by hand, then answer "Yes".
      PostMessageW(GetDlgItem(w, id::kReqAlt), BM_CLICK, 0, 0);
      EXPECT_TRUE(WaitUntil([&] { return Ticked(w, id::kReqAlt); }));
      PostMessageW(GetDlgItem(w, id::kReqFirstButton), BM_CLICK, 0, 0);
    });
    answer = Requester(question);
  }
  EXPECT_EQ(answer.button, id::kAnswerFirst);
  EXPECT_EQ(answer.hotkey, (HotkeyChoice{3, 7}));
  EXPECT_EQ(HotkeyText(answer.hotkey.hotkey, answer.hotkey.cas), u"[Ctrl] + [Alt] + [Shift] + [F3]");
  EXPECT_EQ(TheShell().settings.hotkey, 9);
  EXPECT_EQ(TheShell().settings.hotkeyCAS, 2);
}

TEST_F(DialogsRequester, HotkeyKindOffAndYesClearsKeyAndModifiers) {
  RequesterQuestion question = Question(id::kKindHotkey);
  question.hotkey = 5;
  question.hotkeyCAS = 3;
  RequesterAnswer answer;
  {
    Driver driver(kTitle, [&](HWND w) {
      ChooseKey(w, 0);
      EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(w, id::kReqCtrl)); }));
      PressKey(GetDlgItem(w, id::kReqKeyCombo), VK_RETURN);
    });
    answer = Requester(question);
  }
  EXPECT_EQ(answer.button, id::kAnswerFirst);
  EXPECT_EQ(answer.hotkey, (HotkeyChoice{0, 0}));
  EXPECT_EQ(HotkeyText(answer.hotkey.hotkey, answer.hotkey.cas), u"-off-");
}

TEST_F(DialogsRequester, HotkeyKindEscapeAnswersNoChoice) {
  RequesterQuestion question = Question(id::kKindHotkey);
  question.hotkey = 5;
  question.hotkeyCAS = 3;
  RequesterAnswer answer;
  {
    Driver driver(kTitle, [&](HWND w) {
      ChooseKey(w, 0);
      EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(w, id::kReqCtrl)); }));
      PressKey(GetDlgItem(w, id::kReqKeyCombo), VK_ESCAPE);
    });
    answer = Requester(question);
  }
  EXPECT_EQ(answer.button, id::kAnswerSecond);
  EXPECT_EQ(answer.hotkey, HotkeyChoice{});
}

TEST_F(DialogsRequester, DiscBackgroundAndLabelColours) {
  Driver driver(kTitle, [&](HWND w) {
    {
      const WindowDc dc(w);
      // Inside the flat centre of the disc, clear of every control.
      EXPECT_EQ(GetPixel(dc.get(), 20, 160), RGB(0xFF, 0xFF, 0x99));
      // The white plate behind the icon, just outside the 48 x 48 icon.
      EXPECT_EQ(GetPixel(dc.get(), 159, 80), RGB(0xFF, 0xFF, 0xFF));
    }
    // A check box asks its parent for label colours: the requester's brush, #222233.
    HWND box = GetDlgItem(w, id::kReqCtrl);
    {
      const WindowDc boxDc(box);
      const LRESULT brush =
          SendMessageW(w, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(boxDc.get()),
                       reinterpret_cast<LPARAM>(box));
      LOGBRUSH label{};
      ASSERT_EQ(GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof(label), &label), sizeof(label));
      EXPECT_EQ(label.lbStyle, static_cast<UINT>(BS_SOLID));
      EXPECT_EQ(label.lbColor, RGB(0xFF, 0xFF, 0x99));  // the disc's centre
      EXPECT_EQ(GetTextColor(boxDc.get()), RGB(0x22, 0x22, 0x33));
      EXPECT_EQ(GetBkMode(boxDc.get()), TRANSPARENT);
    }
    PressKey(box, VK_ESCAPE);
  });
  EXPECT_EQ(Ask(id::kKindHotkey).button, id::kAnswerSecond);
}

// A window of ours with a push button, a check box and a disabled button.
class DialogsClick : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    PrepareShell();
    window_ = CreateWindowExW(0, ProgramWindowClass(), L"click test", WS_OVERLAPPEDWINDOW, 50, 50,
                              300, 200, nullptr, nullptr, TheShell().instance, nullptr);
    Make(L"push", BS_PUSHBUTTON, 10, id::kTakeScreenshot);
    Make(L"check", BS_AUTOCHECKBOX, 40, id::kAutoNumberCheck);
    Make(L"off", BS_PUSHBUTTON, 70, id::kExitButton);
    ShowWindow(window_, SW_SHOW);
  }
  static void TearDownTestSuite() {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(window_, nullptr);
    RegisterWindow(id::kViewer, window_);
    EnableWindow(GetDlgItem(window_, id::kExitButton), FALSE);
    PumpAllEvents();
  }
  void TearDown() override {
    ForgetWindow(id::kViewer);
    PumpAllEvents();
  }
  static HWND Make(const wchar_t* text, DWORD style, int y, int number) {
    return CreateWindowExW(0, L"Button", text, WS_CHILD | WS_VISIBLE | style, 10, y, 100, 24,
                           window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)),
                           TheShell().instance, nullptr);
  }
  // Program events now pending, by control number (each one taken from the queue).
  std::vector<int> PendingControlEvents() {
    std::vector<int> numbers;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, kEventMessage, kEventMessage, PM_REMOVE)) {
      if (static_cast<EventKind>(LOWORD(msg.wParam)) == EventKind::Control) {
        numbers.push_back(static_cast<int>(msg.lParam));
      }
    }
    return numbers;
  }
  static inline HWND window_ = nullptr;
};

TEST_F(DialogsClick, EnabledButtonGivesExactlyOneEvent) {
  ClickControl(id::kTakeScreenshot);
  EXPECT_EQ(PendingControlEvents(), std::vector<int>{id::kTakeScreenshot});
}

TEST_F(DialogsClick, CheckBoxTogglesWithOneEventEachTime) {
  HWND box = GetDlgItem(window_, id::kAutoNumberCheck);
  ClickControl(id::kAutoNumberCheck);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(PendingControlEvents(), std::vector<int>{id::kAutoNumberCheck});
  ClickControl(id::kAutoNumberCheck);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(PendingControlEvents(), std::vector<int>{id::kAutoNumberCheck});
}

TEST_F(DialogsClick, DisabledOrMissingControlGivesNoEvent) {
  ClickControl(id::kExitButton);
  ClickControl(999);
  EXPECT_TRUE(PendingControlEvents().empty());
  // Enabled again, the same button reacts.
  EnableWindow(GetDlgItem(window_, id::kExitButton), TRUE);
  ClickControl(id::kExitButton);
  EXPECT_EQ(PendingControlEvents(), std::vector<int>{id::kExitButton});
}

}  // namespace
}  // namespace snapdeck::win32

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "dialogs/bubble_theme.h"
#include "dialogs/bubble_win32.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "tests/support/dialog_driver_win32.h"

namespace snapdeck::win32 {
namespace {

using namespace dialogs_test;

const wchar_t kTitle[] = L"VEX - kestrel's update info";

class DialogsBubble : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareShell();
    uiThread_ = GetCurrentThreadId();
  }
  void TearDown() override {
    TheShell().info.mainRunning = true;
    PumpAllEvents();
  }
  DWORD uiThread_ = 0;
};

TEST_F(DialogsBubble, MessageReturnAnswersTrue) {
  HWND parent = CreateWindowExW(0, ProgramWindowClass(), L"bubble parent", WS_OVERLAPPEDWINDOW, 0,
                                0, 300, 300, nullptr, nullptr, TheShell().instance, nullptr);
  ASSERT_NE(parent, nullptr);
  RegisterWindow(id::kMainWindow, parent);
  {
    Driver driver(kTitle, [&](HWND w) {
      RECT r{};
      GetWindowRect(w, &r);
      EXPECT_TRUE(SameRect(r, (GetSystemMetrics(SM_CXSCREEN) - 160) / 2,
                           (GetSystemMetrics(SM_CYSCREEN) - 160) / 2, 160, 160))
          << Describe(r);
      EXPECT_FALSE(IsWindowEnabled(parent));
      EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
      const RECT ok = ClientRectOf(w, id::kBubbleOk);
      const RECT text = ClientRectOf(w, id::kBubbleText);
      const RECT caption = ClientRectOf(w, id::kBubbleCaption);
      EXPECT_TRUE(SameRect(ok, 65, 120, 30, 20)) << Describe(ok);
      EXPECT_TRUE(SameRect(text, 20, 60, 120, 40)) << Describe(text);
      EXPECT_TRUE(SameRect(caption, 24, 30, 112, 20)) << Describe(caption);
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kBubbleOk)), L"Ok");
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kBubbleText)), L"Only one instance is allowed.");
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kBubbleCaption)), L"Snapdeck.exe");
      const UniqueGdi<HRGN> region(CreateRectRgn(0, 0, 0, 0));
      EXPECT_NE(GetWindowRgn(w, region.get()), ERROR);
      EXPECT_TRUE(PtInRegion(region.get(), 80, 80));
      EXPECT_TRUE(PtInRegion(region.get(), 80, 1));
      EXPECT_FALSE(PtInRegion(region.get(), 3, 3));
      // Warning theme: light yellow centre, the caption on the same colour.
      EXPECT_EQ(GetPixel(WindowDc(w).get(), 80, 110), RGB(0xFF, 0xFF, 0x99));
      EXPECT_EQ(FocusOf(uiThread_), GetDlgItem(w, id::kBubbleOk));
      PressKey(GetDlgItem(w, id::kBubbleOk), VK_RETURN);
    });
    EXPECT_TRUE(MessageBubble(u"Snapdeck.exe", u"Only one instance is allowed.", kThemeWarning,
                              id::kMainWindow));
  }
  EXPECT_TRUE(IsWindowEnabled(parent));
  EXPECT_EQ(WindowByNumber(id::kMessageBubble), nullptr);
  EXPECT_FALSE(TheShell().pictures.exists(id::kPicBubbleDisc));
  ForgetWindow(id::kMainWindow);
  DestroyWindow(parent);
}

TEST_F(DialogsBubble, MessageEscapeAnswersFalseBeforeMainProgramRuns) {
  TheShell().info.mainRunning = false;
  Driver driver(kTitle, [&](HWND w) {
    EXPECT_EQ(GetPixel(WindowDc(w).get(), 80, 110), RGB(0xFF, 0x99, 0xAA));  // error theme centre
    PressKey(GetDlgItem(w, id::kBubbleOk), VK_ESCAPE);
  });
  // No parent window: number 0 names no open window.
  EXPECT_FALSE(MessageBubble(u"Update", u"Could not replace the program.", kThemeError, 0));
}

TEST_F(DialogsBubble, MessageCloseRequestAnswersFalseAndUnlistedThemeWorks) {
  Driver driver(kTitle, [&](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); });
  EXPECT_FALSE(MessageBubble(u"Note", u"Plain", MakeRgb(1, 2, 3), id::kMainWindow));
}

TEST_F(DialogsBubble, MessageOkButtonAnswersTrue) {
  Driver driver(kTitle,
                [&](HWND w) { PostMessageW(GetDlgItem(w, id::kBubbleOk), BM_CLICK, 0, 0); });
  EXPECT_TRUE(MessageBubble(u"Update", u"Done.", kThemeSuccess, id::kMainWindow));
}

// A report on several phones does not fit the small disc: the bubble grows to show all
// of it, and where even the largest disc is too small its box scrolls to the last line.
TEST_F(DialogsBubble, MessageTooLongForTheSmallDiscShowsItsLastLine) {
  std::wstring report;
  for (const char* phone : {"Pixel Sim (emulator-5554)", "Broken Sim (emulator-5556)",
                            "Fold Sim (emulator-5558), display 2"}) {
    report += std::wstring(phone, phone + std::strlen(phone)) +
              L": the picture is entirely black (an app that forbids screenshots, or the "
              L"screen is off); it was saved all the same\r\n";
  }
  const std::wstring last = L"The files keep every pixel.";
  std::wstring longer;
  for (int k = 0; k < 40; ++k) longer += report;
  for (const std::wstring& shown : {report + last, longer + last}) {
    Driver driver(kTitle, [&](HWND w) {
      RECT r{};
      GetWindowRect(w, &r);
      const int size = r.right - r.left;
      EXPECT_GT(size, 160);
      EXPECT_LE(size, std::min(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
      HWND box = GetDlgItem(w, id::kBubbleText);
      EXPECT_EQ(TextOf(box), shown);
      // Every control lies within the disc.
      const UniqueGdi<HRGN> region(CreateRectRgn(0, 0, 0, 0));
      ASSERT_NE(GetWindowRgn(w, region.get()), ERROR);
      for (int number : {id::kBubbleText, id::kBubbleCaption, id::kBubbleOk}) {
        const RECT c = ClientRectOf(w, number);
        for (const POINT p : {POINT{c.left, c.top}, POINT{c.right - 1, c.top},
                              POINT{c.left, c.bottom - 1}, POINT{c.right - 1, c.bottom - 1}}) {
          EXPECT_TRUE(PtInRegion(region.get(), p.x, p.y)) << number << " at " << Describe(c);
        }
      }
      // Scrolled to its end as a user would, the last line is whole inside the box.
      const bool scrolls = (GetWindowLongW(box, GWL_STYLE) & WS_VSCROLL) != 0;
      EXPECT_EQ(scrolls, shown.size() > report.size() + last.size());
      SendMessageW(box, WM_VSCROLL, SB_BOTTOM, 0);
      RECT inside{};
      SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&inside));
      const LRESULT at = SendMessageW(box, EM_POSFROMCHAR, shown.size() - 1, 0);
      const int y = static_cast<short>(HIWORD(at));
      TEXTMETRICW metrics{};
      {
        const WindowDc dc(box);
        const SelectedObject font(dc.get(),
                                  reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
        GetTextMetricsW(dc.get(), &metrics);
      }
      EXPECT_GE(y, inside.top);
      EXPECT_LE(y + metrics.tmHeight, inside.bottom)
          << "the last line at " << y << " in " << Describe(inside);
      PressKey(GetDlgItem(w, id::kBubbleOk), VK_RETURN);
    });
    EXPECT_TRUE(MessageBubble(u"Snapdeck", std::u16string(shown.begin(), shown.end()), kThemeError,
                              id::kMainWindow));
  }
}

TEST_F(DialogsBubble, LoginAnswersEntriesAndFocusesPasswordWhenPreset) {
  std::optional<Credentials> entered;
  {
    Driver driver(kTitle, [&](HWND w) {
      RECT r{};
      GetWindowRect(w, &r);
      EXPECT_EQ(r.right - r.left, 160);
      EXPECT_EQ(r.bottom - r.top, 160);
      const std::pair<int, RECT> expected[] = {
          {id::kLoginOk, {30, 110, 40, 24}},
          {id::kLoginCancel, {90, 110, 40, 24}},
          {id::kLoginUserLabel, {30, 24, 100, 20}},
          {id::kLoginUser, {30, 40, 100, 20}},
          {id::kLoginPasswordLabel, {30, 64, 100, 20}},
          {id::kLoginPassword, {30, 80, 100, 20}},
      };
      for (const auto& [number, e] : expected) {
        const RECT got = ClientRectOf(w, number);
        EXPECT_TRUE(SameRect(got, e.left, e.top, e.right, e.bottom))
            << "control " << number << " at " << Describe(got);
      }
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kLoginHost)), L"updates.test:8080")
          << "the bubble names whom the credentials are for";
      EXPECT_TRUE(GetWindowLongW(GetDlgItem(w, id::kLoginPassword), GWL_STYLE) & ES_PASSWORD);
      HWND user = GetDlgItem(w, id::kLoginUser);
      EXPECT_EQ(FocusOf(uiThread_), user);
      TypeText(user, L"kestrel");
      TypeText(GetDlgItem(w, id::kLoginPassword), L"se\"cret");
      PressKey(user, VK_RETURN);
    });
    entered = LoginBubble(u"updates.test:8080", Credentials{});
  }
  ASSERT_TRUE(entered);
  EXPECT_EQ(entered->userName, u"kestrel");
  EXPECT_EQ(entered->password, u"se\"cret");
  {
    Driver driver(kTitle, [&](HWND w) {
      HWND password = GetDlgItem(w, id::kLoginPassword);
      EXPECT_EQ(TextOf(GetDlgItem(w, id::kLoginUser)), L"kestrel");
      EXPECT_EQ(TextOf(password), L"se\"cret");
      EXPECT_EQ(FocusOf(uiThread_), password);
      TypeText(password, L"zz");
      PressKey(password, VK_ESCAPE);
    });
    EXPECT_FALSE(LoginBubble(u"updates.test:8080", *entered));
  }
  EXPECT_EQ(WindowByNumber(id::kLoginBubble), nullptr);
}

}  // namespace
}  // namespace snapdeck::win32

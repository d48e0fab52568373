// The help window of the real program: F1 and "?", the language list and its memory
// across runs, the bare layout without list and donation button, the donation button of
// a build that has a donation address, and closing back to an enabled main window.
#include "driver/fixture.h"

namespace e2e {
namespace {

inline constexpr wchar_t kHelpTitle[] = L"Snapdeck Help & Info";

class Help : public E2eTest {
 protected:
  // Starts the program in the test's folder and opens the help window with F1.
  void OpenWithF1(const LaunchOptions& options) {
    program_ = &Start(folder_, options);
    main_ = WaitMain(*program_);
    ASSERT_NE(main_, nullptr);
    PressKey(main_, VK_F1);
    help_ = program_->WaitWindow(kHelpTitle);
    ASSERT_NE(help_, nullptr) << "F1 opened no help window";
  }

  Program* program_ = nullptr;
  HWND main_ = nullptr;
  HWND help_ = nullptr;
};

std::wstring HelpText(HWND help) { return Text(Control(help, id::kHelpText)); }

bool Shows(HWND help, const std::wstring& part) {
  return HelpText(help).find(part) != std::wstring::npos;
}

// The inner height of the help window above its status bar.
int HeightAboveStatus(HWND help) {
  HWND status = FindWindowExW(help, nullptr, L"msctls_statusbar32", nullptr);
  EXPECT_NE(status, nullptr) << "the help window has no status bar";
  const RECT bar = status != nullptr ? RectInParent(status) : RECT{};
  return ClientSize(help).cy - (bar.bottom - bar.top);
}

// Escape closes the help window and gives the main window back.
void CloseWithEscape(Program& p, HWND help, HWND main) {
  PressKey(help, VK_ESCAPE);
  EXPECT_TRUE(p.WaitWindowGone(kHelpTitle)) << "Escape did not close the help window";
  EXPECT_TRUE(WaitUntil([&] { return Enabled(main); })) << "the main window stayed disabled";
}

TEST_F(Help, F1OpensItAndTheChosenLanguageIsKeptForTheNextRun) {
  ASSERT_NO_FATAL_FAILURE(OpenWithF1({}));
  Program& p = *program_;
  HWND main = main_;
  HWND help = help_;
  EXPECT_FALSE(Enabled(main)) << "the main window stays usable behind the help window";
  EXPECT_EQ(ClientSize(help).cx, 320);
  EXPECT_EQ(ClientSize(help).cy, 480);
  EXPECT_EQ(HelpText(help).rfind(L"Snapdeck 1.67\r\n\r\nAbout:", 0), 0u);
  EXPECT_TRUE(Shows(help, L"History:"));
  HWND list = Control(help, id::kHelpLanguages);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ComboItems(list),
            (std::vector<std::wstring>{L"Deutsch", L"English", L"Espa\u00F1ol", L"Fran\u00E7ais",
                                       L"Italiano", L"Japanese", L"T\u00FCrk\u00E7e"}));
  EXPECT_EQ(ComboSelection(list), 1);

  SelectCombo(list, 6);
  EXPECT_TRUE(WaitUntil([&] { return Shows(help, L"Hakk\u0131nda:"); }))
      << "choosing T\u00FCrk\u00E7e did not show the Turkish text";
  EXPECT_EQ(HelpText(help).rfind(L"Snapdeck 1.67", 0), 0u);
  CloseWithEscape(p, help, main);
  EndWithEsc(p, main);
  EXPECT_EQ(SavedSettings(folder_).Get("langcode"), "TR");

  Program& again = Start(folder_, {});
  HWND main2 = WaitMain(again);
  ASSERT_NE(main2, nullptr);
  Click(Control(main2, id::kHelpButton));
  HWND help2 = again.WaitWindow(kHelpTitle);
  ASSERT_NE(help2, nullptr) << "\"?\" opened no help window";
  EXPECT_EQ(ComboSelection(Control(help2, id::kHelpLanguages)), 6);
  EXPECT_TRUE(Shows(help2, L"Hakk\u0131nda:"));
  Click(Control(help2, id::kHelpClose));
  EXPECT_TRUE(again.WaitWindowGone(kHelpTitle)) << "\"close and back\" did not close it";
  EXPECT_TRUE(WaitUntil([&] { return Enabled(main2); }));
  EndWithEsc(again, main2);
}

TEST_F(Help, WithoutLanguageAndDonationTheTextStartsAtTheTop) {
  SettingsLines settings = SettingsLines::Defaults(folder_);
  settings.Set("langcode", "");
  LaunchOptions options;
  options.settings = settings.FileBytes();
  ASSERT_NO_FATAL_FAILURE(OpenWithF1(options));
  Program& p = *program_;
  HWND main = main_;
  HWND help = help_;
  EXPECT_EQ(Control(help, id::kHelpLanguages), nullptr);
  EXPECT_EQ(Control(help, id::kHelpDonate), nullptr);
  const RECT box = RectInParent(Control(help, id::kHelpText));
  const RECT close = RectInParent(Control(help, id::kHelpClose));
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.top, 10);
  EXPECT_EQ(box.right - box.left, 300);
  // Without the top row the box takes its 35 pixels: it ends 10 above "close and back",
  // which stands 30 above the status bar.
  EXPECT_EQ(close.top, HeightAboveStatus(help) - 30);
  EXPECT_EQ(box.bottom, close.top - 10);
  EXPECT_EQ(HelpText(help).rfind(L"Snapdeck 1.67", 0), 0u);
  CloseWithEscape(p, help, main);
  EndWithEsc(p, main);
  const SettingsLines saved = SavedSettings(folder_);
  EXPECT_TRUE(saved.Has("langcode"));
  EXPECT_EQ(saved.Get("langcode"), "");
}

TEST_F(Help, DonationButtonStaysAtTheRightEdgeWhenEnlarged) {
  LaunchOptions options;
  options.sourceExe = DonationExe();
  ASSERT_NO_FATAL_FAILURE(OpenWithF1(options));
  Program& p = *program_;
  HWND main = main_;
  HWND help = help_;
  HWND donate = Control(help, id::kHelpDonate);
  ASSERT_NE(donate, nullptr) << "a build with a donation address shows the button";
  RECT r = RectInParent(donate);
  EXPECT_EQ(r.left, 250);
  EXPECT_EQ(r.top, 7);
  EXPECT_EQ(r.right - r.left, 62);
  EXPECT_EQ(r.bottom - r.top, 31);
  EXPECT_EQ(RectInParent(Control(help, id::kHelpText)).top, 45);

  const RECT outer = ScreenRect(help);
  SetWindowPos(help, nullptr, 0, 0, outer.right - outer.left + 150, outer.bottom - outer.top + 90,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(WaitUntil([&] { return ClientSize(help).cx == 470; })) << "the window kept its size";
  EXPECT_TRUE(WaitUntil([&] { return RectInParent(donate).left == 400; }))
      << "the donation button is at x " << RectInParent(donate).left;
  const RECT close = RectInParent(Control(help, id::kHelpClose));
  EXPECT_EQ(close.top, HeightAboveStatus(help) - 30);
  EXPECT_EQ(close.right - close.left, 450);
  EXPECT_EQ(RectInParent(Control(help, id::kHelpText)).right, 460);
  CloseWithEscape(p, help, main);
  EndWithEsc(p, main);
}

}  // namespace
}  // namespace e2e

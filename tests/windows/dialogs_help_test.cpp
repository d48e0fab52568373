#include <gtest/gtest.h>
#include <windows.h>
// These need windows.h first.
#include <commdlg.h>
#include <richedit.h>

#include <mutex>
#include <vector>

#include "dialogs/help_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "tests/support/dialog_driver_win32.h"

namespace snapdeck::win32 {
namespace {

using namespace dialogs_test;

const wchar_t kTitle[] = L"Snapdeck Help & Info";
const char16_t kShortLink[] = u"http://links.example/short";

// Addresses the help window asked to open, recorded instead of starting a browser.
std::mutex g_openedLock;
std::vector<std::u16string> g_opened;

bool RecordOpened(const std::u16string& address) {
  std::lock_guard<std::mutex> lock(g_openedLock);
  g_opened.push_back(address);
  return true;
}

std::vector<std::u16string> Opened() {
  std::lock_guard<std::mutex> lock(g_openedLock);
  return g_opened;
}

// Character range of the first occurrence of `text` in the rich-edit box.
CHARRANGE Find(HWND box, const std::wstring& text) {
  FINDTEXTEXW find{};
  find.chrg = {0, -1};
  find.lpstrText = text.c_str();
  SendMessageW(box, EM_FINDTEXTEXW, FR_DOWN | FR_MATCHCASE, reinterpret_cast<LPARAM>(&find));
  return find.chrgText;
}

// What the rich-edit box reports for a mouse message over a link.
void SendLinkMessage(HWND help, HWND box, UINT mouse, CHARRANGE range) {
  ENLINK link{};
  link.nmhdr.hwndFrom = box;
  link.nmhdr.idFrom = id::kHelpText;
  link.nmhdr.code = EN_LINK;
  link.msg = mouse;
  link.chrg = range;
  SendMessageW(help, WM_NOTIFY, id::kHelpText, reinterpret_cast<LPARAM>(&link));
}

class DialogsHelp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    PrepareShell();
    SetAddressOpener(RecordOpened);
    owner_ = CreateWindowExW(0, ProgramWindowClass(), L"help owner", WS_OVERLAPPEDWINDOW, 100, 100,
                             600, 500, nullptr, nullptr, TheShell().instance, nullptr);
    ShowWindow(owner_, SW_SHOW);
  }
  static void TearDownTestSuite() {
    SetAddressOpener(nullptr);
    DestroyWindow(owner_);
    owner_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(owner_, nullptr);
    RegisterWindow(id::kMainWindow, owner_);
    languages_ = BuildLanguageTable();
    for (LanguageRow& row : languages_) row.helpText = u"Help in " + row.name;
    SortLanguageTable(languages_);
    HelpInfo& info = request_;
    info = HelpInfo{};
    info.languages = &languages_;
    info.languageCode = u"US";
    info.donationAddress = u"https://donate.example/snapdeck";
    // A link of 600 characters does not fit the 512-character link buffer.
    info.infoText = u"\r\nSee " + std::u16string(kShortLink) + u" and http://long.example/" +
                    std::u16string(575, u'x') + u" too.\r\n";
    std::lock_guard<std::mutex> lock(g_openedLock);
    g_opened.clear();
  }
  void TearDown() override {
    ForgetWindow(id::kMainWindow);
    PumpAllEvents();
  }

  static HWND owner_;
  std::vector<LanguageRow> languages_;
  HelpInfo request_;
};

HWND DialogsHelp::owner_ = nullptr;

TEST_F(DialogsHelp, OnlyAPressedLinkThatFitsTheBufferIsOpenedAndTheChosenLanguageIsAnswered) {
  bool ownerDisabled = false;
  std::u16string chosen;
  int position = 0;
  {
    Driver driver(kTitle, [&](HWND help) {
      ownerDisabled = !IsWindowEnabled(owner_);
      HWND box = GetDlgItem(help, id::kHelpText);
      const CHARRANGE shortLink = Find(box, L"http://links.example/short");
      const CHARRANGE longLink = Find(box, L"http://long.example/");
      ASSERT_GT(shortLink.cpMax, shortLink.cpMin);
      ASSERT_GT(longLink.cpMin, 0);

      // Moving over a link, or a press over a link too long for the buffer, opens nothing.
      SendLinkMessage(help, box, WM_MOUSEMOVE, shortLink);
      SendLinkMessage(help, box, WM_LBUTTONDOWN, {longLink.cpMin, longLink.cpMin + 600});
      SendLinkMessage(help, box, WM_LBUTTONDOWN, shortLink);
      EXPECT_TRUE(WaitUntil([] { return !Opened().empty(); }));
      // The donation button opens the donation address.
      PostMessageW(help, WM_COMMAND, MAKEWPARAM(id::kHelpDonate, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(help, id::kHelpDonate)));
      EXPECT_TRUE(WaitUntil([] { return Opened().size() == 2; }));
      // A language chosen in the list is the answer.
      HWND list = GetDlgItem(help, id::kHelpLanguages);
      const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
      ASSERT_GT(count, 1);
      position = static_cast<int>((SendMessageW(list, CB_GETCURSEL, 0, 0) + 1) % count);
      SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
      PostMessageW(help, WM_COMMAND, MAKEWPARAM(id::kHelpLanguages, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
      PressKey(box, VK_RETURN);
    });
    chosen = ShowHelp(request_);
  }
  EXPECT_EQ(chosen, languages_[LanguageAtListPosition(languages_, position)].code);
  EXPECT_NE(chosen, u"US");
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(WindowByNumber(id::kHelpWindow), nullptr);
  EXPECT_EQ(Opened(),
            (std::vector<std::u16string>{kShortLink, u"https://donate.example/snapdeck"}));
}

}  // namespace
}  // namespace snapdeck::win32

// The update service end to end: the update window from "!" and F6, the check
// against a published document, and the download with the two-step restart,
// served by the local test server (its port in SNAPDECK_TEST_HTTP_PORT, its
// files below the work root).
#include "driver/fixture.h"
#include "update/update_system_win32.h"

namespace e2e {
namespace {

const wchar_t kUpdateTitle[] = L"vex! -kestrel's update info";
// Update window controls.
constexpr int kStatus = 1, kCheck = 2, kUpdate = 3, kCancel = 4;

std::wstring HexOf(const snapdeck::Sha256Digest& digest) {
  std::wstring out;
  const wchar_t digits[] = L"0123456789abcdef";
  for (std::uint8_t b : digest) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

class Update : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    port_ = Env(L"SNAPDECK_TEST_HTTP_PORT");
    ASSERT_FALSE(port_.empty()) << "SNAPDECK_TEST_HTTP_PORT is not set (run through tools/test.sh)";
    SetEnvironmentVariableW(L"SNAPDECK_UPDATE_URL", FileUrl(L"vex!.utx").c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"SNAPDECK_UPDATE_URL", nullptr);
    E2eTest::TearDown();
  }

  // The address under which the test server serves a file of this test's
  // folder.
  std::wstring FileUrl(const std::wstring& name, const std::wstring& query = L"") const {
    return L"http://127.0.0.1:" + port_ + L"/files/" + TestName() + L"/" + name + query;
  }
  // Publishes the update document: UTF-16LE lines ended by CR LF.
  void Publish(const std::wstring& lines) {
    Bytes bytes;
    for (wchar_t c : lines) {
      bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    ASSERT_TRUE(WriteFileBytes(JoinPath(folder_, L"vex!.utx"), bytes));
  }
  HWND OpenUpdateWindow(Program& p, HWND main, bool withF6 = false) {
    if (withF6) {
      PressKey(main, VK_F6);
    } else {
      Click(Control(main, id::kUpdateButton));
    }
    HWND window = p.WaitWindow(kUpdateTitle);
    EXPECT_NE(window, nullptr) << "no update window";
    return window;
  }
  // Waits until the status text contains the words.
  bool StatusSays(HWND window, const std::wstring& words, int timeoutMs = 30000) {
    const bool said =
        WaitUntil([&] { return Text(Control(window, kStatus)).find(words) != std::wstring::npos; },
                  timeoutMs);
    if (!said) ADD_FAILURE() << "status is \"" << Utf8(Text(Control(window, kStatus))) << "\"";
    return said;
  }
  // Check, then Update; leaves the window with the download's status shown.
  void CheckAndDownload(HWND window) {
    Click(Control(window, kCheck));
    ASSERT_TRUE(StatusSays(window, L"Do you want to update?"));
    ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(window, kUpdate)); }, 5000));
    Click(Control(window, kUpdate));
    ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(window, kCancel)); }, 60000));
  }

  std::wstring port_;
};

TEST_F(Update, BangOpensTheWindowAndCheckFindsNoNewerVersion) {
  Publish(
      L"Other|9.0|http://127.0.0.1/other.exe\r\nSnapdeck|1.67|http://"
      L"127.0.0.1/x.exe\r\n");
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  HWND window = OpenUpdateWindow(p, main);
  ASSERT_NE(window, nullptr);

  EXPECT_FALSE(Enabled(main)) << "the main window waits while the update window is open";
  EXPECT_TRUE(TopMost(window));
  const RECT r = ScreenRect(window);
  EXPECT_EQ(r.right - r.left, 240);
  EXPECT_EQ(r.bottom - r.top, 240);
  EXPECT_EQ(Text(Control(window, kStatus)),
            L"vex!\r\n-kestrel's update info\r\nfor: [Snapdeck]\r\n");
  EXPECT_EQ(Text(Control(window, kCheck)), L"Check");
  EXPECT_EQ(Text(Control(window, kCancel)), L"Cancel");
  EXPECT_TRUE(Enabled(Control(window, kCheck)));
  EXPECT_FALSE(Enabled(Control(window, kUpdate)));
  const RECT check = RectInParent(Control(window, kCheck));
  EXPECT_EQ(check.left, 35);
  EXPECT_EQ(check.top, 135);
  const RECT cancel = RectInParent(Control(window, kCancel));
  EXPECT_EQ(cancel.left, 85);
  EXPECT_EQ(cancel.top, 190);

  // Return presses the first enabled button: Check.
  PressKey(window, VK_RETURN);
  ASSERT_TRUE(StatusSays(window, L"Already up2date!"));
  EXPECT_EQ(Text(Control(window, kStatus)),
            L"current version: 1.67\r\nlatest version: 1.67\r\nAlready up2date!");
  EXPECT_FALSE(Enabled(Control(window, kCheck))) << "a second check is not offered";
  EXPECT_FALSE(Enabled(Control(window, kUpdate)));

  // Now Return reaches Cancel, which closes the window.
  ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(window, kCancel)); }, 5000));
  PressKey(window, VK_RETURN);
  EXPECT_TRUE(p.WaitWindowGone(kUpdateTitle));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(main); }, 5000));
  EndWithEsc(p, main);
}

TEST_F(Update, F6ChecksAndFailuresAreShownInTheWindow) {
  Publish(L"Snapdeck|1.7|http://127.0.0.1/x.exe\r\n");
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  HWND window = OpenUpdateWindow(p, main, true);
  ASSERT_NE(window, nullptr);
  Click(Control(window, kCheck));
  ASSERT_TRUE(StatusSays(window, L"Do you want to update?"));
  EXPECT_EQ(Text(Control(window, kStatus)),
            L"current version: 1.67\r\nlatest version: 1.7\r\nDo you want to "
            L"update?");
  EXPECT_TRUE(WaitUntil([&] { return Enabled(Control(window, kUpdate)); }, 5000));
  PressKey(window, VK_ESCAPE);
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));

  // No document at the address: the server's answer is shown.
  DeleteFileW(JoinPath(folder_, L"vex!.utx").c_str());
  window = OpenUpdateWindow(p, main);
  ASSERT_NE(window, nullptr);
  Click(Control(window, kCheck));
  ASSERT_TRUE(StatusSays(window, L"Sorry, cannot retrieve update info, error: *not found*; 404"));
  PressKey(window, VK_ESCAPE);
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));
  EndWithEsc(p, main);
}

TEST_F(Update, RefusedDownloadsLeaveTheProgramAsItWas) {
  const std::optional<Bytes> exe = ReadFileBytes(SnapdeckExe());
  ASSERT_TRUE(exe.has_value());
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder_, L"new.exe"), *exe));
  ASSERT_TRUE(WriteFileText(JoinPath(folder_, L"text.exe"), "MZ but not a program at all"));
  const std::wstring digest = HexOf(*snapdeck::win32::SystemSha256(exe->data(), exe->size()));
  std::wstring wrongDigest = digest;
  wrongDigest[0] = wrongDigest[0] == L'0' ? L'1' : L'0';

  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  struct Case {
    std::wstring line;
    std::wstring failure;
  };
  const Case cases[] = {
      {FileUrl(L"new.exe", L"?truncate=100000"), L"*incomplete download* 100000 of "},
      {FileUrl(L"text.exe"), L"*not a Windows x64 program*"},
      {FileUrl(L"new.exe") + L"|" + wrongDigest, L"*SHA-256 mismatch*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.failure));
    Publish(L"Snapdeck|1.7|" + c.line + L"\r\n");
    HWND window = OpenUpdateWindow(p, main);
    ASSERT_NE(window, nullptr);
    CheckAndDownload(window);
    EXPECT_TRUE(StatusSays(window, L"Download failed! " + c.failure));
    EXPECT_EQ(Text(Control(window, kCancel)), L"Cancel") << "no restart is offered";
    EXPECT_FALSE(Enabled(Control(window, kUpdate)));
    PressKey(window, VK_RETURN);
    ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));
    EXPECT_FALSE(FileExists(JoinPath(folder_, L"vex!Snapdeck.exe")));
    EXPECT_FALSE(FileExists(JoinPath(folder_, L"tmp!Snapdeck.exe")));
  }
  EndWithEsc(p, main);
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"Snapdeck.exe")), exe) << "the program changed";
}

TEST_F(Update, CancelStopsADownloadThatTricklesWithinASecond) {
  const std::optional<Bytes> exe = ReadFileBytes(SnapdeckExe());
  ASSERT_TRUE(exe.has_value());
  Publish(L"Snapdeck|1.7|http://127.0.0.1:" + port_ + L"/trickle?n=100000\r\n");
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  HWND window = OpenUpdateWindow(p, main);
  ASSERT_NE(window, nullptr);
  Click(Control(window, kCheck));
  ASSERT_TRUE(StatusSays(window, L"Do you want to update?"));
  ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(window, kUpdate)); }, 5000));
  Click(Control(window, kUpdate));
  ASSERT_TRUE(StatusSays(window, L"trying to download..."));
  EXPECT_TRUE(Enabled(Control(window, kCancel))) << "Cancel stays live during the download";

  Click(Control(window, kCancel));
  EXPECT_TRUE(StatusSays(window, L"Download failed! *cancelled*", 1000));
  EXPECT_EQ(Text(Control(window, kCancel)), L"Cancel");
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"vex!Snapdeck.exe")));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"tmp!Snapdeck.exe")));

  // The window is live again: Cancel now closes it.
  Click(Control(window, kCancel));
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));
  EndWithEsc(p, main);
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"Snapdeck.exe")), exe);
}

TEST_F(Update, UpdateAndRestartReplaceTheProgramThroughBothSwitches) {
  const std::optional<Bytes> exe = ReadFileBytes(SnapdeckExe());
  ASSERT_TRUE(exe.has_value());
  // The new version: the same program with a marker after its image.
  Bytes newer = *exe;
  const std::string marker = "a newer version";
  newer.insert(newer.end(), marker.begin(), marker.end());
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder_, L"new.exe"), newer));
  const std::wstring digest = HexOf(*snapdeck::win32::SystemSha256(newer.data(), newer.size()));
  Publish(L"Snapdeck|1.7|" + FileUrl(L"new.exe") + L"|" + digest + L"\r\n");

  Program& old = Start(folder_, {});
  HWND main = WaitMain(old);
  ASSERT_NE(main, nullptr);
  HWND window = OpenUpdateWindow(old, main);
  ASSERT_NE(window, nullptr);
  CheckAndDownload(window);
  ASSERT_TRUE(StatusSays(window,
                         L"Download succeeded!\r\nUpdate "
                         L"prepared!\r\nProgram restart required..."));
  EXPECT_EQ(Text(Control(window, kCancel)), L"restart");
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"vex!Snapdeck.exe")), newer);
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"tmp!Snapdeck.exe")), exe);

  Click(Control(window, kCancel));
  auto code = old.WaitExit();
  ASSERT_TRUE(code.has_value()) << "the old version did not end after restart";
  EXPECT_EQ(*code, 0u);

  // The copy swaps the files and starts the new version, which reports.
  HWND bubble = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        bubble = FindAnyWindowTitled(kBubbleTitle);
        return bubble != nullptr && Text(Control(bubble, id::kBubbleText)) == L"Update completed!";
      },
      60000))
      << "no \"Update completed!\" bubble"
      << (bubble != nullptr ? ": it says " + Utf8(Text(Control(bubble, id::kBubbleText)))
                            : std::string());
  DWORD pid = 0;
  GetWindowThreadProcessId(bubble, &pid);
  programs_.push_back(std::make_unique<Program>());
  Program& next = *programs_.back();
  ASSERT_TRUE(next.Adopt(pid));
  EXPECT_EQ(Text(Control(bubble, id::kBubbleCaption)), L"Snapdeck.exe");
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"Snapdeck.exe")), newer);
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"tmp!Snapdeck.exe")));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"vex!Snapdeck.exe")));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"old!Snapdeck.exe")));

  Click(Control(bubble, id::kBubbleOk));
  HWND newMain = WaitMain(next);
  ASSERT_NE(newMain, nullptr);
  EndWithEsc(next, newMain);
}

}  // namespace
}  // namespace e2e

// The update service end to end: the update window from "!" and F6, the check
// against a published document, and the download with the two-step restart,
// served by the local test server (its port in SNAPDECK_TEST_HTTP_PORT, its
// files below the work root). The program is a test build that takes the
// document's address from SNAPDECK_UPDATE_URL and carries the tests' key, whose
// signatures the server makes; the release installed is tools/release.sh's
// (SNAPDECK_TEST_RELEASE).
#include <cstdio>

#include "driver/fixture.h"
#include "platform/text.h"
#include "update/http_fetch.h"
#include "update/http_wininet_win32.h"
#include "update/update_system_win32.h"

namespace e2e {
namespace {

const wchar_t kUpdateTitle[] = L"vex! -kestrel's update info";

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

  // Starts a test build (by default the one with the tests' key; "" for the shipped
  // program) as Snapdeck.exe.
  Program& StartBuild(const std::wstring& build = L"SnapdeckSigned.exe") {
    LaunchOptions options;
    if (!build.empty()) options.sourceExe = TestBuildExe(build);
    return Start(folder_, options);
  }
  // The address under which the test server serves a file of this test's
  // folder.
  std::wstring FileUrl(const std::wstring& name, const std::wstring& query = L"") const {
    return L"http://127.0.0.1:" + port_ + L"/files/" + TestName() + L"/" + name + query;
  }
  // The body of one of the test server's own answers.
  std::wstring ServerAnswer(const std::wstring& path) const {
    std::unique_ptr<snapdeck::HttpTransport> net = snapdeck::win32::MakeWinInetTransport();
    snapdeck::FetchedBody body;
    const std::u16string result =
        snapdeck::HttpFetch(*net, snapdeck::FromWide(L"http://127.0.0.1:" + port_ + path), u"",
                            u"", u"", body, 32, [](int, int) {});
    EXPECT_EQ(snapdeck::FetchStatus(result), 0) << Utf8(path) << ": " << Utf8(snapdeck::ToWide(result));
    return std::wstring(body.buffer.begin(), body.buffer.begin() + body.received);
  }
  // Base64 of the DER signature that the server's openssl makes over the text
  // with one of the tests' keys ("update" is built in, "other" is not).
  std::wstring Sign(const std::wstring& key, const std::wstring& text) const {
    std::wstring escaped;
    for (wchar_t c : text) escaped += c == L'|' ? std::wstring(L"%7C") : std::wstring(1, c);
    return ServerAnswer(L"/sign?key=" + key + L"&text=" + escaped);
  }
  // Publishes a file of this test's folder as the given version, with its
  // digest and a signature over that version and digest (by default the
  // same); from another address when one is given.
  std::wstring SignedLine(const std::wstring& version, const std::wstring& file,
                          const std::wstring& key = L"update", std::wstring signedVersion = L"",
                          const std::wstring& address = L"") {
    const std::optional<Bytes> bytes = ReadFileBytes(JoinPath(folder_, file));
    EXPECT_TRUE(bytes.has_value()) << Utf8(file);
    const std::wstring digest =
        bytes ? HexOf(*snapdeck::win32::SystemSha256(bytes->data(), bytes->size())) : L"";
    if (signedVersion.empty()) signedVersion = version;
    return L"Snapdeck|" + version + L"|" + (address.empty() ? FileUrl(file) : address) + L"|" +
           digest + L"|" +
           Sign(key, L"Snapdeck|" + signedVersion + L"|" + digest);
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
  // A build started with its update window open; window is null when either did not
  // come up.
  struct Opened {
    Program& p;
    HWND main;
    HWND window;
  };
  Opened StartWithUpdateWindow(const std::wstring& build = L"SnapdeckSigned.exe",
                               bool withF6 = false) {
    Program& p = StartBuild(build);
    HWND main = WaitMain(p);
    EXPECT_NE(main, nullptr) << "no main window";
    return {p, main, main != nullptr ? OpenUpdateWindow(p, main, withF6) : nullptr};
  }
  // Waits until the status text contains the words.
  bool StatusSays(HWND window, const std::wstring& words, int timeoutMs = 30000) {
    const bool said = WaitUntil(
        [&] { return Text(Control(window, id::kUpdateStatus)).find(words) != std::wstring::npos; },
        timeoutMs);
    if (!said)
      ADD_FAILURE() << "status is \"" << Utf8(Text(Control(window, id::kUpdateStatus))) << "\"";
    return said;
  }
  // Check, then Update once it is offered.
  void StartDownload(HWND window) {
    Click(Control(window, id::kUpdateCheck));
    ASSERT_TRUE(StatusSays(window, L"Do you want to update?"));
    ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(window, id::kUpdateDownload)); }, 5000));
    Click(Control(window, id::kUpdateDownload));
  }
  // Check, then Update; leaves the window with the download's status shown.
  void CheckAndDownload(HWND window) {
    ASSERT_NO_FATAL_FAILURE(StartDownload(window));
    // Cancel stays enabled during the download; its end shows in the status.
    ASSERT_TRUE(WaitUntil(
        [&] {
          const std::wstring status = Text(Control(window, id::kUpdateStatus));
          return status.rfind(L"Download", 0) == 0 || status.rfind(L"Update refused!", 0) == 0;
        },
        60000))
        << "the download did not end: " << Utf8(Text(Control(window, id::kUpdateStatus)));
  }
  // Publishes the line that tools/release.sh wrote with the tests' key for
  // version 1.68, with the address of this test's copy of its exe; the exe, and the
  // version of that line in version.
  std::optional<Bytes> PublishRelease(std::wstring& version) {
    const std::wstring release = Env(L"SNAPDECK_TEST_RELEASE");
    EXPECT_FALSE(release.empty()) << "SNAPDECK_TEST_RELEASE is not set (run through tools/test.sh)";
    std::optional<Bytes> newer = ReadFileBytes(JoinPath(release, L"Snapdeck.exe"));
    const std::optional<Bytes> document = ReadFileBytes(JoinPath(release, L"vex!.utx"));
    if (!newer || !document) return std::nullopt;
    std::wstring line;
    for (std::size_t i = 0; i + 1 < document->size(); i += 2) {
      line += static_cast<wchar_t>((*document)[i] | ((*document)[i + 1] << 8));
    }
    EXPECT_EQ(line.substr(line.size() - 2), L"\r\n");
    const std::size_t second = line.find(L'|');
    const std::size_t third = line.find(L'|', second + 1);
    const std::size_t fourth = line.find(L'|', third + 1);
    if (fourth == std::wstring::npos || !WriteFileBytes(JoinPath(folder_, L"release.exe"), *newer)) {
      ADD_FAILURE() << "cannot publish " << Utf8(line);
      return std::nullopt;
    }
    version = line.substr(second + 1, third - second - 1);
    Publish(line.substr(0, third + 1) + FileUrl(L"release.exe") + line.substr(fourth));
    return newer;
  }
  // The release published and downloaded by the signed build, up to the offered restart.
  struct Downloaded {
    Program* old = nullptr;
    HWND window = nullptr;
    Bytes newer;  // the release
    std::wstring version;  // the release's, as its line names it
    Bytes exe;    // the running build
  };
  void DownloadRelease(Downloaded& d) {
    const std::optional<Bytes> newer = PublishRelease(d.version);
    ASSERT_TRUE(newer.has_value());
    const std::optional<Bytes> exe = ReadFileBytes(TestBuildExe(L"SnapdeckSigned.exe"));
    ASSERT_TRUE(exe.has_value());
    d.newer = *newer;
    d.exe = *exe;
    Opened opened = StartWithUpdateWindow();
    ASSERT_NE(opened.window, nullptr);
    d.old = &opened.p;
    d.window = opened.window;
    ASSERT_NO_FATAL_FAILURE(CheckAndDownload(d.window));
    ASSERT_TRUE(StatusSays(d.window,
                           L"Download succeeded!\r\nUpdate "
                           L"prepared!\r\nProgram restart required..."));
    ASSERT_TRUE(
        WaitUntil([&] { return Text(Control(d.window, id::kUpdateCancel)) == L"restart"; }, 5000));
  }
  // Takes over the program that shows the window, so that the test ends it.
  Program& AdoptProgramOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    programs_.push_back(std::make_unique<Program>());
    EXPECT_TRUE(programs_.back()->Adopt(pid));
    return *programs_.back();
  }
  // Waits for the message bubble whose text starts with words and takes over
  // the program that shows it.
  HWND AdoptBubble(const std::wstring& words) {
    HWND bubble = nullptr;
    const bool shown = WaitUntil(
        [&] {
          bubble = FindAnyWindowTitled(kBubbleTitle);
          return bubble != nullptr && Text(Control(bubble, id::kBubbleText)).rfind(words, 0) == 0;
        },
        60000);
    if (!shown) {
      ADD_FAILURE() << "no bubble saying \"" << Utf8(words) << "\""
                    << (bubble != nullptr
                            ? ": it says " + Utf8(Text(Control(bubble, id::kBubbleText)))
                            : std::string());
      return nullptr;
    }
    AdoptProgramOf(bubble);
    return bubble;
  }

  std::wstring port_;
};

TEST_F(Update, BangOpensTheWindowAndCheckFindsNoNewerVersion) {
  Publish(
      L"Other|9.0|http://127.0.0.1/other.exe\r\nSnapdeck|1.67|http://"
      L"127.0.0.1/x.exe\r\n");
  auto [p, main, window] = StartWithUpdateWindow();
  ASSERT_NE(window, nullptr);

  EXPECT_FALSE(Enabled(main)) << "the main window waits while the update window is open";
  EXPECT_TRUE(TopMost(window));
  const RECT r = ScreenRect(window);
  EXPECT_EQ(r.right - r.left, 240);
  EXPECT_EQ(r.bottom - r.top, 240);
  EXPECT_EQ(Text(Control(window, id::kUpdateStatus)),
            L"vex!\r\n-kestrel's update info\r\nfor: [Snapdeck]\r\n");
  EXPECT_EQ(Text(Control(window, id::kUpdateCheck)), L"Check");
  EXPECT_EQ(Text(Control(window, id::kUpdateCancel)), L"Cancel");
  EXPECT_TRUE(Enabled(Control(window, id::kUpdateCheck)));
  EXPECT_FALSE(Enabled(Control(window, id::kUpdateDownload)));
  const RECT check = RectInParent(Control(window, id::kUpdateCheck));
  EXPECT_EQ(check.left, 35);
  EXPECT_EQ(check.top, 135);
  const RECT cancel = RectInParent(Control(window, id::kUpdateCancel));
  EXPECT_EQ(cancel.left, 85);
  EXPECT_EQ(cancel.top, 190);

  // Return presses the first enabled button: Check.
  PressKey(window, VK_RETURN);
  ASSERT_TRUE(StatusSays(window, L"Already up2date!"));
  EXPECT_EQ(Text(Control(window, id::kUpdateStatus)),
            L"current version: 1.67\r\nlatest version: 1.67\r\nAlready up2date!");
  EXPECT_FALSE(Enabled(Control(window, id::kUpdateCheck))) << "a second check is not offered";
  EXPECT_FALSE(Enabled(Control(window, id::kUpdateDownload)));

  // Now Return reaches Cancel, which closes the window.
  ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(window, id::kUpdateCancel)); }, 5000));
  PressKey(window, VK_RETURN);
  EXPECT_TRUE(p.WaitWindowGone(kUpdateTitle));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(main); }, 5000));
  EndWithEsc(p, main);
}

TEST_F(Update, F6ChecksAndFailuresAreShownInTheWindow) {
  Publish(L"Snapdeck|1.7|http://127.0.0.1/x.exe\r\n");
  auto [p, main, window] = StartWithUpdateWindow(L"SnapdeckSigned.exe", true);
  ASSERT_NE(window, nullptr);
  Click(Control(window, id::kUpdateCheck));
  ASSERT_TRUE(StatusSays(window, L"Do you want to update?"));
  EXPECT_EQ(Text(Control(window, id::kUpdateStatus)),
            L"current version: 1.67\r\nlatest version: 1.7\r\nDo you want to "
            L"update?");
  EXPECT_TRUE(WaitUntil([&] { return Enabled(Control(window, id::kUpdateDownload)); }, 5000));
  PressKey(window, VK_ESCAPE);
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));

  // No document at the address: the server's answer is shown.
  DeleteFileW(JoinPath(folder_, L"vex!.utx").c_str());
  window = OpenUpdateWindow(p, main);
  ASSERT_NE(window, nullptr);
  Click(Control(window, id::kUpdateCheck));
  ASSERT_TRUE(StatusSays(window, L"Sorry, cannot retrieve update info, error: *not found*; 404"));
  PressKey(window, VK_ESCAPE);
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));
  EndWithEsc(p, main);
}

TEST_F(Update, TheShippedProgramTakesTheAddressOnlyFromItsBuild) {
  Publish(L"Snapdeck|1.7|http://127.0.0.1/x.exe\r\n");
  auto [p, main, window] = StartWithUpdateWindow(L"");
  ASSERT_NE(window, nullptr);
  Click(Control(window, id::kUpdateCheck));
  EXPECT_TRUE(StatusSays(window, L"Sorry, cannot retrieve update info, error: "));
  PressKey(window, VK_ESCAPE);
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));
  EndWithEsc(p, main);
}

TEST_F(Update, RefusedUpdatesLeaveTheProgramAsItWas) {
  const std::optional<Bytes> exe = ReadFileBytes(TestBuildExe(L"SnapdeckSigned.exe"));
  ASSERT_TRUE(exe.has_value());
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder_, L"new.exe"), *exe));
  ASSERT_TRUE(WriteFileText(JoinPath(folder_, L"text.exe"), "MZ but not a program at all"));
  const std::wstring digest = HexOf(*snapdeck::win32::SystemSha256(exe->data(), exe->size()));
  std::wstring wrongDigest = digest;
  wrongDigest[0] = wrongDigest[0] == L'0' ? L'1' : L'0';
  const std::wstring unsignedLine = L"Snapdeck|1.7|" + FileUrl(L"new.exe") + L"|" + digest;

  Program& p = StartBuild();
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  struct Case {
    std::wstring line;
    std::wstring failure;
  };
  const Case cases[] = {
      {L"Snapdeck|1.7|" + FileUrl(L"new.exe", L"?truncate=100000") + L"|" + digest + L"|" +
           Sign(L"update", L"Snapdeck|1.7|" + digest),
       L"Download failed! *incomplete download* 100000 of "},
      {SignedLine(L"1.7", L"text.exe"), L"Download failed! *not a Windows x64 program*"},
      {L"Snapdeck|1.7|" + FileUrl(L"new.exe") + L"|" + wrongDigest + L"|" +
           Sign(L"update", L"Snapdeck|1.7|" + wrongDigest),
       L"Download failed! *SHA-256 mismatch*"},
      {unsignedLine, L"Update refused! *unsigned update*"},
      {SignedLine(L"1.7", L"new.exe", L"other"), L"Update refused! *signature mismatch*"},
      {SignedLine(L"1.7", L"new.exe", L"update", L"1.5"), L"Update refused! *signature mismatch*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.failure));
    Publish(c.line + L"\r\n");
    HWND window = OpenUpdateWindow(p, main);
    ASSERT_NE(window, nullptr);
    CheckAndDownload(window);
    EXPECT_TRUE(StatusSays(window, c.failure));
    EXPECT_EQ(Text(Control(window, id::kUpdateCancel)), L"Cancel") << "no restart is offered";
    EXPECT_FALSE(Enabled(Control(window, id::kUpdateDownload)));
    PressKey(window, VK_RETURN);
    ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));
    EXPECT_FALSE(FileExists(JoinPath(folder_, L"vex!Snapdeck.exe")));
    EXPECT_FALSE(FileExists(JoinPath(folder_, L"tmp!Snapdeck.exe")));
  }

  // An older version, however well signed, is not even offered.
  Publish(SignedLine(L"1.5", L"new.exe") + L"\r\n");
  HWND window = OpenUpdateWindow(p, main);
  ASSERT_NE(window, nullptr);
  Click(Control(window, id::kUpdateCheck));
  EXPECT_TRUE(StatusSays(window, L"latest version: 1.5\r\nAlready up2date!"));
  EXPECT_FALSE(Enabled(Control(window, id::kUpdateDownload)));
  ASSERT_TRUE(WaitUntil([&] { return Enabled(Control(window, id::kUpdateCancel)); }, 5000));
  PressKey(window, VK_RETURN);
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));

  EndWithEsc(p, main);
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"Snapdeck.exe")), exe) << "the program changed";
}

TEST_F(Update, ABuildWithoutKeyChecksButRefusesToInstall) {
  const std::optional<Bytes> exe = ReadFileBytes(TestBuildExe(L"SnapdeckKeyless.exe"));
  ASSERT_TRUE(exe.has_value());
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder_, L"new.exe"), *exe));
  Publish(SignedLine(L"1.7", L"new.exe") + L"\r\n");
  auto [p, main, window] = StartWithUpdateWindow(L"SnapdeckKeyless.exe");
  ASSERT_NE(window, nullptr);
  CheckAndDownload(window);
  EXPECT_TRUE(StatusSays(
      window, L"Update refused! *this build has no update key and installs no updates*"));
  EXPECT_EQ(Text(Control(window, id::kUpdateCancel)), L"Cancel");
  PressKey(window, VK_RETURN);
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));
  EndWithEsc(p, main);
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"vex!Snapdeck.exe")));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"tmp!Snapdeck.exe")));
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"Snapdeck.exe")), exe);
}

TEST_F(Update, APublishedReleaseInstallsThroughBothSwitches) {
  Downloaded d;
  ASSERT_NO_FATAL_FAILURE(DownloadRelease(d));
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"vex!Snapdeck.exe")), d.newer);
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"tmp!Snapdeck.exe")), d.exe);

  Click(Control(d.window, id::kUpdateCancel));
  auto code = d.old->WaitExit();
  ASSERT_TRUE(code.has_value()) << "the old version did not end after restart";
  EXPECT_EQ(*code, 0u);

  // The copy swaps the files and starts the new version, which reports.
  HWND bubble = AdoptBubble(L"Update completed!");
  ASSERT_NE(bubble, nullptr);
  Program& next = *programs_.back();
  EXPECT_EQ(Text(Control(bubble, id::kBubbleCaption)), L"Snapdeck.exe");
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"Snapdeck.exe")), d.newer);
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"tmp!Snapdeck.exe")));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"vex!Snapdeck.exe")));

  Click(Control(bubble, id::kBubbleOk));
  // The release shows the version it was published and compared as.
  HWND newMain = next.WaitWindow(L"Snapdeck " + d.version);
  ASSERT_NE(newMain, nullptr) << "no main window titled \"Snapdeck " << Utf8(d.version) << "\"";
  // The old version is kept until the new one has started.
  EXPECT_TRUE(WaitUntil([&] { return !FileExists(JoinPath(folder_, L"old!Snapdeck.exe")); }, 5000));
  EndWithEsc(next, newMain);
}

TEST_F(Update, ADownloadChangedBeforeRestartIsRefusedAtTheSwap) {
  Downloaded d;
  ASSERT_NO_FATAL_FAILURE(DownloadRelease(d));

  // Another program changes the checked file before the user presses restart.
  Bytes changed = d.newer;
  changed.push_back('!');
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder_, L"vex!Snapdeck.exe"), changed));
  Click(Control(d.window, id::kUpdateCancel));
  ASSERT_TRUE(d.old->WaitExit().has_value());

  // The copy refuses it and lets the old version go on.
  HWND bubble = AdoptBubble(L"Update refused!");
  ASSERT_NE(bubble, nullptr);
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"Snapdeck.exe")), d.exe) << "the program changed";
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"vex!Snapdeck.exe")));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"old!Snapdeck.exe")));
  Click(Control(bubble, id::kBubbleOk));
  HWND again = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (again = FindAnyWindowTitled(kMainTitle)) != nullptr; },
                        30000))
      << "the old version was not started again";
  EndWithEsc(AdoptProgramOf(again), again);
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, L"Snapdeck.exe")), d.exe);
}

TEST_F(Update, CancelStopsADownloadThatTricklesWithinASecond) {
  ASSERT_TRUE(WriteFileText(JoinPath(folder_, L"new.exe"), "MZ"));
  Publish(SignedLine(L"1.7", L"new.exe", L"update", L"",
                     L"http://127.0.0.1:" + port_ + L"/trickle?n=600") +
          L"\r\n");
  auto [p, main, window] = StartWithUpdateWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_NO_FATAL_FAILURE(StartDownload(window));
  ASSERT_TRUE(StatusSays(window, L"trying to download..."));
  ASSERT_TRUE(Enabled(Control(window, id::kUpdateCancel))) << "Cancel stays live during a fetch";

  // Clicks made before the fetch has begun are dropped; this one comes while the
  // server trickles.
  ASSERT_TRUE(WaitUntil([&] { return ServerAnswer(L"/trickling") != L"0"; }, 10000));
  const ULONGLONG clicked = GetTickCount64();
  Click(Control(window, id::kUpdateCancel));
  ASSERT_TRUE(StatusSays(window, L"Download failed! *cancelled*", 10000));
  const ULONGLONG took = GetTickCount64() - clicked;
  std::printf("Cancel stopped the trickling download after %llu ms\n", took);
  // A second on the product's side; the rest is room for a loaded test machine.
  EXPECT_LT(took, 2000u) << "Cancel took " << took << " ms";
  EXPECT_TRUE(IsWindow(window)) << "Cancel during a fetch stops the fetch, not the window";
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"vex!Snapdeck.exe")));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"tmp!Snapdeck.exe")));
  PressKey(window, VK_ESCAPE);
  ASSERT_TRUE(p.WaitWindowGone(kUpdateTitle));
  EndWithEsc(p, main);
}

}  // namespace
}  // namespace e2e

// The WinINet transport against the local test server
// (tools/http_test_server.py), whose port tools/test.sh passes in
// SNAPDECK_TEST_HTTP_PORT.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/handles_win32.h"
#include "tests/support/temp_folder.h"
#include "update/http_wininet_win32.h"
#include "update/update_address.h"
#include "update/update_system_win32.h"

namespace snapdeck::win32 {
namespace {

using Calls = std::vector<std::pair<int, int>>;

std::u16string ServerPort() {
  wchar_t port[16] = {};
  GetEnvironmentVariableW(L"SNAPDECK_TEST_HTTP_PORT", port, 16);
  return FromWide(port);
}

struct Fetched {
  std::u16string result;
  FetchedBody body;
  Calls progress;
  std::string text() const {
    return std::string(body.buffer.begin(), body.buffer.begin() + body.received);
  }
};

class UpdateWinInet : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = ServerPort();
    ASSERT_FALSE(port_.empty()) << "SNAPDECK_TEST_HTTP_PORT is not set (run through tools/test.sh)";
  }
  Fetched Get(const std::u16string& path, const std::u16string& user = u"",
              const std::u16string& password = u"") {
    return GetUrl(u"http://127.0.0.1:" + port_ + path, user, password);
  }
  static Fetched GetUrl(const std::u16string& url, const std::u16string& user = u"",
                        const std::u16string& password = u"") {
    Fetched f;
    std::unique_ptr<HttpTransport> net = MakeWinInetTransport();
    f.result = HttpFetch(*net, url, u"", user, password, f.body, 32,
                         [&](int m, int v) { f.progress.emplace_back(m, v); });
    return f;
  }
  std::u16string port_;
};

TEST_F(UpdateWinInet, BodyWithItsProgressThroughAPortInTheAddress) {
  Fetched f = Get(u"/ok");
  EXPECT_EQ(f.result, u"#ok#");
  EXPECT_EQ(f.text(), "hello, update");
  EXPECT_EQ(f.body.length, 13);
  ASSERT_EQ(f.body.buffer.size(), 15u);
  EXPECT_EQ(
      f.progress,
      (Calls{
          {100, 10}, {100, 20}, {100, 30}, {100, 40}, {100, 50}, {100, 60}, {100, 0}, {13, 13}}));

  Fetched big = Get(u"/bytes?n=300000");
  EXPECT_EQ(big.result, u"#ok#");
  ASSERT_EQ(big.body.received, 300000);
  bool pattern = true;
  for (int i = 0; i < 300000; ++i) pattern = pattern && big.body.buffer[i] == (i & 255);
  EXPECT_TRUE(pattern);
  ASSERT_GT(big.progress.size(), 7u);
  for (std::size_t i = 8; i < big.progress.size(); ++i) {
    const int step = big.progress[i].second - big.progress[i - 1].second;
    EXPECT_TRUE(step > 0 && step <= 64) << "call " << i << " moved by " << step;
  }
  EXPECT_EQ(big.progress.back(), (std::pair<int, int>{300000, 300000}));
}

TEST_F(UpdateWinInet, AnswersWithoutABodyAndFailedStatuses) {
  EXPECT_EQ(Get(u"/nolength").result, u"*Empty document*");
  EXPECT_EQ(Get(u"/empty").result, u"*Empty document*");
  EXPECT_EQ(Get(u"/missing").result, u"*not found*; 404");
  EXPECT_EQ(Get(u"/gateway").result, u"*gateway timeout*; 504");
  Fetched missing = Get(u"/missing");
  EXPECT_TRUE(missing.body.buffer.empty());
  EXPECT_EQ(missing.progress.back(), (std::pair<int, int>{100, 50}));
}

TEST_F(UpdateWinInet, UnauthorizedUntilTheCredentialsAreGiven) {
  EXPECT_EQ(Get(u"/auth").result, u"*unauthorized*; 401");
  EXPECT_EQ(Get(u"/auth", u"ann", u"wrong").result, u"*unauthorized*; 401");
  Fetched f = Get(u"/auth", u"ann", u"secret");
  EXPECT_EQ(f.result, u"#ok#");
  EXPECT_EQ(f.text(), "welcome");
}

TEST_F(UpdateWinInet, BodiesLongerOrShorterThanAnnouncedOrCutOff) {
  Fetched longer = Get(u"/long");
  EXPECT_EQ(longer.result, u"#ok#");
  EXPECT_EQ(longer.text(), "0123456789");
  ASSERT_EQ(longer.body.buffer.size(), 12u);
  EXPECT_EQ(longer.body.buffer[10], 0);

  Fetched shorter = Get(u"/short");
  EXPECT_EQ(shorter.result, u"#ok#");
  EXPECT_EQ(shorter.body.length, 100);
  EXPECT_EQ(shorter.body.received, 40);

  Fetched cut = Get(u"/midway");
  EXPECT_TRUE(cut.result == u"#ok#" || cut.result == u"*InternetReadFile* 0")
      << Utf16ToUtf8(cut.result);
  EXPECT_EQ(cut.body.length, 100000);
  EXPECT_LT(cut.body.received, 100000);
  EXPECT_GE(cut.body.received, 0);
}

TEST_F(UpdateWinInet, NoServerAtTheAddress) {
  // Port 1 (tcpmux) has no listener on a test machine.
  Fetched f = GetUrl(u"http://127.0.0.1:1/sd/vex!.utx");
  EXPECT_EQ(f.result, u"*HTTPSendRequest failed*");
  EXPECT_EQ(GetUrl(u"http://127.0.0.1:99999/x").result, u"*HTTPSession failed*");
  // The built-in address until updates are published: a reserved name that never resolves.
  EXPECT_EQ(GetUrl(UpdateInfoUrl(u"")).result, u"*HTTPSendRequest failed*");
}

TEST(UpdateSystemWin32, Sha256FromTheSystem) {
  const std::string abc = "abc";
  auto digest = SystemSha256(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size());
  ASSERT_TRUE(digest.has_value());
  const Sha256Digest expected =
      *ParseSha256Hex(u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(*digest, expected);
  auto empty = SystemSha256(nullptr, 0);
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(*empty,
            *ParseSha256Hex(u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
}

TEST(UpdateSystemWin32, FileHeldForWritingIsNotAccessibleUntilReleased) {
  const testing::TempFolder folder("snapdeck-update");
  const std::wstring path = (folder.path() / "held-update-test.bin").wstring();
  std::unique_ptr<UpdateSystem> system = MakeWin32UpdateSystem();
  {
    UniqueHandle holder(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(system->openReadWrite(FromWide(path.c_str())));
  }
  EXPECT_TRUE(system->openReadWrite(FromWide(path.c_str())));
  EXPECT_TRUE(system->moveFile(FromWide(path.c_str()), FromWide((path + L"2").c_str())));
  EXPECT_TRUE(system->deleteFile(FromWide((path + L"2").c_str())));
}

}  // namespace
}  // namespace snapdeck::win32

#include <gtest/gtest.h>

#include "tests/support/update_fakes.h"
#include "update/http_fetch.h"
#include "update/url_parts.h"

namespace snapdeck::testing {
namespace {

using Calls = std::vector<std::pair<int, int>>;

struct Fetch {
  std::u16string result;
  FetchedBody body;
  Calls progress;
};

Fetch FetchWith(HttpScript& script,
                const std::u16string& url = u"http://updates.test/sd/vex!.utx") {
  Fetch f;
  ScriptedTransport net(script);
  f.result = HttpFetch(net, url, u"", u"ann", u"pw", f.body, 32,
                       [&](int m, int v) { f.progress.emplace_back(m, v); });
  return f;
}

// A body (two bytes unless given) under this Content-Length header ("" when missing).
HttpScript BodyAnnouncedAs(const std::u16string& contentLength,
                           std::vector<std::uint8_t> body = {1, 2}) {
  HttpScript s = Answer(std::move(body));
  s.contentLength = contentLength;
  return s;
}

TEST(UpdateUrl, SchemeDecidesSecurityAndAWrittenPortIsTheConnectionPort) {
  UrlParts https = SplitUrl(u"https://updates.example/sd/vex!.utx");
  EXPECT_EQ(https.host, u"updates.example");
  EXPECT_EQ(https.port, 443);
  EXPECT_TRUE(https.secure);
  EXPECT_EQ(https.path, u"/sd/vex!.utx");

  UrlParts http = SplitUrl(u"http://updates.example/sd/vex!.utx");
  EXPECT_EQ(http.port, 0);
  EXPECT_FALSE(http.secure);

  UrlParts local = SplitUrl(u"http://127.0.0.1:8765/doc?x=1");
  EXPECT_EQ(local.host, u"127.0.0.1");
  EXPECT_EQ(local.port, 8765);
  EXPECT_EQ(local.path, u"/doc?x=1");
  EXPECT_EQ(SplitUrl(u"https://h:8443/a").port, 8443);
  EXPECT_EQ(SplitUrl(u"http://[::1]:81/a").host, u"[::1]");
  EXPECT_EQ(SplitUrl(u"http://[::1]:81/a").port, 81);
  EXPECT_EQ(SplitUrl(u"http://h:/a").port, 0);
  EXPECT_EQ(SplitUrl(u"http://h:99999/a").port, -1);
  EXPECT_EQ(SplitUrl(u"http://h:8x/a").port, -1);
}

TEST(UpdateUrl, PathIsWhatRemainsWithSchemeAndHostRemovedIgnoringCase) {
  EXPECT_EQ(SplitUrl(u"HTTP://Updates.Example/A/b").path, u"/A/b");
  EXPECT_EQ(SplitUrl(u"http://h/x/HTTP://H/y").path, u"/x//y");
  EXPECT_EQ(SplitUrl(u"http://h").path, u"");
}

TEST(UpdateFetchStatus, NumberAfterTheSemicolonOfAFailure) {
  EXPECT_EQ(FetchStatus(u"*unauthorized*; 401"), 401);
  EXPECT_EQ(FetchStatus(u"*not found*; \t404"), 404);
  EXPECT_EQ(FetchStatus(u"*HTTPSession failed*"), -1);
  EXPECT_EQ(FetchStatus(u"*other*; "), -1);
  EXPECT_EQ(FetchStatus(u"*other*; 0"), -1);
  EXPECT_EQ(FetchStatus(u""), 0);
  EXPECT_EQ(FetchStatus(u"#ok#"), 0);
  EXPECT_EQ(FetchStatus(u"some; 401"), 0);
  EXPECT_EQ(FetchStatus(u"*other*; 99999999999999999999999"), 2147483647);
}

TEST(UpdateFetch, BodyArrivesInChunksWithProgressAndATerminatingZero) {
  std::vector<std::uint8_t> bytes(150);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
  HttpScript s = Answer(bytes);
  Fetch f = FetchWith(s, u"https://Updates.Test:8443/sd/vex!.utx");
  EXPECT_EQ(f.result, u"#ok#");
  EXPECT_EQ(s.host, u"Updates.Test");
  EXPECT_EQ(s.port, 8443);
  EXPECT_TRUE(s.secure);
  EXPECT_EQ(s.path, u"/sd/vex!.utx");
  EXPECT_EQ(s.userName, u"ann");
  EXPECT_EQ(s.password, u"pw");
  EXPECT_TRUE(s.closed);
  EXPECT_EQ(f.progress, (Calls{{100, 10},
                               {100, 20},
                               {100, 30},
                               {100, 40},
                               {100, 50},
                               {100, 60},
                               {100, 0},
                               {150, 64},
                               {150, 128},
                               {150, 150}}));
  EXPECT_EQ(s.readSizes, (std::vector<std::size_t>{64, 64, 64}));
  EXPECT_EQ(f.body.length, 150);
  EXPECT_EQ(f.body.received, 150);
  ASSERT_EQ(f.body.buffer.size(), 152u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), f.body.buffer.begin()));
  EXPECT_EQ(f.body.buffer[150], 0);
  EXPECT_EQ(f.body.buffer[151], 0);
}

TEST(UpdateFetch, ShortBodyEndsAtTheLastReadAndNoDataGivesTheEmptyText) {
  HttpScript shortBody = BodyAnnouncedAs(u"100", std::vector<std::uint8_t>(70, 0x41));
  Fetch f = FetchWith(shortBody);
  EXPECT_EQ(f.result, u"#ok#");
  EXPECT_EQ(f.body.length, 100);
  EXPECT_EQ(f.body.received, 70);
  EXPECT_EQ(f.body.buffer[70], 0);
  EXPECT_EQ(f.body.buffer[71], 0);

  HttpScript nothing = BodyAnnouncedAs(u"10", {});
  Fetch g = FetchWith(nothing);
  EXPECT_EQ(g.result, u"");
  EXPECT_EQ(g.body.length, 10);
  EXPECT_EQ(g.body.buffer.size(), 12u);
  EXPECT_EQ(g.progress.back(), (std::pair<int, int>{100, 0}));
}

TEST(UpdateFetch, SurplusBeyondContentLengthIsNeitherReadNorWritten) {
  HttpScript s = BodyAnnouncedAs(u"100", std::vector<std::uint8_t>(1000, 0x5A));
  Fetch f = FetchWith(s);
  EXPECT_EQ(f.result, u"#ok#");
  EXPECT_EQ(f.body.received, 100);
  ASSERT_EQ(f.body.buffer.size(), 102u);
  EXPECT_EQ(f.body.buffer[99], 0x5A);
  EXPECT_EQ(f.body.buffer[100], 0);
  EXPECT_EQ(s.readSizes.size(), 2u);
}

TEST(UpdateFetch, FailedReadReplacesTheOkText) {
  HttpScript s = Answer(std::vector<std::uint8_t>(200, 1));
  s.failAtRead = 1;
  Fetch f = FetchWith(s);
  EXPECT_EQ(f.result, u"*InternetReadFile* 0");
  EXPECT_EQ(f.body.received, 64);
}

TEST(UpdateFetch, StatusAndLengthFailuresLeaveTheBodyUnwritten) {
  const std::pair<HttpScript, std::u16string> cases[] = {
      {StatusAnswer(u"401"), u"*unauthorized*; 401"},
      {StatusAnswer(u"404"), u"*not found*; 404"},
      {StatusAnswer(u"504"), u"*gateway timeout*; 504"},
      {StatusAnswer(u"500"), u"*other*; 500"},
      {StatusAnswer(u""), u"*other*; "},
      {Answer({}), u"*Empty document*"},
      {BodyAnnouncedAs(u""), u"*Empty document*"},
      {BodyAnnouncedAs(u"-5"), u"*invalid Content-Length* -5"},
      {BodyAnnouncedAs(u"12abc"), u"*invalid Content-Length* 12abc"},
      {BodyAnnouncedAs(u" 67108865"), u"*Content-Length too large* 67108865"},
      {BodyAnnouncedAs(u"99999999999999999999999"),
       u"*Content-Length too large* 99999999999999999999999"},
  };
  for (auto [script, expected] : cases) {
    Fetch f = FetchWith(script);
    EXPECT_EQ(f.result, expected);
    EXPECT_TRUE(f.body.buffer.empty()) << "for " << f.body.length;
    EXPECT_EQ(f.body.length, 0);
    EXPECT_TRUE(script.readSizes.empty());
  }
}

TEST(UpdateFetch, EachFailingStepHasItsTextAndStopsTheProgress) {
  HttpScript noSession;
  noSession.openOk = false;
  EXPECT_EQ(FetchWith(noSession).result, u"*InternetSession failed*");
  HttpScript noConnection;
  noConnection.connectOk = false;
  Fetch f = FetchWith(noConnection);
  EXPECT_EQ(f.result, u"*HTTPSession failed*");
  EXPECT_EQ(f.progress, (Calls{{100, 10}, {100, 20}}));
  HttpScript badPort;
  EXPECT_EQ(FetchWith(badPort, u"http://h:70000/x").result, u"*HTTPSession failed*");
  EXPECT_EQ(badPort.port, -2) << "a port that is no port is never connected to";
  HttpScript noRequest;
  noRequest.requestOk = false;
  EXPECT_EQ(FetchWith(noRequest).result, u"*HTTPOpenRequest failed*");
  HttpScript noSend;
  noSend.sendOk = false;
  EXPECT_EQ(FetchWith(noSend).result, u"*HTTPSendRequest failed*");
  EXPECT_TRUE(noSend.closed);
}

}  // namespace
}  // namespace snapdeck::testing

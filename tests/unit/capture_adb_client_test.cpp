#include <gtest/gtest.h>

#include <thread>

#include "capture/adb_client.h"
#include "capture/phone_link.h"
#include "imaging/draw.h"
#include "platform/text.h"
#include "tests/support/capture_fakes.h"
#include "tests/support/pictures.h"

namespace snapdeck::testing {
namespace {

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s += static_cast<char>(b);
  return s;
}

struct AdbRig {
  FakeClock clock;
  FakeAdbServer server{clock};
  AdbClient client{server, clock, 5037};

  std::vector<PhoneEntry> phones;
  AdbStatus list() { return client.listPhones(phones, 2000); }
  DecodeResult shot(const std::string& serial = "R58M") {
    return client.screenshot(serial, 5000, nullptr);
  }
  FakeAdbServer::Phone& phone(const std::string& serial = "R58M") { return server.phones[serial]; }
};

TEST(AdbClient, HostAnswers) {
  AdbRig rig;
  rig.phone("emulator-5554");
  AdbStatus st = rig.list();
  ASSERT_TRUE(st.ok()) << st.message;
  EXPECT_EQ(rig.server.requests, std::vector<std::string>{"host:devices-l"});
  ASSERT_EQ(rig.phones.size(), 1u);
  EXPECT_EQ(rig.phones[0].serial, "emulator-5554");
  EXPECT_EQ(rig.phones[0].model, "Pixel_Sim");
  EXPECT_EQ(HostRequest("host:devices-l"), "000ehost:devices-l");

  // FAIL carries the server's message.
  rig.server.listAnswer = "FAIL000dno such thing";
  st = rig.list();
  EXPECT_EQ(st.outcome, AdbOutcome::Failed);
  EXPECT_EQ(st.message, "no such thing");

  // A length that promises more than comes, less than comes or is no number, an
  // answer closed before it began or cut short: none is trusted, nothing is listed.
  for (const char* answer :
       {"OKAY0040R58M device\n", "OKAY0004R58M device\n", "OKAYzz10R58M device\n", "", "OK"}) {
    SCOPED_TRACE(answer);
    rig.server.listAnswer = answer;
    st = rig.list();
    EXPECT_EQ(st.outcome, AdbOutcome::Failed);
    EXPECT_TRUE(rig.phones.empty());
  }
  EXPECT_EQ(st.message, "answer cut short");
  rig.server.listAnswer = "";
  EXPECT_EQ(rig.list().message, "connection closed");

  // Nothing listening is told apart from a failure.
  rig.server.listening = false;
  EXPECT_EQ(rig.list().outcome, AdbOutcome::NoServer);
}

TEST(AdbClient, DeviceListLines) {
  const std::vector<PhoneEntry> phones = ParseDeviceList(
      "R58M123              device usb:1-1 product:a52 model:SM_A525F device:a52 "
      "transport_id:3\r\n"
      "127.0.0.1:5555\tunauthorized transport_id:2\n"
      "emulator-5556 offline\n"
      "\n"
      "0123456789AB  no permissions (user in plugdev group; are your udev rules wrong?); see "
      "[http://developer.android.com/tools/device.html] usb:1-2 transport_id:4\n"
      "lonely-serial\n"
      "last device model:");
  ASSERT_EQ(phones.size(), 5u);
  EXPECT_EQ(phones[0].serial, "R58M123");
  EXPECT_EQ(phones[0].state, "device");
  EXPECT_EQ(phones[0].model, "SM_A525F");
  EXPECT_EQ(phones[1].serial, "127.0.0.1:5555");
  EXPECT_EQ(phones[1].state, "unauthorized");
  EXPECT_EQ(phones[1].model, "");
  EXPECT_EQ(phones[2].state, "offline");
  EXPECT_EQ(phones[3].serial, "0123456789AB");
  EXPECT_EQ(phones[3].state, "no permissions");
  EXPECT_EQ(phones[3].model, "");
  EXPECT_EQ(phones[4].serial, "last");
  EXPECT_TRUE(ParseDeviceList("").empty());
}

// ADB_SERVER_SOCKET, ANDROID_ADB_SERVER_ADDRESS and ANDROID_ADB_SERVER_PORT, read as adb
// reads them; a malformed one names itself and is never replaced by 5037.
TEST(AdbClient, ServerAddressFromTheEnvironment) {
  struct Case {
    std::u16string socket, address, port;
    std::string host;
    int expectedPort;  // 0: malformed
    std::u16string variable;
  };
  const std::vector<Case> cases = {
      {u"", u"", u"", "", 5037, u""},
      {u"", u"", u"15037", "", 15037, u""},
      {u"", u"", u"0x3AAD", "", 15021, u""},
      {u"", u"", u" +15037", "", 15037, u""},
      {u"", u"lab-pc", u"15037", "lab-pc", 15037, u""},
      {u"", u"[::1]", u"", "::1", 5037, u""},
      {u"tcp:6000", u"lab-pc", u"junk", "", 6000, u""},  // the socket wins over both
      {u"tcp:lab-pc:0x10", u"", u"", "lab-pc", 16, u""},
      {u"tcp:[fe80::1]:7000", u"", u"", "fe80::1", 7000, u""},
      {u"", u"", u"70000", "", 0, u"ANDROID_ADB_SERVER_PORT"},
      {u"", u"", u"0", "", 0, u"ANDROID_ADB_SERVER_PORT"},
      {u"", u"", u"50 37", "", 0, u"ANDROID_ADB_SERVER_PORT"},
      {u"", u"", u"0x", "", 0, u"ANDROID_ADB_SERVER_PORT"},
      {u"", u"", u"-5037", "", 0, u"ANDROID_ADB_SERVER_PORT"},
      {u"", u"::1", u"", "", 0, u"ANDROID_ADB_SERVER_ADDRESS"},
      {u"localhost:5037", u"", u"", "", 0, u"ADB_SERVER_SOCKET"},
      {u"tcp:lab-pc", u"", u"", "", 0, u"ADB_SERVER_SOCKET"},
      {u"tcp::5037", u"", u"", "", 0, u"ADB_SERVER_SOCKET"},
      {u"tcp:fe80::1:7000", u"", u"", "", 0, u"ADB_SERVER_SOCKET"},
      {u"tcp:65536", u"", u"", "", 0, u"ADB_SERVER_SOCKET"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.socket + u" | " + c.address + u" | " + c.port));
    const AdbServerSetting s = AdbServerFromEnvironment(c.socket, c.address, c.port);
    EXPECT_EQ(s.variable, c.variable);
    if (c.expectedPort == 0) {
      EXPECT_FALSE(s.ok());
      EXPECT_NE(s.problem.find(u"phones are left out"), std::u16string::npos);
      continue;
    }
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(s.address.host, c.host);
    EXPECT_EQ(s.address.port, c.expectedPort);
  }
  for (const char* local : {"", "localhost", "LocalHost", "127.0.0.1", "127.1.2.3", "::1"}) {
    EXPECT_TRUE(IsLocalAdbServer({local, 5037})) << local;
  }
  for (const char* remote : {"lab-pc", "10.0.0.7", "127.0.0", "127.0.0.256", "128.0.0.1"}) {
    EXPECT_FALSE(IsLocalAdbServer({remote, 5037})) << remote;
  }
}

// Two pixels of every format, and what they must become.
TEST(AdbClient, RawFormatsAndBothHeaderSizes) {
  struct Case {
    std::uint32_t format;
    std::string pixels;
    std::uint32_t first, second;  // BGRA pixel values
  };
  const Case cases[] = {
      {kScreencapRgba8888, Bytes({10, 20, 30, 40, 50, 60, 70, 255}), 0x280A141Eu, 0xFF323C46u},
      {kScreencapRgbx8888, Bytes({10, 20, 30, 0, 50, 60, 70, 9}), 0xFF0A141Eu, 0xFF323C46u},
      {kScreencapRgb888, Bytes({10, 20, 30, 50, 60, 70}), 0xFF0A141Eu, 0xFF323C46u},
      {kScreencapRgb565, Bytes({0x00, 0xF8, 0x10, 0x84}), 0xFFFF0000u, 0xFF848284u},
  };
  // One client for all: each shot's room is sized by the one before it.
  AdbRig rig;
  rig.server.chunk = 3;
  for (const Case& c : cases) {
    for (bool colourSpace : {false, true}) {
      // One pixel a row, so a header of the wrong size would shift the rows.
      rig.phone().services["exec:screencap"] = RawScreencap(1, 2, c.format, c.pixels, colourSpace);
      const DecodeResult r = rig.shot();
      ASSERT_TRUE(r.ok) << c.format << " " << r.error;
      ASSERT_EQ(r.picture.width, 1);
      ASSERT_EQ(r.picture.height, 2);
      EXPECT_EQ(r.picture.pixels[0], c.first) << c.format << " " << colourSpace;
      EXPECT_EQ(r.picture.pixels[1], c.second) << c.format << " " << colourSpace;
      EXPECT_EQ(rig.server.requests.back(), "exec:screencap");
    }
  }
  // A larger screen than the last shot's, converted in several blocks, with and without
  // the colour space word (the rows are turned in place one word off).
  Picture large;
  large.width = 10;
  large.height = 13;
  std::string rgba;
  for (std::uint32_t i = 0; i < 130; ++i) {
    const std::uint32_t v = i * 2654435761u;
    large.pixels.push_back(v);
    rgba += {static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v),
             static_cast<char>(v >> 24)};
  }
  rig.phone().services["exec:screencap"] = RawScreencap(10, 13, kScreencapRgba8888, rgba, false);
  DecodeResult r = rig.shot();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.pixels, large.pixels);
  for (std::uint32_t& v : large.pixels) v |= 0xFF000000u;
  rig.phone().services["exec:screencap"] = RawOfPicture(large);
  r = rig.shot();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.pixels, large.pixels);
}

TEST(AdbClient, BrokenRawStreamsFailTheShot) {
  const std::string pixels = Bytes({1, 2, 3, 4, 5, 6, 7, 8});
  const std::string whole = RawScreencap(2, 1, kScreencapRgba8888, pixels, false);
  const struct {
    std::string stream;
    const char* error;
  } cases[] = {
      {whole.substr(0, whole.size() - 1), "screenshot cut short"},
      {whole.substr(0, 7), "screenshot cut short"},
      {whole + "xx", "screenshot longer than its header says"},
      {whole + "xxxxx", "screenshot longer than its header says"},
  };
  for (const auto& c : cases) {
    AdbRig rig;
    rig.phone().services["exec:screencap"] = c.stream;
    const DecodeResult r = rig.shot();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.error) << c.stream.size();
    EXPECT_EQ(rig.server.requests.back(), "exec:screencap");
  }


  // FAIL on the transport: no second try in another form.
  AdbRig gone;
  const DecodeResult missing = gone.shot("NOSUCH");
  EXPECT_EQ(missing.error, "device 'NOSUCH' not found");
  EXPECT_EQ(gone.server.requests.size(), 1u);
}

TEST(AdbClient, HeaderBeyondTheBudgetIsRefusedBeforeAllocating) {
  // Allocating first would throw or exhaust memory long before any check.
  for (auto [w, h] : {std::pair<std::uint32_t, std::uint32_t>{0xFFFFFFFFu, 0xFFFFFFFFu},
                      {8192, 4097},
                      {8193, 1},
                      {0, 100}}) {
    AdbRig rig;
    rig.phone().services["exec:screencap"] =
        RawScreencap(w, h, kScreencapRgba8888, std::string(64, 'x'), true);
    const DecodeResult r = rig.shot();
    EXPECT_FALSE(r.ok) << w << "x" << h;
    EXPECT_TRUE(r.error == "picture too large" || r.error == "bad picture size") << r.error;
  }
  const std::string big = RawScreencap(8192, 4097, kScreencapRgb565, "", false);
  EXPECT_EQ(DecodeRawScreencap(reinterpret_cast<const std::uint8_t*>(big.data()), big.size()).error,
            "picture too large");
}

TEST(AdbClient, PngWhenTheRawPictureIsNotAvailable) {
  Picture p = MakePicture(3, 2, MakeRgb(10, 200, 30));
  p.at(2, 1) = PixelOf(MakeRgb(250, 1, 2));
  const std::vector<std::uint8_t> png = EncodePng(p);
  const std::string pngBytes(png.begin(), png.end());

  // The raw service refused, and a format we do not convert.
  for (const std::string& raw :
       {std::string("-"), RawScreencap(3, 2, 5, std::string(24, 'x'), true), std::string()}) {
    AdbRig rig;
    if (raw != "-") rig.phone().services["exec:screencap"] = raw;
    rig.phone().services["exec:screencap -p"] = pngBytes;
    rig.server.chunk = 10;
    const DecodeResult r = rig.shot();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(rig.server.requests.back(), "exec:screencap -p");
    ASSERT_EQ(r.picture.width, 3);
    EXPECT_EQ(At(r.picture, 0, 0), MakeRgb(10, 200, 30));
    EXPECT_EQ(At(r.picture, 2, 1), MakeRgb(250, 1, 2));
  }

  // Neither form: a failed shot that says why.
  AdbRig rig;
  rig.phone().services["exec:screencap -p"] = "not a png";
  EXPECT_FALSE(rig.shot().ok);
  rig.phone().services.clear();
  EXPECT_EQ(rig.shot().error, "closed");
}

TEST(AdbClient, ProgressFollowsTheAnnouncedBytes) {
  AdbRig rig;
  rig.phone().services["exec:screencap"] =
      RawScreencap(10, 10, kScreencapRgbx8888, std::string(400, '\x7f'), true);
  rig.server.chunk = 100;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> seen;
  const DecodeResult r =
      rig.client.screenshot("R58M", 5000, [&](std::uint64_t got, std::uint64_t of) {
        seen.push_back({got, of});
      });
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_GE(seen.size(), 4u);
  for (std::size_t k = 1; k < seen.size(); ++k) {
    EXPECT_GE(seen[k].first, seen[k - 1].first);
    EXPECT_EQ(seen[k].second, 412u);
  }
  EXPECT_EQ(seen.back().first, 412u);
}

Picture TwoColours(int w, int h, Rgb a, Rgb b) {
  Picture p = MakePicture(w, h, a);
  p.at(w - 1, h - 1) = PixelOf(b);
  return p;
}

std::string PngBytes(const Picture& p) {
  const std::vector<std::uint8_t> png = EncodePng(p);
  return std::string(png.begin(), png.end());
}

// Text a phone writes before its picture (exec: sends its standard error first) is
// skipped; text with nothing after it is the phone's reason. A phone whose warning speaks
// of several displays has each taken by its id, through the shell protocol v2 when it
// has it (standard error apart, and an exit status).
TEST(AdbClient, LeadingTextAndSeveralDisplays) {
  const Picture first = TwoColours(3, 2, MakeRgb(10, 200, 30), MakeRgb(250, 1, 2));
  const Picture second = TwoColours(4, 5, MakeRgb(90, 80, 70), MakeRgb(1, 2, 3));
  const std::string linker = "WARNING: linker: libfoo.so: unused DT entry\r\n\tmore\n";
  AdbRig rig;
  rig.server.chunk = 7;
  rig.phone().services["exec:screencap"] = linker + RawOfPicture(first);
  DecodeResult r = rig.shot();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.pixels, first.pixels);
  rig.phone().services["exec:screencap"] = "";
  rig.phone().services["exec:screencap -p"] = linker + PngBytes(first);
  r = rig.shot();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 2, 1), MakeRgb(250, 1, 2));
  rig.phone().services["exec:screencap"] = "screencap: cannot   take\nthe screen\n";
  EXPECT_EQ(rig.shot().error, "screencap: cannot take the screen");

  const std::string warning =
      "[Warning] Multiple displays were found, but no display id was specified!\n";
  const std::string displays =
      "Display 4619827259835644672 (HWC display 0): port=0 pnpId=GGL\n"
      "Display 4619827551948147201 (HWC display 1): port=1 pnpId=GGL\n";
  const std::string id1 = "4619827259835644672", id2 = "4619827551948147201";
  for (const bool shellV2 : {true, false}) {
    SCOPED_TRACE(shellV2 ? "shell v2" : "exec");
    AdbRig fold;
    FakeAdbServer::Phone& phone = fold.phone("FOLD");
    phone.services["exec:screencap"] = warning + RawOfPicture(first);
    if (shellV2) {
      phone.features = "cmd,shell_v2,stat_v2";
      phone.services["shell,v2,raw:dumpsys SurfaceFlinger --display-id"] = ShellV2(displays, "", 0);
      phone.services["shell,v2,raw:screencap -d " + id1] =
          ShellV2(RawOfPicture(first), "note: slow panel\n", 0);
      phone.services["shell,v2,raw:screencap -d " + id2] =
          ShellV2("", "Error: display " + id2 + " is off\n", 1);
    } else {
      phone.services["exec:dumpsys SurfaceFlinger --display-id"] = displays;
      phone.services["exec:screencap -d " + id1] = RawOfPicture(first);
      phone.services["exec:screencap -d " + id2] = RawOfPicture(second);
    }
    const PhoneEntry entry{"FOLD", "device", "Fold", "1"};
    for (int round = 0; round < 2; ++round) {
      const std::vector<DisplayShot> shots = fold.client.screenshots(entry, 5000, nullptr);
      ASSERT_EQ(shots.size(), 2u);
      EXPECT_EQ(shots[0].display, 1);
      EXPECT_EQ(shots[1].display, 2);
      ASSERT_TRUE(shots[0].result.ok) << shots[0].result.error;
      EXPECT_EQ(shots[0].result.picture.pixels, first.pixels);
      if (shellV2) {
        EXPECT_FALSE(shots[1].result.ok);
        EXPECT_EQ(shots[1].result.error, "Error: display " + id2 + " is off");
      } else {
        ASSERT_TRUE(shots[1].result.ok) << shots[1].result.error;
        EXPECT_EQ(shots[1].result.picture.pixels, second.pixels);
      }
    }
    // The features are asked once for the transport.
    EXPECT_EQ(std::count(fold.server.requests.begin(), fold.server.requests.end(),
                         "host-transport-id:1:features"),
              1);
  }
  EXPECT_EQ(ParseDisplayIds("Display 1 x\nnot Display 2\nDisplay abc\nDisplay 3\nDisplay 1\n"),
            (std::vector<std::string>{"1", "3"}));
}

std::string Words(std::initializer_list<std::uint32_t> words) {
  std::string out;
  for (std::uint32_t v : words) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((v >> (8 * k)) & 255);
  }
  return out;
}

// Phones before Android 5 have no exec:: their framebuffer, else the shell's PNG with the
// terminal's CR LF turned back into LF.
TEST(AdbClient, OldPhonesWithoutExec) {
  AdbRig rig;
  // Version 1, 32 bits: red at 0, blue at 16, green at 8, alpha at 24.
  rig.phone().services["framebuffer:"] =
      Words({1, 32, 2 * 1 * 4, 2, 1, 0, 8, 16, 8, 8, 8, 24, 8}) + Bytes({10, 20, 30, 255, 1, 2, 3, 4});
  DecodeResult r = rig.shot();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.pixels, (std::vector<std::uint32_t>{0xFF0A141Eu, 0x04010203u}));
  EXPECT_EQ(rig.server.requests.back(), "framebuffer:");
  // Version 2 adds the colour space; 16 bits of 565, no alpha.
  rig.phone().services["framebuffer:"] =
      Words({2, 16, 1, 2, 1, 1, 11, 5, 0, 5, 5, 6, 0, 0}) + Bytes({0x00, 0xF8});
  r = rig.shot();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.pixels, std::vector<std::uint32_t>{0xFFFF0000u});
  const std::string cut = Words({1, 32, 8, 2, 1, 0, 8, 16, 8, 8, 8, 24, 8}) + "abc";
  EXPECT_EQ(DecodeFramebuffer(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size()).error,
            "screenshot cut short");

  // No framebuffer service either: the shell, whose terminal made every LF a CR LF.
  const Picture p = TwoColours(5, 3, MakeRgb(13, 10, 10), MakeRgb(10, 13, 200));
  std::string crlf;
  for (char c : PngBytes(p)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  rig.phone().services.clear();
  rig.phone().services["shell:screencap -p"] = crlf;
  r = rig.shot();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(At(r.picture, 4, 2), MakeRgb(10, 13, 200));
  EXPECT_EQ(rig.server.requests.back(), "shell:screencap -p");
}

// The listing's transport ids address phones that share a serial.
TEST(AdbClient, PhonesSharingASerialAreAddressedByTransport) {
  const Picture a = MakePicture(2, 2, MakeRgb(1, 2, 3));
  const Picture b = MakePicture(2, 2, MakeRgb(4, 5, 6));
  AdbRig rig;
  rig.server.phones["a"].serial = rig.server.phones["b"].serial = "0123456789ABCDEF";
  rig.server.phones["a"].services["exec:screencap"] = RawOfPicture(a);
  rig.server.phones["b"].services["exec:screencap"] = RawOfPicture(b);
  ASSERT_TRUE(rig.list().ok());
  ASSERT_EQ(rig.phones.size(), 2u);
  EXPECT_EQ(rig.phones[1].transportId, "2");
  const std::vector<DisplayShot> shots = rig.client.screenshots(rig.phones[1], 5000, nullptr);
  ASSERT_EQ(shots.size(), 1u);
  ASSERT_TRUE(shots[0].result.ok) << shots[0].result.error;
  EXPECT_EQ(shots[0].result.picture.pixels, b.pixels);
  EXPECT_EQ(rig.server.requests[rig.server.requests.size() - 2], "host:transport-id:2");
  // By serial the server cannot choose; without a transport id the serial is all we have.
  EXPECT_EQ(rig.shot("0123456789ABCDEF").error, "more than one device with serial 0123456789ABCDEF");
  EXPECT_EQ(TransportService({"R58M", "device", "", ""}), "host:transport:R58M");
}

// Phones are taken side by side through one client, each on its own thread: a phone's
// kept room and features are its own, whatever the other thread does meanwhile.
TEST(AdbClient, TwoPhonesOnTwoThreadsAtOnce) {
  const Picture small = TwoColours(30, 20, MakeRgb(1, 2, 3), MakeRgb(4, 5, 6));
  const Picture large = TwoColours(20, 50, MakeRgb(7, 8, 9), MakeRgb(10, 11, 12));
  AdbRig rig;
  rig.server.chunk = 100;  // many reads each, so the threads interleave
  rig.phone("A").services["exec:screencap"] = RawOfPicture(small);
  // A foldable: its features are asked and kept while the other phone's room is.
  FakeAdbServer::Phone& fold = rig.phone("B");
  fold.features = "shell_v2";
  fold.services["exec:screencap"] = "Multiple displays were found\n" + RawOfPicture(small);
  fold.services["shell,v2,raw:dumpsys SurfaceFlinger --display-id"] =
      ShellV2("Display 1 (HWC display 0)\nDisplay 2 (HWC display 1)\n", "", 0);
  fold.services["shell,v2,raw:screencap -d 1"] = ShellV2(RawOfPicture(large), "", 0);
  fold.services["shell,v2,raw:screencap -d 2"] = ShellV2(RawOfPicture(small), "", 0);
  ASSERT_TRUE(rig.list().ok());
  ASSERT_EQ(rig.phones.size(), 2u);

  constexpr int kRounds = 20;
  std::vector<std::vector<DisplayShot>> got[2];
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < kRounds; ++k) {
        got[t].push_back(rig.client.screenshots(rig.phones[t], 5000, nullptr));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int k = 0; k < kRounds; ++k) {
    ASSERT_EQ(got[0][k].size(), 1u);
    ASSERT_TRUE(got[0][k][0].result.ok) << got[0][k][0].result.error;
    EXPECT_EQ(got[0][k][0].result.picture.pixels, small.pixels);
    ASSERT_EQ(got[1][k].size(), 2u);
    ASSERT_TRUE(got[1][k][0].result.ok) << got[1][k][0].result.error;
    EXPECT_EQ(got[1][k][0].result.picture.pixels, large.pixels);
    EXPECT_EQ(got[1][k][1].result.picture.pixels, small.pixels);
  }
  EXPECT_EQ(std::count(rig.server.requests.begin(), rig.server.requests.end(),
                       "host-transport-id:2:features"),
            1);
}

// A transfer fails when no byte comes for the idle limit, however long it runs while
// bytes come; a network phone whose raw picture timed out is tried with the PNG.
TEST(AdbClient, IdleLimit) {
  const std::string whole = RawOfPicture(MakePicture(50, 100, MakeRgb(9, 8, 7)));
  AdbRig rig;
  rig.phone().services["exec:screencap"] = whole;
  rig.server.chunk = 1000;
  rig.server.msPerChunk = 1000;  // 20 s for the picture, 1 s between pieces
  DecodeResult r = rig.client.screenshot("R58M", 3000, nullptr);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_GT(rig.clock.now, 15000u);

  rig.phone().services["exec:screencap"] = whole.substr(0, 5000);
  rig.phone().stalls = {"exec:screencap"};
  rig.server.msPerChunk = 0;
  rig.phone().services["exec:screencap -p"] = PngBytes(MakePicture(2, 2, MakeRgb(1, 1, 1)));
  const std::uint64_t start = rig.clock.now;
  r = rig.client.screenshot("R58M", 3200, nullptr);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "timed out after 3.2 s");
  EXPECT_EQ(rig.clock.now - start, 3200u);
  EXPECT_EQ(rig.server.requests.back(), "exec:screencap");

  rig.server.phones["10.0.0.5:5555"] = rig.phone();
  r = rig.client.screenshot("10.0.0.5:5555", 3000, nullptr);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.width, 2);
  EXPECT_EQ(rig.server.requests.back(), "exec:screencap -p");
  EXPECT_EQ(TimedOutText(3000), "timed out after 3 s");
}

TEST(PhoneLink, StartsALocalServerOnceWhenAdbIsFound) {
  FakeClock clock;
  MemoryFiles files;
  FakeTool runner{clock, files};
  FakeAdbServer server{clock};
  server.listening = false;
  AdbPlaces places;
  places.programDir = u"C:\\prog\\";
  places.loaderDir = u"C:\\tool";
  places.path = u"C:\\a;\"C:\\b c\";;";
  places.androidHome = u"D:\\sdk";
  places.androidSdkRoot = u"E:\\old sdk\\";
  places.localAppData = u"C:\\Users\\u\\AppData\\Local";
  const std::vector<std::u16string> candidates = AdbCandidates(places);
  EXPECT_EQ(candidates,
            (std::vector<std::u16string>{
                u"C:\\prog\\adb.exe", u"C:\\tool\\adb.exe", u"C:\\a\\adb.exe", u"C:\\b c\\adb.exe",
                u"D:\\sdk\\platform-tools\\adb.exe", u"E:\\old sdk\\platform-tools\\adb.exe",
                u"C:\\Users\\u\\AppData\\Local\\Android\\Sdk\\platform-tools\\adb.exe"}));
  PhoneLink link(server, clock, runner, files, 15037, candidates);
  std::vector<PhoneEntry> phones;

  // No server and no adb.exe: no phones, nothing run.
  EXPECT_FALSE(link.available());
  EXPECT_EQ(link.listPhones(phones, 1000, 5000).outcome, AdbOutcome::NoServer);
  EXPECT_TRUE(runner.started.empty());
  EXPECT_FALSE(link.adbThere());

  files.files[u"D:\\sdk\\platform-tools\\adb.exe"] = {'M', 'Z'};
  EXPECT_TRUE(link.available());
  EXPECT_TRUE(link.adbThere());
  EXPECT_EQ(link.listPhones(phones, 1000, 5000).outcome, AdbOutcome::NoServer);
  EXPECT_EQ(runner.exePaths, std::vector<std::u16string>{u"D:\\sdk\\platform-tools\\adb.exe"});
  // Started outside the run's job, on the port looked at.
  EXPECT_EQ(runner.detached, std::vector<std::u16string>{u"-P 15037 start-server"});
  // Once per program run, even when it did not help.
  EXPECT_EQ(link.listPhones(phones, 1000, 5000).outcome, AdbOutcome::NoServer);
  EXPECT_EQ(runner.started.size(), 1u);

  server.listening = true;
  server.phones["R58M"];
  ASSERT_TRUE(link.listPhones(phones, 1000, 5000).ok());
  EXPECT_EQ(phones.size(), 1u);
  EXPECT_TRUE(server.hosts.empty());  // loopback, its own fast way

  // A lab's server elsewhere is reached by its name and never started, not even with
  // adb.exe at hand; at start it counts as there without being asked.
  FakeTool labRunner{clock, files};
  PhoneLink lab(server, clock, labRunner, files, AdbServerAddress("lab-pc", 5037), candidates);
  server.listening = false;
  EXPECT_TRUE(lab.available());
  EXPECT_TRUE(server.hosts.empty());
  EXPECT_EQ(lab.listPhones(phones, 1000, 5000).outcome, AdbOutcome::NoServer);
  EXPECT_TRUE(labRunner.started.empty());
  server.listening = true;
  ASSERT_TRUE(lab.listPhones(phones, 1000, 5000).ok());
  EXPECT_EQ(phones.size(), 1u);
  EXPECT_EQ(server.hosts, (std::vector<std::string>{"lab-pc", "lab-pc"}));
}

}  // namespace
}  // namespace snapdeck::testing

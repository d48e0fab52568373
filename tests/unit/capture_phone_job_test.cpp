#include <gtest/gtest.h>

#include "capture/capture_job.h"
#include "capture/detection.h"
#include "capture_fakes.h"
#include "imaging/draw.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "tests/support/pictures.h"

namespace snapdeck::testing {
namespace {

constexpr Rgb kPhoneTop = MakeRgb(10, 120, 230);
constexpr Rgb kPhoneBottom = MakeRgb(200, 100, 0);

// 60 x 100: the upper half one colour, the lower half another.
Picture PhoneScreen() {
  Picture p = MakePicture(60, 100, kPhoneTop);
  for (int y = 50; y < 100; ++y) {
    for (int x = 0; x < 60; ++x) p.at(x, y) = PixelOf(kPhoneBottom);
  }
  return p;
}

void AddPhone(CaptureRig& rig, const std::string& serial, const std::string& state = "device") {
  FakeAdbServer::Phone& phone = rig.adb.phones[serial];
  phone.state = state;
  phone.services["exec:screencap"] = RawOfPicture(PhoneScreen());
}

TEST(PhoneCapture, HandheldAndPhoneSideBySide) {
  CaptureRig rig;
  rig.withPhones(true);
  AddPhone(rig, "127.0.0.1:5555");
  rig.host.answers = {20};  // the handheld's password prompt
  const CaptureResult result = CaptureJob(rig.ctx);

  EXPECT_EQ(result.saved, 2);
  EXPECT_EQ(rig.host.questions.size(), 1u);  // no password is asked for the phone
  EXPECT_EQ(rig.host.pinBox.back(), std::make_pair(false, true));
  const Picture handheld = Saved(rig, u"C:\\shots\\0x2100000A-snapdeck.png");
  const Picture phone = Saved(rig, u"C:\\shots\\127_0_0_1_5555-snapdeck.png");
  ASSERT_EQ(handheld.width, 242);
  ASSERT_EQ(phone.width, 62);
  ASSERT_EQ(phone.height, 102);
  EXPECT_EQ(At(phone, 0, 0), kFrame);
  EXPECT_EQ(At(phone, 1, 1), kPhoneTop);
  EXPECT_EQ(At(phone, 60, 100), kPhoneBottom);

  const Picture* composed = rig.host.lastClip();
  ASSERT_NE(composed, nullptr);
  ASSERT_EQ(composed->width, 2 * 242);
  ASSERT_EQ(composed->height, 162);
  EXPECT_EQ(At(*composed, 1, 1), kRed);
  EXPECT_EQ(At(*composed, 243, 1), kPhoneTop);
  EXPECT_EQ(At(*composed, 243, 100), kPhoneBottom);
  EXPECT_TRUE(rig.session.deviceSessionReady);

  // The next shot lists the phones again but not the handhelds.
  rig.adb.phones.clear();
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.tool.count(u"enum"), 1);
  EXPECT_EQ(rig.session.count, 1);
  EXPECT_EQ(rig.host.pinBox.back(), std::make_pair(true, false));

  // The server gone, the slot a phone had is a handheld's again.
  AddPhone(rig, "127.0.0.1:5555");
  ASSERT_TRUE(CaptureJob(rig.ctx).devices.at(1).phone);
  rig.adb.listening = false;
  rig.session.deviceSessionReady = false;
  rig.tool.devices = {{"0x2100000A", u""}, {"0x2100000B", u""}};
  rig.tool.bitmaps = {PatternBmp(240, 160, false), PatternBmp(100, 50, false)};
  rig.tool.shots = 0;
  rig.host.answers = {20};
  CaptureJob(rig.ctx);
  EXPECT_EQ(Saved(rig, u"C:\\shots\\0x2100000B-snapdeck.png").width, 102);
}

TEST(PhoneCapture, PreviewBeyondTheScreenIsShownShrunk) {
  CaptureRig rig;
  rig.withPhones(true);
  AddPhone(rig, "127.0.0.1:5555");
  rig.host.answers = {20};
  rig.ctx.maxPreviewWidth = 1000;
  rig.ctx.maxPreviewHeight = 1000;
  CaptureJob(rig.ctx);
  const Picture* status = rig.pictures.find(id::kPicStatus);
  ASSERT_NE(status, nullptr);
  const int fullW = status->width;
  const int fullH = status->height;
  EXPECT_EQ(rig.settings.width, fullW);  // within the bound: as before
  EXPECT_EQ(rig.settings.height, fullH);

  rig.ctx.maxPreviewWidth = fullW / 2;
  rig.ctx.maxPreviewHeight = fullH;
  CaptureJob(rig.ctx);
  status = rig.pictures.find(id::kPicStatus);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->width, fullW / 2);
  EXPECT_EQ(status->height, fullH * (fullW / 2) / fullW);
  EXPECT_EQ(rig.settings.width, status->width);
  EXPECT_EQ(rig.settings.height, status->height);
  // The window shows the framed previews shrunk; files and clipboard keep every pixel.
  const Picture* composed = rig.host.lastClip();
  ASSERT_NE(composed, nullptr);
  EXPECT_EQ(composed->width, 2 * 242);
  EXPECT_EQ(Saved(rig, u"C:\\shots\\127_0_0_1_5555-snapdeck.png").height, 102);
}

TEST(PhoneCapture, PhoneStates) {
  CaptureRig rig;
  rig.withPhones(false);
  AddPhone(rig, "A1");
  AddPhone(rig, "B2", "unauthorized");
  AddPhone(rig, "C3", "offline");
  AddPhone(rig, "D4", "no permissions");
  AddPhone(rig, "E5");
  AddPhone(rig, "F6");
  rig.settings.sound = 1;
  const CaptureResult result = CaptureJob(rig.ctx);

  // No loader, so no handheld is looked for and nothing asks about one.
  EXPECT_TRUE(rig.tool.started.empty());
  ASSERT_EQ(rig.host.questions.size(), 1u);
  const std::u16string& text = rig.host.questions[0].message;
  EXPECT_EQ(rig.host.questions[0].kind, id::kKindWarning);
  EXPECT_NE(text.find(u"B2"), std::u16string::npos);
  EXPECT_NE(text.find(u"USB debugging"), std::u16string::npos);
  EXPECT_NE(text.find(u"again"), std::u16string::npos);

  EXPECT_EQ(rig.session.count, 0);
  ASSERT_EQ(result.devices.size(), 5u);
  EXPECT_TRUE(rig.files.files.count(u"C:\\shots\\A1-snapdeck.png"));
  EXPECT_TRUE(rig.files.files.count(u"C:\\shots\\E5-snapdeck.png"));
  EXPECT_TRUE(rig.files.files.count(u"C:\\shots\\F6-snapdeck.png"));
  EXPECT_FALSE(rig.files.files.count(u"C:\\shots\\C3-snapdeck.png"));
  // The offline and unpermitted phones keep failed places between the good ones. A
  // phone's start sound plays as its transfer begins, before any is finished.
  EXPECT_EQ(rig.host.sounds, (std::vector<int>{4, 4, 4, 5, 5}));
  const Picture* composed = rig.host.lastClip();
  ASSERT_NE(composed, nullptr);
  EXPECT_EQ(composed->width, 5 * 62);
  EXPECT_EQ(At(*composed, 1, 1), kPhoneTop);
  EXPECT_EQ(At(*composed, 62 * 3 + 1, 1), kPhoneTop);
  EXPECT_EQ(At(*composed, 62 + 1, 1), MakeRgb(0x22, 0x22, 0x33));
  EXPECT_FALSE(rig.session.deviceSessionReady);

  // Only an unauthorized phone: the requester, then no device.
  CaptureRig alone;
  alone.withPhones(true);
  AddPhone(alone, "B2", "unauthorized");
  alone.adb.phones["B2"].model = "";
  alone.tool.devices.clear();
  alone.host.answers = {21, 21};
  CaptureJob(alone.ctx);
  EXPECT_EQ(alone.lastCaption(), u" no device detected! ");
  ASSERT_EQ(alone.host.questions.size(), 1u);
  EXPECT_NE(alone.host.questions[0].message.find(u"B2"), std::u16string::npos);
}

TEST(PhoneCapture, BrokenPhonePictureFailsItsSlotOnly) {
  CaptureRig rig;
  rig.withPhones(false);
  AddPhone(rig, "A1");
  rig.adb.phones["A1"].services["exec:screencap"].resize(100);
  rig.settings.sound = 1;
  const CaptureResult result = CaptureJob(rig.ctx);
  EXPECT_EQ(result.saved, 0);
  EXPECT_EQ(rig.lastCaption(), u" shot failed! ");
  EXPECT_EQ(rig.host.sounds, (std::vector<int>{4, 5}));
  EXPECT_EQ(rig.host.shown.back().width, 322);
  EXPECT_EQ(rig.host.lastClip(), nullptr);

  // The progress bar follows the bytes of a good transfer, at most a frame in 16 ms.
  for (std::uint64_t ms : {20, 4}) {
    CaptureRig good;
    good.withPhones(false);
    AddPhone(good, "A1");
    good.adb.chunk = 2400;  // 10 pieces
    good.adb.msPerChunk = ms;
    CaptureJob(good.ctx);
    std::vector<double> drawn;
    for (double v : good.host.progress) {
      if (v > 0 && v < 100) drawn.push_back(v);
    }
    EXPECT_EQ(drawn.size(), ms == 20 ? 9u : 2u) << ms;
    EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end()));
    EXPECT_EQ(good.host.progress.back(), 0);  // the job's end clears it
  }
}

// After the shot one report names every phone that failed or came out black, each with
// its own reason; a black picture is still saved. A shot where all went well tells nothing.
TEST(PhoneCapture, EveryFailedOrBlackPhoneIsToldWithItsReason) {
  CaptureRig rig;
  rig.withPhones(false);
  AddPhone(rig, "A1");
  AddPhone(rig, "B2");
  rig.adb.phones["B2"].services["exec:screencap"] = RawOfPicture(MakePicture(60, 100, 0));
  AddPhone(rig, "C3");
  rig.adb.phones["C3"].services["exec:screencap"] = "Error: failed to take screenshot\n";
  AddPhone(rig, "D4", "offline");
  const CaptureResult result = CaptureJob(rig.ctx);
  EXPECT_EQ(result.saved, 2);
  EXPECT_TRUE(rig.files.files.count(u"C:\\shots\\B2-snapdeck.png"));
  ASSERT_EQ(result.phoneProblems.size(), 3u);
  EXPECT_EQ(result.phoneProblems[0].phone, u"Pixel Sim (B2)");
  EXPECT_NE(result.phoneProblems[0].reason.find(u"entirely black"), std::u16string::npos);
  EXPECT_EQ(result.phoneProblems[1].phone, u"Pixel Sim (C3)");
  EXPECT_EQ(result.phoneProblems[1].reason, u"Error: failed to take screenshot");
  EXPECT_EQ(result.phoneProblems[2].phone, u"D4");
  EXPECT_EQ(result.phoneProblems[2].reason.rfind(u"device offline: unplug", 0), 0u);
  const std::u16string report = ShotReport(result);
  EXPECT_NE(report.find(u"Pixel Sim (C3): Error: failed to take screenshot\r\nD4: device offline"),
            std::u16string::npos);
  EXPECT_EQ(report.find(u"A1"), std::u16string::npos);

  CaptureRig fine;
  fine.withPhones(false);
  AddPhone(fine, "A1");
  AddPhone(fine, "E5");
  const CaptureResult good = CaptureJob(fine.ctx);
  EXPECT_EQ(good.saved, 2);
  EXPECT_TRUE(good.phoneProblems.empty());
  EXPECT_EQ(ShotReport(good), u"");
}

// Each display of a foldable and each of two phones sharing a serial get a file of their
// own.
TEST(PhoneCapture, DisplaysAndSharedSerialsGetFilesOfTheirOwn) {
  CaptureRig rig;
  rig.withPhones(false);
  for (const char* name : {"a", "b"}) {
    AddPhone(rig, name);
    rig.adb.phones[name].serial = "0123456789ABCDEF";
  }
  AddPhone(rig, "c");
  FakeAdbServer::Phone& fold = rig.adb.phones["c"];
  fold.serial = "FOLD";
  fold.model = "Fold_Sim";
  fold.services["exec:screencap"] = "Warning: several displays, none chosen\n" + RawOfPicture(PhoneScreen());
  fold.services["exec:dumpsys SurfaceFlinger --display-id"] =
      "Display 11 (HWC display 0): port=0\nDisplay 22 (HWC display 1): port=1\nDisplay 33 (x)\n";
  for (const char* id : {"11", "22", "33"}) {
    fold.services[std::string("exec:screencap -d ") + id] = RawOfPicture(PhoneScreen());
  }
  const CaptureResult result = CaptureJob(rig.ctx);
  EXPECT_EQ(result.saved, 5);
  for (const char16_t* name : {u"0123456789ABCDEF-t1", u"0123456789ABCDEF-t2", u"FOLD-d1",
                               u"FOLD-d2", u"FOLD-d3"}) {
    EXPECT_EQ(Saved(rig, u"C:\\shots\\" + std::u16string(name) + u"-snapdeck.png").width, 62);
  }
  EXPECT_TRUE(result.phoneProblems.empty());
}

// Shots side by side wider than a picture may be go into rows; beyond the limit in any
// arrangement they are scaled down for the clipboard and the preview, the files keep
// every pixel, and the report says so. Handhelds keep their numbered pictures; phones
// take none, and a device beyond sixteen is told.
TEST(PhoneCapture, SixteenDevicesInRowsOrScaledAndTheSeventeenthTold) {
  CaptureRig wide;
  wide.withPhones(false);
  for (const char* name : {"A1", "B2", "C3"}) {
    AddPhone(wide, name);
    wide.adb.phones[name].services["exec:screencap"] =
        RawOfPicture(MakePicture(3000, 40, MakeRgb(30, 60, 90)));
  }
  const CaptureResult rows = CaptureJob(wide.ctx);
  EXPECT_EQ(rows.saved, 3);
  EXPECT_EQ(rows.shrunkWidth, 0);
  const Picture* clip = wide.host.lastClip();
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(clip->width, 2 * 3002);
  EXPECT_EQ(clip->height, 2 * 42);
  EXPECT_EQ(At(*clip, 1, 43), MakeRgb(30, 60, 90));             // the third, below the first
  EXPECT_EQ(At(*clip, 3003, 43), MakeRgb(0x22, 0x22, 0x33));  // and nothing beside it
  EXPECT_EQ(ShotReport(rows), u"");

  CaptureRig rig;
  rig.withPhones(true);
  rig.settings.shotext = 0;  // bitmaps: quick to write
  rig.tool.devices = {{"0x2100000A", u""}, {"0x2100000B", u""}, {"0x2100000C", u""}, {"0x2100000D", u""}};
  rig.host.answers = {20, 20, 20, 20};
  const std::vector<std::string> serials = {"P01", "P02", "P03", "P04", "P05", "P06", "P07",
                                            "P08", "P09", "P10", "P11", "P12", "P13"};
  for (const std::string& serial : serials) AddPhone(rig, serial);
  // One tall screen: sixteen cells of it hold more pixels than a picture may.
  rig.adb.phones["P01"].services["exec:screencap"] =
      RawOfPicture(MakePicture(1000, 2200, MakeRgb(30, 60, 90)));
  const CaptureResult result = CaptureJob(rig.ctx);

  ASSERT_EQ(result.devices.size(), 16u);
  EXPECT_EQ(result.saved, 16);
  EXPECT_EQ(rig.host.pinBox.back(), std::make_pair(false, true));
  for (int i = 0; i < 16; ++i) {
    const DeviceShot& d = result.devices[static_cast<std::size_t>(i)];
    EXPECT_EQ(d.phone, i >= 4) << i;
    EXPECT_EQ(d.slot, i < 4 ? i + 1 : 0) << i;
    const std::u16string expected =
        i < 4 ? u"0x2100000" + std::u16string(1, static_cast<char16_t>(u'A' + i)) + u"-snapdeck.bmp"
              : Utf8ToUtf16(serials[static_cast<std::size_t>(i - 4)]) + u"-snapdeck.bmp";
    EXPECT_EQ(d.fileName, expected) << i;
    EXPECT_TRUE(rig.files.files.count(u"C:\\shots\\" + expected)) << i;
    EXPECT_FALSE(d.shot.empty()) << i;
    EXPECT_FALSE(d.preview.empty()) << i;
  }
  EXPECT_EQ(result.devices[4].shot.height, 2202);
  // The handhelds' numbered pictures are theirs alone.
  for (int slot = 1; slot <= 4; ++slot) {
    ASSERT_NE(rig.pictures.find(id::kPicFirstShot + slot), nullptr);
    EXPECT_EQ(rig.pictures.find(id::kPicFirstShot + slot)->width, 242);
  }
  EXPECT_EQ(rig.pictures.find(id::kPicFirstPreview + 1)->width, 242);
  EXPECT_EQ(rig.pictures.find(id::kPicFirstShot + 5), nullptr);
  EXPECT_FALSE(rig.files.files.count(u"C:\\shots\\P13-snapdeck.bmp"));
  ASSERT_EQ(result.phoneProblems.size(), 1u);
  EXPECT_EQ(result.phoneProblems[0].phone, u"Pixel Sim (P13)");
  EXPECT_NE(result.phoneProblems[0].reason.find(u"at most sixteen"), std::u16string::npos);

  clip = rig.host.lastClip();
  ASSERT_NE(clip, nullptr);
  EXPECT_TRUE(PictureSizeAllowed(clip->width, clip->height));
  EXPECT_EQ(clip->width, result.shrunkWidth);
  EXPECT_EQ(clip->height, result.shrunkHeight);
  EXPECT_GT(result.composedWidth * result.composedHeight, 16LL * 1002 * 2202 - 1);
  const Picture* preview = rig.pictures.find(id::kPicStatus);
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(PictureSizeAllowed(preview->width, preview->height));
  EXPECT_NE(ShotReport(result).find(u"P13): left out"), std::u16string::npos);
  EXPECT_NE(ShotReport(result).find(u"the files keep every pixel"), std::u16string::npos);
}

TEST(PhoneCapture, NoServerAndNoAdbLeaveTheHandheldShotAsItWas) {
  CaptureRig plain;
  plain.host.answers = {20};
  CaptureJob(plain.ctx);

  CaptureRig rig;
  rig.withPhones(true);
  rig.adb.listening = false;
  rig.host.answers = {20};
  CaptureJob(rig.ctx);

  EXPECT_EQ(rig.tool.started, plain.tool.started);
  EXPECT_EQ(rig.host.questions.size(), plain.host.questions.size());
  EXPECT_EQ(rig.host.pinBox, plain.host.pinBox);
  EXPECT_EQ(rig.host.progress, plain.host.progress);
  EXPECT_EQ(rig.clock.slept, plain.clock.slept);
  rig.files.files.erase(rig.settings.JLpath + kToolFileName);
  EXPECT_EQ(rig.files.files, plain.files.files);

  // adb.exe found: it is started once, and the shot still goes on without phones.
  rig.session.deviceSessionReady = false;
  rig.files.files[u"C:\\sdk\\adb.exe"] = {'M', 'Z'};
  rig.host.answers = {20};
  CaptureJob(rig.ctx);
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.tool.count(u"start-server"), 1);
  EXPECT_TRUE(rig.files.files.count(u"C:\\shots\\snapdeck.png"));
}

// The no-device question speaks of phones only where adb is there; without it, it is
// the handhelds' question as it always was.
TEST(PhoneCapture, NoDeviceQuestionTellsHowToReadyAPhoneWhereAdbIsThere) {
  const auto askedWith = [](bool serverAnswers, bool adbFound) {
    CaptureRig rig;
    rig.withPhones(true);
    rig.tool.devices.clear();
    rig.adb.listening = serverAnswers;
    if (adbFound) rig.files.files[u"C:\\sdk\\adb.exe"] = {'M', 'Z'};
    CaptureJob(rig.ctx);
    EXPECT_EQ(rig.host.questions.size(), 1u);
    return rig.host.questions.empty() ? std::u16string() : rig.host.questions[0].message;
  };
  EXPECT_EQ(askedWith(false, false),
            u"It seems there is no BlackBerry connected to the USB port or the Desktop Manager is "
            u"not installed.\r\n\r\nConnect a BlackBerry and try again or cancel.\r\n");
  for (const auto& [server, adb] : {std::pair{true, false}, std::pair{false, true}}) {
    const std::u16string text = askedWith(server, adb);
    EXPECT_EQ(text, NoDeviceQuestion(true));
    for (const char16_t* needed : {u"BlackBerry", u"USB debugging on (Developer options)",
                                   u"USB cable", u"\"Allow USB debugging?\""}) {
      EXPECT_NE(text.find(needed), std::u16string::npos) << Utf16ToUtf8(needed);
    }
  }
}

// The device services the job asked the phones for, in order (the transports left out).
std::vector<std::string> DeviceRequests(const CaptureRig& rig) {
  std::vector<std::string> out;
  for (const std::string& r : rig.adb.requests) {
    if (r.rfind("host:", 0) != 0) out.push_back(r);
  }
  return out;
}

std::uint64_t RequestTime(const CaptureRig& rig, const std::string& request) {
  const auto it = std::find(rig.adb.requests.begin(), rig.adb.requests.end(), request);
  return it == rig.adb.requests.end() ? 0 : rig.adb.requestTimes[it - rig.adb.requests.begin()];
}

constexpr char kGetAllowed[] = "shell:settings get global sysui_demo_allowed";
constexpr char kExit[] = "shell:am broadcast -a com.android.systemui.demo -e command exit";

TEST(CleanStatusBar, DemoModeAroundThePictureAndTheEarlierValueBack) {
  struct Case {
    const char* earlier;  // what settings get prints
    bool pictureFails;
    std::string putBack;  // after the exit broadcast
  };
  const Case cases[] = {
      {"null\n", false, " ; settings delete global sysui_demo_allowed"},
      {"0\r\n", false, " ; settings put global sysui_demo_allowed 0"},
      {"1\n", false, ""},
      {"null\n", true, " ; settings delete global sysui_demo_allowed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.earlier) + (c.pictureFails ? " failing" : ""));
    CaptureRig rig;
    rig.withPhones(false);
    AddPhone(rig, "A1");
    FakeAdbServer::Phone& phone = rig.adb.phones["A1"];
    phone.services[kGetAllowed] = c.earlier;
    phone.shellOutput = "Broadcast completed: result=0\n";
    if (c.pictureFails) phone.services.erase("exec:screencap");
    rig.settings.cleanstatusbar = 1;
    const CaptureResult result = CaptureJob(rig.ctx);
    EXPECT_EQ(result.saved, c.pictureFails ? 0 : 1);

    const std::vector<std::string> asked = DeviceRequests(rig);
    // A phone refusing the picture is asked the older ways too before the exit.
    if (c.pictureFails) {
      ASSERT_GE(asked.size(), 4u);
    } else {
      ASSERT_EQ(asked.size(), 4u);
    }
    EXPECT_EQ(asked[0], kGetAllowed);
    const std::string& enter = asked[1];
    EXPECT_EQ(enter.rfind("shell:settings put global sysui_demo_allowed 1 ; ", 0), 0u) << enter;
    for (const char* part :
         {" ; am broadcast -a com.android.systemui.demo -e command enter ; ",
          "-e command clock -e hhmm 1200", "-e command battery -e level 100 -e plugged false",
          "-e command network -e wifi show -e level 4",
          "-e command network -e mobile show -e datatype none -e level 4",
          "-e command notifications -e visible false"}) {
      EXPECT_NE(enter.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(asked[2], "exec:screencap");
    // System UI has had time to draw the clean bar before the picture is asked for.
    EXPECT_GE(RequestTime(rig, "exec:screencap") - RequestTime(rig, enter), 300u);
    EXPECT_EQ(asked.back(), kExit + c.putBack);
  }
}

TEST(CleanStatusBar, PhoneLeftAloneWhenOffOrItsValueUnknown) {
  // Off: no shell command at all.
  CaptureRig off;
  off.withPhones(false);
  AddPhone(off, "A1");
  off.adb.phones["A1"].shellOutput = "";
  CaptureJob(off.ctx);
  EXPECT_EQ(DeviceRequests(off), std::vector<std::string>{"exec:screencap"});

  // An earlier value that could not be put back (or none read): nothing is changed, and
  // the picture is taken all the same.
  for (const char* earlier : std::vector<const char*>{"/system/bin/sh: settings: not found\n",
                                                      "1; reboot\n", "", nullptr}) {
    CaptureRig rig;
    rig.withPhones(false);
    AddPhone(rig, "A1");
    if (earlier != nullptr) rig.adb.phones["A1"].services[kGetAllowed] = earlier;
    rig.settings.cleanstatusbar = 1;
    EXPECT_EQ(CaptureJob(rig.ctx).saved, 1);
    EXPECT_EQ(DeviceRequests(rig), (std::vector<std::string>{kGetAllowed, "exec:screencap"}));
  }

  // A handheld beside an adb server without phones is shot as before.
  CaptureRig handheld;
  handheld.withPhones(true);
  handheld.settings.cleanstatusbar = 1;
  handheld.host.answers = {20};
  EXPECT_EQ(CaptureJob(handheld.ctx).saved, 1);
  EXPECT_TRUE(DeviceRequests(handheld).empty());
}

}  // namespace
}  // namespace snapdeck::testing

#include "capture/capture_job.h"

#include <gtest/gtest.h>

#include "imaging/codec.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "tests/support/capture_fakes.h"
#include "tests/support/pictures.h"
#include "tests/support/test_picture.h"

namespace snapdeck {
namespace {

using testing::CaptureRig;
using testing::HasPattern;
using testing::kBlue;
using testing::kFrame;
using testing::kRed;
using testing::PatternBmp;
using testing::Saved;

constexpr Rgb kBackground = MakeRgb(0x22, 0x22, 0x33);

using testing::At;

// The session of an earlier job: one device, password known good.
void ReadySession(CaptureRig& rig, int count = 1) {
  rig.session.count = count;
  for (int i = 1; i <= count; ++i)
    rig.session.PIN[i] =
        rig.tool.devices[i - 1].pin.size() == 10
            ? std::u16string(rig.tool.devices[i - 1].pin.begin(), rig.tool.devices[i - 1].pin.end())
            : u"";
  rig.session.deviceSessionReady = true;
}

TEST(CaptureJob, ShotIsScaledFramedSavedCopiedAndCaptioned) {
  CaptureRig rig;
  rig.host.answers = {id::kAnswerFirst};  // the password prompt: "OK, done" with nothing typed
  CaptureJob(rig.ctx);

  const Picture saved = Saved(rig, u"C:\\shots\\snapdeck.png");
  ASSERT_EQ(saved.width, 242);
  ASSERT_EQ(saved.height, 162);
  EXPECT_EQ(At(saved, 0, 0), kFrame);
  EXPECT_EQ(At(saved, 241, 161), kFrame);
  EXPECT_TRUE(HasPattern(saved, 1, 1, 240, 160));

  EXPECT_TRUE(rig.text.drew(u" (242 x 162) "));
  EXPECT_TRUE(rig.text.drew(u" snapdeck.png "));
  EXPECT_EQ(rig.tool.started.back(), u"-u -p0x2100000A  screenshot \"C:\\temp\\~devshot.bmp\"");
  EXPECT_EQ(rig.files.files.count(rig.tempBitmap()), 0u);

  EXPECT_EQ(rig.settings.width, 242);
  EXPECT_EQ(rig.settings.height, 162);
  ASSERT_GE(rig.host.resizes.size(), 2u);
  EXPECT_EQ(rig.host.resizes.front(), std::make_pair(260, 360));
  EXPECT_EQ(rig.host.resizes.back(), std::make_pair(262, 362));
  ASSERT_EQ(rig.host.shown.size(), 2u);
  EXPECT_EQ(rig.host.shown[0].width, 240);  // " wait... " at preview size, framed
  EXPECT_EQ(rig.host.shown[1].width, 242);
  EXPECT_EQ(At(rig.host.shown[1], 1, 1), kRed);

  ASSERT_EQ(rig.host.clipboard.size(), 3u);
  EXPECT_TRUE(rig.host.clipboard[0].clear);
  EXPECT_EQ(rig.host.clipboard[1].picture.pixels, saved.pixels);
  EXPECT_EQ(rig.host.clipboard[2].picture.pixels, saved.pixels);
  EXPECT_EQ(rig.host.sounds, std::vector<int>{id::kSoundShotStart});
  EXPECT_EQ(rig.host.cursors, (std::vector<bool>{true, false}));
  EXPECT_EQ(rig.host.progress.front(), 0);
  EXPECT_EQ(rig.host.progress.back(), 0);
  EXPECT_TRUE(rig.session.deviceSessionReady);
  EXPECT_EQ(rig.session.capWidth, 240);
  EXPECT_TRUE(rig.pictures.exists(id::kPicFirstShot + 1));
  EXPECT_TRUE(rig.pictures.exists(id::kPicFirstPreview + 1));
  EXPECT_EQ(rig.tool.shared.live, 0);

  // The next job reuses the device list and passwords.
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.tool.count(u"enum"), 1);
  EXPECT_EQ(rig.tool.count(u"deviceinfo"), 1);
  EXPECT_EQ(rig.tool.count(u"screenshot"), 2);
}

TEST(CaptureJob, TopDownBitmapIsSavedUprightAtScaleWithPin) {
  CaptureRig rig;
  ReadySession(rig);
  rig.tool.bitmap = PatternBmp(240, 160, true);
  rig.settings.shotsize = 1;  // 50%
  rig.settings.shotext = 0;
  rig.settings.framethickness = 3;
  rig.settings.includepin = 1;
  CaptureJob(rig.ctx);

  const Picture saved = Saved(rig, u"C:\\shots\\0x2100000A-snapdeck.bmp");
  ASSERT_EQ(saved.width, 126);
  ASSERT_EQ(saved.height, 86);
  EXPECT_EQ(At(saved, 3, 3), kRed);
  EXPECT_EQ(At(saved, 3, 82), kBlue);
  EXPECT_TRUE(rig.text.drew(u" (126 x 86) "));
  EXPECT_TRUE(rig.text.drew(u" 0x2100000A-snapdeck.bmp "));
  // The preview is the unscaled device picture, framed.
  EXPECT_EQ(rig.settings.width, 246);
  EXPECT_EQ(rig.settings.height, 166);
}

TEST(CaptureJob, JpegAtFullQuality) {
  CaptureRig rig;
  ReadySession(rig);
  rig.settings.shotext = 1;
  rig.settings.framethickness = 0;
  CaptureJob(rig.ctx);
  const Picture saved = Saved(rig, u"C:\\shots\\snapdeck.jpg");
  ASSERT_EQ(saved.width, 240);
  const Rgb c = At(saved, 20, 20);
  EXPECT_GE(RedOf(c), 250);
  EXPECT_LE(GreenOf(c), 5);
}

TEST(CaptureJob, TwoDevicesArePinPrefixedAndComposedSideBySide) {
  CaptureRig rig;
  rig.tool.devices = {{"0x2100000A", u""}, {"0x2100000B", u"pw"}};
  rig.tool.bitmaps = {PatternBmp(240, 160, false), PatternBmp(100, 50, true)};
  rig.settings.includepin = 0;
  rig.settings.passwords[2] = u"pw";
  rig.host.answers = {id::kAnswerFirst};  // only slot 1 is asked
  CaptureJob(rig.ctx);

  EXPECT_EQ(rig.host.questions.size(), 1u);
  EXPECT_EQ(rig.host.pinBox.back(), std::make_pair(false, true));
  const Picture a = Saved(rig, u"C:\\shots\\0x2100000A-snapdeck.png");
  const Picture b = Saved(rig, u"C:\\shots\\0x2100000B-snapdeck.png");
  EXPECT_EQ(a.width, 242);
  EXPECT_EQ(b.width, 102);
  EXPECT_EQ(b.height, 52);

  const Picture* composed = rig.host.lastClip();
  ASSERT_NE(composed, nullptr);
  ASSERT_EQ(composed->width, 2 * 242);
  ASSERT_EQ(composed->height, 162);
  EXPECT_EQ(At(*composed, 1, 1), kRed);
  EXPECT_EQ(At(*composed, 242, 0), kFrame);
  EXPECT_EQ(At(*composed, 243, 1), kRed);
  EXPECT_EQ(At(*composed, 300, 100), kBackground);
  EXPECT_EQ(rig.settings.width, 484);
  EXPECT_EQ(rig.settings.height, 162);
  EXPECT_EQ(rig.host.shown.back().width, 484);
}

// A record whose PIN holds a control byte would cut the tool's command line short: its
// device fails without a run of its own, the others are shot as usual.
TEST(CaptureJob, ARecordWithAControlByteIsAFailedDevice) {
  CaptureRig rig;
  rig.settings.sound = 1;
  rig.tool.useEnumRaw = true;
  rig.tool.enumRaw = "0x2100000A\r\n0x21_0000B\r\n";
  rig.tool.enumRaw[16] = '\0';  // inside the second PIN
  rig.host.answers = {id::kAnswerFirst};  // the password prompt of the usable device
  const CaptureResult result = CaptureJob(rig.ctx);
  ASSERT_EQ(rig.session.count, 2);
  EXPECT_TRUE(rig.session.recordRefused[2]);
  EXPECT_EQ(rig.host.questions.size(), 1u);
  EXPECT_EQ(rig.tool.count(u"deviceinfo"), 1);
  EXPECT_EQ(rig.tool.count(u"screenshot"), 1);
  for (const std::u16string& run : rig.tool.started) {
    EXPECT_EQ(run.find(u'\0'), std::u16string::npos);
  }
  EXPECT_EQ(result.saved, 1);
  EXPECT_EQ(rig.files.files.count(u"C:\\shots\\0x2100000A-snapdeck.png"), 1u);
  EXPECT_TRUE(rig.text.drew(u" shot failed! "));
  EXPECT_EQ(rig.host.sounds.back(), id::kSoundShotFailed);
  EXPECT_FALSE(rig.session.deviceSessionReady);

  // The only device refused: no question, no run beyond the listing, a failed shot.
  for (const char* raw : {"0x21\r\n0x21\r\n", "\t0x2100000\r\n", "0x2100000\x7F\r\n"}) {
    SCOPED_TRACE(raw);
    CaptureRig alone;
    alone.tool.useEnumRaw = true;
    alone.tool.enumRaw = raw;
    CaptureJob(alone.ctx);
    EXPECT_TRUE(alone.host.questions.empty());
    EXPECT_EQ(alone.tool.started, std::vector<std::u16string>{u"-u enum"});
    EXPECT_EQ(alone.lastCaption(), u" shot failed! ");
    EXPECT_TRUE(alone.files.files.empty());
  }
}

TEST(CaptureJob, NoDeviceLeavesTheSizeAlone) {
  CaptureRig rig;
  rig.tool.devices.clear();
  rig.settings.connecttimeout = 3;
  rig.host.answers = {id::kAnswerSecond};
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.lastCaption(), u" no device detected! ");
  EXPECT_EQ(rig.settings.width, 240);
  EXPECT_EQ(rig.settings.height, 160);
  EXPECT_EQ(rig.host.shown.back().width, 240);
  EXPECT_EQ(rig.host.shown.back().height, 160);
  EXPECT_TRUE(rig.host.clipboard.empty());
  EXPECT_TRUE(rig.files.files.empty());
  EXPECT_EQ(rig.tool.count(u"screenshot"), 0);
}

TEST(CaptureJob, WrongPasswordSavesNothing) {
  CaptureRig rig;
  rig.tool.devices = {{"0x2100000A", u"pw"}};
  rig.settings.passwords[1] = u"bad";
  rig.settings.passwordtimeout = 3;
  rig.host.answers = {id::kAnswerSecond};
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.lastCaption(), u" wrong password! ");
  EXPECT_FALSE(rig.session.deviceSessionReady);
  EXPECT_TRUE(rig.files.files.empty());
  EXPECT_EQ(rig.host.shown.back().width, 240);
}

// Every way a shot can fail ends the same: " shot failed! " at 320 x 240, sound 5, the
// session reset, nothing saved, no run left open.
TEST(CaptureJob, FailedShots) {
  auto huge = PatternBmp(4, 4, false);
  huge[18] = 0x60, huge[19] = 0xEA, huge[20] = 0, huge[21] = 0;  // 60000 wide
  huge[22] = 0x60, huge[23] = 0xEA, huge[24] = 0, huge[25] = 0;  // 60000 high
  auto truncated = PatternBmp(240, 160, false);
  truncated.resize(truncated.size() / 2);
  std::vector<std::uint8_t> corrupt(200, 0x5A);
  corrupt[0] = 'B', corrupt[1] = 'M';

  struct Case {
    const char* name;
    std::function<void(CaptureRig&)> setup;
    bool killed;
  };
  const Case cases[] = {
      {"does not start", [](CaptureRig& r) { r.tool.failStart = {u"screenshot"}; }, false},
      {"does not end", [](CaptureRig& r) { r.tool.shotEnds = false; }, true},
      {"writes no bitmap", [](CaptureRig& r) { r.tool.writeBitmap = false; }, false},
      {"empty bitmap", [](CaptureRig& r) { r.tool.bitmap.clear(); }, false},
      {"corrupt bitmap", [&](CaptureRig& r) { r.tool.bitmap = corrupt; }, false},
      {"truncated bitmap", [&](CaptureRig& r) { r.tool.bitmap = truncated; }, false},
      {"huge bitmap", [&](CaptureRig& r) { r.tool.bitmap = huge; }, false},
      {"200% beyond the limits",
       [](CaptureRig& r) {
         r.tool.bitmap = PatternBmp(5000, 2, false);
         r.settings.shotsize = 5;
       },
       false},
      {"endless output", [](CaptureRig& r) { r.tool.shotEndless = true; }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureRig rig;
    ReadySession(rig);
    c.setup(rig);
    CaptureJob(rig.ctx);
    EXPECT_EQ(rig.lastCaption(), u" shot failed! ");
    EXPECT_EQ(rig.host.shown.back().width, 322);
    EXPECT_EQ(rig.host.shown.back().height, 242);
    EXPECT_EQ(rig.settings.width, 322);
    EXPECT_EQ(rig.host.sounds, (std::vector<int>{id::kSoundShotStart, id::kSoundShotFailed}));
    EXPECT_FALSE(rig.session.deviceSessionReady);
    for (const auto& [path, bytes] : rig.files.files) EXPECT_EQ(path, rig.tempBitmap());
    EXPECT_EQ(rig.host.lastClip(), nullptr);
    EXPECT_EQ(rig.tool.shared.live, 0);
    EXPECT_EQ(rig.tool.shared.killed, c.killed ? 1 : 0);
    // Bounded: the default limits take a few seconds of (fake) time, never more.
    EXPECT_LT(rig.clock.slept, 10000u);

    // A failed shot makes the next job detect the devices again.
    rig.host.answers = {id::kAnswerFirst};
    CaptureJob(rig.ctx);
    EXPECT_EQ(rig.tool.count(u"enum"), 1);
  }
}

TEST(CaptureJob, FailureKeepsTheLastCaptureSize) {
  CaptureRig rig;
  ReadySession(rig);
  rig.settings.sound = 0;
  rig.session.capWidth = 100;
  rig.session.capHeight = 80;
  rig.tool.writeBitmap = false;
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.host.shown.back().width, 102);
  EXPECT_EQ(rig.host.shown.back().height, 82);
  EXPECT_TRUE(rig.host.sounds.empty());
}

TEST(CaptureJob, LeftoverBitmapIsNotTakenForTheShot) {
  CaptureRig rig;
  ReadySession(rig);
  rig.files.files[rig.tempBitmap()] = PatternBmp(10, 10, false);
  rig.tool.writeBitmap = false;
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.lastCaption(), u" shot failed! ");
  EXPECT_TRUE(rig.files.files.empty());
}

TEST(CaptureJob, SaveFailureStillLeavesThePictureOnTheClipboard) {
  CaptureRig rig;
  ReadySession(rig);
  rig.files.missingFolder = u"C:\\shots\\";
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.lastCaption(), u" save failed! ");
  const Picture* clip = rig.host.lastClip();
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(clip->width, 242);
  EXPECT_EQ(At(*clip, 1, 1), kRed);
  EXPECT_EQ(rig.host.shown.back().width, 242);
  EXPECT_TRUE(rig.session.deviceSessionReady);
  EXPECT_EQ(rig.host.sounds, std::vector<int>{id::kSoundShotStart});
}

TEST(CaptureJob, AFullDiskKeepsTheEarlierShotOfThatName) {
  CaptureRig rig;
  ReadySession(rig);
  CaptureJob(rig.ctx);
  const std::vector<std::uint8_t> earlier = rig.files.files[u"C:\\shots\\snapdeck.png"];
  ASSERT_FALSE(earlier.empty());
  rig.files.diskFull = true;
  rig.settings.framecolor = MakeRgb(0, 0, 0);
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.lastCaption(), u" save failed! ");
  EXPECT_EQ(rig.files.files[u"C:\\shots\\snapdeck.png"], earlier);
}

TEST(CaptureJob, AStemThatCannotBeAFileIsRefusedBeforeTheTool) {
  for (const char16_t* stem : {u"NUL", u"sub\\shot", u"a:b", u"..", u"com1.x"}) {
    SCOPED_TRACE(Utf16ToUtf8(stem));
    CaptureRig rig;
    ReadySession(rig);
    rig.settings.shotname = stem;
    const CaptureResult result = CaptureJob(rig.ctx);
    EXPECT_EQ(rig.lastCaption(), u" bad file name! ");
    EXPECT_EQ(result.saved, 0);
    EXPECT_TRUE(rig.tool.started.empty()) << "the tool ran";
    EXPECT_TRUE(rig.files.files.empty());
    EXPECT_EQ(rig.host.shown.back().width, 322);  // at capture size, as a failed shot
    EXPECT_EQ(rig.host.cursors, (std::vector<bool>{true, false}));
  }
}

TEST(CaptureJob, ClipboardFailureIsToldAndTheFileStillSaved) {
  CaptureRig rig;
  ReadySession(rig);
  EXPECT_FALSE(CaptureJob(rig.ctx).clipboardFailed);
  EXPECT_TRUE(rig.text.drew(u" (242 x 162) "));

  rig.host.clipboardWorks = false;
  rig.text.drawn.clear();
  const CaptureResult result = CaptureJob(rig.ctx);
  EXPECT_TRUE(result.clipboardFailed);
  EXPECT_EQ(result.saved, 1);
  EXPECT_EQ(Saved(rig, u"C:\\shots\\snapdeck.png").width, 242);
  EXPECT_TRUE(rig.text.drew(u" (242 x 162) clipboard failed! "));
  EXPECT_TRUE(rig.text.drew(u" snapdeck.png "));
}

TEST(CaptureJob, AQuestionThatCouldNotBeShownIsNoAnswerOfTheUser) {
  CaptureRig rig;
  rig.host.answers = {id::kAnswerNotShown};  // the password prompt
  const CaptureResult notShown = CaptureJob(rig.ctx);
  EXPECT_TRUE(notShown.questionNotShown);
  EXPECT_EQ(notShown.saved, 0);

  CaptureRig cancelled;
  cancelled.host.answers = {id::kAnswerSecond};
  EXPECT_FALSE(CaptureJob(cancelled.ctx).questionNotShown);
}

TEST(CaptureJob, UndeletableBitmapIsReported) {
  CaptureRig rig;
  ReadySession(rig);
  rig.files.undeletable = {rig.tempBitmap()};
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.lastCaption(), u" cleanup failed! ");
  EXPECT_EQ(rig.files.deleteAttempts, 30);
  EXPECT_EQ(rig.host.pumpedOne, 30);
  EXPECT_EQ(rig.files.files.count(u"C:\\shots\\snapdeck.png"), 1u);
}

TEST(CaptureJob, TempCleanup) {
  CaptureRig rig;
  EXPECT_TRUE(TempCleanup(rig.files, rig.clock, rig.host, u"C:\\temp\\"));
  rig.files.files[rig.tempBitmap()] = {};
  EXPECT_TRUE(TempCleanup(rig.files, rig.clock, rig.host, u"C:\\temp\\"));
  EXPECT_EQ(rig.files.deleteAttempts, 0);  // an empty file is left alone
  rig.files.files[rig.tempBitmap()] = {1};
  EXPECT_TRUE(TempCleanup(rig.files, rig.clock, rig.host, u"C:\\temp\\"));
  EXPECT_EQ(rig.files.files.count(rig.tempBitmap()), 0u);
  rig.files.files[rig.tempBitmap()] = {1};
  rig.files.undeletable = {rig.tempBitmap()};
  EXPECT_FALSE(TempCleanup(rig.files, rig.clock, rig.host, u"C:\\temp\\"));
  EXPECT_EQ(rig.clock.slept, 900u);
}

TEST(CaptureJob, OutputPhaseProgressIsJobWide) {
  CaptureRig rig;
  rig.tool.devices = {{"0x2100000A", u""}, {"0x2100000B", u""}};
  ReadySession(rig, 2);
  rig.tool.shotOutput = std::string(250, '.');
  CaptureJob(rig.ctx);
  // Per device: the cycle's base 0, the output phase (40 and 80, the second device
  // draws neither again), 100 after the run and 100 when the bitmap is found.
  EXPECT_EQ(rig.host.progress, (std::vector<double>{0, 0, 40, 80, 100, 100, 0, 100, 100, 0}));
}

// The screenshot run's pauses and progress: integer bases per cycle, 10 ms per cycle and per
// read, 30 ms per look for the bitmap, 100 ms after closing the run.
TEST(CaptureJob, ScreenshotRunPacing) {
  CaptureRig rig;
  ReadySession(rig);
  rig.settings.connecttimeout = 7;
  rig.tool.outputDelayMs = 35;  // output comes in cycle 3
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.host.progress, (std::vector<double>{0, 0, 14, 28, 42, 42, 100, 100, 0}));
  EXPECT_EQ(rig.clock.slept, 4u * 10u + 10u + 100u);

  CaptureRig none;
  ReadySession(none);
  none.tool.writeBitmap = false;
  CaptureJob(none.ctx);
  // One cycle with one read, then 100 looks for the bitmap, drawn from 100 down to 1.
  EXPECT_EQ(none.clock.slept, 10u + 10u + 100u * 30u + 100u);
  std::vector<double> looks(none.host.progress.end() - 101, none.host.progress.end() - 1);
  for (int k = 0; k < 100; ++k) EXPECT_EQ(looks[k], 100 - k);
}

TEST(CaptureJob, PasswordMarkOnlyWhenPasswordsAreRemembered) {
  CaptureRig rig;
  ReadySession(rig);
  CaptureJob(rig.ctx);
  // " wait... " at 238 x 158 inside a 1-pixel frame; the mark at (238 - 30, 10).
  EXPECT_EQ(rig.host.shown[0].at(209, 11), 0xFF00FF00u);

  CaptureRig off;
  ReadySession(off);
  off.settings.rememberPassword = 0;
  CaptureJob(off.ctx);
  EXPECT_NE(off.host.shown[0].at(209, 11), 0xFF00FF00u);
}

TEST(CaptureJob, PinFromTheToolCannotLeaveTheFolder) {
  CaptureRig rig;
  rig.tool.devices = {{"..\\..\\..\\x", u""}};
  ReadySession(rig);
  rig.settings.includepin = 1;
  CaptureJob(rig.ctx);
  EXPECT_EQ(rig.files.files.count(u"C:\\shots\\.._.._.._x-snapdeck.png"), 1u);
}

}  // namespace
}  // namespace snapdeck

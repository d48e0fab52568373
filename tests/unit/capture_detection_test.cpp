#include <gtest/gtest.h>

#include "capture/detection.h"
#include "resources/ids.h"
#include "tests/support/capture_fakes.h"

namespace snapdeck {
namespace {

using testing::CaptureRig;

const std::u16string kNoDevice =
    u"It seems there is no BlackBerry connected to the USB port or the Desktop Manager is not "
    u"installed.\r\n\r\nConnect a BlackBerry and try again or cancel.\r\n";

std::u16string WrongPassword(const std::u16string& pin) {
  return u"It looks like the password you have entered for device " + pin +
         u" is wrong.\r\nWarning: Too many retries With a wrong Password may cause the BlackBerry "
         u"To wipe itself!\r\n\r\nTry again And enter the correct Password Or cancel.\r\nLock And "
         u"unlock your BlackBerry To reset the error count.";
}

TEST(CaptureDetection, OneRecordIsOneDevice) {
  CaptureRig rig;
  rig.settings.includepin = 1;
  EXPECT_EQ(DetectDevices(rig.ctx), 1);
  EXPECT_EQ(rig.session.count, 1);
  EXPECT_EQ(rig.session.PIN[1], u"0x2100000A");
  EXPECT_EQ(rig.tool.started, std::vector<std::u16string>{u"-u enum"});
  EXPECT_EQ(rig.tool.exePaths[0], u"C:\\tool\\javaloader.exe");
  EXPECT_TRUE(rig.host.questions.empty());
  EXPECT_EQ(rig.host.pinBox, (std::vector<std::pair<bool, bool>>{{true, true}}));
  // Cycle 0: 10 + 10 ms, one record and 10 ms, 10 ms before draining, 100 ms at the end.
  EXPECT_EQ(rig.clock.slept, 140u);
  EXPECT_EQ(rig.host.progress, (std::vector<double>{0, 100}));
  EXPECT_EQ(rig.tool.shared.live, 0);
  EXPECT_EQ(rig.tool.shared.killed, 1);
}

TEST(CaptureDetection, RecordsOf25And60Bytes) {
  CaptureRig rig;
  rig.tool.useEnumRaw = true;
  rig.tool.enumRaw = "0x2100000A\r\n0x2100000B\r\n!";
  EXPECT_EQ(DetectDevices(rig.ctx), 2);
  EXPECT_EQ(rig.session.PIN[2], u"0x2100000B");
  // More than one device: the PIN must go into the file names.
  EXPECT_EQ(rig.host.pinBox.back(), std::make_pair(false, true));

  CaptureRig five;
  five.tool.useEnumRaw = true;
  five.tool.enumRaw = "AAAAAAAAAA\r\nBBBBBBBBBB\r\nCCCCCCCCCC\r\nDDDDDDDDDD\r\nEEEEEEEEEE\r\n";
  EXPECT_EQ(DetectDevices(five.ctx), 4);
  EXPECT_EQ(five.session.PIN[4], u"DDDDDDDDDD");
  EXPECT_TRUE(five.host.questions.empty());
}

TEST(CaptureDetection, ElevenBytesIsNoDeviceUntilTheCyclesRunOut) {
  CaptureRig rig;
  rig.settings.connecttimeout = 3;
  rig.settings.includepin = 0;
  rig.tool.useEnumRaw = true;
  rig.tool.enumRaw = "0x2100000A\r";
  rig.host.answers = {id::kAnswerSecond};
  EXPECT_EQ(DetectDevices(rig.ctx), 0);
  // The enumeration's progress is not rounded.
  EXPECT_EQ(rig.host.progress, (std::vector<double>{0, 100.0 / 3, 200.0 / 3, 100}));
  ASSERT_EQ(rig.host.questions.size(), 1u);
  EXPECT_EQ(rig.host.questions[0].kind, id::kKindWarning);
  EXPECT_EQ(rig.host.questions[0].message, kNoDevice);
  EXPECT_EQ(rig.host.questions[0].first, u"Yes, try again");
  EXPECT_EQ(rig.host.questions[0].second, u"No, cancel");
  EXPECT_EQ(rig.tool.shared.killed, 1);
  EXPECT_EQ(rig.tool.shared.live, 0);
  EXPECT_EQ(rig.clock.slept, 4u * 20u);
  EXPECT_EQ(rig.host.pinBox.back(), std::make_pair(true, false));
}

TEST(CaptureDetection, TryAgainRepeatsTheEnumeration) {
  CaptureRig rig;
  rig.settings.connecttimeout = 1;
  rig.tool.failStart = {u"enum"};
  rig.host.answers = {id::kAnswerFirst, id::kAnswerSecond};
  EXPECT_EQ(DetectDevices(rig.ctx), 0);
  EXPECT_EQ(rig.host.questions.size(), 2u);
  EXPECT_EQ(rig.tool.started.size(), 2u);
  // Two cycles per attempt (0 and 1), 10 ms each without a run, 100 ms after "try again".
  EXPECT_EQ(rig.clock.slept, 2u * 10u + 100u + 2u * 10u);

  CaptureRig later;
  later.settings.connecttimeout = 2;
  later.tool.enumSilentRuns = 1;  // the device appears only on the second attempt
  later.host.answers = {id::kAnswerFirst};
  EXPECT_EQ(DetectDevices(later.ctx), 1);
  EXPECT_EQ(later.tool.started.size(), 2u);
}

TEST(CaptureDetection, ZeroTimeoutStillPollsOnce) {
  CaptureRig rig;
  rig.settings.connecttimeout = 0;
  EXPECT_EQ(DetectDevices(rig.ctx), 1);
  EXPECT_EQ(rig.host.progress.front(), 100);
}

TEST(CaptureDetection, PinBytesAreWindows1252) {
  const std::uint8_t record[12] = {0x80, 0x00, 'A',  0x9F, 0xE9, 0x1B,
                                   '"',  ' ',  0x81, 0xFF, '\r', '\n'};
  const std::u16string pin = PinFromRecord(record, sizeof record);
  EXPECT_EQ(pin, (std::u16string{0x20AC, 0, u'A', 0x0178, 0xE9, 0x1B, u'"', u' ', 0x81, 0xFF}));
}

TEST(CaptureDetection, DeviceWithoutPasswordIsAskedOnce) {
  CaptureRig rig;
  rig.settings.passwordtimeout = 3;
  rig.session.count = 1;
  rig.session.PIN[1] = u"0x2100000A";
  rig.host.answers = {id::kAnswerFirst};
  EXPECT_TRUE(CheckPasswords(rig.ctx));
  ASSERT_EQ(rig.host.questions.size(), 1u);
  EXPECT_EQ(rig.host.questions[0].kind, id::kKindPassword);
  EXPECT_EQ(rig.host.questions[0].message,
            u"Please enter your BlackBerry password for device 0x2100000A.\r\n\r\n");
  EXPECT_EQ(rig.host.questions[0].first, u"OK, done");
  EXPECT_EQ(rig.host.questions[0].second, u"Leave it");
  EXPECT_EQ(rig.tool.started.back(), u"-u -p0x2100000A  deviceinfo");
  EXPECT_TRUE(rig.session.deviceAnswered[1]);
  // Integer division: 0, then 33 finds nothing more waiting; 100 after the run.
  EXPECT_EQ(rig.host.progress, (std::vector<double>{0, 33, 100}));

  EXPECT_TRUE(CheckPasswords(rig.ctx));
  EXPECT_EQ(rig.host.questions.size(), 1u);
  EXPECT_EQ(rig.tool.count(u"deviceinfo"), 2);
  EXPECT_EQ(rig.tool.shared.live, 0);
}

TEST(CaptureDetection, WrongPasswordIsForgottenAndAskedAgain) {
  CaptureRig rig;
  rig.settings.passwordtimeout = 5;
  rig.tool.devices = {{"0x2100000A", u"right\"one"}};
  rig.session.count = 1;
  rig.session.PIN[1] = u"0x2100000A";
  rig.settings.passwords[1] = u"remembered";
  rig.host.answers = {id::kAnswerFirst, id::kAnswerFirst};  // "Yes, Try again", then "OK, done"
  rig.host.passwordAnswers = {u"right\"one"};
  EXPECT_TRUE(CheckPasswords(rig.ctx));
  ASSERT_EQ(rig.host.questions.size(), 2u);
  EXPECT_EQ(rig.host.questions[0].kind, id::kKindWarning);
  EXPECT_EQ(rig.host.questions[0].message, WrongPassword(u"0x2100000A"));
  EXPECT_EQ(rig.host.questions[0].first, u"Yes, Try again");
  EXPECT_EQ(rig.host.questions[1].kind, id::kKindPassword);
  ASSERT_EQ(rig.tool.started.size(), 2u);
  EXPECT_EQ(rig.tool.started[0], u"-u -p0x2100000A  -w\"remembered\" deviceinfo");
  EXPECT_EQ(rig.tool.started[1], u"-u -p0x2100000A  -w\"right\\\"one\" deviceinfo");
  EXPECT_EQ(rig.settings.passwords[1], u"right\"one");
  EXPECT_TRUE(rig.session.deviceAnswered[1]);
  EXPECT_EQ(rig.tool.shared.live, 0);
}

TEST(CaptureDetection, CancelAfterWrongPasswordFails) {
  CaptureRig rig;
  rig.settings.passwordtimeout = 2;
  rig.tool.devices = {{"0x2100000A", u"secret"}};
  rig.session.count = 1;
  rig.session.PIN[1] = u"0x2100000A";
  rig.settings.passwords[1] = u"wrong";
  rig.host.answers = {id::kAnswerSecond};
  EXPECT_FALSE(CheckPasswords(rig.ctx));
  EXPECT_TRUE(rig.settings.passwords[1].empty());
  EXPECT_FALSE(rig.session.deviceAnswered[1]);
  EXPECT_EQ(rig.tool.shared.killed, 1);
  EXPECT_EQ(rig.tool.shared.live, 0);
  // 10 ms before the cycles, three cycles of 10 ms; no closing pause after a cancel.
  EXPECT_EQ(rig.clock.slept, 40u);
}

TEST(CaptureDetection, TheLastSlotDecides) {
  CaptureRig rig;
  rig.tool.devices = {{"0x2100000A", u""}, {"0x2100000B", u""}};
  rig.session.count = 2;
  rig.session.PIN[1] = u"0x2100000A";
  rig.session.PIN[2] = u"0x2100000B";
  rig.host.answers = {id::kAnswerSecond, id::kAnswerFirst};  // leave slot 1, slot 2 answers
  EXPECT_TRUE(CheckPasswords(rig.ctx));
  EXPECT_FALSE(rig.session.deviceAnswered[1]);
  EXPECT_TRUE(rig.session.deviceAnswered[2]);
  EXPECT_EQ(rig.tool.count(u"deviceinfo"), 1);

  rig.host.answers = {id::kAnswerSecond};  // slot 1 is asked again and left; slot 2 is known
  rig.session.deviceAnswered[2] = true;
  EXPECT_TRUE(CheckPasswords(rig.ctx));

  CaptureRig reverse;
  reverse.tool.devices = rig.tool.devices;
  reverse.session = rig.session;
  reverse.session.deviceAnswered = {};
  reverse.host.answers = {id::kAnswerFirst, id::kAnswerSecond};
  EXPECT_FALSE(CheckPasswords(reverse.ctx));
  EXPECT_TRUE(reverse.session.deviceAnswered[1]);
}

// Every wrong try counts towards the device's wipe limit, so a password the tool would
// receive changed is refused before any run, remembered or typed.
TEST(CaptureDetection, APasswordTheToolCannotReceiveIsNeverTried) {
  CaptureRig rig;
  rig.tool.devices = {{"0x2100000A", u"r\u00E9ght"}};
  rig.session.count = 1;
  rig.session.PIN[1] = u"0x2100000A";
  rig.settings.passwords[1] = u"\u0142ad";  // outside the fake tool's code page
  rig.host.answers = {id::kAnswerFirst, id::kAnswerFirst};  // "Yes, try again", then "OK, done"
  rig.host.passwordAnswers = {u"r\u00E9ght"};
  EXPECT_TRUE(CheckPasswords(rig.ctx));
  ASSERT_EQ(rig.host.questions.size(), 2u);
  EXPECT_EQ(rig.host.questions[0].kind, id::kKindWarning);
  EXPECT_NE(rig.host.questions[0].message.find(u"0x2100000A"), std::u16string::npos);
  EXPECT_NE(rig.host.questions[0].message.find(u"not tried"), std::u16string::npos);
  EXPECT_EQ(rig.host.questions[1].kind, id::kKindPassword);
  EXPECT_EQ(rig.tool.started,
            std::vector<std::u16string>{u"-u -p0x2100000A  -w\"r\u00E9ght\" deviceinfo"});

  CaptureRig typed;
  typed.session.count = 1;
  typed.session.PIN[1] = u"0x2100000A";
  // "OK, done" with the password, then "No, cancel".
  typed.host.answers = {id::kAnswerFirst, id::kAnswerSecond};
  typed.host.passwordAnswers = {u"\u65E5\u672C"};
  EXPECT_FALSE(CheckPasswords(typed.ctx));
  EXPECT_TRUE(typed.tool.started.empty());
  EXPECT_TRUE(typed.settings.passwords[1].empty());
  EXPECT_FALSE(typed.session.deviceAnswered[1]);
}

TEST(CaptureDetection, SilentToolIsBoundedByTheCycles) {
  CaptureRig rig;
  rig.settings.passwordtimeout = 255;
  rig.tool.devices = {{"0x2100000A", u"pw"}};
  rig.session.count = 1;
  rig.session.PIN[1] = u"0x2100000A";
  rig.settings.passwords[1] = u"nope";
  EXPECT_FALSE(CheckPasswords(rig.ctx));
  EXPECT_EQ(rig.host.progress.size(), 256u);
  EXPECT_EQ(rig.host.progress[128], 50);  // 128 * 100 / 255 in integers
}

}  // namespace
}  // namespace snapdeck

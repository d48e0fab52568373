// The adb client against Android's real adb server and simulated phones.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "adb_world.h"
#include "capture/adb_client.h"
#include "capture/capture_job.h"
#include "capture/demo_mode.h"
#include "imaging/fixed_text.h"
#include "platform/posix/clock_posix.h"
#include "platform/text.h"
#include "platform/posix/filesystem_posix.h"
#include "platform/posix/runner_posix.h"
#include "platform/posix/socket_posix.h"
#include "platform/worker_pool.h"
#include "resources/ids.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_picture.h"
#include "tests/support/wait_until.h"

namespace snapdeck {
namespace {

using testing::AdbServer;
using testing::IsPattern;
using testing::SimulatedPhone;

constexpr int kShotMs = 20000;

class AdbPhone : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.ready()) << "the adb server did not start"; }

  // A phone with these settings, connected and listed in the state.
  SimulatedPhone& Phone(const std::vector<std::string>& settings,
                        const std::string& state = "device") {
    phones_.push_back(std::make_unique<SimulatedPhone>(settings));
    SimulatedPhone& p = *phones_.back();
    EXPECT_TRUE(p.ready()) << "the simulated phone did not start";
    EXPECT_TRUE(server_.connect(p, state)) << p.serial() << " is not listed as " << state;
    return p;
  }

  DecodeResult Shot(const std::string& serial) {
    return client_.screenshot(serial, kShotMs, nullptr);
  }

  // Every display of the phone, addressed as the listing names it.
  std::vector<DisplayShot> Shots(const SimulatedPhone& phone) {
    std::vector<PhoneEntry> listed;
    EXPECT_TRUE(client_.listPhones(listed, kShotMs).ok());
    for (const PhoneEntry& e : listed) {
      if (e.serial == phone.serial()) {
        EXPECT_FALSE(e.transportId.empty());
        return client_.screenshots(e, kShotMs, nullptr);
      }
    }
    ADD_FAILURE() << phone.serial() << " is not listed";
    return {};
  }

  AdbServer server_;
  std::vector<std::unique_ptr<SimulatedPhone>> phones_;
  std::unique_ptr<SocketPort> sockets_ = MakePosixSocketPort();
  std::unique_ptr<Clock> clock_ = MakePosixClock();
  AdbClient client_{*sockets_, *clock_, server_.port()};
};

TEST_F(AdbPhone, ListsEveryPhoneWithItsStateAndModel) {
  const SimulatedPhone& ready = Phone({"model=Test_Phone"});
  const SimulatedPhone& locked = Phone({"state=unauthorized"}, "unauthorized");
  std::vector<PhoneEntry> phones;
  const AdbStatus status = client_.listPhones(phones, kShotMs);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(phones.size(), 2u);
  if (phones[0].serial != ready.serial()) std::swap(phones[0], phones[1]);
  EXPECT_EQ(phones[0].serial, ready.serial());
  EXPECT_EQ(phones[0].state, "device");
  EXPECT_EQ(phones[0].model, "Test_Phone");
  EXPECT_EQ(phones[1].serial, locked.serial());
  EXPECT_EQ(phones[1].state, "unauthorized");
  EXPECT_EQ(phones[1].model, "");
}

// Odd sizes, so a row padded or a half rounded the wrong way shows; small messages on one
// phone, so the picture arrives in many pieces. The PNG is refused, so a raw path that
// fails cannot hide behind the fallback.
TEST_F(AdbPhone, RawPicturesOfEveryFormatAndHeaderAreTheConfiguredPicture) {
  struct Case {
    std::string format, header;
    bool lowBits;
  };
  const Case cases[] = {{"1", "4", false}, {"2", "4", false}, {"3", "4", false},
                        {"4", "4", true},  {"1", "3", false}, {"4", "3", true}};
  std::vector<const SimulatedPhone*> phones;
  for (const Case& c : cases) {
    phones.push_back(&Phone({"width=97", "height=41", "format=" + c.format, "header=" + c.header,
                             "png=refuse", c.format == "3" ? "maxpayload=256" : "maxpayload=4096"}));
  }
  for (std::size_t k = 0; k < phones.size(); ++k) {
    SCOPED_TRACE("format " + cases[k].format + ", " + cases[k].header + " header fields");
    const DecodeResult r = Shot(phones[k]->serial());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(IsPattern(r.picture, 97, 41, cases[k].lowBits));
  }
}

// The phone size the run command and the benchmark use, through a server that splits it
// into its largest messages.
TEST_F(AdbPhone, FullSizePhonePictureArrivesWhole) {
  const SimulatedPhone& phone = Phone({"width=1080", "height=2400"});
  std::uint64_t lastReceived = 0, lastAnnounced = 0;
  const DecodeResult r = client_.screenshot(phone.serial(), kShotMs,
                                            [&](std::uint64_t received, std::uint64_t announced) {
                                              EXPECT_GE(received, lastReceived);
                                              lastReceived = received;
                                              lastAnnounced = announced;
                                            });
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(IsPattern(r.picture, 1080, 2400));
  // The progress ends full, whichever header size the count assumed.
  EXPECT_GE(lastAnnounced, 1080u * 2400u * 4u);
  EXPECT_EQ(lastReceived, lastAnnounced);
}

// A phone without the raw service, and one whose raw format we cannot convert, are shot
// through the PNG.
TEST_F(AdbPhone, PngWhenTheRawPictureIsNotToBeHad) {
  const SimulatedPhone& noRaw = Phone({"width=64", "height=33", "raw=refuse"});
  const SimulatedPhone& oddFormat = Phone({"width=64", "height=33", "format=7"});
  for (const SimulatedPhone* p : {&noRaw, &oddFormat}) {
    const DecodeResult r = Shot(p->serial());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(IsPattern(r.picture, 64, 33));
  }
}

TEST_F(AdbPhone, UnknownUnauthorizedAndCutShortShotsFailWithAReason) {
  const SimulatedPhone& locked = Phone({"state=unauthorized"}, "unauthorized");
  const SimulatedPhone& cut = Phone({"width=64", "height=32", "raw=truncated", "png=truncated"});
  const SimulatedPhone& cutRaw = Phone({"width=64", "height=32", "raw=truncated"});

  DecodeResult r = Shot("NOSUCH");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("not found"), std::string::npos) << r.error;

  r = Shot(locked.serial());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("unauthorized"), std::string::npos) << r.error;

  // A raw picture cut short is a failed shot, not a reason to try the PNG.
  for (const SimulatedPhone* p : {&cut, &cutRaw}) {
    r = Shot(p->serial());
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.picture.empty());
    EXPECT_EQ(r.error, "screenshot cut short");
  }
}

// A server reached by a host name, as a lab's shared one is, rather than by the loopback
// address: listed and captured the same way.
TEST_F(AdbPhone, AServerReachedByItsNameCapturesAsALocalOne) {
  const SimulatedPhone& phone = Phone({"width=64", "height=48"});
  AdbClient byName{*sockets_, *clock_, AdbServerAddress("localhost", server_.port())};
  std::vector<PhoneEntry> phones;
  const AdbStatus status = byName.listPhones(phones, kShotMs);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(phones.size(), 1u);
  const DecodeResult r = byName.screenshot(phone.serial(), kShotMs, nullptr);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(IsPattern(r.picture, 64, 48, false));
}

// The clean status bar as a phone's shell runs it: System UI takes every demo command
// (it ignores them unless allowed), the picture comes in between, and afterwards adb itself
// reads sysui_demo_allowed as it was before.
TEST_F(AdbPhone, DemoModeAroundAPictureLeavesTheSettingAsItWas) {
  testing::TempFolder folder;
  const std::string log = (folder.path() / "phone.log").string();
  const SimulatedPhone& phone = Phone({"width=8", "height=8", "log=" + log});
  const auto get = [&] {
    return server_.adb(
        {"-s", phone.serial(), "shell", "settings", "get", "global", "sysui_demo_allowed"});
  };
  for (const char* earlier : {"", "0"}) {
    if (*earlier != 0) {
      server_.adb({"-s", phone.serial(), "shell", "settings", "put", "global", "sysui_demo_allowed",
                   earlier});
    }
    std::remove(log.c_str());
    {
      PhoneEntry entry;
      entry.serial = phone.serial();
      DemoModeScope demo(client_, *clock_, entry, kShotMs, true);
      EXPECT_TRUE(Shot(phone.serial()).ok);
    }
    std::stringstream lines;
    lines << std::ifstream(log).rdbuf();
    std::string taken;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("demo", 0) == 0 || line == "open exec:screencap") taken += line + "\n";
    }
    EXPECT_EQ(taken,
              "demo command=enter\n"
              "demo command=clock hhmm=1200\n"
              "demo command=battery level=100 plugged=false\n"
              "demo command=network wifi=show level=4\n"
              "demo command=network mobile=show datatype=none level=4\n"
              "demo command=notifications visible=false\n"
              "open exec:screencap\n"
              "demo command=exit\n");
    EXPECT_EQ(get(), std::string(*earlier != 0 ? earlier : "null") + "\n");
  }
}

// A phone with two displays gives both, each exactly, through the shell protocol v2 and
// through exec:; a failing screencap gives its own words.
TEST_F(AdbPhone, EveryDisplayOfAPhoneAndTheReasonOfAFailingOne) {
  const std::vector<std::string> two = {"width=97", "height=41", "displays=2", "display2.width=64",
                                        "display2.height=33"};
  const SimulatedPhone& v2 = Phone(two);
  std::vector<std::string> oldShell = two;
  oldShell.push_back("features=cmd");
  const SimulatedPhone& exec = Phone(oldShell);
  const SimulatedPhone& failing = Phone({"width=64", "height=32", "screencap=fail"});
  for (const SimulatedPhone* p : {&v2, &exec}) {
    SCOPED_TRACE(p == &v2 ? "shell v2" : "exec");
    const std::vector<DisplayShot> shots = Shots(*p);
    ASSERT_EQ(shots.size(), 2u);
    ASSERT_TRUE(shots[0].result.ok) << shots[0].result.error;
    ASSERT_TRUE(shots[1].result.ok) << shots[1].result.error;
    EXPECT_EQ(shots[1].display, 2);
    EXPECT_TRUE(IsPattern(shots[0].result.picture, 97, 41));
    EXPECT_TRUE(IsPattern(shots[1].result.picture, 64, 33, false, true));
  }
  const std::vector<DisplayShot> shots = Shots(failing);
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_FALSE(shots[0].result.ok);
  EXPECT_EQ(shots[0].result.error, "Screen capture failed: -1");
}

// Phones before Android 5: no exec:, the framebuffer of either header version, or without
// one the shell with its CR LF terminal.
TEST_F(AdbPhone, PhonesWithoutExecGiveTheirPicture) {
  for (const char* version : {"framebuffer=1", "framebuffer=2", "framebuffer=no"}) {
    SCOPED_TRACE(version);
    const SimulatedPhone& old =
        Phone({"exec=no", "features=", "terminal=crlf", "header=3", "width=64", "height=33", version});
    const DecodeResult r = Shot(old.serial());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(IsPattern(r.picture, 64, 33));
  }
}

// A 1440 x 3200 phone at 5 MB/s takes longer than the idle limit, and completes.
TEST_F(AdbPhone, SlowLargePhoneCompletes) {
  const SimulatedPhone& slow = Phone({"width=1440", "height=3200", "rate=5000000"});
  const DecodeResult r = client_.screenshot(slow.serial(), 2000, nullptr);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(IsPattern(r.picture, 1440, 3200));
}

// A main window that answers from any thread: it only counts what it is asked to draw.
class QuietHost : public CaptureHost {
 public:
  void showStatusPicture(const Picture&) override {}
  void resizeMainWindow(int, int) override {}
  void setWaitCursor(bool) override {}
  void drawProgress(double) override { ++drawn; }
  void pumpOneEvent() override {}
  void pumpAllEvents() override {}
  void clearClipboard() override {}
  bool putOnClipboard(const Picture&) override { return true; }
  void playSound(int) override {}
  void setIncludePinBox(bool, bool) override {}
  int ask(int, const std::u16string&, const std::u16string&, const std::u16string&) override {
    return id::kAnswerSecond;
  }
  std::u16string passwordResult() override { return {}; }
  std::atomic<int> drawn{0};
};

// Eight phones that take 400 ms for a picture are asked for it at once by the capture
// job: every phone holds its picture back until all eight have been asked, which a job
// asking one after another never gets to.
TEST_F(AdbPhone, TheCaptureJobAsksEveryPhoneAtOnce) {
  testing::TempFolder folder("snapdeck-phones");
  const std::filesystem::path gate = folder.path() / "go";
  std::vector<std::string> logs;
  for (int k = 0; k < 8; ++k) {
    logs.push_back((folder.path() / ("phone" + std::to_string(k) + ".log")).string());
    Phone({"width=108", "height=240", "screencap.delay=400", "hold=" + gate.string(),
           "log=" + logs.back()});
  }
  const auto asked = [&logs] {
    int n = 0;
    for (const std::string& log : logs) {
      std::stringstream lines;
      lines << std::ifstream(log).rdbuf();
      if (lines.str().find("open exec:screencap") != std::string::npos) ++n;
    }
    return n;
  };

  AppSettings settings;
  settings.JLpath = Utf8ToUtf16(folder.path().string()) + u"/";
  settings.currentFolder = Utf8ToUtf16(folder.path().string()) + u"/";
  settings.shotname = u"shot";
  settings.shotext = 2;
  settings.killtimeout = 300;  // the held phones stay within their idle limit
  CaptureSession session;
  PictureStore pictures;
  FixedMetricsText text;
  std::unique_ptr<FileSystem> files = MakePosixFileSystem();
  std::unique_ptr<ToolRunner> runner = MakePosixToolRunner();
  QuietHost host;
  PhoneLink link(*sockets_, *clock_, *runner, *files, server_.port(), {});
  WorkerPool workers(2, kPhonePicturesBudget);
  CaptureContext ctx{settings, session, pictures, text, *clock_, *files, *runner, host,
                     settings.currentFolder};
  ctx.phones = &link;
  ctx.workers = &workers;

  CaptureResult result;
  std::thread job([&] { result = CaptureJob(ctx); });
  testing::WaitUntil([&] { return asked() == 8; }, 20000, 20);
  const int askedAtOnce = asked();
  std::ofstream(gate).put('x');
  job.join();
  EXPECT_EQ(askedAtOnce, 8) << "phones asked for a picture before any gave one";
  EXPECT_EQ(result.saved, 8);
  ASSERT_EQ(result.devices.size(), 8u);
  for (const DeviceShot& device : result.devices) {
    EXPECT_EQ(device.shot.width, 110);
    EXPECT_TRUE(std::filesystem::exists(folder.path() / Utf16ToUtf8(device.fileName)))
        << Utf16ToUtf8(device.fileName);
  }
  EXPECT_TRUE(result.phoneProblems.empty());
  EXPECT_GT(host.drawn.load(), 0);
}

}  // namespace
}  // namespace snapdeck

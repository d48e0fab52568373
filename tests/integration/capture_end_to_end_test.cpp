// The real capture job against the device simulator as a child process: POSIX runner,
// real clock, real files.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "capture/capture_job.h"
#include "imaging/codec.h"
#include "platform/posix/clock_posix.h"
#include "platform/posix/filesystem_posix.h"
#include "platform/posix/runner_posix.h"
#include "resources/ids.h"
#include "tests/support/capture_fakes.h"
#include "tests/support/devicesim_folder.h"
#include "tests/support/pictures.h"

namespace snapdeck {
namespace {

using testing::DevicesimFolder;
using testing::kNativeSimulator;
using testing::NoChildLeft;

constexpr Rgb kFrame = MakeRgb(0x11, 0x66, 0xCC);

struct RealRig {
  explicit RealRig(const std::string& config) : sim(kNativeSimulator, config) {
    settings.JLpath = sim.dir16();
    settings.currentFolder = sim.dir16() + u"shots/";
    std::filesystem::create_directory(sim.dir() + "shots");
    settings.framecolor = kFrame;
    settings.killtimeout = 10;
  }
  Picture saved(const std::string& name) {
    std::ifstream in(sim.dir() + "shots/" + name, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    DecodeResult r = DecodeImage(bytes.data(), bytes.size());
    return r.ok ? r.picture : Picture{};
  }
  double runJob() {
    const auto t0 = std::chrono::steady_clock::now();
    CaptureJob(ctx);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }

  DevicesimFolder sim;
  AppSettings settings;
  CaptureSession session;
  PictureStore pictures;
  testing::RecordingText text;
  std::unique_ptr<Clock> clock = MakePosixClock();
  std::unique_ptr<FileSystem> files = MakePosixFileSystem();
  std::unique_ptr<ToolRunner> runner = MakePosixToolRunner();
  testing::ScriptedHost host;
  CaptureContext ctx{settings, session, pictures, text,        *clock,
                     *files,   *runner, host,     sim.dir16(), nullptr};
};

using testing::At;

// The simulator's pattern inside a t-pixel frame of a w x h device picture.
void ExpectPattern(const Picture& p, int w, int h, int t) {
  ASSERT_EQ(p.width, w + 2 * t);
  ASSERT_EQ(p.height, h + 2 * t);
  EXPECT_EQ(At(p, 0, 0), kFrame);
  EXPECT_EQ(At(p, p.width - 1, p.height - 1), kFrame);
  EXPECT_EQ(At(p, t, t), MakeRgb(255, 0, 0));
  EXPECT_EQ(At(p, t + w - 1, t), MakeRgb(0, 255, 0));
  EXPECT_EQ(At(p, t, t + h - 1), MakeRgb(0, 0, 255));
  EXPECT_EQ(At(p, t + w / 2, t + h - 1), MakeRgb(0, 0, 0));
  EXPECT_EQ(At(p, t + w - 1, t + h - 1), MakeRgb(255, 255, 255));
}

TEST(CaptureEndToEnd, DefaultDeviceShotIsSaved) {
  RealRig rig("");
  rig.host.answers = {id::kAnswerFirst};  // no password: "OK, done" with the field empty
  rig.runJob();
  ExpectPattern(rig.saved("snapdeck.png"), 240, 160, 1);
  EXPECT_TRUE(rig.text.drew(u" (242 x 162) "));
  EXPECT_FALSE(std::filesystem::exists(rig.sim.dir() + "~devshot.bmp"));
  EXPECT_TRUE(NoChildLeft());
  const auto runs = rig.sim.runs();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[2], (std::vector<std::string>{"-u", "-p0x2100000A", "screenshot",
                                               rig.sim.dir() + "~devshot.bmp"}));
}

TEST(CaptureEndToEnd, TopDownRowsThickFrameAndScale) {
  RealRig rig("rows = topdown\nwidth = 320\nheight = 240\n");
  rig.settings.framethickness = 4;
  rig.settings.shotsize = 4;  // 150%
  rig.settings.shotext = 0;
  rig.host.answers = {id::kAnswerFirst};
  rig.runJob();
  ExpectPattern(rig.saved("snapdeck.bmp"), 480, 360, 4);
}

TEST(CaptureEndToEnd, TwoDevicesOneWithAPassword) {
  RealRig rig(
      "devices = 2\ndevice2.password = p\"w\\\\\ndevice2.width = 100\ndevice2.height = 60\n");
  rig.settings.includepin = 0;
  rig.host.answers = {id::kAnswerFirst, id::kAnswerFirst};
  rig.host.passwordAnswers = {u"", u"p\"w\\"};
  rig.runJob();
  ExpectPattern(rig.saved("0x2100000A-snapdeck.png"), 240, 160, 1);
  ExpectPattern(rig.saved("0x2100000B-snapdeck.png"), 100, 60, 1);
  EXPECT_EQ(rig.settings.width, 2 * 242);
  const Picture* composed = rig.host.lastClip();
  ASSERT_NE(composed, nullptr);
  EXPECT_EQ(composed->width, 2 * 242);
  EXPECT_EQ(At(*composed, 243, 1), MakeRgb(255, 0, 0));
  EXPECT_EQ(rig.settings.passwords[2], u"p\"w\\");
}

TEST(CaptureEndToEnd, UnusableToolsFailWithinTheLimits) {
  const char* configs[] = {"hang = screenshot\n", "flood = screenshot\n", "bitmap = corrupt\n",
                           "bitmap = huge\n",     "bitmap = truncated\n", "bitmap = none\n"};
  for (const char* config : configs) {
    SCOPED_TRACE(config);
    RealRig rig(config);
    rig.settings.killtimeout = 5;
    rig.host.answers = {id::kAnswerFirst};
    const double seconds = rig.runJob();
    EXPECT_EQ(rig.text.drawn.back().first, u" shot failed! ");
    EXPECT_FALSE(rig.session.deviceSessionReady);
    EXPECT_FALSE(std::filesystem::exists(rig.sim.dir() + "shots/snapdeck.png"));
    // Detection, password check, half a second of tool and the 3 s wait for a bitmap.
    EXPECT_LT(seconds, 6.0);
    EXPECT_TRUE(NoChildLeft());
  }
}

}  // namespace
}  // namespace snapdeck

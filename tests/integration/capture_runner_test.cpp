#include <gtest/gtest.h>

#include "capture/command_lines.h"
#include "devicesim_folder.h"
#include "platform/posix/runner_posix.h"
#include "tests/support/wait_until.h"

namespace snapdeck {
namespace {

using testing::DevicesimFolder;
using testing::kNativeSimulator;
using testing::NoChildLeft;
using testing::ReadAll;

TEST(CaptureRunner, EnumerationRecordsArriveThroughThePipe) {
  DevicesimFolder sim(kNativeSimulator, "devices = 2\n");
  auto runner = MakePosixToolRunner();
  auto run = runner->start(sim.tool16(), EnumParameters());
  ASSERT_NE(run, nullptr);
  EXPECT_TRUE(run->waitEnd(5000));
  EXPECT_EQ(run->outputAvailable(), 24u);
  EXPECT_EQ(ReadAll(*run), "0x2100000A\r\n0x2100000B\r\n");
  EXPECT_EQ(run->outputAvailable(), 0u);
  run.reset();
  EXPECT_TRUE(NoChildLeft());
  ASSERT_EQ(sim.runs().size(), 1u);
  EXPECT_EQ(sim.runs()[0], (std::vector<std::string>{"-u", "enum"}));
}

TEST(CaptureRunner, RawEnumerationOutput) {
  DevicesimFolder sim(kNativeSimulator, "enum.raw = 0x2100000A\\r\\n0x2100000B\\r\\n!\n");
  auto run = MakePosixToolRunner()->start(sim.tool16(), EnumParameters());
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(ReadAll(*run).size(), 25u);
}

// The password reaches the tool exactly, whatever quotes and backslashes it holds, and the
// simulated device accepts it.
TEST(CaptureRunner, DeviceReceivesTheExactPassword) {
  const std::string passwords[] = {"a\"b", "\" -x \"", "ends\\", "back\\\"q", "two \\\\ \"\""};
  for (const std::string& pw : passwords) {
    SCOPED_TRACE(pw);
    std::string escaped;
    for (char c : pw) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    DevicesimFolder sim(kNativeSimulator, "device1.password = " + escaped + "\n");
    const std::u16string pw16(pw.begin(), pw.end());
    auto run =
        MakePosixToolRunner()->start(sim.tool16(), DeviceInfoParameters(u"0x2100000A", pw16));
    ASSERT_NE(run, nullptr);
    EXPECT_NE(ReadAll(*run).find("PIN: 0x2100000A"), std::string::npos);
    run.reset();
    const auto runs = sim.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], (std::vector<std::string>{"-u", "-p0x2100000A", "-w" + pw, "deviceinfo"}));
  }
}

TEST(CaptureRunner, WrongPasswordGivesNoOutput) {
  DevicesimFolder sim(kNativeSimulator, "device1.password = secret\n");
  auto run = MakePosixToolRunner()->start(sim.tool16(), DeviceInfoParameters(u"0x2100000A", u"x"));
  ASSERT_NE(run, nullptr);
  EXPECT_TRUE(run->waitEnd(5000));
  EXPECT_EQ(run->outputAvailable(), 0u);
  EXPECT_EQ(ReadAll(*run), "");
}

TEST(CaptureRunner, HangingToolIsKilledAndReaped) {
  DevicesimFolder sim(kNativeSimulator, "hang = enum\n");
  auto run = MakePosixToolRunner()->start(sim.tool16(), EnumParameters());
  ASSERT_NE(run, nullptr);
  EXPECT_FALSE(run->waitEnd(200));
  // The records came before the hang and can be read without blocking.
  std::uint8_t record[12];
  ASSERT_TRUE(testing::WaitUntil([&] { return run->outputAvailable() >= 12; }, 5000));
  EXPECT_EQ(run->read(record, 12), 12u);
  EXPECT_FALSE(NoChildLeft());
  run->kill();
  EXPECT_TRUE(run->waitEnd(5000));
  run.reset();
  EXPECT_TRUE(NoChildLeft());

  // Closed while still running: the run still leaves no zombie behind.
  auto again = MakePosixToolRunner()->start(sim.tool16(), EnumParameters());
  ASSERT_NE(again, nullptr);
  again.reset();
  EXPECT_TRUE(NoChildLeft());
}

TEST(CaptureRunner, FloodingToolEndsWhenTheRunCloses) {
  DevicesimFolder sim(kNativeSimulator, "flood = enum\n");
  auto run = MakePosixToolRunner()->start(sim.tool16(), EnumParameters());
  ASSERT_NE(run, nullptr);
  std::uint8_t block[4096];
  EXPECT_EQ(run->read(block, sizeof block), sizeof block);
  EXPECT_GT(run->outputAvailable(), 0u);
  run.reset();
  EXPECT_TRUE(NoChildLeft());
}

TEST(CaptureRunner, MissingToolDoesNotStart) {
  auto run = MakePosixToolRunner()->start(u"/nonexistent/javaloader.exe", EnumParameters());
  EXPECT_EQ(run, nullptr);
  EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace snapdeck

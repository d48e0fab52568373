// What every ToolRunner must do with a real device tool (the simulator), written once
// and run against each implementation. A test binary describes its platform,
//
//   namespace snapdeck::testing {
//   struct PosixTool {
//     static std::unique_ptr<ToolRunner> Make();
//     static std::filesystem::path Simulator();  // the built simulator to copy
//     static std::u16string MissingTool();       // a path where no program is
//     static constexpr bool kCountsChildren = true;
//     static bool NoChildLeft();  // no run of ours is left, running or dead
//     static std::uint16_t FreePort();            // a loopback port nothing listens on
//     static std::unique_ptr<SocketPort> Sockets();
//     static void EndProcess(unsigned long pid);  // ends a process the test made
//   };
//   INSTANTIATE_TYPED_TEST_SUITE_P(Posix, RunnerContract, PosixTool);
//   }
//
// With kCountsChildren false, NoChildLeft is never asked and need not exist.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "capture/command_lines.h"
#include "platform/ports.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "tests/support/devicesim_folder.h"
#include "tests/support/wait_until.h"

namespace snapdeck::testing {

// Passwords whose quotes and backslashes a command line must carry exactly.
inline const std::vector<std::string> kAwkwardPasswords = {"plain",  "a\"b",      "\" -x \"",
                                                           "ends\\", "back\\\"q", "two \\\\ \"\""};

// A value as the simulator's configuration and log write it: backslashes doubled.
inline std::string SimEscaped(const std::string& value) {
  std::string out;
  for (char c : value) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

template <typename Platform>
class RunnerContract : public ::testing::Test {
 protected:
  // A folder whose name holds a blank, with a copy of the simulator.
  struct Sim : DevicesimFolder {
    explicit Sim(const std::string& config)
        : DevicesimFolder(Platform::Simulator(), config, "snapdeck runner") {}
  };

  std::unique_ptr<ToolRun> start(const Sim& sim, const std::u16string& parameters) {
    return Platform::Make()->start(sim.tool16(), parameters);
  }
  static void expectNoChildLeft() {
    if constexpr (Platform::kCountsChildren) {
      EXPECT_TRUE(Platform::NoChildLeft());
    }
  }
  // Kills a run that has not ended: it ends, and once closed leaves no child.
  static void killAndClose(std::unique_ptr<ToolRun>& run) {
    run->kill();
    EXPECT_TRUE(run->waitEnd(10000));
    run.reset();
    expectNoChildLeft();
  }
  // A run closed while its tool still works (once `meanwhile` has seen it working)
  // leaves no child behind either.
  template <typename Meanwhile>
  void expectCloseEndsTheTool(const Sim& sim, Meanwhile meanwhile) {
    if constexpr (Platform::kCountsChildren) {
      auto run = start(sim, EnumParameters());
      ASSERT_NE(run, nullptr);
      meanwhile(*run);
      run.reset();
      EXPECT_TRUE(Platform::NoChildLeft());
    }
  }
};

TYPED_TEST_SUITE_P(RunnerContract);

TYPED_TEST_P(RunnerContract, EnumerationRecordsArriveThroughThePipe) {
  typename TestFixture::Sim sim("devices = 2\n");
  ASSERT_TRUE(sim.ready());
  auto run = this->start(sim, EnumParameters());
  ASSERT_NE(run, nullptr);
  ASSERT_TRUE(run->waitEnd(10000));
  EXPECT_EQ(run->outputAvailable(), 24u);
  EXPECT_EQ(ReadAll(*run), "0x2100000A\r\n0x2100000B\r\n");
  EXPECT_EQ(run->outputAvailable(), 0u);
  run.reset();
  this->expectNoChildLeft();
  ASSERT_EQ(sim.runs().size(), 1u);
  EXPECT_EQ(sim.runs()[0], (std::vector<std::string>{"-u", "enum"}));
}

TYPED_TEST_P(RunnerContract, RawEnumerationOutput) {
  typename TestFixture::Sim sim("enum.raw = 0x2100000A\\r\\n0x2100000B\\r\\n!\n");
  ASSERT_TRUE(sim.ready());
  auto run = this->start(sim, EnumParameters());
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(ReadAll(*run).size(), 25u);
}

// The password reaches the tool exactly, whatever quotes and backslashes it holds, and the
// simulated device accepts it.
TYPED_TEST_P(RunnerContract, DeviceReceivesTheExactPassword) {
  for (const std::string& pw : kAwkwardPasswords) {
    SCOPED_TRACE(pw);
    typename TestFixture::Sim sim("device1.password = " + SimEscaped(pw) + "\n");
    ASSERT_TRUE(sim.ready());
    const std::u16string pw16(pw.begin(), pw.end());
    auto run = this->start(sim, DeviceInfoParameters(u"0x2100000A", pw16));
    ASSERT_NE(run, nullptr);
    EXPECT_NE(ReadAll(*run).find("PIN: 0x2100000A"), std::string::npos);
    ASSERT_TRUE(run->waitEnd(10000));
    run.reset();
    const auto runs = sim.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], (std::vector<std::string>{"-u", "-p0x2100000A", "-w" + pw, "deviceinfo"}));
  }
}

TYPED_TEST_P(RunnerContract, WrongPasswordGivesNoOutput) {
  typename TestFixture::Sim sim("device1.password = secret\n");
  ASSERT_TRUE(sim.ready());
  auto run = this->start(sim, DeviceInfoParameters(u"0x2100000A", u"x"));
  ASSERT_NE(run, nullptr);
  ASSERT_TRUE(run->waitEnd(10000));
  EXPECT_EQ(run->outputAvailable(), 0u);
  EXPECT_EQ(ReadAll(*run), "");
}

TYPED_TEST_P(RunnerContract, ScreenshotWritesTheQuotedPath) {
  typename TestFixture::Sim sim("");
  ASSERT_TRUE(sim.ready());
  auto run = this->start(sim, ScreenshotParameters(u"0x2100000A", u"", sim.dir16()));
  ASSERT_NE(run, nullptr);
  EXPECT_NE(ReadAll(*run).find("Reading screen"), std::string::npos);
  ASSERT_TRUE(run->waitEnd(10000));
  std::error_code ec;
  EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(sim.dir()) / "~devshot.bmp", ec),
            54u + 240u * 3u * 160u);
}

TYPED_TEST_P(RunnerContract, HangingToolIsKilled) {
  typename TestFixture::Sim sim("hang = enum\n");
  ASSERT_TRUE(sim.ready());
  auto run = this->start(sim, EnumParameters());
  ASSERT_NE(run, nullptr);
  EXPECT_FALSE(run->waitEnd(300));
  // The records came before the hang and can be read without blocking.
  std::uint8_t record[12];
  ASSERT_TRUE(WaitUntil([&] { return run->outputAvailable() >= 12; }, 10000));
  EXPECT_EQ(run->read(record, 12), 12u);
  if constexpr (TypeParam::kCountsChildren) {
    EXPECT_FALSE(TypeParam::NoChildLeft());
  }
  this->killAndClose(run);
  this->expectCloseEndsTheTool(sim, [](ToolRun&) {});
}

TYPED_TEST_P(RunnerContract, FloodingToolCanBeKilledWhileWriting) {
  typename TestFixture::Sim sim("flood = enum\n");
  ASSERT_TRUE(sim.ready());
  auto run = this->start(sim, EnumParameters());
  ASSERT_NE(run, nullptr);
  std::uint8_t block[4096];
  EXPECT_EQ(run->read(block, sizeof block), sizeof block);
  EXPECT_FALSE(run->waitEnd(50));
  this->killAndClose(run);
  this->expectCloseEndsTheTool(sim, [&](ToolRun& flooding) {
    EXPECT_EQ(flooding.read(block, sizeof block), sizeof block);
    EXPECT_GT(flooding.outputAvailable(), 0u);
  });
}

TYPED_TEST_P(RunnerContract, MissingToolDoesNotStart) {
  EXPECT_EQ(TypeParam::Make()->start(TypeParam::MissingTool(), EnumParameters()), nullptr);
  this->expectNoChildLeft();
}

// A server the tool launches, as adb's start-server does (the simulator's stand-in),
// still listens once the detached run has ended and been closed.
TYPED_TEST_P(RunnerContract, ServerLaunchedByADetachedRunOutlivesIt) {
  typename TestFixture::Sim sim("");
  ASSERT_TRUE(sim.ready());
  const std::uint16_t port = TypeParam::FreePort();
  ASSERT_NE(port, 0);
  auto run =
      TypeParam::Make()->startDetached(sim.tool16(), u"-P " + DecimalText(port) + u" start-server");
  ASSERT_NE(run, nullptr);
  EXPECT_TRUE(run->waitEnd(20000));
  run.reset();
  const std::vector<std::string> servers = sim.logLines("server ");
  ASSERT_EQ(servers.size(), 1u);
  const bool listens = TypeParam::Sockets()->connectLoopback(port, 2000) != nullptr;
  TypeParam::EndProcess(std::stoul(servers[0]));
  EXPECT_TRUE(listens) << "the server ended with the run";
}

REGISTER_TYPED_TEST_SUITE_P(RunnerContract, EnumerationRecordsArriveThroughThePipe,
                            RawEnumerationOutput, DeviceReceivesTheExactPassword,
                            WrongPasswordGivesNoOutput, ScreenshotWritesTheQuotedPath,
                            HangingToolIsKilled, FloodingToolCanBeKilledWhileWriting,
                            MissingToolDoesNotStart, ServerLaunchedByADetachedRunOutlivesIt);

}  // namespace snapdeck::testing

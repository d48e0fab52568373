// The POSIX runner against the native build of the device simulator.
#include <gtest/gtest.h>
#include <signal.h>

#include "adb_world.h"
#include "platform/posix/runner_posix.h"
#include "platform/posix/socket_posix.h"
#include "tests/support/devicesim_folder.h"
#include "tests/support/runner_contract.h"

namespace snapdeck::testing {

struct PosixTool {
  static std::unique_ptr<ToolRunner> Make() { return MakePosixToolRunner(); }
  static std::filesystem::path Simulator() { return kNativeSimulator; }
  static std::u16string MissingTool() { return u"/nonexistent/javaloader.exe"; }
  static constexpr bool kCountsChildren = true;
  static bool NoChildLeft() { return testing::NoChildLeft(); }
  static std::uint16_t FreePort() { return FreeLoopbackPort(); }
  static std::unique_ptr<SocketPort> Sockets() { return MakePosixSocketPort(); }
  static void EndProcess(unsigned long pid) { ::kill(static_cast<pid_t>(pid), SIGKILL); }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Posix, RunnerContract, PosixTool);

}  // namespace snapdeck::testing

// The POSIX runner against the native build of the device simulator.
#include <gtest/gtest.h>

#include "devicesim_folder.h"
#include "platform/posix/runner_posix.h"
#include "tests/support/runner_contract.h"

namespace snapdeck::testing {

struct PosixTool {
  static std::unique_ptr<ToolRunner> Make() { return MakePosixToolRunner(); }
  static std::filesystem::path Simulator() { return kNativeSimulator; }
  static std::u16string MissingTool() { return u"/nonexistent/javaloader.exe"; }
  static constexpr bool kCountsChildren = true;
  static bool NoChildLeft() { return testing::NoChildLeft(); }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Posix, RunnerContract, PosixTool);

}  // namespace snapdeck::testing

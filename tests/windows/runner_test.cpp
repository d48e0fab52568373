// The Win32 runner against the Windows build of the device simulator.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/runner_win32.h"
#include "tests/support/runner_contract.h"

namespace snapdeck::testing {

struct Win32Tool {
  static std::unique_ptr<ToolRunner> Make() { return MakeWin32ToolRunner(); }
  static std::filesystem::path Simulator() {
    const wchar_t* override = _wgetenv(L"SNAPDECK_DEVICESIM");
    if (override != nullptr) return override;
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    return std::filesystem::path(std::wstring(buffer, n)).parent_path() / ".." / "tools" /
           "devicesim" / "javaloader.exe";
  }
  static std::u16string MissingTool() { return u"C:\\nonexistent\\javaloader.exe"; }
  // Runs left behind are not counted here: this runner does not end a run that is
  // closed while its tool still runs.
  static constexpr bool kCountsChildren = false;
};
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, RunnerContract, Win32Tool);

}  // namespace snapdeck::testing

namespace snapdeck {
namespace {

class Win32Runner : public testing::RunnerContract<testing::Win32Tool> {};

std::string Narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += static_cast<char>(c < 128 ? c : '?');
  return out;
}

// The command line is the quoted path, one blank and the parameter text.
TEST_F(Win32Runner, CommandLineIsTheQuotedPathAndTheParameters) {
  for (const std::string& pw : testing::kAwkwardPasswords) {
    SCOPED_TRACE(pw);
    Sim sim("device1.password = " + testing::SimEscaped(pw) + "\n");
    ASSERT_TRUE(sim.ready());
    const std::u16string pw16(pw.begin(), pw.end());
    const std::u16string params = DeviceInfoParameters(u"0x2100000A", pw16);
    auto run = start(sim, params);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(run->waitEnd(10000));
    run.reset();
    const std::string expected = testing::SimEscaped(
        "\"" + Narrow(sim.dir()) + "javaloader.exe\" " + std::string(params.begin(), params.end()));
    EXPECT_EQ(sim.logLines("cmdline "), std::vector<std::string>{expected});
  }
}

}  // namespace
}  // namespace snapdeck

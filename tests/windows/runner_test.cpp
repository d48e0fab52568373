// The Win32 runner against the Windows build of the device simulator.
#include <gtest/gtest.h>

// Before windows.h, which would otherwise bring the old Winsock.
#include <winsock2.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "capture/command_lines.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/runner_win32.h"
#include "platform/win32/socket_win32.h"
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
  // Leftover runs are checked by the job-object test below instead.
  static constexpr bool kCountsChildren = false;
  static std::uint16_t FreePort() {
    // Started for the process and left running, as the program's own sockets do.
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    win32::UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof a;
    std::uint16_t port = 0;
    if (s && bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &length) == 0) {
      port = ntohs(a.sin_port);
    }
    return port;
  }
  static std::unique_ptr<SocketPort> Sockets() { return MakeWin32SocketPort(); }
  static void EndProcess(unsigned long pid) {
    win32::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) return;
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 10000);
  }
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

// A helper the tool started holds the tool's output pipe. It ends with the tool, whether
// the run is killed or simply goes away, and the tool receives no other handle of ours.
TEST_F(Win32Runner, TheToolAndWhatItStartedEndWithTheRun) {
  Sim sim("child = enum\nhang = enum\n");
  ASSERT_TRUE(sim.ready());
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE otherRead = nullptr;
  HANDLE otherWrite = nullptr;
  ASSERT_TRUE(CreatePipe(&otherRead, &otherWrite, &inheritable, 0));
  win32::UniqueHandle ours(otherRead);
  win32::UniqueHandle theirs(otherWrite);

  for (const bool killFirst : {true, false}) {
    SCOPED_TRACE(killFirst ? "killed" : "gone");
    auto run = start(sim, EnumParameters());
    ASSERT_NE(run, nullptr);
    std::uint8_t record[12];
    ASSERT_EQ(run->read(record, sizeof record), sizeof record);  // the helper runs by now
    const std::vector<std::string> children = sim.logLines("child ");
    ASSERT_EQ(children.size(), killFirst ? 1u : 2u);
    win32::UniqueHandle child(
        OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::stoul(children.back()))));
    ASSERT_TRUE(child);
    if (theirs) {
      // No process but ours held the other pipe's write end.
      theirs.reset();
      DWORD available = 0;
      EXPECT_FALSE(PeekNamedPipe(ours.get(), nullptr, 0, nullptr, &available, nullptr));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    }
    if (killFirst) {
      run->kill();
      ASSERT_EQ(WaitForSingleObject(child.get(), 10000), WAIT_OBJECT_0);
      // Nobody holds the output open any more, so reading ends instead of waiting.
      EXPECT_EQ(testing::ReadAll(*run), "");
    }
    run.reset();
    EXPECT_EQ(WaitForSingleObject(child.get(), 10000), WAIT_OBJECT_0);
  }
}

// A start that fails although the tool is there is tried again: here another program (as
// a virus scanner may) holds the tool's file without sharing it for a moment.
TEST_F(Win32Runner, AStartThatFailsForAMomentIsTriedAgain) {
  Sim sim("");
  ASSERT_TRUE(sim.ready());
  const std::u16string tool16 = sim.tool16();
  const std::wstring tool(tool16.begin(), tool16.end());
  win32::UniqueHandle held(
      CreateFileW(tool.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  // Held throughout, every try fails.
  EXPECT_EQ(start(sim, EnumParameters()), nullptr);
  std::thread scanner([&] {
    Sleep(20);  // the scanner's moment, not a wait for the runner
    held.reset();
  });
  auto run = start(sim, EnumParameters());
  scanner.join();
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(testing::ReadAll(*run), "0x2100000A\r\n");
}

// The tool reads its command line in the ANSI code page: what that page cannot hold would
// reach it as a look-alike ("l" for "\u0142") or "?", a wrong password the device counts.
TEST_F(Win32Runner, OnlyTextTheCodePageHoldsPassesExactly) {
  auto runner = MakeWin32ToolRunner();
  EXPECT_TRUE(runner->passesExactly(u""));
  EXPECT_TRUE(runner->passesExactly(u"se\\cret\"1 x"));
  EXPECT_FALSE(runner->passesExactly(std::u16string(u"a\0b", 3)));
  EXPECT_FALSE(runner->passesExactly(u"a\xD800b"));  // an unpaired surrogate
  if (GetACP() == 1252) {
    EXPECT_TRUE(runner->passesExactly(u"\u00E9\u20AC\u00FF"));
    EXPECT_FALSE(runner->passesExactly(u"\u0142"));
    EXPECT_FALSE(runner->passesExactly(u"\u65E5\u672C"));
  }
}

}  // namespace
}  // namespace snapdeck

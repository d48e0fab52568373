// The Win32 runner against the Windows build of the device simulator.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "capture/command_lines.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/runner_win32.h"
#include "tests/support/devicesim_folder.h"

namespace snapdeck {
namespace {

using testing::ReadAll;

std::wstring ModuleFolder() {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  std::wstring path(buffer, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::string Narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += static_cast<char>(c < 128 ? c : '?');
  return out;
}

// A folder whose name contains a blank, holding a copy of the simulator.
class SimFolder : public testing::DevicesimFolder {
 public:
  explicit SimFolder(const std::string& config)
      : DevicesimFolder(Simulator(), config, "snapdeck runner") {}

 private:
  static std::wstring Simulator() {
    const wchar_t* override = _wgetenv(L"SNAPDECK_DEVICESIM");
    return override ? std::wstring(override)
                    : ModuleFolder() + L"..\\tools\\devicesim\\javaloader.exe";
  }
};

// The log's form of an argument: backslashes doubled.
std::string Logged(const std::string& arg) {
  std::string out;
  for (char c : arg) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

TEST(Win32Runner, EnumerationRecordsArriveThroughThePipe) {
  SimFolder sim("devices = 2\n");
  ASSERT_TRUE(sim.ready());
  auto run = MakeWin32ToolRunner()->start(sim.tool16(), EnumParameters());
  ASSERT_NE(run, nullptr);
  ASSERT_TRUE(run->waitEnd(10000));
  EXPECT_EQ(run->outputAvailable(), 24u);
  EXPECT_EQ(ReadAll(*run), "0x2100000A\r\n0x2100000B\r\n");
  EXPECT_EQ(run->outputAvailable(), 0u);
}

TEST(Win32Runner, DeviceReceivesTheExactPassword) {
  const std::string passwords[] = {"plain", "a\"b", "\" -x \"", "ends\\", "back\\\"q"};
  for (const std::string& pw : passwords) {
    SCOPED_TRACE(pw);
    SimFolder sim("device1.password = " + Logged(pw) + "\n");
    ASSERT_TRUE(sim.ready());
    const std::u16string pw16(pw.begin(), pw.end());
    auto run =
        MakeWin32ToolRunner()->start(sim.tool16(), DeviceInfoParameters(u"0x2100000A", pw16));
    ASSERT_NE(run, nullptr);
    EXPECT_NE(ReadAll(*run).find("PIN: 0x2100000A"), std::string::npos);
    ASSERT_TRUE(run->waitEnd(10000));
    run.reset();
    EXPECT_EQ(sim.logLines("arg "),
              (std::vector<std::string>{"-u", "-p0x2100000A", Logged("-w" + pw), "deviceinfo"}));
    // The command line is the quoted path, one blank and the parameter text.
    const std::u16string params = DeviceInfoParameters(u"0x2100000A", pw16);
    const std::string expected = Logged("\"" + Narrow(sim.dir()) + "javaloader.exe\" " +
                                        std::string(params.begin(), params.end()));
    EXPECT_EQ(sim.logLines("cmdline "), std::vector<std::string>{expected});
  }
}

TEST(Win32Runner, ScreenshotWritesTheQuotedPath) {
  SimFolder sim("");
  ASSERT_TRUE(sim.ready());
  auto run = MakeWin32ToolRunner()->start(sim.tool16(),
                                          ScreenshotParameters(u"0x2100000A", u"", sim.dir16()));
  ASSERT_NE(run, nullptr);
  EXPECT_NE(ReadAll(*run).find("Reading screen"), std::string::npos);
  ASSERT_TRUE(run->waitEnd(10000));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(
      GetFileAttributesExW((sim.dir() + L"~devshot.bmp").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 54u + 240u * 3u * 160u);
}

TEST(Win32Runner, WrongPasswordGivesNoOutput) {
  SimFolder sim("device1.password = secret\n");
  ASSERT_TRUE(sim.ready());
  auto run = MakeWin32ToolRunner()->start(sim.tool16(), DeviceInfoParameters(u"0x2100000A", u"x"));
  ASSERT_NE(run, nullptr);
  ASSERT_TRUE(run->waitEnd(10000));
  EXPECT_EQ(run->outputAvailable(), 0u);
  EXPECT_EQ(ReadAll(*run), "");
}

TEST(Win32Runner, HangingToolIsKilled) {
  SimFolder sim("hang = enum\n");
  ASSERT_TRUE(sim.ready());
  auto run = MakeWin32ToolRunner()->start(sim.tool16(), EnumParameters());
  ASSERT_NE(run, nullptr);
  EXPECT_FALSE(run->waitEnd(300));
  run->kill();
  EXPECT_TRUE(run->waitEnd(10000));
}

TEST(Win32Runner, FloodingToolCanBeKilledWhileWriting) {
  SimFolder sim("flood = enum\n");
  ASSERT_TRUE(sim.ready());
  auto run = MakeWin32ToolRunner()->start(sim.tool16(), EnumParameters());
  ASSERT_NE(run, nullptr);
  std::uint8_t block[4096];
  EXPECT_EQ(run->read(block, sizeof block), sizeof block);
  EXPECT_FALSE(run->waitEnd(50));
  run->kill();
  EXPECT_TRUE(run->waitEnd(10000));
}

// A helper the tool started holds the tool's output pipe. It ends with the tool, whether
// the run is killed or simply goes away, and the tool receives no other handle of ours.
TEST(Win32Runner, TheToolAndWhatItStartedEndWithTheRun) {
  SimFolder sim("child = enum\nhang = enum\n");
  ASSERT_TRUE(sim.ready());
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE otherRead = nullptr;
  HANDLE otherWrite = nullptr;
  ASSERT_TRUE(CreatePipe(&otherRead, &otherWrite, &inheritable, 0));
  win32::UniqueHandle ours(otherRead);
  win32::UniqueHandle theirs(otherWrite);

  for (const bool killFirst : {true, false}) {
    SCOPED_TRACE(killFirst ? "killed" : "gone");
    auto run = MakeWin32ToolRunner()->start(sim.tool16(), EnumParameters());
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
      EXPECT_EQ(ReadAll(*run), "");
    }
    run.reset();
    EXPECT_EQ(WaitForSingleObject(child.get(), 10000), WAIT_OBJECT_0);
  }
}

// The tool reads its command line in the ANSI code page: what that page cannot hold would
// reach it as a look-alike ("l" for "\u0142") or "?", a wrong password the device counts.
TEST(Win32Runner, OnlyTextTheCodePageHoldsPassesExactly) {
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

TEST(Win32Runner, MissingToolDoesNotStart) {
  EXPECT_EQ(MakeWin32ToolRunner()->start(u"C:\\nonexistent\\javaloader.exe", EnumParameters()),
            nullptr);
}

}  // namespace
}  // namespace snapdeck

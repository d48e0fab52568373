// The Win32 runner against the Windows build of the device simulator.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "capture/command_lines.h"
#include "platform/win32/runner_win32.h"

namespace snapdeck {
namespace {

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

// A folder with its name containing a blank, holding a copy of the simulator and its
// configuration.
class SimFolder {
 public:
  explicit SimFolder(const std::string& config) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"snapdeck runner " + std::to_wstring(GetCurrentProcessId()) +
           L"-" + std::to_wstring(++counter_) + L"\\";
    CreateDirectoryW(dir_.c_str(), nullptr);
    const wchar_t* override = _wgetenv(L"SNAPDECK_DEVICESIM");
    const std::wstring source = override ? std::wstring(override)
                                         : ModuleFolder() + L"..\\tools\\devicesim\\javaloader.exe";
    copied_ = CopyFileW(source.c_str(), (dir_ + L"javaloader.exe").c_str(), FALSE) != 0;
    std::ofstream(Narrow(dir_) + "devicesim.cfg", std::ios::binary) << "log = devicesim.log\n"
                                                                    << config;
  }
  ~SimFolder() {
    for (const wchar_t* name :
         {L"javaloader.exe", L"devicesim.cfg", L"devicesim.log", L"~devshot.bmp"}) {
      DeleteFileW((dir_ + name).c_str());
    }
    RemoveDirectoryW(dir_.c_str());
  }
  bool ready() const { return copied_; }
  std::u16string dir16() const { return std::u16string(dir_.begin(), dir_.end()); }
  std::u16string tool16() const { return dir16() + u"javaloader.exe"; }
  std::wstring dir() const { return dir_; }

  // Lines of the simulator's log that start with prefix, without it.
  std::vector<std::string> logLines(const std::string& prefix) const {
    std::ifstream in(Narrow(dir_) + "devicesim.log", std::ios::binary);
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
    }
    return out;
  }

 private:
  static inline int counter_ = 0;
  std::wstring dir_;
  bool copied_ = false;
};

std::string ReadAll(ToolRun& run) {
  std::string out;
  std::uint8_t block[256];
  std::size_t n;
  while ((n = run.read(block, sizeof block)) > 0) out.append(block, block + n);
  return out;
}

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

TEST(Win32Runner, MissingToolDoesNotStart) {
  EXPECT_EQ(MakeWin32ToolRunner()->start(u"C:\\nonexistent\\javaloader.exe", EnumParameters()),
            nullptr);
}

}  // namespace
}  // namespace snapdeck

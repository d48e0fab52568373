#include "driver/fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tests/support/default_settings.h"

namespace e2e {

SettingsLines SettingsLines::Defaults(const std::wstring& programFolder) {
  SettingsLines s;
  s.lines_ = snapdeck::testing::DefaultSettingsEntries(Utf8(programFolder));
  return s;
}

SettingsLines SettingsLines::Parse(const Bytes& file) {
  SettingsLines s;
  const std::string text(file.begin(), file.end());
  const std::string head = "\xEF\xBB\xBF\r\n";
  if (text.compare(0, head.size(), head) != 0) return s;
  std::size_t pos = head.size();
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    const std::size_t eq = line.find(" = ");
    if (eq == std::string::npos) return SettingsLines{};
    s.lines_.emplace_back(line.substr(0, eq), line.substr(eq + 3));
  }
  return s;
}

bool SettingsLines::Has(const std::string& key) const {
  return std::any_of(lines_.begin(), lines_.end(), [&](const auto& l) { return l.first == key; });
}

std::string SettingsLines::Get(const std::string& key) const {
  for (const auto& l : lines_) {
    if (l.first == key) return l.second;
  }
  return {};
}

void SettingsLines::Set(const std::string& key, const std::string& value) {
  for (auto& l : lines_) {
    if (l.first == key) {
      l.second = value;
      return;
    }
  }
  ADD_FAILURE() << "no settings key " << key;
}

void SettingsLines::Remove(const std::string& key) {
  lines_.erase(
      std::remove_if(lines_.begin(), lines_.end(), [&](const auto& l) { return l.first == key; }),
      lines_.end());
}

std::string SettingsLines::Text() const { return snapdeck::testing::SettingsFileText(lines_); }

std::string IniText(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out;
  for (const auto& [k, v] : entries) out += k + " = " + v + "\r\n";
  return out;
}

std::string DeviceConfig(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out = "log = calls.log\n";
  for (const auto& [k, v] : entries) out += k + " = " + v + "\n";
  return out;
}

LaunchOptions WithDevices(const std::vector<std::pair<std::string, std::string>>& device,
                          const std::vector<std::pair<std::string, std::string>>& settings) {
  LaunchOptions o;
  o.deviceConfig = DeviceConfig(device);
  o.deviceConfigName = kDeviceConfigName;
  if (!settings.empty()) o.settings = ToBytes(IniText(settings));
  return o;
}

namespace {

// The simulated tool's last run as its log in folder tells it: the arguments, what it
// wrote and how it ended, so an answered question shows whether the tool ran at all.
std::string LastToolRun(const std::wstring& folder) {
  const auto log = ReadFileBytes(JoinPath(folder, L"calls.log"));
  if (!log) return "no tool run logged";
  const std::string text(log->begin(), log->end());
  const std::size_t start = text.rfind("run\n");
  if (start == std::string::npos || (start > 0 && text[start - 1] != '\n')) {
    return "no tool run logged";
  }
  std::string args, after;
  std::size_t pos = start + 4;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind("arg ", 0) == 0) {
      args.append(" ").append(line, 4);
    } else if (line.rfind("cmdline ", 0) != 0) {
      after.append("; ").append(line);
    }
  }
  std::string note = "the tool's last run:";
  note += args;
  note += after.empty() ? std::string("; nothing written, not ended") : after;
  return note;
}

}  // namespace

void E2eTest::SetUp() {
  ASSERT_FALSE(SnapdeckExe().empty()) << "SNAPDECK_EXE is not set (run through tools/test.sh)";
  folder_ = FreshFolder(TestName());
  ClearClipboard();
  watching_ = true;
  watcher_ = std::thread([this] { WatchRetryQuestions(); });
}

void E2eTest::TearDown() {
  watching_ = false;
  if (watcher_.joinable()) watcher_.join();
  for (auto& p : programs_) p->Kill();
  programs_.clear();
}

void E2eTest::AnswerRetryQuestionsInTheTest() { watcherAnswers_ = false; }

void E2eTest::WatchRetryQuestions() {
  const std::wstring noDevice = L"It seems there is no BlackBerry connected";
  const std::wstring wrongPassword = L"It looks like the password you have entered";
  bool promptFollows = false;  // the password warning was answered with "try again"
  while (watching_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (!watcherAnswers_) continue;
    // Every requester on the screen, a few lookups only: the watcher must not load the
    // machine it is there for.
    for (HWND ask = FindWindowExW(nullptr, nullptr, nullptr, kRequesterTitle); ask != nullptr;
         ask = FindWindowExW(nullptr, ask, nullptr, kRequesterTitle)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(ask, &pid);
      std::wstring programFolder;
      {
        std::lock_guard<std::mutex> lock(watchedMutex_);
        const auto it = std::find_if(watched_.begin(), watched_.end(),
                                     [&](const auto& w) { return w.first == pid; });
        if (it == watched_.end()) continue;
        programFolder = it->second;
      }
      if (!IsWindowVisible(ask)) continue;
      const std::wstring text = Text(Control(ask, id::kReqMessage));
      const bool retry = text.rfind(noDevice, 0) == 0 || text.rfind(wrongPassword, 0) == 0;
      HWND passwordField = Control(ask, id::kReqPassword);
      if (!retry && !(promptFollows && passwordField != nullptr)) continue;
      if (passwordField != nullptr) {
        SetText(passwordField, L"");
        promptFollows = false;
      } else {
        promptFollows = text.rfind(wrongPassword, 0) == 0;
      }
      std::printf("[ note     ] the program asked \"%s\"; answered as a user: \"%s\"; %s\n",
                  Utf8(text.substr(0, 60)).c_str(),
                  Utf8(Text(Control(ask, id::kReqFirstButton))).c_str(),
                  LastToolRun(programFolder).c_str());
      std::fflush(stdout);
      Click(Control(ask, id::kReqFirstButton));
      WaitUntil([&] { return !IsWindow(ask) || !watching_; }, 10000);
      break;
    }
  }
}

std::wstring E2eTest::Folder(const std::wstring& sub) {
  if (sub.empty()) return folder_;
  std::wstring f = folder_ + sub;
  CreateDirectoryW(f.c_str(), nullptr);
  return f + L"\\";
}

Program& E2eTest::Start(const std::wstring& folder, const LaunchOptions& options) {
  programs_.push_back(std::make_unique<Program>());
  Program& p = *programs_.back();
  if (options.withDeviceTool && DeviceSimExe().empty()) {
    ADD_FAILURE() << "DEVICESIM_EXE is not set: the device simulator was not built";
  }
  EXPECT_TRUE(p.Launch(folder, options))
      << "could not start " << Utf8(options.exeName) << " in " << Utf8(folder);
  std::lock_guard<std::mutex> lock(watchedMutex_);
  watched_.emplace_back(p.pid(), folder);
  return p;
}

HWND E2eTest::WaitMain(Program& program, int timeoutMs) {
  HWND main = program.WaitWindow(kMainTitle, timeoutMs);
  EXPECT_NE(main, nullptr) << "no main window titled \"Snapdeck 1.67\""
                           << (program.running() ? "" : " (the program ended)");
  return main;
}

void E2eTest::EndWithEsc(Program& program, HWND main) {
  // A key pressed while a capture is still finishing is dropped, as the program drops
  // every click during a long operation; a user would press it again.
  std::optional<DWORD> code;
  for (int attempt = 0; attempt < 4 && !code; ++attempt) {
    PressKey(main, VK_ESCAPE);
    code = program.WaitExit(5000);
  }
  ASSERT_TRUE(code.has_value()) << "the program did not end after Esc; " << program.Describe();
  EXPECT_EQ(*code, 0u);
}

SettingsLines E2eTest::SavedSettings(const std::wstring& folder) {
  auto bytes = ReadFileBytes(JoinPath(folder, L"Snapdeck.ini"));
  EXPECT_TRUE(bytes.has_value()) << "no Snapdeck.ini in " << Utf8(folder);
  if (!bytes) return {};
  SettingsLines s = SettingsLines::Parse(*bytes);
  EXPECT_FALSE(s.lines().empty()) << "Snapdeck.ini is not in the written form";
  return s;
}

HWND E2eTest::WaitRequester(Program& program, int timeoutMs) {
  return program.WaitWindow(kRequesterTitle, timeoutMs);
}

HWND E2eTest::WaitRequesterKind(Program& program, bool withPassword, int timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = program.FindWindowTitled(kRequesterTitle);
        return found != nullptr && (Control(found, id::kReqPassword) != nullptr) == withPassword;
      },
      timeoutMs, 100);
  return found;
}

void E2eTest::AnswerPasswordPrompt(Program& program, const std::wstring& password) {
  HWND ask = WaitRequesterKind(program, true);
  ASSERT_NE(ask, nullptr) << "no password prompt";
  SetText(Control(ask, id::kReqPassword), password);
  Click(Control(ask, id::kReqFirstButton));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(ask); }, 10000)) << "the prompt stayed open";
}

void E2eTest::TakeShot(Program& program, HWND main, int prompts) {
  Click(Control(main, id::kTakeScreenshot));
  for (int i = 0; i < prompts; ++i) AnswerPasswordPrompt(program);
}

void E2eTest::LetTheJobFinish(HWND main) {
  EXPECT_TRUE(WaitUntil([&] { return Enabled(Control(main, id::kTakeScreenshot)); }, 30000))
      << "the capture did not end";
}

std::wstring E2eTest::TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return Widen(name);
}

::testing::AssertionResult SamePixels(const snapdeck::Picture& a, const snapdeck::Picture& b,
                                      int bx, int by) {
  if (bx < 0 || by < 0 || bx + a.width > b.width || by + a.height > b.height) {
    return ::testing::AssertionFailure() << a.width << "x" << a.height << " at (" << bx << ","
                                         << by << ") does not fit into " << b.width << "x"
                                         << b.height;
  }
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (Rrggbb(a, x, y) != Rrggbb(b, bx + x, by + y)) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << "," << y << ") differs: #" << std::hex << Rrggbb(a, x, y)
               << " vs #" << Rrggbb(b, bx + x, by + y);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace e2e

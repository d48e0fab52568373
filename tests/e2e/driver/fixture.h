// The common frame of every end-to-end test: a fresh folder per test, programs that are
// always ended at the end of the test, and the settings file as the program writes it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "driver/driver.h"

namespace e2e {

inline constexpr wchar_t kMainTitle[] = L"Snapdeck 1.67";
inline constexpr wchar_t kRequesterTitle[] = L"ask -kestrel's requester";
inline constexpr wchar_t kBubbleTitle[] = L"VEX - kestrel's update info";
inline constexpr wchar_t kDeviceConfigName[] = L"devicesim.cfg";

// Key and value lines of a settings file, in the order the program writes them.
class SettingsLines {
 public:
  // The file a first run in programFolder (ending with "\") writes with every default.
  static SettingsLines Defaults(const std::wstring& programFolder);
  // Reads a file as the program writes it; empty when it is not in that form.
  static SettingsLines Parse(const Bytes& file);

  bool Has(const std::string& key) const;
  std::string Get(const std::string& key) const;  // "" when absent
  // Replaces the value of an existing key; a test error when the key is absent.
  void Set(const std::string& key, const std::string& value);
  void Remove(const std::string& key);
  std::string Text() const;  // BOM, CR LF, then "key = value" CR LF lines
  Bytes FileBytes() const { return ToBytes(Text()); }
  const std::vector<std::pair<std::string, std::string>>& lines() const { return lines_; }

 private:
  std::vector<std::pair<std::string, std::string>> lines_;
};

// Writes "key = value" lines (no byte-order mark) for a hand-made settings file.
std::string IniText(const std::vector<std::pair<std::string, std::string>>& entries);

class E2eTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A fresh folder for this test (or a named sub-folder of it).
  std::wstring Folder(const std::wstring& sub = L"");
  // Starts the program; the test fails when it could not be started.
  Program& Start(const std::wstring& folder, const LaunchOptions& options);
  HWND WaitMain(Program& program, int timeoutMs = kDefaultTimeoutMs);
  // Presses Esc in the main window and expects the program to end with exit code 0.
  void EndWithEsc(Program& program, HWND main);
  // The settings file of a folder, parsed; fails the test when it is missing.
  SettingsLines SavedSettings(const std::wstring& folder);
  // The requester window of the program, waiting for it.
  HWND WaitRequester(Program& program, int timeoutMs = kDefaultTimeoutMs);
  // A requester with (the password kind) or without the password field.
  HWND WaitRequesterKind(Program& program, bool withPassword, int timeoutMs = 30000);
  // The first capture asks for every device's password; answers one prompt with "OK, done"
  // and waits until it has closed.
  void AnswerPasswordPrompt(Program& program, const std::wstring& password = L"");
  // Presses "take screenshot" and answers as many password prompts with "OK, done".
  void TakeShot(Program& program, HWND main, int prompts = 1);
  // The outcome shows a moment before the job has ended, and a click that arrives while
  // the job still runs is dropped: waits until "take screenshot" is enabled again.
  void LetTheJobFinish(HWND main);

  // Very rarely, under Wine on a loaded machine, the device tool gave no answer within the
  // program's polling cycles (its first output otherwise comes within a second): the one
  // cause found, a start Wine failed, is now tried again by the runner. Should it happen
  // still, the program asks what it asks when a device does not answer ("no BlackBerry
  // connected", "the password ... is wrong"). As a user would, a watcher answers
  // "try again", and the password prompt that follows the warning with the empty password
  // the simulated devices have, for every program of the test, and says so in the log with
  // what the simulated tool logged of its last run. A test that looks at those questions
  // itself turns it off.
  void AnswerRetryQuestionsInTheTest();

  static std::wstring TestName();

  std::wstring folder_;
  std::vector<std::unique_ptr<Program>> programs_;

 private:
  void WatchRetryQuestions();

  std::thread watcher_;
  std::atomic<bool> watching_{false};
  std::atomic<bool> watcherAnswers_{true};
  std::mutex watchedMutex_;
  std::vector<std::pair<DWORD, std::wstring>> watched_;  // program and its folder
};

// True when a equals the a-sized region of b at (bx, by); names the first differing pixel.
::testing::AssertionResult SamePixels(const snapdeck::Picture& a, const snapdeck::Picture& b,
                                      int bx = 0, int by = 0);

// Device simulator configuration text from key/value pairs. The simulator logs its runs
// to calls.log.
std::string DeviceConfig(const std::vector<std::pair<std::string, std::string>>& entries);

// A start with the simulator configured so, and a hand-made settings file when given.
LaunchOptions WithDevices(const std::vector<std::pair<std::string, std::string>>& device,
                          const std::vector<std::pair<std::string, std::string>>& settings = {});

}  // namespace e2e

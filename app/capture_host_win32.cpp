#include "app/capture_host_win32.h"

#include <windows.h>

#include <atomic>

#include "app/clipboard_win32.h"
#include "app/main_window_win32.h"
#include "dialogs/requester_win32.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/environment_win32.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/runner_win32.h"
#include "platform/win32/socket_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "shell/ui_thread_win32.h"

namespace snapdeck::win32 {

void MainWindowCaptureHost::showStatusPicture(const Picture& status) {
  ShowPictureInControl(MainControl(id::kStatusPicture), status);
}

void MainWindowCaptureHost::resizeMainWindow(int innerWidth, int innerHeight) {
  ResizeMainInner(innerWidth, innerHeight);
}

void MainWindowCaptureHost::setWaitCursor(bool wait) { SetWaitCursor(wait); }

namespace {

// The latest progress of work beside the window; reports faster than the window's
// thread draws them collapse into one drawing of the latest.
std::atomic<double> g_besideProgress{0};
std::atomic<bool> g_besideDrawQueued{false};

void DrawMainProgress(double value) {
  SetProgressPumping(true);
  MainProgress().draw(100, value);
  SetProgressPumping(false);
}

}  // namespace

void MainWindowCaptureHost::drawProgress(double value) {
  g_besideProgress = value;
  if (g_besideDrawQueued.exchange(true)) return;
  const bool queued = PostBeside([] {
    g_besideDrawQueued = false;
    DrawMainProgress(g_besideProgress);
  });
  if (queued) return;
  g_besideDrawQueued = false;
  // A thread of the work's own, with no window thread waiting for its reports (work run
  // in place): only the window's thread may paint.
  if (HWND status = MainControl(id::kStatusPicture);
      status != nullptr && GetWindowThreadProcessId(status, nullptr) != GetCurrentThreadId()) {
    return;
  }
  DrawMainProgress(value);
}

void MainWindowCaptureHost::runBeside(const std::function<void()>& work) { RunBeside(work); }

void MainWindowCaptureHost::pumpOneEvent() { PumpOneEvent(); }

void MainWindowCaptureHost::pumpAllEvents() { PumpAllEvents(); }

void MainWindowCaptureHost::clearClipboard() { ClearClipboard(); }

bool MainWindowCaptureHost::putOnClipboard(const Picture& p) { return PutPictureOnClipboard(p); }

bool MainWindowCaptureHost::putOnClipboardWithPng(const Picture& p,
                                                  const std::vector<std::uint8_t>& png) {
  return PutPictureOnClipboard(p, &png);
}

void MainWindowCaptureHost::playSound(int number) { PlaySoundNumber(number); }

void MainWindowCaptureHost::setIncludePinBox(bool enabled, bool checked) {
  HWND box = MainControl(id::kIncludePinCheck);
  if (box == nullptr) return;
  SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  EnableWindow(box, enabled ? TRUE : FALSE);
}

int MainWindowCaptureHost::ask(int kind, const std::u16string& message,
                               const std::u16string& firstButton,
                               const std::u16string& secondButton) {
  const RequesterAnswer answer = Requester(QuestionOf(kind, message, firstButton, secondButton));
  // Any other answer keeps the password given before.
  if (answer.button == id::kAnswerFirst) password_ = answer.password;
  return answer.button;
}

std::u16string MainWindowCaptureHost::passwordResult() { return password_; }

int RequesterToolLocator::askLocation(const std::u16string& filePreset,
                                      const std::u16string& fileFilter,
                                      const std::u16string& message,
                                      const std::u16string& firstButton,
                                      const std::u16string& secondButton) {
  RequesterQuestion question = QuestionOf(id::kKindFile, message, firstButton, secondButton);
  question.filePreset = filePreset;
  question.fileFilter = fileFilter;
  const RequesterAnswer answer = Requester(question);
  if (answer.button == id::kAnswerFirst) path_ = answer.path;
  return answer.button;
}

std::u16string RequesterToolLocator::fileResult() { return path_; }

Services& TheServices() {
  static Services services = [] {
    Services s;
    s.files = MakeWin32FileSystem();
    s.clock = MakeWin32Clock();
    s.runner = MakeWin32ToolRunner();
    s.random = MakeSystemRandom();
    s.sockets = MakeWin32SocketPort();
    return s;
  }();
  return services;
}

const AdbServerSetting& TheAdbServerSetting() {
  static const AdbServerSetting setting = AdbServerFromEnvironment(
      EnvironmentText(L"ADB_SERVER_SOCKET"), EnvironmentText(L"ANDROID_ADB_SERVER_ADDRESS"),
      EnvironmentText(L"ANDROID_ADB_SERVER_PORT"));
  return setting;
}

PhoneLink* ThePhoneLink() {
  const AdbServerSetting& server = TheAdbServerSetting();
  if (!server.ok()) return nullptr;
  Services& s = TheServices();
  if (!s.phones) {
    const Shell& shell = TheShell();
    AdbPlaces places;
    places.programDir = shell.info.programDir;
    places.loaderDir = shell.settings.JLpath;
    places.path = EnvironmentText(L"PATH");
    places.androidHome = EnvironmentText(L"ANDROID_HOME");
    places.androidSdkRoot = EnvironmentText(L"ANDROID_SDK_ROOT");
    places.localAppData = EnvironmentText(L"LOCALAPPDATA");
    s.phones = std::make_unique<PhoneLink>(*s.sockets, *s.clock, *s.runner, *s.files,
                                           server.address, AdbCandidates(places));
  }
  return s.phones.get();
}

}  // namespace snapdeck::win32

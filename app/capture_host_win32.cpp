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

namespace snapdeck::win32 {

void MainWindowCaptureHost::showStatusPicture(const Picture& status) {
  ShowPictureInControl(MainControl(id::kStatusPicture), status);
}

void MainWindowCaptureHost::resizeMainWindow(int innerWidth, int innerHeight) {
  ResizeMainInner(innerWidth, innerHeight);
}

void MainWindowCaptureHost::setWaitCursor(bool wait) { SetWaitCursor(wait); }

namespace {

// Work running beside the window: the progress it reports waits here for the window's
// thread, which draws the latest value.
struct Beside {
  std::atomic<DWORD> windowThread{0};  // non-zero while work runs beside
  std::atomic<double> value{0};
  UniqueHandle reported{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

Beside& TheBeside() {
  static Beside beside;
  return beside;
}

void DrawMainProgress(double value) {
  SetProgressPumping(true);
  MainProgress().draw(100, value);
  SetProgressPumping(false);
}

DWORD WINAPI RunWork(void* work) {
  try {
    (*static_cast<const std::function<void()>*>(work))();
  } catch (...) {
    // Out of memory in the work: its result stays the failure it starts as.
  }
  return 0;
}

}  // namespace

void MainWindowCaptureHost::drawProgress(double value) {
  Beside& beside = TheBeside();
  const DWORD windowThread = beside.windowThread;
  if (windowThread != 0 && windowThread != GetCurrentThreadId()) {
    beside.value = value;
    SetEvent(beside.reported.get());
    return;
  }
  // A thread of the work's own, with no window thread waiting for its reports (work run
  // in place): only the window's thread may paint.
  if (HWND status = MainControl(id::kStatusPicture);
      windowThread == 0 && status != nullptr &&
      GetWindowThreadProcessId(status, nullptr) != GetCurrentThreadId()) {
    return;
  }
  DrawMainProgress(value);
}

void MainWindowCaptureHost::runBeside(const std::function<void()>& work) {
  Beside& beside = TheBeside();
  if (!beside.reported || beside.windowThread != 0) {
    work();
    return;
  }
  beside.windowThread = GetCurrentThreadId();
  UniqueHandle thread(CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work),
                                   0, nullptr));
  if (!thread) {
    beside.windowThread = 0;
    work();
    return;
  }
  // What waits already (a repaint of the status picture) is handled while the work
  // starts; the wait below wakes for what comes after.
  PumpAllEvents();
  const HANDLE handles[2] = {thread.get(), beside.reported.get()};
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0 + 1) {
      DrawMainProgress(beside.value);
    } else if (woken == WAIT_OBJECT_0 + 2) {
      PumpAllEvents();
    } else {
      break;  // the work ended (or waiting failed: then the join below waits)
    }
  }
  WaitForSingleObject(thread.get(), INFINITE);
  beside.windowThread = 0;
}

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

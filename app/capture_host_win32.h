// The capture job's and the start-up check's view of the real program: window 5, the
// clipboard, the sounds and the requester, and the services they run on.
#pragma once

#include <memory>

#include "capture/capture_context.h"
#include "capture/capture_host.h"
#include "capture/tool_check.h"
#include "platform/ports.h"
#include "platform/random.h"
#include "platform/socket.h"

namespace snapdeck::win32 {

class MainWindowCaptureHost : public CaptureHost {
 public:
  void showStatusPicture(const Picture& status) override;
  void resizeMainWindow(int innerWidth, int innerHeight) override;
  void setWaitCursor(bool wait) override;
  void drawProgress(double value) override;
  void pumpOneEvent() override;
  void pumpAllEvents() override;
  // On a thread of its own; progress it reports is drawn by the window's thread.
  void runBeside(const std::function<void()>& work) override;
  void clearClipboard() override;
  bool putOnClipboard(const Picture& p) override;
  bool putOnClipboardWithPng(const Picture& p, const std::vector<std::uint8_t>& png) override;
  void playSound(int number) override;
  void setIncludePinBox(bool enabled, bool checked) override;
  int ask(int kind, const std::u16string& message, const std::u16string& firstButton,
          const std::u16string& secondButton) override;
  std::u16string passwordResult() override;

 private:
  std::u16string password_;  // the last one confirmed
};

// The file kind of the requester, owned by window 5.
class RequesterToolLocator : public ToolLocator {
 public:
  int askLocation(const std::u16string& filePreset, const std::u16string& fileFilter,
                  const std::u16string& message, const std::u16string& firstButton,
                  const std::u16string& secondButton) override;
  std::u16string fileResult() override;

 private:
  std::u16string path_;  // the last one confirmed
};

// Process-wide services of the Windows program.
struct Services {
  std::unique_ptr<FileSystem> files;
  std::unique_ptr<Clock> clock;
  std::unique_ptr<ToolRunner> runner;
  std::unique_ptr<RandomSource> random;
  MainWindowCaptureHost host;
  CaptureSession session;  // the devices of this run
  std::unique_ptr<SocketPort> sockets;
  std::unique_ptr<PhoneLink> phones;  // made on first use, once the settings are loaded
};

// Created on first use.
Services& TheServices();

// Where this run's adb server is, read once from adb's own variables.
const AdbServerSetting& TheAdbServerSetting();

// The adb server of this run, at TheAdbServerSetting's address, adb.exe looked for beside
// the program, in the loader's folder, on PATH and in the Android SDK; null when adb's
// variables are malformed: no phones then.
PhoneLink* ThePhoneLink();

}  // namespace snapdeck::win32

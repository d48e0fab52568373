// A clean status bar on a phone's picture: System UI's demo mode (clock 12:00, full
// battery and signal, no notifications) for the time of one shot. The commands run as
// shell commands of the phone through the adb server.
#pragma once

#include <cstdint>
#include <string>

#include "capture/adb_client.h"
#include "platform/ports.h"

namespace snapdeck {

// Enters demo mode when built with on set, and leaves it and puts sysui_demo_allowed
// back when left or destroyed, so every way out of the shot leaves it. A command that
// fails never stops the shot: the picture is taken with whatever status bar the phone
// shows. Each of the (at most three) shell runs may take timeoutMs in all.
class DemoModeScope {
 public:
  DemoModeScope(AdbClient& client, Clock& clock, PhoneEntry phone, int timeoutMs, bool on);
  ~DemoModeScope() { leave(); }
  DemoModeScope(const DemoModeScope&) = delete;
  DemoModeScope& operator=(const DemoModeScope&) = delete;

  void leave();

 private:
  AdbClient& client_;
  Clock& clock_;
  PhoneEntry phone_;
  int timeoutMs_;
  bool entered_ = false;  // the enter commands reached the phone's shell
  // What sysui_demo_allowed held before: a number as printed, or empty for none (null).
  std::string earlier_;
};

}  // namespace snapdeck

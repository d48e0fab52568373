#include "capture/demo_mode.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace snapdeck {

namespace {

constexpr char kGetAllowed[] = "settings get global sysui_demo_allowed";
constexpr char kBroadcast[] = "am broadcast -a com.android.systemui.demo -e command ";
// The status bar of a store listing: noon, full battery not charging, full Wi-Fi and
// mobile signal without a data type, no notification icons.
constexpr const char* kEnterCommands[] = {
    "enter",
    "clock -e hhmm 1200",
    "battery -e level 100 -e plugged false",
    "network -e wifi show -e level 4",
    "network -e mobile show -e datatype none -e level 4",
    "notifications -e visible false",
};
// System UI redraws the status bar a moment after the last broadcast, not at once; a
// picture taken at once may still show the phone's own.
constexpr int kRedrawMs = 300;
// A command's answer is a line or two; more is kept no further (it is read to the end,
// so the commands after it still run).
constexpr std::size_t kMostOutput = 4096;

// One `shell:` run to its end. False when the phone never started it; output holds what
// it printed, up to kMostOutput bytes.
bool RunShell(AdbClient& client, Clock& clock, const PhoneEntry& phone,
              const std::string& command, int timeoutMs, std::string& output) {
  output.clear();
  const std::uint64_t deadline = clock.nowMs() + static_cast<std::uint64_t>(std::max(timeoutMs, 1));
  AdbStatus status;
  std::unique_ptr<Connection> c = client.openService(phone, "shell:" + command, timeoutMs, status);
  if (!c) return false;
  std::uint8_t buffer[1024];
  for (;;) {
    const std::uint64_t now = clock.nowMs();
    if (now >= deadline) break;
    const int left = static_cast<int>(std::min<std::uint64_t>(deadline - now, 1 << 30));
    const std::ptrdiff_t k = c->receive(buffer, sizeof buffer, left);
    if (k <= 0) break;
    const std::size_t room = kMostOutput - std::min(kMostOutput, output.size());
    output.append(reinterpret_cast<const char*>(buffer),
                  std::min(room, static_cast<std::size_t>(k)));
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// What `settings get` printed: "null" (no value: true with value empty) or a number of
// at most ten digits. Anything else is a value we could not put back (it would go into
// a shell command), so false.
bool ParseEarlierValue(const std::string& output, std::string& value) {
  value = Trimmed(output);
  if (value == "null") {
    value.clear();
    return true;
  }
  return !value.empty() && value.size() <= 10 &&
         std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

DemoModeScope::DemoModeScope(AdbClient& client, Clock& clock, PhoneEntry phone, int timeoutMs,
                             bool on)
    : client_(client), clock_(clock), phone_(std::move(phone)), timeoutMs_(timeoutMs) {
  if (!on) return;
  std::string output;
  if (!RunShell(client_, clock_, phone_, kGetAllowed, timeoutMs_, output)) return;
  // What we could not put back afterwards we do not change.
  if (!ParseEarlierValue(output, earlier_)) return;
  // One run for all of it: each run costs a connection and a shell on the phone.
  std::string enter = "settings put global sysui_demo_allowed 1";
  for (const char* command : kEnterCommands) enter += std::string(" ; ") + kBroadcast + command;
  entered_ = RunShell(client_, clock_, phone_, enter, timeoutMs_, output);
  if (entered_) clock_.sleepMs(kRedrawMs);
}

void DemoModeScope::leave() {
  if (!entered_) return;
  entered_ = false;
  // Demo mode is left while it is still allowed; then the setting goes back.
  std::string command = std::string(kBroadcast) + "exit";
  if (earlier_.empty()) {
    command += " ; settings delete global sysui_demo_allowed";
  } else if (earlier_ != "1") {
    command += " ; settings put global sysui_demo_allowed " + earlier_;
  }
  std::string output;
  RunShell(client_, clock_, phone_, command, timeoutMs_, output);
}

}  // namespace snapdeck

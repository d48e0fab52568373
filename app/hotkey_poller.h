// The global hotkey: a polling thread that watches the key state while the program sits
// in the tray; the program hands each capture to the UI thread and waits for it. Key
// state and clock are ports, so the timing rules run under test without a keyboard or
// real pauses.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ports.h"

namespace snapdeck {

class KeyState {
 public:
  virtual ~KeyState() = default;
  // True when the key (a virtual-key code) is down at this moment.
  virtual bool isDown(int virtualKey) = 0;
};

inline constexpr int kHotkeyPassMs = 30;
inline constexpr int kHotkeyRestAfterCaptureMs = 100;

// True when the key of HotkeyKeyTable row `hotkey` and every modifier whose bit is set
// in `cas` (1 Ctrl, 2 Alt, 4 Shift) are down. Modifiers whose bit is clear are not
// looked at, so an extra one held does not stop the hotkey. "-off-" and out-of-range
// rows never match.
bool HotkeyPressed(int hotkey, int cas, KeyState& keys);

// The one polling thread. Every pass (30 ms) it reads the hotkey afresh; when the
// combination is down it runs `capture` (which returns when the capture has ended) and
// rests 100 ms, so a held hotkey captures again 130 ms after a capture.
class HotkeyPoller {
 public:
  HotkeyPoller(KeyState& keys, Clock& clock, std::function<void()> capture);
  ~HotkeyPoller();
  HotkeyPoller(const HotkeyPoller&) = delete;
  HotkeyPoller& operator=(const HotkeyPoller&) = delete;

  // The hotkey to watch (as HotkeyPressed takes it); "-off-" until set. Any thread may
  // set it, also while the poller runs: a pass sees key and modifiers of one call.
  void setHotkey(int hotkey, int cas);

  // Sets the run flag and starts the thread unless one is running; a thread that is
  // still finishing a capture after stop() keeps running instead of ending. True when
  // a new thread was started.
  bool start();
  // Clears the run flag: the thread ends at its next pass, or after the capture it is in.
  void stop();
  // The thread exists and has not decided to end.
  bool running();
  // stop() and waits for the thread to end.
  void join();

 private:
  void run();
  bool keepRunning();

  KeyState& keys_;
  Clock& clock_;
  // Key row in the upper half, modifier bits in the lower: one load gives both.
  std::atomic<std::uint32_t> hotkey_{0};
  std::function<void()> capture_;
  std::atomic<int> runFlag_{0};
  std::mutex mutex_;
  bool running_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace snapdeck

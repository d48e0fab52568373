#include "app/hotkey_poller.h"

#include "shell/tables.h"

namespace snapdeck {

bool HotkeyPressed(int hotkey, int cas, KeyState& keys) {
  if (hotkey <= 0 || hotkey >= kHotkeyCount) return false;
  if (!keys.isDown(HotkeyKeyTable()[static_cast<std::size_t>(hotkey)].virtualKey)) return false;
  for (int bit : {1, 2, 4}) {
    if ((cas & bit) != 0 &&
        !keys.isDown(ModifierTable()[static_cast<std::size_t>(bit)].virtualKey)) {
      return false;
    }
  }
  return true;
}

HotkeyPoller::HotkeyPoller(KeyState& keys, Clock& clock, std::function<void()> capture)
    : keys_(keys), clock_(clock), capture_(std::move(capture)) {}

void HotkeyPoller::setHotkey(int hotkey, int cas) {
  // A row outside the table never matches, as "-off-" does; only the three modifier
  // bits are ever looked at.
  const auto key = static_cast<std::uint32_t>(hotkey > 0 && hotkey < kHotkeyCount ? hotkey : 0);
  hotkey_ = key << 16 | static_cast<std::uint32_t>(cas & 7);
}

HotkeyPoller::~HotkeyPoller() { join(); }

bool HotkeyPoller::start() {
  std::lock_guard lock(mutex_);
  runFlag_ = 1;
  if (running_) return false;
  // A thread that already decided to end is only waiting to be joined.
  if (thread_.joinable()) thread_.join();
  running_ = true;
  thread_ = std::thread([this] { run(); });
  return true;
}

void HotkeyPoller::stop() { runFlag_ = 0; }

bool HotkeyPoller::running() {
  std::lock_guard lock(mutex_);
  return running_;
}

void HotkeyPoller::join() {
  stop();
  std::thread ending;
  {
    std::lock_guard lock(mutex_);
    ending = std::move(thread_);
  }
  if (ending.joinable()) ending.join();
}

// The decision to end is taken under the lock, so a start() at that moment either
// keeps this thread running or starts a new one, never neither.
bool HotkeyPoller::keepRunning() {
  std::lock_guard lock(mutex_);
  if (runFlag_ != 0) return true;
  running_ = false;
  return false;
}

void HotkeyPoller::run() {
  do {
    const std::uint32_t hotkey = hotkey_.load();
    if (HotkeyPressed(static_cast<int>(hotkey >> 16), static_cast<int>(hotkey & 0xFFFF), keys_)) {
      capture_();
      clock_.sleepMs(kHotkeyRestAfterCaptureMs);
    }
    clock_.sleepMs(kHotkeyPassMs);
  } while (keepRunning());
}

}  // namespace snapdeck

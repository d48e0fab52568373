// The hotkey poller on a scripted keyboard and a clock that only counts: which key
// combinations capture, the pause after a capture, one poller at most, the stop, and
// the hand-over of each capture to the UI thread.
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "app/hotkey_poller.h"
#include "shell/ui_queue.h"
#include "tests/support/fake_clock.h"
#include "tests/support/wait_until.h"

namespace snapdeck {
namespace {

constexpr int kCtrl = 0x11;
constexpr int kAlt = 0x12;
constexpr int kShift = 0x10;
constexpr int kF3 = 0x72;
constexpr int kPrintScreen = 0x2C;

class HeldKeys : public KeyState {
 public:
  explicit HeldKeys(std::set<int> down) : down_(std::move(down)) {}
  bool isDown(int virtualKey) override { return down_.count(virtualKey) != 0; }

 private:
  std::set<int> down_;
};

// Time starts at 0 and passes only when the poller sleeps, on the poller's thread.
class PollerClock : public testing::FakeClock {
 public:
  PollerClock() : FakeClock(0, true) {}
};

// Keys held by a rule of the clock's time, and who asked.
class TimedKeys : public KeyState {
 public:
  TimedKeys(Clock& clock, std::function<bool(int, std::uint64_t)> rule)
      : clock_(clock), rule_(std::move(rule)) {}
  bool isDown(int virtualKey) override {
    {
      std::lock_guard lock(mutex);
      askers.insert(std::this_thread::get_id());
      ++asked;
    }
    return rule_(virtualKey, clock_.nowMs());
  }
  std::mutex mutex;
  std::set<std::thread::id> askers;
  int asked = 0;

 private:
  Clock& clock_;
  std::function<bool(int, std::uint64_t)> rule_;
};

int KeysAsked(TimedKeys& keys) {
  std::lock_guard lock(keys.mutex);
  return keys.asked;
}

bool WaitFor(const std::function<bool()>& condition) {
  return testing::WaitUntil(condition, 10000, 1);
}

TEST(HotkeyPressed, RequiredModifiersMustBeDownExtraOnesDoNotMatter) {
  const int f3 = 3;
  const int ctrl = 1;
  HeldKeys ctrlF3({kCtrl, kF3});
  HeldKeys ctrlShiftF3({kCtrl, kShift, kF3});
  HeldKeys f3Alone({kF3});
  HeldKeys ctrlAlone({kCtrl});
  EXPECT_TRUE(HotkeyPressed(f3, ctrl, ctrlF3));
  EXPECT_TRUE(HotkeyPressed(f3, ctrl, ctrlShiftF3));
  EXPECT_FALSE(HotkeyPressed(f3, ctrl, f3Alone));
  EXPECT_FALSE(HotkeyPressed(f3, ctrl, ctrlAlone));
  // Alt and Shift both required.
  HeldKeys altF3({kAlt, kF3});
  HeldKeys altShiftF3({kAlt, kShift, kF3});
  EXPECT_FALSE(HotkeyPressed(f3, 2 | 4, altF3));
  EXPECT_TRUE(HotkeyPressed(f3, 2 | 4, altShiftF3));
  // Print Screen with no modifier.
  HeldKeys printScreen({kPrintScreen});
  EXPECT_TRUE(HotkeyPressed(13, 0, printScreen));
  // "-off-" and rows that do not exist never match, whatever is held.
  HeldKeys everything({0, kCtrl, kAlt, kShift, kF3, kPrintScreen});
  EXPECT_FALSE(HotkeyPressed(0, 0, everything));
  EXPECT_FALSE(HotkeyPressed(14, 0, everything));
  EXPECT_FALSE(HotkeyPressed(-1, 0, everything));
}

TEST(HotkeyPoller, HeldKeyCapturesAgain130MsAfterEachCapture) {
  PollerClock clock;
  // Ctrl+F3 held from 0 to 400 ms, then released.
  TimedKeys keys(clock,
                 [](int vk, std::uint64_t t) { return (vk == kCtrl || vk == kF3) && t < 400; });
  std::vector<std::uint64_t> captures;
  HotkeyPoller poller(keys, clock, [&] { captures.push_back(clock.now); });
  poller.setHotkey(3, 1);
  clock.onTime = [&](std::uint64_t t) {
    if (t >= 1000) poller.stop();
  };
  ASSERT_TRUE(poller.start());
  ASSERT_TRUE(WaitFor([&] { return !poller.running(); }));
  poller.join();
  EXPECT_EQ(captures, (std::vector<std::uint64_t>{0, 130, 260, 390}));
}

TEST(HotkeyPoller, TheHotkeyIsReadAfreshEveryPass) {
  PollerClock clock;
  TimedKeys keys(clock, [](int vk, std::uint64_t) { return vk == kPrintScreen; });
  std::vector<std::uint64_t> captures;
  HotkeyPoller poller(keys, clock, [&] { captures.push_back(clock.now); });
  clock.onTime = [&](std::uint64_t t) {
    if (t == 300) poller.setHotkey(13, 0);
    if (t >= 400) poller.stop();
  };
  ASSERT_TRUE(poller.start());
  ASSERT_TRUE(WaitFor([&] { return !poller.running(); }));
  poller.join();
  ASSERT_FALSE(captures.empty());
  EXPECT_EQ(captures.front(), 300u);
}

TEST(HotkeyPoller, SecondStartKeepsOnePollerOnePressOneCapture) {
  PollerClock clock;
  std::atomic<bool> pressed{false};
  TimedKeys keys(clock,
                 [&](int vk, std::uint64_t) { return (vk == kCtrl || vk == kF3) && pressed; });
  std::atomic<int> captures{0};
  HotkeyPoller poller(keys, clock, [&] {
    ++captures;
    pressed = false;  // the user lets go while the capture runs
  });
  poller.setHotkey(3, 1);
  ASSERT_TRUE(poller.start());
  EXPECT_FALSE(poller.start());  // "Define Hotkey" again while it runs
  EXPECT_TRUE(poller.running());
  pressed = true;
  ASSERT_TRUE(WaitFor([&] { return captures > 0; }));
  const int askedAfterCapture = keys.asked;
  ASSERT_TRUE(WaitFor([&] { return keys.asked > askedAfterCapture + 20; }));
  poller.join();
  EXPECT_EQ(captures, 1);
  EXPECT_EQ(keys.askers.size(), 1u);
  EXPECT_FALSE(poller.running());
}

TEST(HotkeyPoller, ClearingTheRunFlagEndsItWithinOnePass) {
  PollerClock clock;
  TimedKeys keys(clock, [](int, std::uint64_t) { return false; });
  HotkeyPoller poller(keys, clock, [] {});
  poller.setHotkey(3, 0);
  std::atomic<std::uint64_t> stoppedAt{0};
  clock.onTime = [&](std::uint64_t t) {
    if (t == 300) {
      poller.stop();
      stoppedAt = t;
    }
  };
  ASSERT_TRUE(poller.start());
  ASSERT_TRUE(WaitFor([&] { return !poller.running(); }));
  EXPECT_EQ(stoppedAt, 300u);
  EXPECT_LE(clock.now, 300u + kHotkeyPassMs);
  poller.join();
}

// A capture the test holds open until it lets it go.
struct HeldCapture {
  std::mutex mutex;
  std::condition_variable changed;
  bool inside = false;
  bool release = false;
  int count = 0;

  void run() {
    std::unique_lock lock(mutex);
    inside = true;
    ++count;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    inside = false;
    release = false;
  }
  // Waits until the n-th capture has begun.
  void waitInside(int n) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return inside && count == n; });
  }
  void letGo() {
    std::lock_guard lock(mutex);
    release = true;
    changed.notify_all();
  }
};

TEST(HotkeyPoller, StoppedDuringACaptureItEndsAfterItUnlessStartedAgain) {
  PollerClock clock;
  std::atomic<bool> pressed{true};
  TimedKeys keys(clock, [&](int vk, std::uint64_t) { return vk == kPrintScreen && pressed; });
  HeldCapture capture;
  HotkeyPoller poller(keys, clock, [&] {
    pressed = false;
    capture.run();
  });
  poller.setHotkey(13, 0);
  ASSERT_TRUE(poller.start());
  capture.waitInside(1);
  // Restore, then back to the tray while the capture still runs: the same poller
  // carries on rather than ending and leaving the hotkey dead.
  poller.stop();
  EXPECT_FALSE(poller.start());
  capture.letGo();
  pressed = true;
  capture.waitInside(2);
  EXPECT_EQ(capture.count, 2);
  EXPECT_EQ(keys.askers.size(), 1u);
  // Restore alone: it ends after this capture.
  poller.stop();
  capture.letGo();
  ASSERT_TRUE(WaitFor([&] { return !poller.running(); }));
  EXPECT_EQ(capture.count, 2);
  poller.join();
}

TEST(HotkeyPoller, CapturesRunOnTheUiThreadWhileThePollerWaits) {
  PollerClock clock;
  std::atomic<int> presses{2};
  TimedKeys keys(clock, [&](int vk, std::uint64_t) { return vk == kF3 && presses > 0; });
  std::atomic<int> wakes{0};
  std::vector<std::thread::id> ranOn;
  UiQueue captures([&] { ++wakes; });
  HotkeyPoller poller(keys, clock, [&] {
    captures.postAndWait([&] {
      ranOn.push_back(std::this_thread::get_id());
      --presses;
      // The poller waits: no pass is made while the capture runs. A pass would ask for
      // the keys and let fake time go on.
      const std::uint64_t before = clock.now;
      const int askedBefore = KeysAsked(keys);
      EXPECT_FALSE(testing::WaitUntil(
          [&] { return KeysAsked(keys) != askedBefore || clock.now != before; }, 20, 1));
    });
  });
  poller.setHotkey(3, 0);
  ASSERT_TRUE(poller.start());

  // This thread plays the UI loop.
  for (int job = 0; job < 2; ++job) {
    ASSERT_TRUE(WaitFor([&] { return captures.pending(); }));
    captures.runPending();
  }
  poller.join();
  EXPECT_EQ(wakes, 2);
  EXPECT_EQ(ranOn, (std::vector<std::thread::id>(2, std::this_thread::get_id())));
  EXPECT_FALSE(captures.pending());
}

TEST(HotkeyPoller, ClosingTheQueueReleasesAWaitingPollerWithoutRunningItsCapture) {
  UiQueue captures(nullptr);
  bool ran = false;
  std::atomic<int> result{-1};
  std::thread poller([&] { result = captures.postAndWait([&] { ran = true; }) ? 1 : 0; });
  ASSERT_TRUE(WaitFor([&] { return captures.pending(); }));
  captures.close();
  poller.join();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(captures.pending());
  captures.runPending();
  EXPECT_FALSE(ran);
  EXPECT_FALSE(captures.postAndWait([&] { ran = true; }));  // after shutdown, at once
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace snapdeck

// The queue every other thread reaches the UI thread through: order, what a running
// function posts, and that closing frees what waits instead of running or keeping it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "shell/ui_queue.h"

namespace snapdeck {
namespace {

TEST(UiQueue, RunsInOrderOnlyWhatWaitedAndClosingFreesTheRestUnrun) {
  int wakes = 0;
  UiQueue queue([&] { ++wakes; });
  std::vector<int> ran;
  EXPECT_TRUE(queue.post([&] { ran.push_back(1); }));
  EXPECT_TRUE(queue.post([&] {
    ran.push_back(2);
    queue.post([&] { ran.push_back(3); });  // waits for the next call
  }));
  queue.runPending();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  EXPECT_TRUE(queue.pending());
  queue.runPending();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(wakes, 3);

  // What a function holds (a window's object, say) is released at the close, not kept
  // until the queue goes, and never run.
  auto held = std::make_shared<int>(0);
  EXPECT_TRUE(queue.post([held, &ran] { ran.push_back(*held); }));
  queue.close();
  EXPECT_EQ(held.use_count(), 1);
  EXPECT_FALSE(queue.post([held] {}));
  EXPECT_EQ(held.use_count(), 1);
  queue.runPending();
  EXPECT_EQ(ran.size(), 3u);

  queue.open();
  EXPECT_TRUE(queue.post([&] { ran.push_back(4); }));
  queue.runPending();
  EXPECT_EQ(ran.back(), 4);
}

}  // namespace
}  // namespace snapdeck

#include "platform/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/wait_until.h"

namespace snapdeck {
namespace {

// A taker waits while others hold so much that its cost would not fit; one who takes
// at once never waits; a cost beyond the limit alone is let through.
TEST(MemoryBudget, TakersWaitForRoomButNeverForEverAlone) {
  MemoryBudget budget(100);
  budget.take(60);
  std::atomic<bool> second{false};
  std::thread waiter([&] {
    budget.take(60);
    second = true;
  });
  EXPECT_FALSE(testing::WaitUntil([&] { return second.load(); }, 100));
  budget.takeNow(60);  // beyond the limit, without waiting
  EXPECT_EQ(budget.held(), 120u);
  budget.giveBack(60);
  EXPECT_FALSE(testing::WaitUntil([&] { return second.load(); }, 100));
  budget.giveBack(60);
  waiter.join();
  EXPECT_TRUE(second);
  budget.giveBack(60);
  budget.take(500);  // nothing held: a large cost goes alone
  EXPECT_EQ(budget.held(), 500u);
}

}  // namespace
}  // namespace snapdeck

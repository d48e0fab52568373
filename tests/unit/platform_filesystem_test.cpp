#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/clock_posix.h"
#include "platform/posix/filesystem_posix.h"
#include "platform/random.h"
#include "tests/support/filesystem_contract.h"

namespace snapdeck::testing {

struct PosixFiles {
  static std::unique_ptr<FileSystem> Make() { return MakePosixFileSystem(); }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Posix, FileSystemContract, PosixFiles);

}  // namespace snapdeck::testing

namespace snapdeck {
namespace {

class PosixFileSystemTest : public testing::FileSystemContract<testing::PosixFiles> {};

TEST_F(PosixFileSystemTest, ReplaceFileInAReadOnlyFolderKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders anyway";
  const std::u16string file = path(u"Snapdeck.ini");
  ASSERT_TRUE(fs_->writeFile(file, testing::kOldBytes));
  const std::string dir = folder_.path().string();
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  EXPECT_FALSE(fs_->replaceFile(file, testing::kNewBytes));
  ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
  EXPECT_EQ(contentOf(file), testing::kOldBytes);
  EXPECT_EQ(allNames(), std::vector<std::u16string>{u"Snapdeck.ini"});
}

TEST(PosixClock, SleepAdvancesTheMonotonicClock) {
  auto clock = MakePosixClock();
  const std::uint64_t start = clock->nowMs();
  clock->sleepMs(20);
  EXPECT_GE(clock->nowMs() - start, 19u);
}

TEST(SystemRandom, BytesVary) {
  auto random = MakeSystemRandom();
  int seen[256] = {};
  int distinct = 0;
  for (int i = 0; i < 512; ++i) {
    if (seen[random->nextByte()]++ == 0) ++distinct;
  }
  EXPECT_GT(distinct, 100);  // 512 uniform draws hit about 222 of 256 values
}

}  // namespace
}  // namespace snapdeck

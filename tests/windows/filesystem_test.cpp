#include <gtest/gtest.h>
#include <windows.h>

#include "platform/random.h"
#include "platform/text.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/handles_win32.h"
#include "tests/support/filesystem_contract.h"

namespace snapdeck::testing {

struct Win32Files {
  static std::unique_ptr<FileSystem> Make() { return MakeWin32FileSystem(); }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, FileSystemContract, Win32Files);

}  // namespace snapdeck::testing

namespace snapdeck {
namespace {

class Win32FileSystemTest : public testing::FileSystemContract<testing::Win32Files> {};

TEST_F(Win32FileSystemTest, ReplaceFileKeepsTheOldFileWhenLocked) {
  const std::u16string file = path(u"Snapdeck.ini");
  ASSERT_TRUE(fs_->writeFile(file, testing::kOldBytes));
  {
    // Another program holds the file open without sharing it.
    win32::UniqueHandle lock(CreateFileW(ToWide(file).c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_FALSE(fs_->replaceFile(file, testing::kNewBytes));
  }
  EXPECT_EQ(contentOf(file), testing::kOldBytes);
  EXPECT_EQ(allNames(), std::vector<std::u16string>{u"Snapdeck.ini"}) << "temporary file removed";
}

TEST_F(Win32FileSystemTest, ReplaceFileGoesPastAReaderThatSharesTheFile) {
  // A thumbnail reader holds the earlier shot open while the next one is saved.
  const std::u16string file = path(u"shot.png");
  ASSERT_TRUE(fs_->writeFile(file, testing::kOldBytes));
  {
    win32::UniqueHandle reader(CreateFileW(ToWide(file).c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_TRUE(fs_->replaceFile(file, testing::kNewBytes));
  }
  EXPECT_EQ(contentOf(file), testing::kNewBytes);
  EXPECT_EQ(allNames(), std::vector<std::u16string>{u"shot.png"});
}

TEST_F(Win32FileSystemTest, ReplaceFileKeepsAReadOnlyFile) {
  const std::u16string file = path(u"Snapdeck.ini");
  ASSERT_TRUE(fs_->writeFile(file, testing::kOldBytes));
  ASSERT_TRUE(SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(fs_->replaceFile(file, testing::kNewBytes));
  ASSERT_TRUE(SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(contentOf(file), testing::kOldBytes);
  EXPECT_EQ(allNames(), std::vector<std::u16string>{u"Snapdeck.ini"});
}

TEST(Win32Platform, ClockAndRandom) {
  auto clock = MakeWin32Clock();
  const std::uint64_t start = clock->nowMs();
  clock->sleepMs(30);
  EXPECT_GE(clock->nowMs() - start, 15u);  // tick granularity is coarse
  auto random = MakeSystemRandom();
  int seen[256] = {};
  int distinct = 0;
  for (int i = 0; i < 512; ++i) {
    if (seen[random->nextByte()]++ == 0) ++distinct;
  }
  EXPECT_GT(distinct, 100);
}

}  // namespace
}  // namespace snapdeck

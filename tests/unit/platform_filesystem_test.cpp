#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/posix/clock_posix.h"
#include "platform/posix/filesystem_posix.h"
#include "platform/random.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"

namespace snapdeck {
namespace {

class PosixFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { fs_ = MakePosixFileSystem(); }
  std::u16string path(const std::u16string& name) const { return Utf8ToUtf16(dir_) + u"/" + name; }
  std::vector<std::string> dirEntries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

  testing::TempFolder folder_{"snapdeck-fs"};
  std::string dir_ = folder_.path().string();
  std::unique_ptr<FileSystem> fs_;
};

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<std::uint8_t> kNew = {'n', 'e', 'w', '!', 0, 0xFF};

TEST_F(PosixFileSystemTest, WriteReadSizeDelete) {
  const std::u16string file = path(u"a.bin");
  EXPECT_EQ(fs_->fileSize(file), -1);
  ASSERT_TRUE(fs_->writeFile(file, kNew));
  EXPECT_EQ(fs_->fileSize(file), 6);
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(file, got, 6));
  EXPECT_EQ(got, kNew);
  EXPECT_FALSE(fs_->readFile(file, got, 5)) << "larger than maxBytes";
  EXPECT_TRUE(got.empty());
  EXPECT_TRUE(fs_->deleteFile(file));
  EXPECT_FALSE(fs_->deleteFile(file));
  EXPECT_FALSE(fs_->readFile(file, got, 100));
  EXPECT_EQ(fs_->fileSize(Utf8ToUtf16(dir_)), -1) << "a folder is not a file";
}

TEST_F(PosixFileSystemTest, BackslashesAndNonAsciiNamesWork) {
  const std::u16string name = u"Caf\u00E9 \u65E5\u672C \U0001F600.png";
  const std::u16string windowsStyle = Utf8ToUtf16(dir_) + u"\\" + name;
  ASSERT_TRUE(fs_->writeFile(windowsStyle, kOld));
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/" + Utf16ToUtf8(name)));
  const auto listed = fs_->listFiles(Utf8ToUtf16(dir_) + u"\\", u"*.PNG");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], name);
}

TEST_F(PosixFileSystemTest, ReplaceFileSwapsContentAndLeavesNoTemporaryFile) {
  const std::u16string file = path(u"Snapdeck.ini");
  ASSERT_TRUE(fs_->writeFile(file, kOld));
  ASSERT_TRUE(fs_->replaceFile(file, kNew));
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(file, got, 1000));
  EXPECT_EQ(got, kNew);
  EXPECT_EQ(dirEntries(), std::vector<std::string>{"Snapdeck.ini"});
  ASSERT_TRUE(fs_->replaceFile(path(u"fresh.ini"), kOld)) << "a missing target is created";
}

TEST_F(PosixFileSystemTest, ReplaceFileFailureKeepsTheOldFile) {
  const std::u16string file = path(u"Snapdeck.ini");
  ASSERT_TRUE(fs_->writeFile(file, kOld));
  EXPECT_FALSE(fs_->replaceFile(path(u"missing/Snapdeck.ini"), kNew));
  // A folder standing where the file should be cannot be replaced by a file.
  std::filesystem::create_directory(dir_ + "/taken.ini");
  std::filesystem::create_directory(dir_ + "/taken.ini/inner");
  EXPECT_FALSE(fs_->replaceFile(path(u"taken.ini"), kNew));
  if (geteuid() != 0) {  // root writes into read-only folders anyway
    ASSERT_EQ(chmod(dir_.c_str(), 0555), 0);
    EXPECT_FALSE(fs_->replaceFile(file, kNew));
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  }
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(file, got, 1000));
  EXPECT_EQ(got, kOld);
  auto names = dirEntries();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Snapdeck.ini", "taken.ini"}));
}

TEST_F(PosixFileSystemTest, ListFilesMatchesFilesOnly) {
  for (const char* n : {"snapdeck[3].png", "X_snapdeck[7].png", "snapdeck[9].jpg", "other.png"}) {
    std::ofstream(dir_ + "/" + n) << "x";
  }
  std::filesystem::create_directory(dir_ + "/snapdeck[5].png");
  const auto names = fs_->listFiles(Utf8ToUtf16(dir_), u"*snapdeck[*].png");
  EXPECT_EQ(names, (std::vector<std::u16string>{u"X_snapdeck[7].png", u"snapdeck[3].png"}));
  EXPECT_TRUE(fs_->listFiles(path(u"no-such-folder"), u"*").empty());
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

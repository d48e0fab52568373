#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/random.h"
#include "platform/text.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/handles_win32.h"
#include "tests/support/temp_folder.h"

namespace snapdeck {
namespace {

class Win32FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { fs_ = MakeWin32FileSystem(); }
  std::u16string path(const std::u16string& name) const { return dir_ + u"\\" + name; }
  std::vector<std::u16string> allNames() const {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW found{};
    HANDLE h = FindFirstFileW(ToWide(dir_ + u"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      const std::u16string n = FromWide(found.cFileName);
      if (n != u"." && n != u"..") names.push_back(n);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempFolder folder_{"snapdeck-fs"};
  std::u16string dir_ = folder_.path().u16string();
  std::unique_ptr<FileSystem> fs_;
};

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<std::uint8_t> kNew = {'n', 'e', 'w', 0, 0xFF, '\r', '\n'};

TEST_F(Win32FileSystemTest, WriteReadSizeDelete) {
  const std::u16string file = path(u"a.bin");
  EXPECT_EQ(fs_->fileSize(file), -1);
  ASSERT_TRUE(fs_->writeFile(file, kNew));
  EXPECT_EQ(fs_->fileSize(file), 7);
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(file, got, 7));
  EXPECT_EQ(got, kNew);
  EXPECT_FALSE(fs_->readFile(file, got, 6));
  EXPECT_FALSE(fs_->readFile(dir_, got, 100)) << "a folder is not a file";
  EXPECT_EQ(fs_->fileSize(dir_), -1);
  EXPECT_TRUE(fs_->deleteFile(file));
  EXPECT_FALSE(fs_->deleteFile(file));
}

TEST_F(Win32FileSystemTest, NonAsciiNamesRoundTrip) {
  const std::u16string name = u"Caf\u00E9 \u65E5\u672C \U0001F600[1].png";
  ASSERT_TRUE(fs_->writeFile(path(name), kOld));
  EXPECT_EQ(fs_->fileSize(path(name)), 3);
  const auto listed = fs_->listFiles(dir_, u"*[*].PNG");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], name);
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(dir_ + u"\\" + listed[0], got, 100));
  EXPECT_EQ(got, kOld);
}

TEST_F(Win32FileSystemTest, ListFilesWithWildcardSkipsFolders) {
  for (const char16_t* n :
       {u"snapdeck[3].png", u"X_snapdeck[7].png", u"snapdeck[9].jpg", u"other.png"}) {
    ASSERT_TRUE(fs_->writeFile(path(n), kOld));
  }
  ASSERT_TRUE(CreateDirectoryW(ToWide(path(u"snapdeck[5].png")).c_str(), nullptr));
  EXPECT_EQ(fs_->listFiles(dir_ + u"\\", u"*snapdeck[*].png"),
            (std::vector<std::u16string>{u"X_snapdeck[7].png", u"snapdeck[3].png"}));
  EXPECT_EQ(fs_->listFiles(dir_, u"*.jpg"), std::vector<std::u16string>{u"snapdeck[9].jpg"});
  EXPECT_TRUE(fs_->listFiles(path(u"missing"), u"*").empty());
  RemoveDirectoryW(ToWide(path(u"snapdeck[5].png")).c_str());
}

TEST_F(Win32FileSystemTest, ReplaceFileSwapsContentWithoutLeftovers) {
  const std::u16string file = path(u"Snapdeck.ini");
  ASSERT_TRUE(fs_->writeFile(file, kOld));
  ASSERT_TRUE(fs_->replaceFile(file, kNew));
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(file, got, 100));
  EXPECT_EQ(got, kNew);
  ASSERT_TRUE(fs_->replaceFile(path(u"fresh.ini"), kOld));
  EXPECT_EQ(allNames(), (std::vector<std::u16string>{u"Snapdeck.ini", u"fresh.ini"}));
}

TEST_F(Win32FileSystemTest, ReplaceFileKeepsTheOldFileWhenLocked) {
  const std::u16string file = path(u"Snapdeck.ini");
  ASSERT_TRUE(fs_->writeFile(file, kOld));
  {
    // Another program holds the file open without sharing it.
    win32::UniqueHandle lock(CreateFileW(ToWide(file).c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_FALSE(fs_->replaceFile(file, kNew));
  }
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(file, got, 100));
  EXPECT_EQ(got, kOld);
  EXPECT_EQ(allNames(), std::vector<std::u16string>{u"Snapdeck.ini"}) << "temporary file removed";
}

TEST_F(Win32FileSystemTest, ReplaceFileGoesPastAReaderThatSharesTheFile) {
  // A thumbnail reader holds the earlier shot open while the next one is saved.
  const std::u16string file = path(u"shot.png");
  ASSERT_TRUE(fs_->writeFile(file, kOld));
  {
    win32::UniqueHandle reader(CreateFileW(ToWide(file).c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_TRUE(fs_->replaceFile(file, kNew));
  }
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(file, got, 100));
  EXPECT_EQ(got, kNew);
  EXPECT_EQ(allNames(), std::vector<std::u16string>{u"shot.png"});
}

TEST_F(Win32FileSystemTest, ReplaceFileKeepsTheOldFileWhenTheTargetCannotBeWritten) {
  const std::u16string file = path(u"Snapdeck.ini");
  ASSERT_TRUE(fs_->writeFile(file, kOld));
  EXPECT_FALSE(fs_->replaceFile(path(u"gone\\Snapdeck.ini"), kNew));
  // A read-only file may not be replaced.
  ASSERT_TRUE(SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(fs_->replaceFile(file, kNew));
  ASSERT_TRUE(SetFileAttributesW(ToWide(file).c_str(), FILE_ATTRIBUTE_NORMAL));
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs_->readFile(file, got, 100));
  EXPECT_EQ(got, kOld);
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

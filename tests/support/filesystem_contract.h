// What every FileSystem must do, written once and run against each implementation: a
// test binary instantiates the suite with a description of its platform,
//
//   namespace snapdeck::testing {
//   struct PosixFiles {
//     static std::unique_ptr<FileSystem> Make();
//   };
//   INSTANTIATE_TYPED_TEST_SUITE_P(Posix, FileSystemContract, PosixFiles);
//   }
//
// Paths are written with "\" as the program writes them; every implementation takes them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "tests/support/temp_folder.h"

namespace snapdeck::testing {

template <typename Platform>
class FileSystemContract : public ::testing::Test {
 protected:
  void SetUp() override { fs_ = Platform::Make(); }

  std::u16string path(const std::u16string& name) const { return dir_ + u"\\" + name; }
  void makeFolder(const std::u16string& name) const {
    std::filesystem::create_directory(folder_.path() / std::filesystem::path(name));
  }
  // Every name in the folder, files and folders, sorted.
  std::vector<std::u16string> allNames() const {
    std::vector<std::u16string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder_.path())) {
      names.push_back(e.path().filename().u16string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::uint8_t> contentOf(const std::u16string& file) const {
    std::vector<std::uint8_t> got;
    EXPECT_TRUE(fs_->readFile(file, got, 1000));
    return got;
  }

  TempFolder folder_{"snapdeck-fs"};
  std::u16string dir_ = folder_.path().u16string();
  std::unique_ptr<FileSystem> fs_;
};

TYPED_TEST_SUITE_P(FileSystemContract);

inline const std::vector<std::uint8_t> kOldBytes = {'o', 'l', 'd'};
inline const std::vector<std::uint8_t> kNewBytes = {'n', 'e', 'w', '!', 0, 0xFF, '\r', '\n'};

TYPED_TEST_P(FileSystemContract, WriteReadSizeDelete) {
  auto& fs = *this->fs_;
  const std::u16string file = this->path(u"a.bin");
  EXPECT_EQ(fs.fileSize(file), -1);
  ASSERT_TRUE(fs.writeFile(file, kNewBytes));
  EXPECT_EQ(fs.fileSize(file), 8);
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs.readFile(file, got, 8));
  EXPECT_EQ(got, kNewBytes);
  EXPECT_FALSE(fs.readFile(file, got, 7)) << "larger than maxBytes";
  EXPECT_TRUE(got.empty());
  EXPECT_FALSE(fs.readFile(this->dir_, got, 100)) << "a folder is not a file";
  EXPECT_EQ(fs.fileSize(this->dir_), -1) << "a folder is not a file";
  EXPECT_TRUE(fs.deleteFile(file));
  EXPECT_FALSE(fs.deleteFile(file));
  EXPECT_FALSE(fs.readFile(file, got, 100));
}

TYPED_TEST_P(FileSystemContract, NonAsciiNamesRoundTrip) {
  auto& fs = *this->fs_;
  const std::u16string name = u"Caf\u00E9 \u65E5\u672C \U0001F600[1].png";
  ASSERT_TRUE(fs.writeFile(this->path(name), kOldBytes));
  EXPECT_EQ(fs.fileSize(this->path(name)), 3);
  EXPECT_EQ(this->allNames(), std::vector<std::u16string>{name}) << "stored under its own name";
  const auto listed = fs.listFiles(this->dir_, u"*[*].PNG");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], name);
  EXPECT_EQ(this->contentOf(this->dir_ + u"\\" + listed[0]), kOldBytes);
}

TYPED_TEST_P(FileSystemContract, ListFilesMatchesFilesOnly) {
  auto& fs = *this->fs_;
  for (const char16_t* n :
       {u"snapdeck[3].png", u"X_snapdeck[7].png", u"snapdeck[9].jpg", u"other.png"}) {
    ASSERT_TRUE(fs.writeFile(this->path(n), kOldBytes));
  }
  this->makeFolder(u"snapdeck[5].png");
  const std::vector<std::u16string> numbered = {u"X_snapdeck[7].png", u"snapdeck[3].png"};
  EXPECT_EQ(fs.listFiles(this->dir_ + u"\\", u"*snapdeck[*].png"), numbered);
  EXPECT_EQ(fs.listFiles(this->dir_, u"*snapdeck[*].png"), numbered) << "folder without \\";
  EXPECT_EQ(fs.listFiles(this->dir_, u"*.jpg"), std::vector<std::u16string>{u"snapdeck[9].jpg"});
  EXPECT_TRUE(fs.listFiles(this->path(u"no-such-folder"), u"*").empty());
}

TYPED_TEST_P(FileSystemContract, ReplaceFileSwapsContentWithoutLeftovers) {
  auto& fs = *this->fs_;
  const std::u16string file = this->path(u"Snapdeck.ini");
  ASSERT_TRUE(fs.writeFile(file, kOldBytes));
  ASSERT_TRUE(fs.replaceFile(file, kNewBytes));
  EXPECT_EQ(this->contentOf(file), kNewBytes);
  EXPECT_EQ(this->allNames(), std::vector<std::u16string>{u"Snapdeck.ini"});
  ASSERT_TRUE(fs.replaceFile(this->path(u"fresh.ini"), kOldBytes)) << "a missing target is made";
  EXPECT_EQ(this->allNames(), (std::vector<std::u16string>{u"Snapdeck.ini", u"fresh.ini"}));
}

TYPED_TEST_P(FileSystemContract, ReplaceFileFailureKeepsTheOldFile) {
  auto& fs = *this->fs_;
  const std::u16string file = this->path(u"Snapdeck.ini");
  ASSERT_TRUE(fs.writeFile(file, kOldBytes));
  EXPECT_FALSE(fs.replaceFile(this->path(u"missing\\Snapdeck.ini"), kNewBytes));
  // A folder standing where the file should be cannot be replaced by a file.
  this->makeFolder(u"taken.ini");
  this->makeFolder(u"taken.ini/inner");
  EXPECT_FALSE(fs.replaceFile(this->path(u"taken.ini"), kNewBytes));
  EXPECT_EQ(this->contentOf(file), kOldBytes);
  EXPECT_EQ(this->allNames(), (std::vector<std::u16string>{u"Snapdeck.ini", u"taken.ini"}))
      << "no temporary file left";
}

REGISTER_TYPED_TEST_SUITE_P(FileSystemContract, WriteReadSizeDelete, NonAsciiNamesRoundTrip,
                            ListFilesMatchesFilesOnly, ReplaceFileSwapsContentWithoutLeftovers,
                            ReplaceFileFailureKeepsTheOldFile);

}  // namespace snapdeck::testing

#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/posix/filesystem_posix.h"
#include "platform/text.h"
#include "settings/password_cipher.h"
#include "tests/support/counting_random.h"
#include "tests/support/default_settings.h"
#include "tests/support/memory_files.h"
#include "tests/support/temp_folder.h"

namespace snapdeck {
namespace {

using testing::CountingRandom;

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string Text(const std::vector<std::uint8_t>& b) { return {b.begin(), b.end()}; }

void StartUpValues(AppSettings& s) {
  s.JLpath = u"C:\\Snapdeck\\";
  s.shotfolder[0] = u"C:\\Snapdeck\\";
}

TEST(SettingsFile, FirstStartWritesTheDefaultFile) {
  testing::MemoryFiles fs;
  AppSettings s;
  StartUpValues(s);
  LoadSettings(s, fs, u"Snapdeck.ini");
  CountingRandom random;
  ASSERT_TRUE(SaveSettings(s, fs, u"Snapdeck.ini", random));
  const std::string expected =
      testing::SettingsFileText(testing::DefaultSettingsEntries("C:\\Snapdeck\\"));
  EXPECT_EQ(Text(fs.files[u"Snapdeck.ini"]), expected);
  EXPECT_EQ(s.currentFolder, u"C:\\Snapdeck\\");
}

TEST(SettingsFile, SavedValuesLoadBackUnchanged) {
  testing::MemoryFiles fs;
  AppSettings a;
  StartUpValues(a);
  a.shotfolderid = 2;
  a.shotfolder[2] = u"D:\\Bilder \u00C4\\";
  a.shotfolder[15] = u"E:\\last\\";
  a.shotname = u"caf\u00E9[4]";
  a.shotext = 0;
  a.framethickness = 9;
  a.framecolor = MakeRgb(0x12, 0x00, 0x0A);
  a.framecolorlist[3] = MakeRgb(1, 2, 3);
  a.passwords[1] = u"s3cret";
  a.passwords[4] = u"\u00FCber";
  a.langcode = u"JP";
  a.hotkey = 13;
  a.hotkeyCAS = 5;
  a.cleanstatusbar = 1;
  CountingRandom random;
  ASSERT_TRUE(SaveSettings(a, fs, u"Snapdeck.ini", random));

  AppSettings b;
  LoadSettings(b, fs, u"Snapdeck.ini");
  EXPECT_EQ(b.shotfolder, a.shotfolder);
  EXPECT_EQ(b.shotfolderid, 2);
  EXPECT_EQ(b.currentFolder, a.shotfolder[2]);
  EXPECT_EQ(b.shotname, a.shotname);
  EXPECT_EQ(b.shotext, 0);
  EXPECT_EQ(b.framethickness, 9);
  EXPECT_EQ(b.framecolor, a.framecolor);
  EXPECT_EQ(b.framecolorlist, a.framecolorlist);
  EXPECT_EQ(b.passwords, a.passwords);
  EXPECT_EQ(b.langcode, u"JP");
  EXPECT_EQ(b.hotkey, 13);
  EXPECT_EQ(b.hotkeyCAS, 5);
  EXPECT_EQ(b.cleanstatusbar, 1);
}

TEST(SettingsFile, RememberPasswordOffDropsAndIgnoresCipherLines) {
  testing::MemoryFiles fs;
  CountingRandom random;
  AppSettings a;
  a.passwords[1] = u"pw";
  fs.files[u"Snapdeck.ini"] = Bytes("rememberPassword = 0\r\ncipherString[1] = " +
                                    Utf16ToUtf8(EncipherPassword(u"old", random)) + "\r\n");
  LoadSettings(a, fs, u"Snapdeck.ini");
  EXPECT_EQ(a.passwords[1], u"pw") << "kept the start-up value";
  ASSERT_TRUE(SaveSettings(a, fs, u"Snapdeck.ini", random));
  const std::string text = Text(fs.files[u"Snapdeck.ini"]);
  EXPECT_EQ(text.find("cipherString"), std::string::npos);
  EXPECT_NE(text.find("rememberPassword = 0\r\nkilltimeout = 32\r\n"), std::string::npos);
}

TEST(SettingsFile, HandEditedFileKeepsDefaultsOfFourKeysAndUpperCasesLangcode) {
  testing::MemoryFiles fs;
  fs.files[u"Snapdeck.ini"] = Bytes("; mine\nlangcode = de\nshotfolder[1] = X:\\\n");
  AppSettings s;
  StartUpValues(s);
  s.shotfolder[5] = u"stale";
  s.shotname = u"given";
  LoadSettings(s, fs, u"Snapdeck.ini");
  EXPECT_EQ(s.langcode, u"DE");
  EXPECT_EQ(s.JLpath, u"C:\\Snapdeck\\");
  EXPECT_EQ(s.shotfolder[0], u"C:\\Snapdeck\\");
  EXPECT_EQ(s.shotfolder[1], u"X:\\");
  EXPECT_EQ(s.shotfolder[5], u"") << "every history entry comes from the file";
  EXPECT_EQ(s.shotname, u"given");
  EXPECT_EQ(s.framecolorlist, DefaultFrameColorList());
}

TEST(SettingsFile, OutOfRangeValuesFallBackToDefaults) {
  testing::MemoryFiles fs;
  fs.files[u"Snapdeck.ini"] = Bytes(
      "shotext = 7\nshotsize = -1\nframethickness = 12\nframeeffect = 17\nframeeffectdir = 2\n"
      "shotfolderid = 16\nhotkey = 20\nhotkeyCAS = 8\nsortview = 3\nsortdir = -1\n"
      "connecttimeout = 0\npasswordtimeout = -5\nkilltimeout = 100001\n"
      "width = 2\nheight = 99999\nlangcode = xx\nsound = -3\nstayontop = 77\nautonumber = 5\n"
      "cleanstatusbar = 2\n");
  AppSettings s;
  LoadSettings(s, fs, u"Snapdeck.ini");
  EXPECT_EQ(s.shotext, 2);
  EXPECT_EQ(s.shotsize, 3);
  EXPECT_EQ(s.framethickness, 1);
  EXPECT_EQ(s.frameeffect, 8);
  EXPECT_EQ(s.frameeffectdir, 1);
  EXPECT_EQ(s.shotfolderid, 0);
  EXPECT_EQ(s.hotkey, 0);
  EXPECT_EQ(s.hotkeyCAS, 0);
  EXPECT_EQ(s.sortview, 4);
  EXPECT_EQ(s.sortdir, 1);
  EXPECT_EQ(s.connecttimeout, 255);
  EXPECT_EQ(s.passwordtimeout, 255);
  EXPECT_EQ(s.killtimeout, 32);
  EXPECT_EQ(s.width, 240);
  EXPECT_EQ(s.height, 160);
  EXPECT_EQ(s.langcode, u"US");
  EXPECT_EQ(s.sound, -3) << "on/off values stay as read";
  EXPECT_EQ(s.stayontop, 77);
  EXPECT_EQ(s.autonumber, 5);
  EXPECT_EQ(s.cleanstatusbar, 0) << "only 0 and 1 are known";
}

TEST(SettingsFile, EmptyLangcodeIsKeptSoTheHelpWindowShowsNoLanguageList) {
  testing::MemoryFiles fs;
  fs.files[u"Snapdeck.ini"] = Bytes("langcode = \n");
  AppSettings s;
  LoadSettings(s, fs, u"Snapdeck.ini");
  EXPECT_EQ(s.langcode, u"");
}

TEST(SettingsFile, RangeEdgesAreKept) {
  AppSettings s;
  s.framethickness = 9;
  s.width = 19;  // the smallest picture with a 9-pixel frame on both sides
  s.height = 8192;
  s.killtimeout = 0;
  s.connecttimeout = 1;
  s.sortview = 2;
  s.hotkey = 13;
  s.hotkeyCAS = 7;
  s.langcode = u"TR";
  NormalizeSettings(s);
  EXPECT_EQ(s.width, 19);
  EXPECT_EQ(s.height, 8192);
  EXPECT_EQ(s.killtimeout, 0);
  EXPECT_EQ(s.connecttimeout, 1);
  EXPECT_EQ(s.sortview, 2);
  EXPECT_EQ(s.hotkey, 13);
  EXPECT_EQ(s.hotkeyCAS, 7);
  EXPECT_EQ(s.langcode, u"TR");
  s.width = 18;
  NormalizeSettings(s);
  EXPECT_EQ(s.width, 240);
  // Each side may be 8192, but the preview must stay a picture that can be drawn.
  s.width = 4096;
  NormalizeSettings(s);
  EXPECT_EQ(s.width, 4096);
  EXPECT_EQ(s.height, 8192);
  s.width = 8192;
  NormalizeSettings(s);
  EXPECT_EQ(s.width, 240);
  EXPECT_EQ(s.height, 160);
}

TEST(SettingsFile, FoldersWithoutTheirSeparatorGetOne) {
  testing::MemoryFiles fs;
  fs.files[u"Snapdeck.ini"] =
      Bytes("shotfolderid = 1\r\nshotfolder[0] = C:\\one\\\\\r\nshotfolder[1] = D:\\shots\r\n"
            "shotfolder[2] = E:/web/\r\n");
  AppSettings s;
  StartUpValues(s);
  EXPECT_EQ(LoadSettings(s, fs, u"Snapdeck.ini"), SettingsSource::File);
  EXPECT_EQ(s.currentFolder, u"D:\\shots\\");
  EXPECT_EQ(s.shotfolder[0], u"C:\\one\\");
  EXPECT_EQ(s.shotfolder[1], u"D:\\shots\\");
  EXPECT_EQ(s.shotfolder[2], u"E:/web/");
  EXPECT_EQ(s.shotfolder[3], u"") << "an empty entry stays empty";
}

TEST(SettingsFile, FailedSaveLeavesTheOldFileOnDisk) {
  testing::TempFolder folder("snapdeck-ini");
  const std::string dir = folder.path().string();
  auto fs = MakePosixFileSystem();
  const std::u16string path = Utf8ToUtf16(dir) + u"\\Snapdeck.ini";
  const auto old = Bytes("width = 300\r\n");
  ASSERT_TRUE(fs->writeFile(path, old));
  AppSettings s;
  CountingRandom random;
  EXPECT_FALSE(SaveSettings(s, *fs, Utf8ToUtf16(dir) + u"\\gone\\Snapdeck.ini", random));
  if (geteuid() != 0) {
    std::filesystem::permissions(
        dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(SaveSettings(s, *fs, path, random));
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
  }
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(fs->readFile(path, got, 1000));
  EXPECT_EQ(got, old);
  ASSERT_TRUE(SaveSettings(s, *fs, path, random));
  ASSERT_TRUE(fs->readFile(path, got, 100000));
  EXPECT_EQ(Text(got).substr(0, 14), "\xEF\xBB\xBF\r\nJLpath = ");
}

}  // namespace
}  // namespace snapdeck

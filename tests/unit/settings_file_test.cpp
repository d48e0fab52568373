#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/posix/filesystem_posix.h"
#include "platform/text.h"
#include "settings/password_cipher.h"

namespace snapdeck {
namespace {

class CountingRandom final : public RandomSource {
 public:
  std::uint8_t nextByte() override { return next_++; }

 private:
  std::uint8_t next_ = 0;
};

// Files in memory; a path can be made unwritable.
class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::u16string, std::vector<std::uint8_t>> files;
  bool failWrites = false;

  std::int64_t fileSize(const std::u16string& p) override {
    auto it = files.find(p);
    return it == files.end() ? -1 : static_cast<std::int64_t>(it->second.size());
  }
  bool readFile(const std::u16string& p, std::vector<std::uint8_t>& out, std::size_t max) override {
    auto it = files.find(p);
    if (it == files.end() || it->second.size() > max) return false;
    out = it->second;
    return true;
  }
  bool writeFile(const std::u16string& p, const std::vector<std::uint8_t>& d) override {
    if (failWrites) return false;
    files[p] = d;
    return true;
  }
  bool replaceFile(const std::u16string& p, const std::vector<std::uint8_t>& d) override {
    return writeFile(p, d);
  }
  bool deleteFile(const std::u16string& p) override { return files.erase(p) != 0; }
  std::vector<std::u16string> listFiles(const std::u16string&, const std::u16string&) override {
    return {};
  }
};

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string Text(const std::vector<std::uint8_t>& b) { return {b.begin(), b.end()}; }

void StartUpValues(AppSettings& s) {
  s.JLpath = u"C:\\Snapdeck\\";
  s.shotfolder[0] = u"C:\\Snapdeck\\";
}

TEST(SettingsFile, FirstStartWritesTheDefaultFile) {
  MemoryFileSystem fs;
  AppSettings s;
  StartUpValues(s);
  LoadSettings(s, fs, u"Snapdeck.ini");
  CountingRandom random;
  ASSERT_TRUE(SaveSettings(s, fs, u"Snapdeck.ini", random));
  const std::string expected =
      "\xEF\xBB\xBF\r\n"
      "JLpath = C:\\Snapdeck\\\r\n"
      "shotfolderid = 0\r\n"
      "shotfolder[0] = C:\\Snapdeck\\\r\n"
      "shotfolder[1] = \r\nshotfolder[2] = \r\nshotfolder[3] = \r\nshotfolder[4] = \r\n"
      "shotfolder[5] = \r\nshotfolder[6] = \r\nshotfolder[7] = \r\nshotfolder[8] = \r\n"
      "shotfolder[9] = \r\nshotfolder[A] = \r\nshotfolder[B] = \r\nshotfolder[C] = \r\n"
      "shotfolder[D] = \r\nshotfolder[E] = \r\nshotfolder[F] = \r\n"
      "shotname = snapdeck\r\n"
      "shotext = 2\r\n"
      "shotsize = 3\r\n"
      "width = 240\r\n"
      "height = 160\r\n"
      "autonumber = 0\r\n"
      "includepin = 0\r\n"
      "framethickness = 1\r\n"
      "frameeffect = 8\r\n"
      "frameeffectdir = 1\r\n"
      "framecolor = #BB1122\r\n"
      "framecolorlist\\RGB[0] = #BB1122\r\n"
      "framecolorlist\\RGB[1] = #BB1122\r\n"
      "framecolorlist\\RGB[2] = #BB1122\r\n"
      "framecolorlist\\RGB[3] = #BB1122\r\n"
      "framecolorlist\\RGB[4] = #BB1122\r\n"
      "framecolorlist\\RGB[5] = #BB1122\r\n"
      "framecolorlist\\RGB[6] = #FFBB77\r\n"
      "framecolorlist\\RGB[7] = #FF8811\r\n"
      "framecolorlist\\RGB[8] = #BB1122\r\n"
      "framecolorlist\\RGB[9] = #FF99AA\r\n"
      "framecolorlist\\RGB[A] = #117722\r\n"
      "framecolorlist\\RGB[B] = #99EEAA\r\n"
      "framecolorlist\\RGB[C] = #112255\r\n"
      "framecolorlist\\RGB[D] = #AABBFF\r\n"
      "framecolorlist\\RGB[E] = #FFFF99\r\n"
      "framecolorlist\\RGB[F] = #EEEE22\r\n"
      "rememberPassword = 1\r\n"
      "cipherString[1] = \r\n"
      "cipherString[2] = \r\n"
      "cipherString[3] = \r\n"
      "cipherString[4] = \r\n"
      "killtimeout = 32\r\n"
      "connecttimeout = 255\r\n"
      "passwordtimeout = 255\r\n"
      "stayontop = 1\r\n"
      "sound = 1\r\n"
      "langcode = US\r\n"
      "sortview = 4\r\n"
      "sortdir = 1\r\n"
      "hotkey = 0\r\n"
      "hotkeyCAS = 0\r\n";
  EXPECT_EQ(Text(fs.files[u"Snapdeck.ini"]), expected);
  EXPECT_EQ(s.currentFolder, u"C:\\Snapdeck\\");
}

TEST(SettingsFile, SavedValuesLoadBackUnchanged) {
  MemoryFileSystem fs;
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
  EXPECT_EQ(b.hotkey.load(), 13);
  EXPECT_EQ(b.hotkeyCAS.load(), 5);
}

TEST(SettingsFile, RememberPasswordOffDropsAndIgnoresCipherLines) {
  MemoryFileSystem fs;
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
  MemoryFileSystem fs;
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
  MemoryFileSystem fs;
  fs.files[u"Snapdeck.ini"] = Bytes(
      "shotext = 7\nshotsize = -1\nframethickness = 12\nframeeffect = 17\nframeeffectdir = 2\n"
      "shotfolderid = 16\nhotkey = 20\nhotkeyCAS = 8\nsortview = 3\nsortdir = -1\n"
      "connecttimeout = 0\npasswordtimeout = -5\nkilltimeout = 100001\n"
      "width = 2\nheight = 99999\nlangcode = xx\nsound = -3\nstayontop = 77\nautonumber = 5\n");
  AppSettings s;
  LoadSettings(s, fs, u"Snapdeck.ini");
  EXPECT_EQ(s.shotext, 2);
  EXPECT_EQ(s.shotsize, 3);
  EXPECT_EQ(s.framethickness, 1);
  EXPECT_EQ(s.frameeffect, 8);
  EXPECT_EQ(s.frameeffectdir, 1);
  EXPECT_EQ(s.shotfolderid, 0);
  EXPECT_EQ(s.hotkey.load(), 0);
  EXPECT_EQ(s.hotkeyCAS.load(), 0);
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
}

TEST(SettingsFile, EmptyLangcodeIsKeptSoTheHelpWindowShowsNoLanguageList) {
  MemoryFileSystem fs;
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
  EXPECT_EQ(s.hotkey.load(), 13);
  EXPECT_EQ(s.hotkeyCAS.load(), 7);
  EXPECT_EQ(s.langcode, u"TR");
  s.width = 18;
  NormalizeSettings(s);
  EXPECT_EQ(s.width, 240);
}

TEST(SettingsFile, FailedSaveLeavesTheOldFileOnDisk) {
  char templ[] = "/tmp/snapdeck-ini-XXXXXX";
  ASSERT_NE(mkdtemp(templ), nullptr);
  const std::string dir = templ;
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
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace snapdeck

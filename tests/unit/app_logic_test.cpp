#include <gtest/gtest.h>

#include <map>

#include "app/main_logic.h"
#include "platform/paths.h"
#include "resources/ids.h"
#include "shell/tables.h"
#include "tests/support/memory_files.h"

namespace snapdeck {
namespace {

// A folder listing; an unknown folder cannot be listed.

TEST(Tables, LanguagesSortByNameIgnoringCase) {
  auto table = BuildLanguageTable();
  ASSERT_EQ(table.size(), 7u);
  EXPECT_EQ(table[0].code, u"US");
  EXPECT_EQ(table[0].flagPicture, 6);
  EXPECT_EQ(table[6].flagPicture, 12);
  SortLanguageTable(table);
  const std::vector<std::u16string> order = {u"Deutsch",         u"English",  u"Espa\u00F1ol",
                                             u"Fran\u00E7ais",   u"Italiano", u"Japanese",
                                             u"T\u00FCrk\u00E7e"};
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(table[i].name, order[i]) << i;
    EXPECT_EQ(table[i].listPosition, -1);
  }
  EXPECT_EQ(table[2].code, u"ES");
  EXPECT_EQ(table[2].flagPicture, 11) << "rows move whole";
  EXPECT_EQ(FindLanguage(table, u"jp"), 5);
  EXPECT_EQ(FindLanguage(table, u"XX"), -1);
}

TEST(Tables, HotkeyText) {
  EXPECT_EQ(HotkeyText(0, 0), u"-off-");
  EXPECT_EQ(HotkeyText(0, 7), u"[Ctrl] + [Alt] + [Shift] + -off-");
  EXPECT_EQ(HotkeyText(1, 5), u"[Ctrl] + [Shift] + [F1]");
  EXPECT_EQ(HotkeyText(13, 2), u"[Alt] + [Prt Scrn]");
  EXPECT_EQ(HotkeyText(14, 8), u"-off-");
  EXPECT_EQ(HotkeyText(-1, -1), u"[Ctrl] + [Alt] + [Shift] + -off-");
  EXPECT_EQ(HotkeyKeyTable()[12].virtualKey, 0x7B);
  EXPECT_EQ(HotkeyKeyTable()[13].virtualKey, 0x2C);
  EXPECT_EQ(ModifierTable()[4].virtualKey, 0x10);
  EXPECT_TRUE(ModifierTable()[3].name.empty());
}

TEST(Tables, ProgramPathsAndTempDir) {
  std::u16string file, dir;
  SplitProgramPath(u"C:\\Tools\\Snap\\Snapdeck.exe", file, dir);
  EXPECT_EQ(file, u"Snapdeck.exe");
  EXPECT_EQ(dir, u"C:\\Tools\\Snap\\");
  SplitProgramPath(u"/opt/x/snap.exe", file, dir);
  EXPECT_EQ(file, u"snap.exe");
  EXPECT_EQ(dir, u"/opt/x\\");
  SplitProgramPath(u"snap.exe", file, dir);
  EXPECT_EQ(file, u"snap.exe");
  EXPECT_EQ(dir, u".\\");

  EXPECT_EQ(TempDirFrom(u"C:\\Temp\\", u"D:\\tmp", u"C:\\P\\"), u"C:\\Temp\\");
  EXPECT_EQ(TempDirFrom(u"", u"D:\\tmp", u"C:\\P\\"), u"D:\\tmp\\");
  EXPECT_EQ(TempDirFrom(u"", u"", u"C:\\P\\"), u"C:\\P\\");
}

TEST(StemRule, RemovesTheTypedExtension) {
  EXPECT_EQ(StripStemExtension(u"shot.png"), u"shot");
  EXPECT_EQ(StripStemExtension(u"shot1.2"), u"shot1");
  EXPECT_EQ(StripStemExtension(u"shot"), u"shot");
  EXPECT_EQ(StripStemExtension(u"a.png.b.png"), u"a.b");
  EXPECT_EQ(StripStemExtension(u"dir.v2\\shot"), u"dir.v2\\shot") << "dot before the separator";
  EXPECT_EQ(StripStemExtension(u"x/y.jpg"), u"x/y");
  EXPECT_EQ(StripStemExtension(u""), u"");
}

TEST(AutoNumber, NextNumberPerFormat) {
  testing::MemoryFiles fs;
  fs.folders[u"C:\\shots\\"] = {u"snapdeck[3].png", u"X_snapdeck[7].png", u"snapdeck[12].bmp",
                                u"snapdeck.png", u"snapdeck[x].png"};
  EXPECT_EQ(NextAutoNumberName(u"snapdeck", u"C:\\shots\\", u".png", fs), u"snapdeck[8]");
  EXPECT_EQ(fs.lastPattern, u"*snapdeck[*].png");
  EXPECT_EQ(NextAutoNumberName(u"snapdeck", u"C:\\shots\\", u".jpg", fs), u"snapdeck[1]");
  EXPECT_EQ(NextAutoNumberName(u"snapdeck[2]", u"C:\\shots\\", u".bmp", fs), u"snapdeck[13]");
  EXPECT_EQ(NextAutoNumberName(u"snapdeck", u"Z:\\unlistable\\", u".png", fs), u"snapdeck[1]");
}

TEST(AutoNumber, PrefixSuffixAndHugeNumbers) {
  testing::MemoryFiles fs;
  fs.folders[u"f"] = {u"a[5]b.png", u"a[6]c.png", u"1234-a[41]b.png",
                      u"a[99999999999999999999]b.jpg"};
  EXPECT_EQ(NextAutoNumberName(u"a[1]b", u"f", u".png", fs), u"a[42]b");
  EXPECT_EQ(fs.lastPattern, u"*a[*]b.png");
  const std::u16string next = NextAutoNumberName(u"a[]b", u"f", u".jpg", fs);
  EXPECT_EQ(next, u"a[1000000001]b") << "an absurd number is bounded, not overflowed";
}

using History = std::array<std::u16string, 16>;

History Filled() {
  History h;
  for (int i = 0; i < 16; ++i) h[i] = u"F" + std::u16string(1, char16_t(u'a' + i));
  return h;
}

TEST(FolderHistory, KnownFolderMovesToTheTop) {
  History h = Filled();
  int selected = 7;
  PushFolderHistory(h, selected, u"Fa");
  EXPECT_EQ(h, Filled()) << "entry 0 already on top";
  EXPECT_EQ(selected, 0);

  PushFolderHistory(h, selected, u"Ff");
  History expected = Filled();
  expected[0] = u"Ff";
  for (int i = 1; i <= 5; ++i) expected[i] = Filled()[i - 1];
  EXPECT_EQ(h, expected);
  EXPECT_EQ(selected, 0);
}

TEST(FolderHistory, NewFolderPushesOutTheLast) {
  History h = Filled();
  int selected = 3;
  PushFolderHistory(h, selected, u"new");
  EXPECT_EQ(h[0], u"new");
  for (int i = 1; i < 16; ++i) EXPECT_EQ(h[i], Filled()[i - 1]);
  EXPECT_EQ(selected, 0);
}

TEST(FolderHistory, EmptyEntriesAreSqueezedOutFirst) {
  History h = Filled();
  h[1] = u"";
  h[2] = u"";  // moved into place 1 and not looked at again in that pass
  int selected = 0;
  PushFolderHistory(h, selected, u"Fd");
  // After squeezing: Fa, "", Fd..Fp, Fp, Fp ... then "Fd" found at 2 moves to the top.
  const History expected = {u"Fd", u"Fa", u"",   u"Fe", u"Ff", u"Fg", u"Fh", u"Fi",
                            u"Fj", u"Fk", u"Fl", u"Fm", u"Fn", u"Fo", u"Fp", u"Fp"};
  EXPECT_EQ(h, expected);
}

TEST(FolderHistory, FirstStartHistoryFillsUp) {
  History h;
  h[0] = u"C:\\P\\";
  int selected = 0;
  PushFolderHistory(h, selected, u"D:\\one\\");
  PushFolderHistory(h, selected, u"D:\\two\\");
  EXPECT_EQ(h[0], u"D:\\two\\");
  EXPECT_EQ(h[1], u"D:\\one\\");
  EXPECT_EQ(h[2], u"C:\\P\\");
  for (int i = 3; i < 16; ++i) EXPECT_EQ(h[i], u"") << i;
  PushFolderHistory(h, selected, u"x", 16, 0);  // bounds beyond the list change nothing
  EXPECT_EQ(h[0], u"D:\\two\\");
}

TEST(Layout, ControlsFollowTheInnerSize) {
  const MainWindowLayout l = MainLayout(260, 360);
  auto at = [&](int id) {
    const ControlPlace* p = l.find(id);
    EXPECT_NE(p, nullptr) << id;
    return p ? p->box : Box{};
  };
  EXPECT_EQ(at(id::kExitButton).x, 200);
  EXPECT_EQ(at(id::kExitButton).y, 320);
  EXPECT_EQ(at(id::kUpdateButton).x, 10);
  EXPECT_EQ(at(id::kHelpButton).y, 320);
  const Box shot = at(id::kTakeScreenshot);
  EXPECT_EQ(shot.x, 70);
  EXPECT_EQ(shot.width, 120);
  EXPECT_EQ(shot.height, 30);
  EXPECT_EQ(at(id::kFolderCombo).width, 150);
  EXPECT_EQ(at(id::kChooseFolder).x, 220);
  EXPECT_EQ(at(id::kDirectionButton).x, 210);
  EXPECT_EQ(at(id::kShadingTrack).width, 60);
  EXPECT_EQ(at(id::kScaleCombo).x, 200);
  EXPECT_EQ(at(id::kFormatCombo).x, 150);
  EXPECT_EQ(at(id::kFilenameEdit).width, 80);
  EXPECT_EQ(at(id::kToggleViewer).x, 150);
  EXPECT_EQ(l.progressWidth, 35);
  EXPECT_EQ(l.find(id::kStatusPicture), nullptr) << "keeps its creation place";

  const MainWindowLayout narrow = MainLayout(100, 100);
  EXPECT_EQ(narrow.find(id::kShadingTrack)->box.width, 0);
  EXPECT_EQ(narrow.progressWidth, -125);
}

}  // namespace
}  // namespace snapdeck

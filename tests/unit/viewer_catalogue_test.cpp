#include <gtest/gtest.h>

#include "tests/support/memory_folder.h"
#include "viewer/shot_catalogue.h"
#include "viewer/thumbnail_layout.h"

namespace snapdeck {
namespace {

std::vector<std::u16string> Names(const ShotCatalogue& c) {
  std::vector<std::u16string> names;
  for (const ShotEntry& e : c.entries) names.push_back(e.fileName());
  return names;
}

class Catalogue : public ::testing::Test {
 protected:
  ShotCatalogue Scan(int sortview, int sortdir) {
    ViewerState state;
    state.folder = folder.folder;
    ShotCatalogue catalogue;
    ScanFolder(catalogue, state, sortview, sortdir, folder);
    return catalogue;
  }
  MemoryFolder folder;
};

TEST_F(Catalogue, TakesOnlyTheListedExtensionsInTheirExactCase) {
  for (const char16_t* name :
       {u"b[2].png", u"a[10].jpg", u"c.bmp", u"d.txt", u"E.PNG", u"f.jpeg", u"g.png.bak", u"png"})
    folder.add(name);
  const ShotCatalogue c = Scan(3, 0);
  EXPECT_EQ(Names(c), (std::vector<std::u16string>{u"b[2].png", u"a[10].jpg", u"c.bmp"}));
  const ShotEntry& b = c.entries[0];
  EXPECT_EQ(b.stem, u"b[2]");
  EXPECT_EQ(b.ext, u".png");
  EXPECT_EQ(b.folder, u"C:\\shots\\");
  EXPECT_EQ(b.path(), u"C:\\shots\\b[2].png");
  EXPECT_EQ(b.number, 2);
}

TEST_F(Catalogue, SortsByNumberNameOrDateInBothDirections) {
  folder.add(u"b[2].png", {}, 300);
  folder.add(u"a[10].jpg", {}, 100);
  folder.add(u"c.bmp", {}, 200);
  EXPECT_EQ(Names(Scan(kSortByNumber, 0)),
            (std::vector<std::u16string>{u"c.bmp", u"b[2].png", u"a[10].jpg"}));
  EXPECT_EQ(Names(Scan(kSortByNumber, 1)),
            (std::vector<std::u16string>{u"a[10].jpg", u"b[2].png", u"c.bmp"}));
  EXPECT_EQ(Names(Scan(kSortByName, 0)),
            (std::vector<std::u16string>{u"a[10].jpg", u"b[2].png", u"c.bmp"}));
  EXPECT_EQ(Names(Scan(kSortByDate, 0)),
            (std::vector<std::u16string>{u"a[10].jpg", u"c.bmp", u"b[2].png"}));
  EXPECT_EQ(Names(Scan(kSortByDate, 1)),
            (std::vector<std::u16string>{u"b[2].png", u"c.bmp", u"a[10].jpg"}));
}

TEST_F(Catalogue, EqualKeysKeepTheListingOrderInBothDirections) {
  folder.add(u"Shot.png", {}, 5);
  folder.add(u"shot.jpg", {}, 5);
  folder.add(u"a_b.png", {}, 5);  // "_" sorts before every letter once A-Z are folded
  folder.add(u"aa.png", {}, 5);
  folder.add(u"a.png", {}, 5);  // a beginning sorts first
  EXPECT_EQ(
      Names(Scan(kSortByName, 0)),
      (std::vector<std::u16string>{u"a.png", u"a_b.png", u"aa.png", u"Shot.png", u"shot.jpg"}));
  EXPECT_EQ(
      Names(Scan(kSortByName, 1)),
      (std::vector<std::u16string>{u"Shot.png", u"shot.jpg", u"aa.png", u"a_b.png", u"a.png"}));
  const std::vector<std::u16string> listed = {u"Shot.png", u"shot.jpg", u"a_b.png", u"aa.png",
                                              u"a.png"};
  for (int dir : {0, 1}) {
    EXPECT_EQ(Names(Scan(kSortByDate, dir)), listed);
    EXPECT_EQ(Names(Scan(kSortByNumber, dir)), listed);
    EXPECT_EQ(Names(Scan(3, dir)), listed);  // not a sort key: listing order
  }
}

TEST_F(Catalogue, AThumbnailEventMadeBeforeARebuildIsDropped) {
  folder.add(u"shot[1].png", {}, 100);
  folder.add(u"shot[2].png", {}, 200);
  ViewerState state;
  state.folder = folder.folder;
  ShotCatalogue c;
  ScanFolder(c, state, kSortByDate, 1, folder);  // newest first
  const std::uint32_t made = c.generation;
  const int control = ThumbnailControl(1);
  ASSERT_EQ(EntryOfEvent(c, control, made), 1);
  EXPECT_EQ(c.entries[1].fileName(), u"shot[1].png");
  // A capture adds a newer shot: the control's number now shows shot[2].png.
  folder.add(u"shot[3].png", {}, 300);
  ScanFolder(c, state, kSortByDate, 1, folder);
  EXPECT_EQ(c.entries[1].fileName(), u"shot[2].png");
  EXPECT_EQ(EntryOfEvent(c, control, made), -1);
  EXPECT_EQ(EntryOfEvent(c, control, c.generation), 1);
  // A right click on a caption is its row's; numbers past the column are no row's.
  EXPECT_EQ(EntryOfEvent(c, CaptionControl(1), c.generation), 1);
  EXPECT_EQ(EntryOfEvent(c, ThumbnailControl(3), c.generation), -1);
  EXPECT_EQ(EntryOfEvent(c, 61, c.generation), -1);
}

TEST_F(Catalogue, UnlistableFolderGivesAnEmptyCatalogueAndUnknownDatesGiveZero) {
  folder.add(u"x.png", {}, 12345);
  folder.files.back().timeKnown = false;
  EXPECT_EQ(Scan(4, 0).entries.at(0).date, 0);
  folder.folder = u"C:\\elsewhere\\";
  ViewerState state;
  state.folder = u"C:\\shots\\";
  ShotCatalogue c;
  c.entries.resize(3);
  c.current = 1;
  ScanFolder(c, state, 4, 1, folder);
  EXPECT_EQ(c.count(), 0);
  EXPECT_EQ(c.currentEntry(), nullptr);
  EXPECT_EQ(ItemsText(c.count()), u"0 items.");
}

TEST_F(Catalogue, DatesBeyondThirtyTwoBitsKeepTheirOrder) {
  folder.add(u"late.png", {}, 5000000000LL);
  folder.add(u"early.png", {}, -5000000000LL);
  folder.add(u"now.png", {}, 1262304000);
  EXPECT_EQ(Names(Scan(kSortByDate, 0)),
            (std::vector<std::u16string>{u"early.png", u"now.png", u"late.png"}));
}

TEST(BracketNumber, ReadsTheFirstBracketsWithBlanksSignAndBases) {
  EXPECT_EQ(BracketNumber(u"shot[12].png"), 12);
  EXPECT_EQ(BracketNumber(u"shot[007].png"), 7);
  EXPECT_EQ(BracketNumber(u"shot[12a].png"), 12);
  EXPECT_EQ(BracketNumber(u"shot[ 5].png"), 5);
  EXPECT_EQ(BracketNumber(u"shot[\t 5].png"), 5);
  EXPECT_EQ(BracketNumber(u"shot[-3].png"), -3);
  EXPECT_EQ(BracketNumber(u"shot[+4].png"), 4);
  EXPECT_EQ(BracketNumber(u"shot[$1F].png"), 31);
  EXPECT_EQ(BracketNumber(u"shot[$1f].png"), 31);
  EXPECT_EQ(BracketNumber(u"shot[-$10].png"), -16);
  EXPECT_EQ(BracketNumber(u"shot[%101].png"), 5);
  EXPECT_EQ(BracketNumber(u"shot[%102].png"), 2);  // stops at the first non-binary digit
  EXPECT_EQ(BracketNumber(u"shot[].png"), 0);
  EXPECT_EQ(BracketNumber(u"shot[x1].png"), 0);
  EXPECT_EQ(BracketNumber(u"shot.png"), 0);
  EXPECT_EQ(BracketNumber(u"12]x.png"), 0);
  EXPECT_EQ(BracketNumber(u"a]b[3].png"), 0);  // its first "]" lies before the "["
  EXPECT_EQ(BracketNumber(u"a[1]b[2].png"), 1);
}

TEST(BracketNumber, WrapsAtThirtyTwoBits) {
  EXPECT_EQ(BracketNumber(u"s[2147483647].png"), 2147483647);
  EXPECT_EQ(BracketNumber(u"s[2147483648].png"), -2147483647 - 1);
  EXPECT_EQ(BracketNumber(u"s[4294967297].png"), 1);
  EXPECT_EQ(BracketNumber(u"s[$FFFFFFFF].png"), -1);
  EXPECT_EQ(BracketNumber(u"s[99999999999999999999].png"), 1661992959);  // 10^20 mod 2^32
}

TEST(DateTag, FormatsTheLocalDateOfTheEntry) {
  EXPECT_EQ(DateTag(1262304000), u"[JAN 01, 2010]");  // 2010-01-01 00:00
  EXPECT_EQ(DateTag(1267920000 + 86399), u"[MAR 07, 2010]");
  EXPECT_EQ(DateTag(951782400), u"[FEB 29, 2000]");
  EXPECT_EQ(DateTag(0), u"[JAN 01, 1970]");
  EXPECT_EQ(DateTag(-1), u"[DEC 31, 1969]");
  EXPECT_EQ(DateTag(2147483647), u"[JAN 19, 2038]");
}

}  // namespace
}  // namespace snapdeck

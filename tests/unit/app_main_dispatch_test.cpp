#include <gtest/gtest.h>

#include <map>

#include "app/main_dispatch.h"
#include "resources/ids.h"
#include "tests/support/memory_files.h"

namespace snapdeck {
namespace {

constexpr LoopCommand kNone{};
constexpr LoopCommand kQuit{LoopAction::Quit, 0};
constexpr LoopCommand Click(int control) { return {LoopAction::Click, control}; }

TEST(MainDispatch, CloseQuitsUnlessTheViewerIsOpen) {
  EXPECT_EQ(CloseCommand(false), kQuit);
  EXPECT_EQ(CloseCommand(true), Click(id::kViewerClose));
}

TEST(MainDispatch, ShortcutsOfTheMainWindow) {
  const int main = id::kMainWindow;
  EXPECT_EQ(MenuCommand(id::kKeyEnter, false, main), Click(id::kTakeScreenshot));
  EXPECT_EQ(MenuCommand(id::kKeyEscape, false, main), kQuit);
  EXPECT_EQ(MenuCommand(id::kKeyF1, false, main), Click(id::kHelpButton));
  EXPECT_EQ(MenuCommand(id::kKeyF6, false, main), Click(id::kUpdateButton));
  EXPECT_EQ(MenuCommand(id::kKeyF9, false, main), Click(id::kToggleViewer));
  // F5 belongs to the viewer.
  EXPECT_EQ(MenuCommand(id::kKeyF5, false, main), kNone);
}

TEST(MainDispatch, F9AndF5FollowTheActiveWindow) {
  EXPECT_EQ(MenuCommand(id::kKeyF9, false, id::kViewer), Click(id::kViewerClose));
  EXPECT_EQ(MenuCommand(id::kKeyF5, false, id::kViewer), Click(id::kViewerRefresh));
  // A requester or no active window at all.
  EXPECT_EQ(MenuCommand(id::kKeyF9, false, id::kRequester), kNone);
  EXPECT_EQ(MenuCommand(id::kKeyF9, false, -1), kNone);
}

TEST(MainDispatch, InTheTrayOnlyTheMenuStillWorks) {
  for (int key : {id::kKeyEnter, id::kKeyEscape, id::kKeyF1, id::kKeyF5, id::kKeyF6, id::kKeyF9}) {
    EXPECT_EQ(MenuCommand(key, true, id::kMainWindow), kNone) << key;
  }
  EXPECT_EQ(MenuCommand(id::kTrayItemExit, true, -1), kQuit);
  EXPECT_EQ(MenuCommand(id::kTrayItemExit, false, id::kMainWindow), kQuit);
}

TEST(MainDispatch, MenuItemsOfOtherPartsAreNotDecidedHere) {
  for (int item : {0, 1, 2, 3, id::kTrayItemDefineHotkey, id::kTrayItemRestore, 99}) {
    EXPECT_EQ(MenuCommand(item, false, id::kMainWindow), kNone) << item;
  }
}

TEST(MainDispatch, FolderTextRule) {
  EXPECT_TRUE(FolderTextAccepted(u"C:\\shots\\", u"C:\\old\\"));
  EXPECT_FALSE(FolderTextAccepted(u"", u"C:\\old\\"));
  EXPECT_FALSE(FolderTextAccepted(u"C:\\old\\", u"C:\\old\\"));
  // The comparison is exact: a change of letter case is a different folder text.
  EXPECT_TRUE(FolderTextAccepted(u"C:\\OLD\\", u"C:\\old\\"));
  // Typed without its separator it is still the same folder.
  EXPECT_FALSE(FolderTextAccepted(u"C:\\old", u"C:\\old\\"));
  EXPECT_TRUE(FolderTextAccepted(u"C:\\old", u"C:\\"));
}

TEST(MainDispatch, ShadingSnapsToNeutralWithCtrl) {
  EXPECT_EQ(ShadingValue(true, 3), 8);
  EXPECT_EQ(ShadingValue(false, 3), 3);
  EXPECT_EQ(ShadingValue(false, 16), 16);
}

TEST(MainDispatch, SizesFollowTheDeviceScreenAndFrame) {
  AppSettings s;  // 240 x 160, thickness 1
  int w = 0, h = 0;
  StatusFieldSize(s, w, h);
  EXPECT_EQ(w, 238);
  EXPECT_EQ(h, 158);
  MainInnerSize(s, w, h);
  EXPECT_EQ(w, 260);
  EXPECT_EQ(h, 360);
  s.framethickness = 9;
  StatusFieldSize(s, w, h);
  EXPECT_EQ(w, 222);
  EXPECT_EQ(h, 142);
  // A frame as thick as the screen still leaves a picture to show.
  s.width = 10;
  s.height = -5;
  StatusFieldSize(s, w, h);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
  s.width = 2147483647;
  MainInnerSize(s, w, h);
  EXPECT_GT(w, 0);
  // The inverse within a 1920 x 1040 work area and borders of 6 x 29: the window of
  // that screen fills the work area exactly; a tiny screen still leaves a picture.
  LargestPreviewSize(1920, 1040, 6, 29, w, h);
  EXPECT_EQ(w, 1894);
  EXPECT_EQ(h, 811);
  LargestPreviewSize(20, 150, 6, 29, w, h);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 1);
}

TEST(MainDispatch, TextsOfTheControls) {
  EXPECT_EQ(DirectionGlyph(0), u"5");
  EXPECT_EQ(DirectionGlyph(1), u"6");
  EXPECT_EQ(TrayButtonTip(0, 0), u"push to tray - Hotkey: -off-");
  EXPECT_EQ(TrayButtonTip(3, 1), u"push to tray - Hotkey: [Ctrl] + [F3]");
  EXPECT_EQ(FormatExtension(0), u".bmp");
  EXPECT_EQ(FormatExtension(1), u".jpg");
  EXPECT_EQ(FormatExtension(2), u".png");
  EXPECT_EQ(FormatExtension(7), u".png");
}

TEST(MainDispatch, FrameStyleCarriesTheFrameSettings) {
  AppSettings s;
  s.framecolor = MakeRgb(1, 2, 3);
  s.framethickness = 4;
  s.frameeffect = 12;
  s.frameeffectdir = 0;
  const FrameStyle f = FrameStyleOf(s);
  EXPECT_EQ(f.color, MakeRgb(1, 2, 3));
  EXPECT_EQ(f.thickness, 4);
  EXPECT_EQ(f.effect, 12);
  EXPECT_EQ(f.direction, 0);
  // A record that never went through loading still gives a frame the drawing can use.
  s.framethickness = 12;
  s.frameeffect = -3;
  s.frameeffectdir = 5;
  const FrameStyle g = FrameStyleOf(s);
  EXPECT_EQ(g.thickness, 9);
  EXPECT_EQ(g.effect, 0);
  EXPECT_EQ(g.direction, 1);
}

TEST(MainDispatch, ShotStemLosesItsExtensionAndGetsTheNextNumber) {
  testing::MemoryFiles fs;
  fs.folders[u"C:\\shots\\"] = {u"snapdeck[3].png", u"X_snapdeck[7].png", u"snapdeck[9].jpg"};
  AppSettings s;
  s.currentFolder = u"C:\\shots\\";
  s.autonumber = 0;
  EXPECT_EQ(PrepareShotStem(u"snapdeck.png", s, fs), u"snapdeck");
  s.autonumber = 1;
  s.shotext = 2;
  EXPECT_EQ(PrepareShotStem(u"snapdeck.png", s, fs), u"snapdeck[8]");
  s.shotext = 0;
  EXPECT_EQ(PrepareShotStem(u"snapdeck", s, fs), u"snapdeck[1]");
  // An existing number is replaced, not appended to.
  s.shotext = 1;
  EXPECT_EQ(PrepareShotStem(u"snapdeck[2]", s, fs), u"snapdeck[10]");
}

}  // namespace
}  // namespace snapdeck

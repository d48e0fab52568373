#include <gtest/gtest.h>

#include "dialogs/requester_layout.h"
#include "platform/paths.h"
#include "resources/ids.h"
#include "shell/tables.h"

namespace snapdeck {
namespace {

TEST(DialogsRequesterGeometry, CommonControlsAt320) {
  const RequesterLayout l = RequesterGeometry(id::kKindPassword, 320);
  EXPECT_EQ(l.icon, (Box{136, 29, 48, 48}));
  EXPECT_EQ(l.message, (Box{32, 106, 256, 64}));
  EXPECT_EQ(l.firstButton, (Box{64, 240, 80, 32}));
  EXPECT_EQ(l.secondButton, (Box{176, 240, 80, 32}));
  EXPECT_EQ(l.password, (Box{96, 192, 128, 20}));
  EXPECT_EQ(l.path, Box{});
  EXPECT_EQ(l.keyList, Box{});
  EXPECT_EQ(RequesterGeometry(id::kKindWarning, 320).message, (Box{32, 106, 256, 106}));
  EXPECT_EQ(RequesterGeometry(id::kKindWarning, 320).password, Box{});
}

TEST(DialogsRequesterGeometry, InputRowsAt320) {
  const RequesterLayout file = RequesterGeometry(id::kKindFile, 320);
  EXPECT_EQ(file.browse, (Box{32, 192, 32, 20}));
  EXPECT_EQ(file.path, (Box{64, 192, 224, 20}));
  EXPECT_EQ(file.message.height, 64);
  const RequesterLayout hotkey = RequesterGeometry(id::kKindHotkey, 320);
  EXPECT_EQ(hotkey.ctrlBox, (Box{32, 192, 56, 20}));
  EXPECT_EQ(hotkey.altBox, (Box{88, 192, 56, 20}));
  EXPECT_EQ(hotkey.shiftBox, (Box{144, 192, 56, 20}));
  EXPECT_EQ(hotkey.keyList, (Box{208, 192, 80, 20}));
}

TEST(DialogsRequesterGeometry, IntegerDivisionsAtOddSizeAndNoNegativeSizes) {
  // S = 333: S/10 = 33, S/40 = 8, S/5 = 66, S/4 = 83, S/6 = 55.
  const RequesterLayout l = RequesterGeometry(id::kKindHotkey, 333);
  EXPECT_EQ(l.icon, (Box{142, 31, 48, 48}));
  EXPECT_EQ(l.message, (Box{33, 111, 267, 66}));
  EXPECT_EQ(l.firstButton, (Box{66, 249, 83, 33}));
  EXPECT_EQ(l.secondButton, (Box{184, 249, 83, 33}));
  EXPECT_EQ(l.keyList, (Box{208, 198, 80, 20}));
  const RequesterLayout tiny = RequesterGeometry(id::kKindFile, -5);
  EXPECT_GE(tiny.path.width, 0);
  EXPECT_GE(tiny.message.width, 0);
}

TEST(DialogsRequesterSound, ByKind) {
  EXPECT_EQ(RequesterSound(id::kKindPassword), 3);
  EXPECT_EQ(RequesterSound(id::kKindWarning), 0);
  EXPECT_EQ(RequesterSound(id::kKindFile), 2);
  EXPECT_EQ(RequesterSound(id::kKindHotkey), 2);
  EXPECT_EQ(RequesterSound(99), -1);
}

TEST(DialogsModifierBoxes, OffDisablesAndClearsWhateverIsStored) {
  EXPECT_EQ(ModifierBoxesFor(0, 7), ModifierBoxes{});
  EXPECT_EQ(ModifierBoxesFor(-1, 7), ModifierBoxes{});  // no selection
  EXPECT_EQ(ModifierBoxesFor(kHotkeyCount, 7), ModifierBoxes{});
}

TEST(DialogsModifierBoxes, KeyEnablesAndTicksStoredBits) {
  EXPECT_EQ(ModifierBoxesFor(3, 5), (ModifierBoxes{true, true, false, true}));
  EXPECT_EQ(ModifierBoxesFor(13, 2), (ModifierBoxes{true, false, true, false}));
  EXPECT_EQ(ModifierBoxesFor(1, 0), (ModifierBoxes{true, false, false, false}));
  // Bits above Shift are not boxes.
  EXPECT_EQ(ModifierBoxesFor(1, 8), (ModifierBoxes{true, false, false, false}));
}

TEST(DialogsHotkeyChoice, OffGivesNoKeyAndNoModifiers) {
  const HotkeyChoice off = HotkeyChoiceFrom(0, true, true, true);
  EXPECT_EQ(off, (HotkeyChoice{0, 0}));
  EXPECT_EQ(HotkeyText(off.hotkey, off.cas), u"-off-");
  EXPECT_EQ(HotkeyChoiceFrom(-1, true, false, false), (HotkeyChoice{0, 0}));
}

TEST(DialogsHotkeyChoice, KeyWithTickedModifiers) {
  const HotkeyChoice c = HotkeyChoiceFrom(3, true, false, true);
  EXPECT_EQ(c, (HotkeyChoice{3, 5}));
  EXPECT_EQ(HotkeyText(c.hotkey, c.cas), u"[Ctrl] + [Shift] + [F3]");
  EXPECT_EQ(HotkeyChoiceFrom(13, false, true, false), (HotkeyChoice{13, 2}));
}

TEST(DialogsHotkeyChoice, StoredIndexOutsideTheListShowsOff) {
  EXPECT_EQ(HotkeySelectionFor(13), 13);
  EXPECT_EQ(HotkeySelectionFor(14), 0);
  EXPECT_EQ(HotkeySelectionFor(-3), 0);
}

TEST(DialogsOpenFile, FilterAndStartPath) {
  const std::u16string f = OpenFileFilter(u"Device tool|javaloader.exe");
  EXPECT_EQ(f, std::u16string(u"Device tool\0javaloader.exe\0\0", 28));
  EXPECT_TRUE(OpenFileFilter(u"").empty());

  std::u16string folder, file;
  SplitPath(u"C:\\tools\\jl\\javaloader.exe", folder, file);
  EXPECT_EQ(folder, u"C:\\tools\\jl\\");
  EXPECT_EQ(file, u"javaloader.exe");
  SplitPath(u"C:\\tools\\", folder, file);
  EXPECT_EQ(folder, u"C:\\tools\\");
  EXPECT_EQ(file, u"");
  SplitPath(u"javaloader.exe", folder, file);
  EXPECT_EQ(folder, u"");
  EXPECT_EQ(file, u"javaloader.exe");
}

}  // namespace
}  // namespace snapdeck

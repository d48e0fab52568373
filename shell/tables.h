// Fixed tables built at start-up: help languages, hotkey keys and modifiers, and the
// entries of the fixed drop-downs.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/frame.h"
#include "imaging/scale.h"

namespace snapdeck {

struct LanguageRow {
  int flagPicture = 0;      // picture 6..12
  std::u16string name;      // as shown in the help window
  std::u16string code;      // the langcode setting
  std::u16string helpText;  // filled from the embedded texts
  int listPosition = -1;    // belongs to the help window
};

inline constexpr int kLanguageCount = 7;
// Rows in definition order (flags 6..12), help texts still empty.
std::vector<LanguageRow> BuildLanguageTable();
// By name, ascending, ASCII letters compared without case.
void SortLanguageTable(std::vector<LanguageRow>& table);
// The row of a language code (ASCII case ignored), or -1.
int FindLanguage(const std::vector<LanguageRow>& table, std::u16string_view code);

struct KeyRow {
  int virtualKey = 0;  // 0: none
  std::u16string_view name;
};

inline constexpr int kHotkeyCount = 14;
// Index = the hotkey setting: 0 "-off-", 1..12 F1..F12, 13 Print Screen.
const std::array<KeyRow, kHotkeyCount>& HotkeyKeyTable();
// Index = the modifier's bit in hotkeyCAS: 1 Ctrl, 2 Alt, 4 Shift; rows 0 and 3 empty.
const std::array<KeyRow, 5>& ModifierTable();
// E.g. "[Ctrl] + [Shift] + [F1]". Modifier bits above 4 are ignored and an unknown key
// index shows as "-off-", so any pair of values gives a text.
std::u16string HotkeyText(int hotkey, int cas);

// The scale list's entries, "25%" .. "200%".
std::array<std::u16string, kScaleCount> ScaleTexts();
// Shown in the "webdings" font they are an up (0) and a down (1) triangle.
inline constexpr std::array<std::u16string_view, 2> kDirectionGlyphs = {u"5", u"6"};

}  // namespace snapdeck

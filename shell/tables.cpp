#include "shell/tables.h"

#include <algorithm>

#include "platform/text.h"

namespace snapdeck {

std::array<std::u16string, kScaleCount> ScaleTexts() {
  std::array<std::u16string, kScaleCount> texts;
  for (int i = 0; i < kScaleCount; ++i) texts[i] = DecimalText(kScalePercents[i]) + u"%";
  return texts;
}

std::vector<LanguageRow> BuildLanguageTable() {
  return {
      {6, u"English", u"US", {}, -1},           {7, u"Deutsch", u"DE", {}, -1},
      {8, u"Fran\u00E7ais", u"FR", {}, -1},     {9, u"Italiano", u"IT", {}, -1},
      {10, u"T\u00FCrk\u00E7e", u"TR", {}, -1}, {11, u"Espa\u00F1ol", u"ES", {}, -1},
      {12, u"Japanese", u"JP", {}, -1},
  };
}

void SortLanguageTable(std::vector<LanguageRow>& table) {
  std::stable_sort(table.begin(), table.end(), [](const LanguageRow& a, const LanguageRow& b) {
    return CompareIgnoreAsciiCase(a.name, b.name) < 0;
  });
}

int FindLanguage(const std::vector<LanguageRow>& table, std::u16string_view code) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (EqualsIgnoreAsciiCase(table[i].code, code)) return static_cast<int>(i);
  }
  return -1;
}

const std::array<KeyRow, kHotkeyCount>& HotkeyKeyTable() {
  static const std::array<KeyRow, kHotkeyCount> table = {{
      {0, u"-off-"},
      {0x70, u"[F1]"},
      {0x71, u"[F2]"},
      {0x72, u"[F3]"},
      {0x73, u"[F4]"},
      {0x74, u"[F5]"},
      {0x75, u"[F6]"},
      {0x76, u"[F7]"},
      {0x77, u"[F8]"},
      {0x78, u"[F9]"},
      {0x79, u"[F10]"},
      {0x7A, u"[F11]"},
      {0x7B, u"[F12]"},
      {0x2C, u"[Prt Scrn]"},
  }};
  return table;
}

const std::array<KeyRow, 5>& ModifierTable() {
  static const std::array<KeyRow, 5> table = {{
      {0, u""},
      {0x11, u"[Ctrl]"},
      {0x12, u"[Alt]"},
      {0, u""},
      {0x10, u"[Shift]"},
  }};
  return table;
}

std::u16string HotkeyText(int hotkey, int cas) {
  std::u16string text;
  for (int bit : {1, 2, 4}) {
    if (cas & bit) {
      text += ModifierTable()[bit].name;
      text += u" + ";
    }
  }
  text += HotkeyKeyTable()[(hotkey >= 0 && hotkey < kHotkeyCount) ? hotkey : 0].name;
  return text;
}

}  // namespace snapdeck

#include "dialogs/help_logic.h"

#include "program_version.h"

#include <array>

namespace snapdeck {

namespace {

constexpr std::array<std::u16string_view, 7> kListedCodes = {u"US", u"DE", u"TR", u"ES",
                                                             u"IT", u"FR", u"JP"};

bool Listed(std::u16string_view code) {
  for (std::u16string_view listed : kListedCodes) {
    if (code == listed) return true;
  }
  return false;
}

}  // namespace

std::u16string HelpDocument(std::u16string_view helpText, std::u16string_view infoText) {
  std::u16string text = u"Snapdeck " SNAPDECK_VERSION_TEXT "\r\n\r\n";
  text += helpText;
  text += u"\r\n";
  text += infoText;
  return text;
}

std::size_t HelpLanguageRow(const std::vector<LanguageRow>& table, std::u16string_view code) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].code == code) return i;
  }
  return 0;
}

std::vector<std::u16string> FillLanguageList(std::vector<LanguageRow>& table) {
  std::vector<std::u16string> names;
  for (LanguageRow& row : table) {
    if (Listed(row.code)) {
      row.listPosition = static_cast<int>(names.size());
      names.push_back(row.name);
    } else {
      row.listPosition = -1;
    }
  }
  return names;
}

std::size_t LanguageAtListPosition(const std::vector<LanguageRow>& table, int position) {
  std::size_t found = 0;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].listPosition == position) found = i;
  }
  return found;
}

bool HelpHasTopRow(const HelpInfo& info) {
  return !info.languageCode.empty() || !info.donationAddress.empty();
}

HelpLayout HelpOpeningLayout(const HelpInfo& info) {
  const int w = info.width;
  const int h = info.height;
  HelpLayout l;
  l.text = HelpHasTopRow(info) ? Box{10, 45, w - 20, h - 85} : Box{10, 10, w - 20, h - 50};
  l.list = {10, 10, 140, 20};
  l.donate = {w - 70, 7, 62, 31};
  l.close = {10, h - 24, w - 20, 20};
  return l;
}

HelpLayout HelpResizedLayout(const HelpInfo& info, int width, int heightAboveStatus) {
  const int w = width;
  const int h = heightAboveStatus;
  HelpLayout l = HelpOpeningLayout(info);
  l.text.width = w - 20;
  l.text.height = HelpHasTopRow(info) ? h - 85 : h - 50;
  l.donate.x = w - 70;
  l.close.y = h - 30;
  l.close.width = w - 20;
  return l;
}

bool LinkFitsBuffer(long start, long end) {
  return start >= 0 && end > start && static_cast<unsigned long>(end - start) <= kLinkTextCapacity;
}

}  // namespace snapdeck

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dialogs/help_logic.h"
#include "shell/tables.h"

namespace snapdeck {
namespace {

std::vector<LanguageRow> SortedTable() {
  std::vector<LanguageRow> table = BuildLanguageTable();
  SortLanguageTable(table);
  return table;
}

TEST(DialogsHelpText, DocumentIsVersionHelpAndInfo) {
  EXPECT_EQ(HelpDocument(u"Help body", u"\r\n\u00BB\u00BB\r\nInfo"),
            u"Snapdeck 1.67\r\n\r\nHelp body\r\n\r\n\u00BB\u00BB\r\nInfo");
  EXPECT_EQ(HelpDocument(u"", u""), u"Snapdeck 1.67\r\n\r\n\r\n");
}

TEST(DialogsHelpLanguages, LookupTakesTheFirstRowOfACodeAndFallsBackToRowZero) {
  std::vector<LanguageRow> table = SortedTable();
  EXPECT_EQ(table[HelpLanguageRow(table, u"TR")].name, u"T\u00FCrk\u00E7e");
  EXPECT_EQ(table[HelpLanguageRow(table, u"US")].name, u"English");
  // Unknown, empty and differently cased codes all show row 0 (Deutsch once sorted).
  EXPECT_EQ(HelpLanguageRow(table, u"XX"), 0u);
  EXPECT_EQ(HelpLanguageRow(table, u""), 0u);
  EXPECT_EQ(HelpLanguageRow(table, u"tr"), 0u);
  table[5].code = u"TR";  // a second row with the same code is never found
  EXPECT_EQ(table[HelpLanguageRow(table, u"TR")].name, table[5].name);
  EXPECT_EQ(HelpLanguageRow({}, u"US"), 0u);
}

TEST(DialogsHelpLanguages, ListFollowsTableOrderAndMapsPositionsBack) {
  std::vector<LanguageRow> table = SortedTable();
  table[3].code = u"XX";  // Français no longer a help language
  const std::vector<std::u16string> names = FillLanguageList(table);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Deutsch", u"English", u"Espa\u00F1ol",
                                                u"Italiano", u"Japanese", u"T\u00FCrk\u00E7e"}));
  EXPECT_EQ(table[3].listPosition, -1);
  EXPECT_EQ(table[4].listPosition, 3);
  EXPECT_EQ(table[LanguageAtListPosition(table, 5)].code, u"TR");
  EXPECT_EQ(LanguageAtListPosition(table, -1), 3u);  // the last row at -1
  EXPECT_EQ(LanguageAtListPosition(table, 42), 0u);
  table[6].listPosition = 0;  // two rows at one position: the last one wins
  EXPECT_EQ(LanguageAtListPosition(table, 0), 6u);
}

TEST(DialogsHelpLayout, TopRowOnlyWithListOrDonationButton) {
  HelpInfo info;
  EXPECT_FALSE(HelpHasTopRow(info));
  HelpLayout bare = HelpOpeningLayout(info);
  EXPECT_EQ(bare.text, (Box{10, 10, 300, 430}));
  EXPECT_EQ(bare.close, (Box{10, 456, 300, 20}));
  info.languageCode = u"US";
  const HelpLayout listed = HelpOpeningLayout(info);
  EXPECT_EQ(listed.text, (Box{10, 45, 300, 395}));
  EXPECT_EQ(listed.list, (Box{10, 10, 140, 20}));
  info.languageCode.clear();
  info.donationAddress = u"https://example.org/give";
  EXPECT_EQ(HelpOpeningLayout(info).text, listed.text);
  EXPECT_EQ(HelpOpeningLayout(info).donate, (Box{250, 7, 62, 31}));
}

TEST(DialogsHelpLayout, ResizeKeepsButtonsAtTheEdges) {
  HelpInfo info;
  info.donationAddress = u"https://example.org/give";
  const HelpLayout l = HelpResizedLayout(info, 500, 600);
  EXPECT_EQ(l.text, (Box{10, 45, 480, 515}));
  EXPECT_EQ(l.donate, (Box{430, 7, 62, 31}));
  EXPECT_EQ(l.close, (Box{10, 570, 480, 20}));
  info.donationAddress.clear();
  EXPECT_EQ(HelpResizedLayout(info, 500, 600).text, (Box{10, 10, 480, 550}));
}

TEST(DialogsHelpLinks, OnlyRangesThatFitTheBufferAreOpened) {
  EXPECT_TRUE(LinkFitsBuffer(0, 1));
  EXPECT_TRUE(LinkFitsBuffer(100, 100 + 512));
  EXPECT_FALSE(LinkFitsBuffer(100, 100 + 513));
  EXPECT_FALSE(LinkFitsBuffer(5, 5));
  EXPECT_FALSE(LinkFitsBuffer(9, 3));
  EXPECT_FALSE(LinkFitsBuffer(-1, 10));
  EXPECT_FALSE(LinkFitsBuffer(0, -1));  // -1 stands for "to the end of the text"
}

// --- the embedded texts, as the resource generator wrote them ---------------------------

std::u16string ReadUtf16Resource(const std::string& name) {
  std::ifstream in(std::string(SNAPDECK_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read resources/" << name;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.size() % 2, 0u) << name;
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE")) << name << " has no byte-order mark";
  std::u16string text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return text;
}

// Surrogates in pairs, every line break a CR LF, and no NUL that would end the text.
void ExpectWellFormed(const std::u16string& t, const std::string& name) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char16_t c = t[i];
    ASSERT_NE(c, 0) << name << " at " << i;
    if (c >= 0xD800 && c <= 0xDBFF) {
      ASSERT_TRUE(i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF)
          << name << ": lone high surrogate at " << i;
      ++i;
      continue;
    }
    ASSERT_FALSE(c >= 0xDC00 && c <= 0xDFFF) << name << ": lone low surrogate at " << i;
    if (c == u'\r') ASSERT_TRUE(i + 1 < t.size() && t[i + 1] == u'\n') << name << " at " << i;
    if (c == u'\n') ASSERT_TRUE(i > 0 && t[i - 1] == u'\r') << name << " at " << i;
  }
}

std::vector<std::u16string> Lines(const std::u16string& t) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = t.find(u"\r\n", start);
    lines.push_back(t.substr(start, end == std::u16string::npos ? end : end - start));
    if (end == std::u16string::npos) return lines;
    start = end + 2;
  }
}

// Index of the first line at or after `from` that is exactly `heading`, or npos.
std::size_t FindLine(const std::vector<std::u16string>& lines, std::u16string_view heading,
                     std::size_t from) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i] == heading) return i;
  }
  return std::u16string::npos;
}

struct HelpTextCase {
  const char* code;
  std::array<std::u16string_view, 5> headings;
};

const HelpTextCase kHelpTexts[] = {
    {"US", {u"About:", u"Requirements:", u"Usage:", u"Keyboard shortcuts:", u"Declaration:"}},
    {"DE",
     {u"\u00DCber:", u"Voraussetzungen:", u"Benutzung:", u"Tastaturk\u00FCrzel:",
      u"Erkl\u00E4rung:"}},
    {"FR",
     {u"A propos:", u"Configuration requise:", u"Utilisation:", u"Raccourcis clavier:",
      u"Note importante:"}},
    {"IT", {u"Informazioni:", u"Requisiti:", u"Utilizzo:", u"Tasti veloci:", u"Attenzione:"}},
    {"TR",
     {u"Hakk\u0131nda:", u"Gereksinimler:", u"Kullan\u0131m:", u"Klavye k\u0131sayollar\u0131:",
      u"Tan\u0131m:"}},
    {"ES", {u"Acerca:", u"Requisitos:", u"Uso:", u"Atajos.", u"Declaraciones:"}},
    {"JP",
     {u"\u6982\u8981:", u"\u8981\u4EF6\uFF1A", u"\u4F7F\u3044\u65B9\uFF1A",
      u"\u30AD\u30FC\u30DC\u30FC\u30C9\u30FB\u30B7\u30E7\u30FC\u30C8\u30AB\u30C3\u30C8\uFF1A",
      u"\u5BA3\u8A00\uFF1A"}},
};

TEST(DialogsHelpTexts, EveryLanguageHasItsFiveHeadingsInOrder) {
  for (const HelpTextCase& c : kHelpTexts) {
    const std::string name = std::string("help_") + c.code + ".utf16";
    SCOPED_TRACE(name);
    const std::u16string text = ReadUtf16Resource(name);
    ExpectWellFormed(text, name);
    const std::vector<std::u16string> lines = Lines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], c.headings[0]) << "the text starts with its first section";
    std::size_t at = 0;
    for (std::u16string_view heading : c.headings) {
      at = FindLine(lines, heading, at);
      ASSERT_NE(at, std::u16string::npos) << "heading missing or out of order";
      ++at;
    }
    // Every section has content, and the text ends with the translation credit.
    EXPECT_LT(at, lines.size());
    std::size_t last = lines.size() - 1;
    while (last > 0 && lines[last].empty()) --last;
    EXPECT_NE(lines[last].find(u"Snapdeck"), std::u16string::npos) << "no credit line";
  }
}

TEST(DialogsHelpTexts, InfoTextHasItsSectionsAndTheHistoryNewestFirst) {
  const std::u16string text = ReadUtf16Resource("info.utf16");
  ExpectWellFormed(text, "info.utf16");
  const std::vector<std::u16string> lines = Lines(text);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], u"");
  EXPECT_EQ(lines[1], u"\u00BB\u00BB");
  const std::size_t author = FindLine(lines, u"Author:", 2);
  const std::size_t credits = FindLine(lines, u"Credits:", author);
  const std::size_t history = FindLine(lines, u"History:", credits);
  ASSERT_NE(history, std::u16string::npos);
  std::vector<std::u16string> versions;
  for (std::size_t i = history + 1; i < lines.size() && !lines[i].empty(); ++i) {
    const std::size_t blank = lines[i].find(u' ');
    ASSERT_NE(blank, std::u16string::npos) << "history line without a description";
    versions.push_back(lines[i].substr(0, blank));
  }
  ASSERT_GE(versions.size(), 2u);
  EXPECT_EQ(versions.front(), u"1.67");
  EXPECT_EQ(versions.back(), u"1.40");
  for (std::size_t i = 1; i < versions.size(); ++i) {
    // One digit before the point, two after: text order is version order.
    EXPECT_LT(versions[i], versions[i - 1]) << "history out of order";
  }
}

}  // namespace
}  // namespace snapdeck

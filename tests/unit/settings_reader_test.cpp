#include <gtest/gtest.h>

#include <string>

#include "settings/preference_file.h"

namespace snapdeck {
namespace {

PreferenceFile Parse(const std::string& bytes) {
  PreferenceFile file;
  file.parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return file;
}

TEST(PreferenceReader, KeyAndValueSpellings) {
  for (const char* text :
       {"width=300", "WIDTH = 300", "  \twidth \t=\t 300 \t", "width = 300\r\n"}) {
    EXPECT_EQ(Parse(text).readNumber(u"width", 240), 300) << text;
  }
  EXPECT_EQ(Parse("width =").readNumber(u"width", 240), 0) << "present but empty";
  EXPECT_EQ(Parse("width = 3x").readNumber(u"width", 240), 3);
  EXPECT_EQ(Parse("width = x3").readNumber(u"width", 240), 0);
  EXPECT_EQ(Parse("height = 3").readNumber(u"width", 240), 240) << "missing";
  EXPECT_EQ(Parse("width 300").readNumber(u"width", 240), 240) << "no '=': not an entry";
  EXPECT_EQ(Parse("a b = c = d ").readText(u"a b", u""), u"c = d") << "key ends at the first '='";
}

TEST(PreferenceReader, LineEndsCommentsGroupsAndFirstOccurrence) {
  const PreferenceFile file = Parse(
      "; width = 1\r"
      "\n\n  ;comment\r\n"
      "shotname = one\n"
      "SHOTNAME = two\r"
      "width = 7\r\n"
      "[group]\n"
      "height = 99\n"
      "sound = 0\n");
  EXPECT_EQ(file.readNumber(u"width", 240), 7);
  EXPECT_EQ(file.readText(u"shotname", u""), u"one");
  EXPECT_EQ(file.readNumber(u"height", 160), 160) << "keys under a group are hidden";
  EXPECT_EQ(file.readNumber(u"sound", 1), 1);
  EXPECT_EQ(file.entryCount(), 2u);
}

TEST(PreferenceReader, EncodingFollowsTheByteOrderMark) {
  EXPECT_EQ(Parse("shotname = caf\xE9").readText(u"shotname", u""), u"caf\u00E9");
  EXPECT_EQ(Parse("\xEF\xBB\xBFshotname = caf\xC3\xA9").readText(u"shotname", u""), u"caf\u00E9");
  // Without the mark the same UTF-8 bytes are two Latin-1 characters.
  EXPECT_EQ(Parse("shotname = caf\xC3\xA9").readText(u"shotname", u""), u"caf\u00C3\u00A9");
  EXPECT_EQ(Parse("\xEF\xBB\xBFk = \xFF").readText(u"k", u""), u"\uFFFD");
}

TEST(PreferenceReader, NumbersFollowAtoiAndSaturate) {
  EXPECT_EQ(TextToNumber(u"  -12abc"), -12);
  EXPECT_EQ(TextToNumber(u"+5"), 5);
  EXPECT_EQ(TextToNumber(u"- 5"), 0);
  EXPECT_EQ(TextToNumber(u""), 0);
  EXPECT_EQ(TextToNumber(u"2147483647"), 2147483647);
  EXPECT_EQ(TextToNumber(u"99999999999999999999999"), 2147483647);
  EXPECT_EQ(TextToNumber(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(TextToNumber(u"-99999999999999999999999"), INT32_MIN);
}

TEST(PreferenceWriter, ReplacesExistingKeysAndAppendsNewOnes) {
  PreferenceFile file = Parse("; note\nwidth = 1\nname = a\n");
  file.writeNumber(u"WIDTH", -5);
  file.writeText(u"extra", u"x\r\ninjected = 1");
  const auto bytes = file.serialize();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "\xEF\xBB\xBF\r\nwidth = -5\r\nname = a\r\nextra = x\r\n");
}

}  // namespace
}  // namespace snapdeck

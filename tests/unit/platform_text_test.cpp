#include <gtest/gtest.h>

#include "platform/file_names.h"
#include "platform/text.h"
#include "platform/wildcard.h"

namespace snapdeck {
namespace {

TEST(Utf, RoundTripsEveryPlane) {
  const std::u16string text = u"a\u00E9\u20AC\U0001F600\uFFFF";
  const std::string utf8 = Utf16ToUtf8(text);
  EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBF");
  EXPECT_EQ(Utf8ToUtf16(utf8), text);
}

TEST(Utf, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::u16string lone = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
  EXPECT_EQ(Utf16ToUtf8(lone),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  const std::u16string highAtEnd = {u'x', char16_t(0xDBFF)};
  EXPECT_EQ(Utf16ToUtf8(highAtEnd), "x\xEF\xBF\xBD");
}

TEST(Utf, MalformedUtf8GivesOneReplacementPerBadSequence) {
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");  // cut short at the end
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"
                        "A"),
            u"\uFFFDA");                                  // cut short before ASCII
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");    // overlong lead is invalid
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), u"\uFFFD");      // overlong three bytes
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");      // encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD");  // beyond U+10FFFF
  EXPECT_EQ(Utf8ToUtf16("\x80z\xFF"), u"\uFFFDz\uFFFD");
}

TEST(Text, Latin1AndCaseHelpers) {
  const std::uint8_t bytes[] = {'c', 'a', 'f', 0xE9, 0xFF};
  EXPECT_EQ(Latin1ToUtf16(bytes, sizeof bytes), u"caf\u00E9\u00FF");
  EXPECT_EQ(AsciiUpper(u"abz\u00E9Q"), u"ABZ\u00E9Q");  // only ASCII letters change
  EXPECT_TRUE(EqualsIgnoreAsciiCase(u"JLpath", u"jlPATH"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase(u"JLpath", u"JLpat"));
  EXPECT_LT(CompareIgnoreAsciiCase(u"espa\u00F1ol", u"Fran\u00E7ais"), 0);
  EXPECT_LT(CompareIgnoreAsciiCase(u"abc", u"ABCD"), 0);
}

TEST(Text, DecimalTextCoversTheWholeRange) {
  EXPECT_EQ(DecimalText(0), u"0");
  EXPECT_EQ(DecimalText(-42), u"-42");
  EXPECT_EQ(DecimalText(2147483647), u"2147483647");
  EXPECT_EQ(DecimalText(INT64_MIN), u"-9223372036854775808");
}

TEST(Text, WideConversionKeepsSupplementaryCharacters) {
  const std::u16string text = u"x\U0001F600y";
  EXPECT_EQ(FromWide(ToWide(text)), text);
}

TEST(Wildcard, StarsQuestionMarksAndLiteralBrackets) {
  EXPECT_TRUE(WildcardMatch(u"*snapdeck[*].png", u"snapdeck[3].png"));
  EXPECT_TRUE(WildcardMatch(u"*snapdeck[*].png", u"X_SNAPDECK[7].PNG"));
  EXPECT_TRUE(WildcardMatch(u"*snapdeck[*].png", u"snapdeck[].png"));
  EXPECT_FALSE(WildcardMatch(u"*snapdeck[*].png", u"snapdeck3.png"));  // "[" is not a set
  EXPECT_FALSE(WildcardMatch(u"*snapdeck[*].png", u"snapdeck[3].jpg"));
  EXPECT_TRUE(WildcardMatch(u"a?c", u"abc"));
  EXPECT_FALSE(WildcardMatch(u"a?c", u"ac"));
  EXPECT_TRUE(WildcardMatch(u"*", u""));
  EXPECT_FALSE(WildcardMatch(u"", u"a"));
  EXPECT_TRUE(WildcardMatch(u"*a*b*c", u"xxaxxbxxbc"));
}

TEST(Wildcard, TrailingDotStarAlsoMatchesNamesWithoutDot) {
  EXPECT_TRUE(WildcardMatch(u"*.*", u"README"));
  EXPECT_TRUE(WildcardMatch(u"shot.*", u"shot"));
  EXPECT_TRUE(WildcardMatch(u"shot.*", u"shot.png"));
  EXPECT_FALSE(WildcardMatch(u"shot.*", u"shots"));
}

TEST(Wildcard, ManyStarsStayFast) {
  const std::u16string pattern(200, u'*');
  const std::u16string name(5000, u'a');
  EXPECT_FALSE(WildcardMatch(pattern + u"b", name));
  EXPECT_TRUE(WildcardMatch(pattern + u"a", name));
}

TEST(FileNames, FolderEndsInExactlyOneSeparator) {
  EXPECT_EQ(FolderWithSeparator(u"D:\\shots"), u"D:\\shots\\");
  EXPECT_EQ(FolderWithSeparator(u"D:\\shots\\"), u"D:\\shots\\");
  EXPECT_EQ(FolderWithSeparator(u"D:\\shots\\\\/"), u"D:\\shots\\");
  EXPECT_EQ(FolderWithSeparator(u"/home/shots/"), u"/home/shots/");
  EXPECT_EQ(FolderWithSeparator(u"\\\\server\\share"), u"\\\\server\\share\\");
  EXPECT_EQ(FolderWithSeparator(u"C:"), u"C:\\");
  EXPECT_EQ(FolderWithSeparator(u"\\"), u"\\");
  EXPECT_EQ(FolderWithSeparator(u""), u"");
}

TEST(FileNames, StemsThatCannotBeAFileAreRefused) {
  for (const char16_t* stem :
       {u"sub\\shot", u"sub/shot", u"C:shot", u"a*", u"a?", u"say\"hi\"", u"<a>", u"a|b",
        u"tab\tname", u"line\nbreak", u"..", u"NUL", u"nul", u"Con", u"PRN", u"aux", u"COM1",
        u"com9", u"LPT1", u"lpt9", u"NUL.png", u"con.tar.gz", u"nul ", u"AUX .x"}) {
    EXPECT_FALSE(StemNamesAFile(stem)) << Utf16ToUtf8(stem);
  }
  for (const char16_t* stem :
       {u"snapdeck", u"shot[12]_menu", u"snapdeck.v2", u".", u"...x", u"CONSOLE", u"nul1",
        u"COM0", u"COM10", u"LPT", u"my con", u"caf\u00E9", u"\u65E5\u672C \U0001F600"}) {
    EXPECT_TRUE(StemNamesAFile(stem)) << Utf16ToUtf8(stem);
  }
}

TEST(FileNames, DeviceNamesInFrontOfAFileNameStayInTheFolder) {
  EXPECT_EQ(PinForFileName(u"0x2100000A"), u"0x2100000A");
  EXPECT_EQ(PinForFileName(u"..\\a/b:c*?\"<>|\t\u00e9"), u".._a_b_c_______\u00e9");
  EXPECT_EQ(SerialForFileName(u"127.0.0.1:5555"), u"127_0_0_1_5555");
  EXPECT_EQ(SerialForFileName(u"emulator-5554"), u"emulator-5554");
  EXPECT_EQ(SerialForFileName(u"a/b\\c:d e\u00e9_Z"), u"a_b_c_d_e__Z");
}

}  // namespace
}  // namespace snapdeck

#include <gtest/gtest.h>

#include "platform/random.h"
#include "settings/password_cipher.h"
#include "settings/value_text.h"

namespace snapdeck {
namespace {

TEST(ColourText, ReadsTheLastSixCharacters) {
  const Rgb expected = MakeRgb(0xBB, 0x11, 0x22);
  EXPECT_EQ(ColorFromText(u"#BB1122"), expected);
  EXPECT_EQ(ColorFromText(u"#bb1122"), expected);
  EXPECT_EQ(ColorFromText(u"bb1122"), expected);
  EXPECT_EQ(ColorFromText(u"junk#BB1122"), expected);
  EXPECT_EQ(ColorFromText(u"#BB11"), MakeRgb(0x00, 0xB1, 0x11));
  EXPECT_EQ(ColorFromText(u""), MakeRgb(0, 0, 0));
  EXPECT_EQ(ColorFromText(u"F"), MakeRgb(0x0F, 0, 0x0F));
  EXPECT_EQ(ColorFromText(u"#GG1122"), MakeRgb(0, 0x11, 0x22));
}

TEST(ColourText, WritesUpperCaseRedGreenBlue) {
  EXPECT_EQ(ColorToText(MakeRgb(0x12, 0x00, 0x0A)), u"#12000A");
  EXPECT_EQ(ColorToText(MakeRgb(0xBB, 0x11, 0x22)), u"#BB1122");
  EXPECT_EQ(ColorToText(0xFF000000u | MakeRgb(1, 2, 3)), u"#010203") << "high byte ignored";
  for (Rgb c : {0x000000u, 0xFFFFFFu, 0x123456u, 0xA0B0C0u})
    EXPECT_EQ(ColorFromText(ColorToText(c)), c);
}

TEST(HexNumber, DigitsUpToTheFirstOtherCharacter) {
  EXPECT_EQ(HexToNumber(u"  ff "), 255);
  EXPECT_EQ(HexToNumber(u"1g2"), 1);
  EXPECT_EQ(HexToNumber(u""), 0);
  EXPECT_EQ(HexToNumber(u"#1"), 0);
  EXPECT_EQ(HexToNumber(u"7FFFFFFF"), 0x7FFFFFFF);
  EXPECT_EQ(HexToNumber(u"FFFFFFFF"), -1);
  EXPECT_EQ(HexToNumber(u"123456789"), 0x23456789) << "wraps to the low 32 bits";
}

TEST(HexNumber, IndexText) {
  EXPECT_EQ(HexIndexText(0), u"0");
  EXPECT_EQ(HexIndexText(10), u"A");
  EXPECT_EQ(HexIndexText(15), u"F");
  EXPECT_EQ(HexIndexText(16), u"10");
}

class FixedRandom final : public RandomSource {
 public:
  explicit FixedRandom(std::uint8_t b) : b_(b) {}
  std::uint8_t nextByte() override { return b_; }

 private:
  std::uint8_t b_;
};

TEST(PasswordCipher, KnownTextAndLengths) {
  FixedRandom random(0xA5);
  // "a" is 61 00, Base64 "YQA=": 'Y' ^ 0x5D = 0x04, 'Q' ^ 0x5D = 0x0C, 'A' ^ 0x5D = 0x1C,
  // '=' ^ 0x5D = 0x60.
  EXPECT_EQ(EncipherPassword(u"a", random), u"04A50CA51CA560A5");
  EXPECT_EQ(EncipherPassword(u"", random), u"");
  EXPECT_EQ(DecipherPassword(u""), u"");
  EXPECT_EQ(EncipherPassword(u"abc", random).size(), 32u);  // 6 bytes, 8 Base64 characters
}

TEST(PasswordCipher, RoundTripAndRandomPadding) {
  auto random = MakeSystemRandom();
  for (const std::u16string pw : {u"a", u"s3cret!", u"\u00FCber \u65E5\u672C \U0001F600", u"ab"}) {
    const std::u16string one = EncipherPassword(pw, *random);
    const std::u16string two = EncipherPassword(pw, *random);
    EXPECT_NE(one, two);
    EXPECT_EQ(DecipherPassword(one), pw);
    EXPECT_EQ(DecipherPassword(two), pw);
    // The cipher reads its digits either case.
    std::u16string lower = one;
    for (char16_t& c : lower) c = (c >= u'A' && c <= u'F') ? c + 32 : c;
    EXPECT_EQ(DecipherPassword(lower), pw);
  }
}

TEST(PasswordCipher, TrailingPartialGroupIsIgnored) {
  FixedRandom random(0);
  const std::u16string cipher = EncipherPassword(u"pin4", random);
  EXPECT_EQ(DecipherPassword(cipher + u"5D"), u"pin4");
  EXPECT_EQ(DecipherPassword(cipher + u"5D0"), u"pin4");
}

TEST(PasswordCipher, OverlongInputsAreCutAtTheLimits) {
  FixedRandom random(7);
  const std::u16string longest(kMaxPasswordChars, u'x');
  const std::u16string cipher = EncipherPassword(longest, random);
  EXPECT_EQ(cipher.size(), kMaxCipherChars);
  EXPECT_EQ(DecipherPassword(cipher), longest);
  const std::u16string tooLong = longest + u"yyyy";
  EXPECT_EQ(EncipherPassword(tooLong, random), cipher);
  EXPECT_EQ(DecipherPassword(cipher + EncipherPassword(u"zz", random)), longest);
}

TEST(PasswordCipher, DamagedTextsGiveSomeText) {
  EXPECT_EQ(DecipherPassword(u"zzzzzzzzzzzzzzzz"), u"")
      << "non-hex digits give invalid Base64, read as zero bytes that end the password";
  // Garbage gives a wrong password, never more text than it was given.
  const std::u16string surrogate = {u'\uFFFF', char16_t(0xD800), u'x', u'y', u'z'};
  for (const std::u16string& text :
       {std::u16string(u"1"), std::u16string(u"12345"), surrogate, std::u16string(u"===="),
        std::u16string(u"GGGGGGGGGGGGGGGG"), std::u16string(u"7F7F7F7F7F7F7F7F7F7"),
        std::u16string(u"2C002C002C002C00")}) {
    EXPECT_LE(DecipherPassword(text).size(), text.size());
  }
  // A text one character short loses only its last character.
  FixedRandom random(0);
  const std::u16string cipher = EncipherPassword(u"abcdef", random);
  EXPECT_EQ(DecipherPassword(cipher.substr(0, cipher.size() - 1)), u"abcde");
}

}  // namespace
}  // namespace snapdeck

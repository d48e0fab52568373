#include "update/update_signature.h"

#include <gtest/gtest.h>

#include "tests/support/update_fakes.h"

namespace snapdeck::testing {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(UpdateSignature, SignedTextIsTrimmedNameVersionAsItStandsAndDigest) {
  const std::optional<UpdateLine> line = FindUpdateLine(
      u"  Snapdeck |1.8 | http://host/x.exe | abc | sig \r\n", u"Snapdeck");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(SignedText(*line), "Snapdeck|1.8 |abc");
  EXPECT_EQ(line->signature, u"sig");
  // The address is not signed: the file is bound by its digest.
  const std::optional<UpdateLine> bare = FindUpdateLine(u"Snapdeck|1.8|http://a\r\n", u"Snapdeck");
  ASSERT_TRUE(bare.has_value());
  EXPECT_EQ(SignedText(*bare), "Snapdeck|1.8|");
  EXPECT_EQ(bare->signature, u"");
}

TEST(UpdateSignature, Base64IsStrict) {
  EXPECT_EQ(Base64Decode(u"TWFu"), Bytes("Man"));
  EXPECT_EQ(Base64Decode(u"TWE="), Bytes("Ma"));
  EXPECT_EQ(Base64Decode(u"TQ=="), Bytes("M"));
  EXPECT_EQ(Base64Decode(u"+/+/"), (std::vector<std::uint8_t>{0xFB, 0xFF, 0xBF}));
  EXPECT_EQ(Base64Decode(u""), std::vector<std::uint8_t>{});
  for (std::u16string_view bad : {u"TWF", u"TW=u", u"TWE", u"TQ=", u"T===", u"TW Fu", u"TWFu\n",
                                  u"TWE-", u"TWF=", u"TR==", u"===="}) {
    EXPECT_FALSE(Base64Decode(bad).has_value()) << Utf16ToUtf8(bad);
  }
}

TEST(UpdateSignature, DerSignatureUnpacksToThirtyTwoBytesEach) {
  // r with a high bit (so a leading zero), s short (so left-padded).
  std::vector<std::uint8_t> der = {0x30, 0x26, 0x02, 0x21, 0x00};
  for (int i = 0; i < 32; ++i) der.push_back(static_cast<std::uint8_t>(0x80 + i));
  der.insert(der.end(), {0x02, 0x01, 0x05});
  const std::optional<EcSignature> rs = SignatureFromDer(der.data(), der.size());
  ASSERT_TRUE(rs.has_value());
  EXPECT_EQ((*rs)[0], 0x80);
  EXPECT_EQ((*rs)[31], 0x80 + 31);
  EXPECT_EQ((*rs)[62], 0);
  EXPECT_EQ((*rs)[63], 5);

  // The test helper's encoding round-trips.
  const EcSignature made = FakeSignature(FakeKey(3), Sha256Digest{});
  const std::optional<std::vector<std::uint8_t>> again = Base64Decode(DerBase64(made));
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(SignatureFromDer(again->data(), again->size()), made);

  auto refused = [&](std::vector<std::uint8_t> bytes, const char* why) {
    EXPECT_FALSE(SignatureFromDer(bytes.data(), bytes.size()).has_value()) << why;
  };
  refused({0x30, 0x06, 0x02, 0x01, 0x05, 0x02, 0x01, 0x05, 0x00}, "a byte after it");
  refused({0x30, 0x06, 0x02, 0x01, 0x05, 0x02, 0x01}, "cut short");
  refused({0x30, 0x07, 0x02, 0x01, 0x05, 0x02, 0x01, 0x05}, "length beyond the end");
  refused({0x30, 0x06, 0x02, 0x01, 0x85, 0x02, 0x01, 0x05}, "negative r");
  refused({0x30, 0x07, 0x02, 0x02, 0x00, 0x05, 0x02, 0x01, 0x05}, "needless leading zero");
  refused({0x30, 0x05, 0x02, 0x00, 0x02, 0x01, 0x05}, "empty integer");
  refused({0x31, 0x06, 0x02, 0x01, 0x05, 0x02, 0x01, 0x05}, "not a sequence");
  refused({0x30, 0x06, 0x03, 0x01, 0x05, 0x02, 0x01, 0x05}, "not an integer");
  std::vector<std::uint8_t> wide = {0x30, 0x26, 0x02, 0x21};
  for (int i = 0; i < 33; ++i) wide.push_back(0x11);
  wide.insert(wide.end(), {0x02, 0x01, 0x05});
  refused(wide, "r of 33 bytes");
  refused({}, "nothing");
}

}  // namespace
}  // namespace snapdeck::testing

#include "update/update_document.h"

#include <gtest/gtest.h>

#include "tests/support/update_fakes.h"
#include "update/download_check.h"

namespace snapdeck::testing {
namespace {

std::optional<UpdateLine> Find(std::u16string_view text) {
  return FindUpdateLine(text, u"Snapdeck");
}

TEST(UpdateDocument, TextIsLittleEndianUpToTheFirstZeroUnit) {
  const std::vector<std::uint8_t> bytes = {'a', 0, 0xAC, 0x20, 'b', 0, 0, 0, 'c', 0};
  EXPECT_EQ(DocumentText(bytes.data(), bytes.size()), u"a\u20ACb");
  const std::vector<std::uint8_t> odd = {'x', 0, 'y'};
  EXPECT_EQ(DocumentText(odd.data(), odd.size()), u"xy");
}

TEST(UpdateDocument, FirstMatchingLineWinsWithSpacesAroundTheName) {
  auto line =
      Find(u"Other|9.9|http://o\r\n  Snapdeck |1.7| http://new \r\nSnapdeck|2.0|http://x\r\n");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->version, u"1.7");
  EXPECT_EQ(line->downloadUrl, u" http://new ");
  EXPECT_EQ(line->sha256, u"");
  // A bare CR ends a line as well; line feeds anywhere are dropped.
  line = Find(u"Other|1|u\rSnap\ndeck|1.8|http://a\nb\r");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->downloadUrl, u"http://ab");
}

TEST(UpdateDocument, LinesThatNeverMatch) {
  EXPECT_FALSE(Find(u"\uFEFFSnapdeck|1.7|http://a\r\n").has_value()) << "a BOM hides line 1";
  EXPECT_TRUE(Find(u"\uFEFFSnapdeck|1.7|http://a\r\nSnapdeck|1.8|http://b\r\n").has_value());
  EXPECT_FALSE(Find(u"Other|1|u\r\n\r\nSnapdeck|1.7|http://a\r\n").has_value())
      << "an empty line hides the rest";
  EXPECT_FALSE(Find(u"snapdeck|1.7|http://a").has_value()) << "case differs";
  EXPECT_FALSE(Find(u"\tSnapdeck|1.7|http://a").has_value()) << "only spaces are trimmed";
  EXPECT_FALSE(Find(u"").has_value());
}

TEST(UpdateDocument, MissingFieldsAreEmptyAndAFourthFieldIsTheDigest) {
  auto bare = Find(u"Snapdeck");
  ASSERT_TRUE(bare.has_value());
  EXPECT_EQ(bare->version, u"");
  EXPECT_EQ(bare->downloadUrl, u"");
  auto hashed = Find(u"Snapdeck|1.7|http://a| ABCdef01 |ignored");
  ASSERT_TRUE(hashed.has_value());
  EXPECT_EQ(hashed->sha256, u"ABCdef01");
}

TEST(UpdateDocument, VersionsCompareByCodeUnits) {
  EXPECT_TRUE(IsNewerVersion(u"1.7", u"1.67"));
  EXPECT_TRUE(IsNewerVersion(u"1.67a", u"1.67"));
  EXPECT_FALSE(IsNewerVersion(u"1.100", u"1.67"));
  EXPECT_FALSE(IsNewerVersion(u"1.67", u"1.67"));
  EXPECT_FALSE(IsNewerVersion(u"1.6", u"1.67"));
  EXPECT_TRUE(IsNewerVersion(u"\u00E9", u"z")) << "by value, not by letter case rules";
}

TEST(UpdateDownloadCheck, OnlyAnX64ProgramPasses) {
  std::vector<std::uint8_t> good = X64Program();
  EXPECT_TRUE(IsWindowsX64Executable(good.data(), good.size()));

  EXPECT_FALSE(IsWindowsX64Executable(X64Program(512, 0x014C).data(), 512)) << "i386";
  std::vector<std::uint8_t> noPe = good;
  noPe[0x81] = 'X';
  EXPECT_FALSE(IsWindowsX64Executable(noPe.data(), noPe.size())) << "MZ without PE";
  std::vector<std::uint8_t> dll = good;
  dll[0x97] = 0x20;
  EXPECT_FALSE(IsWindowsX64Executable(dll.data(), dll.size()));
  std::vector<std::uint8_t> noMz = good;
  noMz[0] = 'Z';
  EXPECT_FALSE(IsWindowsX64Executable(noMz.data(), noMz.size()));
  // Truncated: inside the DOS header, and inside the file header.
  EXPECT_FALSE(IsWindowsX64Executable(good.data(), 0x3F));
  EXPECT_FALSE(IsWindowsX64Executable(good.data(), 0x80 + 23));
  EXPECT_TRUE(IsWindowsX64Executable(good.data(), 0x80 + 24));
  std::vector<std::uint8_t> farOff = good;
  farOff[0x3F] = 0xFF;  // points 4 GB away
  EXPECT_FALSE(IsWindowsX64Executable(farOff.data(), farOff.size()));
}

TEST(UpdateDownloadCheck, DigestIsRequiredAndChecked) {
  std::vector<std::uint8_t> program = X64Program();
  const std::u16string hex = u"00112233445566778899AABBCCDDEEFF00112233445566778899aabbccddeeff";
  Sha256Digest digest = *ParseSha256Hex(hex);
  EXPECT_EQ(digest[1], 0x11);
  EXPECT_EQ(digest[31], 0xFF);
  int asked = 0;
  auto digestOf = [&](const std::uint8_t*, std::size_t) {
    ++asked;
    return std::optional<Sha256Digest>(digest);
  };
  EXPECT_EQ(RefusedDownload(program.data(), program.size(), u"", digestOf),
            u"*no SHA-256 in update info*");
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(RefusedDownload(program.data(), program.size(), hex, digestOf), u"");
  std::u16string other = hex;
  other[0] = u'1';
  EXPECT_EQ(RefusedDownload(program.data(), program.size(), other, digestOf),
            u"*SHA-256 mismatch*");
  EXPECT_EQ(RefusedDownload(program.data(), program.size(), hex.substr(1), digestOf),
            u"*invalid SHA-256 in update info*");
  EXPECT_EQ(RefusedDownload(program.data(), program.size(), u"zz" + hex.substr(2), digestOf),
            u"*invalid SHA-256 in update info*");
  EXPECT_EQ(RefusedDownload(program.data(), 100, hex, digestOf), u"*not a Windows x64 program*");
  auto unavailable = [](const std::uint8_t*, std::size_t) { return std::optional<Sha256Digest>(); };
  EXPECT_EQ(RefusedDownload(program.data(), program.size(), hex, unavailable),
            u"*SHA-256 not available*");
}

}  // namespace
}  // namespace snapdeck::testing

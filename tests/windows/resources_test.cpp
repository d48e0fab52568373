// The embedded pictures, sounds and texts, loaded from this test executable, which
// links the same resource script as Snapdeck.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/handles_win32.h"
#include "resources/resource_ids.h"
#include "shell/resources_win32.h"
#include "tests/support/pictures.h"

namespace snapdeck::win32 {
namespace {

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t o) {
  return b[o] | (b[o + 1] << 8);
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t o) {
  return U16(b, o) | (U16(b, o + 2) << 16);
}

// Resource bytes of any type, read straight from the module for structure checks.
std::vector<std::uint8_t> RawResource(int id, LPCWSTR type) {
  HMODULE m = GetModuleHandleW(nullptr);
  HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(id), type);
  if (r == nullptr) return {};
  auto* p = static_cast<const std::uint8_t*>(LockResource(LoadResource(m, r)));
  return p ? std::vector<std::uint8_t>(p, p + SizeofResource(m, r)) : std::vector<std::uint8_t>{};
}

using testing::At;

constexpr Rgb kBackground = MakeRgb(0x22, 0x22, 0x33);
constexpr Rgb kSky = MakeRgb(0xAA, 0xBB, 0xFF);
constexpr Rgb kWhite = MakeRgb(0xFF, 0xFF, 0xFF);

struct PictureCase {
  int number, width, height;
  Rgb corner;  // colour at (0, 0): tells that palette and decoding line up
};

TEST(EmbeddedPictures, EveryPictureLoadsWithItsSizeAndBackground) {
  const PictureCase cases[] = {
      {0, 48, 48, kSky},
      {4, 16, 16, kBackground},
      {5, 62, 31, kBackground},
      {6, 50, 11, MakeRgb(0x33, 0x33, 0x44)},
      {7, 50, 11, MakeRgb(0x33, 0x33, 0x44)},
      {8, 50, 11, MakeRgb(0x33, 0x33, 0x44)},
      {9, 50, 11, MakeRgb(0x33, 0x33, 0x44)},
      {10, 50, 11, MakeRgb(0x33, 0x33, 0x44)},
      {11, 50, 11, MakeRgb(0x33, 0x33, 0x44)},
      {12, 50, 11, MakeRgb(0x33, 0x33, 0x44)},
      {16, 48, 48, kWhite},
      {17, 48, 48, kWhite},
      {20, 48, 48, kWhite},
      {21, 48, 48, kWhite},
      {27, 16, 16, kBackground},
      {28, 16, 16, kBackground},
      {29, 16, 16, kBackground},
      {30, 16, 16, kBackground},
      {31, 16, 16, kBackground},
      {32, 20, 20, kBackground},
      {34, 16, 16, kBackground},
      {35, 16, 16, kBackground},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.number);
    Picture p;
    ASSERT_TRUE(LoadEmbeddedPicture(c.number, p));
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    ASSERT_EQ(p.pixels.size(), static_cast<std::size_t>(c.width) * c.height);
    EXPECT_EQ(At(p, 0, 0), c.corner);
    for (std::uint32_t v : p.pixels) ASSERT_EQ(v >> 24, 0xFFu);
  }
}

TEST(EmbeddedPictures, StoredFormatsAreTheDocumentedOnes) {
  struct Format {
    int number, bpp, compression;
  };
  const Format formats[] = {{0, 4, 0},  {5, 8, 0},  {16, 4, 0}, {17, 4, 0}, {20, 4, 0}, {27, 4, 2},
                            {28, 4, 2}, {29, 4, 0}, {30, 4, 0}, {31, 4, 0}, {32, 4, 0}};
  for (const Format& f : formats) {
    SCOPED_TRACE(f.number);
    std::vector<std::uint8_t> b = LoadEmbeddedBytes(SNAPDECK_RC_PICTURE_BASE + f.number);
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U16(b, 28), static_cast<std::uint32_t>(f.bpp));
    EXPECT_EQ(U32(b, 30), static_cast<std::uint32_t>(f.compression));  // 2 = BI_RLE4
  }
  for (int k = 0; k < SNAPDECK_RC_EMBLEM_COUNT; ++k) {
    std::vector<std::uint8_t> b = LoadEmbeddedBytes(SNAPDECK_RC_EMBLEM_BASE + k);
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(U16(b, 28), 4u);
  }
}

// Icon groups: entry count, and per entry width, height and bit count.
TEST(EmbeddedPictures, IconGroupsHoldTheirImages) {
  struct Entry {
    int w, h, bpp;
  };
  auto entries = [](int id) {
    std::vector<Entry> out;
    std::vector<std::uint8_t> d = RawResource(id, RT_GROUP_ICON);
    if (d.size() < 6) return out;
    for (std::uint32_t i = 0; i < U16(d, 4) && 6 + 14 * (i + 1) <= d.size(); ++i) {
      std::size_t o = 6 + 14 * i;
      out.push_back({d[o], d[o + 1], static_cast<int>(U16(d, o + 6))});
    }
    return out;
  };
  for (int n : {34, 35}) {
    std::vector<Entry> e = entries(SNAPDECK_RC_PICTURE_BASE + n);
    ASSERT_EQ(e.size(), 3u) << n;
    for (const Entry& x : e) EXPECT_TRUE(x.w == 16 && x.h == 16) << n;
    EXPECT_EQ(e[0].bpp, 4);
    EXPECT_EQ(e[1].bpp, 8);
    EXPECT_EQ(e[2].bpp, 32);
  }
  for (int n : {4, 6, 7, 8, 9, 10, 11, 12}) {
    std::vector<Entry> e = entries(SNAPDECK_RC_PICTURE_BASE + n);
    ASSERT_EQ(e.size(), 1u) << n;
    EXPECT_EQ(e[0].bpp, 24) << n;
  }
  std::vector<Entry> program = entries(SNAPDECK_RC_PROGRAM_ICON);
  ASSERT_EQ(program.size(), 3u);
  EXPECT_EQ(program[0].w, 16);
  EXPECT_EQ(program[1].w, 32);
  EXPECT_EQ(program[2].w, 48);
}

// Rows come out top-down and colours in the right channel order, through both the
// bitmap decoder and the icon drawing.
TEST(EmbeddedPictures, PicturesAreUprightWithTrueColours) {
  Picture warning;
  ASSERT_TRUE(LoadEmbeddedPicture(17, warning));
  EXPECT_EQ(At(warning, 24, 42), MakeRgb(0xBB, 0x11, 0x22));  // red base of the triangle
  EXPECT_EQ(At(warning, 2, 2), kWhite);

  Picture german;  // black, red, gold from the top
  ASSERT_TRUE(LoadEmbeddedPicture(7, german));
  EXPECT_EQ(At(german, 25, 2), MakeRgb(0x11, 0x11, 0x11));
  EXPECT_EQ(At(german, 25, 5), MakeRgb(0xDD, 0x00, 0x00));
  EXPECT_EQ(At(german, 25, 8), MakeRgb(0xFF, 0xCE, 0x00));

  Picture pin;  // RLE-4: the pressed pin's red head around a grey centre
  ASSERT_TRUE(LoadEmbeddedPicture(27, pin));
  EXPECT_EQ(At(pin, 8, 8), MakeRgb(0x88, 0x88, 0xAA));
  EXPECT_EQ(At(pin, 11, 8), MakeRgb(0xBB, 0x11, 0x22));
}

TEST(EmbeddedPictures, QuestionIconServesAsBothNumbers) {
  Picture a, b;
  ASSERT_TRUE(LoadEmbeddedPicture(20, a));
  ASSERT_TRUE(LoadEmbeddedPicture(21, b));
  EXPECT_EQ(a.pixels, b.pixels);
}

TEST(EmbeddedPictures, UpdateEmblemTurnsAQuarterClockwisePerStep) {
  Picture e[4];
  for (int k = 0; k < 4; ++k) {
    ASSERT_TRUE(LoadUpdateEmblem(k, e[k])) << k;
    ASSERT_EQ(e[k].width, 48);
    ASSERT_EQ(e[k].height, 48);
  }
  EXPECT_NE(e[0].pixels, e[1].pixels);
  for (int k = 0; k < 3; ++k) {
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 48; ++x) {
        ASSERT_EQ(e[k + 1].at(x, y), e[k].at(y, 47 - x)) << k << " " << x << "," << y;
      }
    }
  }
}

TEST(EmbeddedPictures, UnknownNumbersFailWithoutTouchingTheOutput) {
  Picture p;
  p.width = 3;
  p.height = 1;
  p.pixels = {1, 2, 3};
  for (int n : {-1, 1, 2, 3, 23, 33, 36, 99, 100, 1000, 0x7FFFFFFF}) {
    EXPECT_FALSE(LoadEmbeddedPicture(n, p)) << n;
  }
  EXPECT_FALSE(LoadUpdateEmblem(-1, p));
  EXPECT_FALSE(LoadUpdateEmblem(4, p));
  EXPECT_EQ(p.width, 3);
  EXPECT_EQ(p.pixels.size(), 3u);
  EXPECT_TRUE(LoadEmbeddedBytes(0).empty());
  EXPECT_TRUE(LoadEmbeddedBytes(-5).empty());
  EXPECT_TRUE(LoadEmbeddedBytes(70000).empty());
}

TEST(EmbeddedIcons, IconPicturesGiveSixteenPixelIconsOthersNone) {
  for (int n : {4, 6, 12, 34, 35}) {
    const UniqueIcon icon = LoadEmbeddedIcon(n);
    ASSERT_TRUE(icon) << n;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    const UniqueGdi<HBITMAP> mask(info.hbmMask), color(info.hbmColor);
    BITMAP bm{};
    GetObjectW(mask.get(), sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 16) << n;
    if (color) {
      GetObjectW(color.get(), sizeof bm, &bm);
      EXPECT_EQ(bm.bmHeight, 16) << n;
    }
  }
  for (int n : {0, 20, 21, -1, 100}) EXPECT_FALSE(LoadEmbeddedIcon(n)) << n;
}

TEST(EmbeddedSounds, AreMonoEightBitWavesOfTheirRateAndLength) {
  struct SoundCase {
    std::uint32_t rate;
    double seconds;
  };
  const SoundCase sounds[] = {{8000, 0.50},  {11025, 0.82}, {11025, 0.55}, {22050, 0.32},
                              {11175, 0.59}, {8000, 0.50},  {11025, 0.10}, {11127, 0.08}};
  for (int n = 0; n < SNAPDECK_RC_SOUND_COUNT; ++n) {
    SCOPED_TRACE(n);
    std::vector<std::uint8_t> b = LoadEmbeddedBytes(SNAPDECK_RC_SOUND_BASE + n);
    ASSERT_GE(b.size(), 12u);
    ASSERT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    ASSERT_EQ(std::string(b.begin() + 8, b.begin() + 12), "WAVE");
    EXPECT_EQ(U32(b, 4), b.size() - 8);
    bool fmt = false;
    std::size_t dataAt = 0, dataSize = 0;
    for (std::size_t o = 12; o + 8 <= b.size();) {
      std::string id(b.begin() + o, b.begin() + o + 4);
      std::size_t len = U32(b, o + 4);
      ASSERT_LE(len, b.size() - o - 8);
      if (id == "fmt ") {
        ASSERT_GE(len, 16u);
        EXPECT_EQ(U16(b, o + 8), 1u);   // PCM
        EXPECT_EQ(U16(b, o + 10), 1u);  // mono
        EXPECT_EQ(U32(b, o + 12), sounds[n].rate);
        EXPECT_EQ(U32(b, o + 16), sounds[n].rate);  // bytes per second
        EXPECT_EQ(U16(b, o + 20), 1u);
        EXPECT_EQ(U16(b, o + 22), 8u);
        fmt = true;
      } else if (id == "data") {
        dataAt = o + 8;
        dataSize = len;
      }
      o += 8 + len + (len & 1);
    }
    ASSERT_TRUE(fmt);
    ASSERT_GT(dataSize, 0u);
    EXPECT_NEAR(static_cast<double>(dataSize), sounds[n].rate * sounds[n].seconds, 1.0);
    // starts and ends at silence, so playing it does not click
    EXPECT_NEAR(b[dataAt], 128, 3);
    EXPECT_NEAR(b[dataAt + dataSize - 1], 128, 3);
  }
}

TEST(EmbeddedTexts, EnglishHelpIsReadableTextWithoutMark) {
  std::u16string help = LoadHelpText(0);
  ASSERT_GT(help.size(), 1000u);
  EXPECT_EQ(help.rfind(u"About:", 0), 0u);
  for (const char16_t* part : {u"Requirements:", u"Usage:", u"Keyboard shortcuts:", u"Declaration:",
                               u"javaloader.exe", u"Snapdeck.ini", u"wipe itself", u"\r\n"}) {
    EXPECT_NE(help.find(part), std::u16string::npos);
  }
  EXPECT_EQ(help.find(u'\0'), std::u16string::npos);
  EXPECT_EQ(help.find(u'\uFEFF'), std::u16string::npos);
}

TEST(EmbeddedTexts, MissingLanguagesAndRowsGiveEmptyText) {
  for (int row = 1; row < SNAPDECK_RC_HELP_COUNT; ++row) {
    if (LoadEmbeddedBytes(SNAPDECK_RC_HELP_BASE + row).empty()) {
      EXPECT_TRUE(LoadHelpText(row).empty()) << row;
    } else {
      EXPECT_NE(LoadHelpText(row).substr(0, 1), u"\uFEFF") << row;
    }
  }
  EXPECT_TRUE(LoadHelpText(-1).empty());
  EXPECT_TRUE(LoadHelpText(SNAPDECK_RC_HELP_COUNT).empty());
}

TEST(EmbeddedTexts, InformationTextCarriesVersionAndLibraryNotices) {
  std::u16string info = LoadInfoText();
  ASSERT_FALSE(info.empty());
  EXPECT_NE(info[0], u'\uFEFF');
  for (const char16_t* part :
       {u"\u00BB\u00BB", u"Author:", u"Credits:", u"History:", u"1.67", u"libpng", u"zlib",
        u"libjpeg-turbo", u"based in part on the work of the Independent JPEG Group"}) {
    EXPECT_NE(info.find(part), std::u16string::npos);
  }
}

TEST(EmbeddedInformation, VersionResourceAndManifest) {
  std::vector<std::uint8_t> v = RawResource(1, RT_VERSION);
  std::size_t at = std::string::npos;
  for (std::size_t o = 0; o + 16 <= v.size(); o += 4) {
    if (U32(v, o) == 0xFEEF04BDu) {
      at = o;
      break;
    }
  }
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(U32(v, at + 8), (1u << 16) | 67u);   // file version 1.67
  EXPECT_EQ(U32(v, at + 12), 0u);                // .0.0
  EXPECT_EQ(U32(v, at + 16), (1u << 16) | 67u);  // product version
  std::u16string strings;
  for (std::size_t o = 0; o + 1 < v.size(); o += 2)
    strings.push_back(static_cast<char16_t>(U16(v, o)));
  EXPECT_NE(strings.find(u"Snapdeck - handheld screenshots"), std::u16string::npos);
  EXPECT_NE(strings.find(u"Snapdeck.exe"), std::u16string::npos);

  std::vector<std::uint8_t> m = RawResource(1, MAKEINTRESOURCEW(24));
  std::string manifest(m.begin(), m.end());
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find(">false</dpiAware>"), std::string::npos);
}

}  // namespace
}  // namespace snapdeck::win32

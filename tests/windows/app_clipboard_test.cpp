// A picture on the clipboard as a bitmap and as PNG bytes, read back unchanged.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "app/clipboard_win32.h"
#include "imaging/codec.h"
#include "imaging/draw.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck::win32 {
namespace {

// Every pixel different, with an odd width so the bitmap rows need padding.
Picture Pattern(int w, int h) {
  Picture p = MakePicture(w, h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) p.at(x, y) = PixelOf(MakeRgb(x * 7, y * 11, x + y));
  }
  return p;
}

std::vector<std::uint8_t> ClipboardBytes(UINT format) {
  std::vector<std::uint8_t> bytes;
  const ClipboardSession session(nullptr);
  if (!session) return bytes;
  const GlobalLockScope data(GetClipboardData(format));
  const auto* p = static_cast<const std::uint8_t*>(data.get());
  if (p != nullptr) bytes.assign(p, p + data.size());
  return bytes;
}

TEST(AppClipboard, PictureRoundTripsAsBitmapAndPng) {
  const Picture p = Pattern(37, 23);
  ASSERT_TRUE(PutPictureOnClipboard(p));
  Picture back;
  ASSERT_TRUE(ReadClipboardPicture(back));
  EXPECT_EQ(back.width, 37);
  EXPECT_EQ(back.height, 23);
  EXPECT_EQ(back.pixels, p.pixels);

  const std::vector<std::uint8_t> dib = ClipboardBytes(CF_DIB);
  ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  memcpy(&header, dib.data(), sizeof(header));
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biHeight, 23);  // bottom-up, as every program reads it

  const std::vector<std::uint8_t> png = ClipboardBytes(RegisterClipboardFormatW(L"PNG"));
  ASSERT_FALSE(png.empty());
  const DecodeResult decoded = DecodePng(png.data(), png.size());
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.picture.pixels, p.pixels);
}

TEST(AppClipboard, ClearingLeavesNoPicture) {
  ASSERT_TRUE(PutPictureOnClipboard(Pattern(4, 4)));
  ASSERT_TRUE(ClearClipboard());
  Picture back;
  EXPECT_FALSE(ReadClipboardPicture(back));
}

TEST(AppClipboard, AnEmptyPictureIsRefusedAndChangesNothing) {
  const Picture p = Pattern(5, 3);
  ASSERT_TRUE(PutPictureOnClipboard(p));
  EXPECT_FALSE(PutPictureOnClipboard(Picture{}));
  Picture broken;
  broken.width = 10;
  broken.height = 10;  // no pixels behind the size
  EXPECT_FALSE(PutPictureOnClipboard(broken));
  Picture back;
  ASSERT_TRUE(ReadClipboardPicture(back));
  EXPECT_EQ(back.pixels, p.pixels);
}

TEST(AppClipboard, ForeignBitmapsAreReadSafely) {
  // A DIB whose header promises more rows than it holds.
  std::vector<std::uint8_t> dib(sizeof(BITMAPINFOHEADER) + 12, 0);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = 2;
  header.biHeight = 1000;
  header.biPlanes = 1;
  header.biBitCount = 24;
  memcpy(dib.data(), &header, sizeof(header));
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, dib.size()));
  ASSERT_TRUE(memory);
  memcpy(GlobalLockScope(memory.get()).get(), dib.data(), dib.size());
  HWND owner =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  {
    const ClipboardSession session(owner);
    ASSERT_TRUE(session);
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_DIB, memory.get()), nullptr);
    memory.release();  // the clipboard's now
  }
  Picture back;
  EXPECT_FALSE(ReadClipboardPicture(back));
  DestroyWindow(owner);
}

}  // namespace
}  // namespace snapdeck::win32

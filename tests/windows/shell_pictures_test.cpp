// Pictures shown in picture controls and picture buttons: each shown bitmap belongs to
// its control until the next picture replaces it or it is released, and none leaks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "imaging/draw.h"
#include "shell/shell_win32.h"

namespace snapdeck::win32 {
namespace {

HBITMAP Shown(HWND control, bool button) {
  return reinterpret_cast<HBITMAP>(
      SendMessageW(control, button ? BM_GETIMAGE : STM_GETIMAGE, IMAGE_BITMAP, 0));
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (GetObjectW(bitmap, sizeof info, &info) == 0) return {0, 0};
  return {info.bmWidth, info.bmHeight};
}

// The first pixel of a bitmap as 0xAARRGGBB.
std::uint32_t TopLeft(HBITMAP bitmap) {
  const SIZE size = BitmapSize(bitmap);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size.cx) * size.cy);
  HDC dc = GetDC(nullptr);
  const int rows = GetDIBits(dc, bitmap, 0, size.cy, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return rows > 0 ? pixels[0] : 0xDEADBEEFu;
}

TEST(PictureControls, ShownBitmapIsFreedWhenReplacedOrReleased) {
  HWND parent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  const struct {
    const wchar_t* cls;
    DWORD style;
    bool button;
  } kinds[] = {{L"Static", SS_BITMAP, false}, {L"Button", BS_PUSHBUTTON | BS_BITMAP, true}};
  for (const auto& kind : kinds) {
    HWND control = CreateWindowExW(0, kind.cls, L"", WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 40,
                                   40, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(control, nullptr);
    ShowPictureInControl(control, MakePicture(4, 3, MakeRgb(10, 20, 30)));
    HBITMAP first = Shown(control, kind.button);
    ASSERT_NE(first, nullptr) << kind.button;
    EXPECT_EQ(BitmapSize(first).cx, 4) << kind.button;
    // Opaque: the colours, shown without alpha bytes so that nothing blends them.
    EXPECT_EQ(TopLeft(first), 0x000A141Eu) << kind.button;

    // Translucent pixels keep their alpha (a control may keep its own, premultiplied copy).
    Picture translucent = MakePicture(5, 2, MakeRgb(40, 50, 60));
    translucent.pixels[0] = 0x80141E28u;
    ShowPictureInControl(control, translucent);
    HBITMAP second = Shown(control, kind.button);
    ASSERT_NE(second, nullptr) << kind.button;
    EXPECT_EQ(BitmapSize(second).cx, 5) << kind.button;
    EXPECT_EQ(TopLeft(second) >> 24, 0x80u) << kind.button;
    EXPECT_EQ(GetObjectType(first), 0u) << "the replaced bitmap leaked " << kind.button;

    ReleaseShownPicture(control);
    EXPECT_EQ(Shown(control, kind.button), nullptr) << kind.button;
    EXPECT_EQ(GetObjectType(second), 0u) << "the released bitmap leaked " << kind.button;
    ReleaseShownPicture(control);  // nothing shown: nothing to free
  }
  DestroyWindow(parent);
}

}  // namespace
}  // namespace snapdeck::win32

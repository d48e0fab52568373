#include "app/clipboard_win32.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/codec.h"
#include "platform/win32/handles_win32.h"
#include "shell/ids.h"
#include "shell/shell_win32.h"

namespace snapdeck::win32 {
namespace {

// SetClipboardData fails unless the clipboard was opened by a window, so without the
// main window a hidden message-only window stands in.
HWND ClipboardOwner() {
  if (HWND main = WindowByNumber(id::kMainWindow)) return main;
  static HWND standIn = nullptr;
  if (standIn == nullptr || !IsWindow(standIn)) {
    standIn = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  return standIn;
}

// Another program may hold the clipboard for a moment.
ClipboardSession OpenTheClipboard() {
  HWND owner = ClipboardOwner();
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (ClipboardSession session(owner); session) return session;
    Sleep(10);
  }
  return {};
}

UniqueGlobal GlobalCopy(const void* data, std::size_t size) {
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!memory) return memory;
  {
    const GlobalLockScope target(memory.get());
    if (target.get() == nullptr) return {};
    std::memcpy(target.get(), data, size);
  }
  return memory;
}

// The clipboard owns the memory once it has accepted it.
bool HandToClipboard(UINT format, UniqueGlobal& memory) {
  if (SetClipboardData(format, memory.get()) == nullptr) return false;
  memory.release();
  return true;
}

// A packed 24-bit bottom-up DIB: header, then rows padded to four bytes.
std::vector<std::uint8_t> PackedDib(const Picture& p) {
  const std::size_t rowBytes = (static_cast<std::size_t>(p.width) * 3 + 3) & ~std::size_t{3};
  const std::size_t imageBytes = rowBytes * static_cast<std::size_t>(p.height);
  std::vector<std::uint8_t> dib(sizeof(BITMAPINFOHEADER) + imageBytes, 0);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = p.width;
  header.biHeight = p.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(imageBytes);
  std::memcpy(dib.data(), &header, sizeof(header));
  std::uint8_t* rows = dib.data() + sizeof(header);
  for (int y = 0; y < p.height; ++y) {
    std::uint8_t* out = rows + rowBytes * static_cast<std::size_t>(p.height - 1 - y);
    for (int x = 0; x < p.width; ++x) {
      const std::uint32_t px = p.at(x, y);
      out[3 * x + 0] = static_cast<std::uint8_t>(px & 255);
      out[3 * x + 1] = static_cast<std::uint8_t>((px >> 8) & 255);
      out[3 * x + 2] = static_cast<std::uint8_t>((px >> 16) & 255);
    }
  }
  return dib;
}

}  // namespace

bool ClearClipboard() {
  const ClipboardSession session = OpenTheClipboard();
  return session && EmptyClipboard() != 0;
}

bool PutPictureOnClipboard(const Picture& picture, const std::vector<std::uint8_t>* encodedPng) {
  if (picture.empty() ||
      picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
    return false;
  }
  // Both encodings are made before the clipboard is opened, so it is held only briefly.
  const std::vector<std::uint8_t> dib = PackedDib(picture);
  const std::vector<std::uint8_t> made =
      encodedPng == nullptr ? EncodePng(picture) : std::vector<std::uint8_t>();
  const std::vector<std::uint8_t>& png = encodedPng == nullptr ? made : *encodedPng;
  UniqueGlobal dibMemory = GlobalCopy(dib.data(), dib.size());
  if (!dibMemory) return false;
  const ClipboardSession session = OpenTheClipboard();
  if (!session) return false;
  EmptyClipboard();
  const bool ok = HandToClipboard(CF_DIB, dibMemory);
  static const UINT pngFormat = RegisterClipboardFormatW(L"PNG");
  if (ok && pngFormat != 0 && !png.empty()) {
    if (UniqueGlobal pngMemory = GlobalCopy(png.data(), png.size())) {
      HandToClipboard(pngFormat, pngMemory);
    }
  }
  return ok;
}

bool ReadClipboardPicture(Picture& picture) {
  const ClipboardSession session = OpenTheClipboard();
  if (!session) return false;
  const GlobalLockScope dib(GetClipboardData(CF_DIB));
  if (dib.get() == nullptr) return false;
  DecodeResult decoded = DecodeDib(static_cast<const std::uint8_t*>(dib.get()), dib.size());
  if (!decoded.ok) return false;
  picture = std::move(decoded.picture);
  return true;
}

}  // namespace snapdeck::win32

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
bool OpenTheClipboard() {
  HWND owner = ClipboardOwner();
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

UniqueGlobal GlobalCopy(const void* data, std::size_t size) {
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!memory) return memory;
  void* target = GlobalLock(memory.get());
  if (target == nullptr) return {};
  std::memcpy(target, data, size);
  GlobalUnlock(memory.get());
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
  if (!OpenTheClipboard()) return false;
  const bool ok = EmptyClipboard() != 0;
  CloseClipboard();
  return ok;
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
  if (!dibMemory || !OpenTheClipboard()) return false;
  EmptyClipboard();
  const bool ok = HandToClipboard(CF_DIB, dibMemory);
  static const UINT pngFormat = RegisterClipboardFormatW(L"PNG");
  if (ok && pngFormat != 0 && !png.empty()) {
    if (UniqueGlobal pngMemory = GlobalCopy(png.data(), png.size())) {
      HandToClipboard(pngFormat, pngMemory);
    }
  }
  CloseClipboard();
  return ok;
}

bool ReadClipboardPicture(Picture& picture) {
  if (!OpenTheClipboard()) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_DIB)) {
    const std::size_t size = GlobalSize(data);
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(data));
    if (bytes != nullptr && size >= sizeof(BITMAPINFOHEADER)) {
      BITMAPINFOHEADER header;
      std::memcpy(&header, bytes, sizeof(header));
      // The bitmap decoder reads files, so the DIB gets the file header it lacks.
      std::size_t colours = 0;
      if (header.biBitCount <= 8) {
        colours = header.biClrUsed != 0 ? header.biClrUsed : (std::size_t{1} << header.biBitCount);
      }
      std::size_t masks = 0;
      if (header.biSize == sizeof(BITMAPINFOHEADER) && header.biCompression == BI_BITFIELDS) {
        masks = 12;
      }
      const std::size_t offset = 14 + std::size_t{header.biSize} + colours * 4 + masks;
      if (header.biSize >= sizeof(BITMAPINFOHEADER) && header.biSize <= size && colours <= 256) {
        std::vector<std::uint8_t> file(14 + size, 0);
        file[0] = 'B';
        file[1] = 'M';
        const auto put32 = [&file](std::size_t at, std::uint32_t v) {
          for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        put32(2, static_cast<std::uint32_t>(file.size()));
        put32(10, static_cast<std::uint32_t>(offset));
        std::memcpy(file.data() + 14, bytes, size);
        DecodeResult decoded = DecodeBmp(file.data(), file.size());
        if (decoded.ok) {
          picture = std::move(decoded.picture);
          ok = true;
        }
      }
    }
    if (bytes != nullptr) GlobalUnlock(data);
  }
  CloseClipboard();
  return ok;
}

}  // namespace snapdeck::win32

#include "app/clipboard_win32.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/codec.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck::win32 {
namespace {

// The clipboard is promised the picture and renders it only when a program asks
// (WM_RENDERFORMAT), so a shot does not wait for megabytes to be copied into the
// system's clipboard. The promise lives on the owner window's thread, the UI thread.
struct Promise {
  Picture picture;
  std::vector<std::uint8_t> png;  // empty: made when asked for
};

Promise& Promised() {
  static Promise promise;
  return promise;
}

UINT PngFormat() {
  static const UINT format = RegisterClipboardFormatW(L"PNG");
  return format;
}

void Render(UINT format);

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_RENDERFORMAT:
      Render(static_cast<UINT>(wParam));
      return 0;
    case WM_RENDERALLFORMATS:
      // The owner goes: what is still promised is handed over now.
      if (OpenClipboard(window)) {
        if (GetClipboardOwner() == window) {
          Render(CF_DIB);
          Render(PngFormat());
        }
        CloseClipboard();
      }
      return 0;
    case WM_DESTROYCLIPBOARD:
      Promised() = {};
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// A hidden message-only window of its own owns the clipboard, so its rendering does not
// depend on which program window is open.
HWND& OwnerSlot() {
  static HWND owner = nullptr;
  return owner;
}

HWND ClipboardOwner() {
  HWND& owner = OwnerSlot();
  if (owner == nullptr || !IsWindow(owner)) {
    static const ATOM kind = [] {
      WNDCLASSW c{};
      c.lpfnWndProc = OwnerProc;
      c.hInstance = GetModuleHandleW(nullptr);
      c.lpszClassName = L"SnapdeckClipboardOwner";
      return RegisterClassW(&c);
    }();
    if (kind == 0) return nullptr;
    owner = CreateWindowExW(0, MAKEINTATOM(kind), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  }
  return owner;
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

void Render(UINT format) {
  const Promise& p = Promised();
  if (p.picture.empty()) return;
  UniqueGlobal memory;
  if (format == CF_DIB) {
    const std::vector<std::uint8_t> dib = PackedDib(p.picture);
    memory = GlobalCopy(dib.data(), dib.size());
  } else if (format == PngFormat() && format != 0) {
    const std::vector<std::uint8_t> made = p.png.empty() ? EncodePng(p.picture) : std::vector<std::uint8_t>();
    const std::vector<std::uint8_t>& png = p.png.empty() ? made : p.png;
    if (!png.empty()) memory = GlobalCopy(png.data(), png.size());
  }
  if (memory) HandToClipboard(format, memory);
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
  const ClipboardSession session = OpenTheClipboard();
  if (!session) return false;
  // Emptying tells the owner to drop the earlier promise, so the new one comes after.
  EmptyClipboard();
  Promise& p = Promised();
  p.picture = picture;
  // Never an earlier picture's PNG beside this one.
  if (encodedPng != nullptr) {
    p.png = *encodedPng;
  } else {
    p.png.clear();
  }
  // A promise has no handle to answer with: success shows in the last error alone.
  SetLastError(ERROR_SUCCESS);
  const bool ok = SetClipboardData(CF_DIB, nullptr) != nullptr || GetLastError() == ERROR_SUCCESS;
  if (ok && PngFormat() != 0) SetClipboardData(PngFormat(), nullptr);
  if (!ok) p = {};
  return ok;
}

void HandOverClipboard() {
  // Destroying the owner makes it render what it still promises.
  HWND& owner = OwnerSlot();
  if (owner != nullptr && IsWindow(owner)) DestroyWindow(owner);
  owner = nullptr;
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

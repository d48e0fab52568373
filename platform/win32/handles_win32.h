// RAII owners for Win32 handles: one small move-only owner per kind of handle, each
// releasing its handle the way that kind needs.
#pragma once

#include <windows.h>

#include "platform/win32/system_libraries_win32.h"

#include <utility>

namespace snapdeck::win32 {

// Owns one handle of a kind described by Traits: Traits::valid(h) tells a handle that
// needs releasing, Traits::close(h) releases it.
template <typename T, typename Traits>
class UniqueOwner {
 public:
  UniqueOwner() = default;
  explicit UniqueOwner(T h) : h_(h) {}
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  UniqueOwner(UniqueOwner&& o) noexcept : h_(std::exchange(o.h_, T{})) {}
  UniqueOwner& operator=(UniqueOwner&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, T{}));
    return *this;
  }
  ~UniqueOwner() { reset(); }
  T get() const { return h_; }
  explicit operator bool() const { return Traits::valid(h_); }
  T release() { return std::exchange(h_, T{}); }
  void reset(T h = T{}) {
    if (Traits::valid(h_)) Traits::close(h_);
    h_ = h;
  }

 private:
  T h_{};
};

struct KernelTraits {
  static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { CloseHandle(h); }
};
struct FindTraits {
  static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { FindClose(h); }
};
template <typename T>
struct GdiTraits {
  static bool valid(T h) { return h != nullptr; }
  static void close(T h) { DeleteObject(h); }
};
struct IconTraits {
  static bool valid(HICON h) { return h != nullptr; }
  static void close(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
  static bool valid(HMENU h) { return h != nullptr; }
  static void close(HMENU h) { DestroyMenu(h); }
};
struct AccelTraits {
  static bool valid(HACCEL h) { return h != nullptr; }
  static void close(HACCEL h) { DestroyAcceleratorTable(h); }
};
struct GlobalTraits {
  static bool valid(HGLOBAL h) { return h != nullptr; }
  static void close(HGLOBAL h) { GlobalFree(h); }
};
struct InternetTraits {
  static bool valid(HINTERNET h) { return h != nullptr; }
  // Only a loaded WinINet makes these handles.
  static void close(HINTERNET h) { WinInet()->InternetCloseHandle(h); }
};
struct DcTraits {
  static bool valid(HDC h) { return h != nullptr; }
  static void close(HDC h) { DeleteDC(h); }
};
// Only a loaded bcrypt makes CNG handles.
struct CngAlgorithmTraits {
  static bool valid(BCRYPT_ALG_HANDLE h) { return h != nullptr; }
  static void close(BCRYPT_ALG_HANDLE h) { Bcrypt()->BCryptCloseAlgorithmProvider(h, 0); }
};
struct CngKeyTraits {
  static bool valid(BCRYPT_KEY_HANDLE h) { return h != nullptr; }
  static void close(BCRYPT_KEY_HANDLE h) { Bcrypt()->BCryptDestroyKey(h); }
};
struct CngHashTraits {
  static bool valid(BCRYPT_HASH_HANDLE h) { return h != nullptr; }
  static void close(BCRYPT_HASH_HANDLE h) { Bcrypt()->BCryptDestroyHash(h); }
};

// A kernel HANDLE (process, pipe, file, mutex, event, thread).
using UniqueHandle = UniqueOwner<HANDLE, KernelTraits>;
// A FindFirstFile search.
using UniqueFind = UniqueOwner<HANDLE, FindTraits>;
// A GDI object (brush, bitmap, font, region).
template <typename T>
using UniqueGdi = UniqueOwner<T, GdiTraits<T>>;
// An icon loaded or created by the program (not a shared system icon).
using UniqueIcon = UniqueOwner<HICON, IconTraits>;
// A menu that no window owns (a window destroys its own menu bar).
using UniqueMenu = UniqueOwner<HMENU, MenuTraits>;
// A keyboard shortcut table.
using UniqueAccel = UniqueOwner<HACCEL, AccelTraits>;
// A memory device context made with CreateCompatibleDC.
using UniqueDc = UniqueOwner<HDC, DcTraits>;
// Movable global memory, until the clipboard accepts it.
using UniqueGlobal = UniqueOwner<HGLOBAL, GlobalTraits>;
// A WinINet handle (root session, connection or request).
using UniqueInternet = UniqueOwner<HINTERNET, InternetTraits>;
// A CNG algorithm provider, key and hash.
using UniqueCngAlgorithm = UniqueOwner<BCRYPT_ALG_HANDLE, CngAlgorithmTraits>;
using UniqueCngKey = UniqueOwner<BCRYPT_KEY_HANDLE, CngKeyTraits>;
using UniqueCngHash = UniqueOwner<BCRYPT_HASH_HANDLE, CngHashTraits>;

// The screen's device context, held only as long as it is needed.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace snapdeck::win32

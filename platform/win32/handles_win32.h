// RAII owners for Win32 handles: one small move-only owner per kind of handle, each
// releasing its handle the way that kind needs.
#pragma once

// Before windows.h, which would otherwise bring the old Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <wininet.h>

#include "platform/win32/system_libraries_win32.h"

#include <cstddef>
#include <utility>
#include <vector>

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
template <typename T>
struct CoTaskMemTraits {
  static bool valid(T p) { return p != nullptr; }
  static void close(T p) { CoTaskMemFree(p); }
};
template <typename T>
struct LocalTraits {
  static bool valid(T p) { return p != nullptr; }
  static void close(T p) { LocalFree(p); }
};

struct SocketTraits {
  static bool valid(SOCKET h) { return h != 0 && h != INVALID_SOCKET; }
  static void close(SOCKET h) { closesocket(h); }
};
struct AddrInfoTraits {
  static bool valid(ADDRINFOW* p) { return p != nullptr; }
  static void close(ADDRINFOW* p) { FreeAddrInfoW(p); }
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
// A Winsock socket.
using UniqueSocket = UniqueOwner<SOCKET, SocketTraits>;
// The addresses a name resolved to (GetAddrInfoW).
using UniqueAddrInfo = UniqueOwner<ADDRINFOW*, AddrInfoTraits>;
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
// Memory the shell or COM hands over to be freed with CoTaskMemFree (an item list).
template <typename T>
using UniqueCoTaskMem = UniqueOwner<T, CoTaskMemTraits<T>>;
// Memory a system call allocated with LocalAlloc for its caller (CommandLineToArgvW).
template <typename T>
using UniqueLocal = UniqueOwner<T, LocalTraits<T>>;
// A CNG algorithm provider, key and hash.
using UniqueCngAlgorithm = UniqueOwner<BCRYPT_ALG_HANDLE, CngAlgorithmTraits>;
using UniqueCngKey = UniqueOwner<BCRYPT_KEY_HANDLE, CngKeyTraits>;
using UniqueCngHash = UniqueOwner<BCRYPT_HASH_HANDLE, CngHashTraits>;

// Closes a file now and says whether that worked: for a file just written, the close is
// the last place a write error shows.
inline bool CloseReportingErrors(UniqueHandle& file) { return CloseHandle(file.release()) != 0; }

// A window's device context (the screen's without a window), held only as long as it
// is needed.
class WindowDc {
 public:
  explicit WindowDc(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};
using ScreenDc = WindowDc;

// An object selected into a device context; the one it replaced is selected again when
// the scope ends, so the context never ends its life holding ours.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// The clipboard, open for one owner window until the session ends. Another program may
// hold it: an unopened session is false.
class ClipboardSession {
 public:
  ClipboardSession() = default;
  explicit ClipboardSession(HWND owner) : open_(OpenClipboard(owner) != 0) {}
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  ClipboardSession(ClipboardSession&& o) noexcept : open_(std::exchange(o.open_, false)) {}
  ClipboardSession& operator=(ClipboardSession&& o) noexcept {
    if (this != &o) {
      if (open_) CloseClipboard();
      open_ = std::exchange(o.open_, false);
    }
    return *this;
  }
  ~ClipboardSession() {
    if (open_) CloseClipboard();
  }
  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

// Movable global memory locked for reading or writing; null when it could not be
// locked. Unlocked when the scope ends.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL memory)
      : memory_(memory), bytes_(memory != nullptr ? GlobalLock(memory) : nullptr) {}
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  ~GlobalLockScope() {
    if (bytes_ != nullptr) GlobalUnlock(memory_);
  }
  void* get() const { return bytes_; }
  std::size_t size() const { return bytes_ != nullptr ? GlobalSize(memory_) : 0; }

 private:
  HGLOBAL memory_;
  void* bytes_;
};

// The attribute list of a process start (STARTUPINFOEX), deleted with its memory.
class AttributeList {
 public:
  explicit AttributeList(DWORD count) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, count, 0, &size);
    if (size == 0) return;
    buffer_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
    if (InitializeProcThreadAttributeList(list, count, 0, &size)) list_ = list;
  }
  AttributeList(const AttributeList&) = delete;
  AttributeList& operator=(const AttributeList&) = delete;
  ~AttributeList() {
    if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
  }
  // nullptr when the list could not be made.
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::vector<unsigned char> buffer_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace snapdeck::win32

// RAII owners for Win32 handles.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

#include <utility>

namespace snapdeck::win32 {

// Owns a kernel HANDLE (process, pipe, file, mutex, event, thread).
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  ~UniqueHandle() { reset(); }
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(h_, nullptr); }
  void reset(HANDLE h = nullptr) {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

// Owns a search handle of FindFirstFile.
class UniqueFindHandle {
 public:
  explicit UniqueFindHandle(HANDLE h) : h_(h) {}
  UniqueFindHandle(const UniqueFindHandle&) = delete;
  UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;
  ~UniqueFindHandle() {
    if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
  }
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

// Owns a GDI object (brush, bitmap, font, region).
template <typename T>
class UniqueGdi {
 public:
  UniqueGdi() = default;
  explicit UniqueGdi(T h) : h_(h) {}
  UniqueGdi(const UniqueGdi&) = delete;
  UniqueGdi& operator=(const UniqueGdi&) = delete;
  UniqueGdi(UniqueGdi&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  UniqueGdi& operator=(UniqueGdi&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  ~UniqueGdi() { reset(); }
  T get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  T release() { return std::exchange(h_, nullptr); }
  void reset(T h = nullptr) {
    if (h_) DeleteObject(h_);
    h_ = h;
  }

 private:
  T h_ = nullptr;
};

// Owns a WinINet handle (root session, connection or request).
class UniqueInternet {
 public:
  UniqueInternet() = default;
  explicit UniqueInternet(HINTERNET h) : h_(h) {}
  UniqueInternet(const UniqueInternet&) = delete;
  UniqueInternet& operator=(const UniqueInternet&) = delete;
  UniqueInternet(UniqueInternet&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  UniqueInternet& operator=(UniqueInternet&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  ~UniqueInternet() { reset(); }
  HINTERNET get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void reset(HINTERNET h = nullptr) {
    if (h_ != nullptr) InternetCloseHandle(h_);
    h_ = h;
  }

 private:
  HINTERNET h_ = nullptr;
};

}  // namespace snapdeck::win32

#include "platform/win32/socket_win32.h"

#include <algorithm>
#include <string>

#include "platform/win32/handles_win32.h"
// After winsock2.h, which handles_win32.h brings.
#include <mstcpip.h>

namespace snapdeck {

namespace {

using win32::UniqueAddrInfo;
using win32::UniqueSocket;

// Winsock is started once for the process and left running until it ends.
bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

// Waits until the socket can be read (or written); false on a timeout or an error.
bool WaitReady(SOCKET s, bool forWriting, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(s, &failed);
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (timeoutMs < 0) limit = timeval{0, 0};
  const int n =
      select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, &failed, &limit);
  return n > 0 && FD_ISSET(s, &set) && !FD_ISSET(s, &failed);
}

class Win32Connection : public Connection {
 public:
  explicit Win32Connection(UniqueSocket s) : s_(std::move(s)) {}

  bool sendAll(const std::uint8_t* data, std::size_t n, int timeoutMs) override {
    std::size_t sent = 0;
    while (sent < n) {
      if (!WaitReady(s_.get(), true, timeoutMs)) return false;
      const int chunk = static_cast<int>(std::min<std::size_t>(n - sent, 1 << 20));
      const int k = send(s_.get(), reinterpret_cast<const char*>(data + sent), chunk, 0);
      if (k == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) continue;
      if (k <= 0) return false;
      sent += static_cast<std::size_t>(k);
    }
    return true;
  }

  std::ptrdiff_t receive(std::uint8_t* buffer, std::size_t n, int timeoutMs) override {
    // What is waiting is taken at once; the wait comes only when nothing is, which
    // halves the calls of a long transfer (each costs a round trip to Wine's server).
    for (;;) {
      const int want = static_cast<int>(std::min<std::size_t>(n, 1 << 20));
      const int k = recv(s_.get(), reinterpret_cast<char*>(buffer), want, 0);
      if (k == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
        if (!WaitReady(s_.get(), false, timeoutMs)) return -1;
        continue;
      }
      return k < 0 ? -1 : static_cast<std::ptrdiff_t>(k);
    }
  }

 private:
  UniqueSocket s_;
};

bool IsLoopback(const sockaddr* address) {
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
  }
  if (address->sa_family == AF_INET6) {
    return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr) != 0;
  }
  return false;
}

// One connection attempt to one address; null when refused or not made within timeoutMs.
std::unique_ptr<Connection> ConnectTo(const sockaddr* address, int size, int timeoutMs) {
  UniqueSocket s(socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP));
  if (!s) return nullptr;
  // Not inherited by the device tool's processes.
  SetHandleInformation(reinterpret_cast<HANDLE>(s.get()), HANDLE_FLAG_INHERIT, 0);
  if (IsLoopback(address)) {
    // Windows tries a refused connection again for about two seconds; on the loopback
    // address a refusal is final. Older systems ignore the request.
    TCP_INITIAL_RTO_PARAMETERS rto{TCP_INITIAL_RTO_UNSPECIFIED_RTT,
                                   TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS};
    DWORD returned = 0;
    WSAIoctl(s.get(), SIO_TCP_INITIAL_RTO, &rto, sizeof rto, nullptr, 0, &returned, nullptr,
             nullptr);
  }
  u_long nonBlocking = 1;
  if (ioctlsocket(s.get(), FIONBIO, &nonBlocking) != 0) return nullptr;
  if (connect(s.get(), address, size) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitReady(s.get(), true, timeoutMs)) {
      return nullptr;
    }
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
        error != 0) {
      return nullptr;
    }
  }
  return std::make_unique<Win32Connection>(std::move(s));
}

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                      out.data(), n);
  return out;
}

class Win32SocketPort : public SocketPort {
 public:
  std::unique_ptr<Connection> connectLoopback(std::uint16_t port, int timeoutMs) override {
    if (!WinsockStarted()) return nullptr;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ConnectTo(reinterpret_cast<const sockaddr*>(&address), sizeof address, timeoutMs);
  }

  std::unique_ptr<Connection> connectHost(const std::string& host, std::uint16_t port,
                                          int timeoutMs) override {
    if (!WinsockStarted()) return nullptr;
    const std::wstring name = Widen(host);
    if (name.empty() || name.find(L'\0') != std::wstring::npos) return nullptr;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(name.c_str(), std::to_wstring(port).c_str(), &hints, &found) != 0) {
      return nullptr;
    }
    const UniqueAddrInfo addresses(found);
    // Every address shares the one time limit.
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    for (const ADDRINFOW* a = addresses.get(); a != nullptr; a = a->ai_next) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) break;
      if (auto c = ConnectTo(a->ai_addr, static_cast<int>(a->ai_addrlen),
                             static_cast<int>(deadline - now))) {
        return c;
      }
    }
    return nullptr;
  }
};

}  // namespace

std::unique_ptr<SocketPort> MakeWin32SocketPort() { return std::make_unique<Win32SocketPort>(); }

}  // namespace snapdeck

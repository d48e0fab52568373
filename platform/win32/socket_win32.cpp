#include "platform/win32/socket_win32.h"

#include <algorithm>

#include "platform/win32/handles_win32.h"
// After winsock2.h, which handles_win32.h brings.
#include <mstcpip.h>

namespace snapdeck {

namespace {

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

class Win32SocketPort : public SocketPort {
 public:
  std::unique_ptr<Connection> connectLoopback(std::uint16_t port, int timeoutMs) override {
    if (!WinsockStarted()) return nullptr;
    UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s) return nullptr;
    // Not inherited by the device tool's processes.
    SetHandleInformation(reinterpret_cast<HANDLE>(s.get()), HANDLE_FLAG_INHERIT, 0);
    // Windows tries a refused connection again for about two seconds; on the loopback
    // address a refusal is final. Older systems ignore the request.
    TCP_INITIAL_RTO_PARAMETERS rto{TCP_INITIAL_RTO_UNSPECIFIED_RTT,
                                   TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS};
    DWORD returned = 0;
    WSAIoctl(s.get(), SIO_TCP_INITIAL_RTO, &rto, sizeof rto, nullptr, 0, &returned, nullptr,
             nullptr);
    u_long nonBlocking = 1;
    if (ioctlsocket(s.get(), FIONBIO, &nonBlocking) != 0) return nullptr;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitReady(s.get(), true, timeoutMs)) {
        return nullptr;
      }
      int error = 0;
      int length = sizeof error;
      if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) !=
              0 ||
          error != 0) {
        return nullptr;
      }
    }
    return std::make_unique<Win32Connection>(std::move(s));
  }
};

}  // namespace

std::unique_ptr<SocketPort> MakeWin32SocketPort() { return std::make_unique<Win32SocketPort>(); }

}  // namespace snapdeck

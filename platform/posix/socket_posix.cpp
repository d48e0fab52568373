#include "platform/posix/socket_posix.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace snapdeck {

namespace {

// Waits for the socket to become ready for events; false on a timeout or an error.
bool WaitReady(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int n = poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

class PosixConnection : public Connection {
 public:
  explicit PosixConnection(int fd) : fd_(fd) {}
  ~PosixConnection() override { close(fd_); }
  PosixConnection(const PosixConnection&) = delete;
  PosixConnection& operator=(const PosixConnection&) = delete;

  bool sendAll(const std::uint8_t* data, std::size_t n, int timeoutMs) override {
    std::size_t sent = 0;
    while (sent < n) {
      if (!WaitReady(fd_, POLLOUT, timeoutMs)) return false;
      const ssize_t k = send(fd_, data + sent, n - sent, MSG_NOSIGNAL);
      if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (k <= 0) return false;
      sent += static_cast<std::size_t>(k);
    }
    return true;
  }

  std::ptrdiff_t receive(std::uint8_t* buffer, std::size_t n, int timeoutMs) override {
    for (;;) {
      if (!WaitReady(fd_, POLLIN, timeoutMs)) return -1;
      const ssize_t k = recv(fd_, buffer, n, 0);
      if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      return k < 0 ? -1 : static_cast<std::ptrdiff_t>(k);
    }
  }

 private:
  int fd_;
};

// One connection attempt to one address; null when refused or not made within timeoutMs.
std::unique_ptr<Connection> ConnectTo(const sockaddr* address, socklen_t size, int timeoutMs) {
  const int fd = socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return nullptr;
  auto connection = std::make_unique<PosixConnection>(fd);
  if (connect(fd, address, size) != 0) {
    if (errno != EINPROGRESS || !WaitReady(fd, POLLOUT, timeoutMs)) return nullptr;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return nullptr;
  }
  return connection;
}

class PosixSocketPort : public SocketPort {
 public:
  std::unique_ptr<Connection> connectLoopback(std::uint16_t port, int timeoutMs) override {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ConnectTo(reinterpret_cast<const sockaddr*>(&address), sizeof address, timeoutMs);
  }

  std::unique_ptr<Connection> connectHost(const std::string& host, std::uint16_t port,
                                          int timeoutMs) override {
    if (host.empty() || host.find('\0') != std::string::npos) return nullptr;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
      return nullptr;
    }
    // Every address shares the one time limit.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::unique_ptr<Connection> connection;
    for (const addrinfo* a = found; a != nullptr && !connection; a = a->ai_next) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) break;
      connection = ConnectTo(a->ai_addr, a->ai_addrlen, static_cast<int>(left));
    }
    freeaddrinfo(found);
    return connection;
  }
};

}  // namespace

std::unique_ptr<SocketPort> MakePosixSocketPort() { return std::make_unique<PosixSocketPort>(); }

}  // namespace snapdeck

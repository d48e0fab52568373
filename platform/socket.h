// A TCP connection to a service (the adb server): on the loopback address, or on a host
// by name or address. Windows implements it with Winsock, POSIX with BSD sockets, tests
// with scripted bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace snapdeck {

// One open connection; destroying it closes the socket.
class Connection {
 public:
  virtual ~Connection() = default;
  // Sends all n bytes; false when the peer is gone or timeoutMs ran out first.
  virtual bool sendAll(const std::uint8_t* data, std::size_t n, int timeoutMs) = 0;
  // Waits at most timeoutMs for bytes. Returns how many arrived (1..n), 0 when the peer
  // closed the connection, -1 on a timeout or an error.
  virtual std::ptrdiff_t receive(std::uint8_t* buffer, std::size_t n, int timeoutMs) = 0;
};

class SocketPort {
 public:
  virtual ~SocketPort() = default;
  // Connects to 127.0.0.1:port. Null when refused or not connected within timeoutMs; a
  // refusal on the loopback address comes at once.
  virtual std::unique_ptr<Connection> connectLoopback(std::uint16_t port, int timeoutMs) = 0;
  // Connects to host (a name, an IPv4 or an IPv6 address without brackets; UTF-8) and
  // port, trying the addresses the name resolves to in turn. Null when none connects
  // within timeoutMs, which bounds the connecting, not the name's lookup.
  virtual std::unique_ptr<Connection> connectHost(const std::string& host, std::uint16_t port,
                                                  int timeoutMs) = 0;
};

}  // namespace snapdeck

// One GET into memory, reported as a short result text: "#ok#" or "" on success, a
// text beginning with "*" on failure. The transport is a port so the rules here (the
// phases, the result texts, the buffer bounds) run under test without a network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace snapdeck {

// One HTTP exchange in the order the fetch drives it. Destroying it closes every
// handle it opened, innermost first.
class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  virtual bool open() = 0;
  virtual bool connect(const std::u16string& host, int port, const std::u16string& userName,
                       const std::u16string& password) = 0;
  virtual bool openRequest(const std::u16string& path, const std::u16string& referrer,
                           bool secure) = 0;
  virtual bool send() = 0;
  // Header texts as the server sent them; empty when not answered.
  virtual std::u16string statusCode() = 0;
  virtual std::u16string contentLength() = 0;
  // False when the read failed; got = 0 at the end of the body.
  virtual bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) = 0;
  // May be called from another thread at any time: the call blocked now, and every
  // later one, fails soon. A read that waits for a slow server cannot be stopped
  // any other way.
  virtual void abort() = 0;
};

// Larger announced bodies are refused before anything is allocated.
inline constexpr std::int64_t kMaxFetchBytes = 64ll << 20;

struct FetchedBody {
  // Content-Length + 2 bytes, zero after the received ones, so the body also reads as
  // a zero-terminated UTF-16 text.
  std::vector<std::uint8_t> buffer;
  std::int64_t length = 0;    // Content-Length
  std::int64_t received = 0;  // bytes that arrived, never more than length
};

// (maximum, value): (100, 10) ... (100, 60) through the phases, (100, 0) before the
// body, then (Content-Length, received) after every read that brought data.
using FetchProgress = std::function<void(int maximum, int value)>;

// body is written only for a 200 answer with a usable non-zero Content-Length. Bytes
// beyond Content-Length are not read: the buffer is never overrun and the surplus is
// dropped.
std::u16string HttpFetch(HttpTransport& net, std::u16string_view url,
                         const std::u16string& referrer, const std::u16string& userName,
                         const std::u16string& password, FetchedBody& body, int chunkChars,
                         const FetchProgress& progress);

// 0 for a text not beginning with "*"; otherwise the number after the first ";"
// (401 for "*unauthorized*; 401"), or -1 when there is none or it is 0.
int FetchStatus(std::u16string_view resultText);

}  // namespace snapdeck

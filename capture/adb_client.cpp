#include "capture/adb_client.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "platform/text.h"

namespace snapdeck {

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr std::size_t kChunk = 64 * 1024;
// A PNG of a picture within the budget is never much larger than its raw pixels.
constexpr std::uint64_t kMaxPngBytes = kMaxPicturePixels * 4 + (std::uint64_t{1} << 20);
// After a listing the server closes the connection; we do not wait long for that.
constexpr int kCloseWaitMs = 500;

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Four hex digits of a length; -1 when they are not.
int HexLength(const std::uint8_t* p) {
  int v = 0;
  for (int k = 0; k < 4; ++k) {
    const int d = HexDigitValue(p[k]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

AdbStatus Fail(std::string message) { return {AdbOutcome::Failed, std::move(message)}; }
AdbStatus Done() { return {AdbOutcome::Ok, {}}; }

// A picture that did not come: the failure's message is its reason.
DecodeResult NoPicture(const AdbStatus& status) {
  DecodeResult r;
  r.error = status.message;
  return r;
}

// Reads against a deadline. With an idle limit the deadline moves on with every byte
// that comes, so a long but steady transfer is not cut off.
class Reader {
 public:
  Reader(Connection& c, Clock& clock, std::uint64_t deadline, int idleMs = 0)
      : c_(c), clock_(clock), deadline_(deadline), idleMs_(idleMs) {}
  static Reader Idle(Connection& c, Clock& clock, int idleMs) {
    idleMs = std::max(idleMs, 1);
    return Reader(c, clock, clock.nowMs() + static_cast<std::uint64_t>(idleMs), idleMs);
  }

  int remainingMs() const {
    const std::uint64_t now = clock_.nowMs();
    return now >= deadline_ ? 0
                            : static_cast<int>(std::min<std::uint64_t>(deadline_ - now, 1 << 30));
  }
  // Up to n bytes as they come; 0 when closed, -1 on a timeout or an error.
  std::ptrdiff_t some(std::uint8_t* buffer, std::size_t n) {
    if (pendingAt_ < pending_.size()) {
      const std::size_t k = std::min(n, pending_.size() - pendingAt_);
      std::memcpy(buffer, pending_.data() + pendingAt_, k);
      pendingAt_ += k;
      return static_cast<std::ptrdiff_t>(k);
    }
    const int left = remainingMs();
    if (left <= 0) {
      timedOut_ = true;
      return -1;
    }
    const std::ptrdiff_t k = c_.receive(buffer, n, left);
    if (k > 0 && idleMs_ > 0) deadline_ = clock_.nowMs() + static_cast<std::uint64_t>(idleMs_);
    if (k < 0 && remainingMs() <= 0) timedOut_ = true;
    return k;
  }
  // Exactly n bytes; returns how many came before the end or the deadline.
  std::size_t exact(std::uint8_t* buffer, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
      const std::ptrdiff_t k = some(buffer + got, n - got);
      if (k <= 0) break;
      got += static_cast<std::size_t>(k);
    }
    return got;
  }
  bool send(const std::string& bytes) {
    const int left = remainingMs();
    return left > 0 &&
           c_.sendAll(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), left);
  }
  // Bytes read too far: the next reads give them first.
  void pushBack(const std::uint8_t* data, std::size_t n) {
    pending_.erase(0, pendingAt_);
    pendingAt_ = 0;
    pending_.insert(0, reinterpret_cast<const char*>(data), n);
  }
  bool timedOut() const { return timedOut_; }
  // Why the last read gave nothing: the time ran out, or else what the caller names.
  AdbStatus failure(std::string otherwise = "connection broken") const {
    AdbStatus status =
        Fail(timedOut_ ? TimedOutText(idleMs_ > 0 ? idleMs_ : 0) : std::move(otherwise));
    status.timedOut = timedOut_;
    return status;
  }

 private:
  Connection& c_;
  Clock& clock_;
  std::uint64_t deadline_;
  int idleMs_;
  std::string pending_;
  std::size_t pendingAt_ = 0;
  bool timedOut_ = false;
};

// Four hex digits of length, then that many bytes of text.
AdbStatus ReadCounted(Reader& r, std::string& text, const char* cutShort) {
  std::uint8_t digits[4];
  if (r.exact(digits, 4) < 4) return Fail("answer cut short");
  const int length = HexLength(digits);
  if (length < 0) return Fail("bad length in answer");
  text.assign(static_cast<std::size_t>(length), '\0');
  if (r.exact(reinterpret_cast<std::uint8_t*>(text.data()), text.size()) < text.size()) {
    return Fail(cutShort);
  }
  return Done();
}

// OKAY, or FAIL with its message.
AdbStatus ReadStatus(Reader& r) {
  std::uint8_t word[4];
  const std::size_t got = r.exact(word, 4);
  if (got == 0) return r.failure("connection closed");
  if (got < 4) return Fail("answer cut short");
  if (std::equal(word, word + 4, "OKAY")) return Done();
  if (!std::equal(word, word + 4, "FAIL")) return Fail("unexpected answer");
  std::string message;
  const AdbStatus read = ReadCounted(r, message, "answer cut short");
  return read.ok() ? Fail(message) : read;
}

AdbStatus Request(Reader& r, std::string_view service,
                  const std::function<void()>& whileWaiting = {}) {
  const std::string request = HostRequest(service);
  if (request.empty()) return Fail("request too long");
  if (!r.send(request)) return Fail("request not sent");
  if (whileWaiting) whileWaiting();
  return ReadStatus(r);
}

}  // namespace

namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// An integer as adb reads its numbers: leading white space, a sign, base 16 after 0x and
// base 10 otherwise, nothing after the digits. Nothing when it is not one or not within
// lo..hi.
std::optional<long> AdbInteger(std::u16string_view text, long lo, long hi) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  const bool hex =
      i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X');
  bool negative = false;
  if (hex) {
    i += 2;
  } else if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  const int base = hex ? 16 : 10;
  const std::size_t first = i;
  long value = 0;
  for (; i < text.size(); ++i) {
    const int d = HexDigitValue(text[i]);
    if (d < 0 || d >= base) return std::nullopt;
    // Anything this large is out of every range asked for.
    if (value <= 0xFFFFFF) value = value * base + d;
  }
  if (i == first) return std::nullopt;
  if (negative) value = -value;
  if (value < lo || value > hi) return std::nullopt;
  return value;
}

// tcp:PORT or tcp:HOST:PORT (an IPv6 address in brackets), as adb's socket specs; the
// reason when it is not one.
std::optional<AdbServerAddress> TcpSpec(std::u16string_view spec) {
  constexpr std::u16string_view kTcp = u"tcp:";
  if (spec.substr(0, kTcp.size()) != kTcp) return std::nullopt;
  spec.remove_prefix(kTcp.size());
  if (const auto port = AdbInteger(spec, 1, 65535)) {
    return AdbServerAddress(static_cast<std::uint16_t>(*port));
  }
  std::u16string_view host;
  std::u16string_view port;
  const std::size_t colon = spec.find(u':');
  if (colon == std::u16string_view::npos) return std::nullopt;  // a host without its port
  if (spec.front() == u'[') {
    const std::size_t close = spec.find(u']');
    if (close == std::u16string_view::npos || close + 1 >= spec.size() || spec[close + 1] != u':') {
      return std::nullopt;
    }
    host = spec.substr(1, close - 1);
    port = spec.substr(close + 2);
  } else if (spec.find(u':', colon + 1) == std::u16string_view::npos) {
    host = spec.substr(0, colon);
    port = spec.substr(colon + 1);
  } else {
    return std::nullopt;  // an IPv6 address without brackets has no port
  }
  const auto number = AdbInteger(port, 1, 65535);
  if (host.empty() || !number || host.find(u'\0') != std::u16string_view::npos) {
    return std::nullopt;
  }
  return AdbServerAddress(Utf16ToUtf8(host), static_cast<std::uint16_t>(*number));
}

constexpr char16_t kLeftOut[] = u": phones are left out this time.";

}  // namespace

AdbServerSetting AdbServerFromEnvironment(std::u16string_view serverSocket,
                                          std::u16string_view serverAddress,
                                          std::u16string_view serverPort) {
  AdbServerSetting setting;
  if (!serverSocket.empty()) {
    if (const auto address = TcpSpec(serverSocket)) {
      setting.address = *address;
    } else {
      setting.variable = u"ADB_SERVER_SOCKET";
      setting.problem = std::u16string(u"Not tcp:PORT or tcp:HOST:PORT") + kLeftOut;
    }
    return setting;
  }
  long port = kAdbDefaultPort;
  if (!serverPort.empty()) {
    const auto number = AdbInteger(serverPort, 1, 65535);
    if (!number) {
      setting.variable = u"ANDROID_ADB_SERVER_PORT";
      setting.problem = std::u16string(u"Not a port from 1 to 65535") + kLeftOut;
      return setting;
    }
    port = *number;
  }
  if (serverAddress.empty()) {
    setting.address = AdbServerAddress(static_cast<std::uint16_t>(port));
    return setting;
  }
  // adb joins the two into tcp:HOST:PORT and reads that, so a host is what fits there.
  if (const auto address = TcpSpec(u"tcp:" + std::u16string(serverAddress) + u":" +
                                   Utf8ToUtf16(std::to_string(port)))) {
    setting.address = *address;
  } else {
    setting.variable = u"ANDROID_ADB_SERVER_ADDRESS";
    setting.problem = std::u16string(u"Not a host name or address") + kLeftOut;
  }
  return setting;
}

bool IsLocalAdbServer(const AdbServerAddress& address) {
  const std::string& h = address.host;
  if (h.empty() || h == "::1") return true;
  std::string lower = h;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "localhost") return true;
  // 127.0.0.0/8 as four decimal numbers.
  if (lower.rfind("127.", 0) != 0) return false;
  int parts = 0;
  std::size_t i = 0;
  while (i <= lower.size()) {
    std::size_t end = lower.find('.', i);
    if (end == std::string::npos) end = lower.size();
    const std::string part = lower.substr(i, end - i);
    if (part.empty() || part.size() > 3 ||
        part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255) {
      return false;
    }
    ++parts;
    i = end + 1;
  }
  return parts == 4;
}

std::vector<PhoneEntry> ParseDeviceList(std::string_view text) {
  std::vector<PhoneEntry> phones;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    std::size_t k = 0;
    while (k < line.size() && !IsBlank(line[k])) ++k;
    PhoneEntry e;
    e.serial = std::string(line.substr(0, k));
    while (k < line.size() && IsBlank(line[k])) ++k;
    std::string_view rest = line.substr(k);
    // The one state of two words; what follows it explains the missing udev rule.
    constexpr std::string_view kNoPermissions = "no permissions";
    if (rest.substr(0, kNoPermissions.size()) == kNoPermissions) {
      e.state = std::string(kNoPermissions);
      rest.remove_prefix(kNoPermissions.size());
    } else {
      std::size_t s = 0;
      while (s < rest.size() && !IsBlank(rest[s])) ++s;
      e.state = std::string(rest.substr(0, s));
      rest.remove_prefix(s);
    }
    if (e.serial.empty() || e.state.empty()) continue;
    while (!rest.empty()) {
      while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
      std::size_t w = 0;
      while (w < rest.size() && !IsBlank(rest[w])) ++w;
      const std::string_view word = rest.substr(0, w);
      rest.remove_prefix(w);
      if (word.substr(0, 6) == "model:") e.model = std::string(word.substr(6));
      if (word.substr(0, 13) == "transport_id:") e.transportId = std::string(word.substr(13));
    }
    phones.push_back(std::move(e));
  }
  return phones;
}

std::string TransportService(const PhoneEntry& phone) {
  if (!phone.transportId.empty()) return "host:transport-id:" + phone.transportId;
  return "host:transport:" + phone.serial;
}

std::string TimedOutText(int idleMs) {
  if (idleMs <= 0) return "timed out";
  char text[40];
  if (idleMs % 1000 == 0) {
    std::snprintf(text, sizeof text, "timed out after %d s", idleMs / 1000);
  } else {
    std::snprintf(text, sizeof text, "timed out after %.1f s", idleMs / 1000.0);
  }
  return text;
}

std::string HostRequest(std::string_view service) {
  if (service.size() > 0xFFFF) return {};
  char length[5];
  std::snprintf(length, sizeof length, "%04x", static_cast<unsigned>(service.size()));
  return std::string(length) + std::string(service);
}

std::unique_ptr<Connection> AdbClient::connect(int timeoutMs) {
  return server_.host.empty() ? sockets_.connectLoopback(server_.port, timeoutMs)
                              : sockets_.connectHost(server_.host, server_.port, timeoutMs);
}

bool AdbClient::serverAnswers(int timeoutMs) { return connect(timeoutMs) != nullptr; }

AdbStatus AdbClient::listPhones(std::vector<PhoneEntry>& phones, int timeoutMs) {
  phones.clear();
  const std::uint64_t deadline =
      clock_.nowMs() + static_cast<std::uint64_t>(std::max(timeoutMs, 1));
  std::unique_ptr<Connection> c = connect(std::min(timeoutMs, kConnectTimeoutMs));
  if (!c) return {AdbOutcome::NoServer, "no adb server"};
  Reader r(*c, clock_, deadline);
  AdbStatus status = Request(r, "host:devices-l");
  if (!status.ok()) return status;
  std::string text;
  status = ReadCounted(r, text, "device list cut short");
  if (!status.ok()) return status;
  // More bytes than announced: the length lied, so the list may be cut anywhere.
  std::uint8_t extra = 0;
  if (c->receive(&extra, 1, std::min(r.remainingMs(), kCloseWaitMs)) > 0) {
    return Fail("device list longer than announced");
  }
  phones = ParseDeviceList(text);
  return status;
}

std::unique_ptr<Connection> AdbClient::openService(const PhoneEntry& phone,
                                                   std::string_view service, int idleMs,
                                                   AdbStatus& status,
                                                   const std::function<void()>& whileWaiting) {
  idleMs = std::max(idleMs, 1);
  std::unique_ptr<Connection> c = connect(std::min(idleMs, kConnectTimeoutMs));
  if (!c) {
    status = {AdbOutcome::NoServer, "no adb server"};
    return nullptr;
  }
  Reader r = Reader::Idle(*c, clock_, idleMs);
  status = Request(r, TransportService(phone));
  if (!status.ok()) return nullptr;
  status = Request(r, service, whileWaiting);
  if (!status.ok()) {
    status.serviceRefused = true;
    return nullptr;
  }
  return c;
}

std::string AdbClient::features(const PhoneEntry& phone, int idleMs) {
  const std::string key = TransportService(phone);
  {
    const std::lock_guard<std::mutex> lock(cacheLock_);
    const auto known = featuresOf_.find(key);
    if (known != featuresOf_.end()) return known->second;
  }
  std::unique_ptr<Connection> c =
      connect(std::min(std::max(idleMs, 1), kConnectTimeoutMs));
  if (!c) return {};
  Reader r = Reader::Idle(*c, clock_, idleMs);
  const std::string service = phone.transportId.empty()
                                  ? "host-serial:" + phone.serial + ":features"
                                  : "host-transport-id:" + phone.transportId + ":features";
  std::string list;
  if (!Request(r, service).ok() || !ReadCounted(r, list, "").ok()) return {};
  const std::lock_guard<std::mutex> lock(cacheLock_);
  featuresOf_[key] = list;
  return list;
}

namespace {

// Reads of at most this much: few calls (each a round trip to Wine's server) without
// asking for more than a socket buffer holds.
constexpr std::size_t kMostAtOnce = std::size_t{4} << 20;
// Text a phone writes before its picture is a warning or an error, never this long.
constexpr std::size_t kMaxLeadingText = 64 * 1024;
constexpr std::size_t kMaxCommandText = 1 << 20;
constexpr std::size_t kMaxDisplays = 8;

bool HasNul(const std::uint8_t* p, std::size_t n) { return std::find(p, p + n, 0) != p + n; }

// True when the bytes may begin a line of text. A picture's first four bytes never can:
// its width is below 2^24, so the fourth is zero.
bool LooksLikeText(const std::uint8_t* p, std::size_t n) {
  return std::all_of(p, p + n, [](std::uint8_t b) {
    return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\r' || b == '\n';
  });
}

// A phone's text as one line for a message: control characters become blanks, runs of
// blanks one, and it is cut to a readable length.
std::string ReasonOfText(std::string_view text) {
  std::string out;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else if (c != ' ' || (!out.empty() && out.back() != ' ')) {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  constexpr std::size_t kMost = 300;
  if (out.size() > kMost) out = out.substr(0, kMost) + "...";
  return out;
}

// screencap's warning when it has to choose among displays.
bool SaysSeveralDisplays(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("display") != std::string::npos;
}

// HOST:PORT, a phone reached over the network, where a raw picture may be too slow.
bool IsNetworkSerial(std::string_view serial) {
  const std::size_t colon = serial.rfind(':');
  return colon != std::string_view::npos && colon > 0 && colon + 1 < serial.size() &&
         std::all_of(serial.begin() + static_cast<std::ptrdiff_t>(colon) + 1, serial.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool HasFeature(std::string_view list, std::string_view feature) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    if (list.substr(0, comma) == feature) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

enum class TextEnd { Picture, Ended, Broken };

// Lines of text before the picture (under exec: the phone's standard error comes first);
// the binary bytes after them stay in the reader.
TextEnd ReadLeadingText(Reader& r, std::string& text) {
  std::string buffer;
  std::size_t line = 0;
  std::uint8_t chunk[4096];
  for (;;) {
    for (;;) {
      if (buffer.size() - line >= 4 &&
          !LooksLikeText(reinterpret_cast<const std::uint8_t*>(buffer.data()) + line, 4)) {
        r.pushBack(reinterpret_cast<const std::uint8_t*>(buffer.data()) + line,
                   buffer.size() - line);
        text = buffer.substr(0, line);
        return TextEnd::Picture;
      }
      const std::size_t newline = buffer.find('\n', line);
      if (newline == std::string::npos) break;
      line = newline + 1;
    }
    if (buffer.size() > kMaxLeadingText) {
      text = "unexpected text before the picture";
      return TextEnd::Broken;
    }
    const std::ptrdiff_t k = r.some(chunk, sizeof chunk);
    if (k <= 0) {
      text = buffer;
      return k == 0 ? TextEnd::Ended : TextEnd::Broken;
    }
    buffer.append(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(k));
  }
}

// Reads into buffer until the stream ends, capacity bytes came (then one byte more
// means the header lied) or no byte comes for the idle limit.
AdbStatus ReceiveAll(Reader& r, std::uint8_t* buffer, std::size_t capacity, std::size_t& have,
                     const std::function<void(std::size_t)>& received) {
  for (;;) {
    if (have == capacity) {
      std::uint8_t extra = 0;
      const std::ptrdiff_t k = r.some(&extra, 1);
      if (k > 0) return Fail("screenshot longer than its header says");
      return k < 0 ? r.failure() : Done();
    }
    const std::ptrdiff_t k = r.some(buffer + have, std::min(capacity - have, kMostAtOnce));
    if (k == 0) return Done();
    if (k < 0) return r.failure();
    have += static_cast<std::size_t>(k);
    received(have);
  }
}

// What one request for a picture gave.
struct Attempt {
  DecodeResult result;
  bool fallBack = false;  // the phone cannot give the picture this way: try another
  bool timedOut = false;
  std::string text;  // what the phone wrote before the picture
  // The text says the phone has several displays; the picture was not read.
  bool severalDisplays = false;
};

Attempt Failed(const AdbStatus& status) {
  Attempt a;
  a.result = NoPicture(status);
  a.timedOut = status.timedOut;
  return a;
}

// Text and nothing after it: the phone's own reason.
Attempt TextOnly(Reader& r, TextEnd end, const std::string& text) {
  if (end == TextEnd::Broken) return Failed(r.failure(text));
  const std::string reason = ReasonOfText(text);
  return Failed(Fail(reason.empty() ? "no screenshot" : reason));
}

// The raw picture, after any leading text. room, taken before the header came, becomes
// the picture's pixels when it is the four-byte kind; it is sized anew when the phone's
// screen changed. roomNeeded is what the next shot should take: the four-byte kind's
// size, else 0. With stopAtDisplays a warning about several displays ends the read.
Attempt ReadRaw(Reader& r, const TransferProgress& progress, std::vector<std::uint32_t>& room,
                std::size_t& roomNeeded, bool stopAtDisplays) {
  Attempt a;
  DecodeResult& result = a.result;
  std::uint8_t head[kScreencapHeaderBytes];
  std::size_t got = r.exact(head, kScreencapHeaderBytes);
  if (got > 0 && LooksLikeText(head, std::min<std::size_t>(got, 4))) {
    r.pushBack(head, got);
    const TextEnd end = ReadLeadingText(r, a.text);
    if (end != TextEnd::Picture) return TextOnly(r, end, a.text);
    if (stopAtDisplays && SaysSeveralDisplays(a.text)) {
      a.severalDisplays = true;
      return a;
    }
    got = r.exact(head, kScreencapHeaderBytes);
  }
  if (got == 0) {
    if (r.timedOut()) return Failed(r.failure());
    a.fallBack = true;
    result.error = "no raw screenshot";
    return a;
  }
  if (got < kScreencapHeaderBytes) {
    return Failed(r.failure("screenshot cut short"));
  }
  const RawHeader header = ParseRawHeader(RawKind::Screencap, head, got);
  if (header.unsupported) {
    a.fallBack = true;
    result.error = header.error;
    return a;
  }
  if (!header.ok()) return Failed(Fail(header.error));
  // Within the budget the picture's room is taken at once, so the bytes land where they
  // stay.
  const std::size_t bytes = header.rowBytes();
  const std::uint64_t announced = kScreencapHeaderBytes + std::uint64_t{bytes};
  const auto received = [&](std::size_t have) {
    if (progress) {
      progress(std::min<std::uint64_t>(kScreencapHeaderBytes + have, announced), announced);
    }
  };
  received(0);
  std::size_t have = 0;
  if (header.bytesPerPixel != 4) {
    std::vector<std::uint8_t> data(bytes + kColourSpaceBytes);
    const AdbStatus rows = ReceiveAll(r, data.data(), data.size(), have, received);
    if (!rows.ok()) return Failed(rows);
    a.result = DecodeRawRows(header, data.data(), have);
    return a;
  }
  // Four bytes a pixel, the common case: the rows arrive straight in the picture's
  // pixels and are turned into ours in place.
  roomNeeded = RawRoomWords(header);
  room.resize(roomNeeded);
  const AdbStatus rows =
      ReceiveAll(r, reinterpret_cast<std::uint8_t*>(room.data()), roomNeeded * 4, have, received);
  if (!rows.ok()) return Failed(rows);
  a.result = DecodeRawRowsInPlace(header, std::move(room), have);
  return a;
}

// Everything until the stream ends, at most limit bytes.
AdbStatus ReadToEnd(Reader& r, std::vector<std::uint8_t>& data, std::size_t limit) {
  for (;;) {
    if (data.size() > limit) return Fail("screenshot too large");
    const std::size_t have = data.size();
    data.resize(have + kChunk);
    const std::ptrdiff_t k = r.some(data.data() + have, kChunk);
    data.resize(have + static_cast<std::size_t>(std::max<std::ptrdiff_t>(k, 0)));
    if (k == 0) return Done();
    if (k < 0) return r.failure();
  }
}

// A PNG file, found behind any text the phone wrote first.
DecodeResult DecodePngAfterText(const std::uint8_t* data, std::size_t size) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const std::uint8_t* start = std::search(data, data + size, kSignature, kSignature + 8);
  DecodeResult result;
  if (size == 0) {
    result.error = "no screenshot";
  } else if (start != data + size) {
    return DecodePng(start, static_cast<std::size_t>(data + size - start));
  } else if (!HasNul(data, size)) {
    result.error = ReasonOfText(std::string_view(reinterpret_cast<const char*>(data), size));
  } else {
    return DecodePng(data, size);
  }
  return result;
}

Attempt ReadPng(Reader& r) {
  std::vector<std::uint8_t> data;
  const AdbStatus read = ReadToEnd(r, data, kMaxPngBytes);
  if (!read.ok()) return Failed(read);
  Attempt a;
  a.result = DecodePngAfterText(data.data(), data.size());
  return a;
}

}  // namespace

std::vector<std::string> ParseDisplayIds(std::string_view text) {
  std::vector<std::string> ids;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    constexpr std::string_view kDisplay = "Display ";
    if (line.substr(0, kDisplay.size()) != kDisplay) continue;
    line.remove_prefix(kDisplay.size());
    std::size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    // A display id is a 64-bit number; anything else is not one.
    if (digits == 0 || digits > 20) continue;
    const std::string id(line.substr(0, digits));
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  return ids;
}

// A command's output: standard output and error apart with shell_v2, else mixed in out.
struct AdbClient::Command {
  std::string out, err;
  int exitStatus = -1;  // when shell_v2 tells it
  AdbStatus status;     // failed: the command could not be run or read
};

AdbClient::Command AdbClient::run(const PhoneEntry& phone, const std::string& command,
                                  bool shellV2, int idleMs, std::size_t limit) {
  Command result;
  std::unique_ptr<Connection> c =
      openService(phone, (shellV2 ? "shell,v2,raw:" : "exec:") + command, idleMs, result.status);
  if (!c) return result;
  Reader r = Reader::Idle(*c, clock_, idleMs);
  if (!shellV2) {
    std::vector<std::uint8_t> data;
    result.status = ReadToEnd(r, data, limit);
    result.out.assign(data.begin(), data.end());
    return result;
  }
  // Packets of one id byte, a little-endian length and the data: 1 standard output,
  // 2 standard error, 3 the exit status.
  for (;;) {
    std::uint8_t head[5];
    const std::size_t got = r.exact(head, 5);
    if (got == 0 && !r.timedOut()) return result;
    if (got < 5) {
      result.status = r.failure("output cut short");
      return result;
    }
    const std::uint32_t length = Le32(head + 1);
    if (length > limit || result.out.size() + result.err.size() + length > limit) {
      result.status = Fail("output too long");
      return result;
    }
    std::string data(length, '\0');
    if (r.exact(reinterpret_cast<std::uint8_t*>(data.data()), length) < length) {
      result.status = r.failure("output cut short");
      return result;
    }
    if (head[0] == 1) result.out += data;
    if (head[0] == 2) result.err += data;
    if (head[0] == 3 && length >= 1) result.exitStatus = static_cast<unsigned char>(data[0]);
  }
}

DisplayShot AdbClient::shotOfDisplay(const PhoneEntry& phone, const std::string& id, bool shellV2,
                                     int idleMs, const TransferProgress& progress) {
  DisplayShot shot;
  const std::string command = "screencap -d " + id;
  if (shellV2) {
    for (const bool png : {false, true}) {
      const Command c = run(phone, png ? command + " -p" : command, true, idleMs, kMaxPngBytes);
      if (!c.status.ok()) {
        shot.result = NoPicture(c.status);
      } else if (c.exitStatus > 0) {
        const std::string reason = ReasonOfText(c.err);
        shot.result.error =
            reason.empty() ? "screencap ended with status " + std::to_string(c.exitStatus) : reason;
      } else {
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.out.data());
        if (png) {
          shot.result = DecodePngAfterText(data, c.out.size());
          break;
        }
        const RawHeader header = ParseRawHeader(RawKind::Screencap, data, c.out.size());
        // Only a format we do not convert is a reason for the PNG.
        if (header.unsupported) continue;
        const std::size_t at = std::min(header.headerBytes, c.out.size());
        shot.result = DecodeRawRows(header, data + at, c.out.size() - at);
      }
      break;
    }
    return shot;
  }
  AdbStatus status;
  if (std::unique_ptr<Connection> c = openService(phone, "exec:" + command, idleMs, status)) {
    Reader r = Reader::Idle(*c, clock_, idleMs);
    std::vector<std::uint32_t> room;
    std::size_t roomNeeded = 0;
    Attempt a = ReadRaw(r, progress, room, roomNeeded, false);
    shot.result = std::move(a.result);
    if (!a.fallBack) return shot;
  } else if (!status.serviceRefused) {
    shot.result = NoPicture(status);
    return shot;
  }
  if (std::unique_ptr<Connection> c = openService(phone, "exec:" + command + " -p", idleMs, status)) {
    Reader r = Reader::Idle(*c, clock_, idleMs);
    shot.result = ReadPng(r).result;
  } else {
    shot.result = NoPicture(status);
  }
  return shot;
}

DecodeResult AdbClient::oldPhoneShot(const PhoneEntry& phone, int idleMs) {
  AdbStatus status;
  if (std::unique_ptr<Connection> c = openService(phone, "framebuffer:", idleMs, status)) {
    Reader r = Reader::Idle(*c, clock_, idleMs);
    std::vector<std::uint8_t> data;
    const AdbStatus read = ReadToEnd(r, data, kMaxPngBytes + kFramebufferHeaderMax);
    if (!read.ok()) return NoPicture(read);
    // A phone without a framebuffer device closes at once: its shell may still help.
    if (!data.empty()) return DecodeFramebuffer(data.data(), data.size());
  } else if (!status.serviceRefused) {
    return NoPicture(status);
  }
  std::unique_ptr<Connection> c = openService(phone, "shell:screencap -p", idleMs, status);
  if (!c) return NoPicture(status);
  Reader r = Reader::Idle(*c, clock_, idleMs);
  std::vector<std::uint8_t> data;
  const AdbStatus read = ReadToEnd(r, data, kMaxPngBytes);
  if (!read.ok()) return NoPicture(read);
  // Before Android 7 the shell's terminal turns every LF into CR LF: turned back, the PNG
  // is whole again.
  std::size_t out = 0;
  for (std::size_t k = 0; k < data.size(); ++k) {
    if (data[k] == '\r' && k + 1 < data.size() && data[k + 1] == '\n') continue;
    data[out++] = data[k];
  }
  return DecodePngAfterText(data.data(), out);
}

std::vector<DisplayShot> AdbClient::screenshots(const PhoneEntry& phone, int idleMs,
                                                const TransferProgress& progress) {
  const std::string key = TransportService(phone);
  AdbStatus status;
  std::vector<std::uint32_t> room;
  const auto takeRoom = [&] {
    std::size_t known = 0;
    {
      const std::lock_guard<std::mutex> lock(cacheLock_);
      const auto it = roomOf_.find(key);
      if (it != roomOf_.end()) known = it->second;
    }
    // Touched outside the lock: ten megabytes take a while.
    room.assign(known, 0);
  };
  // Not a braced list: its elements are copied, and a picture is megabytes.
  const auto single = [](DecodeResult r) {
    std::vector<DisplayShot> one(1);
    one.front().result = std::move(r);
    return one;
  };
  Attempt raw;
  bool rawTried = false;
  for (bool stopAtDisplays : {true, false}) {
    std::unique_ptr<Connection> c = openService(phone, "exec:screencap", idleMs, status, takeRoom);
    if (!c && !stopAtDisplays) return single(NoPicture(status));
    if (!c) break;
    rawTried = true;
    Reader r = Reader::Idle(*c, clock_, idleMs);
    std::size_t roomNeeded = 0;
    raw = ReadRaw(r, progress, room, roomNeeded, stopAtDisplays);
    // Only a picture that came whole says what the next one needs; a header can lie.
    if (raw.result.ok) {
      const std::lock_guard<std::mutex> lock(cacheLock_);
      if (roomNeeded > 0) {
        roomOf_[key] = roomNeeded;
      } else {
        roomOf_.erase(key);
      }
    }
    if (!raw.severalDisplays) break;
    c.reset();
    // Each display by its id; when the phone does not list them, its first display.
    const bool shellV2 = HasFeature(features(phone, idleMs), "shell_v2");
    const Command list =
        run(phone, "dumpsys SurfaceFlinger --display-id", shellV2, idleMs, kMaxCommandText);
    std::vector<std::string> ids = ParseDisplayIds(list.out);
    if (ids.size() < 2) continue;
    // A phone has a handful of displays; a list beyond that is not believed further.
    if (ids.size() > kMaxDisplays) ids.resize(kMaxDisplays);
    std::vector<DisplayShot> shots;
    for (std::size_t k = 0; k < ids.size(); ++k) {
      shots.push_back(shotOfDisplay(phone, ids[k], shellV2, idleMs, progress));
      shots.back().display = static_cast<int>(k) + 1;
    }
    return shots;
  }
  if (rawTried) {
    // Over the network a raw picture may be too slow where its PNG, a fraction of its
    // size, is not.
    const bool tryPng = raw.fallBack || (raw.timedOut && IsNetworkSerial(phone.serial));
    if (!tryPng) return single(std::move(raw.result));
  } else if (!status.serviceRefused) {
    return single(NoPicture(status));
  }
  std::unique_ptr<Connection> c = openService(phone, "exec:screencap -p", idleMs, status);
  if (c) {
    Reader r = Reader::Idle(*c, clock_, idleMs);
    Attempt png = ReadPng(r);
    // A network phone's PNG that fails says no more than its raw picture's timeout.
    if (!png.result.ok && raw.timedOut) return single(std::move(raw.result));
    return single(std::move(png.result));
  }
  if (!status.serviceRefused) return single(NoPicture(status));
  // No exec: at all: a phone before Android 5.
  return single(oldPhoneShot(phone, idleMs));
}

DecodeResult AdbClient::screenshot(const std::string& serial, int idleMs,
                                   const TransferProgress& progress) {
  PhoneEntry phone;
  phone.serial = serial;
  std::vector<DisplayShot> shots = screenshots(phone, idleMs, progress);
  return shots.empty() ? DecodeResult{} : std::move(shots.front().result);
}

}  // namespace snapdeck

#include "capture/adb_client.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "platform/text.h"

namespace snapdeck {

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kRawHeader = 12;
constexpr std::size_t kRawHeaderWithColourSpace = 16;
// Room for the colour space word the longer header puts before the rows.
constexpr std::size_t kSpace = kRawHeaderWithColourSpace - kRawHeader;
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

AdbStatus Fail(std::string message) { return {AdbOutcome::Failed, std::move(message), false}; }

class Reader {
 public:
  Reader(Connection& c, Clock& clock, std::uint64_t deadline)
      : c_(c), clock_(clock), deadline_(deadline) {}

  int remainingMs() const {
    const std::uint64_t now = clock_.nowMs();
    return now >= deadline_ ? 0
                            : static_cast<int>(std::min<std::uint64_t>(deadline_ - now, 1 << 30));
  }
  // Up to n bytes as they come; 0 when closed, -1 on a timeout or an error.
  std::ptrdiff_t some(std::uint8_t* buffer, std::size_t n) {
    const int left = remainingMs();
    if (left <= 0) return -1;
    return c_.receive(buffer, n, left);
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

 private:
  Connection& c_;
  Clock& clock_;
  std::uint64_t deadline_;
};

// OKAY, or FAIL with its message.
AdbStatus ReadStatus(Reader& r) {
  std::uint8_t word[4];
  const std::size_t got = r.exact(word, 4);
  if (got == 0) return Fail("connection closed");
  if (got < 4) return Fail("answer cut short");
  if (std::equal(word, word + 4, "OKAY")) return {AdbOutcome::Ok, {}, false};
  if (!std::equal(word, word + 4, "FAIL")) return Fail("unexpected answer");
  std::uint8_t digits[4];
  if (r.exact(digits, 4) < 4) return Fail("answer cut short");
  const int length = HexLength(digits);
  if (length < 0) return Fail("bad length in answer");
  std::string message(static_cast<std::size_t>(length), '\0');
  if (r.exact(reinterpret_cast<std::uint8_t*>(message.data()), message.size()) < message.size()) {
    return Fail("answer cut short");
  }
  return Fail(message);
}

AdbStatus Request(Reader& r, std::string_view service,
                  const std::function<void()>& whileWaiting = {}) {
  const std::string request = HostRequest(service);
  if (request.empty()) return Fail("request too long");
  if (!r.send(request)) return Fail("request not sent");
  if (whileWaiting) whileWaiting();
  return ReadStatus(r);
}

static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

// RGBA bytes as our pixels (0xAARRGGBB), in blocks the compiler vectorises. out may be
// the same memory as in or lie before it: each block is read whole before it is written.
void RgbaToPixels(const std::uint8_t* in, std::uint32_t* out, std::size_t count,
                  std::uint32_t opaque) {
  constexpr std::size_t kBlock = 64;
  // Whole blocks are converted, which vectorises best; the block starts as zeros, so a
  // last, partial block converts only set values, and its tail is never written out.
  std::uint32_t block[kBlock] = {};
  for (std::size_t i = 0; i < count; i += kBlock) {
    const std::size_t n = std::min(kBlock, count - i);
    std::memcpy(block, in + 4 * i, 4 * n);
    for (std::size_t k = 0; k < kBlock; ++k) {
      const std::uint32_t v = block[k];
      block[k] = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16 | opaque;
    }
    std::memcpy(out + i, block, 4 * n);
  }
}

std::uint32_t Expand(std::uint32_t v, int bits) {
  return bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4);
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
    }
    phones.push_back(std::move(e));
  }
  return phones;
}

std::u16string SerialForFileName(std::u16string_view serial) {
  std::u16string out(serial);
  for (char16_t& c : out) {
    const bool keep = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                      (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
    if (!keep) c = u'_';
  }
  return out;
}

std::string HostRequest(std::string_view service) {
  if (service.size() > 0xFFFF) return {};
  char length[5];
  std::snprintf(length, sizeof length, "%04x", static_cast<unsigned>(service.size()));
  return std::string(length) + std::string(service);
}

int ScreencapBytesPerPixel(std::uint32_t format) {
  switch (format) {
    case kScreencapRgba8888:
    case kScreencapRgbx8888:
      return 4;
    case kScreencapRgb888:
      return 3;
    case kScreencapRgb565:
      return 2;
    default:
      return 0;
  }
}

DecodeResult DecodeRawScreencap(const std::uint8_t* data, std::size_t size) {
  DecodeResult r;
  if (size < kRawHeader) {
    r.error = "screenshot cut short";
    return r;
  }
  const std::uint32_t w = Le32(data);
  const std::uint32_t h = Le32(data + 4);
  const std::uint32_t format = Le32(data + 8);
  const int bpp = ScreencapBytesPerPixel(format);
  if (bpp == 0) {
    r.error = "unsupported pixel format " + std::to_string(format);
    return r;
  }
  if (const char* problem = PictureSizeProblem(w, h)) {
    r.error = problem;
    return r;
  }
  const std::uint64_t bytes = std::uint64_t{w} * h * static_cast<std::uint64_t>(bpp);
  std::size_t header = 0;
  if (size == kRawHeader + bytes) {
    header = kRawHeader;
  } else if (size == kRawHeaderWithColourSpace + bytes) {
    header = kRawHeaderWithColourSpace;
  } else {
    r.error = size < kRawHeader + bytes ? "screenshot cut short"
                                        : "screenshot longer than its header says";
    return r;
  }
  Picture& p = r.picture;
  p.width = static_cast<int>(w);
  p.height = static_cast<int>(h);
  p.pixels.resize(std::size_t{w} * h);
  const std::uint8_t* in = data + header;
  // The common case of phones, a loop of its own: millions of pixels per shot.
  if (format == kScreencapRgba8888 || format == kScreencapRgbx8888) {
    RgbaToPixels(in, p.pixels.data(), p.pixels.size(),
                 format == kScreencapRgbx8888 ? 0xFF000000u : 0);
    r.ok = true;
    return r;
  }
  for (std::uint32_t& out : p.pixels) {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    std::uint32_t alpha = 0xFF;
    if (bpp == 2) {
      const std::uint32_t v =
          static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8);
      red = Expand(v >> 11, 5);
      green = Expand((v >> 5) & 63, 6);
      blue = Expand(v & 31, 5);
    } else {
      red = in[0];
      green = in[1];
      blue = in[2];
      if (format == kScreencapRgba8888) alpha = in[3];
    }
    out = (alpha << 24) | (red << 16) | (green << 8) | blue;
    in += bpp;
  }
  r.ok = true;
  return r;
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
  if (!c) return {AdbOutcome::NoServer, "no adb server", false};
  Reader r(*c, clock_, deadline);
  AdbStatus status = Request(r, "host:devices-l");
  if (!status.ok()) return status;
  std::uint8_t digits[4];
  if (r.exact(digits, 4) < 4) return Fail("answer cut short");
  const int length = HexLength(digits);
  if (length < 0) return Fail("bad length in answer");
  std::string text(static_cast<std::size_t>(length), '\0');
  if (r.exact(reinterpret_cast<std::uint8_t*>(text.data()), text.size()) < text.size()) {
    return Fail("device list cut short");
  }
  // More bytes than announced: the length lied, so the list may be cut anywhere.
  std::uint8_t extra = 0;
  if (c->receive(&extra, 1, std::min(r.remainingMs(), kCloseWaitMs)) > 0) {
    return Fail("device list longer than announced");
  }
  phones = ParseDeviceList(text);
  return status;
}

std::unique_ptr<Connection> AdbClient::openService(const std::string& serial,
                                                   std::string_view service,
                                                   std::uint64_t deadlineMs, AdbStatus& status,
                                                   const std::function<void()>& whileWaiting) {
  const std::uint64_t now = clock_.nowMs();
  const int left =
      deadlineMs > now ? static_cast<int>(std::min<std::uint64_t>(deadlineMs - now, 1 << 30)) : 0;
  if (left <= 0) {
    status = Fail("timed out");
    return nullptr;
  }
  std::unique_ptr<Connection> c = connect(std::min(left, kConnectTimeoutMs));
  if (!c) {
    status = {AdbOutcome::NoServer, "no adb server", false};
    return nullptr;
  }
  Reader r(*c, clock_, deadlineMs);
  status = Request(r, "host:transport:" + serial);
  if (!status.ok()) return nullptr;
  status = Request(r, service, whileWaiting);
  if (!status.ok()) {
    status.serviceRefused = true;
    return nullptr;
  }
  return c;
}

namespace {

// Reads of at most this much: few calls (each a round trip to Wine's server) without
// asking for more than a socket buffer holds.
constexpr std::size_t kMostAtOnce = std::size_t{4} << 20;

// Reads into buffer until the stream ends, capacity bytes came (then one byte more
// means the header lied) or the deadline passes. Returns the error, or nullptr.
const char* ReceiveAll(Reader& r, std::uint8_t* buffer, std::size_t capacity, std::size_t& have,
                       const std::function<void(std::size_t)>& received) {
  for (;;) {
    if (have == capacity) {
      std::uint8_t extra = 0;
      const std::ptrdiff_t k = r.some(&extra, 1);
      if (k > 0) return "screenshot longer than its header says";
      return k < 0 ? "screenshot timed out" : nullptr;
    }
    const std::ptrdiff_t k = r.some(buffer + have, std::min(capacity - have, kMostAtOnce));
    if (k == 0) return nullptr;
    if (k < 0) return "screenshot timed out";
    have += static_cast<std::size_t>(k);
    received(have);
  }
}

// The raw picture. ok false with fallBack set when the phone cannot give it this way.
// room, taken before the header came, becomes the picture's pixels when it is the
// four-byte kind; it is sized anew when the phone's screen changed. roomNeeded is what
// the next shot should take: the four-byte kind's size, else 0.
DecodeResult ReadRaw(Reader& r, const TransferProgress& progress, bool& fallBack,
                     std::vector<std::uint32_t>& room, std::size_t& roomNeeded) {
  DecodeResult result;
  std::uint8_t head[kRawHeader];
  const std::size_t got = r.exact(head, kRawHeader);
  if (got == 0) {
    fallBack = true;
    result.error = "no raw screenshot";
    return result;
  }
  if (got < kRawHeader) {
    result.error = "screenshot cut short";
    return result;
  }
  const std::uint32_t w = Le32(head);
  const std::uint32_t h = Le32(head + 4);
  const std::uint32_t format = Le32(head + 8);
  const int bpp = ScreencapBytesPerPixel(format);
  if (bpp == 0) {
    fallBack = true;
    result.error = "unsupported pixel format " + std::to_string(format);
    return result;
  }
  // Before anything is allocated: a header can claim any size. Within the budget the
  // picture's room is taken at once, so the bytes land where they stay.
  if (const char* problem = PictureSizeProblem(w, h)) {
    result.error = problem;
    return result;
  }
  const std::size_t count = std::size_t{w} * h;
  const std::size_t bytes = count * static_cast<std::size_t>(bpp);
  const std::uint64_t announced = kRawHeader + std::uint64_t{bytes};
  const auto received = [&](std::size_t have) {
    if (progress) progress(std::min<std::uint64_t>(kRawHeader + have, announced), announced);
  };
  received(0);
  std::size_t have = 0;
  if (bpp != 4) {
    std::vector<std::uint8_t> data(kRawHeader + bytes + kSpace);
    std::copy(head, head + kRawHeader, data.begin());
    if (const char* error = ReceiveAll(r, data.data() + kRawHeader, bytes + kSpace, have, received)) {
      result.error = error;
      return result;
    }
    return DecodeRawScreencap(data.data(), kRawHeader + have);
  }
  // Four bytes a pixel, the common case: the rows arrive straight in the picture's
  // pixels and are turned into ours in place.
  Picture& p = result.picture;
  roomNeeded = count + kSpace / 4;
  p.pixels = std::move(room);
  p.pixels.resize(roomNeeded);
  if (const char* error = ReceiveAll(r, reinterpret_cast<std::uint8_t*>(p.pixels.data()),
                                     (count + kSpace / 4) * 4, have, received)) {
    result.picture = {};
    result.error = error;
    return result;
  }
  if (have != bytes && have != bytes + kSpace) {
    result.picture = {};
    result.error = have < bytes ? "screenshot cut short" : "screenshot longer than its header says";
    return result;
  }
  const std::size_t skip = (have - bytes) / 4;
  RgbaToPixels(reinterpret_cast<const std::uint8_t*>(p.pixels.data() + skip), p.pixels.data(),
               count, format == kScreencapRgbx8888 ? 0xFF000000u : 0);
  p.pixels.resize(count);
  p.width = static_cast<int>(w);
  p.height = static_cast<int>(h);
  result.ok = true;
  return result;
}

DecodeResult ReadPng(Reader& r) {
  DecodeResult result;
  std::vector<std::uint8_t> data;
  for (;;) {
    if (data.size() > kMaxPngBytes) {
      result.error = "screenshot too large";
      return result;
    }
    const std::size_t have = data.size();
    data.resize(have + kChunk);
    const std::ptrdiff_t k = r.some(data.data() + have, kChunk);
    data.resize(have + static_cast<std::size_t>(std::max<std::ptrdiff_t>(k, 0)));
    if (k == 0) break;
    if (k < 0) {
      result.error = "screenshot timed out";
      return result;
    }
  }
  if (data.empty()) {
    result.error = "no screenshot";
    return result;
  }
  return DecodePng(data.data(), data.size());
}

}  // namespace

DecodeResult AdbClient::screenshot(const std::string& serial, int timeoutMs,
                                   const TransferProgress& progress) {
  const std::uint64_t deadline =
      clock_.nowMs() + static_cast<std::uint64_t>(std::max(timeoutMs, 1));
  DecodeResult result;
  AdbStatus status;
  bool fallBack = false;
  std::vector<std::uint32_t> room;
  const auto takeRoom = [&] {
    const auto known = roomOf_.find(serial);
    if (known != roomOf_.end()) room.assign(known->second, 0);
  };
  if (std::unique_ptr<Connection> c =
          openService(serial, "exec:screencap", deadline, status, takeRoom)) {
    Reader r(*c, clock_, deadline);
    std::size_t roomNeeded = 0;
    result = ReadRaw(r, progress, fallBack, room, roomNeeded);
    // Only a picture that came whole says what the next one needs; a header can lie.
    if (result.ok && roomNeeded > 0) {
      roomOf_[serial] = roomNeeded;
    } else if (result.ok) {
      roomOf_.erase(serial);
    }
    if (!fallBack) return result;
  } else if (!status.serviceRefused) {
    result.error = status.message;
    return result;
  }
  std::unique_ptr<Connection> c = openService(serial, "exec:screencap -p", deadline, status);
  if (!c) {
    result.error = status.message;
    return result;
  }
  Reader r(*c, clock_, deadline);
  return ReadPng(r);
}

}  // namespace snapdeck

// A simulated Android phone for the real adb server: listens on a loopback port and
// speaks the device side of the adb transport protocol, serving raw and PNG screenshots
// of the test picture. Settings come from phonesim.cfg beside the executable (or the file
// after --config) and key=value arguments, which win; see README.md.
#include <arpa/inet.h>
#include <errno.h>
#include <limits.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/codec.h"
#include "test_pattern.h"

namespace {

using devicesim::PatternPixel;

constexpr std::uint32_t kCnxn = 0x4e584e43;
constexpr std::uint32_t kAuth = 0x48545541;
constexpr std::uint32_t kOpen = 0x4e45504f;
constexpr std::uint32_t kOkay = 0x59414b4f;
constexpr std::uint32_t kClse = 0x45534c43;
constexpr std::uint32_t kWrte = 0x45545257;
constexpr std::uint32_t kAuthToken = 1;
constexpr std::uint32_t kAuthSignature = 2;
// Versions from this one on send no checksums.
constexpr std::uint32_t kVersionSkipChecksum = 0x01000001;
// Larger payloads than this are garbage whatever was agreed.
constexpr std::uint32_t kPayloadLimit = 1u << 20;

struct Config {
  int port = 0;
  std::string state = "device";
  int width = 1080;
  int height = 2400;
  std::uint32_t format = 1;
  int headerFields = 4;
  std::uint32_t colorSpace = 1;
  std::string raw = "good";
  std::string png = "good";
  int delayMs = 0;
  std::uint32_t version = 0x01000001;
  std::uint32_t maxPayload = 1u << 20;
  std::string product = "sim";
  std::string model = "Pixel_Sim";
  std::string device = "sim";
  std::string features = "shell_v2,cmd";
  std::string log;
};

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

long ToLong(const std::string& s, long low, long high, long fallback) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 0);  // 0x... for the version
  if (end == s.c_str()) return fallback;
  return std::clamp(v, low, high);
}

void Apply(Config& c, const std::string& key, const std::string& value) {
  if (key == "port") {
    c.port = static_cast<int>(ToLong(value, 0, 65535, 0));
  } else if (key == "state") {
    c.state = value;
  } else if (key == "width") {
    c.width = static_cast<int>(ToLong(value, 1, 65535, 1080));
  } else if (key == "height") {
    c.height = static_cast<int>(ToLong(value, 1, 65535, 2400));
  } else if (key == "format") {
    c.format = static_cast<std::uint32_t>(ToLong(value, 0, 0x7FFFFFFF, 1));
  } else if (key == "header") {
    c.headerFields = ToLong(value, 3, 4, 4) == 3 ? 3 : 4;
  } else if (key == "colorspace") {
    c.colorSpace = static_cast<std::uint32_t>(ToLong(value, 0, 0x7FFFFFFF, 1));
  } else if (key == "raw") {
    c.raw = value;
  } else if (key == "png") {
    c.png = value;
  } else if (key == "screencap.delay") {
    c.delayMs = static_cast<int>(ToLong(value, 0, 1 << 30, 0));
  } else if (key == "version") {
    c.version = static_cast<std::uint32_t>(ToLong(value, 0, 0x7FFFFFFF, 0x01000001));
  } else if (key == "maxpayload") {
    c.maxPayload = static_cast<std::uint32_t>(ToLong(value, 256, kPayloadLimit, kPayloadLimit));
  } else if (key == "product") {
    c.product = value;
  } else if (key == "model") {
    c.model = value;
  } else if (key == "device") {
    c.device = value;
  } else if (key == "features") {
    c.features = value;
  } else if (key == "log") {
    c.log = value;
  } else {
    std::fprintf(stderr, "phonesim: unknown key '%s' ignored\n", key.c_str());
  }
}

void ApplyLine(Config& c, const std::string& raw) {
  const std::string line = Trim(raw);
  if (line.empty() || line[0] == '#') return;
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  Apply(c, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
}

std::string SelfDirectory() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  const std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
  const std::size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? std::string("./") : path.substr(0, cut + 1);
}

void Log(const Config& c, const std::string& line) {
  if (c.log.empty()) return;
  std::ofstream(c.log, std::ios::app) << line << '\n';
}

void Put32(std::string& s, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) s += static_cast<char>((v >> (8 * k)) & 255);
}

int BytesPerPixel(std::uint32_t format) {
  switch (format) {
    case 3: return 3;
    case 4: return 2;
    default: return 4;  // 1, 2 and formats the client should refuse
  }
}

// What screencap writes without -p: header, then the rows top-down, no padding.
std::string RawScreenshot(const Config& c) {
  std::string s;
  Put32(s, static_cast<std::uint32_t>(c.width));
  Put32(s, static_cast<std::uint32_t>(c.height));
  Put32(s, c.format);
  if (c.headerFields == 4) Put32(s, c.colorSpace);
  const std::size_t bpp = static_cast<std::size_t>(BytesPerPixel(c.format));
  const std::size_t header = s.size();
  s.resize(header + bpp * static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height));
  char* out = s.data() + header;
  std::uint8_t rgb[3];
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x, out += bpp) {
      PatternPixel(x, y, c.width, c.height, rgb);
      if (bpp == 2) {
        const unsigned v = ((rgb[0] >> 3u) << 11) | ((rgb[1] >> 2u) << 5) | (rgb[2] >> 3u);
        out[0] = static_cast<char>(v & 255);
        out[1] = static_cast<char>(v >> 8);
        continue;
      }
      out[0] = static_cast<char>(rgb[0]);
      out[1] = static_cast<char>(rgb[1]);
      out[2] = static_cast<char>(rgb[2]);
      // RGBX carries a byte of no meaning: 0, so a reader taking it for alpha shows it.
      if (bpp == 4) out[3] = static_cast<char>(c.format == 2 ? 0 : 255);
    }
  }
  return s;
}

std::string PngScreenshot(const Config& c) {
  snapdeck::Picture p;
  p.width = c.width;
  p.height = c.height;
  p.pixels.resize(static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height));
  std::uint8_t rgb[3];
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      PatternPixel(x, y, c.width, c.height, rgb);
      p.at(x, y) = snapdeck::PixelOf(snapdeck::MakeRgb(rgb[0], rgb[1], rgb[2]));
    }
  }
  const std::vector<std::uint8_t> png = snapdeck::EncodePng(p);
  return std::string(png.begin(), png.end());
}

// The service text without the quotes the adb client puts around later arguments.
std::string Unquoted(std::string service) {
  service.erase(std::remove(service.begin(), service.end(), '\''), service.end());
  while (!service.empty() && (service.back() == '\0' || service.back() == ' ')) service.pop_back();
  return service;
}

struct Stream {
  std::uint32_t remoteId = 0;
  std::string data;
  std::size_t sent = 0;
  std::size_t end = 0;  // bytes to send before the close (less than data for a cut stream)
  bool waitingOkay = false;
  std::chrono::steady_clock::time_point startAt;
  bool started = false;
};

class Connection {
 public:
  Connection(int fd, const Config& c) : fd_(fd), cfg_(c) {}
  ~Connection() { ::close(fd_); }
  int fd() const { return fd_; }

  // Reads what arrived; false when the connection is over.
  bool onReadable() {
    char block[65536];
    const ssize_t n = ::recv(fd_, block, sizeof block, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (n <= 0) return false;
    in_.append(block, static_cast<std::size_t>(n));
    while (in_.size() >= 24) {
      const auto* h = reinterpret_cast<const std::uint8_t*>(in_.data());
      const std::uint32_t cmd = Le32(h), arg0 = Le32(h + 4), arg1 = Le32(h + 8);
      const std::uint32_t length = Le32(h + 12), magic = Le32(h + 20);
      if (magic != (cmd ^ 0xFFFFFFFFu) || length > kPayloadLimit) {
        std::fprintf(stderr, "phonesim: garbage from the server, closing\n");
        return false;
      }
      if (in_.size() < 24 + length) break;
      const std::string payload = in_.substr(24, length);
      in_.erase(0, 24 + length);
      if (!handle(cmd, arg0, arg1, payload)) return false;
    }
    return true;
  }

  // Starts streams whose delay is over; the milliseconds until the next one is due, or -1.
  int tick() {
    int wait = -1;
    const auto now = std::chrono::steady_clock::now();
    for (auto it = streams_.begin(); it != streams_.end();) {
      Stream& s = it->second;
      const std::uint32_t id = it->first;
      ++it;
      if (s.started) continue;
      if (now >= s.startAt) {
        s.started = true;
        pump(id);
      } else {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(s.startAt - now);
        const int left = static_cast<int>(ms.count()) + 1;
        wait = wait < 0 ? left : std::min(wait, left);
      }
    }
    return wait;
  }

  bool failed() const { return failed_; }

 private:
  static std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }

  bool handle(std::uint32_t cmd, std::uint32_t arg0, std::uint32_t arg1, const std::string& payload) {
    switch (cmd) {
      case kCnxn:
        return onConnect(arg0, arg1);
      case kAuth:
        // A signature we cannot check: ask again, so the server ends up offering its
        // public key and lists the phone as unauthorized, as a phone that shows the prompt.
        if (arg0 == kAuthSignature) sendToken();
        return true;
      case kOpen:
        if (!connected_) return true;
        onOpen(arg0, payload);
        return true;
      case kOkay: {
        auto it = streams_.find(arg1);
        if (it != streams_.end() && it->second.waitingOkay) {
          it->second.waitingOkay = false;
          pump(arg1);
        }
        return true;
      }
      case kWrte:
        // Nothing is read from the server's side of a stream; acknowledge and drop it.
        if (streams_.count(arg1)) send(kOkay, arg1, arg0, {});
        return true;
      case kClse:
        streams_.erase(arg1);
        return true;
      default:
        return true;
    }
  }

  bool onConnect(std::uint32_t version, std::uint32_t maxPayload) {
    version_ = std::min(version, cfg_.version);
    payload_ = std::max<std::uint32_t>(256, std::min(maxPayload, cfg_.maxPayload));
    streams_.clear();
    Log(cfg_, "connect version " + Hex(version) + " maxdata " + std::to_string(maxPayload));
    if (cfg_.state == "unauthorized") {
      sendToken();
      return !failed_;
    }
    connected_ = true;
    const std::string banner = "device::ro.product.name=" + cfg_.product +
                               ";ro.product.model=" + cfg_.model +
                               ";ro.product.device=" + cfg_.device + ";features=" + cfg_.features;
    send(kCnxn, cfg_.version, cfg_.maxPayload, banner);
    return !failed_;
  }

  void sendToken() {
    std::string token(20, '\0');
    for (char& b : token) b = static_cast<char>(std::rand() & 255);
    send(kAuth, kAuthToken, 0, token);
  }

  void onOpen(std::uint32_t remoteId, const std::string& payload) {
    const std::string service = Unquoted(payload);
    Log(cfg_, "open " + service);
    const std::uint32_t id = nextId_++;
    std::string mode;
    std::string data;
    if (service == "exec:screencap" || service == "shell:screencap") {
      mode = cfg_.raw;
      if (mode != "refuse") data = RawScreenshot(cfg_);
    } else if (service == "exec:screencap -p" || service == "shell:screencap -p") {
      mode = cfg_.png;
      if (mode != "refuse") data = PngScreenshot(cfg_);
    } else {
      mode = "refuse";
    }
    if (mode == "refuse") {
      send(kClse, 0, remoteId, {});
      return;
    }
    Stream& s = streams_[id];
    s.remoteId = remoteId;
    s.end = mode == "truncated" ? data.size() / 2 : data.size();
    s.data = std::move(data);
    s.startAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(cfg_.delayMs);
    send(kOkay, id, remoteId, {});
  }

  // Sends the next piece of a stream, or closes it when everything is out.
  void pump(std::uint32_t id) {
    auto it = streams_.find(id);
    if (it == streams_.end()) return;
    Stream& s = it->second;
    if (s.sent >= s.end) {
      send(kClse, id, s.remoteId, {});
      streams_.erase(it);
      return;
    }
    const std::size_t n = std::min<std::size_t>(payload_, s.end - s.sent);
    send(kWrte, id, s.remoteId, s.data.substr(s.sent, n));
    s.sent += n;
    s.waitingOkay = true;
  }

  void send(std::uint32_t cmd, std::uint32_t arg0, std::uint32_t arg1, const std::string& payload) {
    std::uint32_t sum = 0;
    if (version_ < kVersionSkipChecksum) {
      for (unsigned char b : payload) sum += b;
    }
    std::string m;
    m.reserve(24 + payload.size());
    for (std::uint32_t v : {cmd, arg0, arg1, static_cast<std::uint32_t>(payload.size()), sum,
                            cmd ^ 0xFFFFFFFFu}) {
      Put32(m, v);
    }
    m += payload;
    const char* p = m.data();
    std::size_t left = m.size();
    while (left > 0 && !failed_) {
      const ssize_t w = ::send(fd_, p, left, MSG_NOSIGNAL);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        failed_ = true;
        break;
      }
      p += w;
      left -= static_cast<std::size_t>(w);
    }
  }

  static std::string Hex(std::uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%08x", v);
    return b;
  }

  int fd_;
  const Config& cfg_;
  std::string in_;
  bool connected_ = false;
  bool failed_ = false;
  std::uint32_t version_ = 0x01000000;
  std::uint32_t payload_ = 4096;
  std::uint32_t nextId_ = 1;
  std::map<std::uint32_t, Stream> streams_;
};

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  Config cfg;
  std::string cfgPath = SelfDirectory() + "phonesim.cfg";
  std::vector<std::string> overrides;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--config" && i + 1 < argc) {
      cfgPath = argv[++i];
    } else if (a.find('=') != std::string::npos) {
      overrides.push_back(a);
    } else {
      std::fprintf(stderr, "usage: phonesim [--config FILE] [key=value ...]\n");
      return 2;
    }
  }
  if (std::ifstream in{cfgPath}) {
    std::string line;
    while (std::getline(in, line)) ApplyLine(cfg, line);
  }
  for (const std::string& o : overrides) ApplyLine(cfg, o);
  if (static_cast<std::uint64_t>(cfg.width) * static_cast<std::uint64_t>(cfg.height) >
      (64ull << 20)) {
    std::fprintf(stderr, "phonesim: %dx%d is more than 64 Mi pixels\n", cfg.width, cfg.height);
    return 2;
  }

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(cfg.port));
  socklen_t len = sizeof addr;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener, 4) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::fprintf(stderr, "phonesim: cannot listen on 127.0.0.1:%d: %s\n", cfg.port,
                 std::strerror(errno));
    return 1;
  }
  // Tests and scripts read the port from this line when they asked for port 0.
  std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(ntohs(addr.sin_port)));
  std::fflush(stdout);

  std::vector<std::unique_ptr<Connection>> connections;
  while (!g_stop) {
    int timeout = -1;
    for (auto& c : connections) {
      const int t = c->tick();
      if (t >= 0) timeout = timeout < 0 ? t : std::min(timeout, t);
    }
    std::vector<pollfd> fds{{listener, POLLIN, 0}};
    for (auto& c : connections) fds.push_back({c->fd(), POLLIN, 0});
    if (::poll(fds.data(), fds.size(), timeout) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) {
      const int fd = ::accept(listener, nullptr, nullptr);
      if (fd >= 0) {
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        connections.push_back(std::make_unique<Connection>(fd, cfg));
      }
    }
    // Connections accepted just now have no poll entry yet.
    for (std::size_t k = 1; k < fds.size(); ++k) {
      Connection& c = *connections[k - 1];
      if ((fds[k].revents & (POLLIN | POLLHUP | POLLERR)) && !c.onReadable()) {
        connections[k - 1].reset();
      } else if (c.failed()) {
        connections[k - 1].reset();
      }
    }
    connections.erase(std::remove(connections.begin(), connections.end(), nullptr),
                      connections.end());
  }
  ::close(listener);
  return 0;
}

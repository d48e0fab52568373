// A simulated Android phone for the real adb server: listens on a loopback port and
// speaks the device side of the adb transport protocol. It serves the services a phone
// takes screenshots through (exec:, shell: in both protocols, framebuffer:), with the
// habits of real phones the settings ask for. Settings come from phonesim.cfg beside the
// executable (or the file after --config) and key=value arguments, which win; see README.md.
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
#include <string>
#include <vector>

#include "phone_commands.h"

namespace {

using devicesim::CommandResult;
using devicesim::Display;
using devicesim::Log;
using devicesim::Phone;
using devicesim::PhoneConfig;
using Clock = std::chrono::steady_clock;

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
constexpr int kMaxDisplays = 8;
// Ids as SurfaceFlinger gives them: the panel's model in the high bits, its port low.
constexpr std::uint64_t kFirstDisplayId = 4619827259835644672ull;
constexpr std::uint64_t kSecondDisplayId = 4619827551948147201ull;

// Display keys wait until every setting is read: a display's size defaults to the main one.
struct DisplayKeys {
  int count = 1;
  std::map<int, std::map<std::string, std::string>> byNumber;  // displayN.field -> value
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

bool ApplyDisplayKey(DisplayKeys& d, const std::string& key, const std::string& value) {
  if (key == "displays") {
    d.count = static_cast<int>(ToLong(value, 1, kMaxDisplays, 1));
    return true;
  }
  const std::size_t dot = key.find('.');
  if (key.rfind("display", 0) != 0 || dot == std::string::npos || dot == 7) return false;
  const std::string number = key.substr(7, dot - 7);
  const std::string field = key.substr(dot + 1);
  if (number.find_first_not_of("0123456789") != std::string::npos) return false;
  if (field != "width" && field != "height" && field != "id") return false;
  const int n = static_cast<int>(ToLong(number, 0, kMaxDisplays + 1, 0));
  if (n < 1 || n > kMaxDisplays) return false;
  d.byNumber[n][field] = value;
  return true;
}

void Apply(PhoneConfig& c, DisplayKeys& d, const std::string& key, const std::string& value) {
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
  } else if (key == "hold") {
    c.hold = value;
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
  } else if (key == "exec") {
    c.exec = value != "no";
  } else if (key == "framebuffer") {
    c.framebuffer = value == "no" ? 0 : static_cast<int>(ToLong(value, 1, 2, 2));
  } else if (key == "terminal") {
    c.crlf = value == "crlf";
  } else if (key == "screencap") {
    c.screencapFailure = value == "good" ? "" : value == "fail" ? "Screen capture failed: -1" : value;
  } else if (key == "screen") {
    c.black = value == "black";
  } else if (key == "rate") {
    c.rate = static_cast<std::uint64_t>(ToLong(value, 0, 1L << 40, 0));
  } else if (!ApplyDisplayKey(d, key, value)) {
    std::fprintf(stderr, "phonesim: unknown key '%s' ignored\n", key.c_str());
  }
}

void ApplyLine(PhoneConfig& c, DisplayKeys& d, const std::string& raw) {
  const std::string line = Trim(raw);
  if (line.empty() || line[0] == '#') return;
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  Apply(c, d, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
}

// The displays once every key is read; false (with a message) for an impossible one.
bool MakeDisplays(PhoneConfig& c, const DisplayKeys& keys) {
  c.displays.clear();
  for (int n = 1; n <= keys.count; ++n) {
    Display d;
    d.id = n == 1 ? kFirstDisplayId : n == 2 ? kSecondDisplayId : kFirstDisplayId + (n - 1);
    d.width = c.width;
    d.height = c.height;
    const auto it = keys.byNumber.find(n);
    if (it != keys.byNumber.end()) {
      for (const auto& [field, value] : it->second) {
        if (field == "width") d.width = static_cast<int>(ToLong(value, 1, 65535, c.width));
        if (field == "height") d.height = static_cast<int>(ToLong(value, 1, 65535, c.height));
        if (field == "id") d.id = std::strtoull(value.c_str(), nullptr, 10);
      }
    }
    if (static_cast<std::uint64_t>(d.width) * static_cast<std::uint64_t>(d.height) > (64ull << 20)) {
      std::fprintf(stderr, "phonesim: %dx%d is more than 64 Mi pixels\n", d.width, d.height);
      return false;
    }
    c.displays.push_back(d);
  }
  // Phones without exec: take their pictures through framebuffer:.
  if (c.framebuffer < 0) c.framebuffer = c.exec ? 0 : 1;
  return true;
}

std::string SelfDirectory() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  const std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
  const std::size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? std::string("./") : path.substr(0, cut + 1);
}

void Put32(std::string& s, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) s += static_cast<char>((v >> (8 * k)) & 255);
}

bool HasFeature(const std::string& features, const std::string& name) {
  return ("," + features + ",").find("," + name + ",") != std::string::npos;
}

std::vector<std::string> SplitAtCommas(const std::string& s) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t comma; (comma = s.find(',', from)) != std::string::npos; from = comma + 1) {
    parts.push_back(s.substr(from, comma - from));
  }
  parts.push_back(s.substr(from));
  return parts;
}

// The service text without the trailing NUL and, for the log, without the quotes the
// adb client puts around later arguments.
std::string WithoutTerminator(std::string service) {
  while (!service.empty() && service.back() == '\0') service.pop_back();
  return service;
}
std::string Unquoted(std::string service) {
  service.erase(std::remove(service.begin(), service.end(), '\''), service.end());
  while (!service.empty() && service.back() == ' ') service.pop_back();
  return service;
}

// What a terminal before Android 7 makes of output: every LF becomes CR LF.
std::string WithCrLf(const std::string& s) {
  std::string out;
  out.reserve(s.size() + s.size() / 64);
  for (char ch : s) {
    if (ch == '\n') out += '\r';
    out += ch;
  }
  return out;
}

// Shell protocol v2 packets: id byte, little-endian length, data.
constexpr char kPacketStdout = 1;
constexpr char kPacketStderr = 2;
constexpr char kPacketExit = 3;
constexpr std::size_t kPacketData = 64 * 1024;  // a phone reads its pipes in pieces

void AppendPackets(std::string& s, char id, const std::string& data) {
  for (std::size_t at = 0; at < data.size(); at += kPacketData) {
    const std::size_t n = std::min(kPacketData, data.size() - at);
    s += id;
    Put32(s, static_cast<std::uint32_t>(n));
    s.append(data, at, n);
  }
}

// What a service sends back, when it is served at all.
struct Answer {
  bool served = false;
  std::string data;
  bool truncated = false;
  bool picture = false;
};

struct Stream {
  std::uint32_t remoteId = 0;
  std::string data;
  std::size_t sent = 0;
  std::size_t end = 0;  // bytes to send before the close (less than data for a cut stream)
  bool waitingOkay = false;
  Clock::time_point startAt;  // the first byte not before this
  bool held = false;          // the first byte waits for the hold file too
  Clock::time_point nextAt;   // the next piece not before this
  std::uint64_t rate = 0;     // bytes per second from startAt, 0 unlimited
};

class Connection {
 public:
  Connection(int fd, Phone& phone) : fd_(fd), phone_(phone), cfg_(phone.cfg) {}
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

  // Sends the pieces that are due; the milliseconds until the next one is, or -1.
  int tick() {
    const auto now = Clock::now();
    std::vector<std::uint32_t> due;
    for (const auto& [id, s] : streams_) {
      if (!s.waitingOkay && now >= s.nextAt) due.push_back(id);
    }
    for (std::uint32_t id : due) pump(id);
    int wait = -1;
    for (const auto& [id, s] : streams_) {
      if (s.waitingOkay) continue;
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(s.nextAt - now);
      const int left = static_cast<int>(std::max<long long>(0, ms.count())) + 1;
      wait = wait < 0 ? left : std::min(wait, left);
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
    const std::string service = WithoutTerminator(payload);
    Log(cfg_, "open " + Unquoted(service));
    Answer a = serve(service);
    if (!a.served) {
      send(kClse, 0, remoteId, {});
      return;
    }
    const std::uint32_t id = nextId_++;
    Stream& s = streams_[id];
    s.remoteId = remoteId;
    s.end = a.truncated ? a.data.size() / 2 : a.data.size();
    s.data = std::move(a.data);
    s.startAt = Clock::now() + std::chrono::milliseconds(a.picture ? cfg_.delayMs : 0);
    s.nextAt = s.startAt;
    s.held = a.picture && !cfg_.hold.empty();
    s.rate = a.picture ? cfg_.rate : 0;
    send(kOkay, id, remoteId, {});
  }

  Answer serve(const std::string& service) {
    if (service.rfind("exec:", 0) == 0) {
      // Phones before Android 5 have no exec: service.
      return cfg_.exec ? serveExec(service.substr(5)) : Answer{};
    }
    if (service == "framebuffer:") return serveFramebuffer();
    const std::size_t colon = service.find(':');
    if (service.rfind("shell", 0) != 0 || colon == std::string::npos) return {};
    const std::string options = service.substr(5, colon - 5);
    const std::string command = service.substr(colon + 1);
    if (!options.empty() && options[0] != ',') return {};
    // An interactive shell is not something a screenshot needs.
    if (Trim(command).empty()) return {};
    const std::vector<std::string> list = SplitAtCommas(options);
    const bool v2 = std::find(list.begin(), list.end(), "v2") != list.end();
    if (!v2) return serveShellV1(command);
    if (!HasFeature(cfg_.features, "shell_v2")) return {};
    return serveShellV2(command, std::find(list.begin(), list.end(), "pty") != list.end());
  }

  // Runs the command; false when the phone refuses the service instead.
  bool run(const std::string& command, CommandResult& r, Answer& a) {
    r = devicesim::RunCommandLine(phone_, command);
    a.served = r.known && !r.refused;
    a.truncated = r.truncated;
    a.picture = r.picture;
    return a.served;
  }

  // exec: one stream, standard error ahead of standard output, no exit status.
  Answer serveExec(const std::string& command) {
    CommandResult r;
    Answer a;
    if (run(command, r, a)) a.data = r.err + r.out;
    return a;
  }

  // shell: the old pty style: both outputs mixed, LF made CR LF by old terminals.
  Answer serveShellV1(const std::string& command) {
    CommandResult r;
    Answer a;
    if (run(command, r, a)) a.data = cfg_.crlf ? WithCrLf(r.err + r.out) : r.err + r.out;
    return a;
  }

  // shell,v2,...: outputs kept apart in packets, the exit status last; a pty has only one.
  Answer serveShellV2(const std::string& command, bool pty) {
    CommandResult r;
    Answer a;
    if (!run(command, r, a)) return a;
    if (pty) {
      AppendPackets(a.data, kPacketStdout, r.err + r.out);
    } else {
      AppendPackets(a.data, kPacketStderr, r.err);
      AppendPackets(a.data, kPacketStdout, r.out);
    }
    a.data += kPacketExit;
    Put32(a.data, 1);
    a.data += static_cast<char>(r.status & 255);
    return a;
  }

  Answer serveFramebuffer() {
    Answer a;
    if (cfg_.framebuffer <= 0) return a;
    a.served = true;
    a.picture = true;
    a.data = devicesim::FramebufferPicture(cfg_, cfg_.framebuffer);
    return a;
  }

  // Sends the next piece of a stream when it is due, or closes it when everything is out.
  void pump(std::uint32_t id) {
    auto it = streams_.find(id);
    if (it == streams_.end()) return;
    Stream& s = it->second;
    if (s.sent >= s.end) {
      send(kClse, id, s.remoteId, {});
      streams_.erase(it);
      return;
    }
    std::size_t n = std::min<std::size_t>(payload_, s.end - s.sent);
    const auto now = Clock::now();
    if (now < s.startAt) {
      s.nextAt = s.startAt;
      return;
    }
    if (s.held) {
      if (::access(cfg_.hold.c_str(), F_OK) != 0) {
        s.nextAt = now + std::chrono::milliseconds(10);
        return;
      }
      s.held = false;
      s.startAt = now;  // a rate counts from the release
    }
    if (s.rate > 0) {
      // Pieces of a twentieth of a second keep a slow link's progress even.
      n = std::min<std::size_t>(n, std::max<std::uint64_t>(256, s.rate / 20));
      const auto due = s.startAt + std::chrono::microseconds((s.sent + n) * 1000000ull / s.rate);
      if (now < due) {
        s.nextAt = due;
        return;
      }
    }
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
  Phone& phone_;
  const PhoneConfig& cfg_;
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
  Phone phone;
  PhoneConfig& cfg = phone.cfg;
  DisplayKeys displayKeys;
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
    while (std::getline(in, line)) ApplyLine(cfg, displayKeys, line);
  }
  for (const std::string& o : overrides) ApplyLine(cfg, displayKeys, o);
  if (!MakeDisplays(cfg, displayKeys)) return 2;

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
        connections.push_back(std::make_unique<Connection>(fd, phone));
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

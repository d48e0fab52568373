// A stand-in for the device tool: answers "-u enum", "deviceinfo" and "screenshot" the way
// the real tool does, driven by devicesim.cfg beside the executable (see README.md).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "sim_os.h"
#include "test_pattern.h"

namespace devicesim {

namespace {

constexpr int kMaxSide = 65535;
constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;

struct Device {
  std::string pin;
  std::string password;
  int width = 0;
  int height = 0;
};

struct Config {
  std::vector<Device> devices;
  bool topDown = false;
  std::string bitmap = "good";
  int enumDelay = 0;
  int deviceinfoDelay = 0;
  int screenshotDelay = 0;
  std::set<std::string> hang;
  std::set<std::string> flood;
  std::set<std::string> child;
  bool hasEnumRaw = false;
  std::string enumRaw;
  int progressLines = 8;
  int progressStep = 0;
  std::string log;
};

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  const std::size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// \\ \r \n \t \s (blank) and \xHH; anything else stands for itself.
std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'r') {
      out += '\r';
    } else if (c == 'n') {
      out += '\n';
    } else if (c == 't') {
      out += '\t';
    } else if (c == 's') {
      out += ' ';
    } else if (c == 'x' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// The log's form of one argument: backslash doubled, control bytes as \xHH.
std::string Escape(const std::string& s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int ToInt(const std::string& s, int low, int high, int fallback) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str()) return fallback;
  return static_cast<int>(std::clamp<long>(v, low, high));
}

std::set<std::string> ToSet(const std::string& s) {
  std::set<std::string> out;
  std::size_t start = 0;
  while (start <= s.size()) {
    const std::size_t comma = s.find(',', start);
    const std::string word =
        Trim(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!word.empty() && word != "none") out.insert(word);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

std::string DefaultPin(int k) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", 0x2100000Au + static_cast<unsigned>(k - 1));
  return buffer;
}

Config LoadConfig(const std::string& path) {
  Config cfg;
  int count = 1;
  int width = 240;
  int height = 160;
  struct Override {
    std::string pin, password;
    bool hasPin = false;
    int width = 0, height = 0;
  };
  std::vector<Override> overrides(65);
  if (std::FILE* f = OpenFile(path, "rb")) {
    std::string text;
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0 && text.size() < (1u << 20)) {
      text.append(block, n);
    }
    std::fclose(f);
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      const std::string line = Trim(text.substr(pos, end - pos));
      pos = end + 1;
      if (line.empty() || line[0] == '#') continue;
      const std::size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = Trim(line.substr(0, eq));
      const std::string value = Trim(line.substr(eq + 1));
      if (key == "devices") {
        count = ToInt(value, 0, 64, 1);
      } else if (key == "width") {
        width = ToInt(value, 1, kMaxSide, 240);
      } else if (key == "height") {
        height = ToInt(value, 1, kMaxSide, 160);
      } else if (key == "rows") {
        cfg.topDown = value == "topdown";
      } else if (key == "bitmap") {
        cfg.bitmap = value;
      } else if (key == "enum.delay") {
        cfg.enumDelay = ToInt(value, 0, 1 << 30, 0);
      } else if (key == "deviceinfo.delay") {
        cfg.deviceinfoDelay = ToInt(value, 0, 1 << 30, 0);
      } else if (key == "screenshot.delay") {
        cfg.screenshotDelay = ToInt(value, 0, 1 << 30, 0);
      } else if (key == "hang") {
        cfg.hang = ToSet(value);
      } else if (key == "flood") {
        cfg.flood = ToSet(value);
      } else if (key == "child") {
        cfg.child = ToSet(value);
      } else if (key == "enum.raw") {
        cfg.hasEnumRaw = true;
        cfg.enumRaw = Unescape(value);
      } else if (key == "screenshot.lines") {
        cfg.progressLines = ToInt(value, 0, 100000, 8);
      } else if (key == "screenshot.step") {
        cfg.progressStep = ToInt(value, 0, 60000, 0);
      } else if (key == "log") {
        cfg.log = value;
      } else if (key.rfind("device", 0) == 0 && key.find('.') != std::string::npos) {
        const std::size_t dot = key.find('.');
        const int k = ToInt(key.substr(6, dot - 6), 0, 64, 0);
        const std::string field = key.substr(dot + 1);
        if (k < 1) continue;
        Override& o = overrides[static_cast<std::size_t>(k)];
        if (field == "pin") {
          o.pin = Unescape(value);
          o.hasPin = true;
        } else if (field == "password") {
          o.password = Unescape(value);
        } else if (field == "width") {
          o.width = ToInt(value, 1, kMaxSide, 0);
        } else if (field == "height") {
          o.height = ToInt(value, 1, kMaxSide, 0);
        }
      }
    }
  }
  for (int k = 1; k <= count; ++k) {
    const Override& o = overrides[static_cast<std::size_t>(k)];
    Device d;
    d.pin = o.hasPin ? o.pin : DefaultPin(k);
    d.password = o.password;
    d.width = o.width > 0 ? o.width : width;
    d.height = o.height > 0 ? o.height : height;
    cfg.devices.push_back(d);
  }
  return cfg;
}

std::string ResolvePath(const std::string& dir, const std::string& name) {
  const bool absolute =
      !name.empty() && (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'));
  return absolute ? name : dir + name;
}

// The log file of this run; empty when the configuration keeps none.
std::string& LogPath() {
  static std::string path;
  return path;
}

void AppendToLog(const std::string& entry) {
  if (LogPath().empty()) return;
  if (std::FILE* f = OpenFile(LogPath(), "ab")) {
    std::fwrite(entry.data(), 1, entry.size(), f);
    std::fclose(f);
  }
}

void AppendLog(const std::vector<std::string>& args) {
  std::string entry = "run\n";
  const std::string raw = RawCommandLine();
  if (!raw.empty()) entry += "cmdline " + Escape(raw) + "\n";
  for (const std::string& a : args) entry += "arg " + Escape(a) + "\n";
  AppendToLog(entry);
}

[[noreturn]] void HangForever() {
  for (;;) SleepMs(1000);
}

// Writes until the reader goes away or the process is killed.
[[noreturn]] void Flood() {
  std::string block;
  while (block.size() < 4096) block += "Transferring data, please wait...\r\n";
  while (WriteOut(block.data(), block.size())) {
  }
  AppendToLog("exit 0\n");
  std::exit(0);
}

// What reached standard output goes into the log too, so a run its reader saw nothing of
// tells whether it wrote at all.
bool Say(const std::string& text) {
  const bool written = WriteOut(text.data(), text.size());
  AppendToLog(written ? "out " + std::to_string(text.size()) + "\n" : std::string("out failed\n"));
  return written;
}

std::string RecordPin(const std::string& pin) {
  std::string r = pin.substr(0, std::min<std::size_t>(pin.size(), 10));
  r.resize(10, ' ');
  return r;
}

const Device* FindDevice(const Config& cfg, const std::string& pinArg, bool hasPin) {
  if (!hasPin) return cfg.devices.size() == 1 ? &cfg.devices[0] : nullptr;
  for (const Device& d : cfg.devices) {
    if (pinArg == d.pin || pinArg == RecordPin(d.pin) || Trim(pinArg) == Trim(RecordPin(d.pin))) {
      return &d;
    }
  }
  return nullptr;
}

void Put16(std::string& s, unsigned v) {
  s += static_cast<char>(v & 255);
  s += static_cast<char>((v >> 8) & 255);
}
void Put32(std::string& s, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) s += static_cast<char>((v >> (8 * k)) & 255);
}

std::string BmpHeader(int w, int h, bool topDown, int bits, std::uint32_t offBits,
                      std::uint64_t imageBytes) {
  std::string s = "BM";
  Put32(s, static_cast<std::uint32_t>(std::min<std::uint64_t>(offBits + imageBytes, 0xFFFFFFFFu)));
  Put32(s, 0);
  Put32(s, offBits);
  Put32(s, 40);
  Put32(s, static_cast<std::uint32_t>(w));
  Put32(s, static_cast<std::uint32_t>(topDown ? -h : h));
  Put16(s, 1);
  Put16(s, static_cast<unsigned>(bits));
  Put32(s, 0);
  Put32(s, static_cast<std::uint32_t>(std::min<std::uint64_t>(imageBytes, 0xFFFFFFFFu)));
  Put32(s, 2835);
  Put32(s, 2835);
  Put32(s, 0);
  Put32(s, 0);
  return s;
}

bool WriteBitmap(const Config& cfg, const Device& d, const std::string& path) {
  if (cfg.bitmap == "none") return true;
  std::FILE* f = OpenFile(path, "wb");
  if (!f) return false;
  bool ok = true;
  const int w = d.width;
  const int h = static_cast<std::uint64_t>(d.width) * d.height > kMaxPixels
                    ? static_cast<int>(kMaxPixels / static_cast<std::uint64_t>(d.width))
                    : d.height;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(w) * 3 + 3) & ~std::uint64_t{3};
  const std::uint64_t imageBytes = rowBytes * static_cast<std::uint64_t>(h);
  if (cfg.bitmap == "empty") {
    // nothing to write
  } else if (cfg.bitmap == "corrupt") {
    // Pixel data said to lie far beyond the file, and no valid bit depth.
    std::string s = BmpHeader(w, h, cfg.topDown, 7, 0x7FFFFFF0u, imageBytes);
    for (int k = 0; k < 64; ++k) s += static_cast<char>((k * 37 + 11) & 255);
    ok = std::fwrite(s.data(), 1, s.size(), f) == s.size();
  } else if (cfg.bitmap == "huge") {
    // Claims 60000 x 60000 pixels but carries only a few bytes of them.
    const std::uint64_t hugeRow = (60000ull * 3 + 3) & ~3ull;
    std::string s = BmpHeader(60000, 60000, cfg.topDown, 24, 54, hugeRow * 60000);
    s.append(1024, '\x55');
    ok = std::fwrite(s.data(), 1, s.size(), f) == s.size();
  } else {
    const std::string header = BmpHeader(w, h, cfg.topDown, 24, 54, imageBytes);
    ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    // A truncated file stops halfway through the rows its header promises.
    const int rows = cfg.bitmap == "truncated" ? h / 2 : h;
    std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes), 0);
    for (int k = 0; k < rows && ok; ++k) {
      const int y = cfg.topDown ? k : h - 1 - k;
      for (int x = 0; x < w; ++x) {
        std::uint8_t rgb[3];
        PatternPixel(x, y, w, h, rgb);
        unsigned char* bgr = &row[static_cast<std::size_t>(x) * 3];
        bgr[0] = rgb[2];
        bgr[1] = rgb[1];
        bgr[2] = rgb[0];
      }
      ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
  }
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

// A helper the tool left behind: it only holds what it inherited, for two minutes at most
// so that a failed test leaves nothing running for long.
int IdleChild() {
  SleepMs(120000);
  return 0;
}

// adb -P PORT start-server: returns once a server listens on the port, starting one
// when none does; the server outlives this run.
int StartServerCommand(int port) {
  if (port < 1 || port > 65535) {
    WriteErr("error: bad port\n");
    return 1;
  }
  if (Listens(port)) return 0;
  const unsigned long pid = StartServer(port);
  if (pid == 0) return 1;
  AppendToLog("server " + std::to_string(pid) + "\n");
  for (int waited = 0; waited < 10000; waited += 20) {
    if (Listens(port)) {
      Say("* daemon started successfully\n");
      return 0;
    }
    SleepMs(20);
  }
  WriteErr("error: the server did not start\n");
  return 1;
}

int RunCommand(const Config& cfg, const std::vector<std::string>& args) {
  if (args.size() == 3 && args[0] == "-P" && args[2] == "start-server") {
    return StartServerCommand(std::atoi(args[1].c_str()));
  }

  std::string command, target, pin, password;
  bool hasPin = false, hasPassword = false;
  for (const std::string& a : args) {
    if (a.rfind("-p", 0) == 0) {
      pin = a.substr(2);
      hasPin = true;
    } else if (a.rfind("-w", 0) == 0) {
      password = a.substr(2);
      hasPassword = true;
    } else if (!a.empty() && a[0] == '-') {
      continue;  // -u and other switches
    } else if (command.empty()) {
      command = a;
    } else if (target.empty()) {
      target = a;
    }
  }

  if (cfg.child.count(command)) AppendToLog("child " + std::to_string(StartChild()) + "\n");

  if (command == "enum") {
    if (cfg.enumDelay > 0) SleepMs(cfg.enumDelay);
    std::string out = cfg.enumRaw;
    if (!cfg.hasEnumRaw) {
      out.clear();
      for (const Device& d : cfg.devices) out += RecordPin(d.pin) + "\r\n";
    }
    if (!Say(out)) return 1;
    if (cfg.flood.count("enum")) Flood();
    if (cfg.hang.count("enum")) HangForever();
    return 0;
  }

  if (command != "deviceinfo" && command != "screenshot") {
    WriteErr(
        "usage: javaloader -u enum | -u -p<PIN> [-w<password>] deviceinfo | "
        "-u -p<PIN> [-w<password>] screenshot <file.bmp>\n");
    return 2;
  }
  const Device* device = FindDevice(cfg, pin, hasPin);
  if (!device) {
    WriteErr("Error: no device with that PIN is connected\n");
    return 1;
  }
  // Like the real handheld: a device with a password answers only to that password.
  if (!device->password.empty() && (!hasPassword || password != device->password)) {
    WriteErr("Error: the device password is wrong\n");
    return 1;
  }

  if (command == "deviceinfo") {
    if (cfg.deviceinfoDelay > 0) SleepMs(cfg.deviceinfoDelay);
    if (!Say("Connected\r\nPIN: " + device->pin + "\r\nName: simulated handheld\r\nScreen: " +
             std::to_string(device->width) + " x " + std::to_string(device->height) + "\r\n")) {
      return 1;
    }
    if (cfg.flood.count("deviceinfo")) Flood();
    if (cfg.hang.count("deviceinfo")) HangForever();
    return 0;
  }

  if (target.empty()) {
    WriteErr("Error: screenshot needs a file name\n");
    return 2;
  }
  if (cfg.screenshotDelay > 0) SleepMs(cfg.screenshotDelay);
  if (!Say("Connected\r\n")) return 1;
  for (int k = 1; k <= cfg.progressLines; ++k) {
    if (!Say("Reading screen: " + std::to_string(k * 100 / cfg.progressLines) + "%\r\n")) {
      return 1;
    }
    if (cfg.progressStep > 0) SleepMs(cfg.progressStep);
  }
  if (cfg.flood.count("screenshot")) Flood();
  if (cfg.hang.count("screenshot")) HangForever();
  if (!WriteBitmap(cfg, *device, target)) {
    WriteErr("Error: cannot write " + target + "\n");
    return 1;
  }
  Say("Screenshot saved\r\n");
  return 0;
}

}  // namespace

int Run(const std::vector<std::string>& args) {
  if (args.size() == 1 && args[0] == kChildArgument) return IdleChild();
  if (args.size() == 2 && args[0] == kServerArgument) return Serve(std::atoi(args[1].c_str()));
  const std::string dir = SelfDirectory();
  const Config cfg = LoadConfig(dir + "devicesim.cfg");
  if (!cfg.log.empty()) LogPath() = ResolvePath(dir, cfg.log);
  AppendLog(args);
  const int code = RunCommand(cfg, args);
  AppendToLog("exit " + std::to_string(code) + "\n");
  return code;
}

}  // namespace devicesim

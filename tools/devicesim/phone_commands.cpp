#include "phone_commands.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "imaging/codec.h"
#include "test_pattern.h"

namespace devicesim {

void Log(const PhoneConfig& c, const std::string& line) {
  if (c.log.empty()) return;
  std::ofstream(c.log, std::ios::app) << line << '\n';
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char ch = line[i];
    if (ch == ' ' || ch == '\t' || ch == '\n') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (ch == '\'') {
      const std::size_t close = line.find('\'', i + 1);
      const std::size_t end = close == std::string::npos ? line.size() : close;
      word += line.substr(i + 1, end - i - 1);
      i = end;
    } else if (ch == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) ++i;
        word += line[i];
      }
    } else if (ch == '\\' && i + 1 < line.size()) {
      word += line[++i];
    } else {
      word += ch;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

namespace {

// screencap's words when it has to choose among several displays by itself.
constexpr char kMultipleDisplaysWarning[] =
    "[Warning] Multiple displays were found, but no display id was specified! Defaulting to "
    "the first display found, however this default is not guaranteed to be consistent across "
    "captures. A display id should be specified.\n"
    "A display ID can be specified with the [-d display-id] option.\n"
    "See \"dumpsys SurfaceFlinger --display-id\" for valid display IDs.\n";
constexpr char kScreencapUsage[] = "usage: screencap [-hp] [-d display-id] [FILENAME]\n";

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

// The test picture, every display after the first with its ramp reversed.
void ScreenPixel(const PhoneConfig& c, std::size_t index, int x, int y, std::uint8_t rgb[3]) {
  const Display& d = c.displays[index];
  if (c.black) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    return;
  }
  PatternPixel(x, y, d.width, d.height, rgb, index > 0);
}

// What screencap writes without -p: header, then the rows top-down, no padding.
std::string RawPicture(const PhoneConfig& c, std::size_t index) {
  const Display& d = c.displays[index];
  std::string s;
  Put32(s, static_cast<std::uint32_t>(d.width));
  Put32(s, static_cast<std::uint32_t>(d.height));
  Put32(s, c.format);
  if (c.headerFields == 4) Put32(s, c.colorSpace);
  const std::size_t bpp = static_cast<std::size_t>(BytesPerPixel(c.format));
  const std::size_t header = s.size();
  s.resize(header + bpp * static_cast<std::size_t>(d.width) * static_cast<std::size_t>(d.height));
  char* out = s.data() + header;
  std::uint8_t rgb[3];
  for (int y = 0; y < d.height; ++y) {
    for (int x = 0; x < d.width; ++x, out += bpp) {
      ScreenPixel(c, index, x, y, rgb);
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

std::string PngPicture(const PhoneConfig& c, std::size_t index) {
  const Display& d = c.displays[index];
  snapdeck::Picture p;
  p.width = d.width;
  p.height = d.height;
  p.pixels.resize(static_cast<std::size_t>(d.width) * static_cast<std::size_t>(d.height));
  std::uint8_t rgb[3];
  for (int y = 0; y < d.height; ++y) {
    for (int x = 0; x < d.width; ++x) {
      ScreenPixel(c, index, x, y, rgb);
      p.at(x, y) = snapdeck::PixelOf(snapdeck::MakeRgb(rgb[0], rgb[1], rgb[2]));
    }
  }
  const std::vector<std::uint8_t> png = snapdeck::EncodePng(p);
  return std::string(png.begin(), png.end());
}

// The display a -d argument names, or the error screencap prints for it.
bool FindDisplay(const PhoneConfig& c, const std::string& text, std::size_t& index,
                 std::string& error) {
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits) {
    error = "Invalid display id: " + text + "\n";
    return false;
  }
  for (std::size_t k = 0; k < c.displays.size(); ++k) {
    if (std::to_string(c.displays[k].id) == text) {
      index = k;
      return true;
    }
  }
  error = "Unable to get handle for display " + text + "\n";
  return false;
}

CommandResult Screencap(const PhoneConfig& c, const std::vector<std::string>& argv) {
  CommandResult r;
  bool png = false;
  bool chosen = false;
  std::string displayText;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (a == "-p") {
      png = true;
    } else if (a == "-d" && i + 1 < argv.size()) {
      displayText = argv[++i];
      chosen = true;
    } else if (a.rfind("-d", 0) == 0 && a.size() > 2) {
      displayText = a.substr(2);
      chosen = true;
    } else {
      r.err = kScreencapUsage;
      r.status = 1;
      return r;
    }
  }
  const std::string& mode = png ? c.png : c.raw;
  r.picture = true;
  r.refused = mode == "refuse";
  r.truncated = mode == "truncated";
  std::size_t index = 0;
  if (chosen) {
    if (!FindDisplay(c, displayText, index, r.err)) {
      r.status = 1;
      return r;
    }
  } else if (c.displays.size() > 1) {
    r.err = kMultipleDisplaysWarning;
  }
  if (!c.screencapFailure.empty()) {
    r.err += c.screencapFailure + "\n";
    r.status = 1;
    return r;
  }
  if (!r.refused) r.out = png ? PngPicture(c, index) : RawPicture(c, index);
  return r;
}

// dumpsys SurfaceFlinger --display-id: one line per physical display.
CommandResult DisplayIds(const PhoneConfig& c) {
  CommandResult r;
  for (std::size_t k = 0; k < c.displays.size(); ++k) {
    const std::uint64_t id = c.displays[k].id;
    r.out += "Display " + std::to_string(id) + " (HWC display " + std::to_string(k) +
             "): port=" + std::to_string(id & 255) +
             " pnpId=GGL displayName=\"Common Panel\"\n";
  }
  return r;
}

CommandResult Settings(Phone& phone, const std::vector<std::string>& argv) {
  CommandResult r;
  static const char* const kNamespaces[] = {"global", "system", "secure"};
  const bool known = argv.size() >= 4 && std::find(std::begin(kNamespaces), std::end(kNamespaces),
                                                   argv[2]) != std::end(kNamespaces);
  const std::string key = known ? argv[2] + " " + argv[3] : std::string();
  if (known && argv[1] == "get" && argv.size() == 4) {
    auto it = phone.settings.find(key);
    r.out = (it == phone.settings.end() ? std::string("null") : it->second) + "\n";
  } else if (known && argv[1] == "put" && argv.size() == 5) {
    phone.settings[key] = argv[4];
    Log(phone.cfg, "settings put " + key + " " + argv[4]);
  } else if (known && argv[1] == "delete" && argv.size() == 4) {
    r.out = "Deleted " + std::to_string(phone.settings.erase(key)) + " rows\n";
    Log(phone.cfg, "settings delete " + key);
  } else {
    r.err =
        "usage:  settings [--user <USER_ID> | current] get namespace key\n"
        "        settings [--user <USER_ID> | current] put namespace key value\n"
        "        settings [--user <USER_ID> | current] delete namespace key\n";
    r.status = 255;
  }
  return r;
}

// am broadcast -a ACTION [-e KEY VALUE ...]. System UI acts on demo commands only while
// sysui_demo_allowed is 1; the log says which were taken.
CommandResult Broadcast(Phone& phone, const std::vector<std::string>& argv) {
  CommandResult r;
  std::string action;
  std::string extras;
  for (std::size_t i = 2; i < argv.size(); ++i) {
    if (argv[i] == "-a" && i + 1 < argv.size()) {
      action = argv[++i];
    } else if ((argv[i] == "-e" || argv[i] == "--es") && i + 2 < argv.size()) {
      extras += " " + argv[i + 1] + "=" + argv[i + 2];
      i += 2;
    }
  }
  r.out = "Broadcasting: Intent { act=" + action + " flg=0x400000" +
          (extras.empty() ? "" : " (has extras)") + " }\nBroadcast completed: result=0\n";
  if (action == "com.android.systemui.demo") {
    const auto it = phone.settings.find("global sysui_demo_allowed");
    const bool allowed = it != phone.settings.end() && it->second == "1";
    Log(phone.cfg, std::string(allowed ? "demo" : "demo ignored") + extras);
  } else {
    Log(phone.cfg, "broadcast " + action + extras);
  }
  return r;
}

CommandResult Unknown() {
  CommandResult r;
  r.known = false;
  return r;
}

}  // namespace

CommandResult RunCommand(Phone& phone, const std::vector<std::string>& argv) {
  if (argv.empty()) return Unknown();
  const std::string& name = argv[0];
  if (name == "screencap" || name == "/system/bin/screencap") return Screencap(phone.cfg, argv);
  if (argv == std::vector<std::string>{"dumpsys", "SurfaceFlinger", "--display-id"}) {
    return DisplayIds(phone.cfg);
  }
  if (name == "settings") return Settings(phone, argv);
  if (name == "am" && argv.size() >= 2 && argv[1] == "broadcast") return Broadcast(phone, argv);
  return Unknown();
}

namespace {

// The command line cut at every ';' outside quotes (the quotes stay for SplitCommandLine).
std::vector<std::string> SplitCommandList(const std::string& line) {
  std::vector<std::string> commands(1);
  char quote = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char ch = line[i];
    if (quote == 0 && ch == ';') {
      commands.emplace_back();
      continue;
    }
    commands.back() += ch;
    if (quote == 0 && ch == '\\' && i + 1 < line.size()) {
      commands.back() += line[++i];
    } else if (quote == 0 && (ch == '\'' || ch == '"')) {
      quote = ch;
    } else if (ch == quote) {
      quote = 0;
    }
  }
  return commands;
}

}  // namespace

CommandResult RunCommandLine(Phone& phone, const std::string& line) {
  const std::vector<std::string> commands = SplitCommandList(line);
  if (commands.size() == 1) return RunCommand(phone, SplitCommandLine(line));
  CommandResult all;
  for (const std::string& command : commands) {
    const std::vector<std::string> argv = SplitCommandLine(command);
    if (argv.empty()) continue;
    CommandResult r = RunCommand(phone, argv);
    if (!r.known) {
      r.err = "/system/bin/sh: " + argv[0] + ": not found\n";
      r.status = 127;
    }
    // A list's output is a stream of text; the pictures' habits belong to one screencap.
    all.out += r.out;
    all.err += r.err;
    all.status = r.status;
  }
  return all;
}

std::string FramebufferPicture(const PhoneConfig& c, int version) {
  if (!c.screencapFailure.empty()) return {};
  const Display& d = c.displays[0];
  const std::uint32_t size = static_cast<std::uint32_t>(4ull * d.width * d.height);
  std::string s;
  Put32(s, static_cast<std::uint32_t>(version));
  Put32(s, 32);
  if (version >= 2) Put32(s, c.colorSpace);
  Put32(s, size);
  Put32(s, static_cast<std::uint32_t>(d.width));
  Put32(s, static_cast<std::uint32_t>(d.height));
  // Offset and length of red, blue, green, alpha (in this order): RGBA bytes.
  for (std::uint32_t v : {0u, 8u, 16u, 8u, 8u, 8u, 24u, 8u}) Put32(s, v);
  const std::size_t header = s.size();
  s.resize(header + size);
  char* out = s.data() + header;
  std::uint8_t rgb[3];
  for (int y = 0; y < d.height; ++y) {
    for (int x = 0; x < d.width; ++x, out += 4) {
      ScreenPixel(c, 0, x, y, rgb);
      out[0] = static_cast<char>(rgb[0]);
      out[1] = static_cast<char>(rgb[1]);
      out[2] = static_cast<char>(rgb[2]);
      out[3] = static_cast<char>(255);
    }
  }
  return s;
}

}  // namespace devicesim

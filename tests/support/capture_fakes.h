// Fakes for the capture tests: a scripted device tool and a scripted main window, on
// the shared fake clock.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "capture/adb_client.h"
#include "capture/capture_context.h"
#include "capture/command_lines.h"
#include "imaging/codec.h"
#include "imaging/fixed_text.h"
#include "platform/posix/runner_posix.h"
#include "resources/ids.h"
#include "tests/support/fake_clock.h"
#include "tests/support/memory_files.h"
#include "tools/devicesim/test_pattern.h"

namespace snapdeck::testing {

// One scripted run: chunks of output that become readable at given clock times.
class ScriptedRun : public ToolRun {
 public:
  struct Shared {
    int live = 0;
    int killed = 0;
  };
  ScriptedRun(FakeClock& clock, Shared& shared) : clock_(clock), shared_(shared) { ++shared_.live; }
  ~ScriptedRun() override { --shared_.live; }

  std::size_t outputAvailable() override {
    if (endless && !killed_) return 4096;
    std::size_t n = 0;
    for (const auto& [at, bytes] : chunks) {
      if (at <= clock_.now) n += bytes.size();
    }
    return n - consumed_;
  }
  std::size_t read(std::uint8_t* buffer, std::size_t n) override {
    if (endless && !killed_) {
      std::fill(buffer, buffer + n, 'x');
      floodRead_ += n;
      // Far beyond any sane bound: fail rather than loop for ever.
      if (floodRead_ > (std::size_t{8} << 20)) {
        ADD_FAILURE() << "the reader never stopped reading an endless output";
        endless = false;
      }
      return n;
    }
    std::string all;
    for (const auto& [at, bytes] : chunks) {
      if (at <= clock_.now) all += bytes;
    }
    const std::size_t got = std::min(n, all.size() - consumed_);
    std::copy(all.begin() + static_cast<std::ptrdiff_t>(consumed_),
              all.begin() + static_cast<std::ptrdiff_t>(consumed_ + got), buffer);
    consumed_ += got;
    return got;
  }
  bool waitEnd(int milliseconds) override {
    waits.push_back(milliseconds);
    if (ends && !killed_) {
      if (onEnd) onEnd();
      return true;
    }
    clock_.now += static_cast<std::uint64_t>(std::max(milliseconds, 0));
    return killed_;
  }
  void kill() override {
    if (!killed_) ++shared_.killed;
    killed_ = true;
  }

  std::vector<std::pair<std::uint64_t, std::string>> chunks;
  bool endless = false;
  bool ends = true;
  std::function<void()> onEnd;
  std::vector<int> waits;

 private:
  FakeClock& clock_;
  Shared& shared_;
  std::size_t consumed_ = 0;
  std::size_t floodRead_ = 0;
  bool killed_ = false;
};

// A scripted device tool that answers like the real one: devices with PINs and passwords,
// and a bitmap written by "screenshot".
class FakeTool : public ToolRunner {
 public:
  struct Device {
    std::string pin;  // 10 characters as printed
    std::u16string password;
  };

  FakeTool(FakeClock& clock, MemoryFiles& files) : clock_(clock), files_(files) {}

  std::unique_ptr<ToolRun> start(const std::u16string& exePath,
                                 const std::u16string& parameters) override {
    exePaths.push_back(exePath);
    started.push_back(parameters);
    const std::vector<std::u16string> args = SplitCommandLine(parameters);
    std::u16string command, target, pin, password;
    bool hasPassword = false;
    for (const std::u16string& a : args) {
      if (a.rfind(u"-p", 0) == 0) {
        pin = a.substr(2);
      } else if (a.rfind(u"-w", 0) == 0) {
        password = a.substr(2);
        hasPassword = true;
      } else if (!a.empty() && a[0] == u'-') {
        continue;
      } else if (command.empty()) {
        command = a;
      } else {
        target = a;
      }
    }
    if (failStart.count(command)) return nullptr;
    auto run = std::make_unique<ScriptedRun>(clock_, shared);
    const std::uint64_t at = clock_.now + outputDelayMs;
    if (command == u"enum") {
      if (enumSilentRuns > 0) {
        --enumSilentRuns;
        return run;
      }
      std::string out = enumRaw;
      if (!useEnumRaw) {
        out.clear();
        for (const Device& d : devices) out += d.pin + "\r\n";
      }
      if (!out.empty()) run->chunks.push_back({at, out});
      return run;
    }
    const Device* device = nullptr;
    for (const Device& d : devices) {
      if (std::u16string(d.pin.begin(), d.pin.end()) == pin) device = &d;
    }
    const bool accepted =
        device && (device->password.empty() || (hasPassword && password == device->password));
    if (command == u"deviceinfo") {
      if (accepted) run->chunks.push_back({at, "Connected\r\nPIN: " + device->pin + "\r\n"});
      return run;
    }
    // screenshot
    run->ends = shotEnds;
    run->endless = shotEndless;
    if (accepted) {
      if (!shotOutput.empty()) run->chunks.push_back({at, shotOutput});
      if (writeBitmap) {
        const std::vector<std::uint8_t> bytes =
            bitmaps.empty() ? bitmap : bitmaps[std::min(bitmaps.size() - 1, shots)];
        MemoryFiles& files = files_;
        run->onEnd = [&files, target, bytes] { files.files[target] = bytes; };
      }
      ++shots;
    }
    return run;
  }

  std::unique_ptr<ToolRun> startDetached(const std::u16string& exePath,
                                         const std::u16string& parameters) override {
    detached.push_back(parameters);
    return start(exePath, parameters);
  }

  // A code page of Latin-1: a NUL or any character above it does not reach the tool.
  bool passesExactly(const std::u16string& text) override {
    return std::none_of(text.begin(), text.end(), [](char16_t c) { return c == 0 || c > 0xFF; });
  }

  std::vector<Device> devices{{"0x2100000A", u""}};
  bool useEnumRaw = false;
  int enumSilentRuns = 0;  // the first runs of "-u enum" print nothing
  std::string enumRaw;
  std::set<std::u16string> failStart;
  std::uint64_t outputDelayMs = 0;
  std::string shotOutput = "Connected\r\nReading screen\r\n";
  bool shotEnds = true;
  bool shotEndless = false;
  bool writeBitmap = true;
  std::vector<std::uint8_t> bitmap;                // every shot's bitmap
  std::vector<std::vector<std::uint8_t>> bitmaps;  // or one per shot in order
  std::size_t shots = 0;

  std::vector<std::u16string> exePaths;
  std::vector<std::u16string> started;
  std::vector<std::u16string> detached;  // the parameters of the runs started detached
  ScriptedRun::Shared shared;

  int count(const std::u16string& word) const {
    return static_cast<int>(std::count_if(started.begin(), started.end(), [&](const auto& p) {
      return p.find(word) != std::u16string::npos;
    }));
  }

 private:
  FakeClock& clock_;
  MemoryFiles& files_;
};

class ScriptedHost : public CaptureHost {
 public:
  struct Question {
    int kind;
    std::u16string message, first, second;
  };
  struct Clip {
    bool clear;
    Picture picture;
  };

  void showStatusPicture(const Picture& status) override { shown.push_back(status); }
  void resizeMainWindow(int w, int h) override { resizes.push_back({w, h}); }
  void setWaitCursor(bool wait) override { cursors.push_back(wait); }
  void drawProgress(double value) override { progress.push_back(value); }
  void pumpOneEvent() override { ++pumpedOne; }
  void pumpAllEvents() override { ++pumpedAll; }
  void clearClipboard() override { clipboard.push_back({true, {}}); }
  bool putOnClipboard(const Picture& p) override {
    if (!clipboardWorks) return false;
    clipboard.push_back({false, p});
    return true;
  }
  void playSound(int number) override { sounds.push_back(number); }
  void setIncludePinBox(bool enabled, bool checked) override {
    pinBox.push_back({enabled, checked});
  }
  int ask(int kind, const std::u16string& message, const std::u16string& first,
          const std::u16string& second) override {
    questions.push_back({kind, message, first, second});
    if (onAsk) onAsk();
    if (answers.empty()) return id::kAnswerSecond;
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  std::u16string passwordResult() override {
    if (passwordAnswers.empty()) return u"";
    std::u16string p = passwordAnswers.front();
    passwordAnswers.pop_front();
    return p;
  }

  // Last picture put on the clipboard, or null.
  const Picture* lastClip() const {
    for (auto it = clipboard.rbegin(); it != clipboard.rend(); ++it) {
      if (!it->clear) return &it->picture;
    }
    return nullptr;
  }

  std::deque<int> answers;
  std::function<void()> onAsk;  // what the user does while a question is open
  std::deque<std::u16string> passwordAnswers;
  std::vector<Question> questions;
  std::vector<Picture> shown;
  std::vector<std::pair<int, int>> resizes;
  std::vector<bool> cursors;
  std::vector<double> progress;
  std::vector<Clip> clipboard;
  bool clipboardWorks = true;  // false: another program holds the clipboard
  std::vector<int> sounds;
  std::vector<std::pair<bool, bool>> pinBox;
  int pumpedOne = 0;
  int pumpedAll = 0;
};

// Fixed metrics, and a record of every text drawn with its colour.
class RecordingText : public FixedMetricsText {
 public:
  void draw(Picture& picture, int x, int y, const std::u16string& text, Rgb color) override {
    drawn.push_back({text, color});
    FixedMetricsText::draw(picture, x, y, text, color);
  }
  bool drew(const std::u16string& text) const {
    return std::any_of(drawn.begin(), drawn.end(), [&](const auto& d) { return d.first == text; });
  }
  std::vector<std::pair<std::u16string, Rgb>> drawn;
};

// A 24-bit Windows bitmap of the simulators' test picture, stored top-down or bottom-up.
inline std::vector<std::uint8_t> PatternBmp(int w, int h, bool topDown) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
  const std::uint32_t image = stride * static_cast<std::uint32_t>(h);
  std::vector<std::uint8_t> b(54 + image, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, 54 + image);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(w));
  put32(22, static_cast<std::uint32_t>(topDown ? -h : h));
  b[26] = 1;
  b[28] = 24;
  put32(34, image);
  for (int y = 0; y < h; ++y) {
    const int row = topDown ? y : h - 1 - y;
    for (int x = 0; x < w; ++x) {
      std::uint8_t* px = &b[54 + static_cast<std::size_t>(row) * stride + x * 3];
      std::uint8_t rgb[3];
      devicesim::PatternPixel(x, y, w, h, rgb);
      px[0] = rgb[2];
      px[1] = rgb[1];
      px[2] = rgb[0];
    }
  }
  return b;
}

inline constexpr Rgb kRed = MakeRgb(255, 0, 0);
inline constexpr Rgb kBlue = MakeRgb(0, 0, 255);

// The adb server as a scripted peer: each connection answers the requests sent on it
// like the real server, from the phones and answers configured here.
class FakeAdbServer : public SocketPort {
 public:
  // Phones by name; a phone's serial is its name unless set, and its transport id its
  // place in the map, counted from 1.
  struct Phone {
    std::string state = "device";
    std::string model = "Pixel_Sim";
    std::map<std::string, std::string> services;  // service -> bytes after its OKAY
    // The output of every shell: service not in services; unset, they are refused.
    std::optional<std::string> shellOutput;
    std::string serial;
    std::string features;
    std::set<std::string> stalls;  // services that send their bytes, then nothing more
  };

  explicit FakeAdbServer(FakeClock& clock) : clock_(clock) {}

  std::unique_ptr<Connection> connectLoopback(std::uint16_t port, int) override {
    const std::lock_guard<std::mutex> lock(lock_);
    ports.push_back(port);
    if (!listening) return nullptr;
    return std::make_unique<Conn>(*this);
  }
  std::unique_ptr<Connection> connectHost(const std::string& host, std::uint16_t port,
                                          int timeoutMs) override {
    {
      const std::lock_guard<std::mutex> lock(lock_);
      hosts.push_back(host);
    }
    return connectLoopback(port, timeoutMs);
  }

  // The host:devices-l payload from the phones, in serial order.
  std::string deviceList() const {
    std::string text;
    int id = 0;
    for (const auto& [name, phone] : phones) {
      text += (phone.serial.empty() ? name : phone.serial) + "               " + phone.state;
      if (phone.state == "device") text += " product:sim model:" + phone.model + " device:sim";
      text += " transport_id:" + std::to_string(++id) + "\n";
    }
    return text;
  }
  // The phones the service's word selects: by transport id or by serial.
  std::vector<std::string> select(const std::string& how, const std::string& what) const {
    std::vector<std::string> names;
    int id = 0;
    for (const auto& [name, phone] : phones) {
      ++id;
      const std::string serial = phone.serial.empty() ? name : phone.serial;
      if (how == "id" ? std::to_string(id) == what : serial == what) names.push_back(name);
    }
    return names;
  }
  static std::string Okay(const std::string& payload) { return "OKAY" + HostRequest(payload); }

  bool listening = true;
  std::map<std::string, Phone> phones;
  std::optional<std::string> listAnswer;  // instead of the list made from phones
  std::size_t chunk = 1 << 20;            // most bytes one receive delivers
  std::uint64_t msPerChunk = 0;           // time a delivered piece takes
  bool hangAtEnd = false;                 // never close after an answer
  std::vector<std::uint16_t> ports;
  std::vector<std::string> hosts;  // of the connections made by name or address
  std::vector<std::string> requests;
  std::vector<std::uint64_t> requestTimes;  // the clock's time at each request

 private:
  class Conn : public Connection {
   public:
    explicit Conn(FakeAdbServer& s) : s_(s) {}
    bool sendAll(const std::uint8_t* data, std::size_t n, int) override {
      in_.append(reinterpret_cast<const char*>(data), n);
      while (in_.size() >= 4) {
        const std::size_t length = std::stoul(in_.substr(0, 4), nullptr, 16);
        if (in_.size() < 4 + length) break;
        const std::string service = in_.substr(4, length);
        in_.erase(0, 4 + length);
        // Clients on several threads may ask at once.
        const std::lock_guard<std::mutex> lock(s_.lock_);
        s_.requests.push_back(service);
        s_.requestTimes.push_back(s_.clock_.now);
        answer(service);
      }
      return true;
    }
    std::ptrdiff_t receive(std::uint8_t* buffer, std::size_t n, int timeoutMs) override {
      if (out_.empty()) {
        if (closed_ && !s_.hangAtEnd) return 0;
        // A stall: nothing comes until the caller gives up.
        s_.clock_.now += static_cast<std::uint64_t>(std::max(timeoutMs, 0));
        return -1;
      }
      const std::size_t k = std::min({n, s_.chunk, out_.size()});
      s_.clock_.now += s_.msPerChunk;
      std::copy(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(k), buffer);
      out_.erase(0, k);
      return static_cast<std::ptrdiff_t>(k);
    }

   private:
    void fail(const std::string& message) {
      out_ += "FAIL" + HostRequest(message);
      closed_ = true;
    }
    void answer(const std::string& service) {
      if (!serial_.empty()) {
        const Phone& phone = s_.phones[serial_];
        auto it = phone.services.find(service);
        const bool shell = phone.shellOutput && service.rfind("shell:", 0) == 0;
        if (it == phone.services.end() && !shell) return fail("closed");
        out_ += "OKAY" + (it != phone.services.end() ? it->second : *phone.shellOutput);
        closed_ = phone.stalls.count(service) == 0;
      } else if (service == "host:devices-l") {
        out_ += s_.listAnswer ? *s_.listAnswer : Okay(s_.deviceList());
        closed_ = true;
      } else if (service.rfind("host:transport:", 0) == 0 ||
                 service.rfind("host:transport-id:", 0) == 0) {
        const bool byId = service[14] == '-';
        const std::string what = service.substr(byId ? 18 : 15);
        const std::vector<std::string> names = s_.select(byId ? "id" : "serial", what);
        if (names.empty()) return fail("device '" + what + "' not found");
        if (names.size() > 1) return fail("more than one device with serial " + what);
        const Phone& phone = s_.phones[names[0]];
        if (phone.state != "device") return fail("device " + phone.state + ".");
        out_ += "OKAY";
        serial_ = names[0];
      } else if (service.rfind("host-", 0) == 0 && service.size() > 9 &&
                 service.compare(service.size() - 9, 9, ":features") == 0) {
        const bool byId = service.rfind("host-transport-id:", 0) == 0;
        const std::size_t from = byId ? 18 : 12;
        const std::vector<std::string> names =
            s_.select(byId ? "id" : "serial", service.substr(from, service.size() - 9 - from));
        if (names.size() != 1) return fail("device not found");
        out_ += Okay(s_.phones[names[0]].features);
        closed_ = true;
      } else {
        fail("unknown host service");
      }
    }
    FakeAdbServer& s_;
    std::string in_, out_, serial_;
    bool closed_ = false;
  };

  FakeClock& clock_;
  std::mutex lock_;
};

// Raw screenshot bytes: the header (with the colour space when asked) and the pixels.
inline std::string RawScreencap(std::uint32_t w, std::uint32_t h, std::uint32_t format,
                                const std::string& pixels, bool colourSpace) {
  std::string out;
  auto put = [&out](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((v >> (8 * k)) & 255);
  };
  put(w);
  put(h);
  put(format);
  if (colourSpace) put(1);
  return out + pixels;
}

// Output of a command through the shell protocol v2: standard output and error in
// packets, then the exit status.
inline std::string ShellV2(const std::string& out, const std::string& err, int status) {
  std::string bytes;
  auto packet = [&bytes](char id, const std::string& data) {
    bytes += id;
    for (int k = 0; k < 4; ++k) bytes += static_cast<char>((data.size() >> (8 * k)) & 255);
    bytes += data;
  };
  if (!err.empty()) packet(2, err);
  if (!out.empty()) packet(1, out);
  packet(3, std::string(1, static_cast<char>(status)));
  return bytes;
}

// The frame colour every rig's settings start with.
inline constexpr Rgb kFrame = MakeRgb(0xBB, 0x11, 0x22);

// Everything a capture test needs, wired together.
struct CaptureRig {
  CaptureRig() {
    settings.JLpath = u"C:\\tool\\";
    settings.currentFolder = u"C:\\shots\\";
    settings.framecolor = kFrame;
    tool.bitmap = PatternBmp(240, 160, false);
  }
  std::u16string tempBitmap() const { return ctx.tempDir + u"~devshot.bmp"; }
  // The status caption of the last picture shown: the last failure or wait caption drawn.
  const std::u16string& lastCaption() const { return text.drawn.back().first; }

  AppSettings settings;
  CaptureSession session;
  PictureStore pictures;
  RecordingText text;
  FakeClock clock;
  MemoryFiles files;
  FakeTool tool{clock, files};
  ScriptedHost host;
  Picture mark = Picture{20, 20, std::vector<std::uint32_t>(400, 0xFF00FF00u)};
  CaptureContext ctx{settings, session, pictures, text,          clock,
                     files,    tool,    host,     u"C:\\temp\\", &mark};
  // Phones, once withPhones() hands the link to the job.
  FakeAdbServer adb{clock};
  PhoneLink link{adb, clock, tool, files, 5037, {u"C:\\sdk\\adb.exe"}};
  void withPhones(bool loaderThere) {
    ctx.phones = &link;
    if (loaderThere) files.files[settings.JLpath + kToolFileName] = {'M', 'Z'};
  }
};

// The picture the job saved under that name, decoded; empty when there is none.
inline Picture Saved(const CaptureRig& rig, const std::u16string& name) {
  auto it = rig.files.files.find(name);
  if (it == rig.files.files.end()) return {};
  DecodeResult r = DecodeImage(it->second.data(), it->second.size());
  return r.ok ? r.picture : Picture{};
}

// A picture as exec:screencap sends it in RGBX_8888, with the colour-space field.
inline std::string RawOfPicture(const Picture& p) {
  std::string pixels;
  for (std::uint32_t v : p.pixels) {
    pixels += static_cast<char>((v >> 16) & 255);
    pixels += static_cast<char>((v >> 8) & 255);
    pixels += static_cast<char>(v & 255);
    pixels += static_cast<char>(0);
  }
  return RawScreencap(static_cast<std::uint32_t>(p.width), static_cast<std::uint32_t>(p.height),
                      kScreencapRgbx8888, pixels, true);
}

}  // namespace snapdeck::testing

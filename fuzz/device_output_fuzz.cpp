// Whatever the device tool prints, and whenever it prints it, device detection and the
// password check end in bounded time with every run closed, at most four devices, and
// each PIN taken from its own 12-byte record.
//
// The input scripts the tool run by run: for each run, its output in chunks that become
// readable after a delay (or an endless flood), then the user's answer to the question
// that may follow. The clock is fake, so the time limits cost nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capture/detection.h"
#include "imaging/fixed_text.h"
#include "tests/support/fake_clock.h"
#include "tests/support/memory_files.h"

namespace {

using snapdeck::CaptureContext;
using snapdeck::testing::FakeClock;

// Names the broken invariant before aborting, so a crash report says which it was.
#define Check(condition)                                          \
  do {                                                            \
    if (!(condition)) {                                           \
      std::fprintf(stderr, "invariant broken: %s\n", #condition); \
      std::abort();                                               \
    }                                                             \
  } while (false)

struct RunRecord {
  std::u16string parameters;
  std::string output;  // everything the run will ever print, unless it floods
  bool flood = false;  // prints 'x' for ever
  std::size_t readBytes = 0;
  bool closed = false;
};

class ScriptedRun : public snapdeck::ToolRun {
 public:
  // A flood never runs dry; the readers must stop on their own. This many bytes is
  // far beyond what their limits allow.
  static constexpr std::size_t kFloodLimit = std::size_t{4} << 20;

  ScriptedRun(FakeClock& clock, RunRecord& record) : clock_(clock), record_(record) {}
  ~ScriptedRun() override { record_.closed = true; }

  std::size_t outputAvailable() override {
    if (record_.flood && !killed_) return 4096;
    return ready() - record_.readBytes;
  }
  std::size_t read(std::uint8_t* buffer, std::size_t n) override {
    if (record_.flood && !killed_) {
      record_.readBytes += n;
      Check(record_.readBytes < kFloodLimit);
      for (std::size_t i = 0; i < n; ++i) buffer[i] = 'x';
      return n;
    }
    const std::size_t got = std::min(n, ready() - record_.readBytes);
    for (std::size_t i = 0; i < got; ++i)
      buffer[i] = static_cast<std::uint8_t>(record_.output[record_.readBytes + i]);
    record_.readBytes += got;
    return got;
  }
  bool waitEnd(int) override { return true; }
  void kill() override { killed_ = true; }

  std::vector<std::pair<std::uint64_t, std::size_t>> chunks;  // (readable at, end offset)

 private:
  std::size_t ready() const {
    std::size_t end = 0;
    for (const auto& [at, chunkEnd] : chunks)
      if (at <= clock_.now) end = chunkEnd;
    return end;
  }

  FakeClock& clock_;
  RunRecord& record_;
  bool killed_ = false;
};

class ScriptedTool : public snapdeck::ToolRunner {
 public:
  static constexpr std::size_t kMaxRuns = 40;

  ScriptedTool(FakeClock& clock, FuzzedDataProvider& in) : clock_(clock), in_(in) {}

  std::unique_ptr<snapdeck::ToolRun> start(const std::u16string&,
                                           const std::u16string& parameters) override {
    ++starts;
    // Past this the tool "cannot start", which ends every retry loop.
    if (runs.size() >= kMaxRuns || in_.ConsumeIntegralInRange<int>(0, 15) == 0) return nullptr;
    runs.push_back(std::make_unique<RunRecord>());
    RunRecord& record = *runs.back();
    record.parameters = parameters;
    auto run = std::make_unique<ScriptedRun>(clock_, record);
    record.flood = in_.ConsumeIntegralInRange<int>(0, 31) == 31;
    const int chunks = in_.ConsumeIntegralInRange<int>(0, 4);
    std::uint64_t at = clock_.now;
    for (int i = 0; i < chunks; ++i) {
      at += in_.ConsumeIntegralInRange<std::uint64_t>(0, 300);
      record.output += in_.ConsumeRandomLengthString(80);
      run->chunks.push_back({at, record.output.size()});
    }
    return run;
  }

  std::unique_ptr<snapdeck::ToolRun> startDetached(const std::u16string& exe,
                                                   const std::u16string& parameters) override {
    return start(exe, parameters);
  }

  // The device text is fuzzed, not the command line: only a NUL cannot pass.
  bool passesExactly(const std::u16string& text) override {
    return text.find(u'\0') == std::u16string::npos;
  }

  std::vector<std::unique_ptr<RunRecord>> runs;
  std::size_t starts = 0;  // failed starts too

 private:
  FakeClock& clock_;
  FuzzedDataProvider& in_;
};

class ScriptedHost : public snapdeck::CaptureHost {
 public:
  explicit ScriptedHost(FuzzedDataProvider& in) : in_(in) {}
  void showStatusPicture(const snapdeck::Picture&) override {}
  void resizeMainWindow(int, int) override {}
  void setWaitCursor(bool) override {}
  void drawProgress(double value) override { Check(value >= 0 && value <= 100); }
  void pumpOneEvent() override {}
  void pumpAllEvents() override {}
  void clearClipboard() override {}
  bool putOnClipboard(const snapdeck::Picture&) override { return true; }
  void playSound(int) override {}
  void setIncludePinBox(bool, bool) override {}
  // Once the script runs out, every question is declined, so the loops end.
  int ask(int, const std::u16string&, const std::u16string&, const std::u16string&) override {
    return in_.ConsumeBool() ? 20 : 21;
  }
  std::u16string passwordResult() override {
    const std::string p = in_.ConsumeRandomLengthString(12);
    return std::u16string(p.begin(), p.end());
  }

 private:
  FuzzedDataProvider& in_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  snapdeck::AppSettings settings;
  settings.connecttimeout = in.ConsumeIntegralInRange<int>(1, 30);
  settings.passwordtimeout = in.ConsumeIntegralInRange<int>(1, 30);
  snapdeck::CaptureSession session;
  snapdeck::PictureStore pictures;
  snapdeck::FixedMetricsText text;
  FakeClock clock(0);
  snapdeck::testing::MemoryFiles files;  // lists nothing, reads nothing
  ScriptedTool tool(clock, in);
  ScriptedHost host(in);
  CaptureContext ctx{settings, session, pictures, text, clock, files, tool, host, u"C:\\temp\\"};

  const int count = snapdeck::DetectDevices(ctx);
  Check(count >= 0 && count <= snapdeck::kMaxDevices && count == session.count);
  if (count > 0) {
    // The devices come from the last enumeration run, record after record.
    const RunRecord* last = nullptr;
    for (const auto& r : tool.runs)
      if (r->parameters == u"-u enum") last = r.get();
    Check(last != nullptr);
    const std::string output = last->flood ? std::string(48, 'x') : last->output;
    Check(output.size() >= 12u * static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
      const auto* record = reinterpret_cast<const std::uint8_t*>(output.data()) + 12 * (i - 1);
      Check(session.PIN[static_cast<std::size_t>(i)] == snapdeck::PinFromRecord(record, 12));
    }
    const bool answered = snapdeck::CheckPasswords(ctx);
    // The last device whose record the tool can take decides; with none the job goes on.
    std::size_t deciding = static_cast<std::size_t>(count);
    while (deciding > 0 && session.recordRefused[deciding]) --deciding;
    Check(!answered || deciding == 0 || session.deviceAnswered[deciding]);
    if (deciding == 0) Check(answered);
    // A device that did not answer keeps no password: a wrong one is never tried again.
    for (std::size_t i = 1; i <= static_cast<std::size_t>(count); ++i)
      Check(session.deviceAnswered[i] || settings.passwords[i].empty());
  }
  for (const auto& r : tool.runs) Check(r->closed);
  // Every wait is bounded by the cycle limits: about 30 ms per cycle and start.
  const std::uint64_t perRun = 40u * (60 + 2) + 200;
  Check(clock.now <= perRun * (tool.starts + 1) + 1000);
  return 0;
}

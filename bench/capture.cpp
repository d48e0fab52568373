// Capture overhead: the real capture job against the device simulator, timed per shot.
// The job's behaviour prescribes fixed pauses (polling, the closing pause after each run);
// everything above them is the program's own time (starting the tool, waiting for its end,
// reading, decoding, scaling, framing, encoding, saving).
//
// usage: capture [path/to/devicesim/javaloader.exe] [shots per row]
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture/capture_job.h"
#include "imaging/fixed_text.h"
#include "platform/posix/clock_posix.h"
#include "platform/posix/filesystem_posix.h"
#include "platform/posix/runner_posix.h"

namespace {

using namespace snapdeck;
using Seconds = std::chrono::duration<double>;

double Now() { return Seconds(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The real clock, counting the pauses the job asks for.
class CountingClock : public Clock {
 public:
  explicit CountingClock(std::unique_ptr<Clock> real) : real_(std::move(real)) {}
  std::uint64_t nowMs() override { return real_->nowMs(); }
  void sleepMs(int ms) override {
    pausedMs += ms;
    real_->sleepMs(ms);
  }
  long long pausedMs = 0;

 private:
  std::unique_ptr<Clock> real_;
};

// The real runner, timing how long the job waits for the tool to start and to end.
class TimedRunner : public ToolRunner {
 public:
  class Run : public ToolRun {
   public:
    Run(std::unique_ptr<ToolRun> inner, double& waited)
        : inner_(std::move(inner)), waited_(waited) {}
    std::size_t outputAvailable() override { return inner_->outputAvailable(); }
    std::size_t read(std::uint8_t* b, std::size_t n) override { return inner_->read(b, n); }
    bool waitEnd(int ms) override {
      const double t0 = Now();
      const bool ended = inner_->waitEnd(ms);
      waited_ += Now() - t0;
      return ended;
    }
    void kill() override { inner_->kill(); }

   private:
    std::unique_ptr<ToolRun> inner_;
    double& waited_;
  };

  std::unique_ptr<ToolRun> start(const std::u16string& exe, const std::u16string& params) override {
    const double t0 = Now();
    std::unique_ptr<ToolRun> run = real_->start(exe, params);
    toolSeconds += Now() - t0;
    return run ? std::make_unique<Run>(std::move(run), toolSeconds) : nullptr;
  }
  std::unique_ptr<ToolRun> startDetached(const std::u16string& exe,
                                         const std::u16string& params) override {
    return real_->startDetached(exe, params);
  }
  bool passesExactly(const std::u16string& text) override { return real_->passesExactly(text); }
  double toolSeconds = 0;

 private:
  std::unique_ptr<ToolRunner> real_ = MakePosixToolRunner();
};

// A main window that shows nothing and accepts every question's first answer.
class NullHost : public CaptureHost {
 public:
  void showStatusPicture(const Picture&) override {}
  void resizeMainWindow(int, int) override {}
  void setWaitCursor(bool) override {}
  void drawProgress(double) override {}
  void pumpOneEvent() override {}
  void pumpAllEvents() override {}
  void clearClipboard() override {}
  bool putOnClipboard(const Picture&) override { return true; }
  void playSound(int) override {}
  void setIncludePinBox(bool, bool) override {}
  int ask(int, const std::u16string&, const std::u16string&, const std::u16string&) override {
    return 20;
  }
  std::u16string passwordResult() override { return u""; }
};

struct Row {
  const char* name;
  int shotext;
  int shotsize;
  int width;
  int height;
};

struct Stats {
  double mean = 0, median = 0, min = 0, max = 0;
};

Stats Summarise(std::vector<double> v) {
  Stats s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  for (double x : v) s.mean += x;
  s.mean /= static_cast<double>(v.size());
  s.median = v[v.size() / 2];
  s.min = v.front();
  s.max = v.back();
  return s;
}

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

int main(int argc, char** argv) {
  std::string sim = argc > 1 ? argv[1] : "";
  if (sim.empty()) {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    sim = (self.parent_path().parent_path() / "tools/devicesim/javaloader.exe").string();
  }
  const int shots = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  if (!std::filesystem::exists(sim)) {
    std::fprintf(stderr, "device simulator not found: %s\n", sim.c_str());
    return 1;
  }

  const Row rows[] = {
      {"240x160 PNG 100%", 2, 3, 240, 160},  {"240x160 BMP 100%", 0, 3, 240, 160},
      {"240x160 JPEG 100%", 1, 3, 240, 160}, {"240x160 PNG 200%", 2, 5, 240, 160},
      {"480x360 PNG 100%", 2, 3, 480, 360},
  };

  std::printf(
      "| shot | shots | wall ms (median) | pauses ms | tool start+end ms | own ms (median, "
      "min-max) | own CPU ms |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (const Row& row : rows) {
    char pattern[] = "/tmp/snapdeck-bench-XXXXXX";
    const std::string dir = std::string(mkdtemp(pattern)) + "/";
    std::filesystem::copy_file(sim, dir + "javaloader.exe");
    std::filesystem::create_directory(dir + "shots");
    std::ofstream(dir + "devicesim.cfg")
        << "width = " << row.width << "\nheight = " << row.height << "\n";

    AppSettings settings;
    settings.JLpath = U16(dir);
    settings.currentFolder = U16(dir + "shots/");
    settings.shotext = row.shotext;
    settings.shotsize = row.shotsize;
    CaptureSession session;
    PictureStore pictures;
    FixedMetricsText text;
    CountingClock clock(MakePosixClock());
    std::unique_ptr<FileSystem> files = MakePosixFileSystem();
    TimedRunner runner;
    NullHost host;
    CaptureContext ctx{settings, session, pictures, text,     clock,
                       *files,   runner,  host,     U16(dir), nullptr};

    CaptureJob(ctx);  // detection and password check, not counted
    if (!session.deviceSessionReady) {
      std::fprintf(stderr, "%s: the first job failed\n", row.name);
      return 1;
    }
    std::vector<double> wall, paused, tool, own, cpu;
    for (int k = 0; k < shots; ++k) {
      const long long paused0 = clock.pausedMs;
      const double tool0 = runner.toolSeconds;
      const double cpu0 = CpuSeconds();
      const double t0 = Now();
      CaptureJob(ctx);
      const double w = (Now() - t0) * 1000;
      const double p = static_cast<double>(clock.pausedMs - paused0);
      const double t = (runner.toolSeconds - tool0) * 1000;
      wall.push_back(w);
      paused.push_back(p);
      tool.push_back(t);
      own.push_back(w - p - t);
      cpu.push_back((CpuSeconds() - cpu0) * 1000);
    }
    const Stats sw = Summarise(wall), sp = Summarise(paused), st = Summarise(tool),
                so = Summarise(own), sc = Summarise(cpu);
    std::printf("| %s | %d | %.1f | %.0f | %.1f | %.1f (%.1f-%.1f) | %.1f |\n", row.name, shots,
                sw.median, sp.median, st.median, so.median, so.min, so.max, sc.median);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  return 0;
}

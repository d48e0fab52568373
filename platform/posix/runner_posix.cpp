#include "platform/posix/runner_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/text.h"

namespace snapdeck {

namespace {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& o) noexcept {
    if (this != &o) reset(std::exchange(o.fd_, -1));
    return *this;
  }
  ~UniqueFd() { reset(); }
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

bool MakePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  readEnd.reset(fds[0]);
  writeEnd.reset(fds[1]);
  return true;
}

class PosixToolRun final : public ToolRun {
 public:
  PosixToolRun(pid_t pid, UniqueFd output) : pid_(pid), output_(std::move(output)) {}
  PosixToolRun(const PosixToolRun&) = delete;
  PosixToolRun& operator=(const PosixToolRun&) = delete;

  ~PosixToolRun() override {
    output_.reset();
    // Leave no zombie: a child still running here is not wanted any more.
    if (!reaped_) {
      kill();
      reap(true);
    }
  }

  std::size_t outputAvailable() override {
    int n = 0;
    if (output_.get() < 0 || ::ioctl(output_.get(), FIONREAD, &n) != 0 || n < 0) return 0;
    return static_cast<std::size_t>(n);
  }

  std::size_t read(std::uint8_t* buffer, std::size_t n) override {
    std::size_t got = 0;
    while (got < n && output_.get() >= 0) {
      const ssize_t r = ::read(output_.get(), buffer + got, n - got);
      if (r > 0) {
        got += static_cast<std::size_t>(r);
      } else if (r < 0 && errno == EINTR) {
        continue;
      } else {
        break;  // end of output or a broken pipe
      }
    }
    return got;
  }

  bool waitEnd(int milliseconds) override {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    for (;;) {
      if (reap(false)) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      const timespec pause{0, 2 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
  }

  void kill() override {
    // After reaping, the pid may already belong to another process.
    if (!reaped_) ::kill(pid_, SIGKILL);
  }

 private:
  // True once the child has ended and been reaped.
  bool reap(bool block) {
    if (reaped_) return true;
    for (;;) {
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
      if (r == pid_) {
        reaped_ = true;
        return true;
      }
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) reaped_ = true;  // not our child any more: nothing left to reap
      return reaped_;
    }
  }

  pid_t pid_;
  UniqueFd output_;
  bool reaped_ = false;
};

class PosixToolRunner final : public ToolRunner {
 public:
  std::unique_ptr<ToolRun> start(const std::u16string& exePath,
                                 const std::u16string& parameters) override {
    return startRun(exePath, parameters, false);
  }

  std::unique_ptr<ToolRun> startDetached(const std::u16string& exePath,
                                         const std::u16string& parameters) override {
    return startRun(exePath, parameters, true);
  }

  bool passesExactly(const std::u16string& text) override {
    // An argument ends at a NUL, and an unpaired surrogate has no UTF-8 form.
    return text.find(u'\0') == std::u16string::npos && Utf8ToUtf16(Utf16ToUtf8(text)) == text;
  }

 private:
  // detached: the tool gets a session of its own, so what it starts is no part of ours
  // (a terminal's hang-up or interrupt); killing the run ends the tool alone either way.
  static std::unique_ptr<ToolRun> startRun(const std::u16string& exePath,
                                           const std::u16string& parameters, bool detached) {
    // Everything the child needs is prepared before fork: after it only
    // async-signal-safe calls are allowed.
    std::vector<std::string> args;
    args.push_back(Utf16ToUtf8(exePath));
    for (const std::u16string& a : SplitCommandLine(parameters)) args.push_back(Utf16ToUtf8(a));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    UniqueFd outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) return nullptr;

    const pid_t pid = ::fork();
    if (pid < 0) return nullptr;
    if (pid == 0) {
      // The parent may ignore SIGPIPE; the tool gets the default behaviour.
      ::signal(SIGPIPE, SIG_DFL);
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      if (detached) ::setsid();
      if (::dup2(outWrite.get(), STDOUT_FILENO) < 0) ::_exit(127);
      ::execv(argv[0], argv.data());
      const int err = errno;
      ssize_t ignored = ::write(errWrite.get(), &err, sizeof err);
      (void)ignored;
      ::_exit(127);
    }
    outWrite.reset();
    errWrite.reset();
    // The exec-error pipe closes on a successful exec and carries errno otherwise.
    int err = 0;
    ssize_t r;
    do {
      r = ::read(errRead.get(), &err, sizeof err);
    } while (r < 0 && errno == EINTR);
    auto run = std::make_unique<PosixToolRun>(pid, std::move(outRead));
    if (r > 0) return nullptr;  // the run's destructor reaps the failed child
    return run;
  }
};

}  // namespace

std::unique_ptr<ToolRunner> MakePosixToolRunner() { return std::make_unique<PosixToolRunner>(); }

std::vector<std::u16string> SplitCommandLine(const std::u16string& text) {
  std::vector<std::u16string> args;
  std::size_t i = 0;
  const std::size_t n = text.size();
  for (;;) {
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i >= n) break;
    std::u16string arg;
    bool quoted = false;
    while (i < n) {
      const char16_t c = text[i];
      if (!quoted && (c == u' ' || c == u'\t')) break;
      if (c == u'\\') {
        std::size_t backslashes = 0;
        while (i < n && text[i] == u'\\') {
          ++backslashes;
          ++i;
        }
        if (i < n && text[i] == u'"') {
          arg.append(backslashes / 2, u'\\');
          if (backslashes % 2 == 1) {
            arg += u'"';
            ++i;
          }
        } else {
          arg.append(backslashes, u'\\');
        }
        continue;
      }
      if (c == u'"') {
        if (quoted && i + 1 < n && text[i + 1] == u'"') {
          // "" inside quotes is a literal quote (C runtime since 2008).
          arg += u'"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace snapdeck

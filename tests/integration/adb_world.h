// Android's real adb server and simulated phones as child processes of a test, each
// ended (and only it) when its owner goes. The server gets its own port and its own HOME,
// where it keeps the key it creates.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace snapdeck::testing {

inline constexpr char kPhoneSimulator[] = SNAPDECK_BINARY_DIR "/tools/devicesim/phonesim";

// A child whose standard output is a pipe to us; standard error goes to errorFile, or
// to ours when it is empty.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
        const std::string& errorFile = {}) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      bool replaced = false;
      for (const std::string& x : extraEnv) {
        replaced = replaced || entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
      }
      if (!replaced) env.push_back(entry);
    }
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!errorFile.empty()) {
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                       O_WRONLY | O_CREAT | O_APPEND, 0644);
    }
    if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
  }
  ~Child() {
    end();
    if (out_ >= 0) ::close(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  bool running() {
    if (pid_ <= 0 || exited_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return !exited_;
  }
  // The exit code once it ended within timeoutMs, else -1.
  int waitExit(int timeoutMs) {
    WaitUntil([&] { return !running(); }, timeoutMs, 5);
    return exited_ ? code_ : -1;
  }
  // SIGTERM, and SIGKILL when it has not gone after a while; always reaped.
  void end() {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    if (waitExit(5000) < 0 && running()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      exited_ = true;
    }
  }
  // Everything the child writes until it closes its output or the time runs out.
  std::string readAll(int timeoutMs) {
    std::string text;
    read(text, timeoutMs, false);
    return text;
  }
  // The first line of its output, without the line end; empty on timeout.
  std::string readLine(int timeoutMs) {
    std::string text;
    read(text, timeoutMs, true);
    const std::size_t nl = text.find('\n');
    return nl == std::string::npos ? std::string() : text.substr(0, nl);
  }

 private:
  void read(std::string& text, int timeoutMs, bool oneLine) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out_ >= 0 && !(oneLine && text.find('\n') != std::string::npos)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return;
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      // One byte at a time for a line, so nothing after it is taken from the pipe.
      const ssize_t n = ::read(out_, buffer, oneLine ? 1 : sizeof buffer);
      if (n <= 0) return;
      text.append(buffer, static_cast<std::size_t>(n));
    }
  }

  pid_t pid_ = -1;
  int out_ = -1;
  bool exited_ = false;
  int code_ = -1;
};

// A loopback port that nothing listened on a moment ago.
inline std::uint16_t FreeLoopbackPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  std::uint16_t port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(s);
  return port;
}

inline int ConnectLoopback(std::uint16_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return s;
  ::close(s);
  return -1;
}

inline bool AcceptsConnections(std::uint16_t port) {
  const int s = ConnectLoopback(port);
  if (s >= 0) ::close(s);
  return s >= 0;
}

// One host query written out by hand, so the scaffolding does not lean on the client
// under test, nor on the adb command line, which would start a server of its own when
// ours has gone. Everything the server answered until it closed, or empty.
inline std::string HostQuery(std::uint16_t port, const std::string& service) {
  const int s = ConnectLoopback(port);
  if (s < 0) return {};
  char length[8];
  std::snprintf(length, sizeof length, "%04x", static_cast<unsigned>(service.size()));
  const std::string request = length + service;
  std::string answer;
  timeval limit{10, 0};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (::send(s, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(s, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(s);
  return answer;
}

// One simulated phone, set up by phonesim's key=value settings.
class SimulatedPhone {
 public:
  explicit SimulatedPhone(const std::vector<std::string>& settings)
      : child_(Args(settings), {}) {
    const std::string line = child_.readLine(10000);
    const std::size_t colon = line.rfind(':');
    if (line.rfind("listening on ", 0) == 0 && colon != std::string::npos) {
      port_ = static_cast<std::uint16_t>(std::stoi(line.substr(colon + 1)));
    }
  }
  bool ready() const { return port_ != 0; }
  std::uint16_t port() const { return port_; }
  std::string serial() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  static std::vector<std::string> Args(const std::vector<std::string>& settings) {
    std::vector<std::string> a{kPhoneSimulator, "--config", "/dev/null"};
    a.insert(a.end(), settings.begin(), settings.end());
    return a;
  }
  Child child_;
  std::uint16_t port_ = 0;
};

// The real adb server on a port and in a HOME of its own.
class AdbServer {
 public:
  AdbServer() : home_("snapdeck-adb-home") {
    // A port taken between the choice and the start makes the server end at once: retry.
    for (int attempt = 0; attempt < 3 && !ready_; ++attempt) {
      port_ = FreeLoopbackPort();
      server_ = std::make_unique<Child>(
          std::vector<std::string>{"adb", "-P", std::to_string(port_), "nodaemon", "server"},
          env(), (home_.path() / "server.log").string());
      ready_ = server_->started() &&
               WaitUntil([&] { return !server_->running() || AcceptsConnections(port_); }, 15000, 20) &&
               server_->running();
      if (!ready_) server_.reset();
    }
  }
  ~AdbServer() {
    if (server_ && server_->running()) {
      Child stop({"adb", "-P", std::to_string(port_), "kill-server"}, env());
      stop.waitExit(10000);
    }
  }
  AdbServer(const AdbServer&) = delete;
  AdbServer& operator=(const AdbServer&) = delete;

  bool ready() const { return ready_; }
  std::uint16_t port() const { return port_; }

  // What the adb command line prints for these arguments, run against this server.
  std::string adb(const std::vector<std::string>& args, int timeoutMs = 15000) {
    if (!server_ || !server_->running()) return {};
    std::vector<std::string> all{"adb", "-P", std::to_string(port_)};
    all.insert(all.end(), args.begin(), args.end());
    Child c(all, env());
    std::string out = c.readAll(timeoutMs);
    c.end();
    return out;
  }

  // The state `adb devices` shows for the serial, or empty.
  std::string stateOf(const std::string& serial) {
    const std::string list = HostQuery(port_, "host:devices");
    const std::size_t at = list.find(serial + "\t");
    if (at == std::string::npos) return {};
    const std::size_t from = at + serial.size() + 1;
    return list.substr(from, list.find('\n', from) - from);
  }

  // adb connect, then waits until the server lists the phone in that state.
  bool connect(const SimulatedPhone& phone, const std::string& state = "device") {
    if (!phone.ready()) return false;
    HostQuery(port_, "host:connect:" + phone.serial());
    return WaitUntil([&] { return stateOf(phone.serial()) == state; }, 15000, 50);
  }

 private:
  std::vector<std::string> env() const { return {"HOME=" + home_.path().string()}; }

  TempFolder home_;
  std::uint16_t port_ = 0;
  std::unique_ptr<Child> server_;
  bool ready_ = false;
};

}  // namespace snapdeck::testing

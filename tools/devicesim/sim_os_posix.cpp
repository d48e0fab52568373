#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

#include "sim_os.h"

namespace devicesim {

namespace {
std::string g_argv0;
}

std::string SelfDirectory() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : g_argv0;
  const std::size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? std::string("./") : path.substr(0, cut + 1);
}

bool WriteOut(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t r = ::write(STDOUT_FILENO, data, size);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    data += r;
    size -= static_cast<std::size_t>(r);
  }
  return true;
}

void WriteErr(const std::string& text) {
  ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
  (void)ignored;
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  return std::fopen(utf8Path.c_str(), mode);
}

void SleepMs(int ms) {
  timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

std::string RawCommandLine() { return {}; }

unsigned long StartChild() { return 0; }

namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

unsigned long StartServer(int port) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid > 0 ? static_cast<unsigned long>(pid) : 0;
  // As adb's server: a session of its own, holding nothing of its starter's output.
  ::setsid();
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
  }
  ::_exit(Serve(port));
}

bool Listens(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_in address = Loopback(port);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

int Serve(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in address = Loopback(port);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 8) != 0) {
    return 1;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) > 0) {
      const int c = ::accept(fd, nullptr, nullptr);
      if (c >= 0) ::close(c);
    }
  }
  ::close(fd);
  return 0;
}

}  // namespace devicesim

int main(int argc, char** argv) {
  // A reader that went away ends the simulator through a failed write.
  ::signal(SIGPIPE, SIG_IGN);
  if (argc > 0) devicesim::g_argv0 = argv[0];
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return devicesim::Run(args);
}

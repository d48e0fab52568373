#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

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

}  // namespace devicesim

int main(int argc, char** argv) {
  // A reader that went away ends the simulator through a failed write.
  ::signal(SIGPIPE, SIG_IGN);
  if (argc > 0) devicesim::g_argv0 = argv[0];
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return devicesim::Run(args);
}

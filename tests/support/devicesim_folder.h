// A private folder holding a copy of the device simulator and its configuration, so each
// test drives its own "device" through a real runner; the reading of what it printed and
// logged; and, natively, the simulator built beside the tests and a check that none of its
// runs outlives a test.
#pragma once

#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "tests/support/temp_folder.h"

namespace snapdeck::testing {

class DevicesimFolder {
 public:
  // simulator: the built javaloader.exe to copy. The configuration also logs every run to
  // devicesim.log.
  DevicesimFolder(const std::filesystem::path& simulator, const std::string& config,
                  const std::string& prefix = "snapdeck-devsim")
      : folder_(prefix) {
    std::error_code ec;
    ready_ = std::filesystem::copy_file(simulator, folder_.path() / "javaloader.exe", ec);
    std::filesystem::permissions(folder_.path() / "javaloader.exe",
                                 std::filesystem::perms::owner_all, ec);
    std::ofstream(folder_.path() / "devicesim.cfg", std::ios::binary) << "log = devicesim.log\n"
                                                                      << config;
  }

  bool ready() const { return ready_; }
  // Ends with a separator, as JLpath and tempDir do.
  std::filesystem::path::string_type dir() const { return (folder_.path() / "").native(); }
  std::u16string dir16() const { return folder_.dir16(); }
  std::u16string tool16() const { return folder_.file16("javaloader.exe"); }

  // Lines of the simulator's log that start with prefix, without it.
  std::vector<std::string> logLines(const std::string& prefix) const {
    std::ifstream in(folder_.path() / "devicesim.log", std::ios::binary);
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
    }
    return out;
  }

  // The argument lists of every run, unescaped from the log.
  std::vector<std::vector<std::string>> runs() const {
    std::vector<std::vector<std::string>> out;
    for (const std::string& line : logLines("")) {
      if (line == "run") {
        out.emplace_back();
      } else if (line.rfind("arg ", 0) == 0 && !out.empty()) {
        out.back().push_back(Unescape(line.substr(4)));
      }
    }
    return out;
  }

 private:
  static std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\') {
        out += '\\';
        ++i;
      } else if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
        out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        out += s[i];
      }
    }
    return out;
  }

  TempFolder folder_;
  bool ready_ = false;
};

// Everything the run prints until its output ends.
inline std::string ReadAll(ToolRun& run) {
  std::string out;
  std::uint8_t block[256];
  std::size_t n;
  while ((n = run.read(block, sizeof block)) > 0) out.append(block, block + n);
  return out;
}

#ifndef _WIN32
// True when no simulator started by this process is left, running or as a zombie.
inline bool NoChildLeft() {
  const std::string self = std::to_string(::getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    // pid (comm) state ppid ...
    const std::size_t close = stat.rfind(')');
    const std::size_t open = stat.find('(');
    if (close == std::string::npos || open == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    std::string state, ppid;
    rest >> state >> ppid;
    if (ppid == self && stat.substr(open + 1, close - open - 1) == "javaloader.exe") return false;
  }
  return true;
}
#endif

#ifdef SNAPDECK_BINARY_DIR
// The simulator built natively beside these tests.
inline constexpr char kNativeSimulator[] = SNAPDECK_BINARY_DIR "/tools/devicesim/javaloader.exe";
#endif

}  // namespace snapdeck::testing

// A private folder holding a copy of the device simulator and its configuration, so each
// test drives its own "device" through the real runner.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace snapdeck::testing {

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

class DevicesimFolder {
 public:
  explicit DevicesimFolder(const std::string& config) {
    char pattern[] = "/tmp/snapdeck-devsim-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    dir_ = made ? made : "";
    std::filesystem::copy_file(SNAPDECK_BINARY_DIR "/tools/devicesim/javaloader.exe",
                               dir_ + "/javaloader.exe");
    ::chmod((dir_ + "/javaloader.exe").c_str(), 0755);
    std::ofstream(dir_ + "/devicesim.cfg") << "log = devicesim.log\n" << config;
  }
  ~DevicesimFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  DevicesimFolder(const DevicesimFolder&) = delete;
  DevicesimFolder& operator=(const DevicesimFolder&) = delete;

  // Ends with a slash, as JLpath and tempDir do.
  std::string dir() const { return dir_ + "/"; }
  std::u16string dir16() const {
    const std::string d = dir();
    return std::u16string(d.begin(), d.end());
  }
  std::u16string tool16() const { return dir16() + u"javaloader.exe"; }

  // The argument lists of every run, unescaped from the simulator's log.
  std::vector<std::vector<std::string>> runs() const {
    std::vector<std::vector<std::string>> out;
    std::ifstream in(dir_ + "/devicesim.log");
    std::string line;
    while (std::getline(in, line)) {
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

  std::string dir_;
};

}  // namespace snapdeck::testing

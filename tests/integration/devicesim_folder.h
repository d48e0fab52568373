// The native device simulator for the integration tests, and a check that none of its
// runs outlives a test.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/devicesim_folder.h"

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

// The simulator built natively beside these tests.
inline constexpr char kNativeSimulator[] = SNAPDECK_BINARY_DIR "/tools/devicesim/javaloader.exe";

}  // namespace snapdeck::testing

// Command-line helpers shared by the benchmark programs.
#pragma once

#include <cstdlib>

namespace bench {

// A whole decimal number from lo to hi.
inline bool ParseInt(const char* s, int lo, int hi, int& out) {
  char* end = nullptr;
  const long v = std::strtol(s, &end, 10);
  if (end == s || *end != 0 || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace bench

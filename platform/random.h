// Source of unpredictable bytes (the operating system's generator).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace snapdeck {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual std::uint8_t nextByte() = 0;
};

// The system generator: getrandom or /dev/urandom on POSIX, RtlGenRandom on Windows.
// Implemented once per platform (platform/posix, platform/win32).
std::unique_ptr<RandomSource> MakeSystemRandom();

}  // namespace snapdeck

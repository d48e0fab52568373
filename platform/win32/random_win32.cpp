#include <windows.h>
// ntsecapi.h needs the types of windows.h first.
#include <ntsecapi.h>

#include "platform/random.h"

namespace snapdeck {
namespace {

class Win32Random final : public RandomSource {
 public:
  std::uint8_t nextByte() override {
    if (next_ >= sizeof(buffer_)) refill();
    return buffer_[next_++];
  }

 private:
  void refill() {
    next_ = 0;
    if (RtlGenRandom(buffer_, sizeof(buffer_))) return;
    // No generator: the bytes only vary stored texts, so a tick-seeded mix will do.
    std::uint64_t x = GetTickCount64() ^ (counter_ += 0x9E3779B97F4A7C15ull) ^
                      (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32);
    for (std::uint8_t& b : buffer_) {
      x ^= x >> 33;
      x *= 0xFF51AFD7ED558CCDull;
      x ^= x >> 29;
      b = static_cast<std::uint8_t>(x >> 56);
    }
  }

  std::uint8_t buffer_[64] = {};
  std::size_t next_ = sizeof(buffer_);
  std::uint64_t counter_ = 0;
};

}  // namespace

std::unique_ptr<RandomSource> MakeSystemRandom() { return std::make_unique<Win32Random>(); }

}  // namespace snapdeck

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/random.h"

namespace snapdeck {
namespace {

class PosixRandom final : public RandomSource {
 public:
  std::uint8_t nextByte() override {
    if (next_ >= filled_) refill();
    return buffer_[next_++];
  }

 private:
  void refill() {
    next_ = 0;
    filled_ = 0;
    while (filled_ < sizeof(buffer_)) {
      const ssize_t got = getrandom(buffer_ + filled_, sizeof(buffer_) - filled_, 0);
      if (got > 0) {
        filled_ += static_cast<std::size_t>(got);
      } else if (got < 0 && errno == EINTR) {
        continue;
      } else {
        break;
      }
    }
    if (filled_ == sizeof(buffer_)) return;
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      while (filled_ < sizeof(buffer_)) {
        const ssize_t got = ::read(fd, buffer_ + filled_, sizeof(buffer_) - filled_);
        if (got > 0) {
          filled_ += static_cast<std::size_t>(got);
        } else if (!(got < 0 && errno == EINTR)) {
          break;
        }
      }
      ::close(fd);
    }
    if (filled_ == sizeof(buffer_)) return;
    // No generator at all: the bytes only vary stored texts, so a time-seeded mix will do.
    std::uint64_t x =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (counter_ += 0x9E3779B97F4A7C15ull);
    for (std::size_t i = filled_; i < sizeof(buffer_); ++i) {
      x ^= x >> 33;
      x *= 0xFF51AFD7ED558CCDull;
      x ^= x >> 29;
      buffer_[i] = static_cast<std::uint8_t>(x >> 56);
    }
    filled_ = sizeof(buffer_);
  }

  std::uint8_t buffer_[64] = {};
  std::size_t filled_ = 0;
  std::size_t next_ = 0;
  std::uint64_t counter_ = 0;
};

}  // namespace

std::unique_ptr<RandomSource> MakeSystemRandom() { return std::make_unique<PosixRandom>(); }

}  // namespace snapdeck

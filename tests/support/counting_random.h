// Random bytes that are the same in every run: 0, 1, 2, ...
#pragma once

#include <cstdint>

#include "platform/random.h"

namespace snapdeck::testing {

class CountingRandom final : public RandomSource {
 public:
  std::uint8_t nextByte() override { return next_++; }

 private:
  std::uint8_t next_ = 0;
};

}  // namespace snapdeck::testing

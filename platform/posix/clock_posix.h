#pragma once

#include <memory>

#include "platform/ports.h"

namespace snapdeck {

// Monotonic milliseconds and real sleeping.
std::unique_ptr<Clock> MakePosixClock();

}  // namespace snapdeck

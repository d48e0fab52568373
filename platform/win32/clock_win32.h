#pragma once

#include <memory>

#include "platform/ports.h"

namespace snapdeck {

// Tick count and Sleep.
std::unique_ptr<Clock> MakeWin32Clock();

}  // namespace snapdeck

// The device tool as a hidden Windows process with its standard output on a pipe.
#pragma once

#include <memory>

#include "platform/ports.h"

namespace snapdeck {

std::unique_ptr<ToolRunner> MakeWin32ToolRunner();

}  // namespace snapdeck

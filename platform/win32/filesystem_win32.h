#pragma once

#include <memory>

#include "platform/ports.h"

namespace snapdeck {

// Files through the wide-character Win32 API.
std::unique_ptr<FileSystem> MakeWin32FileSystem();

}  // namespace snapdeck

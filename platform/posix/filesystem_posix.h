#pragma once

#include <memory>

#include "platform/ports.h"

namespace snapdeck {

// Paths are UTF-16 in the logic and UTF-8 on disk; "\" is taken as a separator and
// becomes "/", so logic that builds Windows paths also runs natively.
std::unique_ptr<FileSystem> MakePosixFileSystem();

// The UTF-8 path the POSIX file system uses for a logic path.
std::string PosixPath(const std::u16string& path);

}  // namespace snapdeck

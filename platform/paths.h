// The program's own paths, split and completed the way every folder setting expects them.
#pragma once

#include <string>

namespace snapdeck {

// The first non-empty of the system's temporary folder, the "tmp" variable and the
// program folder, ending with "\".
std::u16string TempDirFrom(const std::u16string& systemTemp, const std::u16string& envTmp,
                           const std::u16string& programDir);

// Splits after the last "\" or "/". The folder always ends with "\"; a path without
// any separator gets the current folder ".\".
void SplitProgramPath(const std::u16string& fullPath, std::u16string& programFile,
                      std::u16string& programDir);

}  // namespace snapdeck

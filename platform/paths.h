// Paths split at their last separator, and the program's own paths completed the way
// every folder setting expects them: ending with "\".
#pragma once

#include <string>

namespace snapdeck {

// Splits after the last "\" or "/": the folder keeps that separator (empty when there is
// none), the file is the rest.
void SplitPath(const std::u16string& path, std::u16string& folder, std::u16string& file);

// The first non-empty of the system's temporary folder, the "tmp" variable and the
// program folder, ending with "\".
std::u16string TempDirFrom(const std::u16string& systemTemp, const std::u16string& envTmp,
                           const std::u16string& programDir);

// As SplitPath, but the folder always ends with "\"; a path without any separator gets
// the current folder ".\".
void SplitProgramPath(const std::u16string& fullPath, std::u16string& programFile,
                      std::u16string& programDir);

}  // namespace snapdeck

// The device tool as a POSIX child process: fork/exec with its standard output on a pipe.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ports.h"

namespace snapdeck {

std::unique_ptr<ToolRunner> MakePosixToolRunner();

// Splits parameter text into arguments by the Windows C runtime's rules, so a child on
// POSIX receives the same argv as the tool would on Windows.
std::vector<std::u16string> SplitCommandLine(const std::u16string& text);

}  // namespace snapdeck

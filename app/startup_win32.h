// The program from its entry to its end: start-up, the main loop, shutdown.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "shell/program_info.h"

namespace snapdeck::win32 {

// Screen metrics and the desktop work area as the operating system reports them.
ScreenMetrics ReadScreenMetrics();
// programFile, programDir and tempDir of the running executable.
void ReadProgramPaths(ProgramInfo& info);

// What the executable's build fixed about updates, set before RunProgram: the maker's
// public key as 128 hex digits (empty: none, so no update is installed) and whether
// SNAPDECK_UPDATE_URL in the environment replaces the built-in address (test builds).
// The text is a literal that outlives the program.
void SetUpdateBuild(std::string_view keyHex, bool addressFromEnvironment);

// Runs the whole program; the exit code is always 0.
int RunProgram(HINSTANCE instance);

}  // namespace snapdeck::win32

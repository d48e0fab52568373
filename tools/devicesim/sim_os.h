// The little the simulator needs from the operating system.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace devicesim {

// Folder of the running executable, UTF-8, ending with a separator.
std::string SelfDirectory();
// Writes to standard output unbuffered; false once the reader has gone.
bool WriteOut(const char* data, std::size_t size);
void WriteErr(const std::string& text);
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);
void SleepMs(int ms);
// The raw command line when the system has one (Windows), else empty.
std::string RawCommandLine();
// Starts a copy of the simulator with the single argument kChildArgument, inheriting this
// run's handles (its standard output too); its process id, or 0. Windows only.
unsigned long StartChild();
inline constexpr char kChildArgument[] = "--idle-child";

// The stand-in for adb's server: `-P PORT start-server` starts a copy of the simulator as
// a server of its own (as adb does: a new process that inherits no handle), which
// listens on 127.0.0.1:PORT. Its process id, or 0.
unsigned long StartServer(int port);
inline constexpr char kServerArgument[] = "--server";
// True when something accepts a connection on 127.0.0.1:port.
bool Listens(int port);
// The server: accepts and closes connections on 127.0.0.1:port for two minutes at most,
// so a failed test leaves nothing running for long. 1 when it cannot listen.
int Serve(int port);

#ifdef _WIN32
std::string NarrowText(const wchar_t* text, int length);  // UTF-16 to UTF-8
#endif

// The simulator proper; args excludes the program name.
int Run(const std::vector<std::string>& args);

}  // namespace devicesim

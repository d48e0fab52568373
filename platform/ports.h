// Narrow interfaces through which the portable logic reaches time, files and the
// device tool. Windows implementations live in platform/win32, POSIX ones in
// platform/posix, and tests pass fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace snapdeck {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint64_t nowMs() = 0;
  virtual void sleepMs(int ms) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Size in bytes of a regular file, or -1 when it is missing or not a file.
  virtual std::int64_t fileSize(const std::u16string& path) = 0;
  // Reads the whole file; fails when it is missing, unreadable or larger than maxBytes.
  virtual bool readFile(const std::u16string& path, std::vector<std::uint8_t>& out,
                        std::size_t maxBytes) = 0;
  // Creates or overwrites the file with exactly these bytes.
  virtual bool writeFile(const std::u16string& path, const std::vector<std::uint8_t>& data) = 0;
  // Writes beside the file and then replaces it, so a failure leaves the old file intact.
  virtual bool replaceFile(const std::u16string& path, const std::vector<std::uint8_t>& data) = 0;
  virtual bool deleteFile(const std::u16string& path) = 0;
  // Names (without folder) of the regular files in folder matching a Windows-style
  // wildcard pattern (* and ?, case-insensitive). Empty when the folder cannot be listed.
  virtual std::vector<std::u16string> listFiles(const std::u16string& folder,
                                                const std::u16string& pattern) = 0;
};

// One run of the device tool. Destroying it closes the process and pipe handles.
class ToolRun {
 public:
  virtual ~ToolRun() = default;
  // Bytes that can be read without waiting; never blocks.
  virtual std::size_t outputAvailable() = 0;
  // Reads exactly n bytes, waiting while the pipe is open; fewer only at end of output.
  virtual std::size_t read(std::uint8_t* buffer, std::size_t n) = 0;
  // True when the process ended within the given time.
  virtual bool waitEnd(int milliseconds) = 0;
  virtual void kill() = 0;
};

class ToolRunner {
 public:
  virtual ~ToolRunner() = default;
  // Starts exePath with the command line "\"exePath\" " + parameters, hidden, with its
  // standard output on a pipe. Null when it cannot be started.
  virtual std::unique_ptr<ToolRun> start(const std::u16string& exePath,
                                         const std::u16string& parameters) = 0;
  // The same for a tool that launches a program meant to outlive it (adb start-server
  // and its server): what the tool starts is not tied to the run and lives on as when a
  // user types the command; kill and the run's end stop only the tool itself.
  virtual std::unique_ptr<ToolRun> startDetached(const std::u16string& exePath,
                                                 const std::u16string& parameters) = 0;
  // True when text put into the command line reaches the tool exactly as it is. A device
  // password that would arrive changed must never be tried: every wrong try counts
  // towards the handheld's wipe limit.
  virtual bool passesExactly(const std::u16string& text) = 0;
};

}  // namespace snapdeck

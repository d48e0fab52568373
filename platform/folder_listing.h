// What the screenshot catalogue and the thumbnail column read from a folder: its files
// with their last-write times, and the first bytes of a file (for the picture size).
// Kept apart from FileSystem because only the viewer needs either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace snapdeck {

struct StampedFile {
  std::u16string name;     // without the folder
  std::int64_t localTime;  // last write, local time, seconds since 1970-01-01 00:00
  bool timeKnown;          // false when the time could not be read
  std::uint64_t bytes = 0;  // the file's size
};

class FolderReader {
 public:
  virtual ~FolderReader() = default;
  // The regular files of the folder in the order the system lists them; false (and no
  // files) when the folder cannot be listed.
  virtual bool list(const std::u16string& folder, std::vector<StampedFile>& files) = 0;
  // The first bytes of a file, at most maxBytes (fewer when the file is shorter); false
  // when it cannot be opened or read.
  virtual bool readHead(const std::u16string& path, std::size_t maxBytes,
                        std::vector<std::uint8_t>& out) = 0;
};

// The system's reader (Win32 or POSIX, whichever this build is for).
std::unique_ptr<FolderReader> MakeFolderReader();

}  // namespace snapdeck

// Files in memory for the portable logic's tests, with switches for the failures the
// logic must survive.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "platform/wildcard.h"

namespace snapdeck::testing {

class MemoryFiles : public FileSystem {
 public:
  std::int64_t fileSize(const std::u16string& path) override {
    auto it = files.find(path);
    return it == files.end() ? -1 : static_cast<std::int64_t>(it->second.size());
  }
  bool readFile(const std::u16string& path, std::vector<std::uint8_t>& out,
                std::size_t maxBytes) override {
    lastReadLimit = maxBytes;
    auto it = files.find(path);
    if (it == files.end() || it->second.size() > maxBytes) return false;
    if (locked.count(path) != 0) return false;
    out = it->second;
    return true;
  }
  bool writeFile(const std::u16string& path, const std::vector<std::uint8_t>& data) override {
    if (diskFull) {
      // Opening for writing emptied the file before the write failed.
      if (files.count(path) != 0) files[path].clear();
      return false;
    }
    if (failWrites) return false;
    if (!missingFolder.empty() && path.rfind(missingFolder, 0) == 0) return false;
    files[path] = data;
    return true;
  }
  bool replaceFile(const std::u16string& path, const std::vector<std::uint8_t>& data) override {
    if (diskFull) return false;  // the work file beside it could not be written
    return writeFile(path, data);
  }
  bool deleteFile(const std::u16string& path) override {
    ++deleteAttempts;
    if (undeletable.count(path) != 0) return false;
    return files.erase(path) > 0;
  }
  // Lists the names given in `folders`; a folder not named there cannot be listed.
  std::vector<std::u16string> listFiles(const std::u16string& folder,
                                        const std::u16string& pattern) override {
    lastPattern = pattern;
    std::vector<std::u16string> out;
    auto it = folders.find(folder);
    if (it == folders.end()) return out;
    for (const auto& name : it->second) {
      if (WildcardMatch(pattern, name)) out.push_back(name);
    }
    return out;
  }

  std::map<std::u16string, std::vector<std::uint8_t>> files;
  std::map<std::u16string, std::vector<std::u16string>> folders;
  bool failWrites = false;
  bool diskFull = false;
  std::u16string missingFolder;  // writes below it fail
  std::set<std::u16string> undeletable;
  std::set<std::u16string> locked;  // there, but another program holds them: reads fail
  int deleteAttempts = 0;
  std::size_t lastReadLimit = 0;
  std::u16string lastPattern;
};

}  // namespace snapdeck::testing

// A file system that only lists folders held in memory; an unknown folder cannot be listed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "platform/wildcard.h"

namespace snapdeck {

class ListingFileSystem final : public FileSystem {
 public:
  std::map<std::u16string, std::vector<std::u16string>> folders;
  std::u16string lastPattern;

  std::int64_t fileSize(const std::u16string&) override { return -1; }
  bool readFile(const std::u16string&, std::vector<std::uint8_t>&, std::size_t) override {
    return false;
  }
  bool writeFile(const std::u16string&, const std::vector<std::uint8_t>&) override { return false; }
  bool replaceFile(const std::u16string&, const std::vector<std::uint8_t>&) override {
    return false;
  }
  bool deleteFile(const std::u16string&) override { return false; }
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
};

}  // namespace snapdeck

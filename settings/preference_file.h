// The key = value text file that holds the settings. The reader accepts hand-edited
// files (Latin-1 or UTF-8 with a byte-order mark, comments, groups, any key case);
// the writer produces UTF-8 with a byte-order mark and one "key = value" line per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ports.h"

namespace snapdeck {

// The C library's atoi over UTF-16: leading blanks, an optional sign, decimal digits up
// to the first other character; no digits give 0. Out-of-range values saturate.
std::int32_t TextToNumber(std::u16string_view text);

class PreferenceFile {
 public:
  // Larger files are treated as unreadable.
  static constexpr std::size_t kMaxFileBytes = 1u << 20;

  // Reads the whole file. A missing, unreadable or oversized file leaves no entries, so
  // every read returns its default; the result tells whether the file was read.
  bool open(FileSystem& fs, const std::u16string& path);
  // Starts with no entries; close() then writes the file anew.
  void create(FileSystem& fs, const std::u16string& path);
  // Writes the entries back when anything was written since open or create, then forgets
  // everything. False when that write failed (the old file then stays as it was).
  bool close();

  // Replaces the entries with those of a file's bytes.
  void parse(const std::uint8_t* data, std::size_t size);

  std::u16string readText(std::u16string_view key, std::u16string_view defaultValue) const;
  std::int32_t readNumber(std::u16string_view key, std::int32_t defaultValue) const;
  void writeText(std::u16string_view key, std::u16string_view value);
  void writeNumber(std::u16string_view key, std::int32_t value);

  // The file as written: EF BB BF CR LF, then "key = value" CR LF per entry in order.
  // Comments and grouped keys of a file that was read are not kept.
  std::vector<std::uint8_t> serialize() const;

  std::size_t entryCount() const { return entries_.size(); }

 private:
  const std::u16string* find(std::u16string_view key) const;
  void reset();

  std::vector<std::pair<std::u16string, std::u16string>> entries_;
  std::unordered_map<std::u16string, std::size_t> index_;  // upper-cased key -> entry
  FileSystem* fs_ = nullptr;
  std::u16string path_;
  bool dirty_ = false;
};

}  // namespace snapdeck

#include "settings/preference_file.h"

#include <limits>

#include "platform/text.h"

namespace snapdeck {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimRight(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::u16string_view TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

void AppendUtf8(std::vector<std::uint8_t>& out, std::u16string_view text) {
  const std::string utf8 = Utf16ToUtf8(text);
  out.insert(out.end(), utf8.begin(), utf8.end());
}

}  // namespace

std::int32_t TextToNumber(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  // Accumulate the magnitude in 64 bits and stop growing once it is out of range.
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
               : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > limit) magnitude = limit;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

void PreferenceFile::reset() {
  entries_.clear();
  index_.clear();
  fs_ = nullptr;
  path_.clear();
  dirty_ = false;
}

bool PreferenceFile::open(FileSystem& fs, const std::u16string& path) {
  close();
  fs_ = &fs;
  path_ = path;
  std::vector<std::uint8_t> bytes;
  if (!fs.readFile(path, bytes, kMaxFileBytes)) return false;
  parse(bytes.data(), bytes.size());
  return true;
}

void PreferenceFile::create(FileSystem& fs, const std::u16string& path) {
  close();
  fs_ = &fs;
  path_ = path;
  dirty_ = true;
}

bool PreferenceFile::close() {
  bool ok = true;
  if (dirty_ && fs_ != nullptr) ok = fs_->replaceFile(path_, serialize());
  reset();
  return ok;
}

void PreferenceFile::parse(const std::uint8_t* data, std::size_t size) {
  entries_.clear();
  index_.clear();
  std::u16string text;
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    text = Utf8ToUtf16(data + 3, size - 3);
  } else {
    text = Latin1ToUtf16(data, size);
  }
  const std::u16string_view all(text);
  bool inGroup = false;
  std::size_t pos = 0;
  while (pos < all.size()) {
    std::size_t end = all.find_first_of(u"\r\n", pos);
    if (end == std::u16string_view::npos) end = all.size();
    const std::u16string_view line = TrimLeft(all.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      // Only top-level keys are read, and nothing returns to top level after a group.
      inGroup = true;
      continue;
    }
    if (inGroup) continue;
    const std::size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos) continue;
    const std::u16string key(TrimRight(line.substr(0, eq)));
    if (key.empty()) continue;
    const std::u16string value(TrimRight(TrimLeft(line.substr(eq + 1))));
    // The first occurrence of a key counts.
    if (index_.emplace(AsciiUpper(key), entries_.size()).second) {
      entries_.emplace_back(key, value);
    }
  }
}

const std::u16string* PreferenceFile::find(std::u16string_view key) const {
  const auto it = index_.find(AsciiUpper(key));
  return it == index_.end() ? nullptr : &entries_[it->second].second;
}

std::u16string PreferenceFile::readText(std::u16string_view key,
                                        std::u16string_view defaultValue) const {
  const std::u16string* value = find(key);
  return value ? *value : std::u16string(defaultValue);
}

std::int32_t PreferenceFile::readNumber(std::u16string_view key, std::int32_t defaultValue) const {
  const std::u16string* value = find(key);
  return value ? TextToNumber(*value) : defaultValue;
}

void PreferenceFile::writeText(std::u16string_view key, std::u16string_view value) {
  dirty_ = true;
  const auto [it, added] = index_.emplace(AsciiUpper(key), entries_.size());
  if (added) {
    entries_.emplace_back(key, value);
  } else {
    entries_[it->second].second = value;
  }
}

void PreferenceFile::writeNumber(std::u16string_view key, std::int32_t value) {
  writeText(key, DecimalText(value));
}

std::vector<std::uint8_t> PreferenceFile::serialize() const {
  std::vector<std::uint8_t> out = {0xEF, 0xBB, 0xBF, '\r', '\n'};
  for (const auto& [key, value] : entries_) {
    // A line break inside a key or value would start a new entry when read back, so
    // each is cut at its first one.
    const std::u16string_view k(key);
    const std::u16string_view v(value);
    AppendUtf8(out, k.substr(0, k.find_first_of(u"\r\n")));
    out.insert(out.end(), {' ', '=', ' '});
    AppendUtf8(out, v.substr(0, v.find_first_of(u"\r\n")));
    out.insert(out.end(), {'\r', '\n'});
  }
  return out;
}

}  // namespace snapdeck

#include "platform/file_names.h"

#include <algorithm>

#include "platform/text.h"

namespace snapdeck {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// A separator, a character Windows keeps out of names, or a control character.
bool ForbiddenInFileName(char16_t c) {
  return c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos;
}

// Windows drops trailing blanks and dots of a name before it looks for a device, so
// "nul .png" reaches the device as well.
bool IsDeviceName(std::u16string_view stem) {
  std::u16string_view base = stem.substr(0, stem.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  const std::u16string upper = AsciiUpper(base);
  for (const char16_t* name : {u"CON", u"PRN", u"AUX", u"NUL"}) {
    if (upper == name) return true;
  }
  if (upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT"))) {
    return upper[3] >= u'1' && upper[3] <= u'9';
  }
  return false;
}

}  // namespace

std::u16string FolderWithSeparator(std::u16string_view folder) {
  if (folder.empty()) return {};
  std::size_t end = folder.size();
  while (end > 0 && IsSeparator(folder[end - 1])) --end;
  // A run of separators collapses to its first one; none gets a backslash.
  const char16_t separator = end < folder.size() ? folder[end] : u'\\';
  return std::u16string(folder.substr(0, end)) + separator;
}

bool StemNamesAFile(std::u16string_view stem) {
  if (std::any_of(stem.begin(), stem.end(), ForbiddenInFileName)) return false;
  return stem != u".." && !IsDeviceName(stem);
}

std::u16string PinForFileName(std::u16string_view pin) {
  std::u16string out(pin);
  std::replace_if(out.begin(), out.end(), ForbiddenInFileName, u'_');
  return out;
}

std::u16string SerialForFileName(std::u16string_view serial) {
  std::u16string out(serial);
  std::replace_if(
      out.begin(), out.end(),
      [](char16_t c) {
        return !((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                 (c >= u'0' && c <= u'9') || c == u'_' || c == u'-');
      },
      u'_');
  return out;
}

}  // namespace snapdeck

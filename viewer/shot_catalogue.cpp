#include "viewer/shot_catalogue.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "platform/text.h"

namespace snapdeck {
namespace {

int DigitValue(char16_t c, int base) {
  int v = -1;
  if (c >= u'0' && c <= u'9')
    v = c - u'0';
  else if (c >= u'a' && c <= u'f')
    v = c - u'a' + 10;
  else if (c >= u'A' && c <= u'F')
    v = c - u'A' + 10;
  return v < base ? v : -1;
}

// Time stamps outside the 32-bit range keep their order instead of wrapping around.
std::int32_t ClampedDate(std::int64_t seconds) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      seconds, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

int CompareNames(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = AsciiLower(a[i]), y = AsciiLower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareKeys(const ShotEntry& a, const ShotEntry& b, int sortview) {
  switch (sortview) {
    case kSortByName:
      return CompareNames(a.stem, b.stem);
    case kSortByNumber:
      return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    default:
      return a.date < b.date ? -1 : (a.date > b.date ? 1 : 0);
  }
}

}  // namespace

std::int32_t BracketNumber(std::u16string_view name) {
  const std::size_t p = name.find(u'[');
  const std::size_t q = name.find(u']');
  if (p == std::u16string_view::npos || q == std::u16string_view::npos || q <= p) return 0;
  const std::u16string_view text = name.substr(p + 1, q - p - 1);
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == u'%') {
    base = 2;
    ++i;
  }
  std::uint32_t value = 0;  // unsigned, so that overlong numbers wrap instead of overflowing
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) break;
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

bool ExtensionListed(std::u16string_view ext, std::u16string_view list) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = list.find(u'|', start);
    if (list.substr(start, bar - start) == ext) return true;
    if (bar == std::u16string_view::npos) return false;
    start = bar + 1;
  }
}

void SortShots(std::vector<ShotEntry>& entries, int sortview, int sortdir) {
  if (sortview != kSortByName && sortview != kSortByNumber && sortview != kSortByDate) return;
  const bool descending = sortdir != 0;
  std::stable_sort(entries.begin(), entries.end(),
                   [sortview, descending](const ShotEntry& a, const ShotEntry& b) {
                     const int c = CompareKeys(a, b, sortview);
                     return descending ? c > 0 : c < 0;
                   });
}

std::u16string DateTag(std::int32_t date) {
  static constexpr std::array<const char*, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  // Days to civil date (proleptic Gregorian); the date is local time already.
  std::int64_t days = date / 86400;
  if (date % 86400 < 0) --days;
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char text[32];
  std::snprintf(text, sizeof text, "[%s %02d, %04lld]",
                kMonths[static_cast<std::size_t>(month - 1)], day, year);
  return AsciiToUtf16(text);
}

std::u16string ItemsText(int count) { return DecimalText(count) + u" items."; }

std::u16string ItemsHiddenText(int count, int hidden) {
  return ItemsText(count) + u" (" + DecimalText(hidden) + u" hidden)";
}

void ScanFolder(ShotCatalogue& catalogue, const ViewerState& state, int sortview, int sortdir,
                FolderReader& reader) {
  catalogue.entries.clear();
  catalogue.current = -1;
  ++catalogue.generation;
  std::vector<StampedFile> files;
  if (!reader.list(state.folder, files)) return;
  for (const StampedFile& file : files) {
    const std::size_t dot = file.name.rfind(u'.');
    const std::u16string_view ext = dot == std::u16string::npos
                                        ? std::u16string_view()
                                        : std::u16string_view(file.name).substr(dot + 1);
    if (dot == std::u16string::npos || !ExtensionListed(ext, state.extensions)) continue;
    ShotEntry entry;
    entry.stem = file.name.substr(0, dot);
    entry.ext = file.name.substr(dot);
    entry.folder = state.folder;
    entry.date = file.timeKnown ? ClampedDate(file.localTime) : 0;
    entry.number = BracketNumber(file.name);
    entry.bytes = file.bytes;
    catalogue.entries.push_back(std::move(entry));
  }
  SortShots(catalogue.entries, sortview, sortdir);
}

}  // namespace snapdeck

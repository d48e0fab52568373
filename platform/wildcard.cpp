#include "platform/wildcard.h"

#include "platform/text.h"

namespace snapdeck {

namespace {

// Greedy matching that backtracks only to the most recent "*": never exponential,
// whatever the pattern.
bool Match(std::u16string_view pattern, std::u16string_view name) {
  std::size_t p = 0, n = 0;
  std::size_t starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == u'?' || AsciiUpper(pattern[p]) == AsciiUpper(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) {
  if (Match(pattern, name)) return true;
  return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*" &&
         Match(pattern.substr(0, pattern.size() - 2), name);
}

}  // namespace snapdeck

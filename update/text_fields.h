// Fields of a text split at one separator character.
#pragma once

#include <cstddef>
#include <string_view>

namespace snapdeck {

// Field n (0-based) of text split at separator; empty when there are fewer fields.
inline std::u16string_view NthField(std::u16string_view text, char16_t separator, int n) {
  std::size_t start = 0;
  for (int i = 0; i < n; ++i) {
    const std::size_t at = text.find(separator, start);
    if (at == std::u16string_view::npos) return {};
    start = at + 1;
  }
  return text.substr(start, text.find(separator, start) - start);
}

}  // namespace snapdeck

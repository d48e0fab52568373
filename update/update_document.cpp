#include "update/update_document.h"

#include "update/text_fields.h"

namespace snapdeck {
namespace {

std::u16string_view TrimSpaces(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

}  // namespace

std::u16string DocumentText(const std::uint8_t* bytes, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i < size; i += 2) {
    const char16_t high = i + 1 < size ? bytes[i + 1] : 0;
    const char16_t unit = static_cast<char16_t>(bytes[i] | (high << 8));
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

std::optional<UpdateLine> FindUpdateLine(std::u16string_view text,
                                         std::u16string_view programName) {
  std::u16string joined;
  joined.reserve(text.size());
  for (char16_t c : text) {
    if (c != u'\n') joined += c;
  }
  std::u16string_view rest = joined;
  for (;;) {
    const std::size_t cr = rest.find(u'\r');
    const std::u16string_view line = rest.substr(0, cr);
    if (line.empty()) return std::nullopt;
    if (TrimSpaces(NthField(line, u'|', 0)) == programName) {
      return UpdateLine{std::u16string(programName), std::u16string(NthField(line, u'|', 1)),
                        std::u16string(NthField(line, u'|', 2)),
                        std::u16string(TrimSpaces(NthField(line, u'|', 3))),
                        std::u16string(TrimSpaces(NthField(line, u'|', 4)))};
    }
    if (cr == std::u16string_view::npos) return std::nullopt;
    rest.remove_prefix(cr + 1);
  }
}

bool IsNewerVersion(std::u16string_view latest, std::u16string_view current) {
  return latest > current;
}

}  // namespace snapdeck

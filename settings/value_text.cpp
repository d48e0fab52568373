#include "settings/value_text.h"

#include "platform/text.h"

namespace snapdeck {
namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

}  // namespace

std::int32_t HexToNumber(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  std::uint32_t value = 0;  // unsigned, so overflow wraps instead of being undefined
  for (char16_t c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) break;
    value = value * 16u + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value);
}

Rgb ColorFromText(std::u16string_view text) {
  if (text.size() > 6) text = text.substr(text.size() - 6);
  const int red = HexToNumber(text.substr(0, 2));
  const int green = text.size() > 2 ? HexToNumber(text.substr(2, 2)) : 0;
  const int blue = HexToNumber(text.size() > 2 ? text.substr(text.size() - 2) : text);
  return MakeRgb(red, green, blue);
}

std::u16string ColorToText(Rgb colour) {
  std::u16string out = u"#";
  for (int part : {RedOf(colour), GreenOf(colour), BlueOf(colour)}) {
    out += kHexDigits[(part >> 4) & 15];
    out += kHexDigits[part & 15];
  }
  return out;
}

std::u16string HexIndexText(int index) {
  std::u16string out;
  auto v = static_cast<std::uint32_t>(index);
  do {
    out.insert(out.begin(), kHexDigits[v & 15]);
    v >>= 4;
  } while (v != 0);
  return out;
}

}  // namespace snapdeck

#include "platform/text.h"

namespace snapdeck {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

// Reads one code point starting at i and advances i; unpaired surrogates give U+FFFD.
char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
  char32_t c = text[i++];
  if (IsHighSurrogate(c)) {
    if (i < text.size() && IsLowSurrogate(text[i])) {
      char32_t low = text[i++];
      return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    }
    return kReplacement;
  }
  if (IsLowSurrogate(c)) return kReplacement;
  return c;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) AppendUtf8(out, NextCodePoint(text, i));
  return out;
}

std::u16string Utf8ToUtf16(const std::uint8_t* bytes, std::size_t size) {
  std::u16string out;
  out.reserve(size);
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1, c = b & 0x1F, minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2, c = b & 0x0F, minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3, c = b & 0x07, minimum = 0x10000;
    } else {
      out += static_cast<char16_t>(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    int taken = 0;
    while (taken < extra && j < size && (bytes[j] & 0xC0) == 0x80) {
      c = (c << 6) | (bytes[j] & 0x3F);
      ++j;
      ++taken;
    }
    if (taken < extra || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      // The lead byte and the continuation bytes it claimed form one bad sequence.
      out += static_cast<char16_t>(kReplacement);
      i = j;
      continue;
    }
    AppendUtf16(out, c);
    i = j;
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  return Utf8ToUtf16(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::u16string Latin1ToUtf16(const std::uint8_t* bytes, std::size_t size) {
  std::u16string out(size, u'\0');
  for (std::size_t i = 0; i < size; ++i) out[i] = bytes[i];
  return out;
}

std::u16string AsciiToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<unsigned char>(text[i]);
  return out;
}

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = AsciiUpper(c);
  return out;
}

std::u16string AsciiLower(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = AsciiLower(c);
  return out;
}

int CompareIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = AsciiUpper(a[i]);
    const char16_t y = AsciiUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareIgnoreAsciiCase(a, b) == 0;
}

std::u16string DecimalText(long long value) {
  // Built from the unsigned magnitude so the most negative value needs no negation.
  unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  char16_t digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::u16string out;
  if (value < 0) out += u'-';
  while (n > 0) out += digits[--n];
  return out;
}

std::wstring ToWide(std::u16string_view text) {
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return std::wstring(text.begin(), text.end());
  } else {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) out += static_cast<wchar_t>(NextCodePoint(text, i));
    return out;
  }
}

std::u16string FromWide(std::wstring_view text) {
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return std::u16string(text.begin(), text.end());
  } else {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
      const char32_t c = static_cast<char32_t>(w);
      AppendUtf16(out, (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) ? kReplacement : c);
    }
    return out;
  }
}

}  // namespace snapdeck

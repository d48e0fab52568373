// Text conversions between the program's UTF-16 and the encodings at its edges
// (UTF-8 files and POSIX paths, Latin-1 settings files, wchar_t Win32 calls).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace snapdeck {

// Valid UTF-16 converts losslessly; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Each malformed, overlong, surrogate or out-of-range sequence becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::u16string Utf8ToUtf16(const std::uint8_t* bytes, std::size_t size);
// Every byte is one character of ISO 8859-1.
std::u16string Latin1ToUtf16(const std::uint8_t* bytes, std::size_t size);
// For ASCII literals and numbers formatted by the C library.
std::u16string AsciiToUtf16(std::string_view text);

constexpr char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }
constexpr char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }
// 0 to 15 for a hexadecimal digit of either case, -1 for any other character.
constexpr int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}
std::u16string AsciiUpper(std::u16string_view text);
std::u16string AsciiLower(std::u16string_view text);
// Compares code unit by code unit with ASCII letters folded to upper case: <0, 0 or >0.
int CompareIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

std::u16string DecimalText(long long value);

// wchar_t is 16 bits on Windows (a plain copy) and 32 bits elsewhere (surrogate
// pairs are joined; unpaired surrogates become U+FFFD).
std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

}  // namespace snapdeck

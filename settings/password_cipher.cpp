#include "settings/password_cipher.h"

#include <cstdint>
#include <vector>

#include "settings/value_text.h"

namespace snapdeck {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
constexpr unsigned kMask = 0x5D;

std::string Base64Encode(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    const std::uint32_t group = (static_cast<std::uint32_t>(bytes[i]) << 16) |
                                (n > 1 ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
                                (n > 2 ? static_cast<std::uint32_t>(bytes[i + 2]) : 0);
    out += kBase64[(group >> 18) & 63];
    out += kBase64[(group >> 12) & 63];
    out += n > 1 ? kBase64[(group >> 6) & 63] : '=';
    out += n > 2 ? kBase64[group & 63] : '=';
  }
  return out;
}

// Characters outside the alphabet count as 0, so damaged text still decodes to something.
unsigned Base64Value(unsigned c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;
}

// Each group of four gives the bytes of the characters before its first "="; a shorter
// final group is decoded the same way.
std::vector<std::uint8_t> Base64Decode(const std::vector<std::uint8_t>& chars) {
  std::vector<std::uint8_t> out;
  out.reserve(chars.size() / 4 * 3 + 3);
  for (std::size_t i = 0; i < chars.size(); i += 4) {
    std::uint32_t group = 0;
    int used = 0;
    for (int k = 0; k < 4; ++k) {
      const std::size_t at = i + static_cast<std::size_t>(k);
      if (at >= chars.size() || chars[at] == '=') break;
      group |= Base64Value(chars[at]) << (18 - 6 * k);
      ++used;
    }
    if (used >= 2) out.push_back(static_cast<std::uint8_t>(group >> 16));
    if (used >= 3) out.push_back(static_cast<std::uint8_t>(group >> 8));
    if (used >= 4) out.push_back(static_cast<std::uint8_t>(group));
  }
  return out;
}

void AppendHexByte(std::u16string& out, unsigned value) {
  out += kHexDigits[(value >> 4) & 15];
  out += kHexDigits[value & 15];
}

}  // namespace

std::u16string EncipherPassword(std::u16string_view password, RandomSource& random) {
  if (password.size() > kMaxPasswordChars) password = password.substr(0, kMaxPasswordChars);
  if (password.empty()) return {};
  std::vector<std::uint8_t> bytes;
  bytes.reserve(password.size() * 2);
  for (char16_t c : password) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  const std::string b64 = Base64Encode(bytes);
  std::u16string out;
  out.reserve(b64.size() * 4);
  for (char c : b64) {
    AppendHexByte(out, static_cast<unsigned char>(c) ^ kMask);
    AppendHexByte(out, random.nextByte());
  }
  return out;
}

std::u16string DecipherPassword(std::u16string_view cipher) {
  if (cipher.size() > kMaxCipherChars) cipher = cipher.substr(0, kMaxCipherChars);
  const std::size_t groups = cipher.size() / 4;
  std::vector<std::uint8_t> b64(groups);
  for (std::size_t i = 0; i < groups; ++i) {
    b64[i] = static_cast<std::uint8_t>(
        (static_cast<unsigned>(HexToNumber(cipher.substr(4 * i, 2))) ^ kMask) & 0xFF);
  }
  const std::vector<std::uint8_t> bytes = Base64Decode(b64);
  std::u16string password;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    password += c;
  }
  return password;
}

}  // namespace snapdeck

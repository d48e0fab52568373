#include "update/update_signature.h"

#include "platform/text.h"

namespace snapdeck {
namespace {

int Base64Value(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c - u'A';
  if (c >= u'a' && c <= u'z') return c - u'a' + 26;
  if (c >= u'0' && c <= u'9') return c - u'0' + 52;
  if (c == u'+') return 62;
  if (c == u'/') return 63;
  return -1;
}

// Reads one DER INTEGER at der[at] into 32 big-endian bytes; advances at.
bool ReadScalar(const std::uint8_t* der, std::size_t size, std::size_t& at,
                std::uint8_t* out32) {
  if (at + 2 > size || der[at] != 0x02) return false;
  std::size_t length = der[at + 1];
  at += 2;
  if (length == 0 || length > 33 || at + length > size) return false;
  const std::uint8_t* value = der + at;
  at += length;
  if (value[0] & 0x80) return false;  // negative
  if (value[0] == 0) {
    // A leading zero is there only to keep a high bit from reading as a sign.
    if (length == 1 || (value[1] & 0x80) == 0) return false;
    ++value;
    --length;
  }
  if (length > 32) return false;
  std::fill(out32, out32 + 32, std::uint8_t{0});
  std::copy(value, value + length, out32 + (32 - length));
  return true;
}

}  // namespace

std::optional<EcPublicKey> PublicKeyFromHex(std::string_view hex) {
  if (hex.size() != 128) return std::nullopt;
  const std::optional<Sha256Digest> x = ParseSha256Hex(AsciiToUtf16(hex.substr(0, 64)));
  const std::optional<Sha256Digest> y = ParseSha256Hex(AsciiToUtf16(hex.substr(64)));
  if (!x || !y) return std::nullopt;
  EcPublicKey key{};
  std::copy(x->begin(), x->end(), key.begin());
  std::copy(y->begin(), y->end(), key.begin() + 32);
  return key;
}

std::optional<std::vector<std::uint8_t>> Base64Decode(std::u16string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == u'=') {
    ++padding;
  }
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    const int value = Base64Value(text[i]);
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    if (i % 4 == 3) {
      out.push_back(static_cast<std::uint8_t>(bits >> 16));
      out.push_back(static_cast<std::uint8_t>(bits >> 8));
      out.push_back(static_cast<std::uint8_t>(bits));
      bits = 0;
    }
  }
  // The unused low bits of the last group must be zero: one byte string, one text.
  if (padding == 1) {
    if (bits & 0x3) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(bits >> 10));
    out.push_back(static_cast<std::uint8_t>(bits >> 2));
  } else if (padding == 2) {
    if (bits & 0xF) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(bits >> 4));
  }
  return out;
}

std::optional<EcSignature> SignatureFromDer(const std::uint8_t* der, std::size_t size) {
  // Two scalars of at most 33 bytes each keep the whole below 128 bytes, so every
  // length is one byte.
  if (size < 2 || size - 2 >= 0x80 || der[0] != 0x30 || der[1] != size - 2) return std::nullopt;
  EcSignature signature{};
  std::size_t at = 2;
  if (!ReadScalar(der, size, at, signature.data()) ||
      !ReadScalar(der, size, at, signature.data() + 32) || at != size) {
    return std::nullopt;
  }
  return signature;
}

std::string SignedText(const UpdateLine& line) {
  return Utf16ToUtf8(line.name + u"|" + line.version + u"|" + line.sha256);
}

}  // namespace snapdeck

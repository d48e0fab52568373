// What a downloaded program file must be before it may replace the running one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace snapdeck {

// An x86-64 Windows program: "MZ", "PE\0\0" where the DOS header points, machine
// AMD64, an executable image that is not a DLL; every header read inside the bytes.
bool IsWindowsX64Executable(const std::uint8_t* bytes, std::size_t size);

using Sha256Digest = std::array<std::uint8_t, 32>;

// 64 hexadecimal digits (either case); nothing else is a digest.
std::optional<Sha256Digest> ParseSha256Hex(std::u16string_view text);

// The failure text for a complete download that must not be used, or "" when it may:
// it must be an x64 program and have the expected digest, which must be named.
template <typename DigestOf>
std::u16string RefusedDownload(const std::uint8_t* bytes, std::size_t size,
                               std::u16string_view expectedSha256, DigestOf digestOf) {
  if (!IsWindowsX64Executable(bytes, size)) return u"*not a Windows x64 program*";
  if (expectedSha256.empty()) return u"*no SHA-256 in update info*";
  const std::optional<Sha256Digest> expected = ParseSha256Hex(expectedSha256);
  if (!expected) return u"*invalid SHA-256 in update info*";
  const std::optional<Sha256Digest> actual = digestOf(bytes, size);
  if (!actual) return u"*SHA-256 not available*";
  if (*actual != *expected) return u"*SHA-256 mismatch*";
  return u"";
}

}  // namespace snapdeck

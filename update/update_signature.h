// The maker's signature on an update line: ECDSA over the curve P-256 and SHA-256,
// made with `openssl dgst -sha256 -sign` over the text "name|version|sha256".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/download_check.h"
#include "update/update_document.h"

namespace snapdeck {

// The public point X || Y, each 32 bytes big-endian, as the build embeds it.
using EcPublicKey = std::array<std::uint8_t, 64>;
// r || s, each 32 bytes big-endian: the form the system's verifier takes.
using EcSignature = std::array<std::uint8_t, 64>;

// 128 hexadecimal digits of X || Y, as the build writes the key; nothing else is a key.
std::optional<EcPublicKey> PublicKeyFromHex(std::string_view hex);

// Standard base64 with padding; any other character (spaces and line breaks
// included) makes it no base64.
std::optional<std::vector<std::uint8_t>> Base64Decode(std::u16string_view text);

// A DER SEQUENCE of the two INTEGERs r and s, strictly encoded (shortest lengths,
// no needless leading zero, positive, at most 32 bytes each, nothing after it).
// Anything else is no signature, so one signature has exactly one text form.
std::optional<EcSignature> SignatureFromDer(const std::uint8_t* der, std::size_t size);

// The bytes the maker signs for a line: field 1 as matched, field 2 as it stands and
// field 4, joined by "|", in UTF-8 (ASCII for every line the maker writes).
std::string SignedText(const UpdateLine& line);

// Why an update line must not be installed by a program of currentVersion holding
// key, or "" when it may: the build has a key, the version is newer, the digest and
// the signature are there and well formed, and the signature verifies over the
// SHA-256 of the signed text. digestOf(bytes, size) and verify(key, digest,
// signature) are the system's.
template <typename DigestOf, typename Verify>
std::u16string RefusedUpdateLine(const UpdateLine& line, const std::optional<EcPublicKey>& key,
                                 std::u16string_view currentVersion, DigestOf digestOf,
                                 Verify verify) {
  if (!key) return u"*this build has no update key and installs no updates*";
  if (!IsNewerVersion(line.version, currentVersion)) return u"*not newer than this version*";
  if (line.signature.empty()) return u"*unsigned update*";
  if (!ParseSha256Hex(line.sha256)) return u"*invalid SHA-256 in update info*";
  const std::optional<std::vector<std::uint8_t>> der = Base64Decode(line.signature);
  const std::optional<EcSignature> signature =
      der ? SignatureFromDer(der->data(), der->size()) : std::nullopt;
  if (!signature) return u"*invalid signature*";
  const std::string text = SignedText(line);
  const std::optional<Sha256Digest> digest =
      digestOf(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (!digest) return u"*SHA-256 not available*";
  if (!verify(*key, *digest, *signature)) return u"*signature mismatch*";
  return u"";
}

}  // namespace snapdeck

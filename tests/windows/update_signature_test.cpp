// Signed update lines checked with the system's CNG, against signatures that
// `openssl dgst -sha256 -sign` made with a throw-away key (only its public half is
// kept here) over "Snapdeck|1.68|" and the digest below.
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "update/update_signature.h"
#include "update/update_system_win32.h"

namespace snapdeck::win32 {
namespace {

const char kKeyHex[] =
    "d89f1e1e45bdae7f1cb5c52bf141883711a857a4ad818e114dfe937b23e06853"
    "a3e8713cc7546efad38b5a5e287ef1c7bc76e2b674610f517b1493da9519af69";
const std::u16string kSha = u"872633588f4d14139ea9531de9b4769c7078fb77183f50060e554bf0c42576bf";
// DER of 70, 71 and 72 bytes: r and s without and with a leading zero.
const std::u16string kSignatures[] = {
    u"MEQCIDHE1DcPcp18y2jgn0Y63PTBcDMAKBYF8v8NQiP1/+dvAiARoR48eELHbzQVD/NYSvt10eYB2JGJV5FSl3oBqK7WSQ==",
    u"MEUCIQCRz3uCECdAj7ZayEtKQrcv1eON2uDSRurMD7rAYSM/QQIgCqBUYNjWJhq0L2GvAgsf0MCuBsiy0EOYpKdo6m6s1+U=",
    u"MEYCIQCXzfmEFkry8e/CpCfrJ6dW78gr/2Sen7Yyjh7OuaW+5QIhAI8xMMwA72KvorEpDB6c8wBiLAaDaCyDB9qnFX55caWt",
};
// The same text signed by another key.
const std::u16string kOtherKeySignature =
    u"MEYCIQDt+ebICpRrd4W8Fali2utL5z7k8DQV8nI6PqK6ZmwwygIhAI33LtlFlElQtRb6PD2qDHQsMXVJPBvTgV62zRcppS1+";

// Why the system refuses the document line for a program at version 1.67.
std::u16string Refusal(const std::u16string& documentLine) {
  const std::optional<UpdateLine> line = FindUpdateLine(documentLine + u"\r\n", u"Snapdeck");
  if (!line) return u"no line";
  return RefusedUpdateLine(*line, PublicKeyFromHex(kKeyHex), u"1.67", SystemSha256,
                           SystemVerifySignature);
}

TEST(UpdateSignatureCng, MakersSignaturesVerify) {
  for (const std::u16string& signature : kSignatures) {
    EXPECT_EQ(Refusal(u"Snapdeck|1.68|http://host/x.exe|" + kSha + u"|" + signature), u"")
        << Utf16ToUtf8(signature);
  }
  EXPECT_EQ(Refusal(u" Snapdeck |1.68|http://elsewhere/y.exe| " + kSha + u" | " + kSignatures[0] +
                    u" "),
            u"")
      << "spaces around name, digest and signature, and any address";
}

TEST(UpdateSignatureCng, EverythingElseIsRefused) {
  const std::u16string good = kSignatures[2];
  std::u16string otherSha = kSha;
  otherSha[63] = u'0';
  std::u16string flipped = good;
  flipped[40] = flipped[40] == u'A' ? u'B' : u'A';
  struct Case {
    std::u16string line, refusal;
  } cases[] = {
      {u"Snapdeck|1.68|u|" + kSha + u"|" + kOtherKeySignature, u"*signature mismatch*"},
      {u"Snapdeck|1.69|u|" + kSha + u"|" + good, u"*signature mismatch*"},
      {u"Snapdeck|1.68 |u|" + kSha + u"|" + good, u"*signature mismatch*"},
      {u"Snapdeck|1.68|u|" + otherSha + u"|" + good, u"*signature mismatch*"},
      {u"Snapdeck|1.68|u|" + kSha + u"|" + flipped, u"*signature mismatch*"},
      {u"Snapdeck|1.68|u|" + kSha + u"|" + good.substr(0, 92), u"*invalid signature*"},
      {u"Snapdeck|1.68|u|" + kSha + u"|" + good.substr(0, 95), u"*invalid signature*"},
      {u"Snapdeck|1.68|u|" + kSha + u"|%" + good.substr(1), u"*invalid signature*"},
      {u"Snapdeck|1.68|u|" + kSha + u"|", u"*unsigned update*"},
      {u"Snapdeck|1.68|u|" + kSha, u"*unsigned update*"},
      {u"Snapdeck|1.68|u|" + kSha.substr(1) + u"|" + good, u"*invalid SHA-256 in update info*"},
      {u"Snapdeck|1.6|u|" + kSha + u"|" + good, u"*not newer than this version*"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Refusal(c.line), c.refusal) << Utf16ToUtf8(c.line);
  }
  // r and s of zero, and a point that is not on the curve.
  EcSignature zero{};
  const Sha256Digest digest = *SystemSha256(nullptr, 0);
  EXPECT_FALSE(SystemVerifySignature(*PublicKeyFromHex(kKeyHex), digest, zero));
  EcPublicKey offCurve = *PublicKeyFromHex(kKeyHex);
  offCurve[63] ^= 1;
  const std::optional<std::vector<std::uint8_t>> der = Base64Decode(good);
  EXPECT_FALSE(SystemVerifySignature(offCurve, digest, *SignatureFromDer(der->data(), der->size())));
}

}  // namespace
}  // namespace snapdeck::win32

// The update service's system port on Windows: files, program starts, CNG
// hashing, WinINet and the message bubble.
#pragma once

#include <memory>

#include "update/update_ports.h"

namespace snapdeck::win32 {

std::unique_ptr<UpdateSystem> MakeWin32UpdateSystem();

// SHA-256 through the system's CNG provider; nullopt when it is not available.
std::optional<Sha256Digest> SystemSha256(const std::uint8_t* bytes, std::size_t size);

// Whether the system's CNG verifies the ECDSA P-256 signature r || s of the digest
// with the public key X || Y; false as well when CNG cannot check it.
bool SystemVerifySignature(const EcPublicKey& key, const Sha256Digest& digest,
                           const EcSignature& signature);

}  // namespace snapdeck::win32

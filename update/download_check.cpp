#include "update/download_check.h"

#include "platform/text.h"

namespace snapdeck {
namespace {

std::uint32_t Le(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

bool IsWindowsX64Executable(const std::uint8_t* bytes, std::size_t size) {
  constexpr std::uint32_t kMachineAmd64 = 0x8664;
  constexpr std::uint32_t kExecutableImage = 0x0002;
  constexpr std::uint32_t kDll = 0x2000;
  if (size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  const std::uint64_t pe = Le(bytes + 0x3C, 4);
  // Signature (4 bytes) and the file header (20 bytes) must both be inside.
  if (pe + 24 > size) return false;
  const std::uint8_t* header = bytes + pe;
  if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) return false;
  const std::uint32_t characteristics = Le(header + 22, 2);
  return Le(header + 4, 2) == kMachineAmd64 && (characteristics & kExecutableImage) != 0 &&
         (characteristics & kDll) == 0;
}

std::optional<Sha256Digest> ParseSha256Hex(std::u16string_view text) {
  if (text.size() != 64) return std::nullopt;
  Sha256Digest digest{};
  for (std::size_t i = 0; i < 32; ++i) {
    const int high = HexDigitValue(text[2 * i]);
    const int low = HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    digest[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return digest;
}

}  // namespace snapdeck

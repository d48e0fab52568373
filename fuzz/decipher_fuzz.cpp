// Any stored text deciphers to a bounded password that survives being stored again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/password_cipher.h"

namespace {

class FixedRandom final : public snapdeck::RandomSource {
 public:
  std::uint8_t nextByte() override { return 0x3C; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Mostly hexadecimal-looking text, from single bytes; any UTF-16 from byte pairs.
  std::u16string text;
  if (size > 0 && (data[0] & 1)) {
    for (std::size_t i = 1; i + 1 < size; i += 2)
      text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  } else {
    for (std::size_t i = 1; i < size; ++i) text += static_cast<char16_t>(data[i]);
  }
  const std::u16string password = snapdeck::DecipherPassword(text);
  if (password.size() > snapdeck::kMaxPasswordChars) std::abort();
  if (password.find(u'\0') != std::u16string::npos) std::abort();
  FixedRandom random;
  const std::u16string stored = snapdeck::EncipherPassword(password, random);
  if (stored.size() > snapdeck::kMaxCipherChars) std::abort();
  if (snapdeck::DecipherPassword(stored) != password) std::abort();
  return 0;
}

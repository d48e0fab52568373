// The scrambled form in which remembered device passwords are stored: the password's
// UTF-16LE bytes in Base64, each Base64 character XOR 0x5D as two hexadecimal digits
// followed by two digits of a random byte, so the text changes from save to save.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/random.h"

namespace snapdeck {

// 384 characters make 1024 Base64 characters and a 4096-character stored text. Longer
// passwords are cut to their first 384 characters before scrambling, and only the first
// 4096 characters of a stored text are read, so neither side grows without bound.
inline constexpr std::size_t kMaxPasswordChars = 384;
inline constexpr std::size_t kMaxCipherChars = 4096;

std::u16string EncipherPassword(std::u16string_view password, RandomSource& random);

// Never fails: a damaged text (odd length, characters that are not hexadecimal digits,
// broken Base64) yields whatever its readable parts decode to, which the device rejects.
std::u16string DecipherPassword(std::u16string_view cipher);

}  // namespace snapdeck

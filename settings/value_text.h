// How numbers and colours are written as text in the settings file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/picture.h"

namespace snapdeck {

// Upper-cased and trimmed of blanks, then hexadecimal digits up to the first other
// character. Values beyond 32 bits wrap (the low 32 bits are kept). Empty text gives 0.
std::int32_t HexToNumber(std::u16string_view text);

// Reads the last six characters (all when shorter): red from the first two, green from
// the third and fourth, blue from the last two. So "#BB1122", "bb1122" and
// "xx#BB1122" all give red 0xBB, green 0x11, blue 0x22.
Rgb ColorFromText(std::u16string_view text);

// "#RRGGBB" in upper case.
std::u16string ColorToText(Rgb colour);

// "0".."F": the upper-case hexadecimal form of a key index.
std::u16string HexIndexText(int index);

}  // namespace snapdeck

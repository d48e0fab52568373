// The pictures, icons, sounds and texts built into the executable, fetched by the
// numbers the rest of the program uses (resources/resource_ids.h maps them to
// resource ids).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck::win32 {

// Picture `number` as stored in the exe. BMP pictures are decoded; ICO pictures are
// drawn at the size of their first image onto the program background (#222233), so
// masked-out pixels take that colour, and alpha is 255 everywhere. Picture 21 is the
// same as 20. False, with `out` untouched, when there is no such picture or it does
// not decode.
bool LoadEmbeddedPicture(int number, Picture& out);

// The 48 x 48 update emblem in one of its four orientations: 0 "Check" is the default
// button, 1 "Update", 2 "Cancel", 3 no button enabled. False for other values.
bool LoadUpdateEmblem(int orientation, Picture& out);

// 16 x 16 icon of an ICO picture (4, 6-12, 34, 35); empty for any other number.
UniqueIcon LoadEmbeddedIcon(int number);

// The bytes of RCDATA resource `rcdataId`; empty when there is none.
std::vector<std::uint8_t> LoadEmbeddedBytes(int rcdataId);

// Help text of language-table row `row` (definition order: 0 US, 1 DE, 2 FR, 3 IT,
// 4 TR, 5 ES, 6 JP) without its byte-order mark; empty when that language is not
// built in or the row is out of range.
std::u16string LoadHelpText(int row);

// The information and history text, without its byte-order mark.
std::u16string LoadInfoText();

}  // namespace snapdeck::win32

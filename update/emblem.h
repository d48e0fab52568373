// The update window's emblem, turned a quarter further for each default button.
#pragma once

#include "imaging/picture.h"

namespace snapdeck {

// The picture turned clockwise by quarterTurns quarter turns (0 to 3).
Picture TurnedQuarter(const Picture& p, int quarterTurns);

}  // namespace snapdeck

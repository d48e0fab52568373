// Where the requester puts its controls, and the rules of its hotkey row. Pure
// functions of the dialog's kind and size, shared by the Win32 shell and the tests.
#pragma once

#include <string>

#include "shell/box.h"
#include "shell/tables.h"

namespace snapdeck {

// Every control rectangle of a requester of one kind and size (client coordinates).
// Controls the kind does not have keep an empty box.
struct RequesterLayout {
  Box icon;          // 13
  Box message;       // 28
  Box firstButton;   // 20
  Box secondButton;  // 21
  Box password;      // 22, kind 16
  Box browse;        // 26, kind 20
  Box path;          // 24, kind 20
  Box ctrlBox;       // 31, kind 21
  Box altBox;        // 32, kind 21
  Box shiftBox;      // 30, kind 21
  Box keyList;       // 29, kind 21 (height of the closed drop-down)
};

RequesterLayout RequesterGeometry(int kind, int size);

// Sound played when a requester of that kind opens (-1: none).
int RequesterSound(int kind);

// State of the three modifier boxes for a drop-down selection, given the stored
// modifier bits (1 Ctrl, 2 Alt, 4 Shift). "-off-" (0) and invalid selections
// disable and clear them.
struct ModifierBoxes {
  bool enabled = false;
  bool ctrl = false;
  bool alt = false;
  bool shift = false;
  bool operator==(const ModifierBoxes&) const = default;
};
ModifierBoxes ModifierBoxesFor(int selection, int cas);

// Drop-down entry shown for a stored hotkey index; out-of-range values show "-off-".
int HotkeySelectionFor(int hotkey);

// The hotkey and modifier bits chosen by "Yes": selection of the drop-down and the
// ticks of the three boxes. An invalid selection means "-off-", which carries no
// modifiers.
struct HotkeyChoice {
  int hotkey = 0;
  int cas = 0;
  bool operator==(const HotkeyChoice&) const = default;
};
HotkeyChoice HotkeyChoiceFrom(int selection, bool ctrl, bool alt, bool shift);

// The open-file dialog's filter from "description|pattern": every "|" becomes a NUL
// and the list ends with two NULs. An empty filter gives an empty result (no filter).
std::u16string OpenFileFilter(const std::u16string& filter);

}  // namespace snapdeck

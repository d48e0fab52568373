// Buttons that show a symbol of the Webdings font (font 1): the up and down triangles
// ("5", "6") and the refresh arrow ("q"). Where that font is missing, as under Wine, a
// substitute would show the plain letters, so the program draws the same symbols itself;
// the button keeps its letter as its text either way.
#pragma once

#include <windows.h>

namespace snapdeck::win32 {

// True when the font really is Webdings and holds the three symbols.
bool SymbolFontUsable(HFONT font);

// The style of a symbol button: a push button in the symbol font when it is usable, one
// the program draws otherwise.
DWORD SymbolButtonStyle(bool fontUsable);

// Draws a button made with SymbolButtonStyle(false); false for any other item, which the
// caller leaves to the system.
bool DrawSymbolButton(const DRAWITEMSTRUCT& item);

}  // namespace snapdeck::win32

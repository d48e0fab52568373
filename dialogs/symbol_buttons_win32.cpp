#include "dialogs/symbol_buttons_win32.h"

#include <algorithm>
#include <cmath>

#include "platform/win32/handles_win32.h"

namespace snapdeck::win32 {
namespace {

constexpr wchar_t kSymbols[] = L"56q";

enum class Symbol { None, Up, Down, Refresh };

Symbol SymbolOf(HWND button) {
  wchar_t text[4] = {};
  if (GetWindowTextW(button, text, 4) != 1) return Symbol::None;
  switch (text[0]) {
    case L'5':
      return Symbol::Up;
    case L'6':
      return Symbol::Down;
    case L'q':
      return Symbol::Refresh;
    default:
      return Symbol::None;
  }
}

// A solid triangle of k + 1 rows, one pixel wider on each side per row, so it is exactly
// symmetric whatever the rounding of a polygon fill would do.
void Triangle(HDC dc, int cx, int cy, int k, bool up, HBRUSH brush) {
  const int top = cy - (k + 1) / 2;
  for (int j = 0; j <= k; ++j) {
    const int half = up ? j : k - j;
    const RECT row{cx - half, top + j, cx + half + 1, top + j + 1};
    FillRect(dc, &row, brush);
  }
}

// A clockwise circular arrow: a ring open at the upper right, the head at its end.
void RefreshArrow(HDC dc, int cx, int cy, int r, COLORREF color, HBRUSH brush) {
  const double kPi = 3.14159265358979323846;
  const double head = 60 * kPi / 180;  // where the ring ends, counter-clockwise from the right
  const auto at = [&](double angle, double radius) {
    return POINT{cx + static_cast<LONG>(std::lround(radius * std::cos(angle))),
                 cy - static_cast<LONG>(std::lround(radius * std::sin(angle)))};
  };
  const UniqueGdi<HPEN> pen(CreatePen(PS_SOLID, 2, color));
  HGDIOBJ oldPen = SelectObject(dc, pen.get());
  const POINT from = at(head, r);
  const POINT to = at(0, r);
  SetArcDirection(dc, AD_COUNTERCLOCKWISE);
  Arc(dc, cx - r, cy - r, cx + r + 1, cy + r + 1, from.x, from.y, to.x, to.y);
  SelectObject(dc, oldPen);

  // The head points on round the circle, clockwise, into the opening.
  const double a = std::max(3.0, r * 0.8);
  const double tx = std::sin(head);
  const double ty = std::cos(head);
  const POINT base = at(head, r);
  const POINT head3[3] = {
      {base.x + static_cast<LONG>(std::lround(tx * a)),
       base.y + static_cast<LONG>(std::lround(ty * a))},
      at(head, r + a * 0.9),
      at(head, r - a * 0.9),
  };
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ nullPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, head3, 3);
  SelectObject(dc, nullPen);
  SelectObject(dc, oldBrush);
}

}  // namespace

bool SymbolFontUsable(HFONT font) {
  if (font == nullptr) return false;
  const ScreenDc screen;
  const UniqueDc dc(CreateCompatibleDC(screen.get()));
  if (!dc) return false;
  HGDIOBJ old = SelectObject(dc.get(), font);
  wchar_t face[LF_FACESIZE] = {};
  const bool named =
      GetTextFaceW(dc.get(), LF_FACESIZE, face) > 0 && _wcsicmp(face, L"Webdings") == 0;
  // A symbol font may list its symbols under their letters or in the private range.
  bool complete = named;
  for (const wchar_t* c = kSymbols; complete && *c != L'\0'; ++c) {
    const wchar_t both[2] = {*c, static_cast<wchar_t>(0xF000 + *c)};
    WORD glyphs[2] = {0xFFFF, 0xFFFF};
    if (GetGlyphIndicesW(dc.get(), both, 2, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
        (glyphs[0] == 0xFFFF && glyphs[1] == 0xFFFF)) {
      complete = false;
    }
  }
  SelectObject(dc.get(), old);
  return complete;
}

DWORD SymbolButtonStyle(bool fontUsable) {
  return (fontUsable ? BS_PUSHBUTTON : BS_OWNERDRAW) | WS_TABSTOP;
}

bool DrawSymbolButton(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_BUTTON) return false;
  const Symbol symbol = SymbolOf(item.hwndItem);
  if (symbol == Symbol::None) return false;
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  DrawFrameControl(dc, &r, DFC_BUTTON,
                   DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0) | (disabled ? DFCS_INACTIVE : 0));

  const COLORREF color = GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
  const UniqueGdi<HBRUSH> brush(CreateSolidBrush(color));
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  // A pushed button's face moves by a pixel, as its text would.
  const int cx = r.left + w / 2 + (pushed ? 1 : 0);
  const int cy = r.top + h / 2 + (pushed ? 1 : 0);
  // About the size of the font's symbols at the button's 20 pixels.
  const int size = std::max(3, std::min(w, h) / 4);
  if (symbol == Symbol::Refresh) {
    RefreshArrow(dc, cx, cy, size + 1, color, brush.get());
  } else {
    Triangle(dc, cx, cy, size, symbol == Symbol::Up, brush.get());
  }
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = r;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
  return true;
}

}  // namespace snapdeck::win32

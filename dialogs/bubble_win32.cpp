#include "dialogs/bubble_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "dialogs/bubble_layout.h"
#include "dialogs/bubble_theme.h"
#include "dialogs/click_win32.h"
#include "dialogs/controls_win32.h"
#include "dialogs/disc_win32.h"
#include "dialogs/modal_window_win32.h"
#include "imaging/palette.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/system_libraries_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"

namespace snapdeck::win32 {
namespace {

const wchar_t kTitle[] = L"VEX - kestrel's update info";
constexpr int kBubbleSize = kSmallBubbleSize;
// A grown bubble's box: its client edge and the margins set below, with a pixel to spare.
constexpr int kBoxMargin = 4;
constexpr int kBoxEdge = 2 + kBoxMargin + 1;
constexpr COLORREF kTextColor = palette::kHouse;
constexpr COLORREF kWhite = palette::kWhite;

// Colours of one control; without a brush the default background stays. The brushes
// here are borrowed: the bubble's function owns them, or they are stock brushes.
struct ControlColour {
  int number = 0;
  COLORREF text = kTextColor;
  COLORREF back = kWhite;
  HBRUSH brush = nullptr;
};

// Painting of a bubble, done in a subclass so that it works under the minimal
// window procedure used before the main program runs as well as under the shared one.
struct BubblePaint {
  HBRUSH background = nullptr;
  std::vector<ControlColour> colours;
};

LRESULT CALLBACK BubblePaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data) {
  const auto* paint = reinterpret_cast<const BubblePaint*>(data);
  switch (message) {
    case WM_ERASEBKGND:
      if (paint->background != nullptr) {
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, paint->background);
        return 1;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      const int number = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      for (const ControlColour& c : paint->colours) {
        if (c.number != number) continue;
        if (c.brush == nullptr) {
          const LRESULT result = DefaultSubclassProc(window, message, wParam, lParam);
          SetTextColor(dc, c.text);
          return result;
        }
        SetTextColor(dc, c.text);
        SetBkColor(dc, c.back);
        return reinterpret_cast<LRESULT>(c.brush);
      }
      break;
    }
    default:
      break;
  }
  return DefaultSubclassProc(window, message, wParam, lParam);
}

// A round bubble of its number, centred on the owner (or on the screen).
ModalSpec BubbleSpec(int number, HWND owner, bool unowned, int size = kBubbleSize) {
  ModalSpec spec;
  spec.number = number;
  spec.title = kTitle;
  spec.width = size;
  spec.height = size;
  spec.owner = owner;
  spec.unowned = unowned;
  spec.anyCloseEnds = true;
  return spec;
}

void PlayThemeSound(const BubbleTheme& theme) {
  if (TheShell().info.soundAvailable) {
    PlaySoundNumber(theme.sound);
    return;
  }
  for (int i = 0; i < theme.beepCount; ++i) {
    Beep(static_cast<DWORD>(theme.beeps[i].frequency), static_cast<DWORD>(theme.beeps[i].duration));
  }
}

// The message bubble's layout for the text, measured in the controls' font as they wrap it.
MessageBubbleLayout MessageLayoutFor(const std::u16string& text) {
  const ScreenDc screen;
  const SelectedObject font(screen.get(), GuiFont());
  const std::wstring wide = Wide(text);
  const auto height = [&](int width) {
    RECT r{0, 0, std::max(width, 1), 0};
    DrawTextW(screen.get(), wide.c_str(), -1, &r,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    return static_cast<int>(r.bottom - r.top);
  };
  // Room left around the disc, so it never touches the screen's edges.
  const int largest = std::min(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)) - 40;
  return MessageBubbleGeometry(height, largest, kBoxEdge);
}

}  // namespace

bool MessageBubble(const std::u16string& caption, const std::u16string& text, Rgb themeColor,
                   int parentWindow) {
  // What the window borrows outlives it.
  BubblePaint paint;
  UniqueGdi<HBRUSH> disc;
  UniqueGdi<HBRUSH> captionBrush;
  const MessageBubbleLayout layout = MessageLayoutFor(text);
  const int size = layout.size;
  // Not owned by the parent, and centred on the screen.
  ModalWindow bubble(BubbleSpec(id::kMessageBubble, WindowByNumber(parentWindow), true, size));
  if (!bubble) return false;
  HWND window = bubble.get();
  // Before the main program runs none of its handlers may see the bubble.
  if (!TheShell().info.mainRunning) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MinimalWindowCallback));
  }
  SubclassWindow(window, BubblePaintProc, 0, reinterpret_cast<DWORD_PTR>(&paint));

  HWND ok = MakeDialogControl(window, L"Button", u"Ok", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, layout.ok,
                              id::kBubbleOk);
  if (layout.grown) {
    // Read-only rather than static, so a long report can be scrolled, and copied.
    HWND box = MakeDialogControl(window, L"Edit", text,
                                 ES_MULTILINE | ES_READONLY | (layout.scrolls ? WS_VSCROLL : 0),
                                 WS_EX_CLIENTEDGE, layout.text, id::kBubbleText);
    SendMessageW(box, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 MAKELPARAM(kBoxMargin, kBoxMargin));
  } else {
    MakeDialogControl(window, L"Static", text, SS_CENTER | SS_SUNKEN, 0, layout.text,
                      id::kBubbleText);
  }
  MakeDialogControl(window, L"Static", caption, SS_CENTER, 0, layout.caption, id::kBubbleCaption);

  const BubbleTheme theme = BubbleThemeFor(themeColor);
  if (theme.hasDisc) {
    disc = DiscBrush(id::kPicBubbleDisc, theme.rim, theme.ring, theme.centre, size);
    paint.background = disc.get();
  } else {
    // No theme disc: the ordinary dialog face.
    paint.background = GetSysColorBrush(COLOR_BTNFACE);
  }
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  paint.colours.push_back({id::kBubbleText, kTextColor, kWhite, white});
  if (theme.hasCaptionBackground) {
    captionBrush.reset(CreateSolidBrush(static_cast<COLORREF>(theme.captionBackground)));
    paint.colours.push_back({id::kBubbleCaption, kTextColor,
                             static_cast<COLORREF>(theme.captionBackground), captionBrush.get()});
  } else {
    paint.colours.push_back({id::kBubbleCaption, kTextColor, kWhite, nullptr});
  }
  PumpAllEvents();
  PlayThemeSound(theme);
  ShapeAsDisc(window, size + 1);
  SetForegroundWindow(window);
  SetFocus(ok);

  bool result = false;
  Event e;
  while (bubble.Next(e)) {
    if (e.kind == EventKind::Menu && e.number == id::kKeyEnter) ClickControl(id::kBubbleOk);
    if (e.kind == EventKind::Menu && e.number == id::kKeyEscape) break;
    if (e.kind == EventKind::Control && e.number == id::kBubbleOk) {
      result = true;
      break;
    }
  }

  bubble.Close();
  TheShell().pictures.release(id::kPicBubbleDisc);
  return result;
}

std::optional<Credentials> LoginBubble(const std::u16string& host, const Credentials& preset) {
  // What the window borrows outlives it.
  BubblePaint paint;
  const COLORREF labelBack = palette::kPink;
  const UniqueGdi<HBRUSH> labelBrush(CreateSolidBrush(labelBack));
  UniqueGdi<HBRUSH> disc;
  ModalWindow bubble(BubbleSpec(id::kLoginBubble, WindowByNumber(id::kUpdateWindow), false));
  if (!bubble) return std::nullopt;
  HWND window = bubble.get();
  SubclassWindow(window, BubblePaintProc, 0, reinterpret_cast<DWORD_PTR>(&paint));

  MakeDialogControl(window, L"Button", u"Ok", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, {30, 110, 40, 24},
                    id::kLoginOk);
  MakeDialogControl(window, L"Button", u"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 0, {90, 110, 40, 24},
                    id::kLoginCancel);
  MakeDialogControl(window, L"Static", host, SS_CENTER | SS_ENDELLIPSIS, 0, {25, 8, 110, 16},
                    id::kLoginHost);
  MakeDialogControl(window, L"Static", u"username:", SS_CENTER, 0, {30, 24, 100, 20},
                    id::kLoginUserLabel);
  HWND user = MakeDialogControl(window, L"Edit", preset.userName, ES_AUTOHSCROLL | WS_TABSTOP,
                                WS_EX_CLIENTEDGE, {30, 40, 100, 20}, id::kLoginUser);
  MakeDialogControl(window, L"Static", u"password:", SS_CENTER, 0, {30, 64, 100, 20},
                    id::kLoginPasswordLabel);
  HWND password =
      MakeDialogControl(window, L"Edit", preset.password, ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP,
                        WS_EX_CLIENTEDGE, {30, 80, 100, 20}, id::kLoginPassword);

  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  paint.colours.push_back({id::kLoginHost, kTextColor, labelBack, labelBrush.get()});
  paint.colours.push_back({id::kLoginUserLabel, kTextColor, labelBack, labelBrush.get()});
  paint.colours.push_back({id::kLoginPasswordLabel, kTextColor, labelBack, labelBrush.get()});
  paint.colours.push_back({id::kLoginUser, kTextColor, kWhite, white});
  paint.colours.push_back({id::kLoginPassword, kTextColor, kWhite, white});
  disc = DiscBrush(id::kPicBubbleDisc, palette::kRed, palette::kRose, palette::kPink, kBubbleSize);
  paint.background = disc.get();
  ShapeAsDisc(window, kBubbleSize);
  SetForegroundWindow(window);
  SetFocus(preset.userName.empty() ? user : password);

  Event e;
  while (bubble.Next(e)) {
    if (e.kind == EventKind::Menu && e.number == id::kKeyEscape) ClickControl(id::kLoginCancel);
    if (e.kind == EventKind::Menu && e.number == id::kKeyEnter) ClickControl(id::kLoginOk);
    if (e.kind != EventKind::Control) continue;
    if (e.number == id::kLoginCancel) break;
    if (e.number == id::kLoginOk) return Credentials{WindowText(user), WindowText(password)};
  }
  return std::nullopt;
}

}  // namespace snapdeck::win32

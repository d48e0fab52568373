#include "dialogs/bubble_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <vector>

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
constexpr int kBubbleSize = 160;
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
ModalSpec BubbleSpec(int number, HWND owner, bool unowned) {
  ModalSpec spec;
  spec.number = number;
  spec.title = kTitle;
  spec.width = kBubbleSize;
  spec.height = kBubbleSize;
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

}  // namespace

bool MessageBubble(const std::u16string& caption, const std::u16string& text, Rgb themeColor,
                   int parentWindow) {
  // What the window borrows outlives it.
  BubblePaint paint;
  UniqueGdi<HBRUSH> disc;
  UniqueGdi<HBRUSH> captionBrush;
  // Not owned by the parent, and centred on the screen.
  ModalWindow bubble(BubbleSpec(id::kMessageBubble, WindowByNumber(parentWindow), true));
  if (!bubble) return false;
  HWND window = bubble.get();
  // Before the main program runs none of its handlers may see the bubble.
  if (!TheShell().info.mainRunning) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MinimalWindowCallback));
  }
  SubclassWindow(window, BubblePaintProc, 0, reinterpret_cast<DWORD_PTR>(&paint));

  HWND ok = MakeDialogControl(window, L"Button", u"Ok", BS_DEFPUSHBUTTON | WS_TABSTOP, 0,
                              {65, 120, 30, 20}, id::kBubbleOk);
  MakeDialogControl(window, L"Static", text, SS_CENTER | SS_SUNKEN, 0, {20, 60, 120, 40},
                    id::kBubbleText);
  MakeDialogControl(window, L"Static", caption, SS_CENTER, 0, {24, 30, 112, 20},
                    id::kBubbleCaption);

  const BubbleTheme theme = BubbleThemeFor(themeColor);
  if (theme.hasDisc) {
    disc = DiscBrush(id::kPicBubbleDisc, theme.rim, theme.ring, theme.centre, kBubbleSize);
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
  ShapeAsDisc(window, kBubbleSize + 1);
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

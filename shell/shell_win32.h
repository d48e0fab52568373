// Process-wide state of the Windows shell and the small services every window uses.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "imaging/palette.h"
#include "imaging/picture.h"
#include "imaging/text_port.h"
#include "platform/win32/handles_win32.h"
#include "settings/app_settings.h"
#include "shell/program_info.h"

namespace snapdeck::win32 {

// Fixed colours as COLORREF values (the program's Rgb has the same layout).
inline constexpr COLORREF kBackgroundColor = palette::kHouse;
inline constexpr COLORREF kLabelColor = palette::kSilver;

struct Shell {
  HINSTANCE instance = nullptr;
  AppSettings settings;
  ProgramInfo info;
  ScreenMetrics metrics;
  PictureStore pictures;
  UniqueGdi<HBRUSH> backgroundBrush;  // #222233, created once at start-up
  UniqueGdi<HFONT> webdings;          // font 1
  HFONT guiFont = nullptr;            // the default GUI font: a stock object, never deleted
  std::map<int, std::vector<std::uint8_t>> sounds;  // loaded WAV files by number
  bool settingsFileKept = false;  // Snapdeck.ini could not be read: never written over
};

Shell& TheShell();

// Open top-level windows by program number (0 update ... 6 viewer).
void RegisterWindow(int number, HWND window);
void ForgetWindow(int number);
HWND WindowByNumber(int number);  // nullptr when not open
int NumberOfWindow(HWND window);  // -1 when not a program window
// The child control with that number in any open program window.
HWND ControlByNumber(int number);

// A top-down 32-bit DIB section holding the picture; empty for an empty picture.
UniqueGdi<HBITMAP> CreateBitmapFromPicture(const Picture& picture);
// Shows the picture in a static picture control (SS_BITMAP) or a picture button
// (BS_BITMAP), releasing the bitmap it showed before.
void ShowPictureInControl(HWND control, const Picture& picture);
// Takes the shown bitmap out of such a control and frees it; controls do not free the
// bitmaps they show, so this comes before the control is destroyed.
void ReleaseShownPicture(HWND control);

// Plays an embedded sound without waiting: sounds 0-3 whenever a sound device
// exists, 4-7 only when the sound switch is on as well.
void PlaySoundNumber(int number);

// The font of every control: the shell's GUI font, or the stock one before start-up set it.
HFONT GuiFont();

// Text drawing with the default GUI font and a transparent background.
TextPort& GdiText();

// Adds or replaces the tool tip of a control.
void SetToolTip(HWND control, const std::u16string& text);

// One control of a window's table; its number is its control ID.
struct ControlSpec {
  int id;
  const wchar_t* cls;
  DWORD style;
  DWORD exStyle;
  int x, y, w, h;
  const char16_t* text;
  const char16_t* tip;  // nullptr: none
  bool symbols;         // a symbol button (Webdings glyphs as its text)
};
// Creates the control, visible, in the GUI font with its tool tip. A symbol button gets
// `symbolStyle` instead of its own and the Webdings font when the shell has one.
HWND CreateControl(HWND parent, const ControlSpec& spec, DWORD symbolStyle);

// The one window class of all program windows (shared window procedure, double
// clicks, no class background). Registered on first use.
const wchar_t* ProgramWindowClass();
// Background painted for a window on WM_ERASEBKGND (the brush stays the caller's).
void SetWindowBackground(HWND window, HBRUSH brush);

// A window's own handler of the shared window procedure, asked after default
// processing; it may replace the result and returns true when it did.
using MessageHandler = bool (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                LRESULT& result);
// Adds a handler to a program window; its handlers are asked in the order they were
// added (once each, however often added). The window drops them after WM_NCDESTROY.
void AddMessageHandler(HWND window, MessageHandler handler);

// The shared window procedure of every program window.
LRESULT CALLBACK MainWindowCallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Used while the main program is not running yet: default processing only.
LRESULT CALLBACK MinimalWindowCallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Disables a window (a button, a window behind a question) for the scope's length.
class WindowDisabled {
 public:
  explicit WindowDisabled(HWND window) : window_(window) {
    if (window_ != nullptr) EnableWindow(window_, FALSE);
  }
  ~WindowDisabled() {
    if (window_ != nullptr) EnableWindow(window_, TRUE);
  }
  WindowDisabled(const WindowDisabled&) = delete;
  WindowDisabled& operator=(const WindowDisabled&) = delete;

 private:
  HWND window_;
};

// Conversions at the Win32 boundary.
std::wstring Wide(const std::u16string& text);
std::u16string FromWide(const wchar_t* text);
std::u16string WindowText(HWND window);
// Item `index` of a combo box's list; empty when there is none.
std::u16string ComboItemText(HWND combo, int index);
void SetWindowTextU16(HWND window, const std::u16string& text);

}  // namespace snapdeck::win32

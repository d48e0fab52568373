#include "shell/shell_win32.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/win32/handles_win32.h"
#include "platform/win32/system_libraries_win32.h"
#include "shell/events_win32.h"

namespace snapdeck::win32 {
namespace {

std::map<int, HWND>& Windows() {
  static std::map<int, HWND> windows;
  return windows;
}

const wchar_t kBackgroundProperty[] = L"SnapdeckBackground";
const wchar_t kTooltipProperty[] = L"SnapdeckTooltip";
const wchar_t kHandlersProperty[] = L"SnapdeckHandlers";

using HandlerList = std::vector<MessageHandler>;

HandlerList* HandlersOf(HWND window) {
  return static_cast<HandlerList*>(GetPropW(window, kHandlersProperty));
}

std::wstring ClassNameOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

bool IsButton(HWND control) { return _wcsicmp(ClassNameOf(control).c_str(), L"Button") == 0; }

// Turns a control notification into a program event type, or -1 to ignore it.
int ControlEventType(HWND control, int code) {
  const std::wstring cls = ClassNameOf(control);
  if (_wcsicmp(cls.c_str(), L"Static") == 0) {
    if (code == STN_CLICKED) return kLeftClick;
    if (code == STN_DBLCLK) return kDoubleClick;
    return -1;
  }
  if (_wcsicmp(cls.c_str(), L"Button") == 0) {
    if (code == BN_CLICKED) return kLeftClick;
    if (code == BN_DOUBLECLICKED) return kDoubleClick;
    return -1;
  }
  if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
    return (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) ? kLeftClick : -1;
  }
  if (_wcsicmp(cls.c_str(), L"Edit") == 0) return code == EN_CHANGE ? kLeftClick : -1;
  return -1;
}

// Posts the program event a message stands for; true when the message is consumed.
bool PostProgramEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND top = GetAncestor(window, GA_ROOT);
  if (top == nullptr) top = window;
  switch (message) {
    case WM_COMMAND: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (control == nullptr) {
        PostEvent(top, EventKind::Menu, LOWORD(wParam), kLeftClick);
        return true;
      }
      int type = ControlEventType(control, HIWORD(wParam));
      if (type >= 0) PostEvent(top, EventKind::Control, LOWORD(wParam), type);
      return false;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (control != nullptr && LOWORD(wParam) != TB_ENDTRACK &&
          _wcsicmp(ClassNameOf(control).c_str(), TRACKBAR_CLASSW) == 0) {
        PostEvent(top, EventKind::Control, GetDlgCtrlID(control), kLeftClick);
      }
      return false;
    }
    case WM_EXITSIZEMOVE:
      PostEvent(top, EventKind::MoveSizeEnd, 0, kLeftClick);
      return false;
    case kTrayMessage: {
      const UINT mouse = LOWORD(lParam);
      if (mouse == WM_LBUTTONDBLCLK) PostEvent(top, EventKind::Tray, 0, kDoubleClick);
      if (mouse == WM_RBUTTONUP) PostEvent(top, EventKind::Tray, 0, kRightClick);
      if (mouse == WM_LBUTTONUP) PostEvent(top, EventKind::Tray, 0, kLeftClick);
      return true;
    }
    default:
      return false;
  }
}

class GdiTextPort : public TextPort {
 public:
  void measure(const std::u16string& text, int& width, int& height) override {
    UniqueDc dc(CreateCompatibleDC(nullptr));
    const SelectedObject font(dc.get(), Font());
    SIZE size{0, 0};
    std::wstring w = Wide(text);
    GetTextExtentPoint32W(dc.get(), w.c_str(), static_cast<int>(w.size()), &size);
    width = size.cx;
    height = size.cy;
  }

  void draw(Picture& picture, int x, int y, const std::u16string& text, Rgb color) override {
    if (picture.empty()) return;
    void* bits = nullptr;
    UniqueGdi<HBITMAP> bitmap(CreateDib(picture.width, picture.height, &bits));
    if (!bitmap) return;
    const std::size_t bytes = picture.pixels.size() * sizeof(std::uint32_t);
    std::memcpy(bits, picture.pixels.data(), bytes);
    UniqueDc dc(CreateCompatibleDC(nullptr));
    if (!dc) return;
    {
      const SelectedObject target(dc.get(), bitmap.get());
      const SelectedObject font(dc.get(), Font());
      SetBkMode(dc.get(), TRANSPARENT);
      SetTextColor(dc.get(), static_cast<COLORREF>(color));
      std::wstring w = Wide(text);
      TextOutW(dc.get(), x, y, w.c_str(), static_cast<int>(w.size()));
      GdiFlush();
    }
    std::memcpy(picture.pixels.data(), bits, bytes);
    // GDI clears the alpha byte of the pixels it touches.
    for (auto& p : picture.pixels) p |= 0xFF000000u;
  }

  static HBITMAP CreateDib(int w, int h, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  }

 private:
  static HFONT Font() { return GuiFont(); }
};

}  // namespace

Shell& TheShell() {
  static Shell shell;
  return shell;
}

void RegisterWindow(int number, HWND window) { Windows()[number] = window; }

void ForgetWindow(int number) { Windows().erase(number); }

HWND WindowByNumber(int number) {
  auto it = Windows().find(number);
  if (it == Windows().end()) return nullptr;
  if (!IsWindow(it->second)) {
    Windows().erase(it);
    return nullptr;
  }
  return it->second;
}

int NumberOfWindow(HWND window) {
  for (const auto& [number, hwnd] : Windows()) {
    if (hwnd == window) return number;
  }
  return -1;
}

HWND ControlByNumber(int number) {
  for (const auto& [windowNumber, hwnd] : Windows()) {
    (void)windowNumber;
    if (!IsWindow(hwnd)) continue;
    HWND control = GetDlgItem(hwnd, number);
    if (control != nullptr) return control;
    // Controls may sit inside a child container (the viewer's scroll area).
    struct Search {
      int id;
      HWND found;
    } search{number, nullptr};
    EnumChildWindows(
        hwnd,
        [](HWND child, LPARAM lp) -> BOOL {
          auto* s = reinterpret_cast<Search*>(lp);
          if (GetDlgCtrlID(child) == s->id) {
            s->found = child;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
  }
  return nullptr;
}

namespace {

// A DIB of the picture's size, its pixels still to be written; null for an empty picture.
UniqueGdi<HBITMAP> EmptyDibFor(const Picture& picture, std::uint32_t*& pixels) {
  if (picture.empty()) return {};
  void* bits = nullptr;
  UniqueGdi<HBITMAP> bitmap(GdiTextPort::CreateDib(picture.width, picture.height, &bits));
  pixels = static_cast<std::uint32_t*>(bits);
  return bitmap;
}

// A control draws a 32-bit bitmap with alpha bytes by blending it, pixel by pixel; one
// whose alpha bytes are all zero it simply copies, twice as fast for a phone's preview.
// Opaque pictures are shown that way, others as they are.
UniqueGdi<HBITMAP> CreateShownBitmap(const Picture& picture) {
  std::uint32_t* out = nullptr;
  UniqueGdi<HBITMAP> bitmap = EmptyDibFor(picture, out);
  if (!bitmap) return {};
  const std::uint32_t* in = picture.pixels.data();
  const std::size_t count = picture.pixels.size();
  std::uint32_t alpha = 0xFF000000u;
  for (std::size_t i = 0; i < count; ++i) {
    alpha &= in[i];
    out[i] = in[i] & 0x00FFFFFFu;
  }
  if (alpha != 0xFF000000u) std::memcpy(out, in, count * sizeof(std::uint32_t));
  return bitmap;
}

}  // namespace

UniqueGdi<HBITMAP> CreateBitmapFromPicture(const Picture& picture) {
  std::uint32_t* out = nullptr;
  UniqueGdi<HBITMAP> bitmap = EmptyDibFor(picture, out);
  if (!bitmap) return {};
  std::memcpy(out, picture.pixels.data(), picture.pixels.size() * sizeof(std::uint32_t));
  return bitmap;
}

void ShowPictureInControl(HWND control, const Picture& picture) {
  if (control == nullptr) return;
  UniqueGdi<HBITMAP> bitmap = CreateShownBitmap(picture);
  const bool isButton = IsButton(control);
  const UINT setMessage = isButton ? BM_SETIMAGE : STM_SETIMAGE;
  const UINT getMessage = isButton ? BM_GETIMAGE : STM_GETIMAGE;
  HBITMAP old = reinterpret_cast<HBITMAP>(
      SendMessageW(control, setMessage, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get())));
  // The picture shown before is ours to free.
  const UniqueGdi<HBITMAP> replaced(old != bitmap.get() ? old : nullptr);
  // The control owns the bitmap it shows; common controls 6 may keep a copy of a 32-bit
  // bitmap instead of ours, and then ours is freed here.
  HBITMAP shown = reinterpret_cast<HBITMAP>(SendMessageW(control, getMessage, IMAGE_BITMAP, 0));
  if (bitmap && shown == bitmap.get()) bitmap.release();
  InvalidateRect(control, nullptr, TRUE);
}

void ReleaseShownPicture(HWND control) {
  if (control == nullptr) return;
  const UINT setMessage = IsButton(control) ? BM_SETIMAGE : STM_SETIMAGE;
  const UniqueGdi<HBITMAP> old(
      reinterpret_cast<HBITMAP>(SendMessageW(control, setMessage, IMAGE_BITMAP, 0)));
}

void PlaySoundNumber(int number) {
  Shell& shell = TheShell();
  if (!shell.info.soundAvailable) return;
  if (number >= 4 && shell.settings.sound == 0) return;
  auto it = shell.sounds.find(number);
  if (it == shell.sounds.end() || it->second.empty()) return;
  PlayWaveSound(reinterpret_cast<LPCWSTR>(it->second.data()),
                SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
}

HFONT GuiFont() {
  HFONT font = TheShell().guiFont;
  return font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

TextPort& GdiText() {
  static GdiTextPort port;
  return port;
}

void SetToolTip(HWND control, const std::u16string& text) {
  if (control == nullptr) return;
  HWND owner = GetAncestor(control, GA_ROOT);
  HWND tip = static_cast<HWND>(GetPropW(owner, kTooltipProperty));
  if (tip == nullptr) {
    // Not owned by the window: under Wine an owned pop-up keeps its owner from
    // becoming topmost. The window destroys it instead (WM_NCDESTROY below).
    tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                          nullptr, TheShell().instance, nullptr);
    if (tip == nullptr) return;
    SetPropW(owner, kTooltipProperty, tip);
  }
  std::wstring w = Wide(text);
  TTTOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = w.data();
  TTTOOLINFOW probe{};
  probe.cbSize = sizeof(probe);
  probe.hwnd = owner;
  probe.uId = reinterpret_cast<UINT_PTR>(control);
  if (!SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&probe))) {
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  } else {
    SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  }
}

HWND CreateControl(HWND parent, const ControlSpec& spec, DWORD symbolStyle) {
  const Shell& shell = TheShell();
  const DWORD style = spec.symbols ? symbolStyle : spec.style;
  HWND control = CreateWindowExW(spec.exStyle, spec.cls, Wide(spec.text).c_str(),
                                 WS_CHILD | WS_VISIBLE | style, spec.x, spec.y, spec.w, spec.h,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                                 shell.instance, nullptr);
  if (control == nullptr) return nullptr;
  HFONT font = spec.symbols && shell.webdings ? shell.webdings.get() : GuiFont();
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (spec.tip != nullptr) SetToolTip(control, spec.tip);
  return control;
}

const wchar_t* ProgramWindowClass() {
  static const wchar_t kName[] = L"SnapdeckWindow";
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MainWindowCallback;
    wc.hInstance = TheShell().instance;
    wc.hCursor = nullptr;
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kName;
    registered = RegisterClassExW(&wc) != 0;
  }
  return kName;
}

void SetWindowBackground(HWND window, HBRUSH brush) {
  SetPropW(window, kBackgroundProperty, brush);
  InvalidateRect(window, nullptr, TRUE);
}

void AddMessageHandler(HWND window, MessageHandler handler) {
  if (window == nullptr || handler == nullptr || !IsWindow(window)) return;
  HandlerList* list = HandlersOf(window);
  if (list == nullptr) {
    auto owned = std::make_unique<HandlerList>();
    if (!SetPropW(window, kHandlersProperty, owned.get())) return;
    list = owned.release();  // the window's until its WM_NCDESTROY
  }
  if (std::find(list->begin(), list->end(), handler) == list->end()) list->push_back(handler);
}

LRESULT CALLBACK MainWindowCallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (message == WM_CLOSE) {
    // A close request is an event for the running loop; the window stays.
    PostEvent(window, EventKind::Close, 0, kLeftClick);
    return 0;
  }
  if (message == WM_ERASEBKGND) {
    HBRUSH brush = static_cast<HBRUSH>(GetPropW(window, kBackgroundProperty));
    if (brush != nullptr) {
      RECT r;
      GetClientRect(window, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
      return 1;
    }
  }
  if (message == WM_NCDESTROY) {
    RemovePropW(window, kBackgroundProperty);
    if (HWND tip = static_cast<HWND>(GetPropW(window, kTooltipProperty))) DestroyWindow(tip);
    RemovePropW(window, kTooltipProperty);
  }
  const bool consumed = PostProgramEvent(window, message, wParam, lParam);
  if (!consumed) result = DefWindowProcW(window, message, wParam, lParam);
  if (HandlerList* handlers = HandlersOf(window)) {
    // By index: a handler may add another one to this window while it runs.
    for (std::size_t i = 0; i < handlers->size(); ++i) {
      const MessageHandler handler = (*handlers)[i];
      handler(window, message, wParam, lParam, result);
    }
    if (message == WM_NCDESTROY) {
      RemovePropW(window, kHandlersProperty);
      delete handlers;
    }
  }
  return result;
}

LRESULT CALLBACK MinimalWindowCallback(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    PostEvent(window, EventKind::Close, 0, kLeftClick);
    return 0;
  }
  PostProgramEvent(window, message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring Wide(const std::u16string& text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::u16string FromWide(const wchar_t* text) {
  if (text == nullptr) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(text), wcslen(text));
}

std::u16string WindowText(HWND window) {
  const int n = GetWindowTextLengthW(window);
  if (n <= 0) return {};
  std::wstring buffer(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(window, buffer.data(), n + 1);
  buffer.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return FromWide(buffer.c_str());
}

std::u16string ComboItemText(HWND combo, int index) {
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return FromWide(text.c_str());
}

void SetWindowTextU16(HWND window, const std::u16string& text) {
  SetWindowTextW(window, Wide(text).c_str());
}

}  // namespace snapdeck::win32

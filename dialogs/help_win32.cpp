#include "dialogs/help_win32.h"

// These need windows.h first.
#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "dialogs/controls_win32.h"
#include "dialogs/modal_window_win32.h"
#include "imaging/palette.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/resources_win32.h"
#include "shell/shell_win32.h"

namespace snapdeck::win32 {
namespace {

constexpr COLORREF kTextBackground = palette::kWhite;
// Item height of the language list: the 11-pixel flag with two pixels above and below.
constexpr int kListItemHeight = 15;

bool OpenWithShell(const std::u16string& address) {
  if (address.empty()) return false;
  const std::wstring wide = Wide(address);
  const auto code = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return code > 32;
}

AddressOpener g_opener = OpenWithShell;

// The open window's state: its request, the language shown and the link last pressed.
struct OpenHelp {
  const HelpInfo& info;
  std::u16string languageCode;
  long linkStart = 0;  // character range of the link last pressed
  long linkEnd = 0;
  bool linkPressed = false;
};

HWND HelpControl(HWND help, int number) { return GetDlgItem(help, number); }

HWND StatusBarOf(HWND help) { return FindWindowExW(help, nullptr, STATUSCLASSNAMEW, nullptr); }

void Place(HWND control, const Box& b) {
  if (control == nullptr) return;
  MoveWindow(control, b.x, b.y, std::max(0, b.width), std::max(0, b.height), TRUE);
}

// The resize rule, also applied once at opening so that "close and back" starts above
// the status bar instead of under it.
void LayOut(HWND help, const HelpInfo& info) {
  RECT client{};
  GetClientRect(help, &client);
  int statusHeight = 0;
  if (HWND status = StatusBarOf(help)) {
    SendMessageW(status, WM_SIZE, 0, 0);  // the bar moves itself to the bottom edge
    RECT r{};
    GetWindowRect(status, &r);
    statusHeight = r.bottom - r.top;
  }
  const HelpLayout l = HelpResizedLayout(info, client.right, client.bottom - statusHeight);
  Place(HelpControl(help, id::kHelpText), l.text);
  Place(HelpControl(help, id::kHelpDonate), l.donate);
  Place(HelpControl(help, id::kHelpClose), l.close);
}

std::vector<LanguageRow> g_noLanguages;

std::vector<LanguageRow>& Languages(const HelpInfo& info) {
  return info.languages != nullptr ? *info.languages : g_noLanguages;
}

bool HasGlyphs(HDC dc, const wchar_t* face, std::wstring_view sample) {
  const UniqueGdi<HFONT> font(CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                          DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
  if (!font) return false;
  const SelectedObject selected(dc, font.get());
  std::vector<WORD> glyphs(sample.size());
  const DWORD got = GetGlyphIndicesW(dc, sample.data(), static_cast<int>(sample.size()),
                                     glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
  return got != GDI_ERROR &&
         std::find(glyphs.begin(), glyphs.end(), static_cast<WORD>(0xFFFF)) == glyphs.end();
}

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM faces) {
  // Faces starting with "@" are the vertical variants.
  if (font->lfFaceName[0] != L'@') {
    reinterpret_cast<std::vector<std::wstring>*>(faces)->push_back(font->lfFaceName);
  }
  return 1;
}

// A face with glyphs for Japanese and for the Latin letters mixed into that text.
// Windows binds such a font to rich-edit text by itself; Wine links none to the dialog
// font, and its first Japanese face may have no Latin letters. Empty when none exists.
const std::wstring& JapaneseFace() {
  static const std::wstring face = [] {
    std::vector<std::wstring> faces = {L"Meiryo UI", L"Yu Gothic UI", L"MS UI Gothic",
                                       L"IPAPGothic", L"Noto Sans CJK JP"};
    const ScreenDc dc;
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    EnumFontFamiliesExW(dc.get(), &wanted, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
    for (const std::wstring& f : faces) {
      if (HasGlyphs(dc.get(), f.c_str(), L"Az\u6982\u8981\u3001\u30AD\uFF1A")) return f;
    }
    return std::wstring();
  }();
  return face;
}

bool HasJapanese(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(), [](char16_t c) {
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xFF00 && c <= 0xFFEF);
  });
}

// The whole text in the dialog font, or in a Japanese face when it has Japanese in it.
void ApplyFace(HWND box, const std::u16string& text) {
  std::wstring face;
  if (HasJapanese(text)) {
    face = JapaneseFace();
  } else {
    LOGFONTW font{};
    if (GetObjectW(GuiFont(), sizeof(font), &font) != 0) face = font.lfFaceName;
  }
  if (face.empty() || face.size() >= LF_FACESIZE) return;
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_FACE | CFM_CHARSET;
  format.bCharSet = DEFAULT_CHARSET;
  face.copy(format.szFaceName, face.size());
  SendMessageW(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

void ShowHelpText(HWND help, const OpenHelp& open) {
  const std::vector<LanguageRow>& table = Languages(open.info);
  std::u16string helpText;
  if (!table.empty()) helpText = table[HelpLanguageRow(table, open.languageCode)].helpText;
  const std::u16string document = HelpDocument(helpText, open.info.infoText);
  HWND box = HelpControl(help, id::kHelpText);
  SetWindowTextU16(box, document);
  ApplyFace(box, document);
}

void MakeLanguageList(HWND help, const HelpLayout& l, const HelpInfo& info) {
  Box box = l.list;
  box.height = 200;  // the open list; the closed control is fitted below
  HWND list = MakeDialogControl(
      help, L"ComboBox", u"",
      CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP, 0, box,
      id::kHelpLanguages);
  if (list == nullptr) return;
  SendMessageW(list, CB_SETITEMHEIGHT, 0, kListItemHeight);
  FitClosedDropDown(list, l.list.height);
  std::vector<LanguageRow>& table = Languages(info);
  for (const std::u16string& name : FillLanguageList(table)) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  }
  if (!table.empty()) {
    const int position = table[HelpLanguageRow(table, info.languageCode)].listPosition;
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
  }
}

void SetUpTextBox(HWND box) {
  SendMessageW(box, EM_EXLIMITTEXT, 0, 1 << 20);
  SendMessageW(box, EM_SETOPTIONS, ECOOP_OR, ECO_READONLY);
  SendMessageW(box, EM_SETTARGETDEVICE, 0, 0);  // wrap at the box's width
  SendMessageW(box, EM_SETBKGNDCOLOR, 0, kTextBackground);
  const LRESULT mask = SendMessageW(box, EM_GETEVENTMASK, 0, 0);
  SendMessageW(box, EM_SETEVENTMASK, 0, mask | ENM_LINK);
  SendMessageW(box, EM_AUTOURLDETECT, TRUE, 0);
  ShowScrollBar(box, SB_BOTH, FALSE);
}

// The status bar: the icon in a square first field, the module versions beside it.
void MakeStatusBar(HWND help, HICON icon, const std::u16string& versions) {
  HWND status =
      CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                      0, help, nullptr, TheShell().instance, nullptr);
  if (status == nullptr) return;
  RECT r{};
  GetWindowRect(status, &r);
  const int parts[2] = {static_cast<int>(r.bottom - r.top), -1};
  SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  if (icon != nullptr) SendMessageW(status, SB_SETICON, 0, reinterpret_cast<LPARAM>(icon));
  SendMessageW(status, SB_SETTEXTW, 1,
               reinterpret_cast<LPARAM>(Wide(versions).c_str()));
}

ModalSpec HelpSpec(const HelpInfo& info, HWND parent, const wchar_t* title) {
  ModalSpec spec;
  spec.number = id::kHelpWindow;
  spec.title = title;
  spec.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
  // The record gives the inner size.
  RECT outer{0, 0, info.width, info.height};
  AdjustWindowRectEx(&outer, spec.style, FALSE, 0);
  spec.width = outer.right - outer.left;
  spec.height = outer.bottom - outer.top;
  spec.owner = parent;
  return spec;
}

void OpenPressedLink(HWND help, OpenHelp& open) {
  open.linkPressed = false;
  if (!LinkFitsBuffer(open.linkStart, open.linkEnd)) return;
  std::array<wchar_t, kLinkTextCapacity + 1> buffer{};
  TEXTRANGEW range{};
  range.chrg.cpMin = open.linkStart;
  range.chrg.cpMax = open.linkEnd;
  range.lpstrText = buffer.data();
  SendMessageW(HelpControl(help, id::kHelpText), EM_GETTEXTRANGE, 0,
               reinterpret_cast<LPARAM>(&range));
  buffer.back() = L'\0';
  g_opener(FromWide(buffer.data()));  // a link the shell cannot open is ignored
}

void ChangeLanguage(HWND help, OpenHelp& open) {
  const LRESULT selected = SendMessageW(HelpControl(help, id::kHelpLanguages), CB_GETCURSEL, 0, 0);
  const std::vector<LanguageRow>& table = Languages(open.info);
  if (table.empty()) return;
  open.languageCode = table[LanguageAtListPosition(table, static_cast<int>(selected))].code;
  ShowHelpText(help, open);
}

void RunHelpLoop(ModalWindow& help, OpenHelp& open) {
  Event e;
  while (help.Next(e)) {
    if (e.kind == EventKind::Menu) {
      if (e.number == id::kKeyEnter || e.number == id::kKeyEscape) return;
      continue;
    }
    if (e.kind != EventKind::Control) continue;
    switch (e.number) {
      case id::kHelpClose:
        return;
      case id::kHelpDonate:
        g_opener(open.info.donationAddress);
        break;
      case id::kHelpLanguages:
        ChangeLanguage(help.get(), open);
        break;
      case id::kHelpText:
        if (open.linkPressed) OpenPressedLink(help.get(), open);
        break;
      default:
        break;
    }
  }
}

void NoteLink(HWND help, OpenHelp& open, const ENLINK& link) {
  if (link.msg != WM_LBUTTONDOWN) {
    open.linkPressed = false;
    return;
  }
  open.linkStart = link.chrg.cpMin;
  open.linkEnd = link.chrg.cpMax;
  open.linkPressed = true;
  // The rich-edit box reports nothing else, so the press becomes the box's own event.
  PostEvent(help, EventKind::Control, id::kHelpText, kLeftClick);
}

void DrawFlag(HDC dc, int x, int y, const Picture& flag) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = flag.width;
  bi.bmiHeader.biHeight = -flag.height;  // top-down, as pictures are stored
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  StretchDIBits(dc, x, y, 50, 11, 0, 0, flag.width, flag.height, flag.pixels.data(), &bi,
                DIB_RGB_COLORS, SRCCOPY);
}

void DrawLanguageItem(const DRAWITEMSTRUCT& d, const HelpInfo& info) {
  HDC dc = d.hDC;
  SetBkMode(dc, TRANSPARENT);
  const bool marked = (d.itemState & (ODS_FOCUS | ODS_SELECTED)) != 0;
  FillRect(dc, &d.rcItem, GetSysColorBrush(marked ? COLOR_HIGHLIGHT : COLOR_MENU));
  if (d.itemID == static_cast<UINT>(-1)) return;
  const LRESULT length = SendMessageW(d.hwndItem, CB_GETLBTEXTLEN, d.itemID, 0);
  if (length < 0) return;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(d.hwndItem, CB_GETLBTEXT, d.itemID, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  const std::vector<LanguageRow>& table = Languages(info);
  if (!table.empty()) {
    const LanguageRow& row = table[LanguageAtListPosition(table, static_cast<int>(d.itemID))];
    if (const Picture* flag = TheShell().pictures.find(row.flagPicture); flag && !flag->empty()) {
      DrawFlag(dc, d.rcItem.left + 2, d.rcItem.top + 2, *flag);
    }
  }
  SetTextColor(dc, GetSysColor(marked ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  TextOutW(dc, d.rcItem.left + 58, d.rcItem.top + 1, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

void SetAddressOpener(AddressOpener opener) {
  g_opener = opener != nullptr ? opener : OpenWithShell;
}

std::u16string ShowHelp(const HelpInfo& info) {
  OpenHelp open{info, info.languageCode};
  HWND parent = WindowByNumber(info.parentWindow);
  // Declared before the window, so they are released once it is gone.
  const UniqueIcon icon = LoadEmbeddedIcon(info.statusIcon);
  const UniqueGdi<HBRUSH> background(CreateSolidBrush(static_cast<COLORREF>(info.backgroundColor)));
  const std::wstring title = Wide(info.title);
  ModalWindow modal(HelpSpec(info, parent, title.c_str()));  // window 3 is single
  if (!modal) return open.languageCode;
  HWND help = modal.get();
  modal.Attach(&open);
  AddMessageHandler(help, HelpMessageHandler);

  const HelpLayout l = HelpOpeningLayout(info);
  HWND box = MakeDialogControl(help, RichEditClass(), u"", ES_MULTILINE | WS_VSCROLL | WS_TABSTOP,
                               0, l.text, id::kHelpText);
  if (!info.languageCode.empty()) MakeLanguageList(help, l, info);
  if (!info.donationAddress.empty()) {
    HWND donate = MakeDialogControl(help, L"Button", u"", BS_PUSHBUTTON | BS_BITMAP | WS_TABSTOP, 0,
                                    l.donate, id::kHelpDonate);
    modal.ReleasePictureAtClose(id::kHelpDonate);
    if (const Picture* picture = TheShell().pictures.find(info.donationPicture)) {
      ShowPictureInControl(donate, *picture);
    }
  }
  MakeDialogControl(help, L"Button", u"close and back", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, l.close,
                    id::kHelpClose);
  if (box != nullptr) SetUpTextBox(box);
  MakeStatusBar(help, icon.get(), info.moduleVersions);
  SetWindowBackground(help, background.get());
  if (box != nullptr) ShowHelpText(help, open);
  LayOut(help, info);

  ShowWindow(help, SW_SHOW);
  SetForegroundWindow(help);
  SetFocus(box != nullptr ? box : HelpControl(help, id::kHelpClose));
  // Without its text box the window would have nothing to show.
  if (box != nullptr) RunHelpLoop(modal, open);

  modal.Close();
  if (parent != nullptr) SetActiveWindow(parent);
  return open.languageCode;
}

bool HelpMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  (void)wParam;
  (void)result;
  if (message != WM_SIZE && message != WM_NOTIFY && message != WM_DRAWITEM) return false;
  HWND help = WindowByNumber(id::kHelpWindow);
  if (help == nullptr || window != help) return false;
  OpenHelp* open = ModalWindow::Attached<OpenHelp>(help);
  HWND box = HelpControl(help, id::kHelpText);
  if (open == nullptr || box == nullptr) return false;
  switch (message) {
    case WM_SIZE:
      LayOut(help, open->info);
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header != nullptr && header->hwndFrom == box && header->code == EN_LINK) {
        NoteLink(help, *open, *reinterpret_cast<const ENLINK*>(lParam));
      }
      break;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item != nullptr && item->CtlType == ODT_COMBOBOX) DrawLanguageItem(*item, open->info);
      break;
    }
    default:
      break;
  }
  return false;
}

}  // namespace snapdeck::win32

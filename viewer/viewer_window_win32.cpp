#include "viewer/viewer_window_win32.h"

#include <commctrl.h>

#include <array>
#include <memory>

#include "dialogs/symbol_buttons_win32.h"
#include "platform/folder_listing.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "viewer/thumbnail_column_win32.h"
#include "viewer/viewer_layout.h"

namespace snapdeck::win32 {
namespace {

constexpr DWORD kOption = BS_AUTORADIOBUTTON | WS_TABSTOP;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;

// Every control but the scroll area and the status bar; ViewerLayoutFor places them.
const ControlSpec kControls[] = {
    {id::kViewerSortLabel, L"Static", SS_LEFT, 0, 0, 0, 0, 0, u"Sort by:", nullptr, false},
    {id::kViewerSortName, L"Button", kOption | WS_GROUP, 0, 0, 0, 0, 0, u"",
     u"sort in alphabetical order", false},
    {id::kViewerNameLabel, L"Static", SS_LEFT, 0, 0, 0, 0, 0, u"name", nullptr, false},
    {id::kViewerSortNumber, L"Button", kOption, 0, 0, 0, 0, 0, u"", u"sort by number in brackets",
     false},
    {id::kViewerNumberLabel, L"Static", SS_LEFT, 0, 0, 0, 0, 0, u"number", nullptr, false},
    {id::kViewerSortTime, L"Button", kOption, 0, 0, 0, 0, 0, u"", u"sort by creation date and time",
     false},
    {id::kViewerTimeLabel, L"Static", SS_LEFT, 0, 0, 0, 0, 0, u"timestamp", nullptr, false},
    {id::kViewerClose, L"Button", kPush, 0, 0, 0, 0, 0, u"close", nullptr, false},
    {id::kViewerSortDir, L"Button", kPush, 0, 0, 0, 0, 0, u"5", u"sorting direction", true},
    {id::kViewerRefresh, L"Button", kPush, 0, 0, 0, 0, 0, u"q", u"refresh", true},
};

struct Viewer;
void ShowCountWithHidden(const Viewer& v);

// What the viewer window keeps besides its controls: what it shows, the catalogue, the
// column and its loader. The window holds it as a property and frees it on WM_NCDESTROY,
// so it lives exactly as long as the window.
struct Viewer {
  Viewer(const ViewerState& shown, ViewerPlacement& kept)
      : state(shown), placement(kept), column(catalogue, *reader, [this] {
          ShowCountWithHidden(*this);
        }) {}

  HWND window = nullptr;
  HWND status = nullptr;
  UniqueMenu menu;
  UniqueAccel shortcuts;
  ViewerState state;
  ViewerPlacement& placement;  // the owner's, which outlives the window
  std::unique_ptr<FolderReader> reader = MakeFolderReader();
  ShotCatalogue catalogue;
  ThumbnailColumn column;  // last: its loader reads through `reader` until it is gone
};

constexpr wchar_t kStateProperty[] = L"SnapdeckViewerState";

Viewer* StateOf(HWND window) {
  return window != nullptr ? static_cast<Viewer*>(GetPropW(window, kStateProperty)) : nullptr;
}

// The open viewer's state; nullptr while the viewer is closed.
Viewer* OpenState() { return StateOf(WindowByNumber(id::kViewer)); }

ThumbnailHandler g_thumbnailHandler = nullptr;

void ShowStatus(const Viewer& v, const std::u16string& text) {
  if (v.status == nullptr) return;
  SendMessageW(v.status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void ShowCountWithHidden(const Viewer& v) {
  ShowStatus(v, ItemsHiddenText(v.catalogue.count(), v.column.hiddenCount()));
}

UniqueMenu BuildShotMenu() {
  UniqueMenu sub(CreatePopupMenu());
  UniqueMenu menu(CreatePopupMenu());
  if (!sub || !menu) return {};
  AppendMenuW(sub.get(), MF_STRING, id::kShotMenuCopy, L"Copy to clipboard");
  AppendMenuW(sub.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuW(sub.get(), MF_STRING, id::kShotMenuRemoveFrame, L"Remove frame");
  AppendMenuW(sub.get(), MF_STRING, id::kShotMenuAddFrame, L"Add frame");
  AppendMenuW(sub.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuW(sub.get(), MF_STRING, id::kShotMenuDelete, L"Delete file");
  // The outer menu owns the submenu once it holds it.
  if (!AppendMenuW(menu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(sub.get()), L"ScreenShot:")) {
    return {};
  }
  sub.release();
  return menu;
}

// The sort row and the close button follow the lower edge; the scroll area takes the rest.
void LayOutViewer(const Viewer& v, int W, int H) {
  const ViewerLayout layout = ViewerLayoutFor(W, H, TheShell().metrics);
  for (const ControlPlace& place : layout.controls) {
    HWND control = GetDlgItem(v.window, place.id);
    if (control == nullptr) continue;
    SetWindowPos(control, nullptr, place.box.x, place.box.y, place.box.width, place.box.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (v.status != nullptr) SendMessageW(v.status, WM_SIZE, 0, 0);
  RedrawWindow(v.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool ViewerHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  Viewer* state = StateOf(window);
  if (state == nullptr) return false;
  const ScreenMetrics& m = TheShell().metrics;
  switch (message) {
    case WM_DESTROY:
      // The children still exist: the pictures they show are freed before they go, and
      // the loader stops posting to the scroll area.
      state->column.close();
      SetWindowShortcuts(window, nullptr);
      return false;
    case WM_NCDESTROY:
      // The last message of the window: its state, menu, shortcuts and brushes go with it,
      // however it was destroyed.
      RemovePropW(window, kStateProperty);
      delete state;
      return false;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      const OuterSize smallest = ViewerMinimumSize(m);
      info->ptMinTrackSize = {smallest.width, smallest.height};
      info->ptMaxTrackSize = {m.workRight, m.workBottom};
      result = 0;
      return true;
    }
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && state->column.scrollArea() != nullptr) {
        LayOutViewer(*state, LOWORD(lParam), HIWORD(lParam));
      }
      return false;
    case WM_DRAWITEM:
      if (!DrawSymbolButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return false;
      result = TRUE;
      return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      HBRUSH brush = TheShell().backgroundBrush.get();
      if (brush == nullptr) return false;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, kLabelColor);
      result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    default:
      return false;
  }
}

void CheckSortOptions(HWND window) {
  const int sortview = TheShell().settings.sortview;
  const std::array<std::pair<int, int>, 3> options = {{{id::kViewerSortName, kSortByName},
                                                       {id::kViewerSortNumber, kSortByNumber},
                                                       {id::kViewerSortTime, kSortByDate}}};
  for (const auto& [control, bit] : options) {
    SendMessageW(GetDlgItem(window, control), BM_SETCHECK,
                 (sortview & bit) != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

}  // namespace

HWND ViewerWindow() {
  const Viewer* v = OpenState();
  return v != nullptr ? v->window : nullptr;
}

bool ViewerExists() { return ViewerWindow() != nullptr; }

void OpenViewer(const ViewerState& state, ViewerPlacement& placement, bool activate) {
  if (ViewerExists()) return;
  Shell& shell = TheShell();
  const DWORD style =
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
  RECT outer{0, 0, placement.width, placement.height};
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  HWND window = CreateWindowExW(0, ProgramWindowClass(), Wide(state.title).c_str(), style,
                                placement.x, placement.y, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, shell.instance, nullptr);
  if (window == nullptr) return;
  auto owned = std::make_unique<Viewer>(state, placement);
  owned->window = window;
  if (!SetPropW(window, kStateProperty, owned.get())) {
    DestroyWindow(window);
    return;
  }
  Viewer& v = *owned.release();  // the window's from now on
  RegisterWindow(id::kViewer, window);
  AddMessageHandler(window, ViewerHandler);

  RECT client{};
  GetClientRect(window, &client);
  const ViewerLayout layout = ViewerLayoutFor(client.right, client.bottom, shell.metrics);
  SetColumnWidthFromWindow();
  v.column.create(window, *layout.find(id::kViewerScroll), id::kViewerScroll);

  const DWORD symbolStyle = SymbolButtonStyle(static_cast<bool>(shell.webdings));
  for (ControlSpec c : kControls) {
    if (const Box* box = layout.find(c.id)) {
      c.x = box->x;
      c.y = box->y;
      c.w = box->width;
      c.h = box->height;
    }
    CreateControl(window, c, symbolStyle);
  }
  ShowSortDirection();
  CheckSortOptions(window);
  SetWindowBackground(window, shell.backgroundBrush.get());
  v.menu = BuildShotMenu();
  v.status = CreateWindowExW(
      0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id::kViewerStatusBar)), shell.instance, nullptr);
  int parts[1] = {-1};
  SendMessageW(v.status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));

  RECT inner{0, 0, placement.width, placement.height};
  AdjustWindowRectEx(&inner, style, FALSE, 0);
  SetWindowPos(window, nullptr, 0, 0, inner.right - inner.left, inner.bottom - inner.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(window, shell.settings.stayontop != 0 ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  static const int keys[] = {VK_F9, VK_F5};
  static const int numbers[] = {id::kKeyF9, id::kKeyF5};
  v.shortcuts.reset(MakeShortcutTable(keys, numbers, 2));
  SetWindowShortcuts(window, v.shortcuts.get());
  ShowWindow(window, activate ? SW_SHOW : SW_SHOWNOACTIVATE);
}

void CloseViewer() {
  HWND window = ViewerWindow();
  if (window == nullptr) return;
  StoreViewerGeometry();
  DestroyWindow(window);  // its column, shortcuts and state go with it
  ForgetWindow(id::kViewer);
}

void SetViewerFolder(const std::u16string& folder) {
  if (Viewer* v = OpenState()) v->state.folder = folder;
}

void ScanShots() {
  Viewer* v = OpenState();
  if (v == nullptr) return;
  RememberScrollPosition();
  v->column.clear();
  const AppSettings& settings = TheShell().settings;
  ScanFolder(v->catalogue, v->state, settings.sortview, settings.sortdir, *v->reader);
  ShowStatus(*v, ItemsText(v->catalogue.count()));
}

void BuildThumbnails() {
  Viewer* v = OpenState();
  if (v == nullptr || v->column.columnWindow() == nullptr) return;
  v->column.build(v->placement.scrollPosition);
  ShowCountWithHidden(*v);
  // So the mouse wheel scrolls the column; focusing a window of an inactive viewer would
  // activate it and take the keyboard from wherever the user is typing.
  if (GetActiveWindow() == v->window) FocusThumbnailColumn();
}

void RefreshThumbnails() {
  if (!ViewerExists()) return;
  ScanShots();
  BuildThumbnails();
}

void StoreViewerGeometry() {
  HWND window = ViewerWindow();
  Viewer* v = StateOf(window);
  if (v == nullptr || IsIconic(window)) return;
  RECT outer{};
  RECT inner{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &inner);
  v->placement.x = outer.left;
  v->placement.y = outer.top;
  v->placement.width = inner.right;
  v->placement.height = inner.bottom;
}

int ViewerInnerWidth() {
  HWND window = ViewerWindow();
  if (window == nullptr) return 0;
  RECT inner{};
  GetClientRect(window, &inner);
  return inner.right;
}

void SetColumnWidthFromWindow() {
  Viewer* v = OpenState();
  if (v == nullptr) return;
  const ViewerPlacement& p = v->placement;
  v->column.setWidth(ViewerLayoutFor(p.width, p.height, TheShell().metrics).columnWidth);
}

void ShowSortDirection() {
  if (HWND button = GetDlgItem(ViewerWindow(), id::kViewerSortDir)) {
    SetWindowTextW(button, TheShell().settings.sortdir == 0 ? L"5" : L"6");
  }
}

void SetViewerStatus(const std::u16string& text) {
  if (const Viewer* v = OpenState()) ShowStatus(*v, text);
}

std::u16string ViewerStatus() {
  const Viewer* v = OpenState();
  if (v == nullptr || v->status == nullptr) return {};
  const LRESULT length = LOWORD(SendMessageW(v->status, SB_GETTEXTLENGTHW, 0, 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(v->status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
  return FromWide(text.c_str());
}

void RemoveThumbnail(int control) {
  if (Viewer* v = OpenState()) v->column.removeImage(control);
}

void FocusThumbnailColumn() {
  const Viewer* v = OpenState();
  if (HWND column = v != nullptr ? v->column.columnWindow() : nullptr) SetFocus(column);
}

void RememberScrollPosition() {
  if (Viewer* v = OpenState()) v->placement.scrollPosition = v->column.scrollPosition();
}

HMENU ShotMenu() {
  const Viewer* v = OpenState();
  return v != nullptr ? v->menu.get() : nullptr;
}

bool IsThumbnailControl(int control) {
  const Viewer* v = OpenState();
  const int count = v != nullptr ? v->catalogue.count() : 0;
  return control >= kFirstThumbnailControl &&
         control <= kFirstThumbnailControl + kControlsPerEntry * count;
}

// Each window has its own catalogue and generations; the events of a closed viewer's
// window never get here (the event loop takes only those of the open windows).
bool ThumbnailEventCurrent(int control, std::uint32_t stamp) {
  const Viewer* v = OpenState();
  return v != nullptr && stamp == v->column.generation() &&
         EntryOfEvent(v->catalogue, control, stamp) >= 0;
}

void SetThumbnailHandler(ThumbnailHandler handler) { g_thumbnailHandler = handler; }

void OnThumbnailEvent(int control, int type) {
  RememberScrollPosition();
  Viewer* v = OpenState();
  if (v != nullptr && g_thumbnailHandler != nullptr) {
    g_thumbnailHandler(v->catalogue, control, type);
  } else {
    FocusThumbnailColumn();
  }
}

}  // namespace snapdeck::win32

#include "viewer/viewer_window_win32.h"

#include "imaging/palette.h"
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "dialogs/controls_win32.h"
#include "dialogs/symbol_buttons_win32.h"
#include "platform/folder_listing.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "viewer/thumbnail_layout.h"
#include "viewer/thumbnail_loader.h"
#include "viewer/viewer_layout.h"

namespace snapdeck::win32 {
namespace {

// Posted to the scroll area by the loader's threads when thumbnails are ready.
constexpr UINT kThumbnailsReady = WM_APP + 16;
constexpr int kScrollStep = 40;
constexpr int kWheelSteps = 3;

constexpr COLORREF kPlaceholderColor = palette::kHouseLight;

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

// One row of the column on screen: its controls, and whether its picture was asked for.
struct RowWindows {
  HWND image = nullptr;
  HWND caption = nullptr;
  bool requested = false;
};

// What the viewer window keeps besides its controls. The window holds it as a property
// and frees it on WM_NCDESTROY, so it lives exactly as long as the window.
struct Viewer {
  HWND window = nullptr;
  HWND scroll = nullptr;  // control 61
  HWND column = nullptr;  // its inner window, which holds the thumbnails
  HWND status = nullptr;
  UniqueMenu menu;
  UniqueAccel shortcuts;
  int columnHeight = 0;
  int scrollPos = 0;
  std::uint32_t generation = 0;  // of the catalogue the column was built for
  std::vector<RowPicture> pictures;  // per catalogue entry: from the header, then the decode
  ColumnLayout layout;
  std::vector<RowWindows> rows;
  UniqueGdi<HBRUSH> captionBrushes[3];
  UniqueGdi<HBRUSH> placeholderBrush;
};

constexpr wchar_t kStateProperty[] = L"SnapdeckViewerState";

Viewer* StateOf(HWND window) {
  return window != nullptr ? static_cast<Viewer*>(GetPropW(window, kStateProperty)) : nullptr;
}

// The open viewer's state; nullptr while the viewer is closed.
Viewer* OpenState() { return StateOf(WindowByNumber(id::kViewer)); }

// The state of the viewer a child window (scroll area, column) belongs to.
Viewer* StateAbove(HWND child) { return StateOf(GetAncestor(child, GA_ROOT)); }

ThumbnailHandler g_thumbnailHandler = nullptr;
// Read by the loader's threads to post the ready message; the loader outlives the window.
std::atomic<HWND> g_readyTarget{nullptr};

FolderReader& Reader() {
  static std::unique_ptr<FolderReader> reader = MakeFolderReader();
  return *reader;
}

std::unique_ptr<ThumbnailLoader>& LoaderSlot() {
  static std::unique_ptr<ThumbnailLoader> loader;
  return loader;
}

ThumbnailLoader& Loader() {
  std::unique_ptr<ThumbnailLoader>& loader = LoaderSlot();
  if (!loader) {
    loader = std::make_unique<ThumbnailLoader>(Reader(), ThumbnailLoader::DefaultThreads(),
                                               kThumbnailDecodeBudget, [] {
                                                 if (HWND target = g_readyTarget.load()) {
                                                   PostMessageW(target, kThumbnailsReady, 0, 0);
                                                 }
                                               });
  }
  return *loader;
}

// --- the column ---------------------------------------------------------------------------

constexpr DWORD kImageStyle = SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY;
constexpr DWORD kImageExStyle = WS_EX_STATICEDGE;
constexpr DWORD kCaptionStyle = SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX;
constexpr DWORD kCaptionExStyle = WS_EX_STATICEDGE;

// Window size of an image control whose inner area is w x h.
SIZE ImageWindowSize(int w, int h) {
  RECT r{0, 0, w, h};
  AdjustWindowRectEx(&r, WS_CHILD | kImageStyle, FALSE, kImageExStyle);
  return {r.right - r.left, r.bottom - r.top};
}

int ColumnWidth() { return std::max(1, TheViewerState().innerWidth); }

int MaxScroll(const Viewer& v) {
  if (v.scroll == nullptr) return 0;
  RECT r{};
  GetClientRect(v.scroll, &r);
  return std::max(0, v.columnHeight - static_cast<int>(r.bottom));
}

void UpdateScrollBar(const Viewer& v) {
  if (v.scroll == nullptr) return;
  RECT r{};
  GetClientRect(v.scroll, &r);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = std::max(0, v.columnHeight - 1);
  info.nPage = static_cast<UINT>(std::max(0L, r.bottom));
  info.nPos = v.scrollPos;
  SetScrollInfo(v.scroll, SB_VERT, &info, TRUE);
}

void ScrollTo(Viewer& v, int position) {
  v.scrollPos = std::clamp(position, 0, MaxScroll(v));
  if (v.column != nullptr) {
    SetWindowPos(v.column, nullptr, 0, -v.scrollPos, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  UpdateScrollBar(v);
}

void ReleaseImage(HWND image) {
  if (image == nullptr) return;
  ReleaseShownPicture(image);
  DestroyWindow(image);
}

// Removes every row's controls and forgets the pictures; the loader's work is dropped.
void ClearColumn(Viewer& v) {
  if (LoaderSlot()) LoaderSlot()->cancel();
  for (RowWindows& row : v.rows) {
    ReleaseImage(row.image);
    if (row.caption != nullptr) DestroyWindow(row.caption);
  }
  v.rows.clear();
  v.pictures.clear();
  v.layout = ColumnLayout{};
}

// The column's height: up to the end of the last row that is not hidden.
int VisibleColumnHeight(const ColumnLayout& layout) {
  int height = 0;
  for (const ColumnRow& row : layout.rows) {
    if (row.hidden) break;
    height = row.loaded ? row.imageY + row.thumb.height + 35 : row.captionY + 30;
  }
  return layout.hiddenCount == 0 ? layout.innerHeight : height;
}

void SetCaption(Viewer& v, int index) {
  const ColumnRow& row = v.layout.rows[static_cast<std::size_t>(index)];
  HWND& caption = v.rows[static_cast<std::size_t>(index)].caption;
  const std::u16string text =
      CaptionText(TheShotCatalogue().entries[static_cast<std::size_t>(index)], row);
  if (caption == nullptr) {
    caption = MakeDialogControl(v.column, L"Static", text, kCaptionStyle, kCaptionExStyle,
                                {0, row.captionY, ColumnWidth(), 20}, CaptionControl(index));
    return;
  }
  if (WindowText(caption) != text) SetWindowTextU16(caption, text);
  SetWindowPos(caption, nullptr, 0, row.captionY, ColumnWidth(), 20, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(caption, nullptr, TRUE);
}

void SetImage(Viewer& v, int index) {
  const ColumnRow& row = v.layout.rows[static_cast<std::size_t>(index)];
  HWND& image = v.rows[static_cast<std::size_t>(index)].image;
  const SIZE size = ImageWindowSize(row.thumb.width, row.thumb.height);
  if (image == nullptr) {
    image = MakeDialogControl(v.column, L"Static", u"", kImageStyle, kImageExStyle,
                              {row.imageX, row.imageY, size.cx, size.cy}, ThumbnailControl(index));
  } else {
    SetWindowPos(image, nullptr, row.imageX, row.imageY, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// Puts every row's controls where the layout wants them and asks for the pictures
// of rows that show one; rows past the column's limit get no controls.
void ApplyLayout(Viewer& v) {
  std::vector<ThumbnailJob> jobs;
  const ShotCatalogue& catalogue = TheShotCatalogue();
  for (int i = 0; i < static_cast<int>(v.layout.rows.size()); ++i) {
    const ColumnRow& row = v.layout.rows[static_cast<std::size_t>(i)];
    RowWindows& windows = v.rows[static_cast<std::size_t>(i)];
    if (row.hidden) {
      ReleaseImage(std::exchange(windows.image, nullptr));
      if (windows.caption != nullptr) DestroyWindow(std::exchange(windows.caption, nullptr));
      windows.requested = false;
      continue;
    }
    if (row.loaded) {
      SetImage(v, i);
    } else {
      ReleaseImage(std::exchange(windows.image, nullptr));
    }
    if ((row.loaded || row.pending) && !windows.requested) {
      windows.requested = true;
      jobs.push_back(JobForRow(i, catalogue.entries[static_cast<std::size_t>(i)],
                               v.pictures[static_cast<std::size_t>(i)], ColumnWidth()));
    }
    SetCaption(v, i);
  }
  v.columnHeight = VisibleColumnHeight(v.layout);
  SetWindowPos(v.column, nullptr, 0, 0, ColumnWidth(), std::max(1, v.columnHeight),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!jobs.empty()) Loader().submit(std::move(jobs));
}

void ShowCountWithHidden(const Viewer& v) {
  SetViewerStatus(ItemsHiddenText(TheShotCatalogue().count(), v.layout.hiddenCount));
}

// Thumbnails made by the loader: shown, or their rows turned into failed ones (or re-sized
// when the file changed since its header was read); a pending row's probed size lays it
// out and asks for its picture. The column is laid out again before pictures are shown.
void TakeThumbnails(Viewer& v) {
  if (!LoaderSlot() || v.column == nullptr) return;
  bool relayout = false;
  std::vector<ThumbnailResult> results = Loader().take();
  for (ThumbnailResult& result : results) {
    const auto index = static_cast<std::size_t>(result.index);
    if (index >= v.pictures.size()) continue;
    RowPicture& picture = v.pictures[index];
    if (result.probed) {
      picture = RowPicture{result.ok, result.width, result.height, false, result.cost};
      v.rows[index].requested = false;
      relayout = true;
      continue;
    }
    const RowPicture now{result.ok, result.ok ? result.width : 0, result.ok ? result.height : 0,
                         false, picture.cost};
    if (now.loaded != picture.loaded || now.width != picture.width ||
        now.height != picture.height) {
      picture = now;
      relayout = true;
    }
  }
  if (relayout) {
    v.layout = LayOutColumn(v.pictures, ColumnWidth());
    ApplyLayout(v);
    ScrollTo(v, v.scrollPos);
    ShowCountWithHidden(v);
  }
  for (const ThumbnailResult& result : results) {
    const auto index = static_cast<std::size_t>(result.index);
    if (!result.ok || result.probed || index >= v.rows.size()) continue;
    if (v.rows[index].image != nullptr) {
      ShowPictureInControl(v.rows[index].image, result.thumbnail);
    }
  }
}

bool ColumnKey(Viewer& v, WPARAM key) {
  RECT r{};
  GetClientRect(v.scroll, &r);
  switch (key) {
    case VK_UP:
      ScrollTo(v, v.scrollPos - kScrollStep);
      return true;
    case VK_DOWN:
      ScrollTo(v, v.scrollPos + kScrollStep);
      return true;
    case VK_PRIOR:
      ScrollTo(v, v.scrollPos - std::max(kScrollStep, static_cast<int>(r.bottom)));
      return true;
    case VK_NEXT:
      ScrollTo(v, v.scrollPos + std::max(kScrollStep, static_cast<int>(r.bottom)));
      return true;
    case VK_HOME:
      ScrollTo(v, 0);
      return true;
    case VK_END:
      ScrollTo(v, MaxScroll(v));
      return true;
    default:
      return false;
  }
}

void Wheel(Viewer& v, WPARAM wParam) {
  const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
  ScrollTo(v, v.scrollPos - notches * kWheelSteps * kScrollStep);
}

void FillBackground(HWND window, HDC dc) {
  RECT r;
  GetClientRect(window, &r);
  HBRUSH brush = TheShell().backgroundBrush.get();
  FillRect(dc, &r, brush != nullptr ? brush : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

HBRUSH CaptionBrush(Viewer& v, Rgb color) {
  const Rgb colors[3] = {kCaptionColor, kResizedCaptionColor, kFailedCaptionColor};
  for (int i = 0; i < 3; ++i) {
    if (colors[i] != color) continue;
    if (!v.captionBrushes[i]) {
      v.captionBrushes[i].reset(CreateSolidBrush(static_cast<COLORREF>(color)));
    }
    return v.captionBrushes[i].get();
  }
  return TheShell().backgroundBrush.get();
}

// Captions in their row's colour with dark text; images still loading as a dim box.
LRESULT ColumnColors(Viewer& v, HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  const int index = EntryOfControl(id);
  if (id >= kFirstThumbnailControl && index >= 0 &&
      index < static_cast<int>(v.layout.rows.size())) {
    if (id == CaptionControl(index)) {
      const Rgb color = CaptionColor(v.layout.rows[static_cast<std::size_t>(index)]);
      SetTextColor(dc, static_cast<COLORREF>(kCaptionTextColor));
      SetBkColor(dc, static_cast<COLORREF>(color));
      return reinterpret_cast<LRESULT>(CaptionBrush(v, color));
    }
  }
  if (!v.placeholderBrush) v.placeholderBrush.reset(CreateSolidBrush(kPlaceholderColor));
  return reinterpret_cast<LRESULT>(v.placeholderBrush.get());
}

// Stamped with the column's catalogue, so a click queued before a rebuild is not taken
// for the file that now has the control's number.
void PostControlEvent(const Viewer& v, int control, int type) {
  if (v.window != nullptr) {
    PostEvent(v.window, EventKind::Control, control, type, v.generation);
  }
}

LRESULT ColumnProc(Viewer& v, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int code = HIWORD(wParam);
      if (code == STN_CLICKED) PostControlEvent(v, LOWORD(wParam), kLeftClick);
      if (code == STN_DBLCLK) PostControlEvent(v, LOWORD(wParam), kDoubleClick);
      return 0;
    }
    case WM_CONTEXTMENU: {
      HWND source = reinterpret_cast<HWND>(wParam);
      if (source != window) PostControlEvent(v, GetDlgCtrlID(source), kRightClick);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      PostControlEvent(v, id::kViewerScroll, kLeftClick);
      return 0;
    case WM_MOUSEWHEEL:
      Wheel(v, wParam);
      return 0;
    case WM_KEYDOWN:
      if (ColumnKey(v, wParam)) return 0;
      break;
    case WM_CTLCOLORSTATIC:
      return ColumnColors(v, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
      FillBackground(window, reinterpret_cast<HDC>(wParam));
      return 1;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ScrollAreaProc(Viewer& v, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_VSCROLL: {
      RECT r{};
      GetClientRect(window, &r);
      const int page = std::max(kScrollStep, static_cast<int>(r.bottom));
      int pos = v.scrollPos;
      switch (LOWORD(wParam)) {
        case SB_LINEUP:
          pos -= kScrollStep;
          break;
        case SB_LINEDOWN:
          pos += kScrollStep;
          break;
        case SB_PAGEUP:
          pos -= page;
          break;
        case SB_PAGEDOWN:
          pos += page;
          break;
        case SB_TOP:
          pos = 0;
          break;
        case SB_BOTTOM:
          pos = MaxScroll(v);
          break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
          SCROLLINFO info{};
          info.cbSize = sizeof(info);
          info.fMask = SIF_TRACKPOS;
          GetScrollInfo(window, SB_VERT, &info);
          pos = info.nTrackPos;
          break;
        }
        default:
          break;
      }
      ScrollTo(v, pos);
      return 0;
    }
    case WM_MOUSEWHEEL:
      Wheel(v, wParam);
      return 0;
    case WM_SIZE:
      ScrollTo(v, v.scrollPos);
      return 0;
    case WM_LBUTTONDOWN:
      PostControlEvent(v, id::kViewerScroll, kLeftClick);
      return 0;
    case kThumbnailsReady:
      TakeThumbnails(v);
      return 0;
    case WM_ERASEBKGND:
      FillBackground(window, reinterpret_cast<HDC>(wParam));
      return 1;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// The window procedure of a child of the viewer (scroll area, column): `proc` with the
// viewer's state, default processing while there is none.
template <LRESULT (*Proc)(Viewer&, HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK WithViewerState(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Viewer* state = StateAbove(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return Proc(*state, window, message, wParam, lParam);
}

const wchar_t* RegisterChildClass(const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(TheShell().instance, name, &wc)) return name;
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = TheShell().instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
  return name;
}

HWND CreateColumn(const Viewer& v) {
  const wchar_t* cls = RegisterChildClass(L"SnapdeckThumbnailColumn", WithViewerState<ColumnProc>);
  return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, ColumnWidth(),
                         100, v.scroll, nullptr, TheShell().instance, nullptr);
}

// --- the window ---------------------------------------------------------------------------

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
      g_readyTarget = nullptr;
      ClearColumn(*state);
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
      if (wParam != SIZE_MINIMIZED && state->scroll != nullptr) {
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

ViewerState& TheViewerState() {
  static ViewerState state = [] {
    ViewerState s;
    const ScreenMetrics& m = TheShell().metrics;
    s.x = m.workLeft;
    s.height = m.workBottom;
    return s;
  }();
  return state;
}

ShotCatalogue& TheShotCatalogue() {
  static ShotCatalogue catalogue;
  return catalogue;
}

HWND ViewerWindow() {
  const Viewer* v = OpenState();
  return v != nullptr ? v->window : nullptr;
}

bool ViewerExists() { return ViewerWindow() != nullptr; }

void OpenViewer(bool activate) {
  if (ViewerExists()) return;
  Shell& shell = TheShell();
  ViewerState& state = TheViewerState();
  const DWORD style =
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
  RECT outer{0, 0, state.width, state.height};
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  HWND window = CreateWindowExW(0, ProgramWindowClass(), Wide(state.title).c_str(), style, state.x,
                                state.y, outer.right - outer.left, outer.bottom - outer.top,
                                nullptr, nullptr, shell.instance, nullptr);
  if (window == nullptr) return;
  auto owned = std::make_unique<Viewer>();
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
  const Box& scrollBox = *layout.find(id::kViewerScroll);
  const wchar_t* scrollClass =
      RegisterChildClass(L"SnapdeckScrollArea", WithViewerState<ScrollAreaProc>);
  v.scroll = CreateWindowExW(
      WS_EX_CLIENTEDGE, scrollClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN,
      scrollBox.x, scrollBox.y, scrollBox.width, scrollBox.height, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id::kViewerScroll)), shell.instance, nullptr);
  v.scrollPos = 0;
  v.columnHeight = 100;
  v.column = CreateColumn(v);
  g_readyTarget = v.scroll;

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

  RECT inner{0, 0, state.width, state.height};
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

void ScanShots() {
  Viewer* v = OpenState();
  if (v == nullptr) return;
  RememberScrollPosition();
  ClearColumn(*v);
  const AppSettings& settings = TheShell().settings;
  ScanFolder(TheShotCatalogue(), TheViewerState(), settings.sortview, settings.sortdir, Reader());
  SetViewerStatus(ItemsText(TheShotCatalogue().count()));
}

void BuildThumbnails() {
  Viewer* state = OpenState();
  if (state == nullptr || state->column == nullptr) return;
  Viewer& v = *state;
  ClearColumn(v);
  ShotCatalogue& catalogue = TheShotCatalogue();
  v.generation = catalogue.generation;
  ShowWindow(v.column, SW_HIDE);
  v.pictures.reserve(catalogue.entries.size());
  for (int i = 0; i < catalogue.count(); ++i) {
    ShotEntry& entry = catalogue.entries[static_cast<std::size_t>(i)];
    entry.control = ThumbnailControl(i);
    v.pictures.push_back(ProbeShot(entry, Reader()));
  }
  v.layout = LayOutColumn(v.pictures, ColumnWidth());
  v.rows.assign(v.pictures.size(), RowWindows{});
  ApplyLayout(v);
  ShowWindow(v.column, SW_SHOW);
  ScrollTo(v, TheViewerState().scrollPosition);
  ShowCountWithHidden(v);
  // So the mouse wheel scrolls the column; focusing a window of an inactive viewer would
  // activate it and take the keyboard from wherever the user is typing.
  if (GetActiveWindow() == v.window) FocusThumbnailColumn();
}

void RefreshThumbnails() {
  if (!ViewerExists()) return;
  ScanShots();
  BuildThumbnails();
}

void StoreViewerGeometry() {
  HWND window = ViewerWindow();
  if (window == nullptr || IsIconic(window)) return;
  ViewerState& state = TheViewerState();
  RECT outer{};
  RECT inner{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &inner);
  state.x = outer.left;
  state.y = outer.top;
  state.width = inner.right;
  state.height = inner.bottom;
}

int ViewerInnerWidth() {
  HWND window = ViewerWindow();
  if (window == nullptr) return 0;
  RECT inner{};
  GetClientRect(window, &inner);
  return inner.right;
}

void SetColumnWidthFromWindow() {
  ViewerState& state = TheViewerState();
  state.innerWidth = ViewerLayoutFor(state.width, state.height, TheShell().metrics).columnWidth;
}

void ShowSortDirection() {
  if (HWND button = GetDlgItem(ViewerWindow(), id::kViewerSortDir)) {
    SetWindowTextW(button, TheShell().settings.sortdir == 0 ? L"5" : L"6");
  }
}

void SetViewerStatus(const std::u16string& text) {
  const Viewer* v = OpenState();
  if (v == nullptr || v->status == nullptr) return;
  SendMessageW(v->status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
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
  Viewer* v = OpenState();
  const int index = EntryOfControl(control);
  if (v == nullptr || control != ThumbnailControl(index) || index < 0 ||
      index >= static_cast<int>(v->rows.size())) {
    return;
  }
  ReleaseImage(std::exchange(v->rows[static_cast<std::size_t>(index)].image, nullptr));
}

HWND ThumbnailColumn() {
  const Viewer* v = OpenState();
  return v != nullptr ? v->column : nullptr;
}

void FocusThumbnailColumn() {
  if (HWND column = ThumbnailColumn()) SetFocus(column);
}

void RememberScrollPosition() {
  if (const Viewer* v = OpenState()) TheViewerState().scrollPosition = v->scrollPos;
}

HMENU ShotMenu() {
  const Viewer* v = OpenState();
  return v != nullptr ? v->menu.get() : nullptr;
}

bool IsThumbnailControl(int control) {
  return control >= kFirstThumbnailControl &&
         control <= kFirstThumbnailControl + kControlsPerEntry * TheShotCatalogue().count();
}

bool ThumbnailEventCurrent(int control, std::uint32_t stamp) {
  const Viewer* v = OpenState();
  return v != nullptr && stamp == v->generation &&
         EntryOfEvent(TheShotCatalogue(), control, stamp) >= 0;
}

void SetThumbnailHandler(ThumbnailHandler handler) { g_thumbnailHandler = handler; }

void OnThumbnailEvent(int control, int type) {
  RememberScrollPosition();
  if (g_thumbnailHandler != nullptr) {
    g_thumbnailHandler(control, type);
  } else {
    FocusThumbnailColumn();
  }
}

void StopThumbnailWork() {
  g_readyTarget = nullptr;
  LoaderSlot().reset();
}

}  // namespace snapdeck::win32

#include "viewer/thumbnail_column_win32.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "dialogs/controls_win32.h"
#include "imaging/palette.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"

namespace snapdeck::win32 {
namespace {

constexpr COLORREF kPlaceholderColor = palette::kHouseLight;

constexpr wchar_t kColumnProperty[] = L"SnapdeckThumbnailColumn";

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

void ReleaseImage(HWND image) {
  if (image == nullptr) return;
  ReleaseShownPicture(image);
  DestroyWindow(image);
}

int ViewHeight(HWND scrollArea) {
  RECT r{};
  GetClientRect(scrollArea, &r);
  return r.bottom;
}

std::optional<ScrollMove> KeyMove(WPARAM key) {
  switch (key) {
    case VK_UP:
      return ScrollMove::LineUp;
    case VK_DOWN:
      return ScrollMove::LineDown;
    case VK_PRIOR:
      return ScrollMove::PageUp;
    case VK_NEXT:
      return ScrollMove::PageDown;
    case VK_HOME:
      return ScrollMove::Top;
    case VK_END:
      return ScrollMove::Bottom;
    default:
      return std::nullopt;
  }
}

// The scroll bar's request; the thumb's is read from the bar.
ScrollRequest BarRequest(HWND scrollArea, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case SB_LINEUP:
      return {ScrollMove::LineUp};
    case SB_LINEDOWN:
      return {ScrollMove::LineDown};
    case SB_PAGEUP:
      return {ScrollMove::PageUp};
    case SB_PAGEDOWN:
      return {ScrollMove::PageDown};
    case SB_TOP:
      return {ScrollMove::Top};
    case SB_BOTTOM:
      return {ScrollMove::Bottom};
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(scrollArea, SB_VERT, &info);
      return {ScrollMove::To, info.nTrackPos};
    }
    default:
      return {};
  }
}

ScrollRequest WheelRequest(WPARAM wParam) {
  return {ScrollMove::Wheel, GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA};
}

void FillBackground(HWND window, HDC dc) {
  RECT r;
  GetClientRect(window, &r);
  HBRUSH brush = TheShell().backgroundBrush.get();
  FillRect(dc, &r, brush != nullptr ? brush : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
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

}  // namespace

ThumbnailColumn::ThumbnailColumn(ShotCatalogue& catalogue, FolderReader& reader,
                                 std::function<void()> relaidOut)
    : catalogue_(catalogue), reader_(reader), relaidOut_(std::move(relaidOut)) {}

ThumbnailColumn::~ThumbnailColumn() = default;

// The window procedure of the scroll area or the column: `Handle` of the column the window
// belongs to, default processing while there is none.
template <LRESULT (ThumbnailColumn::*Handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK ThumbnailColumn::WithColumn(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  auto* column = static_cast<ThumbnailColumn*>(GetPropW(window, kColumnProperty));
  if (column == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) RemovePropW(window, kColumnProperty);
  return (column->*Handle)(window, message, wParam, lParam);
}

void ThumbnailColumn::create(HWND window, const Box& box, int number) {
  HINSTANCE instance = TheShell().instance;
  owner_ = window;
  number_ = number;
  const wchar_t* scrollClass =
      RegisterChildClass(L"SnapdeckScrollArea", WithColumn<&ThumbnailColumn::scrollAreaMessage>);
  scroll_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, scrollClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN,
      box.x, box.y, box.width, box.height, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)), instance, nullptr);
  if (scroll_ != nullptr) SetPropW(scroll_, kColumnProperty, this);
  scrollPos_ = 0;
  columnHeight_ = 100;
  const wchar_t* columnClass =
      RegisterChildClass(L"SnapdeckThumbnailColumn", WithColumn<&ThumbnailColumn::columnMessage>);
  column_ = CreateWindowExW(0, columnClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                            width(), 100, scroll_, nullptr, instance, nullptr);
  if (column_ != nullptr) SetPropW(column_, kColumnProperty, this);
  if (scroll_ != nullptr) calls_.attach(scroll_);
}

void ThumbnailColumn::close() {
  calls_.detach();
  clear();
}

int ThumbnailColumn::width() const { return std::max(1, width_); }

ThumbnailLoader& ThumbnailColumn::loader() {
  if (!loader_) {
    loader_ = std::make_unique<ThumbnailLoader>(
        reader_, ThumbnailLoader::DefaultThreads(), kThumbnailDecodeBudget,
        [this] { calls_.post([this] { takeThumbnails(); }); });
  }
  return *loader_;
}

// Moves the column and its scroll bar to the request's position.
void ThumbnailColumn::scroll(ScrollRequest request) {
  scrollPos_ = scroll_ != nullptr
                   ? ScrolledPosition(scrollPos_, request, columnHeight_, ViewHeight(scroll_))
                   : 0;
  if (column_ != nullptr) {
    SetWindowPos(column_, nullptr, 0, -scrollPos_, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (scroll_ == nullptr) return;
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = std::max(0, columnHeight_ - 1);
  info.nPage = static_cast<UINT>(std::max(0, ViewHeight(scroll_)));
  info.nPos = scrollPos_;
  SetScrollInfo(scroll_, SB_VERT, &info, TRUE);
}

void ThumbnailColumn::clear() {
  if (loader_) loader_->cancel();
  for (RowWindows& row : rows_) {
    ReleaseImage(row.image);
    if (row.caption != nullptr) DestroyWindow(row.caption);
  }
  rows_.clear();
  pictures_.clear();
  layout_ = ColumnLayout{};
}

void ThumbnailColumn::build(int position) {
  if (column_ == nullptr) return;
  clear();
  generation_ = catalogue_.generation;
  ShowWindow(column_, SW_HIDE);
  pictures_.reserve(catalogue_.entries.size());
  for (int i = 0; i < catalogue_.count(); ++i) {
    ShotEntry& entry = catalogue_.entries[static_cast<std::size_t>(i)];
    entry.control = ThumbnailControl(i);
    pictures_.push_back(ProbeShot(entry, reader_));
  }
  layout_ = LayOutColumn(pictures_, width());
  rows_.assign(pictures_.size(), RowWindows{});
  applyLayout();
  ShowWindow(column_, SW_SHOW);
  scroll({ScrollMove::To, position});
}

void ThumbnailColumn::removeImage(int control) {
  const int index = EntryOfControl(control);
  if (control != ThumbnailControl(index) || index < 0 ||
      index >= static_cast<int>(rows_.size())) {
    return;
  }
  ReleaseImage(std::exchange(rows_[static_cast<std::size_t>(index)].image, nullptr));
}

void ThumbnailColumn::setCaption(int index) {
  const ColumnRow& row = layout_.rows[static_cast<std::size_t>(index)];
  HWND& caption = rows_[static_cast<std::size_t>(index)].caption;
  const std::u16string text = CaptionText(catalogue_.entries[static_cast<std::size_t>(index)], row);
  if (caption == nullptr) {
    caption = MakeDialogControl(column_, L"Static", text, kCaptionStyle, kCaptionExStyle,
                                {0, row.captionY, width(), 20}, CaptionControl(index));
    return;
  }
  if (WindowText(caption) != text) SetWindowTextU16(caption, text);
  SetWindowPos(caption, nullptr, 0, row.captionY, width(), 20, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(caption, nullptr, TRUE);
}

void ThumbnailColumn::setImage(int index) {
  const ColumnRow& row = layout_.rows[static_cast<std::size_t>(index)];
  HWND& image = rows_[static_cast<std::size_t>(index)].image;
  const SIZE size = ImageWindowSize(row.thumb.width, row.thumb.height);
  if (image == nullptr) {
    image = MakeDialogControl(column_, L"Static", u"", kImageStyle, kImageExStyle,
                              {row.imageX, row.imageY, size.cx, size.cy}, ThumbnailControl(index));
  } else {
    SetWindowPos(image, nullptr, row.imageX, row.imageY, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// Puts every row's controls where the layout wants them and asks for the pictures
// of rows that show one; rows past the column's limit get no controls.
void ThumbnailColumn::applyLayout() {
  std::vector<ThumbnailJob> jobs;
  for (int i = 0; i < static_cast<int>(layout_.rows.size()); ++i) {
    const ColumnRow& row = layout_.rows[static_cast<std::size_t>(i)];
    RowWindows& windows = rows_[static_cast<std::size_t>(i)];
    if (row.hidden) {
      ReleaseImage(std::exchange(windows.image, nullptr));
      if (windows.caption != nullptr) DestroyWindow(std::exchange(windows.caption, nullptr));
      windows.requested = false;
      continue;
    }
    if (row.loaded) {
      setImage(i);
    } else {
      ReleaseImage(std::exchange(windows.image, nullptr));
    }
    if ((row.loaded || row.pending) && !windows.requested) {
      windows.requested = true;
      jobs.push_back(JobForRow(i, catalogue_.entries[static_cast<std::size_t>(i)],
                               pictures_[static_cast<std::size_t>(i)], width()));
    }
    setCaption(i);
  }
  columnHeight_ = VisibleColumnHeight(layout_);
  SetWindowPos(column_, nullptr, 0, 0, width(), std::max(1, columnHeight_),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!jobs.empty()) loader().submit(std::move(jobs));
}

// Thumbnails made by the loader; the column is laid out again before pictures are shown.
void ThumbnailColumn::takeThumbnails() {
  if (!loader_ || column_ == nullptr) return;
  const std::vector<ThumbnailResult> results = loader_->take();
  const TakenThumbnails taken = TakeThumbnails(pictures_, results);
  for (int row : taken.reasked) rows_[static_cast<std::size_t>(row)].requested = false;
  if (taken.relayout) {
    layout_ = LayOutColumn(pictures_, width());
    applyLayout();
    scroll({});
    if (relaidOut_) relaidOut_();
  }
  for (std::size_t at : taken.shown) {
    const ThumbnailResult& result = results[at];
    if (HWND image = rows_[static_cast<std::size_t>(result.index)].image) {
      ShowPictureInControl(image, result.thumbnail);
    }
  }
}

HBRUSH ThumbnailColumn::captionBrush(Rgb color) {
  const Rgb colors[3] = {kCaptionColor, kResizedCaptionColor, kFailedCaptionColor};
  for (int i = 0; i < 3; ++i) {
    if (colors[i] != color) continue;
    if (!captionBrushes_[i]) captionBrushes_[i].reset(CreateSolidBrush(static_cast<COLORREF>(color)));
    return captionBrushes_[i].get();
  }
  return TheShell().backgroundBrush.get();
}

// Captions in their row's colour with dark text; images still loading as a dim box.
LRESULT ThumbnailColumn::colors(HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  const int index = EntryOfControl(id);
  if (id >= kFirstThumbnailControl && index >= 0 &&
      index < static_cast<int>(layout_.rows.size())) {
    if (id == CaptionControl(index)) {
      const Rgb color = CaptionColor(layout_.rows[static_cast<std::size_t>(index)]);
      SetTextColor(dc, static_cast<COLORREF>(kCaptionTextColor));
      SetBkColor(dc, static_cast<COLORREF>(color));
      return reinterpret_cast<LRESULT>(captionBrush(color));
    }
  }
  if (!placeholderBrush_) placeholderBrush_.reset(CreateSolidBrush(kPlaceholderColor));
  return reinterpret_cast<LRESULT>(placeholderBrush_.get());
}

// Stamped with the column's catalogue, so a click queued before a rebuild is not taken
// for the file that now has the control's number.
void ThumbnailColumn::postControlEvent(int control, int type) const {
  if (owner_ != nullptr) PostEvent(owner_, EventKind::Control, control, type, generation_);
}

LRESULT ThumbnailColumn::columnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int code = HIWORD(wParam);
      if (code == STN_CLICKED) postControlEvent(LOWORD(wParam), kLeftClick);
      if (code == STN_DBLCLK) postControlEvent(LOWORD(wParam), kDoubleClick);
      return 0;
    }
    case WM_CONTEXTMENU: {
      HWND source = reinterpret_cast<HWND>(wParam);
      if (source != window) postControlEvent(GetDlgCtrlID(source), kRightClick);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      postControlEvent(number_, kLeftClick);
      return 0;
    case WM_MOUSEWHEEL:
      scroll(WheelRequest(wParam));
      return 0;
    case WM_KEYDOWN:
      if (const std::optional<ScrollMove> move = KeyMove(wParam)) {
        scroll({*move});
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
      return colors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
      FillBackground(window, reinterpret_cast<HDC>(wParam));
      return 1;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ThumbnailColumn::scrollAreaMessage(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  switch (message) {
    case WM_VSCROLL:
      scroll(BarRequest(window, wParam));
      return 0;
    case WM_MOUSEWHEEL:
      scroll(WheelRequest(wParam));
      return 0;
    case WM_SIZE:
      scroll({});
      return 0;
    case WM_LBUTTONDOWN:
      postControlEvent(number_, kLeftClick);
      return 0;
    case kUiCallMessage:
      calls_.run();
      return 0;
    case WM_ERASEBKGND:
      FillBackground(window, reinterpret_cast<HDC>(wParam));
      return 1;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace snapdeck::win32

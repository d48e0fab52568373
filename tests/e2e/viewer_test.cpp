// The viewer window on the real program: its controls, the thumbnail column and its
// captions, sorting, the shortcuts and close rules, a capture while it is open, and a
// large folder that loads while the window keeps answering.
#include "driver/viewer.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/fixture.h"
#include "imaging/codec.h"
#include "imaging/draw.h"
#include "platform/win32/handles_win32.h"

namespace e2e {
namespace {

class Viewer : public E2eTest {
 protected:
  // The program started in the test's folder with its viewer open; viewer is null when
  // either window did not come up.
  struct Opened {
    Program& p;
    HWND main;
    HWND viewer;
  };
  Opened StartWithViewer(const LaunchOptions& options = {}) {
    Program& p = Start(folder_, options);
    HWND main = WaitMain(p);
    EXPECT_NE(main, nullptr) << "no main window";
    return {p, main, main != nullptr ? OpenViewerWindow(p, main) : nullptr};
  }
};

// Settings that sort the column by name, A first.
LaunchOptions ByNameAscending() {
  LaunchOptions options;
  options.settings = ToBytes(IniText({{"sortview", "2"}, {"sortdir", "0"}}));
  return options;
}

// True once the image control shows a decoded picture.
bool HasPicture(HWND image) {
  return image != nullptr && SendMessageW(image, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0;
}

// A w x h picture file of one colour in the given format (0 BMP, 1 JPEG, 2 PNG).
void WritePicture(const std::wstring& path, int w, int h, int format = 2,
                  snapdeck::Rgb color = snapdeck::MakeRgb(40, 90, 200)) {
  ASSERT_TRUE(
      WriteFileBytes(path, snapdeck::EncodeForFormat(snapdeck::MakePicture(w, h, color), format)));
}

// Default settings of a first run in programFolder, with one folder history entry set.
LaunchOptions WithFolderEntry(const std::wstring& programFolder, int entry,
                              const std::wstring& folder) {
  SettingsLines settings = SettingsLines::Defaults(programFolder);
  settings.Set("shotfolder[" + std::to_string(entry) + "]", Utf8(folder));
  LaunchOptions options;
  options.settings = settings.FileBytes();
  return options;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Waits until the caption of entry `index` begins with the file name.
bool WaitCaption(HWND viewer, int index, const std::wstring& prefix) {
  return WaitUntil([&] { return StartsWith(Text(ThumbnailCaption(viewer, index)), prefix); });
}

// The dark pixels inside a button's face (clear of its edges and focus frame), per row.
struct Ink {
  int left = 0, right = -1;               // columns, inclusive
  std::vector<std::pair<int, int>> rows;  // first and last dark column of each inked row
  int top = -1, bottom = -1;
};

Ink InkOf(HWND button) {
  Ink ink;
  const std::optional<snapdeck::Picture> p = ScreenPixels(button);
  if (!p) return ink;
  ink.left = p->width;
  for (int y = 4; y < p->height - 4; ++y) {
    int first = -1, last = -1;
    for (int x = 4; x < p->width - 4; ++x) {
      const std::uint32_t c = Rrggbb(*p, x, y);
      if (((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255) >= 300) continue;
      if (first < 0) first = x;
      last = x;
    }
    if (first < 0) continue;
    if (ink.top < 0) ink.top = y;
    ink.bottom = y;
    ink.rows.push_back({first, last});
    ink.left = std::min(ink.left, first);
    ink.right = std::max(ink.right, last);
  }
  return ink;
}

// A solid triangle pointing up or down: rows one pixel wider on each side from its tip,
// all about the same centre. A letter in its place is nothing like that.
bool ShowsTriangle(HWND button, bool up) {
  const Ink ink = InkOf(button);
  if (ink.rows.size() < 4 || static_cast<int>(ink.rows.size()) != ink.bottom - ink.top + 1) {
    return false;
  }
  const int centre2 = ink.rows.front().first + ink.rows.front().second;
  for (std::size_t j = 0; j < ink.rows.size(); ++j) {
    const auto [first, last] = ink.rows[j];
    const int width = last - first + 1;
    const int expected = 2 * static_cast<int>(up ? j : ink.rows.size() - 1 - j) + 1;
    if (width != expected || first + last != centre2) return false;
  }
  return true;
}

// A ring with an arrow head: about as wide as high, open in the middle. A "q" is taller
// than wide.
bool ShowsRefreshArrow(HWND button) {
  const Ink ink = InkOf(button);
  if (ink.rows.size() < 6) return false;
  const int w = ink.right - ink.left + 1;
  const int h = ink.bottom - ink.top + 1;
  const std::optional<snapdeck::Picture> p = ScreenPixels(button);
  const std::uint32_t middle = Rrggbb(*p, (ink.left + ink.right) / 2, (ink.top + ink.bottom) / 2);
  const bool hollow = ((middle >> 16) & 255) + ((middle >> 8) & 255) + (middle & 255) >= 300;
  return std::abs(w - h) <= 2 && hollow;
}

TEST_F(Viewer, ToggleOpensTheWindowWithItsControlsAndCount) {
  WritePicture(JoinPath(folder_, L"one.png"), 120, 80);
  WritePicture(JoinPath(folder_, L"two.bmp"), 100, 60, 0);
  WritePicture(JoinPath(folder_, L"skip.PNG"), 100, 60);
  auto [p, main, viewer] = StartWithViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(Checked(Control(main, id::kToggleViewer)), BST_CHECKED);
  EXPECT_TRUE(WaitViewerStatus(viewer, L"2 items. (0 hidden)"));

  const LONG style = GetWindowLongW(viewer, GWL_STYLE);
  EXPECT_NE(style & WS_THICKFRAME, 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
  EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
  EXPECT_TRUE(TopMost(viewer));  // stayontop is on by default

  // The bottom row follows the window's lower edge (layout at the window's inner size).
  const SIZE inner = ClientSize(viewer);
  const int W = inner.cx, H = inner.cy;
  struct Expect {
    int id;
    int x, y, w;
    const wchar_t* text;
  };
  const Expect controls[] = {
      {61, 10, 10, W - 20, L""},
      {66, 12, H - 80 + GetSystemMetrics(SM_CYDLGFRAME), 40, L"Sort by:"},
      {68, 55, H - 80, 16, L""},
      {67, 71, H - 78, 40, L"name"},
      {70, 110, H - 80, 16, L""},
      {69, 126, H - 78, 45, L"number"},
      {72, 170, H - 80, 16, L""},
      {71, 186, H - 78, 50, L"timestamp"},
      {62, 10, H - 50, W - 20, L"close"},
      {64, 240, H - 80, (W - 260) / 2, L"6"},  // sortdir 1 by default
      {65, (W - 320) / 2 + 280, H - 80, (W - 260) / 2, L"q"},
  };
  for (const Expect& e : controls) {
    HWND c = Control(viewer, e.id);
    ASSERT_NE(c, nullptr) << "no control " << e.id;
    const RECT r = RectInParent(c);
    EXPECT_EQ(r.left, e.x) << "x of " << e.id;
    EXPECT_EQ(r.top, e.y) << "y of " << e.id;
    EXPECT_EQ(r.right - r.left, e.w) << "width of " << e.id;
    EXPECT_EQ(Text(c), e.text) << "text of " << e.id;
  }
  EXPECT_EQ(RectInParent(Control(viewer, id::kViewerScroll)).bottom - 10, H - 100 + 10 - 10);
  // sortview 4 (the default) sets the time-stamp option only.
  EXPECT_EQ(Checked(Control(viewer, id::kViewerSortName)), BST_UNCHECKED);
  EXPECT_EQ(Checked(Control(viewer, id::kViewerSortNumber)), BST_UNCHECKED);
  EXPECT_EQ(Checked(Control(viewer, id::kViewerSortTime)), BST_CHECKED);
  EXPECT_NE(ThumbnailImage(viewer, 0), nullptr);
  EXPECT_NE(ThumbnailImage(viewer, 1), nullptr);

  // The close button turns the toggle off again.
  Click(Control(viewer, id::kViewerClose));
  EXPECT_TRUE(p.WaitWindowGone(kViewerTitle));
  EXPECT_TRUE(
      WaitUntil([&] { return Checked(Control(main, id::kToggleViewer)) == BST_UNCHECKED; }));
  EndWithEsc(p, main);
}

TEST_F(Viewer, WidePictureShrinksAndBrokenFileGivesAFailedRow) {
  WritePicture(JoinPath(folder_, L"a[1].png"), 484, 324);
  ASSERT_TRUE(WriteFileText(JoinPath(folder_, L"b[2].png"), "this is no picture"));
  WritePicture(JoinPath(folder_, L"c[3].jpg"), 320, 240, 1);
  // A picture whose header is whole but whose pixel data breaks off.
  Bytes cut = snapdeck::EncodeForFormat(snapdeck::MakePicture(300, 200, 0x123456), 0);
  cut.resize(cut.size() / 2);
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder_, L"d[4].bmp"), cut));
  auto [p, main, viewer] = StartWithViewer(ByNameAscending());
  ASSERT_NE(viewer, nullptr);

  // Resize the viewer so that the column is 330 wide, as a user dragging its edge would;
  // the end of the resize lays the column out again.
  const int frame2 = 2 * GetSystemMetrics(SM_CXFRAME);
  const int column = 330;
  const int innerWidth = column + frame2 + GetSystemMetrics(SM_CYHSCROLL) + 20;
  RECT outer = ScreenRect(viewer);
  const SIZE inner = ClientSize(viewer);
  const int outerWidth = innerWidth + (outer.right - outer.left - inner.cx);
  SetWindowPos(viewer, nullptr, 0, 0, outerWidth, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageW(viewer, WM_EXITSIZEMOVE, 0, 0);
  HWND column61 = Control(viewer, id::kViewerScroll);
  ASSERT_TRUE(WaitUntil([&] {
    HWND image = ThumbnailImage(viewer, 0);
    return image != nullptr && RectInParent(image).left == 3 && ClientSize(image).cx == 324;
  })) << "thumbnail at x "
      << RectInParent(ThumbnailImage(viewer, 0)).left << " width "
      << ClientSize(ThumbnailImage(viewer, 0)).cx << "; column " << ClientSize(column61).cx;
  HWND image = ThumbnailImage(viewer, 0);
  EXPECT_EQ(ClientSize(image).cy, 214);
  EXPECT_EQ(RectInParent(image).top, 0);
  const std::wstring caption = Text(ThumbnailCaption(viewer, 0));
  EXPECT_TRUE(StartsWith(caption, L"a[1].png   (484x324)   [")) << Utf8(caption);
  EXPECT_TRUE(caption.size() > 12 && caption.substr(caption.size() - 12) == L"]   resized!")
      << Utf8(caption);
  EXPECT_EQ(RectInParent(ThumbnailCaption(viewer, 0)).top, 214 + 5);

  // The file that is no picture: a 30-pixel row with its caption and no image.
  EXPECT_TRUE(WaitCaption(viewer, 1, L"b[2].png   load failed!"));
  EXPECT_EQ(Text(ThumbnailCaption(viewer, 1)), L"b[2].png   load failed!");
  EXPECT_EQ(ThumbnailImage(viewer, 1), nullptr);
  EXPECT_EQ(RectInParent(ThumbnailCaption(viewer, 1)).top, 214 + 35);
  // The JPEG fits and keeps its size, centred.
  HWND small = ThumbnailImage(viewer, 2);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(RectInParent(small).top, 214 + 35 + 30);
  EXPECT_EQ(RectInParent(small).left, (column - 320) / 2);
  EXPECT_TRUE(
      WaitUntil([&] { return ClientSize(small).cx == 320 && ClientSize(small).cy == 240; }));
  // Laid out from its header first, the cut picture turns into a failed row.
  EXPECT_TRUE(WaitCaption(viewer, 3, L"d[4].bmp   load failed!"));
  EXPECT_TRUE(WaitUntil([&] { return ThumbnailImage(viewer, 3) == nullptr; }));
  EXPECT_EQ(RectInParent(ThumbnailCaption(viewer, 3)).top, 214 + 35 + 30 + 240 + 35);
  EXPECT_TRUE(WaitViewerStatus(viewer, L"4 items. (0 hidden)"));
  EndWithEsc(p, main);
}

TEST_F(Viewer, SortsByNumberBothWaysAndByName) {
  WritePicture(JoinPath(folder_, L"x[3].png"), 40, 30);
  WritePicture(JoinPath(folder_, L"z[1].png"), 40, 30);
  WritePicture(JoinPath(folder_, L"y[2].png"), 40, 30);
  auto [p, main, viewer] = StartWithViewer();
  ASSERT_NE(viewer, nullptr);

  Click(Control(viewer, id::kViewerSortNumber));  // by number, descending (sortdir 1)
  EXPECT_TRUE(WaitCaption(viewer, 0, L"x[3].png"));
  EXPECT_TRUE(WaitCaption(viewer, 2, L"z[1].png"));
  Click(Control(viewer, id::kViewerSortDir));  // ascending
  EXPECT_TRUE(WaitCaption(viewer, 0, L"z[1].png"));
  EXPECT_TRUE(WaitCaption(viewer, 1, L"y[2].png"));
  EXPECT_TRUE(WaitCaption(viewer, 2, L"x[3].png"));
  EXPECT_EQ(Text(Control(viewer, id::kViewerSortDir)), L"5");
  Click(Control(viewer, id::kViewerSortName));  // by name, ascending
  EXPECT_TRUE(WaitCaption(viewer, 0, L"x[3].png"));
  EXPECT_TRUE(WaitCaption(viewer, 2, L"z[1].png"));

  EndWithEsc(p, main);
  SettingsLines saved = SavedSettings(folder_);
  EXPECT_EQ(saved.Get("sortview"), "1");
  EXPECT_EQ(saved.Get("sortdir"), "0");
}

TEST_F(Viewer, F9CloseRequestsAndTheToggleCloseOnlyTheViewerAndRestoreItWhenMinimised) {
  auto [p, main, viewer] = StartWithViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(WaitViewerStatus(viewer, L"0 items. (0 hidden)"));
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == viewer; }, 5000) ||
              SetForegroundWindow(viewer));
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == viewer; }));
  PressKey(viewer, VK_F9);
  ASSERT_TRUE(p.WaitWindowGone(kViewerTitle));
  EXPECT_TRUE(
      WaitUntil([&] { return Checked(Control(main, id::kToggleViewer)) == BST_UNCHECKED; }));

  // Turning the toggle off while the viewer is minimised brings it back instead.
  viewer = OpenViewerWindow(p, main);
  ASSERT_NE(viewer, nullptr);
  ShowWindow(viewer, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(viewer) != FALSE; }));
  Click(Control(main, id::kToggleViewer));
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(viewer) && IsWindowVisible(viewer); }))
      << "the minimised viewer was not restored";
  EXPECT_TRUE(IsWindow(viewer));
  EXPECT_TRUE(WaitUntil([&] { return Checked(Control(main, id::kToggleViewer)) == BST_CHECKED; }));

  // Closing the main window while the viewer is open closes only the viewer.
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(p.WaitWindowGone(kViewerTitle));
  EXPECT_TRUE(p.running());
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(Checked(Control(main, id::kToggleViewer)), BST_UNCHECKED);
  // Now a close request ends the program.
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(p.WaitExit(), std::optional<DWORD>(0));
}

TEST_F(Viewer, ACaptureWhileOpenAddsItsThumbnail) {
  WritePicture(JoinPath(folder_, L"old.png"), 60, 40);
  auto [p, main, viewer] = StartWithViewer(WithDevices({{"devices", "1"}}));
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(WaitViewerStatus(viewer, L"1 items. (0 hidden)"));
  SetForegroundWindow(viewer);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == viewer; }));
  TakeShot(p, main);
  EXPECT_TRUE(WaitViewerStatus(viewer, L"2 items. (0 hidden)", 30000));
  // The finished capture hands the keyboard back to the main window.
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }));
  // Newest first (time stamp, descending): the capture heads the column.
  EXPECT_TRUE(WaitCaption(viewer, 0, L"snapdeck.png   (242x162)   ["));
  EXPECT_TRUE(WaitUntil([&] {
    HWND image = ThumbnailImage(viewer, 0);
    return image != nullptr && ClientSize(image).cx == 242 && ClientSize(image).cy == 162;
  }));
  EndWithEsc(p, main);
}

TEST_F(Viewer, FollowsAFolderChosenInTheMainWindow) {
  const std::wstring other = Folder(L"other");
  WritePicture(JoinPath(folder_, L"here.png"), 60, 40);
  WritePicture(JoinPath(other, L"a.png"), 60, 40);
  WritePicture(JoinPath(other, L"b.jpg"), 60, 40, 1);
  auto [p, main, viewer] = StartWithViewer(WithFolderEntry(folder_, 1, other));
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(WaitViewerStatus(viewer, L"1 items. (0 hidden)"));
  SelectCombo(Control(main, id::kFolderCombo), 1);
  EXPECT_TRUE(WaitUntil([&] {
    HWND now = p.FindWindowTitled(kViewerTitle);
    return now != nullptr && ViewerStatus(now) == L"2 items. (0 hidden)";
  })) << "the viewer did not show the chosen folder";
  EndWithEsc(p, main);
}

// Each key typed in the folder box that names another folder re-opens the viewer on it:
// the viewer follows, and the keys keep going into the folder box.
TEST_F(Viewer, FollowsAFolderBeingTypedWhileTheFocusStaysInTheFolderBox) {
  const std::wstring sub = Folder(L"sub");
  WritePicture(JoinPath(folder_, L"here.png"), 60, 40);
  WritePicture(JoinPath(sub, L"a.png"), 60, 40);
  WritePicture(JoinPath(sub, L"b.jpg"), 60, 40, 1);
  auto [p, main, viewer] = StartWithViewer();
  ASSERT_NE(viewer, nullptr);
  HWND combo = Control(main, 36);
  HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  // The user clicks into the folder box and goes to the end of its text.
  MouseClick(edit);
  ASSERT_TRUE(WaitUntil([&] { return FocusIn(main) == edit; })) << "the click missed the box";
  HoldKeys({VK_END});
  ReleaseKeys({VK_END});

  std::wstring typed = Text(combo);
  ASSERT_EQ(typed, folder_);
  for (const wchar_t c : std::wstring(L"sub\\")) {
    typed += c;
    TypeChar(c);
    ASSERT_TRUE(WaitUntil([&] { return Text(combo) == typed; }))
        << "the box shows " << Utf8(Text(combo)) << " after typing " << Utf8(typed);
    // The final separator names the folder the viewer follows already.
    if (c == L'\\') {
      EXPECT_EQ(FocusIn(main), edit) << "the focus left the box after " << Utf8(typed);
      continue;
    }
    HWND followed = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      followed = p.FindWindowTitled(kViewerTitle);
      return followed != nullptr && followed != viewer &&
             ViewerStatus(followed).find(L" hidden)") != std::wstring::npos;
    })) << "the viewer did not follow "
        << Utf8(typed);
    viewer = followed;
    EXPECT_EQ(FocusIn(main), edit) << "the focus left the box after " << Utf8(typed);
  }
  EXPECT_TRUE(WaitViewerStatus(viewer, L"2 items. (0 hidden)"));
  EndWithEsc(p, main);
}

// Without a symbol font (Wine has none) the buttons show the triangles and the refresh
// arrow drawn, not the letters "5", "6" and "q" that stand for them in that font.
TEST_F(Viewer, GlyphButtonsShowTheirSymbols) {
  auto [p, main, viewer] = StartWithViewer();
  ASSERT_NE(viewer, nullptr);
  HWND direction = Control(viewer, 64);
  EXPECT_TRUE(WaitUntil([&] { return ShowsTriangle(direction, false); }));  // sortdir 1
  EXPECT_TRUE(WaitUntil([&] { return ShowsRefreshArrow(Control(viewer, 65)); }));
  EXPECT_TRUE(WaitUntil([&] { return ShowsTriangle(Control(main, 45), false); }));
  Click(direction);
  EXPECT_TRUE(WaitUntil([&] { return Text(direction) == L"5"; }));
  EXPECT_TRUE(WaitUntil([&] { return ShowsTriangle(direction, true); }));
  EndWithEsc(p, main);
}

// Makes the file `extra` bytes longer with zeros, sparse where the file system can.
bool Pad(const std::wstring& path, LONGLONG extra) {
  snapdeck::win32::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER move{};
  move.QuadPart = extra;
  return file && SetFilePointerEx(file.get(), move, nullptr, FILE_END) && SetEndOfFile(file.get());
}

TEST_F(Viewer, AFolderOfPaddedPicturesOpensWithEveryThumbnail) {
  // Small pictures of each format with tens of megabytes after them, one JPEG with its
  // size behind more metadata than the first read holds.
  const snapdeck::Picture picture = snapdeck::MakePicture(40, 30, snapdeck::MakeRgb(200, 60, 20));
  Bytes meta = snapdeck::EncodeForFormat(picture, 1);
  const Bytes app = [] {
    Bytes segment = {0xFF, 0xE2, 0xFF, 0xFF};
    segment.resize(2 + 0xFFFF, 0);
    return segment;
  }();
  for (int i = 0; i < 2; ++i) meta.insert(meta.begin() + 2, app.begin(), app.end());
  const std::vector<std::pair<std::wstring, Bytes>> files = {
      {L"pad[1].png", snapdeck::EncodeForFormat(picture, 2)},
      {L"pad[2].jpg", snapdeck::EncodeForFormat(picture, 1)},
      {L"pad[3].bmp", snapdeck::EncodeForFormat(picture, 0)},
      {L"pad[4].jpg", meta}};
  struct Remover {
    std::vector<std::wstring> paths;
    ~Remover() {
      for (const std::wstring& path : paths) DeleteFileW(path.c_str());
    }
  } written;
  for (const auto& [name, bytes] : files) {
    const std::wstring path = JoinPath(folder_, name);
    written.paths.push_back(path);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    ASSERT_TRUE(Pad(path, 40LL << 20)) << Utf8(name);
  }
  auto [p, main, viewer] = StartWithViewer(ByNameAscending());
  ASSERT_NE(viewer, nullptr);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(WaitCaption(viewer, i, files[static_cast<std::size_t>(i)].first + L"   (40x30)   ["))
        << "row " << i << ": " << Utf8(Text(ThumbnailCaption(viewer, i)));
    EXPECT_TRUE(WaitUntil([&] { return HasPicture(ThumbnailImage(viewer, i)); }))
        << "no picture in row " << i;
  }
  EXPECT_TRUE(WaitViewerStatus(viewer, L"4 items. (0 hidden)"));
  EXPECT_TRUE(IsWindow(main));
  EndWithEsc(p, main);
}

TEST_F(Viewer, ALargeFolderOpensWhileTheWindowKeepsAnswering) {
  // Large pictures, so that decoding them takes a while even on a fast machine.
  const std::wstring shots = Folder(L"shots");
  const Bytes picture = snapdeck::EncodeForFormat(
      snapdeck::MakePicture(2560, 1920, snapdeck::MakeRgb(90, 80, 160)), 2);
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(WriteFileBytes(JoinPath(shots, L"shot[" + std::to_wstring(i) + L"].png"), picture));
  }
  auto [p, main, viewer] = StartWithViewer(WithFolderEntry(folder_, 0, shots));
  ASSERT_NE(viewer, nullptr);
  // Every row is laid out from the headers at once; rows past the window system's
  // 32768-pixel limit are counted as hidden and get no controls.
  const std::wstring status = ViewerStatus(viewer);
  ASSERT_TRUE(StartsWith(status, L"300 items. (")) << Utf8(status);
  const int hidden = std::stoi(status.substr(12));
  EXPECT_GT(hidden, 0);
  const int shown = 300 - hidden;
  EXPECT_NE(ThumbnailImage(viewer, shown - 1), nullptr);
  EXPECT_EQ(ThumbnailImage(viewer, shown), nullptr);
  HWND column = GetWindow(Control(viewer, id::kViewerScroll), GW_CHILD);
  EXPECT_GT(ClientSize(column).cy, 30000);

  // While the pictures arrive the window answers at once, every time it is asked. They
  // are decoded in column order, so the last row's picture is among the last to come.
  const auto loading = [&] {
    return !HasPicture(ThumbnailImage(viewer, shown - 1));
  };
  int answeredWhileLoading = 0;
  bool hung = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const bool stillLoading = loading();
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(viewer, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &result)) {
          hung = true;
        } else if (stillLoading) {
          ++answeredWhileLoading;
        }
        return !stillLoading;
      },
      120000, 20))
      << "the last thumbnail never arrived";
  for (int i = 0; i < shown; ++i) {
    EXPECT_TRUE(HasPicture(ThumbnailImage(viewer, i))) << "no picture in row " << i;
  }
  EXPECT_FALSE(hung) << "the viewer did not answer within 500 ms while loading";
  EXPECT_GT(answeredWhileLoading, 0);
  EndWithEsc(p, main);
}

}  // namespace
}  // namespace e2e

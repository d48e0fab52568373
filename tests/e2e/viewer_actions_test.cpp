// The actions on a screenshot from the viewer on the real program: copy, remove frame,
// add frame and delete, chosen by double-click with a key held or from the pop-up menu,
// and what a failed action leaves behind.
#include <functional>
#include <optional>

#include "driver/fixture.h"
#include "driver/viewer.h"
#include "imaging/codec.h"
#include "imaging/draw.h"

namespace e2e {
namespace {

using ViewerActions = E2eTest;

// Distinct pixels everywhere, so a crop that is one pixel off cannot pass.
snapdeck::Picture Pattern(int w, int h) {
  snapdeck::Picture p = snapdeck::MakePicture(w, h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      p.at(x, y) = snapdeck::PixelOf(snapdeck::MakeRgb(x, y, (x * 7 + y * 13) & 255));
  return p;
}

// Sorted by name, ascending, and a green one-pixel frame.
LaunchOptions ViewerOptions() {
  LaunchOptions options;
  options.settings = ToBytes(IniText(
      {{"sortview", "1"}, {"sortdir", "0"}, {"framecolor", "#119944"}, {"framethickness", "1"}}));
  return options;
}

// The program with its viewer open on the test folder.
class Session {
 public:
  Session(Program& program, const std::wstring& folder) : folder_(folder), program_(&program) {}
  bool Open(int count) {
    main = program_->WaitWindow(kMainTitle);
    if (main == nullptr) return false;
    viewer = OpenViewerWindow(*program_, main);
    return viewer != nullptr && WaitCount(count);
  }
  bool WaitCount(int count) {
    return WaitViewerStatus(viewer, std::to_wstring(count) + L" items. (0 hidden)");
  }
  HWND Thumbnail(int index) {
    HWND t = nullptr;
    WaitUntil([&] { return (t = ThumbnailImage(viewer, index)) != nullptr; });
    return t;
  }
  // A double-click on the thumbnail with the keys held, as the user makes it. The
  // program reads the keys when it takes the event, so they stay down until its outcome
  // shows. Wine lets go of injected keys when the X server reports its own keyboard on a
  // focus change; a double-click that came too late for its keys is a harmless copy, so
  // it is tried again.
  bool DoubleClickWith(int index, const std::vector<WORD>& keys,
                       const std::function<bool()>& outcome) {
    for (int attempt = 0; attempt < (keys.empty() ? 1 : 3); ++attempt) {
      HWND thumbnail = Thumbnail(index);
      if (thumbnail == nullptr) return false;
      HoldKeys(keys);
      DoubleClick(thumbnail);
      const bool seen = WaitUntil(outcome, 5000);
      ReleaseKeys(keys);
      if (seen) return true;
    }
    return false;
  }
  // Double-clicks with the keys until the file has the width; the file's picture then.
  std::optional<snapdeck::Picture> ChangeWidth(int index, const std::vector<WORD>& keys,
                                               const std::wstring& name, int width) {
    std::optional<snapdeck::Picture> picture;
    const bool changed = DoubleClickWith(index, keys, [&] {
      return (picture = DecodeAnyFile(Path(name))) && picture->width == width;
    });
    return changed ? picture : std::nullopt;
  }
  // Right-clicks the thumbnail and picks an item of the menu's one submenu with the keys.
  ::testing::AssertionResult ChooseFromMenu(int index, int item) {
    HWND thumbnail = Thumbnail(index);
    if (thumbnail == nullptr) return ::testing::AssertionFailure() << "no thumbnail " << index;
    const POINT c{5, 5};
    PostMessageW(thumbnail, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(c.x, c.y));
    PostMessageW(thumbnail, WM_RBUTTONUP, 0, MAKELPARAM(c.x, c.y));
    HWND menu = WaitPopupMenu(program_->pid());
    if (menu == nullptr) return ::testing::AssertionFailure() << "no pop-up menu";
    PressKey(viewer, VK_DOWN);
    PressKey(viewer, VK_RIGHT);
    for (int i = 0; i < item; ++i) PressKey(viewer, VK_DOWN);
    PressKey(viewer, VK_RETURN);
    if (!WaitUntil([&] { return !IsWindowVisible(menu); }, 5000))
      return ::testing::AssertionFailure() << "the menu stayed";
    return ::testing::AssertionSuccess();
  }
  bool StatusIs(const std::wstring& text) { return ViewerStatus(viewer) == text; }
  Program& program() { return *program_; }
  std::wstring Path(const std::wstring& name) const { return JoinPath(folder_, name); }

  HWND main = nullptr;
  HWND viewer = nullptr;

 private:
  std::wstring folder_;
  Program* program_ = nullptr;
};

void WritePicture(const std::wstring& path, const snapdeck::Picture& picture, int format = 2) {
  ASSERT_TRUE(WriteFileBytes(path, snapdeck::EncodeForFormat(picture, format)));
}

TEST_F(ViewerActions, CopyPutsTheFilesPixelsOnTheClipboard) {
  const snapdeck::Picture a = Pattern(120, 90);
  const snapdeck::Picture b = Pattern(64, 48);
  WritePicture(JoinPath(folder_, L"a.png"), a);
  WritePicture(JoinPath(folder_, L"b.bmp"), b, 0);
  Session s(Start(folder_, ViewerOptions()), folder_);
  ASSERT_TRUE(s.Open(2));

  ClearClipboard();
  std::optional<snapdeck::Picture> copied;
  auto copiedWidth = [&](int w) {
    return [&copied, w] { return (copied = ClipboardPicture()) && copied->width == w; };
  };
  ASSERT_TRUE(s.DoubleClickWith(0, {}, copiedWidth(120)));
  EXPECT_TRUE(SamePixels(a, *copied));

  ASSERT_TRUE(s.ChooseFromMenu(1, id::kShotMenuCopy));
  ASSERT_TRUE(WaitUntil(copiedWidth(64)));
  EXPECT_TRUE(SamePixels(b, *copied));
  EXPECT_EQ(ViewerStatus(s.viewer), L"2 items. (0 hidden)") << "a copy changes no file";
}

TEST_F(ViewerActions, RemoveFrameCropsToTheInnerPicture) {
  const snapdeck::Picture framed = Pattern(242, 162);
  WritePicture(JoinPath(folder_, L"framed.png"), framed);
  Session s(Start(folder_, ViewerOptions()), folder_);
  ASSERT_TRUE(s.Open(1));
  const auto result = s.ChangeWidth(0, {VK_SHIFT}, L"framed.png", 240);
  ASSERT_TRUE(result) << "no 240 pixels wide picture";
  EXPECT_EQ(result->height, 160);
  EXPECT_TRUE(SamePixels(*result, framed, 1, 1));
  // The column is rebuilt for the changed file.
  EXPECT_TRUE(WaitUntil([&] {
    return Text(ThumbnailCaption(s.viewer, 0)).find(L"(240x160)") != std::wstring::npos;
  }));
}

TEST_F(ViewerActions, AddFrameUsesTheSettingsFrameAndWarnsTheSecondTime) {
  const snapdeck::Picture plain = Pattern(240, 160);
  WritePicture(JoinPath(folder_, L"plain.png"), plain);
  Session s(Start(folder_, ViewerOptions()), folder_);
  ASSERT_TRUE(s.Open(1));
  const auto framed = s.ChangeWidth(0, {VK_CONTROL}, L"plain.png", 242);
  ASSERT_TRUE(framed) << "no 242 pixels wide picture";
  EXPECT_EQ(framed->height, 162);
  EXPECT_EQ(Rrggbb(*framed, 0, 0), 0x119944u);
  EXPECT_EQ(Rrggbb(*framed, 241, 161), 0x119944u);
  EXPECT_TRUE(SamePixels(plain, *framed, 1, 1));
  ASSERT_TRUE(WaitUntil([&] {
    return Text(ThumbnailCaption(s.viewer, 0)).find(L"(242x162)") != std::wstring::npos;
  }));

  const auto once = ReadFileBytes(s.Path(L"plain.png"));
  ASSERT_TRUE(s.ChooseFromMenu(0, id::kShotMenuAddFrame));
  HWND bubble = s.program().WaitWindow(kBubbleTitle);
  ASSERT_NE(bubble, nullptr) << "no warning bubble";
  EXPECT_EQ(Text(Control(bubble, id::kBubbleCaption)), L"Warning:");
  EXPECT_EQ(Text(Control(bubble, id::kBubbleText)), L"this picture already has a frame");
  EXPECT_FALSE(Enabled(s.viewer)) << "the bubble holds the viewer until it is closed";
  EXPECT_EQ(ViewerStatus(s.viewer), L"this picture already has a frame!");
  Click(Control(bubble, id::kBubbleOk));
  EXPECT_TRUE(s.program().WaitWindowGone(kBubbleTitle));
  EXPECT_EQ(ReadFileBytes(s.Path(L"plain.png")), once);
}

TEST_F(ViewerActions, DeleteRemovesFileAndThumbnail) {
  for (const wchar_t* name : {L"a.png", L"b.png", L"c.png"}) {
    WritePicture(JoinPath(folder_, name), Pattern(50, 40));
  }
  Session s(Start(folder_, ViewerOptions()), folder_);
  ASSERT_TRUE(s.Open(3));
  ASSERT_TRUE(s.DoubleClickWith(1, {VK_DELETE}, [&] { return !FileExists(s.Path(L"b.png")); }));
  EXPECT_TRUE(s.WaitCount(2));
  EXPECT_EQ(ThumbnailImage(s.viewer, 2), nullptr);
  EXPECT_TRUE(
      WaitUntil([&] { return Text(ThumbnailCaption(s.viewer, 1)).rfind(L"c.png", 0) == 0; }));

  ASSERT_TRUE(s.ChooseFromMenu(0, id::kShotMenuDelete));
  EXPECT_TRUE(WaitUntil([&] { return !FileExists(s.Path(L"a.png")); }));
  EXPECT_TRUE(s.WaitCount(1));
  EXPECT_TRUE(FileExists(s.Path(L"c.png")));
}

TEST_F(ViewerActions, FailuresLeaveTheFilesAsTheyWere) {
  const std::wstring locked = JoinPath(folder_, L"a-locked.png");
  WritePicture(locked, Pattern(242, 162));
  WritePicture(JoinPath(folder_, L"b-gone.png"), Pattern(242, 162));
  const auto before = ReadFileBytes(locked);
  ASSERT_TRUE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  Session s(Start(folder_, ViewerOptions()), folder_);
  ASSERT_TRUE(s.Open(2));

  ASSERT_TRUE(s.ChooseFromMenu(0, id::kShotMenuRemoveFrame));
  EXPECT_TRUE(WaitViewerStatus(s.viewer, L"save failed!"));
  EXPECT_EQ(ReadFileBytes(locked), before);
  EXPECT_EQ(ListFiles(folder_, L"*.tmp"), std::vector<std::wstring>{}) << "no leftovers";
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

  // The file went away after the scan: its thumbnail still acts on it and says so.
  ASSERT_TRUE(DeleteFileW(s.Path(L"b-gone.png").c_str()));
  EXPECT_TRUE(s.DoubleClickWith(1, {}, [&] { return s.StatusIs(L"load failed!"); }));
  EXPECT_TRUE(s.DoubleClickWith(1, {VK_DELETE}, [&] { return s.StatusIs(L"delete failed!"); }));
  EXPECT_EQ(ListFiles(folder_, L"*.png"), std::vector<std::wstring>{L"a-locked.png"});
}

}  // namespace
}  // namespace e2e

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/viewer_actions.h"
#include "imaging/codec.h"
#include "imaging/draw.h"
#include "resources/ids.h"
#include "tests/support/capture_fakes.h"

namespace snapdeck {
namespace {

using testing::MemoryFiles;

TEST(ViewerRules, StandardWidthAtEveryBoundary) {
  const std::vector<std::pair<int, int>> cases = {
      {-5, -5},   {0, 0},     {79, 79},   {80, 80},   {159, 80},   {160, 160},   {239, 160},
      {240, 240}, {242, 240}, {319, 240}, {320, 320}, {360, 320},  {479, 320},   {480, 480},
      {639, 480}, {640, 640}, {799, 640}, {800, 800}, {1023, 800}, {1024, 1024}, {1030, 1030}};
  for (const auto& [width, standard] : cases) EXPECT_EQ(StandardWidth(width), standard) << width;
}

TEST(ViewerRules, FormatIndexComparesExactly) {
  EXPECT_EQ(FormatIndexOf(u".bmp"), 0);
  EXPECT_EQ(FormatIndexOf(u".jpg"), 1);
  EXPECT_EQ(FormatIndexOf(u".png"), 2);
  for (std::u16string_view other : {u".PNG", u".Jpg", u"png", u".jpeg", u""}) {
    EXPECT_EQ(FormatIndexOf(other), 0) << std::string(other.begin(), other.end());
  }
}

TEST(ViewerRules, DoubleClickAsksDeleteThenCtrlThenShift) {
  auto run = [](std::vector<HeldKey> held, std::vector<HeldKey>& asked) {
    asked.clear();
    return DoubleClickAction([&](HeldKey k) {
      asked.push_back(k);
      return std::find(held.begin(), held.end(), k) != held.end();
    });
  };
  std::vector<HeldKey> asked;
  EXPECT_EQ(run({HeldKey::Delete, HeldKey::Ctrl, HeldKey::Shift}, asked), ShotAction::Delete);
  EXPECT_EQ(asked, std::vector<HeldKey>{HeldKey::Delete});
  EXPECT_EQ(run({HeldKey::Ctrl, HeldKey::Shift}, asked), ShotAction::AddFrame);
  EXPECT_EQ(asked, (std::vector<HeldKey>{HeldKey::Delete, HeldKey::Ctrl}));
  EXPECT_EQ(run({HeldKey::Shift}, asked), ShotAction::RemoveFrame);
  EXPECT_EQ(run({}, asked), ShotAction::Copy);
  EXPECT_EQ(asked, (std::vector<HeldKey>{HeldKey::Delete, HeldKey::Ctrl, HeldKey::Shift}));
}

TEST(ViewerRules, FrameCropKeepsTheStandardWidthAndRefusesTooSmallPictures) {
  FrameCrop crop;
  ASSERT_TRUE(FrameCropOf(242, 162, crop));
  EXPECT_EQ((std::vector<int>{crop.x, crop.y, crop.width, crop.height}),
            (std::vector<int>{1, 1, 240, 160}));
  ASSERT_TRUE(FrameCropOf(243, 10, crop)) << "an odd excess leaves the extra column out";
  EXPECT_EQ((std::vector<int>{crop.x, crop.y, crop.width, crop.height}),
            (std::vector<int>{1, 1, 240, 8}));
  ASSERT_TRUE(FrameCropOf(360, 41, crop)) << "360 is taken for 320 with a 20-pixel frame";
  EXPECT_EQ((std::vector<int>{crop.x, crop.y, crop.width, crop.height}),
            (std::vector<int>{20, 20, 320, 1}));
  ASSERT_TRUE(FrameCropOf(240, 160, crop)) << "a standard width crops nothing";
  EXPECT_EQ((std::vector<int>{crop.x, crop.y, crop.width, crop.height}),
            (std::vector<int>{0, 0, 240, 160}));
  EXPECT_FALSE(FrameCropOf(360, 40, crop));
  EXPECT_FALSE(FrameCropOf(360, 3, crop));
  EXPECT_FALSE(FrameCropOf(0, 0, crop));
}

class RecordingHost : public ViewerActionHost {
 public:
  void playSound(int number) override { sounds.push_back(number); }
  bool putOnClipboard(const Picture& picture) override {
    clipboard = picture;
    return clipboardWorks;
  }
  void setStatus(std::u16string_view text) override { status.emplace_back(text); }
  void warnAlreadyFramed() override { ++bubbles; }
  void removeThumbnail(int control) override { removed.push_back(control); }
  void refresh() override { ++refreshes; }

  std::vector<int> sounds;
  Picture clipboard;
  bool clipboardWorks = true;
  std::vector<std::u16string> status;
  int bubbles = 0;
  std::vector<int> removed;
  int refreshes = 0;
};

// Distinct pixels everywhere, so a shifted crop cannot pass for the right one.
Picture Pattern(int w, int h) {
  Picture p = MakePicture(w, h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = PixelOf(MakeRgb(x, y, (x * 7 + y * 13) & 255));
  return p;
}

class ViewerActions : public ::testing::Test {
 protected:
  ShotFile Put(const std::u16string& name, const std::vector<std::uint8_t>& bytes) {
    const std::u16string path = kFolder + name;
    files.files[path] = bytes;
    return {path, name.substr(name.rfind(u'.')), id::kFirstThumbnail + 3};
  }
  Picture Saved(const ShotFile& shot) {
    const auto& bytes = files.files.at(shot.path);
    DecodeResult r = DecodeImage(bytes.data(), bytes.size());
    EXPECT_TRUE(r.ok);
    return r.picture;
  }
  void Run(ShotAction action, const ShotFile& shot, bool withBubble = false) {
    ViewerActionContext ctx{settings, pictures, files, host};
    RunShotAction(ctx, action, shot, withBubble);
  }

  const std::u16string kFolder = u"C:\\shots\\";
  AppSettings settings;
  PictureStore pictures;
  MemoryFiles files;
  RecordingHost host;
};

TEST_F(ViewerActions, RemoveFrameCropsOnePixelAndKeepsTheInside) {
  const Picture framed = Pattern(242, 162);
  const ShotFile shot = Put(u"shot[1].png", EncodePng(framed));
  Run(ShotAction::RemoveFrame, shot);
  const Picture result = Saved(shot);
  ASSERT_EQ(result.width, 240);
  ASSERT_EQ(result.height, 160);
  EXPECT_EQ(result.pixels, CopyRegion(framed, 1, 1, 240, 160).pixels);
  EXPECT_TRUE(host.status.empty());
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(ViewerActions, RemoveFrameOnTooSmallPictureChangesNothing) {
  const std::vector<std::uint8_t> original = EncodePng(Pattern(360, 40));
  const ShotFile shot = Put(u"strip.png", original);
  Run(ShotAction::RemoveFrame, shot);
  EXPECT_EQ(files.files.at(shot.path), original);
  EXPECT_EQ(host.status, std::vector<std::u16string>{u"save failed!"});
  EXPECT_EQ(host.refreshes, 0);
}

TEST_F(ViewerActions, AddFrameGrowsByTheSettingsFrameOnlyOnce) {
  settings.framecolor = MakeRgb(0x11, 0x99, 0x44);
  settings.framethickness = 1;
  settings.frameeffect = 8;
  const ShotFile shot = Put(u"plain.bmp", EncodeBmp24(Pattern(240, 160)));
  Run(ShotAction::AddFrame, shot);
  const Picture framed = Saved(shot);
  ASSERT_EQ(framed.width, 242);
  ASSERT_EQ(framed.height, 162);
  EXPECT_EQ(RgbOfPixel(framed.at(0, 0)), settings.framecolor);
  EXPECT_EQ(RgbOfPixel(framed.at(241, 161)), settings.framecolor);
  EXPECT_EQ(framed.at(1, 1), Pattern(240, 160).at(0, 0));
  EXPECT_EQ(host.refreshes, 1);

  const std::vector<std::uint8_t> once = files.files.at(shot.path);
  Run(ShotAction::AddFrame, shot, /*withBubble=*/false);
  EXPECT_EQ(host.bubbles, 0) << "a double-click only writes the status";
  Run(ShotAction::AddFrame, shot, /*withBubble=*/true);
  EXPECT_EQ(host.bubbles, 1);
  EXPECT_EQ(host.status, (std::vector<std::u16string>{u"this picture already has a frame!",
                                                      u"this picture already has a frame!"}));
  EXPECT_EQ(files.files.at(shot.path), once);
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(ViewerActions, SavesWithTheWriterOfTheExtension) {
  const Picture picture = Pattern(242, 162);
  const Picture inner = CopyRegion(picture, 1, 1, 240, 160);
  const ShotFile jpg = Put(u"a.jpg", EncodeJpeg(picture, 100));
  Run(ShotAction::RemoveFrame, jpg);
  const Picture decodedInner = Saved(jpg);
  EXPECT_EQ(files.files.at(jpg.path), EncodeJpeg(*pictures.find(id::kPicWork), 100))
      << "JPEG at quality 100";
  EXPECT_EQ(decodedInner.width, 240);

  const ShotFile upper = Put(u"b.PNG", EncodePng(picture));
  Run(ShotAction::RemoveFrame, upper);
  EXPECT_EQ(files.files.at(upper.path), EncodePng(inner)) << "letter case does not make a BMP";
  const ShotFile bmp = Put(u"c.bmp", EncodePng(picture));
  Run(ShotAction::RemoveFrame, bmp);
  EXPECT_EQ(files.files.at(bmp.path), EncodeBmp24(inner));
}

TEST_F(ViewerActions, FailedSaveKeepsTheFileAndDoesNotRefresh) {
  const std::vector<std::uint8_t> original = EncodePng(Pattern(242, 162));
  const ShotFile shot = Put(u"locked.png", original);
  files.missingFolder = kFolder;  // every write below it fails
  Run(ShotAction::RemoveFrame, shot);
  Run(ShotAction::AddFrame, Put(u"plain.png", EncodePng(Pattern(240, 160))));
  EXPECT_EQ(files.files.at(shot.path), original);
  EXPECT_EQ(host.status, (std::vector<std::u16string>{u"save failed!", u"save failed!"}));
  EXPECT_EQ(host.refreshes, 0);
}

TEST_F(ViewerActions, CopyPutsTheFilesPixelsOnTheClipboard) {
  settings.sound = 1;
  const Picture picture = Pattern(100, 50);
  Run(ShotAction::Copy, Put(u"c.png", EncodePng(picture)));
  EXPECT_EQ(host.clipboard.pixels, picture.pixels);
  EXPECT_EQ(host.sounds, std::vector<int>{id::kSoundCopied});
  EXPECT_TRUE(host.status.empty());
  EXPECT_EQ(host.refreshes, 0) << "nothing was saved";

  settings.sound = 0;
  host.clipboardWorks = false;
  Run(ShotAction::Copy, Put(u"d.png", EncodePng(picture)));
  EXPECT_EQ(host.sounds, std::vector<int>{id::kSoundCopied}) << "no sound with the switch off";
  EXPECT_EQ(host.status, std::vector<std::u16string>{u"copy failed!"});
}

TEST_F(ViewerActions, GoneOrBrokenFileGivesLoadFailed) {
  const ShotFile gone{kFolder + u"gone.png", u".png", id::kFirstThumbnail};
  const ShotFile broken = Put(u"broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
  for (ShotAction action : {ShotAction::Copy, ShotAction::RemoveFrame, ShotAction::AddFrame}) {
    Run(action, gone);
    Run(action, broken);
  }
  EXPECT_EQ(host.status, std::vector<std::u16string>(6, u"load failed!"));
  EXPECT_EQ(pictures.find(id::kPicWork), nullptr);
  EXPECT_EQ(files.files.count(gone.path), 0u) << "a failed action never creates the file";
  EXPECT_EQ(host.refreshes, 0);
}

TEST_F(ViewerActions, DeleteRemovesFileAndThumbnailAndAlwaysSounds) {
  settings.sound = 1;
  const ShotFile shot = Put(u"bad.jpg", EncodeJpeg(Pattern(40, 40), 100));
  Run(ShotAction::Delete, shot);
  EXPECT_EQ(files.files.count(shot.path), 0u);
  EXPECT_EQ(host.removed, std::vector<int>{shot.control});
  EXPECT_EQ(host.refreshes, 1);

  Run(ShotAction::Delete, shot);
  EXPECT_EQ(host.sounds, (std::vector<int>{id::kSoundDeleted, id::kSoundDeleted}));
  EXPECT_EQ(host.status, std::vector<std::u16string>{u"delete failed!"});
  EXPECT_EQ(host.refreshes, 1);
}

}  // namespace
}  // namespace snapdeck

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "imaging/codec.h"
#include "imaging/draw.h"
#include "tests/support/memory_folder.h"
#include "tests/unit/allocation_watch.h"
#include "viewer/thumbnail_column.h"
#include "viewer/thumbnail_layout.h"
#include "viewer/thumbnail_loader.h"

namespace snapdeck {
namespace {

TEST(ThumbnailSize, ShrinksOnlyPicturesWiderThanTheColumn) {
  EXPECT_FALSE(ThumbnailSizeFor(330, 200, 330).resized);
  const ThumbnailSize wide = ThumbnailSizeFor(331, 200, 330);
  EXPECT_TRUE(wide.resized);
  EXPECT_EQ(wide.width, 321);   // 320 + 331 mod 10
  EXPECT_EQ(wide.height, 193);  // 200 * 320 / 331 = 193.35
  const ThumbnailSize shot = ThumbnailSizeFor(484, 324, 330);
  EXPECT_EQ(shot.width, 324);
  EXPECT_EQ(shot.height, 214);  // 214.2
  const ThumbnailSize up = ThumbnailSizeFor(640, 481, 330);
  EXPECT_EQ(up.width, 320);
  EXPECT_EQ(up.height, 241);                            // 240.5 rounds up
  EXPECT_EQ(ThumbnailSizeFor(8000, 1, 330).height, 1);  // never empty
}

TEST(ColumnLayout, PlacesRowsCaptionsAndFailedRows) {
  const ColumnLayout layout =
      LayOutColumn({{true, 320, 240}, {false, 0, 0}, {true, 484, 324}}, 330);
  ASSERT_EQ(layout.rows.size(), 3u);
  const ColumnRow& a = layout.rows[0];
  EXPECT_EQ(a.imageX, 5);
  EXPECT_EQ(a.imageY, 0);
  EXPECT_EQ(a.captionY, 245);
  const ColumnRow& failed = layout.rows[1];
  EXPECT_FALSE(failed.loaded);
  EXPECT_EQ(failed.captionY, 275);
  const ColumnRow& b = layout.rows[2];
  EXPECT_EQ(b.imageY, 305);
  EXPECT_EQ(b.imageX, 3);
  EXPECT_EQ(b.captionY, 305 + 214 + 5);
  EXPECT_EQ(layout.innerHeight, 305 + 214 + 35);
  EXPECT_EQ(layout.hiddenCount, 0);
  EXPECT_EQ(VisibleColumnHeight(layout), layout.innerHeight);
  // A thumbnail wider than the column sits at a negative x, cut off at the left.
  EXPECT_EQ(LayOutColumn({{true, 400, 10}}, 300).rows[0].imageX, -10);
  EXPECT_EQ(LayOutColumn({}, 330).innerHeight, 0);
}

TEST(ColumnLayout, CountsRowsReachingTheColumnLimitAsHidden) {
  // Rows of 30 pixels: the 1093rd ends at 32790, past 32768.
  const ColumnLayout layout = LayOutColumn(std::vector<RowPicture>(1100), 330);
  EXPECT_FALSE(layout.rows[1091].hidden);  // ends at 32760
  EXPECT_TRUE(layout.rows[1092].hidden);
  EXPECT_EQ(layout.hiddenCount, 1100 - 1092);
  EXPECT_EQ(VisibleColumnHeight(layout), 32760);  // the column ends with the last row shown
  EXPECT_EQ(ItemsHiddenText(1100, layout.hiddenCount), u"1100 items. (8 hidden)");
}

TEST(ColumnLayout, CaptionsTellSizeDateAndOutcome) {
  ShotEntry e;
  e.stem = u"shot[3]";
  e.ext = u".png";
  e.date = 1262304000;
  const ColumnLayout layout =
      LayOutColumn({{true, 484, 324}, {true, 320, 240}, {false, 0, 0}}, 330);
  EXPECT_EQ(CaptionText(e, layout.rows[0]), u"shot[3].png   (484x324)   [JAN 01, 2010]   resized!");
  EXPECT_EQ(CaptionText(e, layout.rows[1]), u"shot[3].png   (320x240)   [JAN 01, 2010]   ");
  EXPECT_EQ(CaptionText(e, layout.rows[2]), u"shot[3].png   load failed!");
  EXPECT_EQ(CaptionColor(layout.rows[0]), MakeRgb(0xFF, 0xBB, 0x77));
  EXPECT_EQ(CaptionColor(layout.rows[1]), MakeRgb(0xFF, 0xFF, 0x99));
  EXPECT_EQ(CaptionColor(layout.rows[2]), MakeRgb(0xFF, 0x99, 0xAA));
  EXPECT_EQ(EntryOfControl(ThumbnailControl(7)), 7);
  EXPECT_EQ(EntryOfControl(CaptionControl(7)), 7);
}

TEST(ColumnScroll, EveryRequestStaysBetweenTopAndBottom) {
  // A column of 1000 seen through 300: the bottom is at 700.
  const auto at = [](int from, ScrollRequest request) {
    return ScrolledPosition(from, request, 1000, 300);
  };
  EXPECT_EQ(at(100, {ScrollMove::LineUp}), 60);
  EXPECT_EQ(at(20, {ScrollMove::LineUp}), 0);
  EXPECT_EQ(at(0, {ScrollMove::LineDown}), 40);
  EXPECT_EQ(at(500, {ScrollMove::PageUp}), 200);
  EXPECT_EQ(at(600, {ScrollMove::PageDown}), 700);
  EXPECT_EQ(at(300, {ScrollMove::Top}), 0);
  EXPECT_EQ(at(0, {ScrollMove::Bottom}), 700);
  EXPECT_EQ(at(0, {ScrollMove::To, 250}), 250);
  EXPECT_EQ(at(0, {ScrollMove::To, -5}), 0);
  EXPECT_EQ(at(0, {ScrollMove::To, 5000}), 700);
  EXPECT_EQ(at(200, {ScrollMove::Wheel, 1}), 80);  // a notch away from the user is 3 lines up
  EXPECT_EQ(at(200, {ScrollMove::Wheel, -2}), 440);
  EXPECT_EQ(at(900, {}), 700);  // the column got shorter
  // A view lower than a line still pages by a line; a column that fits never moves.
  EXPECT_EQ(ScrolledPosition(0, {ScrollMove::PageDown}, 1000, 10), 40);
  EXPECT_EQ(ScrolledPosition(0, {ScrollMove::Bottom}, 200, 300), 0);
  EXPECT_EQ(ScrolledPosition(0, {ScrollMove::LineDown}, 200, 300), 0);
}

ThumbnailResult Arrived(int index, bool ok, int width, int height, bool probed = false) {
  ThumbnailResult result;
  result.index = index;
  result.ok = ok;
  result.width = width;
  result.height = height;
  result.probed = probed;
  return result;
}

TEST(ArrivingThumbnails, ProbesSizeRowsDecodesFailOrResizeThemStrayOnesAreDropped) {
  std::vector<RowPicture> pictures = {
      {true, 100, 50}, {false, 0, 0, true}, {true, 200, 100}, {true, 300, 100}};
  pictures[2].cost.decodeBytes = 80000;
  const std::vector<ThumbnailResult> results = {
      Arrived(0, true, 100, 50),        // as its header said: shown, nothing moves
      Arrived(1, true, 60, 40, true),   // a probe: the row gets its size, its picture is asked for
      Arrived(2, false, 0, 0),          // failed: a "load failed!" row
      Arrived(3, true, 320, 100),       // the file changed since its header was read
      Arrived(4, true, 10, 10),         // rows of a column rebuilt since
      Arrived(-1, true, 10, 10)};
  const TakenThumbnails taken = TakeThumbnails(pictures, results);
  EXPECT_TRUE(taken.relayout);
  EXPECT_EQ(taken.reasked, std::vector<int>{1});
  EXPECT_EQ(taken.shown, (std::vector<std::size_t>{0, 3}));
  EXPECT_TRUE(pictures[1].loaded && !pictures[1].pending);
  EXPECT_EQ(pictures[1].width, 60);
  EXPECT_FALSE(pictures[2].loaded);
  EXPECT_EQ(pictures[2].cost.decodeBytes, 80000u);
  EXPECT_EQ(pictures[3].width, 320);
  // Pictures as expected change nothing in the layout.
  EXPECT_FALSE(TakeThumbnails(pictures, {Arrived(0, true, 100, 50)}).relayout);
}

// --- making thumbnails ------------------------------------------------------------------

std::u16string Numbered(const char16_t* stem, int i) {
  return stem + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u".png";
}

class Thumbnails : public ::testing::Test {
 protected:
  ShotEntry Entry(const std::u16string& name) {
    ShotEntry entry;
    const std::size_t dot = name.rfind(u'.');
    entry.stem = name.substr(0, dot);
    entry.ext = name.substr(dot);
    entry.folder = folder.folder;
    for (const MemoryFolder::File& f : folder.files) {
      if (f.name == name) entry.bytes = f.bytes.size();
    }
    return entry;
  }
  // The job the viewer makes for the file, from its listing and header.
  ThumbnailJob Job(int index, const std::u16string& name, int column = 330) {
    const ShotEntry entry = Entry(name);
    return JobForRow(index, entry, ProbeShot(entry, folder), column);
  }
  void AddPicture(const std::u16string& name, int w, int h, Rgb color, int format) {
    folder.add(name, EncodeForFormat(MakePicture(w, h, color), format));
  }
  MemoryFolder folder;
};

TEST_F(Thumbnails, ShrinksWidePicturesByTheRuleAndKeepsNarrowOnes) {
  AddPicture(u"wide.png", 484, 324, MakeRgb(200, 10, 10), 2);
  AddPicture(u"narrow.bmp", 240, 160, MakeRgb(10, 10, 200), 0);
  AddPicture(u"photo.jpg", 1004, 750, MakeRgb(20, 160, 20), 1);
  const ThumbnailResult wide = MakeThumbnail(Job(0, u"wide.png"), folder);
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(wide.width, 484);
  EXPECT_EQ(wide.thumbnail.width, 324);
  EXPECT_EQ(wide.thumbnail.height, 214);
  EXPECT_EQ(RgbOfPixel(wide.thumbnail.at(100, 100)), MakeRgb(200, 10, 10));
  const ThumbnailResult narrow = MakeThumbnail(Job(1, u"narrow.bmp"), folder);
  ASSERT_TRUE(narrow.ok);
  EXPECT_EQ(narrow.thumbnail.width, 240);
  EXPECT_EQ(narrow.thumbnail.height, 160);
  // The JPEG comes out of the decoder at a reduced scale; the result still follows the rule.
  const ThumbnailResult photo = MakeThumbnail(Job(2, u"photo.jpg"), folder);
  ASSERT_TRUE(photo.ok);
  EXPECT_EQ(photo.width, 1004);
  EXPECT_EQ(photo.thumbnail.width, 324);
  EXPECT_EQ(photo.thumbnail.height, 239);
  const Rgb c = RgbOfPixel(photo.thumbnail.at(160, 120));
  EXPECT_NEAR(RedOf(c), 20, 3);
  EXPECT_NEAR(GreenOf(c), 160, 3);
}

TEST_F(Thumbnails, HeadersGiveTheSizeBeforeAnyDecode) {
  AddPicture(u"wide.png", 484, 324, 0, 2);
  // Metadata larger than the first read pushes a JPEG's size further back.
  const std::vector<std::uint8_t> jpeg = EncodeForFormat(MakePicture(50, 40, 0), 1);
  std::vector<std::uint8_t> padded(jpeg.begin(), jpeg.begin() + 2);
  for (int i = 0; i < 2; ++i) {
    padded.insert(padded.end(), {0xFF, 0xE2, 0xFF, 0xFF});
    padded.insert(padded.end(), 0xFFFF - 2, 0);
  }
  padded.insert(padded.end(), jpeg.begin() + 2, jpeg.end());
  folder.add(u"meta.jpg", padded);
  folder.add(u"junk.png", {0x89, 'P', 'N', 'G'});
  const RowPicture wide = ProbeShot(Entry(u"wide.png"), folder);
  EXPECT_TRUE(wide.loaded);
  EXPECT_EQ(wide.width, 484);
  EXPECT_EQ(wide.height, 324);
  // Beyond the first read the size is left to a probe job, off the UI thread.
  const RowPicture meta = ProbeShot(Entry(u"meta.jpg"), folder);
  EXPECT_FALSE(meta.loaded);
  ASSERT_TRUE(meta.pending);
  const ThumbnailJob probe = JobForRow(0, Entry(u"meta.jpg"), meta, 330);
  ASSERT_TRUE(probe.probe);
  const ThumbnailResult probed = MakeThumbnail(probe, folder);
  EXPECT_TRUE(probed.ok && probed.probed);
  EXPECT_EQ(probed.width, 50);
  EXPECT_EQ(probed.height, 40);
  const RowPicture known{true, probed.width, probed.height, false, probed.cost};
  EXPECT_TRUE(MakeThumbnail(JobForRow(0, Entry(u"meta.jpg"), known, 330), folder).ok);
  EXPECT_FALSE(ProbeShot(Entry(u"junk.png"), folder).loaded);
  EXPECT_FALSE(ProbeShot(Entry(u"gone.png"), folder).loaded);
}

TEST_F(Thumbnails, DamagedTruncatedOrMissingFilesFail) {
  std::vector<std::uint8_t> png = EncodeForFormat(MakePicture(300, 200, 0), 2);
  png.resize(png.size() / 2);
  folder.add(u"cut.png", png);
  folder.add(u"junk.png", {1, 2, 3});
  EXPECT_FALSE(MakeThumbnail(Job(0, u"cut.png"), folder).ok);
  EXPECT_FALSE(MakeThumbnail(Job(0, u"junk.png"), folder).ok);
  EXPECT_FALSE(MakeThumbnail(Job(0, u"gone.png"), folder).ok);
}

TEST_F(Thumbnails, ACancelLeavesNoThumbnailOfTheOldColumn) {
  for (int i = 0; i < 6; ++i) AddPicture(Numbered(u"old", i), 20, 20, 0, 2);
  AddPicture(u"new.png", 30, 10, 0, 2);
  std::vector<ThumbnailJob> old;
  for (int i = 0; i < 6; ++i) old.push_back(Job(i, Numbered(u"old", i)));
  folder.gate(u"old");
  ThumbnailLoader loader(folder, 2, 1ull << 30, nullptr);
  loader.submit(old);
  folder.waitReading(2);  // both workers are midway through an old picture
  loader.cancel();
  loader.submit({Job(0, u"new.png")});
  folder.open();
  loader.waitIdle();
  const std::vector<ThumbnailResult> results = loader.take();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_TRUE(results[0].ok);
  EXPECT_EQ(results[0].thumbnail.width, 30);
}

TEST_F(Thumbnails, DecodesInFlightStayWithinTheMemoryBudget) {
  for (int i = 0; i < 4; ++i) AddPicture(Numbered(u"p", i), 64, 64, 0, 2);
  std::vector<ThumbnailJob> jobs;
  for (int i = 0; i < 4; ++i) jobs.push_back(Job(i, Numbered(u"p", i)));
  // A budget of two jobs lets at most two run.
  folder.gate(u"");
  ThumbnailLoader loader(folder, 4, 2 * MemoryOfJob(jobs[0]), nullptr);
  loader.submit(jobs);
  folder.waitReading(2);
  // The other workers are free; a third read would show within this time.
  EXPECT_FALSE(folder.waitReading(3, 100)) << "a third decode started beyond the budget";
  folder.open();
  loader.waitIdle();
  EXPECT_EQ(folder.mostAtOnce(), 2);
  EXPECT_EQ(loader.take().size(), 4u);
}

TEST_F(Thumbnails, PaddedFilesStayWithinTheBudgetAndFailuresMakeFailedRows) {
  // Small pictures of each format, each followed by more padding than its picture can need.
  const std::vector<std::uint8_t> padding(10u << 20, 0);
  for (int i = 0; i < 6; ++i) {
    std::vector<std::uint8_t> file = EncodeForFormat(MakePicture(40, 30, MakeRgb(200, 10, 10)), i % 3);
    file.insert(file.end(), padding.begin(), padding.end());
    folder.add(Numbered(u"pad", i), std::move(file));
  }
  // Metadata in front of the pixels beyond any picture's need, and a read out of memory.
  std::vector<std::uint8_t> png = EncodeForFormat(MakePicture(40, 30, 0), 2);
  std::vector<std::uint8_t> chunk = {0x00, 0xA0, 0x00, 0x00, 't', 'E', 'X', 't'};
  chunk.resize(chunk.size() + 0xA00000 + 4, 'x');
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());
  folder.add(u"meta.png", png);
  AddPicture(u"oom.png", 40, 30, 0, 2);
  std::vector<ThumbnailJob> jobs;
  for (int i = 0; i < 6; ++i) jobs.push_back(Job(i, Numbered(u"pad", i)));
  jobs.push_back(Job(6, u"meta.png"));
  jobs.push_back(Job(7, u"oom.png"));
  std::uint64_t largestJob = 0;
  for (const ThumbnailJob& job : jobs) largestJob = std::max(largestJob, MemoryOfJob(job));
  const std::uint64_t budget = 2 * largestJob;
  ThumbnailLoader loader(folder, 4, budget, nullptr);
  folder.exhaust(u"oom");
  testing::WatchAllocations(true);
  loader.submit(jobs);
  loader.waitIdle();
  testing::WatchAllocations(false);
  EXPECT_LE(folder.largestRead(), kPictureMetadataBytes + 64 * 1024);
  if (testing::kAllocationsSeen) EXPECT_LE(testing::PeakAllocatedBytes(), budget);
  std::vector<ThumbnailResult> results = loader.take();
  ASSERT_EQ(results.size(), 8u);
  std::sort(results.begin(), results.end(),
            [](const ThumbnailResult& a, const ThumbnailResult& b) { return a.index < b.index; });
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(results[static_cast<std::size_t>(i)].ok) << "format " << i % 3;
    EXPECT_EQ(RgbOfPixel(results[static_cast<std::size_t>(i)].thumbnail.at(20, 15)),
              MakeRgb(200, 10, 10));
  }
  EXPECT_FALSE(results[6].ok);
  EXPECT_FALSE(results[7].ok);
}

}  // namespace
}  // namespace snapdeck

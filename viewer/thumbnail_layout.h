// The thumbnail column: where each entry's picture and caption go, what the caption says
// and in which colour, from the pictures' sizes alone (no pixels needed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/palette.h"
#include "imaging/picture.h"
#include "imaging/picture_size.h"
#include "resources/ids.h"
#include "viewer/shot_catalogue.h"

namespace snapdeck {

inline constexpr int kFirstThumbnailControl = id::kFirstThumbnail;
inline constexpr int kFirstCaptionControl = id::kFirstThumbnail + 2;
inline constexpr int kControlsPerEntry = 3;
// Window coordinates stop at this height; rows reaching it are counted as hidden.
inline constexpr int kColumnLimit = 32768;

inline constexpr Rgb kCaptionColor = palette::kPale;
inline constexpr Rgb kResizedCaptionColor = palette::kPeach;
inline constexpr Rgb kFailedCaptionColor = palette::kPink;
inline constexpr Rgb kCaptionTextColor = palette::kHouse;

inline int ThumbnailControl(int index) {
  return kFirstThumbnailControl + kControlsPerEntry * index;
}
inline int CaptionControl(int index) { return kFirstCaptionControl + kControlsPerEntry * index; }
// The entry a control event from 74 on belongs to (image or caption).
inline int EntryOfControl(int control) {
  return (control - kFirstThumbnailControl) / kControlsPerEntry;
}

// The entry an event of a thumbnail's image or caption was made for, or -1 when the
// catalogue has been rebuilt since (another generation) or the control is none of its rows.
int EntryOfEvent(const ShotCatalogue& catalogue, int control, std::uint32_t generation);

struct ThumbnailSize {
  int width = 0;
  int height = 0;
  bool resized = false;
};

// A w x h picture in a column of inner width W: unchanged when it fits, otherwise
// 320 + (w mod 10) wide and h * 320 / w high, rounded to the nearest pixel.
ThumbnailSize ThumbnailSizeFor(int w, int h, int W);

struct ColumnRow {
  bool loaded = false;  // false: a "load failed!" row, or one still pending
  bool pending = false;  // size not known yet: laid out as a caption alone
  int width = 0;        // picture size before any resizing
  int height = 0;
  ThumbnailSize thumb;
  int imageX = 0, imageY = 0;  // image control (loaded rows)
  int captionY = 0;            // caption label at (0, captionY), W x 20
  bool hidden = false;         // the column had reached its limit after this row
};

struct ColumnLayout {
  std::vector<ColumnRow> rows;
  int innerHeight = 0;
  int hiddenCount = 0;
};

// A row's picture: loaded with its size, failed, or pending while its header is read in
// the background; cost is what decoding it may take.
struct RowPicture {
  bool loaded = false;
  int width = 0;
  int height = 0;
  bool pending = false;
  PictureCost cost;
};

ColumnLayout LayOutColumn(const std::vector<RowPicture>& pictures, int W);

// The column's height on screen: up to the end of the last row that is not hidden.
int VisibleColumnHeight(const ColumnLayout& layout);

// "shot[3].png   (484x324)   [MAR 07, 2010]   resized!", or "...   load failed!", or the
// name alone while pending.
std::u16string CaptionText(const ShotEntry& entry, const ColumnRow& row);
Rgb CaptionColor(const ColumnRow& row);

}  // namespace snapdeck

// The catalogue behind the viewer: one entry per screenshot file of the folder, with the
// keys the viewer sorts by (name, number in brackets, time stamp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_listing.h"
#include "resources/ids.h"
#include "viewer/viewer_state.h"

namespace snapdeck {

struct ShotEntry {
  std::u16string stem;    // file name without the final "." and extension
  std::u16string ext;     // "." and the extension, in the file name's case
  std::u16string folder;  // ends with "\"
  std::int32_t date = 0;  // last write, local time, seconds since 1970
  std::int32_t number = 0;
  std::int32_t control = 0;  // thumbnail image control, 74 + 3 * index once built
  std::uint64_t bytes = 0;   // file size when listed

  std::u16string path() const { return folder + stem + ext; }
  std::u16string fileName() const { return stem + ext; }
};

struct ShotCatalogue {
  std::vector<ShotEntry> entries;
  int current = -1;  // the entry the user last acted on, -1 for none
  // Counts the rebuilds: an event made for an earlier catalogue names a control whose
  // number now belongs to another file.
  std::uint32_t generation = 0;

  int count() const { return static_cast<int>(entries.size()); }
  ShotEntry* currentEntry() {
    return current >= 0 && current < count() ? &entries[static_cast<std::size_t>(current)]
                                             : nullptr;
  }
};

using id::kSortByDate;
using id::kSortByName;
using id::kSortByNumber;

// The number between the first "[" and the first "]" of a file name: blanks and tabs,
// a sign, then "$" hexadecimal, "%" binary or decimal digits, wrapping at 32 bits.
std::int32_t BracketNumber(std::u16string_view fileName);

// True when ext (without the dot) is one of the "|"-separated words, in the same case.
bool ExtensionListed(std::u16string_view ext, std::u16string_view list);

// Stable in both directions: equal keys keep their listing order.
void SortShots(std::vector<ShotEntry>& entries, int sortview, int sortdir);

// "[MAR 07, 2010]" for a date in seconds since 1970 (already local time).
std::u16string DateTag(std::int32_t date);

// "12 items." and "12 items. (3 hidden)".
std::u16string ItemsText(int count);
std::u16string ItemsHiddenText(int count, int hidden);

// Rebuilds the catalogue from state.folder: accepted files in listing order, then
// sorted. A folder that cannot be listed gives an empty catalogue.
void ScanFolder(ShotCatalogue& catalogue, const ViewerState& state, int sortview, int sortdir,
                FolderReader& reader);

}  // namespace snapdeck

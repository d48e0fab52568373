// The help window's record and the rules that need no window: the text it shows, the
// language list, where its controls go and which links it may open.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/requester_layout.h"
#include "imaging/palette.h"
#include "imaging/picture.h"
#include "shell/tables.h"

namespace snapdeck {

// The link-text buffer holds this many characters; a longer link is not opened.
inline constexpr std::size_t kLinkTextCapacity = 512;

struct HelpInfo {
  std::u16string title = u"Snapdeck Help & Info";
  int parentWindow = 5;
  int width = 320;  // inner size at opening
  int height = 480;
  Rgb backgroundColor = palette::kHouse;
  int statusIcon = 4;              // picture number of the 16 x 16 icon
  int donationPicture = 5;         // picture number of the 62 x 31 button
  std::u16string donationAddress;  // empty: no donation button
  std::u16string languageCode;     // shown at opening; empty: no list
  std::u16string infoText;
  std::u16string moduleVersions = u"vex 1.09a, mira 1.08a, ask 1.10a";
  // The sorted language table; the help window writes its list positions.
  std::vector<LanguageRow>* languages = nullptr;
};

// "Snapdeck 1.67", an empty line, the help text, a line break, the information text.
std::u16string HelpDocument(std::u16string_view helpText, std::u16string_view infoText);

// The first row with exactly that code; row 0 when there is none.
std::size_t HelpLanguageRow(const std::vector<LanguageRow>& table, std::u16string_view code);

// Gives every row whose code is one of the seven help languages the next list position,
// in table order, and every other row -1. Returns the names in list order.
std::vector<std::u16string> FillLanguageList(std::vector<LanguageRow>& table);

// The last row at that list position; row 0 when there is none.
std::size_t LanguageAtListPosition(const std::vector<LanguageRow>& table, int position);

// Client rectangles of the help window's controls.
struct HelpLayout {
  Box text;    // 18
  Box list;    // 17
  Box donate;  // 16
  Box close;   // 15
};

// The list or the donation button take a row at the top; then the text box starts lower.
bool HelpHasTopRow(const HelpInfo& info);

// Where the controls go at opening, for the inner size of the record.
HelpLayout HelpOpeningLayout(const HelpInfo& info);

// Where the controls go after a size change, for an inner width and the inner height
// above the status bar. Only what moves or stretches is meaningful; the rest keeps its
// place from HelpOpeningLayout.
HelpLayout HelpResizedLayout(const HelpInfo& info, int width, int heightAboveStatus);

// True when the character range [start, end) is a link that fits the link-text buffer.
bool LinkFitsBuffer(long start, long end);

}  // namespace snapdeck

// Decisions of the main window that need no window: the file-name stem, the running
// number, the folder history and the layout that follows the window's size.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/ports.h"
#include "shell/box.h"

namespace snapdeck {

// Removes a typed extension: the text after the last "." that follows the last "\" or
// "/" is the extension part, and every "." + that part is taken out of the stem.
// "shot.png" -> "shot", "shot1.2" -> "shot1"; a stem without such a "." is unchanged.
std::u16string StripStemExtension(std::u16string_view stem);

// The stem with the next free running number: the text between its first "[" and
// first "]" (or, without both, the end of the stem) becomes highest + 1, where highest
// is the largest leading number in brackets among the files in folder that match
// "*" + prefix + "[*]" + suffix + extension. A folder that cannot be listed gives 1.
std::u16string NextAutoNumberName(std::u16string_view stem, const std::u16string& folder,
                                  std::u16string_view extension, FileSystem& fs);

// Puts newText at the top of the most-recently-used entries first..last and selects it.
// Empty entries are first squeezed out (the last entry keeps its text, so a non-empty
// last entry then stands twice); a text already in the list moves to the top, any
// other text pushes the last entry out. Out-of-range bounds change nothing.
void PushFolderHistory(std::array<std::u16string, 16>& entries, int& selected,
                       const std::u16string& newText, int last = 15, int first = 0);

struct MainWindowLayout {
  std::array<ControlPlace, 12> controls{};
  int progressWidth = 0;  // width of the progress picture; redrawn only when > 1

  // The place of a control, or nullptr for one that keeps its creation place.
  const ControlPlace* find(int id) const;
};

// Places of the controls that follow the main window's inner size W x H; the others
// keep their creation place. Widths never go below 0.
MainWindowLayout MainLayout(int innerWidth, int innerHeight);

}  // namespace snapdeck

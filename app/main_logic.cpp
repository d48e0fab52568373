#include "app/main_logic.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/text.h"
#include "resources/ids.h"

namespace snapdeck {

std::u16string StripStemExtension(std::u16string_view stem) {
  const std::size_t dot = stem.rfind(u'.');
  const std::size_t separator = stem.find_last_of(u"\\/");
  if (dot == std::u16string_view::npos ||
      (separator != std::u16string_view::npos && dot < separator)) {
    return std::u16string(stem);
  }
  std::u16string remove(1, u'.');
  remove.append(stem.substr(dot + 1));
  std::u16string out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = stem.find(remove, pos);
    if (hit == std::u16string_view::npos) break;
    out.append(stem.substr(pos, hit - pos));
    pos = hit + remove.size();
  }
  out.append(stem.substr(pos));
  return out;
}

namespace {

// Leading decimal digits; none give 0. Stops growing at a bound far below INT32_MAX so
// that adding one never overflows.
std::int32_t LeadingNumber(std::u16string_view text) {
  constexpr std::int32_t kBound = 1'000'000'000;
  std::int32_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') break;
    if (value >= kBound / 10) return kBound;
    value = value * 10 + (c - u'0');
  }
  return value;
}

}  // namespace

std::u16string NextAutoNumberName(std::u16string_view stem, const std::u16string& folder,
                                  std::u16string_view extension, FileSystem& fs) {
  const std::size_t open = stem.find(u'[');
  const std::size_t close = stem.find(u']');
  std::u16string prefix(stem);
  std::u16string suffix;
  if (open != std::u16string_view::npos && close != std::u16string_view::npos) {
    prefix = std::u16string(stem.substr(0, open));
    suffix = std::u16string(stem.substr(close + 1));
  }
  // The leading "*" lets names with text in front (a device PIN) count too.
  const std::u16string pattern = u"*" + prefix + u"[*]" + suffix + std::u16string(extension);
  std::int32_t highest = 0;
  for (const std::u16string& name : fs.listFiles(folder, pattern)) {
    const std::u16string bare = StripStemExtension(name);
    const std::size_t p = bare.find(u'[');
    const std::size_t q = bare.find(u']');
    if (p == std::u16string::npos || q == std::u16string::npos || q < p) continue;
    highest = std::max(highest, LeadingNumber(std::u16string_view(bare).substr(p + 1, q - p - 1)));
  }
  return prefix + u"[" + DecimalText(highest + 1) + u"]" + suffix;
}

void PushFolderHistory(std::array<std::u16string, 16>& entries, int& selected,
                       const std::u16string& newText, int last, int first) {
  if (first < 0 || last >= static_cast<int>(entries.size()) || first > last) return;
  // Squeeze out empty entries; the entry moved into place i is not looked at again.
  for (int i = first; i <= last; ++i) {
    if (entries[i].empty() && i > first) {
      for (int j = i + 1; j <= last; ++j) entries[j - 1] = entries[j];
    }
  }
  for (int i = first; i <= last; ++i) {
    if (entries[i] == newText) {
      if (i > first) {
        for (int j = i; j > first; --j) entries[j] = entries[j - 1];
        entries[first] = newText;
      }
      // Also when it is already on top: the selection must name the current folder.
      selected = first;
      return;
    }
  }
  for (int j = last; j > first; --j) entries[j] = entries[j - 1];
  entries[first] = newText;
  selected = first;
}

const ControlPlace* MainWindowLayout::find(int id) const {
  for (const ControlPlace& c : controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

MainWindowLayout MainLayout(int W, int H) {
  auto width = [](int w) { return std::max(0, w); };
  MainWindowLayout layout;
  // Creation places (x, y, width, height) with the parts that follow the size replaced.
  layout.controls = {{
      {id::kExitButton, {W - 60, H - 40, 50, 20}},
      {id::kUpdateButton, {10, H - 40, 20, 20}},
      {id::kHelpButton, {40, H - 40, 20, 20}},
      {id::kTakeScreenshot, {70, H - 40, width(W - 140), 30}},
      {id::kFolderCombo, {70, 40, width(W - 110), 20}},
      {id::kChooseFolder, {W - 40, 40, 30, 20}},
      {id::kDirectionButton, {W - 50, 115, 40, 20}},
      {id::kShadingTrack, {150, 115, width(W - 200), 20}},
      {id::kScaleCombo, {W - 60, 70, 50, 20}},
      {id::kFormatCombo, {W - 110, 70, 50, 20}},
      {id::kFilenameEdit, {70, 70, width(W - 180), 20}},
      {id::kToggleViewer, {W - 110, 10, 100, 20}},
  }};
  layout.progressWidth = W - 225;
  return layout;
}

}  // namespace snapdeck

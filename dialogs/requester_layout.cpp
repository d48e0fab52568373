#include "dialogs/requester_layout.h"

#include <algorithm>

#include "resources/ids.h"

namespace snapdeck {
namespace {

constexpr int kRowHeight = 20;

Box MakeBox(int x, int y, int width, int height) {
  return Box{x, y, std::max(0, width), std::max(0, height)};
}

}  // namespace

RequesterLayout RequesterGeometry(int kind, int size) {
  const int s = std::max(0, size);
  const int a = s / 10;
  const int f = s / 40;
  const int row = 3 * (s / 5);
  RequesterLayout l;
  l.icon = MakeBox(s / 2 - 24, s / 6 - 24, 48, 48);
  l.message = MakeBox(a, s / 3, s - 2 * a, kind == id::kKindWarning ? s / 3 : s / 5);
  const int buttonY = 3 * (s / 4);
  l.firstButton = MakeBox(s / 5, buttonY, s / 4, s / 10);
  l.secondButton = MakeBox(s - s / 5 - s / 4, buttonY, s / 4, s / 10);
  switch (kind) {
    case id::kKindPassword:
      l.password = MakeBox(3 * a, row, s - 6 * a, kRowHeight);
      break;
    case id::kKindFile:
      l.browse = MakeBox(a, row, a, kRowHeight);
      l.path = MakeBox(2 * a, row, s - 3 * a, kRowHeight);
      break;
    case id::kKindHotkey:
      l.ctrlBox = MakeBox(4 * f, row, 7 * f, kRowHeight);
      l.altBox = MakeBox(11 * f, row, 7 * f, kRowHeight);
      l.shiftBox = MakeBox(18 * f, row, 7 * f, kRowHeight);
      l.keyList = MakeBox(26 * f, row, 10 * f, kRowHeight);
      break;
    default:
      break;
  }
  return l;
}

int RequesterSound(int kind) {
  switch (kind) {
    case id::kKindPassword:
      return 3;
    case id::kKindWarning:
      return 0;
    case id::kKindFile:
    case id::kKindHotkey:
      return 2;
    default:
      return -1;
  }
}

ModifierBoxes ModifierBoxesFor(int selection, int cas) {
  ModifierBoxes boxes;
  if (selection <= 0 || selection >= kHotkeyCount) return boxes;
  boxes.enabled = true;
  boxes.ctrl = (cas & 1) != 0;
  boxes.alt = (cas & 2) != 0;
  boxes.shift = (cas & 4) != 0;
  return boxes;
}

int HotkeySelectionFor(int hotkey) { return (hotkey >= 0 && hotkey < kHotkeyCount) ? hotkey : 0; }

HotkeyChoice HotkeyChoiceFrom(int selection, bool ctrl, bool alt, bool shift) {
  HotkeyChoice choice;
  if (selection <= 0 || selection >= kHotkeyCount) return choice;
  choice.hotkey = selection;
  choice.cas = (ctrl ? 1 : 0) + (alt ? 2 : 0) + (shift ? 4 : 0);
  return choice;
}

std::u16string OpenFileFilter(const std::u16string& filter) {
  if (filter.empty()) return {};
  std::u16string out = filter;
  std::replace(out.begin(), out.end(), u'|', u'\0');
  out.push_back(u'\0');
  out.push_back(u'\0');
  return out;
}

}  // namespace snapdeck

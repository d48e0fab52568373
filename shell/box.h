// A rectangle in a window's client coordinates, and a control's place in it: every
// window that lays out its controls by arithmetic speaks of them in these.
#pragma once

namespace snapdeck {

struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Box&) const = default;
};

struct ControlPlace {
  int id = 0;  // the control's program number
  Box box;
};

}  // namespace snapdeck

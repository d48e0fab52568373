// Small helpers shared by the imaging sources.
#pragma once

#include <cstddef>

#include "imaging/picture.h"

namespace snapdeck {

// A picture whose pixel buffer matches its size; anything else is treated as empty.
inline bool Usable(const Picture& p) {
  return p.width > 0 && p.height > 0 &&
         p.pixels.size() == static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height);
}

inline const std::uint32_t* RowPtr(const Picture& p, int y) {
  return p.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width);
}
inline std::uint32_t* RowPtr(Picture& p, int y) {
  return p.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width);
}

inline int ClampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace snapdeck

// The invariant every decoder keeps on any input: a sane picture or a clean failure.
#pragma once

#include <cstddef>
#include <cstdlib>

#include "imaging/codec.h"

inline void CheckDecodeResult(const snapdeck::DecodeResult& r) {
  if (r.ok) {
    const snapdeck::Picture& p = r.picture;
    if (!snapdeck::PictureSizeAllowed(p.width, p.height) ||
        p.pixels.size() != static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height))
      std::abort();
  } else if (!r.picture.pixels.empty()) {
    std::abort();
  }
}

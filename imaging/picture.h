// A picture is 32-bit BGRA, top-down: the memory layout of a top-down DIB section,
// so the Windows shell can show, copy or draw on it without converting.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace snapdeck {

// Colour as the program stores it: red + green * 256 + blue * 65536.
using Rgb = std::uint32_t;

constexpr Rgb MakeRgb(int r, int g, int b) {
  return static_cast<Rgb>((r & 255) | ((g & 255) << 8) | ((b & 255) << 16));
}
constexpr int RedOf(Rgb c) { return static_cast<int>(c & 255); }
constexpr int GreenOf(Rgb c) { return static_cast<int>((c >> 8) & 255); }
constexpr int BlueOf(Rgb c) { return static_cast<int>((c >> 16) & 255); }

// Pixel value whose little-endian bytes are B, G, R, A.
constexpr std::uint32_t PixelOf(Rgb c) {
  return 0xFF000000u | (static_cast<std::uint32_t>(RedOf(c)) << 16) |
         (static_cast<std::uint32_t>(GreenOf(c)) << 8) | static_cast<std::uint32_t>(BlueOf(c));
}
constexpr Rgb RgbOfPixel(std::uint32_t p) {
  return MakeRgb(static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255),
                 static_cast<int>(p & 255));
}

// The picture budget: no decoded, scaled or drawn picture is larger. 8192 is the
// largest preview side the settings allow; 32 Mpx keep one picture within 128 MiB of
// BGRA. A file can claim any size in a few bytes, so decoders check the budget from
// the header, before any pixel memory exists.
inline constexpr int kMaxPictureSide = 8192;
inline constexpr std::uint64_t kMaxPicturePixels = 32ull * 1024 * 1024;

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // width * height, row after row, top row first

  bool empty() const { return width <= 0 || height <= 0; }
  std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// True when a w x h picture is within the budget above.
inline bool PictureSizeAllowed(long long w, long long h) {
  return w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide &&
         static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) <= kMaxPicturePixels;
}

// A decoder's reason to refuse a w x h picture, or nullptr when it fits the budget.
inline const char* PictureSizeProblem(long long w, long long h) {
  if (w <= 0 || h <= 0) return "bad picture size";
  return PictureSizeAllowed(w, h) ? nullptr : "picture too large";
}

// Pictures by number, as every part of the program addresses them.
class PictureStore {
 public:
  Picture* find(int number) {
    auto it = pictures_.find(number);
    return it == pictures_.end() ? nullptr : &it->second;
  }
  const Picture* find(int number) const {
    auto it = pictures_.find(number);
    return it == pictures_.end() ? nullptr : &it->second;
  }
  bool exists(int number) const { return pictures_.count(number) != 0; }
  // Replaces any old picture of that number.
  Picture& put(int number, Picture p) { return pictures_[number] = std::move(p); }
  void release(int number) { pictures_.erase(number); }

 private:
  std::map<int, Picture> pictures_;
};

}  // namespace snapdeck

// The capture job's image work as a command-line program, for timing it against other
// tools: read a bitmap, scale it, frame it, encode it, write it.
//
//   pipeline --in FILE --scale P --frame T --color '#RRGGBB' --effect E --dir D
//            --format bmp|jpg|png --out FILE [--repeat N]
//   pipeline --synth WxH [--top-down] --out FILE    (writes a screen-like test bitmap)
//
// Exit 0 on success, 1 with a message on stderr otherwise. With --repeat N the whole
// pipeline runs N times and the median and minimum wall time per run are printed.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_args.h"
#include "imaging/codec.h"
#include "imaging/draw.h"
#include "imaging/frame.h"
#include "imaging/scale.h"

namespace {

using snapdeck::kScalePercents;
using snapdeck::MakeRgb;
using snapdeck::Picture;
using snapdeck::Rgb;

struct Options {
  std::string in, out, synth;
  int scaleIndex = 3;
  snapdeck::FrameStyle frame;
  int format = -1;
  int repeat = 0;
  bool topDown = false;
};

int Usage(const char* why) {
  std::fprintf(stderr,
               "pipeline: %s\nusage: pipeline --in FILE --scale P --frame T --color '#RRGGBB' "
               "--effect E --dir D --format bmp|jpg|png --out FILE [--repeat N]\n"
               "       pipeline --synth WxH [--top-down] --out FILE\n",
               why);
  return 1;
}

using bench::ParseInt;

bool ParseColor(const char* s, Rgb& out) {
  if (std::strlen(s) != 7 || s[0] != '#') return false;
  char* end = nullptr;
  const unsigned long v = std::strtoul(s + 1, &end, 16);
  if (*end != 0) return false;
  out = MakeRgb(static_cast<int>(v >> 16), static_cast<int>(v >> 8), static_cast<int>(v));
  return true;
}

bool ParseArgs(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--top-down") {
      o.topDown = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = "missing value after " + a;
      return false;
    }
    const char* v = argv[++i];
    int n = 0;
    if (a == "--in") {
      o.in = v;
    } else if (a == "--out") {
      o.out = v;
    } else if (a == "--synth") {
      o.synth = v;
    } else if (a == "--scale") {
      const auto end = kScalePercents.end();
      const auto hit = ParseInt(v, 1, 1000, n) ? std::find(kScalePercents.begin(), end, n) : end;
      if (hit == end) {
        error = "--scale must be 25, 50, 75, 100, 150 or 200";
        return false;
      }
      o.scaleIndex = static_cast<int>(hit - kScalePercents.begin());
    } else if (a == "--frame") {
      if (!ParseInt(v, 0, 9, o.frame.thickness)) {
        error = "--frame must be 0..9";
        return false;
      }
    } else if (a == "--effect") {
      if (!ParseInt(v, 0, 16, o.frame.effect)) {
        error = "--effect must be 0..16";
        return false;
      }
    } else if (a == "--dir") {
      if (!ParseInt(v, 0, 1, o.frame.direction)) {
        error = "--dir must be 0 or 1";
        return false;
      }
    } else if (a == "--color") {
      if (!ParseColor(v, o.frame.color)) {
        error = "--color must be #RRGGBB";
        return false;
      }
    } else if (a == "--format") {
      const std::string f = v;
      o.format = f == "bmp" ? 0 : f == "jpg" || f == "jpeg" ? 1 : f == "png" ? 2 : -1;
      if (o.format < 0) {
        error = "--format must be bmp, jpg or png";
        return false;
      }
    } else if (a == "--repeat") {
      if (!ParseInt(v, 1, 100000, o.repeat)) {
        error = "--repeat must be a positive number";
        return false;
      }
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  if (o.out.empty()) {
    error = "--out is required";
    return false;
  }
  if (o.synth.empty() && (o.in.empty() || o.format < 0)) {
    error = "--in and --format are required";
    return false;
  }
  return true;
}

// One read of the known size, as the program reads a shot (growing the buffer as it
// fills would copy a 2 MB bitmap several times).
bool ReadFile(const std::string& path, std::vector<std::uint8_t>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out.resize(static_cast<std::size_t>(size));
    ok = std::fread(out.data(), 1, out.size(), f) == out.size();
  }
  std::fclose(f);
  return ok;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

// One full run; false with a message when something fails.
bool RunPipeline(const Options& o, std::string& error) {
  std::vector<std::uint8_t> file;
  if (!ReadFile(o.in, file)) {
    error = "cannot read " + o.in;
    return false;
  }
  snapdeck::DecodeResult decoded = snapdeck::DecodeImage(file.data(), file.size());
  if (!decoded.ok) {
    error = "cannot decode " + o.in + ": " + decoded.error;
    return false;
  }
  Picture p = snapdeck::ScaleByIndex(decoded.picture, o.scaleIndex);
  if (p.empty()) {
    error = "scaled picture too large";
    return false;
  }
  snapdeck::DrawFrame(p, o.frame);
  const std::vector<std::uint8_t> encoded = snapdeck::EncodeForFormat(p, o.format);
  if (encoded.empty()) {
    error = "encoding failed";
    return false;
  }
  if (!WriteFile(o.out, encoded)) {
    error = "cannot write " + o.out;
    return false;
  }
  return true;
}

// A screen-like picture: title bar, flat panels, lines of glyph-sized marks, icons
// and two gradients.
Picture SynthesizeScreen(int w, int h) {
  Picture p = snapdeck::MakePicture(w, h, MakeRgb(0xF4, 0xF4, 0xF0));
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  const int bar = std::max(8, h / 14);
  for (int y = 0; y < bar; ++y)  // vertical gradient title bar
    snapdeck::FillRect(p, 0, y, w, 1,
                       MakeRgb(20 + 60 * y / bar, 60 + 100 * y / bar, 160 + 80 * y / bar));
  snapdeck::FillRect(p, 0, h - bar, w, bar, MakeRgb(0x30, 0x30, 0x38));
  for (int x = 0; x < w; ++x)  // horizontal gradient strip above the bottom bar
    snapdeck::FillRect(p, x, h - 2 * bar, 1, bar, MakeRgb(255 * x / w, 180, 255 - 255 * x / w));
  const int iconSize = std::max(6, w / 16);
  for (int i = 0; i * (iconSize + 6) + iconSize < w; ++i)  // icon row
    snapdeck::FillRect(p, 4 + i * (iconSize + 6), bar + 6, iconSize, iconSize,
                       MakeRgb(static_cast<int>(next(256)), static_cast<int>(next(256)),
                               static_cast<int>(next(256))));
  const int panelTop = bar + iconSize + 14;
  snapdeck::FillRect(p, w / 2, panelTop, w / 2 - 4, h - 2 * bar - panelTop - 4,
                     MakeRgb(0xDD, 0xE6, 0xF2));
  // Text lines: glyph-sized dot patterns in two inks, words separated by gaps.
  for (int y = panelTop + 2; y + 9 < h - 2 * bar - 4; y += 13) {
    int x = 6;
    const Rgb ink = next(5) == 0 ? MakeRgb(0xCC, 0x22, 0x22) : MakeRgb(0x11, 0x11, 0x11);
    while (x + 7 < w - 6) {
      const int letters = 2 + static_cast<int>(next(7));
      for (int l = 0; l < letters && x + 7 < w - 6; ++l, x += 6) {
        const std::uint32_t shape = next(1u << 16);
        for (int s = 0; s < 16; ++s)  // 4 x 8 grid of 1 x 2 dots
          if (shape & (1u << s)) snapdeck::FillRect(p, x + s % 4, y + s / 4 * 2, 1, 2, ink);
      }
      x += 5;
    }
  }
  return p;
}

std::vector<std::uint8_t> TopDownBmp(const Picture& p) {
  std::vector<std::uint8_t> b = snapdeck::EncodeBmp24(p);
  if (b.empty()) return b;
  const std::size_t stride = (static_cast<std::size_t>(p.width) * 3 + 3) & ~std::size_t{3};
  for (int top = 0, bottom = p.height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(b.begin() + 54 + static_cast<std::ptrdiff_t>(stride * top),
                     b.begin() + 54 + static_cast<std::ptrdiff_t>(stride * (top + 1)),
                     b.begin() + 54 + static_cast<std::ptrdiff_t>(stride * bottom));
  const std::uint32_t negative = static_cast<std::uint32_t>(-p.height);
  for (int i = 0; i < 4; ++i) b[22 + i] = static_cast<std::uint8_t>(negative >> (8 * i));
  return b;
}

int Synthesize(const Options& o) {
  int w = 0, h = 0;
  if (std::sscanf(o.synth.c_str(), "%dx%d", &w, &h) != 2 || !snapdeck::PictureSizeAllowed(w, h) ||
      w < 16 || h < 16)
    return Usage("--synth needs WxH, at least 16x16");
  const Picture p = SynthesizeScreen(w, h);
  if (!WriteFile(o.out, o.topDown ? TopDownBmp(p) : snapdeck::EncodeBmp24(p))) {
    std::fprintf(stderr, "pipeline: cannot write %s\n", o.out.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::string error;
  if (!ParseArgs(argc, argv, o, error)) return Usage(error.c_str());
  if (!o.synth.empty()) return Synthesize(o);

  const int runs = std::max(1, o.repeat);
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!RunPipeline(o, error)) {
      std::fprintf(stderr, "pipeline: %s\n", error.c_str());
      return 1;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  if (o.repeat > 0) {
    std::sort(ms.begin(), ms.end());
    const double median =
        ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    std::printf("runs %d  median %.3f ms  min %.3f ms\n", runs, median, ms.front());
  }
  return 0;
}

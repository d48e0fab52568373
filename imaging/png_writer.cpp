// PNG writing is our own: the row filters are chosen per row, and the image data is
// deflated in parts on all cores with settings libpng cannot pass on to zlib.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "imaging/codec.h"
#include "imaging/pixels.h"

namespace snapdeck {

namespace {

// Image data is deflated in parts of about kPartBytes (half that for screens, whose
// parts differ more in cost and which have size to spare), at most kMaxParts of them.
constexpr std::size_t kPartBytes = 256 * 1024;
constexpr int kMaxParts = 4;
// Photo-like pictures up to this many bytes of pixels get a short match search.
constexpr std::size_t kShortSearchBytes = 1024 * 1024;
// Deflate's window: how far back a match may reach.
constexpr std::size_t kWindowBytes = 32768;
// Large IDAT chunks: 12 bytes of chunk frame per MiB.
constexpr std::size_t kIdatBytes = 1024 * 1024;
// Repeated rows of at least this many bytes in a row (a phone's empty background) are
// all zeros once filtered; run-length coding finds the same matches many times faster.
constexpr std::size_t kRepeatStretchBytes = 64 * 1024;

struct PngLayout {
  int width = 0, height = 0;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  const png_color* palette = nullptr;
  int paletteSize = 0;
  // Rows: BGRA pixels for RGB(A), packed indices for a palette.
  const std::uint8_t* rows = nullptr;
  std::size_t stride = 0;
};

// PNG's row filters, and a mark for "the one with the smallest sum of absolute
// differences", which is decided when the row is filtered.
enum : std::uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4, kSmallest = 255 };

// How one picture is written: each row's filter, and the deflate settings.
struct RowPlan {
  std::vector<std::uint8_t> filters;
  int level = 6;
  int strategy = Z_DEFAULT_STRATEGY;
  int memLevel = 8;
  bool shortSearch = false;  // few match candidates: most of the gain at half the cost
  std::size_t partBytes = kPartBytes / 2;
};

// Screens are flat areas, text and repeated rows (every second row when enlarged): a
// repeated row filtered with Up is all zeros, any other row of a screen does best with
// Sub (None for palette indices), smaller and several times faster than trying every
// filter. Photo-like rows (a camera preview, a picture in a viewer) have no such runs;
// for them the filter with the smallest sum of absolute differences is taken. A row is
// photo-like when fewer than one pixel in eight repeats the pixel two to its left,
// which an enlarged photo's doubled pixels do not.
//
// Deflate: a picture of photo rows whose residuals stay busy (about 3 bits a byte and
// more) gains little from searching for matches. Large ones are run-length coded: as
// small and several times faster; small ones get a short match search, which finds
// the repeats a shrunk photo leaves (0.5% smaller) in little absolute time. Pictures
// with some photo rows, or busy residuals overall, drop the short matches that noise
// produces. Flat screens keep the default.
RowPlan PlanRows(const PngLayout& l) {
  RowPlan plan;
  const bool palette = l.colorType == PNG_COLOR_TYPE_PALETTE;
  plan.filters.assign(static_cast<std::size_t>(l.height), palette ? kNone : kSub);
  if (palette) {
    for (int y = 1; y < l.height; ++y) {
      const std::uint8_t* row = l.rows + l.stride * static_cast<std::size_t>(y);
      if (std::memcmp(row, row - l.stride, l.stride) == 0)
        plan.filters[static_cast<std::size_t>(y)] = kUp;
    }
    return plan;
  }
  std::uint64_t residuals[256] = {};
  int distinctRows = 0, photoRows = 0;
  for (int y = 0; y < l.height; ++y) {
    const std::uint8_t* row = l.rows + l.stride * static_cast<std::size_t>(y);
    if (y > 0 && std::memcmp(row, row - l.stride, l.stride) == 0) {
      plan.filters[static_cast<std::size_t>(y)] = kUp;
      continue;
    }
    const auto* px = reinterpret_cast<const std::uint32_t*>(row);
    int repeats = 0;
    for (int x = 2; x < l.width; ++x) repeats += px[x] == px[x - 2];
    if (8 * repeats < l.width) {
      plan.filters[static_cast<std::size_t>(y)] = kSmallest;
      ++photoRows;
    }
    // Every fourth distinct row is sample enough for the residuals of the colours.
    if (distinctRows++ % 4 != 0) continue;
    for (std::size_t i = 4; i < l.stride; ++i)
      if (i % 4 != 3) ++residuals[static_cast<std::uint8_t>(row[i] - row[i - 4])];
  }
  std::uint64_t total = 0;
  for (std::uint64_t n : residuals) total += n;
  double bitsPerByte = 0;
  for (std::uint64_t n : residuals) {
    if (n == 0) continue;
    const double share = static_cast<double>(n) / static_cast<double>(total);
    bitsPerByte -= share * std::log2(share);
  }
  if (20 * photoRows >= 19 * distinctRows && bitsPerByte >= 3.0) {
    plan.memLevel = 9;
    plan.partBytes = kPartBytes;
    const std::size_t bytes = static_cast<std::size_t>(l.width) * l.height * 3;
    if (bytes <= kShortSearchBytes) {
      plan.level = 4;
      plan.strategy = Z_FILTERED;
      plan.shortSearch = true;
    } else {
      plan.strategy = Z_RLE;
    }
  } else if ((photoRows > 0 && 10 * photoRows >= distinctRows) || bitsPerByte >= 3.7) {
    plan.strategy = Z_FILTERED;
    plan.memLevel = 9;
  }
  return plan;
}

// One row as PNG stores it: RGB or RGBA bytes from our BGRA pixels, packed indices as
// they are.
void RawRow(const PngLayout& l, int y, std::uint8_t* out) {
  const std::uint8_t* in = l.rows + l.stride * static_cast<std::size_t>(y);
  if (l.colorType == PNG_COLOR_TYPE_PALETTE) {
    std::memcpy(out, in, l.stride);
  } else if (l.colorType == PNG_COLOR_TYPE_RGB) {
    for (int x = 0; x < l.width; ++x, in += 4, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  } else {
    for (int x = 0; x < l.width; ++x, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = in[3];
    }
  }
}

// Written without branches so that the compiler can vectorise the loops below.
inline int PaethPredictor(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  const int bc = pb <= pc ? b : c;
  return pa <= pb && pa <= pc ? a : bc;
}

// Filters one row; prev is the raw row above (all zeros for the first row) and bpp
// the bytes of one pixel, at least 1. The first pixel has no left neighbour: a and c
// count as 0 there, which turns Paeth into Up and Average into half of Up.
void FilterRow(int type, const std::uint8_t* row, const std::uint8_t* prev, std::size_t n,
               std::size_t bpp, std::uint8_t* out) {
  const std::size_t head = std::min(bpp, n);
  switch (type) {
    case kSub:
      std::memcpy(out, row, head);
      for (std::size_t i = head; i < n; ++i) out[i] = static_cast<std::uint8_t>(row[i] - row[i - bpp]);
      break;
    case kUp:
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(row[i] - prev[i]);
      break;
    case kAverage:
      for (std::size_t i = 0; i < head; ++i) out[i] = static_cast<std::uint8_t>(row[i] - (prev[i] >> 1));
      for (std::size_t i = head; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(row[i] - ((row[i - bpp] + prev[i]) >> 1));
      break;
    case kPaeth:
      for (std::size_t i = 0; i < head; ++i) out[i] = static_cast<std::uint8_t>(row[i] - prev[i]);
      for (std::size_t i = head; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(
            row[i] - PaethPredictor(row[i - bpp], prev[i], prev[i - bpp]));
      break;
    default:
      std::memcpy(out, row, n);
      break;
  }
}

// Size of a residual read as a signed byte.
inline unsigned Magnitude(int residual) {
  return static_cast<unsigned>(std::abs(static_cast<int>(static_cast<std::int8_t>(residual))));
}

// The filter whose residuals, read as signed bytes, have the smallest sum of absolute
// values; ties go to the simpler filter.
int SmallestFilter(const std::uint8_t* row, const std::uint8_t* prev, std::size_t n,
                   std::size_t bpp) {
  // A row has at most 8192 * 4 bytes, so 32-bit sums of at most 128 a byte cannot wrap.
  unsigned none = 0, sub = 0, up = 0, average = 0, paeth = 0;
  const std::size_t head = std::min(bpp, n);
  for (std::size_t i = 0; i < head; ++i) {
    none += Magnitude(row[i]);
    sub += Magnitude(row[i]);
    up += Magnitude(row[i] - prev[i]);
    average += Magnitude(row[i] - (prev[i] >> 1));
    paeth += Magnitude(row[i] - prev[i]);
  }
  for (std::size_t i = head; i < n; ++i) {
    const int x = row[i], a = row[i - bpp], b = prev[i], c = prev[i - bpp];
    none += Magnitude(x);
    sub += Magnitude(x - a);
    up += Magnitude(x - b);
    average += Magnitude(x - ((a + b) >> 1));
    paeth += Magnitude(x - PaethPredictor(a, b, c));
  }
  const unsigned sums[5] = {none, sub, up, average, paeth};
  int best = 0;
  for (int f = 1; f < 5; ++f)
    if (sums[f] < sums[best]) best = f;
  return best;
}

// Runs work(0) .. work(count - 1), on as many threads as there are cores; the calling
// thread takes its share. Without threads it all runs here. False when some work threw
// (out of memory): nothing may escape a thread.
template <typename Work>
bool ForEachPart(int count, const Work& work) {
  const int threads =
      std::min(count, std::max(1, static_cast<int>(std::thread::hardware_concurrency())));
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  auto drain = [&] {
    for (int i = next++; i < count; i = next++) {
      try {
        work(i);
      } catch (...) {
        failed = true;
      }
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(drain);
    } catch (const std::system_error&) {
      break;
    }
  }
  drain();
  for (std::thread& t : helpers) t.join();
  return !failed;
}

// One part of the image data, deflated on its own: raw deflate, primed with the 32 KiB
// before it so that matches reach across the cut, ending on a byte boundary (sync
// flush) unless it is the last. Parts laid end to end form one deflate stream.
struct DeflatedPart {
  // Sized for the worst case but left uninitialised: only what deflate writes is
  // touched, which matters for a process that saves one picture and ends.
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
  std::uint32_t adler = 1;
  bool ok = false;
};

// Rows [begin, end) of a part, cut where deflate's strategy changes: stretches of
// repeated rows long enough to be worth run-length coding, and the rows between.
struct Stretch {
  std::size_t begin, end;
  bool repeats;
};
std::vector<Stretch> Stretches(const RowPlan& plan, std::size_t begin, std::size_t end,
                               std::size_t lineBytes) {
  std::vector<Stretch> out;
  std::size_t y = begin;
  while (y < end) {
    std::size_t runEnd = y;
    while (runEnd < end && plan.filters[runEnd] == kUp) ++runEnd;
    if ((runEnd - y) * lineBytes >= kRepeatStretchBytes) {
      out.push_back({y, runEnd, true});
      y = runEnd;
      continue;
    }
    // Ordinary rows, up to the next stretch long enough.
    if (out.empty() || out.back().repeats) out.push_back({y, y, false});
    out.back().end = std::max(runEnd, y + 1);
    y = out.back().end;
  }
  return out;
}

// Deflates rows [begin, end) of lineBytes each. The window is what precedes the part in
// the stream (its last 32 KiB are used).
void DeflatePart(const std::uint8_t* data, std::size_t begin, std::size_t end,
                 std::size_t lineBytes, bool last, const RowPlan& plan,
                 const std::vector<std::uint8_t>& window, DeflatedPart& out) {
  z_stream z{};
  if (deflateInit2(&z, plan.level, Z_DEFLATED, -15, plan.memLevel, plan.strategy) != Z_OK) return;
  if (plan.shortSearch) deflateTune(&z, 4, 4, 16, 3);
  const std::size_t dictionary = std::min<std::size_t>(window.size(), kWindowBytes);
  if (dictionary > 0)
    deflateSetDictionary(&z, window.data() + window.size() - dictionary,
                         static_cast<uInt>(dictionary));
  const std::vector<Stretch> stretches = Stretches(plan, begin, end, lineBytes);
  const std::size_t from = begin * lineBytes, to = end * lineBytes;
  // Each change of strategy ends a block: a few hundred bytes of room for each.
  const std::size_t room =
      deflateBound(&z, static_cast<uLong>(to - from)) + 16 + 512 * stretches.size();
  out.bytes.reset(new (std::nothrow) std::uint8_t[room]);
  if (out.bytes) {
    z.next_out = out.bytes.get();
    z.avail_out = static_cast<uInt>(room);
    bool ok = true;
    int strategy = plan.strategy;
    for (std::size_t i = 0; ok && i < stretches.size(); ++i) {
      const Stretch& s = stretches[i];
      const int wanted = s.repeats ? Z_RLE : plan.strategy;
      if (wanted != strategy) {
        ok = deflateParams(&z, plan.level, wanted) == Z_OK;
        strategy = wanted;
      }
      z.next_in = const_cast<Bytef*>(data + s.begin * lineBytes);
      z.avail_in = static_cast<uInt>((s.end - s.begin) * lineBytes);
      const bool final = i + 1 == stretches.size();
      const int result = deflate(&z, !final ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH);
      // The room covers the whole part, so each call consumes all it is given.
      ok = ok && z.avail_in == 0 &&
           (final && last ? result == Z_STREAM_END : result == Z_OK);
    }
    out.ok = ok;
    out.size = z.total_out;
  }
  deflateEnd(&z);
  out.adler = static_cast<std::uint32_t>(adler32(1, data + from, static_cast<uInt>(to - from)));
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data,
              std::size_t size) {
  PutBe32(out, static_cast<std::uint32_t>(size));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  PutBe32(out, static_cast<std::uint32_t>(
                   crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// Filters every row as planned and deflates the result in parts of about
// plan.partBytes, side by side on the machine's cores. The part count depends on the
// picture alone, so a picture always gives the same file.
bool WritePng(const PngLayout& l, const RowPlan& plan, std::vector<std::uint8_t>& out) {
  const std::size_t rowBytes =
      l.colorType == PNG_COLOR_TYPE_PALETTE
          ? l.stride
          : static_cast<std::size_t>(l.width) * (l.colorType == PNG_COLOR_TYPE_RGB ? 3 : 4);
  const std::size_t bpp = l.colorType == PNG_COLOR_TYPE_PALETTE ? 1 : rowBytes / l.width;
  const std::size_t lineBytes = rowBytes + 1;
  const std::size_t height = static_cast<std::size_t>(l.height);
  // Every byte is written by the filters; left uninitialised for the same reason.
  std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[lineBytes * height]);
  if (!data) return false;
  const std::size_t dataBytes = lineBytes * height;
  const int parts = static_cast<int>(
      std::clamp<std::size_t>((dataBytes + plan.partBytes / 2) / plan.partBytes, 1,
                              static_cast<std::size_t>(kMaxParts)));
  auto firstRow = [&](int part) { return height * static_cast<std::size_t>(part) / parts; };

  // Filters rows [begin, end) into out, a line of lineBytes each.
  auto filterRows = [&](std::size_t begin, std::size_t end, std::uint8_t* out) {
    std::vector<std::uint8_t> prev(rowBytes, 0), row(rowBytes);
    if (begin > 0) RawRow(l, static_cast<int>(begin - 1), prev.data());
    for (std::size_t y = begin; y < end; ++y) {
      std::uint8_t* line = out + lineBytes * (y - begin);
      int type = plan.filters[y];
      if (type == kUp) {
        // A repeated row: all zeros, and the row above stays the one above.
        line[0] = kUp;
        std::memset(line + 1, 0, rowBytes);
        continue;
      }
      RawRow(l, static_cast<int>(y), row.data());
      if (type == kSmallest) type = SmallestFilter(row.data(), prev.data(), rowBytes, bpp);
      line[0] = static_cast<std::uint8_t>(type);
      FilterRow(type, row.data(), prev.data(), rowBytes, bpp, line + 1);
      row.swap(prev);
    }
  };
  // Each part filters and deflates its own rows in one go (one set of threads, which
  // are dear under Wine). The window before a part is filtered once more by that part,
  // as the part before it may still be at work on those rows; filtering is the same
  // every time, so the bytes are too.
  std::vector<DeflatedPart> deflated(static_cast<std::size_t>(parts));
  const bool done = ForEachPart(parts, [&](int part) {
    const std::size_t begin = firstRow(part), end = firstRow(part + 1);
    filterRows(begin, end, data.get() + lineBytes * begin);
    std::vector<std::uint8_t> window;
    if (begin > 0) {
      const std::size_t rows = std::min(begin, (kWindowBytes + lineBytes - 1) / lineBytes);
      window.resize(rows * lineBytes);
      filterRows(begin - rows, begin, window.data());
    }
    DeflatePart(data.get(), begin, end, lineBytes, part == parts - 1, plan, window,
                deflated[static_cast<std::size_t>(part)]);
  });
  if (!done) return false;

  // zlib frame: header (deflate, 32 KiB window), the parts, the checksum of the whole.
  std::size_t streamBytes = 6;
  for (const DeflatedPart& d : deflated) {
    if (!d.ok) return false;
    streamBytes += d.size;
  }
  std::vector<std::uint8_t> stream = {0x78, 0x9C};
  stream.reserve(streamBytes);
  std::uint32_t adler = 1;
  for (int part = 0; part < parts; ++part) {
    const DeflatedPart& d = deflated[static_cast<std::size_t>(part)];
    stream.insert(stream.end(), d.bytes.get(), d.bytes.get() + d.size);
    adler = static_cast<std::uint32_t>(adler32_combine(
        adler, d.adler, static_cast<z_off_t>((firstRow(part + 1) - firstRow(part)) * lineBytes)));
  }
  PutBe32(stream, adler);

  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.reserve(streamBytes + 12 * (streamBytes / kIdatBytes + 1) + 3 * 256 + 64);
  out.assign(kSignature, kSignature + 8);
  std::vector<std::uint8_t> header;
  PutBe32(header, static_cast<std::uint32_t>(l.width));
  PutBe32(header, static_cast<std::uint32_t>(l.height));
  header.insert(header.end(), {static_cast<std::uint8_t>(l.bitDepth),
                               static_cast<std::uint8_t>(l.colorType), 0, 0, 0});
  PutChunk(out, "IHDR", header.data(), header.size());
  if (l.colorType == PNG_COLOR_TYPE_PALETTE) {
    std::vector<std::uint8_t> palette;
    for (int i = 0; i < l.paletteSize; ++i)
      palette.insert(palette.end(), {l.palette[i].red, l.palette[i].green, l.palette[i].blue});
    PutChunk(out, "PLTE", palette.data(), palette.size());
  }
  for (std::size_t at = 0; at < stream.size(); at += kIdatBytes)
    PutChunk(out, "IDAT", stream.data() + at, std::min(kIdatBytes, stream.size() - at));
  PutChunk(out, "IEND", nullptr, 0);
  return true;
}

// Up to 256 distinct colours of an opaque picture, or false when there are more.
bool CollectPalette(const Picture& p, std::vector<std::uint32_t>& colors,
                    std::vector<std::uint8_t>& indices) {
  constexpr std::size_t kSlots = 1024;  // power of two, well above 256 entries
  std::uint32_t keys[kSlots];
  std::uint8_t values[kSlots];
  bool used[kSlots] = {};
  colors.clear();
  indices.resize(p.pixels.size());
  // No sentinel value for "no colour yet": every 32-bit value is a possible pixel.
  std::uint32_t last = 0;
  bool haveLast = false;
  std::uint8_t lastIndex = 0;
  for (std::size_t i = 0; i < p.pixels.size(); ++i) {
    const std::uint32_t c = p.pixels[i];
    if (!haveLast || c != last) {
      std::size_t slot = ((c & 0xFFFFFFu) * 2654435761u) >> 22 & (kSlots - 1);
      while (used[slot] && keys[slot] != c) slot = (slot + 1) & (kSlots - 1);
      if (!used[slot]) {
        if (colors.size() == 256) return false;
        used[slot] = true;
        keys[slot] = c;
        values[slot] = static_cast<std::uint8_t>(colors.size());
        colors.push_back(c);
      }
      last = c;
      haveLast = true;
      lastIndex = values[slot];
    }
    indices[i] = lastIndex;
  }
  return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const Picture& p) {
  std::vector<std::uint8_t> out;
  if (!Usable(p)) return out;

  bool opaque = true;
  for (std::uint32_t px : p.pixels)
    if ((px >> 24) != 0xFF) {
      opaque = false;
      break;
    }

  PngLayout l;
  l.width = p.width;
  l.height = p.height;
  std::vector<std::uint32_t> colors;
  std::vector<std::uint8_t> indices;
  std::vector<png_color> palette;
  if (opaque && CollectPalette(p, colors, indices)) {
    // Few colours (the usual case for a device screen): a palette, packed as tightly
    // as the count allows.
    l.colorType = PNG_COLOR_TYPE_PALETTE;
    l.bitDepth = colors.size() <= 2 ? 1 : colors.size() <= 4 ? 2 : colors.size() <= 16 ? 4 : 8;
    for (std::uint32_t c : colors)
      palette.push_back(png_color{static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                                  static_cast<png_byte>(c)});
    l.palette = palette.data();
    l.paletteSize = static_cast<int>(palette.size());
    if (l.bitDepth < 8) {
      const int perByte = 8 / l.bitDepth;
      l.stride = (static_cast<std::size_t>(p.width) + perByte - 1) / perByte;
      std::vector<std::uint8_t> packed(l.stride * static_cast<std::size_t>(p.height), 0);
      for (int y = 0; y < p.height; ++y) {
        const std::uint8_t* in = indices.data() + static_cast<std::size_t>(y) * p.width;
        std::uint8_t* row = packed.data() + static_cast<std::size_t>(y) * l.stride;
        for (int x = 0; x < p.width; ++x)
          row[x / perByte] |=
              static_cast<std::uint8_t>(in[x] << (8 - l.bitDepth * (x % perByte + 1)));
      }
      indices.swap(packed);
    } else {
      l.stride = static_cast<std::size_t>(p.width);
    }
    l.rows = indices.data();
  } else {
    l.colorType = opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
    l.rows = reinterpret_cast<const std::uint8_t*>(p.pixels.data());
    l.stride = static_cast<std::size_t>(p.width) * 4;
  }

  const RowPlan plan = PlanRows(l);
  if (!WritePng(l, plan, out)) out.clear();
  return out;
}

}  // namespace snapdeck

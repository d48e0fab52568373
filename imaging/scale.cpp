#include "imaging/scale.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "imaging/draw.h"
#include "imaging/pixels.h"

namespace snapdeck {

namespace {

// Which source pixels cover each target pixel along one axis, and by how much.
// Lengths are measured in units where a target pixel is `total` long and a source
// pixel dst/gcd long, so every overlap is an exact integer.
struct AxisWeights {
  std::vector<std::uint32_t> begin;   // per target: first entry in index/weight
  std::vector<std::uint32_t> index;   // source pixel
  std::vector<std::uint32_t> weight;  // overlap length
  std::uint32_t total = 1;            // sum of the weights of one target pixel
};

AxisWeights MakeAxisWeights(int src, int dst) {
  AxisWeights a;
  const std::uint64_t g =
      std::gcd(static_cast<std::uint64_t>(src), static_cast<std::uint64_t>(dst));
  const std::uint64_t targetLen = src / g, sourceLen = dst / g;
  a.total = static_cast<std::uint32_t>(targetLen);
  a.begin.reserve(static_cast<std::size_t>(dst) + 1);
  a.index.reserve(static_cast<std::size_t>(dst) * 2);
  a.weight.reserve(static_cast<std::size_t>(dst) * 2);
  for (std::uint64_t t = 0; t < static_cast<std::uint64_t>(dst); ++t) {
    a.begin.push_back(static_cast<std::uint32_t>(a.index.size()));
    const std::uint64_t start = t * targetLen, end = start + targetLen;
    for (std::uint64_t s = start / sourceLen; s < static_cast<std::uint64_t>(src); ++s) {
      const std::uint64_t s0 = s * sourceLen, s1 = s0 + sourceLen;
      if (s0 >= end) break;
      const std::uint64_t overlap = std::min(end, s1) - std::max(start, s0);
      if (overlap == 0) continue;
      a.index.push_back(static_cast<std::uint32_t>(s));
      a.weight.push_back(static_cast<std::uint32_t>(overlap));
    }
  }
  a.begin.push_back(static_cast<std::uint32_t>(a.index.size()));
  return a;
}

// Exact rounded quotient (sum + den / 2) / den without a 64-bit division per channel.
struct RoundingDivider {
  std::uint64_t den;
  double inverse;
  explicit RoundingDivider(std::uint64_t d) : den(d), inverse(1.0 / static_cast<double>(d)) {}
  std::uint32_t operator()(std::uint64_t sum) const {
    const std::uint64_t a = sum + den / 2;
    std::uint64_t q = static_cast<std::uint64_t>(static_cast<double>(a) * inverse);
    if (q * den > a)
      --q;
    else if ((q + 1) * den <= a)
      ++q;
    return static_cast<std::uint32_t>(q);
  }
};

// Whole-number enlargement: every target pixel lies inside one source pixel.
Picture ReplicatePixels(const Picture& src, int w, int h) {
  Picture out = MakePicture(w, h, 0);
  if (out.empty()) return out;
  const int fx = w / src.width, fy = h / src.height;
  for (int sy = 0; sy < src.height; ++sy) {
    const std::uint32_t* in = RowPtr(src, sy);
    std::uint32_t* row = RowPtr(out, sy * fy);
    for (int sx = 0; sx < src.width; ++sx)
      for (int k = 0; k < fx; ++k) *row++ = in[sx];
    for (int k = 1; k < fy; ++k)
      std::copy(RowPtr(out, sy * fy), RowPtr(out, sy * fy) + w, RowPtr(out, sy * fy + k));
  }
  return out;
}

// Whole-number reduction: every target pixel is the rounded mean of one fx x fy block,
// which is what the area weights give there, with no weights to apply. The rows of a
// block are summed first (at most 8192 rows of 255 fit 32 bits; the loop vectorises),
// then the columns in 64 bits.
Picture AverageBlocks(const Picture& src, int w, int h) {
  Picture out = MakePicture(w, h, 0);
  if (out.empty()) return out;
  const int fx = src.width / w, fy = src.height / h;
  if (fx == 2 && fy == 2) {
    // 50 %, the common reduction of a phone's screen: the channels two by two in
    // 16-bit lanes of a 32-bit word (four bytes sum to at most 1020), exact and
    // rounded as below.
    constexpr std::uint32_t kLanes = 0x00FF00FFu;
    for (int y = 0; y < h; ++y) {
      const std::uint32_t* a = RowPtr(src, 2 * y);
      const std::uint32_t* b = RowPtr(src, 2 * y + 1);
      std::uint32_t* row = RowPtr(out, y);
      for (int x = 0; x < w; ++x) {
        const std::uint32_t p0 = a[2 * x], p1 = a[2 * x + 1], p2 = b[2 * x], p3 = b[2 * x + 1];
        const std::uint32_t even =
            (p0 & kLanes) + (p1 & kLanes) + (p2 & kLanes) + (p3 & kLanes) + 0x00020002u;
        const std::uint32_t odd = ((p0 >> 8) & kLanes) + ((p1 >> 8) & kLanes) +
                                  ((p2 >> 8) & kLanes) + ((p3 >> 8) & kLanes) + 0x00020002u;
        row[x] = ((even >> 2) & kLanes) | (((odd >> 2) & kLanes) << 8);
      }
    }
    return out;
  }
  const std::uint64_t n = static_cast<std::uint64_t>(fx) * static_cast<std::uint64_t>(fy);
  const RoundingDivider divide(n);
  // 50% and 25% make blocks of 4 and 16 pixels: a shift instead of a division.
  int shift = -1;
  if ((n & (n - 1)) == 0) {
    shift = 0;
    while ((std::uint64_t{1} << shift) < n) ++shift;
  }
  auto mean = [&](std::uint64_t sum) {
    return static_cast<std::uint8_t>(shift >= 0 ? (sum + n / 2) >> shift : divide(sum));
  };
  const std::size_t channels = static_cast<std::size_t>(src.width) * 4;
  std::vector<std::uint32_t> acc(channels);
  for (int y = 0; y < h; ++y) {
    std::fill(acc.begin(), acc.end(), 0u);
    for (int k = 0; k < fy; ++k) {
      const auto* in = reinterpret_cast<const std::uint8_t*>(RowPtr(src, y * fy + k));
      for (std::size_t c = 0; c < channels; ++c) acc[c] += in[c];
    }
    auto* row = reinterpret_cast<std::uint8_t*>(RowPtr(out, y));
    const std::uint32_t* a = acc.data();
    for (int x = 0; x < w; ++x, row += 4) {
      std::uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      for (int j = 0; j < fx; ++j, a += 4) {
        s0 += a[0];
        s1 += a[1];
        s2 += a[2];
        s3 += a[3];
      }
      row[0] = mean(s0);
      row[1] = mean(s1);
      row[2] = mean(s2);
      row[3] = mean(s3);
    }
  }
  return out;
}

}  // namespace

int ScalePercent(int shotsize) {
  if (shotsize < 0 || shotsize >= kScaleCount) return 100;
  return kScalePercents[shotsize];
}

Picture ResizeAreaAverage(const Picture& src, int w, int h) {
  if (!Usable(src) || !PictureSizeAllowed(w, h)) return Picture{};
  if (w == src.width && h == src.height) return src;
  if (w % src.width == 0 && h % src.height == 0) return ReplicatePixels(src, w, h);
  if (src.width % w == 0 && src.height % h == 0) return AverageBlocks(src, w, h);

  Picture out = MakePicture(w, h, 0);
  if (out.empty()) return out;
  const AxisWeights ax = MakeAxisWeights(src.width, w);
  const AxisWeights ay = MakeAxisWeights(src.height, h);
  const RoundingDivider divide(static_cast<std::uint64_t>(ax.total) * ay.total);

  // Rows first: one accumulated source row per target row (at most 255 * 32768 per
  // channel, so 32 bits suffice), then columns in 64 bits.
  const std::size_t channels = static_cast<std::size_t>(src.width) * 4;
  std::vector<std::uint32_t> acc(channels);
  for (int y = 0; y < h; ++y) {
    std::fill(acc.begin(), acc.end(), 0u);
    for (std::uint32_t k = ay.begin[y]; k < ay.begin[y + 1]; ++k) {
      const auto* in =
          reinterpret_cast<const std::uint8_t*>(RowPtr(src, static_cast<int>(ay.index[k])));
      const std::uint32_t wy = ay.weight[k];
      for (std::size_t c = 0; c < channels; ++c) acc[c] += wy * in[c];
    }
    auto* row = reinterpret_cast<std::uint8_t*>(RowPtr(out, y));
    for (int x = 0; x < w; ++x) {
      std::uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      for (std::uint32_t k = ax.begin[x]; k < ax.begin[x + 1]; ++k) {
        const std::uint32_t* a = &acc[static_cast<std::size_t>(ax.index[k]) * 4];
        const std::uint64_t wx = ax.weight[k];
        s0 += wx * a[0];
        s1 += wx * a[1];
        s2 += wx * a[2];
        s3 += wx * a[3];
      }
      row[4 * x + 0] = static_cast<std::uint8_t>(divide(s0));
      row[4 * x + 1] = static_cast<std::uint8_t>(divide(s1));
      row[4 * x + 2] = static_cast<std::uint8_t>(divide(s2));
      row[4 * x + 3] = static_cast<std::uint8_t>(divide(s3));
    }
  }
  return out;
}

Picture ScaleByIndex(const Picture& src, int shotsize) {
  const int pct = ScalePercent(shotsize);
  if (pct == 100 || !Usable(src)) return src;
  const long long w = std::max(1LL, static_cast<long long>(src.width) * pct / 100);
  const long long h = std::max(1LL, static_cast<long long>(src.height) * pct / 100);
  if (!PictureSizeAllowed(w, h)) return Picture{};
  return ResizeAreaAverage(src, static_cast<int>(w), static_cast<int>(h));
}

}  // namespace snapdeck

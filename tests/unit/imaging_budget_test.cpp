// Files that claim pictures beyond the budget, or more data than they hold, are
// refused before the memory they claim is allocated; pictures at the budget's edge
// still decode.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imaging/codec.h"
#include "tests/support/libjpeg_files.h"
#include "tests/unit/allocation_watch.h"

namespace snapdeck {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Decodes with the allocation hook armed; `largest` is the biggest single allocation.
DecodeResult DecodeWatched(const Bytes& file, std::size_t& largest) {
  testing::WatchAllocations(true);
  DecodeResult r = DecodeImage(file.data(), file.size());
  testing::WatchAllocations(false);
  largest = testing::LargestAllocation();
  return r;
}

void ExpectRefusedBeforeAllocating(const Bytes& file, const char* why = "picture too large") {
  std::size_t largest = 0;
  const DecodeResult r = DecodeWatched(file, largest);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, why);
  EXPECT_TRUE(r.picture.pixels.empty());
  if (testing::kAllocationsSeen) {
    EXPECT_LT(largest, std::size_t{1} << 20);
  }
}

void ExpectDecodedAt(const Bytes& file, int w, int h, std::uint32_t firstPixel) {
  const DecodeResult r = DecodeImage(file.data(), file.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.picture.width, w);
  EXPECT_EQ(r.picture.height, h);
  EXPECT_EQ(r.picture.pixels.front(), firstPixel);
  EXPECT_EQ(r.picture.pixels.back(), firstPixel);
}

void Le32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Be32(Bytes& b, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// An 8-bit RLE bitmap whose data ends the bitmap at once: 1,080 bytes for any size,
// every pixel palette entry 0 (#102030).
Bytes Rle8Bitmap(std::uint32_t w, std::uint32_t h) {
  Bytes b = {'B', 'M'};
  Le32(b, 1080);
  Le32(b, 0);
  Le32(b, 14 + 40 + 1024);
  Le32(b, 40);
  Le32(b, w);
  Le32(b, h);
  b.insert(b.end(), {1, 0, 8, 0});
  Le32(b, 1);  // RLE8
  Le32(b, 2);
  for (int i = 0; i < 4; ++i) Le32(b, 0);
  for (int i = 0; i < 256; ++i) b.insert(b.end(), {0x30, 0x20, 0x10, 0});
  b.insert(b.end(), {0, 1});  // end of bitmap
  return b;
}

void PngChunk(Bytes& b, const char* type, const Bytes& data) {
  Be32(b, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = b.size();
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), data.begin(), data.end());
  Be32(b,
       static_cast<std::uint32_t>(crc32(0, b.data() + start, static_cast<uInt>(b.size() - start))));
}

// An 8-bit RGB PNG of black rows: deflated zeros, about a thousandth of the raw size.
Bytes PngOfZeros(std::uint32_t w, std::uint32_t h) {
  Bytes ihdr;
  Be32(ihdr, w);
  Be32(ihdr, h);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 15, 9, Z_RLE), Z_OK);
  const Bytes zeros(1 << 20, 0);
  Bytes idat(1 << 16);
  std::size_t produced = 0;
  std::uint64_t left = (1 + 3ull * w) * h;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0 && left > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
      z.next_in = const_cast<Bytef*>(zeros.data());
      z.avail_in = static_cast<uInt>(n);
      left -= n;
    }
    if (idat.size() - produced < (1 << 15)) idat.resize(idat.size() * 2);
    z.next_out = idat.data() + produced;
    z.avail_out = static_cast<uInt>(idat.size() - produced);
    rc = deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
    produced = idat.size() - z.avail_out;
    if (rc != Z_OK && rc != Z_STREAM_END) break;
  }
  deflateEnd(&z);
  idat.resize(produced);
  Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PngChunk(b, "IHDR", ihdr);
  PngChunk(b, "IDAT", idat);
  PngChunk(b, "IEND", {});
  return b;
}

// A grey JPEG of one flat tone, as small as libjpeg makes it.
Bytes FlatGreyJpeg(int w, int h, bool progressive) {
  const testing::LibjpegSpec spec{.width = w,
                                  .height = h,
                                  .components = 1,
                                  .space = JCS_GRAYSCALE,
                                  .quality = 50,
                                  .progressive = progressive};
  return testing::WriteWithLibjpeg(
      spec, [w](int, std::uint8_t* row) { std::fill_n(row, w, std::uint8_t{0x80}); });
}

// The frame header's height and width, rewritten.
Bytes WithJpegSize(Bytes b, int w, int h) {
  for (std::size_t i = 2; i + 8 < b.size(); ++i)
    if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2)) {
      b[i + 5] = static_cast<std::uint8_t>(h >> 8);
      b[i + 6] = static_cast<std::uint8_t>(h);
      b[i + 7] = static_cast<std::uint8_t>(w >> 8);
      b[i + 8] = static_cast<std::uint8_t>(w);
      return b;
    }
  ADD_FAILURE() << "no frame header";
  return b;
}

TEST(PictureBudget, RleBitmapBombIsRefusedAndTheEdgeDecodes) {
  const Bytes bomb = Rle8Bitmap(16384, 16384);
  EXPECT_EQ(bomb.size(), 1080u);
  ExpectRefusedBeforeAllocating(bomb);
  ExpectRefusedBeforeAllocating(Rle8Bitmap(8193, 1));     // one side too long
  ExpectRefusedBeforeAllocating(Rle8Bitmap(8192, 4097));  // too many pixels
  ExpectDecodedAt(Rle8Bitmap(8192, 4096), 8192, 4096, 0xFF102030u);
}

TEST(PictureBudget, PngOfDeflatedZerosIsRefusedAndTheEdgeDecodes) {
  const Bytes bomb = PngOfZeros(16384, 16384);
  EXPECT_GT(bomb.size(), 700000u);  // within deflate's ratio: only the budget stops it
  EXPECT_LT(bomb.size(), 900000u);
  ExpectRefusedBeforeAllocating(bomb);
  ExpectDecodedAt(PngOfZeros(8192, 4096), 8192, 4096, 0xFF000000u);
}

TEST(PictureBudget, PngChunkClaimingMoreThanTheFileHoldsIsNotAllocated) {
  // libpng takes an oversized ancillary chunk only as a warning and allocates its
  // claimed length first: 2 GB for this 60-byte file.
  const Bytes small = PngOfZeros(3, 2);
  Bytes file(small.begin(), small.begin() + 33);  // signature and IHDR
  Be32(file, 0x789C0029);
  file.insert(file.end(), {'s', 'C', 'A', 'L', 'z', 'T', 0x99, 0x08, 0x63, 0x25, 0x58});
  file.insert(file.end(), small.end() - 12, small.end());  // IEND
  ExpectRefusedBeforeAllocating(file, "truncated PNG data");
  // The same with the file ending right after the chunk's length and type.
  file.resize(33 + 8);
  ExpectRefusedBeforeAllocating(file, "truncated PNG data");
}

TEST(PictureBudget, JpegBeyondTheBudgetIsRefusedAndTheEdgeDecodes) {
  // Progressive, so the size is checked against the budget before the data.
  const Bytes small = FlatGreyJpeg(16, 16, true);
  ExpectRefusedBeforeAllocating(WithJpegSize(small, 16384, 16384));
  ExpectRefusedBeforeAllocating(WithJpegSize(small, 8192, 8192));
  // Within the budget, but a few hundred bytes cannot hold 16 Mpx even progressively.
  ExpectRefusedBeforeAllocating(WithJpegSize(small, 4096, 4096),
                                "JPEG data too short for its size");
  const DecodeResult r = DecodeImage(small.data(), small.size());
  ASSERT_TRUE(r.ok) << r.error;
  ExpectDecodedAt(FlatGreyJpeg(8192, 4096, false), 8192, 4096, r.picture.pixels.front());
  // libjpeg's memory is held to what the picture needs, which still covers the whole
  // image's coefficients of a progressive file and sizes rounded up to subsampled blocks.
  ExpectDecodedAt(FlatGreyJpeg(8192, 4096, true), 8192, 4096, r.picture.pixels.front());
  const testing::LibjpegSpec layouts[] = {
      {.width = 1001, .height = 999, .components = 3, .space = JCS_RGB, .progressive = true,
       .subsample = true},
      {.width = 777, .height = 555, .components = 4, .space = JCS_CMYK, .progressive = true},
  };
  for (const testing::LibjpegSpec& spec : layouts) {
    const Bytes file = testing::WriteWithLibjpeg(spec, [&spec](int, std::uint8_t* row) {
      std::fill_n(row, spec.width * spec.components, std::uint8_t{0x40});
    });
    const DecodeResult d = DecodeImage(file.data(), file.size());
    EXPECT_TRUE(d.ok) << spec.components << " components: " << d.error;
  }
  // Every scan passes over the whole image: a file repeating its last scan stops at 100.
  const Bytes progressive = FlatGreyJpeg(64, 64, true);
  std::size_t lastScan = 0;
  for (std::size_t i = 2; i + 1 < progressive.size(); ++i)
    if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA) lastScan = i;
  ASSERT_GT(lastScan, 0u);
  const Bytes scan(progressive.begin() + static_cast<std::ptrdiff_t>(lastScan), progressive.end() - 2);
  Bytes repeated(progressive.begin(), progressive.end() - 2);
  for (int i = 0; i < 120; ++i) repeated.insert(repeated.end(), scan.begin(), scan.end());
  repeated.insert(repeated.end(), {0xFF, 0xD9});
  EXPECT_EQ(DecodeImage(repeated.data(), repeated.size()).error, "too many scans");
  Bytes fewer(progressive.begin(), progressive.end() - 2);
  for (int i = 0; i < 20; ++i) fewer.insert(fewer.end(), scan.begin(), scan.end());
  fewer.insert(fewer.end(), {0xFF, 0xD9});
  EXPECT_TRUE(DecodeImage(fewer.data(), fewer.size()).ok);
}

}  // namespace
}  // namespace snapdeck

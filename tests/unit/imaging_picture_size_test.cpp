#include <gtest/gtest.h>

#include "imaging/codec.h"
#include "imaging/draw.h"
#include "imaging/picture_size.h"

namespace snapdeck {
namespace {

using Bytes = std::vector<std::uint8_t>;

SizeProbe Probe(const Bytes& b, int& w, int& h) {
  return ProbePictureSize(b.data(), b.size(), w, h);
}

TEST(PictureSize, ReadsTheSizeOfEachFormatFromItsHeader) {
  const Picture p = MakePicture(484, 324, MakeRgb(10, 200, 30));
  for (int format : {0, 1, 2}) {
    const Bytes file = EncodeForFormat(p, format);
    int w = 0, h = 0;
    ASSERT_EQ(Probe(file, w, h), SizeProbe::Known) << "format " << format;
    EXPECT_EQ(w, 484);
    EXPECT_EQ(h, 324);
    // Only the first bytes are needed.
    const Bytes head(file.begin(), file.begin() + 40);
    EXPECT_EQ(Probe(head, w, h), format == 1 ? SizeProbe::NeedMore : SizeProbe::Known);
  }
}

TEST(PictureSize, TopDownAndCoreBitmapsAndJpegMetadataBeforeTheFrame) {
  Bytes bmp = EncodeForFormat(MakePicture(7, 5, 0), 0);
  bmp[22] = 0xFB;  // height -5: rows stored top first
  bmp[23] = bmp[24] = bmp[25] = 0xFF;
  int w = 0, h = 0;
  ASSERT_EQ(Probe(bmp, w, h), SizeProbe::Known);
  EXPECT_EQ(h, 5);

  const Bytes core = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 3, 1, 2, 0};
  ASSERT_EQ(Probe(core, w, h), SizeProbe::Known);
  EXPECT_EQ(w, 259);
  EXPECT_EQ(h, 2);

  // A large application segment pushes the frame header back.
  const Bytes jpeg = EncodeForFormat(MakePicture(33, 17, 0), 1);
  Bytes withApp(jpeg.begin(), jpeg.begin() + 2);
  withApp.insert(withApp.end(), {0xFF, 0xE1, 0xFF, 0xFF});
  withApp.insert(withApp.end(), 0xFFFF - 2, 0);
  withApp.insert(withApp.end(), jpeg.begin() + 2, jpeg.end());
  EXPECT_EQ(ProbePictureSize(withApp.data(), 64 * 1024, w, h), SizeProbe::NeedMore);
  ASSERT_EQ(Probe(withApp, w, h), SizeProbe::Known);
  EXPECT_EQ(w, 33);
  EXPECT_EQ(h, 17);
  EXPECT_TRUE(DecodeImage(withApp.data(), withApp.size()).ok);
}

TEST(PictureSize, RefusesWhatNoDecoderWouldTake) {
  int w = 0, h = 0;
  EXPECT_EQ(Probe(Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, w, h),
            SizeProbe::Refused);
  // A bitmap header claiming 60000 x 60000 pixels.
  Bytes bomb = EncodeForFormat(MakePicture(2, 2, 0), 0);
  bomb[18] = bomb[22] = 0x60;
  bomb[19] = bomb[23] = 0xEA;
  EXPECT_EQ(Probe(bomb, w, h), SizeProbe::Refused);
  Bytes zero = EncodeForFormat(MakePicture(2, 2, 0), 2);
  zero[16] = zero[17] = zero[18] = zero[19] = 0;  // PNG width 0
  EXPECT_EQ(Probe(zero, w, h), SizeProbe::Refused);
  EXPECT_EQ(Probe(Bytes{0xFF, 0xD8, 0xFF, 0xD9}, w, h), SizeProbe::Refused);  // SOI then EOI
  EXPECT_EQ(Probe(Bytes{0x89, 'P', 'N'}, w, h), SizeProbe::NeedMore);
}

}  // namespace
}  // namespace snapdeck

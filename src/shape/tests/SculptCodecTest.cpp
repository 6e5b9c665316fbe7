#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "shape/SculptCodec.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;
using shape_test::SettingsGuard;

namespace {
uint8_t R(uint32_t c) { return c & 0xFF; }
uint8_t G(uint32_t c) { return (c >> 8) & 0xFF; }
uint8_t B(uint32_t c) { return (c >> 16) & 0xFF; }
}  // namespace

TEST(SculptCodec, PlainEncodingIsExactOnTheMapSteps) {
  for (int k = -127; k <= 128; ++k) {
    const double c = k / 128.0;
    ASSERT_EQ(EncodeChannel(c), 127 + k) << k;
    ASSERT_EQ(CoordToChannelValue(c), 127 + k) << k;
    const uint32_t color = EncodePointColor({c, 0.0, c});
    const TDbl3D back = DecodePixel127(color);
    ASSERT_EQ(back[0], c) << k;
    ASSERT_EQ(back[2], c) << k;
  }
  // 128 - 1.5 = 126.5 goes to the even neighbour 126.
  EXPECT_EQ(EncodeChannel(0.01171875), 129);
  EXPECT_EQ(EncodeChannel(0.00390625), 127);  // 127.5 -> 128
  EXPECT_EQ(EncodePointColor({-0.9921875, 0, 1.0}), 0xFF7F00u);
}

TEST(SculptCodec, PlainEncodingClampsInsteadOfWrapping) {
  EXPECT_EQ(EncodeChannel(-1.0), 0);  // 255 - 256 would wrap to 255
  EXPECT_EQ(EncodeChannel(-5.0), 0);
  EXPECT_EQ(EncodeChannel(1.0078125), 255);  // 256 would wrap to 0
  EXPECT_EQ(EncodeChannel(3.0), 255);
  EXPECT_EQ(EncodeChannel(std::numeric_limits<double>::infinity()), 255);
  EXPECT_EQ(EncodeChannel(-std::numeric_limits<double>::infinity()), 0);
  // The editors' read-out is not brought into range.
  EXPECT_EQ(CoordToChannelValue(-1.0), -1);
  EXPECT_EQ(CoordToChannelValue(2.0), 383);
}

// Channel values worked by hand from the encoding's words: plain = 255 - nearest(128 - 128 c),
// halves to the even neighbour; the editors' read-out is that value as it is, a written map
// stores it brought into 0..255.
TEST(SculptCodec, PlainChannelValuesWorkedByHand) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double c;
    const char* work;  // 128 c -> 128 - 128 c -> nearest
    int32_t readout;
    int stored;
  } cases[] = {
      {0.0, "0 -> 128 -> 128", 127, 127},
      {1.0, "128 -> 0 -> 0", 255, 255},
      {-0.9921875, "-127 -> 255 -> 255", 0, 0},
      {0.5, "64 -> 64 -> 64", 191, 191},
      {-0.25, "-32 -> 160 -> 160", 95, 95},
      {0.3, "38.4 -> 89.6 -> 90", 165, 165},
      {-0.123, "-15.744 -> 143.744 -> 144", 111, 111},
      // halves go to the even neighbour, on both sides of zero
      {0.00390625, "0.5 -> 127.5 -> 128", 127, 127},
      {0.01171875, "1.5 -> 126.5 -> 126", 129, 129},
      {-0.00390625, "-0.5 -> 128.5 -> 128", 127, 127},
      {-0.01171875, "-1.5 -> 129.5 -> 130", 125, 125},
      {0.99609375, "127.5 -> 0.5 -> 0", 255, 255},
      {0.98828125, "126.5 -> 1.5 -> 2", 253, 253},
      // a hair above a half: 2^-8 + 2^-57 gives 127.5 - 2^-50, whose nearest integer is 127
      // (rounded to a double first, the difference would be 127.5 and go to 128)
      {0.00390625 + 0x1p-57, "0.5 + 2^-50 -> 127.5 - 2^-50 -> 127", 128, 128},
      // outside the map's range: the read-out runs on, the map keeps the nearest end
      {-0.99609375, "-127.5 -> 255.5 -> 256", -1, 0},
      {-1.0, "-128 -> 256 -> 256", -1, 0},
      {1.0078125, "129 -> -1 -> -1", 256, 255},
      {2.0, "256 -> -128 -> -128", 383, 255},
      {-5.0, "-640 -> 768 -> 768", -513, 0},
      // beyond any integer: the ends of the 32-bit range
      {1e300, "huge", std::numeric_limits<int32_t>::max(), 255},
      {inf, "infinite", std::numeric_limits<int32_t>::max(), 255},
      {-1e300, "huge", std::numeric_limits<int32_t>::min(), 0},
      {-inf, "infinite", std::numeric_limits<int32_t>::min(), 0},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(CoordToChannelValue(k.c), k.readout) << k.c << ": " << k.work;
    EXPECT_EQ(int{EncodeChannel(k.c)}, k.stored) << k.c << ": " << k.work;
  }
  // NaN has no nearest integer; it reads and stores as 255, never anything out of range.
  EXPECT_EQ(CoordToChannelValue(std::numeric_limits<double>::quiet_NaN()), 255);
  EXPECT_EQ(EncodeChannel(std::numeric_limits<double>::quiet_NaN()), 255);
}

// Box encoding worked by hand: t = (c - min) / (max - min), the value nearest(254 t) with
// "MaximizeWithSymmetry" on and nearest(255 t) with it off; 127 when min equals max.
TEST(SculptCodec, BoxChannelValuesWorkedByHand) {
  SettingsGuard guard;
  struct Case {
    double min, max, c;
    const char* work;  // t -> 255 t / 254 t
    int off, on;
  } cases[] = {
      {-1.0, 1.0, -1.0, "0", 0, 0},
      {-1.0, 1.0, 1.0, "1", 255, 254},
      {-1.0, 1.0, 0.0, "0.5 -> 127.5 / 127", 128, 127},
      {-1.0, 1.0, 0.5, "0.75 -> 191.25 / 190.5", 191, 190},
      {-1.0, 1.0, -0.5, "0.25 -> 63.75 / 63.5", 64, 64},
      {0.0, 3.0, 1.0, "1/3 -> a hair below 85 / 84.67", 85, 85},
      {-0.25, 0.75, 0.0, "0.25 -> 63.75 / 63.5", 64, 64},
      {0.0, 4.0, 1.0, "0.25 -> 63.75 / 63.5", 64, 64},
      {0.0, 4.0, 3.0, "0.75 -> 191.25 / 190.5", 191, 190},
      // the double nearest 1.5 / 255 lies a little below it: 255 t a little below 1.5 gives 1
      // (the product rounded to a double first would be 1.5 and go to 2)
      {0.0, 1.0, 1.5 / 255, "a hair below 1.5 / 1.494", 1, 1},
      {0.0, 1.0, 1.5 / 254, "1.506 / a hair below 1.5", 2, 1},
      // every coordinate of a flat axis
      {0.3, 0.3, 0.3, "min = max", 127, 127},
      {0.3, 0.3, -0.9, "min = max", 127, 127},
      // outside the box the value is brought into 0..255
      {-0.5, 0.5, 0.9, "1.4 -> 357 / 355.6", 255, 255},
      {-0.5, 0.5, -0.9, "-0.4 -> -102 / -101.6", 0, 0},
  };
  for (const Case& k : cases) {
    settings::AppSettings.MaximizeWithSymmetry = false;
    EXPECT_EQ(int{EncodeChannelInBox(k.min, k.max, k.c)}, k.off)
        << k.min << " " << k.max << " " << k.c << ": " << k.work;
    settings::AppSettings.MaximizeWithSymmetry = true;
    EXPECT_EQ(int{EncodeChannelInBox(k.min, k.max, k.c)}, k.on)
        << k.min << " " << k.max << " " << k.c << ": " << k.work;
  }
}

TEST(SculptCodec, RowEncodingMatchesThePointEncodings) {
  SettingsGuard guard;
  std::vector<TDbl3D> points;
  for (int k = 0; k < 300; ++k)
    points.push_back({std::sin(k * 0.37) * 1.2, (k % 17) / 16.0 - 0.5, k / 256.0 - 0.6});
  points.push_back({0.25, 0.25, 0.25});
  const TDbl3D lo{-1.0, -0.5, 0.25}, hi{1.0, 0.5, 0.25};  // a flat z axis gives 127
  std::vector<uint32_t> colors(points.size());
  for (const bool symmetric : {false, true}) {
    settings::AppSettings.MaximizeWithSymmetry = symmetric;
    for (const bool box : {false, true}) {
      EncodePointColors(points.data(), static_cast<int32_t>(points.size()), box, hi, lo, colors.data());
      for (size_t k = 0; k < points.size(); ++k)
        ASSERT_EQ(colors[k], box ? EncodePointColorInBox(points[k], hi, lo) : EncodePointColor(points[k]))
            << k << " " << box << " " << symmetric;
    }
  }
}

TEST(SculptCodec, BoxEncoding) {
  SettingsGuard guard;
  settings::AppSettings.MaximizeWithSymmetry = false;
  EXPECT_EQ(EncodeChannelInBox(0.3, 0.3, 0.3), 127);
  EXPECT_EQ(EncodeChannelInBox(-0.5, 0.5, -0.5), 0);
  EXPECT_EQ(EncodeChannelInBox(-0.5, 0.5, 0.5), 255);
  EXPECT_EQ(EncodeChannelInBox(-0.5, 0.5, 0.0), 128);  // 127.5 -> 128
  EXPECT_EQ(EncodeChannelInBox(-0.5, 0.5, 0.9), 255);  // outside the box: clamped
  settings::AppSettings.MaximizeWithSymmetry = true;
  EXPECT_EQ(EncodeChannelInBox(-0.5, 0.5, 0.5), 254);
  EXPECT_EQ(EncodeChannelInBox(-0.5, 0.5, 0.0), 127);
  const uint32_t c = EncodePointColorInBox({0.0, 1.0, -1.0}, {1.0, 1.0, 1.0}, {-1.0, 1.0, -1.0});
  EXPECT_EQ(R(c), 127);
  EXPECT_EQ(G(c), 127);
  EXPECT_EQ(B(c), 0);

  // A block maximized over the whole map range decodes back to its points exactly.
  for (bool symmetric : {false, true}) {
    settings::AppSettings.MaximizeWithSymmetry = symmetric;
    const int top = symmetric ? 127 : 128;
    for (int k = -127; k <= top; ++k)
      ASSERT_EQ(DecodePixel127(EncodeChannelInBox(-127 / 128.0, top / 128.0, k / 128.0))[0], k / 128.0) << k;
  }
}

TEST(SculptCodec, Decodings) {
  const uint32_t color = 10u | (200u << 8) | (128u << 16);
  const TDbl3D now = DecodePixel127(color);
  EXPECT_EQ(now[0], (10 - 127) / 128.0);
  EXPECT_EQ(now[1], (200 - 127) / 128.0);
  EXPECT_EQ(now[2], 1 / 128.0);
  const TDbl3D old = DecodePixel128(color);
  EXPECT_EQ(old[0], (128 - 200) / 128.0);
  EXPECT_EQ(old[1], (128 - 10) / 128.0);
  EXPECT_EQ(old[2], 0.0);
}

TEST(SculptCodec, PictureSizeTable) {
  struct Case {
    int w, h;
    int i, j, step;  // step 0: not a sculpt picture
  };
  const Case cases[] = {
      {64, 64, 33, 33, 2},
      {128, 128, 33, 33, 4},
      {256, 256, 33, 33, 8},
      {512, 512, 33, 33, 16},
      {256, 64, 65, 17, 4},
      {64, 256, 17, 65, 4},
      {512, 8, 257, 5, 2},
      {1024, 16, 257, 5, 4},
      {16, 256, 9, 129, 2},
      {8, 512, 5, 257, 2},
      {256, 16, 129, 9, 2},
      // no step fits: step 1 (32, 256 x 4, 128 x 8) or above 16
      {32, 32, 0, 0, 0},
      {256, 4, 0, 0, 0},
      {128, 8, 0, 0, 0},
      {1024, 1024, 0, 0, 0},
      // ratios outside the table, and empty pictures
      {64, 48, 0, 0, 0},
      {64, 32, 0, 0, 0},
      {0, 64, 0, 0, 0},
      {64, 0, 0, 0, 0},
      {-64, -64, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t i = 0, j = 0, step = 0;
    const bool ok = SculptGridOfPicture(c.w, c.h, i, j, step);
    EXPECT_EQ(ok, c.step != 0) << c.w << " x " << c.h;
    if (ok && c.step != 0) {
      EXPECT_EQ(i, c.i) << c.w << " x " << c.h;
      EXPECT_EQ(j, c.j) << c.w << " x " << c.h;
      EXPECT_EQ(step, c.step) << c.w << " x " << c.h;
    }
  }
}

// The sizes a message names as a sculpt map's are exactly the accepted ones: each listed size
// is accepted, and 28 are listed (7 grids, 4 steps).
TEST(SculptCodec, TheListedSculptMapSizesAreTheAcceptedOnes) {
  const std::string text = SculptMapSizesText();
  int listed = 0;
  for (size_t at = 0; at < text.size();) {
    int w = 0, h = 0, used = 0;
    ASSERT_EQ(std::sscanf(text.c_str() + at, "%d x %d%n", &w, &h, &used), 2) << text.substr(at);
    int32_t i = 0, j = 0, step = 0;
    EXPECT_TRUE(SculptGridOfPicture(w, h, i, j, step)) << w << " x " << h;
    ++listed;
    at += static_cast<size_t>(used);
    while (at < text.size() && (text[at] == ',' || text[at] == ' ' || text[at] == '\r' || text[at] == '\n')) ++at;
  }
  EXPECT_EQ(listed, 28);
}

TEST(SculptCodec, SamplingPositions) {
  // 64 x 64, step 2: grid row 32 from picture row 0, row 31 from row 1, row 0 from row 63.
  EXPECT_EQ(SculptPictureRow(32, 33, 2, 64), 0);
  EXPECT_EQ(SculptPictureRow(31, 33, 2, 64), 1);
  EXPECT_EQ(SculptPictureRow(30, 33, 2, 64), 3);
  EXPECT_EQ(SculptPictureRow(0, 33, 2, 64), 63);
  EXPECT_EQ(SculptPictureColumn(0, 33, 2, 64), 0);
  EXPECT_EQ(SculptPictureColumn(31, 33, 2, 64), 62);
  EXPECT_EQ(SculptPictureColumn(32, 33, 2, 64), 63);
  // Kept inside the picture whatever is asked.
  EXPECT_EQ(SculptPictureRow(-5, 33, 2, 64), 63);
  EXPECT_EQ(SculptPictureColumn(300, 33, 2, 64), 63);
  EXPECT_EQ(SculptPictureRow(0, 33, 16, 64), 63);
}

TEST(SculptCodec, BlockBoundsAndScaleText) {
  SettingsGuard guard;
  auto cs = shape_test::NewShape(SCTYPE_PLANE, 5, 5);
  TDbl3D lo, hi;
  BlockBounds(cs->CP, 0, 0, 0, 0, lo, hi);
  EXPECT_EQ(lo[0], 2.0);
  EXPECT_EQ(hi[2], -2.0);

  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) cs->CP[i][j] = {0.25, j / 8.0 - 0.25, i / 4.0 - 0.5};
  BlockBounds(cs->CP, 1, 0, 5, 3, lo, hi);
  EXPECT_EQ(lo[0], 0.25);
  EXPECT_EQ(hi[0], 0.25);
  EXPECT_EQ(lo[1], -0.25);
  EXPECT_EQ(hi[1], 0.25);
  EXPECT_EQ(lo[2], -0.25);
  EXPECT_EQ(hi[2], 0.25);

  settings::ObjectSize[0] = settings::ObjectSize[1] = settings::ObjectSize[2] = 1.0;
  settings::AppSettings.MaximizeWithSymmetry = false;
  // x constant: the second X value is 0.
  EXPECT_EQ(FormatScaleText(hi, lo), "<0.12549020,0.00000000,0.00000000>:<0.00000000,0.25098039,0.25098039>");
  settings::AppSettings.MaximizeWithSymmetry = true;
  settings::ObjectSize[0] = 2.0;
  settings::ObjectSize[2] = 3.0;
  EXPECT_EQ(FormatScaleText(hi, lo),
            "<0.25098039,-0.00049212,-0.00147636>:<0.00000000,0.25196850,0.75590551>");
  EXPECT_EQ(BlockDescription(kUnscaledScaleText, "SPHERE"),
            "<0.0,0.0,0.0>:<1.0,1.0,1.0>:<0.0,0.0,0.0>:SPHERE");
}

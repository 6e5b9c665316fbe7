#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/Round.h"

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

// The channel values follow the library's rounding (halves to even) for every input: halves on
// both sides of zero, the neighbours of halves, values far outside the map, NaN and infinities.
TEST(SculptCodec, ChannelsRoundAsTheLibraryDoes) {
  SettingsGuard guard;
  auto reference = [](double v) { return std::clamp<int64_t>(common::Round(v), 0, 255); };
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> inputs = {0.0, -0.0, 1e-300, -1e-300, 1e300, -1e300, inf, -inf,
                                std::numeric_limits<double>::quiet_NaN(), 4096.0, -4096.0, 600.0, -600.0};
  for (int k = -1200; k <= 1200; ++k) {
    const double half = k / 256.0;  // 128 * half lands on halves and wholes
    inputs.insert(inputs.end(), {half, std::nextafter(half, inf), std::nextafter(half, -inf)});
  }
  for (const double c : inputs) {
    const double v = 128.0 - 128.0 * c;
    const int64_t rounded = common::Round(v);
    ASSERT_EQ(EncodeChannel(c), std::clamp<int64_t>(255 - std::clamp<int64_t>(rounded, -(int64_t{1} << 40), int64_t{1} << 40), 0, 255)) << c;
    ASSERT_EQ(CoordToChannelValue(c),
              common::SaturateInt32(255 - std::clamp<int64_t>(rounded, -(int64_t{1} << 40), int64_t{1} << 40)))
        << c;
    for (const bool symmetric : {false, true}) {
      settings::AppSettings.MaximizeWithSymmetry = symmetric;
      const double scale = symmetric ? 254.0 : 255.0;
      const double t = (c - -3.0) / (2.0 - -3.0);
      ASSERT_EQ(EncodeChannelInBox(-3.0, 2.0, c), reference(scale * t)) << c << " " << symmetric;
    }
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

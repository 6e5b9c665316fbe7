// The blend operations as a table of (operation, source, destination) cases.
#include <gtest/gtest.h>

#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVUtils.h"

namespace rv {
namespace {

TRGB Grey(int v) { return TRGB{static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)}; }

TEST(RenderOperation, PerChannelOperations) {
  struct Case {
    TRVRenderOperation op;
    int s, d, expected;
  };
  const Case cases[] = {
      {rvlAdd, 200, 100, 255},           {rvlSub, 200, 100, 100},
      {rvlDiv, 200, 100, 0},             {rvlDiv, 0, 100, 100},  // a source of 0 divides by 1
      {rvlDiv, 3, 100, 33},              {rvlMul, 200, 100, 78},
      {rvlOR, 200, 100, 236},            {rvlAND, 200, 100, 64},
      {rvlXOR, 200, 100, 172},           {rvlMAX, 200, 100, 200},
      {rvlMIN, 200, 100, 100},           {rvlAverage, 200, 100, 150},
      {rvlScreen, 200, 100, 221},        {rvlNegation, 200, 100, 210},
      {rvlExclusion, 200, 100, 144},     {rvlExclusion, 255, 255, 2},
      {rvlOverlay, 200, 100, 156},       {rvlOverlay, 0, 128, 2},
      {rvlHardLight, 200, 100, 189},     {rvlHardLight, 100, 200, 156},
      {rvlSoftLight, 200, 100, 133},     {rvlXFader, 200, 100, 134},
      {rvlColorEdge, 200, 100, 255},     {rvlColorEdge, 255, 0, 255},
      {rvlColorEdge, 100, 50, 82},       {rvlColorBurn, 200, 100, 57},
      {rvlColorBurn, 0, 255, 0},         {rvlInverseColorDodge, 200, 100, 255},
      {rvlInverseColorDodge, 50, 100, 82}, {rvlInverseColorBurn, 200, 100, 115},
      {rvlInverseColorBurn, 200, 0, 0},  {rvlSoftDodge, 200, 100, 185},
      {rvlSoftDodge, 100, 50, 41},       {rvlSoftDodge, 255, 0, 255},
      {rvlSoftBurn, 200, 100, 156},      {rvlSoftBurn, 100, 50, 62},
      {rvlSoftBurn, 0, 255, 255},        {rvlReflect, 200, 100, 181},
      {rvlReflect, 255, 3, 255},         {rvlGlow, 200, 100, 255},
      {rvlGlow, 100, 50, 48},            {rvlFreeze, 200, 100, 135},
      {rvlFreeze, 0, 100, 0},            {rvlEat, 200, 100, 225},
      {rvlEat, 200, 0, 0},               {rvlSubtractive, 200, 100, 44},
      {rvlSubtractive, 100, 100, 0},     {rvlInterpolation, 200, 100, 157},
      {rvlStamp, 200, 100, 244},         {rvlStamp, 100, 55, 0},
      {rvlStamp, 255, 10, 255},
  };
  for (const Case& c : cases) {
    TRGB s = Grey(c.s), d = Grey(c.d);
    ApplyRenderOperation(&s, &d, c.op, 0);
    EXPECT_EQ(d, Grey(c.expected)) << "operation " << int(c.op) << " s " << c.s << " d " << c.d;
    EXPECT_EQ(s, Grey(c.s));
  }
}

TEST(RenderOperation, WholePixelOperations) {
  const TRGB src{10, 20, 30}, dst{200, 150, 100};  // blue, green, red
  struct Case {
    TRVRenderOperation op;
    int32_t row;
    TRGB expected;
  };
  const uint8_t left = static_cast<uint8_t>((100 * 21 + 150 * 71 + 200 * 8) / 100);
  const uint8_t right = static_cast<uint8_t>((30 * 21 + 20 * 71 + 10 * 8) / 100);
  const Case cases[] = {
      {rvlNormal, 0, src},
      {rvlRed, 0, TRGB{200, 150, 30}},  // only the third byte changes
      {rvlGreen, 0, TRGB{200, 20, 100}},
      {rvlBlue, 0, TRGB{10, 150, 100}},
      {rvlStereoBW, 0, TRGB{right, right, left}},
      {rvlStereoColor, 0, TRGB{10, 20, 100}},
      {rvlStereoEven, 2, src},
      {rvlStereoEven, 3, dst},
      {rvlStereoOdd, 3, src},
      {rvlStereoOdd, 4, dst},
      {static_cast<TRVRenderOperation>(43), 0, dst},
      {static_cast<TRVRenderOperation>(255), 0, dst},
  };
  for (const Case& c : cases) {
    TRGB d = dst;
    ApplyRenderOperation(&src, &d, c.op, c.row);
    EXPECT_EQ(d, c.expected) << "operation " << int(c.op) << " row " << c.row;
  }
}

TEST(RenderOperation, DuboisAnaglyphUsesTheEntryValues) {
  const TRGB right{0, 0, 255}, leftView{0, 0, 255};  // pure red in both views
  TRGB d = leftView;
  ApplyRenderOperation(&right, &d, rvlStereoColorDubois, 0);
  // red (0.4561 - 0.0434706) x 255 = 105.2; green (0.378476 - 0.0400822) x 255 = 86.3; blue < 0.
  EXPECT_EQ(d.r, 105);
  EXPECT_EQ(d.g, 86);
  EXPECT_EQ(d.b, 0);
  const TRGB cyan{255, 255, 0};
  TRGB e{0, 0, 0};
  ApplyRenderOperation(&cyan, &e, rvlStereoColorDubois, 0);
  EXPECT_EQ(e.r, 0);    // -0.0879388 x 255 - 0.00155529 x 255 < 0
  EXPECT_EQ(e.g, 182);  // (0.73364 - 0.0184503) x 255 = 182.37
  EXPECT_EQ(e.b, 255);  // (1.2264 - 0.112961) x 255 > 255
}

TEST(RenderOperation, HueSaturationColourAndLuminosity) {
  const TRGB red{0, 0, 255}, grey{128, 128, 128};
  TRGB d = grey;
  ApplyRenderOperation(&red, &d, rvlHue, 0);  // grey has no saturation: stays grey
  EXPECT_EQ(d, grey);
  d = grey;
  ApplyRenderOperation(&red, &d, rvlColor, 0);  // red's hue and saturation at grey's lightness
  EXPECT_GT(d.r, 200);
  EXPECT_LT(d.g, 10);
  EXPECT_LT(d.b, 10);
  d = red;
  ApplyRenderOperation(&grey, &d, rvlSaturation, 0);  // grey's saturation 0 makes red grey
  EXPECT_EQ(d.r, d.g);
  EXPECT_EQ(d.g, d.b);
  d = grey;
  ApplyRenderOperation(&red, &d, rvlLuminosity, 0);  // red's hue, grey's saturation 0
  EXPECT_EQ(d.r, d.g);
}

}  // namespace
}  // namespace rv

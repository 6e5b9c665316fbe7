// Bitmaps in metafiles checked by pixels: a bitmap stretched, transferred pixel for pixel, set to
// the device, tiled as a brush, with the common raster operations; and the WMF records.
#include <gtest/gtest.h>

#include <vector>

#include "rastova/io/metafile/tests/MetafileTestTools.h"
#include "rastova/io/metafile/tests/MetafileWriter.h"

namespace rv::metatest {
namespace {

// Two by two: red, green on top, blue, white below.
const std::vector<uint32_t> kQuarters = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

TEST(EmfBitmaps, StretchedSetAndTransferred) {
  const U_XFORM identity = Xf(1, 0, 0, 1, 0, 0);
  const struct {
    const char* what;
    std::function<char*(TDib&)> record;
    QRect quarters;  // where the four quarters land
  } cases[] = {
      {"stretched",
       [](TDib& d) {
         return U_EMRSTRETCHDIBITS_set(U_RCL_DEF, Pt(10, 10), Pt(40, 20), Pt(0, 0), Pt(2, 2),
                                       U_DIB_RGB_COLORS, U_SRCCOPY, d.Info, uint32_t(d.Bits.size()),
                                       d.Bits.data());
       },
       QRect(10, 10, 40, 20)},
      {"stretched from a part of the source: the top row",
       [](TDib& d) {
         // The source's y counts from the bottom row of a bottom-up bitmap: row 1 is the top.
         return U_EMRSTRETCHDIBITS_set(U_RCL_DEF, Pt(10, 10), Pt(40, 20), Pt(0, 1), Pt(2, 1),
                                       U_DIB_RGB_COLORS, U_SRCCOPY, d.Info, uint32_t(d.Bits.size()),
                                       d.Bits.data());
       },
       QRect(10, 10, 40, 20)},
      {"set to the device",
       [](TDib& d) {
         return U_EMRSETDIBITSTODEVICE_set(U_RCL_DEF, Pt(30, 40), Pt(0, 0), Pt(2, 2), U_DIB_RGB_COLORS, 0, 2,
                                           d.Info, uint32_t(d.Bits.size()), d.Bits.data());
       },
       QRect(30, 40, 2, 2)},
      {"stretch blit",
       [identity](TDib& d) {
         return U_EMRSTRETCHBLT_set(U_RCL_DEF, Pt(0, 0), Pt(20, 20), Pt(0, 0), Pt(2, 2), identity,
                                    Rgb(0, 0, 0), U_DIB_RGB_COLORS, U_SRCCOPY, d.Info,
                                    uint32_t(d.Bits.size()), d.Bits.data());
       },
       QRect(0, 0, 20, 20)},
      {"bit blit",
       [identity](TDib& d) {
         return U_EMRBITBLT_set(U_RCL_DEF, Pt(5, 6), Pt(2, 2), Pt(0, 0), identity, Rgb(0, 0, 0),
                                U_DIB_RGB_COLORS, U_SRCCOPY, d.Info, uint32_t(d.Bits.size()), d.Bits.data());
       },
       QRect(5, 6, 2, 2)},
  };
  for (const auto& c : cases) {
    TDib dib(2, 2, kQuarters);
    TEmfWriter w(60, 50);
    w.Add(c.record(dib));
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull()) << c.what;
    const QRect& q = c.quarters;
    const int hw = q.width() / 2, hh = q.height() / 2;
    const bool topRowOnly = std::string(c.what).find("top row") != std::string::npos;
    EXPECT_EQ(At(image, q.left(), q.top()), kRed) << c.what;
    EXPECT_EQ(At(image, q.left() + hw, q.top()), kGreen) << c.what;
    EXPECT_EQ(At(image, q.right(), q.top() + hh - 1), kGreen) << c.what;
    if (topRowOnly) {
      // The top row stretched over the whole height.
      EXPECT_EQ(At(image, q.left(), q.bottom()), kRed) << c.what;
    } else {
      EXPECT_EQ(At(image, q.left(), q.bottom()), kBlue) << c.what;
      EXPECT_EQ(At(image, q.right(), q.bottom()), kWhite) << c.what;
      if (q.left() > 0) {
        EXPECT_EQ(At(image, q.left() - 1, q.bottom()), kWhite) << c.what;
      }
    }
  }
}

TEST(EmfBitmaps, RasterOperationsOfTransfers) {
  const U_XFORM identity = Xf(1, 0, 0, 1, 0, 0);
  const struct {
    uint32_t rop;
    QRgb over;  // the red source over a background of (0, 255, 0)
  } cases[] = {{U_SRCCOPY, kRed},       {U_SRCPAINT, 0xFFFF00},   {U_SRCAND, kBlack},
               {U_SRCINVERT, 0xFFFF00}, {U_NOTSRCCOPY, 0x00FFFF}, {U_DSTINVERT, 0xFF00FF},
               {U_BLACKNESS, kBlack},   {U_WHITENESS, kWhite},    {U_PATCOPY, kBlue}};
  for (const auto& c : cases) {
    TDib red(1, 1, {0xFF0000});
    TEmfWriter w(20, 20);
    w.Select(w.Brush(U_BS_SOLID, Rgb(0, 255, 0))).Select(U_NULL_PEN);
    w.Add(U_EMRRECTANGLE_set(Rc(0, 0, 21, 21)));
    w.Select(w.Brush(U_BS_SOLID, Rgb(0, 0, 255)));
    w.Add(U_EMRSTRETCHBLT_set(U_RCL_DEF, Pt(5, 5), Pt(10, 10), Pt(0, 0), Pt(1, 1), identity, Rgb(0, 0, 0),
                              U_DIB_RGB_COLORS, c.rop, red.Info, uint32_t(red.Bits.size()), red.Bits.data()));
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(At(image, 10, 10), c.over) << std::hex << c.rop;
    EXPECT_EQ(At(image, 2, 2), kGreen) << std::hex << c.rop;
  }
}

TEST(EmfBitmaps, PatternBrushTilesFromTheOrigin) {
  TEmfWriter w(40, 40);
  w.Select(w.PatternBrush(2, 2, kQuarters)).Select(U_NULL_PEN);
  w.Add(U_EMRRECTANGLE_set(Rc(0, 0, 41, 41)));
  const QImage image = Render(w.Finish());
  ASSERT_FALSE(image.isNull());
  for (int y : {0, 2, 10, 38})
    for (int x : {0, 4, 20, 36}) {
      EXPECT_EQ(At(image, x, y), kRed) << x << "," << y;
      EXPECT_EQ(At(image, x + 1, y), kGreen) << x << "," << y;
      EXPECT_EQ(At(image, x, y + 1), kBlue) << x << "," << y;
    }
}

// ---------------------------------------------------------------- WMF

TEST(WmfPlayer, PlaceableBoxMapsOntoThePicture) {
  // 4 by 1 inches at 1440 units per inch: 384 x 96 pixels.
  TWmfWriter w(5760, 1440, 1440);
  w.Select(w.Brush(U_BS_SOLID, Rgb(255, 0, 0)));
  w.Select(w.Pen(U_PS_NULL, 0, Rgb(0, 0, 0)));
  w.Add(U_WMRRECTANGLE_set(Rc16(1440, 360, 2880, 1080)));  // inches 1 to 2 across, 1/4 to 3/4 down
  const std::vector<uint8_t> bytes = w.Finish();
  TRVMetafilePlayer player;
  ASSERT_TRUE(player.LoadFromBytes(bytes));
  EXPECT_FALSE(player.Enhanced);
  EXPECT_EQ(player.Width, 384);
  EXPECT_EQ(player.Height, 96);
  const QImage image = Render(bytes);
  EXPECT_EQ(At(image, 100, 30), kRed);
  EXPECT_EQ(At(image, 190, 66), kRed);
  EXPECT_EQ(At(image, 94, 48), kWhite);
  EXPECT_EQ(At(image, 194, 48), kWhite);
  EXPECT_EQ(At(image, 140, 22), kWhite);
  EXPECT_EQ(At(image, 140, 74), kWhite);
}

TEST(WmfPlayer, RecordsDrawWhereTheyShould) {
  const struct {
    const char* what;
    std::function<void(TWmfWriter&)> draw;
    std::vector<std::pair<QPoint, QRgb>> expect;
  } cases[] = {
      {"the file's window over the box",
       [](TWmfWriter& w) {
         w.Add(U_WMRSETWINDOWORG_set(Pt16(0, 0)));
         w.Add(U_WMRSETWINDOWEXT_set(Pt16(10, 10)));
         w.Add(U_WMRRECTANGLE_set(Rc16(0, 0, 5, 5)));
       },
       {{{20, 20}, kRed}, {{70, 20}, kWhite}, {{20, 70}, kWhite}}},
      {"a new object takes the lowest free index",
       [](TWmfWriter& w) {
         const uint32_t green =
             w.Brush(U_BS_SOLID, Rgb(0, 255, 0));  // index 2, after the red brush and the pen
         w.Delete(0);                              // the red brush
         w.Brush(U_BS_SOLID, Rgb(0, 0, 255));      // takes index 0
         w.Add(U_WMRSELECTOBJECT_set(0));
         w.Add(U_WMRRECTANGLE_set(Rc16(0, 0, 50, 50)));
         w.Add(U_WMRSELECTOBJECT_set(uint16_t(green)));
         w.Add(U_WMRRECTANGLE_set(Rc16(50, 50, 100, 100)));
       },
       {{{25, 25}, kBlue}, {{75, 75}, kGreen}}},
      {"poly-polygon",
       [](TWmfWriter& w) {
         const U_POINT16 p[] = {Pt16(10, 10), Pt16(40, 10), Pt16(40, 40),
                                Pt16(60, 60), Pt16(90, 60), Pt16(90, 90)};
         const uint16_t counts[] = {3, 3};
         w.Add(U_WMRPOLYPOLYGON_set(2, counts, p));
       },
       {{{35, 15}, kRed}, {{85, 65}, kRed}, {{15, 35}, kWhite}, {{50, 50}, kWhite}}},
      {"intersected clip",
       [](TWmfWriter& w) {
         w.Add(U_WMRINTERSECTCLIPRECT_set(Rc16(20, 20, 40, 40)));
         w.Add(U_WMRRECTANGLE_set(Rc16(0, 0, 100, 100)));
       },
       {{{30, 30}, kRed}, {{10, 10}, kWhite}, {{50, 50}, kWhite}}},
      {"a region object as the clip",
       [](TWmfWriter& w) {
         // Two scans: (10, 10)-(30, 20) and (20, 20)-(60, 40); the region takes index 2.
         w.Add(WmfRecord(0x06FF,
                         {0, 6, 0, 0, 0, 2, 2, 10, 10, 60, 40, 2, 10, 20, 10, 30, 2, 2, 20, 40, 20, 60, 2}));
         w.Add(WmfRecord(0x012C, {2}));
         w.Add(U_WMRRECTANGLE_set(Rc16(0, 0, 100, 100)));
       },
       {{{15, 15}, kRed}, {{50, 30}, kRed}, {{35, 15}, kWhite}, {{15, 30}, kWhite}, {{70, 70}, kWhite}}},
      {"saved and restored",
       [](TWmfWriter& w) {
         w.Add(U_WMRSAVEDC_set());
         w.Select(w.Brush(U_BS_SOLID, Rgb(0, 0, 255)));
         w.Add(U_WMRRESTOREDC_set(-1));
         w.Add(U_WMRRECTANGLE_set(Rc16(0, 0, 100, 100)));
       },
       {{{50, 50}, kRed}}},
      {"stretched bitmap",
       [](TWmfWriter& w) {
         TDib d(2, 2, kQuarters);
         w.Add(U_WMRSTRETCHDIB_set(Pt16(0, 0), Pt16(100, 100), Pt16(0, 0), Pt16(2, 2), U_DIB_RGB_COLORS,
                                   U_SRCCOPY, d.Info, uint32_t(d.Bits.size()), d.Bits.data()));
       },
       {{{25, 25}, kRed}, {{75, 25}, kGreen}, {{25, 75}, kBlue}, {{75, 75}, kWhite}}},
  };
  for (const auto& c : cases) {
    // 100 x 100 units at 96 per inch: a unit is a pixel.
    TWmfWriter w(100, 100, 96);
    w.Select(w.Brush(U_BS_SOLID, Rgb(255, 0, 0)));
    w.Select(w.Pen(U_PS_NULL, 0, Rgb(0, 0, 0)));
    c.draw(w);
    const QImage image = Render(w.Finish());
    ASSERT_EQ(image.size(), QSize(100, 100)) << c.what;
    for (const auto& [p, color] : c.expect)
      EXPECT_EQ(At(image, p.x(), p.y()), color) << c.what << " at " << p.x() << "," << p.y();
  }
}

}  // namespace
}  // namespace rv::metatest

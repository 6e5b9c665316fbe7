// EMF playback checked by pixels: files written by libUEMF's writer, each with known geometry,
// drawn at their own size (a device pixel is a pixel of the picture) over white.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "rastova/io/metafile/tests/MetafileTestTools.h"
#include "rastova/io/metafile/tests/MetafileWriter.h"

namespace rv::metatest {
namespace {

// A figure drawn with a red brush and no pen unless the case selects otherwise.
struct EmfCase {
  const char* what;
  std::function<void(TEmfWriter&)> draw;
  std::vector<std::pair<QPoint, QRgb>> expect;
};

void RedFillNoPen(TEmfWriter& w) {
  w.Select(w.Brush(U_BS_SOLID, Rgb(255, 0, 0)));
  w.Select(U_NULL_PEN);
}

TEST(EmfPlayer, FiguresWhereTheyShouldBe) {
  const EmfCase cases[] = {
      {"filled rectangle",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRRECTANGLE_set(Rc(10, 10, 50, 30)));
       },
       {{{11, 11}, kRed},
        {{47, 27}, kRed},
        {{8, 20}, kWhite},
        {{52, 20}, kWhite},
        {{30, 8}, kWhite},
        {{30, 32}, kWhite}}},
      {"ellipse",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRELLIPSE_set(Rc(10, 10, 90, 50)));
       },
       {{{50, 30}, kRed}, {{12, 30}, kRed}, {{12, 12}, kWhite}, {{88, 48}, kWhite}}},
      {"rounded rectangle",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRROUNDRECT_set(Rc(10, 10, 90, 50), sizel_set(40, 40)));
       },
       {{{50, 30}, kRed}, {{50, 11}, kRed}, {{11, 11}, kWhite}, {{88, 48}, kWhite}}},
      {"pie, a quarter counter-clockwise from three o'clock",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRPIE_set(Rc(10, 10, 90, 50), Pt(90, 30), Pt(50, 10)));
       },
       {{{70, 22}, kRed}, {{30, 22}, kWhite}, {{70, 38}, kWhite}, {{30, 38}, kWhite}}},
      {"pie, clockwise",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRSETARCDIRECTION_set(U_AD_CLOCKWISE));
         w.Add(U_EMRPIE_set(Rc(10, 10, 90, 50), Pt(90, 30), Pt(50, 10)));
       },
       {{{70, 22}, kWhite}, {{30, 22}, kRed}, {{70, 38}, kRed}, {{30, 38}, kRed}}},
      {"chord",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRCHORD_set(Rc(10, 10, 90, 50), Pt(90, 30), Pt(10, 30)));
       },
       {{{50, 20}, kRed}, {{50, 40}, kWhite}}},
      {"triangle of 16-bit points",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         const U_POINT16 p[] = {Pt16(10, 50), Pt16(50, 10), Pt16(90, 50)};
         w.Add(U_EMRPOLYGON16_set(U_RCL_DEF, 3, p));
       },
       {{{50, 40}, kRed}, {{15, 15}, kWhite}, {{85, 15}, kWhite}}},
      {"poly-polygon, alternate fill leaves the inner square",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         const U_POINTL p[] = {Pt(10, 5),  Pt(90, 5),  Pt(90, 55), Pt(10, 55),
                               Pt(30, 20), Pt(70, 20), Pt(70, 40), Pt(30, 40)};
         const uint32_t counts[] = {4, 4};
         w.Add(U_EMRPOLYPOLYGON_set(U_RCL_DEF, 2, counts, 8, p));
       },
       {{{20, 30}, kRed}, {{50, 30}, kWhite}}},
      {"poly-polygon, winding fill fills it",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRSETPOLYFILLMODE_set(U_WINDING));
         const U_POINT16 p[] = {Pt16(10, 5),  Pt16(90, 5),  Pt16(90, 55), Pt16(10, 55),
                                Pt16(30, 20), Pt16(70, 20), Pt16(70, 40), Pt16(30, 40)};
         const uint32_t counts[] = {4, 4};
         w.Add(U_EMRPOLYPOLYGON16_set(U_RCL_DEF, 2, counts, 8, p));
       },
       {{{20, 30}, kRed}, {{50, 30}, kRed}}},
      {"pixel",
       [](TEmfWriter& w) { w.Add(U_EMRSETPIXELV_set(Pt(7, 9), Rgb(0, 0, 255))); },
       {{{7, 9}, kBlue}, {{8, 9}, kWhite}, {{7, 10}, kWhite}}},
      {"stock brush",
       [](TEmfWriter& w) {
         w.Select(U_BLACK_BRUSH).Select(U_NULL_PEN);
         w.Add(U_EMRRECTANGLE_set(Rc(10, 10, 50, 30)));
       },
       {{{30, 20}, kBlack}, {{60, 20}, kWhite}}},
      {"saved state restored",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRSAVEDC_set());
         w.Select(w.Brush(U_BS_SOLID, Rgb(0, 0, 255)));
         w.Add(U_EMRRESTOREDC_set(-1));
         w.Add(U_EMRRECTANGLE_set(Rc(10, 10, 50, 30)));
       },
       {{{30, 20}, kRed}}},
      {"a deleted brush is not selected again",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         const uint32_t blue = w.Brush(U_BS_SOLID, Rgb(0, 0, 255));
         w.Delete(blue);
         w.Add(U_EMRSELECTOBJECT_set(blue));
         w.Add(U_EMRRECTANGLE_set(Rc(10, 10, 50, 30)));
       },
       {{{30, 20}, kRed}}},
      {"path filled",
       [](TEmfWriter& w) {
         RedFillNoPen(w);
         w.Add(U_EMRBEGINPATH_set());
         w.Add(U_EMRMOVETOEX_set(Pt(10, 50)));
         w.Add(U_EMRLINETO_set(Pt(50, 10)));
         w.Add(U_EMRLINETO_set(Pt(90, 50)));
         w.Add(U_EMRCLOSEFIGURE_set());
         w.Add(U_EMRENDPATH_set());
         w.Add(U_EMRFILLPATH_set(U_RCL_DEF));
       },
       {{{50, 40}, kRed}, {{15, 15}, kWhite}}},
      {"path of Bézier curves stroked",
       [](TEmfWriter& w) {
         w.Select(w.Pen(U_PS_SOLID, 3, Rgb(0, 0, 255)));
         const U_POINTL p[] = {Pt(10, 30), Pt(30, 30), Pt(70, 30), Pt(90, 30)};
         w.Add(U_EMRBEGINPATH_set());
         w.Add(U_EMRPOLYBEZIER_set(U_RCL_DEF, 4, p));
         w.Add(U_EMRENDPATH_set());
         w.Add(U_EMRSTROKEPATH_set(U_RCL_DEF));
       },
       {{{50, 30}, kBlue}, {{50, 26}, kWhite}}},
      {"EMF+ records beside the EMF records",
       [](TEmfWriter& w) {
         // An EMF+ header record in a comment; the EMF rectangle beside it draws.
         const char plus[] = {'E', 'M',  'F',        '+',        1, 0x40, 1, 0, 28, 0, 0, 0, 16, 0, 0, 0,
                              2,   0x10, (char)0xC0, (char)0xDB, 1, 0,    0, 0, 96, 0, 0, 0, 96, 0, 0, 0};
         w.Add(U_EMRCOMMENT_set(sizeof(plus), plus));
         RedFillNoPen(w);
         w.Add(U_EMRRECTANGLE_set(Rc(10, 10, 50, 30)));
       },
       {{{30, 20}, kRed}}},
  };
  for (const EmfCase& c : cases) {
    TEmfWriter w(100, 60);
    c.draw(w);
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull()) << c.what;
    for (const auto& [p, color] : c.expect)
      EXPECT_EQ(At(image, p.x(), p.y()), color) << c.what << " at " << p.x() << "," << p.y();
  }
}

TEST(EmfPlayer, PenLinesHaveTheirWidth) {
  const struct {
    int32_t width;
    int expected;  // blue pixels across the line
  } cases[] = {{0, 1}, {1, 1}, {5, 5}, {12, 12}};
  for (const auto& c : cases) {
    TEmfWriter w(100, 60);
    w.Select(w.Pen(U_PS_SOLID, c.width, Rgb(0, 0, 255)));
    w.Add(U_EMRMOVETOEX_set(Pt(10, 30)));
    w.Add(U_EMRLINETO_set(Pt(90, 30)));
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(CountInColumn(image, 50, 0, 59, kBlue), c.expected) << "width " << c.width;
    EXPECT_EQ(At(image, 50, 30), kBlue) << "width " << c.width;
  }
  // A pen wider than Qt's pens go (2^16), in units of a ten-thousandth of a pixel: 7 pixels.
  {
    TEmfWriter w(100, 60);
    w.Add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
    w.Add(U_EMRSETWINDOWEXTEX_set(sizel_set(1000000, 1000000)));
    w.Add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 100)));
    w.Select(w.Pen(U_PS_SOLID, 70000, Rgb(0, 0, 255)));
    w.Add(U_EMRMOVETOEX_set(Pt(100000, 300000)));
    w.Add(U_EMRLINETO_set(Pt(900000, 300000)));
    EXPECT_EQ(CountInColumn(Render(w.Finish()), 50, 0, 59, kBlue), 7);
  }
  // A polyline of 32-bit points, a wide pen.
  TEmfWriter w(100, 60);
  w.Select(w.Pen(U_PS_SOLID, 4, Rgb(0, 0, 255)));
  const U_POINTL p[] = {Pt(10, 10), Pt(90, 10), Pt(90, 50)};
  w.Add(U_EMRPOLYLINE_set(U_RCL_DEF, 3, p));
  const QImage image = Render(w.Finish());
  EXPECT_EQ(CountInColumn(image, 50, 0, 59, kBlue), 4);
  EXPECT_EQ(At(image, 90, 30), kBlue);
  EXPECT_EQ(At(image, 50, 30), kWhite);
}

TEST(EmfPlayer, HatchesRepeatEveryEightPixels) {
  const struct {
    uint32_t hatch;
    bool opaque;  // the background mode: the gaps in the background colour, else untouched
    bool rows;    // lines across the column (horizontal) or along the row (vertical)
  } cases[] = {{U_HS_HORIZONTAL, false, true}, {U_HS_HORIZONTAL, true, true}, {U_HS_VERTICAL, false, false}};
  for (const auto& c : cases) {
    TEmfWriter w(64, 64);
    w.Select(w.Brush(U_BS_HATCHED, Rgb(0, 0, 0), c.hatch)).Select(U_NULL_PEN);
    w.Add(U_EMRSETBKCOLOR_set(Rgb(0, 255, 0)));
    w.Add(U_EMRSETBKMODE_set(c.opaque ? U_OPAQUE : U_TRANSPARENT));
    w.Add(U_EMRRECTANGLE_set(Rc(0, 0, 65, 65)));
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull());
    const QRgb gap = c.opaque ? kGreen : kWhite;
    // Along the lines' cross direction: one line pixel in every 8, the rest the gap.
    std::vector<int> lines;
    for (int i = 0; i < 64; ++i) {
      const QRgb px = c.rows ? At(image, 20, i) : At(image, i, 20);
      if (px == kBlack)
        lines.push_back(i);
      else
        EXPECT_EQ(px, gap) << i;
    }
    ASSERT_EQ(lines.size(), 8u) << c.hatch;
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i] - lines[i - 1], 8);
  }
}

TEST(EmfPlayer, RasterOperationsOfThePen) {
  const struct {
    uint32_t rop2;
    QRgb inside;  // over red, the brush white
  } cases[] = {
      {U_R2_COPYPEN, kWhite}, {U_R2_XORPEN, 0x00FFFF}, {U_R2_NOT, 0x00FFFF},
      {U_R2_MASKPEN, kRed},   {U_R2_NOP, kRed},        {U_R2_BLACK, kBlack},
  };
  for (const auto& c : cases) {
    TEmfWriter w(60, 40);
    RedFillNoPen(w);
    w.Add(U_EMRRECTANGLE_set(Rc(0, 0, 61, 41)));
    w.Select(U_WHITE_BRUSH);
    w.Add(U_EMRSETROP2_set(c.rop2));
    w.Add(U_EMRRECTANGLE_set(Rc(10, 10, 50, 30)));
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(At(image, 30, 20), c.inside) << "ROP2 " << c.rop2;
    EXPECT_EQ(At(image, 5, 5), kRed) << "ROP2 " << c.rop2;
  }
  // XOR twice gives the picture back.
  TEmfWriter w(60, 40);
  w.Select(w.Brush(U_BS_SOLID, Rgb(10, 200, 30))).Select(U_NULL_PEN);
  w.Add(U_EMRSETROP2_set(U_R2_XORPEN));
  w.Add(U_EMRRECTANGLE_set(Rc(10, 10, 50, 30)));
  w.Add(U_EMRRECTANGLE_set(Rc(20, 5, 40, 35)));
  w.Add(U_EMRRECTANGLE_set(Rc(10, 10, 50, 30)));
  w.Add(U_EMRRECTANGLE_set(Rc(20, 5, 40, 35)));
  EXPECT_EQ(CountColour(Render(w.Finish()), kWhite), 60 * 40);
}

TEST(EmfPlayer, ClipsHold) {
  const struct {
    const char* what;
    std::function<void(TEmfWriter&)> clip;
    std::vector<std::pair<QPoint, QRgb>> expect;
  } cases[] = {
      {"intersect",
       [](TEmfWriter& w) { w.Add(U_EMRINTERSECTCLIPRECT_set(Rc(20, 10, 40, 30))); },
       {{{30, 20}, kRed}, {{21, 11}, kRed}, {{15, 20}, kWhite}, {{45, 20}, kWhite}, {{30, 35}, kWhite}}},
      {"exclude",
       [](TEmfWriter& w) { w.Add(U_EMREXCLUDECLIPRECT_set(Rc(20, 10, 40, 30))); },
       {{{30, 20}, kWhite}, {{15, 20}, kRed}, {{45, 20}, kRed}}},
      {"select a region of two rectangles",
       [](TEmfWriter& w) {
         U_RECTL rects[] = {Rc(0, 0, 10, 10), Rc(50, 30, 60, 40)};
         PU_RGNDATA rgn = rgndata_set(rgndataheader_set(2, Rc(0, 0, 60, 40)), rects);
         w.Add(U_EMREXTSELECTCLIPRGN_set(U_RGN_COPY, rgn));
         std::free(rgn);
       },
       {{{5, 5}, kRed}, {{55, 35}, kRed}, {{30, 20}, kWhite}, {{12, 5}, kWhite}}},
      {"a clip path",
       [](TEmfWriter& w) {
         w.Add(U_EMRBEGINPATH_set());
         w.Add(U_EMRELLIPSE_set(Rc(0, 0, 60, 40)));
         w.Add(U_EMRENDPATH_set());
         w.Add(U_EMRSELECTCLIPPATH_set(U_RGN_COPY));
       },
       {{{30, 20}, kRed}, {{1, 1}, kWhite}, {{58, 38}, kWhite}}},
      {"the clip of a saved state goes with it",
       [](TEmfWriter& w) {
         w.Add(U_EMRSAVEDC_set());
         w.Add(U_EMRINTERSECTCLIPRECT_set(Rc(20, 10, 40, 30)));
         w.Add(U_EMRRESTOREDC_set(-1));
       },
       {{{30, 20}, kRed}, {{5, 5}, kRed}}},
      {"a turned clip rectangle far larger than the picture",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETWORLDTRANSFORM_set(Xf(0.866f, 0.5f, -0.5f, 0.866f, 0, 0)));
         w.Add(U_EMRINTERSECTCLIPRECT_set(Rc(-1000000, -1000000, 1000000, 1000000)));
         w.Add(U_EMRMODIFYWORLDTRANSFORM_set(Xf(1, 0, 0, 1, 0, 0), U_MWT_IDENTITY));
       },
       {{{30, 20}, kRed}, {{1, 1}, kRed}, {{58, 38}, kRed}}},
      {"moved",
       [](TEmfWriter& w) {
         w.Add(U_EMRINTERSECTCLIPRECT_set(Rc(0, 0, 10, 10)));
         w.Add(U_EMROFFSETCLIPRGN_set(Pt(20, 20)));
       },
       {{{25, 25}, kRed}, {{5, 5}, kWhite}}},
  };
  for (const auto& c : cases) {
    TEmfWriter w(60, 40);
    c.clip(w);
    RedFillNoPen(w);
    w.Add(U_EMRRECTANGLE_set(Rc(-10, -10, 100, 100)));
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull()) << c.what;
    for (const auto& [p, color] : c.expect)
      EXPECT_EQ(At(image, p.x(), p.y()), color) << c.what << " at " << p.x() << "," << p.y();
  }
}

TEST(EmfPlayer, MappingAndWorldTransforms) {
  const struct {
    const char* what;
    std::function<void(TEmfWriter&)> map;
    U_RECTL box;
    QRect expected;  // the box's pixels in the picture
  } cases[] = {
      {"window origin", [](TEmfWriter& w) { w.Add(U_EMRSETWINDOWORGEX_set(Pt(-20, -10))); }, Rc(0, 0, 10, 10),
       QRect(20, 10, 10, 10)},
      {"anisotropic window and viewport",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
         w.Add(U_EMRSETWINDOWEXTEX_set(sizel_set(1000, 1000)));
         w.Add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 50)));
       },
       Rc(100, 200, 500, 600), QRect(10, 10, 40, 20)},
      {"isotropic takes the smaller scale",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETMAPMODE_set(U_MM_ISOTROPIC));
         w.Add(U_EMRSETWINDOWEXTEX_set(sizel_set(1000, 1000)));
         w.Add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(100, 50)));
       },
       Rc(100, 200, 500, 600), QRect(5, 10, 20, 20)},
      {"low metric: tenths of a millimetre, y up",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETMAPMODE_set(U_MM_LOMETRIC));
         // 1000 pixels are 265 mm: 53 tenths of a millimetre are 20 pixels.
       },
       Rc(53, -53, 106, -106), QRect(20, 20, 20, 20)},
      {"world transform, scaled and moved",
       [](TEmfWriter& w) { w.Add(U_EMRSETWORLDTRANSFORM_set(Xf(2, 0, 0, 2, 10, 5))); }, Rc(0, 0, 10, 10),
       QRect(10, 5, 20, 20)},
      {"world transform, turned a quarter",
       [](TEmfWriter& w) { w.Add(U_EMRSETWORLDTRANSFORM_set(Xf(0, 1, -1, 0, 50, 5))); }, Rc(0, 0, 40, 10),
       QRect(40, 5, 10, 40)},
      {"world transform multiplied on the left (applied first)",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETWORLDTRANSFORM_set(Xf(1, 0, 0, 1, 10, 10)));
         w.Add(U_EMRMODIFYWORLDTRANSFORM_set(Xf(2, 0, 0, 2, 0, 0), U_MWT_LEFTMULTIPLY));
       },
       Rc(0, 0, 10, 10), QRect(10, 10, 20, 20)},
      {"world transform multiplied on the right (applied last)",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETWORLDTRANSFORM_set(Xf(1, 0, 0, 1, 10, 10)));
         w.Add(U_EMRMODIFYWORLDTRANSFORM_set(Xf(2, 0, 0, 2, 0, 0), U_MWT_RIGHTMULTIPLY));
       },
       Rc(0, 0, 10, 10), QRect(20, 20, 20, 20)},
  };
  for (const auto& c : cases) {
    TEmfWriter w(100, 60);
    c.map(w);
    RedFillNoPen(w);
    w.Add(U_EMRRECTANGLE_set(c.box));
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull()) << c.what;
    const QRect& e = c.expected;
    EXPECT_EQ(At(image, e.left() + 1, e.top() + 1), kRed) << c.what;
    EXPECT_EQ(At(image, e.right() - 1, e.bottom() - 1), kRed) << c.what;
    EXPECT_EQ(At(image, e.left() - 2, e.center().y()), kWhite) << c.what;
    EXPECT_EQ(At(image, e.right() + 2, e.center().y()), kWhite) << c.what;
    EXPECT_EQ(At(image, e.center().x(), e.top() - 2), kWhite) << c.what;
    EXPECT_EQ(At(image, e.center().x(), e.bottom() + 2), kWhite) << c.what;
  }
}

}  // namespace
}  // namespace rv::metatest

// The anti-aliased canvas: the binding's user count, the ellipse box, and the same shapes
// drawn through the smoothing painter and through the plain canvas.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Region.h"
#include "platform/ui/tests/UiTestApp.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using platform::TBitmap;
using platform::TColor;
using platform::TPoint;
using platform::TRect;

namespace {

// Loads the binding for one test (or keeps it missing) and leaves no user behind.
class Binding {
 public:
  explicit Binding(bool available) {
    InitGdiPlusBinding();
    SetGdiPlusMissingForTesting(!available);
    LoadGdiPlus();
  }
  ~Binding() {
    UnloadGdiPlus();
    SetGdiPlusMissingForTesting(false);
  }
};

void Clear(TBitmap& b, TColor color = platform::clWhite) { test::FillBitmap(b, color); }

int Channel(TColor c, int shift) { return (c >> shift) & 0xFF; }

int MaxChannelDifference(TColor a, TColor b) {
  int d = 0;
  for (int s : {0, 8, 16}) d = std::max(d, std::abs(Channel(a, s) - Channel(b, s)));
  return d;
}

// Draws `draw` on a fresh white 24-bit bitmap, through the smoothing painter or plain.
void Draw(TBitmap& b, bool smoothing, bool antiAlias, const std::function<void(TRVCanvas&)>& draw) {
  Binding binding(smoothing);
  Clear(b);
  TRVCanvas c(b.Canvas(), antiAlias, true);
  EXPECT_EQ(c.UsesGdiPlus(), smoothing);
  draw(c);
}

void BlackPenWhiteBrush(TRVCanvas& c, float width = 1) {
  c.Pen().SetStyle(platform::psSolid);
  c.Pen().SetColor(platform::clBlack);
  c.Pen().SetWidth(width);
  c.Brush().SetStyle(platform::bsSolid);
  c.Brush().SetColor(platform::clRed);
}

}  // namespace

TEST(RVCanvasBinding, UsersKeepTheBindingLoaded) {
  InitGdiPlusBinding();
  EXPECT_TRUE(GdiPlusEnabled);
  EXPECT_FALSE(GdiPlusAvailable());
  LoadGdiPlus();  // first view
  LoadGdiPlus();  // second view
  EXPECT_TRUE(GdiPlusAvailable());
  UnloadGdiPlus();
  EXPECT_TRUE(GdiPlusLoaded());  // one view is left
  UnloadGdiPlus();
  EXPECT_FALSE(GdiPlusLoaded());
  EXPECT_EQ(GdiPlusUserCount(), 0);

  // An unmatched release does not leave a debt that keeps the binding loaded after the next
  // view has gone.
  UnloadGdiPlus();
  EXPECT_EQ(GdiPlusUserCount(), 0);
  LoadGdiPlus();
  UnloadGdiPlus();
  EXPECT_FALSE(GdiPlusLoaded());

  // Missing (as a library that cannot be loaded) or not enabled: only counted.
  SetGdiPlusMissingForTesting(true);
  LoadGdiPlus();
  EXPECT_FALSE(GdiPlusAvailable());
  EXPECT_EQ(GdiPlusUserCount(), 1);
  UnloadGdiPlus();
  SetGdiPlusMissingForTesting(false);
  GdiPlusEnabled = false;
  LoadGdiPlus();
  EXPECT_FALSE(GdiPlusLoaded());
  UnloadGdiPlus();
  InitGdiPlusBinding();
}

TEST(RVCanvas, EllipseBoxForWidePens) {
  struct Case {
    float width;
    TRect in, out;
  } cases[] = {
      {1.0f, {10, 10, 13, 30}, {10, 10, 13, 30}},  // a one-pixel pen takes the box as it is
      {5.0f, {10, 10, 13, 30}, {8, 10, 12, 30}},   // e = 2: 3 wide becomes L - 2 .. L + 2
      {5.0f, {0, 0, 20, 20}, {0, 0, 20, 20}},      // large enough: unchanged
      {3.0f, {10, 10, 10, 30}, {8, 10, 12, 30}},   // e = Round(1.5) = 2; no width at all
      {2.0f, {10, 10, 11, 30}, {9, 10, 11, 30}},   // e = 1
      {5.0f, {10, 10, 30, 11}, {10, 8, 30, 12}},   // the same rules downwards
      {5.0f, {20, 0, 10, 20}, {20, 0, 9, 20}},     // corners right to left
      {7.0f, {5, 5, 5, 5}, {1, 1, 9, 9}},          // a point: e = Round(3.5) = 4, 2e across
  };
  for (const Case& c : cases) {
    TRect r = c.in;
    AdjustEllipseBox(r.Left, r.Top, r.Right, r.Bottom, c.width);
    EXPECT_EQ(r, c.out) << c.width << " " << c.in.Left << "," << c.in.Top << "," << c.in.Right << ","
                        << c.in.Bottom;
  }
}

TEST(RVCanvas, AliasedSmoothingPathCoversThePlainPixels) {
  platform::test::App();
  // Without anti-aliasing the smoothing path lands on the pixels the plain canvas draws: the
  // one-pixel-narrower rectangle and ellipse boxes make up for the outline running through
  // pixel centres.
  const std::vector<std::function<void(TRVCanvas&)>> shapes = {
      [](TRVCanvas& c) { c.Rectangle(4, 5, 30, 22); },
      [](TRVCanvas& c) {
        c.Rectangle(TRect{30, 22, 4, 5});
      },  // corners reversed
      [](TRVCanvas& c) {
        const TPoint pts[] = {{3, 3}, {35, 8}, {20, 36}};
        c.Polygon(pts);
      },
      [](TRVCanvas& c) { c.DrawLine(2, 30, 37, 30); },
  };
  for (size_t i = 0; i < shapes.size(); ++i) {
    TBitmap plain(40, 40, platform::pf24bit), smooth(40, 40, platform::pf24bit);
    Draw(plain, false, false, [&](TRVCanvas& c) { BlackPenWhiteBrush(c), shapes[i](c); });
    Draw(smooth, true, false, [&](TRVCanvas& c) { BlackPenWhiteBrush(c), shapes[i](c); });
    // Rectangles land exactly; a slanted or ending outline may round a pixel aside, and the
    // polygon's fill, drawn after its outline, covers the outline's inner half.
    int differing = 0, astray = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        if (plain.PixelColor(x, y) == smooth.PixelColor(x, y)) continue;
        ++differing;
        bool nearOutline = false;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            nearOutline |=
                plain.PixelColor(std::clamp(x + dx, 0, 39), std::clamp(y + dy, 0, 39)) == platform::clBlack;
        astray += !nearOutline;
      }
    EXPECT_EQ(astray, 0) << "shape " << i;
    EXPECT_TRUE(i >= 2 || differing == 0) << "shape " << i << ": " << differing;
  }
}

TEST(RVCanvas, AntiAliasedShapesStayOnThePlainOutline) {
  platform::test::App();
  const std::vector<std::function<void(TRVCanvas&)>> shapes = {
      [](TRVCanvas& c) { c.Ellipse(5, 6, 45, 36); },
      [](TRVCanvas& c) { c.RoundRect(4, 4, 44, 40, 16, 12); },
      [](TRVCanvas& c) {
        const TPoint pts[] = {{3, 3}, {45, 10}, {20, 45}};
        c.Polyline(pts);
      },
      [](TRVCanvas& c) { c.Arc(5, 5, 45, 45, 45, 25, 25, 5); },
  };
  for (size_t i = 0; i < shapes.size(); ++i) {
    TBitmap plain(50, 50, platform::pf24bit), smooth(50, 50, platform::pf24bit);
    Draw(plain, false, false, [&](TRVCanvas& c) { BlackPenWhiteBrush(c), shapes[i](c); });
    Draw(smooth, true, true, [&](TRVCanvas& c) { BlackPenWhiteBrush(c), shapes[i](c); });
    // Every pixel that differs by more than a little lies next to the plain shape's outline
    // (a black pixel within two pixels), and edges are smoothed: some grey values appear.
    int greys = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 50; ++x) {
        const TColor s = smooth.PixelColor(x, y);
        if (s != platform::clBlack && s != platform::clWhite && s != platform::clRed) ++greys;
        if (MaxChannelDifference(s, plain.PixelColor(x, y)) <= 16) continue;
        bool nearOutline = false;
        for (int dy = -2; dy <= 2 && !nearOutline; ++dy)
          for (int dx = -2; dx <= 2 && !nearOutline; ++dx) {
            const int u = x + dx, v = y + dy;
            nearOutline = u >= 0 && v >= 0 && u < 50 && v < 50 && plain.PixelColor(u, v) == platform::clBlack;
          }
        EXPECT_TRUE(nearOutline) << "shape " << i << " at " << x << "," << y;
      }
    EXPECT_GT(greys, 0) << "shape " << i;
  }
}

TEST(RVCanvas, FillRectIsOnePixelNarrowerAndIgnoresCornerOrder) {
  platform::test::App();
  for (const TRect r : {TRect{5, 6, 15, 12}, TRect{15, 12, 5, 6}, TRect{15, 6, 5, 12}}) {
    TBitmap b(20, 20, platform::pf24bit);
    Draw(b, true, true, [&](TRVCanvas& c) {
      c.Brush().SetColor(platform::clBlue);
      c.FillRect(r);
    });
    // The smoothing fill runs from the centre of pixel (5, 6) to the centre of (14, 11): the
    // edge pixels half covered, nothing beyond.
    const TColor half = platform::FromQColor(QColor(127, 127, 255));
    EXPECT_EQ(b.PixelColor(6, 7), platform::clBlue);
    EXPECT_EQ(b.PixelColor(13, 10), platform::clBlue);
    EXPECT_EQ(b.PixelColor(14, 8), half);
    EXPECT_EQ(b.PixelColor(8, 11), half);
    EXPECT_EQ(b.PixelColor(5, 8), half);
    EXPECT_EQ(b.PixelColor(15, 8), platform::clWhite);
    EXPECT_EQ(b.PixelColor(8, 12), platform::clWhite);
    EXPECT_EQ(b.PixelColor(8, 5), platform::clWhite);
  }
  // Aliased, the smoothing fill is a pixel narrower and lower than the plain one.
  TBitmap plain(20, 20, platform::pf24bit), aliased(20, 20, platform::pf24bit);
  Draw(plain, false, true, [](TRVCanvas& c) {
    c.Brush().SetColor(platform::clBlue);
    c.FillRect(TRect{5, 6, 15, 12});
  });
  Draw(aliased, true, false, [](TRVCanvas& c) {
    c.Brush().SetColor(platform::clBlue);
    c.FillRect(TRect{15, 12, 5, 6});
  });
  EXPECT_EQ(plain.PixelColor(14, 11), platform::clBlue);
  EXPECT_EQ(aliased.PixelColor(5, 6), platform::clBlue);
  EXPECT_EQ(aliased.PixelColor(13, 10), platform::clBlue);
  EXPECT_EQ(aliased.PixelColor(14, 10), platform::clWhite);
  EXPECT_EQ(aliased.PixelColor(13, 11), platform::clWhite);
}

TEST(RVCanvas, RoundRectCornersClampedToTheRectangle) {
  platform::test::App();
  TBitmap huge(40, 40, platform::pf24bit), fitted(40, 40, platform::pf24bit);
  Draw(huge, true, true, [](TRVCanvas& c) { BlackPenWhiteBrush(c), c.RoundRect(5, 5, 35, 25, 1000, 1000); });
  Draw(fitted, true, true, [](TRVCanvas& c) { BlackPenWhiteBrush(c), c.RoundRect(5, 5, 35, 25, 30, 20); });
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(huge.PixelColor(x, y), fitted.PixelColor(x, y)) << x << "," << y;
  // Fully rounded: the box's corner stays white, its middle is filled.
  EXPECT_EQ(huge.PixelColor(6, 6), platform::clWhite);
  EXPECT_EQ(huge.PixelColor(20, 15), platform::clRed);
}

TEST(RVCanvas, ArcRunsCounterClockwiseFromTheStartRay) {
  platform::test::App();
  // From the ray towards the right to the ray upwards: the top-right quarter only.
  for (bool smoothing : {false, true}) {
    TBitmap b(50, 50, platform::pf24bit);
    Draw(b, smoothing, false,
         [](TRVCanvas& c) { BlackPenWhiteBrush(c), c.Arc(5, 5, 45, 45, 45, 25, 25, 5); });
    int inQuarter = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 50; ++x) {
        if (b.PixelColor(x, y) == platform::clWhite) continue;
        EXPECT_TRUE(x >= 24 && y <= 26) << smoothing << " " << x << "," << y;
        ++inQuarter;
      }
    EXPECT_GT(inQuarter, 25) << smoothing;
  }
  // Equal rays: the whole ellipse on both paths.
  for (bool smoothing : {false, true}) {
    TBitmap b(50, 50, platform::pf24bit);
    Draw(b, smoothing, false,
         [](TRVCanvas& c) { BlackPenWhiteBrush(c), c.Arc(5, 5, 45, 45, 45, 25, 45, 25); });
    for (const TPoint p : {TPoint{25, 5}, TPoint{5, 25}, TPoint{25, 44}, TPoint{44, 25}}) {
      bool ink = false;
      for (int d = -1; d <= 1; ++d)
        ink |= b.PixelColor(p.X + (p.Y == 25 ? d : 0), p.Y + (p.X == 25 ? d : 0)) != platform::clWhite;
      EXPECT_TRUE(ink) << smoothing << " " << p.X << "," << p.Y;
    }
  }
  // Opposite rays: half the ellipse, above the centre from the right-hand ray, below it from the
  // left-hand one (an arc from 0 to 180 degrees is no whole ellipse).
  for (bool smoothing : {false, true})
    for (bool upper : {true, false}) {
      TBitmap b(50, 50, platform::pf24bit);
      Draw(b, smoothing, false, [upper](TRVCanvas& c) {
        BlackPenWhiteBrush(c);
        if (upper)
          c.Arc(5, 5, 45, 45, 45, 25, 5, 25);
        else
          c.Arc(5, 5, 45, 45, 5, 25, 45, 25);
      });
      int ink = 0;
      for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) {
          if (b.PixelColor(x, y) == platform::clWhite) continue;
          EXPECT_TRUE(upper ? y <= 26 : y >= 23) << smoothing << upper << " " << x << "," << y;
          ++ink;
        }
      EXPECT_GT(ink, 50) << smoothing << upper;
    }
}

TEST(RVCanvas, OpacityAndHatchBackground) {
  platform::test::App();
  TBitmap b(24, 8, platform::pf24bit);
  Draw(b, true, false, [](TRVCanvas& c) {
    c.Brush().SetColor(platform::clBlack);
    c.Brush().SetTransparency(128);
    c.FillRect(TRect{0, 0, 9, 9});
    // A hatch over an opaque red background, and one over a transparent background.
    c.Brush().BackColor = platform::clRed;
    c.Brush().BackTransparency = 255;
    c.Brush().SetTransparency(255);
    c.Brush().SetStyle(platform::bsCross);
    c.FillRect(TRect{8, 0, 17, 9});
    c.Brush().BackTransparency = 0;
    c.Brush().SetStyle(platform::bsDiagCross);
    c.FillRect(TRect{16, 0, 25, 9});
  });
  EXPECT_EQ(MaxChannelDifference(b.PixelColor(3, 3), platform::FromQColor(QColor(127, 127, 127))), 0);

  int black = 0, red = 0, white = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 8; x < 16; ++x) {
      const TColor p = b.PixelColor(x, y);
      black += p == platform::clBlack, red += p == platform::clRed;
    }
  EXPECT_EQ(black + red, 64);
  EXPECT_GT(black, 0);
  EXPECT_GT(red, 0);
  black = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 16; x < 24; ++x) {
      const TColor p = b.PixelColor(x, y);
      black += p == platform::clBlack, white += p == platform::clWhite;
    }
  EXPECT_EQ(black + white, 64);
  EXPECT_GT(white, 0);
}

TEST(RVCanvas, ClearPenAndPenSettings) {
  platform::test::App();
  Binding binding(true);
  TBitmap b(30, 30, platform::pf24bit);
  Clear(b);
  TRVCanvas c(b.Canvas(), true, true);
  c.Pen().SetStyle(platform::psDash);
  EXPECT_EQ(c.Pen().QtPen().dashPattern(), (QList<qreal>{3, 1}));
  c.Pen().SetStyle(platform::psClear);
  EXPECT_EQ(c.Pen().QtPen().style(), Qt::SolidLine);
  EXPECT_EQ(c.Pen().QtPen().color().alpha(), 0);
  c.DrawLine(0, 15, 29, 15);
  EXPECT_EQ(b.PixelColor(15, 15), platform::clWhite);
  // Leaving the clear style keeps the pen transparent until its colour is set again.
  c.Pen().SetStyle(platform::psSolid);
  EXPECT_EQ(c.Pen().QtPen().color().alpha(), 0);
  c.Pen().SetColor(platform::clBlack);
  EXPECT_EQ(c.Pen().QtPen().color().alpha(), 255);
  // The wrapped pen follows: width truncated, mode and style copied.
  c.Pen().SetWidth(2.7f);
  c.Pen().SetMode(platform::pmXor);
  EXPECT_EQ(b.Canvas().Pen.Width, 2);
  EXPECT_EQ(b.Canvas().Pen.Mode, platform::pmXor);
  EXPECT_EQ(b.Canvas().Pen.Style, platform::psSolid);
  c.Pen().SetLineJoin(LineJoinBevel);
  EXPECT_EQ(c.Pen().QtPen().joinStyle(), Qt::BevelJoin);
}

TEST(RVCanvas, PenPositionOnBothPaths) {
  platform::test::App();
  TBitmap b(30, 30, platform::pf24bit);
  {
    Binding binding(false);
    TRVCanvas c(b.Canvas(), true, true);
    EXPECT_EQ(c.SmoothingMode(), SmoothingModeHighSpeed);  // a plain canvas ignores the mode
    c.MoveTo(2, 3);
    EXPECT_EQ(b.Canvas().PenPos(), (TPoint{2, 3}));
    c.DrawLine(10, 10, 20, 20);
    EXPECT_EQ(b.Canvas().PenPos(), (TPoint{2, 3}));
    c.LineTo(8, 9);  // the wrapped canvas moves; the stored position keeps the MoveTo
    EXPECT_EQ(b.Canvas().PenPos(), (TPoint{8, 9}));
    EXPECT_EQ(c.PenPos(), (TPoint{2, 3}));
  }
  {
    Binding binding(true);
    b.Canvas().MoveTo(0, 0);
    TRVCanvas c(b.Canvas(), true, true);
    EXPECT_EQ(c.SmoothingMode(), SmoothingModeAntiAlias);
    c.MoveTo(2, 3);
    c.LineTo(8, 9);
    EXPECT_EQ(c.PenPos(), (TPoint{8, 9}));
    EXPECT_EQ(b.Canvas().PenPos(), (TPoint{0, 0}));
  }
}

TEST(RVCanvas, SmoothingPathKeepsToTheClipAndReportsItsChange) {
  platform::test::App();
  Binding binding(true);
  TBitmap b(40, 40, platform::pf24bit);
  Clear(b);
  std::vector<TRect> changes;
  b.Canvas().OnChange = [&](const TRect& r) { changes.push_back(r); };
  const platform::TRegion clip(QRegion(0, 0, 20, 40));
  b.Canvas().SetClipRegion(&clip);
  {
    TRVCanvas c(b.Canvas(), true, true);
    c.Brush().SetColor(platform::clBlack);
    c.FillRect(TRect{10, 10, 30, 30});
  }
  b.Canvas().SetClipRegion(nullptr);
  b.Canvas().OnChange = nullptr;
  EXPECT_EQ(b.PixelColor(15, 15), platform::clBlack);
  EXPECT_EQ(b.PixelColor(25, 15), platform::clWhite);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_LE(changes[0].Left, 10);
  EXPECT_LE(changes[0].Top, 10);
  EXPECT_EQ(changes[0].Right, 20);  // limited to the clip box
  EXPECT_GE(changes[0].Bottom, 29);
}

TEST(RVCanvas, SmoothingPathReportsOnlyChangesInsideTheBitmapAtTheEndsOfTheRange) {
  // A grip or an object at the ends of the integer range: the changed box is the bitmap's part of
  // the figure, whose sides fit in an int.
  platform::test::App();
  Binding binding(true);
  TBitmap b(40, 40, platform::pf24bit);
  struct Case {
    const char* what;
    TRect box;
    bool covers;
  } const cases[] = {
      {"past the right end", TRect{INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX}, false},
      {"past the left end", TRect{INT32_MIN, INT32_MIN, INT32_MIN + 5, INT32_MIN + 5}, false},
      {"from end to end", TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Clear(b);
    std::vector<TRect> changes;
    b.Canvas().OnChange = [&](const TRect& r) { changes.push_back(r); };
    {
      TRVCanvas c(b.Canvas(), true, true);
      c.Brush().SetColor(platform::clBlack);
      c.Pen().SetWidth(3);
      c.Ellipse(k.box);
      c.Rectangle(k.box.Left, k.box.Top, k.box.Right, k.box.Bottom);
    }
    b.Canvas().OnChange = nullptr;
    for (const TRect& r : changes) {
      EXPECT_GE(r.Left, 0);
      EXPECT_GE(r.Top, 0);
      EXPECT_LE(r.Right, 40);
      EXPECT_LE(r.Bottom, 40);
    }
    EXPECT_EQ(b.PixelColor(20, 20), k.covers ? platform::clBlack : platform::clWhite);
  }
}

// The smoothing painter paints a copy of the part of the bitmap a call can reach: wide pens with
// sharp miters, clipped miters, round and square ends and rectangles turning back on themselves
// must come out exactly as a painter on the bitmap itself draws them, near the edges too.
TEST(RVCanvas, SmoothingPathPaintsWhatAPainterOnTheBitmapPaints) {
  platform::test::App();
  Binding binding(true);
  struct Case {
    const char* name;
    float width;
    uint8_t join;
    bool roundCap;
    std::vector<TPoint> points;  // a poly-line; two points with `rectangle` are its corners
    bool rectangle = false;
  };
  const std::vector<Case> cases = {
      {"hairpin, miter", 12, LineJoinMiter, false, {{10, 40}, {60, 44}, {10, 48}}},
      {"hairpin, clipped miter", 12, LineJoinMiterClipped, false, {{10, 40}, {60, 44}, {10, 48}}},
      {"spike, bevel", 9, LineJoinBevel, false, {{5, 70}, {40, 10}, {42, 70}}},
      {"zigzag, round, round ends", 7, LineJoinRound, true, {{2, 2}, {30, 60}, {31, 3}, {70, 75}}},
      {"off the left edge, miter", 15, LineJoinMiter, false, {{-20, 20}, {10, 25}, {-20, 30}}},
      {"line, round ends", 20, LineJoinRound, true, {{70, 70}, {75, 60}}},
      {"rectangle, miter", 15, LineJoinMiter, false, {{20, 20}, {50, 40}}, true},
      {"flat rectangle, clipped miter", 10, LineJoinMiterClipped, false, {{20, 30}, {60, 31}}, true},
      {"thin rectangle, miter", 10, LineJoinMiter, false, {{40, 10}, {41, 60}}, true},
      {"hairline hairpin", 1, LineJoinMiter, false, {{10, 40}, {60, 41}, {10, 42}}},
  };
  for (const platform::TPixelFormat format : {platform::pf24bit, platform::pf32bit})
    for (const Case& k : cases) {
      TBitmap canvas(80, 80, format), direct(80, 80, format);
      for (TBitmap* b : {&canvas, &direct})
        for (int y = 0; y < 80; ++y)
          for (int x = 0; x < 80; ++x) b->SetPixelColor(x, y, TColor((x * 7 + y * 13) & 0xFF) * 0x010101);
      TRVCanvas c(canvas.Canvas(), true, true);
      c.Pen().SetColor(0x3060C0);
      c.Pen().SetTransparency(200);
      c.Pen().SetWidth(k.width);
      c.Pen().SetLineJoin(k.join);
      c.Pen().SetRoundCap(k.roundCap);
      c.Brush().SetStyle(platform::bsClear);
      QPainterPath path(QPointF(k.points[0].X, k.points[0].Y));
      if (k.rectangle) {
        const TPoint a = k.points[0], e = k.points[1];
        c.Rectangle(a.X, a.Y, e.X, e.Y);
        path = QPainterPath();
        path.addRect(QRectF(a.X, a.Y, e.X - a.X - 1, e.Y - a.Y - 1));
      } else {
        c.Polyline(k.points);
        for (size_t i = 1; i < k.points.size(); ++i) path.lineTo(k.points[i].X, k.points[i].Y);
      }
      QImage image = direct.Image();
      {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(0.5, 0.5);
        p.strokePath(path, c.Pen().QtPen());
      }
      int differing = 0;
      for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) differing += canvas.PixelColor(x, y) != direct.PixelColor(x, y);
      EXPECT_EQ(differing, 0) << k.name << (format == platform::pf24bit ? ", 24 bits" : ", 32 bits");
    }
}

// One painter serves call after call and canvas after canvas: each call must see the clip as it
// is then, pixels written straight into the bitmap meanwhile, and only its own bitmap.
TEST(RVCanvas, SmoothingPathSeesWhatChangedBetweenCalls) {
  platform::test::App();
  Binding binding(true);
  TBitmap b(40, 40, platform::pf24bit);
  Clear(b);
  TRVCanvas c(b.Canvas(), false, true);
  c.Brush().SetColor(platform::clBlack);
  const platform::TRegion left(QRegion(0, 0, 10, 40)), middle(QRegion(20, 0, 10, 40));
  b.Canvas().SetClipRegion(&left);
  c.FillRect(TRect{0, 0, 41, 41});
  b.Canvas().SetClipRegion(&middle);
  c.Brush().SetColor(platform::clBlue);
  c.FillRect(TRect{0, 0, 41, 41});
  b.Canvas().SetClipRegion(nullptr);
  EXPECT_EQ(b.PixelColor(5, 5), platform::clBlack);
  EXPECT_EQ(b.PixelColor(15, 5), platform::clWhite);
  EXPECT_EQ(b.PixelColor(25, 5), platform::clBlue);
  EXPECT_EQ(b.PixelColor(35, 5), platform::clWhite);

  // Written straight into the pixels: a half-transparent white over it blends with the red, and
  // a pixel beside the fill keeps what was written.
  b.SetPixelColor(5, 30, platform::clRed);
  b.SetPixelColor(5, 20, platform::clLime);
  c.Brush().SetColor(platform::clWhite);
  c.Brush().SetTransparency(128);
  c.FillRect(TRect{0, 25, 41, 36});
  const QColor blended = platform::ToQColor(b.PixelColor(5, 30));
  EXPECT_GE(blended.red(), 250);
  EXPECT_NEAR(blended.green(), 128, 2);
  EXPECT_EQ(b.PixelColor(5, 20), platform::clLime);
  EXPECT_NEAR(platform::ToQColor(b.PixelColor(6, 30)).red(), 128, 2);  // white over black

  // Other bitmaps, of the same size and of a smaller one with longer rows, and a 32-bit one
  // whose fourth bytes stay as they were.
  for (const auto& [w, h] : {std::pair{40, 40}, std::pair{60, 10}}) {
    TBitmap other(w, h, platform::pf24bit);
    Clear(other, platform::clGreen);
    {
      TRVCanvas o(other.Canvas(), true, true);
      o.Pen().SetColor(platform::clYellow);
      o.DrawLine(2, 2, w - 3, 2);
    }
    EXPECT_EQ(other.PixelColor(20, 2), platform::clYellow);
    EXPECT_EQ(other.PixelColor(w - 4, 2), platform::clYellow);
    for (int y = 4; y < h; ++y)
      for (int x = 0; x < w; ++x) ASSERT_EQ(other.PixelColor(x, y), platform::clGreen) << x << "," << y;
  }
  TBitmap wide(40, 40, platform::pf32bit);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) wide.ScanLine(y)[x * 4 + 3] = 0x5A;
  {
    TRVCanvas w(wide.Canvas(), true, true);
    w.Pen().SetColor(platform::clYellow);
    w.DrawLine(10, 10, 30, 10);
  }
  EXPECT_EQ(wide.PixelColor(20, 10), platform::clYellow);
  EXPECT_EQ(wide.ScanLine(13)[20 * 4 + 3], 0x5A);
  EXPECT_EQ(wide.ScanLine(10)[5 * 4 + 3], 0x5A);
}

TEST(RVCanvas, IndexedBitmapDrawsPlainAndTextGoesToTheWrappedCanvas) {
  platform::test::App();
  Binding binding(true);
  TBitmap indexed(10, 10, platform::pf8bit);
  TRVCanvas c(indexed.Canvas(), true, true);
  EXPECT_FALSE(c.UsesGdiPlus());

  TBitmap b(120, 30, platform::pf24bit);
  Clear(b, platform::clRed);
  TRVCanvas t(b.Canvas(), true, true);
  t.Font().Color = platform::clBlack;
  t.Brush().SetColor(platform::clBlue);  // a solid brush: TextRectEx still fills nothing
  EXPECT_EQ(t.TextWidth("Hg"), b.Canvas().TextWidth("Hg"));
  t.TextRectEx(TRect{0, 0, 20, 30}, 2, 2, "WWWWWWWW");
  int ink = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const TColor p = b.PixelColor(x, y);
      EXPECT_NE(p, platform::clBlue);
      if (p != platform::clRed) {
        EXPECT_LT(x, 20) << "clipped to the rectangle";
        ++ink;
      }
    }
  EXPECT_GT(ink, 10);

  // Right-to-left text on a right-to-left canvas starts its width + 1 further right.
  auto firstInkColumn = [&](uint32_t flags, platform::TCanvasOrientation orientation) {
    test::FillBitmap(b, platform::clRed);
    b.Canvas().TextFlags = flags;
    b.Canvas().CanvasOrientation = orientation;
    t.TextRectEx(TRect{0, 0, 120, 30}, 2, 2, "Hi");
    for (int x = 0; x < 120; ++x)
      for (int y = 0; y < 30; ++y)
        if (b.PixelColor(x, y) != platform::clRed) return x;
    return -1;
  };
  const int left = firstInkColumn(0, platform::coLeftToRight);
  EXPECT_EQ(firstInkColumn(platform::ETO_RTLREADING, platform::coLeftToRight), left);
  EXPECT_EQ(firstInkColumn(platform::ETO_RTLREADING, platform::coRightToLeft), left + t.TextWidth("Hi") + 1);
}

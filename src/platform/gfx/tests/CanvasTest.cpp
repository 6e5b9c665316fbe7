#include <gtest/gtest.h>

#include <QPainter>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestBitmaps.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/GraphicsError.h"

using namespace platform;
using platform::test::ChangedPixels;
using platform::test::FillNoise;
using platform::test::Snapshot;

namespace {

struct Figure {
  const char* name;
  std::function<void(TCanvas&)> draw;
};

// Figures drawn with the canvas's current pen and brush.
const Figure kFigures[] = {
    {"line",
     [](TCanvas& c) {
       c.MoveTo(3, 4);
       c.LineTo(50, 37);
     }},
    {"steep line",
     [](TCanvas& c) {
       c.MoveTo(40, 2);
       c.LineTo(37, 44);
     }},
    {"polyline",
     [](TCanvas& c) {
       const TPoint pts[] = {{2, 2}, {40, 2}, {40, 30}, {2, 30}, {2, 2}, {45, 45}};
       c.Polyline(pts);
     }},
    {"rectangle", [](TCanvas& c) { c.Rectangle(5, 6, 41, 33); }},
    {"thin rectangle", [](TCanvas& c) { c.Rectangle(5, 6, 6, 33); }},
    {"ellipse", [](TCanvas& c) { c.Ellipse(4, 9, 47, 40); }},
    {"polygon",
     [](TCanvas& c) {
       const TPoint pts[] = {{10, 3}, {45, 20}, {12, 44}, {30, 20}};
       c.Polygon(pts);
     }},
    {"arc", [](TCanvas& c) { c.Arc(3, 3, 45, 30, 45, 3, 3, 30); }},
};

struct PenCase {
  const char* name;
  int width;
  TPenStyle style;
  TBrushStyle brush;
};

const PenCase kPens[] = {
    {"solid 1, clear brush", 1, psSolid, bsClear},      {"dotted 1, clear brush", 1, psDot, bsClear},
    {"dash-dot 1, solid brush", 1, psDashDot, bsSolid}, {"solid 1, solid brush", 1, psSolid, bsSolid},
    {"solid 3, solid brush", 3, psSolid, bsSolid},      {"solid 4, hatched brush", 4, psSolid, bsDiagCross},
};

void DrawTwiceRestores(TPixelFormat format, TPenMode mode) {
  for (const auto& pen : kPens) {
    for (const auto& figure : kFigures) {
      TBitmap b(48, 48, format);
      FillNoise(b, 3);
      const auto before = Snapshot(b);
      TCanvas& c = b.Canvas();
      c.Pen.Mode = mode;
      // On one bit per pixel both colours must map to the set bit, or XOR draws nothing.
      c.Pen.Color = format == pf1bit ? clWhite : RGB(0x5A, 0xC3, 0x17);
      c.Pen.Width = pen.width;
      c.Pen.Style = pen.style;
      c.Brush.Style = pen.brush;
      c.Brush.Color = format == pf1bit ? clSilver : RGB(0x21, 0x84, 0xF0);
      figure.draw(c);
      ASSERT_GT(ChangedPixels(b, before), 0) << figure.name << ", " << pen.name << ": nothing was drawn";
      figure.draw(c);
      // Every byte comes back, the fourth of 32-bit pixels and the padding included.
      ASSERT_EQ(Snapshot(b), before) << figure.name << ", " << pen.name << ", format " << int(format);
    }
  }
}

}  // namespace

TEST(Canvas, XorTwiceRestoresEveryPixel) {
  for (TPixelFormat format : {pf24bit, pf32bit, pf8bit, pf1bit}) DrawTwiceRestores(format, pmXor);
}

TEST(Canvas, NotTwiceRestoresEveryPixel) {
  for (TPixelFormat format : {pf24bit, pf32bit, pf8bit, pf1bit}) DrawTwiceRestores(format, pmNot);
}

TEST(Canvas, XorLeavesTheFourthByteOf32BitPixelsAlone) {
  TBitmap b(8, 1, pf32bit);
  for (int x = 0; x < 8; ++x) b.ScanLine(0)[4 * x + 3] = static_cast<uint8_t>(x * 30);  // not opaque
  b.Canvas().Pen.Mode = pmXor;
  b.Canvas().Pen.Color = RGB(1, 2, 3);
  b.Canvas().MoveTo(0, 0);
  b.Canvas().LineTo(8, 0);
  for (int x = 0; x < 8; ++x) {
    const uint8_t* px = b.ScanLine(0) + 4 * x;
    EXPECT_EQ(px[0], 3);
    EXPECT_EQ(px[1], 2);
    EXPECT_EQ(px[2], 1);
    EXPECT_EQ(px[3], x * 30);
  }
}

TEST(Canvas, LinesLeaveOutTheirEndPointAndShowInTheRows) {
  struct Case {
    TPixelFormat format;
    int bytes;                 // per pixel
    std::vector<uint8_t> red;  // first bytes of a red pixel
  };
  const Case cases[] = {
      {pf24bit, 3, {0, 0, 255}}, {pf32bit, 4, {0, 0, 255}}, {pf8bit, 1, {85}}};  // grey 255/3
  for (const auto& c : cases) {
    TBitmap b(16, 8, c.format);
    TCanvas& canvas = b.Canvas();
    canvas.Pen.Color = clRed;
    canvas.MoveTo(2, 3);
    canvas.LineTo(10, 3);
    EXPECT_EQ(canvas.PenPos(), (TPoint{10, 3}));
    const uint8_t* row = b.ScanLine(3);
    for (int x = 0; x < 16; ++x) {
      const bool on = x >= 2 && x < 10;
      for (size_t k = 0; k < c.red.size(); ++k)
        ASSERT_EQ(row[x * c.bytes + k], on ? c.red[k] : 0) << "format " << int(c.format) << " x " << x;
    }
    EXPECT_EQ(ChangedPixels(b, std::vector<uint8_t>(Snapshot(b).size(), 0)), 8) << "only row 3 is touched";
    // A line of no length draws nothing.
    canvas.LineTo(10, 3);
    EXPECT_EQ(b.PixelColor(10, 3), clBlack);
  }
}

TEST(Canvas, PenWidthsAndStyles) {
  auto columnCount = [](TBitmap& b, int x) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y) n += b.PixelColor(x, y) == clBlack;
    return n;
  };
  for (int width : {1, 3, 5, 8}) {
    TBitmap b(40, 40, pf24bit);
    b.Canvas().Brush.Color = clWhite;
    b.Canvas().FillRect(Rect(0, 0, 40, 40));
    b.Canvas().Pen.Width = width;
    b.Canvas().MoveTo(5, 20);
    b.Canvas().LineTo(35, 20);
    EXPECT_EQ(columnCount(b, 20), width) << "width " << width;
  }
  // Dots: three on, three off along a one-pixel line.
  TBitmap b(40, 3, pf24bit);
  b.Canvas().Brush.Style = bsClear;
  b.Canvas().Pen.Color = clWhite;
  b.Canvas().Pen.Style = psDot;
  b.Canvas().MoveTo(0, 1);
  b.Canvas().LineTo(40, 1);
  std::string pattern;
  for (int x = 0; x < 12; ++x) pattern += b.PixelColor(x, 1) == clWhite ? '#' : '.';
  EXPECT_EQ(pattern, "###...###...");
  // With a solid brush the gaps take the brush's colour, each pixel touched once.
  TBitmap g(40, 3, pf24bit);
  g.Canvas().Pen.Mode = pmXor;
  g.Canvas().Pen.Color = clWhite;
  g.Canvas().Pen.Style = psDash;
  g.Canvas().Brush.Color = clWhite;
  g.Canvas().MoveTo(0, 1);
  g.Canvas().LineTo(39, 1);
  for (int x = 0; x < 39; ++x) ASSERT_EQ(g.PixelColor(x, 1), clWhite) << x;
  EXPECT_EQ(g.PixelColor(39, 1), clBlack);
  // A clear pen draws no line at all.
  TBitmap none(10, 10, pf24bit);
  none.Canvas().Pen.Style = psClear;
  none.Canvas().Pen.Color = clWhite;
  none.Canvas().MoveTo(0, 0);
  none.Canvas().LineTo(9, 9);
  EXPECT_EQ(ChangedPixels(none, std::vector<uint8_t>(Snapshot(none).size(), 0)), 0);
}

TEST(Canvas, RectanglesFollowTheWindowSystemsEdges) {
  auto draw = [](TPenStyle pen, TBrushStyle brush) {
    auto b = std::make_unique<TBitmap>(12, 12, pf24bit);
    TCanvas& c = b->Canvas();
    c.Pen.Color = clRed;
    c.Pen.Style = pen;
    c.Brush.Color = clBlue;
    c.Brush.Style = brush;
    c.Rectangle(2, 3, 9, 10);  // covers 2..8 x 3..9
    return b;
  };
  {
    auto b = draw(psSolid, bsSolid);
    EXPECT_EQ(b->PixelColor(2, 3), clRed);
    EXPECT_EQ(b->PixelColor(8, 9), clRed);
    EXPECT_EQ(b->PixelColor(8, 3), clRed);
    EXPECT_EQ(b->PixelColor(5, 6), clBlue);
    EXPECT_EQ(b->PixelColor(9, 6), clBlack);
    EXPECT_EQ(b->PixelColor(5, 10), clBlack);
  }
  {
    auto b = draw(psSolid, bsClear);  // outline only
    EXPECT_EQ(b->PixelColor(2, 6), clRed);
    EXPECT_EQ(b->PixelColor(5, 6), clBlack);
  }
  {
    auto b = draw(psClear, bsSolid);  // fill only, one pixel smaller
    EXPECT_EQ(b->PixelColor(2, 3), clBlue);
    EXPECT_EQ(b->PixelColor(7, 8), clBlue);
    EXPECT_EQ(b->PixelColor(8, 8), clBlack);
    EXPECT_EQ(b->PixelColor(7, 9), clBlack);
  }
  {
    // XOR outline: the corners are drawn once, not cancelled.
    TBitmap b(12, 12, pf24bit);
    b.Canvas().Pen.Mode = pmXor;
    b.Canvas().Pen.Color = clWhite;
    b.Canvas().Brush.Style = bsClear;
    b.Canvas().Rectangle(2, 3, 9, 10);
    for (auto [x, y] : {std::pair{2, 3}, {8, 3}, {2, 9}, {8, 9}})
      EXPECT_EQ(b.PixelColor(x, y), clWhite) << x << "," << y;
    EXPECT_EQ(ChangedPixels(b, std::vector<uint8_t>(Snapshot(b).size(), 0)), 2 * 7 + 2 * 5);
  }
}

TEST(Canvas, BrushesFillAndFrame) {
  TBitmap b(16, 16, pf32bit);
  TCanvas& c = b.Canvas();
  c.Pen.Mode = pmXor;  // FillRect and FrameRect ignore the pen mode
  c.Brush.Color = clLime;
  c.FillRect(Rect(0, 0, 16, 16));
  c.FillRect(Rect(0, 0, 16, 16));
  EXPECT_EQ(b.PixelColor(5, 5), clLime);
  c.Brush.Color = clRed;
  c.FrameRect(Rect(2, 2, 6, 6));
  EXPECT_EQ(b.PixelColor(2, 2), clRed);
  EXPECT_EQ(b.PixelColor(5, 5), clRed);
  EXPECT_EQ(b.PixelColor(3, 3), clLime);
  EXPECT_EQ(b.PixelColor(6, 6), clLime);
  c.Brush.Style = bsClear;
  c.FillRect(Rect(0, 0, 16, 16));
  EXPECT_EQ(b.PixelColor(3, 3), clLime);
  // A hatch paints its lines in the brush's colour and leaves the rest.
  for (TBrushStyle hatch : {bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross}) {
    TBitmap h(16, 16, pf24bit);
    h.Canvas().Brush.Style = hatch;
    h.Canvas().Brush.Color = clYellow;
    h.Canvas().FillRect(Rect(0, 0, 16, 16));
    int yellow = 0, black = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        yellow += h.PixelColor(x, y) == clYellow;
        black += h.PixelColor(x, y) == clBlack;
      }
    EXPECT_GT(yellow, 0) << int(hatch);
    EXPECT_GT(black, 0) << int(hatch);
    EXPECT_EQ(yellow + black, 256) << int(hatch);
  }
}

TEST(Canvas, ModesBlackWhiteNopAndMerge) {
  TBitmap b(4, 1, pf24bit);
  TCanvas& c = b.Canvas();
  c.Pen.Color = RGB(0x0F, 0xF0, 0x33);
  b.SetPixelColor(0, 0, RGB(0xF0, 0x0F, 0x11));
  struct Case {
    TPenMode mode;
    TColor expected;
  };
  const Case cases[] = {
      {pmNop, RGB(0xF0, 0x0F, 0x11)},
      {pmMerge, RGB(0xFF, 0xFF, 0x33)},
      {pmMask, RGB(0x00, 0x00, 0x11)},
      {pmNotCopy, RGB(0xF0, 0x0F, 0xCC)},
      {pmBlack, clBlack},
      {pmWhite, clWhite},
      {pmCopy, RGB(0x0F, 0xF0, 0x33)},
  };
  for (const auto& k : cases) {
    b.SetPixelColor(0, 0, RGB(0xF0, 0x0F, 0x11));
    c.Pen.Mode = k.mode;
    c.MoveTo(0, 0);
    c.LineTo(1, 0);
    EXPECT_EQ(b.PixelColor(0, 0), k.expected) << int(k.mode);
  }
}

TEST(Canvas, PixelsReadAndWriteThroughTheColourTable) {
  TBitmap b(4, 4, pf8bit);
  TCanvas& c = b.Canvas();
  c.SetPixels(1, 1, RGB(30, 60, 90));
  EXPECT_EQ(b.ScanLine(1)[1], 60);
  EXPECT_EQ(c.Pixels(1, 1), RGB(60, 60, 60));
  EXPECT_EQ(c.Pixels(4, 0), -1);
  EXPECT_EQ(c.Pixels(0, -1), -1);
  c.SetPixels(-1, 0, clWhite);  // ignored
  c.SetPixels(0, 4, clWhite);
  TBitmap m(10, 1, pf1bit);
  m.Canvas().SetPixels(9, 0, clWhite);
  m.Canvas().SetPixels(8, 0, RGB(100, 100, 100));  // nearer to black
  EXPECT_EQ(m.ScanLine(0)[1], 0x40);
  EXPECT_EQ(m.Canvas().Pixels(9, 0), clWhite);
  TBitmap t(2, 2, pf32bit);
  t.Canvas().SetPixels(1, 0, clBtnFace);
  EXPECT_EQ(t.Canvas().Pixels(1, 0), RGB(240, 240, 240));
}

// 24-bit pixels copied onto 32-bit ones arrive whole and opaque at every width and offset (the
// copy takes four pixels at a time where the row allows and one at a time for the rest).
TEST(Canvas, WideningCopiesAtEveryWidth) {
  for (int width : {1, 2, 3, 5, 6, 7, 9, 16, 37}) {
    TBitmap src(width + 3, 2, pf24bit);
    FillNoise(src, static_cast<uint32_t>(width));
    for (int offset : {0, 1, 3}) {
      TBitmap dst(width + 1, 2, pf32bit);
      dst.Canvas().CopyRect(Rect(1, 0, width + 1, 2), src.Canvas(), Rect(offset, 0, offset + width, 2));
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < width; ++x) {
          ASSERT_EQ(dst.PixelColor(x + 1, y), src.PixelColor(x + offset, y)) << width << " " << offset;
          ASSERT_EQ(dst.ScanLine(y)[4 * (x + 1) + 3], 0xFF) << width << " " << offset;
        }
      EXPECT_EQ(dst.PixelColor(0, 0), clBlack);
    }
  }
}

TEST(Canvas, BlockCopiesBetweenCanvases) {
  TBitmap src(8, 6, pf24bit);
  FillNoise(src, 11);
  // Same and other colour formats: every pixel arrives.
  for (TPixelFormat format : {pf24bit, pf32bit}) {
    TBitmap dst(10, 10, format);
    dst.Canvas().CopyRect(Rect(2, 3, 10, 9), src.Canvas(), Rect(0, 0, 8, 6));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(dst.PixelColor(x + 2, y + 3), src.PixelColor(x, y));
    EXPECT_EQ(dst.PixelColor(1, 3), clBlack);
  }
  // Into a grey bitmap each pixel takes the nearest grey.
  TBitmap grey(8, 6, pf8bit);
  grey.Canvas().Draw(0, 0, src);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const TColor c = src.PixelColor(x, y);
      ASSERT_EQ(grey.ScanLine(y)[x], (GetRValue(c) + GetGValue(c) + GetBValue(c) + 1) / 3);
    }
  // From an 8-bit bitmap through its colour table.
  TBitmap back(8, 6, pf24bit);
  back.Canvas().Draw(0, 0, grey);
  EXPECT_EQ(back.PixelColor(3, 2), grey.PixelColor(3, 2));
  // Stretching doubles each pixel; mirroring reverses the columns.
  TBitmap big(16, 12, pf32bit);
  big.Canvas().StretchDraw(Rect(0, 0, 16, 12), src);
  EXPECT_EQ(big.PixelColor(7, 5), src.PixelColor(3, 2));
  TBitmap mirror(8, 6, pf24bit);
  mirror.Canvas().CopyRect(Rect(8, 0, 0, 6), src.Canvas(), Rect(0, 0, 8, 6));
  EXPECT_EQ(mirror.PixelColor(0, 1), src.PixelColor(7, 1));
  EXPECT_EQ(mirror.PixelColor(7, 4), src.PixelColor(0, 4));
  // Within one canvas, overlapping: the source is read before it is overwritten.
  TBitmap self(8, 6, pf24bit);
  self.Assign(src);
  self.Canvas().CopyRect(Rect(1, 0, 8, 6), self.Canvas(), Rect(0, 0, 7, 6));
  for (int x = 1; x < 8; ++x) ASSERT_EQ(self.PixelColor(x, 2), src.PixelColor(x - 1, 2));
  // XOR copies twice restore; a source rectangle partly outside copies only what exists.
  TBitmap x(8, 6, pf32bit);
  FillNoise(x, 5);
  const auto before = Snapshot(x);
  x.Canvas().CopyMode = cmSrcInvert;
  x.Canvas().Draw(0, 0, src);
  EXPECT_GT(ChangedPixels(x, before), 0);
  x.Canvas().Draw(0, 0, src);
  EXPECT_EQ(ChangedPixels(x, before), 0);
  TBitmap edge(4, 4, pf24bit);
  edge.Canvas().CopyRect(Rect(0, 0, 4, 4), src.Canvas(), Rect(6, 4, 10, 8));
  EXPECT_EQ(edge.PixelColor(1, 1), src.PixelColor(7, 5));
  EXPECT_EQ(edge.PixelColor(2, 2), clBlack);
  x.Canvas().CopyMode = 0x00123456;
  EXPECT_THROW(x.Canvas().Draw(0, 0, src), EInvalidGraphicOperation);
  x.Canvas().CopyMode = cmWhiteness;
  x.Canvas().Draw(0, 0, src);
  EXPECT_EQ(x.PixelColor(3, 3), clWhite);
}

TEST(Canvas, ClipRegionLimitsDrawingAndChangesAreReported) {
  TBitmap b(20, 20, pf24bit);
  TCanvas& c = b.Canvas();
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 20, 20));
  TRegion region(Rect(5, 5, 10, 10));
  TRegion more(Rect(12, 0, 30, 3));
  region.Combine(region, more, RGN_OR);
  c.SetClipRegion(&region);
  EXPECT_EQ(c.ClipRect(), Rect(5, 0, 20, 10));
  c.Brush.Color = clWhite;
  c.FillRect(Rect(0, 0, 20, 20));
  int white = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) white += b.PixelColor(x, y) == clWhite;
  EXPECT_EQ(white, 25 + 8 * 3);
  EXPECT_EQ(c.Pixels(0, 0), -1);
  c.SetClipRegion(nullptr);
  EXPECT_EQ(c.Pixels(0, 0), clBlack);

  // Every call reports a rectangle that holds all the pixels it changed.
  TBitmap r(64, 64, pf32bit);
  TCanvas& rc = r.Canvas();
  TRect reported;
  int calls = 0;
  rc.OnChange = [&](const TRect& rect) {
    reported = rect;
    ++calls;
  };
  rc.Pen.Color = clWhite;
  rc.Pen.Width = 6;
  rc.Brush.Color = clRed;
  rc.Pen.Mode = pmXor;
  for (const auto& figure : kFigures) {
    const auto before = Snapshot(r);
    calls = 0;
    figure.draw(rc);
    ASSERT_EQ(calls, 1) << figure.name;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const size_t o = static_cast<size_t>(y) * r.BytesPerLine() + 4 * x;
        if (before[o] != r.ScanLine(y)[4 * x] || before[o + 2] != r.ScanLine(y)[4 * x + 2]) {
          ASSERT_TRUE(reported.Contains({x, y})) << figure.name << " " << x << "," << y;
        }
      }
  }
}

TEST(Canvas, TextNeedsAGuiApplication) {
  TBitmap b(10, 10, pf24bit);
  EXPECT_THROW(b.Canvas().TextOut(0, 0, "x"), EInvalidGraphicOperation);
  EXPECT_THROW(b.Canvas().TextWidth("x"), EInvalidGraphicOperation);
}

TEST(Canvas, DrawingOnAnEmptyBitmapDoesNothing) {
  TBitmap b;
  TCanvas& c = b.Canvas();
  c.MoveTo(0, 0);
  c.LineTo(5, 5);
  c.Rectangle(0, 0, 5, 5);
  c.FillRect(Rect(0, 0, 5, 5));
  c.SetPixels(0, 0, clRed);
  EXPECT_EQ(c.Pixels(0, 0), -1);
  TBitmap src(3, 3, pf24bit);
  c.Draw(0, 0, src);
  src.Canvas().Draw(0, 0, b);
  EXPECT_TRUE(b.Empty());
}

TEST(Canvas, ArcsRunCounterClockwiseBetweenTheRays) {
  auto drawn = [](const TBitmap& b, int cx, int cy) {
    for (int y = cy - 1; y <= cy + 1; ++y)
      for (int x = cx - 1; x <= cx + 1; ++x)
        if (x >= 0 && y >= 0 && x < b.Width() && y < b.Height() && b.PixelColor(x, y) == clWhite) return true;
    return false;
  };
  TBitmap b(101, 51, pf24bit);
  b.Canvas().Pen.Color = clWhite;
  // Centre (50, 25); from the ray towards the top-right corner to the one towards the top-left.
  b.Canvas().Arc(0, 0, 101, 51, 101, 0, 0, 0);
  EXPECT_TRUE(drawn(b, 50, 0)) << "top";
  EXPECT_FALSE(drawn(b, 50, 50)) << "bottom";
  EXPECT_FALSE(drawn(b, 100, 25)) << "right end";
  // Where the rays meet the ellipse: about (85, 7) and (15, 7).
  EXPECT_TRUE(drawn(b, 85, 7));
  EXPECT_TRUE(drawn(b, 15, 7));
  EXPECT_FALSE(drawn(b, 93, 12));
  // Swapping the rays draws the other part; equal rays the whole ellipse.
  TBitmap other(101, 51, pf24bit);
  other.Canvas().Pen.Color = clWhite;
  other.Canvas().Arc(0, 0, 101, 51, 0, 0, 101, 0);
  EXPECT_FALSE(drawn(other, 50, 0));
  EXPECT_TRUE(drawn(other, 50, 50));
  TBitmap full(101, 51, pf24bit);
  full.Canvas().Pen.Color = clWhite;
  full.Canvas().Arc(0, 0, 101, 51, 80, 0, 80, 0);
  EXPECT_TRUE(drawn(full, 50, 0));
  EXPECT_TRUE(drawn(full, 50, 50));
}

TEST(Canvas, RasterOperationsTouchEachPixelOnce) {
  // Pen and brush both white in XOR mode on black: outline and fill are each drawn once, so
  // every pixel of the figure turns white (none is cancelled by a second touch).
  for (TPixelFormat format : {pf24bit, pf32bit, pf8bit, pf1bit}) {
    TBitmap b(40, 40, format);
    TCanvas& c = b.Canvas();
    c.Pen.Mode = pmXor;
    c.Pen.Color = clWhite;
    c.Brush.Color = clWhite;
    c.Pen.Width = 3;
    c.Rectangle(5, 5, 30, 25);
    for (int y = 5; y < 25; ++y)
      for (int x = 5; x < 30; ++x)
        ASSERT_EQ(b.PixelColor(x, y), clWhite) << int(format) << " " << x << "," << y;
    TBitmap e(40, 40, format);
    e.Canvas().Pen.Mode = pmXor;
    e.Canvas().Pen.Color = clWhite;
    e.Canvas().Brush.Color = clWhite;
    e.Canvas().Ellipse(5, 5, 30, 25);
    EXPECT_EQ(e.PixelColor(17, 15), clWhite) << int(format);
    EXPECT_EQ(e.PixelColor(5, 15), clWhite) << int(format);
  }
  // A hatch drawn through a raster operation keeps its place in the bitmap's pattern grid.
  TBitmap copy(33, 29, pf24bit), xored(33, 29, pf24bit);
  for (TBitmap* b : {&copy, &xored}) {
    b->Canvas().Pen.Style = psClear;
    b->Canvas().Brush.Style = bsBDiagonal;
    b->Canvas().Brush.Color = clWhite;
    b->Canvas().Pen.Mode = b == &copy ? pmCopy : pmXor;
    b->Canvas().Rectangle(3, 5, 31, 28);
  }
  EXPECT_EQ(Snapshot(copy), Snapshot(xored));
  EXPECT_GT(ChangedPixels(copy, std::vector<uint8_t>(Snapshot(copy).size(), 0)), 50);
}

TEST(Canvas, LinesFarLongerThanTheBitmapKeepTheirPixelsAndEnd) {
  // The pixels of a line a million pixels long that crosses a 64 x 64 bitmap, and the place of
  // its dashes there, are those of a walk over the whole line (Bresenham without the end point;
  // psDash as 18 on, 6 off, drawn here with a clear brush).
  struct Line {
    int x1, y1, x2, y2;
    TPenStyle style;
  } lines[] = {
      {-999983, -500000, 1000003, 500011, psSolid},
      {-999983, -500000, 1000003, 500011, psDash},
      {40, -700001, 10, 900007, psDash},
  };
  for (const Line& l : lines) {
    TBitmap b(64, 64, pf24bit);
    TCanvas& c = b.Canvas();
    c.Brush.Color = clWhite;
    c.FillRect(Rect(0, 0, 64, 64));
    c.Brush.Style = bsClear;
    c.Pen.Style = l.style;
    c.MoveTo(l.x1, l.y1);
    c.LineTo(l.x2, l.y2);
    std::vector<bool> expected(64 * 64, false);
    const int64_t dx = std::abs(int64_t(l.x2) - l.x1), dy = std::abs(int64_t(l.y2) - l.y1);
    const int64_t sx = l.x2 > l.x1 ? 1 : -1, sy = l.y2 > l.y1 ? 1 : -1;
    const bool xMajor = dx >= dy;
    const int64_t n = xMajor ? dx : dy, d = xMajor ? dy : dx;
    int64_t x = l.x1, y = l.y1, err = n / 2;
    for (int64_t k = 0; k < n; ++k) {
      const bool on = l.style == psSolid || k % 24 < 18;
      if (on && x >= 0 && y >= 0 && x < 64 && y < 64) expected[y * 64 + x] = true;
      (xMajor ? x : y) += xMajor ? sx : sy;
      err -= d;
      if (err < 0) {
        (xMajor ? y : x) += xMajor ? sy : sx;
        err += n;
      }
    }
    int drawn = 0;
    for (int py = 0; py < 64; ++py)
      for (int px = 0; px < 64; ++px) {
        drawn += expected[py * 64 + px];
        ASSERT_EQ(b.PixelColor(px, py) == clBlack, expected[py * 64 + px])
            << l.style << " " << px << "," << py;
      }
    EXPECT_GT(drawn, 20);
  }
  // Across the whole 32-bit plane: it ends, and the diagonal crosses the bitmap.
  TBitmap b(16, 16, pf24bit);
  b.Canvas().MoveTo(INT32_MIN, INT32_MIN);
  b.Canvas().LineTo(INT32_MAX, INT32_MAX);
  b.Canvas().MoveTo(INT32_MIN, INT32_MAX);
  b.Canvas().LineTo(INT32_MAX, INT32_MIN);
  EXPECT_EQ(b.PixelColor(5, 5), clBlack);
}

// FillRect keeps its painter open from one call to the next: what happens to the canvas and the
// bitmap between the calls must reach that painter as it reaches a new one.
TEST(Canvas, AKeptPainterFollowsWhatHappensBetweenCalls) {
  auto fill = [](TColor color, TBrushStyle style, TRect r) {
    return [=](TBitmap&, TCanvas& c) {
      c.Brush = {color, style};
      c.FillRect(r);
    };
  };
  const TRegion clip(Rect(5, 5, 20, 20));
  const std::vector<platform::test::TCanvasStep> steps = {
      fill(clWhite, bsSolid, Rect(0, 0, 40, 30)),
      [](TBitmap& b, TCanvas& c) {
        // Read straight after the call (in colours every format holds).
        c.Brush = {clBlack, bsSolid};
        c.FillRect(Rect(2, 2, 10, 10));
        EXPECT_EQ(b.PixelColor(3, 3), clBlack);
        EXPECT_EQ(c.Pixels(1, 1), clWhite);
      },
      fill(clRed, bsSolid, Rect(0, 0, 40, 30)),
      [&](TBitmap&, TCanvas& c) { c.SetClipRegion(&clip); },
      fill(clBlue, bsSolid, Rect(0, 0, 40, 30)),
      fill(clYellow, bsDiagCross, Rect(0, 0, 40, 30)),
      [](TBitmap&, TCanvas& c) { c.SetClipRegion(nullptr); },
      fill(clWhite, bsSolid, Rect(15, 0, 25, 30)),
      [](TBitmap& b, TCanvas&) {
        // Written straight into the rows.
        for (int y = 0; y < 6; ++y) std::memset(b.ScanLine(y), 0x5A, 12);
      },
      fill(clNavy, bsSolid, Rect(0, 0, 3, 3)),
      [](TBitmap&, TCanvas& c) {
        // Another pen mode: applied to the pixels through a mask.
        c.Pen = {clWhite, 1, psSolid, pmXor};
        c.Brush = {clGreen, bsSolid};
        c.Rectangle(1, 1, 30, 20);
        c.Pen.Mode = pmCopy;
      },
      fill(clFuchsia, bsHorizontal, Rect(18, 12, 36, 28)),
      [](TBitmap&, TCanvas& c) { c.SetPixels(21, 21, clBlack); },
      fill(clMaroon, bsSolid, Rect(22, 22, 24, 24)),
      [](TBitmap&, TCanvas& c) {
        c.CopyMode = cmSrcCopy;
        c.CopyRect(Rect(0, 0, 10, 10), c, Rect(20, 18, 30, 28));
      },
      fill(clTeal, bsSolid, Rect(5, 5, 8, 8)),
      [](TBitmap& b, TCanvas& c) {
        // Another canvas on the same bitmap, between two calls of this one.
        TCanvas other(b);
        other.Brush = {clOlive, bsSolid};
        other.FillRect(Rect(10, 0, 20, 8));
        c.FillRect(Rect(12, 2, 14, 30));
        other.FillRect(Rect(30, 0, 40, 4));
      },
      [](TBitmap& b, TCanvas&) {
        // A painter of the caller's own on the pixels.
        QImage image = b.Image();
        if (image.format() == QImage::Format_BGR888 || image.format() == QImage::Format_RGB32) {
          QPainter own(&image);
          own.fillRect(QRect(0, 20, 40, 4), QColor(10, 20, 30));
        }
      },
      fill(clSilver, bsSolid, Rect(3, 18, 6, 30)),
      [](TBitmap& b, TCanvas&) { b.SetSize(44, 33); },
      fill(clPurple, bsSolid, Rect(35, 25, 44, 33)),
  };
  for (TPixelFormat format : {pf1bit, pf8bit, pf24bit, pf32bit}) {
    const auto [kept, ended] = platform::test::KeptAndEnded(format, 40, 30, steps);
    EXPECT_EQ(kept, ended) << "format " << int(format);
  }

  // A bitmap that goes before its canvas ends the canvas's painter first.
  auto bitmap = std::make_unique<TBitmap>(8, 8, pf24bit);
  auto canvas = std::make_unique<TCanvas>(*bitmap);
  canvas->FillRect(Rect(0, 0, 4, 4));
  bitmap.reset();
  canvas.reset();
}

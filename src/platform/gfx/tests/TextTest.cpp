#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <cstring>
#include <vector>

#include "TestBitmaps.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

using namespace platform;

namespace {

QGuiApplication& App() {
  static int argc = 1;
  static char name[] = "test_platform_gfx_text";
  static char* argv[] = {name, nullptr};
  // Never destroyed: destroying it among Qt's own exit-time destructors is not safe.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return *app;
}

int CountColor(const TBitmap& b, TColor color) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += b.PixelColor(x, y) == color;
  return n;
}

}  // namespace

TEST(CanvasText, TextIsDrawnInTheFontColourWithItsCell) {
  App();
  for (TPixelFormat format : {pf24bit, pf32bit}) {
    TBitmap b(120, 40, format);
    TCanvas& c = b.Canvas();
    c.Brush.Color = clWhite;
    c.FillRect(Rect(0, 0, 120, 40));
    c.Font.Name = "Arial";
    c.Font.SetSize(12);
    c.Font.Color = clBlue;
    c.Brush.Style = bsClear;
    c.TextOut(4, 6, "Zephor 8");
    EXPECT_GT(CountColor(b, clBlue), 20) << "solid glyph pixels";
    EXPECT_EQ(c.PenPos(), (TPoint{4 + c.TextWidth("Zephor 8"), 6}));
    // Nothing outside the text's cell.
    const int w = c.TextWidth("Zephor 8"), h = c.TextHeight("Zephor 8");
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 120; ++x)
        if (x < 3 || y < 6 || x > 4 + w + 2 || y >= 6 + h) {
          ASSERT_EQ(b.PixelColor(x, y), clWhite) << x << "," << y;
        }
    // A solid brush fills the cell first.
    c.Brush.Style = bsSolid;
    c.Brush.Color = clYellow;
    c.TextOut(0, 0, "W");
    EXPECT_EQ(b.PixelColor(0, 0), clYellow);
  }
}

TEST(CanvasText, MeasuresGrowWithTextAndSize) {
  App();
  TBitmap b(10, 10, pf24bit);
  TCanvas& c = b.Canvas();
  EXPECT_EQ(c.Font.Name, "Tahoma");
  EXPECT_EQ(c.Font.Size(), 8);
  EXPECT_EQ(c.Font.Height(), -11);
  const int small = c.TextWidth("ZEPHOR");
  EXPECT_GT(small, 10);
  EXPECT_GT(c.TextWidth("ZEPHOR ZEPHOR"), small);
  EXPECT_EQ(c.TextWidth(""), 0);
  const int height = c.TextHeight("x");
  EXPECT_GE(height, 11);
  EXPECT_LE(height, 16);
  c.Font.SetSize(24);
  EXPECT_GT(c.TextHeight("x"), 2 * height);
  c.Font.Style.Bold = true;
  EXPECT_GT(c.TextWidth("ZEPHOR"), 0);
}

TEST(CanvasText, StandInFontsAreInstalled) {
  App();
  struct Case {
    const char* requested;
    const char* family;
  };
  for (const Case& k :
       {Case{"Arial", "Liberation Sans"}, Case{"Tahoma", "DejaVu Sans"},
        Case{"Times New Roman", "Liberation Serif"}, Case{"Courier New", "Liberation Mono"}}) {
    QFont font(QString::fromLatin1(k.family));
    EXPECT_EQ(QFontInfo(font).family(), QString::fromLatin1(k.family)) << k.requested;
  }
}

TEST(CanvasText, IndexedBitmapsGetTableColours) {
  App();
  // An alpha bitmap: grey table, full opacity is entry 255.
  TBitmap alpha(60, 20, pf8bit);
  alpha.Canvas().Brush.Style = bsClear;
  alpha.Canvas().Font.Color = clWhite;
  alpha.Canvas().TextOut(2, 2, "AB");
  int full = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) full += alpha.ScanLine(y)[x] == 255;
  EXPECT_GT(full, 10);
  // One bit per pixel: only the two table colours exist, and text sets bits.
  TBitmap mono(60, 20, pf1bit);
  mono.Canvas().Brush.Style = bsClear;
  mono.Canvas().Font.Color = clWhite;
  mono.Canvas().TextOut(2, 2, "AB");
  EXPECT_GT(CountColor(mono, clWhite), 10);
  EXPECT_EQ(CountColor(mono, clWhite) + CountColor(mono, clBlack), 60 * 20);
}

namespace {

// A white 24-bit canvas with a black 14-point "Arial".
TCanvas& WhiteCanvas(TBitmap& b) {
  TCanvas& c = b.Canvas();
  c.Brush.Color = clWhite;
  c.FillRect(Rect(0, 0, b.Width(), b.Height()));
  c.Font.Name = "Arial";
  c.Font.SetSize(14);
  c.Font.Color = clBlack;
  return c;
}

// The bounding box of the pixels that are not white.
QRect InkBox(const TBitmap& b) {
  QRect box;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.PixelColor(x, y) != clWhite) box |= QRect(x, y, 1, 1);
  return box;
}

}  // namespace

TEST(CanvasText, AlignmentPlacesTheReferencePoint) {
  App();
  const std::string text = "Hxxxxxxx";  // no descenders: the ink ends on the baseline
  struct Case {
    uint32_t align;
    const char* what;
  } cases[] = {{TA_TOP | TA_LEFT, "top-left"},
               {TA_BASELINE, "baseline"},
               {TA_BASELINE | TA_CENTER, "baseline-centre"}};
  for (const Case& k : cases) {
    TBitmap b(200, 80, pf24bit);
    TCanvas& c = WhiteCanvas(b);
    c.Brush.Style = bsClear;
    c.SetTextAlign(k.align);
    c.TextOut(100, 40, text);
    const QRect ink = InkBox(b);
    const int w = c.TextWidth(text);
    if (k.align & TA_BASELINE) {
      EXPECT_NEAR(ink.bottom(), 39, 1) << k.what;  // glyphs stand on the baseline
    } else {
      EXPECT_GE(ink.top(), 40) << k.what;
      EXPECT_LE(ink.top(), 40 + c.TextHeight(text) / 2) << k.what;
    }
    if ((k.align & TA_CENTER) == TA_CENTER) {
      EXPECT_NEAR(ink.center().x(), 100, 3) << k.what;
    } else {
      EXPECT_NEAR(ink.left(), 101, 2) << k.what;
      EXPECT_NEAR(ink.right(), 100 + w, 3) << k.what;
    }
  }
}

TEST(CanvasText, TextRectClipsAndFillsNothingBehindTheText) {
  App();
  TBitmap b(200, 40, pf24bit);
  TCanvas& c = WhiteCanvas(b);
  c.Brush.Color = clRed;  // a solid brush would fill the cell behind TextOut
  c.TextRect(Rect(10, 5, 60, 30), 12, 8, "WWWWWWWWWWWW");
  EXPECT_EQ(CountColor(b, clRed), 0);
  const QRect ink = InkBox(b);
  EXPECT_GE(ink.left(), 10);
  EXPECT_LT(ink.right(), 60);
  EXPECT_GT(ink.width(), 40);
  EXPECT_EQ(c.PenPos(), (TPoint{0, 0}));  // the pen does not move
  // With ETO_OPAQUE the rectangle is filled first; the text is still clipped to it.
  c.TextRect(Rect(100, 5, 150, 30), 102, 8, "WWWWWWWWWWWW", ETO_OPAQUE | ETO_CLIPPED);
  EXPECT_EQ(b.PixelColor(100, 5), clRed);
  EXPECT_EQ(b.PixelColor(150, 10), clWhite);
}

// Text keeps its painter open from one call to the next, with the clip, font and colour of the
// last call: each call must still draw as with a painter of its own.
TEST(CanvasText, AKeptPainterFollowsWhatHappensBetweenCalls) {
  App();
  auto text = [](TRect box, int x, int y, const char* s, uint32_t options = ETO_CLIPPED) {
    return [=](TBitmap&, TCanvas& c) { c.TextRect(box, x, y, s, options); };
  };
  const TRegion clip(Rect(20, 0, 90, 30));
  const std::vector<platform::test::TCanvasStep> steps = {
      [](TBitmap& b, TCanvas& c) {
        c.Brush = {clWhite, bsSolid};
        c.FillRect(Rect(0, 0, b.Width(), b.Height()));
        c.Font.Name = "Arial";
        c.Font.SetHeight(-14);
        c.Font.Color = clBlack;
        c.Brush.Style = bsClear;
        c.SetTextAlign(TA_BASELINE);
      },
      text(Rect(0, 0, 30, 20), 2, 15, "WWWWWW"),
      // A box beside the last one: the last box no longer clips.
      text(Rect(40, 0, 120, 20), 42, 15, "MMMMMM"),
      [](TBitmap&, TCanvas& c) {
        c.Font.Style.Bold = true;
        c.Font.Color = clWhite;
        c.Brush = {clBlack, bsSolid};
        c.TextOut(4, 22, "Ag");  // no box at all, its cell filled
      },
      [](TBitmap&, TCanvas& c) {
        c.Font.Name = "Times New Roman";
        c.Font.SetHeight(-18);
        c.Font.Style = {};
        c.Brush.Style = bsClear;
        c.TextOut(60, 30, "Tt");
      },
      [](TBitmap&, TCanvas& c) {
        c.Brush = {clGray, bsSolid};
        c.FillRect(Rect(50, 36, 70, 40));  // not limited by the text's boxes
      },
      [&](TBitmap&, TCanvas& c) { c.SetClipRegion(&clip); },
      [](TBitmap&, TCanvas& c) {
        c.Font.Name = "Arial";  // back to a font used before
        c.Font.SetHeight(-14);
        c.Font.Color = clRed;
        c.Brush.Color = clYellow;
      },
      text(Rect(0, 0, 120, 45), 2, 28, "clipped WWWW", ETO_OPAQUE | ETO_CLIPPED),
      [](TBitmap&, TCanvas& c) { c.SetClipRegion(nullptr); },
      text(Rect(0, 30, 60, 45), 1, 42, "HHHHH", ETO_OPAQUE),
      [](TBitmap& b, TCanvas&) {
        for (int y = 30; y < 36; ++y) std::memset(b.ScanLine(y), 0x33, 30);
      },
      [](TBitmap&, TCanvas& c) {
        // Turned text, then upright again.
        c.Brush.Style = bsClear;
        c.Font.Escapement = 900;
        c.TextOut(110, 44, "up");
        c.Font.Escapement = 0;
      },
      text(Rect(80, 30, 120, 45), 82, 42, "Zz"),
      [](TBitmap&, TCanvas& c) {
        c.Font.Quality = 3;  // aliased glyphs: another font
        c.TextOut(30, 20, "qq");
      },
  };
  for (TPixelFormat format : {pf1bit, pf8bit, pf24bit, pf32bit}) {
    const auto [kept, ended] = platform::test::KeptAndEnded(format, 120, 45, steps);
    EXPECT_EQ(kept, ended) << "format " << int(format);
  }
}

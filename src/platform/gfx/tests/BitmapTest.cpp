#include <gtest/gtest.h>

#include <QPainter>

#include "TestBitmaps.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/GraphicsError.h"

using namespace platform;
using platform::test::FillNoise;

TEST(Bitmap, RowsAreTopDownAndPaddedToFourBytes) {
  struct Case {
    TPixelFormat format;
    int width;
    int bits;
    int stride;
  };
  const Case cases[] = {
      {pf1bit, 1, 1, 4},   {pf1bit, 33, 1, 8},   {pf8bit, 5, 8, 8},    {pf8bit, 8, 8, 8},
      {pf24bit, 1, 24, 4}, {pf24bit, 5, 24, 16}, {pf32bit, 3, 32, 12},
  };
  for (const auto& c : cases) {
    TBitmap b(c.width, 3, c.format);
    EXPECT_EQ(b.PixelFormat(), c.format);
    EXPECT_EQ(b.BitsPerPixel(), c.bits);
    EXPECT_EQ(b.BytesPerLine(), c.stride) << c.width << " " << c.bits;
    EXPECT_EQ(b.ScanLine(0), b.Bits());
    EXPECT_EQ(b.ScanLine(2), b.Bits() + 2 * c.stride);
    EXPECT_THROW(b.ScanLine(3), EInvalidGraphicOperation);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
    for (int y = 0; y < 3; ++y)
      for (int i = 0; i < c.stride; ++i) ASSERT_EQ(b.ScanLine(y)[i], 0) << "new pixels are zero";
  }
  TBitmap empty;
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(empty.PixelFormat(), pf32bit);
  EXPECT_EQ(empty.Bits(), nullptr);
  EXPECT_THROW(empty.ScanLine(0), EInvalidGraphicOperation);
  EXPECT_TRUE(empty.Image().isNull());
}

TEST(Bitmap, ImageWrapsTheBitmapsOwnMemory) {
  struct Case {
    TPixelFormat format;
    QImage::Format qt;
  };
  for (const Case& c : {Case{pf1bit, QImage::Format_Mono}, Case{pf8bit, QImage::Format_Indexed8},
                        Case{pf24bit, QImage::Format_BGR888}, Case{pf32bit, QImage::Format_RGB32}}) {
    TBitmap b(7, 5, c.format);
    QImage image = b.Image();
    EXPECT_EQ(image.format(), c.qt);
    EXPECT_EQ(image.constBits(), b.Bits());
    EXPECT_EQ(image.bytesPerLine(), b.BytesPerLine());
    EXPECT_EQ(image.constScanLine(4), b.ScanLine(4));
    const QImage constImage = static_cast<const TBitmap&>(b).Image();
    EXPECT_EQ(constImage.constBits(), b.Bits());
  }
  // Indexed images carry the colour table.
  TBitmap g(2, 2, pf8bit);
  g.ScanLine(0)[1] = 200;
  EXPECT_EQ(g.Image().pixel(1, 0), qRgb(200, 200, 200));
  TBitmap m(9, 1, pf1bit);
  m.ScanLine(0)[1] = 0x80;  // pixel 8
  EXPECT_EQ(m.Image().pixel(8, 0), qRgb(255, 255, 255));
  EXPECT_EQ(m.Image().pixel(7, 0), qRgb(0, 0, 0));
}

TEST(Bitmap, QPainterOnTheImageLandsInTheRows) {
  for (TPixelFormat format : {pf24bit, pf32bit}) {
    TBitmap b(6, 4, format);
    uint8_t* const before = b.Bits();
    {
      QImage image = b.Image();
      QPainter p(&image);
      p.fillRect(QRect(1, 2, 3, 1), QColor(10, 20, 30));
    }
    EXPECT_EQ(b.Bits(), before);
    const int bpp = format == pf24bit ? 3 : 4;
    const uint8_t* row = b.ScanLine(2);
    EXPECT_EQ(row[bpp * 1 + 0], 30);  // blue
    EXPECT_EQ(row[bpp * 1 + 1], 20);  // green
    EXPECT_EQ(row[bpp * 1 + 2], 10);  // red
    EXPECT_EQ(row[bpp * 4 + 2], 0);
    EXPECT_EQ(b.ScanLine(1)[bpp + 2], 0);
  }
}

TEST(Bitmap, MemoryMovesOnlyWhenSizeOrFormatChanges) {
  TBitmap b(16, 16, pf24bit);
  uint8_t* p = b.Bits();
  b.Canvas().Pen.Color = clRed;
  b.Canvas().MoveTo(0, 0);
  b.Canvas().LineTo(15, 15);
  b.Canvas().FillRect(Rect(2, 2, 5, 5));
  (void)b.Image();
  b.SetSize(16, 16);
  b.SetPixelFormat(pf24bit);
  TBitmap same(16, 16, pf24bit);
  b.Assign(same);
  EXPECT_EQ(b.Bits(), p);
  b.SetSize(17, 16);
  EXPECT_EQ(b.Width(), 17);
}

TEST(Bitmap, ResizeKeepsTheTopLeftPixelsAndZeroesTheRest) {
  for (TPixelFormat format : {pf1bit, pf8bit, pf24bit, pf32bit}) {
    TBitmap b(13, 6, format);
    FillNoise(b, 7);
    TBitmap ref(13, 6, format);
    ref.Assign(b);
    b.SetSize(9, 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 9; ++x) ASSERT_EQ(b.PixelColor(x, y), ref.PixelColor(x, y)) << int(format);
    b.SetSize(20, 8);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 20; ++x) {
        const TColor expected = (x < 9 && y < 4) ? ref.PixelColor(x, y) : clBlack;
        ASSERT_EQ(b.PixelColor(x, y), expected) << int(format) << " " << x << "," << y;
      }
  }
}

TEST(Bitmap, SizesThatCannotBeHeldFailCleanly) {
  TBitmap b(4, 4, pf24bit);
  FillNoise(b);
  const auto before = platform::test::Snapshot(b);
  EXPECT_THROW(b.SetSize(1 << 30, 1 << 30), EOutOfResources);
  EXPECT_THROW(b.SetSize(0x7FFFFFFF, 1), EOutOfResources);
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(platform::test::Snapshot(b), before);
  b.SetSize(-5, 3);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
  for (TPixelFormat bad : {pf4bit, pf15bit, pf16bit, pfCustom})
    EXPECT_THROW(b.SetPixelFormat(bad), EInvalidGraphicOperation);
  b.SetPixelFormat(pfDevice);
  EXPECT_EQ(b.PixelFormat(), pf32bit);
}

TEST(Bitmap, FormatChangeConvertsThroughTheColourTable) {
  TBitmap b(4, 1, pf24bit);
  b.SetPixelColor(0, 0, RGB(255, 255, 255));
  b.SetPixelColor(1, 0, RGB(30, 60, 90));   // grey level 60
  b.SetPixelColor(2, 0, RGB(200, 10, 10));  // 73.3 -> 73
  b.SetPixelColor(3, 0, RGB(100, 0, 0));    // 33.3 -> 33
  b.SetPixelFormat(pf8bit);
  EXPECT_TRUE(b.IsGrayColorTable());
  EXPECT_EQ(b.ScanLine(0)[0], 255);
  EXPECT_EQ(b.ScanLine(0)[1], 60);
  EXPECT_EQ(b.ScanLine(0)[2], 73);
  EXPECT_EQ(b.ScanLine(0)[3], 33);
  b.SetPixelFormat(pf1bit);
  EXPECT_EQ(b.ScanLine(0)[0], 0x80);  // only white is nearer to white than to black
  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(b.PixelColor(0, 0), clWhite);
  EXPECT_EQ(b.PixelColor(1, 0), clBlack);
}

TEST(Bitmap, ColourTables) {
  TBitmap b(2, 2, pf8bit);
  ASSERT_EQ(b.ColorTableSize(), 256);
  EXPECT_TRUE(b.IsGrayColorTable());
  const TRGBQuad red{0, 0, 255, 0};
  b.SetColorTable(255, std::span(&red, 1));
  EXPECT_FALSE(b.IsGrayColorTable());
  EXPECT_EQ(b.GetColorTable()[255], red);
  EXPECT_EQ(b.NearestIndex(RGB(250, 5, 5)), 255);
  // Writes past the table are dropped.
  const TRGBQuad three[3] = {red, red, red};
  b.SetColorTable(254, three);
  b.SetColorTable(-10, three);
  EXPECT_EQ(b.ColorTableSize(), 256);
  TBitmap m(2, 2, pf1bit);
  ASSERT_EQ(m.ColorTableSize(), 2);
  EXPECT_EQ(m.GetColorTable()[0], (TRGBQuad{0, 0, 0, 0}));
  EXPECT_EQ(m.GetColorTable()[1], (TRGBQuad{255, 255, 255, 0}));
  EXPECT_EQ(TBitmap(1, 1, pf24bit).ColorTableSize(), 0);
}

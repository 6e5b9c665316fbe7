// The platform-bitmap location: the drawing layer's bitmap when it is linked in, else the
// memory stand-in; both hold the rows the image buffer reads.
#include <gtest/gtest.h>

#include <cstring>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVPlatformAdapter.h"
#include "rastova/core/RVUtils.h"

#ifdef ZEPHOR_HAVE_PLATFORM_GFX
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#endif

using namespace rv;

TEST(PlatformBitmap, SculptMapSequenceHoldsColourAndAlpha) {
  TRVBitmap map;
  ASSERT_TRUE(map.Allocate(6, 4, rv24RGB));
  map.Fill(0x0000FF);
  map.GetCanvas();
  ASSERT_EQ(map.GetLocation(), rvTBitmap);
  ASSERT_NE(map.PlatformBitmap(), nullptr);
  EXPECT_EQ(map.PlatformBitmap()->PixelFormat(), pf24bit);
  EXPECT_EQ(PackRGB(map.GetPixels(5, 3)), 0xFF0000u);  // the pixels moved along
  // What the drawing layer writes into its rows is what GetScanLine reads.
  uint8_t* row = map.PlatformBitmap()->ScanLine(2);
  row[3] = 1;
  row[4] = 2;
  row[5] = 3;
  EXPECT_EQ(map.GetScanLine(2)[4], 2);

  TRVBitmap* alpha = map.AlphaBitmap();
  EXPECT_EQ(alpha->GetLocation(), rvInMemory);
  EXPECT_TRUE(alpha->Full);
  ASSERT_TRUE(alpha->Allocate(6, 4, rv8g));
  EXPECT_EQ(alpha->GetPixels_rv8(3, 3), 255);  // unchanged size and format: kept
  alpha->BitmapView();
  ASSERT_EQ(alpha->GetLocation(), rvTBitmap);
  EXPECT_EQ(alpha->PlatformBitmap()->PixelFormat(), pf8bit);
  EXPECT_TRUE(IsTBitmapGrayPalette(*alpha->PlatformBitmap()));
  EXPECT_EQ(alpha->GetPixelFormat(), rv8g);
  alpha->PlatformBitmap()->ScanLine(1)[2] = 128;
  EXPECT_EQ(map.GetAlpha(2, 1), 128);
  EXPECT_EQ(map.GetAlpha(3, 3), 255);
}

TEST(PlatformBitmap, FormatsItCannotHoldAreConvertedFirst) {
  TRVBitmap wide(3, 2, rv48RGB);
  wide.SetPixels_rv48RGB(1, 1, TRGB48{0x1234, 0x5678, 0x9ABC});
  wide.BitmapView();
  EXPECT_EQ(wide.GetLocation(), rvTBitmap);
  EXPECT_EQ(wide.GetPixelFormat(), rv24RGB);
  EXPECT_EQ(wide.GetPixels(1, 1), MakeRGB(0x12, 0x56, 0x9A));

  TRVBitmap grey16(3, 2, rv16g);
  grey16.SetPixels_rv16g(2, 1, 0xAB01);
  grey16.BitmapView();
  EXPECT_EQ(grey16.GetPixelFormat(), rv8g);
  EXPECT_EQ(grey16.GetPixels_rv8(2, 1), 0xAB);

  // Assign into the platform bitmap from a source it cannot hold.
  TRVBitmap target(1, 1, rv24RGB);
  target.BitmapView();
  TRVBitmap lab(2, 2, rvCIELab);
  lab.Fill(0xFFFFFF);
  target.Assign(&lab);
  EXPECT_EQ(target.GetLocation(), rvTBitmap);
  EXPECT_EQ(target.GetPixelFormat(), rv24RGB);
  EXPECT_EQ(target.GetWidth(), 2);
  EXPECT_EQ(target.GetPixels(1, 1), MakeRGB(255, 255, 255));
  EXPECT_EQ(lab.GetPixelFormat(), rvCIELab);

  // Conversions at the location: held formats stay there, the others move to memory.
  TRVBitmap c(2, 1, rv24RGB);
  c.SetPixels_rv24RGB(0, 0, 0xFF0000);
  c.BitmapView();
  c.ConvertToPixelFormat(rv8g);
  EXPECT_EQ(c.GetLocation(), rvTBitmap);
  EXPECT_EQ(c.GetPixels_rv8(0, 0), 53);
  c.ConvertToPixelFormat(rv32f);
  EXPECT_NE(c.GetLocation(), rvTBitmap);
  EXPECT_FLOAT_EQ(c.GetPixels_rv32f(0, 0), 53 / 255.0f);
}

TEST(PlatformBitmap, ResizingFromOutsideIsSeenAndTheAlphaFollows) {
  TRVBitmap b(4, 4, rv24RGB);
  b.AlphaBitmap();
  b.BitmapView();
  b.PlatformBitmap()->SetSize(9, 5);
  EXPECT_EQ(b.GetWidth(), 9);
  EXPECT_EQ(b.GetHeight(), 5);
  EXPECT_EQ(b.GetRowLen(), 28);
  EXPECT_EQ(b.AlphaBitmap()->GetWidth(), 9);
  EXPECT_EQ(b.AlphaBitmap()->GetHeight(), 5);
  EXPECT_NE(b.GetScanLine(4), nullptr);
  // Back to memory with everything kept.
  b.GetScanLine(4)[26] = 77;
  b.SetLocation(rvInMemory);
  EXPECT_EQ(b.GetLocation(), rvInMemory);
  EXPECT_EQ(b.GetScanLine(4)[26], 77);
  EXPECT_TRUE(b.HasAlphaBitmap());
}

TEST(PlatformBitmap, PalettesFollowTheColourTable) {
  TRVBitmap p(3, 1, rv8p);
  p.SetPalette(7, MakeRGB(10, 20, 30));
  p.Fill(7);
  p.BitmapView();
  ASSERT_EQ(p.GetLocation(), rvTBitmap);
  EXPECT_EQ(p.GetPixelFormat(), rv8p);
  EXPECT_EQ(p.GetPixels(2, 0), MakeRGB(10, 20, 30));
  p.SetPalette(7, MakeRGB(1, 2, 3));
  TRGB table[256];
  p.PlatformBitmap()->GetColorTable(table, 256);
  EXPECT_EQ(table[7], MakeRGB(1, 2, 3));
}

#ifdef ZEPHOR_HAVE_PLATFORM_GFX
TEST(PlatformBitmap, DrawingThroughTheCanvasLandsInTheBuffer) {
  ASSERT_TRUE(HasPlatformDrawing());
  TRVBitmap image(40, 30, rv32RGB);
  image.Fill(0x000000);
  platform::TCanvas* canvas = image.GetCanvas();
  ASSERT_NE(canvas, nullptr);
  canvas->Pen.Color = platform::clRed;
  canvas->MoveTo(2, 5);
  canvas->LineTo(30, 5);
  canvas->Brush.Style = platform::bsClear;
  canvas->Pen.Color = platform::clLime;
  canvas->Ellipse(10, 10, 30, 28);
  EXPECT_EQ(PackRGB(image.GetPixels(2, 5)), 0xFF0000u);
  EXPECT_EQ(PackRGB(image.GetPixels(29, 5)), 0xFF0000u);
  EXPECT_EQ(PackRGB(image.GetPixels(20, 4)), 0u);
  int green = 0;
  for (int y = 9; y <= 28; ++y) {
    const uint8_t* r = image.GetScanLine(y);
    for (int x = 9; x <= 30; ++x) green += r[4 * x + 1] > 128 && r[4 * x + 2] < 64;
  }
  EXPECT_GT(green, 40);
  EXPECT_EQ(PackRGB(image.GetPixels(20, 19)), 0u);  // the inside stays clear

  TRVBitmap* alpha = image.AlphaBitmap();
  alpha->BitmapView();
  platform::TCanvas* ac = alpha->GetCanvas();
  ASSERT_NE(ac, nullptr);
  ac->Pen.Color = platform::clBlack;
  ac->MoveTo(0, 20);
  ac->LineTo(40, 20);
  ac->Brush.Style = platform::bsSolid;
  ac->Brush.Color = platform::clBlack;
  ac->Ellipse(5, 2, 15, 12);
  EXPECT_EQ(image.GetAlpha(0, 20), 0);
  EXPECT_EQ(image.GetAlpha(39, 20), 0);
  EXPECT_EQ(image.GetAlpha(10, 7), 0);
  EXPECT_EQ(image.GetAlpha(30, 5), 255);
  alpha->UpdateOpaqueFlag();
  EXPECT_FALSE(alpha->Full);

  // The caller's own bitmap, encapsulated.
  platform::TBitmap own(5, 3, platform::pf24bit);
  TRVBitmap view;
  view.EncapsulateTBitmap(&own, true);
  EXPECT_EQ(view.GetWidth(), 5);
  EXPECT_EQ(view.GetPixelFormat(), rv24RGB);
  own.Canvas().SetPixels(4, 2, platform::clBlue);
  EXPECT_EQ(PackRGB(view.GetPixels(4, 2)), 0x0000FFu);
  view.FreeImage(true);
  EXPECT_EQ(own.Width(), 5);  // never freed by the view

  platform::TBitmap frame(6, 6, platform::pf24bit);
  DrawEdgeFrame(frame.Canvas(), 0, 0, 5, 5, platform::clWhite, platform::clRed);
  EXPECT_EQ(frame.Canvas().Pixels(0, 3), platform::clWhite);
  EXPECT_EQ(frame.Canvas().Pixels(3, 5), platform::clRed);
}
#endif

// The vector drawing: the QPainter implementation's antialiasing, clear, fills and bitmaps, and
// the recording that keeps every call and passes it on.
#include <gtest/gtest.h>

#include <set>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/GraphicsError.h"
#include "platform/gfx/PainterDrawing.h"
#include "platform/gfx/RecordingDrawing.h"

using namespace platform;

namespace {

std::set<TColor> Colours(const TBitmap& b) {
  std::set<TColor> s;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) s.insert(b.PixelColor(x, y));
  return s;
}

}  // namespace

TEST(Drawing, AntialiasingSmoothsOnlyWhenOn) {
  for (bool on : {false, true}) {
    TBitmap b(40, 40, pf32bit);
    TPainterDrawing d(b);
    d.SetAntialias(on);
    d.Clear(0xFFFFFFFF);
    d.Line({2.5f, 3.5f}, {37.5f, 29.5f}, 0xFF000000, 1);
    const TPointF tri[3] = {{5, 30}, {20, 38}, {35, 31}};
    d.FillPolygon(tri, 0xFF000000);
    d.End();
    EXPECT_EQ(Colours(b).size() > 2, on) << on;
  }
}

TEST(Drawing, TranslucentFillsBlendAndClearDoesNot) {
  TBitmap b(20, 10, pf32bit);
  TPainterDrawing d(b);
  d.Clear(0x00FF0000);  // alpha ignored: the pixels become that colour
  d.FillRect({0, 0, 10, 10}, 0x80000000);
  d.FillRect({0, 0, 5, 10}, 0x80000000);  // overlaps darken
  d.End();
  EXPECT_EQ(b.PixelColor(15, 5), RGB(255, 0, 0));
  const TColor once = b.PixelColor(7, 5), twice = b.PixelColor(2, 5);
  EXPECT_NEAR(GetRValue(once), 127, 1);
  EXPECT_NEAR(GetRValue(twice), 64, 1);
  EXPECT_EQ(GetGValue(once), 0);
}

TEST(Drawing, BitmapsStretchOverTheirRectangle) {
  TBitmap source(2, 2, pf32bit);
  source.SetPixelColor(0, 0, clRed);
  source.SetPixelColor(1, 0, clRed);
  source.SetPixelColor(0, 1, clBlue);
  source.SetPixelColor(1, 1, clBlue);
  TBitmap b(40, 40, pf24bit);
  TPainterDrawing d(b);
  d.Clear(0xFFFFFFFF);
  d.DrawBitmap(source, {10, 10, 30, 30}, 1.0f);
  d.DrawBitmap(source, {0, 0, 4, 4}, 0.0f);  // fully transparent
  d.End();
  EXPECT_EQ(b.PixelColor(20, 11), clRed);
  EXPECT_EQ(b.PixelColor(20, 28), clBlue);
  EXPECT_EQ(b.PixelColor(9, 20), clWhite);
  EXPECT_EQ(b.PixelColor(1, 1), clWhite);
}

TEST(Drawing, OnlyColourBitmapsCanBeDrawnOn) {
  TBitmap indexed(4, 4, pf8bit), empty;
  EXPECT_THROW(TPainterDrawing{indexed}, EInvalidGraphicOperation);
  EXPECT_THROW(TPainterDrawing{empty}, EInvalidGraphicOperation);
}

TEST(Drawing, RecordingKeepsEveryCallAndPassesItOn) {
  TBitmap b(20, 20, pf32bit);
  TPainterDrawing painter(b);
  TRecordingDrawing rec(&painter);
  rec.SetAntialias(false);
  rec.Clear(0xFFFFFFFF);
  const TPointF ends[5] = {{0, 5}, {20, 5}, {0, 15}, {20, 15}, {3, 3}};
  rec.Lines(ends, 0xFF00FF00, 2);
  rec.OutlineEllipse({2, 2, 8, 8}, 0x80112233, 1.5f);
  rec.DrawBitmap(b, {0, 0, 1, 1}, 0.25f);
  painter.End();
  ASSERT_EQ(rec.Calls.size(), 5u);
  EXPECT_EQ(rec.Calls[0].Kind, TDrawCall::Antialias);
  EXPECT_FALSE(rec.Calls[0].On);
  EXPECT_EQ(rec.Calls[2].Kind, TDrawCall::Lines);
  EXPECT_EQ(rec.Calls[2].Points.size(), 5u);
  EXPECT_EQ(rec.Calls[2].Width, 2);
  EXPECT_EQ(rec.Calls[3].Color, 0x80112233u);
  EXPECT_FALSE(rec.Calls[3].Fills());
  EXPECT_EQ(rec.Calls[4].Source, &b);
  EXPECT_EQ(rec.Calls[4].Opacity, 0.25f);
  EXPECT_EQ(b.PixelColor(10, 5), clLime) << "passed on to the painter";
}

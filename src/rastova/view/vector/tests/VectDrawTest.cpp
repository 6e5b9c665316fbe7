// Drawing objects, rulers and angles, and flattening them into images.
#include <gtest/gtest.h>

#include <chrono>

#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;

namespace {
// Draws one object unzoomed onto a white W x H bitmap (aliased unless asked).
std::unique_ptr<platform::TBitmap> DrawAlone(TRastovaVect& v, TRVVObjRecord& o, int32_t w, int32_t h) {
  auto b = WhiteBitmap(w, h);
  v.DrawObject(o, 0, false, 1, nullptr, false, false, b.get());
  return b;
}
}  // namespace

TEST_F(VectDraw, EveryKindDrawsInsideItsDrawnRect) {
  TVectInWindow w(80, 80, 80, 80);
  TRastovaVect& v = *w.vect;
  v.WriteObjAntialias(false);
  const TRVVObjectKind kinds[] = {rvkLINE, rvkBOX, rvkELLIPSE, rvkARC, rvkBITMAP, rvkTEXT,
                                  rvkRULER, rvkPOLYLINE, rvkANGLE, rvkMEMO, rvkLINELABEL};
  for (TRVVObjectKind k : kinds) {
    SCOPED_TRACE(int(k));
    const int32_t h = v.AddNewObject(Obj(v, k, 10, 12, 60, 50));
    TRVVObjRecord& o = *v.GetObj(h);
    o.PenColor = 0;
    if (k == rvkTEXT || k == rvkMEMO || k == rvkLINELABEL) v.SetObjText(h, "Wide text");
    if (k == rvkPOLYLINE) {
      v.AddPolylinePoint(h, 10, 12), v.AddPolylinePoint(h, 60, 30), v.AddPolylinePoint(h, 20, 50);
    }
    if (k == rvkANGLE) o.AnglePoints[0] = {60, 12}, o.AnglePoints[1] = {10, 12}, o.AnglePoints[2] = {10, 50};
    auto b = DrawAlone(v, *v.GetObj(h), 80, 80);
    const platform::TRect r = v.GetObj(h)->DrawnRect;
    EXPECT_LE(r.Left, r.Right);
    const int32_t all = NonWhite(*b, 0, 0, 80, 80);
    EXPECT_GT(all, 0);
    // Everything drawn lies inside the drawn rectangle (grown by the pen).
    EXPECT_EQ(NonWhite(*b, r.Left - 1, r.Top - 1, r.Right + 2, r.Bottom + 2), all);
  }
}

TEST_F(VectDraw, ZoomedLineAndPenWidths) {
  TVectInWindow w(200, 200, 100, 100);
  TRastovaVect& v = *w.vect;
  v.WriteObjAntialias(false);
  TRVVObjRecord o = Obj(v, rvkLINE, 10, 20, 40, 20);
  for (double zoom : {100.0, 200.0}) {
    SCOPED_TRACE(zoom);
    v.SetZoom(zoom);
    w.Paint();
    auto b = WhiteBitmap(200, 200);
    ASSERT_TRUE(v.DrawObject(o, 0, false, 1, nullptr, true, false, b.get()));
    const int32_t y = v.YBmp2Scr(20);
    EXPECT_EQ(b->PixelColor(v.XBmp2Scr(25), y) & 0xFFFFFF, 0);
    EXPECT_EQ(b->PixelColor(v.XBmp2Scr(25), y + 3) & 0xFFFFFF, 0xFFFFFF);
    EXPECT_EQ(o.DrawnRect.Left, v.XBmp2Scr(10));
    EXPECT_EQ(o.DrawnRect.Right, v.XBmp2Scr(40));
  }
  // Pen widths follow the zoom but never drop below 1.
  o.PenWidth = 1;
  EXPECT_EQ(v.GetObjPenWidthZoomed(o, 0.25, 0.25), 1);
  o.PenWidth = 9;
  EXPECT_EQ(v.GetObjPenWidthZoomed(o, 0.25, 0.5), 3);
  v.WriteZoomObjectsWidth(false);
  EXPECT_EQ(v.GetObjPenWidthZoomed(o, 0.25, 0.5), 9);
}

TEST_F(VectDraw, InvisibleHandledAndHighlighter) {
  TVectInWindow w(80, 80, 80, 80);
  TRastovaVect& v = *w.vect;
  int before = 0, after = 0;
  bool afterHandled = false;
  v.OnBeforeDrawObject = [&](TRastovaVect*, int32_t, platform::TBitmap*, platform::TRect, bool, bool& handled) {
    ++before;
    handled = true;
  };
  v.OnAfterDrawObject = [&](TRastovaVect*, int32_t, platform::TBitmap*, platform::TRect, bool, bool& handled) {
    ++after;
    afterHandled = handled;
  };
  TRVVObjRecord box = Obj(v, rvkBOX, 10, 10, 30, 30);
  box.Style = rvvsSelectable;  // not visible
  auto b = WhiteBitmap(80, 80);
  EXPECT_FALSE(v.DrawObject(box, 0, false, 1, nullptr, false, false, b.get()));
  EXPECT_GT(box.DrawnRect.Left, box.DrawnRect.Right);  // the empty accumulator
  EXPECT_EQ(before, 0);
  box.Style = 15;
  EXPECT_TRUE(v.DrawObject(box, 0, false, 1, nullptr, false, false, b.get()));
  EXPECT_EQ(NonWhite(*b, 0, 0, 80, 80), 0);  // the handler drew it (nothing)
  EXPECT_EQ(after, 1);
  EXPECT_TRUE(afterHandled);
  v.OnBeforeDrawObject = nullptr;
  v.OnAfterDrawObject = nullptr;
  // The highlighter ANDs the pixels with its brush colour.
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 80; ++x) b->SetPixelColor(x, y, x < 20 ? 0x3366CC : 0xFFFFFF);
  box.BoxHighLight = true;
  box.BrushColor = 0x00FFFF;  // yellow: blue goes to 0
  box.PenWidth = 7;
  v.DrawObject(box, 0, false, 1, nullptr, false, false, b.get());
  EXPECT_EQ(box.PenWidth, 1);
  EXPECT_EQ(b->PixelColor(15, 15) & 0xFFFFFF, 0x3366CC & 0x00FFFF);
  EXPECT_EQ(b->PixelColor(25, 25) & 0xFFFFFF, 0x00FFFF);
  EXPECT_EQ(b->PixelColor(35, 25) & 0xFFFFFF, 0xFFFFFF);
}

TEST_F(VectDraw, TextFillsItsBox) {
  TVectInWindow w(120, 80, 120, 80);
  TRastovaVect& v = *w.vect;
  const int32_t h = v.AddNewObject(Obj(v, rvkTEXT, 10, 10, 110, 40));
  v.SetObjText(h, "Hello");
  v.GetObj(h)->PenStyle = platform::psClear;
  v.GetObj(h)->BrushStyle = platform::bsClear;
  // lfHeight 0: the text takes the box's height.
  v.SetObjFontHeight(h, 0);
  auto b = DrawAlone(v, *v.GetObj(h), 120, 80);
  const int32_t inside = NonWhite(*b, 10, 10, 111, 41);
  EXPECT_GT(inside, 100);
  EXPECT_EQ(NonWhite(*b, 0, 0, 120, 80), inside);
  EXPECT_EQ(v.GetObj(h)->DrawnRect.Left, 10);
  EXPECT_EQ(v.GetObj(h)->DrawnRect.Bottom, 40);
}

TEST_F(VectDraw, LineShapes) {
  TVectInWindow w(40, 40, 40, 40);
  TRastovaVect& v = *w.vect;
  auto b = WhiteBitmap(200, 200);
  TRVCanvas c(b->Canvas(), false, true);
  const TRVVObjRecord o = Obj(v, rvkLINE, 0, 0, 1, 1);
  const struct {
    int32_t x1, y1, x2, y2;
    TRVShape shape;
    platform::TRect bounds;
  } cases[] = {
      {110, 110, 10, 10, rvsOUTARROW, {93, 93, 110, 110}},  // tip at the end, base centre (96, 96)
      {0, 50, 100, 50, rvsINARROW, {0, 45, 20, 55}},
      {100, 50, 0, 50, rvsINARROW, {80, 45, 100, 55}},
      {5, 5, 5, 5, rvsINARROW, {0, -15, 10, 5}},  // no length: points towards smaller y
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.x1);
    platform::TRect r{2000000000, 2000000000, -2000000000, -2000000000};
    v.DrawLineShape(o, c, t.x1, t.y1, t.x2, t.y2, t.shape, 10, 20, r);
    EXPECT_EQ(r.Left, t.bounds.Left);
    EXPECT_EQ(r.Top, t.bounds.Top);
    EXPECT_EQ(r.Right, t.bounds.Right);
    EXPECT_EQ(r.Bottom, t.bounds.Bottom);
  }
  platform::TRect r{2000000000, 2000000000, -2000000000, -2000000000};
  v.DrawLineShape(o, c, 0, 0, 9, 9, rvsNONE, 10, 20, r);
  EXPECT_GT(r.Left, r.Right);
}

TEST_F(VectDraw, RulersAndAngles) {
  TVectInWindow w(120, 120, 120, 120);
  TRastovaVect& v = *w.vect;
  auto b = WhiteBitmap(400, 120);
  TRVCanvas c(b->Canvas(), false, true);
  platform::TRect r{2000000000, 2000000000, -2000000000, -2000000000};
  v.DrawRuler(c, 20, 20, 20, 20, -1, rvuPIXELS, 0, 1, rvrtRULER, 1, 1, r, nullptr);
  EXPECT_GT(r.Left, r.Right);  // zero length: nothing
  EXPECT_EQ(NonWhite(*b, 0, 0, 400, 120), 0);
  // A horizontal graduated ruler has vertical ticks: 12 pixels either side at whole units.
  v.DrawRuler(c, 10, 60, 390, 60, -1, rvuPIXELS, 0, 1, rvrtRULER, 1, 1, r, nullptr);
  EXPECT_EQ(b->PixelColor(10, 49) & 0xFFFFFF, 0);
  EXPECT_EQ(b->PixelColor(20, 55) & 0xFFFFFF, 0);  // in pixels every pixel is a whole unit
  // In nanometres hundreds of thousands of ticks fall on a pixel: one tick per pixel is drawn.
  v.SetDPI(300, 300);
  auto n = WhiteBitmap(400, 120);
  TRVCanvas cn(n->Canvas(), false, true);
  const auto start = std::chrono::steady_clock::now();
  v.DrawRuler(cn, 10, 60, 390, 60, -1, rvuNANOMETERS, 0, 1, rvrtRULER, 1, 1, r, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(n->PixelColor(200, 49) & 0xFFFFFF, 0);  // every pixel holds a whole unit's tick
  // A ruler far longer than the drawing walks only the ticks that can show.
  const auto longStart = std::chrono::steady_clock::now();
  v.DrawRuler(cn, -200000000, 60, 200000000, 60, -1, rvuPIXELS, 0, 1, rvrtRULER, 1, 1, r, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - longStart, std::chrono::seconds(2));
  // Dimension lines report their length.
  std::string shown;
  v.OnPresentMeasure = [&](TRastovaVect*, std::string& t, double, TRVVValType) { shown = t; };
  v.DrawRuler(c, 10, 100, 110, 100, -1, rvuPIXELS, 0, 1, rvrtQUOTEEND, 1, 1, r, nullptr);
  EXPECT_EQ(shown.rfind("100", 0), 0u);
  EXPECT_NE(shown.find(" pixels"), std::string::npos);
  // Angles.
  const TRVPoint none[3] = {{kAnglePointUnset, 0}, {0, 0}, {0, 0}};
  const TRVPoint two[3] = {{10, 10}, {50, 50}, {kAnglePointUnset, 0}};
  const TRVPoint right[3] = {{90, 50}, {50, 50}, {50, 10}};
  EXPECT_EQ(CountAnglePoints(none), 0);
  EXPECT_EQ(CountAnglePoints(two), 2);
  EXPECT_EQ(CountAnglePoints(right), 3);
  v.WriteFloatDigits(0);
  EXPECT_EQ(v.AngleText(right), "90\xB0");
  const TRVPoint reflex[3] = {{50, 10}, {50, 50}, {90, 50}};
  EXPECT_EQ(v.AngleText(reflex), "270\xB0");
}

TEST_F(VectDraw, FlatteningPaths) {
  TVectInWindow w(60, 60, 60, 60);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord box = Obj(v, rvkBOX, 10, 10, 30, 30);
  box.BrushStyle = platform::bsSolid;
  box.Transparency = 128;
  v.AddNewObject(box);
  auto target = WhiteBitmap(60, 60);
  v.DrawObjectsToBitmap(nullptr, true, target.get(), false, kObjAll);
  EXPECT_EQ(v.DrawCache, nullptr);  // a translucent box: straight, the canvas blends it
  EXPECT_NE(NonWhite(*target, 10, 10, 31, 31), 0);
  const int32_t t = v.AddNewObject(Obj(v, rvkTEXT, 5, 35, 55, 55));
  v.SetObjText(t, "Text");
  v.GetObj(t)->Transparency = 128;
  auto before = WhiteBitmap(60, 60);
  v.DrawObjectsToBitmap(nullptr, true, target.get(), false, t);
  ASSERT_NE(v.DrawCache, nullptr);  // a translucent text: through the cache
  EXPECT_EQ(v.DrawCache->GetWidth(), 60);
  EXPECT_GT(NonWhite(*target, 5, 35, 56, 56), 0);
  // Without the smoothing painter, anti-aliased drawing supersamples at twice the size.
  SetGdiPlusMissingForTesting(true);
  v.SetAntialiasedDrawing(true);
  v.DrawObjectsToBitmap(nullptr, true, target.get(), true, kObjAll);
  EXPECT_EQ(v.DrawCache->GetWidth(), 120);
  EXPECT_EQ(v.DrawCache->GetHeight(), 120);
  v.SetAntialiasedDrawing(false);
  SetGdiPlusMissingForTesting(false);
  LoadGdiPlus();
}

TEST_F(VectDraw, CachedObjectsDrawAsWithAFreshCache) {
  // Objects after the first clear only what the previous one left: the output must not differ
  // from drawing each with a new cache.
  TVectInWindow w(120, 80, 120, 80);
  TRastovaVect& v = *w.vect;
  std::vector<int32_t> h;
  for (int i = 0; i < 4; ++i) {
    h.push_back(v.AddNewObject(Obj(v, rvkTEXT, 5 + (i % 2) * 30, 5 + i * 15, 100, 25 + i * 15)));
    v.SetObjText(h.back(), "Wg" + std::to_string(i));
    v.GetObj(h.back())->Transparency = 100 + 40 * i;
    v.GetObj(h.back())->PenColor = i == 2 ? 0x0000FF : 0x800000;
  }
  v.GetObj(h[3])->SoftShadow.Enabled = true;
  auto reused = WhiteBitmap(120, 80), fresh = WhiteBitmap(120, 80);
  for (int32_t k : h) v.DrawObjectsToBitmap(nullptr, true, reused.get(), false, k);
  for (int32_t k : h) {
    v.DrawCache.reset();
    v.DrawObjectsToBitmap(nullptr, true, fresh.get(), false, k);
  }
  EXPECT_GT(NonWhite(*fresh, 0, 0, 120, 80), 0);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 120; ++x) ASSERT_EQ(reused->PixelColor(x, y), fresh->PixelColor(x, y)) << x << "," << y;
}

TEST_F(VectDraw, CopyObjectsToBackDrawsIntoTheImage) {
  TVectInWindow w(60, 60, 60, 60);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord box = Obj(v, rvkBOX, 10, 10, 30, 30);
  box.BrushStyle = platform::bsSolid;
  box.BrushColor = 0x0000FF;
  v.AddNewObject(box);
  v.CopyObjectsToBack(false);
  TRVBitmap& img = *v.GetRVBitmap();
  EXPECT_TRUE(*img.GetPPixels_rv24RGB(20, 20) == (TRGB{0, 0, 255}));
  EXPECT_TRUE(*img.GetPPixels_rv24RGB(40, 40) == (TRGB{255, 255, 255}));
  platform::TRect ext;
  v.GetObjectsExtents(ext);
  EXPECT_EQ(ext.Right, 31);
  EXPECT_EQ(ext.Bottom, 31);
  // And over the view at any zoom.
  v.SetZoom(200);
  w.Paint();
  EXPECT_EQ(v.DrawnObjectsCount, 1);
}

TEST_F(VectDraw, QualityTimerRestoresSmoothDrawingAfterADrag) {
  TVectInWindow w(60, 60, 60, 60);
  TRastovaVect& v = *w.vect;
  bool down = true;
  v.PrimaryButtonProbe = [&] { return down; };
  v.Update();
  w.Paint();
  EXPECT_TRUE(v.FastDrawing);
  EXPECT_TRUE(v.QualityTimer->Enabled());
  EXPECT_EQ(v.QualityTimer->Interval(), 50);
  v.QualityTimerTick();  // still held: nothing
  EXPECT_TRUE(v.FastDrawing);
  down = false;
  v.QualityTimerTick();
  EXPECT_FALSE(v.FastDrawing);
  EXPECT_FALSE(v.QualityTimer->Enabled());
}

TEST_F(VectDraw, CanvasTextTurnsByItsEscapement) {
  // Text of a font with an escapement of 90 degrees runs upwards from its reference point.
  auto b = WhiteBitmap(120, 120);
  platform::TCanvas& c = b->Canvas();
  c.Brush.Style = platform::bsClear;
  c.Font.Name = "Arial";
  c.Font.SetHeight(-16);
  c.Font.Color = 0;
  c.Font.Escapement = 900;
  c.TextOut(50, 110, "Turned text");
  int32_t minX = 999, maxX = -1, minY = 999, maxY = -1;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 120; ++x)
      if ((b->PixelColor(x, y) & 0xFFFFFF) != 0xFFFFFF)
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
  ASSERT_GE(maxX, 0);
  EXPECT_GT(maxY - minY, 3 * (maxX - minX));
  EXPECT_LE(maxY, 111);
  EXPECT_GE(minX, 49);
}

TEST_F(VectDraw, ExtremeCoordinatesDrawClipped) {
  TVectInWindow w(60, 60, 60, 60);
  TRastovaVect& v = *w.vect;
  const TRVVObjectKind kinds[] = {rvkLINE, rvkBOX, rvkELLIPSE, rvkARC, rvkTEXT, rvkRULER, rvkLINELABEL, rvkBITMAP};
  for (TRVVObjectKind k : kinds) {
    SCOPED_TRACE(int(k));
    TRVVObjRecord o = Obj(v, k, INT32_MIN, INT32_MIN + 5, INT32_MAX, INT32_MAX);
    o.Text = "x";
    o.BrushStyle = platform::bsSolid;
    o.RulerType = rvrtRULER;
    auto b = WhiteBitmap(60, 60);
    EXPECT_TRUE(v.DrawObject(o, 0, false, 1, nullptr, false, false, b.get()));
    v.SetZoom(400);
    EXPECT_TRUE(v.DrawObject(o, 0, false, 2, nullptr, true, false, b.get()));
    v.SetZoom(100);
    double d;
    v.AddNewObject(o);
    v.FindObjectAt(30, 30, d, false);
  }
}

TEST_F(VectDraw, SupersampledBoxMatchesItsColour) {
  // Without the smoothing painter, anti-aliased flattening draws at twice the size and halves:
  // the inside keeps the object's colour, the outside stays untouched.
  TVectInWindow w(60, 60, 60, 60);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord box = Obj(v, rvkBOX, 10, 10, 40, 30);
  box.BrushStyle = platform::bsSolid;
  box.BrushColor = 0x0000FF;
  box.PenColor = 0x0000FF;
  v.AddNewObject(box);
  SetGdiPlusMissingForTesting(true);
  auto plain = WhiteBitmap(60, 60), smooth = WhiteBitmap(60, 60);
  v.DrawObjectsToBitmap(nullptr, true, plain.get(), false, kObjAll);
  v.AntialiasedDrawing = true;
  v.DrawObjectsToBitmap(nullptr, true, smooth.get(), true, kObjAll);
  v.AntialiasedDrawing = false;
  SetGdiPlusMissingForTesting(false);
  LoadGdiPlus();
  int differing = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) {
      const platform::TColor a = plain->PixelColor(x, y), b = smooth->PixelColor(x, y);
      for (int s = 0; s < 24; s += 8) differing += std::abs(int((a >> s) & 255) - int((b >> s) & 255)) > 16;
    }
  EXPECT_EQ(smooth->PixelColor(25, 20) & 0xFFFFFF, 0x0000FF);
  EXPECT_EQ(smooth->PixelColor(50, 50) & 0xFFFFFF, 0xFFFFFF);
  // Only the edges may differ.
  EXPECT_LE(differing, 2 * (31 + 21) * 3);
}

TEST_F(VectDraw, RulerLabelsCountWholeUnitsFromTheStart) {
  // Inches at 100 pixels per inch: a tick every 10 pixels, a label every 100. The labels above
  // the ticks must read 0, 1, 2, 3 from the start point, as the same texts written there do.
  TVectInWindow w(60, 60, 60, 60);
  TRastovaVect& v = *w.vect;
  v.SetDPI(100, 100);
  LOGFONTA font;
  SetLogFontFaceName(font, "Arial");
  font.lfHeight = -30;
  auto ruler = WhiteBitmap(400, 200), expected = WhiteBitmap(400, 200);
  {
    TRVCanvas c(ruler->Canvas(), false, true);
    platform::TRect r{2000000000, 2000000000, -2000000000, -2000000000};
    v.DrawRuler(c, 20, 150, 380, 150, -1, rvuINCHES, 0, 1, rvrtRULER, 1, 1, r, &font);
  }
  platform::TCanvas& e = expected->Canvas();
  e.Font.Name = "Arial";
  e.Font.SetSize(30);
  e.Font.Color = 0;
  e.Brush.Style = platform::bsClear;
  int32_t th = 0;
  for (int i = 0; i < 4; ++i) {
    const std::string label = std::to_string(i);
    th = e.TextHeight(label);
    const int32_t lh = 2 * th + 1, lw = e.TextWidth(label) / 2;
    e.TextOut(20 + 100 * i - lw, 150 - 12 - lh + 20, label);
  }
  ASSERT_LT(150 - 12 - (2 * th + 1) + 20 + th, 150 - 12);  // labels clear of the ticks
  int32_t ink = 0;
  for (int y = 0; y < 150 - 12; ++y)
    for (int x = 0; x < 400; ++x) {
      ASSERT_EQ(ruler->PixelColor(x, y), expected->PixelColor(x, y)) << x << "," << y;
      ink += (ruler->PixelColor(x, y) & 0xFFFFFF) != 0xFFFFFF;
    }
  EXPECT_GT(ink, 40);
}

TEST_F(VectDraw, ARulerWithTicksFinerThanCanBeCountedDrawsItsLineOnly) {
  // A unit scale from an object file can make the ticks so fine that their indexes along the
  // drawn part pass 64 bits: the line is drawn, the ticks are left out.
  TVectInWindow w(60, 60, 60, 60);
  TRastovaVect& v = *w.vect;
  v.SetDPI(100, 100);
  for (double inverseZoom : {1e45, 1e300}) {
    auto ruler = WhiteBitmap(200, 100);
    {
      TRVCanvas c(ruler->Canvas(), false, true);
      platform::TRect r{2000000000, 2000000000, -2000000000, -2000000000};
      v.DrawRuler(c, 20, 50, 180, 50, -1, rvuINCHES, 0, 1, rvrtRULER, inverseZoom, inverseZoom, r, nullptr);
    }
    int32_t onLine = 0, offLine = 0;
    for (int x = 20; x < 180; ++x) onLine += (ruler->PixelColor(x, 50) & 0xFFFFFF) != 0xFFFFFF;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x) offLine += y != 50 && (ruler->PixelColor(x, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_EQ(onLine, 160) << inverseZoom;
    EXPECT_EQ(offLine, 0) << inverseZoom;
  }
}

TEST_F(VectDraw, PolylinePointsRoundTheirOffsetBeforeTheCorner) {
  // Base box 0..4 mapped onto 1..6 (scale 1.25): a point's offset is rounded on its own, halves
  // to even, and then moved by the corner: 2 -> Round (2.5) + 1 = 3, and the point 6 (dragged
  // out of the base box) -> Round (7.5) + 1 = 9. Rounding the sum would give 4 and 8.
  TVectInWindow w(40, 40, 40, 40);
  TRastovaVect& v = *w.vect;
  const int32_t h = v.AddNewObject(Obj(v, rvkPOLYLINE, 0, 0, 0, 0));
  for (int32_t p : {0, 2, 4}) v.AddPolylinePoint(h, p, p);
  TRVVObjRecord& o = *v.GetObj(h);
  o.PolyPoints[2] = {6, 6};
  o.X1 = o.Y1 = 1;
  o.X2 = o.Y2 = 6;
  const int32_t want[] = {1, 3, 9};
  for (int32_t i = 0; i < 3; ++i) {
    platform::TPoint p{-7, -7};
    v.GetObjPolylinePoints(h, i, p);
    EXPECT_EQ(p.X, want[i]) << i;
    EXPECT_EQ(p.Y, want[i]) << i;
  }
  // Drawing maps the same way (unzoomed, the drawn points are the mapped ones).
  auto b = WhiteBitmap(40, 40);
  ASSERT_TRUE(v.DrawObject(o, h, false, 1, nullptr, false, false, b.get()));
  ASSERT_EQ(o.DrawnPointsCount, 3);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(o.DrawnPoints[size_t(i)].x, want[i]) << i;
    EXPECT_EQ(o.DrawnPoints[size_t(i)].y, want[i]) << i;
  }
  // Normalising takes the mapped box and the raw points' box.
  v.NormalizePolyline(o);
  EXPECT_EQ(o.X1, 1);
  EXPECT_EQ(o.X2, 9);
  EXPECT_EQ(o.Y2, 9);
  EXPECT_EQ(o.PolyBaseX1, 0);
  EXPECT_EQ(o.PolyBaseX2, 6);
  // Offsets beyond the 32-bit range still land where the corner puts them: 0..1 spread over
  // -2,000,000,000 .. 2,000,000,000.
  o.PolyBaseX1 = 0, o.PolyBaseX2 = 1;
  o.X1 = -2000000000, o.X2 = 2000000000;
  o.PolyPoints[0] = {1, 0};
  platform::TPoint far{0, 0};
  v.GetObjPolylinePoints(h, 0, far);
  EXPECT_EQ(far.X, 2000000000);
}

// Zoom, origin, scroll bars, wheel and coordinates of the image view, and the pictures it shows
// at several zooms, centred and scrolled.
#include <gtest/gtest.h>

#include <QWheelEvent>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "common/Round.h"
#include "platform/ui/ScrollBars.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using ViewZoom = rv::viewtest::ViewLibraryTest;
using namespace rv::viewtest;

namespace {

// The bitmap column the view shows at zoomed column j (counted from the image's edge) at a zoom,
// worked out from the zoom alone: above 100 % Trunc (j x 100 / zoom) (so at 300 % every bitmap
// column is exactly 3 view columns wide); at 100 % or below the first bitmap column k with
// Trunc (k x zoom / 100) = j.
int32_t ShownColumn(int32_t j, double zoom) {
  if (zoom > 100) return common::TruncInt(j * 100.0L / zoom);
  int32_t k = 0;
  while (common::TruncInt(k * static_cast<long double>(zoom) / 100) < j) ++k;
  return k;
}

void ExpectPicture(TViewInWindow& w, int32_t bw, int32_t bh, double zoom, int32_t originX, int32_t originY) {
  TRastovaView& v = *w.view;
  const int32_t zw = common::SaturateInt32(common::Round(bw * zoom / 100));
  const int32_t zh = common::SaturateInt32(common::Round(bh * zoom / 100));
  const int32_t vw = v.GetViewWidth(), vh = v.GetViewHeight();
  const int32_t offX = zw < vw ? (vw - zw) / 2 : 0, offY = zh < vh ? (vh - zh) / 2 : 0;
  int mismatches = 0;
  for (int32_t y = 0; y < vh; ++y)
    for (int32_t x = 0; x < vw; ++x) {
      const int32_t j = x - offX + originX, i = y - offY + originY;
      const bool inside =
          x >= offX && y >= offY && j < std::min(zw, originX + vw) && i < std::min(zh, originY + vh);
      const TRGB want =
          inside ? PictureColour(ShownColumn(j, zoom), ShownColumn(i, zoom)) : TRGB{0x11, 0x22, 0x33};
      if (!(SurfacePixel(v, x, y) == want) && ++mismatches < 5)
        ADD_FAILURE() << "zoom " << zoom << " at (" << x << ", " << y << ")";
    }
  EXPECT_EQ(mismatches, 0) << "zoom " << zoom;
}

}  // namespace

TEST_F(ViewZoom, PictureAtSeveralZoomsCentredAndScrolled) {
  struct Case {
    int32_t bw, bh;
    double zoom;
    int32_t viewW, viewH;
    int32_t viewX, viewY;  // asked origin (clamped, and snapped to a bitmap pixel's first column)
    int32_t originX, originY;
  } cases[] = {
      {8, 6, 100, 22, 18, 0, 0, 0, 0},    {8, 6, 250, 22, 18, 0, 0, 0, 0}, {8, 6, 33, 22, 18, 0, 0, 0, 0},
      {12, 10, 250, 22, 18, 6, 11, 5, 5}, {12, 10, 100, 8, 6, 3, 2, 3, 2}, {12, 10, 300, 20, 16, 4, 8, 3, 6},
  };
  for (const Case& c : cases) {
    TViewInWindow w(c.viewW, c.viewH);
    w.view->WriteBackground(0x00112233);
    w.SetPicture(c.bw, c.bh);
    w.view->SetZoom(c.zoom);
    w.view->SetViewXY(c.viewX, c.viewY);
    w.Paint();
    EXPECT_EQ(w.view->SnapViewX(w.view->FViewX), c.originX);
    ExpectPicture(w, c.bw, c.bh, c.zoom, c.originX, c.originY);
  }
}

TEST_F(ViewZoom, LoadedThroughTheViewsOwnIOAndZoomed) {
  // A picture saved to a file and loaded through the view's own I/O component.
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "rastova_view_load.png";
  {
    TRVBitmap picture;
    FillPicture(picture, 9, 7);
    TRastovaIO saver(&picture);
    saver.SaveToFile(file.string());
  }
  TViewInWindow w(40, 30);
  w.view->WriteBackground(0x00112233);
  w.view->GetIO()->LoadFromFile(file.string());
  std::filesystem::remove(file);
  ASSERT_EQ(w.view->GetRVBitmap()->GetWidth(), 9);
  w.view->SetZoom(200);
  w.Paint();
  // Centred, every pixel a 2 x 2 block.
  EXPECT_EQ(w.view->FOffsetX, (40 - 18) / 2);
  EXPECT_EQ(w.view->FOffsetY, (30 - 14) / 2);
  ExpectPicture(w, 9, 7, 200, 0, 0);
  // At 1600 % the asked bitmap pixel lies at the client's top-left.
  w.view->SetZoom(1600);
  w.view->SetViewXY(5 * 16, 4 * 16);
  w.Paint();
  EXPECT_TRUE(SurfacePixel(*w.view, 0, 0) == PictureColour(5, 4));
  EXPECT_TRUE(SurfacePixel(*w.view, 15, 15) == PictureColour(5, 4));
  EXPECT_TRUE(SurfacePixel(*w.view, 16, 0) == PictureColour(6, 4));
  EXPECT_EQ(w.view->XScr2Bmp(0), 5);
  EXPECT_EQ(w.view->XBmp2Scr(6), 16);
}

TEST_F(ViewZoom, MetafileDrawnThroughTheViewsOwnIO) {
  // An EMF written by hand: bounds (0, 0)-(9, 7), a red brush, no pen, a rectangle (2, 2)-(8, 6).
  std::vector<uint8_t> emf;
  auto put = [&](std::initializer_list<uint32_t> words) {
    for (uint32_t v : words)
      for (int i = 0; i < 4; ++i) emf.push_back(uint8_t(v >> (8 * i)));
  };
  put({1, 108, 0, 0, 9, 7, 0, 0, 264, 211, 0x464D4520, 0x10000, 108 + 24 + 12 + 12 + 24 + 20, 6, 2, 0, 0, 0,
       1000, 1000, 265, 265, 0, 0, 0, 0, 0});
  put({39, 24, 1, 0, 0x0000FF, 0});  // brush 1: solid, red
  put({37, 12, 1});                  // selected
  put({37, 12, 0x80000008});         // the stock null pen
  put({43, 24, 2, 2, 8, 6});         // rectangle
  put({14, 20, 0, 16, 20});          // end of file
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "rastova_view_load.emf";
  {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(emf.data()), std::streamsize(emf.size()));
  }
  TViewInWindow w(40, 30);
  w.view->WriteBackground(0x00112233);
  w.view->GetIO()->LoadFromFile(file.string());
  std::filesystem::remove(file);
  ASSERT_FALSE(w.view->GetIO()->Aborting);
  ASSERT_EQ(w.view->GetRVBitmap()->GetWidth(), 10);
  ASSERT_EQ(w.view->GetRVBitmap()->GetHeight(), 8);
  w.view->SetZoom(200);
  w.Paint();
  // Centred, every pixel a 2 x 2 block: picture pixel (4, 3) lies inside the rectangle.
  const int32_t x0 = (40 - 20) / 2, y0 = (30 - 16) / 2;
  const TRGB inside = SurfacePixel(*w.view, x0 + 2 * 4, y0 + 2 * 3);
  EXPECT_TRUE(inside.r == 255 && inside.g == 0 && inside.b == 0)
      << int(inside.r) << "," << int(inside.g) << "," << int(inside.b);
}

TEST_F(ViewZoom, MaximumOriginNearTheViewSize) {
  struct Case {
    int32_t extra, maxX;
  } cases[] = {{0, 0}, {5, 5}, {20, 21}};
  for (const Case& c : cases) {
    TViewInWindow w(100, 60, true);
    w.SetPicture(100 + c.extra, 10);
    int32_t mx = -1, my = -1;
    w.view->GetMaxViewXY(mx, my);
    EXPECT_EQ(mx, c.maxX) << c.extra;
    EXPECT_EQ(my, 0);
    EXPECT_EQ(w.view->FHScrollVisible, c.maxX > 0);
  }
}

TEST_F(ViewZoom, ZoomKeepsTheCentreColumn) {
  TViewInWindow w(100, 40);
  FillPicture(*w.view->GetRVBitmap(), 300, 20);
  w.view->Update();
  w.view->SetViewXY(100, 0);
  EXPECT_EQ(w.view->XScr2Bmp(50), 150);
  w.view->SetZoom(200);
  EXPECT_EQ(w.view->FViewX, 250);
  EXPECT_EQ(w.view->XScr2Bmp(50), 150);
  // At the edge the origin is clamped.
  w.view->SetViewXY(10000, 0);
  EXPECT_EQ(w.view->FViewX, 500);
  w.view->SetZoom(100);
  EXPECT_EQ(w.view->FViewX, 200);
}

TEST_F(ViewZoom, ZoomAtKeepsThePointUnderTheMouse) {
  TViewInWindow w(120, 90);
  FillPicture(*w.view->GetRVBitmap(), 400, 300);
  w.view->Update();
  w.view->SetViewXY(60, 40);
  const int32_t mx = 37, my = 23;
  for (double z : {150.0, 230.0, 400.0, 170.0, 90.0, 310.0}) {
    const int32_t bx = w.view->XScr2Bmp(mx), by = w.view->YScr2Bmp(my);
    w.view->ZoomAt(mx, my, false, z);
    EXPECT_EQ(w.view->FZoomX, z);
    EXPECT_LE(std::abs(w.view->XScr2Bmp(mx) - bx), 1) << z;
    EXPECT_LE(std::abs(w.view->YScr2Bmp(my) - by), 1) << z;
  }
}

TEST_F(ViewZoom, RefusedZooms) {
  TRastovaView v;
  FillPicture(*v.GetRVBitmap(), 1000, 10);
  v.Update();
  int changing = 0;
  v.FOnViewChanging = [&](TRastovaView*, int32_t change, double) { changing += change == 2; };
  const double huge = double(kMaxZoomedSize) / 1000 * 100 * 1.001;
  for (double z :
       {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    v.SetZoom(z);
    v.SetZoomX(z);
    v.SetZoomY(z);
    EXPECT_EQ(v.FZoomX, 100.0) << z;
    EXPECT_EQ(v.FZoomY, 100.0) << z;
  }
  // Too wide a zoomed image (the picture is 1000 pixels wide, 10 high).
  v.SetZoom(huge);
  v.SetZoomX(huge);
  EXPECT_EQ(v.FZoomX, 100.0);
  EXPECT_EQ(v.FZoomY, 100.0);
  EXPECT_EQ(changing, 14);
  v.SetZoom(huge / 1.01);
  EXPECT_NE(v.FZoomX, 100.0);
  EXPECT_LE(v.FZoomedWidth, kMaxZoomedSize);
}

TEST_F(ViewZoom, ThumbDragWithoutTrackingDoesNotScroll) {
  TViewInWindow w(100, 80, true);
  FillPicture(*w.view->GetRVBitmap(), 400, 300);
  w.view->Update();
  ASSERT_TRUE(w.view->FHScrollVisible);
  w.view->FHScrollParams->Tracking = false;
  const int32_t pos = common::TruncInt(150 / w.view->FHScrollUnit);
  platform::ReportScrollAction(w.view, platform::SB_HORZ, platform::SB_THUMBTRACK, pos);
  EXPECT_EQ(w.view->FViewX, 0);
  platform::ReportScrollAction(w.view, platform::SB_HORZ, platform::SB_THUMBPOSITION, pos);
  EXPECT_NEAR(w.view->FViewX, 150, 1);
  // With tracking the drag scrolls; the arrows move one zoomed pixel, a page the view width.
  w.view->FVScrollParams->Tracking = true;
  platform::ReportScrollAction(w.view, platform::SB_VERT, platform::SB_THUMBTRACK,
                               common::TruncInt(30 / w.view->FVScrollUnit));
  EXPECT_NEAR(w.view->FViewY, 30, 1);
  const int32_t y = w.view->FViewY;
  platform::ReportScrollAction(w.view, platform::SB_VERT, platform::SB_LINEDOWN, 0);
  EXPECT_EQ(w.view->FViewY, y + 1);
  const int32_t x = w.view->FViewX;
  platform::ReportScrollAction(w.view, platform::SB_HORZ, platform::SB_PAGEUP, 0);
  EXPECT_EQ(w.view->FViewX, std::max(0, x - w.view->GetViewWidth()));
  platform::ReportScrollAction(w.view, platform::SB_VERT, platform::SB_TOP, 0);
  EXPECT_EQ(w.view->FViewY, 0);
}

TEST_F(ViewZoom, WheelNotchesZoomByEightPerCent) {
  struct Case {
    double from;
    std::vector<int> deltas;  // angle deltas sent, in eighths of a degree
    double to;
  } cases[] = {
      {100, {120}, 92},
      {100, {-120}, 108},
      {5, {120}, 4},
      {5, {-120}, 6},
      {100, {60}, 100},
      {100, {60, 60}, 92},
      {100, {-40, -40, -40}, 108},
      {100, {120, 120}, 85},
  };
  for (const Case& c : cases) {
    TViewInWindow w(80, 60);
    FillPicture(*w.view->GetRVBitmap(), 50, 40);
    w.view->Update();
    w.view->SetZoom(c.from);
    for (int d : c.deltas) {
      QWheelEvent e(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, d), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(w.view, &e);
    }
    EXPECT_DOUBLE_EQ(w.view->FZoomX, c.to) << c.from;
  }
}

TEST_F(ViewZoom, SnapAndSourceRectAtTwoHundredFiftyPerCent) {
  TViewInWindow w(23, 20);
  FillPicture(*w.view->GetRVBitmap(), 40, 30);
  w.view->Update();
  w.view->SetZoom(250);
  w.Paint();
  for (int32_t x = 0; x < 60; ++x) {
    const int32_t b = common::TruncInt(x * 0.4);
    int32_t first = x;
    while (first > 0 && common::TruncInt((first - 1) * 0.4) == b) --first;
    EXPECT_EQ(w.view->SnapViewX(x), first) << x;
  }
  // 23 view columns at 2.5 show 9.2 bitmap columns: the partly visible tenth counts.
  EXPECT_EQ(w.view->FSrcWidth, 10);
  EXPECT_GE(w.view->FDstWidth, 23);
}

TEST_F(ViewZoom, CentringAndNoCentring) {
  TViewInWindow w(50, 40);
  FillPicture(*w.view->GetRVBitmap(), 20, 10);
  w.view->Update();
  EXPECT_EQ(w.view->FOffsetX, 15);
  EXPECT_EQ(w.view->FOffsetY, 15);
  w.view->WriteCenter(false);
  EXPECT_EQ(w.view->FOffsetX, 0);
  EXPECT_EQ(w.view->FOffsetY, 0);
}

TEST_F(ViewZoom, FitAndAutoFit) {
  TViewInWindow w(100, 50);
  FillPicture(*w.view->GetRVBitmap(), 400, 100);
  w.view->Update();
  w.view->Fit();
  EXPECT_DOUBLE_EQ(w.view->FZoomX, 25);
  w.view->FAutoFit = true;
  FillPicture(*w.view->GetRVBitmap(), 20, 10);
  w.view->Update();
  EXPECT_DOUBLE_EQ(w.view->FZoomX, 500);
}

TEST_F(ViewZoom, FilteredPictureMatchesTheResampledImage) {
  // With a linear filter the shown picture is the image resampled to its zoomed size (within 1
  // per channel), centred as the nearest one is.
  TViewInWindow w(40, 34);
  w.SetPicture(12, 10);
  w.view->WriteZoomFilter(rfLinear);
  w.view->SetZoom(250);
  w.Paint();
  TRVBitmap resampled(30, 25, rv24RGB);
  ResampleBitmap(*w.view->GetRVBitmap(), resampled, rfLinear, TRVProgressEvent(), nullptr);
  const int32_t ox = w.view->FOffsetX, oy = w.view->FOffsetY;
  ASSERT_EQ(ox, 5);
  ASSERT_EQ(oy, 4);
  int worst = 0;
  for (int32_t y = 0; y < 25; ++y)
    for (int32_t x = 0; x < 30; ++x) {
      const TRGB a = SurfacePixel(*w.view, ox + x, oy + y), b = resampled.GetPixels_rv24RGB(x, y);
      worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    }
  EXPECT_LE(worst, 1);
}

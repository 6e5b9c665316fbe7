// Update and painting: the back buffer, the delayed filtered repaint, the selection border, the
// grid, the version label and the messages of background work.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

#include "common/MainThreadQueue.h"
#include "rastova/codecs/video/RVDirectShow.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using ViewPaint = rv::viewtest::ViewLibraryTest;
using namespace rv::viewtest;

TEST_F(ViewPaint, CleanBackBufferIsCopiedNotComposed) {
  TViewInWindow w(30, 20);
  w.SetPicture(10, 8);
  int composed = 0;
  w.view->FOnDrawBackBuffer = [&](TRastovaView*) { ++composed; };
  w.Paint();
  EXPECT_EQ(composed, 1);
  EXPECT_FALSE(w.view->FBackBufferDirty);
  // A repaint of a part copies only that part of the clean buffer.
  w.view->Surface().Canvas().Brush.Color = platform::clLime;
  w.view->Surface().Canvas().FillRect(platform::Rect(0, 0, 30, 20));
  w.view->InvalidateRect(platform::Rect(12, 8, 14, 10));
  w.Paint();
  EXPECT_EQ(composed, 1);
  EXPECT_TRUE(SurfacePixel(*w.view, 12, 8) == PictureColour(2, 2));
  EXPECT_TRUE(SurfacePixel(*w.view, 20, 8) == (TRGB{0, 255, 0}));
  // Update makes it stale again.
  w.view->Update();
  w.Paint();
  EXPECT_EQ(composed, 2);
}

TEST_F(ViewPaint, DelayedFilterRepaintsAfterFourAnimationRuns) {
  TViewInWindow w(30, 30);
  w.SetPicture(12, 12);
  w.view->FDelayZoomFilter = true;
  w.view->WriteZoomFilter(rfLinear);
  w.view->SetZoom(300);
  w.view->FDelayZoomCountdown = 0;
  w.Paint();
  const TRGB filtered = SurfacePixel(*w.view, 4, 4);
  // A scroll step draws unfiltered at once (the paint counts as the first run).
  w.view->SetViewXY(3, 3);
  EXPECT_EQ(w.view->FDelayZoomCountdown, 3);
  const TRGB fast = SurfacePixel(*w.view, 1, 1);
  EXPECT_TRUE(fast == PictureColour(1, 1));
  for (int run = 0; run < 2; ++run) w.view->AnimateSelections(w.view, false);
  EXPECT_EQ(w.view->FDelayZoomCountdown, 1);
  EXPECT_FALSE(w.view->FBackBufferDirty);
  w.view->AnimateSelections(w.view, false);
  EXPECT_EQ(w.view->FDelayZoomCountdown, 0);
  EXPECT_TRUE(w.view->FBackBufferDirty);
  w.Paint();
  EXPECT_FALSE(SurfacePixel(*w.view, 1, 1) == fast);
  (void)filtered;
  // The timer ran while the countdowns were pending, and stops when nothing is left to do.
  ASSERT_NE(w.view->AnimTimer(), nullptr);
  w.view->FDelayScrollCountdown = 0;
  w.view->AnimateSelections(w.view, false);
  EXPECT_FALSE(w.view->AnimTimer()->Enabled());
}

TEST_F(ViewPaint, MaskBorderMarchesOnTheSurface) {
  TViewInWindow w(30, 30);
  w.SetPicture(10, 10);
  w.view->FSelectionMask->AddPolygons(1, std::vector<TRVPoint>{{2, 2}, {7, 2}, {7, 7}, {2, 7}}.data(), 4);
  ASSERT_FALSE(w.view->FSelectionMask->IsEmpty());
  w.view->FSelected = true;
  w.view->FSelectionPolygon->Visible = true;
  w.view->Update();
  w.Paint();
  const platform::TRect r = w.view->FSelectionScreenRect;
  EXPECT_LT(r.Left, r.Right);
  const int32_t ox = w.view->FOffsetX, oy = w.view->FOffsetY;
  const TRGB edge = SurfacePixel(*w.view, ox + 2, oy + 2);
  const bool blackOrWhite = edge == (TRGB{0, 0, 0}) || edge == (TRGB{255, 255, 255});
  EXPECT_TRUE(blackOrWhite);
  EXPECT_TRUE(SurfacePixel(*w.view, ox + 4, oy + 4) == PictureColour(4, 4));
  EXPECT_TRUE(w.view->AnimTimer()->Enabled());
  // A timer tick moves the phase.
  const int32_t phase = w.view->FSelectionAnimPhase;
  w.view->AnimateSelections(w.view->AnimTimer(), true);
  EXPECT_EQ(w.view->FSelectionAnimPhase, phase + 1);
  EXPECT_GE(w.view->AnimTimer()->Interval(), 210);
}

TEST_F(ViewPaint, MaskBorderRunsCrossingTheViewEdgesKeepTheirVisiblePart) {
  // A zoomed, scrolled picture wider and taller than a view whose width is no multiple of
  // eight: border runs start at the view's left edge and end past its right edge. The surface
  // must show exactly the border as drawn one pixel at a time, clipped to the view, and
  // nothing else.
  TViewInWindow w(37, 23);
  w.SetPicture(12, 12);
  w.view->SetZoom(400);
  w.view->SetViewXY(5, 5);
  w.Paint();
  const platform::TBitmap& s = w.view->Surface();
  std::vector<TRGB> before;
  for (int32_t y = 0; y < 23; ++y)
    for (int32_t x = 0; x < 37; ++x) before.push_back(SurfacePixel(*w.view, x, y));
  const std::vector<TRVPoint> shape{{1, 2}, {12, 2}, {12, 9}, {1, 9}, {TRVMask::kPolygonSeparator, 0},
                                    {3, 0}, {5, 0}, {5, 12}, {3, 12}};
  w.view->FSelectionMask->AddPolygons(1, shape.data(), int32_t(shape.size()));
  w.view->FSelected = true;
  w.view->FSelectionPolygon->Visible = true;
  w.view->Update();
  w.Paint();

  struct TPixels : TRVMaskPainter {
    std::map<std::pair<int32_t, int32_t>, TRGB> painted;
    void PaintPixel(int32_t x, int32_t y, const TRGB& c) override { painted[{x, y}] = c; }
    void InvertPixel(int32_t, int32_t) override {}
  } expected;
  const TRVLayer* l = w.view->GetCurrentLayer();
  ASSERT_NE(l, nullptr);
  const int32_t *d = l->DrawDest, *src = l->DrawSource;
  TRVMask::TRect rect;
  w.view->FSelectionMask->DrawSelectionBorder(expected, d[0], d[1], d[2], d[3], src[0], src[1], src[2], src[3],
                                              w.view->FSelectionAnimPhase, w.view->FSelectionColor2,
                                              w.view->FSelectionColor1, &rect);
  // The view draws only the visible part of the picture, which here starts at the selection's
  // left edge: runs start at the view's left edge and run past its right edge.
  bool atLeft = false, pastRight = false;
  for (const auto& [p, c] : expected.painted) {
    atLeft |= p.first == 0 && p.second >= 0 && p.second < s.Height();
    pastRight |= p.first >= s.Width() && p.second >= 0 && p.second < s.Height();
  }
  ASSERT_TRUE(atLeft && pastRight);
  int32_t bordered = 0;
  for (int32_t y = 0; y < 23; ++y)
    for (int32_t x = 0; x < 37; ++x) {
      const auto it = expected.painted.find({x, y});
      const TRGB want = it != expected.painted.end() ? it->second : before[size_t(y * 37 + x)];
      bordered += it != expected.painted.end();
      EXPECT_TRUE(SurfacePixel(*w.view, x, y) == want) << x << ", " << y;
    }
  EXPECT_GT(bordered, 37);
}

TEST_F(ViewPaint, GridOfThirdsAndVersionLabel) {
  TViewInWindow w(60, 40);
  w.view->WriteBackground(0x00FFFFFF);
  w.SetPicture(2, 2);
  w.Paint();
  w.view->FSelectionGridSize = 3;
  w.view->DrawGrid(30, 30, 0, 0);
  const TRGB grey{0xA0, 0xA0, 0xA0};
  EXPECT_TRUE(SurfacePixel(*w.view, 5, 10) == grey);
  EXPECT_TRUE(SurfacePixel(*w.view, 5, 20) == grey);
  EXPECT_TRUE(SurfacePixel(*w.view, 10, 5) == grey);
  EXPECT_TRUE(SurfacePixel(*w.view, 20, 5) == grey);
  EXPECT_FALSE(SurfacePixel(*w.view, 15, 5) == grey);
  w.view->FSelectionGridSize = 1;
  w.view->DrawGrid(0, 0, 30, 30);  // nothing
  w.view->WriteDrawVersion(true);
  int dark = 0;
  for (int32_t y = 25; y < 40; ++y)
    for (int32_t x = 0; x < 60; ++x) dark += SurfacePixel(*w.view, x, y).g < 100;
  EXPECT_GT(dark, 10);
  EXPECT_TRUE(SurfacePixel(*w.view, 59, 39) == (TRGB{255, 255, 255}));
}

TEST_F(ViewPaint, BackgroundWorkReachesTheViewOnTheMainThread) {
  TViewInWindow w(30, 20);
  const std::thread::id main = std::this_thread::get_id();
  int progress = -1, finished = 0;
  bool onMain = true;
  w.view->WriteOnProgress([&](TRastovaView*, int32_t per) {
    progress = per;
    onMain = onMain && std::this_thread::get_id() == main;
  });
  w.view->WriteOnFinishWork([&](TRastovaView*) { ++finished; });
  w.SetPicture(5, 5);
  w.view->FBackBufferDirty = false;
  std::thread worker([&] {
    w.view->PostViewMessage(RVM_PROGRESS, 42);
    w.view->PostViewMessage(RVM_UPDATE, 0);
    w.view->PostViewMessage(RVM_FINISHWORK, 0);
  });
  worker.join();
  EXPECT_EQ(progress, -1);
  common::TMainThreadQueue::Instance().Drain();
  EXPECT_EQ(progress, 42);
  EXPECT_EQ(finished, 1);
  EXPECT_TRUE(onMain);
  EXPECT_TRUE(w.view->FBackBufferDirty);
  // A message posted for a view that is gone meanwhile reaches nothing.
  auto* gone = new TRastovaView();
  gone->FOnProgress = [&](TRastovaView*, int32_t) { progress = -5; };
  gone->PostViewMessage(RVM_PROGRESS, 1);
  delete gone;
  common::TMainThreadQueue::Instance().Drain();
  EXPECT_EQ(progress, 42);
}

TEST_F(ViewPaint, HintAndNavigatorShading) {
  TViewInWindow w(60, 50);
  w.view->WriteBackground(0x00FFFFFF);
  w.SetPicture(40, 30);
  w.view->FHintText = "X=000 Y=000";
  w.view->FHintX = 2;
  w.view->FHintY = 2;
  w.Paint();
  // The translucent box starts 6 pixels in; the picture beyond it is untouched.
  EXPECT_FALSE(SurfacePixel(*w.view, 9, 9) == PictureColour(9 - w.view->FOffsetX, 9 - w.view->FOffsetY));
  EXPECT_TRUE(SurfacePixel(*w.view, 45, 39) == PictureColour(45 - w.view->FOffsetX, 39 - w.view->FOffsetY));
  w.view->FHintText.clear();
  w.view->FEnableInteractionHints = false;
  // A navigator darkens what lies outside the shown part of its main view.
  w.view->FIsNavigator = true;
  w.view->FNavigatorOptions = 2;
  const int32_t ox = w.view->FOffsetX, oy = w.view->FOffsetY;
  w.view->FSelectionScreenRect = platform::Rect(ox + 10, oy + 10, ox + 20, oy + 20);
  w.view->Update();
  w.Paint();
  const TRGB outside = SurfacePixel(*w.view, ox + 2, oy + 2),
             inside = SurfacePixel(*w.view, ox + 15, oy + 15);
  EXPECT_LT(outside.g, PictureColour(2, 2).g);
  EXPECT_TRUE(inside == PictureColour(15, 15));
}

TEST_F(ViewPaint, PixelGridAtFourHundredPerCent) {
  TViewInWindow w(40, 40);
  w.view->WriteBackground(0x00FFFFFF);
  w.SetPicture(10, 10);
  w.view->FDisplayGrid = true;
  w.view->SetZoom(400);
  w.Paint();
  const TRVLayer& l = *w.view->GetLayer(0);
  ASSERT_EQ(l.DrawSource[2], 10);
  // The grid inverts the first column of every zoomed pixel: 10 lines over the 40 columns (the
  // eleventh lies on the right edge, outside the view).
  int lines = 0;
  for (int32_t x = 0; x < 40; ++x) {
    const TRGB p = SurfacePixel(*w.view, x, 1);
    const TRGB want = PictureColour(x / 4, 0);
    lines += p.r == uint8_t(~want.r) && p.g == uint8_t(~want.g);
  }
  EXPECT_EQ(lines, 10);
}

TEST_F(ViewPaint, AnAsynchronousLoadReportsOnTheMainThread) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "rastova_view_async.png";
  {
    TRVBitmap picture;
    FillPicture(picture, 64, 48);
    TRastovaIO saver(&picture);
    saver.SaveToFile(file.string());
  }
  TViewInWindow w(30, 20);
  const std::thread::id main = std::this_thread::get_id();
  int progressCalls = 0, finished = 0;
  bool onMain = true;
  w.view->WriteOnProgress([&](TRastovaView*, int32_t) {
    ++progressCalls;
    onMain = onMain && std::this_thread::get_id() == main;
  });
  w.view->WriteOnFinishWork([&](TRastovaView*) {
    ++finished;
    onMain = onMain && std::this_thread::get_id() == main;
  });
  TRastovaIO* io = w.view->GetIO();
  EXPECT_TRUE(static_cast<TRVIOView*>(w.view)->HasParent());
  EXPECT_EQ(io->GetDShowParams()->NotifyWindow(), w.view->GetWindowHandle());
  io->Asynchronous = true;
  io->LoadFromFile(file.string());
  io->WaitThreads(false);
  common::TMainThreadQueue::Instance().Drain();
  std::filesystem::remove(file);
  EXPECT_EQ(finished, 1);
  EXPECT_TRUE(onMain);
  EXPECT_EQ(w.view->GetRVBitmap()->GetWidth(), 64);
  w.Paint();
  EXPECT_TRUE(SurfacePixel(*w.view, 3, 2) == PictureColour(3, 2));
  (void)progressCalls;
}

TEST_F(ViewPaint, HatchedBackgroundsShowNothingOfAnEarlierPicture) {
  // A 10 x 10 picture shown at 1000 % fills the back buffer; back at 100 % the 9,900 pixels
  // around it are background: hatch lines in the background colour over white gaps, none of
  // them a colour of the picture left in the reused buffer.
  const TRVBackgroundStyle styles[] = {rvbsHorizontal, rvbsVertical, rvbsFDiagonal,
                                       rvbsBDiagonal,  rvbsCross,    rvbsDiagCross};
  constexpr TRGB kLine{0, 0, 255}, kGap{255, 255, 255};
  for (TRVBackgroundStyle s : styles) {
    SCOPED_TRACE(int(s));
    TViewInWindow w(100, 100);
    w.view->WriteCenter(false);
    w.view->WriteBackground(platform::clRed);
    w.view->WriteBackgroundStyle(s);
    w.SetPicture(10, 10);
    w.view->SetZoom(1000);
    w.Paint();
    w.view->SetZoom(100);
    w.Paint();
    int32_t lines = 0, gaps = 0;
    for (int32_t y = 0; y < 100; ++y)
      for (int32_t x = 0; x < 100; ++x) {
        if (x < 10 && y < 10) continue;
        const TRGB p = SurfacePixel(*w.view, x, y);
        ASSERT_TRUE(p == kLine || p == kGap) << x << "," << y;
        lines += p == kLine;
        gaps += p == kGap;
      }
    EXPECT_GT(lines, 0);
    EXPECT_GT(gaps, lines);
  }
}

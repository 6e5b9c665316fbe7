// The image view's fields, properties, locks, on-demand objects and image operations.
#include <gtest/gtest.h>

#include <QWidget>

#include "rastova/view/core/RastovaView.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using RastovaView = rv::viewtest::ViewLibraryTest;

TEST_F(RastovaView, DefaultsAfterConstruction) {
  QWidget parent;
  auto* v = new TRastovaView(&parent);
  EXPECT_EQ(v->width(), 105);
  EXPECT_EQ(v->height(), 105);
  EXPECT_EQ(v->FZoomX, 100.0);
  EXPECT_EQ(v->FInvZoomY, 1.0);
  EXPECT_EQ(v->ReadCursor(), 1785);
  EXPECT_EQ(v->ScrollBars(), ssBoth);
  EXPECT_EQ(v->Background(), platform::clBtnFace);
  EXPECT_TRUE(v->LegacyBitmap());
  ASSERT_NE(v->GetBitmap(), nullptr);
  EXPECT_EQ(v->GetLayersCount(), 1);
  EXPECT_TRUE(v->GetLayer(0)->Locked);
  EXPECT_FALSE(v->GetLayer(0)->ShowBox);
  EXPECT_EQ(v->GetLayer(0)->Bitmap, v->GetRVBitmap());
  EXPECT_EQ(v->BackBuffer()->GetWidth(), 10);
  EXPECT_EQ(v->BackBuffer()->GetLocation(), rvTBitmap);
  EXPECT_NE(v->FSelectionPolygon, nullptr);
  EXPECT_NE(v->FSelectionMask, nullptr);
  viewtest::FillPicture(*v->GetRVBitmap(), 7, 3);
  v->Update();
  EXPECT_EQ(v->FSelectionMask->BitsPerPixel(), 1);
  EXPECT_EQ(v->FSelectionMask->Width(), 7);
  EXPECT_TRUE(v->FHasOwner);
  EXPECT_NE(v->AnimTimer(), nullptr);
  EXPECT_EQ(v->RastovaVersion(), "3.1.2");
}

TEST_F(RastovaView, AViewWithoutOwnerHasFiftyPixelsAndNoTimer) {
  TRastovaView v;
  EXPECT_FALSE(v.FHasOwner);
  EXPECT_EQ(v.GetViewWidth(), 50);
  EXPECT_EQ(v.GetViewHeight(), 50);
  v.AnimateSelections(&v, false);
  v.PaintControl();
  EXPECT_EQ(v.AnimTimer(), nullptr);
  EXPECT_TRUE(v.FCursorPending);
}

TEST_F(RastovaView, SetBoundsPlacesTheControlAndKeepsItsImage) {
  QWidget parent;
  auto* v = new TRastovaView(&parent);
  viewtest::FillPicture(*v->GetRVBitmap(), 7, 3);
  v->SetBounds(10, 20, 300, 200);
  EXPECT_EQ(v->geometry(), QRect(10, 20, 300, 200));
  EXPECT_EQ(v->GetRVBitmap()->GetWidth(), 7);
  v->SetBounds(0, 0, -5, 40);  // no negative sizes
  EXPECT_EQ(v->width(), 0);
}

TEST_F(RastovaView, IsEmptyBySize) {
  struct Case {
    int32_t w, h;
    bool empty;
  } cases[] = {{0, 0, true}, {1, 1, true}, {1, 5, false}, {5, 1, false}, {2, 2, false}};
  TRastovaView v;
  for (const Case& c : cases) {
    if (c.w == 0)
      v.GetRVBitmap()->FreeImage(true);
    else
      v.GetRVBitmap()->Allocate(c.w, c.h, rv24RGB);
    EXPECT_EQ(v.IsEmpty(), c.empty) << c.w << " x " << c.h;
  }
}

TEST_F(RastovaView, LocksCountAndNeverGoBelowZero) {
  TRastovaView v;
  EXPECT_EQ(v.UnlockPaintNoRefresh(), 0);
  v.FBackBufferDirty = false;
  // Unlocking without a lock leaves 0 and updates.
  EXPECT_EQ(v.UnlockPaint(), 0);
  EXPECT_TRUE(v.FBackBufferDirty);
  v.LockPaint();
  v.LockPaint();
  EXPECT_EQ(v.UnlockPaintNoRefresh(), 1);
  v.FBackBufferDirty = false;
  EXPECT_EQ(v.UnlockPaint(), 0);
  EXPECT_TRUE(v.FBackBufferDirty);
  v.UnlockUpdateNoRefresh();
  EXPECT_EQ(v.UpdateLockCount(), 0);
  // Update does nothing inside the update lock; UnlockUpdate brings it up to date.
  v.LockUpdate();
  v.FBackBufferDirty = false;
  v.Update();
  EXPECT_FALSE(v.FBackBufferDirty);
  v.UnlockUpdate();
  EXPECT_TRUE(v.FBackBufferDirty);
  EXPECT_EQ(v.UpdateLockCount(), 0);
}

TEST_F(RastovaView, MouseInteractKeepsCompatibleItems) {
  const auto S = [](std::initializer_list<TRVMouseInteractItems> i) { return MouseInteractOf(i); };
  struct Case {
    TRVMouseInteract current, value, stored;
  } cases[] = {
      {0, S({miSelect, miScroll}), S({miScroll})},
      {S({miScroll}), S({miZoom, miScroll}), S({miZoom, miScroll})},
      {S({miSelect}), S({miMoveLayers, miSelect}), S({miMoveLayers})},
      {0, S({miSelectPolygon, miZoom}), S({miSelectPolygon})},
      {0, S({miZoom, miSelectMagicWand}), S({miZoom})},
      {0, S({miSelectMagicWand, miMovingScroll, miScroll}), S({miScroll, miMovingScroll})},
      {0, S({miRotateLayers, miResizeLayers, miMovingScroll}), S({miRotateLayers, miMovingScroll})},
      {0, S({miMoveLayers, miResizeLayers}), S({miMoveLayers, miResizeLayers})},
      {0, S({miResizeLayers, miSelectMagicWand}), S({miSelectMagicWand})},
      {S({miZoom}), S({miZoom, miMovingScroll}), S({miZoom, miMovingScroll})},
  };
  for (const Case& c : cases) {
    TRastovaView v;
    v.FMouseInteract = c.current;
    v.WriteMouseInteract(c.value);
    EXPECT_EQ(v.MouseInteract(), c.stored) << c.current << " <- " << c.value;
  }
}

TEST_F(RastovaView, ZoomFilterOfTheSameValueOnlyStoresTheSavedFilter) {
  TRastovaView v;
  v.FSavedZoomFilter = rfLanczos3;
  v.FBackBufferDirty = false;
  v.WriteZoomFilter(rfNone);
  EXPECT_EQ(v.FSavedZoomFilter, rfNone);
  EXPECT_FALSE(v.FBackBufferDirty);
  v.WriteZoomFilter(rfLinear);
  EXPECT_EQ(v.ZoomFilter(), rfLinear);
  EXPECT_TRUE(v.FBackBufferDirty);
}

TEST_F(RastovaView, ComponentsMadeOnDemandAreAttachedAndPassEvents) {
  TRastovaView v;
  int progress = -1, finished = 0;
  v.WriteOnProgress([&](TRastovaView* s, int32_t per) { progress = s == &v ? per : -2; });
  TRastovaIO* io = v.GetIO();
  EXPECT_EQ(io, v.GetIO());
  EXPECT_EQ(io->GetAttachedView(), static_cast<TRVIOView*>(&v));
  ASSERT_TRUE(io->OnProgress);
  io->OnProgress(*io, 40);
  EXPECT_EQ(progress, 40);
  TRastovaProc* proc = v.GetProc();
  EXPECT_EQ(proc->GetAttachedRastova(), static_cast<IRVProcView*>(&v));
  EXPECT_EQ(proc->GetBitmap(), v.GetRVBitmap());
  ASSERT_TRUE(proc->OnProgress);
  proc->OnProgress(proc, 70);
  EXPECT_EQ(progress, 70);
  // A handler set later reaches both.
  v.WriteOnFinishWork([&](TRastovaView*) { ++finished; });
  ASSERT_TRUE(io->OnFinishWork);
  io->OnFinishWork(*io);
  proc->OnFinishWork(proc);
  EXPECT_EQ(finished, 2);
}

TEST_F(RastovaView, LegacyBitmapSwitchesStorage) {
  TRastovaView v;
  viewtest::FillPicture(*v.GetRVBitmap(), 6, 4);
  int changes = 0;
  v.AddBitmapChangeHandler([&](bool destroying) {
    if (!destroying) ++changes;  // the counter is gone when the view is destroyed
  });
  v.WriteLegacyBitmap(false);
  EXPECT_EQ(v.GetBitmap(), nullptr);
  EXPECT_NE(v.GetRVBitmap()->GetLocation(), rvTBitmap);
  v.WriteLegacyBitmap(true);
  ASSERT_NE(v.GetBitmap(), nullptr);
  EXPECT_EQ(v.GetBitmap()->Width(), 6);
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(v.GetRVBitmap()->GetPixels_rv24RGB(5, 3) == viewtest::PictureColour(5, 3));
}

TEST_F(RastovaView, BlankClearAndAssign) {
  TRastovaView a, b;
  viewtest::FillPicture(*a.GetRVBitmap(), 5, 3);
  a.GetRVBitmap()->AlphaBitmap();
  int changed = 0;
  b.FOnImageChange = [&](TRastovaView*) { ++changed; };
  b.Assign(&a);
  EXPECT_EQ(b.GetRVBitmap()->GetWidth(), 5);
  EXPECT_EQ(changed, 1);
  a.WriteBackground(0x00336699);
  a.Blank();
  EXPECT_FALSE(a.HasAlphaChannel());
  const TRGB p = a.GetRVBitmap()->GetPixels_rv24RGB(4, 2);
  EXPECT_EQ(p.r, 0x99);
  EXPECT_EQ(p.b, 0x33);
  a.Clear();
  EXPECT_EQ(a.GetRVBitmap()->GetWidth(), 1);
  EXPECT_TRUE(a.IsEmpty());
}

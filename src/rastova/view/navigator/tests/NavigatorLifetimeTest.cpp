// The navigator and its main view freed in either order, and the navigator's picture when the
// main view's current image is exchanged or freed: neither view keeps a pointer into the other
// once it is gone, and the navigator always shows an image that is alive.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWheelEvent>
#include <functional>

#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using namespace rv::viewtest;
using NavigatorLifetime = rv::viewtest::ViewLibraryTest;

namespace navlifetime {

void Wheel(QWidget* w, int delta) {
  QWheelEvent e(QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

// Everything a navigator does on its own: update, paint, a selection change and the wheel.
void Exercise(TRastovaView& nav) {
  nav.Update();
  nav.PaintPendingNow();
  nav.MoveSelectionBy(3, 2);
  nav.DoSelectionChanging();
  Wheel(&nav, 120);
  nav.PaintPendingNow();
}

TEST_F(NavigatorLifetime, EitherViewMayBeFreedFirst) {
  for (bool mainFirst : {true, false}) {
    TViewInWindow w{100, 80};
    w.SetPicture(300, 200);
    auto* nav = new TRastovaView(&w.parent);
    nav->resize(60, 40);
    w.view->SetZoom(200);
    w.view->SetNavigator(nav, 3);  // the wheel zooms the main view; the outside is shaded
    w.view->SetViewXY(40, 30);
    w.Paint();
    nav->PaintPendingNow();
    ASSERT_EQ(nav->GetRVBitmap(), w.view->GetRVBitmap());
    ASSERT_TRUE(nav->FIsNavigator);
    if (mainFirst) {
      delete w.view;
      w.view = nullptr;
      // Detached as by SetNavigator (nil): no handler into the freed view, and an image of its
      // own in place of the freed one.
      EXPECT_FALSE(nav->FIsNavigator) << mainFirst;
      EXPECT_FALSE(nav->FOnSelectionChanging) << mainFirst;
      EXPECT_FALSE(nav->FOnViewMouseWheel) << mainFirst;
      ASSERT_NE(nav->GetCurrentLayer(), nullptr);
      EXPECT_TRUE(nav->GetCurrentLayer()->OwnsBitmap) << mainFirst;
      EXPECT_EQ(nav->GetRVBitmap(), nav->GetCurrentLayer()->Bitmap) << mainFirst;
      Exercise(*nav);
      delete nav;
    } else {
      delete nav;
      EXPECT_TRUE(w.view->FNavigator.isNull());
      int changes = 0;
      w.view->FOnViewChange = [&](TRastovaView*, int32_t) { ++changes; };
      w.view->SetViewXY(10, 10);
      w.view->SetZoom(150);
      w.view->Update();
      w.Paint();
      EXPECT_EQ(changes, 2);
    }
  }
}

// The navigator shows the main view's current image without owning it: whatever replaces or
// frees that image (another current layer, a removed layer, an external picture given or taken
// back) leaves the navigator showing the image the main view shows now.
TEST_F(NavigatorLifetime, FollowsTheMainViewsCurrentImage) {
  TViewInWindow w{100, 80};
  TRastovaView& v = *w.view;
  w.SetPicture(120, 90);
  v.LayersAdd();
  FillPicture(*v.GetRVBitmap(), 40, 30);
  auto* nav = new TRastovaView(&w.parent);
  nav->resize(60, 40);
  v.SetNavigator(nav, 0);
  ASSERT_EQ(nav->GetRVBitmap(), v.GetRVBitmap());
  TRVBitmap external;
  FillPicture(external, 50, 20);
  struct Step {
    const char* what;
    std::function<void()> run;
  } steps[] = {
      {"remove the shown layer", [&] { v.LayersRemove(1); }},
      {"add a layer", [&] { v.LayersAdd(); }},
      {"make layer 0 current", [&] { v.SetCurrentLayer(0); }},
      {"show an external picture", [&] { v.SetExternalBitmap(&external); }},
      {"take it back", [&] { v.SetExternalBitmap(nullptr); }},
      {"clear the layers", [&] { v.LayersClear(); }},
      {"keep the image in memory", [&] { v.WriteLegacyBitmap(false); }},
      {"keep it in a platform bitmap", [&] { v.WriteLegacyBitmap(true); }},
  };
  for (const Step& s : steps) {
    s.run();
    EXPECT_EQ(nav->GetRVBitmap(), v.GetRVBitmap()) << s.what;
    EXPECT_EQ(nav->GetBitmap(), v.GetBitmap()) << s.what;
    EXPECT_FALSE(nav->GetCurrentLayer()->OwnsBitmap) << s.what;
    nav->Update();
    nav->PaintPendingNow();
  }
  v.SetNavigator(nullptr, 0);
  EXPECT_TRUE(nav->GetCurrentLayer()->OwnsBitmap);
  EXPECT_NE(nav->GetRVBitmap(), v.GetRVBitmap());
  nav->Update();
  nav->PaintPendingNow();
}

// A view is not its own navigator, nor the navigator of a view that serves as its navigator
// however far down: each would show its own image back in place of the one it frees. Such a
// call changes nothing, and a chain of navigators follows its top view's image to the end.
TEST_F(NavigatorLifetime, NoViewNavigatesItsOwnImage) {
  QWidget parent;
  auto* a = new TRastovaView(&parent);
  auto* b = new TRastovaView(&parent);
  auto* c = new TRastovaView(&parent);
  FillPicture(*a->GetRVBitmap(), 30, 20);
  a->SetNavigator(a, 0);
  EXPECT_TRUE(a->FNavigator.isNull());
  a->SetNavigator(b, 0);
  b->SetNavigator(c, 0);
  for (TRastovaView* refused : {a, b}) {
    c->SetNavigator(refused, 0);
    EXPECT_TRUE(c->FNavigator.isNull());
  }
  b->SetNavigator(a, 0);
  EXPECT_EQ(b->FNavigator.data(), c);
  EXPECT_FALSE(a->FIsNavigator);
  // Down the chain: a's image through b to c, whatever a does with it.
  a->LayersAdd();
  EXPECT_EQ(c->GetRVBitmap(), a->GetRVBitmap());
  a->LayersRemove(1);
  EXPECT_EQ(b->GetRVBitmap(), a->GetRVBitmap());
  EXPECT_EQ(c->GetRVBitmap(), a->GetRVBitmap());
  // The middle view goes: c gets an image of its own and a forgets b.
  delete b;
  EXPECT_TRUE(a->FNavigator.isNull());
  EXPECT_TRUE(c->GetCurrentLayer()->OwnsBitmap);
  a->Update();
  c->Update();
  c->PaintPendingNow();
}

}  // namespace navlifetime

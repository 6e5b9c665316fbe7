// The view base: resolution, frame, mouse enter and leave, and the bitmap-change registry shared
// by the processing and I/O components.
#include <gtest/gtest.h>

#include <QEnterEvent>
#include <string>
#include <vector>

#include "platform/ui/tests/UiTestApp.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using ViewBase = rv::viewtest::ViewLibraryTest;

TEST_F(ViewBase, ResolutionIgnoresZero) {
  TRastovaView v;
  EXPECT_EQ(v.DpiX(), DefaultDpiX);
  v.SetDpiX(0);
  EXPECT_EQ(v.DpiX(), DefaultDpiX);
  v.SetDPI(0, 96);
  EXPECT_EQ(v.DpiX(), DefaultDpiX);
  EXPECT_EQ(v.DpiY(), 96);
  v.SetDPI(72, 0);
  EXPECT_EQ(v.DpiX(), 72);
  EXPECT_EQ(v.DpiY(), 96);
}

TEST_F(ViewBase, FrameChangesOnlyForANewValue) {
  QWidget parent;
  auto* v = new TRastovaView(&parent);
  v->WriteScrollBars(ssNone);
  v->resize(100, 80);
  EXPECT_EQ(v->ReadBorderStyle(), platform::bsSingle);
  EXPECT_TRUE(v->ReadCtl3D());
  EXPECT_EQ(v->GetViewWidth(), 96);  // a 2-pixel sunken edge
  int resizes = 0;
  v->OnResize = [&](platform::TControl*) { ++resizes; };
  v->WriteCtl3D(true);
  v->WriteBorderStyle(platform::bsSingle);
  EXPECT_EQ(resizes, 0);
  v->WriteCtl3D(false);
  EXPECT_EQ(v->GetViewWidth(), 98);
  v->WriteBorderStyle(platform::bsNone);
  EXPECT_EQ(v->GetViewWidth(), 100);
  EXPECT_EQ(resizes, 2);
}

TEST_F(ViewBase, MouseEnterAndLeaveNameTheView) {
  platform::test::App();
  TRastovaView v;
  std::vector<std::string> seen;
  v.OnMouseEnter = [&](platform::TControl* s) { seen.push_back(s == &v ? "enter" : "?"); };
  v.OnMouseLeave = [&](platform::TControl* s) { seen.push_back(s == &v ? "leave" : "?"); };
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(&v, &enter);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&v, &leave);
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "leave"}));
}

TEST_F(ViewBase, HandlersRunInOrderAndHearTheDestructionOnce) {
  std::vector<std::string> calls;
  auto* v = new TRastovaView();
  IRVProcView* procSide = v;
  TRVIOView* ioSide = v;
  procSide->AddBitmapChangeHandler([&](IRVProcView* s, bool d) {
    calls.push_back(std::string("a") + (d ? "D" : "") + (s == procSide ? "" : "?"));
  });
  void* b =
      ioSide->AddBitmapChangeHandler([&](bool d) { calls.push_back(std::string("b") + (d ? "D" : "")); });
  procSide->AddBitmapChangeHandler(
      [&](IRVProcView*, bool d) { calls.push_back(std::string("c") + (d ? "D" : "")); });
  EXPECT_EQ(v->BitmapChangeHandlerCount(), 3);
  // Unknown or null registrations change nothing.
  int unknown = 0;
  v->RemoveBitmapChangeHandler(nullptr);
  v->RemoveBitmapChangeHandler(&unknown);
  EXPECT_EQ(v->BitmapChangeHandlerCount(), 3);
  v->CallBitmapChangeHandlers();
  EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c"}));
  calls.clear();
  v->RemoveBitmapChangeHandler(b);
  v->CallBitmapChangeHandlers();
  EXPECT_EQ(calls, (std::vector<std::string>{"a", "c"}));
  calls.clear();
  delete v;
  EXPECT_EQ(calls, (std::vector<std::string>{"aD", "cD"}));
}

TEST_F(ViewBase, AttachedComponentsForgetADestroyedView) {
  auto* v = new TRastovaView();
  TRastovaIO io;
  TRastovaProc proc(nullptr);
  io.SetAttachedView(v);
  proc.SetAttachedRastova(v);
  EXPECT_EQ(v->BitmapChangeHandlerCount(), 2);
  EXPECT_EQ(io.GetAttachedRVBitmap(), v->GetRVBitmap());
  delete v;
  EXPECT_EQ(io.GetAttachedView(), nullptr);
  EXPECT_EQ(proc.GetAttachedRastova(), nullptr);
}

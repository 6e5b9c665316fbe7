// The window helpers: scroll-bar calls, the primary button and the owner's window.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <memory>

#include "platform/ui/tests/UiTestApp.h"
#include "rastova/view/RVWindowHelpers.h"

using namespace rv;

TEST(WindowHelpers, ScrollBarCallsSetTheWindowsBars) {
  platform::test::App();
  QWidget window;
  window.resize(160, 120);
  for (bool flat : {false, true}) {
    SetScrollBarInfo(&window, platform::SB_HORZ, 0, 499, 100, 450, true, flat);
    QScrollBar* bar = platform::WindowScrollBar(&window, platform::SB_HORZ);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value(), 400);  // 499 - 100 + 1 is the last position
    SetScrollBarPos(&window, platform::SB_HORZ, 12, true, flat);
    EXPECT_EQ(bar->value(), 12);
    SetScrollBarRange(&window, platform::SB_HORZ, 0, 50, true, flat);
    platform::TScrollInfo info;
    info.fMask = platform::SIF_ALL;
    ASSERT_TRUE(platform::GetScrollInfo(&window, platform::SB_HORZ, info));
    EXPECT_EQ(info.nMax, 50);
    EXPECT_EQ(info.nPage, 51u);  // the page is kept within the range
    EXPECT_EQ(info.nPos, 0);
    info.fMask = platform::SIF_POS;
    info.nPos = 3;
    EXPECT_EQ(SetScrollInfoEx(&window, platform::SB_HORZ, info, flat, true), 0);
    EXPECT_TRUE(ShowScrollBarEx(&window, platform::SB_HORZ, true, flat));
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(EnableScrollBarEx(&window, platform::SB_HORZ, platform::ESB_DISABLE_BOTH, flat));
    EXPECT_FALSE(bar->isEnabled());
    EXPECT_TRUE(ShowScrollBarEx(&window, platform::SB_BOTH, false, flat));
    EXPECT_TRUE(bar->isHidden());
  }
}

TEST(WindowHelpers, PrimaryButtonFollowsTheLeftButton) {
  platform::test::App();
  auto w = std::make_unique<QWidget>();
  w->resize(50, 50);
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  EXPECT_FALSE(PrimaryMouseButtonDown());
  bool downWhilePressed = false;
  QTest::mousePress(w.get(), Qt::LeftButton, {}, QPoint(5, 5));
  downWhilePressed = PrimaryMouseButtonDown();
  QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(downWhilePressed);
  EXPECT_FALSE(PrimaryMouseButtonDown());
  QTest::mousePress(w.get(), Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_FALSE(PrimaryMouseButtonDown());
  QTest::mouseRelease(w.get(), Qt::RightButton, {}, QPoint(5, 5));
}

TEST(WindowHelpers, OwnerWindowIsTheFirstNativeOne) {
  platform::test::App();
  EXPECT_EQ(OwnerWindowHandle(nullptr), 0u);
  auto top = std::make_unique<QWidget>();
  auto* child = new QWidget(top.get());
  auto* owned = new QObject(child);
  // No native window before the form is shown.
  EXPECT_EQ(OwnerWindowHandle(owned), 0u);
  top->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(top.get()));
  EXPECT_NE(top->internalWinId(), 0u);
  EXPECT_EQ(OwnerWindowHandle(owned), static_cast<uintptr_t>(top->winId()));
  EXPECT_EQ(OwnerWindowHandle(child), static_cast<uintptr_t>(top->winId()));
  QObject loose;
  EXPECT_EQ(OwnerWindowHandle(&loose), 0u);
}

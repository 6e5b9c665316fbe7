#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <memory>

#include "platform/ui/ScrollBars.h"
#include "platform/ui/tests/UiTestApp.h"

using namespace platform;

TEST(ScrollBars, RangePageAndPositionAsTheWindowSystemKeepsThem) {
  test::App();
  auto window = std::make_unique<QWidget>();
  window->resize(200, 100);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

  TScrollInfo info;
  info.fMask = SIF_ALL;
  info.nMin = 0;
  info.nMax = 99;
  info.nPage = 20;
  info.nPos = 90;
  // The position stops where the page reaches the end of the range.
  EXPECT_EQ(SetScrollInfo(window.get(), SB_VERT, info, true), 80);
  TScrollInfo back;
  back.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(window.get(), SB_VERT, back));
  EXPECT_EQ(back.nMin, 0);
  EXPECT_EQ(back.nMax, 99);
  EXPECT_EQ(back.nPage, 20u);
  EXPECT_EQ(back.nPos, 80);
  QScrollBar* vert = WindowScrollBar(window.get(), SB_VERT);
  ASSERT_NE(vert, nullptr);
  EXPECT_TRUE(vert->isVisible());
  EXPECT_EQ(vert->geometry(),
            QRect(200 - ScrollBarExtent(window.get()), 0, ScrollBarExtent(window.get()), 100));

  // Only the position: it is kept in range.
  info.fMask = SIF_POS;
  info.nPos = -7;
  EXPECT_EQ(SetScrollInfo(window.get(), SB_VERT, info, false), 0);

  // Nothing to scroll: hidden, or with SIF_DISABLENOSCROLL shown disabled; the page is clamped.
  info.fMask = SIF_RANGE | SIF_PAGE;
  info.nMax = 10;
  info.nPage = 50;
  SetScrollInfo(window.get(), SB_HORZ, info, true);
  QScrollBar* horz = WindowScrollBar(window.get(), SB_HORZ);
  EXPECT_FALSE(horz->isVisible());
  back.fMask = SIF_PAGE;
  GetScrollInfo(window.get(), SB_HORZ, back);
  EXPECT_EQ(back.nPage, 11u);
  info.fMask |= SIF_DISABLENOSCROLL;
  SetScrollInfo(window.get(), SB_HORZ, info, true);
  EXPECT_TRUE(horz->isVisible());
  EXPECT_FALSE(horz->isEnabled());
  // With both bars shown the vertical one stops above the horizontal one.
  EXPECT_EQ(vert->height(), 100 - ScrollBarExtent(window.get()));

  EXPECT_TRUE(EnableScrollBar(window.get(), SB_BOTH, ESB_DISABLE_BOTH));
  EXPECT_FALSE(vert->isEnabled());
  EXPECT_TRUE(EnableScrollBar(window.get(), SB_VERT, ESB_DISABLE_LTUP));
  EXPECT_TRUE(vert->isEnabled());
  EXPECT_TRUE(ShowScrollBar(window.get(), SB_BOTH, false));
  EXPECT_FALSE(vert->isVisible());
  EXPECT_FALSE(horz->isVisible());

  // Bars other than the window's two, and no window, change nothing.
  EXPECT_EQ(SetScrollInfo(window.get(), SB_CTL, info, true), 0);
  EXPECT_EQ(SetScrollInfo(nullptr, SB_VERT, info, true), 0);
  EXPECT_FALSE(GetScrollInfo(window.get(), SB_BOTH, back));
  EXPECT_FALSE(ShowScrollBar(window.get(), 7, true));
  EXPECT_FALSE(EnableScrollBar(nullptr, SB_BOTH, ESB_ENABLE_BOTH));
  EXPECT_EQ(WindowScrollBar(window.get(), SB_CTL), nullptr);
}

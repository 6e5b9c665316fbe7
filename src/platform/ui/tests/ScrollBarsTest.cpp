#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWidget>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/ui/Control.h"
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

namespace {

struct ScrollRecord {
  int32_t bar, code, pos;
  friend bool operator==(const ScrollRecord&, const ScrollRecord&) = default;
};

std::ostream& operator<<(std::ostream& os, const ScrollRecord& r) {
  return os << "{" << r.bar << "," << r.code << "," << r.pos << "}";
}

// A shown control of 200 x 100 whose scroll actions are recorded.
struct FramedControl {
  FramedControl() {
    control.resize(200, 100);
    control.OnResize = [this](TControl*) { ++resizes; };
    control.OnScroll = [this](TControl*, int32_t bar, int32_t code, int32_t pos) {
      log.push_back({bar, code, pos});
    };
    control.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&control));
    resizes = 0;
  }
  bool app = (test::App(), true);  // before the control
  TCustomControl control;
  int resizes = 0;
  std::vector<ScrollRecord> log;
};

void ShowVerticalBar(QWidget* w, int32_t pos = 0) {
  TScrollInfo info;
  info.fMask = SIF_ALL;
  info.nMax = 65535;
  info.nPage = 10000;
  info.nPos = pos;
  SetScrollInfo(w, SB_VERT, info, true);
}

QRect SubControl(QScrollBar* bar, QStyle::SubControl which) {
  QStyleOptionSlider o;
  o.initFrom(bar);
  o.subControls = QStyle::SC_All;
  o.orientation = bar->orientation();
  o.minimum = bar->minimum();
  o.maximum = bar->maximum();
  o.sliderPosition = bar->sliderPosition();
  o.sliderValue = bar->value();
  o.singleStep = bar->singleStep();
  o.pageStep = bar->pageStep();
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &o, which, bar);
}

}  // namespace

TEST(WindowFrame, ClientAreaShrinksByTheFrameAndTheBarsShown) {
  FramedControl f;
  TCustomControl& c = f.control;
  const int ext = ScrollBarExtent(&c);
  struct Step {
    TBorderStyle style;
    bool ctl3D, vert, horz;
    int clientW, clientH;
  } steps[] = {
      {bsNone, true, false, false, 200, 100},
      {bsSingle, true, false, false, 196, 96},
      {bsSingle, false, false, false, 198, 98},
      {bsSingle, false, true, false, 198 - ext, 98},
      {bsSingle, false, true, true, 198 - ext, 98 - ext},
      {bsSingle, true, true, true, 196 - ext, 96 - ext},
      {bsNone, true, false, true, 200, 100 - ext},
  };
  for (const Step& s : steps) {
    c.SetBorderStyle(s.style);
    c.SetCtl3D(s.ctl3D);
    ShowScrollBar(&c, SB_VERT, s.vert);
    ShowScrollBar(&c, SB_HORZ, s.horz);
    EXPECT_EQ(c.ClientWidth(), s.clientW) << s.style << s.ctl3D << s.vert << s.horz;
    EXPECT_EQ(c.ClientHeight(), s.clientH) << s.style << s.ctl3D << s.vert << s.horz;
    EXPECT_EQ(c.Surface().Width(), s.clientW);
    EXPECT_EQ(c.Surface().Height(), s.clientH);
    const int frame = c.FrameWidth();
    if (s.vert) {
      EXPECT_EQ(WindowScrollBar(&c, SB_VERT)->geometry(), QRect(frame + s.clientW, frame, ext, s.clientH));
    }
    if (s.horz) {
      EXPECT_EQ(WindowScrollBar(&c, SB_HORZ)->geometry(), QRect(frame, frame + s.clientH, s.clientW, ext));
    }
  }
  // Every change of the client area (the last step made two) and nothing else.
  EXPECT_EQ(f.resizes, 7);
  c.SetBorderStyle(bsNone);  // the value it has
  c.SetCtl3D(false);         // no frame, so the client area stays
  EXPECT_EQ(f.resizes, 7);
}

TEST(WindowFrame, FramePixelsAndClientCoordinates) {
  FramedControl f;
  TCustomControl& c = f.control;
  c.SetColor(clWhite);
  c.SetBorderStyle(bsSingle);
  c.Update();
  QImage shot = c.grab().toImage();
  const QColor shadow = ToQColor(clBtnShadow), dark = ToQColor(cl3DDkShadow),
               light = ToQColor(clBtnHighlight), face = ToQColor(cl3DLight);
  EXPECT_EQ(shot.pixelColor(0, 50), shadow);
  EXPECT_EQ(shot.pixelColor(100, 1), dark);
  EXPECT_EQ(shot.pixelColor(199, 50), light);
  EXPECT_EQ(shot.pixelColor(100, 98), face);
  EXPECT_EQ(shot.pixelColor(2, 2), QColor(Qt::white));
  c.SetCtl3D(false);
  c.Update();
  shot = c.grab().toImage();
  EXPECT_EQ(shot.pixelColor(0, 50), ToQColor(clWindowFrame));
  EXPECT_EQ(shot.pixelColor(1, 1), QColor(Qt::white));

  // Mouse positions are client positions; a press on the frame is not the client's.
  std::vector<TPoint> downs;
  c.OnMouseDown = [&](TControl*, TMouseButton, TShiftState, int x, int y) { downs.push_back({x, y}); };
  QTest::mouseClick(&c, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
  QTest::mouseClick(&c, Qt::LeftButton, Qt::NoModifier, QPoint(0, 20));
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0], (TPoint{9, 19}));
  EXPECT_EQ(c.ClientToScreen({0, 0}),
            (TPoint{c.mapToGlobal(QPoint(1, 1)).x(), c.mapToGlobal(QPoint(1, 1)).y()}));
}

TEST(WindowFrame, ScrollBarActionsArriveAsScrollCodes) {
  FramedControl f;
  TCustomControl& c = f.control;
  c.SetBorderStyle(bsSingle);
  ShowVerticalBar(&c, 20000);
  QScrollBar* bar = WindowScrollBar(&c, SB_VERT);
  const int start = bar->value();
  ASSERT_GT(start, 0);

  // An arrow, then the page below the thumb: the code, then the end of the scroll; the bar's
  // position waits for the window.
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                    SubControl(bar, QStyle::SC_ScrollBarAddLine).center());
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                    SubControl(bar, QStyle::SC_ScrollBarSubLine).center());
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                    SubControl(bar, QStyle::SC_ScrollBarAddPage).center());
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                    SubControl(bar, QStyle::SC_ScrollBarSubPage).center());
  const std::vector<ScrollRecord> clicks = {{SB_VERT, SB_LINEDOWN, start}, {SB_VERT, SB_ENDSCROLL, start},
                                            {SB_VERT, SB_LINEUP, start},   {SB_VERT, SB_ENDSCROLL, start},
                                            {SB_VERT, SB_PAGEDOWN, start}, {SB_VERT, SB_ENDSCROLL, start},
                                            {SB_VERT, SB_PAGEUP, start},   {SB_VERT, SB_ENDSCROLL, start}};
  EXPECT_EQ(f.log, clicks);
  EXPECT_EQ(bar->value(), start);

  // The thumb dragged: tracked positions while it moves, its position when released.
  f.log.clear();
  const QPoint thumb = SubControl(bar, QStyle::SC_ScrollBarSlider).center();
  QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, thumb);
  QMouseEvent move(QEvent::MouseMove, QPointF(thumb + QPoint(0, 20)),
                   bar->mapToGlobal(QPointF(thumb + QPoint(0, 20))), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(bar, &move);
  const int dragged = bar->sliderPosition();
  EXPECT_GT(dragged, start);
  QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, thumb + QPoint(0, 20));
  ASSERT_GE(f.log.size(), 3u);
  EXPECT_EQ(f.log[0].code, SB_THUMBTRACK);
  EXPECT_EQ(f.log[f.log.size() - 3], (ScrollRecord{SB_VERT, SB_THUMBTRACK, dragged}));
  EXPECT_EQ(f.log[f.log.size() - 2], (ScrollRecord{SB_VERT, SB_THUMBPOSITION, dragged}));
  EXPECT_EQ(f.log.back().code, SB_ENDSCROLL);
  EXPECT_EQ(bar->value(), start);  // the window did not scroll

  // To the top and the bottom; a disabled arrow does nothing.
  f.log.clear();
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EnableScrollBar(&c, SB_VERT, ESB_DISABLE_RTDN);
  EXPECT_TRUE(bar->isEnabled());
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                    SubControl(bar, QStyle::SC_ScrollBarAddLine).center());
  const std::vector<ScrollRecord> ends = {{SB_VERT, SB_TOP, start}, {SB_VERT, SB_BOTTOM, start}};
  EXPECT_EQ(f.log, ends);

  // The window that scrolls sets the position while it handles the code.
  f.log.clear();
  EnableScrollBar(&c, SB_VERT, ESB_ENABLE_BOTH);
  c.OnScroll = [&](TControl*, int32_t, int32_t code, int32_t) {
    if (code == SB_LINEDOWN) {
      TScrollInfo info;
      info.fMask = SIF_POS;
      info.nPos = start + 100;
      SetScrollInfo(&c, SB_VERT, info, true);
    }
  };
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                    SubControl(bar, QStyle::SC_ScrollBarAddLine).center());
  EXPECT_EQ(bar->value(), start + 100);
}

TEST(WindowFrame, ClickFocusForControlsThatTakeKeys) {
  test::App();
  QWidget window;
  window.resize(200, 100);
  auto* keys = new TCustomControl(&window);
  auto* other = new TCustomControl(&window);
  keys->setGeometry(0, 0, 100, 100);
  other->setGeometry(100, 0, 100, 100);
  keys->SetClickFocus(true);
  int entered = 0, exited = 0;
  keys->OnEnter = [&](TControl*) { ++entered; };
  keys->OnExit = [&](TControl*) { ++exited; };
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_TRUE(keys->ClickFocus());
  EXPECT_FALSE(other->ClickFocus());
  QTest::mouseClick(other, Qt::LeftButton);
  EXPECT_FALSE(other->Focused());
  QTest::mouseClick(keys, Qt::LeftButton);
  EXPECT_TRUE(keys->Focused());
  EXPECT_EQ(entered, 1);
  auto* edit = new TCustomControl(&window);
  edit->SetClickFocus(true);
  edit->setGeometry(100, 0, 50, 50);
  edit->show();
  edit->SetFocus();
  EXPECT_FALSE(keys->Focused());
  EXPECT_EQ(exited, 1);
}

#include "platform/ui/ScrollBars.h"

#include <QEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWidget>
#include <algorithm>

#include "platform/ui/Control.h"

namespace platform {

namespace {

// One bar of a window. It reports the user's actions to the window as scroll codes and, as on
// the window system, leaves its position to the window: an action moves the thumb only while
// it is dragged.
class TWindowScrollBar : public QScrollBar {
 public:
  TWindowScrollBar(Qt::Orientation orientation, QWidget* window, int32_t bar)
      : QScrollBar(orientation, window), window_(window), bar_(bar) {
    // The position follows the thumb when it is released; the track position shows it while
    // it is dragged.
    setTracking(false);
    setFocusPolicy(Qt::NoFocus);
    setRange(0, 0);
    hide();
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) { Action(action); });
    // Without tracking a dragged thumb moves no action, only this signal.
    connect(this, &QAbstractSlider::sliderMoved, this,
            [this](int position) { ReportScrollAction(window_, bar_, SB_THUMBTRACK, position); });
  }

  int32_t max = 0;
  uint32_t page = 0;
  uint32_t disabledArrows = ESB_ENABLE_BOTH;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (ArrowDisabled(event->position().toPoint())) return event->accept();
    pressed_ = true;
    QScrollBar::mousePressEvent(event);
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    const bool dragging = isSliderDown();
    const int32_t thumb = sliderPosition();
    releasing_ = true;
    QScrollBar::mouseReleaseEvent(event);
    releasing_ = false;
    if (!pressed_) return;
    if (event->buttons() != Qt::NoButton) return;
    pressed_ = false;
    if (dragging) ReportScrollAction(window_, bar_, SB_THUMBPOSITION, thumb);
    ReportScrollAction(window_, bar_, SB_ENDSCROLL, value());
  }

 private:
  // Whether the press at p falls on an arrow that is disabled.
  bool ArrowDisabled(QPoint p) const {
    if (disabledArrows == ESB_ENABLE_BOTH) return false;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QStyle::SubControl hit = style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option, p, this);
    return (hit == QStyle::SC_ScrollBarSubLine && (disabledArrows & ESB_DISABLE_LTUP)) ||
           (hit == QStyle::SC_ScrollBarAddLine && (disabledArrows & ESB_DISABLE_RTDN));
  }

  void Action(int action) {
    if (action == SliderMove && isSliderDown()) return;  // reported by sliderMoved
    // Every other action leaves the position as it is; the window moves it.
    setSliderPosition(value());
    if (releasing_) return;  // the thumb's release: reported as SB_THUMBPOSITION after it
    int32_t code;
    switch (action) {
      case SliderSingleStepAdd:
        code = SB_LINEDOWN;
        break;
      case SliderSingleStepSub:
        code = SB_LINEUP;
        break;
      case SliderPageStepAdd:
        code = SB_PAGEDOWN;
        break;
      case SliderPageStepSub:
        code = SB_PAGEUP;
        break;
      case SliderToMinimum:
        code = SB_TOP;
        break;
      case SliderToMaximum:
        code = SB_BOTTOM;
        break;
      default:
        return;
    }
    ReportScrollAction(window_, bar_, code, value());
  }

  QWidget* window_;
  int32_t bar_;
  bool pressed_ = false;
  bool releasing_ = false;
};

// The two bars of one window.
class TWindowScrollBars : public QObject {
 public:
  explicit TWindowScrollBars(QWidget* window) : QObject(window), window_(window) {
    setObjectName(kName);
    window->installEventFilter(this);
  }

  static TWindowScrollBars* Find(const QWidget* window) {
    // Only this class gives a child that name.
    return static_cast<TWindowScrollBars*>(window->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
  }

  static TWindowScrollBars* Of(QWidget* window) {
    TWindowScrollBars* host = Find(window);
    return host ? host : new TWindowScrollBars(window);
  }

  TWindowScrollBar& Get(int32_t bar) {
    TWindowScrollBar*& b = bar == SB_HORZ ? horz_ : vert_;
    if (b == nullptr) b = new TWindowScrollBar(bar == SB_HORZ ? Qt::Horizontal : Qt::Vertical, window_, bar);
    return *b;
  }

  bool Shown(int32_t bar) const {
    const TWindowScrollBar* b = bar == SB_HORZ ? horz_ : vert_;
    return b != nullptr && !b->isHidden();
  }

  void Layout() {
    auto* control = dynamic_cast<TControl*>(window_);
    const int frame = control ? control->FrameWidth() : 0;
    const int ext = ScrollBarExtent(window_), w = window_->width() - 2 * frame,
              h = window_->height() - 2 * frame;
    const bool horz = Shown(SB_HORZ), vert = Shown(SB_VERT);
    if (horz) {
      horz_->setGeometry(frame, frame + h - ext, std::max(w - (vert ? ext : 0), 0), ext);
      horz_->raise();
    }
    if (vert) {
      vert_->setGeometry(frame + w - ext, frame, ext, std::max(h - (horz ? ext : 0), 0));
      vert_->raise();
    }
  }

  // After a bar was shown or hidden: place the bars; a control's client area follows.
  void Changed() {
    if (auto* control = dynamic_cast<TControl*>(window_))
      control->ClientAreaChanged();
    else
      Layout();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Resize) Layout();
    return false;
  }

 private:
  static constexpr const char* kName = "platform.scrollbars";
  QWidget* window_;
  TWindowScrollBar* horz_ = nullptr;
  TWindowScrollBar* vert_ = nullptr;
};

bool OneBar(QWidget* window, int32_t bar) { return window != nullptr && (bar == SB_HORZ || bar == SB_VERT); }

// The bars SB_HORZ, SB_VERT or SB_BOTH name.
template <typename F>
bool ForBars(QWidget* window, int32_t bar, F f) {
  if (window == nullptr || (bar != SB_HORZ && bar != SB_VERT && bar != SB_BOTH)) return false;
  TWindowScrollBars* host = TWindowScrollBars::Of(window);
  if (bar != SB_VERT) f(host->Get(SB_HORZ));
  if (bar != SB_HORZ) f(host->Get(SB_VERT));
  host->Changed();
  return true;
}

}  // namespace

int32_t SetScrollInfo(QWidget* window, int32_t bar, const TScrollInfo& info, bool /*redraw*/) {
  if (!OneBar(window, bar)) return 0;
  TWindowScrollBars* host = TWindowScrollBars::Of(window);
  TWindowScrollBar& w = host->Get(bar);
  int32_t min = w.minimum(), pos = w.value();
  if (info.fMask & SIF_RANGE) {
    min = info.nMin;
    w.max = info.nMax;
  }
  if (info.fMask & SIF_PAGE) w.page = info.nPage;
  if (info.fMask & SIF_POS) pos = info.nPos;
  const int64_t span = std::max<int64_t>(int64_t(w.max) - min + 1, 0);
  w.page = static_cast<uint32_t>(std::min<int64_t>(w.page, span));
  const int64_t last = std::max<int64_t>(int64_t(w.max) - std::max<int64_t>(int64_t(w.page) - 1, 0), min);
  w.setRange(min, static_cast<int32_t>(last));
  w.setPageStep(static_cast<int>(std::max<uint32_t>(w.page, 1)));
  w.setValue(static_cast<int32_t>(std::clamp<int64_t>(pos, min, last)));
  if (info.fMask & (SIF_RANGE | SIF_PAGE)) {
    const bool scrollable = w.max > min && span > w.page;
    const bool shown = scrollable || (info.fMask & SIF_DISABLENOSCROLL) != 0;
    w.setEnabled(scrollable);
    if (shown != !w.isHidden()) {
      w.setVisible(shown);
      host->Changed();
    }
  }
  return w.value();
}

bool GetScrollInfo(QWidget* window, int32_t bar, TScrollInfo& info) {
  if (!OneBar(window, bar)) return false;
  TWindowScrollBar& w = TWindowScrollBars::Of(window)->Get(bar);
  if (info.fMask & SIF_RANGE) {
    info.nMin = w.minimum();
    info.nMax = w.max;
  }
  if (info.fMask & SIF_PAGE) info.nPage = w.page;
  if (info.fMask & SIF_POS) info.nPos = w.value();
  if (info.fMask & SIF_TRACKPOS) info.nTrackPos = w.sliderPosition();
  return true;
}

bool EnableScrollBar(QWidget* window, int32_t bar, uint32_t arrows) {
  return ForBars(window, bar, [&](TWindowScrollBar& w) {
    w.disabledArrows = arrows & ESB_DISABLE_BOTH;
    w.setEnabled(w.disabledArrows != ESB_DISABLE_BOTH);
  });
}

bool ShowScrollBar(QWidget* window, int32_t bar, bool show) {
  return ForBars(window, bar, [&](TWindowScrollBar& w) { w.setVisible(show); });
}

QScrollBar* WindowScrollBar(QWidget* window, int32_t bar) {
  return OneBar(window, bar) ? &TWindowScrollBars::Of(window)->Get(bar) : nullptr;
}

int32_t ScrollBarExtent(const QWidget* window) {
  return window ? window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window) : 0;
}

bool ScrollBarShown(const QWidget* window, int32_t bar) {
  if (window == nullptr) return false;
  const TWindowScrollBars* host = TWindowScrollBars::Find(window);
  return host != nullptr && host->Shown(bar);
}

void RelayoutScrollBars(QWidget* window) {
  if (TWindowScrollBars* host = window ? TWindowScrollBars::Find(window) : nullptr) host->Layout();
}

}  // namespace platform

#include "platform/ui/ScrollBars.h"

#include <QEvent>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace platform {

namespace {

// The two bars of one window and the parts of their state a Qt scroll bar does not keep.
class TWindowScrollBars : public QObject {
 public:
  struct Bar {
    QScrollBar* widget = nullptr;
    int32_t max = 0;
    uint32_t page = 0;
  };

  explicit TWindowScrollBars(QWidget* window) : QObject(window), window_(window) {
    setObjectName(kName);
    window->installEventFilter(this);
  }

  static TWindowScrollBars* Of(QWidget* window) {
    // Only this class gives a child that name.
    QObject* host = window->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly);
    return host ? static_cast<TWindowScrollBars*>(host) : new TWindowScrollBars(window);
  }

  Bar& Get(int32_t bar) {
    Bar& b = bar == SB_HORZ ? horz_ : vert_;
    if (b.widget == nullptr) {
      b.widget = new QScrollBar(bar == SB_HORZ ? Qt::Horizontal : Qt::Vertical, window_);
      // As on the window system, the position follows the thumb when it is released; the
      // track position shows it while it is dragged.
      b.widget->setTracking(false);
      b.widget->setRange(0, 0);
      b.widget->hide();
    }
    return b;
  }

  void Layout() {
    const int ext = ScrollBarExtent(window_), w = window_->width(), h = window_->height();
    const bool horz = horz_.widget && !horz_.widget->isHidden(),
               vert = vert_.widget && !vert_.widget->isHidden();
    if (horz) {
      horz_.widget->setGeometry(0, h - ext, std::max(w - (vert ? ext : 0), 0), ext);
      horz_.widget->raise();
    }
    if (vert) {
      vert_.widget->setGeometry(w - ext, 0, ext, std::max(h - (horz ? ext : 0), 0));
      vert_.widget->raise();
    }
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Resize) Layout();
    return false;
  }

 private:
  static constexpr const char* kName = "platform.scrollbars";
  QWidget* window_;
  Bar horz_, vert_;
};

bool OneBar(QWidget* window, int32_t bar) { return window != nullptr && (bar == SB_HORZ || bar == SB_VERT); }

// The bars SB_HORZ, SB_VERT or SB_BOTH name.
template <typename F>
bool ForBars(QWidget* window, int32_t bar, F f) {
  if (window == nullptr || (bar != SB_HORZ && bar != SB_VERT && bar != SB_BOTH)) return false;
  TWindowScrollBars* host = TWindowScrollBars::Of(window);
  if (bar != SB_VERT) f(*host->Get(SB_HORZ).widget);
  if (bar != SB_HORZ) f(*host->Get(SB_VERT).widget);
  host->Layout();
  return true;
}

}  // namespace

int32_t SetScrollInfo(QWidget* window, int32_t bar, const TScrollInfo& info, bool /*redraw*/) {
  if (!OneBar(window, bar)) return 0;
  TWindowScrollBars* host = TWindowScrollBars::Of(window);
  TWindowScrollBars::Bar& b = host->Get(bar);
  QScrollBar& w = *b.widget;
  int32_t min = w.minimum(), pos = w.value();
  if (info.fMask & SIF_RANGE) {
    min = info.nMin;
    b.max = info.nMax;
  }
  if (info.fMask & SIF_PAGE) b.page = info.nPage;
  if (info.fMask & SIF_POS) pos = info.nPos;
  const int64_t span = std::max<int64_t>(int64_t(b.max) - min + 1, 0);
  b.page = static_cast<uint32_t>(std::min<int64_t>(b.page, span));
  const int64_t last = std::max<int64_t>(int64_t(b.max) - std::max<int64_t>(int64_t(b.page) - 1, 0), min);
  w.setRange(min, static_cast<int32_t>(last));
  w.setPageStep(static_cast<int>(std::max<uint32_t>(b.page, 1)));
  w.setValue(static_cast<int32_t>(std::clamp<int64_t>(pos, min, last)));
  if (info.fMask & (SIF_RANGE | SIF_PAGE)) {
    const bool scrollable = b.max > min && span > b.page;
    w.setEnabled(scrollable);
    w.setVisible(scrollable || (info.fMask & SIF_DISABLENOSCROLL) != 0);
    host->Layout();
  }
  return w.value();
}

bool GetScrollInfo(QWidget* window, int32_t bar, TScrollInfo& info) {
  if (!OneBar(window, bar)) return false;
  TWindowScrollBars::Bar& b = TWindowScrollBars::Of(window)->Get(bar);
  if (info.fMask & SIF_RANGE) {
    info.nMin = b.widget->minimum();
    info.nMax = b.max;
  }
  if (info.fMask & SIF_PAGE) info.nPage = b.page;
  if (info.fMask & SIF_POS) info.nPos = b.widget->value();
  if (info.fMask & SIF_TRACKPOS) info.nTrackPos = b.widget->sliderPosition();
  return true;
}

bool EnableScrollBar(QWidget* window, int32_t bar, uint32_t arrows) {
  return ForBars(window, bar, [&](QScrollBar& w) { w.setEnabled(arrows != ESB_DISABLE_BOTH); });
}

bool ShowScrollBar(QWidget* window, int32_t bar, bool show) {
  return ForBars(window, bar, [&](QScrollBar& w) { w.setVisible(show); });
}

QScrollBar* WindowScrollBar(QWidget* window, int32_t bar) {
  return OneBar(window, bar) ? TWindowScrollBars::Of(window)->Get(bar).widget : nullptr;
}

int32_t ScrollBarExtent(QWidget* window) {
  return window ? window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window) : 0;
}

}  // namespace platform

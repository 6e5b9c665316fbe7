// The spin edit's drop button and its popup track bar: shown under the button while the left
// button holds it down, the thumb placed under the pointer, the value following the pointer
// along the channel.
#include <QFrame>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <algorithm>

#include "common/Round.h"
#include "editor/controls/QSKSpinEdit.h"

namespace editor {

namespace {

constexpr int kPopupBorder = 4;

// The slider with its style option open, for the channel and thumb rectangles.
class TPopupTrackBar : public QSlider {
 public:
  explicit TPopupTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}
  void StyleOption(QStyleOptionSlider& option) const { initStyleOption(&option); }
};

// The channel (groove) and the thumb of the track bar, in its own coordinates.
void ChannelAndThumb(const QSlider& trackBar, QRect& channel, QRect& thumb) {
  QStyleOptionSlider option;
  static_cast<const TPopupTrackBar&>(trackBar).StyleOption(option);
  channel = trackBar.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, &trackBar);
  thumb = trackBar.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &trackBar);
}

}  // namespace

TPopupForm::TPopupForm(QWidget* owner)
    : QWidget(owner,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  Panel = new QFrame(this);
  Panel->setAutoFillBackground(true);
  TrackBar = new TPopupTrackBar(Panel);
  TrackBar->setRange(0, 1000);
  TrackBar->setTickInterval(50);
  TrackBar->setPageStep(50);
  TrackBar->setTickPosition(QSlider::TicksAbove);
  TrackBar->setFocusPolicy(Qt::NoFocus);
}

void TPopupForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Panel->setGeometry(rect());
  TrackBar->setGeometry(kPopupBorder, kPopupBorder, std::max(width() - 2 * kPopupBorder, 1),
                        std::max(height() - 2 * kPopupBorder, 1));
}

QImage TQSKSpinEdit::DropGlyph(TTrackBarOrientation orientation) {
  // A small black arrow: down for a track bar that drops below, left for one beside.
  const bool down = orientation == trHorizontal;
  QImage glyph(down ? 7 : 4, down ? 4 : 7, QImage::Format_ARGB32);
  glyph.fill(Qt::transparent);
  for (int k = 0; k < 4; ++k) {
    for (int s = k; s < 7 - k; ++s) {
      if (down)
        glyph.setPixel(s, k, 0xFF000000);
      else
        glyph.setPixel(3 - k, s, 0xFF000000);
    }
  }
  return glyph;
}

void TQSKSpinEdit::SetTrackBarOrientation(TTrackBarOrientation v) {
  orientation_ = v;
  const bool horizontal = v == trHorizontal;
  Popup->TrackBar->setOrientation(horizontal ? Qt::Horizontal : Qt::Vertical);
  // A vertical bar runs from the top down, as the track-bar position counts.
  Popup->TrackBar->setInvertedAppearance(!horizontal);
  Popup->TrackBar->setTickPosition(horizontal ? QSlider::TicksAbove : QSlider::TicksLeft);
  DropButton->setIcon(QIcon(QPixmap::fromImage(DropGlyph(v))));
  DropButton->setIconSize(DropGlyph(v).size());
  SizePopup();
}

void TQSKSpinEdit::SizePopup() {
  if (orientation_ == trHorizontal)
    Popup->resize(trackBarWidth_, PopupThickness);
  else
    Popup->resize(PopupThickness, trackBarWidth_);
}

int32_t TQSKSpinEdit::TrackBarPosition() {
  double range = maxValue_ - minValue_;
  if (!(range > 0)) range = 100;
  return std::min(common::RoundInt((static_cast<long double>(Value()) - minValue_) * 1000 / range), 1000);
}

void TQSKSpinEdit::PlaceTrackBar() {
  const int32_t position = TrackBarPosition();
  Popup->TrackBar->setValue(orientation_ == trHorizontal ? position : 1000 - position);
}

void TQSKSpinEdit::DropButtonDown(QPoint screenPos) {
  DropMousePos = screenPos;
  const QPoint corner(orientation_ == trHorizontal ? 0 : DropButton->width(), DropButton->height());
  Popup->move(DropButton->mapToGlobal(corner));
  ShowTrackBar();
}

void TQSKSpinEdit::ShowTrackBar() {
  PlaceTrackBar();
  SizePopup();
  Edit->setFocus();
  Edit->deselect();
  Popup->show();
  PlacePopupUnderMouse();
  DropButton->setDown(true);
  dropHeld_ = true;
}

void TQSKSpinEdit::PlacePopupUnderMouse() {
  QRect channel, thumb;
  ChannelAndThumb(*Popup->TrackBar, channel, thumb);
  const QPoint middle = Popup->TrackBar->pos() + Popup->Panel->pos() + thumb.center();
  if (orientation_ == trHorizontal)
    Popup->move(DropMousePos.x() - middle.x(), Popup->y());
  else
    Popup->move(Popup->x(), DropMousePos.y() - middle.y());
}

double TQSKSpinEdit::TrackValueAt(QPoint screenPos) const {
  QRect channel, thumb;
  ChannelAndThumb(*Popup->TrackBar, channel, thumb);
  const QPoint p = Popup->TrackBar->mapFromGlobal(screenPos);
  const bool horizontal = orientation_ == trHorizontal;
  const int thumbLength = horizontal ? thumb.width() : thumb.height();
  const int travel = (horizontal ? channel.width() : channel.height()) - thumbLength;
  if (travel <= 0) return CurrentValue();
  int offset =
      horizontal ? p.x() - channel.left() - thumbLength / 2 : p.y() - channel.top() - thumbLength / 2;
  offset = std::clamp(offset, 0, travel);
  if (!horizontal) offset = travel - offset;  // the bottom end is MinValue
  double v = minValue_ + (maxValue_ - minValue_) * offset / travel;
  const double step = IncrementGauge();
  if (step > 0) v = static_cast<double>(common::Round(v / step)) * step;
  return v;
}

void TQSKSpinEdit::TrackPopup(QPoint screenPos) { SetValue(TrackValueAt(screenPos)); }

void TQSKSpinEdit::DropButtonUp() {
  Popup->hide();
  DropButton->setDown(false);
  dropHeld_ = false;
  if (AutoSelect) Edit->selectAll();
}

bool TQSKSpinEdit::DropButtonEvent(QEvent& event) {
  switch (event.type()) {
    case QEvent::MouseButtonPress: {
      auto& mouse = static_cast<QMouseEvent&>(event);
      if (mouse.button() != Qt::LeftButton) return false;
      DropButtonDown(mouse.globalPosition().toPoint());
      return true;
    }
    case QEvent::MouseMove:
      if (!dropHeld_) return false;
      if (Popup->isVisible()) TrackPopup(static_cast<QMouseEvent&>(event).globalPosition().toPoint());
      return true;
    case QEvent::MouseButtonRelease:
      if (!dropHeld_ || static_cast<QMouseEvent&>(event).button() != Qt::LeftButton) return false;
      DropButtonUp();
      return true;
    default:
      return false;
  }
}

}  // namespace editor

#include "editor/mainwin/PanelRow.h"

#include <QEvent>
#include <QMouseEvent>
#include <algorithm>

namespace editor {

class TSplitterHandle : public QWidget {
 public:
  TSplitterHandle(TPanelRow& row, int index) : QWidget(&row), row_(row), index_(index) {
    setCursor(Qt::SplitHCursor);
    setObjectName(index == 1 ? "Splitter1" : "Splitter2");
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) lastX_ = static_cast<int>(e->globalPosition().x());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (!(e->buttons() & Qt::LeftButton) || !isEnabled()) return;
    const int x = static_cast<int>(e->globalPosition().x());
    row_.Dragged(index_, x - lastX_);
    lastX_ = x;
  }

 private:
  TPanelRow& row_;
  int index_;
  int lastX_ = 0;
};

TPanelRow::TPanelRow(QWidget* parent, QWidget* left, QWidget* middle, QWidget* right)
    : QWidget(parent), left_(left), middle_(middle), right_(right) {
  left_->setParent(this);
  middle_->setParent(this);
  right_->setParent(this);
  splitter1_ = new TSplitterHandle(*this, 1);
  splitter2_ = new TSplitterHandle(*this, 2);
}

QWidget* TPanelRow::Splitter1() const { return splitter1_; }
QWidget* TPanelRow::Splitter2() const { return splitter2_; }

void TPanelRow::SetLeftWidth(int width) {
  leftWidth_ = std::max(0, width);
  Arrange();
}

void TPanelRow::SetRightWidth(int width) {
  rightWidth_ = std::max(0, width);
  Arrange();
}

void TPanelRow::resizeEvent(QResizeEvent*) { Arrange(); }

bool TPanelRow::event(QEvent* e) {
  // Showing or hiding a panel or splitter rearranges the row.
  if (e->type() == QEvent::ChildAdded || e->type() == QEvent::LayoutRequest) Arrange();
  return QWidget::event(e);
}

void TPanelRow::Arrange() {
  if (!splitter1_ || !splitter2_) return;  // still being built
  const int h = height();
  int x = 0;
  auto place = [&](QWidget* w, int width) {
    if (w->isHidden()) return;
    w->setGeometry(x, 0, width, h);
    x += width;
  };
  const int s = kSplitterWidth;
  const int rightTaken = (right_->isHidden() ? 0 : rightWidth_) + (splitter2_->isHidden() ? 0 : s);
  place(left_, leftWidth_);
  place(splitter1_, s);
  const int middle = std::max(0, width() - x - rightTaken);
  place(middle_, middle);
  place(splitter2_, s);
  place(right_, rightWidth_);
}

void TPanelRow::Dragged(int splitter, int dx) {
  if (dx == 0) return;
  if (splitter == 1) {
    // Both panes, the splitter and the collapse button stay inside the row: the left panel keeps
    // at least its button column, the middle at least kMinMiddleWidth.
    const int rightTaken = (right_->isHidden() ? 0 : rightWidth_) + (splitter2_->isHidden() ? 0 : kSplitterWidth);
    const int most = width() - kSplitterWidth - rightTaken - kMinMiddleWidth;
    const int wanted = std::min(leftWidth_ + dx, most);
    SetLeftWidth(std::max(wanted, std::min(kMinLeftWidth, leftWidth_)));
  } else {
    SetRightWidth(rightWidth_ - dx);
  }
  if (OnMoved) OnMoved(splitter);
}

}  // namespace editor

namespace editor {

TCollapsiblePanel::TCollapsiblePanel(QWidget* parent, QWidget* content, QWidget* button, bool buttonOnLeft)
    : QWidget(parent), content_(content), button_(button), buttonOnLeft_(buttonOnLeft) {
  content_->setParent(this);
  button_->setParent(this);
  button_->raise();
}

void TCollapsiblePanel::resizeEvent(QResizeEvent*) {
  const int w = width(), h = height(), b = kButtonColumn;
  // The content keeps at least its own minimum; what does not fit is cut off by the panel.
  const int cw = std::max(0, w - b);
  content_->setGeometry(buttonOnLeft_ ? b : 0, 0, cw, h);
  button_->setGeometry(buttonOnLeft_ ? 0 : w - b, 0, b, 24);
  button_->raise();
}

}  // namespace editor

#include "platform/ui/Control.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include "platform/gfx/Region.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keys.h"
#include "platform/ui/ScrollBars.h"

namespace platform {

namespace {

bool ButtonOf(Qt::MouseButton qt, TMouseButton& button) {
  switch (qt) {
    case Qt::LeftButton:
      button = mbLeft;
      return true;
    case Qt::RightButton:
      button = mbRight;
      return true;
    case Qt::MiddleButton:
      button = mbMiddle;
      return true;
    default:
      return false;
  }
}

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

// The shift state of a key event; the modifier key being pressed or released counts as
// held or released already.
TShiftState KeyShiftState(const QKeyEvent& event, bool press) {
  TShiftState shift = ShiftStateOf(event.modifiers(), QGuiApplication::mouseButtons());
  TShiftStateItem own;
  switch (event.key()) {
    case Qt::Key_Shift:
      own = ssShift;
      break;
    case Qt::Key_Control:
      own = ssCtrl;
      break;
    case Qt::Key_Alt:
      own = ssAlt;
      break;
    default:
      return shift;
  }
  return press ? shift | own : shift.Without(own);
}

}  // namespace

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s;
  if (modifiers.testFlag(Qt::ShiftModifier)) s |= ssShift;
  if (modifiers.testFlag(Qt::AltModifier)) s |= ssAlt;
  if (modifiers.testFlag(Qt::ControlModifier)) s |= ssCtrl;
  if (buttons.testFlag(Qt::LeftButton)) s |= ssLeft;
  if (buttons.testFlag(Qt::RightButton)) s |= ssRight;
  if (buttons.testFlag(Qt::MiddleButton)) s |= ssMiddle;
  return s;
}

// ---------------------------------------------------------------------------------------
// TControl

TControl::TControl(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

TControl::~TControl() = default;

int TControl::FrameWidth() const {
  if (borderStyle_ == bsNone) return 0;
  return ctl3D_ ? 2 : 1;
}

int TControl::ClientWidth() const {
  int w = width() - 2 * FrameWidth();
  if (ScrollBarShown(this, SB_VERT)) w -= ScrollBarExtent(this);
  return std::max(w, 0);
}

int TControl::ClientHeight() const {
  int h = height() - 2 * FrameWidth();
  if (ScrollBarShown(this, SB_HORZ)) h -= ScrollBarExtent(this);
  return std::max(h, 0);
}

void TControl::SetBorderStyle(TBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  ClientAreaChanged();
}

void TControl::SetCtl3D(bool ctl3D) {
  if (ctl3D == ctl3D_) return;
  ctl3D_ = ctl3D;
  if (borderStyle_ != bsNone) ClientAreaChanged();
}

void TControl::ClientAreaChanged() {
  // The bars sit inside the frame: place them again before the client area is measured.
  RelayoutScrollBars(this);
  ClientAreaMoved();
  update();
  const QSize client(ClientWidth(), ClientHeight());
  if (client == lastClient_) return;
  lastClient_ = client;
  GuardedCall([&] { Resize(); });
}

void TControl::SetClickFocus(bool on) { setFocusPolicy(on ? Qt::ClickFocus : Qt::NoFocus); }

bool TControl::ClickFocus() const { return (focusPolicy() & Qt::ClickFocus) != 0; }

void TControl::SetFocus() { setFocus(Qt::OtherFocusReason); }

bool TControl::Focused() const { return hasFocus(); }

void TControl::Scroll(int32_t bar, int32_t code, int32_t pos) {
  if (OnScroll) OnScroll(this, bar, code, pos);
}

void TControl::Enter() {
  if (OnEnter) OnEnter(this);
}

void TControl::Exit() {
  if (OnExit) OnExit(this);
}

void TControl::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  GuardedCall([&] { Enter(); });
}

void TControl::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  GuardedCall([&] { Exit(); });
}

void ReportScrollAction(QWidget* window, int32_t bar, int32_t code, int32_t pos) {
  if (auto* control = dynamic_cast<TControl*>(window)) GuardedCall([&] { control->Scroll(bar, code, pos); });
}

void TControl::SetCursor(TCursor id) {
  cursor_ = id;
  if (id == crDefault)
    unsetCursor();
  else
    setCursor(Cursors().Get(id));
}

TPoint TControl::ScreenToClient(TPoint p) const {
  const QPoint q = mapFromGlobal(QPoint(p.X, p.Y)) - ClientOffset();
  return {q.x(), q.y()};
}

TPoint TControl::ClientToScreen(TPoint p) const {
  const QPoint q = mapToGlobal(QPoint(p.X, p.Y) + ClientOffset());
  return {q.x(), q.y()};
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
bool TControl::MouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  return handled;
}
void TControl::KeyDown(uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TControl::KeyUp(uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TControl::KeyPress(char32_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}
bool TControl::WantSpecialKey(uint16_t, TShiftState) { return false; }
void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::mousePressEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!ButtonOf(event->button(), button)) return QWidget::mousePressEvent(event);
  const QPoint p = event->position().toPoint() - ClientOffset();
  // A press on the frame is not the client's (the window system sends it elsewhere).
  if (!mouseCaptured_ && !QRect(0, 0, ClientWidth(), ClientHeight()).contains(p)) return event->ignore();
  mouseCaptured_ = true;
  const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons() | event->button());
  GuardedCall([&] { MouseDown(button, shift, p.x(), p.y()); });
}

void TControl::mouseDoubleClickEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!ButtonOf(event->button(), button)) return QWidget::mouseDoubleClickEvent(event);
  const QPoint p = event->position().toPoint() - ClientOffset();
  if (!mouseCaptured_ && !QRect(0, 0, ClientWidth(), ClientHeight()).contains(p)) return event->ignore();
  mouseCaptured_ = true;
  const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons() | event->button()) | ssDouble;
  GuardedCall([&] {
    if (button == mbLeft) DblClick();
    MouseDown(button, shift, p.x(), p.y());
  });
}

void TControl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint() - ClientOffset();
  if (!mouseCaptured_ && !QRect(0, 0, ClientWidth(), ClientHeight()).contains(p)) return;
  const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
  GuardedCall([&] { MouseMove(shift, p.x(), p.y()); });
}

void TControl::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!ButtonOf(event->button(), button)) return QWidget::mouseReleaseEvent(event);
  const QPoint p = event->position().toPoint() - ClientOffset();
  // Without a press in the client area, only a release over it is the client's.
  if (!mouseCaptured_ && !QRect(0, 0, ClientWidth(), ClientHeight()).contains(p)) return event->ignore();
  if ((event->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)) == 0) mouseCaptured_ = false;
  const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons() & ~event->button());
  GuardedCall([&] { MouseUp(button, shift, p.x(), p.y()); });
}

void TControl::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) return event->ignore();
  const QPoint global = event->globalPosition().toPoint();
  const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
  bool handled = false;
  GuardedCall([&] { handled = MouseWheel(shift, delta, {global.x(), global.y()}); });
  if (handled)
    event->accept();
  else
    event->ignore();
}

void TControl::enterEvent(QEnterEvent* event) {
  if (OnMouseEnter) GuardedCall([&] { OnMouseEnter(this); });
  QWidget::enterEvent(event);
}

void TControl::leaveEvent(QEvent* event) {
  if (OnMouseLeave) GuardedCall([&] { OnMouseLeave(this); });
  QWidget::leaveEvent(event);
}

void TControl::keyPressEvent(QKeyEvent* event) {
  bool handled = false;
  uint16_t key = VirtualKeyOf(*event);
  if (key != 0) {
    NoteKeyDown(key);
    const TShiftState shift = KeyShiftState(*event, true);
    keyRepeat_ = event->isAutoRepeat();
    GuardedCall([&] { KeyDown(key, shift); });
    keyRepeat_ = false;
    handled = key == 0 || OnKeyDown;
  }
  // The characters come after the key-down, as the window system's character messages do, and
  // whether or not the key-down was handled.
  if (TypeCharacters(TypedText(*event))) handled = true;
  if (handled)
    event->accept();
  else
    event->ignore();
}

bool TControl::TypeCharacters(const std::u32string& text) {
  bool handled = false;
  for (char32_t c : text) {
    char32_t key = c;
    GuardedCall([&] { KeyPress(key); });
    if (key == 0 || OnKeyPress) handled = true;
  }
  return handled;
}

void TControl::inputMethodEvent(QInputMethodEvent* event) {
  // Text the input method commits (dead keys, compose sequences) is typed like keys' text.
  std::u32string text;
  for (const uint cp : event->commitString().toUcs4()) text.push_back(static_cast<char32_t>(cp));
  TypeCharacters(text);
  event->accept();
}

bool KeepsSpecialKey(const QKeyEvent& event, const std::function<bool(uint16_t, TShiftState)>& want) {
  const uint16_t key = VirtualKeyOf(event);
  if (key != VK_TAB && (key < VK_PRIOR || key > VK_DOWN)) return false;
  bool wanted = false;
  GuardedCall([&] { wanted = want(key, KeyShiftState(event, true)); });
  // Tab would move the focus before the key-down: a control that wants it gets it instead.
  return wanted && key == VK_TAB && !event.modifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier);
}

bool TControl::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (KeepsSpecialKey(*k, [this](uint16_t key, TShiftState shift) { return WantSpecialKey(key, shift); })) {
      keyPressEvent(k);
      return true;
    }
  }
  return QWidget::event(event);
}

void TControl::keyReleaseEvent(QKeyEvent* event) {
  // A held key repeats its key-down only; the key goes up once, when it is released.
  if (event->isAutoRepeat()) return event->accept();
  uint16_t key = VirtualKeyOf(*event);
  if (key == 0) return event->ignore();
  NoteKeyUp(key);
  const TShiftState shift = KeyShiftState(*event, false);
  GuardedCall([&] { KeyUp(key, shift); });
  if (key == 0 || OnKeyUp)
    event->accept();
  else
    event->ignore();
}

void TControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RelayoutScrollBars(this);
  ClientAreaMoved();
  lastClient_ = QSize(ClientWidth(), ClientHeight());
  GuardedCall([&] { Resize(); });
}

// ---------------------------------------------------------------------------------------
// TCustomControl

TCustomControl::TCustomControl(QWidget* parent) : TControl(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  surface_.Canvas().OnChange = [this](const TRect& r) {
    const QRect q = ToQRect(r);
    dirty_ += q;
    if (!painting_) update(q.translated(ClientOffset()));
  };
  SyncSize();
  Invalidate();
}

TCustomControl::~TCustomControl() { surface_.Canvas().OnChange = nullptr; }

void TCustomControl::SyncSize() {
  const int w = ClientWidth(), h = ClientHeight();
  if (surface_.Width() != w || surface_.Height() != h) surface_.SetSize(w, h);
}

TBitmap& TCustomControl::Surface() {
  SyncSize();
  return surface_;
}

void TCustomControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
}

void TCustomControl::Invalidate() {
  invalid_ = QRegion(QRect(0, 0, ClientWidth(), ClientHeight()));
  update();
}

void TCustomControl::InvalidateRect(const TRect& rect) {
  const QRect q = ToQRect(rect.Normalized());
  invalid_ += q;
  update(q.translated(ClientOffset()));
}

void TCustomControl::SurfaceChanged(const TRect& rect) {
  const QRect q = ToQRect(rect.Normalized()) & QRect(0, 0, surface_.Width(), surface_.Height());
  if (q.isEmpty()) return;
  dirty_ += q;
  if (!painting_) update(q.translated(ClientOffset()));
}

void TCustomControl::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomControl::PaintPending() {
  SyncSize();
  const QRegion region = invalid_ & QRect(0, 0, surface_.Width(), surface_.Height());
  invalid_ = QRegion();
  if (region.isEmpty()) return;
  if (EraseBackground()) {
    QImage image = surface_.Image();
    QPainter p(&image);
    for (const QRect& r : region) p.fillRect(r, ToQColor(color_));
  }
  dirty_ += region;
  if (!painting_) update(region.translated(ClientOffset()));
  const TRegion clip(region);
  TCanvas& canvas = surface_.Canvas();
  canvas.SetClipRegion(&clip);
  GuardedCall([this] { Paint(); });
  canvas.SetClipRegion(nullptr);
}

void TCustomControl::Update() {
  PaintPending();
  if (!dirty_.isEmpty() && isVisible()) repaint(dirty_.translated(ClientOffset()));
}

void TCustomControl::Repaint() {
  Invalidate();
  Update();
}

void TCustomControl::PaintNonClient(QPainter& painter, const QRegion& region) {
  const QRect client(ClientOffset(), QSize(ClientWidth(), ClientHeight()));
  const QRegion outside = region - client;
  if (outside.isEmpty()) return;
  painter.save();
  painter.setClipRegion(outside);
  // Under the bars and in the corner between them: the button face.
  painter.fillRect(rect(), ToQColor(clBtnFace));
  const int frame = FrameWidth();
  if (frame == 1) {
    painter.setPen(ToQColor(clWindowFrame));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
  } else if (frame == 2) {
    EdgeLines(TRect{0, 0, width(), height()}, EDGE_SUNKEN, BF_RECT,
              [&](const TRect& line, TColor color) { painter.fillRect(ToQRect(line), ToQColor(color)); });
  }
  painter.restore();
}

void TCustomControl::paintEvent(QPaintEvent* event) {
  painting_ = true;
  PaintPending();
  painting_ = false;
  const QImage image = surface_.Image();
  const QPoint offset = ClientOffset();
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  const QRegion region = event->region().translated(-offset) & QRect(0, 0, image.width(), image.height());
  for (const QRect& r : region) p.drawImage(r.translated(offset), image, r);
  PaintNonClient(p, event->region());
  dirty_ -= region;
  // Parts drawn during the paint outside the region being painted come next time.
  if (!dirty_.isEmpty()) update(dirty_.translated(offset));
}

void TCustomControl::ClientAreaMoved() {
  SyncSize();
  Invalidate();
}

void TCustomControl::resizeEvent(QResizeEvent* event) { TControl::resizeEvent(event); }

}  // namespace platform

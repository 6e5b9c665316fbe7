#pragma once
// Window controls.
//
// TControl is a QWidget that reports mouse and key input as the window system does: mouse
// buttons and a shift state in the window system's bit order, keys as virtual-key codes, a
// key held down repeating its key-down (and only its key-down), positions in client pixels.
//
// TCustomControl adds the window surface: a 32-bit TBitmap of the control's size that the
// control draws into at any time through Canvas(), as it would draw on its window. Drawing
// outside a paint is shown at the next paint, which only copies the changed part of the
// surface to the screen; Invalidate asks for Paint (OnPaint) to redraw a part first.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Types.h"
#include "platform/ui/Cursors.h"

namespace platform {

enum TShiftStateItem : uint16_t {
  ssShift = 1 << 0,
  ssAlt = 1 << 1,
  ssCtrl = 1 << 2,
  ssLeft = 1 << 3,
  ssRight = 1 << 4,
  ssMiddle = 1 << 5,
  ssDouble = 1 << 6,
};

// A set of TShiftStateItem; Bits() holds them in the window system's bit order.
class TShiftState {
 public:
  constexpr TShiftState() = default;
  constexpr TShiftState(TShiftStateItem item) : bits_(item) {}
  static constexpr TShiftState FromBits(uint16_t bits) {
    TShiftState s;
    s.bits_ = bits;
    return s;
  }
  constexpr bool Contains(TShiftStateItem item) const { return (bits_ & item) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint16_t Bits() const { return bits_; }
  constexpr TShiftState operator|(TShiftState o) const { return FromBits(bits_ | o.bits_); }
  constexpr TShiftState operator&(TShiftState o) const { return FromBits(bits_ & o.bits_); }
  constexpr TShiftState Without(TShiftState o) const { return FromBits(bits_ & ~o.bits_); }
  TShiftState& operator|=(TShiftState o) {
    bits_ |= o.bits_;
    return *this;
  }
  friend constexpr bool operator==(TShiftState, TShiftState) = default;

 private:
  uint16_t bits_ = 0;
};

constexpr TShiftState operator|(TShiftStateItem a, TShiftStateItem b) {
  return TShiftState(a) | TShiftState(b);
}

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// The shift state of Qt's modifiers and held buttons.
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

class TControl;

using TNotifyEvent = std::function<void(TControl* Sender)>;
using TMouseEvent =
    std::function<void(TControl* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TControl* Sender, TShiftState Shift, int X, int Y)>;
// WheelDelta: 120 per notch, positive away from the user; MousePos in screen pixels.
using TMouseWheelEvent =
    std::function<void(TControl* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
// Setting Key to 0 marks the key as handled.
using TKeyEvent = std::function<void(TControl* Sender, uint16_t& Key, TShiftState Shift)>;

class TControl : public QWidget {
 public:
  explicit TControl(QWidget* parent = nullptr);
  ~TControl() override;

  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;      // a double click comes as a second down with ssDouble
  TMouseMoveEvent OnMouseMove;  // also with no button held
  TMouseEvent OnMouseUp;
  TNotifyEvent OnDblClick;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TKeyEvent OnKeyDown;  // KeyRepeat() tells a repeat of a held key
  TKeyEvent OnKeyUp;

  // The cursor shown over the control, by id (Cursors()).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor id);

  int ClientWidth() const { return width(); }
  int ClientHeight() const { return height(); }
  TRect ClientRect() const { return Rect(0, 0, width(), height()); }
  TPoint ScreenToClient(TPoint p) const;
  TPoint ClientToScreen(TPoint p) const;

  // True while a key-down that repeats a held key is being handled.
  bool KeyRepeat() const { return keyRepeat_; }

 protected:
  // The steps the events go through; overrides call the base to keep the handlers.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DblClick();
  virtual bool MouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);
  virtual void KeyDown(uint16_t& key, TShiftState shift);
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  virtual void Resize();

  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  TCursor cursor_ = crDefault;
  bool keyRepeat_ = false;
};

class TCustomControl : public TControl {
 public:
  explicit TCustomControl(QWidget* parent = nullptr);
  ~TCustomControl() override;

  // The window surface and its canvas; the surface always has the control's size.
  TBitmap& Surface();
  TCanvas& Canvas() { return Surface().Canvas(); }

  // Background colour: the parts Paint redraws are filled with it first.
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  TNotifyEvent OnPaint;

  // Asks for Paint to redraw the whole control, or a part, at the next paint.
  void Invalidate();
  void InvalidateRect(const TRect& rect);
  // Runs the pending Paint now and brings every change of the surface to the screen.
  void Update();
  // Invalidate and Update.
  void Repaint();
  // Tells the control that a part of the surface changed by drawing that did not go through
  // Canvas() (a painter on Surface().Image()): the next paint brings it to the screen.
  void SurfaceChanged(const TRect& rect);

 protected:
  // Redraws the invalid part (the canvas is clipped to it). The base calls OnPaint.
  virtual void Paint();
  // Whether the invalid part is filled with Color before Paint. A control whose Paint covers
  // every pixel itself answers false, as a window that handles its erase message does.
  virtual bool EraseBackground() { return true; }

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SyncSize();
  void PaintPending();

  TBitmap surface_;
  TColor color_ = clBtnFace;
  QRegion invalid_;  // needs Paint
  QRegion dirty_;    // changed on the surface, not yet on the screen
  bool painting_ = false;
};

}  // namespace platform

#pragma once
// Window controls.
//
// TControl is a QWidget that reports mouse and key input as the window system does: mouse
// buttons and a shift state in the window system's bit order, keys as virtual-key codes, a
// key held down repeating its key-down (and only its key-down), positions in client pixels.
//
// A control may have a frame (BorderStyle, Ctl3D) and the window's two scroll bars
// (ScrollBars.h) along its right and bottom edges inside the frame. Its client area is what is
// left: ClientWidth and ClientHeight shrink by the frame on each side and by each bar shown, and
// mouse positions, the surface and the canvas are in client pixels (0, 0 the client area's
// top-left corner), as on the window system.
//
// TCustomControl adds the window surface: a 32-bit TBitmap of the client area's size that the
// control draws into at any time through Canvas(), as it would draw on its window. Drawing
// outside a paint is shown at the next paint, which only copies the changed part of the
// surface to the screen; Invalidate asks for Paint (OnPaint) to redraw a part first. The frame
// and the corner between two bars are painted by the control itself.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/ShiftState.h"
#include "platform/gfx/Types.h"
#include "platform/ui/Cursors.h"

namespace platform {

// The window frame: none, or a single border (a 2-pixel sunken edge with Ctl3D, else a
// 1-pixel line).
enum TBorderStyle : uint8_t { bsNone, bsSingle };

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
// A scroll-bar action as the window system reports it: Bar SB_HORZ or SB_VERT, Code one of the
// SB_LINEUP .. SB_ENDSCROLL codes of ScrollBars.h, Pos the thumb position for SB_THUMBTRACK and
// SB_THUMBPOSITION (else the bar's position).
using TScrollEvent = std::function<void(TControl* Sender, int32_t Bar, int32_t Code, int32_t Pos)>;
// Setting Key to 0 marks the key as handled.
using TKeyEvent = std::function<void(TControl* Sender, uint16_t& Key, TShiftState Shift)>;
// A typed character (a code point), after the key-down of the key that typed it; setting Key to
// 0 marks it as handled.
using TKeyPressEvent = std::function<void(TControl* Sender, char32_t& Key)>;

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
  TKeyPressEvent OnKeyPress;  // typed characters: TypedText of each key, and input-method text
  TScrollEvent OnScroll;      // the user worked one of the window's scroll bars
  TNotifyEvent OnEnter;       // the control got the keyboard focus
  TNotifyEvent OnExit;        // the control lost it

  // The cursor shown over the control, by id (Cursors()).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor id);

  // The client area (see above); never negative.
  int ClientWidth() const;
  int ClientHeight() const;
  TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
  // Where the client area's top-left corner lies in the widget: the frame's width.
  QPoint ClientOffset() const { return QPoint(FrameWidth(), FrameWidth()); }
  TPoint ScreenToClient(TPoint p) const;
  TPoint ClientToScreen(TPoint p) const;

  // The frame. Changing it moves and resizes the client area (then Resize runs); setting the
  // value it has changes nothing.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool ctl3D);
  // The frame's width in pixels on each side: bsSingle 2 with Ctl3D, 1 without; bsNone 0.
  int FrameWidth() const;

  // With click focus a mouse button pressed on the control gives it the keyboard focus (a
  // control that takes keys); without, the control never takes the focus by itself.
  void SetClickFocus(bool on);
  bool ClickFocus() const;
  // Gives the control the keyboard focus; Focused tells whether it has it.
  void SetFocus();
  bool Focused() const;

  // The client area was moved or resized by the frame or the scroll bars (ScrollBars.cpp
  // calls it when a bar is shown or hidden).
  void ClientAreaChanged();

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
  // A typed character. The base calls OnKeyPress.
  virtual void KeyPress(char32_t& key);
  // Asked before the key-down of Tab (with or without Shift) and of the keys 33 to 40 (page
  // up and down, end, home, the arrows): true keeps the key with the control where the window
  // would use it to move the focus (Tab then comes to KeyDown). False in the base.
  virtual bool WantSpecialKey(uint16_t key, TShiftState shift);
  // The client area changed size (the widget was resized, or the frame or a bar changed).
  virtual void Resize();
  // A scroll-bar action (the window system's scroll message). The base calls OnScroll.
  virtual void Scroll(int32_t bar, int32_t code, int32_t pos);
  // The focus came or went. The bases call OnEnter and OnExit.
  virtual void Enter();
  virtual void Exit();
  // What a change of the client area does beyond Resize (the surface follows it).
  virtual void ClientAreaMoved() {}

  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  friend void ReportScrollAction(QWidget* window, int32_t bar, int32_t code, int32_t pos);
  // Hands each character to KeyPress; true when one was handled (set to 0, or OnKeyPress set).
  bool TypeCharacters(const std::u32string& text);

  TCursor cursor_ = crDefault;
  bool keyRepeat_ = false;
  TBorderStyle borderStyle_ = bsNone;
  bool ctl3D_ = true;
  bool mouseCaptured_ = false;  // a button went down inside the client area
  QSize lastClient_;
};

// Asks `want` (a control's WantSpecialKey) about a key-down of Tab or of the keys 33 to 40; true
// when the key is a Tab the control keeps, which it must then get as a key-down at once (the
// window would use it to move the focus).
bool KeepsSpecialKey(const QKeyEvent& event, const std::function<bool(uint16_t, TShiftState)>& want);

// Hands a scroll-bar action to the window: TControl::Scroll when the window is a TControl.
void ReportScrollAction(QWidget* window, int32_t bar, int32_t code, int32_t pos);

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
  void ClientAreaMoved() override;

 private:
  void SyncSize();
  void PaintNonClient(QPainter& painter, const QRegion& region);
  void PaintPending();

  TBitmap surface_;
  TColor color_ = clBtnFace;
  QRegion invalid_;  // needs Paint
  QRegion dirty_;    // changed on the surface, not yet on the screen
  bool painting_ = false;
};

}  // namespace platform

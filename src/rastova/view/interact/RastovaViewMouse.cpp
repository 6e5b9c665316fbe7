// The image view's mouse and keyboard: the interaction state machine (scrolling, zoom clicks,
// selections, layer drags), hover cursors, hints, automatic and smooth scrolling, the event
// firers and the key events.
#include <QApplication>
#include <QCursor>
#include <QMetaObject>
#include <QMouseEvent>
#include <cmath>

#include "common/Round.h"
#include "platform/ui/Application.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

using platform::TShiftState;

std::function<platform::TPoint()> TRastovaView::GetCursorPosProvider = [] {
  const QPoint p = QCursor::pos();
  return platform::TPoint{p.x(), p.y()};
};

std::function<bool()> TRastovaView::PrimaryMouseButtonDownProvider = [] {
  return (QApplication::mouseButtons() & Qt::LeftButton) != 0;
};

namespace {

constexpr platform::TCursor kCurScroll = 1782, kCurMove = 1790;

platform::TCursor GripCursor(int32_t grip) {
  switch (grip) {
    case 1:
    case 3:
      return 1786;
    case 7:
    case 8:
      return 1787;
    case 2:
    case 4:
      return 1788;
    case 5:
    case 6:
      return 1789;
    default:
      return 0;
  }
}

bool Alt(const TRastovaView& v, TShiftState s) { return s.Contains(platform::ssAlt) || v.FForceAlignedSelection; }

}  // namespace

// ---------------------------------------------------------------- small operations

void TRastovaView::WriteSelectionAspectRatio(double Value) {
  if (Value == FSelectionAspectRatio) return;
  FSelectionAspectRatio = Value;
  if (Value != 0)
    WriteSelectionOptions(FSelectionOptions | SelectionOption(rvsoSizeable));
  else
    WriteSelectionOptions(FSelectionOptions & ~SelectionOption(rvsoSizeable));
}

void TRastovaView::OffsetMouseDownPoints(int32_t DX, int32_t DY) {
  FPolyLastX -= DX;
  FPolyLastY -= DY;
  FMoveX -= DX;
  FMoveY -= DY;
  FRawMoveX -= DX;
  FRawMoveY -= DY;
}

void TRastovaView::SetInteractionHint(const std::string& Text, int32_t X, const std::string& Template, int32_t Y) {
  FHintText = Text;
  FHintX = X;
  FHintY = Y;
  FHintText2 = Template;
}

void TRastovaView::SetInteractionCursor(platform::TCursor Cursor) {
  if (FOnSetCursor) FOnSetCursor(this, Cursor);
  if (!FHasOwner) return;
  FCursor = Cursor;
  SetCursor(Cursor);
}

void TRastovaView::RestoreUserCursor() { SetInteractionCursor(FUserCursor); }

void TRastovaView::SwapSelectionBase() { std::swap(FSelectionBase, FSavedSelectionBase); }

void TRastovaView::DoSelectionChanging() {
  if (!FOnSelectionChanging) return;
  SwapSelectionBase();
  FOnSelectionChanging(this);
  SwapSelectionBase();
}

void TRastovaView::DoSelectionChange() {
  if (FOnSelectionChange) FOnSelectionChange(this);
}

void TRastovaView::DoBeforeSelectionChange() {
  if (!FOnBeforeSelectionChange) return;
  SwapSelectionBase();
  FOnBeforeSelectionChange(this);
  SwapSelectionBase();
}

void TRastovaView::DoMouseInResizingGrip(TRVGrip Grip) {
  if (!FOnMouseInResizingGrip) return;
  SwapSelectionBase();
  FOnMouseInResizingGrip(this, Grip);
  SwapSelectionBase();
}

void TRastovaView::DoMouseInSel() {
  if (!FOnMouseInSel) return;
  SwapSelectionBase();
  FOnMouseInSel(this);
  SwapSelectionBase();
}

bool TRastovaView::WantSpecialKey(uint16_t Key, TShiftState Shift) {
  bool handled = false;
  if (FOnSpecialKey) FOnSpecialKey(this, Key, Shift, handled);
  return handled;
}

void TRastovaView::DoVirtualKey(uint16_t Key, uint32_t KeyData, bool Down) {
  if (FOnVirtualKey) FOnVirtualKey(this, Key, KeyData, Down);
}

// ---------------------------------------------------------------- scrolling while dragging

bool TRastovaView::AutoScrollDrag() {
  FSelectionDrawingSuspended = true;
  bool scrolled = false;
  try {
    // At most as many steps as the image has pixels: a pointer that stays outside cannot hang
    // the view.
    for (int64_t guard = int64_t(FZoomedWidth) + FZoomedHeight + 2; guard > 0; --guard) {
      const platform::TPoint p = ScreenToClient(GetCursorPosProvider());
      int32_t dx = 0, dy = 0;
      if (p.X < FOffsetX) dx = p.X - FOffsetX;
      else if (p.X > FOffsetX + FExtentX - 1) dx = p.X - (FOffsetX + FExtentX - 1);
      if (p.Y < FOffsetY) dy = p.Y - FOffsetY;
      else if (p.Y > FOffsetY + FExtentY - 1) dy = p.Y - (FOffsetY + FExtentY - 1);
      if (dx == 0 && dy == 0) break;
      const int32_t ox = FViewX, oy = FViewY;
      SetViewXY(FViewX + dx, FViewY + dy);
      if (FViewX == ox && FViewY == oy) break;
      const int32_t mx = FViewX - ox, my = FViewY - oy;
      FDownX -= mx;
      FDownY -= my;
      FDownInImageX -= mx;
      FDownInImageY -= my;
      OffsetMouseDownPoints(mx, my);
      scrolled = true;
    }
  } catch (...) {
    FSelectionDrawingSuspended = false;
    throw;
  }
  FSelectionDrawingSuspended = false;
  return scrolled;
}

void TRastovaView::SmoothScrollTo(int32_t X, int32_t Y) {
  FSmoothScrollTargetX = X;
  FSmoothScrollTargetY = Y;
  auto tick = [this] {
    const int32_t ox = FViewX, oy = FViewY;
    const int32_t d = FSmoothScrollDivisor > 0 ? FSmoothScrollDivisor : 1;
    SetViewXY(common::RoundInt(FViewX - (FViewX - FSmoothScrollTargetX) / (long double)d),
              common::RoundInt(FViewY - (FViewY - FSmoothScrollTargetY) / (long double)d));
    if ((FViewX == ox && FViewY == oy) || PrimaryMouseButtonDownProvider()) {
      // This runs inside the timer's own call: the timer stops now and goes once the call is over.
      platform::TTimer* timer = FSmoothScrollTimer.release();
      timer->SetEnabled(false);
      QMetaObject::invokeMethod(QCoreApplication::instance(), [timer] { delete timer; }, Qt::QueuedConnection);
    }
  };
  if (FSmoothScrollTimer) return;
  FSmoothScrollTimer = std::make_unique<platform::TTimer>();
  FSmoothScrollTimer->SetInterval(30);
  FSmoothScrollTimer->OnTimer = [tick](platform::TTimer*) { tick(); };
  FSmoothScrollTimer->SetEnabled(true);
  tick();
}

void TRastovaView::StopSmoothScroll() { FSmoothScrollTimer.reset(); }

// ---------------------------------------------------------------- rectangle and circle drags

void TRastovaView::DragRectSelection(int32_t X, int32_t Y, TShiftState Shift) {
  AutoScrollDrag();
  int32_t x2 = X, y2 = Y;
  if (FSelectionAspectRatio == 0) {
    const int32_t hw = common::RoundInt(FSelectionAbsWidth * (long double)FZoomFactorX) / 2;
    const int32_t hh = common::RoundInt(FSelectionAbsHeight * (long double)FZoomFactorY) / 2;
    FDownX = X - hw;
    FDownY = Y - hh;
    x2 = X + hw - 1;
    y2 = Y + hh - 1;
  }
  int32_t operation = 0;
  if (Shift.Contains(platform::ssShift) && FMultiSelectionAllowed) {
    if (int32_t(FSelectionPolygon->Points.size()) > FPolyCountAtDown) RemoveLastPolygon(FSelectionPolygon);
    operation = 1;
  }
  LockPaint();
  // A box that cannot be resized (a navigator's, one of a fixed size) is moved back inside the
  // picture whole; a sizeable one is cut at the picture's edges.
  const bool keepWhole = (FSelectionOptions & SelectionOption(rvsoSizeable)) == 0;
  SelectRectangleCore(FDownX, FDownY, x2, y2, operation, Alt(*this, Shift), keepWhole);
  UnlockPaintNoRefresh();
  PaintControl();
  AnimateSelections(this, true);
  DoSelectionChanging();
}

void TRastovaView::DragEllipseSelection(int32_t X, int32_t Y, TShiftState Shift) {
  AutoScrollDrag();
  int32_t ox = X, oy = Y;
  if (FSelectionAspectRatio == 0) {
    FDownX = X;
    FDownY = Y;
    ox = X + common::RoundInt(FSelectionAbsWidth * (long double)FZoomFactorX) / 2;
    oy = Y + common::RoundInt(FSelectionAbsHeight * (long double)FZoomFactorY) / 2;
  }
  if (Shift.Contains(platform::ssShift) && FMultiSelectionAllowed) {
    if (int32_t(FSelectionPolygon->Points.size()) > FPolyCountAtDown) RemoveLastPolygon(FSelectionPolygon);
    AddSelectionBreak();
  } else {
    ClearPolygon(FSelectionPolygon);
  }
  AddEllipsePoints(std::llabs(int64_t(FDownX) - ox), std::llabs(int64_t(FDownY) - oy), Shift);
  PaintControl();
  AnimateSelections(this, true);
  DoSelectionChanging();
}

void TRastovaView::AddEllipsePoints(int64_t DX, int64_t DY, TShiftState Shift) {
  TRVLayer* l = GetCurrentLayer();
  if (!l) return;
  // Radii in view pixels: a circle with Alt, the larger offset and the ratio with a fixed ratio.
  double rx = double(DX), ry = double(DY);
  if (Alt(*this, Shift) && FSelectionAspectRatio == -1) {
    rx = ry = double(std::max(DX, DY));
  } else if (FSelectionAspectRatio > 0) {
    rx = double(std::max(DX, DY));
    ry = double(common::Round(rx * FSelectionAspectRatio));
  }
  // In picture pixels, a point for every pixel of the smaller circumference (at least 50, and
  // no more than an outline may have: a fixed size can be any number).
  const int64_t rxb = common::Trunc(rx * FInvZoomX), ryb = common::Trunc(ry * FInvZoomY);
  const int64_t n =
      std::clamp<int64_t>(common::Trunc(double(std::min(rxb, ryb)) * 2 * M_PI), 50, kMaxOutlineVertices);
  const int64_t cx = l->ConvXScr2Bmp(FDownX), cy = l->ConvYScr2Bmp(FDownY);
  const int64_t w = l->Bitmap->GetWidth(), h = l->Bitmap->GetHeight();
  for (int64_t k = 0; k < n; ++k) {
    const double a = 2 * M_PI / double(n) * double(k);
    const int64_t x = common::Round(std::cos(a) * double(rxb) + double(cx));
    const int64_t y = common::Round(std::sin(a) * double(ryb) + double(cy));
    AddPolygonPoint(FSelectionPolygon, static_cast<int32_t>(std::clamp<int64_t>(x, 0, w)),
                    static_cast<int32_t>(std::clamp<int64_t>(y, 0, h)));
  }
}

// ---------------------------------------------------------------- the handlers

void TRastovaView::MouseDown(platform::TMouseButton Button, TShiftState Shift, int X, int Y) {
  TRVView::MouseDown(Button, Shift, X, Y);
  FButtonHeld = true;
  FSavedZoomFilter = FZoomFilter;
  if (Button == platform::mbRight && FLeftButtonHeld) return;
  if (Button == platform::mbLeft) FLeftButtonHeld = true;
  FLayerMoved = false;
  const bool rightLayers = Button == platform::mbRight && (FSelectionOptions & SelectionOption(rvsoRightButtonSelectLayers));
  if (Button != platform::mbLeft && !InInteract(FMouseInteract, miZoom) && !rightLayers) return;
  if (!InInteract(FMouseInteract, miScroll) && FDelayZoomFilter) FZoomFilter = rfNone;
  FSavedSelectionBase = FSelectionBase;
  FSelectionBase = rvsbClientArea;
  TRVLayer* l = GetCurrentLayer();
  FDownInImageX = IntClamp(X, FOffsetX, FOffsetX + FExtentX);
  FDownInImageY = IntClamp(Y, FOffsetY, FOffsetY + FExtentY);
  const int32_t xc = l ? IntClamp(X, l->ScreenRect.Left, l->ScreenRect.Right + 1) : X;
  const int32_t yc = l ? IntClamp(Y, l->ScreenRect.Top, l->ScreenRect.Bottom + 1) : Y;
  FRawDownX = FRawMoveX = X;
  FRawDownY = FRawMoveY = Y;
  FDownX = FMoveX = FPolyLastX = xc;
  FDownY = FMoveY = FPolyLastY = yc;
  FMouseDownViewX = FViewX;
  FMouseDownViewY = FViewY;
  FPolyCountAtDown = PolygonPointCount();
  const bool left = Button == platform::mbLeft;
  const bool multi = Shift.Contains(platform::ssShift) && FMultiSelectionAllowed;
  if (left && (InInteract(FMouseInteract, miSelectPolygon) || InInteract(FMouseInteract, miSelectLasso))) {
    LayersFixRotations(-1);
    DoBeforeSelectionChange();
    FSelectionMove = HitSelectionInside(xc, yc, Shift);
    if (FSelectionMove == -1) {
      int32_t px = xc, py = yc;
      if (Alt(*this, Shift) && !FSelectionPolygon->Points.empty() &&
          FSelectionPolygon->Points.back().x != TRVMask::kPolygonSeparator && l)
        SnapToAxisOrDiagonal(l->ConvXBmp2Scr(FSelectionPolygon->Points.back().x),
                             l->ConvYBmp2Scr(FSelectionPolygon->Points.back().y), px, py);
      if (!FPolySelecting) {
        if (multi) {
          AddSelectionBreak();
        } else {
          FSelectionMask->Clear();
          ClearPolygon(FSelectionPolygon);
        }
      }
      FPolySelecting = true;
      FLassoSelecting = InInteract(FMouseInteract, miSelectLasso);
      AddSelectionPointCore(px, py);
      DoSelectionChanging();
    }
  } else if (left && InInteract(FMouseInteract, miSelect)) {
    LayersFixRotations(-1);
    DoBeforeSelectionChange();
    FSelectionGrip = static_cast<uint8_t>(HitSelectionGripIfAllowed(X, Y, Shift));
    if (FSelectionGrip == 0) FSelectionMove = HitSelectionInside(X, Y, Shift);
    if (FSelectionGrip == 0 && FSelectionMove == -1) {
      FRectSelecting = true;
      if (FSelectionAspectRatio == 0) DragRectSelection(xc, yc, Shift);
      DoSelectionChanging();
    } else if (FSelectionGrip != 0) {
      FGripStartX1 = FSelectionPolygon->X1;
      FGripStartY1 = FSelectionPolygon->Y1;
      FGripStartX2 = FSelectionPolygon->X2;
      FGripStartY2 = FSelectionPolygon->Y2;
    }
  } else if (left && InInteract(FMouseInteract, miSelectZoom)) {
    FRectSelecting = true;
    DoSelectionChanging();
    SaveSelection();
  } else if (left && InInteract(FMouseInteract, miSelectCircle)) {
    LayersFixRotations(-1);
    DoBeforeSelectionChange();
    FSelectionMove = HitSelectionInside(xc, yc, Shift);
    if (FSelectionMove == -1) {
      FCircleSelecting = true;
      ShowSelection(false);
      if (FSelectionAspectRatio == 0) DragEllipseSelection(xc, yc, Shift);
      DoSelectionChanging();
    }
  } else if (left && InInteract(FMouseInteract, miSelectMagicWand)) {
    LayersFixRotations(-1);
    DoBeforeSelectionChange();
    FSelectionMove = HitSelectionInside(xc, yc, Shift);
  } else if ((left || rightLayers) && (InInteract(FMouseInteract, miMoveLayers) ||
                                       InInteract(FMouseInteract, miResizeLayers) ||
                                       InInteract(FMouseInteract, miRotateLayers))) {
    LayerPress(X, Y);
  }
  if (left && InInteract(FMouseInteract, miScroll) && HasScrollableArea()) SetInteractionCursor(kCurScroll);
  FSelectionBase = FSavedSelectionBase;
}

void TRastovaView::MouseMove(TShiftState Shift, int X, int Y) {
  TRVView::MouseMove(Shift, X, Y);
  const TRVSelectionBase savedBase = FSelectionBase;
  FSelectionBase = rvsbClientArea;
  TRVLayer* l = GetCurrentLayer();
  int32_t xc = l ? IntClamp(X, l->ScreenRect.Left, l->ScreenRect.Right + 1) : X;
  int32_t yc = l ? IntClamp(Y, l->ScreenRect.Top, l->ScreenRect.Bottom + 1) : Y;
  const bool selecting = InInteract(FMouseInteract, miSelect) || InInteract(FMouseInteract, miSelectPolygon) ||
                         InInteract(FMouseInteract, miSelectCircle) || InInteract(FMouseInteract, miSelectMagicWand) ||
                         InInteract(FMouseInteract, miSelectLasso);
  if (FButtonHeld) {
    if (InInteract(FMouseInteract, miScroll)) {
      SetViewXY(FMouseDownViewX - common::TruncInt((X - FRawDownX) * (long double)FMouseScrollRate),
                FMouseDownViewY - common::TruncInt((Y - FRawDownY) * (long double)FMouseScrollRate));
    } else if (FSelectionGrip != 0) {
      AutoScrollDrag();
      FSelectionGrip = static_cast<uint8_t>(
          ResizeSelectionByGrip(FSelectionGrip, xc, yc, Alt(*this, Shift) || FSelectionAspectRatio > 0));
      DoSelectionChanging();
    } else if (FSelectionMove == 0) {
      if (FSelectionOptions & SelectionOption(rvsoCanScroll)) AutoScrollDrag();
      if (l)
        MoveSelection(l->ConvXScr2Bmp(xc) - l->ConvXScr2Bmp(FMoveX), l->ConvYScr2Bmp(yc) - l->ConvYScr2Bmp(FMoveY),
                      (FSelectionOptions & SelectionOption(rvsoCutBorders)) != 0);
      DoSelectionChanging();
    } else if (FRectSelecting) {
      DragRectSelection(xc, yc, Shift);
    } else if (FPolySelecting) {
      AutoScrollDrag();
      PaintControl();
      DrawPolyRubberLine();
      if (l) AddPolygonPoint(FSelectionPolygon, l->ConvXScr2Bmp(xc), l->ConvYScr2Bmp(yc));
      AnimateSelections(this, true);
      DoSelectionChanging();
    } else if (FCircleSelecting) {
      DragEllipseSelection(xc, yc, Shift);
    } else if (FMovingLayer >= 0 || FRotationCenterLayer >= 0 || FRotatingLayer >= 0 || FLayerGrip != 0) {
      LayerStep(Shift, X, Y);
    }
  } else if (!(FPolySelecting && !FLassoSelecting)) {
    if (selecting) {
      const int32_t g = HitSelectionGripIfAllowed(X, Y, Shift);
      DoMouseInResizingGrip(static_cast<TRVGrip>(g));
      if (g == 0) {
        if (HitSelectionInside(X, Y, Shift) == 0)
          SetInteractionCursor(kCurMove);
        else if (Shift.Contains(platform::ssShift) && FMultiSelectionAllowed && (FCursor == 1785 || FCursor == 1793))
          SetInteractionCursor(FCursor == 1785 ? 1791 : 1794);
        else
          RestoreUserCursor();
      } else {
        SetInteractionCursor(GripCursor(g));
      }
    } else if (InInteract(FMouseInteract, miRotateLayers) && l) {
      if (IsPointInLayer(X, Y, FLayersCurrent)) {
        RestoreUserCursor();
      } else {
        const int32_t cx = l->ConvXBmp2Scr(common::TruncInt(l->RotateCenterX * l->Bitmap->GetWidth()));
        const int32_t cy = l->ConvYBmp2Scr(common::TruncInt(l->RotateCenterY * l->Bitmap->GetHeight()));
        if (X < cx && Y < cy) SetInteractionCursor(1814);
        else if (X < cx && Y > cy) SetInteractionCursor(1811);
        else if (X > cx && Y < cy) SetInteractionCursor(1812);
        else if (X > cx && Y > cy) SetInteractionCursor(1813);
      }
    } else if (InInteract(FMouseInteract, miResizeLayers) || InInteract(FMouseInteract, miMoveLayers)) {
      const TRVGrip g =
          InInteract(FMouseInteract, miResizeLayers) && l && !l->Locked ? HitLayerGrip(X, Y) : TRVGrip::rvNone;
      if (g == TRVGrip::rvNone) {
        const int32_t at = FindLayerAt(X, Y, true);
        if (at >= 0 && !GetLayer(at)->Locked && InInteract(FMouseInteract, miMoveLayers))
          SetInteractionCursor(kCurMove);
        else
          RestoreUserCursor();
      } else if (g != TRVGrip::rvRotationCenter) {
        SetInteractionCursor(GripCursor(static_cast<int32_t>(g)));
      }
    }
  } else {
    DrawPolyRubberLine();
    if (Alt(*this, Shift) && !FSelectionPolygon->Points.empty() &&
        FSelectionPolygon->Points.back().x != TRVMask::kPolygonSeparator && l)
      SnapToAxisOrDiagonal(l->ConvXBmp2Scr(FSelectionPolygon->Points.back().x),
                           l->ConvYBmp2Scr(FSelectionPolygon->Points.back().y), xc, yc);
    FPolyLastX = xc;
    FPolyLastY = yc;
    DrawPolyRubberLine();
    DoSelectionChanging();
  }
  if (InInteract(FMouseInteract, miMovingScroll) && (X != FRawMoveX || Y != FRawMoveY) && !FButtonHeld) {
    int32_t maxX = 0, maxY = 0;
    GetMaxViewXY(maxX, maxY);
    const int32_t vw = std::max(1, GetViewWidth()), vh = std::max(1, GetViewHeight());
    const int32_t cx = IntClamp(X, 0, vw - 1), cy = IntClamp(Y, 0, vh - 1);
    SmoothScrollTo(common::TruncInt((cx / (long double)vw - 0.02L) * 1.05L * maxX),
                   common::TruncInt((cy / (long double)vh - 0.02L) * 1.05L * maxY));
  }
  if (l && FSelectionMask->IsPointInside(l->ConvXScr2Bmp(xc), l->ConvYScr2Bmp(yc))) DoMouseInSel();
  FPolyLastX = FMoveX = xc;
  FPolyLastY = FMoveY = yc;
  FRawMoveX = X;
  FRawMoveY = Y;
  FSelectionBase = savedBase;
}

void TRastovaView::MouseUp(platform::TMouseButton Button, TShiftState Shift, int X, int Y) {
  TRVView::MouseUp(Button, Shift, X, Y);
  FButtonHeld = false;
  if (Button == platform::mbLeft) FLeftButtonHeld = false;
  FHintText.clear();
  TRVLayer* l = GetCurrentLayer();
  const int32_t xc = l ? IntClamp(X, l->ScreenRect.Left, l->ScreenRect.Right + 1) : X;
  const int32_t yc = l ? IntClamp(Y, l->ScreenRect.Top, l->ScreenRect.Bottom + 1) : Y;
  const TRVSelectionBase savedBase = FSelectionBase;
  FSelectionBase = rvsbClientArea;
  bool changed = false;
  const bool left = Button == platform::mbLeft;
  const bool multi = Shift.Contains(platform::ssShift) && FMultiSelectionAllowed;
  const bool moved = xc != FDownX || yc != FDownY;
  auto endRectangle = [&] {
    if (!multi) FSelectionMask->Clear();
    ApplySelectionPolygon();
  };
  if (InInteract(FMouseInteract, miZoom) && X == FDownX && Y == FDownY && !IsEmpty()) {
    double zoom = FZoomX;
    bool fire = false;
    if (left) {
      if (InInteract(FMouseInteract, miScroll)) RestoreUserCursor();
      if (FZoomX < 100) {
        for (double z : {2.0, 5.0, 10.0, 25.0, 33.0, 50.0, 75.0, 100.0})
          if (z > FZoomX) {
            zoom = z;
            break;
          }
      } else {
        zoom = FZoomX + 100;
      }
      DoZoomIn(zoom);
      fire = true;
    } else if (Button == platform::mbRight) {
      if (FZoomX < 200) {
        // The largest preset below the current zoom (2 when none is).
        zoom = 2;
        for (double z : {100.0, 75.0, 50.0, 33.0, 25.0, 10.0, 5.0, 2.0})
          if (z < FZoomX) {
            zoom = z;
            break;
          }
      } else {
        zoom = FZoomX - 100;
      }
      DoZoomOut(zoom);
      fire = true;
    }
    if (fire && (zoom != FZoomX || zoom != FZoomY)) ZoomAt(X, Y, false, zoom);
    FPolySelecting = false;
  } else if (left && InInteract(FMouseInteract, miScroll) && HasScrollableArea()) {
    SetViewXY(FMouseDownViewX - common::TruncInt((X - FRawDownX) * (long double)FMouseScrollRate),
              FMouseDownViewY - common::TruncInt((Y - FRawDownY) * (long double)FMouseScrollRate));
    RestoreUserCursor();
  } else if (left && InInteract(FMouseInteract, miSelectZoom)) {
    ZoomSelection(FZoomSelectionKeepAspect, true);
    FRectSelecting = false;
    RestoreSelection(true, 1);
  } else if (left && InInteract(FMouseInteract, miSelect)) {
    if (moved || FSelectionGrip != 0 || FSelectionMove == 0) {
      if (FRectSelecting || FSelectionGrip != 0) endRectangle();
      FRectSelecting = false;
      FSelectionGrip = 0;
      FSelectionMove = -1;
      if (FIsNavigator) {
        Invalidate();
      } else {
        FUpdateReason = 3;
        Update();
      }
      changed = true;
    } else if (FSelected && FSelectionAspectRatio != 0) {
      // A click removes the selection; a fixed-size one was made by this very click.
      DeSelect();
      changed = true;
    } else if (FRectSelecting) {
      endRectangle();
      FRectSelecting = false;
      FUpdateReason = 3;
      Update();
      changed = true;
    }
  } else if (left && InInteract(FMouseInteract, miSelectCircle)) {
    if (!moved && FSelectionMove != 0 && FSelectionAspectRatio != 0) {
      DeSelect();
    } else {
      if (FCircleSelecting) endRectangle();
      FCircleSelecting = false;
      FSelectionMove = -1;
      FUpdateReason = 3;
      Update();
      changed = true;
    }
  } else if (left && InInteract(FMouseInteract, miSelectLasso)) {
    if (!moved && FSelectionMove != 0) {
      DeSelect();
    } else {
      if (FLassoSelecting) endRectangle();
      FLassoSelecting = FPolySelecting = false;
      FSelectionMove = -1;
      FUpdateReason = 3;
      Update();
      changed = true;
    }
  } else if (left && InInteract(FMouseInteract, miSelectPolygon)) {
    if (FSelectionMove == 0) {
      FSelectionMove = -1;
      changed = true;
    }
    FUpdateReason = 3;
    Update();
  } else if (left && InInteract(FMouseInteract, miSelectMagicWand)) {
    if (FSelectionMove != 0) {
      SetInteractionCursor(-11);
      SelectMagicWand(X, Y, multi ? 1 : 0);
      RestoreUserCursor();
    }
    FSelectionMove = -1;
    FUpdateReason = 3;
    Update();
    changed = true;
  }
  if (left) {
    if (FMovingRectSelection) {
      FSelectionMask->Clear();
      ApplySelectionPolygon();
      FMovingRectSelection = false;
    }
    LayerEnd(X, Y, xc, yc);
    FSelectionMove = -1;
    FSelectionGrip = 0;
    FRectSelecting = FCircleSelecting = FLassoSelecting = false;
    if (changed) DoSelectionChange();
  }
  if (Button == platform::mbRight && (FSelectionOptions & SelectionOption(rvsoRightButtonTerminatePolySelect)))
    EndPolySelection(Shift, false);
  FZoomFilter = FSavedZoomFilter;
  FSelectionBase = savedBase;
}

void TRastovaView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPointer<TRastovaView> alive(this);
  TRVView::mouseDoubleClickEvent(event);
  // A handler of the click may have freed the view; a click on the frame is not the view's.
  if (!alive || event->button() != Qt::LeftButton || !event->isAccepted()) return;
  const TShiftState shift = platform::ShiftStateOf(event->modifiers(), event->buttons());
  platform::GuardedCall([&] { EndPolySelectionOnDblClick(shift); });
}

void TRastovaView::KeyDown(uint16_t& Key, TShiftState Shift) {
  TRVView::KeyDown(Key, Shift);
  if (Shift.Contains(platform::ssShift) && FMultiSelectionAllowed) {
    if (FCursor == 1785) SetInteractionCursor(1791);
    else if (FCursor == 1793) SetInteractionCursor(1794);
  }
  DoVirtualKey(Key, 0, true);
}

void TRastovaView::KeyUp(uint16_t& Key, TShiftState Shift) {
  TRVView::KeyUp(Key, Shift);
  if (!Shift.Contains(platform::ssShift) && FMultiSelectionAllowed) RestoreUserCursor();
  DoVirtualKey(Key, 0, false);
}

}  // namespace rv

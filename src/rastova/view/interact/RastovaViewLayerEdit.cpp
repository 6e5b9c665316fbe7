// Layer editing with the mouse: picking, moving, resizing by grips, rotating and moving the
// rotation centre of a layer, with their hints, undo steps and layer events.
#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

using common::TruncInt;

void TRastovaView::LayerPress(int32_t X, int32_t Y) {
  FLayerUndoSaved = false;
  FLayerGrip = static_cast<uint8_t>(InInteract(FMouseInteract, miResizeLayers) ? HitLayerGrip(X, Y) : TRVGrip::rvNone);
  TRVLayer* l = GetCurrentLayer();
  if (FLayerGrip != 0) {
    LayersFixRotations(-1);
    l = GetCurrentLayer();
    FLayerDragBox[0] = l->ScreenRect.Left;
    FLayerDragBox[1] = l->ScreenRect.Top;
    FLayerDragBox[2] = l->ScreenRect.Right;
    FLayerDragBox[3] = l->ScreenRect.Bottom;
    for (int i = 0; i < 4; ++i) FLayerDragCorners[i] = l->Corners[i];
    DoLayerNotify(FLayersCurrent, rvlBeginResizing);
    return;
  }
  if (!InInteract(FMouseInteract, miMoveLayers) && !InInteract(FMouseInteract, miRotateLayers)) return;
  if (InInteract(FMouseInteract, miRotateLayers) && HitLayerGrip(X, Y) == TRVGrip::rvRotationCenter) {
    FRotationCenterLayer = FLayersCurrent;
  } else if (InInteract(FMouseInteract, miRotateLayers) && !IsPointInLayer(X, Y, FLayersCurrent)) {
    FRotatingLayer = FLayersCurrent;
    FRotationAngle = l ? l->Rotation : 0.0;
  } else {
    FMovingLayer = FindLayerAt(X, Y, true);
    if (FMovingLayer >= 0) {
      SetCurrentLayer(FMovingLayer);
      DoLayerNotify(FLayersCurrent, rvlSelected);
      DoLayerNotify(FLayersCurrent, rvlBeginMoving);
      if (!GetLayer(FMovingLayer)->Locked) SetInteractionCursor(1790);
    }
  }
}

void TRastovaView::LayerStep(platform::TShiftState Shift, int32_t X, int32_t Y) {
  auto saveUndo = [this](TRVUndoSource kind) {
    if (!FLayerUndoSaved && FLayersSaveUndo) GetProc()->SaveUndo(kind);
    FLayerUndoSaved = true;
  };
  if (FMovingLayer >= 0) {
    TRVLayer* l = GetLayer(FMovingLayer);
    if (l->Locked) return;
    saveUndo(rvuLayer);
    AutoScrollDrag();
    l->PosX += XScr2Bmp(X) - XScr2Bmp(FRawMoveX);
    l->PosY += YScr2Bmp(Y) - YScr2Bmp(FRawMoveY);
    FLayerMoved = FLayerMoved || l->PosX != 0 || l->PosY != 0;
    SetInteractionHint("X=" + std::to_string(l->PosX) + " Y=" + std::to_string(l->PosY), X, "X=000 Y=000", Y);
    FLayerCacheToFree = FMovingLayer;
    Update();
    DoLayerNotify(FLayersCurrent, rvlMoving);
  } else if (FRotationCenterLayer >= 0) {
    TRVLayer* l = GetLayer(FRotationCenterLayer);
    const int32_t bw = l->Bitmap->GetWidth(), bh = l->Bitmap->GetHeight();
    if (bw > 0) l->RotateCenterX = double(l->ConvXScr2Bmp(X)) / bw;
    if (bh > 0) l->RotateCenterY = double(l->ConvYScr2Bmp(Y)) / bh;
    SetInteractionHint("X=" + std::to_string(TruncInt(l->GetDisplayWidth() * (long double)l->RotateCenterX)) +
                           " Y=" + std::to_string(TruncInt(l->GetDisplayHeight() * (long double)l->RotateCenterY)),
                       X, "X=000 Y=000", Y);
    FLayerCacheToFree = FRotationCenterLayer;
    Update();
  } else if (FRotatingLayer >= 0) {
    TRVLayer* l = GetLayer(FRotatingLayer);
    if (l->Locked) return;
    saveUndo(rvuFullLayer);
    double dx = (XScr2Bmp(X) - XScr2Bmp(FRawMoveX)) / 4.0;
    double dy = (YScr2Bmp(Y) - YScr2Bmp(FRawMoveY)) / 4.0;
    const int32_t cx = l->ConvXBmp2Scr(TruncInt(l->RotateCenterX * (long double)l->Bitmap->GetWidth()));
    const int32_t cy = l->ConvYBmp2Scr(TruncInt(l->RotateCenterY * (long double)l->Bitmap->GetHeight()));
    if (X > cx) dy = -dy;
    if (Y < cy) dx = -dx;
    FRotationAngle += dx + dy;
    double angle = FRotationAngle;
    if (Shift.Contains(platform::ssShift) && FLayersRotateStep != 0)
      angle = double(TruncInt(FRotationAngle / FLayersRotateStep)) * FLayersRotateStep;
    l->SetRotation(angle);
    SetInteractionHint(FloatToStrDot(l->Rotation) + "\xC2\xB0", X, "0000\xC2\xB0", Y);
    FLayerCacheToFree = FRotatingLayer;
    Update();
    DoLayerNotify(FLayersCurrent, rvlRotating);
  } else if (FLayerGrip != 0) {
    TRVLayer* l = GetCurrentLayer();
    if (!l || l->Locked) return;
    if (!FLayerUndoSaved) {
      if (FLayersSaveUndo) GetProc()->SaveUndo(rvuLayer);
      const int32_t w = l->GetDisplayWidth();
      FLayerResizeRatio = w != 0 ? double(l->GetDisplayHeight()) / w : 1.0;
      FLayerUndoSaved = true;
    }
    AutoScrollDrag();
    ResizeLayerByGrip(X, Y, Shift.Contains(platform::ssAlt) || FForceAlignedSelection);
    SetInteractionHint(std::to_string(l->GetDisplayWidth()) + " x " + std::to_string(l->GetDisplayHeight()), X,
                       "0000 x 0000", Y);
    FLayerCacheToFree = FLayersCurrent;
    Update();
    DoLayerNotify(FLayersCurrent, rvlResizing);
  }
}

void TRastovaView::LayerEnd(int32_t X, int32_t Y, int32_t ClampedX, int32_t ClampedY) {
  const bool moved = ClampedX != FDownX || ClampedY != FDownY;
  if (FMovingLayer >= 0) {
    FMovingLayer = -1;
    RestoreUserCursor();
    if (FLayerMoved) DoLayerNotify(FLayersCurrent, rvlMoved);
    FLayerMoved = false;
    Invalidate();
  }
  if (FRotatingLayer >= 0) {
    FRotatingLayer = -1;
    if (moved) DoLayerNotify(FLayersCurrent, rvlRotated);
    Invalidate();
  } else if (FRotationCenterLayer >= 0) {
    FRotationCenterLayer = -1;
  }
  if (InInteract(FMouseInteract, miRotateLayers) && !moved) {
    const int32_t at = FindLayerAt(X, Y, true);
    if (at >= 0) {
      SetCurrentLayer(at);
      DoLayerNotify(FLayersCurrent, rvlSelected);
    }
  }
  if (FLayerGrip != 0) {
    FLayerGrip = 0;
    if (moved) DoLayerNotify(FLayersCurrent, rvlResized);
    Update();
  }
}

void TRastovaView::ResizeLayerByGrip(int32_t X, int32_t Y, bool KeepAspect) {
  TRVLayer* l = GetCurrentLayer();
  if (!l) return;
  const int32_t W0 = l->GetDisplayWidth(), H0 = l->GetDisplayHeight();
  int32_t PX = l->PosX, PY = l->PosY;
  const int32_t L = FLayerDragBox[0], T = FLayerDragBox[1], R = FLayerDragBox[2], B = FLayerDragBox[3];
  const long double Q = FLayerResizeRatio;
  int32_t FX = XScr2Bmp(X), FY = YScr2Bmp(Y);
  const int32_t PXM = XScr2Bmp(FRawMoveX), PYM = YScr2Bmp(FRawMoveY);
  int32_t G = FLayerGrip;
  const bool keep = (FLayersResizeAspect == 1 && KeepAspect) || FLayersResizeAspect == 2 ||
                    (FLayersResizeAspect == 3 && G >= 1 && G <= 4);
  if (keep) {
    switch (G) {
      case 1:
      case 3:
        FY = YScr2Bmp(TruncInt((X - L) * Q) + T);
        break;
      case 2:
        FY = YScr2Bmp(TruncInt(Q * (R - X)) + T);
        break;
      case 4:
        FY = YScr2Bmp(TruncInt(Q * (L - X)) + B);
        break;
      case 5:
        FY = YScr2Bmp(TruncInt(Q * (L - X)) + B);
        G = 4;
        break;
      case 6:
        FY = YScr2Bmp(TruncInt((X - L) * Q) + T);
        G = 3;
        break;
      case 7:
      case 8:
        if (Q != 0) FX = XScr2Bmp(TruncInt((Y - T) / Q) + L);
        G = G == 7 ? 1 : 3;
        break;
      default:
        break;
    }
  }
  int32_t w = W0, h = H0;
  switch (G) {
    case 1:
      w = PX + W0 - FX;
      h = PY + H0 - FY;
      if (w > 1) PX = FX;
      if (h > 1) PY = FY;
      break;
    case 2:
      w = FX - PX;
      h = PY + H0 - FY;
      if (h > 1) PY = FY;
      break;
    case 3:
      w = FX - XScr2Bmp(L);
      h = FY - YScr2Bmp(T);
      break;
    case 4:
      w = PX + W0 - FX;
      h = FY - YScr2Bmp(T);
      if (w > 1) PX = FX;
      break;
    case 5:
      w = W0 + PXM - FX;
      if (w > 1) PX += FX - PXM;
      break;
    case 6:
      w = FX - XScr2Bmp(L);
      break;
    case 7:
      h = PY + H0 - FY;
      if (h > 1) PY = FY;
      break;
    case 8:
      h = H0 + FY - PYM;
      break;
    default:
      return;
  }
  l->DisplayWidth = std::max(w, 1);
  l->DisplayHeight = std::max(h, 1);
  l->PosX = PX;
  l->PosY = PY;
  if (!keep) FLayerResizeRatio = double(l->DisplayHeight) / l->DisplayWidth;
}

}  // namespace rv

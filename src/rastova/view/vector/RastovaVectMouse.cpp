// Object insertion and mouse editing: the left button inserts two-point objects, moves and
// resizes the selection by its grips; each gesture keeps its undo entry only when it changed
// objects.
#include <cmath>
#include <cstdlib>

#include "rastova/core/RVUtils.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

using platform::TShiftState;

void TRastovaVect::MoveObject(int32_t hobj, int32_t DX, int32_t DY) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->X1 += DX, o->Y1 += DY, o->X2 += DX, o->Y2 += DY;
  if (o->Kind == rvkANGLE)
    for (TRVPoint& p : o->AnglePoints)
      if (p.x != kAnglePointUnset) p.x += DX, p.y += DY;
}

void TRastovaVect::ResizeObject(int32_t hobj, int32_t DX1, int32_t DY1, int32_t DX2, int32_t DY2, bool KeepAspect,
                                int32_t Grip) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->X1 += DX1, o->Y1 += DY1, o->X2 += DX2, o->Y2 += DY2;
  if (!KeepAspect) return;
  const double downW = double(o->DownRect[2]) - o->DownRect[0];
  const double downH = double(o->DownRect[3]) - o->DownRect[1];
  if (Grip == 8 || Grip == 9) {
    const double prod = (double(o->Y2) - o->Y1) * downW;
    if (prod == 0 || downH == 0) return;
    const double W = prod / downH;
    if (Grip == 8) o->X1 = int32_t(std::lround(o->X2 - W));
    else o->X2 = int32_t(std::lround(o->X1 + W));
  } else if (Grip == 1 || Grip == 2 || (Grip >= 4 && Grip <= 7)) {
    const double prod = (double(o->X2) - o->X1) * downH;
    if (prod == 0 || downW == 0) return;
    const double H = prod / downW;
    if (Grip == 1 || Grip == 4) o->Y1 = int32_t(std::lround(o->Y2 - H));
    else o->Y2 = int32_t(std::lround(o->Y1 + H));
  }
}

platform::TRect TRastovaVect::AngleBounds(const TRVPoint (&Points)[3]) {
  const TRVPoint& v = Points[1];
  const int32_t dx = std::abs(v.x - std::max(Points[0].x, Points[2].x));
  const int32_t dy = std::abs(v.y - std::max(Points[0].y, Points[2].y));
  return platform::TRect(v.x - dx, v.y - dy, v.x + dx, v.y + dy);
}

void TRastovaVect::CancelInteraction() {
  ObjectUnderMouse = -1;
  Inserting = rvkNONE;
  DragGrip = 0;
  EndTextEdit();
  if (EditingObject >= 0) {
    EditingObject = -1;
    Update();
  }
}

void TRastovaVect::MouseDown(platform::TMouseButton Button, TShiftState Shift, int X, int Y) {
  TRastovaView::MouseDown(Button, Shift, X, Y);
  DoubleClicked = Shift.Contains(platform::ssDouble);
  UndoSaved = false;
  if (Button != platform::mbLeft || IsEmpty()) return;
  EndTextEdit();
  if (EditingObject >= 0) {
    EditingObject = -1;
    Update();
  }
  if (Inserting == rvkNONE) {
    ObjectsChanged = false;
    if (ObjAutoUndo) SaveObjUndo();
  }
  struct TBitKind {
    TRVVObjectInteract bit;
    TRVVObjectKind kind;
  };
  static const TBitKind kTwoPoint[] = {
      {rvoiInsertLine, rvkLINE},     {rvoiInsertLineLabel, rvkLINELABEL}, {rvoiInsertRuler, rvkRULER},
      {rvoiInsertBox, rvkBOX},       {rvoiInsertEllipse, rvkELLIPSE},     {rvoiInsertBitmap, rvkBITMAP},
      {rvoiInsertText, rvkTEXT},     {rvoiInsertMemo, rvkMEMO},           {rvoiDragLength, rvkLINE},
      {rvoiInsertExtended, rvkEXTENDED}};
  bool decided = false;
  for (const TBitKind& e : kTwoPoint)
    if (ObjectInteract & e.bit) {
      Inserting = e.kind;
      decided = true;
      break;
    }
  if (!decided && (ObjectInteract & rvoiEditObjects) && !DoubleClicked) {
    int32_t grip = 0;
    FindGrip(X, Y, grip);
    if ((grip == 0 || grip == 3) && SelectOnMouseDown) {
      ClickSelect(Shift.Contains(platform::ssShift), X, Y, true);
      FindGrip(X, Y, grip);
    }
    DragGrip = uint8_t(grip);
    if (DragGrip != 0)
      for (int32_t h : SelObjects)
        if (TRVVObjRecord* o = GetObj(h))
          o->DownRect[0] = o->X1, o->DownRect[1] = o->Y1, o->DownRect[2] = o->X2, o->DownRect[3] = o->Y2;
  }
  InsertX = X, InsertY = Y;
  DragOffsetX = DragOffsetY = 0;
}

void TRastovaVect::MouseMove(TShiftState Shift, int X, int Y) {
  if (DoubleClicked) {
    DoubleClicked = false;
    return;
  }
  EraseMeasureHint();
  TRastovaView::MouseMove(Shift, X, Y);
  if (X == FRawDownX && Y == FRawDownY) return;
  RawMouseX = X, RawMouseY = Y;
  X = std::clamp<int>(X, FOffsetX, FOffsetX + FExtentX - 1);
  Y = std::clamp<int>(Y, FOffsetY, FOffsetY + FExtentY - 1);
  const bool ctrl = Shift.Contains(platform::ssCtrl);
  if (FLeftButtonHeld && Inserting != rvkNONE) {
    ObjectMoving = 1;
    if (!(NewObjectTemplate.Style & rvvsSizeable)) {
      FDownInImageX = InsertX = X;
      FDownInImageY = InsertY = Y;
      return;
    }
    const int32_t x0 = FDownInImageX, y0 = FDownInImageY;
    AutoScrollDrag();
    switch (Inserting) {
      case rvkLINE:
      case rvkLINELABEL:
      case rvkRULER:
        if (ObjectInteract & rvoiDragLength) X = RawMouseX, Y = RawMouseY, HintVisible = true;
        if (ctrl) SnapToAxisOrDiagonal(x0, y0, X, Y);
        InsertX = X, InsertY = Y;
        break;
      case rvkBOX:
      case rvkELLIPSE:
      case rvkEXTENDED:
        if (ctrl) {
          const int32_t m = std::abs(y0 - Y) < std::abs(x0 - X) ? X - x0 : Y - y0;
          InsertX = x0 + m, InsertY = y0 + m;
        } else {
          InsertX = X, InsertY = Y;
        }
        break;
      case rvkBITMAP: {
        InsertX = X, InsertY = Y;
        TRVBitmap* b = GetObjBitmap(kObjTemplate);
        if ((Shift.Contains(platform::ssAlt) || FForceAlignedSelection || NewObjectTemplate.AspectRatio) && b &&
            b->GetWidth() > 0)
          InsertY = int32_t(std::trunc(y0 + double(InsertX - x0) * b->GetHeight() / b->GetWidth()));
        break;
      }
      default:
        InsertX = X, InsertY = Y;
        break;
    }
    Invalidate();
  } else if (FLeftButtonHeld && Inserting == rvkNONE && DragGrip != 0) {
    DoVectorialChangedOnce();
    ObjectMoving = 1;
    AutoScrollDrag();
    const int32_t tx = int32_t(std::trunc((X - FDownInImageX) * FInvZoomX));
    const int32_t ty = int32_t(std::trunc((Y - FDownInImageY) * FInvZoomY));
    int32_t DX = tx - DragOffsetX, DY = ty - DragOffsetY;
    DragOffsetX = tx, DragOffsetY = ty;
    for (int32_t h : std::vector<int32_t>(SelObjects)) {
      TRVVObjRecord* o = GetObj(h);
      if (!o) continue;
      const bool keep = Shift.Contains(platform::ssAlt) || FForceAlignedSelection || o->AspectRatio;
      DoObjectMoveResize(h, DragGrip, DX, DY);
      o = GetObj(h);
      if (!o) continue;
      if (o->Style & rvvsSizeable) {
        switch (DragGrip) {
          case 1: ResizeObject(h, DX, DY, 0, 0, keep, 1); break;
          case 2: ResizeObject(h, 0, 0, DX, DY, keep, 2); break;
          case 4: ResizeObject(h, 0, DY, DX, 0, keep, 4); break;
          case 5: ResizeObject(h, DX, 0, 0, DY, keep, 5); break;
          case 6: ResizeObject(h, DX, 0, 0, 0, keep, 6); break;
          case 7: ResizeObject(h, 0, 0, DX, 0, keep, 7); break;
          case 8: ResizeObject(h, 0, DY, 0, 0, keep, 8); break;
          case 9: ResizeObject(h, 0, 0, 0, DY, keep, 9); break;
          case 10: case 11: case 12: {
            TRVPoint& p = o->AnglePoints[DragGrip - 10];
            p.x += DX, p.y += DY;
            break;
          }
          default: break;
        }
      }
      if ((o->Style & rvvsMoveable) && DragGrip == 3) MoveObject(h, DX, DY);
    }
    Update();
  }
  EraseMeasureHint();
  DrawMeasureHint(RawMouseX, RawMouseY);
}

void TRastovaVect::MouseUp(platform::TMouseButton Button, TShiftState Shift, int X, int Y) {
  TRastovaView::MouseUp(Button, Shift, X, Y);
  DoubleClicked = Shift.Contains(platform::ssDouble);
  const bool moved = X != FDownInImageX || Y != FDownInImageY;
  const bool selecting = ObjectInteract & (rvoiEditObjects | rvoiMeasureLength | rvoiMeasureArea);
  const bool skipClick = !moved && (ObjectInteract & rvoiNoClickInsert) && !selecting;
  if (Button == platform::mbLeft && Inserting != rvkANGLE && Inserting != rvkPOLYLINE && !skipClick) {
    if (EditingObject >= 0) return;
    if (Inserting != rvkNONE) {
      TRVVObjRecord& t = NewObjectTemplate;
      if (InsertX == FDownInImageX && InsertY == FDownInImageY) {
        const int32_t w = t.X2 - t.X1, h = t.Y2 - t.Y1;
        t.X1 = XScr2Bmp(FDownInImageX), t.Y1 = YScr2Bmp(FDownInImageY);
        t.X2 = t.X1 + w, t.Y2 = t.Y1 + h;
      } else {
        t.X1 = XScr2Bmp(FDownInImageX), t.Y1 = YScr2Bmp(FDownInImageY);
        t.X2 = XScr2Bmp(InsertX), t.Y2 = YScr2Bmp(InsertY);
      }
      t.Kind = Inserting;
      if (ObjectInteract & rvoiDragLength) {
        EraseMeasureHint();
        HintVisible = false;
        if (OnDragLenEnd) OnDragLenEnd(this, LastMeasure);
      } else {
        DoVectorialChangedOnce();
        AddNewObject(t);
        UnSelAllObjects();
        DoNewObject(ObjectsCount() - 1);
        AddSelObject(kObjLast);
        ObjectsChanged = true;
        DoVectorialChanged();
      }
    } else if ((DragGrip != 0 && !(DragGrip == 3 && !moved)) ||
               !(ObjectInteract & (rvoiEditObjects | rvoiEditPolylinePoints)) ||
               InsertX != FDownInImageX || InsertY != FDownInImageY) {
      if (DragGrip != 0) {
        for (int32_t h : SelObjects) {
          TRVVObjRecord* o = GetObj(h);
          if (!o || o->Kind == rvkLINE || o->Kind == rvkRULER || o->Kind == rvkPOLYLINE || o->Kind == rvkLINELABEL)
            continue;
          if (o->X1 > o->X2) std::swap(o->X1, o->X2);
          if (o->Y1 > o->Y2) std::swap(o->Y1, o->Y2);
        }
        DoVectorialChanged();
      }
    } else if (!SelectOnMouseDown || SelectPending) {
      ClickSelect(Shift.Contains(platform::ssShift), X, Y, false);
    }
    Update();
    Inserting = rvkNONE;
    DragGrip = 0;
    if (ObjectMoving > 0) {
      ObjectMoving = 0;
      Invalidate();
    }
    if (ObjectInteract & rvoiEditObjects) {
      double d = 0;
      const int32_t h = FindObjectAtScreen(X, Y, d);
      if (h >= 0) DoObjectClick(h);
    }
  }
  if (!ObjectsChanged && ObjAutoUndo && UndoSaved && ObjUndoMode == rvumSeparated) DropLastObjUndo();
  DrawMeasureHint(X, Y);
}

}  // namespace rv

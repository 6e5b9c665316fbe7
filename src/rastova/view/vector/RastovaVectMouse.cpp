// Object insertion and mouse editing: the left button inserts objects (two-point kinds by a
// drag or a click, angles by three clicks, poly-lines by clicks or a held button), measures a
// dragged length, selects objects by a click or a rubber band, moves and resizes the selection
// by its grips and moves, adds and deletes poly-line points; the pointer's hover shows the grip
// cursors and reaches extended objects. Each gesture keeps its undo entry only when it changed
// objects.
#include <cmath>
#include <cstdlib>

#include "common/Round.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

using platform::TShiftState;

namespace {
// Coordinate plus delta: deltas come from callers and from move handlers, which may hand back
// any value, so the sum saturates at the ends of the 32-bit range instead of wrapping round.
void Offset(int32_t& v, int32_t d) { v = common::SaturateInt32(int64_t(v) + d); }
}  // namespace

void TRastovaVect::MoveObject(int32_t hobj, int32_t DX, int32_t DY) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  Offset(o->X1, DX), Offset(o->Y1, DY), Offset(o->X2, DX), Offset(o->Y2, DY);
  if (o->Kind == rvkANGLE)
    for (TRVPoint& p : o->AnglePoints)
      if (p.x != kAnglePointUnset) Offset(p.x, DX), Offset(p.y, DY);
}

void TRastovaVect::ResizeObject(int32_t hobj, int32_t DX1, int32_t DY1, int32_t DX2, int32_t DY2, bool KeepAspect,
                                int32_t Grip) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  Offset(o->X1, DX1), Offset(o->Y1, DY1), Offset(o->X2, DX2), Offset(o->Y2, DY2);
  if (!KeepAspect) return;
  const double downW = double(o->DownRect[2]) - o->DownRect[0];
  const double downH = double(o->DownRect[3]) - o->DownRect[1];
  if (Grip == 8 || Grip == 9) {
    const double prod = (double(o->Y2) - o->Y1) * downW;
    if (prod == 0 || downH == 0) return;
    const double W = prod / downH;
    if (Grip == 8) o->X1 = common::RoundInt(o->X2 - W);
    else o->X2 = common::RoundInt(o->X1 + W);
  } else if (Grip == 1 || Grip == 2 || (Grip >= 4 && Grip <= 7)) {
    const double prod = (double(o->X2) - o->X1) * downH;
    if (prod == 0 || downW == 0) return;
    const double H = prod / downW;
    if (Grip == 1 || Grip == 4) o->Y1 = common::RoundInt(o->Y2 - H);
    else o->Y2 = common::RoundInt(o->Y1 + H);
  }
}

platform::TRect TRastovaVect::AngleBounds(const TRVPoint (&Points)[3]) {
  const TRVPoint& v = Points[1];
  const int32_t dx = std::abs(v.x - std::max(Points[0].x, Points[2].x));
  const int32_t dy = std::abs(v.y - std::max(Points[0].y, Points[2].y));
  return platform::TRect{v.x - dx, v.y - dy, v.x + dx, v.y + dy};
}

namespace {

// The layer's hover cursors (numbers of the view's cursor table) by grip.
platform::TCursor VectGripCursor(int32_t Grip) {
  switch (Grip) {
    case 1:
    case 2:
      return 1786;
    case 3:
      return 1790;
    case 6:
    case 7:
      return 1789;
    case 8:
    case 9:
      return 1787;
    case 4:
    case 5:
    case 10:
    case 11:
    case 12:
      return 1788;
    default:
      return 0;
  }
}

constexpr platform::TCursor kCurPolyPoint = 1790, kCurPolySegment = 1791, kCurPolyPointDelete = 1792;

bool IsStraightKind(TRVVObjectKind k) { return k == rvkLINE || k == rvkRULER || k == rvkLINELABEL; }

}  // namespace

TRVExtendedObject* TRastovaVect::ExtendedAt(int32_t hobj) {
  TRVVObjRecord* o = hobj >= 0 ? GetObj(hobj) : nullptr;
  return o && o->Kind == rvkEXTENDED ? o->ExtendedObject : nullptr;
}

void TRastovaVect::WriteMouseInteract(TRVMouseInteract Value) {
  TRastovaView::WriteMouseInteract(Value);
  // Every insertion and editing bit (2 to 14 and 16) goes.
  if (Value != 0) ObjectInteract &= ~TRVVObjectInteract(0x17FFC);
  CancelInteraction();
}

void TRastovaVect::CancelInteraction() {
  EraseRubber();
  ObjectUnderMouse = -1;
  Inserting = rvkNONE;
  DragGrip = 0;
  EndTextEdit();
  if (EditingObject >= 0) {
    EditingObject = -1;
    Update();
  }
}

// ---------------------------------------------------------------- mouse down

void TRastovaVect::MouseDown(platform::TMouseButton Button, TShiftState Shift, int X, int Y) {
  TRastovaView::MouseDown(Button, Shift, X, Y);
  DoubleClicked = Shift.Contains(platform::ssDouble);
  int32_t cx = IntClamp(X, FOffsetX, FOffsetX + FExtentX - 1), cy = IntClamp(Y, FOffsetY, FOffsetY + FExtentY - 1);
  UndoSaved = false;
  if (Button != platform::mbLeft || IsEmpty()) return;
  // The outline of a poly-line or angle in progress goes with the click.
  EraseRubber();
  EndTextEdit();
  if (EditingObject >= 0) {
    EditingObject = -1;
    Update();
  }
  PolySegmentToSplit = -1;
  // A point taken by an earlier gesture must not be deleted by this one's Ctrl-click.
  DraggedPolyPoint = -1;
  FPolyPointsEdited = false;
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
  const TBitKind* twoPoint = nullptr;
  for (const TBitKind& e : kTwoPoint)
    if (ObjectInteract & e.bit) {
      twoPoint = &e;
      break;
    }
  if (twoPoint) {
    Inserting = twoPoint->kind;  // the drag happens in MouseMove
  } else if ((ObjectInteract & rvoiInsertAngle) && !DoubleClicked) {
    // A double-click goes on to the next bits.
    InsertAngleClick(Shift, cx, cy);
  } else if (ObjectInteract & rvoiInsertPolyline) {
    InsertPolylineClick(Shift, cx, cy);
    X = cx, Y = cy;
  } else if (ObjectInteract & rvoiEditPolylinePoints) {
    X = cx, Y = cy;
    DraggedPolyPoint = FindPolylinePoint(X, Y);
    if (DraggedPolyPoint == -1) {
      PolySegmentToSplit = FindPolylineSegment(X, Y);
    } else if (const TRVVObjRecord* o = GetObj(SelObjects[0]); o && DraggedPolyPoint < o->PolyPointsCount) {
      FPolyPointDown = o->PolyPoints[size_t(DraggedPolyPoint)];
    } else {
      DraggedPolyPoint = -1;  // the drawn points are older than the poly-line
    }
  } else if (ObjectInteract & rvoiEditObjects) {
    EditObjectsDown(Button, Shift, X, Y);
  }
  InsertX = X, InsertY = Y;
  DragOffsetX = DragOffsetY = 0;
}

void TRastovaVect::InsertAngleClick(TShiftState Shift, int32_t X, int32_t Y) {
  int32_t bx = XScr2Bmp(X), by = YScr2Bmp(Y);
  TRVVObjRecord& t = NewObjectTemplate;
  if (Inserting != rvkANGLE) {
    ObjectsChanged = true;
    Inserting = rvkANGLE;
    t.Kind = rvkANGLE;
    t.AnglePoints[0] = TRVPoint{bx, by};
    t.AnglePoints[1] = t.AnglePoints[2] = TRVPoint{kAnglePointUnset, kAnglePointUnset};
    t.X1 = t.Y1 = 1000000;
    t.X2 = t.Y2 = -1000000;
    InsertingAngle = AddNewObject(t);
    UnSelAllObjects();
    Update();
    return;
  }
  TRVVObjRecord* o = GetObj(InsertingAngle);
  if (!o || o->Kind != rvkANGLE) {
    Inserting = rvkNONE;  // the object went meanwhile
    return;
  }
  const bool ctrl = Shift.Contains(platform::ssCtrl);
  if (o->AnglePoints[1].x == kAnglePointUnset) {
    if (ctrl) {
      SnapToAxisOrDiagonal(o->AnglePoints[0].x, o->AnglePoints[0].y, bx, by);
      FDownInImageX = XBmp2Scr(bx), FDownInImageY = YBmp2Scr(by);
    }
    o->AnglePoints[1] = TRVPoint{bx, by};
  } else {
    if (ctrl) SnapToAxisOrDiagonal(o->AnglePoints[1].x, o->AnglePoints[1].y, bx, by);
    o->AnglePoints[2] = TRVPoint{bx, by};
    const platform::TRect r = AngleBounds(o->AnglePoints);
    o->X1 = r.Left, o->Y1 = r.Top, o->X2 = r.Right, o->Y2 = r.Bottom;
    t.X1 = r.Left, t.Y1 = r.Top, t.X2 = r.Right, t.Y2 = r.Bottom;
    AddSelObject(InsertingAngle);
    DoVectorialChanged();
    DoNewObject(InsertingAngle);
    Inserting = rvkNONE;
  }
  Update();
}

void TRastovaVect::InsertPolylineClick(TShiftState Shift, int32_t& X, int32_t& Y) {
  auto append = [&] {
    LastPolyX = X, LastPolyY = Y;
    AddPolylinePoint(InsertingPolyline, XScr2Bmp(X), YScr2Bmp(Y));
  };
  TRVVObjRecord& t = NewObjectTemplate;
  if (Inserting == rvkPOLYLINE) {
    if (Shift.Contains(platform::ssCtrl)) {
      SnapToAxisOrDiagonal(LastPolyX, LastPolyY, X, Y);
      FDownInImageX = X, FDownInImageY = Y;
    }
    append();
    if (DoubleClicked) {
      if (const TRVVObjRecord* o = GetObj(InsertingPolyline)) t.X1 = o->X1, t.Y1 = o->Y1, t.X2 = o->X2, t.Y2 = o->Y2;
      AddSelObject(InsertingPolyline);
      DoVectorialChanged();
      DoNewObject(InsertingPolyline);
      Inserting = rvkNONE;
    }
    Update();
    return;
  }
  Inserting = rvkPOLYLINE;
  ClearPolylinePoints(t);
  t.Kind = rvkPOLYLINE;
  t.X1 = t.Y1 = 1000000;
  t.X2 = t.Y2 = -1000000;
  ObjectsChanged = true;
  InsertingPolyline = AddNewObject(t);
  append();
  UnSelAllObjects();
  Update();
}

void TRastovaVect::EditObjectsDown(platform::TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (!DoubleClicked) {
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
  } else {
    double d = 0;
    const int32_t h = FindObjectAt(XScr2Bmp(X), YScr2Bmp(Y), d, true);
    if (h >= 0) {
      DoObjectDblClick(h);
      const TRVVObjRecord* o = GetObj(h);
      if (o && (o->Kind == rvkTEXT || o->Kind == rvkMEMO) && d == 0) {
        // The grips are part of the back buffer: the update below shows the new selection.
        for (int32_t s : std::vector<int32_t>(SelObjects))
          if (s != h) DoUserDeselectObject(s);
        const bool wasSelected = IsSelObject(h);
        UnSelAllObjects();
        AddSelObject(h);
        if (!wasSelected) DoUserSelectObject(h);
        EditingObject = h;
        BeginTextEdit();
        Update();
      }
    }
  }
  double d = 0;
  const int32_t h = FindObjectAtScreen(X, Y, d);
  if (d == 0)
    if (TRVExtendedObject* e = ExtendedAt(h)) e->MouseDown(Button, Shift, X, Y);
}

// ---------------------------------------------------------------- mouse move

void TRastovaVect::MouseMove(TShiftState Shift, int X, int Y) {
  if (DoubleClicked) {
    DoubleClicked = false;
    return;
  }
  EraseMeasureHint();
  TRastovaView::MouseMove(Shift, X, Y);
  if (X == FRawDownX && Y == FRawDownY) return;
  RawMouseX = X, RawMouseY = Y;
  X = IntClamp(X, FOffsetX, FOffsetX + FExtentX - 1);
  Y = IntClamp(Y, FOffsetY, FOffsetY + FExtentY - 1);
  if (FLeftButtonHeld && Inserting != rvkNONE) {
    ObjectMoving = 1;
    if (Inserting != rvkPOLYLINE && Inserting != rvkANGLE && !(NewObjectTemplate.Style & rvvsSizeable)) {
      // The object gets the template's size at the release point: no outline grows.
      FDownInImageX = InsertX = X;
      FDownInImageY = InsertY = Y;
      return;
    }
    DragInsertion(Shift, X, Y);
  } else if (FLeftButtonHeld && DragGrip != 0) {
    DragSelection(Shift, X, Y);
  } else if (FLeftButtonHeld && (ObjectInteract & rvoiEditPolylinePoints)) {
    DragPolylinePoint(X, Y);
  } else if (FLeftButtonHeld && (ObjectInteract & rvoiEditObjects)) {
    DragRubberBand(Shift, X, Y);
  } else if (!FLeftButtonHeld) {
    HoverWithoutButton(Shift, X, Y);
  }
  EraseMeasureHint();
  DrawMeasureHint(RawMouseX, RawMouseY);
  if (Inserting == rvkNONE) TrackExtendedObjects(Shift, X, Y);
}

void TRastovaVect::DragInsertion(TShiftState Shift, int32_t X, int32_t Y) {
  const bool ctrl = Shift.Contains(platform::ssCtrl);
  // A square of the larger offset from the mouse-down point, in its direction.
  auto square = [&] {
    const int32_t x0 = FDownInImageX, y0 = FDownInImageY;
    if (!ctrl) {
      InsertX = X, InsertY = Y;
      return;
    }
    const int32_t m = std::abs(y0 - Y) < std::abs(x0 - X) ? X - x0 : Y - y0;
    InsertX = x0 + m, InsertY = y0 + m;
  };
  switch (Inserting) {
    case rvkLINE:
    case rvkLINELABEL:
      if (ObjectInteract & rvoiDragLength) X = RawMouseX, Y = RawMouseY, HintVisible = true;
      DrawRubberLine(true);
      AutoScrollDrag();
      if (ctrl) SnapToAxisOrDiagonal(FDownInImageX, FDownInImageY, X, Y);
      InsertX = X, InsertY = Y;
      DrawRubberLine(false);
      break;
    case rvkBOX:
    case rvkEXTENDED:
      DrawRubberBox(true);
      AutoScrollDrag();
      square();
      DrawRubberBox(false);
      break;
    case rvkELLIPSE:
      DrawRubberEllipse(true);
      AutoScrollDrag();
      square();
      DrawRubberEllipse(false);
      break;
    case rvkBITMAP: {
      DrawRubberBox(true);
      AutoScrollDrag();
      InsertX = X, InsertY = Y;
      TRVBitmap* b = GetObjBitmap(kObjTemplate);
      if ((Shift.Contains(platform::ssAlt) || FForceAlignedSelection || NewObjectTemplate.AspectRatio) && b &&
          b->GetWidth() > 0)
        InsertY = common::TruncInt(FDownInImageY + static_cast<long double>(InsertX - FDownInImageX) *
                                                       b->GetHeight() / b->GetWidth());
      DrawRubberBox(false);
      break;
    }
    case rvkRULER:
      AutoScrollDrag();
      if (ctrl) SnapToAxisOrDiagonal(FDownInImageX, FDownInImageY, X, Y);
      InsertX = X, InsertY = Y;
      FRubber.Kind = rbNone;  // the repaint takes the old ruler away
      PaintControl();
      DrawRubberRuler();
      break;
    case rvkPOLYLINE: {
      // Freehand: every move with the button held adds a point.
      RawMouseX = X, RawMouseY = Y;
      const int32_t bx = XScr2Bmp(X), by = YScr2Bmp(Y);
      AddPolylinePoint(InsertingPolyline, bx, by);
      LastPolyX = XBmp2Scr(bx), LastPolyY = YBmp2Scr(by);
      Update();
      PaintControl();
      break;
    }
    case rvkANGLE:
      AutoScrollDrag();
      InsertX = X, InsertY = Y;
      FRubber.Kind = rbNone;
      PaintControl();
      DrawRubberAngle();
      break;
    default:  // texts, memos
      DrawRubberBox(true);
      AutoScrollDrag();
      InsertX = X, InsertY = Y;
      DrawRubberBox(false);
      break;
  }
}

void TRastovaVect::DragSelection(TShiftState Shift, int32_t X, int32_t Y) {
  DoVectorialChangedOnce();
  ObjectMoving = 1;
  AutoScrollDrag();
  // Ctrl keeps a line's dragged end on the horizontal, vertical or diagonal through its other end.
  if (Shift.Contains(platform::ssCtrl) && !SelObjects.empty() && (DragGrip == 1 || DragGrip == 2))
    if (TRVVObjRecord* f = GetObj(SelObjects[0]); f && IsStraightKind(f->Kind)) {
      if (DragGrip == 1) {
        SnapToAxisOrDiagonal(f->X2, f->Y2, f->X1, f->Y1);
        SnapToAxisOrDiagonal(XBmp2Scr(f->X2), YBmp2Scr(f->Y2), X, Y);
      } else {
        SnapToAxisOrDiagonal(f->X1, f->Y1, f->X2, f->Y2);
        SnapToAxisOrDiagonal(XBmp2Scr(f->X1), YBmp2Scr(f->Y1), X, Y);
      }
    }
  const int32_t tx = common::TruncInt((X - FDownInImageX) * static_cast<long double>(FInvZoomX));
  const int32_t ty = common::TruncInt((Y - FDownInImageY) * static_cast<long double>(FInvZoomY));
  int32_t DX = tx - DragOffsetX, DY = ty - DragOffsetY;
  DragOffsetX = tx, DragOffsetY = ty;
  const bool alt = Shift.Contains(platform::ssAlt) || FForceAlignedSelection;
  for (int32_t h : std::vector<int32_t>(SelObjects)) {
    TRVVObjRecord* o = GetObj(h);
    if (!o) continue;
    const bool keep = alt || o->AspectRatio;
    DoObjectMoveResize(h, DragGrip, DX, DY);
    o = GetObj(h);  // the handler may have changed the store
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
        case 10:
        case 11:
        case 12: {
          TRVPoint& p = o->AnglePoints[DragGrip - 10];
          Offset(p.x, DX), Offset(p.y, DY);
          break;
        }
        default: break;
      }
    }
    if ((o->Style & rvvsMoveable) && DragGrip == 3) MoveObject(h, DX, DY);
  }
  Update();
}

void TRastovaVect::DragPolylinePoint(int32_t X, int32_t Y) {
  AutoScrollDrag();
  if (DraggedPolyPoint < 0 || SelObjects.empty()) return;
  TRVVObjRecord* o = GetObj(SelObjects[0]);
  if (!o || o->Kind != rvkPOLYLINE || DraggedPolyPoint >= o->PolyPointsCount) return;
  const int32_t tx = common::TruncInt((X - FDownInImageX) * static_cast<long double>(FInvZoomX));
  const int32_t ty = common::TruncInt((Y - FDownInImageY) * static_cast<long double>(FInvZoomY));
  DragOffsetX = tx, DragOffsetY = ty;
  // The corners on the control, grown by 8 bitmap pixels: what the poly-line may cover.
  auto grown = [&] {
    return platform::Rect(XBmp2Scr(std::min(o->X1, o->X2) - 8), YBmp2Scr(std::min(o->Y1, o->Y2) - 8),
                          XBmp2Scr(std::max(o->X1, o->X2) + 8) + 1, YBmp2Scr(std::max(o->Y1, o->Y2) + 8) + 1);
  };
  const platform::TRect before = grown();
  // The points are kept in the poly-line's base space: the pointer's offset is taken back through
  // its scale, so that the point stays under the pointer on a resized poly-line too.
  double sx = 1, sy = 1;
  GetPolylineScale(*o, sx, sy);
  TRVPoint& p = o->PolyPoints[size_t(DraggedPolyPoint)];
  p.x = FPolyPointDown.x + (sx != 0 ? common::RoundInt(tx / static_cast<long double>(sx)) : tx);
  p.y = FPolyPointDown.y + (sy != 0 ? common::RoundInt(ty / static_cast<long double>(sy)) : ty);
  NormalizePolyline(*o);
  FPolyPointsEdited = true;
  const platform::TRect after = grown();
  // The objects are drawn over the whole back buffer: it is rebuilt whole.
  FBackBufferDirty = true;
  FRepaintAll = true;
  InvalidateRect(platform::Rect(std::min(before.Left, after.Left), std::min(before.Top, after.Top),
                                std::max(before.Right, after.Right), std::max(before.Bottom, after.Bottom)));
}

void TRastovaVect::DragRubberBand(TShiftState Shift, int32_t X, int32_t Y) {
  DrawRubberBox(true);
  AutoScrollDrag();
  InsertX = X, InsertY = Y;
  const std::vector<int32_t> before = SelObjects;
  if (!Shift.Contains(platform::ssShift)) ClearSelection();
  int32_t l = XScr2Bmp(FDownInImageX), t = YScr2Bmp(FDownInImageY), r = XScr2Bmp(InsertX), b = YScr2Bmp(InsertY);
  OrderRectCorners(l, t, r, b);
  SelectObjectsInRect(kObjAll, l, t, r, b);
  if (OnSelectObject) OnSelectObject(this);
  if (SelObjects != before) {
    // The grips are drawn into the back buffer.
    FBackBufferDirty = true;
    FRepaintAll = true;
    PaintControl();
  }
  DrawRubberBox(false);
}

void TRastovaVect::HoverWithoutButton(TShiftState Shift, int32_t X, int32_t Y) {
  const bool ctrl = Shift.Contains(platform::ssCtrl);
  if (Inserting == rvkPOLYLINE) {
    DrawRubberLine(true);
    AutoScrollDrag();
    if (ctrl) SnapToAxisOrDiagonal(LastPolyX, LastPolyY, RawMouseX, RawMouseY);
    InsertX = RawMouseX, InsertY = RawMouseY;
    FDownInImageX = LastPolyX, FDownInImageY = LastPolyY;
    DrawRubberLine(false);
    if (ObjectInteract & rvoiDragLength) HintVisible = true;
    return;
  }
  if (Inserting == rvkANGLE) {
    AutoScrollDrag();
    if (ctrl) SnapToAxisOrDiagonal(FDownInImageX, FDownInImageY, X, Y);
    InsertX = X, InsertY = Y;
    FRubber.Kind = rbNone;
    PaintControl();
    DrawRubberAngle();
    return;
  }
  if (OnObjectOver) {
    double d = 0;
    const int32_t h = FindObjectAt(XScr2Bmp(X), YScr2Bmp(Y), d, false);
    if (h >= 0) DoObjectOver(h);
  }
  if (!(ObjectInteract & (rvoiEditPolylinePoints | rvoiEditObjects))) return;
  platform::TCursor cursor = 0;
  if (ObjectInteract & rvoiEditPolylinePoints) {
    if (FindPolylinePoint(X, Y) >= 0)
      cursor = ctrl ? kCurPolyPointDelete : kCurPolyPoint;
    else if (FindPolylineSegment(X, Y) >= 0)
      cursor = kCurPolySegment;
  }
  if (cursor == 0 && (ObjectInteract & rvoiEditObjects)) {
    int32_t grip = 0;
    FindGrip(X, Y, grip);
    cursor = VectGripCursor(grip);
  }
  if (cursor != 0) {
    SetInteractionCursor(cursor);
    return;
  }
  // Elsewhere the view's own cursor: the one its selection or layer mode chose, else the user's.
  static constexpr TRVMouseInteractItems kViewCursorItems[] = {miSelect,      miSelectPolygon, miSelectCircle,
                                                               miSelectMagicWand, miSelectLasso, miMoveLayers,
                                                               miResizeLayers, miRotateLayers};
  for (TRVMouseInteractItems i : kViewCursorItems)
    if (InInteract(FMouseInteract, i)) return;
  RestoreUserCursor();
}

void TRastovaVect::TrackExtendedObjects(TShiftState Shift, int32_t X, int32_t Y) {
  double d = 0;
  int32_t h = FindObjectAtScreen(X, Y, d);
  if (d != 0 || h < 0) h = -1;
  if (ObjectUnderMouse >= 0 && ObjectUnderMouse != h)
    if (TRVExtendedObject* e = ExtendedAt(ObjectUnderMouse)) e->MouseLeave();
  if (h >= 0 && h != ObjectUnderMouse)
    if (TRVExtendedObject* e = ExtendedAt(h)) e->MouseEnter();
  ObjectUnderMouse = h;
  if (TRVExtendedObject* e = ExtendedAt(h)) e->MouseMove(Shift, X, Y);
}

// ---------------------------------------------------------------- mouse up

void TRastovaVect::MouseUp(platform::TMouseButton Button, TShiftState Shift, int X, int Y) {
  TRastovaView::MouseUp(Button, Shift, X, Y);
  DoubleClicked = Shift.Contains(platform::ssDouble);
  const bool moved = X != FDownInImageX || Y != FDownInImageY;
  const bool selecting = ObjectInteract & (rvoiEditObjects | rvoiMeasureLength | rvoiMeasureArea);
  const bool skipClick = !moved && (ObjectInteract & rvoiNoClickInsert) && !selecting;
  if (Button == platform::mbLeft && Inserting != rvkANGLE && Inserting != rvkPOLYLINE && !skipClick) {
    if (EditingObject >= 0) return;
    EraseRubber();
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
        const int32_t h = AddNewObject(t);
        UnSelAllObjects();
        DoNewObject(h);
        AddSelObject(h);
        ObjectsChanged = true;
        if (t.Kind == rvkTEXT || t.Kind == rvkMEMO) {
          // The new object opens its in-place editor; ending it tells of the change.
          EditingObject = h;
          BeginTextEdit();
        } else {
          DoVectorialChanged();
        }
      }
    } else if ((DragGrip != 0 && !(DragGrip == 3 && !moved)) ||
               !(ObjectInteract & (rvoiEditObjects | rvoiEditPolylinePoints)) || InsertX != FDownInImageX ||
               InsertY != FDownInImageY) {
      if (DragGrip != 0) {
        for (int32_t h : SelObjects) {
          TRVVObjRecord* o = GetObj(h);
          if (!o || IsStraightKind(o->Kind) || o->Kind == rvkPOLYLINE) continue;
          OrderRectCorners(o->X1, o->Y1, o->X2, o->Y2);
        }
        DoVectorialChanged();
      }
    } else if (!SelectOnMouseDown || SelectPending) {
      ClickSelect(Shift.Contains(platform::ssShift), X, Y, false);
    }
    EditPolylinePointsUp(Shift, X, Y);
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
  DropGestureUndo();
  double d = 0;
  const int32_t h = FindObjectAtScreen(X, Y, d);
  if (d == 0)
    if (TRVExtendedObject* e = ExtendedAt(h)) e->MouseUp(Button, Shift, X, Y);
  DrawMeasureHint(X, Y);
}

void TRastovaVect::EditPolylinePointsUp(TShiftState Shift, int32_t X, int32_t Y) {
  TRVVObjRecord* o = SelObjectsCount() == 1 ? GetObj(SelObjects[0]) : nullptr;
  if (o && o->Kind != rvkPOLYLINE) o = nullptr;
  // Ctrl-click on a point deletes it; a poly-line keeps at least two.
  if (o && DraggedPolyPoint >= 0 && Shift.Contains(platform::ssCtrl) && o->PolyPointsCount > 2 &&
      DraggedPolyPoint < o->PolyPointsCount) {
    o->PolyPoints.erase(o->PolyPoints.begin() + DraggedPolyPoint);
    --o->PolyPointsCount;
    o->PolyPoints.resize(size_t(o->PolyPointsCount));
    o->PolyPointsAlloc = o->PolyPointsCount;
    NormalizePolyline(*o);
    FPolyPointsEdited = true;
  }
  // A click on a segment puts a new point there, taken into the poly-line's base space.
  if (o && PolySegmentToSplit >= 0 && PolySegmentToSplit < o->PolyPointsCount) {
    double sx = 1, sy = 1;
    GetPolylineScale(*o, sx, sy);
    const long double bx = XScr2Bmp(X), by = YScr2Bmp(Y);
    const int32_t px = sx != 0 ? common::RoundInt((bx + o->PolyBaseX1 * static_cast<long double>(sx) - o->X1) / sx)
                               : common::RoundInt(bx - o->X1 + o->PolyBaseX1);
    const int32_t py = sy != 0 ? common::RoundInt((by + o->PolyBaseY1 * static_cast<long double>(sy) - o->Y1) / sy)
                               : common::RoundInt(by - o->Y1 + o->PolyBaseY1);
    o->PolyPoints.resize(size_t(o->PolyPointsCount));
    o->PolyPoints.insert(o->PolyPoints.begin() + PolySegmentToSplit + 1, TRVPoint{px, py});
    ++o->PolyPointsCount;
    o->PolyPointsAlloc = o->PolyPointsCount;
    NormalizePolyline(*o);
    FPolyPointsEdited = true;
  }
  PolySegmentToSplit = -1;
  // A changed poly-line is a change of the objects: the gesture's undo entry stays.
  if (FPolyPointsEdited) DoVectorialChanged();
  FPolyPointsEdited = false;
}

void TRastovaVect::DropGestureUndo() {
  if (ObjectsChanged || !ObjAutoUndo || !UndoSaved) return;
  // Dropped once: a second mouse-up must not take an older entry.
  UndoSaved = false;
  if (ObjUndoMode == rvumSeparated) {
    DropLastObjUndo();
    return;
  }
  TRastovaProc* proc = GetProc();
  if (!proc) return;
  // The newest entry of the objects (the processing component counts sources from the oldest
  // and clears by the distance from the newest).
  const int32_t n = proc->GetUndoCount();
  for (int32_t i = n - 1; i >= 0; --i)
    if (proc->GetUndoSourceAt(i) == rvuObject) {
      proc->ClearUndoAt(n - 1 - i);
      return;
    }
}

}  // namespace rv

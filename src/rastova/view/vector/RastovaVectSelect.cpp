// The selection of objects, hit testing (the object and the grip under a point) and the grips.
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "common/Round.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

namespace {
bool IsLineKind(TRVVObjectKind k) { return k == rvkLINE || k == rvkRULER || k == rvkLINELABEL; }
}  // namespace

// ---------------------------------------------------------------- selection list

void TRastovaVect::AppendSelObject(int32_t hobj) {
  if (hobj == kObjLast) hobj = ObjectsCount() - 1;
  const TRVVObjRecord* o = hobj >= 0 ? GetObj(hobj) : nullptr;
  if (!o || !(o->Style & rvvsSelectable)) return;
  SelObjects.push_back(hobj);
}

void TRastovaVect::AddSelObject(int32_t hobj) {
  AppendSelObject(hobj);
  if (OnSelectObject) OnSelectObject(this);
}

bool TRastovaVect::IsSelObject(int32_t hobj) {
  if (hobj == kObjLast) hobj = ObjectsCount() - 1;
  return std::find(SelObjects.begin(), SelObjects.end(), hobj) != SelObjects.end();
}

void TRastovaVect::UnSelObject(int32_t hobj) {
  if (hobj == kObjLast) hobj = ObjectsCount() - 1;
  auto it = std::find(SelObjects.begin(), SelObjects.end(), hobj);
  if (it == SelObjects.end()) return;
  SelObjects.erase(it);
  if (OnSelectObject) OnSelectObject(this);
}

void TRastovaVect::ClearSelection() {
  SelObjects.clear();
  if (OnSelectObject) OnSelectObject(this);
}

void TRastovaVect::UnSelAllObjects() {
  ClearSelection();
  Update();
}

int32_t TRastovaVect::GetSelObjects(int32_t Index) {
  return Index >= 0 && Index < SelObjectsCount() ? SelObjects[size_t(Index)] : 0;
}

void TRastovaVect::SelectObjectsInRect(int32_t hobj, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  auto one = [&](int32_t h) {
    const TRVVObjRecord* o = GetObj(h);
    if (!o) return;
    int32_t l = o->X1, t = o->Y1, r = o->X2, b = o->Y2;
    if (IsLineKind(o->Kind) || o->Kind == rvkPOLYLINE || o->Kind == rvkANGLE) OrderRectCorners(l, t, r, b);
    if (X1 <= l && r <= X2 && Y1 <= t && b <= Y2 && !IsSelObject(h)) AppendSelObject(h);
  };
  if (hobj == kObjAll) {
    for (int32_t h : ObjectOrder) one(h);
  } else {
    one(hobj);
  }
}

// ---------------------------------------------------------------- hit testing

double TRastovaVect::ObjectDistance(const TRVVObjRecord& Obj, int32_t X, int32_t Y) {
  const int32_t w = Obj.PenWidth;
  const bool filled = Obj.BrushStyle != platform::bsClear;
  switch (Obj.Kind) {
    case rvkLINE:
    case rvkLINELABEL: {
      double d = DistanceToSegment(X, Y, Obj.X1, Obj.Y1, Obj.X2, Obj.Y2);
      if (w > 1) d = w / 2.0 > d ? 0 : d - w / 2.0;
      if (Obj.Kind == rvkLINELABEL)
        d = std::min(d, double(DistanceToRectangle(X, Y, Obj.LabelRect[0], Obj.LabelRect[1], Obj.LabelRect[2],
                                                   Obj.LabelRect[3], true, 1)));
      return d;
    }
    case rvkELLIPSE:
      return DistanceToEllipse(X, Y, Obj.X1, Obj.Y1, Obj.X2, Obj.Y2, filled, w);
    case rvkARC:
      return DistanceToEllipse(X, Y, Obj.X1, Obj.Y1, Obj.X2, Obj.Y2, false, w);
    case rvkBITMAP: {
      const double d = DistanceToRectangle(X, Y, Obj.X1, Obj.Y1, Obj.X2, Obj.Y2, true, w);
      TRVBitmap* b = GetSharedBitmap(Obj.BitmapIdx);
      if (d != 0 || !b || !b->HasAlphaBitmap() || b->GetWidth() <= 0 || b->GetHeight() <= 0) return d;
      // The pixel under the point decides: a transparent one is not the object.
      const double fx = (double(Obj.X2) - Obj.X1) / b->GetWidth(), fy = (double(Obj.Y2) - Obj.Y1) / b->GetHeight();
      const int32_t col = std::clamp(fx != 0 ? common::RoundInt((double(X) - Obj.X1) / fx) : 0, 0, b->GetWidth() - 1);
      const int32_t row = std::clamp(fy != 0 ? common::RoundInt((double(Y) - Obj.Y1) / fy) : 0, 0, b->GetHeight() - 1);
      // The plane GetObjBitmapAlpha hands out can be resized by its caller: a pixel outside it
      // counts as opaque rather than being read past the plane.
      TRVBitmap* a = b->AlphaBitmap();
      if (col >= a->GetWidth() || row >= a->GetHeight()) return d;
      return b->GetAlpha(col, row) != 0 ? 0 : 1000;
    }
    case rvkRULER:
      return DistanceToSegment(X, Y, Obj.X1, Obj.Y1, Obj.X2, Obj.Y2);
    case rvkPOLYLINE: {
      double sx, sy;
      GetPolylineScale(Obj, sx, sy);
      const TRVPoint* pts = Obj.PolyPoints.data();
      if (Obj.PolylineClosed && filled &&
          PointInScaledPolygon(X, Y, pts, Obj.PolyPointsCount, Obj.PolyBaseX1, Obj.PolyBaseY1, Obj.X1, Obj.Y1, sx, sy))
        return 0;
      return DistanceToPolyline(X, Y, pts, Obj.PolyPointsCount, Obj.PolylineClosed, w, sx, sy, Obj.X1, Obj.Y1,
                                Obj.PolyBaseX1, Obj.PolyBaseY1);
    }
    case rvkANGLE: {
      TRVPoint pts[3];
      int32_t n = 0;
      while (n < 3 && Obj.AnglePoints[n].x != kAnglePointUnset) pts[n] = Obj.AnglePoints[n], ++n;
      return DistanceToPolyline(X, Y, pts, n, false, 1, 1.0, 1.0, 0, 0, 0, 0);
    }
    case rvkBOX:
      return DistanceToRectangle(X, Y, Obj.X1, Obj.Y1, Obj.X2, Obj.Y2, filled, w);
    case rvkTEXT:
    case rvkMEMO:
    case rvkEXTENDED:
      return DistanceToRectangle(X, Y, Obj.X1, Obj.Y1, Obj.X2, Obj.Y2, true, w);
    default:
      return -1;
  }
}

namespace {
// A distance no hit test of the object can go below: the distance to its box grown by half the
// pen and the rounding of the sampled outlines, less that rounding. Kinds whose figure may leave
// the box (angles, labelled lines, poly-lines, unknown kinds) have none.
double DistanceLowerBound(const TRVVObjRecord& o, int32_t X, int32_t Y) {
  switch (o.Kind) {
    case rvkLINE:
    case rvkBOX:
    case rvkELLIPSE:
    case rvkARC:
    case rvkBITMAP:
    case rvkTEXT:
    case rvkRULER:
    case rvkMEMO:
      break;
    default:
      return -1;
  }
  const int64_t grow = std::max<int64_t>(o.PenWidth, 0) / 2 + 2;
  const int64_t l = std::min(o.X1, o.X2) - grow, r = std::max(o.X1, o.X2) + grow;
  const int64_t t = std::min(o.Y1, o.Y2) - grow, b = std::max(o.Y1, o.Y2) + grow;
  const double dx = double(std::max<int64_t>({l - X, int64_t(X) - r, 0}));
  const double dy = double(std::max<int64_t>({t - Y, int64_t(Y) - b, 0}));
  return std::sqrt(dx * dx + dy * dy) - 2;
}
}  // namespace

int32_t TRastovaVect::FindObjectAt(int32_t X, int32_t Y, double& Distance, bool OnlySelectable) {
  const int32_t left = common::TruncInt(FViewX * static_cast<long double>(FInvZoomX));
  const int32_t top = common::TruncInt(FViewY * static_cast<long double>(FInvZoomY));
  int32_t right = common::TruncInt((static_cast<long double>(FViewX) + FExtentX) * FInvZoomX);
  int32_t bottom = common::TruncInt((static_cast<long double>(FViewY) + FExtentY) * FInvZoomY);
  if (right == 0) right = INT32_MAX;
  if (bottom == 0) bottom = INT32_MAX;
  double best = 2147483647.0;
  int32_t found = kObjAll;
  for (auto it = ObjectOrder.rbegin(); it != ObjectOrder.rend(); ++it) {
    const TRVVObjRecord* o = GetObj(*it);
    if (!o || !(o->Style & rvvsVisible)) continue;
    if (OnlySelectable && !(o->Style & rvvsSelectable)) continue;
    if (!RectsOverlap(o->X1, o->Y1, o->X2, o->Y2, left, top, right, bottom)) continue;
    if (best < 2147483647.0 && DistanceLowerBound(*o, X, Y) >= best) continue;
    const double d = ObjectDistance(*o, X, Y);
    if (d < best) {
      best = d;
      found = *it;
    }
  }
  Distance = best;
  return found;
}

bool TRastovaVect::PointInGrip(int32_t GX, int32_t GY, int32_t X, int32_t Y) {
  return int64_t(X) >= int64_t(GX) - GripSize && int64_t(X) < int64_t(GX) + GripSize &&
         int64_t(Y) >= int64_t(GY) - GripSize && int64_t(Y) < int64_t(GY) + GripSize;
}

namespace {
struct TControlBox {
  int32_t x1, y1, x2, y2;
};
}  // namespace

// The object's corners in control pixels, as drawing places them.
static TControlBox ControlBox(TRastovaVect& v, const TRVVObjRecord& o) {
  TControlBox b{v.XBmp2Scr(o.X1), v.YBmp2Scr(o.Y1), v.XBmp2Scr(o.X2), v.YBmp2Scr(o.Y2)};
  if (o.Kind == rvkBITMAP) {
    if (v.FZoomFactorX != 1.0) b.x2 = v.XBmp2Scr(o.X2 + 1) - 1;
    if (v.FZoomFactorY != 1.0) b.y2 = v.YBmp2Scr(o.Y2 + 1) - 1;
  }
  return b;
}

int32_t TRastovaVect::FindGrip(int32_t X, int32_t Y, int32_t& Grip) {
  Grip = 0;
  for (int32_t s = 0; s < SelObjectsCount(); ++s) {
    const TRVVObjRecord* o = GetObj(SelObjects[size_t(s)]);
    if (!o) continue;
    const TControlBox b = ControlBox(*this, *o);
    if (!RectsOverlap(b.x1, b.y1, b.x2, b.y2, FOffsetX, FOffsetY, FOffsetX + FExtentX, FOffsetY + FExtentY)) continue;
    const int32_t mx = static_cast<int32_t>((int64_t(b.x1) + b.x2) / 2);
    const int32_t my = static_cast<int32_t>((int64_t(b.y1) + b.y2) / 2);
    const int32_t bx = XScr2Bmp(X), by = YScr2Bmp(Y);
    int32_t g = 0;
    if (PointInGrip(b.x1, b.y1, X, Y))
      g = 1;
    else if (PointInGrip(b.x2, b.y2, X, Y))
      g = 2;
    else if (ObjectDistance(*o, bx, by) < 1)
      g = 3;
    if (!IsLineKind(o->Kind)) {
      const int32_t gx[6] = {b.x2, b.x1, b.x1, b.x2, mx, mx}, gy[6] = {b.y1, b.y2, my, my, b.y1, b.y2};
      for (int32_t k = 0; k < 6; ++k)
        if (PointInGrip(gx[k], gy[k], X, Y)) {
          g = 4 + k;
          break;
        }
    }
    if (o->Kind == rvkANGLE) {
      g = 3;
      for (int32_t k = 0; k < 3; ++k)
        if (o->AnglePoints[k].x != kAnglePointUnset &&
            PointInGrip(XBmp2Scr(o->AnglePoints[k].x), YBmp2Scr(o->AnglePoints[k].y), X, Y)) {
          g = 10 + k;
          break;
        }
    }
    if (o->Kind == rvkLINELABEL && DistanceToRectangle(bx, by, o->LabelRect[0], o->LabelRect[1], o->LabelRect[2],
                                                       o->LabelRect[3], true, 1) == 0)
      g = 2;
    if (g != 0 && !(o->Style & rvvsSizeable)) g = 3;
    if (g != 0) {
      Grip = g;
      return s;
    }
  }
  return kNoGrip;
}

int32_t TRastovaVect::FindObjectAtScreen(int32_t X, int32_t Y, double& Distance) {
  return FindObjectAt(XScr2Bmp(X), YScr2Bmp(Y), Distance, false);
}

void TRastovaVect::ClickSelect(bool Shift, int32_t X, int32_t Y, bool AllowPending) {
  double d = 0;
  const int32_t h = FindObjectAt(XScr2Bmp(X), YScr2Bmp(Y), d, true);
  auto deselectAll = [this](int32_t except) {
    const std::vector<int32_t> sel = SelObjects;
    for (int32_t s : sel)
      if (s != except) DoUserDeselectObject(s);
    UnSelAllObjects();
  };
  if (h == kObjAll) {
    if (!Shift) deselectAll(kObjAll);
    return;
  }
  const bool selected = IsSelObject(h);
  if (selected && SelectOnMouseDown && AllowPending) {
    SelectPending = true;
    return;
  }
  SelectPending = false;
  DrawSelectionGrips(GetCanvas());
  if (!selected) {
    if (!Shift) deselectAll(kObjAll);
    AddSelObject(h);
    DoUserSelectObject(h);
  } else if (Shift) {
    DoUserDeselectObject(h);
    UnSelObject(h);
  } else {
    deselectAll(h);
    AddSelObject(h);
  }
  DrawSelectionGrips(GetCanvas());
}

int32_t TRastovaVect::FindPolylinePoint(int32_t X, int32_t Y) {
  if (SelObjectsCount() != 1) return -1;
  const TRVVObjRecord* o = GetObj(SelObjects[0]);
  if (!o || o->Kind != rvkPOLYLINE) return -1;
  for (int32_t i = 0; i < o->DrawnPointsCount; ++i) {
    const TRVPoint& p = o->DrawnPoints[size_t(i)];
    if (std::abs(int64_t(p.x) - X) <= 3 && std::abs(int64_t(p.y) - Y) <= 3) return i;
  }
  return -1;
}

int32_t TRastovaVect::FindPolylineSegment(int32_t X, int32_t Y) {
  if (SelObjectsCount() != 1) return -1;
  const TRVVObjRecord* o = GetObj(SelObjects[0]);
  if (!o || o->Kind != rvkPOLYLINE) return -1;
  const std::vector<TRVPoint>& p = o->DrawnPoints;
  const int32_t n = o->DrawnPointsCount;
  for (int32_t i = 0; i <= n - 2; ++i)
    if (DistanceToSegment(X, Y, p[size_t(i)].x, p[size_t(i)].y, p[size_t(i + 1)].x, p[size_t(i + 1)].y) < 1.5)
      return i;
  if (o->PolylineClosed && n >= 2 &&
      DistanceToSegment(X, Y, p[size_t(n - 1)].x, p[size_t(n - 1)].y, p[0].x, p[0].y) < 1.5)
    return n - 1;
  return -1;
}

// ---------------------------------------------------------------- grips

void TRastovaVect::WriteObjGripImage(const platform::TBitmap* Value) {
  if (Value)
    FObjGripImage->Assign(*Value);
  else
    FObjGripImage = std::make_unique<platform::TBitmap>();
  if (!FObjGripImage->Empty()) GripSize = std::max(FObjGripImage->Width(), FObjGripImage->Height()) / 2;
}

void TRastovaVect::DrawGrip(platform::TCanvas& Canvas, TRVCanvas& RVCanvas, int32_t X, int32_t Y) {
  if (!FObjGripImage->Empty()) {
    const int32_t w = FObjGripImage->Width(), h = FObjGripImage->Height();
    GripSize = std::max(w, h) / 2;
    Canvas.Draw(common::SaturateInt32(int64_t(X) - w / 2), common::SaturateInt32(int64_t(Y) - h / 2),
                *FObjGripImage);
    return;
  }
  TRVPen& pen = RVCanvas.Pen();
  pen.SetWidth(static_cast<float>(GripPen.Width));
  pen.SetColor(GripPen.Color);
  pen.SetStyle(GripPen.Style);
  pen.SetMode(GripPen.Mode);
  pen.SetTransparency(180);
  RVCanvas.Brush().SetColor(GripBrush.Color);
  RVCanvas.Brush().SetStyle(GripBrush.Style);
  RVCanvas.Brush().SetTransparency(180);
  // Objects may lie at the ends of the integer range: the grip's box saturates there.
  RVCanvas.Ellipse(BoxAround(X, Y, GripSize));
}

void TRastovaVect::DrawObjectGrips(platform::TCanvas& Canvas, const TRVVObjRecord& Obj) {
  const TControlBox b = ControlBox(*this, Obj);
  if (!RectsOverlap(b.x1, b.y1, b.x2, b.y2, FOffsetX, FOffsetY, FOffsetX + FExtentX, FOffsetY + FExtentY)) return;
  if (!(Obj.Style & rvvsSelectable)) return;
  TRVCanvas c(Canvas, true, true);
  if (Obj.Kind == rvkANGLE) {
    for (const TRVPoint& p : Obj.AnglePoints) DrawGrip(Canvas, c, XBmp2Scr(p.x), YBmp2Scr(p.y));
    return;
  }
  DrawGrip(Canvas, c, b.x1, b.y1);
  DrawGrip(Canvas, c, b.x2, b.y2);
  if (IsLineKind(Obj.Kind)) return;
  const int32_t mx = static_cast<int32_t>((int64_t(b.x1) + b.x2) / 2);
  const int32_t my = static_cast<int32_t>((int64_t(b.y1) + b.y2) / 2);
  DrawGrip(Canvas, c, b.x2, b.y1);
  DrawGrip(Canvas, c, b.x1, b.y2);
  DrawGrip(Canvas, c, b.x1, my);
  DrawGrip(Canvas, c, b.x2, my);
  DrawGrip(Canvas, c, mx, b.y1);
  DrawGrip(Canvas, c, mx, b.y2);
}

void TRastovaVect::DrawSelectionGrips(platform::TCanvas& Canvas) {
  for (int32_t h : SelObjects)
    if (const TRVVObjRecord* o = GetObj(h)) DrawObjectGrips(Canvas, *o);
}

}  // namespace rv

// The selection model of the image view: polygon records, rectangle and magic-wand selections,
// the mask built from them, moving, grips and the dashed borders.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/core/select/RVMagicWand.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

namespace {

constexpr int32_t kSep = TRVMask::kPolygonSeparator;

bool IsSeparator(const TRVPoint& p) { return p.x == kSep && p.y == kSep; }

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return std::max(lo, std::min(v, hi)); }

int32_t RoundI(long double v) { return common::RoundInt(v); }

}  // namespace

TRVSelectionPolygon* TRastovaView::NewSelectionPolygon(TColor Color1, TColor Color2, bool Sizeable, bool Animated) {
  auto record = std::make_unique<TRVSelectionPolygon>();
  record->Color1 = Color1;
  record->Color2 = Color2;
  record->Sizeable = Sizeable;
  record->Animated = Animated;
  record->Visible = true;
  TRVSelectionPolygon* r = record.get();
  const bool first = FSelectionPolygons.empty();
  FSelectionPolygons.push_back(std::move(record));
  if (first && (FHasOwner || HasParentWindow())) {
    EnsureDashPixel();
    EnsureAnimTimer();
    FAnimTimer->SetEnabled(true);
  }
  return r;
}

// ---------------------------------------------------------------- polygon records

void TRastovaView::AddPolygonPoint(TRVSelectionPolygon* Record, int32_t X, int32_t Y) {
  auto& pts = Record->Points;
  if (Record->CountedLength != pts.size())
    Record->CountedPoints = static_cast<int32_t>(
        std::count_if(pts.begin(), pts.end(), [](const TRVPoint& p) { return !IsSeparator(p); }));
  pts.push_back({X, Y});
  Record->CountedLength = pts.size();
  // The bounds follow the points; separators do not count. A bound is written only when it
  // moves, which along a long outline is seldom.
  const int32_t n = ++Record->CountedPoints;
  if (n > 2) {
    if (X < Record->X1) Record->X1 = X;
    if (X > Record->X2) Record->X2 = X;
    if (Y < Record->Y1) Record->Y1 = Y;
    if (Y > Record->Y2) Record->Y2 = Y;
  } else if (n == 2) {
    const TRVPoint& a = *std::find_if_not(pts.begin(), pts.end(), IsSeparator);
    Record->X1 = a.x;
    Record->Y1 = a.y;
    Record->X2 = X;
    Record->Y2 = Y;
    OrderRectCorners(Record->X1, Record->Y1, Record->X2, Record->Y2);
  }
  FSelected = true;
}

void TRastovaView::AddPolygonPointAndPaint(TRVSelectionPolygon* Record, int32_t X, int32_t Y) {
  AddPolygonPoint(Record, X, Y);
  if (FPaintLock == 0) PaintControl();
}

void TRastovaView::AddPolygonBreak(TRVSelectionPolygon* Record) {
  auto& pts = Record->Points;
  if (!pts.empty() && IsSeparator(pts.back())) return;
  const bool counted = Record->CountedLength == pts.size();
  pts.push_back({kSep, kSep});
  Record->CountedLength = counted ? pts.size() : SIZE_MAX;
}

void TRastovaView::ClearPolygon(TRVSelectionPolygon* Record) {
  Record->Points.clear();
  Record->Points.shrink_to_fit();
  if (FPaintLock == 0) PaintControl();
}

void TRastovaView::RemoveLastPolygon(TRVSelectionPolygon* Record) {
  auto& pts = Record->Points;
  auto it = std::find_if(pts.rbegin(), pts.rend(), IsSeparator);
  if (it == pts.rend()) {
    ClearPolygon(Record);
    return;
  }
  pts.erase(std::prev(it.base()), pts.end());
  if (FPaintLock == 0) PaintControl();
}

void TRastovaView::RemoveLastPoint(TRVSelectionPolygon* Record) {
  auto& pts = Record->Points;
  if (!pts.empty()) pts.pop_back();
  while (!pts.empty() && IsSeparator(pts.back())) pts.pop_back();
}

bool TRastovaView::IsPolygonRectangle(TRVSelectionPolygon* Record) {
  if (!Record || Record->Points.size() != 4) return false;
  const auto& p = Record->Points;
  for (const TRVPoint& q : p)
    if (IsSeparator(q)) return false;
  return p[0].y == p[1].y && p[1].x == p[2].x && p[2].y == p[3].y && p[3].x == p[0].x;
}

TRVPoint TRastovaView::GetPolySel(int32_t Index) {
  if (!FSelectionPolygon || Index < 0 || Index >= int32_t(FSelectionPolygon->Points.size())) return {0, 0};
  return FSelectionPolygon->Points[size_t(Index)];
}

int32_t TRastovaView::GetPolySelCount() { return PolygonPointCount(); }

TRVPoint* TRastovaView::GetPolySelArray() {
  return FSelectionPolygon && !FSelectionPolygon->Points.empty() ? FSelectionPolygon->Points.data() : nullptr;
}

namespace {
bool DrawingSelection(const TRastovaView& v) {
  return v.FPolySelecting || v.FLassoSelecting || v.FRectSelecting || v.FCircleSelecting || v.FSelectionGrip != 0 ||
         v.FMovingRectSelection;
}
}  // namespace

int32_t TRastovaView::SelX1() { return DrawingSelection(*this) ? FSelectionPolygon->X1 : FSelectionMask->Left; }
int32_t TRastovaView::SelY1() { return DrawingSelection(*this) ? FSelectionPolygon->Y1 : FSelectionMask->Top; }
int32_t TRastovaView::SelX2() { return DrawingSelection(*this) ? FSelectionPolygon->X2 - 1 : FSelectionMask->Right; }
int32_t TRastovaView::SelY2() { return DrawingSelection(*this) ? FSelectionPolygon->Y2 - 1 : FSelectionMask->Bottom; }

// ---------------------------------------------------------------- building and ending

void TRastovaView::SelectRectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Operation) {
  if (FIsNavigator) LockPaint();
  SelectRectangleCore(X1, Y1, X2, Y2, Operation, false, false);
  if (Operation == 0) FSelectionMask->Clear();
  ApplySelectionPolygon();
  if (!FIsNavigator) {
    FBackBufferDirty = true;
    PaintControl();
  } else {
    UnlockPaintNoRefresh();
    AnimateSelections(this, true);
    PaintControl();
    AnimateSelections(this, true);
  }
}

void TRastovaView::SelectRectangleCore(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Operation,
                                       bool Square, bool Cut) {
  if (X1 == X2 || Y1 == Y2) return;
  TRVLayer* l = GetCurrentLayer();
  if (FSelectionBase == rvsbClientArea && l) {
    X1 = l->ConvXScr2Bmp(X1);
    Y1 = l->ConvYScr2Bmp(Y1);
    X2 = l->ConvXScr2Bmp(X2);
    Y2 = l->ConvYScr2Bmp(Y2);
  }
  const int32_t W = FRVBitmap ? FRVBitmap->GetWidth() : 0, H = FRVBitmap ? FRVBitmap->GetHeight() : 0;
  FSelected = true;
  if (Operation == 1 && !FSelectionPolygon->Points.empty())
    AddPolygonBreak(FSelectionPolygon);
  else
    ClearPolygon(FSelectionPolygon);
  if (Operation == 0) FSelectionMask->Clear();
  const double R = FSelectionAspectRatio;
  if (Square && R == -1.0) {
    Y2 = Y1 + (X2 - X1);
  } else if (R > 0) {
    Y2 = RoundI(R * (X2 - X1)) + Y1;
    if (Y2 >= H)
      X2 = RoundI((H - Y1 - 1 + X1 * (long double)R) / R);
    else if (Y2 < 0)
      X2 = RoundI((X1 * (long double)R - Y1) / R);
  }
  if (Cut) {
    if (X1 < 0) {
      X2 += -X1;
      X1 = 0;
    }
    if (Y1 < 0) {
      Y2 += -Y1;
      Y1 = 0;
    }
    if (X2 >= W) {
      X1 += W - X2 - 1;
      X2 = W - 1;
    }
    if (Y2 >= H) {
      Y1 += H - Y2 - 1;
      Y2 = H - 1;
    }
  }
  OrderRectCorners(X1, Y1, X2, Y2);
  X1 = Clamp(X1, 0, std::max(0, W - 1));
  Y1 = Clamp(Y1, 0, std::max(0, H - 1));
  X2 = Clamp(X2, 0, W);
  Y2 = Clamp(Y2, 0, H);
  AddPolygonPoint(FSelectionPolygon, X1, Y1);
  AddPolygonPoint(FSelectionPolygon, X2, Y1);
  AddPolygonPoint(FSelectionPolygon, X2, Y2);
  AddPolygonPoint(FSelectionPolygon, X1, Y2);
  ShowSelection(true);
}

void TRastovaView::AddSelectionPoint(int32_t X, int32_t Y) {
  AddSelectionPointCore(X, Y);
  FBackBufferDirty = true;
  PaintControl();
}

void TRastovaView::AddSelectionPointCore(int32_t X, int32_t Y) {
  TRVLayer* l = GetCurrentLayer();
  if (FSelectionBase == rvsbClientArea && l) {
    X = Clamp(l->ConvXScr2Bmp(X), 0, FRVBitmap ? FRVBitmap->GetWidth() : 0);
    Y = Clamp(l->ConvYScr2Bmp(Y), 0, FRVBitmap ? FRVBitmap->GetHeight() : 0);
  }
  AddPolygonPoint(FSelectionPolygon, X, Y);
  if (FPaintLock == 0) PaintControl();
  ShowSelection(true);
}

void TRastovaView::AddSelectionBreak() {
  if (!FSelectionPolygon->Points.empty()) AddPolygonBreak(FSelectionPolygon);
}

void TRastovaView::ApplySelectionPolygon() {
  auto& pts = FSelectionPolygon->Points;
  if (!pts.empty()) FSelectionMask->AddPolygons(FSelectionIntensity, pts.data(), static_cast<int32_t>(pts.size()));
  if (FSelectionMask->IsEmpty()) {
    FSelected = false;
    ClearPolygon(FSelectionPolygon);
  }
}

void TRastovaView::EndPolySelection(platform::TShiftState Shift, bool RemoveLast) {
  if (RemoveLast) RemoveLastPoint(FSelectionPolygon);
  if (!(Shift.Contains(platform::ssShift) && FMultiSelectionAllowed)) FSelectionMask->Clear();
  ApplySelectionPolygon();
  FUpdateReason = 3;
  Update();
  FPolySelecting = false;
  if (FOnSelectionChange) FOnSelectionChange(this);
}

void TRastovaView::EndPolySelectionOnDblClick(platform::TShiftState Shift) {
  if (FPolySelecting && !FLassoSelecting) EndPolySelection(Shift, true);
}

void TRastovaView::DeSelect() {
  if (FSelected) {
    FSelected = false;
    HideSelection(true);
  }
  FSelectionPolygon->Points.clear();
  FSelectionMask->Clear();
  FPolySelecting = FLassoSelecting = FRectSelecting = FCircleSelecting = false;
  FSelectionGrip = 0;
  FSelectionMove = -1;
  WriteCursor(FUserCursor);
  FUpdateReason = 3;
  Update();
}

void TRastovaView::SelectMagicWand(int32_t X, int32_t Y, int32_t Operation) {
  TRVLayer* l = GetCurrentLayer();
  if (FSelectionBase == rvsbClientArea && l) {
    X = l->ConvXScr2Bmp(X);
    Y = l->ConvYScr2Bmp(Y);
  }
  if (!FRVBitmap || X < 0 || Y < 0 || X >= FRVBitmap->GetWidth() || Y >= FRVBitmap->GetHeight()) return;
  const int32_t W = FRVBitmap->GetWidth(), H = FRVBitmap->GetHeight();
  if (FMagicWandMode == 1 || FMagicWandMode == 2) {
    if (Operation == 0) {
      ClearPolygon(FSelectionPolygon);
      FSelectionMask->Clear();
    }
    if (FMagicWandMode == 1)
      MagicWandFillMask(*FRVBitmap, X, Y, FSelectionIntensity, *FSelectionMask, FMagicWandTolerance, FMagicWandMaxFilter);
    else
      MagicWandGlobalMask(*FRVBitmap, X, Y, FSelectionIntensity, *FSelectionMask, FMagicWandTolerance);
    FSelectionMask->RecomputeBounds();
    FSelected = !FSelectionMask->IsEmpty();
    ShowSelection(true);
  } else {
    int32_t count = 0;
    const std::vector<TRVPoint> outline =
        MagicWandOutline(*FRVBitmap, X, Y, count, FMagicWandTolerance, FMagicWandMaxFilter);
    if (count > 0) {
      FSelected = true;
      if (Operation == 1 && !FSelectionPolygon->Points.empty()) {
        AddPolygonBreak(FSelectionPolygon);
      } else {
        ClearPolygon(FSelectionPolygon);
        FSelectionMask->Clear();
      }
      for (int32_t i = 0; i < count && i < int32_t(outline.size()); ++i)
        AddPolygonPoint(FSelectionPolygon, Clamp(outline[size_t(i)].x, 0, W), Clamp(outline[size_t(i)].y, 0, H));
      if (Operation == 0) FSelectionMask->Clear();
      ApplySelectionPolygon();
      ShowSelection(true);
    }
  }
  FBackBufferDirty = true;
  PaintControl();
}

void TRastovaView::WriteSelectionOptions(TRVSelectionOptions Value) {
  FSelectionOptions = Value;
  FSelectionPolygon->Animated = (Value & SelectionOption(rvsoAnimated)) != 0;
  FSelectionPolygon->Sizeable = (Value & SelectionOption(rvsoSizeable)) != 0;
  FUpdateReason = 3;
  Update();
}

void TRastovaView::SetSelectionColor1(TColor Value) {
  FSelectionColor1 = Value;
  FSelectionPolygon->Color1 = Value;
}

void TRastovaView::SetSelectionColor2(TColor Value) {
  FSelectionColor2 = Value;
  FSelectionPolygon->Color2 = Value;
}

void TRastovaView::ShowSelection(bool Animate) {
  FSelectionPolygon->Visible = true;
  if (Animate) AnimateSelections(this, true);
}

void TRastovaView::HideSelection(bool Repaint) {
  FSelectionPolygon->Visible = false;
  if (Repaint && FPaintLock == 0) PaintControl();
}

// ---------------------------------------------------------------- moving

void TRastovaView::MoveSelection(int32_t DX, int32_t DY, bool Cut) {
  FMovingRectSelection = IsPolygonRectangle(FSelectionPolygon);
  if (FMovingRectSelection) {
    FSelectionMask->Clear();
  } else {
    int32_t dx = DX, dy = DY;
    FSelectionMask->Translate(dx, dy, Cut);
  }
  if (DX == 0 && DY == 0) return;
  MovePolygon(FSelectionPolygon, DX, DY, Cut, FRVBitmap ? FRVBitmap->GetWidth() : 0,
              FRVBitmap ? FRVBitmap->GetHeight() : 0);
  AnimateSelections(this, true);
  if (FIsNavigator) {
    PaintControl();
    AnimateSelections(this, true);
  }
}

void TRastovaView::MoveSelectionBy(int32_t DX, int32_t DY) {
  MoveSelection(DX, DY, (FSelectionOptions & SelectionOption(rvsoCutBorders)) != 0);
  ApplySelectionPolygon();
}

void TRastovaView::MovePolygon(TRVSelectionPolygon* Record, int32_t DX, int32_t DY, bool Cut, int32_t Width,
                               int32_t Height) {
  if (DX == 0 && DY == 0) return;
  if (FPaintLock == 0) PaintControl();
  TRVSelectionPolygon& r = *Record;
  // A caller's deltas can reach the ends of the range: the sums are taken in 64 bits.
  int64_t dx = DX, dy = DY;
  const int64_t x1 = r.X1, y1 = r.Y1, x2 = r.X2, y2 = r.Y2;
  auto limit = [&]() {
    if (x1 + dx < 0) dx = -x1;
    if (x2 + dx >= Width) dx = Width - x2;
    if (y1 + dy < 0) dy = -y1;
    if (y2 + dy >= Height) dy = Height - y2;
  };
  const auto outside = [&] { return x1 + dx >= Width || y1 + dy >= Height || x2 + dx <= 0 || y2 + dy <= 0; };
  if (!Cut) {
    limit();
    if (outside()) return;
  } else if (outside()) {
    limit();
  }
  const auto moved = [](int64_t v, int64_t d, int32_t size) {
    return int32_t(std::max<int64_t>(0, std::min<int64_t>(v + d, size)));
  };
  r.X1 = moved(x1, dx, Width);
  r.Y1 = moved(y1, dy, Height);
  r.X2 = moved(x2, dx, Width);
  r.Y2 = moved(y2, dy, Height);
  for (TRVPoint& p : r.Points) {
    if (IsSeparator(p)) continue;
    p.x = moved(p.x, dx, Width);
    p.y = moved(p.y, dy, Height);
  }
}

// ---------------------------------------------------------------- hit tests

int32_t TRastovaView::HitSelectionGrip(int32_t X, int32_t Y) {
  TRVSelectionPolygon* r = FSelectionPolygon;
  TRVLayer* l = GetCurrentLayer();
  if (!r || !l || !r->Visible || !r->Sizeable || !IsPolygonRectangle(r) || FRectSelecting) return 0;
  TRVPoint v[4];
  for (int i = 0; i < 4; ++i) {
    v[i] = {l->ConvXBmp2Scr(r->Points[size_t(i)].x), l->ConvYBmp2Scr(r->Points[size_t(i)].y)};
    if (std::abs(int64_t(X) - v[i].x) <= FGripSize && std::abs(int64_t(Y) - v[i].y) <= FGripSize) return i + 1;
  }
  // Left, right, top, bottom.
  const int sides[4][2] = {{3, 0}, {1, 2}, {0, 1}, {2, 3}};
  for (int s = 0; s < 4; ++s) {
    const TRVPoint a = v[sides[s][0]], b = v[sides[s][1]];
    if (DistanceToSegment(X, Y, a.x, a.y, b.x, b.y) < 3) return 5 + s;
  }
  return 0;
}

int32_t TRastovaView::HitSelectionGripIfAllowed(int32_t X, int32_t Y, platform::TShiftState Shift) {
  return Shift.Contains(platform::ssShift) ? 0 : HitSelectionGrip(X, Y);
}

int32_t TRastovaView::HitSelectionInside(int32_t X, int32_t Y, platform::TShiftState Shift) {
  if (Shift.Contains(platform::ssShift) || FSelectionMask->IsEmpty() || FPolySelecting || FRectSelecting ||
      FCircleSelecting)
    return -1;
  TRVLayer* l = GetCurrentLayer();
  if (!l) return -1;
  const bool set = FSelectionMask->IsPointInside(l->ConvXScr2Bmp(X), l->ConvYScr2Bmp(Y));
  return set && (FSelectionOptions & SelectionOption(rvsoMoveable)) ? 0 : -1;
}

void TRastovaView::ClampAspectRect(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2, double P) {
  const int32_t W = FRVBitmap ? FRVBitmap->GetWidth() : 0, H = FRVBitmap ? FRVBitmap->GetHeight() : 0;
  if (P <= 0) return;
  if (Y2 >= H)
    X2 = RoundI((P * X1 + H - Y1 - 1) / (long double)P);
  else if (Y1 < 0)
    X1 = RoundI((P * X2 - Y2) / (long double)P);
  else if (X2 >= W)
    Y2 = RoundI(P * (W - X1 - 1) + Y1);
  else if (X1 < 0)
    Y1 = RoundI(Y2 - P * X2);
}

int32_t TRastovaView::ResizeSelectionByGrip(int32_t Grip, int32_t X, int32_t Y, bool KeepAspect) {
  TRVSelectionPolygon* r = FSelectionPolygon;
  TRVLayer* l = GetCurrentLayer();
  if (!l || !IsPolygonRectangle(r)) return Grip;
  const int32_t W = FRVBitmap ? FRVBitmap->GetWidth() : 0, H = FRVBitmap ? FRVBitmap->GetHeight() : 0;
  X = l->ConvXScr2Bmp(X);
  int32_t N = l->ConvYScr2Bmp(Y);
  const long double x1s = FGripStartX1, y1s = FGripStartY1, x2s = FGripStartX2, y2s = FGripStartY2;
  long double Q = 1;
  if (KeepAspect) {
    if (FGripStartY1 == FGripStartY2 + 1) return Grip;
    Q = FSelectionAspectRatio > 0 ? 1.0L / FSelectionAspectRatio : (x2s - x1s + 1) / (y2s - y1s + 1);
    if (Q == 0) return Grip;
    auto n1 = [&] { return RoundI((Q + Q * y2s + X - x2s - 1) / Q); };
    auto n2 = [&] { return RoundI((Q * y2s + x1s - X - 1) / Q); };
    auto n3 = [&] { return RoundI((Q * y1s + X - x1s + 1 - Q) / Q); };
    auto n4 = [&] { return RoundI((Q + Q * y1s + x2s - X + 1) / Q); };
    // The loops stop at the image's edges whatever the numbers do.
    const int32_t guard = W + H + 4;
    switch (Grip) {
      case 1:
      case 5:
        N = n1();
        for (int32_t i = 0; N < 0 && i < guard; ++i) N = (++X, n1());
        if (Grip == 5) Grip = 1;
        break;
      case 2:
        N = n2();
        for (int32_t i = 0; N < 0 && i < guard; ++i) N = (--X, n2());
        break;
      case 3:
      case 6:
        N = n3();
        if (Grip == 6) Grip = 3;
        break;
      case 4:
        N = n4();
        for (int32_t i = 0; N > H && i < guard; ++i) N = (++X, n4());
        break;
      case 7:
        X = RoundI(-Q * y2s + Q * N - Q + x2s + 1);
        for (int32_t i = 0; X < 0 && i < guard; ++i) X = RoundI(-Q * y2s + Q * (++N) - Q + x2s + 1);
        Grip = 1;
        break;
      case 8:
        X = RoundI(Q + Q * N - Q * y1s + x1s - 1);
        for (int32_t i = 0; X > W && i < guard; ++i) X = RoundI(Q + Q * (--N) - Q * y1s + x1s - 1);
        Grip = 3;
        break;
      default:
        break;
    }
  }
  if (Grip == 2 || Grip == 3 || Grip == 6) ++X;
  if (Grip == 3 || Grip == 4 || Grip == 8) ++N;
  int32_t X1 = r->Points[0].x, Y1 = r->Points[0].y, X2 = r->Points[2].x, Y2 = r->Points[2].y;
  OrderRectCorners(X1, Y1, X2, Y2);
  if (Grip == 2 || Grip == 3 || Grip == 6) X2 = X == X1 ? X + 1 : X;
  if (Grip == 1 || Grip == 4 || Grip == 5) X1 = X == X2 ? X - 1 : X;
  if (Grip == 1 || Grip == 2 || Grip == 7) Y1 = N == Y2 ? N - 1 : N;
  if (Grip == 3 || Grip == 4 || Grip == 8) Y2 = N == Y1 ? N + 1 : N;
  if (X2 < X1) {
    static const int32_t h[9] = {0, 2, 1, 4, 3, 6, 5, 7, 8};
    Grip = h[Grip];
  }
  if (Y2 < Y1) {
    static const int32_t v[9] = {0, 4, 3, 2, 1, 5, 6, 8, 7};
    Grip = v[Grip];
  }
  r->Points.clear();
  OrderRectCorners(X1, Y1, X2, Y2);
  if (KeepAspect) ClampAspectRect(X1, Y1, X2, Y2, double(1 / Q));
  X1 = Clamp(X1, 0, W);
  Y1 = Clamp(Y1, 0, H);
  X2 = Clamp(X2, 0, W);
  Y2 = Clamp(Y2, 0, H);
  OrderRectCorners(X1, Y1, X2, Y2);
  AddPolygonPoint(r, X1, Y1);
  AddPolygonPoint(r, X2, Y1);
  AddPolygonPoint(r, X2, Y2);
  AddPolygonPoint(r, X1, Y2);
  ShowSelection(true);
  return Grip;
}

// ---------------------------------------------------------------- drawing

void TRastovaView::DrawPolyRubberLine() {
  if (!FPolySelecting || FLassoSelecting || FSelectionPolygon->Points.empty()) return;
  TRVLayer* l = GetCurrentLayer();
  if (!l || !HasParentWindow()) return;
  const TRVPoint& last = FSelectionPolygon->Points.back();
  if (IsSeparator(last)) return;
  platform::TCanvas& c = Canvas();
  c.Pen.Mode = platform::pmNot;
  c.Pen.Width = 1;
  c.Pen.Style = platform::psSolid;
  c.MoveTo(FPolyLastX, FPolyLastY);
  c.LineTo(l->ConvXBmp2Scr(last.x), l->ConvYBmp2Scr(last.y));
  c.Pen.Mode = platform::pmCopy;
}

void TRastovaView::DashPlotPixel(int32_t X, int32_t Y, TRVSelectionPolygon* Record) {
  if (!FDashPixel) return;
  platform::TColor colour;
  if (Record->Phase > 3) {
    colour = Record->Color2;
    if (Record->Phase > 6) Record->Phase = -1;
  } else {
    colour = Record->Color1;
  }
  // The dash pixel goes straight into the window surface.
  platform::TBitmap& s = Surface();
  if (X >= 0 && Y >= 0 && X < s.Width() && Y < s.Height()) {
    uint8_t* p = s.Bits() + size_t(Y) * size_t(s.BytesPerLine()) + size_t(X) * 4;
    p[0] = uint8_t(colour >> 16);
    p[1] = uint8_t(colour >> 8);
    p[2] = uint8_t(colour);
  }
  ++Record->Phase;
}

void TRastovaView::DrawGripShape(platform::TCanvas& ACanvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  TRVCanvas c(ACanvas, true, true);
  c.Brush().SetStyle(FGripBrushStyle);
  c.Brush().SetColor(FGripColor2);
  c.Pen().SetColor(FGripColor1);
  if (FGripShape == 0)
    c.Rectangle(X1, Y1, X2, Y2);
  else if (FGripShape == 1)
    c.Ellipse(X1, Y1, X2, Y2);
}

void TRastovaView::FireDrawPolygon(int32_t PolygonIndex, int32_t PointIndex, int32_t X, int32_t Y,
                                   platform::TCanvas& ACanvas) {
  if (FOnDrawPolygon) FOnDrawPolygon(this, PolygonIndex, PointIndex, ACanvas, X, Y);
}

namespace {
// Every point of the line from (x1, y1) up to but not including (x2, y2).
template <typename F>
void WalkLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, F plot) {
  const int64_t dx = int64_t(x2) - x1, dy = int64_t(y2) - y1;
  const int64_t n = std::max(std::llabs(dx), std::llabs(dy));
  for (int64_t i = 0; i < n; ++i)
    plot(static_cast<int32_t>(x1 + (dx * i + (dx >= 0 ? n / 2 : -n / 2)) / n),
         static_cast<int32_t>(y1 + (dy * i + (dy >= 0 ? n / 2 : -n / 2)) / n));
}
}  // namespace

void TRastovaView::DrawPolygonBorder(TRVSelectionPolygon& Record) {
  Record.Phase = Record.Counter;
  TRVLayer* l = GetCurrentLayer();
  if (Record.Points.empty() || !l || !HasParentWindow()) return;
  platform::TBitmap& s = Surface();
  platform::TRect changed{s.Width(), s.Height(), 0, 0};
  auto plot = [&](int32_t x, int32_t y) {
    DashPlotPixel(x, y, &Record);
    changed.Left = std::min(changed.Left, x);
    changed.Top = std::min(changed.Top, y);
    changed.Right = std::max(changed.Right, x + 1);
    changed.Bottom = std::max(changed.Bottom, y + 1);
  };
  auto toView = [&](const TRVPoint& p) { return TRVPoint{l->ConvXBmp2Scr(p.x), l->ConvYBmp2Scr(p.y)}; };
  if (IsPolygonRectangle(&Record)) {
    const TRVPoint a = toView(Record.Points[0]), c = toView(Record.Points[2]);
    const int32_t x1 = a.x, y1 = a.y, x2 = c.x - 1, y2 = c.y - 1;
    FSelectionScreenRect = platform::Rect(x1, y1, x2, y2);
    WalkLine(x1, y1, x2, y1, plot);
    FireDrawPolygon(0, 1, x2, y1, Canvas());
    WalkLine(x2, y1, x2, y2, plot);
    FireDrawPolygon(0, 2, x2, y2, Canvas());
    WalkLine(x2, y2, x1, y2, plot);
    FireDrawPolygon(0, 3, x1, y2, Canvas());
    WalkLine(x1, y1, x1, y2, plot);
    FireDrawPolygon(0, 0, x1, y1, Canvas());
    if (FRectSelecting || FSelectionMove == 0) DrawGrid(x1, y1, x2, y2);
  } else {
    const auto& pts = Record.Points;
    size_t first = 0;
    int32_t polygon = 0;
    for (size_t i = 0; i < pts.size(); ++i) {
      if (IsSeparator(pts[i])) continue;
      const bool lastOfPolygon = i + 1 >= pts.size() || IsSeparator(pts[i + 1]);
      const TRVPoint a = toView(pts[i]);
      if (!lastOfPolygon) {
        const TRVPoint b = toView(pts[i + 1]);
        WalkLine(a.x, a.y, b.x, b.y, plot);
      } else if (!(FPolySelecting && i + 1 >= pts.size())) {
        const TRVPoint b = toView(pts[first]);
        WalkLine(a.x, a.y, b.x, b.y, plot);
      }
      FireDrawPolygon(polygon, int32_t(i), a.x, a.y, Canvas());
      if (lastOfPolygon) {
        first = i + 2;
        ++polygon;
      }
    }
  }
  if (changed.Right > changed.Left) SurfaceChanged(changed);
}

void TRastovaView::DrawSelectionGrips(TRVSelectionPolygon& Record) {
  TRVLayer* l = GetCurrentLayer();
  if (!l || !HasParentWindow() || Record.Points.empty()) return;
  platform::TCanvas& c = Canvas();
  // Points can map to the ends of the range: the grip boxes saturate.
  const auto grip = [&](int64_t x, int64_t y) {
    const platform::TRect b = BoxAround(x, y, FGripSize);
    DrawGripShape(c, b.Left, b.Top, b.Right, b.Bottom);
  };
  int32_t bx1 = INT32_MAX, by1 = INT32_MAX, bx2 = INT32_MIN, by2 = INT32_MIN;
  for (const TRVPoint& p : Record.Points) {
    if (IsSeparator(p)) continue;
    const int32_t x = l->ConvXBmp2Scr(p.x), y = l->ConvYBmp2Scr(p.y);
    grip(x, y);
    bx1 = std::min(bx1, x);
    by1 = std::min(by1, y);
    bx2 = std::max(bx2, x);
    by2 = std::max(by2, y);
  }
  if (bx1 > bx2) return;
  if (FExtendedGrips) {
    const int32_t mx = int32_t(bx1 + (int64_t(bx2) - bx1) / 2), my = int32_t(by1 + (int64_t(by2) - by1) / 2);
    const TRVPoint mids[4] = {{mx, by1}, {bx1, my}, {bx2, my}, {mx, by2}};
    for (const TRVPoint& m : mids) grip(m.x, m.y);
  }
  DrawGrid(bx1, by1, bx2, by2);
}

}  // namespace rv

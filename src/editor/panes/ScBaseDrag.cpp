// TScBase: the hit tests of the selection frame and the warp frame, the choice of the drag mode
// at a press, the drag modes themselves, the release and the hover cursor.
//
// Drag modes (DragMode): -2 rubber band; 0 move the selection; 1..4 scale by a corner (r00,
// r01, r10, r11) with the opposite corner fixed; 5, 6 the top or bottom edge; 7, 8 the left or
// right edge; 9 turn about the pivot; 10 move the pivot; 101..108 the same handles with Ctrl,
// about the frame's centre; 201..204 Shift + Ctrl on a corner, a bilinear corner warp; 300..311
// the warp frame's corners r00, r01, r10, r11 and edge handles b0..b7; 100 and 109 (Ctrl on the
// frame's inside or ring) move nothing.
#include <algorithm>
#include <cstdlib>

#include "common/Round.h"
#include "editor/panes/ScBase.h"
#include "settings/AppSettings.h"
#include "shape/model/uScSelect.h"

namespace editor {

using platform::TPoint;

namespace {

int32_t PointerSize() { return settings::AppSettings.PointerSize; }

bool Near(const TPoint& q, int32_t x, int32_t y, int32_t tolerance) {
  return std::abs(x - q.X) <= tolerance && std::abs(y - q.Y) <= tolerance;
}

TPoint Midpoint(const TPoint& a, const TPoint& b) {
  return {common::RoundInt((static_cast<double>(a.X) + b.X) / 2),
          common::RoundInt((static_cast<double>(a.Y) + b.Y) / 2)};
}

// The handles of the warp frame in the order of the drag modes 300..311.
TDbl2D* WarpHandle(TRengeD& f, int32_t index) {
  TDbl2D* handles[12] = {&f.r00, &f.r01, &f.r10, &f.r11, &f.b0, &f.b1,
                         &f.b2,  &f.b3,  &f.b4,  &f.b5,  &f.b6, &f.b7};
  return index >= 0 && index < 12 ? handles[index] : nullptr;
}

constexpr int32_t kWarpFirst = 300;
constexpr int32_t kWarpLast = 311;

bool IsFrameTransform(int32_t mode) {
  return (mode >= 1 && mode <= 9) || (mode >= 101 && mode <= 108) || (mode >= 201 && mode <= 204);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Hit tests

int32_t TScBase::FrameHitCode(const TCS& Shape, int32_t X, int32_t Y) const {
  const TPoint r00 = ToScreenInt(Shape.R1.r00), r01 = ToScreenInt(Shape.R1.r01);
  const TPoint r10 = ToScreenInt(Shape.R1.r10), r11 = ToScreenInt(Shape.R1.r11);
  const TPoint rp = ToScreenInt(Shape.R1.rp);
  const int32_t p = PointerSize();
  const int32_t left = std::min(r00.X, r11.X), right = std::max(r00.X, r11.X);
  const int32_t top = std::min(r00.Y, r11.Y), bottom = std::max(r00.Y, r11.Y);
  const int32_t width = right - left, height = bottom - top;
  auto inside = [&](int32_t margin) {
    return X >= left - margin && X <= right + margin && Y >= top - margin && Y <= bottom + margin;
  };
  if (!inside(3 * p)) return Near(rp, X, Y, p) ? 10 : -1;
  // Corners only while the pivot is off r00's screen column and row.
  if (rp.X != r00.X && rp.Y != r00.Y) {
    if (Near(r11, X, Y, p)) return 4;
    if (Near(r00, X, Y, p)) return 1;
    if (Near(r10, X, Y, p)) return 3;
    if (Near(r01, X, Y, p)) return 2;
  }
  if (height > 6 * p) {
    if (Near(Midpoint(r00, r10), X, Y, p)) return 5;
    if (Near(Midpoint(r01, r11), X, Y, p)) return 6;
  }
  if (width > 6 * p) {
    if (Near(Midpoint(r00, r01), X, Y, p)) return 7;
    if (Near(Midpoint(r10, r11), X, Y, p)) return 8;
  }
  if ((height > 6 * p || width > 6 * p) && Near(rp, X, Y, p)) return 10;
  if (inside(p)) return 0;
  return r00 == r11 ? 0 : 9;
}

int32_t TScBase::FrameHandleAt(const TCS& Shape, int32_t X, int32_t Y) const {
  if (Shape.Count < 2) return -1;
  return FrameHitCode(Shape, X, Y);
}

int32_t TScBase::WarpHitCode(const TCS& Shape, int32_t X, int32_t Y) const {
  const int32_t tolerance = 2 * PointerSize();
  const TRengeD& f = Shape.R1;
  const std::pair<const TDbl2D*, int32_t> order[] = {
      {&f.r00, 300}, {&f.r11, 303}, {&f.r01, 301}, {&f.r10, 302}, {&f.b0, 304}, {&f.b1, 305},
      {&f.b2, 306},  {&f.b3, 307},  {&f.b4, 308},  {&f.b5, 309},  {&f.b6, 310}, {&f.b7, 311}};
  for (const auto& [point, code] : order)
    if (Near(ToScreenInt(*point), X, Y, tolerance)) return code;
  return -1;
}

int32_t TScBase::WarpHandleAt(const TCS& Shape, int32_t X, int32_t Y) const {
  if (Shape.Count < 2) return -1;
  return WarpHitCode(Shape, X, Y);
}

// ---------------------------------------------------------------------------------------
// Press

namespace {

// The frame code of a press in Normal mode from the modifiers, before a miss is resolved.
template <typename HandleAt>
int32_t NormalPressCode(platform::TShiftState shift, HandleAt handleAt) {
  const bool s = shift.Contains(platform::ssShift);
  const bool alt = shift.Contains(platform::ssAlt);
  const bool ctrl = shift.Contains(platform::ssCtrl);
  if (s && ctrl) {
    const int32_t code = handleAt();
    return code >= 1 && code <= 4 ? code + 200 : code;
  }
  if (s) return -1;
  if (alt) return 0;
  const int32_t code = handleAt();
  return ctrl && code != -1 && code != 10 ? code + 100 : code;
}

}  // namespace

bool TScBase::MouseDown(TCS& Shape, TImage&, platform::TShiftState Shift, int32_t X, int32_t Y) {
  const bool shiftHeld = Shift.Contains(platform::ssShift);
  int32_t mode;
  if (EditMode != EDIT_NORMAL) {
    // The committed points are not touched: successive handle drags warp from the same state.
    mode = shiftHeld ? DRAG_BAND : WarpHandleAt(Shape, X, Y);
    if (mode == -1)
      mode = DRAG_BAND;
    else if (mode >= kWarpFirst)
      PressFrame = Shape.R1;
  } else {
    mode = NormalPressCode(Shift, [&] { return FrameHandleAt(Shape, X, Y); });
    if (mode == -1) {
      if (SelectByClick(Shape, X, Y, shiftHeld)) {
        shape::CommitShapePoints(Shape);
        UpdateSelectionBox(Shape, true);
        mode = 0;
      } else {
        shape::CommitShapePoints(Shape);
        mode = DRAG_BAND;
      }
    } else {
      shape::CommitShapePoints(Shape);
    }
  }
  DragMode = mode;
  return true;
}

int32_t TScBase::HoverCode(const TCS& Shape, platform::TShiftState Shift, int32_t X, int32_t Y) {
  if (EditMode != EDIT_NORMAL) {
    if (Shift.Contains(platform::ssShift)) return -2;
    const int32_t code = WarpHandleAt(Shape, X, Y);
    return code == -1 ? -2 : code;
  }
  const int32_t code = NormalPressCode(Shift, [&] { return FrameHandleAt(Shape, X, Y); });
  if (code != -1) return code;
  return HitPoint(Shape, X, Y) ? 12 : -2;
}

platform::TCursor TScBase::HoverCursor(int32_t Code) {
  switch (Code) {
    case 0:
      return platform::crSizeAll;
    case 1:
    case 4:
      return platform::crSizeNWSE;
    case 2:
    case 3:
      return platform::crSizeNESW;
    case 5:
    case 6:
      return platform::crSizeNS;
    case 7:
    case 8:
      return platform::crSizeWE;
    case 9:
      return crRoturn;
    case 12:
      return crArmove;
    case 101:
    case 104:
      return crBtnwse;
    case 102:
    case 103:
      return crBtnesw;
    case 105:
    case 106:
      return crBtns;
    case 107:
    case 108:
      return crBtew;
    case 201:
    case 204:
      return crRonwse;
    case 202:
    case 203:
      return crRonesw;
    default:
      return platform::crDefault;
  }
}

void TScBase::MouseHover(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y) {
  Image.SetCursor(HoverCursor(HoverCode(Shape, Shift, X, Y)));
}

// ---------------------------------------------------------------------------------------
// Drag

void TScBase::TransformByHandle(TCS& Shape, int32_t Mode, bool ShiftHeld, int32_t X, int32_t Y) {
  const TDbl2D press = ScreenToPane(AnchorX, AnchorY);
  const TDbl2D current = ScreenToPane(X, Y);
  const TFrameBuild build = [Mode](const TCS& s, const TDbl2D& from, const TDbl2D& to, shape::TFrameDrag& t,
                                   bool shift) { return shape::MakeFrameDrag(s, Mode, from, to, shift, t); };
  shape::TFrameDrag transform;
  TransformSelection(Shape, press, current, build, shape::ApplyFrameDrag, ShiftHeld, transform);
  // The frame follows the selection through the same map.
  Shape.R1.r00 = shape::ApplyFrameDrag(transform, Shape.R0.r00);
  Shape.R1.r11 = shape::ApplyFrameDrag(transform, Shape.R0.r11);
  Shape.R1.r01 = shape::ApplyFrameDrag(transform, Shape.R0.r01);
  Shape.R1.r10 = shape::ApplyFrameDrag(transform, Shape.R0.r10);
  Shape.R1.rp = shape::ApplyFrameDrag(transform, Shape.R0.rp);
  ApplyShape(Shape, true);
}

void TScBase::WarpByHandle(TCS& Shape) {
  const TRengeD& c = Shape.R0;
  TRengeD& f = Shape.R1;
  const bool sameH = c.r00[0] == c.r11[0];
  const bool sameV = c.r00[1] == c.r11[1];
  if (sameH && sameV) return;  // a frame that was a point at the press cannot be warped
  // A frame that was flat at the press stays flat.
  if (sameH) {
    f.r10 = f.b0 = f.b1 = f.r00;
    f.r01 = f.b6 = f.b7 = f.r11;
    f.b4 = f.b2;
    f.b5 = f.b3;
  } else if (sameV) {
    f.r01 = f.b2 = f.b3 = f.r00;
    f.r10 = f.b4 = f.b5 = f.r11;
    f.b6 = f.b0;
    f.b7 = f.b1;
  }
  WarpSelection(Shape, shape::CurveWarpPoint);
  ApplyShape(Shape, true);
}

bool TScBase::MouseDrag(TCS& Shape, TImage&, bool ShiftHeld, int32_t X, int32_t Y) {
  const TDbl2D d = PaneDelta(AnchorX, AnchorY, X, Y);
  const int32_t mode = DragMode;
  if (mode == 0) {
    MoveSelected(Shape, d);
    ApplyShape(Shape, true);
    UpdateSelectionBox(Shape, false);
  }
  if (mode == 0 || mode == 10) {
    if (Shape.Count >= 2) Shape.R1.rp = {{Shape.R0.rp[0] + d[0], Shape.R0.rp[1] + d[1]}};
    return true;
  }
  if (IsFrameTransform(mode)) {
    TransformByHandle(Shape, mode, ShiftHeld, X, Y);
    return true;
  }
  if (mode >= kWarpFirst && mode <= kWarpLast) {
    TDbl2D* handle = WarpHandle(Shape.R1, mode - kWarpFirst);
    const TDbl2D* pressed = WarpHandle(PressFrame, mode - kWarpFirst);
    *handle = {{(*pressed)[0] + d[0], (*pressed)[1] + d[1]}};
    WarpByHandle(Shape);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Release

bool TScBase::MouseUp(TCS& Shape, TImage&, bool ShiftHeld, int32_t, int32_t) {
  const int32_t mode = DragMode;
  if (mode == DRAG_BAND) {
    SelectByBand(Shape, AnchorX, AnchorY, BandX, BandY, ShiftHeld);
    UpdateSelectionBox(Shape, true);
    SyncFromShape(Shape);
    return true;
  }
  // A warp drag leaves DP and R0 as they were.
  if (mode >= kWarpFirst || mode < 0) return false;
  if (mode != 0 && mode != 10) UpdateSelectionBox(Shape, false);
  SyncFromShape(Shape);
  return true;
}

}  // namespace editor

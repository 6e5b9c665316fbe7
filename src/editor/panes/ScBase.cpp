// TScBase: construction, the view sides, the screen mappings, ApplyShape, selection, hover
// text, the arrow keys, moving, rotating, aligning and snapping, the background picture and
// the slots whose base behaviour is to do nothing.
#include "editor/panes/ScBase.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/NumberText.h"
#include "common/Round.h"
#include "platform/ui/Keys.h"
#include "settings/AppSettings.h"
#include "shape/PictureFiles.h"
#include "shape/model/uScSelect.h"

namespace editor {

using platform::TPoint;
using platform::TPointF;

const TViewSide ViewSides[6] = {
    {0, 2, 1, +1, -1, -1},  // x to the right, z up
    {1, 2, 0, +1, -1, +1},  // y to the right, z up
    {0, 1, 2, +1, +1, -1},  // x to the right, y down
    {0, 2, 1, -1, -1, +1},  // x to the left, z up
    {1, 2, 0, -1, -1, -1},  // y to the left, z up
    {0, 1, 2, +1, -1, +1},  // x to the right, y up
};

const char* const EditorTypeNames[8] = {"DODUDA", "GYRAN", "TOKOROTEN", "MAGE",
                                        "MAGE",   "WAPPA", "Texture",   "Bitmap"};

bool HoverShowsChannels = true;

const TAxisColors AxisColors[3] = {
    {0x0000FF, 0x000088},  // x: red, dark red
    {0x00FF00, 0x008800},  // y: green, dark green
    {0xFF8888, 0x880000},  // z: light blue, dark blue
};

TScBase::TScBase() : BackgroundBitmap(0, 0, platform::pf32bit) {
  ShowBackground = false;
  BackgroundLoaded = false;
  TScBase::SetEditMode(EDIT_NORMAL);
  TScBase::ChoosePainters();
}

TScBase::~TScBase() = default;

void TScBase::SetEditMode(int32_t Mode) {
  EditMode = Mode;
  if (Mode == EDIT_NORMAL) {
    FramePainter = [this](TCS& s, platform::TDrawing& g) { DrawFrameGdiPlus(s, g); };
    FramePainterD2D = [this](TCS& s, platform::TDrawing& g) { DrawFrameD2D(s, g); };
  } else {
    FramePainter = [this](TCS& s, platform::TDrawing& g) { DrawWarpFrameGdiPlus(s, g); };
    FramePainterD2D = [this](TCS& s, platform::TDrawing& g) { DrawWarpFrameD2D(s, g); };
  }
}

void TScBase::BeforePaint(TImage& Image) {
  CentreX = Image.ClientWidth() / 2.0;
  CentreY = Image.ClientHeight() / 2.0;
  const int32_t limit = common::RoundInt(Scale * 1.5 * settings::MaxAxisRatio);
  OffsetX = std::clamp(OffsetX, -limit, limit);
  OffsetY = std::clamp(OffsetY, -limit, limit);
}

// ---------------------------------------------------------------------------------------
// Projection and screen mappings

void TScBase::ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const { SideProjection().Project(Point, Pane); }

void TScBase::UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const {
  SideProjection().Unproject(Pane, Source, Point);
}

TScreenMapping TScBase::ScreenMapping() const {
  return {Scale,
          AxisScaleH,
          AxisScaleV,
          CentreX,
          CentreY,
          static_cast<double>(OffsetX),
          static_cast<double>(OffsetY)};
}

TPointF TScBase::ToScreenF(const TDbl2D& Pane) const { return ScreenMapping().ToScreenF(Pane); }

TPointF TScBase::ToScreenGdiPoint(const TDbl2D& Pane) const { return ToScreenF(Pane); }

TPoint TScBase::ToScreenInt(const TDbl2D& Pane) const {
  return {common::RoundInt(Pane[0] * Scale * AxisScaleH + CentreX - OffsetX),
          common::RoundInt(Pane[1] * Scale * AxisScaleV + CentreY - OffsetY)};
}

TPoint TScBase::PointToScreen(const TDbl3D& Point) const {
  TDbl2D pane;
  ProjectPoint(Point, pane);
  return ToScreenInt(pane);
}

TPointF TScBase::PointToGdiPoint(const TDbl3D& Point) const { return PointToScreenF(Point); }

TPointF TScBase::PointToScreenF(const TDbl3D& Point) const {
  TDbl2D pane;
  ProjectPoint(Point, pane);
  return ToScreenF(pane);
}

void TScBase::GridToScreenF(const TCS& Shape, std::vector<TPointF>& Screen) const {
  const int32_t ni = std::max(Shape.CPMaxI, 0), nj = std::max(Shape.CPMaxJ, 0);
  Screen.resize(static_cast<size_t>(ni) * nj);
  const TScreenMapping screen = ScreenMapping();
  auto fill = [&](const auto& project) {
    TPointF* out = Screen.data();
    for (int32_t i = 0; i < ni; ++i)
      for (int32_t j = 0; j < nj; ++j) {
        TDbl2D pane;
        project(Shape.CP[i][j], pane);
        *out++ = screen.ToScreenF(pane);
      }
  };
  if (KeepsSideProjection()) {
    const TSideProjection side = SideProjection();
    fill([side](const TDbl3D& p, TDbl2D& q) { side.Project(p, q); });
  } else {
    fill([this](const TDbl3D& p, TDbl2D& q) { ProjectPoint(p, q); });
  }
}

TDbl2D TScBase::ScreenToPane(double X, double Y) const {
  return {{(X - CentreX + OffsetX) / (Scale * AxisScaleH), (Y - CentreY + OffsetY) / (Scale * AxisScaleV)}};
}

TDbl2D TScBase::PaneDelta(double X1, double Y1, double X2, double Y2) const {
  const TDbl2D a = ScreenToPane(X1, Y1);
  const TDbl2D b = ScreenToPane(X2, Y2);
  return {{b[0] - a[0], b[1] - a[1]}};
}

platform::TRectF TScBase::CubeRectGdiPlus() const {
  const TPointF a = ToScreenGdiPoint({{-1, -1}});
  const TPointF b = ToScreenGdiPoint({{1, 1}});
  const float left = std::min(a.X, b.X), top = std::min(a.Y, b.Y);
  const float width = std::abs(b.X - a.X), height = std::abs(b.Y - a.Y);
  return {left, top, left + width + 1, top + height + 1};
}

platform::TRectF TScBase::CubeRectD2D() const {
  const TPointF a = ToScreenF({{-1, -1}});
  const TPointF b = ToScreenF({{1, 1}});
  return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X) + 1, std::max(a.Y, b.Y) + 1};
}

// ---------------------------------------------------------------------------------------
// The common end of an edit, selection

int32_t TScBase::ApplyShape(TCS& Shape, bool Full) {
  if (Full && SnapGrid > 0) SnapToGrid(Shape);
  shape::ClampShapePoints(Shape);
  FixSeams(Shape);
  if (Full) {
    Generate(Shape);
    shape::ClampShapePoints(Shape);
    FixSeams(Shape);
  }
  shape::CountSelectedPoints(Shape);
  return Shape.Count;
}

void TScBase::UpdateSelectionBox(TCS& Shape, bool Commit) {
  if (Shape.Count < 2) return;
  double minH = 2, minV = 2, maxH = -2, maxV = -2;
  auto bound = [&](const auto& project) {
    shape::ForEachSetFlag(Shape.SP, Shape.CPMaxI, Shape.CPMaxJ, [&](int32_t i, int32_t j) {
      TDbl2D p;
      project(Shape.CP[i][j], p);
      minH = std::min(minH, p[0]);
      maxH = std::max(maxH, p[0]);
      minV = std::min(minV, p[1]);
      maxV = std::max(maxV, p[1]);
    });
  };
  if (KeepsSideProjection()) {
    const TSideProjection side = SideProjection();
    bound([side](const TDbl3D& p, TDbl2D& q) { side.Project(p, q); });
  } else {
    bound([this](const TDbl3D& p, TDbl2D& q) { ProjectPoint(p, q); });
  }
  Shape.R1.r00 = {{minH, minV}};
  Shape.R1.r11 = {{maxH, maxV}};
  if (EditMode == EDIT_WORP)
    shape::ResetFrameHandles(Shape);
  else
    shape::SetFrameCorners(Shape, Commit);
  if (Commit) Shape.R0 = Shape.R1;
}

void TScBase::RefreshFromShape(TCS& Shape) {
  UpdateSelectionBox(Shape, false);
  SyncFromShape(Shape);
}

bool TScBase::SelectByClick(TCS& Shape, int32_t X, int32_t Y, bool ShiftHeld) {
  // A miss reports no value: 1 then only completes groups and seams that are selected already.
  uint8_t value = 1;
  const bool hit = ClickSelect(Shape, X, Y, ShiftHeld, value);
  shape::SelectWholeGroups(Shape, value != 0);
  FinishSelection(Shape, value);
  return hit;
}

void TScBase::SelectByBand(TCS& Shape, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool ShiftHeld) {
  const int32_t left = std::min(X1, X2), right = std::max(X1, X2);
  const int32_t top = std::min(Y1, Y2), bottom = std::max(Y1, Y2);
  const uint8_t value = RubberBandValue(Shape, left, top, right, bottom);
  if (!ShiftHeld) shape::FillPointFlags(Shape.SP, Shape.CPMaxI, Shape.CPMaxJ, false);
  RubberBandSelect(Shape, left, top, right, bottom, value);
  shape::SelectWholeGroups(Shape, value != 0);
  FinishSelection(Shape, value);
}

void TScBase::FinishSelection(TCS& Shape, uint8_t Value) {
  if (Value == 1)
    shape::JoinSeamFlagsOr(Shape, Shape.SP);
  else
    shape::JoinSeamFlagsAnd(Shape, Shape.SP);
  FixSeams(Shape);
  shape::CountSelectedPoints(Shape);
}

void TScBase::HoverText(int32_t X, int32_t Y, std::string& Text) const {
  const TDbl2D pane = ScreenToPane(X, Y);
  const double h = pane[0] * HSign;
  const double v = pane[1] * VSign;
  if (HoverShowsChannels) {
    // At least three digits, as "000" writes them (a minus sign comes before the digits).
    auto channel = [](double c) {
      const int32_t value = shape::CoordToChannelValue(c);
      return common::FormatC("%s%03lld", value < 0 ? "-" : "", std::llabs(static_cast<long long>(value)));
    };
    Text = channel(h) + "," + channel(v);
  } else {
    const double f = settings::AppSettings.MaximizeWithSymmetry ? 128.0 / 127.0 : 1.0;
    Text = common::FormatC("%1.2f,%1.2f", h * f, v * f);
  }
}

// ---------------------------------------------------------------------------------------
// Moving, rotating, aligning, snapping

void TScBase::TranslateSelected(TCS& Shape, const TDbl2D& Delta) {
  const TDbl2D delta = Delta;
  MapSelectedPoints(Shape, [delta](const TDbl2D& p) { return TDbl2D{{p[0] + delta[0], p[1] + delta[1]}}; });
}

void TScBase::MoveSelected(TCS& Shape, const TDbl2D& Delta) {
  TranslateSelected(Shape, Delta);
  shape::ForEachSetFlag(Shape.SP, Shape.CPMaxI, Shape.CPMaxJ, [&](int32_t i, int32_t j) {
    if (!Shape.RP[i][j]) ConstrainPoint(Shape, i, j);
  });
}

bool TScBase::Rotate(TCS& Shape, double Degrees) {
  const double angle = Degrees * std::numbers::pi / 180;
  const double c = std::cos(angle), s = std::sin(angle);
  const TDbl2D pivot = Shape.R0.rp;
  MapSelectedPoints(Shape, [&](const TDbl2D& p) {
    const double dh = p[0] - pivot[0], dv = p[1] - pivot[1];
    return TDbl2D{{c * dh - s * dv + pivot[0], s * dh + c * dv + pivot[1]}};
  });
  ApplyShape(Shape, true);
  return true;
}

bool TScBase::Align(TCS& Shape, int32_t Axis) {
  if (Axis != 0 && Axis != 1) return false;
  const double target = Shape.R0.rp[Axis];
  MapSelectedPoints(Shape, [&](const TDbl2D& p) {
    TDbl2D q = p;
    q[Axis] = target;
    return q;
  });
  ApplyShape(Shape, true);
  return true;
}

void TScBase::SnapToGrid(TCS& Shape) {
  if (SnapGrid <= 0) return;
  const double g = SnapGrid / 128.0;
  for (int32_t i = 0; i < Shape.CPMaxI; ++i)
    for (int32_t j = 0; j < Shape.CPMaxJ; ++j) {
      if (!Shape.SP[i][j] || Shape.RP[i][j]) continue;
      for (int k = 0; k < 3; ++k) {
        double& c = Shape.CP[i][j][k];
        if (std::isfinite(c)) c = g * static_cast<double>(common::Round(c / g));
      }
    }
}

// ---------------------------------------------------------------------------------------
// Keys

int32_t TScBase::ArrowKeyStep(uint16_t Key, platform::TShiftState Shift, TDbl2D& Delta) const {
  int dx = 0, dy = 0;
  switch (Key) {
    case platform::VK_LEFT:
      dx = -1;
      break;
    case platform::VK_UP:
      dy = -1;
      break;
    case platform::VK_RIGHT:
      dx = 1;
      break;
    case platform::VK_DOWN:
      dy = 1;
      break;
    default:
      return 0;
  }
  const bool shift = Shift.Contains(platform::ssShift);
  const int32_t grid = settings::AppSettings.Grid;
  if (grid <= 0 && Shift.Contains(platform::ssCtrl)) {
    // Whole screen pixels.
    const int step = shift ? 4 : 1;
    Delta = PaneDelta(0, 0, dx * step, dy * step);
    return 1;
  }
  // 1/128 units, signed as a one-pixel screen move in the key's direction turns out in the pane,
  // so the selection always moves the way the key points on screen.
  const double step = (grid > 0 ? (shift ? 2 * grid : grid) : (shift ? 4 : 1)) / 128.0;
  const TDbl2D pixel = PaneDelta(0, 0, dx, dy);
  auto sign = [](double v) { return static_cast<double>((v > 0) - (v < 0)); };
  Delta = {{sign(pixel[0]) * step, sign(pixel[1]) * step}};
  return 1;
}

int32_t TScBase::KeyDown(TCS& Shape, uint16_t& Key, platform::TShiftState Shift) {
  TDbl2D delta;
  if (ArrowKeyStep(Key, Shift, delta) == 0) return 0;
  MoveSelected(Shape, delta);
  ApplyShape(Shape, true);
  return 2;
}

// ---------------------------------------------------------------------------------------
// View side, settings, background

void TScBase::SelectViewSide(int32_t Side) {
  if (Side < 0 || Side > 5) return;
  const TViewSide& s = ViewSides[Side];
  HAxis = s.HAxis;
  VAxis = s.VAxis;
  DepthAxis = s.DepthAxis;
  HSign = s.HSign;
  VSign = s.VSign;
  DepthSign = s.DepthSign;
  ViewSide = Side;
}

void TScBase::SyncFromShape(TCS&) { SnapGrid = settings::AppSettings.Grid; }

void TScBase::ResetForShape() { CurrentLine = 0; }

int32_t TScBase::SelectedCount(const TCS& Shape) { return Shape.Count; }

void TScBase::ToggleBackground() {
  if (ShowBackground)
    ShowBackground = false;
  else if (BackgroundLoaded)
    ShowBackground = true;
}

bool TScBase::LoadBackground(const std::string& FileName) {
  // Loaded aside first, so a picture that fails leaves the old one and every flag as they were.
  platform::TBitmap picture(0, 0, platform::pf32bit);
  if (shape::LoadBackgroundPicture(FileName, picture) != 0 || picture.Empty()) return false;
  BackgroundBitmap.Assign(picture);
  ShowBackground = true;
  BackgroundLoaded = true;
  return true;
}

// ---------------------------------------------------------------------------------------
// Slots that do nothing in the base

bool TScBase::KeepsSideProjection() const { return false; }
void TScBase::FixSeams(TCS&) {}
void TScBase::ConstrainPoint(TCS&, int32_t, int32_t) {}
bool TScBase::EqualCurves(TCS&) { return false; }
bool TScBase::Twist(TCS&, int32_t) { return false; }
bool TScBase::SameWidth(TCS&) { return false; }
void TScBase::Optimize(TCS&) {}
bool TScBase::CanOptimize(const TCS&) { return false; }
void TScBase::PrevLine(TCS&) {}
void TScBase::NextLine(TCS&) {}
void TScBase::ToggleCurrentLine() {}
bool TScBase::IsCurrentLineMarked() { return false; }
void TScBase::CurrentLineLabel(const TCS&, std::string& Text) { Text = "-"; }
bool TScBase::MarkAllSides(bool) { return false; }
bool TScBase::MarkSidesEveryN(int32_t) { return false; }
bool TScBase::ReverseSides() { return false; }
void TScBase::ListSideLabels(const TCS&, std::vector<std::string>&) {}
void TScBase::GetSideMarks(shape::TLineMarks&, const TCS&) {}
void TScBase::SetSideMarks(const shape::TLineMarks&, TCS&) {}
bool TScBase::FillUnmarkedSides(TCS&) { return false; }
bool TScBase::SectionChanged(TCS&) { return false; }

}  // namespace editor

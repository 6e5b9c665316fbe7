// TScDODUDA, the six-sided point editor (uScDODUDA.h).
#include "editor/editors/uScDODUDA.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "editor/panes/PaneDrawing.h"
#include "rastova/core/RVBitmap.h"
#include "settings/AppSettings.h"
#include "shape/PictureFiles.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uEqualSpacing.h"
#include "shape/model/uRelocate.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"

namespace editor {

using platform::TBitmap;
using platform::TPointF;

namespace {

constexpr platform::TColor kUnmarkedLineColor = 0xC0C0C0;

// The sides each tile of a split picture goes to, by the tile's place (column, row).
struct TTilePlace {
  int32_t X, Y, Side;
};
constexpr TTilePlace kSplit32[6] = {{0, 0, 0},   {511, 0, 1},   {1022, 0, 5},
                                    {0, 511, 3}, {511, 511, 4}, {1022, 511, 2}};
constexpr TTilePlace kSplit31[6] = {{0, 0, 0},   {0, 0, 3},    {511, 0, 1},
                                    {511, 0, 4}, {1022, 0, 2}, {1022, 0, 5}};

bool DodudaSurface() { return settings::AppSettings.DodudaSurface; }

}  // namespace

void CopyBackgroundTile(const TBitmap& picture, int32_t X, int32_t Y, TBitmap& target) {
  const int32_t n = SideBackgroundSize;
  target.SetPixelFormat(platform::pf32bit);
  target.SetSize(n, n);
  for (int32_t y = 0; y < n; ++y) std::memset(target.ScanLine(y), 0xFF, static_cast<size_t>(n) * 4);
  const int32_t bpp = picture.PixelFormat() == platform::pf24bit ? 3 : 4;
  if (picture.PixelFormat() != platform::pf24bit && picture.PixelFormat() != platform::pf32bit) return;
  const int32_t w = std::min(n, picture.Width() - X), h = std::min(n, picture.Height() - Y);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = picture.ScanLine(Y + y) + static_cast<ptrdiff_t>(X) * bpp;
    uint8_t* dst = target.ScanLine(y);
    for (int32_t x = 0; x < w; ++x, src += bpp, dst += 4) std::memcpy(dst, src, 3);
  }
}

TScDODUDA::TScDODUDA() {
  for (TBitmap& b : SideBackgrounds) b.SetPixelFormat(platform::pf32bit);
  shape::FillLineMarks(EditColumnMarks, 1);
  shape::FillLineMarks(EditRowMarks, 1);
}

// ---------------------------------------------------------------------------------------
// Facing and editable points

bool TScDODUDA::Faces(const TDbl3D& A, const TDbl3D& B, const TDbl3D& C) const {
  return shape::FaceNormalDbl3D(A, B, C)[DepthAxis] * DepthSign < 0;
}

double TScDODUDA::DepthOf(const TDbl3D& Point) const { return Point[DepthAxis] * DepthSign; }

bool TScDODUDA::IsEditable(int32_t I, int32_t J) const { return !DodudaSurface() || SurfaceMask[I][J]; }

void TScDODUDA::BuildSurfaceMask(const TCS& Shape) {
  FindFacing(Shape);
  MaskFromFacing(Shape);
}

void TScDODUDA::FindFacing(const TCS& Shape) {
  const int32_t cells = std::max(Shape.CPMaxJ - 1, 0);
  facing_.resize(static_cast<size_t>(std::max(Shape.CPMaxI - 1, 0)) * cells);
  const auto& p = Shape.CP;
  uint8_t* out = facing_.data();
  for (int32_t i = 0; i + 1 < Shape.CPMaxI; ++i)
    for (int32_t j = 0; j + 1 < Shape.CPMaxJ; ++j)
      *out++ = static_cast<uint8_t>((Faces(p[i][j], p[i + 1][j], p[i][j + 1]) ? 1 : 0) |
                                    (Faces(p[i + 1][j + 1], p[i][j + 1], p[i + 1][j]) ? 2 : 0));
}

void TScDODUDA::MaskFromFacing(const TCS& Shape) {
  for (int32_t i = 0; i < Shape.CPMaxI; ++i)
    std::memset(SurfaceMask[i], 0, static_cast<size_t>(Shape.CPMaxJ));
  const uint8_t* facing = facing_.data();
  for (int32_t i = 0; i + 1 < Shape.CPMaxI; ++i)
    for (int32_t j = 0; j + 1 < Shape.CPMaxJ; ++j) {
      const uint8_t f = *facing++;
      if (f & 1) SurfaceMask[i][j] = SurfaceMask[i][j + 1] = SurfaceMask[i + 1][j] = true;
      if (f & 2) SurfaceMask[i + 1][j + 1] = SurfaceMask[i][j + 1] = SurfaceMask[i + 1][j] = true;
    }
}

void TScDODUDA::ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const {
  for (int32_t j = 0; j < Shape.CPMaxJ; ++j)
    for (int32_t i = 0; i < Shape.CPMaxI; ++i)
      if (IsEditable(i, j) && !Visit(i, j)) return;
}

bool TScDODUDA::ClickSelect(TCS& Shape, int32_t X, int32_t Y, bool ShiftHeld, uint8_t& Value) {
  double best = -2;
  int32_t bi = -1, bj = -1;
  ForEachEditable(Shape, [&](int32_t i, int32_t j) {
    if (IsNear(Shape, i, j, X, Y) && DepthOf(Shape.CP[i][j]) > best) {
      best = DepthOf(Shape.CP[i][j]);
      bi = i;
      bj = j;
    }
    return true;
  });
  if (bi < 0) return false;
  if (ShiftHeld) {
    Value = Shape.SP[bi][bj] ? 0 : 1;
  } else {
    shape::FillPointFlags(Shape.SP, Shape.CPMaxI, Shape.CPMaxJ, false);
    Value = 1;
  }
  Shape.SP[bi][bj] = Value != 0;
  return true;
}

// ---------------------------------------------------------------------------------------
// Slots

void TScDODUDA::PublishLineMarks() {
  shape::CopyLineMarks(EditColumnMarks, shape::ColumnMarks);
  shape::CopyLineMarks(EditRowMarks, shape::RowMarks);
}

bool TScDODUDA::EqualIntervals(TCS& Shape) {
  shape::GridEqualIntervals(Shape);
  ApplyShape(Shape, true);
  return true;
}

bool TScDODUDA::CanEqualIntervals(const TCS& Shape) { return shape::GridCanEqualIntervals(Shape); }

bool TScDODUDA::EqualDistance(TCS& Shape) {
  shape::GridEqualDistance(Shape);
  ApplyShape(Shape, true);
  return true;
}

bool TScDODUDA::CanEqualDistance(const TCS& Shape) { return shape::GridCanEqualDistance(Shape); }

bool TScDODUDA::Smooth(TCS& Shape, int32_t Kind) {
  return SmoothKeeping(Shape, Kind, [](int32_t, int32_t) { return true; });
}

void TScDODUDA::Generate(TCS& Shape) { shape::RelocateToLod(Shape); }

void TScDODUDA::FixSeams(TCS& Shape) { shape::JoinSeamFlagsOr(Shape, SurfaceMask); }

void TScDODUDA::TransformSelection(TCS& Shape, const TDbl2D& PressPane, const TDbl2D& CurrentPane,
                                   const TFrameBuild& Build, TFrameMap Map, bool ShiftHeld,
                                   shape::TFrameDrag& Transform) {
  Build(Shape, PressPane, CurrentPane, Transform, ShiftHeld);
  MapSelectedPoints(Shape, [&](const TDbl2D& p) { return Map(Transform, p); });
}

void TScDODUDA::WarpSelection(TCS& Shape, TWarpMap WarpMap) {
  MapSelectedPoints(Shape, [&](const TDbl2D& p) { return WarpMap(Shape.R0, Shape.R1, p); });
}

bool TScDODUDA::Magnet(TCS& Shape) {
  const TDbl2D pivot = Shape.R0.rp;
  MapSelectedPoints(Shape, [&](const TDbl2D&) { return pivot; });
  ApplyShape(Shape, true);
  return true;
}

void TScDODUDA::SnapToGrid(TCS& Shape) { TScBase::SnapToGrid(Shape); }

void TScDODUDA::ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const { TScBase::ProjectPoint(Point, Pane); }

void TScDODUDA::UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const {
  TScBase::UnprojectPoint(Pane, Source, Point);
}

bool TScDODUDA::KeepsSideProjection() const { return true; }

void TScDODUDA::ConstrainPoint(TCS&, int32_t, int32_t) {}

void TScDODUDA::MoveSelected(TCS& Shape, const TDbl2D& Delta) { TranslateSelected(Shape, Delta); }

void TScDODUDA::SyncFromShape(TCS& Shape) {
  TScBase::SyncFromShape(Shape);
  AxisScaleH = settings::AxisRatios[HAxis];
  AxisScaleV = settings::AxisRatios[VAxis];
}

void TScDODUDA::ResetForShape() {
  SelectViewSide(0);
  shape::FillLineMarks(EditColumnMarks, 1);
  shape::FillLineMarks(EditRowMarks, 1);
}

void TScDODUDA::SelectViewSide(int32_t Side) {
  TScBase::SelectViewSide(Side);
  BackgroundLoaded = SideBackgrounds[ViewSide].Width() > 0;
}

// ---------------------------------------------------------------------------------------
// Background pictures

bool TScDODUDA::LoadBackground(const std::string& FileName) {
  std::array<TBitmap, 6> tiles;
  bool filled[6] = {};
  try {
    rv::TRVBitmap picture;
    shape::LoadPictureFile(FileName, picture);
    shape::LoadedPictureTo24Bit(picture);
    const int64_t w = picture.GetWidth(), h = picture.GetHeight();
    const bool split = settings::AppSettings.AutoSplitBkImage;
    const TTilePlace* places = nullptr;
    int32_t width = SideBackgroundSize, height = SideBackgroundSize;
    if (split && w * 2 == h * 3) {
      places = kSplit32;
      width = 3 * SideBackgroundSize;
      height = 2 * SideBackgroundSize;
    } else if (split && w == h * 3) {
      places = kSplit31;
      width = 3 * SideBackgroundSize;
    }
    shape::ResamplePictureLanczos3(picture, width, height);
    shape::FadeBitmap(picture);
    TBitmap faded(0, 0, platform::pf32bit);
    shape::CopyRVBitmapToColor(picture, faded);
    if (places) {
      for (int k = 0; k < 6; ++k) {
        CopyBackgroundTile(faded, places[k].X, places[k].Y, tiles[places[k].Side]);
        filled[places[k].Side] = true;
      }
    } else {
      CopyBackgroundTile(faded, 0, 0, tiles[ViewSide]);
      filled[ViewSide] = true;
    }
  } catch (...) {
    return false;
  }
  for (int k = 0; k < 6; ++k)
    if (filled[k]) SideBackgrounds[k].Assign(tiles[k]);
  ShowBackground = true;
  BackgroundLoaded = true;
  return true;
}

void TScDODUDA::DrawBackgroundGdiPlus(platform::TDrawing& Graphics) {
  if (SideBackgrounds[ViewSide].Width() > 0) DrawBitmapGdiPlus(Graphics, SideBackgrounds[ViewSide]);
}

void TScDODUDA::DrawBackgroundD2D(platform::TDrawing& Canvas) {
  if (SideBackgrounds[ViewSide].Width() > 0) DrawBitmapD2D(Canvas, SideBackgrounds[ViewSide]);
}

// ---------------------------------------------------------------------------------------
// Painting

void TScDODUDA::DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) {
  DrawMesh(Shape, Graphics, false);
}

void TScDODUDA::DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) { DrawMesh(Shape, Canvas, true); }

void TScDODUDA::TSegmentBatches::Start() { used_ = 0; }

void TScDODUDA::TSegmentBatches::Add(platform::TColor Colour, TPointF A, TPointF B) {
  std::vector<TPointF>& ends = Batch(Colour);
  ends.push_back(A);
  ends.push_back(B);
}

void TScDODUDA::TSegmentBatches::Draw(platform::TDrawing& Drawing) const {
  for (size_t k = 0; k < used_; ++k)
    Drawing.Lines(batches_[k].second, ColorToArgb(batches_[k].first, 255), 1);
}

std::vector<TPointF>& TScDODUDA::TSegmentBatches::Batch(platform::TColor Colour) {
  for (size_t k = 0; k < used_; ++k)
    if (batches_[k].first == Colour) return batches_[k].second;
  if (used_ == batches_.size()) batches_.emplace_back();
  auto& batch = batches_[used_++];
  batch.first = Colour;
  batch.second.clear();
  return batch.second;
}

void TScDODUDA::DrawMesh(TCS& Shape, platform::TDrawing& Drawing, bool D2D) {
  const int32_t ni = Shape.CPMaxI, nj = Shape.CPMaxJ;
  const int32_t s = std::max(1, settings::AppSettings.ViewLevel);
  const bool surface = DodudaSurface();
  const bool lines = settings::AppSettings.DodudaLine;
  // The colour of each column's marks, and of each column and row line.
  platform::TColor markColour[shape::kGridMax], columnColour[shape::kGridMax], rowColour[shape::kGridMax];
  for (int32_t i = 0; i < ni; ++i) {
    markColour[i] = shape::GridLineColor(i, ni, 0);
    columnColour[i] = lines && EditColumnMarks[i] == 0 ? kUnmarkedLineColor : markColour[i];
  }
  for (int32_t j = 0; j < nj; ++j)
    rowColour[j] = lines && EditRowMarks[j] == 0 ? kUnmarkedLineColor : shape::GridLineColor(j, nj, 1);
  GridToScreenF(Shape, screenPoints_);
  auto at = [&](int32_t i, int32_t j) { return screenPoints_[static_cast<size_t>(i) * nj + j]; };
  // The facing of the step-1 triangles serves the mask and, at step 1, the mesh.
  FindFacing(Shape);
  auto facing = [&](int32_t i0, int32_t j0, int32_t i1, int32_t j1, int bit) {
    if (s == 1) return (facing_[static_cast<size_t>(i0) * (nj - 1) + j0] & bit) != 0;
    const auto& p = Shape.CP;
    return bit == 1 ? Faces(p[i0][j0], p[i1][j0], p[i0][j1]) : Faces(p[i1][j1], p[i0][j1], p[i1][j0]);
  };

  segments_.Start();
  for (int32_t u = 0; u < (ni - 1) / s; ++u)
    for (int32_t k = 0; k < (nj - 1) / s; ++k) {
      const int32_t i0 = s * u, i1 = s * (u + 1), j0 = s * k, j1 = s * (k + 1);
      if (!surface || facing(i0, j0, i1, j1, 1)) {
        segments_.Add(columnColour[i0], at(i0, j0), at(i0, j1));
        segments_.Add(rowColour[j0], at(i0, j0), at(i1, j0));
      }
      if (!surface || facing(i0, j0, i1, j1, 2)) {
        segments_.Add(columnColour[i1], at(i1, j0), at(i1, j1));
        segments_.Add(rowColour[j1], at(i0, j1), at(i1, j1));
      }
    }
  segments_.Draw(Drawing);
  MaskFromFacing(Shape);
  for (int32_t j = 0; j < nj; ++j)
    for (int32_t i = 0; i < ni; ++i) {
      if (!IsEditable(i, j)) continue;
      const platform::TColor colour = markColour[i];
      const bool square = i % 2 == 0 && j % 2 == 0;
      if (D2D)
        DrawPointMarkD2D(Drawing, colour, Shape.RP[i][j], Shape.SP[i][j], Shape.GP[i][j], at(i, j), square);
      else
        DrawPointMarkGdiPlus(Drawing, colour, Shape.RP[i][j], Shape.SP[i][j], Shape.GP[i][j], at(i, j),
                             square);
    }
}

}  // namespace editor

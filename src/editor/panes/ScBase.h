#pragma once
// TScBase: the base of the six editors that edit the 3D shape through a 2D pane. It owns the
// mapping between model space, pane space and screen pixels for one of six view sides, the
// selection frame and the warp frame with their drag modes (ScBaseDrag.cpp), click and band
// selection, moving, rotating, aligning and snapping the selected points, the hover text, the
// background picture, the painting of the pane (ScBasePaint.cpp), the shape presets
// (ScBasePresets.cpp, over ShapePresets.h) and ApplyShape, the common end of every edit.
//
// Spaces:
// - model: a TDbl3D inside the modelling cube (points clamped to [-0.9921875, 1]);
// - pane: (h, v) = (P[HAxis] x HSign, P[VAxis] x VSign); the warp frames R0 and R1 of the shape
//   record are kept in pane space;
// - screen: pixels, x = h x Scale x AxisScaleH + CentreX - OffsetX, y likewise with v
//   (screen y grows downward).
//
// The descendants supply what the pane shows, how a point is hit and selected and how the grid
// is generated from their own state (the abstract slots).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "editor/panes/EditBase.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Drawing.h"
#include "platform/gfx/Types.h"
#include "shape/model/LineMarks.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uWarpFrame.h"

namespace editor {

using shape::TDbl2D;
using shape::TDbl3D;
using shape::TRengeD;

// What a view side shows: the model axes (0 x, 1 y, 2 z) across, up the screen and along the
// view, each with a sign. DepthSign times the unit vector of DepthAxis is the viewing direction.
struct TViewSide {
  int32_t HAxis;
  int32_t VAxis;
  int32_t DepthAxis;
  double HSign;
  double VSign;
  double DepthSign;
};
// 0 front (x right, z up), 1 right (y right, z up), 2 top (x right, y down), 3 back (x left,
// z up), 4 left (y left, z up), 5 bottom (x right, y up).
extern const TViewSide ViewSides[6];

// Names of the editor modes 0..7, for the background dialog's title ("Load " + name +
// " Background Picture").
extern const char* const EditorTypeNames[8];

// Whether the hover text shows sculpt-map channel values (true at start) or coordinates; the
// main window's coordinate button toggles it.
extern bool HoverShowsChannels;

// The colours of the axes step, per model axis: positive and negative half.
struct TAxisColors {
  platform::TColor Positive;
  platform::TColor Negative;
};
extern const TAxisColors AxisColors[3];

// Draws the selection frame or the warp frame on a pane.
using TFramePainter = std::function<void(TCS& Shape, platform::TDrawing& Graphics)>;
// The build and map functions of a frame drag (TransformSelection).
using TFrameBuild = std::function<bool(const TCS& Shape, const TDbl2D& PressPane, const TDbl2D& CurrentPane,
                                       shape::TFrameDrag& Transform, bool ShiftHeld)>;
using TFrameMap = TDbl2D (*)(const shape::TFrameDrag& Transform, const TDbl2D& Point);
// The curve warp of the warp frame: committed frame, edited frame, pane point.
using TWarpMap = TDbl2D (*)(const TRengeD& Committed, const TRengeD& Edited, const TDbl2D& Point);

// The plain projection of a view side (pane = the model's HAxis and VAxis coordinates times
// their signs), held by value so that a loop over many points keeps it in registers.
struct TSideProjection {
  int32_t HAxis;
  int32_t VAxis;
  double HSign;
  double VSign;
  void Project(const TDbl3D& Point, TDbl2D& Pane) const {
    Pane[0] = Point[HAxis] * HSign;
    Pane[1] = Point[VAxis] * VSign;
  }
  // Source with its HAxis and VAxis coordinates from the pane point.
  void Unproject(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const {
    Point = Source;
    Point[HAxis] = Pane[0] * HSign;
    Point[VAxis] = Pane[1] * VSign;
  }
};

// The pane-to-screen mapping of ToScreenF held by value, for loops over many points.
struct TScreenMapping {
  double Scale, AxisScaleH, AxisScaleV;
  double CentreX, CentreY;
  double OffsetX, OffsetY;
  platform::TPointF ToScreenF(const TDbl2D& Pane) const {
    return {static_cast<float>(Pane[0] * Scale * AxisScaleH + CentreX - OffsetX + 0.5),
            static_cast<float>(Pane[1] * Scale * AxisScaleV + CentreY - OffsetY + 0.5)};
  }
};

class TScBase : public TEditBase {
 public:
  // The base's construction, no background, ChoosePainters, the Normal frame painters.
  TScBase();
  ~TScBase() override;

  TFramePainter FramePainter;     // "GDI+" pipeline
  TFramePainter FramePainterD2D;  // "Direct2D" pipeline
  TRengeD PressFrame{};           // R1 as it was when a warp handle was pressed
  double AxisScaleH = 1;
  double AxisScaleV = 1;
  int32_t HAxis = 0;
  int32_t VAxis = 2;
  int32_t DepthAxis = 1;
  double HSign = 1;
  double VSign = -1;
  double DepthSign = -1;
  int32_t SnapGrid = 0;  // "Grid" as the last SyncFromShape found it; 0 no grid
  int32_t CurrentLine = 0;
  int32_t ViewSide = 0;
  bool ShowBackground = false;
  bool BackgroundLoaded = false;
  platform::TBitmap BackgroundBitmap;  // the faded picture, 511 x 511 once loaded

  // Slots of TEditBase.
  int32_t KeyDown(TCS& Shape, uint16_t& Key, platform::TShiftState Shift) override;
  bool MouseDown(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseHover(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y) override;
  bool MouseDrag(TCS& Shape, TImage& Image, bool ShiftHeld, int32_t X, int32_t Y) override;
  bool MouseUp(TCS& Shape, TImage& Image, bool ShiftHeld, int32_t X, int32_t Y) override;
  void BeforePaint(TImage& Image) override;
  void ChoosePainters() override;
  void SetEditMode(int32_t Mode) override;

  // Slots 27 to 80. The base's ProjectPoint and UnprojectPoint are SideProjection's.
  virtual void ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const;                          // 27
  virtual void UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const;  // 28
  virtual void SnapToGrid(TCS& Shape);                                                         // 29
  virtual void Generate(TCS& Shape) = 0;                                                       // 30
  virtual void FixSeams(TCS& Shape);                                                           // 31
  virtual void ConstrainPoint(TCS& Shape, int32_t I, int32_t J);                               // 32
  virtual bool HitPoint(const TCS& Shape, int32_t X, int32_t Y) = 0;                           // 33
  // 34: selects or toggles the point under (X, Y) and reports the selection value it set.
  virtual bool ClickSelect(TCS& Shape, int32_t X, int32_t Y, bool ShiftHeld, uint8_t& Value) = 0;
  // 35: 0 when every editable point inside is selected already (or there is none), else 1.
  virtual uint8_t RubberBandValue(const TCS& Shape, int32_t Left, int32_t Top, int32_t Right,
                                  int32_t Bottom) = 0;
  // 36: the selection flag of the editable points inside := Value.
  virtual void RubberBandSelect(TCS& Shape, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                                uint8_t Value) = 0;
  virtual void DrawBackgroundGdiPlus(platform::TDrawing& Graphics);             // 37
  virtual void DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) = 0;  // 38
  virtual void DrawCubeGdiPlus(platform::TDrawing& Graphics);                   // 39
  virtual void DrawGridGdiPlus(platform::TDrawing& Graphics);                   // 40
  virtual void DrawAxesGdiPlus(platform::TDrawing& Graphics);                   // 41
  virtual void DrawSurfaceGdiPlus(TCS& Shape, platform::TDrawing& Graphics);    // 42
  virtual void DrawBackgroundD2D(platform::TDrawing& Canvas);                   // 43
  virtual void DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) = 0;        // 44
  virtual void DrawCubeD2D(platform::TDrawing& Canvas);                         // 45
  virtual void DrawGridD2D(platform::TDrawing& Canvas);                         // 46
  virtual void DrawAxesD2D(platform::TDrawing& Canvas);                         // 47
  virtual void DrawSurfaceD2D(TCS& Shape, platform::TDrawing& Canvas);          // 48
  virtual void ToggleBackground();                                              // 49
  virtual void SyncFromShape(TCS& Shape);                                       // 50
  virtual void ResetForShape();                                                 // 51
  virtual int32_t SelectedCount(const TCS& Shape);                              // 52
  virtual void MoveSelected(TCS& Shape, const TDbl2D& Delta);                   // 53
  virtual bool Rotate(TCS& Shape, double Degrees);                              // 54
  virtual bool Align(TCS& Shape, int32_t Axis);                                 // 55
  virtual bool EqualCurves(TCS& Shape);                                         // 56
  virtual bool Twist(TCS& Shape, int32_t Direction);                            // 57
  virtual bool SameWidth(TCS& Shape);                                           // 58
  virtual void Optimize(TCS& Shape);                                            // 59
  virtual bool CanOptimize(const TCS& Shape);                                   // 60
  // 61: Build once, then every selected, unlocked point from DP through Map into CP.
  virtual void TransformSelection(TCS& Shape, const TDbl2D& PressPane, const TDbl2D& CurrentPane,
                                  const TFrameBuild& Build, TFrameMap Map, bool ShiftHeld,
                                  shape::TFrameDrag& Transform) = 0;
  // 62: every selected, unlocked point from DP through WarpMap (R0, R1, point) into CP.
  virtual void WarpSelection(TCS& Shape, TWarpMap WarpMap) = 0;
  virtual void PrevLine(TCS& Shape);                                               // 63
  virtual void NextLine(TCS& Shape);                                               // 64
  virtual void ToggleCurrentLine();                                                // 65
  virtual bool IsCurrentLineMarked();                                              // 66
  virtual void CurrentLineLabel(const TCS& Shape, std::string& Text);              // 67
  virtual bool MarkAllSides(bool Value);                                           // 68
  virtual bool MarkSidesEveryN(int32_t N);                                         // 69
  virtual bool ReverseSides();                                                     // 70
  virtual void ListSideLabels(const TCS& Shape, std::vector<std::string>& Items);  // 71
  virtual void GetSideMarks(shape::TLineMarks& Marks, const TCS& Shape);           // 72
  virtual void SetSideMarks(const shape::TLineMarks& Marks, TCS& Shape);           // 73
  virtual bool FillUnmarkedSides(TCS& Shape);                                      // 74
  virtual void SelectViewSide(int32_t Side);                                       // 75
  virtual bool LoadBackground(const std::string& FileName);                        // 76
  virtual bool SectionChanged(TCS& Shape);                                         // 77
  virtual void PrismPreset(TCS& Shape, int32_t Sides, bool AllRows);               // 78
  virtual void PrismPresetTorus(TCS& Shape, int32_t Sides);                        // 79
  virtual void RoundPreset(TCS& Shape, int32_t Kind);                              // 80

  TSideProjection SideProjection() const { return {HAxis, VAxis, HSign, VSign}; }

  // Screen mappings. The "F" and "Gdi" points are the single-precision pixel centres (+0.5);
  // ToScreenInt rounds to whole pixels without it.
  platform::TPointF ToScreenF(const TDbl2D& Pane) const;
  TScreenMapping ScreenMapping() const;
  // PointToScreenF of every point of the grid, element i x CPMaxJ + j.
  void GridToScreenF(const TCS& Shape, std::vector<platform::TPointF>& Screen) const;
  platform::TPointF ToScreenGdiPoint(const TDbl2D& Pane) const;
  platform::TPoint ToScreenInt(const TDbl2D& Pane) const;
  platform::TPoint PointToScreen(const TDbl3D& Point) const;
  platform::TPointF PointToGdiPoint(const TDbl3D& Point) const;
  platform::TPointF PointToScreenF(const TDbl3D& Point) const;
  TDbl2D ScreenToPane(double X, double Y) const;
  // The pane difference from screen point 1 to screen point 2.
  TDbl2D PaneDelta(double X1, double Y1, double X2, double Y2) const;
  // The pane square (-1, -1)..(1, 1) on the screen, one pixel larger each way.
  platform::TRectF CubeRectGdiPlus() const;
  platform::TRectF CubeRectD2D() const;

  // Snap (Full, with a grid), clamp, FixSeams; with Full then Generate, clamp and FixSeams
  // again; the result is the selected count, which is also stored in Count.
  int32_t ApplyShape(TCS& Shape, bool Full);
  // With 2 or more selected points: R1 round the selected points (corners, and in Worp mode
  // the edge handles; otherwise the pivot centred when Commit); with Commit R0 := R1.
  void UpdateSelectionBox(TCS& Shape, bool Commit);
  void RefreshFromShape(TCS& Shape);

  bool SelectByClick(TCS& Shape, int32_t X, int32_t Y, bool ShiftHeld);
  // The value is taken before a band without Shift clears the selection, so a band over points
  // that are all selected already leaves nothing selected.
  void SelectByBand(TCS& Shape, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool ShiftHeld);
  // Seam duplicates joined (OR for Value 1, AND for 0), FixSeams, count.
  void FinishSelection(TCS& Shape, uint8_t Value);
  // The two model coordinates under (X, Y) as channel values ("191,127") or numbers
  // ("0.50,0.00").
  void HoverText(int32_t X, int32_t Y, std::string& Text) const;

  // Hit tests of the frames on R1 (ScBaseDrag.cpp). The ...HandleAt forms answer -1 with
  // fewer than 2 selected points.
  int32_t FrameHitCode(const TCS& Shape, int32_t X, int32_t Y) const;
  int32_t FrameHandleAt(const TCS& Shape, int32_t X, int32_t Y) const;
  int32_t WarpHitCode(const TCS& Shape, int32_t X, int32_t Y) const;
  int32_t WarpHandleAt(const TCS& Shape, int32_t X, int32_t Y) const;
  // The code MouseDown would start with, without selecting: 12 over a point, -2 elsewhere.
  int32_t HoverCode(const TCS& Shape, platform::TShiftState Shift, int32_t X, int32_t Y);
  static platform::TCursor HoverCursor(int32_t Code);
  // The frame drags of modes 1..9, 101..108, 201..204 and of the warp handles.
  void TransformByHandle(TCS& Shape, int32_t Mode, bool ShiftHeld, int32_t X, int32_t Y);
  void WarpByHandle(TCS& Shape);

  // Painting (ScBasePaint.cpp).
  void PaintGdiPlus(TCS& Shape, TImage& Image, bool WithSurface);
  void PaintD2D(TCS& Shape, TImage& Image, bool WithSurface, bool Aliased);
  void DrawBitmapGdiPlus(platform::TDrawing& Graphics, const platform::TBitmap& Bitmap);
  void DrawBitmapD2D(platform::TDrawing& Canvas, const platform::TBitmap& Bitmap);
  // The mark of one editable point: a group ring, a fill (yellow locked and selected, cyan
  // locked, Colour selected, none otherwise) and an outline in Colour; square or round.
  void DrawPointMarkGdiPlus(platform::TDrawing& Graphics, platform::TColor Colour, bool Locked, bool Selected,
                            int32_t GroupId, platform::TPointF Centre, bool Square);
  void DrawPointMarkD2D(platform::TDrawing& Canvas, platform::TColor Colour, bool Locked, bool Selected,
                        int32_t GroupId, platform::TPointF Centre, bool Square);
  void DrawFrameGdiPlus(TCS& Shape, platform::TDrawing& Graphics);
  void DrawFrameD2D(TCS& Shape, platform::TDrawing& Canvas);
  void DrawWarpFrameGdiPlus(TCS& Shape, platform::TDrawing& Graphics);
  void DrawWarpFrameD2D(TCS& Shape, platform::TDrawing& Canvas);

 protected:
  // The screen points of the last paint step that needed them (kept, so a paint does not
  // allocate them afresh).
  std::vector<platform::TPointF> screenPoints_;

  // Every selected, unlocked point of the block from DP: projected, mapped in pane space and
  // unprojected with its own depth into CP. The common core of moves, turns and frame drags;
  // Map (pane point to pane point) is called directly, as a drag runs it for every point.
  template <typename TMap>
  void MapSelectedPoints(TCS& Shape, const TMap& Map) {
    auto mapAll = [&](const auto& project, const auto& unproject) {
      shape::ForEachSetFlag(Shape.SP, Shape.CPMaxI, Shape.CPMaxJ, [&](int32_t i, int32_t j) {
        if (Shape.RP[i][j]) return;
        TDbl2D pane;
        project(Shape.DP[i][j], pane);
        unproject(Map(pane), Shape.DP[i][j], Shape.CP[i][j]);
      });
    };
    if (KeepsSideProjection()) {
      const TSideProjection side = SideProjection();
      mapAll([side](const TDbl3D& p, TDbl2D& q) { side.Project(p, q); },
             [side](const TDbl2D& q, const TDbl3D& s, TDbl3D& p) { side.Unproject(q, s, p); });
    } else {
      mapAll([this](const TDbl3D& p, TDbl2D& q) { ProjectPoint(p, q); },
             [this](const TDbl2D& q, const TDbl3D& s, TDbl3D& p) { UnprojectPoint(q, s, p); });
    }
  }
  // MoveSelected without ConstrainPoint: every selected, unlocked point moved by Delta in the pane.
  void TranslateSelected(TCS& Shape, const TDbl2D& Delta);
  // Whether ProjectPoint and UnprojectPoint are SideProjection's: an editor that answers true
  // declares them final, and the loops over many points then project in place. False here.
  virtual bool KeepsSideProjection() const;

 private:
  struct TFrameStyle;
  struct TWarpStyle;
  void PaintPane(TCS& Shape, TImage& Image, bool D2D, bool WithSurface, bool Aliased);
  void DrawBackgroundWith(platform::TDrawing& Drawing);
  void DrawCubeWith(platform::TDrawing& Drawing, platform::TArgb Color);
  void DrawGridWith(platform::TDrawing& Drawing, platform::TArgb Color);
  void DrawAxesWith(platform::TDrawing& Drawing, uint8_t Alpha);
  void DrawSurfaceWith(const TCS& Shape, platform::TDrawing& Drawing, platform::TArgb Color);
  void DrawFrameWith(const TCS& Shape, platform::TDrawing& Drawing, const TFrameStyle& Style);
  void DrawWarpFrameWith(const TCS& Shape, platform::TDrawing& Drawing, const TWarpStyle& Style);
  void DrawPointMarkWith(platform::TDrawing& Drawing, platform::TColor Colour, bool Locked, bool Selected,
                         int32_t GroupId, platform::TPointF Centre, bool Square);
  int32_t ArrowKeyStep(uint16_t Key, platform::TShiftState Shift, TDbl2D& Delta) const;
};

}  // namespace editor

#pragma once
// The device context a metafile plays into, as the window system's drawing layer keeps it:
// pen, brush, font, colours and modes, the mapping from logical units to the device (mapping
// mode, window and viewport origins and extents, world transform), the current position, the
// clip region, the path under construction and the stack that SaveDC and RestoreDC work on.
// TRVEmfPlayer and TRVWmfPlayer (this folder) turn records into calls of this class; it draws
// through QPainter.
//
// Units: figures are given in logical units. The mapping takes them to the reference device
// (the recording device of an EMF; the logical box of a WMF's placeable header), and a fixed
// scale takes the reference rectangle onto the target rectangle of the picture. The clip region
// and the path are kept in target pixels, as the window system keeps them in device pixels.
//
// Drawing is aliased (text is smoothed). The binary raster operations of the pen (ROP2) and of
// block transfers need a painter on a 32-bit image (QImage::Format_RGB32).
//
// Limits, so that a few bytes cannot ask for unbounded work or memory: at most kMaxSavedStates
// saved states (a SaveDC beyond is ignored, as the window system refuses it), kMaxPathPoints
// points in a path or in one figure (a figure beyond is skipped, a path beyond is abandoned),
// kMaxTextChars characters of one text output (the rest is not drawn), kMaxRegionRects
// rectangles in a region, and kMaxDibWork pixels of bitmaps decoded in one playback (bitmaps
// beyond are not drawn).
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QImage;

namespace rv {

constexpr size_t kMaxSavedStates = 1024;
constexpr size_t kMaxPathPoints = size_t(1) << 20;
constexpr size_t kMaxTextChars = 8192;
constexpr size_t kMaxRegionRects = size_t(1) << 18;
constexpr int64_t kMaxDibWork = int64_t(1) << 28;

// The union of the rectangles (united pairwise, so that n rectangles cost about n log n).
QRegion UniteRects(std::span<const QRect> rects);

// A logical pen (CreatePen, ExtCreatePen).
struct TRVMetaPen {
  uint32_t Style = 0;          // the pen style word: dash style, end cap, join, type (U_PS_*)
  double Width = 0;            // geometric pens: logical units
  bool Geometric = false;      // else a cosmetic pen, one device pixel wide
  QRgb Color = 0xFF000000;     // opaque
  std::vector<double> Dashes;  // U_PS_USERSTYLE: dash, gap, dash ... in logical units
};

// A logical brush. A pattern brush draws its tile in device pixels from the brush origin; a
// monochrome tile (two-entry Indexed8) takes the text colour for 0 and the background colour
// for 1.
struct TRVMetaBrush {
  uint32_t Style = 0;  // U_BS_*
  QRgb Color = 0xFFFFFFFF;
  uint32_t Hatch = 0;  // U_HS_*
  std::shared_ptr<const QImage> Pattern;
};

// A logical font. Height in logical units: negative for the character height, positive for the
// whole cell, 0 for the default size. Escapement in tenths of a degree, counter-clockwise.
struct TRVMetaFont {
  double Height = 0;
  double Width = 0;
  int32_t Escapement = 0;
  int32_t Weight = 0;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  uint8_t Quality = 0;
  QString Face;
};

struct TRVMetaState {
  TRVMetaPen Pen;
  TRVMetaBrush Brush;
  TRVMetaFont Font;
  QRgb TextColor = 0xFF000000;
  QRgb BkColor = 0xFFFFFFFF;
  uint32_t BkMode = 2;        // U_OPAQUE
  uint32_t Rop2 = 13;         // U_R2_COPYPEN
  uint32_t PolyFillMode = 1;  // U_ALTERNATE
  uint32_t TextAlign = 0;     // U_TA_TOP | U_TA_LEFT
  uint32_t StretchMode = 1;   // U_BLACKONWHITE
  uint32_t ArcDirection = 1;  // U_AD_COUNTERCLOCKWISE
  double MiterLimit = 10;
  // Mapping: device = (logical - WindowOrg) * scale + ViewportOrg, where the scale follows the
  // mapping mode (ViewportExt / WindowExt in the isotropic and anisotropic modes).
  uint32_t MapMode = 1;  // U_MM_TEXT
  QPointF WindowOrg{0, 0};
  QPointF ViewportOrg{0, 0};
  QPointF WindowExt{1, 1};
  QPointF ViewportExt{1, 1};
  QTransform World;             // world to page (EMF only)
  QPointF Position;             // the current position, logical
  QPointF BrushOrg;             // reference device units
  std::optional<QRegion> Clip;  // target pixels; none: the whole picture
  QPainterPath Path;            // target pixels
  bool InPath = false;          // between BeginPath and EndPath
  bool PathReady = false;       // a path closed by EndPath waits for its use
};

class TRVMetaDC {
 public:
  // Plays onto `painter` (whose device holds `target`), mapping the reference rectangle onto
  // `target`; `unitsPerMm` are reference units per millimetre for the metric mapping modes.
  TRVMetaDC(QPainter& painter, const QRect& target, const QRectF& reference, QPointF unitsPerMm);
  ~TRVMetaDC();
  TRVMetaDC(const TRVMetaDC&) = delete;
  TRVMetaDC& operator=(const TRVMetaDC&) = delete;

  TRVMetaState& State() { return state_; }
  const TRVMetaState& State() const { return state_; }

  // ---- mapping
  void SetMapMode(uint32_t mode);
  void SetWindowOrg(QPointF p);
  void SetViewportOrg(QPointF p);
  // Extents of 0 are refused, as the window system refuses them; extents change only in the
  // isotropic and anisotropic modes.
  void SetWindowExt(QPointF e);
  void SetViewportExt(QPointF e);
  void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
  void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
  // Transforms with non-finite elements are refused.
  void SetWorldTransform(const QTransform& t);
  // U_MWT_IDENTITY, U_MWT_LEFTMULTIPLY (t applied first), U_MWT_RIGHTMULTIPLY (t applied last),
  // 4: set.
  void ModifyWorldTransform(const QTransform& t, uint32_t mode);
  // Logical units to target pixels, and reference units to target pixels.
  QTransform Transform() const;
  const QTransform& ReferenceToTarget() const { return outer_; }

  // ---- the state stack: Restore(-n) goes back n saves, Restore(n > 0) to the n-th save
  // counted from the first; other values do nothing.
  void Save();
  void Restore(int32_t which);

  // ---- figures, in logical units; between BeginPath and EndPath they go into the path
  void MoveTo(QPointF p);
  void LineTo(QPointF p);
  void Polyline(const QPolygonF& points);
  void PolylineTo(const QPolygonF& points);
  // The first point, then three per curve (two control points and the end).
  void PolyBezier(const QPolygonF& points);
  void PolyBezierTo(const QPolygonF& points);
  // Point types U_PT_MOVETO, U_PT_LINETO, U_PT_BEZIERTO, with U_PT_CLOSEFIGURE added.
  void PolyDraw(const QPolygonF& points, std::span<const uint8_t> types);
  void PolyPolygon(const std::vector<QPolygonF>& polygons);
  void PolyPolyline(const std::vector<QPolygonF>& polylines);
  void Rectangle(const QRectF& box);
  void RoundRect(const QRectF& box, QSizeF corner);
  void Ellipse(const QRectF& box);
  enum class TArcKind { Arc, ArcTo, Chord, Pie };
  // The part of the ellipse in `box` from the ray through `start` to the ray through `end`, in
  // the arc direction (counter-clockwise unless set otherwise); equal rays: the whole ellipse.
  void ArcFigure(TArcKind kind, const QRectF& box, QPointF start, QPointF end);
  // A line from the current position to the start of the circle's arc, then the arc; angles in
  // degrees, counter-clockwise.
  void AngleArc(QPointF centre, double radius, double startAngle, double sweepAngle);
  void SetPixel(QPointF p, QRgb color);
  // Regions (rectangles in logical units): filled with `brush`, with the current brush, or
  // inverted.
  void FillRegion(std::span<const QRectF> logical, const TRVMetaBrush& brush);
  void PaintRegion(std::span<const QRectF> logical) { FillRegion(logical, state_.Brush); }
  void InvertRegion(std::span<const QRectF> logical);

  // ---- paths
  void BeginPath();
  void EndPath();
  void CloseFigure();
  void AbortPath();
  void WidenPath();
  void FillPath();
  void StrokePath();
  void StrokeAndFillPath();
  void SelectClipPath(uint32_t mode);

  // ---- clipping (modes U_RGN_AND, U_RGN_OR, U_RGN_XOR, U_RGN_DIFF, U_RGN_COPY)
  void IntersectClipRect(const QRectF& logical);
  void ExcludeClipRect(const QRectF& logical);
  // Moves the clip region by a logical offset.
  void OffsetClip(QPointF logical);
  // Combines `target` (pixels of the picture; none with U_RGN_COPY: no clipping) with the clip.
  void SelectClipRegion(const std::optional<QRegion>& target, uint32_t mode);
  // Rectangles of the reference device, or a region in logical units, in target pixels.
  QRegion ReferenceRegion(std::span<const QRectF> rects) const;
  QRegion LogicalRegion(const QRegion& logical) const;

  // ---- pictures: `src` (pixels of the image, top-down) drawn over the logical rectangle
  // `dest` (negative sizes mirror) with a ternary raster operation; operations without a source
  // (pattern, destination, black, white) fill `dest` and need no image.
  void StretchImage(const QRectF& dest, const QImage& image, const QRectF& src, uint32_t rop);
  // Whether the logical rectangle shows on the picture (within the mapping's reach).
  bool Visible(const QRectF& logical) const;
  void PatBlt(const QRectF& dest, uint32_t rop);

  // Counts `pixels` of a bitmap about to be decoded against kMaxDibWork; false (nothing counted)
  // when they would exceed it.
  bool SpendDibPixels(int64_t pixels);

  // ---- text: at `reference` (or the current position with U_TA_UPDATECP) aligned by the
  // text alignment, in the font, text colour and background mode; `dx` the logical advance of
  // each character (empty: the font's); `rect` the opaque or clipping rectangle of
  // U_ETO_OPAQUE and U_ETO_CLIPPED.
  void Text(QPointF reference, const QString& text, std::span<const double> dx, uint32_t options,
            const std::optional<QRectF>& rect);

 private:
  QTransform PageTransform() const;
  bool PathFull(size_t more);
  void AddToPath(const QPainterPath& logical, bool continueFigure);
  void Figure(const QPainterPath& outline, bool fill);
  void Paint(const QPainterPath& logical, bool fill, bool stroke);
  void PaintTarget(const QPainterPath& target, bool fill, bool stroke);
  bool BeginDraw(const QTransform& t, const QRectF& logicalBounds, double margin);
  bool PenMode(QColor& color);
  // The pen for logical units of `unit` (1, or more for a pen wider than Qt takes, 2^16).
  QPen MakePen(const QTransform& t, double& unit) const;
  void FillWithBrush(const QPainterPath& path, const TRVMetaBrush& brush, const QTransform& t);
  void ApplyClip();
  void CombineClip(const QRegion& region, uint32_t mode);
  // The target with a margin: clip regions are made only there.
  QRectF Bound() const { return QRectF(target_).adjusted(-2, -2, 2, 2); }
  // The pixels of the picture a logical rectangle covers.
  QRegion TargetRegion(const QRectF& logical) const;
  bool DrawTextRun(const QString& text, std::span<const double> dx, QPointF anchor, const QTransform& t);

  QPainter& painter_;
  QRect target_;
  QRegion base_;  // the target rectangle within the painter's own clip
  QTransform outer_;
  QPointF unitsPerMm_;
  TRVMetaState state_;
  std::vector<TRVMetaState> saved_;
  // The clip region the painter holds, to set it again only when it changed.
  std::optional<QRegion> appliedClip_;
  bool clipApplied_ = false;
  int64_t dibWork_ = 0;
};

}  // namespace rv

// Enhanced metafile records that draw figures, build paths and set the clip region.
#include <uemf.h>

#include <vector>

#include "rastova/io/metafile/RVEmfPlayer.h"
#include "rastova/io/metafile/RVMetaDC.h"

namespace rv {

namespace {

QRectF Box(const U_RECTL& r) { return QRectF(EmfPoint(r.left, r.top), EmfPoint(r.right, r.bottom)); }

// `count` points of 32 bits (8 bytes) or 16 bits (4 bytes) each from `offset`; empty when they
// do not fit the record or exceed the limit of a figure.
QPolygonF Points(const TRVMetaRecord& r, uint64_t offset, uint64_t count, bool small) {
  const uint64_t item = small ? 4 : 8;
  if (count > kMaxPathPoints || !r.HasArray(offset, count, item)) return {};
  QPolygonF points;
  points.reserve(qsizetype(count));
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t at = offset + i * item;
    points << (small ? EmfPoint(r.I16(at), r.I16(at + 2)) : EmfPoint(r.I32(at), r.I32(at + 4)));
  }
  return points;
}

// The points of the single-figure records (U_EMRPOLYLINE and its kin, 32- and 16-bit): the
// count at 24, the points from 28.
QPolygonF FigurePoints(const TRVMetaRecord& r, bool small) {
  if (!r.Has(24, 4)) return {};
  return Points(r, 28, r.U32(24), small);
}

template <bool Small>
void Polyline(TRVEmfPlay& p, const TRVMetaRecord& r) {
  p.DC.Polyline(FigurePoints(r, Small));
}
template <bool Small>
void PolylineTo(TRVEmfPlay& p, const TRVMetaRecord& r) {
  p.DC.PolylineTo(FigurePoints(r, Small));
}
template <bool Small>
void PolyBezier(TRVEmfPlay& p, const TRVMetaRecord& r) {
  p.DC.PolyBezier(FigurePoints(r, Small));
}
template <bool Small>
void PolyBezierTo(TRVEmfPlay& p, const TRVMetaRecord& r) {
  p.DC.PolyBezierTo(FigurePoints(r, Small));
}
template <bool Small>
void Polygon(TRVEmfPlay& p, const TRVMetaRecord& r) {
  const QPolygonF points = FigurePoints(r, Small);
  if (points.size() >= 2) p.DC.PolyPolygon({points});
}

// The figures of U_EMRPOLYPOLYLINE and its kin: the figure count at 24, the point count at 28,
// the figures' point counts from 32, then the points. The counts must add up to no more than
// the points.
template <bool Small>
std::vector<QPolygonF> Figures(const TRVMetaRecord& r) {
  if (!r.Has(24, 8)) return {};
  const uint32_t figures = r.U32(24), count = r.U32(28);
  if (!r.HasArray(32, figures, 4)) return {};
  const uint64_t pointsAt = 32 + uint64_t(figures) * 4;
  const QPolygonF points = Points(r, pointsAt, count, Small);
  if (points.size() != qsizetype(count)) return {};
  std::vector<QPolygonF> out;
  uint64_t used = 0;
  for (uint32_t i = 0; i < figures; ++i) {
    const uint32_t n = r.U32(32 + uint64_t(i) * 4);
    if (n > count - used) return {};
    out.push_back(points.mid(qsizetype(used), qsizetype(n)));
    used += n;
  }
  return out;
}

template <bool Small>
void PolyPolyline(TRVEmfPlay& p, const TRVMetaRecord& r) {
  p.DC.PolyPolyline(Figures<Small>(r));
}
template <bool Small>
void PolyPolygon(TRVEmfPlay& p, const TRVMetaRecord& r) {
  p.DC.PolyPolygon(Figures<Small>(r));
}

// U_EMRPOLYDRAW: the count at 24, the points from 28, a type byte for each point after them.
template <bool Small>
void PolyDraw(TRVEmfPlay& p, const TRVMetaRecord& r) {
  const QPolygonF points = FigurePoints(r, Small);
  if (points.empty()) return;
  const uint64_t typesAt = 28 + uint64_t(points.size()) * (Small ? 4 : 8);
  if (!r.HasArray(typesAt, uint64_t(points.size()), 1)) return;
  p.DC.PolyDraw(points, std::span<const uint8_t>(r.Data() + typesAt, size_t(points.size())));
}

void LineTo(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRLINETO rec;
  if (r.Copy(0, rec)) p.DC.LineTo(EmfPoint(rec.ptl.x, rec.ptl.y));
}
void Rectangle(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRRECTANGLE rec;
  if (r.Copy(0, rec)) p.DC.Rectangle(Box(rec.rclBox));
}
void Ellipse(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRELLIPSE rec;
  if (r.Copy(0, rec)) p.DC.Ellipse(Box(rec.rclBox));
}
void RoundRect(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRROUNDRECT rec;
  if (r.Copy(0, rec)) p.DC.RoundRect(Box(rec.rclBox), QSizeF(rec.szlCorner.cx, rec.szlCorner.cy));
}
template <TRVMetaDC::TArcKind Kind>
void ArcFigure(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRARC rec;  // the layout of the chord, pie and arc-to records too
  if (r.Copy(0, rec))
    p.DC.ArcFigure(Kind, Box(rec.rclBox), EmfPoint(rec.ptlStart.x, rec.ptlStart.y),
                   EmfPoint(rec.ptlEnd.x, rec.ptlEnd.y));
}
void AngleArc(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRANGLEARC rec;
  if (r.Copy(0, rec))
    p.DC.AngleArc(EmfPoint(rec.ptlCenter.x, rec.ptlCenter.y), rec.nRadius, rec.eStartAngle, rec.eSweepAngle);
}
void SetPixel(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETPIXELV rec;
  if (r.Copy(0, rec)) p.DC.SetPixel(EmfPoint(rec.ptlPixel.x, rec.ptlPixel.y), EmfColour(rec.crColor));
}

// ---------------------------------------------------------------- paths

void BeginPath(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.BeginPath(); }
void EndPath(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.EndPath(); }
void CloseFigure(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.CloseFigure(); }
void AbortPath(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.AbortPath(); }
void WidenPath(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.WidenPath(); }
void FillPath(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.FillPath(); }
void StrokePath(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.StrokePath(); }
void StrokeAndFillPath(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.StrokeAndFillPath(); }
void SelectClipPath(TRVEmfPlay& p, const TRVMetaRecord& r) {
  if (r.Has(8, 4)) p.DC.SelectClipPath(r.U32(8));
}

// ---------------------------------------------------------------- clipping and regions

void IntersectClipRect(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRINTERSECTCLIPRECT rec;
  if (r.Copy(0, rec)) p.DC.IntersectClipRect(Box(rec.rclClip));
}
void ExcludeClipRect(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMREXCLUDECLIPRECT rec;
  if (r.Copy(0, rec)) p.DC.ExcludeClipRect(Box(rec.rclClip));
}
void OffsetClip(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMROFFSETCLIPRGN rec;
  if (r.Copy(0, rec)) p.DC.OffsetClip(EmfPoint(rec.ptlOffset.x, rec.ptlOffset.y));
}

// The rectangles of a region's data (a 32-byte header with the count at 8, then 16 bytes a
// rectangle) of `bytes` bytes at `offset`; false when they do not fit.
bool RegionRects(const TRVMetaRecord& r, uint64_t offset, uint64_t bytes, std::vector<QRectF>& rects) {
  const TRVMetaRecord data = r.Sub(offset, bytes);
  if (!data.Has(0, U_SIZE_RGNDATAHEADER)) return false;
  const uint32_t count = data.U32(8);
  if (count > kMaxRegionRects || !data.HasArray(U_SIZE_RGNDATAHEADER, count, 16)) return false;
  rects.clear();
  rects.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = U_SIZE_RGNDATAHEADER + uint64_t(i) * 16;
    const int32_t left = data.I32(at), top = data.I32(at + 4), right = data.I32(at + 8),
                  bottom = data.I32(at + 12);
    // Right and bottom lie outside the rectangle.
    if (right > left && bottom > top)
      rects.emplace_back(QPoint(left, top),
                         QPoint(int32_t(int64_t(right) - 1), int32_t(int64_t(bottom) - 1)));
  }
  return true;
}

void ExtSelectClipRgn(TRVEmfPlay& p, const TRVMetaRecord& r) {
  if (!r.Has(8, 8)) return;
  const uint32_t bytes = r.U32(8), mode = r.U32(12);
  if (bytes == 0) {
    p.DC.SelectClipRegion(std::nullopt, mode);
    return;
  }
  std::vector<QRectF> rects;
  // Rectangles of the recording device.
  if (RegionRects(r, 16, bytes, rects)) p.DC.SelectClipRegion(p.DC.ReferenceRegion(rects), mode);
}

void FillRgn(TRVEmfPlay& p, const TRVMetaRecord& r) {
  if (!r.Has(24, 8)) return;
  std::vector<QRectF> rects;
  if (!RegionRects(r, 32, r.U32(24), rects)) return;
  const uint32_t index = r.U32(28);
  std::optional<TRVMetaObject> stock;
  const TRVMetaObject* object = nullptr;
  if (index & U_STOCK_OBJECT) {
    stock = StockObject(index);
    if (stock) object = &*stock;
  } else {
    object = p.Objects.Find(index);
  }
  const TRVMetaBrush* brush = object ? std::get_if<TRVMetaBrush>(object) : nullptr;
  if (brush) p.DC.FillRegion(rects, *brush);
}

void PaintRgn(TRVEmfPlay& p, const TRVMetaRecord& r) {
  std::vector<QRectF> rects;
  if (r.Has(24, 4) && RegionRects(r, 28, r.U32(24), rects)) p.DC.PaintRegion(rects);
}

void InvertRgn(TRVEmfPlay& p, const TRVMetaRecord& r) {
  std::vector<QRectF> rects;
  if (r.Has(24, 4) && RegionRects(r, 28, r.U32(24), rects)) p.DC.InvertRegion(rects);
}

}  // namespace

void AddEmfDrawingHandlers(TRVEmfHandlers& h) {
  using K = TRVMetaDC::TArcKind;
  h[U_EMR_POLYLINE] = Polyline<false>;
  h[U_EMR_POLYLINE16] = Polyline<true>;
  h[U_EMR_POLYLINETO] = PolylineTo<false>;
  h[U_EMR_POLYLINETO16] = PolylineTo<true>;
  h[U_EMR_POLYBEZIER] = PolyBezier<false>;
  h[U_EMR_POLYBEZIER16] = PolyBezier<true>;
  h[U_EMR_POLYBEZIERTO] = PolyBezierTo<false>;
  h[U_EMR_POLYBEZIERTO16] = PolyBezierTo<true>;
  h[U_EMR_POLYGON] = Polygon<false>;
  h[U_EMR_POLYGON16] = Polygon<true>;
  h[U_EMR_POLYPOLYLINE] = PolyPolyline<false>;
  h[U_EMR_POLYPOLYLINE16] = PolyPolyline<true>;
  h[U_EMR_POLYPOLYGON] = PolyPolygon<false>;
  h[U_EMR_POLYPOLYGON16] = PolyPolygon<true>;
  h[U_EMR_POLYDRAW] = PolyDraw<false>;
  h[U_EMR_POLYDRAW16] = PolyDraw<true>;
  h[U_EMR_LINETO] = LineTo;
  h[U_EMR_RECTANGLE] = Rectangle;
  h[U_EMR_ELLIPSE] = Ellipse;
  h[U_EMR_ROUNDRECT] = RoundRect;
  h[U_EMR_ARC] = ArcFigure<K::Arc>;
  h[U_EMR_ARCTO] = ArcFigure<K::ArcTo>;
  h[U_EMR_CHORD] = ArcFigure<K::Chord>;
  h[U_EMR_PIE] = ArcFigure<K::Pie>;
  h[U_EMR_ANGLEARC] = AngleArc;
  h[U_EMR_SETPIXELV] = SetPixel;
  h[U_EMR_BEGINPATH] = BeginPath;
  h[U_EMR_ENDPATH] = EndPath;
  h[U_EMR_CLOSEFIGURE] = CloseFigure;
  h[U_EMR_ABORTPATH] = AbortPath;
  h[U_EMR_WIDENPATH] = WidenPath;
  h[U_EMR_FILLPATH] = FillPath;
  h[U_EMR_STROKEPATH] = StrokePath;
  h[U_EMR_STROKEANDFILLPATH] = StrokeAndFillPath;
  h[U_EMR_SELECTCLIPPATH] = SelectClipPath;
  h[U_EMR_INTERSECTCLIPRECT] = IntersectClipRect;
  h[U_EMR_EXCLUDECLIPRECT] = ExcludeClipRect;
  h[U_EMR_OFFSETCLIPRGN] = OffsetClip;
  h[U_EMR_EXTSELECTCLIPRGN] = ExtSelectClipRgn;
  h[U_EMR_FILLRGN] = FillRgn;
  h[U_EMR_PAINTRGN] = PaintRgn;
  h[U_EMR_INVERTRGN] = InvertRgn;
}

}  // namespace rv

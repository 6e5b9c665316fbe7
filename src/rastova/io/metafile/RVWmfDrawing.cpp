// Windows metafile records that draw figures, regions, bitmaps and text, and that set the clip
// region. Parameters are stored last first: a rectangle as bottom, right, top, left.
#include <uwmf.h>

#include <string>
#include <vector>

#include "common/CodePage.h"
#include "rastova/io/metafile/RVMetaDC.h"
#include "rastova/io/metafile/RVMetaDib.h"
#include "rastova/io/metafile/RVWmfPlayer.h"

namespace rv {

namespace {

// Bottom, right, top, left from parameter i.
QRectF Box(const TRVMetaRecord& r, uint32_t i) {
  return QRectF(QPointF(WmfParam(r, i + 3), WmfParam(r, i + 2)), QPointF(WmfParam(r, i + 1), WmfParam(r, i)));
}

// Height, width, y, x from parameter i.
QRectF Sized(const TRVMetaRecord& r, uint32_t i) {
  return QRectF(QPointF(WmfParam(r, i + 3), WmfParam(r, i + 2)), QSizeF(WmfParam(r, i + 1), WmfParam(r, i)));
}

// `count` points (x, y of 16 bits) from byte `at`; empty when they do not fit.
QPolygonF Points(const TRVMetaRecord& r, uint64_t at, uint64_t count) {
  if (!r.HasArray(at, count, 4)) return {};
  QPolygonF points;
  points.reserve(qsizetype(count));
  for (uint64_t i = 0; i < count; ++i) points << QPointF(r.I16(at + 4 * i), r.I16(at + 4 * i + 2));
  return points;
}

void LineTo(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.LineTo(WmfPoint(r, 0));
}
void Rectangle(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 4)) p.DC.Rectangle(Box(r, 0));
}
void Ellipse(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 4)) p.DC.Ellipse(Box(r, 0));
}
void RoundRect(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 6)) p.DC.RoundRect(Box(r, 2), QSizeF(WmfParam(r, 1), WmfParam(r, 0)));
}
// End y, x; start y, x; the box.
template <TRVMetaDC::TArcKind Kind>
void ArcFigure(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 8)) p.DC.ArcFigure(Kind, Box(r, 4), WmfPoint(r, 2), WmfPoint(r, 0));
}
void SetPixel(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 4)) p.DC.SetPixel(WmfPoint(r, 2), WmfColour(r, 6));
}
template <bool Closed>
void Poly(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 1)) return;
  const QPolygonF points = Points(r, 8, uint16_t(WmfParam(r, 0)));
  if (Closed && points.size() >= 2)
    p.DC.PolyPolygon({points});
  else if (!Closed)
    p.DC.Polyline(points);
}
// The polygon count, the point count of each, then all points.
void PolyPolygon(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 1)) return;
  const uint16_t polygons = uint16_t(WmfParam(r, 0));
  if (!r.HasArray(8, polygons, 2)) return;
  uint64_t at = 8 + 2 * uint64_t(polygons);
  std::vector<QPolygonF> figures;
  for (uint16_t i = 0; i < polygons; ++i) {
    const uint16_t n = r.U16(8 + 2 * uint64_t(i));
    QPolygonF points = Points(r, at, n);
    if (points.size() != n) return;
    figures.push_back(std::move(points));
    at += 4 * uint64_t(n);
  }
  p.DC.PolyPolygon(figures);
}

// ---------------------------------------------------------------- clipping and regions

void IntersectClipRect(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 4)) p.DC.IntersectClipRect(Box(r, 0));
}
void ExcludeClipRect(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 4)) p.DC.ExcludeClipRect(Box(r, 0));
}
void OffsetClip(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.OffsetClip(WmfPoint(r, 0));
}

// A region object's rectangles (16-bit values, so in range).
std::vector<QRectF> Rects(const TRVMetaRegion& region) {
  std::vector<QRectF> rects;
  for (const QRect& r : region.Logical) rects.emplace_back(r);
  return rects;
}

const TRVMetaRegion* RegionObject(TRVWmfPlay& p, const TRVMetaRecord& r, uint32_t param) {
  const TRVMetaObject* object = p.Objects.Find(uint16_t(WmfParam(r, param)));
  return object ? std::get_if<TRVMetaRegion>(object) : nullptr;
}

void SelectClipRegion(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 1)) return;
  // An index that names no region takes the clip region away.
  const TRVMetaRegion* region = RegionObject(p, r, 0);
  p.DC.SelectClipRegion(region ? std::optional<QRegion>(p.DC.LogicalRegion(region->Logical)) : std::nullopt,
                        U_RGN_COPY);
}
// Region, brush.
void FillRegion(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 2)) return;
  const TRVMetaRegion* region = RegionObject(p, r, 0);
  const TRVMetaObject* object = p.Objects.Find(uint16_t(WmfParam(r, 1)));
  const TRVMetaBrush* brush = object ? std::get_if<TRVMetaBrush>(object) : nullptr;
  if (region && brush) p.DC.FillRegion(Rects(*region), *brush);
}
void PaintRegion(TRVWmfPlay& p, const TRVMetaRecord& r) {
  const TRVMetaRegion* region = WmfHasParams(r, 1) ? RegionObject(p, r, 0) : nullptr;
  if (region) p.DC.PaintRegion(Rects(*region));
}
void InvertRegion(TRVWmfPlay& p, const TRVMetaRecord& r) {
  const TRVMetaRegion* region = WmfHasParams(r, 1) ? RegionObject(p, r, 0) : nullptr;
  if (region) p.DC.InvertRegion(Rects(*region));
}

// ---------------------------------------------------------------- bitmaps

// Whether a block transfer record carries a bitmap: one without has exactly the words its
// function's high byte counts, plus 3.
bool HasBitmap(const TRVMetaRecord& r) { return r.U32(0) != uint32_t(r.U16(4) >> 8) + 3; }
uint32_t Rop(const TRVMetaRecord& r) { return r.U32(6); }
// The packed bitmap from byte `at` to the record's end.
TRVMetaRecord Packed(const TRVMetaRecord& r, uint64_t at) {
  return r.Sub(at, r.Size() > at ? r.Size() - at : 0);
}
const TRVMetaRecord kNone(nullptr, 0);

void PatBlt(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 6)) p.DC.PatBlt(Sized(r, 2), Rop(r));
}

// Without a bitmap the old and the new bit blits have one layout; with one, the old kind holds a
// device-dependent bitmap, which is not drawn.
void BitBlt(TRVWmfPlay& p, const TRVMetaRecord& r, bool dib) {
  if (!HasBitmap(r)) {
    if (WmfHasParams(r, 9)) BltDib(p.DC, kNone, kNone, Sized(r, 5), QRectF(), Rop(r));
    return;
  }
  if (!dib || !WmfHasParams(r, 8)) return;
  const QRectF dest = Sized(r, 4);
  BltDib(p.DC, Packed(r, 22), kNone, dest, QRectF(WmfPoint(r, 2), dest.size()), Rop(r));
}
void OldBitBlt(TRVWmfPlay& p, const TRVMetaRecord& r) { BitBlt(p, r, false); }
void DibBitBlt(TRVWmfPlay& p, const TRVMetaRecord& r) { BitBlt(p, r, true); }

void StretchBlt(TRVWmfPlay& p, const TRVMetaRecord& r, bool dib) {
  if (!HasBitmap(r)) {
    if (WmfHasParams(r, 11)) BltDib(p.DC, kNone, kNone, Sized(r, 7), QRectF(), Rop(r));
    return;
  }
  if (!dib || !WmfHasParams(r, 10)) return;
  BltDib(p.DC, Packed(r, 26), kNone, Sized(r, 6), Sized(r, 2), Rop(r));
}
void OldStretchBlt(TRVWmfPlay& p, const TRVMetaRecord& r) { StretchBlt(p, r, false); }
void DibStretchBlt(TRVWmfPlay& p, const TRVMetaRecord& r) { StretchBlt(p, r, true); }

// Raster operation, colour usage, source height, width, y, x, destination height, width, y, x.
void StretchDib(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 11)) StretchDibits(p.DC, Packed(r, 28), kNone, Sized(r, 7), Sized(r, 3), Rop(r));
}

// Colour usage, scan count, start scan, source y, x, height, width, destination y, x.
void SetDibToDev(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 9)) return;
  const QRectF src(WmfParam(r, 4), WmfParam(r, 3), WmfParam(r, 6), WmfParam(r, 5));
  DibitsToDevice(p.DC, Packed(r, 24), kNone, WmfPoint(r, 7), src, uint16_t(WmfParam(r, 2)),
                 uint16_t(WmfParam(r, 1)));
}

// ---------------------------------------------------------------- text

QString Characters(const TRVMetaRecord& r, uint64_t at, uint64_t count) {
  if (!r.HasArray(at, count, 1)) return QString();
  const std::string bytes(reinterpret_cast<const char*>(r.Data() + at), size_t(count));
  return QString::fromStdString(common::Cp1252ToUtf8(bytes));
}

// The length, the string (padded to an even length), then y and x.
void TextOut(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 1) || WmfParam(r, 0) < 0) return;
  const uint64_t length = uint16_t(WmfParam(r, 0));
  const uint64_t after = 8 + (length + 1) / 2 * 2;
  if (!r.Has(after, 4)) return;
  const QString text = Characters(r, 8, length);
  p.DC.Text(QPointF(r.I16(after + 2), r.I16(after)), text, {}, 0, std::nullopt);
}

// y, x, length, options, the rectangle with the opaque or clipped options, the string (padded
// to an even length), then the advances when the record holds them.
void ExtTextOut(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 4) || WmfParam(r, 2) < 0) return;
  const uint64_t length = uint16_t(WmfParam(r, 2));
  const uint32_t options = uint16_t(WmfParam(r, 3));
  uint64_t at = 14;
  std::optional<QRectF> rect;
  if (options & (U_ETO_OPAQUE | U_ETO_CLIPPED)) {
    if (!r.Has(at, 8)) return;
    rect = QRectF(QPointF(r.I16(at), r.I16(at + 2)), QPointF(r.I16(at + 4), r.I16(at + 6)));
    at += 8;
  }
  const QString text = Characters(r, at, length);
  if (text.isNull() && length > 0) return;
  const uint64_t dxAt = at + (length + 1) / 2 * 2;
  std::vector<double> dx;
  if (length > 0 && r.HasArray(dxAt, length, 2)) {
    dx.reserve(size_t(std::min<uint64_t>(length, kMaxTextChars)));
    for (uint64_t i = 0; i < length && i < kMaxTextChars; ++i) dx.push_back(r.I16(dxAt + 2 * i));
  }
  p.DC.Text(WmfPoint(r, 0), text, dx, options, rect);
}

}  // namespace

void AddWmfDrawingHandlers(TRVWmfHandlers& h) {
  using K = TRVMetaDC::TArcKind;
  h[U_WMR_LINETO] = LineTo;
  h[U_WMR_RECTANGLE] = Rectangle;
  h[U_WMR_ELLIPSE] = Ellipse;
  h[U_WMR_ROUNDRECT] = RoundRect;
  h[U_WMR_ARC] = ArcFigure<K::Arc>;
  h[U_WMR_CHORD] = ArcFigure<K::Chord>;
  h[U_WMR_PIE] = ArcFigure<K::Pie>;
  h[U_WMR_SETPIXEL] = SetPixel;
  h[U_WMR_POLYGON] = Poly<true>;
  h[U_WMR_POLYLINE] = Poly<false>;
  h[U_WMR_POLYPOLYGON] = PolyPolygon;
  h[U_WMR_INTERSECTCLIPRECT] = IntersectClipRect;
  h[U_WMR_EXCLUDECLIPRECT] = ExcludeClipRect;
  h[U_WMR_OFFSETCLIPRGN] = OffsetClip;
  h[U_WMR_SELECTCLIPREGION] = SelectClipRegion;
  h[U_WMR_FILLREGION] = FillRegion;
  h[U_WMR_PAINTREGION] = PaintRegion;
  h[U_WMR_INVERTREGION] = InvertRegion;
}

void AddWmfPictureHandlers(TRVWmfHandlers& h) {
  h[U_WMR_PATBLT] = PatBlt;
  h[U_WMR_BITBLT] = OldBitBlt;
  h[U_WMR_STRETCHBLT] = OldStretchBlt;
  h[U_WMR_DIBBITBLT] = DibBitBlt;
  h[U_WMR_DIBSTRETCHBLT] = DibStretchBlt;
  h[U_WMR_STRETCHDIB] = StretchDib;
  h[U_WMR_SETDIBTODEV] = SetDibToDev;
  h[U_WMR_TEXTOUT] = TextOut;
  h[U_WMR_EXTTEXTOUT] = ExtTextOut;
}

}  // namespace rv

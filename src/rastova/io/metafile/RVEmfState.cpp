// Enhanced metafile records that change the device context: mapping, world transform, colours
// and modes, the state stack, and the objects (pens, brushes, fonts) created, selected and
// deleted through the object table.
#include <uemf.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <memory>

#include "rastova/io/metafile/RVEmfPlayer.h"
#include "rastova/io/metafile/RVMetaDC.h"
#include "rastova/io/metafile/RVMetaDib.h"

namespace rv {

namespace {

QTransform Xform(const U_XFORM& x) { return QTransform(x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy); }

// Records of one 32-bit mode value.
uint32_t Mode(const TRVMetaRecord& r) { return r.U32(8); }

void SetWindowExt(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETWINDOWEXTEX rec;
  if (r.Copy(0, rec)) p.DC.SetWindowExt(EmfPoint(rec.szlExtent.cx, rec.szlExtent.cy));
}
void SetWindowOrg(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETWINDOWORGEX rec;
  if (r.Copy(0, rec)) p.DC.SetWindowOrg(EmfPoint(rec.ptlOrigin.x, rec.ptlOrigin.y));
}
void SetViewportExt(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETVIEWPORTEXTEX rec;
  if (r.Copy(0, rec)) p.DC.SetViewportExt(EmfPoint(rec.szlExtent.cx, rec.szlExtent.cy));
}
void SetViewportOrg(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETVIEWPORTORGEX rec;
  if (r.Copy(0, rec)) p.DC.SetViewportOrg(EmfPoint(rec.ptlOrigin.x, rec.ptlOrigin.y));
}
void SetBrushOrg(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETBRUSHORGEX rec;
  if (r.Copy(0, rec)) p.DC.State().BrushOrg = EmfPoint(rec.ptlOrigin.x, rec.ptlOrigin.y);
}
void ScaleViewportExt(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSCALEVIEWPORTEXTEX rec;
  if (r.Copy(0, rec)) p.DC.ScaleViewportExt(rec.xNum, rec.xDenom, rec.yNum, rec.yDenom);
}
void ScaleWindowExt(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSCALEWINDOWEXTEX rec;
  if (r.Copy(0, rec)) p.DC.ScaleWindowExt(rec.xNum, rec.xDenom, rec.yNum, rec.yDenom);
}

void SetMapMode(TRVEmfPlay& p, const TRVMetaRecord& r) {
  if (r.Has(8, 4)) p.DC.SetMapMode(Mode(r));
}
void SetBkMode(TRVEmfPlay& p, const TRVMetaRecord& r) {
  const uint32_t m = Mode(r);
  if (m == U_TRANSPARENT || m == U_OPAQUE) p.DC.State().BkMode = m;
}
void SetPolyFillMode(TRVEmfPlay& p, const TRVMetaRecord& r) {
  const uint32_t m = Mode(r);
  if (m == U_ALTERNATE || m == U_WINDING) p.DC.State().PolyFillMode = m;
}
void SetRop2(TRVEmfPlay& p, const TRVMetaRecord& r) {
  const uint32_t m = Mode(r);
  if (m >= U_R2_BLACK && m <= U_R2_LAST) p.DC.State().Rop2 = m;
}
void SetStretchBltMode(TRVEmfPlay& p, const TRVMetaRecord& r) {
  const uint32_t m = Mode(r);
  if (m >= U_BLACKONWHITE && m <= U_MAXSTRETCHBLTMODE) p.DC.State().StretchMode = m;
}
void SetTextAlign(TRVEmfPlay& p, const TRVMetaRecord& r) {
  if (r.Has(8, 4)) p.DC.State().TextAlign = Mode(r);
}
void SetArcDirection(TRVEmfPlay& p, const TRVMetaRecord& r) {
  const uint32_t m = Mode(r);
  if (m == U_AD_COUNTERCLOCKWISE || m == U_AD_CLOCKWISE) p.DC.State().ArcDirection = m;
}
void SetMiterLimit(TRVEmfPlay& p, const TRVMetaRecord& r) {
  // Stored as a whole number by most writers; a float by some. Either way from 1 to 1000.
  if (!r.Has(8, 4)) return;
  const uint32_t raw = r.U32(8);
  const float f = r.F32(8);
  const double v = raw < (1u << 16) ? double(raw) : double(f);
  if (std::isfinite(v)) p.DC.State().MiterLimit = std::clamp(v, 1.0, 1000.0);
}
void SetTextColor(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETTEXTCOLOR rec;
  if (r.Copy(0, rec)) p.DC.State().TextColor = EmfColour(rec.crColor);
}
void SetBkColor(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETBKCOLOR rec;
  if (r.Copy(0, rec)) p.DC.State().BkColor = EmfColour(rec.crColor);
}
void MoveTo(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRMOVETOEX rec;
  if (r.Copy(0, rec)) p.DC.MoveTo(EmfPoint(rec.ptl.x, rec.ptl.y));
}
void SaveDC(TRVEmfPlay& p, const TRVMetaRecord&) { p.DC.Save(); }
void RestoreDC(TRVEmfPlay& p, const TRVMetaRecord& r) {
  // Only steps back, as the window system takes them in a metafile.
  U_EMRRESTOREDC rec;
  if (r.Copy(0, rec) && rec.iRelative < 0) p.DC.Restore(rec.iRelative);
}
void SetWorldTransform(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETWORLDTRANSFORM rec;
  if (r.Copy(0, rec)) p.DC.SetWorldTransform(Xform(rec.xform));
}
void ModifyWorldTransform(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRMODIFYWORLDTRANSFORM rec;
  if (r.Copy(0, rec)) p.DC.ModifyWorldTransform(Xform(rec.xform), rec.iMode);
}

// ---------------------------------------------------------------- objects

void SelectRecord(TRVEmfPlay& p, const TRVMetaRecord& r) {
  if (!r.Has(8, 4)) return;
  const uint32_t index = r.U32(8);
  if (index & U_STOCK_OBJECT) {
    if (const std::optional<TRVMetaObject> stock = StockObject(index)) SelectObject(p.DC, *stock);
    return;
  }
  if (const TRVMetaObject* object = p.Objects.Find(index)) SelectObject(p.DC, *object);
}

void DeleteObject(TRVEmfPlay& p, const TRVMetaRecord& r) {
  if (r.Has(8, 4)) p.Objects.Remove(r.U32(8));
}

// An object that takes its index and draws nothing (palettes, colour spaces).
void CreateOther(TRVEmfPlay& p, const TRVMetaRecord& r) {
  if (r.Has(8, 4)) p.Objects.Put(r.U32(8), std::monostate{});
}

void CreatePen(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRCREATEPEN rec;
  if (!r.Copy(0, rec)) return;
  TRVMetaPen pen;
  pen.Style = rec.lopn.lopnStyle & (U_PS_STYLE_MASK | U_PS_ENDCAP_MASK | U_PS_JOIN_MASK);
  // A width of 0 is one pixel; wider pens follow the mapping.
  pen.Geometric = rec.lopn.lopnWidth.x > 0;
  pen.Width = std::abs(double(rec.lopn.lopnWidth.x));
  pen.Color = EmfColour(rec.lopn.lopnColor);
  p.Objects.Put(rec.ihPen, std::move(pen));
}

void ExtCreatePen(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMREXTCREATEPEN rec;
  if (!r.Copy(0, rec, U_SIZE_EMREXTCREATEPEN)) return;
  const U_EXTLOGPEN& e = rec.elp;
  constexpr uint64_t entriesAt = U_SIZE_EMREXTCREATEPEN;
  // At most 16 dash entries, as the window system takes them.
  if (e.elpNumEntries > 16 || !r.HasArray(entriesAt, e.elpNumEntries, 4)) {
    p.Objects.Put(rec.ihPen, std::monostate{});
    return;
  }
  TRVMetaPen pen;
  pen.Style = e.elpPenStyle;
  pen.Geometric = (e.elpPenStyle & U_PS_TYPE_MASK) == U_PS_GEOMETRIC;
  pen.Width = pen.Geometric ? double(e.elpWidth) : 0;
  pen.Color = EmfColour(e.elpColor);
  if (e.elpBrushStyle == U_BS_NULL) pen.Style = (pen.Style & ~uint32_t(U_PS_STYLE_MASK)) | U_PS_NULL;
  for (uint32_t i = 0; i < e.elpNumEntries; ++i) pen.Dashes.push_back(double(r.U32(entriesAt + 4 * i)));
  p.Objects.Put(rec.ihPen, std::move(pen));
}

void CreateBrush(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRCREATEBRUSHINDIRECT rec;
  if (!r.Copy(0, rec)) return;
  TRVMetaBrush brush;
  const uint32_t style = rec.lb.lbStyle;
  brush.Style = style == U_BS_NULL || style == U_BS_HATCHED ? style : U_BS_SOLID;
  brush.Color = EmfColour(rec.lb.lbColor);
  brush.Hatch = rec.lb.lbHatch;
  p.Objects.Put(rec.ihBrush, std::move(brush));
}

// A brush of a bitmap tile: monochrome (bit values, drawn in the text and background colours)
// or in the bitmap's own colours.
void CreatePatternBrush(TRVEmfPlay& p, const TRVMetaRecord& r, bool mono) {
  U_EMRCREATEDIBPATTERNBRUSHPT rec;  // the same layout as U_EMRCREATEMONOBRUSH
  static_assert(sizeof(U_EMRCREATEDIBPATTERNBRUSHPT) == sizeof(U_EMRCREATEMONOBRUSH));
  if (!r.Copy(0, rec)) return;
  const TRVMetaDib dib =
      DecodeMetaDib(p.DC, r.Sub(rec.offBmi, rec.cbBmi), r.Sub(rec.offBits, rec.cbBits), mono);
  if (dib.Image.isNull() || (mono && dib.Image.format() != QImage::Format_Indexed8)) {
    p.Objects.Put(rec.ihBrush, std::monostate{});
    return;
  }
  TRVMetaBrush brush;
  brush.Style = mono ? U_BS_PATTERN : U_BS_DIBPATTERNPT;
  brush.Pattern = std::make_shared<const QImage>(dib.Image);
  if (!p.Objects.Put(rec.ihBrush, std::move(brush))) p.Objects.Put(rec.ihBrush, std::monostate{});
}
void CreateMonoBrush(TRVEmfPlay& p, const TRVMetaRecord& r) { CreatePatternBrush(p, r, true); }
void CreateDibPatternBrush(TRVEmfPlay& p, const TRVMetaRecord& r) { CreatePatternBrush(p, r, false); }

void CreateFont(TRVEmfPlay& p, const TRVMetaRecord& r) {
  // A LOGFONT at least; the larger forms that follow it add nothing drawn here.
  constexpr uint64_t logfontAt = 12;
  U_LOGFONT lf;
  if (!r.Has(8, 4) || !r.Copy(logfontAt, lf)) return;
  TRVMetaFont font;
  font.Height = lf.lfHeight;
  font.Width = lf.lfWidth;
  font.Escapement = lf.lfEscapement;
  font.Weight = lf.lfWeight;
  font.Italic = lf.lfItalic != 0;
  font.Underline = lf.lfUnderline != 0;
  font.StrikeOut = lf.lfStrikeOut != 0;
  font.Quality = lf.lfQuality;
  size_t n = 0;
  while (n < U_LF_FACESIZE && lf.lfFaceName[n] != 0) ++n;
  font.Face = QString::fromUtf16(reinterpret_cast<const char16_t*>(lf.lfFaceName), qsizetype(n));
  p.Objects.Put(r.U32(8), std::move(font));
}

}  // namespace

void AddEmfStateHandlers(TRVEmfHandlers& h) {
  h[U_EMR_SETWINDOWEXTEX] = SetWindowExt;
  h[U_EMR_SETWINDOWORGEX] = SetWindowOrg;
  h[U_EMR_SETVIEWPORTEXTEX] = SetViewportExt;
  h[U_EMR_SETVIEWPORTORGEX] = SetViewportOrg;
  h[U_EMR_SETBRUSHORGEX] = SetBrushOrg;
  h[U_EMR_SCALEVIEWPORTEXTEX] = ScaleViewportExt;
  h[U_EMR_SCALEWINDOWEXTEX] = ScaleWindowExt;
  h[U_EMR_SETMAPMODE] = SetMapMode;
  h[U_EMR_SETBKMODE] = SetBkMode;
  h[U_EMR_SETPOLYFILLMODE] = SetPolyFillMode;
  h[U_EMR_SETROP2] = SetRop2;
  h[U_EMR_SETSTRETCHBLTMODE] = SetStretchBltMode;
  h[U_EMR_SETTEXTALIGN] = SetTextAlign;
  h[U_EMR_SETARCDIRECTION] = SetArcDirection;
  h[U_EMR_SETMITERLIMIT] = SetMiterLimit;
  h[U_EMR_SETTEXTCOLOR] = SetTextColor;
  h[U_EMR_SETBKCOLOR] = SetBkColor;
  h[U_EMR_MOVETOEX] = MoveTo;
  h[U_EMR_SAVEDC] = SaveDC;
  h[U_EMR_RESTOREDC] = RestoreDC;
  h[U_EMR_SETWORLDTRANSFORM] = SetWorldTransform;
  h[U_EMR_MODIFYWORLDTRANSFORM] = ModifyWorldTransform;
}

void AddEmfObjectHandlers(TRVEmfHandlers& h) {
  h[U_EMR_SELECTOBJECT] = SelectRecord;
  h[U_EMR_DELETEOBJECT] = DeleteObject;
  h[U_EMR_CREATEPEN] = CreatePen;
  h[U_EMR_EXTCREATEPEN] = ExtCreatePen;
  h[U_EMR_CREATEBRUSHINDIRECT] = CreateBrush;
  h[U_EMR_CREATEMONOBRUSH] = CreateMonoBrush;
  h[U_EMR_CREATEDIBPATTERNBRUSHPT] = CreateDibPatternBrush;
  h[U_EMR_EXTCREATEFONTINDIRECTW] = CreateFont;
  h[U_EMR_CREATEPALETTE] = CreateOther;
  h[U_EMR_CREATECOLORSPACE] = CreateOther;
  h[U_EMR_CREATECOLORSPACEW] = CreateOther;
  h[U_EMR_DELETECOLORSPACE] = DeleteObject;
}

}  // namespace rv

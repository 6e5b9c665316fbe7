// Windows metafile records that change the device context: mapping, colours and modes, the state
// stack, and the objects (pens, brushes, fonts, regions) created, selected and deleted through
// the object table, each new object in the lowest free index.
#include <uwmf.h>

#include <QImage>
#include <memory>
#include <string>

#include "common/CodePage.h"
#include "rastova/io/metafile/RVMetaDC.h"
#include "rastova/io/metafile/RVMetaDib.h"
#include "rastova/io/metafile/RVWmfPlayer.h"

namespace rv {

namespace {

uint16_t Mode(const TRVMetaRecord& r) { return static_cast<uint16_t>(WmfParam(r, 0)); }

void SetBkColor(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.State().BkColor = WmfColour(r, 6);
}
void SetTextColor(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.State().TextColor = WmfColour(r, 6);
}
void SetBkMode(TRVWmfPlay& p, const TRVMetaRecord& r) {
  const uint16_t m = Mode(r);
  if (m == U_TRANSPARENT || m == U_OPAQUE) p.DC.State().BkMode = m;
}
void SetMapMode(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 1)) p.DC.SetMapMode(Mode(r));
}
void SetRop2(TRVWmfPlay& p, const TRVMetaRecord& r) {
  const uint16_t m = Mode(r);
  if (m >= U_R2_BLACK && m <= U_R2_LAST) p.DC.State().Rop2 = m;
}
void SetPolyFillMode(TRVWmfPlay& p, const TRVMetaRecord& r) {
  const uint16_t m = Mode(r);
  if (m == U_ALTERNATE || m == U_WINDING) p.DC.State().PolyFillMode = m;
}
void SetStretchBltMode(TRVWmfPlay& p, const TRVMetaRecord& r) {
  const uint16_t m = Mode(r);
  if (m >= U_BLACKONWHITE && m <= U_MAXSTRETCHBLTMODE) p.DC.State().StretchMode = m;
}
void SetTextAlign(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 1)) p.DC.State().TextAlign = Mode(r);
}
void SetWindowOrg(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.SetWindowOrg(WmfPoint(r, 0));
}
void SetWindowExt(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.SetWindowExt(WmfPoint(r, 0));
}
void SetViewportOrg(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.SetViewportOrg(WmfPoint(r, 0));
}
void SetViewportExt(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.SetViewportExt(WmfPoint(r, 0));
}
void OffsetWindowOrg(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.SetWindowOrg(p.DC.State().WindowOrg + WmfPoint(r, 0));
}
void OffsetViewportOrg(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.SetViewportOrg(p.DC.State().ViewportOrg + WmfPoint(r, 0));
}
// y denominator, y numerator, x denominator, x numerator.
void ScaleWindowExt(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 4)) p.DC.ScaleWindowExt(WmfParam(r, 3), WmfParam(r, 2), WmfParam(r, 1), WmfParam(r, 0));
}
void ScaleViewportExt(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 4))
    p.DC.ScaleViewportExt(WmfParam(r, 3), WmfParam(r, 2), WmfParam(r, 1), WmfParam(r, 0));
}
void MoveTo(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 2)) p.DC.MoveTo(WmfPoint(r, 0));
}
void SaveDC(TRVWmfPlay& p, const TRVMetaRecord&) { p.DC.Save(); }
void RestoreDC(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 1)) p.DC.Restore(WmfParam(r, 0));
}

// ---------------------------------------------------------------- objects

// An object that takes its index and draws nothing (palettes, old bitmaps and pattern brushes).
void CreateOther(TRVWmfPlay& p, const TRVMetaRecord&) { p.Objects.Add(std::monostate{}); }

// A new object, or a placeholder when it is refused, so that later indices stay right.
void Create(TRVWmfPlay& p, TRVMetaObject object) {
  if (!p.Objects.Add(std::move(object))) p.Objects.Add(std::monostate{});
}

void SelectObject(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 1)) return;
  if (const TRVMetaObject* object = p.Objects.Find(uint16_t(WmfParam(r, 0)))) rv::SelectObject(p.DC, *object);
}

void DeleteObject(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (WmfHasParams(r, 1)) p.Objects.Remove(uint16_t(WmfParam(r, 0)));
}

// Style, width (x; y unused), colour.
void CreatePen(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 5)) return CreateOther(p, r);
  TRVMetaPen pen;
  pen.Style = uint16_t(WmfParam(r, 0)) & (U_PS_STYLE_MASK | U_PS_ENDCAP_MASK | U_PS_JOIN_MASK);
  pen.Geometric = WmfParam(r, 1) > 0;
  pen.Width = std::abs(double(WmfParam(r, 1)));
  pen.Color = WmfColour(r, 12);
  Create(p, std::move(pen));
}

// Style, colour, hatch.
void CreateBrush(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!WmfHasParams(r, 4)) return CreateOther(p, r);
  TRVMetaBrush brush;
  const uint16_t style = uint16_t(WmfParam(r, 0));
  brush.Style = style == U_BS_NULL || style == U_BS_HATCHED ? style : U_BS_SOLID;
  brush.Color = WmfColour(r, 8);
  brush.Hatch = uint16_t(WmfParam(r, 3));
  Create(p, std::move(brush));
}

// Style, colour usage, then a packed bitmap.
void CreateDibPatternBrush(TRVWmfPlay& p, const TRVMetaRecord& r) {
  const TRVMetaDib dib =
      DecodeMetaDib(p.DC, r.Sub(10, r.Size() > 10 ? r.Size() - 10 : 0), TRVMetaRecord(nullptr, 0), false);
  if (dib.Image.isNull()) return CreateOther(p, r);
  TRVMetaBrush brush;
  brush.Style = U_BS_DIBPATTERNPT;
  brush.Pattern = std::make_shared<const QImage>(dib.Image);
  Create(p, std::move(brush));
}

// Height, width, escapement, orientation, weight, then bytes: italic, underline, strike-out,
// character set, precisions, quality, pitch and family, and the face name (at most 32 bytes).
void CreateFont(TRVWmfPlay& p, const TRVMetaRecord& r) {
  if (!r.Has(6, 18)) return CreateOther(p, r);
  TRVMetaFont font;
  font.Height = WmfParam(r, 0);
  font.Width = WmfParam(r, 1);
  font.Escapement = WmfParam(r, 2);
  font.Weight = WmfParam(r, 4);
  font.Italic = r.U8(16) != 0;
  font.Underline = r.U8(17) != 0;
  font.StrikeOut = r.U8(18) != 0;
  font.Quality = r.U8(22);
  std::string face;
  for (uint64_t at = 24; at < 24 + 32 && r.Has(at, 1) && r.U8(at) != 0; ++at) face.push_back(char(r.U8(at)));
  font.Face = QString::fromStdString(common::Cp1252ToUtf8(face));
  Create(p, std::move(font));
}

// A region: a 22-byte head (the scan count at 10), then scans of a count, top, bottom, count
// left and right values, and the count again.
void CreateRegion(TRVWmfPlay& p, const TRVMetaRecord& r) {
  const TRVMetaRecord region = r.Sub(6, r.Size() > 6 ? r.Size() - 6 : 0);
  if (!region.Has(0, 22)) return CreateOther(p, r);
  const uint16_t scans = region.U16(10);
  std::vector<QRect> rects;
  uint64_t at = 22;
  for (uint16_t s = 0; s < scans; ++s) {
    const uint16_t count = region.U16(at);
    if (!region.Has(at, 8 + 2 * uint64_t(count)) || count % 2 || rects.size() + count / 2 > kMaxRegionRects)
      return CreateOther(p, r);
    const int top = region.I16(at + 2), bottom = region.I16(at + 4);
    for (uint16_t i = 0; i + 1 < count; i += 2) {
      const int left = region.I16(at + 6 + 2 * uint64_t(i)), right = region.I16(at + 8 + 2 * uint64_t(i));
      if (right > left && bottom > top) rects.emplace_back(QPoint(left, top), QPoint(right - 1, bottom - 1));
    }
    at += 8 + 2 * uint64_t(count);
  }
  Create(p, TRVMetaRegion{UniteRects(rects)});
}

}  // namespace

void AddWmfStateHandlers(TRVWmfHandlers& h) {
  h[U_WMR_SETBKCOLOR] = SetBkColor;
  h[U_WMR_SETTEXTCOLOR] = SetTextColor;
  h[U_WMR_SETBKMODE] = SetBkMode;
  h[U_WMR_SETMAPMODE] = SetMapMode;
  h[U_WMR_SETROP2] = SetRop2;
  h[U_WMR_SETPOLYFILLMODE] = SetPolyFillMode;
  h[U_WMR_SETSTRETCHBLTMODE] = SetStretchBltMode;
  h[U_WMR_SETTEXTALIGN] = SetTextAlign;
  h[U_WMR_SETWINDOWORG] = SetWindowOrg;
  h[U_WMR_SETWINDOWEXT] = SetWindowExt;
  h[U_WMR_SETVIEWPORTORG] = SetViewportOrg;
  h[U_WMR_SETVIEWPORTEXT] = SetViewportExt;
  h[U_WMR_OFFSETWINDOWORG] = OffsetWindowOrg;
  h[U_WMR_OFFSETVIEWPORTORG] = OffsetViewportOrg;
  h[U_WMR_SCALEWINDOWEXT] = ScaleWindowExt;
  h[U_WMR_SCALEVIEWPORTEXT] = ScaleViewportExt;
  h[U_WMR_MOVETO] = MoveTo;
  h[U_WMR_SAVEDC] = SaveDC;
  h[U_WMR_RESTOREDC] = RestoreDC;
}

void AddWmfObjectHandlers(TRVWmfHandlers& h) {
  h[U_WMR_SELECTOBJECT] = SelectObject;
  h[U_WMR_DELETEOBJECT] = DeleteObject;
  h[U_WMR_CREATEPENINDIRECT] = CreatePen;
  h[U_WMR_CREATEBRUSHINDIRECT] = CreateBrush;
  h[U_WMR_DIBCREATEPATTERNBRUSH] = CreateDibPatternBrush;
  h[U_WMR_CREATEFONTINDIRECT] = CreateFont;
  h[U_WMR_CREATEREGION] = CreateRegion;
  h[U_WMR_CREATEPALETTE] = CreateOther;
  h[U_WMR_CREATEPATTERNBRUSH] = CreateOther;
  h[U_WMR_CREATEBITMAPINDIRECT] = CreateOther;
  h[U_WMR_CREATEBITMAP] = CreateOther;
}

}  // namespace rv

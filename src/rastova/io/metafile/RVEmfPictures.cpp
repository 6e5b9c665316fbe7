// Enhanced metafile records that draw bitmaps (bit and stretch blits, stretched device-independent
// bitmaps, bitmaps set to the device) and text (in both encodings).
#include <uemf.h>

#include <string>
#include <vector>

#include "common/CodePage.h"
#include "rastova/io/metafile/RVEmfPlayer.h"
#include "rastova/io/metafile/RVMetaDC.h"
#include "rastova/io/metafile/RVMetaDib.h"

namespace rv {

namespace {

static_assert(sizeof(U_EMRBITBLT) == 100 && sizeof(U_EMRSTRETCHBLT) == 108);
static_assert(sizeof(U_EMRSETDIBITSTODEVICE) == 76 && sizeof(U_EMRSTRETCHDIBITS) == 80);
static_assert(sizeof(U_EMREXTTEXTOUTW) == 56 && sizeof(U_EMRSMALLTEXTOUT) == 36);

QRectF Sized(const U_POINTL& at, const U_POINTL& size) {
  return QRectF(EmfPoint(at.x, at.y), QSizeF(double(size.x), double(size.y)));
}

void BitBlt(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRBITBLT rec;
  if (!r.Copy(0, rec)) return;
  const QRectF dest = Sized(rec.Dest, rec.cDest);
  if (rec.cbBmiSrc == 0) {
    p.DC.PatBlt(dest, rec.dwRop);
    return;
  }
  BltDib(p.DC, r.Sub(rec.offBmiSrc, rec.cbBmiSrc), r.Sub(rec.offBitsSrc, rec.cbBitsSrc), dest,
         Sized(rec.Src, rec.cDest), rec.dwRop);
}

void StretchBlt(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSTRETCHBLT rec;
  if (!r.Copy(0, rec)) return;
  const QRectF dest = Sized(rec.Dest, rec.cDest);
  if (rec.cbBmiSrc == 0) {
    p.DC.PatBlt(dest, rec.dwRop);
    return;
  }
  BltDib(p.DC, r.Sub(rec.offBmiSrc, rec.cbBmiSrc), r.Sub(rec.offBitsSrc, rec.cbBitsSrc), dest,
         Sized(rec.Src, rec.cSrc), rec.dwRop);
}

void StretchDIBits(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSTRETCHDIBITS rec;
  if (!r.Copy(0, rec)) return;
  StretchDibits(p.DC, r.Sub(rec.offBmiSrc, rec.cbBmiSrc), r.Sub(rec.offBitsSrc, rec.cbBitsSrc),
                Sized(rec.Dest, rec.cDest), Sized(rec.Src, rec.cSrc), rec.dwRop);
}

void SetDIBitsToDevice(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSETDIBITSTODEVICE rec;
  if (!r.Copy(0, rec)) return;
  const QRectF src(rec.Src.x, rec.Src.y, rec.cSrc.x, rec.cSrc.y);
  DibitsToDevice(p.DC, r.Sub(rec.offBmiSrc, rec.cbBmiSrc), r.Sub(rec.offBitsSrc, rec.cbBitsSrc),
                 EmfPoint(rec.Dest.x, rec.Dest.y), src, rec.iStartScan, rec.cScans);
}

// `count` characters from `offset`: UTF-16, or 8-bit in the Windows-1252 code page. Null when
// they do not fit the record.
QString Characters(const TRVMetaRecord& r, uint64_t offset, uint64_t count, bool wide) {
  if (!r.HasArray(offset, count, wide ? 2 : 1)) return QString();
  if (!wide) {
    const std::string bytes(reinterpret_cast<const char*>(r.Data() + offset), size_t(count));
    return QString::fromStdString(common::Cp1252ToUtf8(bytes));
  }
  std::u16string units(size_t(count), u'\0');
  for (uint64_t i = 0; i < count; ++i) units[size_t(i)] = char16_t(r.U16(offset + 2 * i));
  return QString::fromStdU16String(units);
}

// U_EMREXTTEXTOUTA and U_EMREXTTEXTOUTW: the fixed part, the rectangle unless U_ETO_NO_RECT,
// the offset of the advances; the string and the advances where their offsets say.
void ExtTextOut(TRVEmfPlay& p, const TRVMetaRecord& r, bool wide) {
  U_EMREXTTEXTOUTW rec;
  if (!r.Copy(0, rec)) return;
  const U_EMRTEXT& t = rec.emrtext;
  uint64_t at = sizeof(U_EMREXTTEXTOUTW);
  std::optional<QRectF> rect;
  if (!(t.fOptions & U_ETO_NO_RECT)) {
    if (!r.Has(at, 16)) return;
    rect = QRectF(EmfPoint(r.I32(at), r.I32(at + 4)), EmfPoint(r.I32(at + 8), r.I32(at + 12)));
    at += 16;
  }
  if (!r.Has(at, 4)) return;
  const uint32_t offDx = r.U32(at);
  const QString text = Characters(r, t.offString, t.nChars, wide);
  if (text.isNull() && t.nChars > 0) return;
  // One advance a character, or an advance and a rise with U_ETO_PDY.
  const uint64_t step = (t.fOptions & U_ETO_PDY) ? 8 : 4;
  std::vector<double> dx;
  if (offDx != 0 && r.HasArray(offDx, t.nChars, step)) {
    const uint64_t n = std::min<uint64_t>(t.nChars, kMaxTextChars);
    dx.reserve(size_t(n));
    for (uint64_t i = 0; i < n; ++i) dx.push_back(double(r.I32(offDx + i * step)));
  }
  p.DC.Text(EmfPoint(t.ptlReference.x, t.ptlReference.y), text, dx, t.fOptions, rect);
}
void ExtTextOutA(TRVEmfPlay& p, const TRVMetaRecord& r) { ExtTextOut(p, r, false); }
void ExtTextOutW(TRVEmfPlay& p, const TRVMetaRecord& r) { ExtTextOut(p, r, true); }

// U_EMRSMALLTEXTOUT: the fixed part, the rectangle unless U_ETO_NO_RECT, then the characters,
// 8-bit with U_ETO_SMALL_CHARS.
void SmallTextOut(TRVEmfPlay& p, const TRVMetaRecord& r) {
  U_EMRSMALLTEXTOUT rec;
  if (!r.Copy(0, rec)) return;
  uint64_t at = sizeof(U_EMRSMALLTEXTOUT);
  std::optional<QRectF> rect;
  if (!(rec.fuOptions & U_ETO_NO_RECT)) {
    if (!r.Has(at, 16)) return;
    rect = QRectF(EmfPoint(r.I32(at), r.I32(at + 4)), EmfPoint(r.I32(at + 8), r.I32(at + 12)));
    at += 16;
  }
  const QString text = Characters(r, at, rec.cChars, !(rec.fuOptions & U_ETO_SMALL_CHARS));
  if (text.isNull() && rec.cChars > 0) return;
  p.DC.Text(EmfPoint(rec.Dest.x, rec.Dest.y), text, {}, rec.fuOptions, rect);
}

}  // namespace

void AddEmfPictureHandlers(TRVEmfHandlers& h) {
  h[U_EMR_BITBLT] = BitBlt;
  h[U_EMR_STRETCHBLT] = StretchBlt;
  h[U_EMR_STRETCHDIBITS] = StretchDIBits;
  h[U_EMR_SETDIBITSTODEVICE] = SetDIBitsToDevice;
  h[U_EMR_EXTTEXTOUTA] = ExtTextOutA;
  h[U_EMR_EXTTEXTOUTW] = ExtTextOutW;
  h[U_EMR_SMALLTEXTOUT] = SmallTextOut;
}

}  // namespace rv

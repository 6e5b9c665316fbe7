// Rendering a rectangle of an image of any pixel format, scaled, into a rectangle of a 24-bit
// destination: clipping and clamping of the two rectangles, the filtered pre-resample of 1-bit
// and 24-bit sources, the row and index tables, and the choice of the row renderer
// (RVRenderRows.cpp).
//
// Every argument is checked before anything is drawn: geometry is worked out in 64 bits and
// real numbers, so origins of +-2^31 and scales of 10,000 either way end in an empty or a
// clamped rectangle, and every index table entry handed to the row renderers lies inside the
// source. The destination must be rv24RGB and keep its rows in memory or in a platform bitmap
// (the row table holds every row address at once); anything else draws nothing.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

constexpr int32_t kUnitStep = 16384;
// The default clip rectangle: no limit on either axis.
constexpr int32_t kNoClip = 2147483646;

int32_t Clamp64(int64_t v, int64_t lo, int64_t hi) {
  return static_cast<int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

// Scale factor in 2.14 fixed point, kept within 32 bits.
int32_t FixedStep(double scale) {
  return common::SaturateInt32(common::Trunc(static_cast<long double>(scale) * kUnitStep));
}

// The rectangles of one call after steps of clipping and clamping.
struct TRenderGeometry {
  int64_t xDst, yDst, dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc;
  double XScale = 1, YScale = 1;
  int32_t xD = 0, yD = 0, dxD = 0, dyD = 0, xS = 0, yS = 0, dxS = 0, dyS = 0;
};

// Cuts a negative destination origin and a rectangle reaching past the destination on one
// axis. A negative origin skips Round (-origin x scale) source pixels (halves to even).
void ClipAxis(int64_t& dst, int64_t& dDst, int64_t& src, int64_t& dSrc, double scale, int64_t destSize) {
  if (dst < 0) {
    const int64_t cut = common::Round(static_cast<double>(-dst) * scale);
    dDst += dst;
    dSrc -= cut;
    src += cut;
    dst = 0;
  }
  if (dst + dDst > destSize) {
    dSrc -= common::Trunc(static_cast<double>(dst + dDst - destSize) * scale);
    dDst = destSize - dst;
  }
}

// Steps 2 to 6 of the geometry: false when nothing is to be drawn.
bool ClipAndClamp(TRenderGeometry& g, int32_t destW, int32_t destH, int32_t srcW, int32_t srcH) {
  if (g.dxDst == 0 || g.dyDst == 0 || g.dxSrc == 0 || g.dySrc == 0) return false;
  if (g.yDst > destH - 1 || g.xDst > destW - 1) return false;
  g.YScale = static_cast<double>(g.dySrc) / static_cast<double>(g.dyDst);
  g.XScale = static_cast<double>(g.dxSrc) / static_cast<double>(g.dxDst);
  ClipAxis(g.yDst, g.dyDst, g.ySrc, g.dySrc, g.YScale, destH);
  ClipAxis(g.xDst, g.dxDst, g.xSrc, g.dxSrc, g.XScale, destW);
  g.xD = Clamp64(g.xDst, 0, destW - 1);
  g.yD = Clamp64(g.yDst, 0, destH - 1);
  g.dxD = Clamp64(g.dxDst, 0, destW);
  g.dyD = Clamp64(g.dyDst, 0, destH);
  g.xS = Clamp64(g.xSrc, 0, srcW - 1);
  g.yS = Clamp64(g.ySrc, 0, srcH - 1);
  g.dxS = Clamp64(g.dxSrc, 0, srcW);
  g.dyS = Clamp64(g.dySrc, 0, srcH);
  return g.dxD != 0 && g.dyD != 0 && g.dxS != 0 && g.dyS != 0;
}

// Entry of a built index table: clamp (Trunc (i x scale + start), 0, size - 1), worked out
// in double precision.
void BuildIndexTable(TRVIndexTable& table, int32_t first, int32_t last, int32_t origin, double scale,
                     int32_t start, int32_t size) {
  table.resize(static_cast<size_t>(last - first + 1));
  for (int32_t v = first; v <= last; ++v) {
    const int64_t s = common::Trunc(static_cast<double>(v - origin) * scale + start);
    table[static_cast<size_t>(v - first)] = Clamp64(s, 0, size - 1);
  }
}

// A caller's index table: the rendered range ends with the table, its last entries leave the
// range while they point outside the source, and the others are clamped into the source
// (into `work` when any needs it). Returns the entries to use, or nullptr for an empty range.
const int32_t* CallerTable(const TRVIndexTable& table, TRVIndexTable& work, int32_t first, int32_t& last,
                           int32_t size) {
  if (table.empty()) return nullptr;
  last = std::min<int64_t>(last, int64_t(first) + int64_t(table.size()) - 1);
  while (last >= first && (table[size_t(last - first)] < 0 || table[size_t(last - first)] >= size)) --last;
  if (last < first) return nullptr;
  const size_t n = static_cast<size_t>(last - first + 1);
  if (std::all_of(table.begin(), table.begin() + std::ptrdiff_t(n),
                  [size](int32_t e) { return e >= 0 && e < size; }))
    return table.data();
  work.assign(table.begin(), table.begin() + std::ptrdiff_t(n));
  for (int32_t& e : work) e = std::clamp(e, 0, size - 1);
  return work.data();
}

void FreeTable(auto& table) {
  table.clear();
  table.shrink_to_fit();
}

using TRowRenderer = void (TRVBitmap::*)(const TRVRenderRowsArgs&);

TRowRenderer RowRenderer(TRVPixelFormat format, bool alpha) {
  switch (format) {
    case rv1g:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rv1g : &TRVBitmap::RenderRows_rv1g;
    case rv8p:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rv8p : &TRVBitmap::RenderRows_rv8p;
    case rv8g:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rv8g : &TRVBitmap::RenderRows_rv8g;
    case rv16g:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rv16g : &TRVBitmap::RenderRows_rv16g;
    case rv24RGB:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rv24RGB : &TRVBitmap::RenderRows_rv24RGB;
    case rv32f:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rv32f : &TRVBitmap::RenderRows_rv32f;
    case rvCMYK:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rvCMYK : &TRVBitmap::RenderRows_rvCMYK;
    case rv48RGB:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rv48RGB : &TRVBitmap::RenderRows_rv48RGB;
    case rvCIELab:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rvCIELab : &TRVBitmap::RenderRows_rvCIELab;
    case rv32RGB:
      return alpha ? &TRVBitmap::RenderRowsAlpha_rv32RGB : &TRVBitmap::RenderRows_rv32RGB;
    default:
      return nullptr;
  }
}

// The alpha channel takes part when it exists, matches the image's size and is not all opaque.
bool AlphaInUse(TRVBitmap& image) {
  if (!image.HasAlphaBitmap()) return false;
  TRVBitmap* a = image.AlphaBitmap();
  return !a->Full && a->GetWidth() == image.GetWidth() && a->GetHeight() == image.GetHeight() &&
         a->GetPixelFormat() == rv8g;
}

}  // namespace

void TRVBitmap::RenderToTRVBitmapEx(TRVBitmap* Dest, TRVRowTable& RowTable, TRVIndexTable& XTable,
                                    TRVIndexTable& YTable, const TRVClipRect* ClipRect, int32_t xDst,
                                    int32_t yDst, int32_t dxDst, int32_t dyDst, int32_t xSrc, int32_t ySrc,
                                    int32_t dxSrc, int32_t dySrc, bool UseAlpha, bool RowRepeat,
                                    int32_t Transparency, TResampleFilter Filter, bool FreeTables,
                                    TRVRenderOperation RenderOperation) {
  if (!Dest || Dest == this || IsEmpty()) return;
  // Rows of a destination in a temporary file are mapped one at a time: a row table cannot hold them.
  if (Dest->GetLocation() == rvInTempFile || Dest->IsEmpty() || Dest->GetPixelFormat() != rv24RGB) return;
  const TRVPixelFormat format = GetPixelFormat();
  if (!RowRenderer(format, false)) return;
  RowAccessScope readOnly(*this, 1);
  Transparency = std::clamp(Transparency, 0, 255);
  const int32_t destW = Dest->GetWidth(), destH = Dest->GetHeight();
  const int32_t srcW = GetWidth(), srcH = GetHeight();

  TRenderGeometry g{xDst, yDst, dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc};
  if (!ClipAndClamp(g, destW, destH, srcW, srcH)) return;
  const bool alphaUsed = UseAlpha && AlphaInUse(*this);

  // Filtered path: 1-bit and 24-bit sources are resampled to the destination size first and
  // then drawn 1:1. The source rectangle is taken where it overlaps the source.
  if (Filter != rfNone && (g.dxS != g.dxD || g.dyS != g.dyD) && (format == rv1g || format == rv24RGB)) {
    const int32_t cw = std::min(g.dxS, srcW - g.xS), ch = std::min(g.dyS, srcH - g.yS);
    TRVBitmap resampled;
    if (format == rv1g && g.dxS >= g.dxD && !(UseAlpha && HasAlphaBitmap()) && Filter != rfProjectBW &&
        Filter != rfProjectWB) {
      if (!resampled.Allocate(g.dxD, g.dyD, rv24RGB)) return;
      Reduce1BitTo24(*this, g.xS, g.yS, g.xS + cw - 1, g.yS + ch - 1, resampled);
    } else {
      TRVBitmap cut(cw, ch, format);
      if (cut.IsEmpty()) return;
      CopyRectTo(*this, cut, g.xS, g.yS, 0, 0, cw, ch);
      const bool projection = format == rv1g && (Filter == rfProjectBW || Filter == rfProjectWB);
      if (!resampled.Allocate(g.dxD, g.dyD, projection ? rv1g : rv24RGB)) return;
      if (format == rv1g)
        Resample1Bit(cut, resampled, Filter);
      else
        ResampleFiltered(cut, resampled, Filter, nullptr, TRVProgressEvent());
      if (alphaUsed) {
        TRVBitmap* cutAlpha = cut.AlphaBitmap();
        CopyRectTo(*AlphaBitmap(), *cutAlpha, g.xS, g.yS, 0, 0, cw, ch);
        cutAlpha->Full = AlphaBitmap()->Full;
        TRVBitmap* alpha = resampled.AlphaBitmap();
        ResampleAlpha(*cutAlpha, *alpha, Filter);
        alpha->Full = cutAlpha->Full;
      }
      for (int32_t i = 0; i < 4; ++i) resampled.ChannelOffset[i] = ChannelOffset[i];
      resampled.ChannelOffsetSet = ChannelOffsetSet;
      resampled.Contrast = Contrast;
    }
    TRVRowTable rows;
    TRVIndexTable xs, ys;
    resampled.RenderToTRVBitmapEx(Dest, rows, xs, ys, ClipRect, g.xD, g.yD, g.dxD, g.dyD, 0, 0, g.dxD, g.dyD,
                                  UseAlpha, RowRepeat, Transparency, rfNone, true, RenderOperation);
    return;
  }

  // Direct path. A row table of another length than the destination's is not used.
  const bool builtRows = RowTable.size() != static_cast<size_t>(destH);
  if (builtRows) {
    RowTable.resize(static_cast<size_t>(destH));
    for (int32_t y = 0; y < destH; ++y) RowTable[static_cast<size_t>(y)] = Dest->GetScanLine(y);
    if (std::find(RowTable.begin(), RowTable.end(), nullptr) != RowTable.end()) {
      FreeTable(RowTable);
      return;
    }
  }
  const TRVClipRect clip = ClipRect ? *ClipRect : TRVClipRect{-kNoClip, -kNoClip, kNoClip, kNoClip};
  TRVRenderRowsArgs a;
  a.RowTable = RowTable.data();
  a.Dest = Dest;
  a.RenderOperation = RenderOperation;
  a.RowRepeat = RowRepeat;
  a.YStep = FixedStep(g.YScale);
  a.XStep = FixedStep(g.XScale);
  a.LastRow = std::min(g.yD + g.dyD - 1, destH - 1);
  a.LastCol = std::min(g.xD + g.dxD - 1, destW - 1);
  a.FirstCol = std::clamp(std::max(clip.Left, g.xD), 0, destW - 1);
  a.LastCol = std::clamp(std::min(clip.Right, a.LastCol), 0, destW - 1);
  a.FirstRow = std::clamp(std::max(clip.Top, g.yD), 0, destH - 1);
  a.LastRow = std::clamp(std::min(clip.Bottom, a.LastRow), 0, destH - 1);
  a.yDst = g.yD;
  a.xDst = g.xD;
  a.ySrc = g.yS;
  a.xSrc = g.xS;
  a.UseAlpha = alphaUsed;
  a.Transparency = Transparency;

  TRVIndexTable xWork, yWork;
  const bool callerX = !XTable.empty(), callerY = !YTable.empty();
  if (callerX) a.XTable = CallerTable(XTable, xWork, a.FirstCol, a.LastCol, srcW);
  if (callerY) a.YTable = CallerTable(YTable, yWork, a.FirstRow, a.LastRow, srcH);
  const bool empty =
      a.FirstCol > a.LastCol || a.FirstRow > a.LastRow || (callerX && !a.XTable) || (callerY && !a.YTable);

  // The plain 1:1 copy of a 24-bit source needs no index tables, as long as the copied
  // segments lie inside the source (else the tables clamp them to its edges).
  const bool blockCopy =
      !empty && a.YStep == kUnitStep && a.XStep == kUnitStep && format == rv24RGB && Transparency > 254 &&
      !alphaUsed && !ChannelOffsetSet && Contrast == 0 && RenderOperation == rvlNormal && DisplayMin == 0 &&
      DisplayMax == 0 && !callerX && !callerY && a.FirstCol + int64_t(a.xSrc) - a.xDst >= 0 &&
      a.LastCol + int64_t(a.xSrc) - a.xDst < srcW && a.FirstRow + int64_t(a.ySrc) - a.yDst >= 0 &&
      a.LastRow + int64_t(a.ySrc) - a.yDst < srcH;
  bool builtX = false, builtY = false;
  if (!empty && !blockCopy) {
    if (!callerX) {
      BuildIndexTable(XTable, a.FirstCol, a.LastCol, g.xD, g.XScale, g.xS, srcW);
      a.XTable = XTable.data();
      builtX = true;
    }
    if (!callerY) {
      BuildIndexTable(YTable, a.FirstRow, a.LastRow, g.yD, g.YScale, g.yS, srcH);
      a.YTable = YTable.data();
      builtY = true;
    }
  }
  if (!empty) {
    const bool blend = Transparency < 255 || alphaUsed;
    std::unique_ptr<RowAccessScope> alphaReadOnly;
    if (alphaUsed) alphaReadOnly = std::make_unique<RowAccessScope>(*AlphaBitmap(), 1);
    (this->*RowRenderer(format, blend))(a);
  }
  if (FreeTables) {
    if (builtX) FreeTable(XTable);
    if (builtY) FreeTable(YTable);
    if (builtRows) FreeTable(RowTable);
  }
}

void TRVBitmap::RenderToTRVBitmap(TRVBitmap* Dest, int32_t xDst, int32_t yDst, int32_t dxDst, int32_t dyDst,
                                  int32_t xSrc, int32_t ySrc, int32_t dxSrc, int32_t dySrc,
                                  int32_t Transparency, TResampleFilter Filter,
                                  TRVRenderOperation RenderOperation) {
  TRVRowTable rows;
  TRVIndexTable xs, ys;
  RenderToTRVBitmapEx(Dest, rows, xs, ys, nullptr, xDst, yDst, dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc, true,
                      false, Transparency, Filter, true, RenderOperation);
}

void TRVBitmap::RenderToTBitmapEx(platform::TBitmap* Dest, TRVRowTable& RowTable, TRVIndexTable& XTable,
                                  TRVIndexTable& YTable, const TRVClipRect* ClipRect, int32_t xDst,
                                  int32_t yDst, int32_t dxDst, int32_t dyDst, int32_t xSrc, int32_t ySrc,
                                  int32_t dxSrc, int32_t dySrc, bool UseAlpha, bool RowRepeat,
                                  int32_t Transparency, TResampleFilter Filter, bool FreeTables,
                                  TRVRenderOperation RenderOperation) {
  if (!Dest) return;
  TRVBitmap wrapper;
  wrapper.EncapsulateTBitmap(Dest, false);
  RenderToTRVBitmapEx(&wrapper, RowTable, XTable, YTable, ClipRect, xDst, yDst, dxDst, dyDst, xSrc, ySrc,
                      dxSrc, dySrc, UseAlpha, RowRepeat, Transparency, Filter, FreeTables, RenderOperation);
}

void TRVBitmap::RenderToTBitmap(platform::TBitmap* Dest, int32_t xDst, int32_t yDst, int32_t dxDst,
                                int32_t dyDst, int32_t xSrc, int32_t ySrc, int32_t dxSrc, int32_t dySrc,
                                int32_t Transparency, TResampleFilter Filter,
                                TRVRenderOperation RenderOperation) {
  TRVRowTable rows;
  TRVIndexTable xs, ys;
  RenderToTBitmapEx(Dest, rows, xs, ys, nullptr, xDst, yDst, dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc, true,
                    false, Transparency, Filter, true, RenderOperation);
}

}  // namespace rv

// Putting the objects onto a bitmap: most are drawn straight; those that need blending (soft
// shadow, highlighter, translucent texts and memos, another blend operation) are drawn into the
// 24-bit DrawCache with a coverage plane and merged over the rectangle they touched. Without the
// smoothing painter, anti-aliased drawing supersamples through the cache at twice the size.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/Round.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/core/filter/RVSoftShadow.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

namespace {

// The grey of the coverage pass: T in all three channels, marked by the high byte 2.
platform::TColor CoverageGrey(int32_t T) {
  const uint32_t t = static_cast<uint32_t>(std::clamp(T, 0, 255));
  return static_cast<platform::TColor>(t + t * 256 + t * 65536 + 0x02000000u);
}

// The coverage is painted in grey on a 24-bit picture the size of the cache (the anti-aliased
// canvas paints colour bitmaps only) and its rows are then taken into the 8-bit alpha plane.
void TakeCoverage(platform::TBitmap& Coverage, TRVBitmap& Alpha, int32_t L, int32_t T, int32_t R, int32_t B) {
  const int bpp = Coverage.BitsPerPixel() / 8;
  for (int32_t y = T; y <= B; ++y) {
    const uint8_t* src = Coverage.ScanLine(y);
    uint8_t* dst = Alpha.GetScanLine(y);
    for (int32_t x = L; x <= R; ++x) dst[x] = src[size_t(x) * size_t(bpp) + 2];
  }
}

bool NeedsBlending(const TRVVObjRecord& o) {
  const bool textLike = o.Kind == rvkTEXT || o.Kind == rvkMEMO;
  return o.SoftShadow.Enabled || o.BoxHighLight || (textLike && o.Transparency <= 254) || o.BlendOperation != 0;
}

}  // namespace

void TRastovaVect::DrawObjectsToBitmap(TRVBitmap* Image, bool NoZoom, platform::TBitmap* Target, bool Antialias,
                                       int32_t hobj) {
  (void)Image;
  if (!Target || Target->Empty()) return;
  const int32_t F = Antialias ? 2 : 1;
  std::vector<int32_t> order;
  if (hobj == kObjAll)
    order = ObjectOrder;
  else if (GetObj(hobj) && hobj != kObjTemplate)
    order.push_back(hobj == kObjLast ? ObjectsCount() - 1 : hobj);
  const bool supersample = AntialiasedDrawing && !order.empty() && !GdiPlusAvailable();
  const bool useZoom = !NoZoom;
  const int32_t tw = Target->Width(), th = Target->Height();

  // Prepares the cache at W x H (same size kept between calls).
  auto prepareCache = [&](int32_t W, int32_t H) {
    if (DrawCache && (DrawCache->GetWidth() != W || DrawCache->GetHeight() != H)) DrawCache.reset();
    if (!DrawCache) {
      DrawCache = std::make_unique<TRVBitmap>();
      DrawCache->Allocate(W, H, rv24RGB);
      DrawCache->SetLocation(rvTBitmap);
      DrawCache->AlphaBitmap()->Fill(0);
      FCoverage = std::make_unique<platform::TBitmap>(W, H, platform::pf24bit);
      std::fill(FCoverage->Bits(), FCoverage->Bits() + size_t(FCoverage->BytesPerLine()) * size_t(H), uint8_t(0));
      FCacheColour = -1;
      FCacheDirty = platform::TRect{0, 0, -1, -1};
    }
  };
  // Inclusive rectangles clipped to the cache.
  auto clip = [](platform::TRect r, int32_t W, int32_t H) {
    r.Left = std::max(r.Left, 0), r.Top = std::max(r.Top, 0);
    r.Right = std::min(r.Right, W - 1), r.Bottom = std::min(r.Bottom, H - 1);
    return r;
  };
  auto fillColour = [](TRVBitmap& c, const platform::TRect& r, const TRGB& colour) {
    for (int32_t y = r.Top; y <= r.Bottom; ++y) {
      TRGB* row = reinterpret_cast<TRGB*>(c.GetScanLine(y));
      std::fill(row + r.Left, row + r.Right + 1, colour);
    }
  };
  auto zeroAlpha = [](TRVBitmap& a, const platform::TRect& r) {
    for (int32_t y = r.Top; y <= r.Bottom; ++y) std::memset(a.GetScanLine(y) + r.Left, 0, size_t(r.Right - r.Left + 1));
  };
  auto zeroCoverage = [](platform::TBitmap& c, const platform::TRect& r) {
    const size_t bpp = size_t(c.BitsPerPixel() / 8);
    for (int32_t y = r.Top; y <= r.Bottom; ++y)
      std::memset(c.ScanLine(y) + size_t(r.Left) * bpp, 0, size_t(r.Right - r.Left + 1) * bpp);
  };

  // Steps shared by both cache paths: coverage, merge rectangle, shadow, merge. Only what the
  // previous object touched is cleared again.
  auto viaCache = [&](TRVVObjRecord& o0, int32_t h, int32_t f, bool straightPath) {
    const int32_t W = tw * f, H = th * f;
    prepareCache(W, H);
    TRVBitmap& cache = *DrawCache;
    TRVBitmap& alpha = *cache.AlphaBitmap();
    platform::TBitmap& coverage = *FCoverage;
    const platform::TRect dirty = clip(FCacheDirty, W, H);
    platform::TRect touched{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    if (straightPath || f > 1) {
      // The object's own colour under it, so that its smoothed edges blend with themselves.
      const TRGB c = ColorToTRGB(o0.PenColor);
      const int64_t packed = (int64_t(c.r) << 16) | (int64_t(c.g) << 8) | c.b;
      if (packed != FCacheColour) {
        fillColour(cache, platform::TRect{0, 0, W - 1, H - 1}, c);
        FCacheColour = packed;
      } else if (dirty.Left <= dirty.Right && dirty.Top <= dirty.Bottom) {
        fillColour(cache, dirty, c);
      }
    } else {
      FCacheColour = -1;
    }
    if (dirty.Left <= dirty.Right && dirty.Top <= dirty.Bottom) {
      zeroAlpha(alpha, dirty);
      zeroCoverage(coverage, dirty);
    }
    if (o0.BoxHighLight) {
      // The part of the target under the highlighter's box, enlarged into the cache.
      int32_t bx1 = o0.X1, by1 = o0.Y1, bx2 = o0.X2, by2 = o0.Y2;
      auto mapBox = [&](int32_t& l, int32_t& t, int32_t& r, int32_t& b) {
        l = XBmpToDraw(bx1, useZoom, f), t = YBmpToDraw(by1, useZoom, f);
        r = XBmpToDraw(bx2 + 1, useZoom, f), b = YBmpToDraw(by2 + 1, useZoom, f);
      };
      int32_t l, t, r, b;
      mapBox(l, t, r, b);
      for (int32_t guard = 0; l < 0 && bx1 < bx2 && guard < 1 << 20; ++guard) ++bx1, mapBox(l, t, r, b);
      for (int32_t guard = 0; t < 0 && by1 < by2 && guard < 1 << 20; ++guard) ++by1, mapBox(l, t, r, b);
      for (int32_t guard = 0; r / f >= tw && bx2 > bx1 && guard < 1 << 20; ++guard) --bx2, mapBox(l, t, r, b);
      for (int32_t guard = 0; b / f >= th && by2 > by1 && guard < 1 << 20; ++guard) --by2, mapBox(l, t, r, b);
      OrderRectCorners(l, t, r, b);
      if (l >= 0 && t >= 0 && r > l && b > t) {
        TRVBitmap wrap;
        wrap.EncapsulateTBitmap(Target, false);
        wrap.StretchRectTo(&cache, l, t, r - l, b - t, l / f, t / f, std::max(1, (r - l) / f),
                           std::max(1, (b - t) / f), rfNone, 255);
        RectIncludePoint(touched, l, t);
        RectIncludePoint(touched, r, b);
        FCacheColour = -1;
      }
    }
    const bool drawn = DrawObject(o0, h, false, f, &cache, useZoom, useZoom, cache.BitmapView());
    // Whatever the object reached (its box, grown by the pen and a glyph's overhang) is left dirty.
    const int32_t margin = o0.DrawnPenWidth + 32;
    if (o0.DrawnRect.Left <= o0.DrawnRect.Right) {
      RectIncludePoint(touched, o0.DrawnRect.Left - margin, o0.DrawnRect.Top - margin);
      RectIncludePoint(touched, o0.DrawnRect.Right + margin, o0.DrawnRect.Bottom + margin);
    }
    FCacheDirty = touched.Left <= touched.Right ? touched : platform::TRect{0, 0, W - 1, H - 1};
    if (!drawn) return;
    const platform::TRect reach = clip(FCacheDirty, W, H);
    if (straightPath) zeroAlpha(alpha, reach);
    TRVBitmap* ownBitmap = o0.Kind == rvkBITMAP ? GetSharedBitmap(o0.BitmapIdx) : nullptr;
    if (ownBitmap) {
      // A bitmap object writes its own alpha while it draws into the cache.
      if (straightPath) DrawObject(o0, h, false, f, &cache, useZoom, useZoom, cache.BitmapView());
    } else {
      const platform::TColor pc = o0.PenColor, bc = o0.BrushColor, lc = o0.LabelBrushColor, mc = o0.MemoBorderColor;
      const platform::TColor grey = CoverageGrey(o0.Transparency);
      o0.PenColor = o0.BrushColor = o0.LabelBrushColor = o0.MemoBorderColor = grey;
      const platform::TRect keep = o0.DrawnRect;
      DrawObject(o0, h, true, f, nullptr, useZoom, useZoom, &coverage);
      o0.PenColor = pc, o0.BrushColor = bc, o0.LabelBrushColor = lc, o0.MemoBorderColor = mc;
      RectIncludePoint(o0.DrawnRect, keep.Left, keep.Top);
      RectIncludePoint(o0.DrawnRect, keep.Right, keep.Bottom);
    }
    const int32_t pw = o0.DrawnPenWidth;
    int32_t l = static_cast<int32_t>(std::clamp<int64_t>(int64_t(o0.DrawnRect.Left) - pw, 0, W - 1));
    int32_t t = static_cast<int32_t>(std::clamp<int64_t>(int64_t(o0.DrawnRect.Top) - pw, 0, H - 1));
    int32_t r = static_cast<int32_t>(std::clamp<int64_t>(int64_t(o0.DrawnRect.Right) + pw, 0, W - 1));
    int32_t b = static_cast<int32_t>(std::clamp<int64_t>(int64_t(o0.DrawnRect.Bottom) + pw, 0, H - 1));
    OrderRectCorners(l, t, r, b);
    if (f > 1) l += 2, t += 2, r -= 2, b -= 2;
    if (!ownBitmap)
      TakeCoverage(coverage, alpha, std::max(l, 0), std::max(t, 0), std::min(r, W - 1), std::min(b, H - 1));
    int32_t w = std::min(r - l + 1, W), hgt = std::min(b - t + 1, H);
    if (w <= 0 || hgt <= 0) return;
    if (o0.SoftShadow.Enabled) {
      const TRVVSoftShadow& s = o0.SoftShadow;
      const uint32_t colour = (uint32_t(s.ShadowColor.r) << 16) | (uint32_t(s.ShadowColor.g) << 8) | s.ShadowColor.b;
      // Offsets and radius come from the object (a file): the margin may be up to 2^31 - 1.
      const int64_t m = ApplySoftShadow(cache, common::SaturateInt32(int64_t(s.OffsetX) * f),
                                        common::SaturateInt32(int64_t(s.OffsetY) * f), s.Radius * f,
                                        s.Intensity, colour, l, t, l + w - 1, t + hgt - 1);
      w = static_cast<int32_t>(std::min<int64_t>(w + 2 * m, W));
      hgt = static_cast<int32_t>(std::min<int64_t>(hgt + 2 * m, H));
      l = static_cast<int32_t>(std::max<int64_t>(l - m, 0));
      t = static_cast<int32_t>(std::max<int64_t>(t - m, 0));
      w = std::min(w, W - l), hgt = std::min(hgt, H - t);
      RectIncludePoint(FCacheDirty, l, t);
      RectIncludePoint(FCacheDirty, l + w - 1, t + hgt - 1);
      FCacheColour = -1;  // the shadow colours the cache around the object
    }
    alpha.Full = false;
    const auto op = static_cast<TRVRenderOperation>(o0.BlendOperation);
    if (f == 1)
      cache.RenderToTBitmap(Target, l, t, w, hgt, l, t, w, hgt, 255, rfNone, op);
    else
      cache.RenderToTBitmap(Target, l / f, t / f, std::max(1, w / f), std::max(1, hgt / f), l, t, w, hgt, 255,
                            rfTriangle, op);
  };

  for (int32_t h : order) {
    TRVVObjRecord* o = GetObj(h);
    if (!o) continue;
    if (supersample) {
      viaCache(*o, h, F, false);
    } else if (FastDrawing || !NeedsBlending(*o)) {
      DrawObject(*o, h, false, 1, nullptr, useZoom, useZoom, Target);
    } else {
      viaCache(*o, h, 1, true);
    }
  }
}

void TRastovaVect::DrawLineShape(const TRVVObjRecord& Obj, TRVCanvas& Canvas, int32_t X1, int32_t Y1, int32_t X2,
                                 int32_t Y2, TRVShape Shape, int32_t Width, int32_t Length, platform::TRect& Bounds) {
  (void)Obj;
  if (Shape != rvsINARROW && Shape != rvsOUTARROW) return;
  const double half = Width / 2.0;
  const double dx = double(X2) - X1, dy = double(Y2) - Y1;
  const double len = std::sqrt(dx * dx + dy * dy);
  const double ux = len == 0 ? 0 : dx / len, uy = len == 0 ? -1 : dy / len;
  const double px = -uy, py = ux;
  const int32_t mx = static_cast<int32_t>(std::clamp<int64_t>(X1 + common::Trunc(Length * ux), INT32_MIN, INT32_MAX));
  const int32_t my = static_cast<int32_t>(std::clamp<int64_t>(Y1 + common::Trunc(Length * uy), INT32_MIN, INT32_MAX));
  const int32_t ox = common::TruncInt(px * half), oy = common::TruncInt(py * half);
  platform::TPoint pts[3];
  if (Shape == rvsINARROW) {
    pts[0] = {X1 + ox, Y1 + oy};
    pts[1] = {X1 - ox, Y1 - oy};
    pts[2] = {mx, my};
  } else {
    pts[0] = {mx + ox, my + oy};
    pts[1] = {mx - ox, my - oy};
    pts[2] = {X1, Y1};
  }
  Canvas.Polygon(pts);
  for (const platform::TPoint& p : pts) RectIncludePoint(Bounds, p.X, p.Y);
}

}  // namespace rv

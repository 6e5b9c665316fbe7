// The image view's composition: the zoom lookup tables that map view columns and rows to bitmap
// columns and rows (and back), and DrawLayersTo, which paints the background and every visible
// layer (placed, rotated, magnified, masked, blended) into a target, then the marks.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/Round.h"
#include "rastova/core/RVRotate.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

using common::RoundInt;
using common::TruncInt;

namespace {

// The tables of one axis.
struct TAxisTables {
  std::vector<int32_t>& ScrToBmp;
  std::vector<int32_t>& BmpToScr;
};

// Builds the tables of one axis for a zoomed size and a visible size; false when they would be
// too large to be of use (the conversions then use their formulas). Positions are scaled by
// dividing by the zoom, not by multiplying with its rounded inverse: at 300 % view column 3 is
// bitmap column 1 (3 x 0.333... truncates to 0), so every bitmap column is equally wide.
bool BuildAxisTables(TAxisTables t, int32_t zoomedSize, int32_t dstSize, double zoom, int32_t bitmapSize) {
  const int64_t j = int64_t(zoomedSize) + dstSize;
  const int64_t k = common::Trunc(static_cast<long double>(j + 1) * 100 / zoom);
  if (j + 2 > kMaxZoomedSize + 65536 || k + 2 > kMaxZoomedSize + 65536 || k < 0) return false;
  t.ScrToBmp.assign(static_cast<size_t>(j + 2), 0);
  t.BmpToScr.assign(static_cast<size_t>(k + 2), 0);
  const int32_t last = std::max(bitmapSize - 1, 0);
  if (zoom > 100) {
    // Walking down leaves in BmpToScr the first view position of each bitmap position.
    for (int64_t v = j; v >= 0; --v) {
      const int64_t b = common::Trunc(static_cast<long double>(v) * 100 / zoom);
      if (b >= 0 && b < int64_t(t.BmpToScr.size())) t.BmpToScr[size_t(b)] = static_cast<int32_t>(v);
      t.ScrToBmp[size_t(v)] = static_cast<int32_t>(std::min<int64_t>(b, last));
    }
  } else {
    // Walking down leaves in ScrToBmp the first bitmap position that falls on each view position.
    for (int64_t b = k; b >= 0; --b) {
      const int64_t s = common::Trunc(static_cast<long double>(b) * zoom / 100);
      t.BmpToScr[size_t(b)] = static_cast<int32_t>(s);
      if (s >= 0 && s < int64_t(t.ScrToBmp.size()))
        t.ScrToBmp[size_t(s)] = static_cast<int32_t>(std::min<int64_t>(b, last));
    }
  }
  return true;
}

TRVClipRect ClipOf(const platform::TRect& r) { return TRVClipRect{r.Left, r.Top, r.Right, r.Bottom}; }

// The size at which a picture shown at w x h is made for one drawing: w x h itself when it
// takes at most `limit` pixels, else scaled down alike on both axes to `limit` pixels (each
// side at least 1). A drawing makes such a picture for what it shows, and the layer's own
// pixels justify as many as the layer has, so the limit is the larger of the target's pixels
// and the layer's: a display size read from a file may be any number.
struct TFitted {
  int32_t W, H;
};

TFitted FitPixels(int32_t w, int32_t h, int64_t limit) {
  if (w <= 0 || h <= 0 || int64_t(w) * h <= limit) return {w, h};
  limit = std::max<int64_t>(limit, 1);
  const double s = std::sqrt(static_cast<double>(limit) / (double(w) * h));
  int64_t fw = std::clamp<int64_t>(common::Trunc(w * s), 1, w);
  int64_t fh = std::clamp<int64_t>(common::Trunc(h * s), 1, h);
  // A side held at 1 pixel leaves the other side the whole limit.
  if (fw * fh > limit) {
    if (fw == 1)
      fh = limit;
    else
      fw = limit;
  }
  return {static_cast<int32_t>(fw), static_cast<int32_t>(fh)};
}

int64_t PixelsOf(TRVBitmap& b) { return int64_t(b.GetWidth()) * b.GetHeight(); }

}  // namespace

void TRastovaView::ClearZoomTables() {
  FScrToBmpX.clear();
  FScrToBmpY.clear();
  FBmpToScrX.clear();
  FBmpToScrY.clear();
  FScrToBmpX.shrink_to_fit();
  FScrToBmpY.shrink_to_fit();
  FBmpToScrX.shrink_to_fit();
  FBmpToScrY.shrink_to_fit();
  FScrToBmpXLen = FScrToBmpYLen = 0;
  FScrTableXLen = FScrTableYLen = 0;
  FBmpTableXLen = FBmpTableYLen = 0;
  FScrToBmpXView = FScrToBmpYView = nullptr;
  FBmpToScrXView = FBmpToScrYView = nullptr;
  FTableZoomX = FTableZoomY = -1;
  FTableDstWidth = FTableDstHeight = -1;
  FTableBmpWidth = FTableBmpHeight = -1;
}

int32_t TRastovaView::SnapViewX(int32_t X) {
  if (X < 0) X = 0;
  if (X < FZoomedWidth && !FScrToBmpX.empty() && !FBmpToScrX.empty() && FScrTableXLen > 0 &&
      X < FScrToBmpXLen && FTableZoomX == FZoomX) {
    const int32_t b = FScrToBmpX[size_t(X)];
    if (b >= 0 && size_t(b) < FBmpToScrX.size()) return FBmpToScrX[size_t(b)];
  }
  return X;
}

int32_t TRastovaView::SnapViewY(int32_t Y) {
  if (Y < 0) Y = 0;
  if (Y < FZoomedHeight && !FScrToBmpY.empty() && !FBmpToScrY.empty() && FScrTableYLen > 0 &&
      Y < FScrToBmpYLen && FTableZoomY == FZoomY) {
    const int32_t b = FScrToBmpY[size_t(Y)];
    if (b >= 0 && size_t(b) < FBmpToScrY.size()) return FBmpToScrY[size_t(b)];
  }
  return Y;
}

void TRastovaView::PrepareZoomTables() {
  if (FZoomX != FTableZoomX || FZoomY != FTableZoomY || FDstWidth != FTableDstWidth ||
      FDstHeight != FTableDstHeight || FBitmapWidth != FTableBmpWidth || FBitmapHeight != FTableBmpHeight) {
    ClearZoomTables();
    if (FDstWidth == 0 || FDstHeight == 0 || !FRVBitmap || FRVBitmap->GetWidth() == 0 ||
        FRVBitmap->GetHeight() == 0)
      return;
    if (!BuildAxisTables({FScrToBmpX, FBmpToScrX}, FZoomedWidth, FDstWidth, FZoomX, FBitmapWidth) ||
        !BuildAxisTables({FScrToBmpY, FBmpToScrY}, FZoomedHeight, FDstHeight, FZoomY, FBitmapHeight)) {
      ClearZoomTables();
      return;
    }
    FScrToBmpXLen = static_cast<int32_t>(FScrToBmpX.size());
    FScrToBmpYLen = static_cast<int32_t>(FScrToBmpY.size());
    FScrTableXLen = FDstWidth;
    FScrTableYLen = FDstHeight;
    FBmpTableXLen = TruncInt(static_cast<long double>(FDstWidth) * FInvZoomX);
    FBmpTableYLen = TruncInt(static_cast<long double>(FDstHeight) * FInvZoomY);
    FTableZoomX = FZoomX;
    FTableZoomY = FZoomY;
    FTableDstWidth = FDstWidth;
    FTableDstHeight = FDstHeight;
    FTableBmpWidth = FBitmapWidth;
    FTableBmpHeight = FBitmapHeight;
  }
  if (FScrTableXLen == 0) return;
  // Scrolling only moves the windows into the tables.
  const int32_t a = std::clamp(SnapViewX(FViewX), 0, FScrToBmpXLen - 1);
  const int32_t b = std::clamp(SnapViewY(FViewY), 0, FScrToBmpYLen - 1);
  FScrTableXLen = std::min(FDstWidth, FScrToBmpXLen - a);
  FScrTableYLen = std::min(FDstHeight, FScrToBmpYLen - b);
  const int32_t bx =
      std::clamp(std::max(0, FScrToBmpX[size_t(a)] - FSrcX), 0, int32_t(FBmpToScrX.size()) - 1);
  const int32_t by =
      std::clamp(std::max(0, FScrToBmpY[size_t(b)] - FSrcY), 0, int32_t(FBmpToScrY.size()) - 1);
  FBmpToScrXView = FBmpToScrX.data() + bx;
  FBmpToScrYView = FBmpToScrY.data() + by;
  FScrToBmpXView = FScrToBmpX.data() + a;
  FScrToBmpYView = FScrToBmpY.data() + b;
}

// ---------------------------------------------------------------- composition

void TRastovaView::DrawLayersTo(TRVBitmap* Dest, TRVRowTable* RowTable, bool DrawMarks, bool DrawBackground,
                                const platform::TRect* ClipRect) {
  if (!Dest) return;
  LayersSyncSize();
  UpdateSourceRect();
  PrepareZoomTables();
  if (!FRVBitmap || FRVBitmap->GetWidth() == 0 || FRVBitmap->GetHeight() == 0) return;
  if (FRVBitmap->HasAlphaBitmap()) {
    TRVBitmap* a = FRVBitmap->AlphaBitmap();
    if (a->GetWidth() != FRVBitmap->GetWidth() || a->GetHeight() != FRVBitmap->GetHeight()) return;
  }
  bool first = true;
  for (int32_t i = 0; i < GetLayersCount(); ++i) {
    TRVLayer& l = *FLayers[size_t(i)];
    if (!l.Visible || FDstWidth == 0 || FDstHeight == 0) continue;
    if (l.Bitmap->GetWidth() < FMinLayerSizeToDraw && l.Bitmap->GetHeight() < FMinLayerSizeToDraw) continue;
    DrawLayer(Dest, RowTable, i, first, DrawMarks, DrawBackground, ClipRect);
  }
  if ((FLayersDrawMode == 2 || FLayersDrawMode == 3) && Dest->GetPixelFormat() == rv24RGB) {
    const TRVLayer& l0 = *FLayers[0];
    const int64_t left = l0.DrawDest[0], top = l0.DrawDest[1];
    const int64_t right = left + l0.DrawDest[2], bottom = top + l0.DrawDest[3];
    const int32_t w = Dest->GetWidth(), h = Dest->GetHeight();
    // Beyond +-255 every channel ends at 0 or 255 anyway; the bound keeps the sum in range.
    const int32_t lighten = IntClamp(FLayersDrawParam, -255, 255);
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = Dest->GetScanLine(y);
      for (int32_t x = 0; x < w; ++x) {
        uint8_t* p = row + size_t(x) * 3;
        if (FLayersDrawMode == 2) {
          if ((y < top || y > bottom || x < left || x > right) && (x + y) % 2 == 0) p[0] = p[1] = p[2] = 128;
        } else if (y < top || y >= bottom || x < left || x >= right) {
          for (int c = 0; c < 3; ++c) p[c] = ClampToByte(p[c] + lighten);
        }
      }
    }
  }
  if (first && DrawBackground) PaintBackground(Dest, ClipRect, true, *FLayers[0]);
  if (DrawMarks) {
    platform::TBitmap* bitmap = Dest->BitmapView();
    if (bitmap) {
      DrawSelectionOverlays(bitmap);
      DrawPixelGrid(bitmap);
    }
  }
}

void TRastovaView::PaintBackground(TRVBitmap* Dest, const platform::TRect* ClipRect, bool Force,
                                   TRVLayer& Layer) {
  if (!Force && FOffsetX < 1 && FOffsetY < 1 && FDstWidth >= Dest->GetWidth() &&
      FDstHeight >= Dest->GetHeight()) {
    TRVBitmap* b = Layer.Bitmap;
    const bool opaque = !FEnableAlphaChannel || !b->HasAlphaBitmap() || b->AlphaBitmap()->Full;
    if (opaque && Layer.Opacity > 254) return;
  }
  platform::TBitmap* bitmap = Dest->BitmapView();
  if (!bitmap) return;
  platform::TCanvas& canvas = bitmap->Canvas();
  const int32_t w = Dest->GetWidth(), h = Dest->GetHeight();
  if (ClipRect) {
    const platform::TRegion clip(
        platform::Rect(ClipRect->Left, ClipRect->Top, ClipRect->Right + 1, ClipRect->Bottom + 1));
    canvas.SetClipRegion(&clip);
  }
  bool handled = false;
  if (FOnDrawBackground) FOnDrawBackground(this, canvas, platform::Rect(0, 0, w, h), handled);
  if (!handled)
    PaintViewBackground(false, canvas, bitmap, FWallPaperStyle, FWallPaper.get(), FGradientEndColor,
                        FChessboardBrushStyle, FChessboardSize, FOffsetX, FOffsetY, FOffsetX + FDstWidth,
                        FOffsetY + FDstHeight, 0, 0, w, h, FBackground, FBackgroundStyle);
  if (ClipRect) canvas.SetClipRegion(nullptr);
}

std::unique_ptr<TRVBitmap> TRastovaView::CombinedAlpha(TRVLayer& Layer, TRVLayer& Mask, bool TemporaryMask) {
  TRVBitmap& mb = *Mask.Bitmap;
  const int32_t mw = mb.GetWidth(), mh = mb.GetHeight();
  // A mask without pixels masks nothing (and would divide by zero below).
  if (mw == 0 || mh == 0) return nullptr;
  if (mb.GetPixelFormat() != rv8g) {
    mb.RemoveAlphaBitmap(false, platform::clWhite);
    mb.SetPixelFormat(rv8g);
  }
  TRVBitmap& lb = *Layer.Bitmap;
  const int32_t w = lb.GetWidth(), h = lb.GetHeight();
  if (w == 0 || h == 0) return nullptr;
  TRVBitmap* own = lb.HasAlphaBitmap() ? lb.AlphaBitmap() : nullptr;
  auto result = std::make_unique<TRVBitmap>(w, h, rv8g);
  const double nx = double(Mask.GetDisplayWidth()) / mw, ny = double(Mask.GetDisplayHeight()) / mh;
  const double sx = double(Layer.GetDisplayWidth()) / w, sy = double(Layer.GetDisplayHeight()) / h;
  const int32_t l0w = FLayers[0]->Bitmap->GetWidth(), l0h = FLayers[0]->Bitmap->GetHeight();
  for (int32_t o = 0; o < h; ++o) {
    uint8_t* out = result->GetScanLine(o);
    const int64_t row = common::Round(sy * o / ny - Mask.PosY / ny + Layer.PosY / ny);
    const double bottomY = Layer.PosY + sy * o;
    const bool rowOutside = TemporaryMask && (bottomY < 0 || bottomY > l0h);
    const uint8_t* mrow = row >= 0 && row < mh ? mb.GetScanLine(static_cast<int32_t>(row)) : nullptr;
    const uint8_t* arow = own ? own->GetScanLine(o) : nullptr;
    for (int32_t i = 0; i < w; ++i) {
      const int32_t la = arow ? arow[i] : 255;
      if (rowOutside) {
        out[i] = static_cast<uint8_t>(IntClamp(FLayersDrawParam, 0, 255));
        continue;
      }
      if (TemporaryMask) {
        const double bottomX = Layer.PosX + sx * i;
        if (bottomX < 0 || bottomX > l0w) {
          out[i] = static_cast<uint8_t>(std::min(la, IntClamp(FLayersDrawParam, 0, 255)));
          continue;
        }
      }
      const int64_t m = common::Round(sx * i / nx - Mask.PosX / nx + Layer.PosX / nx);
      const int32_t mv = mrow && m >= 0 && m < mw ? mrow[m] : 0;
      out[i] = static_cast<uint8_t>(std::min(la, mv));
    }
  }
  result->Full = false;
  return result;
}

void TRastovaView::DrawLayer(TRVBitmap* Dest, TRVRowTable* RowTable, int32_t Index, bool& First,
                             bool DrawMarks, bool DrawBackground, const platform::TRect* ClipRect) {
  TRVLayer& l = *FLayers[size_t(Index)];
  // a. The mask: the next layer when it is one, or with draw mode 1 a temporary one.
  std::unique_ptr<TRVLayer> temporary;
  TRVLayer* mask = nullptr;
  if (Index + 1 < GetLayersCount() && FLayers[size_t(Index) + 1]->IsMask && !l.IsMask && l.Rotation == 0) {
    mask = FLayers[size_t(Index) + 1].get();
  } else if (Index > 0 && FLayersDrawMode == 1) {
    auto* m = new TRVBitmap(l.Bitmap->GetWidth(), l.Bitmap->GetHeight(), rv8g);
    m->Fill(255);
    temporary = std::make_unique<TRVLayer>(this, true, m);
    temporary->PosX = l.PosX;
    temporary->PosY = l.PosY;
    temporary->DisplayWidth = l.DisplayWidth;
    temporary->DisplayHeight = l.DisplayHeight;
    mask = temporary.get();
  }
  std::unique_ptr<TRVBitmap> ownAlpha;
  bool masked = false;
  if (mask) {
    std::unique_ptr<TRVBitmap> combined =
        l.MaskedAlphaCache ? std::move(l.MaskedAlphaCache) : CombinedAlpha(l, *mask, temporary != nullptr);
    if (combined) {
      ownAlpha = l.Bitmap->ReplaceAlphaBitmap(std::move(combined));
      masked = true;
    }
  }
  // Whatever happens while drawing, the layer's own alpha channel comes back.
  struct TRestore {
    TRVLayer& Layer;
    std::unique_ptr<TRVBitmap>& Own;
    bool Masked;
    ~TRestore() {
      if (Masked) Layer.MaskedAlphaCache = Layer.Bitmap->ReplaceAlphaBitmap(std::move(Own));
    }
  } restore{l, ownAlpha, masked};

  if (First && DrawBackground) PaintBackground(Dest, ClipRect, false, l);
  const bool noDisplaySize = l.DisplayWidth == 0 && l.DisplayHeight == 0;
  TResampleFilter filter = FZoomFilter;
  if (FDelayZoomCountdown > 0 || (noDisplaySize && FZoomX == 100 && FZoomY == 100))
    filter = rfNone;
  else if (l.UseResampleFilter)
    filter = l.ResampleFilter;
  const bool blendOverBackground = FBackgroundStyle == rvbsSolid && First;
  const bool positioned =
      !FLayersAutoSize && (GetLayersCount() > 1 || !noDisplaySize || l.PosX != 0 || l.PosY != 0);
  TRVRowTable ownRows;
  const TRVClipRect clip = ClipRect ? ClipOf(*ClipRect) : TRVClipRect{};
  const TLayerDraw how{RowTable ? *RowTable : ownRows, ClipRect ? &clip : nullptr, ClipRect, filter,
                       blendOverBackground};
  if (positioned)
    DrawLayerPositioned(Dest, Index, how);
  else
    DrawLayerWholeView(Dest, l, how);
  if (DrawMarks) DrawLayerMarks(Dest, Index);
  First = false;
}

void TRastovaView::DrawLayerPositioned(TRVBitmap* Dest, int32_t Index, const TLayerDraw& how) {
  TRVLayer& l = *FLayers[size_t(Index)];
  TRVBitmap* source = l.Bitmap;
  std::unique_ptr<TRVBitmap> rotated;
  const int32_t savedW = l.DisplayWidth, savedH = l.DisplayHeight, savedX = l.PosX, savedY = l.PosY;
  if (l.Rotation != 0) {
    const int32_t w = l.GetDisplayWidth(), h = l.GetDisplayHeight();
    // The picture is rotated at the display size, or scaled down alike on both axes (so that
    // the angle holds) to what the drawing may make.
    const auto [ww, wh] = FitPixels(w, h, std::max(PixelsOf(*Dest), PixelsOf(*l.Bitmap)));
    TRVBitmap work;
    if (ww != l.Bitmap->GetWidth() || wh != l.Bitmap->GetHeight()) {
      work.Allocate(ww, wh, l.Bitmap->GetPixelFormat());
      ResampleBitmap(*l.Bitmap, work, rfNone, TRVProgressEvent(), nullptr);
    } else {
      work.Assign(l.Bitmap);
    }
    TRVBitmap* workAlpha = work.AlphaBitmap();
    rotated = std::make_unique<TRVBitmap>();
    RotateBitmapTo(work, *rotated, FBackground, nullptr, TRVProgressEvent(), l.Rotation);
    auto rotatedAlpha = std::make_unique<TRVBitmap>();
    RotateBitmapTo(*workAlpha, *rotatedAlpha, 0, nullptr, TRVProgressEvent(), l.Rotation);
    rotatedAlpha->Full = false;
    rotated->ReplaceAlphaBitmap(std::move(rotatedAlpha));
    TRVPoint corners[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    RotatePoints(corners, 3, TruncInt(w * l.RotateCenterX), TruncInt(h * l.RotateCenterY), l.Rotation);
    int32_t minX = corners[0].x, minY = corners[0].y;
    for (int c = 0; c < 4; ++c) {
      minX = std::min(minX, corners[c].x);
      minY = std::min(minY, corners[c].y);
      l.Corners[c].x = common::SaturateInt32(
          int64_t(TruncInt(static_cast<long double>(corners[c].x + int64_t(l.PosX)) * FZoomFactorX)) +
          FOffsetX - FViewX);
      l.Corners[c].y = common::SaturateInt32(
          int64_t(TruncInt(static_cast<long double>(corners[c].y + int64_t(l.PosY)) * FZoomFactorY)) +
          FOffsetY - FViewY);
    }
    // The rotated picture's size in display pixels.
    l.DisplayWidth = ww == w ? rotated->GetWidth()
                             : common::SaturateInt32(int64_t(rotated->GetWidth()) * w / std::max(ww, 1));
    l.DisplayHeight = wh == h ? rotated->GetHeight()
                              : common::SaturateInt32(int64_t(rotated->GetHeight()) * h / std::max(wh, 1));
    l.PosX = common::SaturateInt32(int64_t(l.PosX) + minX);
    l.PosY = common::SaturateInt32(int64_t(l.PosY) + minY);
    source = rotated.get();
  }
  if (Index > 0 && l.MagnifierEnabled && l.MagnifierRate >= 1.0) DrawMagnifier(Dest, l, how.Filter);
  const int32_t w = l.GetDisplayWidth(), h = l.GetDisplayHeight();
  // The screen edge of a picture position: one pixel further where mapping it back falls short or
  // past, but never beyond the ends of the range.
  const auto edge = [](int64_t bp, auto toScreen, auto toPicture) {
    const int32_t b = common::SaturateInt32(bp);
    int32_t e = toScreen(b);
    const int32_t back = toPicture(e);
    if (back < b && e < INT32_MAX)
      ++e;
    else if (back > b && e > INT32_MIN)
      --e;
    return e;
  };
  const auto edgeX = [&](int64_t bx) {
    return edge(bx, [this](int32_t v) { return XBmp2Scr(v); }, [this](int32_t v) { return XScr2Bmp(v); });
  };
  const auto edgeY = [&](int64_t by) {
    return edge(by, [this](int32_t v) { return YBmp2Scr(v); }, [this](int32_t v) { return YScr2Bmp(v); });
  };
  int32_t left = edgeX(l.PosX), right = edgeX(int64_t(l.PosX) + w);
  int32_t top = edgeY(l.PosY), bottom = edgeY(int64_t(l.PosY) + h);
  int32_t sx = 0, sy = 0, sw = source->GetWidth(), sh = source->GetHeight();
  l.ScreenRect = platform::Rect(left, top, right, bottom);
  if (l.ClipToImage && w != 0 && h != 0) {
    const int32_t l0w = FLayers[0]->Bitmap->GetWidth(), l0h = FLayers[0]->Bitmap->GetHeight();
    const int32_t screenW = l.ScreenRect.Right - l.ScreenRect.Left,
                  screenH = l.ScreenRect.Bottom - l.ScreenRect.Top;
    if (XScr2Bmp(left) < 0) {
      left = XBmp2Scr(0);
      sx = std::abs(TruncInt(static_cast<long double>(source->GetWidth()) / w * l.PosX));
      sw -= sx;
    }
    if (XScr2Bmp(right) > l0w && screenW != 0) {
      right = XBmp2Scr(l0w);
      sw = TruncInt(static_cast<long double>(source->GetWidth()) / screenW * (int64_t(right) - left));
    }
    if (YScr2Bmp(top) < 0) {
      top = YBmp2Scr(0);
      sy = std::abs(TruncInt(static_cast<long double>(source->GetHeight()) / h * l.PosY));
      sh -= sy;
    }
    if (YScr2Bmp(bottom) > l0h && screenH != 0) {
      bottom = YBmp2Scr(l0h);
      sh = TruncInt(static_cast<long double>(source->GetHeight()) / screenH * (int64_t(bottom) - top));
    }
  }
  TRVIndexTable xs, ys;
  source->RenderToTRVBitmapEx(
      Dest, how.Rows, xs, ys, how.Clip, left, top, common::SaturateInt32(int64_t(right) - left),
      common::SaturateInt32(int64_t(bottom) - top), sx, sy, sw, sh, FEnableAlphaChannel,
      how.BlendOverBackground, l.Opacity, how.Filter, true, l.Operation);
  l.DrawDest[0] = left;
  l.DrawDest[1] = top;
  l.DrawDest[2] = common::SaturateInt32(int64_t(right) - left);
  l.DrawDest[3] = common::SaturateInt32(int64_t(bottom) - top);
  l.DrawSource[0] = sx;
  l.DrawSource[1] = sy;
  l.DrawSource[2] = sw;
  l.DrawSource[3] = sh;
  l.DisplayWidth = savedW;
  l.DisplayHeight = savedH;
  l.PosX = savedX;
  l.PosY = savedY;
}

void TRastovaView::DrawLayerWholeView(TRVBitmap* Dest, TRVLayer& l, const TLayerDraw& how) {
  // The whole view: the destination columns and rows map through the lookup tables, from the
  // first column and row the renderer writes.
  // At 100 % the tables map one to one, which the renderer does by itself with whole-row copies.
  TRVIndexTable xs, ys;
  const bool oneToOne = FZoomX == 100 && FZoomY == 100;
  if (!oneToOne && FScrTableXLen > 0 && FScrTableYLen > 0 && FScrToBmpXView && FScrToBmpYView) {
    const int32_t firstCol = std::max({FOffsetX, how.ClipRect ? how.ClipRect->Left : FOffsetX, 0});
    const int32_t firstRow = std::max({FOffsetY, how.ClipRect ? how.ClipRect->Top : FOffsetY, 0});
    const int32_t skipX = firstCol - FOffsetX, skipY = firstRow - FOffsetY;
    if (skipX < FScrTableXLen) xs.assign(FScrToBmpXView + skipX, FScrToBmpXView + FScrTableXLen);
    if (skipY < FScrTableYLen) ys.assign(FScrToBmpYView + skipY, FScrToBmpYView + FScrTableYLen);
  }
  if (!(xs.empty() != ys.empty()))
    l.Bitmap->RenderToTRVBitmapEx(Dest, how.Rows, xs, ys, how.Clip, FOffsetX, FOffsetY, FDstWidth, FDstHeight,
                                  FSrcX, FSrcY, FSrcWidth, FSrcHeight, FEnableAlphaChannel,
                                  how.BlendOverBackground, l.Opacity, how.Filter, true, l.Operation);
  l.ScreenRect = platform::Rect(FOffsetX, FOffsetY, FOffsetX + FDstWidth, FOffsetY + FDstHeight);
  l.DrawDest[0] = FOffsetX;
  l.DrawDest[1] = FOffsetY;
  l.DrawDest[2] = FDstWidth;
  l.DrawDest[3] = FDstHeight;
  l.DrawSource[0] = FSrcX;
  l.DrawSource[1] = FSrcY;
  l.DrawSource[2] = FSrcWidth;
  l.DrawSource[3] = FSrcHeight;
}

void TRastovaView::DrawLayerMarks(TRVBitmap* Dest, int32_t Index) {
  TRVLayer& l = *FLayers[size_t(Index)];
  platform::TBitmap* bitmap = Dest->BitmapView();
  if (bitmap) {
    const bool current = Index == FLayersCurrent;
    if (l.ShowBox) {
      if (current) {
        if (InInteract(FMouseInteract, miMoveLayers) || InInteract(FMouseInteract, miResizeLayers))
          DrawLayerBox(bitmap, Index);
        if (InInteract(FMouseInteract, miResizeLayers) && !l.Locked) DrawLayerGrips(bitmap, Index);
        if (InInteract(FMouseInteract, miRotateLayers)) DrawLayerRotationCenter(bitmap, Index);
      } else if (FShowAllLayerBoxes) {
        DrawLayerBox(bitmap, Index);
      }
    }
    if (current && l.ShadeOutside) ShadeOutsideLayer(bitmap, Index);
  }
}

void TRastovaView::DrawMagnifier(TRVBitmap* Dest, TRVLayer& Layer, TResampleFilter Filter) {
  TRVBitmap& b = *Layer.Bitmap;
  // Unless a grip is being dragged the bitmap takes the display size, which its magnified
  // picture fills anew at every drawing; scaled down to what the drawing may make.
  int32_t gw = b.GetWidth(), gh = b.GetHeight();
  if (FLayerGrip == 0) {
    gw = Layer.GetDisplayWidth();
    gh = Layer.GetDisplayHeight();
    if (gw <= 0 || gh <= 0) return;
    const int64_t limit = std::max(PixelsOf(*Dest), PixelsOf(b));
    auto [tw, th] = FitPixels(gw, gh, limit);
    // A side without a display size of its own is shown at the bitmap's size, so it keeps it.
    if (Layer.DisplayWidth == 0) {
      tw = gw;
      th = static_cast<int32_t>(std::min<int64_t>(gh, limit / gw));
    } else if (Layer.DisplayHeight == 0) {
      tw = static_cast<int32_t>(std::min<int64_t>(gw, limit / gh));
      th = gh;
    }
    if (tw != b.GetWidth() || th != b.GetHeight()) {
      TRVBitmap resized(tw, th, b.GetPixelFormat());
      ResampleBitmap(b, resized, Filter, TRVProgressEvent(), nullptr);
      b.Assign(&resized);
    }
  }
  const int32_t bw = b.GetWidth(), bh = b.GetHeight();
  if (bw == 0 || bh == 0) return;
  // The magnified area follows the layer's size (gw x gh), whatever the bitmap's.
  const int32_t w = TruncInt(gw / (Layer.MagnifierRate / FZoomFactorX));
  const int32_t h = TruncInt(gh / (Layer.MagnifierRate / FZoomFactorY));
  const int32_t cx = XBmp2Scr(Layer.PosX) + TruncInt(gw * FZoomFactorX / 2);
  const int32_t cy = YBmp2Scr(Layer.PosY) + TruncInt(gh * FZoomFactorY / 2);
  const int32_t left = cx - w / 2, top = cy - h / 2;
  if (b.GetPixelFormat() != rv24RGB) b.SetPixelFormat(rv24RGB);
  if (Layer.MagnifierSource == 1) {
    b.SetLocation(rvTBitmap);
    Dest->StretchRectTo(&b, 0, 0, bw, bh, left, top, w, h, rfNone, 255);
  } else {
    TRVBitmap& l0 = *FLayers[0]->Bitmap;
    const int32_t bl = XScr2Bmp(left), bt = YScr2Bmp(top);
    const int32_t sw = XScr2Bmp(left + w) - bl + 1, sh = YScr2Bmp(top + h) - bt + 1;
    if (bl >= 0 && bt >= 0 && int64_t(bl) + sw < l0.GetWidth() && int64_t(bt) + sh < l0.GetHeight() &&
        sw < l0.GetWidth() && sh < l0.GetHeight()) {
      b.Fill(0);
      TRVRowTable rows;
      TRVIndexTable xs, ys;
      l0.RenderToTRVBitmapEx(&b, rows, xs, ys, nullptr, 0, 0, bw, bh, bl, bt, sw, sh, false, false, 255,
                             Filter, true, rvlNormal);
    }
  }
  TRVBitmap* alpha = b.AlphaBitmap();
  if (Layer.MagnifierShape == 0) {
    alpha->Fill(255);
  } else {
    alpha->Fill(0);
    for (int32_t y = 0; y < bh; ++y) {
      // The filled ellipse inside (0, 0, width - 1, height - 1).
      const double ry = (bh - 1) / 2.0, rx = (bw - 1) / 2.0;
      const double dy = ry > 0 ? (y + 0.5 - (bh - 1) / 2.0) / ry : 0;
      if (dy * dy > 1) continue;
      const double half = rx * std::sqrt(1 - dy * dy);
      const int32_t x1 = std::max(0, RoundInt((bw - 1) / 2.0 - half)),
                    x2 = std::min(bw - 1, RoundInt((bw - 1) / 2.0 + half));
      uint8_t* row = alpha->GetScanLine(y);
      for (int32_t x = x1; x <= x2; ++x) row[x] = 255;
    }
    alpha->Full = false;
  }
}

// ---------------------------------------------------------------- marks

void TRastovaView::DrawLayerBox(platform::TBitmap* Bitmap, int32_t Index) {
  if (FOnDrawLayerBox) {
    FOnDrawLayerBox(this, Bitmap, Index);
    return;
  }
  TRVLayer& l = *GetLayer(Index);
  platform::TCanvas& c = Bitmap->Canvas();
  c.Pen = FLayerBoxPen;
  c.Brush.Style = platform::bsClear;
  if (l.Rotation != 0) {
    const platform::TPoint p[4] = {{l.Corners[0].x, l.Corners[0].y},
                                   {l.Corners[1].x, l.Corners[1].y},
                                   {l.Corners[2].x, l.Corners[2].y},
                                   {l.Corners[3].x, l.Corners[3].y}};
    c.Polygon(p);
  } else {
    c.Rectangle(l.ScreenRect);
  }
}

void TRastovaView::DrawLayerGrips(platform::TBitmap* Bitmap, int32_t Index) {
  platform::TRect rects[9];
  GetLayerGripRects(Index, rects);
  if (FOnDrawLayerGrip) {
    for (int32_t g = 0; g < 9; ++g) FOnDrawLayerGrip(this, Bitmap, Index, g, rects[g]);
    return;
  }
  TRVCanvas c(Bitmap->Canvas(), true, true);
  c.Pen().SetStyle(platform::psSolid);
  c.Pen().SetMode(platform::pmCopy);
  c.Pen().SetColor(FLayersGripColor1);
  c.Pen().SetWidth(1);
  c.Brush().SetStyle(FLayersGripBrushStyle);
  c.Brush().SetColor(FLayersGripColor2);
  for (int32_t g = 0; g < 8; ++g) {
    if (FLayersGripShape == 0)
      c.Rectangle(rects[g]);
    else
      c.Ellipse(rects[g]);
  }
}

void TRastovaView::DrawLayerRotationCenter(platform::TBitmap* Bitmap, int32_t Index) {
  platform::TRect rects[9];
  GetLayerGripRects(Index, rects);
  TRVCanvas c(Bitmap->Canvas(), true, true);
  c.Pen().SetStyle(platform::psSolid);
  c.Pen().SetMode(platform::pmCopy);
  c.Pen().SetColor(FLayersGripColor1);
  c.Brush().SetStyle(FLayersGripBrushStyle);
  c.Brush().SetColor(FLayersGripColor2);
  c.Ellipse(rects[8]);
}

void TRastovaView::ShadeOutsideLayer(platform::TBitmap* Bitmap, int32_t Index) {
  TRVLayer& l = *GetLayer(Index);
  const platform::TRect r = l.ScreenRect;
  const int bpp = Bitmap->PixelFormat() == platform::pf24bit ? 3 : 4;
  for (int y = 0; y < Bitmap->Height(); ++y) {
    uint8_t* row = Bitmap->ScanLine(y);
    for (int x = 0; x < Bitmap->Width(); ++x) {
      const bool outside = x < r.Left || x > r.Right || y < r.Top || y > r.Bottom;
      if (outside && (x % 2) == (y % 2)) row[x * bpp] = row[x * bpp + 1] = row[x * bpp + 2] = 97;
    }
  }
}

void TRastovaView::DrawSelectionOverlays(platform::TBitmap* Bitmap) {
  if (!FShowSelection || !FSelectionPolygon || !FSelectionPolygon->Visible) return;
  TRVLayer* l = GetCurrentLayer();
  if (!l || FSelectionMask->IsEmpty()) return;
  const int32_t* d = l->DrawDest;
  const int32_t* s = l->DrawSource;
  if (FSelectionOptions & SelectionOption(rvsoFilled)) {
    // XOR through a painter on the bitmap's pixels.
    class TXorPainter : public TRVMaskPainter {
     public:
      explicit TXorPainter(platform::TBitmap& b)
          : b_(b), bpp_(b.PixelFormat() == platform::pf24bit ? 3 : 4) {}
      void PaintPixel(int32_t x, int32_t y, const TRGB& c) override {
        if (x < 0 || y < 0 || x >= b_.Width() || y >= b_.Height()) return;
        uint8_t* p = b_.ScanLine(y) + size_t(x) * bpp_;
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
      }
      void InvertPixel(int32_t x, int32_t y) override {
        if (x < 0 || y < 0 || x >= b_.Width() || y >= b_.Height()) return;
        uint8_t* p = b_.ScanLine(y) + size_t(x) * bpp_;
        p[0] = ~p[0];
        p[1] = ~p[1];
        p[2] = ~p[2];
      }

     private:
      platform::TBitmap& b_;
      int bpp_;
    } painter(*Bitmap);
    FSelectionMask->DrawXor(painter, d[0], d[1], d[2], d[3], s[0], s[1], s[2], s[3]);
  }
  if (FSelectionOptions & SelectionOption(rvsoMarkOuter))
    FSelectionMask->ShadeUnselectedArea(Bitmap, d[0], d[1], d[2], d[3], s[0], s[1], s[2], s[3],
                                        FMarkOuterOpacity, FMarkOuterColor);
}

void TRastovaView::DrawPixelGrid(platform::TBitmap* Bitmap) {
  TRVLayer* l = GetCurrentLayer();
  if (!FDisplayGrid || !l || !l->Visible) return;
  if (FZoomX < PixelGridMinZoom && FZoomY < PixelGridMinZoom) return;
  if (FBitmapWidth <= 1 && FBitmapHeight < 2) return;
  const int32_t* d = l->DrawDest;
  const int32_t* s = l->DrawSource;
  platform::TCanvas& c = Bitmap->Canvas();
  c.Pen = NotPen;
  if (s[2] > 0)
    for (int32_t i = 0; i <= s[2]; ++i) {
      const int32_t x = RoundInt(d[0] + static_cast<long double>(i) * d[2] / s[2]);
      c.MoveTo(x, d[1]);
      c.LineTo(x, d[1] + d[3]);
    }
  if (s[3] > 0)
    for (int32_t i = 0; i <= s[3]; ++i) {
      const int32_t y = RoundInt(d[1] + static_cast<long double>(i) * d[3] / s[3]);
      c.MoveTo(d[0], y);
      c.LineTo(d[0] + d[2], y);
    }
  if (FGridMarkX >= 0 && FGridMarkY >= 0) {
    TRVCanvas rc(c, true, true);
    rc.Pen().SetColor(platform::clRed);
    rc.Pen().SetWidth(2);
    rc.Pen().SetStyle(platform::psSolid);
    rc.Pen().SetMode(platform::pmCopy);
    rc.Brush().SetStyle(platform::bsClear);
    rc.RoundRect(l->ConvXBmp2Scr(FGridMarkX), l->ConvYBmp2Scr(FGridMarkY), l->ConvXBmp2Scr(FGridMarkX + 1),
                 l->ConvYBmp2Scr(FGridMarkY + 1), 5, 5);
  }
}

platform::TBitmap* TRastovaView::GetBackBufferBitmap() {
  return FBackBuffer ? FBackBuffer->BitmapView() : nullptr;
}

}  // namespace rv

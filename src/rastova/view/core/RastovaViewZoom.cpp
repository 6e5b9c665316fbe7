// The image view's zoom, origin, centring, automatic zoom, coordinate conversion, scroll bars
// and wheel. "Round" is to the nearest with halves to even, "Trunc" toward zero; both saturate.
#include <cmath>

#include "common/Round.h"
#include "rastova/view/RVWindowHelpers.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/transitions/RVTransitionEffects.h"

namespace rv {

using common::RoundInt;
using common::TruncInt;

namespace {

// Trunc of a size times a factor, kept in 32 bits.
int32_t ScaledSize(int64_t size, double factor) {
  return common::SaturateInt32(common::Trunc(static_cast<long double>(size) * factor));
}

}  // namespace

int32_t TRastovaView::GetViewWidth() { return HasParentWindow() ? ClientWidth() : 50; }

int32_t TRastovaView::GetViewHeight() { return HasParentWindow() ? ClientHeight() : 50; }

void TRastovaView::RecomputeZoomFactors() {
  FZoomFactorX = FZoomX / 100;
  FInvZoomX = 100 / FZoomX;
  FZoomFactorY = FZoomY / 100;
  FInvZoomY = 100 / FZoomY;
}

bool TRastovaView::ZoomAcceptableX(double Zoom) {
  return std::isfinite(Zoom) && Zoom > 0 &&
         static_cast<long double>(FBitmapWidth) * Zoom / 100 <= static_cast<long double>(kMaxZoomedSize);
}

bool TRastovaView::ZoomAcceptableY(double Zoom) {
  return std::isfinite(Zoom) && Zoom > 0 &&
         static_cast<long double>(FBitmapHeight) * Zoom / 100 <= static_cast<long double>(kMaxZoomedSize);
}

void TRastovaView::GetMaxViewXY(int32_t& MaxX, int32_t& MaxY) {
  int32_t w = ScaledSize(FBitmapWidth, FZoomFactorX);
  int32_t h = ScaledSize(FBitmapHeight, FZoomFactorY);
  const int32_t vw = GetViewWidth(), vh = GetViewHeight();
  const bool equal = FZoomX == FZoomY;
  if (!equal) {
    if (w > int64_t(vw) + 10) w = ScaledSize(int64_t(FBitmapWidth) + 1, FZoomFactorX);
    if (h > int64_t(vh) + 10) h = ScaledSize(int64_t(FBitmapHeight) + 1, FZoomFactorY);
  } else if ((w > int64_t(vw) + 10 || h > int64_t(vh) + 10) && FScrollBars != ssNone) {
    w = ScaledSize(int64_t(FBitmapWidth) + 1, FZoomFactorX);
    h = ScaledSize(int64_t(FBitmapHeight) + 1, FZoomFactorY);
  }
  MaxX = 0;
  MaxY = 0;
  if (w < 1 || h < 1) return;
  MaxX = w - vw;
  MaxY = h - vh;
  if (MaxX < 0 || XScr2Bmp(MaxX) == 0) MaxX = 0;
  if (MaxY < 0 || YScr2Bmp(MaxY) == 0) MaxY = 0;
  if (!equal) {
    if (w <= width()) MaxX = 0;
    if (h <= height()) MaxY = 0;
  } else if (w <= width() && h <= height()) {
    MaxX = 0;
    MaxY = 0;
  }
}

bool TRastovaView::HasScrollableArea() {
  int32_t mx = 0, my = 0;
  GetMaxViewXY(mx, my);
  return mx > 0 || my > 0;
}

void TRastovaView::ApplyZoom(double Zoom) {
  FSmoothScrollTimer.reset();
  const int32_t halfW = GetViewWidth() / 2, halfH = GetViewHeight() / 2;
  const int64_t cx = common::Round(static_cast<long double>(halfW + int64_t(FViewX) - FOffsetX) * FInvZoomX);
  const int64_t cy = common::Round(static_cast<long double>(halfH + int64_t(FViewY) - FOffsetY) * FInvZoomY);
  const int64_t newX = common::Trunc(static_cast<long double>(cx) * (Zoom / 100) - halfW);
  const int64_t newY = common::Trunc(static_cast<long double>(cy) * (Zoom / 100) - halfH);
  FZoomX = FZoomY = Zoom;
  RecomputeZoomFactors();
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  FViewX = newX > maxX ? maxX : static_cast<int32_t>(std::max<int64_t>(newX, 0));
  FViewY = newY > maxY ? maxY : static_cast<int32_t>(std::max<int64_t>(newY, 0));
}

void TRastovaView::ApplyZoomAxis(bool Vertical, double Zoom) {
  FSmoothScrollTimer.reset();
  const int32_t half = (Vertical ? GetViewHeight() : GetViewWidth()) / 2;
  int32_t& view = Vertical ? FViewY : FViewX;
  const int64_t centre =
      common::Round(static_cast<long double>(half + int64_t(view) - (Vertical ? FOffsetY : FOffsetX)) *
                    (Vertical ? FInvZoomY : FInvZoomX));
  const int64_t origin = common::Trunc(static_cast<long double>(centre) * (Zoom / 100) - half);
  (Vertical ? FZoomY : FZoomX) = Zoom;
  RecomputeZoomFactors();
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  const int32_t max = Vertical ? maxY : maxX;
  view = origin > max ? max : static_cast<int32_t>(std::max<int64_t>(origin, 0));
}

void TRastovaView::ApplyZoomX(double Zoom) { ApplyZoomAxis(false, Zoom); }

void TRastovaView::ApplyZoomY(double Zoom) { ApplyZoomAxis(true, Zoom); }

void TRastovaView::ArmCountdowns(bool zoomDiffers) {
  if (FDelayZoomFilter && FZoomFilter != rfNone && zoomDiffers) FDelayZoomCountdown = FDelayZoomTicks;
  FDelayScrollCountdown = FDelayScrollTicks;
}

// After a zoom change: two updates (the first may show or hide a scroll bar, which changes the
// view's size), then the source rectangle and the lookup tables.
void TRastovaView::RecomputeAfterZoom() {
  FUpdateReason = 2;
  Update();
  FUpdateReason = 2;
  Update();
  UpdateSourceRect();
  PrepareZoomTables();
}

void TRastovaView::SetZoom(double Zoom) {
  FSmoothScrollTimer.reset();
  DoViewChanging(2, Zoom);
  if (!ZoomAcceptableX(Zoom) || !ZoomAcceptableY(Zoom)) return;
  if (Zoom == FZoomX && Zoom == FZoomY) return;
  ArmCountdowns(FZoomX != 100 || FZoomY != 100);
  LockPaint();
  TRastovaView* navigator = FNavigator;
  if (navigator) navigator->LockPaint();
  ApplyZoom(Zoom);
  RecomputeAfterZoom();
  UnlockPaintNoRefresh();
  if (navigator) navigator->UnlockPaintNoRefresh();
  PaintControl();
  DoViewChange(1);
}

void TRastovaView::SetZoomAxis(bool Vertical, double Zoom) {
  FSmoothScrollTimer.reset();
  DoViewChanging(2, Zoom);
  const double current = Vertical ? FZoomY : FZoomX;
  if (!(Vertical ? ZoomAcceptableY(Zoom) : ZoomAcceptableX(Zoom)) || Zoom == current) return;
  ArmCountdowns(current != 100);
  LockPaint();
  if (Vertical)
    ApplyZoomY(Zoom);
  else
    ApplyZoomX(Zoom);
  RecomputeAfterZoom();
  UnlockPaintNoRefresh();
  PaintControl();
  DoViewChange(1);
}

void TRastovaView::SetZoomX(double Zoom) { SetZoomAxis(false, Zoom); }

void TRastovaView::SetZoomY(double Zoom) { SetZoomAxis(true, Zoom); }

void TRastovaView::ZoomAt(int32_t X, int32_t Y, bool Center, double Zoom) {
  TRastovaView* navigator = FNavigator;
  if (navigator) navigator->LockPaint();
  LockPaint();
  const int32_t bx = XScr2Bmp(X), by = YScr2Bmp(Y);
  SetZoom(Zoom);
  const double zf = FZoomX / 100;
  const int32_t halfW = GetViewWidth() / 2, halfH = GetViewHeight() / 2;
  int32_t newX, newY;
  if (Center) {
    newX = TruncInt(static_cast<long double>(bx) * zf - halfW);
    newY = TruncInt(static_cast<long double>(by) * zf - halfH);
  } else {
    newX = TruncInt(static_cast<long double>(bx) * zf - X + zf);
    newY = TruncInt(static_cast<long double>(by) * zf - Y + zf);
  }
  SetViewXY(newX, newY);
  UnlockPaint();
  UpdateSourceRect();
  PrepareZoomTables();
  if (navigator) {
    navigator->UnlockPaintNoRefresh();
    navigator->Invalidate();
  }
}

void TRastovaView::ZoomSelection(bool KeepAspect, bool FireZoomIn) {
  if (!FSelected) return;
  // The selection's bounds: the rectangle being dragged while a zoom rectangle ends, else the
  // mask's.
  const int32_t x1 = SelX1(), y1 = SelY1(), x2 = SelX2(), y2 = SelY2();
  if (x1 < 0 || y1 < 0) return;
  const int64_t w = int64_t(x2) - x1 + 1, h = int64_t(y2) - y1 + 1;
  if (w < 2 || h < 2) return;
  // The selection goes, its outline and grips with it.
  DeSelect();
  double z = std::min(height() / (h / 100.0), width() / (w / 100.0));
  if (FireZoomIn) DoZoomIn(z);
  if (KeepAspect) {
    SetZoom(z);
  } else {
    SetZoomX(width() / (w / 100.0));
    SetZoomY(height() / (h / 100.0));
  }
  const double zfx = FZoomX / 100, zfy = FZoomY / 100;
  SetViewXY(TruncInt(x1 * zfx) - (GetViewWidth() - TruncInt(w * zfx)) / 2,
            TruncInt(y1 * zfy) - (GetViewHeight() - TruncInt(h * zfy)) / 2);
}

void TRastovaView::GetBorderMargins(int32_t& MarginX, int32_t& MarginY, bool UseBorderX, bool UseBorderY) {
  switch (FBackgroundStyle) {
    case rvbsCropped:
      MarginX = EdgeWidth;
      MarginY = EdgeHeight;
      return;
    case rvbsCropShadow:
      MarginX = MarginY = 5;
      return;
    case rvbsSoftShadow:
      MarginX = MarginY = 9;
      return;
    default:
      break;
  }
  auto border = [this](bool x) {
    if (BorderStyle() == platform::bsNone) return 0;
    if (Ctl3D()) return x ? EdgeWidth : EdgeHeight;
    return x ? BorderWidth : BorderHeight;
  };
  MarginX = UseBorderX ? border(true) : (width() - GetViewWidth()) / 2;
  MarginY = UseBorderY ? border(false) : (height() - GetViewHeight()) / 2;
}

void TRastovaView::GetIdealZoomXY(double& ZoomX, double& ZoomY) {
  int32_t mx = 0, my = 0;
  GetBorderMargins(mx, my, true, true);
  ZoomX = (width() - 2.0 * mx) / (FBitmapWidth / 100.0);
  ZoomY = (height() - 2.0 * my) / (FBitmapHeight / 100.0);
}

double TRastovaView::GetIdealZoom() {
  double zx = 0, zy = 0;
  GetIdealZoomXY(zx, zy);
  return std::min(zx, zy);
}

double TRastovaView::ComputeAutoZoom(int32_t BitmapWidth, int32_t BitmapHeight, bool Shrink, bool Stretch,
                                     int32_t AvailHeight, int32_t AvailWidth) {
  if (BitmapWidth == 0 || BitmapHeight == 0 || AvailHeight == 0 || AvailWidth == 0) return 100;
  bool larger;
  if (double(BitmapWidth) / AvailWidth > double(BitmapHeight) / AvailHeight)
    larger = BitmapWidth > AvailWidth;
  else
    larger = BitmapHeight > AvailHeight;
  double z = 100;
  if (larger ? Shrink : Stretch) z = GetIdealZoom();
  return std::isfinite(z) ? z : 100;
}

void TRastovaView::AutoZoom() {
  DoViewChanging(2, FZoomX);
  int32_t mx = 0, my = 0;
  GetBorderMargins(mx, my, false, false);
  if (FBitmapWidth > 1 || FBitmapHeight > 1) {
    FZoomX = ComputeAutoZoom(FBitmapWidth, FBitmapHeight, FAutoShrink || FAutoFit, FAutoStretch || FAutoFit,
                             GetViewHeight() - 2 * my, GetViewWidth() - 2 * mx);
    FZoomY = FZoomX;
  } else {
    FZoomX = FZoomY = 100;
  }
  if (!(FZoomX >= 1)) FZoomX = 1;
  if (!(FZoomY >= 1)) FZoomY = 1;
  RecomputeZoomFactors();
  UpdateSourceRect();
  PrepareZoomTables();
  DoViewChange(1);
  FDelayZoomCountdown = 0;
  FDelayScrollCountdown = 0;
}

void TRastovaView::Fit() {
  if (FBitmapWidth == 0 || FBitmapHeight == 0) return;
  HideHScrollBar();
  HideVScrollBar();
  SetZoom(GetIdealZoom());
}

void TRastovaView::DoZoomIn(double& Zoom) {
  if (!FOnZoomIn) return;
  const TRVSelectionBase saved = FSelectionBase;
  FSelectionBase = FSavedSelectionBase;
  FOnZoomIn(this, Zoom);
  FSelectionBase = saved;
}

void TRastovaView::DoZoomOut(double& Zoom) {
  if (!FOnZoomOut) return;
  const TRVSelectionBase saved = FSelectionBase;
  FSelectionBase = FSavedSelectionBase;
  FOnZoomOut(this, Zoom);
  FSelectionBase = saved;
}

void TRastovaView::DoViewChange(int32_t Change) {
  if (FOnViewChange) FOnViewChange(this, Change);
  if (FNavigator && !FNavigatorSyncing) {
    FNavigator->Invalidate();
    SyncNavigator();
  }
}

void TRastovaView::DoViewChanging(int32_t Change, double NewValue) {
  if (FOnViewChanging) FOnViewChanging(this, Change, NewValue);
}

// ---------------------------------------------------------------- origin

void TRastovaView::SetViewXY(int32_t X, int32_t Y) {
  DoViewChanging(0, X);
  DoViewChanging(1, Y);
  if (X == FViewX && Y == FViewY) return;
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  const int32_t oldX = FViewX, oldY = FViewY;
  FViewX = X > maxX ? maxX : std::max(X, 0);
  FViewY = Y > maxY ? maxY : std::max(Y, 0);
  if (FViewX == oldX && FViewY == oldY) return;
  ArmCountdowns(FZoomX != 100 || FZoomY != 100);
  FBackBufferDirty = true;
  FRepaintAll = true;
  PaintControl();
  DoViewChange(0);
  if (FSelected) AnimateSelections(this, true);
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth)
    SetScrollBarPos(this, platform::SB_HORZ, TruncInt(FViewX / FHScrollUnit), true, FFlatScrollBars);
  if (FScrollBars == ssVertical || FScrollBars == ssBoth)
    SetScrollBarPos(this, platform::SB_VERT, TruncInt(FViewY / FVScrollUnit), true, FFlatScrollBars);
}

void TRastovaView::SetViewAxis(bool Vertical, int32_t V) {
  DoViewChanging(Vertical ? 1 : 0, V);
  int32_t& view = Vertical ? FViewY : FViewX;
  if (V == view) return;
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  const int32_t max = Vertical ? maxY : maxX;
  const int32_t old = view;
  view = V > max ? max : std::max(V, 0);
  if (view == old) return;
  ArmCountdowns(FZoomX != 100 || FZoomY != 100);
  FBackBufferDirty = true;
  FRepaintAll = true;
  PaintControl();
  DoViewChange(0);
  if (FSelected) AnimateSelections(this, true);
  if (Vertical && (FScrollBars == ssVertical || FScrollBars == ssBoth))
    SetScrollBarPos(this, platform::SB_VERT, TruncInt(FViewY / FVScrollUnit), true, FFlatScrollBars);
  if (!Vertical && (FScrollBars == ssHorizontal || FScrollBars == ssBoth))
    SetScrollBarPos(this, platform::SB_HORZ, TruncInt(FViewX / FHScrollUnit), true, FFlatScrollBars);
}

void TRastovaView::SetViewX(int32_t X) { SetViewAxis(false, X); }

void TRastovaView::SetViewY(int32_t Y) { SetViewAxis(true, Y); }

void TRastovaView::ScrollAxis(bool Vertical, int32_t Kind, int32_t Value) {
  const int32_t s = std::max(TruncInt(Vertical ? FZoomFactorY : FZoomFactorX), 1);
  const TRVScrollBarParams& p = Vertical ? *FVScrollParams : *FHScrollParams;
  const int64_t line = p.LineStep != -1 ? int64_t(s) * p.LineStep : s;
  const int64_t page =
      p.PageStep != -1 ? int64_t(s) * p.PageStep : (Vertical ? GetViewHeight() : GetViewWidth());
  const int64_t view = Vertical ? FViewY : FViewX;
  int32_t maxX = 0, maxY = 0;
  int64_t to = 0;
  switch (Kind) {
    case 0:
      to = Value;
      break;
    case 1:
      GetMaxViewXY(maxX, maxY);
      to = Vertical ? maxY : maxX;
      break;
    case 3:
      to = view + line;
      break;
    case 4:
      to = view - line;
      break;
    case 5:
      to = view + page;
      break;
    case 6:
      to = view - page;
      break;
    default:
      to = 0;
  }
  SetViewAxis(Vertical, common::SaturateInt32(to));
}

void TRastovaView::ScrollHorizontal(int32_t Kind, int32_t Value) { ScrollAxis(false, Kind, Value); }

void TRastovaView::ScrollVertical(int32_t Kind, int32_t Value) { ScrollAxis(true, Kind, Value); }

// ---------------------------------------------------------------- coordinates

int32_t TRastovaView::XScr2Bmp(int32_t X) {
  const int64_t d = int64_t(X) - FOffsetX;
  if (d >= 0 && d < FScrTableXLen && FScrToBmpXView) return FScrToBmpXView[d];
  return TruncInt(static_cast<long double>(d) * FInvZoomX + FSrcX);
}

int32_t TRastovaView::YScr2Bmp(int32_t Y) {
  const int64_t d = int64_t(Y) - FOffsetY;
  if (d >= 0 && d < FScrTableYLen && FScrToBmpYView) return FScrToBmpYView[d];
  return TruncInt(static_cast<long double>(d) * FInvZoomY + FSrcY);
}

int32_t TRastovaView::XBmp2Scr(int32_t X) {
  const int64_t d = int64_t(X) - FSrcX;
  if (d >= 0 && d < FBmpTableXLen && FBmpToScrXView &&
      FBmpToScrXView + d < FBmpToScrX.data() + FBmpToScrX.size())
    return common::SaturateInt32(int64_t(FBmpToScrXView[d]) + FOffsetX);
  const int64_t sx = common::Round(static_cast<long double>(SnapViewX(FViewX)) * FInvZoomX);
  return RoundInt(static_cast<long double>(X - sx) * FZoomFactorX + FOffsetX);
}

int32_t TRastovaView::YBmp2Scr(int32_t Y) {
  const int64_t d = int64_t(Y) - FSrcY;
  if (d >= 0 && d < FBmpTableYLen && FBmpToScrYView &&
      FBmpToScrYView + d < FBmpToScrY.data() + FBmpToScrY.size())
    return common::SaturateInt32(int64_t(FBmpToScrYView[d]) + FOffsetY);
  const int64_t sy = common::Round(static_cast<long double>(SnapViewY(FViewY)) * FInvZoomY);
  return RoundInt(static_cast<long double>(Y - sy) * FZoomFactorY + FOffsetY);
}

void TRastovaView::UpdateExtents() {
  FZoomedWidth = common::SaturateInt32(common::Round(static_cast<long double>(FBitmapWidth) * FZoomFactorX));
  FZoomedHeight =
      common::SaturateInt32(common::Round(static_cast<long double>(FBitmapHeight) * FZoomFactorY));
  FOffsetX = FOffsetY = 0;
  const int32_t vw = GetViewWidth(), vh = GetViewHeight();
  FExtentX = std::min(FZoomedWidth, vw);
  FExtentY = std::min(FZoomedHeight, vh);
  if (FCenter && FExtentX < vw) FOffsetX = (vw - FExtentX) / 2;
  if (FCenter && FExtentY < vh) FOffsetY = (vh - FExtentY) / 2;
}

void TRastovaView::UpdateSourceRect() {
  // One axis: source start and width in bitmap pixels, destination width in view pixels.
  auto axis = [](int32_t snapped, int32_t bitmapSize, int32_t zoomedSize, int32_t extent, double zoom,
                 double factor, int32_t& src, int32_t& srcSize, int32_t& dstSize) {
    if (zoomedSize == 0) return;
    const long double r = static_cast<long double>(bitmapSize) / zoomedSize;
    src = RoundInt(snapped * r);
    srcSize = RoundInt(extent * r);
    if (int64_t(src) + srcSize > bitmapSize) --srcSize;
    if (zoom > 100) {
      dstSize = TruncInt(static_cast<long double>(srcSize) * factor);
      if (dstSize < extent && int64_t(src) + srcSize + 1 <= bitmapSize) {
        ++srcSize;
        dstSize = TruncInt(static_cast<long double>(srcSize) * factor);
      }
    } else {
      dstSize = extent;
    }
  };
  axis(SnapViewX(FViewX), FBitmapWidth, FZoomedWidth, FExtentX, FZoomX, FZoomFactorX, FSrcX, FSrcWidth,
       FDstWidth);
  axis(SnapViewY(FViewY), FBitmapHeight, FZoomedHeight, FExtentY, FZoomY, FZoomFactorY, FSrcY, FSrcHeight,
       FDstHeight);
}

// ---------------------------------------------------------------- scroll bars

void TRastovaView::HideHScrollBar() {
  if (!FHScrollVisible) return;
  FHScrollVisible = false;
  ShowScrollBarEx(this, platform::SB_HORZ, false, FFlatScrollBars);
}

void TRastovaView::HideVScrollBar() {
  if (!FVScrollVisible) return;
  FVScrollVisible = false;
  ShowScrollBarEx(this, platform::SB_VERT, false, FFlatScrollBars);
}

void TRastovaView::WriteScrollBars(TScrollStyle Value) {
  FScrollBars = Value;
  if (Value != ssVertical && Value != ssBoth) HideVScrollBar();
  if (Value != ssHorizontal && Value != ssBoth) HideHScrollBar();
  FUpdateReason = 4;
  Update();
}

void TRastovaView::UpdateScrollBars() {
  const int32_t oldW = GetViewWidth(), oldH = GetViewHeight();
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  bool moved = false;
  if (FViewX > maxX) {
    DoViewChanging(0, maxX);
    FViewX = maxX;
    moved = true;
  }
  if (FViewY > maxY) {
    DoViewChanging(1, maxY);
    FViewY = maxY;
    moved = true;
  }
  if (moved) DoViewChange(0);
  try {
    // One bar: hidden when the image fits, else range 0..65535 in units of (view + max) / 65536.
    auto keepBar = [this](int32_t bar, int32_t max, int32_t viewSize, int32_t pos, bool& visible, double& unit) {
      visible = true;
      unit = (viewSize + double(max)) / 65536;
      SetScrollBarInfo(this, bar, 0, 65535, TruncInt(viewSize / unit), TruncInt(pos / unit), true, FFlatScrollBars);
      EnableScrollBarEx(this, bar, platform::ESB_ENABLE_BOTH, FFlatScrollBars);
      ShowScrollBarEx(this, bar, true, FFlatScrollBars);
    };
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) {
      if (maxX < 1)
        HideHScrollBar();
      else
        keepBar(platform::SB_HORZ, maxX, GetViewWidth(), FViewX, FHScrollVisible, FHScrollUnit);
    }
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) {
      if (maxY < 1)
        HideVScrollBar();
      else
        keepBar(platform::SB_VERT, maxY, GetViewHeight(), FViewY, FVScrollVisible, FVScrollUnit);
    }
  } catch (...) {
    // A failing scroll-bar call leaves the bars as they are.
  }
  if ((GetViewWidth() != oldW || GetViewHeight() != oldH) && !FNestedUpdate) {
    FNestedUpdate = true;
    try {
      Update();
    } catch (...) {
      FNestedUpdate = false;
      throw;
    }
    FNestedUpdate = false;
  }
}

// ---------------------------------------------------------------- wheel and messages

void TRastovaView::HandleMouseWheel(int32_t WheelDelta, int32_t X, int32_t Y, bool CtrlHeld) {
  const TRVMouseWheelParams& p = *FMouseWheelParams;
  if (p.Action == 0 || FAutoFit) return;
  int32_t d = WheelDelta < 1 ? 1 : -1;
  if (p.InverseDirection) d = -d;
  if (p.Action == 1) {
    int32_t maxX = 0, maxY = 0;
    GetMaxViewXY(maxX, maxY);
    const bool horizontal = CtrlHeld || (maxX > 0 && maxY == 0);
    const double factor = horizontal ? FZoomFactorX : FZoomFactorY;
    int64_t step;
    if (p.Variation == 0)
      step = int64_t(d) * p.Value * std::max(TruncInt(factor), 1);
    else if (p.Variation == 1)
      step = int64_t(d) *
             std::max(RoundInt((horizontal ? GetViewWidth() : GetViewHeight()) * double(p.Value) / 100), 1);
    else
      return;
    if (horizontal)
      SetViewX(common::SaturateInt32(FViewX + step));
    else
      SetViewY(common::SaturateInt32(FViewY + step));
  } else if (p.Action == 2) {
    double z = FZoomX;
    if (p.Variation == 0)
      z = FZoomX + double(d) * p.Value;
    else if (p.Variation == 1)
      z = FZoomX + double(d) * std::max(RoundInt(p.Value * FZoomX / 100), 1);
    else
      return;
    if (z > FZoomX)
      DoZoomIn(z);
    else if (z < FZoomX)
      DoZoomOut(z);
    if (p.ZoomAtMouse)
      ZoomAt(X, Y, false, z);
    else
      SetZoom(z);
  }
}

bool TRastovaView::MouseWheel(platform::TShiftState shift, int wheelDelta, platform::TPoint mousePos) {
  const bool handled = TRVView::MouseWheel(shift, wheelDelta, mousePos);
  if (FOnViewMouseWheel) {
    // A navigator's wheel may zoom its main view instead.
    bool taken = false;
    FOnViewMouseWheel(this, shift, wheelDelta, ScreenToClient(mousePos), taken);
    if (taken) return true;
  }
  // High-resolution wheels and touchpads report parts of a notch: they act once a whole notch
  // (120) has been summed, in its direction.
  FWheelRemainder += wheelDelta;
  const platform::TPoint p = ScreenToClient(mousePos);
  while (FWheelRemainder >= 120 || FWheelRemainder <= -120) {
    const int32_t notch = FWheelRemainder > 0 ? 120 : -120;
    FWheelRemainder -= notch;
    HandleMouseWheel(notch, p.X, p.Y, shift.Contains(platform::ssCtrl));
  }
  return handled;
}

void TRastovaView::Scroll(int32_t bar, int32_t code, int32_t pos) {
  TRVView::Scroll(bar, code, pos);
  const bool vertical = bar == platform::SB_VERT;
  const TRVScrollBarParams& params = vertical ? *FVScrollParams : *FHScrollParams;
  const double unit = vertical ? FVScrollUnit : FHScrollUnit;
  // The scroll kinds of the codes SB_LINEUP .. SB_BOTTOM (the thumb's codes give kind 0).
  static constexpr int32_t kKinds[8] = {4, 3, 6, 5, 0, 0, 2, 1};
  int32_t kind = 0, value = 0;
  if (code == platform::SB_THUMBTRACK && !params.Tracking) return;
  if (code == platform::SB_THUMBPOSITION || code == platform::SB_THUMBTRACK)
    value = RoundInt((pos & 0xFFFF) * unit);
  else if (code == platform::SB_ENDSCROLL)
    value = vertical ? FViewY : FViewX;
  else if (code >= 0 && code < 8)
    kind = kKinds[code];
  else
    return;
  if (vertical)
    ScrollVertical(kind, value);
  else
    ScrollHorizontal(kind, value);
}

void TRastovaView::Resize() {
  TRVView::Resize();
  if (FUpdating) return;
  if (FTransition) FTransition->Stop();
  FUpdateReason = 4;
  Update();
}

void TRastovaView::Enter() {
  TRVView::Enter();
  Invalidate();
}

void TRastovaView::Exit() {
  TRVView::Exit();
  Invalidate();
}

}  // namespace rv

// The image view's update and painting: Update recomputes and invalidates, PaintControl composes
// the back buffer when it is stale and copies the asked part into the window surface, then the
// selection marks, the version label and the hint; AnimateSelections marches the selection
// border and counts down the delayed, filtered repaint; the private messages of background work
// reach the view on the main thread.
#include <chrono>
#include <cstring>

#include "common/MainThreadQueue.h"
#include "common/Round.h"
#include "rastova/codecs/video/RVDirectShow.h"
#include "rastova/view/RVWindowHelpers.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/canvas/RVCanvasDrawing.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

namespace {

int64_t TickCount() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Writes mask-border pixels straight into a 32-bit surface, inside a clip box, and keeps the
// box of what it wrote.
class TSurfacePainter : public TRVMaskPainter {
 public:
  TSurfacePainter(platform::TBitmap& surface, const platform::TRect& clip) : s_(surface), clip_(clip) {
    clip_.Left = std::max(clip_.Left, 0);
    clip_.Top = std::max(clip_.Top, 0);
    clip_.Right = std::min(clip_.Right, surface.Width());
    clip_.Bottom = std::min(clip_.Bottom, surface.Height());
  }
  void PaintPixel(int32_t x, int32_t y, const TRGB& c) override {
    if (uint8_t* p = At(x, y)) {
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
    }
  }
  void InvertPixel(int32_t x, int32_t y) override {
    if (uint8_t* p = At(x, y)) {
      p[0] = static_cast<uint8_t>(~p[0]);
      p[1] = static_cast<uint8_t>(~p[1]);
      p[2] = static_cast<uint8_t>(~p[2]);
    }
  }
  // The part of the run inside the clip box, one row write.
  void PaintRun(int32_t x, int32_t y, int32_t count, const TRGB* colours) override {
    if (y < clip_.Top || y >= clip_.Bottom || count <= 0) return;
    const int32_t x0 = static_cast<int32_t>(std::max<int64_t>(x, clip_.Left));
    const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(int64_t(x) + count, clip_.Right));
    if (x0 >= x1) return;
    uint8_t* p = Mark(x0, y, x1);
    const TRGB* c = colours + (int64_t(x0) - x);
    for (int32_t i = x0; i < x1; ++i, p += 4, ++c) {
      p[0] = c->b;
      p[1] = c->g;
      p[2] = c->r;
    }
  }
  const platform::TRect& Written() const { return written_; }
  bool Any() const { return any_; }

 private:
  uint8_t* At(int32_t x, int32_t y) {
    if (x < clip_.Left || y < clip_.Top || x >= clip_.Right || y >= clip_.Bottom) return nullptr;
    return Mark(x, y, x + 1);
  }
  // Adds columns x0 .. x1 - 1 of row y to the written box; the address of (x0, y).
  uint8_t* Mark(int32_t x0, int32_t y, int32_t x1) {
    if (!any_) {
      written_ = platform::Rect(x0, y, x1, y + 1);
      any_ = true;
    } else {
      written_.Left = std::min(written_.Left, x0);
      written_.Top = std::min(written_.Top, y);
      written_.Right = std::max(written_.Right, x1);
      written_.Bottom = std::max(written_.Bottom, y + 1);
    }
    return s_.Bits() + static_cast<size_t>(y) * s_.BytesPerLine() + static_cast<size_t>(x0) * 4;
  }

  platform::TBitmap& s_;
  platform::TRect clip_;
  platform::TRect written_;
  bool any_ = false;
};

}  // namespace

void TRastovaView::Update() {
  if (FUpdateLock > 0 || FDestroying) return;
  const bool wasUpdating = FUpdating;
  FUpdating = true;
  struct TFinish {
    TRastovaView& V;
    bool Was;
    ~TFinish() {
      V.FUpdateReason = 0;
      V.FUpdating = Was;
    }
  } finish{*this, wasUpdating};
  if (FLayerCacheToFree == -1) {
    for (const auto& l : FLayers) l->MaskedAlphaCache.reset();
  } else if (FLayerCacheToFree < GetLayersCount() && FLayerCacheToFree >= 0) {
    FLayers[size_t(FLayerCacheToFree)]->MaskedAlphaCache.reset();
  }
  FLayerCacheToFree = -1;
  LayersSyncSize();
  if ((FAutoFit || FAutoShrink || FAutoStretch) && FBitmapWidth != 0 && FBitmapHeight != 0) AutoZoom();
  if (FRVBitmap &&
      (FRVBitmap->GetWidth() != FLastBitmapWidth || FRVBitmap->GetHeight() != FLastBitmapHeight)) {
    FLastBitmapWidth = FRVBitmap->GetWidth();
    FLastBitmapHeight = FRVBitmap->GetHeight();
    if (FSelectionMask->Width() != FLastBitmapWidth || FSelectionMask->Height() != FLastBitmapHeight) {
      if (!FSelectionMask->IsEmpty()) {
        FSelectionMask->Resize(FLastBitmapWidth, FLastBitmapHeight);
        FSelectionMask->CheckFull();
        FSelectionMask->RecomputeBounds();
      } else {
        FSelectionMask->AllocateBits(FLastBitmapWidth, FLastBitmapHeight, FSelectionMaskDepth);
      }
    }
    if (FRVBitmap->HasAlphaBitmap()) {
      TRVBitmap* a = FRVBitmap->AlphaBitmap();
      if (a->GetWidth() != FLastBitmapWidth || a->GetHeight() != FLastBitmapHeight) {
        a->Allocate(FLastBitmapWidth, FLastBitmapHeight, rv8g);
        a->Fill(255);
      }
    }
  }
  if (HasParentWindow()) UpdateScrollBars();
  UpdateExtents();
  FBackBufferDirty = true;
  FRepaintAll = true;
  if (HasParentWindow() && FInvalidateOnUpdate) Invalidate();
  if (FNavigator && FNavigator->FPaintLock == 0) {
    if (FUpdateReason == 0) FNavigator->Update();
    FNavigator->Invalidate();
  }
}

uintptr_t TRastovaView::GetWindowHandle() {
  const uintptr_t handle = OwnerWindowHandle(this);
  return handle ? handle : static_cast<uintptr_t>(window()->winId());
}

TRVDirectShow* TRastovaView::RunningVideo() {
  if (!FIO) return nullptr;
  TRVDirectShow* video = FIO->GetDShowParams();
  return video && video->GetConnected() && video->IsRunning() ? video : nullptr;
}

void TRastovaView::Paint() {
  // A running video repaints its current frame first.
  if (TRVDirectShow* video = RunningVideo()) video->RepaintVideo(GetWindowHandle(), 0);
  PaintControl();
}

void TRastovaView::PaintControl() {
  if (!HasParentWindow() || GetViewWidth() == 0 || GetViewHeight() == 0) return;
  const int32_t vw = GetViewWidth(), vh = GetViewHeight();
  try {
    if (FPaintLock == 0) {
      platform::TRect r = platform::Rect(0, 0, vw, vh);
      if (!FRepaintAll) {
        r = Canvas().ClipRect();
        if (r.Right == 0) r.Right = vw;
        if (r.Bottom == 0) r.Bottom = vh;
      }
      PaintBackBuffer(r);
      if (FOnDrawCanvas) FOnDrawCanvas(this, Canvas(), platform::Rect(0, 0, vw, vh));
    }
    FRepaintAll = false;
    if (!FMovingRectSelection) AnimateSelections(this, false);
    if (FOnPaint) FOnPaint(this);
  } catch (...) {
    // A failing paint leaves the window as it is; the label and the hint still come.
  }
  if (FDrawVersion) DrawVersionLabel();
  if (!FHintText.empty() && FEnableInteractionHints) {
    int32_t x = FHintX, y = FHintY;
    DrawTranslucentTextHint(Canvas(), x, y, FHintText, FHintText2);
  }
  // The video's place: the current layer's visible source over its rectangle on screen.
  if (TRVDirectShow* video = RunningVideo()) {
    int32_t w = 0, h = 0;
    video->GetNativeVideoSize(w, h);
    TRVLayer* l = GetCurrentLayer();
    if (l && w > 0 && h > 0) {
      const double sx = double(l->Bitmap->GetWidth()) / w, sy = double(l->Bitmap->GetHeight()) / h;
      const int32_t* s = l->DrawSource;
      const platform::TRect source =
          platform::Rect(common::TruncInt(s[0] / sx), common::TruncInt(s[1] / sy),
                         common::TruncInt((s[0] + s[2]) / sx), common::TruncInt((s[1] + s[3]) / sy));
      video->SetVideoPosition(source, l->ScreenRect);
    }
  }
  if (FHasOwner && FCursorPending) {
    WriteCursor(FCursor);
    FCursorPending = false;
  }
}

void TRastovaView::PaintBackBuffer(const platform::TRect& R) {
  if (!HasParentWindow()) return;
  const int32_t vw = GetViewWidth(), vh = GetViewHeight();
  if (FBackBuffer->GetWidth() != vw || FBackBuffer->GetHeight() != vh) {
    FBackBuffer->Allocate(vw, vh, rv24RGB);
    FBackBufferRows.clear();
    FBackBufferDirty = true;
  }
  if (FBackBufferDirty) {
    if (FBackBufferRows.size() != size_t(vh)) {
      FBackBufferRows.resize(size_t(vh));
      for (int32_t y = 0; y < vh; ++y) FBackBufferRows[size_t(y)] = FBackBuffer->GetScanLine(y);
    }
    DrawLayersTo(FBackBuffer.get(), &FBackBufferRows, true, true, &R);
    if (FOnDrawBackBuffer) FOnDrawBackBuffer(this);
    FBackBufferDirty = false;
  }
  FDrawDibInfo = TDrawDibInfo{};
  FDrawDibInfo.biSize = 40;
  FDrawDibInfo.biWidth = vw;
  FDrawDibInfo.biHeight = vh;
  FDrawDibInfo.biPlanes = 1;
  FDrawDibInfo.biBitCount = FBackBuffer->GetPixelFormat() == rv1g ? 1 : 24;
  if (FDrawDibInfo.biBitCount == 1) FDrawDibInfo.Palette[1] = 0xFFFFFF;
  // This platform's screens are of 24 or 32 bits: the copy is the plain one, or the navigator's.
  if (FIsNavigator && (FNavigatorOptions & 2))
    PaintNavigatorShade(R);
  else
    CopyBackBufferToSurface(*FBackBuffer, R);
  // A new window is registered with the video object again.
  const uintptr_t window = OwnerWindowHandle(this);
  if (FLastPaintWindow != 0 && window != FLastPaintWindow && FIO) FIO->SyncDirectShowWindow();
  FLastPaintWindow = window;
}

namespace {

typedef uint8_t TViewBytes16 __attribute__((vector_size(16)));

// One row of n 24-bit pixels into 32-bit ones (the fourth byte 255).
__attribute__((always_inline)) inline void ExpandRowBody(const uint8_t* s, uint32_t* d, int32_t n) {
  int32_t x = 0;
  const TViewBytes16 opaque = TViewBytes16{} + 255;
  // Four pixels from each 16-byte load, as long as the load stays inside the row.
  for (; x + 6 <= n; x += 4) {
    TViewBytes16 in;
    std::memcpy(&in, s + size_t(x) * 3, 16);
    const TViewBytes16 out =
        __builtin_shufflevector(in, opaque, 0, 1, 2, 16, 3, 4, 5, 16, 6, 7, 8, 16, 9, 10, 11, 16);
    std::memcpy(d + x, &out, 16);
  }
  for (; x < n; ++x) {
    const uint8_t* p = s + size_t(x) * 3;
    d[x] = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | 0xFF000000u;
  }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void ExpandRowAvx2(const uint8_t* s, uint32_t* d, int32_t n) {
  ExpandRowBody(s, d, n);
}
#endif

void ExpandRow(const uint8_t* s, uint32_t* d, int32_t n) {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return ExpandRowAvx2(s, d, n);
#endif
  // Without the byte shuffle: four source bytes at a time; the last pixels by bytes.
  int32_t x = 0;
  for (; x + 1 < n; ++x) {
    uint32_t v;
    std::memcpy(&v, s + size_t(x) * 3, 4);
    d[x] = v | 0xFF000000u;
  }
  for (; x < n; ++x) {
    const uint8_t* p = s + size_t(x) * 3;
    d[x] = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | 0xFF000000u;
  }
}

}  // namespace

void TRastovaView::CopyBackBufferToSurface(TRVBitmap& Source, const platform::TRect& R) {
  platform::TBitmap& surface = Surface();
  const int32_t left = std::max(R.Left, 0), top = std::max(R.Top, 0);
  const int32_t right = std::min({R.Right, Source.GetWidth(), surface.Width()});
  const int32_t bottom = std::min({R.Bottom, Source.GetHeight(), surface.Height()});
  if (left >= right || top >= bottom) return;
  for (int32_t y = top; y < bottom; ++y)
    ExpandRow(Source.GetScanLine(y) + size_t(left) * 3,
              reinterpret_cast<uint32_t*>(surface.Bits() + size_t(y) * surface.BytesPerLine()) + left,
              right - left);
  SurfaceChanged(platform::Rect(left, top, right, bottom));
}

void TRastovaView::PaintNavigatorShade(const platform::TRect& R) {
  const int32_t vw = GetViewWidth(), vh = GetViewHeight();
  if (!FNavigatorBuffer) {
    FNavigatorBuffer = std::make_unique<TRVBitmap>(vw, vh, rv24RGB);
    FNavigatorBuffer->SetLocation(rvTBitmap);
  }
  if (FNavigatorBuffer->GetWidth() != vw || FNavigatorBuffer->GetHeight() != vh)
    FNavigatorBuffer->Allocate(vw, vh, rv24RGB);
  const int32_t left = std::max(R.Left, 0), top = std::max(R.Top, 0);
  const int32_t right = std::min(R.Right, vw), bottom = std::min(R.Bottom, vh);
  for (int32_t y = top; y < bottom; ++y)
    if (right > left)
      std::memcpy(FNavigatorBuffer->GetScanLine(y) + size_t(left) * 3,
                  FBackBuffer->GetScanLine(y) + size_t(left) * 3, size_t(right - left) * 3);
  if (TRVLayer* l = GetCurrentLayer()) {
    if (platform::TBitmap* b = FNavigatorBuffer->BitmapView()) {
      const platform::TRect& s = l->ScreenRect;
      ShadeOutsideRect(b->Canvas(), s.Left, s.Top, s.Right - s.Left, s.Bottom - s.Top,
                       FSelectionScreenRect.Left, FSelectionScreenRect.Top, FSelectionScreenRect.Right,
                       FSelectionScreenRect.Bottom);
    }
  }
  CopyBackBufferToSurface(*FNavigatorBuffer, R);
}

void TRastovaView::DrawVersionLabel() {
  platform::TCanvas& c = Canvas();
  c.Font.Name = "Arial";
  c.Font.SetHeight(13);
  c.Font.Color = platform::clBlack;
  c.Brush.Style = platform::bsSolid;
  c.Brush.Color = platform::clWhite;
  const std::string text = std::string("Rastova Version ") + RastovaVersion() + " - " + std::to_string(5) +
                           "/" + std::to_string(9) + "/" + std::to_string(2010);
  const platform::TSize size = c.TextExtent(text);
  c.TextOut(GetViewWidth() - size.cx, GetViewHeight() - size.cy, text);
}

void TRastovaView::DrawMaskBorder(TRVSelectionPolygon& Record) {
  (void)Record;
  TRVLayer* l = GetCurrentLayer();
  if (!l) return;
  const int64_t start = TickCount();
  TSurfacePainter painter(Surface(), platform::Rect(0, 0, GetViewWidth(), GetViewHeight()));
  TRVMask::TRect rect;
  const int32_t* d = l->DrawDest;
  const int32_t* s = l->DrawSource;
  FSelectionMask->DrawSelectionBorder(painter, d[0], d[1], d[2], d[3], s[0], s[1], s[2], s[3],
                                      FSelectionAnimPhase, FSelectionColor2, FSelectionColor1, &rect);
  FSelectionScreenRect = platform::Rect(rect.left, rect.top, rect.right, rect.bottom);
  if (painter.Any()) SurfaceChanged(painter.Written());
  const int64_t elapsed = TickCount() - start;
  if (FAnimationLoad < 0 && (FHasOwner || HasParentWindow())) {
    EnsureAnimTimer();
    const int64_t interval = elapsed * 100 / -int64_t(FAnimationLoad);
    FAnimTimer->SetInterval(static_cast<int>(std::clamp<int64_t>(interval, 210, INT32_MAX)));
  }
}

void TRastovaView::AnimateSelections(void* Sender, bool OnlyUnlocked) {
  (void)OnlyUnlocked;  // the platform's canvas is never locked by another thread
  if (!HasParentWindow() || !FShowSelection) return;
  const bool fromTimer = FAnimTimer && Sender == static_cast<void*>(FAnimTimer.get());
  const bool busy =
      FRectSelecting || FPolySelecting || FCircleSelecting || FSelectionGrip != 0 || FSelectionMove == 0;
  bool animated = false;
  for (const auto& record : FSelectionPolygons) {
    if (!record->Visible) continue;
    if (record->Animated) {
      animated = true;
      if (fromTimer && !busy) {
        record->Counter = (record->Counter + 1) % 10;
        ++FSelectionAnimPhase;
      }
    }
    if (Canvas().ClipRect().Right <= Canvas().ClipRect().Left || FPaintLock > 0 || FSelectionDrawingSuspended)
      continue;
    if (record.get() == FSelectionPolygon && !FSelectionMask->IsEmpty() && FSelectionGrip == 0 &&
        !FRectSelecting && !FCircleSelecting && !FPolySelecting && !FMovingRectSelection) {
      if (FHideSelectionWhileScrolling && FDelayScrollCountdown > 0) continue;
      DrawMaskBorder(*record);
    } else {
      DrawPolygonBorder(*record);
    }
    if (record->Sizeable && IsPolygonRectangle(record.get()) && !FRectSelecting && FSelectionMove != 0)
      DrawSelectionGrips(*record);
  }
  if (FHasOwner || HasParentWindow()) {
    EnsureAnimTimer();
    FAnimTimer->SetEnabled(FDelayZoomCountdown > 0 || FDelayScrollCountdown > 0 || animated);
  }
  if (FDelayZoomCountdown > 0) {
    --FDelayZoomCountdown;
    if (FDelayZoomCountdown == 0) Update();
  }
  if (FDelayScrollCountdown > 0) --FDelayScrollCountdown;
}

void TRastovaView::AnimationTimerTick() { AnimateSelections(FAnimTimer.get(), true); }

void TRastovaView::DrawGrid(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (FSelectionGridSize < 2) return;
  OrderRectCorners(X1, Y1, X2, Y2);
  platform::TCanvas& c = Canvas();
  c.Pen.Color = 0xA0A0A0;
  c.Pen.Mode = platform::pmCopy;
  c.Pen.Style = platform::psSolid;
  c.Pen.Width = 1;
  for (int32_t i = 1; i < FSelectionGridSize; ++i) {
    const int32_t y = Y1 + common::TruncInt(static_cast<long double>(i) * (int64_t(Y2) - Y1) / FSelectionGridSize);
    c.MoveTo(X1, y);
    c.LineTo(X2, y);
    const int32_t x = X1 + common::TruncInt(static_cast<long double>(i) * (int64_t(X2) - X1) / FSelectionGridSize);
    c.MoveTo(x, Y1);
    c.LineTo(x, Y2);
  }
}

void TRastovaView::HandleViewMessage(uint32_t Msg, intptr_t WParam) {
  switch (Msg) {
    case RVM_UPDATE:
      Update();
      break;
    case RVM_PROGRESS:
      if (FOnProgress) FOnProgress(this, static_cast<int32_t>(WParam));
      break;
    case RVM_FINISHWORK:
      if (FOnFinishWork) FOnFinishWork(this);
      break;
    default:
      break;
  }
}

void TRastovaView::PostViewMessage(uint32_t Msg, intptr_t WParam) {
  std::shared_ptr<TAliveToken> token = FAlive;
  common::TMainThreadQueue::Instance().Post([token, Msg, WParam] {
    if (token->View) token->View->HandleViewMessage(Msg, WParam);
  });
}

}  // namespace rv

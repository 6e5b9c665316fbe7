#include "rastova/view/transitions/RVTransitionEffects.h"

#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/Random.h"
#include "common/Round.h"
#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVResample.h"
#include "rastova/view/background/RVViewBackground.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/transitions/TransitionEffects.h"

namespace rv {

namespace testing {
bool TransitionWideRows = true;
}  // namespace testing

using platform::Bounds;
using platform::TBitmap;
using platform::TRect;

namespace {

uint32_t MonotonicMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int32_t Rnd(double v) { return common::RoundInt(v); }

void Copy(TBitmap& to, TBitmap& from, const TRect& r) {
  to.Canvas().CopyMode = platform::cmSrcCopy;
  to.Canvas().CopyRect(r, from.Canvas(), r);
}

void DrawAt(TBitmap& to, const TBitmap& picture, int32_t x, int32_t y) {
  to.Canvas().CopyMode = platform::cmSrcCopy;
  to.Canvas().Draw(x, y, picture);
}

// One row of the fades: out = (a x wa + b x wb) >> 10 for every byte (wa + wb = 1024). The
// vector form multiplies byte pairs (a, b) by the weight pair in 32-bit sums, the same integers.
void CrossFadeRowPlain(uint8_t* out, const uint8_t* a, const uint8_t* b, int32_t from, int32_t n, int32_t wa,
                       int32_t wb) {
  for (int32_t i = from; i < n; ++i)
    out[i] = static_cast<uint8_t>((uint32_t(a[i]) * uint32_t(wa) + uint32_t(b[i]) * uint32_t(wb)) >> 10);
}

__attribute__((target("avx2"))) void CrossFadeRowWide(uint8_t* out, const uint8_t* a, const uint8_t* b, int32_t n,
                                                      int32_t wa, int32_t wb) {
  const __m256i w = _mm256_set1_epi32(static_cast<int32_t>((uint32_t(wb) << 16) | uint32_t(wa)));
  const __m256i zero = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
    const __m256i lo = _mm256_unpacklo_epi8(va, vb), hi = _mm256_unpackhi_epi8(va, vb);
    const __m256i s0 = _mm256_srli_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), w), 10);
    const __m256i s1 = _mm256_srli_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), w), 10);
    const __m256i s2 = _mm256_srli_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), w), 10);
    const __m256i s3 = _mm256_srli_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), w), 10);
    // The packs undo the interleaving within each 128-bit lane, so the bytes come out in order.
    const __m256i p = _mm256_packus_epi16(_mm256_packs_epi32(s0, s1), _mm256_packs_epi32(s2, s3));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), p);
  }
  CrossFadeRowPlain(out, a, b, i, n, wa, wb);
}

void CrossFadeRow(uint8_t* out, const uint8_t* a, const uint8_t* b, int32_t n, int32_t wa, int32_t wb) {
  static const bool wide = __builtin_cpu_supports("avx2");
  if (wide && testing::TransitionWideRows)
    CrossFadeRowWide(out, a, b, n, wa, wb);
  else
    CrossFadeRowPlain(out, a, b, 0, n, wa, wb);
}

void RedLine(TBitmap& frame, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  platform::TCanvas& c = frame.Canvas();
  c.Pen.Color = 255;
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

}  // namespace

TRVTransitionEffects::TRVTransitionEffects(TRastovaView* Owner)
    : TickCount(MonotonicMilliseconds), FOwner(Owner) {
  FSourceBitmap = std::make_unique<TBitmap>(1, 1, platform::pf24bit);
  FTargetBitmap = std::make_unique<TBitmap>(1, 1, platform::pf24bit);
  FFrameBitmap = std::make_unique<TBitmap>(1, 1, platform::pf24bit);
  FTimer = std::make_unique<platform::TTimer>();
  FTimer->SetEnabled(false);
  FTimer->SetInterval(1);
  FTimer->OnTimer = [this](platform::TTimer* Sender) { TimerStep(Sender); };
}

TRVTransitionEffects::~TRVTransitionEffects() = default;

bool TRVTransitionEffects::Begin(uint8_t Code, int32_t Duration, TRVTransitionTiming Timing) {
  const int32_t w = FOwner->ClientWidth(), h = FOwner->ClientHeight();
  if (FRunning || Code == 0 || Code > 214 || w <= 0 || h <= 0) return false;
  FTransition = Code;
  FDuration = std::max(Duration, 0);
  FTiming = Timing;
  FWidth = w;
  FHeight = h;
  for (TBitmap* b : {FSourceBitmap.get(), FTargetBitmap.get(), FFrameBitmap.get()}) {
    b->SetPixelFormat(platform::pf24bit);
    b->SetSize(w, h);
  }
  return true;
}

bool TRVTransitionEffects::Start(uint8_t Code, const TBitmap& SourcePicture, const TBitmap& TargetPicture,
                                 int32_t Duration, TRVTransitionTiming Timing) {
  if (Code == 213 || !Begin(Code, Duration, Timing)) return false;
  DrawAt(*FSourceBitmap, SourcePicture, 0, 0);
  DrawAt(*FTargetBitmap, TargetPicture, 0, 0);
  FPanZoomSource = nullptr;
  FSourceRows.clear();
  FTargetRows.clear();
  FFrameRows.clear();
  for (int32_t y = 0; y < FHeight; ++y) {
    FSourceRows.push_back(FSourceBitmap->ScanLine(y));
    FTargetRows.push_back(FTargetBitmap->ScanLine(y));
    FFrameRows.push_back(FFrameBitmap->ScanLine(y));
  }
  FFrameBitmap->Assign(*FSourceBitmap);
  FStep = 0;
  FRandomDone = 0;
  FStartTick = TickCount();
  FOwner->LockPaint();
  FRunning = true;
  FTimer->SetEnabled(true);
  return true;
}

bool TRVTransitionEffects::StartPanZoom(TRVBitmap* Image, const TRect& StartRect, const TRect& EndRect,
                                        int32_t Duration, TRVTransitionTiming Timing) {
  if (!Image || Image->GetWidth() <= 0 || Image->GetHeight() <= 0 || !Begin(213, Duration, Timing))
    return false;
  FPanZoomSource = Image;
  FStartRect = StartRect;
  FEndRect = EndRect;
  FSourceRows.clear();
  FTargetRows.clear();
  FFrameRows.clear();
  for (int32_t y = 0; y < FHeight; ++y) FFrameRows.push_back(FFrameBitmap->ScanLine(y));
  FStep = 0;
  FRandomDone = 0;
  FStartTick = TickCount();
  FOwner->LockPaint();
  FRunning = true;
  FTimer->SetEnabled(true);
  return true;
}

void TRVTransitionEffects::Stop() {
  if (!FRunning || FTransition == 0) return;
  FTimer->SetEnabled(false);
  FRunning = false;
  FFrameBitmap->SetSize(1, 1);
  FSourceBitmap->SetSize(1, 1);
  FTargetBitmap->SetSize(1, 1);
  // The row addresses went with the pixels: none may outlive them.
  FSourceRows.clear();
  FTargetRows.clear();
  FFrameRows.clear();
  FOwner->UnlockPaintNoRefresh();
  if (FUpdateOnStop) FOwner->Update();
  if (FOnTransitionStop) FOnTransitionStop(FOwner);
}

int32_t TRVTransitionEffects::StepFor(uint32_t Elapsed) const {
  if (FDuration <= 0) return 1024;
  const double r = static_cast<double>(Elapsed) / FDuration;
  double v;
  switch (FTiming) {
    case rvttLinear:
      v = r * 1024;
      break;
    case rvttExponential:
      v = std::exp(5 * r - 2.718) / 10 * 1024;
      break;
    case rvttLogarithmic:
      v = (std::log(10 * r) + 2.718) / 5 * 1024;
      break;
    default:
      return FStep;
  }
  // Below r of about 0.0066 the logarithm goes negative (at 0 it is minus infinity).
  return std::clamp(common::TruncInt(v), 0, 1024);
}

void TRVTransitionEffects::ToSurface(TBitmap& Bitmap) {
  platform::TCanvas& surface = FOwner->GetCanvas();
  surface.CopyMode = platform::cmSrcCopy;
  surface.CopyRect(Bounds(0, 0, FWidth, FHeight), Bitmap.Canvas(), Bounds(0, 0, FWidth, FHeight));
}

void TRVTransitionEffects::TimerStep(platform::TTimer* /*Sender*/) {
  if (!FRunning) return;
  // A handler may end the transition (Stop, the view's Clear, a resize of the view): the bitmaps
  // are then 1 x 1 and the row tables empty, so the rest of the tick has nothing to draw on. A
  // handler that starts the next one leaves the engine running with whole tables.
  if (FOnTransitionStep) {
    FOnTransitionStep(FOwner, FStep);
    if (!FRunning) return;
  }
  ++FFrameCount;
  DrawFrame();
  ToSurface(*FFrameBitmap);
  if (FOnTransitionPaint) {
    FOnTransitionPaint(FOwner, FFrameBitmap.get(), this, FStep);
    if (!FRunning) return;
  }
  const uint32_t elapsed = TickCount() - FStartTick;
  if (FDuration <= 0 || elapsed >= static_cast<uint32_t>(FDuration)) {
    if (FUpdateOnStop && FTransition != 213) {
      ToSurface(*FTargetBitmap);
      if (FOnTransitionPaint) FOnTransitionPaint(FOwner, FTargetBitmap.get(), this, 1024);
    }
    Stop();
    return;
  }
  FStep = StepFor(elapsed);
}

void TRVTransitionEffects::DrawFrame() {
  const int32_t s = FStep;
  if (FTransition >= 1 && FTransition <= 30) return DrawBuiltIn();
  if (FTransition == 213) return PanZoom(s);
  if (s == 0) {
    FFrameBitmap->Assign(*FSourceBitmap);
    return;
  }
  const TEffect& effect = TransitionEffects[FTransition - 1];
  if (!effect.Proc) return;
  FFrameBitmap->Canvas().StretchMode = platform::smHalftone;
  effect.Proc(FFrameBitmap->Canvas(), *FSourceBitmap, *FTargetBitmap, Bounds(0, 0, FWidth, FHeight), 1,
              Rnd(s / 1024.0 * 100));
}

// Fades: every byte weighted in 10-bit fixed point, from the Source (fade out) or to the Target
// (fade in) against the view's background colour, or from the Source to the Target.
void TRVTransitionEffects::Blend(int32_t s, bool fadeOut, bool fadeIn) {
  const platform::TColor bg = platform::ColorToRGB(FOwner->Background());
  const int32_t back[3] = {platform::GetBValue(bg), platform::GetGValue(bg), platform::GetRValue(bg)};
  // out = (a x wa + b x wb) shift 10, with the background as a constant where it takes part.
  const int32_t wb = fadeOut ? 1024 - s : s, wa = 1024 - wb;
  // Against the background, the "a" row is a row of the background colour.
  std::vector<uint8_t> backRow;
  if (fadeOut || fadeIn) {
    backRow.resize(static_cast<size_t>(FWidth) * 3);
    for (size_t i = 0; i < backRow.size(); ++i) backRow[i] = static_cast<uint8_t>(back[i % 3]);
  }
  for (int32_t y = 0; y < FHeight; ++y) {
    const uint8_t* b = fadeOut ? FSourceRows[y] : FTargetRows[y];
    const uint8_t* a = backRow.empty() ? FSourceRows[y] : backRow.data();
    CrossFadeRow(FFrameRows[y], a, b, FWidth * 3, wa, wb);
  }
}

// Pushes and slides out, codes 17 to 24, row by row.
void TRVTransitionEffects::RowEffect(int32_t s) {
  const int32_t W = FWidth, H = FHeight, code = FTransition;
  auto put = [](uint8_t* to, const uint8_t* from, int32_t first, int32_t count) {
    if (count > 0) std::memcpy(to, from + 3 * static_cast<size_t>(first), 3 * static_cast<size_t>(count));
  };
  if (code <= 20) {
    const int32_t c = code <= 18 ? (s * W) >> 10 : ((1024 - s) * W) >> 10;
    for (int32_t y = 0; y < H; ++y) {
      uint8_t* out = FFrameRows[y];
      const uint8_t *src = FSourceRows[y], *tgt = FTargetRows[y];
      const uint8_t* first = code == 17 || code == 18 ? tgt : src;
      const uint8_t* second = code == 17 || code == 18 ? src : tgt;
      put(out, first, code == 17 || code == 19 ? W - c : 0, c);
      put(out + 3 * static_cast<size_t>(c), second, 0, W - c);
    }
    return;
  }
  const size_t row = static_cast<size_t>(FFrameBitmap->BytesPerLine());
  const int32_t n = code <= 22 ? (s * H) >> 10 : ((1024 - s) * H) >> 10;
  for (int32_t y = 0; y < H; ++y) {
    const uint8_t* from;
    if (y < n)
      from = code == 21 ? FTargetRows[H - n + y] : code == 22 ? FTargetRows[y] : FSourceRows[H - n + y];
    else
      from = code == 21 || code == 22 ? FSourceRows[y - n] : code == 23 ? FTargetRows[y - n] : FTargetRows[y];
    std::memcpy(FFrameRows[y], from, row);
  }
}

// Random points and boxes: only the pieces due since the previous frame.
void TRVTransitionEffects::RandomEffect(int32_t s) {
  const int32_t W = FWidth, H = FHeight;
  if (FTransition == 25) {
    if (s == 0) {
      // The whole pixel block, whichever way its rows run in memory.
      std::memcpy(FFrameBitmap->Bits(), FSourceBitmap->Bits(),
                  static_cast<size_t>(FFrameBitmap->BytesPerLine()) * H);
      return;
    }
    const int32_t total = Rnd(W * s * (s / 180.0) / 1024);
    const int32_t k = total - FRandomDone;
    FRandomDone = total;
    for (int32_t y = 0; y < H; ++y)
      for (int32_t i = 0; i < k; ++i) {
        const int32_t x = common::Random(W);
        std::memcpy(FFrameRows[y] + 3 * x, FTargetRows[y] + 3 * x, 3);
      }
    return;
  }
  if (s == 0) {
    DrawAt(*FFrameBitmap, *FSourceBitmap, 0, 0);
    return;
  }
  const int32_t total = Rnd(s * ((W * H) / 64) * (s / 180.0) / 1024);
  const int32_t k = total - FRandomDone;
  FRandomDone = total;
  for (int32_t i = 0; i < k; ++i) {
    const int32_t x = common::Random(W);
    const int32_t y = common::Random(H);
    Copy(*FFrameBitmap, *FTargetBitmap, Bounds(x & ~7, y & ~7, 8, 8));
  }
}

void TRVTransitionEffects::DrawBuiltIn() {
  const int32_t s = FStep, W = FWidth, H = FHeight, code = FTransition;
  TBitmap& frame = *FFrameBitmap;
  if (code <= 4) {
    if (code == 4)
      Blend(s < 512 ? 2 * s : 2 * s - 1024, s < 512, s >= 512);
    else
      Blend(s, code == 2, code == 3);
    return;
  }
  if (code >= 17 && code <= 24) return RowEffect(s);
  if (code == 25 || code == 26) return RandomEffect(s);
  const bool drawsSource = code != 28 && code != 30;
  if (s == 0 && drawsSource) DrawAt(frame, *FSourceBitmap, 0, 0);
  switch (code) {
    case 5:
    case 6: {
      const int32_t x = (s * W) >> 10;
      Copy(frame, *FTargetBitmap, Bounds(0, 0, x, H));
      if (code == 6) RedLine(frame, x, 0, x, H);
      break;
    }
    case 7:
    case 8: {
      const int32_t x = Rnd(W * (1024 - s) / 1024.0);
      Copy(frame, *FTargetBitmap, Bounds(x, 0, Rnd(s * W / 1024.0), H));
      if (code == 8) RedLine(frame, x, 0, x, H);
      break;
    }
    case 9:
    case 10: {
      const int32_t y = Rnd(s * H / 1024.0);
      Copy(frame, *FTargetBitmap, Bounds(0, 0, W, y));
      if (code == 10) RedLine(frame, 0, y, W, y);
      break;
    }
    case 11:
    case 12: {
      const int32_t y = Rnd(H * (1024 - s) / 1024.0);
      Copy(frame, *FTargetBitmap, Bounds(0, y, W, Rnd(s * H / 1024.0)));
      if (code == 12) RedLine(frame, 0, y, W, y);
      break;
    }
    case 13:
    case 14:
    case 15:
    case 16: {
      const int32_t dx = ((1024 - s) * W) >> 10, dy = ((1024 - s) * H) >> 10;
      DrawAt(frame, *FTargetBitmap, code == 13 || code == 15 ? -dx : dx, code == 13 || code == 14 ? -dy : dy);
      break;
    }
    case 27:
      Copy(
          frame, *FTargetBitmap,
          Bounds(W / 2 - ((s * (W / 2)) >> 10), H / 2 - ((s * (H / 2)) >> 10), (s * W) >> 10, (s * H) >> 10));
      break;
    case 28: {
      const int32_t d = 1024 - s;
      DrawAt(frame, *FTargetBitmap, 0, 0);
      Copy(
          frame, *FSourceBitmap,
          Bounds(W / 2 - ((d * (W / 2)) >> 10), H / 2 - ((d * (H / 2)) >> 10), (d * W) >> 10, (d * H) >> 10));
      break;
    }
    case 29:
    case 30: {
      const int32_t d = code == 29 ? s : 1024 - s;
      if (code == 30) DrawAt(frame, *FTargetBitmap, 0, 0);
      frame.Canvas().StretchMode = platform::smHalftone;
      frame.Canvas().CopyMode = platform::cmSrcCopy;
      frame.Canvas().StretchDraw(
          Bounds(W / 2 - ((d * (W / 2)) >> 10), H / 2 - ((d * (H / 2)) >> 10), (d * W) >> 10, (d * H) >> 10),
          code == 29 ? *FTargetBitmap : *FSourceBitmap);
      break;
    }
    default:
      break;
  }
}

// The rectangle of the image shown moves from FStartRect to FEndRect; a rectangle reaching out
// of the image is shown whole, fitted into the frame over the view's background.
void TRVTransitionEffects::PanZoom(int32_t s) {
  if (!FPanZoomSource) return;
  // Sides anywhere in the 32-bit range: their differences (up to 2^32 - 1) and the widths are
  // taken in floating point and 64 bits, never wrapped round.
  auto side = [s](int32_t a, int32_t b) {
    return common::TruncInt(a - s * ((static_cast<double>(a) - b) / 1024.0));
  };
  int32_t left = side(FStartRect.Left, FEndRect.Left), top = side(FStartRect.Top, FEndRect.Top);
  int64_t width = int64_t(side(FStartRect.Right, FEndRect.Right)) - left;
  int64_t height = int64_t(side(FStartRect.Bottom, FEndRect.Bottom)) - top;
  const int32_t bw = FPanZoomSource->GetWidth(), bh = FPanZoomSource->GetHeight();
  bool clipped = false;
  if (left < 0) {
    width += left;
    left = 0;
    clipped = true;
  }
  if (width > bw) {
    width = bw;
    clipped = true;
  }
  if (top < 0) {
    height += top;
    top = 0;
    clipped = true;
  }
  if (height > bh) {
    height = bh;
    clipped = true;
  }
  if (width <= 0 || height <= 0) return;
  TRect dest = Bounds(0, 0, FWidth, FHeight);
  if (clipped) {
    const double scale =
        double(width) / FWidth > double(height) / FHeight ? double(FWidth) / width : double(FHeight) / height;
    const int32_t dw = Rnd(width * scale), dh = Rnd(height * scale);
    dest =
        Bounds(common::TruncInt(FWidth / 2.0 - dw / 2.0), common::TruncInt(FHeight / 2.0 - dh / 2.0), dw, dh);
    FOwner->PaintTransitionBackground(FFrameBitmap->Canvas(), FFrameBitmap.get());
  }
  FPanZoomSource->RenderToTBitmap(FFrameBitmap.get(), dest.Left, dest.Top, dest.Width(), dest.Height(), left,
                                  top, int32_t(width), int32_t(height), 255, rfNone, rvlNormal);
}

}  // namespace rv

// ---- the view's side

namespace rv {

TRVTransitionEffects* TRastovaView::EnsureTransition() {
  if (!FTransition) FTransition = std::make_unique<TRVTransitionEffects>(this);
  return FTransition.get();
}

void TRastovaView::WriteOnTransitionStop(std::function<void(TRastovaView*)> Value) {
  EnsureTransition()->FOnTransitionStop = std::move(Value);
}

void TRastovaView::WriteOnTransitionStep(std::function<void(TRastovaView*, int32_t)> Value) {
  EnsureTransition()->FOnTransitionStep = std::move(Value);
}

void TRastovaView::WriteOnTransitionPaint(
    std::function<void(TRastovaView*, platform::TBitmap*, TRVTransitionEffects*, int32_t)> Value) {
  EnsureTransition()->SetOnTransitionPaint(std::move(Value));
}

std::function<void(TRastovaView*)> TRastovaView::ReadOnTransitionStop() {
  return FTransition ? FTransition->FOnTransitionStop : nullptr;
}

std::function<void(TRastovaView*, int32_t)> TRastovaView::ReadOnTransitionStep() {
  return FTransition ? FTransition->FOnTransitionStep : nullptr;
}

std::function<void(TRastovaView*, platform::TBitmap*, TRVTransitionEffects*, int32_t)>
TRastovaView::ReadOnTransitionPaint() {
  return FTransition ? FTransition->FOnTransitionPaint : nullptr;
}

void TRastovaView::PaintTransitionBackground(platform::TCanvas& Canvas, platform::TBitmap* Bitmap) {
  const int32_t w = Bitmap ? Bitmap->Width() : ClientWidth(), h = Bitmap ? Bitmap->Height() : ClientHeight();
  PaintViewBackground(false, Canvas, Bitmap, FWallPaperStyle, FWallPaper.get(), FGradientEndColor,
                      FChessboardBrushStyle, FChessboardSize, FOffsetX, FOffsetY, FOffsetX + FDstWidth,
                      FOffsetY + FDstHeight, 0, 0, w, h, Background(), FBackgroundStyle);
}

}  // namespace rv

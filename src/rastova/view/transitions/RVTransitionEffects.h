#pragma once
// TRVTransitionEffects: the transition engine of an image view. On every tick of a 1 ms timer it
// composes one frame from the picture being left and the one coming in, by the effect code and
// the time passed, copies it onto the view's window surface and reports the step to the view's
// events. Codes 1 to 30 and the pan-and-zoom (213) are drawn here; every other code runs the
// catalogue's procedure of row code - 1 (TransitionEffects.h).
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Types.h"
#include "platform/ui/Timer.h"
#include "rastova/core/RVBitmap.h"

namespace rv {

class TRastovaView;
class TRVTransitionEffects;

enum TRVTransitionTiming : uint8_t { rvttLinear, rvttExponential, rvttLogarithmic };

using TRVTransitionStepEvent = std::function<void(TRastovaView* Sender, int32_t step)>;
using TRVOnTransitionPaint = std::function<void(TRastovaView* Sender, platform::TBitmap* Bitmap,
                                                TRVTransitionEffects* Transition, int32_t Step)>;
using TRVTransitionNotify = std::function<void(TRastovaView* Sender)>;

class TRVTransitionEffects {
 public:
  explicit TRVTransitionEffects(TRastovaView* Owner);
  ~TRVTransitionEffects();
  TRVTransitionEffects(const TRVTransitionEffects&) = delete;
  TRVTransitionEffects& operator=(const TRVTransitionEffects&) = delete;

  // Starts effect Code (1 to 214; 213 has its own start) from SourcePicture to TargetPicture,
  // both drawn at the top left of frames of the view's client size, over Duration ms. False,
  // with nothing changed, for code 0, 213, codes above 214, an empty client area or while a
  // transition runs.
  bool Start(uint8_t Code, const platform::TBitmap& SourcePicture, const platform::TBitmap& TargetPicture,
             int32_t Duration, TRVTransitionTiming Timing);
  // The pan-and-zoom (code 213): the rectangle of Image shown moves from StartRect to EndRect.
  // Image stays the caller's and must live until the transition ends.
  bool StartPanZoom(TRVBitmap* Image, const platform::TRect& StartRect, const platform::TRect& EndRect,
                    int32_t Duration, TRVTransitionTiming Timing);
  // Ends a running transition: timer off, bitmaps and row tables released, the view's paint lock
  // given back, the view updated when UpdateOnStop is set, then OnTransitionStop. Nothing while
  // idle or with code 0.
  void Stop();
  // One frame; the timer's handler.
  void TimerStep(platform::TTimer* Sender);
  void SetOnTransitionPaint(TRVOnTransitionPaint Handler) { FOnTransitionPaint = std::move(Handler); }

  // The next step (0 to 1024) for the time passed since the start.
  int32_t StepFor(uint32_t Elapsed) const;

  // The millisecond clock (a monotonic counter; the difference to the start is taken modulo
  // 2^32). Tests put their own clock here.
  std::function<uint32_t()> TickCount;

  std::unique_ptr<platform::TBitmap> FSourceBitmap, FTargetBitmap, FFrameBitmap;
  TRVBitmap* FPanZoomSource = nullptr;
  std::vector<uint8_t*> FSourceRows, FTargetRows, FFrameRows;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  bool FRunning = false;
  // Expires with the engine: a tick whose event handler freed the view (and so the engine) sees
  // it and touches nothing more.
  std::shared_ptr<const bool> FAlive = std::make_shared<const bool>(true);
  TRastovaView* FOwner;
  std::unique_ptr<platform::TTimer> FTimer;
  int32_t FStep = 0;
  int32_t FRandomDone = 0;
  uint8_t FTransition = 0;
  int32_t FDuration = 1000;
  uint32_t FStartTick = 0;
  bool FUpdateOnStop = false;
  platform::TRect FStartRect, FEndRect;
  TRVTransitionNotify FOnTransitionStop;
  TRVTransitionStepEvent FOnTransitionStep;
  TRVTransitionTiming FTiming = rvttLinear;
  TRVOnTransitionPaint FOnTransitionPaint;
  int32_t FFrameCount = 0;

 private:
  bool Begin(uint8_t Code, int32_t Duration, TRVTransitionTiming Timing);
  void DrawFrame();
  void DrawBuiltIn();
  void Blend(int32_t s, bool fadeOut, bool fadeIn);
  void RowEffect(int32_t s);
  void RandomEffect(int32_t s);
  void PanZoom(int32_t s);
  void ToSurface(platform::TBitmap& Bitmap);
};

namespace testing {
// When false, the fades use their plain rows even where the processor has wider ones.
extern bool TransitionWideRows;
}  // namespace testing

}  // namespace rv

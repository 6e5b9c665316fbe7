#include "rastova/core/RastovaProcColor.h"

#include "common/NumberText.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVChannelOps.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVRotate.h"
#include "rastova/core/RastovaProc.h"

namespace rv {

void Rotate(TRastovaProc& proc, double angle, bool antialias, uint8_t quality, TColor background) {
  if (angle == 0 || !proc.CanProcess(0)) return;
  TRVBitmap& image = *proc.GetBitmap();
  if (proc.AutoUndo) proc.SaveUndoCaptioned(common::FormatC("Rotate %.2f", angle), rvuImage);
  if (background == -1) background = proc.GetBackground();
  // The alpha channel is turned on its own, the same way, and put back afterwards.
  std::unique_ptr<TRVBitmap> alpha = image.ReplaceAlphaBitmap(nullptr);
  const TRVPixelFormat f = image.GetPixelFormat();
  if (antialias && (f == rv24RGB || f == rv1g)) {
    if (quality != 0 && !IsMultipleOf90(angle) && f == rv24RGB) {
      if (alpha) RotateInterpolatedGray(*alpha, 0, quality, angle);
      RotateInterpolated24(image, background, quality, &proc, proc.OnProgress, angle);
    } else {
      if (alpha) {
        if (f == rv1g)
          RotateGrayNearest(*alpha, 0, angle);
        else
          RotateShear8(*alpha, angle, true, 0, proc.OnProgress, &proc);
      }
      RotateShear24(image, angle, antialias, PackRGB(ColorToTRGB(background)), proc.OnProgress, &proc);
    }
  } else {
    if (alpha) RotateBitmapNearest(*alpha, 0, nullptr, TRVProgressEvent(), angle);
    RotateBitmapNearest(image, background, &proc, proc.OnProgress, angle);
  }
  if (alpha) image.ReplaceAlphaBitmap(std::move(alpha));
  proc.Update();
  proc.DoFinishWork();
}

void ConvertToGray(TRastovaProc& proc) {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  TRVBitmap* work = nullptr;
  TRVMask* mask = nullptr;
  if (!proc.BeginImageProcessing(FormatSetOf(rv24RGB), x1, y1, x2, y2, "ConvertToGray", work, mask)) return;
  ConvertRectToGray(*work, x1, y1, x2, y2, proc.OnProgress, &proc);
  proc.EndImageProcessing(work, mask);
  proc.DoFinishWork();
}

namespace {

void Reduce(TRastovaProc& proc, int32_t numColors, std::vector<TRGB>* palette, bool useThreshold,
            const std::string& caption) {
  if (!proc.CanProcess(FormatSetOf(rv24RGB))) return;
  TRVBitmap& image = *proc.GetBitmap();
  if (proc.AutoUndo) proc.SaveUndoCaptioned(caption, rvuImage);
  if (numColors < 3) {
    TRVProgressRec progress;
    progress.fnc = proc.OnProgress;
    progress.Sender = &proc;
    if (useThreshold)
      BinarizeByThreshold(image, -1, progress);
    else
      DitherTo1Bit(image, progress);
    if (palette) *palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
  } else if (numColors <= 1024) {
    if (palette) palette->assign(static_cast<size_t>(numColors), TRGB{});
    QuantizeBitmap(image, numColors, palette ? palette->data() : nullptr, &proc, proc.OnProgress);
  }
  proc.Update();
  proc.DoFinishWork();
}

}  // namespace

void ConvertTo(TRastovaProc& proc, int32_t numColors, bool useThreshold) {
  Reduce(proc, numColors, nullptr, useThreshold, common::FormatC("ConvertTo %d", numColors));
}

void ConvertToPalette(TRastovaProc& proc, int32_t numColors, std::vector<TRGB>& palette, bool useThreshold) {
  if (numColors == 0) return;
  Reduce(proc, numColors, &palette, useThreshold, "ConvertToPalette");
}

void Fill(TRastovaProc& proc, const TRGB& colour) {
  const std::string caption = common::FormatC("Fill (%d, %d, %d)", colour.r, colour.g, colour.b);
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  TRVBitmap* work = nullptr;
  TRVMask* mask = nullptr;
  if (!proc.BeginImageProcessing(0, x1, y1, x2, y2, caption, work, mask)) return;
  FillArea(*work, x1, y1, x2, y2, colour, &proc, proc.OnProgress);
  proc.EndImageProcessing(work, mask);
  proc.DoFinishWork();
}

}  // namespace rv

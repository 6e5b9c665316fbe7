// The GIF member of the I/O component: frame GIF_ImageIndex of an animation as the animation
// shows it. Frames 0 to the wanted one are read in turn and drawn on a canvas the size of the
// logical screen, each at its position and through its transparency, after the previous
// frame was disposed of: 2 restores the background (transparent) under the previous frame,
// 3 restores what was under it before it was drawn; other values leave it in place. A file
// with a single image is not composed: the working bitmap is the image as read.
#include <algorithm>
#include <memory>

#include "rastova/codecs/gif/giffilter.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RastovaIO.h"

namespace rv {

namespace {

struct TFrameRect {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};

// The screen size comes from the file: a canvas far larger than both the frames and what the
// file's bytes could describe is a damaged file, not a picture to allocate.
bool CanvasSizeIsPlausible(int64_t width, int64_t height, int64_t frameArea, int64_t streamSize) {
  const int64_t area = width * height;
  return area <= std::max({frameArea, int64_t(1) << 24, streamSize * 1024});
}

// The part of a frame rectangle on the canvas (empty when it lies outside).
TFrameRect OnCanvas(const TFrameRect& r, TRVBitmap& canvas) {
  const int32_t x0 = std::max(r.Left, 0), y0 = std::max(r.Top, 0);
  const int32_t x1 = std::min(r.Left + r.Width, canvas.GetWidth()),
                y1 = std::min(r.Top + r.Height, canvas.GetHeight());
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

// A copy of a canvas rectangle, pixels and alpha, for restoring it later (disposal 3).
std::unique_ptr<TRVBitmap> SaveCanvasRect(TRVBitmap& canvas, const TFrameRect& r) {
  if (r.Width <= 0 || r.Height <= 0) return nullptr;
  auto saved = std::make_unique<TRVBitmap>(r.Width, r.Height, rv24RGB);
  if (saved->IsEmpty()) return nullptr;
  CopyRectTo(canvas, *saved, r.Left, r.Top, 0, 0, r.Width, r.Height);
  CopyRectTo(*canvas.AlphaBitmap(), *saved->AlphaBitmap(), r.Left, r.Top, 0, 0, r.Width, r.Height);
  return saved;
}

}  // namespace

void TRastovaIO::ReadGIFFrames(TStream& stream, TRVProgressRec& progress) {
  const int64_t start = stream.GetPosition();
  const int64_t streamSize = stream.GetSize() - start;
  const int32_t target = Params.GIF_ImageIndex;
  TRVBitmap canvas;
  canvas.SetLocation(rvInMemory);
  TFrameRect previous;
  uint8_t previousDisposal = 0;
  std::unique_ptr<TRVBitmap> underPrevious;  // what disposal 3 puts back
  // Beyond the first frame the reader reports no progress; the loop reports per frame.
  TRVProgressRec quiet(progress.Aborting);
  TRVProgressRec& frameProgress = target <= 0 ? progress : quiet;
  int32_t count = 0;
  for (int32_t i = 0;; ++i) {
    TRVBitmap frame;
    stream.SetPosition(start);
    Params.SetImageIndex(i);
    std::unique_ptr<TRVMask> mask;
    ReadGIFStream(stream, frame, count, Params, frameProgress, false, mask, false);
    const TRVPixelFormat format = frame.GetPixelFormat();
    FixDefaultDPI();
    if (mask) frame.AlphaBitmap()->CopyFromTRVMask(mask.get());
    TRVBitmap* shown = &frame;
    if (count >= 2 && !progress.IsAborting() && !frame.IsEmpty()) {
      const int32_t width = std::max(Params.GIF_ScreenWidth, frame.GetWidth());
      const int32_t height = std::max(Params.GIF_ScreenHeight, frame.GetHeight());
      if (!CanvasSizeIsPlausible(width, height, int64_t(frame.GetWidth()) * frame.GetHeight(), streamSize)) {
        progress.SetAborting();
        break;
      }
      const TColor background = RGBToColor(Params.GIF_Background);
      if (previousDisposal == 2 && !canvas.IsEmpty()) {
        canvas.FillRect(previous.Left, previous.Top, previous.Left + previous.Width - 1,
                        previous.Top + previous.Height - 1, background);
        canvas.AlphaBitmap()->FillRect(previous.Left, previous.Top, previous.Left + previous.Width - 1,
                                       previous.Top + previous.Height - 1, 0);
      } else if (previousDisposal == 3 && underPrevious) {
        const TFrameRect r = OnCanvas(previous, canvas);
        CopyRectTo(*underPrevious, canvas, 0, 0, r.Left, r.Top, r.Width, r.Height);
        CopyRectTo(*underPrevious->AlphaBitmap(), *canvas.AlphaBitmap(), 0, 0, r.Left, r.Top, r.Width,
                   r.Height);
      }
      underPrevious.reset();
      if (canvas.IsEmpty()) {
        if (!canvas.Allocate(width, height, rv24RGB)) {
          progress.SetAborting();
          break;
        }
        canvas.Fill(background);
        canvas.AlphaBitmap()->Fill(0);
      }
      if (canvas.GetPixelFormat() != rv24RGB) canvas.SetPixelFormat(rv24RGB);
      if (canvas.GetWidth() < width || canvas.GetHeight() < height)
        Resize(canvas, std::max(canvas.GetWidth(), width), std::max(canvas.GetHeight(), height), background,
               255, rvAlignNear, rvAlignNear);
      const TFrameRect placed{Params.GIF_XPos, Params.GIF_YPos, frame.GetWidth(), frame.GetHeight()};
      if (Params.GIF_Action == 3) underPrevious = SaveCanvasRect(canvas, OnCanvas(placed, canvas));
      TRVRowTable rows;
      TRVIndexTable xs, ys;
      frame.RenderToTRVBitmapEx(&canvas, rows, xs, ys, nullptr, placed.Left, placed.Top, placed.Width,
                                placed.Height, 0, 0, placed.Width, placed.Height, true, false, 255, rfNone,
                                true, rvlNormal);
      MergeAlphaRectTo(frame, canvas, 0, 0, placed.Left, placed.Top, placed.Width, placed.Height);
      canvas.AlphaBitmap()->Full = false;
      previous = placed;
      previousDisposal = Params.GIF_Action;
      // The result is described as one whole-screen image.
      Params.GIF_Action = 2;
      Params.GIF_XPos = Params.GIF_YPos = 0;
      Params.Width = canvas.GetWidth();
      Params.Height = canvas.GetHeight();
      shown = &canvas;
    }
    if (progress.IsAborting()) break;
    if (count >= 1) {
      bitmap_->Assign(shown);
      if (format != rvNone && bitmap_->GetPixelFormat() != format) bitmap_->SetPixelFormat(format);
    }
    if (target > 0 && count > 0) progress.Report(static_cast<int32_t>(i * (100.0 / count)));
    if (i + 1 >= count || i == target) break;
  }
  Params.SetImageIndex(target);
}

}  // namespace rv

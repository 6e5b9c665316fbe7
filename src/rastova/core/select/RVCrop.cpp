// Cropping the component's image to a rectangle or to its opaque area.
#include "rastova/core/select/RVCrop.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RastovaProc.h"

namespace rv {

namespace {

// `source`'s rectangle in a new image of its format (with its palette), or false.
bool CutOut(TRVBitmap& source, int32_t left, int32_t top, int32_t width, int32_t height, TRVBitmap& piece) {
  piece.MemoryThreshold = source.MemoryThreshold;
  if (!piece.Allocate(width, height, source.GetPixelFormat()) || piece.IsEmpty()) return false;
  CopyRectTo(source, piece, left, top, 0, 0, width, height);
  source.CopyPaletteTo(&piece);
  return true;
}

}  // namespace

void TRastovaProc::Crop(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!CanProcess(0)) return;
  TRVBitmap& image = *GetBitmap();
  const int32_t w = image.GetWidth(), h = image.GetHeight();
  // Clipped to the image: the piece is never larger than the image and holds no pixel from
  // outside it. An empty rectangle leaves everything as it is.
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, w - 1);
  bottom = std::min(bottom, h - 1);
  if (right < left || bottom < top) return;
  if (left == 0 && top == 0 && right == w - 1 && bottom == h - 1) return;
  if (AutoUndo) {
    char caption[96];
    std::snprintf(caption, sizeof caption, "Crop %d, %d, %d, %d", left, top, right, bottom);
    SaveUndoCaptioned(caption, rvuImage);
  }
  const int32_t cw = right - left + 1, ch = bottom - top + 1;
  TRVBitmap piece;
  if (!CutOut(image, left, top, cw, ch, piece)) return;
  if (image.HasAlphaBitmap()) {
    TRVBitmap& alpha = *image.AlphaBitmap();
    TRVBitmap alphaPiece;
    if (!CutOut(alpha, left, top, cw, ch, alphaPiece)) return;
    const bool full = alpha.Full;
    TakeImage(alpha, alphaPiece);
    alpha.Full = full;
  }
  TakeImage(image, piece);
  Update();
  DoFinishWork();
}

void TRastovaProc::CropToRect(const platform::TRect& rect) {
  Crop(rect.Left, rect.Top, rect.Right, rect.Bottom);
}

void TRastovaProc::CropToOpaqueArea() {
  if (!CanProcess(0)) return;
  platform::TRect box;
  GetOpaqueBounds(*GetBitmap(), box);
  const bool autoUndo = AutoUndo;
  AutoUndo = false;
  try {
    Crop(box.Left, box.Top, box.Right, box.Bottom);
  } catch (...) {
    AutoUndo = autoUndo;
    throw;
  }
  AutoUndo = autoUndo;
}

void GetOpaqueBounds(TRVBitmap& bitmap, platform::TRect& rect) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  rect = {0, 0, w - 1, h - 1};
  if (!bitmap.HasAlphaBitmap() || bitmap.IsEmpty()) return;
  TRVBitmap& alpha = *bitmap.AlphaBitmap();
  if (alpha.GetWidth() < w || alpha.GetHeight() < h || alpha.GetPixelFormat() != rv8g) return;
  rect = {w, h, -1, -1};
  RowAccessScope readOnly(alpha, 1);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = alpha.GetScanLine(y);
    if (row == nullptr) continue;
    int32_t first = 0;
    while (first < w && row[first] == 0) ++first;
    if (first == w) continue;
    int32_t last = w - 1;
    while (row[last] == 0) --last;
    rect.Left = std::min(rect.Left, first);
    rect.Right = std::max(rect.Right, last);
    rect.Top = std::min(rect.Top, y);
    rect.Bottom = y;
  }
  alpha.ReleaseFileRows();
}

}  // namespace rv

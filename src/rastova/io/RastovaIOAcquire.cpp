// TRastovaIO: the hand-over of acquired images, the scanner progress and the save-parameters
// preview call.
#include <utility>

#include "platform/gfx/Canvas.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/io/RVTWainParams.h"
#include "rastova/io/RVWia.h"
#include "rastova/io/RastovaIO.h"

namespace rv {

namespace {
// Set by the view library's start-up; used on the main thread only.
TIOPreviewsDialogHook& PreviewsDialogHook() {
  static TIOPreviewsDialogHook hook;
  return hook;
}
}  // namespace

void SetIOPreviewsDialogHook(TIOPreviewsDialogHook hook) { PreviewsDialogHook() = std::move(hook); }

void TRastovaIO::SetPreviewFont(const platform::TFont& font) { *previewFont_ = font; }

void TRastovaIO::DoAcquireBitmap(TRVBitmap& ABitmap, bool& Handled) {
  if (OnAcquireBitmap) OnAcquireBitmap(*this, ABitmap, Handled);
}

void TRastovaIO::ReceiveAcquiredBitmap(TRVBitmap& ABitmap, TIOParamsVals& AParams) {
  if (!PrepareBitmap(0)) return;
  bool handled = false;
  DoAcquireBitmap(ABitmap, handled);
  if (handled) return;
  AParams.Assign(Params);
  GetAttachedRVBitmap()->Assign(&ABitmap);
  if (AutoAdjustDPI) AdjustDPI();
  Update();
}

TRVWia& TRastovaIO::GetWIAParams() {
  if (!wia_) {
    wia_ = std::make_unique<TRVWia>(this);
    wia_->OnProgress = [this](int32_t per) { return WIAProgress(per); };
  }
  return *wia_;
}

bool TRastovaIO::WIAProgress(int32_t per) {
  DoProgress(*this, per);
  return !Aborting;
}

bool TRastovaIO::DoPreviews(uint16_t Pages) {
  if (OnDoPreviews) {
    bool handled = false;
    OnDoPreviews(*this, handled);
    if (handled) return true;
  }
  if (!PrepareBitmap(0)) return false;
  TRVBitmap* bitmap = GetAttachedRVBitmap();
  const TRVPixelFormat format = bitmap->GetPixelFormat();
  if (format != rv24RGB && format != rv1g) bitmap->SetPixelFormat(rv24RGB);
  bool result = false;
  if (const TIOPreviewsDialogHook& dialog = PreviewsDialogHook()) result = dialog(*this, Pages);
  Update();
  return result;
}

}  // namespace rv

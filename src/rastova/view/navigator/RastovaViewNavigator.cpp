// The navigator: a second view that shows the same image fitted to its size with the main
// view's visible area as a fixed-size rectangle selection, kept in step both ways.
#include "common/Round.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

void TRastovaView::SetNavigator(TRastovaView* Navigator, uint8_t Options) {
  // A navigator shows its main view's image in place of its own, which it frees: a view whose
  // image would come back to it through the navigators (itself, or a view it serves as
  // navigator, however far down) is refused, and nothing changes.
  for (TRastovaView* v = Navigator; v; v = v->FNavigator)
    if (v == this) return;
  if (FNavigator) {
    FNavigator->FOnSelectionChanging = nullptr;
    FNavigator->FOnViewMouseWheel = nullptr;
    FNavigator->SetExternalBitmap(nullptr);
    FNavigator->FIsNavigator = false;
  }
  FNavigator = Navigator;
  if (!Navigator) return;
  TRastovaView& n = *Navigator;
  n.FIsNavigator = true;
  n.WriteEnableAlphaChannel(FEnableAlphaChannel);
  n.FAutoFit = true;
  n.WriteMouseInteract(MouseInteractOf({miSelect}));
  n.FSelectionBase = rvsbBitmap;
  n.WriteSelectionOptions(SelectionOption(rvsoMoveable) | SelectionOption(rvsoCanScroll));
  n.SetExternalBitmap(FRVBitmap);
  n.FOnSelectionChanging = [this](TRastovaView* Sender) { NavigatorSelectionChanged(Sender); };
  n.FNavigatorOptions = Options;
  if (Options & 1)
    n.FOnViewMouseWheel = [this](TRastovaView* Sender, platform::TShiftState Shift, int32_t WheelDelta,
                                 platform::TPoint MousePos, bool& Handled) {
      NavigatorMouseWheel(Sender, Shift, WheelDelta, MousePos, Handled);
    };
  // The pointer forgets a navigator that is freed.
  SyncNavigator();
}

void TRastovaView::ShowImageInNavigator() {
  if (!FNavigator || !FRVBitmap) return;
  // Nothing to do when it shows this image already.
  TRastovaView& n = *FNavigator;
  const TRVLayer* shown = n.GetCurrentLayer();
  if (shown && shown->Bitmap == FRVBitmap && n.FRVBitmap == FRVBitmap && n.FBitmap == FBitmap) return;
  n.SetExternalBitmap(FRVBitmap);
}

void TRastovaView::SyncNavigator() {
  if (FNavigatorSyncing || FPaintLock > 0 || !FNavigator) return;
  FNavigatorSyncing = true;
  try {
    PaintControl();
    const int32_t x1 = XScr2Bmp(FOffsetX), y1 = YScr2Bmp(FOffsetY);
    const int32_t x2 = XScr2Bmp(FOffsetX + FExtentX), y2 = YScr2Bmp(FOffsetY + FExtentY);
    TRastovaView& n = *FNavigator;
    n.FSelectionAbsWidth = x2 - x1;
    n.FSelectionAbsHeight = y2 - y1;
    n.WriteSelectionAspectRatio(0);
    n.SelectRectangle(x1, y1, x2, y2, 0);
  } catch (...) {
    FNavigatorSyncing = false;
    throw;
  }
  FNavigatorSyncing = false;
}

void TRastovaView::NavigatorSelectionChanged(TRastovaView* Sender) {
  if (FNavigatorSyncing || !Sender) return;
  FNavigatorSyncing = true;
  try {
    SetViewXY(common::RoundInt(Sender->SelX1() * (long double)FZoomX / 100),
              common::RoundInt(Sender->SelY1() * (long double)FZoomY / 100));
  } catch (...) {
    FNavigatorSyncing = false;
    throw;
  }
  FNavigatorSyncing = false;
}

void TRastovaView::NavigatorMouseWheel(TRastovaView* Sender, platform::TShiftState, int32_t WheelDelta,
                                       platform::TPoint MousePos, bool& Handled) {
  const TRVMouseWheelParams& p = *Sender->FMouseWheelParams;
  int32_t dir = WheelDelta <= 0 ? 1 : -1;
  if (p.InverseDirection) dir = -dir;
  double zoom = FZoomX;
  if (p.Variation == 0) zoom = FZoomX + dir * p.Value;
  else if (p.Variation == 1) zoom = FZoomX + dir * std::max(common::RoundInt(FZoomX * (long double)p.Value / 100), 1);
  if (zoom > FZoomX) DoZoomIn(zoom);
  if (zoom < FZoomX) DoZoomOut(zoom);
  if (p.ZoomAtMouse)
    ZoomAt(MousePos.X, MousePos.Y, false, zoom);
  else
    SetZoom(zoom);
  Handled = true;
}

}  // namespace rv

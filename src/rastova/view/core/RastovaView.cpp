// The image view's fields, construction and destruction, properties, locks, the objects it
// makes on demand and its image operations.
#include "rastova/view/core/RastovaView.h"

#include <QGuiApplication>

#include "rastova/core/RVPlatformBitmap.h"
#include "rastova/view/RVWindowHelpers.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/transitions/RVTransitionEffects.h"

namespace rv {

namespace {

// A new, empty 24-bit image kept in a platform bitmap of its own.
TRVBitmap* NewLegacyImage() {
  auto* image = new TRVBitmap();
  std::unique_ptr<TRVPlatformBitmap> platform = CreatePlatformBitmap();
  platform->SetPixelFormat(pf24bit);
  platform->SetSize(0, 0);
  image->EncapsulatePlatformBitmap(std::move(platform), true, true);
  return image;
}

}  // namespace

TRastovaView::TRastovaView(QWidget* AOwner) : TRVView(AOwner) {
  FAlive = std::make_shared<TAliveToken>(TAliveToken{this});
  LockUpdate();
  ClearZoomTables();
  FLegacyBitmap = true;
  LoadGdiPlus();
  // Layer 0 shows the view's first image, which it owns (with the platform bitmap behind it).
  FRVBitmap = NewLegacyImage();
  FBitmap = FRVBitmap->PlatformBitmap() ? FRVBitmap->PlatformBitmap()->Bitmap() : nullptr;
  FBitmapWidth = FRVBitmap->GetWidth();
  FBitmapHeight = FRVBitmap->GetHeight();
  auto layer0 = std::make_unique<TRVLayer>(this, true, FRVBitmap);
  layer0->ShowBox = false;
  layer0->Locked = true;
  FLayers.push_back(std::move(layer0));
  FLayersCurrent = 0;
  FHasOwner = AOwner != nullptr;
  resize(105, 105);
  SetDPI(DefaultDpiX, DefaultDpiY);
  FDrawDib = DrawDibOpenProc();
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) LoadCursorTable();
  SetCursor(FCursor);
  // The selection objects.
  auto record = std::make_unique<TRVSelectionPolygon>();
  record->Color1 = platform::clBlack;
  record->Color2 = platform::clWhite;
  record->Sizeable = true;
  record->Animated = true;
  FSelectionPolygon = record.get();
  FSelectionPolygons.push_back(std::move(record));
  if (FHasOwner || HasParentWindow()) {
    EnsureAnimTimer();
    EnsureDashPixel();
    FAnimTimer->SetEnabled(true);
  }
  FVScrollParams = std::make_unique<TRVScrollBarParams>();
  FHScrollParams = std::make_unique<TRVScrollBarParams>();
  FMouseWheelParams = std::make_unique<TRVMouseWheelParams>();
  FSelectionMask = std::make_unique<TRVMask>();
  FSelectionMask->AllocateBits(FBitmapWidth, FBitmapHeight, 1);
  FBackBuffer = std::make_unique<TRVBitmap>(10, 10, rv24RGB);
  FBackBuffer->SetLocation(rvTBitmap);
  FSelectionPolygon->Visible = false;
  FLayerBoxPen.Style = platform::psDot;
  FLayerBoxPen.Mode = platform::pmNot;
  FLayerBoxPen.Width = 1;
  UnlockUpdate();
}

TRastovaView::~TRastovaView() {
  FDestroying = true;
  FAlive->View = nullptr;
  FExtraObjects.clear();
  FSmoothScrollTimer.reset();
  SyncCurrentLayer();
  FTransition.reset();
  // The navigator outlives this view: it gets an image of its own and no handler into this one.
  if (FNavigator) SetNavigator(nullptr, 0);
  FIO.reset();
  FProc.reset();
  FBackBuffer.reset();
  FAnimTimer.reset();
  FSelectionPolygon = nullptr;
  FSelectionPolygons.clear();
  DrawDibCloseProc(FDrawDib);
  FDrawDib = 0;
  FVScrollParams.reset();
  FHScrollParams.reset();
  FMouseWheelParams.reset();
  FSelectionMask.reset();
  FLayers.clear();
  FBitmap = nullptr;
  FRVBitmap = nullptr;
  FSavedSelections.clear();
  ClearZoomTables();
  FWallPaper.reset();
  FDashPixel.reset();
  FDashPixelRow = nullptr;
  FNavigatorBuffer.reset();
  UnloadGdiPlus();
}

// ---------------------------------------------------------------- image

TRVBitmap* TRastovaView::GetAlphaChannel() { return FRVBitmap ? FRVBitmap->AlphaBitmap() : nullptr; }

bool TRastovaView::HasAlphaChannel() { return FRVBitmap && FRVBitmap->HasAlphaBitmap(); }

void TRastovaView::RemoveAlphaChannel(bool Merge) {
  if (FRVBitmap) FRVBitmap->RemoveAlphaBitmap(Merge, FBackground);
}

void TRastovaView::WriteBackground(TColor Value) {
  TRVView::WriteBackground(Value);
  FUpdateReason = 4;
  Update();
  ImageChange();
}

void TRastovaView::ImageChange() {
  if (FOnImageChange) FOnImageChange(this);
}

void TRastovaView::Blank() {
  if (FRVBitmap) {
    FRVBitmap->Fill(FBackground);
    FRVBitmap->RemoveAlphaBitmap(false, FBackground);
  }
  Update();
}

void TRastovaView::Clear() {
  if (FTransition) FTransition->Stop();
  if (FRVBitmap) FRVBitmap->Allocate(1, 1, FRVBitmap->IsEmpty() ? rv24RGB : FRVBitmap->GetPixelFormat());
  if (FBitmap) FRVBitmap->SyncFromTBitmap();
  Blank();
}

bool TRastovaView::IsEmpty() {
  return !FRVBitmap || (FRVBitmap->GetWidth() < 2 && FRVBitmap->GetHeight() < 2);
}

bool TRastovaView::HasParentWindow() { return parentWidget() != nullptr; }

void TRastovaView::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  setGeometry(ALeft, ATop, std::max(0, AWidth), std::max(0, AHeight));
}

void TRastovaView::Assign(TRastovaView* Source) {
  if (!Source) {
    Blank();
    return;
  }
  if (Source->FRVBitmap && FRVBitmap) FRVBitmap->Assign(Source->FRVBitmap);
  TRVView::WriteBackground(Source->Background());
  SetDPI(Source->DpiX(), Source->DpiY());
  Update();
  ImageChange();
}

void TRastovaView::Assign(platform::TBitmap* Source) {
  if (!Source) {
    Blank();
    return;
  }
  if (!FRVBitmap) return;
  FRVBitmap->CopyFromTBitmap(Source);
  const TRVPixelFormat f = FRVBitmap->GetPixelFormat();
  if (f != rv1g && f != rv24RGB) FRVBitmap->SetPixelFormat(rv24RGB);
  Update();
  ImageChange();
}

// ---------------------------------------------------------------- locks

void TRastovaView::LockPaint() { ++FPaintLock; }

int32_t TRastovaView::UnlockPaint() {
  if (FPaintLock > 0) --FPaintLock;
  if (FPaintLock == 0) Update();
  return FPaintLock;
}

int32_t TRastovaView::UnlockPaintNoRefresh() {
  if (FPaintLock > 0) --FPaintLock;
  return FPaintLock;
}

void TRastovaView::LockUpdate() { ++FUpdateLock; }

void TRastovaView::UnlockUpdate() {
  if (FUpdateLock > 0) --FUpdateLock;
  if (FUpdateLock == 0) Update();
}

void TRastovaView::UnlockUpdateNoRefresh() {
  if (FUpdateLock > 0) --FUpdateLock;
}

// ---------------------------------------------------------------- objects made on demand

TRastovaIO* TRastovaView::GetIO() {
  if (!FIO) {
    FIO = std::make_unique<TRastovaIO>();
    FIO->SetAttachedView(this);
    WriteOnProgress(FOnProgress);
    WriteOnFinishWork(FOnFinishWork);
  }
  return FIO.get();
}

TRastovaProc* TRastovaView::GetProc() {
  if (!FProc) {
    FProc = std::make_unique<TRastovaProc>(this);
    FProc->SetAttachedRastova(this);
    WriteOnProgress(FOnProgress);
    WriteOnFinishWork(FOnFinishWork);
    WriteOnSaveUndo(FOnSaveUndo);
  }
  return FProc.get();
}

void TRastovaView::EnsureAnimTimer() {
  if (FAnimTimer) return;
  FAnimTimer = std::make_unique<platform::TTimer>();
  FAnimTimer->SetEnabled(false);
  FAnimTimer->SetInterval(210);
  FAnimTimer->OnTimer = [this](platform::TTimer*) { AnimationTimerTick(); };
}

void TRastovaView::EnsureDashPixel() {
  if (FDashPixel) return;
  FDashPixel = std::make_unique<platform::TBitmap>(1, 1, platform::pf24bit);
  FDashPixelRow = FDashPixel->ScanLine(0);
}

// ---------------------------------------------------------------- properties

void TRastovaView::WriteLegacyBitmap(bool Value) {
  if (Value == FLegacyBitmap) return;
  FLegacyBitmap = Value;
  if (FRVBitmap) {
    if (!Value) {
      FRVBitmap->SetLocation(rvInMemory);
      FBitmap = nullptr;
    } else {
      FRVBitmap->SetLocation(rvTBitmap);
      FBitmap = FRVBitmap->PlatformBitmap() ? FRVBitmap->PlatformBitmap()->Bitmap() : nullptr;
    }
  }
  ShowImageInNavigator();
  CallBitmapChangeHandlers();
  Update();
}

void TRastovaView::WriteZoomFilter(TResampleFilter Value) {
  FSavedZoomFilter = Value;
  if (Value == FZoomFilter) return;
  FZoomFilter = Value;
  Update();
}

void TRastovaView::WriteCenter(bool Value) {
  if (Value == FCenter) return;
  FCenter = Value;
  FUpdateReason = 1;
  Update();
}

void TRastovaView::WriteMouseInteract(TRVMouseInteract Value) {
  if (Value == FMouseInteract) return;
  if (FPolySelecting && InInteract(FMouseInteract, miSelectPolygon)) {
    // An unfinished polygon selection ends: its rubber point goes and the mask is rebuilt.
    if (FSelectionPolygon && !FSelectionPolygon->Points.empty()) FSelectionPolygon->Points.pop_back();
    FSelectionMask->Clear();
    if (FSelectionPolygon && !FSelectionPolygon->Points.empty())
      FSelectionMask->AddPolygons(FSelectionIntensity, FSelectionPolygon->Points.data(),
                                  static_cast<int32_t>(FSelectionPolygon->Points.size()));
    FPolySelecting = false;
    Invalidate();
  }
  const TRVMouseInteract added = Value & ~FMouseInteract;
  auto isNew = [added](TRVMouseInteractItems i) { return InInteract(added, i); };
  auto has = [Value](TRVMouseInteractItems i) { return InInteract(Value, i); };
  TRVMouseInteract keep = 0xFFFF;
  if (isNew(miScroll))
    keep = MouseInteractOf({miZoom, miScroll, miMovingScroll});
  else if (isNew(miSelect))
    keep = MouseInteractOf({miZoom, miSelect, miMovingScroll});
  else if (isNew(miSelectPolygon))
    keep = MouseInteractOf({miSelectPolygon, miMovingScroll});
  else if (isNew(miSelectCircle))
    keep = MouseInteractOf({miZoom, miSelectCircle, miMovingScroll});
  else if (isNew(miSelectLasso))
    keep = MouseInteractOf({miZoom, miSelectLasso, miMovingScroll});
  else if (isNew(miSelectZoom))
    keep = MouseInteractOf({miZoom, miSelectZoom, miMovingScroll});
  else if (isNew(miZoom))
    keep = MouseInteractOf(
        {miZoom, miScroll, miSelect, miSelectCircle, miSelectZoom, miSelectLasso, miMovingScroll});
  else if (isNew(miSelectMagicWand))
    keep = MouseInteractOf({miSelectMagicWand, miMovingScroll});
  else if (has(miRotateLayers))
    keep = MouseInteractOf({miMoveLayers, miRotateLayers, miMovingScroll});
  else if (has(miMoveLayers))
    keep = MouseInteractOf({miMoveLayers, miResizeLayers, miMovingScroll});
  else if (has(miResizeLayers))
    keep = MouseInteractOf({miResizeLayers, miMovingScroll});
  const TRVMouseInteract result = Value & keep;
  if (!InInteract(result, miRotateLayers))
    LayersFixRotations(-1);
  else if (FLayersCropOnRotate)
    LayersCropToOpaque(-1);
  FMouseInteract = result;
}

void TRastovaView::WriteBackgroundStyle(TRVBackgroundStyle Value) {
  FBackgroundStyle = Value;
  Invalidate();
  FUpdateReason = 4;
  Update();
}

void TRastovaView::WriteEnableAlphaChannel(bool Value) {
  FEnableAlphaChannel = Value;
  Update();
}

void TRastovaView::WriteOnProgress(TRVProgressViewEvent Value) {
  FOnProgress = std::move(Value);
  TRastovaView* self = this;
  if (FIO) {
    FIO->OnProgress = nullptr;
    if (FOnProgress)
      FIO->OnProgress = [self](TRastovaIO&, int32_t per) {
        if (self->FOnProgress) self->FOnProgress(self, per);
      };
  }
  if (FProc) {
    FProc->OnProgress = nullptr;
    if (FOnProgress)
      FProc->OnProgress = [self](void*, int32_t per) {
        if (self->FOnProgress) self->FOnProgress(self, per);
      };
  }
}

void TRastovaView::WriteOnFinishWork(TViewNotifyEvent Value) {
  FOnFinishWork = std::move(Value);
  TRastovaView* self = this;
  if (FIO) {
    FIO->OnFinishWork = nullptr;
    if (FOnFinishWork)
      FIO->OnFinishWork = [self](TRastovaIO&) {
        if (self->FOnFinishWork) self->FOnFinishWork(self);
      };
  }
  if (FProc) {
    FProc->OnFinishWork = nullptr;
    if (FOnFinishWork)
      FProc->OnFinishWork = [self](TRastovaProc*) {
        if (self->FOnFinishWork) self->FOnFinishWork(self);
      };
  }
}

void TRastovaView::WriteOnSaveUndo(TRVSaveUndoEvent Value) {
  FOnSaveUndo = std::move(Value);
  if (!FProc) return;
  TRastovaView* self = this;
  FProc->OnSaveUndo = nullptr;
  if (FOnSaveUndo)
    FProc->OnSaveUndo = [self](TRastovaProc*, TRVUndoSource source) {
      if (self->FOnSaveUndo) self->FOnSaveUndo(self, source);
    };
}

void TRastovaView::WriteDrawVersion(bool Value) {
  FDrawVersion = Value;
  PaintControl();
}

void TRastovaView::WriteWallPaper(const platform::TBitmap* Value) {
  if (!FWallPaper) FWallPaper = std::make_unique<platform::TBitmap>();
  if (Value)
    FWallPaper->Assign(*Value);
  else
    FWallPaper->SetSize(0, 0);
  FUpdateReason = 4;
  Update();
}

void TRastovaView::WriteWallPaperStyle(TRVWallPaperStyle Value) {
  if (Value == FWallPaperStyle) return;
  FWallPaperStyle = Value;
  FUpdateReason = 4;
  Update();
}

void TRastovaView::WriteCursor(platform::TCursor Value) {
  if (FOnSetCursor) FOnSetCursor(this, Value);
  FUserCursor = Value;
  SetCursor(Value);
  FCursor = Value;
}

void TRastovaView::WriteFlatScrollBars(bool Value) {
  if (Value == FFlatScrollBars) return;
  FFlatScrollBars = Value;
  // The window's bars are of one kind here; switching on starts from hidden bars of the full range.
  if (Value) {
    SetScrollBarRange(this, platform::SB_HORZ, 0, 65535, false, false);
    SetScrollBarRange(this, platform::SB_VERT, 0, 65535, false, false);
    ShowScrollBarEx(this, platform::SB_HORZ, false, true);
    ShowScrollBarEx(this, platform::SB_VERT, false, true);
  }
}

void TRastovaView::SetChessboardStyle(int32_t Size, platform::TBrushStyle BrushStyle) {
  FChessboardSize = Size;
  FChessboardBrushStyle = BrushStyle;
}

}  // namespace rv

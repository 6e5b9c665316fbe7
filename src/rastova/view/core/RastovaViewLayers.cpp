// The image view's stack of layers: the current layer, adding and removing, hit tests and
// grips, the working size, merging, and baking display sizes and rotations into the images.
#include <stdexcept>

#include "common/Round.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RastovaProcColor.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/core/select/RVCrop.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

TRVLayer* TRastovaView::GetLayer(int32_t Index) {
  if (Index < 0 || Index >= GetLayersCount())
    throw std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")");
  return FLayers[static_cast<size_t>(Index)].get();
}

TRVLayer* TRastovaView::GetCurrentLayer() {
  return FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount() ? FLayers[size_t(FLayersCurrent)].get()
                                                                  : nullptr;
}

void TRastovaView::SyncCurrentLayer() {
  if (TRVLayer* layer = GetCurrentLayer()) layer->Bitmap = FRVBitmap;
}

void TRastovaView::SetCurrentLayer(int32_t Index) {
  if (Index < 0 || Index >= GetLayersCount() || Index == FLayersCurrent) return;
  SyncCurrentLayer();
  // A selection keeps its place over the bottom layer: it goes through the saved-selection
  // stack and comes back fitted to the new layer.
  const bool carrySelection = FSelected && GetCurrentLayer();
  if (carrySelection) SaveSelection();
  FLayersCurrent = Index;
  while (FLayersCurrent > 0 && FSkipUnselectableLayers && !FLayers[size_t(FLayersCurrent)]->Selectable)
    --FLayersCurrent;
  TRVLayer& layer = *FLayers[size_t(FLayersCurrent)];
  FRVBitmap = layer.Bitmap;
  FBitmap = layer.LegacyTBitmap();
  ShowImageInNavigator();
  if (carrySelection) RestoreSelection(true, 2);
  CallBitmapChangeHandlers();
  Update();
}

int32_t TRastovaView::LayersAdd() {
  SyncCurrentLayer();
  FLayers.push_back(std::make_unique<TRVLayer>(this, false, FRVBitmap));
  const int32_t index = GetLayersCount() - 1;
  SetCurrentLayer(index);
  Blank();
  return index;
}

void TRastovaView::LayersRemove(int32_t Index) {
  if (GetLayersCount() < 2 || Index < 0 || Index >= GetLayersCount()) return;
  const bool withMask = Index + 1 < GetLayersCount() && FLayers[size_t(Index) + 1]->IsMask;
  // A layer and its mask that are all the view has stay: the view never runs out of layers.
  if (withMask && GetLayersCount() == 2) return;
  SyncCurrentLayer();
  // Layers Index to last go (the mask first). The current layer keeps being current under its
  // new index when it stays, whether one layer goes or two; when it goes, the layer that moves
  // into its place (or the new top) is the nearest. The index is settled before anything else
  // runs, so the view's image never stays a freed layer's.
  const int32_t last = withMask ? Index + 1 : Index, current = FLayersCurrent;
  if (withMask) FLayers.erase(FLayers.begin() + last);
  FLayers.erase(FLayers.begin() + Index);
  if (current >= 0 && current < Index) return;
  FLayersCurrent = -1;
  SetCurrentLayer(current > last ? current - (last - Index + 1) : std::min(Index, GetLayersCount() - 1));
}

void TRastovaView::LayersClear() {
  SyncCurrentLayer();
  while (GetLayersCount() > 1) FLayers.pop_back();
  FLayersCurrent = -1;
  SetCurrentLayer(0);
  TRVLayer& layer = *FLayers[0];
  layer.Reset();
  layer.ShowBox = false;
  layer.Locked = true;
  Blank();
}

int32_t TRastovaView::FindLayerAt(int32_t X, int32_t Y, bool SelectableOnly) {
  for (int32_t i = GetLayersCount() - 1; i >= 0; --i) {
    TRVLayer& l = *FLayers[size_t(i)];
    if (!l.Selectable && FSkipUnselectableLayers && SelectableOnly) continue;
    if (!l.Visible) continue;
    const platform::TRect& r = l.ScreenRect;
    if (X < r.Left || X > r.Right || Y < r.Top || Y > r.Bottom) continue;
    if (!l.Bitmap->HasAlphaBitmap() || (FSelectionOptions & SelectionOption(rvsoSelectTranspLayers)))
      return i;
    const int32_t bx = IntClamp(l.ConvXScr2Bmp(X), 0, l.Bitmap->GetWidth() - 1);
    const int32_t by = IntClamp(l.ConvYScr2Bmp(Y), 0, l.Bitmap->GetHeight() - 1);
    if (l.Bitmap->GetAlpha(bx, by) != 0) return i;
  }
  return -1;
}

bool TRastovaView::IsPointInLayer(int32_t X, int32_t Y, int32_t Index) {
  if (Index < 0) return false;
  TRVLayer& l = *GetLayer(Index);
  if (!l.Visible) return false;
  if (l.Rotation != 0) return PointInPolygon(X, Y, l.Corners, 3);
  const platform::TRect& r = l.ScreenRect;
  return X >= r.Left && X <= r.Right && Y >= r.Top && Y <= r.Bottom;
}

void TRastovaView::GetLayerGripRects(int32_t Index, platform::TRect (&Rects)[9]) {
  TRVLayer& l = *GetLayer(Index);
  // Layers can lie at the ends of the range: grip boxes and midpoints saturate.
  auto around = [this](int64_t cx, int64_t cy) { return BoxAround(cx, cy, FLayersGripSize); };
  auto mid = [](int64_t a, int64_t b) { return (a + b) / 2; };
  if (l.Rotation != 0) {
    const TRVPoint* c = l.Corners;
    for (int i = 0; i < 4; ++i) Rects[i] = around(c[i].x, c[i].y);
    Rects[4] = around(mid(c[0].x, c[3].x), mid(c[0].y, c[3].y));
    Rects[5] = around(mid(c[1].x, c[2].x), mid(c[1].y, c[2].y));
    Rects[6] = around(mid(c[0].x, c[1].x), mid(c[0].y, c[1].y));
    Rects[7] = around(mid(c[2].x, c[3].x), mid(c[2].y, c[3].y));
  } else {
    const platform::TRect& r = l.ScreenRect;
    Rects[0] = around(r.Left, r.Top);
    Rects[1] = around(r.Right, r.Top);
    Rects[2] = around(r.Right, r.Bottom);
    Rects[3] = around(r.Left, r.Bottom);
    Rects[4] = around(r.Left, mid(r.Top, r.Bottom));
    Rects[5] = around(r.Right, mid(r.Top, r.Bottom));
    Rects[6] = around(mid(r.Left, r.Right), r.Top);
    Rects[7] = around(mid(r.Left, r.Right), r.Bottom);
  }
  Rects[8] = around(l.ConvXBmp2Scr(common::RoundInt(l.Bitmap->GetWidth() * l.RotateCenterX)),
                    l.ConvYBmp2Scr(common::RoundInt(l.Bitmap->GetHeight() * l.RotateCenterY)));
}

TRVGrip TRastovaView::HitLayerGrip(int32_t X, int32_t Y) {
  if (!GetCurrentLayer()) return TRVGrip::rvNone;
  platform::TRect rects[9];
  GetLayerGripRects(FLayersCurrent, rects);
  for (int i = 0; i < 9; ++i) {
    const platform::TRect& r = rects[i];
    if (X >= r.Left && X <= r.Right && Y >= r.Top && Y <= r.Bottom) {
      const TRVGrip grip = static_cast<TRVGrip>(i + 1);
      if (grip == TRVGrip::rvRotationCenter && !InInteract(FMouseInteract, miRotateLayers))
        return TRVGrip::rvNone;
      return grip;
    }
  }
  return TRVGrip::rvNone;
}

void TRastovaView::LayersSyncSize() {
  if (FBitmap && FRVBitmap) FRVBitmap->SyncFromTBitmap();
  SyncCurrentLayer();
  FBitmapWidth = FLayers[0]->Bitmap->GetWidth();
  FBitmapHeight = FLayers[0]->Bitmap->GetHeight();
  if (!FLayersAutoSize || GetLayersCount() < 2) return;
  for (const auto& l : FLayers) {
    FBitmapWidth = std::max(FBitmapWidth, l->Bitmap->GetWidth());
    FBitmapHeight = std::max(FBitmapHeight, l->Bitmap->GetHeight());
  }
  for (const auto& l : FLayers) {
    TRVBitmap& b = *l->Bitmap;
    if (b.GetWidth() != FBitmapWidth || b.GetHeight() != FBitmapHeight) {
      b.AlphaBitmap();
      rv::Resize(b, FBitmapWidth, FBitmapHeight, FBackground, 0, 0, 0);
    }
    if (b.HasAlphaBitmap()) {
      TRVBitmap& a = *b.AlphaBitmap();
      if (a.GetWidth() != FBitmapWidth || a.GetHeight() != FBitmapHeight)
        rv::Resize(a, FBitmapWidth, FBitmapHeight, 0, 0, 0, 0);
    }
  }
}

namespace {

// The union's right and bottom edges and the room left of and above the origin.
struct TLayersUnion {
  int64_t Right, Bottom, OffX = 0, OffY = 0;
};

TLayersUnion UnionOf(const std::vector<std::unique_ptr<TRVLayer>>& layers) {
  TRVLayer& l0 = *layers[0];
  TLayersUnion u{int64_t(l0.PosX) + l0.GetDisplayWidth(), int64_t(l0.PosY) + l0.GetDisplayHeight()};
  for (const auto& l : layers) {
    if (l->ClipToImage) continue;
    u.Right = std::max<int64_t>(u.Right, int64_t(l->PosX) + l->GetDisplayWidth());
    u.Bottom = std::max<int64_t>(u.Bottom, int64_t(l->PosY) + l->GetDisplayHeight());
    u.OffX = std::max<int64_t>(u.OffX, -int64_t(l->PosX));
    u.OffY = std::max<int64_t>(u.OffY, -int64_t(l->PosY));
  }
  return u;
}

}  // namespace

void TRastovaView::LayersDrawSize(int64_t& Width, int64_t& Height) {
  const TLayersUnion u = UnionOf(FLayers);
  Width = u.Right + u.OffX;
  Height = u.Bottom + u.OffY;
}

void TRastovaView::LayersDrawTo(TRVBitmap* Dest) {
  if (!Dest) return;
  SyncCurrentLayer();
  TRVLayer& l0 = *FLayers[0];
  const TLayersUnion u = UnionOf(FLayers);
  const int32_t offX = common::SaturateInt32(u.OffX), offY = common::SaturateInt32(u.OffY);
  if (Dest->IsEmpty()) Dest->Allocate(1, 1, rv24RGB);
  rv::Resize(*Dest, common::SaturateInt32(u.Right + u.OffX), common::SaturateInt32(u.Bottom + u.OffY),
             FBackground, 255, 0, 0);
  // The view is switched to 100 % at the origin for the drawing, and back afterwards whatever
  // happens.
  struct TSaved {
    TRastovaView& V;
    int32_t W, H, X, Y;
    double ZX, ZY;
    ~TSaved() {
      V.FBitmapWidth = W;
      V.FBitmapHeight = H;
      V.FViewX = X;
      V.FViewY = Y;
      V.FZoomX = ZX;
      V.FZoomY = ZY;
      V.RecomputeZoomFactors();
    }
  };
  {
    const TSaved saved{*this, FBitmapWidth, FBitmapHeight, FViewX, FViewY, FZoomX, FZoomY};
    FZoomX = FZoomY = 100;
    RecomputeZoomFactors();
    FViewX = FViewY = 0;
    FOffsetX = offX;
    FOffsetY = offY;
    FBitmapWidth = l0.Bitmap->GetWidth();
    FBitmapHeight = l0.Bitmap->GetHeight();
    FExtentX = FZoomedWidth = FBitmapWidth;
    FExtentY = FZoomedHeight = FBitmapHeight;
    DrawLayersTo(Dest, nullptr, false, false, nullptr);
  }
  FInvalidateOnUpdate = false;
  Update();
  FInvalidateOnUpdate = true;
}

void TRastovaView::LayersMergeAll() {
  TRVBitmap merged(FRVBitmap->GetWidth(), FRVBitmap->GetHeight(), rv24RGB);
  merged.Fill(FBackground);
  LayersDrawTo(&merged);
  LayersClear();
  FRVBitmap->Assign(&merged);
  if (FBitmap) FRVBitmap->SyncFromTBitmap();
  Update();
}

void TRastovaView::LayersFixSizes(int32_t Index) {
  const int32_t saved = FLayersCurrent;
  TRastovaProc proc(nullptr);
  for (int32_t i = 0; i < GetLayersCount(); ++i) {
    if (Index != -1 && i != Index) continue;
    TRVLayer& l = *FLayers[size_t(i)];
    if (l.DisplayWidth == 0 && l.DisplayHeight == 0) continue;
    SetCurrentLayer(i);
    proc.SetAttachedRVBitmap(l.Bitmap);
    proc.Resample(l.GetDisplayWidth(), l.GetDisplayHeight(),
                  l.UseResampleFilter ? l.ResampleFilter : FZoomFilter);
    l.DisplayWidth = l.DisplayHeight = 0;
  }
  SetCurrentLayer(saved);
}

void TRastovaView::LayersFixRotations(int32_t Index) {
  const int32_t saved = FLayersCurrent;
  bool any = false;
  for (int32_t i = 0; i < GetLayersCount(); ++i) {
    if (Index != -1 && i != Index) continue;
    TRVLayer& l = *FLayers[size_t(i)];
    if (l.Rotation == 0) continue;
    any = true;
    LayersFixSizes(i);
    SetCurrentLayer(i);
    const int32_t w = l.GetDisplayWidth(), h = l.GetDisplayHeight();
    TRVPoint corners[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    RotatePoints(corners, 3, common::TruncInt(w * l.RotateCenterX), common::TruncInt(h * l.RotateCenterY),
                 l.Rotation);
    int32_t minX = corners[0].x, minY = corners[0].y;
    for (const TRVPoint& c : corners) {
      minX = std::min(minX, c.x);
      minY = std::min(minY, c.y);
    }
    l.PosX += minX;
    l.PosY += minY;
    TRastovaProc proc(nullptr);
    proc.SetBackground(FBackground);
    proc.SetAttachedRVBitmap(l.Bitmap);
    Rotate(proc, l.Rotation, FLayersRotationAntialias, FLayersRotationMode, -1);
    l.DisplayWidth = l.DisplayHeight = 0;
    l.SetRotation(0);
    platform::TRect bounds;
    GetOpaqueBounds(*l.Bitmap, bounds);
    proc.CropToRect(bounds);
    l.PosX += bounds.Left;
    l.PosY += bounds.Top;
  }
  if (any) SetCurrentLayer(saved);
}

void TRastovaView::LayersCropToOpaque(int32_t Index) {
  TRastovaProc proc(nullptr);
  for (int32_t i = 0; i < GetLayersCount(); ++i) {
    if (Index != -1 && i != Index) continue;
    proc.SetAttachedRVBitmap(FLayers[size_t(i)]->Bitmap);
    proc.CropToOpaqueArea();
  }
}

void TRastovaView::SetExternalBitmap(TRVBitmap* Bitmap) {
  TRVLayer* layer = GetCurrentLayer();
  if (!layer) return;
  if (!Bitmap) {
    if (layer->OwnsBitmap) FreeLayerBitmap(layer->Bitmap);
    layer->OwnsBitmap = true;
    FRVBitmap = new TRVBitmap();
    layer->Bitmap = FRVBitmap;
    FBitmap = nullptr;
    ShowImageInNavigator();
    // The picture the attached components worked on may be gone: they take the new one.
    CallBitmapChangeHandlers();
    return;
  }
  // The layer's own picture given back to it stays, and stays the layer's.
  if (Bitmap != layer->Bitmap) {
    if (layer->OwnsBitmap) FreeLayerBitmap(layer->Bitmap);
    layer->Bitmap = Bitmap;
    layer->OwnsBitmap = false;
  }
  FRVBitmap = Bitmap;
  FBitmap = layer->LegacyTBitmap();
  ShowImageInNavigator();
  CallBitmapChangeHandlers();
  Update();
}

void TRastovaView::DoLayerNotify(int32_t Layer, TRVLayerEvent Event) {
  if (!FOnLayerNotify) return;
  SwapSelectionBase();
  FOnLayerNotify(this, Layer, Event);
  SwapSelectionBase();
}

}  // namespace rv

// The view's layers and selection to and from streams, the saved-selection stack, the
// processing component's window on them, and Photoshop layers.
#include <algorithm>
#include <cstring>
#include <limits>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

namespace {

TRVLayerProps PropsOf(const TRVLayer& l) {
  TRVLayerProps p;
  p.Visible = l.Visible;
  p.ShowBox = l.ShowBox;
  p.Opacity = l.Opacity;
  p.PosX = l.PosX;
  p.PosY = l.PosY;
  p.ClipToImage = l.ClipToImage;
  p.Locked = l.Locked;
  p.MagnifierEnabled = l.MagnifierEnabled;
  p.MagnifierRate = l.MagnifierRate;
  p.MagnifierShape = l.MagnifierShape;
  p.MagnifierSource = l.MagnifierSource;
  p.Operation = static_cast<uint8_t>(l.Operation);
  p.DisplayWidth = l.DisplayWidth;
  p.DisplayHeight = l.DisplayHeight;
  p.ResampleFilter = static_cast<uint8_t>(l.ResampleFilter);
  p.UseResampleFilter = l.UseResampleFilter;
  p.Name = l.Name;
  if (l.UserDataLen > 0 && l.UserData) {
    const auto* b = static_cast<const uint8_t*>(l.UserData);
    p.UserData.assign(b, b + l.UserDataLen);
  }
  p.IsMask = l.IsMask;
  p.Selectable = l.Selectable;
  p.ShadeOutside = l.ShadeOutside;
  return p;
}

// The fields a record of that version holds; newer ones keep the layer's values.
void ApplyProps(TRVLayer& l, const TRVLayerProps& p, int32_t version) {
  l.Visible = p.Visible;
  l.ShowBox = p.ShowBox;
  l.Opacity = p.Opacity;
  l.PosX = p.PosX;
  l.PosY = p.PosY;
  l.ClipToImage = p.ClipToImage;
  l.Locked = p.Locked;
  l.MagnifierEnabled = p.MagnifierEnabled;
  l.MagnifierRate = p.MagnifierRate;
  l.MagnifierShape = p.MagnifierShape;
  l.Operation = static_cast<TRVRenderOperation>(p.Operation);
  l.DisplayWidth = p.DisplayWidth;
  l.DisplayHeight = p.DisplayHeight;
  if (version >= 3) {
    l.MagnifierSource = p.MagnifierSource;
    l.ResampleFilter = static_cast<TResampleFilter>(p.ResampleFilter);
    l.UseResampleFilter = p.UseResampleFilter;
    l.Name = p.Name;
    // A block of the layer's own goes; a referenced one is only dropped.
    if (l.UserDataLen > 0) std::free(l.UserData);
    l.UserData = nullptr;
    l.UserDataLen = 0;
    if (!p.UserData.empty()) {
      l.UserData = std::malloc(p.UserData.size());
      if (!l.UserData) throw std::bad_alloc();
      std::memcpy(l.UserData, p.UserData.data(), p.UserData.size());
      l.UserDataLen = static_cast<int32_t>(p.UserData.size());
    }
    l.IsMask = p.IsMask;
  }
  if (version >= 4) l.Selectable = p.Selectable;
  if (version >= 6) l.ShadeOutside = p.ShadeOutside;
  l.ScreenRect = platform::TRect{};
}

// Puts an image into a layer's own image (which the view may be showing).
void TakeImage(TRVLayer& l, TRVBitmap& image) {
  l.Bitmap->Assign(&image);
  if (l.Bitmap->PlatformBitmap()) l.Bitmap->SyncFromTBitmap();
}

void PutI32(std::vector<uint8_t>& b, int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(uint32_t(v) >> (8 * i)));
}

int32_t GetI32(TStream& s) {
  uint8_t b[4];
  if (s.Read(b, 4) != 4) throw ERVLayerStreamError("Damaged selection stream: truncated");
  return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

uint8_t GetU8(TStream& s) {
  uint8_t b = 0;
  if (s.Read(&b, 1) != 1) throw ERVLayerStreamError("Damaged selection stream: truncated");
  return b;
}

// Row length of a mask row: 4-byte aligned.
int64_t MaskRowLen(int32_t width, int32_t bits) { return ((int64_t(width) * bits + 31) / 32) * 4; }

}  // namespace

// ---------------------------------------------------------------- layer streams

void TRastovaView::SaveLayersToStream(TStream& Stream, int32_t ImageFormat) {
  const int32_t savedCurrent = FLayersCurrent;
  const bool savedSkip = FSkipUnselectableLayers;
  FSkipUnselectableLayers = false;
  try {
    SyncCurrentLayer();
    std::vector<TRVLayerProps> props;
    std::vector<TRVLayerToWrite> layers;
    props.reserve(FLayers.size());
    for (const auto& l : FLayers) props.push_back(PropsOf(*l));
    for (size_t i = 0; i < FLayers.size(); ++i) layers.push_back({&props[i], FLayers[i]->Bitmap});
    WriteLayerStream(Stream, ImageFormat, layers);
  } catch (...) {
    FSkipUnselectableLayers = savedSkip;
    SetCurrentLayer(savedCurrent);
    throw;
  }
  FSkipUnselectableLayers = savedSkip;
  SetCurrentLayer(savedCurrent);
}

bool TRastovaView::LoadLayersFromStream(TStream& Stream) {
  TRVLayerStreamContent content;
  // Read and checked whole first: a damaged stream raises here and the layers stay.
  const TLayerStreamRead read = ReadLayerStream(Stream, content);
  if (read == TLayerStreamRead::NotLayers) return false;
  const bool ok = read == TLayerStreamRead::Ok;
  if (ok) {
    const bool savedSkip = FSkipUnselectableLayers;
    FSkipUnselectableLayers = false;
    LockUpdate();
    try {
      for (int32_t i = GetLayersCount() - 1; i > 0; --i) {
        SyncCurrentLayer();
        FLayers.erase(FLayers.begin() + i);
        if (FLayersCurrent >= i) FLayersCurrent = -1;
      }
      if (FLayersCurrent < 0) SetCurrentLayer(0);
      for (size_t i = 0; i < content.Layers.size(); ++i) {
        if (i > 0) LayersAdd();
        TRVLayer& l = *FLayers[i];
        ApplyProps(l, content.Layers[i].Props, content.Version);
        SetCurrentLayer(static_cast<int32_t>(i));
        TakeImage(l, *content.Layers[i].Image);
        content.Layers[i].Image.reset();  // the layer has its copy: no image is held twice
      }
    } catch (...) {
      FSkipUnselectableLayers = savedSkip;
      UnlockUpdateNoRefresh();
      throw;
    }
    FSkipUnselectableLayers = savedSkip;
    UnlockUpdateNoRefresh();
  }
  if (FIO && !FLayers.empty()) {
    TRVBitmap* base = FLayers[0]->Bitmap;
    FIO->Params.Width = FIO->Params.StoredWidth = base->GetWidth();
    FIO->Params.Height = FIO->Params.StoredHeight = base->GetHeight();
  }
  CallBitmapChangeHandlers();
  Update();
  return ok;
}

bool TRastovaView::LoadLayersFromFile(const std::string& FileName) {
  TRVWideFileStream file(FileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
  return LoadLayersFromStream(file);
}

// ---------------------------------------------------------------- the processing component's window

const TRVPoint* TRastovaView::PolygonPoints() {
  return FSelectionPolygon && !FSelectionPolygon->Points.empty() ? FSelectionPolygon->Points.data() : nullptr;
}

int32_t TRastovaView::PolygonPointCount() {
  return FSelectionPolygon ? static_cast<int32_t>(FSelectionPolygon->Points.size()) : 0;
}

void TRastovaView::GetLayerIdentity(int32_t Index, uint8_t Identity[16]) {
  std::memcpy(Identity, GetLayer(Index)->Guid, 16);
}

void TRastovaView::SaveLayerToStream(int32_t Index, TStream& Stream, bool WithBitmap) {
  SyncCurrentLayer();
  GetLayer(Index)->SaveToStream(Stream, WithBitmap);
}

void TRastovaView::LoadLayerFromStream(int32_t Index, TStream& Stream) {
  TRVLayer* l = GetLayer(Index);
  l->LoadFromStream(Stream);
  if (Index == FLayersCurrent) {
    FRVBitmap = l->Bitmap;
    FBitmap = l->LegacyTBitmap();
  }
}

// ---------------------------------------------------------------- selection streams

void TRastovaView::SaveSelectionToStream(TStream& Stream) {
  TRVMask& m = *FSelectionMask;
  std::vector<uint8_t> b;
  PutI32(b, m.Width());
  PutI32(b, m.Height());
  const std::vector<TRVPoint> none;
  const std::vector<TRVPoint>& pts = FSelectionPolygon ? FSelectionPolygon->Points : none;
  PutI32(b, static_cast<int32_t>(pts.size()));
  for (const TRVPoint& p : pts) {
    PutI32(b, p.x);
    PutI32(b, p.y);
  }
  const TRVSelectionPolygon empty;
  const TRVSelectionPolygon& r = FSelectionPolygon ? *FSelectionPolygon : empty;
  for (int32_t v : {r.X1, r.Y1, r.X2, r.Y2}) PutI32(b, v);
  b.push_back(FSelected ? 1 : 0);
  TRVLayer* l = GetCurrentLayer();
  PutI32(b, l ? l->PosX : 0);
  PutI32(b, l ? l->PosY : 0);
  PutI32(b, m.BitsPerPixel());
  for (int32_t v : {m.Left, m.Top, m.Right, m.Bottom}) PutI32(b, v);
  b.push_back(m.Full ? 1 : 0);
  Stream.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
  const int64_t rowLen = MaskRowLen(m.Width(), m.BitsPerPixel());
  // Rows as the mask keeps them: bottom row first.
  for (int32_t y = m.Height() - 1; y >= 0; --y) Stream.WriteBuffer(m.GetScanLine(y), rowLen);
}

bool TRastovaView::LoadSelectionFromStream(TStream& Stream, int32_t Mode) {
  // Everything is read and checked before the selection changes.
  const int32_t w = GetI32(Stream), h = GetI32(Stream);
  if (w < 0 || h < 0) throw ERVLayerStreamError("Damaged selection stream: negative mask size");
  const int32_t count = GetI32(Stream);
  if (count < 0) throw ERVLayerStreamError("Damaged selection stream: negative point count");
  CheckBytesLeft(Stream, int64_t(count) * 8, "the selection polygon");
  std::vector<TRVPoint> points(static_cast<size_t>(count));
  for (TRVPoint& p : points) {
    p.x = GetI32(Stream);
    p.y = GetI32(Stream);
  }
  int32_t box[4];
  for (int32_t& v : box) v = GetI32(Stream);
  const bool selected = GetU8(Stream) != 0;
  const int32_t sx = GetI32(Stream), sy = GetI32(Stream);
  const int32_t bits = GetI32(Stream);
  if (bits != 1 && bits != 8) throw ERVLayerStreamError("Damaged selection stream: mask of " + std::to_string(bits) + " bits per pixel");
  int32_t maskBox[4];
  for (int32_t& v : maskBox) v = GetI32(Stream);
  const bool full = GetU8(Stream) != 0;
  const int64_t rowLen = MaskRowLen(w, bits);
  if (h > 0 && rowLen > (Stream.GetSize() - Stream.GetPosition()) / h)
    throw ERVLayerStreamError("Damaged selection stream: mask rows go past the end");
  auto mask = std::make_unique<TRVMask>();
  mask->AllocateBits(w, h, bits);
  for (int32_t y = h - 1; y >= 0; --y)
    if (rowLen > 0 && Stream.Read(mask->GetScanLine(y), rowLen) != rowLen)
      throw ERVLayerStreamError("Damaged selection stream: truncated mask");
  mask->Left = maskBox[0];
  mask->Top = maskBox[1];
  mask->Right = maskBox[2];
  mask->Bottom = maskBox[3];
  mask->Full = full;
  // The stored box is not trusted: the mask's own pixels tell.
  mask->RecomputeBounds();
  if (full) mask->CheckFull();

  FSelectionPolygon->Points = std::move(points);
  FSelectionPolygon->CountedLength = SIZE_MAX;
  FSelectionPolygon->X1 = box[0];
  FSelectionPolygon->Y1 = box[1];
  FSelectionPolygon->X2 = box[2];
  FSelectionPolygon->Y2 = box[3];
  FSelected = selected;
  FSelectionMask = std::move(mask);
  TRVMask& m = *FSelectionMask;
  LockUpdate();
  const int32_t iw = FRVBitmap ? FRVBitmap->GetWidth() : 0, ih = FRVBitmap ? FRVBitmap->GetHeight() : 0;
  TRVLayer* l = GetCurrentLayer();
  if (Mode == 2) {
    // Fit to the current layer: the selection keeps its place over the bottom layer, as a mask.
    // Each pixel of the layer takes the saved pixel at the same place of the bottom layer; what
    // lay left of or above the bottom layer stays out. A mask spanning both places would grow
    // with the layers' distance: gigabytes for a layer far away.
    ClearPolygon(FSelectionPolygon);
    const int64_t px = l ? l->PosX : 0, py = l ? l->PosY : 0;
    auto fitted = std::make_unique<TRVMask>();
    fitted->AllocateBits(iw, ih, m.BitsPerPixel());
    for (int32_t y = 0; y < ih; ++y) {
      const int64_t by = y + py, my = by - sy;
      if (by < 0 || my < 0 || my >= m.Height()) continue;
      for (int32_t x = 0; x < iw; ++x) {
        const int64_t bx = x + px, mx = bx - sx;
        if (bx >= 0 && mx >= 0 && mx < m.Width())
          fitted->SetPixel(x, y, m.GetPixel(int32_t(mx), int32_t(my)));
      }
    }
    FSelectionMask = std::move(fitted);
    FSelectionMask->CheckFull();
    FSelectionMask->RecomputeBounds();
  } else if (iw != w || ih != h) {
    if (m.IsEmpty()) {
      m.Resize(iw, ih);
    } else {
      if (Mode == 1) {
        const int32_t dx = m.Right > iw - 1 ? -(m.Right - (iw - 1)) : 0;
        const int32_t dy = m.Bottom > ih - 1 ? -(m.Bottom - (ih - 1)) : 0;
        if (dx != 0 || dy != 0) MoveSelectionBy(dx, dy);
      }
      m.Resize(iw, ih);
      m.CheckFull();
      m.RecomputeBounds();
    }
  }
  if (FSelectionMask->IsEmpty())
    DeSelect();
  else
    FSelected = true;
  ShowSelection(true);
  UnlockUpdate();
  Update();
  return true;
}

void TRastovaView::SaveSelection() {
  auto s = std::make_unique<TMemoryStream>();
  SaveSelectionToStream(*s);
  FSavedSelections.push_back(std::move(s));
}

bool TRastovaView::RestoreSelection(bool Pop, int32_t Mode) {
  if (FSavedSelections.empty()) return false;
  std::unique_ptr<TMemoryStream> top = std::move(FSavedSelections.back());
  FSavedSelections.pop_back();
  top->SetPosition(0);
  bool ok = false;
  try {
    ok = LoadSelectionFromStream(*top, Mode);
  } catch (...) {
    if (!Pop) FSavedSelections.push_back(std::move(top));
    throw;
  }
  if (!Pop) FSavedSelections.push_back(std::move(top));
  return ok;
}

// ---------------------------------------------------------------- Photoshop layers

void TRastovaView::TakePSDLayers(TPSDLayerList& Layers, TIOParamsVals& Params) {
  (void)Params;
  if (Layers.empty()) return;
  const bool savedSkip = FSkipUnselectableLayers;
  FSkipUnselectableLayers = false;
  LockUpdate();
  for (int32_t i = GetLayersCount() - 1; i > 0; --i) FLayers.erase(FLayers.begin() + i);
  FLayersCurrent = -1;
  SetCurrentLayer(0);
  FLayers[0]->Reset();
  for (size_t i = 0; i < Layers.size(); ++i) {
    if (i > 0) LayersAdd();
    TRVLayer& l = *FLayers[i];
    SetCurrentLayer(static_cast<int32_t>(i));
    l.AssignFromPSDLayer(*Layers[i]);
  }
  // The bottom layer holds the picture; it cannot be moved or resized with the mouse.
  FLayers[0]->Locked = true;
  FSkipUnselectableLayers = savedSkip;
  SetCurrentLayer(0);
  UnlockUpdateNoRefresh();
  Layers.clear();
  CallBitmapChangeHandlers();
  Update();
}

bool TRastovaView::GetPSDLayersForSave(TRVBitmap& Merged, TPSDLayerList& Layers) {
  SyncCurrentLayer();
  if (FLayers.empty()) return false;
  TRVBitmap& base = *FLayers[0]->Bitmap;
  Merged.Allocate(base.GetWidth(), base.GetHeight(), rv24RGB);
  Merged.Fill(FBackground);
  LayersDrawTo(&Merged);
  for (const auto& src : FLayers) {
    auto l = std::make_unique<TPSDLayer>();
    l->Bitmap->Assign(src->Bitmap);
    l->Left = src->PosX;
    l->Top = src->PosY;
    l->Opacity = static_cast<uint8_t>(std::clamp(src->Opacity, 0, 255));
    l->Visible = src->Visible;
    l->Name = src->Name;
    l->IsMask = src->IsMask;
    l->DisplayWidth = src->GetDisplayWidth();
    l->DisplayHeight = src->GetDisplayHeight();
    l->ResampleFilter = src->ResampleFilter;
    l->UseResampleFilter = src->UseResampleFilter;
    Layers.push_back(std::move(l));
  }
  return true;
}

void TRVLayer::AssignFromPSDLayer(TPSDLayer& Source) {
  Bitmap->Assign(Source.Bitmap.get());
  if (Bitmap->PlatformBitmap()) Bitmap->SyncFromTBitmap();
  PosX = Source.Left;
  PosY = Source.Top;
  Opacity = Source.Opacity;
  Visible = Source.Visible;
  Name = Source.Name;
  IsMask = Source.IsMask;
  ResampleFilter = Source.ResampleFilter;
  UseResampleFilter = Source.UseResampleFilter;
}

}  // namespace rv

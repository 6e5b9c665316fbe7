// The processing component: attachment, undo and redo, the processing machinery, the
// resampling front with the canvas operations, the dialogs' parameter block and the module's
// start-up.
#include "rastova/core/RastovaProc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVResampleInternal.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/filter/RVFilterPresets.h"

namespace rv {

using resample_detail::AccessScope;

// One undo or redo entry.
struct TRastovaProc::State {
  TRVUndoSource source = rvuUnknown;
  std::string caption;
  std::unique_ptr<TRVBitmap> image;  // rvuImage
  int32_t layerTag = -1;             // the view's current layer when the image was saved
  std::unique_ptr<TMemoryStream> stream;
};

namespace {

// Bits of one pixel of each format, and the pixel's bytes for the byte-sized formats.
int32_t BytesPerPixel(TRVPixelFormat f) { return kRVBitCount[f < kRVPixelFormatCount ? f : 0] / 8; }

// Preferred conversions of each format, in order (zeros skipped).
constexpr TRVPixelFormat kConversions[kRVPixelFormatCount][7] = {
    {},
    {rv8g, rv16g, rv32f, rv24RGB},
    {rv24RGB, rvCMYK, rv48RGB, rvCIELab},
    {rv16g, rv32f, rv24RGB, rvCMYK, rv48RGB},
    {rv32f, rv8g, rv48RGB, rv24RGB, rvCMYK},
    {rvCMYK, rvCIELab, rv48RGB, rv8p, rv16g, rv8g},
    {rv16g, rv8g, rv24RGB, rv48RGB, rvCIELab},
    {rv24RGB, rv48RGB, rvCIELab, rv8g},
    {rv24RGB, rvCMYK, rvCIELab, rv16g},
    {rv24RGB, rvCMYK, rv48RGB, rv8g},
    {rv24RGB, rvCMYK, rv48RGB, rv8g},
};

std::string FormatCaption(const char* format, int32_t a, int32_t b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

// ---------------------------------------------------------------- life and attachment

TRastovaProc::TRastovaProc(const void* owner)
    : AutoUndo(owner != nullptr), dialogParams_(std::make_unique<TIPDialogParams>()) {
  buffer_ = new TRVBitmap();
}

TRastovaProc::~TRastovaProc() {
  RemoveRegistration();
  TRastovaProc::ClearAllUndo();
  TRastovaProc::ClearAllRedo();
  FreeOwnedBuffer();
}

void TRastovaProc::RemoveRegistration() {
  if (view_ && registration_) view_->RemoveBitmapChangeHandler(registration_);
  registration_ = nullptr;
}

void TRastovaProc::FreeOwnedBuffer() {
  if (ownsBuffer_) delete buffer_;
  buffer_ = nullptr;
  ownsBuffer_ = false;
}

void TRastovaProc::OwnNewBuffer() {
  FreeOwnedBuffer();
  buffer_ = new TRVBitmap();
  ownsBuffer_ = true;
}

void TRastovaProc::SetAttachedRVBitmap(TRVBitmap* bitmap) {
  RemoveRegistration();
  if (!bitmap && (view_ || picture_)) return;
  platformBitmap_ = nullptr;
  FreeOwnedBuffer();
  buffer_ = bitmap;
  ownsBuffer_ = false;
  if (bitmap) {
    view_ = nullptr;
    picture_ = nullptr;
  }
}

void TRastovaProc::SetAttachedRastova(IRVProcView* view) {
  RemoveRegistration();
  view_ = view;
  if (!view) {
    platformBitmap_ = nullptr;
    OwnNewBuffer();
    return;
  }
  FreeOwnedBuffer();
  platformBitmap_ = nullptr;
  if (TRVBitmap* b = view->GetRVBitmap()) {
    buffer_ = b;
  } else {
    // A view without an image of its own: wrap its platform bitmap.
    OwnNewBuffer();
    platformBitmap_ = view->GetBitmap();
    buffer_->EncapsulateTBitmap(platformBitmap_, true);
  }
  view->FreeNotification(this);
  picture_ = nullptr;
  registration_ = view->AddBitmapChangeHandler(
      [this](IRVProcView* sender, bool destroying) { ViewBitmapChanged(sender, destroying); });
}

void TRastovaProc::SetAttachedTImage(IRVProcPicture* picture) {
  RemoveRegistration();
  if (view_) {
    // The current image belongs to the view: the picture gets a buffer of the component's own.
    view_ = nullptr;
    OwnNewBuffer();
  }
  picture_ = picture;
  if (picture) {
    if (!ownsBuffer_ || !buffer_) OwnNewBuffer();
    platformBitmap_ = picture->PictureBitmap();
    buffer_->EncapsulateTBitmap(platformBitmap_, true);
    picture->FreeNotification(this);
  } else {
    platformBitmap_ = nullptr;
    if (buffer_) buffer_->FreeImage(true);
  }
}

void TRastovaProc::HandleNotification(const void* component, TOperation operation) {
  if (operation != TOperation::opRemove || !component) return;
  if (view_ && component == static_cast<const void*>(view_)) {
    RemoveRegistration();
    view_ = nullptr;
    // The view's image goes with the view.
    platformBitmap_ = nullptr;
    OwnNewBuffer();
  } else if (picture_ && component == static_cast<const void*>(picture_)) {
    picture_ = nullptr;
    // The wrapper must not outlive the picture's bitmap.
    platformBitmap_ = nullptr;
    OwnNewBuffer();
  }
}

void TRastovaProc::ViewBitmapChanged(IRVProcView* sender, bool destroying) {
  if (destroying) {
    if (sender == view_) {
      registration_ = nullptr;  // the view drops its registrations itself
      view_ = nullptr;
      platformBitmap_ = nullptr;
      OwnNewBuffer();
    }
    return;
  }
  if (!view_) return;
  if (buffer_ && !platformBitmap_) {
    if (TRVBitmap* b = view_->GetRVBitmap()) {
      FreeOwnedBuffer();
      buffer_ = b;
    }
    platformBitmap_ = nullptr;
  } else if (platformBitmap_) {
    if (!ownsBuffer_ || !buffer_) OwnNewBuffer();
    platformBitmap_ = view_->GetBitmap();
    buffer_->EncapsulateTBitmap(platformBitmap_, true);
  }
}

TColor TRastovaProc::GetBackground() const { return view_ ? view_->GetBackground() : background_; }

void TRastovaProc::SetBackground(TColor value) {
  if (view_) view_->SetBackground(value);
  else background_ = value;
}

// ---------------------------------------------------------------- undo and redo

void TRastovaProc::SetUndoLimit(int32_t value) {
  if (value >= 0) undoLimit_ = value;
}

std::unique_ptr<TRastovaProc::State> TRastovaProc::BuildState(TRVUndoSource source) {
  auto state = std::make_unique<State>();
  state->source = source;
  IRVProcLayerView* layers = view_ ? view_->AsLayerView() : nullptr;
  IRVProcVectView* vect = view_ ? view_->AsVectView() : nullptr;
  switch (source) {
    case rvuImage: {
      if (!buffer_ || buffer_->GetWidth() < 2 || buffer_->GetHeight() < 2) return nullptr;
      auto copy = std::make_unique<TRVBitmap>();
      copy->MemoryThreshold = 0;
      copy->SetLocation(UndoLocation);
      copy->Assign(buffer_);
      state->image = std::move(copy);
      state->layerTag = layers ? layers->CurrentLayerIndex() : -1;
      return state;
    }
    case rvuSelection:
      if (!layers) return nullptr;
      state->stream = std::make_unique<TMemoryStream>();
      layers->SaveSelectionToStream(*state->stream);
      return state;
    case rvuObject:
      if (!vect) return nullptr;
      state->stream = std::make_unique<TMemoryStream>();
      vect->SaveObjectsToStream(*state->stream);
      return state;
    case rvuLayer:
    case rvuFullLayer: {
      if (!layers) return nullptr;
      state->stream = std::make_unique<TMemoryStream>();
      const int32_t current = layers->CurrentLayerIndex();
      for (int32_t i = 0; i < layers->GetLayersCount(); ++i)
        layers->SaveLayerToStream(i, *state->stream, source == rvuFullLayer && i == current);
      return state;
    }
    case rvuObjectsAndLayers:
      if (vect) {
        state->stream = std::make_unique<TMemoryStream>();
        vect->SaveAllToStream(*state->stream, -1);
      } else if (layers) {
        state->stream = std::make_unique<TMemoryStream>();
        layers->SaveLayersToStream(*state->stream, -2);
      } else {
        return nullptr;
      }
      return state;
    default:
      return nullptr;
  }
}

void TRastovaProc::Push(std::vector<std::unique_ptr<State>>& list, std::unique_ptr<State> state) {
  while (!list.empty() && static_cast<int32_t>(list.size()) >= undoLimit_) list.erase(list.begin());
  list.push_back(std::move(state));
}

bool TRastovaProc::SaveEntry(std::vector<std::unique_ptr<State>>& list, TRVUndoSource source) {
  if (undoLimit_ <= 0) return false;
  if (source == rvuImage && !CanProcess(0)) return false;
  std::unique_ptr<State> state = BuildState(source);
  if (!state) return false;
  Push(list, std::move(state));
  return true;
}

void TRastovaProc::SaveUndo(TRVUndoSource source) {
  if (undoLimit_ <= 0) return;
  if (source == rvuImage && !CanProcess(0)) return;
  SaveEntry(undo_, source);
  if (OnSaveUndo) OnSaveUndo(this, source);
}

void TRastovaProc::SaveRedo(TRVUndoSource source) { SaveEntry(redo_, source); }

void TRastovaProc::SaveUndoCaptioned(const std::string& caption, TRVUndoSource source) {
  if (!CanProcess(0) || buffer_->GetWidth() < 2 || buffer_->GetHeight() < 2) return;
  const size_t before = undo_.size();
  const State* newest = undo_.empty() ? nullptr : undo_.back().get();
  SaveUndo(source);
  if (!undo_.empty() && (undo_.size() != before || undo_.back().get() != newest)) undo_.back()->caption = caption;
}

void TRastovaProc::SaveRedoCaptioned(const std::string& caption, TRVUndoSource source) {
  if (!CanProcess(0) || buffer_->GetWidth() < 2 || buffer_->GetHeight() < 2) return;
  if (SaveEntry(redo_, source)) redo_.back()->caption = caption;
}

void TRastovaProc::Restore(State& state) {
  IRVProcLayerView* layers = view_ ? view_->AsLayerView() : nullptr;
  IRVProcVectView* vect = view_ ? view_->AsVectView() : nullptr;
  if (state.stream) state.stream->SetPosition(0);
  switch (state.source) {
    case rvuImage: {
      if (!state.image) return;
      TRVBitmap* target = buffer_;
      if (layers && state.layerTag >= 0 && layers->GetLayersCount() > 0) {
        int32_t index = std::clamp(state.layerTag, 0, layers->GetLayersCount() - 1);
        target = layers->GetLayerBitmap(index);
      }
      if (target) target->Assign(state.image.get());
      Update();
      return;
    }
    case rvuSelection:
      if (layers) layers->LoadSelectionFromStream(*state.stream, 1);
      return;
    case rvuObject:
      if (vect) vect->LoadObjectsFromStream(*state.stream);
      return;
    case rvuLayer:
    case rvuFullLayer: {
      if (!layers) return;
      TStream& s = *state.stream;
      const int64_t size = s.GetSize();
      while (s.GetPosition() < size) {
        const int64_t start = s.GetPosition();
        uint8_t head[20];
        s.ReadBuffer(head, 20);
        const uint32_t length = uint32_t(head[0]) | (uint32_t(head[1]) << 8) | (uint32_t(head[2]) << 16) |
                                (uint32_t(head[3]) << 24);
        int32_t found = -1;
        for (int32_t i = 0; i < layers->GetLayersCount() && found < 0; ++i) {
          uint8_t id[16];
          layers->GetLayerIdentity(i, id);
          if (std::memcmp(id, head + 4, 16) == 0) found = i;
        }
        if (found >= 0) {
          s.SetPosition(start);
          layers->LoadLayerFromStream(found, s);
          if (s.GetPosition() <= start) break;  // a record that reads nothing would loop
        } else {
          if (length < 20) break;  // a record shorter than its own head cannot be skipped
          s.SetPosition(start + length);
        }
      }
      view_->Update();
      return;
    }
    case rvuObjectsAndLayers:
      if (vect) vect->LoadAllFromStream(*state.stream);
      else if (layers) layers->LoadLayersFromStream(*state.stream);
      return;
    default:
      return;
  }
}

void TRastovaProc::Undo(bool saveRedo) { UndoAt(0, saveRedo); }

void TRastovaProc::UndoAt(int32_t position, bool saveRedo) {
  if (!CanProcess(0) || position < 0 || position >= GetUndoCount()) return;
  State& state = *undo_[undo_.size() - 1 - static_cast<size_t>(position)];
  if (saveRedo) SaveRedo(state.source);
  Restore(state);
}

void TRastovaProc::Redo() { RedoAt(0); }

void TRastovaProc::RedoAt(int32_t position) {
  if (!CanProcess(0) || position < 0 || position >= GetRedoCount()) return;
  Restore(*redo_[redo_.size() - 1 - static_cast<size_t>(position)]);
}

void TRastovaProc::ClearOneUndo() {
  if (!undo_.empty()) undo_.pop_back();
}

void TRastovaProc::ClearOneRedo() {
  if (!redo_.empty()) redo_.pop_back();
}

void TRastovaProc::ClearUndoAt(int32_t position) {
  if (position < 0 || position >= GetUndoCount()) return;
  undo_.erase(undo_.end() - 1 - position);
}

void TRastovaProc::ClearAllUndo() { undo_.clear(); }
void TRastovaProc::ClearAllRedo() { redo_.clear(); }

TRVUndoSource TRastovaProc::GetUndoSourceAt(int32_t index) const {
  if (index < 0 || index >= GetUndoCount()) return rvuUnknown;
  return undo_[static_cast<size_t>(index)]->source;
}

std::string TRastovaProc::GetUndoCaptions(int32_t index) const {
  if (index < 0 || index >= GetUndoCount()) return "";
  return undo_[undo_.size() - 1 - static_cast<size_t>(index)]->caption;
}

std::string TRastovaProc::GetRedoCaptions(int32_t index) const {
  if (index < 0 || index >= GetRedoCount()) return "";
  return redo_[redo_.size() - 1 - static_cast<size_t>(index)]->caption;
}

void TRastovaProc::SetUndoCaptions(int32_t index, const std::string& caption) {
  if (index < 0 || index >= GetUndoCount()) return;
  undo_[undo_.size() - 1 - static_cast<size_t>(index)]->caption = caption;
}

// ---------------------------------------------------------------- processing machinery

bool TRastovaProc::CanProcess(TRVPixelFormatSet allowed) {
  if (!buffer_) return false;
  if (platformBitmap_) buffer_->EncapsulateTBitmap(platformBitmap_, false);
  return EnsurePixelFormat(allowed);
}

bool TRastovaProc::EnsurePixelFormat(TRVPixelFormatSet allowed) {
  if (!buffer_) return false;
  const TRVPixelFormat current = buffer_->GetPixelFormat();
  if (allowed == 0 || (current < 16 && (allowed & FormatSetOf(current)))) return true;
  if (!AutoConvertFormat) return false;
  if (current < kRVPixelFormatCount) {
    for (TRVPixelFormat f : kConversions[current]) {
      if (f != rvNone && (allowed & FormatSetOf(f))) {
        buffer_->SetPixelFormat(f);
        return true;
      }
    }
  }
  for (int f = rv32RGB; f >= rv1g; --f) {
    if (allowed & FormatSetOf(static_cast<TRVPixelFormat>(f))) {
      buffer_->SetPixelFormat(static_cast<TRVPixelFormat>(f));
      return true;
    }
  }
  return false;
}

bool TRastovaProc::GetWorkArea(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, const TRVPoint*& polygon,
                               int32_t& polygonCount, TRVMask*& mask) {
  x1 = y1 = 0;
  x2 = buffer_ ? buffer_->GetWidth() : 0;
  y2 = buffer_ ? buffer_->GetHeight() : 0;
  polygon = nullptr;
  polygonCount = 0;
  mask = nullptr;
  IRVProcLayerView* layers = view_ ? view_->AsLayerView() : nullptr;
  if (!layers) return false;
  mask = layers->SelectionMask();
  if (!layers->HasSelection()) return false;
  polygon = layers->PolygonPoints();
  polygonCount = layers->PolygonPointCount();
  if (mask && !mask->IsEmpty()) {
    x1 = mask->Left;
    y1 = mask->Top;
    x2 = mask->Right + 1;
    y2 = mask->Bottom + 1;
  }
  return true;
}

bool TRastovaProc::BeginImageProcessing(TRVPixelFormatSet allowed, int32_t& x1, int32_t& y1, int32_t& x2,
                                        int32_t& y2, const std::string& caption, TRVBitmap*& work, TRVMask*& mask) {
  work = nullptr;
  mask = nullptr;
  if (AutoUndo) SaveUndoCaptioned(caption, rvuImage);
  if (!CanProcess(allowed)) return false;
  const TRVPoint* polygon = nullptr;
  int32_t polygonCount = 0;
  GetWorkArea(x1, y1, x2, y2, polygon, polygonCount, mask);
  if (!mask || mask->IsEmpty()) {
    work = buffer_;
    return true;
  }
  const int32_t bx1 = mask->Left, by1 = mask->Top, bx2 = mask->Right, by2 = mask->Bottom;
  auto copy = std::make_unique<TRVBitmap>(bx2 - bx1 + 1, by2 - by1 + 1, buffer_->GetPixelFormat());
  if (copy->IsEmpty()) throw std::bad_alloc();
  buffer_->CopyPaletteTo(copy.get());
  CopyRectTo(*buffer_, *copy, bx1, by1, 0, 0, copy->GetWidth(), copy->GetHeight());
  if (buffer_->HasAlphaBitmap()) {
    TRVBitmap* a = copy->AlphaBitmap();
    CopyRectTo(*buffer_->AlphaBitmap(), *a, bx1, by1, 0, 0, a->GetWidth(), a->GetHeight());
    a->Full = buffer_->AlphaBitmap()->Full;
  }
  x1 = y1 = 0;
  x2 = copy->GetWidth();
  y2 = copy->GetHeight();
  work = copy.release();
  return true;
}

void TRastovaProc::EndImageProcessing(TRVBitmap* work, TRVMask* mask) {
  if (work && work != buffer_) {
    std::unique_ptr<TRVBitmap> owned(work);
    if (mask && buffer_) {
      mask->CopyBitmap(*buffer_, *work, false, true, false);
      if (work->HasAlphaBitmap() && !work->AlphaBitmap()->Full) {
        mask->CopyBitmap(*buffer_->AlphaBitmap(), *work->AlphaBitmap(), false, true, false);
        buffer_->AlphaBitmap()->Full = false;
      }
    }
  }
  Update();
}

void TRastovaProc::Update() {
  if (platformBitmap_ && buffer_) buffer_->RemoveAlphaBitmap(false, 0xFFFFFF);
  if (view_) {
    view_->Update();
    view_->ImageChange();
  } else if (platformBitmap_ && picture_) {
    picture_->SetModified();
  }
}

void TRastovaProc::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

// ---------------------------------------------------------------- size operations

void TRastovaProc::Resample(int32_t newWidth, int32_t newHeight, TResampleFilter filter) {
  if (!CanProcess(0)) return;
  const int32_t w = buffer_->GetWidth(), h = buffer_->GetHeight();
  if (w == 0 || h == 0 || (newWidth == w && newHeight == h) || (newWidth < 0 && newHeight < 0)) return;
  if (AutoUndo) SaveUndoCaptioned(FormatCaption("Resample %d, %d", newWidth, newHeight), rvuImage);
  TRVBitmap result;
  ResampleTo(result, newWidth, newHeight, filter);
  if (result.IsEmpty()) return;
  buffer_->Assign(&result);
  Update();
  DoFinishWork();
}

void TRastovaProc::ResampleTo(TRVBitmap& dest, int32_t newWidth, int32_t newHeight, TResampleFilter filter) {
  if (!CanProcess(0)) return;
  const int64_t w = buffer_->GetWidth(), h = buffer_->GetHeight();
  if (w == 0 || h == 0 || (newWidth < 0 && newHeight < 0)) return;
  auto magnitude = [](int32_t v) { return v < 0 ? -static_cast<int64_t>(v) : static_cast<int64_t>(v); };
  int64_t nw = newWidth == -1 ? static_cast<int64_t>(newHeight) * w / h : newWidth == 0 ? w : magnitude(newWidth);
  nw = std::clamp<int64_t>(nw, 1, std::numeric_limits<int32_t>::max());
  int64_t nh = newHeight == -1 ? nw * h / w : newHeight == 0 ? h : magnitude(newHeight);
  nh = std::clamp<int64_t>(nh, 1, std::numeric_limits<int32_t>::max());
  if (!dest.Allocate(static_cast<int32_t>(nw), static_cast<int32_t>(nh), buffer_->GetPixelFormat()) || dest.IsEmpty())
    throw std::bad_alloc();
  ResampleBitmap(*buffer_, dest, filter, OnProgress, this);
  DoFinishWork();
}

void TRastovaProc::ImageResize(int32_t newWidth, int32_t newHeight, uint8_t horizAlign, uint8_t vertAlign,
                               int32_t alpha) {
  if (!CanProcess(0) || newWidth <= 0 || newHeight <= 0) return;
  if (newWidth == buffer_->GetWidth() && newHeight == buffer_->GetHeight()) return;
  if (AutoUndo) SaveUndoCaptioned(FormatCaption("ImageResize %d,%d", newWidth, newHeight), rvuImage);
  if (buffer_->GetWidth() < 2 && buffer_->GetHeight() < 2) Clear();
  if (alpha < 255) buffer_->AlphaBitmap();
  Resize(*buffer_, newWidth, newHeight, static_cast<double>(GetBackground()), alpha, horizAlign, vertAlign);
  Update();
  DoFinishWork();
}

void TRastovaProc::Clear() {
  if (!CanProcess(0)) return;
  if (AutoUndo) SaveUndoCaptioned("Clear", rvuImage);
  buffer_->Fill(static_cast<double>(GetBackground()));
  Update();
  DoFinishWork();
}

// ---------------------------------------------------------------- free routines

void ResampleBitmap(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter, const TRVProgressEvent& onProgress,
                    TRastovaProc* sender) {
  if (source.GetWidth() == dest.GetWidth() && source.GetHeight() == dest.GetHeight()) {
    dest.Assign(&source);
    return;
  }
  if (filter == rfNone) {
    StretchBitmapNearest(source, dest, sender, onProgress);
  } else if (source.GetPixelFormat() == rv1g) {
    dest.SetPixelFormat(filter == rfProjectBW || filter == rfProjectWB ? rv1g : rv24RGB);
    ResampleBWFiltered(source, dest, filter);
  } else {
    ResampleFiltered(source, dest, filter, sender, onProgress);
  }
  if (!source.HasAlphaBitmap() || dest.IsEmpty()) return;
  TRVBitmap* sa = source.AlphaBitmap();
  TRVBitmap* da = dest.AlphaBitmap();
  if (!sa || !da) return;
  if (da->GetWidth() != dest.GetWidth() || da->GetHeight() != dest.GetHeight() || da->GetPixelFormat() != rv8g)
    da->Allocate(dest.GetWidth(), dest.GetHeight(), rv8g);
  if (filter != rfNone) ResampleGrayFiltered(*sa, *da, filter);
  else StretchBitmapNearest(*sa, *da, nullptr, TRVProgressEvent());
  da->Full = sa->Full;
}

TRVBitmap& StretchBitmapNearest(TRVBitmap& source, TRVBitmap& dest, TRastovaProc* sender,
                                const TRVProgressEvent& onProgress) {
  const int32_t sw = source.GetWidth(), sh = source.GetHeight(), dw = dest.GetWidth(), dh = dest.GetHeight();
  const TRVPixelFormat format = source.GetPixelFormat();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || format == rvNone) return dest;
  if (dest.GetPixelFormat() != format) dest.SetPixelFormat(format);
  if (dest.GetPixelFormat() != format) return dest;
  AccessScope readOnly(source, 1);
  AccessScope writeOnly(dest, 2);
  const double rx = static_cast<double>(sw) / dw, ry = static_cast<double>(sh) / dh;
  std::vector<int32_t> column(static_cast<size_t>(dw));
  for (int32_t x = 0; x < dw; ++x) column[static_cast<size_t>(x)] = std::clamp(common::TruncInt(x * rx), 0, sw - 1);
  const int32_t bytes = BytesPerPixel(format);
  std::vector<uint8_t> srcRow(static_cast<size_t>(source.GetRowLen()));
  int32_t lastRow = -1;
  resample_detail::ProgressReporter progress(sender, onProgress);
  const double step = 100.0 / (dh + 0.5);
  for (int32_t y = 0; y < dh; ++y) {
    const int32_t sy = std::clamp(common::TruncInt(y * ry), 0, sh - 1);
    if (sy != lastRow) {
      // Copied, so that source and destination rows may both live in temporary files.
      const uint8_t* s = source.GetScanLine(sy);
      if (s) std::memcpy(srcRow.data(), s, srcRow.size());
      lastRow = sy;
    }
    uint8_t* d = dest.GetScanLine(y);
    if (d) {
      if (format == rv1g) {
        std::memset(d, 0, static_cast<size_t>(dest.GetRowLen()));
        for (int32_t x = 0; x < dw; ++x) SetBufferBit(d, x, GetBufferBit(srcRow.data(), column[static_cast<size_t>(x)]));
      } else {
        for (int32_t x = 0; x < dw; ++x)
          std::memcpy(d + static_cast<int64_t>(x) * bytes, srcRow.data() + static_cast<int64_t>(column[static_cast<size_t>(x)]) * bytes,
                      static_cast<size_t>(bytes));
      }
    }
    progress.Changed(common::TruncInt(y * step));
  }
  if (format == rv8p) source.CopyPaletteTo(&dest);
  return dest;
}

// ---------------------------------------------------------------- the dialogs' parameters

TIPDialogParams::TIPDialogParams() : stream_(std::make_unique<TMemoryStream>()) { Reset(); }

TIPDialogParams::~TIPDialogParams() = default;

void TIPDialogParams::Reset() {
  constexpr TRGB black{0, 0, 0}, white{255, 255, 255};
  value1_ = value2_ = value3_ = value4_ = -1;
  std::fill(std::begin(Integers), std::end(Integers), 0);
  Filter = kFilterPresetTable[kFilterPresetNone];
  Colors[0] = black;
  Colors[1] = white;
  Colors[2] = black;
  Colors[3] = white;
  Flag1 = 0;
  Integer12 = Integer13 = 0;
  Integer14 = Integer15 = 150;
  Color5 = white;
  Integer16 = 0;
  Flag2 = 1;
  Integer17 = Integer18 = 0;
  Integer19 = Integer20 = 150;
  Double1 = 1.7;
  Flag3 = 1;
  Integer21 = Integer22 = 10;
  Integer23 = 0;
  Flag4 = 0;
  Integer24 = 0;
  Integer25 = 1;
  Double2 = 0;
  Double3 = 1.0;
  Integer26 = 1;
  Integer27 = 4;
  Flag5 = 1;
  stream_->Clear();
}

void TIPDialogParams::SetKey(int32_t& field, int32_t value) {
  field = value;
  stream_->Clear();
}

void TIPDialogParams::SetValue1(int32_t value) { SetKey(value1_, value); }

void TIPDialogParams::SetValue2(int32_t value) { SetKey(value2_, value); }

void TIPDialogParams::SetValue3(int32_t value) { SetKey(value3_, value); }

void TIPDialogParams::SetValue4(int32_t value) { SetKey(value4_, value); }

// ---------------------------------------------------------------- the module's start-up

uint32_t RastovaRawClipboardFormat = 0;

namespace {

std::mutex& ClipboardNamesLock() {
  static std::mutex lock;
  return lock;
}

std::vector<std::string>& ClipboardNames() {
  static std::vector<std::string> names;
  return names;
}

constexpr uint32_t kFirstRegisteredFormat = 0xC000;

}  // namespace

uint32_t RegisterClipboardFormatName(const std::string& name) {
  std::lock_guard<std::mutex> guard(ClipboardNamesLock());
  std::vector<std::string>& names = ClipboardNames();
  const auto it = std::find(names.begin(), names.end(), name);
  if (it != names.end()) return kFirstRegisteredFormat + static_cast<uint32_t>(it - names.begin());
  names.push_back(name);
  return kFirstRegisteredFormat + static_cast<uint32_t>(names.size() - 1);
}

std::string ClipboardFormatName(uint32_t format) {
  std::lock_guard<std::mutex> guard(ClipboardNamesLock());
  const std::vector<std::string>& names = ClipboardNames();
  if (format < kFirstRegisteredFormat || format - kFirstRegisteredFormat >= names.size()) return {};
  return names[format - kFirstRegisteredFormat];
}

void RastovaProcStartup() {
  BWExpandTable();  // built on first use; the start-up makes that use
  CreateFilterPresets();
  RastovaRawClipboardFormat = RegisterClipboardFormatName(kRastovaRawFormatName);
}

// The clipboard format stays registered, as registered formats do for the whole run.
void RastovaProcShutdown() { FreeFilterPresets(); }

}  // namespace rv

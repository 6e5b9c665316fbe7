#include "rastova/core/RVBitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/Round.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace testing {
int64_t MaxBlockSize = -1;
}

namespace {

bool PlatformHolds(TRVPixelFormat f) {
  return f == rv1g || f == rv8p || f == rv8g || f == rv24RGB || f == rv32RGB;
}

TPixelFormat PlatformFormatOf(TRVPixelFormat f) {
  switch (f) {
    case rv1g: return pf1bit;
    case rv8p:
    case rv8g:
    case rv16g: return pf8bit;
    case rv32RGB: return pf32bit;
    default: return pf24bit;
  }
}

}  // namespace

RowAccessScope::RowAccessScope(TRVBitmap& b, uint8_t mode) : bitmap(b), saved(b.RowAccess) { b.RowAccess = mode; }
RowAccessScope::~RowAccessScope() { bitmap.RowAccess = saved; }

// ---------------------------------------------------------------- construction

TRVBitmap::TRVBitmap() { InitDefaults(); }

TRVBitmap::TRVBitmap(int32_t width, int32_t height, TRVPixelFormat format) {
  InitDefaults();
  Allocate(width, height, format);
}

void TRVBitmap::InitDefaults() {
  fileBuffer_ = std::make_unique<TRVFileBuffer>();
  if (GlobalMemoryThreshold != -1) {
    MemoryThreshold = GlobalMemoryThreshold;
  } else {
    int64_t total = GetPhysicalMemory(false);
    MemoryThreshold = total != 0 ? common::Trunc(static_cast<long double>(total) / 1.3L) : 33554432;
  }
}

std::unique_ptr<TRVBitmap> TRVBitmap::CreateAlpha(int32_t width, int32_t height, TRVLocation location) {
  auto a = std::make_unique<TRVBitmap>();
  a->isAlphaChannel_ = true;
  a->location_ = location == rvTBitmap ? rvInMemory : location;
  a->Allocate(width, height, rv8g);
  a->Fill(255);
  return a;
}

TRVBitmap::~TRVBitmap() { FreeImage(true); }

// ---------------------------------------------------------------- geometry

void TRVBitmap::RecomputeGeometry() {
  int f = pixelFormat_ < kRVPixelFormatCount ? pixelFormat_ : 0;
  bitCount_ = kRVBitCount[f];
  channelCount_ = kRVChannelCount[f];
  rowLen_ = AlignedRowLength(width_, bitCount_, location_ == rvTBitmap ? 32 : rowAlignment_);
}

TRVLocation TRVBitmap::ChooseLocation(TRVLocation location, int64_t size) const {
  if (location == rvInTempFile && size < MemoryThreshold) location = rvInMemory;
  if (location == rvInMemory && size > MemoryThreshold) location = rvInTempFile;
  return location;
}

bool TRVBitmap::Allocate(int32_t width, int32_t height, TRVPixelFormat format) {
  if (!NeedsAllocation && !IsEmpty() && width == width_ && height == height_ && format == pixelFormat_) return true;
  if (tbitmapBorrowed_) {
    alpha_.reset();
  } else {
    FreeImage(true);
  }
  width_ = width;
  height_ = height;
  pixelFormat_ = format;
  bool ok = AllocateStorage();
  NeedsAllocation = false;
  return ok;
}

bool TRVBitmap::AllocateStorage() {
  auto fail = [this] {
    width_ = height_ = bitCount_ = channelCount_ = rowLen_ = 0;
    rowTable_.clear();
    return false;
  };
  if (width_ <= 0 || height_ <= 0 || pixelFormat_ == rvNone || pixelFormat_ >= kRVPixelFormatCount) return fail();
  if (pixelFormat_ == rv8p) {
    try {
      palette_.assign(256, TRGB{});
    } catch (...) {
      return fail();
    }
  }
  bitCount_ = kRVBitCount[pixelFormat_];
  channelCount_ = kRVChannelCount[pixelFormat_];
  int64_t rowLen = AlignedRowLength64(width_, bitCount_, location_ == rvTBitmap ? 32 : rowAlignment_);
  if (rowLen <= 0 || rowLen > std::numeric_limits<int32_t>::max()) return fail();
  rowLen_ = static_cast<int32_t>(rowLen);
  int64_t size = rowLen * height_;
  if (location_ != rvTBitmap) location_ = ChooseLocation(location_, size);

  if (location_ == rvInTempFile) {
    if (!fileBuffer_->AllocateFile("IMG", true, size)) location_ = rvInMemory;
  }
  if (location_ == rvInMemory) {
    if (!AllocateBlock(size) && !AllocateChunks()) {
      if (!AllowFileFallback) return fail();
      location_ = rvInTempFile;
      if (!fileBuffer_->AllocateFile("IMG", true, size)) return fail();
    }
  } else if (location_ == rvTBitmap) {
    int64_t physical = GetPhysicalMemory(false);
    if (physical > 0 && size > physical) return fail();
    try {
      if (!tbitmap_) tbitmap_ = CreatePlatformBitmap();
      tbitmap_->SetSize(1, 1);
      if (pixelFormat_ == rv16g) pixelFormat_ = rv8g;  // the platform bitmap keeps 8-bit grey
      if (!PlatformHolds(pixelFormat_)) return fail();
      tbitmap_->SetPixelFormat(PlatformFormatOf(pixelFormat_));
      tbitmap_->SetSize(width_, height_);
      if (pixelFormat_ == rv8g) SetTBitmapGrayPalette(*tbitmap_);
      RecomputeGeometry();
      BuildRowTable();
      UpdateTBitmapPalette();
    } catch (...) {
      return fail();
    }
  }
  Full = false;
  return true;
}

bool TRVBitmap::AllocateBlock(int64_t size) {
  FreeBlock();
  if (testing::MaxBlockSize >= 0 && size > testing::MaxBlockSize) return false;
  int64_t physical = GetPhysicalMemory(false);
  if (size <= 0 || (physical > 0 && size > physical)) return false;
  int64_t request = size + 128;
  void* raw = nullptr;
  switch (Allocator) {
    case 0: raw = std::malloc(static_cast<size_t>(request)); break;
    case 1: raw = std::calloc(1, static_cast<size_t>(request)); break;
    default: raw = rv::AllocBlock(request); break;
  }
  if (!raw) return false;
  blockAllocator_ = Allocator;
  rawBlock_ = raw;
  alignedBlock_ = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(raw) + 63) & ~uintptr_t(63));
  return true;
}

void TRVBitmap::FreeBlock() {
  if (rawBlock_) {
    if (blockAllocator_ == 2) rv::FreeBlock(rawBlock_);
    else std::free(rawBlock_);
  }
  rawBlock_ = nullptr;
  alignedBlock_ = nullptr;
}

bool TRVBitmap::AllocateChunks() {
  FreeChunks();
  if (!AllowMemoryChunks) return false;
  int64_t physical = GetPhysicalMemory(false);
  if (physical > 0 && ImageSize() > physical) return false;
  int64_t n = 4;
  for (;;) {
    int32_t rows = CeilToInt(static_cast<long double>(height_) / static_cast<long double>(n));
    int64_t bytes = int64_t(rows) * rowLen_;
    if (bytes < 10485760 && n > 4) return false;
    bool ok = testing::MaxBlockSize < 0 || bytes <= testing::MaxBlockSize;
    int64_t count = (height_ + rows - 1) / rows;
    for (int64_t i = 0; ok && i < count; ++i) {
      void* c = std::calloc(1, static_cast<size_t>(bytes));
      if (!c) ok = false;
      else chunks_.push_back(c);
    }
    if (ok) {
      rowsPerChunk_ = rows;
      return true;
    }
    FreeChunks();
    n *= 2;
    if (n >= height_) return false;
  }
}

void TRVBitmap::FreeChunks() {
  for (void* c : chunks_) std::free(c);
  chunks_.clear();
  rowsPerChunk_ = 0;
}

void TRVBitmap::FreeImage(bool freeAlpha) {
  if (freeAlpha) alpha_.reset();
  palette_.clear();
  palette_.shrink_to_fit();
  // The file is discarded: rows are dropped without writing them back.
  currentFileRow_ = nullptr;
  lockedRows_.clear();
  fileBuffer_->Close();
  FreeBlock();
  tbitmap_.reset();  // a borrowed bitmap's wrapper does not free the caller's bitmap
  rowTable_.clear();
  FreeChunks();
  width_ = height_ = rowLen_ = bitCount_ = channelCount_ = 0;
  Full = false;
  tbitmapBorrowed_ = false;
}

int32_t TRVBitmap::GetWidth() {
  SyncFromTBitmap();
  return width_;
}
int32_t TRVBitmap::GetHeight() {
  SyncFromTBitmap();
  return height_;
}
int32_t TRVBitmap::GetBitCount() {
  SyncFromTBitmap();
  return bitCount_;
}
int32_t TRVBitmap::GetChannelCount() {
  SyncFromTBitmap();
  return channelCount_;
}
TRVPixelFormat TRVBitmap::GetPixelFormat() {
  SyncFromTBitmap();
  return pixelFormat_;
}
int32_t TRVBitmap::GetRowLen() {
  SyncFromTBitmap();
  return rowLen_;
}

bool TRVBitmap::IsEmpty() const { return width_ == 0 || height_ == 0 || rowLen_ == 0 || bitCount_ == 0; }

void TRVBitmap::SetChannelOffset(int32_t index, int32_t value) {
  if (index < 0 || index > 3) return;
  ChannelOffset[index] = value;
  ChannelOffsetSet = ChannelOffset[0] || ChannelOffset[1] || ChannelOffset[2] || ChannelOffset[3];
}

void TRVBitmap::CopyRowsFrom(TRVBitmap& source) {
  RowAccessScope readOnly(source, 1), writeOnly(*this, 2);
  int32_t rows = std::min(height_, source.height_);
  if (location_ == rvInTempFile && source.location_ == rvInTempFile && rowLen_ == source.rowLen_ &&
      height_ == source.height_) {
    source.ReleaseFileRows();
    ReleaseFileRows();
    source.fileBuffer_->CopyTo(*fileBuffer_, 0, ImageSize());
    return;
  }
  size_t n = static_cast<size_t>(std::min(rowLen_, source.rowLen_));
  for (int32_t y = 0; y < rows; ++y) {
    uint8_t* d = GetScanLine(y);
    std::memcpy(d, source.GetScanLine(y), n);
  }
  ReleaseFileRows();
  source.ReleaseFileRows();
}

void TRVBitmap::ChangeSize(int32_t width, int32_t height) {
  if (width == GetWidth() && height == GetHeight()) return;
  if (alpha_) alpha_->ChangeSize(width, height);
  if (location_ != rvTBitmap) {
    // A picture of a format gets rows as soon as both sides are above 0, also when it had none
    // (one side was 0): a size without rows would hand out no scan lines.
    if (pixelFormat_ != rvNone && width > 0 && height > 0) {
      TRVBitmap tmp;
      MoveTo(tmp);
      if (Allocate(width, height, tmp.pixelFormat_)) {
        if (!tmp.IsEmpty()) CopyRowsFrom(tmp);
        size_t n = std::min(palette_.size(), tmp.palette_.size());
        std::copy_n(tmp.palette_.begin(), n, palette_.begin());
        if (palette_.empty() && !tmp.palette_.empty()) palette_ = tmp.palette_;
        alpha_ = std::move(tmp.alpha_);
        Full = false;
      }
    } else {
      width_ = width;
      height_ = height;
      RecomputeGeometry();
    }
    return;
  }
  try {
    if (!tbitmap_) tbitmap_ = CreatePlatformBitmap();
    tbitmap_->SetSize(std::max(width, 0), std::max(height, 0));
  } catch (...) {
  }
  if (tbitmap_) {
    width_ = tbitmap_->Width();
    height_ = tbitmap_->Height();
  }
  RecomputeGeometry();
  BuildRowTable();
  Full = false;
}

void TRVBitmap::SetWidth(int32_t value) { ChangeSize(value, GetHeight()); }
void TRVBitmap::SetHeight(int32_t value) { ChangeSize(GetWidth(), value); }

void TRVBitmap::SetRowAlignment(int32_t bits) {
  if (bits <= 0 || bits % 8 != 0 || bits == rowAlignment_) return;
  NeedsAllocation = true;
  if (IsEmpty() || location_ == rvTBitmap) {
    rowAlignment_ = bits;  // applied when the rows are next laid out in memory or a file
    return;
  }
  TRVBitmap tmp;
  MoveTo(tmp);
  rowAlignment_ = bits;
  if (!Allocate(tmp.width_, tmp.height_, tmp.pixelFormat_)) return;
  CopyRowsFrom(tmp);
  if (!tmp.palette_.empty()) palette_ = tmp.palette_;
  alpha_ = std::move(tmp.alpha_);
  Full = tmp.Full;
}

// ---------------------------------------------------------------- rows

uint8_t* TRVBitmap::GetScanLine(int32_t row) {
  if (static_cast<uint32_t>(row) >= static_cast<uint32_t>(height_)) return nullptr;
  switch (location_) {
    case rvInMemory:
      if (alignedBlock_) return alignedBlock_ + static_cast<int64_t>(rowLen_) * (height_ - row - 1);
      if (chunks_.empty()) return nullptr;
      return static_cast<uint8_t*>(chunks_[static_cast<size_t>(row / rowsPerChunk_)]) +
             static_cast<int64_t>(row % rowsPerChunk_) * rowLen_;
    case rvInTempFile: {
      if (!fileBuffer_->IsAllocated()) return nullptr;
      if (currentFileRow_) {
        uint8_t* old = currentFileRow_;
        currentFileRow_ = nullptr;
        fileBuffer_->UnmapBlock(old);
      }
      currentFileRow_ = fileBuffer_->MapBlock(RowAccess, static_cast<int64_t>(row) * rowLen_, rowLen_);
      return currentFileRow_;
    }
    case rvTBitmap:
      return static_cast<size_t>(row) < rowTable_.size() ? rowTable_[static_cast<size_t>(row)] : nullptr;
  }
  return nullptr;
}

uint8_t* TRVBitmap::GetLockedRow(int32_t row) {
  if (location_ != rvInTempFile) return GetScanLine(row);
  if (static_cast<uint32_t>(row) >= static_cast<uint32_t>(height_) || !fileBuffer_->IsAllocated()) return nullptr;
  if (currentFileRow_) {
    uint8_t* old = currentFileRow_;
    currentFileRow_ = nullptr;
    fileBuffer_->UnmapBlock(old);
  }
  uint8_t* p = fileBuffer_->MapBlock(RowAccess, static_cast<int64_t>(row) * rowLen_, rowLen_);
  lockedRows_.emplace_back(p, row);
  return p;
}

void TRVBitmap::ReleaseLockedRow(int32_t row) {
  if (location_ != rvInTempFile) return;
  for (size_t i = lockedRows_.size(); i-- > 0;) {
    if (lockedRows_[i].second == row) {
      uint8_t* p = lockedRows_[i].first;
      lockedRows_.erase(lockedRows_.begin() + static_cast<std::ptrdiff_t>(i));
      fileBuffer_->UnmapBlock(p);
      return;
    }
  }
}

void TRVBitmap::ReleaseFileRows() {
  std::vector<uint8_t*> blocks;
  if (currentFileRow_) blocks.push_back(currentFileRow_);
  for (size_t i = lockedRows_.size(); i-- > 0;) blocks.push_back(lockedRows_[i].first);
  currentFileRow_ = nullptr;
  lockedRows_.clear();
  bool failed = false;
  for (uint8_t* b : blocks) {
    try {
      fileBuffer_->UnmapBlock(b);
    } catch (const EWriteError&) {
      failed = true;
    }
  }
  if (failed) throw EWriteError("Stream write error");
}

// ---------------------------------------------------------------- location

void TRVBitmap::ConvertForPlatformBitmap() {
  if (IsEmpty() || PlatformHolds(pixelFormat_)) return;
  ConvertToPixelFormat(pixelFormat_ == rv16g ? rv8g : rv24RGB);
}

void TRVBitmap::SetLocation(TRVLocation value) {
  if (value == location_ || value > rvTBitmap) return;
  if (IsEmpty()) {
    location_ = value;
    NeedsAllocation = true;
    return;
  }
  if (value == rvTBitmap) ConvertForPlatformBitmap();
  // Memory and temporary file are chosen by size: a move that would land where the image
  // already is keeps its storage.
  if (value != rvTBitmap && location_ != rvTBitmap && ChooseLocation(value, ImageSize()) == location_) return;
  NeedsAllocation = true;
  TRVBitmap tmp;
  MoveTo(tmp);
  location_ = value;
  if (!Allocate(tmp.width_, tmp.height_, tmp.pixelFormat_)) return;
  if (location_ == tmp.location_) {
    tmp.MoveTo(*this);
    return;
  }
  CopyRowsFrom(tmp);
  if (!tmp.palette_.empty()) {
    if (palette_.empty()) palette_ = tmp.palette_;
    else std::copy_n(tmp.palette_.begin(), std::min(palette_.size(), tmp.palette_.size()), palette_.begin());
  }
  UpdateTBitmapPalette();
  alpha_ = std::move(tmp.alpha_);
  isAlphaChannel_ = tmp.isAlphaChannel_;
}

platform::TBitmap* TRVBitmap::BitmapView() {
  SetLocation(rvTBitmap);
  if (location_ == rvTBitmap && !tbitmap_) {
    tbitmap_ = CreatePlatformBitmap();
    tbitmap_->SetSize(0, 0);
  }
  ResetCanvasTransform();
  return tbitmap_ ? tbitmap_->Bitmap() : nullptr;
}

platform::TCanvas* TRVBitmap::GetCanvas() {
  if (location_ != rvTBitmap) SetLocation(rvTBitmap);
  if (location_ == rvTBitmap && !tbitmap_) {
    tbitmap_ = CreatePlatformBitmap();
    tbitmap_->SetSize(0, 0);
  }
  ResetCanvasTransform();
  return tbitmap_ ? tbitmap_->Canvas() : nullptr;
}

void TRVBitmap::EncapsulateTBitmap(platform::TBitmap* bitmap, bool freeFirst) {
  if (freeFirst) FreeImage(true);
  if (!bitmap) return;
  if (tbitmap_ && tbitmap_->Bitmap() == bitmap) {
    EncapsulatePlatformBitmap(nullptr, false, false);
    return;
  }
  EncapsulatePlatformBitmap(WrapPlatformBitmap(bitmap), false, false);
}

namespace {
TRVPixelFormat FormatOfPlatform(TRVPlatformBitmap& b, bool alphaChannel) {
  switch (b.PixelFormat()) {
    case pf1bit: return rv1g;
    case pf8bit: return alphaChannel || IsTBitmapGrayPalette(b) ? rv8g : rv8p;
    case pf32bit: return rv32RGB;
    default: return rv24RGB;
  }
}
}  // namespace

void TRVBitmap::EncapsulatePlatformBitmap(std::unique_ptr<TRVPlatformBitmap> bitmap, bool freeFirst, bool owned) {
  if (freeFirst) FreeImage(true);
  if (!bitmap) {
    // Already the held bitmap: only pick up what changed.
    if (tbitmap_ && location_ == rvTBitmap) SyncFromTBitmap();
    return;
  }
  if (!freeFirst) {
    // The pixels now come from the caller's bitmap; the old storage goes, the alpha stays.
    auto keep = std::move(alpha_);
    FreeImage(false);
    alpha_ = std::move(keep);
  }
  tbitmap_ = std::move(bitmap);
  tbitmapBorrowed_ = !owned;
  location_ = rvTBitmap;
  width_ = tbitmap_->Width();
  height_ = tbitmap_->Height();
  pixelFormat_ = FormatOfPlatform(*tbitmap_, isAlphaChannel_);
  RecomputeGeometry();
  BuildRowTable();
  if (pixelFormat_ == rv8p) {
    palette_.assign(256, TRGB{});
    tbitmap_->GetColorTable(palette_.data(), std::min(256, tbitmap_->ColorTableSize()));
  }
  NeedsAllocation = false;
}

void TRVBitmap::BuildRowTable() {
  rowTable_.clear();
  if (location_ != rvTBitmap || !tbitmap_) return;
  int32_t h = std::max(tbitmap_->Height(), 0);
  rowTable_.resize(static_cast<size_t>(h));
  for (int32_t r = 0; r < h; ++r) rowTable_[static_cast<size_t>(r)] = tbitmap_->ScanLine(r);
}

void TRVBitmap::SyncFromTBitmap() {
  if (location_ != rvTBitmap || !tbitmap_) return;
  TRVPixelFormat f = FormatOfPlatform(*tbitmap_, isAlphaChannel_);
  int32_t w = tbitmap_->Width(), h = tbitmap_->Height();
  if (w != width_ || h != height_ || f != pixelFormat_) {
    width_ = w;
    height_ = h;
    pixelFormat_ = f;
    RecomputeGeometry();
    if (alpha_ && (alpha_->width_ != w || alpha_->height_ != h)) {
      alpha_->NeedsAllocation = true;
      alpha_->Allocate(w, h, rv8g);
    }
    BuildRowTable();
  }
  if (h > 0 && (rowTable_.empty() || rowTable_[0] != tbitmap_->ScanLine(0))) BuildRowTable();
  if (f == rv8p) {
    palette_.resize(256);
    tbitmap_->GetColorTable(palette_.data(), std::min(256, tbitmap_->ColorTableSize()));
  }
}

void TRVBitmap::UpdateTBitmapPalette() {
  if (location_ != rvTBitmap || !tbitmap_ || palette_.empty()) return;
  int32_t n = std::min(static_cast<int32_t>(palette_.size()), tbitmap_->ColorTableSize());
  if (n > 0) tbitmap_->SetColorTable(palette_.data(), n);
}

void TRVBitmap::ResetCanvasTransform() {
  if (tbitmap_) tbitmap_->ResetCanvasTransform();
}

// ---------------------------------------------------------------- alpha channel

TRVBitmap* TRVBitmap::AlphaBitmap() {
  if (alpha_) return alpha_.get();
  if (isAlphaChannel_) return nullptr;
  alpha_ = CreateAlpha(GetWidth(), GetHeight(), location_);
  return alpha_.get();
}

void TRVBitmap::RemoveAlphaBitmap(bool blend, TColor background) {
  if (isAlphaChannel_ || !alpha_) return;
  if (blend && GetPixelFormat() == rv24RGB && !alpha_->IsEmpty()) {
    TRGB bg = ColorToTRGB(background);
    int32_t rows = std::min(height_, alpha_->height_), cols = std::min(width_, alpha_->width_);
    RowAccessScope alphaRead(*alpha_, 1);
    for (int32_t y = 0; y < rows; ++y) {
      const uint8_t* a = alpha_->GetScanLine(y);
      uint8_t* p = GetScanLine(y);
      for (int32_t x = 0; x < cols; ++x, p += 3) {
        int32_t A = a[x] * 1024;
        p[0] = static_cast<uint8_t>(bg.b + (((p[0] - bg.b) * A) >> 18));
        p[1] = static_cast<uint8_t>(bg.g + (((p[1] - bg.g) * A) >> 18));
        p[2] = static_cast<uint8_t>(bg.r + (((p[2] - bg.r) * A) >> 18));
      }
    }
    ReleaseFileRows();
    alpha_->ReleaseFileRows();
  }
  alpha_.reset();
}

std::unique_ptr<TRVBitmap> TRVBitmap::ReplaceAlphaBitmap(std::unique_ptr<TRVBitmap> alpha) {
  std::unique_ptr<TRVBitmap> old = std::move(alpha_);
  alpha_ = std::move(alpha);
  if (alpha_) alpha_->isAlphaChannel_ = true;
  return old;
}

// ---------------------------------------------------------------- copying

void TRVBitmap::Assign(TRVBaseBitmap* source) {
  NeedsAllocation = true;
  auto* src = dynamic_cast<TRVBitmap*>(source);
  if (!src || src == this) return;
  AssignFrom(*src, true);
}

void TRVBitmap::AssignFrom(TRVBitmap& source, bool withAlpha) {
  NeedsAllocation = true;
  TRVBitmap* src = &source;
  TRVBitmap* s = src;
  std::unique_ptr<TRVBitmap> converted;
  if (location_ == rvTBitmap) {
    if (src->IsEmpty()) return;
    src->SyncFromTBitmap();
    if (!PlatformHolds(src->pixelFormat_)) {
      // Rows of another length never go into the platform bitmap: convert a copy first.
      converted = std::make_unique<TRVBitmap>();
      converted->Assign(src);
      converted->ConvertToPixelFormat(src->pixelFormat_ == rv16g ? rv8g : rv24RGB);
      if (converted->IsEmpty()) return;
      s = converted.get();
    }
    auto keepAlpha = std::move(alpha_);
    currentFileRow_ = nullptr;
    width_ = s->width_;
    height_ = s->height_;
    pixelFormat_ = s->pixelFormat_;
    if (withAlpha) rowAlignment_ = s->rowAlignment_;
    try {
      if (!tbitmap_) tbitmap_ = CreatePlatformBitmap();
      tbitmap_->SetSize(1, 1);
      tbitmap_->SetPixelFormat(PlatformFormatOf(pixelFormat_));
      tbitmap_->SetSize(width_, height_);
      if (pixelFormat_ == rv8g) SetTBitmapGrayPalette(*tbitmap_);
    } catch (...) {
      alpha_ = std::move(keepAlpha);
      width_ = height_ = bitCount_ = channelCount_ = rowLen_ = 0;
      rowTable_.clear();
      return;
    }
    alpha_ = std::move(keepAlpha);
    RecomputeGeometry();
    BuildRowTable();
    Full = s->Full;
  } else {
    auto keepAlpha = std::move(alpha_);
    FreeImage(true);
    if (!withAlpha) alpha_ = std::move(keepAlpha);
    width_ = s->GetWidth();
    height_ = s->GetHeight();
    pixelFormat_ = s->GetPixelFormat();
    if (withAlpha) rowAlignment_ = s->rowAlignment_;
    if (!AllocateStorage()) return;
  }
  CopyRowsFrom(*s);
  if (withAlpha && !isAlphaChannel_) {
    if (s->alpha_) AlphaBitmap()->Assign(s->alpha_.get());
    else RemoveAlphaBitmap(false, 0);
  }
  s->CopyPaletteTo(this);
  if (withAlpha) BWConversion = s->BWConversion;
}

void TRVBitmap::Assign(platform::TBitmap* source) {
  NeedsAllocation = true;
  CopyFromTBitmap(source);
}

void TRVBitmap::AssignImage(TRVBitmap& source) {
  if (&source == this || source.IsEmpty()) return;
  AssignFrom(source, false);
  Full = false;
}

void TRVBitmap::MoveTo(TRVBitmap& dest) {
  if (&dest == this) return;
  dest.FreeImage(true);
  dest.width_ = width_;
  dest.height_ = height_;
  dest.bitCount_ = bitCount_;
  dest.channelCount_ = channelCount_;
  dest.rowLen_ = rowLen_;
  dest.pixelFormat_ = pixelFormat_;
  dest.currentFileRow_ = currentFileRow_;
  dest.palette_ = std::move(palette_);
  dest.alpha_ = std::move(alpha_);
  dest.isAlphaChannel_ = isAlphaChannel_;
  dest.alignedBlock_ = alignedBlock_;
  dest.rawBlock_ = rawBlock_;
  dest.blockAllocator_ = blockAllocator_;
  dest.tbitmap_ = std::move(tbitmap_);
  dest.rowTable_ = std::move(rowTable_);
  dest.location_ = location_;
  dest.Full = Full;
  dest.tbitmapBorrowed_ = tbitmapBorrowed_;
  dest.chunks_ = std::move(chunks_);
  dest.rowsPerChunk_ = rowsPerChunk_;
  dest.BWConversion = BWConversion;
  dest.rowAlignment_ = rowAlignment_;
  dest.Allocator = Allocator;
  dest.fileBuffer_ = std::move(fileBuffer_);
  dest.lockedRows_ = std::move(lockedRows_);
  dest.NeedsAllocation = NeedsAllocation;

  fileBuffer_ = std::make_unique<TRVFileBuffer>();
  lockedRows_.clear();
  currentFileRow_ = nullptr;
  palette_.clear();
  alpha_.reset();
  alignedBlock_ = nullptr;
  rawBlock_ = nullptr;
  tbitmap_.reset();
  rowTable_.clear();
  chunks_.clear();
  rowsPerChunk_ = 0;
  width_ = height_ = bitCount_ = channelCount_ = rowLen_ = 0;
  pixelFormat_ = rvNone;
  Full = false;
  tbitmapBorrowed_ = false;
  NeedsAllocation = true;
}

void TRVBitmap::CopyPaletteTo(TRVBaseBitmap* dest) {
  auto* d = dynamic_cast<TRVBitmap*>(dest);
  if (!d || d == this) return;
  d->palette_.clear();
  d->PaletteColorCount = 256;
  if (!palette_.empty()) {
    d->palette_ = palette_;
    d->PaletteColorCount = PaletteColorCount;
    d->UpdateTBitmapPalette();
  }
}

TRGB TRVBitmap::GetPalette(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= palette_.size()) return TRGB{};
  return palette_[static_cast<size_t>(index)];
}

void TRVBitmap::SetPalette(int32_t index, const TRGB& value) {
  if (index >= 0 && static_cast<size_t>(index) < palette_.size()) palette_[static_cast<size_t>(index)] = value;
  UpdateTBitmapPalette();
}

}  // namespace rv

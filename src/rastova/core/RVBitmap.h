#pragma once
// TRVBitmap: the image buffer of the image library. A rectangle of pixels in one of eleven
// pixel formats, an optional palette, an optional 8-bit alpha channel (itself a TRVBitmap)
// and display attributes. The pixels live in memory (one 64-byte aligned block, or chunks),
// in a temporary file of which only the rows in use are in memory, or in a platform bitmap
// that the drawing layer can paint into. Row 0 is always the top row.
//
// A TRVBitmap is used by one thread at a time; at the temporary-file location even reading a
// row changes its state, and a row address from GetScanLine is valid only until the next
// GetScanLine on the same image (GetLockedRow keeps rows mapped).
#include <cstdint>
#include <memory>
#include <vector>

#include "rastova/core/RVDefs.h"
#include "rastova/core/RVPlatformBitmap.h"
#include "rastova/core/render/RVRenderTypes.h"

namespace rv {

class TRVFileBuffer;
class TRVMask;
class TRVDibbitmap;
enum TResampleFilter : uint8_t;

// The interface of every full image container of the library.
class TRVBaseBitmap {
 public:
  virtual ~TRVBaseBitmap() = default;
  // Bit 0: rows are read from the file when mapped; bit 1: written back when released.
  uint8_t RowAccess = 3;

  virtual uint8_t* GetScanLine(int32_t row) = 0;
  virtual int32_t GetBitCount() = 0;
  virtual int32_t GetHeight() = 0;
  virtual int32_t GetWidth() = 0;
  virtual TRVPixelFormat GetPixelFormat() = 0;
  virtual int32_t GetRowLen() = 0;
  virtual TRGB* GetPaletteBuffer() = 0;
  virtual TRGB GetPalette(int32_t index) = 0;
  virtual void SetPalette(int32_t index, const TRGB& value) = 0;
  virtual int32_t GetPaletteLength() = 0;
  virtual bool Allocate(int32_t width, int32_t height, TRVPixelFormat format) = 0;
  virtual void Assign(TRVBaseBitmap* source) = 0;
  virtual void CopyPaletteTo(TRVBaseBitmap* dest) = 0;
};

class TRVBitmap : public TRVBaseBitmap {
 public:
  TRVBitmap();
  // CreateSized: an image of that size and format (empty when the allocation fails).
  TRVBitmap(int32_t width, int32_t height, TRVPixelFormat format);
  // The constructor of alpha channels: rv8g, filled with 255 and Full; rvTBitmap becomes rvInMemory.
  static std::unique_ptr<TRVBitmap> CreateAlpha(int32_t width, int32_t height, TRVLocation location);
  ~TRVBitmap() override;
  TRVBitmap(const TRVBitmap&) = delete;
  TRVBitmap& operator=(const TRVBitmap&) = delete;

  // ---- geometry and storage
  // Reallocates unless size and format are unchanged (and no reallocation is pending). Never
  // raises: false leaves the image empty. The new pixels are not initialised.
  bool Allocate(int32_t width, int32_t height, TRVPixelFormat format) override;
  int32_t GetWidth() override;
  int32_t GetHeight() override;
  int32_t GetBitCount() override;
  int32_t GetChannelCount();
  TRVPixelFormat GetPixelFormat() override;
  int32_t GetRowLen() override;
  bool IsEmpty() const;
  void FreeImage(bool freeAlpha);
  // Change one dimension keeping the top-left pixels and the palette; the alpha channel follows.
  void SetWidth(int32_t value);
  void SetHeight(int32_t value);
  // Row alignment in bits (a positive multiple of 8); stored at every location and applied
  // to the rows wherever the storage allows it (platform bitmaps keep 32-bit rows).
  void SetRowAlignment(int32_t bits);
  int32_t GetRowAlignment() const { return rowAlignment_; }
  TRVLocation GetLocation() const { return location_; }
  // 64-bit size of the pixel storage (RowLen x Height).
  int64_t ImageSize() const { return static_cast<int64_t>(rowLen_) * height_; }

  // ---- rows
  uint8_t* GetScanLine(int32_t row) override;
  // As GetScanLine, but at the temporary-file location the row stays valid until released.
  uint8_t* GetLockedRow(int32_t row);
  void ReleaseLockedRow(int32_t row);
  // Writes back and unmaps the current file row and every locked row.
  void ReleaseFileRows();

  // ---- location
  // Moves the pixels, palette and alpha channel to another location. A format the platform
  // bitmap cannot hold is converted first (rv16g to rv8g, the others to rv24RGB).
  void SetLocation(TRVLocation value);
  // Moves the image into a platform bitmap and returns it (nullptr with the memory stand-in).
  platform::TBitmap* BitmapView();
  // The platform bitmap's canvas, after moving the image there.
  platform::TCanvas* GetCanvas();
  // The platform bitmap behind the rvTBitmap location (nullptr elsewhere).
  TRVPlatformBitmap* PlatformBitmap() { return tbitmap_.get(); }
  // Makes the image a view of the caller's bitmap, which is never freed here.
  void EncapsulateTBitmap(platform::TBitmap* bitmap, bool freeFirst);
  // The same for a platform bitmap given through the interface (borrowed unless `owned`).
  void EncapsulatePlatformBitmap(std::unique_ptr<TRVPlatformBitmap> bitmap, bool freeFirst, bool owned);
  // Picks up size and format changes made on the platform bitmap directly.
  void SyncFromTBitmap();
  void UpdateTBitmapPalette();
  void ResetCanvasTransform();

  // ---- alpha channel
  // Creates the alpha channel (all 255, Full) when missing; nullptr on an alpha channel.
  TRVBitmap* AlphaBitmap();
  bool HasAlphaBitmap() const { return alpha_ != nullptr; }
  // Frees the alpha channel; with `blend`, an rv24RGB image is first composed over `background`.
  void RemoveAlphaBitmap(bool blend, TColor background);
  // Makes `alpha` the alpha channel and returns the previous one to the caller.
  std::unique_ptr<TRVBitmap> ReplaceAlphaBitmap(std::unique_ptr<TRVBitmap> alpha);
  bool IsAlphaChannel() const { return isAlphaChannel_; }

  // ---- copying
  // From a TRVBitmap: size, format, pixels, palette and alpha channel. Other classes are ignored.
  void Assign(TRVBaseBitmap* source) override;
  void Assign(platform::TBitmap* source);
  // Like Assign, but keeps this image's alpha channel, BWConversion and RowAlignment; Full false.
  void AssignImage(TRVBitmap& source);
  // Hands the whole image to `dest` and leaves this object empty.
  void MoveTo(TRVBitmap& dest);
  void CopyPaletteTo(TRVBaseBitmap* dest) override;

  // ---- palette
  TRGB* GetPaletteBuffer() override { return palette_.empty() ? nullptr : palette_.data(); }
  TRGB GetPalette(int32_t index) override;
  void SetPalette(int32_t index, const TRGB& value) override;
  void SetPalette(int32_t index, uint32_t packedRGB) { SetPalette(index, UnpackRGBValue(packedRGB)); }
  int32_t GetPaletteLength() override { return static_cast<int32_t>(palette_.size()); }

  // ---- typed pixel access (no range checks)
  bool GetPixels_rv1g(int32_t x, int32_t y);
  void SetPixels_rv1g(int32_t x, int32_t y, bool value);
  uint8_t GetPixels_rv8(int32_t x, int32_t y);
  void SetPixels_rv8(int32_t x, int32_t y, uint8_t value);
  uint16_t GetPixels_rv16g(int32_t x, int32_t y);
  void SetPixels_rv16g(int32_t x, int32_t y, uint16_t value);
  TRGB GetPixels_rv24RGB(int32_t x, int32_t y);
  void SetPixels_rv24RGB(int32_t x, int32_t y, uint32_t packedRGB);
  TRGB* GetPPixels_rv24RGB(int32_t x, int32_t y);
  uint32_t GetPixels_rv32RGB(int32_t x, int32_t y);
  void SetPixels_rv32RGB(int32_t x, int32_t y, uint32_t value);
  uint32_t* GetPPixels_rv32RGB(int32_t x, int32_t y);
  float GetPixels_rv32f(int32_t x, int32_t y);
  void SetPixels_rv32f(int32_t x, int32_t y, float value);
  TCMYK GetPixels_rvCMYK(int32_t x, int32_t y);
  void SetPixels_rvCMYK(int32_t x, int32_t y, const TCMYK& value);
  TCIELab GetPixels_rvCIELab(int32_t x, int32_t y);
  void SetPixels_rvCIELab(int32_t x, int32_t y, const TCIELab& value);
  TRGB48 GetPixels_rv48RGB(int32_t x, int32_t y);
  void SetPixels_rv48RGB(int32_t x, int32_t y, const TRGB48& value);
  TRGB48* GetPPixels_rv48RGB(int32_t x, int32_t y);

  // Format-independent colour of a pixel, and its setter (packed RGB; rv8p is left alone).
  TRGB GetPixels(int32_t x, int32_t y);
  void SetPixels(int32_t x, int32_t y, uint32_t packedRGB);
  // Alpha of a pixel (the alpha channel is created, all 255, when missing).
  uint8_t GetAlpha(int32_t x, int32_t y);
  void SetAlpha(int32_t x, int32_t y, uint8_t value);

  // Whole image: integer formats take Trunc(value) (a TColor for colour formats); rv32f the
  // value itself. Sets Full to whether the value is the format's maximum.
  void Fill(double value);
  // Clipped rectangle, inclusive corners; rv32f takes Trunc(value). Full is not changed.
  void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double value);
  // Moves the rectangle left..right by top..bottom (corners included) to (newLeft, newTop)
  // through a temporary copy; with `clear` the old rectangle is first filled with `fillValue`
  // (as FillRect takes it). The free MoveRect of RVRectCopy.h does the work.
  void MoveRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t newLeft, int32_t newTop,
                double fillValue, bool clear);

  // ---- conversion
  void SetPixelFormat(TRVPixelFormat value);
  void ConvertToPixelFormat(TRVPixelFormat value);
  // Fills this already allocated image (same size) from `source`, converting each pixel; the
  // source is never changed. Nothing when the sizes differ or this image is at rvTBitmap.
  void CopyAndConvertFormat(TRVBitmap& source);
  void CopyFromPlatformBitmap(TRVPlatformBitmap& bitmap);
  void CopyFromTBitmap(platform::TBitmap* bitmap);
  void CopyFromTRVMask(TRVMask* mask);
  void CopyToTRVMask(TRVMask& mask);
  void CopyFromTRVDibbitmap(TRVDibbitmap* dib);

  // ---- rendering and stretching (render/RVRender.cpp)
  // Draws the source rectangle (xSrc, ySrc, dxSrc x dySrc) of this image scaled into the
  // rectangle (xDst, yDst, dxDst x dyDst) of an rv24RGB Dest in memory or in a platform bitmap;
  // anything else, Dest being this image, or an empty rectangle draws nothing. Empty tables are
  // built; with FreeTables false the built ones are handed back for the same geometry.
  void RenderToTRVBitmapEx(TRVBitmap* Dest, TRVRowTable& RowTable, TRVIndexTable& XTable, TRVIndexTable& YTable,
                           const TRVClipRect* ClipRect, int32_t xDst, int32_t yDst, int32_t dxDst, int32_t dyDst,
                           int32_t xSrc, int32_t ySrc, int32_t dxSrc, int32_t dySrc, bool UseAlpha, bool RowRepeat,
                           int32_t Transparency, TResampleFilter Filter, bool FreeTables,
                           TRVRenderOperation RenderOperation);
  // Own tables, no clip rectangle, the alpha channel used, no row repeat.
  void RenderToTRVBitmap(TRVBitmap* Dest, int32_t xDst, int32_t yDst, int32_t dxDst, int32_t dyDst, int32_t xSrc,
                         int32_t ySrc, int32_t dxSrc, int32_t dySrc, int32_t Transparency, TResampleFilter Filter,
                         TRVRenderOperation RenderOperation);
  // The same into a 24-bit platform bitmap, which stays the caller's.
  void RenderToTBitmapEx(platform::TBitmap* Dest, TRVRowTable& RowTable, TRVIndexTable& XTable,
                         TRVIndexTable& YTable, const TRVClipRect* ClipRect, int32_t xDst, int32_t yDst,
                         int32_t dxDst, int32_t dyDst, int32_t xSrc, int32_t ySrc, int32_t dxSrc, int32_t dySrc,
                         bool UseAlpha, bool RowRepeat, int32_t Transparency, TResampleFilter Filter,
                         bool FreeTables, TRVRenderOperation RenderOperation);
  void RenderToTBitmap(platform::TBitmap* Dest, int32_t xDst, int32_t yDst, int32_t dxDst, int32_t dyDst,
                       int32_t xSrc, int32_t ySrc, int32_t dxSrc, int32_t dySrc, int32_t Transparency,
                       TResampleFilter Filter, TRVRenderOperation RenderOperation);
  // Copies the source rectangle scaled into the rectangle of an rv24RGB Dest, alpha channel
  // included (every alpha byte written limited to MaxAlpha).
  void StretchRectTo(TRVBitmap* Dest, int32_t xDst, int32_t yDst, int32_t dxDst, int32_t dyDst, int32_t xSrc,
                     int32_t ySrc, int32_t dxSrc, int32_t dySrc, TResampleFilter Filter, int32_t MaxAlpha);
  // The row renderers, one plain and one blending variant per source format.
  void RenderRows_rv24RGB(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rv24RGB(const TRVRenderRowsArgs& a);
  void RenderRows_rv32RGB(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rv32RGB(const TRVRenderRowsArgs& a);
  void RenderRows_rv1g(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rv1g(const TRVRenderRowsArgs& a);
  void RenderRows_rv8g(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rv8g(const TRVRenderRowsArgs& a);
  void RenderRows_rv8p(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rv8p(const TRVRenderRowsArgs& a);
  void RenderRows_rv16g(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rv16g(const TRVRenderRowsArgs& a);
  void RenderRows_rv32f(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rv32f(const TRVRenderRowsArgs& a);
  void RenderRows_rvCMYK(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rvCMYK(const TRVRenderRowsArgs& a);
  void RenderRows_rvCIELab(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rvCIELab(const TRVRenderRowsArgs& a);
  void RenderRows_rv48RGB(const TRVRenderRowsArgs& a);
  void RenderRowsAlpha_rv48RGB(const TRVRenderRowsArgs& a);

  // ---- flags and tests
  // Full = every pixel byte (row padding excluded) is 255.
  void UpdateOpaqueFlag();
  bool IsAllZero();
  bool HasOnlyGrays();

  // ---- attributes
  bool Full = false;                 // every sample holds its format's maximum
  uint8_t BWConversion = 1;          // to rv1g: 0 ordered dithering, 1 threshold
  int32_t PaletteColorCount = 256;   // colours asked for when converting to rv8p (1..256)
  double DisplayMin = 0, DisplayMax = 0;
  int32_t ChannelOffset[4] = {0, 0, 0, 0};
  bool ChannelOffsetSet = false;
  int32_t Contrast = 0;
  uint8_t Allocator = 2;             // 0 heap, 1 zeroed block, 2 tagged block
  bool NeedsAllocation = true;
  int64_t MemoryThreshold = 0;       // images above it go to a temporary file
  void SetChannelOffset(int32_t index, int32_t value);

  // Storage details, for tests and the processing code.
  int32_t ChunkCount() const { return static_cast<int32_t>(chunks_.size()); }
  const TRVFileBuffer& FileBuffer() const { return *fileBuffer_; }

 private:
  static TRGB UnpackRGBValue(uint32_t v) {
    return TRGB{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
  }
  void InitDefaults();
  bool AllocateStorage();
  bool AllocateBlock(int64_t size);
  bool AllocateChunks();
  void FreeBlock();
  void FreeChunks();
  void BuildRowTable();
  void FreeRowTable() { rowTable_.clear(); }
  void RecomputeGeometry();
  TRVLocation ChooseLocation(TRVLocation location, int64_t size) const;
  // Converts a platform bitmap's rows to a format it cannot hold; see SetLocation.
  void ConvertForPlatformBitmap();
  void ChangeSize(int32_t width, int32_t height);
  void CopyRowsFrom(TRVBitmap& source);
  void AssignFrom(TRVBitmap& source, bool withAlpha);
  void ConvertRows(TRVBitmap& source);
  void ConvertToPixelFormatAtTBitmap(TRVPixelFormat value);

  std::unique_ptr<TRVFileBuffer> fileBuffer_;
  uint8_t* currentFileRow_ = nullptr;
  std::vector<TRGB> palette_;
  std::unique_ptr<TRVBitmap> alpha_;
  uint8_t* alignedBlock_ = nullptr;
  void* rawBlock_ = nullptr;
  uint8_t blockAllocator_ = 0;
  std::unique_ptr<TRVPlatformBitmap> tbitmap_;
  std::vector<uint8_t*> rowTable_;
  std::vector<std::pair<uint8_t*, int32_t>> lockedRows_;
  int32_t width_ = 0, height_ = 0, bitCount_ = 0, channelCount_ = 0, rowLen_ = 0;
  TRVPixelFormat pixelFormat_ = rvNone;
  bool isAlphaChannel_ = false;
  TRVLocation location_ = rvInTempFile;
  bool tbitmapBorrowed_ = false;
  int32_t rowAlignment_ = 32;
  std::vector<void*> chunks_;
  int32_t rowsPerChunk_ = 0;
};

// Copies the colour table of an 8-bit platform bitmap into an rv8p image's palette.
void CopyTBitmapPalette(TRVPlatformBitmap& bitmap, TRVBitmap& target);

// Integration points for the colour quantizer and the black-and-white reduction of the
// processing code. Until they are installed, the core uses small built-in versions: an exact
// palette when the image has few enough colours, else a uniform colour cube; and a threshold
// at the grey level of the average colour (threshold -1) or the given level.
using TRVQuantizeHook = void (*)(TRVBitmap& source24, TRVBitmap& dest8p, int32_t colorCount);
using TRVThresholdHook = void (*)(TRVBitmap& source, TRVBitmap& dest1g, int32_t threshold);
void SetQuantizeHook(TRVQuantizeHook hook);
void SetThresholdTo1BitHook(TRVThresholdHook hook);
// Reduces `source` into the allocated rv1g `dest` (same size) through the installed hook.
void ThresholdTo1Bit(TRVBitmap& source, TRVBitmap& dest, int32_t threshold);

}  // namespace rv

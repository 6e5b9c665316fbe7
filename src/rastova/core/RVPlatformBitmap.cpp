#include "rastova/core/RVPlatformBitmap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

// Rows bottom-up in one block, as a device-independent bitmap keeps them.
class TMemoryPlatformBitmap : public TRVPlatformBitmap {
 public:
  TMemoryPlatformBitmap() { Reformat(pf24bit, 1, 1, false); }

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  TPixelFormat PixelFormat() const override { return format_; }
  void SetPixelFormat(TPixelFormat format) override {
    if (format != pf1bit && format != pf8bit && format != pf24bit && format != pf32bit)
      throw std::invalid_argument("Unsupported bitmap pixel format");
    if (format != format_) Reformat(format, width_, height_, false);
  }
  void SetSize(int32_t width, int32_t height) override {
    if (width < 0 || height < 0) throw std::invalid_argument("Invalid bitmap size");
    if (width != width_ || height != height_) Reformat(format_, width, height, true);
  }
  uint8_t* ScanLine(int32_t row) override {
    return pixels_.data() + static_cast<size_t>(rowLen_) * static_cast<size_t>(height_ - row - 1);
  }
  int32_t ColorTableSize() const override { return static_cast<int32_t>(table_.size()); }
  void GetColorTable(TRGB* entries, int32_t count) const override {
    std::copy_n(table_.begin(), std::min<size_t>(table_.size(), static_cast<size_t>(std::max(count, 0))), entries);
  }
  void SetColorTable(const TRGB* entries, int32_t count) override {
    std::copy_n(entries, std::min<size_t>(table_.size(), static_cast<size_t>(std::max(count, 0))), table_.begin());
  }
  platform::TBitmap* Bitmap() override { return nullptr; }
  platform::TCanvas* Canvas() override { return nullptr; }

 private:
  void Reformat(TPixelFormat format, int32_t width, int32_t height, bool keep) {
    int64_t rowLen = AlignedRowLength64(width, PixelFormatBitCount(format), 32);
    std::vector<uint8_t> pixels(static_cast<size_t>(rowLen * height), 0);
    if (keep) {
      int32_t rows = std::min(height, height_);
      int64_t bytes = std::min<int64_t>(rowLen, rowLen_);
      for (int32_t r = 0; r < rows; ++r)
        std::memcpy(pixels.data() + rowLen * (height - r - 1), pixels_.data() + int64_t(rowLen_) * (height_ - r - 1),
                    static_cast<size_t>(bytes));
    }
    if (format != format_ || table_.empty()) {
      table_.clear();
      if (format == pf1bit) table_ = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
      if (format == pf8bit) table_.assign(256, TRGB{});
    }
    pixels_ = std::move(pixels);
    format_ = format;
    width_ = width;
    height_ = height;
    rowLen_ = static_cast<int32_t>(rowLen);
  }

  TPixelFormat format_ = pfDevice;
  int32_t width_ = 0, height_ = 0, rowLen_ = 0;
  std::vector<uint8_t> pixels_;
  std::vector<TRGB> table_;
};

TRVPlatformBitmapFactory factory = nullptr;
TRVPlatformBitmapWrapper wrapper = nullptr;

}  // namespace

void SetPlatformBitmapFactory(TRVPlatformBitmapFactory f, TRVPlatformBitmapWrapper w) {
  factory = f;
  wrapper = w;
}

std::unique_ptr<TRVPlatformBitmap> CreatePlatformBitmap() {
  return factory ? factory() : CreateMemoryPlatformBitmap();
}

std::unique_ptr<TRVPlatformBitmap> WrapPlatformBitmap(platform::TBitmap* bitmap) {
  return wrapper && bitmap ? wrapper(bitmap) : nullptr;
}

std::unique_ptr<TRVPlatformBitmap> CreateMemoryPlatformBitmap() { return std::make_unique<TMemoryPlatformBitmap>(); }

void SetTBitmapGrayPalette(TRVPlatformBitmap& bitmap) {
  TRGB ramp[256];
  for (int i = 0; i < 256; ++i) ramp[i] = TRGB{uint8_t(i), uint8_t(i), uint8_t(i)};
  bitmap.SetColorTable(ramp, std::min(bitmap.ColorTableSize(), 256));
}

bool IsTBitmapGrayPalette(const TRVPlatformBitmap& bitmap) {
  int32_t n = std::min(bitmap.ColorTableSize(), 256);
  if (n <= 0) return false;
  TRGB table[256];
  bitmap.GetColorTable(table, n);
  for (int i = 0; i < n; ++i)
    if (table[i] != TRGB{uint8_t(i), uint8_t(i), uint8_t(i)}) return false;
  return true;
}

}  // namespace rv

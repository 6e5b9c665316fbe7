#include "rastova/core/RVPlatformAdapter.h"

#include "rastova/core/RVPlatformBitmap.h"
#include "rastova/core/RVUtils.h"

#ifdef ZEPHOR_HAVE_PLATFORM_GFX

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Color.h"

namespace rv {

namespace {

// A platform::TBitmap seen through the image buffer's interface; owned or borrowed.
class TGfxBitmap : public TRVPlatformBitmap {
 public:
  TGfxBitmap() : owned_(std::make_unique<platform::TBitmap>(1, 1, platform::pf24bit)), bitmap_(owned_.get()) {}
  explicit TGfxBitmap(platform::TBitmap* borrowed) : bitmap_(borrowed) {}

  int32_t Width() const override { return bitmap_->Width(); }
  int32_t Height() const override { return bitmap_->Height(); }
  TPixelFormat PixelFormat() const override { return static_cast<TPixelFormat>(bitmap_->PixelFormat()); }
  void SetPixelFormat(TPixelFormat format) override {
    bitmap_->SetPixelFormat(static_cast<platform::TPixelFormat>(format));
  }
  void SetSize(int32_t width, int32_t height) override { bitmap_->SetSize(width, height); }
  uint8_t* ScanLine(int32_t row) override { return bitmap_->ScanLine(row); }
  int32_t ColorTableSize() const override { return bitmap_->ColorTableSize(); }
  void GetColorTable(TRGB* entries, int32_t count) const override {
    std::vector<platform::TRGBQuad> table = bitmap_->GetColorTable();
    int32_t n = std::min<int32_t>(count, static_cast<int32_t>(table.size()));
    for (int32_t i = 0; i < n; ++i) entries[i] = TRGB{table[i].rgbBlue, table[i].rgbGreen, table[i].rgbRed};
  }
  void SetColorTable(const TRGB* entries, int32_t count) override {
    std::vector<platform::TRGBQuad> table(static_cast<size_t>(std::max(count, 0)));
    for (int32_t i = 0; i < count; ++i) table[static_cast<size_t>(i)] = platform::TRGBQuad{entries[i].b, entries[i].g, entries[i].r, 0};
    bitmap_->SetColorTable(0, table);
  }
  platform::TBitmap* Bitmap() override { return bitmap_; }
  platform::TCanvas* Canvas() override { return &bitmap_->Canvas(); }

 private:
  std::unique_ptr<platform::TBitmap> owned_;
  platform::TBitmap* bitmap_;
};

std::unique_ptr<TRVPlatformBitmap> MakeBitmap() { return std::make_unique<TGfxBitmap>(); }
std::unique_ptr<TRVPlatformBitmap> WrapBitmap(platform::TBitmap* b) { return std::make_unique<TGfxBitmap>(b); }
uint32_t ResolveSystemColor(TColor c) { return static_cast<uint32_t>(platform::ColorToRGB(c)); }

}  // namespace

void InstallPlatformBitmapAdapter() {
  SetPlatformBitmapFactory(MakeBitmap, WrapBitmap);
  SetSystemColorResolver(ResolveSystemColor);
}

bool HasPlatformDrawing() { return true; }

void DrawEdgeFrame(platform::TCanvas& canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color1,
                   TColor color2) {
  canvas.Pen.Mode = platform::pmCopy;
  canvas.Pen.Style = platform::psSolid;
  canvas.Pen.Width = 1;
  canvas.Pen.Color = color1;
  canvas.MoveTo(x1, y2);
  canvas.LineTo(x1, y1);
  canvas.LineTo(x2, y1);
  canvas.Pen.Color = color2;
  canvas.MoveTo(x1, y2);
  canvas.LineTo(x2, y2);
  canvas.LineTo(x2, y1);
}

void TRVCanvasMaskPainter::PaintPixel(int32_t x, int32_t y, const TRGB& colour) {
  canvas_.SetPixels(x, y, RGBToColor(colour));
}

void TRVCanvasMaskPainter::InvertPixel(int32_t x, int32_t y) {
  TColor c = canvas_.Pixels(x, y);
  if (c >= 0) canvas_.SetPixels(x, y, c ^ 0xFFFFFF);
}

}  // namespace rv

#else

namespace rv {

void InstallPlatformBitmapAdapter() {}
bool HasPlatformDrawing() { return false; }

}  // namespace rv

#endif

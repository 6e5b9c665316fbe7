#include "platform/gfx/Bitmap.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <unordered_map>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/GraphicsError.h"

namespace platform {

namespace {

// Largest pixel block a bitmap takes (2 GB): QImage addresses rows with an int.
constexpr int64_t kMaxBytes = int64_t{INT_MAX};

int BitsOf(TPixelFormat format) {
  switch (format) {
    case pf1bit:
      return 1;
    case pf8bit:
      return 8;
    case pf24bit:
      return 24;
    case pf32bit:
      return 32;
    default:
      return 0;
  }
}

int64_t StrideOf(int width, TPixelFormat format) { return ((int64_t{width} * BitsOf(format) + 31) / 32) * 4; }

std::vector<TRGBQuad> DefaultColorTable(TPixelFormat format) {
  std::vector<TRGBQuad> table;
  if (format == pf1bit) {
    table = {TRGBQuad{0, 0, 0, 0}, TRGBQuad{255, 255, 255, 0}};
  } else if (format == pf8bit) {
    table.resize(256);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      table[i] = TRGBQuad{v, v, v, 0};
    }
  }
  return table;
}

TColor EntryColor(const TRGBQuad& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
  SetPixelFormat(format);
  SetSize(width, height);
}

TBitmap::~TBitmap() {
  // A canvas of its own or of someone else's may still have a painter open on the pixels.
  EndKeptPainter();
}

void TBitmap::EndKeeper() const {
  if (TCanvas* keeper = keeper_.exchange(nullptr)) keeper->EndKept();
}

int TBitmap::BitsPerPixel() const { return BitsOf(format_); }

void TBitmap::Reallocate(int width, int height, TPixelFormat format) {
  EndKeptPainter();
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == 0 || height == 0) width = height = 0;
  const int64_t stride = StrideOf(width, format);
  const int64_t bytes = stride * height;
  if (stride > kMaxBytes || bytes > kMaxBytes) throw EOutOfResources("Out of system resources");
  std::unique_ptr<uint8_t[]> data;
  if (bytes > 0) {
    data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]());
    if (!data) throw EOutOfResources("Out of system resources");
  }
  // Keep what both sizes share; convert when the format changes.
  const int keepW = std::min(width, width_);
  const int keepH = std::min(height, height_);
  if (keepW > 0 && keepH > 0) {
    if (format == format_) {
      const int64_t rowBytes = (int64_t{keepW} * BitsOf(format) + 7) / 8;
      for (int y = 0; y < keepH; ++y) {
        uint8_t* dst = data.get() + y * stride;
        const uint8_t* src = data_.get() + int64_t{y} * stride_;
        if (format == pf1bit && keepW % 8 != 0) {
          // The last byte holds pixels beyond the kept width: keep only the kept bits.
          std::memcpy(dst, src, static_cast<size_t>(rowBytes - 1));
          const uint8_t mask = static_cast<uint8_t>(0xFF00 >> (keepW % 8));
          dst[rowBytes - 1] = src[rowBytes - 1] & mask;
        } else {
          std::memcpy(dst, src, static_cast<size_t>(rowBytes));
        }
      }
    } else {
      // Convert pixel by pixel through the colour of each pixel.
      TBitmap target;
      target.width_ = width;
      target.height_ = height;
      target.stride_ = static_cast<int>(stride);
      target.format_ = format;
      target.palette_ = DefaultColorTable(format);
      target.UpdateGrayFlag();
      target.data_ = std::move(data);
      for (int y = 0; y < keepH; ++y)
        for (int x = 0; x < keepW; ++x) target.SetPixelColor(x, y, PixelColor(x, y));
      data = std::move(target.data_);
    }
  }
  paint_ = QImage();
  shadow_.reset();
  if (format != format_) palette_ = DefaultColorTable(format);
  format_ = format;
  UpdateGrayFlag();
  data_ = std::move(data);
  width_ = width;
  height_ = height;
  stride_ = static_cast<int>(stride);
  Rewrap();
}

void TBitmap::Rewrap() {
  EndKeptPainter();
  paint_ = QImage();
  if (Empty()) return;
  switch (format_) {
    case pf24bit:
      paint_ = QImage(data_.get(), width_, height_, stride_, QImage::Format_BGR888);
      break;
    case pf32bit:
      paint_ = QImage(data_.get(), width_, height_, stride_, QImage::Format_RGB32);
      break;
    case pf8bit:
      paint_ = QImage(data_.get(), width_, height_, stride_, QImage::Format_Grayscale8);
      break;
    case pf1bit:
      break;  // painted through the unpacked copy, made by BeginPaint
    default:
      break;
  }
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  Reallocate(width, height, format_);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pfDevice) format = pf32bit;
  if (BitsOf(format) == 0) throw EInvalidGraphicOperation("Invalid pixel format");
  if (format == format_) return;
  Reallocate(width_, height_, format);
}

void TBitmap::Assign(const TBitmap& source) {
  if (&source == this) return;
  EndKeptPainter();
  if (source.format_ != format_ || source.width_ != width_ || source.height_ != height_) {
    // Drop the old pixels first so that nothing is converted needlessly.
    Reallocate(0, 0, format_);
    Reallocate(source.width_, source.height_, source.format_);
  }
  palette_ = source.palette_;
  UpdateGrayFlag();
  if (!Empty()) std::memcpy(data_.get(), source.data_.get(), static_cast<size_t>(int64_t{stride_} * height_));
}

uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
  EndKeptPainter();
  return data_.get() + int64_t{y} * stride_;
}

const uint8_t* TBitmap::ScanLine(int y) const { return const_cast<TBitmap*>(this)->ScanLine(y); }

void TBitmap::SetColorTable(int first, std::span<const TRGBQuad> entries) {
  for (size_t i = 0; i < entries.size(); ++i) {
    const int64_t index = int64_t{first} + static_cast<int64_t>(i);
    if (index >= 0 && index < static_cast<int64_t>(palette_.size())) palette_[index] = entries[i];
  }
  UpdateGrayFlag();
}

bool TBitmap::IsGrayColorTable() const { return grayTable_; }

void TBitmap::UpdateGrayFlag() {
  grayTable_ = format_ == pf8bit && palette_.size() == 256;
  for (size_t i = 0; grayTable_ && i < palette_.size(); ++i) {
    const auto& q = palette_[i];
    grayTable_ = q.rgbRed == i && q.rgbGreen == i && q.rgbBlue == i;
  }
}

QImage TBitmap::Image() {
  if (Empty()) return QImage();
  EndKeptPainter();
  QImage image;
  switch (format_) {
    case pf24bit:
      image = QImage(data_.get(), width_, height_, stride_, QImage::Format_BGR888);
      break;
    case pf32bit:
      image = QImage(data_.get(), width_, height_, stride_, QImage::Format_RGB32);
      break;
    case pf8bit:
      image = QImage(data_.get(), width_, height_, stride_, QImage::Format_Indexed8);
      break;
    case pf1bit:
      image = QImage(data_.get(), width_, height_, stride_, QImage::Format_Mono);
      break;
    default:
      return QImage();
  }
  if (!palette_.empty()) {
    QList<QRgb> table;
    table.reserve(static_cast<qsizetype>(palette_.size()));
    for (const auto& q : palette_) table.push_back(qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
    image.setColorTable(table);
  }
  return image;
}

QImage TBitmap::Image() const {
  QImage image = const_cast<TBitmap*>(this)->Image();
  if (image.isNull()) return image;
  // The same memory, but read-only: a painter on it works on a private copy.
  QImage readOnly(static_cast<const uchar*>(data_.get()), width_, height_, stride_, image.format());
  readOnly.setColorTable(image.colorTable());
  return readOnly;
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(*this);
  return *canvas_;
}

TColor TBitmap::PixelColor(int x, int y) const {
  EndKeptPainter();
  const uint8_t* row = data_.get() + int64_t{y} * stride_;
  switch (format_) {
    case pf1bit:
      return EntryColor(palette_[(row[x >> 3] >> (7 - (x & 7))) & 1]);
    case pf8bit:
      return EntryColor(palette_[row[x]]);
    case pf24bit:
      return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case pf32bit:
      return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    default:
      return clBlack;
  }
}

void TBitmap::SetPixelColor(int x, int y, TColor color) {
  EndKeptPainter();
  const TColor rgb = ColorToRGB(color);
  uint8_t* row = data_.get() + int64_t{y} * stride_;
  switch (format_) {
    case pf1bit: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      if (NearestIndex(rgb))
        row[x >> 3] |= bit;
      else
        row[x >> 3] &= static_cast<uint8_t>(~bit);
      break;
    }
    case pf8bit:
      row[x] = static_cast<uint8_t>(NearestIndex(rgb));
      break;
    case pf24bit:
      row[3 * x] = GetBValue(rgb);
      row[3 * x + 1] = GetGValue(rgb);
      row[3 * x + 2] = GetRValue(rgb);
      break;
    case pf32bit:
      row[4 * x] = GetBValue(rgb);
      row[4 * x + 1] = GetGValue(rgb);
      row[4 * x + 2] = GetRValue(rgb);
      break;
    default:
      break;
  }
}

int TBitmap::NearestIndex(TColor color) const {
  if (palette_.empty()) return 0;
  const TColor rgb = ColorToRGB(color);
  const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
  // On the grey ramp the nearest entry is the mean of the three channels, rounded (a third
  // never ties).
  if (grayTable_) return (r + g + b + 1) / 3;
  // Least squared distance; the first entry wins a tie.
  int best = 0;
  int bestDistance = INT_MAX;
  for (size_t i = 0; i < palette_.size(); ++i) {
    const auto& q = palette_[i];
    const int dr = r - q.rgbRed, dg = g - q.rgbGreen, db = b - q.rgbBlue;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}

QImage* TBitmap::BeginPaint(const QRect& area) {
  if (Empty()) return nullptr;
  // Qt lets one painter at a time work on an image.
  EndKeptPainter();
  if (format_ != pf1bit) return paint_.isNull() ? nullptr : &paint_;
  // Unpack the bits into one byte per pixel (0 or 255) so that every raster operation works
  // on them as it works on single bits.
  if (!shadow_) {
    shadowStride_ = (width_ + 3) & ~3;
    shadow_.reset(new uint8_t[static_cast<size_t>(int64_t{shadowStride_} * height_)]);
    paint_ = QImage(shadow_.get(), width_, height_, shadowStride_, QImage::Format_Grayscale8);
  }
  const QRect a = area.intersected(QRect(0, 0, width_, height_));
  for (int y = a.top(); y <= a.bottom(); ++y) {
    const uint8_t* src = data_.get() + int64_t{y} * stride_;
    uint8_t* dst = shadow_.get() + int64_t{y} * shadowStride_;
    for (int x = a.left(); x <= a.right(); ++x) dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
  }
  return &paint_;
}

void TBitmap::EndPaint(const QRect& area) {
  if (format_ != pf1bit || !shadow_) return;
  const QRect a = area.intersected(QRect(0, 0, width_, height_));
  for (int y = a.top(); y <= a.bottom(); ++y) {
    uint8_t* dst = data_.get() + int64_t{y} * stride_;
    const uint8_t* src = shadow_.get() + int64_t{y} * shadowStride_;
    for (int x = a.left(); x <= a.right(); ++x) {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      if (src[x] >= 128)
        dst[x >> 3] |= bit;
      else
        dst[x >> 3] &= static_cast<uint8_t>(~bit);
    }
  }
}

}  // namespace platform

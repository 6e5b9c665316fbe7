// The bitmap of the picture layer and its BMP reader and writer. The reader checks every size,
// count and offset against the bytes the stream holds before it allocates, and builds the new
// picture aside, so a damaged file leaves the bitmap as it was.
#include "scene3d/scene/texture/picture/Bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace gl3d {

namespace {

const char* const kInvalidBitmap = "Bitmap image is not valid";

[[noreturn]] void InvalidBitmap() { throw EInvalidGraphic(kInvalidBitmap); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Exactly `count` bytes, or the bitmap error.
void ReadExact(TStream& stream, void* buffer, int64_t count) {
  if (count < 0 || stream.Read(buffer, count) != count) InvalidBitmap();
}

enum : uint32_t { kBI_RGB = 0, kBI_RLE8 = 1, kBI_RLE4 = 2, kBI_BITFIELDS = 3, kBI_ALPHABITFIELDS = 6 };
bool IsBitFields(uint32_t compression) {
  return compression == kBI_BITFIELDS || compression == kBI_ALPHABITFIELDS;
}

// One channel of a bit-field pixel: the mask's position and width, scaled to 8 bits.
struct Channel {
  uint32_t Mask = 0;
  int Shift = 0;
  int Bits = 0;
  explicit Channel(uint32_t mask = 0) : Mask(mask) {
    if (mask == 0) return;
    Shift = std::countr_zero(mask);
    Bits = std::bit_width(mask >> Shift);
  }
  uint8_t Value(uint32_t pixel, uint8_t absent) const {
    if (Mask == 0) return absent;
    const uint32_t v = (pixel & Mask) >> Shift;
    if (Bits >= 8) return static_cast<uint8_t>(v >> (Bits - 8));
    return static_cast<uint8_t>(v * 255u / ((1u << Bits) - 1u));
  }
};

// What the headers say, checked.
struct BmpHeader {
  int64_t Start = 0;     // stream position of the file header
  uint32_t OffBits = 0;  // pixel data offset from Start
  int32_t Width = 0;
  int32_t Height = 0;  // positive
  bool TopDown = false;
  int Bits = 0;
  uint32_t Compression = kBI_RGB;
  uint32_t ColorsUsed = 0;
  uint32_t SizeImage = 0;            // bytes of the pixel data (run-length data: its length, 0 when unknown)
  bool Core = false;                 // 12-byte header: 3-byte palette entries
  uint32_t Masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool HasMasks = false;
  int64_t HeadersEnd = 0;  // bytes from Start up to the end of what was read so far
};

// File header and information header.
BmpHeader ReadHeaders(TStream& stream) {
  BmpHeader h;
  h.Start = stream.Position();
  uint8_t file[14];
  ReadExact(stream, file, sizeof(file));
  if (file[0] != 'B' || file[1] != 'M') InvalidBitmap();
  h.OffBits = U32(file + 10);
  uint8_t info[124];
  ReadExact(stream, info, 4);
  const uint32_t size = U32(info);
  if (size != 12 && size != 40 && size != 52 && size != 56 && size != 108 && size != 124) InvalidBitmap();
  ReadExact(stream, info + 4, size - 4);
  h.HeadersEnd = 14 + size;
  int64_t height = 0;
  if (size == 12) {
    h.Core = true;
    h.Width = U16(info + 4);
    height = U16(info + 6);
    h.Bits = U16(info + 10);
  } else {
    h.Width = static_cast<int32_t>(U32(info + 4));
    height = static_cast<int32_t>(U32(info + 8));
    h.Bits = U16(info + 14);
    h.Compression = U32(info + 16);
    h.SizeImage = U32(info + 20);
    h.ColorsUsed = U32(info + 32);
    // Masks in the header count only for bit-field data.
    if (size >= 52 && IsBitFields(h.Compression)) {
      for (int i = 0; i < 3; ++i) h.Masks[i] = U32(info + 40 + 4 * i);
      h.HasMasks = true;
      if (size >= 56) h.Masks[3] = U32(info + 52);
    }
  }
  h.TopDown = height < 0;
  height = height < 0 ? -height : height;
  if (h.Width <= 0 || height <= 0 || height > INT32_MAX) InvalidBitmap();
  h.Height = static_cast<int32_t>(height);
  const int b = h.Bits;
  if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) InvalidBitmap();
  const bool rle = (h.Compression == kBI_RLE8 && b == 8) || (h.Compression == kBI_RLE4 && b == 4);
  if (!(h.Compression == kBI_RGB || rle || (IsBitFields(h.Compression) && (b == 16 || b == 32))))
    InvalidBitmap();
  if (h.TopDown && (h.Core || rle)) InvalidBitmap();
  return h;
}

// Bit-field masks that follow a 40-byte header, and the defaults of plain 16- and 32-bit data.
void ReadMasks(TStream& stream, BmpHeader& h) {
  const bool fields = IsBitFields(h.Compression);
  if (fields && !h.HasMasks) {
    const int count = h.Compression == kBI_ALPHABITFIELDS ? 4 : 3;
    uint8_t masks[16];
    ReadExact(stream, masks, 4 * count);
    for (int i = 0; i < count; ++i) h.Masks[i] = U32(masks + 4 * i);
    h.HeadersEnd += 4 * count;
  } else if (!fields && h.Bits == 16) {
    h.Masks[0] = 0x7C00;
    h.Masks[1] = 0x03E0;
    h.Masks[2] = 0x001F;
    h.Masks[3] = 0;
  }
  if (fields && (h.Masks[0] == 0 && h.Masks[1] == 0 && h.Masks[2] == 0)) InvalidBitmap();
}

// The colour table of a palette picture, as B, G, R triples; entries the file lacks stay black.
std::vector<uint8_t> ReadPalette(TStream& stream, BmpHeader& h) {
  std::vector<uint8_t> palette(3 * 256, 0);
  if (h.Bits > 8) return palette;
  const uint32_t maxColors = 1u << h.Bits;
  const uint32_t count = h.ColorsUsed == 0 ? maxColors : h.ColorsUsed;
  if (count > 256) InvalidBitmap();
  const int entry = h.Core ? 3 : 4;
  std::vector<uint8_t> raw(static_cast<size_t>(count) * entry);
  ReadExact(stream, raw.data(), static_cast<int64_t>(raw.size()));
  for (uint32_t i = 0; i < count; ++i) std::memcpy(&palette[3 * i], &raw[i * entry], 3);
  h.HeadersEnd += static_cast<int64_t>(raw.size());
  return palette;
}

bool IsRunLength(const BmpHeader& h) { return h.Compression == kBI_RLE8 || h.Compression == kBI_RLE4; }

// Run-length data expands to at most this many pixels a byte (a run of 255 pixels takes two bytes);
// a picture larger than its data could fill, give or take a 256 x 256 picture, is refused before
// anything is allocated for it.
constexpr int64_t kMaxRunLengthRatio = 256;
constexpr int64_t kRunLengthSlackPixels = int64_t(256) * 256;

// The pixel data of the file, after checking that the stream holds it: the rows in file order, or
// the run-length codes (SizeImage bytes, or up to the end of the stream when it is 0).
std::vector<uint8_t> ReadPixelData(TStream& stream, const BmpHeader& h, size_t& fileStride) {
  fileStride = static_cast<size_t>((static_cast<int64_t>(h.Width) * h.Bits + 31) / 32 * 4);
  if (h.OffBits < h.HeadersEnd) InvalidBitmap();
  const int64_t dataStart = h.Start + h.OffBits;
  if (dataStart > stream.Size()) InvalidBitmap();
  const int64_t left = stream.Size() - dataStart;
  int64_t bytes = 0;
  if (IsRunLength(h)) {
    bytes = h.SizeImage != 0 ? h.SizeImage : left;
    if (static_cast<int64_t>(h.Width) * h.Height > kMaxRunLengthRatio * bytes + kRunLengthSlackPixels)
      InvalidBitmap();
  } else if (__builtin_mul_overflow(static_cast<int64_t>(fileStride), int64_t(h.Height), &bytes)) {
    InvalidBitmap();
  }
  if (bytes > left) InvalidBitmap();
  stream.SetPosition(dataStart);
  std::vector<uint8_t> data(static_cast<size_t>(bytes));
  ReadExact(stream, data.data(), bytes);
  return data;
}

// Run-length codes (8 or 4 bits a pixel) into palette indices, bottom row first. Pixels the codes
// skip keep index 0; codes past a row's end or past the last row are dropped; the data ending
// before its end-of-picture code ends the picture.
std::vector<uint8_t> DecodeRunLength(const BmpHeader& h, const std::vector<uint8_t>& data) {
  const size_t w = static_cast<size_t>(h.Width), rows = static_cast<size_t>(h.Height);
  std::vector<uint8_t> indices(w * rows, 0);
  const bool four = h.Compression == kBI_RLE4;
  size_t x = 0, y = 0, i = 0;
  auto put = [&](uint8_t index) {
    if (x < w && y < rows) indices[y * w + x] = index;
    ++x;
  };
  while (i + 1 < data.size() && y < rows) {
    const uint8_t count = data[i], value = data[i + 1];
    i += 2;
    if (count > 0) {  // a run
      for (int k = 0; k < count; ++k) put(four ? ((k & 1) ? value & 15 : value >> 4) : value);
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // move right and up
      if (i + 1 >= data.size()) break;
      x += data[i];
      y += data[i + 1];
      i += 2;
    } else {  // `value` pixels as they are, padded to 16 bits
      const size_t bytes = four ? (value + 1u) / 2 : value;
      if (i + bytes > data.size()) break;
      for (int k = 0; k < value; ++k)
        put(four ? ((k & 1) ? data[i + k / 2] & 15 : data[i + k / 2] >> 4) : data[i + k]);
      i += (bytes + 1) & ~size_t(1);
    }
  }
  return indices;
}

// One file row into one bitmap row of `format`.
void DecodeRow(const BmpHeader& h, const uint8_t* in, const std::vector<uint8_t>& palette, const Channel* ch,
               TPixelFormat format, uint8_t* out) {
  const int32_t w = h.Width;
  const int step = format == pf32bit ? 4 : 3;
  switch (h.Bits) {
    case 1:
    case 4:
    case 8: {
      const int perByte = 8 / h.Bits;
      const uint32_t mask = (1u << h.Bits) - 1u;
      for (int32_t x = 0; x < w; ++x) {
        const int shift = 8 - h.Bits * (x % perByte + 1);
        const uint32_t index = (in[x / perByte] >> shift) & mask;
        std::memcpy(out + 3 * x, &palette[3 * index], 3);
      }
      break;
    }
    case 24:
      std::memcpy(out, in, static_cast<size_t>(w) * 3);
      break;
    default: {
      if (h.Bits == 32 && h.Compression == kBI_RGB) {
        std::memcpy(out, in, static_cast<size_t>(w) * 4);
        break;
      }
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t px = h.Bits == 16 ? U16(in + 2 * x) : U32(in + 4 * x);
        uint8_t* o = out + step * x;
        o[0] = ch[2].Value(px, 0);
        o[1] = ch[1].Value(px, 0);
        o[2] = ch[0].Value(px, 0);
        if (step == 4) o[3] = ch[3].Value(px, 255);
      }
      break;
    }
  }
}

}  // namespace

size_t TBitmap::StrideFor(int32_t width, TPixelFormat format) {
  return (static_cast<size_t>(width) * (format == pf32bit ? 4 : 3) + 3) & ~static_cast<size_t>(3);
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  stride_ = StrideFor(width_, format_);
  pixels_.assign(stride_ * static_cast<size_t>(height_), 0);
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  const size_t stride = StrideFor(width_, format);
  std::vector<uint8_t> pixels(stride * static_cast<size_t>(height_), 0);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* in = pixels_.data() + static_cast<size_t>(y) * stride_;
    uint8_t* out = pixels.data() + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < width_; ++x) {
      if (format == pf32bit) {
        std::memcpy(out + 4 * x, in + 3 * x, 3);
        out[4 * x + 3] = 255;
      } else {
        std::memcpy(out + 3 * x, in + 4 * x, 3);
      }
    }
  }
  format_ = format;
  stride_ = stride;
  pixels_ = std::move(pixels);
  Changed();
}

uint8_t* TBitmap::ScanLine(int32_t row) {
  return const_cast<uint8_t*>(static_cast<const TBitmap*>(this)->ScanLine(row));
}

const uint8_t* TBitmap::ScanLine(int32_t row) const {
  if (row < 0 || row >= height_) throw EInvalidGraphic("Scan line index out of range");
  const int32_t stored = topDown_ ? row : height_ - 1 - row;
  return pixels_.data() + static_cast<size_t>(stored) * stride_;
}

void TBitmap::Assign(const TPersistent* source) {
  if (source == nullptr) {
    Adopt(0, 0, format_, false, {});
    return;
  }
  if (const auto* b = dynamic_cast<const TBitmap*>(source)) {
    if (b == this) return;
    Adopt(b->width_, b->height_, b->format_, b->topDown_, b->pixels_);
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::Adopt(int32_t width, int32_t height, TPixelFormat format, bool topDown,
                    std::vector<uint8_t> pixels) {
  width_ = width;
  height_ = height;
  format_ = format;
  topDown_ = topDown;
  stride_ = StrideFor(width, format);
  pixels_ = std::move(pixels);
  pixels_.resize(stride_ * static_cast<size_t>(height_), 0);
  Changed();
}

void TBitmap::LoadFromStream(TStream& stream) {
  BmpHeader h = ReadHeaders(stream);
  ReadMasks(stream, h);
  const std::vector<uint8_t> palette = ReadPalette(stream, h);
  size_t fileStride = 0;
  std::vector<uint8_t> data = ReadPixelData(stream, h, fileStride);
  if (IsRunLength(h)) {
    // From here on the picture reads as 8-bit indices, one byte a pixel, rows without padding.
    data = DecodeRunLength(h, data);
    h.Bits = 8;
    fileStride = static_cast<size_t>(h.Width);
  }

  const Channel channels[4] = {Channel(h.Masks[0]), Channel(h.Masks[1]), Channel(h.Masks[2]),
                               Channel(h.Masks[3])};
  const TPixelFormat format = (h.Bits == 32 || h.Masks[3] != 0) ? pf32bit : pf24bit;
  const size_t stride = StrideFor(h.Width, format);
  std::vector<uint8_t> pixels(stride * static_cast<size_t>(h.Height), 0);
  for (int32_t y = 0; y < h.Height; ++y)
    DecodeRow(h, data.data() + static_cast<size_t>(y) * fileStride, palette, channels, format,
              pixels.data() + static_cast<size_t>(y) * stride);
  Adopt(h.Width, h.Height, format, h.TopDown, std::move(pixels));
}

void TBitmap::SaveToStream(TStream& stream) const {
  const int bits = format_ == pf32bit ? 32 : 24;
  const uint32_t imageSize = static_cast<uint32_t>(stride_ * static_cast<size_t>(height_));
  uint8_t header[54] = {};
  header[0] = 'B';
  header[1] = 'M';
  Put32(header + 2, 54 + imageSize);
  Put32(header + 10, 54);
  Put32(header + 14, 40);
  Put32(header + 18, static_cast<uint32_t>(width_));
  Put32(header + 22, static_cast<uint32_t>(height_));
  Put16(header + 26, 1);
  Put16(header + 28, static_cast<uint32_t>(bits));
  Put32(header + 34, imageSize);
  stream.WriteBuffer(header, sizeof(header));
  for (int32_t row = height_ - 1; row >= 0; --row)
    stream.WriteBuffer(ScanLine(row), static_cast<int64_t>(stride_));
}

void TBitmap::StretchDraw(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height) const {
  if (Empty() || width <= 0 || height <= 0) return;
  const int in = BytesPerPixel(), out = target.BytesPerPixel();
  const int32_t y0 = std::max(top, 0),
                y1 = std::min<int64_t>(static_cast<int64_t>(top) + height, target.Height());
  const int32_t x0 = std::max(left, 0),
                x1 = std::min<int64_t>(static_cast<int64_t>(left) + width, target.Width());
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* src = ScanLine(static_cast<int32_t>(static_cast<int64_t>(y - top) * height_ / height));
    uint8_t* dst = target.ScanLine(y);
    for (int32_t x = x0; x < x1; ++x) {
      const uint8_t* s = src + in * (static_cast<int64_t>(x - left) * width_ / width);
      uint8_t* d = dst + out * x;
      std::memcpy(d, s, 3);
      if (out == 4) d[3] = in == 4 ? s[3] : 255;
    }
  }
  target.Changed();
}

}  // namespace gl3d

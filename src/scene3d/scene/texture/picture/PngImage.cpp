// The PNG reader of the picture layer. libpng reports errors by longjmp back into the function that
// called setjmp; no C++ exception crosses libpng's frames, and that function keeps its state in a
// record owned by its caller, so the jump skips no destructor.
#include "scene3d/scene/texture/picture/PngImage.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "scene3d/scene/texture/picture/Bitmap.h"

namespace gl3d {

namespace {

const char* const kInvalidPng = "PNG image is not valid";

// deflate cannot shrink data by more than about 1032 to 1: rows that could not fit in the bytes
// left in the stream at that ratio mean a damaged file, and nothing is allocated for them.
constexpr int64_t kMaxDeflateRatio = 1032;
// Limits a real picture stays within: no chunk (nor a compressed chunk's text) beyond 8 MiB, no
// more than this many ancillary chunks, and no block of libpng's own beyond 16 MiB (a row of the
// widest picture libpng accepts at 8 bytes a pixel fits). libpng trusts the length of some chunks
// and allocates it before reading a byte of them; a refused block ends the read as an error.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(8) << 20;
constexpr png_uint_32 kMaxAncillaryChunks = 1000;
constexpr png_alloc_size_t kMaxBlockBytes = png_alloc_size_t(16) << 20;

png_voidp LimitedMalloc(png_structp, png_alloc_size_t size) {
  return size <= kMaxBlockBytes ? std::malloc(size) : nullptr;
}
void LimitedFree(png_structp, png_voidp p) { std::free(p); }

struct ReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TStream* stream = nullptr;
  bool ok = false;
  TPngHeader header;
  std::vector<uint8_t> rgba;  // the whole picture, 4 bytes a pixel
  std::vector<png_bytep> rows;
};

void ReadData(png_structp png, png_bytep data, size_t length) {
  auto* st = static_cast<ReadState*>(png_get_io_ptr(png));
  int64_t got = -1;
  try {
    got = st->stream->Read(data, static_cast<int64_t>(length));
  } catch (...) {
    got = -1;
  }
  if (got != static_cast<int64_t>(length)) png_error(png, "Read Error");
}

void ReadError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

// Asks libpng for 8-bit RGBA rows whatever the file holds (the alpha byte is 255 where the file has
// no transparency), and checks the sizes before anything is allocated.
bool PrepareRows(ReadState* st) {
  png_structp png = st->png;
  png_infop info = st->info;
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  const int64_t fileRowBytes = (static_cast<int64_t>(width) * bitDepth * png_get_channels(png, info) + 7) / 8;
  const int64_t left = st->stream->Size() - st->stream->Position();
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
      (fileRowBytes + 1) * static_cast<int64_t>(height) / kMaxDeflateRatio > left)
    return false;
  st->header = TPngHeader{static_cast<int32_t>(width), static_cast<int32_t>(height),
                          static_cast<uint8_t>(bitDepth), static_cast<uint8_t>(colorType)};

  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (bitDepth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_channels(png, info) != 4 || png_get_bit_depth(png, info) != 8) return false;

  const size_t rowBytes = static_cast<size_t>(width) * 4;
  st->rgba.resize(rowBytes * height);
  st->rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) st->rows[y] = st->rgba.data() + rowBytes * y;
  return true;
}

// Everything between png_create_read_struct and the end chunk. No object with a destructor lives in
// this frame: a libpng error jumps back to the setjmp below.
void ReadInner(ReadState* st) {
  st->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, ReadError, IgnoreWarning, nullptr,
                                     LimitedMalloc, LimitedFree);
  if (!st->png) return;
  st->info = png_create_info_struct(st->png);
  if (!st->info) return;
  if (setjmp(png_jmpbuf(st->png))) return;
  png_set_read_fn(st->png, st, ReadData);
  png_set_sig_bytes(st->png, 8);  // the caller checked and consumed the signature
  png_set_chunk_malloc_max(st->png, kMaxChunkBytes);
  png_set_chunk_cache_max(st->png, kMaxAncillaryChunks);
  png_read_info(st->png, st->info);
  if (!PrepareRows(st)) return;
  png_read_image(st->png, st->rows.data());
  png_read_end(st->png, nullptr);
  st->ok = true;
}

}  // namespace

const uint8_t* TPngImage::ScanLine(int32_t row) const {
  if (row < 0 || row >= header_.Height) throw EInvalidGraphic("Scan line index out of range");
  return colour_.data() + static_cast<size_t>(row) * static_cast<size_t>(header_.Width) * 3;
}

const uint8_t* TPngImage::AlphaScanline(int32_t row) const {
  if (alpha_.empty() || row < 0 || row >= header_.Height) return nullptr;
  return alpha_.data() + static_cast<size_t>(row) * static_cast<size_t>(header_.Width);
}

TColor TPngImage::Pixels(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= header_.Width || y >= header_.Height) return 0;
  const uint8_t* p = ScanLine(y) + 3 * static_cast<size_t>(x);
  return static_cast<TColor>(p[2] | (p[1] << 8) | (p[0] << 16));
}

void TPngImage::Assign(const TPersistent* source) {
  if (source == nullptr) {
    header_ = TPngHeader{};
    colour_.clear();
    alpha_.clear();
    Changed();
    return;
  }
  if (const auto* png = dynamic_cast<const TPngImage*>(source)) {
    if (png != this) {
      header_ = png->header_;
      colour_ = png->colour_;
      alpha_ = png->alpha_;
      Changed();
    }
    return;
  }
  TGraphic::Assign(source);
}

void TPngImage::LoadFromStream(TStream& stream) {
  uint8_t signature[8];
  if (stream.Read(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) throw EInvalidGraphic(kInvalidPng);
  ReadState st;
  st.stream = &stream;
  ReadInner(&st);
  png_destroy_read_struct(st.png ? &st.png : nullptr, st.info ? &st.info : nullptr, nullptr);
  if (!st.ok) throw EInvalidGraphic(kInvalidPng);

  const size_t count = static_cast<size_t>(st.header.Width) * static_cast<size_t>(st.header.Height);
  const bool hasAlpha = st.header.ColorType == COLOR_GRAYSCALEALPHA || st.header.ColorType == COLOR_RGBALPHA;
  std::vector<uint8_t> colour(count * 3);
  std::vector<uint8_t> alpha(hasAlpha ? count : 0);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = &st.rgba[4 * i];
    colour[3 * i] = p[2];
    colour[3 * i + 1] = p[1];
    colour[3 * i + 2] = p[0];
    if (hasAlpha) alpha[i] = p[3];
  }
  header_ = st.header;
  colour_ = std::move(colour);
  alpha_ = std::move(alpha);
  Changed();
}

void TPngImage::SaveToStream(TStream&) const { throw EInvalidGraphic("Cannot save a PNG image"); }

void TPngImage::StretchDraw(TBitmap& target, int32_t left, int32_t top, int32_t width, int32_t height) const {
  if (Empty() || width <= 0 || height <= 0) return;
  const int out = target.BytesPerPixel();
  const int32_t y0 = std::max(top, 0);
  const int32_t y1 =
      static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(top) + height, target.Height()));
  const int32_t x0 = std::max(left, 0);
  const int32_t x1 =
      static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(left) + width, target.Width()));
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y - top) * header_.Height / height);
    const uint8_t* src = ScanLine(sy);
    const uint8_t* srcAlpha = AlphaScanline(sy);
    uint8_t* dst = target.ScanLine(y);
    for (int32_t x = x0; x < x1; ++x) {
      const size_t sx = static_cast<size_t>(static_cast<int64_t>(x - left) * header_.Width / width);
      const int a = srcAlpha ? srcAlpha[sx] : 255;
      uint8_t* d = dst + out * x;
      for (int c = 0; c < 3; ++c)
        d[c] = static_cast<uint8_t>((src[3 * sx + c] * a + d[c] * (255 - a) + 127) / 255);
      if (out == 4) d[3] = 255;
    }
  }
}

void TPngImage::AssignTo(TPersistent* dest) const {
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (!bitmap) return TGraphic::AssignTo(dest);
  const bool hasAlpha = !alpha_.empty();
  const TPixelFormat format = hasAlpha ? pf32bit : pf24bit;
  const int step = hasAlpha ? 4 : 3;
  const size_t stride = (static_cast<size_t>(header_.Width) * step + 3) & ~static_cast<size_t>(3);
  std::vector<uint8_t> pixels(stride * static_cast<size_t>(header_.Height), 0);
  for (int32_t y = 0; y < header_.Height; ++y) {
    const uint8_t* in = ScanLine(y);
    const uint8_t* a = AlphaScanline(y);
    uint8_t* out = pixels.data() + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < header_.Width; ++x) {
      std::memcpy(out + step * x, in + 3 * x, 3);
      if (hasAlpha) out[4 * x + 3] = a[x];
    }
  }
  bitmap->Adopt(header_.Width, header_.Height, format, true, std::move(pixels));
}

}  // namespace gl3d

// The PNG reader and the signature test. libpng reports errors by longjmp back into the
// function that called setjmp; no C++ exception ever crosses libpng's frames, and that function
// keeps its state in a record owned by its caller, so the jump skips no destructor.
#include "rastova/codecs/png/pngfilt.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "common/CodePage.h"
#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

// deflate cannot shrink data by more than about 1032 to 1: a stream holding fewer compressed
// bytes than the pixels need at that ratio is damaged, and nothing is allocated for it.
constexpr int64_t kMaxDeflateRatio = 1032;
// What the reader lets libpng accept: sides, one chunk's bytes, stored ancillary chunks, and
// one block of memory (a row of the widest picture at 8 bytes a pixel, or a chunk, fits in it).
constexpr png_uint_32 kMaxSide = 1000000;
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(8) << 20;
constexpr png_uint_32 kMaxAncillaryChunks = 1000;
constexpr png_alloc_size_t kMaxBlockBytes = png_alloc_size_t(16) << 20;

// libpng trusts the length of some chunks (text among them) and allocates it before reading
// a byte of them; a request beyond any real picture's needs is refused, which libpng reports
// as an error of the chunk.
png_voidp LimitedMalloc(png_structp, png_alloc_size_t size) {
  return size <= kMaxBlockBytes ? std::malloc(size) : nullptr;
}
void LimitedFree(png_structp, png_voidp p) { std::free(p); }

struct ReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TStream* stream = nullptr;
  std::atomic<bool>* aborting = nullptr;
  std::vector<uint8_t> work;    // 4-channel rows (the whole image when interlaced)
  std::vector<uint8_t> packed;  // 1-bit palette rows (the whole image when interlaced)
};

void ReadData(png_structp png, png_bytep data, size_t length) {
  auto* st = static_cast<ReadState*>(png_get_io_ptr(png));
  int64_t got = -1;
  try {
    got = st->stream->Read(data, static_cast<int64_t>(length));
  } catch (const std::exception&) {
    got = -1;
  }
  if (got != static_cast<int64_t>(length)) png_error(png, "Read Error");
}

void ReadError(png_structp png, png_const_charp) {
  auto* aborting = static_cast<std::atomic<bool>*>(png_get_error_ptr(png));
  if (aborting) aborting->store(true);
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Everything between png_create_read_struct and the end of the rows. No object with a destructor
// lives in this frame: a libpng error jumps back to the setjmp below.
void ReadInner(ReadState* st, TRVBitmap* bitmap, TIOParamsVals* params, bool paramsOnly, TRVProgressRec* progress) {
  st->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, st->aborting, ReadError, IgnoreWarning, nullptr,
                                     LimitedMalloc, LimitedFree);
  if (!st->png) {
    progress->SetAborting();
    return;
  }
  st->info = png_create_info_struct(st->png);
  if (!st->info) {
    progress->SetAborting();
    return;
  }
  if (setjmp(png_jmpbuf(st->png))) {
    progress->SetAborting();
    return;
  }
  png_structp png = st->png;
  png_infop info = st->info;
  png_set_read_fn(png, st, ReadData);
  // Limits a real picture stays within: no chunk (nor a compressed chunk's text) beyond 8 MiB.
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_set_chunk_cache_max(png, kMaxAncillaryChunks);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);

  // Text chunks.
  params->PNG_TextKeys.clear();
  params->PNG_TextValues.clear();
  png_textp texts = nullptr;
  const int textCount = png_get_text(png, info, &texts, nullptr);
  for (int i = 0; i < textCount; ++i) {
    params->PNG_TextKeys.push_back(common::Cp1252ToUtf8(texts[i].key ? texts[i].key : ""));
    params->PNG_TextValues.push_back(
        common::Cp1252ToUtf8(std::string_view(texts[i].text ? texts[i].text : "", texts[i].text ? texts[i].text_length : 0)));
  }

  // Background: the chunk holds values of the image's own depth.
  png_color_16p background = nullptr;
  if (png_get_bKGD(png, info, &background) && background) {
    auto scale = [&](uint32_t v) -> uint8_t {
      if (colorType == PNG_COLOR_TYPE_PALETTE || bitDepth == 8) return uint8_t(v);
      if (bitDepth == 16) return uint8_t(v >> 8);
      return uint8_t(v * 255 / ((1u << bitDepth) - 1));
    };
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
      const uint8_t g = scale(background->gray);
      params->PNG_Background = MakeRGB(g, g, g);
    } else {
      params->PNG_Background = MakeRGB(scale(background->red), scale(background->green), scale(background->blue));
    }
  }

  const bool grey = colorType == PNG_COLOR_TYPE_GRAY;
  const bool palette = colorType == PNG_COLOR_TYPE_PALETTE;
  const bool native = params->NativePixelFormat && (bitDepth == 8 || bitDepth == 16) && (grey || palette);
  if (native) {
    if (bitDepth == 16) png_set_swap(png);
  } else {
    if (palette && bitDepth >= 2) png_set_expand(png);
    if (grey && (bitDepth == 2 || bitDepth == 4)) png_set_expand_gray_1_2_4_to_8(png);
    if (bitDepth == 16) png_set_strip_16(png);
    if (bitDepth == 2 || bitDepth == 4) png_set_packing(png);
    if ((grey || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) && bitDepth > 1) png_set_gray_to_rgb(png);
    if (bitDepth > 1) {
      png_set_bgr(png);
      // Transparency becomes alpha; without a tRNS chunk there is nothing to expand.
      if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    }
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  params->SetImageCount(1);
  params->Width = params->StoredWidth = static_cast<int32_t>(width);
  params->Height = params->StoredHeight = static_cast<int32_t>(height);
  params->BitsPerSample = bitDepth;
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB: params->SamplesPerPixel = 3; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: params->SamplesPerPixel = 2; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: params->SamplesPerPixel = 4; break;
    default: params->SamplesPerPixel = 1; break;
  }
  const int32_t dpiX = common::RoundInt(png_get_x_pixels_per_meter(png, info) / 100.0L * 2.54L);
  const int32_t dpiY = common::RoundInt(png_get_y_pixels_per_meter(png, info) / 100.0L * 2.54L);
  params->SetDpiX(dpiX != 0 ? dpiX : DefaultDpiX);
  params->SetDpiY(dpiY != 0 ? dpiY : DefaultDpiY);
  params->FreeColorMap();
  png_colorp plte = nullptr;
  int plteCount = 0;
  if (palette && png_get_PLTE(png, info, &plte, &plteCount) && plteCount > 0) {
    params->SetColorMapCount(plteCount);
    for (int i = 0; i < plteCount; ++i) params->ColorMap[size_t(i)] = MakeRGB(plte[i].red, plte[i].green, plte[i].blue);
  }
  params->PNG_Interlaced = interlace != PNG_INTERLACE_NONE;
  if (paramsOnly) return;

  const int64_t w = width, h = height;
  const int64_t fileRowBytes = (w * bitDepth * png_get_channels(png, info) + 7) / 8;
  if (w * h > kMaxPixelCount || (fileRowBytes + 1) * h / kMaxDeflateRatio > BytesLeft(*st->stream)) {
    progress->SetAborting();
    return;
  }
  TRVPixelFormat format = rv24RGB;
  if (bitDepth == 1 && !palette) format = rv1g;
  else if (native && palette) format = rv8p;
  else if (native && bitDepth == 8) format = rv8g;
  else if (native) format = rv16g;
  if (!bitmap->Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), format)) {
    progress->SetAborting();
    return;
  }
  if (format == rv8p) {
    for (int i = 0; i < 256; ++i)
      bitmap->SetPalette(i, i < params->ColorMapCount ? params->ColorMap[size_t(i)] : TRGB{});
  }
  const int channels = png_get_channels(png, info);
  TRVBitmap* alpha = nullptr;
  if (channels == 4) {
    alpha = bitmap->AlphaBitmap();
    alpha->Full = false;
    st->work.assign(static_cast<size_t>(interlace != PNG_INTERLACE_NONE ? w * h * 4 : w * 4), 0);
  }
  const bool onePalette = bitDepth == 1 && palette;
  const int64_t packedRow = w / 8 + 1;
  if (onePalette) st->packed.assign(static_cast<size_t>(interlace != PNG_INTERLACE_NONE ? packedRow * h : packedRow), 0);
  const TRGB c0 = params->ColorMapCount > 0 ? params->ColorMap[0] : TRGB{};
  const TRGB c1 = params->ColorMapCount > 1 ? params->ColorMap[1] : TRGB{};

  StartProgress(*progress, h * passes);
  for (int pass = 0; pass < passes; ++pass) {
    progress->Extra = -1;
    for (int64_t y = 0; y < h && !progress->IsAborting(); ++y) {
      uint8_t* row = bitmap->GetScanLine(static_cast<int32_t>(y));
      if (channels == 4) {
        uint8_t* wrk = st->work.data() + (interlace != PNG_INTERLACE_NONE ? y * w * 4 : 0);
        png_read_row(png, wrk, nullptr);
        uint8_t* a = alpha->GetScanLine(static_cast<int32_t>(y));
        row = bitmap->GetScanLine(static_cast<int32_t>(y));
        for (int64_t x = 0; x < w; ++x) {
          std::memcpy(row + 3 * x, wrk + 4 * x, 3);
          a[x] = wrk[4 * x + 3];
        }
      } else if (onePalette) {
        uint8_t* p = st->packed.data() + (interlace != PNG_INTERLACE_NONE ? y * packedRow : 0);
        png_read_row(png, p, nullptr);
        for (int64_t x = 0; x < w; ++x) std::memcpy(row + 3 * x, GetBufferBit(p, x) ? &c1 : &c0, 3);
      } else {
        png_read_row(png, row, nullptr);
      }
      StepProgress(*progress, true);
    }
  }
  if (!progress->IsAborting()) png_read_end(png, nullptr);
}

}  // namespace

bool IsPNGStream(TStream& stream) {
  try {
    const int64_t pos = stream.GetPosition();
    uint8_t sig[8] = {};
    const int64_t n = stream.Read(sig, 8);
    stream.SetPosition(pos);
    return n >= 4 && png_sig_cmp(sig, 0, 4) == 0;
  } catch (const std::exception&) {
    return false;
  }
}

void ReadPNGStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TRVProgressRec& progress) {
  ReadState st;
  st.stream = &stream;
  st.aborting = progress.Aborting;
  try {
    ReadInner(&st, &bitmap, &params, paramsOnly, &progress);
  } catch (const std::exception&) {
    // A failed allocation or a stream error outside libpng's frames.
    progress.SetAborting();
  }
  if (st.png) png_destroy_read_struct(&st.png, st.info ? &st.info : nullptr, nullptr);
}

}  // namespace rv

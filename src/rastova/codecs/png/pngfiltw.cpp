// The PNG writer. libpng reports errors by longjmp back into the function that called setjmp;
// no C++ exception crosses libpng's frames, and the state lives in a record owned by the caller.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "common/CodePage.h"
#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/codecs/png/pngfilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

enum class Kind { Grey1, Grey, Palette, Rgb, Rgba };

struct WriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TStream* stream = nullptr;
  TRVProgressRec* progress = nullptr;
  bool libraryError = false;
  // What the rows are built from.
  TRVBitmap* source = nullptr;
  TRVBitmap indices;                       // quantizer's indices of a 24-bit source
  bool haveIndices = false;
  TRVMask* mask = nullptr;
  Kind kind = Kind::Rgb;
  int bitDepth = 8;
  std::vector<png_color> plte;
  std::vector<uint8_t> row;
  std::vector<std::string> keys, values;   // Windows-1252 copies of the texts
  std::vector<png_text> texts;
  uint8_t backgroundIndex = 0;
};

void WriteData(png_structp png, png_bytep data, size_t length) {
  auto* st = static_cast<WriteState*>(png_get_io_ptr(png));
  // A short write is recorded and the row loop stops; libpng itself goes on normally.
  if (!st->progress->IsAborting()) WriteChecked(*st->stream, *st->progress, data, static_cast<int64_t>(length));
}

void FlushData(png_structp) {}

void WriteError(png_structp png, png_const_charp) {
  auto* st = static_cast<WriteState*>(png_get_error_ptr(png));
  st->libraryError = true;
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Builds row y of the output in st->row (or returns the bitmap's row itself).
const uint8_t* BuildRow(WriteState* st, int32_t y) {
  TRVBitmap& src = *st->source;
  const int32_t w = src.GetWidth();
  uint8_t* out = st->row.data();
  switch (st->kind) {
    case Kind::Grey1:
    case Kind::Rgb:
      return src.GetScanLine(y);
    case Kind::Rgba: {
      const uint8_t* s = src.GetScanLine(y);
      const uint8_t* a = y < st->mask->Height() ? st->mask->GetScanLine(y) : nullptr;
      const int32_t aw = st->mask->Width();
      for (int32_t x = 0; x < w; ++x) {
        std::memcpy(out + 4 * x, s + 3 * x, 3);
        out[4 * x + 3] = (a && x < aw) ? a[x] : 255;
      }
      return out;
    }
    case Kind::Palette: {
      const uint8_t* ix = st->haveIndices ? st->indices.GetScanLine(y) : src.GetScanLine(y);
      if (!st->mask) return ix;
      const uint8_t* a = y < st->mask->Height() ? st->mask->GetScanLine(y) : nullptr;
      const int32_t aw = st->mask->Width();
      for (int32_t x = 0; x < w; ++x) {
        const bool opaque = a && x < aw && a[x] == 255;
        out[x] = opaque ? static_cast<uint8_t>(std::min(ix[x] + 1, 255)) : 0;
      }
      return out;
    }
    case Kind::Grey: {
      const TRVPixelFormat f = src.GetPixelFormat();
      const uint8_t* s = src.GetScanLine(y);
      if (st->bitDepth == 8) {
        if (f == rv8g) return s;
        if (f == rv16g)
          for (int32_t x = 0; x < w; ++x) out[x] = s[2 * x + 1];
        else
          for (int32_t x = 0; x < w; ++x) out[x] = s[3 * x + 2];  // a grey 24-bit pixel: any channel
        return out;
      }
      // 16 bits, most significant byte first.
      for (int32_t x = 0; x < w; ++x) {
        if (f == rv16g) {
          out[2 * x] = s[2 * x + 1];
          out[2 * x + 1] = s[2 * x];
        } else {
          out[2 * x] = f == rv8g ? s[x] : s[3 * x + 2];
          out[2 * x + 1] = 0;
        }
      }
      return out;
    }
  }
  return out;
}

void WriteInner(WriteState* st, TIOParamsVals* params) {
  st->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, st, WriteError, IgnoreWarning);
  if (!st->png) {
    st->libraryError = true;
    return;
  }
  st->info = png_create_info_struct(st->png);
  if (!st->info) {
    st->libraryError = true;
    return;
  }
  if (setjmp(png_jmpbuf(st->png))) return;
  png_structp png = st->png;
  png_infop info = st->info;
  png_set_write_fn(png, st, WriteData, FlushData);

  const int32_t w = st->source->GetWidth(), h = st->source->GetHeight();
  int colorType = PNG_COLOR_TYPE_RGB;
  switch (st->kind) {
    case Kind::Grey1:
    case Kind::Grey: colorType = PNG_COLOR_TYPE_GRAY; break;
    case Kind::Palette: colorType = PNG_COLOR_TYPE_PALETTE; break;
    case Kind::Rgb: colorType = PNG_COLOR_TYPE_RGB; break;
    case Kind::Rgba: colorType = PNG_COLOR_TYPE_RGB_ALPHA; break;
  }
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), st->bitDepth, colorType,
               params->PNG_Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  const png_uint_32 ppmX = static_cast<png_uint_32>(std::max<int64_t>(0, common::Round(params->DpiX * 100 / 2.54L)));
  const png_uint_32 ppmY = static_cast<png_uint_32>(std::max<int64_t>(0, common::Round(params->DpiY * 100 / 2.54L)));
  png_set_pHYs(png, info, ppmX, ppmY, PNG_RESOLUTION_METER);
  switch (params->PNG_Filter) {
    case 0: png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE); break;
    case 1: png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB); break;
    case 2: png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH); break;
    default: break;
  }
  if (st->kind == Kind::Palette) {
    png_set_PLTE(png, info, st->plte.data(), static_cast<int>(st->plte.size()));
    if (st->mask) {
      png_byte trans = 0;
      png_set_tRNS(png, info, &trans, 1, nullptr);
    }
  }
  // Background in the image's own depth.
  png_color_16 bg{};
  const TRGB b = params->PNG_Background;
  if (st->kind == Kind::Palette) {
    bg.index = st->backgroundIndex;
  } else if (st->kind == Kind::Grey || st->kind == Kind::Grey1) {
    const int g = RGBToGrayLevel(PackRGB(b));
    bg.gray = static_cast<png_uint_16>(st->bitDepth == 16 ? g * 257 : (st->bitDepth == 1 ? g >> 7 : g));
  } else {
    bg.red = b.r;
    bg.green = b.g;
    bg.blue = b.b;
  }
  png_set_bKGD(png, info, &bg);
  png_set_compression_level(png, std::clamp(params->PNG_Compression, 0, 9));
  if (st->kind == Kind::Rgb || st->kind == Kind::Rgba) png_set_bgr(png);
  if (!st->texts.empty()) png_set_text(png, info, st->texts.data(), static_cast<int>(st->texts.size()));
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  TRVProgressRec& progress = *st->progress;
  StartProgress(progress, int64_t(h) * passes);
  for (int pass = 0; pass < passes && !progress.IsAborting(); ++pass)
    for (int32_t y = 0; y < h && !progress.IsAborting(); ++y) {
      png_write_row(png, BuildRow(st, y));
      StepProgress(progress);
    }
  if (!progress.IsAborting()) png_write_end(png, info);
}

}  // namespace

void WritePNGStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alphaMask,
                    TRVProgressRec& progress) {
  WriteState st;
  st.stream = &stream;
  st.progress = &progress;
  if (params.SamplesPerPixel == 1 && params.BitsPerSample != 1 && params.BitsPerSample != 8 &&
      params.BitsPerSample != 16)
    params.BitsPerSample = 8;

  // The source in a form the rows can be built from.
  std::unique_ptr<TRVBitmap> copy;
  TRVBitmap* src = &bitmap;
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  const bool oneSample = params.SamplesPerPixel == 1;
  if (oneSample && params.BitsPerSample == 1) {
    if (f != rv1g) {
      TRGB c0, c1;
      copy = TwoColorBitmapTo1Bit(bitmap, c0, c1);
      if (!copy) copy = ConvertedCopy(bitmap, rv1g);
    }
  } else if (oneSample ? (f != rv8p && f != rv8g && f != rv16g && f != rv24RGB) : f != rv24RGB) {
    copy = ConvertedCopy(bitmap, rv24RGB);
  }
  if (copy) src = copy.get();
  if (src->IsEmpty() || src->GetWidth() <= 0 || src->GetHeight() <= 0) throw EInvalidGraphic("Error on creating PNG");
  st.source = src;
  const bool alpha = alphaMask && !alphaMask->Full && alphaMask->BitsPerPixel() == 8;
  st.mask = alpha ? alphaMask : nullptr;
  const TRVPixelFormat sf = src->GetPixelFormat();
  const int32_t w = src->GetWidth();

  if (sf == rv1g) {
    st.kind = Kind::Grey1;
    st.bitDepth = 1;
  } else if (oneSample) {
    st.bitDepth = alpha ? 8 : params.BitsPerSample;
    const bool grey = !alpha && (sf == rv8g || sf == rv16g || (sf == rv24RGB && src->HasOnlyGrays()));
    if (grey) {
      st.kind = Kind::Grey;
    } else {
      st.kind = Kind::Palette;
      const int32_t colors = alpha ? std::min(1 << std::min(st.bitDepth, 8), 255) : 256;
      std::vector<TRGB> pal;
      if (sf == rv8p) {
        for (int32_t i = 0; i < colors; ++i) pal.push_back(src->GetPalette(i));
      } else if (sf == rv24RGB) {
        if (!ReduceToPalette(*src, colors, st.indices, pal)) throw EInvalidGraphic("Error on creating PNG");
        st.haveIndices = true;
      } else {
        // A grey source with alpha: its grey levels are the palette.
        copy = ConvertedCopy(*src, rv24RGB);
        if (!copy || !ReduceToPalette(*copy, colors, st.indices, pal)) throw EInvalidGraphic("Error on creating PNG");
        st.source = src = copy.get();
        st.haveIndices = true;
      }
      if (alpha) {
        st.plte.push_back(png_color{params.PNG_Background.r, params.PNG_Background.g, params.PNG_Background.b});
        st.backgroundIndex = 0;
      }
      for (const TRGB& c : pal) st.plte.push_back(png_color{c.r, c.g, c.b});
      st.plte.resize(256, png_color{0, 0, 0});
      if (!alpha) {
        st.backgroundIndex = static_cast<uint8_t>(
            NearestPaletteIndex(pal.data(), static_cast<int32_t>(pal.size()), params.PNG_Background));
      }
    }
  } else {
    st.kind = alpha ? Kind::Rgba : Kind::Rgb;
    st.bitDepth = 8;
  }
  st.row.assign(static_cast<size_t>(w) * 4 + 16, 0);
  const size_t n = std::min(params.PNG_TextKeys.size(), params.PNG_TextValues.size());
  for (size_t i = 0; i < n; ++i) {
    st.keys.push_back(common::Utf8ToCp1252(params.PNG_TextKeys[i]));
    st.values.push_back(common::Utf8ToCp1252(params.PNG_TextValues[i]));
  }
  for (size_t i = 0; i < n; ++i) {
    png_text t{};
    t.compression = PNG_TEXT_COMPRESSION_NONE;
    t.key = st.keys[i].data();
    t.text = st.values[i].data();
    t.text_length = st.values[i].size();
    st.texts.push_back(t);
  }

  try {
    WriteInner(&st, &params);
  } catch (...) {
    // An error of our own between libpng's calls (a row that cannot be mapped).
    if (st.png) png_destroy_write_struct(&st.png, st.info ? &st.info : nullptr);
    throw;
  }
  if (st.png) png_destroy_write_struct(&st.png, st.info ? &st.info : nullptr);
  if (st.libraryError) throw EInvalidGraphic("Error on creating PNG");
}

}  // namespace rv

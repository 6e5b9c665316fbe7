// Resampling and mipmap chains of the ImageUtils unit: a separable two-pass filter (rows, then
// columns) over working pixels, with one contributor list per output column or row.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "common/Round.h"
#include "scene3d/scene/texture/ImageUtils.h"
#include "scene3d/scene/texture/ImageUtilsInternal.h"

namespace gl3d {

using namespace image_utils_detail;

float TentFilterKernel(float x) {
  const float a = std::fabs(x);
  return a < 1.0f ? 1.0f - a : 0.0f;
}

float Lanczos3FilterKernel(float x) {
  if (x == 0.0f) return 1.0f;
  const float a = std::fabs(x);
  if (a >= 3.0f) return 0.0f;
  const long double t = static_cast<float>(a * std::numbers::pi_v<long double>);
  return static_cast<float>(std::sin(t) * 3.0L * std::sin(t / 3.0L) / (t * t));
}

namespace {

struct Contributor {
  int32_t Index;
  float Weight;
};

// One list per output index, stored back to back: list i is Items[First[i] .. First[i + 1]).
struct ContributorLists {
  std::vector<size_t> First;
  std::vector<Contributor> Items;
};

// A source index brought into 0 .. extent - 1: reflected once at the edges, then clamped, since a
// wide kernel on a small extent reaches past the reflection.
int32_t ReflectIndex(int64_t j, int32_t extent) {
  if (j < 0)
    j = -j;
  else if (j >= extent)
    j = std::max<int64_t>(2 * static_cast<int64_t>(extent) - j - 1, 0);
  return static_cast<int32_t>(std::min<int64_t>(j, extent - 1));
}

// Lists for `outputs` output indices at `scale` (output extent per source extent). Weights that are
// exactly 0 are skipped; the others are kept in increasing source order, not normalised.
ContributorLists BuildContributors(int32_t outputs, float scale, TImageFilterFunction kernel,
                                   int32_t extent) {
  ContributorLists lists;
  lists.First.reserve(static_cast<size_t>(outputs) + 1);
  const bool shrink = scale < 1.0f;
  const float f = shrink ? 1.0f / scale : 1.0f;
  const float halfWidth =
      shrink ? static_cast<float>(FilterSupport) / scale : static_cast<float>(FilterSupport);
  for (int32_t i = 0; i < outputs; ++i) {
    lists.First.push_back(lists.Items.size());
    const float center = static_cast<float>(i) / scale;
    const int64_t lo = common::Floor(center - halfWidth);
    const int64_t hi = common::Ceil(center + halfWidth);
    for (int64_t j = lo; j <= hi; ++j) {
      const float d = center - static_cast<float>(j);
      const float weight = shrink ? kernel(d / f) / f : kernel(d);
      if (weight == 0.0f) continue;
      lists.Items.push_back(Contributor{ReflectIndex(j, extent), weight});
    }
  }
  lists.First.push_back(lists.Items.size());
  return lists;
}

// Horizontal pass: each of `rows` rows of `source` (sourceWidth wide) into `dest` (lists' width).
void ApplyToRows(const ContributorLists& lists, const TWorkPixel* source, int32_t sourceWidth, int32_t rows,
                 TWorkPixel* dest) {
  const size_t width = lists.First.size() - 1;
  for (int32_t y = 0; y < rows; ++y) {
    const TWorkPixel* in = source + static_cast<size_t>(y) * static_cast<size_t>(sourceWidth);
    TWorkPixel* out = dest + static_cast<size_t>(y) * width;
    for (size_t x = 0; x < width; ++x) {
      TWorkPixel sum{0, 0, 0, 0};
      for (size_t k = lists.First[x]; k < lists.First[x + 1]; ++k) {
        const Contributor& c = lists.Items[k];
        const TWorkPixel& p = in[c.Index];
        sum.R += c.Weight * p.R;
        sum.G += c.Weight * p.G;
        sum.B += c.Weight * p.B;
        sum.A += c.Weight * p.A;
      }
      out[x] = sum;
    }
  }
}

// Vertical pass: output row first + r goes to row r of `dest` and sums the source rows of list
// first + r (each pixel adds its contributors in list order, as the horizontal pass does); `count`
// rows, all of them by default.
void ApplyToColumns(const ContributorLists& lists, const TWorkPixel* source, int32_t width, TWorkPixel* dest,
                    size_t first = 0, size_t count = SIZE_MAX) {
  const size_t rows = std::min(lists.First.size() - 1, first + std::min(count, lists.First.size()));
  const size_t w = static_cast<size_t>(width);
  for (size_t i = first; i < rows; ++i) {
    TWorkPixel* out = dest + (i - first) * w;
    std::fill(out, out + w, TWorkPixel{0, 0, 0, 0});
    for (size_t k = lists.First[i]; k < lists.First[i + 1]; ++k) {
      const Contributor& c = lists.Items[k];
      const TWorkPixel* in = source + static_cast<size_t>(c.Index) * w;
      for (size_t x = 0; x < w; ++x) {
        out[x].R += c.Weight * in[x].R;
        out[x].G += c.Weight * in[x].G;
        out[x].B += c.Weight * in[x].B;
        out[x].A += c.Weight * in[x].A;
      }
    }
  }
}

// (destination - 1) / (source - 1); destination / source when either extent is 1, so that the
// scale is never 0.
float ResampleScale(int32_t destination, int32_t source) {
  if (source == 1 || destination == 1) return static_cast<float>(destination) / static_cast<float>(source);
  return static_cast<float>(destination - 1) / static_cast<float>(source - 1);
}

// The next mipmap level's extent and scale: half the extent (never below 1), and the scale
// (next - 1) / (extent - 1) (next / extent for an extent of 1), never below 0.25.
int32_t HalfExtent(int32_t extent, float& scale) {
  int32_t next = extent / 2;
  if (next == 0) next = 1;
  const long double s = extent == 1 ? static_cast<long double>(next) / extent
                                    : static_cast<long double>(next - 1) / (extent - 1);
  scale = static_cast<float>(std::max(0.25L, s));
  return next;
}

// ResamplePixels for blocks that do not overlap, in a layout whose rows can be addressed: the
// source is read and filtered along its rows a strip of rows at a time, and the result is filtered
// down the columns and written a strip at a time. Only the block between the passes is whole, so
// the call touches one large block instead of three; every value is summed in the same order as
// through whole arrays, so the result is the same. A layout the reader refuses fails on the first
// strip, one the writer refuses on the first written strip, before anything is written.
void ResampleByStrips(const void* source, void* destination, uint32_t colorFormat, TPixelReader reader,
                      TPixelWriter writer, int64_t pixelBytes, TImageFilterFunction kernel,
                      int32_t sourceWidth, int32_t sourceHeight, int32_t destinationWidth,
                      int32_t destinationHeight) {
  const int32_t inRows = StripRows(sourceWidth), outRows = StripRows(destinationWidth);
  std::unique_ptr<TWorkPixel[]> strip =
      AllocateWork(std::max<int64_t>(static_cast<int64_t>(sourceWidth) * inRows,
                                     static_cast<int64_t>(destinationWidth) * outRows),
                   1);
  std::unique_ptr<TWorkPixel[]> between = AllocateWork(destinationWidth, sourceHeight);
  {
    const ContributorLists columns = BuildContributors(
        destinationWidth, ResampleScale(destinationWidth, sourceWidth), kernel, sourceWidth);
    const auto* in = static_cast<const uint8_t*>(source);
    for (int32_t y = 0; y < sourceHeight; y += inRows) {
      const int32_t n = std::min(inRows, sourceHeight - y);
      reader(in + pixelBytes * sourceWidth * y, strip.get(), colorFormat, sourceWidth, n);
      ApplyToRows(columns, strip.get(), sourceWidth, n,
                  between.get() + static_cast<size_t>(destinationWidth) * static_cast<size_t>(y));
    }
  }
  const ContributorLists rows = BuildContributors(
      destinationHeight, ResampleScale(destinationHeight, sourceHeight), kernel, sourceHeight);
  auto* out = static_cast<uint8_t*>(destination);
  for (int32_t y = 0; y < destinationHeight; y += outRows) {
    const int32_t n = std::min(outRows, destinationHeight - y);
    ApplyToColumns(rows, between.get(), destinationWidth, strip.get(), static_cast<size_t>(y),
                   static_cast<size_t>(n));
    writer(strip.get(), out + pixelBytes * destinationWidth * y, colorFormat, destinationWidth, n);
  }
}

}  // namespace

void ResamplePixels(const void* source, void* destination, uint32_t colorFormat, uint32_t dataType,
                    TImageFilterFunction kernel, int32_t sourceWidth, int32_t sourceHeight,
                    int32_t destinationWidth, int32_t destinationHeight) {
  if (sourceWidth < 1 || destinationWidth < 1) return;
  if (sourceHeight < 1) sourceHeight = 1;
  if (destinationHeight < 1) destinationHeight = 1;
  const TPixelReader reader = ReaderFor(dataType);
  const TPixelWriter writer = WriterFor(dataType);
  const int64_t pixelBytes = PixelBytes(colorFormat, dataType);
  if (pixelBytes > 0 && BlocksApart(source, pixelBytes * sourceWidth * sourceHeight, destination,
                                    pixelBytes * destinationWidth * destinationHeight)) {
    ResampleByStrips(source, destination, colorFormat, reader, writer, pixelBytes, kernel, sourceWidth,
                     sourceHeight, destinationWidth, destinationHeight);
    return;
  }

  std::unique_ptr<TWorkPixel[]> work = AllocateWork(sourceWidth, sourceHeight);
  reader(source, work.get(), colorFormat, sourceWidth, sourceHeight);

  std::unique_ptr<TWorkPixel[]> between = AllocateWork(destinationWidth, sourceHeight);
  {
    const ContributorLists columns = BuildContributors(
        destinationWidth, ResampleScale(destinationWidth, sourceWidth), kernel, sourceWidth);
    ApplyToRows(columns, work.get(), sourceWidth, sourceHeight, between.get());
  }
  work = AllocateWork(destinationWidth, destinationHeight);
  {
    const ContributorLists rows = BuildContributors(
        destinationHeight, ResampleScale(destinationHeight, sourceHeight), kernel, sourceHeight);
    ApplyToColumns(rows, between.get(), destinationWidth, work.get());
  }
  between.reset();
  writer(work.get(), destination, colorFormat, destinationWidth, destinationHeight);
}

void BuildMipmapChain(const void* source, const std::vector<void*>& destinations, uint32_t colorFormat,
                      uint32_t dataType, TImageFilterFunction kernel, int32_t width, int32_t height) {
  if (width < 1) return;
  if (height < 1) height = 1;
  const TPixelReader reader = ReaderFor(dataType);
  const TPixelWriter writer = WriterFor(dataType);

  // One block for level 0 and every level built, one for the horizontal pass.
  int64_t total = static_cast<int64_t>(width) * height;
  {
    int32_t w = width, h = height;
    float unused;
    for (size_t i = 0; i < destinations.size(); ++i) {
      w = HalfExtent(w, unused);
      h = HalfExtent(h, unused);
      total += static_cast<int64_t>(w) * h;
    }
  }
  std::unique_ptr<TWorkPixel[]> levels = AllocateWork(total, 1);
  std::unique_ptr<TWorkPixel[]> between = AllocateWork(width, height);
  reader(source, levels.get(), colorFormat, width, height);

  TWorkPixel* previous = levels.get();
  int32_t w = width, h = height;
  for (void* dest : destinations) {
    float sx = 1, sy = 1;
    const int32_t nw = HalfExtent(w, sx);
    const int32_t nh = HalfExtent(h, sy);
    TWorkPixel* next = previous + static_cast<size_t>(w) * static_cast<size_t>(h);
    ApplyToRows(BuildContributors(nw, sx, kernel, w), previous, w, h, between.get());
    ApplyToColumns(BuildContributors(nh, sy, kernel, h), between.get(), nw, next);
    writer(next, dest, colorFormat, nw, nh);
    previous = next;
    w = nw;
    h = nh;
  }
}

}  // namespace gl3d

// The texture image side against its baselines (run by hand, Release build):
// - a 1024 x 1024 (and 4096 x 4096) RGBA texture uploaded with GPU mipmaps through the texture's
//   Apply after its image was notified (the pixels kept after the transfer, so each round uploads
//   the same bytes), and through TGLBaseImage::UploadToTexture directly, against a bare
//   glTexImage2D of the same bytes with GL_GENERATE_MIPMAP on the same Mesa context (all finished
//   with glFinish);
// - filling a 4096 x 4096 TGLImage row by row through ScanLine, against memcpy of the bytes;
// - ConvertPixels from GL_BGR to GL_RGBA at 1024 x 1024, against a hand-written byte swizzle
//   (separate blocks go through a working strip of 16384 pixels, 256 KiB; one block converted in
//   place would take 16 bytes a pixel, 16 MiB);
// - Lanczos-3 from 1021 x 1021 to 1024 x 1024 with ResamplePixels, against the image library's
//   own Lanczos-3 resampling (one thread, and one per core).
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVStartup.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/texture/GLGraphics.h"
#include "scene3d/scene/texture/GLTexture.h"
#include "scene3d/scene/texture/ImageUtils.h"
#include "scene3d/scene/texture/TextureStartup.h"

using namespace gl3d;

namespace {

uint8_t Pattern(size_t i) { return static_cast<uint8_t>((i * 2654435761u) >> 13); }

// ---- Upload on Mesa ----

struct MesaSetup {
  std::unique_ptr<TGLEGLContext> ctx = std::make_unique<TGLEGLContext>();
  MesaSetup() {
    ctx->CreateContext(nullptr);
    ctx->Activate();
  }
  ~MesaSetup() { ctx->Deactivate(); }
};

void BM_UploadToTexture(benchmark::State& state) {
  MesaSetup mesa;
  const int32_t side = static_cast<int32_t>(state.range(0));
  TGLImage image;
  image.SetWidth(side);
  image.SetHeight(side);
  image.SetBlank(false);
  for (uint64_t i = 0; i < image.HeldBytes(); ++i) image.GetData()[i] = Pattern(i);
  TGLTextureHandle handle;
  handle.AllocateHandle();
  handle.SetTarget(ttTexture2D);
  int32_t w, h, d;
  TGLExtensionsAndEntryPoints& gl = mesa.ctx->GL();
  for (auto _ : state) {
    image.UploadToTexture(handle, true, GL_RGBA8, w, h, d);
    gl.Finish();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(image.HeldBytes()));
  handle.DestroyHandle();
}
BENCHMARK(BM_UploadToTexture)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextureApplyAfterNotify(benchmark::State& state) {
  MesaSetup mesa;
  TextureStartup();
  const int32_t side = static_cast<int32_t>(state.range(0));
  TGLTexture texture(nullptr);
  texture.SetImageClassName("TGLBlankImage");
  texture.SetDisabled(false);
  texture.SetKeepImageAfterTransfer(true);
  TGLTextureImage* image = texture.Image();
  TGLImage* pixels = image->GetImageBuffer();
  pixels->SetWidth(side);
  pixels->SetHeight(side);
  pixels->SetBlank(false);
  for (uint64_t i = 0; i < pixels->HeldBytes(); ++i) pixels->GetData()[i] = Pattern(i);
  TRenderContextInfo rci;
  rci.StateCache = &mesa.ctx->GLStates();
  rci.Transformation = &mesa.ctx->PipelineTransformation();
  TGLExtensionsAndEntryPoints& gl = mesa.ctx->GL();
  for (auto _ : state) {
    image->NotifyChange(nullptr);
    texture.Apply(rci);
    texture.UnApply(rci);
    gl.Finish();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(side) * side * 4);
  texture.DestroyHandles();
}
BENCHMARK(BM_TextureApplyAfterNotify)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareTexImage2D(benchmark::State& state) {
  MesaSetup mesa;
  const int32_t side = static_cast<int32_t>(state.range(0));
  std::vector<uint8_t> bytes(static_cast<size_t>(side) * side * 4);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = Pattern(i);
  TGLExtensionsAndEntryPoints& gl = mesa.ctx->GL();
  GLuint name = 0;
  gl.GenTextures(1, &name);
  gl.BindTexture(GL_TEXTURE_2D, name);
  gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (auto _ : state) {
    gl.TexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    gl.Finish();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
  gl.DeleteTextures(1, &name);
}
BENCHMARK(BM_BareTexImage2D)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Scan lines ----

constexpr int32_t kFillSide = 4096;

const std::vector<uint8_t>& FillSource() {
  static const std::vector<uint8_t> source = [] {
    std::vector<uint8_t> s(static_cast<size_t>(kFillSide) * kFillSide * 4);
    for (size_t i = 0; i < s.size(); ++i) s[i] = Pattern(i);
    return s;
  }();
  return source;
}

void BM_FillThroughScanLine(benchmark::State& state) {
  const std::vector<uint8_t>& source = FillSource();
  TGLImage image;
  image.SetWidth(kFillSide);
  image.SetHeight(kFillSide);
  image.SetBlank(false);
  const size_t row = static_cast<size_t>(kFillSide) * 4;
  // The baseline's block is written when it is made; the image's is written once here, so that
  // neither timing counts the first touch of 64 MiB of pages.
  std::memset(image.ScanLine(0), 0, source.size());
  for (auto _ : state) {
    for (int32_t r = 0; r < kFillSide; ++r) std::memcpy(image.ScanLine(r), source.data() + r * row, row);
    benchmark::DoNotOptimize(image.GetData());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source.size()));
}
BENCHMARK(BM_FillThroughScanLine)->Unit(benchmark::kMillisecond);

void BM_FillMemcpy(benchmark::State& state) {
  const std::vector<uint8_t>& source = FillSource();
  std::vector<uint8_t> dest(source.size());
  for (auto _ : state) {
    std::memcpy(dest.data(), source.data(), source.size());
    benchmark::DoNotOptimize(dest.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source.size()));
}
BENCHMARK(BM_FillMemcpy)->Unit(benchmark::kMillisecond);

// ---- Conversion ----

constexpr int32_t kConvertSide = 1024;

void BM_ConvertPixelsBgrToRgba(benchmark::State& state) {
  std::vector<uint8_t> source(static_cast<size_t>(kConvertSide) * kConvertSide * 3),
      dest(source.size() / 3 * 4);
  for (size_t i = 0; i < source.size(); ++i) source[i] = Pattern(i);
  for (auto _ : state) {
    ConvertPixels(source.data(), dest.data(), GL_BGR, GL_RGBA, GL_UNSIGNED_BYTE, GL_UNSIGNED_BYTE,
                  kConvertSide, kConvertSide);
    benchmark::DoNotOptimize(dest.data());
  }
  state.counters["working KiB"] = 16384.0 * sizeof(TWorkPixel) / 1024.0;
}
BENCHMARK(BM_ConvertPixelsBgrToRgba)->Unit(benchmark::kMillisecond);

void BM_HandSwizzleBgrToRgba(benchmark::State& state) {
  std::vector<uint8_t> source(static_cast<size_t>(kConvertSide) * kConvertSide * 3),
      dest(source.size() / 3 * 4);
  for (size_t i = 0; i < source.size(); ++i) source[i] = Pattern(i);
  for (auto _ : state) {
    const uint8_t* in = source.data();
    uint8_t* out = dest.data();
    for (size_t i = 0, n = static_cast<size_t>(kConvertSide) * kConvertSide; i < n; ++i, in += 3, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 255;
    }
    benchmark::DoNotOptimize(dest.data());
  }
}
BENCHMARK(BM_HandSwizzleBgrToRgba)->Unit(benchmark::kMillisecond);

// ---- Resampling ----

void BM_ResamplePixelsLanczos3(benchmark::State& state) {
  std::vector<uint8_t> source(1021u * 1021u * 4), dest(1024u * 1024u * 4);
  for (size_t i = 0; i < source.size(); ++i) source[i] = Pattern(i);
  for (auto _ : state) {
    ResamplePixels(source.data(), dest.data(), GL_RGBA, GL_UNSIGNED_BYTE, Lanczos3FilterKernel, 1021, 1021,
                   1024, 1024);
    benchmark::DoNotOptimize(dest.data());
  }
}
BENCHMARK(BM_ResamplePixelsLanczos3)->Unit(benchmark::kMillisecond);

// Argument: thread count (0 = one per core).
void BM_ImageLibraryLanczos3(benchmark::State& state) {
  rv::RastovaLibraryStartup();
  rv::TRVBitmap source(1021, 1021, rv::rv24RGB), dest(1024, 1024, rv::rv24RGB);
  for (int32_t y = 0; y < 1021; ++y) {
    uint8_t* p = source.GetScanLine(y);
    for (int32_t x = 0; x < 1021 * 3; ++x) p[x] = Pattern(static_cast<size_t>(y) * 4096 + x);
  }
  rv::testing::ResampleThreadCount = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    rv::ResampleFiltered(source, dest, rv::rfLanczos3, nullptr, rv::TRVProgressEvent());
    benchmark::DoNotOptimize(dest.GetScanLine(0));
  }
  rv::testing::ResampleThreadCount = 0;
}
BENCHMARK(BM_ImageLibraryLanczos3)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

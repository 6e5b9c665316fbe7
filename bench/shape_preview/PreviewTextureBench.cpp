// The preview's texture upload at the largest grid (4096 x 4096 pixels). Run by hand (Release
// build), for instance:
//   build/bench/bench_shape_preview_texture --benchmark_min_time=0.5
//
// UploadPreviewTexture against CopyPreviewTexture alone into a reused buffer (goal: within 1.3x;
// the pixels are converted once, straight into the texture image).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"
#include "shape/preview/PreviewTexture.h"

using namespace shape;

namespace {

constexpr int kSize = 257;

// The texture bitmaps at 4096 x 4096 with a display pair of varied pixels, for one benchmark.
class TTextureSetup {
 public:
  TTextureSetup() {
    CreateTextureBitmaps();
    InitShape(*shape_, SCTYPE_SPHERE, kSize, kSize);
    TTextureBitmaps& t = TextureBitmaps();
    for (int y = 0; y < t.DisplayColor.Height(); ++y) {
      uint8_t* c = t.DisplayColor.ScanLine(y);
      uint8_t* a = t.DisplayAlpha.ScanLine(y);
      for (int x = 0; x < t.DisplayColor.Width(); ++x) {
        c[4 * x] = static_cast<uint8_t>(x);
        c[4 * x + 1] = static_cast<uint8_t>(y);
        c[4 * x + 2] = static_cast<uint8_t>(x ^ y);
        a[x] = static_cast<uint8_t>(x + y);
      }
    }
  }
  ~TTextureSetup() { FreeTextureBitmaps(); }

 private:
  std::unique_ptr<TCS> shape_ = std::make_unique<TCS>();
};

void BM_UploadPreviewTexture(benchmark::State& state) {
  TTextureSetup setup;
  gl3d::TGLFreeForm freeForm(nullptr);
  for (auto _ : state) {
    UploadPreviewTexture(freeForm);
    benchmark::DoNotOptimize(freeForm.Material()->Texture()->Image()->GetImageBuffer()->GetData());
  }
}
BENCHMARK(BM_UploadPreviewTexture)->Unit(benchmark::kMillisecond);

// As after a frame: the texture hands its buffer back once uploaded (KeepImageAfterTransfer off),
// so each upload starts from a fresh image block.
void BM_UploadPreviewTextureAfterRender(benchmark::State& state) {
  TTextureSetup setup;
  gl3d::TGLFreeForm freeForm(nullptr);
  for (auto _ : state) {
    freeForm.Material()->Texture()->Image()->ReleaseImageBuffer();
    UploadPreviewTexture(freeForm);
    benchmark::DoNotOptimize(freeForm.Material()->Texture()->Image()->GetImageBuffer()->GetData());
  }
}
BENCHMARK(BM_UploadPreviewTextureAfterRender)->Unit(benchmark::kMillisecond);

void BM_CopyPreviewTexture(benchmark::State& state) {
  TTextureSetup setup;
  TRGBAImage image;
  for (auto _ : state) {
    CopyPreviewTexture(image);
    benchmark::DoNotOptimize(image.Pixels.data());
  }
}
BENCHMARK(BM_CopyPreviewTexture)->Unit(benchmark::kMillisecond);

}  // namespace

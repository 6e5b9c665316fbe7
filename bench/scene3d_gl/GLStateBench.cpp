// Redundant state changes through the cache (no GL call, no allocation expected), and the
// transformation stack's model matrix and model-view product for many objects.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "scene3d/gl/GLRecordingContext.h"
#include "scene3d/gl/GLRecordingFunctions.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/gl/GLTransformation.h"

namespace {
std::atomic<long> g_allocations{0};
}

// Counts allocations; the replaced pair uses malloc and free, which GCC cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace gl3d;

namespace {

struct Setup {
  TGLCallRecorder rec;
  TGLRecordingContext ctx;
  Setup() {
    ctx.CreateContext(nullptr);
    ctx.Activate();
    TGLStateCache& s = ctx.GLStates();
    s.Enable(capBlend);
    s.SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
    s.SetDepthFunc(cfLEqual);
    s.SetTextureBinding(0, ttTexture2D, 5);
    s.SetLineWidth(2);
    rec.Clear();
  }
  ~Setup() { ctx.Deactivate(); }
};

void BM_RedundantStateSetters(benchmark::State& state) {
  Setup setup;
  TGLStateCache& s = setup.ctx.GLStates();
  const TVector4f clear{0, 0, 0, 0};
  long allocations = 0;
  for (auto _ : state) {
    long before = g_allocations;
    for (int i = 0; i < 1000000 / 8; ++i) {
      s.Enable(capBlend);
      s.Disable(capLighting);
      s.SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
      s.SetDepthFunc(cfLEqual);
      s.SetDepthWriteMask(true);
      s.SetLineWidth(2);
      s.SetColorClearValue(clear);
      s.SetTextureBinding(0, ttTexture2D, 5);
    }
    allocations += g_allocations - before;
  }
  state.counters["gl_calls"] = static_cast<double>(setup.rec.Calls.size());
  state.counters["allocations"] = static_cast<double>(allocations);
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_RedundantStateSetters)->Unit(benchmark::kMillisecond);

void BM_ModelMatrixAndModelView(benchmark::State& state) {
  Setup setup;
  TGLTransformation t;  // matrix loading off: the cost of the stack itself
  TMatrix4f m = IdentityMatrix4f;
  float sink = 0;
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i) {
      m[3].X = static_cast<float>(i);
      t.SetModelMatrix(m);
      sink += t.GetModelViewMatrix()[3].X;
    }
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_ModelMatrixAndModelView)->Unit(benchmark::kMicrosecond);

}  // namespace

// Apply and UnApply of an unchanged material (lit, transparent, default culling and depth, no
// texture) against the same setters called directly on the state cache (run by hand, Release
// build). Both run on the recording context, whose log shows that neither sends a GL call once
// the cache holds the state: the "GL calls" counter must stay 0.
#include <benchmark/benchmark.h>

#include "scene3d/gl/GLRecordingContext.h"
#include "scene3d/gl/GLRecordingFunctions.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/material/GLMaterial.h"
#include "scene3d/scene/texture/TextureStartup.h"

using namespace gl3d;

namespace {

struct RecordingSetup {
  TGLCallRecorder recorder;
  TGLRecordingContext context;
  TRenderContextInfo rci;
  RecordingSetup() {
    TextureStartup();
    context.CreateContext(nullptr);
    context.Activate();
    rci.StateCache = &context.GLStates();
    rci.DepthTestOn = true;
    rci.LightingOn = true;
    rci.FaceCulling = true;
  }
  ~RecordingSetup() { context.Deactivate(); }
};

void BM_MaterialApplyUnApply(benchmark::State& state) {
  RecordingSetup setup;
  TGLMaterial material(nullptr);
  material.SetBlendingMode(bmTransparency);
  material.FrontProperties()->Diffuse()->SetColor({0.8f, 0.8f, 0.8f, 0.5f});
  material.Apply(setup.rci);
  material.UnApply(setup.rci);
  setup.recorder.Clear();
  for (auto _ : state) {
    material.Apply(setup.rci);
    benchmark::DoNotOptimize(material.UnApply(setup.rci));
  }
  state.counters["GL calls"] = static_cast<double>(setup.recorder.Calls.size());
}
BENCHMARK(BM_MaterialApplyUnApply);

// What the material's Apply asks of the cache, step by step.
void BM_StateCacheSetters(benchmark::State& state) {
  RecordingSetup setup;
  TGLStateCache& s = setup.context.GLStates();
  const TVector4f emission{0, 0, 0, 1}, ambient{0.2f, 0.2f, 0.2f, 1}, diffuse{0.8f, 0.8f, 0.8f, 0.5f},
      backDiffuse{0.8f, 0.8f, 0.8f, 1}, specular{0, 0, 0, 1};
  auto setters = [&] {
    s.Disable(capColorMaterial);
    s.SetPolygonMode(pmFill);
    s.Enable(capLighting);
    s.SetGLMaterialColors(cmFront, emission, ambient, diffuse, specular, 0);
    s.Enable(capCullFace);
    s.SetGLMaterialColors(cmBack, emission, ambient, backDiffuse, specular, 0);
    s.Enable(capBlend);
    s.SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
    s.Enable(capAlphaTest);
    s.SetAlphaFunction(cfGreater, 0);
    s.Disable(capFog);
    s.Enable(capDepthTest);
    s.SetDepthWriteMask(true);
    s.SetDepthFunc(cfLEqual);
    s.SetDepthRange(0, 1);
    s.Disable(capDepthClamp);
  };
  setters();
  setup.recorder.Clear();
  for (auto _ : state) setters();
  state.counters["GL calls"] = static_cast<double>(setup.recorder.Calls.size());
}
BENCHMARK(BM_StateCacheSetters);

}  // namespace

BENCHMARK_MAIN();

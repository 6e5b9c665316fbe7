// The scene core's per-frame work, each against its baseline (run with
// --benchmark_filter=<pair> and compare the two times):
//   Render/*         a render pass over 10,000 objects on a headless EGL context, against the
//                    same 10,000 push, SetModelMatrix, pop on the transformation stack (goal:
//                    within 1.5x);
//   Culling/*        object-based culling of 10,000 objects, 90% of them outside the view,
//                    against IsSphereClipped over the same spheres (goal: within 2x); the pass
//                    also draws the 1,000 inside, so a second baseline adds their push,
//                    SetModelMatrix, pop to the sphere tests;
//   BlendedLast/*    the blended-last order of 1,000 children (half of them blended), against
//                    std::sort of 500 floats (goal: within 3x).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

using namespace gl3d;

namespace {

// Drawn directly with nothing to draw: the pass's own cost is what is left.
class TEmptyObject : public TGLBaseSceneObject {
 public:
  explicit TEmptyObject(TComponent* owner) : TGLBaseSceneObject(owner) {
    SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  }
  bool Blended() const override { return blended; }
  bool blended = false;
};

// A headless context and a parent with `count` children spread by `place`.
struct TPass {
  std::unique_ptr<TGLEGLContext> context;
  TGLBaseSceneObject root{nullptr};
  TRenderContextInfo rci;

  template <class Place>
  TPass(int count, Place place) {
    context = std::make_unique<TGLEGLContext>();
    context->CreateContext(nullptr);
    context->Activate();
    for (int i = 0; i < count; ++i) place(i, *root.AddNewChild<TEmptyObject>());
    rci.StateCache = &context->GLStates();
    rci.Transformation = &context->PipelineTransformation();
    rci.ObjectsSorting = osNone;
    rci.VisibilityCulling = vcNone;
    // The editor's camera: 400 x 454 at 96 DPI, focal length 100, depth of view 90, at (0, 0, 3).
    const float n = 19200.0f / (25.4f * 454);
    TMatrix4f viewProjection;
    MultiplyMatrix4f(CreateLookAtMatrix({0, 0, 3, 1}, {0, 0, 0, 1}, {0, 1, 0, 0}),
                     CreateFrustumMatrix(-400.0f / 908, 400.0f / 908, -0.5f, 0.5f, n, n + 90),
                     viewProjection);
    ExtractFrustumPlanes(viewProjection, rci.Frustum);
    root.RenderChildren(0, root.GetCount() - 1, rci);  // matrices computed once, as after a first frame
  }
  ~TPass() {
    root.DeleteChildren();
    context->Deactivate();
  }
};

void PlaceInGrid(int i, TGLBaseSceneObject& o) {
  o.Position()->SetPoint(static_cast<float>(i % 100) * 0.01f, static_cast<float>(i / 100) * 0.01f, 0);
}

// The pass over the parent's children that the render loop makes.
void DrawChildren(benchmark::State& state, TPass& pass) {
  for (auto _ : state) pass.root.RenderChildren(0, pass.root.GetCount() - 1, pass.rci);
  state.SetItemsProcessed(state.iterations() * pass.root.GetCount());
}

// What the pass must do at least for a drawn object: its matrix on the stack.
inline void PushSetPop(TGLTransformation& t, const TMatrix4f& m) {
  t.Push();
  t.SetModelMatrix(m);
  t.Pop();
}

void BM_Render_SceneObjects(benchmark::State& state) {
  TPass pass(10000, PlaceInGrid);
  DrawChildren(state, pass);
}
BENCHMARK(BM_Render_SceneObjects);

void BM_Render_TransformationStackBaseline(benchmark::State& state) {
  TPass pass(10000, PlaceInGrid);
  std::vector<TMatrix4f> matrices;
  for (int i = 0; i < pass.root.GetCount(); ++i) matrices.push_back(pass.root.Get(i)->GetAbsoluteMatrix());
  TGLTransformation& t = *pass.rci.Transformation;
  for (auto _ : state)
    for (const TMatrix4f& m : matrices) PushSetPop(t, m);
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_Render_TransformationStackBaseline);

// Nine in ten objects lie far to the sides of the view.
void PlaceMostlyOutside(int i, TGLBaseSceneObject& o) {
  const float x = i % 10 == 0 ? 0.01f * static_cast<float>(i % 37) : 50.0f + static_cast<float>(i % 91);
  o.Position()->SetPoint(i % 2 ? x : -x, 0.01f * static_cast<float>(i % 53), -static_cast<float>(i % 40));
}

void BM_Culling_SceneObjects(benchmark::State& state) {
  TPass pass(10000, PlaceMostlyOutside);
  pass.root.SetVisibilityCulling(vcObjectBased);
  DrawChildren(state, pass);
}
BENCHMARK(BM_Culling_SceneObjects);

// The sphere test over the same spheres; with `draw`, the objects inside also get their matrix
// on the stack, as any pass that draws them must.
void CullingBaseline(benchmark::State& state, bool draw) {
  TPass pass(10000, PlaceMostlyOutside);
  std::vector<TVector3f> centres;
  std::vector<float> radii;
  std::vector<TMatrix4f> matrices;
  int inside = 0;
  for (int i = 0; i < pass.root.GetCount(); ++i) {
    TGLBaseSceneObject* o = pass.root.Get(i);
    const TVector4f c = o->BarycenterAbsolutePosition();
    centres.push_back({c.X, c.Y, c.Z});
    radii.push_back(o->BoundingSphereRadius());
    matrices.push_back(o->GetAbsoluteMatrix());
    inside += !IsSphereClipped(centres.back(), radii.back(), pass.rci.Frustum);
  }
  TGLTransformation& t = *pass.rci.Transformation;
  for (auto _ : state) {
    int seen = 0;
    for (size_t i = 0; i < centres.size(); ++i)
      if (!IsSphereClipped(centres[i], radii[i], pass.rci.Frustum)) {
        ++seen;
        if (draw) PushSetPop(t, matrices[i]);
      }
    benchmark::DoNotOptimize(seen);
  }
  state.counters["inside"] = inside;
  state.SetItemsProcessed(state.iterations() * 10000);
}

void BM_Culling_IsSphereClippedBaseline(benchmark::State& state) { CullingBaseline(state, false); }
BENCHMARK(BM_Culling_IsSphereClippedBaseline);

void BM_Culling_IsSphereClippedAndDrawBaseline(benchmark::State& state) { CullingBaseline(state, true); }
BENCHMARK(BM_Culling_IsSphereClippedAndDrawBaseline);

void PlaceForSorting(int i, TGLBaseSceneObject& o) {
  static std::mt19937 random(7);
  std::uniform_real_distribution<float> d(-20, 20);
  o.Position()->SetPoint(d(random), d(random), d(random));
  static_cast<TEmptyObject&>(o).blended = i % 2 == 1;
}

void BM_BlendedLast_SortChildren(benchmark::State& state) {
  TPass pass(1000, PlaceForSorting);
  const TVector4f camera{0, 0, 3, 1};
  for (auto _ : state) {
    TSingleList keys;
    TPersistentObjectList sorted, opaque;
    pass.root.SortChildren(0, 999, osRenderBlendedLast, camera, keys, sorted, opaque);
    benchmark::DoNotOptimize(sorted.Get(0));
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_BlendedLast_SortChildren);

void BM_BlendedLast_StdSortBaseline(benchmark::State& state) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> d(0, 1200);
  std::vector<float> source(500);
  for (float& v : source) v = d(random);
  std::vector<float> keys;
  for (auto _ : state) {
    keys = source;
    std::sort(keys.begin(), keys.end());
    benchmark::DoNotOptimize(keys.data());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_BlendedLast_StdSortBaseline);

}  // namespace

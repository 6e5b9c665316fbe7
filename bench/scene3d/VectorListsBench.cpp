// What the preview builder does after every edit at 257 x 257: append about 66,000 vertices
// and 393,000 indices to vector lists, and transform the vertices by a matrix.
#include <benchmark/benchmark.h>

#include <vector>

#include "scene3d/base/VectorGeometry.h"
#include "scene3d/base/VectorLists.h"

using namespace gl3d;

namespace {

constexpr int kItems = 400000;
constexpr int kGridVertices = 257 * 257;  // 66,049

void BM_AffineVectorListAdd(benchmark::State& state) {
  for (auto _ : state) {
    TAffineVectorList list;
    for (int i = 0; i < kItems; ++i) list.Add({float(i), 1, 2});
    benchmark::DoNotOptimize(list.List());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_AffineVectorListAdd);

void BM_StdVectorPushBackVector3f(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<TVector3f> list;
    for (int i = 0; i < kItems; ++i) list.push_back({float(i), 1, 2});
    benchmark::DoNotOptimize(list.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_StdVectorPushBackVector3f);

// The floor: push_back into memory reserved up front, so no growth at all.
void BM_StdVectorReservedPushBackVector3f(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<TVector3f> list;
    list.reserve(kItems);
    for (int i = 0; i < kItems; ++i) list.push_back({float(i), 1, 2});
    benchmark::DoNotOptimize(list.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_StdVectorReservedPushBackVector3f);

void BM_IntegerListAdd(benchmark::State& state) {
  for (auto _ : state) {
    TIntegerList list;
    for (int i = 0; i < kItems; ++i) list.Add(i);
    benchmark::DoNotOptimize(list.List());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_IntegerListAdd);

void BM_StdVectorPushBackInt(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<int32_t> list;
    for (int i = 0; i < kItems; ++i) list.push_back(i);
    benchmark::DoNotOptimize(list.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_StdVectorPushBackInt);

void BM_IntegerListAddThree(benchmark::State& state) {
  for (auto _ : state) {
    TIntegerList list;
    for (int i = 0; i < kItems; i += 3) list.AddThree(i, i + 1, i + 2);
    benchmark::DoNotOptimize(list.List());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_IntegerListAddThree);

void BM_TransformGridVertices(benchmark::State& state) {
  TAffineVectorList vertices;
  for (int i = 0; i < kGridVertices; ++i) vertices.Add({float(i % 257) / 256, float(i / 257) / 256, 0.5f});
  TMatrix4f m;
  MultiplyMatrix4f(CreateRotationMatrixX(0.3f), CreateRotationMatrixY(0.7f), m);
  MatrixMultiplyInto(m, CreateTranslationMatrix3f({1, 2, 3}), m);
  std::vector<TVector3f> out(kGridVertices);
  for (auto _ : state) {
    const TVector3f* in = vertices.List();
    for (int i = 0; i < kGridVertices; ++i) VectorTransform3f(in[i], m, out[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kGridVertices);
}
BENCHMARK(BM_TransformGridVertices);

}  // namespace

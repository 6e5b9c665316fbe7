// Object streams of 10,000 mixed objects without bitmaps, written and read, against zlib's
// compress2 and uncompress at the default level of a buffer of the same uncompressed size.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <QWidget>
#include <cstring>
#include <random>
#include <vector>

#include "../rastova_view/BenchApp.h"
#include "rastova/core/RVStream.h"
#include "rastova/view/vector/RastovaVect.h"

namespace {

struct TAppFirst {
  TAppFirst() { viewbench::App(); }
};

struct TFilled {
  TAppFirst app;
  QWidget parent;
  rv::TRastovaVect* v;
  std::vector<uint8_t> stream;
  TFilled() {
    v = new rv::TRastovaVect(&parent);
    std::mt19937 rng(7);
    const rv::TRVVObjectKind kinds[] = {rv::rvkLINE, rv::rvkBOX, rv::rvkELLIPSE, rv::rvkTEXT, rv::rvkPOLYLINE,
                                        rv::rvkRULER};
    for (int i = 0; i < 10000; ++i) {
      rv::TRVVObjRecord o = v->NewObjectTemplate;
      o.Kind = kinds[i % 6];
      o.X1 = int32_t(rng() % 1900), o.Y1 = int32_t(rng() % 1000);
      o.X2 = o.X1 + int32_t(rng() % 100), o.Y2 = o.Y1 + int32_t(rng() % 100);
      o.PenColor = int32_t(rng() & 0xFFFFFF);
      if (o.Kind == rv::rvkTEXT) o.Text = "label " + std::to_string(i);
      if (o.Kind == rv::rvkPOLYLINE) {
        for (int k = 0; k < 8; ++k) o.PolyPoints.push_back({int32_t(rng() % 1900), int32_t(rng() % 1000)});
        o.PolyPointsCount = o.PolyPointsAlloc = 8;
      }
      v->AddNewObject(o);
    }
    rv::TMemoryStream m;
    v->SaveObjectsToStream(m);
    stream = m.Data();
  }
  // The uncompressed size of the object block (the block inflated).
  std::vector<uint8_t> Raw() {
    std::vector<uint8_t> out(64 << 20);
    z_stream z{};
    inflateInit(&z);
    int32_t nslots = 0;  // only the template's icon may hold one: counts without images
    std::memcpy(&nslots, stream.data() + 16, 4);
    const size_t at = 20 + 4 * size_t(nslots);
    z.next_in = stream.data() + at;
    z.avail_in = uInt(stream.size() - at);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
  }
};

TFilled& Filled() {
  static TFilled* f = new TFilled();
  return *f;
}

void BM_SaveObjects(benchmark::State& state) {
  TFilled& f = Filled();
  for (auto _ : state) {
    rv::TMemoryStream m;
    m.Reserve(int64_t(f.stream.size()) * 2);
    f.v->SaveObjectsToStream(m);
    benchmark::DoNotOptimize(m.GetSize());
  }
}
BENCHMARK(BM_SaveObjects)->Unit(benchmark::kMillisecond);

void BM_Compress2SameSize(benchmark::State& state) {
  const std::vector<uint8_t> raw = Filled().Raw();
  std::vector<uint8_t> out(compressBound(uLong(raw.size())));
  for (auto _ : state) {
    uLongf n = uLongf(out.size());
    compress2(out.data(), &n, raw.data(), uLong(raw.size()), Z_DEFAULT_COMPRESSION);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_Compress2SameSize)->Unit(benchmark::kMillisecond);

void BM_LoadObjects(benchmark::State& state) {
  TFilled& f = Filled();
  QWidget parent;
  auto* v = new rv::TRastovaVect(&parent);
  for (auto _ : state) {
    rv::TRVMemStream m(f.stream.data(), int64_t(f.stream.size()));
    benchmark::DoNotOptimize(v->LoadObjectsFromStream(m));
  }
}
BENCHMARK(BM_LoadObjects)->Unit(benchmark::kMillisecond);

void BM_UncompressSameSize(benchmark::State& state) {
  const std::vector<uint8_t> raw = Filled().Raw();
  std::vector<uint8_t> packed(compressBound(uLong(raw.size())));
  uLongf pn = uLongf(packed.size());
  compress2(packed.data(), &pn, raw.data(), uLong(raw.size()), Z_DEFAULT_COMPRESSION);
  std::vector<uint8_t> out(raw.size());
  for (auto _ : state) {
    uLongf n = uLongf(out.size());
    uncompress(out.data(), &n, packed.data(), pn);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_UncompressSameSize)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

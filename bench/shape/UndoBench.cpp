// The undo ring at the largest grid: a push of an unchanged shape (the difference test runs over
// the whole block and stores nothing), a push of a changed shape (test plus snapshot), and the
// memory of a full ring. A raw copy of the whole record is the yardstick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "shape/model/UBuf.h"
#include "shape/model/uScPrim.h"

using namespace shape;

namespace {

std::unique_ptr<TCS> LargestSphere() {
  auto cs = std::make_unique<TCS>();
  InitShape(*cs, SCTYPE_SPHERE, 257, 257);
  return cs;
}

void BM_CopyWholeRecord(benchmark::State& state) {
  auto a = LargestSphere();
  auto b = std::make_unique<TCS>();
  for (auto _ : state) {
    std::memcpy(b.get(), a.get(), sizeof(TCS));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sizeof(TCS)));
}
BENCHMARK(BM_CopyWholeRecord)->Unit(benchmark::kMicrosecond);

void BM_UndoPushUnchanged(benchmark::State& state) {
  auto cs = LargestSphere();
  auto ring = std::make_unique<TUBuf>();
  UndoInit(*ring, *cs);
  for (auto _ : state) {
    UndoPush(*ring, *cs);
    benchmark::ClobberMemory();
  }
  if (ring->Current != 0) state.SkipWithError("an unchanged shape was stored");
}
BENCHMARK(BM_UndoPushUnchanged)->Unit(benchmark::kMicrosecond);

// The change sits in the last point of the block, so the difference test runs almost to the end
// before the snapshot is written. Slots are reused after the first lap, as in a long session.
void BM_UndoPushChanged(benchmark::State& state) {
  auto cs = LargestSphere();
  auto ring = std::make_unique<TUBuf>();
  UndoInit(*ring, *cs);
  for (int k = 0; k < kUndoSlots; ++k) {
    cs->CP[256][255][2] = k * 1e-6;
    UndoPush(*ring, *cs);
  }
  double v = 0;
  for (auto _ : state) {
    v = v == 0 ? 1e-6 : 0;
    cs->CP[256][255][2] = v;
    UndoPush(*ring, *cs);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_UndoPushChanged)->Unit(benchmark::kMicrosecond);

// Fills all 256 slots at 257 x 257 and reports the bytes the snapshots hold.
void BM_FullRingMemory(benchmark::State& state) {
  auto cs = LargestSphere();
  double bytes = 0;
  for (auto _ : state) {
    auto ring = std::make_unique<TUBuf>();
    UndoInit(*ring, *cs);
    for (int k = 1; k < kUndoSlots; ++k) {
      cs->CP[0][1][0] = k * 1e-6;
      UndoPush(*ring, *cs);
    }
    bytes = sizeof(TUBuf);
    for (const auto& s : ring->Slots)
      bytes += s.CP.capacity() * sizeof(TDbl3D) + s.DP.capacity() * sizeof(TDbl3D) + s.SP.capacity() +
               s.RP.capacity() + s.GP.capacity() * sizeof(int32_t);
  }
  state.counters["ring_MB"] = bytes / 1e6;
  state.counters["ring_per_record"] = bytes / (static_cast<double>(kUndoSlots) * sizeof(TCS));
}
BENCHMARK(BM_FullRingMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

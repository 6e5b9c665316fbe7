#include "common/Random.h"

#include <chrono>

namespace common {

void TRandomGenerator::Randomize() noexcept {
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  seed_ = static_cast<uint32_t>(now ^ (now >> 32));
}

int32_t TRandomGenerator::Next(int32_t range) noexcept {
  Step();
  if (range <= 0) return 0;
  return static_cast<int32_t>((static_cast<uint64_t>(seed_) * static_cast<uint32_t>(range)) >> 32);
}

double TRandomGenerator::NextFloat() noexcept {
  Step();
  return static_cast<double>(seed_) * (1.0 / 4294967296.0);
}

TRandomGenerator& GlobalRandom() noexcept {
  static TRandomGenerator generator;
  return generator;
}

}  // namespace common

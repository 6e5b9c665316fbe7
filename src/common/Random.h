#pragma once
// The process-wide pseudo-random generator. Its whole state is one 32-bit seed, which
// callers can save and restore to replay a sequence (for example around a preview).
// Meant for the user-interface thread; it does not lock.
#include <cstdint>

namespace common {

class TRandomGenerator {
 public:
  explicit TRandomGenerator(uint32_t seed = 0) : seed_(seed) {}

  uint32_t Seed() const noexcept { return seed_; }
  void SetSeed(uint32_t seed) noexcept { seed_ = seed; }
  // Seeds from the clock.
  void Randomize() noexcept;

  // A whole number in [0, range); 0 when range <= 0.
  int32_t Next(int32_t range) noexcept;
  // A number in [0, 1).
  double NextFloat() noexcept;

 private:
  void Step() noexcept { seed_ = seed_ * 134775813u + 1u; }
  uint32_t seed_;
};

TRandomGenerator& GlobalRandom() noexcept;

inline int32_t Random(int32_t range) noexcept { return GlobalRandom().Next(range); }
inline double Random() noexcept { return GlobalRandom().NextFloat(); }
inline uint32_t RandSeed() noexcept { return GlobalRandom().Seed(); }
inline void SetRandSeed(uint32_t seed) noexcept { GlobalRandom().SetSeed(seed); }

}  // namespace common

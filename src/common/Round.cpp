#include "common/Round.h"

#include <cmath>
#include <limits>

#include "common/Exception.h"

namespace common {

namespace {

constexpr long double kTwo63 = 9223372036854775808.0L;  // 2^63, exact in long double

int64_t SaturateWhole(long double w) noexcept {
  // w is already a whole number (or NaN / infinite).
  if (std::isnan(w)) return 0;
  if (w >= kTwo63) return std::numeric_limits<int64_t>::max();
  if (w < -kTwo63) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(w);
}

}  // namespace

int64_t Round(long double x) noexcept {
  if (!std::isfinite(x)) return SaturateWhole(x);
  long double f = std::floor(x);
  long double d = x - f;  // exact: x and f share the exponent range
  if (d > 0.5L) {
    f += 1.0L;
  } else if (d == 0.5L) {
    if (std::fmod(f, 2.0L) != 0.0L) f += 1.0L;
  }
  return SaturateWhole(f);
}

int64_t RoundWithError(double hi, double lo) noexcept {
  constexpr double kTwo52 = 4503599627370496.0;
  if (hi > -kTwo52 && hi < kTwo52) {                  // false for NaN
    int64_t r = static_cast<int64_t>(hi);             // toward zero
    if (static_cast<double>(r) > hi) --r;             // the floor
    const double rest = hi - static_cast<double>(r);  // exact
    if (rest > 0.5 || (rest == 0.5 && (lo > 0 || (lo == 0 && (r & 1) != 0)))) ++r;
    return r;
  }
  return Round(hi);
}

int32_t SaturateInt32(int64_t v) noexcept {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int32_t RoundInt(long double x) noexcept { return SaturateInt32(Round(x)); }
int64_t Trunc(long double x) noexcept { return SaturateWhole(std::trunc(x)); }
int32_t TruncInt(long double x) noexcept { return SaturateInt32(Trunc(x)); }
int64_t Floor(long double x) noexcept { return SaturateWhole(std::floor(x)); }
int64_t Ceil(long double x) noexcept { return SaturateWhole(std::ceil(x)); }
int32_t FloorInt(long double x) noexcept { return SaturateInt32(Floor(x)); }
int32_t CeilInt(long double x) noexcept { return SaturateInt32(Ceil(x)); }

long double Frac(long double x) noexcept {
  if (std::isinf(x)) return std::numeric_limits<long double>::quiet_NaN();
  return x - std::trunc(x);
}

template <typename T>
static T DivT(T a, T b) {
  if (b == 0) throw EDivByZero("Division by zero");
  if (b == -1 && a == std::numeric_limits<T>::min()) return std::numeric_limits<T>::max();
  return a / b;
}

template <typename T>
static T ModT(T a, T b) {
  if (b == 0) throw EDivByZero("Division by zero");
  if (b == -1) return 0;
  return a % b;
}

int32_t Div(int32_t a, int32_t b) { return DivT(a, b); }
int64_t Div(int64_t a, int64_t b) { return DivT(a, b); }
int32_t Mod(int32_t a, int32_t b) { return ModT(a, b); }
int64_t Mod(int64_t a, int64_t b) { return ModT(a, b); }

int32_t MulDiv(int32_t a, int32_t b, int32_t c) noexcept {
  if (c == 0) return -1;
  int64_t p = static_cast<int64_t>(a) * b;  // at most 2^62 in magnitude
  bool negative = (p < 0) != (c < 0);
  uint64_t up = p < 0 ? static_cast<uint64_t>(-(p + 1)) + 1 : static_cast<uint64_t>(p);
  uint64_t uc = c < 0 ? static_cast<uint64_t>(-(static_cast<int64_t>(c))) : static_cast<uint64_t>(c);
  uint64_t q = up / uc;
  uint64_t r = up % uc;
  if (r * 2 >= uc) ++q;  // halves away from zero
  if (negative) {
    if (q > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) + 1) return -1;
    return static_cast<int32_t>(-static_cast<int64_t>(q));
  }
  if (q > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return -1;
  return static_cast<int32_t>(q);
}

}  // namespace common

#pragma once
// Rounding and integer conversions used throughout ZEPHOR.
//
// Floating-point exceptions are masked for the whole process, so NaN, infinities and huge
// values do reach these helpers. A bare cast of such a value is undefined behaviour in C++;
// every conversion here saturates instead: values beyond the target range give its
// minimum or maximum, NaN gives 0.
#include <cstdint>

namespace common {

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
int64_t Round(long double x) noexcept;
// Round, saturated to the 32-bit range.
int32_t RoundInt(long double x) noexcept;
// Round of the exact value hi + lo, where hi is a sum or product rounded to a double and lo its
// exact error (at most half a unit in hi's last place, as a two-sum or fma gives it). Only a hi
// exactly halfway between two integers needs lo: its sign then decides, and lo = 0 leaves the
// half to the even neighbour. Exact for |hi| below 2^52; beyond that hi alone is rounded.
int64_t RoundWithError(double hi, double lo) noexcept;

// Toward zero.
int64_t Trunc(long double x) noexcept;
int32_t TruncInt(long double x) noexcept;

// Toward minus and plus infinity.
int64_t Floor(long double x) noexcept;
int64_t Ceil(long double x) noexcept;
int32_t FloorInt(long double x) noexcept;
int32_t CeilInt(long double x) noexcept;

// The fractional part, with the sign of x (x - Trunc(x)).
long double Frac(long double x) noexcept;

// Integer division and remainder toward zero. Division by zero throws EDivByZero;
// the one overflowing case (minimum / -1) saturates to the maximum.
int32_t Div(int32_t a, int32_t b);
int64_t Div(int64_t a, int64_t b);
int32_t Mod(int32_t a, int32_t b);
int64_t Mod(int64_t a, int64_t b);

// a * b / c with a 64-bit intermediate, halves rounded away from zero.
// Returns -1 when c is 0 or the result does not fit in 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) noexcept;

// Clamps a 64-bit value into the 32-bit range.
int32_t SaturateInt32(int64_t v) noexcept;

}  // namespace common

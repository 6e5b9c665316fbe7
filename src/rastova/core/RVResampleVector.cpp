// The vector passes of the kernel resampler (SSE4.1 and AVX2, chosen at run time) and the
// process's band workers. See RVResampleVector.h for why the bytes equal the scalar passes'.
#include "rastova/core/RVResampleVector.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "rastova/core/RVResampleInternal.h"
#include "rastova/core/RVStartup.h"

namespace rv {

namespace testing {
int32_t ResampleVectorLevel = -1;
}  // namespace testing

namespace resample_detail {

int32_t ResampleVectorLevel() {
  static const int32_t cpu = [] {
    if (__builtin_cpu_supports("avx2")) return 2;
    if (__builtin_cpu_supports("sse4.1")) return 1;
    return 0;
  }();
  if (testing::ResampleVectorLevel >= 0) return std::min(cpu, testing::ResampleVectorLevel);
  return cpu;
}

namespace {

constexpr int32_t kMaxDivisor = 1 << 22;

// Fills the axis's reciprocals from the weight sums; false when a sum is negative or too large
// (the scalar pass then serves).
bool SetReciprocals(TVectorAxis& axis, const std::vector<int32_t>& sums) {
  int64_t dmax = 1, dmin = kMaxDivisor;
  for (int32_t s : sums) {
    int64_t d = s == 0 ? 256 : s;  // a sum of 0 divides by 256, as the scalar pass does
    if (d < 0 || d > kMaxDivisor) return false;
    dmax = std::max(dmax, d);
    dmin = std::min(dmin, d);
  }
  int32_t shift = 0;
  while ((int64_t{1} << shift) < 256 * dmax * dmax) ++shift;
  if ((((int64_t{1} << shift) + dmin - 1) / dmin) > int64_t{0xFFFFFFFF}) return false;
  axis.Shift = shift;
  axis.Divide.resize(sums.size());
  for (size_t i = 0; i < sums.size(); ++i) {
    int64_t d = sums[i] == 0 ? 256 : sums[i];
    axis.Divide[i].Magic = static_cast<uint32_t>(((int64_t{1} << shift) + d - 1) / d);
    axis.Divide[i].Limit = static_cast<uint32_t>(256 * d - 1);
  }
  return true;
}

inline bool FitsInt16(int64_t w) { return w >= -32768 && w <= 32767; }

inline uint8_t DivideOne(int32_t sum, const TReciprocal& r, int32_t shift) {
  uint32_t x = sum < 0 ? 0u : std::min(static_cast<uint32_t>(sum), r.Limit);
  return static_cast<uint8_t>((static_cast<uint64_t>(x) * r.Magic) >> shift);
}

}  // namespace

TVectorAxis BuildHorizontalAxis(const std::vector<TContributorList>& lists, int32_t srcSize, int32_t pixelBytes) {
  TVectorAxis axis;
  axis.PixelBytes = pixelBytes;
  // 24-bit rows: a group is 4 terms, 16 weights (w0 w1 w0 w1 w0 w1 0 0 w2 w3 w2 w3 w2 w3 0 0)
  // that multiply 4 pixels spread to 16-bit channels. 8-bit rows: a group is 16 terms.
  const int32_t groupTerms = pixelBytes == 3 ? 4 : 16;
  const size_t n = lists.size();
  axis.First.resize(n);
  axis.Groups.resize(n);
  axis.Start.resize(n);
  std::vector<int32_t> sums(n), reach(n);
  std::vector<int64_t> dense;
  for (size_t i = 0; i < n; ++i) {
    const TContributorList& list = lists[i];
    int32_t lo = srcSize - 1, hi = 0, sum = 0;
    for (const TContributor& c : list) {
      int32_t p = std::clamp(c.Pixel, 0, srcSize - 1);
      lo = std::min(lo, p);
      hi = std::max(hi, p);
      sum += c.Weight;
    }
    if (list.empty()) lo = hi = 0;
    dense.assign(static_cast<size_t>(hi - lo + 1), 0);
    for (const TContributor& c : list) dense[static_cast<size_t>(std::clamp(c.Pixel, 0, srcSize - 1) - lo)] += c.Weight;
    const int32_t groups = static_cast<int32_t>((dense.size() + groupTerms - 1) / groupTerms);
    axis.First[i] = lo * pixelBytes;
    axis.Groups[i] = groups;
    axis.Start[i] = static_cast<int32_t>(axis.Weights.size());
    sums[i] = sum;
    auto w = [&](size_t k) -> int16_t {
      if (k >= dense.size()) return 0;
      return static_cast<int16_t>(dense[k]);
    };
    for (int64_t v : dense)
      if (!FitsInt16(v)) return axis;
    for (int32_t g = 0; g < groups; ++g) {
      size_t k = static_cast<size_t>(g) * groupTerms;
      if (pixelBytes == 3) {
        const int16_t a = w(k), b = w(k + 1), c = w(k + 2), d = w(k + 3);
        const int16_t block[16] = {a, b, a, b, a, b, 0, 0, c, d, c, d, c, d, 0, 0};
        axis.Weights.insert(axis.Weights.end(), block, block + 16);
      } else {
        for (int32_t t = 0; t < 16; ++t) axis.Weights.push_back(w(k + static_cast<size_t>(t)));
      }
    }
    reach[i] = pixelBytes == 3 ? axis.First[i] + 12 * (groups - 1) + 16 : axis.First[i] + 16 * groups;
    axis.Reach = std::max(axis.Reach, reach[i]);
  }
  const int32_t rowBytes = srcSize * pixelBytes;
  axis.SafeCount = static_cast<int32_t>(n);
  for (size_t i = 0; i < n; ++i)
    if (reach[i] > rowBytes) {
      axis.SafeCount = static_cast<int32_t>(i);
      break;
    }
  axis.TailStart = rowBytes;
  for (size_t i = static_cast<size_t>(axis.SafeCount); i < n; ++i) axis.TailStart = std::min(axis.TailStart, axis.First[i]);
  axis.Usable = SetReciprocals(axis, sums);
  return axis;
}

TVectorAxis BuildVerticalAxis(const std::vector<TContributorList>& lists, int32_t srcSize) {
  TVectorAxis axis;
  axis.PixelBytes = 1;
  const size_t n = lists.size();
  axis.Start.resize(n + 1);
  std::vector<int32_t> sums(n);
  for (size_t i = 0; i < n; ++i) {
    const TContributorList& list = lists[i];
    axis.Start[i] = static_cast<int32_t>(axis.Rows.size() / 2);
    int32_t sum = 0;
    for (const TContributor& c : list) {
      if (!FitsInt16(c.Weight)) return axis;
      axis.Rows.push_back(std::clamp(c.Pixel, 0, srcSize - 1));
      axis.Weights.push_back(static_cast<int16_t>(c.Weight));
      sum += c.Weight;
    }
    if (list.size() % 2) {  // an odd term is paired with itself at weight 0
      axis.Rows.push_back(axis.Rows.back());
      axis.Weights.push_back(0);
    }
    sums[i] = sum;
  }
  axis.Start[n] = static_cast<int32_t>(axis.Rows.size() / 2);
  axis.Usable = SetReciprocals(axis, sums);
  return axis;
}

// ---------------------------------------------------------------- horizontal pass

namespace {

// Where position x's terms start: in the row itself, or in the copy of its tail.
inline const uint8_t* At(const uint8_t* src, const uint8_t* tail, int32_t x, const TVectorAxis& a) {
  const int32_t first = a.First[static_cast<size_t>(x)];
  return x < a.SafeCount ? src + first : tail + (first - a.TailStart);
}

__attribute__((target("sse4.1"))) void HorizontalRow24Sse(const uint8_t* src, const uint8_t* tail, uint8_t* dst, int32_t dw,
                                                           const TVectorAxis& a) {
  const __m128i spreadLo = _mm_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1);
  const __m128i spreadHi = _mm_setr_epi8(6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1);
  const int16_t* weights = a.Weights.data();
  for (int32_t x = 0; x < dw; ++x) {
    const uint8_t* p = At(src, tail, x, a);
    const int16_t* w = weights + a.Start[static_cast<size_t>(x)];
    __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
    for (int32_t g = 0, e = a.Groups[static_cast<size_t>(x)]; g < e; ++g, p += 12, w += 16) {
      __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_shuffle_epi8(px, spreadLo),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(w))));
      acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_shuffle_epi8(px, spreadHi),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8))));
    }
    __m128i s = _mm_add_epi32(acc0, acc1);
    const TReciprocal& r = a.Divide[static_cast<size_t>(x)];
    dst[0] = DivideOne(_mm_cvtsi128_si32(s), r, a.Shift);
    dst[1] = DivideOne(_mm_extract_epi32(s, 1), r, a.Shift);
    dst[2] = DivideOne(_mm_extract_epi32(s, 2), r, a.Shift);
    dst += 3;
  }
}

__attribute__((target("avx2"))) void HorizontalRow24Avx2(const uint8_t* src, const uint8_t* tail, uint8_t* dst, int32_t dw,
                                                         const TVectorAxis& a) {
  // Both lanes hold the same 16 source bytes; the low lane spreads pixels 0 and 1, the high
  // lane pixels 2 and 3.
  const __m256i spread = _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                                          6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1);
  const int16_t* weights = a.Weights.data();
  for (int32_t x = 0; x < dw; ++x) {
    const uint8_t* p = At(src, tail, x, a);
    const int16_t* w = weights + a.Start[static_cast<size_t>(x)];
    const int32_t groups = a.Groups[static_cast<size_t>(x)];
    __m256i acc0 = _mm256_setzero_si256(), acc1 = _mm256_setzero_si256();
    int32_t g = 0;
    for (; g + 2 <= groups; g += 2, p += 24, w += 32) {
      __m256i px0 = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      __m256i px1 = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)));
      acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_shuffle_epi8(px0, spread),
                                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w))));
      acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_shuffle_epi8(px1, spread),
                                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 16))));
    }
    if (g < groups) {
      __m256i px0 = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_shuffle_epi8(px0, spread),
                                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w))));
    }
    __m256i acc = _mm256_add_epi32(acc0, acc1);
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    const TReciprocal& r = a.Divide[static_cast<size_t>(x)];
    dst[0] = DivideOne(_mm_cvtsi128_si32(s), r, a.Shift);
    dst[1] = DivideOne(_mm_extract_epi32(s, 1), r, a.Shift);
    dst[2] = DivideOne(_mm_extract_epi32(s, 2), r, a.Shift);
    dst += 3;
  }
}

__attribute__((target("sse4.1"))) void HorizontalRow8Sse(const uint8_t* src, const uint8_t* tail, uint8_t* dst, int32_t dw,
                                                          const TVectorAxis& a) {
  const int16_t* weights = a.Weights.data();
  for (int32_t x = 0; x < dw; ++x) {
    const uint8_t* p = At(src, tail, x, a);
    const int16_t* w = weights + a.Start[static_cast<size_t>(x)];
    __m128i acc = _mm_setzero_si128();
    for (int32_t g = 0, e = a.Groups[static_cast<size_t>(x)]; g < e; ++g, p += 16, w += 16) {
      __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_cvtepu8_epi16(px),
                                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(w))));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_cvtepu8_epi16(_mm_srli_si128(px, 8)),
                                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8))));
    }
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(1, 0, 3, 2)));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(2, 3, 0, 1)));
    dst[x] = DivideOne(_mm_cvtsi128_si32(acc), a.Divide[static_cast<size_t>(x)], a.Shift);
  }
}

__attribute__((target("avx2"))) void HorizontalRow8Avx2(const uint8_t* src, const uint8_t* tail, uint8_t* dst, int32_t dw,
                                                        const TVectorAxis& a) {
  const int16_t* weights = a.Weights.data();
  for (int32_t x = 0; x < dw; ++x) {
    const uint8_t* p = At(src, tail, x, a);
    const int16_t* w = weights + a.Start[static_cast<size_t>(x)];
    __m256i acc = _mm256_setzero_si256();
    for (int32_t g = 0, e = a.Groups[static_cast<size_t>(x)]; g < e; ++g, p += 16, w += 16) {
      __m256i px = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(px, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w))));
    }
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    dst[x] = DivideOne(_mm_cvtsi128_si32(s), a.Divide[static_cast<size_t>(x)], a.Shift);
  }
}

}  // namespace

void HorizontalRowVector(const uint8_t* src, const uint8_t* tail, uint8_t* dst, int32_t dw, const TVectorAxis& axis,
                         int32_t level) {
  if (axis.PixelBytes == 3) {
    if (level >= 2) HorizontalRow24Avx2(src, tail, dst, dw, axis);
    else HorizontalRow24Sse(src, tail, dst, dw, axis);
  } else {
    if (level >= 2) HorizontalRow8Avx2(src, tail, dst, dw, axis);
    else HorizontalRow8Sse(src, tail, dst, dw, axis);
  }
}

// ---------------------------------------------------------------- vertical pass

namespace {

// Samples from..to - 1 of destination row y, scalar: the tail the vector blocks leave.
void VerticalTail(uint8_t* const* rows, const TVectorAxis& a, int32_t y, int32_t from, int32_t to, uint8_t* dst) {
  const TReciprocal& r = a.Divide[static_cast<size_t>(y)];
  for (int32_t i = from; i < to; ++i) {
    int32_t sum = 0;
    for (int32_t k = 2 * a.Start[static_cast<size_t>(y)], e = 2 * a.Start[static_cast<size_t>(y) + 1]; k < e; ++k)
      sum += a.Weights[static_cast<size_t>(k)] * rows[a.Rows[static_cast<size_t>(k)]][i];
    dst[i] = DivideOne(sum, r, a.Shift);
  }
}

__attribute__((target("sse4.1"))) inline __m128i DivideSse(__m128i sum, __m128i magic, __m128i limit, __m128i shift) {
  __m128i x = _mm_min_epu32(_mm_max_epi32(sum, _mm_setzero_si128()), limit);
  __m128i even = _mm_srl_epi64(_mm_mul_epu32(x, magic), shift);
  __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(x, 32), magic), shift);
  return _mm_or_si128(even, _mm_slli_epi64(odd, 32));
}

// Samples from..samples - 1 of destination row y.
__attribute__((target("sse4.1"))) void VerticalRowSse(uint8_t* const* rows, const TVectorAxis& a, int32_t y,
                                                      int32_t from, int32_t samples, uint8_t* dst) {
  const int32_t first = a.Start[static_cast<size_t>(y)], last = a.Start[static_cast<size_t>(y) + 1];
  const TReciprocal& r = a.Divide[static_cast<size_t>(y)];
  const __m128i magic = _mm_set1_epi32(static_cast<int32_t>(r.Magic));
  const __m128i limit = _mm_set1_epi32(static_cast<int32_t>(r.Limit));
  const __m128i shift = _mm_cvtsi32_si128(a.Shift);
  const __m128i zero = _mm_setzero_si128();
  int32_t i = from;
  for (; i + 16 <= samples; i += 16) {
    __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (int32_t k = first; k < last; ++k) {
      const uint8_t* r0 = rows[a.Rows[2 * static_cast<size_t>(k)]] + i;
      const uint8_t* r1 = rows[a.Rows[2 * static_cast<size_t>(k) + 1]] + i;
      int32_t pair;
      std::memcpy(&pair, &a.Weights[2 * static_cast<size_t>(k)], 4);
      const __m128i w = _mm_set1_epi32(pair);
      __m128i p0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0));
      __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1));
      __m128i lo = _mm_unpacklo_epi8(p0, p1), hi = _mm_unpackhi_epi8(p0, p1);
      s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w));
      s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w));
      s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w));
      s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w));
    }
    __m128i q01 = _mm_packs_epi32(DivideSse(s0, magic, limit, shift), DivideSse(s1, magic, limit, shift));
    __m128i q23 = _mm_packs_epi32(DivideSse(s2, magic, limit, shift), DivideSse(s3, magic, limit, shift));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(q01, q23));
  }
  VerticalTail(rows, a, y, i, samples, dst);
}

__attribute__((target("avx2"))) inline __m256i DivideAvx2(__m256i sum, __m256i magic, __m256i limit, __m128i shift) {
  __m256i x = _mm256_min_epu32(_mm256_max_epi32(sum, _mm256_setzero_si256()), limit);
  __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(x, magic), shift);
  __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(x, 32), magic), shift);
  return _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
}

__attribute__((target("avx2"))) void VerticalRowAvx2(uint8_t* const* rows, const TVectorAxis& a, int32_t y,
                                                     int32_t samples, uint8_t* dst) {
  const int32_t first = a.Start[static_cast<size_t>(y)], last = a.Start[static_cast<size_t>(y) + 1];
  const TReciprocal& r = a.Divide[static_cast<size_t>(y)];
  const __m256i magic = _mm256_set1_epi32(static_cast<int32_t>(r.Magic));
  const __m256i limit = _mm256_set1_epi32(static_cast<int32_t>(r.Limit));
  const __m128i shift = _mm_cvtsi32_si128(a.Shift);
  const __m256i zero = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 32 <= samples; i += 32) {
    // Lane order of the sums: s0 holds samples 0-3 and 16-19, s1 4-7 and 20-23, s2 8-11 and
    // 24-27, s3 12-15 and 28-31; the packs at the end put them back in order.
    __m256i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (int32_t k = first; k < last; ++k) {
      const uint8_t* r0 = rows[a.Rows[2 * static_cast<size_t>(k)]] + i;
      const uint8_t* r1 = rows[a.Rows[2 * static_cast<size_t>(k) + 1]] + i;
      int32_t pair;
      std::memcpy(&pair, &a.Weights[2 * static_cast<size_t>(k)], 4);
      const __m256i w = _mm256_set1_epi32(pair);
      __m256i p0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r0));
      __m256i p1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r1));
      __m256i lo = _mm256_unpacklo_epi8(p0, p1), hi = _mm256_unpackhi_epi8(p0, p1);
      s0 = _mm256_add_epi32(s0, _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), w));
      s1 = _mm256_add_epi32(s1, _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), w));
      s2 = _mm256_add_epi32(s2, _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), w));
      s3 = _mm256_add_epi32(s3, _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), w));
    }
    __m256i q01 = _mm256_packs_epi32(DivideAvx2(s0, magic, limit, shift), DivideAvx2(s1, magic, limit, shift));
    __m256i q23 = _mm256_packs_epi32(DivideAvx2(s2, magic, limit, shift), DivideAvx2(s3, magic, limit, shift));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(q01, q23));
  }
  VerticalRowSse(rows, a, y, i, samples, dst);  // the last whole 16-sample block and the tail
}

}  // namespace

void VerticalRowVector(uint8_t* const* workRows, const TVectorAxis& axis, int32_t y, int32_t samples, uint8_t* dst,
                       int32_t level) {
  if (level >= 2) VerticalRowAvx2(workRows, axis, y, samples, dst);
  else VerticalRowSse(workRows, axis, y, 0, samples, dst);
}

// ---------------------------------------------------------------- band workers

namespace {

class BandWorkers {
 public:
  explicit BandWorkers(int32_t threads) {
    for (int32_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Loop(); });
  }
  ~BandWorkers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  BandWorkers(const BandWorkers&) = delete;
  BandWorkers& operator=(const BandWorkers&) = delete;

  std::mutex& Owner() { return owner_; }

  void Run(int32_t count, const std::function<void(int32_t)>& job, const std::function<void(int32_t)>& bandDone) {
    auto batch = std::make_shared<Batch>();
    batch->job = &job;
    batch->count = count;
    batch->done.assign(static_cast<size_t>(count), 0);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      current_ = batch;
      ++generation_;
    }
    wake_.notify_all();
    Work(*batch);  // the calling thread takes bands too
    std::unique_lock<std::mutex> lock(mutex_);
    for (int32_t b = 0; b < count; ++b) {
      finished_.wait(lock, [&] { return batch->done[static_cast<size_t>(b)] != 0; });
      if (bandDone && !batch->error) {
        lock.unlock();
        bandDone(b);
        lock.lock();
      }
    }
    // Every band has ended: a worker that still holds this batch finds no band left and never
    // calls the job again.
    current_.reset();
    if (batch->error) std::rethrow_exception(batch->error);
  }

 private:
  struct Batch {
    const std::function<void(int32_t)>* job = nullptr;
    int32_t count = 0;
    std::atomic<int32_t> next{0};
    std::vector<char> done;  // guarded by mutex_
    std::exception_ptr error;
  };

  void Work(Batch& batch) {
    for (;;) {
      int32_t b = batch.next.fetch_add(1);
      if (b >= batch.count) return;
      std::exception_ptr error;
      try {
        (*batch.job)(b);
      } catch (...) {
        error = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex_);
      if (error && !batch.error) batch.error = error;
      batch.done[static_cast<size_t>(b)] = 1;
      finished_.notify_all();
    }
  }

  void Loop() {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      std::shared_ptr<Batch> batch = current_;
      if (!batch) continue;
      lock.unlock();
      Work(*batch);
      batch.reset();
      lock.lock();
    }
  }

  std::vector<std::thread> threads_;
  std::mutex owner_;  // held by the caller whose bands run
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::shared_ptr<Batch> current_;
  uint64_t generation_ = 0;
  bool stopping_ = false;
};

}  // namespace

void RunBands(int32_t count, const std::function<void(int32_t)>& job, const std::function<void(int32_t)>& bandDone) {
  auto inOrder = [&] {
    for (int32_t b = 0; b < count; ++b) {
      job(b);
      if (bandDone) bandDone(b);
    }
  };
  if (count <= 1) {
    inOrder();
    return;
  }
  static BandWorkers workers(std::max(GetProcessorCoreCount(), 2) - 1);
  std::unique_lock<std::mutex> owner(workers.Owner(), std::try_to_lock);
  if (!owner.owns_lock()) {
    inOrder();
    return;
  }
  workers.Run(count, job, bandDone);
}

}  // namespace resample_detail
}  // namespace rv

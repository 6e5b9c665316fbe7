#include "shape/model/uScSelect.h"

#include <algorithm>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/Round.h"
#include "shape/model/uScPrim.h"

namespace shape {

namespace {

// Calls run(i, j, n) for each run of unique points of the stitch type down a column, rows j to
// j + n - 1 of column i (n may be 0 or less: no point), in the order of the plain loops: seam
// duplicates and the repeated points of a pole are left out.
template <typename Fn>
void ForEachUniqueRun(const TCS& cs, Fn run) {
  const int32_t maxI = cs.CPMaxI;
  const int32_t maxJ = cs.CPMaxJ;
  switch (cs.ScType) {
    case SCTYPE_SPHERE:
      run(0, 0, 1);
      for (int32_t i = 0; i <= maxI - 2; ++i) run(i, 1, maxJ - 2);
      run(0, maxJ - 1, 1);
      break;
    case SCTYPE_TORUS:
      for (int32_t i = 0; i <= maxI - 2; ++i) run(i, 0, maxJ - 1);
      break;
    case SCTYPE_CYLINDER:
      for (int32_t i = 0; i <= maxI - 2; ++i) run(i, 0, maxJ);
      break;
    default:
      for (int32_t i = 0; i < maxI; ++i) run(i, 0, maxJ);
      break;
  }
}

// Calls fn(i, j) for each unique point of the stitch type.
template <typename Fn>
void ForEachUniquePoint(const TCS& cs, Fn fn) {
  ForEachUniqueRun(cs, [&](int32_t i, int32_t first, int32_t n) {
    for (int32_t j = first; j < first + n; ++j) fn(i, j);
  });
}

// The set flags among `n` in a row, eight at a time (a flag is the byte 0 or 1, so the sum of
// eight is the top byte of the word times 0x0101010101010101).
int32_t CountSetFlags(const bool* flags, int32_t n) {
  int32_t count = 0, k = 0;
  for (; k + 8 <= n; k += 8) {
    uint64_t word;
    std::memcpy(&word, flags + k, sizeof word);
    count += static_cast<int32_t>((word * 0x0101010101010101ull) >> 56);
  }
  for (; k < n; ++k) count += flags[k] ? 1 : 0;
  return count;
}

template <bool kOr>
void JoinSeamFlags(const TCS& cs, TASP256& flags) {
  const int32_t maxI = cs.CPMaxI;
  const int32_t lastJ = cs.CPMaxJ - 1;
  auto join = [](bool a, bool b) { return kOr ? (a || b) : (a && b); };
  if (cs.ScType == SCTYPE_SPHERE) {
    bool lower = !kOr;
    bool upper = !kOr;
    for (int32_t i = 0; i < maxI; ++i) {
      lower = join(lower, flags[i][0]);
      upper = join(upper, flags[i][lastJ]);
    }
    for (int32_t i = 0; i < maxI; ++i) {
      flags[i][0] = lower;
      flags[i][lastJ] = upper;
    }
  } else if (cs.ScType == SCTYPE_TORUS) {
    for (int32_t i = 0; i < maxI; ++i) flags[i][0] = flags[i][lastJ] = join(flags[i][0], flags[i][lastJ]);
  }
  if (cs.ScType == SCTYPE_SPHERE || cs.ScType == SCTYPE_TORUS || cs.ScType == SCTYPE_CYLINDER) {
    for (int32_t j = 0; j <= lastJ; ++j)
      flags[0][j] = flags[maxI - 1][j] = join(flags[0][j], flags[maxI - 1][j]);
  }
}

}  // namespace

void FillPointFlags(TASP256& flags, int32_t columns, int32_t rows, bool value) {
  for (int32_t i = 0; i < columns; ++i) std::fill(flags[i], flags[i] + rows, value);
}

void InvertPointFlags(TASP256& flags, int32_t columns, int32_t rows) {
  for (int32_t i = 0; i < columns; ++i)
    for (int32_t j = 0; j < rows; ++j) flags[i][j] = !flags[i][j];
}

void JoinSeamFlagsOr(const TCS& cs, TASP256& flags) { JoinSeamFlags<true>(cs, flags); }
void JoinSeamFlagsAnd(const TCS& cs, TASP256& flags) { JoinSeamFlags<false>(cs, flags); }

void LockSelectedPoints(TCS& cs, int32_t columns, int32_t rows, bool value) {
  for (int32_t i = 0; i < columns; ++i)
    for (int32_t j = 0; j < rows; ++j)
      if (cs.SP[i][j]) cs.RP[i][j] = value;
}

void CountSelectedPoints(TCS& cs) {
  CopySeams(cs, 0);
  int32_t count = 0;
  ForEachUniqueRun(cs,
                   [&](int32_t i, int32_t first, int32_t n) { count += CountSetFlags(&cs.SP[i][first], n); });
  cs.Count = count;
}

TDbl3D SelectionCentroid(const TCS& cs) {
  TDbl3D sum{0, 0, 0};
  int32_t n = 0;
  ForEachUniquePoint(cs, [&](int32_t i, int32_t j) {
    if (!cs.SP[i][j]) return;
    for (int k = 0; k < 3; ++k) sum[k] += cs.CP[i][j][k];
    ++n;
  });
  if (n == 0) return {0, 0, 0};
  return {sum[0] / n, sum[1] / n, sum[2] / n};
}

void CommitShapePoints(TCS& cs) {
  for (int32_t i = 0; i < cs.CPMaxI; ++i) std::copy(cs.CP[i], cs.CP[i] + cs.CPMaxJ, cs.DP[i]);
  cs.R0 = cs.R1;
}

bool PointMovedSinceCommit(const TCS& cs, int32_t i, int32_t j) {
  const TDbl3D& d = cs.DP[i][j];
  const TDbl3D& c = cs.CP[i][j];
  return d[0] != c[0] || d[1] != c[1] || d[2] != c[2];
}

void ClampShapePoints(TCS& cs) {
  // A column's points lie next to each other, so each column is one run of coordinates, clamped
  // two at a time where the processor can.
  const size_t run = static_cast<size_t>(std::max(cs.CPMaxJ, 0)) * 3;
  for (int32_t i = 0; i < cs.CPMaxI; ++i) {
    double* c = &cs.CP[i][0][0];
    size_t k = 0;
#if defined(__SSE2__)
    const __m128d low = _mm_set1_pd(kCoordMin), high = _mm_set1_pd(kCoordMax);
    for (; k + 2 <= run; k += 2) {
      // maxpd answers its second operand when the first is NaN: NaN becomes the low end.
      const __m128d v = _mm_max_pd(_mm_loadu_pd(c + k), low);
      _mm_storeu_pd(c + k, _mm_min_pd(v, high));
    }
#endif
    for (; k < run; ++k) {
      const double v = c[k] > kCoordMin ? c[k] : kCoordMin;  // NaN fails the test
      c[k] = v < kCoordMax ? v : kCoordMax;
    }
  }
}

int32_t CoordToChannelValue(double c) {
  // 128 c is exact; 128 - 128 c is rounded to a double, and its exact error (a two-sum) tells
  // where a value a hair off a half really lies, so it goes to its true neighbour. The rounded
  // value saturates for huge or infinite c: it is brought into a range where 255 minus it cannot
  // overflow.
  const double p = 128.0 * c;
  const double v = 128.0 - p;
  const double back = v - 128.0;
  const double error = (128.0 - (v - back)) + (-p - back);
  constexpr int64_t kBound = int64_t{1} << 40;
  return common::SaturateInt32(255 - std::clamp<int64_t>(common::RoundWithError(v, error), -kBound, kBound));
}

void PointChannelValues(const TACP256& points, int32_t i, int32_t j, int32_t& red, int32_t& green,
                        int32_t& blue) {
  red = CoordToChannelValue(points[i][j][0]);
  green = CoordToChannelValue(points[i][j][1]);
  blue = CoordToChannelValue(points[i][j][2]);
}

bool IsGroupIdFree(const TCS& cs, int32_t id) {
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      if (cs.GP[i][j] == id) return false;
  return true;
}

int32_t NewGroupId(const TCS& cs) {
  // The answer is at most the number of points, so only ids below that need to be looked at.
  const int32_t points = cs.CPMaxI * cs.CPMaxJ;
  std::vector<bool> used(static_cast<size_t>(std::max(points, 0)) + 1, false);
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j) {
      const int32_t id = cs.GP[i][j];
      if (id >= 0 && id <= points) used[id] = true;
    }
  int32_t id = 0;
  while (used[id]) ++id;
  return id;
}

void SetSelectedGroup(TCS& cs, int32_t id) {
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      if (cs.SP[i][j]) cs.GP[i][j] = id;
}

void UngroupSelected(TCS& cs) { SetSelectedGroup(cs, -1); }

void ClearGroups(TCS& cs) {
  for (int32_t i = 0; i < cs.CPMaxI; ++i) std::fill(cs.GP[i], cs.GP[i] + cs.CPMaxJ, -1);
}

void SelectWholeGroups(TCS& cs, bool value) {
  std::vector<int32_t> ids;
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      if (cs.SP[i][j] == value && cs.GP[i][j] != -1) ids.push_back(cs.GP[i][j]);
  if (ids.empty()) return;
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      if (cs.GP[i][j] != -1 && std::binary_search(ids.begin(), ids.end(), cs.GP[i][j])) cs.SP[i][j] = value;
}

}  // namespace shape

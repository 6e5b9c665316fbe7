#pragma once
// The vector form of the kernel resampler's two passes and the worker pool that runs their bands.
// The scalar passes in RVResample.cpp stay the reference: these give the same bytes, because
// the arithmetic is the same integer arithmetic (8-bit fixed-point weights, 32-bit sums, the
// quotient by the weight sum truncated and clamped); only its order and its instructions differ.
// Used by RVResample.cpp only; not part of the library's surface.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "rastova/core/RVResample.h"

namespace rv::resample_detail {

// The widest vector instructions the passes may use: 0 none (scalar passes), 1 SSE4.1, 2 AVX2.
// The processor's own level, lowered by testing::ResampleVectorLevel when that is 0 or above.
int32_t ResampleVectorLevel();

// The quotient of a channel sum by a positive weight sum as a multiply and a shift: the sum is
// clamped into 0 .. 256 * divisor - 1 (below: 0, above: 255), then q = (sum * Magic) >> Shift.
// Exact because 2^Shift >= 256 * divisor^2 (the rounding error of Magic times the largest sum
// stays below one divisor step).
struct TReciprocal {
  uint32_t Magic = 0;
  uint32_t Limit = 0;  // 256 * divisor - 1
};

// The weight lists of one axis laid out for the vector passes. Horizontal lists are dense: the
// terms of one destination position cover consecutive source pixels from First (duplicate
// indices from the reflection at the edges added together, gaps filled with weight 0), padded
// to whole groups. Vertical lists keep their terms (one work row each) in pairs.
struct TVectorAxis {
  bool Usable = false;             // every weight fits 16 bits and every divisor is in range
  int32_t PixelBytes = 0;          // 3 (24-bit rows) or 1 (8-bit rows)
  int32_t Shift = 0;               // one shift for every position of the axis
  std::vector<int32_t> First;      // horizontal: byte offset of the first term's pixel
  std::vector<int32_t> Groups;     // horizontal: whole groups of terms per position
  std::vector<int32_t> Start;      // index of a position's first weight (vertical: first pair)
  std::vector<int16_t> Weights;    // horizontal: group layout; vertical: pairs (w0, w1)
  std::vector<int32_t> Rows;       // vertical: the work row of each term, in pairs
  std::vector<TReciprocal> Divide; // per position
  // Horizontal: positions from SafeCount on read past the end of a source row (whole groups
  // overrun it); they read a copy of the row's last bytes from TailStart, zeros after them,
  // of Reach - TailStart bytes.
  int32_t SafeCount = 0;
  int32_t TailStart = 0;
  int32_t Reach = 0;
};

// Fills lists[from .. to - 1] of an axis whose destination size is lists.size(), as
// BuildContributorLists does for all of them (a kernel filter only).
void BuildContributorRange(std::vector<TContributorList>& lists, int32_t srcSize, TResampleFilter filter, int32_t from,
                           int32_t to);

// Builds the horizontal lists (24-bit or 8-bit rows) from the contributor lists of the axis.
TVectorAxis BuildHorizontalAxis(const std::vector<TContributorList>& lists, int32_t srcSize, int32_t pixelBytes);
// Builds the vertical lists from the contributor lists of the axis (rows clamped to the source).
TVectorAxis BuildVerticalAxis(const std::vector<TContributorList>& lists, int32_t srcSize);

// One source row through the horizontal lists into `dst` (dw pixels). `tail` holds the row's
// bytes from axis.TailStart on, followed by zeros up to axis.Reach (see TailCopy).
void HorizontalRowVector(const uint8_t* src, const uint8_t* tail, uint8_t* dst, int32_t dw, const TVectorAxis& axis,
                         int32_t level);

// The buffer of a row's last bytes for the positions that overrun the row.
class TailCopy {
 public:
  TailCopy(const TVectorAxis& axis, int32_t rowBytes)
      : from_(axis.TailStart), count_(std::max(0, rowBytes - axis.TailStart)),
        bytes_(static_cast<size_t>(std::max(axis.Reach - axis.TailStart, count_)) + 16, 0) {}
  const uint8_t* Of(const uint8_t* row) {
    if (count_ > 0) std::memcpy(bytes_.data(), row + from_, static_cast<size_t>(count_));
    return bytes_.data();
  }

 private:
  int32_t from_, count_;
  std::vector<uint8_t> bytes_;
};
// Destination row y of the vertical pass over `samples` bytes of the work rows.
void VerticalRowVector(uint8_t* const* workRows, const TVectorAxis& axis, int32_t y, int32_t samples, uint8_t* dst,
                       int32_t level);

// Runs job(0) .. job(count - 1) on the process's worker threads, the calling thread taking part,
// and returns when every band has ended; the first exception of a band is rethrown here.
// `bandDone`, when given, is called on the calling thread once per band, in band order, as soon
// as that band has ended. The workers are made once for the process; a call made while another
// caller holds them runs its bands on its own thread, in order.
void RunBands(int32_t count, const std::function<void(int32_t)>& job,
              const std::function<void(int32_t)>& bandDone = nullptr);

}  // namespace rv::resample_detail

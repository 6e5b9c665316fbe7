#include "shape/model/LineMarks.h"

#include <algorithm>

#include "common/Round.h"

namespace shape {

namespace {

constexpr TLineMarks AllMarked() {
  TLineMarks marks{};
  for (auto& m : marks) m = 1;
  return marks;
}

// One cyclic run over `length` flags; flag(k) reads entry k.
template <typename Flag>
bool SingleRun(int32_t length, Flag flag, int32_t& start, int32_t& end) {
  int32_t starts = 0;
  int32_t ends = 0;
  start = -1;
  end = -1;
  for (int32_t r = 0; r < length; ++r) {
    const bool cur = flag(r);
    const int32_t n = common::Mod(r + 1, length);
    const bool next = flag(n);
    if (!cur && next) {
      ++starts;
      start = n;
    } else if (cur && !next) {
      ++ends;
      end = r;
    }
  }
  return starts == 1 && ends == 1;
}

}  // namespace

TLineMarks ColumnMarks = AllMarked();
TLineMarks RowMarks = AllMarked();

void FillLineMarks(TLineMarks& marks, uint8_t value) { marks.fill(value); }

void MarkLineRuns(TLineMarks& marks, int32_t n) {
  for (int32_t i = 0; i < kGridMax; ++i) marks[i] = common::Div(i, n) % 2 == 0 ? 1 : 0;
}

void InvertLineMarks(TLineMarks& marks) {
  for (auto& m : marks) {
    if (m == 0)
      m = 1;
    else if (m == 1)
      m = 0;
  }
}

void CopyLineMarks(const TLineMarks& source, TLineMarks& target) { target = source; }

void ToggleLineMark(uint8_t& entry) { entry = entry == 1 ? 0 : 1; }

int32_t CountLineMarks(const TLineMarks& marks, int32_t n) {
  const int32_t last = std::min(n, kGridMax - 1);
  int32_t count = 0;
  for (int32_t i = 0; i <= last; ++i) count += marks[i] != 0 ? 1 : 0;
  return count;
}

void StepLineIndex(int32_t& index, int32_t step, int32_t bound, int32_t restart) {
  if (index == bound)
    index = restart;
  else
    index += step;
}

void SelectedSpanInColumn(const TCS& cs, int32_t i, int32_t& count, int32_t& first, int32_t& last) {
  count = 0;
  first = -1;
  last = -1;
  for (int32_t j = 0; j < cs.CPMaxJ; ++j) {
    if (!cs.SP[i][j]) continue;
    ++count;
    if (first < 0) first = j;
    last = j;
  }
}

bool SingleRunInColumn(const TCS& cs, int32_t i, int32_t& start, int32_t& end) {
  return SingleRun(
      cs.CPMaxJ - 1, [&](int32_t r) { return cs.SP[i][r]; }, start, end);
}

bool SingleRunInRow(const TCS& cs, int32_t j, int32_t& start, int32_t& end) {
  return SingleRun(
      cs.CPMaxI - 1, [&](int32_t c) { return cs.SP[c][j]; }, start, end);
}

}  // namespace shape

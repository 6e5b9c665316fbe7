#include <gtest/gtest.h>

#include "ShapeTestUtil.h"
#include "shape/model/LineMarks.h"

using namespace shape;
using shape_test::NewShape;

TEST(LineMarks, StartAllMarked) {
  for (int i = 0; i < kGridMax; ++i) EXPECT_TRUE(ColumnMarks[i] == 1 && RowMarks[i] == 1) << i;
}

TEST(LineMarks, RunsInvertToggleCount) {
  TLineMarks m{};
  MarkLineRuns(m, 4);
  for (int i : {0, 1, 2, 3, 8, 11, 16, 19, 256}) EXPECT_EQ(m[i], 1) << i;
  for (int i : {4, 7, 12, 20, 255}) EXPECT_EQ(m[i], 0) << i;
  MarkLineRuns(m, 1);
  EXPECT_EQ(m[0], 1);
  EXPECT_EQ(m[1], 0);
  EXPECT_EQ(m[2], 1);
  EXPECT_EQ(CountLineMarks(m, 32), 17);  // indices 0..32: J = 33 entries
  EXPECT_EQ(CountLineMarks(m, 1000), 129);

  m[0] = 2;
  InvertLineMarks(m);
  EXPECT_EQ(m[0], 2);
  EXPECT_EQ(m[1], 1);
  EXPECT_EQ(m[2], 0);
  ToggleLineMark(m[0]);
  EXPECT_EQ(m[0], 1);
  ToggleLineMark(m[0]);
  EXPECT_EQ(m[0], 0);

  TLineMarks copy{};
  CopyLineMarks(m, copy);
  EXPECT_EQ(copy, m);
  FillLineMarks(copy, 3);
  EXPECT_EQ(CountLineMarks(copy, 256), 257);

  int32_t index = 5;
  StepLineIndex(index, 1, 5, 0);
  EXPECT_EQ(index, 0);
  StepLineIndex(index, 1, 5, 0);
  EXPECT_EQ(index, 1);
  StepLineIndex(index, -1, 0, 31);
  EXPECT_EQ(index, 0);
  StepLineIndex(index, -1, 0, 31);
  EXPECT_EQ(index, 31);
}

TEST(SelectionRuns, ColumnSpanAndCyclicRuns) {
  auto cs = NewShape(SCTYPE_TORUS, 9, 9);
  int32_t count, first, last, start, end;
  SelectedSpanInColumn(*cs, 2, count, first, last);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(first, -1);
  EXPECT_EQ(last, -1);
  EXPECT_FALSE(SingleRunInColumn(*cs, 2, start, end));

  // A run across the seam: rows 6, 7 and 0 (row 8 is the duplicate of row 0).
  cs->SP[2][6] = cs->SP[2][7] = cs->SP[2][0] = cs->SP[2][8] = true;
  SelectedSpanInColumn(*cs, 2, count, first, last);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 8);
  EXPECT_TRUE(SingleRunInColumn(*cs, 2, start, end));
  EXPECT_EQ(start, 6);
  EXPECT_EQ(end, 0);

  cs->SP[2][3] = true;  // a second run
  EXPECT_FALSE(SingleRunInColumn(*cs, 2, start, end));

  for (int j = 0; j < 9; ++j) cs->SP[2][j] = true;  // the whole column
  EXPECT_FALSE(SingleRunInColumn(*cs, 2, start, end));

  cs->SP[3][4] = cs->SP[4][4] = true;
  EXPECT_TRUE(SingleRunInRow(*cs, 4, start, end));
  EXPECT_EQ(start, 2);
  EXPECT_EQ(end, 4);
}

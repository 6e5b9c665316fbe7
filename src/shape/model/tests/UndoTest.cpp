#include <gtest/gtest.h>

#include <memory>

#include "ShapeTestUtil.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/UBuf.h"
#include "shape/model/uScSelect.h"

using namespace shape;
using shape_test::NewShape;

namespace {

class UndoRing : public ::testing::Test {
 protected:
  void SetUp() override {
    cs = NewShape(SCTYPE_SPHERE, 33, 33);
    UndoInit(*ring, *cs);
  }
  // Pushes and tells whether a snapshot was stored.
  bool Pushed() {
    const int32_t before = ring->Current;
    UndoPush(*ring, *cs);
    return ring->Current != before;
  }
  std::unique_ptr<TUBuf> ring = std::make_unique<TUBuf>();
  std::unique_ptr<TCS> cs;
};

}  // namespace

TEST_F(UndoRing, NothingToStepToAfterInit) {
  EXPECT_FALSE(CanUndo(*ring));
  EXPECT_FALSE(CanRedo(*ring));
  const double before = cs->CP[3][3][0];
  cs->CP[3][3][0] = 0.5;
  Undo(*ring, *cs);
  Redo(*ring, *cs);
  EXPECT_EQ(cs->CP[3][3][0], 0.5);
  EXPECT_EQ(ring->Current, 0);
  EXPECT_NE(before, 0.5);
}

TEST_F(UndoRing, WhatTheDifferenceTestSees) {
  EXPECT_FALSE(Pushed());  // unchanged
  EXPECT_FALSE(Pushed());
  cs->DP[4][4] = {0.1, 0.2, 0.3};
  EXPECT_FALSE(Pushed());
  cs->R0.rp = {0.5, 0.5};
  cs->R1.r00 = {0.25, 0.25};
  cs->R1.b3 = {0.25, 0.25};
  EXPECT_FALSE(Pushed());
  cs->CP[40][40] = {1, 1, 1};  // outside the block
  cs->SP[40][40] = true;
  EXPECT_FALSE(Pushed());
  cs->CP[2][2][0] = -0.0 + cs->CP[2][2][0] * 1.0;
  EXPECT_FALSE(Pushed());

  cs->R1.rp[1] = 0.125;
  EXPECT_TRUE(Pushed());
  cs->SP[3][3] = true;
  CountSelectedPoints(*cs);
  EXPECT_TRUE(Pushed());
  cs->RP[5][6] = true;
  EXPECT_TRUE(Pushed());
  cs->GP[5][6] = 0;
  EXPECT_TRUE(Pushed());
  cs->CP[32][31][2] += 1e-12;
  EXPECT_TRUE(Pushed());
  cs->Count = 99;
  EXPECT_TRUE(Pushed());
  EXPECT_FALSE(Pushed());
}

TEST_F(UndoRing, ThreeHundredPushesThenExactly255Undos) {
  for (int k = 1; k <= 300; ++k) {
    cs->CP[1][1][0] = k / 1000.0;
    UndoPush(*ring, *cs);
  }
  int undos = 0;
  while (CanUndo(*ring)) {
    Undo(*ring, *cs);
    ++undos;
    ASSERT_EQ(cs->CP[1][1][0], (300 - undos) / 1000.0);
  }
  EXPECT_EQ(undos, 255);
  Undo(*ring, *cs);  // refused: the slot before is the newest
  EXPECT_EQ(cs->CP[1][1][0], 45 / 1000.0);
  int redos = 0;
  while (CanRedo(*ring)) {
    Redo(*ring, *cs);
    ++redos;
  }
  EXPECT_EQ(redos, 255);
  EXPECT_EQ(cs->CP[1][1][0], 0.3);
}

TEST_F(UndoRing, PushAfterUndoCutsTheRedoChain) {
  for (int k = 1; k <= 3; ++k) {
    cs->CP[1][1][0] = k / 10.0;
    UndoPush(*ring, *cs);
  }
  Undo(*ring, *cs);
  Undo(*ring, *cs);
  EXPECT_EQ(cs->CP[1][1][0], 0.1);
  EXPECT_TRUE(CanRedo(*ring));
  cs->CP[1][1][0] = 0.9;
  UndoPush(*ring, *cs);
  EXPECT_FALSE(CanRedo(*ring));
  // The slot ahead still holds the old third snapshot and is marked filled; Redo must not
  // step into it.
  Redo(*ring, *cs);
  EXPECT_EQ(cs->CP[1][1][0], 0.9);
  Undo(*ring, *cs);
  EXPECT_EQ(cs->CP[1][1][0], 0.1);
  Redo(*ring, *cs);
  EXPECT_EQ(cs->CP[1][1][0], 0.9);
}

TEST_F(UndoRing, UndoAcrossAGridSizeChangeRestoresTheDerivedValues) {
  cs->SP[2][5] = true;
  cs->GP[2][5] = 4;
  cs->DP[2][5] = {0.5, 0.5, 0.5};
  cs->R0.r11 = {0.75, 0.75};
  CountSelectedPoints(*cs);
  UndoPush(*ring, *cs);
  const TDbl3D p = cs->CP[2][5];

  InitShape(*cs, SCTYPE_TORUS, 65, 17);
  UndoPush(*ring, *cs);
  EXPECT_EQ(TextureWidth, 1024);
  EXPECT_EQ(CapRows, 6);

  Undo(*ring, *cs);
  EXPECT_EQ(cs->ScType, SCTYPE_SPHERE);
  EXPECT_EQ(cs->CPMaxI, 33);
  EXPECT_EQ(cs->CPMaxJ, 33);
  EXPECT_EQ(cs->Count, 1);
  EXPECT_EQ(CapRows, 8);
  EXPECT_EQ(TextureWidth, 512);
  EXPECT_EQ(TextureHeight, 512);
  EXPECT_TRUE(EqualDbl3D(cs->CP[2][5], p));
  EXPECT_TRUE(cs->SP[2][5]);
  EXPECT_EQ(cs->GP[2][5], 4);
  EXPECT_TRUE(EqualDbl3D(cs->DP[2][5], {0.5, 0.5, 0.5}));
  EXPECT_EQ(cs->R0.r11[0], 0.75);

  Redo(*ring, *cs);
  EXPECT_EQ(cs->ScType, SCTYPE_TORUS);
  EXPECT_EQ(cs->CPMaxI, 65);
  EXPECT_EQ(TextureWidth, 1024);
  EXPECT_EQ(TextureHeight, 256);
  EXPECT_FALSE(cs->SP[2][5]);
}

TEST_F(UndoRing, SnapshotHoldsOnlyTheBlock) {
  InitShape(*cs, SCTYPE_PLANE, 65, 17);
  UndoPush(*ring, *cs);
  const TUbufState& s = ring->Slots[ring->Current];
  EXPECT_EQ(s.CP.size(), 65u * 17u);
  EXPECT_EQ(s.GP.size(), 65u * 17u);
  // Point (i, j) at i + j * CPMaxI.
  EXPECT_TRUE(EqualDbl3D(s.CP[3 + 5 * 65], cs->CP[3][5]));
}

#pragma once
// What the shape-editor tests share: the program's own shape record set up as a primitive
// (the editors' slots without a shape argument read its size), the settings put back after
// each test, and the screen position of a grid point in a painted pane.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/editors/ShapeEditorGrid.h"
#include "editor/editors/uScKANTEN.h"
#include "editor/tests/PaneTestUtil.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace editor_test {

class ShapeEditorTest : public ::testing::Test {
 protected:
  ShapeEditorTest() : symmetry_(editor::SymmetryMode), section_(editor::CurrentSection) {
    settings::AppSettings.EditLevel = 1;
    settings::AppSettings.ViewLevel = 1;
    settings::AppSettings.Grid = 0;
    settings::AppSettings.PointerSize = 3;
    for (double& r : settings::AxisRatios) r = 1;
    settings::MaxAxisRatio = 1;
  }
  ~ShapeEditorTest() override {
    editor::SymmetryMode = symmetry_;
    editor::CurrentSection = section_;
  }

  // The program's shape as a committed primitive with nothing selected.
  shape::TCS& NewShape(shape::TScType type, int columns, int rows) {
    shape::TCS& cs = shape::CurrentShape;
    shape::InitShape(cs, type, columns, rows);
    shape::CommitShapePoints(cs);
    shape::CountSelectedPoints(cs);
    return cs;
  }

  static QPoint At(const editor::TScBase& e, const shape::TDbl3D& p) {
    const platform::TPoint q = e.PointToScreen(p);
    return {q.X, q.Y};
  }

  static bool AllFinite(const shape::TCS& cs) {
    for (int i = 0; i < cs.CPMaxI; ++i)
      for (int j = 0; j < cs.CPMaxJ; ++j)
        for (int k = 0; k < 3; ++k)
          if (!std::isfinite(cs.CP[i][j][k])) return false;
    return true;
  }

  static void ExpectSame(const shape::TDbl3D& a, const shape::TDbl3D& b, double tolerance = 1e-9) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], tolerance) << "coordinate " << k;
  }

 private:
  SettingsGuard settings_;
  int32_t symmetry_;
  int32_t section_;
};

}  // namespace editor_test

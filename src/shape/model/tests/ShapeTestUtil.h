#pragma once
#include <gtest/gtest.h>
// Helpers shared by the shape model tests. Shape records are 3.5 MB: always on the heap.
#include <memory>

#include "settings/AppSettings.h"
#include "shape/model/uScPrim.h"

namespace shape_test {

inline std::unique_ptr<shape::TCS> NewShape(shape::TScType type, int columns, int rows) {
  auto cs = std::make_unique<shape::TCS>();
  shape::InitShape(*cs, type, columns, rows);
  return cs;
}

// Restores the settings a test changes.
class SettingsGuard {
 public:
  SettingsGuard() : saved_(settings::AppSettings) {}
  ~SettingsGuard() { settings::AppSettings = saved_; }

 private:
  settings::TAppSettings saved_;
};

// Exact and near comparison of two points, coordinate by coordinate.
inline void ExpectEqual3(const shape::TDbl3D& a, const shape::TDbl3D& b) {
  EXPECT_EQ(a[0], b[0]);
  EXPECT_EQ(a[1], b[1]);
  EXPECT_EQ(a[2], b[2]);
}

inline void ExpectNear3(const shape::TDbl3D& a, const shape::TDbl3D& b, double tol = 1e-12) {
  EXPECT_NEAR(a[0], b[0], tol);
  EXPECT_NEAR(a[1], b[1], tol);
  EXPECT_NEAR(a[2], b[2], tol);
}

}  // namespace shape_test

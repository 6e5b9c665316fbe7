// Node lists and the natural cubic spline: coefficients against numpy, interpolation, the short
// lists, the node list's notices and the locale-free display name.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "common/tests/CommaLocale.h"
#include "scene3d/scene/primitives/GLNodes.h"
#include "scene3d/scene/primitives/tests/CurveTables.h"

using namespace gl3d;

namespace {

// A component that counts what its node list tells it.
class NodeOwner : public TGLUpdateAbleComponent {
 public:
  NodeOwner() : TGLUpdateAbleComponent(nullptr) {}
  void NotifyChange(TObject* sender) override {
    ++notices;
    lastSender = sender;
  }
  int notices = 0;
  TObject* lastSender = nullptr;
};

TGLNode* AddNode(TGLNodes& nodes, float x, float y, float z) {
  TGLNode* node = nodes.Add();
  node->SetX(x);
  node->SetY(y);
  node->SetZ(z);
  return node;
}

}  // namespace

TEST(CubicSpline, CoefficientsAndValuesMatchANumpyNaturalSpline) {
  for (const auto& c : gl3d::test::kSplineCases) {
    SCOPED_TRACE("nodes " + std::to_string(c.n));
    TCubicSpline spline(c.y, nullptr, nullptr, nullptr, c.n);
    const TCubicSplineMatrix& rows = spline.CoefficientsX();
    ASSERT_EQ(rows.size(), static_cast<size_t>(c.n - 1));
    EXPECT_TRUE(spline.CoefficientsY().empty()) << "an absent coordinate has no table";
    for (int j = 0; j < c.n - 1; ++j)
      for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(rows[j][k], c.rows[j][k], 1e-5 * std::max(1.0, std::fabs(c.rows[j][k])))
            << "row " << j << " coefficient " << k;
    for (const auto& s : c.samples) {
      float x, y, z;
      spline.SplineXYZ(static_cast<float>(s[0]), x, y, z);
      // The expanded rows cancel in single precision: the tolerance grows with t³.
      const double scale = std::max(1.0, std::pow(std::fabs(s[0]) + 1, 3));
      EXPECT_NEAR(x, s[1], 2e-6 * scale) << "t " << s[0];
      EXPECT_EQ(y, 0);
    }
  }
}

TEST(CubicSpline, TwoPointsGiveAStraightLineAndShortListsGiveZero) {
  const float x[] = {0, 1}, y[] = {0, 2}, z[] = {0, 3};
  TCubicSpline line(x, y, z, nullptr, 2);
  float px, py, pz;
  line.SplineXYZ(0.5f, px, py, pz);
  EXPECT_FLOAT_EQ(px, 0.5f);
  EXPECT_FLOAT_EQ(py, 1);
  EXPECT_FLOAT_EQ(pz, 1.5f);
  EXPECT_NEAR(line.CoefficientsX()[0][0], 0, 1e-6) << "linear: no cubic term";
  EXPECT_NEAR(line.CoefficientsX()[0][1], 0, 1e-6) << "linear: no square term";

  // Three collinear, equally spaced points stay on their line, between and beyond them.
  const float cx[] = {1, 3, 5};
  TCubicSpline collinear(cx, cx, cx, nullptr, 3);
  for (const float t : {-0.5f, 0.25f, 1.0f, 1.7f, 2.0f, 2.5f}) {
    collinear.SplineXYZ(t, px, py, pz);
    EXPECT_NEAR(px, 1 + 2 * t, 1e-5) << t;
  }

  // One point or none forms no segment: an empty table, evaluated as 0.
  for (const int n : {0, 1}) {
    TCubicSpline empty(cx, cx, nullptr, cx, n);
    EXPECT_TRUE(empty.CoefficientsX().empty());
    EXPECT_TRUE(empty.CoefficientsW().empty());
    empty.SplineXYZ(0, px, py, pz);
    EXPECT_EQ(px, 0);
    EXPECT_EQ(py, 0);
  }
  TCubicSpline negative(cx, cx, cx, cx, -3);
  negative.SplineXYZ(1, px, py, pz);
  EXPECT_EQ(px, 0);
}

TEST(CubicSpline, TheNodeListsSplinePassesThroughEveryNode) {
  NodeOwner owner;
  TGLNodes nodes(&owner);
  const float points[][3] = {{0, 0, 0}, {1, 2, -1}, {3, -1, 0.5f}, {2, 4, 2}, {-1, 0, 1}};
  for (const auto& p : points) AddNode(nodes, p[0], p[1], p[2]);
  const auto spline = nodes.CreateNewCubicSpline();
  EXPECT_EQ(spline->NodeCount(), 5);
  EXPECT_TRUE(spline->CoefficientsW().empty()) << "no W table";
  for (int k = 0; k < 5; ++k) {
    float x, y, z;
    spline->SplineXYZ(static_cast<float>(k), x, y, z);
    // The rows are expanded in the global parameter: single precision cancels about k³ ulps.
    const double tolerance = 2e-6 * (k + 1) * (k + 1) * (k + 1);
    EXPECT_NEAR(x, points[k][0], tolerance) << k;
    EXPECT_NEAR(y, points[k][1], tolerance) << k;
    EXPECT_NEAR(z, points[k][2], tolerance) << k;
  }
}

TEST(Nodes, ChangesReachTheOwnerOutsideUpdates) {
  NodeOwner owner;
  TGLNodes nodes(&owner);
  TGLNode* node = nodes.Add();
  EXPECT_GE(owner.notices, 1) << "adding a node is a change";
  EXPECT_EQ(owner.lastSender, &nodes);

  owner.notices = 0;
  node->SetX(2);
  EXPECT_EQ(owner.notices, 1);
  node->SetW(5);
  EXPECT_EQ(owner.notices, 1) << "W is stored only";

  owner.notices = 0;
  nodes.BeginUpdate();
  node->SetY(1);
  nodes.Add()->SetZ(4);
  EXPECT_EQ(owner.notices, 0) << "quiet inside the bracket";
  nodes.EndUpdate();
  EXPECT_GE(owner.notices, 1) << "the bracket's end reports";

  TGLNodes copy(nullptr);  // an owner that cannot be told: nothing happens
  copy.Assign(&nodes);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.Items(0)->X(), 2);
  EXPECT_EQ(copy.Items(0)->W(), 5) << "Assign copies all four";
  EXPECT_EQ(copy.Items(1)->Z(), 4);
  copy.Items(0)->SetX(7);
  EXPECT_EQ(copy.Items(0)->AsAffineVector().X, 7);
}

TEST(Nodes, TheDisplayNameIgnoresTheLocale) {
  TGLNodes nodes(nullptr);
  TGLNode* node = AddNode(nodes, 1, 2.5f, -3);
  EXPECT_EQ(node->GetDisplayName(), "1.0000; 2.5000; -3.0000");
  if (!common::testing_support::EnsureCommaLocale()) {
    ASSERT_FALSE(common::testing_support::CommaLocaleCanBeGenerated()) << "the comma locale is missing";
    GTEST_SKIP() << "no comma-decimal locale on this machine";
  }
  const std::string old = setlocale(LC_ALL, nullptr);
  setlocale(LC_ALL, common::testing_support::kCommaLocale);
  const std::string name = node->GetDisplayName();
  setlocale(LC_ALL, old.c_str());
  EXPECT_EQ(name, "1.0000; 2.5000; -3.0000");
}

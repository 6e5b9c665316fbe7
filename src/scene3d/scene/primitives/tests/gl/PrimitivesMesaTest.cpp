// Primitives on a real driver (Mesa through EGL, headless): a NURBS curve drawn through libGLU
// lies where numpy's de Boor evaluation puts it (make_curve_tables.py), and a sphere and a point
// cloud reach the frame. A missing EGL display fails.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/primitives/GLLines.h"
#include "scene3d/scene/primitives/GLPoints.h"
#include "scene3d/scene/primitives/GLSphere.h"
#include "scene3d/scene/primitives/tests/CurveTables.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"
#include "scene3d/scene/render/tests/gl/SceneFrames.h"

using namespace gl3d;

namespace {

using TFrame = std::vector<uint8_t>;
constexpr int kSize = 256;

class PrimitivesOnMesa : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(TGLEGLContext::Display(), EGL_NO_DISPLAY) << "no EGL display";
    Scene3dSceneStartup();
    GLContextStartup();
    scene = new TGL3DScene(&form);
    camera = scene->Objects()->AddNewChild<TGLCamera>();
    camera->Position()->SetPoint(0, 0, 3);
  }

  // One frame of the scene seen by the camera at (0, 0, 3) looking at the target, on gray.
  TFrame Render(TGLBaseSceneObject* target) {
    camera->SetTargetObject(target);
    auto frames = gl3d::test::RenderSceneFrames(camera, kSize, kSize, 1);
    return frames.empty() ? TFrame{} : frames.back();
  }

  // Where the point (x, y, 0) lands in the frame: the camera's frustum (focal length 50, 96 DPI)
  // seen from distance 3.
  static void Project(double x, double y, double& px, double& py) {
    const double zNear = 50.0 * 2 * 96 / (25.4 * kSize);
    px = (1 + 2 * zNear * x / 3) * kSize / 2;
    py = (1 + 2 * zNear * y / 3) * kSize / 2;
  }

  TComponent form{nullptr};
  TGL3DScene* scene = nullptr;
  TGLCamera* camera = nullptr;
};

double DistanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

}  // namespace

TEST_F(PrimitivesOnMesa, ANurbsCurveLiesWhereDeBoorPutsIt) {
  using namespace gl3d::test;
  auto* lines = scene->Objects()->AddNewChild<TGLLines>();
  lines->SetSplineMode(lsmNURBSCurve);
  lines->SetNodesAspect(lnaInvisible);
  lines->SetNurbsOrder(kNurbsOrder);
  lines->SetNurbsTolerance(1);  // chords of at most a pixel
  for (const float k : kNurbsKnots) lines->NurbsKnots()->Add(k);
  for (const auto& c : kNurbsControl) {
    TGLLinesNode* node = lines->Nodes()->Add();
    node->SetX(c[0]);
    node->SetY(c[1]);
    node->SetZ(c[2]);
  }
  const TFrame frame = Render(lines);
  ASSERT_EQ(frame.size(), static_cast<size_t>(kSize) * kSize * 4);

  std::vector<std::pair<double, double>> curve;
  for (const auto& p : kNurbsCurve) {
    double px, py;
    Project(p[0], p[1], px, py);
    curve.emplace_back(px, py);
  }
  auto distanceToCurve = [&](double x, double y) {
    double best = 1e9;
    for (size_t i = 1; i < curve.size(); ++i)
      best = std::min(best, DistanceToSegment(x, y, curve[i - 1].first, curve[i - 1].second, curve[i].first,
                                              curve[i].second));
    return best;
  };

  // Every lit pixel lies on the curve...
  std::vector<std::pair<int, int>> lit;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      if (frame[(static_cast<size_t>(y) * kSize + x) * 4] > 200) lit.emplace_back(x, y);
  ASSERT_GT(lit.size(), 100u) << "the curve was drawn";
  double worst = 0;
  for (const auto& [x, y] : lit) worst = std::max(worst, distanceToCurve(x + 0.5, y + 0.5));
  EXPECT_LE(worst, 1.0);
  // ... and every point of the curve has a lit pixel next to it (the rasteriser may leave out the
  // last pixel of a line strip).
  for (size_t i = 0; i < curve.size(); i += 5) {
    double nearest = 1e9;
    for (const auto& [x, y] : lit)
      nearest = std::min(nearest, std::hypot(x + 0.5 - curve[i].first, y + 0.5 - curve[i].second));
    EXPECT_LE(nearest, 1.5) << "curve point " << i;
  }
}

TEST_F(PrimitivesOnMesa, ASphereAndAPointCloudReachTheFrame) {
  auto* sphere = scene->Objects()->AddNewChild<TGLSphere>();
  sphere->Material()->SetMaterialOptions(MaterialOptionBit(moNoLighting));
  sphere->Material()->FrontProperties()->Diffuse()->SetColor({1, 0, 0, 1});
  auto* points = scene->Objects()->AddNewChild<TGLPoints>();
  points->Positions()->Clear();
  points->Positions()->Add({0.8f, 0.8f, 0});
  points->Colors()->Add({0, 1, 0, 1});
  points->SetSize(5);
  const TFrame frame = Render(sphere);
  auto pixel = [&](double x, double y) {
    double px, py;
    Project(x, y, px, py);
    return &frame[(static_cast<size_t>(py) * kSize + static_cast<size_t>(px)) * 4];
  };
  EXPECT_GT(pixel(0, 0)[0], 200) << "the sphere's centre is red";
  EXPECT_LT(pixel(0, 0)[1], 50);
  EXPECT_EQ(pixel(0, 0.6)[0], 128) << "beyond the radius is background";
  EXPECT_GT(pixel(0.8, 0.8)[1], 200) << "the point is green";
}

// The 3D mouse's camera step on a camera orbiting its target in a scene whose one buffer counts the
// change notices (each notice repaints the 3D view).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "editor/input/SpaceMouse.h"
#include "scene3d/scene/core/tests/SceneTestSupport.h"
#include "settings/AppSettings.h"

using namespace gl3d;
using editor::PollSpaceMouse;
using platform::Sp3dState;

namespace {

// The editor's camera: focal length 100 at (0, 0, 3), aimed at an object at the origin.
struct TCameraFixture {
  TCameraFixture() {
    scene->AddBuffer(&buffer);
    camera->SetTargetObject(target);
    camera->SetFocalLength(100);
    camera->Position()->SetPoint(0, 0, 3);
    camera->GetMatrix();
    buffer.notices = 0;
  }
  ~TCameraFixture() {
    scene->RemoveBuffer(&buffer);
    settings::AppSettings = settings::TAppSettings();
  }
  // Axes as the default settings map them: 1 zooms, 3 pitches, 4 turns.
  static Sp3dState State(int zoom, int pitch, int turn, bool reset = false) {
    Sp3dState s;
    s.Axes[1] = zoom;
    s.Axes[3] = pitch;
    s.Axes[4] = turn;
    s.ResetKey = reset;
    return s;
  }
  TVector4f Position() const { return camera->Position()->AsVector(); }

  TComponent form{nullptr};
  TGL3DScene* scene = new TGL3DScene(&form);
  test::TCountingBuffer buffer;
  TGLBaseSceneObject* target = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
  TGLCamera* camera = scene->Objects()->AddNewChild<TGLCamera>();
};

}  // namespace

TEST(PollSpaceMouse, TheResetKeyRestoresTheFormsCamera) {
  TCameraFixture f;
  f.camera->SetFocalLength(77);
  f.camera->MoveAroundTarget(30, 40);
  PollSpaceMouse(*f.camera, TCameraFixture::State(2, 2, 2, true));
  EXPECT_EQ(f.camera->FocalLength(), 100);
  EXPECT_TRUE(f.camera->Position()->Equals({0, 0, 3, 1}));
}

TEST(PollSpaceMouse, ZoomStepsUntilTheClampAndThenRests) {
  TCameraFixture f;
  const double step = std::pow(1.02, 1.0 / 60);  // "PreViewZoom" 1.02, axis value 2
  PollSpaceMouse(*f.camera, TCameraFixture::State(2, 0, 0));
  EXPECT_FLOAT_EQ(f.camera->FocalLength(), static_cast<float>(100 * step));
  EXPECT_TRUE(f.camera->Position()->Equals({0, 0, 3, 1})) << "a zoom does not orbit";
  int passes = 1;
  float last = f.camera->FocalLength();
  while (f.camera->FocalLength() < 300 && passes < 10000) {
    PollSpaceMouse(*f.camera, TCameraFixture::State(2, 0, 0));
    ASSERT_GT(f.camera->FocalLength(), last);
    last = f.camera->FocalLength();
    ++passes;
  }
  EXPECT_EQ(f.camera->FocalLength(), 300);
  EXPECT_NEAR(passes, std::log(3.0) / std::log(step), 2);
  // Held at the limit, the device changes nothing more, and the scene hears of nothing.
  f.buffer.notices = 0;
  PollSpaceMouse(*f.camera, TCameraFixture::State(2, 0, 0));
  EXPECT_EQ(f.camera->FocalLength(), 300);
  EXPECT_EQ(f.buffer.notices, 0);
}

TEST(PollSpaceMouse, TheFocalLengthClamp) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double zoom;
    int axis;
    float start;
    float expected;
  } cases[] = {
      {1.02, -2, 50.01f, 50},                      // below 50
      {1.02, 2, 299.99f, 300}, {nan, 1, 100, 50},  // NaN falls to the lower bound
      {0, -1, 100, 300},                           // 0 ^ negative is infinite
      {0, 1, 100, 50},
  };
  for (const auto& c : cases) {
    TCameraFixture f;
    settings::AppSettings.PreViewZoom = c.zoom;
    f.camera->SetFocalLength(c.start);
    PollSpaceMouse(*f.camera, TCameraFixture::State(c.axis, 0, 0));
    EXPECT_EQ(f.camera->FocalLength(), c.expected) << c.zoom << " " << c.axis << " " << c.start;
  }
}

TEST(PollSpaceMouse, OrbitsByTheStepsInDegrees) {
  TCameraFixture f;
  const double radians = 0.05 * M_PI / 180;
  // Axis 3 at +1 pitches by -0.05 degrees: the camera rises over the target.
  PollSpaceMouse(*f.camera, TCameraFixture::State(0, 1, 0));
  TVector4f p = f.Position();
  EXPECT_NEAR(p.Y, 3 * std::sin(radians), 2e-6);
  EXPECT_NEAR(p.X, 0, 1e-6);
  EXPECT_NEAR(std::sqrt(p.X * p.X + p.Y * p.Y + p.Z * p.Z), 3, 2e-6);
  EXPECT_GE(f.buffer.notices, 1);
  // Axis 4 at -2 turns by 0.1 degrees about the up axis.
  TCameraFixture g;
  PollSpaceMouse(*g.camera, TCameraFixture::State(0, 0, -2));
  p = g.Position();
  EXPECT_NEAR(std::fabs(p.X), 3 * std::sin(2 * radians), 2e-6);
  EXPECT_NEAR(p.Y, 0, 1e-6);
  EXPECT_EQ(g.camera->FocalLength(), 100);
}

TEST(PollSpaceMouse, ADeviceAtRestOrNoDeviceLeavesTheSceneAlone) {
  TCameraFixture f;
  Sp3dState rest;
  rest.Axes[0] = 2;  // an axis the settings do not use
  rest.Axes[2] = -2;
  rest.Axes[5] = 1;
  PollSpaceMouse(*f.camera, rest);
  // Settings that name no axis read as 0.
  settings::AppSettings.FocalLength = 9;
  settings::AppSettings.AroundTargetX = -1;
  settings::AppSettings.AroundTargetY = 6;
  PollSpaceMouse(*f.camera, TCameraFixture::State(2, 2, 2));
  // Without a device nothing is read.
  ASSERT_FALSE(platform::Sp3dPresent);
  PollSpaceMouse(*f.camera);
  EXPECT_EQ(f.buffer.notices, 0);
  EXPECT_EQ(f.camera->FocalLength(), 100);
  EXPECT_TRUE(f.camera->Position()->Equals({0, 0, 3, 1}));
}

// The scene component, the camera, the lights and the fog on the recording context: buffers and
// their shared context, notices, ray picking, lens settings and projections, the light slots
// sent by SetupLights, and the fog calls.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "SceneTestSupport.h"
#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/core/GLFogEnvironment.h"

using namespace gl3d;
using gl3d::test::TCountingBuffer;

namespace {

void ExpectSceneMatrix(const TMatrix4f& a, const TMatrix4f& b, float tol) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(a[i][j], b[i][j], tol) << "[" << i << "][" << j << "]";
}

}  // namespace

TEST(Scene, DefaultsRootAndUpdates) {
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  EXPECT_EQ(scene->Objects()->Name(), "ObjectRoot");
  EXPECT_EQ(scene->Objects()->Scene(), scene);
  EXPECT_TRUE(scene->Objects()->HasStyle(sfDirectDraw));
  EXPECT_EQ(scene->Lights().Count(), 8);
  EXPECT_EQ(scene->ObjectsSorting(), osRenderBlendedLast);
  EXPECT_EQ(scene->VisibilityCulling(), vcNone);
  scene->SetObjectsSorting(osNone);
  scene->SetObjectsSorting(osInherited);
  EXPECT_EQ(scene->ObjectsSorting(), osRenderBlendedLast);
  scene->SetVisibilityCulling(vcObjectBased);
  scene->SetVisibilityCulling(vcInherited);
  EXPECT_EQ(scene->VisibilityCulling(), vcNone);
  EXPECT_THROW(TGL3DSceneRootObject{&form}, common::EAssertionFailed);
  EXPECT_THROW(scene->EndUpdate(), common::EAssertionFailed);

  // Notices reach every buffer in order, none while the scene updates, one when it ends.
  TCountingBuffer first, second;
  scene->AddBuffer(&first);
  scene->AddBuffer(&second);
  scene->AddBuffer(&first);
  EXPECT_EQ(scene->Buffers()->Count(), 2);
  auto* cube = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
  EXPECT_EQ(first.notices, second.notices);
  first.notices = second.notices = 0;
  scene->BeginUpdate();
  cube->WriteVisible(false);
  cube->Position()->SetPoint(1, 1, 1);
  EXPECT_EQ(first.notices, 0);
  scene->EndUpdate();
  EXPECT_EQ(first.notices, 1);
  EXPECT_EQ(second.notices, 1);
  scene->RemoveBuffer(&first);
  scene->RemoveBuffer(&second);
  EXPECT_EQ(scene->Buffers(), nullptr);
  cube->WriteVisible(true);  // no buffer left: nobody to tell
  delete scene;
  EXPECT_EQ(form.ComponentCount(), 0);
}

TEST(Scene, BuffersShareTheFirstBuffersContext) {
  TGLRecordingContext a, b, c;
  for (TGLContext* ctx :
       {static_cast<TGLContext*>(&a), static_cast<TGLContext*>(&b), static_cast<TGLContext*>(&c)})
    ctx->CreateContext(nullptr);
  TCountingBuffer first(&a), second(&b), third(&c);
  TGL3DScene scene(nullptr);
  scene.AddBuffer(&first);
  EXPECT_EQ(scene.BaseContext(), &a);
  scene.AddBuffer(&second);
  EXPECT_EQ(scene.BaseContext(), &a);
  const std::vector<TGLContext*> shared = b.ShareList();
  EXPECT_NE(std::find(shared.begin(), shared.end(), &a), shared.end());
  scene.RemoveBuffer(&first);
  EXPECT_EQ(scene.BaseContext(), &b);
  scene.AddBuffer(&third);
  const std::vector<TGLContext*> third_shared = c.ShareList();
  EXPECT_NE(std::find(third_shared.begin(), third_shared.end(), &b), third_shared.end());
  scene.RemoveBuffer(&second);
  scene.RemoveBuffer(&third);
  EXPECT_EQ(scene.BaseContext(), nullptr);
}

TEST(Scene, RayCastFindsTheNearestVisibleObject) {
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  auto* far = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
  far->Position()->SetPoint(0, 0, -10);
  auto* near = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
  near->Position()->SetPoint(0, 0, -5);
  auto* hidden = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
  hidden->Position()->SetPoint(0, 0, -2);
  auto* hiddenChild = hidden->AddNewChild<TGLBaseSceneObject>();
  hiddenChild->Position()->SetPoint(0, 0, -1);  // absolute z -3, in front of `near`
  hidden->WriteVisible(false);
  auto* aside = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
  aside->Position()->SetPoint(5, 0, -1);

  const TVector4f start{0, 0, 0, 1}, down{0, 0, -1, 0};
  TVector4f point, normal;
  EXPECT_EQ(scene->RayCastIntersect(start, down, &point, &normal), near);
  EXPECT_NEAR(point.Z, -5 + std::sqrt(0.75f), 1e-5);
  EXPECT_NEAR(normal.Z, 1, 1e-6);
  hidden->WriteVisible(true);
  EXPECT_EQ(scene->RayCastIntersect(start, down), hidden);
  // Starting inside a box: its object is still a candidate.
  EXPECT_EQ(scene->RayCastIntersect({5, 0, -1, 1}, {1, 0, 0, 0}), aside);
  EXPECT_EQ(scene->RayCastIntersect(start, {0, 1, 0, 0}), nullptr);
  delete scene;
}

TEST(Scene, StartupRegistersTheClassesStoredDescriptionsName) {
  common::TStartupSequence sequence;
  AddScene3dSceneSteps(sequence);
  sequence.Startup();
  EXPECT_TRUE(sequence.IsStarted("scene3d_scene"));
  for (const char* name : {"TGLCoordinates2", "TGLCoordinates3", "TGLCoordinates4", "TGLCamera",
                           "TGLLightSource", "TGL3DScene"}) {
    const std::unique_ptr<TPersistent> made = CreateRegisteredClass(name);
    EXPECT_STREQ(made->ClassName(), name);
  }
  EXPECT_GT(CounterFrequency(), 0);
  sequence.Shutdown();
}

// ---- Camera ----

TEST(Camera, LensSettingsAndFieldOfView) {
  TGLCamera camera(nullptr);
  EXPECT_TRUE(camera.Direction()->Equals({0, 0, -1, 0}));
  struct TCase {
    void (TGLCamera::*set)(float);
    float (TGLCamera::*get)() const;
    float written, stored;
  };
  const TCase cases[] = {
      {&TGLCamera::SetFocalLength, &TGLCamera::FocalLength, 0, 1},
      {&TGLCamera::SetFocalLength, &TGLCamera::FocalLength, -3, 1},
      {&TGLCamera::SetFocalLength, &TGLCamera::FocalLength, 80, 80},
      {&TGLCamera::SetSceneScale, &TGLCamera::SceneScale, -2, -2},
      {&TGLCamera::SetSceneScale, &TGLCamera::SceneScale, 0, 1},
      {&TGLCamera::SetNearPlaneBias, &TGLCamera::NearPlaneBias, 0, 1},
      {&TGLCamera::SetNearPlaneBias, &TGLCamera::NearPlaneBias, 0.5f, 0.5f},
      {&TGLCamera::SetDepthOfView, &TGLCamera::DepthOfView, 90, 90},
  };
  for (const TCase& c : cases) {
    (camera.*c.set)(c.written);
    EXPECT_EQ((camera.*c.get)(), c.stored) << c.written;
  }
  camera.SetFocalLength(100);
  EXPECT_NEAR(camera.GetFieldOfView(400), 126.87f, 0.005);
  camera.SetFieldOfView(90, 400);
  EXPECT_NEAR(camera.FocalLength(), 200, 1e-4);
  EXPECT_NEAR(camera.GetFieldOfView(400), 90, 1e-4);
}

TEST(Camera, TargetLinkIsDroppedWhenTheTargetGoes) {
  TComponent form(nullptr);
  TGL3DScene scene(&form);
  auto* camera = scene.Objects()->AddNewChild<TGLCamera>();
  auto* target = scene.Objects()->AddNewChild<TGLBaseSceneObject>();
  camera->SetTargetObject(target);
  // Only a removal of the target itself is heard.
  camera->HandleNotification(target, opInsert);
  camera->HandleNotification(scene.Objects(), opRemove);
  EXPECT_EQ(camera->TargetObject(), target);
  delete target;
  EXPECT_EQ(camera->TargetObject(), nullptr);
  camera->Position()->SetPoint(0, 0, 3);
  camera->MoveAroundTarget(10, 10);  // no target: nothing
  EXPECT_TRUE(camera->Position()->Equals({0, 0, 3, 1}));
  // A camera that goes first unlinks itself from its target.
  auto* other = scene.Objects()->AddNewChild<TGLBaseSceneObject>();
  camera->SetTargetObject(other);
  delete camera;
  delete other;
}

TEST(Camera, AssignCopiesTheLensAndAimsAtTheSourcesTarget) {
  TComponent form(nullptr);
  TGL3DScene scene(&form);
  auto* target = scene.Objects()->AddNewChild<TGLBaseSceneObject>();
  auto* source = scene.Objects()->AddNewChild<TGLCamera>();
  source->Position()->SetPoint(0, 4, 0);
  source->SetFocalLength(70);
  source->SetCameraStyle(csOrthogonal);
  source->SetTargetObject(target);
  TGLCamera loose(nullptr);
  loose.Assign(source);
  EXPECT_EQ(loose.FocalLength(), 70);
  EXPECT_EQ(loose.CameraStyle(), csOrthogonal);
  EXPECT_TRUE(loose.Position()->Equals({0, 4, 0, 1}));
  EXPECT_EQ(loose.TargetObject(), nullptr);
  EXPECT_NEAR(loose.Direction()->Y(), -1, 1e-6);  // aimed at the source's target
  auto* placed = scene.Objects()->AddNewChild<TGLCamera>();
  placed->Assign(source);
  EXPECT_EQ(placed->TargetObject(), target);
  loose.Assign(nullptr);  // nothing
}

using CameraProjection = RecordingFixture;

TEST_F(CameraProjection, StylesLoadTheirMatrices) {
  TGLCamera camera(nullptr);
  camera.SetFocalLength(100);
  camera.SetDepthOfView(90);
  TGLTransformation& t = ctx->PipelineTransformation();
  const TRectangle viewport{0, 0, 400, 454};
  auto project = [&](TGLCameraStyle style, int width = 400, int height = 454) {
    camera.SetCameraStyle(style);
    t.ResetToIdentity();
    camera.ApplyPerspective({0, 0, width, height}, width, height, 96);
    return t.GetProjectionMatrix();
  };

  // The editor's view: near 1.66499, far 91.66499, left/right ∓0.440529, bottom/top ∓0.5.
  const TMatrix4f editor = project(csPerspective);
  ExpectSceneMatrix(editor, CreateFrustumMatrix(-0.440529f, 0.440529f, -0.5f, 0.5f, 1.66499f, 91.66499f), 2e-5f);
  EXPECT_NEAR(camera.NearPlane(), 1.66499f, 5e-6);
  EXPECT_NEAR(camera.ViewPortRadius(), 0.400232f, 1e-6);
  // Twice the focal length: twice the near distance, half the tangent of the field of view.
  camera.SetFocalLength(200);
  const TMatrix4f doubled = project(csPerspective);
  EXPECT_NEAR(camera.NearPlane(), 2 * 1.66499f, 1e-5);
  EXPECT_NEAR(doubled[0][0], 2 * editor[0][0], 1e-4);  // 2n / (r - l): the tangent halves
  EXPECT_NEAR(doubled[1][1], 2 * editor[1][1], 1e-4);
  camera.SetFocalLength(100);

  ExpectSceneMatrix(project(csOrthogonal),
               CreateOrthoMatrix(-0.440529f, 0.440529f, -0.5f, 0.5f, 1.66499f, 91.66499f), 2e-5f);
  ExpectSceneMatrix(project(csOrtho2D), CreateOrthoMatrix(0, 400, 0, 454, -1, 1), 0);
  EXPECT_EQ(camera.NearPlane(), -1);
  const TMatrix4f infinite = project(csInfinitePerspective);
  EXPECT_NEAR(infinite[2][2], 0.0001f - 1, 1e-7);
  EXPECT_EQ(infinite[2][3], -1);
  EXPECT_NEAR(infinite[3][2], (0.0001f - 2) * 1.66499f, 1e-5);
  EXPECT_EQ(infinite[3][3], 0);

  // Keeping the vertical field of view: a wider viewport keeps m[1][1] and widens x.
  camera.SetKeepFOVMode(ckmVerticalFOV);
  const TMatrix4f narrow = project(csPerspectiveKeepFOV, 400, 454);
  const TMatrix4f wide = project(csPerspectiveKeepFOV, 800, 454);
  EXPECT_NEAR(wide[1][1], narrow[1][1], 1e-5);
  EXPECT_NEAR(wide[0][0], narrow[0][0] / 2, 1e-5);

  // A custom style calls its event; an empty viewport does nothing.
  int calls = 0;
  camera.OnCustomPerspective = [&calls](const TRectangle&, int w, int h, int, float& radius) {
    ++calls;
    EXPECT_FLOAT_EQ(radius, std::sqrt(float(w * w + h * h)) / 2);
    radius = 7;
  };
  project(csCustom);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(camera.ViewPortRadius(), 7);
  t.ResetToIdentity();
  camera.ApplyPerspective(viewport, 0, 454, 96);
  ExpectSceneMatrix(t.GetProjectionMatrix(), IdentityMatrix4f, 0);
}

TEST_F(CameraProjection, ViewLooksAlongDirectionOrAtTheTarget) {
  TComponent form(nullptr);
  TGL3DScene scene(&form);
  auto* camera = scene.Objects()->AddNewChild<TGLCamera>();
  camera->Position()->SetPoint(1, 2, 3);
  TGLTransformation& t = ctx->PipelineTransformation();
  t.ResetToIdentity();
  camera->Apply();
  ExpectSceneMatrix(t.GetViewMatrix(), CreateLookAtMatrix({1, 2, 3, 1}, {1, 2, 2, 1}, {0, 1, 0, 0}), 1e-6f);
  EXPECT_TRUE(VectorEquals4f(camera->LastDirection(), {0, 0, -1, 0}));

  auto* target = scene.Objects()->AddNewChild<TGLBaseSceneObject>();
  target->Position()->SetPoint(1, 2, -7);
  camera->SetTargetObject(target);
  t.ResetToIdentity();
  camera->Apply();
  ExpectSceneMatrix(t.GetViewMatrix(), CreateLookAtMatrix({1, 2, 3, 1}, {1, 2, -7, 1}, {0, 1, 0, 0}), 1e-6f);
  int calls = 0;
  camera->OnApplyView = [&calls](TObject*) { ++calls; };
  t.ResetToIdentity();
  camera->Apply();
  EXPECT_EQ(calls, 1);
  ExpectSceneMatrix(t.GetViewMatrix(), IdentityMatrix4f, 0);
}

// ---- Lights ----

TEST(LightSource, PropertyWrites) {
  TGLLightSource light(nullptr);
  struct TCase {
    float written, stored;
  };
  for (const TCase& c : {TCase{45, 45}, TCase{120, 45}, TCase{-1, 45}, TCase{180, 180}, TCase{90, 90}}) {
    light.SetSpotCutOff(c.written);
    EXPECT_EQ(light.SpotCutOff(), c.stored) << c.written;
  }
  TGLCoordinates3 spot(nullptr, {1, 2, 3, 9}, ckVector);
  light.SetSpotDirection(spot);
  EXPECT_TRUE(light.SpotDirection()->Equals({1, 2, 3, 0}));
  TGLColor red(nullptr, {1, 0, 0, 1});
  light.SetSpecular(red);
  EXPECT_TRUE(VectorEquals4f(light.Specular()->Color(), {1, 0, 0, 1}));
  EXPECT_EQ(light.GetHandle(*std::make_unique<TRenderContextInfo>()), 0u);
  EXPECT_EQ(light.GenerateSilhouette({{1, 0, 0}, {0, 0, 0}, ssOmni, false}), nullptr);
}

using Lights = RecordingFixture;

TEST_F(Lights, SetupLightsSendsTheSlotsItIsToldOf) {
  // The positions and spot directions handed to glLightfv, read when the call is made.
  std::vector<TVector4f> sent;
  rec.OnCall = [&sent](const TGLRecordedCall& call) {
    if (call.Name == "GetIntegerv" && call.Args[0].I == GL_MAX_LIGHTS)
      *static_cast<GLint*>(const_cast<void*>(call.Args[1].P)) = 8;
    if (call.Name == "Lightfv" && (call.Args[1].I == GL_POSITION || call.Args[1].I == GL_SPOT_DIRECTION)) {
      const float* v = static_cast<const float*>(call.Args[2].P);
      sent.push_back({v[0], v[1], v[2], call.Args[1].I == GL_POSITION ? v[3] : 0});
    }
    return TGLArgValue{};
  };
  TComponent form(nullptr);
  TGL3DScene scene(&form);
  std::vector<TGLLightSource*> lights;
  for (int i = 0; i < 6; ++i) lights.push_back(scene.Objects()->AddNewChild<TGLLightSource>());
  for (int i = 1; i <= 4; ++i) delete lights[static_cast<size_t>(i)];
  lights[5]->Position()->SetPoint(4, 5, 6);
  scene.SetupLights(8);
  EXPECT_TRUE(S().GetLightEnabling(5));
  EXPECT_EQ(S().GetLightPosition(5).X, 4);

  // Four slots: light 0 again (its state is cached, only the position call goes out), slot 5 is
  // switched off and never sent.
  rec.Clear();
  sent.clear();
  scene.SetupLights(4);
  EXPECT_EQ(rec.Log(),
            "LoadMatrixf([1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1]); Lightfv(16384, 4611, ptr); Disable(16389); "
            "LoadMatrixf([1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(VectorEquals4f(sent[0], {0, 0, 0, 1}));  // GL_POSITION of light 0
  EXPECT_FALSE(S().GetLightEnabling(5));

  // A parallel light sends its direction with its own matrix; a spot with a cone its direction.
  lights[0]->SetLightStyle(lsParallel);
  lights[0]->Position()->SetPoint(0, 7, 0);
  rec.Clear();
  sent.clear();
  scene.SetupLights(1);
  EXPECT_NE(rec.Log().find("LoadMatrixf([1 0 0 0 0 1 0 0 0 0 1 0 0 7 0 1]); Lightfv(16384, 4611, ptr)"),
            std::string::npos);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(VectorEquals4f(sent[0], {0, 0, -1, 0}));  // the spot direction as the position
  EXPECT_EQ(S().GetLightPosition(0).W, 0);
  lights[0]->SetLightStyle(lsSpot);
  lights[0]->SetSpotCutOff(30);
  rec.Clear();
  sent.clear();
  scene.SetupLights(1);
  EXPECT_NE(rec.Log().find("Lightfv(16384, 4611, ptr); Lightfv(16384, 4612, ptr)"), std::string::npos);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_TRUE(VectorEquals4f(sent[1], {0, 0, -1, 0}));  // GL_SPOT_DIRECTION
  EXPECT_EQ(S().GetSpotCutoff(0), 30);
  lights[0]->SetShining(false);
  scene.SetupLights(1);
  EXPECT_FALSE(S().GetLightEnabling(0));
}

// ---- Fog ----

using Fog = RecordingFixture;

TEST_F(Fog, ApplyFogSendsTheSettings) {
  TCountingBuffer buffer(ctx.get());
  TGLFogEnvironment fog(&buffer);
  EXPECT_TRUE(fog.IsAtDefaultValues());
  TGLColor colour(nullptr, {0.5f, 0.5f, 0.5f, 0.25f});
  fog.SetFogColor(&colour);
  EXPECT_TRUE(fog.IsAtDefaultValues());  // the colour takes no part
  fog.SetFogMode(fmExp);
  EXPECT_FALSE(fog.IsAtDefaultValues());
  EXPECT_GE(buffer.notices, 2);
  TVector4f fogColour{};
  rec.OnCall = [&fogColour](const TGLRecordedCall& call) {
    if (call.Name == "Fogfv") fogColour = *static_cast<const TVector4f*>(call.Args[1].P);
    return TGLArgValue{};
  };
  rec.Clear();
  fog.ApplyFog();
  EXPECT_EQ(rec.Log(),
            "Fogi(2917, 2048); Fogf(2914, 0.25); Fogfv(2918, ptr); Fogf(2915, 10); "
            "Fogf(2916, 1000); GetIntegerv(34138, ptr)");
  EXPECT_TRUE(VectorEquals4f(fogColour, {0.5f, 0.5f, 0.5f, 0.25f}));
  fog.SetFogMode(fmExp2);
  fog.SetFogDistance(fdEyeRadial);
  rec.Clear();
  fog.ApplyFog();
  EXPECT_EQ(rec.Calls.front().Text(), "Fogi(2917, 2049)");
  EXPECT_EQ(rec.Calls.back().Text(), "Fogi(34138, 34139)");  // GL_EYE_RADIAL_NV
  ctx->GL().NV_fog_distance = false;
  rec.Clear();
  fog.ApplyFog();
  EXPECT_EQ(rec.Calls.back().Name, "Fogf");

  // A copy takes every setting; a buffer without a context gets nothing; only buffers own fog.
  TCountingBuffer bare;
  TGLFogEnvironment copy(&bare);
  copy.Assign(&fog);
  EXPECT_EQ(copy.FogMode(), fmExp2);
  EXPECT_EQ(copy.FogColor()->Alpha(), 0.25f);
  EXPECT_EQ(bare.notices, 1);
  rec.Clear();
  copy.ApplyFog();
  EXPECT_TRUE(rec.Calls.empty());
  TPersistent notABuffer;
  EXPECT_THROW(TGLFogEnvironment{&notABuffer}, common::EAssertionFailed);
  EXPECT_THROW(copy.Assign(&colour), EConvertError);
}

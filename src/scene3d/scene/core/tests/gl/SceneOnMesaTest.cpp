// The camera, the lights and the fog on a real driver (Mesa through EGL, headless): the
// editor's camera loads the very matrices that glFrustum and gluLookAt make, SetupLights reaches
// GL's eight lights, and ApplyFog sets GL's fog state. A missing EGL display fails.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/core/GLFogEnvironment.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "scene3d/scene/core/tests/SceneTestSupport.h"

using namespace gl3d;
using gl3d::test::TCountingBuffer;

namespace {

class SceneOnMesa : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(TGLEGLContext::Display(), EGL_NO_DISPLAY) << "no EGL display";
    context = std::make_unique<TGLEGLContext>();
    context->SetDepthBits(24);
    context->CreateContext(nullptr);
    context->Activate();
  }
  void TearDown() override {
    if (context->GetActive()) context->Deactivate();
    context.reset();
  }
  TGLExtensionsAndEntryPoints& GL() { return context->GL(); }

  // GL keeps matrices column-major with column vectors, ours row-major with row vectors: the 16
  // values in memory are the same.
  static void ExpectSameMatrix(const TMatrix4f& ours, const GLfloat* gl, float tolerance, const char* what) {
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        EXPECT_NEAR(ours[i][j], gl[i * 4 + j], tolerance * std::fmax(1.0f, std::fabs(gl[i * 4 + j])))
            << what << " [" << i << "][" << j << "]";
  }

  std::unique_ptr<TGLEGLContext> context;
};

}  // namespace

TEST_F(SceneOnMesa, EditorCameraMatchesGlFrustumAndGluLookAt) {
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  auto* target = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
  auto* camera = scene->Objects()->AddNewChild<TGLCamera>();
  camera->SetFocalLength(100);
  camera->SetDepthOfView(90);
  camera->Position()->SetPoint(0, 0, 3);
  camera->SetTargetObject(target);

  TGLTransformation& t = context->PipelineTransformation();
  t.ResetToIdentity();
  camera->ApplyPerspective({0, 0, 400, 454}, 400, 454, 96);
  camera->Apply();
  // The figures of the editor's view.
  EXPECT_NEAR(camera->NearPlane(), 1.66499f, 5e-6);
  EXPECT_NEAR(camera->ViewPortRadius(), 0.400232f, 1e-6);
  EXPECT_NEAR(camera->GetFieldOfView(400), 126.87f, 0.005);
  ExpectSameMatrix(t.GetProjectionMatrix(),
                   &CreateFrustumMatrix(-0.440529f, 0.440529f, -0.5f, 0.5f, 1.66499f, 91.66499f)[0].X, 2e-5f,
                   "figures");

  GLfloat m[16];
  GL().MatrixMode(GL_PROJECTION);
  GL().LoadIdentity();
  GL().Frustum(-400.0 / 908, 400.0 / 908, -0.5, 0.5, camera->NearPlane(), camera->NearPlane() + 90.0);
  GL().GetFloatv(GL_PROJECTION_MATRIX, m);
  ExpectSameMatrix(t.GetProjectionMatrix(), m, 2e-6f, "projection");
  GL().MatrixMode(GL_MODELVIEW);
  GL().LoadIdentity();
  gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
  GL().GetFloatv(GL_MODELVIEW_MATRIX, m);
  ExpectSameMatrix(t.GetViewMatrix(), m, 2e-6f, "view");
  EXPECT_EQ(GL().GetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneOnMesa, SetupLightsReachesGlsEightLights) {
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  TGLLightSource* lights[9];
  for (int i = 0; i < 9; ++i) {
    lights[i] = scene->Objects()->AddNewChild<TGLLightSource>();
    lights[i]->SetLightStyle(lsOmni);
    lights[i]->Position()->SetPoint(static_cast<float>(i), 1, 2);
    TGLColor diffuse(nullptr, {i / 10.0f, 0.5f, 0.25f, 1});
    lights[i]->SetDiffuse(diffuse);
  }
  lights[2]->SetShining(false);
  TGLStateCache& states = context->GLStates();
  ASSERT_EQ(states.GetMaxLights(), 8);
  scene->SetupLights(states.GetMaxLights());
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(GL().IsEnabled(GL_LIGHT0 + i) != GL_FALSE, i != 2) << i;
    if (i == 2) continue;
    GLfloat v[4];
    GL().GetLightfv(GL_LIGHT0 + i, GL_DIFFUSE, v);
    EXPECT_FLOAT_EQ(v[0], i / 10.0f) << i;
    GL().GetLightfv(GL_LIGHT0 + i, GL_POSITION, v);  // the model-view is the identity here
    EXPECT_FLOAT_EQ(v[0], static_cast<float>(i)) << i;
    EXPECT_FLOAT_EQ(v[3], 1) << i;
  }
  EXPECT_EQ(GL().GetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneOnMesa, ApplyFogSetsGlsFogState) {
  ASSERT_TRUE(GL().NV_fog_distance);
  TCountingBuffer buffer(context.get());
  TGLFogEnvironment fog(&buffer);
  TGLColor colour(nullptr, {0.5f, 0.5f, 0.5f, 0.25f});
  fog.SetFogColor(&colour);
  fog.SetFogMode(fmExp);
  fog.SetFogStart(2);
  fog.SetFogEnd(40);
  fog.SetFogDistance(fdEyeRadial);
  fog.ApplyFog();
  GLfloat v[4];
  GL().GetFloatv(GL_FOG_DENSITY, v);
  EXPECT_FLOAT_EQ(v[0], 0.25f);
  GL().GetFloatv(GL_FOG_COLOR, v);
  EXPECT_FLOAT_EQ(v[0], 0.5f);
  GL().GetFloatv(GL_FOG_END, v);
  EXPECT_FLOAT_EQ(v[0], 40);
  GLint mode = 0;
  GL().GetIntegerv(GL_FOG_MODE, &mode);
  EXPECT_EQ(mode, GL_EXP);
  GL().GetIntegerv(GL_FOG_DISTANCE_MODE_NV, &mode);
  EXPECT_EQ(mode, GL_EYE_RADIAL_NV);
  fog.SetFogDistance(fdEyePlane);
  fog.ApplyFog();
  GL().GetIntegerv(GL_FOG_DISTANCE_MODE_NV, &mode);
  EXPECT_EQ(mode, GL_EYE_PLANE_ABSOLUTE_NV);
  // The default distance: the first application reads the driver's mode, later ones set it.
  fog.SetFogDistance(fdDefault);
  fog.ApplyFog();
  fog.ApplyFog();
  GL().GetIntegerv(GL_FOG_DISTANCE_MODE_NV, &mode);
  EXPECT_EQ(mode, GL_EYE_PLANE_ABSOLUTE_NV);  // what the driver held when it was first read
  EXPECT_EQ(GL().GetError(), GLenum(GL_NO_ERROR));

  // Applied from outside the context, it activates the context for the call.
  context->Deactivate();
  fog.SetFogStart(3);
  fog.ApplyFog();
  EXPECT_FALSE(context->GetActive());
  context->Activate();
  GL().GetFloatv(GL_FOG_START, v);
  EXPECT_FLOAT_EQ(v[0], 3);
}

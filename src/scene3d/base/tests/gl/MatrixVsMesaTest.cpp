// The projection and view builders must give the very matrices that GL's own glFrustum,
// glOrtho and gluLookAt load, since the scene code hands them to GL in their place. Mesa
// computes them on a headless surfaceless context; a missing EGL display fails the test.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "scene3d/base/VectorGeometry.h"

using namespace gl3d;

namespace {

class MesaContext : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    ASSERT_NE(display_, EGL_NO_DISPLAY) << "no surfaceless EGL display";
    EGLint major = 0, minor = 0;
    ASSERT_TRUE(eglInitialize(display_, &major, &minor))
        << "eglInitialize failed: " << std::hex << eglGetError();
    ASSERT_TRUE(eglBindAPI(EGL_OPENGL_API));
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display_, configAttribs, &config, 1, &count) || count == 0)
      config = EGL_NO_CONFIG_KHR;
    const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, contextAttribs);
    ASSERT_NE(context_, EGL_NO_CONTEXT) << "eglCreateContext failed: " << std::hex << eglGetError();
    ASSERT_TRUE(eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_));
  }

  void TearDown() override {
    if (display_ != EGL_NO_DISPLAY) {
      eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
      eglTerminate(display_);
    }
  }

  // GL's matrices are column-major with column vectors; ours are row-major with row vectors,
  // so the 16 values in memory are the same.
  static void ExpectSameMatrix(const TMatrix4f& ours, const GLfloat* gl, const char* what) {
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        const float a = ours[i][j], b = gl[i * 4 + j];
        EXPECT_NEAR(a, b, 2e-6f * std::fmax(1.0f, std::fabs(b)))
            << what << " element [" << i << "][" << j << "]";
      }
  }

  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLContext context_ = EGL_NO_CONTEXT;
};

struct Box {
  float l, r, b, t, n, f;
};

const Box kBoxes[] = {{-1, 1, -1, 1, 1, 100},
                      {-0.5f, 2, -3, 0.25f, 0.1f, 1000},
                      {-4, 4, -3, 3, 0.01f, 10},
                      {1, 3, 2, 5, 2, 7},
                      {-1.25f, 0.75f, -2, 2, 0.5f, 0.75f}};

}  // namespace

TEST_F(MesaContext, FrustumMatchesGlFrustum) {
  for (const Box& c : kBoxes) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(c.l, c.r, c.b, c.t, c.n, c.f);
    GLfloat gl[16];
    glGetFloatv(GL_PROJECTION_MATRIX, gl);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ExpectSameMatrix(CreateFrustumMatrix(c.l, c.r, c.b, c.t, c.n, c.f), gl, "frustum");
  }
}

TEST_F(MesaContext, OrthoMatchesGlOrtho) {
  const Box boxes[] = {
      {-1, 1, -1, 1, -1, 1}, {0, 640, 480, 0, -1, 1}, {-3, 5, -2, 7, 0.5f, 300}, {2, 3, 4, 9, -10, -2}};
  for (const Box& c : boxes) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(c.l, c.r, c.b, c.t, c.n, c.f);
    GLfloat gl[16];
    glGetFloatv(GL_PROJECTION_MATRIX, gl);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ExpectSameMatrix(CreateOrthoMatrix(c.l, c.r, c.b, c.t, c.n, c.f), gl, "ortho");
  }
}

TEST_F(MesaContext, LookAtMatchesGluLookAt) {
  struct View {
    TVector4f eye, centre, up;
  };
  const View views[] = {
      {{0, 0, 5, 1}, {0, 0, 0, 1}, {0, 1, 0, 0}},
      {{3, 4, 5, 1}, {0, 0, 0, 1}, {0, 1, 0, 0}},
      {{-2, 7, 1.5f, 1}, {1, -1, 0.5f, 1}, {0, 0, 1, 0}},
      {{10, 0.5f, -3, 1}, {2, 2, 2, 1}, {0.2f, 1, 0.1f, 0}},
  };
  for (const View& v : views) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(v.eye.X, v.eye.Y, v.eye.Z, v.centre.X, v.centre.Y, v.centre.Z, v.up.X, v.up.Y, v.up.Z);
    GLfloat gl[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, gl);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ExpectSameMatrix(CreateLookAtMatrix(v.eye, v.centre, v.up), gl, "look-at");
  }
}

TEST_F(MesaContext, ProductOrderMatchesGlMultMatrix) {
  // GL's glMultMatrix(B) after loading A gives A·B for column vectors, which in our row-vector
  // convention is our B·A: our product applies its first operand first.
  const TMatrix4f t = CreateTranslationMatrix3f({1, 2, 3});
  const TMatrix4f r = CreateRotationMatrixY(0.7f);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(&r.Row[0].X);
  glMultMatrixf(&t.Row[0].X);
  GLfloat gl[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, gl);
  TMatrix4f ours;
  MultiplyMatrix4f(t, r, ours);
  ExpectSameMatrix(ours, gl, "product");
}

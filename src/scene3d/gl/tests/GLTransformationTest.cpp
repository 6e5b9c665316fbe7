// The transformation stack: lazily derived products, loading into OpenGL, push and pop.
#include <GL/gl.h>

#include "RecordingFixture.h"
#include "scene3d/gl/GLLog.h"

using namespace gl3d;

namespace {
TMatrix4f Translation(float x, float y, float z) {
  TMatrix4f m = IdentityMatrix4f;
  m[3] = {x, y, z, 1};
  return m;
}
struct Warnings {
  std::vector<std::string> lines;
  Warnings() {
    gllog::SetObserver(
        [](gllog::TLevel l, std::string_view t, void* d) {
          if (l >= gllog::lvWarning) static_cast<Warnings*>(d)->lines.emplace_back(t);
        },
        this);
  }
  ~Warnings() { gllog::SetObserver(nullptr, nullptr); }
};
}  // namespace

using Transformation = RecordingFixture;

TEST_F(Transformation, ProductsAreComputedLazily) {
  TGLTransformation t;
  t.LoadMatricesEnabled = true;
  const TMatrix4f& mv = t.GetModelViewMatrix();
  EXPECT_EQ(mv[0].X, 1.0f);
  EXPECT_EQ(t.Top().FStates & 1u, 0u);
  EXPECT_EQ(t.GetViewProjectionMatrix()[3].W, 1.0f);
  t.SetViewMatrix(Translation(0, 0, -5));
  const TFrustum f1 = t.GetFrustum();
  EXPECT_EQ(t.Top().FStates & (1u << 5), 0u);
  t.SetModelMatrix(Translation(1, 2, 3));
  EXPECT_EQ(t.Top().FStates & (1u << 5), 0u);     // model changes do not stale the frustum
  EXPECT_EQ(t.GetModelViewMatrix()[3].Z, -2.0f);  // model first, then view
  t.SetViewMatrix(Translation(0, 0, -6));
  EXPECT_NE(t.Top().FStates & (1u << 5), 0u);
  EXPECT_NE(t.GetFrustum().Planes[4].W, f1.Planes[4].W);
}

TEST_F(Transformation, LoadingSendsMatrices) {
  TGLTransformation t;
  t.LoadMatricesEnabled = true;
  rec.Clear();
  t.SetModelMatrix(Translation(1, 0, 0));
  EXPECT_EQ(rec.Names(), "LoadMatrixf");
  EXPECT_EQ(rec.Calls[0].Values[12], 1.0);
  rec.Clear();
  t.SetProjectionMatrix(IdentityMatrix4f);
  EXPECT_EQ(rec.Log(), "MatrixMode(" + std::to_string(GL_PROJECTION) +
                           "); LoadMatrixf([1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1]); MatrixMode(" +
                           std::to_string(GL_MODELVIEW) + ")");
  rec.Clear();
  t.Push();
  EXPECT_TRUE(rec.Calls.empty());  // OpenGL already holds these matrices
  t.SetModelMatrix(Translation(5, 0, 0));
  EXPECT_EQ(t.GetModelMatrix()[3].X, 5.0f);
  rec.Clear();
  t.Pop();
  EXPECT_EQ(t.GetModelMatrix()[3].X, 1.0f);
  EXPECT_EQ(rec.Names(), "LoadMatrixf MatrixMode LoadMatrixf MatrixMode");
  EXPECT_EQ(rec.Calls[0].Values[12], 1.0);
}

TEST_F(Transformation, PushWithRecordLoadsAndNotifies) {
  TGLTransformation t;
  t.LoadMatricesEnabled = true;
  int pushes = 0;
  t.OnPush = [&pushes] { ++pushes; };
  TTransformationRec r = t.Top();
  r.FModelMatrix = Translation(0, 7, 0);
  r.FStates = 0x3F;
  t.Push();
  EXPECT_EQ(pushes, 0);
  rec.Clear();
  t.Push(&r);
  EXPECT_EQ(pushes, 1);
  EXPECT_EQ(rec.Names(), "LoadMatrixf MatrixMode LoadMatrixf MatrixMode");
  EXPECT_EQ(t.StackPosition(), 2);
}

TEST_F(Transformation, WithoutLoadingNothingReachesOpenGL) {
  TGLTransformation t;
  t.SetModelMatrix(Translation(1, 0, 0));
  t.SetViewMatrix(Translation(1, 0, 0));
  t.SetProjectionMatrix(IdentityMatrix4f);
  t.Push();
  t.Pop();
  t.ResetToIdentity();
  EXPECT_TRUE(rec.Calls.empty());
}

TEST_F(Transformation, UnderflowAndOverflowAreOnlyLogged) {
  Warnings w;
  TGLTransformation t;
  t.Pop();
  EXPECT_EQ(t.StackPosition(), 0);
  ASSERT_EQ(w.lines.size(), 1u);
  EXPECT_EQ(w.lines[0], "Transformation stack underflow");
  w.lines.clear();
  for (int i = 1; i <= 131; ++i) t.Push();
  EXPECT_EQ(t.StackPosition(), 131);
  EXPECT_EQ(w.lines.size(), 2u);  // the 130th and 131st
  EXPECT_EQ(w.lines[0], "Transformation stack overflow, more then 128 values");
}

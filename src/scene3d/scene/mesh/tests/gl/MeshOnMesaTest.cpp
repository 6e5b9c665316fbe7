// Mesh objects on a real driver (Mesa through EGL, headless): the preview sphere drawn from buffer
// objects gives the same frame as the same mesh compiled into a display list from client arrays,
// without an OpenGL error. A missing EGL display fails.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "../MeshTestSupport.h"
#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"

using namespace gl3d;
using namespace gl3d::test;

namespace {

// Draws its mesh list, coloured per vertex, and checks OpenGL's error flag after each draw.
class TMeshHolder : public TGLBaseSceneObject {
 public:
  explicit TMeshHolder(TComponent* owner) : TGLBaseSceneObject(owner) {}
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TMeshHolder>; }
  void BuildList(TRenderContextInfo& rci) override {
    list.BuildList(rci);
    lastError = CurrentGLEntryPoints().GetError();
  }
  TMeshObjectList list;
  GLenum lastError = GL_NO_ERROR;
};

using TFrame = std::vector<uint8_t>;

TFrame RenderSphere(bool direct, GLenum& error, bool& usedBuffers) {
  constexpr int kSize = 128;
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  auto* holder = scene->Objects()->AddNewChild<TMeshHolder>();
  if (direct) holder->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  TMeshObject* mesh = BuildPreviewMesh(holder->list, 33);
  for (int i = 0; i < mesh->Vertices()->Count(); ++i) {
    const TVector3f n = mesh->Normals()->Get(i);
    mesh->Colors()->Add({0.5f + n.X / 2, 0.5f + n.Y / 2, 0.5f + n.Z / 2, 1});
  }
  auto* camera = scene->Objects()->AddNewChild<TGLCamera>();
  camera->Position()->SetPoint(0, 0, 4);  // the near plane lies at 2.95
  camera->SetTargetObject(holder);
  TGL3DSceneBuffer buffer(nullptr);
  buffer.SetBackgroundColor(clGray);
  buffer.SetLighting(false);
  buffer.SetCamera(camera);
  TGLEGLOutput output;
  output.Width = kSize;
  output.Height = kSize;
  std::vector<TFrame> frames;
  output.OnFrame = [&frames](const uint8_t* p, int w, int h) { frames.emplace_back(p, p + static_cast<size_t>(w) * h * 4); };
  buffer.SetViewPort(0, 0, kSize, kSize);
  buffer.CreateRenderingContext(&output, false, 1);
  buffer.Render();
  buffer.Render();  // the second frame draws from what the first uploaded or compiled
  error = holder->lastError;
  usedBuffers = mesh->UseVBO();
  buffer.DestroyRenderingContext();
  return frames.empty() ? TFrame{} : frames.back();
}

}  // namespace

TEST(MeshOnMesa, BufferObjectsAndClientArraysGiveTheSameFrame) {
  ASSERT_NE(TGLEGLContext::Display(), EGL_NO_DISPLAY) << "no EGL display";
  Scene3dSceneStartup();
  GLContextStartup();
  GLenum error = GL_NO_ERROR;
  bool usedBuffers = false;
  const TFrame fromBuffers = RenderSphere(true, error, usedBuffers);
  EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(usedBuffers);
  const TFrame fromList = RenderSphere(false, error, usedBuffers);
  EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_FALSE(usedBuffers);
  ASSERT_EQ(fromBuffers.size(), fromList.size());
  ASSERT_FALSE(fromBuffers.empty());
  int differing = 0, sphere = 0;
  for (size_t i = 0; i < fromBuffers.size(); i += 4) {
    differing += fromBuffers[i] != fromList[i] || fromBuffers[i + 1] != fromList[i + 1] ||
                 fromBuffers[i + 2] != fromList[i + 2];
    sphere += fromBuffers[i] != 128 || fromBuffers[i + 1] != 128 || fromBuffers[i + 2] != 128;
  }
  EXPECT_EQ(differing, 0);
  // The sphere of radius 0.5 seen from 4 units fills a good part of the frame.
  EXPECT_GT(sphere, 128 * 128 / 5);
}

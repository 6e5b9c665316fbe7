// The editor's whole scene on a real driver (Mesa through EGL, headless), built in code as its main
// form describes it: the camera with its light, the dummy cube with axes holding the background
// plane (with a blank-image texture), the preview free form (a 33 x 33 sphere with a 64 x 64
// RGBA texture, replace mode, transparency blending, no lighting, no fog, drawn directly) and the
// translucent inside cube. The frame is compared with the reviewed reference editor_scene.png
// beside this file, and the landmarks land where numpy projects them (EditorSceneTable.inc).
//
// ZEPHOR_WRITE_SCENE_REFERENCE=<file> writes the frame as raw RGBA rows (bottom row first) to
// <file> for review instead of comparing.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "scene3d/scene/mesh/tests/MeshTestSupport.h"
#include "scene3d/scene/objects/GLCube.h"
#include "scene3d/scene/objects/GLDummyCube.h"
#include "scene3d/scene/objects/GLPlane.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"
#include "scene3d/scene/render/tests/gl/SceneFrames.h"
#include "scene3d/scene/texture/GLGraphics.h"
#include "scene3d/scene/texture/GLTextureImage.h"
#include "scene3d/scene/texture/picture/Bitmap.h"
#include "scene3d/scene/texture/picture/PngImage.h"

using namespace gl3d;

namespace {

struct TLandmark {
  const char* name;
  TVector3f point;
  double x, y;
};
#include "EditorSceneTable.inc"

constexpr int kWidth = 400;
constexpr int kHeight = 454;
using TFrame = std::vector<uint8_t>;

// The preview texture: 64 x 64 B G R A (top row first), colour bands by position, alpha falling
// from 255 to 64 down the rows.
TBitmap PreviewTexture() {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      uint8_t* d = bitmap.ScanLine(y) + 4 * x;
      d[0] = static_cast<uint8_t>(((x / 8 + y / 8) % 2) ? 200 : 40);
      d[1] = static_cast<uint8_t>(4 * y);
      d[2] = static_cast<uint8_t>(4 * x);
      d[3] = static_cast<uint8_t>(255 - 3 * y);
    }
  return bitmap;
}

struct TEditorScene {
  TComponent form{nullptr};
  TGL3DScene* scene = new TGL3DScene(&form);
  TGLCamera* camera = nullptr;
  TGLFreeForm* freeForm = nullptr;
  TMatrix4f modelView{}, projection{};

  TEditorScene() {
    camera = scene->Objects()->AddNewChild<TGLCamera>();
    camera->SetFocalLength(100);
    camera->SetDepthOfView(90);
    camera->Position()->SetPoint(0, 0, 3);
    camera->AddNewChild<TGLLightSource>();

    auto* dummy = scene->Objects()->AddNewChild<TGLDummyCube>();
    dummy->SetShowAxes(true);
    dummy->Up()->SetVector(1, 0, 0);
    dummy->Direction()->SetVector(0, 1, 0);

    auto* plane = dummy->AddNewChild<TGLPlane>();
    plane->SetWidth(4);
    plane->SetHeight(4);
    plane->SetStyle(PlaneStyleBit(psSingleQuad));
    plane->Position()->SetPoint(0, 0, -1.01f);
    // The background picture the editor writes into its blank image: a vertical ramp of 16 x 16.
    TGLTexture& background = *plane->Material()->Texture();
    background.SetImageClassName("TGLBlankImage");
    auto* blank = static_cast<TGLBlankImage*>(background.Image());
    blank->SetWidth(16);
    blank->SetHeight(16);
    TGLImage* pixels = blank->GetImageBuffer();
    pixels->SetBlank(false);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        uint8_t* p = &pixels->ScanLine(y)[x].R;
        p[0] = static_cast<uint8_t>(16 * y);
        p[1] = static_cast<uint8_t>(120);
        p[2] = static_cast<uint8_t>(255 - 16 * x);
        p[3] = 255;
      }
    background.SetDisabled(false);

    freeForm = dummy->AddNewChild<TGLFreeForm>();
    freeForm->SetObjectStyle(freeForm->ObjectStyle() | ObjectStyleBit(sfDirectDraw));
    TGLMaterial& m = *freeForm->Material();
    m.SetBlendingMode(bmTransparency);
    m.SetMaterialOptions(MaterialOptionBit(moIgnoreFog) | MaterialOptionBit(moNoLighting));
    const TBitmap texture = PreviewTexture();
    m.Texture()->Image()->Assign(&texture);
    m.Texture()->SetTextureMode(tmReplace);
    m.Texture()->SetDisabled(false);
    gl3d::test::BuildPreviewMesh(*freeForm->MeshObjects(), 33);
    freeForm->StructureChanged();
    camera->SetTargetObject(freeForm);

    // Keeps the matrices the scene draws the dummy cube's children with.
    auto* probe = dummy->AddNewChild<TGLDirectOpenGL>();
    probe->OnRender = [this](TObject*, TRenderContextInfo& rci) {
      modelView = rci.Transformation->GetModelViewMatrix();
      projection = rci.Transformation->GetProjectionMatrix();
    };

    auto* cube = dummy->AddNewChild<TGLCube>();
    cube->WriteCubeWidth(2);
    cube->WriteCubeHeight(2);
    cube->WriteCubeDepth(2);
    cube->SetNormalDirection(ndInside);
    cube->Material()->SetBlendingMode(bmTransparency);
    TGLColor half(nullptr, {0.5f, 0.5f, 0.5f, 0.5f});
    cube->Material()->FrontProperties()->SetDiffuse(&half);
  }
};

// The window position of a point of the dummy cube's frame, through the captured matrices.
void Project(const TEditorScene& s, const TVector3f& p, double& x, double& y) {
  double clip[4];
  const double v[4] = {p.X, p.Y, p.Z, 1};
  double eye[4];
  for (int c = 0; c < 4; ++c) {
    eye[c] = 0;
    for (int r = 0; r < 4; ++r) eye[c] += v[r] * s.modelView[r][c];
  }
  for (int c = 0; c < 4; ++c) {
    clip[c] = 0;
    for (int r = 0; r < 4; ++r) clip[c] += eye[r] * s.projection[r][c];
  }
  x = (clip[0] / clip[3] + 1) * kWidth / 2;
  y = (clip[1] / clip[3] + 1) * kHeight / 2;
}

TFrame ReferenceFrame() {
  TPngImage png;
  // Beside this file: tests/gl next to the folder's tests/data.
  std::string folder = ZEPHOR_TEST_DATA_DIR;
  folder.replace(folder.rfind("/data"), 5, "/gl");
  png.LoadFromFile(folder + "/editor_scene.png");
  TFrame rgb;
  if (png.Width() != kWidth || png.Height() != kHeight) return rgb;
  // Bottom row first, R G B, as the frame comes from OpenGL.
  for (int y = kHeight - 1; y >= 0; --y) {
    const uint8_t* row = png.ScanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      rgb.push_back(row[3 * x + 2]);
      rgb.push_back(row[3 * x + 1]);
      rgb.push_back(row[3 * x]);
    }
  }
  return rgb;
}

}  // namespace

TEST(EditorSceneOnMesa, MatchesItsReferenceAndTheProjections) {
  ASSERT_NE(TGLEGLContext::Display(), EGL_NO_DISPLAY) << "no EGL display";
  Scene3dSceneStartup();
  GLContextStartup();
  TEditorScene s;
  const std::vector<TFrame> frames = gl3d::test::RenderSceneFrames(s.camera, kWidth, kHeight, 2);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], frames[1]);
  const TFrame& frame = frames[1];

  if (const char* path = std::getenv("ZEPHOR_WRITE_SCENE_REFERENCE")) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(frame.data()),
                                                static_cast<std::streamsize>(frame.size()));
    GTEST_SKIP() << "reference frame written to " << path;
  }

  // At most 0.1% of the pixels differ from the reference by more than 2 in a channel.
  const TFrame reference = ReferenceFrame();
  ASSERT_EQ(reference.size(), static_cast<size_t>(kWidth) * kHeight * 3) << "reference image";
  int differing = 0;
  for (size_t p = 0; p < static_cast<size_t>(kWidth) * kHeight; ++p)
    for (int c = 0; c < 3; ++c)
      if (std::abs(frame[4 * p + c] - reference[3 * p + c]) > 2) {
        ++differing;
        break;
      }
  EXPECT_LE(differing, kWidth * kHeight / 1000);

  // The poles and the corners land within a pixel of numpy's projection.
  for (const TLandmark& l : kLandmarks) {
    double x = 0, y = 0;
    Project(s, l.point, x, y);
    EXPECT_NEAR(x, l.x, 1.0) << l.name;
    EXPECT_NEAR(y, l.y, 1.0) << l.name;
  }
  // And the sphere is in the picture there: between the poles the texture shows, beyond them the
  // background plane's grey does not.
  const auto pixel = [&frame](int x, int y) { return &frame[4 * (static_cast<size_t>(y) * kWidth + x)]; };
  const uint8_t* centre = pixel(200, 227);
  const uint8_t* outside = pixel(static_cast<int>(kLandmarks[0].x) + 6, 227);
  EXPECT_NE(centre[0], outside[0]);
}

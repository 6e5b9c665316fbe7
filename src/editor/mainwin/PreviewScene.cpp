#include "editor/mainwin/PreviewScene.h"

#include "editor/input/SpaceMouse.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Color.h"
#include "scene3d/platform/GL3DSceneViewer.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "scene3d/scene/objects/GLCube.h"
#include "scene3d/scene/objects/GLDummyCube.h"
#include "scene3d/scene/objects/GLPlane.h"
#include "scene3d/scene/texture/GLTexture.h"
#include "shape/preview/BackgroundPlane.h"
#include "shape/preview/PreviewMesh.h"
#include "shape/preview/PreviewTexture.h"

namespace editor {

using namespace gl3d;

namespace {

// The background plane's place before a side is chosen: behind the shape.
constexpr float kPlaneSize = 4;
constexpr float kPlaneZ = -1.01f;
constexpr float kFrameSize = 2;

void SetFaceColour(TGLMaterial& material, const TVector4f& colour) {
  TGLColor c(nullptr, colour);
  material.FrontProperties()->SetDiffuse(&c);
  material.BackProperties()->SetDiffuse(&c);
}

}  // namespace

TPreviewScene::TPreviewScene(TGL3DSceneViewer& viewer) : viewer_(viewer) {
  GL3DScene1 = new TGL3DScene(&owner_);
  TGLBaseSceneObject* root = GL3DScene1->Objects();
  GLCamera1 = root->AddNewChild<TGLCamera>();
  GLCamera1->SetFocalLength(kCameraFocalLength);
  GLCamera1->SetDepthOfView(kCameraDepthOfView);
  GLCamera1->Position()->SetPoint(0, 0, kCameraDistance);
  GLLightSource1 = GLCamera1->AddNewChild<TGLLightSource>();

  // The modelling cube's axes: its X up the view, its Y across.
  GLDummyCube1 = root->AddNewChild<TGLDummyCube>();
  GLDummyCube1->SetShowAxes(true);
  GLDummyCube1->Direction()->SetVector(0, 1, 0);
  GLDummyCube1->Up()->SetVector(1, 0, 0);
  BuildBackgroundPlane();
  BuildFreeForm();
  BuildFrameCube();
  GLCamera1->SetTargetObject(GLFreeForm1);

  viewer_.Buffer()->SetBackgroundColor(platform::clGray);
  viewer_.SetCamera(GLCamera1);
}

void TPreviewScene::BuildBackgroundPlane() {
  GLPlane1 = GLDummyCube1->AddNewChild<TGLPlane>();
  GLPlane1->SetWidth(kPlaneSize);
  GLPlane1->SetHeight(kPlaneSize);
  GLPlane1->SetStyle(PlaneStyleBit(psSingleQuad));
  GLPlane1->Position()->SetPoint(0, 0, kPlaneZ);
  GLPlane1->WriteVisible(false);
  TGLMaterial& m = *GLPlane1->Material();
  SetFaceColour(m, {1, 1, 1, 1});
  TGLTexture& texture = *m.Texture();
  texture.SetImageClassName("TGLBlankImage");
  // The picture is drawn into the image's own buffer and nowhere else: a context made anew
  // must find it there to upload it again.
  texture.SetKeepImageAfterTransfer(true);
  texture.SetDisabled(false);
}

void TPreviewScene::BuildFreeForm() {
  GLFreeForm1 = GLDummyCube1->AddNewChild<TGLFreeForm>();
  // Drawn directly every frame: the mesh is rebuilt whole after each edit, a display list would
  // only be compiled to be thrown away.
  GLFreeForm1->SetObjectStyle(GLFreeForm1->ObjectStyle() | ObjectStyleBit(sfDirectDraw));
  GLFreeForm1->Direction()->SetVector(0, 0, 1);
  TGLMaterial& m = *GLFreeForm1->Material();
  m.SetBlendingMode(bmTransparency);
  m.SetMaterialOptions(MaterialOptionBit(moIgnoreFog) | MaterialOptionBit(moNoLighting));
  TGLTexture& texture = *m.Texture();
  texture.SetTextureMode(tmReplace);
  // The texture keeps its pixels after they went to the card. Released, each upload after a
  // frame would start from a fresh block (64 MB at 257 x 257: 2.6 times the cost of refilling the
  // kept one), and a context made anew would find only the error picture to upload.
  texture.SetKeepImageAfterTransfer(true);
  texture.SetDisabled(false);
}

void TPreviewScene::BuildFrameCube() {
  GLCube1 = GLDummyCube1->AddNewChild<TGLCube>();
  GLCube1->WriteCubeWidth(kFrameSize);
  GLCube1->WriteCubeHeight(kFrameSize);
  GLCube1->WriteCubeDepth(kFrameSize);
  GLCube1->SetNormalDirection(ndInside);
  GLCube1->Material()->SetBlendingMode(bmTransparency);
  SetFaceColour(*GLCube1->Material(), {0.5f, 0.5f, 0.5f, 0.5f});
}

TPreviewScene::~TPreviewScene() {
  viewer_.SetCamera(nullptr);
  ReleaseRenderingContext();
}

void TPreviewScene::BuildPreviewMesh(const shape::TCS& cs) { shape::BuildPreviewMesh(cs, *GLFreeForm1); }

void TPreviewScene::UploadPreviewTexture() { shape::UploadPreviewTexture(*GLFreeForm1); }

void TPreviewScene::UpdatePlane(bool visible, int32_t side, bool hasPicture,
                                const platform::TBitmap& picture) {
  GLPlane1->BeginUpdate();
  GLPlane1->WriteVisible(visible);
  if (visible) shape::UpdateBackgroundPlane(*GLPlane1, side, hasPicture ? 1 : 0, picture);
  GLPlane1->EndUpdate();
}

void TPreviewScene::PollSpaceMouse() { editor::PollSpaceMouse(*GLCamera1); }

void TPreviewScene::SetFrameVisible(bool visible) { GLCube1->WriteVisible(visible); }

bool TPreviewScene::FrameVisible() const { return GLCube1->GetVisible(); }

void TPreviewScene::SetFrameSize(float width, float height, float depth) {
  GLCube1->WriteCubeWidth(width);
  GLCube1->WriteCubeHeight(height);
  GLCube1->WriteCubeDepth(depth);
}

float TPreviewScene::FocalLength() const { return GLCamera1->FocalLength(); }

void TPreviewScene::SetFocalLength(float value) { GLCamera1->SetFocalLength(value); }

bool TPreviewScene::MoveAroundTarget(float pitchDelta, float turnDelta) {
  try {
    GLCamera1->MoveAroundTarget(pitchDelta, turnDelta);
    return true;
  } catch (...) {
    return false;
  }
}

void TPreviewScene::ReleaseRenderingContext() { viewer_.Buffer()->DestroyRenderingContext(); }

}  // namespace editor

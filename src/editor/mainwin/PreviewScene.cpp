#include "editor/mainwin/PreviewScene.h"

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Color.h"
#include "scene3d/platform/GL3DSceneViewer.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace editor {

using namespace gl3d;

TPreviewScene::TPreviewScene(TGL3DSceneViewer& viewer) : viewer_(viewer) {
  GL3DScene1 = new TGL3DScene(&owner_);
  TGLBaseSceneObject* root = GL3DScene1->Objects();
  GLCamera1 = root->AddNewChild<TGLCamera>();
  GLCamera1->SetFocalLength(kCameraFocalLength);
  GLCamera1->SetDepthOfView(kCameraDepthOfView);
  GLCamera1->Position()->SetPoint(0, 0, kCameraDistance);
  GLLightSource1 = GLCamera1->AddNewChild<TGLLightSource>();
  target_ = root->AddNewChild<TGLBaseSceneObject>();
  GLCamera1->SetTargetObject(target_);
  viewer_.Buffer()->SetBackgroundColor(platform::clGray);
  viewer_.SetCamera(GLCamera1);
}

TPreviewScene::~TPreviewScene() {
  viewer_.SetCamera(nullptr);
  ReleaseRenderingContext();
}

TGLBaseSceneObject* TPreviewScene::CameraTarget() const { return target_; }

void TPreviewScene::BuildPreviewMesh(shape::TCS&) {}

void TPreviewScene::UploadPreviewTexture() {}

void TPreviewScene::UpdatePlane(bool, int32_t, bool, const platform::TBitmap&) {}

void TPreviewScene::PollSpaceMouse() {}

void TPreviewScene::SetFrameVisible(bool visible) { frameVisible_ = visible; }

bool TPreviewScene::FrameVisible() const { return frameVisible_; }

void TPreviewScene::SetFrameSize(float, float, float) {}

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

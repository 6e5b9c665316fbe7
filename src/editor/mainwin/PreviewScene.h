#pragma once
// The main window's 3D preview: the scene with its camera and light, the dummy cube that holds
// the six-sided editor's background plane, the preview mesh and the frame cube, shown by the
// viewer control. The window's idle steps reach the scene only through the operations here,
// named as the window's steps name them; everything else of the window knows no scene object.
#include <memory>

#include "scene3d/base/Classes.h"
#include "shape/model/ShapeRecord.h"

namespace platform {
class TBitmap;
}
namespace gl3d {
class TGL3DScene;
class TGL3DSceneViewer;
class TGLBaseSceneObject;
class TGLCamera;
class TGLLightSource;
}  // namespace gl3d

namespace editor {

// The camera as the window starts it: focal length 100, depth of view 90, at (0, 0, 3).
constexpr float kCameraFocalLength = 100;
constexpr float kCameraDepthOfView = 90;
constexpr float kCameraDistance = 3;
// The focal length the wheel and the 3D mouse keep within.
constexpr float kMinFocalLength = 50;
constexpr float kMaxFocalLength = 300;

class TPreviewScene {
 public:
  // Builds the scene and shows it in `viewer` (grey background, the scene's camera).
  explicit TPreviewScene(gl3d::TGL3DSceneViewer& viewer);
  ~TPreviewScene();
  TPreviewScene(const TPreviewScene&) = delete;
  TPreviewScene& operator=(const TPreviewScene&) = delete;

  gl3d::TGL3DSceneViewer& Viewer() const { return viewer_; }
  gl3d::TGL3DScene* GL3DScene1 = nullptr;
  gl3d::TGLCamera* GLCamera1 = nullptr;
  gl3d::TGLLightSource* GLLightSource1 = nullptr;
  // The object the camera turns about and looks at: the preview mesh.
  gl3d::TGLBaseSceneObject* CameraTarget() const;

  // The idle steps.
  void BuildPreviewMesh(shape::TCS& cs);
  void UploadPreviewTexture();
  // Between BeginUpdate and EndUpdate of the plane: shown or hidden; when shown, placed for the
  // view side with its picture.
  void UpdatePlane(bool visible, int32_t side, bool hasPicture, const platform::TBitmap& picture);
  // The 3D mouse's turn of the camera.
  void PollSpaceMouse();

  // The frame cube.
  void SetFrameVisible(bool visible);
  bool FrameVisible() const;
  void SetFrameSize(float width, float height, float depth);

  // The camera.
  float FocalLength() const;
  void SetFocalLength(float value);
  // Turns the camera about its target; false when the move failed (the camera is then as it
  // was).
  bool MoveAroundTarget(float pitchDelta, float turnDelta);

  // Frees the viewer's rendering context (the first step of the window's destruction).
  void ReleaseRenderingContext();

 private:
  gl3d::TGL3DSceneViewer& viewer_;
  gl3d::TComponent owner_{nullptr};
  gl3d::TGLBaseSceneObject* target_ = nullptr;
  bool frameVisible_ = true;
};

}  // namespace editor

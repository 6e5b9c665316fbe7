#pragma once
// The scene viewer control: a window control that shows a 3D scene through its own render
// buffer (scene3d/scene/render/GL3DSceneBuffer.h). The buffer renders off screen in an EGL
// context of the control's client size; each swapped frame is copied, upright, into the
// control's window surface, which the window system then shows. No context of Qt's is used, so
// the control works alike on X11, Wayland and without a display.
//
// A frame is rendered only when one is due: the scene or the buffer changed (the buffer's
// OnChange invalidates the control), the control was resized or its context remade, or a caller
// invalidated it. Changes that come before the next paint give one frame; a paint that only
// uncovers the window copies the surface and renders nothing. Nothing a frame throws leaves a
// Qt event handler: a context that cannot be made, or a frame that fails, is logged, the
// control shows its background colour, and the next change tries again.
//
// The frame follows the control's size by giving the context a new surface of that size (the
// context keeps its objects); the resize happens just before the next frame.
#include <cstdint>
#include <memory>

#include "platform/ui/Control.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"

namespace gl3d {

enum TVSyncMode : uint8_t { vsmSync, vsmNoSync };

// Sets the swap interval of the current context. The off-screen contexts of this system have no
// swap control, so there is nothing to set.
void ApplyVSyncMode(TVSyncMode mode);

// Copies a frame (RGBA bytes, bottom row first) into a 32-bit surface (bytes blue, green, red
// and an opaque fourth, top row first); when the sizes differ, the common top-left part.
void CopyFrameToSurface(const uint8_t* rgba, int width, int height, platform::TBitmap& surface);

class TGL3DSceneViewer : public platform::TCustomControl {
 public:
  // 100 x 100, VSync vsmNoSync; the buffer's change events reach the control.
  explicit TGL3DSceneViewer(QWidget* parent = nullptr);
  // The rendering context goes first, then the buffer, then the control.
  ~TGL3DSceneViewer() override;

  TGL3DSceneBuffer* Buffer() const { return buffer_.get(); }
  TGLCamera* Camera() const { return buffer_->Camera(); }
  // Watches the camera: a freed camera leaves the viewer without one.
  void SetCamera(TGLCamera* camera);
  TVSyncMode VSync() const { return vsync_; }
  void SetVSync(TVSyncMode value) { vsync_ = value; }
  // The camera's field of view across the smaller of the client's sides; 0 without a camera,
  // and a write without a camera does nothing.
  float FieldOfView() const;
  void SetFieldOfView(float value);
  bool MouseInside() const { return mouseInside_; }

 protected:
  void Paint() override;
  bool EraseBackground() override { return !buffer_->HasRenderingContext(); }
  void Resize() override;
  void showEvent(QShowEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // Arrow keys are the control's own: no shortcut of the window takes them first.
  bool event(QEvent* event) override;

 private:
  class TCameraWatch;
  void DoBufferChange();
  void DoBufferStructuralChange();
  void DoSetupVSync() { ApplyVSyncMode(vsync_); }
  // Makes the context at the client size when there is none; false (logged) when it fails.
  bool EnsureContext();
  void FillBackground();

  std::unique_ptr<TGL3DSceneBuffer> buffer_;
  TGLEGLOutput output_;
  TVSyncMode vsync_ = vsmNoSync;
  bool mouseInside_ = false;
  std::unique_ptr<TCameraWatch> cameraWatch_;
};

}  // namespace gl3d

#pragma once
// Viewers without a window. TGLNonVisualViewer owns a render buffer of a fixed size and copies
// what it rendered into a texture; TGLMemoryViewer renders into an off-screen (pbuffer) context
// of Width x Height with one to four colour buffers, drawn at once (the buffers beyond the first
// are the colour attachments of a framebuffer object, read back one at a time).
//
// The copies take a texture object, or the GL layer's texture handle with the target, internal
// format and mipmap choice a texture object would supply.
#include <GL/gl.h>

#include <memory>

#include "scene3d/base/Classes.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLTextureFormat.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"

namespace gl3d {

class TGLTexture;

class TGLNonVisualViewer : public TComponent {
 public:
  // Width and Height 256; the buffer's change events reach DoBufferChange and
  // DoBufferStructuralChange.
  explicit TGLNonVisualViewer(TComponent* owner);
  ~TGLNonVisualViewer() override;
  const char* ClassName() const override { return "TGLNonVisualViewer"; }

  TGL3DSceneBuffer* Buffer() const { return buffer_.get(); }
  TGLCamera* Camera() const { return buffer_->Camera(); }
  // Watches the camera: a freed camera leaves the viewer without one.
  void SetCamera(TGLCamera* camera);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Values <= 0 become 1; a change drops the context, so the next render makes one of the size.
  void SetWidth(int value);
  void SetHeight(int value);
  // The face (0 to 5, +X -X +Y -Y +Z -Z) that a cube-map texture receives.
  int CubeMapFace() const { return cubeMapFace_; }
  void SetCubeMapFace(int value) { cubeMapFace_ = value; }

  virtual void DoBufferChange(TObject*) {}
  virtual void DoBufferStructuralChange(TObject*);
  virtual void Render(TGLBaseSceneObject* baseObject = nullptr) = 0;
  // The Width x Height frame at (0, 0) into level 0 of the texture at (0, 0).
  virtual void CopyToTexture(TGLTextureHandle& texture, TGLTextureTarget target);
  // The same frame read from colour buffer `bufferIndex` (0 to 3). A texture that has no name
  // yet in this context, or a cube-map face other than the first, goes through memory (glReadPixels
  // and glTexImage2D with the internal format, mipmaps made when the texture keeps them); any
  // other copies directly.
  virtual void CopyToTextureMRT(TGLTextureHandle& texture, TGLTextureTarget target, int bufferIndex,
                                GLenum internalFormat = GL_RGBA8, bool mipmaps = false);
  // The same into a texture object. CopyToTexture makes its image a blank image of the frame's
  // size (a cube map's face is CubeMapFace). CopyToTextureMRT takes the target of its image, its
  // internal format and its filter's mipmaps; a floating-point texture or one that has a name
  // copies directly, another is given a name and goes through memory.
  void CopyToTexture(TGLTexture& texture);
  void CopyToTextureMRT(TGLTexture& texture, int bufferIndex);

  void Notification(TComponent* component, TOperation operation) override;

 private:
  // The frame of colour buffer `bufferIndex` into level 0 of the texture bound on unit 0:
  // directly, or through memory.
  void CopyFrame(TGLContext& context, TGLTextureHandle& texture, TGLTextureTarget target, int bufferIndex,
                 GLenum internalFormat, bool mipmaps, bool direct);
  std::unique_ptr<TGL3DSceneBuffer> buffer_;
  int width_ = 256;
  int height_ = 256;
  int cubeMapFace_ = 0;
};

class TGLMemoryViewer : public TGLNonVisualViewer {
 public:
  explicit TGLMemoryViewer(TComponent* owner);
  const char* ClassName() const override { return "TGLMemoryViewer"; }

  int BufferCount() const { return bufferCount_; }
  // Kept within 1 to 4; a change drops the context.
  void SetBufferCount(int value);
  // Makes the pbuffer context of Width x Height when the buffer has none.
  void InitializeRenderingContext();
  void Render(TGLBaseSceneObject* baseObject = nullptr) override;

 private:
  int bufferCount_ = 1;
};

}  // namespace gl3d

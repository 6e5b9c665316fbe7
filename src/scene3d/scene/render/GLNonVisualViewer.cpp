// The off-screen viewers and their copies of a frame into textures.
#include "scene3d/scene/render/GLNonVisualViewer.h"

#include <GL/glext.h>

#include <algorithm>
#include <vector>

#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/scene/render/ContextActivation.h"
#include "scene3d/scene/texture/GLTexture.h"

namespace gl3d {

namespace {

// What glReadBuffer takes for colour buffer `index`: the context's own answer where it keeps
// its buffers itself, else the front buffer and the auxiliary buffers.
GLenum ColorBufferSource(TGLContext& context, int index) {
  if (auto* egl = dynamic_cast<TGLEGLContext*>(&context)) return egl->ColorBufferSource(index);
  return index == 0 ? GL_FRONT_LEFT : GL_AUX0 + static_cast<GLenum>(index - 1);
}

bool IsFloatFormat(GLenum internalFormat) {
  switch (internalFormat) {
    case GL_RGBA16F:
    case GL_RGBA32F:
    case GL_RGB16F:
    case GL_RGB32F:
    case GL_R16F:
    case GL_R32F:
    case GL_RG16F:
    case GL_RG32F:
      return true;
    default:
      return false;
  }
}

}  // namespace

TGLNonVisualViewer::TGLNonVisualViewer(TComponent* owner)
    : TComponent(owner), buffer_(std::make_unique<TGL3DSceneBuffer>(this)) {
  buffer_->OnChange = [this](TObject* sender) { DoBufferChange(sender); };
  buffer_->OnStructuralChange = [this](TObject* sender) { DoBufferStructuralChange(sender); };
  buffer_->OnPrepareContext = [](TObject*) {};
}

TGLNonVisualViewer::~TGLNonVisualViewer() {
  RemoveFreeNotifications();
  buffer_.reset();
}

void TGLNonVisualViewer::SetCamera(TGLCamera* camera) {
  if (TGLCamera* old = buffer_->Camera()) old->RemoveFreeNotification(this);
  buffer_->SetCamera(camera);
  if (TGLCamera* taken = buffer_->Camera()) taken->FreeNotification(this);
}

void TGLNonVisualViewer::SetWidth(int value) {
  value = std::max(value, 1);
  if (value == width_) return;
  width_ = value;
  DoBufferStructuralChange(this);
}

void TGLNonVisualViewer::SetHeight(int value) {
  value = std::max(value, 1);
  if (value == height_) return;
  height_ = value;
  DoBufferStructuralChange(this);
}

void TGLNonVisualViewer::DoBufferStructuralChange(TObject*) { buffer_->DestroyRenderingContext(); }

void TGLNonVisualViewer::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && buffer_ && component == buffer_->Camera()) buffer_->SetCamera(nullptr);
  TComponent::Notification(component, operation);
}

void TGLNonVisualViewer::CopyToTexture(TGLTextureHandle& texture, TGLTextureTarget target) {
  const GLenum face =
      target == ttTextureCube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(cubeMapFace_) : 0;
  buffer_->CopyToTexture(texture, target, 0, 0, width_, height_, 0, 0, face);
}

void TGLNonVisualViewer::CopyToTextureMRT(TGLTextureHandle& texture, TGLTextureTarget target, int bufferIndex,
                                          GLenum internalFormat, bool mipmaps) {
  TGLContext* context = buffer_->RenderingContext();
  if (!context) return;
  TGLContextActivation active(*context);
  bool direct = false;
  if (IsFloatFormat(internalFormat)) {
    texture.AllocateHandle();
    direct = true;
  } else if (texture.GetHandle() != 0) {
    direct = true;
  }
  CopyFrame(*context, texture, target, bufferIndex, internalFormat, mipmaps, direct);
}

void TGLNonVisualViewer::CopyToTexture(TGLTexture& texture) {
  const bool cubeMap = texture.Image()->NativeTarget() == ttTextureCube;
  const GLenum face = cubeMap ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(cubeMapFace_) : 0;
  buffer_->CopyToTexture(texture, 0, 0, width_, height_, 0, 0, face);
}

void TGLNonVisualViewer::CopyToTextureMRT(TGLTexture& texture, int bufferIndex) {
  TGLContext* context = buffer_->RenderingContext();
  if (!context) return;
  TGLContextActivation active(*context);
  bool direct = true;
  if (texture.HasFloatFormat()) {
    texture.GetHandle();
  } else if (!texture.HasHandle()) {
    texture.PrepareHandle();
    direct = false;
  }
  CopyFrame(*context, texture.TextureHandle(), texture.Image()->NativeTarget(), bufferIndex,
            texture.GLInternalFormat(), texture.MinFilter() > miLinear, direct);
}

void TGLNonVisualViewer::CopyFrame(TGLContext& context, TGLTextureHandle& texture, TGLTextureTarget target,
                                   int bufferIndex, GLenum internalFormat, bool mipmaps, bool direct) {
  TGLExtensionsAndEntryPoints& gl = context.GL();
  GLenum glTarget = TextureTargetToGL(target);
  if (glTarget == GL_TEXTURE_CUBE_MAP && cubeMapFace_ != 0) direct = false;

  bufferIndex = std::clamp(bufferIndex, 0, 3);
  gl.ReadBuffer(ColorBufferSource(context, bufferIndex));
  const GLuint name = texture.AllocateHandle();
  texture.SetTarget(target);
  context.GLStates().SetTextureBinding(0, target, name);
  if (glTarget == GL_TEXTURE_CUBE_MAP)
    glTarget = GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(cubeMapFace_);

  if (direct) {
    gl.CopyTexSubImage2D(glTarget, 0, 0, 0, 0, 0, width_, height_);
  } else {
    std::vector<uint8_t> pixels(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    gl.ReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    const bool generateOnUpload = mipmaps && gl.SGIS_generate_mipmap && glTarget == GL_TEXTURE_2D;
    if (generateOnUpload) gl.TexParameteri(glTarget, GL_GENERATE_MIPMAP_SGIS, 1);
    gl.TexImage2D(glTarget, 0, static_cast<GLint>(internalFormat), width_, height_, 0, GL_RGBA,
                  GL_UNSIGNED_BYTE, pixels.data());
    if (mipmaps && !generateOnUpload) gl.GenerateMipmap(glTarget);
  }
  // The frame is read from the first buffer again (the swap and the caller's read-back).
  gl.ReadBuffer(ColorBufferSource(context, 0));
  gl.ClearError();
}

TGLMemoryViewer::TGLMemoryViewer(TComponent* owner) : TGLNonVisualViewer(owner) {}

void TGLMemoryViewer::SetBufferCount(int value) {
  value = std::clamp(value, 1, 4);
  if (value == bufferCount_) return;
  bufferCount_ = value;
  Buffer()->DestroyRenderingContext();
}

void TGLMemoryViewer::InitializeRenderingContext() {
  TGL3DSceneBuffer* buffer = Buffer();
  if (buffer->HasRenderingContext()) return;
  buffer->SetViewPortSize(Width(), Height());
  buffer->NotifyChange(buffer);
  buffer->CreateRenderingContext(nullptr, true, bufferCount_);
}

void TGLMemoryViewer::Render(TGLBaseSceneObject* baseObject) {
  InitializeRenderingContext();
  Buffer()->RenderFrom(baseObject);
}

}  // namespace gl3d

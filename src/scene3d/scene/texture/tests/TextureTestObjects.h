#pragma once
// Objects the texture tests share: a one-colour bitmap, an owner that listens to its textures as a
// material does, and the recording table answering what textures ask of OpenGL.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <functional>

#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/texture/GLTexture.h"
#include "scene3d/scene/texture/TextureStartup.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

namespace gl3d::test {

// A 24-bit bitmap of one colour.
inline TBitmap PlainBitmap(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  TBitmap bitmap;
  bitmap.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = bitmap.ScanLine(y) + 3 * x;
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  return bitmap;
}

// Counts the plain and the texture-mapping changes it hears of.
class ListeningMaterial : public TGLUpdateAbleObject, public IGLTextureNotifyAble {
 public:
  ListeningMaterial() : TGLUpdateAbleObject(nullptr) {}
  void NotifyChange(TObject*) override { ++changes; }
  void NotifyTexMapChange(TObject*) override { ++texMapChanges; }
  int changes = 0, texMapChanges = 0;
};

// A recording context that names textures 1, 2, ..., knows them all, offers 4096 texels a side and
// `units` texture units; Answer may add to what a call gets back. rci points at its state cache
// and transformation stack.
class TextureRecordingFixture : public RecordingFixture {
 protected:
  void SetUp() override {
    TextureStartup();
    RecordingFixture::SetUp();
    rec.OnCall = [this](const TGLRecordedCall& c) {
      TGLArgValue r;
      auto out = [&](size_t i) { return static_cast<GLint*>(const_cast<void*>(c.Args[i].P)); };
      if (c.Name == "GenTextures") *static_cast<GLuint*>(const_cast<void*>(c.Args[1].P)) = ++lastName;
      if (c.Name == "IsTexture") r.I = 1;
      if (c.Name == "GetIntegerv") {
        if (c.Args[0].I == GL_MAX_TEXTURE_SIZE) *out(1) = 4096;
        if (c.Args[0].I == GL_MAX_TEXTURE_UNITS || c.Args[0].I == GL_MAX_TEXTURE_IMAGE_UNITS) *out(1) = units;
      }
      if (Answer) Answer(c, r);
      return r;
    };
    rci.StateCache = &S();
    rci.Transformation = &ctx->PipelineTransformation();
  }

  std::function<void(const TGLRecordedCall&, TGLArgValue&)> Answer;
  TRenderContextInfo rci;
  GLuint lastName = 0;
  int units = 8;
};

}  // namespace gl3d::test

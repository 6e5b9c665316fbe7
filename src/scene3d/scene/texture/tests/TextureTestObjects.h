#pragma once
// Objects the texture tests share: a one-colour bitmap and an owner that listens to its textures
// as a material does.
#include <cstdint>

#include "scene3d/scene/texture/GLTexture.h"
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

}  // namespace gl3d::test

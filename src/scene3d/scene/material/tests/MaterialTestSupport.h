#pragma once
// What the material tests share: an owner that counts the changes its material reports, the
// recording fixture with a render pass record whose buffer settings a test can choose, and a
// watcher of the GL layer's log lines.
#include <string>
#include <string_view>
#include <vector>

#include "scene3d/gl/GLLog.h"
#include "scene3d/scene/material/GLMaterial.h"
#include "scene3d/scene/texture/tests/TextureTestObjects.h"

namespace gl3d::test {

// Owns materials and property objects the way a scene object does, and counts what it hears.
class CountingOwner : public TGLUpdateAbleObject, public IGLTextureNotifyAble {
 public:
  CountingOwner() : TGLUpdateAbleObject(nullptr) {}
  void NotifyChange(TObject*) override { ++changes; }
  void NotifyTexMapChange(TObject*) override { ++texMapChanges; }
  int changes = 0, texMapChanges = 0;
};

// The recording table with a pass record of a lit buffer with depth test, culling off and no fog.
class MaterialFixture : public TextureRecordingFixture {
 protected:
  void SetUp() override {
    TextureRecordingFixture::SetUp();
    rci.DepthTestOn = true;
    rci.LightingOn = true;
    rci.FaceCulling = false;
    rci.FogOn = false;
  }
};

// Collects the GL layer's error lines while it lives.
class LogWatch {
 public:
  LogWatch() {
    gllog::SetObserver(
        [](gllog::TLevel level, std::string_view text, void* data) {
          if (level == gllog::lvError) static_cast<LogWatch*>(data)->errors.emplace_back(text);
        },
        this);
  }
  ~LogWatch() { gllog::SetObserver(nullptr, nullptr); }
  LogWatch(const LogWatch&) = delete;
  LogWatch& operator=(const LogWatch&) = delete;
  std::vector<std::string> errors;
};

}  // namespace gl3d::test

#pragma once
// What the material tests share: an owner that counts the changes its material reports, the
// recording fixture with a render pass record whose buffer settings a test can choose, and a
// watcher of the GL layer's log lines.
#include <string>
#include <string_view>
#include <vector>

#include "scene3d/gl/GLLog.h"
#include "scene3d/scene/material/GLMaterial.h"
#include "scene3d/scene/material/GLShader.h"
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
  // A fresh context and pass record, for tables whose rows each need one.
  void Restart() {
    TearDown();
    rci = TRenderContextInfo();
    SetUp();
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

// A shader that asks for `passes` passes per Apply and counts what the base asks of it; each
// ShaderApply sends glPassThrough(100 + the pass number) so a recording shows the passes.
class CountingShader : public TGLShader {
 public:
  explicit CountingShader(TComponent* owner = nullptr) : TGLShader(owner) {}
  const char* ClassName() const override { return "CountingShader"; }
  int passes = 1;
  int applies = 0, unapplies = 0, initialised = 0, finalised = 0;
  void ShaderApply(TRenderContextInfo&, TObject*) override {
    ++applies;
    CurrentGLEntryPoints().PassThrough(static_cast<float>(100 + pass_));
  }
  bool ShaderUnApply(TRenderContextInfo&) override {
    ++unapplies;
    if (++pass_ < passes) return true;
    pass_ = 0;
    return false;
  }
  void ShaderInitialize(TRenderContextInfo&, TObject*) override { ++initialised; }
  void ShaderFinalize() override { ++finalised; }

 private:
  int pass_ = 0;
};

}  // namespace gl3d::test

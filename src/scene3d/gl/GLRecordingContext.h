#pragma once
// A rendering context without a driver, for tests: its entry-point record is the recording table
// (GLRecordingFunctions.h), so every OpenGL call made while it is current is logged in the
// thread's TGLCallRecorder. It shares objects with any other recording context.
#include <memory>

#include "scene3d/gl/GLContext.h"

namespace gl3d {

class TGLRecordingContext : public TGLContext {
 public:
  // The recording table reports OpenGL major.minor with every extension flag on.
  explicit TGLRecordingContext(int major = 2, int minor = 1);
  ~TGLRecordingContext() override;
  static std::unique_ptr<TGLContext> Create();

  bool IsValid() const override { return created_; }
  void SwapBuffers() override {}
  TGLOutputDevice RenderOutputDevice() const override { return device_; }

  // Makes the next DoActivate fail (as a lost driver context would).
  bool FailActivation = false;
  int DoActivateCount = 0;
  int DoDeactivateCount = 0;

 protected:
  void DoCreateContext(TGLOutputDevice device) override;
  void DoCreateMemoryContext(TGLOutputDevice device, int width, int height, int bufferCount) override;
  bool DoShareLists(TGLContext* other) override;
  void DoDestroyContext() override { created_ = false; }
  void DoActivate() override;
  void DoDeactivate() override { ++DoDeactivateCount; }

 private:
  bool created_ = false;
  TGLOutputDevice device_ = nullptr;
  int major_, minor_;
};

}  // namespace gl3d

#pragma once
// The rendering context of this system: a desktop OpenGL context (compatibility profile) made
// through EGL on an off-screen display (Mesa's surfaceless platform where present), with an
// explicitly chosen 8-8-8-8 colour config. It renders into a pbuffer of its output's size; its
// buffer swap reads the frame back and hands it to the output, which shows it. Every context
// shares its objects with the service context when that exists.
#include <EGL/egl.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "scene3d/gl/GLContext.h"

namespace gl3d {

// What a TGLEGLContext renders for (its TGLOutputDevice). Without one it renders 1x1.
struct TGLEGLOutput {
  int Width = 1;
  int Height = 1;
  // Receives each swapped frame: RGBA bytes, bottom row first, rows without gaps.
  std::function<void(const uint8_t* pixels, int width, int height)> OnFrame;
};

class TGLEGLContext : public TGLContext {
 public:
  TGLEGLContext();
  ~TGLEGLContext() override;

  static std::unique_ptr<TGLContext> Create();

  bool IsValid() const override { return context_ != nullptr; }
  void SwapBuffers() override;
  TGLOutputDevice RenderOutputDevice() const override { return output_; }

  ::EGLContext NativeContext() const { return context_; }
  EGLSurface NativeSurface() const { return surface_; }
  // The process-wide EGL display; EGL_NO_DISPLAY when none can be opened.
  static EGLDisplay Display();

 protected:
  void DoCreateContext(TGLOutputDevice device) override;
  void DoCreateMemoryContext(TGLOutputDevice device, int width, int height, int bufferCount) override;
  bool DoShareLists(TGLContext* other) override;
  void DoDestroyContext() override;
  void DoActivate() override;
  void DoDeactivate() override;

 private:
  bool ChooseConfig(bool pbuffer, EGLConfig& config);
  void MakeContext(int width, int height, bool memory);

  ::EGLContext context_ = nullptr;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLConfig config_ = nullptr;
  TGLEGLOutput* output_ = nullptr;
  int width_ = 1, height_ = 1;
  TGLEGLContext* share_with_ = nullptr;
  // Contexts made sharing with each other hold the same group.
  std::shared_ptr<int> share_group_;
};

}  // namespace gl3d

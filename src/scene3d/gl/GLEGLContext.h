#pragma once
// The rendering context of this system: a desktop OpenGL context (compatibility profile) made
// through EGL on an off-screen display (Mesa's surfaceless platform where present), with an
// explicitly chosen 8-8-8-8 colour config. It renders into a pbuffer of its output's size; its
// buffer swap reads the frame back and hands it to the output, which shows it. Every context
// shares its objects with the service context when that exists.
//
// EGL on Mesa offers no stereo, floating-point colour, accumulation, auxiliary or overlay
// buffers: such requests fall back to the nearest config, each with a warning in the log. A
// memory context of several colour buffers renders into a framebuffer object instead, one colour
// attachment per buffer, all of them drawn at once.
#include <EGL/egl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

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

  // Gives the context a new surface of the size (values below 1 become 1), made current with the
  // same context, which keeps its objects and state; the colour buffers of a memory context
  // follow. The output's size is updated too. Nothing when the size is unchanged or the context
  // is not made.
  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The colour buffers a memory context was made with (1 for any other).
  int ColorBufferCount() const { return color_buffers_; }
  // What glReadBuffer takes to read colour buffer `index` (0 to ColorBufferCount() - 1): the
  // surface's own buffer for index 0 of a single-buffer context, else the framebuffer object's
  // attachment.
  GLenum ColorBufferSource(int index) const;

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
  // Logs each part of the request that no config offers.
  void ReportUnofferedRequests() const;
  EGLSurface MakeSurface(int width, int height) const;
  // With the context current: the framebuffer object of `count` colour buffers and a depth and
  // stencil buffer, bound for drawing and reading.
  void MakeColorBuffers(int count);
  void SizeColorBuffers();
  void ReleaseColorBuffers();

  ::EGLContext context_ = nullptr;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLConfig config_ = nullptr;
  TGLEGLOutput* output_ = nullptr;
  int width_ = 1, height_ = 1;
  TGLEGLContext* share_with_ = nullptr;
  int color_buffers_ = 1;
  GLuint framebuffer_ = 0;
  // The colour renderbuffers, then the depth and stencil one.
  std::vector<GLuint> renderbuffers_;
  // The read-back frame, kept between swaps.
  std::vector<uint8_t> frame_;
  // Contexts made sharing with each other hold the same group.
  std::shared_ptr<int> share_group_;
};

}  // namespace gl3d

#include "scene3d/gl/GLEGLContext.h"

#include <EGL/eglext.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLLog.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/gl/GLTransformation.h"

namespace gl3d {
namespace {

std::mutex g_display_mutex;
EGLDisplay g_display = EGL_NO_DISPLAY;
bool g_display_tried = false;

bool HasToken(const char* list, const char* name) {
  return list && TGLExtensionsAndEntryPoints::CheckExtension(list, name);
}

EGLDisplay OpenDisplay() {
  const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  EGLDisplay d = EGL_NO_DISPLAY;
  if (HasToken(client, "EGL_MESA_platform_surfaceless"))
    d = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (d == EGL_NO_DISPLAY && HasToken(client, "EGL_EXT_platform_device")) {
    auto query = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    EGLDeviceEXT device = nullptr;
    EGLint n = 0;
    if (query && query(1, &device, &n) && n > 0)
      d = eglGetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
  }
  if (d == EGL_NO_DISPLAY) d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (d == EGL_NO_DISPLAY) return d;
  EGLint major = 0, minor = 0;
  if (!eglInitialize(d, &major, &minor)) return EGL_NO_DISPLAY;
  return d;
}

std::string EGLErrorText(EGLint e) { return gllog::Format("%X, EGL error", static_cast<unsigned>(e)); }

// Sample counts by anti-aliasing mode (0: no sample attributes).
constexpr EGLint kSamples[] = {0, 0, 2, 2, 4, 4, 6, 8, 16, 8, 8, 16, 16};
// Makes `ctx` current for a moment on this thread and restores whatever was current.
struct TEGLCurrentScope {
  EGLDisplay display;
  ::EGLContext old_context;
  EGLSurface old_draw, old_read;
  EGLDisplay old_display;
  bool ok;
  TEGLCurrentScope(EGLDisplay d, EGLSurface s, ::EGLContext c)
      : display(d),
        old_context(eglGetCurrentContext()),
        old_draw(eglGetCurrentSurface(EGL_DRAW)),
        old_read(eglGetCurrentSurface(EGL_READ)),
        old_display(eglGetCurrentDisplay()) {
    eglBindAPI(EGL_OPENGL_API);
    ok = eglMakeCurrent(d, s, s, c) == EGL_TRUE;
  }
  ~TEGLCurrentScope() {
    if (old_context != nullptr && old_display != EGL_NO_DISPLAY)
      eglMakeCurrent(old_display, old_draw, old_read, old_context);
    else
      eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, nullptr);
  }
};

}  // namespace

EGLDisplay TGLEGLContext::Display() {
  std::lock_guard<std::mutex> lock(g_display_mutex);
  if (!g_display_tried) {
    g_display_tried = true;
    g_display = OpenDisplay();
  }
  return g_display;
}

TGLEGLContext::TGLEGLContext() = default;

TGLEGLContext::~TGLEGLContext() {
  try {
    if (IsValid()) DestroyContext();
  } catch (...) {
  }
}

std::unique_ptr<TGLContext> TGLEGLContext::Create() { return std::make_unique<TGLEGLContext>(); }

bool TGLEGLContext::ChooseConfig(bool pbuffer, EGLConfig& config) {
  EGLDisplay d = Display();
  auto choose = [&](int depth, int colorBits, bool samples) {
    std::vector<EGLint> a = {
        EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, pbuffer ? EGL_PBUFFER_BIT : 0,
        EGL_DEPTH_SIZE,      depth,          EGL_STENCIL_SIZE, StencilBits()};
    if (samples && AntiAliasing() != aaDefault) {
      a.insert(a.end(), {EGL_SAMPLE_BUFFERS, AntiAliasing() == aaNone ? 0 : 1});
      if (AntiAliasing() != aaNone) a.insert(a.end(), {EGL_SAMPLES, kSamples[AntiAliasing()]});
    }
    a.push_back(EGL_NONE);
    EGLint n = 0;
    if (!eglChooseConfig(d, a.data(), nullptr, 0, &n) || n <= 0) return false;
    std::vector<EGLConfig> all(static_cast<size_t>(n));
    if (!eglChooseConfig(d, a.data(), all.data(), n, &n)) return false;
    // An explicit colour layout: Mesa offers 10-bit configs first.
    const int want = colorBits >= 32 ? 8 : (colorBits >= 24 ? 8 : 5);
    for (EGLint i = 0; i < n; ++i) {
      EGLint r = 0, g = 0, b = 0, al = 0;
      eglGetConfigAttrib(d, all[i], EGL_RED_SIZE, &r);
      eglGetConfigAttrib(d, all[i], EGL_GREEN_SIZE, &g);
      eglGetConfigAttrib(d, all[i], EGL_BLUE_SIZE, &b);
      eglGetConfigAttrib(d, all[i], EGL_ALPHA_SIZE, &al);
      bool colour_ok = want == 8 ? (r == 8 && g == 8 && b == 8 && al == 8) : (r <= 6 && g <= 6 && b <= 6);
      if (colour_ok) {
        config = all[i];
        return true;
      }
    }
    return false;
  };
  const int depth = DepthBits(), color = ColorBits();
  const bool aa = AntiAliasing() != aaDefault;
  // The fallback ladder: smaller depth, then smaller colour, then without multisampling.
  if (choose(depth, color, true)) return true;
  if (depth > 31 && choose(24, color, true)) return true;
  if (depth > 23 && choose(16, color, true)) return true;
  if (color > 23 && choose(depth > 23 ? 16 : depth, 16, true)) return true;
  if (aa) {
    if (choose(depth, color, false)) return true;
    if (depth > 31 && choose(24, color, false)) return true;
    if (depth > 23 && choose(16, color, false)) return true;
  }
  return choose(0, 32, false);
}

void TGLEGLContext::ReportUnofferedRequests() const {
  if (Options() & ContextOption(cfStereo)) gllog::Warning("No stereo config offered - a mono config is used");
  if (ColorBits() > 32)
    gllog::Warning("No floating-point colour config offered - 8 bits per channel are used");
  if (AccumBits() > 0) gllog::Warning("No accumulation buffer offered - the config has none");
  if (AuxBuffers() > 0) gllog::Warning("No auxiliary buffers offered - the config has none");
  if (Layer() != plMainPlane)
    gllog::Warning("No overlay or underlay planes offered - the main plane is used");
}

EGLSurface TGLEGLContext::MakeSurface(int width, int height) const {
  const EGLint attribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  return eglCreatePbufferSurface(Display(), config_, attribs);
}

void TGLEGLContext::MakeContext(int width, int height, bool memory) {
  EGLDisplay d = Display();
  if (d == EGL_NO_DISPLAY) throw EGLContext("No EGL display");
  if (!eglBindAPI(EGL_OPENGL_API)) throw EGLContext("Desktop OpenGL is not available through EGL");
  ReportUnofferedRequests();
  if (!ChooseConfig(true, config_)) {
    if (memory) throw EPBuffer("Format not supported for pbuffer operation.");
    throw EGLContext("No 8-8-8-8 colour config");
  }
  width_ = width < 1 ? 1 : width;
  height_ = height < 1 ? 1 : height;
  surface_ = MakeSurface(width_, height_);
  if (surface_ == EGL_NO_SURFACE) {
    if (memory) throw EPBuffer("Unabled to create pbuffer.");
    throw EGLContext("Unable to create the off-screen surface");
  }

  std::vector<EGLint> attribs = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT};
  if (Options() & ContextOption(cfDebug)) {
    attribs.insert(attribs.end(), {EGL_CONTEXT_OPENGL_DEBUG, EGL_TRUE});
    GL().DebugMode = true;
  }
  if (Options() & ContextOption(cfOpenGLES2))
    gllog::Warning("Driver not support creating of OpenGL ES 2.0 context");
  if (GLStates().ForwardContext()) gllog::Warning("Driver not support creating of forward context");
  attribs.push_back(EGL_NONE);

  // Share with the context given to ShareLists, else with the service context.
  TGLEGLContext* share = share_with_ && share_with_->IsValid() ? share_with_ : nullptr;
  TGLContext* service = GetServiceContext();
  if (!share && service && service != this && service->IsValid())
    share = dynamic_cast<TGLEGLContext*>(service);
  context_ = eglCreateContext(d, config_, share ? share->context_ : nullptr, attribs.data());
  if (context_ == nullptr && share) {
    gllog::Warning(share == service ? "DoCreateContext - Failed to share contexts with resource context"
                                    : "DoCreateContext - Failed to share contexts");
    share = nullptr;
    context_ = eglCreateContext(d, config_, nullptr, attribs.data());
  }
  if (context_ == nullptr) {
    gllog::Error("Can not create backward compatible context: #" + EGLErrorText(eglGetError()));
    eglDestroySurface(d, surface_);
    surface_ = EGL_NO_SURFACE;
    throw EAbort();
  }
  share_group_ = share ? share->share_group_ : std::make_shared<int>(0);

  {
    TEGLCurrentScope scope(d, surface_, context_);
    if (!scope.ok) {
      gllog::Error("Context activation failed: " + EGLErrorText(eglGetError()));
      eglDestroyContext(d, context_);
      eglDestroySurface(d, surface_);
      context_ = nullptr;
      surface_ = EGL_NO_SURFACE;
      throw EAbort();
    }
    GL().Initialize(false);
    if (Acceleration() == hmHardware) {
      const GLubyte* r = GL().GetString(GL_RENDERER);
      std::string renderer = r ? reinterpret_cast<const char*>(r) : "";
      if (renderer.find("llvmpipe") != std::string::npos || renderer.find("softpipe") != std::string::npos ||
          renderer.find("swrast") != std::string::npos) {
        SetAccelerationInternal(hmSoftware);
        gllog::Warning("Unable to create rendering context with hardware acceleration - down to software");
      }
    }
    GLStates().SetForwardContext(false);
    if (color_buffers_ > 1) {
      try {
        MakeColorBuffers(color_buffers_);
      } catch (...) {
        ReleaseColorBuffers();
        eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, nullptr);
        eglDestroyContext(d, context_);
        eglDestroySurface(d, surface_);
        context_ = nullptr;
        surface_ = EGL_NO_SURFACE;
        throw;
      }
    }
  }
  PipelineTransformation().LoadMatricesEnabled = true;
  if (share) JoinShareList(share);
  gllog::Info(memory ? "Backward compatible core PBuffer context successfully created"
                     : "Backward compatible core context successfully created");
}

void TGLEGLContext::DoCreateContext(TGLOutputDevice device) {
  output_ = static_cast<TGLEGLOutput*>(device);
  MakeContext(output_ ? output_->Width : 1, output_ ? output_->Height : 1, false);
}

void TGLEGLContext::DoCreateMemoryContext(TGLOutputDevice device, int width, int height, int bufferCount) {
  output_ = static_cast<TGLEGLOutput*>(device);
  color_buffers_ = bufferCount < 1 ? 1 : (bufferCount > 4 ? 4 : bufferCount);
  MakeContext(width, height, true);
}

void TGLEGLContext::MakeColorBuffers(int count) {
  TGLExtensionsAndEntryPoints& gl = GL();
  gl.GenFramebuffers(1, &framebuffer_);
  gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  renderbuffers_.assign(static_cast<size_t>(count) + 1, 0);
  gl.GenRenderbuffers(count + 1, renderbuffers_.data());
  SizeColorBuffers();
  GLenum attachments[4];
  for (int i = 0; i < count; ++i) {
    attachments[i] = GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(i);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, attachments[i], GL_RENDERBUFFER, renderbuffers_[i]);
  }
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                             renderbuffers_[static_cast<size_t>(count)]);
  gl.DrawBuffers(count, attachments);
  gl.ReadBuffer(GL_COLOR_ATTACHMENT0);
  if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    throw EPBuffer("Format not supported for pbuffer operation.");
}

void TGLEGLContext::SizeColorBuffers() {
  TGLExtensionsAndEntryPoints& gl = GL();
  for (size_t i = 0; i < renderbuffers_.size(); ++i) {
    gl.BindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[i]);
    gl.RenderbufferStorage(GL_RENDERBUFFER, i + 1 < renderbuffers_.size() ? GL_RGBA8 : GL_DEPTH24_STENCIL8,
                           width_, height_);
  }
  gl.BindRenderbuffer(GL_RENDERBUFFER, 0);
}

void TGLEGLContext::ReleaseColorBuffers() {
  if (framebuffer_ == 0 && renderbuffers_.empty()) return;
  TGLExtensionsAndEntryPoints& gl = GL();
  if (framebuffer_) gl.DeleteFramebuffers(1, &framebuffer_);
  if (!renderbuffers_.empty())
    gl.DeleteRenderbuffers(static_cast<GLsizei>(renderbuffers_.size()), renderbuffers_.data());
  framebuffer_ = 0;
  renderbuffers_.clear();
}

GLenum TGLEGLContext::ColorBufferSource(int index) const {
  if (framebuffer_) return GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(index);
  return GL_BACK;
}

void TGLEGLContext::Resize(int width, int height) {
  width = width < 1 ? 1 : width;
  height = height < 1 ? 1 : height;
  if (!IsValid() || (width == width_ && height == height_)) return;
  EGLSurface surface = MakeSurface(width, height);
  if (surface == EGL_NO_SURFACE) throw EGLContext("Unable to create the off-screen surface");
  Activate();
  EGLDisplay d = Display();
  if (!eglMakeCurrent(d, surface, surface, context_)) {
    const EGLint e = eglGetError();
    eglDestroySurface(d, surface);
    Deactivate();
    throw EGLContext("Context activation failed: " + EGLErrorText(e));
  }
  eglDestroySurface(d, surface_);
  surface_ = surface;
  width_ = width;
  height_ = height;
  if (output_) {
    output_->Width = width;
    output_->Height = height;
  }
  try {
    if (framebuffer_) SizeColorBuffers();
  } catch (...) {
    Deactivate();
    throw;
  }
  Deactivate();
}

bool TGLEGLContext::DoShareLists(TGLContext* other) {
  auto* o = dynamic_cast<TGLEGLContext*>(other);
  if (!o) throw common::Exception("Incompatible contexts");
  share_with_ = o;
  // EGL shares only at creation: a made context shares with those of its own group.
  return IsValid() && o->IsValid() && share_group_ && share_group_ == o->share_group_;
}

void TGLEGLContext::DoDestroyContext() {
  EGLDisplay d = Display();
  if (framebuffer_ || !renderbuffers_.empty()) {
    // Renderbuffers belong to the share group and outlive this context unless deleted here.
    TEGLCurrentScope scope(d, surface_, context_);
    try {
      if (scope.ok) ReleaseColorBuffers();
    } catch (...) {
    }
    framebuffer_ = 0;
    renderbuffers_.clear();
  }
  color_buffers_ = 1;
  if (surface_ != EGL_NO_SURFACE) eglDestroySurface(d, surface_);
  if (context_ != nullptr && !eglDestroyContext(d, context_)) gllog::Error("Delete context failed");
  surface_ = EGL_NO_SURFACE;
  context_ = nullptr;
  share_with_ = nullptr;
  share_group_.reset();
}

void TGLEGLContext::DoActivate() {
  EGLDisplay d = Display();
  eglBindAPI(EGL_OPENGL_API);
  if (!eglMakeCurrent(d, surface_, surface_, context_)) {
    gllog::Error("Context activation failed: " + EGLErrorText(eglGetError()));
    throw EAbort();
  }
  if (!GL().Initialized()) GL().Initialize(CurrentGLContext() == nullptr);
}

void TGLEGLContext::DoDeactivate() {
  if (!eglMakeCurrent(Display(), EGL_NO_SURFACE, EGL_NO_SURFACE, nullptr)) {
    gllog::Error("Context deactivation failed");
    throw EAbort();
  }
}

void TGLEGLContext::SwapBuffers() {
  if (!output_ || !(Options() & ContextOption(cfDoubleBuffer)) || !IsValid() || !output_->OnFrame) return;
  Activate();
  try {
    frame_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    TGLExtensionsAndEntryPoints& gl = GL();
    GLint pack = 4;
    gl.GetIntegerv(GL_PACK_ALIGNMENT, &pack);
    // Rows of RGBA bytes are whole words: no alignment change is needed unless one was set.
    if (pack > 4) gl.PixelStorei(GL_PACK_ALIGNMENT, 4);
    gl.ReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, frame_.data());
    if (pack > 4) gl.PixelStorei(GL_PACK_ALIGNMENT, pack);
    output_->OnFrame(frame_.data(), width_, height_);
  } catch (...) {
    Deactivate();
    throw;
  }
  Deactivate();
}

}  // namespace gl3d

#include "scene3d/gl/GLContext.h"

#include <algorithm>
#include <atomic>

#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLLog.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/gl/GLTextureFormat.h"
#include "scene3d/gl/GLTransformation.h"

namespace gl3d {

namespace {

thread_local TGLContext* t_current_context = nullptr;
thread_local TGLExtensionsAndEntryPoints* t_entry_points = nullptr;

std::atomic<bool> g_activation_failed{false};
std::mutex g_classes_mutex;
std::vector<TGLContextFactory> g_context_classes;
std::atomic<TMultitextureCoordinatorFactory> g_coordinator_class{nullptr};
// Share lists of all contexts change under one lock, so that joining two lists never deadlocks.
std::recursive_mutex g_share_mutex;

TGLExtensionsAndEntryPoints& ContextlessEntryPoints() {
  static TGLExtensionsAndEntryPoints* record = [] {
    auto* r = new TGLExtensionsAndEntryPoints();
    r->Close();
    return r;
  }();
  return *record;
}

bool Contains(const std::vector<TGLContext*>& list, const TGLContext* c) {
  return std::find(list.begin(), list.end(), c) != list.end();
}

}  // namespace

TGLContextFactory LastRegisteredGLContextClass();
TGLContextFactory LastRegisteredGLContextClass() {
  std::lock_guard<std::mutex> lock(g_classes_mutex);
  return g_context_classes.empty() ? nullptr : g_context_classes.back();
}

void RegisterGLContextClass(TGLContextFactory factory) {
  std::lock_guard<std::mutex> lock(g_classes_mutex);
  g_context_classes.push_back(factory);
}

void RegisterMultitextureCoordinatorClass(TMultitextureCoordinatorFactory factory) {
  g_coordinator_class.store(factory);
}

TGLContext* CurrentGLContext() { return t_current_context; }

TGLContext* SafeCurrentGLContext() {
  if (!t_current_context) {
    gllog::Error("No active rendering context");
    throw EAbort();
  }
  return t_current_context;
}

TGLExtensionsAndEntryPoints& CurrentGLEntryPoints() {
  return t_entry_points ? *t_entry_points : ContextlessEntryPoints();
}

TGLContext* GetServiceContext() { return GLContextManager().ServiceContext(); }

bool ActivationFailed() { return g_activation_failed.load(); }

// ---------------------------------------------------------------------------------------------
// TGLContext

TGLContext::TGLContext()
    : states_(std::make_unique<TGLStateCache>()), transformation_(std::make_unique<TGLTransformation>()) {
  transformation_->LoadMatricesEnabled = true;
  share_list_.push_back(this);
  manager_ = &GLContextManager();
  manager_->RegisterContext(this);
}

TGLContext::~TGLContext() {
  // A concrete context destroys its native context in its own destructor.
  try {
    if (manager_) manager_->UnRegisterContext(this);
  } catch (const EGLContext&) {
  }
  std::lock_guard<std::recursive_mutex> lock(g_share_mutex);
  for (TGLContext* c : share_list_)
    if (c != this)
      c->share_list_.erase(std::remove(c->share_list_.begin(), c->share_list_.end(), this),
                           c->share_list_.end());
}

void TGLContext::CheckInactive() const {
  if (activation_count_ > 0) throw EGLContext("Cannot alter an active context");
}

void TGLContext::SetColorBits(int v) {
  CheckInactive();
  color_bits_ = v;
}
void TGLContext::SetAlphaBits(int v) {
  CheckInactive();
  alpha_bits_ = v;
}
void TGLContext::SetDepthBits(int v) {
  CheckInactive();
  depth_bits_ = v;
}
void TGLContext::SetStencilBits(int v) {
  CheckInactive();
  stencil_bits_ = v;
}
void TGLContext::SetAccumBits(int v) {
  CheckInactive();
  accum_bits_ = v;
}
void TGLContext::SetAuxBuffers(int v) {
  CheckInactive();
  aux_buffers_ = v;
}
void TGLContext::SetAntiAliasing(TGLAntiAliasing v) {
  CheckInactive();
  anti_aliasing_ = v;
}
void TGLContext::SetOptions(TGLContextOptions v) {
  CheckInactive();
  options_ = v;
}
void TGLContext::SetAcceleration(TGLContextHardwareMode v) {
  CheckInactive();
  acceleration_ = v;
}
void TGLContext::SetLayer(TGLContextPlaneLayer v) {
  CheckInactive();
  layer_ = v;
}

void TGLContext::CreateContext(TGLOutputDevice device) {
  if (IsValid()) throw EGLContext("Context already created");
  DoCreateContext(device);
  manager_->ContextCreatedBy(this);
  native_counted_ = true;
}

void TGLContext::CreateMemoryContext(TGLOutputDevice device, int width, int height, int bufferCount) {
  if (IsValid()) throw EGLContext("Context already created");
  DoCreateMemoryContext(device, width, height, bufferCount);
  manager_->ContextCreatedBy(this);
  native_counted_ = true;
}

std::vector<TGLContext*> TGLContext::ShareList() const {
  std::lock_guard<std::recursive_mutex> lock(g_share_mutex);
  return share_list_;
}

void TGLContext::ShareLists(TGLContext* other) {
  std::lock_guard<std::recursive_mutex> lock(g_share_mutex);
  if (!other || Contains(share_list_, other)) return;
  if (DoShareLists(other)) {
    share_list_.push_back(other);
    PropagateSharedContext();
  }
}

void TGLContext::JoinShareList(TGLContext* other) {
  std::lock_guard<std::recursive_mutex> lock(g_share_mutex);
  if (!other || Contains(share_list_, other)) return;
  share_list_.push_back(other);
  PropagateSharedContext();
}

void TGLContext::PropagateSharedContext() {
  std::lock_guard<std::recursive_mutex> lock(g_share_mutex);
  for (size_t i = 1; i < share_list_.size(); ++i)
    for (TGLContext* c : share_list_[i]->share_list_)
      if (!Contains(share_list_, c)) share_list_.push_back(c);
  for (size_t i = 1; i < share_list_.size(); ++i)
    if (!Contains(share_list_[i]->share_list_, this)) share_list_[i]->share_list_.push_back(this);
}

void TGLContext::DestroyContext() {
  // Another context current on this thread steps aside completely and comes back afterwards.
  TGLContext* previous = t_current_context != this ? t_current_context : nullptr;
  int previous_count = 0;
  if (previous) {
    previous_count = previous->activation_count_;
    for (int i = 0; i < previous_count; ++i) previous->Deactivate();
  }
  auto restore = [&] {
    if (previous)
      for (int i = 0; i < previous_count; ++i) previous->Activate();
  };
  try {
    Activate();
    manager_->ForEachHandleBackwards([](TGLContextHandle* h) { h->ContextDestroying(); });
    if (native_counted_) {
      manager_->DestroyingContextBy(this);
      native_counted_ = false;
    }
    {
      std::lock_guard<std::recursive_mutex> lock(g_share_mutex);
      for (TGLContext* c : share_list_)
        if (c != this)
          c->share_list_.erase(std::remove(c->share_list_.begin(), c->share_list_.end(), this),
                               c->share_list_.end());
      share_list_.assign(1, this);
    }
    SetActive(false);
    DoDestroyContext();
  } catch (...) {
    restore();
    throw;
  }
  restore();
  acceleration_ = hmUnknown;
  gl_.Close();
}

void TGLContext::Activate() {
  lock_.lock();
  try {
    if (activation_count_ == 0) {
      if (!IsValid()) throw EGLContext("Context not created");
      g_activation_failed = false;
      try {
        DoActivate();
      } catch (...) {
        g_activation_failed = true;
      }
      t_entry_points = &gl_;
      t_current_context = this;
    } else {
      ZASSERT(t_current_context == this, "vCurrentGLContext <> Self");
    }
  } catch (...) {
    lock_.unlock();
    throw;
  }
  ++activation_count_;
}

void TGLContext::Deactivate() {
  // Without a matching Activate this thread does not hold the lock: refuse before touching it.
  if (activation_count_ <= 0 || t_current_context != this) throw EGLContext("Unbalanced context activations");
  --activation_count_;
  if (activation_count_ == 0) {
    bool valid = IsValid();
    try {
      if (valid && !g_activation_failed) DoDeactivate();
    } catch (...) {
      t_current_context = nullptr;
      t_entry_points = nullptr;
      lock_.unlock();
      throw;
    }
    t_current_context = nullptr;
    t_entry_points = nullptr;
    if (!valid) {
      lock_.unlock();
      throw EGLContext("Context not created");
    }
  }
  lock_.unlock();
}

void TGLContext::SetActive(bool active) {
  while (GetActive() != active) {
    if (active)
      Activate();
    else
      Deactivate();
  }
}

void TGLContext::PrepareHandlesData() {
  if (t_current_context != this) return;
  manager_->ForEachHandleBackwards([this](TGLContextHandle* h) {
    if (h->OnPrepare) h->OnPrepare(this);
  });
  preparation_needed_ = false;
}

TAbstractMultitextureCoordinator* TGLContext::GetMultitextureCoordinator() {
  if (!coordinator_) {
    TMultitextureCoordinatorFactory f = g_coordinator_class.load();
    ZASSERT(f != nullptr, "No multitexture coordinator class registered");
    coordinator_ = f(this);
  }
  return coordinator_.get();
}

// ---------------------------------------------------------------------------------------------
// TGLContextHandle

TGLContextHandle::TGLContextHandle() : records_(1) { GLContextManager().RegisterHandle(this); }

TGLContextHandle::~TGLContextHandle() { GLContextManager().UnRegisterHandle(this); }

size_t TGLContextHandle::FindContextRecord(TGLContext* context) const {
  if (!context) context = t_current_context;
  if (last_ < records_.size() && records_[last_].Context == context) return last_;
  for (size_t i = 1; i < records_.size(); ++i)
    if (records_[i].Context == context) return i;
  return 0;
}

void TGLContextHandle::CheckCurrentRC() {
  if (last_ >= records_.size() || records_[last_].Context != t_current_context)
    last_ = FindContextRecord(t_current_context);
}

GLuint TGLContextHandle::GetHandle() {
  CheckCurrentRC();
  return records_[last_].Handle;
}

GLuint TGLContextHandle::AllocateHandle() {
  if (GLuint h = GetHandle()) return h;
  TGLContext* current = t_current_context;
  if (!current) {
    gllog::Error("Failed to allocate OpenGL identifier - no active rendering context!");
    return 0;
  }
  records_.push_back(TRecord{current, 0, true});
  last_ = records_.size() - 1;
  bool found = false;
  if (IsShared()) {
    std::vector<TGLContext*> list = current->ShareList();
    for (size_t k = list.size(); k-- > 0 && !found;) {
      for (size_t i = 1; i < records_.size(); ++i) {
        if (records_[i].Context == list[k] && records_[i].Handle != 0) {
          records_[last_].Handle = records_[i].Handle;
          records_[last_].Changed = records_[i].Changed;
          ++current->owned_objects_;
          found = true;
          break;
        }
      }
    }
  }
  if (!found) {
    GLuint name = DoAllocateHandle();
    records_[last_].Handle = name;
    records_[last_].Changed = name != 0;
    if (name) ++current->owned_objects_;
  }
  GLuint name = records_[last_].Handle;
  if (!name)
    gllog::Error("No active rendering context");
  else if (OnPrepare)
    GLContextManager().NotifyPreparationNeed();
  return name;
}

void TGLContextHandle::DestroyHandle() {
  TGLContext* previous = t_current_context;
  int previous_count = previous ? previous->activation_count_ : 0;
  for (int i = 0; i < previous_count; ++i) previous->Deactivate();
  std::exception_ptr failure;
  for (size_t i = records_.size(); i-- > 1;) {
    TRecord& r = records_[i];
    if (r.Handle && r.Context) {
      try {
        r.Context->Activate();
        try {
          if (IsValid(r.Handle)) DoDestroyHandle(r.Handle);
        } catch (...) {
          if (!failure) failure = std::current_exception();
        }
        --r.Context->owned_objects_;
        r.Context->Deactivate();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    }
    r = TRecord{};
  }
  records_.resize(1);
  last_ = 0;
  while (TGLContext* c = t_current_context) c->SetActive(false);
  for (int i = 0; i < previous_count; ++i) previous->Activate();
  if (failure) std::rethrow_exception(failure);
}

void TGLContextHandle::ContextDestroying() {
  TGLContext* current = t_current_context;
  if (!current) return;
  bool still_used = false;
  if (IsShared()) {
    std::vector<TGLContext*> list = current->ShareList();
    for (size_t i = 1; i < records_.size() && !still_used; ++i)
      if (records_[i].Context != current && records_[i].Handle != 0 && Contains(list, records_[i].Context))
        still_used = true;
  }
  for (size_t i = records_.size(); i-- > 1;) {
    if (records_[i].Context != current || records_[i].Handle == 0) continue;
    if (!still_used && IsValid(records_[i].Handle)) DoDestroyHandle(records_[i].Handle);
    --current->owned_objects_;
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
    if (last_ == i)
      last_ = 0;
    else if (last_ > i)
      --last_;
    break;
  }
}

TGLContext* TGLContextHandle::GetContext() {
  TGLContext* current = t_current_context;
  for (size_t i = records_.size(); i-- > 1;)
    if (records_[i].Context == current && records_[i].Handle) return current;
  for (size_t i = 1; i < records_.size(); ++i)
    if (records_[i].Handle) return records_[i].Context;
  return nullptr;
}

bool TGLContextHandle::IsDataNeedUpdate() {
  if (GetHandle() == 0) return true;
  return records_[last_].Changed;
}

void TGLContextHandle::NotifyDataUpdated() {
  TGLContext* current = t_current_context;
  if (!current) {
    gllog::Error("No active rendering context");
    return;
  }
  if (IsShared()) {
    std::vector<TGLContext*> list = current->ShareList();
    for (size_t i = 1; i < records_.size(); ++i)
      if (records_[i].Handle && Contains(list, records_[i].Context)) records_[i].Changed = false;
  } else {
    size_t i = FindContextRecord(current);
    if (i) records_[i].Changed = false;
  }
}

void TGLContextHandle::NotifyChangesOfData() {
  for (size_t i = 1; i < records_.size(); ++i) records_[i].Changed = true;
  if (OnPrepare) GLContextManager().NotifyPreparationNeed();
}

// ---------------------------------------------------------------------------------------------
// Handle classes

TGLVirtualHandle::~TGLVirtualHandle() { DestroyHandle(); }

GLuint TGLVirtualHandle::DoAllocateHandle() { return OnAllocate ? OnAllocate() : 0; }

void TGLVirtualHandle::DoDestroyHandle(GLuint name) {
  if (ActivationFailed()) return;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.ClearError();
  if (OnDestroy) OnDestroy(name);
  gl.CheckError();
}

TGLListHandle::~TGLListHandle() { DestroyHandle(); }

GLuint TGLListHandle::DoAllocateHandle() { return CurrentGLEntryPoints().GenLists(1); }

void TGLListHandle::DoDestroyHandle(GLuint name) {
  if (ActivationFailed()) return;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.ClearError();
  gl.DeleteLists(name, 1);
  gl.CheckError();
}

bool TGLListHandle::IsValid(GLuint name) const { return CurrentGLEntryPoints().IsList(name) != GL_FALSE; }

TGLTextureHandle::~TGLTextureHandle() { DestroyHandle(); }

GLuint TGLTextureHandle::DoAllocateHandle() {
  GLuint name = 0;
  CurrentGLEntryPoints().GenTextures(1, &name);
  target_ = ttNoShape;
  return name;
}

void TGLTextureHandle::DoDestroyHandle(GLuint name) {
  if (ActivationFailed()) return;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.GetError();
  if (TGLContext* c = CurrentGLContext()) {
    TGLStateCache& states = c->GLStates();
    int units = gl.ARB_multitexture ? states.GetMaxTextureImageUnits() : 1;
    units = std::clamp(units, 1, kTextureUnitCount);
    for (int u = 0; u < units; ++u)
      for (int t = 0; t < kTextureTargetCount; ++t)
        if (states.GetTextureBinding(u, static_cast<TGLTextureTarget>(t)) == name)
          states.SetTextureBinding(u, static_cast<TGLTextureTarget>(t), 0);
  }
  gl.DeleteTextures(1, &name);
  gl.CheckError();
}

bool TGLTextureHandle::IsValid(GLuint name) const {
  return CurrentGLEntryPoints().IsTexture(name) != GL_FALSE;
}

void TGLTextureHandle::SetTarget(uint8_t target) {
  if (target_ == ttNoShape) target_ = target;
}

GLuint TGLBufferObjectHandle::DoAllocateHandle() {
  GLuint name = 0;
  CurrentGLEntryPoints().GenBuffers(1, &name);
  return name;
}

void TGLBufferObjectHandle::DoDestroyHandle(GLuint name) {
  if (ActivationFailed()) return;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.GetError();
  UnBind();
  gl.DeleteBuffers(1, &name);
  gl.CheckError();
}

bool TGLBufferObjectHandle::IsValid(GLuint name) const {
  return CurrentGLEntryPoints().IsBuffer(name) != GL_FALSE;
}

bool TGLBufferObjectHandle::IsSupported() const { return CurrentGLEntryPoints().ARB_vertex_buffer_object; }

void TGLBufferObjectHandle::BindRange(GLuint, GLintptr, GLsizeiptr) {
  ZASSERT(false, "BindRange only XBO and UBO");
}
void TGLBufferObjectHandle::BindBase(GLuint) { ZASSERT(false, "BindRange only XBO and UBO"); }
void TGLBufferObjectHandle::UnBindBase(GLuint) { ZASSERT(false, "BindRange only XBO and UBO"); }

void TGLBufferObjectHandle::BufferData(const void* data, GLsizeiptr size, GLenum usage) {
  Bind();
  buffer_size_ = size;
  CurrentGLEntryPoints().BufferData(GetTarget(), size, data, usage);
}

TGLVBOArrayBufferHandle::~TGLVBOArrayBufferHandle() { DestroyHandle(); }
void TGLVBOArrayBufferHandle::Bind() {
  SafeCurrentGLContext()->GLStates().SetArrayBufferBinding(GetHandle());
}
void TGLVBOArrayBufferHandle::UnBind() { SafeCurrentGLContext()->GLStates().SetArrayBufferBinding(0); }

TGLVBOElementArrayHandle::~TGLVBOElementArrayHandle() { DestroyHandle(); }
void TGLVBOElementArrayHandle::Bind() {
  SafeCurrentGLContext()->GLStates().SetElementBufferBinding(GetHandle());
}
void TGLVBOElementArrayHandle::UnBind() { SafeCurrentGLContext()->GLStates().SetElementBufferBinding(0); }

TGLUnpackPBOHandle::~TGLUnpackPBOHandle() { DestroyHandle(); }
bool TGLUnpackPBOHandle::IsSupported() const { return CurrentGLEntryPoints().ARB_pixel_buffer_object; }
void TGLUnpackPBOHandle::Bind() {
  SafeCurrentGLContext()->GLStates().SetPixelUnpackBufferBinding(GetHandle());
}
void TGLUnpackPBOHandle::UnBind() { SafeCurrentGLContext()->GLStates().SetPixelUnpackBufferBinding(0); }

}  // namespace gl3d

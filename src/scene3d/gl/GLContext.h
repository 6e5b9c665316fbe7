#pragma once
// Rendering contexts and context handles.
//
// TGLContext is the abstract rendering context: its pixel-format request, its own entry-point
// record, state cache and transformation stack, activations nested per thread, and the list of
// contexts it shares OpenGL objects with. A TGLContextHandle holds one OpenGL object name per
// context, reusing a name across contexts that share objects.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "scene3d/gl/GLExceptions.h"
#include "scene3d/gl/GLExtensionsAndEntryPoints.h"

namespace gl3d {

class TGLContext;
class TGLContextManager;
class TGLStateCache;
class TGLTransformation;

enum TGLAntiAliasing : uint8_t {
  aaDefault,
  aaNone,
  aa2x,
  aa2xHQ,
  aa4x,
  aa4xHQ,
  aa6x,
  aa8x,
  aa16x,
  csa8x,
  csa8xHQ,
  csa16x,
  csa16xHQ
};
enum TGLContextFlag : uint8_t { cfDoubleBuffer, cfStereo, cfDebug, cfOpenGLES2 };
// A set of TGLContextFlag: bit n for the flag of ordinal n.
using TGLContextOptions = uint32_t;
constexpr TGLContextOptions ContextOption(TGLContextFlag f) { return 1u << f; }
enum TGLContextHardwareMode : uint8_t { hmUnknown, hmHardware, hmSoftware };
enum TGLContextPlaneLayer : uint8_t { plUnderlay2, plUnderlay1, plMainPlane, plOverlay1, plOverlay2 };

// What a context renders for; its meaning belongs to the concrete context class.
using TGLOutputDevice = void*;

class TAbstractMultitextureCoordinator {
 public:
  explicit TAbstractMultitextureCoordinator(TGLContext* owner) : Owner(owner) {}
  virtual ~TAbstractMultitextureCoordinator() = default;
  TGLContext* const Owner;
};
using TMultitextureCoordinatorFactory = std::unique_ptr<TAbstractMultitextureCoordinator> (*)(TGLContext*);
void RegisterMultitextureCoordinatorClass(TMultitextureCoordinatorFactory factory);

using TGLContextFactory = std::unique_ptr<TGLContext> (*)();
void RegisterGLContextClass(TGLContextFactory factory);

class TGLContext {
 public:
  // Registers with the process-wide context manager.
  TGLContext();
  // A concrete class's destructor calls DestroyContext while it can still reach its own slots.
  virtual ~TGLContext();
  TGLContext(const TGLContext&) = delete;
  TGLContext& operator=(const TGLContext&) = delete;

  // The pixel-format request; each setter raises EGLContext "Cannot alter an active context"
  // while the context is active.
  int ColorBits() const { return color_bits_; }
  int AlphaBits() const { return alpha_bits_; }
  int DepthBits() const { return depth_bits_; }
  int StencilBits() const { return stencil_bits_; }
  int AccumBits() const { return accum_bits_; }
  int AuxBuffers() const { return aux_buffers_; }
  TGLAntiAliasing AntiAliasing() const { return anti_aliasing_; }
  TGLContextOptions Options() const { return options_; }
  TGLContextHardwareMode Acceleration() const { return acceleration_; }
  TGLContextPlaneLayer Layer() const { return layer_; }
  void SetColorBits(int v);
  void SetAlphaBits(int v);
  void SetDepthBits(int v);
  void SetStencilBits(int v);
  void SetAccumBits(int v);
  void SetAuxBuffers(int v);
  void SetAntiAliasing(TGLAntiAliasing v);
  void SetOptions(TGLContextOptions v);
  void SetAcceleration(TGLContextHardwareMode v);
  void SetLayer(TGLContextPlaneLayer v);

  void CreateContext(TGLOutputDevice device);
  void CreateMemoryContext(TGLOutputDevice device, int width, int height, int bufferCount);
  // Adds `other` to the share list when the two contexts can share objects.
  void ShareLists(TGLContext* other);
  void DestroyContext();
  void Activate();
  void Deactivate();
  bool GetActive() const { return activation_count_ > 0; }
  void SetActive(bool active);
  void PrepareHandlesData();
  // Needs a registered coordinator class.
  TAbstractMultitextureCoordinator* GetMultitextureCoordinator();

  virtual bool IsValid() const = 0;
  virtual void SwapBuffers() = 0;
  virtual TGLOutputDevice RenderOutputDevice() const = 0;

  TGLExtensionsAndEntryPoints& GL() { return gl_; }
  TGLStateCache& GLStates() { return *states_; }
  TGLTransformation& PipelineTransformation() { return *transformation_; }
  TGLContextManager* Manager() const { return manager_; }
  int ActivationCount() const { return activation_count_; }
  int OwnedObjectsCount() const { return owned_objects_; }
  bool IsPreparationNeed() const { return preparation_needed_; }
  void SetPreparationNeed() { preparation_needed_ = true; }
  // A copy of the share list; its first entry is this context.
  std::vector<TGLContext*> ShareList() const;

 protected:
  virtual void DoCreateContext(TGLOutputDevice device) = 0;
  virtual void DoCreateMemoryContext(TGLOutputDevice device, int width, int height, int bufferCount) = 0;
  virtual bool DoShareLists(TGLContext* other) = 0;
  virtual void DoDestroyContext() = 0;
  virtual void DoActivate() = 0;
  virtual void DoDeactivate() = 0;

  // Adds the members of every member's list to this list, and this context to theirs.
  void PropagateSharedContext();
  // For concrete contexts that share at creation: `other` joins the share list.
  void JoinShareList(TGLContext* other);
  void SetAccelerationInternal(TGLContextHardwareMode v) { acceleration_ = v; }

 private:
  friend class TGLContextHandle;
  void CheckInactive() const;

  int color_bits_ = 32, alpha_bits_ = 0, depth_bits_ = 0, stencil_bits_ = 0, accum_bits_ = 0,
      aux_buffers_ = 0;
  TGLAntiAliasing anti_aliasing_ = aaDefault;
  TGLContextOptions options_ = 0;
  TGLContextManager* manager_ = nullptr;
  int activation_count_ = 0;
  int owned_objects_ = 0;
  bool preparation_needed_ = true;
  bool native_counted_ = false;
  TGLExtensionsAndEntryPoints gl_;
  std::unique_ptr<TAbstractMultitextureCoordinator> coordinator_;
  std::unique_ptr<TGLStateCache> states_;
  std::unique_ptr<TGLTransformation> transformation_;
  TGLContextHardwareMode acceleration_ = hmUnknown;
  TGLContextPlaneLayer layer_ = plMainPlane;
  std::vector<TGLContext*> share_list_;
  std::recursive_mutex lock_;
};

// The calling thread's current context, or nullptr.
TGLContext* CurrentGLContext();
// The same; with no current context logs "No active rendering context" and raises EAbort.
TGLContext* SafeCurrentGLContext();
// The calling thread's entry-point record: the current context's, or the closed context-less
// record whose every entry is the stub. Never null.
TGLExtensionsAndEntryPoints& CurrentGLEntryPoints();
// The service context, or nullptr.
TGLContext* GetServiceContext();
// Whether the last activation on any thread failed; object deletions skip OpenGL meanwhile.
bool ActivationFailed();

// One OpenGL object (display list, texture, buffer) with one name per context.
class TGLContextHandle {
 public:
  TGLContextHandle();
  virtual ~TGLContextHandle();
  TGLContextHandle(const TGLContextHandle&) = delete;
  TGLContextHandle& operator=(const TGLContextHandle&) = delete;

  // Makes (or finds) the object for the current context and returns its name; 0 without one.
  GLuint AllocateHandle();
  // The current context's name, 0 when it has none.
  GLuint GetHandle();
  void DestroyHandle();
  // Called by a dying context while it is current.
  void ContextDestroying();
  TGLContext* GetContext();
  bool IsDataNeedUpdate();
  void NotifyDataUpdated();
  void NotifyChangesOfData();

  struct TRecord {
    TGLContext* Context = nullptr;
    GLuint Handle = 0;
    bool Changed = true;
  };
  // Record 0 is the empty record.
  size_t RecordCount() const { return records_.size(); }
  const TRecord& GetRecord(size_t index) const { return records_.at(index); }

  std::function<void(TGLContext*)> OnPrepare;

  virtual bool IsShared() const { return true; }
  virtual bool IsValid(GLuint) const { return true; }
  virtual bool IsSupported() const { return true; }

 protected:
  virtual GLuint DoAllocateHandle() = 0;
  virtual void DoDestroyHandle(GLuint name) = 0;

 private:
  size_t FindContextRecord(TGLContext* context) const;
  void CheckCurrentRC();
  std::vector<TRecord> records_;
  size_t last_ = 0;
};

class TGLVirtualHandle : public TGLContextHandle {
 public:
  ~TGLVirtualHandle() override;
  std::function<GLuint()> OnAllocate;
  std::function<void(GLuint)> OnDestroy;
  bool IsShared() const override { return false; }

 protected:
  GLuint DoAllocateHandle() override;
  void DoDestroyHandle(GLuint name) override;
};

class TGLListHandle : public TGLContextHandle {
 public:
  ~TGLListHandle() override;
  bool IsValid(GLuint name) const override;

 protected:
  GLuint DoAllocateHandle() override;
  void DoDestroyHandle(GLuint name) override;
};

class TGLTextureHandle : public TGLContextHandle {
 public:
  ~TGLTextureHandle() override;
  bool IsValid(GLuint name) const override;
  // Set once; later calls are ignored while a target is set.
  void SetTarget(uint8_t target);
  uint8_t Target() const { return target_; }

 protected:
  GLuint DoAllocateHandle() override;
  void DoDestroyHandle(GLuint name) override;

 private:
  uint8_t target_ = 0;  // a TGLTextureTarget
};

class TGLBufferObjectHandle : public TGLContextHandle {
 public:
  bool IsValid(GLuint name) const override;
  bool IsSupported() const override;
  virtual GLenum GetTarget() const = 0;
  virtual void Bind() = 0;
  virtual void UnBind() = 0;
  // Only for transform-feedback and uniform buffers, which this layer does not make.
  virtual void BindRange(GLuint index, GLintptr offset, GLsizeiptr size);
  virtual void BindBase(GLuint index);
  virtual void UnBindBase(GLuint index);
  void BufferData(const void* data, GLsizeiptr size, GLenum usage);
  GLsizeiptr BufferSize() const { return buffer_size_; }

 protected:
  GLuint DoAllocateHandle() override;
  void DoDestroyHandle(GLuint name) override;

 private:
  GLsizeiptr buffer_size_ = 0;
};

class TGLVBOHandle : public TGLBufferObjectHandle {};

class TGLVBOArrayBufferHandle : public TGLVBOHandle {
 public:
  ~TGLVBOArrayBufferHandle() override;
  GLenum GetTarget() const override { return GL_ARRAY_BUFFER; }
  void Bind() override;
  void UnBind() override;
};

class TGLVBOElementArrayHandle : public TGLVBOHandle {
 public:
  ~TGLVBOElementArrayHandle() override;
  GLenum GetTarget() const override { return GL_ELEMENT_ARRAY_BUFFER; }
  void Bind() override;
  void UnBind() override;
};

class TGLUnpackPBOHandle : public TGLBufferObjectHandle {
 public:
  ~TGLUnpackPBOHandle() override;
  GLenum GetTarget() const override { return GL_PIXEL_UNPACK_BUFFER; }
  bool IsSupported() const override;
  void Bind() override;
  void UnBind() override;
};

}  // namespace gl3d

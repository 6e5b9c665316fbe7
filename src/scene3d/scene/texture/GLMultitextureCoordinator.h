#pragma once
// The multitexturing coordinator of a rendering context. Geometry sends texture coordinates and
// switches coordinate generation and client arrays through fifteen redirected entry points, not
// knowing how many texture units the current material feeds; materials and textures choose, while
// they are applied, which units the calls reach: none, unit 0, unit 1, units 0 and 1, or a list.
// A mode is resolved into function pointers when it is installed, not per call; a mode change can
// be deferred between BeginUpdate and EndUpdate.
#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "scene3d/gl/GLContext.h"

namespace gl3d {

enum TMapTexCoordMode : uint8_t { mtcmUndefined, mtcmNull, mtcmMain, mtcmDual, mtcmSecond, mtcmArbitrary };

class TGLMultitextureCoordinator : public TAbstractMultitextureCoordinator {
 public:
  // Installs the null mode: every redirected call does nothing.
  explicit TGLMultitextureCoordinator(TGLContext* owner);
  ~TGLMultitextureCoordinator() override;
  TGLMultitextureCoordinator(const TGLMultitextureCoordinator&) = delete;
  TGLMultitextureCoordinator& operator=(const TGLMultitextureCoordinator&) = delete;

  // Each switches to its mode (deferred while an update is open; nothing when installed already).
  // With the second unit forbidden, the second mode becomes the null mode and the dual mode the
  // main mode. Installing the second, dual or arbitrary mode on a context without
  // GL_ARB_multitexture fails an assertion after the mode changed, the entry points staying.
  void SetNullMapping();
  void SetMainMapping();
  void SetSecondMapping();
  void SetDualMapping();
  // Units are GL_TEXTUREi enumerants; GL_TEXTURE1 is dropped while the second unit is forbidden.
  // The list is replaced at once, also while an update is open.
  void SetArbitraryMapping(const std::vector<GLenum>& units);
  // Bit k of the low eight bits selects GL_TEXTURE0 + k, in ascending k.
  void SetArbitraryMappingBits(int32_t mask);
  void AddArbitraryMappingBits(int32_t mask);
  // The units fed by the mode in force (the pending one while an update is open): main 1, second
  // 2, dual 3, arbitrary the units of the list (units 32 and above are not counted). The null and
  // undefined modes fail an assertion.
  int32_t MappingBits();

  void BeginUpdate();
  // Installs the pending mode when the outermost update ends; a pending undefined mode fails an
  // assertion.
  void EndUpdate();
  void ForbidSecondTextureUnit() { secondForbidden_ = true; }
  void AllowSecondTextureUnit() { secondForbidden_ = false; }

  TMapTexCoordMode Mode() const { return mode_; }
  TMapTexCoordMode PendingMode() const { return pendingMode_; }
  int32_t UpdateDepth() const { return updateDepth_; }
  bool SecondTextureUnitForbidden() const { return secondForbidden_; }
  const std::vector<GLenum>& Units() const { return units_; }

  // The redirected entry points, with the arguments of the OpenGL functions of the same names.
  void(APIENTRY* TexCoord2f)(GLfloat s, GLfloat t) = nullptr;
  void(APIENTRY* TexCoord2fv)(const GLfloat* v) = nullptr;
  void(APIENTRY* TexCoord3f)(GLfloat s, GLfloat t, GLfloat r) = nullptr;
  void(APIENTRY* TexCoord3fv)(const GLfloat* v) = nullptr;
  void(APIENTRY* TexCoord4f)(GLfloat s, GLfloat t, GLfloat r, GLfloat q) = nullptr;
  void(APIENTRY* TexCoord4fv)(const GLfloat* v) = nullptr;
  void(APIENTRY* TexGenf)(GLenum coord, GLenum pname, GLfloat param) = nullptr;
  void(APIENTRY* TexGenfv)(GLenum coord, GLenum pname, const GLfloat* params) = nullptr;
  void(APIENTRY* TexGeni)(GLenum coord, GLenum pname, GLint param) = nullptr;
  void(APIENTRY* TexGeniv)(GLenum coord, GLenum pname, const GLint* params) = nullptr;
  void(APIENTRY* TexCoordPointer)(GLint size, GLenum type, GLsizei stride, const void* pointer) = nullptr;
  void(APIENTRY* EnableClientState)(GLenum array) = nullptr;
  void(APIENTRY* DisableClientState)(GLenum array) = nullptr;
  void(APIENTRY* Enable)(GLenum cap) = nullptr;
  void(APIENTRY* Disable)(GLenum cap) = nullptr;

 private:
  // The common rule of every Set operation.
  void SwitchTo(TMapTexCoordMode mode);
  void Install(TMapTexCoordMode mode);

  TMapTexCoordMode mode_ = mtcmUndefined;
  bool secondForbidden_ = false;
  int32_t updateDepth_ = 0;
  TMapTexCoordMode pendingMode_ = mtcmUndefined;
  std::vector<GLenum> units_;
};

// The coordinator of the calling thread's current context, found through a per-thread cache. Without
// a current context: "No active rendering context" is logged and the silent abort raised.
TGLMultitextureCoordinator* CurrentMultitextureCoordinator();

// The factory that contexts use to make their coordinator.
std::unique_ptr<TAbstractMultitextureCoordinator> CreateMultitextureCoordinator(TGLContext* owner);

}  // namespace gl3d

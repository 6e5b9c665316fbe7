#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <atomic>

#include "scene3d/gl/GLStateCache.h"

namespace gl3d {

namespace {

// Bumped whenever a coordinator is freed, so that no thread's cache keeps pointing at it.
std::atomic<uint64_t> g_coordinator_generation{0};

struct CoordinatorCache {
  TGLMultitextureCoordinator* Coordinator = nullptr;
  TGLContext* Owner = nullptr;
  uint64_t Generation = 0;
};
thread_local CoordinatorCache t_cache;

TGLExtensionsAndEntryPoints& GL() { return CurrentGLEntryPoints(); }
// Through the state cache, which sends GL_TEXTURE0 + unit only when it differs from the cached one.
void SelectUnit(int unit) { SafeCurrentGLContext()->GLStates().SetActiveTexture(unit); }
const std::vector<GLenum>& ListedUnits() { return CurrentMultitextureCoordinator()->Units(); }

// Mode null: nothing.
template <class... A>
void APIENTRY Nothing(A...) {}

// Texture coordinates: the plain call is a field of the entry-point record, the unit call its
// glMultiTexCoord twin.
template <auto Multi, class... A>
void APIENTRY SecondCoord(A... a) {
  (GL().*Multi)(GL_TEXTURE1, a...);
}
template <auto Plain, auto Multi, class... A>
void APIENTRY DualCoord(A... a) {
  TGLExtensionsAndEntryPoints& gl = GL();
  (gl.*Plain)(a...);
  (gl.*Multi)(GL_TEXTURE1, a...);
}
template <auto Multi, class... A>
void APIENTRY ArbitraryCoord(A... a) {
  TGLExtensionsAndEntryPoints& gl = GL();
  for (GLenum unit : ListedUnits()) (gl.*Multi)(unit, a...);
}

// Generation and capabilities: on the active texture unit.
template <auto Call, class... A>
void APIENTRY SecondUnit(A... a) {
  SelectUnit(1);
  (GL().*Call)(a...);
}
template <auto Call, class... A>
void APIENTRY DualUnit(A... a) {
  SelectUnit(0);
  (GL().*Call)(a...);
  SelectUnit(1);
  (GL().*Call)(a...);
}
template <auto Call, class... A>
void APIENTRY ArbitraryUnit(A... a) {
  for (GLenum unit : ListedUnits()) {
    SelectUnit(static_cast<int>(unit - GL_TEXTURE0));
    (GL().*Call)(a...);
  }
}

// Client arrays: on the client-active unit.
template <auto Call, class... A>
void APIENTRY SecondClient(A... a) {
  TGLExtensionsAndEntryPoints& gl = GL();
  gl.ClientActiveTexture(GL_TEXTURE1);
  (gl.*Call)(a...);
  gl.ClientActiveTexture(GL_TEXTURE0);
}
template <auto Call, class... A>
void APIENTRY DualClient(A... a) {
  TGLExtensionsAndEntryPoints& gl = GL();
  (gl.*Call)(a...);
  gl.ClientActiveTexture(GL_TEXTURE1);
  (gl.*Call)(a...);
  gl.ClientActiveTexture(GL_TEXTURE0);
}
template <auto Call, class... A>
void APIENTRY ArbitraryClient(A... a) {
  TGLExtensionsAndEntryPoints& gl = GL();
  for (GLenum unit : ListedUnits()) {
    gl.ClientActiveTexture(unit);
    (gl.*Call)(a...);
  }
}

using E = TGLEntryPoints;
using F = GLfloat;
using Fv = const GLfloat*;
using Iv = const GLint*;

}  // namespace

TGLMultitextureCoordinator::TGLMultitextureCoordinator(TGLContext* owner)
    : TAbstractMultitextureCoordinator(owner) {
  SetNullMapping();
}

TGLMultitextureCoordinator::~TGLMultitextureCoordinator() {
  g_coordinator_generation.fetch_add(1, std::memory_order_acq_rel);
}

void TGLMultitextureCoordinator::Install(TMapTexCoordMode mode) {
  mode_ = mode;
  if (mode == mtcmSecond || mode == mtcmDual || mode == mtcmArbitrary)
    ZASSERT(Owner && Owner->GL().ARB_multitexture, "Assertion failed");
  switch (mode) {
    case mtcmMain: {
      // The functions of the table current now: the owner's, since each context has its own coordinator.
      TGLExtensionsAndEntryPoints& gl = GL();
      TexCoord2f = gl.TexCoord2f;
      TexCoord2fv = gl.TexCoord2fv;
      TexCoord3f = gl.TexCoord3f;
      TexCoord3fv = gl.TexCoord3fv;
      TexCoord4f = gl.TexCoord4f;
      TexCoord4fv = gl.TexCoord4fv;
      TexGenf = gl.TexGenf;
      TexGenfv = gl.TexGenfv;
      TexGeni = gl.TexGeni;
      TexGeniv = gl.TexGeniv;
      TexCoordPointer = gl.TexCoordPointer;
      EnableClientState = gl.EnableClientState;
      DisableClientState = gl.DisableClientState;
      Enable = gl.Enable;
      Disable = gl.Disable;
      break;
    }
    case mtcmSecond:
      TexCoord2f = SecondCoord<&E::MultiTexCoord2f, F, F>;
      TexCoord2fv = SecondCoord<&E::MultiTexCoord2fv, Fv>;
      TexCoord3f = SecondCoord<&E::MultiTexCoord3f, F, F, F>;
      TexCoord3fv = SecondCoord<&E::MultiTexCoord3fv, Fv>;
      TexCoord4f = SecondCoord<&E::MultiTexCoord4f, F, F, F, F>;
      TexCoord4fv = SecondCoord<&E::MultiTexCoord4fv, Fv>;
      TexGenf = SecondUnit<&E::TexGenf, GLenum, GLenum, F>;
      TexGenfv = SecondUnit<&E::TexGenfv, GLenum, GLenum, Fv>;
      TexGeni = SecondUnit<&E::TexGeni, GLenum, GLenum, GLint>;
      TexGeniv = SecondUnit<&E::TexGeniv, GLenum, GLenum, Iv>;
      TexCoordPointer = SecondClient<&E::TexCoordPointer, GLint, GLenum, GLsizei, const void*>;
      EnableClientState = SecondClient<&E::EnableClientState, GLenum>;
      DisableClientState = SecondClient<&E::DisableClientState, GLenum>;
      Enable = SecondUnit<&E::Enable, GLenum>;
      Disable = SecondUnit<&E::Disable, GLenum>;
      break;
    case mtcmDual:
      TexCoord2f = DualCoord<&E::TexCoord2f, &E::MultiTexCoord2f, F, F>;
      TexCoord2fv = DualCoord<&E::TexCoord2fv, &E::MultiTexCoord2fv, Fv>;
      TexCoord3f = DualCoord<&E::TexCoord3f, &E::MultiTexCoord3f, F, F, F>;
      TexCoord3fv = DualCoord<&E::TexCoord3fv, &E::MultiTexCoord3fv, Fv>;
      TexCoord4f = DualCoord<&E::TexCoord4f, &E::MultiTexCoord4f, F, F, F, F>;
      TexCoord4fv = DualCoord<&E::TexCoord4fv, &E::MultiTexCoord4fv, Fv>;
      TexGenf = DualUnit<&E::TexGenf, GLenum, GLenum, F>;
      TexGenfv = DualUnit<&E::TexGenfv, GLenum, GLenum, Fv>;
      TexGeni = DualUnit<&E::TexGeni, GLenum, GLenum, GLint>;
      TexGeniv = DualUnit<&E::TexGeniv, GLenum, GLenum, Iv>;
      TexCoordPointer = DualClient<&E::TexCoordPointer, GLint, GLenum, GLsizei, const void*>;
      EnableClientState = DualClient<&E::EnableClientState, GLenum>;
      DisableClientState = DualClient<&E::DisableClientState, GLenum>;
      Enable = DualUnit<&E::Enable, GLenum>;
      Disable = DualUnit<&E::Disable, GLenum>;
      break;
    case mtcmArbitrary:
      TexCoord2f = ArbitraryCoord<&E::MultiTexCoord2f, F, F>;
      TexCoord2fv = ArbitraryCoord<&E::MultiTexCoord2fv, Fv>;
      TexCoord3f = ArbitraryCoord<&E::MultiTexCoord3f, F, F, F>;
      TexCoord3fv = ArbitraryCoord<&E::MultiTexCoord3fv, Fv>;
      TexCoord4f = ArbitraryCoord<&E::MultiTexCoord4f, F, F, F, F>;
      TexCoord4fv = ArbitraryCoord<&E::MultiTexCoord4fv, Fv>;
      TexGenf = ArbitraryUnit<&E::TexGenf, GLenum, GLenum, F>;
      TexGenfv = ArbitraryUnit<&E::TexGenfv, GLenum, GLenum, Fv>;
      TexGeni = ArbitraryUnit<&E::TexGeni, GLenum, GLenum, GLint>;
      TexGeniv = ArbitraryUnit<&E::TexGeniv, GLenum, GLenum, Iv>;
      TexCoordPointer = ArbitraryClient<&E::TexCoordPointer, GLint, GLenum, GLsizei, const void*>;
      EnableClientState = ArbitraryClient<&E::EnableClientState, GLenum>;
      DisableClientState = ArbitraryClient<&E::DisableClientState, GLenum>;
      Enable = ArbitraryUnit<&E::Enable, GLenum>;
      Disable = ArbitraryUnit<&E::Disable, GLenum>;
      break;
    default:
      TexCoord2f = Nothing<F, F>;
      TexCoord2fv = Nothing<Fv>;
      TexCoord3f = Nothing<F, F, F>;
      TexCoord3fv = Nothing<Fv>;
      TexCoord4f = Nothing<F, F, F, F>;
      TexCoord4fv = Nothing<Fv>;
      TexGenf = Nothing<GLenum, GLenum, F>;
      TexGenfv = Nothing<GLenum, GLenum, Fv>;
      TexGeni = Nothing<GLenum, GLenum, GLint>;
      TexGeniv = Nothing<GLenum, GLenum, Iv>;
      TexCoordPointer = Nothing<GLint, GLenum, GLsizei, const void*>;
      EnableClientState = Nothing<GLenum>;
      DisableClientState = Nothing<GLenum>;
      Enable = Nothing<GLenum>;
      Disable = Nothing<GLenum>;
      break;
  }
}

void TGLMultitextureCoordinator::SwitchTo(TMapTexCoordMode mode) {
  if (updateDepth_ != 0) {
    pendingMode_ = mode;
    return;
  }
  if (mode == mode_) return;
  Install(mode);
}

void TGLMultitextureCoordinator::SetNullMapping() { SwitchTo(mtcmNull); }
void TGLMultitextureCoordinator::SetMainMapping() { SwitchTo(mtcmMain); }
void TGLMultitextureCoordinator::SetSecondMapping() { SwitchTo(secondForbidden_ ? mtcmNull : mtcmSecond); }
void TGLMultitextureCoordinator::SetDualMapping() { SwitchTo(secondForbidden_ ? mtcmMain : mtcmDual); }

void TGLMultitextureCoordinator::SetArbitraryMapping(const std::vector<GLenum>& units) {
  std::vector<GLenum> kept;
  kept.reserve(units.size());
  for (GLenum unit : units)
    if (!(secondForbidden_ && unit == GL_TEXTURE1)) kept.push_back(unit);
  units_ = std::move(kept);
  SwitchTo(mtcmArbitrary);
}

void TGLMultitextureCoordinator::SetArbitraryMappingBits(int32_t mask) {
  std::vector<GLenum> units;
  for (int k = 0; k < 8; ++k)
    if (mask & (1 << k)) units.push_back(GL_TEXTURE0 + static_cast<GLenum>(k));
  SetArbitraryMapping(units);
}

void TGLMultitextureCoordinator::AddArbitraryMappingBits(int32_t mask) {
  SetArbitraryMappingBits(mask | MappingBits());
}

int32_t TGLMultitextureCoordinator::MappingBits() {
  switch (updateDepth_ != 0 ? pendingMode_ : mode_) {
    case mtcmMain:
      return 1;
    case mtcmSecond:
      return 2;
    case mtcmDual:
      return 3;
    case mtcmArbitrary: {
      uint32_t bits = 0;
      for (GLenum unit : units_) {
        const GLenum k = unit - GL_TEXTURE0;
        if (k < 32) bits |= 1u << k;
      }
      return static_cast<int32_t>(bits);
    }
    default:
      ZASSERT(false, "Assertion failed");
      return 0;
  }
}

void TGLMultitextureCoordinator::BeginUpdate() {
  if (updateDepth_ == 0) {
    updateDepth_ = 1;
    pendingMode_ = mode_;
  } else {
    ++updateDepth_;
  }
}

void TGLMultitextureCoordinator::EndUpdate() {
  --updateDepth_;
  if (updateDepth_ != 0 || pendingMode_ == mode_) return;
  switch (pendingMode_) {
    case mtcmNull:
      SetNullMapping();
      break;
    case mtcmMain:
      SetMainMapping();
      break;
    case mtcmDual:
      SetDualMapping();
      break;
    case mtcmSecond:
      SetSecondMapping();
      break;
    case mtcmArbitrary:
      SwitchTo(mtcmArbitrary);
      break;
    default:
      ZASSERT(false, "Assertion failed");
  }
}

TGLMultitextureCoordinator* CurrentMultitextureCoordinator() {
  TGLContext* context = SafeCurrentGLContext();
  const uint64_t generation = g_coordinator_generation.load(std::memory_order_acquire);
  if (!t_cache.Coordinator || t_cache.Owner != context || t_cache.Generation != generation) {
    auto* coordinator = dynamic_cast<TGLMultitextureCoordinator*>(context->GetMultitextureCoordinator());
    ZASSERT(coordinator != nullptr, "Assertion failed");
    t_cache = CoordinatorCache{coordinator, context, generation};
  }
  return t_cache.Coordinator;
}

std::unique_ptr<TAbstractMultitextureCoordinator> CreateMultitextureCoordinator(TGLContext* owner) {
  return std::make_unique<TGLMultitextureCoordinator>(owner);
}

}  // namespace gl3d

#include "scene3d/scene/primitives/GLPoints.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

#include "common/Exception.h"

namespace gl3d {

namespace {
constexpr TVector4f kDefaultAttenuation{1, 0, 0, 0};
// Above this many points the arrays are locked for the draw (GL_EXT_compiled_vertex_array).
constexpr int kLockArraysAbove = 64;
}  // namespace

// ---- TGLPointParameters ----

TGLPointParameters::TGLPointParameters(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      distanceAttenuation_(std::make_unique<TGLCoordinates3>(this, kDefaultAttenuation, ckVector)) {}

TGLPointParameters::~TGLPointParameters() = default;

void TGLPointParameters::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  NotifyChange(this);
}

void TGLPointParameters::SetMinSize(float value) {
  if (minSize_ == value) return;
  minSize_ = value < 0 ? 0 : value;
  NotifyChange(this);
}

void TGLPointParameters::SetMaxSize(float value) {
  if (maxSize_ == value) return;
  maxSize_ = value < 0 ? 0 : value;
  NotifyChange(this);
}

void TGLPointParameters::SetFadeTresholdSize(float value) {
  if (fadeTresholdSize_ == value) return;
  fadeTresholdSize_ = value < 0 ? 0 : value;
  NotifyChange(this);
}

void TGLPointParameters::Assign(const TPersistent* source) {
  auto* src = dynamic_cast<const TGLPointParameters*>(source);
  if (!src) return;
  minSize_ = src->minSize_;
  maxSize_ = src->maxSize_;
  fadeTresholdSize_ = src->fadeTresholdSize_;
  distanceAttenuation_->Assign(src->distanceAttenuation_.get());
}

void TGLPointParameters::DefineStoredProperties(TFiler& filer) {
  TGLUpdateAbleObject::DefineStoredProperties(filer);
  filer.DefineBinaryProperty(
      "PointParams", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); },
      minSize_ != 0 || maxSize_ != 128 || fadeTresholdSize_ != 1);
}

void TGLPointParameters::ReadData(TStream& stream) {
  if (stream.Remaining() != 12) throw EReadError("Invalid property value");
  float sizes[3];
  stream.ReadBuffer(sizes, 12);
  minSize_ = sizes[0];
  maxSize_ = sizes[1];
  fadeTresholdSize_ = sizes[2];
}

void TGLPointParameters::WriteData(TStream& stream) const {
  const float sizes[3] = {minSize_, maxSize_, fadeTresholdSize_};
  stream.WriteBuffer(sizes, 12);
}

void TGLPointParameters::Apply() {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  if (!enabled_ || !gl.ARB_point_parameters) return;
  gl.PointParameterf(GL_POINT_SIZE_MIN, minSize_);
  gl.PointParameterf(GL_POINT_SIZE_MAX, maxSize_);
  gl.PointParameterf(GL_POINT_FADE_THRESHOLD_SIZE, fadeTresholdSize_);
  gl.PointParameterfv(GL_POINT_DISTANCE_ATTENUATION, &distanceAttenuation_->AsAddress()->X);
}

void TGLPointParameters::UnApply() {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  if (!enabled_ || !gl.ARB_point_parameters) return;
  gl.PointParameterf(GL_POINT_SIZE_MIN, 0);
  gl.PointParameterf(GL_POINT_SIZE_MAX, 128);
  gl.PointParameterf(GL_POINT_FADE_THRESHOLD_SIZE, 1);
  gl.PointParameterfv(GL_POINT_DISTANCE_ATTENUATION, &kDefaultAttenuation.X);
}

// ---- TGLPoints ----

TGLPoints::TGLPoints(TComponent* owner)
    : TGLImmaterialSceneObject(owner),
      positions_(std::make_unique<TAffineVectorList>()),
      colors_(std::make_unique<TVectorList>()),
      pointParameters_(std::make_unique<TGLPointParameters>(this)) {
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw) | ObjectStyleBit(sfNoVisibilityCulling));
  positions_->Add(NullVector3f);
}

TGLPoints::~TGLPoints() = default;

void TGLPoints::SetPositions(const TAffineVectorList* value) {
  positions_->Assign(value);
  StructureChanged();
}

void TGLPoints::SetColors(const TVectorList* value) {
  colors_->Assign(value);
  StructureChanged();
}

void TGLPoints::SetSize(float value) {
  if (size_ == value) return;
  size_ = value;
  StructureChanged();
}

void TGLPoints::SetStyle(TGLPointStyle value) {
  if (style_ == value) return;
  style_ = value;
  StructureChanged();
}

void TGLPoints::SetStatic(bool value) {
  if (static_ == value) return;
  static_ = value;
  if (value)
    SetObjectStyle(ObjectStyle() & static_cast<TGLObjectStyle>(~ObjectStyleBit(sfDirectDraw)));
  else
    SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
  StructureChanged();
}

void TGLPoints::SetNoZWrite(bool value) {
  if (noZWrite_ == value) return;
  noZWrite_ = value;
  StructureChanged();
}

void TGLPoints::Assign(const TPersistent* source) {
  if (auto* src = dynamic_cast<const TGLPoints*>(source)) {
    size_ = src->size_;
    style_ = src->style_;
    positions_->Assign(src->positions_.get());
    colors_->Assign(src->colors_.get());
    StructureChanged();
  }
  TGLImmaterialSceneObject::Assign(source);
}

void TGLPoints::SetupStyle(TGLStateCache& states) {
  switch (style_) {
    case psSquare:
      states.Disable(capBlend);
      break;
    case psRound:
      states.Enable(capPointSmooth);
      states.Enable(capAlphaTest);
      states.SetAlphaFunction(cfGreater, 0.5f);
      states.Disable(capBlend);
      break;
    case psSmooth:
    case psSmoothAdditive:
      states.Enable(capPointSmooth);
      states.Enable(capAlphaTest);
      states.SetAlphaFunction(cfNotEqual, 0);
      states.Enable(capBlend);
      states.SetBlendFunc(bfSrcAlpha, style_ == psSmooth ? bfOneMinusSrcAlpha : bfOne);
      break;
    case psSquareAdditive:
      states.Enable(capBlend);
      states.SetBlendFunc(bfSrcAlpha, bfOne);
      break;
    default:
      ZASSERT(false, "Assertion failure (GLObjects)");
  }
}

void TGLPoints::BuildList(TRenderContextInfo& rci) {
  int n = positions_->Count();
  if (n == 0) return;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLStateCache& states = *rci.StateCache;

  const int colorCount = colors_->Count();
  if (colorCount == 1) {
    gl.Color4fv(&colors_->List()[0].X);
  } else if (colorCount > 1) {
    gl.ColorPointer(4, GL_FLOAT, 0, colors_->List());
    gl.EnableClientState(GL_COLOR_ARRAY);
    n = std::min(n, colorCount);
  } else {
    gl.Color4f(1, 1, 1, 1);
  }
  if (colorCount < 2) gl.DisableClientState(GL_COLOR_ARRAY);

  states.Disable(capLighting);
  gl.VertexPointer(3, GL_FLOAT, 0, positions_->List());
  gl.EnableClientState(GL_VERTEX_ARRAY);
  if (noZWrite_) states.SetDepthWriteMask(false);
  states.SetPointSize(size_);
  pointParameters_->Apply();
  const bool locked = gl.EXT_compiled_vertex_array && n > kLockArraysAbove;
  if (locked) gl.LockArrays(0, n);

  SetupStyle(states);
  gl.DrawArrays(GL_POINTS, 0, n);

  if (locked) gl.UnlockArrays();
  pointParameters_->UnApply();
  gl.DisableClientState(GL_VERTEX_ARRAY);
  if (colorCount > 1) gl.DisableClientState(GL_COLOR_ARRAY);
}

}  // namespace gl3d

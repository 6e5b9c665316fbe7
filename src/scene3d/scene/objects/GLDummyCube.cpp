#include "scene3d/scene/objects/GLDummyCube.h"

#include <GL/gl.h>

#include <cmath>
#include <string>

#include "common/Exception.h"
#include "scene3d/gl/GLStateCache.h"

namespace gl3d {

void DrawWireCube(TRenderContextInfo& rci, bool stippled, const TVector4f& color, float size) {
  TGLStateCache& states = *rci.StateCache;
  states.Disable(capLighting);
  states.Enable(capLineSmooth);
  if (stippled) {
    states.Enable(capLineStipple);
    states.Enable(capBlend);
    states.SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
    states.SetLineStippleFactor(1);
    states.SetLineStipplePattern(0xCCCC);
  }
  states.SetLineWidth(1);
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.Color4fv(&color.X);
  const float h = size / 2;
  gl.Begin(GL_LINE_STRIP);
  const float strip[][3] = {{h, -h, -h}, {h, h, -h},  {h, h, h},   {h, -h, h},  {h, -h, -h},
                            {-h, -h, -h}, {-h, -h, h}, {-h, h, h}, {-h, h, -h}, {h, h, -h}};
  for (const auto& p : strip) gl.Vertex3f(p[0], p[1], p[2]);
  gl.End();
  gl.Begin(GL_LINES);
  const float lines[][3] = {{h, h, h}, {-h, h, h}, {-h, -h, -h}, {-h, h, -h}, {h, -h, h}, {-h, -h, h}};
  for (const auto& p : lines) gl.Vertex3f(p[0], p[1], p[2]);
  gl.End();
}

TGLDummyCube::TGLDummyCube(TComponent* owner)
    : TGLCameraInvariantObject(owner),
      edgeColor_(std::make_unique<TGLColor>(this, TVector4f{1, 1, 1, 1})),
      groupList_(std::make_unique<TGLListHandle>()) {
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
}

TGLDummyCube::~TGLDummyCube() = default;

void TGLDummyCube::SetCubeSize(float value) {
  if (value == cubeSize_) return;
  cubeSize_ = value;
  StructureChanged();
}

void TGLDummyCube::SetEdgeColor(const TGLColor* value) {
  if (value == edgeColor_.get()) return;
  edgeColor_->Assign(value);
  StructureChanged();
}

void TGLDummyCube::SetVisibleAtRunTime(bool value) {
  if (value == visibleAtRunTime_) return;
  visibleAtRunTime_ = value;
  StructureChanged();
}

void TGLDummyCube::SetAmalgamate(bool value) {
  if (value == amalgamate_) return;
  amalgamate_ = value;
  if (!value) groupList_->DestroyHandle();
  StructureChanged();
}

void TGLDummyCube::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TGLDummyCube*>(source)) {
    cubeSize_ = other->cubeSize_;
    edgeColor_->Assign(other->edgeColor_.get());
    visibleAtRunTime_ = other->visibleAtRunTime_;
    NotifyChange(this);
  }
  TGLCameraInvariantObject::Assign(source);
}

TVector4f TGLDummyCube::BarycenterAbsolutePosition() {
  const int n = Count();
  if (n == 0) return AbsolutePosition();
  TVector4f sum{0, 0, 0, 0};
  for (int i = 0; i < n; ++i) {
    const TVector4f b = Get(i)->BarycenterAbsolutePosition();
    sum = {sum.X + b.X, sum.Y + b.Y, sum.Z + b.Z, sum.W + b.W};
  }
  const float k = 1.0f / static_cast<float>(n);
  return {sum.X * k, sum.Y * k, sum.Z * k, sum.W * k};
}

TVector4f TGLDummyCube::AxisAlignedDimensionsUnscaled() {
  const float h = std::fabs(cubeSize_) / 2;
  return {h, h, h, 0};
}

void TGLDummyCube::BuildList(TRenderContextInfo& rci) {
  // csDesigning is never set in this program (there is no form designer).
  if (visibleAtRunTime_ || (ComponentState() & ComponentStateBit(csDesigning)))
    DrawWireCube(rci, true, edgeColor_->Color(), cubeSize_);
}

void TGLDummyCube::DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (OnVisibilityDetermination && !OnVisibilityDetermination(this, rci)) return;
  if (!amalgamate_ || rci.Amalgamating) {
    TGLCameraInvariantObject::DoRender(rci, renderSelf, renderChildren);
    return;
  }
  TGLStateCache& states = *rci.StateCache;
  if (groupList_->GetHandle() == 0) {
    const GLuint name = groupList_->AllocateHandle();
    ZASSERT(name != 0, (std::string("Handle=0 for ") + ClassName()).c_str());
    states.NewList(name, GL_COMPILE);
    rci.Amalgamating = true;
    struct TEnd {
      TRenderContextInfo& rci;
      TGLStateCache& states;
      ~TEnd() {
        rci.Amalgamating = false;
        states.EndList();
      }
    } end{rci, states};
    TGLCameraInvariantObject::DoRender(rci, renderSelf, renderChildren);
  }
  states.CallList(groupList_->GetHandle());
}

void TGLDummyCube::StructureChanged() {
  if (amalgamate_) groupList_->DestroyHandle();
  TGLCameraInvariantObject::StructureChanged();
}

}  // namespace gl3d

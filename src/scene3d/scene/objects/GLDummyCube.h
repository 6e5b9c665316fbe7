#pragma once
// The dummy cube: an invisible grouping object that can show a wire-frame box and can compile its
// whole subtree into one display list (Amalgamate); and the wire-frame box itself.
#include <functional>
#include <memory>

#include "scene3d/base/GLColor.h"
#include "scene3d/scene/objects/GLCameraInvariantObject.h"

namespace gl3d {

// Answers whether the object and its subtree are drawn in this pass.
using TGLVisibilityDeterminationEvent = std::function<bool(TObject* sender, TRenderContextInfo& rci)>;

// The edges of a box of the given size about the origin, lighting off and line smoothing on;
// stippled (pattern $CCCC) and blended when asked.
void DrawWireCube(TRenderContextInfo& rci, bool stippled, const TVector4f& color, float size);

class TGLDummyCube : public TGLCameraInvariantObject {
 public:
  // Drawn directly, cimNone, CubeSize 1, white edges, invisible at run time.
  explicit TGLDummyCube(TComponent* owner);
  ~TGLDummyCube() override;
  const char* ClassName() const override { return "TGLDummyCube"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLDummyCube>; }

  float CubeSize() const { return cubeSize_; }
  void SetCubeSize(float value);
  TGLColor* EdgeColor() const { return edgeColor_.get(); }
  void SetEdgeColor(const TGLColor* value);
  bool VisibleAtRunTime() const { return visibleAtRunTime_; }
  void SetVisibleAtRunTime(bool value);
  bool Amalgamate() const { return amalgamate_; }
  // Switching it off frees the group's display list.
  void SetAmalgamate(bool value);
  TGLListHandle* GroupList() const { return groupList_.get(); }
  TGLVisibilityDeterminationEvent OnVisibilityDetermination;

  // CubeSize, EdgeColor and VisibleAtRunTime from another dummy cube, then the inherited step.
  void Assign(const TPersistent* source) override;
  // The mean of the children's barycentres; the own position without children.
  TVector4f BarycenterAbsolutePosition() override;
  // |CubeSize| / 2 on all three axes.
  TVector4f AxisAlignedDimensionsUnscaled() override;
  bool RayCastIntersect(const TVector4f&, const TVector4f&, TVector4f* = nullptr, TVector4f* = nullptr) override {
    return false;
  }
  // The wire-frame box when VisibleAtRunTime.
  void BuildList(TRenderContextInfo& rci) override;
  // With Amalgamate the subtree is compiled once into the group list, which is called from then on.
  void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;
  // With Amalgamate the group is compiled again at the next render.
  void StructureChanged() override;

 private:
  float cubeSize_ = 1;
  std::unique_ptr<TGLColor> edgeColor_;
  bool visibleAtRunTime_ = false;
  bool amalgamate_ = false;
  std::unique_ptr<TGLListHandle> groupList_;
};

}  // namespace gl3d

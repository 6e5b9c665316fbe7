// Drawing a scene object and its subtree: the picking skip, culling, the model matrix, axes,
// effects, the display list or direct drawing, and the order of the children.
#include <GL/gl.h>

#include "common/Exception.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

namespace {

// Pops the transformation stack and clears the rendering object on every way out of Render.
class TRenderScope {
 public:
  explicit TRenderScope(TGLTransformation& transformation) : transformation_(transformation) {
    transformation_.Push();
  }
  ~TRenderScope() {
    CurrentRenderingObject = nullptr;
    transformation_.Pop();
  }
  TRenderScope(const TRenderScope&) = delete;
  TRenderScope& operator=(const TRenderScope&) = delete;

 private:
  TGLTransformation& transformation_;
};

// Puts back the sorting and culling modes a parent gave its children.
struct TInheritedModes {
  TRenderContextInfo& rci;
  TGLObjectsSorting sorting;
  TGLVisibilityCulling culling;
  explicit TInheritedModes(TRenderContextInfo& r)
      : rci(r), sorting(r.ObjectsSorting), culling(r.VisibilityCulling) {}
  ~TInheritedModes() {
    rci.ObjectsSorting = sorting;
    rci.VisibilityCulling = culling;
  }
  TInheritedModes(const TInheritedModes&) = delete;
  TInheritedModes& operator=(const TInheritedModes&) = delete;
};

// How many children ahead of the one drawn the loop over the children asks for their fields.
constexpr int kPrefetchAhead = 8;

}  // namespace

// The box test of a subtree: the box where it is in the world, since the frustum is there too.
bool TGLBaseSceneObject::HierarchyClipped(const TRenderContextInfo& rci) {
  TAxisBox box = AxisAlignedBoundingBoxUnscaled(true);
  TransformAxisBox(box, GetAbsoluteMatrix());
  return IsBoxClipped(box.Min, box.Max, rci.Frustum);
}

// Small enough to inline into Render: most objects of a culled pass end here.
inline void TGLBaseSceneObject::CullingDecision(const TRenderContextInfo& rci, bool& drawSelf,
                                                bool& drawChildren) {
  const bool hasChildList = children_ != nullptr;
  switch (rci.VisibilityCulling) {
    case vcInherited:
    case vcNone:
      drawSelf = true;
      drawChildren = hasChildList;
      break;
    case vcObjectBased:
      if (HasStyle(sfNoVisibilityCulling)) {
        drawSelf = true;
      } else {
        const TVector4f centre = BarycenterAbsolutePosition();
        drawSelf = !IsSphereClipped({centre.X, centre.Y, centre.Z}, BoundingSphereRadius(), rci.Frustum);
      }
      drawChildren = hasChildList;
      break;
    case vcHierarchical:
      drawSelf = HasStyle(sfNoVisibilityCulling) || !HierarchyClipped(rci);
      drawChildren = drawSelf && hasChildList;
      break;
    default:
      ZASSERT(false, "Unknown visibility culling option");
  }
}

// Render's body, inline so that the loop over the children takes the culled ones without a call.
inline void TGLBaseSceneObject::RenderUnlessCulled(TRenderContextInfo& rci) {
  if (rci.DrawMode == dsPicking && !GetPickable()) return;
  bool drawSelf = false, drawChildren = false;
  CullingDecision(rci, drawSelf, drawChildren);
  if (drawSelf || drawChildren) RenderInView(rci, drawSelf, drawChildren);
}

void TGLBaseSceneObject::Render(TRenderContextInfo& rci) { RenderUnlessCulled(rci); }

// Kept apart from Render so that the objects culled away return without setting up the
// transformation scope and its unwinding.
void TGLBaseSceneObject::RenderInView(TRenderContextInfo& rci, bool drawSelf, bool drawChildren) {
  TGLTransformation& transformation = *rci.Transformation;
  TRenderScope scope(transformation);
  RebuildMatrix();
  if (rci.ProxyRender) {
    TMatrix4f m;
    MultiplyMatrix4f(localMatrix_, transformation.GetModelMatrix(), m);
    transformation.SetModelMatrix(m);
  } else {
    transformation.SetModelMatrix(GetAbsoluteMatrix());
  }

  TGLPickSelector* selector = nullptr;
  TGLBaseSceneObject* previousPick = nullptr;
  if (rci.DrawMode == dsPicking && rci.Buffer && (selector = rci.Buffer->PickSelector())) {
    if (rci.ProxyRender) previousPick = selector->GetCurrentPickObject();
    selector->SetCurrentPickObject(this);
  }

  if (drawSelf) {
    DrawSelf(rci, drawChildren);
  } else {
    const bool depthOff = HasStyle(sfIgnoreDepthBuffer) && rci.Buffer && rci.Buffer->DepthTest();
    if (depthOff) rci.StateCache->Disable(capDepthTest);
    DoRender(rci, false, drawChildren);
    if (depthOff) rci.StateCache->Enable(capDepthTest);
  }

  if (previousPick) selector->SetCurrentPickObject(previousPick);
}

void TGLBaseSceneObject::DrawSelf(TRenderContextInfo& rci, bool drawChildren) {
  CurrentRenderingObject = this;
  if (showAxes_) RenderAxes(rci, 0xCCCC);
  auto draw = [this, &rci, drawChildren] {
    // The depth test comes back on afterwards, whatever it was before.
    const bool depthOff = HasStyle(sfIgnoreDepthBuffer);
    if (depthOff) rci.StateCache->Disable(capDepthTest);
    DoRender(rci, true, drawChildren);
    if (depthOff) rci.StateCache->Enable(capDepthTest);
  };
  if (effects_ && effects_->Count() > 0) {
    TGLTransformation& transformation = *rci.Transformation;
    transformation.Push();
    effects_->RenderPreEffects(rci);
    transformation.Pop();
    transformation.Push();
    draw();
    effects_->RenderPostEffects(rci);
    transformation.Pop();
  } else {
    draw();
  }
  CurrentRenderingObject = nullptr;
}

void TGLBaseSceneObject::DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  if (renderSelf) {
    if (HasStyle(sfDirectDraw) || rci.Amalgamating)
      BuildList(rci);
    else
      rci.StateCache->CallList(GetHandle(rci));
  }
  if (renderChildren) RenderChildren(0, GetCount() - 1, rci);
}

void TGLBaseSceneObject::BuildList(TRenderContextInfo&) {}

GLuint TGLBaseSceneObject::GetHandle(TRenderContextInfo& rci) {
  if (!listHandle_) listHandle_ = std::make_unique<TGLListHandle>();
  GLuint name = listHandle_->GetHandle();
  if (name == 0) name = listHandle_->AllocateHandle();
  if (changes_ & ObjectChangeBit(chStructure)) {
    ClearStructureChanged();
    listHandle_->NotifyChangesOfData();
  }
  if (listHandle_->IsDataNeedUpdate()) {
    rci.StateCache->NewList(name, GL_COMPILE);
    try {
      BuildList(rci);
    } catch (...) {
      rci.StateCache->EndList();  // the handle stays marked as needing an update
      throw;
    }
    rci.StateCache->EndList();
    listHandle_->NotifyDataUpdated();
  }
  return name;
}

bool TGLBaseSceneObject::ListHandleAllocated() {
  return listHandle_ && listHandle_->GetHandle() != 0 && !(changes_ & ObjectChangeBit(chStructure));
}

void TGLBaseSceneObject::RenderChildren(int first, int last, TRenderContextInfo& rci) {
  if (!children_) return;
  TInheritedModes inherited(rci);
  if (visibilityCulling_ != vcInherited) rci.VisibilityCulling = visibilityCulling_;
  if (first == last) {
    TGLBaseSceneObject* child = Child(first);
    if (child->GetVisible()) child->Render(rci);
    return;
  }
  if (first > last) return;
  if (first < 0 || last >= children_->Count()) children_->Error();
  if (objectsSorting_ != osInherited) rci.ObjectsSorting = objectsSorting_;
  switch (rci.ObjectsSorting) {
    case osNone: {
      TObject** list = children_->List();
      for (int i = first; i <= last; ++i) {
        // Objects lie wherever they were allocated; asking for a later child's fields now hides
        // most of the wait for them behind the work on this one.
        if (i + kPrefetchAhead <= last)
          static_cast<TGLBaseSceneObject*>(list[i + kPrefetchAhead])->PrefetchRenderFields();
        auto* child = static_cast<TGLBaseSceneObject*>(list[i]);
        if (child->GetVisible()) child->RenderUnlessCulled(rci);
      }
      break;
    }
    case osRenderFarthestFirst:
    case osRenderBlendedLast:
    case osRenderNearestFirst: {
      TSingleList keys;
      TPersistentObjectList sorted, opaque;
      SortChildren(first, last, rci.ObjectsSorting, rci.CameraPosition, keys, sorted, opaque);
      for (int i = 0; i < opaque.Count(); ++i) static_cast<TGLBaseSceneObject*>(opaque[i])->Render(rci);
      for (int i = sorted.Count() - 1; i >= 0; --i) static_cast<TGLBaseSceneObject*>(sorted[i])->Render(rci);
      break;
    }
    default:
      ZASSERT(false, "Assertion failure (scene core)");
  }
}

void TGLBaseSceneObject::SortChildren(int first, int last, TGLObjectsSorting mode,
                                      const TVector4f& cameraPosition, TSingleList& keys,
                                      TPersistentObjectList& sorted, TPersistentObjectList& opaque) {
  if (first > last) return;
  if (first < 0 || last >= GetCount()) throw EListError("Invalid list index");
  const int step = last + 1;
  keys.SetGrowthDelta(step);
  sorted.SetGrowthDelta(step);
  opaque.SetGrowthDelta(step);
  TObject** list = children_->List();
  for (int i = first; i <= last; ++i) {
    if (i + kPrefetchAhead <= last)
      static_cast<TGLBaseSceneObject*>(list[i + kPrefetchAhead])->PrefetchSortFields();
    auto* child = static_cast<TGLBaseSceneObject*>(list[i]);
    if (!child->GetVisible()) continue;
    if (mode == osRenderBlendedLast && !child->Blended()) {
      opaque.Add(child);
      continue;
    }
    const float distance = child->SqrDistanceTo(cameraPosition);
    keys.Add(mode == osRenderNearestFirst ? -1 - distance : distance + 1);
    sorted.Add(child);
  }
  if (keys.Count() > 1) QuickSortLists(0, keys.Count() - 1, keys, sorted);
}

void TGLBaseSceneObject::RenderAxes(TRenderContextInfo& rci, uint16_t pattern) {
  DrawAxes(rci, pattern, rci.ClipFarDistance - rci.ClipNearDistance);
}

void TGLBaseSceneObject::DrawAxes(TRenderContextInfo& rci, uint16_t pattern, float length) {
  TGLStateCache& states = *rci.StateCache;
  states.Disable(capLighting);
  if (!rci.IgnoreBlending) {
    states.Enable(capBlend);
    states.SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
  }
  states.SetLineWidth(1);
  states.Enable(capLineStipple);
  states.SetLineStippleFactor(1);
  states.SetLineStipplePattern(pattern);
  states.SetDepthWriteMask(true);
  states.SetDepthFunc(cfLEqual);
  if (rci.DepthTestOn) states.Enable(capDepthTest);

  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.Begin(GL_LINES);
  for (int axis = 0; axis < 3; ++axis) {
    // The negative half in the darker colour.
    for (const float sign : {-1.0f, 1.0f}) {
      float colour[3] = {0, 0, 0}, end[3] = {0, 0, 0};
      colour[axis] = sign < 0 ? 0.5f : 1.0f;
      end[axis] = sign * length;
      gl.Color3f(colour[0], colour[1], colour[2]);
      gl.Vertex3f(0, 0, 0);
      gl.Vertex3f(end[0], end[1], end[2]);
    }
  }
  gl.End();
}

}  // namespace gl3d

#pragma once
// The scene tree: the scene-object base class with its placement, lazily computed matrices,
// change notification, rendering, extents and picking geometry; the camera and the light source
// that the tree treats specially; the scene component with its root object, light slots and
// render buffers.
//
// These classes refer to one another (an object tells its scene, a scene registers the lights of
// a subtree, a tree frees its cameras first), so they share this header; their code is split by
// purpose: GLBaseSceneObject.cpp (tree, change flow, storage), GLBaseSceneObjectPlacement.cpp
// (matrices and orientation), GLBaseSceneObjectRender.cpp, GLBaseSceneObjectExtents.cpp,
// GLCamera.cpp, GLLightSource.cpp and GL3DScene.cpp.
//
// Matrices are row-major with row vectors: row X, Y, Z of a local matrix are the object's axes
// scaled, row W its position; a point p maps to p·M. Angles of properties are degrees.
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "scene3d/base/GLColor.h"
#include "scene3d/base/PersistentClasses.h"
#include "scene3d/base/Silhouette.h"
#include "scene3d/base/VectorLists.h"
#include "scene3d/gl/GLContext.h"
#include "scene3d/scene/core/BoundingBoxes.h"
#include "scene3d/scene/core/GLBehaviours.h"
#include "scene3d/scene/core/GLCoordinates.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

class TGL3DScene;
class TGLBaseSceneObject;
class TGLCamera;
class TGLLightSource;

// ObjectStyle: sfDirectDraw calls BuildList every frame instead of compiling a display list;
// sfIgnoreDepthBuffer switches the depth test off around the object; sfNoVisibilityCulling never
// culls it.
enum TGLObjectStyleFlag : uint8_t { sfDirectDraw, sfIgnoreDepthBuffer, sfNoVisibilityCulling };
using TGLObjectStyle = uint8_t;
constexpr TGLObjectStyle ObjectStyleBit(TGLObjectStyleFlag f) { return static_cast<TGLObjectStyle>(1u << f); }

// What is stale: the local, absolute and inverse absolute matrices, and the display list.
enum TObjectChange : uint8_t { chLocalMatrix, chAbsoluteMatrix, chInvAbsoluteMatrix, chStructure };
using TObjectChanges = uint8_t;
constexpr TObjectChanges ObjectChangeBit(TObjectChange c) { return static_cast<TObjectChanges>(1u << c); }

// Which cached boxes are stale: the children's and the object's own.
enum TObjectBBChange : uint8_t { bcChildren, bcOwn };
using TObjectBBChanges = uint8_t;
constexpr TObjectBBChanges BBChangeBit(TObjectBBChange c) { return static_cast<TObjectBBChanges>(1u << c); }

// A scene-object class as a value: it makes an object of the class with the given owner.
using TGLBaseSceneObjectClass = TGLBaseSceneObject* (*)(TComponent* owner);
template <class T>
TGLBaseSceneObject* CreateSceneObject(TComponent* owner) {
  return new T(owner);
}

// Receives each child a component streams.
using TGetChildProc = std::function<void(TComponent* child)>;

// The object being drawn on this thread (nullptr between objects).
extern thread_local TGLBaseSceneObject* CurrentRenderingObject;
// Called after a scene object was renamed.
extern std::function<void(TGLBaseSceneObject* object)> SceneObjectNameChangeHook;

class TGLBaseSceneObject : public TGLCoordinatesUpdateAbleComponent {
 public:
  explicit TGLBaseSceneObject(TComponent* owner);
  // Frees the cameras below it (moving their children up), leaves its parent and frees its
  // children.
  ~TGLBaseSceneObject() override;
  const char* ClassName() const override { return "TGLBaseSceneObject"; }
  // The object's class; every class overrides it, so that copies of a tree keep the classes.
  virtual TGLBaseSceneObjectClass ClassType() const { return &CreateSceneObject<TGLBaseSceneObject>; }

  // ---- Tree ----
  TGLBaseSceneObject* Parent() const { return parent_; }
  TGL3DScene* Scene() const { return scene_; }
  int GetCount() const;
  int Count() const { return GetCount(); }
  // nullptr when the object has no child list; EListError "Invalid list index" outside it.
  TGLBaseSceneObject* Get(int index) const;
  // The position among the parent's children, -1 without a parent.
  int GetIndex() const;
  // Moves the object to the position (clamped) among its siblings, inside one scene update.
  void SetIndex(int index);
  // A new object of the class, with this object's owner as owner, appended / put first.
  TGLBaseSceneObject* AddNewChild(TGLBaseSceneObjectClass cls);
  TGLBaseSceneObject* AddNewChildFirst(TGLBaseSceneObjectClass cls);
  template <class T>
  T* AddNewChild() {
    return static_cast<T*>(AddNewChild(&CreateSceneObject<T>));
  }
  // Appends the child, taking it from its former parent first (one already here moves to the
  // end).
  virtual void AddChild(TGLBaseSceneObject* child);
  // Takes the child from its former parent and puts it at the position.
  virtual void Insert(int index, TGLBaseSceneObject* child);
  // Takes a child of this object out of the tree, releasing this object's ownership of it. With
  // keepChildren the child's own children (but sub-components) move here, last one first.
  virtual void Remove(TGLBaseSceneObject* child, bool keepChildren);
  // Leaves the parent and joins the new one (nullptr: leaves the scene).
  virtual void MoveTo(TGLBaseSceneObject* newParent);
  void SetParent(TGLBaseSceneObject* newParent) { MoveTo(newParent); }
  // Frees every child (cameras first, their children moving up).
  virtual void DeleteChildren();
  void FreeCamerasInSubtree();
  // Moves the subtree to another scene; display lists of the old scene's contexts are freed.
  virtual void SetScene(TGL3DScene* scene);
  // Frees the GL objects of the subtree, children first.
  void DestroyHandles();
  // Frees the object's display list.
  virtual void DestroyHandle();

  // ---- Placement ----
  TGLCoordinates3* Position() { return &position_; }
  TGLCoordinates3* Direction() { return &direction_; }
  TGLCoordinates3* Up() { return &up_; }
  TGLCoordinates3* Scale() { return &scale_; }
  // X pitch, Y turn, Z roll, degrees in [-180, 180].
  TGLCoordinates3* Rotation() { return &rotation_; }
  const TGLCoordinates3* Position() const { return &position_; }
  const TGLCoordinates3* Direction() const { return &direction_; }
  const TGLCoordinates3* Up() const { return &up_; }
  const TGLCoordinates3* Scale() const { return &scale_; }
  const TGLCoordinates3* Rotation() const { return &rotation_; }
  // Copies x, y, z with w = 1.
  void SetPosition(const TGLCustomCoordinates& value);
  // Copy x, y, z with w = 0; a value whose x, y and z are all 0 is ignored.
  void SetDirection(const TGLCustomCoordinates& value);
  void SetUp(const TGLCustomCoordinates& value);
  void SetScale(const TGLCustomCoordinates& value);
  float PitchAngle() const { return rotation_.X(); }
  float TurnAngle() const { return rotation_.Y(); }
  float RollAngle() const { return rotation_.Z(); }
  // Turns Up and Direction by the difference about the right vector / Up / Direction (not
  // while loading) and stores the new angle.
  void SetPitchAngle(float value);
  void SetTurnAngle(float value);
  void SetRollAngle(float value);
  // Takes the rigid rotation, the per-axis scale and the translation of m.
  void SetMatrix(const TMatrix4f& m);
  // The local matrix, rebuilt first when stale.
  const TMatrix4f& GetMatrix();
  // The local matrix as it stands.
  const TMatrix4f& LocalMatrix() const { return localMatrix_; }
  // Inline while it is valid: culling and sorting ask for it for every object in every frame.
  const TMatrix4f& GetAbsoluteMatrix() {
    if (changes_ & ObjectChangeBit(chAbsoluteMatrix)) UpdateAbsoluteMatrix();
    return absoluteMatrix_;
  }
  const TMatrix4f& GetInvAbsoluteMatrix();
  TMatrix4f CopyAbsoluteMatrix() { return GetAbsoluteMatrix(); }
  TMatrix4f CopyInvAbsoluteMatrix() { return GetInvAbsoluteMatrix(); }
  TVector4f AbsolutePosition() { return GetAbsoluteMatrix()[3]; }
  TVector4f AbsoluteDirection();
  TVector4f AbsoluteUp();
  // Direction × Up, and Up × Direction.
  TVector4f RightVector() const;
  TVector4f LeftVector() const;
  TVector4f AbsoluteToLocal(const TVector4f& v);
  TVector4f LocalToAbsolute(const TVector4f& v);
  // Orbits the object about the target by the angles (degrees), keeping its distance; only
  // Position changes. Nothing without a target, on the target itself, or for a zero orbit.
  void MoveObjectAround(TGLBaseSceneObject* target, float pitchDelta, float turnDelta);
  // Keeps Direction and Up orthonormal and marks the matrices stale. The scene hears of the
  // change once, through the coordinates' own notice that follows.
  void CoordinateChanged(TGLCustomCoordinates* sender) override;

  // ---- Change flow ----
  // Tells the scene, unless updating.
  void NotifyChange(TObject* sender) override;
  // The placement changed: matrices stale, one notification (none while loading or when the
  // local matrix was already stale).
  void TransformationChanged();
  // The geometry changed: the display list is rebuilt at the next render.
  virtual void StructureChanged();
  void ClearStructureChanged();
  void MarkAbsoluteMatricesDirty();
  void MarkBoundsChanged(TObjectBBChanges flags);
  virtual void BeginUpdate() { ++updateCount_; }
  // Assertion "Unbalanced Begin/EndUpdate" without a matching BeginUpdate.
  virtual void EndUpdate();
  bool IsUpdating() const { return updateCount_ != 0 || IsReading(); }
  // The children from the last to the first, the behaviours, the effects, then OnProgress.
  void DoProgress(const TProgressTimes& times) override;
  virtual void NotifyAddedToParent();
  TObjectChanges Changes() const { return changes_; }
  TObjectBBChanges BoundsChanges() const { return boundsChanges_; }

  // ---- Properties ----
  virtual bool GetVisible() const { return visible_; }
  virtual void WriteVisible(bool value);
  virtual bool GetPickable() const { return pickable_; }
  virtual void WritePickable(bool value);
  bool ShowAxes() const { return showAxes_; }
  void SetShowAxes(bool value);
  TGLObjectsSorting ObjectsSorting() const { return objectsSorting_; }
  void SetObjectsSorting(TGLObjectsSorting value);
  TGLVisibilityCulling VisibilityCulling() const { return visibilityCulling_; }
  void SetVisibilityCulling(TGLVisibilityCulling value);
  TGLObjectStyle ObjectStyle() const { return objectStyle_; }
  void SetObjectStyle(TGLObjectStyle style) { objectStyle_ = style; }
  bool HasStyle(TGLObjectStyleFlag f) const { return (objectStyle_ & ObjectStyleBit(f)) != 0; }
  float TagFloat() const { return tagFloat_; }
  void SetTagFloat(float value) { tagFloat_ = value; }
  // Created on first use.
  TGLBehaviours* Behaviours();
  TGLObjectEffects* Effects();
  // Assigns to the collections.
  void SetBehaviours(const TGLBehaviours* value) { Behaviours()->Assign(value); }
  void SetEffects(const TGLObjectEffects* value) { Effects()->Assign(value); }
  TGLProgressEvent OnProgress;
  TNotifyEvent OnAddedToParent;
  TNotifyEvent OnPicked;

  // ---- Rendering ----
  // Draws the object and its subtree: picking skip, culling, model matrix, axes, effects.
  void Render(TRenderContextInfo& rci);
  // The object's own drawing (from its display list or directly) and/or its children.
  virtual void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren);
  // Draws the children first..last in the current sorting mode.
  virtual void RenderChildren(int first, int last, TRenderContextInfo& rci);
  // The keyed step of RenderChildren for the sorting modes osRenderFarthestFirst,
  // osRenderBlendedLast and osRenderNearestFirst: fills keys and sorted with the visible
  // children of first..last, sorted so that they are drawn from the last position to the first.
  // With osRenderBlendedLast only the blended children are keyed; the others go to opaque, in
  // list order, to be drawn before them.
  void SortChildren(int first, int last, TGLObjectsSorting mode, const TVector4f& cameraPosition,
                    TSingleList& keys, TPersistentObjectList& sorted, TPersistentObjectList& opaque);
  // Emits the object's own geometry into the current GL stream; nothing here.
  virtual void BuildList(TRenderContextInfo& rci);
  // The display list's name, compiled first when stale.
  virtual GLuint GetHandle(TRenderContextInfo& rci);
  bool ListHandleAllocated();
  virtual bool Blended() const { return false; }
  // Axes from the origin to ±length: X red, Y green, Z blue (the negative half darker).
  void DrawAxes(TRenderContextInfo& rci, uint16_t pattern, float length);
  void RenderAxes(TRenderContextInfo& rci, uint16_t pattern);

  // ---- Extents and picking ----
  // Half extents without the scale; the base is a unit box. Defined here so that a culling pass
  // over objects that keep the base's answer can skip the virtual call.
  virtual TVector4f AxisAlignedDimensionsUnscaled() { return {0.5f, 0.5f, 0.5f, 0}; }
  // The unscaled dimensions times Scale, and their length (the culling sphere's radius): inline,
  // since culling takes them for every object in every frame.
  TVector4f AxisAlignedDimensions() {
    const TVector4f d = AxisAlignedDimensionsUnscaled();
    const TVector4f& s = scale_.AsVector();
    return {d.X * s.X, d.Y * s.Y, d.Z * s.Z, d.W};
  }
  float BoundingSphereRadius() {
    const TVector4f d = AxisAlignedDimensions();
    return std::sqrt(d.X * d.X + d.Y * d.Y + d.Z * d.Z);
  }
  float BoundingSphereRadiusUnscaled();
  // The absolute position here; defined here for the same reason.
  virtual TVector4f BarycenterAbsolutePosition() { return AbsolutePosition(); }
  // Squared distance from the barycentre, summed in double precision (inline: sorting takes it
  // for every child in every frame).
  float SqrDistanceTo(const TVector4f& point) {
    const TVector4f b = BarycenterAbsolutePosition();
    const double dx = double(b.X) - point.X, dy = double(b.Y) - point.Y, dz = double(b.Z) - point.Z;
    return static_cast<float>(dx * dx + dy * dy + dz * dz);
  }
  TAxisBox AxisAlignedBoundingBoxUnscaled(bool includeChildren = true);
  TAxisBox AxisAlignedBoundingBox(bool includeChildren = true);
  // The own unscaled box, about the barycentre.
  virtual TCornerBox BoundingBox();
  const TCornerBox& OwnBoundingBoxCached();
  const TCornerBox& ChildrenBoundingBoxCached();
  const TCornerBox& BoundingBoxWithChildrenCached();
  TAxisBox AbsoluteBoundingBoxWithChildren();
  // Whether the absolute point lies in the object's box.
  virtual bool PointInObject(const TVector4f& point);
  // The bounding sphere about the absolute position; the outputs are written only on a hit.
  virtual bool RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector,
                                TVector4f* intersectPoint = nullptr, TVector4f* intersectNormal = nullptr);
  // A circle of 21 points about the bounding sphere, as seen from params.SeenFrom.
  virtual std::unique_ptr<TGLSilhouette> GenerateSilhouette(const TSilhouetteQuery& params);

  // ---- Storage ----
  // "BehavioursData" and "EffectsData" when the collections hold items. A damaged archive fails
  // and leaves the collection as it was.
  void DefineStoredProperties(TFiler& filer) override;
  // Hands every child that is not a sub-component to proc, in list order.
  void ReadChildren(const TGetChildProc& proc);
  // The scene when the parent is the scene's root, else the parent.
  TComponent* GetParentComponent() const;
  bool HasParent() const { return parent_ != nullptr; }
  // Moves the object under a scene's root or under a scene object.
  void WriteParentComponent(TComponent* value);
  // The component's load completion runs AfterLoad.
  void Loaded() override { AfterLoad(); }
  // Ends the load: Position's w := 1, then the collections finish their load.
  virtual void AfterLoad();
  void WriteName(const std::string& name) override;
  // From a scene object: placement, flags, a copy of the children and the collections.
  void Assign(const TPersistent* source) override;

 protected:
  // Rebuilds the local matrix from the placement vectors.
  void RebuildMatrix();
  // Copies the collections of a scene-object source (freed here when the source has none).
  void AssignCollections(const TGLBaseSceneObject& source);

 private:
  void UpdateAbsoluteMatrix();
  // Start loading the cache lines a pass over the children reads of this object: sorting reads
  // the table of virtual functions' pointer, the flags and the absolute position; culling
  // also the scale and the child list.
  void PrefetchSortFields() const {
    __builtin_prefetch(this);
    __builtin_prefetch(&changes_);
    __builtin_prefetch(&absoluteMatrix_[3]);
  }
  void PrefetchRenderFields() const {
    PrefetchSortFields();
    __builtin_prefetch(&scale_.AsVector());
    __builtin_prefetch(&children_);
  }
  void SetAngle(int component, float value);
  // The silent part of TransformationChanged; false when the local matrix was already stale.
  bool MarkTransformationChanged();
  TGLBaseSceneObject* Child(int index) const;
  void DrawSelf(TRenderContextInfo& rci, bool drawChildren);
  void CullingDecision(const TRenderContextInfo& rci, bool& drawSelf, bool& drawChildren);
  void RenderUnlessCulled(TRenderContextInfo& rci);
  bool HierarchyClipped(const TRenderContextInfo& rci);
  void RenderInView(TRenderContextInfo& rci, bool drawSelf, bool drawChildren);
  void ReadCollection(TStream& stream, bool effects);

  // What a render pass reads of every object comes first, together: the flags, the absolute
  // matrix and the scale (the pass sorts and culls thousands of objects per frame).
  TObjectChanges changes_;
  TGLObjectStyle objectStyle_ = 0;
  bool visible_ = true;
  bool pickable_ = true;
  bool showAxes_ = false;
  bool calculating_ = false;
  TGLObjectsSorting objectsSorting_ = osInherited;
  TGLVisibilityCulling visibilityCulling_ = vcInherited;
  TObjectBBChanges boundsChanges_;
  // The absolute and the inverse absolute matrix, valid while their change flags are clear.
  TMatrix4f absoluteMatrix_ = IdentityMatrix4f;
  TGLCoordinates3 scale_;
  std::unique_ptr<TPersistentObjectList> children_;
  std::unique_ptr<TGLObjectEffects> effects_;
  TGLBaseSceneObject* parent_ = nullptr;
  TGL3DScene* scene_ = nullptr;
  TMatrix4f localMatrix_ = IdentityMatrix4f;
  TMatrix4f invAbsoluteMatrix_ = IdentityMatrix4f;
  TGLCoordinates3 position_;
  TGLCoordinates3 direction_;
  TGLCoordinates3 up_;
  TGLCoordinates3 rotation_;
  std::unique_ptr<TGLListHandle> listHandle_;
  TCornerBox ownBox_;
  TCornerBox childrenBox_;
  TCornerBox boxWithChildren_;
  // The union of the two caches above is older than one of them.
  bool boxWithChildrenStale_ = true;
  int updateCount_ = 0;
  std::unique_ptr<TGLBehaviours> behaviours_;
  float tagFloat_ = 0;
};

// The root of a scene's tree: made by the scene only (assertion for any other owner), drawn
// directly, named "ObjectRoot".
class TGL3DSceneRootObject : public TGLBaseSceneObject {
 public:
  explicit TGL3DSceneRootObject(TComponent* owner);
  const char* ClassName() const override { return "TGL3DSceneRootObject"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGL3DSceneRootObject>; }
};

// ---- Camera ----

enum TGLCameraStyle : uint8_t {
  csPerspective,
  csOrthogonal,
  csOrtho2D,
  csCustom,
  csInfinitePerspective,
  csPerspectiveKeepFOV
};
enum TGLCameraKeepFOVMode : uint8_t { ckmHorizontalFOV, ckmVerticalFOV };

struct TRectangle {
  int Left, Top, Width, Height;
};

// The projection of csCustom: sets the projection itself and may change the viewport radius.
using TOnCustomPerspective =
    std::function<void(const TRectangle& viewport, int width, int height, int dpi, float& viewPortRadius)>;

class TGLCamera : public TGLBaseSceneObject {
 public:
  explicit TGLCamera(TComponent* owner);
  // Drops its target link first.
  ~TGLCamera() override;
  const char* ClassName() const override { return "TGLCamera"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLCamera>; }

  float FocalLength() const { return focalLength_; }
  // Values <= 0 become 1.
  void SetFocalLength(float value);
  float DepthOfView() const { return depthOfView_; }
  void SetDepthOfView(float value);
  // The near distance of the last ApplyPerspective.
  float NearPlane() const { return nearPlane_; }
  float NearPlaneBias() const { return nearPlaneBias_; }
  // Values <= 0 become 1.
  void SetNearPlaneBias(float value);
  float ViewPortRadius() const { return viewPortRadius_; }
  TGLBaseSceneObject* TargetObject() const { return targetObject_; }
  void SetTargetObject(TGLBaseSceneObject* value);
  const TVector4f& LastDirection() const { return lastDirection_; }
  TGLCameraStyle CameraStyle() const { return cameraStyle_; }
  void SetCameraStyle(TGLCameraStyle value);
  TGLCameraKeepFOVMode KeepFOVMode() const { return keepFOVMode_; }
  void SetKeepFOVMode(TGLCameraKeepFOVMode value);
  float SceneScale() const { return sceneScale_; }
  // Exactly 0 becomes 1; negative values are stored.
  void SetSceneScale(float value);
  double FOVY() const { return fovY_; }
  double FOVX() const { return fovX_; }

  // When set, replaces the whole of Apply.
  TNotifyEvent OnApplyView;
  TOnCustomPerspective OnCustomPerspective;

  // Multiplies the view (looking at the target, or along Direction) onto the current context's
  // view matrix.
  void Apply();
  // Multiplies the projection of the camera style onto the current context's projection.
  void ApplyPerspective(const TRectangle& viewport, int width, int height, int dpi);
  // MoveObjectAround the target; nothing without one.
  void MoveAroundTarget(float pitchDelta, float turnDelta);
  // Degrees across a viewport dimension.
  float GetFieldOfView(float viewportDimension) const;
  void SetFieldOfView(float fieldOfView, float viewportDimension);

  void Assign(const TPersistent* source) override;
  // The camera's handling of the component model's notices: a TargetObject that is removed is
  // cleared; then the inherited handling.
  void HandleNotification(TComponent* component, TOperation operation);
  void Notification(TComponent* component, TOperation operation) override {
    HandleNotification(component, operation);
  }
  bool RayCastIntersect(const TVector4f&, const TVector4f&, TVector4f* = nullptr,
                        TVector4f* = nullptr) override {
    return false;
  }
  // Only the children: a camera has no geometry.
  void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

 private:
  float focalLength_ = 50;
  float depthOfView_ = 100;
  float nearPlane_ = 0;
  float nearPlaneBias_ = 1;
  float viewPortRadius_ = 0;
  TGLBaseSceneObject* targetObject_ = nullptr;
  TVector4f lastDirection_{0, 0, 0, 0};
  TGLCameraStyle cameraStyle_ = csPerspective;
  TGLCameraKeepFOVMode keepFOVMode_ = ckmHorizontalFOV;
  float sceneScale_ = 1;
  double fovY_ = -1;
  double fovX_ = 0;
};

// ---- Light source ----

enum TLightStyle : uint8_t { lsSpot, lsOmni, lsParallel };

class TGLLightSource : public TGLBaseSceneObject {
 public:
  explicit TGLLightSource(TComponent* owner);
  // Gives its slot back.
  ~TGLLightSource() override;
  const char* ClassName() const override { return "TGLLightSource"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLLightSource>; }

  // The GL light number: the index of the scene slot the light took.
  int LightID() const { return lightID_; }
  void SetLightID(int id) { lightID_ = id; }
  TGLCoordinates3* SpotDirection() const { return spotDirection_.get(); }
  // Copies x, y, z, then w := 0.
  void SetSpotDirection(const TGLCustomCoordinates& value);
  float SpotExponent() const { return spotExponent_; }
  void SetSpotExponent(float value);
  float SpotCutOff() const { return spotCutOff_; }
  // Only values in [0, 90] and exactly 180 are taken; others are ignored.
  void SetSpotCutOff(float value);
  float ConstAttenuation() const { return constAttenuation_; }
  void SetConstAttenuation(float value);
  float LinearAttenuation() const { return linearAttenuation_; }
  void SetLinearAttenuation(float value);
  float QuadraticAttenuation() const { return quadraticAttenuation_; }
  void SetQuadraticAttenuation(float value);
  bool Shining() const { return shining_; }
  void SetShining(bool value);
  TGLColor* Ambient() const { return ambient_.get(); }
  TGLColor* Diffuse() const { return diffuse_.get(); }
  TGLColor* Specular() const { return specular_.get(); }
  void SetAmbient(const TGLColor& value);
  void SetDiffuse(const TGLColor& value);
  void SetSpecular(const TGLColor& value);
  TLightStyle LightStyle() const { return lightStyle_; }
  void SetLightStyle(TLightStyle value);

  void CoordinateChanged(TGLCustomCoordinates* sender) override;
  // A light has no display list.
  GLuint GetHandle(TRenderContextInfo&) override { return 0; }
  bool RayCastIntersect(const TVector4f&, const TVector4f&, TVector4f* = nullptr,
                        TVector4f* = nullptr) override {
    return false;
  }
  std::unique_ptr<TGLSilhouette> GenerateSilhouette(const TSilhouetteQuery&) override { return nullptr; }
  // Only the children.
  void DoRender(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) override;

 private:
  int lightID_ = 0;
  std::unique_ptr<TGLCoordinates3> spotDirection_;
  float spotExponent_ = 0;
  float spotCutOff_ = 180;
  float constAttenuation_ = 1;
  float linearAttenuation_ = 0;
  float quadraticAttenuation_ = 0;
  bool shining_ = true;
  std::unique_ptr<TGLColor> ambient_;
  std::unique_ptr<TGLColor> diffuse_;
  std::unique_ptr<TGLColor> specular_;
  TLightStyle lightStyle_ = lsSpot;
};

// ---- Scene ----

// An object that must be set up once with a render context before it is first drawn.
class IGLInitializable {
 public:
  virtual ~IGLInitializable() = default;
  virtual void InitializeObject(TObject* sender, const TRenderContextInfo& rci) = 0;
};

class TGLInitializableObjectList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  IGLInitializable* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  int Add(IGLInitializable* item) {
    items_.push_back(item);
    return Count() - 1;
  }
  void Delete(int index) { items_.erase(items_.begin() + index); }
  void Clear() { items_.clear(); }

 private:
  std::vector<IGLInitializable*> items_;
};

class TGL3DScene : public TGLUpdateAbleComponent {
 public:
  static constexpr int kLightSlots = 8;

  explicit TGL3DScene(TComponent* owner);
  ~TGL3DScene() override;
  const char* ClassName() const override { return "TGL3DScene"; }

  // The root of the tree, "ObjectRoot".
  TGL3DSceneRootObject* Objects() const { return objects_; }
  // The context of the first registered buffer; the others share their lists with it.
  TGLContext* BaseContext() const { return baseContext_; }
  // Eight slots, nullptr where no light is.
  const TPersistentObjectList& Lights() const { return *lights_; }
  // nullptr until the first buffer registers.
  const TPersistentObjectList* Buffers() const { return buffers_.get(); }
  TGLObjectsSorting ObjectsSorting() const { return objectsSorting_; }
  // osInherited stores osRenderBlendedLast.
  void SetObjectsSorting(TGLObjectsSorting value);
  TGLVisibilityCulling VisibilityCulling() const { return visibilityCulling_; }
  // vcInherited stores vcNone.
  void SetVisibilityCulling(TGLVisibilityCulling value);
  TGLInitializableObjectList& InitializableObjects() { return initializableObjects_; }
  TGLProgressEvent OnBeforeProgress;
  TGLProgressEvent OnProgress;

  void BeginUpdate() { ++updateCount_; }
  // Assertion when no update is open; notifies when the last one closes.
  void EndUpdate();
  bool IsUpdating() const { return updateCount_ > 0 || IsLoading() || IsDestroying(); }
  // Tells every registered buffer, in list order, unless updating.
  void NotifyChange(TObject* sender) override;
  // A buffer listed by another scene leaves that one first; a buffer joins once.
  void AddBuffer(TGLAbstractSceneBuffer* buffer);
  void RemoveBuffer(TGLAbstractSceneBuffer* buffer);
  // The nearest visible object hit along the ray, or nullptr; the outputs get its hit.
  virtual TGLBaseSceneObject* RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector,
                                               TVector4f* intersectPoint = nullptr,
                                               TVector4f* intersectNormal = nullptr);

  // ---- Light slots ----
  // The first free slot takes the light; with all eight taken it stays unregistered.
  void AddLight(TGLLightSource* light);
  void RemoveLight(TGLLightSource* light);
  // The object and its whole subtree.
  void AddLights(TGLBaseSceneObject* object);
  void RemoveLights(TGLBaseSceneObject* object);
  // Sends the registered lights (at most maxLights slots) to the current context's state cache
  // and, where it sends fixed-function light calls, to OpenGL.
  void SetupLights(int maxLights);

  // ---- Storage ----
  // The root's children, as the scene's own.
  void ReadChildren(const TGetChildProc& proc);
  // The child (a scene object; EInvalidCast otherwise) moves to the position.
  void SetChildOrder(TComponent* child, int order);
  // Reads with the owner as the reader's root, restored afterwards.
  void ReadState(TReader& reader) override;

 private:
  int updateCount_ = 0;
  TGL3DSceneRootObject* objects_ = nullptr;
  TGLContext* baseContext_ = nullptr;
  std::unique_ptr<TPersistentObjectList> lights_;
  std::unique_ptr<TPersistentObjectList> buffers_;
  TGLObjectsSorting objectsSorting_ = osRenderBlendedLast;
  TGLVisibilityCulling visibilityCulling_ = vcNone;
  TGLInitializableObjectList initializableObjects_;
};

// Holds a scene update open for a scope and closes it on every way out (nothing without a scene).
class TSceneUpdate {
 public:
  explicit TSceneUpdate(TGL3DScene* scene) : scene_(scene) {
    if (scene_) scene_->BeginUpdate();
  }
  ~TSceneUpdate() {
    if (scene_) scene_->EndUpdate();
  }
  TSceneUpdate(const TSceneUpdate&) = delete;
  TSceneUpdate& operator=(const TSceneUpdate&) = delete;

 private:
  TGL3DScene* scene_;
};

// Registers the scene's classes that stored descriptions name.
void RegisterSceneClasses();

// The performance counter's frequency in counts per second, read at start-up
// (ReadCounterFrequency); the render loop times its frames with it. 0 before that.
int64_t CounterFrequency();
void ReadCounterFrequency();

}  // namespace gl3d

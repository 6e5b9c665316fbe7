#pragma once
// What one render pass carries to every object it draws (TRenderContextInfo), the sorting and
// culling modes that objects inherit from their parents, and the small interfaces through which
// the scene meets its render buffers and their picking selector; the scene buffer of the render
// loop implements them.
#include <cstdint>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/VectorGeometry.h"
#include "scene3d/gl/GLStateCache.h"

namespace gl3d {

class TGL3DScene;
class TGLBaseSceneObject;
class TGLContext;
class TGLTransformation;
class TPersistentObjectList;
class TGLAbstractMaterialLibrary;

// The order in which an object draws its children. osInherited takes the parent's mode.
enum TGLObjectsSorting : uint8_t {
  osInherited,
  osNone,
  osRenderFarthestFirst,
  osRenderBlendedLast,
  osRenderNearestFirst
};

// How an object decides whether it is outside the view. vcInherited takes the parent's mode.
enum TGLVisibilityCulling : uint8_t { vcInherited, vcNone, vcObjectBased, vcHierarchical };

// DrawMode of a pass: 1 is picking, where objects that are not pickable are skipped.
enum TDrawState : uint8_t { dsRendering, dsPicking, dsPrinting };

// The picking selector of a buffer: which object the current pick name stands for.
class TGLPickSelector {
 public:
  virtual ~TGLPickSelector() = default;
  virtual TGLBaseSceneObject* GetCurrentPickObject() = 0;
  virtual void SetCurrentPickObject(TGLBaseSceneObject* object) = 0;
};

// A render buffer as the scene sees it: it is told of changes (NotifyChange, inherited), owns a
// rendering context, may have a picking selector and has its own depth-test setting.
class TGLAbstractSceneBuffer : public TGLUpdateAbleObject {
 public:
  using TGLUpdateAbleObject::TGLUpdateAbleObject;
  // Leaves the scene that lists it.
  ~TGLAbstractSceneBuffer() override;
  const char* ClassName() const override { return "TGLAbstractSceneBuffer"; }
  // nullptr while the buffer has no context.
  virtual TGLContext* RenderingContext() const = 0;
  // nullptr when the buffer has none.
  virtual TGLPickSelector* PickSelector() const = 0;
  virtual bool DepthTest() const = 0;
  // The scene whose buffer list holds this buffer (TGL3DScene::AddBuffer), or nullptr. A buffer
  // is listed by one scene at a time; a scene that is freed forgets its buffers.
  TGL3DScene* ListedScene() const { return listedScene_; }

 protected:
  // Leaves the scene that lists the buffer. The camera through which the buffer joined may have
  // left that scene since, or be in another one: the list that holds the buffer is the one it
  // must leave, or the scene would go on telling a freed buffer of its changes.
  void LeaveListedScene();

 private:
  friend class TGL3DScene;
  TGL3DScene* listedScene_ = nullptr;
};

struct TRenderContextInfo {
  TGL3DScene* Scene = nullptr;
  TGLAbstractSceneBuffer* Buffer = nullptr;
  TVector4f CameraPosition{0, 0, 0, 0};
  // Absolute view direction of the camera, normalised, w = 0.
  TVector4f CameraDirection{0, 0, 0, 0};
  // The camera's up made perpendicular to CameraDirection, normalised.
  TVector4f CameraUp{0, 0, 0, 0};
  TDrawState DrawMode = dsRendering;
  TGLObjectsSorting ObjectsSorting = osNone;
  TGLVisibilityCulling VisibilityCulling = vcNone;
  TGLStateCache* StateCache = nullptr;
  TGLTransformation* Transformation = nullptr;
  float ClipNearDistance = 0;
  float ClipFarDistance = 0;
  TFrustum Frustum{};
  bool DepthTestOn = false;
  // Set while a proxy draws its master.
  bool ProxyRender = false;
  bool IgnoreMaterials = false;
  bool IgnoreBlending = false;
  bool IgnoreDepthRequests = false;
  // Forces direct drawing into an enclosing display list.
  bool Amalgamating = false;
  // The buffer's face-culling, lighting and fog settings.
  bool FaceCulling = false;
  bool LightingOn = false;
  bool FogOn = false;
  // Effects that draw after the scene; nullptr when the pass keeps none.
  TPersistentObjectList* AfterRenderEffects = nullptr;
  // Set by a base mesh while it draws.
  TGLAbstractMaterialLibrary* MaterialLibrary = nullptr;
  TGLAbstractMaterialLibrary* LightmapLibrary = nullptr;
  TVector4f SceneAmbientColor{0, 0, 0, 0};
  // The attribute groups saved around display lists.
  TGLStateTypes ListStateTypes = 0;
  TVector4f ClippingOrigin{0, 0, 0, 0};
  TVector4f ClippingDirection{0, 0, 0, 0};
  float ViewPortRadius = 0;
  int ViewPortWidth = 0;
  int ViewPortHeight = 0;
  int RenderDPI = 0;
};

}  // namespace gl3d

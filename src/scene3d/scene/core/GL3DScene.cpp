// The scene component: its root object, light slots, render buffers, update bracket, ray
// picking and storage.
#include <GL/gl.h>

#include <algorithm>
#include <atomic>

#include "common/Exception.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

namespace {
constexpr const char* kAssertText = "Assertion failure (scene core)";

TVector3f XYZ(const TVector4f& v) { return {v.X, v.Y, v.Z}; }
}  // namespace

TGL3DSceneRootObject::TGL3DSceneRootObject(TComponent* owner) : TGLBaseSceneObject(owner) {
  auto* scene = dynamic_cast<TGL3DScene*>(owner);
  ZASSERT(scene != nullptr, kAssertText);
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
  SetScene(scene);
}

TGL3DScene::TGL3DScene(TComponent* owner)
    : TGLUpdateAbleComponent(owner), lights_(std::make_unique<TPersistentObjectList>()) {
  objects_ = new TGL3DSceneRootObject(this);
  objects_->SetName("ObjectRoot");
  lights_->SetCount(kLightSlots);
}

TGL3DScene::~TGL3DScene() {
  Destroying();
  initializableObjects_.Clear();
  objects_->DestroyHandles();
  lights_.reset();
  delete objects_;
  objects_ = nullptr;
  if (buffers_)
    for (int i = 0; i < buffers_->Count(); ++i)
      static_cast<TGLAbstractSceneBuffer*>(buffers_->Get(i))->listedScene_ = nullptr;
  buffers_.reset();
}

void TGL3DScene::SetObjectsSorting(TGLObjectsSorting value) {
  if (value == osInherited) value = osRenderBlendedLast;
  if (value == objectsSorting_) return;
  objectsSorting_ = value;
  NotifyChange(this);
}

void TGL3DScene::SetVisibilityCulling(TGLVisibilityCulling value) {
  if (value == vcInherited) value = vcNone;
  if (value == visibilityCulling_) return;
  visibilityCulling_ = value;
  NotifyChange(this);
}

void TGL3DScene::EndUpdate() {
  ZASSERT(updateCount_ > 0, kAssertText);
  if (--updateCount_ == 0) NotifyChange(this);
}

void TGL3DScene::NotifyChange(TObject*) {
  if (IsUpdating() || !buffers_) return;
  for (int i = 0; i < buffers_->Count(); ++i)
    static_cast<TGLAbstractSceneBuffer*>(buffers_->Get(i))->NotifyChange(this);
}

void TGL3DScene::AddBuffer(TGLAbstractSceneBuffer* buffer) {
  if (buffer->listedScene_ == this) return;
  // A buffer whose camera moved here from another scene leaves that one's list.
  buffer->LeaveListedScene();
  if (!buffers_) buffers_ = std::make_unique<TPersistentObjectList>();
  buffers_->Add(buffer);
  buffer->listedScene_ = this;
  if (!baseContext_)
    baseContext_ = static_cast<TGLAbstractSceneBuffer*>(buffers_->Get(0))->RenderingContext();
  if (buffers_->Count() > 1 && baseContext_)
    if (TGLContext* context = buffer->RenderingContext()) context->ShareLists(baseContext_);
}

void TGL3DScene::RemoveBuffer(TGLAbstractSceneBuffer* buffer) {
  if (!buffers_ || buffers_->IndexOf(buffer) < 0) return;
  buffer->listedScene_ = nullptr;
  if (buffers_->Count() == 1) {
    buffers_.reset();
    baseContext_ = nullptr;
    return;
  }
  buffers_->Remove(buffer);
  baseContext_ = static_cast<TGLAbstractSceneBuffer*>(buffers_->Get(0))->RenderingContext();
}

TGLAbstractSceneBuffer::~TGLAbstractSceneBuffer() { LeaveListedScene(); }

void TGLAbstractSceneBuffer::LeaveListedScene() {
  if (listedScene_) listedScene_->RemoveBuffer(this);
}

TGLBaseSceneObject* TGL3DScene::RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector,
                                                 TVector4f* intersectPoint, TVector4f* intersectNormal) {
  TGLBaseSceneObject* best = nullptr;
  float bestDistance = 1e20f;
  const TVector3f origin = XYZ(rayStart), direction = XYZ(rayVector);
  std::function<void(TGLBaseSceneObject*)> search = [&](TGLBaseSceneObject* parent) {
    for (int i = 0; i < parent->GetCount(); ++i) {
      TGLBaseSceneObject* child = parent->Get(i);
      if (!child->GetVisible()) continue;
      const TAxisBox box = child->AbsoluteBoundingBoxWithChildren();
      float entry = 0, exit = 0;
      if (!RayCastAxisBox(origin, direction, box, entry, exit)) continue;
      if (entry * entry > bestDistance && !PointInAxisBox(origin, box)) continue;
      TVector4f point, normal;
      if (child->RayCastIntersect(rayStart, rayVector, &point, intersectNormal ? &normal : nullptr)) {
        const float distance = VectorDistanceSquared3f(origin, XYZ(point));
        if (distance < bestDistance) {
          best = child;
          bestDistance = distance;
          if (intersectPoint) *intersectPoint = point;
          if (intersectNormal) *intersectNormal = normal;
        }
      }
      search(child);
    }
  };
  search(objects_);
  return best;
}

// ---- Light slots ----

void TGL3DScene::AddLight(TGLLightSource* light) {
  // A light already in a slot keeps it: two slots would send one light twice.
  if (!lights_ || lights_->IndexOf(light) >= 0) return;
  for (int i = 0; i < lights_->Count(); ++i)
    if (!lights_->Get(i)) {
      lights_->Put(i, light);
      light->SetLightID(i);
      return;
    }
}

void TGL3DScene::RemoveLight(TGLLightSource* light) {
  if (!lights_) return;
  const int i = lights_->IndexOf(light);
  if (i >= 0) lights_->Put(i, nullptr);
}

void TGL3DScene::AddLights(TGLBaseSceneObject* object) {
  if (auto* light = dynamic_cast<TGLLightSource*>(object)) AddLight(light);
  for (int i = 0; i < object->GetCount(); ++i) AddLights(object->Get(i));
}

void TGL3DScene::RemoveLights(TGLBaseSceneObject* object) {
  if (auto* light = dynamic_cast<TGLLightSource*>(object)) RemoveLight(light);
  for (int i = 0; i < object->GetCount(); ++i) RemoveLights(object->Get(i));
}

void TGL3DScene::SetupLights(int maxLights) {
  TGLContext* context = SafeCurrentGLContext();
  TGLStateCache& states = context->GLStates();
  TGLTransformation& transformation = context->PipelineTransformation();
  TGLExtensionsAndEntryPoints& gl = context->GL();
  const int n = std::min(lights_->Count(), maxLights);
  for (int i = 0; i < n; ++i) {
    auto* light = static_cast<TGLLightSource*>(lights_->Get(i));
    if (!light) {
      states.SetLightEnabling(i, false);
      continue;
    }
    const int id = light->LightID();
    states.SetLightEnabling(id, light->Shining());
    if (!light->Shining()) continue;
    const TVector4f& spot = light->SpotDirection()->AsVector();
    if (states.FixedFunctionLights()) {
      light->GetMatrix();
      if (light->LightStyle() == lsParallel) {
        transformation.SetModelMatrix(light->GetAbsoluteMatrix());
        gl.Lightfv(GL_LIGHT0 + static_cast<GLenum>(id), GL_POSITION, &spot.X);
      } else {
        transformation.SetModelMatrix(light->Parent() ? light->Parent()->GetAbsoluteMatrix()
                                                      : IdentityMatrix4f);
        gl.Lightfv(GL_LIGHT0 + static_cast<GLenum>(id), GL_POSITION, &light->Position()->AsVector().X);
        if (light->LightStyle() == lsSpot && light->SpotCutOff() != 180)
          gl.Lightfv(GL_LIGHT0 + static_cast<GLenum>(id), GL_SPOT_DIRECTION, &spot.X);
      }
    }
    TVector4f position = light->AbsolutePosition();
    position.W = light->LightStyle() == lsParallel ? 0 : 1;
    states.SetLightPosition(id, position);
    states.SetLightSpotDirection(id, XYZ(spot));
    states.SetLightAmbient(id, light->Ambient()->Color());
    states.SetLightDiffuse(id, light->Diffuse()->Color());
    states.SetLightSpecular(id, light->Specular()->Color());
    states.SetConstantAtten(id, light->ConstAttenuation());
    states.SetLinearAtten(id, light->LinearAttenuation());
    states.SetQuadAtten(id, light->QuadraticAttenuation());
    states.SetSpotExponent(id, light->SpotExponent());
    states.SetSpotCutoff(id, light->SpotCutOff());
  }
  const int cacheLights = std::min(states.GetMaxLights(), kMaxLights);
  for (int i = std::max(n, 0); i < cacheLights; ++i) states.SetLightEnabling(i, false);
  transformation.SetModelMatrix(IdentityMatrix4f);
}

// ---- Storage ----

void TGL3DScene::ReadChildren(const TGetChildProc& proc) { objects_->ReadChildren(proc); }

void TGL3DScene::SetChildOrder(TComponent* child, int order) {
  auto* object = dynamic_cast<TGLBaseSceneObject*>(child);
  if (!object) throw EInvalidCast("Invalid class typecast");
  object->SetIndex(order);
}

void TGL3DScene::ReadState(TReader& reader) {
  TComponent* previous = reader.Root();
  reader.SetRoot(Owner());
  try {
    TGLUpdateAbleComponent::ReadState(reader);
  } catch (...) {
    reader.SetRoot(previous);
    throw;
  }
  reader.SetRoot(previous);
}

namespace {
std::atomic<int64_t> gCounterFrequency{0};
}  // namespace

int64_t CounterFrequency() { return gCounterFrequency; }

void ReadCounterFrequency() {
  int64_t frequency = 0;
  if (!ReadPerformanceFrequency(frequency)) frequency = 0;
  gCounterFrequency = frequency;
}

void RegisterSceneClasses() {
  RegisterClass<TGLLightSource>("TGLLightSource");
  RegisterClass<TGLCamera>("TGLCamera");
  RegisterClass<TGL3DScene>("TGL3DScene");
}

}  // namespace gl3d

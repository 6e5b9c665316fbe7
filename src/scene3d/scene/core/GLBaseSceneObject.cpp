// The scene object's tree, change flow, properties and storage.
#include <type_traits>

#include "common/Exception.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

thread_local TGLBaseSceneObject* CurrentRenderingObject = nullptr;
std::function<void(TGLBaseSceneObject*)> SceneObjectNameChangeHook;

namespace {

constexpr TObjectChanges kAllChanges = ObjectChangeBit(chLocalMatrix) | ObjectChangeBit(chAbsoluteMatrix) |
                                       ObjectChangeBit(chInvAbsoluteMatrix) | ObjectChangeBit(chStructure);
constexpr TObjectChanges kAbsoluteChanges =
    ObjectChangeBit(chAbsoluteMatrix) | ObjectChangeBit(chInvAbsoluteMatrix);

void SetEmptyBox(TCornerBox& box) {
  for (TVector4f& c : box.Corner) c = OriginPoint4f;
}

}  // namespace

TGLBaseSceneObject::TGLBaseSceneObject(TComponent* owner)
    : TGLCoordinatesUpdateAbleComponent(owner),
      changes_(kAllChanges),
      boundsChanges_(BBChangeBit(bcChildren) | BBChangeBit(bcOwn)),
      scale_(this, TVector4f{1, 1, 1, 0}, ckVector),
      position_(this, OriginPoint4f, ckPoint),
      direction_(this, TVector4f{0, 0, 1, 0}, ckVector),
      up_(this, TVector4f{0, 1, 0, 0}, ckVector),
      rotation_(this, NullVector4f, ckVector) {
  SetEmptyBox(ownBox_);
  SetEmptyBox(childrenBox_);
  SetEmptyBox(boxWithChildren_);
}

TGLBaseSceneObject::~TGLBaseSceneObject() {
  Destroying();
  RemoveFreeNotifications();
  FreeCamerasInSubtree();
  effects_.reset();
  behaviours_.reset();
  listHandle_.reset();
  if (parent_) parent_->Remove(this, false);
  if (children_) {
    DeleteChildren();
    children_.reset();
  }
}

// ---- Tree ----

TGLBaseSceneObject* TGLBaseSceneObject::Child(int index) const {
  return static_cast<TGLBaseSceneObject*>(children_->Get(index));
}

int TGLBaseSceneObject::GetCount() const { return children_ ? children_->Count() : 0; }

TGLBaseSceneObject* TGLBaseSceneObject::Get(int index) const { return children_ ? Child(index) : nullptr; }

int TGLBaseSceneObject::GetIndex() const {
  if (!parent_ || !parent_->children_) return -1;
  return parent_->children_->IndexOf(this);
}

void TGLBaseSceneObject::SetIndex(int index) {
  if (!parent_) return;
  TGLBaseSceneObject* parent = parent_;
  const int last = parent->GetCount() - 1;
  if (index > last) index = last;
  if (index < 0) index = 0;
  if (index == GetIndex()) return;
  TSceneUpdate update(scene_);
  parent->Remove(this, false);
  parent->Insert(index, this);
}

TGLBaseSceneObject* TGLBaseSceneObject::AddNewChild(TGLBaseSceneObjectClass cls) {
  TGLBaseSceneObject* child = cls(Owner());
  AddChild(child);
  return child;
}

TGLBaseSceneObject* TGLBaseSceneObject::AddNewChildFirst(TGLBaseSceneObjectClass cls) {
  TGLBaseSceneObject* child = cls(Owner());
  Insert(0, child);
  return child;
}

void TGLBaseSceneObject::AddChild(TGLBaseSceneObject* child) {
  // A child left in its former parent's list would be listed twice and freed twice.
  if (child->parent_) child->parent_->Remove(child, false);
  if (scene_) scene_->AddLights(child);
  if (!children_) children_ = std::make_unique<TPersistentObjectList>();
  children_->Add(child);
  child->parent_ = this;
  child->SetScene(scene_);
  TransformationChanged();
  child->TransformationChanged();
  child->NotifyAddedToParent();
  MarkBoundsChanged(boundsChanges_ | BBChangeBit(bcChildren));
}

void TGLBaseSceneObject::Insert(int index, TGLBaseSceneObject* child) {
  // The position is checked before the child leaves its former parent, so a bad one changes nothing.
  const int limit = GetCount() - (child->parent_ == this ? 1 : 0);
  if (index < 0 || index > limit) throw EListError("Invalid list index");
  if (!children_) children_ = std::make_unique<TPersistentObjectList>();
  if (child->parent_) child->parent_->Remove(child, false);
  children_->Insert(index, child);
  child->parent_ = this;
  if (child->scene_ != scene_) child->DestroyHandles();
  child->SetScene(scene_);
  if (scene_) scene_->AddLights(child);
  child->TransformationChanged();
  child->NotifyAddedToParent();
  MarkBoundsChanged(boundsChanges_ | BBChangeBit(bcChildren));
}

void TGLBaseSceneObject::Remove(TGLBaseSceneObject* child, bool keepChildren) {
  if (!children_ || !child || child->parent_ != this) return;
  const int index = children_->IndexOf(child);
  if (index < 0) return;
  if (scene_) scene_->RemoveLights(child);
  if (child->Owner() == this) RemoveComponent(child);
  children_->Delete(index);
  child->parent_ = nullptr;
  MarkBoundsChanged(boundsChanges_ | BBChangeBit(bcChildren));
  if (!keepChildren) {
    NotifyChange(this);
    return;
  }
  BeginUpdate();
  for (int i = child->GetCount() - 1; i >= 0; --i) {
    TGLBaseSceneObject* grandChild = child->Child(i);
    if (!IsSubComponent(grandChild)) grandChild->MoveTo(this);
  }
  EndUpdate();
}

void TGLBaseSceneObject::MoveTo(TGLBaseSceneObject* newParent) {
  if (newParent == parent_) return;
  if (parent_) parent_->Remove(this, false);
  if (newParent)
    newParent->AddChild(this);
  else
    SetScene(nullptr);
}

void TGLBaseSceneObject::DeleteChildren() {
  FreeCamerasInSubtree();
  // The scene forgets the lights of the object's whole subtree, the object's own included.
  if (scene_) scene_->RemoveLights(this);
  if (children_) {
    while (children_->Count() > 0) {
      auto* child = static_cast<TGLBaseSceneObject*>(children_->Pop());
      child->parent_ = nullptr;
      delete child;
    }
  }
  MarkBoundsChanged(boundsChanges_ | BBChangeBit(bcChildren));
}

void TGLBaseSceneObject::FreeCamerasInSubtree() {
  if (!children_) return;
  int i = 0;
  while (i < children_->Count()) {
    TGLBaseSceneObject* child = Child(i);
    child->FreeCamerasInSubtree();
    if (auto* camera = dynamic_cast<TGLCamera*>(child)) {
      Remove(camera, true);
      delete camera;
    } else {
      ++i;
    }
  }
}

void TGLBaseSceneObject::SetScene(TGL3DScene* scene) {
  if (scene == scene_) return;
  if (scene_) DestroyHandles();
  scene_ = scene;
  for (int i = 0; i < GetCount(); ++i) Child(i)->SetScene(scene);
}

void TGLBaseSceneObject::DestroyHandles() {
  for (int i = 0; i < GetCount(); ++i) Child(i)->DestroyHandles();
  DestroyHandle();
}

void TGLBaseSceneObject::DestroyHandle() {
  if (listHandle_) listHandle_->DestroyHandle();
}

// ---- Change flow ----

void TGLBaseSceneObject::NotifyChange(TObject*) {
  if (scene_ && !IsUpdating()) scene_->NotifyChange(this);
}

void TGLBaseSceneObject::TransformationChanged() {
  if (MarkTransformationChanged() && !IsLoading()) NotifyChange(this);
}

bool TGLBaseSceneObject::MarkTransformationChanged() {
  if (changes_ & ObjectChangeBit(chLocalMatrix)) return false;
  changes_ |= ObjectChangeBit(chLocalMatrix);
  MarkAbsoluteMatricesDirty();
  // The parent's box of its children is in its own frame: a child that moves changes it.
  if (parent_) parent_->MarkBoundsChanged(parent_->boundsChanges_ | BBChangeBit(bcChildren));
  return true;
}

void TGLBaseSceneObject::MarkAbsoluteMatricesDirty() {
  if ((changes_ & kAbsoluteChanges) == kAbsoluteChanges) return;
  changes_ |= kAbsoluteChanges;
  for (int i = 0; i < GetCount(); ++i) Child(i)->MarkAbsoluteMatricesDirty();
}

void TGLBaseSceneObject::StructureChanged() {
  if (!(changes_ & ObjectChangeBit(chStructure))) {
    changes_ |= ObjectChangeBit(chStructure);
    NotifyChange(this);
  } else if (HasStyle(sfDirectDraw)) {
    NotifyChange(this);
  }
}

void TGLBaseSceneObject::ClearStructureChanged() {
  changes_ &= static_cast<TObjectChanges>(~ObjectChangeBit(chStructure));
  MarkBoundsChanged(boundsChanges_ | BBChangeBit(bcOwn));
}

void TGLBaseSceneObject::MarkBoundsChanged(TObjectBBChanges flags) {
  if (flags == boundsChanges_) return;
  boundsChanges_ = flags;
  if (parent_) parent_->MarkBoundsChanged(parent_->boundsChanges_ | BBChangeBit(bcChildren));
}

void TGLBaseSceneObject::EndUpdate() {
  ZASSERT(updateCount_ >= 1, "Unbalanced Begin/EndUpdate");
  if (--updateCount_ == 0) NotifyChange(this);
}

void TGLBaseSceneObject::DoProgress(const TProgressTimes& times) {
  for (int i = GetCount() - 1; i >= 0; --i) Child(i)->DoProgress(times);
  if (behaviours_) behaviours_->DoProgress(times);
  if (effects_) effects_->DoProgress(times);
  if (OnProgress) OnProgress(this, times.deltaTime, times.newTime);
}

void TGLBaseSceneObject::NotifyAddedToParent() {
  if (OnAddedToParent) OnAddedToParent(this);
}

// ---- Properties ----

void TGLBaseSceneObject::WriteVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  NotifyChange(this);
}

void TGLBaseSceneObject::WritePickable(bool value) {
  if (pickable_ == value) return;
  pickable_ = value;
  NotifyChange(this);
}

void TGLBaseSceneObject::SetShowAxes(bool value) {
  if (showAxes_ == value) return;
  showAxes_ = value;
  NotifyChange(this);
}

void TGLBaseSceneObject::SetObjectsSorting(TGLObjectsSorting value) {
  if (objectsSorting_ == value) return;
  objectsSorting_ = value;
  NotifyChange(this);
}

void TGLBaseSceneObject::SetVisibilityCulling(TGLVisibilityCulling value) {
  if (visibilityCulling_ == value) return;
  visibilityCulling_ = value;
  NotifyChange(this);
}

TGLBehaviours* TGLBaseSceneObject::Behaviours() {
  if (!behaviours_) behaviours_ = std::make_unique<TGLBehaviours>(this);
  return behaviours_.get();
}

TGLObjectEffects* TGLBaseSceneObject::Effects() {
  if (!effects_) effects_ = std::make_unique<TGLObjectEffects>(this);
  return effects_.get();
}

// ---- Storage ----

void TGLBaseSceneObject::DefineStoredProperties(TFiler& filer) {
  TGLCoordinatesUpdateAbleComponent::DefineStoredProperties(filer);
  filer.DefineBinaryProperty(
      "BehavioursData", [this](TStream& s) { ReadCollection(s, false); },
      [this](TStream& s) {
        TWriter writer(s);
        behaviours_->WriteToFiler(writer);
      },
      behaviours_ && behaviours_->Count() > 0);
  filer.DefineBinaryProperty(
      "EffectsData", [this](TStream& s) { ReadCollection(s, true); },
      [this](TStream& s) {
        TWriter writer(s);
        effects_->WriteToFiler(writer);
      },
      effects_ && effects_->Count() > 0);
}

void TGLBaseSceneObject::ReadCollection(TStream& stream, bool effects) {
  // Read into a new collection, so that a damaged archive leaves the object's own untouched.
  auto readInto = [this, &stream](auto& target) {
    using TCollectionType = typename std::remove_reference_t<decltype(target)>::element_type;
    auto fresh = std::make_unique<TCollectionType>(this);
    TReader reader(stream);
    fresh->ReadFromFiler(reader);
    target = std::move(fresh);
  };
  if (effects)
    readInto(effects_);
  else
    readInto(behaviours_);
}

void TGLBaseSceneObject::ReadChildren(const TGetChildProc& proc) {
  for (int i = 0; i < GetCount(); ++i)
    if (!IsSubComponent(Child(i))) proc(Child(i));
}

TComponent* TGLBaseSceneObject::GetParentComponent() const {
  if (auto* root = dynamic_cast<TGL3DSceneRootObject*>(parent_)) return root->Scene();
  return parent_;
}

void TGLBaseSceneObject::WriteParentComponent(TComponent* value) {
  if (value == parent_) return;
  TGLBaseSceneObject* newParent = nullptr;
  if (auto* scene = dynamic_cast<TGL3DScene*>(value))
    newParent = scene->Objects();
  else
    newParent = dynamic_cast<TGLBaseSceneObject*>(value);
  SetParent(newParent);
}

void TGLBaseSceneObject::AfterLoad() {
  TGLCoordinatesUpdateAbleComponent::Loaded();
  position_.SetW(1);
  if (behaviours_) behaviours_->Loaded();
  if (effects_) effects_->Loaded();
}

void TGLBaseSceneObject::WriteName(const std::string& name) {
  if (name == Name()) return;
  TGLCoordinatesUpdateAbleComponent::WriteName(name);
  if (SceneObjectNameChangeHook) SceneObjectNameChangeHook(this);
}

void TGLBaseSceneObject::Assign(const TPersistent* source) {
  auto* src = const_cast<TGLBaseSceneObject*>(dynamic_cast<const TGLBaseSceneObject*>(source));
  if (!src) {
    TGLCoordinatesUpdateAbleComponent::Assign(source);
    return;
  }
  DestroyHandles();
  visible_ = src->visible_;
  SetMatrix(src->GetMatrix());
  showAxes_ = src->showAxes_;
  objectsSorting_ = src->objectsSorting_;
  visibilityCulling_ = src->visibilityCulling_;
  rotation_.Assign(&src->rotation_);
  DeleteChildren();
  {
    TSceneUpdate update(scene_);
    for (int i = 0; i < src->GetCount(); ++i) {
      TGLBaseSceneObject* from = src->Child(i);
      AddNewChild(from->ClassType())->Assign(from);
    }
  }
  OnProgress = src->OnProgress;
  AssignCollections(*src);
  SetTag(src->Tag());
  tagFloat_ = src->tagFloat_;
}

void TGLBaseSceneObject::AssignCollections(const TGLBaseSceneObject& source) {
  if (source.behaviours_)
    Behaviours()->Assign(source.behaviours_.get());
  else
    behaviours_.reset();
  if (source.effects_)
    Effects()->Assign(source.effects_.get());
  else
    effects_.reset();
}

}  // namespace gl3d

#include "scene3d/scene/core/GLBehaviours.h"

#include "common/Exception.h"
#include "scene3d/base/PersistentClasses.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d {

namespace {

constexpr const char* kAssertText = "Assertion failure (GLBehaviours)";

template <class T>
TXCollectionItem* CreateItem(TXCollection* owner) {
  return new T(owner);
}

// "<owner's name path><suffix>", or the class name when the owner has no path.
std::string CollectionNamePath(const TXCollection& collection, const char* suffix) {
  if (TPersistent* owner = collection.GetOwner()) {
    const std::string path = owner->GetNamePath();
    if (!path.empty()) return path + suffix;
  }
  return collection.ClassName();
}

void CheckOwner(TPersistent* owner) {
  ZASSERT(dynamic_cast<TGLBaseSceneObject*>(owner) != nullptr, kAssertText);
}

}  // namespace

std::function<void(TGLBaseBehaviour*)> BehaviourNameChangeHook;

const TXCollectionItemClass TGLBaseBehaviour::StaticClass = {
    "TGLBaseBehaviour", &TXCollectionItem::StaticClass, nullptr, nullptr, nullptr, nullptr, false, nullptr};
const TXCollectionItemClass TGLBehaviour::StaticClass = {"TGLBehaviour",
                                                         &TGLBaseBehaviour::StaticClass,
                                                         &CreateItem<TGLBehaviour>,
                                                         nullptr,
                                                         nullptr,
                                                         nullptr,
                                                         false,
                                                         nullptr};
const TXCollectionItemClass TGLObjectEffect::StaticClass = {"TGLObjectEffect",
                                                            &TGLBaseBehaviour::StaticClass,
                                                            &CreateItem<TGLObjectEffect>,
                                                            nullptr,
                                                            nullptr,
                                                            nullptr,
                                                            false,
                                                            nullptr};
const TXCollectionItemClass TGLObjectPreEffect::StaticClass = {
    "TGLObjectPreEffect", &TGLObjectEffect::StaticClass, nullptr, nullptr, nullptr, nullptr, false, nullptr};
const TXCollectionItemClass TGLObjectPostEffect::StaticClass = {
    "TGLObjectPostEffect", &TGLObjectEffect::StaticClass, nullptr, nullptr, nullptr, nullptr, false, nullptr};
const TXCollectionItemClass TGLObjectAfterEffect::StaticClass = {"TGLObjectAfterEffect",
                                                                 &TGLObjectEffect::StaticClass,
                                                                 nullptr,
                                                                 nullptr,
                                                                 nullptr,
                                                                 nullptr,
                                                                 false,
                                                                 nullptr};

// ---- Items ----

TGLBaseBehaviour::TGLBaseBehaviour(TXCollection* owner, const TXCollectionItemClass& itemClass)
    : TXCollectionItem(owner, itemClass) {}

void TGLBaseBehaviour::WriteName(const std::string& name) {
  TXCollectionItem::WriteName(name);
  if (BehaviourNameChangeHook) BehaviourNameChangeHook(this);
}

void TGLBaseBehaviour::WriteToFiler(TWriter& writer) const {
  TXCollectionItem::WriteToFiler(writer);
  writer.WriteInteger(0);
}

void TGLBaseBehaviour::ReadFromFiler(TReader& reader) {
  if (Owner() && Owner()->ArchiveVersion() > 0) TXCollectionItem::ReadFromFiler(reader);
  ZASSERT(reader.ReadInteger() == 0, kAssertText);
}

void TGLObjectEffect::WriteToFiler(TWriter& writer) const {
  TGLBaseBehaviour::WriteToFiler(writer);
  writer.WriteInteger(0);
}

void TGLObjectEffect::ReadFromFiler(TReader& reader) {
  TGLBaseBehaviour::ReadFromFiler(reader);
  ZASSERT(reader.ReadInteger() == 0, kAssertText);
}

// ---- Collections ----

TGLBehaviours::TGLBehaviours(TPersistent* owner) : TXCollection(owner) { CheckOwner(owner); }

bool TGLBehaviours::CanAdd(const TXCollectionItemClass& itemClass) const {
  return !itemClass.InheritsFrom(TGLObjectEffect::StaticClass) && TXCollection::CanAdd(itemClass);
}

void TGLBehaviours::DoProgress(const TProgressTimes& times) {
  for (int i = 0; i < Count(); ++i) GetBehaviour(i)->DoProgress(times);
}

std::string TGLBehaviours::GetNamePath() const { return CollectionNamePath(*this, ".Behaviours"); }

TGLObjectEffects::TGLObjectEffects(TPersistent* owner) : TXCollection(owner) { CheckOwner(owner); }

bool TGLObjectEffects::CanAdd(const TXCollectionItemClass& itemClass) const {
  return itemClass.InheritsFrom(TGLObjectEffect::StaticClass) && TXCollection::CanAdd(itemClass);
}

void TGLObjectEffects::DoProgress(const TProgressTimes& times) {
  for (int i = 0; i < Count(); ++i) GetEffect(i)->DoProgress(times);
}

std::string TGLObjectEffects::GetNamePath() const { return CollectionNamePath(*this, ".Effects"); }

void TGLObjectEffects::RenderPreEffects(TRenderContextInfo& rci) {
  for (int i = 0; i < Count(); ++i)
    if (auto* effect = dynamic_cast<TGLObjectPreEffect*>(GetEffect(i))) effect->Render(rci);
}

void TGLObjectEffects::RenderPostEffects(TRenderContextInfo& rci) {
  for (int i = 0; i < Count(); ++i) {
    TGLObjectEffect* effect = GetEffect(i);
    if (dynamic_cast<TGLObjectPostEffect*>(effect))
      effect->Render(rci);
    else if (rci.AfterRenderEffects && dynamic_cast<TGLObjectAfterEffect*>(effect))
      rci.AfterRenderEffects->Add(effect);
  }
}

void RegisterBehaviourClasses() {
  RegisterXCollectionItemClass(TGLBehaviour::StaticClass);
  RegisterXCollectionItemClass(TGLObjectEffect::StaticClass);
}

}  // namespace gl3d

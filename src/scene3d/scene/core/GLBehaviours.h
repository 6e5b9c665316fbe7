#pragma once
// Behaviours and object effects: the two extensible collections every scene object can carry.
// Behaviours take part in the progress (animation time) pass; effects take part in it too and
// are offered a pass before and after the object's own drawing. Both are stored with the object
// as "BehavioursData" and "EffectsData". The program defines no concrete behaviour or effect;
// the collections are still created, stored and progressed.
#include <functional>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/XCollection.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

class TGLBaseBehaviour : public TXCollectionItem {
 public:
  static const TXCollectionItemClass StaticClass;
  TGLBaseBehaviour(TXCollection* owner, const TXCollectionItemClass& itemClass);
  // Renames, then calls BehaviourNameChangeHook with the item when it is set.
  void WriteName(const std::string& name) override;
  // The item record (version 0, name), then the integer 0.
  void WriteToFiler(TWriter& writer) const override;
  // The item record only when the collection's archive is above version 0; then the integer,
  // which must be 0 (assertion otherwise).
  void ReadFromFiler(TReader& reader) override;
  // Advances with the scene's time; nothing here.
  virtual void DoProgress(const TProgressTimes&) {}
};

// The item class of behaviours.
class TGLBehaviour : public TGLBaseBehaviour {
 public:
  static const TXCollectionItemClass StaticClass;
  explicit TGLBehaviour(TXCollection* owner, const TXCollectionItemClass& itemClass = StaticClass)
      : TGLBaseBehaviour(owner, itemClass) {}
};

// The item class of effects.
class TGLObjectEffect : public TGLBaseBehaviour {
 public:
  static const TXCollectionItemClass StaticClass;
  explicit TGLObjectEffect(TXCollection* owner, const TXCollectionItemClass& itemClass = StaticClass)
      : TGLBaseBehaviour(owner, itemClass) {}
  // The behaviour record, then another integer 0.
  void WriteToFiler(TWriter& writer) const override;
  void ReadFromFiler(TReader& reader) override;
  // Draws the effect; nothing here.
  virtual void Render(TRenderContextInfo&) {}
};

// The three effect families: drawn before the object, after it, or after the whole scene.
class TGLObjectPreEffect : public TGLObjectEffect {
 public:
  static const TXCollectionItemClass StaticClass;
  using TGLObjectEffect::TGLObjectEffect;
};
class TGLObjectPostEffect : public TGLObjectEffect {
 public:
  static const TXCollectionItemClass StaticClass;
  using TGLObjectEffect::TGLObjectEffect;
};
class TGLObjectAfterEffect : public TGLObjectEffect {
 public:
  static const TXCollectionItemClass StaticClass;
  using TGLObjectEffect::TGLObjectEffect;
};

class TGLBehaviours : public TXCollection {
 public:
  // The owner must be a scene object (assertion).
  explicit TGLBehaviours(TPersistent* owner);
  const char* ClassName() const override { return "TGLBehaviours"; }
  const TXCollectionItemClass& ItemsClass() const override { return TGLBehaviour::StaticClass; }
  TGLBehaviour* GetBehaviour(int index) const { return static_cast<TGLBehaviour*>(GetItems(index)); }
  // Effects are refused; otherwise the inherited rules.
  bool CanAdd(const TXCollectionItemClass& itemClass) const override;
  // Every item's DoProgress in index order.
  void DoProgress(const TProgressTimes& times);
  // "<owner's name path>.Behaviours", or the class name when the owner has none.
  std::string GetNamePath() const override;
};

class TGLObjectEffects : public TXCollection {
 public:
  // The owner must be a scene object (assertion).
  explicit TGLObjectEffects(TPersistent* owner);
  const char* ClassName() const override { return "TGLObjectEffects"; }
  const TXCollectionItemClass& ItemsClass() const override { return TGLObjectEffect::StaticClass; }
  TGLObjectEffect* GetEffect(int index) const { return static_cast<TGLObjectEffect*>(GetItems(index)); }
  // Only effects, and only when the inherited rules agree.
  bool CanAdd(const TXCollectionItemClass& itemClass) const override;
  void DoProgress(const TProgressTimes& times);
  std::string GetNamePath() const override;
  // Pre-render effects draw.
  void RenderPreEffects(TRenderContextInfo& rci);
  // Post-render effects draw; after-render effects join rci.AfterRenderEffects when it exists.
  void RenderPostEffects(TRenderContextInfo& rci);
};

// Called after a behaviour or effect was renamed (the editor of a form would list it anew).
extern std::function<void(TGLBaseBehaviour* behaviour)> BehaviourNameChangeHook;

// Registers the item classes that stored "BehavioursData" and "EffectsData" name (TGLBehaviour,
// TGLObjectEffect), so that a program can read back what it stored. Part of the scene's
// start-up.
void RegisterBehaviourClasses();

}  // namespace gl3d

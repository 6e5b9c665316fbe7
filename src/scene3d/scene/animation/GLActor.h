#pragma once
// The actor: an animated base mesh that steps through frames (the morph targets of its mesh
// objects or the keyframes of its skeleton) at a fixed interval as the scene's time advances,
// interpolating between neighbouring frames, in one of several play modes; named frame ranges
// (animations); and controllers that blend further animations into a skeletal pose. The actor
// steps by the progress times its caller passes; nothing here runs a timer.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene3d/base/Collection.h"
#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"

namespace gl3d {

class TGLActor;

enum TActorAnimationReference : uint8_t { aarMorph, aarSkeleton, aarNone };
enum TActorFrameInterpolation : uint8_t { afpNone, afpLinear };
enum TActorAnimationMode : uint8_t {
  aamNone,
  aamPlayOnce,
  aamLoop,
  aamBounceForward,
  aamBounceBackward,
  aamLoopBackward,
  aamExternal
};
enum TGLActorOption : uint8_t { aoSkeletonNormalizeNormals };
// Bit n for the option of ordinal n.
using TGLActorOptions = uint8_t;
constexpr TGLActorOptions ActorOptionBit(TGLActorOption o) { return static_cast<TGLActorOptions>(1u << o); }

// A named range of frames of the actor that owns the collection.
class TActorAnimation : public TCollectionItem {
 public:
  explicit TActorAnimation(TCollection* collection);
  static TCollectionItem* Create(TCollection* collection) { return new TActorAnimation(collection); }
  const char* ClassName() const override { return "TActorAnimation"; }

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  // Kept in [0, frame count); StartFrame raises EndFrame to it, EndFrame lowers StartFrame.
  int StartFrame() const { return startFrame_; }
  void SetStartFrame(int value);
  int EndFrame() const { return endFrame_; }
  void SetEndFrame(int value);
  // Re-applies both frame limits.
  TActorAnimationReference Reference() const { return reference_; }
  void SetReference(TActorAnimationReference value);
  // The frames of the owner actor in this animation's reference (aarNone fails an assertion).
  int FrameCount() const;

  // From an animation: the four fields as they are.
  void Assign(const TPersistent* source) override;
  // "<index> - <name> [<start> - <end>]".
  std::string GetDisplayName() const override;

 private:
  std::string name_;
  int startFrame_ = 0;
  int endFrame_ = 0;
  TActorAnimationReference reference_ = aarMorph;
};

class TActorAnimations : public TOwnedCollection {
 public:
  explicit TActorAnimations(TGLActor* owner);
  const char* ClassName() const override { return "TActorAnimations"; }
  TGLActor* Actor() const { return actor_; }
  TActorAnimation* Items(int index) const { return static_cast<TActorAnimation*>(GetItem(index)); }
  void SetItems(int index, const TActorAnimation* value) { GetItem(index)->Assign(value); }
  TActorAnimation* Add() { return static_cast<TActorAnimation*>(TCollection::Add()); }
  // The first animation of that name, ignoring ASCII case; nullptr when none.
  TActorAnimation* ByName(const std::string& name) const;

 private:
  TGLActor* actor_;
};

// Blends a further animation into an actor's skeletal pose.
class TGLBaseAnimationControler : public TComponent {
 public:
  explicit TGLBaseAnimationControler(TComponent* owner);
  // Leaves its actor.
  ~TGLBaseAnimationControler() override;
  const char* ClassName() const override { return "TGLBaseAnimationControler"; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  TGLActor* Actor() const { return actor_; }
  // Leaves the old actor, joins the new one, then Changed.
  void SetActor(TGLActor* value);

  // Tells the actor.
  virtual void Changed();
  // Fills one entry of the actor's blend; false here.
  virtual bool FillLerpInfo(TBlendedLerpInfo& info);
  // The actor's removal clears Actor.
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool enabled_ = true;
  TGLActor* actor_ = nullptr;
};

// Blends the actor's animation of a name at a ratio of its frame range.
class TGLAnimationControler : public TGLBaseAnimationControler {
 public:
  using TGLBaseAnimationControler::TGLBaseAnimationControler;
  const char* ClassName() const override { return "TGLAnimationControler"; }

  const std::string& AnimationName() const { return animationName_; }
  void SetAnimationName(const std::string& value);
  float Ratio() const { return ratio_; }
  // Clamped to [0, 1].
  void SetRatio(float value);

  // Tells the actor only when an animation is named.
  void Changed() override;
  // False when disabled, without an actor or without an animation of that name. Otherwise the
  // frames at the ratio of the animation's range (weight 1, no external rotations or
  // quaternions; external positions left as they were).
  bool FillLerpInfo(TBlendedLerpInfo& info) override;

 private:
  std::string animationName_;
  float ratio_ = 0;
};

class TGLActor : public TGLBaseMesh {
 public:
  // Direct drawing.
  explicit TGLActor(TComponent* owner);
  ~TGLActor() override;
  const char* ClassName() const override { return "TGLActor"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLActor>; }

  // ---- Play state ----
  int StartFrame() const { return startFrame_; }
  // Values in [0, FrameTotal) that differ; EndFrame is raised to it, a current frame below it
  // moves to it.
  void SetStartFrame(int value);
  int EndFrame() const { return endFrame_; }
  // Values in [0, FrameTotal) that differ; a current frame above it moves to it.
  void SetEndFrame(int value);
  TActorAnimationReference Reference() const { return reference_; }
  void SetReference(TActorAnimationReference value) { reference_ = value; }
  int CurrentFrame() const { return currentFrame_; }
  // Clamped to [0, FrameTotal - 1] (so -1 without frames); the delta goes to 0, the play modes
  // turn at the ends, the structure changed and OnFrameChanged fires.
  void SetCurrentFrame(int value);
  // 0 to 1 between the current and the following frame.
  float CurrentFrameDelta() const { return currentFrameDelta_; }
  void SetCurrentFrameDelta(float value) { currentFrameDelta_ = value; }
  TActorFrameInterpolation FrameInterpolation() const { return frameInterpolation_; }
  void SetFrameInterpolation(TActorFrameInterpolation value) { frameInterpolation_ = value; }
  // Milliseconds per frame.
  int Interval() const { return interval_; }
  void SetInterval(int value) { interval_ = value; }
  TActorAnimationMode AnimationMode() const { return animationMode_; }
  void SetAnimationMode(TActorAnimationMode value) { animationMode_ = value; }
  TGLActorOptions Options() const { return options_; }
  void SetOptions(TGLActorOptions value);
  TActorAnimations* Animations() const { return animations_.get(); }
  void SetAnimations(const TActorAnimations* value) { animations_->Assign(value); }
  // The name of the pending smooth switch ("" when none).
  std::string TargetAnimationName() const { return target_ ? target_->name : std::string(); }

  TNotifyEvent OnFrameChanged;
  TNotifyEvent OnEndFrameReached;
  TNotifyEvent OnStartFrameReached;

  // aarMorph: the smallest morph-target count of the mesh objects; aarSkeleton: the skeleton's
  // frames; aarNone: 0.
  int FrameTotal() const;
  // The frame after the current one in the play mode (the pending animation's start while a
  // smooth switch waits).
  int FollowingFrame() const;
  // n steps to the following frame, with the end and start events.
  void AdvanceFrames(int n);
  // Smooth: the switch waits for the next frame step. Otherwise the animation's reference and
  // range are taken at once and the current frame goes to its start. Nothing for nullptr.
  void PlayAnimation(const TActorAnimation* animation, bool smooth);
  // Takes the reference's range and current frame where they fit this actor's frames, its play
  // settings and pending switch, and its skeleton's current frame.
  void CopyPlayState(TGLActor* reference);

  // ---- Controllers ----
  void AddControler(TGLBaseAnimationControler* controler);
  // Fails an assertion on an actor without controllers.
  void RemoveControler(TGLBaseAnimationControler* controler);
  int ControlerCount() const { return static_cast<int>(controlers_.size()); }

  // ---- Time and drawing ----
  // The scene object's step, then the frame step (only in a play mode, with a positive
  // interval, a range of more than one frame and at least 2 frames).
  void DoProgress(const TProgressTimes& times) override;
  // Poses the mesh objects or the skeleton for the current frame and delta.
  virtual void ApplyCurrentFrame();
  // Nothing: the pose is built in BuildList.
  void PrepareBuildList(TRenderContextInfo& rci) override;
  // ApplyCurrentFrame, the mesh, then the skeleton overlay when asked for.
  void BuildList(TRenderContextInfo& rci) override;
  // After a load: the whole range, frame 0, OnFrameChanged, then the base step.
  void MeshChanged() override;
  // With a file name, the animations are cleared first.
  void LoadFromStream(const std::string& fileName, TStream& stream) override;

  // The base assignment; from an actor also Animations, AnimationMode and the play state.
  void Assign(const TPersistent* source) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  // A pending smooth switch, kept by value so that no collection item is referred to.
  struct TTargetAnimation {
    std::string name;
    int startFrame, endFrame;
    TActorAnimationReference reference;
  };
  void SwitchTo(const TTargetAnimation& animation);
  std::vector<TBlendedLerpInfo> ControlerBlend(int following);

  int startFrame_ = 0;
  int endFrame_ = 0;
  TActorAnimationReference reference_ = aarMorph;
  int currentFrame_ = 0;
  float currentFrameDelta_ = 0;
  TActorFrameInterpolation frameInterpolation_ = afpLinear;
  int interval_ = 100;
  TActorAnimationMode animationMode_ = aamNone;
  std::unique_ptr<TActorAnimations> animations_;
  std::optional<TTargetAnimation> target_;
  std::vector<TGLBaseAnimationControler*> controlers_;
  TGLActorOptions options_ = ActorOptionBit(aoSkeletonNormalizeNormals);
};

// Registers the actor and its controller for stored descriptions.
void RegisterActorClasses();

}  // namespace gl3d

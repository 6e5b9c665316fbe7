#include "scene3d/scene/animation/GLActor.h"

#include <algorithm>

#include "common/ClassRegistry.h"
#include "common/Exception.h"
#include "common/NumberText.h"
#include "common/Round.h"
#include "scene3d/scene/animation/MorphableMeshObject.h"

namespace gl3d {

namespace {
constexpr const char* kAssertText = "Assertion failure (GLVectorFileObjects)";

bool SameTextAscii(const std::string& a, const std::string& b) {
  const common::CaseInsensitiveLess less;
  return !less(a, b) && !less(b, a);
}
}  // namespace

// ---- TActorAnimation ----

TActorAnimation::TActorAnimation(TCollection* collection) : TCollectionItem(collection) {}

int TActorAnimation::FrameCount() const {
  auto* animations = dynamic_cast<TActorAnimations*>(Collection());
  TGLActor* actor = animations ? animations->Actor() : nullptr;
  switch (reference_) {
    case aarMorph:
      return actor ? actor->MeshObjects()->MorphTargetCount() : 0;
    case aarSkeleton:
      return actor ? actor->Skeleton()->Frames()->Count() : 0;
    default:
      ZASSERT(false, kAssertText);
  }
  return 0;
}

void TActorAnimation::SetStartFrame(int value) {
  const int count = FrameCount();
  if (value < 0)
    value = 0;
  else if (value >= count)
    value = count - 1;
  startFrame_ = value;
  if (endFrame_ < startFrame_) endFrame_ = startFrame_;
}

void TActorAnimation::SetEndFrame(int value) {
  const int count = FrameCount();
  if (value < 0)
    value = 0;
  else if (value >= count)
    value = count - 1;
  endFrame_ = value;
  if (startFrame_ > endFrame_) startFrame_ = endFrame_;
}

void TActorAnimation::SetReference(TActorAnimationReference value) {
  if (reference_ == value) return;
  reference_ = value;
  SetStartFrame(startFrame_);
  SetEndFrame(endFrame_);
}

void TActorAnimation::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TActorAnimation*>(source)) {
    name_ = other->name_;
    startFrame_ = other->startFrame_;
    endFrame_ = other->endFrame_;
    reference_ = other->reference_;
  } else {
    TCollectionItem::Assign(source);
  }
}

std::string TActorAnimation::GetDisplayName() const {
  return common::FormatC("%d - %s [%d - %d]", Index(), name_.c_str(), startFrame_, endFrame_);
}

TActorAnimations::TActorAnimations(TGLActor* owner)
    : TOwnedCollection(owner, &TActorAnimation::Create), actor_(owner) {}

TActorAnimation* TActorAnimations::ByName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameTextAscii(Items(i)->Name(), name)) return Items(i);
  return nullptr;
}

// ---- Controllers ----

TGLBaseAnimationControler::TGLBaseAnimationControler(TComponent* owner) : TComponent(owner) {}

TGLBaseAnimationControler::~TGLBaseAnimationControler() { SetActor(nullptr); }

void TGLBaseAnimationControler::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  if (actor_) Changed();
}

void TGLBaseAnimationControler::SetActor(TGLActor* value) {
  if (actor_ == value) return;
  if (actor_) actor_->RemoveControler(this);
  actor_ = value;
  if (actor_) {
    actor_->AddControler(this);
    Changed();
  }
}

void TGLBaseAnimationControler::Changed() {
  if (actor_) actor_->NotifyChange(this);
}

bool TGLBaseAnimationControler::FillLerpInfo(TBlendedLerpInfo&) { return false; }

void TGLBaseAnimationControler::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component == actor_) actor_ = nullptr;
  TComponent::Notification(component, operation);
}

void TGLAnimationControler::SetAnimationName(const std::string& value) {
  if (animationName_ == value) return;
  animationName_ = value;
  Changed();
}

void TGLAnimationControler::SetRatio(float value) {
  value = std::clamp(value, 0.0f, 1.0f);
  if (ratio_ == value) return;
  ratio_ = value;
  Changed();
}

void TGLAnimationControler::Changed() {
  if (!animationName_.empty()) TGLBaseAnimationControler::Changed();
}

bool TGLAnimationControler::FillLerpInfo(TBlendedLerpInfo& info) {
  if (!Enabled() || !Actor()) return false;
  const TActorAnimation* animation = Actor()->Animations()->ByName(animationName_);
  if (!animation) return false;
  if (ratio_ == 0) {
    info.frameIndex1 = info.frameIndex2 = animation->StartFrame();
    info.lerpFactor = 0;
  } else if (ratio_ == 1) {
    info.frameIndex1 = info.frameIndex2 = animation->EndFrame();
    info.lerpFactor = 0;
  } else {
    const long double f = animation->StartFrame() +
                          static_cast<long double>(animation->EndFrame() - animation->StartFrame()) * ratio_;
    info.frameIndex1 = common::TruncInt(f);
    info.frameIndex2 = info.frameIndex1 + 1;
    info.lerpFactor = static_cast<float>(common::Frac(f));
  }
  info.weight = 1;
  info.externalRotationList = nullptr;
  info.externalQuatList = nullptr;
  return true;
}

// ---- TGLActor ----

TGLActor::TGLActor(TComponent* owner)
    : TGLBaseMesh(owner), animations_(std::make_unique<TActorAnimations>(this)) {
  SetObjectStyle(ObjectStyle() | ObjectStyleBit(sfDirectDraw));
}

TGLActor::~TGLActor() {
  // The controllers forget this actor before its data goes.
  RemoveFreeNotifications();
}

int TGLActor::FrameTotal() const {
  switch (reference_) {
    case aarMorph:
      return MeshObjects()->MorphTargetCount();
    case aarSkeleton:
      return Skeleton()->Frames()->Count();
    case aarNone:
      return 0;
    default:
      ZASSERT(false, kAssertText);
  }
  return 0;
}

void TGLActor::SetStartFrame(int value) {
  if (value < 0 || value >= FrameTotal() || value == startFrame_) return;
  startFrame_ = value;
  if (endFrame_ < startFrame_) endFrame_ = startFrame_;
  if (currentFrame_ < startFrame_) SetCurrentFrame(startFrame_);
}

void TGLActor::SetEndFrame(int value) {
  if (value < 0 || value >= FrameTotal() || value == endFrame_) return;
  endFrame_ = value;
  if (currentFrame_ > endFrame_) SetCurrentFrame(endFrame_);
}

void TGLActor::SetCurrentFrame(int value) {
  if (value == currentFrame_) return;
  const int count = FrameTotal();
  if (value > count - 1)
    value = count - 1;
  else if (value < 0)
    value = 0;
  currentFrame_ = value;
  currentFrameDelta_ = 0;
  switch (animationMode_) {
    case aamPlayOnce:
      if (currentFrame_ == endFrame_ && !target_) animationMode_ = aamNone;
      break;
    case aamBounceForward:
      if (currentFrame_ == endFrame_) animationMode_ = aamBounceBackward;
      break;
    case aamBounceBackward:
      if (currentFrame_ == startFrame_) animationMode_ = aamBounceForward;
      break;
    default:
      break;
  }
  StructureChanged();
  if (OnFrameChanged) OnFrameChanged(this);
}

void TGLActor::SetOptions(TGLActorOptions value) {
  if (options_ == value) return;
  options_ = value;
  StructureChanged();
}

int TGLActor::FollowingFrame() const {
  if (target_ && animationMode_ != aamExternal) return target_->startFrame;
  int next = currentFrame_;
  switch (animationMode_) {
    case aamNone:
    case aamPlayOnce:
      next = std::min(currentFrame_ + 1, endFrame_);
      break;
    case aamLoop:
    case aamBounceForward:
      next = currentFrame_ + 1;
      if (next > endFrame_) next = std::min(startFrame_ + (currentFrame_ - endFrame_), endFrame_);
      break;
    case aamBounceBackward:
    case aamLoopBackward:
      next = currentFrame_ - 1;
      if (next < startFrame_) next = std::max(endFrame_ - (startFrame_ - currentFrame_), startFrame_);
      break;
    case aamExternal:
      break;
  }
  return next;
}

void TGLActor::AdvanceFrames(int n) {
  for (int i = 0; i < n; ++i) {
    SetCurrentFrame(FollowingFrame());
    if (currentFrame_ == endFrame_ && OnEndFrameReached) OnEndFrameReached(this);
    if (currentFrame_ == startFrame_ && OnStartFrameReached) OnStartFrameReached(this);
  }
}

void TGLActor::SwitchTo(const TTargetAnimation& animation) {
  SetReference(animation.reference);
  SetStartFrame(animation.startFrame);
  SetEndFrame(animation.endFrame);
  SetCurrentFrame(startFrame_);
}

void TGLActor::PlayAnimation(const TActorAnimation* animation, bool smooth) {
  if (!animation) return;
  const TTargetAnimation wanted{animation->Name(), animation->StartFrame(), animation->EndFrame(),
                                animation->Reference()};
  if (smooth) {
    target_ = wanted;
    currentFrameDelta_ = 0;
  } else {
    SwitchTo(wanted);
  }
}

void TGLActor::CopyPlayState(TGLActor* reference) {
  if (!reference) return;
  const int count = FrameTotal();
  if (reference->startFrame_ < count) startFrame_ = reference->startFrame_;
  if (reference->endFrame_ < count) endFrame_ = reference->endFrame_;
  if (reference->currentFrame_ < count) currentFrame_ = reference->currentFrame_;
  reference_ = reference->reference_;
  currentFrameDelta_ = reference->currentFrameDelta_;
  animationMode_ = reference->animationMode_;
  frameInterpolation_ = reference->frameInterpolation_;
  const TActorAnimation* target =
      reference->target_ ? animations_->ByName(reference->target_->name) : nullptr;
  if (target)
    target_ = TTargetAnimation{target->Name(), target->StartFrame(), target->EndFrame(), target->Reference()};
  else
    target_.reset();
  if (Skeleton()->Frames()->Count() > 0 && reference->Skeleton()->Frames()->Count() > 0)
    Skeleton()->CopyCurrentFrameFrom(reference->Skeleton());
}

void TGLActor::AddControler(TGLBaseAnimationControler* controler) {
  if (!controler || std::find(controlers_.begin(), controlers_.end(), controler) != controlers_.end()) return;
  controlers_.push_back(controler);
  FreeNotification(controler);
}

void TGLActor::RemoveControler(TGLBaseAnimationControler* controler) {
  ZASSERT(!controlers_.empty(), kAssertText);
  const auto it = std::find(controlers_.begin(), controlers_.end(), controler);
  if (it == controlers_.end()) return;
  controlers_.erase(it);
  RemoveFreeNotification(controler);
}

void TGLActor::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) {
    const auto it = std::find(controlers_.begin(), controlers_.end(), component);
    if (it != controlers_.end()) controlers_.erase(it);
  }
  TGLBaseMesh::Notification(component, operation);
}

void TGLActor::DoProgress(const TProgressTimes& times) {
  TGLBaseMesh::DoProgress(times);
  if (animationMode_ == aamNone || interval_ <= 0 || startFrame_ == endFrame_ || FrameTotal() <= 1) return;
  const long double delta = currentFrameDelta_ + times.deltaTime * 1000.0L / interval_;
  currentFrameDelta_ = static_cast<float>(delta);
  if (delta > 1) {
    if (target_) {
      const TTargetAnimation target = *target_;
      target_.reset();
      SwitchTo(target);
    }
    AdvanceFrames(common::TruncInt(delta));
    currentFrameDelta_ = static_cast<float>(common::Frac(delta));
    StructureChanged();
  } else if (frameInterpolation_ != afpNone) {
    StructureChanged();
  }
}

std::vector<TBlendedLerpInfo> TGLActor::ControlerBlend(int following) {
  std::vector<TBlendedLerpInfo> infos(controlers_.size() + 1);
  TBlendedLerpInfo& lead = infos[0];
  lead.frameIndex1 = currentFrame_;
  if (following < 0 || frameInterpolation_ != afpLinear) {
    lead.frameIndex2 = currentFrame_;
    lead.lerpFactor = 0;
  } else {
    lead.frameIndex2 = following;
    lead.lerpFactor = currentFrameDelta_;
  }
  lead.weight = 1;
  size_t filled = 1;
  for (TGLBaseAnimationControler* c : controlers_)
    if (c->FillLerpInfo(infos[filled])) ++filled;
  infos.resize(filled);
  return infos;
}

void TGLActor::ApplyCurrentFrame() {
  const int following = FollowingFrame();
  switch (reference_) {
    case aarMorph:
      if (following < 0) break;
      if (frameInterpolation_ == afpLinear)
        MeshObjects()->Lerp(currentFrame_, following, currentFrameDelta_);
      else
        MeshObjects()->ApplyMorphTarget(currentFrame_);
      break;
    case aarSkeleton: {
      TSkeleton& skeleton = *Skeleton();
      if (skeleton.Frames()->Count() == 0) break;
      if (!controlers_.empty() && animationMode_ != aamExternal) {
        skeleton.BlendFrames(ControlerBlend(following));
      } else if (following >= 0 && animationMode_ != aamExternal && frameInterpolation_ == afpLinear) {
        skeleton.LerpFrames(currentFrame_, following, currentFrameDelta_);
      } else {
        skeleton.SetCurrentFrame(skeleton.Frames()->Items(currentFrame_));
      }
      skeleton.ApplyToMeshes(options_ & ActorOptionBit(aoSkeletonNormalizeNormals));
      break;
    }
    default:
      break;
  }
}

void TGLActor::PrepareBuildList(TRenderContextInfo&) {}

void TGLActor::BuildList(TRenderContextInfo& rci) {
  ApplyCurrentFrame();
  TGLBaseMesh::BuildList(rci);
  if (OverlaySkeleton()) {
    rci.StateCache->Disable(capDepthTest);
    Skeleton()->RootBones()->BuildList(rci);
  }
}

void TGLActor::MeshChanged() {
  startFrame_ = 0;
  endFrame_ = FrameTotal() - 1;
  currentFrame_ = 0;
  if (OnFrameChanged) OnFrameChanged(this);
  TGLBaseMesh::MeshChanged();
}

void TGLActor::LoadFromStream(const std::string& fileName, TStream& stream) {
  if (!fileName.empty()) animations_->Clear();
  TGLBaseMesh::LoadFromStream(fileName, stream);
}

void TGLActor::Assign(const TPersistent* source) {
  TGLBaseMesh::Assign(source);
  if (auto* actor = dynamic_cast<const TGLActor*>(source)) {
    animations_->Assign(actor->animations_.get());
    animationMode_ = actor->animationMode_;
    CopyPlayState(const_cast<TGLActor*>(actor));
  }
}

void RegisterActorClasses() {
  RegisterClass<TGLActor>("TGLActor");
  RegisterClass<TGLAnimationControler>("TGLAnimationControler");
}

}  // namespace gl3d

// Actors and animation controllers: frame stepping by progress times, the play modes, ranges and
// events, smooth switches, morph and skeleton poses, controller blends and their lifecycle.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/animation/GLActor.h"
#include "scene3d/scene/animation/MorphableMeshObject.h"
#include "scene3d/scene/animation/tests/AnimationTestSupport.h"

using namespace gl3d;

namespace {

// An actor whose one morphable mesh object has `frames` targets; target k puts its vertex at
// (k, 0, 0).
void AddMorphFrames(TGLActor& actor, int frames) {
  auto* mesh = new TMorphableMeshObject(actor.MeshObjects());
  mesh->Vertices()->Add({0, 0, 0});
  for (int k = 0; k < frames; ++k)
    (new TMeshMorphTarget(mesh->MorphTargets()))->Vertices()->Add({float(k), 0, 0});
  actor.MeshChanged();
}

TProgressTimes Step(double seconds) { return {seconds, 0}; }

}  // namespace

TEST(Actor, AProgressStepAdvancesWholeFramesAndKeepsTheRest) {
  TGLActor actor(nullptr);
  AddMorphFrames(actor, 8);
  EXPECT_EQ(actor.StartFrame(), 0);
  EXPECT_EQ(actor.EndFrame(), 7);
  actor.SetAnimationMode(aamLoop);
  int changes = 0;
  actor.OnFrameChanged = [&](TObject*) { ++changes; };
  actor.DoProgress(Step(0.25));
  EXPECT_EQ(actor.CurrentFrame(), 2);
  EXPECT_FLOAT_EQ(actor.CurrentFrameDelta(), 0.5f);
  EXPECT_EQ(changes, 2);
  actor.DoProgress(Step(0.02));
  EXPECT_EQ(actor.CurrentFrame(), 2);
  EXPECT_FLOAT_EQ(actor.CurrentFrameDelta(), 0.7f);

  // No step without a play mode, a positive interval or a range.
  actor.SetAnimationMode(aamNone);
  actor.DoProgress(Step(1));
  actor.SetAnimationMode(aamLoop);
  actor.SetInterval(0);
  actor.DoProgress(Step(1));
  EXPECT_EQ(actor.CurrentFrame(), 2);
}

TEST(Actor, PlayModesTurnAndStopAtTheEnds) {
  struct Case {
    TActorAnimationMode mode;
    int from;
    int steps;
    int frame;
    TActorAnimationMode after;
  } cases[] = {
      {aamLoop, 3, 1, 0, aamLoop},
      {aamBounceForward, 2, 1, 3, aamBounceBackward},
      {aamBounceForward, 2, 2, 2, aamBounceBackward},
      {aamBounceBackward, 1, 2, 1, aamBounceForward},
      {aamPlayOnce, 1, 2, 3, aamNone},
      {aamPlayOnce, 3, 3, 3, aamPlayOnce},
      {aamLoopBackward, 0, 1, 3, aamLoopBackward},
      {aamNone, 2, 5, 3, aamNone},
      {aamExternal, 2, 5, 2, aamExternal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " from " + std::to_string(c.from));
    TGLActor actor(nullptr);
    AddMorphFrames(actor, 4);
    actor.SetCurrentFrame(c.from);
    actor.SetAnimationMode(c.mode);
    actor.AdvanceFrames(c.steps);
    EXPECT_EQ(actor.CurrentFrame(), c.frame);
    EXPECT_EQ(actor.AnimationMode(), c.after);
  }
}

TEST(Actor, RangesClampAndEventsFireAtTheEnds) {
  TGLActor empty(nullptr);
  empty.SetCurrentFrame(5);
  EXPECT_EQ(empty.CurrentFrame(), -1) << "count - 1 without frames";

  TGLActor actor(nullptr);
  AddMorphFrames(actor, 6);
  actor.SetCurrentFrame(9);
  EXPECT_EQ(actor.CurrentFrame(), 5);
  actor.SetStartFrame(6);  // out of range: ignored
  EXPECT_EQ(actor.StartFrame(), 0);
  actor.SetEndFrame(3);
  EXPECT_EQ(actor.CurrentFrame(), 3) << "moved into the range";
  actor.SetStartFrame(2);
  actor.SetCurrentFrame(0);
  actor.SetStartFrame(3);
  EXPECT_EQ(actor.CurrentFrame(), 3);
  EXPECT_EQ(actor.EndFrame(), 3);

  actor.SetEndFrame(5);
  actor.SetAnimationMode(aamLoop);
  int ends = 0, starts = 0;
  actor.OnEndFrameReached = [&](TObject*) { ++ends; };
  actor.OnStartFrameReached = [&](TObject*) { ++starts; };
  actor.AdvanceFrames(6);  // 4 5 3 4 5 3
  EXPECT_EQ(ends, 2);
  EXPECT_EQ(starts, 2);
}

TEST(Actor, AnimationsAndSmoothSwitches) {
  Scene3dSceneStartup();  // copies of mesh objects go through their archives
  TGLActor actor(nullptr);
  AddMorphFrames(actor, 10);
  TActorAnimation* walk = actor.Animations()->Add();
  walk->SetName("Walk");
  walk->SetStartFrame(6);
  walk->SetEndFrame(12);
  EXPECT_EQ(walk->EndFrame(), 9) << "kept below the frame count";
  walk->SetStartFrame(-2);
  EXPECT_EQ(walk->StartFrame(), 0);
  walk->SetStartFrame(6);
  EXPECT_EQ(walk->GetDisplayName(), "0 - Walk [6 - 9]");
  EXPECT_EQ(actor.Animations()->ByName("wALK"), walk);
  EXPECT_EQ(actor.Animations()->ByName("run"), nullptr);
  walk->SetReference(aarSkeleton);
  EXPECT_EQ(walk->StartFrame(), -1) << "the skeleton has no frames";
  walk->SetReference(aarMorph);
  walk->SetStartFrame(6);
  walk->SetEndFrame(9);
  EXPECT_THROW(walk->SetReference(aarNone), common::EAssertionFailed) << "aarNone has no frame count";
  walk->SetReference(aarMorph);

  actor.PlayAnimation(nullptr, false);
  actor.SetAnimationMode(aamLoop);
  actor.PlayAnimation(walk, true);
  EXPECT_EQ(actor.TargetAnimationName(), "Walk");
  EXPECT_EQ(actor.FollowingFrame(), 6) << "the pending animation's start";
  EXPECT_EQ(actor.CurrentFrame(), 0) << "smooth: not yet";
  actor.DoProgress(Step(0.15));
  EXPECT_EQ(actor.StartFrame(), 6);
  EXPECT_EQ(actor.EndFrame(), 9);
  EXPECT_EQ(actor.CurrentFrame(), 7) << "switched to the start, then one step";
  EXPECT_EQ(actor.TargetAnimationName(), "");

  actor.PlayAnimation(walk, false);
  EXPECT_EQ(actor.CurrentFrame(), 6);
  TGLActor copy(nullptr);
  AddMorphFrames(copy, 10);
  copy.Assign(&actor);
  EXPECT_EQ(copy.Animations()->Count(), 1);
  EXPECT_EQ(copy.StartFrame(), 6);
  EXPECT_EQ(copy.CurrentFrame(), 6);
  EXPECT_EQ(copy.AnimationMode(), aamLoop);
}

TEST(Actor, TheCurrentFramePosesMorphTargetsAndSkeletons) {
  TGLActor actor(nullptr);
  AddMorphFrames(actor, 4);
  actor.SetCurrentFrame(1);
  actor.SetCurrentFrameDelta(0.25f);
  actor.ApplyCurrentFrame();
  auto* mesh = actor.MeshObjects()->Items(0);
  EXPECT_FLOAT_EQ(mesh->Vertices()->Get(0).X, 1.25f);
  actor.SetFrameInterpolation(afpNone);
  actor.ApplyCurrentFrame();
  EXPECT_FLOAT_EQ(mesh->Vertices()->Get(0).X, 1);

  gl3d::test::TSkinnedMesh rig(1);
  TGLActor skinned(nullptr);
  skinned.Skeleton()->Assign(rig.freeForm.Skeleton());
  skinned.MeshObjects()->Assign(rig.freeForm.MeshObjects());
  skinned.SetReference(aarSkeleton);
  skinned.MeshChanged();
  EXPECT_EQ(skinned.FrameTotal(), 2);
  skinned.SetCurrentFrameDelta(0.5f);
  skinned.ApplyCurrentFrame();
  const float h = std::sqrt(0.5f);
  ExpectVector(skinned.MeshObjects()->Items(0)->Vertices()->Get(0), {0.5f + h, h, 0});
  skinned.SetAnimationMode(aamExternal);
  skinned.ApplyCurrentFrame();
  ExpectVector(skinned.MeshObjects()->Items(0)->Vertices()->Get(0), {1, 0, 0}) << "frame 0 itself";
}

TEST(AnimationControler, RatiosPickFramesAndBlendIntoTheSkeleton) {
  TGLActor actor(nullptr);
  AddMorphFrames(actor, 9);
  TActorAnimation* run = actor.Animations()->Add();
  run->SetName("run");
  run->SetEndFrame(8);
  TGLAnimationControler controler(nullptr);
  controler.SetActor(&actor);
  controler.SetAnimationName("RUN");
  struct Case {
    float ratio;
    int first, second;
    float factor;
  } cases[] = {{0.25f, 2, 3, 0}, {0, 0, 0, 0}, {1, 8, 8, 0}, {0.3f, 2, 3, 0.4f}, {2, 8, 8, 0}};
  for (const Case& c : cases) {
    controler.SetRatio(c.ratio);
    TBlendedLerpInfo info;
    TAffineVectorList positions;
    info.externalPositionList = &positions;
    ASSERT_TRUE(controler.FillLerpInfo(info)) << c.ratio;
    EXPECT_EQ(info.frameIndex1, c.first) << c.ratio;
    EXPECT_EQ(info.frameIndex2, c.second) << c.ratio;
    EXPECT_NEAR(info.lerpFactor, c.factor, 1e-5) << c.ratio;
    EXPECT_EQ(info.weight, 1);
    EXPECT_EQ(info.externalPositionList, &positions) << "left as it was";
  }
  TBlendedLerpInfo info;
  controler.SetEnabled(false);
  EXPECT_FALSE(controler.FillLerpInfo(info));
  controler.SetEnabled(true);
  controler.SetAnimationName("walk");
  EXPECT_FALSE(controler.FillLerpInfo(info));

  // On a skeleton: the controller's frame is added to the actor's own pose.
  gl3d::test::TSkinnedMesh rig(1);
  TGLActor skinned(nullptr);
  skinned.Skeleton()->Assign(rig.freeForm.Skeleton());
  skinned.SetReference(aarSkeleton);
  skinned.MeshChanged();
  TActorAnimation* turn = skinned.Animations()->Add();
  turn->SetName("turn");
  turn->SetReference(aarSkeleton);
  turn->SetStartFrame(1);
  turn->SetEndFrame(1);
  TGLAnimationControler blend(nullptr);
  blend.SetActor(&skinned);
  blend.SetAnimationName("turn");
  skinned.SetAnimationMode(aamLoop);
  skinned.ApplyCurrentFrame();
  EXPECT_FLOAT_EQ(skinned.Skeleton()->CurrentFrame()->Position()->Get(0).X, 1) << "frame 0 plus frame 1";
}

TEST(AnimationControler, ControllersAndActorsForgetEachOther) {
  auto* actor = new TGLActor(nullptr);
  {
    TGLAnimationControler a(nullptr), b(nullptr);
    a.SetActor(actor);
    b.SetActor(actor);
    EXPECT_EQ(actor->ControlerCount(), 2);
    b.SetActor(nullptr);
    EXPECT_EQ(actor->ControlerCount(), 1);
  }
  EXPECT_EQ(actor->ControlerCount(), 0) << "a freed controller leaves its actor";
  EXPECT_THROW(actor->RemoveControler(nullptr), common::EAssertionFailed);
  TGLAnimationControler c(nullptr);
  c.SetActor(actor);
  delete actor;
  EXPECT_EQ(c.Actor(), nullptr) << "a freed actor leaves its controllers";
}

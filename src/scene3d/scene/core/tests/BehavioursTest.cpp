// Behaviours and effects: which collection takes which items, the item archives, the progress
// and render passes, and "BehavioursData"/"EffectsData" with damaged archives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SceneTestSupport.h"
#include "scene3d/base/Scene3dBase.h"
#include "scene3d/base/VectorLists.h"
#include "scene3d/scene/Scene3dScene.h"

using namespace gl3d;
using gl3d::test::BinaryProperty;
using gl3d::test::TCountingObject;

namespace {

std::vector<std::string>* gLog = nullptr;

// A behaviour that logs its progress calls.
class TTestBehaviour : public TGLBehaviour {
 public:
  static const TXCollectionItemClass StaticClass;
  explicit TTestBehaviour(TXCollection* owner) : TGLBehaviour(owner, StaticClass) {}
  void DoProgress(const TProgressTimes& t) override {
    if (gLog) gLog->push_back("progress " + Name() + " " + std::to_string(static_cast<int>(t.newTime)));
  }
};
const TXCollectionItemClass TTestBehaviour::StaticClass = {
    "TTestBehaviour",
    &TGLBehaviour::StaticClass,
    [](TXCollection* o) -> TXCollectionItem* { return new TTestBehaviour(o); },
    nullptr,
    nullptr,
    nullptr,
    false,
    nullptr};

// One effect of each family, logging their render calls.
template <class TFamily>
struct TEffectName;
template <>
struct TEffectName<TGLObjectPreEffect> {
  static constexpr const char* Name = "TTestPreEffect";
};
template <>
struct TEffectName<TGLObjectPostEffect> {
  static constexpr const char* Name = "TTestPostEffect";
};
template <>
struct TEffectName<TGLObjectAfterEffect> {
  static constexpr const char* Name = "TTestAfterEffect";
};

template <class TFamily>
class TTestEffect : public TFamily {
 public:
  static const TXCollectionItemClass StaticClass;
  explicit TTestEffect(TXCollection* owner) : TFamily(owner, StaticClass) {}
  void Render(TRenderContextInfo&) override {
    if (gLog) gLog->push_back("render " + this->Name());
  }
};
template <class TFamily>
const TXCollectionItemClass TTestEffect<TFamily>::StaticClass = {
    TEffectName<TFamily>::Name,
    &TFamily::StaticClass,
    [](TXCollection* o) -> TXCollectionItem* { return new TTestEffect<TFamily>(o); },
    nullptr,
    nullptr,
    nullptr,
    false,
    nullptr};
using TPre = TTestEffect<TGLObjectPreEffect>;
using TPost = TTestEffect<TGLObjectPostEffect>;
using TAfter = TTestEffect<TGLObjectAfterEffect>;

class Behaviours : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog = &log;
    RegisterXCollectionItemClass(TGLBehaviour::StaticClass);
    RegisterXCollectionItemClass(TGLObjectEffect::StaticClass);
    RegisterXCollectionItemClass(TTestBehaviour::StaticClass);
  }
  void TearDown() override {
    gLog = nullptr;
    UnregisterXCollectionItemClass(TGLBehaviour::StaticClass);
    UnregisterXCollectionItemClass(TGLObjectEffect::StaticClass);
    UnregisterXCollectionItemClass(TTestBehaviour::StaticClass);
  }
  std::vector<std::string> log;
};

// The stored properties of an object, as a component stream writes them.
std::string StoredProperties(TGLBaseSceneObject& object) {
  TMemoryStream ms;
  TWriter w(ms);
  w.WriteDefinedProperties(object);
  return ms.DataString();
}

}  // namespace

TEST_F(Behaviours, EachCollectionTakesItsOwnKind) {
  TGLBaseSceneObject object(nullptr);
  object.SetName("GLCube1");
  TGLBehaviours& behaviours = *object.Behaviours();
  TGLObjectEffects& effects = *object.Effects();
  EXPECT_TRUE(behaviours.CanAdd(TGLBehaviour::StaticClass));
  EXPECT_FALSE(behaviours.CanAdd(TGLObjectEffect::StaticClass));
  EXPECT_FALSE(behaviours.CanAdd(TPre::StaticClass));
  EXPECT_TRUE(effects.CanAdd(TPost::StaticClass));
  EXPECT_FALSE(effects.CanAdd(TGLBehaviour::StaticClass));
  EXPECT_THROW(new TGLObjectEffect(&behaviours), common::EAssertionFailed);
  EXPECT_THROW(new TGLBehaviour(&effects), common::EAssertionFailed);
  EXPECT_EQ(behaviours.Count(), 0);
  EXPECT_EQ(effects.Count(), 0);
  EXPECT_EQ(behaviours.GetNamePath(), "GLCube1.Behaviours");
  EXPECT_EQ(effects.GetNamePath(), "GLCube1.Effects");
  TGLBaseSceneObject unnamed(nullptr);
  EXPECT_EQ(unnamed.Behaviours()->GetNamePath(), "TGLBehaviours");

  // Only a scene object may own them.
  TPersistent notAnObject;
  EXPECT_THROW(TGLBehaviours{&notAnObject}, common::EAssertionFailed);

  // A rename reaches the hook.
  std::vector<std::string> renamed;
  BehaviourNameChangeHook = [&renamed](TGLBaseBehaviour* b) { renamed.push_back(b->Name()); };
  (new TGLBehaviour(&behaviours))->SetName("spin");
  BehaviourNameChangeHook = nullptr;
  EXPECT_EQ(renamed, std::vector<std::string>{"spin"});
}

TEST_F(Behaviours, ProgressReachesChildrenFromLastThenCollectionsThenTheEvent) {
  TGLBaseSceneObject parent(nullptr);
  auto* first = parent.AddNewChild<TGLBaseSceneObject>();
  auto* second = parent.AddNewChild<TGLBaseSceneObject>();
  (new TTestBehaviour(first->Behaviours()))->SetName("first");
  (new TTestBehaviour(second->Behaviours()))->SetName("second");
  (new TTestBehaviour(parent.Behaviours()))->SetName("parent");
  parent.OnProgress = [this](TObject*, double delta, double newTime) {
    log.push_back("event " + std::to_string(delta) + " " + std::to_string(newTime));
  };
  parent.DoProgress({0.5, 7});
  EXPECT_EQ(log, (std::vector<std::string>{"progress second 7", "progress first 7", "progress parent 7",
                                           "event 0.500000 7.000000"}));
}

TEST_F(Behaviours, RenderPassesCallTheirFamilies) {
  TGLBaseSceneObject object(nullptr);
  TGLObjectEffects& effects = *object.Effects();
  (new TPost(&effects))->SetName("post");
  (new TAfter(&effects))->SetName("after");
  (new TPre(&effects))->SetName("pre");
  (new TGLObjectEffect(&effects))->SetName("plain");
  TRenderContextInfo rci;
  effects.RenderPreEffects(rci);
  effects.RenderPostEffects(rci);  // no after-render list: the after effect is left out
  EXPECT_EQ(log, (std::vector<std::string>{"render pre", "render post"}));
  TPersistentObjectList after;
  rci.AfterRenderEffects = &after;
  effects.RenderPostEffects(rci);
  ASSERT_EQ(after.Count(), 1);
  EXPECT_EQ(static_cast<TGLObjectEffect*>(after[0])->Name(), "after");
}

TEST_F(Behaviours, ArchivesReadBackThroughTheStoredProperties) {
  TGLBaseSceneObject object(nullptr);
  (new TTestBehaviour(object.Behaviours()))->SetName("spin");
  (new TGLBehaviour(object.Behaviours()))->SetName("wobble");
  (new TGLObjectEffect(object.Effects()))->SetName("glow");
  const std::string stored = StoredProperties(object);

  TGLBaseSceneObject copy(nullptr);
  TMemoryStream ms(stored);
  TReader r(ms);
  r.ReadDefinedProperties(copy);
  ASSERT_EQ(copy.Behaviours()->Count(), 2);
  EXPECT_EQ(copy.Behaviours()->GetBehaviour(0)->Name(), "spin");
  EXPECT_STREQ(copy.Behaviours()->GetBehaviour(0)->ClassName(), "TTestBehaviour");
  EXPECT_EQ(copy.Behaviours()->GetBehaviour(1)->Name(), "wobble");
  ASSERT_EQ(copy.Effects()->Count(), 1);
  EXPECT_EQ(copy.Effects()->GetEffect(0)->Name(), "glow");

  // Empty collections are not stored.
  TGLBaseSceneObject empty(nullptr);
  empty.Behaviours();
  EXPECT_EQ(StoredProperties(empty), std::string(1, '\0'));

  // Archives of version 0 carry no item record: only the behaviour's integer.
  const std::string v0 = std::string("\x02\x01\x06\x0CTGLBehaviour\x02\x00", 18);
  TGLBaseSceneObject old(nullptr);
  TMemoryStream oldStream(BinaryProperty("BehavioursData", v0));
  TReader ro(oldStream);
  ro.ReadDefinedProperties(old);
  ASSERT_EQ(old.Behaviours()->Count(), 1);
  EXPECT_EQ(old.Behaviours()->GetBehaviour(0)->Name(), "");
}

TEST_F(Behaviours, DamagedArchivesFailAndLeaveTheCollectionsAlone) {
  TGLBaseSceneObject source(nullptr);
  (new TGLBehaviour(source.Behaviours()))->SetName("spin");
  (new TGLObjectEffect(source.Effects()))->SetName("glow");
  TMemoryStream b, e;
  TWriter wb(b), we(e);
  source.Behaviours()->WriteToFiler(wb);
  source.Effects()->WriteToFiler(we);
  const std::string behaviours = b.DataString(), effects = e.DataString();
  // "XCOL", version 1, count 1, class name, item version 0, name, the integer 0 (and the
  // effect's second 0).
  std::string nonZero = behaviours;
  nonZero.back() = 5;
  std::string unknownClass = behaviours;
  unknownClass.replace(unknownClass.find("TGLBehaviour"), 12, "TGLBehaviouX");
  std::string effectNonZero = effects;
  effectNonZero.back() = 1;
  std::string hugeCount = behaviours;
  hugeCount.replace(7, 2, std::string("\x04\xFF\xFF\xFF\x7F", 5));  // count 2^31 - 1, then no items

  struct TCase {
    const char* what;
    const char* property;
    std::string data;
  };
  const TCase cases[] = {
      {"truncated behaviours", "BehavioursData", behaviours.substr(0, behaviours.size() - 1)},
      {"behaviours cut in the class name", "BehavioursData", behaviours.substr(0, 14)},
      {"non-zero behaviour integer", "BehavioursData", nonZero},
      {"unknown item class", "BehavioursData", unknownClass},
      {"oversized item count", "BehavioursData", hugeCount},
      {"effect in the behaviours", "BehavioursData", effects},
      {"truncated effects", "EffectsData", effects.substr(0, effects.size() - 2)},
      {"non-zero effect integer", "EffectsData", effectNonZero},
      {"behaviour in the effects", "EffectsData", behaviours},
      {"garbage", "EffectsData", std::string("\x07\x07\x07\x07", 4)},
  };
  for (const TCase& c : cases) {
    TCountingObject target(nullptr);
    (new TGLBehaviour(target.Behaviours()))->SetName("kept");
    (new TGLObjectEffect(target.Effects()))->SetName("kept");
    TMemoryStream ms(BinaryProperty(c.property, c.data));
    TReader r(ms);
    EXPECT_THROW(r.ReadDefinedProperties(target), common::Exception) << c.what;
    ASSERT_EQ(target.Behaviours()->Count(), 1) << c.what;
    EXPECT_EQ(target.Behaviours()->GetBehaviour(0)->Name(), "kept") << c.what;
    ASSERT_EQ(target.Effects()->Count(), 1) << c.what;
    EXPECT_EQ(target.Effects()->GetEffect(0)->Name(), "kept") << c.what;
  }
}

TEST(BehavioursAtStartUp, TheProgramsStartUpStepsLetStoredItemsBeReadBack) {
  // What an object stores, with the item classes registered only for the writing.
  RegisterXCollectionItemClass(TGLBehaviour::StaticClass);
  RegisterXCollectionItemClass(TGLObjectEffect::StaticClass);
  TGLBaseSceneObject object(nullptr);
  (new TGLBehaviour(object.Behaviours()))->SetName("wobble");
  (new TGLObjectEffect(object.Effects()))->SetName("glow");
  const std::string stored = StoredProperties(object);
  ReleaseXCollectionItemClasses();

  // The 3D library's steps, as the program adds them to its start-up.
  common::TStartupSequence sequence;
  AddScene3dBaseSteps(sequence);
  AddScene3dSceneSteps(sequence);
  sequence.Startup();
  for (const char* name : {"TGLBehaviour", "TGLObjectEffect"})
    EXPECT_NE(FindXCollectionItemClass(name), nullptr) << name;
  TGLBaseSceneObject copy(nullptr);
  TMemoryStream ms(stored);
  TReader r(ms);
  r.ReadDefinedProperties(copy);
  ASSERT_EQ(copy.Behaviours()->Count(), 1);
  EXPECT_EQ(copy.Behaviours()->GetBehaviour(0)->Name(), "wobble");
  ASSERT_EQ(copy.Effects()->Count(), 1);
  EXPECT_EQ(copy.Effects()->GetEffect(0)->Name(), "glow");
  sequence.Shutdown();
  EXPECT_EQ(FindXCollectionItemClass("TGLBehaviour"), nullptr);
}

// The shader base: balanced application, per-context initialisation, its users and its failure
// reports.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/material/tests/MaterialTestSupport.h"

using namespace gl3d;
using common::EAssertionFailed;
using gl3d::test::CountingShader;

namespace {

class Shader : public gl3d::test::MaterialFixture {};

template <class F>
std::string AssertionText(F f) {
  try {
    f();
  } catch (const EAssertionFailed& e) {
    return e.Message();
  }
  return "no assertion";
}

}  // namespace

TEST_F(Shader, ApplicationMustBeBalanced) {
  CountingShader shader;
  EXPECT_EQ(AssertionText([&] { shader.UnApply(rci); }), "Unbalanced shader application.");
  shader.Apply(rci, nullptr);
  EXPECT_EQ(AssertionText([&] { shader.Apply(rci, nullptr); }), "Unbalanced shader application.");
  EXPECT_EQ(AssertionText([&] { shader.SetEnabled(true); }), "Shader is active.")
      << "also for the same value";
  EXPECT_FALSE(shader.UnApply(rci));
  EXPECT_FALSE(shader.Active());
  shader.SetEnabled(false);
  EXPECT_FALSE(shader.Enabled());
}

TEST_F(Shader, ADisabledShaderIsMarkedActiveButNeitherInitialisedNorApplied) {
  CountingShader shader;
  shader.SetEnabled(false);
  shader.passes = 3;
  shader.Apply(rci, nullptr);
  EXPECT_TRUE(shader.Active());
  EXPECT_FALSE(shader.UnApply(rci));
  EXPECT_FALSE(shader.Active());
  EXPECT_EQ(shader.applies + shader.unapplies + shader.initialised, 0);
}

TEST_F(Shader, InitialisedOncePerContextUntilItChanges) {
  CountingShader shader;
  shader.passes = 2;
  for (int frame = 0; frame < 3; ++frame) {
    shader.Apply(rci, nullptr);
    EXPECT_TRUE(shader.UnApply(rci)) << "a second pass";
    EXPECT_TRUE(shader.Active());
    EXPECT_FALSE(shader.UnApply(rci));
  }
  EXPECT_EQ(shader.initialised, 1);
  EXPECT_EQ(shader.applies, 3);

  shader.SetApplyOrder(saBeforeMaterial);  // a plain field
  shader.NotifyChange(&shader);
  EXPECT_EQ(shader.finalised, 1);
  shader.Apply(rci, nullptr);
  shader.UnApply(rci);
  shader.UnApply(rci);
  EXPECT_EQ(shader.initialised, 2) << "a change finalises, the next Apply initialises again";

  // Another context needs its own initialisation.
  TGLRecordingContext other;
  other.CreateContext(nullptr);
  ctx->Deactivate();
  other.Activate();
  shader.Apply(rci, nullptr);
  shader.UnApply(rci);
  shader.UnApply(rci);
  other.Deactivate();
  ctx->Activate();
  EXPECT_EQ(shader.initialised, 3);
}

TEST_F(Shader, FailureReports) {
  CountingShader shader;
  EXPECT_EQ(shader.InitFailureMessage(), "Your hardware/driver doesn't support shader \"CountingShader\"!");
  shader.SetName("Toon");
  const std::string text = "Your hardware/driver doesn't support shader \"Toon\"!";
  struct Row {
    TGLShaderInitFailure Action;
    const char* Message;
    const char* Raised;  // nullptr: nothing reaches the caller
  };
  const Row rows[] = {{ifIgnore, "x", nullptr},
                      {ifRaise, "x", text.c_str()},
                      {ifRaiseHandled, "x", nullptr},
                      {ifRaiseWithMessage, "no GLSL", "no GLSL"},
                      {ifRaiseWithMessage, "", text.c_str()}};
  for (const Row& r : rows) {
    shader.SetInitFailureAction(r.Action);
    try {
      shader.HandleInitFailure(r.Message);
      EXPECT_EQ(r.Raised, nullptr) << int(r.Action);
    } catch (const EGLShaderException& e) {
      ASSERT_NE(r.Raised, nullptr) << int(r.Action);
      EXPECT_EQ(e.Message(), r.Raised);
    }
  }
  shader.SetInitFailureAction(static_cast<TGLShaderInitFailure>(9));
  EXPECT_EQ(AssertionText([&] { shader.HandleInitFailure(""); }), "Error: Unknown type!");
}

TEST_F(Shader, UsersHearOfChangesAndLoseAFreedShader) {
  TGLMaterialLibrary library(nullptr);
  TGLLibMaterial* a = library.Materials()->Add();
  TGLLibMaterial* b = library.Materials()->Add();
  gl3d::test::CountingOwner owner;
  TGLMaterial user(&owner);
  user.SetMaterialLibrary(&library);
  user.SetLibMaterialName(b->Name());
  auto shader = std::make_unique<CountingShader>();
  a->SetShader(shader.get());
  b->SetShader(shader.get());
  b->SetShader(shader.get());
  EXPECT_EQ(shader->UserCount(), 2);
  owner.changes = 0;
  shader->NotifyChange(shader.get());
  EXPECT_EQ(owner.changes, 1) << "the change reaches what is drawn with the shader";

  CountingShader copy;
  shader->SetApplyOrder(saReplaceMaterial);
  shader->SetEnabled(false);
  copy.Assign(shader.get());
  EXPECT_EQ(copy.ApplyOrder(), saReplaceMaterial);
  EXPECT_FALSE(copy.Enabled());

  shader.reset();
  EXPECT_EQ(a->Shader(), nullptr);
  EXPECT_EQ(b->Shader(), nullptr);
}

TEST_F(Shader, AShaderIsFinalisedBeforeItIsFreed) {
  // A concrete shader whose finalisation uses its own fields.
  class TNamedShader : public CountingShader {
   public:
    TNamedShader(TComponent* owner, std::string name, std::vector<std::string>& log)
        : CountingShader(owner), name_(std::move(name)), log_(log) {}
    ~TNamedShader() override { log_.push_back(name_ + " destroyed"); }
    void ShaderFinalize() override { log_.push_back(name_ + " finalised"); }

   private:
    std::string name_;
    std::vector<std::string>& log_;
  };
  std::vector<std::string> log;
  const struct {
    const char* name;
    std::function<void()> free;
  } ways[] = {
      {"deleted", [&] { delete new TNamedShader(nullptr, "deleted", log); }},
      {"through the base",
       [&] {
         TGLShader* shader = new TNamedShader(nullptr, "through the base", log);
         delete shader;
       }},
      {"held", [&] { std::make_unique<TNamedShader>(nullptr, "held", log); }},
      {"owned",
       [&] {
         auto owner = std::make_unique<TComponent>(nullptr);
         new TNamedShader(owner.get(), "owned", log);
       }},
  };
  for (const auto& way : ways) {
    log.clear();
    way.free();
    EXPECT_EQ(log, (std::vector<std::string>{std::string(way.name) + " finalised",
                                             std::string(way.name) + " destroyed"}));
  }
}

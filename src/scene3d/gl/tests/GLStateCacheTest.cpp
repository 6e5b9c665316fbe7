// The state cache over the recording table: which commands reach OpenGL, how often, in which
// order, and what a display list records.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>

#include "RecordingFixture.h"
#include "common/Exception.h"

using namespace gl3d;

namespace {
std::string Call(const char* name, std::initializer_list<long long> args) {
  std::string s = std::string(name) + "(";
  bool first = true;
  for (long long a : args) {
    if (!first) s += ", ";
    s += std::to_string(a);
    first = false;
  }
  return s + ")";
}
}  // namespace

using StateCache = RecordingFixture;

TEST_F(StateCache, CapabilitiesAreSentOnlyOnChange) {
  S().Enable(capBlend);
  S().Enable(capBlend);
  S().Disable(capDither);  // the cache starts with every capability off
  EXPECT_EQ(rec.Log(), Call("Enable", {GL_BLEND}));
  S().Disable(capBlend);
  S().Disable(capBlend);
  EXPECT_EQ(rec.Count("Disable"), 1u);
  S().ForceEnable(capDither);
  S().ForceEnable(capDither);
  EXPECT_EQ(rec.Count("Enable"), 3u);
  EXPECT_TRUE(S().IsEnabled(capDither));
}

TEST_F(StateCache, ForwardContextSkipsLegacyState) {
  S().SetForwardContext(true);
  EXPECT_FALSE(S().FixedFunctionLights());
  S().Enable(capLighting);
  S().Enable(capBlend);
  S().SetAlphaFunction(cfGreater, 0.5f);
  S().SetLightDiffuse(1, {1, 0, 0, 1});
  S().SetGLMaterialColors(cmFront, {0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, 5);
  EXPECT_EQ(rec.Log(), Call("Enable", {GL_BLEND}));
  EXPECT_FLOAT_EQ(S().GetLightDiffuse(1).X, 1.0f);  // stored, not sent
  EXPECT_EQ(S().GetMaxLights(), 16);
  EXPECT_EQ(rec.Calls.size(), 1u);
}

TEST_F(StateCache, BlendFunctionsCompareAllFourFactors) {
  S().SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
  S().SetBlendFuncSeparate(bfSrcAlpha, bfOneMinusSrcAlpha, bfSrcAlpha, bfOneMinusSrcAlpha);
  EXPECT_EQ(rec.Names(), "BlendFunc");
  S().SetBlendFuncSeparate(bfSrcAlpha, bfOneMinusSrcAlpha, bfOne, bfZero);
  // a plain blend after a separate one that shares its colour factors must still be sent
  S().SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
  S().SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
  EXPECT_EQ(rec.Names(), "BlendFunc BlendFuncSeparate BlendFunc");
}

TEST_F(StateCache, TextureBindingSelectsTheUnitAndComesBack) {
  S().SetTextureBinding(2, ttTexture2D, 7);
  EXPECT_EQ(rec.Log(), Call("ActiveTexture", {GL_TEXTURE2}) + "; " + Call("BindTexture", {GL_TEXTURE_2D, 7}) +
                           "; " + Call("ActiveTexture", {GL_TEXTURE0}));
  rec.Clear();
  double before = S().GetTextureBindingTime(2, ttTexture2D);
  S().SetTextureBinding(2, ttTexture2D, 7);
  EXPECT_TRUE(rec.Calls.empty());
  EXPECT_GE(S().GetTextureBindingTime(2, ttTexture2D), before);
  S().SetTextureBinding(0, ttTexture2D, 3);
  EXPECT_EQ(rec.Names(), "BindTexture");
  S().SetTextureBinding(0, ttNoShape, 3);
  S().SetSamplerBinding(48, 5);
  S().SetSamplerBinding(-1, 5);
  EXPECT_EQ(rec.Names(), "BindTexture");
  // without multitexturing no unit is selected
  G().ARB_multitexture = false;
  rec.Clear();
  S().SetTextureBinding(1, ttTexture2D, 4);
  EXPECT_EQ(rec.Names(), "BindTexture");
}

TEST_F(StateCache, IndicesAreBoundsChecked) {
  EXPECT_THROW(S().SetTextureBinding(48, ttTexture2D, 1), common::EAssertionFailed);
  EXPECT_THROW(S().SetActiveTexture(-1), common::EAssertionFailed);
  EXPECT_THROW(S().SetLightEnabling(16, true), common::EAssertionFailed);
  EXPECT_THROW(S().GetLightDiffuse(-1), common::EAssertionFailed);
  EXPECT_THROW(S().SetEnableBlend(16, true), common::EAssertionFailed);
  EXPECT_THROW(S().SetColorWriteMask(-1, 0), common::EAssertionFailed);
  EXPECT_THROW(S().SetCurrentVertexAttrib(16, {0, 0, 0, 1}), common::EAssertionFailed);
  EXPECT_THROW(S().SetEnableClipDistance(8, true), common::EAssertionFailed);
  EXPECT_THROW(S().SetSampleMaskValue(16, 1), common::EAssertionFailed);
  EXPECT_THROW(S().NewList(0, GL_COMPILE), common::EAssertionFailed);
  EXPECT_THROW(S().CallList(0), common::EAssertionFailed);
  EXPECT_TRUE(rec.Calls.empty());
  EXPECT_FALSE(S().InsideList());
}

TEST_F(StateCache, PlainAndAlwaysSentSetters) {
  S().SetColorMask(cAllColorComponents);
  S().SetColorMask(cAllColorComponents);
  EXPECT_EQ(rec.Count("ColorMask"), 2u);
  S().SetColorWriteMask(3, 0x1);
  S().SetColorWriteMask(3, 0x1);
  EXPECT_EQ(rec.Count("ColorMaski"), 1u);
  S().SetViewPort(0, 0, 640, 480);
  S().SetViewPort(0, 0, 640, 480);
  S().SetViewPort(0, 0, 640, 481);
  EXPECT_EQ(rec.Count("Viewport"), 2u);
  S().SetLineStippleFactor(2);
  EXPECT_EQ(rec.Calls.back().Text(), Call("LineStipple", {2, 0xFFFF}));
  S().SetUnpackAlignment(4);
  S().SetUnpackAlignment(1);
  EXPECT_EQ(rec.Count("PixelStoref"), 1u);
  S().SetMultisampleFilterHint(hintNicest);
  G().NV_multisample_filter_hint = false;
  S().SetMultisampleFilterHint(hintFastest);
  EXPECT_EQ(rec.Count("Hint"), 1u);
}

TEST_F(StateCache, LimitsAreAskedOnce) {
  rec.OnCall = [](const TGLRecordedCall& c) {
    if (c.Name == "GetIntegerv") *static_cast<GLint*>(const_cast<void*>(c.Args[1].P)) = 4096;
    return TGLArgValue();
  };
  EXPECT_EQ(S().GetMaxTextureSize(), 4096);
  EXPECT_EQ(S().GetMaxTextureSize(), 4096);
  EXPECT_EQ(S().GetMaxLights(), 4096);
  EXPECT_EQ(rec.Count("GetIntegerv"), 2u);
}

TEST_F(StateCache, TextureMatrices) {
  S().SetActiveTexture(2);
  S().SetTextureMatrix(IdentityMatrix4f);
  S().SetActiveTexture(1);
  rec.Clear();
  S().ResetAllTextureMatrix();
  // units 0, 1 and 3 were never marked identity on a fresh cache, unit 2 was loaded: all four reset
  EXPECT_EQ(rec.Count("LoadIdentity"), 4u);
  EXPECT_EQ(S().ActiveTexture(), 1);
  rec.Clear();
  S().ResetAllTextureMatrix();
  EXPECT_EQ(rec.Count("LoadIdentity"), 0u);
  S().SetActiveTexture(2);
  S().SetTextureMatrix(IdentityMatrix4f);
  S().SetActiveTexture(0);
  rec.Clear();
  S().ResetAllTextureMatrix();
  EXPECT_EQ(rec.Names(), "MatrixMode ActiveTexture LoadIdentity MatrixMode ActiveTexture");
}

TEST_F(StateCache, Materials) {
  const TVector4f e{0, 0, 0, 1}, a{0.2f, 0.2f, 0.2f, 1}, d{0.8f, 0.8f, 0.8f, 1}, s{0, 0, 0, 1};
  S().SetGLMaterialColors(cmFront, e, a, d, {0, 0, 0, 0.5f}, 0);  // specular differs only in alpha
  EXPECT_TRUE(rec.Calls.empty());
  S().SetGLMaterialColors(cmFront, e, a, {0.8f, 0.8f, 0.8f, 0.5f}, s, 0);  // diffuse alpha counts
  EXPECT_EQ(rec.Log(),
            "Materialfv(" + std::to_string(GL_FRONT) + ", " + std::to_string(GL_DIFFUSE) + ", ptr)");
  EXPECT_THROW(S().SetGLMaterialColors(cmFrontAndBack, e, a, d, s, 0), common::EAssertionFailed);
  // inside a list everything is sent and the cache keeps its values
  rec.Clear();
  S().NewList(1, GL_COMPILE);
  S().SetGLMaterialColors(cmBack, e, a, d, s, 0);
  S().EndList();
  std::string expected;
  for (int i = 0; i < 16; ++i) expected += "DisableVertexAttribArray ";
  EXPECT_EQ(rec.Names(), expected + "NewList Materiali Materialfv Materialfv Materialfv Materialfv EndList");
  EXPECT_EQ(S().ListStates(1), StateTypes(sttLighting));
  // disabling colour tracking re-sends both faces' materials
  S().Enable(capColorMaterial);
  rec.Clear();
  S().Disable(capColorMaterial);
  EXPECT_EQ(rec.Count("Materialfv"), 8u);
  EXPECT_EQ(rec.Count("Materiali"), 2u);
}

TEST_F(StateCache, MaterialAlphaWithoutLightingGoesToTheCurrentColour) {
  rec.OnCall = [](const TGLRecordedCall& c) {
    if (c.Name == "GetFloatv") {
      float* v = static_cast<float*>(const_cast<void*>(c.Args[1].P));
      v[0] = 0.1f, v[1] = 0.2f, v[2] = 0.3f, v[3] = 1;
    }
    return TGLArgValue();
  };
  S().SetGLMaterialAlphaChannel(GL_FRONT, 0.25f);
  EXPECT_EQ(rec.Names(), "GetFloatv Color4fv");
  EXPECT_EQ(rec.Calls[1].Values, (std::vector<double>{0.1f, 0.2f, 0.3f, 0.25f}));
  EXPECT_FLOAT_EQ(S().GetMaterialDiffuse(cmFront).W, 1.0f);
  S().Enable(capLighting);
  rec.Clear();
  S().SetGLMaterialAlphaChannel(GL_BACK, 1.0f);  // equal to the cached alpha
  S().SetGLMaterialAlphaChannel(GL_BACK, 0.5f);
  EXPECT_EQ(rec.Names(), "Materialfv");
  EXPECT_FLOAT_EQ(S().GetMaterialDiffuse(cmBack).W, 0.5f);
}

TEST_F(StateCache, Lights) {
  int changes = 0;
  S().OnLightsChanged = [&changes](TGLStateCache*) { ++changes; };
  S().SetLightEnabling(3, true);
  S().SetLightEnabling(1, true);
  ASSERT_EQ(S().LightCount(), 2);
  EXPECT_EQ(S().EnabledLight(0), 1);
  EXPECT_EQ(S().EnabledLight(1), 3);
  EXPECT_EQ(rec.Log(), Call("Enable", {GL_LIGHT3}) + "; " + Call("Enable", {GL_LIGHT1}));
  rec.Clear();
  S().SetSpotCutoff(0, 180);   // already cached
  S().SetConstantAtten(0, 0);  // the cache starts at 0, not OpenGL's 1
  EXPECT_TRUE(rec.Calls.empty());
  S().SetSpotCutoff(0, 45);
  EXPECT_FLOAT_EQ(S().GetSpotCutoff(0), 45);
  EXPECT_NEAR(S().GetSpotCosine(0), 0.70710678, 1e-6);
  S().SetLightPosition(2, {1, 2, 3, 1});
  S().SetLightPosition(2, {1, 2, 3, 1});
  S().SetLightSpotDirection(2, {0, 1, 0});
  EXPECT_EQ(rec.Names(), "Lightfv");  // position and direction are stored only
  EXPECT_EQ(changes, 2 + 1 + 1 + 1);
  S().SetFixedFunctionLights(false);
  rec.Clear();
  S().SetLightDiffuse(5, {1, 1, 1, 1});
  EXPECT_TRUE(rec.Calls.empty());
  EXPECT_FLOAT_EQ(S().GetLightDiffuse(5).Y, 1);
}

TEST_F(StateCache, DisplayListsRecordTheirAttributeGroups) {
  G().ARB_vertex_buffer_object = false;
  EXPECT_EQ(S().ListStatesLength(), 128u);
  S().NewList(300, GL_COMPILE);
  EXPECT_EQ(S().ListStatesLength(), 512u);
  S().EndList();

  // A list that only draws has an empty set.
  S().NewList(1, GL_COMPILE);
  G().Begin(GL_TRIANGLES);
  G().End();
  S().EndList();
  rec.Clear();
  S().CallList(1);
  EXPECT_EQ(rec.Names(), "CallList");

  // Line width and blending inside a list: sent, recorded, cache untouched.
  S().Enable(capBlend);
  S().NewList(2, GL_COMPILE);
  S().SetLineWidth(3);
  S().Enable(capBlend);  // already on: still sent while compiling
  S().EndList();
  EXPECT_FLOAT_EQ(S().LineWidth(), 1.0f);
  EXPECT_TRUE(S().IsEnabled(capBlend));
  rec.Clear();
  S().CallList(2);
  EXPECT_EQ(rec.Log(), Call("PushAttrib", {0x2004}) + "; " + Call("CallList", {2}) + "; PopAttrib()");

  // Compiling the name again records only the new groups.
  S().NewList(2, GL_COMPILE);
  S().SetPointSize(2);
  S().EndList();
  EXPECT_EQ(S().ListStates(2), StateTypes(sttPoint));

  EXPECT_THROW(S().NewList(3, GL_COMPILE_AND_EXECUTE), common::EAssertionFailed);
}

TEST_F(StateCache, NewListResetsBuffersWithVertexBufferObjects) {
  S().SetArrayBufferBinding(5);
  rec.Clear();
  S().NewList(4, GL_COMPILE);
  S().EndList();
  EXPECT_EQ(rec.Calls.front().Text(), Call("BindBuffer", {GL_ARRAY_BUFFER, 0}));
  EXPECT_EQ(rec.Count("DisableVertexAttribArray"), 16u);
  EXPECT_EQ(rec.Count("BindBuffer"), 1u);  // the element binding was already 0
}

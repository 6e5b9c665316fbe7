// Face, depth and blending properties and the material: change rules, copies, and what Apply
// sends on the recording table.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "scene3d/scene/material/GLMaterial.h"
#include "scene3d/scene/material/tests/MaterialTestSupport.h"

using namespace gl3d;
using gl3d::test::CountingOwner;

namespace {

class Material : public gl3d::test::MaterialFixture {};

// The editor's preview free form: transparent, unlit, no fog, its texture replacing the colour.
void MakeFreeFormMaterial(TGLMaterial& m) {
  m.SetBlendingMode(bmTransparency);
  m.SetMaterialOptions(MaterialOptionBit(moIgnoreFog) | MaterialOptionBit(moNoLighting));
  m.Texture()->SetTextureMode(tmReplace);
  m.Texture()->SetDisabled(false);
}

}  // namespace

// ---- Property objects ----

TEST(MaterialProperties, DepthRangeClampsAndNotifiesOnlyOnChange) {
  struct Row {
    bool Near;
    float Value, Stored;
    int Notices;
  };
  const Row rows[] = {{true, -0.5f, 0.0f, 0}, {true, 0.25f, 0.25f, 1}, {true, 3.0f, 1.0f, 1},
                      {false, 2.0f, 1.0f, 0}, {false, 1.0f, 1.0f, 0},  {false, 0.5f, 0.5f, 1}};
  for (const Row& r : rows) {
    CountingOwner owner;
    TGLDepthProperties depth(&owner);
    if (r.Near)
      depth.SetZNear(r.Value);
    else
      depth.SetZFar(r.Value);
    EXPECT_FLOAT_EQ(r.Near ? depth.ZNear() : depth.ZFar(), r.Stored) << r.Value;
    EXPECT_EQ(owner.changes, r.Notices) << r.Value;
  }
}

TEST(MaterialProperties, AssignmentRules) {
  CountingOwner owner;
  TGLDepthProperties a(&owner), b(&owner);
  a.SetDepthClamp(true);
  a.SetDepthWrite(false);
  a.SetDepthCompareFunction(cfAlways);
  owner.changes = 0;
  b.Assign(&a);
  EXPECT_FALSE(b.DepthWrite());
  EXPECT_EQ(b.DepthCompareFunction(), cfAlways);
  EXPECT_FALSE(b.DepthClamp()) << "the clamp is not carried";
  EXPECT_EQ(owner.changes, 1);

  TGLFaceProperties face(&owner);
  face.Diffuse()->SetColorNoNotify({1, 0, 0, 1});
  owner.changes = 0;
  face.Assign(&a);
  face.Assign(nullptr);
  EXPECT_EQ(owner.changes, 0) << "a source of another class is ignored";
  EXPECT_FLOAT_EQ(face.Diffuse()->Red(), 1.0f);

  TGLBlendingParameters blending(&owner);
  EXPECT_THROW(blending.Assign(&a), common::EConvertError);
}

TEST(MaterialProperties, AlphaFactorsFollowUnlessSeparate) {
  CountingOwner owner;
  TGLBlendingParameters p(&owner);
  p.SetBlendFuncDFactor(bfOne);
  EXPECT_EQ(p.AlphaBlendFuncDFactor(), bfOne) << "follows while not separate";
  owner.changes = 0;
  p.SetAlphaBlendFuncSFactor(bfZero);
  EXPECT_EQ(p.AlphaBlendFuncSFactor(), bfSrcAlpha) << "ignored while not separate";
  EXPECT_EQ(owner.changes, 0);

  p.SetSeparateBlendFunc(true);
  p.SetAlphaBlendFuncSFactor(bfZero);
  p.SetAlphaBlendFuncDFactor(bfDstColor);
  p.SetBlendFuncSFactor(bfSrcColor);
  EXPECT_EQ(p.AlphaBlendFuncSFactor(), bfZero) << "separate factors stay apart";
  p.SetSeparateBlendFunc(false);
  EXPECT_EQ(p.AlphaBlendFuncSFactor(), bfSrcColor) << "switching off restores the colour factors";
  EXPECT_EQ(p.AlphaBlendFuncDFactor(), bfOne);
}

TEST(MaterialProperties, ShininessStopsAt128) {
  TGLFaceProperties face(nullptr);
  face.SetShininess(200);
  EXPECT_EQ(face.Shininess(), 128);
}

TEST_F(Material, DepthPropertiesApplyWithTheBuffersDepthTestOff) {
  S().Enable(capDepthTest);
  S().SetDepthFunc(cfAlways);
  S().SetDepthWriteMask(false);
  TGLDepthProperties depth(nullptr);
  rci.DepthTestOn = false;
  rec.Clear();
  depth.Apply(rci);
  EXPECT_FALSE(S().IsEnabled(capDepthTest));
  EXPECT_EQ(rec.Log(), "Disable(2929); DepthMask(1); DepthFunc(515)");
  EXPECT_FALSE(S().IsEnabled(capDepthClamp));
}

TEST_F(Material, CustomBlendingParameters) {
  TGLBlendingParameters p(nullptr);
  p.SetUseAlphaFunc(true);
  p.SetAlphaFunctType(cfLess);
  p.SetAlphaFuncRef(0.25f);
  p.SetSeparateBlendFunc(true);
  p.SetAlphaBlendFuncDFactor(bfZero);
  rec.Clear();
  p.Apply(rci);
  EXPECT_EQ(rec.Log(),
            "Enable(3008); AlphaFunc(513, 0.25); Enable(3042); BlendFuncSeparate(770, 771, 770, 0)");
  p.SetUseBlendFunc(false);
  p.SetUseAlphaFunc(false);
  rec.Clear();
  p.Apply(rci);
  EXPECT_EQ(rec.Log(), "Disable(3008); Disable(3042)");
}

// ---- Material ----

TEST_F(Material, TheEditorsFreeFormMaterialGivesTheExactState) {
  TGLMaterial m(nullptr);
  MakeFreeFormMaterial(m);
  m.PrepareTexture();  // the upload is the texture's business
  // What the pass before left on: each must be switched off by the material.
  for (TGLCapability cap : {capColorMaterial, capLighting, capCullFace, capFog}) S().Enable(cap);
  S().SetPolygonMode(pmLines);
  rec.Clear();
  m.Apply(rci);
  // Colour material off (the cache then restates the face colours GL may have taken from it),
  // filled polygons, no lighting with the front diffuse as the current colour, culling as the
  // buffer says (off), back colours unchanged from GL's, blending and alpha test, no fog, the
  // texture on unit 0 replacing the colour, the default depth settings.
  EXPECT_EQ(
      rec.Log(),
      "Disable(2903); Materialfv(1028, 5632, ptr); Materialfv(1028, 4608, ptr); Materialfv(1028, 4609, ptr); "
      "Materialfv(1028, 4610, ptr); Materiali(1028, 5633, 0); Materialfv(1029, 5632, ptr); "
      "Materialfv(1029, 4608, ptr); Materialfv(1029, 4609, ptr); Materialfv(1029, 4610, ptr); "
      "Materiali(1029, 5633, 0); PolygonMode(1032, 6914); Disable(2896); Color4fv([0.8 0.8 0.8 1]); "
      "Disable(2884); Enable(3042); BlendFunc(770, 771); Enable(3008); AlphaFunc(516, 0); Disable(2912); "
      "BindTexture(3553, 1); Enable(3553); TexEnvi(8960, 8704, 7681); TexEnvfv(8960, 8705, ptr); "
      "Enable(2929); DepthFunc(515)");
  EXPECT_TRUE(S().IsEnabled(capDepthTest));
  rec.Clear();
  EXPECT_FALSE(m.UnApply(rci));
  EXPECT_EQ(rec.Log(), "Disable(3553)");
}

TEST_F(Material, BlendingModeTable) {
  struct Row {
    TBlendingMode Mode;
    const char* Sent;
    bool Blended;
  };
  const Row rows[] = {
      {bmOpaque, "", false},
      {bmTransparency, "Enable(3042); BlendFunc(770, 771); Enable(3008); AlphaFunc(516, 0)", true},
      {bmAdditive, "Enable(3042); BlendFunc(770, 1); Enable(3008); AlphaFunc(516, 0)", true},
      {bmAlphaTest50, "Enable(3008); AlphaFunc(518, 0.5)", false},
      {bmAlphaTest100, "Enable(3008); AlphaFunc(518, 1)", false},
      {bmModulate, "Enable(3042); BlendFunc(774, 0); Enable(3008); AlphaFunc(516, 0)", true},
      {bmCustom, "Enable(3042); BlendFunc(770, 771)", true},
  };
  for (const Row& r : rows) {
    Restart();
    TGLMaterial m(nullptr);
    m.Apply(rci);  // everything but blending settles in the cache
    m.SetBlendingMode(r.Mode);
    rec.Clear();
    m.Apply(rci);
    EXPECT_EQ(rec.Log(), r.Sent) << int(r.Mode);
    EXPECT_EQ(m.Blended(), r.Blended) << int(r.Mode);
  }
}

TEST_F(Material, ASecondApplyOfAnUnchangedMaterialSendsNothing) {
  TGLMaterial lit(nullptr);
  lit.SetBlendingMode(bmTransparency);
  lit.FrontProperties()->Diffuse()->SetColor({0.8f, 0.8f, 0.8f, 0.5f});
  lit.SetFaceCulling(fcNoCull);
  lit.Apply(rci);
  lit.UnApply(rci);
  rec.Clear();
  lit.Apply(rci);
  EXPECT_FALSE(lit.UnApply(rci));
  EXPECT_EQ(rec.Log(), "");

  // Calls the cache does not keep: the current colour of an unlit material and the texture
  // environment are stated again each time.
  TGLMaterial unlit(nullptr);
  MakeFreeFormMaterial(unlit);
  unlit.Apply(rci);
  unlit.UnApply(rci);
  rec.Clear();
  unlit.Apply(rci);
  unlit.UnApply(rci);
  EXPECT_EQ(rec.Names(), "Color4fv BindTexture BindTexture Enable TexEnvi TexEnvfv Disable");
}

TEST_F(Material, FaceCullingAndWhoSendsTheBackColours) {
  struct Row {
    TFaceCulling Culling;
    bool BufferCulls;
    bool CullOn;
    bool BackSent;
  };
  const Row rows[] = {{fcBufferDefault, true, true, true},
                      {fcBufferDefault, false, false, true},
                      {fcCull, false, true, false},
                      {fcNoCull, true, false, true}};
  for (const Row& r : rows) {
    Restart();
    TGLMaterial m(nullptr);
    m.SetFaceCulling(r.Culling);
    m.BackProperties()->Diffuse()->SetColor({0, 1, 0, 1});
    rci.FaceCulling = r.BufferCulls;
    rec.Clear();
    m.Apply(rci);
    EXPECT_EQ(S().IsEnabled(capCullFace), r.CullOn) << int(r.Culling);
    EXPECT_EQ(S().GetMaterialDiffuse(cmBack).Y == 1.0f, r.BackSent) << int(r.Culling);
  }
}

TEST_F(Material, LightingFogAndPolygonModeFollowOptionsAndBuffer) {
  TGLMaterial m(nullptr);
  m.SetPolygonMode(pmLines);
  S().Enable(capLineStipple);
  rci.FogOn = true;
  m.Apply(rci);
  EXPECT_TRUE(S().IsEnabled(capLighting));
  EXPECT_TRUE(S().IsEnabled(capFog));
  EXPECT_FALSE(S().IsEnabled(capLineStipple)) << "lines are drawn without stipple";
  EXPECT_EQ(S().PolygonMode(), pmLines);
  m.SetMaterialOptions(MaterialOptionBit(moIgnoreFog));
  rci.LightingOn = false;
  m.Apply(rci);
  EXPECT_FALSE(S().IsEnabled(capLighting));
  EXPECT_FALSE(S().IsEnabled(capFog));
}

TEST_F(Material, PassFlagsSkipBlendingAndDepth) {
  TGLMaterial m(nullptr);
  m.SetBlendingMode(bmAdditive);
  m.DepthProperties()->SetDepthCompareFunction(cfAlways);
  rci.IgnoreBlending = true;
  rci.IgnoreDepthRequests = true;
  m.Apply(rci);
  EXPECT_FALSE(S().IsEnabled(capBlend));
  EXPECT_EQ(rec.Count("DepthFunc"), 0u);
}

TEST(MaterialObject, BlendedForCustomEvenWithoutBlending) {
  TGLMaterial m(nullptr);
  m.SetBlendingMode(bmCustom);
  m.BlendingParams()->SetUseBlendFunc(false);
  EXPECT_TRUE(m.Blended());
}

TEST(MaterialObject, AssignAndLazyParts) {
  CountingOwner owner;
  TGLMaterial a(&owner), b(&owner);
  b.BackProperties()->Diffuse()->SetColor({1, 0, 0, 1});
  b.Texture()->SetDisabled(false);
  a.SetBlendingMode(bmModulate);
  a.BlendingParams()->SetUseAlphaFunc(true);
  a.FrontProperties()->SetShininess(7);
  owner.changes = 0;
  b.Assign(&a);
  EXPECT_FALSE(b.HasBackProperties()) << "the source has none";
  EXPECT_FALSE(b.HasTexture()) << "the source has none";
  EXPECT_EQ(b.BlendingMode(), bmModulate);
  EXPECT_EQ(b.FrontProperties()->Shininess(), 7);
  EXPECT_FALSE(b.BlendingParams()->UseAlphaFunc()) << "blending parameters are not copied";
  EXPECT_GT(owner.changes, 0);
  EXPECT_FLOAT_EQ(b.BackProperties()->Diffuse()->Red(), 0.2f * 4) << "made again with defaults";
  EXPECT_THROW(b.Assign(b.FrontProperties()), common::EConvertError);

  b.SetTexture(nullptr);
  EXPECT_FALSE(b.HasTexture());
  EXPECT_TRUE(b.ReadTexture()->Disabled()) << "a new default texture";
  EXPECT_EQ(b.Texture(), b.ReadTexture()) << "the property reads through ReadTexture";
  EXPECT_EQ(b.BackProperties(), b.GetBackProperties());

  owner.texMapChanges = 0;
  a.Texture()->SetDisabled(false);
  EXPECT_EQ(owner.texMapChanges, 1) << "enabling the texture is a mapping change";
}

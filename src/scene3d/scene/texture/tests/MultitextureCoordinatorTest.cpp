// The multitexturing coordinator on the recording table: what each mode's redirected entry points
// send, the forbidden second unit, deferred mode changes, the unit masks and the per-thread cache.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"
#include "scene3d/scene/texture/TextureStartup.h"

using namespace gl3d;
using common::EAssertionFailed;

namespace {

class Coordinator : public RecordingFixture {
 protected:
  void SetUp() override {
    TextureStartup();
    RecordingFixture::SetUp();
    c = CurrentMultitextureCoordinator();
  }
  // One call of each family through the redirected entry points, as logged.
  std::string Sequence() {
    rec.Clear();
    const GLfloat v[3] = {1, 2, 3};
    c->TexCoord2f(1, 2);
    c->TexCoord3fv(v);
    c->TexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    c->Enable(GL_TEXTURE_GEN_S);
    c->EnableClientState(GL_TEXTURE_COORD_ARRAY);
    c->TexCoordPointer(2, GL_FLOAT, 0, nullptr);
    return rec.Log();
  }
  // Every one of the fifteen entry points once; the number of calls they sent.
  size_t AllFifteen() {
    rec.Clear();
    const GLfloat v[4] = {1, 2, 3, 4};
    const GLint iv[4] = {1, 0, 0, 0};
    c->TexCoord2f(1, 2);
    c->TexCoord2fv(v);
    c->TexCoord3f(1, 2, 3);
    c->TexCoord3fv(v);
    c->TexCoord4f(1, 2, 3, 4);
    c->TexCoord4fv(v);
    c->TexGenf(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    c->TexGenfv(GL_S, GL_OBJECT_PLANE, v);
    c->TexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    c->TexGeniv(GL_S, GL_TEXTURE_GEN_MODE, iv);
    c->TexCoordPointer(2, GL_FLOAT, 0, nullptr);
    c->EnableClientState(GL_TEXTURE_COORD_ARRAY);
    c->DisableClientState(GL_TEXTURE_COORD_ARRAY);
    c->Enable(GL_TEXTURE_GEN_S);
    c->Disable(GL_TEXTURE_GEN_S);
    return rec.Calls.size();
  }
  TGLMultitextureCoordinator* c = nullptr;
};

}  // namespace

TEST_F(Coordinator, ANewCoordinatorDoesNothing) {
  EXPECT_EQ(c->Mode(), mtcmNull);
  EXPECT_EQ(AllFifteen(), 0u);
  EXPECT_THROW(c->MappingBits(), EAssertionFailed);
}

TEST_F(Coordinator, WhatEachModeSends) {
  c->SetMainMapping();
  EXPECT_EQ(c->TexCoord2f, G().TexCoord2f) << "main mode uses the table's own functions";
  EXPECT_EQ(Sequence(),
            "TexCoord2f(1, 2); TexCoord3fv([1 2 3]); TexGeni(8192, 9472, 9218); Enable(3168); "
            "EnableClientState(32888); "
            "TexCoordPointer(2, 5126, 0, nil)");
  EXPECT_EQ(AllFifteen(), 15u);

  c->SetSecondMapping();
  EXPECT_EQ(Sequence(),
            "MultiTexCoord2f(33985, 1, 2); MultiTexCoord3fv(33985, [1 2 3]); ActiveTexture(33985); "
            "TexGeni(8192, 9472, 9218); Enable(3168); ClientActiveTexture(33985); EnableClientState(32888); "
            "ClientActiveTexture(33984); ClientActiveTexture(33985); TexCoordPointer(2, 5126, 0, nil); "
            "ClientActiveTexture(33984)");
  EXPECT_EQ(S().ActiveTexture(), 1) << "unit 1 stays active";
  EXPECT_EQ(AllFifteen(), 6u + 4 + 3 * 3 + 2);

  c->SetDualMapping();
  EXPECT_EQ(
      Sequence(),
      "TexCoord2f(1, 2); MultiTexCoord2f(33985, 1, 2); TexCoord3fv([1 2 3]); MultiTexCoord3fv(33985, [1 2 "
      "3]); "
      "ActiveTexture(33984); TexGeni(8192, 9472, 9218); ActiveTexture(33985); TexGeni(8192, 9472, 9218); "
      "ActiveTexture(33984); Enable(3168); ActiveTexture(33985); Enable(3168); EnableClientState(32888); "
      "ClientActiveTexture(33985); EnableClientState(32888); ClientActiveTexture(33984); "
      "TexCoordPointer(2, 5126, 0, nil); ClientActiveTexture(33985); TexCoordPointer(2, 5126, 0, nil); "
      "ClientActiveTexture(33984)");

  c->SetArbitraryMapping({GL_TEXTURE0, GL_TEXTURE2});
  EXPECT_EQ(Sequence(),
            "MultiTexCoord2f(33984, 1, 2); MultiTexCoord2f(33986, 1, 2); MultiTexCoord3fv(33984, [1 2 3]); "
            "MultiTexCoord3fv(33986, [1 2 3]); ActiveTexture(33984); TexGeni(8192, 9472, 9218); "
            "ActiveTexture(33986); TexGeni(8192, 9472, 9218); ActiveTexture(33984); Enable(3168); "
            "ActiveTexture(33986); Enable(3168); ClientActiveTexture(33984); EnableClientState(32888); "
            "ClientActiveTexture(33986); EnableClientState(32888); ClientActiveTexture(33984); "
            "TexCoordPointer(2, 5126, 0, nil); ClientActiveTexture(33986); TexCoordPointer(2, 5126, 0, nil)");
  EXPECT_EQ(S().ActiveTexture(), 2) << "the last listed unit stays active";

  c->SetNullMapping();
  EXPECT_EQ(AllFifteen(), 0u);
}

TEST_F(Coordinator, ForbiddenSecondUnit) {
  c->ForbidSecondTextureUnit();
  c->SetSecondMapping();
  EXPECT_EQ(c->Mode(), mtcmNull);
  c->SetDualMapping();
  EXPECT_EQ(c->Mode(), mtcmMain);
  c->SetArbitraryMapping({GL_TEXTURE0, GL_TEXTURE1, GL_TEXTURE2});
  EXPECT_EQ(c->Units(), (std::vector<GLenum>{GL_TEXTURE0, GL_TEXTURE2}));
  rec.Clear();
  c->TexCoord2f(0.5f, 0.25f);
  EXPECT_EQ(rec.Log(), "MultiTexCoord2f(33984, 0.5, 0.25); MultiTexCoord2f(33986, 0.5, 0.25)");
  c->AllowSecondTextureUnit();
  c->SetSecondMapping();
  EXPECT_EQ(c->Mode(), mtcmSecond);
}

TEST_F(Coordinator, MappingBits) {
  c->SetMainMapping();
  EXPECT_EQ(c->MappingBits(), 1);
  c->SetSecondMapping();
  EXPECT_EQ(c->MappingBits(), 2);
  c->SetDualMapping();
  EXPECT_EQ(c->MappingBits(), 3);
  c->SetArbitraryMappingBits(0b101);
  EXPECT_EQ(c->Units(), (std::vector<GLenum>{GL_TEXTURE0, GL_TEXTURE2}));
  EXPECT_EQ(c->MappingBits(), 5);
  c->SetArbitraryMappingBits(0x7F00 | 0b10000001);
  EXPECT_EQ(c->Units(), (std::vector<GLenum>{GL_TEXTURE0, GL_TEXTURE7})) << "bits 8 and above are dropped";
  c->SetMainMapping();
  c->AddArbitraryMappingBits(0b100);
  EXPECT_EQ(c->MappingBits(), 5);
  EXPECT_EQ(c->Mode(), mtcmArbitrary);
  c->SetArbitraryMapping({GL_TEXTURE0 + 40, GL_TEXTURE3, GL_TEXTURE0 + 31});
  EXPECT_EQ(static_cast<uint32_t>(c->MappingBits()), 0x80000008u) << "units of 32 and above are not counted";
  c->SetArbitraryMapping({});
  EXPECT_EQ(c->MappingBits(), 0);
  c->SetNullMapping();
  EXPECT_THROW(c->AddArbitraryMappingBits(1), EAssertionFailed);
}

TEST_F(Coordinator, DeferredChanges) {
  c->BeginUpdate();
  c->SetDualMapping();
  EXPECT_EQ(c->Mode(), mtcmNull) << "deferred";
  EXPECT_EQ(c->MappingBits(), 3) << "the pending mode counts";
  c->SetMainMapping();
  auto* nullCoord = c->TexCoord2f;
  c->EndUpdate();
  EXPECT_EQ(c->Mode(), mtcmMain);
  EXPECT_NE(c->TexCoord2f, nullCoord);

  // Main already installed: nothing is installed again (a reinstall would take the table's new entry).
  auto* mainCoord = c->TexCoord2f;
  auto* tableCoord = G().TexCoord2f;
  G().TexCoord2f = [](GLfloat, GLfloat) {};
  c->BeginUpdate();
  c->SetSecondMapping();
  c->SetMainMapping();
  c->EndUpdate();
  EXPECT_EQ(c->TexCoord2f, mainCoord);
  G().TexCoord2f = tableCoord;

  // Nested: the outermost EndUpdate installs.
  c->BeginUpdate();
  c->BeginUpdate();
  c->SetSecondMapping();
  c->EndUpdate();
  EXPECT_EQ(c->Mode(), mtcmMain);
  c->EndUpdate();
  EXPECT_EQ(c->Mode(), mtcmSecond);

  // The arbitrary list changes at once; its entry points at the end.
  c->BeginUpdate();
  c->SetArbitraryMapping({GL_TEXTURE3});
  EXPECT_EQ(c->Mode(), mtcmSecond);
  EXPECT_EQ(c->Units(), (std::vector<GLenum>{GL_TEXTURE3}));
  c->EndUpdate();
  EXPECT_EQ(c->Mode(), mtcmArbitrary);

  // An unbalanced EndUpdate leaves a negative depth, which defers like any other.
  c->EndUpdate();
  EXPECT_EQ(c->UpdateDepth(), -1);
  c->SetMainMapping();
  EXPECT_EQ(c->Mode(), mtcmArbitrary);
  c->BeginUpdate();
  c->SetMainMapping();
  EXPECT_EQ(c->Mode(), mtcmMain);
}

TEST_F(Coordinator, UnitsNeedMultitexturing) {
  G().ARB_multitexture = false;
  EXPECT_THROW(c->SetSecondMapping(), EAssertionFailed);
  EXPECT_EQ(c->Mode(), mtcmSecond) << "the mode changed before the check";
  EXPECT_EQ(AllFifteen(), 0u) << "the entry points stayed";
  EXPECT_THROW(c->SetArbitraryMappingBits(1), EAssertionFailed);
  c->SetMainMapping();
  EXPECT_EQ(c->Mode(), mtcmMain);
}

TEST_F(Coordinator, OnePerContextThroughThePerThreadCache) {
  EXPECT_EQ(CurrentMultitextureCoordinator(), c);
  EXPECT_EQ(ctx->GetMultitextureCoordinator(), c);
  {
    TGLRecordingContext other;
    other.CreateContext(nullptr);
    ctx->Deactivate();
    other.Activate();
    TGLMultitextureCoordinator* second = CurrentMultitextureCoordinator();
    EXPECT_NE(second, c);
    EXPECT_EQ(second->Owner, &other);
    other.Deactivate();
    ctx->Activate();
  }
  EXPECT_EQ(CurrentMultitextureCoordinator(), c);
  // A context freed and another made, perhaps at the same address: the cache never keeps the old one.
  ctx->Deactivate();
  ctx.reset();
  ctx = std::make_unique<TGLRecordingContext>();
  ctx->CreateContext(nullptr);
  ctx->Activate();
  TGLMultitextureCoordinator* fresh = CurrentMultitextureCoordinator();
  EXPECT_EQ(fresh, ctx->GetMultitextureCoordinator());
  EXPECT_EQ(fresh->Mode(), mtcmNull);
  ctx->Deactivate();
  EXPECT_THROW(CurrentMultitextureCoordinator(), EAbort);
  ctx->Activate();
}

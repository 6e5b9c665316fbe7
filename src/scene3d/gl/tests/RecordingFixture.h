#pragma once
// A recording context made current on the test thread, and the recorder that logs its calls.
#include <gtest/gtest.h>

#include <memory>

#include "scene3d/gl/GLContext.h"
#include "scene3d/gl/GLRecordingContext.h"
#include "scene3d/gl/GLRecordingFunctions.h"
#include "scene3d/gl/GLStateCache.h"
#include "scene3d/gl/GLTransformation.h"

class RecordingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx = std::make_unique<gl3d::TGLRecordingContext>();
    ctx->CreateContext(nullptr);
    ctx->Activate();
    rec.Clear();
  }
  void TearDown() override {
    if (ctx->GetActive()) ctx->SetActive(false);
    ctx.reset();
  }
  gl3d::TGLStateCache& S() { return ctx->GLStates(); }
  gl3d::TGLExtensionsAndEntryPoints& G() { return ctx->GL(); }

  gl3d::TGLCallRecorder rec;
  std::unique_ptr<gl3d::TGLRecordingContext> ctx;
};

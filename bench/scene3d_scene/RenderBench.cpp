// The render loop against its baseline (run by hand, Release build): one empty-scene frame at
// 400 x 454 through TGL3DSceneBuffer::Render (set-up, clear, camera, lights, swap with the frame
// read back), against a bare glClear and glReadPixels of the same size on the same context.
// The goal is a frame within 1.2 times the bare pair.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"

using namespace gl3d;

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 454;

// The editor's set-up: a scene with a light and a camera looking at a target, a buffer with a
// window-like context whose frames go to a receiver that keeps nothing.
struct FrameSetup {
  TComponent form{nullptr};
  TGLEGLOutput output;
  std::unique_ptr<TGL3DSceneBuffer> buffer = std::make_unique<TGL3DSceneBuffer>(nullptr);
  uint64_t received = 0;

  FrameSetup() {
    Scene3dSceneStartup();
    GLContextStartup();
    auto* scene = new TGL3DScene(&form);
    auto* target = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
    scene->Objects()->AddNewChild<TGLLightSource>()->Position()->SetPoint(2, 2, 5);
    auto* camera = scene->Objects()->AddNewChild<TGLCamera>();
    camera->Position()->SetPoint(0, 0, 3);
    camera->SetTargetObject(target);
    output.Width = kWidth;
    output.Height = kHeight;
    output.OnFrame = [this](const uint8_t* pixels, int, int) { received += pixels[0]; };
    buffer->SetBackgroundColor(clGray);
    buffer->SetCamera(camera);
    buffer->SetViewPort(0, 0, kWidth, kHeight);
    buffer->CreateRenderingContext(&output, false, 1);
  }
};

FrameSetup& Setup() {
  static FrameSetup* setup = new FrameSetup();
  return *setup;
}

void BM_EmptySceneFrame(benchmark::State& state) {
  FrameSetup& s = Setup();
  for (auto _ : state) s.buffer->Render();
  benchmark::DoNotOptimize(s.received);
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmptySceneFrame)->Unit(benchmark::kMicrosecond);

void BM_BareClearAndReadPixels(benchmark::State& state) {
  FrameSetup& s = Setup();
  TGLContext& context = *s.buffer->RenderingContext();
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  context.Activate();
  TGLExtensionsAndEntryPoints& gl = context.GL();
  gl.ClearColor(0.5f, 0.5f, 0.5f, 1);
  for (auto _ : state) {
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl.ReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
  context.Deactivate();
}
BENCHMARK(BM_BareClearAndReadPixels)->Unit(benchmark::kMicrosecond);

}  // namespace

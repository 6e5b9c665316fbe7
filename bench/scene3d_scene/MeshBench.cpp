// The preview mesh against its baselines (run by hand, Release build).
//
// Build: what the editor's preview builder does at 257 x 257 (CreateOwned, room made for the lists,
// 66,049 vertices and texture coordinates appended, 393,216 indices through Add, BuildNormals,
// SetNormals and the structure change of the mesh list) against memcpy of the same vertex,
// texture-coordinate, normal and index bytes into blocks taken from the allocator and freed again
// (BM_MemcpyPreviewData). Goal: within 8 times. Both run with the allocator set up as the editor
// sets it at start-up (common::KeepFreedMemoryForReuse), so a rebuild reuses the pages of the
// lists it replaces. BM_MemcpyPreviewDataFreshPages copies into blocks fresh from the system, as
// every rebuild's lists were before that setting: it shows what the first touch of new pages
// costs on the machine at hand.
//
// Frame: a 257 x 257 (and a 33 x 33) textured grid at 400 x 454 through the scene (free form, 1024
// x 1024 texture in replace mode, transparency blending and alpha test, the frame read back at
// the swap) against the same frame drawn by bare GL calls on the same context (buffer objects,
// one glDrawElements, the same state, the same read-back). Goal: within 1.2 times, 1.5 at 33 x 33.
//
// Upload: the first frame after a rebuild, which uploads the buffers, against the bare frame that
// sends the same bytes with glBufferData first (BM_BareGLFrame/257/1); BM_BareBufferData is the
// upload alone. Goal: within 1.3 times.
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "common/StartupSequence.h"
#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "scene3d/scene/mesh/MeshObject.h"
#include "scene3d/scene/mesh/MeshUtils.h"
#include "scene3d/scene/objects/GLCameraInvariantObject.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

using namespace gl3d;

namespace {

constexpr int kGrid = 257;
constexpr int kWidth = 400;
constexpr int kHeight = 454;

// The points of an n x n grid (column i, row j): a gently curved sheet facing the camera, as wide
// as the view, so every frame fills most of the window.
std::vector<TVector3f> GridPoints(int n) {
  std::vector<TVector3f> p;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const double u = double(i) / (n - 1) - 0.5, v = double(j) / (n - 1) - 0.5;
      p.push_back({static_cast<float>(0.8 * u), static_cast<float>(0.8 * v), static_cast<float>(0.1 * std::cos(3 * u))});
    }
  return p;
}

// The preview builder's steps: one mesh object in face-group mode, room made for its lists as the
// builder makes it, vertices and texture coordinates appended, two triangles a cell through Add,
// normals built and stored, the list told.
TMeshObject* BuildGrid(TMeshObjectList& list, const std::vector<TVector3f>& points, int n) {
  list.Clear();
  TMeshObject* mesh = TMeshObject::CreateOwned(&list);
  mesh->SetMode(moFaceGroups);
  mesh->Vertices()->EnsureCapacity(n * n);
  mesh->TexCoords()->EnsureCapacity(n * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      mesh->Vertices()->Add(points[static_cast<size_t>(i * n + j)]);
      mesh->TexCoords()->Add({static_cast<float>(i) / (n - 1), static_cast<float>(j) / (n - 1), 0});
    }
  auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(mesh->FaceGroups());
  group->VertexIndices()->EnsureCapacity(6 * (n - 1) * (n - 1));
  for (int i = 0; i + 1 < n; ++i)
    for (int j = 0; j + 1 < n; ++j) {
      const int k = i * n + j;
      group->Add(k);
      group->Add(k + n);
      group->Add(k + 1);
      group->Add(k + 1);
      group->Add(k + n);
      group->Add(k + n + 1);
    }
  mesh->SetNormals(*BuildNormals(*mesh->Vertices(), *group->VertexIndices()));
  list.InvalidateBuffers();
  return mesh;
}

void BM_BuildPreviewMesh(benchmark::State& state) {
  common::KeepFreedMemoryForReuse();  // the editor's allocator setting
  const std::vector<TVector3f> points = GridPoints(kGrid);
  TMeshObjectList list;
  for (auto _ : state) benchmark::DoNotOptimize(BuildGrid(list, points, kGrid)->Normals()->List());
}
BENCHMARK(BM_BuildPreviewMesh)->Unit(benchmark::kMicrosecond);

constexpr size_t kVertexBytes = sizeof(TVector3f) * kGrid * kGrid;
constexpr size_t kIndexBytes = sizeof(int32_t) * 6 * (kGrid - 1) * (kGrid - 1);
// Vertices, texture coordinates, normals and indices.
constexpr size_t kPreviewSizes[4] = {kVertexBytes, kVertexBytes, kVertexBytes, kIndexBytes};

void BM_MemcpyPreviewData(benchmark::State& state) {
  common::KeepFreedMemoryForReuse();  // the editor's allocator setting
  std::vector<char> source(kIndexBytes, 1);
  for (auto _ : state) {
    // Each list's bytes into a block of its own, freed again as the next rebuild frees the lists.
    for (const size_t size : kPreviewSizes) {
      void* block = std::malloc(size);
      if (!block) {
        state.SkipWithError("malloc failed");
        return;
      }
      std::memcpy(block, source.data(), size);
      benchmark::DoNotOptimize(block);
      std::free(block);
    }
  }
}
BENCHMARK(BM_MemcpyPreviewData)->Unit(benchmark::kMicrosecond);

void BM_MemcpyPreviewDataFreshPages(benchmark::State& state) {
  std::vector<char> source(kIndexBytes, 1);
  for (auto _ : state) {
    for (const size_t size : kPreviewSizes) {
      void* fresh = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (fresh == MAP_FAILED) {
        state.SkipWithError("mmap failed");
        return;
      }
      std::memcpy(fresh, source.data(), size);
      benchmark::DoNotOptimize(fresh);
      munmap(fresh, size);
    }
  }
}
BENCHMARK(BM_MemcpyPreviewDataFreshPages)->Unit(benchmark::kMicrosecond);

// ---- Frames ----

int CoveredPixels(const uint8_t* rgba, int count) {
  int covered = 0;
  for (int i = 0; i < count; ++i) covered += rgba[4 * i] != 128 || rgba[4 * i + 1] != 128 || rgba[4 * i + 2] != 128;
  return covered;
}

// The editor's camera and a free form with the grid and a 1024 x 1024 texture (replace mode,
// transparency blending with its alpha test, no lighting), in a buffer whose frames are read back.
struct TGridScene {
  TComponent form{nullptr};
  TGLEGLOutput output;
  std::unique_ptr<TGL3DSceneBuffer> buffer = std::make_unique<TGL3DSceneBuffer>(nullptr);
  TGLFreeForm* freeForm = nullptr;
  std::vector<TVector3f> points;
  int n;
  uint64_t received = 0;
  // Pixels of the last frame that are not the background.
  int covered = 0;
  TMatrix4f modelView{}, projection{};
  std::vector<uint8_t> texels;

  explicit TGridScene(int gridSize) : n(gridSize) {
    Scene3dSceneStartup();
    GLContextStartup();
    auto* scene = new TGL3DScene(&form);
    auto* camera = scene->Objects()->AddNewChild<TGLCamera>();
    camera->SetFocalLength(100);
    camera->SetDepthOfView(90);
    camera->Position()->SetPoint(0, 0, 3);
    freeForm = scene->Objects()->AddNewChild<TGLFreeForm>();
    freeForm->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
    TGLMaterial& m = *freeForm->Material();
    m.SetBlendingMode(bmTransparency);
    m.SetMaterialOptions(MaterialOptionBit(moIgnoreFog) | MaterialOptionBit(moNoLighting));
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(1024, 1024);
    for (int y = 0; y < 1024; ++y)
      for (int x = 0; x < 1024; ++x) {
        uint8_t* d = bitmap.ScanLine(y) + 4 * x;
        d[0] = static_cast<uint8_t>(x);
        d[1] = static_cast<uint8_t>(y);
        d[2] = static_cast<uint8_t>(x ^ y);
        d[3] = static_cast<uint8_t>(((x / 64 + y / 64) % 4) ? 255 : 0);
      }
    // The same texels for the bare frame: bottom row first, R G B A.
    for (int y = 1023; y >= 0; --y)
      for (int x = 0; x < 1024; ++x) {
        const uint8_t* d = bitmap.ScanLine(y) + 4 * x;
        texels.insert(texels.end(), {d[2], d[1], d[0], d[3]});
      }
    m.Texture()->Image()->Assign(&bitmap);
    m.Texture()->SetTextureMode(tmReplace);
    m.Texture()->SetMinFilter(miLinear);
    m.Texture()->SetDisabled(false);
    points = GridPoints(n);
    BuildGrid(*freeForm->MeshObjects(), points, n);
    freeForm->StructureChanged();
    camera->SetTargetObject(freeForm);
    auto* probe = scene->Objects()->AddNewChild<TGLDirectOpenGL>();
    probe->OnRender = [this](TObject*, TRenderContextInfo& rci) {
      modelView = rci.Transformation->GetModelViewMatrix();
      projection = rci.Transformation->GetProjectionMatrix();
    };
    output.Width = kWidth;
    output.Height = kHeight;
    output.OnFrame = [this](const uint8_t* pixels, int w, int h) {
      received += pixels[0];
      covered = CoveredPixels(pixels, w * h);
    };
    buffer->SetBackgroundColor(clGray);
    buffer->SetCamera(camera);
    buffer->SetViewPort(0, 0, kWidth, kHeight);
    buffer->CreateRenderingContext(&output, false, 1);
    buffer->Render();  // uploads the texture and the buffers
  }
};

TGridScene& Scene(int n) {
  static TGridScene* large = nullptr;
  static TGridScene* small = nullptr;
  TGridScene*& s = n == kGrid ? large : small;
  if (!s) s = new TGridScene(n);
  return *s;
}

void BM_SceneFrame(benchmark::State& state) {
  TGridScene& s = Scene(static_cast<int>(state.range(0)));
  for (auto _ : state) s.buffer->Render();
  benchmark::DoNotOptimize(s.received);
  state.counters["covered"] = s.covered;
}
BENCHMARK(BM_SceneFrame)->Arg(kGrid)->Arg(33)->Unit(benchmark::kMicrosecond);

// ---- Upload ----

void BM_FirstFrameAfterRebuild(benchmark::State& state) {
  TGridScene& s = Scene(kGrid);
  for (auto _ : state) {
    state.PauseTiming();
    BuildGrid(*s.freeForm->MeshObjects(), s.points, kGrid);
    s.freeForm->StructureChanged();
    state.ResumeTiming();
    s.buffer->Render();
  }
}
BENCHMARK(BM_FirstFrameAfterRebuild)->Unit(benchmark::kMicrosecond);

void BM_BareBufferData(benchmark::State& state) {
  TGridScene& s = Scene(kGrid);
  TMeshObject* mesh = s.freeForm->MeshObjects()->Items(0);
  const TIntegerList& indices = *static_cast<TFGVertexIndexList*>(mesh->FaceGroups()->Items(0))->VertexIndices();
  TGLContext& context = *s.buffer->RenderingContext();
  context.Activate();
  TGLExtensionsAndEntryPoints& gl = context.GL();
  GLuint buffers[4] = {};
  gl.GenBuffers(4, buffers);
  const TBaseList* lists[3] = {mesh->Vertices(), mesh->Normals(), mesh->TexCoords()};
  for (auto _ : state) {
    for (int k = 0; k < 3; ++k) {
      gl.BindBuffer(GL_ARRAY_BUFFER, buffers[k]);
      gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(lists[k]->Count()) * 12, lists[k]->BaseList(),
                    GL_STREAM_DRAW);
    }
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[3]);
    gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.Count()) * 4, indices.List(),
                  GL_STATIC_DRAW);
    gl.Finish();
  }
  gl.BindBuffer(GL_ARRAY_BUFFER, 0);
  gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  gl.DeleteBuffers(4, buffers);
  context.Deactivate();
}
BENCHMARK(BM_BareBufferData)->Unit(benchmark::kMicrosecond);

// The same frame by bare calls: buffer objects, one glDrawElements, the same state and read-back.
void BM_BareGLFrame(benchmark::State& state) {
  TGridScene& s = Scene(static_cast<int>(state.range(0)));
  TGLContext& context = *s.buffer->RenderingContext();
  TMeshObject* mesh = s.freeForm->MeshObjects()->Items(0);
  const TIntegerList& indices = *static_cast<TFGVertexIndexList*>(mesh->FaceGroups()->Items(0))->VertexIndices();
  context.Activate();
  TGLExtensionsAndEntryPoints& gl = context.GL();
  GLuint buffers[4] = {}, texture = 0;
  gl.GenBuffers(4, buffers);
  const TBaseList* lists[3] = {mesh->Vertices(), mesh->Normals(), mesh->TexCoords()};
  for (int k = 0; k < 3; ++k) {
    gl.BindBuffer(GL_ARRAY_BUFFER, buffers[k]);
    gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(lists[k]->Count()) * 12, lists[k]->BaseList(), GL_STREAM_DRAW);
  }
  gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[3]);
  gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.Count()) * 4, indices.List(), GL_STATIC_DRAW);
  gl.GenTextures(1, &texture);
  gl.BindTexture(GL_TEXTURE_2D, texture);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1024, 1024, 0, GL_RGBA, GL_UNSIGNED_BYTE, s.texels.data());
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  const bool upload = state.range(1) != 0;
  for (auto _ : state) {
    if (upload) {
      // What the first frame after a rebuild adds: the buffers' bytes sent again.
      for (int k = 0; k < 3; ++k) {
        gl.BindBuffer(GL_ARRAY_BUFFER, buffers[k]);
        gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(lists[k]->Count()) * 12, lists[k]->BaseList(),
                      GL_STREAM_DRAW);
      }
      gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[3]);
      gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.Count()) * 4, indices.List(),
                    GL_STATIC_DRAW);
    }
    gl.Viewport(0, 0, kWidth, kHeight);
    gl.ClearColor(0.5f, 0.5f, 0.5f, 1);
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl.MatrixMode(GL_PROJECTION);
    gl.LoadMatrixf(&s.projection[0].X);
    gl.MatrixMode(GL_MODELVIEW);
    gl.LoadMatrixf(&s.modelView[0].X);
    gl.Enable(GL_DEPTH_TEST);
    gl.Enable(GL_CULL_FACE);
    gl.Disable(GL_LIGHTING);
    gl.Enable(GL_BLEND);
    gl.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.Enable(GL_ALPHA_TEST);
    gl.AlphaFunc(GL_GREATER, 0);
    gl.Enable(GL_TEXTURE_2D);
    gl.BindTexture(GL_TEXTURE_2D, texture);
    gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    gl.BindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    gl.EnableClientState(GL_VERTEX_ARRAY);
    gl.VertexPointer(3, GL_FLOAT, 0, nullptr);
    gl.BindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    gl.EnableClientState(GL_NORMAL_ARRAY);
    gl.NormalPointer(GL_FLOAT, 0, nullptr);
    gl.BindBuffer(GL_ARRAY_BUFFER, buffers[2]);
    gl.EnableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.TexCoordPointer(2, GL_FLOAT, 12, nullptr);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[3]);
    gl.DrawElements(GL_TRIANGLES, indices.Count(), GL_UNSIGNED_INT, nullptr);
    gl.ReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["covered"] = CoveredPixels(pixels.data(), kWidth * kHeight);
  gl.DeleteBuffers(4, buffers);
  gl.DeleteTextures(1, &texture);
  context.Deactivate();
}
// Last of all: the bare calls leave the context's state behind the state cache's back.
BENCHMARK(BM_BareGLFrame)->Args({kGrid, 0})->Args({33, 0})->Args({kGrid, 1})->Unit(benchmark::kMicrosecond);

}  // namespace

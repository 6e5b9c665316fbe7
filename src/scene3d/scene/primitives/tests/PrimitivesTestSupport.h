#pragma once
// What the primitives' recording tests share: the texture recording fixture answering the
// evaluator limit of llvmpipe, and readers of the recorded calls (vertices, colours, calls with a
// given first argument).
#include <GL/gl.h>

#include <string>
#include <string_view>
#include <vector>

#include "scene3d/gl/GLLog.h"
#include "scene3d/scene/texture/tests/TextureTestObjects.h"

namespace gl3d::test {

struct TRecordedVertex {
  double x, y, z;
};

class PrimitivesFixture : public TextureRecordingFixture {
 protected:
  void SetUp() override {
    TextureRecordingFixture::SetUp();
    Answer = [this](const TGLRecordedCall& c, TGLArgValue&) {
      if (c.Name == "GetIntegerv" && c.Args[0].I == GL_MAX_EVAL_ORDER)
        *static_cast<GLint*>(const_cast<void*>(c.Args[1].P)) = maxEvalOrder;
    };
    rci.DepthTestOn = true;
  }
  // A fresh context and pass record, for tests that draw again from a clean state cache.
  void Restart() {
    TearDown();
    rci = TRenderContextInfo();
    SetUp();
  }

  // Every three-component value of the calls named `name` (its arguments or its array).
  std::vector<TRecordedVertex> Triples(std::string_view name) const {
    std::vector<TRecordedVertex> out;
    for (const TGLRecordedCall& c : rec.Calls) {
      if (c.Name != name) continue;
      if (c.Values.size() >= 3)
        out.push_back({c.Values[0], c.Values[1], c.Values[2]});
      else
        out.push_back({c.Args[0].F, c.Args[1].F, c.Args[2].F});
    }
    return out;
  }
  // The vertices sent one by one (glVertex3f and glVertex3fv), in order.
  std::vector<TRecordedVertex> Vertices() const {
    std::vector<TRecordedVertex> out;
    for (const TGLRecordedCall& c : rec.Calls) {
      if (c.Name == "Vertex3f") out.push_back({c.Args[0].F, c.Args[1].F, c.Args[2].F});
      if (c.Name == "Vertex3fv") out.push_back({c.Values[0], c.Values[1], c.Values[2]});
    }
    return out;
  }
  // How many calls named `name` have `first` as their first argument.
  size_t CountWith(std::string_view name, int64_t first) const {
    size_t n = 0;
    for (const TGLRecordedCall& c : rec.Calls) n += c.Name == name && !c.Args.empty() && c.Args[0].I == first;
    return n;
  }

  int maxEvalOrder = 30;
};

// Collects the GL layer's warning lines while it lives.
class WarningWatch {
 public:
  WarningWatch() {
    gllog::SetObserver(
        [](gllog::TLevel level, std::string_view text, void* data) {
          if (level == gllog::lvWarning) static_cast<WarningWatch*>(data)->lines.emplace_back(text);
        },
        this);
  }
  ~WarningWatch() { gllog::SetObserver(nullptr, nullptr); }
  WarningWatch(const WarningWatch&) = delete;
  WarningWatch& operator=(const WarningWatch&) = delete;
  std::vector<std::string> lines;
};

}  // namespace gl3d::test

#pragma once
// What the scene core's tests share: a render buffer that counts the notices it gets, an object
// whose drawing is one marker call, and a scene-object subclass that counts its coordinate
// notices.
#include <GL/gl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "scene3d/gl/GLContext.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"

namespace gl3d::test {

class TCountingBuffer : public TGLAbstractSceneBuffer {
 public:
  explicit TCountingBuffer(TGLContext* context = nullptr)
      : TGLAbstractSceneBuffer(nullptr), context(context) {}
  TGLContext* RenderingContext() const override { return context; }
  TGLPickSelector* PickSelector() const override { return selector; }
  bool DepthTest() const override { return depthTest; }
  void NotifyChange(TObject*) override { ++notices; }

  TGLContext* context;
  TGLPickSelector* selector = nullptr;
  int notices = 0;
  bool depthTest = true;
};

// Draws glPassThrough(Marker), so a recording shows the order in which objects drew.
class TMarker : public TGLBaseSceneObject {
 public:
  explicit TMarker(TComponent* owner) : TGLBaseSceneObject(owner) {}
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TMarker>; }
  void BuildList(TRenderContextInfo&) override {
    ++builds;
    if (throwInBuild) throw common::Exception("build failed");
    CurrentGLEntryPoints().PassThrough(static_cast<float>(Marker));
  }
  bool Blended() const override { return blended; }
  int Marker = 0;
  int builds = 0;
  bool blended = false;
  bool throwInBuild = false;
};

// The bytes of one binary property in a component stream, then the end of the property list.
inline std::string BinaryProperty(const std::string& name, const std::string& data) {
  TMemoryStream ms;
  TWriter w(ms);
  w.WritePropName(name);
  w.WriteValue(vaBinary);
  const uint32_t n = static_cast<uint32_t>(data.size());
  w.Write(&n, 4);
  w.Write(data.data(), n);
  w.WriteListEnd();
  return ms.DataString();
}

// A scene object that counts the coordinate notices it hears.
class TCountingObject : public TGLBaseSceneObject {
 public:
  using TGLBaseSceneObject::TGLBaseSceneObject;
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TCountingObject>; }
  void CoordinateChanged(TGLCustomCoordinates* sender) override {
    ++coordinateNotices;
    TGLBaseSceneObject::CoordinateChanged(sender);
  }
  int coordinateNotices = 0;
};

}  // namespace gl3d::test

#pragma once
// Node lists: an owned collection of 3-D points that tells its owner when a point changes. The
// lines (GLLines.h) keep their vertices in one, and build their cubic spline (CubicSpline.h) from
// it.
#include <memory>
#include <string>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/Collection.h"
#include "scene3d/base/VectorGeometry.h"
#include "scene3d/scene/primitives/CubicSpline.h"

namespace gl3d {

class TGLNode : public TCollectionItem {
 public:
  // All four coordinates 0.
  explicit TGLNode(TCollection* collection);
  static TCollectionItem* Create(TCollection* collection) { return new TGLNode(collection); }
  const char* ClassName() const override { return "TGLNode"; }

  float X() const { return coords_.X; }
  float Y() const { return coords_.Y; }
  float Z() const { return coords_.Z; }
  float W() const { return coords_.W; }
  // Store and tell the node list (TGLNodes::NotifyChange).
  void SetX(float value);
  void SetY(float value);
  void SetZ(float value);
  // Stored only; W takes no part in drawing.
  void SetW(float value) { coords_.W = value; }
  TVector3f AsAffineVector() const { return {coords_.X, coords_.Y, coords_.Z}; }

  // From another node: the four coordinates (without notice); anything else is inherited.
  void Assign(const TPersistent* source) override;
  // "x; y; z" with four decimals and a point, whatever the locale: "1.0000; 2.5000; -3.0000".
  std::string GetDisplayName() const override;

 protected:
  void NotifyNodes();

 private:
  TVector4f coords_{0, 0, 0, 0};
};

class TGLNodes : public TOwnedCollection {
 public:
  // itemClass nullptr stands for TGLNode.
  explicit TGLNodes(TPersistent* owner, TCollectionItemClass itemClass = nullptr);
  const char* ClassName() const override { return "TGLNodes"; }

  TGLNode* Items(int index) const { return static_cast<TGLNode*>(GetItem(index)); }
  void SetItems(int index, const TGLNode* value) { GetItem(index)->Assign(value); }
  TGLNode* Add() { return static_cast<TGLNode*>(TCollection::Add()); }

  void EndUpdate() override;
  // Outside an update bracket, an owner that is an update-able component hears of the change
  // with this list as the sender.
  virtual void NotifyChange();
  // A spline through X, Y and Z of every node (no W table); the caller owns it.
  std::unique_ptr<TCubicSpline> CreateNewCubicSpline() const;

 protected:
  void Update(TCollectionItem* item) override;
};

}  // namespace gl3d

#pragma once
// The model, view and projection matrices of one rendering context as a stack of records, with
// the products derived from them (model-view, view-projection) and the view frustum, each
// recomputed only when one of its inputs changed since it was last asked for. While matrix
// loading is on, every change is also loaded into OpenGL's fixed-function matrices.
#include <cstdint>
#include <functional>
#include <vector>

#include "scene3d/base/VectorGeometry.h"

namespace gl3d {

struct TTransformationRec {
  // bit 0 model-view stale, bits 1-3 further model-derived slots, bit 4 view-projection, bit 5 frustum
  uint32_t FStates;
  TMatrix4f FModelMatrix;
  TMatrix4f FViewMatrix;
  TMatrix4f FProjectionMatrix;
  TMatrix4f FInvModelMatrix;       // marked stale only; nothing here computes it
  float FNormalModelMatrix[3][3];  // marked stale only
  TMatrix4f FModelViewMatrix;
  TMatrix4f FInvModelViewMatrix;  // marked stale only
  TMatrix4f FViewProjectionMatrix;
  TFrustum FFrustum;
};

class TGLTransformation {
 public:
  static constexpr int kStackWarningDepth = 128;

  TGLTransformation();

  void ResetToIdentity();
  // Without a record the top is copied and nothing is loaded (OpenGL already holds it).
  void Push(const TTransformationRec* record = nullptr);
  void Pop();

  TMatrix4f GetModelMatrix() const { return Top().FModelMatrix; }
  TMatrix4f GetViewMatrix() const { return Top().FViewMatrix; }
  TMatrix4f GetProjectionMatrix() const { return Top().FProjectionMatrix; }
  void SetModelMatrix(const TMatrix4f& m);
  void SetViewMatrix(const TMatrix4f& m);
  void SetProjectionMatrix(const TMatrix4f& m);
  const TMatrix4f& GetModelViewMatrix();
  const TMatrix4f& GetViewProjectionMatrix();
  const TFrustum& GetFrustum();
  void LoadModelViewMatrix();
  void LoadProjectionMatrix();
  void DoOnPush();

  const TTransformationRec& Top() const { return stack_[static_cast<size_t>(position_)]; }
  int StackPosition() const { return position_; }

  bool LoadMatricesEnabled = false;
  std::function<void()> OnPush;

 private:
  TTransformationRec& TopRec() { return stack_[static_cast<size_t>(position_)]; }
  int position_ = 0;
  std::vector<TTransformationRec> stack_;
};

}  // namespace gl3d

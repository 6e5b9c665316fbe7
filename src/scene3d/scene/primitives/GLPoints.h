#pragma once
// A point cloud drawn with vertex arrays in one of five point styles, with optional OpenGL point
// parameters (size limits and distance attenuation). Drawn directly every frame unless Static,
// never culled.
#include <cstdint>
#include <memory>

#include "scene3d/base/VectorLists.h"
#include "scene3d/scene/core/GLCoordinates.h"
#include "scene3d/scene/material/GLCustomSceneObject.h"

namespace gl3d {

enum TGLPointStyle : uint8_t { psSquare, psRound, psSmooth, psSmoothAdditive, psSquareAdditive };

// The point parameters of GL_ARB_point_parameters, owned by a points object.
class TGLPointParameters : public TGLUpdateAbleObject {
 public:
  explicit TGLPointParameters(TPersistent* owner);
  ~TGLPointParameters() override;
  const char* ClassName() const override { return "TGLPointParameters"; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // The sizes store negative values as 0.
  float MinSize() const { return minSize_; }
  void SetMinSize(float value);
  float MaxSize() const { return maxSize_; }
  void SetMaxSize(float value);
  float FadeTresholdSize() const { return fadeTresholdSize_; }
  void SetFadeTresholdSize(float value);
  // A vector, (1, 0, 0) by default.
  TGLCoordinates3* DistanceAttenuation() const { return distanceAttenuation_.get(); }
  void SetDistanceAttenuation(const TGLCoordinates3* value) { distanceAttenuation_->Assign(value); }

  // From point parameters: the three sizes and DistanceAttenuation (not Enabled). Any other
  // source is ignored.
  void Assign(const TPersistent* source) override;
  // "PointParams": MinSize, MaxSize, FadeTresholdSize as three little-endian singles, written
  // only when they differ from 0, 128, 1. Data of another size than 12 bytes fails with
  // EReadError and leaves the values.
  void DefineStoredProperties(TFiler& filer) override;

  // When Enabled and the context has GL_ARB_point_parameters: the sizes and the attenuation.
  void Apply();
  // Under the same condition: back to 0, 128, 1 and (1, 0, 0).
  void UnApply();

 private:
  void ReadData(TStream& stream);
  void WriteData(TStream& stream) const;

  bool enabled_ = false;
  float minSize_ = 0;
  float maxSize_ = 128;
  float fadeTresholdSize_ = 1;
  std::unique_ptr<TGLCoordinates3> distanceAttenuation_;
};

class TGLPoints : public TGLImmaterialSceneObject {
 public:
  // One point at the origin, no colour; direct drawing, no visibility culling.
  explicit TGLPoints(TComponent* owner);
  ~TGLPoints() override;
  const char* ClassName() const override { return "TGLPoints"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLPoints>; }

  TAffineVectorList* Positions() const { return positions_.get(); }
  void SetPositions(const TAffineVectorList* value);
  // One colour for all points, or one per point (the points then stop at the shorter list).
  TVectorList* Colors() const { return colors_.get(); }
  void SetColors(const TVectorList* value);
  float Size() const { return size_; }
  void SetSize(float value);
  TGLPointStyle Style() const { return style_; }
  void SetStyle(TGLPointStyle value);
  TGLPointParameters* PointParameters() const { return pointParameters_.get(); }
  void SetPointParameters(const TGLPointParameters* value) { pointParameters_->Assign(value); }
  // True: compiled into a display list; false: drawn directly.
  bool Static() const { return static_; }
  void SetStatic(bool value);
  bool NoZWrite() const { return noZWrite_; }
  void SetNoZWrite(bool value);

  // From points: size, Style, Positions and Colors, then StructureChanged and the inherited
  // assignment.
  void Assign(const TPersistent* source) override;
  void BuildList(TRenderContextInfo& rci) override;

 private:
  void SetupStyle(TGLStateCache& states);

  std::unique_ptr<TAffineVectorList> positions_;
  std::unique_ptr<TVectorList> colors_;
  float size_ = 1;
  TGLPointStyle style_ = psSquare;
  std::unique_ptr<TGLPointParameters> pointParameters_;
  bool static_ = false;
  bool noZWrite_ = false;
};

}  // namespace gl3d

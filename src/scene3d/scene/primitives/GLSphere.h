#pragma once
// Quadric surfaces: TGLQuadricObject carries the normal smoothing and direction, TGLSphere draws
// a sphere, or a slice of one bounded by latitude and longitude angles and optionally closed by
// caps, as triangle strips and fans compiled into the object's display list.
#include <cstdint>

#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "scene3d/scene/objects/GLCube.h"  // TNormalDirection, shared with the cube

namespace gl3d {

enum TNormalSmoothing : uint8_t { nsFlat, nsSmooth, nsNone };
enum TCapType : uint8_t { ctNone, ctCenter, ctFlat };
// Latitude limits, -90..90 degrees, and longitude limits, 0..360 degrees.
using TAngleLimit1 = int8_t;
using TAngleLimit2 = uint16_t;

class TGLQuadricObject : public TGL3DSceneObject {
 public:
  using TGL3DSceneObject::TGL3DSceneObject;
  const char* ClassName() const override { return "TGLQuadricObject"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLQuadricObject>; }

  TNormalSmoothing Normals() const { return normals_; }
  void SetNormals(TNormalSmoothing value);
  TNormalDirection NormalDirection() const { return normalDirection_; }
  void SetNormalDirection(TNormalDirection value);

  // From a quadric: both settings, then the inherited assignment.
  void Assign(const TPersistent* source) override;

 private:
  TNormalSmoothing normals_ = nsSmooth;
  TNormalDirection normalDirection_ = ndOutside;
};

class TGLSphere : public TGLQuadricObject {
 public:
  using TGLQuadricObject::TGLQuadricObject;
  const char* ClassName() const override { return "TGLSphere"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLSphere>; }

  float Radius() const { return radius_; }
  void SetRadius(float value);
  // Writes below 1 store 1.
  int Slices() const { return slices_; }
  void SetSlices(int value);
  int Stacks() const { return stacks_; }
  void SetStacks(int value);
  // Top below Bottom draws the slice inverted.
  TAngleLimit1 Top() const { return top_; }
  void SetTop(TAngleLimit1 value);
  TAngleLimit1 Bottom() const { return bottom_; }
  void SetBottom(TAngleLimit1 value);
  // Start above Stop (or Stop below Start) fails an assertion and keeps the value.
  TAngleLimit2 Start() const { return start_; }
  void SetStart(TAngleLimit2 value);
  TAngleLimit2 Stop() const { return stop_; }
  void SetStop(TAngleLimit2 value);
  TCapType TopCap() const { return topCap_; }
  void SetTopCap(TCapType value);
  TCapType BottomCap() const { return bottomCap_; }
  void SetBottomCap(TCapType value);

  // From a sphere: Radius, Slices, Stacks, Bottom, Top, Start and Stop (not the caps), then the
  // quadric assignment.
  void Assign(const TPersistent* source) override;
  // |Radius| on all three axes.
  TVector4f AxisAlignedDimensionsUnscaled() override;
  // The first intersection with the sphere of radius Radius about the local origin; the normal is
  // the radius vector taken to absolute coordinates, not normalised.
  bool RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector,
                        TVector4f* intersectPoint = nullptr, TVector4f* intersectNormal = nullptr) override;
  // A ring of max(Stacks, Slices) points of radius Radius across the viewing direction.
  std::unique_ptr<TGLSilhouette> GenerateSilhouette(const TSilhouetteQuery& params) override;
  void BuildList(TRenderContextInfo& rci) override;

 private:
  void DrawCap(bool top);

  float radius_ = 0.5f;
  int slices_ = 16;
  int stacks_ = 16;
  TAngleLimit1 top_ = 90;
  TAngleLimit1 bottom_ = -90;
  TAngleLimit2 start_ = 0;
  TAngleLimit2 stop_ = 360;
  TCapType topCap_ = ctNone;
  TCapType bottomCap_ = ctNone;
};

}  // namespace gl3d

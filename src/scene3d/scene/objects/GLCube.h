#pragma once
// The cube: an axis-aligned box of independent width, height and depth, drawn directly every
// frame as triangles with per-face normals and texture coordinates. Faces can be left out and the
// normals can point inwards (the editor's frame cube is seen from inside).
#include <cstdint>

#include "scene3d/scene/material/GLCustomSceneObject.h"

namespace gl3d {

enum TCubePart : uint8_t { cpTop, cpBottom, cpFront, cpBack, cpLeft, cpRight };
using TCubeParts = uint8_t;
constexpr TCubeParts CubePartBit(TCubePart p) { return static_cast<TCubeParts>(1u << p); }
inline constexpr TCubeParts cAllCubeParts = 0x3F;
enum TNormalDirection : uint8_t { ndInside, ndOutside };

class TGLCube : public TGL3DSceneObject {
 public:
  // Drawn directly; 1 x 1 x 1, all parts, normals outside.
  explicit TGLCube(TComponent* owner);
  const char* ClassName() const override { return "TGLCube"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLCube>; }

  // Each write of a different value stores it and calls StructureChanged.
  float CubeWidth() const { return cubeWidth_; }
  void WriteCubeWidth(float value);
  float CubeHeight() const { return cubeHeight_; }
  void WriteCubeHeight(float value);
  float CubeDepth() const { return cubeDepth_; }
  void WriteCubeDepth(float value);
  TCubeParts Parts() const { return parts_; }
  void SetParts(TCubeParts value);
  TNormalDirection NormalDirection() const { return normalDirection_; }
  void SetNormalDirection(TNormalDirection value);

  // "CubeSize": the three sizes as 12 bytes, written only when one of them is not 1. Data of
  // another size fails with EReadError and leaves the sizes as they were.
  void DefineStoredProperties(TFiler& filer) override;
  void Assign(const TPersistent* source) override;
  // (CubeWidth / 2, CubeHeight / 2, CubeDepth / 2, 0), signed.
  TVector4f AxisAlignedDimensionsUnscaled() override;
  // The first face the ray enters through, ahead of its start.
  bool RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector, TVector4f* intersectPoint = nullptr,
                        TVector4f* intersectNormal = nullptr) override;
  std::unique_ptr<TGLSilhouette> GenerateSilhouette(const TSilhouetteQuery& params) override;
  void BuildList(TRenderContextInfo& rci) override;

 private:
  void SetSize(float& field, float value);
  void ReadSize(TStream& stream);
  void WriteSize(TStream& stream) const;

  float cubeWidth_ = 1, cubeHeight_ = 1, cubeDepth_ = 1;
  TCubeParts parts_ = cAllCubeParts;
  TNormalDirection normalDirection_ = ndOutside;
};

}  // namespace gl3d

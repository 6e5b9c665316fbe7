#pragma once
// The plane: a textured rectangle in its local XY plane, drawn as two triangles or as a grid of
// tiles. The editor's background plane is a single quad of 4 x 4 behind the shape.
#include <cstdint>
#include <vector>

#include "scene3d/scene/material/GLCustomSceneObject.h"

namespace gl3d {

enum TPlaneStyle : uint8_t { psSingleQuad, psTileTexture };
using TPlaneStyles = uint8_t;
constexpr TPlaneStyles PlaneStyleBit(TPlaneStyle s) { return static_cast<TPlaneStyles>(1u << s); }

// A tile-mesh record; the plane fills the position and the texture coordinates only.
struct TVertexRec {
  TVector3f Position;
  TVector3f Normal;
  TVector3f Tangent;
  TVector3f Binormal;
  TTexPoint TexCoord;
};
static_assert(sizeof(TVertexRec) == 56);

class TGLPlane : public TGL3DSceneObject {
 public:
  // Drawn directly; 1 x 1, both styles, scopes 1, one tile.
  explicit TGLPlane(TComponent* owner);
  const char* ClassName() const override { return "TGLPlane"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLPlane>; }

  // Each write of a different value stores it, drops the tile mesh and calls StructureChanged.
  float Width() const { return width_; }
  void SetWidth(float value);
  float Height() const { return height_; }
  void SetHeight(float value);
  float XOffset() const { return xOffset_; }
  void SetXOffset(float value);
  float YOffset() const { return yOffset_; }
  void SetYOffset(float value);
  // Values above 1 store 1.
  float XScope() const { return xScope_; }
  void SetXScope(float value);
  float YScope() const { return yScope_; }
  void SetYScope(float value);
  bool StoreXScope() const { return xScope_ != 1; }
  bool StoreYScope() const { return yScope_ != 1; }
  uint32_t XTiles() const { return xTiles_; }
  void SetXTiles(uint32_t value);
  uint32_t YTiles() const { return yTiles_; }
  void SetYTiles(uint32_t value);
  // A change keeps the tile mesh (nothing here draws it when it is stale, as no caller uses
  // tiles with offsets).
  TPlaneStyles Style() const { return style_; }
  void SetStyle(TPlaneStyles value);
  const std::vector<std::vector<TVertexRec>>& TileMesh() const { return tileMesh_; }

  void Assign(const TPersistent* source) override;
  // (|Width| / 2, |Height| / 2, 0).
  TVector4f AxisAlignedDimensionsUnscaled() override;
  // Only a ray that comes towards the plane from either side and meets it inside the rectangle.
  bool RayCastIntersect(const TVector4f& rayStart, const TVector4f& rayVector, TVector4f* intersectPoint = nullptr,
                        TVector4f* intersectNormal = nullptr) override;
  std::unique_ptr<TGLSilhouette> GenerateSilhouette(const TSilhouetteQuery& params) override;
  void BuildList(TRenderContextInfo& rci) override;

 private:
  // Stores value in field when it differs, then drops the tile mesh and notifies.
  template <class T>
  void SetShape(T& field, T value);
  void BuildTileMesh(float s1s0, float t1t0);

  float xOffset_ = 0, yOffset_ = 0;
  float xScope_ = 1, yScope_ = 1;
  float width_ = 1, height_ = 1;
  uint32_t xTiles_ = 1, yTiles_ = 1;
  TPlaneStyles style_ = PlaneStyleBit(psSingleQuad) | PlaneStyleBit(psTileTexture);
  std::vector<std::vector<TVertexRec>> tileMesh_;
};

// Sends the attributes "Tangent" and "Binormal" of the current GLSL program (those it has) when
// the context has shader objects and a program is current.
void SendTangentAndBinormal(TRenderContextInfo& rci, const TVector3f& tangent, const TVector3f& binormal);

}  // namespace gl3d

#pragma once
// The interleaved vertex records of the simple mesh object: texture point, colour, normal and
// position in the layout OpenGL names GL_T2F_C4F_N3F_V3F (48 bytes a record), in one block that
// grows by 256 records at a time. Every setter and every append fires the change event.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/VectorGeometry.h"

namespace gl3d {

struct TVertexData {
  TTexPoint TextCoord;
  TVector4f Color;
  TAffineVector Normal;
  TVector3f Coord;
};
static_assert(sizeof(TVertexData) == 48);
static_assert(offsetof(TVertexData, Color) == 8 && offsetof(TVertexData, Normal) == 24 &&
              offsetof(TVertexData, Coord) == 36);

class TVertexList : public TGLUpdateAbleObject {
 public:
  static constexpr int kGrowth = 256;

  explicit TVertexList(TPersistent* owner) : TGLUpdateAbleObject(owner) {}
  const char* ClassName() const override { return "TVertexList"; }

  // The owner's structure-change handler.
  TNotifyEvent OnNotifyChange;

  int Count() const { return count_; }
  int Capacity() const { return static_cast<int>(records_.size()); }
  // The first record (for OpenGL's interleaved arrays); nullptr while the block is empty.
  const TVertexData* List() const { return records_.empty() ? nullptr : records_.data(); }

  // The index must lie below the count (assertion).
  const TVertexData& Vertices(int index) const;
  void SetVertices(int index, const TVertexData& value);
  // Without an index check beyond the block: the index must lie below the capacity.
  TVector3f VertexCoord(int index) const { return records_[Slot(index)].Coord; }
  void SetVertexCoord(int index, const TVector3f& value);
  TAffineVector VertexNormal(int index) const { return records_[Slot(index)].Normal; }
  void SetVertexNormal(int index, const TAffineVector& value);
  TTexPoint VertexTexCoord(int index) const { return records_[Slot(index)].TextCoord; }
  void SetVertexTexCoord(int index, const TTexPoint& value);
  TVector4f VertexColor(int index) const { return records_[Slot(index)].Color; }
  void SetVertexColor(int index, const TVector4f& value);

  // Grows the block by the growth step when full, appends one record and notifies.
  void AddVertex(const TVector3f& position, const TAffineVector& normal, const TVector4f& color,
                 const TTexPoint& texPoint);
  // min from +infinity and max from -infinity over the positions.
  void GetExtents(TVector3f& min, TVector3f& max) const;

  // The lock into driver memory that a vertex-array-range extension would take. No driver this
  // library runs on has one, so both steps do nothing and the list is never locked.
  void Lock() {}
  void UnLock() {}

  // From a vertex list: its count, capacity and records. Other sources: the inherited assignment.
  void Assign(const TPersistent* source) override;
  void NotifyChange(TObject* sender) override;

 private:
  static size_t Slot(int index) { return static_cast<size_t>(index); }
  std::vector<TVertexData> records_;
  int count_ = 0;
};

}  // namespace gl3d

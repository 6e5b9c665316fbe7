#include "scene3d/scene/mesh/VertexList.h"

#include <limits>

#include "common/Exception.h"

namespace gl3d {

const TVertexData& TVertexList::Vertices(int index) const {
  ZASSERT(index >= 0 && index < count_, "Assertion failed");
  return records_[Slot(index)];
}

void TVertexList::SetVertices(int index, const TVertexData& value) {
  ZASSERT(index >= 0 && index < count_, "Assertion failed");
  records_[Slot(index)] = value;
  NotifyChange(this);
}

void TVertexList::SetVertexCoord(int index, const TVector3f& value) {
  records_.at(Slot(index)).Coord = value;
  NotifyChange(this);
}

void TVertexList::SetVertexNormal(int index, const TAffineVector& value) {
  records_.at(Slot(index)).Normal = value;
  NotifyChange(this);
}

void TVertexList::SetVertexTexCoord(int index, const TTexPoint& value) {
  records_.at(Slot(index)).TextCoord = value;
  NotifyChange(this);
}

void TVertexList::SetVertexColor(int index, const TVector4f& value) {
  records_.at(Slot(index)).Color = value;
  NotifyChange(this);
}

void TVertexList::AddVertex(const TVector3f& position, const TAffineVector& normal, const TVector4f& color,
                            const TTexPoint& texPoint) {
  if (count_ == Capacity()) records_.resize(records_.size() + kGrowth);
  records_[Slot(count_)] = TVertexData{texPoint, color, normal, position};
  ++count_;
  NotifyChange(this);
}

void TVertexList::GetExtents(TVector3f& min, TVector3f& max) const {
  constexpr float inf = std::numeric_limits<float>::infinity();
  min = {inf, inf, inf};
  max = {-inf, -inf, -inf};
  for (int i = 0; i < count_; ++i) {
    const TVector3f& p = records_[Slot(i)].Coord;
    for (int c = 0; c < 3; ++c) {
      if (p[c] < min[c]) min[c] = p[c];
      if (p[c] > max[c]) max[c] = p[c];
    }
  }
}

void TVertexList::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TVertexList*>(source)) {
    records_ = other->records_;
    count_ = other->count_;
  } else {
    TGLUpdateAbleObject::Assign(source);
  }
}

void TVertexList::NotifyChange(TObject* sender) {
  // The owner's handler (a structure change) already tells the scene; without one the owner hears
  // of the change the usual way.
  if (OnNotifyChange)
    OnNotifyChange(this);
  else
    TGLUpdateAbleObject::NotifyChange(sender);
}

}  // namespace gl3d

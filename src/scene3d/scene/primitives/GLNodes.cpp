#include "scene3d/scene/primitives/GLNodes.h"

#include <vector>

#include "common/NumberText.h"

namespace gl3d {

TGLNode::TGLNode(TCollection* collection) : TCollectionItem(collection) {}

void TGLNode::NotifyNodes() {
  if (auto* nodes = dynamic_cast<TGLNodes*>(Collection())) nodes->NotifyChange();
}

void TGLNode::SetX(float value) {
  coords_.X = value;
  NotifyNodes();
}

void TGLNode::SetY(float value) {
  coords_.Y = value;
  NotifyNodes();
}

void TGLNode::SetZ(float value) {
  coords_.Z = value;
  NotifyNodes();
}

void TGLNode::Assign(const TPersistent* source) {
  if (auto* node = dynamic_cast<const TGLNode*>(source))
    coords_ = node->coords_;
  else
    TCollectionItem::Assign(source);
}

std::string TGLNode::GetDisplayName() const {
  return common::FormatC("%.4f; %.4f; %.4f", static_cast<double>(coords_.X), static_cast<double>(coords_.Y),
                         static_cast<double>(coords_.Z));
}

TGLNodes::TGLNodes(TPersistent* owner, TCollectionItemClass itemClass)
    : TOwnedCollection(owner, itemClass ? itemClass : &TGLNode::Create) {}

void TGLNodes::Update(TCollectionItem* item) {
  TOwnedCollection::Update(item);
  NotifyChange();
}

void TGLNodes::EndUpdate() {
  TOwnedCollection::EndUpdate();
  if (UpdateCount() == 0) NotifyChange();
}

void TGLNodes::NotifyChange() {
  if (UpdateCount() != 0) return;
  if (auto* owner = dynamic_cast<TGLUpdateAbleComponent*>(GetOwner())) owner->NotifyChange(this);
}

std::unique_ptr<TCubicSpline> TGLNodes::CreateNewCubicSpline() const {
  const int n = Count();
  std::vector<float> x(static_cast<size_t>(n)), y(static_cast<size_t>(n)), z(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const TGLNode* node = Items(i);
    x[static_cast<size_t>(i)] = node->X();
    y[static_cast<size_t>(i)] = node->Y();
    z[static_cast<size_t>(i)] = node->Z();
  }
  return std::make_unique<TCubicSpline>(x.data(), y.data(), z.data(), nullptr, n);
}

}  // namespace gl3d

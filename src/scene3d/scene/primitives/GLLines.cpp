// The line objects: the style, the nodes with their colours, and the properties of the lines.
// The drawing is in GLLinesRender.cpp.
#include "scene3d/scene/primitives/GLLines.h"

#include <cmath>

namespace gl3d {

namespace {
constexpr TVector4f kWhite{1, 1, 1, 1};
constexpr TVector4f kBlue{0, 0, 1, 1};

// The collection of a line node, checked to belong to lines before the node joins it.
TCollection* LinesCollection(TCollection* collection) {
  if (collection && !dynamic_cast<TGLLines*>(collection->GetOwner()))
    throw EInvalidCast("Invalid class typecast");
  return collection;
}
}  // namespace

// ---- TGLLineBase ----

TGLLineBase::TGLLineBase(TComponent* owner)
    : TGLImmaterialSceneObject(owner), lineColor_(std::make_unique<TGLColor>(this, kWhite)) {}

TGLLineBase::~TGLLineBase() = default;

void TGLLineBase::SetLinePattern(uint16_t value) {
  if (linePattern_ == value) return;
  linePattern_ = value;
  StructureChanged();
}

void TGLLineBase::SetLineWidth(float value) {
  if (lineWidth_ == value) return;
  lineWidth_ = value;
  StructureChanged();
}

void TGLLineBase::SetAntiAliased(bool value) {
  if (antiAliased_ == value) return;
  antiAliased_ = value;
  StructureChanged();
}

void TGLLineBase::Assign(const TPersistent* source) {
  if (auto* src = dynamic_cast<const TGLLineBase*>(source)) {
    SetLineColor(src->lineColor_.get());
    SetLinePattern(src->linePattern_);
    SetLineWidth(src->lineWidth_);
    SetAntiAliased(src->antiAliased_);
  }
  TGLImmaterialSceneObject::Assign(source);
}

void TGLLineBase::NotifyChange(TObject* sender) {
  if (lineColor_ && sender == lineColor_.get()) StructureChanged();
  TGLImmaterialSceneObject::NotifyChange(sender);
}

void TGLLineBase::SetupLineStyle(TRenderContextInfo& rci) {
  TGLStateCache& states = *rci.StateCache;
  states.Disable(capLighting);
  if (linePattern_ != 0xFFFF) {
    states.Enable(capLineStipple);
    states.Enable(capBlend);
    states.SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
    states.SetLineStippleFactor(1);
    states.SetLineStipplePattern(linePattern_);
  } else {
    states.Disable(capLineStipple);
  }
  if (antiAliased_) {
    states.Enable(capLineSmooth);
    states.Enable(capBlend);
    states.SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
  } else {
    states.Disable(capLineSmooth);
  }
  states.SetLineWidth(lineWidth_);
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  if (lineColor_->Alpha() != 1) {
    if (!antiAliased_) states.Enable(capBlend);
    gl.Color4fv(lineColor_->ColorAddress());
  } else {
    gl.Color3fv(lineColor_->ColorAddress());
  }
}

// ---- TGLLinesNode ----

TGLLinesNode::TGLLinesNode(TCollection* collection) : TGLNode(LinesCollection(collection)) {
  TVector4f initial = kBlue;
  if (collection) initial = static_cast<TGLLines*>(collection->GetOwner())->NodeColor()->Color();
  color_ = std::make_unique<TGLColor>(this, initial, [this](TObject*) { NotifyNodes(); });
}

TGLLinesNode::~TGLLinesNode() = default;

void TGLLinesNode::Assign(const TPersistent* source) {
  if (auto* node = dynamic_cast<const TGLLinesNode*>(source)) color_->Assign(node->color_.get());
  TGLNode::Assign(source);
}

void TGLLinesNodes::NotifyChange() {
  if (auto* lines = dynamic_cast<TGLBaseSceneObject*>(GetOwner())) lines->StructureChanged();
}

// ---- TGLNodedLines ----

TGLNodedLines::TGLNodedLines(TComponent* owner)
    : TGLLineBase(owner),
      nodes_(std::make_unique<TGLLinesNodes>(this)),
      nodeColor_(std::make_unique<TGLColor>(this, kBlue, [this](TObject*) { NodeColorChanged(); })) {}

TGLNodedLines::~TGLNodedLines() {
  // The nodes go first, while the node colour they may ask for still exists.
  nodes_.reset();
}

void TGLNodedLines::SetNodes(const TGLLinesNodes* value) {
  nodes_->Assign(value);
  StructureChanged();
}

void TGLNodedLines::SetNodesAspect(TLineNodesAspect value) {
  if (nodesAspect_ == value) return;
  nodesAspect_ = value;
  StructureChanged();
}

void TGLNodedLines::SetNodeSize(float value) {
  nodeSize_ = value <= 0 ? 1 : value;
  StructureChanged();
}

void TGLNodedLines::NodeColorChanged() {
  const TVector4f& color = nodeColor_->Color();
  for (int i = 0; i < nodes_->Count(); ++i) {
    TGLColor* nodeColor = nodes_->Items(i)->Color();
    if (VectorEquals4f(nodeColor->Color(), oldNodeColor_)) nodeColor->SetColor(color);
  }
  oldNodeColor_ = color;
  StructureChanged();
}

void TGLNodedLines::Assign(const TPersistent* source) {
  if (auto* src = dynamic_cast<const TGLNodedLines*>(source)) {
    SetNodes(src->nodes_.get());
    SetNodesAspect(src->nodesAspect_);
    SetNodeColor(src->nodeColor_.get());
    SetNodeSize(src->nodeSize_);
  }
  TGLLineBase::Assign(source);
}

TVector4f TGLNodedLines::AxisAlignedDimensionsUnscaled() {
  TVector4f result{0, 0, 0, 0};
  for (int i = 0; i < nodes_->Count(); ++i) {
    const TGLNode* node = nodes_->Items(i);
    result.X = std::max(result.X, std::fabs(node->X()));
    result.Y = std::max(result.Y, std::fabs(node->Y()));
    result.Z = std::max(result.Z, std::fabs(node->Z()));
  }
  return result;
}

// ---- TGLLines ----

TGLLines::TGLLines(TComponent* owner) : TGLNodedLines(owner), nurbsKnots_(std::make_unique<TSingleList>()) {}

TGLLines::~TGLLines() = default;

void TGLLines::SetDivision(int value) {
  if (value < 1) value = 1;
  if (division_ == value) return;
  division_ = value;
  StructureChanged();
}

void TGLLines::SetSplineMode(TLineSplineMode value) {
  if (splineMode_ == value) return;
  splineMode_ = value;
  StructureChanged();
}

void TGLLines::SetOptions(TLinesOptions value) {
  options_ = value;
  StructureChanged();
}

void TGLLines::Assign(const TPersistent* source) {
  if (auto* src = dynamic_cast<const TGLLines*>(source)) {
    SetDivision(src->division_);
    SetSplineMode(src->splineMode_);
    SetOptions(src->options_);
  }
  TGLNodedLines::Assign(source);
}

}  // namespace gl3d

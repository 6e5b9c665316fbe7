#pragma once
// Lines: a polyline through a node list (GLNodes.h) drawn as straight segments, a natural cubic
// spline, a Bezier curve through OpenGL evaluators or a NURBS curve through libGLU, with a line
// style (colour, width, stipple, anti-aliasing) and optional markers at the nodes (axes, wire
// cubes or dodecahedra). The lines are compiled into the object's display list.
#include <cstdint>
#include <memory>

#include "scene3d/base/GLColor.h"
#include "scene3d/base/VectorLists.h"
#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "scene3d/scene/primitives/GLNodes.h"

namespace gl3d {

enum TLineNodesAspect : uint8_t { lnaInvisible, lnaAxes, lnaCube, lnaDodecahedron };
enum TLineSplineMode : uint8_t {
  lsmLines,
  lsmCubicSpline,
  lsmBezierSpline,
  lsmNURBSCurve,
  lsmSegments,
  lsmLoop
};
enum TLinesOption : uint8_t { loUseNodeColorForLines, loColorLogicXor };
// Bit n for the option of ordinal n.
using TLinesOptions = uint8_t;
constexpr TLinesOptions LinesOptionBit(TLinesOption o) { return static_cast<TLinesOptions>(1u << o); }

// The line style shared by line objects.
class TGLLineBase : public TGLImmaterialSceneObject {
 public:
  explicit TGLLineBase(TComponent* owner);
  ~TGLLineBase() override;
  const char* ClassName() const override { return "TGLLineBase"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLLineBase>; }

  // Opaque white.
  TGLColor* LineColor() const { return lineColor_.get(); }
  // Copies the colour (which rebuilds the list).
  void SetLineColor(const TGLColor* value) { lineColor_->Assign(value); }
  // $FFFF (solid) by default.
  uint16_t LinePattern() const { return linePattern_; }
  void SetLinePattern(uint16_t value);
  float LineWidth() const { return lineWidth_; }
  void SetLineWidth(float value);
  bool AntiAliased() const { return antiAliased_; }
  void SetAntiAliased(bool value);

  // From line objects through the four writes, then the inherited assignment.
  void Assign(const TPersistent* source) override;
  // A change reported by LineColor rebuilds the list first.
  void NotifyChange(TObject* sender) override;
  // Lighting off; stipple, smoothing and blending as the style asks; width; the line colour.
  void SetupLineStyle(TRenderContextInfo& rci);

 private:
  std::unique_ptr<TGLColor> lineColor_;
  uint16_t linePattern_ = 0xFFFF;
  float lineWidth_ = 1;
  bool antiAliased_ = false;
};

class TGLNodedLines;

// A node of lines: adds its own colour, which starts as the lines' NodeColor.
class TGLLinesNode : public TGLNode {
 public:
  // The collection's owner must be lines (EInvalidCast "Invalid class typecast" otherwise).
  explicit TGLLinesNode(TCollection* collection);
  ~TGLLinesNode() override;
  static TCollectionItem* Create(TCollection* collection) { return new TGLLinesNode(collection); }
  const char* ClassName() const override { return "TGLLinesNode"; }

  // A change tells the node list.
  TGLColor* Color() const { return color_.get(); }
  void SetColor(const TGLColor* value) { color_->Assign(value); }
  // The colour, then the node's coordinates.
  void Assign(const TPersistent* source) override;

 private:
  std::unique_ptr<TGLColor> color_;
};

// The nodes of lines: every change rebuilds the lines' display list.
class TGLLinesNodes : public TGLNodes {
 public:
  explicit TGLLinesNodes(TPersistent* owner) : TGLNodes(owner, &TGLLinesNode::Create) {}
  const char* ClassName() const override { return "TGLLinesNodes"; }
  TGLLinesNode* Items(int index) const { return static_cast<TGLLinesNode*>(GetItem(index)); }
  TGLLinesNode* Add() { return static_cast<TGLLinesNode*>(TCollection::Add()); }
  void NotifyChange() override;
};

class TGLNodedLines : public TGLLineBase {
 public:
  explicit TGLNodedLines(TComponent* owner);
  ~TGLNodedLines() override;
  const char* ClassName() const override { return "TGLNodedLines"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLNodedLines>; }

  TGLLinesNodes* Nodes() const { return nodes_.get(); }
  void SetNodes(const TGLLinesNodes* value);
  TLineNodesAspect NodesAspect() const { return nodesAspect_; }
  void SetNodesAspect(TLineNodesAspect value);
  // Opaque blue. A change recolours the nodes that still have the previous node colour.
  TGLColor* NodeColor() const { return nodeColor_.get(); }
  void SetNodeColor(const TGLColor* value) { nodeColor_->Assign(value); }
  float NodeSize() const { return nodeSize_; }
  // Values <= 0 store 1.
  void SetNodeSize(float value);
  const TVector4f& OldNodeColor() const { return oldNodeColor_; }

  // From noded lines: Nodes, NodesAspect, NodeColor and NodeSize, then the line-base assignment.
  void Assign(const TPersistent* source) override;
  // The component-wise maximum of |x|, |y|, |z| over the nodes, from zero.
  TVector4f AxisAlignedDimensionsUnscaled() override;
  // The marker of one node at (x, y, z) in the node aspect.
  void DrawNode(TRenderContextInfo& rci, const TVector4f& color, float x, float y, float z);

 private:
  void NodeColorChanged();

  std::unique_ptr<TGLLinesNodes> nodes_;
  TLineNodesAspect nodesAspect_ = lnaAxes;
  std::unique_ptr<TGLColor> nodeColor_;
  float nodeSize_ = 1;
  TVector4f oldNodeColor_{0, 0, 1, 1};
};

class TGLLines : public TGLNodedLines {
 public:
  explicit TGLLines(TComponent* owner);
  ~TGLLines() override;
  const char* ClassName() const override { return "TGLLines"; }
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TGLLines>; }

  int Division() const { return division_; }
  // Values below 1 store 1.
  void SetDivision(int value);
  TLineSplineMode SplineMode() const { return splineMode_; }
  void SetSplineMode(TLineSplineMode value);
  TLinesOptions Options() const { return options_; }
  void SetOptions(TLinesOptions value);
  int NurbsOrder() const { return nurbsOrder_; }
  void SetNurbsOrder(int value) { nurbsOrder_ = value; }
  float NurbsTolerance() const { return nurbsTolerance_; }
  void SetNurbsTolerance(float value) { nurbsTolerance_ = value; }
  TSingleList* NurbsKnots() const { return nurbsKnots_.get(); }

  // From lines: Division, SplineMode and Options, then the noded-lines assignment.
  void Assign(const TPersistent* source) override;
  // Nothing with fewer than two nodes; otherwise the line in the spline mode, then the markers.
  void BuildList(TRenderContextInfo& rci) override;

 private:
  void DrawCubicSpline(TGLExtensionsAndEntryPoints& gl);
  // False (logged) when the curve has more nodes than the evaluators take.
  bool SetupBezierMaps(TGLExtensionsAndEntryPoints& gl, const float* positions, const float* colors);
  void DrawNurbsCurve(float* positions);

  int division_ = 10;
  TLineSplineMode splineMode_ = lsmLines;
  TLinesOptions options_ = 0;
  int nurbsOrder_ = 0;
  float nurbsTolerance_ = 50;
  std::unique_ptr<TSingleList> nurbsKnots_;
};

// The regular dodecahedron of the node markers, centred on the origin: twelve faces of three
// triangles each, every face with its plane normal.
void DrawDodecahedron();

}  // namespace gl3d

// Lines on the recording table: what each spline mode emits, the markers, the node colours, the
// line style, the NURBS and Bezier guards, and the nodes' ownership rule.
#include <gtest/gtest.h>

#include <string>

#include "scene3d/scene/primitives/GLLines.h"
#include "scene3d/scene/primitives/tests/PrimitivesTestSupport.h"

using namespace gl3d;

namespace {

class Lines : public gl3d::test::PrimitivesFixture {
 protected:
  // Lines without markers through the points.
  static void AddNodes(TGLLines& lines, std::initializer_list<TVector3f> points) {
    for (const TVector3f& p : points) {
      TGLLinesNode* node = lines.Nodes()->Add();
      node->SetX(p.X);
      node->SetY(p.Y);
      node->SetZ(p.Z);
    }
  }
};

}  // namespace

TEST_F(Lines, EachSplineModeEmitsItsPrimitiveAndVertices) {
  struct Case {
    TLineSplineMode mode;
    int division;
    GLenum primitive;  // 0: no glBegin of the line
    size_t vertices, evaluations;
  } cases[] = {
      {lsmLines, 10, GL_LINE_STRIP, 3, 0},       {lsmCubicSpline, 10, GL_LINE_STRIP, 21, 0},
      {lsmCubicSpline, 1, GL_LINE_STRIP, 3, 0},  {lsmSegments, 10, GL_LINES, 3, 0},
      {lsmLoop, 10, GL_LINE_LOOP, 3, 0},         {lsmBezierSpline, 10, GL_LINE_STRIP, 0, 11},
      {lsmBezierSpline, 1, GL_LINE_STRIP, 3, 0}, {lsmNURBSCurve, 1, GL_LINE_STRIP, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " division " + std::to_string(c.division));
    TGLLines lines(nullptr);
    lines.SetNodesAspect(lnaInvisible);
    AddNodes(lines, {{0, 0, 0}, {1, 1, 0}, {2, 0, 1}});
    lines.SetSplineMode(c.mode);
    lines.SetDivision(c.division);
    rec.Clear();
    lines.BuildList(rci);
    EXPECT_EQ(rec.Count("Begin"), 1u);
    EXPECT_EQ(CountWith("Begin", c.primitive), 1u);
    EXPECT_EQ(Vertices().size(), c.vertices);
    EXPECT_EQ(rec.Count("EvalCoord1f"), c.evaluations);
    EXPECT_EQ(rec.Count("End"), 1u);
    const bool bezier = c.mode == lsmBezierSpline;
    EXPECT_EQ(rec.Count("Map1f"), bezier ? 2u : 0u);
    EXPECT_EQ(rec.Count("PushAttrib"), rec.Count("PopAttrib"));
    EXPECT_EQ(CountWith("PushAttrib", GL_EVAL_BIT), bezier ? 1u : 0u);
  }
}

TEST_F(Lines, TheCubicSplinePassesThroughTheNodes) {
  TGLLines lines(nullptr);
  lines.SetNodesAspect(lnaInvisible);
  lines.SetSplineMode(lsmCubicSpline);
  lines.SetDivision(4);
  AddNodes(lines, {{0, 0, 0}, {1, 2, 0}, {3, 1, -1}});
  lines.BuildList(rci);
  const auto v = Vertices();
  ASSERT_EQ(v.size(), 9u);
  EXPECT_NEAR(v[4].x, 1, 1e-5);
  EXPECT_NEAR(v[4].y, 2, 1e-5);
  EXPECT_NEAR(v[8].x, 3, 1e-5);
  EXPECT_NEAR(v[8].z, -1, 1e-5);
}

TEST_F(Lines, FewerThanTwoNodesDrawNothingNotEvenMarkers) {
  TGLLines lines(nullptr);
  lines.SetNodesAspect(lnaDodecahedron);
  lines.BuildList(rci);
  AddNodes(lines, {{1, 1, 1}});
  lines.BuildList(rci);
  EXPECT_TRUE(rec.Calls.empty()) << rec.Names();
}

TEST_F(Lines, ANurbsCurveThatDoesNotFitItsNodesDrawsOnlyTheMarkers) {
  // Without knots, and with a knot count that does not match order + node count, the curve is
  // left out (libGLU would read past the nodes); the markers stay.
  for (const int knots : {0, 5, 8}) {
    SCOPED_TRACE(knots);
    TGLLines lines(nullptr);
    lines.SetSplineMode(lsmNURBSCurve);
    lines.SetNurbsOrder(3);
    for (int k = 0; k < knots; ++k) lines.NurbsKnots()->Add(static_cast<float>(k));
    AddNodes(lines, {{0, 0, 0}, {1, 1, 0}, {2, 0, 1}, {3, 1, 1}});
    rec.Clear();
    lines.BuildList(rci);
    EXPECT_EQ(rec.Count("PushMatrix"), 4u) << "one axes marker per node";
    EXPECT_EQ(CountWith("Begin", GL_LINE_STRIP), 0u);
    EXPECT_EQ(CountWith("Begin", GL_LINES), 4u) << "the markers' axes";
  }
}

TEST_F(Lines, ABezierCurveBeyondTheEvaluatorLimitDrawsNoLine) {
  gl3d::test::WarningWatch log;
  maxEvalOrder = 3;
  TGLLines lines(nullptr);
  lines.SetSplineMode(lsmBezierSpline);
  lines.SetNodesAspect(lnaInvisible);
  AddNodes(lines, {{0, 0, 0}, {1, 1, 0}, {2, 0, 1}, {3, 1, 1}});
  lines.BuildList(rci);
  EXPECT_EQ(rec.Count("Map1f"), 0u);
  EXPECT_EQ(rec.Count("Begin"), 0u);
  EXPECT_EQ(rec.Count("PushAttrib"), 1u);
  EXPECT_EQ(rec.Count("PopAttrib"), 1u);
  EXPECT_EQ(log.lines.size(), 1u);

  maxEvalOrder = 4;
  rec.Clear();
  lines.StructureChanged();
  lines.BuildList(rci);
  EXPECT_EQ(rec.Count("Map1f"), 2u) << "four nodes fit an order of four";
  EXPECT_EQ(CountWith("Enable", GL_MAP1_VERTEX_3), 1u);
  EXPECT_EQ(CountWith("Enable", GL_MAP1_COLOR_4), 1u);
}

TEST_F(Lines, NodeColorRecoloursOnlyTheNodesStillAtTheOldColour) {
  TGLLines lines(nullptr);
  AddNodes(lines, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
  const TVector4f blue{0, 0, 1, 1}, red{1, 0, 0, 1}, green{0, 1, 0, 1}, white{1, 1, 1, 1};
  EXPECT_TRUE(VectorEquals4f(lines.Nodes()->Items(0)->Color()->Color(), blue)) << "new nodes take NodeColor";
  lines.Nodes()->Items(1)->Color()->SetColor(white);
  TGLColor redColor(nullptr, red);
  lines.SetNodeColor(&redColor);
  EXPECT_TRUE(VectorEquals4f(lines.Nodes()->Items(0)->Color()->Color(), red));
  EXPECT_TRUE(VectorEquals4f(lines.Nodes()->Items(1)->Color()->Color(), white)) << "its own colour stays";
  EXPECT_TRUE(VectorEquals4f(lines.Nodes()->Items(2)->Color()->Color(), red));
  EXPECT_TRUE(VectorEquals4f(lines.OldNodeColor(), red));

  lines.NodeColor()->SetColor(green);  // a change through the colour object itself
  EXPECT_TRUE(VectorEquals4f(lines.Nodes()->Items(2)->Color()->Color(), green));
  EXPECT_TRUE(VectorEquals4f(lines.Nodes()->Items(1)->Color()->Color(), white));
  EXPECT_TRUE(VectorEquals4f(lines.Nodes()->Add()->Color()->Color(), green));
}

TEST_F(Lines, NodeColoursAreInterpolatedAlongTheSpline) {
  TGLLines lines(nullptr);
  lines.SetNodesAspect(lnaInvisible);
  lines.SetSplineMode(lsmCubicSpline);
  lines.SetDivision(2);
  lines.SetOptions(LinesOptionBit(loUseNodeColorForLines));
  AddNodes(lines, {{0, 0, 0}, {1, 0, 0}});
  lines.Nodes()->Items(0)->Color()->SetColor({1, 0, 0, 1});
  lines.Nodes()->Items(1)->Color()->SetColor({0, 1, 0, 1});
  lines.BuildList(rci);
  std::vector<std::vector<double>> colours;
  for (const TGLRecordedCall& c : rec.Calls)
    if (c.Name == "Color4fv") colours.push_back(c.Values);
  ASSERT_EQ(colours.size(), 3u) << rec.Names();
  EXPECT_EQ(colours[0], (std::vector<double>{1, 0, 0, 1}));
  EXPECT_EQ(colours[1], (std::vector<double>{0.5, 0.5, 0, 1}));
  EXPECT_EQ(colours[2], (std::vector<double>{0, 1, 0, 1})) << "the last node's colour at the end";

  // Straight lines send each node's own colour.
  lines.SetSplineMode(lsmLines);
  rec.Clear();
  lines.BuildList(rci);
  EXPECT_EQ(rec.Count("Color4fv"), 2u);
}

TEST_F(Lines, TheLineStyleSetsStippleSmoothingBlendingAndColour) {
  TGLLines lines(nullptr);
  lines.SetNodesAspect(lnaInvisible);
  AddNodes(lines, {{0, 0, 0}, {1, 0, 0}});
  lines.BuildList(rci);
  EXPECT_EQ(CountWith("Enable", GL_LINE_STIPPLE), 0u) << "$FFFF leaves stippling off";
  EXPECT_EQ(CountWith("Enable", GL_BLEND), 0u);
  EXPECT_EQ(rec.Count("Color3fv"), 1u) << "an opaque line colour";
  EXPECT_EQ(CountWith("Enable", GL_DEPTH_TEST), 1u) << "the pass has its depth test on";

  Restart();
  lines.SetLinePattern(0x00FF);
  lines.SetLineWidth(3);
  lines.LineColor()->SetAlpha(0.5f);
  lines.SetOptions(LinesOptionBit(loColorLogicXor));
  lines.BuildList(rci);
  EXPECT_EQ(CountWith("Enable", GL_LINE_STIPPLE), 1u);
  EXPECT_EQ(CountWith("Enable", GL_BLEND), 1u);
  EXPECT_EQ(CountWith("BlendFunc", GL_SRC_ALPHA), 1u);
  EXPECT_EQ(CountWith("LineStipple", 1), 1u);
  ASSERT_EQ(rec.Count("LineWidth"), 1u);
  for (const TGLRecordedCall& c : rec.Calls) {
    if (c.Name == "LineWidth") {
      EXPECT_EQ(c.Args[0].F, 3);
    }
  }
  EXPECT_EQ(rec.Count("Color4fv"), 1u) << "a translucent line colour";
  EXPECT_EQ(CountWith("Enable", GL_COLOR_LOGIC_OP), 1u);
  EXPECT_EQ(CountWith("LogicOp", GL_XOR), 1u);
  EXPECT_EQ(CountWith("Disable", GL_COLOR_LOGIC_OP), 1u);

  Restart();
  lines.SetAntiAliased(true);
  lines.BuildList(rci);
  EXPECT_EQ(CountWith("Enable", GL_LINE_SMOOTH), 1u);
}

TEST_F(Lines, TheMarkersDrawAtEveryNode) {
  TGLLines lines(nullptr);
  AddNodes(lines, {{1, 2, 3}, {-1, 0, 0}});
  lines.SetNodesAspect(lnaDodecahedron);
  lines.SetNodeSize(0);
  EXPECT_EQ(lines.NodeSize(), 1) << "a size <= 0 stores 1";
  lines.BuildList(rci);
  const auto moves = Triples("Translatef");
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0].x, 1);
  EXPECT_EQ(moves[0].z, 3);
  EXPECT_EQ(rec.Count("Normal3fv"), 24u) << "12 faces per dodecahedron";
  EXPECT_EQ(rec.Count("Vertex3fv"), 2u * 108) << "three triangles per face";
  EXPECT_EQ(rec.Count("Scalef"), 0u);
  EXPECT_EQ(CountWith("Enable", GL_BLEND), 1u) << "the markers blend";

  Restart();
  lines.SetNodeSize(2);
  rci.IgnoreBlending = true;
  lines.BuildList(rci);
  EXPECT_EQ(rec.Count("Scalef"), 2u);
  EXPECT_EQ(rec.Count("PushMatrix"), rec.Count("PopMatrix"));
  EXPECT_EQ(CountWith("Enable", GL_BLEND), 0u);

  // The dodecahedron's faces turn outwards.
  const auto normals = Triples("Normal3fv");
  const auto corners = Triples("Vertex3fv");
  for (size_t f = 0; f < 12; ++f) {
    const auto& n = normals[f];
    const auto& p = corners[f * 9];
    EXPECT_GT(n.x * p.x + n.y * p.y + n.z * p.z, 0) << "face " << f;
  }

  // Wire cubes of NodeSize across, in the node's colour.
  Restart();
  lines.SetNodesAspect(lnaCube);
  lines.BuildList(rci);
  EXPECT_EQ(CountWith("Begin", GL_LINE_STRIP), 2u + 1) << "the line and one strip per cube";
  EXPECT_EQ(rec.Count("Color4fv"), 2u);
  double extent = 0;
  for (const auto& v : Vertices()) extent = std::max(extent, v.x);
  EXPECT_EQ(extent, 1) << "half the cube (the nodes are placed by glTranslatef)";
}

TEST_F(Lines, NodesBelongToLinesAndCopiesCarryTheProperties) {
  TGLNodedLines noded(nullptr);
  EXPECT_THROW(noded.Nodes()->Add(), EInvalidCast);
  EXPECT_EQ(noded.Nodes()->Count(), 0);

  TGLLines lines(nullptr);
  AddNodes(lines, {{1, -4, 2}, {-3, 0.5f, 0}});
  EXPECT_EQ(lines.AxisAlignedDimensionsUnscaled().X, 3);
  EXPECT_EQ(lines.AxisAlignedDimensionsUnscaled().Y, 4);
  EXPECT_EQ(lines.AxisAlignedDimensionsUnscaled().Z, 2);
  lines.SetDivision(-2);
  EXPECT_EQ(lines.Division(), 1);
  lines.SetSplineMode(lsmLoop);
  lines.SetNodesAspect(lnaCube);
  lines.SetLineWidth(2.5f);
  lines.Nodes()->Items(0)->Color()->SetColor({1, 1, 0, 1});

  TGLLines copy(nullptr);
  copy.Assign(&lines);
  EXPECT_EQ(copy.Division(), 1);
  EXPECT_EQ(copy.SplineMode(), lsmLoop);
  EXPECT_EQ(copy.NodesAspect(), lnaCube);
  EXPECT_EQ(copy.LineWidth(), 2.5f);
  ASSERT_EQ(copy.Nodes()->Count(), 2);
  EXPECT_EQ(copy.Nodes()->Items(1)->X(), -3);
  EXPECT_EQ(copy.Nodes()->Items(0)->Color()->Red(), 1);
  EXPECT_EQ(copy.Nodes()->Items(0)->Color()->Green(), 1);
}

TEST_F(Lines, ChangesRebuildTheDisplayList) {
  TGLLines lines(nullptr);
  lines.ClearStructureChanged();
  lines.LineColor()->SetRed(0.5f);
  EXPECT_TRUE(lines.Changes() & ObjectChangeBit(chStructure)) << "the line colour";
  lines.ClearStructureChanged();
  AddNodes(lines, {{0, 0, 0}});
  EXPECT_TRUE(lines.Changes() & ObjectChangeBit(chStructure)) << "a new node";
  lines.ClearStructureChanged();
  lines.Nodes()->Items(0)->SetY(2);
  EXPECT_TRUE(lines.Changes() & ObjectChangeBit(chStructure)) << "a moved node";
  lines.ClearStructureChanged();
  lines.Nodes()->Items(0)->Color()->SetBlue(0.25f);
  EXPECT_TRUE(lines.Changes() & ObjectChangeBit(chStructure)) << "a node colour";
}

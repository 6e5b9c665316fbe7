// Drawing the lines: the line in its spline mode (straight, cubic spline, Bezier evaluators,
// NURBS through libGLU, segments, loop) and the node markers.
#include <GL/gl.h>
#include <GL/glu.h>

#include <memory>
#include <vector>

#include "common/Exception.h"
#include "scene3d/gl/GLLog.h"
#include "scene3d/scene/objects/GLDummyCube.h"
#include "scene3d/scene/primitives/GLLines.h"

namespace gl3d {

namespace {

// The dodecahedron's corners and faces (five corners each, in drawing order).
constexpr float kA = 0.4854102f, kB = 0.1854102f, kC = 0.3f;
constexpr TVector3f kDodecahedronVertices[20] = {
    {-kA, 0, kB},  {-kA, 0, -kB}, {kA, 0, -kB},   {kA, 0, kB},     {kB, -kA, 0},
    {-kB, -kA, 0}, {-kB, kA, 0},  {kB, kA, 0},    {0, kB, -kA},    {0, -kB, -kA},
    {0, -kB, kA},  {0, kB, kA},   {-kC, -kC, kC}, {-kC, -kC, -kC}, {kC, -kC, -kC},
    {kC, -kC, kC}, {-kC, kC, kC}, {-kC, kC, -kC}, {kC, kC, -kC},   {kC, kC, kC}};
constexpr int kDodecahedronFaces[12][5] = {{0, 12, 10, 11, 16}, {1, 17, 8, 9, 13},  {2, 14, 9, 8, 18},
                                           {3, 19, 11, 10, 15}, {4, 14, 2, 3, 15},  {5, 12, 0, 1, 13},
                                           {6, 17, 1, 0, 16},   {7, 19, 3, 2, 18},  {8, 17, 6, 7, 18},
                                           {9, 14, 4, 5, 13},   {10, 12, 5, 4, 15}, {11, 19, 7, 6, 16}};

struct TNurbsRendererDeleter {
  void operator()(GLUnurbs* nurbs) const { gluDeleteNurbsRenderer(nurbs); }
};

}  // namespace

void DrawDodecahedron() {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  for (const auto& face : kDodecahedronFaces) {
    TVector3f normal;
    CalcPlaneNormal3f(kDodecahedronVertices[face[0]], kDodecahedronVertices[face[1]],
                      kDodecahedronVertices[face[2]], normal);
    gl.Normal3fv(&normal.X);
    gl.Begin(GL_TRIANGLES);
    for (int t = 1; t <= 3; ++t) {
      gl.Vertex3fv(&kDodecahedronVertices[face[0]].X);
      gl.Vertex3fv(&kDodecahedronVertices[face[t]].X);
      gl.Vertex3fv(&kDodecahedronVertices[face[t + 1]].X);
    }
    gl.End();
  }
}

void TGLNodedLines::DrawNode(TRenderContextInfo& rci, const TVector4f& color, float x, float y, float z) {
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  gl.PushMatrix();
  gl.Translatef(x, y, z);
  switch (nodesAspect_) {
    case lnaAxes:
      DrawAxes(rci, 0xCCCC, nodeSize_ * 0.5f);
      break;
    case lnaCube:
      DrawWireCube(rci, false, color, nodeSize_);
      break;
    case lnaDodecahedron: {
      constexpr TVector4f black{0, 0, 0, 1}, grey{0.2f, 0.2f, 0.2f, 1};
      rci.StateCache->SetGLMaterialColors(cmFront, black, grey, color, black, 0);
      if (nodeSize_ != 1) {
        gl.PushMatrix();
        gl.Scalef(nodeSize_, nodeSize_, nodeSize_);
        DrawDodecahedron();
        gl.PopMatrix();
      } else {
        DrawDodecahedron();
      }
      break;
    }
    default:
      gl.PopMatrix();
      ZASSERT(false, "Assertion failure (GLObjects)");
  }
  gl.PopMatrix();
}

void TGLLines::DrawCubicSpline(TGLExtensionsAndEntryPoints& gl) {
  TGLLinesNodes& nodes = *Nodes();
  const int n = nodes.Count();
  const std::unique_ptr<TCubicSpline> spline = nodes.CreateNewCubicSpline();
  const bool nodeColors = options_ & LinesOptionBit(loUseNodeColorForLines);
  const float step = 1.0f / static_cast<float>(division_);
  for (int k = 0; k <= division_ * (n - 1); ++k) {
    float x, y, z;
    spline->SplineXYZ(static_cast<float>(k) * step, x, y, z);
    if (nodeColors) {
      const int i = k / division_;
      TVector4f color;
      if (i < n - 1) {
        const float f = static_cast<float>(k % division_) * step;
        VectorArrayLerp4f(&nodes.Items(i)->Color()->Color(), &nodes.Items(i + 1)->Color()->Color(), f, 1,
                          &color);
      } else {
        color = nodes.Items(n - 1)->Color()->Color();
      }
      gl.Color4fv(&color.X);
    }
    gl.Vertex3f(x, y, z);
  }
}

bool TGLLines::SetupBezierMaps(TGLExtensionsAndEntryPoints& gl, const float* positions, const float* colors) {
  const int n = Nodes()->Count();
  GLint maxOrder = 0;
  gl.GetIntegerv(GL_MAX_EVAL_ORDER, &maxOrder);
  if (n > maxOrder) {
    gllog::Warning(gllog::Format("Bezier curve of %d nodes: the evaluators take at most %d", n, maxOrder));
    return false;
  }
  gl.Enable(GL_MAP1_VERTEX_3);
  gl.Enable(GL_MAP1_COLOR_4);
  gl.Map1f(GL_MAP1_VERTEX_3, 0, 1, 3, n, positions);
  gl.Map1f(GL_MAP1_COLOR_4, 0, 1, 4, n, colors);
  return true;
}

void TGLLines::DrawNurbsCurve(float* positions) {
  const int n = Nodes()->Count();
  const int knots = nurbsKnots_->Count();
  // gluNurbsCurve reads knot count - order control points: only a curve that matches its nodes.
  if (nurbsOrder_ <= 0 || knots == 0 || knots - nurbsOrder_ != n) return;
  std::unique_ptr<GLUnurbs, TNurbsRendererDeleter> nurbs(gluNewNurbsRenderer());
  if (!nurbs) return;
  gluNurbsProperty(nurbs.get(), GLU_SAMPLING_TOLERANCE, nurbsTolerance_);
  gluNurbsProperty(nurbs.get(), GLU_DISPLAY_MODE, GLU_FILL);
  gluBeginCurve(nurbs.get());
  gluNurbsCurve(nurbs.get(), knots, nurbsKnots_->List(), 3, positions, nurbsOrder_, GL_MAP1_VERTEX_3);
  gluEndCurve(nurbs.get());
}

void TGLLines::BuildList(TRenderContextInfo& rci) {
  TGLLinesNodes& nodes = *Nodes();
  const int n = nodes.Count();
  if (n < 2) return;
  TGLExtensionsAndEntryPoints& gl = CurrentGLEntryPoints();
  TGLStateCache& states = *rci.StateCache;

  SetupLineStyle(rci);
  if (rci.DepthTestOn) states.Enable(capDepthTest);
  const bool colorXor = options_ & LinesOptionBit(loColorLogicXor);
  if (colorXor) {
    states.Enable(capColorLogicOp);
    states.SetLogicOpMode(logicXor);
  }

  std::vector<float> positions, colors;
  if (splineMode_ == lsmBezierSpline || splineMode_ == lsmNURBSCurve) {
    positions.reserve(static_cast<size_t>(n) * 3);
    colors.reserve(static_cast<size_t>(n) * 4);
    for (int i = 0; i < n; ++i) {
      const TGLLinesNode* node = nodes.Items(i);
      positions.insert(positions.end(), {node->X(), node->Y(), node->Z()});
      const TVector4f& c = node->Color()->Color();
      colors.insert(colors.end(), {c.X, c.Y, c.Z, c.W});
    }
  }
  bool drawLine = true;
  if (splineMode_ == lsmBezierSpline) {
    states.PushAttrib(StateTypes(sttEval));
    drawLine = SetupBezierMaps(gl, positions.data(), colors.data());
  }

  if (splineMode_ == lsmNURBSCurve && division_ >= 2) {
    DrawNurbsCurve(positions.data());
  } else if (drawLine) {
    gl.Begin(splineMode_ == lsmSegments ? GL_LINES : splineMode_ == lsmLoop ? GL_LINE_LOOP : GL_LINE_STRIP);
    if (division_ > 1 && splineMode_ == lsmCubicSpline) {
      DrawCubicSpline(gl);
    } else if (division_ > 1 && splineMode_ == lsmBezierSpline) {
      for (int k = 0; k <= division_; ++k)
        gl.EvalCoord1f(static_cast<float>(k) / static_cast<float>(division_));
    } else {
      const bool nodeColors = options_ & LinesOptionBit(loUseNodeColorForLines);
      for (int i = 0; i < n; ++i) {
        const TGLLinesNode* node = nodes.Items(i);
        if (nodeColors) gl.Color4fv(node->Color()->ColorAddress());
        gl.Vertex3f(node->X(), node->Y(), node->Z());
      }
    }
    gl.End();
  }

  if (colorXor) states.Disable(capColorLogicOp);
  if (splineMode_ == lsmBezierSpline) states.PopAttrib();

  if (NodesAspect() != lnaInvisible) {
    if (!rci.IgnoreBlending) {
      states.Enable(capBlend);
      states.SetBlendFunc(bfSrcAlpha, bfOneMinusSrcAlpha);
    }
    for (int i = 0; i < n; ++i) {
      const TGLLinesNode* node = nodes.Items(i);
      DrawNode(rci, node->Color()->Color(), node->X(), node->Y(), node->Z());
    }
  }
}

}  // namespace gl3d

// Rendering on the recording context: draw orders of the sorting modes, display lists, axes, the
// depth test around objects that ignore it, effect passes, picking, the model matrix and
// culling (object-based against numpy's float64 answers).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GeometryTable.h"
#include "SceneTestSupport.h"
#include "scene3d/gl/tests/RecordingFixture.h"

using namespace gl3d;
using namespace gl3d::test;
using gl3d::test::TCountingBuffer;
using gl3d::test::TMarker;

namespace {

class Render : public RecordingFixture {
 protected:
  void SetUp() override {
    RecordingFixture::SetUp();
    rec.OnCall = [](const TGLRecordedCall& call) {
      TGLArgValue a;
      if (call.Name == "GenLists") a.I = ++nextList;
      return a;
    };
    rci.StateCache = &S();
    rci.Transformation = &ctx->PipelineTransformation();
    rci.Transformation->LoadMatricesEnabled = false;
    rci.ObjectsSorting = osRenderBlendedLast;
    rci.VisibilityCulling = vcNone;
    rci.CameraPosition = {0, 0, 0, 1};
    rci.ClipNearDistance = 1.66499f;
    rci.ClipFarDistance = 91.66499f;
    rci.DepthTestOn = true;
  }
  void TearDown() override {
    delete root;
    RecordingFixture::TearDown();
  }

  TMarker* AddMarker(int marker, TGLBaseSceneObject* parent = nullptr, bool direct = true) {
    auto* m = (parent ? parent : root)->AddNewChild<TMarker>();
    m->Marker = marker;
    if (direct) m->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
    return m;
  }
  // The markers of the objects drawn, in order.
  std::vector<int> Drawn() const {
    std::vector<int> out;
    for (const TGLRecordedCall& c : rec.Calls)
      if (c.Name == "PassThrough") out.push_back(static_cast<int>(c.Args[0].F));
    return out;
  }

  // The frustum of the editor's camera: 400 x 454 at 96 DPI, focal length 100, depth of view
  // 90, at (0, 0, 3) looking at the origin.
  void UseEditorFrustum() {
    const float n = 19200.0f / (25.4f * 454);
    TMatrix4f viewProjection;
    MultiplyMatrix4f(CreateLookAtMatrix({0, 0, 3, 1}, {0, 0, 0, 1}, {0, 1, 0, 0}),
                     CreateFrustumMatrix(-400.0f / 908, 400.0f / 908, -0.5f, 0.5f, n, n + 90),
                     viewProjection);
    ExtractFrustumPlanes(viewProjection, rci.Frustum);
  }

  static inline int nextList = 0;
  TCountingBuffer buffer;
  TRenderContextInfo rci;
  TGLBaseSceneObject* root = new TGLBaseSceneObject(nullptr);
};

}  // namespace

TEST_F(Render, DrawOrdersOfTheSortingModes) {
  struct TChild {
    int marker;
    float z;  // distance from the camera at the origin
    bool blended;
    bool visible;
  };
  struct TCase {
    const char* what;
    TGLObjectsSorting mode;
    std::vector<TChild> children;
    std::vector<int> expected;
  };
  const TCase cases[] = {
      {"blended last: the opaque ones in list order, then the blended",
       osRenderBlendedLast,
       {{1, 5, false, true}, {2, 5, true, true}, {3, 5, false, true}},
       {1, 3, 2}},
      {"blended last: blended ones farthest first",
       osRenderBlendedLast,
       {{1, 2, true, true}, {2, 9, false, true}, {3, 6, true, true}},
       {2, 3, 1}},
      {"nearest first",
       osRenderNearestFirst,
       {{1, 1, false, true}, {3, 3, false, true}, {2, 2, false, true}},
       {1, 2, 3}},
      {"farthest first",
       osRenderFarthestFirst,
       {{1, 1, false, true}, {3, 3, false, true}, {2, 2, false, true}},
       {3, 2, 1}},
      {"no sorting", osNone, {{3, 3, true, true}, {1, 1, false, true}, {2, 2, false, true}}, {3, 1, 2}},
      {"invisible children are skipped",
       osRenderNearestFirst,
       {{1, 1, false, true}, {3, 3, false, false}, {2, 2, false, true}},
       {1, 2}},
      {"a single child is drawn without sorting", osRenderNearestFirst, {{7, 4, true, true}}, {7}},
  };
  for (const TCase& c : cases) {
    root->DeleteChildren();
    for (const TChild& child : c.children) {
      TMarker* m = AddMarker(child.marker);
      m->Position()->SetPoint(0, 0, -child.z);
      m->blended = child.blended;
      m->WriteVisible(child.visible);
    }
    rci.ObjectsSorting = c.mode;
    rec.Clear();
    root->RenderChildren(0, root->GetCount() - 1, rci);
    EXPECT_EQ(Drawn(), c.expected) << c.what;
  }
  // An object's own mode overrides the inherited one for its children, and is put back.
  root->SetObjectsSorting(osRenderFarthestFirst);
  rci.ObjectsSorting = osRenderNearestFirst;
  rec.Clear();
  root->Render(rci);
  EXPECT_EQ(rci.ObjectsSorting, osRenderNearestFirst);
  AddMarker(8);
  rci.ObjectsSorting = osInherited;  // not a mode a pass can draw with
  root->SetObjectsSorting(osInherited);
  EXPECT_THROW(root->RenderChildren(0, root->GetCount() - 1, rci), common::EAssertionFailed);
  EXPECT_EQ(ctx->PipelineTransformation().StackPosition(), 0);
}

TEST_F(Render, DisplayListIsCompiledOnceAndAgainAfterAStructureChange) {
  TMarker* m = AddMarker(5, nullptr, false);
  for (int i = 0; i < 3; ++i) m->Render(rci);
  EXPECT_EQ(m->builds, 1);
  EXPECT_EQ(rec.Count("NewList"), 1u);
  EXPECT_EQ(rec.Count("EndList"), 1u);
  EXPECT_EQ(rec.Count("CallList"), 3u);
  EXPECT_TRUE(m->ListHandleAllocated());
  // A move only changes the model matrix; a visibility change of a child touches nothing either.
  m->Position()->SetPoint(1, 0, 0);
  TMarker* child = AddMarker(6, m, false);
  child->WriteVisible(false);
  m->Render(rci);
  EXPECT_EQ(m->builds, 1);
  m->StructureChanged();
  EXPECT_FALSE(m->ListHandleAllocated());
  m->Render(rci);
  EXPECT_EQ(m->builds, 2);
  EXPECT_EQ(rec.Count("NewList"), 2u);
  EXPECT_EQ(child->builds, 0);

  // A failing build still ends the list, and the next render tries again.
  m->StructureChanged();
  m->throwInBuild = true;
  rec.Clear();
  EXPECT_THROW(m->Render(rci), common::Exception);
  EXPECT_EQ(rec.Count("NewList"), 1u);
  EXPECT_EQ(rec.Calls.back().Name, "EndList");
  EXPECT_FALSE(S().InsideList());
  EXPECT_EQ(ctx->PipelineTransformation().StackPosition(), 0);
  EXPECT_EQ(CurrentRenderingObject, nullptr);
  m->throwInBuild = false;
  m->Render(rci);
  EXPECT_EQ(m->builds, 4);
  // Direct drawing and amalgamation never compile.
  rec.Clear();
  rci.Amalgamating = true;
  m->Render(rci);
  EXPECT_EQ(rec.Count("NewList"), 0u);
  EXPECT_EQ(Drawn(), std::vector<int>{5});
}

TEST_F(Render, AxesAreOneBatchOfSixSegments) {
  root->SetShowAxes(true);
  root->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  root->Render(rci);
  const std::string log = rec.Log();
  const size_t begin = log.find("Begin(1)");  // GL_LINES
  ASSERT_NE(begin, std::string::npos);
  EXPECT_EQ(log.substr(begin),
            "Begin(1); Color3f(0.5, 0, 0); Vertex3f(0, 0, 0); Vertex3f(-90, 0, 0); "
            "Color3f(1, 0, 0); Vertex3f(0, 0, 0); Vertex3f(90, 0, 0); "
            "Color3f(0, 0.5, 0); Vertex3f(0, 0, 0); Vertex3f(0, -90, 0); "
            "Color3f(0, 1, 0); Vertex3f(0, 0, 0); Vertex3f(0, 90, 0); "
            "Color3f(0, 0, 0.5); Vertex3f(0, 0, 0); Vertex3f(0, 0, -90); "
            "Color3f(0, 0, 1); Vertex3f(0, 0, 0); Vertex3f(0, 0, 90); End()");
  EXPECT_EQ(rec.Count("Begin"), 1u);
  EXPECT_NE(log.find("LineStipple(1, 52428)"), std::string::npos);  // 0xCCCC
  EXPECT_TRUE(S().IsEnabled(capDepthTest));
  EXPECT_FALSE(S().IsEnabled(capLighting));
  EXPECT_TRUE(S().IsEnabled(capBlend));
}

TEST_F(Render, DepthTestAndEffectPasses) {
  // An object that ignores the depth buffer leaves the test on, even when it was off before.
  TMarker* m = AddMarker(1);
  m->SetObjectStyle(ObjectStyleBit(sfDirectDraw) | ObjectStyleBit(sfIgnoreDepthBuffer));
  S().Disable(capDepthTest);
  rec.Clear();
  m->Render(rci);
  EXPECT_TRUE(S().IsEnabled(capDepthTest));
  EXPECT_EQ(rec.Names(), "PassThrough Enable");

  // Pushes and pops show as reloaded matrices on a stack that loads GL.
  ctx->PipelineTransformation().LoadMatricesEnabled = true;
  auto matrixLoads = [this] {
    rec.Clear();
    root->Render(rci);
    return rec.Count("LoadMatrixf");
  };
  root->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  m->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  const size_t plain = matrixLoads();
  m->Effects();  // created, still empty: no extra push or pop
  EXPECT_EQ(matrixLoads(), plain);
  new TGLObjectEffect(m->Effects());
  EXPECT_EQ(matrixLoads(), plain + 4);  // two more pops, each loading two matrices
  ctx->PipelineTransformation().LoadMatricesEnabled = false;

  // Only the children drawn (the object itself is culled): the depth test goes off around them
  // only when the buffer's own depth test is on.
  m->Effects()->Clear();
  UseEditorFrustum();
  rci.VisibilityCulling = vcObjectBased;
  root->Position()->SetPoint(0, 0, 500);  // behind the camera
  m->Position()->SetPoint(0, 0, -500);    // at the origin, in view
  root->SetObjectStyle(ObjectStyleBit(sfIgnoreDepthBuffer));
  rci.Buffer = &buffer;
  for (const bool bufferDepthTest : {true, false}) {
    buffer.depthTest = bufferDepthTest;
    rec.Clear();
    root->Render(rci);
    EXPECT_EQ(rec.Names(), bufferDepthTest ? "Disable PassThrough Enable" : "PassThrough");
  }
}

TEST_F(Render, PickingSkipsObjectsThatAreNotPickable) {
  struct TSelector : TGLPickSelector {
    std::vector<TGLBaseSceneObject*> set;
    TGLBaseSceneObject* current = nullptr;
    TGLBaseSceneObject* GetCurrentPickObject() override { return current; }
    void SetCurrentPickObject(TGLBaseSceneObject* o) override {
      set.push_back(o);
      current = o;
    }
  } selector;
  buffer.selector = &selector;
  rci.Buffer = &buffer;
  rci.DrawMode = dsPicking;
  TMarker* cube = AddMarker(1);
  TMarker* inside = AddMarker(2, cube);
  AddMarker(3);
  cube->WritePickable(false);
  root->RenderChildren(0, root->GetCount() - 1, rci);
  EXPECT_EQ(Drawn(), std::vector<int>{3});
  cube->WritePickable(true);
  selector.set.clear();
  rec.Clear();
  root->RenderChildren(0, root->GetCount() - 1, rci);
  EXPECT_EQ(Drawn(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(selector.set, (std::vector<TGLBaseSceneObject*>{cube, inside, root->Get(1)}));

  // A proxy's pass puts the previous pick object back.
  selector.set.clear();
  selector.current = root;
  rci.ProxyRender = true;
  root->Get(1)->Render(rci);
  EXPECT_EQ(selector.set, (std::vector<TGLBaseSceneObject*>{root->Get(1), root}));
}

TEST_F(Render, ModelMatrixIsTheAbsoluteOneOrTheLocalOneUnderAProxy) {
  struct TMatrixProbe : TGLBaseSceneObject {
    using TGLBaseSceneObject::TGLBaseSceneObject;
    TMatrix4f seen{};
    void BuildList(TRenderContextInfo& r) override { seen = r.Transformation->GetModelMatrix(); }
  };
  auto* parent = root->AddNewChild<TGLBaseSceneObject>();
  parent->Position()->SetPoint(0, 10, 0);
  auto* probe = parent->AddNewChild<TMatrixProbe>();
  probe->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  probe->Position()->SetPoint(1, 2, 3);
  probe->Render(rci);
  EXPECT_TRUE(VectorEquals4f(probe->seen[3], {1, 12, 3, 1}));
  rci.ProxyRender = true;
  ctx->PipelineTransformation().SetModelMatrix(CreateTranslationMatrix3f({100, 0, 0}));
  probe->Render(rci);
  EXPECT_TRUE(VectorEquals4f(probe->seen[3], {101, 2, 3, 1}));
  EXPECT_EQ(ctx->PipelineTransformation().GetModelMatrix()[3].X, 100);  // popped back
}

TEST_F(Render, ObjectBasedCullingAgreesWithNumpy) {
  UseEditorFrustum();
  root->SetVisibilityCulling(vcObjectBased);
  rci.ObjectsSorting = osNone;
  std::vector<int> expected;
  int marker = 0;
  for (const TCullCase& c : kCullCases) {
    TMarker* m = AddMarker(marker);
    m->Position()->SetPoint(c.centre[0], c.centre[1], c.centre[2]);
    // The bounding sphere of the unit box scaled by s has the radius s·√3/2.
    const float s = c.radius / 0.8660254f;
    TGLCoordinates3 scale(nullptr, {s, s, s, 0}, ckVector);
    m->SetScale(scale);
    if (!c.clipped) expected.push_back(marker);
    ++marker;
  }
  root->RenderChildren(0, root->GetCount() - 1, rci);
  EXPECT_EQ(Drawn(), expected);
  EXPECT_GT(expected.size(), 10u);
  EXPECT_LT(expected.size(), std::size(kCullCases) - 10);

  // An object that is never culled, and hierarchical culling of a subtree where it is in the
  // world (a box at (100, 0, 0) is outside, though its local box is around the origin).
  root->DeleteChildren();
  TMarker* never = AddMarker(1);
  never->Position()->SetPoint(0, 0, 500);
  never->SetObjectStyle(ObjectStyleBit(sfDirectDraw) | ObjectStyleBit(sfNoVisibilityCulling));
  TMarker* far = AddMarker(2);
  far->Position()->SetPoint(100, 0, 0);
  AddMarker(3, far);
  AddMarker(5, AddMarker(4))->Position()->SetPoint(0.5f, 0, 0);
  root->SetVisibilityCulling(vcHierarchical);
  rec.Clear();
  root->RenderChildren(0, root->GetCount() - 1, rci);
  EXPECT_EQ(Drawn(), (std::vector<int>{1, 4, 5}));
}

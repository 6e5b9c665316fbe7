// The scene object: its tree operations and their orders, placement and matrices, Euler angles,
// SetMatrix, the orbit, change notification, light slots through the tree, copies and storage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "SceneTestSupport.h"

using namespace gl3d;
using gl3d::test::TCountingBuffer;
using gl3d::test::TCountingObject;

namespace {

std::vector<std::string> ChildNames(const TGLBaseSceneObject& parent) {
  std::vector<std::string> names;
  for (int i = 0; i < parent.GetCount(); ++i) names.push_back(parent.Get(i)->Name());
  return names;
}

TGLBaseSceneObject* Named(TGLBaseSceneObject* object, const char* name) {
  object->SetName(name);
  return object;
}

void ExpectVector(const TVector4f& v, float x, float y, float z, float w, float tol = 1e-6f) {
  EXPECT_NEAR(v.X, x, tol);
  EXPECT_NEAR(v.Y, y, tol);
  EXPECT_NEAR(v.Z, z, tol);
  EXPECT_NEAR(v.W, w, tol);
}

void ExpectMatrix(const TMatrix4f& a, const TMatrix4f& b, float tol = 1e-5f) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(a[i][j], b[i][j], tol) << "[" << i << "][" << j << "]";
}

// A scene whose one buffer counts the notices.
struct TSceneFixture {
  TComponent form{nullptr};
  TGL3DScene* scene = new TGL3DScene(&form);
  TCountingBuffer buffer;
  TSceneFixture() { scene->AddBuffer(&buffer); }
  ~TSceneFixture() { scene->RemoveBuffer(&buffer); }
  template <class T = TCountingObject>
  T* Add(TGLBaseSceneObject* parent = nullptr) {
    return (parent ? parent : scene->Objects())->AddNewChild<T>();
  }
};

}  // namespace

TEST(SceneObject, NewObjectAndOrthonormalDirectionAndUp) {
  TGLBaseSceneObject object(nullptr);
  ExpectMatrix(object.LocalMatrix(), IdentityMatrix4f, 0);
  EXPECT_TRUE(object.Position()->Equals({0, 0, 0, 1}));
  EXPECT_TRUE(object.Direction()->Equals({0, 0, 1, 0}));
  EXPECT_TRUE(object.Up()->Equals({0, 1, 0, 0}));
  EXPECT_TRUE(object.Scale()->Equals({1, 1, 1, 0}));
  EXPECT_TRUE(object.GetVisible());
  EXPECT_TRUE(object.GetPickable());
  ExpectMatrix(object.GetMatrix(), IdentityMatrix4f, 0);

  // Each row: the Direction written, then the Up written (zero: not written), and the result.
  struct TCase {
    TVector4f direction, up, expectedDirection, expectedUp;
  };
  const TCase cases[] = {
      // Direction along Up: Right falls back to (0, 0, 1) × Up.
      {{0, 1, 0, 0}, {0, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}},
      // The editor's dummy cube.
      {{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}},
      // Direction along z with Up along z: both fallbacks needed for Up, x for the second.
      {{0, 0, -1, 0}, {0, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}},
      // A slanted Up is made perpendicular to Direction, lengths become 1.
      {{0, 0, 2, 0}, {0, 3, 3, 0}, {0, -0.7071068f, 0.7071068f, 0}, {0, 0.7071068f, 0.7071068f, 0}},
  };
  for (const TCase& c : cases) {
    TGLBaseSceneObject o(nullptr);
    TGLCoordinates3 d(nullptr, c.direction, ckVector), u(nullptr, c.up, ckVector);
    o.SetDirection(d);
    o.SetUp(u);
    ExpectVector(o.Direction()->AsVector(), c.expectedDirection.X, c.expectedDirection.Y,
                 c.expectedDirection.Z, 0);
    ExpectVector(o.Up()->AsVector(), c.expectedUp.X, c.expectedUp.Y, c.expectedUp.Z, 0);
  }
  // The dummy cube's local rows: X = Up × Direction, Y = Up, Z = Direction.
  TGLBaseSceneObject cube(nullptr);
  TGLCoordinates3 d(nullptr, {0, 1, 0, 0}, ckVector), u(nullptr, {1, 0, 0, 0}, ckVector);
  cube.SetDirection(d);
  cube.SetUp(u);
  ExpectMatrix(cube.GetMatrix(), {{{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}});

  // A zero vector is ignored by the setters; one written straight into the coordinates becomes
  // the default axis.
  TGLCoordinates3 zero(nullptr, {0, 0, 0, 0}, ckVector);
  cube.SetDirection(zero);
  ExpectVector(cube.Direction()->AsVector(), 0, 1, 0, 0);
  cube.Direction()->SetVector(0, 0, 0);
  ExpectVector(cube.Direction()->AsVector(), 0, 0, 1, 0);
  cube.Up()->SetVector(0, 0, 0);
  ExpectVector(cube.Up()->AsVector(), 0, 1, 0, 0);
}

TEST(SceneObject, AbsoluteAndInverseMatricesFollowTheParents) {
  TSceneFixture f;
  TGLBaseSceneObject* parent = f.Add();
  TGLBaseSceneObject* child = f.Add(parent);
  parent->Position()->SetPoint(1, 2, 3);
  parent->SetTurnAngle(90);
  child->Position()->SetPoint(0, 0, 2);
  // Directly under the root: the absolute matrix is the local one.
  ExpectMatrix(parent->GetAbsoluteMatrix(), parent->GetMatrix(), 0);
  TMatrix4f expected;
  MultiplyMatrix4f(child->GetMatrix(), parent->GetAbsoluteMatrix(), expected);
  ExpectMatrix(child->GetAbsoluteMatrix(), expected);
  const TVector4f p = child->AbsolutePosition();
  // A turn of +90 degrees takes the parent's Direction from (0, 0, 1) to (1, 0, 0): the child's
  // local (0, 0, 2) lies 2 along +x from the parent.
  EXPECT_NEAR(p.X, 3, 1e-5);
  EXPECT_NEAR(p.Y, 2, 1e-5);
  EXPECT_NEAR(p.Z, 3, 1e-5);

  // Both inversions: unit scale (the cheap path) and a general scale.
  for (const float s : {1.0f, 2.5f}) {
    TGLCoordinates3 scale(nullptr, {s, s, s, 0}, ckVector);
    child->SetScale(scale);
    TMatrix4f product;
    MultiplyMatrix4f(child->GetAbsoluteMatrix(), child->GetInvAbsoluteMatrix(), product);
    ExpectMatrix(product, IdentityMatrix4f);
    const TVector4f local{0.25f, -1, 4, 1};
    ExpectVector(child->AbsoluteToLocal(child->LocalToAbsolute(local)), 0.25f, -1, 4, 1, 2e-5f);
  }
  // A parent's move reaches the child's absolute matrix.
  parent->Position()->SetPoint(11, 2, 3);
  EXPECT_NEAR(child->AbsolutePosition().X - p.X, 10, 1e-5);
  ExpectVector(child->RightVector(), -1, 0, 0, 0);
  ExpectVector(child->LeftVector(), 1, 0, 0, 0);
}

TEST(SceneObject, SetMatrixKeepsRotationScaleAndTranslation) {
  TGLBaseSceneObject object(nullptr);
  // A rotation about z, scaled by 2, moved to (4, 5, 6).
  TMatrix4f m = CreateRotationMatrixZ(0.5f);
  for (int i = 0; i < 3; ++i) ScaleVector4f(m[i], 2);
  m[3] = {4, 5, 6, 1};
  object.SetMatrix(m);
  ExpectMatrix(object.GetMatrix(), m);
  ExpectVector(object.Scale()->AsVector(), 2, 2, 2, 0);

  // A mirror (row X negated) is not kept: the rebuilt X axis is Up × Direction again.
  TMatrix4f mirrored = IdentityMatrix4f;
  mirrored[0] = {-1, 0, 0, 0};
  object.SetMatrix(mirrored);
  ExpectMatrix(object.GetMatrix(), IdentityMatrix4f);

  // A zero row keeps the previous Direction / Up instead of a zero axis.
  TGLCoordinates3 d(nullptr, {1, 0, 0, 0}, ckVector);
  object.SetDirection(d);
  TMatrix4f flat = IdentityMatrix4f;
  flat[2] = {0, 0, 0, 0};
  object.SetMatrix(flat);
  ExpectVector(object.Direction()->AsVector(), 1, 0, 0, 0);
  EXPECT_EQ(object.Scale()->Z(), 0);
  flat = IdentityMatrix4f;
  flat[1] = {0, 0, 0, 0};
  object.SetMatrix(flat);
  ExpectVector(object.Up()->AsVector(), 0, 1, 0, 0);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_FALSE(std::isnan(object.GetMatrix()[i][j]));
}

TEST(SceneObject, EulerAnglesTurnTheAxesAndAreStoredNormalised) {
  TGLBaseSceneObject object(nullptr);
  object.SetTurnAngle(90);
  EXPECT_EQ(object.TurnAngle(), 90);
  // A turn of +90 degrees about Up takes Direction (0, 0, 1) to (1, 0, 0).
  ExpectVector(object.Direction()->AsVector(), 1, 0, 0, 0);
  ExpectVector(object.Up()->AsVector(), 0, 1, 0, 0);
  object.SetTurnAngle(0);
  ExpectVector(object.Direction()->AsVector(), 0, 0, 1, 0);
  object.SetPitchAngle(90);
  ExpectVector(object.Up()->AsVector(), 0, 0, -1, 0);
  object.SetRollAngle(270);
  EXPECT_EQ(object.RollAngle(), -90);
  object.SetPitchAngle(-540);
  EXPECT_EQ(object.PitchAngle(), -180);

  // While loading only the stored angle changes.
  TGLBaseSceneObject loading(nullptr);
  loading.Loading();
  loading.SetTurnAngle(45);
  EXPECT_EQ(loading.TurnAngle(), 45);
  EXPECT_TRUE(loading.Direction()->Equals({0, 0, 1, 0}));
  loading.Loaded();
  EXPECT_TRUE(loading.Position()->Equals({0, 0, 0, 1}));
}

TEST(SceneObject, NotificationCounts) {
  struct TCase {
    const char* what;
    void (*act)(TSceneFixture& f, TCountingObject& o);
    int buffer;       // notices the buffer gets
    int coordinates;  // coordinate notices the object hears
  };
  const TCase cases[] = {
      {"a second TransformationChanged is silent",
       [](TSceneFixture&, TCountingObject& o) {
         o.TransformationChanged();
         o.TransformationChanged();
       },
       1, 0},
      {"an equal SetPoint notifies once",
       [](TSceneFixture&, TCountingObject& o) { o.Position()->SetPoint(0, 0, 0); }, 1, 1},
      {"changes inside the object's update send one notice",
       [](TSceneFixture&, TCountingObject& o) {
         o.BeginUpdate();
         o.Position()->SetPoint(1, 2, 3);
         o.WriteVisible(false);
         o.SetShowAxes(true);
         o.EndUpdate();
       },
       1, 1},
      {"changes inside the scene's update send one notice",
       [](TSceneFixture& f, TCountingObject& o) {
         f.scene->BeginUpdate();
         o.Position()->SetPoint(1, 2, 3);
         o.WritePickable(false);
         f.scene->EndUpdate();
       },
       1, 1},
      {"an equal Visible is silent", [](TSceneFixture&, TCountingObject& o) { o.WriteVisible(true); }, 0, 0},
      {"StructureChanged notifies once without direct drawing",
       [](TSceneFixture&, TCountingObject& o) {
         o.ClearStructureChanged();
         o.StructureChanged();
         o.StructureChanged();
       },
       1, 0},
      {"with direct drawing every StructureChanged notifies",
       [](TSceneFixture&, TCountingObject& o) {
         o.SetObjectStyle(ObjectStyleBit(sfDirectDraw));
         o.ClearStructureChanged();
         o.StructureChanged();
         o.StructureChanged();
       },
       2, 0},
      {"a transformation change while loading is silent",
       [](TSceneFixture&, TCountingObject& o) {
         o.GetMatrix();
         o.Loading();
         o.TransformationChanged();
       },
       0, 0},
  };
  for (const TCase& c : cases) {
    TSceneFixture f;
    auto* o = f.Add();
    o->GetMatrix();  // clean matrices, as after a render
    f.buffer.notices = 0;
    o->coordinateNotices = 0;
    c.act(f, *o);
    EXPECT_EQ(f.buffer.notices, c.buffer) << c.what;
    EXPECT_EQ(o->coordinateNotices, c.coordinates) << c.what;
  }

  TGLBaseSceneObject object(nullptr);
  try {
    object.EndUpdate();
    FAIL();
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Unbalanced Begin/EndUpdate");
  }
  EXPECT_FALSE(object.IsUpdating());
  object.BeginUpdate();
  EXPECT_TRUE(object.IsUpdating());
  object.EndUpdate();
  EXPECT_FALSE(object.IsUpdating());
}

TEST(SceneObject, ZeroOrbitsLeavePositionAloneAndSmallOrbitsKeepTheDistance) {
  TSceneFixture f;
  auto* target = f.Add<TGLBaseSceneObject>();
  auto* camera = f.Add<TGLCamera>();
  camera->SetTargetObject(target);
  camera->Position()->SetPoint(0, 0, 3);
  camera->GetMatrix();
  auto* counted = f.Add();  // an orbiting object that counts its coordinate notices
  counted->Position()->SetPoint(0.3f, 0.4f, 2);
  counted->GetMatrix();
  f.buffer.notices = 0;
  counted->coordinateNotices = 0;

  const TVector4f before = camera->Position()->AsVector();
  for (int i = 0; i < 1000; ++i) {
    camera->MoveAroundTarget(0, 0);
    camera->MoveAroundTarget(-0.0f, -0.0f);
  }
  EXPECT_EQ(std::memcmp(&before, &camera->Position()->AsVector(), sizeof before), 0);
  EXPECT_EQ(f.buffer.notices, 0);

  counted->MoveObjectAround(target, 0.5f, 0);
  EXPECT_EQ(counted->coordinateNotices, 1);
  EXPECT_EQ(f.buffer.notices, 1);
  const float distance = std::sqrt(0.3f * 0.3f + 0.4f * 0.4f + 4);
  const TVector4f p = counted->Position()->AsVector();
  EXPECT_NEAR(std::sqrt(p.X * p.X + p.Y * p.Y + p.Z * p.Z), distance, 1e-5);
  EXPECT_EQ(p.W, 1);

  // A positive turn of a quarter takes (0, 0, 3) to (3, 0, 0), keeping y.
  camera->MoveAroundTarget(0, 90);
  ExpectVector(camera->Position()->AsVector(), 3, 0, 0, 1, 2e-6f);
  // A negative pitch lifts the camera towards the up axis and stops 0.025 rad short of it; a
  // positive one lowers it and stops 0.025 rad short of the axis below, on the same side.
  camera->MoveAroundTarget(-400, 0);
  const TVector4f top = camera->Position()->AsVector();
  EXPECT_NEAR(std::acos(top.Y / 3), 0.025f, 1e-5);
  EXPECT_GT(top.X, 0);
  camera->MoveAroundTarget(400, 0);
  const TVector4f bottom = camera->Position()->AsVector();
  EXPECT_NEAR(std::acos(bottom.Y / 3), static_cast<float>(M_PI) - 0.025f, 1e-5);
  EXPECT_GT(bottom.X, 0);

  // No target, or sitting on the target: nothing, and never a NaN.
  camera->MoveObjectAround(nullptr, 10, 10);
  auto* onTarget = f.Add<TGLBaseSceneObject>();
  onTarget->MoveObjectAround(target, 10, 10);
  EXPECT_TRUE(onTarget->Position()->Equals({0, 0, 0, 1}));
  // An up vector exactly along the line to the target: the clamped cosine keeps it finite.
  auto* above = f.Add<TGLBaseSceneObject>();
  above->Position()->SetPoint(0, 5, 0);
  above->MoveObjectAround(target, 1, 1);
  EXPECT_FALSE(std::isnan(above->Position()->X()));
  EXPECT_NEAR(std::sqrt(above->Position()->X() * above->Position()->X() +
                        above->Position()->Y() * above->Position()->Y() +
                        above->Position()->Z() * above->Position()->Z()),
              5, 1e-4);
}

TEST(SceneObject, OrbitOfAChildMovesItInItsParentsFrame) {
  TSceneFixture f;
  auto* target = f.Add<TGLBaseSceneObject>();
  auto* holder = f.Add<TGLBaseSceneObject>();
  holder->Position()->SetPoint(10, 0, 0);
  auto* child = f.Add<TGLBaseSceneObject>(holder);
  child->Position()->SetPoint(-10, 0, 3);  // absolute (0, 0, 3)
  child->MoveObjectAround(target, 0, 90);
  const TVector4f absolute = child->AbsolutePosition();
  // Turned by -90 degrees about Up (0, 1, 0): from +z to +x.
  EXPECT_NEAR(absolute.X, 3, 1e-5);
  EXPECT_NEAR(absolute.Z, 0, 1e-5);
  EXPECT_NEAR(child->Position()->X(), absolute.X - 10, 1e-5);
}

TEST(SceneObject, TreeOrders) {
  TComponent form(nullptr);
  TGLBaseSceneObject root(&form);
  TGLBaseSceneObject* x = Named(root.AddNewChild<TGLBaseSceneObject>(), "X");
  TGLBaseSceneObject* a = Named(x->AddNewChild<TGLBaseSceneObject>(), "A");
  Named(x->AddNewChild<TGLBaseSceneObject>(), "B");
  Named(x->AddNewChild<TGLBaseSceneObject>(), "C");
  EXPECT_EQ(a->Owner(), &form);  // AddNewChild gives the parent's owner
  EXPECT_EQ(root.GetIndex(), -1);
  EXPECT_EQ(a->GetIndex(), 0);

  // Remove with keepChildren appends the children here, last one first.
  root.Remove(x, true);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_EQ(x->Parent(), nullptr);
  EXPECT_EQ(x->GetCount(), 0);
  delete x;

  // SetIndex clamps: 99 is the last place, -5 the first.
  root.Get(0)->SetIndex(99);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"B", "A", "C"}));
  root.Get(1)->SetIndex(-5);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"A", "B", "C"}));

  // A bad position changes nothing, also not the child's former parent.
  TGLBaseSceneObject other(nullptr);
  TGLBaseSceneObject* c = root.Get(2);
  EXPECT_THROW(other.Insert(1, c), EListError);
  EXPECT_EQ(c->Parent(), &root);
  other.Insert(0, c);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(c->Parent(), &other);
  root.Insert(1, c);
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"A", "C", "B"}));
  root.Get(0)->MoveTo(root.Get(2));
  EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"C", "B"}));
  EXPECT_EQ(ChildNames(*root.Get(1)), std::vector<std::string>{"A"});
  TGLBaseSceneObject* first = root.AddNewChildFirst(&CreateSceneObject<TGLBaseSceneObject>);
  EXPECT_EQ(first->GetIndex(), 0);

  // Removing a child that this object owns releases it.
  auto* owned = new TGLBaseSceneObject(&root);
  root.AddChild(owned);
  root.Remove(owned, false);
  EXPECT_EQ(owned->Owner(), nullptr);
  delete owned;
  EXPECT_EQ(root.Get(0), first);
  EXPECT_EQ(TGLBaseSceneObject(nullptr).Get(0), nullptr);
  EXPECT_THROW(root.Get(7), EListError);
}

TEST(SceneObject, CamerasInAFreedSubtreeGoFirstAndTheirChildrenMoveUp) {
  TComponent form(nullptr);
  auto* holder = new TGLBaseSceneObject(&form);
  auto* camera = holder->AddNewChild<TGLCamera>();
  auto* light = camera->AddNewChild<TGLLightSource>();
  auto* cube = holder->AddNewChild<TGLBaseSceneObject>();
  holder->FreeCamerasInSubtree();
  EXPECT_EQ(holder->GetCount(), 2);
  EXPECT_EQ(holder->Get(0), cube);
  EXPECT_EQ(holder->Get(1), light);
  EXPECT_EQ(light->Parent(), holder);

  // Freeing an object frees its cameras and its whole subtree; the form keeps nothing dangling.
  auto* nested = cube->AddNewChild<TGLCamera>();
  nested->AddNewChild<TGLBaseSceneObject>();
  EXPECT_EQ(form.ComponentCount(), 5);
  delete holder;
  EXPECT_EQ(form.ComponentCount(), 0);
}

TEST(SceneObject, LightSlotsFollowTheTree) {
  TSceneFixture f;
  std::vector<TGLLightSource*> lights;
  for (int i = 0; i < 9; ++i) lights.push_back(f.Add<TGLLightSource>());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(f.scene->Lights()[i], lights[static_cast<size_t>(i)]);
  EXPECT_EQ(f.scene->Lights().IndexOf(lights[8]), -1);  // the ninth has no slot

  // The second leaves: slot 1 is free and the next light takes it.
  delete lights[1];
  EXPECT_EQ(f.scene->Lights()[1], nullptr);
  auto* next = f.Add<TGLLightSource>();
  EXPECT_EQ(next->LightID(), 1);

  // Moving a light inside the scene keeps its slot.
  auto* holder = f.Add<TGLBaseSceneObject>();
  lights[3]->MoveTo(holder);
  EXPECT_EQ(lights[3]->LightID(), 3);
  EXPECT_EQ(f.scene->Lights()[3], lights[3]);

  // Deleting the children frees the slots of the whole subtree, the object's own included.
  lights[7]->MoveTo(lights[4]);
  EXPECT_EQ(f.scene->Lights()[7], lights[7]);
  lights[4]->DeleteChildren();
  EXPECT_EQ(f.scene->Lights()[4], nullptr);
  EXPECT_EQ(f.scene->Lights()[7], nullptr);
  f.scene->AddLight(lights[4]);
  EXPECT_EQ(f.scene->Lights()[4], lights[4]);

  // Leaving the scene gives the slot back.
  lights[5]->MoveTo(nullptr);
  EXPECT_EQ(f.scene->Lights()[5], nullptr);
  EXPECT_EQ(lights[5]->Scene(), nullptr);
  delete lights[5];
  // Registering a light that has a slot takes no second one.
  f.scene->AddLight(lights[3]);
  EXPECT_EQ(f.scene->Lights()[5], nullptr);
  // A child appended again where it already is moves to the end, listed once.
  auto* other = f.Add<TGLBaseSceneObject>(holder);
  holder->AddChild(lights[3]);
  EXPECT_EQ(holder->GetCount(), 2);
  EXPECT_EQ(holder->Get(0), other);
  EXPECT_EQ(holder->Get(1), lights[3]);
  EXPECT_EQ(lights[3]->LightID(), 3);
  // Appended to another parent, it leaves the first one's list.
  other->AddChild(lights[3]);
  EXPECT_EQ(holder->GetCount(), 1);
  EXPECT_EQ(lights[3]->Parent(), other);
  delete lights[3];
  EXPECT_EQ(f.scene->Lights()[3], nullptr);
  f.scene->AddLight(lights[6]);  // already in slot 6
  EXPECT_EQ(f.scene->Lights()[3], nullptr);
  // A light moved into a scene from outside takes the first free slot.
  auto* outsider = new TGLLightSource(nullptr);
  holder->AddChild(outsider);
  EXPECT_EQ(f.scene->Lights()[3], outsider);
  EXPECT_EQ(outsider->LightID(), 3);
}

TEST(SceneObject, AssignCopiesPlacementChildrenAndCollections) {
  TSceneFixture f;
  auto* source = f.Add<TGLBaseSceneObject>();
  source->Position()->SetPoint(1, 2, 3);
  source->SetTurnAngle(30);
  source->SetShowAxes(true);
  source->SetObjectsSorting(osRenderNearestFirst);
  source->SetTag(7);
  source->SetTagFloat(0.5f);
  source->AddNewChild<TGLCamera>()->SetFocalLength(80);
  source->AddNewChild<TGLLightSource>();
  (new TGLBehaviour(source->Behaviours()))->SetName("spin");

  auto* copy = f.Add<TGLBaseSceneObject>();
  copy->Effects();
  copy->AddNewChild<TGLBaseSceneObject>();
  copy->Assign(source);
  ExpectMatrix(copy->GetMatrix(), source->GetMatrix());
  EXPECT_EQ(copy->TurnAngle(), 30);
  EXPECT_TRUE(copy->ShowAxes());
  EXPECT_EQ(copy->ObjectsSorting(), osRenderNearestFirst);
  EXPECT_EQ(copy->Tag(), 7);
  EXPECT_EQ(copy->TagFloat(), 0.5f);
  ASSERT_EQ(copy->GetCount(), 2);
  ASSERT_NE(dynamic_cast<TGLCamera*>(copy->Get(0)), nullptr);
  EXPECT_EQ(static_cast<TGLCamera*>(copy->Get(0))->FocalLength(), 80);
  EXPECT_NE(dynamic_cast<TGLLightSource*>(copy->Get(1)), nullptr);
  EXPECT_EQ(copy->Behaviours()->GetBehaviour(0)->Name(), "spin");
  EXPECT_EQ(copy->Effects()->Count(), 0);  // the source has none: freed, made anew on request
  TPersistent notAnObject;
  EXPECT_THROW(copy->Assign(&notAnObject), EConvertError);
}

TEST(SceneObject, StorageHooks) {
  TSceneFixture f;
  auto* top = f.Add<TGLBaseSceneObject>();
  auto* inner = f.Add<TGLBaseSceneObject>(top);
  EXPECT_EQ(top->GetParentComponent(), f.scene);
  EXPECT_EQ(inner->GetParentComponent(), top);
  EXPECT_TRUE(inner->HasParent());

  auto* loose = new TGLBaseSceneObject(&f.form);
  EXPECT_FALSE(loose->HasParent());
  loose->WriteParentComponent(f.scene);
  EXPECT_EQ(loose->Parent(), f.scene->Objects());
  loose->WriteParentComponent(inner);
  EXPECT_EQ(loose->Parent(), inner);
  loose->WriteParentComponent(&f.form);  // neither a scene nor an object: out of the tree
  EXPECT_EQ(loose->Parent(), nullptr);
  EXPECT_EQ(loose->Scene(), nullptr);
  inner->AddChild(loose);

  // The scene's children are the root's, sub-components left out.
  auto* sub = f.Add<TGLBaseSceneObject>();
  sub->SetSubComponent(true);
  std::vector<TComponent*> seen;
  f.scene->ReadChildren([&seen](TComponent* c) { seen.push_back(c); });
  EXPECT_EQ(seen, std::vector<TComponent*>{top});
  f.scene->SetChildOrder(sub, 0);
  EXPECT_EQ(sub->GetIndex(), 0);
  EXPECT_THROW(f.scene->SetChildOrder(&f.form, 0), EInvalidCast);

  // A rename calls the hook, an equal name does not.
  std::vector<std::string> renamed;
  SceneObjectNameChangeHook = [&renamed](TGLBaseSceneObject* o) { renamed.push_back(o->Name()); };
  top->SetName("GLDummyCube1");
  top->SetName("GLDummyCube1");
  SceneObjectNameChangeHook = nullptr;
  EXPECT_EQ(renamed, std::vector<std::string>{"GLDummyCube1"});

  // The end of a load makes Position a point again.
  top->Loading();
  top->Position()->AssignVectorQuietly({1, 2, 3, 0});
  top->Loaded();
  EXPECT_TRUE(top->Position()->Equals({1, 2, 3, 1}));
  EXPECT_FALSE(top->IsLoading());

  // The scene reads with its owner as the reader's root and puts the old root back, also when
  // the read fails.
  TComponent otherRoot(nullptr);
  TMemoryStream bad(std::string("\x05Bogus\x02\x01\x00", 9));
  TReader reader(bad);
  reader.SetRoot(&otherRoot);
  EXPECT_THROW(f.scene->ReadState(reader), EReadError);
  EXPECT_EQ(reader.Root(), &otherRoot);
}

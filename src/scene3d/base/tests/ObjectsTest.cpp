// Change propagation, colours, extensible collections, silhouettes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/GLColor.h"
#include "scene3d/base/Silhouette.h"
#include "scene3d/base/XCollection.h"

using namespace gl3d;

namespace {

using Bytes = std::vector<uint8_t>;
Bytes ObjectBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string ObjectText(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A property object whose batched edits raise the updating counter.
class TProp : public TGLUpdateAbleObject {
 public:
  using TGLUpdateAbleObject::TGLUpdateAbleObject;
  int heard = 0;
  std::vector<TObject*> senders;
  void SetUpdating(int n) { updating_ = n; }
  void NotifyChange(TObject* sender) override {
    ++heard;
    senders.push_back(sender);
    TGLUpdateAbleObject::NotifyChange(sender);
  }
};

class TComp : public TGLUpdateAbleComponent {
 public:
  using TGLUpdateAbleComponent::TGLUpdateAbleComponent;
  int heard = 0;
  TObject* lastSender = nullptr;
  void NotifyChange(TObject* sender) override {
    ++heard;
    lastSender = sender;
    TGLUpdateAbleComponent::NotifyChange(sender);
  }
};

}  // namespace

TEST(ChangePropagation, ReachesOwnersWithTheDirectChildAsSender) {
  TComp root(nullptr);
  auto* child = new TComp(&root);
  TProp parent(child);
  TProp leaf(&parent);
  int fired = 0;
  leaf.OnPropertyChange = [&](TObject* s) {
    ++fired;
    EXPECT_EQ(s, &leaf);
  };
  leaf.NotifyChange(nullptr);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(parent.heard, 1);
  EXPECT_EQ(parent.senders[0], &leaf);
  EXPECT_EQ(child->heard, 1);
  EXPECT_EQ(child->lastSender, &parent);
  EXPECT_EQ(root.heard, 1);
  EXPECT_EQ(root.lastSender, child);

  // Updating: nothing is propagated and the event does not fire, until the counter is back to 0.
  leaf.SetUpdating(2);
  leaf.NotifyChange(&leaf);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(parent.heard, 1);
  leaf.SetUpdating(0);
  leaf.NotifyChange(&leaf);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(parent.heard, 2);

  // An owner of another class is not told; the object's own event still fires.
  TPersistent plain;
  TProp orphan(&plain);
  int orphanFired = 0;
  orphan.OnPropertyChange = [&](TObject*) { ++orphanFired; };
  orphan.NotifyChange(&orphan);
  EXPECT_EQ(orphanFired, 1);

  // A component whose owner is a plain component stops the propagation there.
  TComponent form(nullptr);
  auto* onForm = new TComp(&form);
  onForm->NotifyChange(onForm);
  EXPECT_EQ(onForm->heard, 1);
}

TEST(DataFile, BaseClassCannotReadOrWrite) {
  const std::string dir = ::testing::TempDir() + "/scene3d_datafile";
  std::filesystem::create_directories(dir);
  TDataFile file(nullptr);
  EXPECT_EQ(file.Capabilities(), dfcRead);
  try {
    file.SaveToFile(dir + "/out.bin");
    FAIL();
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Export for TDataFile to TFileStream not available.");
  }
  EXPECT_EQ(file.ResourceName(), "out.bin");
  try {
    file.LoadFromFile(dir + "/out.bin");
    FAIL();
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Imaport for TDataFile to TFileStream not available.");
  }
  EXPECT_THROW(file.LoadFromFile(dir + "/missing.bin"), common::Exception);
  EXPECT_EQ(file.ResourceName(), "missing.bin");
  auto copy = file.CreateCopy(&file);
  EXPECT_EQ(copy->Owner(), &file);
  std::filesystem::remove_all(dir);
}

TEST(GLColor, NotificationPaths) {
  TProp owner(nullptr);
  TGLColor color(&owner);
  EXPECT_EQ(color.Alpha(), 1);
  int fired = 0;
  color.OnPropertyChange = [&](TObject*) { ++fired; };
  color.SetColorComponent(3, 1.0f);  // unchanged
  EXPECT_EQ(owner.heard, 0);
  color.SetColorComponent(0, 0.5f);  // once through the interface, once through the inherited path
  EXPECT_EQ(owner.heard, 2);
  EXPECT_EQ(fired, 1);
  color.SetColor(color.Color());  // always notifies
  EXPECT_EQ(owner.heard, 4);

  int orphanFired = 0;
  TGLColor orphan(nullptr, {1, 0, 0, 1}, [&](TObject*) { ++orphanFired; });
  orphan.SetColor({0, 1, 0, 1});
  orphan.SetRed(0.25f);
  EXPECT_EQ(orphanFired, 0);
  EXPECT_EQ(orphan.Red(), 0.25f);

  TGLColor other(nullptr);
  other.Assign(&orphan);
  EXPECT_EQ(other.Green(), 1);
  TProp notAColour(nullptr);
  EXPECT_THROW(other.Assign(&notAColour), EConvertError);
  EXPECT_EQ(color.ColorAddress()[0], 0.5f);
}

TEST(GLColor, StoredColorProperty) {
  // A form's "Color" data 00 00 80 3F 00.. 00 00 80 3F reads as (1, 0, 0, 1) without notification.
  TMemoryStream ms;
  TWriter w(ms);
  w.WritePropName("Color");
  w.WriteValue(vaBinary);
  const Bytes data = {16, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F};
  w.Write(data.data(), static_cast<int64_t>(data.size()));
  w.WriteListEnd();
  TProp owner(nullptr);
  TGLColor color(&owner);
  ms.SetPosition(0);
  TReader r(ms);
  r.ReadDefinedProperties(color);
  EXPECT_EQ(color.Red(), 1);
  EXPECT_EQ(color.Green(), 0);
  EXPECT_EQ(color.Alpha(), 1);
  EXPECT_EQ(owner.heard, 0);

  // Written for every colour, and read back.
  TMemoryStream out;
  TWriter w2(out);
  w2.WriteDefinedProperties(color);
  EXPECT_EQ(ObjectBytes(out.DataString()),
            (Bytes{5,    'C', 'o', 'l', 'o', 'r', 10, 16, 0, 0, 0, 0,    0,    0x80,
                   0x3F, 0,   0,   0,   0,   0,   0,  0,  0, 0, 0, 0x80, 0x3F, 0}));
  // Short colour data fails with the read error.
  TMemoryStream bad(ObjectText({5, 'C', 'o', 'l', 'o', 'r', 10, 4, 0, 0, 0, 0, 0, 0x80, 0x3F, 0}));
  TReader r2(bad);
  EXPECT_THROW(r2.ReadDefinedProperties(color), EReadError);
  TMemoryStream huge(ObjectText({5, 'C', 'o', 'l', 'o', 'r', 10, 0xFF, 0xFF, 0xFF, 0x7F, 0}));
  TReader r3(huge);
  EXPECT_THROW(r3.ReadDefinedProperties(color), EReadError);
}

TEST(GLColor, WindowsColourValues) {
  TVector4f v;
  WinColorToVector4f(0x0000FF, v, 1);
  EXPECT_EQ(v.X, 1);
  EXPECT_EQ(v.Y, 0);
  EXPECT_EQ(v.W, 1);
  WinColorToVector4f(0x808080, v, 0.5f);
  EXPECT_FLOAT_EQ(v.X, 128.0f / 255);
  EXPECT_FLOAT_EQ(v.Z, 128.0f / 255);
  EXPECT_EQ(v.W, 0.5f);
  SetSysColorResolver([](int32_t c) { return c == -2147483633 ? 0x00FF00 : 0; });
  WinColorToVector4f(-2147483633, v, 1);  // a system colour
  EXPECT_EQ(v.Y, 1);
  SetSysColorResolver(nullptr);
  EXPECT_EQ(GetBlueValue(0x123456), 0x12);
  EXPECT_EQ(GetGreenValue(0x123456), 0x34);
  EXPECT_EQ(GetRedValue(0x123456), 0x56);
}

// ---- Extensible collections ----

namespace {

class TBehaviour : public TXCollectionItem {
 public:
  static const TXCollectionItemClass StaticClass;
  explicit TBehaviour(TXCollection* owner, const TXCollectionItemClass& cls = StaticClass)
      : TXCollectionItem(owner, cls) {}
  int32_t data = 0;
  void WriteToFiler(TWriter& w) const override {
    TXCollectionItem::WriteToFiler(w);
    w.WriteInteger(data);
  }
  void ReadFromFiler(TReader& r) override {
    TXCollectionItem::ReadFromFiler(r);
    data = r.ReadInteger();
  }
  void Assign(const TPersistent* source) override {
    TXCollectionItem::Assign(source);
    if (auto* b = dynamic_cast<const TBehaviour*>(source)) data = b->data;
  }
};
const TXCollectionItemClass TBehaviour::StaticClass = {
    "TBehaviour",
    &TXCollectionItem::StaticClass,
    [](TXCollection* o) -> TXCollectionItem* { return new TBehaviour(o); },
    "Behaviour",
    nullptr,
    nullptr,
    false,
    nullptr};

class TUniqueBehaviour : public TBehaviour {
 public:
  static const TXCollectionItemClass StaticClass;
  explicit TUniqueBehaviour(TXCollection* owner) : TBehaviour(owner, StaticClass) {}
};
const TXCollectionItemClass TUniqueBehaviour::StaticClass = {
    "TUniqueBehaviour",
    &TBehaviour::StaticClass,
    [](TXCollection* o) -> TXCollectionItem* { return new TUniqueBehaviour(o); },
    "Unique",
    nullptr,
    nullptr,
    true,
    nullptr};

class TNamedListOwner : public TPersistent {
 public:
  std::string GetNamePath() const override { return "GLCube1"; }
};

}  // namespace

TEST(XCollection, ItemsJoinAndLeaveTheirCollection) {
  TNamedListOwner owner;
  TXCollection coll(&owner);
  auto* a = new TBehaviour(&coll);
  auto* b = new TBehaviour(&coll);
  EXPECT_EQ(coll.Count(), 2);
  EXPECT_EQ(b->Index(), 1);
  EXPECT_EQ(b->GetNamePath(), "GLCube1.XCollection[1]");
  delete a;
  EXPECT_EQ(coll.Count(), 1);
  EXPECT_EQ(coll[0], b);
  EXPECT_THROW(coll.GetItems(1), EListError);

  new TUniqueBehaviour(&coll);
  try {
    new TUniqueBehaviour(&coll);
    FAIL();
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Addition of TUniqueBehaviour to TXCollection rejected.");
  }
  EXPECT_EQ(coll.Count(), 2);
  // A plain behaviour still coexists with the unique one (it is not derived from it).
  new TBehaviour(&coll);
  EXPECT_EQ(coll.Count(), 3);
  coll.Clear();
  EXPECT_EQ(coll.Count(), 0);
  EXPECT_EQ(TBehaviour::StaticClass.GetFriendlyDescription(), "Behaviour");
}

TEST(XCollection, ArchiveBytesAndReadBack) {
  TXCollection empty(nullptr);
  {
    TMemoryStream ms;
    TWriter w(ms);
    empty.WriteToFiler(w);
    EXPECT_EQ(ObjectBytes(ms.DataString()), (Bytes{4, 'X', 'C', 'O', 'L', 2, 1, 2, 0}));
    EXPECT_EQ(empty.ArchiveVersion(), 1);
  }

  TXCollection coll(nullptr);
  auto* a = new TBehaviour(&coll);
  a->SetName("first");
  a->data = 7;
  auto* b = new TBehaviour(&coll);
  b->data = 300;
  TMemoryStream ms;
  TWriter w(ms);
  coll.WriteToFiler(w);
  const Bytes expected = {4,   'X', 'C', 'O', 'L', 2,   1,   2,   2,    6,   10,
                          'T', 'B', 'e', 'h', 'a', 'v', 'i', 'o', 'u',  'r',     // class name once
                          2,   0,   6,   5,   'f', 'i', 'r', 's', 't',  2,   7,  // first item
                          2,   0,                                                // class index 0
                          2,   0,   18,  0,   0,   0,   0,   3,   0x2C, 0x01};   // second item
  EXPECT_EQ(ObjectBytes(ms.DataString()), expected);

  // Without the class registered, the read fails with the unknown-class assertion.
  TXCollection back(nullptr);
  ms.SetPosition(0);
  {
    TReader r(ms);
    try {
      back.ReadFromFiler(r);
      FAIL();
    } catch (const common::EAssertionFailed& e) {
      EXPECT_STREQ(e.what(), "Class TBehaviour unknown. Add the relevant unit to your \"uses\".");
    }
  }
  RegisterXCollectionItemClass(TBehaviour::StaticClass);
  ms.SetPosition(0);
  TReader r(ms);
  back.ReadFromFiler(r);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back[0]->Name(), "first");
  EXPECT_EQ(dynamic_cast<TBehaviour*>(back[1])->data, 300);

  // Old archives begin directly with the count.
  TMemoryStream old(
      ObjectText({2, 1, 6, 10, 'T', 'B', 'e', 'h', 'a', 'v', 'i', 'o', 'u', 'r', 2, 0, 6, 0, 2, 9}));
  TReader ro(old);
  back.ReadFromFiler(ro);
  EXPECT_EQ(back.ArchiveVersion(), 0);
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(dynamic_cast<TBehaviour*>(back[0])->data, 9);
  TMemoryStream three(ObjectText({2, 3}));
  TReader r3(three);
  EXPECT_THROW(back.ReadFromFiler(r3), EReadError);  // three items announced, none there

  // A bad class-list index.
  TMemoryStream badIndex(ObjectText({2, 1, 2, 4}));
  TReader rb(badIndex);
  try {
    back.ReadFromFiler(rb);
    FAIL();
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Invalid classlistIndex: 4");
  }
  // An empty stream reads as an empty collection.
  TMemoryStream nothing;
  TReader rn(nothing);
  back.ReadFromFiler(rn);
  EXPECT_EQ(back.Count(), 0);

  // Assign copies every item by class.
  TXCollection copy(nullptr);
  copy.Assign(&coll);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy[0]->Name(), "first");
  EXPECT_EQ(dynamic_cast<TBehaviour*>(copy[1])->data, 300);
  copy.Assign(nullptr);
  EXPECT_EQ(copy.Count(), 0);
  UnregisterXCollectionItemClass(TBehaviour::StaticClass);
  EXPECT_EQ(FindXCollectionItemClass("TBehaviour"), nullptr);
}

// ---- Silhouettes ----

namespace {

// A unit cube as 12 triangles, outward windings, through AddQuad.
void AddCube(TConnectivity& c) {
  const TVector3f p[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                          {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  c.AddQuad(p[0], p[3], p[2], p[1]);  // z = 0, normal -z
  c.AddQuad(p[4], p[5], p[6], p[7]);  // z = 1, normal +z
  c.AddQuad(p[0], p[1], p[5], p[4]);  // y = 0
  c.AddQuad(p[3], p[7], p[6], p[2]);  // y = 1
  c.AddQuad(p[0], p[4], p[7], p[3]);  // x = 0
  c.AddQuad(p[1], p[2], p[6], p[5]);  // x = 1
}

}  // namespace

TEST(Connectivity, CubeOutlineSeenFromOneFace) {
  for (bool precompute : {false, true}) {
    TConnectivity c(precompute);
    AddCube(c);
    EXPECT_EQ(c.Vertices().Count(), 8);
    EXPECT_EQ(c.FaceCount(), 12);
    EXPECT_EQ(c.EdgeCount(), 18);
    std::unique_ptr<TGLSilhouette> s;
    TSilhouetteQuery q{{0.5f, 0.5f, 5}, {0, 0, 0}, ssOmni, false};
    c.CreateSilhouette(q, s, false);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->Indices().Count(), 8);  // 4 outline edges
    EXPECT_EQ(s->Vertices().Count(), 4);
    EXPECT_EQ(s->CapIndices().Count(), 0);
    // Each edge runs against the visible top face's winding (4, 5, 6, 7 counter-clockwise seen
    // from above), so the outline runs clockwise seen from the eye.
    for (int e = 0; e < 4; ++e) {
      const TVector4f a = s->Vertices()[s->Indices()[2 * e]], b = s->Vertices()[s->Indices()[2 * e + 1]];
      EXPECT_EQ(a.Z, 1);
      EXPECT_EQ(b.Z, 1);
      EXPECT_EQ(a.W, 1);
      const float cross = (a.X - 0.5f) * (b.Y - 0.5f) - (a.Y - 0.5f) * (b.X - 0.5f);
      EXPECT_LT(cross, 0) << "edge " << e;
    }
    // With capping: every face turned away adds one cap triangle.
    q.CappingRequired = true;
    c.CreateSilhouette(q, s, false);
    EXPECT_EQ(s->CapIndices().Count(), 10 * 3);
    EXPECT_EQ(s->Indices().Count(), 8);
    // Adding to the silhouette keeps what was there.
    c.CreateSilhouette(q, s, true);
    EXPECT_EQ(s->Indices().Count(), 16);
  }
}

TEST(Connectivity, EdgesFacesAndOddCases) {
  TConnectivity c(false);
  c.Vertices().Add({0, 0, 0});
  c.Vertices().Add({1, 0, 0});
  c.Vertices().Add({0, 1, 0});
  c.Vertices().Add({0, 0, 1});
  c.Vertices().Add({0, 0, -1});
  EXPECT_EQ(c.AddIndexedFace(0, 1, 2), 0);
  c.AddIndexedFace(1, 0, 3);
  c.AddIndexedFace(0, 1, 4);  // a third face on edge (0, 1) replaces the second
  EXPECT_EQ(c.EdgeFaces()[0], 0);
  EXPECT_EQ(c.EdgeFaces()[1], 2);

  // A face whose plane passes through the seen-from point counts as visible.
  TConnectivity flat(false);
  flat.AddQuad({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
  std::unique_ptr<TGLSilhouette> s;
  flat.CreateSilhouette({{5, 5, 0}, {0, 0, 0}, ssOmni, false}, s, false);
  EXPECT_EQ(flat.FaceVisible()[0], 1);
  EXPECT_EQ(flat.FaceVisible()[1], 1);
  EXPECT_EQ(s->Indices().Count(), 0);  // open edges of visible faces add nothing
  // Seen from behind: the open edges of the faces turned away form the outline.
  flat.CreateSilhouette({{0.5f, 0.5f, -3}, {0, 0, 0}, ssOmni, true}, s, false);
  EXPECT_EQ(s->Indices().Count(), 8);
  EXPECT_EQ(s->CapIndices().Count(), 6);
  // Cap corners enter the silhouette third corner first.
  EXPECT_EQ(s->Vertices()[0].X, flat.Vertices()[flat.FaceVertexIndex()[2]].X);
  EXPECT_EQ(s->Vertices()[0].Y, flat.Vertices()[flat.FaceVertexIndex()[2]].Y);

  // Two equal corners merge into one vertex and give a degenerate triangle.
  TConnectivity degenerate(true);
  degenerate.AddQuad({0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0});
  EXPECT_EQ(degenerate.Vertices().Count(), 3);
  EXPECT_EQ(degenerate.FaceVertexIndex()[1], degenerate.FaceVertexIndex()[2]);

  // Indices that name no vertex fail instead of reading outside the list.
  TConnectivity bad(true);
  EXPECT_THROW(bad.AddIndexedFace(0, 1, 2), EListError);
  EXPECT_EQ(bad.FaceCount(), 0);
  TConnectivity lazy(false);
  lazy.AddIndexedFace(0, 5, 9);
  EXPECT_THROW(lazy.CreateSilhouette({{0, 0, 1}, {0, 0, 0}, ssOmni, false}, s, false), EListError);
  c.Clear();
  EXPECT_EQ(c.EdgeCount(), 0);
  EXPECT_EQ(c.Vertices().Count(), 0);
}

namespace {
// A connectivity over a vertex list it does not own.
class TBorrowingConnectivity : public TConnectivity {
 public:
  explicit TBorrowingConnectivity(TAffineVectorList* vertices) : TConnectivity(true) {
    BorrowVertices(vertices);
  }
  using TConnectivity::BorrowVertices;
};
}  // namespace

TEST(Connectivity, ABorrowedVertexListIsReadButNeverClearedOrFreed) {
  auto vertices = std::make_unique<TAffineVectorList>();
  vertices->Add({0, 0, 0});
  vertices->Add({1, 0, 0});
  vertices->Add({0, 1, 0});
  {
    TBorrowingConnectivity c(vertices.get());
    EXPECT_FALSE(c.OwnsVertices());
    EXPECT_EQ(&c.Vertices(), vertices.get());
    c.AddIndexedFace(0, 1, 2);
    std::unique_ptr<TGLSilhouette> s;
    c.CreateSilhouette({{0, 0, -5}, {0, 0, 0}, ssOmni, false}, s, false);
    EXPECT_EQ(s->Indices().Count(), 6) << "the open edges of the face turned away";
    c.Clear();
    EXPECT_EQ(c.FaceCount(), 0);
    EXPECT_EQ(vertices->Count(), 3) << "Clear leaves the borrowed list";
    c.BorrowVertices(nullptr);
    EXPECT_TRUE(c.OwnsVertices());
    EXPECT_EQ(c.Vertices().Count(), 0) << "back to an own, empty list";
    c.BorrowVertices(vertices.get());
  }
  EXPECT_EQ(vertices->Count(), 3) << "the destructor does not free it";
  TConnectivity own(false);
  EXPECT_TRUE(own.OwnsVertices());
}

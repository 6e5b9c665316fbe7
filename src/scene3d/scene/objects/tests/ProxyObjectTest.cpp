// The proxy object on the recording table: what it draws of its master and where, the re-entry
// guard, a freed master, and picking through the master.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ObjectsTestSupport.h"
#include "scene3d/scene/objects/GLProxyObject.h"

using namespace gl3d;
using namespace gl3d::test;

namespace {

// A marker that also keeps the model matrix's translation at each of its draws.
class TPlacedMarker : public TMarker {
 public:
  using TMarker::TMarker;
  TGLBaseSceneObjectClass ClassType() const override { return &CreateSceneObject<TPlacedMarker>; }
  void BuildList(TRenderContextInfo& rci) override {
    places.push_back(rci.Transformation->GetModelMatrix().Row[3]);
    TMarker::BuildList(rci);
  }
  std::vector<TVector4f> places;
};

class ProxyObject : public ObjectsFixture {
 protected:
  TPlacedMarker* AddMarker(int marker, TGLBaseSceneObject* parent) {
    auto* m = parent->AddNewChild<TPlacedMarker>();
    m->Marker = marker;
    m->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
    return m;
  }
};

}  // namespace

TEST_F(ProxyObject, DrawsTheMasterAtItsOwnPlaceWithOrWithoutTheMastersPlacement) {
  TPlacedMarker* master = AddMarker(1, root);
  master->Position()->SetPoint(0, 3, 0);
  TPlacedMarker* child = AddMarker(2, master);
  child->Position()->SetPoint(0, 0, 1);
  auto* proxy = root->AddNewChild<TGLProxyObject>();
  proxy->Position()->SetPoint(5, 0, 0);
  proxy->SetMasterObject(master);
  struct Case {
    TGLProxyObjectOptions options;
    std::vector<int> drawn;
    float masterY;  // where the proxy put the master
  };
  const Case cases[] = {
      {cDefaultProxyOptions, {1, 2, 1, 2}, 3},
      {ProxyOptionBit(pooObjects), {1, 2, 1, 2}, 0},
      {ProxyOptionBit(pooEffects) | ProxyOptionBit(pooTransformation), {1, 2}, 0},
  };
  for (const Case& c : cases) {
    proxy->SetProxyOptions(c.options);
    master->places.clear();
    child->places.clear();
    Frame();
    EXPECT_EQ(Drawn(), c.drawn) << int(c.options);
    if (c.drawn.size() < 4) continue;
    ASSERT_EQ(master->places.size(), 2u);
    EXPECT_FLOAT_EQ(master->places[1].X, 5);
    EXPECT_FLOAT_EQ(master->places[1].Y, c.masterY);
    // The master's children follow it with their local placement.
    EXPECT_FLOAT_EQ(child->places[1].X, 5);
    EXPECT_FLOAT_EQ(child->places[1].Z, 1);
    EXPECT_FALSE(rci.ProxyRender);
  }
}

TEST_F(ProxyObject, AProxyOfItsOwnAncestorDrawsItOnce) {
  TPlacedMarker* master = AddMarker(1, root);
  auto* proxy = master->AddNewChild<TGLProxyObject>();
  proxy->SetMasterObject(master);
  AddMarker(3, proxy);
  Frame();
  // The master with its proxy's child, then once more through the proxy, whose own children come
  // after; the proxy met again below the master stops at its guard.
  EXPECT_EQ(Drawn(), (std::vector<int>{1, 1, 3}));
  EXPECT_FALSE(proxy->Rendering());
}

TEST_F(ProxyObject, AFreedMasterLeavesTheProxyWithItsOwnChildren) {
  TPlacedMarker* master = AddMarker(1, root);
  auto* proxy = root->AddNewChild<TGLProxyObject>();
  proxy->SetMasterObject(master);
  AddMarker(7, proxy);
  // Only a removal of the master itself is heard.
  proxy->HandleNotification(master, opInsert);
  proxy->HandleNotification(proxy->Get(0), opRemove);
  EXPECT_EQ(proxy->MasterObject(), master);
  delete master;
  EXPECT_EQ(proxy->MasterObject(), nullptr);
  Frame();
  EXPECT_EQ(Drawn(), (std::vector<int>{7}));
}

TEST_F(ProxyObject, PicksAndMeasuresThroughTheMaster) {
  TPlacedMarker* master = AddMarker(1, root);
  master->Position()->SetPoint(0, 10, 0);
  auto* proxy = root->AddNewChild<TGLProxyObject>();
  proxy->Position()->SetPoint(5, 0, 0);
  TVector4f point, normal;
  EXPECT_FALSE(proxy->RayCastIntersect({5, 0, 10, 1}, {0, 0, -1, 0}, &point, &normal));
  proxy->SetMasterObject(master);
  // The master's bounding sphere (radius sqrt(0.75) about its position), met at the proxy's place.
  ASSERT_TRUE(proxy->RayCastIntersect({5, 0, 10, 1}, {0, 0, -1, 0}, &point, &normal));
  EXPECT_NEAR(point.X, 5, 1e-5);
  EXPECT_NEAR(point.Y, 0, 1e-5);
  EXPECT_NEAR(point.Z, std::sqrt(0.75f), 1e-5);
  master->Scale()->SetVector(2, 2, 2);
  const TVector4f d = proxy->AxisAlignedDimensionsUnscaled();
  EXPECT_FLOAT_EQ(d.X, 0.5f);
  const TVector4f b = proxy->BarycenterAbsolutePosition();
  EXPECT_FLOAT_EQ(b.X, 5);
  EXPECT_FLOAT_EQ(proxy->Position()->X(), 5);
}

// Bounding boxes and coordinates: the box routines against numpy's float64 slab test, the
// coordinate kinds and their notices, and the "Coordinates" property with damaged data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "GeometryTable.h"
#include "SceneTestSupport.h"
#include "scene3d/scene/core/BoundingBoxes.h"
#include "scene3d/scene/core/GLCoordinates.h"

using namespace gl3d;
using namespace gl3d::test;

namespace {

TVector3f V3(const float* p) { return {p[0], p[1], p[2]}; }

}  // namespace

TEST(BoundingBoxes, SlabTestAgreesWithNumpy) {
  int hits = 0;
  for (const TSlabCase& c : kSlabCases) {
    const TAxisBox box{V3(c.mn), V3(c.mx)};
    float tNear = 123, tFar = 456;
    const bool hit = RayCastAxisBox(V3(c.o), V3(c.d), box, tNear, tFar);
    ASSERT_EQ(hit, c.hit) << "origin " << c.o[0] << " " << c.o[1] << " " << c.o[2];
    if (!hit) {
      EXPECT_EQ(tNear, 123);  // a miss leaves the outputs alone
      continue;
    }
    ++hits;
    const double tol = 1e-5 * std::fmax(1.0, std::fabs(c.tNear) + std::fabs(c.tFar));
    if (c.tNear > -1e29) {
      EXPECT_NEAR(tNear, c.tNear, tol);
    }
    if (c.tFar < 1e29) {
      EXPECT_NEAR(tFar, c.tFar, tol);
    }
  }
  EXPECT_GT(hits, 10);
  EXPECT_LT(hits, static_cast<int>(std::size(kSlabCases)) - 10);
}

TEST(BoundingBoxes, CornerAndAxisBoxes) {
  const TAxisBox box{{-1, -2, -3}, {4, 5, 6}};
  TCornerBox corners;
  AxisBoxToCornerBox(box, corners);
  // The numbering: corner 1 is (max x, min y, max z), corner 7 (min x, max y, min z).
  EXPECT_TRUE(VectorEquals4f(corners[1], {4, -2, 6, 1}));
  EXPECT_TRUE(VectorEquals4f(corners[7], {-1, 5, -3, 1}));
  TAxisBox back;
  CornerBoxToAxisBox(corners, back);
  EXPECT_EQ(std::memcmp(&back, &box, sizeof box), 0);

  EXPECT_TRUE(PointInAxisBox({4, 0, -3}, box));  // on two faces
  EXPECT_FALSE(PointInAxisBox({4.001f, 0, 0}, box));

  // Growing a box by another that sticks out on +x and -z moves exactly those faces.
  TCornerBox other;
  AxisBoxToCornerBox({{0, 0, -7}, {9, 1, 1}}, other);
  TCornerBox grown = corners, out;
  AddCornerBox(grown, other, out);
  CornerBoxToAxisBox(out, back);
  EXPECT_TRUE(VectorEquals3f(back.Min, {-1, -2, -7}));
  EXPECT_TRUE(VectorEquals3f(back.Max, {9, 5, 6}));
  EXPECT_TRUE(CornerBoxesEqual(grown, out));

  // A turn by 90 degrees about z: the axis box of the turned corners.
  TAxisBox turned = box;
  TransformAxisBox(turned, CreateRotationMatrixZ(static_cast<float>(M_PI / 2)));
  EXPECT_NEAR(turned.Min.X, -5, 1e-5);
  EXPECT_NEAR(turned.Max.X, 2, 1e-5);
  EXPECT_NEAR(turned.Min.Y, -1, 1e-5);
  EXPECT_NEAR(turned.Max.Y, 4, 1e-5);

  TAxisBox extents;
  SetAxisBoxFromExtents(extents, {-1, 2, -3, 0});
  EXPECT_TRUE(VectorEquals3f(extents.Max, {1, 2, 3}));
  EXPECT_TRUE(VectorEquals3f(extents.Min, {-1, -2, -3}));
  OffsetCornerBox(corners, {1, 1, 1});
  EXPECT_TRUE(VectorEquals4f(corners[0], {5, 6, 7, 1}));
}

// ---- Coordinates ----

namespace {

class TOwner : public TGLCoordinatesUpdateAbleComponent {
 public:
  TOwner() : TGLCoordinatesUpdateAbleComponent(nullptr) {}
  void CoordinateChanged(TGLCustomCoordinates*) override { ++changes; }
  void NotifyChange(TObject*) override { ++notices; }
  int changes = 0;
  int notices = 0;
};

std::string CoordinatesProperty(const std::string& data) { return BinaryProperty("Coordinates", data); }

}  // namespace

TEST(Coordinates, KindsSettersAndNotices) {
  TOwner owner;
  TGLCoordinates3 point(&owner, {0, 0, 0, 1}, ckPoint);
  TGLCoordinates3 vector(&owner, {0, 0, 1, 0}, ckVector);
  TGLCoordinates2 point2D(&owner);

  point.SetPoint(1, 2, 3);
  EXPECT_TRUE(point.Equals({1, 2, 3, 1}));
  point.SetPoint(1, 2, 3);  // the same value still notifies
  EXPECT_EQ(owner.changes, 2);
  EXPECT_EQ(owner.notices, 2);

  try {
    vector.SetPoint(1, 2, 3);
    FAIL();
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "If you are getting assertions here, consider using the SetVector procedure");
  }
  EXPECT_THROW(point.SetVector(1, 0, 0), common::EAssertionFailed);
  EXPECT_TRUE(vector.Equals({0, 0, 1, 0}));  // unchanged by the failed call
  EXPECT_EQ(owner.changes, 2);

  struct TCase {
    TGLCustomCoordinates* coordinates;
    TVector4f expected;
  };
  for (const TCase& c :
       {TCase{&point, {1, 2, 3, 1}}, TCase{&vector, {1, 2, 3, 0}}, TCase{&point2D, {1, 2, 0, 0}}}) {
    c.coordinates->SetAsVector({1, 2, 3, 7});
    EXPECT_TRUE(c.coordinates->Equals(c.expected)) << c.coordinates->Kind();
  }
  vector.SetVector(3, 0, 4, 9);
  EXPECT_EQ(vector.VectorLength(), 5);
  vector.Normalize();
  EXPECT_TRUE(vector.Equals({0.6f, 0, 0.8f, 0}));
  vector.SetCoordinate(3, 5);
  EXPECT_EQ(vector.W(), 5);
  EXPECT_THROW(vector.SetCoordinate(4, 1), common::EAssertionFailed);
  const int before = owner.changes;
  vector.AssignVectorQuietly({1, 1, 1, 1});
  vector.Initialize({2, 2, 2, 2});
  point.Assign(&vector);
  EXPECT_TRUE(point.Equals({2, 2, 2, 2}));
  EXPECT_EQ(owner.changes, before);
  TPersistent notCoordinates;
  EXPECT_THROW(point.Assign(&notCoordinates), EConvertError);
}

TEST(Coordinates, StoredPropertyAndDamagedData) {
  // The camera's position (0, 0, 3) is stored as the singles 0, 0, 3, 1.
  TOwner owner;
  TGLCoordinates3 position(&owner, {0, 0, 0, 1}, ckPoint);
  position.SetPoint(0, 0, 3);
  TMemoryStream out;
  TWriter w(out);
  w.WriteDefinedProperties(position);
  const float expected[4] = {0, 0, 3, 1};
  EXPECT_EQ(out.DataString(), CoordinatesProperty(std::string(reinterpret_cast<const char*>(expected), 16)));

  TGLCoordinates3 back(&owner, {9, 9, 9, 9}, ckPoint);
  TMemoryStream in(out.DataString());
  TReader r(in);
  r.ReadDefinedProperties(back);
  EXPECT_TRUE(back.Equals({0, 0, 3, 1}));

  const std::string good(reinterpret_cast<const char*>(expected), 16);
  const std::string damaged[] = {
      CoordinatesProperty(good.substr(0, 12)),  // too short
      CoordinatesProperty(good + "xxxx"),       // too long
      CoordinatesProperty(""),
      CoordinatesProperty(good).substr(0, 20),  // cut inside the data
      std::string("\x0B"
                  "Coordinates\x0A\xFF\xFF\xFF\x7F",
                  17),  // a size far beyond the data
      std::string("\x0B"
                  "Coordinates\x02\x05\x00",
                  15),  // an integer, not binary data
  };
  for (const std::string& bytes : damaged) {
    TGLCoordinates3 target(&owner, {7, 7, 7, 1}, ckPoint);
    TMemoryStream ms(bytes);
    TReader reader(ms);
    EXPECT_THROW(reader.ReadDefinedProperties(target), EReadError);
    EXPECT_TRUE(target.Equals({7, 7, 7, 1}));
  }
}

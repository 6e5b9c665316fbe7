// The sprite and the points on the recording table: the sprite's corners and texture
// coordinates, its clamped alpha; the points' counts, colours, array locking, styles and point
// parameters, and the "PointParams" property.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "scene3d/gl/GLTransformation.h"
#include "scene3d/scene/core/tests/SceneTestSupport.h"
#include "scene3d/scene/primitives/GLPoints.h"
#include "scene3d/scene/primitives/GLSprite.h"
#include "scene3d/scene/primitives/tests/PrimitivesTestSupport.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

using namespace gl3d;

namespace {

class Sprite : public gl3d::test::PrimitivesFixture {
 protected:
  void SetUp() override {
    PrimitivesFixture::SetUp();
    CurrentMultitextureCoordinator()->SetMainMapping();
  }
  std::vector<std::pair<double, double>> TexCoords() const {
    std::vector<std::pair<double, double>> out;
    for (const TGLRecordedCall& c : rec.Calls)
      if (c.Name == "TexCoord2f") out.emplace_back(c.Args[0].F, c.Args[1].F);
    return out;
  }
};

using Points = gl3d::test::PrimitivesFixture;

}  // namespace

TEST_F(Sprite, TheCornersComeFromTheModelViewColumns) {
  TGLSprite sprite(nullptr);
  sprite.SetWidth(2);
  sprite.SetHeight(4);
  // A view turned 90 degrees about Y: the viewer's right axis is the object's +Z.
  rci.Transformation->SetViewMatrix(CreateRotationMatrixY(std::numbers::pi_v<float> / 2));
  const TMatrix4f& m = rci.Transformation->GetModelViewMatrix();
  sprite.BuildList(rci);
  const auto v = Vertices();
  ASSERT_EQ(v.size(), 4u);
  const double rx = m[0].X, ry = m[1].X, rz = m[2].X;  // right, unit length
  const double ux = m[0].Y, uy = m[1].Y, uz = m[2].Y;  // up
  EXPECT_NEAR(v[0].x, rx + 2 * ux, 1e-6);
  EXPECT_NEAR(v[0].y, ry + 2 * uy, 1e-6);
  EXPECT_NEAR(v[0].z, rz + 2 * uz, 1e-6);
  EXPECT_NEAR(v[2].x, -rx - 2 * ux, 1e-6);
  EXPECT_NEAR(v[2].z, -rz - 2 * uz, 1e-6);
  EXPECT_NEAR(v[0].z, 1, 1e-6) << "the right axis is the object's +Z";
  EXPECT_EQ(CountWith("Begin", GL_QUADS), 1u);
  EXPECT_EQ(rec.Count("PushMatrix"), 0u) << "no rotation";
  EXPECT_EQ(TexCoords(), (std::vector<std::pair<double, double>>{{1, 1}, {0, 1}, {0, 0}, {1, 0}}));
}

TEST_F(Sprite, MirrorsSwapTheCoordinatesAndRotationTurnsAboutTheViewAxis) {
  TGLSprite sprite(nullptr);
  sprite.SetMirrorU(true);
  sprite.BuildList(rci);
  EXPECT_EQ(TexCoords(), (std::vector<std::pair<double, double>>{{0, 1}, {1, 1}, {1, 0}, {0, 0}}));
  rec.Clear();
  sprite.SetMirrorV(true);
  sprite.SetRotation(90);
  sprite.BuildList(rci);
  EXPECT_EQ(TexCoords(), (std::vector<std::pair<double, double>>{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
  const auto turns = rec.Calls;
  ASSERT_EQ(rec.Count("Rotatef"), 1u);
  for (const TGLRecordedCall& c : turns)
    if (c.Name == "Rotatef") {
      EXPECT_EQ(c.Args[0].F, 90);
      EXPECT_EQ(c.Args[3].F, 1) << "the identity view looks along Z";
    }
  EXPECT_EQ(rec.Count("PushMatrix"), 1u);
  EXPECT_EQ(rec.Count("PopMatrix"), 1u);
}

TEST_F(Sprite, AlphaChannelIsClampedAndSentOnlyWhenBelowOne) {
  const struct {
    float in, stored;
  } cases[] = {{1.5f, 1}, {-0.2f, 0}, {0.3f, 0.3f}, {std::numeric_limits<float>::quiet_NaN(), 0}, {1, 1}};
  for (const auto& c : cases) {
    TGLSprite sprite(nullptr);
    sprite.SetAlphaChannel(0.5f);
    sprite.SetAlphaChannel(c.in);
    EXPECT_EQ(sprite.AlphaChannel(), c.stored) << c.in;
  }
  TGLSprite sprite(nullptr);
  sprite.BuildList(rci);
  EXPECT_EQ(rec.Count("Color4fv"), 0u) << "alpha 1 leaves the colour alone";
  sprite.SetAlphaChannel(0.25f);
  rec.Clear();
  sprite.BuildList(rci);
  EXPECT_EQ(rec.Count("Color4fv"), 1u) << "unlit: the current colour takes the alpha";

  TGLSprite copy(nullptr);
  sprite.SetWidth(3);
  sprite.SetMirrorU(true);
  copy.Assign(&sprite);
  EXPECT_EQ(copy.Width(), 3);
  EXPECT_EQ(copy.AlphaChannel(), 0.25f);
  EXPECT_FALSE(copy.MirrorU()) << "the mirror flags are not copied";
  const TVector4f d = copy.AxisAlignedDimensionsUnscaled();
  EXPECT_EQ(d.X, 1.5f);
  EXPECT_EQ(d.Y, 0.5f);
  EXPECT_EQ(d.Z, 1.5f);
  EXPECT_TRUE(copy.HasStyle(sfDirectDraw) && copy.HasStyle(sfNoVisibilityCulling));
}

TEST_F(Points, ANewObjectDrawsOneWhiteSquarePointAtTheOrigin) {
  TGLPoints points(nullptr);
  points.BuildList(rci);
  EXPECT_EQ(rec.Count("Color4f"), 1u);
  EXPECT_EQ(CountWith("DrawArrays", GL_POINTS), 1u);
  for (const TGLRecordedCall& c : rec.Calls)
    if (c.Name == "DrawArrays") {
      EXPECT_EQ(c.Args[2].I, 1);
    }
  EXPECT_EQ(CountWith("DisableClientState", GL_COLOR_ARRAY), 1u);
  EXPECT_EQ(CountWith("EnableClientState", GL_VERTEX_ARRAY), 1u);
  EXPECT_EQ(CountWith("DisableClientState", GL_VERTEX_ARRAY), 1u);
  EXPECT_EQ(rec.Count("PointParameterf"), 0u);
  EXPECT_EQ(rec.Count("LockArrays"), 0u);
}

TEST_F(Points, TheColourListDecidesTheColourSourceAndTheCount) {
  const struct {
    int positions, colors;
    int64_t drawn;
    size_t colorArrays, singleColors;
  } cases[] = {{3, 5, 3, 1, 0}, {5, 3, 3, 1, 0}, {4, 1, 4, 0, 1}, {2, 0, 2, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.positions) + " positions, " + std::to_string(c.colors) + " colours");
    TGLPoints points(nullptr);
    points.Positions()->Clear();
    for (int i = 0; i < c.positions; ++i) points.Positions()->Add({static_cast<float>(i), 0, 0});
    for (int i = 0; i < c.colors; ++i) points.Colors()->Add({1, 0, 0, 1});
    rec.Clear();
    points.BuildList(rci);
    for (const TGLRecordedCall& call : rec.Calls)
      if (call.Name == "DrawArrays") {
        EXPECT_EQ(call.Args[2].I, c.drawn);
      }
    EXPECT_EQ(rec.Count("ColorPointer"), c.colorArrays);
    EXPECT_EQ(CountWith("EnableClientState", GL_COLOR_ARRAY), c.colorArrays);
    EXPECT_EQ(rec.Count("Color4fv"), c.singleColors);
    EXPECT_EQ(CountWith("DisableClientState", GL_COLOR_ARRAY), 1u) << "off before one colour, off after many";
  }
  TGLPoints empty(nullptr);
  empty.Positions()->Clear();
  rec.Clear();
  empty.BuildList(rci);
  EXPECT_TRUE(rec.Calls.empty());
}

TEST_F(Points, ArraysAreLockedAboveSixtyFourPointsWhenTheExtensionIsThere) {
  const struct {
    int count;
    bool extension;
    size_t locks;
  } cases[] = {{64, true, 0}, {65, true, 1}, {65, false, 0}};
  for (const auto& c : cases) {
    TGLPoints points(nullptr);
    points.Positions()->SetCount(c.count);
    G().EXT_compiled_vertex_array = c.extension;
    rec.Clear();
    points.BuildList(rci);
    EXPECT_EQ(rec.Count("LockArrays"), c.locks) << c.count;
    EXPECT_EQ(rec.Count("UnlockArrays"), c.locks) << c.count;
    if (c.locks) {
      EXPECT_NE(rec.Log().find("LockArrays(0, 65)"), std::string::npos) << rec.Log();
    }
  }
}

TEST_F(Points, EachStyleSetsItsSmoothingAlphaTestAndBlending) {
  const struct {
    TGLPointStyle style;
    bool smooth, alphaTest, blend;
    GLenum alphaFunc, blendDst;
  } cases[] = {
      {psSquare, false, false, false, 0, 0},
      {psRound, true, true, false, GL_GREATER, 0},
      {psSmooth, true, true, true, GL_NOTEQUAL, GL_ONE_MINUS_SRC_ALPHA},
      {psSmoothAdditive, true, true, true, GL_NOTEQUAL, GL_ONE},
      {psSquareAdditive, false, false, true, 0, GL_ONE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.style));
    Restart();
    TGLPoints points(nullptr);
    points.SetStyle(c.style);
    points.SetSize(4);
    points.SetNoZWrite(true);
    points.BuildList(rci);
    EXPECT_EQ(CountWith("Enable", GL_POINT_SMOOTH), c.smooth ? 1u : 0u);
    EXPECT_EQ(CountWith("Enable", GL_ALPHA_TEST), c.alphaTest ? 1u : 0u);
    EXPECT_EQ(CountWith("Enable", GL_BLEND), c.blend ? 1u : 0u);
    if (c.alphaFunc) {
      EXPECT_EQ(CountWith("AlphaFunc", c.alphaFunc), 1u);
    }
    for (const TGLRecordedCall& call : rec.Calls)
      if (call.Name == "BlendFunc") {
        EXPECT_EQ(call.Args[1].I, c.blendDst);
      }
    EXPECT_EQ(CountWith("DepthMask", GL_FALSE), 1u);
    EXPECT_EQ(rec.Count("PointSize"), 1u);
  }
}

TEST_F(Points, PointParametersApplyAndRestoreWithTheExtension) {
  TGLPoints points(nullptr);
  TGLPointParameters& p = *points.PointParameters();
  p.SetMinSize(-2);
  EXPECT_EQ(p.MinSize(), 0) << "negative sizes store 0";
  p.SetMinSize(2);
  p.SetMaxSize(64);
  p.SetFadeTresholdSize(3);
  p.DistanceAttenuation()->SetVector(0, 1, 0);
  points.BuildList(rci);
  EXPECT_EQ(rec.Count("PointParameterf"), 0u) << "disabled";

  p.SetEnabled(true);
  rec.Clear();
  points.BuildList(rci);
  EXPECT_NE(
      rec.Log().find("PointParameterf(33062, 2); PointParameterf(33063, 64); PointParameterf(33064, 3); "
                     "PointParameterfv(33065, ptr); DrawArrays"),
      std::string::npos)
      << rec.Log();
  EXPECT_NE(
      rec.Log().find("PointParameterf(33062, 0); PointParameterf(33063, 128); PointParameterf(33064, 1); "
                     "PointParameterfv(33065, ptr)"),
      std::string::npos)
      << "UnApply restores the defaults";
  // The attenuation arrays (both still alive: the object's and the defaults).
  std::vector<std::vector<float>> attenuations;
  for (const TGLRecordedCall& c : rec.Calls)
    if (c.Name == "PointParameterfv") {
      const auto* v = static_cast<const float*>(c.Args[1].P);
      attenuations.push_back({v[0], v[1], v[2]});
    }
  EXPECT_EQ(attenuations, (std::vector<std::vector<float>>{{0, 1, 0}, {1, 0, 0}}));

  G().ARB_point_parameters = false;
  rec.Clear();
  points.BuildList(rci);
  EXPECT_EQ(rec.Count("PointParameterf"), 0u) << "no extension";

  TGLPointParameters copy(nullptr);
  copy.Assign(&p);
  EXPECT_EQ(copy.MaxSize(), 64);
  EXPECT_EQ(copy.DistanceAttenuation()->Y(), 1);
  EXPECT_FALSE(copy.Enabled()) << "Enabled is not copied";
  TGLSprite other(nullptr);
  copy.Assign(&other);  // ignored
  EXPECT_EQ(copy.MinSize(), 2);
}

TEST(PointParams, StoredOnlyWhenNotDefaultAndReadOnlyWhenTwelveBytes) {
  TGLPointParameters p(nullptr);
  TMemoryStream plain;
  TWriter(plain).WriteDefinedProperties(p);
  EXPECT_EQ(plain.DataString(), std::string(1, '\0')) << "the defaults are not written";

  p.SetMaxSize(32);
  TMemoryStream stored;
  TWriter(stored).WriteDefinedProperties(p);
  const float sizes[3] = {0, 32, 1};
  EXPECT_EQ(stored.DataString(),
            gl3d::test::BinaryProperty("PointParams", std::string(reinterpret_cast<const char*>(sizes), 12)));
  TGLPointParameters back(nullptr);
  stored.SetPosition(0);
  TReader(stored).ReadDefinedProperties(back);
  EXPECT_EQ(back.MaxSize(), 32);

  for (const size_t n : {0u, 11u, 13u, 16u}) {
    TMemoryStream damaged(gl3d::test::BinaryProperty("PointParams", std::string(n, '\x40')));
    TGLPointParameters target(nullptr);
    target.SetMinSize(5);
    EXPECT_THROW(TReader(damaged).ReadDefinedProperties(target), EReadError) << n << " bytes";
    EXPECT_EQ(target.MinSize(), 5);
    EXPECT_EQ(target.MaxSize(), 128);
  }
}

TEST(PointsObject, StaticCompilesAListAndAssignCopiesTheCloud) {
  TGLPoints points(nullptr);
  EXPECT_TRUE(points.HasStyle(sfDirectDraw));
  points.SetStatic(true);
  EXPECT_FALSE(points.HasStyle(sfDirectDraw));
  EXPECT_TRUE(points.HasStyle(sfNoVisibilityCulling));
  points.SetStatic(false);
  EXPECT_TRUE(points.HasStyle(sfDirectDraw));

  points.Positions()->Add({1, 2, 3});
  points.Colors()->Add({0, 1, 0, 1});
  points.SetSize(3);
  points.SetStyle(psRound);
  TGLPoints copy(nullptr);
  copy.Assign(&points);
  EXPECT_EQ(copy.Positions()->Count(), 2);
  EXPECT_EQ(copy.Positions()->Get(1).Z, 3);
  EXPECT_EQ(copy.Colors()->Count(), 1);
  EXPECT_EQ(copy.Size(), 3);
  EXPECT_EQ(copy.Style(), psRound);
}

// The free form without a driver: "glsm" files (byte-identical round trip, damaged files that
// leave the mesh as it was, the extension rules), auto-centring and auto-scaling, the cached
// dimensions, ray casts over the triangles, and the simple mesh object's draw on the recording
// table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "MeshTestSupport.h"
#include "common/tests/support/ReplacedFiles.h"
#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "scene3d/scene/mesh/GLMesh.h"

using namespace gl3d;
using namespace gl3d::test;

namespace {

namespace fs = std::filesystem;

class BaseMesh : public ::testing::Test {
 protected:
  void SetUp() override {
    Scene3dSceneStartup();
    folder = fs::temp_directory_path() / ("zephor-mesh-" + std::to_string(::getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string Path(const std::string& name) const { return (folder / name).string(); }
  static std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  fs::path folder;
  TComponent form{nullptr};
  TGLFreeForm* mesh = new TGLFreeForm(&form);
};

}  // namespace

TEST_F(BaseMesh, GlsmFilesRoundTripByteForByte) {
  BuildPreviewMesh(*mesh->MeshObjects(), 9);
  mesh->SaveToFile(Path("grid.glsm"));
  EXPECT_FALSE(fs::exists(Path("grid.glsm.part")));
  const std::string first = Bytes(Path("grid.glsm"));
  ASSERT_FALSE(first.empty());

  auto* other = new TGLFreeForm(&form);
  other->LoadFromFile(Path("grid.glsm"));
  EXPECT_EQ(other->LastLoadedFilename(), Path("grid.glsm"));
  ASSERT_EQ(other->MeshObjects()->Count(), 1);
  EXPECT_EQ(other->MeshObjects()->Items(0)->TriangleCount(), 128);
  EXPECT_EQ(other->MeshObjects()->Items(0)->Owner(), other->MeshObjects());
  other->SaveToFile(Path("again.GLSM"));  // the extension in any case
  EXPECT_EQ(Bytes(Path("again.GLSM")), first);
}

TEST_F(BaseMesh, ASaveKeepsALinkAndThePermissionsOfWhatItReplaces) {
  BuildPreviewMesh(*mesh->MeshObjects(), 3);
  common::test::ExpectSaveKeepsLinksAndModes(".glsm",
                                             [&](const std::string& name) { mesh->SaveToFile(name); });
}

TEST_F(BaseMesh, AFailedLoadLeavesTheMeshAsItWas) {
  BuildPreviewMesh(*mesh->MeshObjects(), 5);
  mesh->SaveToFile(Path("good.glsm"));
  const std::string good = Bytes(Path("good.glsm"));
  TMeshObject* kept = mesh->MeshObjects()->Items(0);
  struct Case {
    const char* what;
    std::string name;
    std::string bytes;
  };
  const Case cases[] = {
      {"truncated", "a.glsm", good.substr(0, good.size() / 2)},
      {"empty", "b.glsm", ""},
      {"unknown class", "c.glsm", [&] {
         std::string b = good;
         b.replace(b.find('T', 3), 1, "X");
         return b;
       }()},
      {"index past the vertices", "d.glsm", [&] {
         // The last index of the group (24 of 25 vertices) becomes 25.
         std::string b = good;
         const std::string last("\x18\x00\x00\x00", 4);
         const size_t at = b.rfind(last);
         b[at] = 25;
         return b;
       }()},
      {"unknown extension", "e.obj", good},
  };
  for (const Case& c : cases) {
    Write(Path(c.name), c.bytes);
    EXPECT_THROW(mesh->LoadFromFile(Path(c.name)), common::Exception) << c.what;
    ASSERT_EQ(mesh->MeshObjects()->Count(), 1) << c.what;
    EXPECT_EQ(mesh->MeshObjects()->Items(0), kept) << c.what;
    EXPECT_EQ(kept->TriangleCount(), 32) << c.what;
  }
  // A file that cannot be opened: the same.
  EXPECT_THROW(mesh->LoadFromFile(Path("missing.glsm")), common::Exception);
  EXPECT_EQ(mesh->MeshObjects()->Items(0), kept);
}

TEST_F(BaseMesh, UnknownExtensionsNameTheirSupportUnit) {
  Write(Path("shape.obj"), "v 0 0 0");
  try {
    mesh->LoadFromFile(Path("shape.obj"));
    FAIL() << "no error";
  } catch (const EInvalidVectorFile& e) {
    EXPECT_STREQ(e.what(),
                 "Unknown file extension (obj), maybe you forgot to add the support unit to your uses? (GLFileOBJ?)");
  }
  // Saving to an unknown format creates nothing.
  EXPECT_THROW(mesh->SaveToFile(Path("shape.3ds")), EInvalidVectorFile);
  EXPECT_FALSE(fs::exists(Path("shape.3ds")));
  EXPECT_FALSE(fs::exists(Path("shape.3ds.part")));
  EXPECT_NE(VectorFileFormatRegistry().ClassForExtension("GlSm"), nullptr);
}

TEST_F(BaseMesh, LoadingAppliesAutoScalingAndAutoCentering) {
  TMeshObject* source = TMeshObject::CreateOwned(mesh->MeshObjects());
  for (const TVector3f& p : {TVector3f{1, 1, 1}, TVector3f{3, 5, 7}, TVector3f{2, 0, 4}}) source->Vertices()->Add(p);
  mesh->SaveToFile(Path("box.glsm"));
  struct Case {
    TMeshAutoCenterings centering;
    TVector3f scaling;
    TVector3f min, max;
  };
  const Case cases[] = {
      {0, {1, 1, 1}, {1, 0, 1}, {3, 5, 7}},
      {0, {2, 1, 1}, {2, 0, 1}, {6, 5, 7}},
      {AutoCenteringBit(macCenterX) | AutoCenteringBit(macCenterZ), {1, 1, 1}, {-1, 0, -3}, {1, 5, 3}},
      {AutoCenteringBit(macUseBarycenter), {1, 1, 1}, {-1, -2, -3}, {1, 3, 3}},
  };
  for (const Case& c : cases) {
    auto* loaded = new TGLFreeForm(&form);
    loaded->SetAutoCentering(c.centering);
    loaded->AutoScaling()->SetVector(c.scaling.X, c.scaling.Y, c.scaling.Z);
    loaded->LoadFromFile(Path("box.glsm"));
    TVector3f min, max;
    loaded->GetExtents(min, max);
    for (int k = 0; k < 3; ++k) {
      EXPECT_FLOAT_EQ(min[k], c.min[k]) << int(c.centering) << " axis " << k;
      EXPECT_FLOAT_EQ(max[k], c.max[k]) << int(c.centering) << " axis " << k;
    }
  }
}

TEST_F(BaseMesh, DimensionsAreCachedUntilTheStructureChanges) {
  // Without mesh objects: the list's extents (1e30, -1e30) give -1e30 on every axis.
  TVector4f d = mesh->AxisAlignedDimensionsUnscaled();
  EXPECT_FLOAT_EQ(d.X, -1e30f);
  EXPECT_FLOAT_EQ(d.Z, -1e30f);
  BuildPreviewMesh(*mesh->MeshObjects(), 9);
  d = mesh->AxisAlignedDimensionsUnscaled();
  EXPECT_NEAR(d.Y, 0.5f, 1e-6);
  EXPECT_NEAR(d.X, 0.5f, 1e-6);
  // The editor refills the list: the old size stands until the structure change.
  BuildPreviewMesh(*mesh->MeshObjects(), 9)->Vertices()->Scale(2);
  EXPECT_NEAR(mesh->AxisAlignedDimensionsUnscaled().Y, 0.5f, 1e-6);
  mesh->StructureChanged();
  EXPECT_NEAR(mesh->AxisAlignedDimensionsUnscaled().Y, 1, 1e-6);
  const TVector3f b = mesh->VertexBarycenter();
  EXPECT_NEAR(b.Y, 0, 1e-6);
}

TEST_F(BaseMesh, RayCastFindsTheNearestTriangle) {
  BuildPreviewMesh(*mesh->MeshObjects(), 33);
  mesh->StructureChanged();
  mesh->Position()->SetPoint(1, 0, 0);
  TVector4f point, normal;
  ASSERT_TRUE(mesh->RayCastIntersect({1, 0, 5, 1}, {0, 0, -1, 0}, &point, &normal));
  EXPECT_NEAR(point.X, 1, 1e-5);
  EXPECT_NEAR(point.Z, 0.5f, 2e-3);  // the near side of the sphere, not the far one
  EXPECT_FALSE(mesh->RayCastIntersect({1, 0, 5, 1}, {0, 0, 1, 0}));
  EXPECT_FALSE(mesh->RayCastIntersect({3, 0, 5, 1}, {0, 0, -1, 0}));
  // An invisible mesh object is not hit.
  mesh->MeshObjects()->Items(0)->SetVisible(false);
  EXPECT_FALSE(mesh->RayCastIntersect({1, 0, 5, 1}, {0, 0, -1, 0}));
}

class SimpleMesh : public RecordingFixture {
 protected:
  void SetUp() override {
    Scene3dSceneStartup();
    RecordingFixture::SetUp();
    rci.StateCache = &S();
  }
  TRenderContextInfo rci;
};

TEST_F(SimpleMesh, DrawsItsRecordsWithOnePrimitive) {
  TGLMesh mesh(nullptr);
  mesh.BuildList(rci);
  ASSERT_EQ(rec.Count("InterleavedArrays"), 1u);
  const TGLRecordedCall* call = &rec.Calls[0];
  for (const TGLRecordedCall& c : rec.Calls)
    if (c.Name == "InterleavedArrays") call = &c;
  EXPECT_EQ(call->Args[0].I, GL_T2F_C4F_N3F_V3F);
  EXPECT_EQ(call->Args[2].P, mesh.Vertices()->List());
  EXPECT_EQ(rec.Count("ColorMaterial"), 1u);
  EXPECT_NE(rec.Log().find("DrawArrays(5, 0, 3)"), std::string::npos) << rec.Log();  // GL_TRIANGLE_STRIP

  // vmVT: the texture points and the positions each with the 48-byte record stride.
  rec.Clear();
  mesh.SetVertexMode(vmVT);
  mesh.SetMode(mmTriangles);
  mesh.BuildList(rci);
  EXPECT_EQ(rec.Count("InterleavedArrays"), 0u);
  const std::string log = rec.Log();
  EXPECT_NE(log.find("TexCoordPointer(2, 5126, 48, ptr)"), std::string::npos) << log;
  EXPECT_NE(log.find("VertexPointer(3, 5126, 48, ptr)"), std::string::npos) << log;
  EXPECT_NE(log.find("DrawArrays(4, 0, 3)"), std::string::npos) << log;
  EXPECT_EQ(rec.Count("ColorMaterial"), 0u);

  // Half sizes measured from the origin; a vertex change drops the cache.
  EXPECT_FLOAT_EQ(mesh.AxisAlignedDimensionsUnscaled().X, 1);
  mesh.Vertices()->SetVertexCoord(0, {-3, 0, 0});
  EXPECT_FLOAT_EQ(mesh.AxisAlignedDimensionsUnscaled().X, 3);
}

#include "shape/ObjFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "rastova/core/RVStream.h"
#include "shape/model/uScPrim.h"
#include "shape/tests/MeshCheckUtil.h"
#include "shape/tests/ShapeIoTestUtil.h"
#include "shape/tests/TextureTestUtil.h"

using namespace shape;
using namespace shape_test;

namespace {

const TScType kTypes[] = {SCTYPE_SPHERE, SCTYPE_TORUS, SCTYPE_PLANE, SCTYPE_CYLINDER};

std::string TypeName(TScType t) {
  static const char* names[] = {"sphere", "torus", "plane", "cylinder"};
  return names[t];
}

// Writes the shape as OBJ under dir/name and returns the written OBJ's name.
std::string WriteObj(const TCS& cs, const ScratchDir& dir, const std::string& name, bool triangles) {
  std::string file = dir / name;
  WriteObjFile(cs, file, triangles);
  return file;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> out;
  for (const std::string& line : lines)
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  return out;
}

// The points of the block agree within `tolerance`.
void ExpectNearPoints(const TCS& a, const TCS& b, double tolerance, const std::string& what) {
  ASSERT_EQ(a.CPMaxI, b.CPMaxI) << what;
  ASSERT_EQ(a.CPMaxJ, b.CPMaxJ) << what;
  double worst = 0;
  for (int i = 0; i < a.CPMaxI; ++i)
    for (int j = 0; j < a.CPMaxJ; ++j)
      for (int k = 0; k < 3; ++k) worst = std::max(worst, std::fabs(a.CP[i][j][k] - b.CP[i][j][k]));
  EXPECT_LE(worst, tolerance) << what;
}

bool SameRecord(const TCS& a, const TCS& b) { return std::memcmp(&a, &b, sizeof(TCS)) == 0; }

// A shape with points that are not a primitive's (so the reading must place every one).
std::unique_ptr<TCS> WavyShape(TScType type, int columns, int rows) {
  auto cs = NewShape(type, columns, rows);
  for (int i = 0; i < columns; ++i)
    for (int j = 0; j < rows; ++j) {
      cs->CP[i][j][0] *= 0.9 + 0.05 * std::sin(i * 0.7 + j);
      cs->CP[i][j][2] += 0.01 * std::cos(j * 1.3);
    }
  CopySeams(*cs, 0);
  return cs;
}

}  // namespace

// The numbering rules on small grids, worked out by hand: every face corner's vertex and texture
// numbers for each stitch type and both modes.
TEST(ObjFile, FaceNumberingOfEachStitchTypeAndMode) {
  TextureFixture textures;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  struct Case {
    TScType type;
    int columns, rows;
    bool triangles;
    const char* comment;
    std::vector<std::string> faces;
  };
  const Case cases[] = {
      {SCTYPE_PLANE, 3, 3, false, "#9 vertices, 8 faces",
       {"f 1/1/ 2/2/ 5/5/ 4/4/", "f 2/2/ 3/3/ 6/6/ 5/5/", "f 4/4/ 5/5/ 8/8/ 7/7/", "f 5/5/ 6/6/ 9/9/ 8/8/"}},
      {SCTYPE_CYLINDER, 3, 3, true, "#6 vertices, 8 faces",
       {"f 1/1/ 2/2/ 4/5/", "f 1/1/ 4/5/ 3/4/", "f 2/2/ 1/3/ 3/6/", "f 2/2/ 3/6/ 4/5/", "f 3/4/ 4/5/ 6/8/",
        "f 3/4/ 6/8/ 5/7/", "f 4/5/ 3/6/ 5/9/", "f 4/5/ 5/9/ 6/8/"}},
      {SCTYPE_TORUS, 3, 3, false, "#4 vertices, 8 faces",
       {"f 1/1/ 2/2/ 4/5/ 3/4/", "f 2/2/ 1/3/ 3/6/ 4/5/", "f 3/4/ 4/5/ 2/8/ 1/7/", "f 4/5/ 3/6/ 1/9/ 2/8/"}},
      {SCTYPE_SPHERE, 3, 4, true, "# 6 vertices, 8 faces",
       {"f 1/1/ 3/4/ 2/3/", "f 1/2/ 2/5/ 3/4/", "f 2/3/ 3/4/ 5/7/", "f 2/3/ 5/7/ 4/6/", "f 3/4/ 2/5/ 4/8/",
        "f 3/4/ 4/8/ 5/7/", "f 4/6/ 5/7/ 6/9/", "f 5/7/ 4/8/ 6/10/"}},
      {SCTYPE_SPHERE, 3, 4, false, "# 6 vertices, 6 faces",
       {"f 1/1/ 2/2/ 4/5/ 3/4/", "f 1/2/ 2/3/ 3/6/ 4/5/", "f 3/4/ 4/5/ 6/8/ 5/7/", "f 4/5/ 3/6/ 5/9/ 6/8/",
        "f 5/7/ 6/8/ 8/11/ 7/10/", "f 6/8/ 5/9/ 8/12/ 7/11/"}},
  };
  for (const Case& c : cases) {
    auto cs = NewShape(c.type, c.columns, c.rows);
    const std::string what = TypeName(c.type) + (c.triangles ? " triangles" : " quads");
    const auto lines = CrLfLines(WriteObj(*cs, dir, "grid.obj", c.triangles));
    ASSERT_GE(lines.size(), 4u) << what;
    EXPECT_EQ(lines[3], c.comment) << what;
    EXPECT_EQ(LinesStartingWith(lines, "f "), c.faces) << what;
  }
}

TEST(ObjFile, WholeFileOfASmallPlaneInQuads) {
  TextureFixture textures;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  settings::AppSettings.MaximizeWithSymmetry = true;
  auto cs = NewShape(SCTYPE_PLANE, 3, 3);
  std::string name = dir / "p.obj";
  WriteObjFile(*cs, name, false);
  EXPECT_EQ(name, dir / "p.obj");
  const std::string expected =
      "# Exported from GYRAN Series\r\nmtllib p.mtl\r\no OLMERA_DURIM\r\n#9 vertices, 8 faces\r\n"
      "g OLMERA_default\r\nusemtl olmera\r\n"
      "v -1.00000000 0.00000000 -1.00000000\r\nv 0.00000000 0.00000000 -1.00000000\r\n"
      "v 1.00000000 0.00000000 -1.00000000\r\nv -1.00000000 0.00000000 0.00000000\r\n"
      "v 0.00000000 0.00000000 0.00000000\r\nv 1.00000000 0.00000000 0.00000000\r\n"
      "v -1.00000000 0.00000000 1.00000000\r\nv 0.00000000 0.00000000 1.00000000\r\n"
      "v 1.00000000 0.00000000 1.00000000\r\n"
      "vt 0.00000000 0.00000000\r\nvt 0.50000000 0.00000000\r\nvt 1.00000000 0.00000000\r\n"
      "vt 0.00000000 0.50000000\r\nvt 0.50000000 0.50000000\r\nvt 1.00000000 0.50000000\r\n"
      "vt 0.00000000 1.00000000\r\nvt 0.50000000 1.00000000\r\nvt 1.00000000 1.00000000\r\n"
      "f 1/1/ 2/2/ 5/5/ 4/4/\r\nf 2/2/ 3/3/ 6/6/ 5/5/\r\nf 4/4/ 5/5/ 8/8/ 7/7/\r\nf 5/5/ 6/6/ 9/9/ 8/8/\r\n";
  EXPECT_EQ(ReadWholeFile(name), expected);
  EXPECT_EQ(ReadWholeFile(dir / "p.mtl"), "newmtl olmera\r\nmap_Kd p.png\r\n");
  EXPECT_TRUE(std::filesystem::exists(dir / "p.png"));
}

// The sphere's vertex and texture records in both modes: the poles once in triangles and twice in
// quads; in triangles the texture grid loses its pole rows and gets B records at each pole, the
// upper ones shifted by one column.
TEST(ObjFile, SphereVertexAndTextureRecordsOfBothModes) {
  TextureFixture textures;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  settings::AppSettings.MaximizeWithSymmetry = false;
  auto cs = NewShape(SCTYPE_SPHERE, 3, 4);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j) cs->CP[i][j] = {i * 0.125, j * 0.25, 0.5};
  const std::vector<std::string> rows = {
      "v 0.00000000 0.25000000 0.50000000", "v 0.12500000 0.25000000 0.50000000",
      "v 0.00000000 0.50000000 0.50000000", "v 0.12500000 0.50000000 0.50000000"};
  const std::string lower = "v 0.00000000 0.00000000 0.50000000",
                    upper = "v 0.25000000 0.75000000 0.50000000";
  const std::vector<std::string> middle = {"vt 0.00000000 0.33333333", "vt 0.50000000 0.33333333",
                                           "vt 1.00000000 0.33333333", "vt 0.00000000 0.66666667",
                                           "vt 0.50000000 0.66666667", "vt 1.00000000 0.66666667"};
  struct Case {
    bool triangles;
    std::vector<std::string> v, vt;
  };
  std::vector<std::string> quadTex = {"vt 0.00000000 0.00000000", "vt 0.50000000 0.00000000",
                                      "vt 1.00000000 0.00000000"};
  quadTex.insert(quadTex.end(), middle.begin(), middle.end());
  quadTex.insert(quadTex.end(),
                 {"vt 0.00000000 1.00000000", "vt 0.50000000 1.00000000", "vt 1.00000000 1.00000000"});
  std::vector<std::string> triTex = {"vt 0.00000000 0.00000000", "vt 0.50000000 0.00000000"};
  triTex.insert(triTex.end(), middle.begin(), middle.end());
  triTex.insert(triTex.end(), {"vt 0.50000000 1.00000000", "vt 1.00000000 1.00000000"});
  std::vector<std::string> triV = {lower}, quadV = {lower, lower};
  triV.insert(triV.end(), rows.begin(), rows.end());
  quadV.insert(quadV.end(), rows.begin(), rows.end());
  triV.push_back(upper);
  quadV.insert(quadV.end(), {upper, upper});
  for (const Case& c : {Case{true, triV, triTex}, Case{false, quadV, quadTex}}) {
    const auto lines = CrLfLines(WriteObj(*cs, dir, "s.obj", c.triangles));
    EXPECT_EQ(LinesStartingWith(lines, "v "), c.v) << c.triangles;
    EXPECT_EQ(LinesStartingWith(lines, "vt "), c.vt) << c.triangles;
  }
}

TEST(ObjFile, RecordFormats) {
  EXPECT_EQ(FormatObjVertex({0.5, -0.25, 0.9921875}), "v 0.50000000 -0.25000000 0.99218750");
  // 127/128 and -127/128 become 1 and -1 under "MaximizeWithSymmetry".
  EXPECT_EQ(FormatObjVertexScaled({0.9921875, -0.9921875, 0}), "v 1.00000000 -1.00000000 0.00000000");
  EXPECT_EQ(FormatObjTexCoord(1.0 / 3, 1), "vt 0.33333333 1.00000000");
  const int32_t v[4] = {1, 22, 333, 4}, t[4] = {5, 6, 7, 8};
  EXPECT_EQ(FormatObjTriangle(v, t), "f 1/5/ 22/6/ 333/7/");
  EXPECT_EQ(FormatObjQuad(v, t), "f 1/5/ 22/6/ 333/7/ 4/8/");
}

TEST(ObjFile, CountsOfTheDefaultSphereAndTheBigPlane) {
  TextureFixture textures;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  auto sphere = NewShape(SCTYPE_SPHERE, 33, 33);
  const auto s = CrLfLines(WriteObj(*sphere, dir, "s.obj", true));
  EXPECT_EQ(CountPrefix(s, "v "), 994u);
  EXPECT_EQ(CountPrefix(s, "vt "), 32u + 31 * 33 + 32);
  EXPECT_EQ(CountPrefix(s, "f "), 1984u);
  EXPECT_EQ(s[3], "# 994 vertices, 1984 faces");

  auto plane = NewShape(SCTYPE_PLANE, 33, 33);
  const auto p = CrLfLines(WriteObj(*plane, dir, "p.obj", false));
  EXPECT_EQ(p[3], "#1089 vertices, 2048 faces");
  EXPECT_EQ(CountPrefix(p, "v "), 1089u);
  EXPECT_EQ(CountPrefix(p, "vt "), 1089u);
  const auto faces = LinesStartingWith(p, "f ");
  EXPECT_EQ(faces.size(), 1024u);
  int unequal = 0;
  for (const std::string& f : faces) {
    int v[4], t[4];
    ASSERT_EQ(std::sscanf(f.c_str(), "f %d/%d/ %d/%d/ %d/%d/ %d/%d/", &v[0], &t[0], &v[1], &t[1], &v[2], &t[2], &v[3],
                          &t[3]),
              8);
    for (int k = 0; k < 4; ++k) unequal += v[k] != t[k];
  }
  EXPECT_EQ(unequal, 0);

  // The torus writes each of its B (J - 1) points once; its last band refers back to row 0.
  auto torus = NewShape(SCTYPE_TORUS, 9, 5);
  const auto t = CrLfLines(WriteObj(*torus, dir, "t.obj", false));
  EXPECT_EQ(CountPrefix(t, "v "), 8u * 4);
  EXPECT_EQ(LinesStartingWith(t, "f ").back(), "f 32/35/ 25/36/ 1/45/ 8/44/");
}

TEST(ObjFile, RoundTripOfEveryStitchTypeAndModeWithAndWithoutSymmetry) {
  TextureFixture textures;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  for (bool symmetric : {true, false})
    for (TScType type : kTypes)
      for (bool triangles : {true, false}) {
        settings::AppSettings.MaximizeWithSymmetry = symmetric;
        auto cs = WavyShape(type, 17, 9);
        const std::string what = TypeName(type) + (triangles ? " triangles" : " quads") +
                                 (symmetric ? " symmetric" : "");
        const std::string name = WriteObj(*cs, dir, "round.obj", triangles);
        auto back = NewShape(SCTYPE_PLANE, 5, 5);
        std::string mtl;
        ASSERT_EQ(ReadObjFile(*back, name, mtl, -1), 0) << what;
        EXPECT_EQ(back->ScType, type) << what;
        EXPECT_EQ(mtl, dir / "round.mtl") << what;
        ExpectNearPoints(*cs, *back, 1e-8, what);
        EXPECT_EQ(TextureWidth, 16 * 16) << what;
      }
}

TEST(ObjFile, DefaultSphereInTrianglesReadsBackWithItsPoleCorners) {
  TextureFixture textures;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  const std::string name = WriteObj(*cs, dir, "s.obj", true);
  auto back = NewShape(SCTYPE_TORUS, 9, 9);
  std::string mtl;
  ASSERT_EQ(ReadObjFile(*back, name, mtl, -1), 0);
  EXPECT_EQ(back->ScType, SCTYPE_SPHERE);
  ExpectNearPoints(*cs, *back, 1e-8, "sphere");
}

TEST(ObjFile, ForcedStitchTypeIsTaken) {
  TextureFixture textures;
  ScratchDir dir;
  auto cs = NewShape(SCTYPE_CYLINDER, 9, 9);
  const std::string name = WriteObj(*cs, dir, "c.obj", false);
  for (int forced : {0, 1, 2, 3}) {
    auto back = NewShape(SCTYPE_PLANE, 5, 5);
    std::string mtl;
    ASSERT_EQ(ReadObjFile(*back, name, mtl, forced), 0);
    EXPECT_EQ(back->ScType, forced);
  }
}

TEST(ObjFile, NamesKeepEveryDotButTheExtensionAndTakeFreeNames) {
  TextureFixture textures;
  ScratchDir dir;
  auto cs = NewShape(SCTYPE_SPHERE, 9, 9);
  settings::AppSettings.FileOverWrite = true;
  dir.Touch("a.obj");  // must not be touched by a.b.obj's files
  EXPECT_EQ(WriteObj(*cs, dir, "a.b.obj", true), dir / "a.b.obj");
  for (const char* f : {"a.b.obj", "a.b.mtl", "a.b.png"}) EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
  EXPECT_EQ(ReadWholeFile(dir / "a.obj"), "x");
  EXPECT_EQ(ReadWholeFile(dir / "a.b.mtl"), "newmtl olmera\r\nmap_Kd a.b.png\r\n");

  // With "File OverWrite" off every file takes the next free name, and each names the others'.
  settings::AppSettings.FileOverWrite = false;
  EXPECT_EQ(WriteObj(*cs, dir, "a.b.obj", true), dir / "a.b_001.obj");
  EXPECT_EQ(ReadWholeFile(dir / "a.b_001.mtl"), "newmtl olmera\r\nmap_Kd a.b_001.png\r\n");
  EXPECT_EQ(CrLfLines(dir / "a.b_001.obj")[1], "mtllib a.b_001.mtl");
  EXPECT_NE(RenameNotice.find("a.b_001.obj"), std::string::npos);
}

TEST(ObjFile, EveryWrittenFileLoadsInAssimpWithItsFacesAndTexture) {
  TextureFixture textures;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  for (TScType type : kTypes)
    for (bool triangles : {true, false}) {
      auto cs = NewShape(type, 9, 9);
      const std::string what = TypeName(type) + (triangles ? "-tri" : "-quad");
      const std::string name = WriteObj(*cs, dir, what + ".obj", triangles);
      const TAssimpInfo info = AssimpInfo(name);
      ASSERT_EQ(info.status, 0) << what << "\n" << info.output;
      // assimp splits every quad in two.
      const auto lines = CrLfLines(name);
      const long triangleCount = static_cast<long>(CountPrefix(lines, "f ")) * (triangles ? 1 : 2);
      EXPECT_EQ(info.faces, triangleCount) << what;
      EXPECT_EQ(info.textures, std::vector<std::string>{what + ".png"}) << what;
    }
}

// ---- reading rules ----

namespace {

struct ObjReadFixture {
  TextureFixture textures;
  ScratchDir dir;

  // Reads `text` as an OBJ file into `cs`.
  int32_t Read(TCS& cs, const std::string& text, std::string* mtl = nullptr, int32_t forced = -1) {
    const std::string name = dir / "in.obj";
    WriteWholeFile(name, text);
    std::string path;
    const int32_t result = ReadObjFile(cs, name, path, forced);
    if (mtl) *mtl = path;
    return result;
  }
};

// A 2 x 2 plane (texture grid 1/4: a 5 x 5 grid) written by another tool: one quad per cell.
std::string PlaneObj(int n, const std::string& corner) {
  std::string s;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) s += "v " + std::to_string(i * 0.1) + " 0.5 " + std::to_string(j * 0.1) + "\n";
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i)
      s += "vt " + std::to_string(static_cast<double>(i) / n) + " " + std::to_string(static_cast<double>(j) / n) +
           "\n";
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const int a = j * (n + 1) + i + 1, b = a + 1, c = a + n + 2, d = a + n + 1;
      auto k = [&](int v) {
        std::string x = corner;
        for (size_t p; (p = x.find('#')) != std::string::npos;) x.replace(p, 1, std::to_string(v));
        return x;
      };
      s += "f " + k(a) + " " + k(b) + " " + k(c) + " " + k(d) + "\n";
    }
  return s;
}

}  // namespace

TEST(ObjFile, ReadingRulesForRecordsAndNumbers) {
  ObjReadFixture f;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  // Tabs, commas for points, CR line ends, a "w" after x y z, "vn" records and "7//3" corners.
  std::string text = "mtllib first.mtl\r# c\rmtllib \"my lib.mtl\"\r";
  for (int j = 0; j <= 4; ++j)
    for (int i = 0; i <= 4; ++i) text += "v\t" + std::to_string(i) + ",5 0 " + std::to_string(j) + " 1.0\r";
  text += "vn 1 2 3\r";
  for (int j = 0; j <= 4; ++j)
    for (int i = 0; i <= 4; ++i) text += "vt " + std::to_string(i * 0.25) + " " + std::to_string(j * 0.25) + "\r";
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      const int a = j * 5 + i + 1;
      text += "f " + std::to_string(a) + "/" + std::to_string(a) + " " + std::to_string(a + 1) + "/" +
              std::to_string(a + 1) + "/9 " + std::to_string(a + 6) + "/" + std::to_string(a + 6) + " " +
              std::to_string(a + 5) + "/" + std::to_string(a + 5) + "\r";
    }
  std::string mtl;
  ASSERT_EQ(f.Read(*cs, text, &mtl), 0);
  EXPECT_EQ(mtl, f.dir / "my lib.mtl");
  ASSERT_EQ(cs->CPMaxI, 5);
  ASSERT_EQ(cs->CPMaxJ, 5);
  EXPECT_EQ(cs->ScType, SCTYPE_PLANE);
  // Point (i, j) is (i + 0.5, 0, j), then each axis brought into the cube: x by 1 / 4.5, z by 1 / 4.
  EXPECT_NEAR(cs->CP[3][2][0], 3.5 / 4.5, 1e-12);
  EXPECT_EQ(cs->CP[3][2][1], 0.0);
  EXPECT_NEAR(cs->CP[3][2][2], 0.5, 1e-12);

  // "7//3" has texture number 1: every corner of this file names texture 1 except the first.
  auto cs2 = NewShape(SCTYPE_SPHERE, 33, 33);
  ASSERT_EQ(f.Read(*cs2, PlaneObj(4, "#//3")), 0);
  // Only grid point (0, 0) (texture 1) finds a vertex: the first corner using texture 1 is vertex 1.
  EXPECT_EQ(cs2->CP[0][0][1], 0.5 * (settings::AppSettings.MaximizeWithSymmetry ? 0.9921875 : 1.0));
  EXPECT_EQ(cs2->CP[1][0][1], 0.0);
}

TEST(ObjFile, FindVertexTakesTheFirstUsedEntryAndTheFirstCorner) {
  // Entries 0 and 2 stand for (1, 1); entry 0 is used by no corner, entry 2 by two corners.
  const TTexs texs = {{1, 1}, {0, 0}, {1, 1}, {2, 2}};
  TFaces faces(2);
  faces[0].Corners = 3;
  faces[0].V[0] = 7, faces[0].T[0] = 2;
  faces[0].V[1] = 5, faces[0].T[1] = 3;
  faces[0].V[2] = 9, faces[0].T[2] = 4;
  faces[1].Corners = 3;
  faces[1].V[0] = 4, faces[1].T[0] = 3;
  faces[1].V[1] = 99, faces[1].T[1] = 4;  // vertex beyond the list: never used
  faces[1].V[2] = 1, faces[1].T[2] = 2;
  EXPECT_EQ(FindVertexForGridPoint(1, 1, texs, faces, 10), 4);
  EXPECT_EQ(FindVertexForGridPoint(0, 0, texs, faces, 10), 6);
  EXPECT_EQ(FindVertexForGridPoint(2, 2, texs, faces, 10), 8);
  EXPECT_EQ(FindVertexForGridPoint(2, 2, texs, faces, 8), -1);
  EXPECT_EQ(FindVertexForGridPoint(3, 3, texs, faces, 10), -1);
}

TEST(ObjFile, DuplicateTextureEntriesFollowTheFileOrder) {
  // Texture entry 1 stands for (0, 0) but no corner uses it: grid point (0, 0) takes the next
  // entry for it (used by vertex 1). Entry 27 stands for (4, 4) too and its face comes first in
  // the file, yet the earlier entry 26 (used by vertex 25) wins.
  ObjReadFixture f;
  settings::AppSettings.MaximizeWithSymmetry = false;
  std::string text;
  for (int j = 0; j <= 4; ++j)
    for (int i = 0; i <= 4; ++i) text += "v 0." + std::to_string(i) + " 0.5 0." + std::to_string(j) + "\n";
  text += "v 0.9 0.9 0.9\nvt 0 0\n";
  for (int j = 0; j <= 4; ++j)
    for (int i = 0; i <= 4; ++i) text += "vt " + std::to_string(i * 0.25) + " " + std::to_string(j * 0.25) + "\n";
  text += "vt 1 1\nf 26/27 26/27 26/27\n";
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      const int a = j * 5 + i + 1;
      text += "f";
      for (int v : {a, a + 1, a + 6, a + 5}) text += " " + std::to_string(v) + "/" + std::to_string(v + 1);
      text += "\n";
    }
  auto cs = NewShape(SCTYPE_SPHERE, 9, 9);
  ASSERT_EQ(f.Read(*cs, text), 0);
  ASSERT_EQ(cs->CPMaxI, 5);
  EXPECT_EQ(cs->CP[0][0][0], 0.0);
  EXPECT_EQ(cs->CP[0][0][1], 0.5);
  EXPECT_EQ(cs->CP[4][4][0], 0.4);
  EXPECT_EQ(cs->CP[4][4][2], 0.4);
}

TEST(ObjFile, VertexOnlyFiles) {
  ObjReadFixture f;
  // The default sphere as bare vertices in the fixed order: the 994-vertex file.
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  std::string text = "# bare\n" + FormatObjVertex(cs->CP[0][0]) + "\n";
  for (int j = 1; j <= 31; ++j)
    for (int i = 0; i <= 31; ++i) text += FormatObjVertex(cs->CP[i][j]) + "\n";
  text += FormatObjVertex(cs->CP[0][32]) + "\n";
  auto back = NewShape(SCTYPE_PLANE, 5, 5);
  settings::AppSettings.MaximizeWithSymmetry = false;
  ASSERT_EQ(f.Read(*back, text), 0);
  EXPECT_EQ(back->ScType, SCTYPE_SPHERE);
  ExpectNearPoints(*cs, *back, 1e-8, "vertex-only sphere");

  // A malformed record fails the read and leaves the shape as it was.
  auto before = std::make_unique<TCS>(*back);
  const size_t second = text.find("\nv ", text.find("\nv ") + 1) + 1;
  const std::string bad = text.substr(0, second) + "v 0.5" + text.substr(text.find('\n', second));
  EXPECT_EQ(f.Read(*back, bad), -1);
  EXPECT_TRUE(SameRecord(*back, *before));

  // The routine alone, on lines as the reader hands them over.
  std::vector<std::string> owned = {"v 1 2 3"};
  std::vector<std::string_view> lines(owned.begin(), owned.end());
  EXPECT_EQ(ReadVertexOnlyObj(*back, lines), -1);
  EXPECT_TRUE(SameRecord(*back, *before));
}

TEST(ObjFile, TextureCoordinatesThatGiveNoGridFallToTheVertexOnlyRules) {
  ObjReadFixture f;
  auto cs = NewShape(SCTYPE_TORUS, 9, 9);
  const auto before = std::make_unique<TCS>(*cs);
  // Smallest coordinate 1/24: 24 is no power of two, and 25 x 25 vertices are none of the seven.
  std::string text;
  for (int j = 0; j <= 24; ++j)
    for (int i = 0; i <= 24; ++i) text += "v 0 0 0\n";
  for (int j = 0; j <= 24; ++j)
    for (int i = 0; i <= 24; ++i) text += "vt " + std::to_string(i / 24.0) + " " + std::to_string(j / 24.0) + "\n";
  text += "f 1/1 2/2 27/27 26/26\n";
  std::string mtl = "x";
  EXPECT_EQ(f.Read(*cs, "mtllib m.mtl\n" + text, &mtl), -1);
  EXPECT_TRUE(SameRecord(*cs, *before));
  EXPECT_EQ(mtl, "");
  EXPECT_EQ(CPHalfI, 4);
}

TEST(ObjFile, FitShapeToCube) {
  struct Case {
    bool symmetric;
    double lo, hi;          // the extremes of the x axis
    double scale;           // expected factor
  };
  const double k = 0.9921875;
  const Case cases[] = {
      {false, -0.5, 0.5, 1.0},           // fits: kept
      {true, -0.5, 0.5, k},              // fits: shrunk by 127/128 anyway
      {false, -2.0, 1.0, 0.9921875 / 2},  // below: by the lower end
      {false, -0.5, 4.0, 0.25},          // above: by the upper end
      {true, -0.5, 4.0, 1 / (4 * k) * k},
      {false, -4.0, 2.0, 0.9921875 / 4},  // both: the smaller factor
      {false, 0, 0, 1.0},
  };
  for (const Case& c : cases) {
    auto cs = NewShape(SCTYPE_PLANE, 3, 3);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) cs->CP[i][j] = {0, 0.25, 0};
    cs->CP[0][1][0] = c.lo;
    cs->CP[2][2][0] = c.hi;
    FitShapeToCube(*cs, c.symmetric);
    EXPECT_DOUBLE_EQ(cs->CP[0][1][0], c.lo * c.scale) << c.lo << " " << c.hi << " " << c.symmetric;
    EXPECT_DOUBLE_EQ(cs->CP[2][2][0], c.hi * c.scale) << c.lo << " " << c.hi << " " << c.symmetric;
    EXPECT_DOUBLE_EQ(cs->CP[1][1][1], 0.25 * (c.symmetric ? k : 1.0));
  }
}

TEST(ObjFile, MtlTexturePathAndRelativePaths) {
  ScratchDir dir;
  std::filesystem::create_directories(dir / "sub");
  WriteWholeFile(dir / "a.mtl", "newmtl x\n\tmap_Kd first.png\nmap_Ka no.png\nmap_Kd sub/second.png\nmap_Kd\n");
  EXPECT_EQ(ReadMtlTexturePath(dir / "a.mtl"), dir / "sub/second.png");
  WriteWholeFile(dir / "b.mtl", "newmtl x\nKd 1 1 1\n");
  EXPECT_EQ(ReadMtlTexturePath(dir / "b.mtl"), "");
  // A map_Kd into a missing folder still names the file (loading it is the caller's failure).
  WriteWholeFile(dir / "c.mtl", "map_Kd missing/t.png\n");
  EXPECT_EQ(ReadMtlTexturePath(dir / "c.mtl"), dir / "missing/t.png");
  EXPECT_THROW(ReadMtlTexturePath(dir / "none.mtl"), rv::EFOpenError);

  const auto cwd = std::filesystem::current_path();
  EXPECT_EQ(ResolveRelativePath(dir.Path(), "../x/./t.png"),
            (std::filesystem::path(dir.Path()).parent_path() / "x/t.png").string());
  EXPECT_EQ(ResolveRelativePath(dir.Path(), "/abs/t.png"), "/abs/t.png");
  EXPECT_EQ(ResolveRelativePath(dir / "missing", "t.png"), "");
  EXPECT_EQ(std::filesystem::current_path(), cwd);
}

// ---- damaged input ----

TEST(ObjFile, DamagedFilesEndInAFailureOrAGridWithoutCrash) {
  ObjReadFixture f;
  const std::string good = PlaneObj(4, "#/#");
  const std::string nonUtf8 = "# \xC3\x28\xFF\xFE\no \xE2\x82\n" + good + "g \x80\x81\n";
  std::string garbage(4096, '\0');
  for (size_t p = 0; p < garbage.size(); ++p) garbage[p] = static_cast<char>((p * 2654435761u) >> 13);
  std::string oneVertex = "v 1 1 1\nvt 0.25 0.25\nvt 0 0\n";
  for (int n = 0; n < 1000000; ++n) oneVertex += "f 1/2/ 1/1/ 1/2/\n";
  struct Case {
    const char* name;
    std::string text;
    int32_t result;
  };
  const Case cases[] = {
      {"empty", "", -1},
      {"truncated lines", "v 1\nvt 0.25\nf 1/1\nvt", -1},
      {"coordinates 0 and negative", "vt 0 0\nvt -0.25 -0.5\nv 0 0 0\nf 1/1 1/1 1/2\n", -1},
      {"huge coordinates", "vt 1e300 1e300\nvt 1e-300 1e-300\n", -1},
      {"not-a-number coordinates", "vt nan nan\nvt inf -inf\nvt 0x1p-2 0x1p-2\n", -1},
      {"faces of 2 and 5 corners", "vt 0.25 0.25\nv 1 1 1\nf 1/1 1/1\nf 1/1 1/1 1/1 1/1 1/1\n", 0},
      {"vertex numbers 0, negative, 2^31", "vt 0.25 0.25\nvt 0 0\nv 1 1 1\nf 0/2 -1/2 2147483648/2\n", 0},
      {"a million faces on one vertex", oneVertex, 0},
      {"binary garbage", garbage, -1},
      {"bytes that are not UTF-8", nonUtf8, 0},
      {"a grid of 512", "vt 0.001953125 0.25\n", -1},
  };
  for (const Case& c : cases) {
    auto cs = NewShape(SCTYPE_TORUS, 9, 9);
    const auto before = std::make_unique<TCS>(*cs);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(f.Read(*cs, c.text), c.result) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.name;
    if (c.result < 0) {
      EXPECT_TRUE(SameRecord(*cs, *before)) << c.name;
    } else {
      EXPECT_GE(cs->CPMaxI, 5) << c.name;
      for (int i = 0; i < cs->CPMaxI; ++i)
        for (int j = 0; j < cs->CPMaxJ; ++j)
          for (int k = 0; k < 3; ++k) EXPECT_TRUE(std::isfinite(cs->CP[i][j][k])) << c.name;
    }
  }
}

TEST(ObjFile, BadCornersNeverReadOutsideTheVertexList) {
  ObjReadFixture f;
  // Negative (relative) and too large vertex numbers match no grid point: every point is 0.
  for (const char* corner : {"-#/#", "1000#/#"}) {
    auto cs = NewShape(SCTYPE_SPHERE, 9, 9);
    ASSERT_EQ(f.Read(*cs, PlaneObj(4, corner)), 0) << corner;
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j) EXPECT_EQ(cs->CP[i][j][1], 0.0) << corner;
  }
}

TEST(ObjFile, UnreadableFileThrowsAndLeavesTheShape) {
  ScratchDir dir;
  auto cs = NewShape(SCTYPE_TORUS, 9, 9);
  const auto before = std::make_unique<TCS>(*cs);
  std::string mtl;
  EXPECT_THROW(ReadObjFile(*cs, dir / "none.obj", mtl, -1), rv::EFOpenError);
  EXPECT_THROW(ReadObjFile(*cs, dir.Path(), mtl, -1), rv::EFOpenError);
  EXPECT_TRUE(SameRecord(*cs, *before));
}

TEST(ObjFile, FailedWritesAreReportedAndLeaveWhatWasThere) {
  TextureFixture textures;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  auto cs = NewShape(SCTYPE_SPHERE, 9, 9);
  std::string name = dir / "missing/s.obj";
  EXPECT_THROW(WriteObjFile(*cs, name, true), rv::EFCreateError);
  // A folder in the OBJ's place cannot be replaced: the write fails and the folder keeps its file.
  std::filesystem::create_directories(dir / "s.obj");
  dir.Touch("s.obj/keep");
  name = dir / "s.obj";
  EXPECT_THROW(WriteObjFile(*cs, name, true), rv::EFCreateError);
  EXPECT_EQ(ReadWholeFile(dir / "s.obj/keep"), "x");
  EXPECT_FALSE(std::filesystem::exists(dir / "s.obj.tmp~"));
}

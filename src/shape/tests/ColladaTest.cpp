#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <regex>

#include "rastova/core/RVStream.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uScPrim.h"
#include "shape/XmlObject.h"
#include "shape/uFileIO.h"
#include "shape/uScCollada.h"
#include "shape/tests/MeshCheckUtil.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;
using namespace shape_test;

namespace {

const TScType kColladaTypes[] = {SCTYPE_SPHERE, SCTYPE_TORUS, SCTYPE_PLANE, SCTYPE_CYLINDER};

template <typename Rec>
int UsedCount(const std::vector<Rec>& table) {
  int n = 0;
  for (const Rec& r : table) n += r.Used;
  return n;
}

// The level grid of the shape and its tables.
std::unique_ptr<TLevelGrid> BuildLevel(const TCS& cs, int level) {
  auto grid = std::make_unique<TLevelGrid>();
  MakeLevelGrid(cs, *grid, level);
  BuildLodMesh(*grid);
  return grid;
}

struct TTables {
  TArV v;
  TArN n;
  TArT t;
  TArF f;
};

// A small set of tables with unused entries between the used ones.
void FillSmallTables(TArV& v, TArN& n, TArT& t, TArF& f) {
  v = {{true, {0, 0, 0}, 0}, {false, {9, 9, 9}, 0}, {true, {1, 0, 0}, 0}, {true, {0, 1, 0}, 0}};
  n = {{false, {1, 0, 0}, 0}, {true, {0, 0, 1}, 0}};
  t = {{true, 0, 0, 0}, {true, 1, 0, 0}, {false, 0.5, 0.5, 0}, {true, 0, 1, 0}};
  f.assign(2, TFRec{});
  f[1].Used = true;
  const int32_t vi[3] = {0, 2, 3}, ti[3] = {0, 1, 3};
  for (int k = 0; k < 3; ++k) {
    f[1].VIdx[k] = vi[k];
    f[1].NIdx[k] = 1;
    f[1].TIdx[k] = ti[k];
  }
}

// Replaces the two time stamps (checked against their pattern) by "TS".
std::string WithoutTimeStamps(std::string text) {
  static const std::regex kStamp(R"(<(created|modified)>\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d</(created|modified)>)");
  EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), kStamp), std::sregex_iterator()), 2);
  return std::regex_replace(text, kStamp, "<$1>TS</$1>");
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
  const size_t p = text.find(from);
  ASSERT_NE(p, std::string::npos) << from;
  text.replace(p, from.size(), to);
}

const char kSmallDocument[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<COLLADA  xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.0\">\r\n"
    "<asset>\r\n"
    "  <contributor>\r\n"
    "    <author></author>\r\n"
    "    <authoring_tool>DURIM PROJECT ZEPHOR</authoring_tool>\r\n"
    "  </contributor>\r\n"
    "  <created>TS</created>\r\n"
    "  <modified>TS</modified>\r\n"
    "  <up_axis>Z_UP</up_axis>\r\n"
    "</asset>\r\n"
    "<library_effects>\r\n"
    "  <effect id=\"my_shape-Material-fx\">\r\n"
    "    <profile_COMMON>\r\n"
    "      <technique sid=\"DURIM_PROJECT\">\r\n"
    "        <phong>\r\n"
    "          <emission><color>0.0 0.0 0.0 1.0</color></emission>\r\n"
    "          <ambient><color>1.0 1.0 1.0 1.0</color></ambient>\r\n"
    "          <diffuse><color>1.0 1.0 1.0 1.0</color></diffuse>\r\n"
    "          <specular><color>1.0 1.0 1.0 1.0</color></specular>\r\n"
    "          <shininess><float>1.0</float></shininess>\r\n"
    "        </phong>\r\n"
    "      </technique>\r\n"
    "    </profile_COMMON>\r\n"
    "  </effect>\r\n"
    "</library_effects>\r\n"
    "<library_materials>\r\n"
    "  <material id=\"my_shape-Material\">\r\n"
    "    <instance_effect url=\"#my_shape-Material-fx\"/>\r\n"
    "  </material>\r\n"
    "</library_materials>\r\n"
    "<library_geometries>\r\n"
    "  <geometry id=\"my_shape-Mesh\">\r\n"
    "    <mesh>\r\n"
    "      <source id=\"my_shape-Mesh-positions\">\r\n"
    "        <float_array id=\"my_shape-Mesh-positions-array\" count=\"9\"> 0.00000 0.00000 0.00000 1.00000 "
    "0.00000 0.00000 0.00000 1.00000 0.00000</float_array>\r\n"
    "        <technique_common>\r\n"
    "          <accessor count=\"3\" source=\"#my_shape-Mesh-positions-array\" stride=\"3\">\r\n"
    "            <param name=\"X\" type=\"float\"/>\r\n"
    "            <param name=\"Y\" type=\"float\"/>\r\n"
    "            <param name=\"Z\" type=\"float\"/>\r\n"
    "          </accessor>\r\n"
    "        </technique_common>\r\n"
    "      </source>\r\n"
    "      <source id=\"my_shape-Mesh-normals\">\r\n"
    "        <float_array id=\"my_shape-Mesh-normals-array\" count=\"3\"> 0.00000 0.00000 1.00000</float_array>\r\n"
    "        <technique_common>\r\n"
    "          <accessor count=\"1\" source=\"#my_shape-Mesh-normals-array\" stride=\"3\">\r\n"
    "            <param name=\"X\" type=\"float\"/>\r\n"
    "            <param name=\"Y\" type=\"float\"/>\r\n"
    "            <param name=\"Z\" type=\"float\"/>\r\n"
    "          </accessor>\r\n"
    "        </technique_common>\r\n"
    "      </source>\r\n"
    "      <source id=\"my_shape-Mesh-map\">\r\n"
    "        <float_array id=\"my_shape-Mesh-map-array\" count=\"6\"> 0.00000 0.00000 1.00000 0.00000 0.00000 "
    "1.00000</float_array>\r\n"
    "        <technique_common>\r\n"
    "          <accessor count=\"3\" source=\"#my_shape-Mesh-map-array\" stride=\"2\">\r\n"
    "            <param name=\"U\" type=\"float\"/>\r\n"
    "            <param name=\"V\" type=\"float\"/>\r\n"
    "          </accessor>\r\n"
    "        </technique_common>\r\n"
    "      </source>\r\n"
    "      <vertices id=\"my_shape-Mesh-vertices\">\r\n"
    "        <input semantic=\"POSITION\" source=\"#my_shape-Mesh-positions\"/>\r\n"
    "      </vertices>\r\n"
    "      <triangles count=\"1\" material=\"my_shape-Material\">\r\n"
    "        <input offset=\"0\" semantic=\"VERTEX\" source=\"#my_shape-Mesh-vertices\"/>\r\n"
    "        <input offset=\"1\" semantic=\"NORMAL\" source=\"#my_shape-Mesh-normals\"/>\r\n"
    "        <input offset=\"2\" semantic=\"TEXCOORD\" source=\"#my_shape-Mesh-map\"/>\r\n"
    "        <p> 0 0 0 1 0 1 2 0 2</p>\r\n"
    "      </triangles>\r\n"
    "    </mesh>\r\n"
    "  </geometry>\r\n"
    "</library_geometries>\r\n"
    "<library_visual_scenes>\r\n"
    "  <visual_scene id=\"Scene\">\r\n"
    "    <node id=\"my_shape\">\r\n"
    "      <scale>0.50196 0.50196 0.50196</scale>\r\n"
    "      <instance_geometry url=\"#my_shape-Mesh\">\r\n"
    "        <bind_material>\r\n"
    "          <technique_common>\r\n"
    "            <instance_material symbol=\"my_shape-Material\" target=\"#my_shape-Material\">\r\n"
    "            </instance_material>\r\n"
    "          </technique_common>\r\n"
    "        </bind_material>\r\n"
    "      </instance_geometry>\r\n"
    "    </node>\r\n"
    "  </visual_scene>\r\n"
    "</library_visual_scenes>\r\n"
    "<scene>\r\n"
    "  <instance_visual_scene url=\"#Scene\"/>\r\n"
    "</scene>\r\n"
    "</COLLADA>\r\n";

}  // namespace

TEST(Collada, LevelGridSizes) {
  struct Case {
    int columns, rows, level, levelColumns, levelRows;
  };
  const Case cases[] = {
      {33, 33, 3, 5, 5},   {33, 33, 2, 9, 9},   {33, 33, 1, 17, 17},  {33, 33, 0, 33, 33},
      {5, 257, 3, 5, 5},   {5, 257, 2, 5, 17},  {5, 257, 1, 5, 65},   {5, 257, 0, 5, 257},
      {257, 5, 3, 5, 5},   {257, 5, 1, 65, 5},  {65, 17, 2, 17, 5},   {257, 257, 3, 33, 33},
      // Axes the rule leaves without a quad keep one.
      {5, 5, 3, 2, 5},     {5, 5, 2, 2, 5},     {9, 9, 3, 2, 5},      {5, 9, 3, 2, 5},
  };
  for (const Case& c : cases) {
    int32_t i = 0, j = 0;
    LevelGridSize(c.columns, c.rows, c.level, i, j);
    EXPECT_EQ(i, c.levelColumns) << c.columns << "x" << c.rows << " level " << c.level;
    EXPECT_EQ(j, c.levelRows) << c.columns << "x" << c.rows << " level " << c.level;
  }
}

TEST(Collada, ThinningTakesTheNearestGridPointTiesToEven) {
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) cs->CP[i][j] = {static_cast<double>(i), static_cast<double>(j), 0};
  TLevelGrid grid;
  MakeLevelGrid(*cs, grid, 3);  // 2 x 5: column ratio 8, row ratio 2
  ASSERT_EQ(grid.CPMaxI, 2);
  ASSERT_EQ(grid.CPMaxJ, 5);
  EXPECT_EQ(grid.CP[1][3][0], 8.0);
  EXPECT_EQ(grid.CP[1][3][1], 6.0);
  auto wide = NewShape(SCTYPE_PLANE, 10, 17);  // level 1: 5 x 9, column ratio 2.25
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 17; ++j) wide->CP[i][j] = {static_cast<double>(i), static_cast<double>(j), 0};
  MakeLevelGrid(*wide, grid, 1);
  ASSERT_EQ(grid.CPMaxI, 5);
  ASSERT_EQ(grid.CPMaxJ, 9);
  const double expected[5] = {0, 2, 4, 7, 9};  // 4.5 -> 4
  for (int g = 0; g < 5; ++g) EXPECT_EQ(grid.CP[g][0][0], expected[g]) << g;
}

TEST(Collada, DefaultSphereLevelsHaveOneTrianglePerPoleCellAndOneVertexPerPole) {
  SettingsGuard guard;
  settings::AppSettings.ColladaOptimizeMesh = 0;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  for (int level = 3; level >= 0; --level) {
    const auto grid = BuildLevel(*cs, level);
    const int I = grid->CPMaxI, J = grid->CPMaxJ;
    EXPECT_EQ(I, 1 + 32 / (1 << level));
    EXPECT_EQ(J, I);
    for (int c = 0; c < I - 1; ++c)
      for (int r = 0; r < J - 1; ++r) {
        const TCellRec& cell = CellTable[c][r];
        const int triangles = cell.Tri1 + cell.Tri2;
        EXPECT_EQ(triangles, r == 0 || r == J - 2 ? 1 : 2) << level << " " << c << " " << r;
      }
    EXPECT_EQ(UsedCount(MeshFaces), 2 * (I - 1) + 2 * (I - 1) * (J - 3)) << level;
    EXPECT_EQ(UsedCount(MeshVertices), 2 + (I - 1) * (J - 2)) << level;
    for (int j = 0; j < J; ++j) EXPECT_FALSE(MeshVertices[GridIndex(I - 1, j, I)].Used) << level;
    for (int i = 1; i < I; ++i) EXPECT_FALSE(MeshVertices[GridIndex(i, 0, I)].Used) << level;
    EXPECT_TRUE(MeshVertices[GridIndex(0, 0, I)].Used);
    EXPECT_TRUE(MeshVertices[GridIndex(0, J - 1, I)].Used);
    // One normal per face corner, each of unit length.
    EXPECT_EQ(static_cast<int>(MeshNormals.size()), 3 * UsedCount(MeshFaces));
    for (const TNRec& n : MeshNormals) EXPECT_NEAR(Dbl3DLength(n.N), 1.0, 1e-12);
  }
}

TEST(Collada, FlatEvenPlaneMergesIntoOneQuad) {
  SettingsGuard guard;
  settings::AppSettings.ColladaOptimizeMesh = 1;
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  BuildLevel(*cs, 0);
  EXPECT_EQ(UsedCount(MeshFaces), 2);
  EXPECT_EQ(UsedCount(MeshVertices), 4);
  EXPECT_EQ(UsedCount(MeshNormals), 6);
  std::vector<std::pair<double, double>> uv;
  for (const TTRec& t : MeshTexCoords)
    if (t.Used) uv.emplace_back(t.U, t.V);
  EXPECT_EQ(uv, (std::vector<std::pair<double, double>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
  EXPECT_TRUE(CellTable[0][0].Active);
  EXPECT_EQ(CellTable[0][0].LastCol, 7);
  EXPECT_EQ(CellTable[0][0].LastRow, 7);
}

TEST(Collada, UnevenSpacingAlongStraightLinesMergesOnlyWithoutKeepingTheMap) {
  SettingsGuard guard;
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) cs->CP[i][j] = {(i / 8.0) * (i / 8.0) * 1.5 - 0.75, 0.1, j / 8.0 - 0.5};
  settings::AppSettings.ColladaOptimizeMesh = 2;
  BuildLevel(*cs, 0);
  EXPECT_EQ(UsedCount(MeshFaces), 2);
  settings::AppSettings.ColladaOptimizeMesh = 1;
  BuildLevel(*cs, 0);
  // Each column strip still merges down its evenly spaced rows, but no two columns join.
  EXPECT_EQ(UsedCount(MeshFaces), 16);
  settings::AppSettings.ColladaOptimizeMesh = 0;
  BuildLevel(*cs, 0);
  EXPECT_EQ(UsedCount(MeshFaces), 128);
}

TEST(Collada, StripTests) {
  const TDbl3D even[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, evenB[3] = {{0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
  const TDbl3D uneven[3] = {{0, 0, 0}, {0.5, 0, 0}, {2, 0, 0}}, unevenB[3] = {{0, 1, 0}, {0.5, 1, 0}, {2, 1, 0}};
  const TDbl3D bent[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0.1, 0}};
  const TDbl3D pole[3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  EXPECT_TRUE(IsEvenStrip(even, evenB));
  EXPECT_FALSE(IsEvenStrip(uneven, unevenB));
  EXPECT_TRUE(IsStraightStrip(uneven, unevenB));
  EXPECT_FALSE(IsStraightStrip(bent, evenB));
  EXPECT_TRUE(IsStraightStrip(pole, pole));  // every pair coincides
  const TDbl3D meet[3] = {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}}, across[3] = {{0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
  EXPECT_FALSE(IsStraightStrip(meet, across));  // the lines meet in their middle points only
}

TEST(Collada, HardAngleDecidesWhichFacesSmoothACorner) {
  SettingsGuard guard;
  settings::AppSettings.ColladaOptimizeMesh = 0;
  // A roof: two slopes meeting at the middle column.
  auto cs = NewShape(SCTYPE_PLANE, 3, 2);
  for (int j = 0; j < 2; ++j) {
    cs->CP[0][j] = {-0.5, 0, j * 0.5};
    cs->CP[1][j] = {0, 0.25, j * 0.5};
    cs->CP[2][j] = {0.5, 0, j * 0.5};
  }
  settings::AppSettings.ColladaHardAngle = 180;
  BuildLevel(*cs, 0);
  // Every face at a vertex gets the same normal.
  for (size_t v = 0; v < MeshVertices.size(); ++v) {
    std::vector<TDbl3D> at;
    for (const TFRec& f : MeshFaces)
      for (int k = 0; f.Used && k < 3; ++k)
        if (f.VIdx[k] == static_cast<int32_t>(v)) at.push_back(MeshNormals[f.NIdx[k]].N);
    for (const TDbl3D& n : at) EXPECT_TRUE(SameDbl3D(n, at[0])) << v;
  }
  settings::AppSettings.ColladaHardAngle = 0;
  BuildLevel(*cs, 0);
  // Every corner has its own face's normal: the slopes are not smoothed into each other.
  int ridge = 0;
  for (const TFRec& f : MeshFaces)
    for (int k = 0; f.Used && k < 3; ++k) {
      EXPECT_TRUE(SameDbl3D(MeshNormals[f.NIdx[k]].N, NormalizeDbl3D(f.FaceNormal)));
      ridge += f.VIdx[k] % 3 == 1;
    }
  EXPECT_EQ(ridge, 6);
}

TEST(Collada, TorusWeldsBothSeamsButKeepsTheTextureSeams) {
  SettingsGuard guard;
  settings::AppSettings.ColladaOptimizeMesh = 0;
  auto cs = NewShape(SCTYPE_TORUS, 9, 9);
  BuildLevel(*cs, 0);
  EXPECT_EQ(UsedCount(MeshVertices), 8 * 8);
  EXPECT_EQ(UsedCount(MeshFaces), 2 * 8 * 8);
  bool u1 = false, v1 = false;
  for (const TTRec& t : MeshTexCoords) {
    u1 = u1 || (t.Used && t.U == 1.0);
    v1 = v1 || (t.Used && t.V == 1.0);
  }
  EXPECT_TRUE(u1);
  EXPECT_TRUE(v1);
  EXPECT_EQ(UsedCount(MeshTexCoords), 81);
  auto cyl = NewShape(SCTYPE_CYLINDER, 9, 5);
  BuildLevel(*cyl, 0);
  EXPECT_EQ(UsedCount(MeshVertices), 8 * 5);
}

TEST(Collada, WeldsMoveVertexSlotsInTheirOrderAndLeaveTextureSlots) {
  // Two faces over vertices 0..4; the second is unused and keeps its slots.
  auto reset = [] {
    MeshVertices.assign(5, TVRec{true, {0, 0, 0}, 0});
    MeshFaces.assign(2, TFRec{});
    const int32_t cornerSlots[2][3] = {{1, 2, 3}, {1, 2, 4}};
    for (int f = 0; f < 2; ++f)
      for (int k = 0; k < 3; ++k) MeshFaces[f].VIdx[k] = MeshFaces[f].TIdx[k] = cornerSlots[f][k];
    MeshFaces[0].Used = true;
  };
  auto cornerSlots = [](int f) {
    return std::array<int32_t, 3>{MeshFaces[f].VIdx[0], MeshFaces[f].VIdx[1], MeshFaces[f].VIdx[2]};
  };
  reset();
  WeldVertex(2, 0);
  EXPECT_EQ(cornerSlots(0), (std::array<int32_t, 3>{1, 0, 3}));
  EXPECT_EQ(cornerSlots(1), (std::array<int32_t, 3>{1, 2, 4}));
  EXPECT_EQ(MeshFaces[0].TIdx[1], 2);
  EXPECT_FALSE(MeshVertices[2].Used);
  EXPECT_TRUE(MeshVertices[0].Used);
  // A slot moved by one weld is moved again by a later weld of its new value, not by an earlier one.
  reset();
  WeldVertices({{1, 2}, {2, 3}});
  EXPECT_EQ(cornerSlots(0), (std::array<int32_t, 3>{3, 3, 3}));
  reset();
  WeldVertices({{2, 3}, {1, 2}});
  EXPECT_EQ(cornerSlots(0), (std::array<int32_t, 3>{2, 3, 3}));
  EXPECT_FALSE(MeshVertices[1].Used || MeshVertices[2].Used);
  FreeMeshTables();
}

TEST(Collada, PhysicsBoxOfAShapeFlatInY) {
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);  // y = 0 everywhere
  BuildPhysicsBox(*cs);
  std::vector<std::array<int32_t, 3>> faces;
  for (const TFRec& f : MeshFaces)
    if (f.Used) faces.push_back({f.VIdx[0], f.VIdx[1], f.VIdx[2]});
  EXPECT_EQ(faces, (std::vector<std::array<int32_t, 3>>{{0, 4, 1}, {1, 4, 5}, {2, 6, 3}, {3, 6, 7}}));
  EXPECT_EQ(UsedCount(MeshVertices), 8);
  EXPECT_EQ(UsedCount(MeshNormals), 12);
  EXPECT_EQ(MeshVertices[6].P[0], -0.9921875);
  EXPECT_EQ(MeshVertices[0].P[2], 0.9921875);

  auto sphere = NewShape(SCTYPE_SPHERE, 9, 9);
  BuildPhysicsBox(*sphere);
  EXPECT_EQ(UsedCount(MeshFaces), 12);
  EXPECT_EQ(MeshVertices[0].P[2], 0.75);
}

TEST(Collada, IdsAndFileNames) {
  EXPECT_EQ(ColladaId("/x/my shape"), "my_shape");
  EXPECT_EQ(ColladaId("/x.y/my shape-tx.png"), "my_shape-tx");
  EXPECT_EQ(ColladaId("a.b"), "a");
  EXPECT_EQ(ColladaId("a b.c d.png"), "a_b_c_d");

  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  TTables tables;
  auto& [v, n, t, f] = tables;
  EXPECT_EQ(WriteColladaFile(dir / "a.b", "lowest", "", v, n, t, f), dir / "a.b-lowest.dae");
  EXPECT_EQ(WriteColladaFile(dir / "a.b", "", "", v, n, t, f), dir / "a.b.dae");
  const std::string doc = ReadWholeFile(dir / "a.b-lowest.dae");
  EXPECT_NE(doc.find("<node id=\"a\">"), std::string::npos);
  EXPECT_NE(doc.find("<geometry id=\"a-Mesh\">"), std::string::npos);
  settings::AppSettings.FileOverWrite = false;
  EXPECT_EQ(WriteColladaFile(dir / "a.b", "lowest", "", v, n, t, f), dir / "a.b-lowest_001.dae");
}

TEST(Collada, WholeDocumentWithAndWithoutTexture) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  settings::AppSettings.ColladaScale = 1;
  TTables tables;
  auto& [v, n, t, f] = tables;
  FillSmallTables(v, n, t, f);
  const std::string plain = WriteColladaFile(dir / "my shape", "", "", v, n, t, f);
  EXPECT_EQ(plain, dir / "my shape.dae");
  EXPECT_EQ(WithoutTimeStamps(ReadWholeFile(plain)), kSmallDocument);
  EXPECT_EQ(v[3].OutIndex, 2);
  EXPECT_EQ(t[3].OutIndex, 2);
  EXPECT_TRUE(XmlWellFormed(plain));

  std::filesystem::create_directories(dir / "tex");
  const std::string textured =
      WriteColladaFile(dir / "my shape", "high", dir / "tex/my shape-tx.png", v, n, t, f);
  std::string expected = kSmallDocument;
  Replace(expected, "    <profile_COMMON>\r\n",
          "    <profile_COMMON>\r\n"
          "      <newparam sid=\"my_shape-tx-surface\">\r\n"
          "        <surface type=\"2D\">\r\n"
          "          <init_from>my_shape-tx-img</init_from>\r\n"
          "          <format>A8R8G8B8</format>\r\n"
          "        </surface>\r\n"
          "      </newparam>\r\n"
          "      <newparam sid=\"my_shape-tx-sampler\">\r\n"
          "        <sampler2D>\r\n"
          "          <source>my_shape-tx-surface</source>\r\n"
          "          <minfilter>LINEAR_MIPMAP_LINEAR</minfilter>\r\n"
          "          <magfilter>LINEAR</magfilter>\r\n"
          "        </sampler2D>\r\n"
          "      </newparam>\r\n");
  Replace(expected, "          <diffuse><color>1.0 1.0 1.0 1.0</color></diffuse>\r\n",
          "          <diffuse>\r\n"
          "             <texture texcoord=\"my_shape-tx-ch\" texture=\"my_shape-tx-sampler\"/>\r\n"
          "          </diffuse>\r\n");
  Replace(expected, "<library_materials>\r\n",
          "<library_images>\r\n"
          "  <image id=\"my_shape-tx-img\" name=\"my_shape-tx-img\">\r\n"
          "    <init_from>tex/my shape-tx.png</init_from>\r\n"
          "  </image>\r\n"
          "</library_images>\r\n"
          "<library_materials>\r\n");
  Replace(expected, "            </instance_material>\r\n",
          "              <bind_vertex_input input_semantic=\"TEXCOORD\" input_set=\"1\" "
          "semantic=\"my_shape-tx-ch\"/>\r\n"
          "            </instance_material>\r\n");
  EXPECT_EQ(textured, dir / "my shape-high.dae");
  EXPECT_EQ(WithoutTimeStamps(ReadWholeFile(textured)), expected);
  EXPECT_TRUE(XmlWellFormed(textured));
}

TEST(Collada, EscapedTextsAndScale) {
  SettingsGuard guard;
  ScratchDir dir;
  const std::string author = AuthorName;
  AuthorName = "<me> & \"you\"";
  settings::AppSettings.ColladaScale = 64;
  TTables tables;
  auto& [v, n, t, f] = tables;
  const std::string name = WriteColladaFile(dir / "R&D <1>", "", dir / "t'x.png", v, n, t, f);
  AuthorName = author;
  const std::string doc = ReadWholeFile(name);
  EXPECT_NE(doc.find("<scale>32.12549 32.12549 32.12549</scale>"), std::string::npos);
  EXPECT_NE(doc.find("<author>&lt;me&gt; &amp; &quot;you&quot;</author>"), std::string::npos);
  EXPECT_NE(doc.find("<node id=\"R&amp;D_&lt;1&gt;\">"), std::string::npos);
  EXPECT_NE(doc.find("<init_from>t&apos;x.png</init_from>"), std::string::npos);
  // Empty tables still give a complete document.
  EXPECT_NE(doc.find("count=\"0\"></float_array>"), std::string::npos);
  EXPECT_NE(doc.find("<triangles count=\"0\""), std::string::npos);
  EXPECT_NE(doc.find("<p></p>"), std::string::npos);
  EXPECT_TRUE(XmlWellFormed(name));
}

TEST(Collada, CompanionObjAndMtl) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  TTables tables;
  auto& [v, n, t, f] = tables;
  FillSmallTables(v, n, t, f);
  const std::string obj = WriteColladaObjFile(dir / "my shape.dae", dir / "my shape-tx.png", v, n, t, f);
  EXPECT_EQ(obj, dir / "my shape-Collada.obj");
  EXPECT_EQ(ReadWholeFile(dir / "my shape-Collada.mtl"), "newmtl olmera\r\nmap_Kd my shape-tx.png\r\n");
  EXPECT_EQ(ReadWholeFile(obj),
            "# Exported from ZEPHOR\r\nmtllib my shape-Collada.mtl\r\no ZEPHOR_DURIM\r\n#3 vertices, 1 faces\r\n"
            "v  0.00000 0.00000 0.00000\r\nv  1.00000 0.00000 0.00000\r\nv  0.00000 1.00000 0.00000\r\n"
            "vt  0.00000 0.00000\r\nvt  1.00000 0.00000\r\nvt  0.00000 1.00000\r\n"
            "vn  0.00000 0.00000 1.00000\r\n"
            "f 1/1/1 2/2/1 3/3/1\r\n");
  EXPECT_EQ(v[3].OutIndex, 3);
}

namespace {

// The triangle count a document declares.
long DeclaredTriangles(const std::string& file) {
  std::smatch m;
  const std::string text = ReadWholeFile(file);
  static const std::regex kCount(R"re(<triangles count="(\d+)")re");
  return std::regex_search(text, m, kCount) ? std::stol(m[1]) : -1;
}

std::vector<std::string> FilesIn(const ScratchDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(Collada, ExportWritesEveryLevelTheBoxAndTheCompanionWhichAssimpLoads) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  settings::AppSettings.ColladaSaveLod = true;
  settings::AppSettings.ColladaSaveObj2 = true;
  settings::AppSettings.ColladaSaveCubePhysics = true;
  settings::AppSettings.ColladaHardAngle = 60;
  settings::AppSettings.ColladaOptimizeMesh = 2;
  dir.Touch("ball.png");
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  const auto before = std::make_unique<TCS>(*cs);
  ExportColladaLods(*cs, dir / "ball.dae", dir / "ball.png");
  EXPECT_EQ(std::memcmp(cs.get(), before.get(), sizeof(TCS)), 0);
  EXPECT_EQ(settings::AppSettings.ColladaHardAngle, 60);
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"ball-Collada.mtl", "ball-Collada.obj", "ball-high.dae",
                                                    "ball-low.dae", "ball-lowest.dae", "ball-medium.dae",
                                                    "ball-phisics.dae", "ball.png"}));
  for (const char* level : {"lowest", "low", "medium", "high", "phisics"}) {
    const std::string file = dir / (std::string("ball-") + level + ".dae");
    EXPECT_EQ(ReadWholeFile(file).compare(0, 3, "\xEF\xBB\xBF"), 0) << level;
    EXPECT_TRUE(XmlWellFormed(file)) << level;
    const TAssimpInfo info = AssimpInfo(file);
    ASSERT_EQ(info.status, 0) << level << "\n" << info.output;
    EXPECT_EQ(info.faces, DeclaredTriangles(file)) << level;
    EXPECT_EQ(info.textures, std::vector<std::string>{"ball.png"}) << level;
  }
  EXPECT_EQ(DeclaredTriangles(dir / "ball-phisics.dae"), 12);
  // The companion holds the "high" level, not the box.
  const auto obj = CrLfLines(dir / "ball-Collada.obj");
  EXPECT_EQ(static_cast<long>(CountPrefix(obj, "f ")), DeclaredTriangles(dir / "ball-high.dae"));
  const TAssimpInfo info = AssimpInfo(dir / "ball-Collada.obj");
  ASSERT_EQ(info.status, 0) << info.output;
  EXPECT_EQ(info.faces, static_cast<long>(CountPrefix(obj, "f ")));
  EXPECT_EQ(info.textures, std::vector<std::string>{"ball.png"});
  EXPECT_TRUE(MeshVertices.empty());
  EXPECT_TRUE(MeshFaces.empty());
}

TEST(Collada, SmallGridsExportAtEveryLevelAndOneDocumentWithoutLevels) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  settings::AppSettings.ColladaSaveCubePhysics = false;
  settings::AppSettings.ColladaSaveObj2 = false;
  for (TScType type : kColladaTypes)
    for (int size : {5, 9}) {
      settings::AppSettings.ColladaSaveLod = true;
      auto cs = NewShape(type, size, size);
      const std::string base = dir / ("s" + std::to_string(type) + "-" + std::to_string(size));
      ExportColladaLods(*cs, base + ".dae", "");
      for (const char* level : {"lowest", "low", "medium", "high"}) {
        const std::string file = base + "-" + level + ".dae";
        EXPECT_TRUE(XmlWellFormed(file)) << file;
        // A closed type thinned to one column of cells welds it onto itself: nothing is left.
        EXPECT_GE(DeclaredTriangles(file), type == SCTYPE_PLANE ? 1 : 0) << file;
      }
    }
  settings::AppSettings.ColladaSaveLod = false;
  auto cs = NewShape(SCTYPE_TORUS, 9, 9);
  ExportColladaLods(*cs, dir / "one.dae", "");
  EXPECT_EQ(DeclaredTriangles(dir / "one.dae"), 2 * 8 * 8);
  const TAssimpInfo info = AssimpInfo(dir / "one.dae");
  EXPECT_EQ(info.status, 0) << info.output;
  EXPECT_EQ(info.faces, 128);
}

TEST(Collada, HardAngleIsRestoredWhenTheBoxCannotBeWritten) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  settings::AppSettings.ColladaSaveLod = false;
  settings::AppSettings.ColladaSaveCubePhysics = true;
  settings::AppSettings.ColladaHardAngle = 33;
  std::filesystem::create_directories(dir / "b-phisics.dae");
  dir.Touch("b-phisics.dae/keep");
  auto cs = NewShape(SCTYPE_PLANE, 5, 5);
  EXPECT_THROW(ExportColladaLods(*cs, dir / "b.dae", ""), rv::EFCreateError);
  EXPECT_EQ(settings::AppSettings.ColladaHardAngle, 33);
  EXPECT_TRUE(std::filesystem::exists(dir / "b.dae"));
}

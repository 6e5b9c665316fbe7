#pragma once
// The COLLADA export: the shape grid turned into an indexed triangle mesh with a normal and a
// texture coordinate per face corner, at four levels of detail or one, with an optional box
// around the shape for physics, written by uFileIO.h.
//
// A level is built from a thinned copy of the grid (TLevelGrid). Its cells (the quads between
// neighbouring grid lines, CellTable) get normals; flat neighbours may be merged into larger
// quads ("Optimize Mesh"), degenerate cells and triangles are dropped, the seams of the closed
// stitch types are welded (the texture seams stay open), and every face corner gets a normal
// smoothed over the faces around its vertex within the "Hard Angle". The tables and CellTable
// are program-wide and rebuilt from scratch for every level.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "shape/model/ShapeRecord.h"
#include "shape/uFileIO.h"

namespace shape {

// One cell of the level grid: the quad between columns c, c + 1 and rows r, r + 1.
struct TCellRec {
  bool Active = false;           // output, as a quad reaching to LastCol and LastRow
  bool Tri1 = false, Tri2 = false;  // its first and second triangle are output
  int32_t LastCol = 0, LastRow = 0;  // the last cell column and row the quad covers
  // Smoothed normals at (c, r), (c + 1, r), (c, r + 1), (c + 1, r + 1); read by the merge passes.
  TDbl3D CornerTL{0, 0, 0}, CornerTR{0, 0, 0}, CornerBL{0, 0, 0}, CornerBR{0, 0, 0};
  TDbl3D CellNormal{0, 0, 0};  // unit normal of the cell
};

// Element [c][r] for cell column c and row r.
extern TCellRec CellTable[256][256];

// The work grid of one level (element [i][j] for column i and row j, as in TCS).
struct TLevelGrid {
  TScType ScType;
  int32_t CPMaxI;
  int32_t CPMaxJ;
  TACP256 CP;
};

// The vertex index of grid point (i, j) of a grid of `columns` columns.
inline int32_t GridIndex(int32_t i, int32_t j, int32_t columns) { return i + j * columns; }

// The size of level 0..3 of a grid of columns x rows: level 0 as it is; level L has about
// 1 / 2^L of the quads on each axis, and an axis that would get fewer than 4 gives its loss to the
// other (33 x 33: 5, 9, 17, 33; 5 x 257: 5 x 5, 5 x 17, 5 x 65, 5 x 257). Every axis keeps at least
// one quad.
void LevelGridSize(int32_t columns, int32_t rows, int32_t level, int32_t& levelColumns, int32_t& levelRows);
// Thins the shape into `grid`: point (g, f) is the shape's nearest grid point (ties to even).
void MakeLevelGrid(const TCS& cs, TLevelGrid& grid, int32_t level);

// Cell normals, every cell active and unmerged, and the smoothed corner normals per stitch type.
void BuildCellNormals(const TLevelGrid& grid);
// Deactivates the cells whose corners coincide in pairs (within 1e-05).
void MarkDegenerateCells(const TLevelGrid& grid);
// Strip tests of the merge passes on two neighbouring lines a and b of three points each:
// evenly spaced parallel lines (1e-05), or straight lines of any spacing (directions within 1e-06).
bool IsEvenStrip(const TDbl3D a[3], const TDbl3D b[3]);
bool IsStraightStrip(const TDbl3D a[3], const TDbl3D b[3]);
// Greedy merging of flat cells: "Optimize Mesh" 1 keeps the texture linear, 2 merges straight
// strips of any spacing; 0 merges nothing.
void MergeCellsKeepUV(const TLevelGrid& grid);
void MergeCellsFree(const TLevelGrid& grid);
void OptimizeCells(const TLevelGrid& grid);
// Tri1 and Tri2 of every active cell: true when the triangle's corners are pairwise distinct.
void MarkCellTriangles(const TLevelGrid& grid);

// Vertices, texture coordinates and faces of the cells, the seams welded, degenerate faces dropped.
void BuildMeshTables(const TLevelGrid& grid);
// TIdx := VIdx; Used when the three positions are pairwise distinct; FaceNormal from them.
void InitFaceRecord(TFRec& face);
// Every VIdx slot of a used face equal to `key` becomes `target`, and vertex `key` is unused;
// texture indices are left alone, so texture seams stay open.
void WeldVertex(int32_t key, int32_t target);
// WeldVertex for each (key, target) in the order given, in one pass over the faces.
void WeldVertices(const std::vector<std::pair<int32_t, int32_t>>& welds);
void WeldSphereSeams(const TLevelGrid& grid);
void WeldTorusSeams(const TLevelGrid& grid);
void WeldCylinderSeam(const TLevelGrid& grid);
void DropDegenerateFaces();
void DropUnusedVertices();
// One normal entry per face corner, in vertex order: the face's normal plus those of the other
// faces at the vertex within the "Hard Angle".
void BuildVertexNormals();
void DropUnusedTexCoords();

// Fills the four tables for the level grid.
void BuildLodMesh(const TLevelGrid& grid);
// Fills the four tables with the box around the whole shape (a box flat on an axis keeps only
// the faces whose corners stay apart).
void BuildPhysicsBox(const TCS& cs);
// Empties MeshVertices, MeshNormals and MeshFaces.
void FreeMeshTables();

// The whole export to `daePath` (with its extension) with the texture PNG `texturePath` (may be
// empty): levels 3, 2, 1, 0 as "lowest", "low", "medium", "high" with "Save LOD", else one
// document at full resolution; the last level as OBJ with "Save OBJ2"; the box as "phisics" with
// "Save Cube Phisics" (built with "Hard Angle" 180, which is restored whatever happens). The
// shape is not changed. File errors end the export and reach the caller.
// Answers the name of the last level document written (the full-resolution one).
std::string ExportColladaLods(const TCS& cs, const std::string& daePath, const std::string& texturePath);
// The files ExportColladaLods writes for `daePath`, before any renaming, in the order written.
std::vector<std::string> ColladaFileNames(const std::string& daePath);

}  // namespace shape

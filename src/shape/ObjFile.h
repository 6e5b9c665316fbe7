#pragma once
// Wavefront OBJ with its MTL material file: the shape exchanged with other 3D tools as a mesh.
//
// The writer lays the grid out per stitch type so that seams and poles are shared, not repeated,
// in quads or triangles, and stores the base texture beside it as PNG. The reader rebuilds the
// grid from any OBJ whose texture coordinates form a regular grid (the texture coordinates, not
// the vertex order, tell where each point belongs), falls back to a fixed vertex order for
// vertex-only files of seven known sizes, and scales the result into the modelling cube.
//
// Files are UTF-8 text with CR LF line ends (ShapeText.h); the COLLADA companion OBJ is written
// by uFileIO.h.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shape/model/ShapeRecord.h"

namespace shape {

// One face of the file: 3 or 4 corners, vertex numbers as written (from 1) and texture-coordinate
// numbers (from 1; -1 when the corner has none).
struct TFace {
  int32_t Corners = 0;
  int32_t V[4] = {0, 0, 0, 0};
  int32_t T[4] = {-1, -1, -1, -1};
};
using TFaces = std::vector<TFace>;
// The grid column and row that one texture coordinate stands for.
struct Tex {
  int32_t Column = 0;
  int32_t Row = 0;
};
using TTexs = std::vector<Tex>;

// Writes the base texture as PNG (SaveImageWithAlpha), the MTL and the OBJ file, each under the
// name MakeUniqueFileName gives for `fileName` (passed with its extension, so "a.b.obj" writes
// a.b.png, a.b.mtl and a.b.obj); `fileName` comes back as the OBJ's name. Errors storing the MTL
// or the OBJ (rv::EFCreateError) reach the caller; a texture that cannot be saved is passed over.
void WriteObjFile(const TCS& cs, std::string& fileName, bool triangles);
// The files WriteObjFile writes for `fileName`, before any renaming: texture, MTL and OBJ.
std::vector<std::string> ObjFileNames(const std::string& fileName);

// Reads the file into the shape: 0 on success, -1 when the file gives neither a grid of texture
// coordinates nor one of the vertex-only sizes. `mtlPath` becomes the file named by the last
// "mtllib" record (made absolute against the OBJ's folder), or empty. A forced type of 0..3 is
// taken as the stitch type; any other value detects it. On failure the shape is left exactly as
// it was. Throws rv::EFOpenError when the file cannot be read. SP, RP, GP and Count are not
// touched beyond the seam copy.
int32_t ReadObjFile(TCS& cs, const std::string& fileName, std::string& mtlPath, int32_t forcedType);

// A sphere stored as bare vertices in a fixed order (lines already normalised): the count of
// lines beginning with "v " chooses the grid (770: 257 x 5, 898: 129 x 9, 962: 65 x 17, 994: 33 x 33,
// 1010: 17 x 65, 1018: 9 x 129, 1022: 5 x 257). 0 on success; -1 for any other count or a "v "
// record of fewer than four words, and then the shape is left as it was.
int32_t ReadVertexOnlyObj(TCS& cs, const std::vector<std::string_view>& lines);

// The file named by the last "map_Kd" record of the MTL file, made absolute against the MTL's
// folder; empty when there is none. Throws rv::EFOpenError when the file cannot be read.
std::string ReadMtlTexturePath(const std::string& mtlFile);

// `fileName` made absolute against `folder` (an absolute name is returned as it is); empty when
// the folder does not exist. The process's working directory is never changed.
std::string ResolveRelativePath(const std::string& folder, const std::string& fileName);

// Scales each axis on its own about the origin into the representable cube [-0.9921875, 1.0].
// With "MaximizeWithSymmetry" (or `maximizeWithSymmetry`) on, the extremes are first taken
// times 0.9921875 and every coordinate is multiplied by at least that factor; off, a shape that
// fits keeps its coordinates.
void FitShapeToCube(TCS& cs);
void FitShapeToCube(TCS& cs, bool maximizeWithSymmetry);

// The vertex (from 0) of grid point (column, row): the first texture entry equal to it (in file
// order) that some face corner uses, and the first such corner's vertex (faces in file order,
// corners in order). Corners whose vertex number lies outside 1..vertexCount are never used.
// -1 when there is none.
int32_t FindVertexForGridPoint(int32_t column, int32_t row, const TTexs& texs, const TFaces& faces,
                               int32_t vertexCount);

// One record each, without the line end: "v %1.8f %1.8f %1.8f" (Scaled: each coordinate times
// 128 / 127 first), "vt %1.8f %1.8f" of 1 - (1 - u) and 1 - (1 - v), and the faces
// "f %d/%d/ %d/%d/ %d/%d/" and "f %d/%d/ %d/%d/ %d/%d/ %d/%d/" of vertex and texture numbers.
std::string FormatObjVertex(const TDbl3D& p);
std::string FormatObjVertexScaled(const TDbl3D& p);
std::string FormatObjTexCoord(double u, double v);
std::string FormatObjTriangle(const int32_t v[3], const int32_t t[3]);
std::string FormatObjQuad(const int32_t v[4], const int32_t t[4]);

}  // namespace shape

#pragma once
// The mesh tables of the COLLADA export and their two writers: one COLLADA 1.4.0 document per
// level of detail (and for the physics box), and the companion OBJ with its MTL file. The tables
// are filled by uScCollada.h; only entries whose Used is true are counted and written.
//
// The document is UTF-8 with the byte-order mark EF BB BF, the OBJ and MTL UTF-8 without it; every
// line ends with CR LF. Every text inserted into the document (AuthorName, the ids made from file
// names, the texture reference) is escaped.
#include <cstdint>
#include <string>
#include <vector>

#include "shape/model/ShapeRecord.h"

namespace shape {

// A vertex: its position; OutIndex is its number in the file being written.
struct TVRec {
  bool Used = false;
  TDbl3D P{0, 0, 0};
  int32_t OutIndex = 0;
};
// A normal of unit length.
struct TNRec {
  bool Used = false;
  TDbl3D N{0, 0, 0};
  int32_t OutIndex = 0;
};
// A texture coordinate.
struct TTRec {
  bool Used = false;
  double U = 0, V = 0;
  int32_t OutIndex = 0;
};
// A triangle: vertex, normal and texture-coordinate indices of its three corners in order, and
// the normal TriangleNormal gives (not of unit length).
struct TFRec {
  bool Used = false;
  int32_t VIdx[3] = {0, 0, 0};
  int32_t NIdx[3] = {0, 0, 0};
  int32_t TIdx[3] = {0, 0, 0};
  TDbl3D FaceNormal{0, 0, 0};
};

using TArV = std::vector<TVRec>;
using TArN = std::vector<TNRec>;
using TArT = std::vector<TTRec>;
using TArF = std::vector<TFRec>;

// The program-wide tables, reused from export to export.
extern TArV MeshVertices;
extern TArN MeshNormals;
extern TArT MeshTexCoords;
extern TArF MeshFaces;

inline constexpr char kColladaNamespace[] = "http://www.collada.org/2005/11/COLLADASchema";

// The file-name part of `path` without its last extension, every "." and " " made "_".
std::string ColladaId(const std::string& path);

// Writes the document of the tables under MakeUniqueFileName(base + "-" + level + ".dae") (base +
// ".dae" without a level; the base is used whole, dots included) and returns its name. `texture`
// may be empty (then the document has no image). Sets OutIndex of every used vertex, normal and
// texture coordinate, counting from 0. Throws rv::EFCreateError when the file cannot be stored.
std::string WriteColladaFile(const std::string& base, const std::string& level, const std::string& texture,
                             TArV& vertices, TArN& normals, TArT& texCoords, const TArF& faces);

// Writes base + "-Collada.obj" (base: `daePath` without its extension) and its MTL naming the
// texture relative to the OBJ's folder; returns the OBJ's name. OutIndex counts from 1.
std::string WriteColladaObjFile(const std::string& daePath, const std::string& texture, TArV& vertices,
                                TArN& normals, TArT& texCoords, const TArF& faces);

}  // namespace shape

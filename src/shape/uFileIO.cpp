#include "shape/uFileIO.h"

#include "common/Exception.h"
#include "settings/AppSettings.h"
#include "shape/FileFormatSettings.h"
#include "shape/OutputNames.h"
#include "shape/ShapeText.h"
#include "shape/XmlObject.h"

namespace shape {

TArV MeshVertices;
TArN MeshNormals;
TArT MeshTexCoords;
TArF MeshFaces;

namespace {

// The ids of one document, escaped for the text they go into.
struct TColladaIds {
  std::string D, G, M, T;
};

class TDocument {
 public:
  std::string out;

  // Joins the pieces into one line.
  template <typename... Pieces>
  void Line(const Pieces&... pieces) {
    (out.append(pieces), ...);
    out += kLineEnd;
  }
};

// The number of a used face's corner entry; the builder keeps every index inside its table.
template <typename Rec>
int32_t OutIndexOf(const std::vector<Rec>& table, int32_t index) {
  ZASSERT(index >= 0 && static_cast<size_t>(index) < table.size(), "Mesh table index out of range");
  return table[static_cast<size_t>(index)].OutIndex;
}

void AppendNumbers(std::string& out, const double* values, int count) {
  for (int k = 0; k < count; ++k) {
    out += ' ';
    FileFormatSettings.AppendFixed(out, values[k], 5);
  }
}

// The numbers each table entry is written as.
void PositionValues(const TVRec& r, double* v) {
  for (int k = 0; k < 3; ++k) v[k] = r.P[k];
}
void NormalValues(const TNRec& r, double* v) {
  for (int k = 0; k < 3; ++k) v[k] = r.N[k];
}
void MapValues(const TTRec& r, double* v) {
  v[0] = r.U;
  v[1] = r.V;
}

// One source (27 to 29): positions, normals or the texture map, `stride` numbers per used entry.
template <typename Rec, typename Values>
void WriteSource(TDocument& d, const std::string& id, std::vector<Rec>& table, int stride, const char* const* params,
                 Values values) {
  int64_t n = 0;
  for (const Rec& r : table) n += r.Used ? 1 : 0;
  d.Line("      <source id=\"", id, "\">");
  d.out += "        <float_array id=\"" + id + "-array\" count=\"";
  FileFormatSettings.AppendInt(d.out, n * stride);
  d.out += "\">";
  int32_t index = 0;
  double v[3];
  for (Rec& r : table) {
    if (!r.Used) continue;
    r.OutIndex = index++;
    values(r, v);
    AppendNumbers(d.out, v, stride);
  }
  d.Line("</float_array>");
  d.Line("        <technique_common>");
  d.out += "          <accessor count=\"";
  FileFormatSettings.AppendInt(d.out, n);
  d.Line("\" source=\"#", id, "-array\" stride=\"", std::to_string(stride), "\">");
  for (int k = 0; k < stride; ++k) d.Line("            <param name=\"", std::string(params[k]), "\" type=\"float\"/>");
  d.Line("          </accessor>");
  d.Line("        </technique_common>");
  d.Line("      </source>");
}

void WriteAsset(TDocument& d) {
  const std::string now = LocalTimeStamp();
  d.Line("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
  d.Line("<COLLADA  xmlns=\"", std::string(kColladaNamespace), "\" version=\"1.4.0\">");
  d.Line("<asset>");
  d.Line("  <contributor>");
  d.Line("    <author>", XmlEscaped(AuthorName), "</author>");
  d.Line("    <authoring_tool>DURIM PROJECT ZEPHOR</authoring_tool>");
  d.Line("  </contributor>");
  d.Line("  <created>", now, "</created>");
  d.Line("  <modified>", now, "</modified>");
  d.Line("  <up_axis>Z_UP</up_axis>");
  d.Line("</asset>");
}

void WriteEffects(TDocument& d, const TColladaIds& id, bool tex) {
  d.Line("<library_effects>");
  d.Line("  <effect id=\"", id.M, "-fx\">");
  d.Line("    <profile_COMMON>");
  if (tex) {
    d.Line("      <newparam sid=\"", id.T, "-surface\">");
    d.Line("        <surface type=\"2D\">");
    d.Line("          <init_from>", id.T, "-img</init_from>");
    d.Line("          <format>A8R8G8B8</format>");
    d.Line("        </surface>");
    d.Line("      </newparam>");
    d.Line("      <newparam sid=\"", id.T, "-sampler\">");
    d.Line("        <sampler2D>");
    d.Line("          <source>", id.T, "-surface</source>");
    d.Line("          <minfilter>LINEAR_MIPMAP_LINEAR</minfilter>");
    d.Line("          <magfilter>LINEAR</magfilter>");
    d.Line("        </sampler2D>");
    d.Line("      </newparam>");
  }
  d.Line("      <technique sid=\"DURIM_PROJECT\">");
  d.Line("        <phong>");
  d.Line("          <emission><color>0.0 0.0 0.0 1.0</color></emission>");
  d.Line("          <ambient><color>1.0 1.0 1.0 1.0</color></ambient>");
  if (tex) {
    d.Line("          <diffuse>");
    d.Line("             <texture texcoord=\"", id.T, "-ch\" texture=\"", id.T, "-sampler\"/>");
    d.Line("          </diffuse>");
  } else {
    d.Line("          <diffuse><color>1.0 1.0 1.0 1.0</color></diffuse>");
  }
  d.Line("          <specular><color>1.0 1.0 1.0 1.0</color></specular>");
  d.Line("          <shininess><float>1.0</float></shininess>");
  d.Line("        </phong>");
  d.Line("      </technique>");
  d.Line("    </profile_COMMON>");
  d.Line("  </effect>");
  d.Line("</library_effects>");
}

void WriteImagesAndMaterials(TDocument& d, const TColladaIds& id, bool tex, const std::string& reference) {
  if (tex) {
    d.Line("<library_images>");
    d.Line("  <image id=\"", id.T, "-img\" name=\"", id.T, "-img\">");
    d.Line("    <init_from>", XmlEscaped(reference), "</init_from>");
    d.Line("  </image>");
    d.Line("</library_images>");
  }
  d.Line("<library_materials>");
  d.Line("  <material id=\"", id.M, "\">");
  d.Line("    <instance_effect url=\"#", id.M, "-fx\"/>");
  d.Line("  </material>");
  d.Line("</library_materials>");
}

void WriteGeometry(TDocument& d, const TColladaIds& id, TArV& vertices, TArN& normals, TArT& texCoords,
                   const TArF& faces) {
  static const char* const kXyz[] = {"X", "Y", "Z"};
  static const char* const kUv[] = {"U", "V"};
  d.Line("<library_geometries>");
  d.Line("  <geometry id=\"", id.G, "\">");
  d.Line("    <mesh>");
  WriteSource(d, id.G + "-positions", vertices, 3, kXyz, &PositionValues);
  WriteSource(d, id.G + "-normals", normals, 3, kXyz, &NormalValues);
  WriteSource(d, id.G + "-map", texCoords, 2, kUv, &MapValues);
  d.Line("      <vertices id=\"", id.G, "-vertices\">");
  d.Line("        <input semantic=\"POSITION\" source=\"#", id.G, "-positions\"/>");
  d.Line("      </vertices>");
  int64_t used = 0;
  for (const TFRec& f : faces) used += f.Used ? 1 : 0;
  d.out += "      <triangles count=\"";
  FileFormatSettings.AppendInt(d.out, used);
  d.Line("\" material=\"", id.M, "\">");
  d.Line("        <input offset=\"0\" semantic=\"VERTEX\" source=\"#", id.G, "-vertices\"/>");
  d.Line("        <input offset=\"1\" semantic=\"NORMAL\" source=\"#", id.G, "-normals\"/>");
  d.Line("        <input offset=\"2\" semantic=\"TEXCOORD\" source=\"#", id.G, "-map\"/>");
  d.out += "        <p>";
  for (const TFRec& f : faces) {
    if (!f.Used) continue;
    for (int k = 0; k < 3; ++k) {
      d.out += ' ';
      FileFormatSettings.AppendInt(d.out, OutIndexOf(vertices, f.VIdx[k]));
      d.out += ' ';
      FileFormatSettings.AppendInt(d.out, OutIndexOf(normals, f.NIdx[k]));
      d.out += ' ';
      FileFormatSettings.AppendInt(d.out, OutIndexOf(texCoords, f.TIdx[k]));
    }
  }
  d.Line("</p>");
  d.Line("      </triangles>");
  d.Line("    </mesh>");
  d.Line("  </geometry>");
  d.Line("</library_geometries>");
}

void WriteScene(TDocument& d, const TColladaIds& id, bool tex) {
  std::string s;
  FileFormatSettings.AppendFixed(s, settings::AppSettings.ColladaScale * 128 / 255, 5);
  d.Line("<library_visual_scenes>");
  d.Line("  <visual_scene id=\"Scene\">");
  d.Line("    <node id=\"", id.D, "\">");
  d.Line("      <scale>", s, " ", s, " ", s, "</scale>");
  d.Line("      <instance_geometry url=\"#", id.G, "\">");
  d.Line("        <bind_material>");
  d.Line("          <technique_common>");
  d.Line("            <instance_material symbol=\"", id.M, "\" target=\"#", id.M, "\">");
  if (tex)
    d.Line("              <bind_vertex_input input_semantic=\"TEXCOORD\" input_set=\"1\" semantic=\"", id.T,
           "-ch\"/>");
  d.Line("            </instance_material>");
  d.Line("          </technique_common>");
  d.Line("        </bind_material>");
  d.Line("      </instance_geometry>");
  d.Line("    </node>");
  d.Line("  </visual_scene>");
  d.Line("</library_visual_scenes>");
  d.Line("<scene>");
  d.Line("  <instance_visual_scene url=\"#Scene\"/>");
  d.Line("</scene>");
  d.Line("</COLLADA>");
}

// One line per used entry: the prefix, then its numbers (" %.5f" each).
template <typename Rec, typename Values>
void AppendRecordLines(std::string& out, const char* prefix, const std::vector<Rec>& table, int count,
                       Values values) {
  double v[3];
  for (const Rec& r : table) {
    if (!r.Used) continue;
    out += prefix;
    values(r, v);
    AppendNumbers(out, v, count);
    out += kLineEnd;
  }
}

// Numbers each used entry from `first` in table order.
template <typename Rec>
int64_t NumberUsed(std::vector<Rec>& table, int32_t first) {
  int32_t n = first;
  for (Rec& r : table)
    if (r.Used) r.OutIndex = n++;
  return n - first;
}

}  // namespace

std::string ColladaId(const std::string& path) {
  std::string id = ExtractBaseName(path);
  for (char& c : id)
    if (c == '.' || c == ' ') c = '_';
  return id;
}

std::string WriteColladaFile(const std::string& base, const std::string& level, const std::string& texture,
                             TArV& vertices, TArN& normals, TArT& texCoords, const TArF& faces) {
  const std::string name = MakeUniqueFileName(level.empty() ? base + ".dae" : base + "-" + level + ".dae", ".dae");
  const bool tex = !texture.empty();
  TColladaIds id;
  const std::string d = ColladaId(base);
  id.D = XmlEscaped(d);
  id.G = XmlEscaped(d + "-Mesh");
  id.M = XmlEscaped(d + "-Material");
  if (tex) id.T = XmlEscaped(ColladaId(texture));

  TDocument doc;
  int64_t used = 0;
  for (const TFRec& f : faces) used += f.Used ? 1 : 0;
  doc.out.reserve(static_cast<size_t>(vertices.size() * 30 + normals.size() * 30 + texCoords.size() * 20 +
                                      static_cast<size_t>(used) * 30 + 8192));
  doc.out += "\xEF\xBB\xBF";
  WriteAsset(doc);
  WriteEffects(doc, id, tex);
  WriteImagesAndMaterials(doc, id, tex, tex ? RelativePathFrom(ExtractFilePath(name), texture) : std::string());
  WriteGeometry(doc, id, vertices, normals, texCoords, faces);
  WriteScene(doc, id, tex);
  StoreTextFile(name, doc.out);
  return name;
}

std::string WriteColladaObjFile(const std::string& daePath, const std::string& texture, TArV& vertices,
                                TArN& normals, TArT& texCoords, const TArF& faces) {
  const std::string objName = MakeUniqueFileName(RemoveFileExt(daePath) + "-Collada" + ".obj", ".obj");
  // The MTL follows the OBJ's name, so it takes the OBJ's counter without its own name being
  // taken. MakeUniqueFileName notes a name it had to count on further; one that only follows the
  // OBJ's new name is noted here, so the notice lists every file not written as asked.
  const std::string mtlName = MakeUniqueFileName(objName, ".mtl");
  if (mtlName == ChangeFileExt(objName, ".mtl") && mtlName != RemoveFileExt(daePath) + "-Collada.mtl")
    NoteRenamedFile(mtlName);
  const std::string reference = texture.empty() ? std::string() : RelativePathFrom(ExtractFilePath(objName), texture);
  StoreTextFile(mtlName, std::string("newmtl olmera") + kLineEnd + "map_Kd " + reference + kLineEnd);

  const int64_t nv = NumberUsed(vertices, 1);
  NumberUsed(texCoords, 1);
  NumberUsed(normals, 1);
  int64_t nf = 0;
  for (const TFRec& f : faces) nf += f.Used ? 1 : 0;
  TDocument doc;
  doc.out.reserve(static_cast<size_t>(vertices.size() * 30 + normals.size() * 30 + texCoords.size() * 20 +
                                      static_cast<size_t>(nf) * 40 + 512));
  doc.Line("# Exported from ZEPHOR");
  doc.Line("mtllib ", ExtractFileName(mtlName));
  doc.Line("o ZEPHOR_DURIM");
  doc.out += '#';
  FileFormatSettings.AppendInt(doc.out, nv);
  doc.out += " vertices, ";
  FileFormatSettings.AppendInt(doc.out, nf);
  doc.Line(" faces");
  AppendRecordLines(doc.out, "v ", vertices, 3, &PositionValues);
  AppendRecordLines(doc.out, "vt ", texCoords, 2, &MapValues);
  AppendRecordLines(doc.out, "vn ", normals, 3, &NormalValues);
  for (const TFRec& f : faces) {
    if (!f.Used) continue;
    doc.out += 'f';
    for (int k = 0; k < 3; ++k) {
      doc.out += ' ';
      FileFormatSettings.AppendInt(doc.out, OutIndexOf(vertices, f.VIdx[k]));
      doc.out += '/';
      FileFormatSettings.AppendInt(doc.out, OutIndexOf(texCoords, f.TIdx[k]));
      doc.out += '/';
      FileFormatSettings.AppendInt(doc.out, OutIndexOf(normals, f.NIdx[k]));
    }
    doc.out += kLineEnd;
  }
  StoreTextFile(objName, doc.out);
  return objName;
}

}  // namespace shape

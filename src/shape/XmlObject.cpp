#include "shape/XmlObject.h"

#include <pugixml.hpp>

#include <algorithm>
#include <exception>
#include <memory>
#include <set>
#include <vector>

#include "common/Exception.h"
#include "common/NumberText.h"
#include "settings/AppSettings.h"
#include "shape/ObjFile.h"
#include "shape/FileFormatSettings.h"
#include "shape/OutputNames.h"
#include "shape/ShapeReadCopy.h"
#include "shape/ShapeText.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace shape {

std::string AuthorName;

namespace {

class EXmlReadError : public common::Exception {
 public:
  using common::Exception::Exception;
};

void AppendAttribute(std::string& out, const char* name, int64_t value) {
  out += ' ';
  out += name;
  out += "=\"";
  FileFormatSettings.AppendInt(out, value);
  out += '"';
}

void AppendPointLine(std::string& out, int32_t left, int32_t top, const TDbl3D& p) {
  out += "    <value";
  AppendAttribute(out, "left", left);
  AppendAttribute(out, "top", top);
  out += '>';
  for (int k = 0; k < 3; ++k) {
    if (k > 0) out += ' ';
    FileFormatSettings.AppendFixed(out, p[k], 8);
  }
  out += "</value>";
}

void AppendMarkLine(std::string& out, int32_t left, int32_t top) {
  out += "    <value";
  AppendAttribute(out, "left", left);
  AppendAttribute(out, "top", top);
  out += " />";
}

// Group ids in the order they are first met, columns outer, rows inner.
std::vector<int32_t> GroupIdsInOrder(const TCS& cs) {
  std::vector<int32_t> ids;
  std::set<int32_t> seen;
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j) {
      const int32_t id = cs.GP[i][j];
      if (id != -1 && seen.insert(id).second) ids.push_back(id);
    }
  return ids;
}

// ---- reading ----

// The text of an element with its descendants, as the document model's text property gives it
// (walked without recursion: the nesting comes from the file).
std::string ElementText(const pugi::xml_node& element) {
  const pugi::xml_node first = element.first_child();
  if (first && !first.next_sibling() && (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata))
    return first.value();
  std::string text;
  pugi::xml_node n = first;
  while (n) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && n != element && !n.next_sibling()) n = n.parent();
    if (!n || n == element) break;
    n = n.next_sibling();
  }
  return text;
}

// An integer attribute; `fallback` when it is missing or no number.
int32_t IntAttribute(const pugi::xml_node& element, const char* name, int32_t fallback) {
  const pugi::xml_attribute a = element.attribute(name);
  return a ? common::StrToIntDef(a.value(), fallback) : fallback;
}

// The grid point a "value" element names, or false when it lies outside the grid.
bool ValuePoint(const pugi::xml_node& value, const TCS& cs, int32_t& left, int32_t& top) {
  left = IntAttribute(value, "left", -1);
  top = IntAttribute(value, "top", -1);
  return left >= 0 && left < cs.CPMaxI && top >= 0 && top < cs.CPMaxJ;
}

// NewGroupId over a whole document without a scan of the grid per group: the number of points of
// every id that can be the answer (0 up to the number of points) and the set of those not used.
class TGroupIdPool {
 public:
  explicit TGroupIdPool(const TCS& cs) : points_(cs.CPMaxI * cs.CPMaxJ), count_(points_ + 1, 0) {
    for (int32_t i = 0; i < cs.CPMaxI; ++i)
      for (int32_t j = 0; j < cs.CPMaxJ; ++j) Add(cs.GP[i][j], 1);
    for (int32_t id = 0; id <= points_; ++id)
      if (count_[id] == 0) free_.insert(id);
  }
  int32_t NewId() const { return *free_.begin(); }
  // GP of one point changes from `from` to `to`.
  void Move(int32_t from, int32_t to) {
    Add(from, -1);
    Add(to, 1);
  }

 private:
  void Add(int32_t id, int delta) {
    if (id < 0 || id > points_) return;
    int32_t& c = count_[id];
    if (c == 0 && delta > 0) free_.erase(id);
    c += delta;
    if (c == 0) free_.insert(id);
  }

  int32_t points_;
  std::vector<int32_t> count_;
  std::set<int32_t> free_;
};

void ReadObjectElement(const pugi::xml_node& e, TCS& cs) {
  cs.ScType = XmlNameToStitchType(e.attribute("stitching_type").value());
  const int32_t width = IntAttribute(e, "width", cs.CPMaxI);
  const int32_t height = IntAttribute(e, "height", cs.CPMaxJ);
  // The record holds at most 257 x 257 points.
  if (width < 2 || width > kGridMax)
    throw EXmlReadError("The width " + std::to_string(width) + " is outside 2 to 257.");
  if (height < 2 || height > kGridMax)
    throw EXmlReadError("The height " + std::to_string(height) + " is outside 2 to 257.");
  cs.CPMaxI = width;
  cs.CPMaxJ = height;
  SetGridSize(cs);
}

void ReadSizeElement(const pugi::xml_node& e, double size[3]) {
  const char* names[3] = {"x", "y", "z"};
  for (int k = 0; k < 3; ++k) {
    const pugi::xml_attribute a = e.attribute(names[k]);
    double v;
    if (a && FileFormatSettings.TryStrToFloat(a.value(), v)) size[k] = v;
  }
}

// Applies the children of the document element to the work copy; `size` takes xyz_size.
void ReadDocumentElements(const pugi::xml_node& root, TCS& cs, double size[3], bool& sizeRead) {
  std::unique_ptr<TGroupIdPool> pool;  // built at the first group, again after a new grid size
  int32_t left = 0, top = 0;
  for (pugi::xml_node e = root.first_child(); e; e = e.next_sibling()) {
    if (e.type() != pugi::node_element) continue;
    const std::string_view name = e.name();
    if (name == "object") {
      ReadObjectElement(e, cs);
      pool.reset();
    } else if (name == "xyz_size") {
      ReadSizeElement(e, size);
      sizeRead = true;
    } else if (name == "vertex") {
      for (pugi::xml_node v = e.child("value"); v; v = v.next_sibling("value"))
        if (ValuePoint(v, cs, left, top)) cs.CP[left][top] = ParseXmlPoint(ElementText(v));
    } else if (name == "vertex_locked") {
      for (pugi::xml_node v = e.child("value"); v; v = v.next_sibling("value"))
        if (ValuePoint(v, cs, left, top)) cs.RP[left][top] = true;
    } else if (name == "vertex_group") {
      if (!e.first_child()) continue;
      if (!pool) pool = std::make_unique<TGroupIdPool>(cs);
      const int32_t id = pool->NewId();
      for (pugi::xml_node v = e.child("value"); v; v = v.next_sibling("value"))
        if (ValuePoint(v, cs, left, top)) {
          pool->Move(cs.GP[left][top], id);
          cs.GP[left][top] = id;
        }
    }
  }
}

void ReadXmlInto(TCS& cs, const std::string& fileName, bool resetFirst, double size[3], bool& sizeRead) {
  if (resetFirst) ResetDefaultShape(cs);
  const std::string text = LoadTextFile(fileName);
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
  if (!parsed)
    throw EXmlReadError(std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset) + ".");
  const pugi::xml_node root = doc.document_element();
  if (!root || std::string_view(root.name()) != "document") throw EXmlReadError("document not found.");
  if (std::string_view(root.attribute("version").value()) != kXmlVersion)
    throw EXmlReadError("DURIM header not found.");
  ReadDocumentElements(root, cs, size, sizeRead);
}

}  // namespace

std::string StitchTypeToXmlName(TScType type) {
  switch (type) {
    case SCTYPE_SPHERE:
      return "Sphere";
    case SCTYPE_TORUS:
      return "Torus";
    case SCTYPE_PLANE:
      return "Plane";
    case SCTYPE_CYLINDER:
      return "Cylinder";
    default:
      return "None";
  }
}

TScType XmlNameToStitchType(const std::string& name) {
  if (name == "Torus") return SCTYPE_TORUS;
  if (name == "Plane") return SCTYPE_PLANE;
  if (name == "Cylinder") return SCTYPE_CYLINDER;
  return SCTYPE_SPHERE;
}

TDbl3D ParseXmlPoint(const std::string& text) {
  std::string_view words[3];
  int count = 0;
  size_t p = 0;
  const size_t n = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (p < n) {
    while (p < n && blank(text[p])) ++p;
    if (p >= n) break;
    const size_t start = p;
    while (p < n && !blank(text[p])) ++p;
    if (count < 3) words[count] = std::string_view(text).substr(start, p - start);
    if (++count > 3) break;
  }
  if (count != 3) return {0, 0, 0};
  return {FileFormatSettings.StrToFloatDef(words[0], 0), FileFormatSettings.StrToFloatDef(words[1], 0), FileFormatSettings.StrToFloatDef(words[2], 0)};
}

std::string XmlTagLine(const std::string& name) { return "  <" + name + ">"; }

std::string XmlObjectLine(TScType type, int32_t width, int32_t height) {
  std::string out = "  <object stitching_type=\"" + StitchTypeToXmlName(type) + "\"";
  AppendAttribute(out, "width", width);
  AppendAttribute(out, "height", height);
  out += " />";
  return out;
}

std::string XmlSizeLine(double x, double y, double z) {
  std::string out = "  <xyz_size";
  const char* names[3] = {"x", "y", "z"};
  const double values[3] = {x, y, z};
  for (int k = 0; k < 3; ++k) {
    out += ' ';
    out += names[k];
    out += "=\"";
    FileFormatSettings.AppendFixed(out, values[k], 1);
    out += '"';
  }
  out += " />";
  return out;
}

std::string XmlPointLine(int32_t left, int32_t top, const TDbl3D& p) {
  std::string out;
  AppendPointLine(out, left, top, p);
  return out;
}

std::string XmlMarkLine(int32_t left, int32_t top) {
  std::string out;
  AppendMarkLine(out, left, top);
  return out;
}

void WriteXmlObject(const TCS& cs, std::string& fileName) {
  const int32_t I = std::clamp(cs.CPMaxI, 2, kGridMax);
  const int32_t J = std::clamp(cs.CPMaxJ, 2, kGridMax);
  std::string out;
  out.reserve(static_cast<size_t>(I) * J * 70 + 512);
  auto line = [&](const std::string& text) {
    out += text;
    out += kLineEnd;
  };
  line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  line(std::string("<document version=\"") + kXmlVersion + "\">");
  line("<author>" + XmlEscaped(AuthorName) + "</author>");
  line(XmlObjectLine(cs.ScType, I, J));
  line(XmlSizeLine(settings::ObjectSize[0], settings::ObjectSize[1], settings::ObjectSize[2]));
  line(XmlTagLine("vertex"));
  for (int32_t j = 0; j < J; ++j)
    for (int32_t i = 0; i < I; ++i) {
      AppendPointLine(out, i, j, cs.CP[i][j]);
      out += kLineEnd;
    }
  line(XmlTagLine("/vertex"));
  line(XmlTagLine("vertex_locked"));
  for (int32_t j = 0; j < J; ++j)
    for (int32_t i = 0; i < I; ++i)
      if (cs.RP[i][j]) line(XmlMarkLine(i, j));
  line(XmlTagLine("/vertex_locked"));
  for (int32_t id : GroupIdsInOrder(cs)) {
    std::string tag = "  <vertex_group";
    AppendAttribute(tag, "id", id);
    line(tag + ">");
    for (int32_t j = 0; j < J; ++j)
      for (int32_t i = 0; i < I; ++i)
        if (cs.GP[i][j] == id) line(XmlMarkLine(i, j));
    line(XmlTagLine("/vertex_group"));
  }
  line("</document>");
  const std::string name = MakeUniqueFileName(fileName, ".xml");
  StoreTextFile(name, out);
  fileName = name;
}

bool ReadXmlObject(TCS& cs, const std::string& fileName, bool resetFirst) {
  TShapeReadCopy copy(cs);
  double size[3] = {settings::ObjectSize[0], settings::ObjectSize[1], settings::ObjectSize[2]};
  bool sizeRead = false;
  try {
    ReadXmlInto(copy.Work(), fileName, resetFirst, size, sizeRead);
  } catch (const std::exception& e) {
    if (IFilePrompts* prompts = GetFilePrompts()) prompts->ShowMessage(std::string("XML Read Error: ") + e.what());
    return false;
  }
  TCS& work = copy.Work();
  CopySeams(work, 0);
  // As for a shape that fits the cube nothing is scaled: with "MaximizeWithSymmetry" every
  // reopening would shrink the shape by 1/128, since the file holds the points unscaled.
  FitShapeToCube(work, false);
  copy.Commit(cs);
  if (sizeRead) {
    for (int k = 0; k < 3; ++k) settings::ObjectSize[k] = size[k];
    settings::NormalizeAxisScales();
  }
  return true;
}

}  // namespace shape

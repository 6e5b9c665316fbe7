// The archives of mesh objects and face groups, and the registration of their classes.
//
// Every part writes its version first and reads only the versions it knows. Reading checks what
// the draw relies on: modes inside their tables, an options size of at most 4 bytes, and face-group
// indices inside the lists they index; anything else fails the read with EReadError.
#include <cstring>
#include <string>

#include "scene3d/scene/mesh/MeshObject.h"

namespace gl3d {

namespace {

[[noreturn]] void Damaged(const TPersistentObject& object, const std::string& what) {
  throw EReadError(std::string(object.ClassName()) + " : " + what);
}

}  // namespace

// ---- Face groups ----

void TFaceGroup::WriteToFiler(TVirtualWriter& writer) const {
  TPersistentObject::WriteToFiler(writer);
  if (lightMapIndex_ < 0) {
    writer.WriteInteger(0);
    writer.WriteString(materialName_);
  } else {
    writer.WriteInteger(1);
    writer.WriteString(materialName_);
    writer.WriteInteger(lightMapIndex_);
  }
}

void TFaceGroup::ReadFromFiler(TVirtualReader& reader) {
  TPersistentObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0 && version != 1) RaiseFilerException(version);
  materialName_ = reader.ReadString();
  lightMapIndex_ = version == 1 ? reader.ReadInteger() : -1;
}

void TFGVertexIndexList::WriteToFiler(TVirtualWriter& writer) const {
  TFaceGroup::WriteToFiler(writer);
  writer.WriteInteger(0);
  vertexIndices_.WriteToFiler(writer);
  writer.WriteInteger(mode_);
}

void TFGVertexIndexList::ReadFromFiler(TVirtualReader& reader) {
  TFaceGroup::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  vertexIndices_.ReadFromFiler(reader);
  const int32_t mode = reader.ReadInteger();
  if (mode < fgTriangles || mode > fgQuads) Damaged(*this, "face-group mode " + std::to_string(mode));
  mode_ = static_cast<TFaceGroupMode>(mode);
  InvalidateIndexBuffer();
}

void TFGVertexNormalTexIndexList::WriteToFiler(TVirtualWriter& writer) const {
  TFGVertexIndexList::WriteToFiler(writer);
  writer.WriteInteger(0);
  normalIndices_.WriteToFiler(writer);
  texCoordIndices_.WriteToFiler(writer);
}

void TFGVertexNormalTexIndexList::ReadFromFiler(TVirtualReader& reader) {
  TFGVertexIndexList::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  normalIndices_.ReadFromFiler(reader);
  texCoordIndices_.ReadFromFiler(reader);
}

void TFGIndexTexCoordList::WriteToFiler(TVirtualWriter& writer) const {
  TFGVertexIndexList::WriteToFiler(writer);
  writer.WriteInteger(0);
  texCoords_.WriteToFiler(writer);
}

void TFGIndexTexCoordList::ReadFromFiler(TVirtualReader& reader) {
  TFGVertexIndexList::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  texCoords_.ReadFromFiler(reader);
}

// ---- Mesh objects ----

void TBaseMeshObject::WriteToFiler(TVirtualWriter& writer) const {
  TPersistentObject::WriteToFiler(writer);
  writer.WriteInteger(1);
  writer.WriteString(name_);
  vertices_.WriteToFiler(writer);
  normals_.WriteToFiler(writer);
  writer.WriteBoolean(visible_);
}

void TBaseMeshObject::ReadFromFiler(TVirtualReader& reader) {
  TPersistentObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0 && version != 1) RaiseFilerException(version);
  name_ = reader.ReadString();
  vertices_.ReadFromFiler(reader);
  normals_.ReadFromFiler(reader);
  visible_ = version == 1 ? reader.ReadBoolean() : true;
}

void TMeshObject::WriteToFiler(TVirtualWriter& writer) const {
  TBaseMeshObject::WriteToFiler(writer);
  writer.WriteInteger(3);
  texCoords_.WriteToFiler(writer);
  lightMapTexCoords_.WriteToFiler(writer);
  colors_.WriteToFiler(writer);
  faceGroups_.WriteToFiler(writer);
  writer.WriteInteger(mode_);
  writer.WriteInteger(1);
  writer.Write(&renderingOptions_, 1);
  writer.WriteInteger(static_cast<int32_t>(texCoordsEx_.size()));
  for (const auto& list : texCoordsEx_) list->WriteToFiler(writer);
  writer.WriteInteger(extraCoordIndex1_);
  writer.WriteInteger(extraCoordIndex2_);
}

void TMeshObject::ReadFaceGroups(TVirtualReader& reader) {
  faceGroups_.ReadFromFiler(reader);
  for (int i = 0; i < faceGroups_.Count(); ++i) faceGroups_.GetFaceGroup(i)->CheckIndices(*this);
}

void TMeshObject::ReadFromFiler(TVirtualReader& reader) {
  TBaseMeshObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version < 0 || version > 3) RaiseFilerException(version);
  texCoords_.ReadFromFiler(reader);
  if (version == 0) {
    lightMapTexCoords_.Clear();
  } else if (version < 3) {
    // Versions 1 and 2 kept lightmap coordinates as texture points (s, t).
    TTexPointList points;
    points.ReadFromFiler(reader);
    lightMapTexCoords_.Clear();
    lightMapTexCoords_.EnsureCapacity(points.Count());
    for (int i = 0; i < points.Count(); ++i) lightMapTexCoords_.Add({points[i].S, points[i].T, 0});
  } else {
    lightMapTexCoords_.ReadFromFiler(reader);
  }
  colors_.ReadFromFiler(reader);
  ReadFaceGroups(reader);
  const int32_t mode = reader.ReadInteger();
  if (mode < moTriangles || mode > moFaceGroups) Damaged(*this, "mesh-object mode " + std::to_string(mode));
  mode_ = static_cast<TMeshObjectMode>(mode);
  const int32_t optionsSize = reader.ReadInteger();
  if (optionsSize < 0 || optionsSize > 4) Damaged(*this, "options size " + std::to_string(optionsSize));
  uint8_t options[4] = {0, 0, 0, 0};
  reader.Read(options, optionsSize);
  renderingOptions_ = options[0];
  if (version < 2) return;
  const int32_t extraCount = reader.ReadInteger();
  if (extraCount < 0) Damaged(*this, "extra list count " + std::to_string(extraCount));
  texCoordsEx_.clear();
  // Each list takes at least a few bytes, so a count beyond the data ends in a read error long
  // before it could allocate much.
  for (int32_t i = 0; i < extraCount; ++i) {
    auto list = std::make_unique<TVectorList>();
    list->ReadFromFiler(reader);
    texCoordsEx_.push_back(std::move(list));
  }
  const int32_t index1 = reader.ReadInteger();
  const int32_t index2 = reader.ReadInteger();
  if (index1 < 0 || index2 < 0) Damaged(*this, "negative extra coordinate index");
  extraCoordIndex1_ = index1;
  extraCoordIndex2_ = index2;
}

void RegisterMeshObjectClasses() {
  TPersistentObjectRegistry& r = TPersistentObjectRegistry::Instance();
  r.Register<TMeshObject>("TMeshObject");
  r.Register<TFGVertexIndexList>("TFGVertexIndexList");
  r.Register<TFGVertexNormalTexIndexList>("TFGVertexNormalTexIndexList");
  r.Register<TFGIndexTexCoordList>("TFGIndexTexCoordList");
}

}  // namespace gl3d

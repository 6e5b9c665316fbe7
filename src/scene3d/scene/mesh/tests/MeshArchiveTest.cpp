// The archives of mesh objects and face groups against bytes built by hand here (tags and
// little-endian values, independent of the writer): versions 0 to 3 of a mesh object, versions 0
// and 1 of a face group, the byte-identical round trip, and the damaged archives that must fail
// with an error (never a crash, a hang or a huge allocation).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/mesh/MeshObject.h"

using namespace gl3d;

namespace {

// Archive bytes, written field by field.
struct TBytes {
  std::string b;
  TBytes& Int(int32_t v) {
    if (v >= -128 && v <= 127) {
      b += '\x02';
      b += static_cast<char>(static_cast<int8_t>(v));
    } else if (v >= -32768 && v <= 32767) {
      b += '\x03';
      Raw(static_cast<int16_t>(v));
    } else {
      b += '\x04';
      Raw(v);
    }
    return *this;
  }
  TBytes& Bool(bool v) {
    b += v ? '\x09' : '\x08';
    return *this;
  }
  // UTF-16 string (tag 18) of ASCII text.
  TBytes& Str(const std::string& s) {
    b += '\x12';
    Raw(static_cast<uint32_t>(s.size()));
    for (char c : s) {
      b += c;
      b += '\0';
    }
    return *this;
  }
  template <class T>
  TBytes& Raw(const T& v) {
    b.append(reinterpret_cast<const char*>(&v), sizeof(T));
    return *this;
  }
  TBytes& Floats(std::initializer_list<float> values) {
    for (float f : values) Raw(f);
    return *this;
  }
  TBytes& ListBegin() {
    b += '\x01';
    return *this;
  }
  TBytes& ListEnd() {
    b += '\x00';
    return *this;
  }
  // A list header: version 0, count, item size.
  TBytes& ListHead(int count, int itemSize) { return Int(0).Int(count).Int(itemSize); }
};

// The knobs of the hand-built archive: a list of one mesh object with three vertices and one face
// group; each damaged case turns one knob.
struct TKnobs {
  int meshVersion = 3;
  int baseVersion = 1;
  int listVersion = 0;
  std::string className = "TMeshObject";
  std::string groupClass = "TFGVertexIndexList";
  int vertexCount = 3;  // as stored; the data always holds three
  int vertexItemSize = 12;
  int groupVersion = 1;  // 1: with the lightmap index 2
  int indexListVersion = 0;
  int32_t lastIndex = 2;
  int groupMode = 0;
  int meshMode = 2;
  int optionsSize = 1;
  int extraCount = 1;  // as stored; the data always holds one list
  int extraIndex1 = 5;
};

std::string ArchiveBytes(const TKnobs& k) {
  TBytes a;
  a.Int(k.listVersion).ListBegin().Str(k.className);
  // Base part.
  a.Int(k.baseVersion).Str("m");
  a.ListHead(k.vertexCount, k.vertexItemSize).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Int(0);
  a.ListHead(3, 12).Floats({0, 0, 1, 0, 0, 1, 0, 0, 1}).Int(0);
  if (k.baseVersion >= 1) a.Bool(true);
  // Mesh-object part.
  a.Int(k.meshVersion);
  a.ListHead(3, 12).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Int(0);
  if (k.meshVersion == 1 || k.meshVersion == 2)
    a.ListHead(3, 8).Floats({0.25f, 0.5f, 0.75f, 1, 0, 0.125f});
  else if (k.meshVersion >= 3)
    a.ListHead(3, 12).Floats({0.25f, 0.5f, 0, 0.75f, 1, 0, 0, 0.125f, 0}).Int(0);
  a.ListHead(0, 16).Int(0);  // colours
  a.Int(0).ListBegin().Str(k.groupClass);
  a.Int(k.groupVersion).Str("mat");
  if (k.groupVersion == 1) a.Int(2);
  a.Int(k.indexListVersion).ListHead(3, 4).Raw(int32_t{0}).Raw(int32_t{1}).Raw(k.lastIndex).Int(k.groupMode);
  a.ListEnd();
  a.Int(k.meshMode).Int(k.optionsSize);
  for (int i = 0; i < k.optionsSize; ++i) a.b += i == 0 ? '\x01' : '\x00';
  if (k.meshVersion >= 2) {
    a.Int(k.extraCount);
    a.ListHead(1, 16).Floats({1, 2, 3, 4}).Int(0);
    a.Int(k.extraIndex1).Int(6);
  }
  a.ListEnd();
  return a.b;
}

class MeshArchive : public ::testing::Test {
 protected:
  void SetUp() override { Scene3dSceneStartup(); }
};

}  // namespace

TEST_F(MeshArchive, ReadsVersionsZeroToThree) {
  for (int version = 0; version <= 3; ++version) {
    TKnobs k;
    k.meshVersion = version;
    k.optionsSize = version < 2 ? 4 : 1;  // older files may store a wider options field
    TMeshObjectList list;
    list.LoadFromString(ArchiveBytes(k));
    ASSERT_EQ(list.Count(), 1) << version;
    TMeshObject* mesh = list.Items(0);
    EXPECT_EQ(mesh->Owner(), &list);
    EXPECT_EQ(mesh->Name(), "m");
    EXPECT_EQ(mesh->Vertices()->Count(), 3);
    EXPECT_EQ(mesh->Normals()->Get(2).Z, 1);
    EXPECT_EQ(mesh->TexCoords()->Get(1).X, 1);
    EXPECT_EQ(mesh->Mode(), moFaceGroups);
    EXPECT_EQ(mesh->RenderingOptions(), RenderingOptionBit(moroGroupByMaterial));
    if (version == 0) {
      EXPECT_EQ(mesh->LightMapTexCoords()->Count(), 0);
    } else {
      // Texture points (s, t) of versions 1 and 2 become (s, t, 0).
      ASSERT_EQ(mesh->LightMapTexCoords()->Count(), 3) << version;
      const TVector3f p = mesh->LightMapTexCoords()->Get(1);
      EXPECT_EQ(p.X, 0.75f);
      EXPECT_EQ(p.Y, 1);
      EXPECT_EQ(p.Z, 0);
    }
    EXPECT_EQ(mesh->TexCoordsExCount(), version >= 2 ? 1 : 0);
    EXPECT_EQ(mesh->ExtraCoordIndex1(), version >= 2 ? 5 : 2);
    ASSERT_EQ(mesh->FaceGroups()->Count(), 1);
    auto* group = dynamic_cast<TFGVertexIndexList*>(mesh->FaceGroups()->Items(0));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->MeshObject(), mesh);
    EXPECT_EQ(group->MaterialName(), "mat");
    EXPECT_EQ(group->LightMapIndex(), 2);
    EXPECT_EQ(group->VertexIndices()->Get(2), 2);
  }
}

TEST_F(MeshArchive, FaceGroupVersionFollowsTheLightmapIndex) {
  TKnobs k;
  k.groupVersion = 0;
  TMeshObjectList list;
  list.LoadFromString(ArchiveBytes(k));
  EXPECT_EQ(list.Items(0)->FaceGroups()->Items(0)->LightMapIndex(), -1);
  // Without a lightmap the group writes version 0 again: the archive comes back unchanged.
  EXPECT_EQ(list.SaveToString(), ArchiveBytes(k));
}

TEST_F(MeshArchive, WritesTheHandBuiltBytesAndRoundTrips) {
  const std::string bytes = ArchiveBytes(TKnobs{});
  TMeshObjectList list;
  list.LoadFromString(bytes);
  EXPECT_EQ(list.SaveToString(), bytes);
  // Older versions are written as version 3 and stay the same from then on.
  TKnobs old;
  old.meshVersion = 1;
  list.LoadFromString(ArchiveBytes(old));
  const std::string first = list.SaveToString();
  TMeshObjectList again;
  again.LoadFromString(first);
  EXPECT_EQ(again.SaveToString(), first);
}

TEST_F(MeshArchive, DamagedArchivesFail) {
  struct Case {
    const char* what;
    void (*turn)(TKnobs&);
  };
  const Case cases[] = {
      {"unknown class", [](TKnobs& k) { k.className = "TMeshObjectX"; }},
      {"unknown face-group class", [](TKnobs& k) { k.groupClass = "TFGNothing"; }},
      {"face group in the mesh list", [](TKnobs& k) { k.className = "TFGVertexIndexList"; }},
      {"vertex count beyond the data", [](TKnobs& k) { k.vertexCount = 0x7FFFFFFF; }},
      {"negative vertex count", [](TKnobs& k) { k.vertexCount = -1; }},
      {"vertex item size", [](TKnobs& k) { k.vertexItemSize = 16; }},
      {"index beyond the vertices", [](TKnobs& k) { k.lastIndex = 3; }},
      {"negative index", [](TKnobs& k) { k.lastIndex = -1; }},
      {"face-group mode", [](TKnobs& k) { k.groupMode = 5; }},
      {"mesh mode", [](TKnobs& k) { k.meshMode = 3; }},
      {"options size above 4", [](TKnobs& k) { k.optionsSize = 5; }},
      {"extra list count beyond the data", [](TKnobs& k) { k.extraCount = 1000000; }},
      {"negative extra index", [](TKnobs& k) { k.extraIndex1 = -1; }},
      {"mesh version", [](TKnobs& k) { k.meshVersion = 4; }},
      {"base version", [](TKnobs& k) { k.baseVersion = 2; }},
      {"face-group version", [](TKnobs& k) { k.groupVersion = 2; }},
      {"index-list version", [](TKnobs& k) { k.indexListVersion = 1; }},
      {"list version", [](TKnobs& k) { k.listVersion = 1; }},
  };
  for (const Case& c : cases) {
    TKnobs k;
    c.turn(k);
    TMeshObjectList list;
    EXPECT_THROW(list.LoadFromString(ArchiveBytes(k)), common::Exception) << c.what;
  }
}

TEST_F(MeshArchive, TruncatedOrMutatedArchivesNeverCrash) {
  const std::string bytes = ArchiveBytes(TKnobs{});
  // Every prefix lacks the closing list end at least.
  for (size_t n = 0; n < bytes.size(); ++n) {
    TMeshObjectList list;
    EXPECT_THROW(list.LoadFromString(bytes.substr(0, n)), common::Exception) << n;
  }
  // Any byte changed: either a well-formed archive or an error, and a loaded one draws only inside
  // its lists (checked by reading every face group's indices against the vertices).
  for (size_t i = 0; i < bytes.size(); ++i) {
    for (const char value : {'\x00', '\x7F', '\xFF', static_cast<char>(bytes[i] ^ 0x10)}) {
      std::string mutated = bytes;
      mutated[i] = value;
      TMeshObjectList list;
      try {
        list.LoadFromString(mutated);
      } catch (const common::Exception&) {
        continue;
      }
      for (int m = 0; m < list.Count(); ++m) {
        TMeshObject* mesh = list.Items(m);
        EXPECT_LE(mesh->Mode(), moFaceGroups);
        for (int g = 0; g < mesh->FaceGroups()->Count(); ++g) {
          auto* group = static_cast<TFGVertexIndexList*>(mesh->FaceGroups()->Items(g));
          EXPECT_LE(group->Mode(), fgQuads);
          for (int x = 0; x < group->VertexIndices()->Count(); ++x)
            EXPECT_LT(group->VertexIndices()->Get(x), mesh->Vertices()->Count()) << i;
        }
      }
    }
  }
}

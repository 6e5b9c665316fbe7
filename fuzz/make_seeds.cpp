// Writes the seeds that only this system's own writers make: raw bitmap streams (plain and
// through zlib), packed DIBs, zlib data, binary archives, component streams and "glsm" meshes. Each file
// starts with the choice byte its fuzz target takes first, where the target takes one.
// Usage: make_seeds <corpus folder>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDibTransfer.h"
#include "rastova/core/RVRawStream.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "scene3d/base/Classes.h"
#include "scene3d/base/GLColor.h"
#include "scene3d/base/PersistentClasses.h"
#include "scene3d/base/Scene3dBase.h"
#include "scene3d/base/VectorLists.h"
#include "scene3d/base/XCollection.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/animation/MorphableMeshObject.h"
#include "scene3d/scene/animation/Skeleton.h"
#include "scene3d/scene/animation/SkeletonMeshObject.h"
#include "scene3d/scene/mesh/MeshObject.h"

namespace {

std::string root;

void Put(const std::string& target, const std::string& name, const std::string& bytes) {
  std::ofstream(root + "/" + target + "/" + name, std::ios::binary) << bytes;
}
std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
std::string Choice(unsigned c, const std::string& rest) { return std::string(1, static_cast<char>(c)) + rest; }

std::string Zip(const std::string& data) {
  rv::TMemoryStream out;
  {
    rv::TZCompressionStream z(out, rv::zcDefault);
    z.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    z.Finish();
  }
  return Str(out.Data());
}

void Pattern(rv::TRVBitmap& b) {
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x) b.SetPixels_rv24RGB(x, y, static_cast<uint32_t>(x * 0x102030 + y * 0x0A0B0C));
}

void Images() {
  struct Named {
    const char* name;
    rv::TRVBitmap* bitmap;
  };
  rv::TRVBitmap rgb(5, 3, rv::rv24RGB), rgbAlpha(4, 2, rv::rv24RGB), bw(9, 2, rv::rv1g), pal(3, 3, rv::rv8p),
      grey(2, 2, rv::rv8g);
  Pattern(rgb);
  Pattern(rgbAlpha);
  rgbAlpha.AlphaBitmap();
  for (int32_t i = 0; i < 4; ++i) pal.SetPalette(i, rv::TRGB{uint8_t(i * 60), 0, uint8_t(255 - i * 60)});
  for (const Named& n : {Named{"rgb", &rgb}, Named{"alpha", &rgbAlpha}, Named{"bw", &bw}, Named{"palette", &pal},
                         Named{"grey", &grey}}) {
    rv::TMemoryStream s;
    rv::SaveRawToStream(*n.bitmap, s);
    const std::string raw = Str(s.Data());
    Put("raw_stream", std::string(n.name) + ".raw", Choice(0, raw));
    Put("raw_stream", std::string(n.name) + ".raw.z", Choice(1, Zip(raw)));
    Put("dib", std::string(n.name) + ".dib", Str(rv::CopyBitmaptoDIBEx(*n.bitmap, 0, 0, 0, 0, 96, 96)));
  }
}

void ZlibData() {
  std::string text;
  for (int i = 0; i < 200; ++i) text += "row " + std::to_string(i * i) + " of the pattern\n";
  Put("zlib", "text.z", Choice(7, Zip(text)));
  Put("zlib", "short.z", Choice(0, Zip("abc")));
  Put("zlib", "empty.z", Choice(70, Zip("")));
  std::string zeros(5000, '\0');
  Put("zlib", "zeros.z", Choice(200, Zip(zeros)));
  Put("zlib", "cut.z", Choice(1, Zip(text).substr(0, 40)));
}

void Archives() {
  gl3d::TAffineVectorList points;
  points.Add(gl3d::TVector3f{1, 2, 3});
  points.Add(gl3d::TVector3f{-1, 0.5f, 8});
  gl3d::TVectorList vectors;
  vectors.Add(gl3d::TVector4f{1, 0, 0, 1});
  gl3d::TPersistentObjectList inner, outer;
  inner.Add(&vectors);
  inner.Add(nullptr);
  outer.Add(&points);
  outer.Add(&inner);
  outer.Add(nullptr);
  outer.Add(&points);
  Put("archive", "nested.bin", Choice(0, outer.SaveToString()));
  Put("archive", "empty.bin", Choice(0, gl3d::TPersistentObjectList().SaveToString()));
  Put("archive", "points.bin", Choice(1, points.SaveToString()));

  auto props = [](gl3d::TPersistent& object) {
    gl3d::TMemoryStream s;
    gl3d::TWriter w(s);
    w.WriteDefinedProperties(object);
    return s.DataString();
  };
  gl3d::TGLColor color(nullptr);
  color.SetColor(gl3d::TVector4f{0.25f, 0.5f, 1, 0.75f});
  Put("component_stream", "color.bin", Choice(0, props(color)));
  Put("component_stream", "points.bin", Choice(1, props(points)));
  gl3d::TXCollection collection(nullptr);
  gl3d::TMemoryStream s;
  gl3d::TWriter w(s);
  collection.WriteToFiler(w);
  Put("component_stream", "collection.bin", Choice(2, s.DataString()));
}

// A skeleton (two levels of bones, an angle and a quaternion frame, a collider on a bone) and a
// "glsm" list with a morphable and a skinned mesh object.
void AnimationSeeds() {
  gl3d::TSkeleton skeleton;
  auto* root = new gl3d::TSkeletonBone(skeleton.RootBones(), 0);
  root->SetName("root");
  auto* arm = new gl3d::TSkeletonBone(root, 1);
  arm->SetName("arm");
  auto* angles = new gl3d::TSkeletonFrame(skeleton.Frames());
  auto* quats = new gl3d::TSkeletonFrame(skeleton.Frames());
  quats->SetTransformMode(gl3d::ftQuaternions);
  for (int b = 0; b < 2; ++b) {
    angles->Position()->Add({float(b), 1, 0});
    angles->Rotation()->Add({0.5f, 0, 0.25f * b});
    quats->Position()->Add({0, float(b), 0});
    quats->Quaternion()->SetCount(b + 1);
    quats->Quaternion()->Put(b, {0, 0.6f, 0, 0.8f});
  }
  Put("skeleton", "bones.skel", skeleton.SaveToString());
  (new gl3d::TSkeletonCollider(skeleton.Colliders()))->SetBone(arm);
  Put("skeleton", "colliders.skel", skeleton.SaveToString());

  gl3d::TMeshObjectList list;
  auto* morph = new gl3d::TMorphableMeshObject(&list);
  morph->Vertices()->Add({1, 0, 0});
  (new gl3d::TMeshMorphTarget(morph->MorphTargets()))->Vertices()->Add({2, 0, 0});
  auto* skin = new gl3d::TSkeletonMeshObject(&list);
  skin->Vertices()->Add({0, 1, 0});
  skin->Normals()->Add({0, 0, 1});
  skin->SetBonesPerVertex(2);
  skin->SetVerticeBoneWeightCount(1);
  skin->VerticesBonesWeights(0, 0) = {0, 0.5f};
  skin->VerticesBonesWeights(0, 1) = {1, 0.5f};
  Put("glsm", "rig.glsm", list.SaveToString());
}

// Mesh-object lists: a small grid with each kind of face group, and one per plain mode.
void Meshes() {
  gl3d::TMeshObjectList list;
  auto* mesh = gl3d::TMeshObject::CreateOwned(&list);
  mesh->SetName("grid");
  mesh->SetMode(gl3d::moFaceGroups);
  for (int i = 0; i < 9; ++i) {
    mesh->Vertices()->Add({static_cast<float>(i % 3), static_cast<float>(i / 3), 0});
    mesh->Normals()->Add({0, 0, 1});
    mesh->TexCoords()->Add({static_cast<float>(i % 3) / 2, static_cast<float>(i / 3) / 2, 0});
    mesh->LightMapTexCoords()->Add({0.5f, 0.5f, 0});
  }
  mesh->GetTexCoordsEx(1)->AddPoint({1, 2, 3});
  auto* plain = gl3d::TFaceGroup::CreateOwned<gl3d::TFGVertexIndexList>(mesh->FaceGroups());
  plain->SetMaterialName("stone");
  plain->SetLightMapIndex(0);
  for (int k : {0, 3, 1, 1, 3, 4}) plain->Add(k);
  auto* strip = gl3d::TFaceGroup::CreateOwned<gl3d::TFGVertexNormalTexIndexList>(mesh->FaceGroups());
  strip->SetMode(gl3d::fgTriangleStrip);
  for (int k : {1, 4, 2, 5}) {
    strip->Add(k);
    strip->NormalIndices()->Add(0);
    strip->TexCoordIndices()->Add(k);
  }
  auto* fan = gl3d::TFaceGroup::CreateOwned<gl3d::TFGIndexTexCoordList>(mesh->FaceGroups());
  fan->SetMode(gl3d::fgTriangleFan);
  for (int k : {4, 5, 8, 7}) {
    fan->Add(k);
    fan->TexCoords()->Add({0.25f, 0.75f, 0});
  }
  Put("glsm", "groups.glsm", list.SaveToString());
  mesh->FaceGroups()->Clear();
  mesh->SetMode(gl3d::moTriangleStrip);
  Put("glsm", "strip.glsm", list.SaveToString());
  Put("glsm", "empty.glsm", gl3d::TMeshObjectList().SaveToString());
  AnimationSeeds();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <corpus folder>\n");
    return 2;
  }
  root = argv[1];
  gl3d::Scene3dBaseStartup();
  gl3d::Scene3dSceneStartup();
  Images();
  ZlibData();
  Archives();
  Meshes();
  return 0;
}

// Writes the seeds that only this system's own writers (or the test builders of its readers)
// make: raw bitmap streams (plain and through zlib), packed DIBs, zlib data, binary archives,
// component streams and "glsm" meshes; TIFF pages with EXIF and annotations, EXIF blocks, maker
// notes, Wang annotations, HD Photo, DICOM, lossless JPEG and PackBits data, a synthetic
// camera-raw file; the 3D library's bitmaps, texture-image files, material archives and scene
// properties; the shape's OBJ and XML files and clipboard blocks; AVI files; the text editor's
// memo block; the vector layer's object streams of several versions, and layers files; metafiles
// (EMF, WMF). Each file starts with the choice byte its fuzz target takes first, where the target
// takes one.
// Usage: make_seeds <corpus folder>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/ImageInput.h"
#include "fuzz/ShapeInput.h"
#include "rastova/codecs/RVEXIF.h"
#include "rastova/codecs/dicom/rvdicom.h"
#include "rastova/codecs/hdp/rvwic.h"
#include "rastova/codecs/tests/DicomTestTools.h"
#include "rastova/codecs/tests/RawTools.h"
#include "rastova/codecs/tiff/tiffilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDibTransfer.h"
#include "rastova/core/RVImagingAnnot.h"
#include "rastova/core/RVRawStream.h"
#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/metafile/tests/MetafileWriter.h"
#include "rastova/io/tests/AviTools.h"
#include "rastova/io/vector/RVExtendedObject.h"
#include "rastova/io/vector/RVVObjStream.h"
#include "rastova/io/vector/tests/VectStreamBytes.h"
#include "rastova/view/text/RVTextMemoBlock.h"
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
#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "scene3d/scene/core/GLBehaviours.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/mesh/MeshObject.h"
#include "scene3d/scene/texture/GLTextureImage.h"
#include "scene3d/scene/texture/picture/Bitmap.h"
#include "shape/ObjFile.h"
#include "shape/PointClipboard.h"
#include "shape/TextureBitmaps.h"
#include "shape/XmlObject.h"

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

// The stored properties of an object, as a component stream holds them.
std::string StoredProperties(gl3d::TPersistent& object) {
  gl3d::TMemoryStream s;
  gl3d::TWriter w(s);
  w.WriteDefinedProperties(object);
  return s.DataString();
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

  gl3d::TGLColor color(nullptr);
  color.SetColor(gl3d::TVector4f{0.25f, 0.5f, 1, 0.75f});
  Put("component_stream", "color.bin", Choice(0, StoredProperties(color)));
  Put("component_stream", "points.bin", Choice(1, StoredProperties(points)));
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

// ---- the image codecs' metadata and the formats without an outside writer

std::string Stored(rv::TMemoryStream& s) { return Str(s.Data()); }

// The Nikon type-3 maker note: signature, its own big-endian TIFF header, three entries.
std::string NikonNote() {
  std::string n("Nikon\0\x02\x10\0\0MM\0\x2A\0\0\0\x08", 18);
  n += std::string("\0\x03", 2);
  n += std::string("\0\x01\0\x07\0\0\0\x04" "0210", 12);
  n += std::string("\0\x02\0\x03\0\0\0\x02\0\0\0\xC8", 12);
  n += std::string("\0\x04\0\x02\0\0\0\x08\0\0\0\x32", 12);
  n += std::string("\0\0\0\0NORMAL\0\0", 12);
  return n;
}

// A plain little-endian IFD (a maker without a signature) whose text lies after it, its offset
// counted from position 0 of the enclosing structure, where the note sits at `at`.
std::string PlainNote(uint32_t at) {
  std::string n("\x01\0\x10\0\x02\0\x06\0\0\0", 10);
  const uint32_t text = at + 18;
  n.append(reinterpret_cast<const char*>(&text), 4);
  n += std::string("\0\0\0\0HELLO\0", 10);
  return n;
}

void FillEXIF(rv::TIOParamsVals& p) {
  p.EXIF_HasEXIFData = true;
  p.EXIF_Make = "ZephorCam";
  p.EXIF_Model = "Model 7";
  p.SetEXIF_Orientation(6);
  p.SetEXIF_XResolution(72);
  p.SetEXIF_YResolution(72);
  p.EXIF_DateTime = "2024:05:06 07:08:09";
  p.SetEXIF_ExposureTime(0.004);
  p.SetEXIF_FNumber(2.8);
  p.EXIF_ISOSpeedRatings[0] = 200;
  p.EXIF_ExifVersion = "0230";
  p.EXIF_UserCommentCode = std::string("ASCII\0\0\0", 8);
  p.EXIF_UserComment = u"note";
  p.EXIF_XPTitle = u"Title";
  p.EXIF_GPSVersionID = "2.2.0.0";
  p.EXIF_GPSLatitudeRef = "N";
  const std::string note = NikonNote();
  rv::TRVMemStream ns(note.data(), static_cast<int64_t>(note.size()));
  p.EXIF_MakerNote.ReadMakerNote(ns, static_cast<int32_t>(note.size()), true);
}

std::unique_ptr<rv::TRVBitmap> Picture(int32_t w, int32_t h, rv::TRVPixelFormat format = rv::rv24RGB) {
  auto b = std::make_unique<rv::TRVBitmap>(w, h, format);
  if (format == rv::rv24RGB) Pattern(*b);
  return b;
}

void Metadata() {
  rv::TIOParamsVals withExif;
  FillEXIF(withExif);
  withExif.EXIF_Thumbnail = Picture(8, 6);
  const std::vector<uint8_t> block = rv::BuildEXIFBlock(withExif, true);
  Put("exif", "full.exif", Str(block));
  rv::TIOParamsVals plain;
  plain.EXIF_HasEXIFData = true;
  plain.EXIF_Model = "M";
  Put("exif", "small.exif", Str(rv::BuildEXIFBlock(plain, true)));

  Put("maker_note", "nikon.bin", Choice(0, NikonNote()));
  Put("maker_note", "plain.bin", Choice((20 << 1) | 1, std::string(20, '\0') + PlainNote(20)));
  Put("maker_note", "fuji.bin",
      Choice(1, std::string("FUJIFILM\x0C\0\0\0\x01\0\x00\x10\x02\0\x04\0\0\0ABC\0\0\0\0\0", 30)));

  rv::TRVImagingAnnot annot;
  rv::TRVImagingObject& line = annot.AddObject();
  line.SetMarkType(3);
  line.Points = {{1, 2}, {30, 40}, {5, 60}};
  rv::TRVImagingObject& text = annot.AddObject();
  text.SetMarkType(7);
  text.SetFontHeight(12);
  text.Text = "a note";
  text.HasText = true;
  Put("wang", "marks.bin", Str(annot.SaveToWangData()));

  // TIFF pages that carry all of it: EXIF with a thumbnail, a maker note, annotations.
  auto tiff = [](rv::TRVBitmap& bitmap, rv::TIOParamsVals& params) {
    rv::TMemoryStream s;
    rv::TRVProgressRec progress;
    rv::WriteTIFFStream(s, false, &bitmap, nullptr, progress, params);
    return Str(s.Data());
  };
  const auto rgb = Picture(12, 8);
  withExif.TIFF_Compression = 5;
  withExif.GetImagingAnnot().Assign(annot);
  const std::string exifTiff = tiff(*rgb, withExif);
  Put("tiff", "exif-lzw.tif", exifTiff);
  Put("tiff_handler", "exif-lzw.tif", exifTiff);
  const auto bw = Picture(40, 30, rv::rv1g);
  for (uint8_t c : {1, 3, 4}) {  // modified Huffman, Group 3 two-dimensional, Group 4
    rv::TIOParamsVals p;
    p.TIFF_Compression = c;
    p.SamplesPerPixel = 1;
    p.BitsPerSample = 1;
    Put("tiff", "fax" + std::to_string(c) + ".tif", tiff(*bw, p));
  }
  rv::TIOParamsVals packbits;
  packbits.TIFF_Compression = 9;
  Put("tiff_handler", "packbits.tif", tiff(*rgb, packbits));

  rv::TMemoryStream hdp;
  rv::TRVProgressRec progress;
  rv::TIOParamsVals hdpParams;
  rv::WriteHDPStream(hdp, *rgb, hdpParams, progress);
  Put("hdp", "rgb.wdp", Stored(hdp));
  hdpParams.HDP_Lossless = true;
  rv::TMemoryStream hdpLossless;
  const auto grey = Picture(9, 7, rv::rv8g);
  rv::WriteHDPStream(hdpLossless, *grey, hdpParams, progress);
  Put("hdp", "grey-lossless.wdp", Stored(hdpLossless));

  rv::test::TSyntheticDNG dng;
  dng.width = 16;
  dng.height = 12;
  Put("camera_raw", "synthetic.dng", Str(rv::test::MakeSyntheticDNG(dng)));
}

void Dicom() {
  using B = rv::test::DicomBuilder;
  std::vector<uint8_t> grey(6 * 4), rgb(5 * 3 * 3);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(i * 10);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 5);
  std::vector<uint8_t> grey16;
  for (int i = 0; i < 12; ++i) B::Put16(grey16, static_cast<uint16_t>(i * 300), false);
  Put("dicom", "grey8.dcm",
      Choice(0, Str(B("1.2.840.10008.1.2.1", B::ExplicitLE).Image(4, 6, 1, 8, 8, "MONOCHROME2").NativePixels(grey).Bytes())));
  Put("dicom", "grey12-implicit.dcm",
      Choice(0, Str(B("1.2.840.10008.1.2", B::ImplicitLE).Image(3, 4, 1, 16, 12, "MONOCHROME1").NativePixels(grey16).Bytes())));
  Put("dicom", "rgb-big-endian.dcm",
      Choice(0, Str(B("1.2.840.10008.1.2.2", B::ExplicitBE).Image(3, 5, 3, 8, 8, "RGB").NativePixels(rgb).Bytes())));
  Put("dicom", "params.dcm",
      Choice(1, Str(B("1.2.840.10008.1.2.1", B::ExplicitLE, false)
                        .Text(0x0010, 0x0010, "PN", "Doe^John")
                        .Image(4, 6, 1, 8, 8, "MONOCHROME2")
                        .NativePixels(grey)
                        .Bytes())));
  std::vector<int> samples;
  for (int i = 0; i < 7 * 5; ++i) samples.push_back((i * 97) % 4096);
  const std::vector<uint8_t> lossless = rv::test::LosslessJpeg(7, 5, 12, 0, samples);
  Put("dicom", "lossless.dcm",
      Choice(0, Str(B("1.2.840.10008.1.2.4.70", B::ExplicitLE)
                        .Image(5, 7, 1, 16, 12, "MONOCHROME2")
                        .EncapsulatedPixels({lossless}, false)
                        .Bytes())));
  // The decoders' own choices carry a second choice byte the target skips.
  Put("dicom", "lossless16.ljpg", Choice(2, std::string(1, '\0') + Str(lossless)));
  Put("dicom", "lossless8-restart.ljpg",
      Choice(3, std::string(1, '\0') + Str(rv::test::LosslessJpeg(7, 5, 8, 4, std::vector<int>(35, 100)))));
  std::vector<uint8_t> packed;
  rv::PackBitsEncodeRow(grey.data(), static_cast<int32_t>(grey.size()), packed);
  const std::vector<uint8_t> run(40, 9);
  rv::PackBitsEncodeRow(run.data(), static_cast<int32_t>(run.size()), packed);
  Put("dicom", "packbits.bin", Choice(4, std::string(1, '\0') + Str(packed)));
}

// ---- the 3D library's pictures and files

template <class Graphic>
std::string SavedGraphic(const Graphic& g) {
  gl3d::TMemoryStream s;
  g.SaveToStream(s);
  return s.DataString();
}

gl3d::TBitmap SceneBitmap(int32_t w, int32_t h, gl3d::TPixelFormat format) {
  gl3d::TBitmap b;
  b.SetPixelFormat(format);
  b.SetSize(w, h);
  const int32_t bytes = format == gl3d::pf32bit ? 4 : 3;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w * bytes; ++x) b.ScanLine(y)[x] = static_cast<uint8_t>(x * 31 + y * 17);
  return b;
}

std::string FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void Scene(const std::string& tmp) {
  const gl3d::TBitmap b24 = SceneBitmap(5, 3, gl3d::pf24bit), b32 = SceneBitmap(3, 4, gl3d::pf32bit);
  Put("picture", "rgb24.bmp", Choice(0, SavedGraphic(b24)));
  Put("picture", "rgba32.bmp", Choice(0, SavedGraphic(b32)));

  gl3d::TGLBlankImage blank(nullptr);
  blank.SetWidth(64);
  blank.SetHeight(32);
  blank.SetDepth(2);
  blank.SaveToFile(tmp + "/blank");
  Put("texture_image", "blank.txt", Choice(0, FileBytes(tmp + "/blank")));
  gl3d::TGLCubeMapImage cube(nullptr);
  for (int face = 0; face < 6; ++face)
    cube.Pictures(static_cast<gl3d::TGLCubeMapTarget>(face))->SetGraphic(face == 5 ? &b32 : &b24);
  cube.SaveToFile(tmp + "/cube");
  Put("texture_image", "cube.cbm", Choice(1, FileBytes(tmp + "/cube")));

  gl3d::TGLMaterialLibrary library(nullptr);
  gl3d::TGLLibMaterial* m = library.Materials()->Add();
  m->SetName("Plain");
  m->Material()->FrontProperties()->SetShininess(64);
  library.AddTextureMaterial("Pictured", &b24);
  gl3d::TMemoryStream archive;
  library.SaveToStream(archive);
  Put("material_library", "two.bin", archive.DataString());
  gl3d::TGLMaterialLibrary empty(nullptr);
  gl3d::TMemoryStream emptyArchive;
  empty.SaveToStream(emptyArchive);
  Put("material_library", "empty.bin", emptyArchive.DataString());

  gl3d::TGLBaseSceneObject object(nullptr);
  (new gl3d::TGLBehaviour(object.Behaviours()))->SetName("spin");
  (new gl3d::TGLObjectEffect(object.Effects()))->SetName("glow");
  Put("scene_properties", "collections.bin", Choice(0, StoredProperties(object)));
  object.Position()->SetPoint(1, 2, 3);
  Put("scene_properties", "coordinates.bin", Choice(1, StoredProperties(*object.Position())));
}

// ---- the shape's files and clipboard block

void Shapes(const std::string& tmp) {
  zephor_fuzz::StartImageLibrary();
  shape::CreateTextureBitmaps();  // the OBJ writer stores the base texture beside the file
  shape::TCS& cs = zephor_fuzz::FreshShape(shape::SCTYPE_SPHERE, 9, 9);
  for (bool triangles : {false, true}) {
    std::string name = tmp + (triangles ? "/tri.obj" : "/quad.obj");
    shape::WriteObjFile(cs, name, triangles);
    Put("obj", triangles ? "sphere-triangles.obj" : "sphere-quads.obj", Choice(4, FileBytes(name)));
  }
  shape::TCS& plane = zephor_fuzz::FreshShape(shape::SCTYPE_PLANE, 5, 4);
  plane.RP[1][1] = true;
  plane.GP[2][2] = 3;
  std::string xml = tmp + "/plane.xml";
  shape::WriteXmlObject(plane, xml);
  Put("xml_object", "plane.xml", Choice(0, FileBytes(xml)));
  Put("xml_object", "plane-reset.xml", Choice(1, FileBytes(xml)));

  shape::TBitmapClip block;
  block.Width = 3;
  block.Height = 2;
  block.Points = {{0.1, 0.2, 0.3}, {shape::kClipHoleX, 0, 0}, {0.5, -0.5, 0}, {0, 0, 0}, {1, 1, 1}, {-1, -1, -1}};
  Put("point_block", "block.bin", Choice(10 << 2, Str(shape::EncodePointBlock(block))));
  Put("point_block", "torus.bin", Choice((32 << 2) | 1, Str(shape::EncodePointBlock(block))));
  shape::FreeTextureBitmaps();
}

// The text editor's clipboard block: a memo of two lines in two fonts, one character, an empty
// text, and a foreign block.
void TextMemo() {
  auto record = [](int seed, const char* name) {
    rv::TRVCharFormat f{};
    f.RefCount = seed;
    rv::SetCharFormatFontName(f, name);
    f.FontHeight = -12 - seed;
    f.FontStyle = static_cast<uint8_t>(seed & 15);
    f.FontColor = 0x112233;
    f.BackColor = 0xFFFFFF;
    f.BackStyle = static_cast<uint8_t>(seed % 8);
    f.Alignment = static_cast<uint8_t>(seed % 4);
    return f;
  };
  const std::vector<rv::TRVCharFormat> three = {record(1, "Arial"), record(2, "Arial"), record(3, "Times New Roman")};
  Put("text_memo", "two_lines", Str(rv::BuildTextMemoBlock("a\nb", three)));
  Put("text_memo", "one", Str(rv::BuildTextMemoBlock("z", std::vector{record(5, "Arial")})));
  Put("text_memo", "empty", std::string(1, '\0'));
  Put("text_memo", "foreign", std::string("hello\0world", 11));
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

// AVI files of uncompressed frames, a wide one with an odd row length, and one cut in a frame.
void AviSeeds() {
  std::filesystem::create_directories(root + "/avi");
  rv::iotest::AviSpec plain;
  Put("avi", "three.avi", Str(rv::iotest::MakeAvi(plain)));
  rv::iotest::AviSpec wide;
  wide.width = 13;
  wide.height = 2;
  wide.frames = 2;
  wide.rate = 30000;
  wide.scale = 1001;
  Put("avi", "wide.avi", Str(rv::iotest::MakeAvi(wide)));
  const std::string whole = Str(rv::iotest::MakeAvi(plain));
  Put("avi", "cut.avi", whole.substr(0, size_t(rv::iotest::AviFrameChunkOffset(plain, 2) + 20)));
}


// Metafiles written by the player's test writer: EMF and WMF files of most record kinds.
void MetafileSeeds() {
  std::filesystem::create_directories(root + "/metafile");
  Put("metafile", "figures.emf", Str(rv::metatest::SampleEmf()));
  Put("metafile", "mapped.emf", Str(rv::metatest::SampleEmfMapped()));
  Put("metafile", "figures.wmf", Str(rv::metatest::SampleWmf()));
  Put("metafile", "regions.wmf", Str(rv::metatest::SampleWmfRegions()));
}

// Vector object streams: every kind in the current version (a slot image, user data, an
// extended object of the class the fuzz target registers), nested groups, the older layouts
// (an integer scale, BMP slots, separate alpha planes, no handles), and "Layers and objects".
class TFuzzObject : public rv::TRVExtendedObject {
 public:
  void SaveToStream(rv::TStream& Stream) override {
    const int32_t n = 3;
    Stream.WriteBuffer(&n, 4);
    Stream.WriteBuffer("abc", 3);
  }
};

// An object stream is also an object file: the objects_file target loads it without a layer.
void PutObjects(const std::string& name, const std::string& bytes) {
  Put("vect_stream", name, bytes);
  Put("objects_file", name, bytes);
}

void VectStreams() {
  using namespace rv::vectbytes;
  rv::CreateExtendedObjectRegistry();
  rv::RegisterExtendedObjectClass("TFuzzObject", [] { return new TFuzzObject(); });
  rv::TRVBitmap slot(3, 2, rv::rv24RGB);
  Pattern(slot);
  std::vector<rv::TRVVObjRecord> records;
  for (int k = rv::rvkNONE; k <= rv::rvkEXTENDED; ++k) {
    rv::TRVVObjRecord& o = records.emplace_back();
    SetEveryField(o, rv::TRVVObjectKind(k));
    rv::KeepDataOfKind(o);
    if (k == rv::rvkBITMAP) o.BitmapIdx = 0;
  }
  TFuzzObject ext;
  records.back().ExtendedObject = &ext;
  records[1].UserData = const_cast<char*>("user");
  records[1].UserDataLen = 4;
  std::vector<rv::TRVVEntryToWrite> entries;
  for (size_t i = 0; i < records.size(); ++i) entries.push_back({int32_t(i), &records[i]});
  rv::TMemoryStream every;
  rv::WriteObjectStream(every, 1.5, {{&slot, 1}, {nullptr, 0}}, entries);
  PutObjects("every_kind.rvv", Str(every.Data()));
  rv::TMemoryStream one;
  rv::WriteObjectEntry(one, records[rv::rvkMEMO], 3);
  Put("vect_stream", "memo_entry", Str(one.Data()));
  // Two boxes in a group inside a group.
  const TBytes box = Entry(rv::rvkBOX, [](TBytes& e) { Common(e), e.u8(1); });
  const TBytes inner = Entry(rv::rvkNONE, [&](TBytes& e) { Common(e), e.i32(2).add(box).add(box); });
  const TBytes outer = Entry(rv::rvkNONE, [&](TBytes& e) { Common(e), e.i32(1).add(inner); });
  PutObjects("groups.rvv", Str(OldStream(rv::kRVVVersion, outer.b, 1)));
  // Version '1': a text and a ruler; ';': a memo with formats; '5': a ruler with its unit.
  TBytes v1 = OldCommon(rv::rvkTEXT);
  v1.str("hi").u8(0).add(OldCommon(rv::rvkRULER));
  PutObjects("v1.rvv", Str(OldStream('1', v1.b, 2)));
  TBytes memo = OldCommon(rv::rvkMEMO);
  memo.str("ab").u8(0).i32(0).i32(1).i32(2).zeros(2 * sizeof(rv::TRVCharFormat));
  memo.u8(1).u8(0).i32(0).i32(0).u8(0).u8(0).i32(0);
  PutObjects("v_semicolon_memo.rvv", Str(OldStream(';', memo.b, 1)));
  TBytes ruler = OldCommon(rv::rvkRULER);
  ruler.u8(rv::rvuMETERS).u8(1);
  PutObjects("v5_ruler.rvv", Str(OldStream('5', ruler.b, 1)));
  // Version '2' with a BMP slot and version '7' with a PNG slot and its alpha plane.
  auto withSlot = [&](char version, bool png) {
    rv::TMemoryStream m;
    m.WriteBuffer("RVV", 3);
    m.WriteBuffer(&version, 1);
    const int32_t zero = 0, one = 1;
    const double scale = 2;
    m.WriteBuffer(&zero, 4);
    m.WriteBuffer(&scale, 8);
    m.WriteBuffer(&one, 4);
    m.WriteBuffer(&one, 4);
    rv::TRastovaIO io;
    io.SetAttachedRVBitmap(&slot);
    png ? io.SaveToStreamPNG(m) : io.SaveToStreamBMP(m);
    io.SetAttachedRVBitmap(nullptr);
    if (png) {
      const std::string alpha = Zip(std::string(size_t(slot.AlphaBitmap()->GetRowLen()) * 2, '\x80'));
      const int32_t len = int32_t(alpha.size());
      m.WriteBuffer(&len, 4);
      m.WriteBuffer(alpha.data(), len);
    }
    TBytes bitmap = OldCommon(rv::rvkBITMAP);
    bitmap.i32(0);
    std::string block = Zip(std::string("\x01\0\0\0", 4) + Str(bitmap.b));
    m.WriteBuffer(block.data(), int64_t(block.size()));
    auto out = m.Data();
    const int32_t total = int32_t(out.size());
    std::memcpy(out.data() + 4, &total, 4);
    return Str(out);
  };
  PutObjects("v2_bmp_slot.rvv", withSlot('2', false));
  PutObjects("v7_alpha_slot.rvv", withSlot('7', true));
  // "Layers and objects": the object stream's position, one layer, the object stream.
  rv::TMemoryStream all;
  const int32_t placeholder = 0;
  all.WriteBuffer(&placeholder, 4);
  rv::TRVLayerProps props;
  rv::WriteLayerStream(all, rv::kLayerImageZlib, {{&props, &slot}});
  const int32_t at = int32_t(all.GetPosition());
  rv::WriteObjectStream(all, 1.0, {}, {{0, &records[rv::rvkLINE]}});
  all.SetPosition(0);
  all.WriteBuffer(&at, 4);
  Put("vect_stream", "layers_and_objects.all", Str(all.Data()));
  // The layer stream on its own: two layers.
  rv::TMemoryStream layers;
  rv::WriteLayerStream(layers, rv::kLayerImageZlib, {{&props, &slot}, {&props, &slot}});
  Put("layer_stream", "two_layers.lyr", Str(layers.Data()));
  Put("layers_file", "two_layers.lyr", Str(layers.Data()));
  rv::FreeExtendedObjectRegistry();
}

// Layers files, merged by the layers_file target: layers placed left of and above the picture,
// shown larger and smaller than their images, blended, masked, magnified (of the bottom layer
// and of the composed picture, as a rectangle and an ellipse) and clipped to the picture, with
// images stored raw, deflated and as PNG files.
void LayersFiles() {
  rv::TRVBitmap base(6, 5, rv::rv24RGB), top(3, 2, rv::rv24RGB), mask(3, 2, rv::rv8g),
      lens(2, 2, rv::rv24RGB);
  Pattern(base);
  Pattern(top);
  Pattern(lens);
  mask.Fill(0x80);
  top.AlphaBitmap()->Fill(0xC0);
  rv::TRVLayerProps p0, moved, masked, maskOf, magnifier, ellipse, clipped;
  moved.PosX = -2;
  moved.PosY = 1;
  moved.DisplayWidth = 6;
  moved.DisplayHeight = 3;
  moved.Opacity = 128;
  moved.Operation = rv::rvlMul;
  masked.PosX = 1;
  masked.DisplayWidth = 2;
  maskOf.IsMask = true;
  maskOf.Visible = false;
  maskOf.PosX = 2;
  magnifier.MagnifierEnabled = true;
  magnifier.MagnifierSource = 0;
  magnifier.PosX = 2;
  magnifier.PosY = 2;
  ellipse.MagnifierEnabled = true;
  ellipse.MagnifierShape = 1;
  ellipse.MagnifierRate = 3;
  ellipse.DisplayWidth = 4;
  ellipse.DisplayHeight = 4;
  clipped.ClipToImage = true;
  clipped.PosX = 5;
  clipped.PosY = -1;
  const std::vector<rv::TRVLayerToWrite> layers = {{&p0, &base},     {&moved, &top},      {&masked, &top},
                                                   {&maskOf, &mask}, {&magnifier, &lens}, {&ellipse, &lens},
                                                   {&clipped, &top}};
  const struct {
    const char* name;
    int32_t format;
  } formats[] = {
      {"every_kind.lyr", rv::kLayerImageZlib}, {"raw.lyr", rv::kLayerImageRaw}, {"png.lyr", rv::ioPNG}};
  for (const auto& f : formats) {
    rv::TMemoryStream s;
    rv::WriteLayerStream(s, f.format, layers);
    Put("layers_file", f.name, Str(s.Data()));
  }
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
  zephor_fuzz::StartImageLibrary();
  Images();
  ZlibData();
  Archives();
  Meshes();
  AviSeeds();
  MetafileSeeds();
  TextMemo();
  VectStreams();
  LayersFiles();
  Metadata();
  Dicom();
  const std::filesystem::path tmp = std::filesystem::temp_directory_path() / ("zephor-seeds-" + std::to_string(getpid()));
  std::filesystem::create_directories(tmp);
  Scene(tmp.string());
  Shapes(tmp.string());
  std::filesystem::remove_all(tmp);
  return 0;
}

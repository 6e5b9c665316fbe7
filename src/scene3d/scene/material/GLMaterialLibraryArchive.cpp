// The material library's archive (the layout is in GLMaterialLibrary.h). Every value read is
// checked: enumerations against their ranges, counts and sizes against what the data can hold,
// and the embedded pictures before they are decoded; a damaged archive leaves the library as it
// was.
#include <cstdlib>
#include <cstring>

#include "common/CodePage.h"
#include "scene3d/base/ApplicationFileIO.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/texture/GLTextureImage.h"
#include "scene3d/scene/texture/GLUtils.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

namespace gl3d {

namespace {

constexpr int32_t kArchiveVersion = 4;
// The options entry holds a set of up to 32 options; one byte is all this library has.
constexpr int32_t kMaxOptionBytes = 4;
constexpr TMaterialOptions kKnownOptions = MaterialOptionBit(moIgnoreFog) | MaterialOptionBit(moNoLighting);
// An embedded picture decodes to at most this many pixels per byte of its file (a 1-bit picture
// packs 8); more would let a short string ask for a huge allocation.
constexpr int64_t kMaxPixelsPerByte = 8;

[[noreturn]] void Damaged() { throw EReadError("Stream read error"); }

template <class E>
E ReadEnum(TVirtualReader& reader, int last) {
  const int32_t value = reader.ReadInteger();
  if (value < 0 || value > last) Damaged();
  return static_cast<E>(value);
}

float ReadSingleFloat(TVirtualReader& reader) { return static_cast<float>(reader.ReadFloat()); }

TVector4f ReadVector(TVirtualReader& reader, int components, TVector4f into) {
  float v[4];
  reader.Read(v, components * 4);
  std::memcpy(&into, v, static_cast<size_t>(components) * 4);
  return into;
}

void ReadColor(TVirtualReader& reader, TGLColor& color, int components) {
  color.SetColorNoNotify(ReadVector(reader, components, color.Color()));
}

void WriteColor(TVirtualWriter& writer, const TGLColor& color, int components) {
  writer.Write(color.ColorAddress(), components * 4);
}

// ---- Embedded pictures ----

// The texture's picture when the texture is enabled and keeps one with the scene.
const TGraphic* StoredGraphic(TGLTexture& texture) {
  if (texture.Disabled()) return nullptr;
  auto* image = dynamic_cast<TGLPersistentImage*>(texture.Image());
  return image ? image->Picture()->Graphic() : nullptr;
}

// The picture as a BMP file, one character per byte.
void WritePicture(TVirtualWriter& writer, const TGraphic& graphic) {
  TBitmap bitmap;
  bitmap.Assign(&graphic);
  TMemoryStream file;
  bitmap.SaveToStream(file);
  writer.WriteString(common::Cp1252ToUtf8(file.DataString()));
}

int32_t LittleEndian32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return static_cast<int32_t>(v);
}

// The BMP file's dimensions must fit the bytes that carry them.
void CheckPictureSize(const std::string& bytes) {
  constexpr size_t kFileHeader = 14;
  if (bytes.size() < kFileHeader + 12 || bytes[0] != 'B' || bytes[1] != 'M') Damaged();
  const int32_t infoSize = LittleEndian32(bytes, kFileHeader);
  int64_t width, height;
  if (infoSize == 12) {
    uint16_t w, h;
    std::memcpy(&w, bytes.data() + kFileHeader + 4, 2);
    std::memcpy(&h, bytes.data() + kFileHeader + 6, 2);
    width = w;
    height = h;
  } else {
    width = std::llabs(static_cast<long long>(LittleEndian32(bytes, kFileHeader + 4)));
    height = std::llabs(static_cast<long long>(LittleEndian32(bytes, kFileHeader + 8)));
  }
  if (width * height > kMaxPixelsPerByte * static_cast<int64_t>(bytes.size())) Damaged();
}

std::unique_ptr<TBitmap> ReadPicture(TVirtualReader& reader) {
  std::string bytes;
  for (char32_t cp : common::Utf8ToUtf32(reader.ReadString())) {
    const int byte = common::CodePointToCp1252(cp);
    if (byte < 0) Damaged();
    bytes += static_cast<char>(byte);
  }
  CheckPictureSize(bytes);
  auto bitmap = std::make_unique<TBitmap>();
  TMemoryStream file(std::move(bytes));
  try {
    bitmap->LoadFromStream(file);
  } catch (const EReadError&) {
    throw;
  } catch (const common::Exception&) {
    Damaged();
  }
  return bitmap;
}

// ---- Texture parameters ----

void WriteTextureParameters(TVirtualWriter& writer, TGLTexture& t) {
  WriteColor(writer, t.BorderColor(), 4);
  writer.WriteInteger(t.Compression());
  writer.WriteInteger(t.DepthTextureMode());
  WriteColor(writer, t.EnvColor(), 4);
  writer.WriteInteger(t.FilteringQuality());
  writer.WriteInteger(t.ImageAlpha());
  writer.WriteFloat(t.ImageBrightness());
  writer.WriteFloat(t.ImageGamma());
  writer.WriteInteger(t.MagFilter());
  writer.WriteInteger(t.MappingMode());
  for (TGLCoordinates4* plane :
       {t.MappingSCoordinates(), t.MappingTCoordinates(), t.MappingRCoordinates(), t.MappingQCoordinates()})
    writer.Write(&plane->AsVector(), 16);
  writer.WriteInteger(t.MinFilter());
  writer.WriteFloat(t.NormalMapScale());
  writer.WriteInteger(t.TextureCompareFunc());
  writer.WriteInteger(t.TextureCompareMode());
  writer.WriteInteger(t.TextureFormat());
  writer.WriteInteger(t.TextureMode());
  writer.WriteInteger(t.TextureWrap());
  writer.WriteInteger(t.TextureWrapR());
  writer.WriteInteger(t.TextureWrapS());
  writer.WriteInteger(t.TextureWrapT());
}

void ReadTextureParameters(TVirtualReader& reader, TGLTexture& t) {
  const TGLColor border(nullptr, ReadVector(reader, 4, {0, 0, 0, 0}));
  t.SetBorderColor(&border);
  t.SetCompression(ReadEnum<TGLInternalCompression>(reader, tcHighSpeed));
  t.SetDepthTextureMode(ReadEnum<TGLDepthTextureMode>(reader, dtmAlpha));
  const TGLColor env(nullptr, ReadVector(reader, 4, {0, 0, 0, 0}));
  t.SetEnvColor(&env);
  t.SetFilteringQuality(ReadEnum<TGLTextureFilteringQuality>(reader, tfAnisotropic));
  t.SetImageAlpha(ReadEnum<TGLTextureImageAlpha>(reader, tiaBottomRightPointColorTransparent));
  t.SetImageBrightness(ReadSingleFloat(reader));
  t.SetImageGamma(ReadSingleFloat(reader));
  t.SetMagFilter(ReadEnum<TGLMagFilter>(reader, maLinear));
  t.SetMappingMode(ReadEnum<TGLTextureMappingMode>(reader, tmmCubeMapCamera));
  using TPlaneSetter = void (TGLTexture::*)(const TGLCoordinates4*);
  for (TPlaneSetter set : {&TGLTexture::SetMappingSCoordinates, &TGLTexture::SetMappingTCoordinates,
                           &TGLTexture::SetMappingRCoordinates, &TGLTexture::SetMappingQCoordinates}) {
    const TGLCoordinates4 plane(nullptr, ReadVector(reader, 4, {0, 0, 0, 0}), ckVector);
    (t.*set)(&plane);
  }
  t.SetMinFilter(ReadEnum<TGLMinFilter>(reader, miLinearMipmapLinear));
  t.SetNormalMapScale(ReadSingleFloat(reader));
  t.SetTextureCompareFunc(ReadEnum<TComparisonFunction>(reader, cfGEqual));
  t.SetTextureCompareMode(ReadEnum<TGLTextureCompareMode>(reader, tcmCompareRtoTexture));
  t.SetTextureFormat(ReadEnum<TGLTextureFormat>(reader, tfExtended));
  t.SetTextureMode(ReadEnum<TGLTextureMode>(reader, tmAdd));
  t.SetTextureWrap(ReadEnum<TGLTextureWrap>(reader, twSeparate));
  t.SetTextureWrapR(ReadEnum<TGLSeparateTextureWrap>(reader, twMirrorClampToBorder));
  t.SetTextureWrapS(ReadEnum<TGLSeparateTextureWrap>(reader, twMirrorClampToBorder));
  t.SetTextureWrapT(ReadEnum<TGLSeparateTextureWrap>(reader, twMirrorClampToBorder));
}

// ---- Faces ----

void WriteFace(TVirtualWriter& writer, const TGLFaceProperties& face) {
  WriteColor(writer, *face.Ambient(), 3);
  WriteColor(writer, *face.Diffuse(), 4);
  WriteColor(writer, *face.Emission(), 3);
  WriteColor(writer, *face.Specular(), 3);
}

void ReadFace(TVirtualReader& reader, TGLFaceProperties& face) {
  ReadColor(reader, *face.Ambient(), 3);
  ReadColor(reader, *face.Diffuse(), 4);
  ReadColor(reader, *face.Emission(), 3);
  ReadColor(reader, *face.Specular(), 3);
}

void WriteShininess(TVirtualWriter& writer, const TGLFaceProperties& face) {
  const uint8_t shininess = face.Shininess();
  writer.Write(&shininess, 1);
}

void ReadShininess(TVirtualReader& reader, TGLFaceProperties& face) {
  uint8_t shininess = 0;
  reader.Read(&shininess, 1);
  if (shininess > MaxShininess) Damaged();
  face.SetShininessNoNotify(shininess);
}

// ---- Extra textures ----

void WriteTextureEx(TVirtualWriter& writer, TGLMaterial& material) {
  const int32_t count = material.HasTextureEx() ? material.TextureEx()->Count() : 0;
  writer.WriteInteger(count);
  for (int32_t i = 0; i < count; ++i) {
    TGLTextureExItem* item = material.TextureEx()->Items(i);
    const TGraphic* graphic = StoredGraphic(*item->Texture());
    writer.WriteBoolean(graphic != nullptr);
    if (graphic) WritePicture(writer, *graphic);
    writer.WriteInteger(item->TextureIndex());
    writer.Write(&item->TextureOffset()->AsVector(), 12);
    writer.Write(&item->TextureScale()->AsVector(), 12);
  }
}

void ReadTextureEx(TVirtualReader& reader, TGLMaterial& material) {
  const int32_t count = reader.ReadInteger();
  if (count < 0) Damaged();
  for (int32_t i = 0; i < count; ++i) {
    TGLTextureExItem* item = material.TextureEx()->Add();
    if (reader.ReadBoolean()) {
      const std::unique_ptr<TBitmap> picture = ReadPicture(reader);
      item->Texture()->Image()->Assign(picture.get());
      item->Texture()->SetDisabled(false);
    }
    item->SetTextureIndex(reader.ReadInteger());
    item->TextureOffset()->AssignVectorQuietly(ReadVector(reader, 3, item->TextureOffset()->AsVector()));
    item->TextureScale()->AssignVectorQuietly(ReadVector(reader, 3, item->TextureScale()->AsVector()));
  }
}

}  // namespace

// ---- Archive ----

void TGLMaterialLibrary::WriteArchive(TVirtualWriter& writer) const {
  writer.WriteInteger(kArchiveVersion);
  TGLLibMaterials& materials = *Materials();
  writer.WriteInteger(materials.Count());
  for (int i = 0; i < materials.Count(); ++i) {
    TGLLibMaterial& libMaterial = *materials.Items(i);
    TGLMaterial& material = *libMaterial.Material();
    writer.WriteString(libMaterial.Name());
    const TGraphic* graphic = material.HasTexture() ? StoredGraphic(*material.Texture()) : nullptr;
    writer.WriteBoolean(graphic != nullptr);
    if (graphic) {
      WritePicture(writer, *graphic);
      WriteTextureParameters(writer, *material.Texture());
    }
    WriteFace(writer, *material.FrontProperties());
    WriteShininess(writer, *material.FrontProperties());
    writer.WriteInteger(material.PolygonMode());
    WriteFace(writer, *material.BackProperties());
    WriteShininess(writer, *material.BackProperties());
    writer.WriteInteger(material.PolygonMode());
    writer.WriteInteger(material.BlendingMode());

    const bool custom = material.BlendingMode() == bmCustom;
    writer.WriteBoolean(custom);
    if (custom) {
      const TGLBlendingParameters& p = *material.BlendingParams();
      writer.WriteFloat(p.AlphaFuncRef());
      writer.WriteInteger(p.AlphaFunctType());
      writer.WriteInteger(p.BlendFuncDFactor());
      writer.WriteInteger(p.BlendFuncSFactor());
      writer.WriteBoolean(p.UseAlphaFunc());
      writer.WriteBoolean(p.UseBlendFunc());
    }
    writer.WriteInteger(material.FaceCulling());

    const uint8_t options = material.MaterialOptions();
    writer.WriteInteger(1);
    writer.Write(&options, 1);
    writer.Write(&libMaterial.TextureOffset()->AsVector(), 12);
    writer.Write(&libMaterial.TextureScale()->AsVector(), 12);
    writer.WriteString(libMaterial.Texture2Name());
    writer.WriteFloat(libMaterial.TextureRotate());
    WriteTextureEx(writer, material);
  }
}

// The version's fields after the front colours. Colours, shininess, options, offset and scale are
// set quietly; the rest through their writers.
void TGLMaterialLibrary::ReadMaterialBody(TVirtualReader& reader, int32_t version,
                                          TGLLibMaterial& libMaterial) {
  TGLMaterial& material = *libMaterial.Material();
  ReadShininess(reader, *material.FrontProperties());
  material.SetPolygonMode(ReadEnum<TPolygonMode>(reader, pmPoints));
  ReadFace(reader, *material.BackProperties());
  ReadShininess(reader, *material.BackProperties());
  ReadEnum<TPolygonMode>(reader, pmPoints);
  material.SetBlendingMode(ReadEnum<TBlendingMode>(reader, bmCustom));
  if (version >= 3) {
    if (reader.ReadBoolean()) {
      TGLBlendingParameters& p = *material.BlendingParams();
      p.SetAlphaFuncRef(ReadSingleFloat(reader));
      p.SetAlphaFunctType(ReadEnum<TComparisonFunction>(reader, cfGEqual));
      p.SetBlendFuncDFactor(ReadEnum<TBlendFunction>(reader, bfSrcAlphaSat));
      p.SetBlendFuncSFactor(ReadEnum<TBlendFunction>(reader, bfSrcAlphaSat));
      p.SetUseAlphaFunc(reader.ReadBoolean());
      p.SetUseBlendFunc(reader.ReadBoolean());
    }
    material.SetFaceCulling(ReadEnum<TFaceCulling>(reader, fcNoCull));
  }
  const int32_t optionBytes = reader.ReadInteger();
  if (optionBytes < 0 || optionBytes > kMaxOptionBytes) Damaged();
  uint8_t options[kMaxOptionBytes] = {0, 0, 0, 0};
  reader.Read(options, optionBytes);
  material.materialOptions_ = options[0] & kKnownOptions;
  TGLCoordinates3& offset = *libMaterial.TextureOffset();
  TGLCoordinates3& scale = *libMaterial.TextureScale();
  offset.AssignVectorQuietly(ReadVector(reader, 3, offset.AsVector()));
  scale.AssignVectorQuietly(ReadVector(reader, 3, scale.AsVector()));
  libMaterial.SetTexture2Name(reader.ReadString());
  if (version >= 4) libMaterial.SetTextureRotate(ReadSingleFloat(reader));
  if (version >= 2) ReadTextureEx(reader, material);
}

void TGLMaterialLibrary::ReadArchive(TVirtualReader& reader) {
  const int32_t version = reader.ReadInteger();
  if (version < 0 || version > kArchiveVersion) RaiseFilerException(ClassName(), version);
  const int32_t count = reader.ReadInteger();
  if (count < 0) Damaged();
  // The materials are read into a collection of their own, which replaces the library's only
  // once the whole archive was read.
  auto fresh = std::make_unique<TGLLibMaterials>(this);
  for (int32_t i = 0; i < count; ++i) {
    const std::string name = reader.ReadString();
    TGLLibMaterial* libMaterial;
    if (reader.ReadBoolean()) {
      const std::unique_ptr<TBitmap> picture = ReadPicture(reader);
      libMaterial = NewTextureMaterial(*fresh, name, picture.get());
      if (version >= 3) ReadTextureParameters(reader, *libMaterial->Material()->Texture());
    } else {
      libMaterial = fresh->Add();
      libMaterial->SetName(name);
    }
    TGLMaterial& material = *libMaterial->Material();
    ReadFace(reader, *material.FrontProperties());
    if (version >= 1) ReadMaterialBody(reader, version, *libMaterial);
    // The offset and scale were set quietly: the texture matrices follow from them now.
    libMaterial->Loaded();
  }
  materials_ = std::move(fresh);
}

void TGLMaterialLibrary::SaveToStream(TStream& stream) const {
  TBinaryWriter writer(stream);
  WriteArchive(writer);
}

void TGLMaterialLibrary::LoadFromStream(TStream& stream) {
  TBinaryReader reader(stream);
  ReadArchive(reader);
}

void TGLMaterialLibrary::SaveToFile(const std::string& fileName) const {
  TMemoryStream archive;
  SaveToStream(archive);
  SaveAnsiStringToFile(fileName, archive.DataString());
}

void TGLMaterialLibrary::LoadFromFile(const std::string& fileName) {
  const std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(*stream);
}

}  // namespace gl3d

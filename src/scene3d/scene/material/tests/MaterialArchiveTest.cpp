// The material library's archive: a hand-built version-4 archive byte for byte, older versions,
// a round trip with pictures and texture settings, files, and the table of damaged archives.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>

#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/material/tests/MaterialTestSupport.h"
#include "scene3d/scene/texture/GLTextureImage.h"

using namespace gl3d;

namespace {

// An archive spelled out value by value, as the tagged format stores it.
struct Archive {
  std::string bytes;
  Archive& Int(int32_t v) {
    if (v >= -128 && v <= 127) {
      bytes += '\x02';
      bytes += static_cast<char>(v);
    } else {
      bytes += '\x04';
      bytes.append(reinterpret_cast<const char*>(&v), 4);
    }
    return *this;
  }
  Archive& Bool(bool v) {
    bytes += v ? '\x09' : '\x08';
    return *this;
  }
  // ASCII text as the archive's UTF-16 string.
  Archive& Str(const std::string& ascii) {
    bytes += '\x12';
    const uint32_t n = static_cast<uint32_t>(ascii.size());
    bytes.append(reinterpret_cast<const char*>(&n), 4);
    for (char c : ascii) {
      bytes += c;
      bytes += '\0';
    }
    return *this;
  }
  // A 10-byte extended value given by its bytes.
  Archive& Ext(const char (&ten)[11]) {
    bytes += '\x05';
    bytes.append(ten, 10);
    return *this;
  }
  Archive& Raw(std::initializer_list<float> values) {
    for (float v : values) bytes.append(reinterpret_cast<const char*>(&v), 4);
    return *this;
  }
  Archive& Byte(uint8_t b) {
    bytes += static_cast<char>(b);
    return *this;
  }
  // Front or back colours: ambient RGB, diffuse RGBA, emission RGB, specular RGB.
  Archive& DefaultFace() {
    return Raw({0.2f, 0.2f, 0.2f}).Raw({0.8f, 0.8f, 0.8f, 1}).Raw({0, 0, 0}).Raw({0, 0, 0});
  }
};

const char kExt0[11] = "\0\0\0\0\0\0\0\0\0\0";
const char kExtHalf[11] = "\0\0\0\0\0\0\0\x80\xFE\x3F";
const char kExt90[11] = "\0\0\0\0\0\0\0\xB4\x05\x40";

std::string Saved(const TGLMaterialLibrary& library) {
  TMemoryStream stream;
  library.SaveToStream(stream);
  return stream.DataString();
}

void Load(TGLMaterialLibrary& library, const std::string& bytes) {
  TMemoryStream stream(bytes);
  library.LoadFromStream(stream);
}

// A 3 x 2 picture whose bytes include the ones Windows-1252 leaves undefined.
TBitmap OddBytesPicture() {
  TBitmap picture = gl3d::test::PlainBitmap(3, 2, 0x81, 0x8D, 0x00);
  picture.ScanLine(1)[0] = 0x9D;
  picture.ScanLine(1)[4] = 0xFF;
  return picture;
}

const TBitmap& PictureOf(TGLTexture& texture) {
  auto* image = dynamic_cast<TGLPersistentImage*>(texture.Image());
  EXPECT_NE(image, nullptr);
  auto* bitmap = dynamic_cast<const TBitmap*>(image->Picture()->Graphic());
  EXPECT_NE(bitmap, nullptr);
  return *bitmap;
}

bool SamePixels(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<size_t>(a.Width()) * 3) != 0) return false;
  return true;
}

class MaterialArchive : public gl3d::test::MaterialFixture {};

}  // namespace

TEST_F(MaterialArchive, Version4ByteForByte) {
  TGLMaterialLibrary library(nullptr);
  TGLLibMaterial* m = library.Materials()->Add();
  m->SetName("Mat");
  TGLMaterial& mat = *m->Material();
  mat.FrontProperties()->Diffuse()->SetColor({0.5f, 0.25f, 1, 0.5f});
  mat.FrontProperties()->SetShininess(64);
  mat.SetPolygonMode(pmLines);
  mat.SetBlendingMode(bmCustom);
  mat.BlendingParams()->SetUseAlphaFunc(true);
  mat.BlendingParams()->SetAlphaFunctType(cfLess);
  mat.BlendingParams()->SetAlphaFuncRef(0.5f);
  mat.BlendingParams()->SetBlendFuncDFactor(bfOne);
  mat.SetFaceCulling(fcNoCull);
  mat.SetMaterialOptions(MaterialOptionBit(moNoLighting));
  m->TextureOffset()->SetX(0.5f);
  m->SetTexture2Name("Base");
  m->SetTextureRotate(90);
  mat.TextureEx()->Add()->SetTextureIndex(1);

  Archive expected;
  expected.Int(4).Int(1).Str("Mat").Bool(false);
  expected.Raw({0.2f, 0.2f, 0.2f})
      .Raw({0.5f, 0.25f, 1, 0.5f})
      .Raw({0, 0, 0})
      .Raw({0, 0, 0})
      .Byte(64)
      .Int(pmLines);
  expected.DefaultFace().Byte(0).Int(pmLines).Int(bmCustom);
  expected.Bool(true).Ext(kExtHalf).Int(cfLess).Int(bfOne).Int(bfSrcAlpha).Bool(true).Bool(true);
  expected.Int(fcNoCull).Int(1).Byte(2);
  expected.Raw({0.5f, 0, 0}).Raw({1, 1, 1}).Str("Base").Ext(kExt90);
  expected.Int(1).Bool(false).Int(1).Raw({0, 0, 0}).Raw({1, 1, 1});
  EXPECT_EQ(Saved(library), expected.bytes);

  TGLMaterialLibrary read(nullptr);
  Load(read, expected.bytes);
  ASSERT_EQ(read.Materials()->Count(), 1);
  TGLLibMaterial& r = *read.Materials()->Items(0);
  EXPECT_EQ(r.Name(), "Mat");
  EXPECT_FLOAT_EQ(r.Material()->FrontProperties()->Diffuse()->Green(), 0.25f);
  EXPECT_EQ(r.Material()->FrontProperties()->Shininess(), 64);
  EXPECT_EQ(r.Material()->PolygonMode(), pmLines);
  EXPECT_EQ(r.Material()->BlendingParams()->AlphaFunctType(), cfLess);
  EXPECT_EQ(r.Material()->BlendingParams()->BlendFuncDFactor(), bfOne);
  EXPECT_EQ(r.Material()->FaceCulling(), fcNoCull);
  EXPECT_EQ(r.Material()->MaterialOptions(), MaterialOptionBit(moNoLighting));
  EXPECT_FLOAT_EQ(r.TextureRotate(), 90);
  EXPECT_FLOAT_EQ(r.TextureMatrix()[3][1], 0.5f) << "the offset, turned by 90 degrees";
  EXPECT_EQ(r.Texture2Name(), "Base");
  ASSERT_EQ(r.Material()->TextureEx()->Count(), 1);
  EXPECT_EQ(r.Material()->TextureEx()->Items(0)->TextureIndex(), 1);
  EXPECT_EQ(Saved(read), expected.bytes);
}

TEST_F(MaterialArchive, OlderVersionsReadWithoutTheirLaterFields) {
  Archive v2;
  v2.Int(2).Int(2).Str("Old").Bool(false).DefaultFace().Byte(5).Int(pmFill).DefaultFace().Byte(0).Int(pmFill);
  v2.Int(bmTransparency).Int(1).Byte(1).Raw({0, 0.25f, 0}).Raw({1, 1, 1}).Str("").Int(0);
  v2.Str("Old").Bool(false).DefaultFace().Byte(0).Int(pmPoints).DefaultFace().Byte(0).Int(pmPoints);
  v2.Int(bmOpaque).Int(1).Byte(0).Raw({0, 0, 0}).Raw({1, 1, 1}).Str("").Int(0);
  TGLMaterialLibrary library(nullptr);
  Load(library, v2.bytes);
  ASSERT_EQ(library.Materials()->Count(), 2);
  TGLLibMaterial& a = *library.Materials()->Items(0);
  EXPECT_EQ(library.Materials()->Items(1)->Name(), "Old1") << "names are made unique as they are read";
  EXPECT_EQ(a.Material()->BlendingMode(), bmTransparency);
  EXPECT_EQ(a.Material()->FrontProperties()->Shininess(), 5);
  EXPECT_EQ(a.Material()->MaterialOptions(), MaterialOptionBit(moIgnoreFog));
  EXPECT_EQ(a.Material()->FaceCulling(), fcBufferDefault);
  EXPECT_EQ(a.TextureRotate(), 0.0f);
  EXPECT_FALSE(a.TextureMatrixIsIdentity()) << "the matrix follows the offset read";

  Archive v0;
  v0.Int(0).Int(1).Str("Zero").Bool(false).Raw({1, 0, 0}).Raw({0, 1, 0, 0.5f}).Raw({0, 0, 1}).Raw({0, 0, 0});
  Load(library, v0.bytes);
  ASSERT_EQ(library.Materials()->Count(), 1);
  EXPECT_FLOAT_EQ(library.Materials()->Items(0)->Material()->FrontProperties()->Emission()->Blue(), 1);
  EXPECT_FLOAT_EQ(library.Materials()->Items(0)->Material()->FrontProperties()->Ambient()->Alpha(), 1)
      << "colours stored as RGB keep their alpha";
}

TEST_F(MaterialArchive, PicturesAndTextureSettingsSurviveARoundTrip) {
  TGLMaterialLibrary library(nullptr);
  const TBitmap picture = OddBytesPicture();
  TGLLibMaterial* m = library.AddTextureMaterial("Tex", &picture);
  TGLTexture& t = *m->Material()->Texture();
  t.SetImageAlpha(tiaOpaque);
  t.SetImageGamma(2);
  t.SetTextureWrap(twSeparate);
  t.SetTextureWrapS(twMirrorRepeat);
  t.SetMappingMode(tmmObjectLinear);
  t.MappingSCoordinates()->SetVector(0, 0, 2, 0);
  t.SetTextureFormat(tfLuminance);
  TGLTextureExItem* extra = m->Material()->TextureEx()->Add();
  extra->Texture()->Image()->Assign(&picture);
  extra->Texture()->SetDisabled(false);
  extra->SetTextureIndex(2);
  library.Materials()->Add()->SetName("Plain");  // no picture: its texture is disabled

  TGLMaterialLibrary read(nullptr);
  Load(read, Saved(library));
  ASSERT_EQ(read.Materials()->Count(), 2);
  TGLTexture& rt = *read.Materials()->Items(0)->Material()->Texture();
  EXPECT_TRUE(SamePixels(PictureOf(rt), picture));
  EXPECT_FALSE(rt.Disabled());
  EXPECT_EQ(rt.TextureMode(), tmModulate);
  EXPECT_EQ(rt.ImageAlpha(), tiaOpaque);
  EXPECT_FLOAT_EQ(rt.ImageGamma(), 2);
  EXPECT_EQ(rt.TextureWrapS(), twMirrorRepeat);
  EXPECT_EQ(rt.MappingMode(), tmmObjectLinear);
  EXPECT_FLOAT_EQ(rt.MappingSCoordinates()->Z(), 2);
  EXPECT_EQ(rt.TextureFormat(), tfLuminance);
  TGLTextureExItem& rx = *read.Materials()->Items(0)->Material()->TextureEx()->Items(0);
  EXPECT_EQ(rx.TextureIndex(), 2);
  EXPECT_FALSE(rx.Texture()->Disabled());
  EXPECT_TRUE(SamePixels(PictureOf(*rx.Texture()), picture));
  EXPECT_TRUE(read.Materials()->Items(1)->Material()->Texture()->Disabled());
  EXPECT_EQ(Saved(read), Saved(library));
}

TEST_F(MaterialArchive, Files) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zephor-material-archive";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  TGLMaterialLibrary library(nullptr);
  library.Materials()->Add()->SetName("First");
  const std::string file = (dir / "lib.glml").string();
  library.SaveToFile(file);
  TGLMaterialLibrary read(nullptr);
  read.LoadFromFile(file);
  EXPECT_EQ(read.Materials()->Items(0)->Name(), "First");
  EXPECT_ANY_THROW(library.SaveToFile((dir / "missing" / "lib.glml").string()));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, (std::vector<std::string>{"lib.glml"})) << "no temporary file is left";
  std::filesystem::remove_all(dir);
}

// Every damaged archive fails with the archive error or the read error, and the library keeps
// the materials it had.
TEST_F(MaterialArchive, DamagedArchives) {
  TGLMaterialLibrary source(nullptr);
  const TBitmap picture = OddBytesPicture();
  source.AddTextureMaterial("Tex", &picture)->Material()->TextureEx()->Add();
  source.Materials()->Add()->Material()->SetBlendingMode(bmCustom);
  const std::string good = Saved(source);

  TGLMaterialLibrary library(nullptr);
  library.Materials()->Add()->SetName("Kept");
  auto outcome = [&](const std::string& bytes) -> std::string {
    try {
      Load(library, bytes);
      return "read";
    } catch (const EFilerException& e) {
      return "archive: " + e.Message();
    } catch (const EReadError&) {
      return "read error";
    } catch (const std::exception& e) {
      return std::string("other: ") + e.what();
    }
  };
  auto keeps = [&] {
    return library.Materials()->Count() == 1 && library.Materials()->Items(0)->Name() == "Kept";
  };

  EXPECT_EQ(outcome(Archive().Int(5).Int(0).bytes),
            "archive: TGLMaterialLibrary : unknown archive version 5");
  EXPECT_EQ(outcome(Archive().Int(-1).bytes), "archive: TGLMaterialLibrary : unknown archive version -1");
  EXPECT_TRUE(keeps());

  auto body = [](Archive a) {
    a.DefaultFace().Byte(0).Int(pmFill).DefaultFace().Byte(0).Int(pmFill);
    return a;
  };
  auto tail = [](Archive a, int32_t optionBytes) {
    a.Int(optionBytes);
    for (int i = 0; i < optionBytes && i < 8; ++i) a.Byte(1);
    a.Raw({0, 0, 0}).Raw({1, 1, 1}).Str("").Ext(kExt0).Int(0);
    return a;
  };
  auto v4 = [&](int32_t blending, int32_t culling, int32_t optionBytes) {
    Archive a = body(Archive().Int(4).Int(1).Str("M").Bool(false));
    a.Int(blending).Bool(false).Int(culling);
    return tail(a, optionBytes).bytes;
  };
  ASSERT_EQ(outcome(v4(bmOpaque, fcCull, 4)), "read") << "up to four option bytes";
  ASSERT_EQ(outcome(v4(bmOpaque, fcCull, 0)), "read");
  library.Materials()->Items(0)->SetName("Kept");
  struct Row {
    const char* What;
    std::string Bytes;
  };
  std::string hugeCount = good;
  hugeCount[2] = '\x7F';  // the material count
  std::string brokenBmp = good, hugeBmp = good;
  const size_t bm = good.find(std::string("B\0M\0", 4));
  ASSERT_NE(bm, std::string::npos);
  brokenBmp[bm] = 'X';
  hugeBmp[bm + 2 * 18] = '\x7F';  // the picture's width, low byte
  hugeBmp[bm + 2 * 20] = '\x7F';  // and its third byte: 8 million pixels a row
  const Row rows[] = {
      {"count beyond the data", hugeCount},
      {"negative count", Archive().Int(4).Int(-3).bytes},
      {"blending mode out of range", v4(bmCustom + 1, fcCull, 1)},
      {"face culling out of range", v4(bmOpaque, fcNoCull + 1, 1)},
      {"negative blending mode", v4(-1, fcCull, 1)},
      {"options size above 4", v4(bmOpaque, fcCull, 5)},
      {"negative options size", v4(bmOpaque, fcCull, -1)},
      {"polygon mode out of range",
       Archive().Int(1).Int(1).Str("M").Bool(false).DefaultFace().Byte(0).Int(3).bytes},
      {"shininess above 128", Archive().Int(1).Int(1).Str("M").Bool(false).DefaultFace().Byte(129).bytes},
      {"broken picture", brokenBmp},
      {"picture larger than its data", hugeBmp},
      {"picture string with a character outside the code page",
       Archive().Int(0).Int(1).Str("M").Bool(true).bytes + std::string("\x12\x01\0\0\0\0\x01", 7)},
      {"not a picture", Archive().Int(0).Int(1).Str("M").Bool(true).Str("BM").bytes},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(outcome(r.Bytes), "read error") << r.What;
    EXPECT_TRUE(keeps()) << r.What;
  }
  for (size_t n = 0; n < good.size(); ++n) {
    const std::string result = outcome(good.substr(0, n));
    EXPECT_TRUE(result == "read error") << "truncated to " << n << ": " << result;
  }
  EXPECT_TRUE(keeps());
  for (size_t i = 0; i < good.size(); ++i) {
    std::string mutated = good;
    mutated[i] = static_cast<char>(mutated[i] ^ 0xA5);
    const std::string result = outcome(mutated);
    EXPECT_TRUE(result == "read" || result == "read error" || result.starts_with("archive:"))
        << "byte " << i << ": " << result;
  }
}

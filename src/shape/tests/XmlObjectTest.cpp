#include "shape/XmlObject.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "common/tests/support/ReplacedFiles.h"
#include "shape/ShapeText.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"
#include "shape/tests/MeshCheckUtil.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;
using namespace shape_test;

namespace {

const TScType kXmlTypes[] = {SCTYPE_SPHERE, SCTYPE_TORUS, SCTYPE_PLANE, SCTYPE_CYLINDER};

bool SameXmlRecord(const TCS& a, const TCS& b) { return std::memcmp(&a, &b, sizeof(TCS)) == 0; }

// Settings, prompts and the author name of one test.
struct XmlFixture {
  SettingsGuard guard;
  ScratchDir dir;
  RecordingPrompts prompts;
  std::string author = AuthorName;
  XmlFixture() {
    SetFilePrompts(&prompts);
    settings::AppSettings.FileOverWrite = true;
  }
  ~XmlFixture() { AuthorName = author; }

  bool Read(TCS& cs, const std::string& text, bool reset = true) {
    const std::string name = dir / "in.xml";
    WriteWholeFile(name, text);
    return ReadXmlObject(cs, name, reset);
  }
};

std::string Document(const std::string& body, const std::string& version = kXmlVersion) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document version=\"" + version + "\">\n" + body +
         "</document>\n";
}

}  // namespace

TEST(XmlObject, WholeDocumentOfASmallShape) {
  XmlFixture f;
  auto cs = NewShape(SCTYPE_PLANE, 3, 2);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j) cs->CP[i][j] = {i * 0.5, -0.125, j * 0.25};
  cs->RP[1][0] = true;
  cs->GP[0][1] = 3;
  cs->GP[1][1] = 5;
  cs->GP[2][1] = 5;
  settings::ObjectSize[0] = 1.0;
  settings::ObjectSize[1] = 2.5;
  settings::ObjectSize[2] = 5.0;
  AuthorName = "A&B <x> \"q\" 'a'";
  std::string name = f.dir / "small.xml";
  WriteXmlObject(*cs, name);
  EXPECT_EQ(name, f.dir / "small.xml");
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<document version=\"DURIM PROJECT Object DATA Ver1.0\">\r\n"
      "<author>A&amp;B &lt;x&gt; &quot;q&quot; &apos;a&apos;</author>\r\n"
      "  <object stitching_type=\"Plane\" width=\"3\" height=\"2\" />\r\n"
      "  <xyz_size x=\"1.0\" y=\"2.5\" z=\"5.0\" />\r\n"
      "  <vertex>\r\n"
      "    <value left=\"0\" top=\"0\">0.00000000 -0.12500000 0.00000000</value>\r\n"
      "    <value left=\"1\" top=\"0\">0.50000000 -0.12500000 0.00000000</value>\r\n"
      "    <value left=\"2\" top=\"0\">1.00000000 -0.12500000 0.00000000</value>\r\n"
      "    <value left=\"0\" top=\"1\">0.00000000 -0.12500000 0.25000000</value>\r\n"
      "    <value left=\"1\" top=\"1\">0.50000000 -0.12500000 0.25000000</value>\r\n"
      "    <value left=\"2\" top=\"1\">1.00000000 -0.12500000 0.25000000</value>\r\n"
      "  </vertex>\r\n"
      "  <vertex_locked>\r\n"
      "    <value left=\"1\" top=\"0\" />\r\n"
      "  </vertex_locked>\r\n"
      "  <vertex_group id=\"3\">\r\n"
      "    <value left=\"0\" top=\"1\" />\r\n"
      "  </vertex_group>\r\n"
      "  <vertex_group id=\"5\">\r\n"
      "    <value left=\"1\" top=\"1\" />\r\n"
      "    <value left=\"2\" top=\"1\" />\r\n"
      "  </vertex_group>\r\n"
      "</document>\r\n";
  EXPECT_EQ(ReadWholeFile(name), expected);
  EXPECT_TRUE(XmlWellFormed(name));

  // Read back into a shape without groups: the groups get fresh ids 0 and 1, in document order.
  auto back = NewShape(SCTYPE_SPHERE, 33, 33);
  settings::ObjectSize[1] = 1.0;
  ASSERT_TRUE(ReadXmlObject(*back, name, true));
  EXPECT_EQ(back->ScType, SCTYPE_PLANE);
  EXPECT_EQ(back->CPMaxI, 3);
  EXPECT_EQ(back->CPMaxJ, 2);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(back->CP[i][j][k], cs->CP[i][j][k]) << i << j << k;
  EXPECT_TRUE(back->RP[1][0]);
  EXPECT_FALSE(back->RP[0][0]);
  EXPECT_EQ(back->GP[0][1], 0);
  EXPECT_EQ(back->GP[1][1], 1);
  EXPECT_EQ(back->GP[2][1], 1);
  EXPECT_EQ(back->GP[0][0], -1);
  EXPECT_EQ(settings::ObjectSize[1], 2.5);
  EXPECT_EQ(settings::AxisScales[1], 0.5);
  EXPECT_TRUE(f.prompts.messages.empty());
}

TEST(XmlObject, LineBuildersAndTypeNames) {
  EXPECT_EQ(XmlTagLine("vertex"), "  <vertex>");
  EXPECT_EQ(XmlObjectLine(SCTYPE_TORUS, 65, 17), "  <object stitching_type=\"Torus\" width=\"65\" height=\"17\" />");
  EXPECT_EQ(XmlSizeLine(1, 2.25, 4.96), "  <xyz_size x=\"1.0\" y=\"2.2\" z=\"5.0\" />");
  EXPECT_EQ(XmlPointLine(4, 7, {-0.9921875, 1, 1.0 / 3}),
            "    <value left=\"4\" top=\"7\">-0.99218750 1.00000000 0.33333333</value>");
  EXPECT_EQ(XmlMarkLine(0, 256), "    <value left=\"0\" top=\"256\" />");
  for (TScType t : kXmlTypes) EXPECT_EQ(XmlNameToStitchType(StitchTypeToXmlName(t)), t);
  EXPECT_EQ(StitchTypeToXmlName(static_cast<TScType>(7)), "None");
  for (const char* name : {"torus", "PLANE", " Cylinder", "None", "Sphere", ""})
    EXPECT_EQ(XmlNameToStitchType(name), SCTYPE_SPHERE) << name;
  const TDbl3D p = ParseXmlPoint("  0.5 \t -1e-1  2 ");
  EXPECT_EQ(p[0], 0.5);
  EXPECT_EQ(p[1], -0.1);
  EXPECT_EQ(p[2], 2.0);
  for (const char* text : {"0.5 1", "1 2 3 4", "", "1,5 2 3"}) {
    const TDbl3D q = ParseXmlPoint(text);
    EXPECT_EQ(q[0] + q[1] + q[2], text == std::string("1,5 2 3") ? 5.0 : 0.0) << text;
  }
  const TDbl3D n = ParseXmlPoint("nan inf 3");
  EXPECT_EQ(n[0], 0.0);
  EXPECT_EQ(n[1], 0.0);
  EXPECT_EQ(n[2], 3.0);
}

TEST(XmlObject, DefaultSphereDocument) {
  XmlFixture f;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  std::string name = f.dir / "d.xml";
  WriteXmlObject(*cs, name);
  const auto lines = CrLfLines(name);
  EXPECT_EQ(CountPrefix(lines, "    <value left="), 1089u);
  EXPECT_EQ(CountPrefix(lines, "  <vertex_group"), 0u);
  const std::string text = ReadWholeFile(name);
  EXPECT_NE(text.find("  <vertex_locked>\r\n  </vertex_locked>\r\n"), std::string::npos);
  EXPECT_TRUE(XmlWellFormed(name));
  EXPECT_EQ(XPath(name, "count(//vertex/value)"), "1089");
  EXPECT_EQ(XPath(name, "count(//vertex_locked/value)"), "0");
}

TEST(XmlObject, RoundTripOfEveryStitchTypeKeepsThePoints) {
  XmlFixture f;
  for (bool symmetric : {true, false})
    for (TScType type : kXmlTypes) {
      settings::AppSettings.MaximizeWithSymmetry = symmetric;
      auto cs = NewShape(type, 17, 9);
      for (int i = 0; i < 17; ++i)
        for (int j = 0; j < 9; ++j) cs->CP[i][j][1] += 0.001 * ((i * 7 + j * 3) % 5);
      cs->CP[5][5] = {1.0, -0.9921875, 0.123456789};  // the cube's corners stay where they are
      CopySeams(*cs, 0);
      std::string name = f.dir / "r.xml";
      WriteXmlObject(*cs, name);
      auto back = NewShape(SCTYPE_PLANE, 5, 5);
      ASSERT_TRUE(ReadXmlObject(*back, name, true));
      EXPECT_EQ(back->ScType, type);
      ASSERT_EQ(back->CPMaxI, 17);
      ASSERT_EQ(back->CPMaxJ, 9);
      double worst = 0;
      for (int i = 0; i < 17; ++i)
        for (int j = 0; j < 9; ++j)
          for (int k = 0; k < 3; ++k) worst = std::max(worst, std::fabs(back->CP[i][j][k] - cs->CP[i][j][k]));
      EXPECT_LE(worst, 5.000001e-9) << type << " " << symmetric;
      EXPECT_EQ(back->CP[5][5][0], 1.0);
      EXPECT_EQ(back->CP[5][5][1], -0.9921875);
      EXPECT_EQ(TextureWidth, 256);
    }
}

TEST(XmlObject, AShapeOutsideTheCubeIsBroughtIn) {
  XmlFixture f;
  auto cs = NewShape(SCTYPE_PLANE, 3, 3);
  ASSERT_TRUE(f.Read(*cs, Document("  <object stitching_type=\"Plane\" width=\"3\" height=\"3\" />\n"
                                   "  <vertex><value left=\"0\" top=\"0\">4 -2 0.5</value></vertex>\n")));
  EXPECT_EQ(cs->CP[0][0][0], 1.0);
  EXPECT_EQ(cs->CP[0][0][1], -0.9921875);
  EXPECT_EQ(cs->CP[0][0][2], 0.5);
}

TEST(XmlObject, ElementRules) {
  XmlFixture f;
  auto cs = NewShape(SCTYPE_PLANE, 9, 9);
  cs->SP[3][3] = true;
  cs->GP[1][1] = 0;  // group 0 is taken before the file's groups come
  const std::string body =
      "  <object stitching_type=\"torus\" width=\"33\" height=\"33\" />\n"
      "  <vertex>\n"
      "    <value left=\"40\" top=\"0\">0.5 0.5 0.5</value>\n"
      "    <value left=\"1\" top=\"2\">0.25 0.5</value>\n"
      "    <value left=\"2\" top=\"2\"><![CDATA[0.125]]> 0.25 <!-- c --> 0.5</value>\n"
      "    <value top=\"3\">0.5 0.5 0.5</value>\n"
      "    <other left=\"3\" top=\"3\">0.5 0.5 0.5</other>\n"
      "  </vertex>\n"
      "  <vertex_locked><value left=\"4\" top=\"4\" /><value left=\"4\" top=\"-1\" /></vertex_locked>\n"
      "  <vertex_group id=\"9\"><value left=\"5\" top=\"5\" /></vertex_group>\n"
      "  <vertex_group id=\"9\">\n  </vertex_group>\n"
      "  <vertex_group id=\"2\"><value left=\"6\" top=\"6\" /><value left=\"7\" top=\"7\" /></vertex_group>\n"
      "  <unknown />\n";
  ASSERT_TRUE(f.Read(*cs, Document(body)));
  EXPECT_EQ(cs->ScType, SCTYPE_SPHERE);
  EXPECT_EQ(cs->CPMaxI, 33);
  auto sphere = NewShape(SCTYPE_SPHERE, 33, 33);
  EXPECT_EQ(cs->CP[1][2][0], 0.0);  // two numbers: (0, 0, 0)
  EXPECT_EQ(cs->CP[1][2][1], 0.0);
  EXPECT_EQ(cs->CP[2][2][0], 0.125);  // the element's whole text
  EXPECT_EQ(cs->CP[2][2][2], 0.5);
  EXPECT_EQ(cs->CP[3][3][0], sphere->CP[3][3][0]);  // no "left": ignored, as is "other"
  EXPECT_TRUE(cs->RP[4][4]);
  EXPECT_TRUE(cs->SP[3][3]);  // the masks are not cleared
  EXPECT_EQ(cs->GP[5][5], 1);  // 0 was taken
  EXPECT_EQ(cs->GP[6][6], 2);  // the empty group took no id
  EXPECT_EQ(cs->GP[7][7], 2);
  EXPECT_EQ(cs->GP[1][1], 0);
  // "left" 40 on 33 columns is ignored: no point took its value.
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j) EXPECT_FALSE(cs->CP[i][j][0] == 0.5 && cs->CP[i][j][1] == 0.5) << i << " " << j;
}

TEST(XmlObject, WithoutResetTheShapeIsTheBase) {
  XmlFixture f;
  auto cs = NewShape(SCTYPE_CYLINDER, 9, 5);
  const auto before = std::make_unique<TCS>(*cs);
  ASSERT_TRUE(f.Read(*cs, Document("<author/>\n"), false));
  EXPECT_EQ(cs->ScType, SCTYPE_CYLINDER);
  EXPECT_EQ(cs->CPMaxI, 9);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 5; ++j) EXPECT_EQ(cs->CP[i][j][2], before->CP[i][j][2]);
}

TEST(XmlObject, ErrorsShowTheirMessageAndLeaveShapeAndSize) {
  XmlFixture f;
  std::string nested;
  for (int n = 0; n < 100000; ++n) nested += "<a>";
  nested = "<document version=\"DURIM PROJECT Object DATA Ver1.0\"><vertex><value left=\"0\" top=\"0\">" + nested;
  struct Case {
    const char* name;
    std::string text;
    std::string message;  // after "XML Read Error: "; "*" for any text
  };
  const Case cases[] = {
      {"not XML", "this is not XML", "*"},
      {"empty", "", "*"},
      {"truncated", Document("  <vertex>\n    <value left=\"0\" top=\"0\">0.5 0.5 0.5</val").substr(0, 150), "*"},
      {"wrong root", "<?xml version=\"1.0\"?><object version=\"DURIM PROJECT Object DATA Ver1.0\"/>",
       "document not found."},
      {"missing version", "<document><object width=\"3\" height=\"3\"/></document>", "DURIM header not found."},
      {"other version", Document("", "DURIM PROJECT Object DATA Ver2.0"), "DURIM header not found."},
      {"width 0", Document("<object width=\"0\" height=\"9\"/>"), "The width 0 is outside 2 to 257."},
      {"width 1", Document("<object width=\"1\" height=\"9\"/>"), "The width 1 is outside 2 to 257."},
      {"height 258", Document("<object width=\"9\" height=\"258\"/>"), "The height 258 is outside 2 to 257."},
      {"width -5", Document("<object width=\"-5\" height=\"9\"/>"), "The width -5 is outside 2 to 257."},
      {"unclosed nesting", nested, "*"},
  };
  for (const Case& c : cases) {
    auto cs = NewShape(SCTYPE_TORUS, 9, 5);
    cs->SP[2][2] = true;
    const auto before = std::make_unique<TCS>(*cs);
    settings::ObjectSize[0] = 2.0;
    f.prompts.messages.clear();
    EXPECT_FALSE(f.Read(*cs, c.text)) << c.name;
    EXPECT_TRUE(SameXmlRecord(*cs, *before)) << c.name;
    EXPECT_EQ(settings::ObjectSize[0], 2.0) << c.name;
    EXPECT_EQ(CPHalfI, 4) << c.name;
    ASSERT_EQ(f.prompts.messages.size(), 1u) << c.name;
    const std::string& m = f.prompts.messages[0];
    EXPECT_EQ(m.rfind("XML Read Error: ", 0), 0u) << c.name << ": " << m;
    if (c.message != "*") {
      EXPECT_EQ(m, "XML Read Error: " + c.message) << c.name;
    }
  }
  // An error after an xyz_size element keeps the old size.
  auto cs = NewShape(SCTYPE_TORUS, 9, 5);
  settings::ObjectSize[2] = 3.0;
  EXPECT_FALSE(f.Read(*cs, Document("<xyz_size x=\"4\" y=\"4\" z=\"4\"/><object width=\"300\"/>")));
  EXPECT_EQ(settings::ObjectSize[2], 3.0);
  // A file that cannot be opened is a read error too.
  f.prompts.messages.clear();
  EXPECT_FALSE(ReadXmlObject(*cs, f.dir / "none.xml", true));
  ASSERT_EQ(f.prompts.messages.size(), 1u);
  EXPECT_EQ(f.prompts.messages[0].rfind("XML Read Error: Cannot open file", 0), 0u);
}

TEST(XmlObject, HostileButWellFormedDocumentsReadQuickly) {
  XmlFixture f;
  std::string groups = "<object stitching_type=\"Plane\" width=\"257\" height=\"257\"/>\n";
  for (int n = 0; n < 20000; ++n)
    groups += "<vertex_group id=\"" + std::to_string(n) + "\"><value left=\"" + std::to_string(n % 257) +
              "\" top=\"" + std::to_string(n / 257) + "\"/></vertex_group>\n";
  std::string nested = "<vertex><value left=\"1\" top=\"1\">";
  for (int n = 0; n < 50000; ++n) nested += "<a>";
  nested += "0.5 0.5 0.5";
  for (int n = 0; n < 50000; ++n) nested += "</a>";
  nested += "</value></vertex>\n";
  const std::string laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE document [\n <!ENTITY a \"aaaaaaaaaa\">\n"
      " <!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n <!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n]>\n"
      "<document version=\"DURIM PROJECT Object DATA Ver1.0\"><author>&c;</author>"
      "<vertex><value left=\"0\" top=\"0\">&c; 1 2</value></vertex></document>";
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"width abc", Document("<object width=\"abc\" height=\"5\"/>")},
      {"left and top out of range",
       Document("<vertex><value left=\"-1\" top=\"0\">1 1 1</value><value left=\"0\" top=\"33\">1 1 1</value>"
                "<value left=\"99999999999\" top=\"0\">1 1 1</value></vertex>")},
      {"many groups", Document(groups)},
      {"deep nesting", Document(nested)},
      {"entity definitions", laughs},
  };
  for (const Case& c : cases) {
    auto cs = NewShape(SCTYPE_TORUS, 9, 5);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(f.Read(*cs, c.text)) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.name;
    EXPECT_TRUE(f.prompts.messages.empty()) << c.name;
  }
  // Every one of the groups got its own id, in order.
  auto cs = NewShape(SCTYPE_TORUS, 9, 5);
  ASSERT_TRUE(f.Read(*cs, Document(groups)));
  EXPECT_EQ(cs->GP[0][0], 0);
  EXPECT_EQ(cs->GP[100][10], 10 * 257 + 100);
  // The nested text is the element's text; entities are not expanded.
  ASSERT_TRUE(f.Read(*cs, Document(nested)));
  EXPECT_EQ(cs->CP[1][1][0], 0.5);
  ASSERT_TRUE(f.Read(*cs, laughs));
  EXPECT_EQ(cs->CP[0][0][0], 0.0);
  EXPECT_EQ(cs->CPMaxI, 33);
}

TEST(XmlObject, WriterTakesAFreeNameWithoutOverwrite) {
  XmlFixture f;
  auto cs = NewShape(SCTYPE_SPHERE, 5, 5);
  f.dir.Touch("s.xml");
  settings::AppSettings.FileOverWrite = false;
  std::string name = f.dir / "s.xml";
  WriteXmlObject(*cs, name);
  EXPECT_EQ(name, f.dir / "s_001.xml");
  EXPECT_EQ(ReadWholeFile(f.dir / "s.xml"), "x");
  EXPECT_TRUE(XmlWellFormed(name));
  EXPECT_EQ(XPath(name, "count(//vertex/value)"), "25");
}

TEST(ShapeText, AStoredTextFileKeepsALinkAndThePermissionsOfWhatItReplaces) {
  common::test::ExpectSaveKeepsLinksAndModes(".xml",
                                             [](const std::string& name) { StoreTextFile(name, "<new/>"); });
}

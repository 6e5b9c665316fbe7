// The PDF writer: the objects of a document in their order, the cross-reference table parsed back,
// the coding table, qpdf's check and poppler's and Ghostscript's rendering of every coding, the
// information texts, documents written into the middle of a stream, several pages, and short
// writes.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "PageTestTools.h"
#include "rastova/codecs/pages/pdffilt.h"
#include "rastova/core/RVStream.h"

namespace rv {
namespace {

using namespace test;

using PDF = PageWriterTest;

struct Written {
  std::string text;
  bool ok = false;
};

Written WritePDF(TRVBitmap& bitmap, TIOParamsVals& params) {
  TMemoryStream s;
  TRVProgressRec progress;
  WritePDFStream(s, bitmap, params, progress);
  return Written{TextOf(s.Data()), !progress.IsAborting()};
}

// The objects of a written file, found through its cross-reference table (whose entries must be
// 20 bytes and point at "n 0 obj" lines): number -> text between "obj" and "endobj".
struct Parsed {
  std::map<int, std::string> objects;
  std::string trailer;
};

Parsed Parse(const std::string& file) {
  Parsed out;
  const size_t startxref = file.rfind("startxref\n");
  EXPECT_NE(startxref, std::string::npos);
  if (startxref == std::string::npos) return out;
  const size_t xref = std::stoul(file.substr(startxref + 10));
  EXPECT_EQ(file.compare(xref, 5, "xref\n"), 0);
  std::istringstream in(file.substr(xref + 5));
  int first = -1, count = 0;
  in >> first >> count;
  EXPECT_EQ(first, 0);
  size_t entry = file.find('\n', xref + 5) + 1;
  EXPECT_EQ(file.substr(entry, 20), "0000000000 65535 f \n");
  for (int n = 1; n < count; ++n) {
    entry += 20;
    const std::string e = file.substr(entry, 20);
    EXPECT_EQ(e.substr(10), " 00000 n \n") << "entry " << n;
    const size_t offset = std::stoul(e.substr(0, 10));
    const std::string head = std::to_string(n) + " 0 obj\n";
    EXPECT_EQ(file.compare(offset, head.size(), head), 0) << "object " << n;
    const size_t end = file.find("\nendobj\n", offset);
    out.objects[n] = file.substr(offset + head.size(), end - offset - head.size());
  }
  out.trailer = file.substr(entry + 20);
  return out;
}

TEST_F(PDF, OnePageDocumentObjects) {
  TRVBitmap b;
  FillNoisy(b, 100, 50);
  TIOParamsVals params;  // PDF_Compression 2: a colour image is stored as it is
  params.BitsPerSample = 1;
  const Written w = WritePDF(b, params);
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(w.text.substr(0, 15), "%PDF-1.4\n%\xC8\xD2\xF0\xFE\n");
  const Parsed p = Parse(w.text);
  ASSERT_EQ(p.objects.size(), 7u);
  EXPECT_EQ(p.objects.at(1), "<< /Type /Catalog\n/Pages 6 0 R\n>>");
  EXPECT_EQ(p.objects.at(2), "<< /ProcSet [/PDF /ImageB ]\n/XObject << /lm1 3 0 R\n>>\n>>");
  const std::string image = p.objects.at(3);
  EXPECT_EQ(
      image.substr(0, image.find("stream\n")),
      "<< /Type /XObject\n/Subtype /Image\n/Length 15000\n/Width 100\n/Height 50\n/ColorSpace /DeviceRGB\n"
      "/BitsPerComponent 8\n>>\n");
  // Red, green, blue bytes, top row first.
  const size_t data = image.find("stream\n") + 7;
  for (int x : {0, 1, 57}) {
    const TRGB e = b.GetPixels(x, 0);
    EXPECT_EQ(uint8_t(image[data + 3 * x]), e.r);
    EXPECT_EQ(uint8_t(image[data + 3 * x + 1]), e.g);
    EXPECT_EQ(uint8_t(image[data + 3 * x + 2]), e.b);
  }
  EXPECT_EQ(image.substr(image.size() - 10), "\nendstream");
  EXPECT_EQ(p.objects.at(4), "<< /Length 32\n>>\nstream\nq\n595 0 0 297 0 545 cm\n/lm1 Do\nQ\nendstream");
  EXPECT_EQ(p.objects.at(5),
            "<< /Type /Page\n/Resources 2 0 R\n/MediaBox [0 0 595 842 ]\n/Contents 4 0 R\n/Parent 6 0 R\n>>");
  EXPECT_EQ(p.objects.at(6), "<< /Type /Pages\n/Kids [5 0 R ]\n/Count 1\n>>");
  EXPECT_EQ(p.objects.at(7).substr(0, 22), "<< /CreationDate (D:20");  // the date alone
  EXPECT_EQ(p.objects.at(7).size(), 38u);
  EXPECT_EQ(p.trailer, "trailer\n<< /Size 8\n/Root 1 0 R\n/Info 7 0 R\n>>\nstartxref\n" +
                           std::to_string(w.text.find("xref\n0 8")) + "\n%%EOF\n");
  EXPECT_EQ(params.BitsPerSample, 8);
  EXPECT_EQ(params.SamplesPerPixel, 3);
}

TEST_F(PDF, CodingTable) {
  struct Case {
    bool bilevel;
    uint8_t compression;
    std::string keys;  // the dictionary after /Height
    uint8_t compressionAfter;
  } cases[] = {
      {true, 0, "/ColorSpace /DeviceGray\n/BitsPerComponent 1\n", 0},
      {true, 1, "/Filter [/RunLengthDecode ]\n/ColorSpace /DeviceGray\n/BitsPerComponent 1\n", 1},
      {true, 2,
       "/Filter /CCITTFaxDecode\n/DecodeParms << /K -1\n/BlackIs1 true\n/Columns 119\n/Rows 84\n/EndOfLine "
       "false\n"
       "/Uncompressed true\n/EncodedByteAlign false\n/EndOfBlock false\n>>\n/ColorSpace /DeviceGray\n"
       "/BitsPerComponent 1\n",
       2},
      {true, 3, "/Filter /CCITTFaxDecode\n/DecodeParms << /K 1\n", 3},
      {true, 4, "/Filter /CCITTFaxDecode\n/DecodeParms << /K 1\n", 3},  // 4 becomes 3
      {true, 5, "/Filter /LZWDecode\n/ColorSpace /DeviceGray\n/BitsPerComponent 1\n", 5},
      // Above 5 a 1-bit image has no coding of its own: stored as it is.
      {true, 6, "/ColorSpace /DeviceGray\n/BitsPerComponent 1\n", 6},
      {false, 0, "/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n", 0},
      {false, 1, "/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n", 1},
      {false, 2, "/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n", 2},
      {false, 3, "/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n", 3},
      {false, 4, "/Filter /DCTDecode\n/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n", 4},
      {false, 5, "/Filter /LZWDecode\n/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n", 5},
      {false, 9, "/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n", 9},
  };
  for (const Case& c : cases) {
    const std::string what =
        std::string(c.bilevel ? "1-bit" : "colour") + " coding " + std::to_string(c.compression);
    TRVBitmap b;
    if (c.bilevel)
      FillBilevel(b);
    else
      FillSmooth(b);
    TIOParamsVals params;
    params.PDF_Compression = c.compression;
    const Written w = WritePDF(b, params);
    ASSERT_TRUE(w.ok) << what;
    const std::string image = Parse(w.text).objects[3];
    const size_t height = image.find("/Height 84\n");
    ASSERT_NE(height, std::string::npos) << what;
    EXPECT_EQ(image.substr(height + 11, c.keys.size()), c.keys) << what;
    EXPECT_EQ(params.PDF_Compression, c.compressionAfter) << what;
    EXPECT_EQ(params.BitsPerSample, c.bilevel ? 1 : 8) << what;
  }
}

TEST_F(PDF, CheckersAcceptAndRenderEveryCoding) {
  if (!HaveQpdf() || !HavePoppler() || !HaveGhostscript())
    GTEST_SKIP() << "qpdf, poppler-utils or ghostscript is not installed; run scripts/install-deps.sh";
  const TRenderCase cases[] = {
      {"1-bit none", TPicture::Bilevel, 0, 2, 0},
      {"1-bit run-length", TPicture::Bilevel, 1, 2, 0},
      {"1-bit run-length of pairs", TPicture::BilevelPairs, 1, 2, 0},
      {"1-bit Group 4", TPicture::Bilevel, 2, 2, 0},
      {"1-bit Group 3", TPicture::Bilevel, 3, 2, 0},
      {"1-bit LZW", TPicture::Bilevel, 5, 2, 0},
      {"colour none", TPicture::Noisy, 0, 2, 1},
      {"colour JPEG", TPicture::Smooth, 4, 2, 12},
      {"colour LZW", TPicture::Noisy, 5, 2, 1},
      {"grey JPEG", TPicture::Smooth, 4, 1, 16},
      {"CMYK setting coded as YCbCr", TPicture::Smooth, 4, 3, 12},
  };
  TempDir dir;
  for (const TRenderCase& c : cases) {
    const std::string path = dir.File(std::string(c.what) + ".pdf");
    TRVBitmap b;
    std::vector<uint8_t> bytes;
    WriteRenderCase(
        c, path,
        [&](TStream& s, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
          params.PDF_Compression = c.compression;
          WritePDFStream(s, bitmap, params, progress);
        },
        b, bytes);
    EXPECT_TRUE(RunCommand("/usr/bin/qpdf --check '" + path + "' >/dev/null 2>&1")) << c.what;
    if (c.jpegColorSpace == 1) {
      EXPECT_NE(TextOf(bytes).find("/ColorSpace /DeviceGray"), std::string::npos) << c.what;
    }
    for (int tool = 0; tool < 2; ++tool) {
      const std::vector<TPage> pages =
          tool == 0 ? RenderWithPoppler(path, 1) : RenderWithGhostscript(path, 1);
      const std::string what = std::string(c.what) + (tool == 0 ? " (pdftoppm)" : " (gs)");
      ASSERT_EQ(pages.size(), 1u) << what;
      ExpectPageShows(pages[0], b, kScale, c.tolerance, what);
    }
  }
}

TEST_F(PDF, InformationTexts) {
  TRVBitmap b;
  FillBilevel(b);
  TIOParamsVals params;
  params.PDF_Title = "Sculpt (map) \\ one";
  params.PDF_Author = "Durim";
  params.PDF_Subject = "Prim";
  params.PDF_Keywords = "sculpt, prim";
  params.PDF_Creator = "ZEPHOR";
  params.PDF_Producer = "Rastova";
  const Written w = WritePDF(b, params);
  ASSERT_TRUE(w.ok);
  const std::string info = Parse(w.text).objects[7];
  EXPECT_EQ(
      info.substr(0, info.find("/CreationDate")),
      "<< /Title (Sculpt \\(map\\) \\\\ one)\n/Author (Durim)\n/Subject (Prim)\n/Keywords (sculpt, prim)\n"
      "/Creator (ZEPHOR)\n/Producer (Rastova)\n");
  if (!HavePoppler()) GTEST_SKIP() << "poppler-utils is not installed; run scripts/install-deps.sh";
  TempDir dir;
  const std::string path = dir.File("info.pdf");
  WriteFileBytes(path, std::vector<uint8_t>(w.text.begin(), w.text.end()));
  ASSERT_TRUE(RunCommand("/usr/bin/pdfinfo '" + path + "' > '" + path + ".txt' 2>&1"));
  std::ifstream f(path + ".txt");
  std::map<std::string, std::string> fields;
  for (std::string line; std::getline(f, line);) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t value = line.find_first_not_of(' ', colon + 1);
    fields[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
  }
  EXPECT_EQ(fields["Title"], "Sculpt (map) \\ one");
  EXPECT_EQ(fields["Author"], "Durim");
  EXPECT_EQ(fields["Subject"], "Prim");
  EXPECT_EQ(fields["Keywords"], "sculpt, prim");
  EXPECT_EQ(fields["Creator"], "ZEPHOR");
  EXPECT_EQ(fields["Producer"], "Rastova");
  EXPECT_FALSE(fields["CreationDate"].empty());
  EXPECT_EQ(fields["Pages"], "1");
  EXPECT_EQ(fields["Page size"], "595 x 842 pts (A4)");
}

TEST_F(PDF, SeveralPagesShareTheResources) {
  TRVBitmap bilevel, noisy, smooth;
  FillBilevel(bilevel);
  FillNoisy(noisy);
  FillSmooth(smooth);
  TIOParamsVals params;
  std::unique_ptr<PDFDocument> doc = PDFBeginDocument();
  TRVProgressRec progress;
  PDFAddImagePage(*doc, bilevel, params, progress);  // Group 4
  params.PDF_Compression = 5;
  PDFAddImagePage(*doc, noisy, params, progress);
  params.PDF_Compression = 4;
  params.JPEG_Quality = 95;
  PDFAddImagePage(*doc, smooth, params, progress);
  ASSERT_FALSE(progress.IsAborting());
  TMemoryStream s;
  ASSERT_TRUE(PDFEndDocument(std::move(doc), s, params));
  EXPECT_TRUE(PDFEndDocument(nullptr, s, params));
  const std::string text = TextOf(s.Data());
  const Parsed p = Parse(text);
  ASSERT_EQ(p.objects.size(), 13u);  // catalog, resources, 3 x (image, content, page), tree, info
  EXPECT_EQ(p.objects.at(2),
            "<< /ProcSet [/PDF /ImageB ]\n/XObject << /lm1 3 0 R\n/lm2 6 0 R\n/lm3 9 0 R\n>>\n>>");
  EXPECT_EQ(p.objects.at(12), "<< /Type /Pages\n/Kids [5 0 R 8 0 R 11 0 R ]\n/Count 3\n>>");
  for (int page : {5, 8, 11}) {
    EXPECT_NE(p.objects.at(page).find("/Resources 2 0 R\n"), std::string::npos);
    EXPECT_NE(p.objects.at(page).find("/Parent 12 0 R\n"), std::string::npos);
  }
  EXPECT_NE(p.objects.at(10).find("/lm3 Do"), std::string::npos);

  if (!HaveQpdf() || !HavePoppler()) GTEST_SKIP() << "qpdf or poppler-utils is not installed";
  TempDir dir;
  const std::string path = dir.File("three.pdf");
  WriteFileBytes(path, s.Data());
  EXPECT_TRUE(RunCommand("/usr/bin/qpdf --check '" + path + "' >/dev/null 2>&1"));
  const std::vector<TPage> pages = RenderWithPoppler(path, 3);
  ASSERT_EQ(pages.size(), 3u);
  ExpectPageShows(pages[0], bilevel, kScale, 0, "page 1");
  ExpectPageShows(pages[1], noisy, kScale, 1, "page 2");
  ExpectPageShows(pages[2], smooth, kScale, 12, "page 3");
}

TEST_F(PDF, OffsetsCountFromTheDocumentStart) {
  // A document written after other data in a stream is a whole PDF file from its first byte.
  TRVBitmap b;
  FillBilevel(b);
  TIOParamsVals params;
  TMemoryStream s;
  const std::string junk(100, 'j');
  s.Write(junk.data(), 100);
  TRVProgressRec progress;
  WritePDFStream(s, b, params, progress);
  ASSERT_FALSE(progress.IsAborting());
  const std::string text = TextOf(s.Data()).substr(100);
  EXPECT_EQ(Parse(text).objects.size(), 7u);
  if (!HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  TempDir dir;
  const std::string path = dir.File("inner.pdf");
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
  // Exit status 0 only without warnings (a damaged table would be reconstructed with a warning).
  EXPECT_TRUE(RunCommand("/usr/bin/qpdf --check '" + path + "' >/dev/null 2>&1"));
}

TEST_F(PDF, FailuresAbort) {
  TRVBitmap b;
  FillNoisy(b);
  TIOParamsVals params;
  const int64_t size = static_cast<int64_t>(WritePDF(b, params).text.size());
  for (int64_t room : {int64_t(0), int64_t(9), int64_t(400), size / 2, size - 30, size - 1}) {
    TFullDisk s(room);
    TRVProgressRec progress;
    WritePDFStream(s, b, params, progress);
    EXPECT_TRUE(progress.IsAborting()) << room;
  }
  struct Case {
    const char* what;
    bool empty;
    bool noLzw;
  } cases[] = {{"empty image", true, false}, {"no LZW encoder", false, true}};
  for (const Case& c : cases) {
    TRVBitmap image;
    if (!c.empty) FillNoisy(image);
    TIOParamsVals p;
    p.PDF_Compression = c.noLzw ? 5 : 0;
    p.TIFF_LZWCompress = nullptr;
    const TTIFFLZWCompressProc hook = TIFFLZWEncoderHook;
    TIFFLZWEncoderHook = nullptr;
    TMemoryStream s;
    TRVProgressRec progress;
    WritePDFStream(s, image, p, progress);
    TIFFLZWEncoderHook = hook;
    EXPECT_TRUE(progress.IsAborting()) << c.what;
    EXPECT_EQ(s.GetSize(), 0) << c.what;
  }
}

}  // namespace
}  // namespace rv

// The PostScript writer: the structuring comments and page lines byte for byte, the coding of
// each kind of image, the page count rewritten in place, Ghostscript's rendering of every coding,
// and short writes.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <sstream>

#include "PageTestTools.h"
#include "rastova/codecs/pages/psfilt.h"
#include "rastova/core/RVStream.h"

namespace rv {
namespace {

using namespace test;

using PostScript = PageWriterTest;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string WritePS(TRVBitmap& bitmap, TIOParamsVals& params, bool* ok = nullptr) {
  TMemoryStream s;
  TRVProgressRec progress;
  WritePSStream(s, bitmap, params, progress);
  if (ok) *ok = !progress.IsAborting();
  return TextOf(s.Data());
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line, size_t from = 0) {
  for (size_t i = from; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  return std::string::npos;
}

// The ASCII85 characters between the operator line and %%EndData (line breaks and end markers
// not counted), and the number of blocks.
void CountData(const std::vector<std::string>& lines, size_t first, size_t end, int64_t& chars, int& blocks) {
  chars = 0;
  blocks = 0;
  for (size_t i = first; i < end; ++i) {
    std::string l = lines[i];
    for (size_t p = l.find("~>"); p != std::string::npos; p = l.find("~>")) {
      l.erase(p, 2);
      ++blocks;
    }
    chars += static_cast<int64_t>(l.size());
  }
}

TEST_F(PostScript, OnePageDocumentLineByLine) {
  TRVBitmap b;
  FillNoisy(b, 100, 50);
  TIOParamsVals params;
  params.PS_Title = "Sculpt map";
  params.PS_Compression = 0;
  params.BitsPerSample = 4;
  bool ok = false;
  const std::string text = WritePS(b, params, &ok);
  ASSERT_TRUE(ok);
  // CR LF everywhere: no LF without its CR, and the file ends with one.
  for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
    ASSERT_EQ(text[i - 1], '\r');
  ASSERT_EQ(text.substr(text.size() - 2), "\r\n");

  const std::vector<std::string> lines = Lines(text);
  ASSERT_GT(lines.size(), 30u);
  EXPECT_EQ(lines[0], "%!PS-Adobe-3.0");
  EXPECT_EQ(lines[1].rfind("%%Creator: ", 0), 0u);
  EXPECT_EQ(lines[2], "%%Title: Sculpt map");
  EXPECT_TRUE(std::regex_match(lines[3], std::regex("%%CreationDate: (Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                                    "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                    "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}")))
      << lines[3];
  const std::vector<std::string> rest = {
      "%%DocumentData: Clean7Bit",
      "%%LanguageLevel: 2",
      "%%Pages: 1     ",
      "%%BoundingBox: 0 0 594 841",
      "%%EndComments",
      "%%Page: 1 1",
      "0 842 translate",
      "595 -297 scale",
      "100 50 8",
      "[ 100 0 0 50 0 0 ]",
      "/rstr 100 string def",
      "/gstr 100 string def",
      "/bstr 100 string def",
      "{currentfile /ASCII85Decode filter /RunLengthDecode filter rstr readstring pop}",
      "{currentfile /ASCII85Decode filter /RunLengthDecode filter gstr readstring pop}",
      "{currentfile /ASCII85Decode filter /RunLengthDecode filter bstr readstring pop}",
      "true 3",
  };
  for (size_t i = 0; i < rest.size(); ++i) EXPECT_EQ(lines[4 + i], rest[i]) << "line " << 5 + i;
  const size_t beginData = 4 + rest.size();
  EXPECT_EQ(lines[beginData + 1], "colorimage");
  const size_t endData = IndexOf(lines, "%%EndData");
  ASSERT_NE(endData, std::string::npos);
  int64_t chars = 0;
  int blocks = 0;
  CountData(lines, beginData + 2, endData, chars, blocks);
  EXPECT_EQ(lines[beginData], "%%BeginData:      " + std::to_string(chars) + " ASCII Bytes");
  EXPECT_EQ(blocks, 3 * 50);  // one block per row and colour
  for (size_t i = beginData + 2; i < endData; ++i) EXPECT_LE(lines[i].size(), 81u);
  const std::vector<std::string> tail = {"%%EndData", "showpage", "%%Trailer", "%%EOF"};
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), tail);
  EXPECT_EQ(params.BitsPerSample, 8);
  EXPECT_EQ(params.SamplesPerPixel, 3);
}

TEST_F(PostScript, CodingOfEachImageKind) {
  struct Case {
    bool bilevel;
    uint8_t compression;
    std::string filterLine;  // the line after the matrix (the first data-source line)
    std::string operatorLine;
  } cases[] = {
      {true, 0, "currentfile /ASCII85Decode filter /RunLengthDecode filter", "image"},
      {true, 1,
       "currentfile /ASCII85Decode filter << /K -1 /BlackIs1 true /Columns 119 /Rows 84 /EndOfLine false "
       "/Uncompressed true /EncodedByteAlign false /EndOfBlock false >> /CCITTFaxDecode filter",
       "image"},
      {true, 2,
       "currentfile /ASCII85Decode filter << /K 1 /BlackIs1 true /Columns 119 /Rows 84 /EndOfLine false "
       "/Uncompressed true /EncodedByteAlign false /EndOfBlock false >> /CCITTFaxDecode filter",
       "image"},
      // No JPEG for 1-bit images: run-length, as for every value without a coding.
      {true, 3, "currentfile /ASCII85Decode filter /RunLengthDecode filter", "image"},
      {true, 7, "currentfile /ASCII85Decode filter /RunLengthDecode filter", "image"},
      {false, 0, "/rstr 119 string def", "colorimage"},
      {false, 1, "/rstr 119 string def", "colorimage"},
      {false, 2, "/rstr 119 string def", "colorimage"},
      {false, 3, "currentfile /ASCII85Decode filter << >> /DCTDecode filter", "colorimage"},
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
    params.PS_Compression = c.compression;
    params.BitsPerSample = 8;
    params.SamplesPerPixel = 4;
    bool ok = false;
    const std::vector<std::string> lines = Lines(WritePS(b, params, &ok));
    ASSERT_TRUE(ok) << what;
    const size_t matrix = IndexOf(lines, "[ 119 0 0 84 0 0 ]");
    ASSERT_NE(matrix, std::string::npos) << what;
    EXPECT_EQ(lines[matrix - 1], c.bilevel ? "119 84 1" : "119 84 8") << what;
    EXPECT_EQ(lines[matrix + 1], c.filterLine) << what;
    const size_t op = IndexOf(lines, c.operatorLine, matrix);
    ASSERT_NE(op, std::string::npos) << what;
    EXPECT_EQ(lines[op - 1].rfind("%%BeginData:      ", 0), 0u) << what;
    if (!c.bilevel && c.compression == 3) {
      EXPECT_EQ(lines[op - 2], "false 3") << what;
    }
    // Every block ends with its end marker and a line break.
    const size_t endData = IndexOf(lines, "%%EndData", op);
    ASSERT_NE(endData, std::string::npos) << what;
    EXPECT_EQ(lines[endData - 1].substr(lines[endData - 1].size() - 2), "~>") << what;
    EXPECT_EQ(params.BitsPerSample, c.bilevel ? 1 : 8) << what;
    EXPECT_EQ(params.SamplesPerPixel, c.bilevel ? 1 : 3) << what;
  }
}

TEST_F(PostScript, AllWhiteBilevelPageIsSmall) {
  TRVBitmap b;
  ASSERT_TRUE(b.Allocate(2000, 40, rv1g));
  for (int y = 0; y < 40; ++y) std::memset(b.GetScanLine(y), 0xFF, 250);
  TIOParamsVals params;
  params.PS_Compression = 0;
  const std::vector<std::string> lines = Lines(WritePS(b, params));
  const size_t op = IndexOf(lines, "image");
  const size_t end = IndexOf(lines, "%%EndData");
  ASSERT_NE(op, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  // 10,000 white bytes: 79 runs of two bytes, about 200 characters of text.
  int64_t chars = 0;
  int blocks = 0;
  CountData(lines, op + 1, end, chars, blocks);
  EXPECT_EQ(blocks, 1);
  EXPECT_LT(chars, 210);
}

TEST_F(PostScript, ThreePagesRewriteThePageCountInPlace) {
  TempDir dir;
  TMemoryStream s;
  TIOParamsVals params;
  params.PS_Compression = 1;
  std::unique_ptr<PSDocument> doc = PSBeginDocument(s, params);
  const int64_t headerEnd = doc->EndPosition;
  TRVBitmap bilevel, colour, jpeg;
  FillBilevel(bilevel);
  FillNoisy(colour);
  FillSmooth(jpeg);
  TRVProgressRec progress;
  PSAddPage(*doc, s, bilevel, progress, params);
  PSAddPage(*doc, s, colour, progress, params);
  params.PS_Compression = 3;
  PSAddPage(*doc, s, jpeg, progress, params);
  EXPECT_TRUE(PSEndDocument(std::move(doc), s));
  EXPECT_TRUE(PSEndDocument(nullptr, s));
  ASSERT_FALSE(progress.IsAborting());
  const std::string text = TextOf(s.Data());
  const std::vector<std::string> lines = Lines(text);
  EXPECT_EQ(lines[6], "%%Pages: 3     ");
  EXPECT_EQ(text.find("%%EndComments\r\n"),
            static_cast<size_t>(headerEnd) - 15);  // the header kept its length
  EXPECT_NE(IndexOf(lines, "%%Page: 1 1"), std::string::npos);
  EXPECT_NE(IndexOf(lines, "%%Page: 2 2"), std::string::npos);
  EXPECT_NE(IndexOf(lines, "%%Page: 3 3"), std::string::npos);
  EXPECT_EQ(lines.back(), "%%EOF");

  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed; run scripts/install-deps.sh";
  const std::string path = dir.File("three.ps");
  WriteFileBytes(path, s.Data());
  const std::vector<TPage> pages = RenderWithGhostscript(path, 3);
  ASSERT_EQ(pages.size(), 3u);
  ExpectPageShows(pages[0], bilevel, kScale, 0, "page 1 (Group 4)");
  ExpectPageShows(pages[1], colour, kScale, 2, "page 2 (run-length)");
  ExpectPageShows(pages[2], jpeg, kScale, 12, "page 3 (JPEG)");
}

TEST_F(PostScript, GhostscriptRendersEveryCoding) {
  if (!HaveGhostscript()) GTEST_SKIP() << "Ghostscript (gs) is not installed; run scripts/install-deps.sh";
  const TRenderCase cases[] = {
      {"1-bit run-length", TPicture::Bilevel, 0, 2, 0},
      {"1-bit run-length of pairs", TPicture::BilevelPairs, 0, 2, 0},
      {"colour run-length of pairs", TPicture::ColorPairs, 0, 2, 2},
      {"1-bit Group 4", TPicture::Bilevel, 1, 2, 0},
      {"1-bit Group 3", TPicture::Bilevel, 2, 2, 0},
      {"colour run-length", TPicture::Noisy, 0, 2, 2},
      {"colour JPEG", TPicture::Smooth, 3, 2, 12},
      // The page declares as many components as the JPEG data carry.
      {"grey JPEG", TPicture::Smooth, 3, 1, 16},
      {"CMYK setting coded as YCbCr", TPicture::Smooth, 3, 3, 12},
  };
  TempDir dir;
  for (const TRenderCase& c : cases) {
    const std::string path = dir.File(std::string(c.what) + ".ps");
    TRVBitmap b;
    std::vector<uint8_t> bytes;
    WriteRenderCase(
        c, path,
        [&](TStream& s, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
          params.PS_Compression = c.compression;
          WritePSStream(s, bitmap, params, progress);
        },
        b, bytes);
    const std::vector<TPage> pages = RenderWithGhostscript(path, 1);
    ASSERT_EQ(pages.size(), 1u) << c.what;
    ExpectPageShows(pages[0], b, kScale, c.tolerance, c.what);
  }
}

TEST_F(PostScript, ScalingKeepsTheAspect) {
  struct Case {
    int w, h, paperW, paperH;
    std::string scale;
  } cases[] = {
      {100, 50, 595, 842, "595 -297 scale"},
      {50, 100, 595, 842, "421 -842 scale"},
      {1, 1000, 10, 10, "1 -10 scale"},
      {3000, 2, 612, 792, "612 -1 scale"},
  };
  for (const Case& c : cases) {
    TRVBitmap b;
    ASSERT_TRUE(b.Allocate(c.w, c.h, rv1g));
    TIOParamsVals params;
    params.PS_PaperWidth = c.paperW;
    params.PS_PaperHeight = c.paperH;
    const std::vector<std::string> lines = Lines(WritePS(b, params));
    EXPECT_EQ(lines[7],
              "%%BoundingBox: 0 0 " + std::to_string(c.paperW - 1) + " " + std::to_string(c.paperH - 1));
    EXPECT_EQ(lines[10], "0 " + std::to_string(c.paperH) + " translate");
    EXPECT_EQ(lines[11], c.scale) << c.w << "x" << c.h;
  }
}

TEST_F(PostScript, DateTextIgnoresTheLocale) {
  std::tm t{};
  t.tm_year = 125;
  t.tm_mon = 0;
  t.tm_mday = 5;
  t.tm_wday = 0;
  t.tm_hour = 3;
  t.tm_min = 4;
  t.tm_sec = 9;
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  EXPECT_EQ(PSFormatDate(t), "Sun Jan 05 03:04:09 2025");
  t.tm_mon = 11;
  t.tm_wday = 6;
  t.tm_mday = 27;
  t.tm_hour = 23;
  EXPECT_EQ(PSFormatDate(t), "Sat Dec 27 23:04:09 2025");
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(PadNumberRight(3, 6), "3     ");
  EXPECT_EQ(PadNumberRight(1234567, 6), "1234567");
}

TEST_F(PostScript, ShortWritesAbort) {
  TRVBitmap b;
  FillBilevel(b);
  TIOParamsVals params;
  TMemoryStream full;
  TRVProgressRec fullProgress;
  WritePSStream(full, b, params, fullProgress);
  ASSERT_FALSE(fullProgress.IsAborting());
  const int64_t size = full.GetSize();
  for (int64_t room : {int64_t(0), int64_t(10), int64_t(100), int64_t(260), size / 2, size - 3, size - 1}) {
    TFullDisk s(room);
    TRVProgressRec progress;
    WritePSStream(s, b, params, progress);
    EXPECT_TRUE(progress.IsAborting()) << room;
  }
  // An empty image writes nothing.
  TRVBitmap empty;
  TMemoryStream s;
  TRVProgressRec progress;
  WritePSStream(s, empty, params, progress);
  EXPECT_TRUE(progress.IsAborting());
  EXPECT_EQ(s.GetSize(), 0);
}

}  // namespace
}  // namespace rv

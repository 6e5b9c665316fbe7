// PostScript and PDF through the component: saves by extension, stream and file type, the
// conversion before writing, the write-only rows, a failed save that keeps the older file, and
// closing documents when none is open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::TempDir;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(PsPdfIO, SavesByExtension) {
  struct Case {
    const char* name;
    int32_t type;
    const char* start;
    const char* marker;  // a text the page of a grey image converted to RGB holds
  } cases[] = {
      {"page.ps", ioPS, "%!PS-Adobe-3.0\r\n", "%%Pages: 1     \r\n"},
      {"page.EPS", ioPS, "%!PS-Adobe-3.0\r\n", "9 5 8\r\n"},
      {"page.pdf", ioPDF, "%PDF-1.4\n", "/ColorSpace /DeviceRGB\n"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    TRVBitmap grey(9, 5, rv8g);
    grey.Fill(0x404040);
    TRastovaIO io(&grey);
    int finished = 0;
    io.OnFinishWork = [&](TRastovaIO&) { ++finished; };
    const std::string path = dir.File(c.name);
    io.SaveToFile(path);
    ASSERT_FALSE(io.Aborting) << c.name;
    EXPECT_EQ(finished, 1) << c.name;
    EXPECT_EQ(io.Params.FileType, c.type) << c.name;
    EXPECT_EQ(grey.GetPixelFormat(), rv24RGB) << c.name;  // converted before writing
    const std::string text = Text(iotest::ReadFileBytes(path));
    EXPECT_EQ(text.rfind(c.start, 0), 0u) << c.name;
    EXPECT_NE(text.find(c.marker), std::string::npos) << c.name;
    if (c.type == ioPDF) {
      bool ok = false;
      iotest::RunCapture("/usr/bin/qpdf --check '" + path + "' 2>&1", ok);
      EXPECT_TRUE(ok) << c.name;
    }
  }
  // Only the file is left in the folder.
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"page.EPS", "page.pdf", "page.ps"}));
}

TEST(PsPdfIO, SavesToStreamsKeepingBilevelImages) {
  for (int32_t type : {ioPS, ioPDF}) {
    TRVBitmap bilevel(40, 3, rv1g);
    bilevel.Fill(0xFFFFFF);
    TRastovaIO io(&bilevel);
    TMemoryStream byType, byName;
    io.SaveToStream(byType, type);
    ASSERT_FALSE(io.Aborting) << type;
    EXPECT_EQ(bilevel.GetPixelFormat(), rv1g);
    EXPECT_EQ(io.Params.BitsPerSample, 1);
    if (type == ioPS)
      io.SaveToStreamPS(byName);
    else
      io.SaveToStreamPDF(byName);
    ASSERT_FALSE(io.Aborting) << type;
    const std::string text = Text(byName.Data());
    // The default codings of 1-bit images: Group 4 in both.
    EXPECT_NE(text.find(type == ioPS ? "/K -1 /BlackIs1 true" : "/Filter /CCITTFaxDecode"),
              std::string::npos);
    EXPECT_GT(byType.GetSize(), 0);
  }
}

TEST(PsPdfIO, RowsAreWriteOnly) {
  for (int32_t type : {ioPS, ioPDF}) {
    const TRVFileFormatInfo* row = GetFileFormatInfo(type);
    ASSERT_NE(row, nullptr) << type;
    EXPECT_EQ(row->ReadRoutine, nullptr);
    EXPECT_NE(row->WriteRoutine, nullptr);
  }
  EXPECT_EQ(FileTypeOfExtension("eps"), ioPS);
  EXPECT_EQ(FileTypeOfExtension(".PDF"), ioPDF);

  TempDir dir;
  iotest::WriteFileBytes(dir.File("x.ps"), std::vector<uint8_t>{'%', '!', 'P', 'S'});
  TRVBitmap bitmap(4, 4, rv24RGB);
  TRastovaIO io(&bitmap);
  int finished = 0;
  io.OnFinishWork = [&](TRastovaIO&) { ++finished; };
  io.LoadFromFile(dir.File("x.ps"));
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(bitmap.GetWidth(), 4);
}

TEST(PsPdfIO, FailedSaveKeepsTheOlderFile) {
  TempDir dir;
  for (const char* name : {"old.ps", "old.pdf"}) {
    const std::string path = dir.File(name);
    iotest::WriteFileBytes(path, std::vector<uint8_t>{'o', 'l', 'd'});
    TRVBitmap empty;
    TRastovaIO io(&empty);
    io.SaveToFile(path);
    EXPECT_TRUE(io.Aborting) << name;
    EXPECT_EQ(Text(iotest::ReadFileBytes(path)), "old") << name;
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"old.pdf", "old.ps"}));
}

TEST(PsPdfIO, ClosingWithoutADocumentDoesNothing) {
  TRastovaIO io;
  io.Aborting = false;
  io.ClosePSFile();
  io.ClosePDFFile();
  EXPECT_FALSE(io.Aborting);
  io.Aborting = true;
  io.ClosePSFile();
  io.ClosePDFFile();
  EXPECT_TRUE(io.Aborting);
}

}  // namespace
}  // namespace rv

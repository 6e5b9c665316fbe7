#include "PageTestTools.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace rv::test {

namespace {

// The next header number of a PNM file, skipping "#" comments.
bool HeaderNumber(std::istream& f, int& value) {
  f >> std::ws;
  while (f.peek() == '#') {
    std::string comment;
    std::getline(f, comment);
    f >> std::ws;
  }
  return static_cast<bool>(f >> value);
}

bool ReadPPM(const std::string& path, TPage& page) {
  std::ifstream f(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  if (!(f >> magic) || magic != "P6" || !HeaderNumber(f, page.w) || !HeaderNumber(f, page.h) ||
      !HeaderNumber(f, maxval) || maxval != 255)
    return false;
  f.get();
  page.rgb.assign(static_cast<size_t>(page.w) * page.h * 3, 0);
  f.read(reinterpret_cast<char*>(page.rgb.data()), static_cast<std::streamsize>(page.rgb.size()));
  return static_cast<size_t>(f.gcount()) == page.rgb.size();
}

std::vector<TPage> ReadPages(const std::string& prefix, int pages) {
  std::vector<TPage> out(static_cast<size_t>(pages));
  for (int i = 0; i < pages; ++i)
    if (!ReadPPM(prefix + "-" + std::to_string(i + 1) + ".ppm", out[static_cast<size_t>(i)])) return {};
  return out;
}

}  // namespace

bool HaveGhostscript() { return std::filesystem::exists("/usr/bin/gs"); }
bool HavePoppler() {
  return std::filesystem::exists("/usr/bin/pdftoppm") && std::filesystem::exists("/usr/bin/pdfinfo");
}
bool HaveQpdf() { return std::filesystem::exists("/usr/bin/qpdf"); }

std::vector<TPage> RenderWithGhostscript(const std::string& path, int pages) {
  const std::string prefix = path + ".gs";
  if (!RunCommand("/usr/bin/gs -q -dNOPAUSE -dBATCH -dSAFER -sPAPERSIZE=a4 -dFIXEDMEDIA -sDEVICE=ppmraw -r72 "
                  "-sOutputFile='" +
                  prefix + "-%d.ppm' '" + path + "' >/dev/null 2>&1"))
    return {};
  return ReadPages(prefix, pages);
}

std::vector<TPage> RenderWithPoppler(const std::string& path, int pages) {
  const std::string prefix = path + ".pp";
  if (!RunCommand("/usr/bin/pdftoppm -r 72 '" + path + "' '" + prefix + "' >/dev/null 2>&1")) return {};
  return ReadPages(prefix, pages);
}

void FillNoisy(TRVBitmap& bitmap, int w, int h) { FillTestBitmap(bitmap, w, h); }

void FillSmooth(TRVBitmap& bitmap, int w, int h) {
  ASSERT_TRUE(bitmap.Allocate(w, h, rv24RGB));
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bitmap.GetScanLine(y);
    for (int x = 0; x < w; ++x) {
      row[3 * x + 0] = uint8_t(64 + x);       // blue
      row[3 * x + 1] = uint8_t(200 - 2 * y);  // green
      row[3 * x + 2] = uint8_t(40 + x + y);   // red
    }
  }
}

void FillBilevel(TRVBitmap& bitmap, int w, int h) {
  ASSERT_TRUE(bitmap.Allocate(w, h, rv1g));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // Long runs, isolated dots and a frame, so that every kind of code is met.
      const bool black = (x / 9 + y / 6) % 3 == 0 || (x * y) % 13 == 1 || x == 0 || y == h - 1;
      bitmap.SetPixels_rv1g(x, y, !black);
    }
}

void FillPairs(TRVBitmap& bitmap, TRVPixelFormat format, int w, int h) {
  ASSERT_TRUE(bitmap.Allocate(w, h, format));
  const int bytes = format == rv1g ? (w + 7) / 8 : 3 * w;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bitmap.GetScanLine(y);
    for (int i = 0; i < bytes; ++i) row[i] = uint8_t(((i + 1) / 2) * 37 + y);
  }
}

void FillPicture(TRVBitmap& bitmap, TPicture kind) {
  switch (kind) {
    case TPicture::Bilevel:
      FillBilevel(bitmap);
      break;
    case TPicture::Noisy:
      FillNoisy(bitmap);
      break;
    case TPicture::Smooth:
      FillSmooth(bitmap);
      break;
    case TPicture::BilevelPairs:
      FillPairs(bitmap, rv1g);
      break;
    case TPicture::ColorPairs:
      FillPairs(bitmap, rv24RGB);
      break;
  }
}

void MakeGrey(TRVBitmap& bitmap) {
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) {
      uint8_t* d = bitmap.GetScanLine(y) + 3 * x;
      d[0] = d[1] = d[2] = uint8_t((d[2] * 299 + d[1] * 587 + d[0] * 114) / 1000);
    }
}

void WriteRenderCase(const TRenderCase& c, const std::string& path, const TPageWrite& write,
                     TRVBitmap& expected, std::vector<uint8_t>& bytes) {
  FillPicture(expected, c.picture);
  TIOParamsVals params;
  params.JPEG_ColorSpace = c.jpegColorSpace;
  params.JPEG_Quality = 95;
  TMemoryStream s;
  TRVProgressRec progress;
  write(s, expected, params, progress);
  ASSERT_FALSE(progress.IsAborting()) << c.what;
  EXPECT_EQ(params.JPEG_ColorSpace, c.jpegColorSpace) << c.what;
  bytes = s.Data();
  WriteFileBytes(path, bytes);
  if (c.jpegColorSpace == 1) MakeGrey(expected);
}

void ExpectPageShows(const TPage& page, TRVBitmap& bitmap, int scale, int tolerance,
                     const std::string& what) {
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  ASSERT_GE(page.w, w * scale) << what;
  ASSERT_GE(page.h, h * scale + 10) << what;
  int bad = 0;
  for (int y = 0; y < h && bad < 5; ++y)
    for (int x = 0; x < w && bad < 5; ++x) {
      const TRGB e = bitmap.GetPixels(x, y);
      const uint8_t* p = page.At(x * scale + scale / 2, y * scale + scale / 2);
      if (std::abs(p[0] - e.r) > tolerance || std::abs(p[1] - e.g) > tolerance ||
          std::abs(p[2] - e.b) > tolerance) {
        ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << ","
                      << int(p[2]) << ", expected " << int(e.r) << "," << int(e.g) << "," << int(e.b);
        ++bad;
      }
    }
  // Nothing below the picture.
  for (int x = 0; x < page.w; x += 7) {
    const uint8_t* p = page.At(x, h * scale + 5);
    EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255) << what << ": below the picture at x " << x;
  }
}

std::string TextOf(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace rv::test

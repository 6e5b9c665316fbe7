#include "TiffTestTools.h"

#include <cstdio>

namespace rv::test {

std::unique_ptr<TiffRead> ReadTiff(const std::vector<uint8_t>& data, int32_t index, bool native, bool tagsOnly,
                                   bool thumbnail) {
  auto r = std::make_unique<TiffRead>();
  r->params.TIFF_ImageIndex = index;
  r->params.NativePixelFormat = native;
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadTIFFStream(r->bitmap, *s, r->pages, thumbnail, false, true, r->mask, tagsOnly, progress, r->params);
  r->ok = !progress.IsAborting();
  return r;
}

std::vector<uint8_t> WriteTiff(TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha, bool* ok) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteTIFFStream(s, false, &bitmap, alpha, progress, params);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

bool HaveTiffTools() { return RunCommand("command -v tiffcp >/dev/null && command -v tiffdump >/dev/null"); }

std::string TiffDump(const std::string& path) {
  const std::string out = path + ".dump";
  if (!RunCommand("tiffdump '" + path + "' > '" + out + "' 2>&1")) return {};
  const std::vector<uint8_t> b = ReadFileBytes(out);
  return std::string(b.begin(), b.end());
}

}  // namespace rv::test

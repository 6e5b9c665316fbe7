#include "rastova/codecs/RVEXIF.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "rastova/codecs/tiff/tiffilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVRotate.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVTIFFHandler.h"

namespace rv {

namespace {

constexpr int64_t kHeaderScan = 131072;
const uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

// Reads the TIFF at the stream's position with relative offsets; the outcome of the read.
bool ReadTIFF(TStream& stream, TRVBitmap& bitmap, bool thumbnailMode, bool tagsOnly, TIOParamsVals& params) {
  std::atomic<bool> aborting{false};
  TRVProgressRec progress(&aborting);
  std::unique_ptr<TRVMask> mask;
  int32_t pages = 0;
  try {
    ReadTIFFStream(bitmap, stream, pages, thumbnailMode, true, true, mask, tagsOnly, progress, params);
  } catch (...) {
    return false;
  }
  return !aborting;
}

// Makes sure the thumbnail exists and holds no image.
void EmptyThumbnail(TIOParamsVals& params) {
  if (!params.EXIF_Thumbnail) params.EXIF_Thumbnail = std::make_unique<TRVBitmap>();
  params.EXIF_Thumbnail->FreeImage(true);
}

// Whether `a` is the thumbnail to keep over `b`: not empty, narrower than `b` (or `b` empty), and
// not all black.
bool Preferred(TRVBitmap& a, TRVBitmap& b) {
  return a.GetWidth() > 0 && (a.GetWidth() < b.GetWidth() || b.GetWidth() == 0) && !a.IsAllZero();
}

}  // namespace

const uint16_t kInjectedEXIFTags[23] = {271,   272,   306,   274,   282,   283,   296,   305,
                                        315,   318,   531,   319,   529,   532,   33432, 18246,
                                        40091, 40092, 40093, 40094, 40095, 34665, 34853};

std::vector<uint8_t> BuildEXIFBlock(TIOParamsVals& params, bool withHeader) {
  TMemoryStream m;
  std::atomic<bool> aborting{false};
  TRVProgressRec progress(&aborting);
  WriteTIFFStream(m, false, nullptr, nullptr, progress, params);
  if (params.EXIF_Thumbnail && !params.EXIF_Thumbnail->IsEmpty()) {
    TIOParamsVals thumb;
    thumb.SetImageIndex(1);
    thumb.TIFF_Compression = 6;
    m.SetPosition(0);
    try {
      WriteTIFFStream(m, true, params.EXIF_Thumbnail.get(), nullptr, progress, thumb);
    } catch (...) {
      aborting = true;
    }
  }
  const size_t header = withHeader ? sizeof(kExifHeader) : 0;
  std::vector<uint8_t> out(header + m.Data().size());
  if (header) std::memcpy(out.data(), kExifHeader, header);
  if (!m.Data().empty()) std::memcpy(out.data() + header, m.Data().data(), m.Data().size());
  return out;
}

bool ReadEXIFMarker(const uint8_t* data, int32_t length, TIOParamsVals& params) {
  if (!IsEXIFMarker(data, length)) return false;
  TRVMemStream m(data + 6, length - 6);
  TIOParamsVals temp;
  EmptyThumbnail(params);
  TRVBitmap scratch;
  ReadTIFF(m, scratch, false, true, temp);
  CopyEXIFParams(temp, params);
  params.EXIF_HasEXIFData = true;
  temp.SetImageIndex(1);
  m.SetPosition(0);
  if (!ReadTIFF(m, *params.EXIF_Thumbnail, true, false, temp)) params.EXIF_Thumbnail->FreeImage(true);
  if (!params.EXIF_Thumbnail->IsEmpty())
    ApplyEXIFOrientation(*params.EXIF_Thumbnail, params.TIFF_Orientation);
  return true;
}

int64_t FindTIFFHeader(TStream& stream) {
  const int64_t start = stream.GetPosition();
  const int64_t size = stream.GetSize();
  std::vector<uint8_t> b(static_cast<size_t>(std::clamp<int64_t>(size - start, 0, kHeaderScan)));
  const int64_t n =
      b.empty() ? 0 : std::max<int64_t>(stream.Read(b.data(), static_cast<int64_t>(b.size())), 0);
  int64_t found = -1;
  for (int64_t i = 0; i + 8 <= n && found < 0; ++i) {
    const uint8_t* p = b.data() + i;
    const bool ii = p[0] == 'I' && p[1] == 'I', mm = p[0] == 'M' && p[1] == 'M';
    if (!ii && !mm) continue;
    const uint16_t magic = ii ? uint16_t(p[2] | (p[3] << 8)) : uint16_t((p[2] << 8) | p[3]);
    const uint32_t first =
        ii ? uint32_t(p[4]) | (uint32_t(p[5]) << 8) | (uint32_t(p[6]) << 16) | (uint32_t(p[7]) << 24)
           : (uint32_t(p[4]) << 24) | (uint32_t(p[5]) << 16) | (uint32_t(p[6]) << 8) | uint32_t(p[7]);
    if ((magic == 42 || magic == 0x4F52 || magic == 0x5352) && first < size) found = i;
  }
  stream.SetPosition(start);
  return found;
}

bool ReadRawEXIF(TStream& stream, TIOParamsVals& params) {
  const int64_t start = stream.GetPosition();
  TIOParamsVals temp;
  TRVBitmap first, second;
  EmptyThumbnail(params);
  ReadTIFF(stream, first, false, true, temp);
  CopyEXIFParams(temp, params);
  params.EXIF_HasEXIFData = true;
  temp.SetImageIndex(0);
  stream.SetPosition(start);
  if (!ReadTIFF(stream, first, true, false, temp)) first.FreeImage(true);
  temp.SetImageIndex(1);
  stream.SetPosition(start);
  if (!ReadTIFF(stream, second, true, false, temp)) second.FreeImage(true);
  if (Preferred(first, second))
    params.EXIF_Thumbnail->Assign(&first);
  else if (Preferred(second, first))
    params.EXIF_Thumbnail->Assign(&second);
  stream.SetPosition(start);
  return true;
}

bool ReadTIFFStreamEXIF(TStream& stream, TIOParamsVals& params) {
  const int64_t start = stream.GetPosition();
  EmptyThumbnail(params);
  TRVBitmap scratch;
  ReadTIFF(stream, scratch, false, true, params);
  stream.SetPosition(start);
  return true;
}

void CopyEXIFParams(const TIOParamsVals& source, TIOParamsVals& dest) {
  const bool had = dest.EXIF_HasEXIFData;
  static_cast<TIOParamsEXIF&>(dest) = static_cast<const TIOParamsEXIF&>(source);
  dest.EXIF_HasEXIFData = had;
  dest.SetEXIF_Orientation(source.EXIF_Orientation);
  dest.SetEXIF_XResolution(source.EXIF_XResolution);
  dest.SetEXIF_YResolution(source.EXIF_YResolution);
  dest.EXIF_ImageDescription = source.TIFF_ImageDescription;
  dest.EXIF_MakerNote.Assign(source.EXIF_MakerNote);
}

bool InjectTIFFEXIF(TStream* source, TStream* dest, const std::string& sourceFile, TIOParamsVals& params,
                    int32_t page, const std::string& destFile) {
  const std::vector<uint8_t> block = BuildEXIFBlock(params, false);
  TRVMemStream blockStream(block.data(), static_cast<int64_t>(block.size()));
  TRVTIFFHandler exif;
  exif.LoadFromStream(blockStream);
  TRVTIFFHandler target;
  int64_t start = 0;
  if (source) {
    start = source->GetPosition();
    target.LoadFromStream(*source);
  } else {
    target.LoadFromFile(sourceFile);
  }
  // Nothing is written over a target that could not be read, nor over one whose byte order
  // differs from the block's: its tags would not be copied, and a rewrite would change nothing.
  if (target.PageCount() == 0 || target.BigEndian() != exif.BigEndian()) return false;
  for (uint16_t tag : kInjectedEXIFTags) target.CopyTag(0, exif.FindTag(0, tag), exif, page);
  if (dest) {
    if (dest == source) dest->SetPosition(start);
    target.WriteStream(*dest, -1);
    // Rewritten in place: what is left of the old file behind the new one goes.
    if (dest == source && dest->GetPosition() < dest->GetSize()) {
      try {
        dest->SetSize(dest->GetPosition());
      } catch (...) {
      }
    }
  } else {
    target.WriteFile(destFile, -1);
  }
  return true;
}

}  // namespace rv

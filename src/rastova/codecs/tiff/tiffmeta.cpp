// The metadata of TIFF pages: the descriptive tags of IFD 0, the EXIF and GPS IFDs with the
// MakerNote and the user comment, and the IPTC, XMP, annotation and ICC blocks. The reader calls
// ReadTIFFMetadata for every page it reads; the writer calls WriteTIFFMetadata for the
// descriptive tags (with the EXIF and GPS IFDs when the parameters hold EXIF data) and for the
// blocks. Because an EXIF block is itself a small TIFF, the same code serves JPEG, camera-raw and
// HD Photo EXIF (RVEXIF.h).
#include <algorithm>
#include <cstring>

#include "common/CodePage.h"
#include "common/NumberText.h"
#include "rastova/codecs/tiff/tiffdefs.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv::tiff {

namespace {

constexpr uint16_t ttSRational = 10;
constexpr uint32_t kMaxTextCount = 1048575;
const char kUnicodeCode[] = "UNICODE\0";  // 8 bytes with its NUL

// ---------------------------------------------------------------- reading

// Item i of a RATIONAL or SRATIONAL tag.
double SignedRational(const TTIFFIFD& ifd, uint16_t tag, uint32_t index, double fallback) {
  const TIFDEntry* e = ifd.Find(tag);
  if (!e || index >= e->count || (e->type != ttRational && e->type != ttSRational)) return fallback;
  uint8_t b[8];
  if (!ifd.ReadAt(ifd.DataPosition(*e) + int64_t(index) * 8, b, 8)) return fallback;
  const uint32_t num = Get32(b, ifd.littleEndian), den = Get32(b + 4, ifd.littleEndian);
  if (e->type == ttSRational) {
    const int32_t d = static_cast<int32_t>(den);
    return static_cast<double>(static_cast<int32_t>(num)) / (d == 0 ? 1.0 : static_cast<double>(d));
  }
  return static_cast<double>(num) / (den == 0 ? 1.0 : static_cast<double>(den));
}

// The entry's bytes as a string (NULs kept).
std::string Bytes(const TTIFFIFD& ifd, uint16_t tag) {
  const TIFDEntry* e = ifd.Find(tag);
  if (!e || e->count > kMaxTextCount) return {};
  const std::vector<uint8_t> raw = ifd.Raw(tag);
  return std::string(raw.begin(), raw.end());
}

std::u16string Latin(const std::string& s) {
  std::u16string out;
  for (unsigned char c : s) out.push_back(static_cast<char16_t>(common::Cp1252ToCodePoint(c)));
  return out;
}

void ReadUserComment(const TTIFFIFD& ifd, TIOParamsVals& p) {
  const TIFDEntry* e = ifd.Find(37510);
  if (!e) return;
  const std::vector<uint8_t> raw = e->count <= kMaxTextCount ? ifd.Raw(37510) : std::vector<uint8_t>{};
  if (raw.size() <= 8) {
    p.EXIF_UserCommentCode.assign(kUnicodeCode, 8);
    p.EXIF_UserComment.clear();
    return;
  }
  p.EXIF_UserCommentCode.assign(raw.begin(), raw.begin() + 8);
  if (p.EXIF_UserCommentCode == std::string(kUnicodeCode, 8)) {
    // An odd length leaves its last byte out.
    const size_t chars = (raw.size() - 8) / 2;
    std::u16string s(chars, u'\0');
    for (size_t i = 0; i < chars; ++i) {
      const uint8_t* q = raw.data() + 8 + 2 * i;
      s[i] = static_cast<char16_t>(ifd.littleEndian ? q[0] | (q[1] << 8) : (q[0] << 8) | q[1]);
    }
    p.EXIF_UserComment = s.substr(0, s.find(u'\0'));
  } else {
    std::string s(raw.begin() + 8, raw.end());
    p.EXIF_UserComment = Latin(s.substr(0, s.find('\0')));
  }
}

void ReadMakerNoteTag(const TTIFFIFD& ifd, TIOParamsVals& p) {
  p.EXIF_MakerNote.Clear();
  const TIFDEntry* e = ifd.Find(37500);
  if (!e || e->count == 0) return;
  const int64_t size = ifd.stream->GetSize();
  const int64_t at = ifd.DataPosition(*e);
  if (e->count <= 4 || at >= size) return;
  // Positions inside a MakerNote count from the TIFF header, as the note's offsets do.
  TRVOffsetStream based(*ifd.stream, ifd.base, false);
  based.SetPosition(e->value);
  // The count is clipped to the stream by the handler.
  p.EXIF_MakerNote.ReadMakerNote(based, static_cast<int32_t>(std::min<uint32_t>(e->count, INT32_MAX)),
                                 ifd.littleEndian);
}

void ReadEXIFIFD(const TTIFFIFD& x, TIOParamsVals& p) {
  p.SetEXIF_ExposureTime(SignedRational(x, 33434, 0, -1));
  p.SetEXIF_FNumber(SignedRational(x, 33437, 0, -1));
  p.SetEXIF_ExposureProgram(static_cast<int32_t>(x.Integer(34850, -1)));
  p.EXIF_ISOSpeedRatings[0] = static_cast<int32_t>(x.Item(34855, 0, 0));
  p.EXIF_ISOSpeedRatings[1] = static_cast<int32_t>(x.Item(34855, 1, 0));
  std::string version = Bytes(x, 36864);
  p.EXIF_ExifVersion = version.substr(0, version.find('\0'));
  p.EXIF_DateTimeOriginal = x.Ascii(36867);
  p.EXIF_DateTimeDigitized = x.Ascii(36868);
  p.SetEXIF_CompressedBitsPerPixel(SignedRational(x, 37122, 0, 0));
  p.SetEXIF_ShutterSpeedValue(SignedRational(x, 37377, 0, -1));
  p.SetEXIF_ApertureValue(SignedRational(x, 37378, 0, -1));
  p.SetEXIF_BrightnessValue(SignedRational(x, 37379, 0, -1000));
  p.SetEXIF_ExposureBiasValue(SignedRational(x, 37380, 0, -1000));
  p.SetEXIF_MaxApertureValue(SignedRational(x, 37381, 0, -1000));
  p.SetEXIF_SubjectDistance(SignedRational(x, 37382, 0, -1));
  p.SetEXIF_MeteringMode(static_cast<int32_t>(x.Integer(37383, -1)));
  p.SetEXIF_LightSource(static_cast<int32_t>(x.Integer(37384, -1)));
  p.SetEXIF_Flash(static_cast<int32_t>(x.Integer(37385, -1)));
  p.SetEXIF_FocalLength(SignedRational(x, 37386, 0, -1));
  ReadMakerNoteTag(x, p);
  ReadUserComment(x, p);
  p.EXIF_SubsecTime = x.Ascii(37520);
  p.EXIF_SubsecTimeOriginal = x.Ascii(37521);
  p.EXIF_SubsecTimeDigitized = x.Ascii(37522);
  version = Bytes(x, 40960);
  p.EXIF_FlashPixVersion = version.substr(0, version.find('\0'));
  p.SetEXIF_ColorSpace(static_cast<int32_t>(x.Integer(40961, -1)));
  p.SetEXIF_PixelXDimension(static_cast<uint32_t>(x.Integer(40962, 0)));
  p.SetEXIF_PixelYDimension(static_cast<uint32_t>(x.Integer(40963, 0)));
  p.EXIF_RelatedSoundFile = x.Ascii(40964);
  p.SetEXIF_FocalPlaneXResolution(SignedRational(x, 41486, 0, -1));
  p.SetEXIF_FocalPlaneYResolution(SignedRational(x, 41487, 0, -1));
  p.SetEXIF_FocalPlaneResolutionUnit(static_cast<int32_t>(x.Integer(41488, -1)));
  p.SetEXIF_ExposureIndex(SignedRational(x, 41493, 0, -1));
  p.SetEXIF_SensingMethod(static_cast<int32_t>(x.Integer(41495, -1)));
  const std::string fileSource = Bytes(x, 41728), sceneType = Bytes(x, 41729);
  p.SetEXIF_FileSource(fileSource.empty() ? -1 : static_cast<uint8_t>(fileSource[0]));
  p.SetEXIF_SceneType(sceneType.empty() ? -1 : static_cast<uint8_t>(sceneType[0]));
  p.EXIF_ExposureMode = static_cast<int32_t>(x.Integer(41986, -1));
  p.EXIF_WhiteBalance = static_cast<int32_t>(x.Integer(41987, -1));
  p.EXIF_DigitalZoomRatio = SignedRational(x, 41988, 0, -1);
  p.EXIF_FocalLengthIn35mmFilm = static_cast<int32_t>(x.Integer(41989, -1));
  p.EXIF_SceneCaptureType = static_cast<int32_t>(x.Integer(41990, -1));
  p.EXIF_GainControl = static_cast<int32_t>(x.Integer(41991, -1));
  p.EXIF_Contrast = static_cast<int32_t>(x.Integer(41992, -1));
  p.EXIF_Saturation = static_cast<int32_t>(x.Integer(41993, -1));
  p.EXIF_Sharpness = static_cast<int32_t>(x.Integer(41994, -1));
  p.EXIF_SubjectDistanceRange = static_cast<int32_t>(x.Integer(41996, -1));
  p.EXIF_ImageUniqueID = x.Ascii(42016);
}

void ReadTriple(const TTIFFIFD& g, uint16_t tag, double (&out)[3]) {
  for (uint32_t i = 0; i < 3; ++i) out[i] = SignedRational(g, tag, i, 0);
}

void ReadGPSIFD(const TTIFFIFD& g, TIOParamsVals& p) {
  const std::string version = Bytes(g, 0);
  std::string v;
  for (size_t i = 0; i < version.size(); ++i) {
    if (i > 0) v += '.';
    v += std::to_string(static_cast<uint8_t>(version[i]));
  }
  p.EXIF_GPSVersionID = v;
  p.EXIF_GPSLatitudeRef = Bytes(g, 1);
  ReadTriple(g, 2, p.EXIF_GPSLatitude);
  p.EXIF_GPSLongitudeRef = Bytes(g, 3);
  ReadTriple(g, 4, p.EXIF_GPSLongitude);
  p.EXIF_GPSAltitudeRef = g.Has(5) ? std::to_string(g.Integer(5, 0)) : std::string();
  p.EXIF_GPSAltitude = SignedRational(g, 6, 0, 0);
  ReadTriple(g, 7, p.EXIF_GPSTimeStamp);
  p.EXIF_GPSSatellites = g.Ascii(8);
  p.EXIF_GPSStatus = Bytes(g, 9);
  p.EXIF_GPSMeasureMode = Bytes(g, 10);
  p.EXIF_GPSDOP = SignedRational(g, 11, 0, 0);
  p.EXIF_GPSSpeedRef = Bytes(g, 12);
  p.EXIF_GPSSpeed = SignedRational(g, 13, 0, 0);
  p.EXIF_GPSTrackRef = Bytes(g, 14);
  p.EXIF_GPSTrack = SignedRational(g, 15, 0, 0);
  p.EXIF_GPSImgDirectionRef = Bytes(g, 16);
  p.EXIF_GPSImgDirection = SignedRational(g, 17, 0, 0);
  p.EXIF_GPSMapDatum = g.Ascii(18);
  p.EXIF_GPSDestLatitudeRef = Bytes(g, 19);
  ReadTriple(g, 20, p.EXIF_GPSDestLatitude);
  p.EXIF_GPSDestLongitudeRef = Bytes(g, 21);
  ReadTriple(g, 22, p.EXIF_GPSDestLongitude);
  p.EXIF_GPSDestBearingRef = Bytes(g, 23);
  p.EXIF_GPSDestBearing = SignedRational(g, 24, 0, 0);
  p.EXIF_GPSDestDistanceRef = Bytes(g, 25);
  p.EXIF_GPSDestDistance = SignedRational(g, 26, 0, 0);
  p.EXIF_GPSDateStamp = g.Ascii(29);
}

void ReadPageTags(const TTIFFIFD& page, TIOParamsVals& p) {
  p.TIFF_ImageDescription = page.Ascii(270);
  p.EXIF_ImageDescription = p.TIFF_ImageDescription;
  p.EXIF_Make = page.Ascii(271);
  p.EXIF_Model = page.Ascii(272);
  p.EXIF_ResolutionUnit = static_cast<int32_t>(page.Integer(296, 2));
  p.EXIF_Software = page.Ascii(305);
  p.EXIF_DateTime = page.Ascii(306);
  p.EXIF_Artist = page.Ascii(315);
  for (int32_t i = 0; i < 2; ++i) p.EXIF_WhitePoint[i] = SignedRational(page, 318, i, -1);
  for (int32_t i = 0; i < 6; ++i) p.EXIF_PrimaryChromaticities[i] = SignedRational(page, 319, i, -1);
  for (int32_t i = 0; i < 3; ++i) p.EXIF_YCbCrCoefficients[i] = SignedRational(page, 529, i, -1);
  p.EXIF_YCbCrPositioning = static_cast<int32_t>(page.Integer(531, -1));
  for (int32_t i = 0; i < 6; ++i) p.EXIF_ReferenceBlackWhite[i] = SignedRational(page, 532, i, -1);
  p.EXIF_Rating = static_cast<int32_t>(page.Integer(18246, -1));
  p.EXIF_Copyright = page.Ascii(33432);
  std::u16string* xp[5] = {&p.EXIF_XPTitle, &p.EXIF_XPComment, &p.EXIF_XPAuthor, &p.EXIF_XPKeywords,
                           &p.EXIF_XPSubject};
  for (uint16_t i = 0; i < 5; ++i) {
    std::u16string s = page.Wide(static_cast<uint16_t>(40091 + i));
    *xp[i] = s.substr(0, s.find(u'\0'));
  }
}

void ReadBlocks(const TTIFFIFD& page, TIOParamsVals& p) {
  p.IPTC_Info.Clear();
  const std::vector<uint8_t> iptc = page.Raw(33723);
  if (!iptc.empty() && iptc.size() <= INT32_MAX)
    p.IPTC_Info.LoadFromBuffer(iptc.data(), static_cast<int32_t>(iptc.size()));
  p.IPTC_Info.Changed = false;
  p.XMP_Info.clear();
  const TIFDEntry* xmp = page.Find(700);
  if (xmp && (xmp->type == ttByte || xmp->type == ttUndefined)) {
    const std::vector<uint8_t> raw = page.Raw(700);
    p.XMP_Info.assign(raw.begin(), raw.end());
  }
  if (page.Has(32932)) {
    const std::vector<uint8_t> wang = page.Raw(32932);
    p.GetImagingAnnot().LoadFromWangData(wang.data(), wang.size());
  }
  if (page.Has(34675)) {
    const std::vector<uint8_t> icc = page.Raw(34675);
    if (!icc.empty()) p.GetInputICCProfile().LoadFromBuffer(icc.data(), static_cast<int64_t>(icc.size()));
  }
}

// The sub-IFD that tag `pointer` of the page points to, in its own context; false when absent.
bool LoadSubIFD(const TTIFFIFD& page, uint16_t pointer, TTIFFIFD& sub) {
  const int64_t offset = page.Integer(pointer, 0);
  if (offset <= 0) return false;
  sub.littleEndian = page.littleEndian;
  sub.stream = page.stream;
  sub.base = page.base;
  int32_t count = 0;
  return LoadTIFFIFD(0, static_cast<uint32_t>(offset), sub, count);
}

// ---------------------------------------------------------------- writing

void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Adds entries to a list, their out-of-line data going to the stream at even positions.
struct TTagWriter {
  TTIFFEntryList& list;
  TStream& out;

  uint32_t Align() {
    if (out.GetPosition() & 1) {
      const uint8_t zero = 0;
      out.Write(&zero, 1);
    }
    return static_cast<uint32_t>(out.GetPosition());
  }
  // Values of up to 4 bytes stand in the entry; longer ones go to the stream.
  void AddRaw(uint16_t tag, uint16_t type, uint32_t count, const uint8_t* data, size_t size) {
    if (size <= 4) {
      uint32_t v = 0;
      for (size_t i = 0; i < size; ++i) v |= uint32_t(data[i]) << (8 * i);
      list.Add(tag, type, count, v);
      return;
    }
    const uint32_t at = Align();
    out.Write(data, static_cast<int64_t>(size));
    list.Add(tag, type, count, at);
  }
  void AddShort(uint16_t tag, int32_t v) { list.Add(tag, ttShort, 1, static_cast<uint16_t>(v)); }
  void AddShorts(uint16_t tag, const std::vector<uint16_t>& v) {
    std::vector<uint8_t> raw(v.size() * 2);
    for (size_t i = 0; i < v.size(); ++i) PutLE16(&raw[2 * i], v[i]);
    AddRaw(tag, ttShort, static_cast<uint32_t>(v.size()), raw.data(), raw.size());
  }
  // The text and its terminating zero.
  void AddAscii(uint16_t tag, const std::string& s) {
    if (s.empty()) return;
    std::vector<uint8_t> raw(s.begin(), s.end());
    raw.push_back(0);
    AddRaw(tag, ttAscii, static_cast<uint32_t>(raw.size()), raw.data(), raw.size());
  }
  // The bytes as they stand (up to 4, in the entry), count = their number.
  void AddInEntry(uint16_t tag, uint16_t type, const std::string& s) {
    if (s.empty()) return;
    const size_t n = std::min<size_t>(s.size(), 4);
    AddRaw(tag, type, static_cast<uint32_t>(n), reinterpret_cast<const uint8_t*>(s.data()), n);
  }
  void AddRationals(uint16_t tag, const double* v, size_t n, bool isSigned = false) {
    std::vector<uint8_t> raw(n * 8);
    for (size_t i = 0; i < n; ++i) {
      int32_t num = 0, den = 1;
      FloatToRational(num, den, v[i], 5e-9);
      if (den < 0) {
        num = -num;
        den = -den;
      }
      if (!isSigned && num < 0) num = 0;  // an unsigned rational has no negative values
      PutLE32(&raw[8 * i], static_cast<uint32_t>(num));
      PutLE32(&raw[8 * i + 4], static_cast<uint32_t>(den));
    }
    AddRaw(tag, isSigned ? ttSRational : uint16_t(ttRational), static_cast<uint32_t>(n), raw.data(),
           raw.size());
  }
  void AddRational(uint16_t tag, double v, bool isSigned = false) { AddRationals(tag, &v, 1, isSigned); }
  void AddWide(uint16_t tag, const std::u16string& s) {
    if (s.empty()) return;
    std::vector<uint8_t> raw(s.size() * 2 + 2, 0);
    for (size_t i = 0; i < s.size(); ++i) PutLE16(&raw[2 * i], s[i]);
    if (s.size() == 1) raw.resize(4, 0);
    AddRaw(tag, ttByte, static_cast<uint32_t>(raw.size()), raw.data(), raw.size());
  }
  // Writes `sub` as an IFD at an even position and adds the pointer tag.
  void AddSubIFD(uint16_t tag, TTIFFEntryList& sub) {
    auto& e = sub.entries;
    std::stable_sort(e.begin(), e.end(),
                     [](const TIFDEntry& a, const TIFDEntry& b) { return a.tag < b.tag; });
    const uint32_t at = Align();
    std::vector<uint8_t> raw(2 + e.size() * 12 + 4, 0);
    PutLE16(raw.data(), static_cast<uint16_t>(e.size()));
    for (size_t i = 0; i < e.size(); ++i) {
      uint8_t* q = &raw[2 + 12 * i];
      PutLE16(q, e[i].tag);
      PutLE16(q + 2, e[i].type);
      PutLE32(q + 4, e[i].count);
      PutLE32(q + 8, e[i].value);
    }
    out.Write(raw.data(), static_cast<int64_t>(raw.size()));
    list.Add(tag, ttLong, 1, at);
  }
};

void WriteUserComment(TTagWriter& w, const TIOParamsVals& p) {
  std::string code = p.EXIF_UserCommentCode.empty() ? std::string(kUnicodeCode, 8) : p.EXIF_UserCommentCode;
  if (p.EXIF_UserComment.empty() || code.size() != 8) return;
  std::vector<uint8_t> raw(code.begin(), code.end());
  if (code == std::string(kUnicodeCode, 8)) {
    for (char16_t c : p.EXIF_UserComment) {
      raw.push_back(uint8_t(c));
      raw.push_back(uint8_t(c >> 8));
    }
    raw.push_back(0);
    raw.push_back(0);
  } else {
    // ASCII and any other code: the text as 8-bit characters and a zero.
    for (char16_t c : p.EXIF_UserComment) {
      const int b = common::CodePointToCp1252(c);
      raw.push_back(static_cast<uint8_t>(b < 0 ? '?' : b));
    }
    raw.push_back(0);
  }
  w.AddRaw(37510, ttUndefined, static_cast<uint32_t>(raw.size()), raw.data(), raw.size());
}

void WriteMakerNote(TTagWriter& w, TIOParamsVals& p) {
  if (p.EXIF_MakerNote.InternalStream().GetSize() <= 12) return;
  const uint32_t at = w.Align();
  const int32_t count = p.EXIF_MakerNote.WriteMakerNote(w.out);
  if (count > 0) w.list.Add(37500, ttUndefined, static_cast<uint32_t>(count), at);
}

void WriteEXIFIFD(TTagWriter& parent, TIOParamsVals& p) {
  TTIFFEntryList sub;
  TTagWriter w{sub, parent.out};
  auto listed = [&](uint16_t tag) { return p.HasEXIFTag(tag); };
  if (listed(33434)) w.AddRational(33434, p.EXIF_ExposureTime);
  if (listed(33437)) w.AddRational(33437, p.EXIF_FNumber);
  if (listed(34850)) w.AddShort(34850, p.EXIF_ExposureProgram);
  if (p.EXIF_ISOSpeedRatings[1] != 0)
    w.AddShorts(34855, {uint16_t(p.EXIF_ISOSpeedRatings[0]), uint16_t(p.EXIF_ISOSpeedRatings[1])});
  else if (p.EXIF_ISOSpeedRatings[0] != 0)
    w.AddShort(34855, p.EXIF_ISOSpeedRatings[0]);
  {
    const std::string& v = p.EXIF_ExifVersion;
    const size_t n = std::min<size_t>(v.size(), 4);
    w.AddRaw(36864, ttAscii, static_cast<uint32_t>(n), reinterpret_cast<const uint8_t*>(v.data()), n);
  }
  w.AddAscii(36867, p.EXIF_DateTimeOriginal);
  w.AddAscii(36868, p.EXIF_DateTimeDigitized);
  if (listed(37122)) w.AddRational(37122, p.EXIF_CompressedBitsPerPixel);
  if (listed(37377)) w.AddRational(37377, p.EXIF_ShutterSpeedValue, true);
  if (listed(37378)) w.AddRational(37378, p.EXIF_ApertureValue);
  if (listed(37379)) w.AddRational(37379, p.EXIF_BrightnessValue, true);
  if (listed(37380)) w.AddRational(37380, p.EXIF_ExposureBiasValue, true);
  if (listed(37381)) w.AddRational(37381, p.EXIF_MaxApertureValue);
  if (listed(37382)) w.AddRational(37382, p.EXIF_SubjectDistance);
  if (listed(37383)) w.AddShort(37383, p.EXIF_MeteringMode);
  if (listed(37384)) w.AddShort(37384, p.EXIF_LightSource);
  if (listed(37385)) w.AddShort(37385, p.EXIF_Flash);
  if (listed(37386)) w.AddRational(37386, p.EXIF_FocalLength);
  WriteMakerNote(w, p);
  WriteUserComment(w, p);
  w.AddAscii(37520, p.EXIF_SubsecTime);
  w.AddAscii(37521, p.EXIF_SubsecTimeOriginal);
  w.AddAscii(37522, p.EXIF_SubsecTimeDigitized);
  w.AddInEntry(40960, ttAscii, p.EXIF_FlashPixVersion);
  if (listed(40961)) w.AddShort(40961, p.EXIF_ColorSpace);
  if (listed(40962)) w.AddShort(40962, static_cast<int32_t>(p.EXIF_PixelXDimension & 0xFFFF));
  if (listed(40963)) w.AddShort(40963, static_cast<int32_t>(p.EXIF_PixelYDimension & 0xFFFF));
  w.AddAscii(40964, p.EXIF_RelatedSoundFile);
  if (listed(41486)) w.AddRational(41486, p.EXIF_FocalPlaneXResolution);
  if (listed(41487)) w.AddRational(41487, p.EXIF_FocalPlaneYResolution);
  if (listed(41488)) w.AddShort(41488, p.EXIF_FocalPlaneResolutionUnit);
  if (listed(41493)) w.AddRational(41493, p.EXIF_ExposureIndex);
  if (listed(41495)) w.AddShort(41495, p.EXIF_SensingMethod);
  if (listed(41728)) sub.Add(41728, ttUndefined, 1, static_cast<uint8_t>(p.EXIF_FileSource));
  if (listed(41729)) sub.Add(41729, ttUndefined, 1, static_cast<uint8_t>(p.EXIF_SceneType));
  if (p.EXIF_ExposureMode != -1) w.AddShort(41986, p.EXIF_ExposureMode);
  if (p.EXIF_WhiteBalance != -1) w.AddShort(41987, p.EXIF_WhiteBalance);
  if (p.EXIF_DigitalZoomRatio != -1) w.AddRational(41988, p.EXIF_DigitalZoomRatio);
  const std::pair<uint16_t, int32_t> shorts[] = {{41989, p.EXIF_FocalLengthIn35mmFilm},
                                                 {41990, p.EXIF_SceneCaptureType},
                                                 {41991, p.EXIF_GainControl},
                                                 {41992, p.EXIF_Contrast},
                                                 {41993, p.EXIF_Saturation},
                                                 {41994, p.EXIF_Sharpness},
                                                 {41996, p.EXIF_SubjectDistanceRange}};
  for (const auto& [tag, value] : shorts)
    if (value != -1) w.AddShort(tag, value);
  w.AddAscii(42016, p.EXIF_ImageUniqueID);
  parent.AddSubIFD(34665, sub);
}

// A number of text, 0 when it is none.
uint8_t ByteOfText(const std::string& s) {
  int32_t v = 0;
  return common::TryStrToInt(s, v) ? static_cast<uint8_t>(v) : 0;
}

void WriteGPSIFD(TTagWriter& parent, const TIOParamsVals& p) {
  TTIFFEntryList sub;
  TTagWriter w{sub, parent.out};
  {
    std::string version;
    size_t start = 0;
    const std::string& v = p.EXIF_GPSVersionID;
    while (version.size() < 4) {
      const size_t dot = v.find('.', start);
      version.push_back(static_cast<char>(ByteOfText(v.substr(start, dot - start))));
      if (dot == std::string::npos) break;
      start = dot + 1;
    }
    w.AddInEntry(0, ttByte, version);
  }
  w.AddInEntry(1, ttAscii, p.EXIF_GPSLatitudeRef);
  w.AddRationals(2, p.EXIF_GPSLatitude, 3);
  w.AddInEntry(3, ttAscii, p.EXIF_GPSLongitudeRef);
  w.AddRationals(4, p.EXIF_GPSLongitude, 3);
  sub.Add(5, ttByte, 1, ByteOfText(p.EXIF_GPSAltitudeRef));
  w.AddRational(6, p.EXIF_GPSAltitude);
  w.AddRationals(7, p.EXIF_GPSTimeStamp, 3);
  w.AddAscii(8, p.EXIF_GPSSatellites);
  w.AddInEntry(9, ttAscii, p.EXIF_GPSStatus);
  w.AddInEntry(10, ttAscii, p.EXIF_GPSMeasureMode);
  w.AddRational(11, p.EXIF_GPSDOP);
  w.AddInEntry(12, ttAscii, p.EXIF_GPSSpeedRef);
  w.AddRational(13, p.EXIF_GPSSpeed);
  w.AddInEntry(14, ttAscii, p.EXIF_GPSTrackRef);
  w.AddRational(15, p.EXIF_GPSTrack);
  w.AddInEntry(16, ttAscii, p.EXIF_GPSImgDirectionRef);
  w.AddRational(17, p.EXIF_GPSImgDirection);
  w.AddAscii(18, p.EXIF_GPSMapDatum);
  w.AddInEntry(19, ttAscii, p.EXIF_GPSDestLatitudeRef);
  w.AddRationals(20, p.EXIF_GPSDestLatitude, 3);
  w.AddInEntry(21, ttAscii, p.EXIF_GPSDestLongitudeRef);
  w.AddRationals(22, p.EXIF_GPSDestLongitude, 3);
  w.AddInEntry(23, ttAscii, p.EXIF_GPSDestBearingRef);
  w.AddRational(24, p.EXIF_GPSDestBearing);
  w.AddInEntry(25, ttAscii, p.EXIF_GPSDestDistanceRef);
  w.AddRational(26, p.EXIF_GPSDestDistance);
  w.AddAscii(29, p.EXIF_GPSDateStamp);
  parent.AddSubIFD(34853, sub);
}

}  // namespace

void ReadTIFFMetadata(const TTIFFIFD& page, TIOParamsVals& params) {
  TIOParamsVals& p = params;
  // Every field is set anew, so that reading a page replaces what the previous one gave; whether
  // EXIF data were seen stays as it was unless this page has an EXIF IFD.
  const bool hadEXIF = p.EXIF_HasEXIFData;
  static_cast<TIOParamsEXIF&>(p) = TIOParamsEXIF{};
  p.EXIF_HasEXIFData = hadEXIF;
  p.EXIF_MakerNote.Clear();
  ReadBlocks(page, p);
  ReadPageTags(page, p);
  TTIFFIFD sub;
  if (LoadSubIFD(page, 34665, sub)) {
    p.EXIF_HasEXIFData = true;
    ReadEXIFIFD(sub, p);
  }
  if (LoadSubIFD(page, 34853, sub)) ReadGPSIFD(sub, p);
}

void WriteEXIFTags(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& p) {
  TTagWriter w{entries, stream};
  w.AddAscii(270, p.EXIF_ImageDescription);
  w.AddAscii(271, p.EXIF_Make);
  w.AddAscii(272, p.EXIF_Model);
  w.AddShort(274, p.TIFF_Orientation);
  if (p.EXIF_XResolution != 0) w.AddRational(282, p.EXIF_XResolution);
  if (p.EXIF_YResolution != 0) w.AddRational(283, p.EXIF_YResolution);
  w.AddShort(296, 2);
  w.AddAscii(305, p.EXIF_Software);
  w.AddAscii(306, p.EXIF_DateTime);
  w.AddAscii(315, p.EXIF_Artist);
  auto any = [](const double* v, size_t n) {
    return std::any_of(v, v + n, [](double d) { return d != -1; });
  };
  if (any(p.EXIF_WhitePoint, 2)) w.AddRationals(318, p.EXIF_WhitePoint, 2);
  if (any(p.EXIF_PrimaryChromaticities, 6)) w.AddRationals(319, p.EXIF_PrimaryChromaticities, 6);
  if (any(p.EXIF_YCbCrCoefficients, 3)) w.AddRationals(529, p.EXIF_YCbCrCoefficients, 3);
  if (p.EXIF_YCbCrPositioning != -1) w.AddShort(531, p.EXIF_YCbCrPositioning);
  if (any(p.EXIF_ReferenceBlackWhite, 6)) w.AddRationals(532, p.EXIF_ReferenceBlackWhite, 6);
  if (p.EXIF_Rating >= 0) w.AddShort(18246, p.EXIF_Rating);
  w.AddAscii(33432, p.EXIF_Copyright);
  const std::u16string* xp[5] = {&p.EXIF_XPTitle, &p.EXIF_XPComment, &p.EXIF_XPAuthor, &p.EXIF_XPKeywords,
                                 &p.EXIF_XPSubject};
  for (uint16_t i = 0; i < 5; ++i) w.AddWide(static_cast<uint16_t>(40091 + i), *xp[i]);
  WriteEXIFIFD(w, p);
  if (!p.EXIF_GPSVersionID.empty()) WriteGPSIFD(w, p);
}

void AddTIFFIPTC(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& p) {
  std::vector<uint8_t> iptc = p.IPTC_Info.SaveToBuffer(false);
  if (iptc.empty()) return;
  // LONG values fill whole 4-byte items.
  const uint32_t count = static_cast<uint32_t>((iptc.size() + 3) / 4);
  iptc.resize(size_t(count) * 4, 0);
  TTagWriter{entries, stream}.AddRaw(33723, ttLong, count, iptc.data(), iptc.size());
}

void AddTIFFXMP(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& p) {
  if (p.XMP_Info.empty()) return;
  TTagWriter{entries, stream}.AddRaw(700, ttByte, static_cast<uint32_t>(p.XMP_Info.size()),
                                     reinterpret_cast<const uint8_t*>(p.XMP_Info.data()), p.XMP_Info.size());
}

void AddTIFFAnnotations(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& p) {
  if (!p.HasImagingAnnot()) return;
  const std::vector<uint8_t> wang = p.GetImagingAnnot().SaveToWangData();
  if (wang.empty()) return;
  TTagWriter{entries, stream}.AddRaw(32932, ttByte, static_cast<uint32_t>(wang.size()), wang.data(),
                                     wang.size());
}

void AddTIFFICC(TTIFFEntryList& entries, TStream& stream, TIOParamsVals& p) {
  if (!p.HasInputICCProfile()) return;
  TRVICC& icc = p.GetInputICCProfile();
  if (!icc.IsValid() || icc.Applied()) return;
  TMemoryStream m;
  icc.SaveToStream(m, true);
  if (m.GetSize() == 0) return;
  TTagWriter{entries, stream}.AddRaw(34675, ttUndefined, static_cast<uint32_t>(m.GetSize()), m.Memory(),
                                     static_cast<size_t>(m.GetSize()));
}

bool WriteTIFFMetadata(TTIFFMetaStep step, TTIFFEntryList& entries, TStream& stream, TIOParamsVals& params,
                       TRVProgressRec& progress) {
  if (progress.IsAborting()) return step == TTIFFMetaStep::Descriptive && params.EXIF_HasEXIFData;
  if (step == TTIFFMetaStep::Descriptive) {
    if (!params.EXIF_HasEXIFData) return false;
    WriteEXIFTags(entries, stream, params);
    return true;
  }
  AddTIFFIPTC(entries, stream, params);
  AddTIFFXMP(entries, stream, params);
  AddTIFFAnnotations(entries, stream, params);
  AddTIFFICC(entries, stream, params);
  return true;
}

}  // namespace rv::tiff

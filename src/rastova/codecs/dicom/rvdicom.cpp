// The DICOM reader: the element parser, the attributes of group 0028, frame selection and the
// dispatch by transfer syntax. The pixel layouts and the grey window are in DicomPixels.cpp, the
// lossless JPEG and PackBits decoders in DicomLossless.cpp.
#include "rastova/codecs/dicom/rvdicom.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "common/NumberText.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/dicom/DicomDictionary.h"
#include "rastova/codecs/dicom/DicomInternal.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/j2000/rvj2000.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVChannelOps.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

const char* DicomDictionaryVR(uint16_t group, uint16_t element, char (&vr)[3]) {
  const uint32_t key = uint32_t(group) << 16 | element;
  int32_t lo = 0, hi = kDicomDictionaryCount - 1;
  vr[0] = 'x';
  vr[1] = 's';
  vr[2] = 0;
  while (lo <= hi) {
    const int32_t mid = (lo + hi) / 2;
    const TDicomDictEntry& e = kDicomDictionary[mid];
    const uint32_t k = uint32_t(e.group) << 16 | e.element;
    if (k == key) {
      vr[0] = e.vr[0];
      vr[1] = e.vr[1];
      break;
    }
    if (k < key) lo = mid + 1;
    else hi = mid - 1;
  }
  return vr;
}

namespace dicom {

const char* const kTSImplicitLE = "1.2.840.10008.1.2";
const char* const kTSExplicitLE = "1.2.840.10008.1.2.1";
const char* const kTSExplicitBE = "1.2.840.10008.1.2.2";

namespace {

const char* const kTSBaseline = "1.2.840.10008.1.2.4.50";
const char* const kTSJ2000 = "1.2.840.10008.1.2.4.91";
const char* const kTSJ2000Lossless = "1.2.840.10008.1.2.4.90";  // the same code streams, lossless only
const char* const kTSLossless = "1.2.840.10008.1.2.4.57";
const char* const kTSLosslessSV1 = "1.2.840.10008.1.2.4.70";
const char* const kTSMpeg2 = "1.2.840.10008.1.2.4.100";
const char* const kTSRLE = "1.2.840.10008.1.2.5";
const char* const kTSDeflated = "1.2.840.10008.1.2.1.99";

constexpr uint32_t kItemTag = 0xE000FFFEu;  // FFFE,E000 read as a little-endian 32-bit number

uint16_t Swap16(uint16_t v) { return static_cast<uint16_t>(v >> 8 | v << 8); }
uint32_t Swap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}
uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t LE32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool ReadExact(TStream& s, void* buffer, int64_t n) {
  try {
    return s.Read(buffer, n) == n;
  } catch (const std::exception&) {
    return false;
  }
}
bool Read16(TStream& s, uint16_t& v) {
  uint8_t b[2];
  if (!ReadExact(s, b, 2)) return false;
  v = LE16(b);
  return true;
}
bool Read32(TStream& s, uint32_t& v) {
  uint8_t b[4];
  if (!ReadExact(s, b, 4)) return false;
  v = LE32(b);
  return true;
}

bool IsCapital(uint8_t c) { return c >= 'A' && c <= 'Z'; }

// Explicit representations whose length is 32 bits, after two reserved bytes.
bool HasLongLength(const char* vr) {
  static const char* const kLong[] = {"OB", "UN", "OW", "SQ", "UT", "UC", "UR", "OF", "OD", "OL", "OV", "SV", "UV"};
  for (const char* l : kLong)
    if (vr[0] == l[0] && vr[1] == l[1]) return true;
  return false;
}

int32_t ItemSize(const char* vr) {
  auto is = [vr](const char* t) { return vr[0] == t[0] && vr[1] == t[1]; };
  if (is("SS") || is("US")) return 2;
  if (is("UL") || is("SL") || is("FL")) return 4;
  if (is("FD")) return 8;
  return 1;
}

// The value as text, up to its first zero byte.
std::string ValueText(const uint8_t* value, int32_t length) {
  if (!value) return std::string();
  const auto* end = static_cast<const uint8_t*>(std::memchr(value, 0, static_cast<size_t>(length)));
  return std::string(reinterpret_cast<const char*>(value), end ? static_cast<size_t>(end - value)
                                                               : static_cast<size_t>(length));
}

// The number before the first backslash, -1 when it is none.
double FirstNumber(const std::string& text) {
  const std::string first = TrimA(text.substr(0, text.find('\\')));
  double v = 0;
  return common::TryStrToFloat(first, v) ? v : -1;
}

// One element header as read: tag, representation and length (-1 when undefined).
struct TElement {
  uint16_t group = 0, element = 0;
  char vr[3] = {0, 0, 0};
  int64_t length = 0;
};

class TDicomParser {
 public:
  TDicomParser(TDICOMContext& c, bool paramsOnly) : c_(c), s_(*c.stream), paramsOnly_(paramsOnly) {}

  // Whether a pixel data element was found (and, unless only the parameters are read, handed
  // to its decoder).
  bool Run() {
    SkipPreamble();
    while (s_.GetPosition() < c_.size && !c_.progress->IsAborting()) {
      TElement e;
      if (!ReadElementHeader(e)) break;
      // The data set after the meta group is deflated: its elements cannot be parsed here.
      if (e.group != 2 && c_.transferSyntax == kTSDeflated) {
        c_.progress->SetAborting();
        return false;
      }
      if (e.group == 0x7FE0 && e.element == 0x0010 && !IsJpegWithoutItems(e)) {
        c_.pixelVR[0] = e.vr[0];
        c_.pixelVR[1] = e.vr[1];
        StoreImageParams(c_);
        if (!paramsOnly_) DecodePixelData(c_, s_.GetPosition(), e.length);
        return true;
      }
      ReadValue(e);
    }
    if (jpegAt_ < 0 || c_.progress->IsAborting()) return false;
    s_.SetPosition(jpegAt_);
    StoreImageParams(c_);
    if (!paramsOnly_) DecodePixelData(c_, jpegAt_, jpegLength_);
    return true;
  }

 private:
  void SkipPreamble() {
    uint8_t magic[4] = {};
    try {
      s_.Seek(128, soCurrent);
    } catch (const std::exception&) {
    }
    if (!ReadExact(s_, magic, 4) || std::memcmp(magic, "DICM", 4) != 0) {
      s_.SetPosition(0);
      c_.noPreamble = true;
    }
  }

  bool ReadElementHeader(TElement& e) {
    if (!Read16(s_, e.group) || !Read16(s_, e.element)) return false;
    const bool swap = e.group != 2 && !c_.littleEndian;
    if (swap) {
      e.group = Swap16(e.group);
      e.element = Swap16(e.element);
    }
    DicomDictionaryVR(e.group, e.element, e.vr);
    uint8_t b[2];
    if (!ReadExact(s_, b, 2)) return false;
    bool longLength = true;
    if (e.group == 2 || (IsCapital(b[0]) && IsCapital(b[1]))) {
      const char file[3] = {static_cast<char>(b[0]), static_cast<char>(b[1]), 0};
      if (e.vr[0] == 'x' && e.vr[1] == 's') {
        e.vr[0] = file[0];
        e.vr[1] = file[1];
      }
      if (e.vr[0] == '!' && e.vr[1] == '!') {
        s_.Seek(-2, soCurrent);
      } else if (HasLongLength(file)) {
        s_.Seek(2, soCurrent);
      } else {
        longLength = false;
      }
    } else {
      s_.Seek(-2, soCurrent);
    }
    if (longLength) {
      uint32_t length = 0;
      if (!Read32(s_, length)) return false;
      if (swap) length = Swap32(length);
      e.length = length == 0xFFFFFFFFu ? -1 : int64_t(length);
    } else {
      uint16_t length = 0;
      if (!Read16(s_, length)) return false;
      e.length = swap ? Swap16(length) : length;
    }
    return true;
  }

  // JPEG data stored directly in the pixel data element, without items: noted and decoded after
  // the data set.
  bool IsJpegWithoutItems(const TElement& e) {
    const int64_t at = s_.GetPosition();
    uint8_t head[4] = {};
    const bool jpeg = ReadExact(s_, head, 4) && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF && head[3] == 0xE0;
    s_.SetPosition(at);
    if (jpeg) {
      jpegAt_ = at;
      jpegLength_ = e.length;
    }
    return jpeg;
  }

  // Reads the value (when the stream holds it), keeps the element and takes over its attribute.
  void ReadValue(const TElement& e) {
    const int32_t itemSize = e.length < 0 ? 0 : ItemSize(e.vr);
    const int64_t count = itemSize ? e.length / itemSize : 0;
    std::unique_ptr<uint8_t[]> value;
    int64_t number = 0;
    const int64_t at = s_.GetPosition();
    // A length reaching past the end keeps no value; parsing goes on after the length field.
    if (e.length > 0 && e.length < INT32_MAX && e.length <= c_.size - at) {
      value = std::make_unique<uint8_t[]>(static_cast<size_t>(e.length) + 1);
      if (!ReadExact(s_, value.get(), e.length)) {
        value.reset();
        s_.SetPosition(at);
      } else {
        value[static_cast<size_t>(itemSize * count)] = 0;
        value[static_cast<size_t>(e.length)] = 0;
        if (count == 1) number = NumberOf(value.get(), itemSize, e.group);
      }
    }
    // The list keeps the value; the attribute is read from it there. A value not kept keeps its
    // length from the file (undefined lengths, and any beyond 31 bits, read as negative: none).
    const int32_t length = e.length >= 0 && e.length <= INT32_MAX ? static_cast<int32_t>(e.length) : -1;
    const uint8_t* data = value.get();
    c_.params->DICOM_Tags.AddTag(e.group, e.element, length, std::move(value), std::string_view(e.vr, 2));
    if (data) TakeAttribute(e, data, length, number);
  }

  int64_t NumberOf(const uint8_t* v, int32_t size, uint16_t group) const {
    const bool swap = group != 2 && !c_.littleEndian;
    switch (size) {
      case 1: return v[0];
      case 2: return swap ? Swap16(LE16(v)) : LE16(v);
      case 4: return swap ? Swap32(LE32(v)) : LE32(v);
      default: return 0;
    }
  }

  void TakeAttribute(const TElement& e, const uint8_t* value, int32_t length, int64_t number) {
    if (e.group == 0x0002 && e.element == 0x0010) {
      c_.transferSyntax = TrimA(ValueText(value, length));
      if (c_.transferSyntax == kTSExplicitBE) c_.littleEndian = false;
      return;
    }
    if (e.group != 0x0028) return;
    const int32_t n = static_cast<int32_t>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
    switch (e.element) {
      case 0x0002: c_.samplesPerPixel = n; break;
      case 0x0004: c_.photometric = UpperCaseA(TrimA(ValueText(value, length))); break;
      case 0x0006: c_.planarConfiguration = n; break;
      case 0x0008: c_.frames = std::max(1, StrToIntDefA(TrimA(ValueText(value, length)), 1)); break;
      case 0x0010: c_.rows = n; break;
      case 0x0011: c_.columns = n; break;
      case 0x0100:
        c_.bitsAllocated = n;
        if (c_.bitsStored == 0) c_.bitsStored = n;
        RaiseBytesPerSample(n);
        break;
      case 0x0101:
        c_.bitsStored = n;
        if (c_.bitsAllocated == 0) c_.bitsAllocated = n;
        RaiseBytesPerSample(n);
        break;
      case 0x0103: c_.pixelRepresentation = n; break;
      case 0x1050: {
        c_.windowCentre = FirstNumber(ValueText(value, length));
        if (c_.windowCentre == 0) c_.windowCentre = -1;
        break;
      }
      case 0x1051: c_.windowWidth = FirstNumber(ValueText(value, length)); break;
      case 0x1052: c_.rescaleIntercept = FirstNumber(ValueText(value, length)); break;
      case 0x1053: c_.rescaleSlope = FirstNumber(ValueText(value, length)); break;
      case 0x1201:
      case 0x1202:
      case 0x1203: ReadLookupTable(c_.lut[e.element - 0x1201], value, length); break;
      default: break;
    }
  }

  void RaiseBytesPerSample(int32_t bits) {
    const int32_t bytes = (std::clamp(bits, 0, 1 << 20) + 7) / 8;
    c_.bytesPerSample = std::max(c_.bytesPerSample, bytes);
  }

  // At most 2^16 16-bit entries, and no more than the value holds.
  void ReadLookupTable(std::vector<uint16_t>& table, const uint8_t* value, int32_t length) {
    const int32_t entries = std::min(length / 2, 65536);
    table.resize(static_cast<size_t>(entries));
    for (int32_t i = 0; i < entries; ++i) {
      const uint16_t v = LE16(value + 2 * i);
      table[static_cast<size_t>(i)] = c_.littleEndian ? v : Swap16(v);
    }
  }

  TDICOMContext& c_;
  TStream& s_;
  bool paramsOnly_;
  int64_t jpegAt_ = -1, jpegLength_ = 0;
};

bool IsNativeSyntax(const std::string& ts) {
  return ts == kTSImplicitLE || ts == kTSExplicitLE || ts == kTSExplicitBE;
}

// Moves to the data of frame ImageIndex and tells its length (0 for native data) and whether the
// data are encapsulated in items. False when encapsulated data lack an item or an offset, or the
// frame lies beyond the stream.
bool SelectFrame(TDICOMContext& c, int64_t valueStart, int64_t& dataLength, bool& encapsulated) {
  TStream& s = *c.stream;
  int32_t index = std::clamp(c.params->ImageIndex, 0, c.frames - 1);
  c.params->SetImageIndex(index);
  dataLength = 0;
  s.SetPosition(valueStart);
  uint32_t tag = 0;
  encapsulated = Read32(s, tag) && tag == kItemTag;
  if (encapsulated) {
    uint32_t tableLength = 0;
    if (!Read32(s, tableLength)) return false;
    const int64_t tableEnd = valueStart + 8 + int64_t(tableLength);
    if (tableLength != 0) {
      // The offset table is read only as far as its length and the stream hold.
      const int64_t entries = std::min<int64_t>(tableLength, int64_t(c.frames) * 4) / 4;
      uint32_t offset = 0;
      if (index >= entries || tableEnd > c.size) return false;
      s.SetPosition(valueStart + 8 + int64_t(index) * 4);
      if (!Read32(s, offset)) return false;
      s.SetPosition(tableEnd + int64_t(offset));
    } else {
      for (int32_t i = 0; i < index; ++i) {
        uint32_t length = 0;
        if (!Read32(s, tag) || tag != kItemTag || !Read32(s, length)) return false;
        if (int64_t(length) > c.size - s.GetPosition()) return false;
        s.Seek(length, soCurrent);
      }
    }
    uint32_t length = 0;
    if (!Read32(s, tag) || tag != kItemTag || !Read32(s, length)) return false;
    dataLength = length;
  } else {
    s.SetPosition(valueStart);
    if (IsNativeSyntax(c.transferSyntax)) {
      // A frame beyond the data fails the size check below.
      const int64_t skip = CheckedProduct({index, FrameBytes(c)});
      if (skip < 0) return false;
      s.SetPosition(valueStart + std::min<int64_t>(skip, c.size + 1 - valueStart));
    }
  }
  return c.size >= s.GetPosition() + dataLength;
}

// The bytes of the frame's data: the item's length, or what the stream holds after the position.
std::vector<uint8_t> ReadFrameData(TDICOMContext& c, int64_t dataLength) {
  const int64_t left = std::max<int64_t>(0, c.size - c.stream->GetPosition());
  const int64_t n = dataLength > 0 ? std::min(dataLength, left) : left;
  std::vector<uint8_t> data(static_cast<size_t>(n));
  if (!ReadExact(*c.stream, data.data(), n)) data.clear();
  return data;
}

// Reads a baseline JPEG frame through its codec, then windows and inverts grey data. RGB data
// are compressed as they stand, without a colour transform: the codec, which takes three
// components without a marker of their own for YCbCr, is asked for the samples unconverted.
void DecodeJpegFrame(TDICOMContext& c, int64_t dataLength) {
  std::vector<uint8_t> data = ReadFrameData(c, dataLength);
  TRVMemStream frame(data.data(), static_cast<int64_t>(data.size()));
  TIOParamsVals scratch;
  const bool rgb = c.samplesPerPixel == 3 && c.photometric == "RGB";
  // grey stays rv8g, so that the window sees one sample per pixel
  ReadJpegStream(frame, nullptr, *c.bitmap, true, -1, false, false, false, false, rgb, false, *c.progress, scratch);
  if (c.progress->IsAborting()) return;
  // Samples delivered unconverted come red first.
  if (rgb && scratch.JPEG_ColorSpace == 2) ReorderChannels(*c.bitmap, "RGB", nullptr, {});
  if (c.samplesPerPixel == 1) FinishGrey8(c);
}

// Reads a JPEG 2000 frame. Grey frames are decoded to their full sample values and then windowed
// like native data of their Bits Stored, whatever precision the code stream declares; other
// frames go through the codec as pictures.
void DecodeJ2000Frame(TDICOMContext& c, int64_t dataLength) {
  std::vector<uint8_t> data = ReadFrameData(c, dataLength);
  TRVMemStream frame(data.data(), static_cast<int64_t>(data.size()));
  if (c.samplesPerPixel == 1 && ReadJ2000GreySamples(frame, *c.bitmap, *c.progress)) {
    FinishJ2000Grey(c);
    return;
  }
  if (c.progress->IsAborting()) return;
  frame.SetPosition(0);
  TIOParamsVals scratch;
  ReadJ2000Stream(frame, *c.bitmap, scratch, *c.progress, false);
  if (!c.progress->IsAborting() && c.samplesPerPixel == 1) FinishGrey8(c);
}

}  // namespace

void DecodePixelData(TDICOMContext& c, int64_t valueStart, int64_t elementLength) {
  int64_t dataLength = 0;
  bool encapsulated = false;
  if (!SelectFrame(c, valueStart, dataLength, encapsulated)) {
    c.progress->SetAborting();
    return;
  }
  if (dataLength == 0 && elementLength > 0 && !IsNativeSyntax(c.transferSyntax))
    dataLength = std::min(elementLength, c.size - c.stream->GetPosition());
  const std::string& ts = c.transferSyntax;
  if (ts == kTSMpeg2) {
    c.progress->SetAborting();
  } else if (ts == kTSBaseline) {
    DecodeJpegFrame(c, dataLength);
  } else if (ts == kTSJ2000 || ts == kTSJ2000Lossless) {
    DecodeJ2000Frame(c, dataLength);
  } else if (ts == kTSLossless || ts == kTSLosslessSV1) {
    std::vector<uint8_t> data = ReadFrameData(c, dataLength);
    DecodeLosslessFrame(c, data);
  } else if (ts == kTSRLE) {
    std::vector<uint8_t> data = ReadFrameData(c, dataLength);
    DecodeRLEFrame(c, data);
  } else if (encapsulated) {
    // Compressed data of a transfer syntax without a decoder here: not native samples.
    c.progress->SetAborting();
  } else {
    DecodeNativeFrame(c);
  }
}

int64_t CheckedProduct(std::initializer_list<int64_t> factors) {
  int64_t product = 1;
  for (const int64_t f : factors)
    if (f < 0 || __builtin_mul_overflow(product, f, &product)) return -1;
  return product;
}

int64_t FrameBytes(const TDICOMContext& c) {
  return CheckedProduct({c.columns, c.rows, c.samplesPerPixel, c.bytesPerSample});
}

void StoreImageParams(TDICOMContext& c) {
  TIOParamsVals& p = *c.params;
  p.BitsPerSample = c.bitsStored;
  p.SamplesPerPixel = c.samplesPerPixel;
  p.Width = p.StoredWidth = c.columns;
  p.Height = p.StoredHeight = c.rows;
  p.SetImageCount(c.frames);
}

}  // namespace dicom

bool IsDICOMStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  bool ok = false;
  try {
    uint8_t head[132];
    ok = stream.Read(head, 132) == 132 && std::memcmp(head + 128, "DICM", 4) == 0;
  } catch (const std::exception&) {
    ok = false;
  }
  stream.SetPosition(start);
  return ok;
}

void ReadDICOMStream(TStream& stream, TIOParamsVals& params, TRVBitmap& bitmap, TRVProgressRec& progress,
                     bool paramsOnly) {
  dicom::TDICOMContext c;
  c.params = &params;
  c.progress = &progress;
  // The frame is decoded into a buffer of its own, which the caller's bitmap receives only when
  // decoding succeeded: a failure leaves it as it was.
  TRVBitmap decoded;
  c.bitmap = &decoded;
  TRVBufferedReadStream buffered(stream, 8192, true);
  c.stream = &buffered;
  c.size = buffered.GetSize();
  bool found = false;
  try {
    found = dicom::TDicomParser(c, paramsOnly).Run();
  } catch (const std::exception&) {
    progress.SetAborting();
  }
  // A file without pixel data, and pixel data that no decoder here covers, are failures.
  if (!found || (!paramsOnly && decoded.IsEmpty())) progress.SetAborting();
  if (!progress.IsAborting() && !paramsOnly) {
    if (bitmap.GetLocation() == rvTBitmap) {
      if (decoded.GetPixelFormat() != rv1g) decoded.SetPixelFormat(rv24RGB);
      bitmap.Assign(&decoded);
    } else if (bitmap.GetLocation() == rvInMemory) {
      decoded.MoveTo(bitmap);
    } else {
      bitmap.Assign(&decoded);
    }
  }
  params.SetImageCount(c.frames);
}

}  // namespace rv

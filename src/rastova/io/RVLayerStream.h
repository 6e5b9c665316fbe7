#pragma once
// The layer stream ("RASTOVALAYERS"): every layer of an image view with its properties and its
// image. It is the content of a layers file (file type 26), the first half of a "layers and
// objects" stream and the payload of layer undo steps. The image view maps its layers to and
// from the records below; reading and writing live here, without windows, so that the I/O
// component can recognise the format and the format can be checked on its own.
//
// Layout (little-endian): a 25-byte header (signature, version, image format, layer count N),
// N property records each followed by an 8-byte slot holding the 64-bit stream position of the
// layer's image, then the images. Image format -1 is the raw bitmap format deflated by zlib,
// -2 the raw bitmap format, any other value a file type of the format registry.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Exception.h"

namespace rv {

class TRVBitmap;
class TStream;

constexpr char kLayersSignature[] = "RASTOVALAYERS";
constexpr int32_t kLayersSignatureLen = 13;
constexpr int32_t kLayersHeaderSize = 25;
// The version the writer writes.
constexpr int32_t kLayersStreamVersion = 6;
constexpr int32_t kLayerImageZlib = -1;
constexpr int32_t kLayerImageRaw = -2;
// A layer's display size stretches its image at most this many times on each side.
constexpr int64_t kMaxLayerDisplayRatio = 256;

// A damaged layer or selection stream.
class ERVLayerStreamError : public common::Exception {
 public:
  using common::Exception::Exception;
};

// The stored properties of one layer (the fields of the view's layer of the same names).
struct TRVLayerProps {
  bool Visible = true;
  bool ShowBox = true;
  int32_t Opacity = 255;
  int32_t PosX = 0;
  int32_t PosY = 0;
  bool ClipToImage = false;
  bool Locked = false;
  bool MagnifierEnabled = false;
  double MagnifierRate = 2.0;
  uint8_t MagnifierShape = 0;
  uint8_t MagnifierSource = 1;  // from version 3
  uint8_t Operation = 0;
  int32_t DisplayWidth = 0;
  int32_t DisplayHeight = 0;
  uint8_t ResampleFilter = 0;       // from version 3
  bool UseResampleFilter = false;   // from version 3
  std::string Name;                 // from version 3
  std::vector<uint8_t> UserData;    // from version 3
  bool IsMask = false;              // from version 3
  bool Selectable = true;           // from version 4
  bool ShadeOutside = false;        // from version 6
};

// One layer read from a stream.
struct TRVLayerStreamEntry {
  TRVLayerProps Props;
  std::unique_ptr<TRVBitmap> Image;
};

struct TRVLayerStreamContent {
  int32_t Version = 0;
  int32_t ImageFormat = 0;
  std::vector<TRVLayerStreamEntry> Layers;
};

// The format test: the signature and a version above 0 in the 25 bytes at the stream's
// position, which is restored in every case. Read errors answer false.
bool IsLayersStream(TStream& stream);

enum class TLayerStreamRead { Ok, NotLayers, BadVersion };

// Reads a whole layer stream at the stream's position into `content`: NotLayers for another
// signature and BadVersion for a version below 1 (content empty, nothing read past the header).
// Every count, length, position and image is checked against the bytes the stream holds before
// anything is allocated; each image is read from its own bytes only (from its position up to the
// next image's), two layers naming one image are refused, and a display size must be a stretch
// of at most kMaxLayerDisplayRatio of the layer's image. A damaged stream raises
// ERVLayerStreamError with what is wrong. The stream is left after the last record (images lie
// before or after it, at their positions).
TLayerStreamRead ReadLayerStream(TStream& stream, TRVLayerStreamContent& content);

// One layer to write: its properties and its image (not changed, except that the I/O component
// may prepare the image for a file format as it does for any save).
struct TRVLayerToWrite {
  const TRVLayerProps* Props = nullptr;
  TRVBitmap* Image = nullptr;
};

// Writes a layer stream at the stream's position, leaving the position at its end. Image format
// 1 (TIFF) is written as 8 (PNG). A format the registry cannot write raises
// ERVLayerStreamError; stream errors propagate.
void WriteLayerStream(TStream& stream, int32_t imageFormat, const std::vector<TRVLayerToWrite>& layers);

// The image of one layer in the raw bitmap format, deflated (-1) or stored (-2), each behind its
// int32 byte count; and the reverse, which checks the count against the stream.
void WriteLayerRawImage(TStream& stream, TRVBitmap& image, bool compressed);
void ReadLayerRawImage(TStream& stream, TRVBitmap& image, bool compressed);

// A stream as long as `count` bytes must fit in what is left after its position.
void CheckBytesLeft(TStream& stream, int64_t count, const char* what);

}  // namespace rv

#include "rastova/io/RVAvi.h"

#include <algorithm>
#include <cstring>

#include "common/CodePage.h"
#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVAviDecoder.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVIOThread.h"
#include "rastova/io/RastovaIO.h"

namespace rv {

namespace {

constexpr uint32_t Tag(const char (&t)[5]) { return MakeFourCC(t[0], t[1], t[2], t[3]); }

uint32_t LE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// A stream format block is a bitmap header and at most a full colour table and some codec data.
constexpr uint32_t kMaxFormatBlock = 65536;
// Lists inside the movie list ("rec " groups) nest this deep at most.
constexpr int32_t kMaxListDepth = 4;
// Pixels a compressed frame may hold: a number always allowed (2048 x 2048), and beyond it what
// the file's bytes can code (a flat picture codes very compactly, but not without bound: at most
// 2048 pixels a byte), never more than 8192 x 8192. The decoders allocate whole pictures (and
// keep several as references) before a byte of them is decoded.
constexpr int64_t kPixelSlack = int64_t(1) << 22;
constexpr int64_t kPixelsPerByte = 2048;
constexpr int64_t kMaxFramePixels = int64_t(1) << 26;

}  // namespace

TRVAviFile::TRVAviFile() = default;
TRVAviFile::~TRVAviFile() = default;

bool TRVAviFile::Open(const std::string& fileName) {
  return Open(std::make_unique<TRVWideFileStream>(
      fileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite));
}

void TRVAviFile::Close() {
  decoder_.reset();
  stream_.reset();
  fileSize_ = 0;
  found_ = false;
  videoStream_ = -1;
  scale_ = rate_ = length_ = 0;
  format_ = TBitmapInfoHeader{};
  formatBlock_.clear();
  frames_.clear();
  frameBuffer_.clear();
  frameBuffer_.shrink_to_fit();
}

bool TRVAviFile::ReadAt(int64_t offset, void* buffer, int64_t count) {
  if (offset < 0 || count < 0 || offset > fileSize_ || count > fileSize_ - offset) return false;
  stream_->SetPosition(offset);
  return stream_->Read(buffer, count) == count;
}

bool TRVAviFile::Open(std::unique_ptr<TStream> stream) {
  Close();
  if (!stream) return false;
  stream_ = std::move(stream);
  fileSize_ = stream_->GetSize();
  uint8_t riff[12];
  if (!ReadAt(0, riff, 12) || LE32(riff) != Tag("RIFF") || LE32(riff + 8) != Tag("AVI ")) {
    Close();
    return false;
  }
  // A RIFF size beyond the file's end is taken as far as the file goes (a cut file keeps the
  // frames it still holds).
  const int64_t end = std::min<int64_t>(fileSize_, 8 + int64_t(LE32(riff + 4)));
  bool header = false;
  int64_t movie = -1, movieEnd = 0, index = -1, indexSize = 0;
  for (int64_t pos = 12; pos + 8 <= end;) {
    uint8_t h[12];
    if (!ReadAt(pos, h, 8)) break;
    const uint32_t id = LE32(h), size = LE32(h + 4);
    const int64_t dataEnd = pos + 8 + int64_t(size);
    if (id == Tag("LIST") && size >= 4 && ReadAt(pos + 8, h + 8, 4)) {
      const uint32_t kind = LE32(h + 8);
      const int64_t listEnd = std::min(dataEnd, end);
      if (kind == Tag("hdrl") && !header) {
        header = true;
        if (!ReadHeaderList(pos + 12, listEnd)) break;
      } else if (kind == Tag("movi") && found_ && movie < 0) {
        movie = pos + 8;
        movieEnd = listEnd;
      }
    } else if (id == Tag("idx1") && index < 0) {
      index = pos + 8;
      indexSize = std::min(dataEnd, end) - index;
    }
    pos = dataEnd + (size & 1);
  }
  if (movie >= 0 && !(index >= 0 && ReadIndex(index, indexSize, movie))) IndexMovie(movie + 4, movieEnd, 0);
  if (found_ && Compressed()) decoder_ = TRVAviDecoder::Open(*stream_, videoStream_, MaxFramePixels());
  if (!found_ || (Compressed() && !decoder_)) {
    Close();
    return false;
  }
  return true;
}

bool TRVAviFile::Compressed() const {
  return format_.biCompression != BI_RGB && format_.biCompression != BI_BITFIELDS;
}

int64_t TRVAviFile::MaxFramePixels() const {
  if (fileSize_ >= (kMaxFramePixels - kPixelSlack) / kPixelsPerByte) return kMaxFramePixels;
  return fileSize_ * kPixelsPerByte + kPixelSlack;
}

bool TRVAviFile::ReadHeaderList(int64_t start, int64_t end) {
  int32_t streamNumber = 0;
  for (int64_t pos = start; pos + 8 <= end && !found_;) {
    uint8_t h[12];
    if (!ReadAt(pos, h, 8)) return false;
    const uint32_t id = LE32(h), size = LE32(h + 4);
    const int64_t dataEnd = pos + 8 + int64_t(size);
    if (dataEnd > end) return false;
    if (id == Tag("LIST") && size >= 4 && ReadAt(pos + 8, h + 8, 4) && LE32(h + 8) == Tag("strl")) {
      if (ReadStreamList(pos + 12, dataEnd, streamNumber)) return true;
      ++streamNumber;
    }
    pos = dataEnd + (size & 1);
  }
  return found_;
}

// One stream's list: its header ("strh") and, for the first video stream, its format ("strf").
bool TRVAviFile::ReadStreamList(int64_t start, int64_t end, int32_t streamNumber) {
  bool video = false;
  uint32_t scale = 0, rate = 0, length = 0;
  for (int64_t pos = start; pos + 8 <= end;) {
    uint8_t h[8];
    if (!ReadAt(pos, h, 8)) return false;
    const uint32_t id = LE32(h), size = LE32(h + 4);
    const int64_t dataEnd = pos + 8 + int64_t(size);
    if (dataEnd > end) return false;
    if (id == Tag("strh")) {
      // Type, handler, flags, priority, language, initial frames, scale, rate, start, length.
      uint8_t sh[36];
      if (size < sizeof sh || !ReadAt(pos + 8, sh, sizeof sh)) return false;
      if (LE32(sh) != Tag("vids")) return false;
      video = true;
      scale = LE32(sh + 20);
      rate = LE32(sh + 24);
      length = LE32(sh + 32);
    } else if (id == Tag("strf") && video) {
      if (size < sizeof(TBitmapInfoHeader) || size > kMaxFormatBlock) return false;
      std::vector<uint8_t> block(size);
      if (!ReadAt(pos + 8, block.data(), size)) return false;
      std::memcpy(&format_, block.data(), sizeof format_);
      if (format_.biSize < sizeof(TBitmapInfoHeader) || format_.biSize > size) return false;
      formatBlock_ = std::move(block);
      scale_ = scale;
      rate_ = rate;
      length_ = length;
      videoStream_ = streamNumber;
      found_ = true;
      return true;
    }
    pos = dataEnd + (size & 1);
  }
  return false;
}

// Takes the video stream's frame chunks from the file's index ("idx1": 16-byte entries of chunk
// id, flags, offset and size) up to the stream's length, which spares reading every chunk header
// of a long file. The offsets count from the movie list's four-cc at `movie` or from the file's
// start: the first entry of the stream, whose chunk must be there, tells which. False, taking
// nothing, when the index lists no chunk of the stream or does not fit the file; a chunk that
// does not match its entry is found when its frame is loaded.
bool TRVAviFile::ReadIndex(int64_t start, int64_t size, int64_t movie) {
  const int64_t count = size / 16;
  if (count <= 0) return false;
  std::vector<uint8_t> entries(size_t(count) * 16);  // the file holds them
  if (!ReadAt(start, entries.data(), count * 16)) return false;
  const uint32_t db = ChunkId("db"), dc = ChunkId("dc");
  int64_t base = -1;
  for (int64_t i = 0; i < count && frames_.size() < length_; ++i) {
    const uint8_t* e = entries.data() + i * 16;
    const uint32_t id = LE32(e), offset = LE32(e + 8), chunkSize = LE32(e + 12);
    if (id != db && id != dc) continue;
    if (base < 0) {
      for (const int64_t from : {movie, int64_t(0)})
        if (base < 0 && ChunkAt(from + offset, chunkSize)) base = from;
      if (base < 0) return false;
    }
    const int64_t header = base + offset;
    if (header + 8 > fileSize_) break;  // the chunks of a cut file end here
    frames_.push_back(Chunk{header + 8, chunkSize});
  }
  return base >= 0;
}

// Whether a frame chunk of the video stream of `size` bytes starts at `header`.
bool TRVAviFile::ChunkAt(int64_t header, uint32_t size) {
  uint8_t h[8];
  return ReadAt(header, h, 8) && (LE32(h) == ChunkId("db") || LE32(h) == ChunkId("dc")) &&
         LE32(h + 4) == size;
}

// The id of the video stream's chunks of a kind: "NNdb" uncompressed, "NNdc" compressed, NN the
// stream number.
uint32_t TRVAviFile::ChunkId(const char (&kind)[3]) const {
  return MakeFourCC(char('0' + (videoStream_ / 10) % 10), char('0' + videoStream_ % 10), kind[0], kind[1]);
}

// Collects the video stream's frame chunks ("NNdb" uncompressed, "NNdc" compressed, NN the
// stream number) up to the stream's length; a chunk may claim more bytes than the file holds,
// which loading that frame finds.
void TRVAviFile::IndexMovie(int64_t start, int64_t end, int32_t depth) {
  const uint32_t db = ChunkId("db"), dc = ChunkId("dc");
  for (int64_t pos = start; pos + 8 <= end && frames_.size() < length_;) {
    uint8_t h[12];
    if (!ReadAt(pos, h, 8)) return;
    const uint32_t id = LE32(h), size = LE32(h + 4);
    const int64_t dataEnd = pos + 8 + int64_t(size);
    if (id == Tag("LIST")) {
      if (size >= 4 && depth < kMaxListDepth && ReadAt(pos + 8, h + 8, 4))
        IndexMovie(pos + 12, std::min(dataEnd, end), depth + 1);
    } else if (id == db || id == dc) {
      frames_.push_back(Chunk{pos + 8, size});
    }
    pos = dataEnd + (size & 1);
  }
}

int32_t TRVAviFile::FrameCount() const {
  const uint64_t n = std::min<uint64_t>(length_, frames_.size());
  return static_cast<int32_t>(std::min<uint64_t>(n, INT32_MAX));
}

int32_t TRVAviFile::FrameDelay() const {
  if (rate_ == 0 || scale_ == 0) return 0;
  return common::TruncInt(1000.0L / (static_cast<long double>(rate_) / scale_));
}

int32_t TRVAviFile::GetFrame(int32_t frame, TRVBitmap& bitmap) {
  if (!stream_ || frame < 0 || frame >= FrameCount()) return 0;
  // An empty chunk is a dropped frame: the one before it shows again.
  int32_t i = frame;
  while (i > 0 && frames_[size_t(i)].size == 0) --i;
  const Chunk& c = frames_[size_t(i)];
  if (c.size == 0 || c.offset > fileSize_ || int64_t(c.size) > fileSize_ - c.offset) return 0;
  if (!ChunkAt(c.offset - 8, c.size)) return 0;  // an index entry that does not match its chunk
  // The decoder counts the empty chunks itself (it skips them in the same way).
  if (decoder_) return decoder_->GetFrame(frame, bitmap) ? 24 : 0;
  frameBuffer_.resize(c.size);
  if (!ReadAt(c.offset, frameBuffer_.data(), c.size)) return 0;
  return PackedDIBToBitmap(formatBlock_.data(), formatBlock_.size(), bitmap, frameBuffer_.data(),
                           frameBuffer_.size());
}

// ---------------------------------------------------------------- the component's AVI members

int32_t TRastovaIO::OpenAVIFile(const std::string& fileName) {
  Aborting = false;
  CloseAVIFile();
  Params.AVI_FrameCount = 0;
  Params.FileName = common::Utf8ToUtf16(fileName);
  Params.FileType = 0;
  auto avi = std::make_unique<TRVAviFile>();
  bool opened = false;
  try {
    opened = avi->Open(fileName);
  } catch (...) {
    // The system's failures to open the file are the outcome, as for a file that is no AVI.
  }
  if (!opened) {
    Aborting = true;
    return 0;
  }
  avi_ = std::move(avi);
  Params.AVI_FrameCount = avi_->FrameCount();
  Params.AVI_FrameDelayTime = avi_->FrameDelay();
  return avi_->FrameCount();
}

void TRastovaIO::LoadAVIFrame(int32_t frame) {
  if (AsyncGateOpen()) {
    TRVIOThread::StartFrame(*this, frame, [this](int32_t f) { LoadAVIFrame(f); });
    return;
  }
  Aborting = false;
  if (PrepareBitmap(0) && avi_ && avi_->IsOpen() && uint32_t(frame) < uint32_t(avi_->FrameCount())) {
    bitmap_->RemoveAlphaBitmap(false, 0);
    const int32_t bitCount = avi_->GetFrame(frame, *bitmap_);
    Params.AVI_FrameCount = avi_->FrameCount();
    Params.AVI_FrameDelayTime = avi_->FrameDelay();
    if (bitCount == 0) {
      Aborting = true;
    } else {
      switch (bitCount) {
        case 1:
        case 4:
        case 8:
          Params.BitsPerSample = bitCount;
          Params.SamplesPerPixel = 1;
          break;
        case 15:
          Params.BitsPerSample = 5;
          Params.SamplesPerPixel = 3;
          break;
        default:
          Params.BitsPerSample = 8;
          Params.SamplesPerPixel = 3;
          break;
      }
      Params.SetDpiX(DefaultDpiX);
      Params.SetDpiY(DefaultDpiY);
      Params.Width = Params.StoredWidth = bitmap_->GetWidth();
      Params.Height = Params.StoredHeight = bitmap_->GetHeight();
      Params.FreeColorMap();
      Update();
    }
  }
  DoFinishWork();
}

void TRastovaIO::CloseAVIFile() { avi_.reset(); }

void TRastovaIO::LoadAVIFromFile(const std::string& fileName) {
  // Opening, loading and closing belong together: a worker takes all three, never the frame
  // alone while the file is closed under it.
  if (AsyncGateOpen()) {
    TRVIOThread::StartFile(*this, fileName, [this](const std::string& n) { LoadFromFile(n); });
    return;
  }
  OpenAVIFile(fileName);
  if (Aborting) {
    DoFinishWork();
    return;
  }
  LoadAVIFrame(Params.ImageIndex);
  CloseAVIFile();
  Params.FileName = common::Utf8ToUtf16(fileName);
  Params.FileType = ioAVI;
}

}  // namespace rv

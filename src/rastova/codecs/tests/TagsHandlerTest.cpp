// The MakerNote handler: the makers' layouts read and written back, and notes that do not fit
// their bytes.
#include <gtest/gtest.h>

#include "rastova/codecs/RVTagsHandler.h"

namespace rv {
namespace {

struct TagBytes {
  std::vector<uint8_t> b;
  bool le;
  void U8(std::initializer_list<int> v) {
    for (int x : v) b.push_back(uint8_t(x));
  }
  void S(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
  void U16(uint32_t v) { le ? U8({int(v & 0xFF), int(v >> 8)}) : U8({int(v >> 8), int(v & 0xFF)}); }
  void U32(uint32_t v) {
    if (le) {
      U16(v & 0xFFFF);
      U16(v >> 16);
    } else {
      U16(v >> 16);
      U16(v & 0xFFFF);
    }
  }
  void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    U16(tag);
    U16(type);
    U32(count);
    U32(value);
  }
};

// Reads `note` placed at position `at` of a stream.
void ReadNote(TRVTagsHandler& h, const std::vector<uint8_t>& note, int64_t at, bool le = true) {
  TMemoryStream s;
  std::vector<uint8_t> pad(static_cast<size_t>(at), 0);
  s.WriteBuffer(pad.data(), at);
  s.WriteBuffer(note.data(), static_cast<int64_t>(note.size()));
  s.SetPosition(at);
  h.ReadMakerNote(s, static_cast<int32_t>(note.size()), le);
}

std::vector<uint8_t> WriteNote(TRVTagsHandler& h, int64_t at) {
  TMemoryStream s;
  std::vector<uint8_t> pad(static_cast<size_t>(at), 0);
  s.WriteBuffer(pad.data(), at);
  const int32_t n = h.WriteMakerNote(s);
  return std::vector<uint8_t>(s.Data().begin() + at, s.Data().begin() + at + n);
}

// The Nikon type-3 note: signature, its own big-endian TIFF header, the IFD at 18, offsets from
// the header at 10.
std::vector<uint8_t> NikonNote() {
  TagBytes n{{}, false};
  n.S(std::string("Nikon\0\x02\x10\0\0", 10));
  n.S(std::string("MM\0\x2A\0\0\0\x08", 8));
  n.U16(3);
  n.Entry(0x0001, 7, 4, 0x30323130);  // "0210" in the entry
  n.Entry(0x0002, 3, 2, 200);         // two SHORTs: 0, 200
  n.Entry(0x0004, 2, 8, 50);          // "NORMAL" out of line, at 10 + 50
  n.U32(0);
  n.S(std::string("NORMAL\0\0", 8));
  return n.b;
}

TEST(MakerNote, NikonNoteReadAndWrittenInItsOwnLayout) {
  const std::vector<uint8_t> note = NikonNote();
  TRVTagsHandler h;
  ReadNote(h, note, 100);
  EXPECT_EQ(h.DeviceInfo().Signature, std::string("Nikon\0\x02\x10\0\0", 10));
  ASSERT_EQ(h.EntryCount(), 3);
  EXPECT_EQ(h.GetEntry(0).tag, 1);
  EXPECT_EQ(h.GetEntry(2).count, 8u);
  const std::vector<uint8_t> text = h.GetEntryData(2);
  EXPECT_EQ(std::string(text.begin(), text.end()), std::string("NORMAL\0\0", 8));
  EXPECT_EQ(WriteNote(h, 300), note);
  TRVTagsHandler copy;
  copy.Assign(h);
  EXPECT_EQ(WriteNote(copy, 7), note);
}

TEST(MakerNote, UnknownMakerIsAPlainIFDWithOffsetsFromTheEnclosingFile) {
  TagBytes n{{}, true};
  n.U16(1);
  n.Entry(0x0010, 2, 6, 40 + 18);  // data right after the IFD, counted from position 0
  n.U32(0);
  n.S(std::string("HELLO\0", 6));
  TRVTagsHandler h;
  ReadNote(h, n.b, 40);
  EXPECT_TRUE(h.DeviceInfo().Signature.empty());
  ASSERT_EQ(h.EntryCount(), 1);
  const std::vector<uint8_t> d = h.GetEntryData(0);
  EXPECT_EQ(std::string(d.begin(), d.end()), std::string("HELLO\0", 6));
  // Written back at another place, its offsets follow it.
  EXPECT_EQ(WriteNote(h, 40), n.b);
}

TEST(MakerNote, QvcAndFujifilmNotesReadBackAfterWriting) {
  TagBytes q{{}, false};
  q.S(std::string("QVC\0\0\0", 6));
  q.U16(2);
  q.Entry(0x0002, 3, 1, 0x00070000);
  q.Entry(0x0003, 2, 7, 60 + 6 + 2 + 24 + 4);
  q.U32(0);
  q.S(std::string("CASIO!\0", 7));
  TagBytes f{{}, true};
  f.S("FUJIFILM");
  f.U32(12);
  f.U16(1);
  f.Entry(0x1000, 2, 8, 12 + 2 + 12 + 4);
  f.U32(0);
  f.S(std::string("STANDARD", 8));
  for (const auto& [what, note] : {std::pair{"QVC", q.b}, std::pair{"FUJIFILM", f.b}}) {
    SCOPED_TRACE(what);
    TRVTagsHandler h;
    ReadNote(h, note, 60, true);
    ASSERT_GE(h.EntryCount(), 1);
    const std::vector<uint8_t> before = h.GetEntryData(h.EntryCount() - 1);
    ASSERT_FALSE(before.empty());
    const std::vector<uint8_t> written = WriteNote(h, 60);
    TRVTagsHandler back;
    ReadNote(back, written, 60, true);
    ASSERT_EQ(back.EntryCount(), h.EntryCount());
    EXPECT_EQ(back.GetEntryData(back.EntryCount() - 1), before);
    EXPECT_EQ(back.GetEntry(0).value, h.GetEntry(0).value);
  }
}

TEST(MakerNote, NotesThatDoNotFitTheirBytes) {
  const std::vector<uint8_t> nikon = NikonNote();
  TagBytes many{{}, true};
  many.U16(300);
  many.b.resize(400 * 12, 0);
  TagBytes outside{{}, true};
  outside.U16(1);
  outside.Entry(0x0010, 2, 6, 5000);
  outside.U32(0);
  TagBytes wrap{{}, true};
  wrap.U16(1);
  wrap.Entry(0x0010, 4, 0x40000001, 20);  // 4 x count wraps in 32 bits
  wrap.U32(0);
  struct Case {
    const char* what;
    std::vector<uint8_t> note;
    int32_t entries;  // -1: cleared
  } cases[] = {
      {"one byte", {0x42}, -1},
      {"count 300", many.b, -1},
      {"Nikon cut after the signature", std::vector<uint8_t>(nikon.begin(), nikon.begin() + 10), -1},
      {"Nikon cut inside the entries", std::vector<uint8_t>(nikon.begin(), nikon.begin() + 40), -1},
      {"value outside the note", outside.b, 1},
      {"count whose size wraps", wrap.b, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRVTagsHandler h;
    ReadNote(h, c.note, 16);
    if (c.entries < 0) {
      EXPECT_EQ(h.EntryCount(), 0);
      EXPECT_EQ(h.RawSize(), 0);
      EXPECT_EQ(h.InternalStream().GetSize(), 0);
    } else {
      ASSERT_EQ(h.EntryCount(), c.entries);
      EXPECT_EQ(h.GetEntry(0).tag, 0x0010);
      EXPECT_EQ(h.GetEntry(0).count, 0u);
      EXPECT_EQ(h.GetEntry(0).value, 0u);
    }
  }
  // A size past the stream is clipped to what the stream holds.
  TMemoryStream s;
  s.WriteBuffer(nikon.data(), static_cast<int64_t>(nikon.size()));
  s.SetPosition(0);
  TRVTagsHandler h;
  h.ReadMakerNote(s, 1 << 30, true);
  EXPECT_EQ(h.RawSize(), static_cast<int32_t>(nikon.size()));
  EXPECT_EQ(h.EntryCount(), 3);
}

TEST(MakerNote, ANoteAbove65000BytesIsDropped) {
  TRVTagsHandler h;
  TagBytes n{{}, true};
  n.U16(1);
  n.Entry(0x0010, 7, 70000, 2 + 12);
  n.b.resize(2 + 12 + 70000, 0x11);
  h.InternalStream().WriteBuffer(n.b.data(), static_cast<int64_t>(n.b.size()));
  h.IndexEntries();
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  EXPECT_EQ(h.WriteMakerNote(s), 0);
  EXPECT_EQ(s.GetPosition(), 3);
  EXPECT_EQ(s.GetSize(), 3);
}

}  // namespace
}  // namespace rv

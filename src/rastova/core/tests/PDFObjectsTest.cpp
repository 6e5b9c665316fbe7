// The PDF object model: the text of every object class, the ownership of containers, and the
// document frame (header, numbered objects, 20-byte cross-reference entries, trailer).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "rastova/core/RVPDFObjects.h"
#include "rastova/core/RVStream.h"

using namespace rv;

namespace {

std::string TextOf(TRVPDFObject& obj, bool* errorOut = nullptr) {
  TMemoryStream s;
  bool error = false;
  obj.Write(s, error);
  if (errorOut) *errorOut = error;
  return std::string(s.Data().begin(), s.Data().end());
}

// Takes the first `room` bytes, then refuses.
class TShortStream : public TStream {
 public:
  explicit TShortStream(int64_t room) : room_(room) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    const int64_t n = std::min(count, room_ - pos_);
    pos_ += n;
    return n < 0 ? 0 : n;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    if (origin == soBeginning)
      pos_ = offset;
    else if (origin == soCurrent)
      pos_ += offset;
    return pos_;
  }

 private:
  int64_t room_;
  int64_t pos_ = 0;
};

// Counts its destructions.
class TProbe : public TRVPDFBooleanObject {
 public:
  explicit TProbe(int& deaths) : TRVPDFBooleanObject(true), deaths_(deaths) {}
  ~TProbe() override { ++deaths_; }

 private:
  int& deaths_;
};

}  // namespace

TEST(PDFObjects, TextForms) {
  struct Case {
    const char* what;
    std::function<TRVPDFObject*()> make;
    std::string text;
  } cases[] = {
      {"reference", [] { return new TRVPDFRefObject(5, 0); }, "5 0 R"},
      {"half", [] { return new TRVPDFNumericObject(0.5); }, "0.5"},
      {"integral", [] { return new TRVPDFNumericObject(612); }, "612"},
      {"negative", [] { return new TRVPDFNumericObject(-3); }, "-3"},
      {"fraction digits", [] { return new TRVPDFNumericObject(1.0 / 3); }, "0.333333333333333"},
      {"false", [] { return new TRVPDFBooleanObject(false); }, "false"},
      {"true", [] { return new TRVPDFBooleanObject(true); }, "true"},
      {"string escapes", [] { return new TRVPDFStringObject("a(b)\\c\r"); }, "(a\\(b\\)\\\\c\\r)"},
      {"control escapes", [] { return new TRVPDFStringObject("\b\t\n\f"); }, "(\\b\\t\\n\\f)"},
      {"other bytes kept", [] { return new TRVPDFStringObject(std::string("x\x01\xFF/", 4)); },
       std::string("(x\x01\xFF/)", 6)},
      {"plain name", [] { return new TRVPDFNameObject("Type"); }, "/Type"},
      {"name escapes", [] { return new TRVPDFNameObject("a b\xC8~!"); }, "/a#20b#C8~!"},
      {"name control byte", [] { return new TRVPDFNameObject(std::string("\x00\x7F", 2)); }, "/#00#7F"},
      {"empty array", [] { return new TRVPDFArrayObject(); }, "[]"},
      {"media box",
       [] {
         auto* a = new TRVPDFArrayObject();
         for (int v : {0, 0, 612, 792}) a->Add(new TRVPDFNumericObject(v));
         return a;
       },
       "[0 0 612 792 ]"},
      {"empty dictionary", [] { return new TRVPDFDictionaryObject(); }, "<< >>"},
      {"dictionary",
       [] {
         auto* d = new TRVPDFDictionaryObject();
         d->Add("Type", new TRVPDFNameObject("Catalog"));
         d->Add("Pages", new TRVPDFRefObject(2, 0));
         return d;
       },
       "<< /Type /Catalog\n/Pages 2 0 R\n>>"},
      {"keys are not escaped",
       [] {
         auto* d = new TRVPDFDictionaryObject();
         d->Add("a b", new TRVPDFNumericObject(1));
         return d;
       },
       "<< /a b 1\n>>"},
      {"empty stream", [] { return new TRVPDFStreamObject(); }, "<< /Length 0\n>>\nstream\n\nendstream"},
      {"stream length replaced",
       [] {
         auto* s = new TRVPDFStreamObject("abc", 3);
         s->Dictionary->Add("Filter", new TRVPDFNameObject("X"));
         s->Dictionary->Put("length", new TRVPDFNumericObject(99));  // keys match without case
         return s;
       },
       "<< /Length 3\n/Filter /X\n>>\nstream\nabc\nendstream"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TRVPDFObject> obj(c.make());
    bool error = true;
    EXPECT_EQ(TextOf(*obj, &error), c.text) << c.what;
    EXPECT_FALSE(error) << c.what;
  }
}

TEST(PDFObjects, DictionaryLookupAndOffsets) {
  TRVPDFDictionaryObject d;
  d.Add("Type", new TRVPDFNameObject("Page"));
  d.Add("type", new TRVPDFNameObject("Dup"));  // no duplicate check
  EXPECT_EQ(d.IndexOf("TYPE"), 0);
  EXPECT_EQ(d.Find("Missing"), nullptr);
  EXPECT_EQ(static_cast<TRVPDFNameObject*>(d.Find("tYpE"))->Value, "Page");
  d.Put("Count", new TRVPDFNumericObject(2));
  EXPECT_EQ(d.IndexOf("count"), 2);

  // Every write records where the object's text starts.
  TMemoryStream s;
  s.Write("12345", 5);
  bool error = false;
  TRVPDFNumericObject n(7);
  n.Write(s, error);
  EXPECT_EQ(n.Offset, 5);
}

TEST(PDFObjects, ContainersKeepSharedMembers) {
  int deaths = 0;
  auto* shared = new TProbe(deaths);
  shared->Shared = true;
  {
    TRVPDFArrayObject a;
    a.Add(shared);
    a.Add(new TProbe(deaths));
    TRVPDFDictionaryObject d;
    d.Add("S", shared);
    d.Add("Own", new TProbe(deaths));
    d.Put("Own", new TProbe(deaths));  // the replaced value is freed at once
    EXPECT_EQ(deaths, 1);
    d.Put("S", new TProbe(deaths));  // a shared value is left alive
    EXPECT_EQ(deaths, 1);
  }
  EXPECT_EQ(deaths, 4);
  delete shared;
  EXPECT_EQ(deaths, 5);
}

TEST(PDFObjects, DocumentFrame) {
  TRVPDFObjectList objects;
  std::unique_ptr<TRVPDFDictionaryObject> catalog(PDFAddCatalog(objects));
  EXPECT_EQ(catalog->ObjectNumber, 1);
  std::unique_ptr<TRVPDFStreamObject> contents(new TRVPDFStreamObject("q Q", 3));
  PDFAddObject(objects, contents.get());
  std::vector<std::unique_ptr<TRVPDFDictionaryObject>> pages;
  auto* box = new TRVPDFArrayObject();
  PDFAddPage(objects, pages, nullptr, contents->ObjectNumber, box);
  std::unique_ptr<TRVPDFDictionaryObject> tree(PDFAddPages(objects, pages));
  TRVPDFDictionaryObject info;
  info.Add("Title", new TRVPDFStringObject("T"));
  PDFAddObject(objects, &info);
  ASSERT_EQ(objects.size(), 5u);
  EXPECT_EQ(tree->ObjectNumber, 4);
  EXPECT_EQ(TextOf(*catalog), "<< /Type /Catalog\n/Pages 4 0 R\n>>");
  EXPECT_EQ(TextOf(*pages[0]), "<< /Type /Page\n/MediaBox []\n/Contents 2 0 R\n/Parent 4 0 R\n>>");
  EXPECT_EQ(TextOf(*tree), "<< /Type /Pages\n/Kids [3 0 R ]\n/Count 1\n>>");

  TMemoryStream s;
  bool error = false;
  PDFWriteHeader(s, error);
  PDFWriteObjects(s, objects, error);
  PDFWriteXRefAndTrailer(s, objects, info, error);
  EXPECT_FALSE(error);
  const std::string file(s.Data().begin(), s.Data().end());
  EXPECT_EQ(file.substr(0, 15), "%PDF-1.4\n%\xC8\xD2\xF0\xFE\n");
  // Each object's offset is the position of its "obj" line.
  for (TRVPDFObject* obj : objects)
    EXPECT_EQ(
        file.compare(static_cast<size_t>(obj->Offset), 8, std::to_string(obj->ObjectNumber) + " 0 obj\n"), 0);
  EXPECT_NE(file.find("1 0 obj\n<< /Type /Catalog\n/Pages 4 0 R\n>>\nendobj\n2 0 obj\n"), std::string::npos);

  const size_t xref = file.find("xref\n");
  ASSERT_NE(xref, std::string::npos);
  const std::string tail = file.substr(xref);
  std::string expected = "xref\n0 6\n0000000000 65535 f \n";
  for (TRVPDFObject* obj : objects) {
    char entry[21];
    std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(obj->Offset));
    ASSERT_EQ(std::string(entry).size(), 20u);
    expected += entry;
  }
  expected +=
      "trailer\n<< /Size 6\n/Root 1 0 R\n/Info 5 0 R\n>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  EXPECT_EQ(tail, expected);
}

TEST(PDFObjects, CrossReferencePadsOffsetsToTenDigits) {
  TRVPDFObjectList objects;
  TRVPDFBooleanObject a(true);
  PDFAddObject(objects, &a);
  a.Offset = 12345;
  TMemoryStream s;
  bool error = false;
  PDFWriteXRefAndTrailer(s, objects, a, error);
  const std::string text(s.Data().begin(), s.Data().end());
  EXPECT_EQ(text.substr(0, 51), "xref\n0 2\n0000000000 65535 f \n0000012345 00000 n \ntr");
}

TEST(PDFObjects, ShortWritesSetTheErrorFlag) {
  // Every cut of a small document's text leaves the flag set.
  TRVPDFObjectList objects;
  std::unique_ptr<TRVPDFDictionaryObject> catalog(PDFAddCatalog(objects));
  std::unique_ptr<TRVPDFStreamObject> data(new TRVPDFStreamObject("0123456789", 10));
  PDFAddObject(objects, data.get());
  TMemoryStream full;
  bool error = false;
  PDFWriteHeader(full, error);
  PDFWriteObjects(full, objects, error);
  PDFWriteXRefAndTrailer(full, objects, *catalog, error);
  ASSERT_FALSE(error);
  const int64_t size = full.GetSize();
  for (int64_t room = 0; room < size; room += 7) {
    TShortStream s(room);
    bool cut = false;
    PDFWriteHeader(s, cut);
    PDFWriteObjects(s, objects, cut);
    PDFWriteXRefAndTrailer(s, objects, *catalog, cut);
    EXPECT_TRUE(cut) << room;
  }
}

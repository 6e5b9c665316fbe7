#include "rastova/core/RVPDFObjects.h"

#include <cctype>

#include "rastova/core/RVLists.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

void Emit(TStream& stream, std::string_view text, bool& error) {
  SafeStreamWrite(stream, error, text.data(), static_cast<int64_t>(text.size()));
}

bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

void FreeMember(TRVPDFObject* obj) {
  if (obj && !obj->Shared) delete obj;
}

// Decimal text padded on the left with zeros to at least `width` digits.
std::string PadLeftA(int64_t value, size_t width) {
  std::string s = IntToStrA(value);
  if (s.size() < width) s.insert(0, width - s.size(), '0');
  return s;
}

}  // namespace

// ---------------------------------------------------------------- objects

void TRVPDFRefObject::Write(TStream& stream, bool& error) {
  Offset = stream.GetPosition();
  Emit(stream, IntToStrA(RefNumber) + " " + IntToStrA(Generation) + " R", error);
}

void TRVPDFNumericObject::Write(TStream& stream, bool& error) {
  Offset = stream.GetPosition();
  Emit(stream, FloatToStrDotA(Value), error);
}

void TRVPDFBooleanObject::Write(TStream& stream, bool& error) {
  Offset = stream.GetPosition();
  Emit(stream, Value ? "true" : "false", error);
}

void TRVPDFStringObject::Write(TStream& stream, bool& error) {
  Offset = stream.GetPosition();
  std::string s;
  s.reserve(Value.size() + 2);
  s += '(';
  for (const char c : Value) {
    switch (c) {
      case 8:
        s += "\\b";
        break;
      case 9:
        s += "\\t";
        break;
      case 10:
        s += "\\n";
        break;
      case 12:
        s += "\\f";
        break;
      case 13:
        s += "\\r";
        break;
      case '(':
        s += "\\(";
        break;
      case ')':
        s += "\\)";
        break;
      case '\\':
        s += "\\\\";
        break;
      default:
        s += c;
        break;
    }
  }
  s += ')';
  Emit(stream, s, error);
}

void TRVPDFNameObject::Write(TStream& stream, bool& error) {
  Offset = stream.GetPosition();
  static const char kHex[] = "0123456789ABCDEF";
  std::string s = "/";
  for (const char ch : Value) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < '!' || c > '~') {
      s += '#';
      s += kHex[c >> 4];
      s += kHex[c & 15];
    } else {
      s += ch;
    }
  }
  Emit(stream, s, error);
}

TRVPDFArrayObject::~TRVPDFArrayObject() {
  for (TRVPDFObject* item : Items) FreeMember(item);
}

void TRVPDFArrayObject::Write(TStream& stream, bool& error) {
  Offset = stream.GetPosition();
  Emit(stream, "[", error);
  for (TRVPDFObject* item : Items) {
    item->Write(stream, error);
    Emit(stream, " ", error);
  }
  Emit(stream, "]", error);
}

TRVPDFDictionaryObject::~TRVPDFDictionaryObject() {
  for (auto& e : Entries) FreeMember(e.second);
}

void TRVPDFDictionaryObject::Write(TStream& stream, bool& error) {
  Offset = stream.GetPosition();
  Emit(stream, "<< ", error);
  for (auto& e : Entries) {
    Emit(stream, "/" + e.first + " ", error);
    e.second->Write(stream, error);
    Emit(stream, "\n", error);
  }
  Emit(stream, ">>", error);
}

int32_t TRVPDFDictionaryObject::IndexOf(std::string_view key) const {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (SameKey(Entries[i].first, key)) return static_cast<int32_t>(i);
  return -1;
}

TRVPDFObject* TRVPDFDictionaryObject::Find(std::string_view key) const {
  const int32_t i = IndexOf(key);
  return i < 0 ? nullptr : Entries[static_cast<size_t>(i)].second;
}

void TRVPDFDictionaryObject::Put(std::string_view key, TRVPDFObject* value) {
  const int32_t i = IndexOf(key);
  if (i < 0) {
    Add(std::string(key), value);
    return;
  }
  TRVPDFObject*& slot = Entries[static_cast<size_t>(i)].second;
  if (slot != value) FreeMember(slot);
  slot = value;
}

TRVPDFStreamObject::TRVPDFStreamObject() : Dictionary(std::make_unique<TRVPDFDictionaryObject>()) {
  Dictionary->Add("Length", new TRVPDFNumericObject(0));
}

TRVPDFStreamObject::TRVPDFStreamObject(const void* data, int64_t length) : TRVPDFStreamObject() {
  if (data && length > 0) {
    const auto* p = static_cast<const uint8_t*>(data);
    Data.assign(p, p + length);
  }
}

TRVPDFStreamObject::TRVPDFStreamObject(std::vector<uint8_t> data) : TRVPDFStreamObject() {
  Data = std::move(data);
}

void TRVPDFStreamObject::Write(TStream& stream, bool& error) {
  Offset = stream.GetPosition();
  Dictionary->Put("Length", new TRVPDFNumericObject(static_cast<double>(Data.size())));
  Dictionary->Write(stream, error);
  Emit(stream, "\nstream\n", error);
  SafeStreamWrite(stream, error, Data.data(), static_cast<int64_t>(Data.size()));
  Emit(stream, "\nendstream", error);
}

// ---------------------------------------------------------------- document routines

void PDFWriteLine(TStream& stream, std::string_view text, bool& error) {
  Emit(stream, text, error);
  Emit(stream, "\n", error);
}

void PDFWriteText(TStream& stream, std::string_view text, bool& error) { Emit(stream, text, error); }

void PDFWriteHeader(TStream& stream, bool& error) {
  PDFWriteLine(stream, "%PDF-1.4", error);
  PDFWriteLine(stream, "%\xC8\xD2\xF0\xFE", error);
}

void PDFAddObject(TRVPDFObjectList& objects, TRVPDFObject* obj) {
  objects.push_back(obj);
  obj->ObjectNumber = static_cast<int32_t>(objects.size());
}

TRVPDFDictionaryObject* PDFAddCatalog(TRVPDFObjectList& objects) {
  auto* catalog = new TRVPDFDictionaryObject();
  catalog->Add("Type", new TRVPDFNameObject("Catalog"));
  PDFAddObject(objects, catalog);
  return catalog;
}

void PDFAddPage(TRVPDFObjectList& objects, std::vector<std::unique_ptr<TRVPDFDictionaryObject>>& pages,
                TRVPDFDictionaryObject* resources, int32_t contentsNumber, TRVPDFArrayObject* mediaBox) {
  auto page = std::make_unique<TRVPDFDictionaryObject>();
  page->Add("Type", new TRVPDFNameObject("Page"));
  if (resources) page->Add("Resources", new TRVPDFRefObject(resources->ObjectNumber, 0));
  page->Add("MediaBox", mediaBox);
  page->Add("Contents", new TRVPDFRefObject(contentsNumber, 0));
  PDFAddObject(objects, page.get());
  pages.push_back(std::move(page));
}

TRVPDFDictionaryObject* PDFAddPages(TRVPDFObjectList& objects,
                                    const std::vector<std::unique_ptr<TRVPDFDictionaryObject>>& pages) {
  auto* tree = new TRVPDFDictionaryObject();
  PDFAddObject(objects, tree);
  tree->Add("Type", new TRVPDFNameObject("Pages"));
  auto* kids = new TRVPDFArrayObject();
  for (const auto& page : pages) {
    kids->Add(new TRVPDFRefObject(page->ObjectNumber, 0));
    page->Add("Parent", new TRVPDFRefObject(tree->ObjectNumber, 0));
  }
  tree->Add("Kids", kids);
  tree->Add("Count", new TRVPDFNumericObject(static_cast<double>(pages.size())));
  if (!objects.empty() && objects.front() != tree) {
    if (auto* catalog = dynamic_cast<TRVPDFDictionaryObject*>(objects.front()))
      catalog->Add("Pages", new TRVPDFRefObject(tree->ObjectNumber, 0));
  }
  return tree;
}

void PDFWriteObjects(TStream& stream, const TRVPDFObjectList& objects, bool& error) {
  for (TRVPDFObject* obj : objects) {
    const int64_t position = stream.GetPosition();
    PDFWriteLine(stream, IntToStrA(obj->ObjectNumber) + " 0 obj", error);
    obj->Write(stream, error);
    Emit(stream, "\n", error);
    PDFWriteLine(stream, "endobj", error);
    obj->Offset = position;
  }
}

void PDFWriteXRefAndTrailer(TStream& stream, const TRVPDFObjectList& objects, const TRVPDFObject& info,
                            bool& error) {
  const int64_t start = stream.GetPosition();
  const int64_t size = static_cast<int64_t>(objects.size()) + 1;
  PDFWriteLine(stream, "xref", error);
  PDFWriteLine(stream, "0 " + IntToStrA(size), error);
  PDFWriteLine(stream, "0000000000 65535 f ", error);
  std::string table;
  table.reserve(objects.size() * 20);
  for (const TRVPDFObject* obj : objects) table += PadLeftA(obj->Offset, 10) + " 00000 n \n";
  Emit(stream, table, error);
  PDFWriteLine(stream, "trailer", error);
  PDFWriteLine(stream, "<< /Size " + IntToStrA(size), error);
  PDFWriteLine(stream, "/Root 1 0 R", error);
  PDFWriteLine(stream, "/Info " + IntToStrA(info.ObjectNumber) + " 0 R", error);
  PDFWriteLine(stream, ">>", error);
  PDFWriteLine(stream, "startxref", error);
  PDFWriteLine(stream, IntToStrA(start), error);
  PDFWriteLine(stream, "%%EOF", error);
}

}  // namespace rv

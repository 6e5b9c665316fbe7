#include "rastova/core/RVImagingAnnot.h"

#include <cstring>
#include <map>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVDibTransfer.h"

namespace rv {

namespace {

constexpr int32_t kRecDefaultBlock = 2, kRecAttributes = 5, kRecMarkBlock = 6;
constexpr int32_t kDefaultScale = 7500;

uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Append32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  Put32(b, v);
  out.insert(out.end(), b, b + 4);
}

using TBlockSet = std::map<std::string, std::vector<uint8_t>>;

// The reading position inside a block; every read is checked against the block's end.
struct TCursor {
  const uint8_t* data;
  size_t size;
  size_t pos;
  bool Has(size_t n) const { return n <= size - pos; }
};

// Reads one named block into the set; false when it runs past the data.
bool ReadNamedBlock(TCursor& c, bool intFormat, TBlockSet& set) {
  if (!c.Has(12)) return false;
  std::string name(reinterpret_cast<const char*>(c.data + c.pos), 8);
  name.resize(std::strlen(name.c_str()));
  const uint32_t size = Get32(c.data + c.pos + 8);
  c.pos += 12;
  if (!intFormat) {
    if (!c.Has(4)) return false;
    c.pos += 4;
  }
  if (!c.Has(size)) return false;
  static const char* const kKept[] = {"OiAnoDat", "OiFilNam", "OiDIB", "OiGroup", "OiIndex", "OiAnText"};
  for (const char* k : kKept)
    if (name == k) set[name].assign(c.data + c.pos, c.data + c.pos + size);
  c.pos += size;
  return true;
}

// The mark of an attribute block with its named blocks; nullptr when it is none or its data run
// past their blocks.
std::unique_ptr<TRVImagingObject> MakeMark(const uint8_t* attributes, const TBlockSet& blocks) {
  auto mark = std::make_unique<TRVImagingObject>();
  std::memcpy(mark->Attributes, attributes, kWangAttributeSize);
  const int32_t type = mark->MarkType();
  if (type <= 0) return nullptr;
  auto find = [&](const char* name) -> const std::vector<uint8_t>* {
    auto it = blocks.find(name);
    return it == blocks.end() ? nullptr : &it->second;
  };
  if (type == 1) {
    if (const auto* dib = find("OiDIB")) {
      auto image = std::make_unique<TRVBitmap>();
      if (PackedDIBToBitmap(dib->data(), dib->size(), *image) != 0) mark->Image = std::move(image);
    }
  } else if (type == 3 || type == 4) {
    if (const auto* pts = find("OiAnoDat")) {
      if (pts->size() < 8) return nullptr;
      const uint64_t n = Get32(pts->data() + 4);
      if (n * 8 > pts->size() - 8) return nullptr;
      mark->Points.resize(static_cast<size_t>(n));
      for (size_t i = 0; i < n; ++i) {
        mark->Points[i].x = static_cast<int32_t>(Get32(pts->data() + 8 + 8 * i));
        mark->Points[i].y = static_cast<int32_t>(Get32(pts->data() + 12 + 8 * i));
      }
    }
  } else if (type >= 7 && type <= 10) {
    if (const auto* text = find("OiAnText")) {
      if (text->size() < 16) return nullptr;
      const uint32_t length = Get32(text->data() + 12);
      if (length > text->size() - 16) return nullptr;
      std::string s(reinterpret_cast<const char*>(text->data() + 16), length);
      s.resize(std::strlen(s.c_str()));
      mark->Text = s;
      mark->HasText = true;
      // The font height was stored at the creation scale; it comes back at the standard one.
      int32_t scale = static_cast<int32_t>(Get32(text->data() + 8));
      if (scale == 0) scale = kDefaultScale;
      const int64_t h = common::Trunc(1000.0L / scale * mark->FontHeight());
      mark->SetFontHeight(common::TruncInt(static_cast<long double>(h) * kDefaultScale / 1000));
    }
  }
  return mark;
}

void AppendNamedBlock(std::vector<uint8_t>& out, int32_t record, const char* name,
                      const std::vector<uint8_t>& data) {
  Append32(out, static_cast<uint32_t>(record));
  Append32(out, 12);
  uint8_t n[8] = {};
  std::memcpy(n, name, std::min<size_t>(std::strlen(name), 8));
  out.insert(out.end(), n, n + 8);
  Append32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

std::vector<uint8_t> TextData(const std::string& text) {
  std::vector<uint8_t> v(text.begin(), text.end());
  v.push_back(0);
  return v;
}

}  // namespace

TRVImagingObject::TRVImagingObject() = default;
TRVImagingObject::~TRVImagingObject() = default;

int32_t TRVImagingObject::MarkType() const { return static_cast<int32_t>(Get32(Attributes)); }
void TRVImagingObject::SetMarkType(int32_t type) { Put32(Attributes, static_cast<uint32_t>(type)); }
int32_t TRVImagingObject::FontHeight() const {
  return static_cast<int32_t>(Get32(Attributes + kWangFontHeightOffset));
}
void TRVImagingObject::SetFontHeight(int32_t height) {
  Put32(Attributes + kWangFontHeightOffset, static_cast<uint32_t>(height));
}

TRVImagingAnnot::TRVImagingAnnot() = default;
TRVImagingAnnot::~TRVImagingAnnot() = default;

void TRVImagingAnnot::Clear() { objects_.clear(); }

TRVImagingObject& TRVImagingAnnot::AddObject() {
  objects_.push_back(std::make_unique<TRVImagingObject>());
  return *objects_.back();
}

void TRVImagingAnnot::Assign(const TRVImagingAnnot& source) {
  if (&source == this) return;
  Clear();
  for (const auto& src : source.objects_) {
    TRVImagingObject& o = AddObject();
    std::memcpy(o.Attributes, src->Attributes, kWangAttributeSize);
    o.Points = src->Points;
    o.Text = src->Text;
    o.HasText = src->HasText;
    if (src->Image) {
      o.Image = std::make_unique<TRVBitmap>();
      o.Image->Assign(src->Image.get());
    }
  }
}

void TRVImagingAnnot::LoadFromWangData(const uint8_t* data, size_t size) {
  Modified = false;
  if (!data || size < 8) return;
  const bool intFormat = Get32(data + 4) != 0;
  TCursor c{data, size, 8};
  TBlockSet defaults, blocks;
  uint8_t attributes[kWangAttributeSize] = {};
  bool cut = false;
  auto complete = [&] {
    if (auto mark = MakeMark(attributes, blocks)) objects_.push_back(std::move(mark));
  };
  while (c.pos < size) {
    if (!c.Has(8)) {
      cut = true;
      break;
    }
    const int32_t record = static_cast<int32_t>(Get32(data + c.pos));
    c.pos += 8;
    if (record == kRecAttributes) {
      complete();
      blocks.clear();
      if (!c.Has(kWangAttributeSize)) {
        cut = true;
        break;
      }
      std::memcpy(attributes, data + c.pos, kWangAttributeSize);
      c.pos += kWangAttributeSize;
    } else if (record == kRecDefaultBlock || record == kRecMarkBlock) {
      if (!ReadNamedBlock(c, intFormat, record == kRecDefaultBlock ? defaults : blocks)) {
        cut = true;
        break;
      }
    }
  }
  // A mark whose records run past the data is dropped.
  if (!cut) complete();
}

std::vector<uint8_t> TRVImagingAnnot::SaveToWangData() const {
  std::vector<uint8_t> out;
  if (objects_.empty()) return out;
  Append32(out, 0);
  Append32(out, 1);
  AppendNamedBlock(out, kRecDefaultBlock, "OiGroup", TextData("0"));
  AppendNamedBlock(out, kRecDefaultBlock, "OiIndex", TextData("1"));
  for (size_t k = 0; k < objects_.size(); ++k) {
    const TRVImagingObject& o = *objects_[k];
    Append32(out, kRecAttributes);
    Append32(out, kWangAttributeSize);
    out.insert(out.end(), o.Attributes, o.Attributes + kWangAttributeSize);
    const int32_t type = o.MarkType();
    if (type == 1 && o.Image) {
      std::vector<uint8_t> placement;
      for (int32_t v : {1, 1000, ScreenDpiX, ScreenDpiY, ScreenDpiX, ScreenDpiY, 0, 0, 0, 0, 0, 0, 0, 0})
        Append32(placement, static_cast<uint32_t>(v));
      AppendNamedBlock(out, kRecMarkBlock, "OiAnoDat", placement);
      AppendNamedBlock(out, kRecMarkBlock, "OiDIB", CopyBitmaptoDIBEx(*o.Image, 0, 0, 0, 0, 200, 200));
    } else if (type == 3 || type == 4) {
      std::vector<uint8_t> points;
      Append32(points, static_cast<uint32_t>(o.Points.size()));
      Append32(points, static_cast<uint32_t>(o.Points.size()));
      for (const TRVImagingObject::TPoint& p : o.Points) {
        Append32(points, static_cast<uint32_t>(p.x));
        Append32(points, static_cast<uint32_t>(p.y));
      }
      AppendNamedBlock(out, kRecMarkBlock, "OiAnoDat", points);
    } else if (type >= 7 && type <= 10) {
      std::vector<uint8_t> text;
      for (uint32_t v : {0u, 1000u, uint32_t(kDefaultScale), uint32_t(o.Text.size())}) Append32(text, v);
      text.insert(text.end(), o.Text.begin(), o.Text.end());
      text.push_back(0);
      AppendNamedBlock(out, kRecMarkBlock, "OiAnText", text);
    }
    AppendNamedBlock(out, kRecMarkBlock, "OiGroup", TextData("0"));
    AppendNamedBlock(out, kRecMarkBlock, "OiIndex", TextData(std::to_string(k)));
  }
  return out;
}

}  // namespace rv

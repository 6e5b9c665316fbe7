// The vector layer's object stream reader (object files, object undo steps, the second half of
// "Layers and objects" streams) over untrusted bytes: the content tests, the whole stream, and
// the same bytes read as one entry on its own. One extended-object class is registered, so that
// the entries naming it run its reading on the stream's data.
#include <cstdint>
#include <exception>
#include <string>

#include "fuzz/ImageInput.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/vector/RVExtendedObject.h"
#include "rastova/io/vector/RVVObjStream.h"

namespace {

// Stores an int32 length and that many bytes, as a plug-in's object might.
class TFuzzObject : public rv::TRVExtendedObject {
 public:
  bool LoadFromStream(rv::TStream& Stream) override {
    int32_t n = 0;
    Stream.ReadBuffer(&n, 4);
    if (n < 0 || n > 4096) return false;
    data_.resize(size_t(n));
    Stream.ReadBuffer(data_.data(), n);
    return true;
  }

 private:
  std::string data_;
};

void StartRegistry() {
  static const bool started = [] {
    rv::CreateExtendedObjectRegistry();
    rv::RegisterExtendedObjectClass("TFuzzObject", [] { return new TFuzzObject(); });
    return true;
  }();
  (void)started;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  StartRegistry();
  const rv::TRVVObjRecord templ;
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::IsRVVStream(stream);
  rv::IsAllStream(stream);
  try {
    rv::TRVVObjStreamContent content;
    rv::ReadObjectStream(stream, content, templ, nullptr);
  } catch (const std::exception&) {
  }
  try {
    rv::TRVMemStream entry(data, static_cast<int64_t>(size));
    rv::TRVVObjStreamContent content;
    rv::ReadObjectEntry(entry, rv::kRVVVersion, content, templ, nullptr);
  } catch (const std::exception&) {
  }
  return 0;
}

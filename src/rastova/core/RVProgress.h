#pragma once
// The progress event of the image library's long operations: the sender (the component that
// runs the operation, or nullptr) and a whole percentage. An empty event reports nothing.
#include <cstdint>
#include <functional>

namespace rv {

using TRVProgressEvent = std::function<void(void* sender, int32_t per)>;

}  // namespace rv

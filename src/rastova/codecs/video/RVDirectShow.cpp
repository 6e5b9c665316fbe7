#include "rastova/codecs/video/RVDirectShow.h"

namespace rv {

TRVVideoFormat* TRVDirectShow::GetVideoFormats(int32_t index) {
  if (index < 0 || index >= VideoFormatsCount()) return nullptr;
  return videoFormats_[static_cast<size_t>(index)].get();
}

void TRVDirectShow::SetNotifyWindow(uintptr_t window, uint32_t newFrameMessage, uint32_t graphEventMessage) {
  notifyWindow_ = window;
  newFrameMessage_ = newFrameMessage;
  graphEventMessage_ = graphEventMessage;
}

void TRVDirectShow::SetVideoPosition(const platform::TRect& /*source*/,
                                     const platform::TRect& /*destination*/) {}

void TRVDirectShow::GetNativeVideoSize(int32_t& /*width*/, int32_t& /*height*/) {}

void TRVDirectShow::RepaintVideo(uintptr_t /*window*/, uintptr_t /*deviceContext*/) {}

}  // namespace rv

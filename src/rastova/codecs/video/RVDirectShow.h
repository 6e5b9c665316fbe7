#pragma once
// TRVDirectShow: the video object an I/O component holds for its image view. The window
// system's filter-graph video services have no counterpart here, and nothing in the program
// builds a graph: the object keeps its name and format lists (left empty) and the window that
// would be notified, reports itself neither connected nor running, and its renderer calls do
// nothing. The image view asks it before it places or paints video.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/Types.h"

namespace rv {

// One capture format of a video device.
struct TRVVideoFormat {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;
  std::string Compression;
};

class TRVDirectShow {
 public:
  TRVDirectShow() = default;
  ~TRVDirectShow() { Disconnect(); }
  TRVDirectShow(const TRVDirectShow&) = delete;
  TRVDirectShow& operator=(const TRVDirectShow&) = delete;

  // Device and format names; no operation of the program fills them.
  std::vector<std::string> VideoInputs, AudioInputs, VideoCodecs, AudioCodecs, VideoInputSources;
  std::string FileInput, FileOutput;
  std::u16string WideFileInput;

  // Stops and releases a graph; there is none.
  void Disconnect() {}
  void ClearVideoFormats() { videoFormats_.clear(); }
  int32_t VideoFormatsCount() const { return static_cast<int32_t>(videoFormats_.size()); }
  // The entry at `index`; nullptr outside the list.
  TRVVideoFormat* GetVideoFormats(int32_t index);
  // Whether a graph is built: never.
  bool GetConnected() const { return false; }
  // Whether a graph runs: never.
  bool IsRunning() const { return false; }

  // The window to notify of new frames (`newFrameMessage`) and graph events
  // (`graphEventMessage`). Stored; without a graph nothing is registered.
  void SetNotifyWindow(uintptr_t window, uint32_t newFrameMessage, uint32_t graphEventMessage);
  uintptr_t NotifyWindow() const { return notifyWindow_; }
  uint32_t NewFrameMessage() const { return newFrameMessage_; }
  uint32_t GraphEventMessage() const { return graphEventMessage_; }

  // The renderer's calls: nothing happens without a renderer (the sizes stay as they are).
  void SetVideoPosition(const platform::TRect& source, const platform::TRect& destination);
  void GetNativeVideoSize(int32_t& width, int32_t& height);
  void RepaintVideo(uintptr_t window, uintptr_t deviceContext);

 private:
  std::vector<std::unique_ptr<TRVVideoFormat>> videoFormats_;
  uintptr_t notifyWindow_ = 0;
  uint32_t newFrameMessage_ = 0, graphEventMessage_ = 0;
};

}  // namespace rv

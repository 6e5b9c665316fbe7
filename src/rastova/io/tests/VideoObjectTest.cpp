// The video object of a view: created on first use, bound to the view's window, inert.
#include <gtest/gtest.h>

#include "IoTestTools.h"
#include "rastova/codecs/video/RVDirectShow.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

// A view whose window handle the test changes.
class WindowView : public iotest::StubView {
 public:
  uintptr_t GetWindowHandle() override { return window; }
  uintptr_t window = 0x1234;
};

TEST(VideoObject, BoundToTheViewsWindowAndInert) {
  WindowView view;
  TRastovaIO io;
  io.SyncDirectShowWindow();  // nothing attached, nothing created
  io.SetAttachedView(&view);
  io.SyncDirectShowWindow();  // no object yet: none is made
  TRVDirectShow* video = io.GetDShowParams();
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(io.GetDShowParams(), video);  // one object per component
  EXPECT_EQ(video->NotifyWindow(), 0x1234u);
  EXPECT_EQ(video->NewFrameMessage(), 8025u);
  EXPECT_EQ(video->GraphEventMessage(), 8026u);
  // The view got a new window: the object follows it.
  view.window = 0x5678;
  io.SyncDirectShowWindow();
  EXPECT_EQ(video->NotifyWindow(), 0x5678u);

  // No graph: not connected, not running; the renderer's calls change nothing.
  EXPECT_FALSE(video->GetConnected());
  EXPECT_FALSE(video->IsRunning());
  int32_t w = 7, h = 9;
  video->GetNativeVideoSize(w, h);
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 9);
  video->SetVideoPosition(platform::TRect{0, 0, 10, 10}, platform::TRect{0, 0, 20, 20});
  video->RepaintVideo(0x5678, 0);
  video->Disconnect();
  EXPECT_EQ(video->VideoFormatsCount(), 0);
  EXPECT_EQ(video->GetVideoFormats(0), nullptr);
  EXPECT_TRUE(video->VideoInputs.empty());
  EXPECT_TRUE(video->FileInput.empty());

  // Without a view the object is made but bound to no window.
  TRastovaIO plain;
  EXPECT_EQ(plain.GetDShowParams()->NotifyWindow(), 0u);
}

}  // namespace
}  // namespace rv

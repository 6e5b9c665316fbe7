// The scene viewer control, headless (Qt's offscreen platform, Mesa through EGL): the frame
// reaches the window surface upright and follows the control's size; frames are rendered only
// when something changed; the context goes before the control; a context that cannot be made
// is logged and tried again; camera, field of view, mouse and key behaviour.
#include <gtest/gtest.h>

#include <QAction>
#include <QEnterEvent>
#include <QTest>
#include <array>
#include <string>
#include <vector>

#include "platform/gfx/Color.h"
#include "platform/ui/tests/UiTestApp.h"
#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLLog.h"
#include "scene3d/platform/GL3DSceneViewer.h"
#include "scene3d/platform/Scene3dPlatform.h"
#include "scene3d/scene/Scene3dScene.h"

using namespace gl3d;
using platform::test::App;
using platform::test::WaitFor;

namespace {

// A context class that cannot be made, as on a machine without a usable driver.
class TUnavailableContext : public TGLEGLContext {
 public:
  static std::unique_ptr<TGLContext> Create() { return std::make_unique<TUnavailableContext>(); }

 protected:
  void DoCreateContext(TGLOutputDevice) override { throw gl3d::EGLContext("No EGL display"); }
};

std::vector<std::string>& LogLines() {
  static std::vector<std::string> lines;
  return lines;
}

// Lets every posted event and paint run.
void Settle() {
  for (int i = 0; i < 4; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// Blue, green and red of a surface pixel, as 0xRRGGBB.
uint32_t SurfacePixel(TGL3DSceneViewer& viewer, int x, int y) {
  const uint8_t* p = viewer.Surface().ScanLine(y) + x * 4;
  return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

class SceneViewer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    App();
    Scene3dSceneStartup();
    GLContextStartup();
    Scene3dPlatformStartup();
    gllog::SetObserver(
        [](gllog::TLevel level, std::string_view text, void*) {
          if (level == gllog::lvError) LogLines().emplace_back(text);
        },
        nullptr);
  }
  void SetUp() override {
    ASSERT_NE(TGLEGLContext::Display(), EGL_NO_DISPLAY) << "no EGL display";
    RegisterGLContextClass(&TGLEGLContext::Create);
    LogLines().clear();
    scene = new TGL3DScene(&form);
    target = scene->Objects()->AddNewChild<TGLBaseSceneObject>();
    camera = scene->Objects()->AddNewChild<TGLCamera>();
    camera->Position()->SetPoint(0, 0, 3);
    camera->SetTargetObject(target);
  }

  std::unique_ptr<TGL3DSceneViewer> ShownViewer(int w, int h) {
    auto viewer = std::make_unique<TGL3DSceneViewer>();
    viewer->resize(w, h);
    viewer->Buffer()->SetBackgroundColor(clGray);
    viewer->SetCamera(camera);
    viewer->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(viewer.get()));
    EXPECT_TRUE(WaitFor([&] { return viewer->Buffer()->FrameCount() > 0; }));
    Settle();
    return viewer;
  }

  TComponent form{nullptr};
  TGL3DScene* scene = nullptr;
  TGLBaseSceneObject* target = nullptr;
  TGLCamera* camera = nullptr;
};

}  // namespace

// Every pixel of every row, the rows turned upright, red and blue swapped and the fourth byte
// opaque; widths that do not fill the wide steps end pixel by pixel; a smaller surface takes the
// top-left part.
TEST(CopyFrameToSurface, EveryPixelUprightInBlueGreenRedOrder) {
  for (const auto [width, height, surfaceWidth, surfaceHeight] :
       {std::array{13, 3, 13, 3}, std::array{3, 2, 3, 2}, std::array{21, 4, 9, 2}}) {
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + 1);
    platform::TBitmap surface(surfaceWidth, surfaceHeight);
    CopyFrameToSurface(frame.data(), width, height, surface);
    for (int y = 0; y < surfaceHeight; ++y)
      for (int x = 0; x < surfaceWidth; ++x) {
        const uint8_t* in = frame.data() + (static_cast<size_t>(height - 1 - y) * width + x) * 4;
        const uint8_t* out = surface.ScanLine(y) + x * 4;
        EXPECT_EQ((std::array{out[0], out[1], out[2], out[3]}),
                  (std::array<uint8_t, 4>{in[2], in[1], in[0], 0xFF}))
            << width << " x " << height << " at " << x << ", " << y;
      }
  }
}

TEST_F(SceneViewer, ShownFrameFillsTheSurfaceUpright) {
  auto viewer = std::make_unique<TGL3DSceneViewer>();
  viewer->resize(400, 454);
  viewer->Buffer()->SetBackgroundColor(clGray);
  // GL's bottom-left corner gets a red block of 10 x 5.
  viewer->Buffer()->PostRender = [](TObject*) {
    TGLContext* c = CurrentGLContext();
    c->GL().Enable(GL_SCISSOR_TEST);
    c->GL().Scissor(0, 0, 10, 5);
    c->GLStates().SetColorClearValue({1, 0, 0, 1});
    c->GL().Clear(GL_COLOR_BUFFER_BIT);
    c->GL().Disable(GL_SCISSOR_TEST);
  };
  viewer->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer.get()));
  ASSERT_TRUE(WaitFor([&] { return viewer->Buffer()->FrameCount() > 0; }));
  Settle();
  EXPECT_EQ(viewer->Buffer()->FrameCount(), 1);
  ASSERT_EQ(viewer->Surface().Width(), 400);
  ASSERT_EQ(viewer->Surface().Height(), 454);
  EXPECT_EQ(viewer->Buffer()->ViewPort().Width, 400);
  EXPECT_EQ(viewer->Buffer()->ViewPort().Height, 454);
  EXPECT_EQ(SurfacePixel(*viewer, 0, 453), 0xFF0000u);
  EXPECT_EQ(SurfacePixel(*viewer, 9, 449), 0xFF0000u);
  EXPECT_EQ(SurfacePixel(*viewer, 10, 453), 0x808080u);
  EXPECT_EQ(SurfacePixel(*viewer, 0, 448), 0x808080u);
  EXPECT_EQ(SurfacePixel(*viewer, 0, 0), 0x808080u);
  EXPECT_EQ(SurfacePixel(*viewer, 399, 0), 0x808080u);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(SceneViewer, DefaultBackgroundIsTheButtonFace) {
  auto viewer = std::make_unique<TGL3DSceneViewer>();
  viewer->resize(20, 10);
  viewer->show();
  ASSERT_TRUE(WaitFor([&] { return viewer->Buffer()->FrameCount() > 0; }));
  const platform::TColor face = platform::ColorToRGB(platform::clBtnFace);
  const uint32_t expected = static_cast<uint32_t>(platform::GetRValue(face)) << 16 |
                            static_cast<uint32_t>(platform::GetGValue(face)) << 8 | platform::GetBValue(face);
  EXPECT_EQ(SurfacePixel(*viewer, 5, 5), expected);
}

TEST_F(SceneViewer, FramesFollowTheControlsSize) {
  auto viewer = ShownViewer(400, 454);
  const int before = viewer->Buffer()->FrameCount();
  viewer->resize(200, 120);
  ASSERT_TRUE(WaitFor([&] { return viewer->Buffer()->FrameCount() > before; }));
  Settle();
  auto* context = dynamic_cast<TGLEGLContext*>(viewer->Buffer()->RenderingContext());
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->Width(), 200);
  EXPECT_EQ(context->Height(), 120);
  EXPECT_EQ(viewer->Buffer()->ViewPort().Width, 200);
  EXPECT_EQ(viewer->Surface().Width(), 200);
  EXPECT_EQ(SurfacePixel(*viewer, 199, 119), 0x808080u);
  // Width 0 renders nothing.
  const int sized = viewer->Buffer()->FrameCount();
  viewer->resize(0, 120);
  Settle();
  EXPECT_EQ(viewer->Buffer()->FrameCount(), sized);
  EXPECT_EQ(viewer->Buffer()->ViewPort().Width, 1);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(SceneViewer, RendersOnlyWhenSomethingChanged) {
  auto viewer = ShownViewer(64, 48);
  const int start = viewer->Buffer()->FrameCount();
  // The editor's idle pass orbits the camera by zero: no change, no frame.
  for (int i = 0; i < 100; ++i) {
    camera->MoveAroundTarget(0, 0);
    QCoreApplication::processEvents();
  }
  Settle();
  EXPECT_EQ(viewer->Buffer()->FrameCount(), start);
  camera->MoveAroundTarget(10, 0);
  Settle();
  EXPECT_EQ(viewer->Buffer()->FrameCount(), start + 1);
  // Ten changes before the loop runs give one frame.
  for (int i = 0; i < 10; ++i) camera->MoveAroundTarget(1, 0);
  viewer->Buffer()->SetBackgroundColor(clBtnFace);
  Settle();
  EXPECT_EQ(viewer->Buffer()->FrameCount(), start + 2);
  // An expose copies the surface; a caller's request renders.
  viewer->repaint();
  Settle();
  EXPECT_EQ(viewer->Buffer()->FrameCount(), start + 2);
  viewer->Invalidate();
  Settle();
  EXPECT_EQ(viewer->Buffer()->FrameCount(), start + 3);
}

TEST_F(SceneViewer, ChangedContextOptionRemakesTheContext) {
  auto viewer = ShownViewer(32, 32);
  int made = 0;
  viewer->Buffer()->OnPrepareContext = [&](TObject*) { ++made; };
  const int frames = viewer->Buffer()->FrameCount();
  viewer->Buffer()->SetAntiAliasing(aaNone);
  Settle();
  EXPECT_EQ(made, 1);
  EXPECT_TRUE(viewer->Buffer()->HasRenderingContext());
  EXPECT_EQ(viewer->Buffer()->FrameCount(), frames + 1);
}

TEST_F(SceneViewer, ContextGoesBeforeTheControl) {
  const int baseline = GLContextManager().ContextCount();
  auto* viewer = ShownViewer(16, 16).release();
  EXPECT_EQ(GLContextManager().ContextCount(), baseline + 1);
  int atControlEnd = -1;
  QObject::connect(viewer, &QObject::destroyed, [&] { atControlEnd = GLContextManager().ContextCount(); });
  delete viewer;
  EXPECT_EQ(atControlEnd, baseline);
  EXPECT_EQ(scene->Buffers(), nullptr);
}

TEST_F(SceneViewer, ContextThatCannotBeMadeIsLoggedAndTriedAgainAtTheNextChange) {
  RegisterGLContextClass(&TUnavailableContext::Create);
  auto viewer = std::make_unique<TGL3DSceneViewer>();
  viewer->resize(24, 16);
  viewer->SetColor(platform::clRed);
  viewer->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer.get()));
  Settle();
  EXPECT_FALSE(viewer->Buffer()->HasRenderingContext());
  ASSERT_FALSE(LogLines().empty());
  EXPECT_NE(LogLines()[0].find("No EGL display"), std::string::npos) << LogLines()[0];
  EXPECT_EQ(SurfacePixel(*viewer, 3, 3), 0xFF0000u);  // the control's background

  RegisterGLContextClass(&TGLEGLContext::Create);
  viewer->Buffer()->SetBackgroundColor(clGray);
  Settle();
  EXPECT_TRUE(viewer->Buffer()->HasRenderingContext());
  EXPECT_EQ(viewer->Buffer()->FrameCount(), 1);
  EXPECT_EQ(SurfacePixel(*viewer, 3, 3), 0x808080u);
}

TEST_F(SceneViewer, FailingFrameIsLoggedAndShowsTheBackground) {
  auto viewer = ShownViewer(24, 16);
  viewer->SetColor(platform::clBlue);
  viewer->Buffer()->BeforeRender = [](TObject*) { throw common::Exception("broken object"); };
  viewer->Invalidate();
  Settle();
  ASSERT_EQ(LogLines().size(), 1u);
  EXPECT_NE(LogLines()[0].find("broken object"), std::string::npos);
  EXPECT_EQ(SurfacePixel(*viewer, 3, 3), 0x0000FFu);
  viewer->Buffer()->BeforeRender = nullptr;
  viewer->Buffer()->SetBackgroundColor(0x123456);
  Settle();
  EXPECT_EQ(SurfacePixel(*viewer, 3, 3), 0x563412u);
}

TEST_F(SceneViewer, FieldOfViewGoesThroughTheCameraAndAFreedCameraIsCleared) {
  TGL3DSceneViewer viewer;
  viewer.resize(400, 454);
  EXPECT_EQ(viewer.FieldOfView(), 0);
  viewer.SetFieldOfView(90);  // no camera: no effect
  viewer.SetCamera(camera);
  EXPECT_EQ(camera->FocalLength(), 50);
  viewer.SetFieldOfView(126.87f);
  EXPECT_NEAR(camera->FocalLength(), 100, 0.01);
  EXPECT_NEAR(viewer.FieldOfView(), 126.87f, 0.001);
  delete camera;
  EXPECT_EQ(viewer.Camera(), nullptr);
  EXPECT_EQ(viewer.FieldOfView(), 0);
}

TEST_F(SceneViewer, MouseEnterAndLeaveAndArrowKeysReachTheControl) {
  auto viewer = ShownViewer(32, 32);
  std::vector<std::string> events;
  viewer->OnMouseEnter = [&](platform::TControl*) { events.push_back("enter"); };
  viewer->OnMouseLeave = [&](platform::TControl*) { events.push_back("leave"); };
  std::vector<uint16_t> keys;
  viewer->OnKeyDown = [&](platform::TControl*, uint16_t& key, platform::TShiftState) { keys.push_back(key); };
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(viewer.get(), &enter);
  EXPECT_TRUE(viewer->MouseInside());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(viewer.get(), &leave);
  EXPECT_FALSE(viewer->MouseInside());
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"}));

  // A window shortcut on an arrow key does not take it from the viewer.
  int triggered = 0;
  QAction action(viewer.get());
  action.setShortcut(Qt::Key_Left);
  action.setShortcutContext(Qt::WindowShortcut);
  QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
  viewer->addAction(&action);
  viewer->activateWindow();
  viewer->setFocus();
  QTest::keyClick(viewer.get(), Qt::Key_Left);
  QTest::keyClick(viewer.get(), Qt::Key_Down);
  EXPECT_EQ(keys, (std::vector<uint16_t>{37, 40}));  // VK_LEFT, VK_DOWN
  EXPECT_EQ(triggered, 0);
}

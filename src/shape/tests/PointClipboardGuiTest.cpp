// The point clipboard through the system clipboard (headless).
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/ui/SystemClipboard.h"
#include "shape/PointClipboard.h"
#include "shape/model/uScSelect.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;

TEST(PointClipboardGui, RoundTripThroughTheSystemClipboard) {
  static int argc = 1;
  static char name[] = "test_shape_clipboard_gui";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
  platform::TSystemClipboard clipboard;
  RegisterPointClipboardFormat(&clipboard);
  QGuiApplication::clipboard()->setText("something else");
  EXPECT_FALSE(CanPastePoints());

  auto source = shape_test::NewShape(SCTYPE_SPHERE, 33, 33);
  source->CP[4][7] = {0.25, -0.125, 0.5};
  source->SP[4][7] = source->SP[5][7] = true;
  CountSelectedPoints(*source);
  CopyPointsToClipboard(*source);
  ASSERT_TRUE(CanPastePoints());
  EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("application/x-DURIM_ZEPHOR_FORMAT"));
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("application/x-DURIM_ZEPHOR_FORMAT").size(), 8 + 2 * 24);

  auto target = shape_test::NewShape(SCTYPE_SPHERE, 33, 33);
  target->SP[10][3] = true;
  CountSelectedPoints(*target);
  PastePointsFromClipboard(*target);
  EXPECT_EQ(target->CP[10][3][0], 0.25);
  EXPECT_EQ(target->CP[10][3][1], -0.125);
  EXPECT_EQ(target->CP[11][3][0], source->CP[5][7][0]);
  EXPECT_EQ(target->Count, 2);
  RegisterPointClipboardFormat(nullptr);
}

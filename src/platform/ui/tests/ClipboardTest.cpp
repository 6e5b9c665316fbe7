#include "platform/ui/SystemClipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/ui/tests/UiTestApp.h"

using platform::TSystemClipboard;

TEST(SystemClipboard, PrivateFormatsAreMimeTypesNamedAfterThem) {
  platform::test::App();
  TSystemClipboard clipboard;
  const auto a = clipboard.RegisterFormat("MY_FORMAT");
  const auto b = clipboard.RegisterFormat("OTHER");
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(clipboard.RegisterFormat("MY_FORMAT"), a);
  EXPECT_EQ(clipboard.MimeType(a), "application/x-MY_FORMAT");
  EXPECT_EQ(clipboard.MimeType(12345), "");

  const std::vector<uint8_t> bytes = {0, 1, 2, 255, 0, 7};
  clipboard.PutBytes(a, bytes);
  EXPECT_TRUE(clipboard.HasFormat(a));
  EXPECT_FALSE(clipboard.HasFormat(b));
  std::vector<uint8_t> back = {9};
  ASSERT_TRUE(clipboard.GetBytes(a, back));
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("application/x-MY_FORMAT").size(), 6);
  // Putting another format empties the clipboard first.
  clipboard.PutBytes(b, {1});
  EXPECT_FALSE(clipboard.HasFormat(a));
  EXPECT_FALSE(clipboard.GetBytes(a, back));
  EXPECT_TRUE(back.empty());
  // An unregistered format is never offered.
  EXPECT_FALSE(clipboard.HasFormat(0));
}

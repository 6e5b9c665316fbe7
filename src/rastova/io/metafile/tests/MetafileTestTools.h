#pragma once
// What the player's tests share: a metafile drawn onto a white 32-bit picture, and colours.
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <vector>

#include "rastova/io/metafile/RVMetafilePlayer.h"

namespace rv::metatest {

constexpr QRgb kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// The picture of the metafile at its own size (or at `size`), over white; a null image when the
// metafile is refused.
inline QImage Render(const std::vector<uint8_t>& bytes, QSize size = QSize()) {
  TRVMetafilePlayer player;
  if (!player.LoadFromBytes(bytes)) return QImage();
  if (size.isValid()) {
    player.Width = size.width();
    player.Height = size.height();
  }
  QImage image(player.Width, player.Height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  player.Play(painter, image.rect());
  painter.end();
  return image;
}

// The colour of a pixel as 0xRRGGBB.
inline QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// How many pixels of the column x (rows y0 to y1, inclusive) have the colour.
inline int CountInColumn(const QImage& image, int x, int y0, int y1, QRgb color) {
  int n = 0;
  for (int y = y0; y <= y1; ++y) n += At(image, x, y) == color;
  return n;
}

// The pixels of the picture that have the colour.
inline int CountColour(const QImage& image, QRgb color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += At(image, x, y) == color;
  return n;
}

}  // namespace rv::metatest

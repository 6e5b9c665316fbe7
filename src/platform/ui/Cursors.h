#pragma once
// Mouse cursors by integer id, as the screen's cursor table holds them: the standard cursors
// have the negative ids below, the program registers its own (from images) under positive
// ids. An id nobody registered gives the arrow.
#include <QCursor>
#include <utility>
#include <vector>

class QImage;

namespace platform {

using TCursor = int;

constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
constexpr TCursor crSize = -22;

// The table (main thread only; it needs a running QGuiApplication).
class TCursors {
 public:
  static TCursors& Instance();

  QCursor Get(TCursor id) const;
  bool Has(TCursor id) const;
  void Set(TCursor id, const QCursor& cursor);
  // A cursor drawn from an image (transparent where the image's alpha is 0), hot spot at
  // (hotX, hotY).
  void SetFromImage(TCursor id, const QImage& image, int hotX, int hotY);
  void Remove(TCursor id);

 private:
  TCursors() = default;
  std::vector<std::pair<TCursor, QCursor>> own_;
};

inline TCursors& Cursors() { return TCursors::Instance(); }

}  // namespace platform

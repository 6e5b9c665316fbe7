#pragma once
// The main window's row of panes: a left panel of a set width, a splitter, the middle panel
// that takes the rest, a second splitter and a right panel of a set width. Widths are exact,
// as the window's own arithmetic sets them; a hidden panel or splitter takes no room. Dragging
// a splitter changes the width of its outer panel and reports the move.
#include <QWidget>
#include <functional>

namespace editor {

class TSplitterHandle;

class TPanelRow : public QWidget {
 public:
  TPanelRow(QWidget* parent, QWidget* left, QWidget* middle, QWidget* right);

  QWidget* Splitter1() const;
  QWidget* Splitter2() const;

  int LeftWidth() const { return leftWidth_; }
  int RightWidth() const { return rightWidth_; }
  void SetLeftWidth(int width);
  void SetRightWidth(int width);

  // After a drag of splitter 1 or 2 has changed the width of its panel.
  std::function<void(int splitter)> OnMoved;

  // Places the panels again (after one was shown or hidden).
  void Arrange();

  static constexpr int kSplitterWidth = 3;
  // What a drag of splitter 1 leaves the left panel (its collapse button) and the middle panel.
  static constexpr int kMinLeftWidth = 12;
  static constexpr int kMinMiddleWidth = 100;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  friend class TSplitterHandle;
  void Dragged(int splitter, int dx);

  QWidget* left_;
  QWidget* middle_;
  QWidget* right_;
  TSplitterHandle* splitter1_ = nullptr;
  TSplitterHandle* splitter2_ = nullptr;
  int leftWidth_ = 0;
  int rightWidth_ = 0;
};

}  // namespace editor

namespace editor {

// A panel that holds its content and, in a 12-pixel column on one side, the button that
// collapses it: the button stays in view however narrow the panel becomes.
class TCollapsiblePanel : public QWidget {
 public:
  static constexpr int kButtonColumn = 12;
  TCollapsiblePanel(QWidget* parent, QWidget* content, QWidget* button, bool buttonOnLeft);
  QWidget* Content() const { return content_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* content_;
  QWidget* button_;
  bool buttonOnLeft_;
};

}  // namespace editor

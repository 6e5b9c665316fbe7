// The edit-line and sides dialogs: marks to ticks and back, the buttons that act at once, and
// the sides dialog's road to the editor and, through its callbacks, to the main window.
#include <QListWidget>
#include <QPushButton>
#include <string>
#include <vector>

#include "editor/dialogs/EditLineDlg.h"
#include "editor/dialogs/SidesDlg.h"
#include "editor/editors/uScDODUDA.h"
#include "editor/editors/uScGYRAN.h"
#include "editor/tests/DialogTestUtil.h"
#include "editor/tests/TestEditor.h"

namespace editor_test {
namespace {

using editor::TEditLineDlg;
using editor::TSidesDlg;
using shape::TLineMarks;

QStringList Texts(const QListWidget& list) {
  QStringList out;
  for (int k = 0; k < list.count(); ++k) out << list.item(k)->text();
  return out;
}

std::vector<int> Ticked(const QListWidget& list) {
  std::vector<int> out;
  for (int k = 0; k < list.count(); ++k)
    if (list.item(k)->checkState() == Qt::Checked) out.push_back(k);
  return out;
}

void Toggle(QListWidget& list, int k) {
  QListWidgetItem* item = list.item(k);
  item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

// --- Edit Line -----------------------------------------------------------------------------

class EditLineTest : public DialogTest {
 protected:
  void Run(shape::TScType type, int columns, int rows, const std::function<void()>& steps) {
    shape = NewShape(type, columns, rows);
    RunModal(dlg, dlg.OkButton, steps, [this] { dlg.Execute(*shape, columnMarks, rowMarks); });
  }
  std::unique_ptr<shape::TCS> shape;
  TLineMarks columnMarks{};
  TLineMarks rowMarks{};
  TEditLineDlg dlg{nullptr};
};

TEST_F(EditLineTest, ListsOneEntryPerDistinctLine) {
  struct Case {
    shape::TScType type;
    int columns, rows, columnEntries, rowEntries;
  } cases[] = {
      {shape::SCTYPE_TORUS, 33, 33, 32, 32},
      {shape::SCTYPE_SPHERE, 33, 17, 32, 17},
      {shape::SCTYPE_CYLINDER, 9, 65, 8, 65},
      {shape::SCTYPE_PLANE, 33, 33, 33, 33},
  };
  for (const Case& c : cases) {
    Run(c.type, c.columns, c.rows, [&] {
      EXPECT_EQ(dlg.CLBLnI->count(), c.columnEntries) << int(c.type);
      EXPECT_EQ(dlg.CLBlnJ->count(), c.rowEntries) << int(c.type);
    });
  }
  // the texts are the grid labels counted from the first entry, in both lists
  Run(shape::SCTYPE_PLANE, 33, 33, [&] {
    EXPECT_EQ(Texts(*dlg.CLBLnI).mid(0, 3), (QStringList{"00", "01", "10"}));
    EXPECT_EQ(dlg.CLBLnI->item(32)->text(), QStringLiteral("G0"));
    EXPECT_EQ(Texts(*dlg.CLBlnJ), Texts(*dlg.CLBLnI));
  });
}

TEST_F(EditLineTest, RowsRunFromTheTopAndTheSeamsFollowTheirTwins) {
  rowMarks[32] = 1;
  rowMarks[2] = 1;
  columnMarks[3] = 1;
  Run(shape::SCTYPE_TORUS, 33, 33, [&] {
    EXPECT_EQ(Ticked(*dlg.CLBlnJ), (std::vector<int>{0, 30}));  // entry 0 is row 32, entry 30 row 2
    EXPECT_EQ(Ticked(*dlg.CLBLnI), std::vector<int>{3});
    Toggle(*dlg.CLBlnJ, 0);   // row 32 off
    Toggle(*dlg.CLBlnJ, 31);  // row 1 on
    Toggle(*dlg.CLBLnI, 0);   // column 0 on
  });
  EXPECT_EQ(rowMarks[32], 0);
  EXPECT_EQ(rowMarks[0], 0);  // row 0 follows row 32
  EXPECT_EQ(rowMarks[1], 1);
  EXPECT_EQ(rowMarks[2], 1);
  EXPECT_EQ(columnMarks[0], 1);
  EXPECT_EQ(columnMarks[32], 1);  // the seam column follows column 0
  // and with row 32 ticked, row 0 is marked too
  Run(shape::SCTYPE_TORUS, 33, 33, [&] { Toggle(*dlg.CLBlnJ, 0); });
  EXPECT_EQ(rowMarks[0], 1);
}

TEST_F(EditLineTest, TheButtonsActOnTheMarksAtOnce) {
  columnMarks[0] = 1;
  rowMarks[5] = 1;
  Run(shape::SCTYPE_SPHERE, 17, 17, [&] {
    Click(dlg.SelectAllButton);
    for (int k = 0; k < 17; ++k) EXPECT_TRUE(columnMarks[k] == 1 && rowMarks[k] == 1) << k;
    EXPECT_EQ(columnMarks[17], 0);  // beyond the grid nothing changes
    EXPECT_EQ(Ticked(*dlg.CLBLnI).size(), 16u);
    Click(dlg.SelectNoneButton);
    for (int k = 0; k < 17; ++k) EXPECT_TRUE(columnMarks[k] == 0 && rowMarks[k] == 0) << k;
    EXPECT_TRUE(Ticked(*dlg.CLBlnJ).empty());
    Click(dlg.RetryButton);  // the marks as the dialog found them
    EXPECT_EQ(columnMarks[0], 1);
    EXPECT_EQ(rowMarks[5], 1);
    Toggle(*dlg.CLBLnI, 1);  // ticks count in Reverse: they are taken first
    Click(dlg.ReverseButton);
    EXPECT_EQ(columnMarks[0], 0);
    EXPECT_EQ(columnMarks[1], 0);
    EXPECT_EQ(columnMarks[2], 1);
    EXPECT_EQ(columnMarks[16], 0);  // the seam took column 0's mark before the flip
    EXPECT_EQ(rowMarks[5], 0);
    EXPECT_EQ(rowMarks[4], 1);
    EXPECT_EQ(Ticked(*dlg.CLBLnI).size(), 14u);
    QTest::keyClick(&dlg, Qt::Key_Escape);
  });
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_EQ(columnMarks[2], 1);  // what the buttons did stays
}

TEST_F(EditLineTest, KeepsItsWidthAndAMinimumHeight) {
  dlg.show();
  // 225 pixels, or what its button texts need at the font in use.
  const int held = dlg.width();
  EXPECT_GE(held, 225);
  dlg.resize(400, 100);
  EXPECT_EQ(dlg.width(), held);
  EXPECT_EQ(dlg.height(), 228);
  dlg.resize(400, 500);
  EXPECT_EQ(dlg.width(), held);
  EXPECT_EQ(dlg.height(), 500);
  EXPECT_GT(dlg.CLBLnI->height(), 400);
  dlg.hide();
}

// --- Sides ---------------------------------------------------------------------------------

// An editor with six sides whose marks it keeps itself.
class SidesEditor : public TTestEditor {
 public:
  TLineMarks marks{};
  int writes = 0;
  void ListSideLabels(const shape::TCS&, std::vector<std::string>& items) override {
    items = {"A", "B", "C", "D", "E", "F"};
  }
  void GetSideMarks(TLineMarks& m, const shape::TCS&) override { m = marks; }
  void SetSideMarks(const TLineMarks& m, shape::TCS&) override {
    marks = m;
    ++writes;
  }
};

class SidesTest : public DialogTest {
 protected:
  SidesTest() {
    shape = NewShape(shape::SCTYPE_SPHERE, 33, 33);
    dlg.OnSidesChanged = [this] { ++refreshes; };
    dlg.OnSideCommand = [this](const std::string& caption) {
      commands.push_back(caption);
      if (caption == "Select &All") editor.marks.fill(1);
      if (caption == "Select &None") editor.marks.fill(0);
      if (caption == "&Reverse") shape::InvertLineMarks(editor.marks);
    };
  }
  void Run(editor::TScBase* current, const std::function<void()>& steps) {
    RunModal(dlg, dlg.CloseButton, steps, [&] { dlg.Execute(current, *shape); });
  }
  SidesEditor editor;
  std::unique_ptr<shape::TCS> shape;
  TSidesDlg dlg{nullptr};
  int refreshes = 0;
  std::vector<std::string> commands;
};

TEST_F(SidesTest, ListsTheSidesAndWritesEachTick) {
  editor.marks[1] = 1;
  editor.marks[4] = 2;  // any non-zero mark is a tick
  Run(&editor, [&] {
    EXPECT_EQ(Texts(*dlg.CheckListBox1), (QStringList{"A", "B", "C", "D", "E", "F"}));
    EXPECT_EQ(Ticked(*dlg.CheckListBox1), (std::vector<int>{1, 4}));
    EXPECT_EQ(editor.writes, 0);
    Toggle(*dlg.CheckListBox1, 2);
    EXPECT_EQ(editor.writes, 1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(editor.marks[2], 1);
    EXPECT_EQ(editor.marks[4], 1);  // the ticks as 1 or 0
    EXPECT_TRUE(dlg.CloseButton->isDefault());
  });
  EXPECT_TRUE(commands.empty());
}

TEST_F(SidesTest, TheButtonsRunTheSideCommandsAndRefreshTheTicks) {
  Run(&editor, [&] {
    Click(dlg.SelectAllButton);
    EXPECT_EQ(Ticked(*dlg.CheckListBox1).size(), 6u);
    Click(dlg.SelectNoneButton);
    EXPECT_TRUE(Ticked(*dlg.CheckListBox1).empty());
    Click(dlg.ReverseButton);
    EXPECT_EQ(Ticked(*dlg.CheckListBox1).size(), 6u);
    Click(dlg.SmoothButton);  // carries no action
  });
  EXPECT_EQ(commands, (std::vector<std::string>{"Select &All", "Select &None", "&Reverse"}));
  EXPECT_EQ(editor.writes, 0);  // refreshing the ticks writes nothing back
  EXPECT_EQ(refreshes, 0);
}

TEST_F(SidesTest, WithoutAShapeEditorTheListIsEmpty) {
  Run(&editor, [] {});
  Run(nullptr, [&] {
    EXPECT_EQ(dlg.CheckListBox1->count(), 0);
    Click(dlg.SelectAllButton);
  });
  EXPECT_EQ(commands, std::vector<std::string>{"Select &All"});
  EXPECT_EQ(editor.writes, 0);
}

// --- On the program's editors -------------------------------------------------------------

TEST_F(SidesTest, TicksReachTheLatheEditorsMeridians) {
  shape = NewShape(shape::SCTYPE_SPHERE, 9, 9);
  editor::TScGYRAN gyran;
  gyran.ResetForShape();
  gyran.SyncFromShape(*shape);
  gyran.SideMarks.fill(1);
  Run(&gyran, [&] {
    EXPECT_EQ(Texts(*dlg.CheckListBox1), (QStringList{"00", "01", "10", "11", "20", "21", "30", "31"}));
    EXPECT_EQ(Ticked(*dlg.CheckListBox1).size(), 8u);
    Toggle(*dlg.CheckListBox1, 0);
    Toggle(*dlg.CheckListBox1, 5);
  });
  EXPECT_EQ(gyran.SideMarks[0], 0);
  EXPECT_EQ(gyran.SideMarks[8], 0);  // the seam meridian follows the first
  EXPECT_EQ(gyran.SideMarks[5], 0);
  EXPECT_EQ(gyran.SideMarks[4], 1);
  EXPECT_EQ(refreshes, 2);
}

TEST_F(EditLineTest, EditsTheSixSidedEditorsLineMarks) {
  shape = NewShape(shape::SCTYPE_TORUS, 17, 9);
  editor::TScDODUDA doduda;
  doduda.ResetForShape();
  RunModal(
      dlg, dlg.OkButton,
      [&] {
        EXPECT_EQ(Ticked(*dlg.CLBLnI).size(), 16u);  // all marked at start
        EXPECT_EQ(Ticked(*dlg.CLBlnJ).size(), 8u);
        Click(dlg.SelectNoneButton);
        Toggle(*dlg.CLBlnJ, 0);  // the top row
      },
      [&] { dlg.Execute(*shape, doduda.EditColumnMarks, doduda.EditRowMarks); });
  for (int k = 0; k < 17; ++k) EXPECT_EQ(doduda.EditColumnMarks[k], 0) << k;
  EXPECT_EQ(doduda.EditRowMarks[8], 1);
  EXPECT_EQ(doduda.EditRowMarks[0], 1);
  EXPECT_EQ(doduda.EditRowMarks[4], 0);
}

}  // namespace
}  // namespace editor_test

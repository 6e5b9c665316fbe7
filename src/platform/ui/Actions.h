#pragma once
// Actions: commands with an execute handler and an update handler, shared by menus, tool bars
// and popup menus (each TAction is one QAction, so every place that shows it shows the same
// caption, tick and enabled state).
//
// - OnExecute runs when the user triggers the action (menu item, tool button, shortcut) or
//   Execute is called; a disabled or hidden action does not run.
// - OnUpdate decides enabling, ticks and captions. The action list runs every update handler
//   on idle (UpdateActions, called by the window's idle step) and before a menu opens
//   (WatchMenu), so a menu never shows a stale state.
// - Tag tells the members of a family that share one handler apart; Category groups them; a
//   GroupIndex above 0 makes the ticks exclusive: ticking one unticks the others of its group.
//
// The action's object name is its name (FileSTSave, ViewLevel04, ...), so tests and the
// command issue find actions by name.
//
// A menu may show an action under a caption of its own (AddMenuItem): the item follows the
// action's enabling, visibility and tick and triggers it.
#include <QKeySequence>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QObject;

namespace platform {

class TAction;
using TActionEvent = std::function<void(TAction* Sender)>;

class TAction {
 public:
  // `parent` owns the QAction (the main window); the TAction itself belongs to its list.
  TAction(QObject* parent, const std::string& name, const QString& caption);
  ~TAction();
  TAction(const TAction&) = delete;
  TAction& operator=(const TAction&) = delete;

  const std::string& Name() const { return name_; }
  QAction* Action() const { return action_; }

  QString Caption() const;
  void SetCaption(const QString& caption);
  bool Enabled() const;
  void SetEnabled(bool value);
  bool Visible() const;
  void SetVisible(bool value);
  bool Checked() const;
  // Ticking an action of a group above 0 unticks the other actions of that group.
  void SetChecked(bool value);
  void SetShortCut(const QKeySequence& keys);

  int Tag = 0;
  std::string Category;
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);

  TActionEvent OnExecute;
  TActionEvent OnUpdate;

  // Runs OnUpdate (when set). Returns whether there was a handler.
  bool Update();
  // Runs OnExecute when the action is enabled and visible; false when nothing ran.
  bool Execute();

 private:
  friend class TActionList;
  std::string name_;
  QAction* action_;
  int groupIndex_ = 0;
  class TActionList* list_ = nullptr;
};

class TActionList {
 public:
  TActionList() = default;
  ~TActionList();
  TActionList(const TActionList&) = delete;
  TActionList& operator=(const TActionList&) = delete;

  // Creates an action owned by the list.
  TAction* Add(QObject* parent, const std::string& name, const QString& caption);
  // nullptr when no action has that name.
  TAction* Find(const std::string& name) const;
  // The action a QAction belongs to, or nullptr.
  TAction* FindByAction(const QAction* action) const;
  const std::vector<std::unique_ptr<TAction>>& Actions() const { return actions_; }
  // Removes and frees one action (its QAction is deleted too).
  void Remove(TAction* action);

  // Runs every update handler, in the order the actions were added.
  void UpdateActions();
  // Runs the update handlers of the menu's actions, and of its submenus' own actions, each
  // time the menu is about to show.
  void WatchMenu(QMenu* menu);
  // Adds to `menu` an item captioned `caption` that stands for `action` (FindByAction answers
  // the action for it). It goes with the action.
  QAction* AddMenuItem(QMenu* menu, TAction* action, const QString& caption);

 private:
  friend class TAction;
  void Unticked(TAction* checked);

  struct TMenuItem {
    QPointer<QAction> Item;
    QPointer<QAction> Source;
  };
  std::vector<std::unique_ptr<TAction>> actions_;
  std::vector<TMenuItem> items_;
};

}  // namespace platform

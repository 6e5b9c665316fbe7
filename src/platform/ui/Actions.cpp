#include "platform/ui/Actions.h"

#include <QAction>
#include <QMenu>

#include "platform/ui/Application.h"

namespace platform {

TAction::TAction(QObject* parent, const std::string& name, const QString& caption)
    : name_(name), action_(new QAction(caption, parent)) {
  action_->setObjectName(QString::fromStdString(name));
  // A shortcut of the main window works wherever the focus is inside it.
  action_->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(action_, &QAction::triggered, action_, [this] { GuardedCall([this] { Execute(); }); });
}

TAction::~TAction() { delete action_; }

QString TAction::Caption() const { return action_->text(); }
void TAction::SetCaption(const QString& caption) {
  if (action_->text() != caption) action_->setText(caption);
}
bool TAction::Enabled() const { return action_->isEnabled(); }
void TAction::SetEnabled(bool value) {
  if (action_->isEnabled() != value) action_->setEnabled(value);
}
bool TAction::Visible() const { return action_->isVisible(); }
void TAction::SetVisible(bool value) {
  if (action_->isVisible() != value) action_->setVisible(value);
}
bool TAction::Checked() const { return action_->isChecked(); }

void TAction::SetChecked(bool value) {
  if (value && !action_->isCheckable()) action_->setCheckable(true);
  if (action_->isChecked() != value) action_->setChecked(value);
  if (value && groupIndex_ > 0 && list_) list_->Unticked(this);
}

void TAction::SetShortCut(const QKeySequence& keys) { action_->setShortcut(keys); }

void TAction::SetGroupIndex(int value) {
  groupIndex_ = value;
  if (value > 0) action_->setCheckable(true);
}

bool TAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

bool TAction::Execute() {
  if (!action_->isEnabled() || !action_->isVisible() || !OnExecute) return false;
  // A menu item that can be ticked flips its tick when triggered; the update handler owns the
  // tick, so it is put back until the next update.
  if (action_->isCheckable()) Update();
  OnExecute(this);
  return true;
}

TActionList::~TActionList() = default;

TAction* TActionList::Add(QObject* parent, const std::string& name, const QString& caption) {
  actions_.push_back(std::make_unique<TAction>(parent, name, caption));
  actions_.back()->list_ = this;
  return actions_.back().get();
}

TAction* TActionList::Find(const std::string& name) const {
  for (const auto& a : actions_)
    if (a->Name() == name) return a.get();
  return nullptr;
}

TAction* TActionList::FindByAction(const QAction* action) const {
  if (!action) return nullptr;
  for (const auto& a : actions_)
    if (a->Action() == action) return a.get();
  for (const TMenuItem& m : items_)
    if (m.Item == action) return FindByAction(m.Source);
  return nullptr;
}

QAction* TActionList::AddMenuItem(QMenu* menu, TAction* action, const QString& caption) {
  QAction* source = action->Action();
  auto* item = new QAction(menu);
  auto follow = [item, source, caption] {
    // The shortcut is the action's; the menu shows it in its column after the tab.
    const QString keys = source->shortcut().toString(QKeySequence::NativeText);
    item->setText(keys.isEmpty() ? caption : caption + '\t' + keys);
    item->setEnabled(source->isEnabled());
    item->setVisible(source->isVisible());
    item->setCheckable(source->isCheckable());
    item->setChecked(source->isChecked());
    item->setIcon(source->icon());
  };
  follow();
  QObject::connect(source, &QAction::changed, item, follow);
  QObject::connect(source, &QObject::destroyed, item, &QObject::deleteLater);
  QObject::connect(item, &QAction::triggered, item, [item, source] {
    // The item's own tick flipped on the click; the action's update handler owns it.
    item->setChecked(source->isChecked());
    source->trigger();
  });
  menu->addAction(item);
  items_.push_back({item, source});
  return item;
}

void TActionList::Remove(TAction* action) {
  for (auto it = actions_.begin(); it != actions_.end(); ++it)
    if (it->get() == action) {
      actions_.erase(it);
      return;
    }
}

void TActionList::UpdateActions() {
  // Handlers may add actions (never remove them); index so that growth is safe.
  for (size_t k = 0; k < actions_.size(); ++k) actions_[k]->Update();
}

void TActionList::WatchMenu(QMenu* menu) {
  QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu] {
    GuardedCall([this, menu] {
      for (QAction* qa : menu->actions()) {
        if (TAction* a = FindByAction(qa)) a->Update();
        if (QMenu* sub = qa->menu())
          for (QAction* sa : sub->actions())
            if (TAction* a = FindByAction(sa)) a->Update();
      }
    });
  });
}

void TActionList::Unticked(TAction* checked) {
  for (const auto& a : actions_)
    if (a.get() != checked && a->GroupIndex() == checked->GroupIndex() && a->Checked())
      a->Action()->setChecked(false);
}

}  // namespace platform

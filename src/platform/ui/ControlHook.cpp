#include "platform/ui/ControlHook.h"

#include <QEvent>

#include "common/Exception.h"

namespace platform {

TControlHook::TControlHook(QObject* owner) : QObject(owner) {}

TControlHook::~TControlHook() { Unhook(); }

void TControlHook::SetTarget(THookTarget value) {
  Unhook();
  target_ = value;
  if (loaded_) Hook();
}

void TControlHook::SetControl(QWidget* value) {
  Unhook();
  control_ = value;
  if (loaded_) Hook();
}

void TControlHook::Loaded() {
  loaded_ = true;
  Unhook();
  Hook();
}

void TControlHook::HandleChanged(int) {}

bool TControlHook::WndProc(QEvent*) { return false; }

// The form is the top-level window of the first widget met: the control itself, or else the
// hook's owners one after the other.
QWidget* TControlHook::FindTarget() const {
  if (target_ == htControl) return control_;
  for (const QObject* o = control_ ? static_cast<const QObject*>(control_.data()) : this; o;
       o = o->parent()) {
    if (const auto* widget = qobject_cast<const QWidget*>(o)) return widget->window();
  }
  return nullptr;
}

void TControlHook::Hook() {
  QWidget* target = FindTarget();
  if (!target) {
    if (target_ == htForm) throw common::Exception(kHookTargetNotFound);
    return;
  }
  hooked_ = target;
  destroyedConnection_ = connect(target, &QObject::destroyed, this, [this] { HookedControlDestroyed(); });
  target->installEventFilter(this);
}

void TControlHook::Unhook() {
  if (!hooked_) return;
  disconnect(destroyedConnection_);
  hooked_->removeEventFilter(this);
  hooked_ = nullptr;
}

void TControlHook::HookedControlDestroyed() {
  disconnect(destroyedConnection_);
  HandleChanged(kHandleDestroyed);
  hooked_ = nullptr;
}

bool TControlHook::eventFilter(QObject* watched, QEvent* event) {
  if (!hooked_ || watched != hooked_) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::WinIdChange)
    HandleChanged(hooked_->internalWinId() ? kHandleCreated : kHandleDestroyed);
  return WndProc(event);
}

}  // namespace platform

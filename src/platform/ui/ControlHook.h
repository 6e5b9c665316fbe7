#pragma once
// TControlHook: a component that sees the events of another window control, or of that control's
// form, before the control does (an event filter on the target widget), so that a descendant can
// act on them. TDropDst (DropDst.h) builds the file drop target on it.
//
// Hooking starts with Loaded, the end of setting the hook up; from then on, setting Control or
// Target unhooks, stores the value and hooks again at once. The hook follows its control's native
// window: when the window is destroyed or made anew, HandleChanged tells the descendant, which can
// apply its settings to the new window. Destroying the hook, or the hooked control, unhooks.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>

namespace platform {

// Whose events to see: the control itself, or the form (top-level window) it sits on.
enum THookTarget : uint8_t { htControl, htForm };

// The failure text of a form hook that finds no form.
inline constexpr char kHookTargetNotFound[] = "フック先を特定できません。";

class TControlHook : public QObject {
 public:
  // The reasons HandleChanged gives.
  static constexpr int kHandleDestroyed = 1;  // the window is gone: forget it
  static constexpr int kHandleCreated = 2;    // a new window exists: take it

  explicit TControlHook(QObject* owner = nullptr);
  ~TControlHook() override;
  TControlHook(const TControlHook&) = delete;
  TControlHook& operator=(const TControlHook&) = delete;

  THookTarget Target() const { return target_; }
  void SetTarget(THookTarget value);
  QWidget* Control() const { return control_; }
  void SetControl(QWidget* value);
  // The widget hooked now, or nullptr.
  QWidget* HookedControl() const { return hooked_; }

  // Ends the set-up and hooks. With htForm and no form to be found (no Control and no widget
  // among the hook's owners) it throws common::Exception with kHookTargetNotFound; with
  // htControl and no Control it stays unhooked.
  virtual void Loaded();

 protected:
  // The hooked control's native window was destroyed (kHandleDestroyed) or created
  // (kHandleCreated). The base does nothing.
  virtual void HandleChanged(int reason);
  // Every event of the hooked control; true stops it there. The base lets everything through.
  virtual bool WndProc(QEvent* event);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* FindTarget() const;
  void Hook();
  void Unhook();
  void HookedControlDestroyed();

  THookTarget target_ = htControl;
  QPointer<QWidget> control_;
  QPointer<QWidget> hooked_;
  QMetaObject::Connection destroyedConnection_;
  bool loaded_ = false;
};

}  // namespace platform

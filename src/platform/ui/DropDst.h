#pragma once
// TDropDst: a drop target for files dragged from the desktop onto a control or its form (see
// TControlHook). A drag that carries local files is accepted while AcceptDrop is on; the drop
// reports every file, in the order the drop lists them, with the drop point in the target's
// client pixels. A drag without a local file is refused.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/ControlHook.h"

namespace platform {

class TDropDst;

// Files: the local paths (UTF-8), whole, in the drop's order; X, Y: the drop point in the
// target's client pixels.
using TFileDropEvent =
    std::function<void(TDropDst* Sender, const std::vector<std::string>& Files, int32_t X, int32_t Y)>;

class TDropDst : public TControlHook {
 public:
  explicit TDropDst(QObject* owner = nullptr);

  // Whether the target takes drops; true by default. A change applies at once.
  bool AcceptDrop() const { return acceptDrop_; }
  void SetAcceptDrop(bool value);

  // Called for each drop. An exception it throws goes to the application's exception handler
  // (platform::GuardedCall); the drop is finished either way.
  TFileDropEvent OnFileDrop;

  // Hooks, then applies AcceptDrop.
  void Loaded() override;

 protected:
  // A new native window is registered for drops again.
  void HandleChanged(int reason) override;
  bool WndProc(QEvent* event) override;

 private:
  void ApplyAcceptDrop();

  bool acceptDrop_ = true;
};

}  // namespace platform

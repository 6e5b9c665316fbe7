// The second pane's Bitmap menu (also its popup menu): Copy and Paste of points through the
// clipboard, equal spacing, the four smooths and Magnet, always on the sculpt-image editor
// whatever the main pane shows.
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/panes/ScBitmap.h"
#include "platform/ui/Control.h"
#include "shape/PointClipboard.h"
#include "shape/model/uScPrim.h"

namespace editor {

using platform::TAction;
using shape::CurrentShape;

void TMainFrm::WireBitmapActions() {
  // The program's one shape. A reference bound to it names the global itself, so the handlers
  // use it without capturing it.
  shape::TCS& cs = CurrentShape;
  // Copy and Paste need the sculpt-image editor on screen and a selection.
  auto bitmapShown = [this] { return (EditorMode == 7 || Image2->isVisible()) && cs.Count > 0; };
  Act("BitmapCopy")->OnUpdate = [bitmapShown](TAction* a) { a->SetEnabled(bitmapShown()); };
  Act("BitmapCopy")->OnExecute = [](TAction*) { shape::CopyPointsToClipboard(cs); };
  Act("BitmapPaste")->OnUpdate = [bitmapShown](TAction* a) {
    a->SetEnabled(bitmapShown() && shape::CanPastePoints());
  };
  Act("BitmapPaste")->OnExecute = [this](TAction*) {
    // A block another program put under the format and that does not hold what it claims
    // changes nothing, the selection included.
    shape::TBitmapClip block;
    if (!shape::ReadPointsFromClipboard(block)) return;
    shape::PastePointBlock(cs, block);
    AfterCommand();
  };

  auto canSpace = [this](TAction* a) { a->SetEnabled(CommandQueries().BitmapEqualIntervals); };
  Act("BitmapEQLine")->OnUpdate = canSpace;
  Act("BitmapEQLine")->OnExecute = [this](TAction*) {
    ScBitmap->EqualIntervals(cs);
    AfterCommand();
  };
  Act("BitmapEQDist")->OnUpdate = canSpace;
  Act("BitmapEQDist")->OnExecute = [this](TAction*) {
    if (ScBitmap->EqualDistance(cs)) AfterCommand();
  };
  for (const char* name : {"BitmapSmooth0", "BitmapSmooth1", "BitmapSmooth2", "BitmapSmooth3"}) {
    Act(name)->OnUpdate = [](TAction* a) { a->SetEnabled(true); };
    Act(name)->OnExecute = [this](TAction* a) {
      if (ScBitmap->Smooth(cs, a->Tag)) AfterCommand();
    };
  }
  Act("BitmapMagnet")->OnUpdate = [](TAction* a) { a->SetEnabled(cs.Count >= 2); };
  Act("BitmapMagnet")->OnExecute = [this](TAction*) {
    if (ScBitmap->Magnet(cs)) AfterCommand();
  };
}

}  // namespace editor

// Components attached to a view (processing, input/output) after the view exchanges its picture:
// they are told, and work on the view's current picture, also when the exchange freed the one
// they had.
#include <gtest/gtest.h>

#include "rastova/core/RastovaProc.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using namespace rv::viewtest;
using ViewAttachedComponents = rv::viewtest::ViewLibraryTest;

namespace attachedcomponents {

// Taking back an external picture gives the layer a new picture of its own; one the layer owned
// is freed. The view's own processing component and another attached one both follow.
TEST_F(ViewAttachedComponents, FollowThePictureAfterAnExternalOneIsTakenBack) {
  TViewInWindow w{30, 20};
  TRastovaView& v = *w.view;
  w.SetPicture(8, 6);
  TRastovaProc other;
  other.SetAttachedRastova(&v);
  TRastovaProc& own = *v.GetProc();
  TRVBitmap external;
  FillPicture(external, 5, 4);
  for (TRVBitmap* before : {static_cast<TRVBitmap*>(nullptr), &external}) {
    if (before) v.SetExternalBitmap(before);
    v.SetExternalBitmap(nullptr);
    EXPECT_EQ(own.GetBitmap(), v.GetRVBitmap()) << (before ? "external" : "owned");
    EXPECT_EQ(other.GetBitmap(), v.GetRVBitmap()) << (before ? "external" : "owned");
    FillPicture(*v.GetRVBitmap(), 4, 3);
    own.ClearAllUndo();
    own.SaveUndo(rvuImage);
    EXPECT_TRUE(own.GetCanUndo());
  }
  EXPECT_TRUE(*external.GetPPixels_rv24RGB(4, 3) == PictureColour(4, 3));
}

}  // namespace attachedcomponents

#include "rastova/view/background/RVViewBackground.h"

namespace rv {

void PaintViewBackground(bool, platform::TCanvas&, platform::TBitmap*, TRVWallPaperStyle, const platform::TBitmap*,
                         platform::TColor, platform::TBrushStyle, int32_t, int32_t, int32_t, int32_t, int32_t,
                         int32_t, int32_t, int32_t, int32_t, platform::TColor, TRVBackgroundStyle) {}

void PaintChessboard(platform::TCanvas&, platform::TBitmap*, int32_t, int32_t, int32_t, int32_t, int32_t,
                     platform::TBrushStyle, platform::TColor) {}

void PaintWallPaper(platform::TCanvas&, TRVWallPaperStyle, const platform::TBitmap&, int32_t, int32_t) {}

}  // namespace rv

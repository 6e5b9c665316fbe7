#pragma once
// The layers file (file type 26, "LYR") of the I/O component, served by the image view.

namespace rv {

class TRVBitmap;
class TRastovaView;

// Merges the layers of a view that no window shows into Target, for a file loaded without an
// attached view. False, before anything is allocated, when the merged picture is larger than the
// layers' images can justify (a layer far away or shown much larger than its image); false too
// when the merge ends without a picture.
bool MergeLoadedLayers(TRastovaView& View, TRVBitmap& Target);

// Gives the I/O component the layers file's operations; the view library's start-up
// registration calls it before the I/O start-up builds the format registry.
void InstallLayersFormat();

}  // namespace rv

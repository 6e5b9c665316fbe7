#pragma once
// The vector layer's side of its object streams. The streams themselves (the "RVV" object
// stream, the content tests of it and of the "Layers and objects" stream, extended objects and
// their registry) are read and written without windows in rastova/io/vector/RVVObjStream.h and
// RVExtendedObject.h; the layer's operations on them (TRastovaVect::SaveObjectsToStream,
// LoadObjectsFromStream, SaveAllToStream, LoadAllFromStream ...) are in RVVectStreams.cpp, and
// the file types of the I/O component in RVVectFormats.cpp.
//
// A stream is read whole into a TRVVObjStreamContent before anything of the layer changes, so a
// damaged stream leaves the layer as it was.
#include "rastova/io/vector/RVExtendedObject.h"
#include "rastova/io/vector/RVVObjStream.h"
#include "rastova/view/vector/RVVectTypes.h"

namespace rv {

// Installs the I/O operations of the "Vectorial objects" and "Layers and objects" file types.
void InstallVectFormats();

}  // namespace rv

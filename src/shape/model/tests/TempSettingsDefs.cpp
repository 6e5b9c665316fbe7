// Stand-in definitions of the settings globals, compiled only while the settings library is not
// built yet. Delete this file once it is.
#ifdef ZEPHOR_TEMP_SETTINGS_DEFS
#include "settings/AppSettings.h"

namespace settings {
TAppSettings AppSettings;
double ObjectSize[3] = {1, 1, 1};
double AxisScales[3] = {1, 1, 1};
double AxisRatios[3] = {1, 1, 1};
double MaxAxisRatio = 1;
double GridAngleStep = 0.17453292519943295;
}  // namespace settings
#endif

#include "editor/tests/DialogTestUtil.h"

#include <gtest/gtest.h>

#include "rastova/io/RVFileFormat.h"

TEST(Registry, Placeholder) { SUCCEED(); }

// Plug-in libraries for the host's tests, one per TEST_PLUGIN_KIND:
//   1  a plug-in whose result and written shape the test sets through extra exports
//   2  a library without the entry points
//   3  a library with PluginNameZP6 only
//   4  a library whose PluginNameZP6 returns no text
#include <algorithm>
#include <stdexcept>
#include <string>

#include "shape/model/PluginInterface.h"

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

#if TEST_PLUGIN_KIND == 1

namespace {
int gResult = 1;
int gThrows = 0;
int gScType = shape::SCTYPE_PLANE;
int32_t gMaxI = 2;
int32_t gMaxJ = 3;
int gCalls = 0;
std::u16string gKeyPath;
void* gOwner = nullptr;
}  // namespace

const char16_t* PluginNameZP6() { return u"Test Plug-in"; }

TPluginBool PluginExecZP6(void* owner, const char16_t* const* keyPath, shape::TCS* cs) {
  ++gCalls;
  gOwner = owner;
  gKeyPath = *keyPath;
  cs->ScType = static_cast<shape::TScType>(gScType);
  cs->CPMaxI = gMaxI;
  cs->CPMaxJ = gMaxJ;
  for (int i = 0; i < std::clamp(gMaxI, 0, shape::kGridMax); ++i)
    for (int j = 0; j < std::clamp(gMaxJ, 0, shape::kGridMax); ++j)
      cs->CP[i][j] = shape::TDbl3D{{0.125 * i, 0.25 * j, 0.5}};
  cs->Count = 12345;  // a careless plug-in
  if (gThrows) throw std::runtime_error("test plug-in failure");
  return static_cast<TPluginBool>(gResult);
}

TEST_EXPORT void TestPluginSet(int result, int throws, int scType, int32_t maxI, int32_t maxJ) {
  gResult = result;
  gThrows = throws;
  gScType = scType;
  gMaxI = maxI;
  gMaxJ = maxJ;
}
TEST_EXPORT int TestPluginCalls() { return gCalls; }
TEST_EXPORT const char16_t* TestPluginLastKeyPath() { return gKeyPath.c_str(); }
TEST_EXPORT void* TestPluginLastOwner() { return gOwner; }

#elif TEST_PLUGIN_KIND == 2

TEST_EXPORT int SomethingElse() { return 42; }

#elif TEST_PLUGIN_KIND == 3

const char16_t* PluginNameZP6() { return u"Name Only"; }

#elif TEST_PLUGIN_KIND == 4

const char16_t* PluginNameZP6() { return nullptr; }

#endif

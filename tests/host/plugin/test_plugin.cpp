// A native plug-in for the module loader's tests: a C entry point counting its calls, and a
// constructor that leaves a mark, to see whether loading ran the module's code.
#include <cstdlib>

extern "C" {

static int g_calls = 0;
__attribute__((visibility("default"))) int TestPluginCount() {
  return ++g_calls;
}

__attribute__((constructor)) static void MarkLoaded() {
  setenv("BW_TEST_PLUGIN_RAN", "1", 1);
}
}

// A native plug-in for the module loader's tests: C entry points and a load counter.
extern "C" {

__attribute__((visibility("default"))) int TestPluginAdd(int a, int b) { return a + b; }

static int g_calls = 0;
__attribute__((visibility("default"))) int TestPluginCount() { return ++g_calls; }
}

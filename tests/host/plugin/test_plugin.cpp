// A native plug-in for the module loader's tests: a C entry point counting its calls.
extern "C" {

static int g_calls = 0;
__attribute__((visibility("default"))) int TestPluginCount() {
  return ++g_calls;
}
}

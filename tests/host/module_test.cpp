#include "host/module.h"

#include <gtest/gtest.h>

namespace bw::host {
namespace {

using CountFn = int (*)();

// Windows modules and missing files are the decoder plug-in scan's failures.
TEST(Module, RepeatedLoadsShareOneCountedInstance) {
  HMODULE first = LoadLibrary(BW_TEST_PLUGIN);
  HMODULE second = LoadLibrary(BW_TEST_PLUGIN);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  auto count = reinterpret_cast<CountFn>(GetProcAddress(first, "TestPluginCount"));
  ASSERT_NE(count, nullptr);
  int before = count();
  EXPECT_TRUE(FreeLibrary(second));
  // Still loaded through the first handle: its state lives on.
  count = reinterpret_cast<CountFn>(GetProcAddress(first, "TestPluginCount"));
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count(), before + 1);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_FALSE(FreeLibrary(nullptr));
}

}  // namespace
}  // namespace bw::host

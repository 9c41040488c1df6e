#include "host/module.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace bw::host {
namespace {

using CountFn = int (*)();

TEST(Module, RepeatedLoadsShareOneCountedInstanceAndForeignOrMissingFilesFailCleanly) {
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

  // Windows modules and missing files fail cleanly.
  bw::test::TempDir dir;
  std::string mz(512, '\0');
  mz[0] = 'M';
  mz[1] = 'Z';
  EXPECT_EQ(LoadLibrary(dir.WriteFile("plugin.bin", mz).string()), nullptr) << "MZ under any name";
  EXPECT_EQ(LoadLibrary(dir.WriteFile("EXTRA.DLL", "not a module").string()), nullptr);
  EXPECT_EQ(LoadLibrary((dir.path() / "missing.dll").string()), nullptr);
  EXPECT_EQ(LoadLibrary(""), nullptr);
}

}  // namespace
}  // namespace bw::host

#include "host/module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/trust.h"

namespace bw::host {
namespace {

using CountFn = int (*)();

// Windows modules and missing files are the decoder plug-in scan's failures.
TEST(Module, RepeatedLoadsShareOneCountedInstance) {
  ScopedGameTrust trust(true);
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

// Loading runs a module's constructors, so an untrusted game's module is never handed to the
// loader, and the refusal names it.
TEST(Module, ANativeModuleLoadsOnlyForATrustedGame) {
  std::vector<std::string> told;
  SetTrustNoticeSink([&](const std::string& text) { told.push_back(text); });
  for (bool trusted : {false, true}) {
    SCOPED_TRACE(trusted);
    unsetenv("BW_TEST_PLUGIN_RAN");
    told.clear();
    ScopedGameTrust trust(trusted);
    HMODULE module = LoadLibrary(BW_TEST_PLUGIN);
    EXPECT_EQ(module != nullptr, trusted);
    // (A module loaded before keeps its mark from running again: only its absence is sure.)
    if (!trusted) {
      EXPECT_EQ(std::getenv("BW_TEST_PLUGIN_RAN"), nullptr) << "the constructor ran";
    }
    ASSERT_EQ(told.size(), trusted ? 0u : 1u);
    if (!trusted) {
      EXPECT_NE(told[0].find(BW_TEST_PLUGIN), std::string::npos) << told[0];
    }
    if (module) {
      EXPECT_TRUE(FreeLibrary(module));
    }
  }
  SetTrustNoticeSink(nullptr);
}

}  // namespace
}  // namespace bw::host

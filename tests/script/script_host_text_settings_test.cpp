#include <gtest/gtest.h>

#include "script/script_host.h"
#include "script_test_util.h"

namespace bw {
namespace {

struct FlagApp : ScriptApplication {
  MemoryScriptFileSource files;
  uint8_t changed = 0;
  ScriptFileSource* ScriptFiles() override { return &files; }
  std::string SaveFolder() override { return "SAVE\\"; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override { return 0; }
  void ShowMessage(const std::string&) override {}
  void SetAppOption(uint32_t, uint32_t) override {}
  uint32_t GetAppOption(uint32_t) override { return 0; }
  uint8_t* TextSettingsChangedFlag() override { return &changed; }
};

struct CountingTarget : TextSettingsTarget {
  std::vector<TextSettingsRequest> seen;
  void ApplyTextSettings(const TextSettingsRequest& request) override { seen.push_back(request); }
};

TEST(ScriptHostTextSettings, ChangedOnlyWaitsForTheFlagAndClearingTakesIt) {
  FlagApp app;
  ScriptHost host(&app.files, 1, 1 << 20);
  host.SetApplication(&app);
  CountingTarget target;
  host.SetTextSettingsTarget(&target);

  EXPECT_FALSE(host.ApplyTextSettings({.changedOnly = true, .clearFlag = true}));
  EXPECT_TRUE(target.seen.empty()) << "nothing changed";
  EXPECT_FALSE(host.ApplyTextSettings({.history = true}));
  ASSERT_EQ(target.seen.size(), 1u) << "pushed anyway when not only on change";

  app.changed = 1;
  EXPECT_TRUE(host.ApplyTextSettings({.changedOnly = true, .firstWidget = 7}));
  EXPECT_EQ(app.changed, 1) << "kept without the clear flag";
  ASSERT_EQ(target.seen.size(), 2u);
  EXPECT_EQ(target.seen.back().firstWidget, 7u);
  EXPECT_TRUE(host.ApplyTextSettings({.changedOnly = true, .clearFlag = true}));
  EXPECT_EQ(app.changed, 0);
  EXPECT_FALSE(host.ApplyTextSettings({.changedOnly = true}));
  EXPECT_EQ(target.seen.size(), 3u);
}

}  // namespace
}  // namespace bw

// The live settings and menu permissions the scripts reach by index.
#include <gtest/gtest.h>

#include <functional>

#include "app/application/game_app.h"

namespace bw {
namespace {

// Each option lands in its own bytes of USER.CFG's blocks and nowhere else, cut to its width.
TEST(AppOptions, EachIndexStoresItsFieldAtItsWidth) {
  struct Case {
    uint32_t index;
    uint32_t value;
    uint32_t readBack;
    std::function<void(EngineConfig&)> expect;
  } cases[] = {
      {0, 0x100, 0, [](EngineConfig& c) { c.display.restorePointer = 0; }},
      {1, 3, 3, [](EngineConfig& c) { c.pacing.frameSkipCounting = 3; }},
      {2, 1, 1, [](EngineConfig& c) { c.display.pauseWhenInactive = 1; }},
      {3, 0x12345, 0x2345, [](EngineConfig& c) { c.display.menuEdgeDelayMs = 0x2345; }},
      {4, 0, 0, [](EngineConfig& c) { c.pacing.loadMovieLibraries = 0; }},
      {5, 0x1FE, 0xFE, [](EngineConfig& c) { c.pacing.scriptSetting9 = 0xFE; }},
      {6, 0xABCD0400, 0x0400, [](EngineConfig& c) { c.pacing.glyphCacheSize = 0x0400; }},
  };
  for (const Case& c : cases) {
    GameApp app;
    EngineConfig expected = app.config();
    c.expect(expected);
    app.SetAppOption(c.index, c.value);
    EXPECT_EQ(app.config(), expected) << "index " << c.index;
    EXPECT_EQ(app.GetAppOption(c.index), c.readBack) << "index " << c.index;
  }
}

TEST(AppOptions, SevenToElevenAreTheMenuItems) {
  GameApp app;
  app.config().display.screenMode = kSavedScreenWindow;
  // Defaults: settings and screen mode allowed; save, load and the return to the title not.
  const uint32_t defaults[] = {1, 0, 0, 0, 1};
  for (uint32_t item = 0; item < 5; ++item) EXPECT_EQ(app.GetAppOption(7 + item), defaults[item]) << item;

  app.SetAppOption(10, 1);
  EXPECT_TRUE(app.menuItemEnabled(3)) << "10 is the return to the title";
  EXPECT_EQ(app.GetAppOption(10), 1u);
  app.SetAppOption(10, 0x100);  // any non-zero word enables
  EXPECT_TRUE(app.menuItemEnabled(3));
  app.SetAppOption(7, 0);
  EXPECT_FALSE(app.menuItemEnabled(0));
  EXPECT_EQ(app.GetAppOption(7), 0u);

  // The screen-mode item reads only while the game is in a window.
  app.SetAppOption(11, 0);
  EXPECT_FALSE(app.menuItemEnabled(4));
  app.SetAppOption(11, 1);
  EXPECT_EQ(app.GetAppOption(11), 1u);
  app.config().display.screenMode = kSavedScreenFull;
  EXPECT_EQ(app.GetAppOption(11), 0u);
}

TEST(AppOptions, OtherIndexesChangeNothingAndReadZero) {
  GameApp app;
  app.config().pacing.scriptSetting14 = 9;
  const EngineConfig before = app.config();
  for (uint32_t index : {12u, 13u, 14u, 0x80000000u, 0xFFFFFFFFu}) app.SetAppOption(index, 1);
  EXPECT_EQ(app.config(), before);
  for (int item = 0; item < 5; ++item) EXPECT_EQ(app.menuItemEnabled(item), item == 0 || item == 4) << item;

  EXPECT_EQ(app.GetAppOption(12), 0u);
  EXPECT_EQ(app.GetAppOption(13), 9u) << "third-block byte 14";
  EXPECT_EQ(app.GetAppOption(14), 0u);
  EXPECT_EQ(app.GetAppOption(0xFFFFFFFFu), 0u);
}

}  // namespace
}  // namespace bw

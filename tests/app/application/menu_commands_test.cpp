// The menu permissions behind the game application's menu, and the nested priority lowering.
#include <gtest/gtest.h>

#include "app/application/game_app.h"

namespace bw {
namespace {

class MenuApp : public GameApp {
 public:
  void SetDefaultScreenMode(uint8_t mode) { record_.defaultScreenMode = mode; }
};

TEST(MenuCommandsTest, PermissionsGreyTheKeptMenuOnlyWhenTheyChange) {
  MenuApp app;
  auto menu = BuildMainMenu(host::HWND{});
  app.set_menu(menu.get());

  EXPECT_EQ(app.SetMenuItemEnabled(1, true), 0);
  EXPECT_TRUE(app.menuItemEnabled(1));
  EXPECT_TRUE(menu->IsEnabled(kCmdSave));

  // Storing the value already held leaves the menu alone, even when it was changed behind it.
  EnableMenuPermission(menu.get(), 0, false);
  EXPECT_EQ(app.SetMenuItemEnabled(0, true), 0);
  EXPECT_FALSE(menu->IsEnabled(kCmdSettings));

  EXPECT_EQ(app.SetMenuItemEnabled(0, false), 0);
  EXPECT_FALSE(app.menuItemEnabled(0));
  EXPECT_EQ(app.SetMenuItemEnabled(5, true), kMenuItemUnknown);
  EXPECT_EQ(app.SetMenuItemEnabled(-1, true), kMenuItemUnknown);
  EXPECT_FALSE(app.menuItemEnabled(5));
}

TEST(MenuCommandsTest, AWindowOnlyGameKeepsTheScreenModePermission) {
  MenuApp app;
  auto menu = BuildMainMenu(host::HWND{});
  app.set_menu(menu.get());
  app.SetDefaultScreenMode(kScreenWindowOnly);
  EXPECT_EQ(app.SetMenuItemEnabled(4, false), 0);
  EXPECT_TRUE(app.menuItemEnabled(4));
  EXPECT_TRUE(menu->IsEnabled(kCmdScreenMode));

  app.SetDefaultScreenMode(kScreenBoth);
  EXPECT_EQ(app.SetMenuItemEnabled(4, false), 0);
  EXPECT_FALSE(menu->IsEnabled(kCmdScreenMode));
}

TEST(MenuCommandsTest, PriorityLoweringsNestAndAnUnmatchedRestoreKeepsZero) {
  GameApp app;
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 0);
  EXPECT_EQ(app.priorityLowerings(), 0u);

  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityLowered);
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityAlreadyLow);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 2);
  EXPECT_EQ(app.priorityLowerings(), 1u);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 1);
  EXPECT_EQ(app.priorityLowerings(), 0u);

  // In the threaded mode with no frame thread running, the lowering is counted all the same.
  app.config().engine.threadedDriving = 1;
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityNoThread);
  EXPECT_EQ(app.priorityLowerings(), 1u);
}

TEST(MenuCommandsTest, SwitchedOffLoweringRefusesAndRestoreAnswersTheCount) {
  GameApp app;
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityLowered);
  app.config().pacing.priorityLoweringOff = 1;
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityLoweringOff);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 1);
  EXPECT_EQ(app.priorityLowerings(), 1u);
}

}  // namespace
}  // namespace bw

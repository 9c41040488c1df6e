// Menu 101: its items, the permissions that grey them, and the commands it posts.
#include "app/dialogs/main_menu.h"

#include <gtest/gtest.h>

#include "host/message_queue.h"

namespace bw {
namespace {

TEST(MainMenuTest, PermissionsGreyTheirItemsAndChoosingPostsTheCommand) {
  host::WindowDesc desc;
  desc.proc = host::DefWindowProc;
  host::HWND owner = host::CreateWindow(desc);
  ASSERT_TRUE(owner);
  auto menu = BuildMainMenu(owner);

  EXPECT_EQ(EnableMenuPermission(menu.get(), 0, false), 0);
  EXPECT_FALSE(menu->IsEnabled(kCmdSettings));
  EXPECT_FALSE(menu->IsEnabled(kCmdSettingsSystem));
  EXPECT_FALSE(menu->Choose(kCmdSettings));
  EXPECT_EQ(EnableMenuPermission(menu.get(), 1, true), 0);
  EXPECT_EQ(EnableMenuPermission(menu.get(), 5, true), -1);
  EXPECT_EQ(EnableMenuPermission(menu.get(), -1, true), -1);

  EXPECT_TRUE(menu->Choose(kCmdSave));
  host::MSG msg;
  std::vector<host::WPARAM> commands;
  while (host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE)) {
    if (msg.message == host::WM_COMMAND && msg.hwnd == owner) commands.push_back(msg.wParam);
  }
  EXPECT_EQ(commands, std::vector<host::WPARAM>{kCmdSave});
  host::DestroyWindow(owner);
}

}  // namespace
}  // namespace bw

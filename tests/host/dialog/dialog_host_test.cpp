#include "host/dialog/dialog_host.h"

#include <gtest/gtest.h>

#include "host/message_queue.h"
#include "host/take_messages.h"

namespace bw::host {
namespace {

std::vector<MSG> Commands() {
  std::vector<MSG> got = test::TakeMessages();
  std::erase_if(got, [](const MSG& m) { return m.message != WM_COMMAND; });
  return got;
}

// Greyed items posting nothing and enabled ones their command are the menu commands' tests,
// through the application's menu and accelerators.
TEST(MenuTest, AnIdOnTheBarAndInAPopupIsGreyedInBoth) {
  WindowDesc desc;
  desc.proc = DefWindowProc;
  HWND owner = CreateWindow(desc);
  ASSERT_TRUE(owner);
  MenuItem popup{
      0,    "File", false,
      true, false,  {{10, "Open", false, true, false, {}}, {11, "Quit", false, true, false, {}}}};
  Menu menu(owner, {popup, {11, "Quit", false, true, false, {}}});

  // An id that appears twice (in a popup and on the bar) changes everywhere.
  EXPECT_TRUE(menu.EnableItem(11, false));
  EXPECT_FALSE(menu.Items()[1].enabled);
  EXPECT_FALSE(menu.Items()[0].items[1].enabled);
  EXPECT_FALSE(menu.Choose(11));
  EXPECT_FALSE(menu.EnableItem(0, false)) << "popups and separators have no command";
  EXPECT_TRUE(Commands().empty());
  EXPECT_TRUE(DestroyWindow(owner));
}

}  // namespace
}  // namespace bw::host

// Label: optimised
// The message window's hit area gives the pointer to a choice list while it is up and takes it
// back once a choice is made.
#include <gtest/gtest.h>

#include <string_view>
#include <utility>
#include <vector>

#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

using Switches = std::vector<std::pair<int, bool>>;

TEST(HitArea, IsOffWhileTheChoiceListTakesThePointer) {
  MemoryScriptFileSource files;
  FakeFrameHost host;
  TgsFrame frame(nullptr, &files, &host);
  const std::vector<std::string_view> choices = {"a", "b"};
  EXPECT_EQ(frame.BeginMessage(0), 0);
  ASSERT_EQ(frame.ShowChoices(choices, 0), 0);
  host.hitArea.clear();
  host.pointerEvents[3] = 21;
  ASSERT_EQ(frame.ChoiceWait(), 0);
  EXPECT_EQ(host.hitArea, (Switches{{0, false}, {3, true}})) << "off from the list's start";
}

}  // namespace
}  // namespace bw

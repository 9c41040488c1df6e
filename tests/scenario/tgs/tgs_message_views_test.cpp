#include <gtest/gtest.h>

#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

// A click while a view still types finishes the typing instead of ending the wait: wait mode 1
// looks at the message view alone, mode 2 at both views; skipping finishes both at once.
TEST(TgsMessageViews, TheWaitModesFinishTheirViewsTyping) {
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    MemoryScriptFileSource files;
    FakeFrameHost host;
    TgsFrame frame(nullptr, &files, &host);
    host.secondTypingTurns = 100;
    host.clickTurns = {3, 6};
    frame.BeginMessage(0);
    frame.Text() = "hello";
    ASSERT_EQ(frame.CommitMessageText(), 0);
    EXPECT_EQ(frame.ShowMessage(mode, true), 0);
    EXPECT_EQ(host.turns, mode == 1 ? 3 : 6);
    EXPECT_EQ(host.finishSecondCalls, mode == 1 ? 0 : 1);
    EXPECT_EQ(host.finishTypingCalls, 0);

    host.secondTypingTurns = host.typingTurns = 100;
    host.skipHeld = true;
    const int before = host.turns;
    EXPECT_EQ(frame.ShowMessage(mode, true), 0);
    EXPECT_EQ(host.turns, before + 1);
    EXPECT_EQ(host.finishSecondCalls, mode == 1 ? 1 : 2);
    EXPECT_EQ(host.finishTypingCalls, 1);
  }
}

}  // namespace
}  // namespace bw

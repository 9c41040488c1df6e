// Label: optimised
// The message road as a scenario drives it: a frame set up and run on a script engine, its waits
// answered by scripted turns of the host: the captions of the quick commands and their times,
// the auto-play clock across dialogs, the right click in auto play, the window hidden for the
// full-screen menu, and the page numbers the history keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/cp932.h"
#include "input/key_codes.h"
#include "scenario/message/text_history_log.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

constexpr char kOneMessage[] = "MessageBegin 0\n\"A\"\nMessageWait\n.end\n";
constexpr int kAutoButton = 6;

// One frame, set up and started fresh, as native 793 runs a named scenario.
class Road {
 public:
  Road() : engine(&files, 32u << 20) {
    LoadPlainEngine(files, engine);
    host.quitAtTurn = 10000;
    frame = std::make_unique<TgsFrame>(&engine, &files, &host);
    EXPECT_EQ(frame->SetScriptFolder("SCRIPT"), 0);
  }
  int Run(const std::string& lines) {
    files.Put("SCRIPT\\RUN.TOB", Tob(".tob1\n" + lines));
    EXPECT_EQ(frame->Setup("1\n"), 0);
    EXPECT_EQ(frame->Start("RUN"), 0);
    EXPECT_EQ(frame->BeginRun(false), 0);
    return TgsRunStep(*frame);
  }

  MemoryScriptFileSource files;
  ScriptEngine engine;
  FakeFrameHost host;
  std::unique_ptr<TgsFrame> frame;
};

TEST(MessageRoadCaptions, EachCommandShowsItsCaptionForItsTime) {
  struct Case {
    const char* what;
    int button;  // -1: Ctrl+F1
    bool works, confirm, userSkip;
    const char* caption;  // UTF-8; "" takes the caption away
    uint32_t ms;
  };
  const Case cases[] = {
      {"quick save", 0, true, false, false, "クイックセーブを実行しました", 100},
      {"quick save to slot 1", -1, true, false, false, "スロット１にセーブしました", 100},
      {"failed quick save", 0, false, false, false, "クイックセーブに失敗しました", 100},
      {"missing quick load", 1, false, true, false, "クイックセーブデータは存在しません", 100},
      {"quick load without a question", 1, true, false, false, "クイックロードを実行しました", 850},
      {"quick load while skipping", 1, true, false, true, "クイックロードを実行しました", 100},
      {"confirmed quick load", 1, true, true, false, "", 100},
  };
  for (const Case& c : cases) {
    Road road;
    FakeFrameHost& h = road.host;
    h.quickWorks = c.works;
    h.settings.confirmQuickLoad = c.confirm;
    h.settings.userSkip = c.userSkip;
    if (c.button < 0) {
      h.keysPressed = {kKeyF1};
      h.keysDown = {kKeyLeftControl};
    } else {
      h.pointerEvents[2] = c.button;
    }
    h.clickTurns = {5};
    road.Run(kOneMessage);
    ASSERT_FALSE(h.captions.empty()) << c.what;
    EXPECT_EQ(h.captions.front(), host::Cp932Literal(c.caption)) << c.what;
    EXPECT_EQ(h.captionMs.front(), c.ms) << c.what;
  }
}

// Auto play goes on at turn 1; at turn 5 a dialog stands open for 2000 ms. The page's auto-play
// time (1000 ms) counts only the time outside it.
TEST(MessageRoadMenuClock, DialogsDoNotUseUpTheAutoPlayTime) {
  struct Case {
    const char* what;
    int button;
  };
  const Case cases[] = {{"save dialog", 3},
                        {"load dialog", 4},
                        {"settings", 8},
                        {"quick load question", 1},
                        {"the menu bar's dialog", -1}};
  for (const Case& c : cases) {
    Road road;
    FakeFrameHost& h = road.host;
    h.settings.autoCharMs = 0;
    h.settings.autoBaseMs = 1000;
    h.quickWorks = true;
    h.answer = 0;  // the question is declined
    h.requestStartsAfter = 200;
    h.pointerEvents = {{1, kAutoButton}, {5, c.button}};
    if (c.button < 0) h.modalTurns = {5, 205};
    road.Run(kOneMessage);
    const uint32_t autoStart = 1000 + 10;
    EXPECT_EQ(h.requests.size(), c.button < 0 ? 0u : 1u) << c.what;
    EXPECT_GE(h.clock - autoStart, 3000u) << c.what << ": the dialog's time counted";
    EXPECT_LE(h.clock - autoStart, 3030u) << c.what;
  }
}

// A right click ends auto play with its setting, unless the right button is bound to auto play.
TEST(MessageRoadRightClick, EndsAutoPlayUnlessTheButtonIsAutoPlays) {
  for (const uint8_t mode : {1, 3}) {
    Road road;
    FakeFrameHost& h = road.host;
    h.settings.rightClickEndsAuto = true;
    h.settings.rightButtonMode = mode;
    h.pointerEvents = {{1, kAutoButton}};
    h.rightClickTurns = {3};
    h.clickTurns = {300};
    road.Run(kOneMessage);
    EXPECT_EQ(road.frame->AutoPlay(), mode == 3) << int(mode);
    EXPECT_EQ(h.turns < 300, mode == 3) << int(mode) << ": the wait ended by auto play";
  }
}

// With the setting, the full-screen menu hides the windows, quietly, until it closes; a click
// meanwhile belongs to the menu.
TEST(MessageRoadFullScreenMenu, HidesTheWindowUntilTheMenuCloses) {
  Road road;
  FakeFrameHost& h = road.host;
  h.state.fullScreenMenuMode = 2;
  h.settings.hideWindowForMenu = true;
  h.fullScreenMenuClosesAt = 40;
  h.clickTurns = {10, 100};
  road.Run(kOneMessage);
  auto hidden = std::find(h.windowShows.begin(), h.windowShows.end(), std::pair{1, false});
  ASSERT_NE(hidden, h.windowShows.end());
  auto shown = std::find_if(hidden, h.windowShows.end(), [](auto s) { return s.second; });
  ASSERT_NE(shown, h.windowShows.end());
  EXPECT_EQ(shown->first, 41) << "shown again before the menu closed";
  EXPECT_EQ(std::count(h.sounds.begin(), h.sounds.end(), kTgsSoundClick), 0);
}

class MeasuringView : public FakeHistoryView {
 public:
  using FakeHistoryView::FakeHistoryView;
  int32_t MeasureText(std::string_view) override { return 20; }
};

// Each message waited for takes a page of its own with the next number; the question before a
// choice list leaves its page to the list, and the message after the choice goes on it unnumbered.
TEST(MessageRoadPages, TheHistoryNumbersEachPageOnce) {
  Road road;
  FakeFrameHost& h = road.host;
  MeasuringView view{h};
  h.historyView = &view;
  h.clickTurns = {2, 20, 30};
  h.pointerEvents = {{5, 20}};
  road.Run(
      "MessageBegin 0\n\"A\"\nMessageWait\n"
      "MessageBegin 1\n\"Q\"\nChoiceShow -, \"L\", \"R\", -, -, -, -, -, -, 0\nChoiceWait\n"
      "MessageBegin 2\n\"B\"\nMessageWait\n"
      "MessageBegin 3\n\"C\"\nMessageWait\n.end\n");
  std::vector<int> marks;
  const TextHistoryLog& log = road.frame->History();
  for (int32_t i = 0; i < log.Count(); ++i) {
    if (const auto* m = std::get_if<MessageRecord>(&log.GetEntry(i)->record)) {
      marks.push_back(m->mark);
    }
  }
  EXPECT_EQ(marks, (std::vector<int>{1, 2, 0, 2}));
}

}  // namespace
}  // namespace bw

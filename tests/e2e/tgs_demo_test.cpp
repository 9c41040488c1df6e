// Label: optimised
// The demo's scenario frame scene run by the program headless, beside a MAIN that calls it, with
// scripted clicks and keys: the frames of its messages and choice list, the branch the choice
// takes, the read-text log it leaves, the skip key on unread text, a close during a wait, and the
// scene changes that end the scenario.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/config/user_config.h"
#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"
#include "lib/tob/tob_assembler.h"
#include "program/program_process.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// Frames of the scripted run: the first message is out by 60 and clicked away at 70, the second
// is out by 150 and clicked away at 160, the choice list stands by 230, the pointer picks a line
// at 240 and clicks it at 242, the branch's message is out by 300 and its click at 400 ends the
// scenario and the game.
constexpr uint32_t kFirst = 60, kSecond = 150, kChoices = 230, kBranch = 300;
const std::string kClicks = "70:click:400:300,160:click:400:300";
// The choice lines stand in the middle of the screen, one above the other.
const std::string kRightRoad = "240:move:400:275,242:click:400:275";
const std::string kLeftRoad = "240:move:400:325,242:click:400:325";
const std::string kEndClick = "400:click:400:300";
// The scene changes start after the last message; runs that look only at the messages close the
// window before them.
const std::string kBeforeScene = "BRIMWOLD_HEADLESS_FRAMES=410";

using Played = test::PlayedRun;

class TgsDemo : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS")); }
};

std::string Hashes(uint32_t last) {
  return "BRIMWOLD_HEADLESS_HASHES=" + std::to_string(kFirst) + "," + std::to_string(kSecond) +
         "," + std::to_string(kChoices) + "," + std::to_string(last);
}

// The two roads share every frame up to the choice and then differ; each marks its own messages
// and its choice in the log written at the exit.
TEST_F(TgsDemo, ClicksPlayTheScenarioAndEachRoadShowsItsOwnMessage) {
  const Played right =
      Play({Hashes(kBranch), kBeforeScene,
            "BRIMWOLD_HEADLESS_INPUT=" + kClicks + "," + kRightRoad + "," + kEndClick});
  EXPECT_EQ(right.status, 0) << right.errors;
  ASSERT_EQ(right.hashes.size(), 4u) << "the game ended before the branch";
  EXPECT_NE(right.hashes.at(kFirst), right.hashes.at(kSecond));
  EXPECT_NE(right.hashes.at(kSecond), right.hashes.at(kChoices));
  EXPECT_EQ(test::LogRecord(game.path(), "TGS_DEMO"), ".record TGS_DEMO 5 2 0F 01")
      << "messages 0-3 read, the first road";

  fs::remove(game.path() / "SAVEDATA" / "TEXT_LOG.DAT");
  const Played left =
      Play({Hashes(kBranch), kBeforeScene,
            "BRIMWOLD_HEADLESS_INPUT=" + kClicks + "," + kLeftRoad + "," + kEndClick});
  EXPECT_EQ(left.status, 0) << left.errors;
  ASSERT_EQ(left.hashes.size(), 4u);
  for (uint32_t frame : {kFirst, kSecond, kChoices})
    EXPECT_EQ(left.hashes.at(frame), right.hashes.at(frame)) << "frame " << frame;
  EXPECT_NE(left.hashes.at(kBranch), right.hashes.at(kBranch)) << "the roads show the same";
  EXPECT_EQ(test::LogRecord(game.path(), "TGS_DEMO"), ".record TGS_DEMO 5 2 17 02")
      << "messages 0-2 and 4, the second road";
}

// On unread text the held skip key changes nothing: the first message types out as it did
// unskipped. Closing the window while the second waits ends the game normally, and the log keeps
// the message that was read. The trace lists the built-ins run.
TEST_F(TgsDemo, UnreadTextIsNotSkippedAndACloseDuringAWaitKeepsTheLog) {
  const Played plain = Play({"BRIMWOLD_HEADLESS_HASHES=" + std::to_string(kFirst),
                             "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kFirst)});
  ASSERT_EQ(plain.hashes.size(), 1u);
  // Skipping by the Ctrl keys, on read text only.
  test::ChangePlayerSettings(game.path(), [](UserConfig& user) {
    user.fastForwardReadOnly = 1;
    user.fastForwardKey = 1;
  });
  const Played closed = Play({"BRIMWOLD_HEADLESS_HASHES=" + std::to_string(kFirst),
                              "BRIMWOLD_HEADLESS_INPUT=5:keydown:Left Ctrl," + kClicks,
                              "BRIMWOLD_HEADLESS_FRAMES=120", "BRIMWOLD_TGS_TRACE=1"});
  EXPECT_EQ(closed.status, 0) << closed.errors;
  EXPECT_EQ(closed.hashes, plain.hashes) << "the unread first message was skipped";
  EXPECT_EQ(test::LogRecord(game.path(), "TGS_DEMO"), ".record TGS_DEMO 5 2 01 00");
  EXPECT_NE(closed.errors.find("tgs TGS_DEMO +0 built-in 12 (1,0)"), std::string::npos)
      << closed.errors;
  EXPECT_NE(closed.errors.find("built-in 25"), std::string::npos) << "the speaker and voice";
}

// After the last message the scene changes: a background through "cross", a standing figure faded
// in and moved, a grey tone, rule 1, the numbered mode 12 and a quake. Two runs show the same
// frames at every moment, the moments differ from one another, and with the show-effects switch
// off (the figure's move at once, no quake) the run ends on the same picture.
TEST_F(TgsDemo, SceneChangesShowTheSameFramesOnEveryRun) {
  const std::string every = "BRIMWOLD_HEADLESS_HASHES=" + test::FrameRange(400, 999);
  const std::string input =
      "BRIMWOLD_HEADLESS_INPUT=" + kClicks + "," + kRightRoad + "," + kEndClick;
  const fs::path log = game.path() / "SAVEDATA" / "TEXT_LOG.DAT";
  // Read text would type at once: every run starts on unread text.
  const Played first = Play({every, input});
  ASSERT_EQ(first.status, 0) << first.errors;
  fs::remove(log);
  const Played second = Play({every, input});
  ASSERT_EQ(second.status, 0) << second.errors;
  ASSERT_FALSE(first.hashes.empty());
  const uint32_t last = first.hashes.rbegin()->first;
  ASSERT_GT(last, 560u) << "the scene changes ended early";
  std::set<uint64_t> seen;
  for (uint32_t frame : {420u, 450u, 475u, 500u, 520u, 540u, 560u, last}) {
    ASSERT_TRUE(first.hashes.count(frame) && second.hashes.count(frame)) << frame;
    EXPECT_EQ(first.hashes.at(frame), second.hashes.at(frame)) << "frame " << frame;
    EXPECT_TRUE(seen.insert(first.hashes.at(frame)).second) << "frame " << frame << " repeats";
  }
  EXPECT_EQ(first.hashes, second.hashes);

  ASSERT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "APP_CFG.DAT"));
  test::ChangePlayerSettings(game.path(), [](UserConfig& user) { user.showEffects = 0; });
  fs::remove(log);
  const Played plain = Play({every, input});
  ASSERT_EQ(plain.status, 0) << plain.errors;
  ASSERT_FALSE(plain.hashes.empty());
  EXPECT_LT(plain.hashes.rbegin()->first, last) << "the effects still took their time";
  EXPECT_EQ(plain.hashes.rbegin()->second, first.hashes.at(last)) << "another final picture";
}

}  // namespace
}  // namespace bw

// Saving and loading in the application and the program on copies of the demo game, and the
// read-text log a stop signal leaves.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/dialogs/main_menu.h"
#include "e2e/demo_scene.h"
#include "support/game_run.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The demo's save scene run by the application on a copy of the demo game: it saves to the quick
// ring and the automatic ring at set frames, and a second run finds the newest automatic save
// and loads the frame count the first run had when it saved.

constexpr char kLoadingMain[] =
    ".sob0\n"
    " native native:42, findArgs, found\n"
    " native native:44, loadArgs, loaded\n"
    " mov found, reportArgs+8\n"
    " mov loaded, reportArgs+12\n"
    " mov var:2, reportArgs+16\n"
    " native native:67, reportArgs, status\n"
    " native native:796, show, status\n"
    " ret\n"
    "findArgs: .word 0, -1\n"
    "loadArgs: .word -1, 0\n"
    "reportArgs: .word report, format, 0, 0, 0\n"
    "format: .string \"found %d loaded %d frames %d\"\n"
    "show: .word title, report, 2\n"
    "title: .string \"Load\"\n"
    "found: .word 9\n"
    "loaded: .word 9\n"
    "status: .word 0\n"
    "report: .space 64\n";

using SaveScene = test::GameRun;

TEST_F(SaveScene, ASecondRunLoadsTheNewestAutomaticSave) {
  test::PutDemoScene(dir, "SAVE", test::SceneCallingMain("SAVE"));
  {
    GameApp app;
    ASSERT_EQ(RunGame(app), kExitNormal);
  }
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"quick 0 auto 0 frames 20"});
  EXPECT_TRUE(Exists("SAVEDATA/DATA0105.SAV")) << "the quick ring starts at slot 5";
  EXPECT_TRUE(Exists("SAVEDATA/DATA0000.SAV"));

  test::PutAssembled(dir, "SCRIPT/MAIN.SOB", kLoadingMain);
  {
    GameApp app;
    ASSERT_EQ(RunGame(app), kExitNormal);
  }
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"found 0 loaded 0 frames 20"});
}

// Saving and loading in the demo as a player does, headless on the virtual clock: a save made with
// the menu bar's "セーブ" during the story comes back in a later run from the title's "つづきから"
// and from the menu bar's "ロード" during the story; a quick save that fails says so.

std::string Command(uint32_t frame, int id) {
  return "BRIMWOLD_HEADLESS_COMMANDS=" + std::to_string(frame) + ":" + std::to_string(id);
}

// The frames of run from first on that show one of the pictures in shown.
std::vector<uint32_t> Showing(const test::PlayedRun& run, const std::set<uint64_t>& shown,
                              uint32_t first) {
  std::vector<uint32_t> frames;
  for (auto [frame, hash] : run.hashes) {
    if (frame >= first && shown.contains(hash)) frames.push_back(frame);
  }
  return frames;
}

// The story starts at 60 ("はじめから"); each click finds its line typed out and waiting. The
// save is made at 905, while the second scene's third line waits; its picture (the wait mark
// turning) is held from 910 on.
constexpr uint32_t kSaveAt = 905, kSavedFrom = 910, kSavedUntil = 960;
// The load dialog's first row of "Page.1", where the save went.
constexpr char kLoadFirstRow[] = "row:0;activate;2";

using DemoSaves = test::ShippedDemoTest;

TEST_F(DemoSaves, TheTitleAndTheMenuBarBringBackTheSavedLine) {
  const test::PlayedRun saving =
      Play({test::StoryClicks(kSaveAt), Command(kSaveAt, kCmdSave),
            "BRIMWOLD_HEADLESS_ANSWERS=row:0;check:1073:0;press:1204;2",
            test::HashRanges({{kSavedFrom, kSavedUntil}}), "BRIMWOLD_HEADLESS_FRAMES=970"});
  ASSERT_EQ(saving.status, 0) << saving.errors;
  ASSERT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "DATA0200.SAV")) << saving.errors;
  std::set<uint64_t> saved;
  for (auto [frame, hash] : saving.hashes) saved.insert(hash);

  // "つづきから" at 60 is cancelled: the title stays. Again at 100, the first row is loaded.
  const test::PlayedRun title =
      Play({"BRIMWOLD_HEADLESS_INPUT=55:move:400:412,60:click:400:412,100:click:400:412",
            "BRIMWOLD_HEADLESS_ANSWERS=2," + std::string(kLoadFirstRow),
            test::HashRanges({{40, 250}}), "BRIMWOLD_HEADLESS_FRAMES=260"});
  ASSERT_EQ(title.status, 0) << title.errors;
  EXPECT_EQ(title.hashes.at(90), title.hashes.at(58)) << "a cancelled dialog leaves the title";
  EXPECT_TRUE(Showing(title, saved, 40) == Showing(title, saved, 101))
      << "nothing loaded before the second click";
  EXPECT_FALSE(Showing(title, saved, 101).empty()) << "the title's load shows the saved line";

  // During the story's first scene, the menu bar's load at 300.
  const test::PlayedRun story =
      Play({"BRIMWOLD_HEADLESS_INPUT=55:move:400:352,60:click:400:352", Command(300, kCmdLoad),
            std::string("BRIMWOLD_HEADLESS_ANSWERS=") + kLoadFirstRow,
            test::HashRanges({{280, 450}}), "BRIMWOLD_HEADLESS_FRAMES=460"});
  ASSERT_EQ(story.status, 0) << story.errors;
  EXPECT_TRUE(Showing(story, saved, 280) == Showing(story, saved, 301));
  EXPECT_FALSE(Showing(story, saved, 301).empty()) << "the menu bar's load shows the saved line";
}

// Ctrl+F1 where the quick save's file cannot be written (a folder took its place): the player
// is told, with the reason, and the game goes on.
TEST_F(DemoSaves, AQuickSaveThatCannotBeWrittenSaysSo) {
  fs::create_directories(game.path() / "SAVEDATA" / "DATA0105.SAV" / "inside");
  const test::PlayedRun run =
      Play({test::StoryClicks(kSaveAt) + ",905:keydown:Left Ctrl,905:key:F1,906:keyup:Left Ctrl",
            "BRIMWOLD_HEADLESS_FRAMES=940"});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(run.errors.find("セーブデータの作成に失敗しました。ErrNo:5"), std::string::npos)
      << run.errors;
  EXPECT_NE(run.errors.find("DATA0105.SAV was not written: Is a directory"), std::string::npos)
      << "the system's reason: " << run.errors;
}

// The read-text log of the demo's scenario frame scene, written when a stop signal closes the
// program while a message waits.

class TextLog : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS")); }
};

// The first two messages are clicked away (frames 70 and 160); at frame 200 the third is shown
// and waits when the signal comes. The game closes as by its close button, and the log marks the
// three messages shown as read.
TEST_F(TextLog, AStopSignalWritesTheMessagesReadSoFar) {
  const fs::path log = game.path() / "SAVEDATA" / "TEXT_LOG.DAT";
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
    fs::remove(log);
    test::ProgramProcess program(
        BRIMWOLD_PROGRAM, {"/L", game.path().string()},
        test::HeadlessEnvironment(home.path(), {"BRIMWOLD_HEADLESS_HASHES=200",
                                                "BRIMWOLD_HEADLESS_INPUT=70:click:400:300,"
                                                "160:click:400:300"}));
    ASSERT_TRUE(program.WaitForOutput("frame 200 hash", 120s)) << program.Errors();
    program.Signal(signal);
    EXPECT_EQ(test::ExitCode(program.WaitForEnd(60s)), 0) << program.Errors();
    EXPECT_EQ(test::LogRecord(game.path(), "TGS_DEMO"), ".record TGS_DEMO 5 2 07 00");
  }
}

}  // namespace
}  // namespace bw

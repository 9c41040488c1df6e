// The demo's save scene run by the application on a copy of the demo game: it saves to the quick
// ring and the automatic ring at set frames, and a second run finds the newest automatic save
// and loads the frame count the first run had when it saved.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"
#include "support/game_run.h"

namespace bw {
namespace {

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
  // The ring saves wrote the user block: the counters and the last slots at their offsets.
  std::vector<uint8_t> block;
  ASSERT_TRUE(tools::ReadFileBytes(dir.path() / "SAVEDATA" / "APP_CFG.DAT", block));
  ASSERT_EQ(block.size(), 4u + 196u);
  EXPECT_EQ(block[4 + 177], 1) << "next automatic slot";
  EXPECT_EQ(block[4 + 178], 6) << "next quick slot";
  EXPECT_EQ(block[4 + 186], 1) << "saved once";
  EXPECT_EQ(block[4 + 187], 0) << "last automatic slot";
  EXPECT_EQ(block[4 + 188], 5) << "last quick slot";

  test::PutAssembled(dir, "SCRIPT/MAIN.SOB", kLoadingMain);
  {
    GameApp app;
    ASSERT_EQ(RunGame(app), kExitNormal);
  }
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"found 0 loaded 0 frames 20"});
}

}  // namespace
}  // namespace bw

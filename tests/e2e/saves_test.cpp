// Saving and loading in the application and the program on copies of the demo game.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/dialogs/main_menu.h"
#include "common/byte_reader.h"
#include "e2e/demo_scene.h"
#include "host/cp932.h"
#include "lib/file_bytes.h"
#include "savedata/save_file.h"
#include "support/demo_copy.h"
#include "support/game_run.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// The save and load dialogs run by the application on a copy of the demo game: the script asks
// for the save dialog, which saves into Page.1 slot 0 and writes a comment; after the screen
// changed it asks for the load dialog, which takes that slot, and loads it with native 44.

// The screen is a plain canvas filled with the colour in var:2 (a saved variable); the load
// word is configuration word 6. After the save the colour changes; the load dialog raises the
// load word (a second at most is waited for it), and the script loads and fills again.
constexpr char kDialogsMain[] =
    ".sob0\n"
    " native native:4, saveAllowed, status\n"
    " native native:4, loadAllowed, status\n"
    " native native:794, loadWordArgs, status\n"
    " native native:238, canvasArgs, screen\n"
    " mov screen, showArgs\n"
    " native native:242, showArgs, status\n"
    " mov screen, fillArgs\n"
    " native native:239, layerArgs, layer\n"
    " mov layer, thumbArgs\n"
    " native native:41, thumbArgs, status\n"
    " native native:39, bootArgs, status\n"
    " set 0x336699, var:2\n"
    " call fill\n"
    " native native:24, askSave, status\n"
    " wait\n"
    " set 0x99CC00, var:2\n"
    " call fill\n"
    " native native:24, askLoad, status\n"
    " set 60, left\n"
    "waitLoad:\n"
    " wait\n"
    " dec left\n"
    " mov left, late.1\n"
    "late: jz 0, tell\n"
    " mov loadWord, check.1\n"
    "check: jz 0, waitLoad\n"
    " native native:44, loadArgs, loaded\n"
    " call fill\n"
    "tell:\n"
    " mov loaded, reportArgs+8\n"
    " mov var:2, reportArgs+12\n"
    " native native:67, reportArgs, status\n"
    " native native:796, show, status\n"
    " ret\n"
    "fill:\n"
    " mov var:2, fillArgs+4\n"
    " native native:323, fillArgs, status\n"
    " wait\n"
    " wait\n"
    " ret\n"
    "saveAllowed: .word 8, 1\n"
    "loadAllowed: .word 9, 1\n"
    "loadWordArgs: .word 6, loadWord\n"
    "canvasArgs: .word 640, 480, 32, 0\n"
    "showArgs: .word 0\n"
    "fillArgs: .word 0, 0, 65535\n"
    "layerArgs: .word 64, 48, 32, 1\n"
    "thumbArgs: .word 0, 0\n"
    "bootArgs: .word 1, title, 0\n"
    "askSave: .word 1, 1\n"
    "askLoad: .word 2, 1\n"
    "loadArgs: .word -1, 0\n"
    "reportArgs: .word report, format, 0, 0\n"
    "format: .string \"loaded %d colour %d\"\n"
    "show: .word title, report, 2\n"
    "title: .string \"Dialogs\"\n"
    "screen: .word 0\n"
    "layer: .word 0\n"
    "loadWord: .word 0\n"
    "left: .word 0\n"
    "loaded: .word 9\n"
    "status: .word 0\n"
    "report: .space 64\n";

using DialogsRun = test::DialogGameRun;

// The load dialog raises the script's load word; the loaded game shows the frame it showed when
// the save dialog came up.
TEST_F(DialogsRun, TheSaveDialogSavesWithACommentAndTheLoadDialogTakesIt) {
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, dir.path());
  test::PutAssembled(dir, "SCRIPT/MAIN.SOB", kDialogsMain);
  for (const char* steps :
       {"row:0;check:1073:0;press:1204;text:1056:hello;commit:1056;2", "row:0;activate;2"}) {
    dialogs.scripted.QueueAnswer(test::Steps(steps));
  }
  std::vector<uint64_t> hashes;
  backend.SetFrameObserver([&](host::HWND window, const host::HeadlessSink& sink) {
    if (window == backend.MainWindow()) hashes.push_back(sink.FrameHash());
  });
  std::optional<uint64_t> atSave, atLoad;
  dialogs.WhileNextDialog([&](const host::Dialog&) {
    if (!hashes.empty()) atSave = hashes.back();
    dialogs.WhileNextDialog([&](const host::Dialog&) {
      if (!hashes.empty()) atLoad = hashes.back();
    });
  });
  {
    GameApp app;
    ASSERT_EQ(RunGame(app), kExitNormal);
  }
  backend.SetFrameObserver(nullptr);
  const std::vector<host::DialogRecord> shown = Dialogs();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].templateId, 138);
  EXPECT_EQ(shown[0].rows.at(0).at(0), "New");
  EXPECT_EQ(shown[1].templateId, 139);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"loaded 0 colour 3368601"});

  ASSERT_TRUE(atSave.has_value() && atLoad.has_value());
  EXPECT_NE(*atLoad, *atSave) << "the changed colour was shown";
  EXPECT_EQ(hashes.back(), *atSave) << "the loaded game shows the saved frame";

  std::vector<uint8_t> file;
  ASSERT_TRUE(tools::ReadFileBytes(dir.path() / "SAVEDATA" / "DATA0200.SAV", file));
  ByteReader in(file);
  SaveHeader header;
  ASSERT_EQ(ReadSaveHeader(in, header), 0);
  EXPECT_EQ(FieldText(header.comment), "hello");
}

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

// Saving and loading in the demo as a player does, headless on the virtual clock: a save made with
// the menu bar's "セーブ" during the story comes back in a later run from the title's "つづきから"
// and from the menu bar's "ロード" during the story; a quick save that fails says so.

std::string Frames(uint32_t first, uint32_t last) {
  return "BRIMWOLD_HEADLESS_HASHES=" + test::FrameRange(first, last);
}

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
            Frames(kSavedFrom, kSavedUntil), "BRIMWOLD_HEADLESS_FRAMES=970"});
  ASSERT_EQ(saving.status, 0) << saving.errors;
  ASSERT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "DATA0200.SAV")) << saving.errors;
  std::set<uint64_t> saved;
  for (auto [frame, hash] : saving.hashes) saved.insert(hash);

  // "つづきから" at 60 is cancelled: the title stays. Again at 100, the first row is loaded.
  const test::PlayedRun title =
      Play({"BRIMWOLD_HEADLESS_INPUT=55:move:400:412,60:click:400:412,100:click:400:412",
            "BRIMWOLD_HEADLESS_ANSWERS=2," + std::string(kLoadFirstRow), Frames(40, 250),
            "BRIMWOLD_HEADLESS_FRAMES=260"});
  ASSERT_EQ(title.status, 0) << title.errors;
  EXPECT_EQ(title.hashes.at(90), title.hashes.at(58)) << "a cancelled dialog leaves the title";
  EXPECT_TRUE(Showing(title, saved, 40) == Showing(title, saved, 101))
      << "nothing loaded before the second click";
  EXPECT_FALSE(Showing(title, saved, 101).empty()) << "the title's load shows the saved line";

  // During the story's first scene, the menu bar's load at 300.
  const test::PlayedRun story =
      Play({"BRIMWOLD_HEADLESS_INPUT=55:move:400:352,60:click:400:352", Command(300, kCmdLoad),
            std::string("BRIMWOLD_HEADLESS_ANSWERS=") + kLoadFirstRow, Frames(280, 450),
            "BRIMWOLD_HEADLESS_FRAMES=460"});
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
}

}  // namespace
}  // namespace bw

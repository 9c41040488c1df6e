// The save and load dialogs run by the application on a copy of the demo game: the script asks
// for the save dialog, which saves into Page.1 slot 0 and writes a comment; after the screen
// changed it asks for the load dialog, which takes that slot, and loads it with native 44.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "e2e/demo_scene.h"
#include "host/cp932.h"
#include "lib/file_bytes.h"
#include "savedata/save_file.h"
#include "support/demo_copy.h"
#include "support/game_run.h"

namespace bw {
namespace {

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

}  // namespace
}  // namespace bw

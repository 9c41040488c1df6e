// The save and load dialogs run by the application on a copy of the demo game: the script asks
// for the save dialog, which saves into Page.1 slot 0 and writes a comment; after the count
// changed it asks for the load dialog, which takes that slot, and loads it with native 44.
#include <gtest/gtest.h>

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

constexpr char kDialogsMain[] =
    ".sob0\n"
    " native native:4, saveAllowed, status\n"
    " native native:4, loadAllowed, status\n"
    " native native:239, layerArgs, layer\n"
    " mov layer, thumbArgs\n"
    " native native:41, thumbArgs, status\n"
    " native native:39, bootArgs, status\n"
    " set 42, var:2\n"
    " wait\n"
    " native native:24, askSave, status\n"
    " set 7, var:2\n"
    " wait\n"
    " native native:24, askLoad, status\n"
    " native native:44, loadArgs, loaded\n"
    " mov loaded, reportArgs+8\n"
    " mov var:2, reportArgs+12\n"
    " native native:67, reportArgs, status\n"
    " native native:796, show, status\n"
    " ret\n"
    "saveAllowed: .word 8, 1\n"
    "loadAllowed: .word 9, 1\n"
    "layerArgs: .word 64, 48, 32, 1\n"
    "thumbArgs: .word 0, 0\n"
    "bootArgs: .word 1, title, 0\n"
    "askSave: .word 1, 1\n"
    "askLoad: .word 2, 1\n"
    "loadArgs: .word -1, 0\n"
    "reportArgs: .word report, format, 0, 0\n"
    "format: .string \"loaded %d count %d\"\n"
    "show: .word title, report, 2\n"
    "title: .string \"Dialogs\"\n"
    "layer: .word 0\n"
    "loaded: .word 9\n"
    "status: .word 0\n"
    "report: .space 64\n";

using DialogsRun = test::DialogGameRun;

TEST_F(DialogsRun, TheSaveDialogSavesWithACommentAndTheLoadDialogTakesIt) {
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, dir.path());
  test::PutAssembled(dir, "SCRIPT/MAIN.SOB", kDialogsMain);
  std::string error;
  for (const char* steps :
       {"row:0;check:1073:0;press:1204;text:1056:hello;commit:1056;2", "row:0;activate;2"}) {
    host::DialogAnswer answer;
    ASSERT_TRUE(host::ParseDialogAnswer(steps, &answer, &error)) << error;
    dialogs.scripted.QueueAnswer(answer);
  }
  {
    GameApp app;
    ASSERT_EQ(RunGame(app), kExitNormal);
  }
  const std::vector<host::DialogRecord> shown = Dialogs();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].templateId, 138);
  EXPECT_EQ(shown[0].rows.at(0).at(0), "New");
  EXPECT_EQ(shown[1].templateId, 139);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"loaded 0 count 42"});

  std::vector<uint8_t> file;
  ASSERT_TRUE(tools::ReadFileBytes(dir.path() / "SAVEDATA" / "DATA0200.SAV", file));
  ByteReader in(file);
  SaveHeader header;
  ASSERT_EQ(ReadSaveHeader(in, header), 0);
  EXPECT_EQ(FieldText(header.comment), "hello");
}

}  // namespace
}  // namespace bw

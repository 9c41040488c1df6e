// Label: optimised
// The application serving the system natives, and the demo's system and drawing scenes it runs.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "host/cp932.h"
#include "host/headless/headless_backend.h"
#include "lib/file_bytes.h"
#include "platform/trig_tables.h"
#include "support/game_run.h"

namespace bw {
namespace {

// The system natives' requests as the game application serves them, and the demo's system scene
// run by the application on a copy of the demo game beside a MAIN that calls it: the formatted
// line, the name asked with its Japanese default, the two written to the save folder, and both
// ways of the yes/no question.

using DialogGameRunRequests = test::DialogGameRun;

class SystemScene : public test::DialogGameRun {
 protected:
  void SetUp() override {
    test::PutDemoScene(dir, "SYSTEM", test::SceneCallingMain("SYSTEM", " inc var:0\n"));
  }

  // Runs the scene with the yes/no question answered; the boxes' texts in order.
  std::vector<std::string> RunAnswering(int yesOrNo) {
    dialogs.scripted.QueueAnswer(test::Press(kIdOk));  // the name: the default stays
    for (int answer : {host::IDOK, host::IDOK, yesOrNo, host::IDOK})
      backend.QueueMessageBoxAnswer(answer);
    GameApp app;
    EXPECT_EQ(RunGame(app), kExitNormal);
    return MessageTexts();
  }
};

TEST_F(SystemScene, FormatsAsksAndTakesTheWayOfTheAnswer) {
  std::vector<std::string> yes = RunAnswering(host::IDYES);
  ASSERT_EQ(yes.size(), 4u);
  for (const host::MessageBoxRequest& box : backend.MessageBoxes())
    EXPECT_EQ(box.title, "System") << "the script's title, not the application's name";
  EXPECT_EQ(yes[0], "run 1 at 2000-01-01 12:00") << "the run count and the headless wall clock";
  EXPECT_EQ(yes[1], "name 名無し") << "the dialog's Japanese default came back";
  EXPECT_EQ(yes[2], "Keep this name?");
  EXPECT_EQ(yes[3], "kept");
  // The line and the name in the save folder, the name as its CP932 bytes ("名無し").
  std::vector<uint8_t> saved;
  ASSERT_TRUE(tools::ReadFileBytes(dir.path() / "SAVEDATA" / "SYSTEM.TXT", saved));
  EXPECT_EQ(std::string(saved.begin(), saved.end()),
            "run 1 at 2000-01-01 12:00\r\n\x96\xbc\x96\xb3\x82\xb5\r\n");
  std::vector<host::DialogRecord> shown = Dialogs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].templateId, 116) << "the data-input dialog";

  std::vector<std::string> no = RunAnswering(host::IDNO);
  ASSERT_EQ(no.size(), 4u);
  EXPECT_EQ(no[1], "name 名無し");
  EXPECT_EQ(no[3], "dropped");
}

// Requests the application refuses, and settings it keeps by index.
TEST_F(DialogGameRunRequests, PermissionsRefusalsAndSettings) {
  WriteGame(test::kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  EXPECT_NE(app.SetMenuItemEnabled(4, false), kMenuItemUnknown);
  EXPECT_FALSE(app.PostAppCommand(4, false, 0)) << "the screen-mode switch is not allowed";
  EXPECT_FALSE(app.PostAppCommand(7, true, 0)) << "a private request without a record";

  EXPECT_EQ(app.SetUserSetting(0, 7, 0), 1) << "the sheet's own switch";
  EXPECT_EQ(app.SetUserSetting(0, 9, 0), 0);
  EXPECT_EQ(app.GetUserConfig().showEffects, 0) << "group 0 is the leading switches";
  app.SetUserText(std::string(40, 'F'));
  EXPECT_EQ(app.GetUserText(), std::string(31, 'F')) << "the face field keeps its terminator";
  EXPECT_EQ(app.GetAppText(0).size(), 38u) << "the application's id";

  backend.QueueMessageBoxAnswer(host::IDNO);
  EXPECT_EQ(app.RequestScriptBox(1, "T", "sure?", 3), 0u);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"sure?"});
  app.AppShutdown(0);
}

// The demo's drawing scene run by the application on a copy of the demo game beside a MAIN that
// calls it: render items, then a canvas with a GMP screen whose sprite moves and turns. Chosen
// frames are hashed on the headless clock.

// Frames shown (an effect that asks for every turn shows one more each frame): the text on its
// way, the text arrived, the sprite moving on the canvas, and turning.
const std::set<uint32_t> kChosen = {40, 110, 160, 290};

using RenderScene = test::GameRun;

TEST_F(RenderScene, DrawsItsFrames) {
  test::PutDemoScene(dir, "RENDER", test::SceneCallingMain("RENDER"));
  std::map<uint32_t, uint64_t> shown;
  backend.SetFrameObserver([&](host::HWND window, const host::HeadlessSink& sink) {
    if (window != backend.MainWindow() || !kChosen.contains(sink.FramesShown())) return;
    const host::Frame& frame = sink.LastFrame();
    // A drawn frame has a few hundred distinct pixel values or more.
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 4 <= frame.bgra.size(); i += 4) {
      colours.insert(uint32_t(frame.bgra[i]) | frame.bgra[i + 1] << 8 | frame.bgra[i + 2] << 16);
    }
    EXPECT_GT(colours.size(), 100u) << "frame " << sink.FramesShown() << " shows pictures";
    shown[sink.FramesShown()] = sink.FrameHash();
  });
  GameApp app;
  EXPECT_NE(Global<TrigTables>::Get(), nullptr) << "turning sprites read the application's table";
  EXPECT_EQ(RunGame(app), kExitNormal);
  backend.SetFrameObserver(nullptr);
  ASSERT_EQ(shown.size(), kChosen.size());
  std::set<uint64_t> hashes;
  for (const auto& [frame, hash] : shown) hashes.insert(hash);
  EXPECT_EQ(hashes.size(), kChosen.size()) << "each chosen frame shows something else";
}

}  // namespace
}  // namespace bw

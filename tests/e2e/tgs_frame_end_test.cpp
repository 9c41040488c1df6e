// Label: optimised
// The scenario frame's end as the program runs it headless: a scenario that leaves snow, a quake,
// a picture and a background behind when it ends leaves nothing of them to the next scenario's
// frames; and the read flags that native 35 saves outlive a kill of the program.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"
#include "lib/tob/tob_assembler.h"
#include "program/program_process.h"
#include "support/demo_copy.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kRunLimit{120};

// Snow in a screen slot, a quake on the shown page, a background and a picture; the scenario
// ends while they all run.
constexpr char kBusy[] = R"(.tob1
  BgLoad "CG\\BG.WGX", 0
  SpriteLoad 0, "CG\\SPRITE.WGX", 0, 0
  ScreenEffect 0, 2, 160, 1, -, 1, 1
  Quake 12, 8, 60000, 0, 0, 0
  WaitTime 300
  .end
)";
constexpr char kNext[] = ".tob1\n  MessageBegin 0\n  \"Next.\"\n  MessageWait\n  .end\n";

// MAIN on a canvas of its own: the frame, the scenarios named, then (wait) waiting for ever.
std::string Main(const std::vector<std::string>& scenarios, const std::string& after = "") {
  std::string code =
      ".sob0\n"
      "  native native:238, canvasArgs, screen\n"
      "  native native:242, screen, status\n"
      "  native native:791, screen, status\n";
  std::string data;
  for (size_t i = 0; i < scenarios.size(); ++i) {
    const std::string n = std::to_string(i);
    code += "  native native:793, name" + n + ", status\n";
    data += "name" + n + ": .word text" + n + "\ntext" + n + ": .string \"" + scenarios[i] + "\"\n";
  }
  return code + after +
         "  native native:792, screen, status\n"
         "  ret\n"
         "canvasArgs: .word 800, 600, 32, 1\n"
         "screen: .word 0\n"
         "status: .word 0\n"
         "none: .word 0\n" +
         data;
}

class TgsFrameEnd : public test::DemoGameTest {
 protected:
  void SetUp() override {
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
    Put("TGS_BUSY", kBusy);
    Put("TGS_NEXT", kNext);
    Put("TGS_READ", ".tob1\n  MessageBegin 0\n  \"Read.\"\n  MessageWait\n  .end\n");
    test::PutTob(game, "SCRIPT/TGS_INIT.DAT",
                 ".init\n.script TGS_BUSY 0 0\n.script TGS_NEXT 1 0\n.script TGS_READ 1 0\n");
    test::PutAssembled(game, "SCRIPT/SOB_INIT.DAT", ".table\n.script MAIN 0 0\n.script SUB 0 0\n");
  }
  void Put(const std::string& name, const std::string& source) {
    test::PutTob(game, "SCRIPT/" + name + ".TOB", source);
  }
  // The hashes of frames from to to of a run of MAIN.
  std::set<uint64_t> Frames(const std::string& main, uint32_t from, uint32_t to) {
    test::PutAssembled(game, "SCRIPT/MAIN.SOB", main);
    const test::PlayedRun run = Play({"BRIMWOLD_HEADLESS_HASHES=" + test::FrameRange(from, to),
                                      "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(to + 2)});
    EXPECT_EQ(run.status, 0) << run.errors;
    std::set<uint64_t> hashes;
    for (auto [frame, hash] : run.hashes) hashes.insert(hash);
    EXPECT_EQ(run.hashes.size(), to - from + 1) << run.errors;
    return hashes;
  }
};

// The next scenario's message waits over what the first left: exactly what it shows when it is
// the only one (its wait mark turning through the same pictures), with no snow, quake or picture.
TEST_F(TgsFrameEnd, AScenarioTakesItsSceneAlongWhenItEnds) {
  const std::set<uint64_t> alone = Frames(Main({"TGS_NEXT"}), 200, 260);
  const std::set<uint64_t> after = Frames(Main({"TGS_BUSY", "TGS_NEXT"}), 200, 260);
  EXPECT_EQ(after, alone) << "the first scenario's scene is still on the screen";
}

// Native 35 writes the read flags of the frame's scenarios; the program killed afterwards, before
// the frame goes, has kept them.
TEST_F(TgsFrameEnd, TheReadFlagsThatNative35SavedOutliveAKill) {
  test::PutAssembled(
      game, "SCRIPT/MAIN.SOB",
      Main({"TGS_READ"}, "  native native:35, none, status\nloop:\n  wait\n  jmp loop\n"));
  test::ProgramProcess program(
      BRIMWOLD_PROGRAM, {"/L", game.path().string()},
      {"XDG_RUNTIME_DIR=" + home.path().string(), "XDG_DATA_HOME=" + home.path().string(),
       "BRIMWOLD_HEADLESS=1", "BRIMWOLD_HEADLESS_INPUT=60:click:400:300",
       "BRIMWOLD_HEADLESS_HASHES=150"});
  ASSERT_TRUE(program.WaitForOutput("frame 150 hash", kRunLimit)) << program.Errors();
  program.Signal(SIGKILL);
  program.WaitForEnd(kRunLimit);
  EXPECT_EQ(test::LogRecord(game.path(), "TGS_READ"), ".record TGS_READ 1 0 01 -")
      << "message 0 read";
}

}  // namespace
}  // namespace bw

// The read-text log of the demo's scenario frame scene, written when a stop signal closes the
// program while a message waits.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>

#include "e2e/demo_scene.h"

namespace bw {
namespace {

using namespace std::chrono_literals;

class TextLog : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS")); }
};

// The first two messages are clicked away (frames 70 and 160); at frame 200 the third is shown
// and waits when the signal comes. The game closes as by its close button, and the log marks the
// three messages shown as read.
TEST_F(TextLog, AStopSignalWritesTheMessagesReadSoFar) {
  const std::filesystem::path log = game.path() / "SAVEDATA" / "TEXT_LOG.DAT";
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
    std::filesystem::remove(log);
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

// Label: optimised
// The program run headless on a copy of the demo game whose scenario frame scene plays a scenario
// of the test's own, beside a MAIN that hands it texts in variables and checks what it left.
#include <gtest/gtest.h>

#include <string>

#include "e2e/demo_scene.h"

namespace bw {
namespace {

// MAIN puts the addresses of a label and a script name into var:1 and var:2, runs the frame
// scene (which plays TGS_DEMO to its end) and then runs tail.
std::string MainRunningTheScene(const std::string& tail) {
  return ".sob0\n set labelText, var:1\n set nameText, var:2\n"
         " native native:0, callScene, status\n wait\n" +
         tail +
         "callScene: .word scene\nscene: .string \"TGS\"\nlabelText: .string \"first\"\n"
         "nameText: .string \"TGS_DEMO\"\nstatus: .word 0\n";
}

// A MAIN that goes on past the scene reaches a fault, which fails the program.
const std::string kFaultAfterTheScene = " jmp 0\n";

class TgsReadings : public test::DemoGameTest {
 protected:
  test::PlayedRun PlayScenario(const std::string& main, const std::string& scenario) {
    test::PutDemoScene(game, "TGS", main);
    test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", ".tob1\n" + scenario);
    return Play({"BRIMWOLD_HEADLESS_FRAMES=600"});
  }
};

// A scenario statement asks for Exit: the scenario stops there, and the program ends where the
// main script next gives way (the frame scene's end), before MAIN goes on.
TEST_F(TgsReadings, AnExitFromAScenarioStatementEndsTheProgram) {
  const test::PlayedRun run = PlayScenario(MainRunningTheScene(kFaultAfterTheScene),
                                           "  stmt{native native:2, 0, host:2 | ret}\n"
                                           "  stmt{set 1, var:3 | ret}\n  .end\n");
  EXPECT_EQ(run.status, 0) << run.errors;
}

// The scenario calls its own script by the name in var:2, at the label in var:1 and at one an
// expression makes; each part adds to var:3, which MAIN checks once the scene is over.
TEST_F(TgsReadings, ACallTakesItsNameAndLabelFromVariablesAndExpressions) {
  const test::PlayedRun run = PlayScenario(
      MainRunningTheScene(" mov var:3, c.1\nc: eq 0, 11, t.1\nt: jz 0, fail\n ret\nfail: jmp 0\n"),
      "  Call var(1 0), var(2 0)\n"
      "  Call {set l, host:0 | ret | l: .string \"second\"}, var(2 0)\n"
      "  .end\n"
      "first:\n  stmt{set 1, var:3 | ret}\n  Return\n"
      "second:\n  stmt{mov var:3, a.1 | a: add 0, 10, var:3 | ret}\n  Return\n");
  EXPECT_EQ(run.status, 0) << run.errors;
}

}  // namespace
}  // namespace bw

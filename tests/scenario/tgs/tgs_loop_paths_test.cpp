// Loops the one-unit cycle does not take run as blocks of decoded steps: runs longer than a unit,
// runs that end at a call, a return or a jump back to another loop's head, and runs entered in
// their middle. Each must do what the run that decodes nothing does, also where code rewrites
// what another block was decoded from.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_script.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/opcodes.h"

namespace bw {
namespace {

std::string Repeat(const std::string& line, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += line;
  return out;
}

// Runs the scenario of lines (S2 beside it) with steps decoded or not, once within budget and
// once on: both step results, variable word 0 after each, the built-ins called and the text.
std::string Outcome(const std::string& lines, bool decoding, int budget) {
  TgsWorld w;
  w.PutTob("S2", ".tob1\n  stmt{inc var:0 | ret}\n  \"s\"\n  stmt{inc var:0 | ret}\n  Return\n");
  w.Frame().SetStepDecoding(decoding);
  EXPECT_EQ(w.StartScenario(lines), 0);
  w.Frame().SetStepBudget(budget);
  const int first = TgsRunStep(w.Frame());
  const uint32_t counted = w.Variable(0);
  w.Frame().SetStepBudget(1000000);
  const int second = TgsRunStep(w.Frame());
  return std::to_string(first) + " " + std::to_string(counted) + " " + std::to_string(second) +
         " " + std::to_string(w.Variable(0)) + " " + std::to_string(w.Mock().calls.size()) + " " +
         w.Frame().Text();
}

const std::string kInc = "  stmt{inc var:0 | ret}\n";
const std::string kPass = "  stmt{ret}\n";

// The jump back to top while word 0 is below end.
std::string Back(int end) {
  return "  JumpIf if{mov var:0, c.1 | c: lt 0, " + std::to_string(end) + ", host:0 | ret} @top\n";
}

// Plain and with a built-in in the middle; a call and a return of the same script (which keep
// the stretch) and of another; a forward jump into the middle of a decoded run, taken from the
// fifth turn on; a jump back to an inner loop's head. Budgets stop each inside its turns.
TEST(TgsLoopPaths, LoopsBeyondOneUnitRunAsTheRunThatDecodesNothing) {
  const struct {
    const char* name;
    std::string lines;
    int steps;  // about a turn's
  } cases[] = {
      {"300 steps", "top:\n" + Repeat(kInc, 299) + Back(3000), 300},
      {"built-in",
       "top:\n" + Repeat(kInc, 150) + "  TextNewLine\n" + Repeat(kInc, 150) + Back(3000), 302},
      {"call",
       "top:\n" + Repeat(kInc, 20) + "  Call @sub\n" + Repeat(kInc, 20) + Back(400) +
           "  \"e\"\n  .end\nsub:\n" + Repeat(kInc, 30) + "  \"c\"\n" + kInc + "  Return\n",
       75},
      {"named call",
       "  Preload \"S2\"\ntop:\n" + Repeat(kInc, 20) + "  Call @0, \"S2\"\n" + Repeat(kInc, 20) +
           Back(300),
       47},
      {"jump in",
       "top:\n  JumpIf if{mov var:0, c.1 | c: ge 0, 1200, host:0 | ret} @mid\n" +
           Repeat(kInc, 150) + "mid:\n" + Repeat(kInc, 150) + Back(4000),
       302},
      {"inner loop",
       "top:\n" + Repeat(kInc, 10) + "inner:\n" + Repeat(kInc, 20) +
           "  JumpIf if{mov var:0, c.1 | c: lt 0, 200, host:0 | ret} @inner\n" +
           Repeat(kPass, 260) + Back(500),
       290},
  };
  for (const auto& c : cases) {
    for (int budget : {c.steps * 2 + 7, c.steps * 3 + 1, 1000000}) {
      SCOPED_TRACE(std::string(c.name) + ", budget " + std::to_string(budget));
      const std::string lines = "\"x\"\n" + c.lines + "  \"y\"\n  .end\n";
      EXPECT_EQ(Outcome(lines, true, budget), Outcome(lines, false, budget));
    }
  }
}

// From word 0 = from on, a statement writes "inc" over the "dec" of another step's fragment (a
// word that fragment was decoded from), which then counts 3 a turn instead of 1: the step right
// behind the writer (one block), or 280 steps on (another block, entered after the writer's).
// The writer is straight code (a block takes it) or ends in a jump (the ordinary path runs it).
// address: the rewritten word's guest address, found by a first load.
std::string Rewriting(uint32_t address, int apart, int from, bool jumps) {
  const std::string write = "  stmt{mov var:0, c.1 | c: ge 0, " + std::to_string(from) +
                            ", t.2 | t: sub " + std::to_string(kOpDecrement) + ", 0, " +
                            std::to_string(address) +
                            (jumps ? " | jmp e | e: ret}\n" : " | ret}\n");
  return "\"x\"\ntop:\n" + kInc + write + Repeat(kPass, apart) +
         "  stmt{dec var:0 | inc var:0 | inc var:0 | ret}\n" + Repeat(kPass, 20) + Back(301) +
         "  \"y\"\n  .end\n";
}

TEST(TgsLoopPaths, CodeRewrittenFromAnotherBlockIsSeen) {
  for (bool jumps : {false, true}) {
    for (int apart : {0, 280}) {
      SCOPED_TRACE(std::to_string(apart) + (jumps ? " apart, the writer jumps" : " apart"));
      uint32_t address = 0;
      {
        TgsWorld w;
        ASSERT_EQ(w.StartScenario(Rewriting(0, apart, 100, jumps)), 0);
        const TgsScript& script = *w.Frame().CurrentScript();
        const uint32_t words[] = {kOpDecrement, 0, kOpIncrement, 0, kOpIncrement};
        for (uint32_t at = 0; at + sizeof words <= script.CodeSize() && !address; ++at) {
          uint32_t seen[5];
          std::memcpy(seen, script.Code() + at, sizeof seen);
          if (seen[0] == words[0] && seen[2] == words[2] && seen[4] == words[4])
            address = script.CodeStart() + at;
        }
      }
      ASSERT_NE(address, 0u);
      for (int from : {100, 100000}) {
        const std::string lines = Rewriting(address, apart, from, jumps);
        for (int budget : {700, 3000, 1000000}) {
          SCOPED_TRACE(std::to_string(from) + ", budget " + std::to_string(budget));
          EXPECT_EQ(Outcome(lines, true, budget), Outcome(lines, false, budget));
        }
      }
      EXPECT_NE(Outcome(Rewriting(address, apart, 100, jumps), false, 1000000),
                Outcome(Rewriting(address, apart, 100000, jumps), false, 1000000))
          << "the rewrite changes the count";
    }
  }
}

}  // namespace
}  // namespace bw

// Label: optimised
// Loops run their jumps and statements from what the first turn read: each turn must still see
// the variables and expressions as they are now.
#include <gtest/gtest.h>

#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_test_world.h"

namespace bw {
namespace {

void SetVariable(TgsWorld& w, uint32_t word, uint32_t value) {
  w.Host().GetMemory().Write32(w.Host().VariableValueAddress(0) + 4 * word, value);
}

TEST(TgsLoops, ConditionsAreEvaluatedAgainOnEveryTurn) {
  TgsWorld w;
  ASSERT_EQ(w.StartScenario(R"(
count:
  stmt{inc var:0 | ret}
  JumpIf if{mov var:0, c.1 | c: lt 0, 3, host:0 | ret} @count
again:
  "x"
  stmt{inc var:0 | ret}
  JumpUnless if{mov var:0, c.1 | c: ge 0, 6, host:0 | ret} @again
middle:
  stmt{inc var:0 | ret}
  JumpIf if{mov var:0, c.1 | c: eq 0, 8, host:0 | ret} @middle  ; not taken on its first turn
  JumpIf if{mov var:0, c.1 | c: lt 0, 9, host:0 | ret} @middle
flag:
  "y"
  stmt{add var:0, 4, c.2 | c: set 0, 0 | ret}
  JumpIf if(var 0 1) @flag
  .end
)"),
            0);
  SetVariable(w, 1, 1);
  EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded);
  EXPECT_EQ(w.Frame().Text(), "xxxy");
  EXPECT_EQ(w.Variable(0), 9u);
}

TEST(TgsLoops, JumpTargetsFromVariablesAndExpressionsAreReadEachTime) {
  for (const char* target : {"var(0 1)", "{add var:0, 4, m.1 | m: mov 0, host:0 | ret}"}) {
    SCOPED_TRACE(target);
    TgsWorld w;
    ASSERT_EQ(w.StartScenario(std::string(R"(
top:
  JumpIf2 )") + target + R"(
a:
  "A"
  stmt{add var:0, 8, m.1 | add var:0, 4, m.2 | m: mov 0, 0 | ret}
  JumpIf2 @top
b:
  "B"
  .end
)"),
              0);
    const TgsScript& script = *w.Frame().CurrentScript();
    SetVariable(w, 1, static_cast<uint32_t>(script.FindLabel("a")));
    SetVariable(w, 2, static_cast<uint32_t>(script.FindLabel("b")));
    w.Frame().SetStepBudget(100);
    EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded);
    EXPECT_EQ(w.Frame().Text(), "AB");
  }
}

// A statement writes into the scenario's own bytes, at the address in variable word 1: the jump
// it rewrites is read again, not run as it was first read. Its condition's constant lies 7 bytes
// into the instruction.
TEST(TgsLoops, AJumpRewrittenByTheScenariosOwnCodeIsReadAgain) {
  TgsWorld w;
  ASSERT_EQ(w.StartScenario(R"(
top:
  JumpIf if(1) @skip
  "n"
skip:
  stmt{add var:0, 4, s.1 | s: mov 0, d.2 | d: set 0, 0 | ret}
  "s"
  JumpIf if(var 0 0) @again
  .end
again:
  stmt{set 0, var:0 | ret}
  JumpIf @top
)"),
            0);
  SetVariable(w, 0, 1);
  SetVariable(w, 1, w.Frame().CurrentScript()->CodeStart() + 7);
  EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded);
  EXPECT_EQ(w.Frame().Text(), "sns");
}

// Code that writes variable word j at the address in word i.
std::string Write(int i, int j) {
  return "add var:0, " + std::to_string(4 * j) + ", v.1 | v: mov 0, d.1 | add var:0, " +
         std::to_string(4 * i) + ", p.1 | p: mov 0, d.2 | d: set 0, 0";
}

// Expressions rewrite the instruction that runs them: the value of the built-in's next argument,
// and the jump's own target. On every turn the rest of the instruction reads as rewritten. A
// built-in whose condition held on no turn before runs with its arguments too.
TEST(TgsLoops, WhatAnExpressionRewritesOfItsInstructionCountsOnThatTurn) {
  TgsWorld w;
  ASSERT_EQ(w.StartScenario(R"(
top:
  MessageWait
  WaitTime {)" + Write(1, 0) +
                            R"( | set 5, host:0 | ret}, 1
wait:
  SetNameAndVoice if{mov var:0, c.1 | c: gt 0, 12, host:0 | ret} "n", var(0 0)
  JumpIf2 if{)" + Write(3, 2) +
                            R"( | set 1, host:0 | ret} @top
jump:
a:
  "a"
  JumpIf2 @top
b:
  "b"
  JumpIf2 @top
)"),
            0);
  const TgsScript& script = *w.Frame().CurrentScript();
  SetVariable(w, 1, script.CodeStart() + static_cast<uint32_t>(script.FindLabel("wait")) - 4);
  SetVariable(w, 3, script.CodeStart() + static_cast<uint32_t>(script.FindLabel("jump")) - 4);
  w.Mock().results[16] = 1;  // MessageWait stops each step: one turn a step
  ASSERT_EQ(TgsRunStep(w.Frame()), 1);
  const std::string turns = "abbab";
  for (size_t t = 0; t < turns.size(); ++t) {
    SetVariable(w, 0, 10 + static_cast<uint32_t>(t));
    SetVariable(w, 2, static_cast<uint32_t>(script.FindLabel(turns.substr(t, 1).c_str())));
    ASSERT_EQ(TgsRunStep(w.Frame()), 1) << t;
  }
  EXPECT_EQ(w.Frame().Text(), turns);
  std::vector<int32_t> waits, names;
  for (const RecordedCall& c : w.Mock().calls) {
    if (c.number == 20) waits.push_back(c.slots[1].value);
    if (c.number != 16 && c.number != 20) names.push_back(c.slots[1].value);
  }
  EXPECT_EQ(waits, (std::vector<int32_t>{10, 11, 12, 13, 14}));
  EXPECT_EQ(names, (std::vector<int32_t>{13, 14}));
}

TEST(TgsLoops, AStatementThatFailsOnALaterTurnStillFails) {
  TgsWorld w;
  ASSERT_EQ(w.StartScenario(R"(
top:
  stmt{mov var:0, c.1 | c: jz 0, fault | ret | fault: jmp 0}
  "t"
  stmt{set 0, var:0 | ret}
  JumpIf2 @top
  .end
)"),
            0);
  SetVariable(w, 0, 1);
  EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepMalformed);
  EXPECT_EQ(w.Frame().Text(), "t");
}

}  // namespace
}  // namespace bw

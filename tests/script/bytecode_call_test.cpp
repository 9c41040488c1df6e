// Label: optimised
// A call into a fragment starts on a straight path of its own for the common short shapes and
// leaves the rest to the loop. Under an instruction limit only the loop runs, so each program
// runs both ways and must end alike: result, pointers and every byte of the arena.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bytecode_cases.h"
#include "script/bytecode_vm.h"
#include "script/script_vm.h"
#include "script_test_util.h"

namespace bw {
namespace {

constexpr uint32_t kArena = 1 << 20;

struct Outcome {
  int result = 0;
  uint32_t ip = 0;
  uint32_t sp = 0;
  std::vector<uint8_t> arena;
};

// Calls body's first instruction as a fragment; limit 0 takes the straight path first.
Outcome Call(const std::string& body, uint64_t limit) {
  MemoryScriptFileSource files;
  ScriptVm vm(&files, kArena);
  vm.RegisterNative([](GuestMemory& m, uint32_t args) {
    uint32_t a = 0;
    m.Read32(args, a);
    return static_cast<int32_t>(a);
  });
  PutScript(files, "T", body);
  EXPECT_EQ(vm.LoadScript("SCRIPT\\T.SOB"), 0) << body;
  BytecodeVm& runner = vm.Interpreter();
  runner.ResetStack();
  runner.SetInstructionLimit(limit);
  Outcome o;
  o.result = runner.CallAt(vm.GetCodeBase());
  o.ip = runner.InstructionPointer();
  o.sp = runner.StackPointer();
  GuestMemory& m = vm.GetMemory();
  std::span<const uint8_t> used = m.View(GuestMemory::kNullPage, m.Top() - GuestMemory::kNullPage);
  o.arena.assign(used.begin(), used.end());
  return o;
}

void ExpectAlike(const std::string& body) {
  const Outcome straight = Call(body, 0);
  const Outcome loop = Call(body, 1000000);
  EXPECT_EQ(straight.result, loop.result) << body;
  EXPECT_EQ(straight.ip, loop.ip) << body;
  EXPECT_EQ(straight.sp, loop.sp) << body;
  EXPECT_TRUE(straight.arena == loop.arena) << body;
}

TEST(CallAt, EveryOpcodeAndFaultCaseEndsAsInTheLoop) {
  for (const OpCase& c : kOpCases) ExpectAlike(c.body);
  for (const FaultCase& c : kFaultCases) ExpectAlike(c.body);
}

TEST(CallAt, TheStraightShapesEndAsInTheLoop) {
  const char* const bodies[] = {
      // a condition and an assignment, as a scenario's are compiled
      " mov k, c.1\nc: lt 0, 5, host:0\n ret\nk: .word 3\n",
      " inc k\n ret\nk: .word 0x7FFFFFFF\n",
      " dec k\n mov k, host:0\n ret\nk: .word 0\n",
      " add 0x7FFFFFFF, 1, a\n sub 0, 1, b\n le -1, 0, c\n gt 2, 1, d\n ge 1, 1, e\n"
      " eq 4, 4, f\n ne 4, 4, g\n ret\na: .word 0\nb: .word 0\nc: .word 0\nd: .word 0\n"
      "e: .word 0\nf: .word 0\ng: .word 0\n",
      // each shape faulting on its address
      " inc 0\n ret\n",
      " mov 0x7FFFFFF0, host:0\n ret\n",
      " mov host:0, 0\n ret\n",
      " set 1, 0x7FFFFFF0\n ret\n",
      " lt 1, 2, 8\n ret\n",
      // a shape rewriting the next instruction's opcode, and the one after it
      " set 6, n\nn: set 1, host:0\n ret\n",
      " set 2, n.1\n set 46, n\nn: lt 5, 0, host:0\n ret\n",
      " ret\n",
      // other instructions behind a straight start
      " inc k\n call f\n ret\nf: set 9, host:0\n ret\nk: .word 0\n",
      " inc k\n jmp e\n set 1, host:0\ne: ret\nk: .word 0\n",
      // a straight start running into the arena's end
      " set 2, n.2\n set 5, n.1\nn: add 0, 0, host:0\n",
      " inc host:0\n op 31, 5\n",
  };
  for (const char* body : bodies) ExpectAlike(body);
}

TEST(CallAt, AReturnToAnOverwrittenMarkerLeavesTheStraightPath) {
  // The fragment writes into the stack word the call's end marker sits in, then returns: the
  // loop takes the return and jumps to what the word now holds.
  MemoryScriptFileSource files;
  ScriptVm vm(&files, kArena);
  BytecodeVm& runner = vm.Interpreter();
  const uint32_t bottom = runner.StackBottom();
  const uint32_t marker = bottom + 4;  // above the one pushed below
  PutScript(files, "T", " set b, " + std::to_string(marker) + "\n ret\nb: set 4, host:0\n ret\n");
  ASSERT_EQ(vm.LoadScript("SCRIPT\\T.SOB"), 0);
  ASSERT_EQ(runner.StackBottom(), bottom);
  runner.ResetStack();
  runner.PushEndMarker();  // b's return ends the run
  EXPECT_EQ(runner.CallAt(vm.GetCodeBase()), kRunEnded);
  EXPECT_EQ(GuestWord(vm.GetMemory(), vm.HostVariableAddress(0)), 4u);
  EXPECT_EQ(runner.StackPointer(), runner.StackBottom());
}

TEST(CallAt, AnInstructionBoundHoldsWhicheverWayTranslationWasSwitched) {
  // An endless loop behind a straight start: only the bound ends the run.
  MemoryScriptFileSource files;
  ScriptVm vm(&files, kArena);
  PutScript(files, "T", " inc k\nl: jmp l\nk: .word 0\n");
  ASSERT_EQ(vm.LoadScript("SCRIPT\\T.SOB"), 0);
  BytecodeVm& runner = vm.Interpreter();
  for (bool boundFirst : {true, false}) {
    for (bool translate : {true, false}) {
      runner.SetInstructionLimit(0);
      runner.EnableJit(false);
      if (boundFirst) runner.SetInstructionLimit(1000);
      runner.EnableJit(translate);
      runner.EnableJit(false);
      if (!boundFirst) runner.SetInstructionLimit(1000);
      runner.ResetStack();
      EXPECT_EQ(runner.CallAt(vm.GetCodeBase()), kRunFault) << boundFirst << translate;
    }
  }
}

}  // namespace
}  // namespace bw

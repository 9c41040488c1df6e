// Label: optimised
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bytecode_cases.h"
#include "lib/sob/program_generator.h"
#include "lib/sob/twin_run.h"
#include "script/bytecode_vm.h"
#include "script/guest_memory.h"
#include "script/script_vm.h"
#include "script_test_util.h"

namespace bw {
namespace {

// Runs body (code lines) as a script and answers the run's result; the script leaves its answer
// in host variable 0.
// Native 0 answers its first argument.
int32_t Echo(GuestMemory& m, uint32_t args) {
  uint32_t a = 0;
  m.Read32(args, a);
  return static_cast<int32_t>(a);
}

struct Runner {
  Runner() { vm.RegisterNative(Echo); }
  MemoryScriptFileSource files;
  ScriptVm vm{&files, kArena};

  void Load(const std::string& body) {
    PutScript(files, "T", body);
    EXPECT_EQ(vm.LoadScript("SCRIPT\\T.SOB"), 0) << body;
  }
  int Run(const std::string& body) {
    Load(body);
    return vm.Interpreter().Run();
  }
  int32_t Answer() {
    return static_cast<int32_t>(GuestWord(vm.GetMemory(), vm.HostVariableAddress(0)));
  }
};

TEST(Interpreter, AWaitResumesWithinALimitAndAnEndingRetvKeepsTheRegister) {
  // Nine instructions to the wait, then nine to the end: each run stays inside a limit of 10.
  std::string eight;
  for (int i = 0; i < 8; ++i) eight += " inc host:0\n";
  for (uint64_t limit : {0, 10}) {
    Runner r;
    r.vm.Interpreter().SetInstructionLimit(limit);
    ASSERT_EQ(r.Run(eight + " wait\n" + eight + " ret\n"), kRunWaiting);
    EXPECT_EQ(r.Answer(), 8);
    EXPECT_EQ(r.vm.Interpreter().Run(), kRunEnded);
    EXPECT_EQ(r.Answer(), 16) << "the wait ran again or the rest was skipped";
  }

  Runner returning;
  returning.vm.Interpreter().SetReturnRegister(5);
  ASSERT_EQ(returning.Run("retv 9\n"), kRunEnded);
  EXPECT_EQ(returning.vm.Interpreter().ReturnRegister(), 5u)
      << "a return with a value that ends the script keeps the register";
}

TEST(Interpreter, InstructionsAtTheEndOfTheArenaAreReadExactly) {
  Runner r;
  // The script is the last block: its final instruction ends where the arena's used part does.
  ASSERT_EQ(r.Run(" set 3, host:0\n ret\n"), kRunEnded);
  EXPECT_EQ(r.vm.GetCodeBase() + 16, r.vm.GetMemory().Top());
  EXPECT_EQ(r.Answer(), 3);

  Runner cut;
  ASSERT_EQ(cut.Run(" inc host:0\n op 31, 5\n"), kRunFault)
      << "the second operand lies past the end";
  EXPECT_EQ(cut.vm.GetCodeBase() + 16, cut.vm.GetMemory().Top());
  EXPECT_EQ(cut.Answer(), 1);

  // A moved operand of the last instruction: it runs, and the run faults behind it.
  Runner last;
  ASSERT_EQ(last.Run(" set 2, n.2\n set 5, n.1\nn: add 0, 0, host:0\n"), kRunFault);
  EXPECT_EQ(last.vm.GetCodeBase() + 40, last.vm.GetMemory().Top());
  EXPECT_EQ(last.Answer(), 7);
}

// Runs body from its decoded records and through the plain loop alone, run after run while it
// waits, and compares everything each run leaves.
void RunDecodedAndPlain(const std::string& body, uint64_t limit, const std::string& library = {}) {
  sob::TwinVm decoded(false, limit), plain(false, limit);
  ASSERT_TRUE(decoded.Load(body, library)) << body;
  ASSERT_TRUE(plain.Load(body, library)) << body;
  for (const auto& script : plain.Vm().LoadedScripts()) script->decoded.reset();
  for (int i = 0; i < 8; ++i) {
    sob::RunOutcome a = decoded.Run(), b = plain.Run();
    ASSERT_EQ(sob::Difference(a, b), "") << "run " << i << " of\n" << body;
    if (a.result != kRunWaiting) break;
  }
}

TEST(Interpreter, DecodedBlocksRunAsThePlainLoop) {
  std::vector<std::string> bodies;
  for (const OpCase& c : kOpCases) bodies.push_back(c.body);
  for (const FaultCase& c : kFaultCases) bodies.push_back(c.body);
  // Code rewritten under the decoded sequences: an opcode further on, a move's destination, a
  // jump's target, a result's destination made one of the sequence's own words, and a rewrite
  // every turn of a loop.
  const char* const kRewrites[] = {
      " set 2, n.1\n set 46, n\nn: lt 5, 0, host:0\n ret\n",
      " set n.2, m.2\nm: mov k, n.1\nn: sub 10, 1, host:0\n ret\nk: .word 3\n",
      " set e, j.2\n mov k, j.1\nj: jz 0, 0\n set 1, host:0\ne: ret\nk: .word 0\n",
      " set j.2, b.3\nb: lt 1, 2, t\n mov t, j.1\nj: jz 0, 0\n set 4, host:0\n ret\nt: .word 0\n",
      " set 31, j\n lt 1, 2, t\n mov t, j.1\nj: jz 0, k\n inc host:0\n ret\nk: .word 0\nt: .word "
      "0\n",
      " set 3, k\nl: set 27, n\n mov k, x.1\nx: sub 0, 1, k\nn: inc host:0\n mov k, z.1\n"
      "z: jz 0, e\n jmp l\ne: ret\nk: .word 0\n",
  };
  bodies.insert(bodies.end(), std::begin(kRewrites), std::end(kRewrites));
  for (const std::string& body : bodies) {
    // Limits that run out inside every sequence.
    for (uint64_t limit : {0, 1, 2, 3, 5, 8, 1000}) RunDecodedAndPlain(body, limit);
    if (HasFailure()) return;
  }
  std::mt19937 rng(3);
  for (int seed = 0; seed < 100; ++seed) {
    std::vector<uint8_t> bytes(100 + rng() % 300);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    sob::GeneratedProgram p = sob::GenerateProgram(bytes);
    RunDecodedAndPlain(p.script, seed % 2 ? 500 + seed : 0, p.library);
    RunDecodedAndPlain(LoopProgram(rng), seed % 3 ? 0 : 40 + seed);
    if (HasFailure()) return;
  }
}

// A loop runs without its handlers' comparisons once its words were checked; whatever changes
// one of them must bring the comparisons back. Each loop adds 5 to acc per turn while the word at
// w reads as add and takes 5 away where it was made a subtraction.
TEST(Interpreter, ALoopRunUncheckedSeesEveryChangeToItsOwnWords) {
  const std::string kLoopTail =
      " mov acc, w.1\nw: add 0, 5, acc\n jmp l\ne: mov acc, host:0\n ret\n"
      "k: .word 0\np: .word 0\nf: .word 0\no: .word 0\nacc: .word 0\n";
  // Five turns; the third makes w a subtraction and the next makes it an addition again.
  const std::string kTurns =
      " set 6, k\n set w, p\nl: mov k, x.1\nx: sub 0, 1, k\n mov k, z.1\nz: jz 0, e\n"
      " mov k, c.1\nc: eq 0, 3, f\n mov f, y.1\ny: add 0, 13, o\n";
  const struct {
    std::string body;
    int32_t answer;
    const char* what;
  } kCases[] = {
      {kTurns + " mov o, s.1\ns: stind 0, p\n" + kLoopTail, 15,
       "a store through a pointer into the running loop"},
      {kTurns + " mov o, w\n" + kLoopTail, 15, "a store of the loop's own into its opcode"},
      // The first loop rewrites the second, which it then jumps into.
      {" set 4, k\na: mov k, x.1\nx: sub 0, 1, k\n mov k, z.1\nz: jz 0, b\n set 14, w\n jmp a\n"
       "b: set 3, k\nl: mov acc, w.1\nw: add 0, 5, acc\n mov k, v.1\nv: sub 0, 1, k\n"
       " mov k, u.1\nu: jz 0, e\n jmp l\ne: mov acc, host:0\n ret\nk: .word 0\nacc: .word 0\n",
       -15, "another loop's store before the loop is entered"},
  };
  for (const auto& c : kCases) {
    Runner r;
    ASSERT_EQ(r.Run(c.body), kRunEnded) << c.what;
    EXPECT_EQ(r.Answer(), c.answer) << c.what << " was missed";
    RunDecodedAndPlain(c.body, 0);
  }
}

// A call into a fragment starts on a straight path of its own for the common short shapes and
// leaves the rest to the loop. Under an instruction limit only the loop runs, so each program
// runs both ways and must end alike: result, pointers and every byte of the arena.

struct Outcome {
  int result = 0;
  uint32_t ip = 0;
  uint32_t sp = 0;
  std::vector<uint8_t> arena;
};

// Calls body's first instruction as a fragment; limit 0 takes the straight path first.
Outcome Call(const std::string& body, uint64_t limit) {
  Runner r;
  r.Load(body);
  ScriptVm& vm = r.vm;
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

TEST(CallAt, EveryOpcodeAndFaultCaseAndTheStraightShapesEndAsInTheLoop) {
  for (const OpCase& c : kOpCases) ExpectAlike(c.body);
  for (const FaultCase& c : kFaultCases) ExpectAlike(c.body);
  const char* const bodies[] = {
      // a condition and an assignment, as a scenario's are compiled
      " mov k, c.1\nc: lt 0, 5, host:0\n ret\nk: .word 3\n",
      " inc k\n ret\nk: .word 0x7FFFFFFF\n",
      " dec k\n mov k, host:0\n ret\nk: .word 0\n",
      " add 0x7FFFFFFF, 1, a\n sub 0, 1, b\n le -1, 0, c\n gt 2, 1, d\n ge 1, 1, e\n"
      " eq 4, 4, f\n ne 4, 4, g\n ret\na: .word 0\nb: .word 0\nc: .word 0\nd: .word 0\n"
      "e: .word 0\nf: .word 0\ng: .word 0\n",
      // each shape faulting on its address (a move's source is a fault case)
      " inc 0\n ret\n",
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
  Runner r;
  BytecodeVm& runner = r.vm.Interpreter();
  const uint32_t bottom = runner.StackBottom();
  const uint32_t marker = bottom + 4;  // above the one pushed below
  r.Load(" set b, " + std::to_string(marker) + "\n ret\nb: set 4, host:0\n ret\n");
  ASSERT_EQ(runner.StackBottom(), bottom);
  runner.ResetStack();
  ASSERT_EQ(runner.PushEndMarker(), 0);  // b's return ends the run
  EXPECT_EQ(runner.CallAt(r.vm.GetCodeBase()), kRunEnded);
  EXPECT_EQ(r.Answer(), 4);
  EXPECT_EQ(runner.StackPointer(), runner.StackBottom());
}

TEST(CallAt, AnInstructionBoundHoldsWhicheverWayTranslationWasSwitched) {
  // An endless loop behind a straight start: only the bound ends the run.
  Runner r;
  r.Load(" inc k\nl: jmp l\nk: .word 0\n");
  BytecodeVm& runner = r.vm.Interpreter();
  for (bool boundFirst : {true, false}) {
    for (bool translate : {true, false}) {
      runner.SetInstructionLimit(0);
      ASSERT_EQ(runner.EnableJit(false), kJitDone);
      if (boundFirst) runner.SetInstructionLimit(1000);
      (void)runner.EnableJit(translate);  // refused: the run is interpreted
      ASSERT_EQ(runner.EnableJit(false), kJitDone);
      if (!boundFirst) runner.SetInstructionLimit(1000);
      runner.ResetStack();
      EXPECT_EQ(runner.CallAt(r.vm.GetCodeBase()), kRunFault) << boundFirst << translate;
    }
  }
}

TEST(GuestMemory, AccessOutsideTheArenaFaultsAndTouchesNothing) {
  GuestMemory mem(1 << 20);
  uint32_t a = mem.Allocate(8);
  ASSERT_NE(a, 0u);
  uint32_t v = 0;
  EXPECT_FALSE(mem.Read32(GuestMemory::kNullPage - 2, v)) << "a word straddling the null page";
  EXPECT_TRUE(mem.TakeFault());
  EXPECT_FALSE(mem.Write32(0xFFFFFFFE, 1)) << "a word wrapping past 2^32";
  EXPECT_FALSE(mem.Fill(a, 0, 0x7FFFFFFF));
  EXPECT_TRUE(mem.TakeFault());
  // Unaligned words are fine inside the arena.
  ASSERT_TRUE(mem.Write32(a + 1, 0x11223344));
  ASSERT_TRUE(mem.Read32(a + 1, v));
  EXPECT_EQ(v, 0x11223344u);
  EXPECT_FALSE(mem.Faulted());
}

TEST(GuestMemory, BlocksComeBackZeroedMergedOrAlignedToFillAndCStringsAreBounded) {
  GuestMemory mem(1 << 20);
  uint32_t a = mem.Allocate(16), b = mem.Allocate(16), c = mem.Allocate(16);
  ASSERT_TRUE(a && b && c);
  ASSERT_TRUE(mem.Write32(a, 7));
  mem.Free(a);
  mem.Free(b);
  uint32_t big = mem.Allocate(32);  // fits only in the merged range of a and b
  EXPECT_EQ(big, a);
  uint32_t v = 1;
  ASSERT_TRUE(mem.Read32(big, v));
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(mem.Allocate(2u << 20), 0u) << "larger than the arena";

  // C strings are bounded.
  const uint8_t text[] = {'A', 'B', 'C'};
  uint32_t s = mem.AllocateCopy(text, true);
  std::string out;
  ASSERT_TRUE(mem.ReadCString(s, out, 3));
  EXPECT_EQ(out, "ABC");
  EXPECT_FALSE(mem.ReadCString(s, out, 2)) << "longer than the limit";

  // Blocks that files are read into are aligned and give their gap back.
  GuestMemory fill(1 << 20);
  const uint32_t small = fill.Allocate(8);
  const uint32_t block = fill.AllocateToFill(100, 100);
  ASSERT_TRUE(small && block);
  EXPECT_EQ(block % 64, 0u);
  EXPECT_EQ(fill.Allocate(8), small + 8) << "the gap in front of the block is free";

  // A reused block holds stale bytes up to keep only; the rest comes back zero.
  ASSERT_TRUE(fill.Fill(block, 0xAB, 100));
  fill.Free(block);
  const uint32_t again = fill.AllocateToFill(100, 40);
  EXPECT_EQ(again, block);
  uint32_t word = 1;
  ASSERT_TRUE(fill.Read32(again + 40, word));
  EXPECT_EQ(word, 0u);
  ASSERT_TRUE(fill.Read32(again + 96, word));
  EXPECT_EQ(word, 0u);
}

// Mistyped, stale and reused handles are the script handles' to check; a handle's word without
// its base bit is a guest address, never a handle.
TEST(HandleTable, AWordWithoutTheBaseBitIsNoHandle) {
  HandleTable table;
  int x = 0;
  const uint32_t h = table.Add(1, &x);
  ASSERT_EQ(table.Get(h, 1), &x);
  EXPECT_EQ(table.Get(h & 0x7FFFFFFF, 1), nullptr);
  uint16_t type = 9;
  EXPECT_EQ(table.Lookup(h + 1, &type), nullptr) << "the index one past the table";
  EXPECT_EQ(type, 0);
}

// CallAt pushes the end marker inside the interpreter loop: the free and the counted loop check
// the stack alike and leave it as they found it.
TEST(GuestFile, EnteringForAShortRunChecksTheStack) {
  for (uint64_t limit : {0, 10}) {
    GuestMemory mem(1 << 20);
    const uint32_t code = mem.Allocate(4);  // op 1: return
    ASSERT_TRUE(mem.Write32(code, 1));
    BytecodeVm vm(mem, nullptr);
    vm.SetInstructionLimit(limit);
    EXPECT_EQ(vm.CallAt(code), kRunFault) << "no stack";

    ASSERT_EQ(vm.AllocateStack(2), kStackAllocated);
    EXPECT_EQ(vm.CallAt(code), kRunEnded);
    EXPECT_EQ(vm.StackPointer(), vm.StackBottom());

    ASSERT_EQ(vm.PushEndMarker(), 0);
    ASSERT_EQ(vm.PushEndMarker(), 0);
    EXPECT_EQ(vm.CallAt(code), kRunFault) << "the stack is full";
    EXPECT_EQ(vm.StackPointer(), vm.StackTop());
    EXPECT_EQ(vm.InstructionPointer(), code);
  }
}

}  // namespace
}  // namespace bw

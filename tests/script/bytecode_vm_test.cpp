// Label: optimised
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bytecode_cases.h"
#include "host/process/executable_memory.h"
#include "lib/sob/program_generator.h"
#include "lib/sob/twin_run.h"
#include "script/bytecode_jit.h"
#include "script/bytecode_vm.h"
#include "script/guest_memory.h"
#include "script/script_vm.h"
#include "script_test_util.h"

namespace bw {
namespace {

using sob::TwinVm;

// Loads body into both twins (calling loaded on the second, where given), runs them run after run
// while they wait, and compares everything each run leaves.
void RunAlike(TwinVm& a, TwinVm& b, const std::string& body, const std::string& library,
              const std::function<void(TwinVm&)>& loaded = {}) {
  ASSERT_TRUE(a.Load(body, library) && b.Load(body, library)) << body;
  if (loaded) loaded(b);
  for (int i = 0; i < 8; ++i) {
    const sob::RunOutcome x = a.Run(), y = b.Run();
    ASSERT_EQ(sob::Difference(x, y), "") << "run " << i << " of\n" << body;
    if (x.result != kRunWaiting) break;
  }
}

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

// Runs body from its decoded records and through the plain loop alone.
void RunDecodedAndPlain(const std::string& body, uint64_t limit, const std::string& library = {}) {
  TwinVm decoded(false, limit), plain(false, limit);
  RunAlike(decoded, plain, body, library, [](TwinVm& vm) {
    for (const auto& script : vm.Vm().LoadedScripts()) script->decoded.reset();
  });
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

// Whether translation is to be had here (the tests also run where executable memory is refused).
bool Translating() {
  return BytecodeJit::Supported() && !host::ExecutableMemory::Refused();
}
#define BW_NEEDS_TRANSLATION() \
  if (!Translating()) GTEST_SKIP() << "no executable memory here"

// A twin that failed to load fails the test.
void Load(TwinVm& vm, const std::string& body, const std::string& library = {}) {
  ASSERT_TRUE(vm.Load(body, library)) << body;
}
int32_t Answer(TwinVm& vm) {
  return static_cast<int32_t>(GuestWord(vm.Vm().GetMemory(), vm.Vm().HostVariableAddress(0)));
}

// Runs the program interpreted and translated; answers whether the script was translated.
bool RunBoth(const std::string& body, uint64_t limit, const std::string& library = {}) {
  TwinVm in(false, limit), tr(true, limit);
  EXPECT_EQ(tr.JitEnabled(), Translating());
  RunAlike(in, tr, body, library);
  return tr.Translated();
}

class TranslatedOpcodes : public testing::TestWithParam<OpCase> {};

// Each case gives its answer with the stack as it was, freely and under an instruction limit
// (which runs its own copy of the loop), translated and interpreted alike.
TEST_P(TranslatedOpcodes, GiveTheirAnswersAsInterpreted) {
  for (uint64_t limit : {0, 1000}) {
    TwinVm tr(true, limit);
    Load(tr, GetParam().body);
    ASSERT_EQ(tr.Run().result, kRunEnded) << GetParam().body;
    EXPECT_EQ(Answer(tr), GetParam().expected) << GetParam().body;
    EXPECT_EQ(tr.Vm().Interpreter().StackPointer(), tr.Vm().Interpreter().StackBottom())
        << "stack left unbalanced";
    EXPECT_EQ(RunBoth(GetParam().body, limit), Translating());
  }
}

INSTANTIATE_TEST_SUITE_P(All, TranslatedOpcodes, testing::ValuesIn(kOpCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

// Every fault case faults, translated and interpreted alike (or interpreted only, where nothing
// is translated): the interpreter's fault cases are held to their fault here.
class TranslatedFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(TranslatedFaults, FaultAsTheInterpreterDoes) {
  for (uint64_t limit : {0, 100000}) {
    TwinVm tr(true, limit);
    Load(tr, GetParam().body);
    EXPECT_EQ(tr.Run().result, kRunFault) << GetParam().body;
    RunBoth(GetParam().body, limit);
  }
}

// The faults of each addressing form, and transfers translated code must not take itself.
const FaultCase kTranslatedFaultCases[] = {
    {"pushv_bad", "pushv 8\n"},
    {"pop_to_bad", "push 1\n pop 0x3FFFFFF0\n"},
    {"getret_to_bad", "getret 4\n"},
    {"inc_bad", "inc 0xFFFFFFFF\n"},
    {"dec_below_null", "dec 0xFFFC\n"},
    {"sinc_above_stack", "sinc 0\n"},
    {"sdec_below", "sdec 8\n"},
    {"stind_through_bad", "stind 1, p\np: .word 12\n"},
    {"sget_below_stack", "sget 8, host:0\n"},
    {"sderef_bad", "push 7\n sderef 4, host:0\n"},
    {"sstore_bad", "push 0\n sstore 0x20, 4\n"},
    {"smov_bad", "push 0\n smov 0x100, 4\n"},
    {"call_overflow", "top: call top\n"},
    {"ret_empty", "spsub 4\n ret\n"},
    {"spadd_wraps", "spadd 0xFFFFFFFC\n"},
    {"switch_past_table", "switch 5, a\na: ret\n"},
    {"native_bad_token", "native 0xC0FFFFFF, 0, host:0\n"},
    {"native_faults", "native native:3, 0, host:0\n"},
    {"jump_outside", "jmp 0x3FFFFFF0\n"},
};

INSTANTIATE_TEST_SUITE_P(Interpreter, TranslatedFaults, testing::ValuesIn(kFaultCases),
                         [](const auto& instance) { return std::string(instance.param.name); });
INSTANTIATE_TEST_SUITE_P(Translated, TranslatedFaults, testing::ValuesIn(kTranslatedFaultCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(Translated, TransfersToWhatWasNotTranslatedHandOverToTheInterpreterWithTheLimitLeft) {
  // Into an operand word (here a 0, which reads as a wait), to an instruction whose opcode word
  // the script rewrote, and into a block whose translation failed.
  RunBoth(" jmp w.2\nw: add 1, 0, host:0\n set 5, host:0\n ret\n", 0);
  RunBoth(
      " set 7, x\n mov x, t\n set 31, t\n call f\n ret\nf: inc host:0\n ret\nt: .word 0\nx: .word "
      "0\n",
      0);
  RunBoth(" call lib:0\n add 1, host:0, host:0\n ret\n", 0, ".sob2\n inc host:0\n ret\n op 47\n");

  // The limit counts on across a hand-over: the library's translation fails (its last word is no
  // instruction), and its endless loop runs interpreted on what the translated caller left.
  const std::string library = ".sob2\nl: inc host:0\n jmp l\n op 47\n";
  for (uint64_t limit : {5, 1000, 1001})
    RunBoth(" inc host:0\n inc host:0\n call lib:0\n", limit, library);
  RunBoth("top: inc host:0\n jmp top\n", 999);
}

TEST(Translated, ANativeThatRunsTheInterpreterAgainReturnsToTheOuterRun) {
  for (bool translate : {false, true}) {
    MemoryScriptFileSource files;
    ScriptVm vm(&files, kArena);
    if (translate) (void)vm.Interpreter().EnableJit(true);  // refused: the run is interpreted
    vm.RegisterNative([&vm](GuestMemory& m, uint32_t args) {
      uint32_t entry = 0;
      m.Read32(args, entry);
      return vm.CallAt(entry) == kRunEnded ? 7 : -1;
    });
    PutScript(files, "T",
              " native native:0, e, r\n mov r, x.1\nx: add 0, 1, host:0\n ret\nf: inc k\n ret\n"
              "e: .word f\nr: .word 0\nk: .word 0\n");
    ASSERT_EQ(vm.LoadScript("SCRIPT\\T.SOB"), 0);
    EXPECT_EQ(vm.Interpreter().Run(), kRunEnded);
    EXPECT_EQ(GuestWord(vm.GetMemory(), vm.HostVariableAddress(0)), 8u) << translate;
    EXPECT_EQ(vm.Interpreter().StackPointer(), vm.Interpreter().StackBottom()) << translate;
  }
}

TEST(Translated, RewrittenOperandsAreReadAsTheyStand) {
  // A jump whose operand the script rewrote goes where the operand now says; a switch table
  // rewritten at run time is read as it stands.
  RunBoth(" set b, j.1\nj: jmp a\na: set 1, host:0\n ret\nb: set 2, host:0\n ret\n", 0);
  RunBoth(" set b, s.2\ns: switch 0, a\na: set 1, host:0\n ret\nb: set 2, host:0\n ret\n", 0);

  // Each instruction that stores to, reads from or counts at an address named by its operand
  // words, with that word rewritten in a loop's second turn: to another variable, to a bad
  // address (a fault), or partly overwritten.
  struct Form {
    const char* line;
    int words;
  };
  const Form kForms[] = {
      {"x: mov v1, v0\n", 2},  {"x: set 5, v0\n", 2},    {"x: add 1, 2, v0\n", 3},
      {"x: lt 1, 2, v0\n", 3}, {"x: div 7, 0, v0\n", 3}, {"x: not 3, v0\n", 2},
      {"x: inc v0\n", 1},      {"x: dec v0\n", 1},       {"x: stind 9, p\n", 2},
      {"x: deref p, v0\n", 2}, {"x: lnot 0, v0\n", 2},   {"x: modp 7, 3, v0\n", 3},
  };
  // % is the word; a partial overwrite reaches into the word behind, so not behind the last.
  const char* const kRewrites[] = {" set v2, x.%\n", " set 0x7FFFFFF0, x.%\n", " mov p, x.%\n",
                                   " set 0x0101, x+%\n"};
  for (const Form& form : kForms) {
    for (int word = 1; word <= form.words; ++word) {
      for (const char* rewrite : kRewrites) {
        std::string change = rewrite;
        const bool partial = change.find("x+") != std::string::npos;
        if (partial && word == form.words) continue;
        change.replace(change.find('%'), 1, std::to_string(partial ? 4 * word + 2 : word));
        const std::string body = " set 2, k\nl:\n" + std::string(form.line) +
                                 " mov v0, host:0\n xor 5, 1, w\n dec k\n mov k, z.1\n"
                                 "z: jz 0, e\n" +
                                 change +
                                 " jmp l\ne: ret\nk: .word 0\nw: .word 0\np: .word v1\nv0: "
                                 ".word 3\nv1: .word 4\nv2: .word 5\n";
        SCOPED_TRACE(body);
        EXPECT_EQ(RunBoth(body, 0), Translating());
        if (testing::Test::HasFailure()) return;
      }
    }
  }
  // A result handed on to the next move while that move's source was redirected, and a move
  // into the next instruction's operand word whose own address word then changed.
  RunBoth(
      " set 2, k\nl: add 1, k, v0\nm: mov v0, host:0\n set v1, m.1\n dec k\n mov k, z.1\n"
      "z: jz 0, e\n jmp l\ne: ret\nk: .word 0\nv0: .word 3\nv1: .word 4\n",
      0);
  RunBoth(
      " set 2, k\nl: mov k, a.1\na: add 0, 1, v0\n set v1, a.3\n dec k\n mov k, z.1\n"
      "z: jz 0, e\n jmp l\ne: mov v1, host:0\n ret\nk: .word 0\nv0: .word 3\nv1: .word 4\n",
      0);
}

TEST(Translated, LoopsRunAsInterpreted) {
  // Loops compiled whole, freely and under limits that stop them anywhere; where a write
  // through a pointer reaches the loop's code or data, the loop goes on as plain code.
  std::mt19937 rng(7);
  for (int seed = 0; seed < 120; ++seed) {
    const std::string body = LoopProgram(rng);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (uint64_t limit : {uint64_t{0}, uint64_t{50} + rng() % 150}) {
      EXPECT_EQ(RunBoth(body, limit), Translating());
      if (testing::Test::HasFailure()) return;
    }
  }
  // A loop reading, as it starts again, the word its last turn wrote last, a loop falling off the
  // end of its block, one whose exit leaves the block, and variables that share bytes. (A read
  // through a pointer of a word just written is one of the loop programs' statements.)
  RunBoth(
      " set 0, k\nl: add 0, 1, y\n mov y, l.1\n inc k\n mov k, c.1\nc: lt 0, 5, t\n mov t, z.1\n"
      "z: jz 0, e\n jmp l\ne: mov y, host:0\n ret\nk: .word 0\nt: .word 0\ny: .word 0\n",
      0);
  RunBoth(" set 3, k\n jmp l\nk: .word 0\nl: dec k\n mov k, z.1\nz: jz 0, l\n", 0);
  RunBoth(" set 3, k\nl: dec k\n mov k, z.1\nz: jz 0, lib:0\n jmp l\nk: .word 0\n", 0,
          ".sob2\n set 9, host:0\n ret\n");
  RunBoth(
      " set 0, k\nl: mov a, y\n mov k, a+2\n mov a, host:0\n inc k\n mov k, c.1\n"
      "c: lt 0, 70000, t\n mov t, z.1\nz: jz 0, e\n jmp l\ne: ret\nk: .word 0\nt: .word 0\n"
      "y: .word 0\na: .word 0, 0\n",
      0);
}

TEST(Translation, OfEmptyProgramIsTheStubAndABadOpcodeLeavesNothing) {
  BW_NEEDS_TRANSLATION();
  GuestMemory memory(kArena);
  BytecodeJit stub(memory);
  ASSERT_EQ(stub.Compile(0, 0), kCompileDone);
  EXPECT_TRUE(stub.HasCode());
  EXPECT_EQ(memory.Translations().Count(), 0u);

  uint32_t code = memory.Allocate(16);
  const uint32_t words[] = {26, code + 12, 48, 0};
  memory.Write(code, words, sizeof words);
  BytecodeJit jit(memory);
  EXPECT_EQ(jit.Compile(code, 16), kCompileFailed);
  EXPECT_FALSE(jit.HasCode());
  EXPECT_EQ(GuestWord(memory, code), 26u) << "no word may change when translation fails";
  EXPECT_EQ(memory.Translations().Count(), 0u);
  // A walk that leaves the block fails too: an operand, and a switch table without its end.
  EXPECT_EQ(jit.Compile(code, 4), kCompileFailed);
  const uint32_t table[] = {7, 0, code, code};
  memory.Write(code, table, sizeof table);
  EXPECT_EQ(jit.Compile(code, 16), kCompileFailed);
}

TEST(Translation, TagsOpcodeWordsPutsThemBackAndMixedRunsResumeEitherWay) {
  BW_NEEDS_TRANSLATION();
  TwinVm tr(true, 0);
  Load(tr, " add 1, 2, host:0\n wait\n switch 0, a\na: ret\n");
  ASSERT_TRUE(tr.Translated());
  GuestMemory& m = tr.Vm().GetMemory();
  const uint32_t base = tr.Vm().GetCodeBase();
  const uint32_t starts[] = {base, base + 16, base + 20, base + 36};
  const uint32_t opcodes[] = {13, 0, 7, 1};
  for (int i = 0; i < 4; ++i) {
    uint32_t w = GuestWord(m, starts[i]), op = 99;
    ASSERT_TRUE(m.Translations().Opcode(starts[i], w, op)) << i << " " << std::hex << w;
    EXPECT_EQ(op, opcodes[i]);
    EXPECT_FALSE(m.Translations().Opcode(starts[i] + 4, w, op))
        << "a tag read elsewhere is no opcode";
  }

  // The mapping is read-execute, never writable.
  const auto code =
      reinterpret_cast<uintptr_t>(tr.Vm().LoadedScripts().back()->translation->Code());
  std::ifstream maps("/proc/self/maps");
  std::string line;
  bool found = false;
  while (std::getline(maps, line)) {
    std::istringstream fields(line);
    std::string range, perms;
    fields >> range >> perms;
    const uintptr_t from = std::stoull(range.substr(0, range.find('-')), nullptr, 16);
    const uintptr_t to = std::stoull(range.substr(range.find('-') + 1), nullptr, 16);
    if (code >= from && code < to) {
      found = true;
      EXPECT_EQ(perms.substr(0, 3), "r-x") << line;
    }
  }
  EXPECT_TRUE(found);

  tr.Vm().UnloadLastScript();
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(GuestWord(m, starts[i]), opcodes[i]) << "release restores word " << i;

  // Runs mixed of translated and interpreted parts resume either way.
  const std::string body =
      " inc host:0\n wait\n inc host:0\n wait\n inc host:0\n wait\n inc host:0\n ret\n";
  TwinVm s(true, 0);
  Load(s, body);
  BytecodeVm& vm = s.Vm().Interpreter();
  EXPECT_EQ(vm.Run(), kRunWaiting);  // translated
  EXPECT_EQ(vm.EnableJit(false), kJitDone);
  EXPECT_EQ(vm.Run(), kRunWaiting);  // interpreted, over tagged words
  EXPECT_EQ(vm.EnableJit(true), kJitDone);
  EXPECT_EQ(vm.Run(), kRunWaiting);  // translated again
  EXPECT_EQ(vm.EnableJit(false), kJitDone);
  EXPECT_EQ(vm.Run(), kRunEnded);
  EXPECT_EQ(Answer(s), 4);
}

}  // namespace
}  // namespace bw

// Label: optimised
#include "script/bytecode_jit.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "bytecode_cases.h"
#include "host/process/executable_memory.h"
#include "lib/sob/twin_run.h"
#include "script/script_vm.h"
#include "script_test_util.h"

namespace bw {
namespace {

using sob::TwinVm;

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

// Runs the program both ways, run after run while it waits, and compares after each run.
// Answers whether the script was translated.
bool RunBoth(const std::string& body, uint64_t limit, const std::string& library = {},
             int runs = 8) {
  TwinVm in(false, limit), tr(true, limit);
  EXPECT_EQ(tr.JitEnabled(), Translating());
  EXPECT_TRUE(in.Load(body, library)) << body;
  EXPECT_TRUE(tr.Load(body, library)) << body;
  for (int i = 0; i < runs; ++i) {
    sob::RunOutcome a = in.Run(), b = tr.Run();
    EXPECT_EQ(sob::Difference(a, b), "") << "run " << i << " of\n" << body;
    if (a.result != kRunWaiting || testing::Test::HasFailure()) break;
  }
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

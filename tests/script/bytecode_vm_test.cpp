// Label: optimised
#include "script/bytecode_vm.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "bytecode_cases.h"
#include "lib/sob/program_generator.h"
#include "lib/sob/twin_run.h"
#include "script/script_vm.h"
#include "script_test_util.h"

namespace bw {
namespace {

constexpr uint32_t kArena = 1 << 20;

// Runs body (code lines) as a script and answers the run's result; the script leaves its answer
// in host variable 0.
struct Runner {
  MemoryScriptFileSource files;
  ScriptVm vm{&files, kArena};

  int Run(const std::string& body) {
    PutScript(files, "T", body);
    EXPECT_EQ(vm.LoadScript("SCRIPT\\T.SOB"), 0) << body;
    return vm.Interpreter().Run();
  }
  int32_t Answer() {
    return static_cast<int32_t>(GuestWord(vm.GetMemory(), vm.HostVariableAddress(0)));
  }
};

class Opcodes : public testing::TestWithParam<OpCase> {};

TEST_P(Opcodes, GiveTheirResult) {
  // Once freely and once under an instruction limit, which runs its own copy of the loop.
  for (uint64_t limit : {0, 1000}) {
    Runner r;
    r.vm.Interpreter().SetInstructionLimit(limit);
    ASSERT_EQ(r.Run(GetParam().body), kRunEnded) << GetParam().body;
    EXPECT_EQ(r.Answer(), GetParam().expected) << GetParam().body;
    EXPECT_EQ(r.vm.Interpreter().StackPointer(), r.vm.Interpreter().StackBottom())
        << "stack left unbalanced";
  }
}

INSTANTIATE_TEST_SUITE_P(All, Opcodes, testing::ValuesIn(kOpCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(Interpreter, AWaitResumesBehindItAndALimitEndsEachRunsEndlessLoop) {
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

  Runner endless;
  endless.vm.Interpreter().SetInstructionLimit(1000);
  EXPECT_EQ(endless.Run("top: inc host:0\n jmp top\n"), kRunFault);
  EXPECT_EQ(endless.Answer(), 500);
}

TEST(Interpreter, ReturnWithValueEndingTheScriptKeepsTheRegister) {
  Runner r;
  r.vm.Interpreter().SetReturnRegister(5);
  ASSERT_EQ(r.Run("retv 9\n"), kRunEnded);
  EXPECT_EQ(r.vm.Interpreter().ReturnRegister(), 5u);
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

class Faults : public testing::TestWithParam<FaultCase> {};

TEST_P(Faults, EndTheRun) {
  for (uint64_t limit : {0, 100000}) {
    Runner r;
    r.vm.Interpreter().SetInstructionLimit(limit);
    r.vm.RegisterNative([](GuestMemory& m, uint32_t args) {
      uint32_t a = 0;
      m.Read32(args, a);
      return static_cast<int32_t>(a);
    });
    EXPECT_EQ(r.Run(GetParam().body), kRunFault) << GetParam().body << " limit " << limit;
  }
}

INSTANTIATE_TEST_SUITE_P(All, Faults, testing::ValuesIn(kFaultCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace bw

// Label: optimised
#include "script/bytecode_vm.h"

#include <gtest/gtest.h>

#include <climits>

#include "bytecode_cases.h"
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
                         [](const auto& info) { return std::string(info.param.name); });

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
  ASSERT_EQ(cut.Run(" inc host:0\n op 31, 5\n"), kRunFault) << "the second operand lies past the end";
  EXPECT_EQ(cut.vm.GetCodeBase() + 16, cut.vm.GetMemory().Top());
  EXPECT_EQ(cut.Answer(), 1);

  // A moved operand of the last instruction: it runs, and the run faults behind it.
  Runner last;
  ASSERT_EQ(last.Run(" set 2, n.2\n set 5, n.1\nn: add 0, 0, host:0\n"), kRunFault);
  EXPECT_EQ(last.vm.GetCodeBase() + 40, last.vm.GetMemory().Top());
  EXPECT_EQ(last.Answer(), 7);
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
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace bw

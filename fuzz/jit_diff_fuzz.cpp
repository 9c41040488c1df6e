// Decodes the input into a well-formed program (the generator the tests use), runs it
// interpreted and translated under one instruction limit, run after run while it waits, and
// aborts when the two differ in result, memory, stack pointer, return register, instruction
// pointer or the natives' calls.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "lib/sob/program_generator.h"
#include "lib/sob/twin_run.h"
#include "script/bytecode_jit.h"

namespace {

constexpr size_t kMaxInput = 4096;
constexpr int kRuns = 6;
constexpr uint64_t kInstructionsPerRun = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput || !bw::BytecodeJit::Supported()) return 0;
  bw::sob::GeneratedProgram p = bw::sob::GenerateProgram(std::span(data, size));
  // The limit's low bits come from the input, so runs stop at every kind of instruction.
  const uint64_t limit = size ? kInstructionsPerRun - data[0] : 0;
  bw::sob::TwinVm interpreted(false, limit), translated(true, limit);
  if (!translated.JitEnabled() || !interpreted.Load(p.script, p.library) ||
      !translated.Load(p.script, p.library))
    std::abort();
  for (int i = 0; i < kRuns; ++i) {
    bw::sob::RunOutcome a = interpreted.Run(), b = translated.Run();
    std::string difference = bw::sob::Difference(a, b);
    if (!difference.empty()) {
      std::fprintf(stderr, "run %d differs: %s\n%s\n", i, difference.c_str(), p.script.c_str());
      std::abort();
    }
    if (a.result != bw::kRunWaiting) break;
  }
  return 0;
}

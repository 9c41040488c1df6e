// Runs arbitrary bytes as the code block of a loaded script, beside a variable file, a library and
// bound natives, for a bounded number of runs and instructions each. Whatever the code does, the
// run ends with one of the three run results, and afterwards the same VM still loads and runs a
// good script to its end: a faulting script never harms the host. (The good script touches
// nothing the fuzzed code may have rewritten: scripts may rewrite any code, the library's too.)
// Each input runs three ways: interpreted by the plain loop, interpreted from the block's decoding,
// and translated to machine code.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "script/bytecode_jit.h"
#include "script_fuzz_world.h"

namespace {

constexpr uint32_t kArena = 1u << 20;
constexpr size_t kMaxCode = 1u << 14;
constexpr int kRuns = 4;
constexpr uint64_t kInstructionsPerRun = 20000;
constexpr uint32_t kAnswer = 0x5A5A;

// The bytes as a code block. Decoded or translated, the whole words of the block count as
// instructions, so that the decoder and the compiler walk them (and stop at or refuse what is no
// instruction).
std::vector<uint8_t> CodeFile(const uint8_t* data, size_t size, bool walked) {
  std::string source = ".sob0\n";
  for (size_t i = 0; i < size; ++i)
    source += (i % 32 == 0 ? "\n.byte " : ", ") + std::to_string(data[i]);
  std::vector<uint8_t> file = bw::fuzz::AssembleOrDie(source + "\n");
  if (walked) {
    bw::ByteReader r(file.data(), file.size());
    uint32_t area = 0;
    if (!r.seek(4) || !r.u32le(area) || file.size() < 12 + size_t{area}) std::abort();
    const uint32_t words = static_cast<uint32_t>(size & ~size_t{3});
    for (int i = 0; i < 4; ++i)
      file[8 + area + i] = static_cast<uint8_t>(words >> (8 * i));  // instruction bytes
  }
  return file;
}

enum class Way { kPlain, kDecoded, kTranslated };

void RunOnce(const uint8_t* data, size_t size, Way way) {
  const bool translate = way == Way::kTranslated;
  static const std::vector<uint8_t> table =
      bw::fuzz::AssembleOrDie(".table\n.script RUN 64 64\n.script GOOD 8 8\n");
  static const std::vector<uint8_t> good =
      bw::fuzz::AssembleOrDie(".sob0\n set " + std::to_string(kAnswer) + ", host:0\n ret\n");

  bw::MemoryScriptFileSource files;
  files.Put("SCRIPT\\SOB_INIT.DAT", table);
  files.Put("SCRIPT\\USER_VAR.SOB", bw::fuzz::GoodVariableFile());
  files.Put("SCRIPT\\FUNC_LIB.SOB", bw::fuzz::GoodLibrary());
  files.Put("SCRIPT\\RUN.SOB", CodeFile(data, size, way != Way::kPlain));
  files.Put("SCRIPT\\GOOD.SOB", good);
  bw::ScriptVm vm(&files, kArena);
  if (translate && vm.Interpreter().EnableJit(true) != bw::kJitDone && bw::BytecodeJit::Supported())
    std::abort();
  if (vm.LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB", "SCRIPT\\FUNC_LIB.SOB", true,
                       true) != 0) {
    std::abort();
  }
  bw::fuzz::RegisterFuzzNatives(vm);
  if (vm.LoadScript("SCRIPT\\RUN.SOB") != 0) std::abort();  // any code block of ours loads

  bw::BytecodeVm& interpreter = vm.Interpreter();
  interpreter.SetInstructionLimit(kInstructionsPerRun);
  for (int i = 0; i < kRuns; ++i) {
    int result = interpreter.Run();
    if (result != bw::kRunEnded && result != bw::kRunWaiting && result != bw::kRunFault)
      std::abort();
    if (result != bw::kRunWaiting) break;
  }

  interpreter.ResetStack();
  if (vm.LoadScript("SCRIPT\\GOOD.SOB") != 0 || interpreter.Run() != bw::kRunEnded) std::abort();
  uint32_t answer = 0;
  if (!vm.GetMemory().Read32(vm.HostVariableAddress(0), answer) || answer != kAnswer) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxCode) return 0;
  for (Way way : {Way::kPlain, Way::kDecoded, Way::kTranslated}) RunOnce(data, size, way);
  return 0;
}

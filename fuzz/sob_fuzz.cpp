// Loads a compiled script file from arbitrary bytes into a VM with a table, variables and a
// library, and runs it for a bounded number of runs and instructions. Bytes that start as a
// variable file or a library stand in for that start file instead; every input is also read as
// a script table, a read-flag state file, a voice table, a system state file and a variable
// file. The same bytes go through the disassembler; whatever it shows must assemble to a file
// that shows the same. (Bytes under relocations are not kept: the loader overwrites them.)
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lib/sob/sob_assembler.h"
#include "script/script_engine.h"
#include "script/script_vm.h"
#include "script_fuzz_world.h"

namespace {

constexpr uint32_t kArena = 1u << 20;
constexpr int kRuns = 8;
constexpr uint64_t kInstructionsPerRun = 20000;

struct StartFiles {
  std::vector<uint8_t> table, variables, library, script;
};

const StartFiles& Files() {
  static const StartFiles files = [] {
    StartFiles f;
    f.table = bw::sob::Assemble(".table\n.script FUZZ 64 64\n").bytes;
    f.variables = bw::fuzz::GoodVariableFile();
    f.library = bw::fuzz::GoodLibrary();
    f.script =
        bw::sob::Assemble(".sob0\n call lib:0\n inc var:0\n mov var:2, var:0\n wait\n ret\n").bytes;
    return f;
  }();
  return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);

  std::string text = bw::sob::Disassemble(input);
  if (text.rfind("error:", 0) != 0) {
    bw::sob::AssembleResult again = bw::sob::Assemble(text);
    if (!again.ok || bw::sob::Disassemble(again.bytes) != text) std::abort();
  }

  bool variables = size >= 4 && std::memcmp(data, "SOB1", 4) == 0;
  bool library = size >= 4 && std::memcmp(data, "SOB2", 4) == 0;
  {
    bw::MemoryScriptFileSource files;
    files.Put("T", input);
    bw::ScriptVm vm(&files, kArena);
    if (vm.LoadInitFiles("T", "V", "L", false, false) == 0) (void)vm.LoadScriptTable("T");
  }

  {
    // The engine's own readers; a state they accept must survive being written and read back.
    bw::MemoryScriptFileSource files;
    files.Put("SCRIPT\\USER_VAR.SOB", Files().variables);
    files.Put("SCRIPT\\VOICEINF.DAT", input);
    files.Put("STATE", input);
    bw::ScriptEngine engine(&files, kArena);
    (void)engine.Start();  // no MAIN: the start files and the voice table are what is wanted
    const auto& vars = engine.Variables();
    // Any answers: only a crash or a leak fails.
    (void)engine.ReadVariableFileHeader("STATE", vars[0].storage, vars[1].storage);
    (void)engine.ReadVariableFile("STATE");
    if (engine.ReadSystemState("STATE") == 0) {
      if (engine.WriteSystemState("AGAIN") != 0 || engine.ReadSystemState("AGAIN") != 0)
        std::abort();
    }
  }

  bw::MemoryScriptFileSource files;
  files.Put("SCRIPT\\SOB_INIT.DAT", Files().table);
  files.Put("SCRIPT\\USER_VAR.SOB", variables ? input : Files().variables);
  files.Put("SCRIPT\\FUNC_LIB.SOB", library ? input : Files().library);
  files.Put("SCRIPT\\FUZZ.SOB", input);
  files.Put("STATE", input);
  bw::ScriptVm vm(&files, kArena);
  int init = vm.LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB",
                              "SCRIPT\\FUNC_LIB.SOB", true, true);
  if (init != 0 && !variables && !library) std::abort();  // the start files are ours and good
  (void)vm.LoadScriptTable("STATE");  // any answer: only a crash or a leak fails
  (void)vm.ClearVariables(0, 0);      // any answer: only a crash or a leak fails
  (void)vm.RestoreFromSnapshotA(0, 0);
  bw::fuzz::RegisterFuzzNatives(vm);
  if (vm.LoadScript("SCRIPT\\FUZZ.SOB") != 0) {
    files.Put("SCRIPT\\FUZZ.SOB", Files().script);
    if (vm.LoadScript("SCRIPT\\FUZZ.SOB") != 0) return 0;
  }
  vm.Interpreter().SetInstructionLimit(kInstructionsPerRun);
  for (int i = 0; i < kRuns; ++i) {
    if (vm.Interpreter().Run() != bw::kRunWaiting) break;
  }
  std::vector<uint8_t> stream;
  (void)vm.WriteVariableSet(&stream, 2, false);  // any answer: only a crash or a leak fails
  return 0;
}

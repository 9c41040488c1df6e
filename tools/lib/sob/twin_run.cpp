#include "lib/sob/twin_run.h"

#include "lib/sob/sob_assembler.h"

namespace bw::sob {

std::string Difference(const RunOutcome& a, const RunOutcome& b) {
  if (a.result != b.result)
    return "result " + std::to_string(a.result) + " / " + std::to_string(b.result);
  if (a.sp != b.sp) return "stack pointer " + std::to_string(a.sp) + " / " + std::to_string(b.sp);
  if (a.ret != b.ret)
    return "return register " + std::to_string(a.ret) + " / " + std::to_string(b.ret);
  if (a.ip != b.ip)
    return "instruction pointer " + std::to_string(a.ip) + " / " + std::to_string(b.ip);
  if (a.recorded != b.recorded) return "native calls";
  if (a.memory.size() != b.memory.size()) return "memory size";
  for (size_t i = 0; i < a.memory.size(); ++i) {
    if (a.memory[i] != b.memory[i]) {
      return "word at " + std::to_string(GuestMemory::kNullPage + 4 * i) + ": " +
             std::to_string(a.memory[i]) + " / " + std::to_string(b.memory[i]);
    }
  }
  return "";
}

TwinVm::TwinVm(bool translate, uint64_t limit) {
  if (translate) jitEnabled_ = vm_.Interpreter().EnableJit(true) == kJitDone;
  vm_.Interpreter().SetInstructionLimit(limit);
  vm_.RegisterNative([](GuestMemory& m, uint32_t args) {
    uint32_t a = 0;
    m.Read32(args, a);
    return static_cast<int32_t>(a);
  });
  vm_.RegisterNative([this](GuestMemory& m, uint32_t args) {
    uint32_t a = 0;
    m.Read32(args, a);
    recorded_.push_back(a);
    return 0;
  });
  vm_.RegisterNative([](GuestMemory& m, uint32_t) { return static_cast<int32_t>(m.Allocate(64)); });
  vm_.RegisterNative([](GuestMemory& m, uint32_t) {
    uint32_t a = 0;
    m.Read32(0, a);  // a native handed a bad address faults the run
    return 0;
  });
}

bool TwinVm::Load(const std::string& body, const std::string& library) {
  if (!library.empty()) {
    AssembleResult lib = Assemble(library);
    if (!lib.ok) return false;
    files_.Put("SCRIPT\\FUNC_LIB.SOB", lib.bytes);
    if (vm_.LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB", "SCRIPT\\FUNC_LIB.SOB",
                          false, false) != 0)
      return false;
  }
  AssembleResult script = Assemble(".sob0\n" + body);
  if (!script.ok) return false;
  files_.Put("SCRIPT\\T.SOB", script.bytes);
  return vm_.LoadScript("SCRIPT\\T.SOB") == 0;
}

bool TwinVm::Translated() const {
  return !vm_.LoadedScripts().empty() && vm_.LoadedScripts().back()->translation != nullptr;
}

RunOutcome TwinVm::Run() {
  BytecodeVm& vm = vm_.Interpreter();
  const int result = vm.Run();
  RunOutcome o{result,
               vm.StackPointer(),
               vm.ReturnRegister(),
               result == kRunFault ? 0 : vm.InstructionPointer(),
               recorded_,
               {}};
  GuestMemory& m = vm_.GetMemory();
  o.memory.reserve((m.Top() - GuestMemory::kNullPage) / 4);
  for (uint32_t at = GuestMemory::kNullPage; at + 4 <= m.Top(); at += 4) {
    uint32_t w = 0;
    m.Read32(at, w);
    m.Translations().Opcode(at, w, w);
    o.memory.push_back(w);
  }
  return o;
}

}  // namespace bw::sob

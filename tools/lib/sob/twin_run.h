// Runs generated programs (program_generator.h) on a script VM that interprets or translates,
// and describes what each run leaves behind, so that the two can be compared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/script_file_source.h"
#include "script/script_vm.h"

namespace bw::sob {

// What a run leaves behind. Memory is read with translated opcode words read back as their
// opcodes, the one thing translation changes; the instruction pointer counts after a wait or an
// end only.
struct RunOutcome {
  int result = 0;
  uint32_t sp = 0, ret = 0, ip = 0;
  std::vector<uint32_t> recorded;  // what native 1 was given, in order
  std::vector<uint32_t> memory;    // the used arena, word by word
};

// The first difference between two outcomes, "" when they agree.
std::string Difference(const RunOutcome& a, const RunOutcome& b);

class TwinVm {
 public:
  static constexpr uint32_t kArena = 1 << 20;

  TwinVm(bool translate, uint64_t limit);
  // Loads the library (when given) and the script; false when either is refused.
  [[nodiscard]] bool Load(const std::string& body, const std::string& library = {});
  bool Translated() const;
  // The next run and what it left.
  RunOutcome Run();
  ScriptVm& Vm() { return vm_; }
  bool JitEnabled() const { return jitEnabled_; }

 private:
  MemoryScriptFileSource files_;
  ScriptVm vm_{&files_, kArena};
  std::vector<uint32_t> recorded_;
  bool jitEnabled_ = false;
};

}  // namespace bw::sob

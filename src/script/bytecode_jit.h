// The template compiler: translates a code block's instructions into x86-64 machine code, one
// template per instruction, with every check the interpreter makes. Operand words stay in the
// block and are read at every execution, so scripts that rewrite them keep working; only the
// opcode words change, each becoming a tagged index into the address space's translation
// entries. Translated code enters another instruction's code only through an entry that names
// the instruction's address; anything else hands the run over to the interpreter there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/process/executable_memory.h"
#include "script/guest_memory.h"

namespace bw {

// The interpreter's state as translated code sees it, through one register. Run copies the
// interpreter's fields in before entering and out after leaving; natives see them current.
struct JitContext {
  uint32_t ip = 0;
  uint32_t sp = 0;
  uint32_t ret = 0;
  uint32_t span4 = 0;  // an address a is good for a word when a - kNullPage <= span4
  uint32_t stackBottom = 0;
  uint32_t stackTop = 0;
  uint32_t stackSpan4 = 0;  // S(n) is good when sp - n - stackBottom <= stackSpan4
  uint32_t entryCount = 0;
  const TranslationEntry* entries = nullptr;
  uint8_t* base = nullptr;
  uint64_t budget = 0;  // instructions left, for the counted templates
  uint64_t savedRsp = 0;
  // Calls native fn for op 5 (at: the address of its dest operand); 0 when the call faulted.
  uint32_t (*native)(JitContext* context, uint32_t fn, uint32_t args, uint32_t dest,
                     uint32_t at) = nullptr;
  void* owner = nullptr;
  uint32_t counted = 0;
};

// Compile
constexpr int kCompileDone = 0;
constexpr int kCompileFailed = 1;
// What translated code answers besides the run results: the interpreter goes on at context.ip.
constexpr int kRunHandOver = 3;

class BytecodeJit {
 public:
  static constexpr uint32_t kStubIndex = 47;

  explicit BytecodeJit(GuestMemory& memory);
  ~BytecodeJit() { Release(); }
  BytecodeJit(const BytecodeJit&) = delete;
  BytecodeJit& operator=(const BytecodeJit&) = delete;

  // Translates the instructions in [instructions, instructions + byteCount); kCompileFailed
  // leaves no code and every opcode word as it was.
  [[nodiscard]] int Compile(uint32_t instructions, uint32_t byteCount);
  // Puts back every opcode word still holding its tag and unmaps the code.
  void Release();

  // Runs the stub: from context.ip until a wait, an end, a fault or a hand-over.
  [[nodiscard]] int Enter(JitContext& context) const;

  bool HasCode() const { return code_.Data() != nullptr; }
  const uint8_t* Code() const { return code_.Data(); }
  size_t Size() const { return size_; }
  // The tag an instruction's opcode word holds once translated.
  static uint32_t Tag(uint32_t index) { return kTranslatedOpcodeBase + index; }
  // False where no compiler is built (not x86-64): Compile always fails there.
  static bool Supported();

 private:
  GuestMemory& memory_;
  host::ExecutableMemory code_;
  size_t size_ = 0;
  uint32_t firstEntry_ = 0;
  uint32_t entryCount_ = 0;
};

}  // namespace bw

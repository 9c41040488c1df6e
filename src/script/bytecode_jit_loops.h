// Loops of a translated block compiled as a whole. A loop whose instructions only move,
// compute, test, count and jump, and never store to a word the loop reads as an instruction,
// runs from code that compares those words with their translation once, when the loop is
// entered, and then trusts them: operands that the loop never rewrites become constants, the
// variables the loop reads most live in registers (every store still goes to memory), and a
// value stored into the next instruction's operand is handed on in its register. A store
// through a pointer into the loop's code or those variables leaves for the plain code, which
// checks every instruction again.
#pragma once

#include <cstdint>
#include <vector>

#include "script/guest_memory.h"
#include "script/jit_assembler.h"
#include "script/threaded_code.h"

namespace bw {

// The exits every translated block starts with, for both variants.
enum JitExit : uint16_t {
  kExitFault,
  kExitDispatch,  // eax: the target address
  kExitHandOver,  // eax: where the interpreter goes on
  kExitLeave,
  kExitNative,
  kExitCount
};

struct TranslatedLoop {
  size_t first = 0, last = 0;  // the instructions, by index
  // Per variant (plain, counted): the entry, placed right before the first instruction's code,
  // and the body, placed anywhere.
  jit::MachineCode entry[2];
  jit::MachineCode body[2];
};

// Finds the loops of list (the instructions of one block) that can run trusted and translates
// them, registers used as the template compiler uses them. Instruction i's opcode word will
// hold the tag firstTag + i.
std::vector<TranslatedLoop> TranslateLoops(GuestMemory& memory,
                                           const std::vector<ListedInstruction>& list,
                                           uint32_t firstTag);

}  // namespace bw

// The template compiler's templates: one per opcode (with a specialised form where the
// instruction's address operands are trusted while they read as translated), the entry stub,
// the exits of both variants and the unit of the instruction limit, each a list of template
// words that the emitter copies and patches.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "script/bytecode_jit.h"
#include "script/bytecode_jit_loops.h"

namespace bw::jit {

// Template words: a byte to emit, or a 32-bit patch.
constexpr uint16_t kEnd = 0xFFFF;
constexpr uint16_t kEndIf = 0xF5FF;        // closes a kIfForwarded part
constexpr uint16_t kIfForwarded = 0xF600;  // + k: the words up to kEndIf are emitted only where
                                           // kForwarded + k names a word (else they test nothing)
constexpr uint16_t kTakesResult = 3;       // kIfForwarded + this: where the next instruction is a
                                           // move from memory
constexpr uint16_t kNextLoaded = 0xF200;   // rel32 to the next instruction's code behind its load
                                           // of the word operand 1 names (a move from memory)
constexpr uint16_t kAfter = 0xF300;        // rel32 to the next instruction's code (or the trailer)
constexpr uint16_t kSlowCode = 0xF400;     // rel32 to this instruction's general code, out of line
constexpr uint16_t kColdCode = 0xF700;     // rel32 to this instruction's out-of-line part
constexpr uint16_t kNextCode = 0xF800;     // + n: rel32 to byte n of the next instruction's code
constexpr uint16_t kForwarded = 0xF900;    // + k: address of the next instruction's word k when its
                                           // code starts by loading words 1 to k, else 0
constexpr uint16_t kJumpTarget = 0xFA00;   // + k: rel32 to the code of the instruction operand k
                                           // named at translation time (else the dispatch exit)
constexpr uint16_t kOldOperand = 0xFB00;   // + k: operand k's value at translation time
constexpr uint16_t kExit = 0xFC00;         // + e: rel32 to this block's exit e
constexpr uint16_t kWordAddress = 0xFD00;  // + k: guest address of word k of this instruction
constexpr uint16_t kNextAddress = 0xFE00;  // + k: guest address of word k of the next instruction
constexpr uint16_t kField = 0xFF00;        // + f: displacement of context field f

constexpr uint16_t kCountedExit = 8;  // kExit + kCountedExit + e: exit e of the counted variant

inline constexpr uint32_t kFieldOffsets[] = {
    offsetof(JitContext, ip),          offsetof(JitContext, sp),
    offsetof(JitContext, ret),         offsetof(JitContext, budget),
    offsetof(JitContext, entries),     offsetof(JitContext, entryCount),
    offsetof(JitContext, stackSpan4),  offsetof(JitContext, span4),
    offsetof(JitContext, stackBottom), offsetof(JitContext, stackTop),
    offsetof(JitContext, savedRsp),    offsetof(JitContext, base),
    offsetof(JitContext, native),      offsetof(JitContext, counted)};
enum Field : uint16_t {
  kIp,
  kSp,
  kRet,
  kBudget,
  kEntries,
  kEntryCount,
  kStackSpan,
  kSpan,
  kStackBottom,
  kStackTop,
  kSavedRsp,
  kBase,
  kNative,
  kCounted
};

// Registers: r15 the arena's host address, r14 the context, r13d the guest stack pointer, r12d
// the used arena's span, ebx and ebp the stack's bottom and top; the rest is scratch.

using Words = std::vector<uint16_t>;

bool IsMarker(uint16_t w);
// The bytes a template emits, its kIfForwarded parts all counted.
size_t ByteSize(const Words& t);
void B(Words& t, std::initializer_list<int> bytes);
void P(Words& t, uint16_t patch);
void Disp32(Words& t, int32_t v);
// Behind a move into the next instruction's second operand word: on into its code with the
// values in eax and ecx.
void ForwardedSecond(Words& t);
// The operand words (bit k for word k) the specialised form of op trusts to name addresses.
uint32_t AddressWords(uint32_t op);
// The operand word naming where the specialised form of op stores eax, 0 for none.
uint32_t ResultWord(uint32_t op);

struct Template {
  Words words;
  Words fast;  // the specialised form without its ending, empty when there is none
  Words cold;
  uint32_t operands = 0;  // low 8 bits: operand words; 0x100: a list up to a -1 word follows
  uint32_t size = 0;
  uint32_t coldSize = 0;
};

struct Templates {
  std::array<Template, BytecodeJit::kStubIndex + 1> table;
  Words exits[2][kExitCount];
  size_t exitSize[2][kExitCount] = {};
  Words count;
  size_t countSize = 0;
};

const Templates& TheTemplates();

// Whether a template starts by loading operand words 1 to k into eax and ecx.
bool StartsWithLoads(const Words& t, uint32_t k);
// The specialised move's load of its source, and the general one's.
constexpr size_t kConstantLoadSize = 7;
size_t MoveLoadSize();

}  // namespace bw::jit

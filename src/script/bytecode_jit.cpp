#include "script/bytecode_jit.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "script/bytecode_jit_loops.h"
#include "script/bytecode_vm.h"
#include "script/threaded_code.h"

namespace bw {

#if defined(__x86_64__)

namespace {

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

constexpr uint32_t kFieldOffsets[] = {
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
enum Reg : int { eax, ecx, edx, ebx, esp, ebp, esi, edi, r8, r9, r10, r11, r12, r13, r14, r15 };

using Words = std::vector<uint16_t>;

bool IsMarker(uint16_t w) {
  return w == kEnd || w == kEndIf || (w & 0xFF00) == kIfForwarded;
}
size_t ByteSize(const Words& t) {
  size_t n = 0;
  for (uint16_t w : t) n += IsMarker(w) ? 0 : w < 0x100 ? 1 : 4;
  return n;
}

void B(Words& t, std::initializer_list<int> bytes) {
  for (int b : bytes) t.push_back(static_cast<uint16_t>(b & 0xFF));
}
void P(Words& t, uint16_t patch) {
  t.push_back(patch);
}
void Append(Words& t, const Words& part) {
  t.insert(t.end(), part.begin(), part.end());
}
void Disp32(Words& t, int32_t v) {
  for (int i = 0; i < 4; ++i)
    t.push_back(static_cast<uint16_t>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}

// mov r, [r15 + address of word k]
void LoadOperand(Words& t, int r, int k) {
  B(t, {0x41 | (r >> 3) << 2, 0x8B, 0x80 | (r & 7) << 3 | 7});
  P(t, static_cast<uint16_t>(kWordAddress + k));
}
// Faults unless r is an address of a word in the used arena.
void CheckAddress(Words& t, int r) {
  B(t, {0x44 | (r >> 3), 0x8D, 0x80 | (r & 7)});  // lea r8d, [r - kNullPage]
  Disp32(t, -static_cast<int32_t>(GuestMemory::kNullPage));
  B(t, {0x45, 0x39, 0xE0});  // cmp r8d, r12d
  B(t, {0x0F, 0x87});        // ja fault
  P(t, kExit + kExitFault);
}
// opcode reg, [r15 + index]
void Indexed(Words& t, int opcode, int reg, int index) {
  B(t,
    {0x41 | (reg >> 3) << 2 | (index >> 3) << 1, opcode, (reg & 7) << 3 | 4, (index & 7) << 3 | 7});
}
void LoadGuest(Words& t, int dst, int address) {
  Indexed(t, 0x8B, dst, address);
}
void StoreGuest(Words& t, int address, int src) {
  Indexed(t, 0x89, src, address);
}
// [operand k] := r (eax), checked.
void StoreResult(Words& t, int k, int r = eax) {
  LoadOperand(t, ecx, k);
  CheckAddress(t, ecx);
  StoreGuest(t, ecx, r);
}
// Faults unless a word fits above the stack pointer.
void CheckPush(Words& t) {
  B(t, {0x41, 0x89, 0xE8});        // mov r8d, ebp
  B(t, {0x45, 0x29, 0xE8});        // sub r8d, r13d
  B(t, {0x41, 0x83, 0xF8, 0x03});  // cmp r8d, 3
  B(t, {0x0F, 0x86});              // jbe fault
  P(t, kExit + kExitFault);
}
void Push(Words& t, int r) {
  CheckPush(t);
  Indexed(t, 0x89, r, r13);
  B(t, {0x41, 0x83, 0xC5, 0x04});  // add r13d, 4
}
void Pop(Words& t, int r) {
  B(t, {0x45, 0x89, 0xE8});        // mov r8d, r13d
  B(t, {0x41, 0x29, 0xD8});        // sub r8d, ebx
  B(t, {0x41, 0x83, 0xF8, 0x03});  // cmp r8d, 3
  B(t, {0x0F, 0x86});              // jbe fault
  P(t, kExit + kExitFault);
  B(t, {0x41, 0x83, 0xED, 0x04});  // sub r13d, 4
  Indexed(t, 0x8B, r, r13);
}
// r9d := the address of S(n), checked against the stack.
void StackAddress(Words& t, int n) {
  B(t, {0x45, 0x89, 0xE9});                                 // mov r9d, r13d
  B(t, {0x41 | (n >> 3) << 2, 0x29, 0xC1 | (n & 7) << 3});  // sub r9d, n
  B(t, {0x45, 0x89, 0xC8});                                 // mov r8d, r9d
  B(t, {0x41, 0x29, 0xD8});                                 // sub r8d, ebx
  B(t, {0x45, 0x3B, 0x86});                                 // cmp r8d, [r14 + stackSpan4]
  P(t, kField + kStackSpan);
  B(t, {0x0F, 0x87});  // ja fault
  P(t, kExit + kExitFault);
}
// Continues at eax: straight to the code of operand k's target of translation time while the
// operand still names it, else through the dispatch exit.
void JumpTo(Words& t, int k) {
  B(t, {0x3D});  // cmp eax, old
  P(t, static_cast<uint16_t>(kOldOperand + k));
  B(t, {0x0F, 0x84});  // je target
  P(t, static_cast<uint16_t>(kJumpTarget + k));
  B(t, {0xE9});
  P(t, kExit + kExitDispatch);
}
// Emits part behind a short jump (jcc, 0x70 + condition) over it.
void SkipOver(Words& t, int jcc, const Words& part) {
  B(t, {jcc, static_cast<int>(ByteSize(part))});
  Append(t, part);
}
// Behind a move that stored eax at ecx. Compiled scripts hand values on by moving them into the
// next instruction's operand words; when the move went there and the next code starts by loading
// those words, it is entered behind the loads with the values already in eax and ecx, sparing a
// load that would wait for the store just made.
void ForwardedSecond(Words& t) {
  B(t, {0x89, 0xC1});        // mov ecx, eax
  B(t, {0x41, 0x8B, 0x87});  // mov eax, [r15 + next word 1]
  P(t, kNextAddress + 1);
  B(t, {0xE9});
  P(t, kNextCode + 14);
}
// A move into neither word goes on in sequence without a branch; into word 2 it goes out of
// line (ForwardedSecond).
// Where the next instruction cannot take a word so, its test is left out.
void ForwardMoved(Words& t) {
  P(t, kIfForwarded + 1);
  B(t, {0x81, 0xF9});  // cmp ecx, the next instruction's word 1
  P(t, kForwarded + 1);
  B(t, {0x0F, 0x84});
  P(t, kNextCode + 7);
  P(t, kEndIf);
  P(t, kIfForwarded + 2);
  B(t, {0x81, 0xF9});  // cmp ecx, the next instruction's word 2
  P(t, kForwarded + 2);
  Words second;
  ForwardedSecond(second);
  SkipOver(t, 0x75, second);
  P(t, kEndIf);
}

// The start of a move from memory: eax := [operand 1], checked.
void MoveLoad(Words& t) {
  LoadOperand(t, edx, 1);
  CheckAddress(t, edx);
  LoadGuest(t, eax, edx);
}
// Behind a result stored from eax at ecx. Compiled scripts read a result back at once, moving it
// into the next instruction's operand; when the next move reads the word just stored, it is
// entered behind its load with the value still in eax.
void ForwardResult(Words& t) {
  P(t, kIfForwarded + kTakesResult);
  B(t, {0x41, 0x3B, 0x8F});  // cmp ecx, [r15 + the next instruction's word 1]
  P(t, kNextAddress + 1);
  B(t, {0x0F, 0x84});
  P(t, kNextLoaded);
  P(t, kEndIf);
}
// [operand 3] := eax, handed on to a move that reads it next.
void StoreThirdResult(Words& t) {
  StoreResult(t, 3);
  ForwardResult(t);
}

// The specialised form of an instruction trusts that each operand word naming an address still
// names the one it named at translation time, valid then and so for good (the used arena only
// grows): a guard compares the word with that address, and the access goes there unchecked.
// Compiled scripts rewrite value operands, seldom addresses; a guard that fails runs the
// instruction's general code instead.
void Guard(Words& t, int k) {
  B(t, {0x41, 0x81, 0xBF});  // cmp dword [r15 + word k], old
  P(t, static_cast<uint16_t>(kWordAddress + k));
  P(t, static_cast<uint16_t>(kOldOperand + k));
  B(t, {0x0F, 0x85});
  P(t, kSlowCode);
}
// [r15 + old operand k], as the memory operand of opcode with reg.
void AtOld(Words& t, int opcode, int reg, int k) {
  B(t, {0x41, opcode, 0x87 | reg << 3});
  P(t, static_cast<uint16_t>(kOldOperand + k));
}
// [operand k] := eax; the specialised form stores at the guarded address and leaves handing the
// value on to the translator, which knows where it went.
void StoreTo(Words& t, int k, bool fast) {
  if (!fast) return StoreResult(t, k);
  Guard(t, k);
  AtOld(t, 0x89, eax, k);
}
void StoreThird(Words& t, bool fast) {
  if (fast) return StoreTo(t, 3, true);
  StoreThirdResult(t);
}

void Binary(Words& t, std::initializer_list<int> op, bool fast) {
  LoadOperand(t, eax, 1);
  LoadOperand(t, ecx, 2);
  B(t, op);
  StoreThird(t, fast);
}
void Divide(Words& t, int opcode, bool fast) {
  LoadOperand(t, eax, 1);
  LoadOperand(t, ecx, 2);
  B(t, {0x85, 0xC9, 0x0F, 0x84});  // test ecx, ecx; jz fault
  P(t, kExit + kExitFault);
  // By -1 the quotient is the negation (INT_MIN stays) and the remainder 0: idiv would trap.
  B(t, {0x83, 0xF9, 0xFF, 0x74, 0x05, 0x99, 0xF7, 0xF9, 0xEB, 0x02});
  if (opcode == 16) {
    B(t, {0xF7, 0xD8});  // neg eax
  } else {
    B(t, {0x31, 0xD2});                                            // xor edx, edx
    if (opcode == 18) B(t, {0x85, 0xD2, 0x79, 0x02, 0x01, 0xCA});  // a negative rest plus b
    B(t, {0x89, 0xD0});
  }
  StoreThird(t, fast);
}
void Compare(Words& t, int setcc, bool fast) {
  LoadOperand(t, eax, 1);
  LoadOperand(t, ecx, 2);
  B(t, {0x31, 0xD2, 0x39, 0xC8, 0x0F, setcc, 0xC2, 0x89, 0xD0});
  StoreThird(t, fast);
}

// The operand words (bit k for word k) the specialised form of op trusts to name addresses.
uint32_t AddressWords(uint32_t op) {
  if (op == 32 || op == 39) return 6;
  if (op == 26 || op == 27) return 2;
  if (op == 22 || op == 23 || op == 31 || op == 33) return 4;
  if ((op >= 13 && op <= 21) || op == 24 || op == 25 || (op >= 41 && op <= 46)) return 8;
  return 0;
}
// The operand word naming where the specialised form of op stores eax, 0 for none.
uint32_t ResultWord(uint32_t op) {
  const uint32_t words = AddressWords(op);
  if (op == 26 || op == 27 || op == 33) return 0;
  return words & 8 ? 3 : words & 4 ? 2 : 0;
}

// The general template of op, or with fast its specialised form (empty where it has none).
Words InstructionTemplate(uint32_t op, bool fast = false) {
  Words t;
  if (fast) {
    if (!AddressWords(op)) return t;
    switch (op) {
      case 26:
      case 27:  // starts with the load of word 1, as the general form: a move may forward it
        LoadOperand(t, eax, 1);
        B(t, {0x3D});  // cmp eax, old
        P(t, kOldOperand + 1);
        B(t, {0x0F, 0x85});
        P(t, kSlowCode);
        AtOld(t, 0xFF, op == 26 ? 0 : 1, 1);
        return t;
      case 31:
        LoadOperand(t, eax, 1);
        StoreTo(t, 2, true);
        return t;
      case 32:  // the load goes first: a result stored there may skip it
        AtOld(t, 0x8B, eax, 1);
        Guard(t, 1);
        StoreTo(t, 2, true);
        return t;
      case 33:  // the pointer's own address is trusted, the pointer checked
        LoadOperand(t, eax, 1);
        Guard(t, 2);
        AtOld(t, 0x8B, ecx, 2);
        CheckAddress(t, ecx);
        StoreGuest(t, ecx, eax);
        return t;
      case 39:
        Guard(t, 1);
        AtOld(t, 0x8B, edx, 1);
        CheckAddress(t, edx);
        LoadGuest(t, eax, edx);
        StoreTo(t, 2, true);
        return t;
      default:
        break;
    }
  }
  switch (op) {
    case 0:  // wait
      B(t, {0xB9});
      P(t, kNextAddress);
      B(t, {0xB8, 1, 0, 0, 0, 0xE9});
      P(t, kExit + kExitLeave);
      break;
    case 1:  // return; 0 ends the script
      Pop(t, eax);
      B(t, {0x85, 0xC0, 0x0F, 0x85});
      P(t, kExit + kExitDispatch);
      B(t, {0xB9});
      P(t, kNextAddress);
      B(t, {0xE9});
      P(t, kExit + kExitLeave);
      break;
    case 2: {  // return with value
      Pop(t, eax);
      B(t, {0x85, 0xC0});
      Words taken;
      LoadOperand(taken, edx, 1);
      B(taken, {0x41, 0x89, 0x96});  // mov [r14 + ret], edx
      P(taken, kField + kRet);
      B(taken, {0xE9});
      P(taken, kExit + kExitDispatch);
      SkipOver(t, 0x74, taken);
      B(t, {0xB9});
      P(t, kNextAddress);
      B(t, {0xE9});
      P(t, kExit + kExitLeave);
      break;
    }
    case 3:
      LoadOperand(t, ecx, 1);
      CheckAddress(t, ecx);
      B(t, {0x41, 0x8B, 0x86});  // mov eax, [r14 + ret]
      P(t, kField + kRet);
      StoreGuest(t, ecx, eax);
      break;
    case 4:  // call
      LoadOperand(t, eax, 1);
      CheckPush(t);
      B(t, {0x43, 0xC7, 0x04, 0x2F});  // mov dword [r15 + r13], next
      P(t, kNextAddress);
      B(t, {0x41, 0x83, 0xC5, 0x04});
      JumpTo(t, 1);
      break;
    case 5:  // native call
      LoadOperand(t, esi, 1);
      LoadOperand(t, edx, 2);
      LoadOperand(t, ecx, 3);
      B(t, {0x41, 0xB8});  // mov r8d, address of dest
      P(t, kWordAddress + 3);
      B(t, {0xE8});
      P(t, kExit + kExitNative);
      break;
    case 6:
      LoadOperand(t, eax, 1);
      JumpTo(t, 1);
      break;
    case 7: {  // switch: walk the table live up to the index, faulting on its -1 word
      LoadOperand(t, eax, 1);
      B(t, {0xB9});
      P(t, kWordAddress + 2);
      B(t, {0x31, 0xD2});
      Words loop;
      CheckAddress(loop, ecx);
      LoadGuest(loop, esi, ecx);
      B(loop, {0x83, 0xFE, 0xFF, 0x0F, 0x84});
      P(loop, kExit + kExitFault);
      B(loop, {0x39, 0xC2, 0x74, 0x07, 0xFF, 0xC2, 0x83, 0xC1, 0x04, 0xEB});
      B(loop, {-static_cast<int>(ByteSize(loop) + 1)});
      Append(t, loop);
      B(t, {0x89, 0xF0, 0xE9});
      P(t, kExit + kExitDispatch);
      break;
    }
    case 8:
      LoadOperand(t, eax, 1);
      Push(t, eax);
      break;
    case 9:
      LoadOperand(t, eax, 1);
      CheckAddress(t, eax);
      LoadGuest(t, eax, eax);
      Push(t, eax);
      break;
    case 10:
      LoadOperand(t, ecx, 1);
      Pop(t, eax);
      CheckAddress(t, ecx);
      StoreGuest(t, ecx, eax);
      break;
    case 11:  // sp += a, 64 bits wide against the top
      LoadOperand(t, eax, 1);
      B(t, {0x45, 0x89, 0xE8, 0x49, 0x01, 0xC0, 0x49, 0x39, 0xE8, 0x0F, 0x87});
      P(t, kExit + kExitFault);
      B(t, {0x45, 0x89, 0xC5});
      break;
    case 12:  // sp -= a, 64 bits wide against the bottom
      LoadOperand(t, eax, 1);
      B(t, {0x41, 0x89, 0xD8, 0x49, 0x01, 0xC0, 0x45, 0x89, 0xE9, 0x4D, 0x39, 0xC1, 0x0F, 0x82});
      P(t, kExit + kExitFault);
      B(t, {0x41, 0x29, 0xC5});
      break;
    case 13:
      Binary(t, {0x01, 0xC8}, fast);
      break;
    case 14:
      Binary(t, {0x29, 0xC8}, fast);
      break;
    case 15:
      Binary(t, {0x0F, 0xAF, 0xC1}, fast);
      break;
    case 16:
    case 17:
    case 18:
      Divide(t, static_cast<int>(op), fast);
      break;
    case 19:
      Binary(t, {0x21, 0xC8}, fast);
      break;
    case 20:
      Binary(t, {0x09, 0xC8}, fast);
      break;
    case 21:
      Binary(t, {0x31, 0xC8}, fast);
      break;
    case 22:
      LoadOperand(t, eax, 1);
      B(t, {0xF7, 0xD0});
      StoreTo(t, 2, fast);
      break;
    case 23:
      LoadOperand(t, eax, 1);
      B(t, {0x31, 0xD2, 0x85, 0xC0, 0x0F, 0x94, 0xC2, 0x89, 0xD0});
      StoreTo(t, 2, fast);
      break;
    case 24:
      Binary(t, {0xD3, 0xF8}, fast);
      break;
    case 25:
      Binary(t, {0xD3, 0xE0}, fast);
      break;
    case 26:
    case 27:
      LoadOperand(t, eax, 1);
      CheckAddress(t, eax);
      B(t, {0x41, 0xFF, op == 26 ? 0x04 : 0x0C, 0x07});
      break;
    case 28:
    case 29:
      LoadOperand(t, eax, 1);
      StackAddress(t, eax);
      B(t, {0x43, 0xFF, op == 28 ? 0x04 : 0x0C, 0x0F});
      break;
    case 30:  // when a = 0 continue at b, out of line: going on in sequence takes no branch
      LoadOperand(t, eax, 1);
      B(t, {0x85, 0xC0, 0x0F, 0x84});
      P(t, kColdCode);
      break;
    case 31:
      LoadOperand(t, eax, 1);
      StoreResult(t, 2);
      ForwardMoved(t);
      break;
    case 32:
      MoveLoad(t);
      StoreResult(t, 2);
      ForwardMoved(t);
      break;
    case 33:
      LoadOperand(t, eax, 1);
      LoadOperand(t, edx, 2);
      CheckAddress(t, edx);
      LoadGuest(t, ecx, edx);
      CheckAddress(t, ecx);
      StoreGuest(t, ecx, eax);
      break;
    case 34:
      LoadOperand(t, eax, 1);
      LoadOperand(t, edx, 2);
      StackAddress(t, edx);
      StoreGuest(t, r9, eax);
      break;
    case 35:
      LoadOperand(t, edx, 1);
      StackAddress(t, edx);
      LoadGuest(t, eax, r9);
      StoreResult(t, 2);
      break;
    case 36:
      LoadOperand(t, edx, 1);
      CheckAddress(t, edx);
      LoadGuest(t, eax, edx);
      LoadOperand(t, edx, 2);
      StackAddress(t, edx);
      StoreGuest(t, r9, eax);
      break;
    case 37:
      LoadOperand(t, edx, 1);
      StackAddress(t, edx);
      LoadGuest(t, eax, r9);
      LoadOperand(t, edx, 2);
      StackAddress(t, edx);
      StoreGuest(t, r9, eax);
      break;
    case 38:
      LoadOperand(t, edx, 1);
      StackAddress(t, edx);
      LoadGuest(t, edx, r9);
      CheckAddress(t, edx);
      LoadGuest(t, eax, edx);
      StoreResult(t, 2);
      break;
    case 39:
      LoadOperand(t, edx, 1);
      CheckAddress(t, edx);
      LoadGuest(t, edx, edx);
      CheckAddress(t, edx);
      LoadGuest(t, eax, edx);
      StoreResult(t, 2);
      break;
    case 40:
      LoadOperand(t, ecx, 1);
      B(t, {0x44, 0x89, 0xE8, 0x29, 0xC8});  // mov eax, r13d; sub eax, ecx
      StoreResult(t, 2);
      break;
    case 41:
      Compare(t, 0x9C, fast);
      break;
    case 42:
      Compare(t, 0x9E, fast);
      break;
    case 43:
      Compare(t, 0x9F, fast);
      break;
    case 44:
      Compare(t, 0x9D, fast);
      break;
    case 45:
      Compare(t, 0x94, fast);
      break;
    case 46:
      Compare(t, 0x95, fast);
      break;
    default:
      break;
  }
  return t;
}

// The out-of-line part of an instruction, behind all instructions of its variant.
Words ColdTemplate(uint32_t op) {
  Words t;
  if (op == 30) {
    LoadOperand(t, eax, 2);
    JumpTo(t, 2);
  }
  return t;
}

// The entry stub and the exits, at the start of every block. The stub saves the callee-saved
// registers, loads the fixed ones from the context and dispatches on context.ip.
Words StubTemplate() {
  Words t;
  B(t, {0x53, 0x55, 0x41, 0x54, 0x41, 0x55, 0x41, 0x56, 0x41, 0x57});  // push rbx .. r15
  B(t, {0x48, 0x83, 0xEC, 0x08});                                      // keep calls aligned
  B(t, {0x49, 0x89, 0xFE});                                            // mov r14, rdi
  B(t, {0x49, 0x89, 0xA6});                                            // mov [r14 + savedRsp], rsp
  P(t, kField + kSavedRsp);
  B(t, {0x4D, 0x8B, 0xBE});  // mov r15, [r14 + base]
  P(t, kField + kBase);
  B(t, {0x45, 0x8B, 0xAE});  // mov r13d, [r14 + sp]
  P(t, kField + kSp);
  B(t, {0x45, 0x8B, 0xA6});  // mov r12d, [r14 + span4]
  P(t, kField + kSpan);
  B(t, {0x41, 0x8B, 0x9E});  // mov ebx, [r14 + stackBottom]
  P(t, kField + kStackBottom);
  B(t, {0x41, 0x8B, 0xAE});  // mov ebp, [r14 + stackTop]
  P(t, kField + kStackTop);
  B(t, {0x41, 0x8B, 0x86});  // mov eax, [r14 + ip]
  P(t, kField + kIp);
  B(t, {0x41, 0x83, 0xBE});  // cmp dword [r14 + counted], 0
  P(t, kField + kCounted);
  B(t, {0x00, 0x0F, 0x85});  // jne: the counted variant's dispatch
  P(t, kExit + kCountedExit + kExitDispatch);
  B(t, {0xE9});
  P(t, kExit + kExitDispatch);
  t.push_back(kEnd);
  return t;
}

// Exit e; counted selects the variant whose code the dispatch enters.
Words ExitTemplate(int e, bool counted) {
  Words t;
  switch (e) {
    case kExitLeave:  // eax: the result, ecx: the instruction pointer
      B(t, {0x41, 0x89, 0x8E});
      P(t, kField + kIp);
      B(t, {0x45, 0x89, 0xAE});
      P(t, kField + kSp);
      B(t, {0x49, 0x8B, 0xA6});
      P(t, kField + kSavedRsp);
      B(t,
        {0x48, 0x83, 0xC4, 0x08, 0x41, 0x5F, 0x41, 0x5E, 0x41, 0x5D, 0x41, 0x5C, 0x5D, 0x5B, 0xC3});
      break;
    case kExitFault:  // the instruction pointer stays where the run began
      B(t, {0xB8, kRunFault, 0, 0, 0, 0x41, 0x8B, 0x8E});
      P(t, kField + kIp);
      B(t, {0xE9});
      P(t, kExit + kExitLeave);
      break;
    case kExitHandOver:  // eax: where the interpreter goes on
      B(t, {0x89, 0xC1, 0xB8, kRunHandOver, 0, 0, 0, 0xE9});
      P(t, kExit + kExitLeave);
      break;
    case kExitDispatch:  // eax: the target; enter its code only through an entry naming it
      CheckAddress(t, eax);
      t.back() = kExit + kExitHandOver;            // a bad target is the interpreter's to fault on
      B(t, {0x41, 0x8B, 0x0C, 0x07, 0x81, 0xE9});  // mov ecx, [r15 + rax]; sub ecx, tag base
      Disp32(t, static_cast<int32_t>(kTranslatedOpcodeBase));
      B(t, {0x41, 0x3B, 0x8E});  // cmp ecx, [r14 + entryCount]
      P(t, kField + kEntryCount);
      B(t, {0x0F, 0x83});
      P(t, kExit + kExitHandOver);
      B(t, {0x48, 0xC1, 0xE1, 0x05, 0x49, 0x03, 0x8E});  // shl rcx, 5; add rcx, [r14 + entries]
      P(t, kField + kEntries);
      B(t, {0x39, 0x41, static_cast<int>(offsetof(TranslationEntry, guest)), 0x0F, 0x85});
      P(t, kExit + kExitHandOver);
      if (counted) {
        B(t, {0xFF, 0x61, static_cast<int>(offsetof(TranslationEntry, countedCode))});
      } else {
        B(t, {0xFF, 0x21});
      }
      break;
    case kExitNative:  // esi fn, edx args, ecx dest, r8d the dest operand's address
      B(t, {0x45, 0x89, 0xAE});
      P(t, kField + kSp);
      B(t, {0x4C, 0x89, 0xF7, 0x48, 0x83, 0xEC, 0x08, 0x41, 0xFF, 0x96});  // mov rdi, r14; call
      P(t, kField + kNative);
      B(t, {0x48, 0x83, 0xC4, 0x08, 0x45, 0x8B, 0xAE});
      P(t, kField + kSp);
      B(t, {0x45, 0x8B, 0xA6});  // the native may have allocated
      P(t, kField + kSpan);
      B(t, {0x85, 0xC0, 0x0F, 0x84});
      P(t, kExit + kExitFault);
      B(t, {0xC3});
      break;
    default:
      break;
  }
  t.push_back(kEnd);
  return t;
}

// Spends one unit of the instruction limit; faults when none is left.
Words CountTemplate() {
  Words t;
  B(t, {0x49, 0x83, 0xAE});
  P(t, kField + kBudget);
  B(t, {0x01, 0x0F, 0x82});
  P(t, kExit + kExitFault);
  t.push_back(kEnd);
  return t;
}

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

const Templates& TheTemplates() {
  static const Templates templates = [] {
    Templates t;
    for (uint32_t op = 0; op < kOpcodeCount; ++op) {
      t.table[op].words = InstructionTemplate(op);
      t.table[op].words.push_back(kEnd);
      t.table[op].fast = InstructionTemplate(op, true);
      t.table[op].cold = ColdTemplate(op);
      t.table[op].coldSize = static_cast<uint32_t>(ByteSize(t.table[op].cold));
      t.table[op].cold.push_back(kEnd);
      t.table[op].operands = kOpcodeOperands[op] | (op == 7 ? 0x100 : 0);
    }
    t.table[BytecodeJit::kStubIndex].words = StubTemplate();
    for (Template& e : t.table) e.size = static_cast<uint32_t>(ByteSize(e.words));
    for (int v = 0; v < 2; ++v) {
      for (int e = 0; e < kExitCount; ++e) {
        t.exits[v][e] = ExitTemplate(e, v == 1);
        t.exitSize[v][e] = ByteSize(t.exits[v][e]);
      }
    }
    t.count = CountTemplate();
    t.countSize = ByteSize(t.count);
    return t;
  }();
  return templates;
}

struct Instruction {
  uint32_t address;
  uint32_t opcode;
  uint32_t next;
  uint32_t index;
};

// Whether a template starts by loading operand words 1 to k into eax and ecx (LoadOperand).
bool StartsWithLoads(const Words& t, uint32_t k) {
  const Words loads = [] {
    Words w;
    LoadOperand(w, eax, 1);
    LoadOperand(w, ecx, 2);
    return w;
  }();
  const size_t n = loads.size() / 2 * k;
  return k >= 1 && k <= 2 && t.size() >= n &&
         std::equal(loads.begin(), loads.begin() + n, t.begin());
}

// The specialised move's load of its source (AtOld), and the general one's (MoveLoad).
constexpr size_t kConstantLoadSize = 7;
size_t MoveLoadSize() {
  static const size_t size = [] {
    Words t;
    MoveLoad(t);
    return ByteSize(t);
  }();
  return size;
}

// Writes templates into the mapping, patching as it goes.
class Emitter {
 public:
  explicit Emitter(GuestMemory& memory) : memory_(memory) {}
  void SetOutput(uint8_t* out) { out_ = out; }

  size_t Position() const { return at_; }
  // The variant's exits and the code of each instruction, as offsets from the block's start.
  size_t exits[2][kExitCount] = {};
  // Where a jump enters each instruction (a loop's entry before its first instruction), and
  // where the instruction's own code starts.
  std::vector<size_t> code[2];
  std::vector<size_t> start[2];
  std::vector<size_t> cold[2];
  std::vector<size_t> slow;      // the general code of specialised instructions (plain variant)
  std::vector<uint8_t> special;  // whether an instruction's plain code is its specialised form
  size_t trailer[2] = {};
  std::unordered_map<uint32_t, size_t> indexOf;
  const std::vector<Instruction>* list = nullptr;
  const Templates* templates = nullptr;

  // Whether the next instruction's code starts by loading words 1 to k, so that a move into its
  // word k may hand the value on in a register; for kTakesResult, whether it is a move from
  // memory. Only the plain variant: the counted one must spend a unit at the next instruction.
  bool Forwards(const Instruction* in, uint32_t k, int variant) const {
    const bool last = in->index + 1 >= list->size();
    if (last || variant != 0) return false;
    const uint32_t next = (*list)[in->index + 1].opcode;
    if (k == kTakesResult) return next == 32;
    return StartsWithLoads(Form(in->index + 1), k);
  }
  // The plain variant's code of instruction i: its specialised form or the general one.
  const Words& Form(size_t i) const {
    const Template& tp = templates->table[(*list)[i].opcode];
    return special[i] ? tp.fast : tp.words;
  }
  // The bytes t takes for in, its kIfForwarded parts counted where they are emitted.
  size_t Size(const Words& t, const Instruction* in, int variant) const {
    size_t n = 0;
    bool skipping = false;
    for (uint16_t w : t) {
      if (w == kEnd) break;
      if (w == kEndIf) {
        skipping = false;
      } else if ((w & 0xFF00) == kIfForwarded) {
        skipping = !Forwards(in, w & 0xFF, variant);
      } else if (!skipping) {
        n += w < 0x100 ? 1 : 4;
      }
    }
    return n;
  }

  // Copies loop code, patching its jumps out; body: where the loop's body starts.
  void EmitLoop(const LoopCode& c, const TranslatedLoop& loop, size_t body, int variant) {
    std::memcpy(out_ + at_, c.bytes.data(), c.bytes.size());
    for (const LoopFixup& f : c.fixups) {
      size_t to = 0;
      switch (f.kind) {
        case LoopFixup::kInstruction:
          to = code[variant][f.value];
          break;
        case LoopFixup::kExit:
          to = exits[variant][f.value];
          break;
        case LoopFixup::kBody:
          to = body + f.value;
          break;
        case LoopFixup::kEntryEnd:
          to = start[variant][loop.first];
          break;
      }
      const uint32_t rel = static_cast<uint32_t>(to - (at_ + f.at + 4));
      std::memcpy(out_ + at_ + f.at, &rel, 4);
    }
    at_ += c.bytes.size();
  }

  bool Emit(const Words& t, const Instruction* in, int variant) {
    bool skipping = false;
    for (uint16_t w : t) {
      if (w == kEnd) return true;
      if (w == kEndIf) {
        skipping = false;
        continue;
      }
      if ((w & 0xFF00) == kIfForwarded) {
        skipping = !Forwards(in, w & 0xFF, variant);
        continue;
      }
      if (skipping) continue;
      if (w < 0x100) {
        out_[at_++] = static_cast<uint8_t>(w);
        continue;
      }
      const uint16_t kind = w & 0xFF00;
      const uint32_t k = w & 0xFF;
      uint32_t value = 0;
      switch (kind) {
        case kWordAddress:
          value = in->address + 4 * k;
          break;
        case kNextAddress:
          value = in->next + 4 * k;
          break;
        case kField:
          if (k >= std::size(kFieldOffsets)) return false;
          value = kFieldOffsets[k];
          break;
        case kExit:
          if (k >= kCountedExit + kExitCount || (k >= kExitCount && k < kCountedExit)) return false;
          value = k >= kCountedExit ? Relative(exits[1][k - kCountedExit])
                                    : Relative(exits[variant][k]);
          break;
        case kOldOperand:
          if (!memory_.Read32(in->address + 4 * k, value)) return false;
          break;
        case kJumpTarget: {
          uint32_t target = 0;
          if (!memory_.Read32(in->address + 4 * k, target)) return false;
          auto it = indexOf.find(target);
          value = Relative(it == indexOf.end() ? exits[variant][kExitDispatch]
                                               : code[variant][it->second]);
          break;
        }
        case kColdCode:
          value = Relative(cold[variant][in->index]);
          break;
        case kSlowCode:
          value = Relative(slow[in->index]);
          break;
        case kAfter: {
          const bool last = in->index + 1 >= list->size();
          value = Relative(last ? trailer[variant] : code[variant][in->index + 1]);
          break;
        }
        case kNextLoaded: {  // only where Forwards(kTakesResult): a plain move follows
          const bool last = in->index + 1 >= list->size();
          if (last || variant != 0) return false;
          value = Relative(start[0][in->index + 1] +
                           (special[in->index + 1] ? kConstantLoadSize : MoveLoadSize()));
          break;
        }
        case kNextCode: {
          const bool last = in->index + 1 >= list->size();
          value =
              Relative(last ? exits[variant][kExitDispatch] : start[variant][in->index + 1] + k);
          break;
        }
        case kForwarded:
          value = Forwards(in, k, variant) ? in->next + 4 * k : 0;
          break;
        default:
          return false;
      }
      std::memcpy(out_ + at_, &value, 4);
      at_ += 4;
    }
    return true;
  }

 private:
  uint32_t Relative(size_t to) const { return static_cast<uint32_t>(to - (at_ + 4)); }

  uint8_t* out_ = nullptr;
  GuestMemory& memory_;
  size_t at_ = 0;
};

// The trailer of a variant: falling off the last instruction hands over at the next address.
constexpr size_t kTrailerSize = 10;

}  // namespace

BytecodeJit::BytecodeJit(GuestMemory& memory) : memory_(memory) {
  TheTemplates();
}

bool BytecodeJit::Supported() {
  return true;
}

int BytecodeJit::Compile(uint32_t instructions, uint32_t byteCount) {
  Release();
  const Templates& t = TheTemplates();

  // Pass 1: the instructions and the size of their code.
  std::vector<ListedInstruction> listed;
  if (!ListInstructions(memory_, instructions, byteCount, listed)) return kCompileFailed;
  std::vector<Instruction> list;
  list.reserve(listed.size());
  for (const ListedInstruction& in : listed)
    list.push_back({in.address, in.opcode, in.next, static_cast<uint32_t>(list.size())});
  const int64_t first = memory_.Translations().Reserve(static_cast<uint32_t>(list.size()));
  if (first < 0) return kCompileFailed;
  auto giveBack = [&] {
    memory_.Translations().Free(static_cast<uint32_t>(first), static_cast<uint32_t>(list.size()));
    code_.Release();
    return kCompileFailed;
  };
  const std::vector<TranslatedLoop> loops =
      TranslateLoops(memory_, listed, Tag(static_cast<uint32_t>(first)));
  Emitter em(memory_);
  em.list = &list;
  em.templates = &t;
  // The plain variant specialises each instruction whose address operands are good now.
  auto old = [this](const Instruction& in, uint32_t k) {
    uint32_t v = 0;
    memory_.Read32(in.address + 4 * k, v);
    return v;
  };
  em.special.assign(list.size(), 0);
  for (const Instruction& in : list) {
    const uint32_t words = AddressWords(in.opcode);
    bool good = words != 0;
    for (uint32_t k = 1; k <= 3; ++k) {
      if (words >> k & 1) good = good && memory_.Valid(old(in, k), 4);
    }
    em.special[in.index] = good;
  }
  // A specialised form knows where it stored its result, so it hands the value on to the next
  // instruction without a test: to a move that reads it, or into the next operand word loaded.
  std::vector<Words> special(list.size());
  for (const Instruction& in : list) {
    if (!em.special[in.index]) continue;
    Words& w = special[in.index];
    w = t.table[in.opcode].fast;
    const uint32_t result = ResultWord(in.opcode);
    if (in.index + 1 < list.size() && result) {
      const uint32_t to = old(in, result);
      const Instruction& next = list[in.index + 1];
      if (em.special[next.index] && next.opcode == 32 && old(next, 1) == to) {
        B(w, {0xE9});
        P(w, static_cast<uint16_t>(kNextCode + kConstantLoadSize));
      } else if (to == next.address + 4 && StartsWithLoads(em.Form(next.index), 1)) {
        B(w, {0xE9});
        P(w, kNextCode + 7);
      } else if (to == next.address + 8 && StartsWithLoads(em.Form(next.index), 2)) {
        ForwardedSecond(w);
      }
    }
    w.push_back(kEnd);
  }
  Words after;  // ends the general code of a specialised instruction
  B(after, {0xE9});
  P(after, kAfter);
  after.push_back(kEnd);

  // The layout: the stub, both variants' exits, then per variant the instructions (a loop's
  // entry before its first), the trailer and the out-of-line parts; the plain variant's general
  // code of specialised instructions, and last the loops' bodies.
  std::vector<const TranslatedLoop*> loopAt(list.size(), nullptr);
  for (const TranslatedLoop& loop : loops) loopAt[loop.first] = &loop;
  size_t offset = t.table[kStubIndex].size;
  for (int v = 0; v < 2; ++v) {
    for (int e = 0; e < kExitCount; ++e) {
      em.exits[v][e] = offset;
      offset += t.exitSize[v][e];
    }
  }
  for (int v = 0; v < 2; ++v) {
    em.code[v].reserve(list.size());
    em.cold[v].reserve(list.size());
    em.start[v].reserve(list.size());
    for (const Instruction& in : list) {
      em.code[v].push_back(offset);
      if (loopAt[in.index]) offset += loopAt[in.index]->entry[v].bytes.size();
      em.start[v].push_back(offset);
      offset += v == 0 && em.special[in.index]
                    ? ByteSize(special[in.index])
                    : em.Size(t.table[in.opcode].words, &in, v) + (v == 1 ? t.countSize : 0);
    }
    em.trailer[v] = offset;
    offset += kTrailerSize;
    for (const Instruction& in : list) {
      em.cold[v].push_back(offset);
      offset += t.table[in.opcode].coldSize;
    }
  }
  em.slow.assign(list.size(), 0);
  for (const Instruction& in : list) {
    if (!em.special[in.index]) continue;
    em.slow[in.index] = offset;
    offset += em.Size(t.table[in.opcode].words, &in, 0) + ByteSize(after);
  }
  std::vector<std::array<size_t, 2>> bodyAt(loops.size());
  for (size_t l = 0; l < loops.size(); ++l) {
    for (int v = 0; v < 2; ++v) {
      bodyAt[l][v] = offset;
      offset += loops[l].body[v].bytes.size();
    }
  }
  const size_t total = offset;

  if (!code_.Map(total)) return giveBack();

  // Pass 2: the layout is known, so every jump is patched as it is emitted.
  em.SetOutput(code_.Data());
  for (size_t i = 0; i < list.size(); ++i) em.indexOf.emplace(list[i].address, i);

  const Instruction none{0, 0, 0, 0};
  bool ok = em.Emit(t.table[kStubIndex].words, &none, 0);
  for (int v = 0; v < 2; ++v) {
    for (int e = 0; e < kExitCount; ++e) ok = ok && em.Emit(t.exits[v][e], &none, v);
  }
  for (int v = 0; v < 2 && ok; ++v) {
    for (const Instruction& in : list) {
      if (const TranslatedLoop* loop = loopAt[in.index]) {
        const size_t l = static_cast<size_t>(loop - loops.data());
        em.EmitLoop(loop->entry[v], *loop, bodyAt[l][v], v);
      }
      if (v == 1) ok = ok && em.Emit(t.count, &in, v);
      const bool own = v == 0 && em.special[in.index];
      ok = ok && em.Emit(own ? special[in.index] : t.table[in.opcode].words, &in, v);
    }
    const uint32_t fallOff = list.empty() ? instructions : list.back().next;
    Words trailer;
    B(trailer, {0xB8});
    Disp32(trailer, static_cast<int32_t>(fallOff));
    B(trailer, {0xE9});
    P(trailer, kExit + kExitHandOver);
    trailer.push_back(kEnd);
    ok = ok && em.Emit(trailer, &none, v);
    for (const Instruction& in : list) ok = ok && em.Emit(t.table[in.opcode].cold, &in, v);
  }
  for (const Instruction& in : list) {
    if (!em.special[in.index]) continue;
    ok = ok && em.Emit(t.table[in.opcode].words, &in, 0) && em.Emit(after, &in, 0);
  }
  for (size_t l = 0; l < loops.size() && ok; ++l) {
    for (int v = 0; v < 2; ++v) em.EmitLoop(loops[l].body[v], loops[l], bodyAt[l][v], v);
  }
  if (!ok || em.Position() != total) return giveBack();
  if (!code_.Seal()) return giveBack();

  // Only now, with the code executable, do the opcode words change.
  size_ = total;
  firstEntry_ = static_cast<uint32_t>(first);
  entryCount_ = static_cast<uint32_t>(list.size());
  std::vector<TranslationEntry>& entries = memory_.Translations().Entries();
  for (size_t i = 0; i < list.size(); ++i) {
    TranslationEntry& e = entries[firstEntry_ + i];
    e.code = code_.Data() + em.code[0][i];
    e.countedCode = code_.Data() + em.code[1][i];
    e.guest = list[i].address;
    e.opcode = list[i].opcode;
    memory_.Write32(list[i].address, Tag(firstEntry_ + static_cast<uint32_t>(i)));
  }
  return kCompileDone;
}

void BytecodeJit::Release() {
  if (!code_.Data()) return;
  TranslationTable& table = memory_.Translations();
  for (uint32_t i = firstEntry_; i < firstEntry_ + entryCount_ && i < table.Count(); ++i) {
    const TranslationEntry& e = table.Entries()[i];
    uint32_t word = 0;
    if (e.guest && memory_.Read32(e.guest, word) && word == Tag(i))
      memory_.Write32(e.guest, e.opcode);
  }
  memory_.TakeFault();
  table.Free(firstEntry_, entryCount_);
  entryCount_ = 0;
  size_ = 0;
  code_.Release();
}

// Generated code carries no type signature for the sanitizer's indirect-call check to read.
#if defined(__clang__)
__attribute__((no_sanitize("function")))
#endif
int BytecodeJit::Enter(JitContext& context) const {
  if (!code_.Data()) return kRunFault;
  using Stub = int (*)(JitContext*);
  Stub stub = reinterpret_cast<Stub>(reinterpret_cast<uintptr_t>(code_.Data()));
  return stub(&context);
}

#else

BytecodeJit::BytecodeJit(GuestMemory& memory) : memory_(memory) {}
bool BytecodeJit::Supported() {
  return false;
}
int BytecodeJit::Compile(uint32_t, uint32_t) {
  return kCompileFailed;
}
void BytecodeJit::Release() {}
int BytecodeJit::Enter(JitContext&) const {
  return kRunFault;
}

#endif

}  // namespace bw

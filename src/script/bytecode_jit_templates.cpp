#include "script/bytecode_jit_templates.h"

#include <algorithm>

#include "script/bytecode_vm.h"
#include "script/jit_assembler.h"
#include "script/opcodes.h"

namespace bw::jit {

#if defined(__x86_64__)

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
void Disp32(Words& t, int32_t v) {
  for (int i = 0; i < 4; ++i)
    t.push_back(static_cast<uint16_t>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}

namespace {

void Append(Words& t, const Words& part) {
  t.insert(t.end(), part.begin(), part.end());
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
}  // namespace

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

namespace {

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
void Divide(Words& t, uint32_t opcode, bool fast) {
  LoadOperand(t, eax, 1);
  LoadOperand(t, ecx, 2);
  B(t, {0x85, 0xC9, 0x0F, 0x84});  // test ecx, ecx; jz fault
  P(t, kExit + kExitFault);
  // By -1 the quotient is the negation (INT_MIN stays) and the remainder 0: idiv would trap.
  B(t, {0x83, 0xF9, 0xFF, 0x74, 0x05, 0x99, 0xF7, 0xF9, 0xEB, 0x02});
  if (opcode == kOpDiv) {
    B(t, {0xF7, 0xD8});  // neg eax
  } else {
    B(t, {0x31, 0xD2});  // xor edx, edx
    if (opcode == kOpModPositive)
      B(t, {0x85, 0xD2, 0x79, 0x02, 0x01, 0xCA});  // a negative rest plus b
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

}  // namespace

// The operand words (bit k for word k) the specialised form of op trusts to name addresses.
uint32_t AddressWords(uint32_t op) {
  if (op == kOpMove || op == kOpDeref) return 6;
  if (op == kOpIncrement || op == kOpDecrement) return 2;
  if (op == kOpNot || op == kOpLogicalNot || op == kOpSet || op == kOpStoreIndirect) return 4;
  if ((op >= kOpAdd && op <= kOpXor) || op == kOpShiftRight || op == kOpShiftLeft ||
      (op >= kOpLess && op <= kOpNotEqual))
    return 8;
  return 0;
}
// The operand word naming where the specialised form of op stores eax, 0 for none.
uint32_t ResultWord(uint32_t op) {
  const uint32_t words = AddressWords(op);
  if (op == kOpIncrement || op == kOpDecrement || op == kOpStoreIndirect) return 0;
  return words & 8 ? 3 : words & 4 ? 2 : 0;
}

namespace {

// The general template of op, or with fast its specialised form (empty where it has none).
Words InstructionTemplate(uint32_t op, bool fast = false) {
  Words t;
  if (fast) {
    if (!AddressWords(op)) return t;
    switch (op) {
      // Starts with the load of word 1, as the general form: a move may forward it.
      case kOpIncrement:
      case kOpDecrement:
        LoadOperand(t, eax, 1);
        B(t, {0x3D});  // cmp eax, old
        P(t, kOldOperand + 1);
        B(t, {0x0F, 0x85});
        P(t, kSlowCode);
        AtOld(t, 0xFF, op == kOpIncrement ? 0 : 1, 1);
        return t;
      case kOpSet:
        LoadOperand(t, eax, 1);
        StoreTo(t, 2, true);
        return t;
      case kOpMove:  // the load goes first: a result stored there may skip it
        AtOld(t, 0x8B, eax, 1);
        Guard(t, 1);
        StoreTo(t, 2, true);
        return t;
      case kOpStoreIndirect:  // the pointer's own address is trusted, the pointer checked
        LoadOperand(t, eax, 1);
        Guard(t, 2);
        AtOld(t, 0x8B, ecx, 2);
        CheckAddress(t, ecx);
        StoreGuest(t, ecx, eax);
        return t;
      case kOpDeref:
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
    case kOpWait:
      B(t, {0xB9});
      P(t, kNextAddress);
      B(t, {0xB8, 1, 0, 0, 0, 0xE9});
      P(t, kExit + kExitLeave);
      break;
    case kOpReturn:  // to 0 ends the script
      Pop(t, eax);
      B(t, {0x85, 0xC0, 0x0F, 0x85});
      P(t, kExit + kExitDispatch);
      B(t, {0xB9});
      P(t, kNextAddress);
      B(t, {0xE9});
      P(t, kExit + kExitLeave);
      break;
    case kOpReturnValue: {
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
    case kOpGetReturn:
      LoadOperand(t, ecx, 1);
      CheckAddress(t, ecx);
      B(t, {0x41, 0x8B, 0x86});  // mov eax, [r14 + ret]
      P(t, kField + kRet);
      StoreGuest(t, ecx, eax);
      break;
    case kOpCall:
      LoadOperand(t, eax, 1);
      CheckPush(t);
      B(t, {0x43, 0xC7, 0x04, 0x2F});  // mov dword [r15 + r13], next
      P(t, kNextAddress);
      B(t, {0x41, 0x83, 0xC5, 0x04});
      JumpTo(t, 1);
      break;
    case kOpNative:
      LoadOperand(t, esi, 1);
      LoadOperand(t, edx, 2);
      LoadOperand(t, ecx, 3);
      B(t, {0x41, 0xB8});  // mov r8d, address of dest
      P(t, kWordAddress + 3);
      B(t, {0xE8});
      P(t, kExit + kExitNative);
      break;
    case kOpJump:
      LoadOperand(t, eax, 1);
      JumpTo(t, 1);
      break;
    case kOpSwitch: {  // walk the table live up to the index, faulting on its -1 word
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
    case kOpPush:
      LoadOperand(t, eax, 1);
      Push(t, eax);
      break;
    case kOpPushValue:
      LoadOperand(t, eax, 1);
      CheckAddress(t, eax);
      LoadGuest(t, eax, eax);
      Push(t, eax);
      break;
    case kOpPop:
      LoadOperand(t, ecx, 1);
      Pop(t, eax);
      CheckAddress(t, ecx);
      StoreGuest(t, ecx, eax);
      break;
    case kOpStackAdd:  // sp += a, 64 bits wide against the top
      LoadOperand(t, eax, 1);
      B(t, {0x45, 0x89, 0xE8, 0x49, 0x01, 0xC0, 0x49, 0x39, 0xE8, 0x0F, 0x87});
      P(t, kExit + kExitFault);
      B(t, {0x45, 0x89, 0xC5});
      break;
    case kOpStackSub:  // sp -= a, 64 bits wide against the bottom
      LoadOperand(t, eax, 1);
      B(t, {0x41, 0x89, 0xD8, 0x49, 0x01, 0xC0, 0x45, 0x89, 0xE9, 0x4D, 0x39, 0xC1, 0x0F, 0x82});
      P(t, kExit + kExitFault);
      B(t, {0x41, 0x29, 0xC5});
      break;
    case kOpAdd:
      Binary(t, {0x01, 0xC8}, fast);
      break;
    case kOpSub:
      Binary(t, {0x29, 0xC8}, fast);
      break;
    case kOpMul:
      Binary(t, {0x0F, 0xAF, 0xC1}, fast);
      break;
    case kOpDiv:
    case kOpMod:
    case kOpModPositive:
      Divide(t, op, fast);
      break;
    case kOpAnd:
      Binary(t, {0x21, 0xC8}, fast);
      break;
    case kOpOr:
      Binary(t, {0x09, 0xC8}, fast);
      break;
    case kOpXor:
      Binary(t, {0x31, 0xC8}, fast);
      break;
    case kOpNot:
      LoadOperand(t, eax, 1);
      B(t, {0xF7, 0xD0});
      StoreTo(t, 2, fast);
      break;
    case kOpLogicalNot:
      LoadOperand(t, eax, 1);
      B(t, {0x31, 0xD2, 0x85, 0xC0, 0x0F, 0x94, 0xC2, 0x89, 0xD0});
      StoreTo(t, 2, fast);
      break;
    case kOpShiftRight:
      Binary(t, {0xD3, 0xF8}, fast);
      break;
    case kOpShiftLeft:
      Binary(t, {0xD3, 0xE0}, fast);
      break;
    case kOpIncrement:
    case kOpDecrement:
      LoadOperand(t, eax, 1);
      CheckAddress(t, eax);
      B(t, {0x41, 0xFF, op == kOpIncrement ? 0x04 : 0x0C, 0x07});
      break;
    case kOpStackIncrement:
    case kOpStackDecrement:
      LoadOperand(t, eax, 1);
      StackAddress(t, eax);
      B(t, {0x43, 0xFF, op == kOpStackIncrement ? 0x04 : 0x0C, 0x0F});
      break;
    // When a = 0 continue at b, out of line: going on in sequence takes no branch.
    case kOpJumpIfZero:
      LoadOperand(t, eax, 1);
      B(t, {0x85, 0xC0, 0x0F, 0x84});
      P(t, kColdCode);
      break;
    case kOpSet:
      LoadOperand(t, eax, 1);
      StoreResult(t, 2);
      ForwardMoved(t);
      break;
    case kOpMove:
      MoveLoad(t);
      StoreResult(t, 2);
      ForwardMoved(t);
      break;
    case kOpStoreIndirect:
      LoadOperand(t, eax, 1);
      LoadOperand(t, edx, 2);
      CheckAddress(t, edx);
      LoadGuest(t, ecx, edx);
      CheckAddress(t, ecx);
      StoreGuest(t, ecx, eax);
      break;
    case kOpStackSet:
      LoadOperand(t, eax, 1);
      LoadOperand(t, edx, 2);
      StackAddress(t, edx);
      StoreGuest(t, r9, eax);
      break;
    case kOpStackGet:
      LoadOperand(t, edx, 1);
      StackAddress(t, edx);
      LoadGuest(t, eax, r9);
      StoreResult(t, 2);
      break;
    case kOpStackStore:
      LoadOperand(t, edx, 1);
      CheckAddress(t, edx);
      LoadGuest(t, eax, edx);
      LoadOperand(t, edx, 2);
      StackAddress(t, edx);
      StoreGuest(t, r9, eax);
      break;
    case kOpStackMove:
      LoadOperand(t, edx, 1);
      StackAddress(t, edx);
      LoadGuest(t, eax, r9);
      LoadOperand(t, edx, 2);
      StackAddress(t, edx);
      StoreGuest(t, r9, eax);
      break;
    case kOpStackDeref:
      LoadOperand(t, edx, 1);
      StackAddress(t, edx);
      LoadGuest(t, edx, r9);
      CheckAddress(t, edx);
      LoadGuest(t, eax, edx);
      StoreResult(t, 2);
      break;
    case kOpDeref:
      LoadOperand(t, edx, 1);
      CheckAddress(t, edx);
      LoadGuest(t, edx, edx);
      CheckAddress(t, edx);
      LoadGuest(t, eax, edx);
      StoreResult(t, 2);
      break;
    case kOpStackAddress:
      LoadOperand(t, ecx, 1);
      B(t, {0x44, 0x89, 0xE8, 0x29, 0xC8});  // mov eax, r13d; sub eax, ecx
      StoreResult(t, 2);
      break;
    case kOpLess:
      Compare(t, 0x9C, fast);
      break;
    case kOpLessEqual:
      Compare(t, 0x9E, fast);
      break;
    case kOpGreater:
      Compare(t, 0x9F, fast);
      break;
    case kOpGreaterEqual:
      Compare(t, 0x9D, fast);
      break;
    case kOpEqual:
      Compare(t, 0x94, fast);
      break;
    case kOpNotEqual:
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
  if (op == kOpJumpIfZero) {
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

}  // namespace

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
      t.table[op].operands = kOpcodeOperands[op] | (op == kOpSwitch ? 0x100 : 0);
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
size_t MoveLoadSize() {
  static const size_t size = [] {
    Words t;
    MoveLoad(t);
    return ByteSize(t);
  }();
  return size;
}

#endif

}  // namespace bw::jit

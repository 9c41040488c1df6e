#include "script/bytecode_vm.h"

#include <cstring>
#include <new>

namespace bw {

namespace {

int32_t S32(uint32_t v) {
  return static_cast<int32_t>(v);
}

}  // namespace

BytecodeVm::~BytecodeVm() {
  if (stackBottom_) memory_.Free(stackBottom_);
}

int BytecodeVm::AllocateStack(uint32_t words) {
  if (words > GuestMemory::kMaxArena / 4) return kStackNoRoom;
  uint32_t stack = memory_.Allocate(words * 4);
  if (!stack) return kStackNoRoom;
  if (stackBottom_) memory_.Free(stackBottom_);
  stackBottom_ = stack;
  stackTop_ = stack + words * 4;
  sp_ = stack;
  return kStackAllocated;
}

bool BytecodeVm::Pop(uint32_t& v) {
  if (sp_ > stackTop_ || sp_ - stackBottom_ < 4 || sp_ < stackBottom_) return false;
  sp_ -= 4;
  return memory_.Read32(sp_, v);
}

bool BytecodeVm::StackWord(uint32_t n, uint32_t& address) const {
  address = sp_ - n;
  return address >= stackBottom_ && address < stackTop_ && stackTop_ - address >= 4;
}

bool BytecodeVm::CallNative(uint32_t token, uint32_t args, uint32_t dest) {
  if (!natives_ || !IsNativeToken(token)) return false;
  uint32_t number = NativeNumber(token);
  if (number >= natives_->size() || !(*natives_)[number]) return false;
  memory_.TakeFault();
  int32_t result = (*natives_)[number](memory_, args);
  if (memory_.TakeFault()) return false;  // the native was handed a bad address
  return memory_.Write32(dest, static_cast<uint32_t>(result));
}

int BytecodeVm::EnableJit(bool flag) {
  jit_.reset();
  jitFlag_ = false;
  inLoop_ = instructionLimit_ != 0;
  if (!flag) return kJitDone;
  auto jit = std::unique_ptr<BytecodeJit>(new (std::nothrow) BytecodeJit(memory_));
  if (!jit) return kJitNoMemory;
  if (jit->Compile(0, 0) != kCompileDone) return kJitTranslationFailed;
  jit_ = std::move(jit);
  jitFlag_ = true;
  inLoop_ = true;
  return kJitDone;
}

int BytecodeVm::Run() {
  if (jit_ && stackTop_ - stackBottom_ >= 4 && memory_.Top() >= GuestMemory::kNullPage + 16) {
    return RunTranslated();
  }
  return instructionLimit_ ? Execute<true>(instructionLimit_) : Execute<false>(0);
}

int BytecodeVm::CallInLoop() {
  if (jit_) {
    if (!Push(0)) return kRunFault;
    return Run();
  }
  return Execute<true>(instructionLimit_, true);
}

// A scenario runs a short fragment for each condition and assignment, two a loop turn: mostly a
// few moves, counts and compares ending in the return to the end marker. Such a run costs more in
// the loop's set-up than in its instructions, so the fragment's straight part runs here. Nothing
// here faults: an instruction of another kind, or one that would fault, is left to the loop,
// which goes on where this stopped.
int BytecodeVm::CallStraight() {
  constexpr uint32_t kNull = GuestMemory::kNullPage;
  uint8_t* const base = memory_.Base();
  const uint32_t top = memory_.Top();
  const uint32_t bottom = stackBottom_;
  const uint32_t sp = sp_;
  // No stack word free for the end marker: the loop's own entry faults.
  if (__builtin_expect(
          !base || top < kNull + 16 || uint64_t{sp - bottom} + 4 > uint64_t{stackTop_ - bottom}, 0))
    return Execute<false>(0, true);
  auto word = [base](uint64_t address) {
    uint32_t x;
    std::memcpy(&x, base + address, 4);
    return x;
  };
  auto put = [base](uint32_t address, uint32_t x) { std::memcpy(base + address, &x, 4); };
  const uint32_t span4 = top - kNull - 4;
  const uint64_t last16 = top - 16;  // the last address an instruction with three operands fits
  auto good = [span4](uint32_t address) { return address - kNull <= span4; };
  put(sp, 0);
  // 64 bits wide, as in the loop: once checked, ip + 12 stays in the arena without wrapping.
  uint64_t ip = ip_;
  uint32_t op = 0, a = 0, b = 0, c = 0;
  // The opcodes without a handler here leave (below), the end marker's return included when a
  // store overwrote the marker.
#define BW_STRAIGHT_HANDLER(name, mnemonic, operands) &&op##name,
  static void* const handlers[kOpcodeCount] = {BW_OPCODES(BW_STRAIGHT_HANDLER)};
#undef BW_STRAIGHT_HANDLER
  // Only forward: every instruction taken here moves the pointer on, so after the first test
  // the top bound is the only one left.
#define BW_STRAIGHT_DISPATCH(inRange)                        \
  do {                                                       \
    if (__builtin_expect(!(inRange), 0)) goto leave;         \
    op = word(ip);                                           \
    if (__builtin_expect(op >= kOpcodeCount, 0)) goto leave; \
    goto* handlers[op];                                      \
  } while (0)
#define BW_STRAIGHT_RESULT(expr) \
  a = word(ip + 4);              \
  b = word(ip + 8);              \
  c = word(ip + 12);             \
  if (!good(c)) goto leave;      \
  put(c, (expr));                \
  ip += 16;                      \
  BW_STRAIGHT_DISPATCH(ip <= last16)
  BW_STRAIGHT_DISPATCH(ip - kNull <= span4 - 12);
opReturn:
  if (word(sp) != 0) goto leave;
  ip_ = static_cast<uint32_t>(ip + 4);
  return kRunEnded;
opIncrement:
  a = word(ip + 4);
  if (!good(a)) goto leave;
  put(a, word(a) + 1);
  ip += 8;
  BW_STRAIGHT_DISPATCH(ip <= last16);
opDecrement:
  a = word(ip + 4);
  if (!good(a)) goto leave;
  put(a, word(a) - 1);
  ip += 8;
  BW_STRAIGHT_DISPATCH(ip <= last16);
opMove:
  a = word(ip + 4);
  if (!good(a)) goto leave;
  a = word(a);
  goto store;
opSet:
  a = word(ip + 4);
store:
  b = word(ip + 8);
  if (!good(b)) goto leave;
  put(b, a);
  ip += 12;
  BW_STRAIGHT_DISPATCH(ip <= last16);
opAdd:
  BW_STRAIGHT_RESULT(a + b);
opSub:
  BW_STRAIGHT_RESULT(a - b);
opLess:
  BW_STRAIGHT_RESULT(S32(a) < S32(b) ? 1u : 0u);
opLessEqual:
  BW_STRAIGHT_RESULT(S32(a) <= S32(b) ? 1u : 0u);
opGreater:
  BW_STRAIGHT_RESULT(S32(a) > S32(b) ? 1u : 0u);
opGreaterEqual:
  BW_STRAIGHT_RESULT(S32(a) >= S32(b) ? 1u : 0u);
opEqual:
  BW_STRAIGHT_RESULT(a == b ? 1u : 0u);
opNotEqual:
  BW_STRAIGHT_RESULT(a != b ? 1u : 0u);
#undef BW_STRAIGHT_RESULT
#undef BW_STRAIGHT_DISPATCH
// clang-format off
opWait: opReturnValue: opGetReturn: opCall: opNative: opJump: opSwitch: opPush: opPushValue:
opPop: opStackAdd: opStackSub: opMul: opDiv: opMod: opModPositive: opAnd: opOr: opXor: opNot:
opLogicalNot: opShiftRight: opShiftLeft: opStackIncrement: opStackDecrement: opJumpIfZero: opDeref:
opStoreIndirect: opStackSet: opStackGet: opStackStore: opStackMove: opStackDeref: opStackAddress:
// clang-format on
leave:
  ip_ = static_cast<uint32_t>(ip);
  sp_ = sp + 4;
  return Execute<false>(0);
}

int BytecodeVm::RunTranslated() {
  // A native may run this interpreter again: what the outer run keeps in the context survives.
  const JitContext outer = context_;
  JitContext& c = context_;
  c.ip = ip_;
  c.sp = sp_;
  c.ret = returnRegister_;
  c.span4 = memory_.Top() - GuestMemory::kNullPage - 4;
  c.stackBottom = stackBottom_;
  c.stackTop = stackTop_;
  c.stackSpan4 = stackTop_ - stackBottom_ - 4;
  c.entries = memory_.Translations().Data();
  c.entryCount = memory_.Translations().Count();
  c.base = memory_.Base();
  c.budget = instructionLimit_;
  c.counted = instructionLimit_ ? 1 : 0;
  c.native = &BytecodeVm::TranslatedNative;
  c.owner = this;
  int result = jit_->Enter(c);
  ip_ = c.ip;
  sp_ = c.sp;
  returnRegister_ = c.ret;
  const uint64_t budget = c.budget;
  c.savedRsp = outer.savedRsp;
  c.budget = outer.budget;
  c.counted = outer.counted;
  if (result != kRunHandOver) return result;
  // Code the translation does not cover goes on in the interpreter, to the end of this run.
  return instructionLimit_ ? Execute<true>(budget) : Execute<false>(0);
}

uint32_t BytecodeVm::TranslatedNative(JitContext* c, uint32_t fn, uint32_t args, uint32_t dest,
                                      uint32_t at) {
  BytecodeVm& vm = *static_cast<BytecodeVm*>(c->owner);
  vm.ip_ = at;
  vm.sp_ = c->sp;
  vm.returnRegister_ = c->ret;
  bool ok = false;
  // Nothing may unwind through machine code: a native that throws faults the run.
  try {
    ok = vm.CallNative(fn, args, dest);
  } catch (...) {
    ok = false;
  }
  c->sp = vm.sp_;
  c->ret = vm.returnRegister_;
  c->span4 = vm.memory_.Top() - GuestMemory::kNullPage - 4;
  c->entries = vm.memory_.Translations().Data();
  c->entryCount = vm.memory_.Translations().Count();
  return ok ? 1 : 0;
}

}  // namespace bw

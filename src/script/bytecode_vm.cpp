#include "script/bytecode_vm.h"

#include <cstring>
#include <limits>
#include <new>

namespace bw {

namespace {

constexpr uint32_t kSwitchEnd = 0xFFFFFFFF;
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

int32_t S32(uint32_t v) { return static_cast<int32_t>(v); }
uint32_t U32(int32_t v) { return static_cast<uint32_t>(v); }

// Signed division without the two host traps: by zero is refused by the caller, and
// INT_MIN / -1 wraps as the original's machine gives it.
int32_t Quotient(int32_t a, int32_t b) { return (a == kIntMin && b == -1) ? kIntMin : a / b; }
int32_t Remainder(int32_t a, int32_t b) { return b == -1 ? 0 : a % b; }
// The remainder moved into the divisor's range when negative.
int32_t Modulo(int32_t a, int32_t b) {
  int32_t r = Remainder(a, b);
  return r < 0 ? S32(U32(r) + U32(b)) : r;
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
  return memory_.Write32(dest, U32(result));
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
  return Execute<true, true>(instructionLimit_);
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
    return Execute<false, true>(0);
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
  // Everything else leaves, the end marker's return included when a store overwrote the marker.
  static void* const handlers[kOpcodeCount] = {
      &&leave, &&ret,   &&leave, &&leave, &&leave, &&leave, &&leave, &&leave, &&leave, &&leave,
      &&leave, &&leave, &&leave, &&add,   &&sub,   &&leave, &&leave, &&leave, &&leave, &&leave,
      &&leave, &&leave, &&leave, &&leave, &&leave, &&leave, &&inc,   &&dec,   &&leave, &&leave,
      &&leave, &&move,  &&load,  &&leave, &&leave, &&leave, &&leave, &&leave, &&leave, &&leave,
      &&leave, &&lt,    &&le,    &&gt,    &&ge,    &&eq,    &&ne};
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
ret:
  if (word(sp) != 0) goto leave;
  ip_ = static_cast<uint32_t>(ip + 4);
  return kRunEnded;
inc:
  a = word(ip + 4);
  if (!good(a)) goto leave;
  put(a, word(a) + 1);
  ip += 8;
  BW_STRAIGHT_DISPATCH(ip <= last16);
dec:
  a = word(ip + 4);
  if (!good(a)) goto leave;
  put(a, word(a) - 1);
  ip += 8;
  BW_STRAIGHT_DISPATCH(ip <= last16);
load:
  a = word(ip + 4);
  if (!good(a)) goto leave;
  a = word(a);
  goto store;
move:
  a = word(ip + 4);
store:
  b = word(ip + 8);
  if (!good(b)) goto leave;
  put(b, a);
  ip += 12;
  BW_STRAIGHT_DISPATCH(ip <= last16);
add:
  BW_STRAIGHT_RESULT(a + b);
sub:
  BW_STRAIGHT_RESULT(a - b);
lt:
  BW_STRAIGHT_RESULT(S32(a) < S32(b) ? 1u : 0u);
le:
  BW_STRAIGHT_RESULT(S32(a) <= S32(b) ? 1u : 0u);
gt:
  BW_STRAIGHT_RESULT(S32(a) > S32(b) ? 1u : 0u);
ge:
  BW_STRAIGHT_RESULT(S32(a) >= S32(b) ? 1u : 0u);
eq:
  BW_STRAIGHT_RESULT(a == b ? 1u : 0u);
ne:
  BW_STRAIGHT_RESULT(a != b ? 1u : 0u);
#undef BW_STRAIGHT_RESULT
#undef BW_STRAIGHT_DISPATCH
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

// The loop keeps the instruction and stack pointers in locals and checks every access against
// the used arena inline: an address a is good for a word when a - kNullPage <= span4, the
// unsigned difference catching addresses below the null page too. The instruction pointer is
// held 64 bits wide: once it passed its check it plus 16 stays inside the arena, so operand
// words are read at fixed displacements from it without wrapping arithmetic. Dispatch is one
// indirect jump per instruction through a table of the 47 handlers.
template <bool kCounted, bool kEnter>
int BytecodeVm::Execute(uint64_t budget) {
  constexpr uint32_t kNull = GuestMemory::kNullPage;
  uint8_t* const base = memory_.Base();
  // Nothing can run in an arena too small to hold an instruction.
  if (!base || memory_.Top() < kNull + 16) return kRunFault;
  uint32_t span4 = memory_.Top() - kNull - 4;
  uint64_t span16 = span4 - 12;  // room for an opcode and three operands
  uint64_t last16 = kNull + span16;
  uint64_t ip = ip_;
  uint32_t sp = sp_;
  const uint32_t bottom = stackBottom_;
  const uint32_t stackTop = stackTop_;
  const uint32_t stackSpan4 = stackTop_ - stackBottom_ >= 4 ? stackTop_ - stackBottom_ - 4 : 0;
  const bool hasStack = stackTop_ - stackBottom_ >= 4;
  uint32_t op = 0, a = 0, b = 0, c = 0, v = 0, w = 0;
  int result = kRunFault;

  auto word = [base](uint64_t address) {
    uint32_t x;
    std::memcpy(&x, base + address, 4);
    return x;
  };
  auto put = [base](uint32_t address, uint32_t x) { std::memcpy(base + address, &x, 4); };
  auto good = [&span4](uint32_t address) { return __builtin_expect(address - kNull <= span4, 1); };
  // The opcode of the instruction at address when the whole instruction lies in the arena, else
  // -1. A translated instruction's word reads back as its opcode, on the bad-opcode path. Called
  // out of line, it takes its values as arguments: a captured local would live in memory, and
  // every dispatch would reload it.
  const TranslationTable& translations = memory_.Translations();
  auto fitsExactly = [base, &translations](uint64_t address, uint32_t span) -> int64_t {
    if (address - kNull > span) return -1;
    uint32_t opcode;
    std::memcpy(&opcode, base + address, 4);
    if (opcode >= kOpcodeCount &&
        !translations.Opcode(static_cast<uint32_t>(address), opcode, opcode))
      return -1;
    return address - kNull <= span - 4 * kOpcodeOperands[opcode] ? int64_t{opcode} : -1;
  };
  // S(n): the stack word n bytes below the stack pointer.
  auto stackGood = [&](uint32_t n, uint32_t& at) {
    at = sp - n;
    return hasStack && at - bottom <= stackSpan4;
  };

  // The tables are static: label addresses are fixed, so each call dispatches with no setup.
  static void* const handlers[kOpcodeCount] = {
      &&op0,  &&op1,  &&op2,  &&op3,  &&op4,  &&op5,  &&op6,  &&op7,  &&op8,  &&op9,
      &&op10, &&op11, &&op12, &&op13, &&op14, &&op15, &&op16, &&op17, &&op18, &&op19,
      &&op20, &&op21, &&op22, &&op23, &&op24, &&op25, &&op26, &&op27, &&op28, &&op29,
      &&op30, &&op31, &&op32, &&op33, &&op34, &&op35, &&op36, &&op37, &&op38, &&op39,
      &&op40, &&op41, &&op42, &&op43, &&op44, &&op45, &&op46};
  // Compiled scripts hand values on by moving them into the next instruction's operand words.
  // A move that did so enters the next handler through one of these tables with the value
  // already in a or b, sparing a reload of the word just stored; the store itself still
  // happens, as code is data. Opcodes without an entry of their own reread their operands.
#define BW_FORWARDED_TABLE(x)                                                                     \
  {                                                                                               \
    &&op0, &&op1, &&op2, &&op3, &&op4, &&op5, &&op6, &&op7, &&op8, &&op9, &&op10, &&op11, &&op12, \
        &&op13##x, &&op14##x, &&op15##x, &&op16, &&op17, &&op18, &&op19##x, &&op20##x, &&op21##x, \
        &&op22, &&op23, &&op24##x, &&op25##x, &&op26, &&op27, &&op28, &&op29, &&op30##x, &&op31,  \
        &&op32, &&op33, &&op34, &&op35, &&op36, &&op37, &&op38, &&op39, &&op40, &&op41##x,        \
        &&op42##x, &&op43##x, &&op44##x, &&op45##x, &&op46##x                                     \
  }
  static void* const handlersWithA[kOpcodeCount] = BW_FORWARDED_TABLE(a);
  static void* const handlersWithB[kOpcodeCount] = BW_FORWARDED_TABLE(b);
#undef BW_FORWARDED_TABLE

// Dispatch reads the opcode and jumps to its handler. One test covers the opcode and the
// longest operand list; only an instruction in the last words of the arena takes the exact test
// of its own length. Each handler keeps its own jump, which the predictor learns apart: the
// empty asm, distinct at every use, stops the compiler from merging them into one.
#define BW_DISPATCH_THROUGH(table, inRange)                                      \
  do {                                                                           \
    if constexpr (kCounted) {                                                    \
      if (budget-- == 0) goto fault;                                             \
    }                                                                            \
    if (__builtin_expect(inRange, 1)) {                                          \
      op = word(ip);                                                             \
      if (__builtin_expect(op >= kOpcodeCount, 0)) {                             \
        if (!translations.Opcode(static_cast<uint32_t>(ip), op, op)) goto fault; \
      }                                                                          \
    } else {                                                                     \
      const int64_t fit_ = fitsExactly(ip, span4);                               \
      if (fit_ < 0) goto fault;                                                  \
      op = static_cast<uint32_t>(fit_);                                          \
    }                                                                            \
    __asm__("" ::"i"(__COUNTER__));                                              \
    goto*(table)[op];                                                            \
  } while (0)
#define BW_DISPATCH(inRange) BW_DISPATCH_THROUGH(handlers, inRange)
// After a jump, call or return: the target may be any address.
#define BW_NEXT() BW_DISPATCH(ip - kNull <= span16)
// Behind an instruction that went on in sequence: the pointer only grew from a good one, so
// the top bound is the only one to test.
#define BW_STEP() BW_DISPATCH(ip <= last16)
// Reads n operand words into a, b, c and steps past the instruction.
#define BW_OPERANDS(n)                                        \
  do {                                                        \
    if ((n) >= 1) a = word(ip + 4);                           \
    if ((n) >= 2) b = word(ip + 8);                           \
    if ((n) >= 3) c = word(ip + 12);                          \
    ip += 4 + 4 * (n);                                        \
  } while (0)
#define BW_LOAD(address, out)                                 \
  do {                                                        \
    uint32_t at_ = (address);                                 \
    if (!good(at_)) goto fault;                               \
    out = word(at_);                                          \
  } while (0)
#define BW_STORE(address, value)                              \
  do {                                                        \
    uint32_t at_ = (address);                                 \
    if (!good(at_)) goto fault;                               \
    put(at_, (value));                                        \
  } while (0)
#define BW_STACK_LOAD(n, out)                                 \
  do {                                                        \
    uint32_t at_;                                             \
    if (!stackGood((n), at_)) goto fault;                     \
    out = word(at_);                                          \
  } while (0)
#define BW_STACK_STORE(n, value)                              \
  do {                                                        \
    uint32_t at_;                                             \
    if (!stackGood((n), at_)) goto fault;                     \
    put(at_, (value));                                        \
  } while (0)
#define BW_PUSH(value)                                        \
  do {                                                        \
    if (stackTop - sp < 4) goto fault;                        \
    put(sp, (value));                                         \
    sp += 4;                                                  \
  } while (0)
#define BW_POP(out)                                           \
  do {                                                        \
    if (sp - bottom < 4) goto fault;                          \
    sp -= 4;                                                  \
    out = word(sp);                                           \
  } while (0)
#define BW_DIVIDE(f)                                          \
  do {                                                        \
    BW_OPERANDS(3);                                           \
    if (b == 0) goto fault;                                   \
    BW_STORE(c, U32(f(S32(a), S32(b))));                      \
    BW_STEP();                                                \
  } while (0)
// A result instruction: entered plainly, or with operand a or b forwarded by a move.
#define BW_RESULT(expr)                                       \
  c = word(ip + 12);                                          \
  ip += 16;                                                   \
  BW_STORE(c, (expr));                                        \
  BW_STEP();
#define BW_BINARY(n, expr)                                    \
  op##n:                                                      \
  a = word(ip + 4);                                           \
  b = word(ip + 8);                                           \
  BW_RESULT(expr)                                             \
  op##n##a:                                                   \
  b = word(ip + 8);                                           \
  BW_RESULT(expr)                                             \
  op##n##b:                                                   \
  a = word(ip + 4);                                           \
  BW_RESULT(expr)
// Behind a move that stored value at to: into the next instruction's first or second operand
// word, the value goes on in its register too.
#define BW_FORWARD(to, value)                                 \
  do {                                                        \
    uint64_t to_ = (to);                                      \
    uint32_t value_ = (value);                                \
    if (to_ == ip + 4) {                                      \
      a = value_;                                             \
      BW_DISPATCH_THROUGH(handlersWithA, ip <= last16);       \
    }                                                         \
    if (to_ == ip + 8) {                                      \
      b = value_;                                             \
      BW_DISPATCH_THROUGH(handlersWithB, ip <= last16);       \
    }                                                         \
    BW_STEP();                                                \
  } while (0)

  if constexpr (kEnter) {
    if (!hasStack || sp - bottom > stackSpan4) goto fault;
    put(sp, 0);
    sp += 4;
  }
  BW_NEXT();

op0:  // wait
  ip += 4;
  result = kRunWaiting;
  goto leave;
op1:  // return
  ip += 4;
  BW_POP(v);
  if (v == 0) {
    result = kRunEnded;
    goto leave;
  }
  ip = v;
  BW_NEXT();
op2:  // return with value
  BW_OPERANDS(1);
  BW_POP(v);
  if (v == 0) {
    result = kRunEnded;
    goto leave;
  }
  returnRegister_ = a;
  ip = v;
  BW_NEXT();
op3:
  BW_OPERANDS(1);
  BW_STORE(a, returnRegister_);
  BW_STEP();
op4:  // call
  BW_OPERANDS(1);
  BW_PUSH(static_cast<uint32_t>(ip));
  ip = a;
  BW_NEXT();
op5: {  // native call: the native sees the fields current
  BW_OPERANDS(3);
  ip_ = static_cast<uint32_t>(ip - 4);
  sp_ = sp;
  bool ok = CallNative(a, b, c);
  sp = sp_;
  span4 = memory_.Top() - kNull - 4;  // the native may have allocated
  span16 = span4 - 12;
  last16 = kNull + span16;
  if (!ok) goto fault;
  BW_NEXT();
}
op6:
  BW_OPERANDS(1);
  ip = a;
  BW_NEXT();
op7: {  // switch: the index must name an entry before the table's end word
  BW_OPERANDS(1);
  uint32_t table = static_cast<uint32_t>(ip);
  for (uint32_t i = 0;; ++i) {
    uint32_t at = table + i * 4;
    if (at < table) goto fault;
    BW_LOAD(at, v);
    if (v == kSwitchEnd) goto fault;
    if (i == a) break;
  }
  ip = v;
  BW_NEXT();
}
op8:
  BW_OPERANDS(1);
  BW_PUSH(a);
  BW_STEP();
op9:
  BW_OPERANDS(1);
  BW_LOAD(a, v);
  BW_PUSH(v);
  BW_STEP();
op10:
  BW_OPERANDS(1);
  BW_POP(v);
  BW_STORE(a, v);
  BW_STEP();
op11:
  BW_OPERANDS(1);
  if (uint64_t{sp} + a > stackTop) goto fault;
  sp += a;
  BW_STEP();
op12:
  BW_OPERANDS(1);
  if (uint64_t{sp} < uint64_t{bottom} + a) goto fault;
  sp -= a;
  BW_STEP();
  BW_BINARY(13, a + b)
  BW_BINARY(14, a - b)
  BW_BINARY(15, a * b)
op16:
  BW_DIVIDE(Quotient);
op17:
  BW_DIVIDE(Remainder);
op18:
  BW_DIVIDE(Modulo);
  BW_BINARY(19, a & b)
  BW_BINARY(20, a | b)
  BW_BINARY(21, a ^ b)
op22:
  BW_OPERANDS(2);
  BW_STORE(b, ~a);
  BW_STEP();
op23:
  BW_OPERANDS(2);
  BW_STORE(b, a == 0 ? 1u : 0u);
  BW_STEP();
  BW_BINARY(24, U32(S32(a) >> (b & 31)))
  BW_BINARY(25, a << (b & 31))
op26:
  BW_OPERANDS(1);
  BW_LOAD(a, v);
  put(a, v + 1);
  BW_STEP();
op27:
  BW_OPERANDS(1);
  BW_LOAD(a, v);
  put(a, v - 1);
  BW_STEP();
op28:
  BW_OPERANDS(1);
  BW_STACK_LOAD(a, v);
  put(sp - a, v + 1);
  BW_STEP();
op29:
  BW_OPERANDS(1);
  BW_STACK_LOAD(a, v);
  put(sp - a, v - 1);
  BW_STEP();
op30b:  // the target forwarded: the condition is reread
  a = word(ip + 4);
  goto op30test;
op30:
  // A branch of its own per outcome, never a conditional move: the predictor then runs ahead
  // instead of waiting for a just-stored operand.
  a = word(ip + 4);
op30a:
  b = word(ip + 8);
op30test:
  ip += 12;
  if (a == 0) {
    ip = b;
    BW_NEXT();
  }
  BW_STEP();
op31:
  BW_OPERANDS(2);
  BW_STORE(b, a);
  BW_FORWARD(b, a);
op32:
  BW_OPERANDS(2);
  BW_LOAD(a, v);
  BW_STORE(b, v);
  BW_FORWARD(b, v);
op33:
  BW_OPERANDS(2);
  BW_LOAD(b, w);
  BW_STORE(w, a);
  BW_STEP();
op34:
  BW_OPERANDS(2);
  BW_STACK_STORE(b, a);
  BW_STEP();
op35:
  BW_OPERANDS(2);
  BW_STACK_LOAD(a, v);
  BW_STORE(b, v);
  BW_STEP();
op36:
  BW_OPERANDS(2);
  BW_LOAD(a, v);
  BW_STACK_STORE(b, v);
  BW_STEP();
op37:
  BW_OPERANDS(2);
  BW_STACK_LOAD(a, v);
  BW_STACK_STORE(b, v);
  BW_STEP();
op38:
  BW_OPERANDS(2);
  BW_STACK_LOAD(a, w);
  BW_LOAD(w, v);
  BW_STORE(b, v);
  BW_STEP();
op39:
  BW_OPERANDS(2);
  BW_LOAD(a, w);
  BW_LOAD(w, v);
  BW_STORE(b, v);
  BW_STEP();
op40:
  BW_OPERANDS(2);
  BW_STORE(b, sp - a);
  BW_STEP();
  BW_BINARY(41, S32(a) < S32(b) ? 1u : 0u)
  BW_BINARY(42, S32(a) <= S32(b) ? 1u : 0u)
  BW_BINARY(43, S32(a) > S32(b) ? 1u : 0u)
  BW_BINARY(44, S32(a) >= S32(b) ? 1u : 0u)
  BW_BINARY(45, a == b ? 1u : 0u)
  BW_BINARY(46, a != b ? 1u : 0u)

#undef BW_NEXT
#undef BW_OPERANDS
#undef BW_LOAD
#undef BW_STORE
#undef BW_STACK_LOAD
#undef BW_STACK_STORE
#undef BW_PUSH
#undef BW_POP
#undef BW_BINARY
#undef BW_RESULT
#undef BW_FORWARD
#undef BW_DISPATCH_THROUGH
#undef BW_DIVIDE
#undef BW_DISPATCH
#undef BW_STEP

fault:
  ip_ = static_cast<uint32_t>(ip);
  sp_ = sp;
  return kRunFault;
leave:
  ip_ = static_cast<uint32_t>(ip);
  sp_ = sp;
  return result;
}

}  // namespace bw

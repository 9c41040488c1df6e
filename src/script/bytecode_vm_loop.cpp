// The interpreter's loop: the plain loop, which decodes every instruction as it reaches it, and
// the handlers of decoded records (threaded_code.h), which run a loaded block's instructions from
// their decoding as long as the words they rely on still read as decoded.
#include <cstring>
#include <limits>

#include "script/bytecode_vm.h"
#include "script/threaded_code.h"

namespace bw {

namespace {

constexpr uint32_t kSwitchEnd = 0xFFFFFFFF;
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

int32_t S32(uint32_t v) {
  return static_cast<int32_t>(v);
}
uint32_t U32(int32_t v) {
  return static_cast<uint32_t>(v);
}

// Signed division without the two host traps: by zero is refused by the caller, and
// INT_MIN / -1 wraps to INT_MIN.
int32_t Quotient(int32_t a, int32_t b) {
  return (a == kIntMin && b == -1) ? kIntMin : a / b;
}
int32_t Remainder(int32_t a, int32_t b) {
  return b == -1 ? 0 : a % b;
}
// The remainder moved into the divisor's range when negative.
int32_t Modulo(int32_t a, int32_t b) {
  int32_t r = Remainder(a, b);
  return r < 0 ? S32(U32(r) + U32(b)) : r;
}

}  // namespace

// The binary instructions' results, by their names in threaded_code.h.
#define BW_BINARY_Add(a, b) ((a) + (b))
#define BW_BINARY_Sub(a, b) ((a) - (b))
#define BW_BINARY_Mul(a, b) ((a) * (b))
#define BW_BINARY_And(a, b) ((a) & (b))
#define BW_BINARY_Or(a, b) ((a) | (b))
#define BW_BINARY_Xor(a, b) ((a) ^ (b))
#define BW_BINARY_Sar(a, b) U32(S32(a) >> ((b)&31))
#define BW_BINARY_Shl(a, b) ((a) << ((b)&31))
#define BW_BINARY_Lt(a, b) (S32(a) < S32(b) ? 1u : 0u)
#define BW_BINARY_Le(a, b) (S32(a) <= S32(b) ? 1u : 0u)
#define BW_BINARY_Gt(a, b) (S32(a) > S32(b) ? 1u : 0u)
#define BW_BINARY_Ge(a, b) (S32(a) >= S32(b) ? 1u : 0u)
#define BW_BINARY_Eq(a, b) ((a) == (b) ? 1u : 0u)
#define BW_BINARY_Ne(a, b) ((a) != (b) ? 1u : 0u)

// The loop keeps the instruction and stack pointers in locals and checks every access against
// the used arena inline: an address a is good for a word when a - kNullPage <= span4, the
// unsigned difference catching addresses below the null page too. The instruction pointer is
// held 64 bits wide: once it passed its check it plus 16 stays inside the arena, so operand
// words are read at fixed displacements from it without wrapping arithmetic. Dispatch is one
// indirect jump per instruction through a table of the 47 handlers. Inside a decoded block the
// pointer is the current record, e, instead; the plain loop goes back to the records at the
// next jump, or behind an instruction it ran for a record.
template <bool kCounted>
int BytecodeVm::Execute(uint64_t budget, bool enter) {
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
  uint64_t s0 = 0, s1 = 0;  // decoded words a handler keeps, two at a time
  int result = kRunFault;

  auto word = [base](uint64_t address) {
    uint32_t x;
    std::memcpy(&x, base + address, 4);
    return x;
  };
  auto put = [base](uint32_t address, uint32_t x) { std::memcpy(base + address, &x, 4); };
  // A store into an operand word of the instruction at ip, which lies in the arena.
  auto putAt = [base](uint64_t address, uint32_t x) { std::memcpy(base + address, &x, 4); };
  auto good = [&span4](uint32_t address) { return __builtin_expect(address - kNull <= span4, 1); };
  auto code8 = [base](uint64_t address) {
    uint64_t x;
    std::memcpy(&x, base + address, 8);
    return x;
  };
  auto snap4 = [](uint64_t address, const uint8_t* decoded) {
    uint32_t x;
    std::memcpy(&x, decoded + address, 4);
    return x;
  };
  auto snap8 = [](uint64_t address, const uint8_t* decoded) {
    uint64_t x;
    std::memcpy(&x, decoded + address, 8);
    return x;
  };
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
  // The decoded block last looked into, the current record, and the record the plain loop goes
  // back to once it reaches resumeIp (0: none).
  const ThreadedCodeTable& blocks = memory_.ThreadedBlocks();
  uint32_t codeStart = 0, codeBytes = 0;
  const uint32_t* codeIndex = nullptr;
  const ThreadedOp* codeOps = nullptr;
  const ThreadedOp* codeBehind = nullptr;
  const uint8_t* codeSnapshot = nullptr;
  const ThreadedOp* e = nullptr;
  uint64_t resumeIp = 0;
  const ThreadedOp* resumeOp = nullptr;
  // S(n): the stack word n bytes below the stack pointer.
  auto stackGood = [&](uint32_t n, uint32_t& at) {
    at = sp - n;
    return hasStack && at - bottom <= stackSpan4;
  };

  // The decoded records' handlers, in the order of their ids.
  static void* const threaded[kThreadedHandlerCount] = {
#define BW_OTHER_LABEL(name) &&t##name,
#define BW_SHAPE_LABEL(shape, name, opcode) &&t##shape##name,
      BW_THREADED_OTHERS(BW_OTHER_LABEL) BW_THREADED_SHAPES(BW_SHAPE_LABEL)
#undef BW_OTHER_LABEL
#undef BW_SHAPE_LABEL
  };
  // Their twins inside a checked loop, in the same order.
  static void* const threadedFast[kThreadedHandlerCount] = {
#define BW_OTHER_LABEL(name) &&f##name,
#define BW_SHAPE_LABEL(shape, name, opcode) &&f##shape##name,
      BW_THREADED_OTHERS(BW_OTHER_LABEL) BW_THREADED_SHAPES(BW_SHAPE_LABEL)
#undef BW_OTHER_LABEL
#undef BW_SHAPE_LABEL
  };
  // Whether every word the loop's handlers rely on reads as decoded.
  auto intact = [base](const ThreadedRegion* region) {
    for (const ThreadedRegion::Word& fixed : region->fixed) {
      uint32_t x;
      std::memcpy(&x, base + fixed.address, 4);
      if (x != fixed.value) return false;
    }
    return true;
  };

// Runs record e, whose instruction ip is: its handler when the budget covers every instruction
// it runs, else the plain loop runs the instruction.
#define BW_GO()                                                       \
  do {                                                                \
    if constexpr (kCounted) {                                         \
      if (__builtin_expect(budget < e->count, 0)) goto plainAtRecord; \
      budget -= e->count;                                             \
      __asm__("" ::"i"(__COUNTER__));                                 \
      goto* threaded[e->handler];                                     \
    } else {                                                          \
      __asm__("" ::"i"(__COUNTER__));                                 \
      goto * e->go;                                                   \
    }                                                                 \
  } while (0)
#define BW_RESUME() \
  do {              \
    e = resumeOp;   \
    resumeIp = 0;   \
    BW_GO();        \
  } while (0)
// Where ip starts an instruction of a decoded block, its record runs.
#define BW_LOOKUP()                                                                        \
  do {                                                                                     \
    uint32_t offset_ = static_cast<uint32_t>(ip) - codeStart;                              \
    if (__builtin_expect(offset_ >= codeBytes, 0)) {                                       \
      ThreadedCode* found_ = blocks.Find(static_cast<uint32_t>(ip));                       \
      if (!found_) break;                                                                  \
      if (!kCounted && found_->Linked() != threaded) found_->Link(threaded, threadedFast); \
      codeStart = found_->Start();                                                         \
      codeBytes = found_->Bytes();                                                         \
      codeIndex = found_->Index();                                                         \
      codeOps = found_->Ops();                                                             \
      codeBehind = found_->Behind();                                                       \
      codeSnapshot = found_->Snapshot();                                                   \
      offset_ = static_cast<uint32_t>(ip) - codeStart;                                     \
    }                                                                                      \
    if ((offset_ & 3) == 0 && codeIndex[offset_ >> 2] != 0) {                              \
      e = codeOps + codeIndex[offset_ >> 2] - 1;                                           \
      BW_GO();                                                                             \
    }                                                                                      \
  } while (0)
// A handler finding a word it relies on changed gives back the budget it took; the plain loop
// runs the instruction as it now stands.
#define BW_DEOPT(count)                        \
  do {                                         \
    if constexpr (kCounted) budget += (count); \
    goto plainAtRecord;                        \
  } while (0)
#define BW_EXPECT(words, count) \
  if (__builtin_expect(!(words), 0)) BW_DEOPT(count)
// To a decoded jump's target, by its record.
#define BW_JUMP(to, record) \
  do {                      \
    ip = (to);              \
    e = (record);           \
    BW_GO();                \
  } while (0)
// Whether the 8 (or 4) bytes k bytes into the instruction read as decoded, keeping the decoded
// bytes in var.
#define BW_DECODED8(k, var) ((var) = snap8(ip + (k), codeSnapshot), code8(ip + (k)) == (var))
// Whether the two words k bytes into the instruction are low and high, which the handler knows
// without the snapshot: a word at a fixed place from the instruction (BW_INTO), an opcode, or a
// word it compared before.
#define BW_PAIR(k, low, high) (code8(ip + (k)) == (uint64_t{low} | uint64_t{high} << 32))
#define BW_INTO(k) static_cast<uint32_t>(ip + (k))
#define BW_DECODED4(k, var) ((var) = snap4(ip + (k), codeSnapshot), word(ip + (k)) == (var))

  // The tables are static: label addresses are fixed, so each call dispatches with no setup.
#define BW_HANDLER(name, mnemonic, operands) &&op##name,
#define BW_HANDLER_WITH_A(name, mnemonic, operands) &&op##name##a,
#define BW_HANDLER_WITH_B(name, mnemonic, operands) &&op##name##b,
  static void* const handlers[kOpcodeCount] = {BW_OPCODES(BW_HANDLER)};
  // Compiled scripts hand values on by moving them into the next instruction's operand words.
  // A move that did so enters the next handler through one of these tables with the value
  // already in a or b, sparing a reload of the word just stored; the store itself still
  // happens, as code is data. Opcodes without an entry of their own (BW_PLAIN) label it at
  // their plain one and reread their operands.
  static void* const handlersWithA[kOpcodeCount] = {BW_OPCODES(BW_HANDLER_WITH_A)};
  static void* const handlersWithB[kOpcodeCount] = {BW_OPCODES(BW_HANDLER_WITH_B)};
#undef BW_HANDLER
#undef BW_HANDLER_WITH_A
#undef BW_HANDLER_WITH_B

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
// After a jump, call or return: the target may be any address, decoded or not.
#define BW_NEXT()                      \
  do {                                 \
    resumeIp = 0;                      \
    BW_LOOKUP();                       \
    BW_DISPATCH(ip - kNull <= span16); \
  } while (0)
// Behind an instruction that went on in sequence: the pointer only grew from a good one, so
// the top bound is the only one to test. An instruction run here for a decoded one that no
// longer read as decoded goes back to the decoded records behind it.
#define BW_STEP()                    \
  do {                               \
    if (ip == resumeIp) BW_RESUME(); \
    BW_DISPATCH(ip <= last16);       \
  } while (0)
// Reads n operand words into a, b, c and steps past the instruction.
#define BW_OPERANDS(n)               \
  do {                               \
    if ((n) >= 1) a = word(ip + 4);  \
    if ((n) >= 2) b = word(ip + 8);  \
    if ((n) >= 3) c = word(ip + 12); \
    ip += 4 + 4 * (n);               \
  } while (0)
#define BW_LOAD(address, out)   \
  do {                          \
    uint32_t at_ = (address);   \
    if (!good(at_)) goto fault; \
    out = word(at_);            \
  } while (0)
#define BW_STORE(address, value) \
  do {                           \
    uint32_t at_ = (address);    \
    if (!good(at_)) goto fault;  \
    put(at_, (value));           \
  } while (0)
#define BW_STACK_LOAD(n, out)             \
  do {                                    \
    uint32_t at_;                         \
    if (!stackGood((n), at_)) goto fault; \
    out = word(at_);                      \
  } while (0)
#define BW_STACK_STORE(n, value)          \
  do {                                    \
    uint32_t at_;                         \
    if (!stackGood((n), at_)) goto fault; \
    put(at_, (value));                    \
  } while (0)
#define BW_PUSH(value)                 \
  do {                                 \
    if (stackTop - sp < 4) goto fault; \
    put(sp, (value));                  \
    sp += 4;                           \
  } while (0)
#define BW_POP(out)                  \
  do {                               \
    if (sp - bottom < 4) goto fault; \
    sp -= 4;                         \
    out = word(sp);                  \
  } while (0)
#define BW_DIVIDE(f)                     \
  do {                                   \
    BW_OPERANDS(3);                      \
    if (b == 0) goto fault;              \
    BW_STORE(c, U32(f(S32(a), S32(b)))); \
    BW_STEP();                           \
  } while (0)
// A result instruction: entered plainly, or with operand a or b forwarded by a move.
#define BW_RESULT(expr) \
  c = word(ip + 12);    \
  ip += 16;             \
  BW_STORE(c, (expr));  \
  BW_STEP();
#define BW_BINARY(name, expr)     \
  op##name : a = word(ip + 4);    \
  b = word(ip + 8);               \
  BW_RESULT(expr)                 \
  op##name##a : b = word(ip + 8); \
  BW_RESULT(expr)                 \
  op##name##b : a = word(ip + 4); \
  BW_RESULT(expr)
// The entry of a handler that takes no forwarded operand, which its forwarded entries share.
#define BW_PLAIN(name) op##name : op##name##a : op##name##b : (void)0
// Behind a move that stored value at to: into the next instruction's first or second operand
// word, the value goes on in its register too.
#define BW_FORWARD(to, value)                           \
  do {                                                  \
    if (ip == resumeIp) BW_RESUME();                    \
    uint64_t to_ = (to);                                \
    uint32_t value_ = (value);                          \
    if (to_ == ip + 4) {                                \
      a = value_;                                       \
      BW_DISPATCH_THROUGH(handlersWithA, ip <= last16); \
    }                                                   \
    if (to_ == ip + 8) {                                \
      b = value_;                                       \
      BW_DISPATCH_THROUGH(handlersWithB, ip <= last16); \
    }                                                   \
    BW_STEP();                                          \
  } while (0)

  if (enter) {
    if (!hasStack || sp - bottom > stackSpan4) goto fault;
    put(sp, 0);
    sp += 4;
  }
  BW_NEXT();

  BW_PLAIN(Wait);
  ip += 4;
  result = kRunWaiting;
  goto leave;
  BW_PLAIN(Return);
  ip += 4;
  BW_POP(v);
  if (v == 0) {
    result = kRunEnded;
    goto leave;
  }
  ip = v;
  BW_NEXT();
  BW_PLAIN(ReturnValue);
  BW_OPERANDS(1);
  BW_POP(v);
  if (v == 0) {
    result = kRunEnded;
    goto leave;
  }
  returnRegister_ = a;
  ip = v;
  BW_NEXT();
  BW_PLAIN(GetReturn);
  BW_OPERANDS(1);
  BW_STORE(a, returnRegister_);
  BW_STEP();
  BW_PLAIN(Call);
  BW_OPERANDS(1);
  BW_PUSH(static_cast<uint32_t>(ip));
  ip = a;
  BW_NEXT();
  BW_PLAIN(Native);  // the native sees the fields current
  {
    BW_OPERANDS(3);
    ip_ = static_cast<uint32_t>(ip - 4);
    sp_ = sp;
    bool ok = CallNative(a, b, c);
    sp = sp_;
    span4 = memory_.Top() - kNull - 4;  // the native may have allocated
    span16 = span4 - 12;
    last16 = kNull + span16;
    codeBytes = 0;  // or loaded and freed code: the decoded block is looked up again
    if (!ok) goto fault;
    BW_NEXT();
  }
  BW_PLAIN(Jump);
  BW_OPERANDS(1);
  ip = a;
  BW_NEXT();
  BW_PLAIN(Switch);  // the index must name an entry before the table's end word
  {
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
  BW_PLAIN(Push);
  BW_OPERANDS(1);
  BW_PUSH(a);
  BW_STEP();
  BW_PLAIN(PushValue);
  BW_OPERANDS(1);
  BW_LOAD(a, v);
  BW_PUSH(v);
  BW_STEP();
  BW_PLAIN(Pop);
  BW_OPERANDS(1);
  BW_POP(v);
  BW_STORE(a, v);
  BW_STEP();
  BW_PLAIN(StackAdd);
  BW_OPERANDS(1);
  if (uint64_t{sp} + a > stackTop) goto fault;
  sp += a;
  BW_STEP();
  BW_PLAIN(StackSub);
  BW_OPERANDS(1);
  if (uint64_t{sp} < uint64_t{bottom} + a) goto fault;
  sp -= a;
  BW_STEP();
  BW_BINARY(Add, BW_BINARY_Add(a, b))
  BW_BINARY(Sub, BW_BINARY_Sub(a, b))
  BW_BINARY(Mul, BW_BINARY_Mul(a, b))
  BW_PLAIN(Div);
  BW_DIVIDE(Quotient);
  BW_PLAIN(Mod);
  BW_DIVIDE(Remainder);
  BW_PLAIN(ModPositive);
  BW_DIVIDE(Modulo);
  BW_BINARY(And, BW_BINARY_And(a, b))
  BW_BINARY(Or, BW_BINARY_Or(a, b))
  BW_BINARY(Xor, BW_BINARY_Xor(a, b))
  BW_PLAIN(Not);
  BW_OPERANDS(2);
  BW_STORE(b, ~a);
  BW_STEP();
  BW_PLAIN(LogicalNot);
  BW_OPERANDS(2);
  BW_STORE(b, a == 0 ? 1u : 0u);
  BW_STEP();
  BW_BINARY(ShiftRight, BW_BINARY_Sar(a, b))
  BW_BINARY(ShiftLeft, BW_BINARY_Shl(a, b))
  BW_PLAIN(Increment);
  BW_OPERANDS(1);
  BW_LOAD(a, v);
  put(a, v + 1);
  BW_STEP();
  BW_PLAIN(Decrement);
  BW_OPERANDS(1);
  BW_LOAD(a, v);
  put(a, v - 1);
  BW_STEP();
  BW_PLAIN(StackIncrement);
  BW_OPERANDS(1);
  BW_STACK_LOAD(a, v);
  put(sp - a, v + 1);
  BW_STEP();
  BW_PLAIN(StackDecrement);
  BW_OPERANDS(1);
  BW_STACK_LOAD(a, v);
  put(sp - a, v - 1);
  BW_STEP();
opJumpIfZerob:  // the target forwarded: the condition is reread
  a = word(ip + 4);
  goto opJumpIfZeroTest;
opJumpIfZero:
  // A branch of its own per outcome, never a conditional move: the predictor then runs ahead
  // instead of waiting for a just-stored operand.
  a = word(ip + 4);
opJumpIfZeroa:
  b = word(ip + 8);
opJumpIfZeroTest:
  ip += 12;
  if (a == 0) {
    ip = b;
    BW_NEXT();
  }
  BW_STEP();
  BW_PLAIN(Set);
  BW_OPERANDS(2);
  BW_STORE(b, a);
  BW_FORWARD(b, a);
  BW_PLAIN(Move);
  BW_OPERANDS(2);
  BW_LOAD(a, v);
  BW_STORE(b, v);
  BW_FORWARD(b, v);
  BW_PLAIN(StoreIndirect);
  BW_OPERANDS(2);
  BW_LOAD(b, w);
  BW_STORE(w, a);
  BW_STEP();
  BW_PLAIN(StackSet);
  BW_OPERANDS(2);
  BW_STACK_STORE(b, a);
  BW_STEP();
  BW_PLAIN(StackGet);
  BW_OPERANDS(2);
  BW_STACK_LOAD(a, v);
  BW_STORE(b, v);
  BW_STEP();
  BW_PLAIN(StackStore);
  BW_OPERANDS(2);
  BW_LOAD(a, v);
  BW_STACK_STORE(b, v);
  BW_STEP();
  BW_PLAIN(StackMove);
  BW_OPERANDS(2);
  BW_STACK_LOAD(a, v);
  BW_STACK_STORE(b, v);
  BW_STEP();
  BW_PLAIN(StackDeref);
  BW_OPERANDS(2);
  BW_STACK_LOAD(a, w);
  BW_LOAD(w, v);
  BW_STORE(b, v);
  BW_STEP();
  BW_PLAIN(Deref);
  BW_OPERANDS(2);
  BW_LOAD(a, w);
  BW_LOAD(w, v);
  BW_STORE(b, v);
  BW_STEP();
  BW_PLAIN(StackAddress);
  BW_OPERANDS(2);
  BW_STORE(b, sp - a);
  BW_STEP();
  BW_BINARY(Less, BW_BINARY_Lt(a, b))
  BW_BINARY(LessEqual, BW_BINARY_Le(a, b))
  BW_BINARY(Greater, BW_BINARY_Gt(a, b))
  BW_BINARY(GreaterEqual, BW_BINARY_Ge(a, b))
  BW_BINARY(Equal, BW_BINARY_Eq(a, b))
  BW_BINARY(NotEqual, BW_BINARY_Ne(a, b))

  // The decoded records. Every handler first compares the words it relies on with their decoded
  // form (opcode words, decoded addresses and the moves' destinations in the next instruction),
  // two neighbouring words at once where it can; the addresses themselves were checked when
  // decoded. Inside a checked loop (ThreadedRegion) the same handlers run without comparing:
  // they take the decoded words as they stand.
#define BW_H_Move                                        \
  BW_EXPECT(BW_DECODED8(0, s0) && BW_DECODED4(8, w), 1); \
  put(w, word(s0 >> 32));                                \
  ip += 12;                                              \
  ++e;                                                   \
  BW_GO();
#define BW_H_Set                                       \
  BW_EXPECT(BW_IS(0, kOpSet) && BW_DECODED4(8, w), 1); \
  put(w, word(ip + 4));                                \
  ip += 12;                                            \
  ++e;                                                 \
  BW_GO();
#define BW_H_Inc                                            \
  BW_EXPECT(BW_DECODED8(0, s0), 1);                         \
  put(static_cast<uint32_t>(s0 >> 32), word(s0 >> 32) + 1); \
  ip += 8;                                                  \
  ++e;                                                      \
  BW_GO();
#define BW_H_Dec                                            \
  BW_EXPECT(BW_DECODED8(0, s0), 1);                         \
  put(static_cast<uint32_t>(s0 >> 32), word(s0 >> 32) - 1); \
  ip += 8;                                                  \
  ++e;                                                      \
  BW_GO();
#define BW_H_Jz                                               \
  BW_EXPECT(BW_IS(0, kOpJumpIfZero) && BW_DECODED4(8, w), 1); \
  if (word(ip + 4) == 0) BW_JUMP(w, e->target);               \
  ip += 12;                                                   \
  ++e;                                                        \
  BW_GO();
#define BW_H_Jump                   \
  BW_EXPECT(BW_DECODED8(0, s0), 1); \
  BW_JUMP_BACK(s0 >> 32, e->target);
#define BW_H_StoreIndirect                                       \
  BW_EXPECT(BW_IS(0, kOpStoreIndirect) && BW_DECODED4(8, w), 1); \
  a = word(ip + 4);                                              \
  ip += 12;                                                      \
  v = word(w);                                                   \
  BW_STORE(v, a);                                                \
  BW_STORED_THROUGH(v);                                          \
  ++e;                                                           \
  BW_GO();
#define BW_H_Deref                                       \
  BW_EXPECT(BW_DECODED8(0, s0) && BW_DECODED4(8, w), 1); \
  ip += 12;                                              \
  BW_LOAD(word(s0 >> 32), v);                            \
  put(w, v);                                             \
  ++e;                                                   \
  BW_GO();
#define BW_H_MoveJz                                                                             \
  BW_EXPECT(BW_DECODED8(0, s0) && BW_PAIR(8, BW_INTO(16), kOpJumpIfZero) && BW_DECODED4(20, w), \
            2);                                                                                 \
  v = word(s0 >> 32);                                                                           \
  putAt(ip + 16, v);                                                                            \
  if (v == 0) BW_JUMP(w, e->target);                                                            \
  ip += 24;                                                                                     \
  e += 2;                                                                                       \
  BW_GO();
#define BW_H_IncJump                                        \
  BW_EXPECT(BW_DECODED8(0, s0) && BW_DECODED8(8, s1), 2);   \
  put(static_cast<uint32_t>(s0 >> 32), word(s0 >> 32) + 1); \
  BW_JUMP_BACK(s1 >> 32, e->target);

// The shapes around one binary instruction of the given opcode and result F. Their addresses
// are the decoded words they compare.
#define BW_SHAPE_Bin(opcode, F)                           \
  BW_EXPECT(BW_IS(0, (opcode)) && BW_DECODED4(12, w), 1); \
  a = word(ip + 4);                                       \
  b = word(ip + 8);                                       \
  put(w, F(a, b));                                        \
  ip += 16;                                               \
  ++e;                                                    \
  BW_GO();
#define BW_SHAPE_MoveBin(opcode, F)                                                            \
  BW_EXPECT(BW_DECODED8(0, s0) && BW_PAIR(8, BW_INTO(16), (opcode)) && BW_DECODED4(24, w), 2); \
  a = word(s0 >> 32);                                                                          \
  putAt(ip + 16, a);                                                                           \
  b = word(ip + 20);                                                                           \
  put(w, F(a, b));                                                                             \
  ip += 28;                                                                                    \
  e += 2;                                                                                      \
  BW_GO();
#define BW_SHAPE_Move2Bin(opcode, F)                                                           \
  BW_EXPECT(BW_DECODED8(0, s0) && BW_PAIR(8, BW_INTO(20), (opcode)) && BW_DECODED4(24, w), 2); \
  b = word(s0 >> 32);                                                                          \
  putAt(ip + 20, b);                                                                           \
  a = word(ip + 16);                                                                           \
  put(w, F(a, b));                                                                             \
  ip += 28;                                                                                    \
  e += 2;                                                                                      \
  BW_GO();
#define BW_SHAPE_MovesBin(opcode, F)                                                         \
  BW_EXPECT(BW_DECODED8(0, s0) && BW_PAIR(8, BW_INTO(28), kOpMove) && BW_DECODED8(16, s1) && \
                BW_IS(24, (opcode)) && BW_DECODED4(36, w),                                   \
            3);                                                                              \
  a = word(s0 >> 32);                                                                        \
  putAt(ip + 28, a);                                                                         \
  b = word(static_cast<uint32_t>(s1));                                                       \
  putAt(ip + 32, b);                                                                         \
  put(w, F(a, b));                                                                           \
  ip += 40;                                                                                  \
  e += 3;                                                                                    \
  BW_GO();
#define BW_SHAPE_BinJz(opcode, F)                                                                  \
  BW_EXPECT(BW_IS(0, (opcode)) && BW_DECODED8(12, s0) &&                                           \
                BW_PAIR(20, static_cast<uint32_t>(s0), BW_INTO(32)) && BW_IS(28, kOpJumpIfZero) && \
                BW_DECODED4(36, w),                                                                \
            3);                                                                                    \
  a = word(ip + 4);                                                                                \
  b = word(ip + 8);                                                                                \
  v = F(a, b);                                                                                     \
  put(static_cast<uint32_t>(s0), v);                                                               \
  putAt(ip + 32, v);                                                                               \
  if (v == 0) BW_JUMP(w, e->target);                                                               \
  ip += 40;                                                                                        \
  e += 3;                                                                                          \
  BW_GO();
#define BW_SHAPE_MoveBinJz(opcode, F)                                                              \
  BW_EXPECT(BW_DECODED8(0, s0) && BW_PAIR(8, BW_INTO(16), (opcode)) && BW_DECODED8(24, s1) &&      \
                BW_PAIR(32, static_cast<uint32_t>(s1), BW_INTO(44)) && BW_IS(40, kOpJumpIfZero) && \
                BW_DECODED4(48, w),                                                                \
            4);                                                                                    \
  a = word(s0 >> 32);                                                                              \
  putAt(ip + 16, a);                                                                               \
  b = word(ip + 20);                                                                               \
  v = F(a, b);                                                                                     \
  put(static_cast<uint32_t>(s1), v);                                                               \
  putAt(ip + 44, v);                                                                               \
  if (v == 0) BW_JUMP(w, e->target);                                                               \
  ip += 52;                                                                                        \
  e += 4;                                                                                          \
  BW_GO();
fRaw:
tRaw:
  BW_DEOPT(1);
fLookup:
tLookup:  // ip: where a jump out of the block leads
  BW_NEXT();
fCall:
tCall:
  BW_EXPECT(BW_DECODED8(0, s0), 1);
  ip += 8;
  BW_PUSH(static_cast<uint32_t>(ip));
  BW_JUMP(s0 >> 32, e->target);

  // A backward jump into its own loop enters the loop's twins once every word it relies on
  // reads as decoded.
#define BW_JUMP_BACK(to, record)            \
  do {                                      \
    if constexpr (!kCounted) {              \
      if (e->enters && intact(e->region)) { \
        ip = (to);                          \
        e = (record);                       \
        __asm__("" ::"i"(__COUNTER__));     \
        goto * e->fast;                     \
      }                                     \
    }                                       \
    BW_JUMP(to, record);                    \
  } while (0)
#define BW_STORED_THROUGH(address) (void)0
#define BW_IS(k, value) (word(ip + (k)) == (value))
#define BW_NONE(name)
#define BW_CHECKED(name) t##name : BW_H_##name
  BW_THREADED_OTHERS_SPLIT(BW_NONE, BW_CHECKED)
#undef BW_CHECKED
#define BW_SHAPE_HANDLER(shape, name, opcode) \
  t##shape##name : BW_SHAPE_##shape(opcode, BW_BINARY_##name)
  BW_THREADED_SHAPES(BW_SHAPE_HANDLER)
#undef BW_SHAPE_HANDLER

  // The twins: every word they rely on reads as decoded while they run, as no store of the loop
  // with a decoded destination lands on one, and one through a pointer that lands in the loop
  // hands the rest to the comparing handlers. A jump goes on to its target's twin only inside
  // the loop.
#undef BW_EXPECT
#undef BW_DECODED8
#undef BW_DECODED4
#undef BW_PAIR
#undef BW_IS
#undef BW_GO
#undef BW_JUMP
#undef BW_JUMP_BACK
#undef BW_STORED_THROUGH
#define BW_EXPECT(words, count) (void)(words)
#define BW_DECODED8(k, var) ((var) = snap8(ip + (k), codeSnapshot), true)
#define BW_DECODED4(k, var) ((var) = snap4(ip + (k), codeSnapshot), true)
#define BW_PAIR(k, low, high) true
#define BW_IS(k, value) true
#define BW_GO()                     \
  do {                              \
    __asm__("" ::"i"(__COUNTER__)); \
    goto * e->fast;                 \
  } while (0)
#define BW_JUMP(to, record)         \
  do {                              \
    const void* go_ = e->jumpGo;    \
    ip = (to);                      \
    e = (record);                   \
    __asm__("" ::"i"(__COUNTER__)); \
    goto* go_;                      \
  } while (0)
#define BW_JUMP_BACK(to, record) BW_JUMP(to, record)
#define BW_STORED_THROUGH(address)                                                \
  do {                                                                            \
    if (uint64_t{address} + 4 > e->region->start && (address) < e->region->end) { \
      ++e;                                                                        \
      goto * e->go;                                                               \
    }                                                                             \
  } while (0)
#define BW_FAST(name) f##name : BW_H_##name
  BW_THREADED_OTHERS_SPLIT(BW_NONE, BW_FAST)
#undef BW_FAST
#undef BW_NONE
#define BW_SHAPE_HANDLER(shape, name, opcode) \
  f##shape##name : BW_SHAPE_##shape(opcode, BW_BINARY_##name)
  BW_THREADED_SHAPES(BW_SHAPE_HANDLER)
#undef BW_SHAPE_HANDLER
#undef BW_H_Move
#undef BW_H_Set
#undef BW_H_Inc
#undef BW_H_Dec
#undef BW_H_Jz
#undef BW_H_Jump
#undef BW_H_StoreIndirect
#undef BW_H_Deref
#undef BW_H_MoveJz
#undef BW_H_IncJump
#undef BW_SHAPE_Bin
#undef BW_SHAPE_MoveBin
#undef BW_SHAPE_Move2Bin
#undef BW_SHAPE_MovesBin
#undef BW_SHAPE_BinJz
#undef BW_SHAPE_MoveBinJz
#undef BW_IS
#undef BW_JUMP_BACK
#undef BW_STORED_THROUGH

plainAtRecord:  // the plain loop runs the instruction at e, then goes back to the next record
  ip = e->ip;
  resumeIp = 0;
  if (e < codeBehind) {
    resumeIp = e[1].ip;
    resumeOp = e + 1;
  }
  BW_DISPATCH(ip - kNull <= span16);

#undef BW_NEXT
#undef BW_OPERANDS
#undef BW_LOAD
#undef BW_STORE
#undef BW_STACK_LOAD
#undef BW_STACK_STORE
#undef BW_PUSH
#undef BW_POP
#undef BW_BINARY
#undef BW_PLAIN
#undef BW_RESULT
#undef BW_FORWARD
#undef BW_DISPATCH_THROUGH
#undef BW_DIVIDE
#undef BW_DISPATCH
#undef BW_STEP
#undef BW_GO
#undef BW_RESUME
#undef BW_LOOKUP
#undef BW_DEOPT
#undef BW_EXPECT
#undef BW_JUMP
#undef BW_DECODED8
#undef BW_DECODED4
#undef BW_PAIR
#undef BW_INTO

fault:
  ip_ = static_cast<uint32_t>(ip);
  sp_ = sp;
  return kRunFault;
leave:
  ip_ = static_cast<uint32_t>(ip);
  sp_ = sp;
  return result;
}

#undef BW_BINARY_Add
#undef BW_BINARY_Sub
#undef BW_BINARY_Mul
#undef BW_BINARY_And
#undef BW_BINARY_Or
#undef BW_BINARY_Xor
#undef BW_BINARY_Sar
#undef BW_BINARY_Shl
#undef BW_BINARY_Lt
#undef BW_BINARY_Le
#undef BW_BINARY_Gt
#undef BW_BINARY_Ge
#undef BW_BINARY_Eq
#undef BW_BINARY_Ne

template int BytecodeVm::Execute<false>(uint64_t, bool);
template int BytecodeVm::Execute<true>(uint64_t, bool);

}  // namespace bw

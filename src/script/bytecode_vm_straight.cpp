#include "script/bytecode_vm_straight.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "script/bytecode_vm.h"
#include "script/opcodes.h"

namespace bw {

uint32_t StraightCode::Word(const GuestMemory& memory, uint64_t address) {
  uint32_t x;
  std::memcpy(&x, memory.Base() + address, 4);
  return x;
}

void StraightCode::Fix(const GuestMemory& memory, uint64_t address) {
  fixed_.push_back({static_cast<uint32_t>(address), Word(memory, address)});
}

void StraightCode::Append(const Op& op) {
  ops_.insert(ops_.end() - 1, op);
  threaded_ = false;  // the new op has no handler yet
}

bool StraightCode::AddFragment(const GuestMemory& memory, uint32_t address) {
  // The bounds CallStraight takes an instruction within: all of it and the words it names lie in
  // the arena.
  auto good = [&memory](uint64_t at, uint32_t bytes) {
    return at < GuestMemory::kMaxArena && memory.Valid(static_cast<uint32_t>(at), bytes);
  };
  uint64_t ip = address;
  for (uint32_t n = 0; n < kMaxInstructions; ++n) {
    if (!memory.Base() || !good(ip, 16)) return false;
    const uint32_t op = Word(memory, ip);
    Fix(memory, ip);
    const uint32_t a = Word(memory, ip + 4), b = Word(memory, ip + 8), c = Word(memory, ip + 12);
    switch (op) {
      case kOpReturn:
        lastReturn_ = static_cast<uint32_t>(ip);
        longest_ = std::max(longest_, n + 1);
        return true;
      case kOpIncrement:
      case kOpDecrement:
        if (!good(a, 4)) return false;
        Fix(memory, ip + 4);
        Append({op == kOpIncrement ? kInc : kDec, false, false, a, 0, 0});
        stores_.push_back(a);
        ip += 8;
        break;
      case kOpMove:
        if (!good(a, 4) || !good(b, 4)) return false;
        Fix(memory, ip + 4);
        Fix(memory, ip + 8);
        Append({kMove, false, false, a, b, 0});
        stores_.push_back(b);
        ip += 12;
        break;
      case kOpSet:
        if (!good(b, 4)) return false;
        Fix(memory, ip + 8);
        Append({kSet, false, false, static_cast<uint32_t>(ip + 4), b, 0});
        stores_.push_back(b);
        ip += 12;
        break;
      default: {
        static constexpr struct {
          uint32_t opcode;
          Kind kind;
        } kBinaries[] = {{kOpAdd, kAdd},         {kOpSub, kSub},
                         {kOpLess, kLess},       {kOpLessEqual, kLessEqual},
                         {kOpGreater, kGreater}, {kOpGreaterEqual, kGreaterEqual},
                         {kOpEqual, kEqual},     {kOpNotEqual, kNotEqual}};
        const auto* binary = std::find_if(std::begin(kBinaries), std::end(kBinaries),
                                          [op](const auto& e) { return e.opcode == op; });
        if (binary == std::end(kBinaries)) return false;
        const Kind kind = binary->kind;
        if (!good(c, 4)) return false;
        Fix(memory, ip + 12);
        Append(
            {kind, false, false, static_cast<uint32_t>(ip + 4), static_cast<uint32_t>(ip + 8), c});
        stores_.push_back(c);
        ip += 16;
      }
    }
  }
  return false;
}

bool StraightCode::AddStore(const GuestMemory& memory, uint32_t address, uint32_t value) {
  if (!memory.Base() || !memory.Valid(address, 4)) return false;
  Append({kStore, false, false, 0, address, value});
  stores_.push_back(address);
  return true;
}

bool StraightCode::AddExitUnless(const GuestMemory& memory, uint32_t address, bool invert,
                                 uint32_t exit) {
  if (!memory.Base() || !memory.Valid(address, 4)) return false;
  Append({kExitUnless, invert, false, address, lastReturn_, exit});
  return true;
}

bool StraightCode::StoresInto(uint64_t address, uint64_t bytes) const {
  for (uint32_t s : stores_) {
    if (s < address + bytes && address < uint64_t{s} + 4) return true;
  }
  return false;
}

bool StraightCode::Seal() {
  for (const FixedWord& w : fixed_) {
    if (StoresInto(w.address, 4)) return false;
  }
  Fold();
  return true;
}

void StraightCode::Reads(const Op& op, uint32_t& first, uint32_t& second) {
  first = second = 0;
  switch (op.kind) {
    case kStore:
    case kTurn:
      break;
    case kInc:
    case kDec:
    case kMove:
    case kSet:
    case kExitUnless:
      first = op.a;
      break;
    default:
      first = op.a;
      second = op.b;
  }
}

uint32_t StraightCode::Stores(const Op& op) {
  switch (op.kind) {
    case kInc:
    case kDec:
      return op.a;
    case kMove:
    case kSet:
    case kStore:
      return op.b;
    case kExitUnless:
    case kTurn:
      return 0;
    default:
      return op.c;
  }
}

void StraightCode::Fold() {
  auto overlaps = [](uint32_t x, uint32_t y) { return x && y && x < y + 4 && y < x + 4; };
  std::vector<Op> kept;
  for (size_t i = 0; i < ops_.size(); ++i) {
    const uint32_t to = Stores(ops_[i]);
    bool dead = false;
    for (size_t j = i + 1; to && j < ops_.size(); ++j) {
      const Op& later = ops_[j];
      uint32_t first = 0, second = 0;
      Reads(later, first, second);
      if (later.kind == kExitUnless || later.kind == kTurn || overlaps(to, first) ||
          overlaps(to, second)) {
        break;
      }
      if (Stores(later) == to) {
        dead = true;
        break;
      }
    }
    if (!dead) kept.push_back(ops_[i]);
  }
  ops_ = std::move(kept);
  for (size_t i = 0; i + 1 < ops_.size(); ++i) {
    Op& op = ops_[i];
    const Op& behind = ops_[i + 1];
    if (op.kind >= kAdd && op.kind <= kNotEqual)
      op.tested = behind.kind == kExitUnless && behind.a == op.c;
    if (op.kind == kMove && behind.kind >= kAdd && behind.kind <= kNotEqual &&
        (op.b == behind.a || op.b == behind.b)) {
      op.kind =
          static_cast<Kind>((op.b == behind.a ? kMoveFirst : kMoveSecond) + behind.kind - kAdd);
    }
  }
}

bool StraightCode::Intact(const GuestMemory& memory) const {
  for (const FixedWord& w : fixed_) {
    if (StraightCode::Word(memory, w.address) != w.value) return false;
  }
  return true;
}

bool BytecodeVm::StraightAdmits(const StraightCode& unit, bool proved) const {
  // A fragment longer than the bound on instructions faults in the loop. Then as CallStraight
  // enters, on the stack word the end marker takes, which no store may hit.
  if (instructionLimit_ < unit.longest_ && instructionLimit_ != 0) return false;
  return memory_.Base() && uint64_t{sp_ - stackBottom_} + 4 <= uint64_t{stackTop_ - stackBottom_} &&
         (proved || (!unit.StoresInto(sp_, 4) && unit.Intact(memory_)));
}

int BytecodeVm::LeaveStraight(const StraightCode& unit, uint32_t exit, uint64_t done, int result) {
  if (exit) {
    ip_ = exit + 4;
  } else if (done && unit.lastReturn_) {
    ip_ = unit.lastReturn_ + 4;
  }
  return result;
}

int BytecodeVm::RunStraight(const StraightCode& unit, uint64_t turns, uint64_t& turnsDone,
                            bool proved) {
  turnsDone = 0;
  if (!StraightAdmits(unit, proved)) return kStraightRefused;
  uint8_t* const base = memory_.Base();
  auto word = [base](uint32_t address) {
    uint32_t x;
    std::memcpy(&x, base + address, 4);
    return x;
  };
  auto put = [base](uint32_t address, uint32_t x) { std::memcpy(base + address, &x, 4); };
  auto s32 = [](uint32_t v) { return static_cast<int32_t>(v); };
  put(sp_, 0);
  // The binaries in the order of their kinds: each runs plainly, or behind a move into its
  // first (a: the move's source, b: its destination) or second value word.
#define BW_STRAIGHT_BINARIES(X)     \
  X(add, x + y)                     \
  X(sub, x - y)                     \
  X(less, s32(x) < s32(y))          \
  X(lessEqual, s32(x) <= s32(y))    \
  X(greater, s32(x) > s32(y))       \
  X(greaterEqual, s32(x) >= s32(y)) \
  X(equal, x == y)                  \
  X(notEqual, x != y)
#define BW_STRAIGHT_PLAIN(name, expr) &&name,
#define BW_STRAIGHT_FIRST(name, expr) &&name##First,
#define BW_STRAIGHT_SECOND(name, expr) &&name##Second,
  // One indirect jump an op, each its own: the predictor learns the unit's order.
  // clang-format off
  static void* const handlers[] = {
      &&inc, &&dec, &&move, &&set, &&store, &&test,
      BW_STRAIGHT_BINARIES(BW_STRAIGHT_PLAIN)
      BW_STRAIGHT_BINARIES(BW_STRAIGHT_FIRST)
      BW_STRAIGHT_BINARIES(BW_STRAIGHT_SECOND)
      &&turn};
  // clang-format on
#undef BW_STRAIGHT_PLAIN
#undef BW_STRAIGHT_FIRST
#undef BW_STRAIGHT_SECOND
  static_assert(std::size(handlers) == StraightCode::kTurn + 1);
  // Each op's handler, looked up once: a dispatch then waits on one load, not on two in a row.
  if (!unit.threaded_) {
    for (const StraightCode::Op& o : unit.ops_) o.go = handlers[o.kind];
    unit.threaded_ = true;
  }
  const StraightCode::Op* const first = unit.ops_.data();
  const StraightCode::Op* op = first;
  uint64_t done = 0;  // a local: stores through the arena's bytes may alias anything else
  // Each handler loads the operands it uses: an increment, the most common op, needs one of three.
  uint32_t a = 0, b = 0, c = 0, x = 0, y = 0;
#define BW_STRAIGHT_NEXT()          \
  do {                              \
    ++op;                           \
    __asm__("" ::"i"(__COUNTER__)); \
    goto * op->go;                  \
  } while (0)
// A binary whose result the exit test behind it reads tests it at once.
#define BW_STRAIGHT_RESULT(expr) \
  a = (expr);                    \
  put(c, a);                     \
  if (op->tested) {              \
    ++op;                        \
    goto testValue;              \
  }                              \
  BW_STRAIGHT_NEXT()
// clang-format off
#define BW_STRAIGHT_HANDLERS(name, expr) \
  name:                                  \
    a = op->a;                           \
    b = op->b;                           \
    c = op->c;                           \
    x = word(a);                         \
    y = word(b);                         \
    BW_STRAIGHT_RESULT(expr);            \
  name##First:                           \
    a = op->a;                           \
    b = op->b;                           \
    x = word(a);                         \
    put(b, x);                           \
    ++op;                                \
    y = word(op->b);                     \
    c = op->c;                           \
    BW_STRAIGHT_RESULT(expr);            \
  name##Second:                          \
    a = op->a;                           \
    b = op->b;                           \
    y = word(a);                         \
    put(b, y);                           \
    ++op;                                \
    x = word(op->a);                     \
    c = op->c;                           \
    BW_STRAIGHT_RESULT(expr);
  // clang-format on
  if (turns == 0) return kStraightSpent;
  goto * op->go;
inc:
  a = op->a;
  put(a, word(a) + 1);
  BW_STRAIGHT_NEXT();
dec:
  a = op->a;
  put(a, word(a) - 1);
  BW_STRAIGHT_NEXT();
move:
set:
  a = op->a;
  b = op->b;
  put(b, word(a));
  BW_STRAIGHT_NEXT();
store:
  put(op->b, op->c);
  BW_STRAIGHT_NEXT();
  BW_STRAIGHT_BINARIES(BW_STRAIGHT_HANDLERS)
#undef BW_STRAIGHT_HANDLERS
#undef BW_STRAIGHT_BINARIES
test:
  a = word(op->a);
testValue:
  if (__builtin_expect((a != 0) != op->invert, 1)) BW_STRAIGHT_NEXT();
  turnsDone = done;
  return LeaveStraight(unit, op->b, done, static_cast<int>(op->c));
turn:
  if (__builtin_expect(++done != turns, 1)) {
    op = first - 1;
    BW_STRAIGHT_NEXT();
  }
#undef BW_STRAIGHT_RESULT
#undef BW_STRAIGHT_NEXT
  turnsDone = done;
  return LeaveStraight(unit, 0, done, kStraightSpent);
}

}  // namespace bw

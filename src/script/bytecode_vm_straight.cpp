#include "script/bytecode_vm_straight.h"

#include <cstring>

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
        return true;
      case kOpIncrement:
      case kOpDecrement:
        if (!good(a, 4)) return false;
        Fix(memory, ip + 4);
        ops_.push_back({op == kOpIncrement ? kInc : kDec, false, a, 0, 0});
        stores_.push_back(a);
        ip += 8;
        break;
      case kOpMove:
        if (!good(a, 4) || !good(b, 4)) return false;
        Fix(memory, ip + 4);
        Fix(memory, ip + 8);
        ops_.push_back({kMove, false, a, b, 0});
        stores_.push_back(b);
        ip += 12;
        break;
      case kOpSet:
        if (!good(b, 4)) return false;
        Fix(memory, ip + 8);
        ops_.push_back({kSet, false, static_cast<uint32_t>(ip + 4), b, 0});
        stores_.push_back(b);
        ip += 12;
        break;
      default: {
        Kind kind;
        switch (op) {
          case kOpAdd:
            kind = kAdd;
            break;
          case kOpSub:
            kind = kSub;
            break;
          case kOpLess:
            kind = kLess;
            break;
          case kOpLessEqual:
            kind = kLessEqual;
            break;
          case kOpGreater:
            kind = kGreater;
            break;
          case kOpGreaterEqual:
            kind = kGreaterEqual;
            break;
          case kOpEqual:
            kind = kEqual;
            break;
          case kOpNotEqual:
            kind = kNotEqual;
            break;
          default:
            return false;
        }
        if (!good(c, 4)) return false;
        Fix(memory, ip + 12);
        ops_.push_back(
            {kind, false, static_cast<uint32_t>(ip + 4), static_cast<uint32_t>(ip + 8), c});
        stores_.push_back(c);
        ip += 16;
      }
    }
  }
  return false;
}

bool StraightCode::AddStore(const GuestMemory& memory, uint32_t address, uint32_t value) {
  if (!memory.Base() || !memory.Valid(address, 4)) return false;
  ops_.push_back({kStore, false, 0, address, value});
  stores_.push_back(address);
  return true;
}

bool StraightCode::AddExitUnless(const GuestMemory& memory, uint32_t address, bool invert,
                                 uint32_t exit) {
  if (!memory.Base() || !memory.Valid(address, 4)) return false;
  ops_.push_back({kExitUnless, invert, address, lastReturn_, exit});
  return true;
}

bool StraightCode::StoresInto(uint64_t address, uint64_t bytes) const {
  for (uint32_t s : stores_) {
    if (s < address + bytes && address < uint64_t{s} + 4) return true;
  }
  return false;
}

bool StraightCode::Sound() const {
  for (const FixedWord& w : fixed_) {
    if (StoresInto(w.address, 4)) return false;
  }
  return true;
}

bool StraightCode::Intact(const GuestMemory& memory) const {
  for (const FixedWord& w : fixed_) {
    if (StraightCode::Word(memory, w.address) != w.value) return false;
  }
  return true;
}

int BytecodeVm::RunStraight(const StraightCode& unit, uint64_t turns, uint64_t& done) {
  done = 0;
  uint8_t* const base = memory_.Base();
  const uint32_t sp = sp_;
  // As CallStraight enters, on the stack word the end marker takes, which no store may hit.
  if (instructionLimit_ || !base ||
      uint64_t{sp - stackBottom_} + 4 > uint64_t{stackTop_ - stackBottom_} ||
      unit.StoresInto(sp, 4) || !unit.Intact(memory_)) {
    return kStraightRefused;
  }
  auto word = [base](uint32_t address) {
    uint32_t x;
    std::memcpy(&x, base + address, 4);
    return x;
  };
  auto put = [base](uint32_t address, uint32_t x) { std::memcpy(base + address, &x, 4); };
  auto s32 = [](uint32_t v) { return static_cast<int32_t>(v); };
  put(sp, 0);
  using Op = StraightCode::Op;
  const Op* const first = unit.ops_.data();
  const Op* const end = first + unit.ops_.size();
  for (; done < turns; ++done) {
    for (const Op* op = first; op != end; ++op) {
      const uint32_t a = op->a, b = op->b, c = op->c;
      switch (op->kind) {
        case StraightCode::kInc:
          put(a, word(a) + 1);
          break;
        case StraightCode::kDec:
          put(a, word(a) - 1);
          break;
        case StraightCode::kMove:
          put(b, word(a));
          break;
        case StraightCode::kSet:
          put(b, word(a));
          break;
        case StraightCode::kStore:
          put(b, c);
          break;
        case StraightCode::kAdd:
          put(c, word(a) + word(b));
          break;
        case StraightCode::kSub:
          put(c, word(a) - word(b));
          break;
        case StraightCode::kLess:
          put(c, s32(word(a)) < s32(word(b)));
          break;
        case StraightCode::kLessEqual:
          put(c, s32(word(a)) <= s32(word(b)));
          break;
        case StraightCode::kGreater:
          put(c, s32(word(a)) > s32(word(b)));
          break;
        case StraightCode::kGreaterEqual:
          put(c, s32(word(a)) >= s32(word(b)));
          break;
        case StraightCode::kEqual:
          put(c, word(a) == word(b));
          break;
        case StraightCode::kNotEqual:
          put(c, word(a) != word(b));
          break;
        case StraightCode::kExitUnless:
          if ((word(a) != 0) == op->invert) {
            if (b) {
              ip_ = b + 4;
            } else if (done && unit.lastReturn_) {
              ip_ = unit.lastReturn_ + 4;
            }
            return static_cast<int>(c);
          }
          break;
      }
    }
  }
  if (done && unit.lastReturn_) ip_ = unit.lastReturn_ + 4;
  return kStraightSpent;
}

}  // namespace bw

#include "script/threaded_code.h"

#include <algorithm>

namespace bw {

namespace {

constexpr uint32_t kSwitchEnd = 0xFFFFFFFF;

// The place of opcode among the binary instructions of a shape, -1 for none.
int BinaryIndex(uint32_t opcode) {
  static constexpr uint32_t kBinaries[] = {
#define BW_THREADED_OPCODE(shape, name, op) op,
      BW_THREADED_BINARY(BW_THREADED_OPCODE, )
#undef BW_THREADED_OPCODE
  };
  for (int i = 0; i < static_cast<int>(std::size(kBinaries)); ++i) {
    if (kBinaries[i] == opcode) return i;
  }
  return -1;
}

// Chooses the handler of each instruction: the longest common sequence starting there, else the
// instruction's own handler, else the plain loop's. An address operand is decoded only where it
// names a word of the arena, and a sequence only where none of its stores lands on a word that
// a later instruction of the sequence reads as decoded.
class Decoder {
 public:
  Decoder(GuestMemory& memory, const std::vector<ListedInstruction>& list, const ThreadedCode& code)
      : memory_(memory), list_(list), code_(code) {}

  void Decode(size_t i, ThreadedOp& op) {
    i_ = i;
    op.ip = list_[i].address;
    if (!Sequence(op)) Single(op);
  }

 private:
  bool Is(size_t k, uint32_t opcode) const {
    return i_ + k < list_.size() && list_[i_ + k].opcode == opcode;
  }
  int Binary(size_t k) const {
    return i_ + k < list_.size() ? BinaryIndex(list_[i_ + k].opcode) : -1;
  }
  uint32_t At(size_t k) const { return list_[i_ + k].address; }
  uint32_t End(size_t k) const { return list_[i_ + k].next; }
  uint32_t Word(size_t k, uint32_t w) const {
    uint32_t v = 0;
    memory_.Read32(At(k) + 4 * w, v);
    return v;
  }
  bool Good(uint32_t address) const { return memory_.Valid(address, 4); }
  bool Outside(uint32_t address, uint32_t from, uint32_t to) const {
    return address >= to || uint64_t{address} + 4 <= from;
  }
  // The record runs count instructions by handler; a jump among them goes to target.
  void Set(ThreadedOp& op, uint32_t handler, uint8_t count, const uint32_t* target = nullptr) {
    op.handler = static_cast<uint16_t>(handler);
    op.count = count;
    if (target) op.target = code_.Target(*target);
  }

  bool Sequence(ThreadedOp& op) {
    // A move into the next instruction's operand word and that instruction.
    const bool moveIn = Is(0, kOpMove) && Good(Word(0, 1));
    const uint32_t moved = moveIn ? Word(0, 2) : 0;
    if (moveIn && Binary(1) >= 0 && Good(Word(1, 3))) {
      const int bin = Binary(1);
      const uint32_t d = Word(1, 3);
      if (moved == At(1) + 4 && Is(2, kOpMove) && Is(3, kOpJumpIfZero) && Word(2, 1) == d &&
          Word(2, 2) == At(3) + 4 && Outside(d, At(0), End(3))) {
        const uint32_t target = Word(3, 2);
        Set(op, kThreadedMoveBinJzAdd + bin, 4, &target);
        return true;
      }
      if (moved == At(1) + 4 || moved == At(1) + 8) {
        Set(op, (moved == At(1) + 4 ? kThreadedMoveBinAdd : kThreadedMove2BinAdd) + bin, 2);
        return true;
      }
    }
    if (moveIn && Is(1, kOpMove) && Binary(2) >= 0 && moved == At(2) + 4 &&
        Word(1, 2) == At(2) + 8 && Good(Word(1, 1)) && Good(Word(2, 3))) {
      Set(op, kThreadedMovesBinAdd + Binary(2), 3);
      return true;
    }
    if (Is(0, kOpIncrement) && Is(1, kOpJump) && Good(Word(0, 1))) {
      const uint32_t target = Word(1, 1);
      Set(op, kThreadedIncJump, 2, &target);
      return true;
    }
    if (moveIn && Is(1, kOpJumpIfZero) && moved == At(1) + 4) {
      const uint32_t target = Word(1, 2);
      Set(op, kThreadedMoveJz, 2, &target);
      return true;
    }
    if (Binary(0) >= 0 && Is(1, kOpMove) && Is(2, kOpJumpIfZero)) {
      const uint32_t d = Word(0, 3);
      if (Good(d) && Word(1, 1) == d && Word(1, 2) == At(2) + 4 && Outside(d, At(0), End(2))) {
        const uint32_t target = Word(2, 2);
        Set(op, kThreadedBinJzAdd + Binary(0), 3, &target);
        return true;
      }
    }
    return false;
  }

  void Single(ThreadedOp& op) {
    const uint32_t opcode = list_[i_].opcode;
    const uint32_t w1 = Word(0, 1);
    const uint32_t w2 = kOpcodeOperands[opcode] >= 2 ? Word(0, 2) : 0;
    switch (opcode) {
      case kOpMove:
      case kOpDeref:
        if (Good(w1) && Good(w2)) Set(op, opcode == kOpMove ? kThreadedMove : kThreadedDeref, 1);
        break;
      case kOpSet:
      case kOpStoreIndirect:
        if (Good(w2)) Set(op, opcode == kOpSet ? kThreadedSet : kThreadedStoreIndirect, 1);
        break;
      case kOpIncrement:
      case kOpDecrement:
        if (Good(w1)) Set(op, opcode == kOpIncrement ? kThreadedInc : kThreadedDec, 1);
        break;
      case kOpJumpIfZero:
        Set(op, kThreadedJz, 1, &w2);
        break;
      case kOpJump:
      case kOpCall:
        Set(op, opcode == kOpJump ? kThreadedJump : kThreadedCall, 1, &w1);
        break;
      default:
        if (Binary(0) >= 0 && Good(Word(0, 3))) Set(op, kThreadedBinAdd + Binary(0), 1);
        break;
    }
  }

  GuestMemory& memory_;
  const std::vector<ListedInstruction>& list_;
  const ThreadedCode& code_;
  size_t i_ = 0;
};

// Which operand words of an instruction the handlers take as fixed (bit k - 1 for word k) and
// which one names a destination they store into (0: none). An instruction no handler runs in a
// checked loop keeps every word fixed.
struct Roles {
  uint8_t fixed;
  uint8_t store;
};
Roles RolesOf(uint32_t opcode) {
  switch (opcode) {
    case kOpMove:
    case kOpDeref:
      return {0b11, 2};
    case kOpSet:
      return {0b10, 2};
    case kOpStoreIndirect:  // its store goes through a pointer, checked as it happens
    case kOpJumpIfZero:
      return {0b10, 0};
    case kOpIncrement:
    case kOpDecrement:
      return {0b01, 1};
    case kOpJump:
      return {0b01, 0};
    default:
      return BinaryIndex(opcode) >= 0 ? Roles{0b100, 3} : Roles{0xFF, 0};
  }
}

}  // namespace

bool ListInstructions(GuestMemory& memory, uint32_t start, uint32_t bytes,
                      std::vector<ListedInstruction>& list) {
  list.clear();
  if (bytes && !memory.Valid(start, bytes)) return false;
  const uint64_t end = uint64_t{start} + bytes;
  for (uint64_t at = start; at < end;) {
    uint32_t opcode = 0;
    if (end - at < 4) return false;
    memory.Read32(static_cast<uint32_t>(at), opcode);
    if (opcode >= kOpcodeCount) return false;
    uint64_t next = at + 4 + 4 * uint64_t{kOpcodeOperands[opcode]};
    if (next > end) return false;
    if (opcode == kOpSwitch) {
      for (uint32_t w = 0;; next += 4) {
        if (next + 4 > end) return false;
        memory.Read32(static_cast<uint32_t>(next), w);
        if (w == kSwitchEnd) break;
      }
      next += 4;
    }
    list.push_back({static_cast<uint32_t>(at), opcode, static_cast<uint32_t>(next)});
    at = next;
  }
  return true;
}

ThreadedCode::ThreadedCode(GuestMemory& memory, uint32_t start, uint32_t bytes)
    : memory_(memory), start_(start) {
  std::vector<ListedInstruction> list;
  // An instruction that does not decode ends the list: what follows it runs on the plain loop.
  (void)ListInstructions(memory, start, bytes, list);
  if (list.empty()) return;
  bytes_ = list.back().next - start;
  index_.assign(bytes_ / 4, 0);
  snapshot_.resize(bytes_ / 4);
  memory.Read(start, snapshot_.data(), bytes_);
  for (size_t i = 0; i < list.size(); ++i)
    index_[(list[i].address - start) / 4] = static_cast<uint32_t>(i + 1);
  // Behind the last instruction a record that hands whatever follows to the plain loop, and
  // one for jumps out of the block.
  ops_.resize(list.size() + 2);
  ops_[list.size()].ip = list.back().next;
  ops_.back().handler = kThreadedLookup;
  ops_.back().count = 0;
  Decoder decoder(memory, list, *this);
  for (size_t i = 0; i < list.size(); ++i) decoder.Decode(i, ops_[i]);
  FindRegions(list);
  memory_.ThreadedBlocks().Add(this, start_, bytes_);
}

void ThreadedCode::FindRegions(const std::vector<ListedInstruction>& list) {
  struct Loop {
    size_t first, last;
  };
  std::vector<Loop> loops;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].opcode != kOpJump) continue;
    const ThreadedOp* head = At(snapshot_[(list[i].address + 4 - start_) / 4]);
    if (head && head <= &ops_[i]) loops.push_back({static_cast<size_t>(head - ops_.data()), i});
  }
  std::stable_sort(loops.begin(), loops.end(), [](const Loop& x, const Loop& y) {
    return x.last - x.first > y.last - y.first;
  });
  std::vector<Loop> kept;
  regions_.reserve(loops.size());
  for (const Loop& loop : loops) {
    const bool overlaps = std::any_of(kept.begin(), kept.end(), [&](const Loop& k) {
      return loop.first <= k.last && k.first <= loop.last;
    });
    ThreadedRegion region;
    if (overlaps || !MakeRegion(list, loop.first, loop.last, region)) continue;
    regions_.push_back(std::move(region));
    kept.push_back(loop);
  }
  for (size_t r = 0; r < kept.size(); ++r) {
    for (size_t i = kept[r].first; i <= kept[r].last; ++i) ops_[i].region = &regions_[r];
  }
  for (size_t i = 0; i < list.size(); ++i) {
    ThreadedOp& op = ops_[i];
    op.enters = op.region && op.target &&
                (op.handler == kThreadedJump || op.handler == kThreadedIncJump) &&
                op.target->region == op.region && op.target <= &op;
  }
}

bool ThreadedCode::MakeRegion(const std::vector<ListedInstruction>& list, size_t first, size_t last,
                              ThreadedRegion& region) const {
  region.start = list[first].address;
  region.end = list[last].next;
  std::vector<bool> relied(region.end - region.start);
  std::vector<uint32_t> stores;
  auto word = [this](uint32_t address) { return snapshot_[(address - start_) / 4]; };
  for (size_t i = first; i <= last; ++i) {
    // Every record runs its instructions inside the loop.
    if (i + ops_[i].count - 1 > last) return false;
    const Roles roles = RolesOf(list[i].opcode);
    for (uint32_t at = list[i].address; at < list[i].next; at += 4) {
      const uint32_t k = (at - list[i].address) / 4;
      if (k == 0 || k > 8 || (roles.fixed >> (k - 1) & 1)) {
        for (uint32_t b = 0; b < 4; ++b) relied[at - region.start + b] = true;
        region.fixed.push_back({at, word(at)});
      }
    }
    if (roles.store) stores.push_back(word(list[i].address + 4 * roles.store));
  }
  for (uint32_t to : stores) {
    for (uint64_t b = to; b < uint64_t{to} + 4; ++b) {
      if (b >= region.start && b < region.end && relied[b - region.start]) return false;
    }
  }
  return true;
}

void ThreadedCode::Link(void* const* table, void* const* fast) {
  for (ThreadedOp& op : ops_) {
    op.go = table[op.handler];
    op.fast = fast[op.handler];
  }
  for (ThreadedOp& op : ops_) {
    if (op.target)
      op.jumpGo = op.region && op.target->region == op.region ? op.target->fast : op.target->go;
  }
  linked_ = table;
}

ThreadedCode::~ThreadedCode() {
  memory_.ThreadedBlocks().Remove(this);
}

}  // namespace bw

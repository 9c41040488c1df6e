// The interpreter's decoded form of a loaded code block: one record per instruction, naming the
// handler that runs it, and a copy of the block's words as decoded. A handler may run the
// instructions behind its own too, where the script compiler's common sequences stand (moves
// into the next instruction's operands, a compare whose result a jump tests). Code is data that
// scripts rewrite, so a handler trusts nothing of the decoding: it first compares every opcode
// and address word it relies on with the decoded one, and where one changed the interpreter runs
// the instruction as it now stands. What decoding proves is that the decoded addresses lie in
// the arena (which only grows), so a handler whose words compare equal checks no address again.
#pragma once

#include <cstdint>
#include <vector>

#include "script/guest_memory.h"
#include "script/opcodes.h"

namespace bw {

// clang-format off
// The binary instructions a handler shape can stand for: name and opcode.
#define BW_THREADED_BINARY(X, shape) \
  X(shape, Add, kOpAdd)              \
  X(shape, Sub, kOpSub)              \
  X(shape, Mul, kOpMul)              \
  X(shape, And, kOpAnd)              \
  X(shape, Or, kOpOr)                \
  X(shape, Xor, kOpXor)              \
  X(shape, Sar, kOpShiftRight)       \
  X(shape, Shl, kOpShiftLeft)        \
  X(shape, Lt, kOpLess)              \
  X(shape, Le, kOpLessEqual)         \
  X(shape, Gt, kOpGreater)           \
  X(shape, Ge, kOpGreaterEqual)      \
  X(shape, Eq, kOpEqual)             \
  X(shape, Ne, kOpNotEqual)
// The shapes built around one binary instruction (B); M is a move into B's first operand word,
// M2 one into its second, J a move of B's result into a jump-if-zero's test word and the jump:
// B; M B; M2 B; M M2 B; B J; M B J.
#define BW_THREADED_SHAPES(X)       \
  BW_THREADED_BINARY(X, Bin)        \
  BW_THREADED_BINARY(X, MoveBin)    \
  BW_THREADED_BINARY(X, Move2Bin)   \
  BW_THREADED_BINARY(X, MovesBin)   \
  BW_THREADED_BINARY(X, BinJz)      \
  BW_THREADED_BINARY(X, MoveBinJz)
// The other handlers. Raw runs the instruction as the plain loop does; Lookup goes on wherever
// a jump whose target the decoding did not find leads. Inside a checked loop (ThreadedRegion)
// those listed with T run as twins that compare nothing; those listed with L leave the loop's
// twins.
#define BW_THREADED_OTHERS_SPLIT(L, T) \
  L(Raw)                               \
  T(Move)                              \
  T(Set)                               \
  T(Inc)                               \
  T(Dec)                               \
  T(Jz)                                \
  T(Jump)                              \
  L(Call)                              \
  T(StoreIndirect)                     \
  T(Deref)                             \
  T(MoveJz)                            \
  T(IncJump)                           \
  L(Lookup)
#define BW_THREADED_OTHERS(X) BW_THREADED_OTHERS_SPLIT(X, X)
// clang-format on

enum ThreadedHandler : uint16_t {
#define BW_THREADED_OTHER_ID(name) kThreaded##name,
#define BW_THREADED_SHAPE_ID(shape, name, op) kThreaded##shape##name,
  BW_THREADED_OTHERS(BW_THREADED_OTHER_ID) BW_THREADED_SHAPES(BW_THREADED_SHAPE_ID)
#undef BW_THREADED_OTHER_ID
#undef BW_THREADED_SHAPE_ID
      kThreadedHandlerCount
};

// A loop of a block run without the handlers' comparisons once every word its instructions'
// handlers rely on (opcodes and address operands) reads as decoded. No store whose destination
// decoding fixed lands on one of those words, so only a store through a pointer (checked as it
// happens) or code outside the loop can change one: the loop is checked again at each entry.
struct ThreadedRegion {
  uint32_t start = 0;  // the bytes of its instructions
  uint32_t end = 0;
  struct Word {
    uint32_t address;
    uint32_t value;
  };
  std::vector<Word> fixed;  // the words relied on, as decoded
};

// One instruction as decoded; the addresses its handler uses are the decoded words it compares.
struct ThreadedOp {
  const void* go = nullptr;            // the handler's address in the interpreter, once linked
  const void* fast = nullptr;          // its handler inside a checked loop, which compares nothing
  const void* jumpGo = nullptr;        // inside a checked loop, where its jump's target runs
  const ThreadedOp* target = nullptr;  // the record of a jump's decoded target
  const ThreadedRegion* region = nullptr;  // the loop the instruction belongs to, or none
  uint32_t ip = 0;
  uint16_t handler = kThreadedRaw;  // runs this instruction and count - 1 behind it
  uint8_t count = 1;
  bool enters = false;  // a jump back into its own loop, which checks the loop to enter it
};
static_assert(sizeof(ThreadedOp) == 48);

// An instruction of a code block: where it starts, its opcode and where the next one starts.
struct ListedInstruction {
  uint32_t address;
  uint32_t opcode;
  uint32_t next;
};

// The instructions of [start, start + bytes) in order; false, with the list up to it, when an
// opcode word is not an instruction's or an instruction runs past the end.
[[nodiscard]] bool ListInstructions(GuestMemory& memory, uint32_t start, uint32_t bytes,
                                    std::vector<ListedInstruction>& list);

class ThreadedCode {
 public:
  // Decodes the instructions of [start, start + bytes) up to the first that is none, and
  // announces the block in memory's table until destroyed.
  ThreadedCode(GuestMemory& memory, uint32_t start, uint32_t bytes);
  ~ThreadedCode();
  ThreadedCode(const ThreadedCode&) = delete;
  ThreadedCode& operator=(const ThreadedCode&) = delete;

  uint32_t Start() const { return start_; }
  uint32_t Bytes() const { return bytes_; }
  // The record of the instruction starting at ip, or null.
  const ThreadedOp* At(uint32_t ip) const {
    const uint32_t offset = ip - start_;
    if (offset >= bytes_ || (offset & 3) != 0 || index_[offset >> 2] == 0) return nullptr;
    return &ops_[index_[offset >> 2] - 1];
  }
  const ThreadedOp* Ops() const { return ops_.data(); }
  // Points each record at its handler's address in table and in fast, the handlers that run
  // inside a checked loop (the interpreter's, by handler id).
  void Link(void* const* table, void* const* fast);
  void* const* Linked() const { return linked_; }
  // The record behind the last instruction, which hands what follows to the plain loop.
  const ThreadedOp* Behind() const { return &ops_[ops_.size() - 2]; }
  // The record a jump to address goes to: the instruction's, else one that looks it up.
  const ThreadedOp* Target(uint32_t address) const {
    const ThreadedOp* op = At(address);
    return op ? op : &ops_.back();
  }
  const uint32_t* Index() const { return index_.data(); }
  // The block's words as decoded, placed so that the decoded word of address a is at Snapshot()
  // + a: a handler compares two neighbouring words at once.
  const uint8_t* Snapshot() const {
    return reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(snapshot_.data()) - start_);
  }

 private:
  GuestMemory& memory_;
  uint32_t start_;
  uint32_t bytes_ = 0;  // of the instructions decoded
  // Finds the loops run without comparisons: the largest first, each apart from the others.
  void FindRegions(const std::vector<ListedInstruction>& list);
  // The loop of the instructions list[first..last], unless a fixed store lands on a word relied on.
  [[nodiscard]] bool MakeRegion(const std::vector<ListedInstruction>& list, size_t first,
                                size_t last, ThreadedRegion& region) const;

  std::vector<ThreadedOp> ops_;
  std::vector<ThreadedRegion> regions_;
  std::vector<uint32_t> index_;  // per word: its instruction's record + 1, 0 where none starts
  std::vector<uint32_t> snapshot_;
  void* const* linked_ = nullptr;
};

}  // namespace bw

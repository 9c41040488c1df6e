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
// a jump whose target the decoding did not find leads.
#define BW_THREADED_OTHERS(X) \
  X(Raw)                      \
  X(Move)                     \
  X(Set)                      \
  X(Inc)                      \
  X(Dec)                      \
  X(Jz)                       \
  X(Jump)                     \
  X(Call)                     \
  X(StoreIndirect)            \
  X(Deref)                    \
  X(MoveJz)                   \
  X(IncJump)                  \
  X(Lookup)
// clang-format on

enum ThreadedHandler : uint16_t {
#define BW_THREADED_OTHER_ID(name) kThreaded##name,
#define BW_THREADED_SHAPE_ID(shape, name, op) kThreaded##shape##name,
  BW_THREADED_OTHERS(BW_THREADED_OTHER_ID) BW_THREADED_SHAPES(BW_THREADED_SHAPE_ID)
#undef BW_THREADED_OTHER_ID
#undef BW_THREADED_SHAPE_ID
      kThreadedHandlerCount
};

// One instruction as decoded; the addresses its handler uses are the decoded words it compares.
struct ThreadedOp {
  const void* go = nullptr;  // the handler's address in the interpreter, once linked
  uint32_t ip = 0;
  uint16_t handler = kThreadedRaw;  // runs this instruction and count - 1 behind it
  uint8_t count = 1;
  const ThreadedOp* target = nullptr;  // the record of a jump's decoded target
};
static_assert(sizeof(ThreadedOp) == 24);

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
  // Points each record at its handler's address in table (the interpreter's, by handler id).
  void Link(void* const* table);
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
  std::vector<ThreadedOp> ops_;
  std::vector<uint32_t> index_;  // per word: its instruction's record + 1, 0 where none starts
  std::vector<uint32_t> snapshot_;
  void* const* linked_ = nullptr;
};

}  // namespace bw

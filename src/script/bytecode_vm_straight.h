// Straight main-script code run as one unit: the fragments a caller runs back to back (moves,
// sets, counts, adds, subtracts and compares ending in the return to the end marker, the kind
// BytecodeVm::CallStraight takes) decoded once, with the caller's own constant stores and tests
// between them, and run round and round. Decoding proves each address in the arena, which only
// grows; the words it relied on (opcodes and address operands) stay as read while no store of
// the unit hits one (Seal refuses such a unit) nor any byte the caller's own decoding read (the
// caller checks StoresInto), so once Intact() holds on entry it holds while the unit runs. Value
// operands are read as they stand each time: code that moves a value into the next instruction's
// operand runs here as it does in the loop.
#pragma once

#include <cstdint>
#include <vector>

#include "script/guest_memory.h"

namespace bw {

class StraightCode {
 public:
  static constexpr uint32_t kMaxInstructions = 64;  // in one fragment
  // Appends the fragment at address up to its return; false, with the unit unusable, when an
  // instruction of it is of another kind, lies (or an address of it points) outside the arena,
  // or the fragment is longer than kMaxInstructions.
  [[nodiscard]] bool AddFragment(const GuestMemory& memory, uint32_t address);
  // Appends a store of value at address; false when it lies outside the arena.
  [[nodiscard]] bool AddStore(const GuestMemory& memory, uint32_t address, uint32_t value);
  // Appends a test of the word at address: the unit goes on when its truth (not zero) differs
  // from invert, else leaves with exit. False when it lies outside the arena.
  [[nodiscard]] bool AddExitUnless(const GuestMemory& memory, uint32_t address, bool invert,
                                   uint32_t exit);

  // Whether a store of the unit touches [address, address + bytes).
  bool StoresInto(uint64_t address, uint64_t bytes) const;
  // Finishes the unit once all is added: false, with the unit unusable, when a store of it hits a
  // word its decoding relied on.
  [[nodiscard]] bool Seal();
  // Whether every word the decoding relied on reads as it did.
  bool Intact(const GuestMemory& memory) const;
  // Calls f with the address of each word the decoding relied on.
  template <typename F>
  void ForEachFixedWord(F f) const {
    for (const FixedWord& w : fixed_) f(w.address);
  }
  // The words the unit stores into.
  const std::vector<uint32_t>& StoredWords() const { return stores_; }

 private:
  friend class BytecodeVm;
  // What an op does; a binary instruction's kind names the instruction too.
  enum Kind : uint8_t {
    kInc,
    kDec,
    kMove,
    kSet,
    kStore,
    kExitUnless,
    kAdd,
    kSub,
    kLess,
    kLessEqual,
    kGreater,
    kGreaterEqual,
    kEqual,
    kNotEqual,
    // A move into the first or the second value word of the binary behind it, which it runs
    // too: kMoveFirst or kMoveSecond + (the binary's kind - kAdd).
    kMoveFirst,
    kMoveSecond = kMoveFirst + (kNotEqual - kAdd + 1),
    kTurn = kMoveSecond + (kNotEqual - kAdd + 1),  // the last op: back to the first
  };
  struct Op {
    Kind kind;
    bool invert;  // an exit test's
    bool tested;  // a binary's: the exit test behind it tests its result
    uint32_t a;   // inc, dec: the word; move: the source; set, binary: the first value word; exit:
                  // the word tested
    uint32_t b;   // move, set, store: the destination; binary: the second value word; exit: the
                  // address of the last return in front of it in the unit, 0 none
    uint32_t c;   // binary: the destination; store: the value; exit: its number
    mutable const void* go = nullptr;  // its handler in RunStraight, set on the first run
  };
  // Appends op in front of the closing kTurn.
  void Append(const Op& op);
  // Where op reads and stores, up to two words read and one stored (0: none).
  static void Reads(const Op& op, uint32_t& first, uint32_t& second);
  static uint32_t Stores(const Op& op);
  // Drops stores that a later one of the same turn overwrites before anything reads the word or
  // a test may leave, runs a move into the binary behind it with it, and lets a binary whose
  // result an exit test reads next test it at once.
  void Fold();
  // A word of the instruction at ip, which decoding proved in the arena.
  static uint32_t Word(const GuestMemory& memory, uint64_t address);
  void Fix(const GuestMemory& memory, uint64_t address);

  std::vector<Op> ops_{{kTurn, false, false, 0, 0, 0}};
  mutable bool threaded_ = false;  // whether every op's go is set
  struct FixedWord {
    uint32_t address;
    uint32_t value;
  };
  std::vector<FixedWord> fixed_;
  std::vector<uint32_t> stores_;
  uint32_t lastReturn_ = 0;  // the address of the unit's last return, 0 none
  uint32_t longest_ = 0;     // the most instructions of a fragment, its return counted
};

}  // namespace bw

// A cycle of decoded steps run as one unit. Where the steps that follow one come back to it
// through "[s" statements and jumps only, and every fragment they run is straight code whose
// stores stay off every word and byte the decoding read, nothing the cycle runs can change what it
// was decoded from: one check on entry covers every turn, and the fragments run back to back
// without a step lookup, a check or an interpreter entry between them. Anything else (a fault,
// a request, a native, a store into read bytes) keeps the steps on the ordinary path.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scenario/tgs/tgs_script.h"
#include "script/bytecode_vm_straight.h"

namespace bw {

class TgsLoop {
 public:
  // How the unit left: at position, after steps steps of its last turn; resultZero: a jump among
  // them was taken, which clears the frame's result word.
  struct Exit {
    uint32_t position;
    uint32_t steps;
    bool resultZero;
  };
  static constexpr uint32_t kMaxSteps = 256;  // in one turn

  // The cycle entered at entry's position, or null when the steps from there do not form one
  // the unit can run. resultWord: the word an expression's value lands in.
  static std::unique_ptr<TgsLoop> Build(const TgsScript& script, const GuestMemory& memory,
                                        const TgsDecodedStep& entry, uint32_t resultWord);

  uint32_t Position() const { return entry_; }
  uint32_t Steps() const { return steps_; }  // a turn's
  // Whether a whole turn takes a jump.
  bool TurnJumps() const { return turnJumps_; }
  // The most slots a jump it takes lays on the value stack.
  uint32_t MostSlots() const { return mostSlots_; }
  uint32_t ResultWord() const { return resultWord_; }
  const Exit& ExitAt(int exit) const { return exits_[static_cast<size_t>(exit)]; }
  const StraightCode& Unit() const { return unit_; }
  // Whether every byte the steps were decoded from reads as it did.
  bool Intact(const TgsScript& script) const;

 private:
  TgsLoop() = default;
  // Takes the steps of one turn from entry into the unit; false when they do not form a cycle it
  // can take.
  bool Take(const TgsScript& script, const GuestMemory& memory, const TgsDecodedStep& entry);
  // Adds the jump that is step n of the turn, with jumped and next as it leaves them; false when
  // the unit cannot take it.
  bool TakeJump(const GuestMemory& memory, const TgsDecodedStep& step, uint32_t n, bool& jumped,
                uint32_t& next);
  // Seals the unit and checks that its stores stay off every byte the steps were read from.
  bool Finish(const TgsScript& script);

  uint32_t entry_ = 0;
  uint32_t steps_ = 0;
  bool turnJumps_ = false;
  uint32_t mostSlots_ = 0;
  uint32_t resultWord_ = 0;
  std::vector<Exit> exits_;
  std::vector<TgsReadBytes> reads_;
  StraightCode unit_;
};

}  // namespace bw

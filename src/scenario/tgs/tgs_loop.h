// A block of decoded steps run as one unit: a cycle that comes back to its entry, or a straight
// run that leaves at its end. Where the steps that follow one go on through "[s" statements and
// jumps only, and every fragment they run is straight code whose stores stay off every word and
// byte the decoding read, nothing the block runs can change what it was decoded from: one check
// on entry covers every turn, and the fragments run back to back without a step lookup, a check
// or an interpreter entry between them. A run ends in front of the first step it cannot take (a
// call, a built-in, a fragment that is not straight), at a jump back to a step other than its
// entry (the head of a loop of its own), or at kMaxSteps; anything the block cannot take (a
// fault, a request, a native, a store into read bytes) stays on the ordinary path.
//
// A block whose stores keep off every byte any block of its script relies on is clean: running it
// changes nothing any block was decoded from, so between two entries with only clean blocks and
// quiet steps run in between (a stretch), the check on entry is not repeated.
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
  static constexpr uint32_t kMinRun = 2;      // steps a straight run takes, or it is not built

  // The block entered at entry's position, or null when the steps from there form neither a
  // cycle nor a run of kMinRun steps the unit can take. resultWord: the word an expression's
  // value lands in.
  static std::unique_ptr<TgsLoop> Build(const TgsScript& script, const GuestMemory& memory,
                                        const TgsDecodedStep& entry, uint32_t resultWord);

  uint32_t Position() const { return entry_; }
  // Where a whole turn leaves: the entry of a cycle, the step behind a run.
  uint32_t End() const { return end_; }
  // Whether a turn comes back to the entry: a run takes one turn only.
  bool Cycles() const { return end_ == entry_; }
  uint32_t Steps() const { return steps_; }  // a turn's
  // Marks what the block relies on as guarded in script, which keeps it.
  void GuardIn(TgsScript& script) const;
  // Whether its stores keep off every byte script guards.
  bool Clean(const TgsScript& script) const {
    if (cleanVersion_ != script.GuardVersion()) {
      clean_ = FindClean(script);
      cleanVersion_ = script.GuardVersion();
    }
    return clean_;
  }
  // Whether the block was found intact in stretch, with the runner's stack word at stackWord.
  bool ProvedIn(uint64_t stretch, uint32_t stackWord) const {
    return provedIn_ == stretch && provedStack_ == stackWord;
  }
  void Prove(uint64_t stretch, uint32_t stackWord) const {
    provedIn_ = stretch;
    provedStack_ = stackWord;
  }
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
  // Takes the steps of one turn from entry into the unit, at most limit of them; false when they
  // do not form a block. refusedAt: the number of the step the unit could not take, which leaves
  // the unit unusable (kMaxSteps where none).
  [[nodiscard]] bool Take(const TgsScript& script, const GuestMemory& memory,
                          const TgsDecodedStep& entry, uint32_t limit, uint32_t& refusedAt);
  // Ends the turn as a run of n steps, leaving at end; false when too short to be worth a unit.
  [[nodiscard]] bool EndRun(uint32_t n, uint32_t end, bool jumped);
  // Adds the jump that is step n of the turn, with jumped and next as it leaves them; back: it
  // goes back when taken. False when the unit cannot take it.
  [[nodiscard]] bool TakeJump(const GuestMemory& memory, const TgsDecodedStep& step, uint32_t n,
                              bool& jumped, uint32_t& next, bool& back);
  // Seals the unit and checks that its stores stay off every byte the steps were read from.
  [[nodiscard]] bool Finish(const TgsScript& script);
  bool FindClean(const TgsScript& script) const;

  uint32_t entry_ = 0;
  uint32_t end_ = 0;
  uint32_t steps_ = 0;
  mutable bool clean_ = false;
  mutable uint32_t cleanVersion_ = ~0u;  // the script's guard version clean_ holds for
  mutable uint64_t provedIn_ = 0;        // 0: never
  mutable uint32_t provedStack_ = 0;
  bool turnJumps_ = false;
  uint32_t mostSlots_ = 0;
  uint32_t resultWord_ = 0;
  std::vector<Exit> exits_;
  std::vector<TgsReadBytes> reads_;
  StraightCode unit_;
};

}  // namespace bw

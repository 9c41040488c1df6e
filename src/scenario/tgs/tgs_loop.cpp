#include "scenario/tgs/tgs_loop.h"

#include <algorithm>

namespace bw {

std::unique_ptr<TgsLoop> TgsLoop::Build(const TgsScript& script, const GuestMemory& memory,
                                        const TgsDecodedStep& entry, uint32_t resultWord) {
  std::unique_ptr<TgsLoop> loop(new TgsLoop);
  loop->entry_ = entry.position;
  loop->resultWord_ = resultWord;
  StraightCode& unit = loop->unit_;
  const TgsDecodedStep* step = &entry;
  uint32_t visited[kMaxSteps];
  bool jumped = false;  // this turn, so far
  for (uint32_t n = 0; n < kMaxSteps; ++n) {
    if (!step || !step->complete ||
        std::find(visited, visited + n, step->position) != visited + n) {
      return nullptr;
    }
    visited[n] = step->position;
    loop->reads_.insert(loop->reads_.end(), step->reads.begin(), step->reads.end());
    uint32_t next = step->next;
    if (step->function == TgsDecodedStep::kStatement) {
      if (!unit.AddFragment(memory, step->condition.a)) return nullptr;
    } else {
      if (!step->jump || (step->count && step->arguments[0].form != TgsDecodedOperand::kConstant))
        return nullptr;
      const uint32_t target = step->count ? step->arguments[0].a : 0;
      loop->mostSlots_ = std::max(loop->mostSlots_, step->count);
      const TgsDecodedOperand& condition = step->condition;
      if (condition.form == TgsDecodedOperand::kConstant) {
        if ((condition.a != 0) != step->invert) {
          next = target;
          jumped = true;
        }
      } else if (condition.form == TgsDecodedOperand::kExpression) {
        // A jump back stays in the loop when taken; one forward, when not.
        const bool stay = target <= step->position;
        const auto exit = static_cast<uint32_t>(loop->exits_.size());
        loop->exits_.push_back({stay ? step->next : target, n + 1, jumped || !stay});
        // The unit goes on while the truth, (value != 0) != invert, is stay.
        if (!unit.AddStore(memory, resultWord, 0) || !unit.AddFragment(memory, condition.a) ||
            !unit.AddExitUnless(memory, resultWord, stay ? step->invert : !step->invert, exit)) {
          return nullptr;
        }
        if (stay) {
          next = target;
          jumped = true;
        }
      } else {
        return nullptr;
      }
    }
    if (next == entry.position) {
      loop->steps_ = n + 1;
      loop->turnJumps_ = jumped;
      if (!unit.Seal() || !loop->Intact(script)) return nullptr;
      for (const TgsReadBytes& r : loop->reads_) {
        // The bytes read are the window's last; the mask is clear in front of them.
        uint32_t from = 0;
        while (from < TgsReadBytes::kWindow && !r.mask[from]) ++from;
        if (unit.StoresInto(int64_t{script.CodeStart()} + r.windowAt + from,
                            TgsReadBytes::kWindow - from)) {
          return nullptr;
        }
      }
      return loop;
    }
    step = script.FindDecoded(next);
  }
  return nullptr;
}

bool TgsLoop::Intact(const TgsScript& script) const {
  return script.ReadsIntact(reads_.data(), reads_.data() + reads_.size());
}

}  // namespace bw

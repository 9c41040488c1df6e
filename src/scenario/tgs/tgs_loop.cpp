#include "scenario/tgs/tgs_loop.h"

#include <algorithm>

namespace bw {

std::unique_ptr<TgsLoop> TgsLoop::Build(const TgsScript& script, const GuestMemory& memory,
                                        const TgsDecodedStep& entry, uint32_t resultWord) {
  std::unique_ptr<TgsLoop> loop(new TgsLoop);
  loop->entry_ = entry.position;
  loop->resultWord_ = resultWord;
  if (!loop->Take(script, memory, entry) || !loop->Finish(script)) return nullptr;
  return loop;
}

bool TgsLoop::Take(const TgsScript& script, const GuestMemory& memory,
                   const TgsDecodedStep& entry) {
  const TgsDecodedStep* step = &entry;
  uint32_t visited[kMaxSteps];
  bool jumped = false;  // this turn, so far
  for (uint32_t n = 0; n < kMaxSteps; ++n) {
    if (!step || !step->complete ||
        std::find(visited, visited + n, step->position) != visited + n) {
      return false;
    }
    visited[n] = step->position;
    uint32_t next = step->next;
    if (step->function == TgsDecodedStep::kStatement ? !unit_.AddFragment(memory, step->condition.a)
                                                     : !TakeJump(memory, *step, n, jumped, next)) {
      return false;
    }
    reads_.insert(reads_.end(), step->reads.begin(), step->reads.end());
    if (next == entry.position) {
      steps_ = n + 1;
      turnJumps_ = jumped;
      return true;
    }
    step = script.FindDecoded(next);
  }
  return false;
}

bool TgsLoop::TakeJump(const GuestMemory& memory, const TgsDecodedStep& step, uint32_t n,
                       bool& jumped, uint32_t& next) {
  if (!step.jump || (step.count && step.arguments[0].form != TgsDecodedOperand::kConstant))
    return false;
  const uint32_t target = step.count ? step.arguments[0].a : 0;
  const TgsDecodedOperand& condition = step.condition;
  if (condition.form == TgsDecodedOperand::kConstant) {
    if ((condition.a != 0) != step.invert) {
      next = target;
      jumped = true;
    }
  } else if (condition.form == TgsDecodedOperand::kExpression) {
    // A jump back stays in the unit when taken; one forward, when not.
    const bool stay = target <= step.position;
    const auto exit = static_cast<uint32_t>(exits_.size());
    exits_.push_back({stay ? step.next : target, n + 1, jumped || !stay});
    // The unit goes on while the truth, (value != 0) != invert, is stay.
    if (!unit_.AddStore(memory, resultWord_, 0) || !unit_.AddFragment(memory, condition.a) ||
        !unit_.AddExitUnless(memory, resultWord_, stay ? step.invert : !step.invert, exit)) {
      return false;
    }
    if (stay) {
      next = target;
      jumped = true;
    }
  } else {
    return false;
  }
  mostSlots_ = std::max(mostSlots_, step.count);
  return true;
}

bool TgsLoop::Finish(const TgsScript& script) {
  if (!unit_.Seal() || !Intact(script)) return false;
  for (const TgsReadBytes& r : reads_) {
    // The bytes read are the window's last; the mask is clear in front of them.
    uint32_t from = 0;
    while (from < TgsReadBytes::kWindow && !r.mask[from]) ++from;
    if (unit_.StoresInto(int64_t{script.CodeStart()} + r.windowAt + from,
                         TgsReadBytes::kWindow - from)) {
      return false;
    }
  }
  return true;
}

bool TgsLoop::Intact(const TgsScript& script) const {
  return script.ReadsIntact(reads_.data(), reads_.data() + reads_.size());
}

}  // namespace bw

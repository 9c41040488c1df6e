#include "scenario/tgs/tgs_loop.h"

#include <algorithm>

namespace bw {

std::unique_ptr<TgsLoop> TgsLoop::Build(const TgsScript& script, const GuestMemory& memory,
                                        const TgsDecodedStep& entry, uint32_t resultWord) {
  // A step the unit refuses spoils it: the run is taken again, up to that step.
  uint32_t limit = kMaxSteps;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::unique_ptr<TgsLoop> loop(new TgsLoop);
    loop->entry_ = entry.position;
    loop->resultWord_ = resultWord;
    uint32_t refusedAt = kMaxSteps;
    if (loop->Take(script, memory, entry, limit, refusedAt))
      return loop->Finish(script) ? std::move(loop) : nullptr;
    if (refusedAt < kMinRun || refusedAt >= limit) return nullptr;
    limit = refusedAt;
  }
  return nullptr;
}

bool TgsLoop::Take(const TgsScript& script, const GuestMemory& memory, const TgsDecodedStep& entry,
                   uint32_t limit, uint32_t& refusedAt) {
  const TgsDecodedStep* step = &entry;
  uint32_t at = entry.position;
  uint32_t visited[kMaxSteps];
  bool jumped = false;  // this turn, so far
  for (uint32_t n = 0;; ++n) {
    if (n && at == entry_) {
      steps_ = n;
      end_ = at;
      turnJumps_ = jumped;
      return true;
    }
    if (n == limit || !step || !step->complete ||
        std::find(visited, visited + n, at) != visited + n) {
      return EndRun(n, at, jumped);
    }
    visited[n] = at;
    uint32_t next = step->next;
    bool back = false;
    if (step->function == TgsDecodedStep::kStatement
            ? !unit_.AddFragment(memory, step->condition.a)
            : !TakeJump(memory, *step, n, jumped, next, back)) {
      refusedAt = n;
      return false;
    }
    reads_.insert(reads_.end(), step->reads.begin(), step->reads.end());
    at = next;
    // Behind a jump back to another step lies the head of a loop of its own: a unit of its own.
    if (back && at != entry_) return EndRun(n + 1, at, jumped);
    step = script.FindDecoded(at);
  }
}

bool TgsLoop::EndRun(uint32_t n, uint32_t end, bool jumped) {
  if (n < kMinRun) return false;
  steps_ = n;
  end_ = end;
  turnJumps_ = jumped;
  return true;
}

bool TgsLoop::TakeJump(const GuestMemory& memory, const TgsDecodedStep& step, uint32_t n,
                       bool& jumped, uint32_t& next, bool& back) {
  if (!step.jump || (step.count && step.arguments[0].form != TgsDecodedOperand::kConstant))
    return false;
  const uint32_t target = step.count ? step.arguments[0].a : 0;
  const TgsDecodedOperand& condition = step.condition;
  if (condition.form == TgsDecodedOperand::kConstant) {
    if ((condition.a != 0) != step.invert) {
      next = target;
      jumped = true;
      back = target <= step.position;
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
      back = true;
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

void TgsLoop::GuardIn(TgsScript& script) const {
  for (const TgsReadBytes& r : reads_) {
    for (uint32_t i = 0; i < TgsReadBytes::kWindow; ++i) {
      if (r.mask[i]) script.Guard(int64_t{script.CodeStart()} + r.windowAt + i, 1);
    }
  }
  unit_.ForEachFixedWord([&script](uint32_t address) { script.Guard(address, 4); });
}

bool TgsLoop::FindClean(const TgsScript& script) const {
  for (uint32_t address : unit_.StoredWords()) {
    if (script.Guarded(address, 4)) return false;
  }
  return true;
}

bool TgsLoop::Intact(const TgsScript& script) const {
  return script.ReadsIntact(reads_.data(), reads_.data() + reads_.size());
}

}  // namespace bw

#include "platform/stopwatch.h"

#include <new>

#include "platform/timer_resolution.h"

namespace bw {

uint32_t Stopwatch::Start() {
  startMs_ = NowMs();
  pauseCount_ = 0;
  return startMs_;
}

uint32_t Stopwatch::GetElapsed() const {
  return (pauseCount_ > 0 ? pauseMs_ : NowMs()) - startMs_;
}

void Stopwatch::SetElapsed(uint32_t ms) {
  startMs_ = (pauseCount_ > 0 ? pauseMs_ : NowMs()) - ms;
}

void Stopwatch::Pause() {
  if (pauseCount_++ == 0) pauseMs_ = NowMs();
}

void Stopwatch::Resume() {
  if (pauseCount_ == 0) return;
  if (--pauseCount_ == 0) startMs_ += NowMs() - pauseMs_;
}

uint32_t TimerBank::Create(uint32_t n) {
  Free();
  uint16_t count = static_cast<uint16_t>(n);
  if (count == 0) return kTimerBankEmpty;
  watches_.reset(new (std::nothrow) Stopwatch[count]);
  if (!watches_) return kTimerBankOutOfMemory;
  count_ = count;
  return kTimerBankDone;
}

void TimerBank::Free() {
  watches_.reset();
  count_ = 0;
}

Stopwatch* TimerBank::At(uint32_t i) const {
  uint16_t index = static_cast<uint16_t>(i);
  return watches_ && index < count_ ? &watches_[index] : nullptr;
}

bool TimerBank::Start(uint32_t i) {
  return Apply(i, [](Stopwatch& w) { w.Start(); });
}

uint32_t TimerBank::GetElapsed(uint32_t i) const {
  Stopwatch* w = At(i);
  return w ? w->GetElapsed() : 0;
}

bool TimerBank::SetElapsed(uint32_t i, uint32_t ms) {
  return Apply(i, [ms](Stopwatch& w) { w.SetElapsed(ms); });
}

bool TimerBank::Pause(uint32_t i) {
  return Apply(i, [](Stopwatch& w) { w.Pause(); });
}

bool TimerBank::Resume(uint32_t i) {
  return Apply(i, [](Stopwatch& w) { w.Resume(); });
}

bool TimerBank::PauseAll() {
  if (!watches_) return false;
  for (uint16_t i = 0; i < count_; ++i) watches_[i].Pause();
  allPaused_ = true;
  return true;
}

bool TimerBank::ResumeAll() {
  if (!watches_) return false;
  for (uint16_t i = 0; i < count_; ++i) watches_[i].Resume();
  allPaused_ = false;
  return true;
}

}  // namespace bw

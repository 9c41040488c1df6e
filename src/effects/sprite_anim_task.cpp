#include "effects/sprite_anim_task.h"

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/hva_data.h"
#include "platform/timer_service.h"

namespace bw {

int16_t HvaFrameX(uint32_t word) {
  return static_cast<int16_t>(word & 0xFFFF);
}
int16_t HvaFrameY(uint32_t word) {
  return static_cast<int16_t>(word >> 16);
}

SpriteAnimTask::SpriteAnimTask() = default;

// A task no service took leaves the data with its caller.
SpriteAnimTask::~SpriteAnimTask() {
  if (Handle() != 0) ReleaseData();
}

int SpriteAnimTask::Start(TimerService* timers, CompositionLayer* container, HvaData* data,
                          uint32_t sequence, int32_t loopCount, uint32_t priority, bool catchUp,
                          bool finishWhenEnded, bool releaseData, uint32_t delayMs) {
  if (!timers || !container || !data) return kSpriteAnimBadArgument;
  const auto& starts = data->RangeStarts();
  if (sequence >= starts.size()) return kSpriteAnimNoSequence;
  if (starts[sequence] >= data->Frames().size() || data->Frames()[starts[sequence]].a == -1)
    return kSpriteAnimEmptySequence;
  data_ = data;
  sequence_ = sequence;
  first_ = current_ = starts[sequence];
  ShowFrame();
  loopCount_ = loopCount;
  catchUp_ = catchUp;
  finishWhenEnded_ = finishWhenEnded;
  releaseData_ = releaseData;
  delay_ = delayMs;
  state_ = kNotStarted;
  chain_ = false;
  if (delay_ != 0) sprite_.SetVisible(false);
  container_ = container;
  // An object already listed stays where it is.
  (void)container->GetList().Add(&sprite_, priority, 0);
  return kSpriteAnimStarted;
}

void SpriteAnimTask::ShowFrame() {
  const HvaFrame& frame = data_->Frames()[current_];
  const auto& pictures = data_->Pictures();
  const int32_t x = HvaFrameX(frame.c) + xOffset_;
  const int32_t y = HvaFrameY(frame.c) + yOffset_;
  if (frame.a >= 0 && static_cast<size_t>(frame.a) < pictures.size()) {
    // A sprite that cannot take the picture keeps the one it had.
    (void)sprite_.SetImage(pictures[static_cast<size_t>(frame.a)].surface.get(), nullptr, x, y);
  } else {
    sprite_.Reset();
    sprite_.SetPos(x, y);
  }
}

size_t SpriteAnimTask::SequenceLength() const {
  const auto& frames = data_->Frames();
  size_t end = first_;
  while (end < frames.size() && frames[end].a >= 0) ++end;
  return end - first_;
}

SpriteAnimTask::Step SpriteAnimTask::Advance() {
  const auto& frames = data_->Frames();
  ++current_;
  if (current_ < frames.size() && frames[current_].a >= 0) return Step::kMoved;
  if (!chain_) {
    if (loopCount_ < 0) {
      current_ = first_;
      return Step::kMoved;
    }
    if (loopCount_ == 0) {
      --current_;
      state_ = kHolding;
      return Step::kHold;
    }
    if (--loopCount_ == 0) {
      ReleaseData();
      return Step::kFinished;
    }
    current_ = first_;
    return Step::kMoved;
  }
  const auto& starts = data_->RangeStarts();
  ++sequence_;
  if (sequence_ >= starts.size() || starts[sequence_] >= frames.size() ||
      frames[starts[sequence_]].a == -1) {
    ReleaseData();
    return Step::kChainEnded;
  }
  first_ = current_ = starts[sequence_];
  chain_ = false;
  return Step::kMoved;
}

int32_t SpriteAnimTask::Update(uint32_t nowMs) {
  if (state_ == kNotStarted) {
    state_ = kRunning;
    lastChange_ = nowMs;
    return kTaskStepContinue;
  }
  if (state_ == kHolding || !data_) {
    if (!finishWhenEnded_ && data_) return kTaskStepContinue;
    ReleaseData();
    return kTaskStepFinished;
  }
  if (delay_ != 0) {
    if (nowMs - lastChange_ < delay_) return kTaskStepContinue;
    lastChange_ = nowMs;
    delay_ = 0;
    sprite_.SetVisible(true);
  }

  uint32_t elapsed = nowMs - lastChange_;
  const size_t start = current_;
  Step step = Step::kHold;
  if (!catchUp_) {
    if (data_->Frames()[current_].b <= elapsed) {
      step = Advance();
      lastChange_ = nowMs;
    }
  } else {
    // Zero durations consume no time: a whole pass of them ends the catch-up.
    const size_t pass = SequenceLength();
    size_t idleSteps = 0;
    while (state_ == kRunning) {
      const uint32_t duration = data_->Frames()[current_].b;
      if (duration > elapsed) break;
      step = Advance();
      elapsed -= duration;
      lastChange_ += duration;
      idleSteps = duration == 0 ? idleSteps + 1 : 0;
      if (step == Step::kFinished || step == Step::kChainEnded || idleSteps >= pass) break;
    }
  }
  if (step == Step::kFinished) return kTaskStepFinished;
  if (step == Step::kChainEnded) return kSpriteAnimChainEnded;
  if (current_ != start) ShowFrame();
  return kTaskStepContinue;
}

void SpriteAnimTask::Stop() {
  ReleaseData();
  if (!container_) return;
  if (!container_->GetList().Remove(&sprite_)) {
    if (DisplayObjectList* second = container_->GetSecondList()) second->Remove(&sprite_);
  }
  container_ = nullptr;
}

uint32_t SpriteAnimTask::Resume(uint32_t nowMs) {
  const bool last = PauseCount() == 1;
  const uint32_t result = AnimTask::Resume(nowMs);
  if (last) lastChange_ += result;
  return result;
}

void SpriteAnimTask::ReleaseData() {
  if (!data_) return;
  if (releaseData_) {
    if (data_->ExtraRefs() == 0) {
      delete data_;
    } else {
      data_->DropExtraRef();
    }
  }
  data_ = nullptr;
}

}  // namespace bw

#include "effects/cell_anim_tasks.h"

#include "common/gone_notice.h"
#include "effects/cell_image.h"
#include "graphics/surface/sprite.h"
#include "platform/subtractive_random.h"
#include "platform/timer_resolution.h"
#include "platform/timer_service.h"
#include "sound/direct_sound_buffer.h"

namespace bw {

FrameAnimTask::FrameAnimTask() = default;
FrameAnimTask::~FrameAnimTask() = default;

int FrameAnimTask::Setup(TimerService* timers, CellImage* image, Sprite* target, uint8_t loopCount,
                         uint32_t interval, uint32_t randomRange, bool waitFirst,
                         SubtractiveRandom* random) {
  if (!timers || !image || !image->DefaultTarget() || image->CellCount() <= 0 ||
      image->Interval() <= 0)
    return kFrameAnimBadArgument;
  targetObject_ = target;
  targetSurface_ = nullptr;
  if (target) {
    targetSurface_ = target->GetSource();
    if (!targetSurface_) return kFrameAnimRefused;
  }
  ownRandom_.reset();

  image_ = image;
  // A task whose image is gone has no background to keep.
  (void)SaveBackground(targetSurface_);
  loopCount_ = loopCount;
  interval_ = interval;
  randomRange_ = randomRange;
  const auto n = static_cast<uint32_t>(image->CellCount());
  const auto cellInterval = static_cast<uint32_t>(image->Interval());
  const uint8_t order = image->OrderMode();
  cycleLength_ = order == kCellOrderForward        ? n * cellInterval
                 : order == kCellOrderBackAndForth ? (2 * n - 1) * cellInterval
                                                   : 0;
  // Random order draws its cells from the generator too, with or without a range.
  random_ = random;
  if (!random_ && (randomRange_ != 0 || cycleLength_ == 0)) {
    ownRandom_ = std::make_unique<SubtractiveRandom>();
    ownRandom_->Seed(static_cast<int32_t>(NowMs()));
    random_ = ownRandom_.get();
  }
  pendingWait_ = waitFirst ? NextWait() : 0;
  firstUpdate_ = true;
  currentCell_ = -1;
  return kFrameAnimSetUp;
}

uint32_t FrameAnimTask::NextWait() {
  if (randomRange_ == 0) return interval_;
  return interval_ + static_cast<uint32_t>(random_->Draw(randomRange_));
}

int32_t FrameAnimTask::RandomCell() {
  const int32_t n = image_->CellCount();
  int32_t cell = random_->Draw(static_cast<uint32_t>(n));
  if (cell == currentCell_) cell = cell + 1 == n ? 0 : cell + 1;
  return cell;
}

void FrameAnimTask::Draw(int32_t cell) {
  currentCell_ = cell;
  image_->DrawCell(cell, targetSurface_, targetObject_);
}

int32_t FrameAnimTask::Update(uint32_t nowMs) {
  if (!image_) return kTaskStepFinished;
  if (pauseState_ != kRunning) {
    if (firstUpdate_) {
      if (!resumeRequested_) return kTaskStepContinue;
    } else {
      if (pauseState_ == kPauseRequested) {
        pauseState_ = kPaused;
        cycleStart_ = nowMs - cycleStart_;
      }
      if (!resumeRequested_) return kTaskStepContinue;
      cycleStart_ = nowMs - cycleStart_;
    }
    resumeRequested_ = false;
    pauseState_ = kRunning;
  }
  if (firstUpdate_) {
    firstUpdate_ = false;
    cycleStart_ = nowMs;
  }
  if (pendingWait_ != 0) {
    if (nowMs - cycleStart_ < pendingWait_) return kTaskStepContinue;
    cycleStart_ = nowMs;
    pendingWait_ = 0;
  }
  uint32_t elapsed = nowMs - cycleStart_;
  const auto cellInterval = static_cast<uint32_t>(image_->Interval());
  if (cycleLength_ == 0) {
    if (elapsed >= cellInterval) {
      Draw(RandomCell());
      cycleStart_ = nowMs;
    }
    return kTaskStepContinue;
  }
  if (elapsed >= cycleLength_) {
    if (loopCount_ != 0 && --loopCount_ == 0) {
      Draw(0);
      return kTaskStepFinished;
    }
    pendingWait_ = NextWait();
    cycleStart_ = nowMs;
    elapsed = cycleLength_ - 1;  // the cycle's last cell stays through the wait
  }
  const int32_t n = image_->CellCount();
  auto cell = static_cast<int32_t>(elapsed / cellInterval);
  if (cell >= n) cell = 2 * n - 2 - cell;
  if (cell != currentCell_) Draw(cell);
  return kTaskStepContinue;
}

void FrameAnimTask::Stop() {
  if (image_) Draw(0);
}

uint32_t FrameAnimTask::ResumeNow() {
  const uint32_t result = AnimTask::ResumeNow();
  currentCell_ = -1;
  return result;
}

int FrameAnimTask::MoveTo(int32_t x, int32_t y, bool redraw) {
  if (!image_) return kFrameAnimNoImage;
  if (redraw && image_->Backing()) {
    image_->RestoreBackground(targetSurface_);
    image_->SetPos(x, y);
    image_->SaveBackground(targetSurface_);
  }
  image_->SetPos(x, y);
  return 0;
}

int FrameAnimTask::SaveBackground(ImageSurface* from) {
  if (!image_) return kFrameAnimNoImage;
  image_->SaveBackground(from);
  return 0;
}

AmplitudeCellTask::~AmplitudeCellTask() {
  if (listening_) RemoveGoneListener(&AmplitudeCellTask::OnGone, this);
}

void AmplitudeCellTask::OnGone(const void* object, void* self) {
  auto* task = static_cast<AmplitudeCellTask*>(self);
  DirectSoundBuffer* bound = task->sound_.load();
  if (bound && static_cast<const void*>(bound) == object)
    task->sound_.compare_exchange_strong(bound, nullptr);
}

int AmplitudeCellTask::Start(TimerService* timers, CellImage* image, DirectSoundBuffer* sound) {
  if (!timers || !image || !sound || image->CellCount() <= 0 || sound->GetDataSize() == 0)
    return kAmplitudeBadArgument;
  image_ = image;
  sound_ = sound;
  if (!listening_) AddGoneListener(&AmplitudeCellTask::OnGone, this);
  listening_ = true;
  image->SaveBackground(nullptr);
  if (!sound->IsPlaying(nullptr, nullptr)) return kAmplitudeNotPlaying;
  currentCell_ = -1;
  AskSchedule(0, static_cast<uint32_t>(image->Interval()));
  return kAmplitudeStarted;
}

int32_t AmplitudeCellTask::Update(uint32_t) {
  DirectSoundBuffer* sound = sound_.load();
  if (!image_) return kTaskStepFinished;
  uint32_t play = 0;
  if (!sound || !sound->IsPlaying(&play, nullptr)) {
    currentCell_ = 0;
    image_->DrawCell(0, nullptr, nullptr);
    return kTaskStepFinished;
  }
  const auto cell =
      static_cast<int32_t>(sound->GetLevel(play, static_cast<uint32_t>(image_->CellCount())));
  if (cell != currentCell_) {
    currentCell_ = cell;
    image_->DrawCell(cell, nullptr, nullptr);
  }
  return kTaskStepContinue;
}

void AmplitudeCellTask::Stop() {
  if (image_) image_->DrawCell(0, nullptr, nullptr);
}

}  // namespace bw

#include "effects/transitions/wipe_transitions.h"

#include <algorithm>
#include <memory>
#include <tuple>
#include <utility>

#include "effects/display_effect.h"
#include "graphics/surface/image_surface.h"
#include "host/clock.h"
#include "platform/timer_service.h"

namespace bw {
namespace {

constexpr int32_t kWholeWord = 65535;
constexpr int32_t kStripe = 16;
constexpr int kDefaultOpacity = 128;

int32_t Low16(int32_t v) {
  return v & 0xFFFF;
}

bool IsFade(int kind) {
  return kind <= 1;
}
bool IsColourKind(int kind) {
  return kind >= 8 && kind <= 13;
}
// Kinds 2 to 13 by geometry: vertical split, horizontal split, box; centre-out or edges-in.
int SplitShape(int kind) {
  return (kind - 2) % 3;
}
bool IsCentreOut(int kind) {
  return (kind - 2) % 6 < 3;
}

}  // namespace

bool IsSourceWipe(int kind) {
  return (kind >= 2 && kind <= 7) || (kind >= 14 && kind < kWipeKinds);
}

WipeTransition::WipeTransition(int kind, uint32_t durationMs, ImageSurface* target,
                               ImageSurface* source, const WipeWords& w, uint32_t nowMs)
    : kind_(kind),
      duration_(std::max<uint32_t>(durationMs, 1)),
      startTime_(nowMs),
      target_(target),
      source_(source) {
  if (IsSourceWipe(kind)) {
    x_ = w.a1 == kWholeWord ? 0 : w.a1;
    y_ = w.a2;
    mode_ = uint8_t(w.a3);
    if (Low16(w.a4) == kWholeWord && source) {
      source->GetClipRect(&sourceArea_);
    } else {
      sourceArea_ = {Low16(w.a4), Low16(w.a5), Low16(w.a4) + Low16(w.a6),
                     Low16(w.a5) + Low16(w.a7)};
    }
    return;
  }
  if (w.a1 == kWholeWord) {
    target->GetClipRect(&area_);
  } else {
    // A script's corner can lie at the end of the range: the far edges stop there.
    area_ = {w.a1, w.a2, ClampedSum(w.a1, Low16(w.a3)), ClampedSum(w.a2, Low16(w.a4))};
  }
  if (!IsColourKind(kind)) return;
  const uint32_t code = uint32_t(w.a5);
  red_ = uint8_t(w.a6), green_ = uint8_t(w.a7), blue_ = uint8_t(w.a8);
  if (code == 0) {
    mode_ = 0, value_ = kDefaultOpacity;
  } else if (code <= 2) {
    mode_ = uint8_t(code), value_ = w.a8;
  } else if (code == 3) {
    mode_ = 3, value_ = w.a6;
  } else {
    mode_ = 0, value_ = code > 255 ? kDefaultOpacity : int32_t(code);
  }
}

WipeTransition::~WipeTransition() {
  if (hookState_ != 2) return;
  if (EffectHook hook = EffectEndHook()) hook();
}

void WipeTransition::Start() {
  if (hookState_ != 1) return;
  if (EffectHook hook = EffectStartHook()) {
    hook();
    hookState_ = 2;
  }
}

uint32_t WipeTransition::Resume(uint32_t nowMs) {
  const bool last = PauseCount() == 1;
  const uint32_t answer = TimedTask::Resume(nowMs);
  if (last) startTime_ += answer;
  return answer;
}

int32_t WipeTransition::FrameWidth() const {
  return IsSourceWipe(kind_) ? sourceArea_.Width() : area_.Width();
}
int32_t WipeTransition::FrameHeight() const {
  return IsSourceWipe(kind_) ? sourceArea_.Height() : area_.Height();
}

int32_t WipeTransition::Total() const {
  if (IsFade(kind_)) return 255;
  if (kind_ <= 13) return (SplitShape(kind_) == 1 ? FrameWidth() : FrameHeight()) >> 1;
  if (kind_ <= 17) return kStripe;
  const int32_t extent = kind_ <= 19 ? FrameWidth() : FrameHeight();
  return ((std::max(extent, 0) + 15) >> 4 & 0xFFFF) + 15;
}

int32_t WipeTransition::TotalAcross() const {
  return kind_ >= 2 && kind_ <= 13 && SplitShape(kind_) == 2 ? FrameWidth() >> 1 : 0;
}

int32_t WipeTransition::Update(uint32_t nowMs) {
  if (finished_) return kTaskStepFinished;
  const uint32_t elapsed = nowMs - startTime_;
  const int32_t total = std::max(Total(), 0), across = std::max(TotalAcross(), 0);
  if (elapsed < duration_) {
    const double share = double(uint64_t{elapsed}) / duration_;
    const int32_t p = int32_t(share * total), pAcross = int32_t(share * across);
    Advance(p - done_, pAcross - doneAcross_, false);
    return kTaskStepContinue;
  }
  finished_ = true;
  startTime_ = 0;
  Advance(total - done_, across - doneAcross_, true);
  return kTaskStepFinished;
}

void WipeTransition::Advance(int32_t delta, int32_t deltaAcross, bool closing) {
  if (IsFade(kind_)) {
    Fade(closing ? 255 : delta & 0xFF);
  } else if (kind_ <= 13) {
    if (SplitShape(kind_) == 2) {
      Box(delta, deltaAcross, closing);
    } else {
      Split(delta, closing, SplitShape(kind_) == 0);
    }
  } else if (kind_ <= 17) {
    Stripes(delta);
  } else {
    Cascade(delta);
  }
  done_ += delta;
  doneAcross_ += deltaAcross;
}

void WipeTransition::Fade(int32_t step) {
  if (step == 0) return;
  if (kind_ == 0) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)target_->SubtractColor(step, step, step, &area_);
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)target_->AddColor(step, step, step, &area_);
  }
}

void WipeTransition::Band(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left >= right || top >= bottom) return;
  if (IsSourceWipe(kind_)) {
    const Rect from{sourceArea_.left + left, sourceArea_.top + top, sourceArea_.left + right,
                    sourceArea_.top + bottom};
    if (mode_ == 0) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)target_->Blit(source_, ClampedSum(x_, left), ClampedSum(y_, top), &from, false);
    } else {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)target_->AlphaBlit(source_, ClampedSum(x_, left), ClampedSum(y_, top), &from, false);
    }
    return;
  }
  const Rect band{ClampedSum(area_.left, left), ClampedSum(area_.top, top),
                  ClampedSum(area_.left, right), ClampedSum(area_.top, bottom)};
  switch (mode_) {
    case 0:
      // A band clipped away draws nothing; that is not a failure.
      (void)target_->FillColorBlend(red_, green_, blue_, value_ & 0xFF, &band);
      break;
    case 1:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)target_->AddColor(red_, green_, blue_, &band);
      break;
    case 2:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)target_->SubtractColor(red_, green_, blue_, &band);
      break;
    case 3:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)target_->SetBrightness(value_ & 0xFFFF, &band);
      break;
    default:
      break;  // an unknown operation draws nothing; the progress still advances
  }
}

void WipeTransition::Split(int32_t delta, bool closing, bool rows) {
  const int32_t w = FrameWidth(), h = FrameHeight();
  const int32_t extent = rows ? h : w, half = extent >> 1, d = done_;
  auto lines = [&](int32_t from, int32_t to) {
    if (rows) {
      Band(0, from, w, to);
    } else {
      Band(from, 0, to, h);
    }
  };
  const bool centreOut = IsCentreOut(kind_);
  if (closing && extent % 2 == 1) {
    const int32_t leftover = centreOut ? extent - 1 : half;
    lines(leftover, leftover + 1);
  }
  if (delta <= 0) return;
  if (centreOut) {
    lines(half - d - delta, half - d);
    lines(half + d, half + d + delta);
  } else {
    lines(d, d + delta);
    lines(extent - d - delta, extent - d);
  }
}

void WipeTransition::Box(int32_t delta, int32_t deltaAcross, bool closing) {
  const int32_t w = FrameWidth(), h = FrameHeight(), hh = h >> 1, hw = w >> 1;
  const int32_t d = done_, a = doneAcross_, nd = d + delta, na = a + deltaAcross;
  if (IsCentreOut(kind_)) {
    // A centred rectangle grows: the four bands between the old one and the new one.
    if (closing) {
      if (h % 2 == 1) Band(0, h - 1, w, h);
      if (w % 2 == 1) Band(w - 1, 0, w, 2 * hh);
    }
    Band(hw - na, hh - nd, hw + na, hh - d);
    Band(hw - na, hh + d, hw + na, hh + nd);
    Band(hw - na, hh - d, hw - a, hh + d);
    Band(hw + a, hh - d, hw + na, hh + d);
    return;
  }
  // A frame closes: the old inner rectangle less the new one; at the end whatever of the centre
  // the halves leave (a line, or one pixel when both extents are odd) is drawn once.
  if (closing) Band(hw, hh, w - hw, h - hh);
  Band(a, d, w - a, nd);
  Band(a, h - nd, w - a, h - d);
  Band(a, nd, na, h - nd);
  Band(w - na, nd, w - a, h - nd);
}

void WipeTransition::Stripes(int32_t delta) {
  if (delta <= 0) return;
  const bool rows = kind_ >= 16, fromEnd = kind_ == 15 || kind_ == 17;
  const int32_t w = FrameWidth(), h = FrameHeight(), extent = rows ? h : w, d = done_;
  auto lines = [&](int32_t from, int32_t to) {
    from = std::max(from, 0), to = std::min(to, extent);
    if (rows) {
      Band(0, from, w, to);
    } else {
      Band(from, 0, to, h);
    }
  };
  if (fromEnd) {
    for (int32_t end = extent; end > 0; end -= kStripe) lines(end - d - delta, end - d);
  } else {
    for (int32_t start = 0; start < extent; start += kStripe) lines(start + d, start + d + delta);
  }
}

void WipeTransition::Cascade(int32_t delta) {
  if (delta <= 0) return;
  const bool rows = kind_ >= 20, fromEnd = kind_ == 19 || kind_ == 21;
  const int32_t w = FrameWidth(), h = FrameHeight(), extent = rows ? h : w;
  const int32_t count = (std::max(extent, 0) + 15) >> 4 & 0xFFFF;
  const int32_t d = done_, nd = done_ + delta;
  for (int32_t i = std::max(d - kStripe, 0); i < std::min(nd, count); ++i) {
    const int32_t before = std::clamp(d - i, 0, kStripe), after = std::clamp(nd - i, 0, kStripe);
    int32_t from = i * kStripe + before, to = std::min(i * kStripe + after, extent);
    if (from >= to) continue;
    if (fromEnd) std::tie(from, to) = std::pair{extent - to, extent - from};
    if (rows) {
      Band(0, from, w, to);
    } else {
      Band(from, 0, to, h);
    }
  }
}

uint32_t WipeTransitions::Start(int kind, uint32_t durationMs, ImageSurface* target,
                                ImageSurface* source, const WipeWords& words) {
  if (!timers_ || !target || kind < 0 || kind >= kWipeKinds) return 0;
  if (IsSourceWipe(kind) && !source) return 0;
  auto wipe = std::make_unique<WipeTransition>(kind, durationMs, target, source, words,
                                               host::TimeGetTime());
  const uint32_t interval = IsFade(kind) ? wipe->Duration() / 256 : 0;
  WipeTransition* running = wipe.get();
  if (timers_->Add(std::move(wipe), interval, interval, 0) != kTaskAdded) return 0;
  running->Start();
  return running->Handle();
}

WipeTransition* WipeTransitions::Find(uint32_t handle) const {
  if (!timers_ || handle == 0) return nullptr;
  return dynamic_cast<WipeTransition*>(timers_->FindByHandle(handle));
}

bool WipeTransitions::IsRunning(uint32_t handle) const {
  const WipeTransition* wipe = Find(handle);
  return wipe && !wipe->IsDone();
}

int WipeTransitions::Finish(uint32_t handle) {
  if (!timers_) return kWipeNoService;
  // Run to its end: the wipe is finished whatever the step answers.
  if (WipeTransition* wipe = Find(handle)) (void)wipe->Update(wipe->StartTime() + wipe->Duration());
  return kWipeDone;
}

int WipeTransitions::Cancel(uint32_t handle) {
  if (!timers_) return kWipeNoService;
  // A task that ended on its own is gone already.
  if (Find(handle)) (void)timers_->RemoveByHandle(handle);
  return kWipeDone;
}

}  // namespace bw

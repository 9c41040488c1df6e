#include "effects/sp_loop_effect.h"

#include <algorithm>
#include <new>

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

bool Vertical(uint8_t direction) {
  return direction == kLoopUpward || direction == kLoopDownward;
}

}  // namespace

std::unique_ptr<DisplayEffect> SpLoopEffect::Create(uint32_t) {
  return std::make_unique<SpLoopEffect>();
}

// The sprites leave their list (as they die) before the picture they show goes.
SpLoopEffect::~SpLoopEffect() = default;

int SpLoopEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  CompositionLayer* layer = target.Composition();
  if (timers == nullptr || layer == nullptr) return kSpLoopBadArguments;
  auto picture = std::make_unique<ImageSurface>();
  if (args.Text(0) == nullptr || picture->Load(args.Text(0), nullptr, 0, 0) != 0 ||
      (picture->GetBitsPerPixel() != 32 && picture->ConvertDepth(32) != 0)) {
    return kSpLoopNoPicture;
  }
  LoopPlacement placement;
  placement.x = args.Int(1);
  placement.y = args.Int(2);
  placement.view = args.Int(3);
  placement.opacity = static_cast<uint8_t>(args.Uint(4));
  placement.priority = args.Uint(5);
  placement.direction = static_cast<uint8_t>(std::min<uint32_t>(args.Uint(6) & 0xFF, 3));
  placement.periodMs = std::max<uint32_t>(args.Uint(7), 1);
  placement.count = args.Uint(8);
  if (int rc = Place(picture.get(), &layer->GetList(), placement); rc != kSpLoopSetUp) return rc;
  owned_ = std::move(picture);
  if (args.Int(9) != 0) NotifyStart();
  return kSpLoopSetUp;
}

int SpLoopEffect::SetupOn(ImageSurface* picture, DisplayObjectList* list,
                          const LoopPlacement& placement) {
  if (picture == nullptr || list == nullptr) return kSpLoopBadArguments;
  LoopPlacement p = placement;
  p.direction = std::min<uint8_t>(p.direction, kLoopDownward);
  p.periodMs = std::max<uint32_t>(p.periodMs, 1);
  return Place(picture, list, p);
}

int SpLoopEffect::Place(ImageSurface* picture, DisplayObjectList* list,
                        const LoopPlacement& placement) {
  const bool vertical = Vertical(placement.direction);
  const int32_t size = vertical ? picture->GetHeight() : picture->GetWidth();
  const int32_t view = placement.view < 1 ? size : placement.view;
  if (view > size) return kSpLoopViewTooLarge;
  placement_ = placement;
  placement_.view = view;
  size_ = size;
  picture_ = picture;
  for (Sprite* sprite : {&first_, &second_}) {
    if (sprite->SetImage(picture, nullptr, placement.x, placement.y) != kSpriteDone)
      return kSpLoopNoPicture;
    sprite->SetAlpha(placement.opacity);
    sprite->SetVisible(false);
    if (list->Add(sprite, placement.priority, 0) != kAddDone) return kSpLoopNoPicture;
  }
  ShowOffset(0);
  return kSpLoopSetUp;
}

void SpLoopEffect::ShowOffset(int32_t offset) {
  offset_ = offset;
  const bool vertical = Vertical(placement_.direction);
  const int32_t across = vertical ? picture_->GetWidth() : picture_->GetHeight();
  const int32_t view = placement_.view;
  const int32_t firstPart = std::min(view, size_ - offset);
  auto rect = [&](int32_t from, int32_t length) {
    return vertical ? Rect{0, from, across, from + length} : Rect{from, 0, from + length, across};
  };
  Rect shown = rect(offset, firstPart);
  // A sprite that cannot take it is shown as it was.
  (void)first_.SetSourceRect(&shown);
  first_.SetPos(placement_.x, placement_.y);
  first_.SetVisible(shown_);
  const int32_t wrapped = view - firstPart;
  second_.SetVisible(shown_ && wrapped > 0);
  if (wrapped <= 0) return;
  Rect rest = rect(0, wrapped);
  // A sprite that cannot take it is shown as it was.
  (void)second_.SetSourceRect(&rest);
  second_.SetPos(placement_.x + (vertical ? 0 : firstPart),
                 placement_.y + (vertical ? firstPart : 0));
}

int32_t SpLoopEffect::Update(uint32_t nowMs) {
  if (picture_ == nullptr) return kSpLoopNothingShown;
  if (!started_) {
    started_ = true;
    periodStart_ = nowMs;
  }
  const uint32_t period = placement_.periodMs;
  const uint32_t periods = (nowMs - periodStart_) / period;
  if (periods > 0) {
    if (stopRequested_ || (placement_.count != 0 && placement_.count <= periods)) {
      placement_.count = 0;
      return kSpLoopEnded;
    }
    if (placement_.count != 0) placement_.count -= periods;
    periodStart_ += periods * period;
  }
  const uint32_t t = nowMs - periodStart_;
  int32_t offset = static_cast<int32_t>(uint64_t{static_cast<uint32_t>(size_)} * t / period);
  if (placement_.direction == kLoopRightward || placement_.direction == kLoopDownward)
    offset = offset == 0 ? 0 : size_ - offset;
  ShowOffset(offset);
  return kTaskStepContinue;
}

int SpLoopEffect::Command(ArgWords args) {
  if (picture_ == nullptr) return 1;
  switch (args.Int(0)) {
    case 0:
      stopRequested_ = true;
      break;
    case 1:
      if ((args.Int(1) != 0) == shown_) break;
      shown_ = args.Int(1) != 0;
      ShowOffset(offset_);
      break;
    case 2:
      placement_.x = args.Int(1);
      placement_.y = args.Int(2);
      ShowOffset(offset_);
      break;
    case 3:
      placement_.opacity = static_cast<uint8_t>(args.Uint(1));
      first_.SetAlpha(placement_.opacity);
      second_.SetAlpha(placement_.opacity);
      break;
    default:
      break;
  }
  return 0;
}

void SpLoopEffect::ShiftStartTimes(uint32_t spanMs) {
  if (started_) periodStart_ += spanMs;
}

}  // namespace bw

#include "effects/bg_loop_effect.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

constexpr int kSnapshotPartner = 1;
constexpr int kSnapshotOwn = 2;

// The picture of a layer, or its snapshot when one is made.
const ImageSurface* PictureOf(CompositionLayer* layer) {
  ImageSurface* picture = nullptr;
  if (layer) layer->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
  return picture;
}

}  // namespace

void PeriodCounter::Set(uint32_t periodMs, uint32_t count) {
  period_ = std::max<uint32_t>(periodMs, 1);
  count_ = count;
  done_ = 0;
  stop_ = false;
}

bool PeriodCounter::Advance(uint32_t elapsedMs) {
  const uint64_t boundaries = elapsedMs / period_;
  for (; done_ < boundaries; ++done_) {
    if (count_ == 1 || (count_ == 0 && stop_)) return false;
    if (count_ > 1) --count_;
  }
  return true;
}

std::unique_ptr<DisplayEffect> BgLoopEffect::Create(uint32_t) {
  return std::make_unique<BgLoopEffect>();
}

int BgLoopEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  if (timers == nullptr || !BindTarget(target)) return kBgLoopBadArguments;
  source_ = Picture();
  if (source_ == nullptr || source_->GetBitsPerPixel() != 32) return kBgLoopBadArguments;
  if (MakeWorkSurface() != 0 || Work()->GetBitsPerPixel() != 32) return kBgLoopNoWorkSurface;
  if (source_->GetWidth() < Work()->GetWidth()) return kBgLoopPictureNarrower;
  if (source_->GetHeight() < Work()->GetHeight()) return kBgLoopPictureLower;
  direction_ = static_cast<uint8_t>(args.Uint(0));
  periods_.Set(args.Uint(1), args.Uint(2));
  Redraw(0);
  if (args.Int(3) != 0) NotifyStart();
  return 0;
}

int BgLoopEffect::Command(ArgWords args) {
  if (args.Int(0) != 0) return kEffectUnsupported;
  periods_.RequestStop();
  return 0;
}

int32_t BgLoopEffect::Update(uint32_t nowMs) {
  if (layer_ == nullptr || Work() == nullptr || Picture() != source_) {
    Stop();
    return kTaskStepFinished;
  }
  const uint32_t elapsed = Elapsed(nowMs);
  if (!periods_.Advance(elapsed)) {
    Stop();
    return kBgLoopCountDone;
  }
  const bool vertical = direction_ >= 2;
  const int64_t size = vertical ? source_->GetHeight() : source_->GetWidth();
  int64_t offset = size * (elapsed % periods_.Period()) / periods_.Period();
  if (direction_ == 1 || direction_ == 3) offset = (size - offset) % size;
  Redraw(offset);
  return kTaskStepContinue;
}

void BgLoopEffect::Redraw(int64_t offset) {
  if (offset == lastOffset_) return;
  lastOffset_ = offset;
  ImageSurface* work = Work();
  const int32_t width = work->GetWidth(), height = work->GetHeight();
  const int32_t picW = source_->GetWidth(), picH = source_->GetHeight();
  const bool vertical = direction_ >= 2;
  for (int32_t y = 0; y < height; ++y) {
    const int32_t row = vertical ? static_cast<int32_t>((y + offset) % picH) : y;
    const auto* src = reinterpret_cast<const uint32_t*>(source_->GetRowPointer(row));
    auto* dst = reinterpret_cast<uint32_t*>(work->GetRowPointer(y));
    if (vertical) {
      std::memcpy(dst, src, size_t(width) * 4);
      continue;
    }
    // The picture from the offset, then again from its start where it wraps.
    const int32_t first = std::min<int32_t>(width, static_cast<int32_t>(picW - offset));
    std::memcpy(dst, src + offset, size_t(first) * 4);
    std::memcpy(dst + first, src, size_t(width - first) * 4);
  }
  // A layer without a target has nothing to redraw.
  (void)layer_->InvalidateAll();
}

void BgLoopEffect::Stop() {
  DropWorkSurface();
}

std::unique_ptr<DisplayEffect> BgCrossEffect::Create(uint32_t) {
  return std::make_unique<BgCrossEffect>();
}

BgCrossEffect::~BgCrossEffect() {
  DropInto();
}

int BgCrossEffect::Level(uint32_t elapsedMs, uint32_t periodMs) {
  const int level = static_cast<int>(uint64_t{elapsedMs % periodMs} * 510 / periodMs);
  return level > 255 ? 510 - level : level;
}

int BgCrossEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  if (timers == nullptr || !BindTarget(target)) return kBgCrossBadArguments;
  mine_ = PictureOf(layer_);
  if (mine_ == nullptr) return kBgCrossBadArguments;
  SurfaceLayer* linked = item_->GetLinkedLayer();
  partner_ = linked ? linked->GetCompositionLayer() : nullptr;
  theirs_ = PictureOf(partner_);
  if (theirs_ == nullptr || partner_ == layer_) return kBgCrossNoPartner;
  const int snapshot = static_cast<int>(args.Uint(2) & 0xFF);
  if (snapshot == kSnapshotPartner || snapshot == kSnapshotOwn) {
    CompositionLayer* from = snapshot == kSnapshotPartner ? partner_ : layer_;
    snapshot_ = std::make_unique<ImageSurface>();
    const ImageSurface* size = from->GetTarget();
    if (size == nullptr ||
        snapshot_->Create(size->GetWidth(), size->GetHeight(), 32, kImagePlain) != 0 ||
        from->RenderTo(snapshot_.get(), kRenderAll, 0, false) != 0) {
      return kBgCrossNoPartner;
    }
    (snapshot == kSnapshotPartner ? theirs_ : mine_) = snapshot_.get();
    snapshotOf_ = snapshot;
  }
  if (mine_->GetWidth() != theirs_->GetWidth() || mine_->GetHeight() != theirs_->GetHeight() ||
      mine_->GetBitsPerPixel() != 32 || theirs_->GetBitsPerPixel() != 32) {
    return kBgCrossSizesDiffer;
  }
  into_ = args.Int(3) != 0 ? partner_ : layer_;
  if (into_->GetWorkSurface() == nullptr) {
    if (into_->CreateWorkSurface(false) != 0) return kBgCrossNoWorkSurface;
    ownsInto_ = true;
  }
  if (into_->GetWorkSurface()->GetBitsPerPixel() != 32) return kBgCrossNoWorkSurface;
  periods_.Set(args.Uint(0), args.Uint(1));
  if (args.Int(4) != 0) NotifyStart();
  return 0;
}

int BgCrossEffect::Command(ArgWords) {
  periods_.RequestStop();
  return 0;
}

int32_t BgCrossEffect::Update(uint32_t nowMs) {
  if (layer_ == nullptr || into_ == nullptr || into_->GetWorkSurface() == nullptr)
    return kTaskStepFinished;
  // A picture changed or gone under the effect ends it.
  if ((snapshotOf_ != kSnapshotOwn && PictureOf(layer_) != mine_) ||
      (snapshotOf_ != kSnapshotPartner && PictureOf(partner_) != theirs_)) {
    Stop();
    return kTaskStepFinished;
  }
  const uint32_t elapsed = Elapsed(nowMs);
  if (!periods_.Advance(elapsed)) {
    Stop();
    return kTaskStepFinished;
  }
  const int level = Level(elapsed, periods_.Period());
  if (level == lastLevel_) return kTaskStepContinue;
  lastLevel_ = level;
  ImageSurface* work = into_->GetWorkSurface();
  const LibArea area{0,
                     0,
                     std::min(work->GetWidth(), mine_->GetWidth()),
                     std::min(work->GetHeight(), mine_->GetHeight()),
                     0,
                     0,
                     0,
                     0};
  PixelLibrary* library = GetPixelLibrary();
  auto crossfade =
      (library ? library : &BuiltInPixelLibrary())->Get<CrossfadeRoutine>(kLibCrossfade);
  if (crossfade) crossfade(work, mine_, theirs_, level, 0, area);
  // A layer without a target has nothing to redraw.
  (void)into_->InvalidateAll();
  return kTaskStepContinue;
}

void BgCrossEffect::Stop() {
  DropInto();
}

void BgCrossEffect::DropInto() {
  if (ownsInto_ && into_ != nullptr) {
    into_->DropWorkSurface();
    // A layer without a target has nothing to redraw.
    (void)into_->InvalidateAll();
  }
  ownsInto_ = false;
  into_ = nullptr;
}

bool BgCrossEffect::IsBoundTo(const void* object) const {
  return LayerEffect::IsBoundTo(object) || (object != nullptr && object == partner_);
}

void BgCrossEffect::Unbind(const void* object) {
  if (object == partner_ || object == layer_ || object == item_) {
    partner_ = nullptr;
    into_ = nullptr;
    ownsInto_ = false;
  }
  LayerEffect::Unbind(object);
}

}  // namespace bw

#include "effects/sp_cfade_effect.h"

#include <algorithm>
#include <new>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/pixel_library.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

Rect Shifted(const Rect& r, int32_t dx, int32_t dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// Cuts what the clip leaves of placed and narrows shown to match.
bool ClipPlaced(Rect* placed, Rect* shown, const Rect& clip) {
  Rect inside;
  if (!IntersectRects(&inside, *placed, clip)) return false;
  *shown = {shown->left + inside.left - placed->left, shown->top + inside.top - placed->top,
            shown->right - (placed->right - inside.right),
            shown->bottom - (placed->bottom - inside.bottom)};
  *placed = inside;
  return true;
}

}  // namespace

const ImageSurface* ShownPicture(const Sprite& sprite, Rect* shown) {
  if ((sprite.IsRotated() || sprite.IsZoomed()) && sprite.GetWorkSurface() != nullptr) {
    const Rect& placed = *sprite.GetRectPtr();
    *shown = {0, 0, placed.Width(), placed.Height()};
    return sprite.GetWorkSurface();
  }
  *shown = sprite.GetSourceRect();
  return sprite.GetSource();
}

void DeleteHandedSprite(Sprite* sprite) {
  if (sprite == nullptr) return;
  ImageSurface* picture = sprite->GetSource();
  // A script's sprite and picture belong to the display manager's lists: they go through it, so
  // that the lists let go of them (and their handles go with them) instead of freeing them again.
  DisplayManager* display = Global<DisplayManager>::Get();
  if (display == nullptr || display->DestroySprite(sprite) != 0) delete sprite;
  if (picture != nullptr && (display == nullptr || display->DestroyLayer(picture) != 0)) {
    delete picture;
  }
}

bool CrossFadeComposition::Build(const ImageSurface* a, const Rect& shownA, const Rect& placedA,
                                 const ImageSurface* b, const Rect& shownB, const Rect& placedB) {
  union_ = {std::min(placedA.left, placedB.left), std::min(placedA.top, placedB.top),
            std::max(placedA.right, placedB.right), std::max(placedA.bottom, placedB.bottom)};
  work_ = std::make_unique<ImageSurface>();
  if (work_->Create(union_.Width(), union_.Height(), 32, 0) != 0) {
    work_.reset();
    return false;
  }
  work_->SetHasAlpha(true);
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)work_->Fill(0, nullptr);
  a_ = a;
  b_ = b;
  shownA_ = shownA;
  shownB_ = shownB;
  placeA_ = Shifted(placedA, -union_.left, -union_.top);
  placeB_ = Shifted(placedB, -union_.left, -union_.top);
  // The union less A: the bands above and below A, and those beside it.
  const int32_t w = union_.Width(), h = union_.Height();
  const Rect bands[4] = {{0, 0, w, placeA_.top},
                         {0, placeA_.bottom, w, h},
                         {0, placeA_.top, placeA_.left, placeA_.bottom},
                         {placeA_.right, placeA_.top, w, placeA_.bottom}};
  clearCount_ = 0;
  for (const Rect& band : bands) {
    if (band.Width() > 0 && band.Height() > 0) clear_[clearCount_++] = band;
  }
  return true;
}

void CrossFadeComposition::Compose(uint8_t v) {
  if (!work_) return;
  // A surface without pixels, or an area that misses it, is left as it is.
  for (int i = 0; i < clearCount_; ++i) (void)work_->Fill(0, &clear_[i]);
  (void)work_->Blit(a_, placeA_.left, placeA_.top, &shownA_, false);
  (void)work_->ScaleAlpha(255 - v, &placeA_);
  (void)work_->AlphaAwareOpacityBlit(b_, v, placeB_.left, placeB_.top, &shownB_);
}

std::unique_ptr<DisplayEffect> SpCfadeEffect::Create(uint32_t) {
  return std::make_unique<SpCfadeEffect>();
}

// One that no service took leaves the old sprite with the script.
SpCfadeEffect::~SpCfadeEffect() {
  if (Handle() == 0) Forget();
  blend_.reset();
  if (owned_) DeleteHandedSprite(old_);
}

int SpCfadeEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  CompositionLayer* layer = target.Composition();
  auto* fresh = args.Pointer<Sprite>(0);
  auto* old = args.Pointer<Sprite>(1);
  // The effect would delete the sprite it is to show.
  if (timers == nullptr || (old != nullptr && old == fresh)) return kSpCfadeBadArguments;
  if (fresh != nullptr) {
    if (fresh->IsBusy()) return kSpCfadeBusy;
    fresh->SetVisible(false);
  }
  Rect newShown, oldShown;
  const ImageSurface* newPicture = fresh ? ShownPicture(*fresh, &newShown) : nullptr;
  const ImageSurface* oldPicture = old ? ShownPicture(*old, &oldShown) : nullptr;
  if (newPicture == nullptr && oldPicture == nullptr) return kSpCfadeNoPicture;
  overlap_ = false;
  if (newPicture != nullptr && oldPicture != nullptr) {
    if (layer == nullptr || fresh->GetOwnerList() == nullptr) return kSpCfadeNoList;
    if (layer->GetTarget() == nullptr) return kSpCfadeNoSurface;
    Rect clip;
    layer->GetTarget()->GetClipRect(&clip);
    Rect newPlaced = *fresh->GetRectPtr(), oldPlaced = *old->GetRectPtr(), both;
    if (!ClipPlaced(&newPlaced, &newShown, clip)) newPicture = nullptr;
    if (!ClipPlaced(&oldPlaced, &oldShown, clip)) oldPicture = nullptr;
    if (newPicture && oldPicture && IntersectRects(&both, newPlaced, oldPlaced)) {
      auto blend = std::make_unique<Sprite>();
      if (!composition_.Build(oldPicture, oldShown, oldPlaced, newPicture, newShown, newPlaced) ||
          blend->SetImage(composition_.Surface(), nullptr, composition_.Union().left,
                          composition_.Union().top) != kSpriteDone) {
        return kSpCfadeNoSurface;
      }
      // The first frame shows the blend in the old sprite's place: it starts as the old picture.
      composition_.Compose(0);
      // A mode out of range keeps the one in force.
      (void)blend->SetDrawMode(static_cast<int>(kLibAlpha));
      (void)blend->SetMirrorMode(1);
      blend->SetVisible(false);
      // An object already listed stays where it is.
      (void)fresh->GetOwnerList()->Add(blend.get(), args.Uint(2), 0);
      blend_ = std::move(blend);
      overlap_ = true;
    }
  }
  new_ = fresh;
  old_ = old;
  newPicture_ = newPicture;
  oldPicture_ = oldPicture;
  duration_ = std::max<uint32_t>(args.Uint(3), 1);
  started_ = false;
  last_ = 0;
  owned_ = true;
  if (args.Int(4) != 0) NotifyStart();
  return kSpCfadeSetUp;
}

void SpCfadeEffect::Forget() {
  old_ = nullptr;
  new_ = nullptr;
  blend_.reset();
}

int32_t SpCfadeEffect::Update(uint32_t nowMs) {
  if (!started_) {
    started_ = true;
    startTime_ = nowMs;
    if (overlap_) {
      if (old_) old_->SetVisible(false);
      blend_->SetVisible(true);
    } else if (new_) {
      if (newPicture_) new_->SetAlpha(0);
      new_->SetVisible(true);
    }
  }
  const uint32_t elapsed = nowMs - startTime_;
  if (elapsed >= duration_) {
    Finish();
    return kTaskStepFinished;
  }
  const auto v = static_cast<uint8_t>(static_cast<uint64_t>(elapsed) * 255 / duration_);
  if (v == last_) return kTaskStepContinue;
  last_ = v;
  if (overlap_) {
    composition_.Compose(v);
    blend_->Refresh(nullptr);
    blend_->SetChanged(true);
    return kTaskStepContinue;
  }
  if (old_ && oldPicture_) old_->SetAlpha(255 - v);
  if (new_ && newPicture_) new_->SetAlpha(v);
  return kTaskStepContinue;
}

void SpCfadeEffect::Finish() {
  if (overlap_) {
    if (old_) old_->SetVisible(false);
    if (blend_) blend_->SetVisible(false);
  } else if (old_ && oldPicture_) {
    old_->SetVisible(false);
  }
  if (new_ == nullptr) return;
  // A new sprite outside the layer keeps its opacity but is not left hidden.
  if (newPicture_) new_->SetAlpha(255);
  new_->SetVisible(true);
}

bool SpCfadeEffect::IsBoundTo(const void* object) const {
  return object != nullptr && (object == static_cast<const DisplayObject*>(new_) ||
                               object == static_cast<const DisplayObject*>(old_));
}

void SpCfadeEffect::Unbind(const void* object) {
  if (object == static_cast<const DisplayObject*>(new_)) new_ = nullptr;
  if (object == static_cast<const DisplayObject*>(old_)) old_ = nullptr, owned_ = false;
}

void SpCfadeEffect::ShiftStartTimes(uint32_t spanMs) {
  if (started_) startTime_ += spanMs;
}

}  // namespace bw

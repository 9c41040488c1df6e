#include "effects/sp_change_effect.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

struct Anchor {
  int32_t x = 0;
  int32_t y = 0;
};

// The standing point of a picture: its surface's anchor words, or its bottom centre when the
// picture carries none.
Anchor AnchorOf(const ImageSurface* picture, const Rect& shown) {
  if (picture != nullptr && (picture->GetWord1() != 0 || picture->GetWord2() != 0))
    return {static_cast<int32_t>(picture->GetWord1()), static_cast<int32_t>(picture->GetWord2())};
  return {shown.Width() / 2, shown.Height()};
}

Rect PlacedAt(int32_t px, int32_t py, Anchor a, const Rect& shown) {
  return {px - a.x, py - a.y, px - a.x + shown.Width(), py - a.y + shown.Height()};
}

// The caller's parameter block; without one, the three words after the path text carry the same
// values, as the scene command lays its words out.
SpChangeParams ParamsOf(EffectTarget target, ArgWords args) {
  if (const SpChangeParams* given = target.ChangeParams()) return *given;
  SpChangeParams params;
  params.style = static_cast<uint8_t>(args.Uint(3));
  params.priority = args.Uint(4);
  params.zoom = args.Int(5);
  return params;
}

}  // namespace

DisplayEffect* SpChangeEffect::Create(uint32_t) {
  return new (std::nothrow) SpChangeEffect;
}

SpChangeEffect::~SpChangeEffect() {
  combined_.reset();
  if (owned_) DeleteHandedSprite(old_);
}

int SpChangeEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  const SpChangeParams params = ParamsOf(target, args);
  auto* fresh = args.Pointer<Sprite>(0);
  auto* old = args.Pointer<Sprite>(1);
  // An old sprite that is the new one would be deleted under its caller.
  if (timers == nullptr || fresh == nullptr || fresh->IsBusy() || old == nullptr || old == fresh ||
      fresh->GetOwnerList() == nullptr) {
    return kSpChangeBadArguments;
  }
  if (old->IsZoomed() && !old->IsRotated()) return kSpChangeOldZoomed;
  CompositionLayer* layer = fresh->GetOwnerList()->GetLayer();
  fresh->SetVisible(false);
  style_ = params.style;
  zoom_ = params.zoom != 0;
  Rect newShown, oldShown;
  const ImageSurface* newPicture = ShownPicture(*fresh, &newShown);
  const ImageSurface* oldPicture = ShownPicture(*old, &oldShown);
  const Anchor newAnchor = AnchorOf(newPicture, newShown);
  const Anchor oldAnchor = AnchorOf(oldPicture, oldShown);
  if (layer != nullptr && layer->GetTarget() != nullptr) {
    standX_ = layer->GetTarget()->GetWidth() / 2 - newAnchor.x;
    standY_ = layer->GetTarget()->GetHeight() - newAnchor.y;
  }
  const double newWidth = std::max(newShown.Width(), 1);
  const double oldWidth = std::max(oldShown.Width(), 1);
  Sprite* moving = fresh;
  ratio_ = 1.0;
  if (style_ == kChangeMoveNew) {
    // Both pictures stand on the same point.
    fresh->SetPos(old->GetX() + oldAnchor.x - newAnchor.x, old->GetY() + oldAnchor.y - newAnchor.y);
    if (zoom_) ratio_ = oldWidth / newWidth;
    if (old->IsRotated()) fresh->SetRotation(old->GetAngle(), old->GetScale());
  } else if (style_ == kChangeMoveOld) {
    moving = old;
    if (zoom_) ratio_ = newWidth / oldWidth;
  } else {
    if (int rc = BuildCombined(params, fresh, old); rc != kSpChangeSetUp) return rc;
    moving = combined_.get();
  }
  // The finish puts the new picture where the path's end takes the moving one.
  offsetX_ = fresh->GetX() - moving->GetX();
  offsetY_ = fresh->GetY() - moving->GetY();
  if (zoom_ && (style_ == kChangeMoveOld || style_ == kChangeBlendReversed)) {
    driftX_ = offsetX_;
    driftY_ = offsetY_;
  }
  pathMs_ = std::max<uint32_t>(args.Uint(6), 1);
  if (LoadPath(moving, args.Text(2), pathMs_, false) != kPathParsed) {
    path_.Clear();
    sprite_ = nullptr;
    combined_.reset();
    return kSpChangePathRefused;
  }
  if (zoom_) {
    const double largest = std::max(LargestZoom(), LargestZoom() * std::max(ratio_, 1.0));
    if (!Transforms())
      moving->CreateWorkSurface(static_cast<int32_t>(moving->GetWidth() * largest),
                                static_cast<int32_t>(moving->GetHeight() * largest));
  }
  new_ = fresh;
  old_ = old;
  first_ = true;
  last_ = -1;
  if (timers->Add(this, 0, 0, 0) != kTaskAdded) {
    sprite_ = nullptr;
    new_ = old_ = nullptr;
    combined_.reset();
    return kSpChangeRefused;
  }
  owned_ = true;
  if (args.Int(7) != 0) NotifyStart();
  return kSpChangeSetUp;
}

int SpChangeEffect::BuildCombined(const SpChangeParams& params, Sprite* fresh, Sprite* old) {
  Rect newShown, oldShown;
  const ImageSurface* newPicture = ShownPicture(*fresh, &newShown);
  const ImageSurface* oldPicture = ShownPicture(*old, &oldShown);
  if (newPicture == nullptr || oldPicture == nullptr) return kSpChangeBadArguments;
  const Anchor newAnchor = AnchorOf(newPicture, newShown);
  const Anchor oldAnchor = AnchorOf(oldPicture, oldShown);
  // A fades out under B; without the zoom A is the old picture.
  const ImageSurface* a = oldPicture;
  const ImageSurface* b = newPicture;
  Rect shownA = oldShown, shownB = newShown;
  Anchor anchorA = oldAnchor, anchorB = newAnchor;
  Sprite* standing = old;
  if (style_ > kChangeBlendReversed) style_ = kChangeBlend;
  if (zoom_) {
    // The narrower picture is stretched to the wider one's scale; the blend value runs
    // backwards when that is the new one, so the old picture still shows first.
    const bool newNarrower = newShown.Width() < oldShown.Width();
    style_ = newNarrower ? kChangeBlendReversed : kChangeBlend;
    const ImageSurface* narrow = newNarrower ? newPicture : oldPicture;
    const Rect& narrowShown = newNarrower ? newShown : oldShown;
    const Anchor narrowAnchor = newNarrower ? newAnchor : oldAnchor;
    const Rect& wideShown = newNarrower ? oldShown : newShown;
    const double scale = double(wideShown.Width()) / std::max(narrowShown.Width(), 1);
    ratio_ = 1.0 / scale;
    const Size size{wideShown.Width(),
                    std::max(1, static_cast<int32_t>(narrowShown.Height() * scale))};
    stretched_ = std::make_unique<ImageSurface>();
    if (stretched_->Create(size.width, size.height, 32, 0) != 0) return kSpChangeBadArguments;
    stretched_->SetHasAlpha(true);
    stretched_->Fill(0, nullptr);
    stretched_->StretchBlit(narrow, &size, 0, 0, &narrowShown, false);
    const Rect whole{0, 0, size.width, size.height};
    const Anchor scaled{static_cast<int32_t>(narrowAnchor.x * scale),
                        static_cast<int32_t>(narrowAnchor.y * scale)};
    a = stretched_.get();
    shownA = whole;
    anchorA = scaled;
    b = newNarrower ? oldPicture : newPicture;
    shownB = newNarrower ? oldShown : newShown;
    anchorB = newNarrower ? oldAnchor : newAnchor;
    standing = newNarrower ? old : fresh;
  }
  const Anchor standingAnchor = standing == old ? oldAnchor : newAnchor;
  const int32_t px = standing->GetX() + standingAnchor.x;
  const int32_t py = standing->GetY() + standingAnchor.y;
  auto combined = std::make_unique<Sprite>();
  if (!composition_.Build(a, shownA, PlacedAt(px, py, anchorA, shownA), b, shownB,
                          PlacedAt(px, py, anchorB, shownB))) {
    return kSpChangeBadArguments;
  }
  const Rect& area = composition_.Union();
  last_ = style_ == kChangeBlendReversed ? 255 : 0;
  composition_.Compose(static_cast<uint8_t>(last_));
  if (combined->SetImage(composition_.Surface(), nullptr, area.left, area.top) != kSpriteDone)
    return kSpChangeBadArguments;
  combined->SetDrawMode(static_cast<int>(kLibAlpha));
  combined->SetAnchor(-1, px - area.left, py - area.top);
  combined->SetVisible(false);
  if (fresh->GetOwnerList()->Add(combined.get(), params.priority, 0) != kAddDone)
    return kSpChangeBadArguments;
  combined_ = std::move(combined);
  return kSpChangeSetUp;
}

int32_t SpChangeEffect::Update(uint32_t nowMs) {
  now_ = nowMs;
  if (first_) {
    first_ = false;
    startTime_ = nowMs;
    if (style_ == kChangeMoveNew) {
      if (old_) old_->SetVisible(false);
      if (new_) new_->SetVisible(true);
    } else if (combined_) {
      if (old_) old_->SetVisible(false);
      combined_->SetVisible(true);
    }
  }
  return SpPanimeEffect::Update(nowMs);
}

double SpChangeEffect::Progress() const {
  // Past the path time the blend and the zoom stay at their ends.
  return std::min(static_cast<double>(now_ - startTime_) / pathMs_, 1.0);
}

void SpChangeEffect::ApplyStep(int32_t from, double p) {
  const double t = Progress();
  bool recomposed = false;
  if (combined_) {
    int v = static_cast<int>(t * 255);
    if (style_ == kChangeBlendReversed) v = 255 - v;
    if (v != last_) {
      last_ = v;
      composition_.Compose(static_cast<uint8_t>(v));
      combined_->Refresh(nullptr);
      recomposed = true;
    }
  }
  SpPanimeEffect::ApplyStep(from, p);
  if (!zoom_ || sprite_ == nullptr || from < 0 || from + 1 >= path_.PositionCount()) return;
  const double r = ratio_;
  double z = 0;
  switch (style_) {
    case kChangeMoveNew:
      z = r >= 1 ? (r - 1) * (1 - t) + 1 : (1 - r) * t + r;
      break;
    case kChangeMoveOld:
      z = r >= 1 ? (r - 1) * t + 1 : 1 - (1 - r) * t;
      break;
    case kChangeBlend:
      z = (1 - r) * t + r;
      break;
    default:
      z = (1 - r) * (1 - t) + r;
      break;
  }
  const PathRecord& ra = path_.Position(from);
  const PathRecord& rb = path_.Position(from + 1);
  const int angle = static_cast<int>((ra.rotation + (rb.rotation - ra.rotation) * p) * 512);
  const double scale = (ra.zoom + (rb.zoom - ra.zoom) * p) * z;
  if (sprite_->SetRotation(angle, scale) == kSpriteDone && recomposed) sprite_->Refresh(nullptr);
  if (style_ == kChangeMoveOld || style_ == kChangeBlendReversed)
    sprite_->MoveBy(static_cast<int32_t>(driftX_ * t), static_cast<int32_t>(driftY_ * t));
}

void SpChangeEffect::Finish() {
  if (finished_ || sprite_ == nullptr) return;
  // Stopped before its first frame, the new sprite is still hidden and the old one still shows.
  if (old_ != nullptr && old_ != sprite_) old_->SetVisible(false);
  if (style_ != kChangeMoveNew && new_ != nullptr) {
    sprite_->SetVisible(false);
    if (combined_) combined_->SetVisible(false);
    sprite_ = new_;
  }
  if (new_ != nullptr) new_->SetVisible(true);
  // The new picture ends at its own size.
  if (zoom_ && !Transforms()) sprite_->ReleaseWorkSurface();
  SpPanimeEffect::Finish();
}

int SpChangeEffect::Query(ArgWords args) {
  if (path_.PositionCount() == 0) return kSpPanimeNoPath;
  auto put = [&](size_t i, auto value) {
    if (auto* out = args.Pointer<decltype(value)>(i)) *out = value;
  };
  if (Reached() >= 0) {
    const PathRecord& r = path_.Position(Reached());
    put(0, r.x + offsetX_);
    put(1, r.y + offsetY_);
    put(2, int32_t{OpacityAt(Reached())});
    put(4, static_cast<float>(r.zoom));
    put(5, static_cast<float>(r.rotation));
    put(8, zoom_ ? 1.0f : 0.0f);
  } else {
    put(2, int32_t{-1});
  }
  put(3, int32_t{path_.OrderMode()});
  put(6, standX_);
  put(7, standY_);
  return 0;
}

bool SpChangeEffect::IsBoundTo(const void* object) const {
  return object != nullptr && (object == static_cast<const DisplayObject*>(new_) ||
                               object == static_cast<const DisplayObject*>(old_));
}

void SpChangeEffect::Unbind(const void* object) {
  if (object == static_cast<const DisplayObject*>(sprite_)) sprite_ = nullptr;
  if (object == static_cast<const DisplayObject*>(new_)) new_ = nullptr;
  if (object == static_cast<const DisplayObject*>(old_)) old_ = nullptr, owned_ = false;
}

void SpChangeEffect::ShiftStartTimes(uint32_t spanMs) {
  if (!first_) startTime_ += spanMs;
  SpPanimeEffect::ShiftStartTimes(spanMs);
}

}  // namespace bw

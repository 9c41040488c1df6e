#include "effects/sp_change_effect.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/rotated_bounds.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

struct Anchor {
  int32_t x = 0;
  int32_t y = 0;
};

// The point a picture stands on, in its own coordinates. Its placement offsets are its corner
// when it stands in the middle of the layer, its feet on the layer's bottom centre; a picture
// without offsets, or without a layer to stand in, stands on its own bottom centre.
Anchor AnchorOf(const ImageSurface* picture, const Rect& shown, const Size& layer) {
  if (picture != nullptr && layer.width > 0 &&
      (picture->GetWord1() != 0 || picture->GetWord2() != 0))
    return {layer.width / 2 - static_cast<int32_t>(picture->GetWord1()),
            layer.height - static_cast<int32_t>(picture->GetWord2())};
  return {shown.Width() / 2, shown.Height()};
}

// The standing point of a sprite's own picture, whatever turns it.
Anchor StandingPointOf(const Sprite& sprite, const Size& layer) {
  return AnchorOf(sprite.GetSource(), sprite.GetSourceRect(), layer);
}

// Whether a path sets its own turning point ("o", "z").
bool GivesOrigin(const MotionPath& path) {
  return std::any_of(path.Records().begin(), path.Records().end(),
                     [](const PathRecord& r) { return r.kind == kPathOrigin; });
}

Rect PlacedAt(int32_t px, int32_t py, Anchor a, const Rect& shown) {
  return {px - a.x, py - a.y, px - a.x + shown.Width(), py - a.y + shown.Height()};
}

struct TurnedPoint {
  double x = 0;
  double y = 0;
};

// Where point p of a picture lands, from its sprite's position, when the sprite turns it by
// angle and scales it about (ax, ay): the turn the sprite renders.
TurnedPoint Turned(Anchor p, double ax, double ay, int angle, double scale) {
  const double turn = NegatedTurn(angle) * (2.0 * std::numbers::pi / 512.0);
  const double c = std::cos(turn), s = std::sin(turn);
  const double dx = (p.x - ax) * scale, dy = (p.y - ay) * scale;
  return {ax + c * dx - s * dy, ay + s * dx + c * dy};
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

std::unique_ptr<DisplayEffect> SpChangeEffect::Create(uint32_t) {
  return std::make_unique<SpChangeEffect>();
}

// One that no service took leaves the old sprite with the script.
SpChangeEffect::~SpChangeEffect() {
  if (Handle() == 0) owned_ = false;
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
  fresh->SetVisible(false);
  style_ = params.style;
  zoom_ = params.zoom != 0;
  TakeStanding(fresh, args.Text(2));
  Sprite* moving = PlaceForStyle(params, fresh, old, args.Text(2));
  if (moving == nullptr) return kSpChangeBadArguments;
  if (!combined_) {
    const Anchor feet = StandingPointOf(*moving, layer_);
    footX_ = feet.x;
    footY_ = feet.y;
  }
  // The finish puts the new picture where the path's end takes the moving one.
  offsetX_ = fresh->GetX() - moving->GetX();
  offsetY_ = fresh->GetY() - moving->GetY();
  pathMs_ = std::max<uint32_t>(args.Uint(6), 1);
  if (ReadPath(moving, args.Text(2), pathMs_, false) != kPathParsed) {
    path_.Clear();
    sprite_ = nullptr;
    combined_.reset();
    return kSpChangePathRefused;
  }
  new_ = fresh;
  old_ = old;
  SettleOddStyle();
  if (FeetPivot()) moving->SetAnchor(-1, footX_, footY_);
  if (zoom_) RaiseZoom(ratio_);
  PrepareWorkSurface();
  first_ = true;
  owned_ = true;
  if (args.Int(7) != 0) NotifyStart();
  return kSpChangeSetUp;
}

void SpChangeEffect::TakeStanding(const Sprite* fresh, const char* path) {
  CompositionLayer* layer = fresh->GetOwnerList()->GetLayer();
  layer_ = {};
  if (layer != nullptr && layer->GetTarget() != nullptr)
    layer_ = {layer->GetTarget()->GetWidth(), layer->GetTarget()->GetHeight()};
  const Anchor standing = StandingPointOf(*fresh, layer_);
  standX_ = standing.x;
  standY_ = standing.y;
  MotionPath probe;
  pathOrigin_ = probe.Parse(path, fresh, layer) == kPathParsed && GivesOrigin(probe);
}

Sprite* SpChangeEffect::PlaceForStyle(const SpChangeParams& params, Sprite* fresh, Sprite* old,
                                      const char* path) {
  ratio_ = 1.0;
  last_ = -1;
  const double newWidth = std::max(fresh->GetSourceRect().Width(), 1);
  const double oldWidth = std::max(old->GetSourceRect().Width(), 1);
  if (style_ == kChangeMoveNew) {
    if (zoom_) ratio_ = oldWidth / newWidth;
    if (old->IsRotated()) {
      PlaceTurned(fresh, old, path);
    } else {
      // Both pictures stand on the same point.
      const Anchor n = StandingPointOf(*fresh, layer_), o = StandingPointOf(*old, layer_);
      fresh->SetPos(old->GetX() + o.x - n.x, old->GetY() + o.y - n.y);
    }
    return fresh;
  }
  if (style_ == kChangeMoveOld) {
    if (zoom_) ratio_ = newWidth / oldWidth;
    return old;
  }
  if (BuildCombined(params, fresh, old) != kSpChangeSetUp) {
    combined_.reset();
    return nullptr;
  }
  return combined_.get();
}

void SpChangeEffect::PlaceTurned(Sprite* fresh, const Sprite* old, const char* path) {
  // The path turns the new sprite about its pivot: its standing point must stand where the old
  // picture's stands.
  int32_t originX = 0, originY = 0;
  CompositionLayer* layer = fresh->GetOwnerList()->GetLayer();
  // A path that does not read leaves the sprite where it stands.
  (void)ReadPathEndState(path, nullptr, nullptr, fresh, layer, nullptr, nullptr, nullptr, nullptr,
                         &originX, &originY);
  const Anchor feet = StandingPointOf(*fresh, layer_);
  if (FeetPivot()) originX = feet.x, originY = feet.y;
  fresh->SetAnchor(-1, originX, originY);
  // A sprite that cannot take it is shown as it was.
  (void)fresh->SetRotation(old->GetAngle(), old->GetScale());
  const TurnedPoint o = Turned(StandingPointOf(*old, layer_), old->GetAnchorX(), old->GetAnchorY(),
                               old->GetAngle(), old->GetScale());
  const TurnedPoint n = Turned(feet, originX, originY, old->GetAngle(), old->GetScale());
  fresh->SetPos(old->GetX() + static_cast<int32_t>(std::lround(o.x - n.x)),
                old->GetY() + static_cast<int32_t>(std::lround(o.y - n.y)));
}

void SpChangeEffect::SettleOddStyle() {
  if (style_ != kChangeMoveOld && style_ != kChangeBlendReversed && style_ != kChangePlainBlend)
    return;
  const PathRecord& first = path_.Position(std::min(1, path_.LastPosition()));
  const bool turned = static_cast<int>(first.rotation * 512) != 0;
  if (!zoom_ && first.zoom == 1.0 && !turned) return;
  zoom_ = true;
  if (style_ == kChangePlainBlend) {
    style_ = kChangeBlend;
    return;
  }
  // At the end the moving picture, zoomed by the ratio over the path's zoom, must stand where
  // the new picture, turned about its standing point, then stands: it drifts there from the
  // path's place. Both turning about their feet, it needs no drift where both stood alike.
  const PathRecord& end = path_.Position(path_.LastPosition());
  const int angle = static_cast<int>(end.rotation * 512);
  const Anchor movingFoot{footX_, footY_};
  const Anchor pivot = FeetPivot() ? movingFoot : Anchor{path_.OriginX(), path_.OriginY()};
  const TurnedPoint m = Turned(movingFoot, pivot.x, pivot.y, angle, end.zoom * ratio_);
  const TurnedPoint n{static_cast<double>(standX_), static_cast<double>(standY_)};
  driftX_ = offsetX_ + static_cast<int32_t>(std::lround(n.x - m.x));
  driftY_ = offsetY_ + static_cast<int32_t>(std::lround(n.y - m.y));
}

int SpChangeEffect::BuildCombined(const SpChangeParams& params, Sprite* fresh, Sprite* old) {
  Rect newShown, oldShown;
  const ImageSurface* newPicture = ShownPicture(*fresh, &newShown);
  const ImageSurface* oldPicture = ShownPicture(*old, &oldShown);
  if (newPicture == nullptr || oldPicture == nullptr) return kSpChangeBadArguments;
  const Anchor newAnchor = AnchorOf(newPicture, newShown, layer_);
  const Anchor oldAnchor = AnchorOf(oldPicture, oldShown, layer_);
  // A fades out under B; without the zoom A is the old picture.
  const ImageSurface* a = oldPicture;
  const ImageSurface* b = newPicture;
  Rect shownA = oldShown, shownB = newShown;
  Anchor anchorA = oldAnchor, anchorB = newAnchor;
  Sprite* standing = old;
  if (style_ > kChangeBlendReversed) style_ = kChangeBlend;
  if (style_ == kChangeBlend && !zoom_ && !old->IsRotated()) style_ = kChangePlainBlend;
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
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)stretched_->Fill(0, nullptr);
    (void)stretched_->StretchBlit(narrow, &size, 0, 0, &narrowShown, false);
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
  // A mode out of range keeps the one in force.
  (void)combined->SetDrawMode(static_cast<int>(kLibAlpha));
  (void)combined->SetMirrorMode(1);
  footX_ = px - area.left;
  footY_ = py - area.top;
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

double SpChangeEffect::ZoomAt(double t) const {
  const double r = ratio_;
  switch (style_) {
    case kChangeMoveNew:
      return r >= 1 ? (r - 1) * (1 - t) + 1 : (1 - r) * t + r;
    case kChangeMoveOld:
      return r >= 1 ? (r - 1) * t + 1 : 1 - (1 - r) * t;
    case kChangeBlend:
      return (1 - r) * t + r;
    default:
      return (1 - r) * (1 - t) + r;
  }
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
      recomposed = true;
    }
  }
  const bool placed = ApplyPlace(from, p);
  // A turn renders the new blend itself; else the blend is redrawn where it stands.
  const bool turned = placed && Transforms() && ApplyTurn(from, p, zoom_ ? ZoomAt(t) : 1.0);
  if (recomposed && !turned) combined_->Refresh(nullptr);
  if (placed && zoom_ && (style_ == kChangeMoveOld || style_ == kChangeBlendReversed))
    sprite_->MoveBy(static_cast<int32_t>(driftX_ * t), static_cast<int32_t>(driftY_ * t));
}

void SpChangeEffect::Finish() {
  // The moving sprite may be gone with the old one; the new one still has to stand.
  if (finished_ || (sprite_ == nullptr && new_ == nullptr)) return;
  // Stopped before its first frame, the new sprite is still hidden and the old one still shows.
  if (old_ != nullptr && old_ != sprite_) old_->SetVisible(false);
  if (style_ != kChangeMoveNew && new_ != nullptr) {
    if (sprite_ != nullptr) sprite_->SetVisible(false);
    if (combined_) combined_->SetVisible(false);
    sprite_ = new_;
  }
  if (new_ != nullptr) new_->SetVisible(true);
  SpPanimeEffect::Finish();
  // Changed between sizes, the new picture keeps its standing point as the point it turns and
  // zooms about.
  if (zoom_ && sprite_ != nullptr) sprite_->SetAnchor(-1, standX_, standY_);
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
    put(8, Transforms() ? 1.0f : 0.0f);
  } else {
    put(2, int32_t{-1});
  }
  put(3, ModeWord());
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
  if (object != static_cast<const DisplayObject*>(old_)) return;
  old_ = nullptr, owned_ = false;
  // The change ends with the old picture: the new one takes its place at the path's end, shown,
  // as a stop would leave it.
  Finish();
}

void SpChangeEffect::ShiftStartTimes(uint32_t spanMs) {
  if (!first_) startTime_ += spanMs;
  SpPanimeEffect::ShiftStartTimes(spanMs);
}

}  // namespace bw
